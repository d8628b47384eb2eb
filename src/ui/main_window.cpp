#include "ui/main_window.h"

#include "description/listing.h"
#include "description/reader.h"
#include "report/capacitance_report.h"
#include "solver/initialize.h"
#include "text/number_format.h"
#include "ui/about_window.h"
#include "ui/description_file.h"
#include "ui/dialog_provider.h"
#include "ui/electroscope_window.h"
#include "ui/extra_window.h"
#include "ui/jacobian_window.h"
#include "ui/nedit.h"
#include "ui/view_surface.h"
#include "ui/window_style.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>

#include <exception>

namespace ambrel::ui {

namespace {

// The client area of the window: the controls sit at fixed positions in it.
constexpr int CLIENT_WIDTH = 1106;
constexpr int CLIENT_HEIGHT = 634;

const QString CHANGED_EXIT_QUESTION = QStringLiteral("Abandon changes and exit?");
const QString CHANGED_OPEN_QUESTION = QStringLiteral("Abandon changes and load another file?");
const QString PRESS_STOP = QStringLiteral(" - press Stop (Esc) to stop");

QString from_std(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Leaving a control counts only when the focus moves to another control of the window, not
// when a menu opens or another window is activated.
bool leaves_control(const QFocusEvent* event) {
    return event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason;
}

} // namespace

const QStringList& command_summary_lines() {
    static const QStringList lines{
        "Commands in the upper panel:",
        "Bname Conductor x0 y0 z0 L Angx Angz Radius Mass",
        "Oname Conductor x0 y0 z0 L Angx Angz Roctahedron Mass [Rball]",
        "Ename Conductor x0 y0 z0 L Angx Angz Rtetrahedron Mass [Rball]",
        "Cname Conductor x0 y0 z0 L Angx Angz Rcube Mass [Rball]",
        "Iname Conductor x0 y0 z0 L Angx Angz Ricosahedron Mass [Rball]",
        "Dname Conductor x0 y0 z0 L Angx Angz Rdodecahedron Mass [Rball]",
        "Rname Conductor x0 y0 z0 L Angx Angz Rtriacontahedron Mass [Rball]",
        "Lname Conductor x0 y0 z0 L Angx Angz Rline Mass [Rball]",
        "Tname Conductor x0 y0 z0 L Angx Angz Rtoroid Mass [Rball]",
        "Sname Conductor x0 y0 z0 L Angx Angz Rsquare5x5 Mass [Rball]",
        "Qname Conductor x0 y0 z0 L Angx Angz Rsquare10x10 Mass [Rball]",
        "Fname Conductor x0 y0 z0 L Angx Angz Rplaque5x5 Mass [Rball]",
        "Gname Conductor x0 y0 z0 L Angx Angz Rplaque10x10 Mass [Rball]",
        "Xname Conductor x0 y0 z0 L Angx Angz Rshape5x5 Mass [Rball]",
        "Yname Conductor x0 y0 z0 L Angx Angz Rshape10x10 Mass [Rball]",
        "Zname Conductor x0 y0 z0 L Angx Angz Rshape15x15 Mass [Rball]",
        "Hname Conductor x0 y0 z0 L Angx Angz Rball Mass Rline_ball Mass_line",
        "* Comment",
        ".V Conductor Voltage",
        ".X  5 comments below determine the shape of element x *x...x",
        ".Y 10 comments below determine the shape of element y *x........x",
        ".Z 15 comments below determine the shape of element z *x.............x",
        "Units in cm, degrees, grams and volts.",
        "",
    };
    return lines;
}

QString run_end_text(const RelaxationResult& result) {
    switch (result.end) {
    case RunEnd::Converged:
        return QStringLiteral("Converged in %1 steps").arg(result.steps);
    case RunEnd::StepLimit:
        return QStringLiteral("Step limit reached");
    case RunEnd::Stopped:
        return QStringLiteral("Stopped");
    case RunEnd::TooLargeAngles:
        return QStringLiteral("Unstable");
    }
    return {};
}

MainWindow::MainWindow(DialogProvider* dialogs, QWidget* parent)
    : QMainWindow(parent), own_dialogs_(dialogs ? nullptr : std::make_unique<QtDialogProvider>()),
      dialogs_(dialogs ? dialogs : own_dialogs_.get()), session_(sink_) {
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QString::fromLatin1(APPLICATION_TITLE));
    apply_window_font(this);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(CLIENT_WIDTH, CLIENT_HEIGHT);
    setCentralWidget(client);
    create_controls(client);
    sink_.set_panel(Memo2);
    create_menus();
    create_shortcuts();
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setSizeGripEnabled(false);
    statusBar()->showMessage(QStringLiteral("Ready"));
    // The window keeps the size of its client area, menu and status bar.
    setFixedSize(sizeHint());
    center_on_screen(this);

    // The tool windows, in the order of their creation at program start.
    about_ = std::make_unique<AboutWindow>();
    extra_ = std::make_unique<ExtraWindow>(sink_, *dialogs_);
    electroscope_ = std::make_unique<ElectroscopeWindow>(sink_, *dialogs_);
    electroscope_->set_more_window(extra_.get());
    jacobian_ = std::make_unique<JacobianWindow>(*dialogs_);
    jacobian_->set_host(JacobianHost{
        [this] { return NEdelta->panel_real(); },
        [this](const JacobianSettings& settings) { start_jacobian(settings); },
        [this] { request_stop(); },
    });

    view_snapshot_ = std::make_shared<SceneSnapshot>(make_scene_snapshot(
        session_.model, session_.evaluation, session_.options, session_.system_initialized));
    connect(&feed_, &RunFeed::updated, this, &MainWindow::take_feed);
    connect(&worker_, &CommandWorker::finished, this, &MainWindow::command_ended);
}

MainWindow::~MainWindow() {
    // The session must outlive the job: ask it to stop and let it end.
    request_stop();
    worker_.wait();
}

QLabel* MainWindow::create_label(QWidget* client, const char* name, const QString& caption, int left) {
    auto* label = new QLabel(caption, client);
    label->setObjectName(QLatin1String(name));
    label->setFont(compact_font()); // each label must end before the next control
    label->move(left, 16);
    label->adjustSize();
    return label;
}

TNEdit* MainWindow::create_field(QWidget* client, const char* name, tipo_campo type, int left, int width) {
    auto* field = new TNEdit(client);
    field->setObjectName(QLatin1String(name));
    field->set_dialogs(dialogs_);
    field->set_field_type(type);
    field->setGeometry(left, 8, width, 21);
    return field;
}

void MainWindow::create_controls(QWidget* client) {
    Button1 = new QPushButton(QStringLiteral("Inicialize"), client);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(8, 8, 65, 25);
    Bcalculate = new QPushButton(QStringLiteral("Calculate"), client);
    Bcalculate->setObjectName(QStringLiteral("Bcalculate"));
    Bcalculate->setGeometry(80, 8, 65, 25);
    CBrandom = new QCheckBox(QStringLiteral("Start with random error"), client);
    CBrandom->setObjectName(QStringLiteral("CBrandom"));
    CBrandom->setGeometry(152, 16, 137, 17);
    CBrandom->setFont(compact_font());
    Label1 = create_label(client, "Label1", QStringLiteral("Max random error (deg)"), 288);
    NEerro = create_field(client, "NEerro", tipo_campo::real_field, 408, 33);
    NEerro->set_panel_real(5);
    Button3 = new QPushButton(QStringLiteral("Stop"), client);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setGeometry(456, 8, 41, 25);
    Button3->setEnabled(false);
    Label2 = create_label(client, "Label2", QStringLiteral("Time step"), 512);
    NEdelta = create_field(client, "NEdelta", tipo_campo::real_field, 568, 65);
    NEdelta->set_panel_real(0.05L);
    Label3 = create_label(client, "Label3", QStringLiteral("Steps"), 648);
    NEtentativas = create_field(client, "NEtentativas", tipo_campo::int_field, 680, 41);
    NEtentativas->set_panel_int(1000);
    Label5 = create_label(client, "Label5", QStringLiteral("Force error (uN)"), 736);
    NEtol = create_field(client, "NEtol", tipo_campo::real_field, 824, 65);
    NEtol->set_panel_real(0.0001L);
    Label4 = create_label(client, "Label4", QStringLiteral("Damping "), 976);
    Label4->setEnabled(false);
    NEdamping = create_field(client, "NEdamping", tipo_campo::real_field, 1032, 65);
    NEdamping->set_panel_real(0.01L);
    NEdamping->setEnabled(false);
    NEdamping->setToolTip(QStringLiteral("For true time-domain simulation"));
    // A hint is shown on hover also over a disabled control, as the field is disabled at start.
    Label4->setToolTip(NEdamping->toolTip());

    Memo1 = new QPlainTextEdit(client);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(8, 40, 497, 209);
    Memo1->setFont(fixed_font());
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    {
        QStringList lines;
        for (const std::string& line : default_description())
            lines.append(from_std(line));
        const QSignalBlocker quiet(Memo1); // the default text is no edit
        Memo1->setPlainText(lines.join(QLatin1Char('\n')));
    }
    Memo1->installEventFilter(this);

    Memo2 = new QPlainTextEdit(client);
    Memo2->setObjectName(QStringLiteral("Memo2"));
    Memo2->setGeometry(8, 256, 497, 369);
    Memo2->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo2->setPlainText(command_summary_lines().join(QLatin1Char('\n')));

    PaintBox1 = new ViewSurface(client);
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    PaintBox1->setGeometry(512, 40, VIEW_WIDTH, VIEW_HEIGHT);

    connect(Button1, &QPushButton::clicked, this, &MainWindow::Button1Click);
    connect(Bcalculate, &QPushButton::clicked, this, &MainWindow::BcalculateClick);
    connect(Button3, &QPushButton::clicked, this, &MainWindow::Button3Click);
    connect(Memo1, &QPlainTextEdit::textChanged, this, &MainWindow::Memo1Change);
    connect(PaintBox1, &ViewSurface::paintRequested, this, &MainWindow::PaintBox1Paint);
    connect(PaintBox1, &ViewSurface::mouseDown, this, &MainWindow::PaintBox1MouseDown);
    connect(PaintBox1, &ViewSurface::mouseMove, this, &MainWindow::PaintBox1MouseMove);
    connect(PaintBox1, &ViewSurface::mouseUp, this, &MainWindow::PaintBox1MouseUp);
}

void MainWindow::create_menus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    File1 = bar->addMenu(QStringLiteral("File"));
    File1->setObjectName(QStringLiteral("File1"));
    Open1 = File1->addAction(QStringLiteral("Open"));
    Open1->setObjectName(QStringLiteral("Open1"));
    Open1->setShortcut(QKeySequence::Open);
    Save1 = File1->addAction(QStringLiteral("Save"));
    Save1->setObjectName(QStringLiteral("Save1"));
    Save1->setShortcut(QKeySequence::Save);
    Exit1 = File1->addAction(QStringLiteral("Exit"));
    Exit1->setObjectName(QStringLiteral("Exit1"));
    Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(Open1, &QAction::triggered, this, &MainWindow::Open1Click);
    connect(Save1, &QAction::triggered, this, &MainWindow::Save1Click);
    connect(Exit1, &QAction::triggered, this, &MainWindow::Exit1Click);

    Options = bar->addMenu(QStringLiteral("Options"));
    Options->setObjectName(QStringLiteral("Options"));
    QAction** named[OPTION_COUNT] = {
        &Distancesc1,      &Distancesx1,        &Showerrors1,        &Showcharges1,           &Showforces2,
        &Showefield1,      &Showtangentforces2, &Identifybynumbers1, &Rotateobjects1,         &Shadedballs1,
        &Alwayscalculate1, &Usesquares,         &Speedsimulation1,   &Correctrotationforces1, &Identify1};
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    for (int i = 0; i < OPTION_COUNT; ++i) {
        const Option option = static_cast<Option>(i);
        const OptionInfo& info = option_info(option);
        auto* action = new QAction(from_std(info.caption), this);
        action->setObjectName(from_std(info.item_name));
        action->setCheckable(true);
        action->setChecked(session_.option(option));
        // The check mark is the option: readers look at it when they run (also on the worker).
        connect(action, &QAction::toggled, this,
                [this, option](bool on) { session_.options.set(option, on); });
        option_actions_[i] = action;
        *named[i] = action;
        if (option != Option::Identify)
            Options->addAction(action);
    }
    connect(Shadedballs1, &QAction::toggled, this, &MainWindow::Shadedballs1Click);
    connect(Speedsimulation1, &QAction::toggled, this, &MainWindow::Speedsimulation1Click);

    Extra2 = bar->addAction(QStringLiteral("Extra"));
    Extra2->setObjectName(QStringLiteral("Extra2"));
    connect(Extra2, &QAction::triggered, this, &MainWindow::Extra2Click);
    About = bar->addAction(QStringLiteral("About"));
    About->setObjectName(QStringLiteral("About"));
    connect(About, &QAction::triggered, this, &MainWindow::AboutClick);

    // The view's pop-up menu. The drag modes show no check mark: choosing one sets the mode.
    auto add_popup = [this](const char* name, const char* caption, void (MainWindow::*handler)()) {
        QAction* action = PopupMenu1->addAction(QString::fromLatin1(caption));
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    Rotate1 = add_popup("Rotate1", "Rotate", &MainWindow::Rotate1Click);
    Zoom1 = add_popup("Zoom1", "Zoom", &MainWindow::Zoom1Click);
    Pan1 = add_popup("Pan1", "Pan", &MainWindow::Pan1Click);
    Aspect1 = add_popup("Aspect1", "Aspect", &MainWindow::Aspect1Click);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(Identify1);
    connect(Identify1, &QAction::triggered, this, &MainWindow::Identify1Click);
    Reset1 = add_popup("Reset1", "Reset", &MainWindow::Reset1Click);
    Save2 = add_popup("Save2", "Save", &MainWindow::Save2Click);
    List1 = add_popup("List1", "List", &MainWindow::List1Click);
    Capacitances1 = add_popup("Capacitances1", "Capacitances", &MainWindow::Capacitances1Click);
    Jacobian1 = add_popup("Jacobian1", "Jacobian", &MainWindow::Jacobian1Click);
    PaintBox1->set_popup_menu(PopupMenu1);
}

void MainWindow::create_shortcuts() {
    // F9 acts as a click on Calculate: the focus moves to the button first, so an edited
    // description or a value typed into a field takes effect as with the mouse.
    auto* inicialize = new QShortcut(QKeySequence(Qt::Key_F5), this);
    connect(inicialize, &QShortcut::activated, Button1, &QPushButton::click);
    auto* calculate = new QShortcut(QKeySequence(Qt::Key_F9), this);
    connect(calculate, &QShortcut::activated, this, [this] {
        if (!Bcalculate->isEnabled())
            return;
        Bcalculate->setFocus(Qt::ShortcutFocusReason);
        Bcalculate->click();
    });
    auto* stop = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(stop, &QShortcut::activated, Button3, &QPushButton::click);
    Button1->setToolTip(QStringLiteral("Read the description and compute the system (F5)"));
    Bcalculate->setToolTip(QStringLiteral("Search the equilibrium (F9)"));
    Button3->setToolTip(QStringLiteral("Stop the calculation (Esc)"));
}

QAction* MainWindow::option_action(Option option) const {
    return option_actions_[static_cast<int>(option)];
}

std::vector<std::string> MainWindow::description_lines() const {
    return split_lines(Memo1->toPlainText().toStdString());
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

void MainWindow::redraw() {
    if (!worker_.busy()) {
        view_snapshot_ = std::make_shared<SceneSnapshot>(make_scene_snapshot(
            session_.model, session_.evaluation, session_.options, session_.system_initialized));
    } else if (const ambrel::Options& live = session_.options;
               live[Option::ShadedBalls] != view_snapshot_->options[Option::ShadedBalls] ||
               live[Option::Identify] != view_snapshot_->options[Option::Identify] ||
               live[Option::IdentifyByNumbers] != view_snapshot_->options[Option::IdentifyByNumbers]) {
        // A drawing switch flipped during the command: the picture follows it at once.
        auto restyled = std::make_shared<SceneSnapshot>(*view_snapshot_);
        restyled->options = live;
        view_snapshot_ = std::move(restyled);
    }
    draw_scene(scene_, *view_snapshot_, camera_);
    PaintBox1->update();
}

void MainWindow::set_run_state(bool running, bool stoppable) {
    Button3->setEnabled(running && stoppable);
    // Commands that read or rebuild the model wait for the end of the command.
    for (QWidget* button : {static_cast<QWidget*>(Button1), static_cast<QWidget*>(Bcalculate),
                            static_cast<QWidget*>(jacobian_->Button3)})
        button->setEnabled(!running);
    for (QAction* action : {Open1, Reset1, Usesquares, List1, Capacitances1})
        action->setEnabled(!running);
}

bool MainWindow::start_command(Command command, bool stoppable, QWidget* error_parent, const QString& status,
                               std::function<void()> job) {
    if (worker_.busy())
        return false;
    feed_.take(); // nothing of an earlier command
    stop_wanted_ = false;
    command_ = command;
    error_parent_ = error_parent;
    status_before_ = statusBar()->currentMessage();
    statusBar()->showMessage(status);
    set_run_state(true, stoppable);
    worker_.start(std::move(job));
    return true;
}

RunObserver MainWindow::make_observer() {
    RunObserver observer;
    observer.after_positions = [this](const SystemModel& model, const Evaluation& evaluation) {
        // A command clears the flag as it begins: a Stop that came before is asked again here.
        if (stop_wanted_)
            session_.stop_requested = true;
        feed_.put_snapshot(std::make_shared<const SceneSnapshot>(
            make_scene_snapshot(model, evaluation, session_.options, true)));
    };
    // A command that had to read the description first: the camera takes the new system.
    observer.initialized = [this](const InitializeResult&) {
        QMetaObject::invokeMethod(
            this, [this] { update_view_transform(camera_); }, Qt::QueuedConnection);
    };
    return observer;
}

void MainWindow::take_feed() {
    RunFeed::Update update = feed_.take();
    if (update.status && worker_.busy())
        statusBar()->showMessage(*update.status);
    if (update.snapshot && worker_.busy()) {
        view_snapshot_ = std::move(update.snapshot);
        redraw();
    }
}

void MainWindow::request_stop() {
    stop_wanted_ = true;
    session_.stop_requested = true;
    Button3->setEnabled(false);
}

void MainWindow::command_ended(bool failed, const QString& failure) {
    sink_.flush();
    feed_.take();
    if (description_left_in_run_) {
        description_left_in_run_ = false;
        Memo1Exit();
    }
    QString status = status_before_;
    switch (command_) {
    case Command::Initialize:
        if (!failed)
            update_view_transform(camera_);
        break;
    case Command::Calculate:
        last_run_ = worker_run_;
        status = failed ? QStringLiteral("Calculation failed") : run_end_text(last_run_);
        break;
    case Command::Jacobian:
        // A finished Jacobian says so; the words of an earlier run no longer describe the window.
        if (worker_jacobian_.stopped)
            status = QStringLiteral("Stopped");
        else if (!failed)
            status = QStringLiteral("Ready");
        break;
    case Command::Capacitances:
        break;
    }
    set_run_state(false, false);
    redraw(); // the session as the command left it
    statusBar()->showMessage(status);
    if (failed)
        dialogs_->show_error(error_parent_ ? error_parent_ : this, failure);
    emit command_finished();
    if (close_after_run_) {
        close_after_run_ = false;
        close();
    }
}

void MainWindow::start_initialize() {
    // The camera reads the pending reset before Initialize clears it.
    prepare_view_for_initialize(camera_, session_.view_reset_pending, VIEW_WIDTH, VIEW_HEIGHT);
    start_command(Command::Initialize, false, this, QStringLiteral("Initializing..."),
                  [this, description = description_lines()] { initialize_system(session_, description); });
}

void MainWindow::Button1Click() {
    if (worker_.busy())
        return;
    start_initialize();
}

void MainWindow::BcalculateClick() {
    if (worker_.busy())
        return;
    bool refused = false;
    for (TNEdit* field : {NEerro, NEdelta, NEtentativas, NEtol, NEdamping})
        refused = field->take_refusal() || refused;
    if (refused)
        return;
    RelaxationSettings settings;
    settings.time_step = NEdelta->panel_real();
    settings.max_steps = NEtentativas->panel_int();
    settings.force_error_uN = NEtol->panel_real();
    settings.random_start = CBrandom->isChecked();
    settings.max_random_error_deg = NEerro->panel_real();
    settings.damping = NEdamping->panel_real();

    RunObserver observer = make_observer();
    observer.step_done = [this](int step, Real error) {
        feed_.put_status(QStringLiteral("Step %1, error %2 uN")
                             .arg(step)
                             .arg(QString::fromStdString(real_to_fixed_text(error * 1e6L, 0, 6))) +
                         PRESS_STOP);
        if (step_hook_)
            step_hook_(step);
    };
    observer.steps_ended = [this] {
        // The final reports cannot be stopped.
        QMetaObject::invokeMethod(
            this, [this] { Button3->setEnabled(false); }, Qt::QueuedConnection);
    };

    if (!session_.system_initialized)
        prepare_view_for_initialize(camera_, session_.view_reset_pending, VIEW_WIDTH, VIEW_HEIGHT);
    worker_run_ = RelaxationResult{};
    start_command(Command::Calculate, true, this, QStringLiteral("Calculating... press Stop (Esc) to stop"),
                  [this, settings, observer = std::move(observer), description = description_lines()] {
                      worker_run_ = run_calculate(session_, description, settings, observer);
                  });
}

bool MainWindow::start_jacobian(const JacobianSettings& asked) {
    if (worker_.busy())
        return false;
    // The state is an equilibrium when its forces are below the window's force error.
    JacobianSettings settings = asked;
    settings.force_error_uN = NEtol->panel_real();
    RunObserver observer = make_observer();
    observer.progress = [this](int object, int objects) {
        feed_.put_status(QStringLiteral("Jacobian: object %1 of %2").arg(object).arg(objects) + PRESS_STOP);
        if (progress_hook_)
            progress_hook_(object, objects);
    };
    worker_jacobian_ = JacobianResult{};
    // Before the first Initialize (or after an edit) the description is read first.
    if (!session_.system_initialized)
        prepare_view_for_initialize(camera_, session_.view_reset_pending, VIEW_WIDTH, VIEW_HEIGHT);
    return start_command(Command::Jacobian, true, jacobian_.get(), QStringLiteral("Jacobian...") + PRESS_STOP,
                         [this, settings, observer = std::move(observer), description = description_lines()] {
                             worker_jacobian_ = compute_jacobian(session_, settings, observer, &description);
                         });
}

void MainWindow::Button3Click() {
    request_stop();
}

bool MainWindow::load_description(const QString& path) {
    QString reason;
    const std::optional<QStringList> lines = read_description_file(path, &reason);
    if (!lines) {
        dialogs_->show_error(this, open_error_message(path, reason));
        return false;
    }
    Memo1->setPlainText(lines->join(QLatin1Char('\n')));
    return true;
}

void MainWindow::Open1Click() {
    if (worker_.busy())
        return;
    if (session_.description_changed && !dialogs_->ask_yes_no(this, CHANGED_OPEN_QUESTION))
        return;
    const QString name = dialogs_->open_file_name(this, current_file_);
    if (name.isEmpty())
        return;
    current_file_ = name;
    session_.add_output_line("Loading description from file " + name.toStdString());
    Alwayscalculate1->setChecked(false);
    if (!load_description(name))
        return;
    start_initialize();
    session_.description_changed = false;
}

void MainWindow::Save1Click() {
    // The dialog proposes the file last opened, not the name of the last save.
    const QString name = dialogs_->save_file_name(this, current_file_, DESCRIPTION_FILTER);
    if (name.isEmpty())
        return;
    QString reason;
    // The lines of the panel, as the reader sees them: a final line end starts no empty line.
    QStringList lines;
    for (const std::string& line : description_lines())
        lines << QString::fromStdString(line);
    if (!write_description_file(name, lines, &reason)) {
        dialogs_->show_error(this, save_error_message(name, reason));
        return;
    }
    session_.add_output_line("Description saved in file " + name.toStdString());
    session_.description_changed = false;
}

void MainWindow::Exit1Click() {
    if (!FormCloseQuery())
        return;
    close_confirmed_ = true; // asked once: the close request does not ask again
    close();
}

bool MainWindow::FormCloseQuery() {
    return !session_.description_changed || dialogs_->ask_yes_no(this, CHANGED_EXIT_QUESTION);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!close_confirmed_ && !FormCloseQuery()) {
        event->ignore();
        return;
    }
    if (worker_.busy()) {
        // The worker still uses the session: stop the command, and close when it has ended.
        close_confirmed_ = true;
        close_after_run_ = true;
        request_stop();
        event->ignore();
        return;
    }
    close_confirmed_ = false;
    // Closing the main window ends the program: the tool windows go with it.
    for (QWidget* window :
         {static_cast<QWidget*>(about_.get()), static_cast<QWidget*>(extra_.get()),
          static_cast<QWidget*>(electroscope_.get()), static_cast<QWidget*>(jacobian_.get())})
        window->close();
    event->accept();
}

void MainWindow::Extra2Click() {
    show_window(electroscope_.get());
}

void MainWindow::AboutClick() {
    show_window(about_.get());
}

void MainWindow::Rotate1Click() {
    camera_.drag_mode = DragMode::Rotate;
}

void MainWindow::Zoom1Click() {
    camera_.drag_mode = DragMode::Zoom;
}

void MainWindow::Pan1Click() {
    camera_.drag_mode = DragMode::Pan;
}

void MainWindow::Aspect1Click() {
    camera_.drag_mode = DragMode::Aspect;
}

void MainWindow::Identify1Click() {
    // The check mark has already toggled (and with it the option).
    redraw();
}

void MainWindow::Reset1Click() {
    if (worker_.busy())
        return;
    session_.view_reset_pending = true;
    start_initialize();
}

void MainWindow::Save2Click() {
    const QString name = dialogs_->save_file_name(this, QStringLiteral("test.bmp"), BITMAP_FILTER);
    if (name.isEmpty())
        return;
    QString reason;
    if (!save_scene_bmp(scene_, name, &reason)) {
        dialogs_->show_error(this, save_error_message(name, reason));
        return;
    }
    session_.add_output_line("Bitmap saved as " + name.toStdString());
}

void MainWindow::List1Click() {
    if (worker_.busy())
        return;
    guarded([this] { list_updated_system(session_.model, session_.sink()); });
}

void MainWindow::Capacitances1Click() {
    if (worker_.busy())
        return;
    start_command(Command::Capacitances, false, this, QStringLiteral("Capacitances..."),
                  [this] { report_capacitances(session_.model, session_.workspace, session_.sink()); });
}

void MainWindow::Jacobian1Click() {
    show_window(jacobian_.get());
}

void MainWindow::Shadedballs1Click() {
    redraw();
}

void MainWindow::Speedsimulation1Click() {
    const bool on = Speedsimulation1->isChecked();
    NEdamping->setEnabled(on);
    Label4->setEnabled(on);
}

void MainWindow::Memo1Change() {
    session_.description_changed = true;
}

void MainWindow::Memo1Exit() {
    if (worker_.busy()) {
        // The command may be reading the flag: it is cleared when the command ends.
        description_left_in_run_ = true;
        return;
    }
    // The next Calculate reads the description again; until Initialize the view is frozen.
    session_.system_initialized = false;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Memo1 && event->type() == QEvent::FocusOut &&
        leaves_control(static_cast<QFocusEvent*>(event)))
        Memo1Exit();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::PaintBox1Paint(QPainter* painter) {
    const QRect bounds = PaintBox1->rect();
    if (scene_.has_picture()) {
        // The picture keeps its 585 x 585 pixels and is scaled to the surface on screens
        // with more device pixels per logical pixel.
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawImage(bounds, scene_.image());
        return;
    }
    // Until the first Initialize the empty view is outlined.
    painter->setPen(QColor(192, 192, 192));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(bounds.adjusted(0, 0, -1, -1));
}

QPoint MainWindow::view_point(const QMouseEvent* event) const {
    // Mouse positions in the pixels of the scene, whatever the size of the surface.
    const QPointF p = event->position();
    const int w = std::max(1, PaintBox1->width()), h = std::max(1, PaintBox1->height());
    return QPoint(static_cast<int>(p.x() * VIEW_WIDTH / w), static_cast<int>(p.y() * VIEW_HEIGHT / h));
}

void MainWindow::PaintBox1MouseDown(QMouseEvent* event) {
    const QPoint p = view_point(event);
    // The picture on the view decides, so a drag works while a command runs.
    const bool initialized =
        worker_.busy() ? view_snapshot_->system_initialized : session_.system_initialized;
    begin_drag(camera_, initialized, (event->buttons() & Qt::LeftButton) != 0, p.x(), p.y());
}

void MainWindow::PaintBox1MouseMove(QMouseEvent* event) {
    const QPoint p = view_point(event);
    if (continue_drag(camera_, p.x(), p.y()))
        redraw();
}

void MainWindow::PaintBox1MouseUp(QMouseEvent*) {
    end_drag(camera_);
}

bool MainWindow::event(QEvent* event) {
    const bool result = QMainWindow::event(event);
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return result;
}

void MainWindow::FormActivate() {
    if (startup_done_ || startup_file_.isEmpty() || worker_.busy())
        return;
    // Tried once: a file that cannot be read is reported once, not at every activation that
    // follows the error box.
    startup_done_ = true;
    current_file_ = startup_file_;
    session_.add_output_line("Loading description from file " + startup_file_.toStdString());
    if (!load_description(startup_file_))
        return;
    session_.description_changed = false;
    start_initialize();
}

} // namespace ambrel::ui
