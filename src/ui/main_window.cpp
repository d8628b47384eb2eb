// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main_window.h"

#include "description/listing.h"
#include "ui/about_window.h"
#include "ui/application_keys.h"
#include "ui/charts.h"
#include "ui/description_document.h"
#include "ui/description_file.h"
#include "ui/description_marks.h"
#include "ui/dialog_provider.h"
#include "ui/electroscope_window.h"
#include "ui/examples.h"
#include "ui/extra_window.h"
#include "ui/help_window.h"
#include "ui/hints.h"
#include "ui/jacobian_window.h"
#include "ui/main_layout.h"
#include "ui/nedit.h"
#include "ui/recent_files.h"
#include "ui/split_handle.h"
#include "ui/sweep_window.h"
#include "ui/view_surface.h"
#include "ui/window_style.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QWheelEvent>

#include <exception>
#include <utility>

namespace ambrel::ui {

namespace {

// Above this many spheres the names of a file just opened are not drawn (Identify is turned
// off; the user may turn it on again).
constexpr int MAX_IDENTIFIED_SPHERES = 200;

// Leaving a control counts only when the focus moves to another control of the window, not
// when a menu opens or another window is activated.
bool leaves_control(const QFocusEvent* event) {
    return event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason;
}

} // namespace

MainWindow::MainWindow(DialogProvider* dialogs, QWidget* parent)
    : QMainWindow(parent), own_dialogs_(dialogs ? nullptr : std::make_unique<QtDialogProvider>()),
      dialogs_(dialogs ? dialogs : own_dialogs_.get()), commands_(std::make_unique<CommandController>()),
      tools_(commands_->sink(), *dialogs_) {
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QString::fromLatin1(APPLICATION_TITLE));
    apply_window_font(this);

    client_ = new ClientArea(this);
    client_->setObjectName(QStringLiteral("client"));
    client_->setMinimumSize(minimum_client_size());
    setCentralWidget(client_);
    create_controls(client_, dialogs_);
    commands_->sink().set_panel(Memo2);
    create_menus(this, session().options);
    create_output_menu(this);
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->showMessage(QStringLiteral("Ready"));
    client_->installEventFilter(this);
    Memo1->installEventFilter(this);

    view_ = new SystemView(
        PaintBox1, commands_->session(),
        {[this] { return commands_->busy(); }, [this] { return document_->out_of_date(); }}, this);
    document_ = new DescriptionDocument(
        Memo1, *dialogs_, this, [this](const std::string& line) { session().add_output_line(line); }, this);
    marks_ = new DescriptionMarks(Memo1);

    tools_.sweep->set_host(SweepHost{
        [this](const SweepRequest& request) { return start_sweep(request); },
        [this] { Button3Click(); },
    });
    tools_.jacobian->set_host(JacobianHost{
        [this](const JacobianSettings& settings, const JacobianPrint& print) {
            start_jacobian(settings, print);
        },
        [this] { Button3Click(); },
        [this] { return commands_->jacobian_result(); },
    });

    connect_controls();
    connect_menus();
    create_shortcuts(this);
    connect_commands();
    connect_splitters();
    add_field_hints(this);
    for (int i = 0; i < OPTION_COUNT; ++i)
        option_actions_[i]->setToolTip(option_hint(static_cast<Option>(i)));
    Options->setToolTipsVisible(true);
    PopupMenu1->setToolTipsVisible(true);
    watch_application_keys();
    restore_window_geometry(this, GEOMETRY_SETTINGS_KEY);
    splitter_shares_ = restore_splitter_shares(SPLITTERS_SETTINGS_KEY);
    // The controls take their places now, not only when the window is first shown.
    layout()->activate();
    apply_layout();
}

MainWindow::~MainWindow() {
    // The job may use the tool windows (the sweep's points): it ends before they go.
    commands_->stop_and_wait();
}

void MainWindow::watch_application_keys() {
    new ApplicationKeys(
        ApplicationKeyHost{
            [this](const QWidget* window) { return window == this || tools_.contains(window); },
            [this] { return commands_->busy() && Button3->isEnabled(); }, [this] { Button3Click(); },
            [this](const QWidget* window) { return window == tools_.convergence.get(); },
            [this](int key) {
                if (key == Qt::Key_F5)
                    Button1->click();
                else if (key == Qt::Key_F9 && Bcalculate->isEnabled())
                    Bcalculate->click();
                else if (key == Qt::Key_F10)
                    FindEquilibrium1->trigger();
            }},
        this);
}

void MainWindow::connect_controls() {
    connect(Button1, &QPushButton::clicked, this, &MainWindow::Button1Click);
    connect(Bcalculate, &QPushButton::clicked, this, &MainWindow::BcalculateClick);
    connect(Bequilibrium, &QPushButton::clicked, this, &MainWindow::BequilibriumClick);
    connect(Button3, &QPushButton::clicked, this, &MainWindow::Button3Click);
    connect(PaintBox1, &ViewSurface::paintRequested, this, &MainWindow::PaintBox1Paint);
    connect(PaintBox1, &ViewSurface::mouseDown, view_, &SystemView::mouse_down);
    connect(PaintBox1, &ViewSurface::mouseMove, view_, &SystemView::mouse_move);
    connect(PaintBox1, &ViewSurface::mouseUp, view_, &SystemView::mouse_up);
    connect(PaintBox1, &ViewSurface::mouseWheel, view_, &SystemView::wheel);
    connect(document_, &DescriptionDocument::out_of_date_changed, view_, &SystemView::update);
    connect(document_, &DescriptionDocument::title_changed, this,
            [this] { setWindowTitle(document_->title()); });
    connect(document_, &DescriptionDocument::file_used, this,
            [](const QString& path) { remember_recent_file(path); });
    // The electroscope table goes by default beside the description, where that folder can be
    // written (not an installed example's: the current folder then).
    connect(document_, &DescriptionDocument::current_file_changed, this, [this](const QString& name) {
        const QString folder = QFileInfo(name).absolutePath();
        tools_.electroscope->set_table_folder(QFileInfo(folder).isWritable() ? folder : QString());
    });
}

void MainWindow::connect_menus() {
    examples_folder_ = default_examples_folder();
    fill_examples_menu();
    // The examples are listed again each time the menu opens: the folder may have changed.
    connect(Examples1, &QMenu::aboutToShow, this, &MainWindow::fill_examples_menu);
    fill_recent_menu();
    connect(OpenRecent1, &QMenu::aboutToShow, this, &MainWindow::fill_recent_menu);
    const std::pair<QAction*, void (MainWindow::*)()> commands[] = {
        {New1, &MainWindow::New1Click},
        {Open1, &MainWindow::Open1Click},
        {Save1, &MainWindow::Save1Click},
        {SaveAs1, &MainWindow::SaveAs1Click},
        {Exit1, &MainWindow::Exit1Click},
        {Reset1, &MainWindow::Reset1Click},
        {Save2, &MainWindow::Save2Click},
        {List1, &MainWindow::List1Click},
        {Capacitances1, &MainWindow::Capacitances1Click},
        {SaveMatrix1, &MainWindow::SaveMatrix1Click},
        {FindEquilibrium1, &MainWindow::BequilibriumClick},
        {Saveoutput1, &MainWindow::Saveoutput1Click}};
    for (const auto& [action, command] : commands)
        connect(action, &QAction::triggered, this, command);
    for (int i = 0; i < OPTION_COUNT; ++i) {
        // The check mark is the option. A command works with the options as it began: a change
        // while it runs applies to the next one (the menu says so meanwhile).
        connect(option_actions_[i], &QAction::toggled, this,
                [this, option = static_cast<Option>(i)](bool on) { session().options.set(option, on); });
    }
    // The drawing switches show at once (their check mark has already set the option).
    connect(Shadedballs1, &QAction::toggled, view_, &SystemView::redraw);
    connect(Identify1, &QAction::triggered, view_, &SystemView::redraw);
    connect(Speedsimulation1, &QAction::toggled, this, &MainWindow::Speedsimulation1Click);
    auto show_on_click = [this](QAction* action, auto window) {
        connect(action, &QAction::triggered, this, [this, window] { show_window(window(), this); });
    };
    show_on_click(Extra2, [this] { return tools_.electroscope.get(); });
    show_on_click(Convergence1, [this] { return tools_.convergence.get(); });
    show_on_click(About, [this] { return tools_.about.get(); });
    show_on_click(Manual1, [this] { return tools_.help.get(); });
    show_on_click(Jacobian1, [this] { return tools_.jacobian.get(); });
    connect(Electroscopechart1, &QAction::triggered, this, [this] {
        // Beside the window the user sees: the electroscope window when it is open, else this one.
        tools_.electroscope->show_chart(
            tools_.electroscope->isVisible() ? static_cast<QWidget*>(tools_.electroscope.get()) : this);
    });
    connect(Sweep1, &QAction::triggered, this, [this] {
        offer_conductors();
        show_window(tools_.sweep.get(), this);
    });
    const std::pair<QAction*, DragMode> modes[] = {{Rotate1, DragMode::Rotate},
                                                   {Zoom1, DragMode::Zoom},
                                                   {Pan1, DragMode::Pan},
                                                   {Aspect1, DragMode::Aspect}};
    for (const auto& [action, mode] : modes)
        connect(action, &QAction::triggered, view_, [this, mode = mode] { view_->set_drag_mode(mode); });
    connect(Fit1, &QAction::triggered, view_, &SystemView::fit);
}

void MainWindow::connect_commands() {
    CommandController* c = commands_.get();
    connect(c, &CommandController::starting, this, &MainWindow::command_starting);
    connect(c, &CommandController::ended, this, &MainWindow::command_ended);
    connect(c, &CommandController::status, this,
            [this](const QString& text) { statusBar()->showMessage(text); });
    connect(c, &CommandController::steps, tools_.convergence.get(), &ConvergenceWindow::add_steps);
    connect(c, &CommandController::snapshot, view_, &SystemView::show_snapshot);
    connect(c, &CommandController::new_system, view_, &SystemView::take_new_system);
    connect(c, &CommandController::read_warnings, marks_, &DescriptionMarks::show_warnings);
    // The final reports cannot be stopped.
    connect(c, &CommandController::final_reports, Button3, [this] { Button3->setEnabled(false); });
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (placed_on_screen_)
        return;
    placed_on_screen_ = true;
    // Once the window manager has framed the window its real frame is known: keep it all on screen.
    QMetaObject::invokeMethod(
        this, [this] { keep_on_screen(this); }, Qt::QueuedConnection);
}

void MainWindow::connect_splitters() {
    view_splitter_ = new SplitHandle(Qt::Horizontal, client_);
    view_splitter_->setObjectName(QStringLiteral("ViewSplitter"));
    panel_splitter_ = new SplitHandle(Qt::Vertical, client_);
    panel_splitter_->setObjectName(QStringLiteral("PanelSplitter"));
    connect(view_splitter_, &SplitHandle::dragged, this, [this](QPoint to) {
        splitter_shares_ = shares_for_view_splitter(client_->size(), splitter_shares_, to.x());
        apply_layout();
    });
    connect(panel_splitter_, &SplitHandle::dragged, this, [this](QPoint to) {
        splitter_shares_ = shares_for_panel_splitter(client_->size(), splitter_shares_, to.y());
        apply_layout();
    });
}

void MainWindow::apply_layout() {
    const MainLayout layout = main_layout(client_->size(), splitter_shares_);
    place_controls(layout);
    view_splitter_->setGeometry(layout.view_splitter);
    panel_splitter_->setGeometry(layout.panel_splitter);
    view_->set_geometry(layout.view);
}

void MainWindow::set_examples_folder(const QString& folder) {
    examples_folder_ = folder;
    fill_examples_menu();
}

void MainWindow::fill_examples_menu() {
    fill_examples_menu_from(Examples1, examples_folder_, this,
                            [this](const QString& path) { ExampleClick(path); });
}

bool MainWindow::guarded(const std::function<void()>& command) {
    try {
        command();
        return true;
    } catch (const std::exception& error) {
        dialogs_->show_error(this, error_text(error));
    } catch (...) {
        dialogs_->show_error(this, QStringLiteral("Unexpected error"));
    }
    return false;
}

void MainWindow::set_run_state(bool running, bool stoppable) {
    set_controls_running(running, stoppable);
    tools_.jacobian->Button3->setEnabled(!running);
    tools_.sweep->set_running(running, stoppable && commands_->command() == Command::Sweep);
}

void MainWindow::command_starting(Command command, bool stoppable, const QString& status,
                                  bool reads_description) {
    if (reads_description) {
        // The camera takes a pending reset before the reading clears it; the view is no longer out
        // of date.
        view_->prepare_for_initialize();
        document_->mark_read();
    }
    if (command == Command::Jacobian)
        tools_.jacobian->set_saveable(false);
    status_before_ = statusBar()->currentMessage();
    statusBar()->showMessage(status);
    set_run_state(true, stoppable);
}

void MainWindow::command_ended(Command command, bool failed, const QString& failure) {
    if (description_left_in_run_) {
        description_left_in_run_ = false;
        Memo1Exit();
    }
    QWidget* error_parent = this;
    if (command == Command::Initialize && !failed) {
        // A file just opened is framed whole, and the names of a large system would cover it.
        if (std::exchange(opened_file_, false) && session().model.sphere_count > MAX_IDENTIFIED_SPHERES)
            Identify1->setChecked(false);
        view_->take_new_system();
        view_->fit_if_pending();
    }
    if (command == Command::Jacobian) {
        error_parent = tools_.jacobian.get();
        tools_.jacobian->set_saveable(!failed && commands_->jacobian_result()->computed);
    }
    if (command == Command::Sweep) {
        error_parent = tools_.sweep.get();
        tools_.sweep->sweep_ended(failed);
    }
    const QString status =
        command_end_text(command, failed, status_before_, *commands_, tools_.sweep->result());
    if (command == Command::Calculate || command == Command::Equilibrium)
        tools_.convergence->end_run(status);
    set_run_state(false, false);
    // Initialize may have read other conductors.
    offer_conductors();
    view_->redraw(); // the session as the command left it
    statusBar()->showMessage(status);
    if (failed)
        dialogs_->show_error(error_parent, failure);
    emit command_finished();
    if (close_after_run_) {
        close_after_run_ = false;
        close();
    }
}

void MainWindow::Button1Click() {
    commands_->initialize(description_lines());
}

void MainWindow::BcalculateClick() {
    if (commands_->busy() || run_fields_refused(*dialogs_, this))
        return;
    const RelaxationSettings settings = run_settings();
    tools_.convergence->begin_run(static_cast<double>(settings.force_error_uN), QStringLiteral("Step"),
                                  QStringLiteral("Calculating..."));
    commands_->calculate(settings, description_lines());
}

void MainWindow::BequilibriumClick() {
    if (commands_->busy() || run_fields_refused(*dialogs_, this))
        return;
    const EquilibriumSettings settings = equilibrium_settings(run_settings());
    tools_.convergence->begin_run(static_cast<double>(settings.force_error_uN), QStringLiteral("Iteration"),
                                  QStringLiteral("Finding the equilibrium..."));
    commands_->find_equilibrium(settings, description_lines());
}

bool MainWindow::start_sweep(const SweepRequest& request) {
    if (commands_->busy() || run_fields_refused(*dialogs_, tools_.sweep.get()))
        return false;
    SweepObserver observer;
    observer.began = [this](const SweepResult& columns) { tools_.sweep->post_columns(columns); };
    observer.point_done = [this](const SweepPoint& point, int done, int count) {
        tools_.sweep->post_point(point, done, count);
    };
    return commands_->sweep(request, run_settings(), std::move(observer), description_lines());
}

bool MainWindow::start_jacobian(const JacobianSettings& asked, const JacobianPrint& print) {
    if (commands_->busy() || run_fields_refused(*dialogs_, tools_.jacobian.get(), asked.angle_variation,
                                                tools_.jacobian->NEJacobian->caption()))
        return false;
    // The run's settings are the fields', as for Calculate and the sweep: the update law's time
    // step, and the force error below which the state is an equilibrium.
    const RelaxationSettings run = run_settings();
    JacobianSettings settings = asked;
    settings.time_step = run.time_step;
    settings.force_error_uN = run.force_error_uN;
    return commands_->jacobian(settings, print, description_lines());
}

void MainWindow::Button3Click() {
    if (commands_->busy() && Button3->isEnabled())
        statusBar()->showMessage(QStringLiteral("Stopping..."));
    commands_->request_stop();
    Button3->setEnabled(false);
    tools_.sweep->Bstop->setEnabled(false); // one Stop, wherever it was asked for
}

void MainWindow::Open1Click() {
    if (commands_->busy() || !document_->may_replace())
        return;
    const QString name = dialogs_->open_file_name(this, document_->current_file());
    if (!name.isEmpty())
        open_description(name);
}

void MainWindow::ExampleClick(const QString& path) {
    if (commands_->busy() || !document_->may_replace())
        return;
    // The shipped file is never written over: Save asks where, in the user's documents folder.
    open_description(path, true);
}

void MainWindow::RecentClick(const QString& path) {
    if (commands_->busy())
        return;
    if (!QFileInfo::exists(path)) {
        forget_recent_file(path);
        dialogs_->show_error(this, QStringLiteral("The file \"%1\" no longer exists; it is removed from the "
                                                  "recent files.")
                                       .arg(path));
        return;
    }
    if (document_->may_replace())
        open_description(path);
}

void MainWindow::fill_recent_menu() {
    ui::fill_recent_menu(OpenRecent1, [this](const QString& path) { RecentClick(path); });
}

void MainWindow::open_description(const QString& path, bool example) {
    statusBar()->clearMessage(); // the words about the model before no longer apply
    Alwayscalculate1->setChecked(false);
    if (!(example ? document_->open_example(path) : document_->open(path)))
        return;
    opened_file_ = true;
    view_->fit_next_system();
    commands_->initialize(description_lines());
    document_->set_unchanged();
}

void MainWindow::Save1Click() {
    document_->save();
}

void MainWindow::SaveAs1Click() {
    document_->save_as();
}

void MainWindow::New1Click() {
    if (commands_->busy() || !document_->may_start_new())
        return;
    statusBar()->clearMessage();
    document_->clear();
    // The view and the reports follow the panel: an empty system.
    commands_->initialize(description_lines());
}

void MainWindow::Exit1Click() {
    if (!document_->may_abandon())
        return;
    close_confirmed_ = true; // asked once: the close request does not ask again
    close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!close_confirmed_ && !document_->may_abandon()) {
        event->ignore();
        return;
    }
    if (commands_->busy()) {
        // A run is work too: asked before it is stopped (once; the close after it does not ask).
        if (!close_after_run_ &&
            !dialogs().ask_yes_no(this, QStringLiteral("A command is running. Stop it and exit?"))) {
            close_confirmed_ = false;
            event->ignore();
            return;
        }
        // The worker still uses the session: stop the command, and close when it has ended.
        close_confirmed_ = true;
        close_after_run_ = true;
        Button3Click();
        event->ignore();
        return;
    }
    close_confirmed_ = false;
    save_window_geometry(this, GEOMETRY_SETTINGS_KEY);
    save_splitter_shares(splitter_shares_, SPLITTERS_SETTINGS_KEY);
    // Closing the main window ends the program: the tool windows go with it.
    tools_.close_all();
    event->accept();
}

void MainWindow::offer_conductors() {
    if (commands_->busy())
        return;
    std::vector<std::string> names;
    for (int c = 1; c <= session().model.conductor_count; ++c)
        names.push_back(session().model.conductors[c].name);
    tools_.sweep->set_conductors(names);
}

void MainWindow::Reset1Click() {
    if (commands_->busy())
        return;
    view_->request_reset();
    commands_->initialize(description_lines());
}

void MainWindow::Save2Click() {
    const SaveChoice choice = dialogs_->save_file_name(this, QStringLiteral("test.bmp"), SaveKind::Picture);
    if (choice.cancelled())
        return;
    const bool png = picture_format(choice) == PictureFormat::Png;
    if (const Status saved = view_->save_picture(choice.name, png, CameraNumbers1->isChecked()); !saved)
        dialogs_->show_error(this, save_error_message(choice.name, saved));
    else
        session().add_output_line((png ? "Picture saved as " : "Bitmap saved as ") +
                                  choice.name.toStdString());
}

void MainWindow::List1Click() {
    if (!commands_->busy())
        guarded([this] { list_updated_system(session().model, session().sink()); });
}

void MainWindow::Capacitances1Click() {
    commands_->capacitances();
}

void MainWindow::SaveMatrix1Click() {
    if (commands_->busy())
        return;
    const SaveChoice choice =
        dialogs_->save_file_name(this, QStringLiteral("capacitances.csv"), SaveKind::Csv);
    if (!choice.cancelled())
        commands_->save_capacitance_matrix(QFile::encodeName(choice.name).toStdString());
}

void MainWindow::Saveoutput1Click() {
    const QString name = dialogs_->save_file_name(this, QStringLiteral("output.txt"), SaveKind::Output).name;
    if (name.isEmpty())
        return;
    commands_->sink().flush();
    if (const Status written = write_description_file(name, Memo2->toPlainText().split(QLatin1Char('\n')));
        !written) {
        dialogs_->show_error(this, save_error_message(name, written));
        return;
    }
    // Not a line of the output panel: the saved text would then differ from the panel at once.
    statusBar()->showMessage(QStringLiteral("Output saved in file ") + name);
}

void MainWindow::Speedsimulation1Click() {
    const bool on = Speedsimulation1->isChecked();
    NEdamping->setEnabled(on);
    Label4->setEnabled(on);
}

void MainWindow::Memo1Exit() {
    // A click in and out of the description, or edits undone, change nothing: the system read
    // (and relaxed) stays.
    if (!document_->out_of_date())
        return;
    if (commands_->busy()) {
        // The command may be reading the flag: it is cleared when the command ends.
        description_left_in_run_ = true;
        return;
    }
    // The next Calculate reads the description again; until Initialize the view is frozen.
    session().system_initialized = false;
    view_->update();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == client_ && event->type() == QEvent::Resize)
        apply_layout();
    if (watched == Memo1 && event->type() == QEvent::FocusOut &&
        leaves_control(static_cast<QFocusEvent*>(event)))
        Memo1Exit();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::PaintBox1Paint(QPainter* painter) {
    view_->paint(painter);
}

bool MainWindow::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        // A menu's tip shows over the status bar's words for as long as the pointer is on its
        // item, and they come back after it: the end of the last run stays until the next command
        // (by default an item without a tip, or leaving one, would clear them for good).
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        if (!tip.isEmpty()) {
            if (!showing_tip_)
                status_under_tip_ = statusBar()->currentMessage();
            showing_tip_ = true;
            statusBar()->showMessage(tip);
        } else if (showing_tip_) {
            showing_tip_ = false;
            statusBar()->showMessage(status_under_tip_);
        }
        return true;
    }
    const bool result = QMainWindow::event(event);
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return result;
}

void MainWindow::FormActivate() {
    if (commands_->busy())
        return;
    // Another program changed the file: reloaded as Open loads it, when the user asks.
    if (document_->reload_changed_file()) {
        open_description(document_->current_file());
        return;
    }
    const QString path = document_->take_startup_file();
    if (path.isEmpty() || !document_->open(path))
        return;
    opened_file_ = true;
    view_->fit_next_system();
    document_->set_unchanged();
    commands_->initialize(description_lines());
}

} // namespace ambrel::ui
