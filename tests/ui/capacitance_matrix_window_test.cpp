// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The view's pop-up item "Save capacitance matrix...": the CSV dialog, the file it writes through
// the worker and the line of the output panel for every outcome.
#include "report/capacitance_matrix.h"
#include "ui/main_window.h"
#include "ui_test_support.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ambrel::ui::test {
namespace {

class SaveMatrixTest : public ::testing::Test {
  protected:
    SaveMatrixTest() : window(std::make_unique<MainWindow>(&dialogs)) {}

    QAction* save_matrix() const { return window->SaveMatrix1; }
    QStringList output() const { return window->Memo2->toPlainText().split(QLatin1Char('\n')); }
    void initialize(const QString& description) const {
        window->Memo1->setPlainText(description);
        click_and_wait(*window, window->Button1);
    }
    // Chooses the item with `answer` as the dialog's answer, and waits for the command's end.
    void save_as(const QString& answer) {
        dialogs.save_answers.push_back(SaveChoice(answer));
        trigger_and_wait(*window, save_matrix());
    }
    static QByteArray read_file(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;
};

TEST_F(SaveMatrixTest, WritesTheMatrixAndSaysWhere) {
    EXPECT_TRUE(window->findChild<QMenu*>(QStringLiteral("PopupMenu1"))->actions().contains(save_matrix()));
    EXPECT_EQ(save_matrix()->text(), "Save capacitance matrix...");
    initialize(QStringLiteral("Ba A 0 0 0 0 0 0 1 1\nBb B 5 0 0 0 0 0 1 1\n.V A 100"));

    const QString path = dir.filePath(QStringLiteral("two balls.csv"));
    save_as(path);
    EXPECT_EQ(dialogs.save_kinds, std::vector<SaveKind>{SaveKind::Csv});
    EXPECT_EQ(dialogs.save_proposals, QStringList{QStringLiteral("capacitances.csv")});
    EXPECT_TRUE(dialogs.errors.isEmpty());
    EXPECT_EQ(output().last().toStdString(), "Capacitance matrix saved as " + path.toStdString());
    // The file of the core's writer, for the window's system.
    const Result<ConductorCapacitances> c =
        condense_capacitance_matrix(window->session().model, window->session().workspace);
    ASSERT_TRUE(c.ok());
    EXPECT_EQ(read_file(path).toStdString(), capacitance_matrix_csv(*c));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("two balls.csv")});

    // While a command reads or rebuilds the model, the item waits and asks nothing.
    window->Button1->click();
    EXPECT_FALSE(save_matrix()->isEnabled());
    window->SaveMatrix1Click();
    EXPECT_EQ(dialogs.save_kinds.size(), 1u);
    ASSERT_TRUE(wait_for_idle(*window));
    EXPECT_TRUE(save_matrix()->isEnabled());

    // Cancelled: nothing asked of the worker, nothing written.
    const int lines = output().size();
    save_as(QString());
    EXPECT_EQ(output().size(), lines);
    // The dialog offers CSV tables only.
    ASSERT_EQ(save_file_types(SaveKind::Csv).size(), 1);
    EXPECT_TRUE(save_file_types(SaveKind::Csv).constFirst().filter.endsWith(QStringLiteral("(*.csv)")));
}

TEST_F(SaveMatrixTest, FailuresAndViolationsAreLinesOfThePanel) {
    const QString path = dir.filePath(QStringLiteral("m.csv"));
    save_as(path); // before any Initialize
    EXPECT_EQ(output().last().toStdString(),
              "Capacitance matrix not saved: the system has not been initialized");
    EXPECT_FALSE(QFile::exists(path));

    initialize(QStringLiteral("Ba big 0 0 0 0 0 0 4 1\nBb small 1.5 0 0 0 0 0 1 1"));
    const QString unwritable = dir.filePath(QStringLiteral("no-folder/m.csv"));
    save_as(unwritable);
    EXPECT_EQ(output().last().toStdString(), "Capacitance matrix not saved: cannot write " +
                                                 unwritable.toStdString() + ": No such file or directory");
    EXPECT_TRUE(dialogs.errors.isEmpty());

    save_as(path);
    // The failed checks of the core, each a line, then where the file is all the same.
    const Result<ConductorCapacitances> c =
        condense_capacitance_matrix(window->session().model, window->session().workspace);
    ASSERT_TRUE(c.ok());
    QStringList expected;
    for (const std::string& line : capacitance_matrix_violations(*c))
        expected << QString::fromStdString(line);
    expected << QStringLiteral("Capacitance matrix saved as ") + path;
    ASSERT_EQ(expected.size(), 5);
    EXPECT_EQ(output().mid(output().size() - expected.size()), expected);
    EXPECT_TRUE(QFile::exists(path));
}

} // namespace
} // namespace ambrel::ui::test
