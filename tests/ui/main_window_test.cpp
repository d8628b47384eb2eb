// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main_window.h"

#include "description/reader.h"
#include "model/options.h"
#include "session/session.h"
#include "solver/relaxation.h"
#include "text/number_format.h"
#include "ui/about_window.h"
#include "ui/description_file.h"
#include "ui/description_marks.h"
#include "ui/electroscope_window.h"
#include "ui/help_window.h"
#include "ui/main_layout.h"
#include "ui/nedit.h"
#include "ui/recent_files.h"
#include "ui_test_support.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextLayout>
#include <QTimer>

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <stdexcept>
#include <sys/resource.h>
#include <vector>

namespace ambrel::ui::test {
namespace {

class MainWindowTest : public ::testing::Test {
  protected:
    // A first run, and the window at its default size whatever the screen of the test.
    MainWindowTest() : window((forget_window_settings(), std::make_unique<MainWindow>(&dialogs))) {
        resize_client(*window, DEFAULT_CLIENT_SIZE);
    }

    template <class T> T* find(const char* name) const {
        T* widget = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QPushButton* button(const char* name) const { return find<QPushButton>(name); }
    QAction* action(const char* name) const { return find<QAction>(name); }
    TNEdit* field(const char* name) const { return find<TNEdit>(name); }
    QPlainTextEdit* memo(const char* name) const { return find<QPlainTextEdit>(name); }
    QStringList output() const { return memo("Memo2")->toPlainText().split(QLatin1Char('\n')); }
    Session& session() const { return window->session(); }
    int sphere_count() const { return window->session().model.sphere_count; }
    void click(const char* name) const { click_and_wait(*window, button(name)); }
    void choose(const char* name) const { trigger_and_wait(*window, action(name)); }

    QString write_file(const QString& name, const QByteArray& bytes) const {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    static QByteArray read_file(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void type_into_description(const QString& text) const {
        QPlainTextEdit* editor = memo("Memo1");
        editor->moveCursor(QTextCursor::End);
        editor->insertPlainText(text);
    }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;
};

QWidget* top_level(const QString& name) {
    QWidget* found = nullptr;
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == name) {
            found = widget;
            ++count;
        }
    EXPECT_EQ(count, 1) << name.toStdString();
    return found;
}

TEST_F(MainWindowTest, WindowsAndControlsAtStart) {
    // At the default size every control is where the design puts it (on a screen too small for
    // it the window opens smaller, see WindowPlacementTest).
    ASSERT_EQ(window->centralWidget()->size(), DEFAULT_CLIENT_SIZE);
    EXPECT_EQ(window->sizeHint(), window->size());
    EXPECT_EQ(window->objectName(), "TForm1");
    EXPECT_EQ(window->windowTitle(), "Ambrel");
    const std::pair<const char*, const char*> windows[] = {{"TForm2", "About"},
                                                           {"TForm3", "Extra"},
                                                           {"TForm7", "Pith-balls electroscope"},
                                                           {"TForm4", "Jacobian matrix"}};
    for (const auto& [name, caption] : windows) {
        QWidget* tool = top_level(QString::fromLatin1(name));
        ASSERT_NE(tool, nullptr);
        EXPECT_EQ(tool->windowTitle(), caption);
        EXPECT_FALSE(tool->isVisible());
    }

    struct Expected {
        const char* name;
        QRect geometry;
        const char* caption;
    };
    const Expected buttons[] = {{"Button1", {8, 8, 65, 25}, "Inicialize"},
                                {"Bcalculate", {80, 8, 65, 25}, "Calculate"},
                                {"Button3", {456, 8, 41, 25}, "Stop"}};
    for (const auto& b : buttons) {
        EXPECT_EQ(button(b.name)->geometry(), b.geometry) << b.name;
        EXPECT_EQ(button(b.name)->text(), b.caption);
    }
    EXPECT_TRUE(button("Button1")->isEnabled());
    EXPECT_TRUE(button("Bcalculate")->isEnabled());
    EXPECT_FALSE(button("Button3")->isEnabled());
    auto* random = find<QCheckBox>("CBrandom");
    EXPECT_EQ(random->geometry(), QRect(152, 16, 137, 17));
    EXPECT_EQ(random->text(), "Start with random error");
    EXPECT_FALSE(random->isChecked());

    const std::tuple<const char*, QPoint, const char*> labels[] = {
        {"Label1", {288, 16}, "Max random error (deg)"},
        {"Label2", {512, 16}, "Time step"},
        {"Label3", {648, 16}, "Steps"},
        {"Label5", {736, 16}, "Force error (uN)"},
        {"Label4", {976, 16}, "Damping "}};
    for (const auto& [name, position, caption] : labels) {
        EXPECT_EQ(find<QLabel>(name)->pos(), position) << name;
        EXPECT_EQ(find<QLabel>(name)->text(), caption);
    }
    EXPECT_FALSE(find<QLabel>("Label4")->isEnabled());

    const std::tuple<const char*, QRect, const char*, tipo_campo> fields[] = {
        {"NEerro", {408, 8, 33, 21}, "5", tipo_campo::real_field},
        {"NEdelta", {568, 8, 65, 21}, "0.05", tipo_campo::real_field},
        {"NEtentativas", {680, 8, 53, 21}, "1000", tipo_campo::int_field}, // six digits wide
        {"NEtol", {824, 8, 65, 21}, "0.0001", tipo_campo::real_field},
        {"NEdamping", {1032, 8, 65, 21}, "0.01", tipo_campo::real_field}};
    for (const auto& [name, geometry, text, type] : fields) {
        EXPECT_EQ(field(name)->geometry(), geometry) << name;
        EXPECT_EQ(field(name)->text(), text) << name;
        EXPECT_EQ(field(name)->field_type(), type) << name;
    }
    EXPECT_EQ(field("NEtentativas")->panel_int(), 1000);
    EXPECT_EQ(field("NEtol")->panel_real(), 0.0001L);
    EXPECT_FALSE(field("NEdamping")->isEnabled());
    EXPECT_EQ(field("NEdamping")->toolTip(),
              "For true time-domain simulation: the damping a of the angular speeds, in kg/s");

    EXPECT_EQ(memo("Memo1")->geometry(), QRect(8, 40, 497, 209));
    EXPECT_EQ(memo("Memo2")->geometry(), QRect(8, 256, 497, 369));
    EXPECT_EQ(find<QWidget>("PaintBox1")->geometry(), QRect(512, 40, 585, 585));
    const QStringList description = memo("Memo1")->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(description.size(), 6);
    EXPECT_EQ(description[0], "* Four balls that stabilize separated by 1 cm");
    EXPECT_EQ(description[5], ".V all 8.62512649e3");
    const QStringList summary = output();
    ASSERT_EQ(summary.size(), 26);
    EXPECT_EQ(summary[0], "Commands in the upper panel:");
    // A line per element kind, in the table's order, its optional fields in brackets.
    EXPECT_EQ(summary[1], "Bname Conductor x0 y0 z0 L Angx Angz Radius Mass");
    EXPECT_EQ(summary[2], "Oname Conductor x0 y0 z0 L Angx Angz Roctahedron Mass [Rball]");
    EXPECT_EQ(summary[17], "Hname Conductor x0 y0 z0 L Angx Angz Rball Mass Rline_ball Mass_line");
    EXPECT_EQ(summary[20], ".Q Conductor Charge (nC): an isolated conductor");
    EXPECT_EQ(summary[24], "Units in cm, degrees, grams and volts.");
    EXPECT_EQ(summary[25], "");

    EXPECT_FALSE(window->description_changed());
    EXPECT_FALSE(session().system_initialized);
    EXPECT_TRUE(window->view_reset_pending());
}

TEST_F(MainWindowTest, OptionItemsAtStart) {
    auto* options = find<QMenu>("Options");
    const QList<QAction*> items = options->actions();
    ASSERT_EQ(items.size(), 14);
    for (int i = 0; i < OPTION_COUNT; ++i) {
        const OptionInfo& info = option_table()[i];
        QAction* item = action(std::string(info.item_name).c_str());
        if (i < 14) {
            EXPECT_EQ(items[i], item);
        }
        EXPECT_TRUE(item->isCheckable());
        EXPECT_EQ(item->text().toStdString(), info.caption);
        EXPECT_EQ(item->isChecked(), info.at_start) << info.item_name;
    }
    const char* on[] = {"Showerrors1",    "Showcharges1", "Showtangentforces2", "Identifybynumbers1",
                        "Rotateobjects1", "Shadedballs1", "Usesquares",         "Correctrotationforces1"};
    for (const char* name : on)
        EXPECT_TRUE(action(name)->isChecked()) << name;
    EXPECT_FALSE(action("Identify1")->isChecked());

    // Choosing an item toggles its mark and the option the computations read.
    action("Showforces2")->trigger();
    EXPECT_TRUE(session().option(Option::ShowForces));
    action("Showforces2")->trigger();
    EXPECT_FALSE(session().option(Option::ShowForces));
}

TEST_F(MainWindowTest, MenusPopupAndShortcuts) {
    for (const char* name : {"Rotate1", "Zoom1", "Pan1", "Aspect1"})
        EXPECT_FALSE(action(name)->isCheckable()) << name;
    auto* popup = find<QMenu>("PopupMenu1");
    for (const char* name : {"Rotate1", "Zoom1", "Pan1", "Aspect1", "Identify1", "Reset1", "Save2", "List1",
                             "Capacitances1", "Jacobian1"})
        EXPECT_TRUE(popup->actions().contains(action(name))) << name;
    EXPECT_EQ(action("Open1")->shortcut(), QKeySequence(QKeySequence::Open));
    EXPECT_EQ(action("Save1")->shortcut(), QKeySequence(QKeySequence::Save));
    EXPECT_EQ(action("Exit1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(action("New1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
    EXPECT_EQ(action("SaveAs1")->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    EXPECT_EQ(action("Manual1")->shortcut(), QKeySequence(Qt::Key_F1));
    // No key chooses two commands.
    QList<QKeySequence> taken;
    for (const QAction* item : window->findChildren<QAction*>()) {
        if (item->shortcut().isEmpty() || item->shortcutContext() == Qt::WidgetShortcut)
            continue;
        EXPECT_FALSE(taken.contains(item->shortcut())) << item->objectName().toStdString();
        taken << item->shortcut();
    }
    QList<QKeySequence> keys;
    for (const QShortcut* shortcut : window->findChildren<QShortcut*>())
        keys << shortcut->key();
    EXPECT_TRUE(keys.contains(QKeySequence(Qt::Key_F5)));
    EXPECT_TRUE(keys.contains(QKeySequence(Qt::Key_F9)));
    EXPECT_TRUE(keys.contains(QKeySequence(Qt::Key_Escape)));
}

// Tab goes along the row of controls left to right (the disabled Stop and damping skipped), into
// the description, the output and the view, and round again: a Tab in the description types
// nothing. In the view the Menu key and Shift+F10 open its menu, as the right button does.
TEST_F(MainWindowTest, TabGoesAlongEveryControlAndOnOutOfThePanels) {
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const QString description = memo("Memo1")->toPlainText();
    button("Button1")->setFocus();
    QStringList visited;
    for (int k = 0; k < 13; ++k) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        visited << focus->objectName();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    EXPECT_EQ(visited,
              QStringList({"Button1", "Bcalculate", "CBrandom", "NEerro", "NEdelta", "NEtentativas", "NEtol",
                           "Bequilibrium", "Memo1", "Memo2", "PaintBox1", "Button1", "Bcalculate"}));
    EXPECT_EQ(memo("Memo1")->toPlainText(), description);
    QWidget* view = find<QWidget>("PaintBox1");
    QMenu* menu = find<QMenu>("PopupMenu1");
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)}) {
        view->setFocus(Qt::TabFocusReason);
        QTest::keyClick(view, key[0].key(), key[0].keyboardModifiers());
        EXPECT_TRUE(menu->isVisible()) << key.toString().toStdString();
        menu->hide();
    }
}

// AltGr arrives as Ctrl+Alt on some keyboard layouts (AltGr+Q is "@" on a German one, AltGr+7
// "{"): Ctrl+Alt with a printable character types it into the description, though Alt alone with
// a letter types nothing there; and Ctrl with a letter keeps its meaning in the editor.
TEST_F(MainWindowTest, AltGrTypesIntoTheDescriptionAndCtrlLettersKeepTheirMeaning) {
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QPlainTextEdit* editor = memo("Memo1");
    editor->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(editor->hasFocus());
    editor->moveCursor(QTextCursor::End);
    const QString text = editor->toPlainText();
    const Qt::KeyboardModifiers alt_gr = Qt::ControlModifier | Qt::AltModifier;
    QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_Q, QStringLiteral("@"), alt_gr);
    QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_7, QStringLiteral("{"), alt_gr);
    EXPECT_EQ(editor->toPlainText(), text + "@{");
    QTest::keyClick(editor, Qt::Key_Q, Qt::AltModifier);
    EXPECT_EQ(editor->toPlainText(), text + "@{");
    // Ctrl+Z undoes the typing, Ctrl+A selects the whole description.
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(editor->toPlainText(), text);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(editor->textCursor().selectedText().size(), text.size());
}

TEST_F(MainWindowTest, InicializeFillsTheOutputPanelAndDrawsTheView) {
    click("Button1");
    const QStringList lines = output();
    EXPECT_TRUE(lines.contains("Reading 6 lines of input"));
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [](const QString& l) { return l.startsWith("Total capacitance = "); }));
    EXPECT_EQ(lines[command_summary_lines().size()], "Reading 6 lines of input"); // after the summary
    EXPECT_TRUE(session().system_initialized);
    EXPECT_FALSE(window->view_reset_pending());
    EXPECT_EQ(sphere_count(), 4);
    EXPECT_TRUE(window->scene().has_picture());
    EXPECT_FALSE(window->description_changed());
}

// The reader's warnings reach the output panel after the reading, and the description panel
// underlines each line concerned with its warnings as the tooltip; the next clean reading clears
// the marks. The panel colours the parts of its lines.
TEST_F(MainWindowTest, ReaderWarningsGoToThePanelAndMarkTheirLines) {
    QPlainTextEdit* editor = memo("Memo1");
    editor->setPlainText("* two lines to mend\nBa all 0 0 0 10 0 0 1 abc\n.V all 100\nhello world");
    window->resize(window->size()); // shown as the user sees it
    click("Button1");
    const QStringList lines = output();
    const QString mass = "line 2: Ba: Mass: \"abc\" is not a number (read as 0)";
    const QString hello = "line 4: hello: x0 to Mass_line: missing (read as 0)";
    EXPECT_TRUE(lines.contains("Warning: " + mass));
    EXPECT_TRUE(lines.contains("Warning: " + hello));
    // After the reading's own lines.
    EXPECT_GT(lines.indexOf("Warning: " + mass), lines.indexOf("The object: all is at      100.000000 V"));

    const QList<QTextEdit::ExtraSelection> marks = editor->extraSelections();
    ASSERT_EQ(marks.size(), 2);
    EXPECT_EQ(marks[0].cursor.blockNumber(), 1);
    EXPECT_EQ(marks[0].cursor.selectedText(), "Ba all 0 0 0 10 0 0 1 abc");
    EXPECT_EQ(marks[0].format.underlineStyle(), QTextCharFormat::WaveUnderline);
    EXPECT_EQ(marks[0].format.toolTip(), mass);
    EXPECT_EQ(marks[1].cursor.blockNumber(), 3);

    // Hovering over the line shows its warning; over an unmarked line, nothing.
    const DescriptionMarks* shown = window->description_marks();
    const auto line_centre = [&](int number) {
        QTextCursor at(editor->document()->findBlockByNumber(number));
        return editor->cursorRect(at).center() + QPoint(20, 0);
    };
    EXPECT_EQ(shown->tooltip_at(line_centre(1)), mass);
    EXPECT_EQ(shown->tooltip_at(line_centre(3)), hello);
    EXPECT_EQ(shown->tooltip_at(line_centre(0)), QString());
    EXPECT_EQ(shown->tooltip_at(line_centre(2)), QString());
    EXPECT_EQ(shown->tooltip_at(line_centre(3) + QPoint(0, 200)), QString()); // below the last line

    // Colours: the comment in italics, the object's name bold, none of it an edit.
    const auto formats = [&](int number) {
        return editor->document()->findBlockByNumber(number).layout()->formats();
    };
    ASSERT_FALSE(formats(0).isEmpty());
    EXPECT_TRUE(formats(0)[0].format.fontItalic());
    ASSERT_FALSE(formats(1).isEmpty());
    EXPECT_EQ(formats(1)[0].length, 2); // "Ba"
    EXPECT_EQ(formats(1)[0].format.fontWeight(), QFont::Bold);

    // The marks follow an edit above them, and the next reading replaces them.
    editor->moveCursor(QTextCursor::Start);
    editor->insertPlainText("* one more line\n");
    EXPECT_EQ(editor->extraSelections()[0].cursor.blockNumber(), 2);
    // Their tooltips name the line where they are now.
    EXPECT_EQ(shown->tooltip_at(line_centre(2)), "line 3: Ba: Mass: \"abc\" is not a number (read as 0)");
    EXPECT_EQ(shown->tooltip_at(line_centre(4)), "line 5: hello: x0 to Mass_line: missing (read as 0)");
    // Calculate reads an edited description first, with its warnings.
    editor->setPlainText("Ba all 0 0 0 10 0 0 1 1\n.W all 5");
    leave_control(editor);
    field("NEtentativas")->set_panel_int(2);
    click("Bcalculate");
    ASSERT_EQ(editor->extraSelections().size(), 1);
    EXPECT_EQ(editor->extraSelections()[0].cursor.blockNumber(), 1);
    EXPECT_TRUE(output().contains("Warning: line 2: .W: unknown dot command: the line is only echoed"));
    editor->setPlainText("Ba all 0 0 0 10 0 0 1 1");
    click("Button1");
    EXPECT_TRUE(editor->extraSelections().isEmpty());
    EXPECT_EQ(shown->marked_lines(), 0);
    EXPECT_EQ(output().filter("Warning: ").size(), 3);
}

TEST_F(MainWindowTest, CalculateDisablesCommandsAndStopEndsTheRun) {
    field("NEtol")->set_panel_real(0); // never converges
    field("NEtentativas")->set_panel_int(100000);
    struct Seen {
        bool calculate = true, inicialize = true, open = true, reset = true, squares = true, stop = false;
        QString status;
    } seen;
    // At the end of the first step, the window as the user sees it; then Stop.
    window->set_step_hook([&](int step) {
        if (step != 1)
            return;
        on_window_thread(*window, [&] {
            seen.calculate = button("Bcalculate")->isEnabled();
            seen.inicialize = button("Button1")->isEnabled();
            seen.open = action("Open1")->isEnabled();
            seen.reset = action("Reset1")->isEnabled();
            seen.squares = action("Usesquares")->isEnabled();
            seen.stop = button("Button3")->isEnabled();
            seen.status = window->statusBar()->currentMessage();
            button("Button3")->click();
        });
    });
    click("Bcalculate");

    EXPECT_FALSE(seen.calculate);
    EXPECT_FALSE(seen.inicialize);
    EXPECT_FALSE(seen.open);
    EXPECT_FALSE(seen.reset);
    EXPECT_FALSE(seen.squares);
    EXPECT_TRUE(seen.stop);
    EXPECT_TRUE(seen.status.startsWith("Step 1, error ")) << seen.status.toStdString();

    EXPECT_EQ(window->last_run().end, RunEnd::Stopped);
    EXPECT_EQ(window->last_run().steps, 1);
    EXPECT_TRUE(button("Bcalculate")->isEnabled());
    EXPECT_TRUE(button("Button1")->isEnabled());
    EXPECT_TRUE(action("Open1")->isEnabled());
    EXPECT_TRUE(action("Reset1")->isEnabled());
    EXPECT_TRUE(action("Usesquares")->isEnabled());
    EXPECT_FALSE(button("Button3")->isEnabled());
    EXPECT_EQ(window->statusBar()->currentMessage(), "Stopped");
    const QStringList lines = output();
    EXPECT_TRUE(lines.contains("Calculating..."));
    EXPECT_EQ(lines.last(), QString("Steps=%1").arg(window->last_run().steps));
}

TEST_F(MainWindowTest, CalculateConvergesOnTheDefaultDescription) {
    click("Bcalculate"); // initialises first
    ASSERT_EQ(window->last_run().end, RunEnd::Converged);
    const int steps = window->last_run().steps;
    EXPECT_EQ(window->statusBar()->currentMessage(), QString("Converged in %1 steps").arg(steps));
    EXPECT_EQ(output().last(), QString("Steps=%1").arg(steps));
    EXPECT_TRUE(session().system_initialized);
}

// Find equilibrium: its button, and its pop-up command with F10, end where Calculate does,
// with the iterations in the status bar and the stability verdict last in the panel.
TEST_F(MainWindowTest, FindEquilibriumConvergesOnTheDefaultDescription) {
    EXPECT_EQ(button("Bequilibrium")->text(), "Find equilibrium");
    EXPECT_EQ(action("FindEquilibrium1")->shortcut(), QKeySequence(Qt::Key_F10));
    click("Bequilibrium"); // initialises first
    EXPECT_TRUE(session().system_initialized);
    EXPECT_TRUE(window->statusBar()->currentMessage().startsWith("Equilibrium found in "))
        << window->statusBar()->currentMessage().toStdString();
    EXPECT_EQ(output().last(), "Stable: all eigenvalues have negative real parts, beyond their errors.");
    EXPECT_NE(window->statusBar()->currentMessage(), "Equilibrium found in 0 iterations");
    const Real az = session().model.objects[1].Az;
    choose("FindEquilibrium1"); // at rest already: the same state
    EXPECT_NEAR(session().model.objects[1].Az, az, 1e-9L);
    EXPECT_TRUE(button("Bequilibrium")->isEnabled());

    // The tolerance field is the finder's: above the starting state's largest rotational force
    // (about 2 mN) the description read afresh is at rest as it starts.
    click("Button1");
    const Real start = session().model.objects[1].Az;
    field("NEtol")->set_panel_real(1e4);
    click("Bequilibrium");
    EXPECT_EQ(window->statusBar()->currentMessage(), "Equilibrium found in 0 iterations");
    EXPECT_EQ(session().model.objects[1].Az, start);
}

// A Stop while the finder checks the stability of the state it found keeps that state: the
// equilibrium is reported found, without a verdict.
TEST_F(MainWindowTest, AStopWhileTheFinderChecksTheStabilityKeepsTheEquilibrium) {
    click("Button1");
    bool stopped = false;
    window->set_search_hook([&](const SearchProgress& at) {
        if (!at.verifying || at.jacobian_total == 0 || at.error >= 1e-10L || stopped)
            return;
        stopped = true;
        on_window_thread(*window, [&] { button("Button3")->click(); });
    });
    click("Bequilibrium");
    window->set_search_hook({});
    ASSERT_TRUE(stopped) << "the finder never checked a state at rest";
    EXPECT_TRUE(window->statusBar()->currentMessage().startsWith("Equilibrium found in "))
        << window->statusBar()->currentMessage().toStdString();
    EXPECT_TRUE(window->statusBar()->currentMessage().endsWith("; stopped before its stability was checked"));
    EXPECT_EQ(output().last(), "Stopped before the stability was checked: no verdict.");
    EXPECT_NEAR(static_cast<double>(session().model.objects[1].Az * 180 / PI), 6.31499, 1e-5);
}

TEST_F(MainWindowTest, AFailureDuringARunRestoresTheWindow) {
    window->set_step_hook([](int step) {
        if (step == 3)
            throw std::runtime_error("simulated failure");
    });
    click("Bcalculate");
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_EQ(dialogs.errors[0], "simulated failure");
    EXPECT_FALSE(window->run_in_progress());
    EXPECT_TRUE(button("Bcalculate")->isEnabled());
    EXPECT_TRUE(button("Button1")->isEnabled());
    EXPECT_TRUE(action("Usesquares")->isEnabled());
    EXPECT_FALSE(button("Button3")->isEnabled());
}

TEST_F(MainWindowTest, ClosingDuringARunAsksAndStopsItFirst) {
    window->show();
    field("NEtol")->set_panel_real(0);
    field("NEtentativas")->set_panel_int(100000);
    int steps_after_close = -1;
    // Asked whether to stop the run: no keeps it going; yes stops it and closes.
    dialogs.yes_no_answers = {false, true};
    window->set_step_hook([&](int step) {
        if (step == 2 || step == 3)
            on_window_thread(*window, [&] { window->close(); });
        else if (step > 3)
            steps_after_close = step;
    });
    button("Bcalculate")->click();
    // The close request is refused while the worker uses the session.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 60000));
    EXPECT_FALSE(window->run_in_progress());
    EXPECT_EQ(window->last_run().end, RunEnd::Stopped);
    EXPECT_EQ(window->last_run().steps, 3);
    EXPECT_EQ(steps_after_close, -1);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(dialogs.questions, QStringList(2, "A command is running. Stop it and exit?"));
}

TEST_F(MainWindowTest, ExitCloseAndOpenAskBeforeDiscardingAnEdit) {
    window->show();
    // Without an edit nothing is asked.
    type_into_description("\n* my note");
    EXPECT_TRUE(window->description_changed());
    EXPECT_EQ(window->windowTitle(), "*Untitled - Ambrel"); // changes to save, no file yet
    const QString edited = memo("Memo1")->toPlainText();

    action("Exit1")->trigger(); // answered No
    EXPECT_TRUE(window->isVisible());
    window->close(); // No
    EXPECT_TRUE(window->isVisible());
    action("Open1")->trigger(); // No
    EXPECT_TRUE(dialogs.open_proposals.isEmpty());
    EXPECT_EQ(dialogs.questions, QStringList({"Abandon changes and exit?", "Abandon changes and exit?",
                                              "Abandon changes and load another file?"}));
    EXPECT_EQ(memo("Memo1")->toPlainText(), edited);

    dialogs.yes_no_answers = {true};
    action("Exit1")->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(dialogs.questions.size(), 4); // Exit asks once, not again on the close
}

TEST_F(MainWindowTest, ExitWithoutAnEditAsksNothing) {
    window->show();
    action("Exit1")->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(dialogs.questions.isEmpty());
}

TEST_F(MainWindowTest, OpenLoadsCrLfFileAndSaveProposesItsName) {
    const QString path = write_file("four.bal", "* two balls\r\nb1 a 0 0 0 10 0 20 0.5 0.1\r\n"
                                                "b2 a 0 1 0 10 0 -20 0.5 0.1\r\n.V a 1000\r\n");
    action("Alwayscalculate1")->setChecked(true);
    type_into_description("x");
    dialogs.yes_no_answers = {true};
    dialogs.open_answers = {path};
    choose("Open1");

    EXPECT_EQ(dialogs.open_proposals, QStringList({"test.bal"}));
    EXPECT_EQ(memo("Memo1")->toPlainText(),
              "* two balls\nb1 a 0 0 0 10 0 20 0.5 0.1\nb2 a 0 1 0 10 0 -20 0.5 0.1\n.V a 1000");
    EXPECT_FALSE(action("Alwayscalculate1")->isChecked());
    EXPECT_FALSE(session().option(Option::AlwaysCalculate));
    EXPECT_FALSE(window->description_changed());
    EXPECT_TRUE(session().system_initialized);
    EXPECT_EQ(sphere_count(), 2);
    EXPECT_TRUE(output().contains("Loading description from file " + path));
    EXPECT_EQ(window->current_file_name(), path);
    EXPECT_EQ(window->windowTitle(), "four.bal - Ambrel"); // the file's name, nothing to save

    // Save writes to the file opened, without a dialog, with the CR LF line ends it was read with.
    type_into_description("\n* edited\n"); // a final line end adds no empty line to the file
    EXPECT_EQ(window->windowTitle(), "*four.bal - Ambrel");
    action("Save1")->trigger();
    EXPECT_TRUE(dialogs.save_proposals.isEmpty());
    EXPECT_EQ(window->windowTitle(), "four.bal - Ambrel");
    EXPECT_EQ(read_file(path), QByteArray("* two balls\r\nb1 a 0 0 0 10 0 20 0.5 0.1\r\n"
                                          "b2 a 0 1 0 10 0 -20 0.5 0.1\r\n.V a 1000\r\n* edited\r\n"));
    EXPECT_EQ(output().last(), "Description saved in file " + path);

    // Save As asks, proposing the current file, and the file written becomes the current one.
    const QString other = dir.filePath("copy.bal");
    dialogs.save_answers = {other};
    type_into_description("* again");
    action("SaveAs1")->trigger();
    EXPECT_EQ(window->windowTitle(), "copy.bal - Ambrel");
    EXPECT_EQ(read_file(other),
              QByteArray("* two balls\r\nb1 a 0 0 0 10 0 20 0.5 0.1\r\n"
                         "b2 a 0 1 0 10 0 -20 0.5 0.1\r\n.V a 1000\r\n* edited\r\n* again\r\n"));
    EXPECT_FALSE(window->description_changed());
    EXPECT_EQ(output().last(), "Description saved in file " + other);
    action("SaveAs1")->trigger(); // cancelled
    // The next Save As proposes the file just written, not the one opened before it: Enter then
    // does not overwrite the opened file.
    EXPECT_EQ(dialogs.save_proposals, QStringList({path, other}));
    EXPECT_EQ(dialogs.save_kinds, std::vector<SaveKind>({SaveKind::Description, SaveKind::Description}));
    EXPECT_EQ(window->current_file_name(), other);
    EXPECT_EQ(read_file(path), QByteArray("* two balls\r\nb1 a 0 0 0 10 0 20 0.5 0.1\r\n"
                                          "b2 a 0 1 0 10 0 -20 0.5 0.1\r\n.V a 1000\r\n* edited\r\n"));

    // The electroscope table is proposed beside the description (here cancelled).
    window->electroscope_window()->Button2->click();
    EXPECT_EQ(dialogs.save_proposals.last(), dir.filePath("pithballs.tab"));
}

// A description is written with the line ends it was read with: LF stays LF, CR LF stays CR LF,
// a lone CR stays CR; a new description has LF.
TEST_F(MainWindowTest, SaveKeepsTheLineEndsOfTheFile) {
    EXPECT_EQ(line_end_of("a\nb\r\n"), LineEnd::Lf);
    EXPECT_EQ(line_end_of("a\r\nb\n"), LineEnd::CrLf);
    EXPECT_EQ(line_end_of("a\rb\n"), LineEnd::Cr);
    EXPECT_EQ(line_end_of("a\r"), LineEnd::Cr);
    EXPECT_EQ(line_end_of("one line"), LineEnd::Lf);
    const std::pair<QByteArray, QByteArray> files[] = {
        {"b1 a 0 0 0 10 0 20 0.5 0.1\n.V a 1000\n", "b1 a 0 0 0 10 0 20 0.5 0.1\n.V a 1000\n* mine\n"},
        {"b1 a 0 0 0 10 0 20 0.5 0.1\r\n.V a 1000", "b1 a 0 0 0 10 0 20 0.5 0.1\r\n.V a 1000\r\n* mine\r\n"},
        {"b1 a 0 0 0 10 0 20 0.5 0.1\r.V a 1000\r", "b1 a 0 0 0 10 0 20 0.5 0.1\r.V a 1000\r* mine\r"},
    };
    for (const auto& [before, after] : files) {
        const QString path = write_file("ends.bal", before);
        dialogs.yes_no_answers = {true};
        dialogs.open_answers = {path};
        choose("Open1");
        type_into_description("\n* mine");
        action("Save1")->trigger();
        EXPECT_EQ(read_file(path), after);
    }
    EXPECT_TRUE(dialogs.save_proposals.isEmpty());

    // New: empty, unnamed, LF; Save asks where.
    action("New1")->trigger();
    ASSERT_TRUE(wait_for_idle(*window));
    type_into_description("* new\n.V a 1");
    const QString fresh = dir.filePath("fresh.bal");
    dialogs.save_answers = {fresh};
    action("Save1")->trigger();
    EXPECT_EQ(read_file(fresh), QByteArray("* new\n.V a 1\n"));
}

// Save writes to the current file once the user opened or saved one; an unnamed description (at
// start, after New, an example) is saved where the user chooses. New asks before it abandons
// changes. The title names the file and marks changes to save.
TEST_F(MainWindowTest, SaveSaveAsAndNewKeepTheFileAsADesktopProgramDoes) {
    EXPECT_FALSE(window->current_file_named());
    type_into_description("\n* one");
    EXPECT_EQ(window->windowTitle(), "*Untitled - Ambrel");
    const QString first = dir.filePath("first.bal");
    dialogs.save_answers = {first};
    action("Save1")->trigger(); // unnamed: asks
    EXPECT_EQ(dialogs.save_proposals, QStringList({"test.bal"}));
    EXPECT_EQ(window->windowTitle(), "first.bal - Ambrel");
    EXPECT_TRUE(window->current_file_named());
    type_into_description("\n* two");
    EXPECT_EQ(window->windowTitle(), "*first.bal - Ambrel");
    action("Save1")->trigger(); // named: no dialog
    EXPECT_EQ(dialogs.save_proposals.size(), 1);
    EXPECT_TRUE(read_file(first).endsWith("* one\n* two\n"));
    EXPECT_EQ(window->windowTitle(), "first.bal - Ambrel");

    // Save As always asks; cancelled, nothing changes.
    type_into_description("\n* three");
    action("SaveAs1")->trigger();
    EXPECT_EQ(dialogs.save_proposals, QStringList({"test.bal", first}));
    EXPECT_TRUE(window->description_changed());
    EXPECT_EQ(window->current_file_name(), first);

    // New asks before abandoning the changes: No keeps them, Yes clears to an empty description.
    const QString edited = memo("Memo1")->toPlainText();
    action("New1")->trigger();
    EXPECT_EQ(dialogs.questions, QStringList({"Abandon changes and start a new description?"}));
    EXPECT_EQ(memo("Memo1")->toPlainText(), edited);
    dialogs.yes_no_answers = {true};
    action("New1")->trigger();
    ASSERT_TRUE(wait_for_idle(*window));
    EXPECT_EQ(memo("Memo1")->toPlainText(), "");
    EXPECT_EQ(window->windowTitle(), "Untitled - Ambrel");
    EXPECT_FALSE(window->description_changed());
    EXPECT_FALSE(window->current_file_named());
    EXPECT_EQ(sphere_count(), 0); // the view and the model follow the empty panel
    action("New1")->trigger();    // nothing to abandon: no question
    EXPECT_EQ(dialogs.questions.size(), 2);
    EXPECT_TRUE(read_file(first).endsWith("* one\n* two\n")); // never written by New
}

// File > Open Recent: the last eight files opened or saved, newest first, remembered between runs;
// a file that no longer exists is dropped with a message when chosen.
TEST_F(MainWindowTest, OpenRecentListsTheLastEightFiles) {
    EXPECT_EQ(with_recent_file({"/a", "/b", "/c"}, "/b"), QStringList({"/b", "/a", "/c"}));
    QStringList many;
    for (int k = 0; k < 9; ++k)
        many = with_recent_file(many, QStringLiteral("/f%1").arg(k));
    EXPECT_EQ(many.size(), RECENT_FILES_COUNT);
    EXPECT_EQ(many.first(), "/f8");
    EXPECT_EQ(many.last(), "/f1");

    auto* menu = find<QMenu>("OpenRecent1");
    emit menu->aboutToShow();
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_FALSE(menu->actions()[0]->isEnabled()); // "(none)"

    const QString a = write_file("a.bal", "b1 a 0 0 0 10 0 20 0.5 0.1\n");
    const QString b = dir.filePath("b.bal");
    dialogs.open_answers = {a};
    choose("Open1");
    dialogs.save_answers = {b};
    action("SaveAs1")->trigger();
    EXPECT_EQ(recent_files(), QStringList({b, a}));

    // Remembered: another window lists them, and opens one as Open does.
    auto other = std::make_unique<MainWindow>(&dialogs);
    QMenu* other_menu = other->OpenRecent1;
    emit other_menu->aboutToShow();
    QStringList items;
    for (const QAction* item : other_menu->actions())
        if (!item->isSeparator())
            items << item->text();
    EXPECT_EQ(items,
              QStringList({"&1 b.bal  (" + QDir::toNativeSeparators(dir.path()) + ")",
                           "&2 a.bal  (" + QDir::toNativeSeparators(dir.path()) + ")", "&Clear list"}));
    QFile::remove(b);
    other_menu->findChild<QAction*>("Recent2")->trigger();
    ASSERT_TRUE(wait_for_idle(*other));
    EXPECT_EQ(other->current_file_name(), a);
    EXPECT_TRUE(other->current_file_named());
    EXPECT_EQ(other->session().model.sphere_count, 1);
    EXPECT_EQ(recent_files(), QStringList({a, b}));
    other.reset();

    // The file removed meanwhile: a message, and it leaves the list; the description stays.
    type_into_description("\n* kept");
    window->RecentClick(b);
    EXPECT_EQ(dialogs.errors,
              QStringList("The file \"" + b + "\" no longer exists; it is removed from the recent files."));
    EXPECT_TRUE(memo("Memo1")->toPlainText().endsWith("* kept"));
    EXPECT_EQ(recent_files(), QStringList({a}));
    EXPECT_TRUE(dialogs.questions.isEmpty());
    emit menu->aboutToShow();
    menu->findChild<QAction*>("ClearRecent")->trigger();
    EXPECT_TRUE(recent_files().isEmpty());
}

TEST_F(MainWindowTest, OpenOfAnUnreadableFileKeepsTheDescription) {
    type_into_description("\n* kept");
    const QString before = memo("Memo1")->toPlainText();
    const QString missing = dir.filePath("missing.bal");
    dialogs.yes_no_answers = {true};
    dialogs.open_answers = {missing};
    action("Open1")->trigger();
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(dialogs.errors[0].contains(missing));
    EXPECT_TRUE(dialogs.errors[0].contains("No such file")) << dialogs.errors[0].toStdString();
    EXPECT_EQ(memo("Memo1")->toPlainText(), before);
    EXPECT_TRUE(window->description_changed());

    // A picture or a program is no description: refused, the panel kept, and a Save afterwards
    // leaves the file byte for byte. A Latin-1 description with an accented comment still opens.
    const char png[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\x02\0";
    const QByteArray picture(png, sizeof png - 1);
    QByteArray program;
    for (int i = 0; i < 200; ++i)
        program += static_cast<char>(i % 2 == 0 ? 0x01 + i % 30 : 0xe9); // no NUL, not UTF-8
    const QString latin1 = write_file("latin1.bal", "* R\xe9sum\xe9 of a ball\nBa a 0 0 0 10 0 20 0.5 0.1\n");
    for (const auto& [name, bytes] : {std::pair{"pic.bal", picture}, std::pair{"program.bal", program}}) {
        const QString path = write_file(name, bytes);
        dialogs.errors.clear();
        dialogs.yes_no_answers = {true};
        dialogs.open_answers = {path};
        action("Open1")->trigger();
        ASSERT_EQ(dialogs.errors.size(), 1) << name;
        EXPECT_TRUE(dialogs.errors[0].contains("is not a text file")) << dialogs.errors[0].toStdString();
        EXPECT_EQ(memo("Memo1")->toPlainText(), before);
        EXPECT_NE(window->current_file_name(), path);
        dialogs.save_answers = {};
        action("Save1")->trigger();
        EXPECT_EQ(read_file(path), bytes) << name;
    }
    dialogs.errors.clear();
    dialogs.yes_no_answers = {true};
    dialogs.open_answers = {latin1};
    choose("Open1");
    EXPECT_TRUE(dialogs.errors.isEmpty());
    EXPECT_TRUE(memo("Memo1")->toPlainText().startsWith(QStringLiteral("* R\u00e9sum\u00e9 of a ball")));
}

// A file another program changed since it was opened or saved: the window asks on its activation
// whether to reload it, and Save asks before it writes over the change.
TEST_F(MainWindowTest, AFileChangedOnDiskIsNeverOverwrittenUnasked) {
    const QString path = write_file("shared.bal", "Ba a 0 0 0 10 0 20 0.5 0.1\n");
    dialogs.yes_no_answers = {true};
    dialogs.open_answers = {path};
    choose("Open1");
    type_into_description("\n* mine");
    write_file("shared.bal", "Bb b 0 0 0 10 0 10 0.5 0.1\n"); // another program's version
    dialogs.questions.clear();
    dialogs.yes_no_answers = {false};
    action("Save1")->trigger(); // declined: the other version stays
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(dialogs.questions[0].contains("changed by another program"))
        << dialogs.questions[0].toStdString();
    EXPECT_EQ(read_file(path), QByteArray("Bb b 0 0 0 10 0 10 0.5 0.1\n"));
    EXPECT_TRUE(window->description_changed());

    // On activation: declined, the panel stays and that version is not asked about again (Save then
    // writes it over, as the user chose); accepted, the file is read again as Open reads it.
    QEvent activate(QEvent::WindowActivate);
    dialogs.questions.clear();
    dialogs.yes_no_answers = {false};
    QApplication::sendEvent(window.get(), &activate);
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(dialogs.questions[0].contains("Your unsaved changes would be lost"));
    EXPECT_TRUE(memo("Memo1")->toPlainText().endsWith("* mine"));
    QApplication::sendEvent(window.get(), &activate);
    EXPECT_EQ(dialogs.questions.size(), 1);
    action("Save1")->trigger();
    EXPECT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(read_file(path).endsWith("* mine\n"));

    write_file("shared.bal", "Bc c 0 0 0 10 0 10 0.5 0.1\n");
    dialogs.yes_no_answers = {true};
    QApplication::sendEvent(window.get(), &activate);
    ASSERT_TRUE(wait_for_idle(*window));
    EXPECT_EQ(memo("Memo1")->toPlainText(), "Bc c 0 0 0 10 0 10 0.5 0.1");
    EXPECT_FALSE(window->description_changed());
    EXPECT_EQ(session().model.sphere_count, 1);
}

TEST_F(MainWindowTest, AFailedSaveLeavesTheOldFileIntact) {
    const QByteArray old_content = "* the previous description\r\n";
    const QString path = write_file("kept.bal", old_content);
    type_into_description(QString(400, QLatin1Char('x')));

    // The system refuses to let the file grow beyond 64 bytes: the write fails midway.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    dialogs.save_answers = {path};
    action("Save1")->trigger();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, old_handler);

    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_EQ(dialogs.errors[0], "Cannot save file \"" + path + "\": File too large");
    EXPECT_EQ(read_file(path), old_content);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"kept.bal"})); // no temporary left
    EXPECT_TRUE(window->description_changed());
    EXPECT_FALSE(output().last().startsWith("Description saved"));

    dialogs.save_answers = {dir.filePath("no/such/folder/x.bal")};
    action("Save1")->trigger();
    ASSERT_EQ(dialogs.errors.size(), 2);
    EXPECT_TRUE(dialogs.errors[1].contains("no/such/folder/x.bal"));
}

TEST_F(MainWindowTest, SaveViewWritesABitmapAndKeepsTheEditFlag) {
    click("Button1");
    type_into_description(" ");
    const QString path = dir.filePath("view.bmp");
    dialogs.save_answers = {path, {}};
    action("Save2")->trigger();
    action("Save2")->trigger();
    EXPECT_EQ(dialogs.save_proposals, QStringList({"test.bmp", "test.bmp"}));
    EXPECT_EQ(dialogs.save_kinds, std::vector<SaveKind>({SaveKind::Picture, SaveKind::Picture}));
    EXPECT_TRUE(read_file(path).startsWith("BM"));
    EXPECT_EQ(output().last(), "Bitmap saved as " + path);
    EXPECT_TRUE(window->description_changed());
}

TEST_F(MainWindowTest, LeavingTheDescriptionClearsInitializedAndStopsNavigation) {
    click("Button1");
    ASSERT_TRUE(session().system_initialized);
    leave_control(memo("Memo1"), Qt::PopupFocusReason); // its own context menu: still inside
    EXPECT_TRUE(session().system_initialized);
    leave_control(memo("Memo1")); // as it was read: nothing changes
    EXPECT_TRUE(session().system_initialized);
    EXPECT_FALSE(window->description_changed());
    memo("Memo1")->appendPlainText("* a note");
    leave_control(memo("Memo1"));
    EXPECT_FALSE(session().system_initialized);
    EXPECT_TRUE(window->description_changed());

    QWidget* view = find<QWidget>("PaintBox1");
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(100, 100), view->mapToGlobal(QPointF(100, 100)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &press);
    EXPECT_FALSE(window->camera().drag_active);
}

TEST_F(MainWindowTest, DragTurnsTheViewAndInicializeResetsTheDragMode) {
    QWidget* view = find<QWidget>("PaintBox1");
    auto send = [view](QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, view->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(view, &event);
    };
    send(QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton); // before any Initialize
    EXPECT_FALSE(window->camera().drag_active);

    click("Button1");
    action("Zoom1")->trigger();
    EXPECT_EQ(window->camera().drag_mode, DragMode::Zoom);
    click("Button1");
    EXPECT_EQ(window->camera().drag_mode, DragMode::Rotate);

    send(QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton);
    send(QEvent::MouseMove, {100 + 146, 100}, Qt::LeftButton); // a quarter turn per half width
    EXPECT_NEAR(static_cast<double>(window->camera().view_azimuth), (30.0 + 90.0) * M_PI / 180, 0.01);
    send(QEvent::MouseButtonRelease, {100 + 146, 100}, Qt::NoButton);
    EXPECT_FALSE(window->camera().drag_active);

    choose("Reset1");
    EXPECT_NEAR(static_cast<double>(window->camera().view_azimuth), 30.0 * M_PI / 180, 1e-12);
    EXPECT_EQ(output().filter("Reading 6 lines of input").size(), 3);
}

TEST_F(MainWindowTest, ViewShowsAFrameUntilTheFirstInicializeAndScalesThePicture) {
    QWidget* view = find<QWidget>("PaintBox1");
    QImage before = view->grab().toImage();
    EXPECT_EQ(before.pixelColor(0, 0), QColor(192, 192, 192));
    EXPECT_EQ(before.pixelColor(584, 300), QColor(192, 192, 192));

    click("Button1");
    const QImage& picture = window->scene().image();
    ASSERT_EQ(picture.size(), QSize(585, 585));
    // On a surface with two device pixels per logical pixel the whole picture is drawn, scaled.
    QImage doubled(1170, 1170, QImage::Format_ARGB32);
    doubled.setDevicePixelRatio(2);
    doubled.fill(Qt::magenta);
    {
        QPainter painter(&doubled);
        window->PaintBox1Paint(&painter);
    }
    const QRgb magenta = QColor(Qt::magenta).rgb();
    for (const QPoint corner : {QPoint(0, 0), QPoint(1169, 0), QPoint(0, 1169), QPoint(1169, 1169)})
        EXPECT_NE(doubled.pixel(corner), magenta) << corner.x() << "," << corner.y();
    EXPECT_EQ(doubled.pixel(1169, 1169), picture.pixel(584, 584));
}

TEST_F(MainWindowTest, DampingFieldFollowsTimeDomainMode) {
    action("Speedsimulation1")->trigger();
    EXPECT_TRUE(field("NEdamping")->isEnabled());
    EXPECT_TRUE(find<QLabel>("Label4")->isEnabled());
    EXPECT_TRUE(session().option(Option::SpeedSimulation));
    action("Speedsimulation1")->trigger();
    EXPECT_FALSE(field("NEdamping")->isEnabled());
    EXPECT_FALSE(find<QLabel>("Label4")->isEnabled());
}

// A time-domain run of the window takes its damping from the field: it ends where the same
// run of the core with that damping ends, and another damping ends elsewhere.
TEST_F(MainWindowTest, TimeDomainRunTakesTheDampingField) {
    action("Speedsimulation1")->trigger();
    field("NEtol")->set_panel_real(0);
    field("NEtentativas")->set_panel_int(30);
    std::vector<std::vector<Real>> ends;
    for (Real damping : {0.002L, 0.012L}) {
        click("Button1"); // the description's own angles again
        field("NEdamping")->set_panel_real(damping);
        click("Bcalculate");
        ASSERT_EQ(window->last_run().steps, 30);

        VectorSink sink;
        Session core(sink);
        core.options.set(Option::SpeedSimulation, true);
        RelaxationSettings settings;
        settings.max_steps = 30;
        settings.force_error_uN = 0;
        settings.damping = damping;
        read_if_needed(core, default_description());
        run_calculate(core, settings);

        std::vector<Real> angles;
        for (int k = 1; k <= 4; ++k) {
            EXPECT_NEAR(session().model.objects[k].Az, core.model.objects[k].Az, 1e-15L) << k;
            EXPECT_NEAR(session().model.objects[k].Ax, core.model.objects[k].Ax, 1e-15L) << k;
            angles.push_back(session().model.objects[k].Az);
        }
        ends.push_back(angles);
    }
    EXPECT_GT(std::fabs(ends[0][0] - ends[1][0]), 1e-6L);
}

// During a run the status bar shows the step and its largest rotational force in uN; at the
// end it says how the run ended.
TEST_F(MainWindowTest, StatusBarShowsTheStepErrorAndHowTheRunEnded) {
    field("NEtol")->set_panel_real(0);
    field("NEtentativas")->set_panel_int(100000);
    QString during;
    window->set_step_hook([&](int step) {
        if (step != 3)
            return;
        on_window_thread(*window, [&] {
            during = window->statusBar()->currentMessage();
            button("Button3")->click();
        });
    });
    click("Bcalculate");
    ASSERT_EQ(window->last_run().steps, 3);
    ASSERT_GT(window->last_run().error, 1e-9L);
    EXPECT_EQ(during,
              QString("Step 3, error %1 uN - press Stop (Esc) to stop")
                  .arg(QString::fromStdString(real_to_fixed_text(window->last_run().error * 1e6L, 0, 6))));
    EXPECT_EQ(window->statusBar()->currentMessage(), "Stopped");

    window->set_step_hook({});
    field("NEtentativas")->set_panel_int(4);
    click("Bcalculate");
    EXPECT_EQ(window->last_run().end, RunEnd::StepLimit);
    EXPECT_EQ(window->last_run().steps, 4);
    EXPECT_EQ(window->statusBar()->currentMessage(), "Step limit reached");
}

// "abc" in Time step, Tab, OK in the error box: the next click is not refused, it runs with the
// number the field kept, and the field shows that number again.
TEST_F(MainWindowTest, AnInvalidNumberLeftByTabRefusesNoLaterClick) {
    TNEdit* delta = field("NEdelta");
    delta->setText("abc");
    leave_control(delta);
    process_events();
    ASSERT_EQ(dialogs.errors, QStringList({"Time step: 'abc' is not a valid number"}));
    EXPECT_EQ(delta->text(), "0.05");
    field("NEtentativas")->set_panel_int(2);
    click("Bcalculate");
    EXPECT_TRUE(output().contains("Calculating..."));
    EXPECT_EQ(window->last_run().steps, 2);
    EXPECT_EQ(delta->panel_real(), 0.05L);
    EXPECT_EQ(dialogs.errors.size(), 1);

    // An empty Steps field is an error that names the field.
    field("NEtentativas")->setText("");
    leave_control(field("NEtentativas"));
    process_events();
    EXPECT_EQ(dialogs.errors.value(1), "Steps: an empty field is not a valid number");
    EXPECT_EQ(field("NEtentativas")->text(), "2");
}

TEST_F(MainWindowTest, AboutIsShownOnceWhenChosenTwice) {
    // A command of the menu bar, after the Help menu and its manual.
    auto* help = find<QMenu>("Help1");
    EXPECT_EQ(help->actions(), QList<QAction*>({action("Manual1")}));
    EXPECT_EQ(window->menuBar()->actions().last(), action("About"));
    action("About")->trigger();
    action("About")->trigger();
    QWidget* about = top_level("TForm2");
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    auto* text = about->findChild<QTextBrowser*>("Memo1");
    ASSERT_NE(text, nullptr);
    const QStringList lines = text->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(lines.value(0), "Ambrel");
    // The version of this build and the month it was built in.
    EXPECT_TRUE(QRegularExpression(
                    QStringLiteral("^Version " AMBREL_PROJECT_VERSION ", built in [A-Z][a-z]+ [0-9]{4}$"))
                    .match(lines.value(2))
                    .hasMatch())
        << lines.value(2).toStdString();
    // Paragraphs flow with the window's width: a sentence is one line of the text, never cut.
    EXPECT_EQ(lines.value(3),
              "The main function of the Ambrel program is the simulation of a set of pith balls "
              "suspended from strings, with fixed potentials on them. It can also be used as a "
              "capacitance calculator.");
    for (const QString& line : lines)
        EXPECT_FALSE(line.endsWith(QLatin1Char(',')) || line.endsWith(QLatin1String(" the")))
            << line.toStdString();
    // Its facts: the update equations, kept line by line, and the headings.
    for (const char* kept : {"x=x0+L sin Az cos Ax", "Az(t0+dt)=Az(t0)+dt^2/(2 m L)frz", "Simulation method",
                             "Stability", "True time-domain simulation", "f(2i)=dt/(2 m L)frz",
                             "0.4081084689 pF for a 1 x 1 cm sheet", "(Reitan, JAP 1959)"})
        EXPECT_TRUE(text->toPlainText().contains(QLatin1String(kept))) << kept;
    // As formatted text: a heading and a block of equations in a fixed-pitch font.
    EXPECT_TRUE(text->toHtml().contains("<pre")) << "equations";
}

// Help > Manual (F1) shows the user's sections of the README, built into the program.
TEST_F(MainWindowTest, ManualShowsTheUsersSectionsOfTheReadme) {
    const QString readme = readme_text();
    ASSERT_TRUE(readme.startsWith("# Ambrel")) << "the README is built in";
    action("Manual1")->trigger();
    HelpWindow* help = window->help_window();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    const QString text = help->Browser->toPlainText();
    for (const char* section : {"What Ambrel computes", "The description language", "Examples", "The window",
                                "Charts", "ambrel-batch", "Numbers you can rely on"})
        EXPECT_TRUE(text.contains(QLatin1String(section))) << section;
    for (const char* section : {"Building by hand", "Performance", "sudo cmake --install"})
        EXPECT_FALSE(text.contains(QLatin1String(section))) << section;
    EXPECT_FALSE(text.contains("make-screenshots"));
    EXPECT_FALSE(text.contains("./test.sh")); // how the program is built and tested
    EXPECT_FALSE(text.contains("study_slurm_test"));
    EXPECT_TRUE(text.contains("The window after Calculate on")); // the main picture's caption
    // The README's PNG pictures are built in and shown.
    int pictures = 0;
    for (QTextBlock block = help->Browser->document()->begin(); block.isValid(); block = block.next())
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat()) {
                const QUrl source(it.fragment().charFormat().toImageFormat().name());
                EXPECT_FALSE(help->Browser->loadResource(QTextDocument::ImageResource, source).isNull())
                    << source.toString().toStdString();
                ++pictures;
            }
    EXPECT_EQ(pictures, 3);

    // A section for developers ends at the next one; code blocks and pictures: a PNG of the README
    // is shown from the program's resources with its caption, another picture is left out with it.
    const QString manual = manual_markdown(
        "# A\n\nintro\n\n`./run.sh` installs\nand builds.\n\n## Installation\n\n    sudo x\n\n"
        "## The window\n\n![picture](docs/x.svg)\n\n*Its caption\ngoes on.*\n\n* a list\n\n"
        "![shown](docs/images/y.png)\n*its caption*\n```\n## not a heading\n```\n"
        "words\n\n`tests/x.sh` runs\nsomething.\n\n## Performance\n\nfast\n");
    EXPECT_EQ(manual.toStdString(),
              "# A\n\nintro\n\n## The window\n\n\n* a list\n\n![shown](qrc:/ambrel/docs/images/y.png)\n"
              "*its caption*\n```\n## not a heading\n```\nwords\n");
}

TEST_F(MainWindowTest, StartupFileIsLoadedAtTheFirstActivationOnly) {
    const QString path = write_file("start.bal", "b1 a 0 0 0 10 0 0 0.5 0.1\n.V a 100\n");
    window->set_startup_file(path);
    window->FormActivate();
    ASSERT_TRUE(wait_for_idle(*window));
    EXPECT_EQ(memo("Memo1")->toPlainText(), "b1 a 0 0 0 10 0 0 0.5 0.1\n.V a 100");
    EXPECT_FALSE(window->description_changed());
    EXPECT_TRUE(session().system_initialized);
    EXPECT_EQ(sphere_count(), 1);
    EXPECT_EQ(window->current_file_name(), path);
    type_into_description("\n* edited");
    window->FormActivate();
    EXPECT_TRUE(memo("Memo1")->toPlainText().endsWith("* edited"));

    auto other = std::make_unique<MainWindow>(&dialogs);
    other->set_startup_file(dir.filePath("absent.bal"));
    other->FormActivate();
    other->FormActivate();
    EXPECT_EQ(dialogs.errors.size(), 1);
}

TEST_F(MainWindowTest, ListAndCapacitancesReportOnTheModel) {
    click("Button1");
    action("List1")->trigger();
    EXPECT_TRUE(output().filter("ball1 all").size() >= 2); // the echo and the listing
    choose("Capacitances1");
    EXPECT_TRUE(output().contains("Capacitance matrix:"));
}

} // namespace
} // namespace ambrel::ui::test

namespace ambrel::ui::test {
namespace {

// A click on Calculate takes the focus from the field being edited first: the value typed is
// stored before the run reads it, and an edited description is read again.
TEST_F(MainWindowTest, ClickingCalculateConfirmsTheFieldBeingEdited) {
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    click("Button1");
    TNEdit* steps = field("NEtentativas");
    steps->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(steps->hasFocus());
    steps->selectAll();
    QTest::keyClicks(steps, "3");
    QTest::mouseClick(button("Bcalculate"), Qt::LeftButton);
    ASSERT_TRUE(wait_for_idle(*window));
    EXPECT_EQ(steps->panel_int(), 3);
    EXPECT_EQ(window->last_run().steps, 3);
}

// The click on Calculate that takes the focus from a field holding an invalid number is the one
// click refused: the error box follows it, and the click after the box runs.
TEST_F(MainWindowTest, OnlyTheClickThatLeavesAnInvalidFieldIsRefused) {
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    click("Button1");
    field("NEtentativas")->set_panel_int(1);
    TNEdit* delta = field("NEdelta");
    delta->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(delta->hasFocus());
    delta->selectAll();
    QTest::keyClicks(delta, "abc");
    const qsizetype before = output().size();
    QTest::mouseClick(button("Bcalculate"), Qt::LeftButton);
    EXPECT_FALSE(window->run_in_progress());
    EXPECT_EQ(output().size(), before); // refused
    process_events();
    EXPECT_EQ(dialogs.errors, QStringList({"Time step: 'abc' is not a valid number"}));
    EXPECT_EQ(delta->text(), "0.05");
    QTest::mouseClick(button("Bcalculate"), Qt::LeftButton);
    ASSERT_TRUE(wait_for_idle(*window));
    EXPECT_EQ(window->last_run().steps, 1);
    EXPECT_TRUE(output().contains("Calculating..."));

    // A text without a digit is no number; a number out of the setting's range is refused by
    // the setting's name, and nothing runs.
    dialogs.errors.clear();
    delta->setFocus(Qt::MouseFocusReason);
    delta->selectAll();
    QTest::keyClicks(delta, "e5");
    QTest::mouseClick(button("Bcalculate"), Qt::LeftButton);
    process_events();
    EXPECT_EQ(dialogs.errors, QStringList({"Time step: 'e5' is not a valid number"}));
    dialogs.errors.clear();
    const qsizetype ran = output().size();
    delta->set_panel_real(0);
    field("NEdamping")->set_panel_real(-1);
    QTest::mouseClick(button("Bcalculate"), Qt::LeftButton);
    EXPECT_FALSE(window->run_in_progress());
    EXPECT_EQ(output().size(), ran);
    EXPECT_EQ(dialogs.errors, QStringList({"Time step: '0' is out of range (above 0, up to 1000000)"}));
    delta->set_panel_real(0.05L);
    QTest::mouseClick(button("Bcalculate"), Qt::LeftButton);
    EXPECT_EQ(dialogs.errors.last(), "Damping: '-1' is out of range (from 0, up to 1000)");
    EXPECT_EQ(output().size(), ran);
    // Far beyond any use, a value is refused before it reaches the run (a force error of 1e308 uN
    // hung the convergence chart; 1e309 was taken in silence; a random error of 1e308 degrees
    // ended the run after one step with "Too large angles"). The random error counts only when
    // it is used. A long text is cut inside its quotes, so the message stays whole.
    field("NEdamping")->set_panel_real(0.01L);
    const QString digits(200, '9');
    const struct {
        const char* field;
        QString text;
        QString refusal;
    } huge[] = {
        {"NEtol", "1e308", "Force error (uN): '1e308' is out of range (from 0, up to 1000000)"},
        {"NEtol", "1e309", "Force error (uN): '1e309' is out of range (from 0, up to 1000000)"},
        {"NEtol", digits,
         "Force error (uN): '" + digits.left(36) + "...' is out of range (from 0, up to 1000000)"},
        {"NEerro", "1e308", "Max random error (deg): '1e308' is out of range (from 0, up to 90)"},
    };
    for (const auto& [name, text, refusal] : huge) {
        TNEdit* typed = field(name);
        window->findChild<QCheckBox*>("CBrandom")->setChecked(std::string_view(name) == "NEerro");
        typed->setFocus();
        typed->selectAll();
        QTest::keyClicks(typed, text);
        QTest::mouseClick(button("Bcalculate"), Qt::LeftButton);
        process_events();
        EXPECT_FALSE(window->run_in_progress()) << name;
        EXPECT_EQ(dialogs.errors.last(), refusal);
        if (std::string_view(name) == "NEtol")
            typed->set_panel_real(0.0001L);
    }
    EXPECT_EQ(output().size(), ran);
    // Integer fields take whole numbers only, and the message says so; the quotes show a blank.
    for (const QString& text : {QStringLiteral("1e3"), QStringLiteral("3 "), QStringLiteral("99999999999")}) {
        TNEdit* steps = field("NEtentativas");
        steps->setFocus();
        steps->selectAll();
        QTest::keyClicks(steps, text);
        QTest::mouseClick(button("Bcalculate"), Qt::LeftButton);
        process_events();
        EXPECT_EQ(dialogs.errors.last(), "Steps: '" + text + "' is not a valid whole number");
    }
    EXPECT_EQ(output().size(), ran);
}

// F9 acts like the click: the description edited in the panel is read again.
TEST_F(MainWindowTest, CalculateShortcutReadsTheEditedDescription) {
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    click("Button1");
    ASSERT_EQ(sphere_count(), 4);
    field("NEtentativas")->set_panel_int(1);
    QPlainTextEdit* editor = memo("Memo1");
    editor->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(editor->hasFocus());
    editor->selectAll();
    QTest::keyClicks(editor, "b1 a 0 0 0 10 0 0 0.5 0.1");
    QTest::keyClick(window.get(), Qt::Key_F9);
    ASSERT_TRUE(wait_for_idle(*window));
    EXPECT_EQ(sphere_count(), 1);
    EXPECT_EQ(window->last_run().steps, 1);
}

} // namespace
} // namespace ambrel::ui::test
