// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculators/electroscope.h"
#include "model/output_sink.h"
#include "ui/charts.h"
#include "ui/electroscope_window.h"
#include "ui/extra_window.h"
#include "ui/jacobian_window.h"
#include "ui/main_window.h"
#include "ui/nedit.h"
#include "ui_test_support.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ambrel::ui::test {
namespace {

class ToolWindowsTest : public ::testing::Test {
  protected:
    ToolWindowsTest() : window(std::make_unique<MainWindow>(&dialogs)) {}

    QStringList output() const { return window->Memo2->toPlainText().split(QLatin1Char('\n')); }
    // The lines written since the panel held `before` lines.
    QStringList new_lines(qsizetype before) const { return output().mid(before); }
    template <class T> static T* find(QWidget* parent, const char* name) {
        T* child = parent->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;
};

TEST_F(ToolWindowsTest, ExtraShowsTheElectroscopeAndMoreShowsTheFourBallWindow) {
    window->findChild<QAction*>("Extra2")->trigger();
    QWidget* electroscope = window->electroscope_window();
    EXPECT_EQ(electroscope->objectName(), "TForm7");
    EXPECT_TRUE(electroscope->isVisible());
    EXPECT_FALSE(window->extra_window()->isVisible());
    find<QPushButton>(electroscope, "Button3")->click();
    EXPECT_EQ(find<QPushButton>(electroscope, "Button3")->text(), "More");
    EXPECT_TRUE(window->extra_window()->isVisible());
}

TEST_F(ToolWindowsTest, FourBallAndPentagonReportsGoToTheOutputPanel) {
    ExtraWindow* extra = window->extra_window();
    const char* fields[] = {"NEr",  "NEL",  "NEa1", "NEa2", "NEV", "NEm",
                            "NE5r", "NE5x", "NE5L", "NE5m", "NE5d"};
    const char* defaults[] = {"0.75", "13.5", "20", "20", "20000", "0.4", "0.75", "1", "13.5", "0.4", "0.2"};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(find<TNEdit>(extra, fields[i])->text(), defaults[i]) << fields[i];
    EXPECT_NE(find<QLabel>(extra, "Label_NEL"), nullptr);
    EXPECT_EQ(find<QLabel>(extra, "Label_NEL")->text(), "Line length (cm, to ball center)");

    qsizetype before = output().size();
    find<QPushButton>(extra, "Button1")->click();
    EXPECT_EQ(new_lines(before),
              QStringList({"Four suspended balls with two angles:", "Capacitance:  2.546240956 pF",
                           "Charge Q1: 12.731204778 nC", "Charge Q2: 12.731204778 nC",
                           "Force F1: 653.988181761 uN", "Force F2: 653.988181761 uN",
                           "Force Fz:  0.000000000 uN", "Gravity force: 3924.000000000 uN"}));
    before = output().size();
    find<QPushButton>(extra, "Button2")->click();
    EXPECT_EQ(new_lines(before).value(1), "Capacitance:  2.117107030 pF");
    EXPECT_EQ(new_lines(before).size(), 6);
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(ToolWindowsTest, ImpossibleGeometryShowsTheFloatingPointError) {
    ExtraWindow* extra = window->extra_window();
    find<TNEdit>(extra, "NEa1")->set_panel_real(1e-4000L);
    find<TNEdit>(extra, "NEa2")->set_panel_real(1e-4000L);
    const qsizetype before = output().size();
    find<QPushButton>(extra, "Button1")->click();
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(dialogs.errors[0].startsWith("Floating point") || dialogs.errors[0].startsWith("Invalid"))
        << dialogs.errors[0].toStdString();
    EXPECT_EQ(new_lines(before), QStringList({"Four suspended balls with two angles:"}));

    // A value outside its field's range: the box names the field, nothing is written.
    dialogs.errors.clear();
    find<TNEdit>(extra, "NEa1")->set_panel_real(0);
    find<QPushButton>(extra, "Button1")->click();
    EXPECT_EQ(dialogs.errors, QStringList({"Angle 1: '0' is out of range (above 0, up to 90)"}));
    EXPECT_EQ(output().size(), before + 1);
}

TEST_F(ToolWindowsTest, ElectroscopeReportAndTable) {
    ElectroscopeWindow* scope = window->electroscope_window();
    EXPECT_EQ(find<QLineEdit>(scope, "Ex")->text(), "1");
    EXPECT_EQ(find<QLineEdit>(scope, "Edx")->text(), "0.1");
    for (const char* box : {"CB3", "CB4", "CB5"})
        EXPECT_TRUE(find<QCheckBox>(scope, box)->isChecked()) << box;

    qsizetype before = output().size();
    find<QPushButton>(scope, "Button1")->click();
    QStringList lines = new_lines(before);
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "Two balls:");
    EXPECT_EQ(lines[2], "Angle with vertical (A2):      4.46084370 degrees");
    EXPECT_TRUE(lines.contains("Five balls:"));

    // Unchecked boxes leave only the two-ball part.
    for (const char* box : {"CB3", "CB4", "CB5"})
        find<QCheckBox>(scope, box)->setChecked(false);
    before = output().size();
    find<QPushButton>(scope, "Button1")->click();
    EXPECT_EQ(new_lines(before).size(), 2 + 19);

    // A range that gives no table is said before any file is asked for, naming the field; so is a
    // field outside its physical range, in an error box.
    find<QLineEdit>(scope, "Ex2")->setText("-1");
    find<QPushButton>(scope, "Button2")->click();
    EXPECT_TRUE(dialogs.save_kinds.empty());
    EXPECT_EQ(output().last(), "Final x must not be below Starting x: -1 cm is below 0 cm.");
    find<QLineEdit>(scope, "Er")->setText("0");
    find<QPushButton>(scope, "Button2")->click();
    EXPECT_TRUE(dialogs.save_kinds.empty());
    EXPECT_EQ(dialogs.errors, QStringList({"Ball radius r (cm): '0' is out of range (above 0, up to 1000)"}));
    find<QLineEdit>(scope, "Er")->setText("0.75");
    dialogs.errors.clear();

    // Generate asks where the table goes, proposing pithballs.tab in the current folder while no
    // description file was opened or saved; cancelled, it writes nothing.
    QTemporaryDir dir;
    find<QLineEdit>(scope, "Ex2")->setText("0.45");
    before = output().size();
    find<QPushButton>(scope, "Button2")->click();
    ASSERT_EQ(dialogs.save_kinds, std::vector<SaveKind>{SaveKind::Table});
    EXPECT_EQ(dialogs.save_proposals.value(0), QDir::current().filePath("pithballs.tab"));
    EXPECT_EQ(output().size(), before);
    dialogs.save_answers.push_back(SaveChoice(dir.filePath("pithballs.tab")));
    find<QPushButton>(scope, "Button2")->click();
    // The message gives the full path of the file.
    EXPECT_EQ(output().last(),
              "Table generated as \"" + QDir(dir.path()).absoluteFilePath("pithballs.tab") + "\".");
    QFile table(dir.filePath("pithballs.tab"));
    ASSERT_TRUE(table.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = table.readAll().split('\n');
    EXPECT_EQ(rows.size(), 1 + 5 + 1); // header, 0 to 0.4 cm, and the end after the last CR LF
    EXPECT_TRUE(rows[0].startsWith("x Angle2 F Q C"));
}

// A calculator's field that does not hold a number refuses its button, as the run's fields of the
// main window do: the error box names the field, nothing is computed, and the field shows the number
// it kept. A valid text gives the report of those numbers, as the calculator itself writes it.
TEST_F(ToolWindowsTest, CalculatorFieldsRefuseWhatIsNotANumber) {
    ElectroscopeWindow* scope = window->electroscope_window();
    TNEdit* mass = find<TNEdit>(scope, "Emb");
    qsizetype before = output().size();

    // Typed and the button pressed at once (no focus change): "abc", and a number followed by the
    // letters of a mnemonic typed into the field.
    for (const QString& text : {QStringLiteral("abc"), QStringLiteral("0.4ca"), QString()}) {
        dialogs.errors.clear();
        mass->setText(text);
        find<QPushButton>(scope, "Button1")->click();
        EXPECT_EQ(dialogs.errors,
                  QStringList(text.isEmpty() ? "Ball mass (g): an empty field is not a valid number"
                                             : "Ball mass (g): '" + text + "' is not a valid number"));
        EXPECT_EQ(output().size(), before) << text.toStdString();
        EXPECT_EQ(mass->text(), "0.4");
    }
    // Generate and the chart refuse as well: no dialog, no table, no chart.
    dialogs.errors.clear();
    find<TNEdit>(scope, "Edx")->setText("0.1x");
    find<QPushButton>(scope, "Button2")->click();
    find<TNEdit>(scope, "Ex2")->setText("four");
    find<QPushButton>(scope, "Button4")->click();
    EXPECT_EQ(dialogs.errors, QStringList({"delta x: '0.1x' is not a valid number",
                                           "Final x: 'four' is not a valid number"}));
    EXPECT_TRUE(dialogs.save_kinds.empty());
    EXPECT_FALSE(scope->chart_window()->isVisible());

    // Left with a bad text: the field's own box, once; the click that took the focus is refused.
    dialogs.errors.clear();
    mass->setText("1e");
    leave_control(mass);
    find<QPushButton>(scope, "Button1")->click();
    process_events();
    EXPECT_EQ(dialogs.errors, QStringList({"Ball mass (g): '1e' is not a valid number"}));
    EXPECT_EQ(output().size(), before);

    // Valid texts give the report of their numbers, byte for byte what the calculator writes.
    mass->setText(" 0.25");
    find<TNEdit>(scope, "Emf")->setText("0.02");
    find<QPushButton>(scope, "Button1")->click();
    ElectroscopeFields fields;
    fields.Emb = 0.25L;
    fields.Emf = 0.02L;
    VectorSink expected;
    ASSERT_TRUE(electroscope_report(fields, expected).ok());
    QStringList expected_lines;
    for (const std::string& line : expected.lines)
        expected_lines << QString::fromStdString(line);
    EXPECT_EQ(new_lines(before), expected_lines);
    EXPECT_EQ(dialogs.errors.size(), 1);

    // The four-ball and pentagon window: typed and pressed at once is refused too.
    ExtraWindow* extra = window->extra_window();
    find<TNEdit>(extra, "NEV")->setText("2e4V");
    before = output().size();
    find<QPushButton>(extra, "Button1")->click();
    EXPECT_EQ(dialogs.errors.value(1), "Voltage: '2e4V' is not a valid number");
    EXPECT_EQ(output().size(), before);
    find<TNEdit>(extra, "NE5m")->setText("0.5");
    find<QPushButton>(extra, "Button2")->click();
    EXPECT_EQ(find<TNEdit>(extra, "NE5m")->panel_real(), 0.5L);
    EXPECT_EQ(output().size(), before + 6);
}

TEST_F(ToolWindowsTest, JacobianWindowComputesTheMatrix) {
    window->findChild<QAction*>("Jacobian1")->trigger();
    JacobianWindow* jacobian = window->jacobian_window();
    EXPECT_EQ(jacobian->objectName(), "TForm4");
    EXPECT_TRUE(jacobian->isVisible());
    EXPECT_EQ(find<TNEdit>(jacobian, "NEJacobian")->text(), "0.0001");
    EXPECT_FALSE(find<QCheckBox>(jacobian, "CBjanormal")->isChecked());
    EXPECT_EQ(find<QCheckBox>(jacobian, "CBjanormal")->text(), "Plain formatting");
    EXPECT_EQ(find<QPushButton>(jacobian, "Button3")->text(), "Calculate");
    QStringList texts;
    for (const QLabel* label : jacobian->findChildren<QLabel*>())
        texts << label->text();
    EXPECT_TRUE(texts.contains("Jacobian matrix for stability analysis (numerical)"));
    EXPECT_TRUE(texts.contains("Angle variation (rad)"));
    EXPECT_TRUE(
        texts.contains("(The eigenvalues and the verdict follow the matrix; Save... writes it whole)"));
    QPushButton* save = find<QPushButton>(jacobian, "Bsave");
    EXPECT_EQ(save->text(), "Save...");
    EXPECT_FALSE(save->isEnabled()); // nothing computed yet

    // Before any Initialize the description is read first, as Calculate does.
    ASSERT_FALSE(window->session().system_initialized);
    const qsizetype before = output().size();
    click_and_wait(*window, find<QPushButton>(jacobian, "Button3"));
    EXPECT_TRUE(window->session().system_initialized);
    QStringList lines = new_lines(before);
    while (!lines.isEmpty() && !lines[0].startsWith("Jacobian matrix"))
        lines.removeFirst(); // the lines of the reading
    ASSERT_GE(lines.size(), 9);
    EXPECT_TRUE(lines[0].startsWith("Jacobian matrix (error ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("[[")); // 4 balls: 8 rows, bracketed
    EXPECT_TRUE(lines[8].endsWith("]]"));

    // Save... writes the Jacobian just computed; a file that cannot be written says why.
    ASSERT_TRUE(save->isEnabled());
    QTemporaryDir dir;
    const QString path = dir.filePath("jacobian.csv");
    dialogs.save_answers = {SaveChoice(path), SaveChoice(dir.filePath("missing/j.csv"))};
    save->click();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = file.readAll().split('\n');
    EXPECT_EQ(rows[0], "kind,name,values (1/s)");
    EXPECT_EQ(rows.size(), 2 + 8 + 1 + 8 + 1 + 8 + 1); // the last line's end leaves an empty part
    EXPECT_TRUE(dialogs.errors.isEmpty());
    save->click();
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(dialogs.errors[0].startsWith("cannot write ")) << dialogs.errors[0].toStdString();

    // The run's time step is the main window's field: the update law's matrix is proportional to it.
    find<QCheckBox>(jacobian, "CBjanormal")->setChecked(true);
    auto first_entry = [&] {
        const qsizetype from = output().size();
        click_and_wait(*window, find<QPushButton>(jacobian, "Button3"));
        const QStringList rows = new_lines(from);
        return rows.size() > 1 ? rows[1].simplified().section(' ', 0, 0).toDouble() : 0.0;
    };
    const double at_default = first_entry();
    window->NEdelta->set_panel_real(0.1L);
    EXPECT_NEAR(first_entry() / at_default, 2, 1e-3);
    window->NEdelta->set_panel_real(0.05L);
    find<QCheckBox>(jacobian, "CBjanormal")->setChecked(false);

    // Twelve balls: rows of 24 entries, cut in the panel, say where the whole matrix is.
    QStringList twelve;
    for (int k = 0; k < 12; ++k)
        twelve << QString("B%1 all %2 0 0 10 0 0 0.3 0.1").arg(k).arg(2 * k);
    window->Memo1->setPlainText(twelve.join('\n'));
    click_and_wait(*window, window->Button1);
    const qsizetype at = output().size();
    click_and_wait(*window, find<QPushButton>(jacobian, "Button3"));
    const QStringList rows12 = new_lines(at);
    ASSERT_GE(rows12.size(), 25);
    for (int row = 1; row <= 24; ++row)
        EXPECT_TRUE(rows12[row].endsWith(WINDOW_CUT_MARK)) << rows12[row].toStdString();
}

TEST_F(ToolWindowsTest, JacobianInTimeDomainModeOnlySaysSo) {
    window->findChild<QAction*>("Speedsimulation1")->trigger();
    click_and_wait(*window, window->Button1);
    const qsizetype before = output().size();
    click_and_wait(*window, find<QPushButton>(window->jacobian_window(), "Button3"));
    EXPECT_EQ(new_lines(before), QStringList({"Jacobian matrix not implemented for speed simulation."}));
}

// The error boxes of the tool windows' numeric fields name the field by its label.
TEST_F(ToolWindowsTest, FieldErrorsNameTheField) {
    for (TNEdit* field : {find<TNEdit>(window->jacobian_window(), "NEJacobian"),
                          find<TNEdit>(window->extra_window(), "NEL")}) {
        field->setText("abc");
        leave_control(field);
    }
    process_events();
    EXPECT_EQ(dialogs.errors, QStringList({"Angle variation (rad): 'abc' is not a valid number",
                                           "Line length (cm, to ball center): 'abc' is not a valid number"}));
}

} // namespace
} // namespace ambrel::ui::test
