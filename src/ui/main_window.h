// TForm1, the main window: the description editor, the output panel, the 3D view, the command
// buttons and the numeric fields of the relaxation run, the main menu with the file commands and
// the option switches, and the view's pop-up menu. It owns the one Simulator of the program, the
// camera and the scene, and the four tool windows.
#pragma once

#include "text/numeric_field.h"
#include "model/options.h"
#include "model/simulator.h"
#include "solver/relaxation.h"
#include "ui/panel_sink.h"
#include "view/camera.h"
#include "view/scene.h"

#include <QMainWindow>
#include <QStringList>

#include <array>
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

namespace ambrel::ui {

class AboutWindow;
class DialogProvider;
class ElectroscopeWindow;
class ExtraWindow;
class JacobianWindow;
class TNEdit;
class ViewSurface;

// The initial content of the output panel: a summary of the description language.
const QStringList& command_summary_lines();

// The status bar's words for the way a run ended.
QString run_end_text(const RelaxationResult& result);

class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    // Prompts, file dialogs and error boxes go through `dialogs` (real ones when null). The
    // window creates the tool windows: About, Extra, the electroscope and the Jacobian.
    explicit MainWindow(DialogProvider* dialogs = nullptr, QWidget* parent = nullptr);
    ~MainWindow() override;

    Simulator& simulator() { return sim_; }
    const Camera& camera() const { return camera_; }
    const Scene& scene() const { return scene_; }
    DialogProvider& dialogs() { return *dialogs_; }

    AboutWindow* about_window() const { return about_.get(); }
    ExtraWindow* extra_window() const { return extra_.get(); }
    ElectroscopeWindow* electroscope_window() const { return electroscope_.get(); }
    JacobianWindow* jacobian_window() const { return jacobian_.get(); }

    // The description file named on the command line, loaded at the first activation.
    void set_startup_file(const QString& path) { startup_file_ = path; }
    // The name of the current description file, as File, Open and the start-up load set it.
    QString current_file_name() const { return current_file_; }

    // The lines of the description panel.
    std::vector<std::string> description_lines() const;
    // A Calculate run is under way.
    bool run_in_progress() const { return running_; }
    // The result of the last Calculate run.
    const RelaxationResult& last_run() const { return last_run_; }
    // Called once per step of a run after the window has processed its events.
    void set_step_hook(std::function<void(int step)> hook) { step_hook_ = std::move(hook); }

    QAction* option_action(Option option) const;

    // Components, under the names of the window's design.
    QPushButton* Button1 = nullptr; // "Inicialize"
    QPushButton* Bcalculate = nullptr;
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
    QAction* Jacobian1 = nullptr;

  public slots:
    void Button1Click();
    void BcalculateClick();
    void Button3Click();
    void Open1Click();
    void Save1Click();
    void Exit1Click();
    void Extra2Click();
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
    void Jacobian1Click();
    void Shadedballs1Click();
    void Speedsimulation1Click();
    void Memo1Change();
    void Memo1Exit();
    void PaintBox1Paint(QPainter* painter);
    void PaintBox1MouseDown(QMouseEvent* event);
    void PaintBox1MouseMove(QMouseEvent* event);
    void PaintBox1MouseUp(QMouseEvent* event);
    // The first activation loads the description file named on the command line.
    void FormActivate();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void create_controls(QWidget* client);
    void create_menus();
    void create_shortcuts();
    TNEdit* create_field(QWidget* client, const char* name, tipo_campo type, int left, int width);
    QLabel* create_label(QWidget* client, const char* name, const QString& caption, int left);

    // May the user discard the edited description? Asks only when it was edited.
    bool FormCloseQuery();
    // Initialize, view transform update and scene drawing; false when it failed.
    bool initialize_and_draw();
    void redraw();
    // Runs a command and shows an unexpected failure in an error box; false when it failed.
    bool guarded(const std::function<void()>& command);
    // Replaces the description panel by a file; false (with the error shown) when unreadable.
    bool load_description(const QString& path);
    void set_run_state(bool running);
    void show_run_progress(int step);
    QPoint view_point(const QMouseEvent* event) const;

    std::unique_ptr<DialogProvider> own_dialogs_;
    DialogProvider* dialogs_;
    PanelSink sink_;
    Simulator sim_;
    Camera camera_;
    Scene scene_;

    std::array<QAction*, OPTION_COUNT> option_actions_{};

    QString current_file_ = QStringLiteral("test.bal");
    QString startup_file_;
    bool startup_done_ = false;

    bool running_ = false;
    int run_step_ = 0;
    RelaxationResult last_run_;
    std::function<void(int)> step_hook_;
    bool close_confirmed_ = false;
    bool close_after_run_ = false;

    std::unique_ptr<AboutWindow> about_;
    std::unique_ptr<ExtraWindow> extra_;
    std::unique_ptr<ElectroscopeWindow> electroscope_;
    std::unique_ptr<JacobianWindow> jacobian_;
};

} // namespace ambrel::ui
