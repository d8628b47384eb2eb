// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// TForm1, the main window: the description editor, the output panel, the 3D view, the command
// buttons and the numeric fields of a run (ui/main_form.h), the main menu with the file commands and
// the option switches, and the view's pop-up menu. It assembles parts that each have one job and
// connects its controls and menus to them:
//   - the commands (ui/command_controller.h: the session, the worker thread, Stop), and how the
//     windows start and show them (ui/window_commands.h: the run settings of the fields, the
//     controls while a command runs, everything a command's end changes);
//   - the File menu's commands (ui/file_commands.h: New, Open, Open Recent, Examples, Save, Save
//     As, the start's file and a file changed by another program) on the description document
//     (ui/description_document.h: the file, its changes, the questions before abandoning them);
//   - the system view (ui/system_view.h: camera, scene, notes, mouse and wheel);
//   - the tool windows (ui/tool_windows.h): About, the manual, Extra, the electroscope, the
//     Jacobian, the chart of a run's convergence and the Sweep window.
// The window itself keeps what belongs to it as a window: its layout, closing, and the status
// bar's words under a menu item's tip.
//
// While a command runs, the commands that read or rebuild the model are disabled, the view draws
// the newest snapshot the command has sent (and can still be turned), report lines reach the
// output panel in order, and Stop (Esc) asks the command to stop after its present evaluation.
//
// The window can be resized and maximised: the two panels and the view (kept square) share the
// room (ui/main_layout.h) as two splitters divide it, and its geometry and the splitters are
// remembered between runs.
#pragma once

#include "ui/command_controller.h"
#include "ui/description_document.h"
#include "ui/file_commands.h"
#include "ui/main_form.h"
#include "ui/main_layout.h"
#include "ui/system_view.h"
#include "ui/tool_windows.h"
#include "ui/window_commands.h"
#include "ui/window_texts.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QPainter;

namespace ambrel::ui {

class DescriptionMarks;
class DialogProvider;

// Where the window remembers its geometry between runs (QSettings of organisation and
// application "Ambrel").
inline constexpr const char* GEOMETRY_SETTINGS_KEY = "main_window/geometry";
inline constexpr const char* SPLITTERS_SETTINGS_KEY = "main_window/splitters";

class HelpWindow;
class SplitHandle;

class MainWindow : public QMainWindow, public MainForm {
    Q_OBJECT

  public:
    // Prompts, file dialogs and error boxes go through `dialogs` (real ones when null).
    explicit MainWindow(DialogProvider* dialogs = nullptr, QWidget* parent = nullptr);
    ~MainWindow() override;

    Session& session() { return commands_->session(); }
    // The description was edited since it was last loaded or saved.
    bool description_changed() const { return document_->changed(); }
    // The next Initialize returns the camera to its default view (at start, and after Reset).
    bool view_reset_pending() const { return view_->reset_pending(); }
    // The camera of the navigation (on the VIEW_WIDTH x VIEW_HEIGHT surface), and the one that
    // draws the picture on the view at its present size.
    const Camera& camera() const { return view_->camera(); }
    Camera surface_camera() const { return view_->surface_camera(); }
    const Scene& scene() const { return view_->scene(); }
    DialogProvider& dialogs() { return *dialogs_; }

    AboutWindow* about_window() const { return tools_.about.get(); }
    ExtraWindow* extra_window() const { return tools_.extra.get(); }
    ElectroscopeWindow* electroscope_window() const { return tools_.electroscope.get(); }
    JacobianWindow* jacobian_window() const { return tools_.jacobian.get(); }
    ConvergenceWindow* convergence_window() const { return tools_.convergence.get(); }
    SweepWindow* sweep_window() const { return tools_.sweep.get(); }
    HelpWindow* help_window() const { return tools_.help.get(); }
    // The splitters' handles: between the panels and the view, and between the two panels.
    SplitHandle* view_splitter() const { return view_splitter_; }
    SplitHandle* panel_splitter() const { return panel_splitter_; }

    // The folder File > Examples lists (default_examples_folder() at start); the menu is filled
    // again from it each time it opens.
    QString examples_folder() const { return files_->examples_folder(); }
    void set_examples_folder(const QString& folder) { files_->set_examples_folder(folder); }

    // The description file named on the command line, loaded at the first activation.
    void set_startup_file(const QString& path) { document_->set_startup_file(path); }
    // The name of the current description file, as File, Open and the start-up load set it.
    QString current_file_name() const { return document_->current_file(); }
    // The marks of the last reading's warnings on the description panel.
    const DescriptionMarks* description_marks() const { return marks_; }
    // File > Save writes to it without a dialog.
    bool current_file_named() const { return document_->named(); }

    // The lines of the description panel.
    std::vector<std::string> description_lines() const { return document_->lines(); }
    // A long command is under way on the worker thread; `command_finished` follows its end.
    bool run_in_progress() const { return commands_->busy(); }
    // The result of the last Calculate run.
    const RelaxationResult& last_run() const { return commands_->last_run(); }
    // Test hooks (CommandController::set_step_hook, set_progress_hook).
    void set_step_hook(std::function<void(int step)> hook) { commands_->set_step_hook(std::move(hook)); }
    void set_search_hook(std::function<void(const SearchProgress&)> hook) {
        commands_->set_search_hook(std::move(hook));
    }
    void set_progress_hook(std::function<void(int done, int evaluations)> hook) {
        commands_->set_progress_hook(std::move(hook));
    }
    // Starts the Jacobian on the worker (the Jacobian window's Calculate button); false when it
    // did not start.
    bool start_jacobian(const JacobianSettings& settings, const JacobianPrint& print) {
        return runs_->start_jacobian(settings, print);
    }
    // Starts a voltage sweep with the run settings of the fields (the Sweep window's Run button),
    // the description read first when needed; false when it did not start.
    bool start_sweep(const SweepRequest& request) { return runs_->start_sweep(request); }

    QAction* option_action(Option option) const { return option_actions_[static_cast<int>(option)]; }

    // The notes drawn over the view as it stands.
    ViewNotes view_notes() const { return view_->notes(); }

  signals:
    // A long command has ended and the window is restored (any error box has been shown).
    void command_finished();

  public slots:
    // The commands (ui/window_commands.h).
    void Button1Click() { runs_->initialize(); }
    void BcalculateClick() { runs_->calculate(); }
    void BequilibriumClick() { runs_->find_equilibrium(); }
    void Button3Click() { runs_->stop(); }
    void Reset1Click() { runs_->reset(); }
    void List1Click() { runs_->list(); }
    void Capacitances1Click() { runs_->capacitances(); }
    void SaveMatrix1Click() { runs_->save_capacitance_matrix(); }
    // The description panel was left (the focus went to another control of the window).
    void Memo1Exit() { runs_->description_left(); }
    // The File menu (ui/file_commands.h).
    void New1Click() { files_->start_new(); }
    void Open1Click() { files_->open(); }
    // The example at `path`, opened as Open opens a file (after the same question).
    void ExampleClick(const QString& path) { files_->open_example(path); }
    // A file of Open Recent: opened as Open opens it, or dropped from the list (with a message)
    // when it no longer exists.
    void RecentClick(const QString& path) { files_->open_recent(path); }
    void Save1Click() { files_->save(); }
    void SaveAs1Click() { files_->save_as(); }
    // The first activation loads the description file named on the command line; a later one
    // offers to reload the file another program changed.
    void FormActivate() { files_->window_activated(); }
    // The window's own.
    void Exit1Click();
    void Save2Click();
    void Saveoutput1Click();
    void Speedsimulation1Click();
    void PaintBox1Paint(QPainter* painter);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

  private:
    // What the controls, menus and keys do.
    void connect_controls();
    void connect_menus();
    // Esc and the command keys from every window of the application.
    void watch_application_keys();
    // Places the controls for the size of the client area, and draws the view at its new size.
    void apply_layout();
    // The splitters: where a drag puts them, and remembering them.
    void connect_splitters();

    std::unique_ptr<DialogProvider> own_dialogs_;
    DialogProvider* dialogs_;
    // First: destroyed last, after every part that refers to its session.
    std::unique_ptr<CommandController> commands_;
    ToolWindows tools_;
    QWidget* client_ = nullptr;
    SystemView* view_ = nullptr;
    DescriptionDocument* document_ = nullptr;
    DescriptionMarks* marks_ = nullptr; // the description panel's colours and warning marks
    WindowCommands* runs_ = nullptr;    // the commands as the windows start and show them
    FileCommands* files_ = nullptr;
    SplitHandle* view_splitter_ = nullptr;
    SplitHandle* panel_splitter_ = nullptr;
    SplitterShares splitter_shares_;
    bool placed_on_screen_ = false;
    bool close_confirmed_ = false;
    bool showing_tip_ = false; // a menu item's status tip covers the status bar's words
    QString status_under_tip_; // those words
};

} // namespace ambrel::ui
