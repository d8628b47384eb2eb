// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main_form.h"

#include "description/reader.h"
#include "text/number_format.h"
#include "ui/dialog_provider.h"
#include "ui/main_layout.h"
#include "ui/nedit.h"
#include "ui/new_output_indicator.h"
#include "ui/view_surface.h"
#include "ui/window_style.h"
#include "ui/window_texts.h"
#include "view/camera.h"

#include <QCheckBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>

#include <iterator>

namespace ambrel::ui {

namespace {

QString from_std(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The width of the Steps field: six digits and the field's frame (the next label starts at 736).
constexpr int STEPS_FIELD_WIDTH = 53;

QLabel* create_label(QWidget* client, const char* name, const QString& caption, int left) {
    auto* label = new QLabel(caption, client);
    label->setObjectName(QLatin1String(name));
    label->setFont(compact_font()); // each label must end before the next control
    label->move(left, 16);
    label->adjustSize();
    return label;
}

TNEdit* create_field(QWidget* client, DialogProvider* dialogs, const char* name, tipo_campo type, int left,
                     int width, const QLabel* label) {
    auto* field = new TNEdit(client);
    field->setObjectName(QLatin1String(name));
    field->set_dialogs(dialogs);
    field->set_caption(label->text().trimmed()); // its error box names it by its label
    field->set_field_type(type);
    field->setGeometry(left, 8, width, 21);
    return field;
}

QPlainTextEdit* create_panel(QWidget* client, const char* name, const QRect& geometry) {
    auto* panel = new QPlainTextEdit(client);
    panel->setObjectName(QLatin1String(name));
    panel->setGeometry(geometry);
    panel->setLineWrapMode(QPlainTextEdit::NoWrap);
    panel->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    panel->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return panel;
}

QPushButton* create_button(QWidget* client, const char* name, const QString& caption, const QRect& geometry) {
    auto* button = new QPushButton(caption, client);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    return button;
}

} // namespace

void MainForm::create_controls(QWidget* client, DialogProvider* dialogs) {
    Button1 = create_button(client, "Button1", QStringLiteral("Inicialize"), {8, 8, 65, 25});
    Bcalculate = create_button(client, "Bcalculate", QStringLiteral("Calculate"), {80, 8, 65, 25});
    // In the gap between the force error and the damping.
    Bequilibrium =
        create_button(client, "Bequilibrium", QStringLiteral("Find equilibrium"), {894, 8, 78, 25});
    Bequilibrium->setFont(compact_font());
    CBrandom = new QCheckBox(QStringLiteral("Start with random error"), client);
    CBrandom->setObjectName(QStringLiteral("CBrandom"));
    CBrandom->setGeometry(152, 16, 137, 17);
    CBrandom->setFont(compact_font());
    Label1 = create_label(client, "Label1", QStringLiteral("Max random error (deg)"), 288);
    NEerro = create_field(client, dialogs, "NEerro", tipo_campo::real_field, 408, 33, Label1);
    NEerro->set_panel_real(5);
    Button3 = create_button(client, "Button3", QStringLiteral("Stop"), {456, 8, 41, 25});
    Button3->setEnabled(false);
    Label2 = create_label(client, "Label2", QStringLiteral("Time step"), 512);
    NEdelta = create_field(client, dialogs, "NEdelta", tipo_campo::real_field, 568, 65, Label2);
    NEdelta->set_panel_real(0.05L);
    Label3 = create_label(client, "Label3", QStringLiteral("Steps"), 648);
    NEtentativas =
        create_field(client, dialogs, "NEtentativas", tipo_campo::int_field, 680, STEPS_FIELD_WIDTH, Label3);
    NEtentativas->set_panel_int(1000);
    Label5 = create_label(client, "Label5", QStringLiteral("Force error (uN)"), 736);
    NEtol = create_field(client, dialogs, "NEtol", tipo_campo::real_field, 824, 65, Label5);
    NEtol->set_panel_real(0.0001L);
    Label4 = create_label(client, "Label4", QStringLiteral("Damping "), 976);
    Label4->setEnabled(false);
    NEdamping = create_field(client, dialogs, "NEdamping", tipo_campo::real_field, 1032, 65, Label4);
    NEdamping->set_panel_real(0.01L);
    NEdamping->setEnabled(false);
    NEdamping->setToolTip(
        QStringLiteral("For true time-domain simulation: the damping a of the angular speeds, in kg/s"));
    // A hint is shown on hover also over a disabled control, as the field is disabled at start.
    Label4->setToolTip(NEdamping->toolTip());
    Button1->setToolTip(QStringLiteral("Read the description and compute the system (F5)"));
    Bcalculate->setToolTip(QStringLiteral("Search the equilibrium (F9)"));
    Bequilibrium->setToolTip(
        QStringLiteral("Find the equilibrium by Newton-type steps, and its stability (F10)"));
    Button3->setToolTip(QStringLiteral("Stop the calculation (Esc)"));

    Memo1 = create_panel(client, "Memo1", {8, 40, 497, 209});
    Memo1->setFont(fixed_font());
    {
        QStringList lines;
        for (const std::string& line : default_description())
            lines.append(from_std(line));
        const QSignalBlocker quiet(Memo1); // the default text is no edit
        Memo1->setPlainText(lines.join(QLatin1Char('\n')));
    }
    Memo2 = create_panel(client, "Memo2", {8, 256, 497, 369});
    Memo2->setPlainText(command_summary_lines().join(QLatin1Char('\n')));
    Memo2->setContextMenuPolicy(Qt::CustomContextMenu);
    // The reports are read, selected and copied, never typed over (Clear of its menu empties it).
    Memo2->setReadOnly(true);
    Memo2->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    new NewOutputIndicator(Memo2); // reports that arrive while the panel is scrolled up

    PaintBox1 = new ViewSurface(client);
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    PaintBox1->setGeometry(512, 40, VIEW_WIDTH, VIEW_HEIGHT);

    // Tab goes along the row of controls as they stand, left to right, then into the description
    // and the output; in the panels Tab moves on too (a tab in a description only separates
    // fields, as a blank does, so typing one would add nothing).
    Memo1->setTabChangesFocus(true);
    Memo2->setTabChangesFocus(true);
    QWidget* const order[] = {Button1, Bcalculate,   CBrandom,  NEerro, Button3, NEdelta,  NEtentativas,
                              NEtol,   Bequilibrium, NEdamping, Memo1,  Memo2,   PaintBox1};
    for (std::size_t k = 1; k < std::size(order); ++k)
        QWidget::setTabOrder(order[k - 1], order[k]);
}

void MainForm::create_menus(QMainWindow* window, const ambrel::Options& options) {
    QMenuBar* bar = window->menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto name = [](auto* item, const char* object_name) {
        item->setObjectName(QLatin1String(object_name));
        return item;
    };

    // Alt and the underlined letter open a menu or choose a command.
    File1 = name(bar->addMenu(QStringLiteral("&File")), "File1");
    File1->setToolTipsVisible(true);
    New1 = name(File1->addAction(QStringLiteral("&New")), "New1");
    New1->setShortcut(QKeySequence::New);
    New1->setToolTip(QStringLiteral("Start an empty description (Ctrl+N)"));
    Open1 = name(File1->addAction(QStringLiteral("&Open")), "Open1");
    Open1->setShortcut(QKeySequence::Open);
    Open1->setToolTip(QStringLiteral("Open a description file and initialize it (Ctrl+O)"));
    OpenRecent1 = name(File1->addMenu(QStringLiteral("Open &Recent")), "OpenRecent1");
    OpenRecent1->menuAction()->setObjectName(QStringLiteral("OpenRecent1Item"));
    OpenRecent1->setToolTipsVisible(true); // the full path of each file
    Examples1 = name(File1->addMenu(QStringLiteral("&Examples")), "Examples1");
    Examples1->menuAction()->setObjectName(QStringLiteral("Examples1Item"));
    Examples1->setToolTipsVisible(true); // the whole first comment and the file's place
    File1->addSeparator();
    Save1 = name(File1->addAction(QStringLiteral("&Save")), "Save1");
    Save1->setShortcut(QKeySequence::Save);
    Save1->setToolTip(QStringLiteral("Save the description in its file; asks where for a new one (Ctrl+S)"));
    SaveAs1 = name(File1->addAction(QStringLiteral("Save &As...")), "SaveAs1");
    SaveAs1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    SaveAs1->setToolTip(QStringLiteral("Save the description in a file you choose (Ctrl+Shift+S)"));
    File1->addSeparator();
    Exit1 = name(File1->addAction(QStringLiteral("E&xit")), "Exit1");
    Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    Options = name(bar->addMenu(QStringLiteral("&Options")), "Options");
    QAction** named[OPTION_COUNT] = {
        &Distancesc1,      &Distancesx1,        &Showerrors1,        &Showcharges1,           &Showforces2,
        &Showefield1,      &Showtangentforces2, &Identifybynumbers1, &Rotateobjects1,         &Shadedballs1,
        &Alwayscalculate1, &Usesquares,         &Speedsimulation1,   &Correctrotationforces1, &Identify1};
    PopupMenu1 = name(new QMenu(window), "PopupMenu1");
    for (int i = 0; i < OPTION_COUNT; ++i) {
        const Option option = static_cast<Option>(i);
        const OptionInfo& info = option_info(option);
        auto* action = new QAction(from_std(info.caption), window);
        action->setObjectName(from_std(info.item_name));
        action->setCheckable(true);
        action->setChecked(options[option]);
        option_actions_[i] = action;
        *named[i] = action;
        if (option != Option::Identify)
            Options->addAction(action);
    }
    // Shown at the foot of the menu while a command runs only.
    options_separator_ = new QAction(window);
    options_separator_->setSeparator(true);
    options_note_ =
        name(new QAction(QStringLiteral("Changes apply to the next command"), window), "OptionsNote");
    options_note_->setEnabled(false);

    Extra2 = name(bar->addAction(QStringLiteral("&Extra")), "Extra2");
    Charts1 = name(bar->addMenu(QStringLiteral("&Charts")), "Charts1");
    Convergence1 = name(Charts1->addAction(QStringLiteral("&Convergence of the run")), "Convergence1");
    Convergence1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    Electroscopechart1 =
        name(Charts1->addAction(QStringLiteral("&Electroscope table")), "Electroscopechart1");
    Sweep1 = name(Charts1->addAction(QStringLiteral("&Voltage sweep")), "Sweep1");
    Help1 = name(bar->addMenu(QStringLiteral("&Help")), "Help1");
    Manual1 = name(Help1->addAction(QStringLiteral("&Manual")), "Manual1");
    Manual1->setShortcut(QKeySequence(Qt::Key_F1));
    Manual1->setShortcutContext(Qt::WindowShortcut);
    // About is on the menu bar itself, after Help: what the simulator computes is one click away.
    About = name(bar->addAction(QStringLiteral("&About")), "About");

    // The view's pop-up menu. The drag modes show no check mark: choosing one sets the mode.
    auto add_popup = [&](const char* object_name, const char* caption) {
        return name(PopupMenu1->addAction(QString::fromLatin1(caption)), object_name);
    };
    Rotate1 = add_popup("Rotate1", "Rotate");
    Zoom1 = add_popup("Zoom1", "Zoom");
    Pan1 = add_popup("Pan1", "Pan");
    Aspect1 = add_popup("Aspect1", "Aspect");
    Fit1 = add_popup("Fit1", "Fit to system");
    Fit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    window->addAction(Fit1); // the key works wherever the focus is in the window
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(Identify1);
    Reset1 = add_popup("Reset1", "Reset");
    Save2 = add_popup("Save2", "Save");
    // A PNG picture carries the camera's numbers only when asked for (a bitmap always does).
    CameraNumbers1 = add_popup("CameraNumbers1", "Camera numbers in PNG pictures");
    CameraNumbers1->setCheckable(true);
    List1 = add_popup("List1", "List");
    Capacitances1 = add_popup("Capacitances1", "Capacitances");
    SaveMatrix1 = add_popup("SaveMatrix1", "Save capacitance matrix...");
    Jacobian1 = add_popup("Jacobian1", "Jacobian");
    FindEquilibrium1 = add_popup("FindEquilibrium1", "Find equilibrium");
    FindEquilibrium1->setShortcut(QKeySequence(Qt::Key_F10));
    FindEquilibrium1->setShortcutContext(Qt::WindowShortcut);
    window->addAction(FindEquilibrium1); // the key works wherever the focus is in the window
    PaintBox1->set_popup_menu(PopupMenu1);

    // The same commands on the menu bar, for the keyboard (Alt+V), the pictures, reports and
    // commands among them with keys of their own that work wherever the focus is in the window.
    for (const auto& [action, key] :
         {std::pair{Save2, QKeySequence(Qt::CTRL | Qt::Key_P)},
          std::pair{List1, QKeySequence(Qt::CTRL | Qt::Key_L)},
          std::pair{Capacitances1, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C)},
          std::pair{Jacobian1, QKeySequence(Qt::CTRL | Qt::Key_J)},
          std::pair{Reset1, QKeySequence(Qt::CTRL | Qt::Key_R)}}) {
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        window->addAction(action);
    }
    View1 = name(new QMenu(QStringLiteral("&View"), window), "View1");
    View1->addActions(PopupMenu1->actions());
    bar->insertMenu(Extra2, View1);
}

void MainForm::create_output_menu(QWidget* owner) {
    PopupMenu2 = new QMenu(owner);
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
    QObject::connect(Copy1, &QAction::triggered, Memo2, &QPlainTextEdit::copy);
    QObject::connect(Selectall1, &QAction::triggered, Memo2, &QPlainTextEdit::selectAll);
    QObject::connect(Clear1, &QAction::triggered, Memo2, &QPlainTextEdit::clear);
    QObject::connect(Memo2, &QWidget::customContextMenuRequested, PopupMenu2, [this](const QPoint& at) {
        Copy1->setEnabled(Memo2->textCursor().hasSelection());
        PopupMenu2->popup(Memo2->viewport()->mapToGlobal(at));
    });
}

void MainForm::create_shortcuts(QWidget* window) {
    // F9 acts as a click on Calculate: the focus moves to the button first, so an edited
    // description or a value typed into a field takes effect as with the mouse.
    auto* inicialize = new QShortcut(QKeySequence(Qt::Key_F5), window);
    QObject::connect(inicialize, &QShortcut::activated, Button1, &QPushButton::click);
    auto* calculate = new QShortcut(QKeySequence(Qt::Key_F9), window);
    QObject::connect(calculate, &QShortcut::activated, Bcalculate, [this] {
        if (!Bcalculate->isEnabled())
            return;
        Bcalculate->setFocus(Qt::ShortcutFocusReason);
        Bcalculate->click();
    });
    auto* stop = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    QObject::connect(stop, &QShortcut::activated, Button3, &QPushButton::click);
}

void MainForm::set_controls_running(bool running, bool stoppable) {
    Button3->setEnabled(running && stoppable);
    // Commands that read or rebuild the model wait for the end of the command.
    for (QWidget* button : {static_cast<QWidget*>(Button1), static_cast<QWidget*>(Bcalculate),
                            static_cast<QWidget*>(Bequilibrium)})
        button->setEnabled(!running);
    for (QAction* action : {New1, Open1, OpenRecent1->menuAction(), Examples1->menuAction(), Reset1,
                            Usesquares, List1, Capacitances1, SaveMatrix1, FindEquilibrium1})
        action->setEnabled(!running);
    if (running) {
        Options->addAction(options_separator_);
        Options->addAction(options_note_);
    } else {
        Options->removeAction(options_separator_);
        Options->removeAction(options_note_);
    }
}

RelaxationSettings MainForm::run_settings() const {
    RelaxationSettings settings;
    settings.time_step = NEdelta->panel_real();
    settings.max_steps = NEtentativas->panel_int();
    settings.force_error_uN = NEtol->panel_real();
    settings.random_start = CBrandom->isChecked();
    settings.max_random_error_deg = NEerro->panel_real();
    settings.damping = NEdamping->panel_real();
    return settings;
}

bool MainForm::run_fields_refused(DialogProvider& dialogs, QWidget* parent, Real angle_variation,
                                  const QString& angle_caption) {
    bool refused = false;
    if (angle_caption.isEmpty())
        for (TNEdit* field : {NEerro, NEdelta, NEtentativas, NEtol, NEdamping})
            refused = field->take_refusal() || refused;
    if (refused)
        return true;
    // Each setting's number against its range, in the order of the row; the random error only
    // when it is used. The message quotes the text as typed (the angle variation's value, which
    // comes from another window's field, as formatted).
    const RelaxationSettings settings = run_settings();
    const struct {
        const TNEdit* field;
        RunSetting setting;
        Real value;
        bool used;
    } checks[] = {
        {NEerro, RunSetting::RandomError, settings.max_random_error_deg, settings.random_start},
        {NEdelta, RunSetting::TimeStep, settings.time_step, true},
        {NEtentativas, RunSetting::Steps, Real(settings.max_steps), true},
        {NEtol, RunSetting::ForceError, settings.force_error_uN, true},
        {NEdamping, RunSetting::Damping, settings.damping, true},
        {nullptr, RunSetting::AngleVariation, angle_variation, !angle_caption.isEmpty()},
    };
    for (const auto& check : checks) {
        const ValueRange range = setting_range(check.setting);
        if (!check.used || range.contains(check.value))
            continue;
        const std::string label = (check.field ? check.field->caption() : angle_caption).toStdString();
        const std::string text = check.field ? check.field->text().toStdString() : format_g(check.value);
        dialogs.show_error(parent, QString::fromStdString(out_of_range_message(label, text, range)));
        return true;
    }
    return false;
}

void MainForm::place_controls(const MainLayout& layout) {
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
}

} // namespace ambrel::ui
