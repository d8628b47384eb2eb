// TForm1, the main window: the description editor, the output panel, the 3D view, the command
// buttons and the numeric fields of the relaxation run, the main menu with the file commands and
// the option switches, and the view's pop-up menu. It owns the one Session of the program, the
// camera and the scene, the four tool windows, the chart of a run's convergence and the Sweep
// window (ui/sweep_window.h). File > Examples opens the sample descriptions (ui/examples.h) as Open
// does.
//
// Long commands (Initialize, Calculate, the Jacobian, the capacitances) run on a worker thread, one
// at a time: while one runs, the commands that read or rebuild the model are disabled, the view
// draws the newest snapshot the command has sent (and can still be turned), report lines reach the
// output panel in order, and Stop (Esc) asks the command to stop after its present evaluation.
//
// The window can be resized and maximised: the two panels and the view (kept square) share the
// room (ui/main_layout.h), and its geometry is remembered between runs. The camera works on a
// VIEW_WIDTH x VIEW_HEIGHT surface whatever the size of the view on screen; the picture on screen
// is drawn at the view's size through camera_for_surface.
#pragma once

#include "model/options.h"
#include "session/session.h"
#include "session/snapshot.h"
#include "solver/equilibrium.h"
#include "solver/initialize.h"
#include "solver/jacobian.h"
#include "solver/relaxation.h"
#include "solver/sweep.h"
#include "text/numeric_field.h"
#include "ui/command_worker.h"
#include "ui/panel_sink.h"
#include "view/camera.h"
#include "view/scene.h"

#include <QMainWindow>
#include <QStringList>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QMouseEvent;
class QPainter;
class QPlainTextEdit;
class QPushButton;
class QWheelEvent;

namespace ambrel::ui {

class AboutWindow;
class ConvergenceWindow;
class DialogProvider;
class ElectroscopeWindow;
class ExtraWindow;
class JacobianWindow;
class SweepWindow;
class TNEdit;
class ViewSurface;

// The initial content of the output panel: a summary of the description language.
const QStringList& command_summary_lines();

// The status bar's words for the way a run ended.
QString run_end_text(const RelaxationResult& result);
// The status text at the end of Find equilibrium.
QString equilibrium_end_text(const EquilibriumResult& result);
// The status bar's words for the model an Initialize has read.
QString initialized_text(const InitializeResult& result, const SystemModel& model);

// The drawn notes over the 3D view, which are not part of the picture that is saved.
struct ViewNotes {
    QString drag_mode;   // what a drag does: "Drag: Rotate", ... (empty before the first picture)
    QStringList legend;  // what the colours of the spheres mean (empty when they are not coloured)
    QString out_of_date; // the description has changed since the picture's Initialize
};

// Where the window remembers its geometry between runs (QSettings of organisation and
// application "Ambrel").
inline constexpr const char* GEOMETRY_SETTINGS_KEY = "main_window/geometry";

class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    // Prompts, file dialogs and error boxes go through `dialogs` (real ones when null). The
    // window creates the tool windows: About, Extra, the electroscope and the Jacobian.
    explicit MainWindow(DialogProvider* dialogs = nullptr, QWidget* parent = nullptr);
    ~MainWindow() override;

    Session& session() { return session_; }
    // The description was edited since it was last loaded or saved.
    bool description_changed() const { return description_changed_; }
    // The next Initialize returns the camera to its default view (at start, and after Reset).
    bool view_reset_pending() const { return view_reset_pending_; }
    // The camera of the navigation (on the VIEW_WIDTH x VIEW_HEIGHT surface), and the one that
    // draws the picture on the view at its present size.
    const Camera& camera() const { return camera_; }
    Camera surface_camera() const;
    const Scene& scene() const { return scene_; }
    DialogProvider& dialogs() { return *dialogs_; }

    AboutWindow* about_window() const { return about_.get(); }
    ExtraWindow* extra_window() const { return extra_.get(); }
    ElectroscopeWindow* electroscope_window() const { return electroscope_.get(); }
    JacobianWindow* jacobian_window() const { return jacobian_.get(); }
    ConvergenceWindow* convergence_window() const { return convergence_.get(); }
    SweepWindow* sweep_window() const { return sweep_.get(); }

    // The folder File > Examples lists (default_examples_folder() at start); the menu is filled
    // again from it each time it opens.
    QString examples_folder() const { return examples_folder_; }
    void set_examples_folder(const QString& folder);

    // The description file named on the command line, loaded at the first activation.
    void set_startup_file(const QString& path) { startup_file_ = path; }
    // The name of the current description file, as File, Open and the start-up load set it.
    QString current_file_name() const { return current_file_; }

    // The lines of the description panel.
    std::vector<std::string> description_lines() const;
    // A long command (Initialize, Calculate, the Jacobian, the capacitances) is under way on the
    // worker thread; `command_finished` follows its end.
    bool run_in_progress() const { return worker_.busy(); }
    // The result of the last Calculate run.
    const RelaxationResult& last_run() const { return last_run_; }
    // Test hooks, called on the worker thread: at the end of every step of a run (also of a sweep's
    // runs), and as the Jacobian begins each object. An exception thrown from one ends the command
    // as a failure.
    // Set them while no command runs.
    void set_step_hook(std::function<void(int step)> hook) { step_hook_ = std::move(hook); }
    void set_progress_hook(std::function<void(int object, int objects)> hook) {
        progress_hook_ = std::move(hook);
    }
    // Starts the Jacobian on the worker (the Jacobian window's Calculate button); false when a
    // command is under way.
    bool start_jacobian(const JacobianSettings& settings);
    // Starts a voltage sweep on the worker with the run settings of the fields (the Sweep window's
    // Run button), after Initialize when the system is not initialised; false when it did not start.
    bool start_sweep(const SweepRequest& request);

    QAction* option_action(Option option) const;

    // The notes drawn over the view as it stands.
    ViewNotes view_notes() const;

    // Components, under the names of the window's design.
    QPushButton* Button1 = nullptr; // "Inicialize"
    QPushButton* Bcalculate = nullptr;
    QPushButton* Bequilibrium = nullptr; // "Find equilibrium"
    QCheckBox* CBrandom = nullptr;
    QLabel* Label1 = nullptr;
    TNEdit* NEerro = nullptr;
    QPushButton* Button3 = nullptr; // "Stop"
    QLabel* Label2 = nullptr;
    TNEdit* NEdelta = nullptr;
    QLabel* Label3 = nullptr;
    TNEdit* NEtentativas = nullptr;
    QLabel* Label5 = nullptr;
    TNEdit* NEtol = nullptr;
    QLabel* Label4 = nullptr;
    TNEdit* NEdamping = nullptr;
    QPlainTextEdit* Memo1 = nullptr; // description
    QPlainTextEdit* Memo2 = nullptr; // output panel
    ViewSurface* PaintBox1 = nullptr;

    QMenu* File1 = nullptr;
    QAction* Open1 = nullptr;
    QMenu* Examples1 = nullptr; // an item per example: its data is the file's path
    QAction* Save1 = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* Options = nullptr;
    QAction* Distancesc1 = nullptr;
    QAction* Distancesx1 = nullptr;
    QAction* Showerrors1 = nullptr;
    QAction* Showcharges1 = nullptr;
    QAction* Showforces2 = nullptr;
    QAction* Showefield1 = nullptr;
    QAction* Showtangentforces2 = nullptr;
    QAction* Identifybynumbers1 = nullptr;
    QAction* Rotateobjects1 = nullptr;
    QAction* Shadedballs1 = nullptr;
    QAction* Alwayscalculate1 = nullptr;
    QAction* Usesquares = nullptr;
    QAction* Speedsimulation1 = nullptr;
    QAction* Correctrotationforces1 = nullptr;
    QAction* Extra2 = nullptr;
    QMenu* Charts1 = nullptr;
    QAction* Convergence1 = nullptr;       // "Convergence of the run"
    QAction* Electroscopechart1 = nullptr; // "Electroscope table"
    QAction* Sweep1 = nullptr;             // "Voltage sweep"
    QAction* About = nullptr;

    QMenu* PopupMenu1 = nullptr;
    QAction* Rotate1 = nullptr;
    QAction* Zoom1 = nullptr;
    QAction* Pan1 = nullptr;
    QAction* Aspect1 = nullptr;
    QAction* Identify1 = nullptr;
    QAction* Reset1 = nullptr;
    QAction* Save2 = nullptr;
    QAction* List1 = nullptr;
    QAction* Capacitances1 = nullptr;
    QAction* SaveMatrix1 = nullptr; // "Save capacitance matrix..."
    QAction* Jacobian1 = nullptr;
    QAction* FindEquilibrium1 = nullptr; // "Find equilibrium" (F10)
    QAction* Fit1 = nullptr;             // "Fit to system"

    // The output panel's pop-up menu.
    QMenu* PopupMenu2 = nullptr;
    QAction* Copy1 = nullptr;
    QAction* Selectall1 = nullptr;
    QAction* Clear1 = nullptr;
    QAction* Saveoutput1 = nullptr;

  signals:
    // A long command has ended and the window is restored (any error box has been shown).
    void command_finished();

  public slots:
    void Button1Click();
    void BcalculateClick();
    void BequilibriumClick();
    void Button3Click();
    void Open1Click();
    // The example at `path`, opened as Open opens a file (after the same question).
    void ExampleClick(const QString& path);
    void Save1Click();
    void Exit1Click();
    void Extra2Click();
    void Convergence1Click();
    void Electroscopechart1Click();
    void Sweep1Click();
    void AboutClick();
    void Rotate1Click();
    void Zoom1Click();
    void Pan1Click();
    void Aspect1Click();
    void Identify1Click();
    void Reset1Click();
    void Save2Click();
    void List1Click();
    void Capacitances1Click();
    void SaveMatrix1Click();
    void Jacobian1Click();
    void Fit1Click();
    void Clear1Click();
    void Saveoutput1Click();
    void Shadedballs1Click();
    void Speedsimulation1Click();
    void Memo1Change();
    void Memo1Exit();
    void PaintBox1Paint(QPainter* painter);
    void PaintBox1MouseDown(QMouseEvent* event);
    void PaintBox1MouseMove(QMouseEvent* event);
    void PaintBox1MouseUp(QMouseEvent* event);
    void PaintBox1MouseWheel(QWheelEvent* event);
    // The first activation loads the description file named on the command line.
    void FormActivate();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

  private:
    enum class Command { Initialize, Calculate, Equilibrium, Jacobian, Capacitances, Sweep };

    void create_controls(QWidget* client);
    void create_menus();
    void create_shortcuts();
    // The run settings of the fields (Calculate and the sweep).
    RelaxationSettings run_settings() const;
    // Shows an error box over `parent` naming the first setting of a run out of its range (the
    // Jacobian's angle variation too when its caption is given); true when one was.
    bool refuse_settings_out_of_range(QWidget* parent, Real angle_variation = 0,
                                      const QString& angle_caption = QString());
    // The Sweep window's conductors: those of the model (while no command runs).
    void offer_conductors();
    TNEdit* create_field(QWidget* client, const char* name, tipo_campo type, int left, int width,
                         const QLabel* label);
    QLabel* create_label(QWidget* client, const char* name, const QString& caption, int left);
    void create_output_menu();
    // Lists the examples of the folder in the Examples menu.
    void fill_examples_menu();
    // Places the controls for the size of the client area, and draws the view at its new size.
    void apply_layout();
    // The size at start: the remembered geometry, else the default size centred; on screen.
    void place_at_start();
    void save_geometry() const;
    void draw_notes(QPainter* painter) const;
    // The view takes navigation (drags, the wheel, Fit) only while it shows an initialised system.
    bool view_navigable() const;
    // Starting to read the description: the view is no longer out of date.
    void description_read();

    // May the user discard the edited description? Asks only when it was edited.
    bool FormCloseQuery();
    // Starts Initialize on the worker; the view transform is updated and the scene drawn after it.
    void start_initialize();
    // Starts a long command on the worker with the window in its run state and `status` in the
    // status bar; `stoppable` enables Stop. Errors go to an error box over `error_parent` after
    // the command.
    bool start_command(Command command, bool stoppable, QWidget* error_parent, const QString& status,
                       std::function<void()> job);
    void command_ended(bool failed, const QString& failure);
    // What every command tells the window from the worker: the snapshot of each placement.
    RunObserver make_observer();
    bool run_fields_refused();
    void start_run(Command command, const QString& step_word, const QString& status, Real force_error_uN,
                   std::function<void(const RunObserver&)> job);
    void take_feed();
    // Asks the command under way to stop after its present evaluation.
    void request_stop();
    void redraw();
    // Draws the snapshot on the view; false (the previous picture stays) when not initialised.
    bool draw_view(const std::shared_ptr<const SceneSnapshot>& snapshot);
    // Runs a command and shows an unexpected failure in an error box; false when it failed.
    bool guarded(const std::function<void()>& command);
    // Replaces the description panel by a file; false (with the error shown) when unreadable.
    bool load_description(const QString& path);
    // What Open does once a file is chosen: load it and Initialize.
    void open_description(const QString& path);
    // May the edited description be replaced by another file? Asks only when it was edited.
    bool may_load_another_file();
    // The file last opened or saved, which Save proposes.
    void set_current_file(const QString& name);
    void set_run_state(bool running, bool stoppable);
    QPoint view_point(const QMouseEvent* event) const;

    std::unique_ptr<DialogProvider> own_dialogs_;
    DialogProvider* dialogs_;
    PanelSink sink_;
    Session session_;
    Camera camera_;
    Scene scene_;
    // What the view draws: the session's state while idle, the newest one a command sent while busy.
    std::shared_ptr<const SceneSnapshot> view_snapshot_;
    // The snapshot of the picture on the view, drawn again when the view changes size.
    std::shared_ptr<const SceneSnapshot> drawn_snapshot_;
    QWidget* client_ = nullptr;
    // The description was edited after it was last read: the picture is out of date.
    bool edited_since_read_ = false;
    bool description_changed_ = false;
    bool view_reset_pending_ = true;
    bool placed_on_screen_ = false;

    std::array<QAction*, OPTION_COUNT> option_actions_{};

    QString current_file_ = QStringLiteral("test.bal");
    QString startup_file_;
    bool startup_done_ = false;

    Command command_ = Command::Initialize; // the one under way, or the last one
    QWidget* error_parent_ = nullptr;
    QString status_before_; // the status text the command replaced
    RelaxationResult last_run_;
    RelaxationResult worker_run_;          // written by the worker, taken when the command ends
    InitializeResult worker_init_;         // likewise
    JacobianResult worker_jacobian_;       // likewise
    EquilibriumResult worker_equilibrium_; // likewise
    // The Stop of the command under way: cleared as a command starts, requested by Stop (Esc).
    StopSource stop_;
    // "Changes apply to the next command", at the foot of the Options menu while a command runs.
    QAction* options_separator_ = nullptr;
    QAction* options_note_ = nullptr;
    bool description_left_in_run_ = false; // the description panel was left while a command ran
    std::function<void(int)> step_hook_;
    std::function<void(int, int)> progress_hook_;
    bool close_confirmed_ = false;
    bool close_after_run_ = false;
    RunFeed feed_;
    QString examples_folder_;

    std::unique_ptr<AboutWindow> about_;
    std::unique_ptr<ExtraWindow> extra_;
    std::unique_ptr<ElectroscopeWindow> electroscope_;
    std::unique_ptr<JacobianWindow> jacobian_;
    std::unique_ptr<ConvergenceWindow> convergence_;
    std::unique_ptr<SweepWindow> sweep_;

    // Declared last: destroyed first, it waits for a job still running, which uses the above.
    CommandWorker worker_;
};

} // namespace ambrel::ui
