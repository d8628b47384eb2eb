// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The charts: the electroscope table drawn point for point from the rows "Generate" writes, the
// convergence of a Calculate run with a point per step (also while the run goes on), and the
// export of both as PNG and SVG files.
#include "calculators/electroscope_table.h"
#include "ui/charts.h"
#include "ui/electroscope_window.h"
#include "ui/main_window.h"
#include "ui/nedit.h"
#include "ui_test_support.h"

#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

namespace ambrel::ui::test {
namespace {

// The rows of a table file as numbers; none for "-".
std::vector<std::vector<std::optional<double>>> read_table_file(const QString& path) {
    std::vector<std::vector<std::optional<double>>> rows;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    file.readLine(); // the header
    while (!file.atEnd()) {
        std::vector<std::optional<double>> row;
        for (const QString& text :
             QString::fromLatin1(file.readLine()).simplified().split(QLatin1Char(' '))) {
            bool ok = false;
            const double value = text.toDouble(&ok);
            row.push_back(ok ? std::optional<double>(value) : std::nullopt);
        }
        rows.push_back(row);
    }
    return rows;
}

// The points a table gives for two columns: the rows that have both.
QList<QPointF> expected_points(const std::vector<std::vector<std::optional<double>>>& rows, int across,
                               int up) {
    QList<QPointF> points;
    for (const auto& row : rows)
        if (row.at(across) && row.at(up))
            points << QPointF(*row[across], *row[up]);
    return points;
}

class ChartsTest : public ::testing::Test {
  protected:
    ChartsTest() : window(std::make_unique<MainWindow>(&dialogs)) {}

    ElectroscopeWindow* electroscope() const { return window->electroscope_window(); }
    ElectroscopeChartWindow* electroscope_chart() const { return electroscope()->chart_window(); }
    ConvergenceWindow* convergence() const { return window->convergence_window(); }
    QStringList output() const { return window->Memo2->toPlainText().split(QLatin1Char('\n')); }

    // Generates the table file of the electroscope window in a folder of the test.
    QString generate_table() {
        const QString path = dir.filePath(QString::fromLatin1(DEFAULT_TABLE_FILE));
        dialogs.save_answers.push_back(SaveChoice(path));
        electroscope()->Button2->click();
        return path;
    }

    // Calculate on the default four balls, with at most `steps` steps and a force error that
    // a run does not reach before them when `to_the_limit`.
    void calculate(int steps, bool to_the_limit) const {
        window->NEtentativas->set_panel_int(steps);
        window->NEtol->set_panel_real(to_the_limit ? 1e-12L : 0.0001L);
        click_and_wait(*window, window->Bcalculate);
    }

    // The errors of the steps as the output panel shows them with "Show errors" (uN, 6 decimals).
    QList<double> step_errors_in_output() const {
        static const QRegularExpression pattern(QStringLiteral("^Steps=(\\d+), Error=\\s*([0-9.]+)$"));
        QList<double> errors;
        for (const QString& line : output())
            if (const QRegularExpressionMatch match = pattern.match(line); match.hasMatch())
                errors << match.captured(2).toDouble();
        return errors;
    }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;
};

TEST_F(ChartsTest, ElectroscopeChartDrawsTheTablesFortyOneRowsAsDeflectionAgainstVoltage) {
    const auto rows = read_table_file(generate_table());
    ASSERT_EQ(rows.size(), 41u); // 0 to 4 cm in steps of 0.1 cm
    ASSERT_EQ(rows.front().size(), electroscope_table_columns().size());

    const qsizetype lines_before = output().size();
    electroscope()->Button4->click();
    ElectroscopeChartWindow* chart = electroscope_chart();
    EXPECT_TRUE(chart->isVisible());
    EXPECT_EQ(output().size(), lines_before); // the chart's own table writes nothing to the panel
    EXPECT_EQ(chart->CBvertical->currentIndex(), DEFLECTION_COLUMN);
    EXPECT_EQ(chart->CBhorizontal->currentIndex(), VOLTAGE_COLUMN);
    EXPECT_EQ(electroscope_table_columns()[DEFLECTION_COLUMN].name, "Angle2");
    EXPECT_EQ(electroscope_table_columns()[VOLTAGE_COLUMN].name, "Vp2");
    ASSERT_EQ(chart->point_count(), 41);
    EXPECT_EQ(chart->series()->points(), expected_points(rows, VOLTAGE_COLUMN, DEFLECTION_COLUMN));

    // Any other column, either way round.
    const int x = 0, v5 = 31, q = 3;
    chart->CBvertical->setCurrentIndex(v5);
    chart->CBhorizontal->setCurrentIndex(x);
    EXPECT_EQ(chart->series()->points(), expected_points(rows, x, v5));
    chart->CBvertical->setCurrentIndex(q);
    EXPECT_EQ(chart->series()->points(), expected_points(rows, x, q));
}

TEST_F(ChartsTest, ElectroscopeChartLeavesOutTheRowsWithoutAValueAndShowsTheMessages) {
    electroscope()->EL->setText("1.5"); // strings too short for the wider gaps
    const auto rows = read_table_file(generate_table());
    ASSERT_EQ(rows.size(), 30u);
    window->Electroscopechart1->trigger(); // Charts > Electroscope table
    ElectroscopeChartWindow* chart = electroscope_chart();
    EXPECT_TRUE(chart->isVisible());
    EXPECT_EQ(chart->point_count(), 19);
    EXPECT_EQ(chart->series()->points(), expected_points(rows, VOLTAGE_COLUMN, DEFLECTION_COLUMN));
    chart->CBvertical->setCurrentIndex(28); // Angle5
    chart->CBhorizontal->setCurrentIndex(0);
    EXPECT_EQ(chart->point_count(), 5);
    EXPECT_TRUE(chart->Lmessage->text().contains("The balls are too far."))
        << chart->Lmessage->text().toStdString();

    // A range of too many points draws nothing and says why.
    electroscope()->Edx->setText("0.00001");
    electroscope()->Button4->click();
    EXPECT_EQ(chart->point_count(), 0);
    EXPECT_TRUE(chart->Lmessage->text().contains("Too many points."))
        << chart->Lmessage->text().toStdString();
}

TEST_F(ChartsTest, ConvergenceChartHasAPointPerStepOfTheRun) {
    EXPECT_EQ(convergence()->point_count(), 0);
    // While the run goes on, the chart has every step reported so far.
    std::vector<int> seen_at_step;
    window->set_step_hook([&](int step) {
        on_window_thread(*window, [&, step] {
            if (step <= 5)
                seen_at_step.push_back(convergence()->point_count());
        });
    });
    calculate(7, true);
    window->set_step_hook({});
    ASSERT_EQ(window->last_run().end, RunEnd::StepLimit);
    ASSERT_EQ(window->last_run().steps, 7);
    EXPECT_EQ(seen_at_step, std::vector<int>({1, 2, 3, 4, 5}));
    ASSERT_EQ(convergence()->point_count(), 7);
    EXPECT_EQ(convergence()->step_count(), 7);

    // Step k at k, its force in uN as the output panel shows it.
    const QList<double> errors = step_errors_in_output();
    ASSERT_EQ(errors.size(), 7);
    const QList<QPointF> points = convergence()->series()->points();
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(points[k].x(), k + 1);
        EXPECT_NEAR(points[k].y(), errors[k], 5e-7) << k;
    }
    EXPECT_NEAR(points.last().y(), static_cast<double>(window->last_run().error) * 1e6, 1e-12);

    // The next run starts a chart of its own; a converged run has its steps too.
    window->Memo2->clear();
    window->Button1->click(); // from the start again
    ASSERT_TRUE(wait_for_idle(*window));
    calculate(1000, false);
    ASSERT_EQ(window->last_run().end, RunEnd::Converged);
    EXPECT_GT(window->last_run().steps, 7);
    EXPECT_EQ(convergence()->point_count(), window->last_run().steps);
    EXPECT_EQ(step_errors_in_output().size(), window->last_run().steps);
    EXPECT_TRUE(convergence()->Lstatus->text().startsWith(
        QStringLiteral("Converged in %1 steps").arg(window->last_run().steps)))
        << convergence()->Lstatus->text().toStdString();

    // Find equilibrium's chart: a point an iteration, and it says so.
    window->Button1->click();
    ASSERT_TRUE(wait_for_idle(*window));
    window->Bequilibrium->click();
    ASSERT_TRUE(wait_for_idle(*window));
    const int iterations = convergence()->step_count();
    EXPECT_GT(iterations, 1);
    EXPECT_TRUE(convergence()->Lstatus->text().startsWith(
        QStringLiteral("Equilibrium found in %1 iterations (largest rotational force at iteration %1: ")
            .arg(iterations)))
        << convergence()->Lstatus->text().toStdString();

    window->Convergence1->trigger(); // Charts > Convergence of the run
    EXPECT_TRUE(convergence()->isVisible());
}

// A picture with the PNG signature, a drawing whose root element is <svg>: whichever type the
// extension names, else the type chosen in the dialog.
TEST_F(ChartsTest, ChartsExportAsPngAndSvg) {
    calculate(20, true);
    window->Convergence1->trigger();
    ConvergenceWindow* chart = convergence();
    const QString png = dir.filePath("convergence.png");
    const QString svg = dir.filePath("convergence.svg");
    const QString typed = dir.filePath("drawing"); // no extension: the type chosen decides
    dialogs.save_answers = {SaveChoice(png, 1), SaveChoice(svg, 0), SaveChoice(typed, 1)};
    for (int k = 0; k < 3; ++k)
        chart->Bexport->click();
    EXPECT_EQ(dialogs.save_kinds, std::vector<SaveKind>(3, SaveKind::Chart));
    EXPECT_EQ(dialogs.save_proposals.value(0), "convergence.png");
    EXPECT_TRUE(dialogs.errors.isEmpty());

    QFile png_file(png);
    ASSERT_TRUE(png_file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(png_file.read(8) == QByteArray("\x89PNG\r\n\x1a\n", 8));
    const QImage picture(png);
    EXPECT_EQ(picture.size(), chart->view()->size() * chart->view()->devicePixelRatio());

    for (const QString& path : {svg, typed}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        QXmlStreamReader xml(&file);
        ASSERT_TRUE(xml.readNextStartElement()) << path.toStdString();
        EXPECT_EQ(xml.name(), QStringLiteral("svg")) << path.toStdString();
        // The drawing holds the chart's words, not an empty page.
        file.seek(0);
        EXPECT_TRUE(file.readAll().contains("Largest rotational force")) << path.toStdString();
    }

    // The electroscope chart exports the same way.
    electroscope()->Button4->click();
    const QString table_png = dir.filePath("table.png");
    dialogs.save_answers = {table_png};
    electroscope_chart()->Bexport->click();
    EXPECT_EQ(dialogs.save_proposals.value(3), "electroscope.png");
    EXPECT_FALSE(QImage(table_png).isNull());

    // A file that cannot be written: an error box naming it, the old file left as it was.
    const QByteArray before = [&] {
        QFile file(png);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    const QString unwritable = dir.filePath("no/such/folder/chart.svg");
    dialogs.save_answers = {unwritable};
    chart->Bexport->click();
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(dialogs.errors.first().contains(unwritable)) << dialogs.errors.first().toStdString();
    EXPECT_FALSE(QFile::exists(unwritable));
    QFile again(png);
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), before);
}

} // namespace
} // namespace ambrel::ui::test
