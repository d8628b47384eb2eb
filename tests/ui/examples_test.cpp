// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// File > Examples: which folder it lists, how each example is named, and that choosing one opens it
// as File > Open does, after the same question when the description was edited.
#include "ui/examples.h"
#include "ui/main_window.h"
#include "ui_test_support.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ambrel::ui::test {
namespace {

// The examples of the source tree, beside the test data.
QString source_examples() {
    return QDir(QStringLiteral(AMBREL_TEST_DATA "/../../examples")).absolutePath();
}

class ExamplesTest : public ::testing::Test {
  protected:
    ExamplesTest() : window(std::make_unique<MainWindow>(&dialogs)) {}

    QString write_file(const QString& name, const QByteArray& bytes) const {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    // The items of the Examples menu as it opens.
    QList<QAction*> items() const {
        emit window->Examples1->aboutToShow();
        return window->Examples1->actions();
    }
    QAction* item_for(const QString& path) const {
        for (QAction* item : items())
            if (item->data().toString() == path)
                return item;
        ADD_FAILURE() << "no item for " << path.toStdString();
        return nullptr;
    }
    QStringList output() const { return window->Memo2->toPlainText().split(QLatin1Char('\n')); }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;
};

TEST_F(ExamplesTest, MenuListsTheDescriptionsOfTheFolderWithTheirFirstComment) {
    write_file("b_two.bal", "b1 a 0 0 0 10 0 20 0.5 0.1\r\n* Two balls & a note\r\n* second comment\r\n");
    write_file("a_one.bal", "* \tOne ball   \nb1 a 0 0 0 10 0 20 0.5 0.1\n");
    write_file("c_cr.bal", "b1 a 0 0 0 10 0 20 0.5 0.1\r* Lone CR line ends\r");
    write_file("d_none.bal", "b1 a 0 0 0 10 0 20 0.5 0.1\n");
    write_file("e_long.bal", "* " + QByteArray(100, 'w') + "\n");
    write_file("notes.txt", "* not a description\n");
    window->set_examples_folder(dir.path());

    QStringList texts;
    for (const QAction* item : items())
        texts << item->text();
    EXPECT_EQ(texts, QStringList({"a_one.bal \u2014 One ball", "b_two.bal \u2014 Two balls && a note",
                                  "c_cr.bal \u2014 Lone CR line ends", "d_none.bal",
                                  "e_long.bal \u2014 " + QString(63, 'w') + QChar(0x2026)}));
    EXPECT_EQ(items().first()->data().toString(), QDir(dir.path()).filePath("a_one.bal"));

    // A folder without examples says so in an item that cannot be chosen.
    QTemporaryDir empty;
    window->set_examples_folder(empty.path());
    ASSERT_EQ(items().size(), 1);
    EXPECT_FALSE(items().first()->isEnabled());
    EXPECT_EQ(items().first()->text(), "No examples in " + empty.path());
}

TEST_F(ExamplesTest, TheFolderIsTheVariablesOrElseTheSourceTreesFromTheBuildFolder) {
    const QByteArray saved = qgetenv(EXAMPLES_DIR_VARIABLE);
    qunsetenv(EXAMPLES_DIR_VARIABLE);
    // A program in the build folder has no installed examples beside it.
    EXPECT_EQ(default_examples_folder(), source_examples());
    // Installed, the examples are in share/ambrel/examples beside the program's folder, whatever
    // the prefix.
    const QString beside =
        QDir(QCoreApplication::applicationDirPath()).absoluteFilePath("../share/ambrel/examples");
    if (!QFileInfo::exists(beside)) {
        ASSERT_TRUE(QDir().mkpath(beside));
        const auto remove = qScopeGuard([&] {
            QDir(beside).removeRecursively();
            QDir().rmpath(QFileInfo(beside).path()); // share/ambrel, and share when empty
        });
        EXPECT_EQ(default_examples_folder(), QDir(beside).absolutePath());
    }
    qputenv(EXAMPLES_DIR_VARIABLE, dir.path().toLocal8Bit());
    EXPECT_EQ(default_examples_folder(), dir.path());
    EXPECT_EQ(MainWindow(&dialogs).examples_folder(), dir.path());
    if (saved.isNull())
        qunsetenv(EXAMPLES_DIR_VARIABLE);
    else
        qputenv(EXAMPLES_DIR_VARIABLE, saved);
}

TEST_F(ExamplesTest, ChoosingAnExampleOpensItAsOpenDoes) {
    const QString path = write_file("two.bal", "* two balls\r\nb1 a 0 0 0 10 0 20 0.5 0.1\r\n"
                                               "b2 a 0 1 0 10 0 -20 0.5 0.1\r\n.V a 1000\r\n");
    window->set_examples_folder(dir.path());
    window->Alwayscalculate1->setChecked(true);
    trigger_and_wait(*window, item_for(path));

    EXPECT_TRUE(dialogs.questions.isEmpty()); // nothing was edited
    EXPECT_TRUE(dialogs.open_proposals.isEmpty());
    EXPECT_EQ(window->Memo1->toPlainText(),
              "* two balls\nb1 a 0 0 0 10 0 20 0.5 0.1\nb2 a 0 1 0 10 0 -20 0.5 0.1\n.V a 1000");
    EXPECT_TRUE(output().contains("Loading description from file " + path));
    EXPECT_TRUE(output().contains("Reading 4 lines of input"));
    EXPECT_FALSE(window->Alwayscalculate1->isChecked());
    EXPECT_FALSE(window->description_changed());
    EXPECT_TRUE(window->session().system_initialized);
    EXPECT_EQ(window->session().model.sphere_count, 2);
    // An example is an unnamed description: Save asks where, proposing its name in the user's
    // documents folder (the home folder where there is none), and the shipped file is never written.
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QDir(documents).exists())
        documents = QDir::homePath();
    EXPECT_EQ(window->current_file_name(), QDir(documents).filePath("two.bal"));
    EXPECT_FALSE(window->current_file_named());
    EXPECT_EQ(window->windowTitle(), "two.bal - Ambrel");
    window->Memo1->moveCursor(QTextCursor::End);
    window->Memo1->insertPlainText("\n* mine");
    window->Save1->trigger(); // cancelled
    EXPECT_EQ(dialogs.save_proposals, QStringList({QDir(documents).filePath("two.bal")}));
    QFile shipped(path);
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    EXPECT_FALSE(shipped.readAll().contains("mine"));
    EXPECT_TRUE(window->statusBar()->currentMessage().startsWith("Initialized: 2 spheres"));

    // A home folder without a documents folder: the example's name in the home folder, a whole path.
    QTemporaryDir home;
    const QByteArray saved_home = qgetenv("HOME");
    qputenv("HOME", home.path().toUtf8());
    if (QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).startsWith(home.path())) {
        dialogs.yes_no_answers = {true};
        trigger_and_wait(*window, item_for(path));
        EXPECT_EQ(window->current_file_name(), QDir(home.path()).filePath("two.bal"));
        ASSERT_TRUE(QDir(home.path()).mkpath("Documents"));
        trigger_and_wait(*window, item_for(path));
        EXPECT_EQ(window->current_file_name(), QDir(home.path()).filePath("Documents/two.bal"));
    }
    qputenv("HOME", saved_home);
}

TEST_F(ExamplesTest, AnEditedDescriptionIsReplacedOnlyAfterYes) {
    const QString path = write_file("one.bal", "* one ball\nb1 a 0 0 0 10 0 20 0.5 0.1\n");
    window->set_examples_folder(dir.path());
    window->Memo1->moveCursor(QTextCursor::End);
    window->Memo1->insertPlainText("\n* my note");
    const QString edited = window->Memo1->toPlainText();
    const qsizetype lines_before = output().size();

    trigger_and_wait(*window, item_for(path)); // answered No
    EXPECT_EQ(dialogs.questions, QStringList({"Abandon changes and load another file?"}));
    EXPECT_EQ(window->Memo1->toPlainText(), edited);
    EXPECT_TRUE(window->description_changed());
    EXPECT_EQ(output().size(), lines_before);

    dialogs.yes_no_answers = {true};
    trigger_and_wait(*window, item_for(path));
    EXPECT_EQ(dialogs.questions.size(), 2);
    EXPECT_EQ(window->Memo1->toPlainText(), "* one ball\nb1 a 0 0 0 10 0 20 0.5 0.1");
    EXPECT_FALSE(window->description_changed());
}

// Every example of the source tree has a title and opens without a reading error.
TEST_F(ExamplesTest, EveryExampleOfTheSourceTreeOpens) {
    window->set_examples_folder(source_examples());
    const QList<QAction*> listed = items();
    ASSERT_GE(listed.size(), 7);
    for (QAction* item : listed) {
        const QString path = item->data().toString();
        EXPECT_FALSE(first_comment_line(path).isEmpty()) << path.toStdString();
        trigger_and_wait(*window, item);
        EXPECT_EQ(window->Memo1->toPlainText().trimmed(),
                  QString::fromUtf8([&] {
                      QFile file(path);
                      return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
                  }())
                      .trimmed())
            << path.toStdString();
        EXPECT_TRUE(window->statusBar()->currentMessage().startsWith("Initialized: "))
            << path.toStdString() << ": " << window->statusBar()->currentMessage().toStdString();
        EXPECT_TRUE(output().filter("Unknown element").isEmpty()) << path.toStdString();
    }
}

} // namespace
} // namespace ambrel::ui::test
