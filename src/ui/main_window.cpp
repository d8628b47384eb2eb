#include "ui/main_window.h"

#include "description/listing.h"
#include "description/reader.h"
#include "report/capacitance_matrix.h"
#include "report/capacitance_report.h"
#include "solver/initialize.h"
#include "text/number_format.h"
#include "ui/about_window.h"
#include "ui/charts.h"
#include "ui/description_file.h"
#include "ui/dialog_provider.h"
#include "ui/electroscope_window.h"
#include "ui/examples.h"
#include "ui/extra_window.h"
#include "ui/jacobian_window.h"
#include "ui/main_layout.h"
#include "ui/nedit.h"
#include "ui/sweep_window.h"
#include "ui/view_surface.h"
#include "ui/window_style.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QWheelEvent>

#include <cmath>
#include <exception>
#include <stdexcept>
#include <utility>

namespace ambrel::ui {

namespace {

// The width of the Steps field: six digits and the field's frame (the next label starts at 736).
constexpr int STEPS_FIELD_WIDTH = 53;

// One notch of the mouse wheel zooms by this factor.
constexpr Real WHEEL_ZOOM_STEP = 1.25L;

const QString CHANGED_EXIT_QUESTION = QStringLiteral("Abandon changes and exit?");
const QString CHANGED_OPEN_QUESTION = QStringLiteral("Abandon changes and load another file?");
const QString PRESS_STOP = QStringLiteral(" - press Stop (Esc) to stop");

QString from_std(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString count_text(int n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

QString drag_mode_name(DragMode mode) {
    switch (mode) {
    case DragMode::Rotate:
        break;
    case DragMode::Zoom:
        return QStringLiteral("Zoom");
    case DragMode::Pan:
        return QStringLiteral("Pan");
    case DragMode::Aspect:
        return QStringLiteral("Aspect");
    }
    return QStringLiteral("Rotate");
}

// A charge density Q/r^2 (C/m^2) in nC/cm^2, as the legend shows it.
QString density_text(Real density) {
    return QString::number(static_cast<double>(density * 1e5L), 'g', 4);
}

QSettings window_settings() {
    return QSettings(QString::fromLatin1(APPLICATION_TITLE), QString::fromLatin1(APPLICATION_TITLE));
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

QString initialized_text(const InitializeResult& result, const SystemModel& model) {
    if (!result.read_status)
        return QStringLiteral("Reading stopped: see the output panel");
    QString text = QStringLiteral("Initialized: ") + count_text(model.sphere_count, "sphere", "spheres") +
                   QStringLiteral(" in ") + count_text(model.object_count, "object", "objects") +
                   QStringLiteral(", ") + count_text(model.conductor_count, "conductor", "conductors");
    if (!result.charges_computed)
        text += QStringLiteral(", charges not computed");
    return text;
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

QString equilibrium_end_text(const EquilibriumResult& result) {
    switch (result.end) {
    case EquilibriumEnd::Converged:
        return QStringLiteral("Equilibrium found in %1 iterations").arg(result.iterations);
    case EquilibriumEnd::IterationLimit:
        return QStringLiteral("Iteration limit reached");
    case EquilibriumEnd::Stopped:
        return QStringLiteral("Stopped");
    case EquilibriumEnd::TooLargeAngles:
        return QStringLiteral("Unstable");
    case EquilibriumEnd::NotApplicable:
        return QStringLiteral("Equilibrium not searched");
    }
    return {};
}

MainWindow::MainWindow(DialogProvider* dialogs, QWidget* parent)
    : QMainWindow(parent), own_dialogs_(dialogs ? nullptr : std::make_unique<QtDialogProvider>()),
      dialogs_(dialogs ? dialogs : own_dialogs_.get()), session_(sink_) {
    session_.set_stop_token(stop_.token());
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QString::fromLatin1(APPLICATION_TITLE));
    apply_window_font(this);

    client_ = new ClientArea(this);
    client_->setObjectName(QStringLiteral("client"));
    client_->setMinimumSize(minimum_client_size());
    setCentralWidget(client_);
    create_controls(client_);
    sink_.set_panel(Memo2);
    create_menus();
    create_output_menu();
    create_shortcuts();
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->showMessage(QStringLiteral("Ready"));
    client_->installEventFilter(this);

    // The tool windows, in the order of their creation at program start.
    about_ = std::make_unique<AboutWindow>();
    extra_ = std::make_unique<ExtraWindow>(sink_, *dialogs_);
    electroscope_ = std::make_unique<ElectroscopeWindow>(sink_, *dialogs_);
    electroscope_->set_more_window(extra_.get());
    jacobian_ = std::make_unique<JacobianWindow>(*dialogs_);
    convergence_ = std::make_unique<ConvergenceWindow>(*dialogs_);
    sweep_ = std::make_unique<SweepWindow>(*dialogs_);
    sweep_->set_host(SweepHost{
        [this](const SweepRequest& request) { return start_sweep(request); },
        [this] { request_stop(); },
    });
    jacobian_->set_host(JacobianHost{
        [this] { return NEdelta->panel_real(); },
        [this](const JacobianSettings& settings) { start_jacobian(settings); },
        [this] { request_stop(); },
        [this]() -> const JacobianResult* { return worker_.busy() ? nullptr : &worker_jacobian_; },
    });

    view_snapshot_ = std::make_shared<SceneSnapshot>(make_scene_snapshot(
        session_.model, session_.evaluation, session_.options, session_.system_initialized));
    connect(&feed_, &RunFeed::updated, this, &MainWindow::take_feed);
    connect(&worker_, &CommandWorker::finished, this, &MainWindow::command_ended);
    place_at_start();
    // The controls take their places now, not only when the window is first shown.
    layout()->activate();
    apply_layout();
}

void MainWindow::place_at_start() {
    resize(sizeHint()); // the default size: the client area of the design, with menu and status bar
    const QByteArray remembered = window_settings().value(QLatin1String(GEOMETRY_SETTINGS_KEY)).toByteArray();
    // A remembered geometry is the window's own frame; it is checked against the screen once the
    // window is shown and its real frame known (showEvent).
    if (remembered.isEmpty() || !restoreGeometry(remembered))
        center_on_screen(this); // within the screen, with the frame estimated
}

void MainWindow::save_geometry() const {
    QSettings settings = window_settings();
    settings.setValue(QLatin1String(GEOMETRY_SETTINGS_KEY), saveGeometry());
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

void MainWindow::apply_layout() {
    const MainLayout layout = main_layout(client_->size());
    const QPoint shift = layout.second_group_offset;
    const struct {
        QWidget* widget;
        QPoint at;
    } second_group[] = {{Label2, {512, 16}},      {NEdelta, {568, 8}}, {Label3, {648, 16}},
                        {NEtentativas, {680, 8}}, {Label5, {736, 16}}, {NEtol, {824, 8}},
                        {Bequilibrium, {894, 8}}, {Label4, {976, 16}}, {NEdamping, {1032, 8}}};
    for (const auto& control : second_group)
        control.widget->move(control.at + shift);
    Memo1->setGeometry(layout.memo1);
    Memo2->setGeometry(layout.memo2);
    if (PaintBox1->geometry() == layout.view)
        return;
    PaintBox1->setGeometry(layout.view);
    scene_.resize(layout.view.width(), layout.view.height());
    if (drawn_snapshot_)
        draw_scene(scene_, *drawn_snapshot_, surface_camera());
    PaintBox1->update();
}

Camera MainWindow::surface_camera() const {
    return camera_for_surface(camera_, PaintBox1->width(), PaintBox1->height());
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

TNEdit* MainWindow::create_field(QWidget* client, const char* name, tipo_campo type, int left, int width,
                                 const QLabel* label) {
    auto* field = new TNEdit(client);
    field->setObjectName(QLatin1String(name));
    field->set_dialogs(dialogs_);
    field->set_caption(label->text().trimmed()); // its error box names it by its label
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
    // In the gap between the force error and the damping.
    Bequilibrium = new QPushButton(QStringLiteral("Find equilibrium"), client);
    Bequilibrium->setObjectName(QStringLiteral("Bequilibrium"));
    Bequilibrium->setFont(compact_font());
    Bequilibrium->setGeometry(894, 8, 78, 25);
    CBrandom = new QCheckBox(QStringLiteral("Start with random error"), client);
    CBrandom->setObjectName(QStringLiteral("CBrandom"));
    CBrandom->setGeometry(152, 16, 137, 17);
    CBrandom->setFont(compact_font());
    Label1 = create_label(client, "Label1", QStringLiteral("Max random error (deg)"), 288);
    NEerro = create_field(client, "NEerro", tipo_campo::real_field, 408, 33, Label1);
    NEerro->set_panel_real(5);
    Button3 = new QPushButton(QStringLiteral("Stop"), client);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setGeometry(456, 8, 41, 25);
    Button3->setEnabled(false);
    Label2 = create_label(client, "Label2", QStringLiteral("Time step"), 512);
    NEdelta = create_field(client, "NEdelta", tipo_campo::real_field, 568, 65, Label2);
    NEdelta->set_panel_real(0.05L);
    Label3 = create_label(client, "Label3", QStringLiteral("Steps"), 648);
    NEtentativas =
        create_field(client, "NEtentativas", tipo_campo::int_field, 680, STEPS_FIELD_WIDTH, Label3);
    NEtentativas->set_panel_int(1000);
    Label5 = create_label(client, "Label5", QStringLiteral("Force error (uN)"), 736);
    NEtol = create_field(client, "NEtol", tipo_campo::real_field, 824, 65, Label5);
    NEtol->set_panel_real(0.0001L);
    Label4 = create_label(client, "Label4", QStringLiteral("Damping "), 976);
    Label4->setEnabled(false);
    NEdamping = create_field(client, "NEdamping", tipo_campo::real_field, 1032, 65, Label4);
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
    Memo2->setContextMenuPolicy(Qt::CustomContextMenu);

    PaintBox1 = new ViewSurface(client);
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    PaintBox1->setGeometry(512, 40, VIEW_WIDTH, VIEW_HEIGHT);

    connect(Button1, &QPushButton::clicked, this, &MainWindow::Button1Click);
    connect(Bcalculate, &QPushButton::clicked, this, &MainWindow::BcalculateClick);
    connect(Bequilibrium, &QPushButton::clicked, this, &MainWindow::BequilibriumClick);
    connect(Button3, &QPushButton::clicked, this, &MainWindow::Button3Click);
    connect(Memo1, &QPlainTextEdit::textChanged, this, &MainWindow::Memo1Change);
    connect(PaintBox1, &ViewSurface::paintRequested, this, &MainWindow::PaintBox1Paint);
    connect(PaintBox1, &ViewSurface::mouseDown, this, &MainWindow::PaintBox1MouseDown);
    connect(PaintBox1, &ViewSurface::mouseMove, this, &MainWindow::PaintBox1MouseMove);
    connect(PaintBox1, &ViewSurface::mouseUp, this, &MainWindow::PaintBox1MouseUp);
    connect(PaintBox1, &ViewSurface::mouseWheel, this, &MainWindow::PaintBox1MouseWheel);
}

void MainWindow::create_menus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    // Alt and the underlined letter open a menu or choose a command.
    File1 = bar->addMenu(QStringLiteral("&File"));
    File1->setObjectName(QStringLiteral("File1"));
    Open1 = File1->addAction(QStringLiteral("&Open"));
    Open1->setObjectName(QStringLiteral("Open1"));
    Open1->setShortcut(QKeySequence::Open);
    Save1 = File1->addAction(QStringLiteral("&Save"));
    Save1->setObjectName(QStringLiteral("Save1"));
    Save1->setShortcut(QKeySequence::Save);
    Exit1 = File1->addAction(QStringLiteral("E&xit"));
    Exit1->setObjectName(QStringLiteral("Exit1"));
    Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    // The examples are listed again each time the menu opens: the folder may have changed.
    Examples1 = new QMenu(QStringLiteral("&Examples"), File1);
    Examples1->setObjectName(QStringLiteral("Examples1"));
    Examples1->menuAction()->setObjectName(QStringLiteral("Examples1Item"));
    Examples1->setToolTipsVisible(true); // the whole first comment and the file's place
    File1->insertMenu(Save1, Examples1);
    examples_folder_ = default_examples_folder();
    fill_examples_menu();
    connect(Examples1, &QMenu::aboutToShow, this, &MainWindow::fill_examples_menu);
    connect(Open1, &QAction::triggered, this, &MainWindow::Open1Click);
    connect(Save1, &QAction::triggered, this, &MainWindow::Save1Click);
    connect(Exit1, &QAction::triggered, this, &MainWindow::Exit1Click);

    Options = bar->addMenu(QStringLiteral("&Options"));
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
        // The check mark is the option. A command works with the options as it began: a change
        // while it runs applies to the next one (the menu says so meanwhile).
        connect(action, &QAction::toggled, this,
                [this, option](bool on) { session_.options.set(option, on); });
        option_actions_[i] = action;
        *named[i] = action;
        if (option != Option::Identify)
            Options->addAction(action);
    }
    // Shown at the foot of the menu while a command runs only.
    options_separator_ = new QAction(this);
    options_separator_->setSeparator(true);
    options_note_ = new QAction(QStringLiteral("Changes apply to the next command"), this);
    options_note_->setObjectName(QStringLiteral("OptionsNote"));
    options_note_->setEnabled(false);
    connect(Shadedballs1, &QAction::toggled, this, &MainWindow::Shadedballs1Click);
    connect(Speedsimulation1, &QAction::toggled, this, &MainWindow::Speedsimulation1Click);

    Extra2 = bar->addAction(QStringLiteral("&Extra"));
    Extra2->setObjectName(QStringLiteral("Extra2"));
    connect(Extra2, &QAction::triggered, this, &MainWindow::Extra2Click);
    Charts1 = bar->addMenu(QStringLiteral("&Charts"));
    Charts1->setObjectName(QStringLiteral("Charts1"));
    Convergence1 = Charts1->addAction(QStringLiteral("&Convergence of the run"));
    Convergence1->setObjectName(QStringLiteral("Convergence1"));
    Convergence1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    connect(Convergence1, &QAction::triggered, this, &MainWindow::Convergence1Click);
    Electroscopechart1 = Charts1->addAction(QStringLiteral("&Electroscope table"));
    Electroscopechart1->setObjectName(QStringLiteral("Electroscopechart1"));
    connect(Electroscopechart1, &QAction::triggered, this, &MainWindow::Electroscopechart1Click);
    Sweep1 = Charts1->addAction(QStringLiteral("&Voltage sweep"));
    Sweep1->setObjectName(QStringLiteral("Sweep1"));
    connect(Sweep1, &QAction::triggered, this, &MainWindow::Sweep1Click);
    About = bar->addAction(QStringLiteral("&About"));
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
    Fit1 = add_popup("Fit1", "Fit to system", &MainWindow::Fit1Click);
    Fit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    addAction(Fit1); // the key works wherever the focus is in the window
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(Identify1);
    connect(Identify1, &QAction::triggered, this, &MainWindow::Identify1Click);
    Reset1 = add_popup("Reset1", "Reset", &MainWindow::Reset1Click);
    Save2 = add_popup("Save2", "Save", &MainWindow::Save2Click);
    List1 = add_popup("List1", "List", &MainWindow::List1Click);
    Capacitances1 = add_popup("Capacitances1", "Capacitances", &MainWindow::Capacitances1Click);
    SaveMatrix1 = add_popup("SaveMatrix1", "Save capacitance matrix...", &MainWindow::SaveMatrix1Click);
    Jacobian1 = add_popup("Jacobian1", "Jacobian", &MainWindow::Jacobian1Click);
    FindEquilibrium1 = add_popup("FindEquilibrium1", "Find equilibrium", &MainWindow::BequilibriumClick);
    FindEquilibrium1->setShortcut(QKeySequence(Qt::Key_F10));
    FindEquilibrium1->setShortcutContext(Qt::WindowShortcut);
    addAction(FindEquilibrium1); // the key works wherever the focus is in the window
    PaintBox1->set_popup_menu(PopupMenu1);
}

void MainWindow::set_examples_folder(const QString& folder) {
    examples_folder_ = folder;
    fill_examples_menu();
}

void MainWindow::fill_examples_menu() {
    Examples1->clear();
    const std::vector<ExampleFile> examples = list_examples(examples_folder_);
    for (const ExampleFile& example : examples) {
        QAction* item = Examples1->addAction(example_menu_text(example));
        item->setData(example.path);
        item->setToolTip(example.title.isEmpty() ? example.path
                                                 : example.title + QLatin1Char('\n') + example.path);
        connect(item, &QAction::triggered, this, [this, path = example.path] { ExampleClick(path); });
    }
    if (examples.empty()) {
        QAction* none = Examples1->addAction(examples_folder_.isEmpty()
                                                 ? QStringLiteral("No examples found")
                                                 : QStringLiteral("No examples in ") + examples_folder_);
        none->setEnabled(false);
    }
}

void MainWindow::create_output_menu() {
    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    auto add = [this](const char* name, const QString& caption, QKeySequence key) {
        QAction* action = PopupMenu2->addAction(caption);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetShortcut); // shown in the menu; the panel handles the keys
        return action;
    };
    Copy1 = add("Copy1", QStringLiteral("&Copy"), QKeySequence::Copy);
    Selectall1 = add("Selectall1", QStringLiteral("Select &all"), QKeySequence::SelectAll);
    PopupMenu2->addSeparator();
    Clear1 = add("Clear1", QStringLiteral("C&lear"), {});
    Saveoutput1 = add("Saveoutput1", QStringLiteral("&Save output as..."), {});
    connect(Copy1, &QAction::triggered, Memo2, &QPlainTextEdit::copy);
    connect(Selectall1, &QAction::triggered, Memo2, &QPlainTextEdit::selectAll);
    connect(Clear1, &QAction::triggered, this, &MainWindow::Clear1Click);
    connect(Saveoutput1, &QAction::triggered, this, &MainWindow::Saveoutput1Click);
    connect(Memo2, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        Copy1->setEnabled(Memo2->textCursor().hasSelection());
        PopupMenu2->popup(Memo2->viewport()->mapToGlobal(at));
    });
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
    Bequilibrium->setToolTip(
        QStringLiteral("Find the equilibrium by Newton-type steps, and its stability (F10)"));
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
    draw_view(view_snapshot_);
    PaintBox1->update();
}

bool MainWindow::draw_view(const std::shared_ptr<const SceneSnapshot>& snapshot) {
    if (!draw_scene(scene_, *snapshot, surface_camera()))
        return false;
    drawn_snapshot_ = snapshot;
    return true;
}

void MainWindow::set_run_state(bool running, bool stoppable) {
    Button3->setEnabled(running && stoppable);
    // Commands that read or rebuild the model wait for the end of the command.
    for (QWidget* button : {static_cast<QWidget*>(Button1), static_cast<QWidget*>(Bcalculate),
                            static_cast<QWidget*>(Bequilibrium), static_cast<QWidget*>(jacobian_->Button3)})
        button->setEnabled(!running);
    for (QAction* action : {Open1, Examples1->menuAction(), Reset1, Usesquares, List1, Capacitances1,
                            SaveMatrix1, FindEquilibrium1})
        action->setEnabled(!running);
    sweep_->set_running(running, stoppable && command_ == Command::Sweep);
    if (running) {
        Options->addAction(options_separator_);
        Options->addAction(options_note_);
    } else {
        Options->removeAction(options_separator_);
        Options->removeAction(options_note_);
    }
}

bool MainWindow::start_command(Command command, bool stoppable, QWidget* error_parent, const QString& status,
                               std::function<void()> job) {
    if (worker_.busy())
        return false;
    feed_.take();  // nothing of an earlier command
    stop_.clear(); // before the worker starts: a Stop from now on is the command's
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
    convergence_->add_steps(update.steps);
    if (update.status && worker_.busy())
        statusBar()->showMessage(*update.status);
    if (update.snapshot && worker_.busy()) {
        view_snapshot_ = std::move(update.snapshot);
        redraw();
    }
}

void MainWindow::request_stop() {
    stop_.request();
    Button3->setEnabled(false);
}

void MainWindow::description_read() {
    edited_since_read_ = false;
}

void MainWindow::command_ended(bool failed, const QString& failure) {
    sink_.flush();
    convergence_->add_steps(feed_.take().steps); // every step has its point, the last ones too
    if (description_left_in_run_) {
        description_left_in_run_ = false;
        Memo1Exit();
    }
    QString status = status_before_;
    switch (command_) {
    case Command::Initialize:
        if (!failed) {
            update_view_transform(camera_);
            status = worker_init_.stopped ? QStringLiteral("Stopped: charges not computed")
                                          : initialized_text(worker_init_, session_.model);
        }
        break;
    case Command::Calculate:
        last_run_ = worker_run_;
        status = failed ? QStringLiteral("Calculation failed") : run_end_text(last_run_);
        convergence_->end_run(status);
        break;
    case Command::Equilibrium:
        status = failed ? QStringLiteral("Search failed") : equilibrium_end_text(worker_equilibrium_);
        convergence_->end_run(status);
        break;
    case Command::Jacobian:
        // A finished Jacobian says so; the words of an earlier run no longer describe the window.
        if (worker_jacobian_.stopped)
            status = QStringLiteral("Stopped");
        else if (!failed)
            status = QStringLiteral("Ready");
        jacobian_->set_saveable(!failed && worker_jacobian_.computed);
        break;
    case Command::Capacitances:
        break;
    case Command::Sweep:
        sweep_->sweep_ended(failed);
        if (failed)
            status = QStringLiteral("Sweep failed");
        else if (static_cast<int>(sweep_->result().points.size()) < sweep_->result().planned)
            status = QStringLiteral("Sweep stopped");
        else
            status = QStringLiteral("Sweep done");
        break;
    }
    set_run_state(false, false);
    // Initialize may have read other conductors.
    offer_conductors();
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
    prepare_view_for_initialize(camera_, std::exchange(view_reset_pending_, false), VIEW_WIDTH, VIEW_HEIGHT);
    worker_init_ = InitializeResult{};
    if (start_command(Command::Initialize, true, this, QStringLiteral("Initializing...") + PRESS_STOP,
                      [this, description = description_lines()] {
                          worker_init_ = initialize_system(session_, description);
                      }))
        description_read();
}

void MainWindow::Button1Click() {
    if (worker_.busy())
        return;
    start_initialize();
}

// Calculate and Find equilibrium: the run's fields checked first (a refused value runs nothing),
// each step (or iteration) fed to the status line and the convergence chart, the final reports
// not stoppable.
void MainWindow::start_run(Command command, const QString& step_word, const QString& status,
                           Real force_error_uN, std::function<void(const RunObserver&)> job) {
    RunObserver observer = make_observer();
    observer.step_done = [this, step_word](int step, Real error) {
        feed_.put_step(RunStep{step, static_cast<double>(error)});
        feed_.put_status(QStringLiteral("%1 %2, error %3 uN")
                             .arg(step_word)
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

    const bool reads_description = !session_.system_initialized;
    if (reads_description)
        prepare_view_for_initialize(camera_, std::exchange(view_reset_pending_, false), VIEW_WIDTH,
                                    VIEW_HEIGHT);
    convergence_->begin_run(static_cast<double>(force_error_uN), step_word,
                            command == Command::Equilibrium ? QStringLiteral("Finding the equilibrium...")
                                                            : QStringLiteral("Calculating..."));
    if (start_command(command, true, this, status,
                      [job = std::move(job), observer = std::move(observer)] { job(observer); }) &&
        reads_description)
        description_read();
}

bool MainWindow::run_fields_refused() {
    bool refused = false;
    for (TNEdit* field : {NEerro, NEdelta, NEtentativas, NEtol, NEdamping})
        refused = field->take_refusal() || refused;
    return refused || refuse_settings_out_of_range(this);
}

void MainWindow::BcalculateClick() {
    if (worker_.busy() || run_fields_refused())
        return;
    const RelaxationSettings settings = run_settings();
    worker_run_ = RelaxationResult{};
    start_run(Command::Calculate, QStringLiteral("Step"),
              QStringLiteral("Calculating... press Stop (Esc) to stop"), settings.force_error_uN,
              [this, settings, description = description_lines()](const RunObserver& observer) {
                  worker_run_ = run_calculate(session_, description, settings, observer);
              });
}

void MainWindow::BequilibriumClick() {
    if (worker_.busy() || run_fields_refused())
        return;
    const EquilibriumSettings settings = equilibrium_settings(run_settings());
    worker_equilibrium_ = EquilibriumResult{};
    start_run(Command::Equilibrium, QStringLiteral("Iteration"),
              QStringLiteral("Finding the equilibrium... press Stop (Esc) to stop"), settings.force_error_uN,
              [this, settings, description = description_lines()](const RunObserver& observer) {
                  worker_equilibrium_ = find_equilibrium(session_, description, settings, observer);
              });
}

RelaxationSettings MainWindow::run_settings() const {
    RelaxationSettings settings;
    settings.time_step = NEdelta->panel_real();
    settings.max_steps = NEtentativas->panel_int();
    settings.force_error_uN = NEtol->panel_real();
    settings.random_start = CBrandom->isChecked();
    settings.max_random_error_deg = NEerro->panel_real();
    settings.damping = NEdamping->panel_real();
    return settings;
}

bool MainWindow::refuse_settings_out_of_range(QWidget* parent, Real angle_variation,
                                              const QString& angle_caption) {
    const RelaxationSettings settings = run_settings();
    const std::pair<QString, std::string> broken[] = {
        {NEdelta->caption(), setting_rule_broken(RunSetting::TimeStep, settings.time_step)},
        {NEtentativas->caption(), setting_rule_broken(RunSetting::Steps, settings.max_steps)},
        {NEtol->caption(), setting_rule_broken(RunSetting::ForceError, settings.force_error_uN)},
        {NEdamping->caption(), setting_rule_broken(RunSetting::Damping, settings.damping)},
        {angle_caption, angle_caption.isEmpty()
                            ? std::string()
                            : setting_rule_broken(RunSetting::AngleVariation, angle_variation)},
    };
    const TNEdit* fields[] = {NEdelta, NEtentativas, NEtol, NEdamping, nullptr};
    for (std::size_t k = 0; k < std::size(broken); ++k) {
        if (broken[k].second.empty())
            continue;
        const QString value =
            fields[k] ? fields[k]->text().trimmed() : QString::fromStdString(format_g(angle_variation));
        dialogs_->show_error(parent ? parent : this,
                             broken[k].first + QStringLiteral(": ") + from_std(broken[k].second) +
                                 QStringLiteral(" (not ") + value + QStringLiteral(")"));
        return true;
    }
    return false;
}

bool MainWindow::start_sweep(const SweepRequest& request) {
    if (worker_.busy())
        return false;
    bool refused = false;
    for (TNEdit* field : {NEerro, NEdelta, NEtentativas, NEtol, NEdamping})
        refused = field->take_refusal() || refused;
    if (refused || refuse_settings_out_of_range(sweep_.get()))
        return false;
    SweepObserver observer;
    observer.run = make_observer();
    observer.began = [this](const SweepResult& columns) { sweep_->post_columns(columns); };
    observer.point_started = [this](int index, int count, Real voltage) {
        feed_.put_status(QStringLiteral("Sweep: point %1 of %2, %3 V")
                             .arg(index + 1)
                             .arg(count)
                             .arg(QString::fromStdString(format_g(voltage))) +
                         PRESS_STOP);
    };
    observer.point_done = [this](const SweepPoint& point, int done, int count) {
        sweep_->post_point(point, done, count);
    };
    observer.run.step_done = [this](int step, Real) {
        if (step_hook_)
            step_hook_(step);
    };
    // Before the first Initialize (or after an edit) the description is read first, as Calculate does.
    const bool reads_description = !session_.system_initialized;
    if (reads_description)
        prepare_view_for_initialize(camera_, std::exchange(view_reset_pending_, false), VIEW_WIDTH,
                                    VIEW_HEIGHT);
    const bool started =
        start_command(Command::Sweep, true, sweep_.get(), QStringLiteral("Sweep...") + PRESS_STOP,
                      [this, request, settings = run_settings(), observer = std::move(observer),
                       description = description_lines()] {
                          if (!session_.system_initialized) {
                              worker_init_ = initialize_system(session_, description);
                              if (observer.run.initialized)
                                  observer.run.initialized(worker_init_);
                          }
                          const Result<SweepResult> swept = run_sweep(session_, request, settings, observer);
                          if (!swept)
                              throw std::runtime_error("Sweep: " + swept.message());
                      });
    if (started && reads_description)
        description_read();
    return started;
}

bool MainWindow::start_jacobian(const JacobianSettings& asked) {
    if (worker_.busy())
        return false;
    if (refuse_settings_out_of_range(jacobian_.get(), asked.angle_variation,
                                     jacobian_->NEJacobian->caption()))
        return false;
    // The state is an equilibrium when its forces are below the window's force error.
    JacobianSettings settings = asked;
    settings.force_error_uN = NEtol->panel_real();
    RunObserver observer = make_observer();
    observer.progress = [this](int done, int evaluations) {
        feed_.put_status(QStringLiteral("Jacobian: evaluation %1 of %2").arg(done).arg(evaluations) +
                         PRESS_STOP);
        if (progress_hook_)
            progress_hook_(done, evaluations);
    };
    worker_jacobian_ = JacobianResult{};
    jacobian_->set_saveable(false);
    // Before the first Initialize (or after an edit) the description is read first.
    const bool reads_description = !session_.system_initialized;
    if (reads_description)
        prepare_view_for_initialize(camera_, std::exchange(view_reset_pending_, false), VIEW_WIDTH,
                                    VIEW_HEIGHT);
    const bool started =
        start_command(Command::Jacobian, true, jacobian_.get(), QStringLiteral("Jacobian...") + PRESS_STOP,
                      [this, settings, observer = std::move(observer), description = description_lines()] {
                          worker_jacobian_ = compute_jacobian(session_, settings, observer, &description);
                      });
    if (started && reads_description)
        description_read();
    return started;
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

bool MainWindow::may_load_another_file() {
    return !description_changed_ || dialogs_->ask_yes_no(this, CHANGED_OPEN_QUESTION);
}

void MainWindow::Open1Click() {
    if (worker_.busy() || !may_load_another_file())
        return;
    const QString name = dialogs_->open_file_name(this, current_file_);
    if (name.isEmpty())
        return;
    open_description(name);
}

void MainWindow::ExampleClick(const QString& path) {
    if (worker_.busy() || !may_load_another_file())
        return;
    open_description(path);
    // An installed example cannot be saved in place: Save proposes its name in the current folder.
    if (!QFileInfo(QFileInfo(path).absolutePath()).isWritable())
        set_current_file(QFileInfo(path).fileName());
}

void MainWindow::set_current_file(const QString& name) {
    current_file_ = name;
    // The electroscope table goes by default beside the description, where that folder can be
    // written (not an installed example's: the current folder then).
    const QString folder = QFileInfo(name).absolutePath();
    electroscope_->set_table_folder(QFileInfo(folder).isWritable() ? folder : QString());
}

void MainWindow::open_description(const QString& name) {
    set_current_file(name);
    statusBar()->clearMessage(); // the words about the model before no longer apply
    session_.add_output_line("Loading description from file " + name.toStdString());
    Alwayscalculate1->setChecked(false);
    if (!load_description(name))
        return;
    start_initialize();
    description_changed_ = false;
}

void MainWindow::Save1Click() {
    // The dialog proposes the file last opened or saved, whichever came later.
    const QString name = dialogs_->save_file_name(this, current_file_, SaveKind::Description).name;
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
    description_changed_ = false;
    set_current_file(name);
}

void MainWindow::Exit1Click() {
    if (!FormCloseQuery())
        return;
    close_confirmed_ = true; // asked once: the close request does not ask again
    close();
}

bool MainWindow::FormCloseQuery() {
    return !description_changed_ || dialogs_->ask_yes_no(this, CHANGED_EXIT_QUESTION);
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
    save_geometry();
    // Closing the main window ends the program: the tool windows go with it.
    for (QWidget* window :
         {static_cast<QWidget*>(about_.get()), static_cast<QWidget*>(extra_.get()),
          static_cast<QWidget*>(electroscope_.get()), static_cast<QWidget*>(electroscope_->chart_window()),
          static_cast<QWidget*>(jacobian_.get()), static_cast<QWidget*>(convergence_.get()),
          static_cast<QWidget*>(sweep_.get())})
        window->close();
    event->accept();
}

void MainWindow::Extra2Click() {
    show_window(electroscope_.get(), this);
}

void MainWindow::Convergence1Click() {
    show_window(convergence_.get(), this);
}

void MainWindow::Electroscopechart1Click() {
    // Beside the window the user sees: the electroscope window when it is open, else this one.
    electroscope_->show_chart(electroscope_->isVisible() ? static_cast<QWidget*>(electroscope_.get()) : this);
}

void MainWindow::Sweep1Click() {
    offer_conductors();
    show_window(sweep_.get(), this);
}

void MainWindow::offer_conductors() {
    if (worker_.busy())
        return;
    std::vector<std::string> names;
    for (int c = 1; c <= session_.model.conductor_count; ++c)
        names.push_back(session_.model.conductors[c].name);
    sweep_->set_conductors(names);
}

void MainWindow::AboutClick() {
    show_window(about_.get(), this);
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
    view_reset_pending_ = true;
    start_initialize();
}

void MainWindow::Save2Click() {
    const SaveChoice choice = dialogs_->save_file_name(this, QStringLiteral("test.bmp"), SaveKind::Picture);
    if (choice.cancelled())
        return;
    const QString& name = choice.name;
    QString reason;
    if (picture_format(choice) == PictureFormat::Png) {
        // The picture as the view shows it, at the view's size.
        if (!save_scene_png(scene_.image(), name, &reason)) {
            dialogs_->show_error(this, save_error_message(name, reason));
            return;
        }
        session_.add_output_line("Picture saved as " + name.toStdString());
        return;
    }
    // A bitmap keeps the 585 x 585 pixels of the view's design, whatever the view's size now.
    Scene bitmap(VIEW_WIDTH, VIEW_HEIGHT);
    if (drawn_snapshot_)
        draw_scene(bitmap, *drawn_snapshot_, camera_);
    if (!save_scene_bmp(bitmap, name, &reason)) {
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

void MainWindow::SaveMatrix1Click() {
    if (worker_.busy())
        return;
    const SaveChoice choice =
        dialogs_->save_file_name(this, QStringLiteral("capacitances.csv"), SaveKind::Csv);
    if (choice.cancelled())
        return;
    // Forming the matrix is a full inverse, as for Capacitances: the worker does it. Every outcome
    // is a line of the output panel: where the file is, the failed checks, why it was not written.
    start_command(Command::Capacitances, false, this, QStringLiteral("Saving the capacitance matrix..."),
                  [this, path = QFile::encodeName(choice.name).toStdString()] {
                      const CapacitanceMatrixExport done = export_capacitance_matrix(
                          session_.model, session_.workspace, session_.evaluation, path, session_.sink());
                      if (done.end != MatrixExportEnd::Written)
                          session_.add_output_line(done.message);
                  });
}

void MainWindow::Jacobian1Click() {
    show_window(jacobian_.get(), this);
}

void MainWindow::Fit1Click() {
    if (!view_navigable())
        return;
    if (fit_view(camera_, view_snapshot_->model, VIEW_WIDTH, VIEW_HEIGHT))
        redraw();
}

void MainWindow::Clear1Click() {
    Memo2->clear();
}

void MainWindow::Saveoutput1Click() {
    const QString name = dialogs_->save_file_name(this, QStringLiteral("output.txt"), SaveKind::Output).name;
    if (name.isEmpty())
        return;
    sink_.flush();
    QString reason;
    if (!write_description_file(name, Memo2->toPlainText().split(QLatin1Char('\n')), &reason)) {
        dialogs_->show_error(this, save_error_message(name, reason));
        return;
    }
    // Not a line of the output panel: the saved text would then differ from the panel at once.
    statusBar()->showMessage(QStringLiteral("Output saved in file ") + name);
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
    description_changed_ = true;
    if (!edited_since_read_) {
        edited_since_read_ = true;
        PaintBox1->update(); // the view says it is out of date
    }
}

void MainWindow::Memo1Exit() {
    if (worker_.busy()) {
        // The command may be reading the flag: it is cleared when the command ends.
        description_left_in_run_ = true;
        return;
    }
    // The next Calculate reads the description again; until Initialize the view is frozen.
    session_.system_initialized = false;
    PaintBox1->update();
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
    const QRect bounds = PaintBox1->rect();
    if (scene_.has_picture()) {
        // The picture keeps its 585 x 585 pixels and is scaled to the surface on screens
        // with more device pixels per logical pixel.
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawImage(bounds, scene_.image());
        draw_notes(painter);
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

bool MainWindow::view_navigable() const {
    // The picture on the view decides, so the view can be turned while a command runs.
    return worker_.busy() ? view_snapshot_->system_initialized : session_.system_initialized;
}

void MainWindow::PaintBox1MouseDown(QMouseEvent* event) {
    const QPoint p = view_point(event);
    begin_drag(camera_, view_navigable(), (event->buttons() & Qt::LeftButton) != 0, p.x(), p.y());
}

void MainWindow::PaintBox1MouseMove(QMouseEvent* event) {
    const QPoint p = view_point(event);
    if (continue_drag(camera_, p.x(), p.y()))
        redraw();
}

void MainWindow::PaintBox1MouseUp(QMouseEvent*) {
    end_drag(camera_);
}

void MainWindow::PaintBox1MouseWheel(QWheelEvent* event) {
    event->accept();
    const int notches = event->angleDelta().y(); // in eighths of a degree, 120 a notch
    if (notches == 0 || !view_navigable() || camera_.drag_active)
        return;
    // Zooms in (wheel turned away from the user) or out, about the point under the pointer.
    const QPointF p = event->position();
    const Real x = p.x() * VIEW_WIDTH / std::max(1, PaintBox1->width());
    const Real y = p.y() * VIEW_HEIGHT / std::max(1, PaintBox1->height());
    const Real factor = std::pow(WHEEL_ZOOM_STEP, static_cast<Real>(notches) / 120);
    if (zoom_about(camera_, round_to_pixel(x), round_to_pixel(y), factor))
        redraw();
}

ViewNotes MainWindow::view_notes() const {
    ViewNotes notes;
    if (!scene_.has_picture())
        return notes;
    notes.drag_mode = QStringLiteral("Drag: ") + drag_mode_name(camera_.drag_mode);
    if (drawn_snapshot_ && drawn_snapshot_->forces_valid) {
        notes.legend << QStringLiteral("Q/r\u00b2 in nC/cm\u00b2:");
        if (drawn_snapshot_->density_max > 0)
            notes.legend << QStringLiteral("red ") + density_text(drawn_snapshot_->density_max);
        notes.legend << QStringLiteral("green 0");
        if (drawn_snapshot_->density_min < 0)
            notes.legend << QStringLiteral("blue ") + density_text(drawn_snapshot_->density_min);
    }
    if (edited_since_read_ || (!worker_.busy() && !session_.system_initialized))
        notes.out_of_date = QStringLiteral("Description changed: press Inicialize");
    return notes;
}

void MainWindow::draw_notes(QPainter* painter) const {
    const ViewNotes notes = view_notes();
    const QRect bounds = PaintBox1->rect();
    painter->setFont(window_font());
    const QFontMetrics metrics = painter->fontMetrics();
    const int line = metrics.height();
    // A note sits on a pale box, so it reads over the spheres and the frame.
    auto note_box = [&](const QRect& box) {
        painter->setPen(QColor(128, 128, 128));
        painter->setBrush(QColor(255, 255, 225));
        painter->drawRect(box.adjusted(0, 0, -1, -1));
        painter->setPen(Qt::black);
    };
    if (!notes.drag_mode.isEmpty()) {
        const QRect box(4, bounds.height() - line - 8, metrics.horizontalAdvance(notes.drag_mode) + 8,
                        line + 4);
        note_box(box);
        painter->drawText(box, Qt::AlignCenter, notes.drag_mode);
    }
    if (!notes.legend.isEmpty()) {
        // The legend's first line names the quantity; each other line starts with its colour.
        int width = 0;
        for (const QString& text : notes.legend)
            width = std::max(width, metrics.horizontalAdvance(text));
        const int swatch = line - 4;
        width += swatch + 14;
        const int height = static_cast<int>(notes.legend.size()) * line + 6;
        const QRect box(bounds.width() - width - 4, bounds.height() - height - 4, width, height);
        note_box(box);
        for (qsizetype k = 0; k < notes.legend.size(); ++k) {
            const int top = box.top() + 3 + static_cast<int>(k) * line;
            const QString& text = notes.legend[k];
            if (k > 0) {
                const QColor colour = text.startsWith(QLatin1String("red"))     ? QColor(255, 0, 0)
                                      : text.startsWith(QLatin1String("green")) ? QColor(0, 255, 0)
                                                                                : QColor(0, 0, 255);
                painter->fillRect(QRect(box.left() + 4, top + 2, swatch, swatch), colour);
            }
            const int left = k > 0 ? box.left() + swatch + 10 : box.left() + 4; // the title from the edge
            painter->drawText(QRect(left, top, width, line), Qt::AlignLeft | Qt::AlignVCenter, text);
        }
    }
    if (!notes.out_of_date.isEmpty()) {
        const int width = metrics.horizontalAdvance(notes.out_of_date) + 16;
        const QRect box((bounds.width() - width) / 2, 44, width, line + 8);
        painter->setPen(Qt::black);
        painter->setBrush(QColor(255, 255, 0));
        painter->drawRect(box.adjusted(0, 0, -1, -1));
        painter->drawText(box, Qt::AlignCenter, notes.out_of_date);
    }
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
    set_current_file(startup_file_);
    session_.add_output_line("Loading description from file " + startup_file_.toStdString());
    if (!load_description(startup_file_))
        return;
    description_changed_ = false;
    start_initialize();
}

} // namespace ambrel::ui
