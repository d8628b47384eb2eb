// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The Sweep window: a small sweep runs on the worker and fills the table and the chart, Save CSV
// writes what the table shows, wrong requests end in an error box, and Stop ends a sweep keeping
// the points done.
#include "report/sweep_table.h"
#include "solver/sweep.h"
#include "ui/charts.h"
#include "ui/main_window.h"
#include "ui/nedit.h"
#include "ui/sweep_window.h"
#include "ui_test_support.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QValueAxis>

#include <gtest/gtest.h>

#include <cmath>

namespace ambrel::ui::test {
namespace {

class SweepWindowTest : public ::testing::Test {
  protected:
    SweepWindowTest() : window(std::make_unique<MainWindow>(&dialogs)) {}

    SweepWindow* sweep() const { return window->sweep_window(); }
    void set_range(Real start, Real stop, Real step) const {
        sweep()->NEstart->set_panel_real(start);
        sweep()->NEstop->set_panel_real(stop);
        sweep()->NEstep->set_panel_real(step);
    }
    void open_sweep_window() const {
        QAction* item = window->findChild<QAction*>(QStringLiteral("Sweep1"));
        ASSERT_NE(item, nullptr);
        item->trigger();
    }
    QString status() const { return window->statusBar()->currentMessage(); }

    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;
};

TEST_F(SweepWindowTest, ASmallSweepFillsTheTableAndTheChartAndSavesWhatTheTableShows) {
    click_and_wait(*window, window->Button1);
    open_sweep_window();
    ASSERT_TRUE(sweep()->isVisible());
    EXPECT_EQ(sweep()->CBconductor->count(), 1);
    EXPECT_EQ(sweep()->CBconductor->currentText(), "all");
    EXPECT_FALSE(sweep()->Bsave->isEnabled());

    EXPECT_EQ(sweep()->Progress->text(), ""); // no count before a sweep
    set_range(6000, 9000, 1000);
    sweep()->Brun->click();
    EXPECT_TRUE(window->run_in_progress());
    EXPECT_FALSE(sweep()->Brun->isEnabled());
    EXPECT_TRUE(sweep()->Bstop->isEnabled());
    EXPECT_FALSE(window->Bcalculate->isEnabled());
    ASSERT_TRUE(wait_for_idle(*window));

    QTableWidget* table = sweep()->Table;
    ASSERT_EQ(table->rowCount(), 4);
    ASSERT_EQ(table->columnCount(), 22);
    EXPECT_EQ(table->horizontalHeaderItem(1)->text(), "Deflection[1] ball1 (deg)");
    EXPECT_EQ(table->horizontalHeaderItem(10)->text(), "Az[1] ball1 (deg)");
    EXPECT_EQ(table->horizontalHeaderItem(21)->text(), "End");
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(table->item(row, 0)->text(), QString::number(6000 + row * 1000));
        EXPECT_EQ(table->item(row, 21)->text(), "converged");
        if (row > 0) {
            EXPECT_GT(table->item(row, 1)->text().toDouble(), table->item(row - 1, 1)->text().toDouble());
        }
    }
    // Every object's deflection, or the one chosen.
    EXPECT_EQ(sweep()->Chart->curve_count(), 4);
    EXPECT_EQ(sweep()->Chart->point_count(), 16);
    // Across the voltage, up the deflection in degrees, as the table gives it.
    const QList<QPointF> first = sweep()->Chart->curve_points(0);
    ASSERT_EQ(first.size(), 4);
    EXPECT_EQ(first[3].x(), 9000);
    EXPECT_NEAR(first[3].y(), table->item(3, 1)->toolTip().toDouble(), 1e-9);
    // The cells show 8 significant digits, so they do not wrap; their tips hold every digit.
    EXPECT_EQ(table->item(3, 1)->text(), QString::number(table->item(3, 1)->toolTip().toDouble(), 'g', 8));
    EXPECT_LE(table->item(3, 1)->text().size(), 10);
    EXPECT_GT(first[3].y(), 1);
    ASSERT_EQ(sweep()->CBobject->count(), 5);
    EXPECT_EQ(sweep()->CBobject->itemText(2), "[2] ball2");
    sweep()->CBobject->setCurrentIndex(2);
    EXPECT_EQ(sweep()->Chart->curve_count(), 1);
    EXPECT_EQ(sweep()->Chart->point_count(), 4);

    EXPECT_EQ(sweep()->Lstatus->text(), "Done: 4 points.");
    EXPECT_EQ(sweep()->Progress->text(), "4 of 4 points");
    EXPECT_EQ(status(), "Sweep done");
    EXPECT_TRUE(sweep()->Brun->isEnabled());
    EXPECT_FALSE(sweep()->Bstop->isEnabled());
    EXPECT_TRUE(window->Bcalculate->isEnabled());
    // The system stays at the last point.
    EXPECT_EQ(window->session().model.conductors[1].V, 9000);
    EXPECT_TRUE(window->session().system_initialized);

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("curve.csv"));
    dialogs.save_answers.push_back(SaveChoice(path));
    ASSERT_TRUE(sweep()->Bsave->isEnabled());
    sweep()->Bsave->click();
    ASSERT_EQ(dialogs.save_kinds.size(), 1u);
    EXPECT_EQ(dialogs.save_kinds[0], SaveKind::Csv);
    EXPECT_EQ(save_file_types(SaveKind::Csv).value(0).filter, "CSV tables (*.csv)");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_EQ(text.toStdString(), sweep_csv(sweep()->result()));
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[2].split(QLatin1Char(',')).value(2), table->item(1, 2)->toolTip());
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

// "Find equilibrium" as the method: the same points, each in a few iterations (the table's steps).
TEST_F(SweepWindowTest, FindEquilibriumAsTheMethodGivesThePointsInAFewIterations) {
    click_and_wait(*window, window->Button1);
    open_sweep_window();
    set_range(8000, 9000, 1000);
    ASSERT_EQ(sweep()->CBmethod->count(), 2);
    EXPECT_EQ(sweep()->CBmethod->currentText(), "Calculate");
    sweep()->Brun->click();
    ASSERT_TRUE(wait_for_idle(*window));
    QTableWidget* table = sweep()->Table;
    ASSERT_EQ(table->rowCount(), 2);
    const QString deflection = table->item(1, 1)->text(), steps = table->item(1, 19)->text();

    sweep()->CBmethod->setCurrentIndex(1);
    sweep()->Brun->click();
    EXPECT_FALSE(sweep()->CBmethod->isEnabled());
    ASSERT_TRUE(wait_for_idle(*window));
    EXPECT_TRUE(sweep()->CBmethod->isEnabled());
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->item(1, 21)->text(), "converged");
    EXPECT_NEAR(table->item(1, 1)->text().toDouble(), deflection.toDouble(), 1e-3);
    EXPECT_LT(table->item(1, 19)->text().toInt(), steps.toInt());
}

TEST_F(SweepWindowTest, PointsThatDidNotConvergeStayInTheTableButAreNotDrawn) {
    click_and_wait(*window, window->Button1);
    window->NEtentativas->set_panel_int(3); // far too few steps for an equilibrium
    open_sweep_window();
    set_range(8000, 9000, 1000);
    sweep()->Brun->click();
    ASSERT_TRUE(wait_for_idle(*window));
    ASSERT_EQ(sweep()->Table->rowCount(), 2);
    EXPECT_EQ(sweep()->Table->item(0, 21)->text(), "step-limit");
    EXPECT_EQ(sweep()->Chart->point_count(), 0);
    EXPECT_EQ(sweep()->Lstatus->text(), "Done: 2 points. 2 did not converge (not drawn).");

    // With enough steps the same sweep is all equilibria, every one drawn.
    window->NEtentativas->set_panel_int(1000);
    sweep()->Brun->click();
    ASSERT_TRUE(wait_for_idle(*window));
    EXPECT_EQ(sweep()->Table->item(1, 21)->text(), "converged");
    EXPECT_EQ(sweep()->Chart->point_count(), 8);
    EXPECT_GE(sweep()->Chart->x_axis()->max(), 9000);

    // Nothing converged again: the axes no longer describe the points of the sweep before.
    window->NEtentativas->set_panel_int(3);
    sweep()->Brun->click();
    ASSERT_TRUE(wait_for_idle(*window));
    EXPECT_EQ(sweep()->Chart->point_count(), 0);
    EXPECT_LT(sweep()->Chart->x_axis()->max(), 8000);
}

TEST_F(SweepWindowTest, AWrongRangeOrAnUnknownConductorEndsInAnErrorBox) {
    open_sweep_window();
    EXPECT_EQ(sweep()->CBconductor->count(), 0); // nothing initialised yet
    set_range(0, 1000, 0);
    sweep()->CBconductor->setEditText(QStringLiteral("all"));
    sweep()->Brun->click();
    EXPECT_FALSE(window->run_in_progress());
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_EQ(dialogs.errors[0], "Sweep: STEP must not be 0");

    // The description is read first, as Calculate does; then the name is looked up.
    set_range(0, 1000, 1000);
    sweep()->CBconductor->setEditText(QStringLiteral("none"));
    sweep()->Brun->click();
    ASSERT_TRUE(wait_for_idle(*window));
    ASSERT_EQ(dialogs.errors.size(), 2);
    EXPECT_EQ(dialogs.errors[1], "Sweep: unknown conductor 'none' (the conductors are: all)");
    EXPECT_EQ(status(), "Sweep failed");
    EXPECT_TRUE(window->session().system_initialized);
    EXPECT_EQ(sweep()->CBconductor->itemText(0), "all"); // offered now
    EXPECT_TRUE(sweep()->Brun->isEnabled());
}

TEST_F(SweepWindowTest, StopEndsTheSweepAndKeepsThePointsDone) {
    click_and_wait(*window, window->Button1);
    open_sweep_window();
    set_range(6000, 16000, 1000);
    // During the first step of the third point, the two points before are on the window: Stop.
    bool stopped = false;
    window->set_step_hook([&](int) {
        on_window_thread(*window, [&] {
            if (!stopped && sweep()->result().points.size() == 2) {
                stopped = true;
                EXPECT_TRUE(sweep()->Bstop->isEnabled());
                EXPECT_EQ(sweep()->Table->rowCount(), 2);
                sweep()->Bstop->click();
            }
        });
    });
    sweep()->Brun->click();
    ASSERT_TRUE(wait_for_idle(*window));
    EXPECT_TRUE(stopped);
    EXPECT_EQ(sweep()->Table->rowCount(), 2);
    EXPECT_EQ(sweep()->result().planned, 11);
    EXPECT_EQ(sweep()->Lstatus->text(), "Stopped after 2 of 11 points.");
    EXPECT_EQ(status(), "Sweep stopped");
    EXPECT_TRUE(sweep()->Brun->isEnabled());
    EXPECT_FALSE(sweep()->Bstop->isEnabled());
    EXPECT_TRUE(window->Memo2->toPlainText().endsWith("Sweep stopped after 2 of 11 points"));
}

} // namespace
} // namespace ambrel::ui::test
