// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The charts of the window: the electroscope table drawn as a curve (the string angle against the
// voltage at first, any column against any other on request), and the convergence of a Calculate
// run (the largest rotational force at each step on a logarithmic scale), drawn while the run
// goes on, and the deflection against the voltage of a sweep. All export as a PNG picture or an
// SVG drawing.
#pragma once

#include "calculators/calculator_fields.h"
#include "model/status.h"
#include "ui/command_worker.h"
#include "ui/dialog_provider.h"

#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <optional>
#include <vector>

class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLineSeries;
class QLogValueAxis;
class QPushButton;
class QValueAxis;

namespace ambrel::ui {

// ---------------------------------------------------------------- export

// Writes the chart as it is shown: a PNG picture of the view's pixels, or an SVG drawing of the
// same size. False with the reason on failure; a file that cannot be written is left as it was.
Status write_chart(QChartView* view, const QString& path, ChartFormat format);

// Asks for a file name (the chart save dialog, proposing `proposed`) and writes the chart there;
// a failure is shown in an error box over `parent`. True when a file was written.
bool export_chart(QWidget* parent, QChartView* view, DialogProvider& dialogs, const QString& proposed);

// ---------------------------------------------------------------- the electroscope table

// A column of the electroscope table file, in the order of the file.
struct TableColumn {
    QString name;    // as in the file's header: "Angle2", "Vp2", ...
    QString unit;    // "degrees", "kV", ...
    QString meaning; // a few words for the chart's selector
};
const std::vector<TableColumn>& electroscope_table_columns();

// The column the chart draws upwards at first (the angle of the strings of two balls) and the one
// across (the voltage of the series capacitance and the precise charge, the best estimate).
inline constexpr int DEFLECTION_COLUMN = 1; // Angle2
inline constexpr int VOLTAGE_COLUMN = 13;   // Vp2

struct ElectroscopeTable {
    // A row per separation, a value per column; none where the file has no value (the strings
    // are too short for that arrangement at that gap).
    std::vector<std::vector<std::optional<double>>> rows;
    // The lines the generation wrote ("The balls are too far.", ...), which a chart shows itself.
    QStringList messages;
    // The error text when the generation failed; the rows computed before it are kept.
    QString failure;
};

// The table that "Generate" writes for these fields, row for row: the same text lines, read in
// memory (no file is written).
ElectroscopeTable compute_electroscope_table(const ElectroscopeFields& fields);

// The chart of the electroscope table: one column upwards against another across, both chosen
// from every column of the table.
class ElectroscopeChartWindow : public QWidget {
    Q_OBJECT

  public:
    explicit ElectroscopeChartWindow(DialogProvider& dialogs, QWidget* parent = nullptr);
    ~ElectroscopeChartWindow() override;

    // Draws this table with the columns chosen.
    void show_table(ElectroscopeTable table);
    const ElectroscopeTable& table() const { return table_; }
    // The points drawn: the rows that have both chosen columns.
    int point_count() const;

    QChartView* view() const { return view_; }
    QLineSeries* series() const { return series_; }

    QComboBox* CBvertical = nullptr;
    QComboBox* CBhorizontal = nullptr;
    QPushButton* Bexport = nullptr;
    QLabel* Lmessage = nullptr;

  public slots:
    void BexportClick();

  private:
    void redraw();

    DialogProvider& dialogs_;
    ElectroscopeTable table_;
    QChart* chart_ = nullptr;
    QChartView* view_ = nullptr;
    QLineSeries* series_ = nullptr;
    QValueAxis* x_axis_ = nullptr;
    QValueAxis* y_axis_ = nullptr;
};

// ---------------------------------------------------------------- the convergence of a run

// The convergence of the current or last Calculate run: the largest rotational force (uN) against
// the step, on a logarithmic scale, with the run's force error as a dashed line. The window adds
// the steps as the run reports them.
class ConvergenceWindow : public QWidget {
    Q_OBJECT

  public:
    explicit ConvergenceWindow(DialogProvider& dialogs, QWidget* parent = nullptr);
    ~ConvergenceWindow() override;

    // A new run starts: the chart is emptied; `force_error_uN` is the run's tolerance, `step_word`
    // what a point is (Calculate's "Step", Find equilibrium's "Iteration", which also names the
    // measure in the legend), `running` the status.
    void begin_run(double force_error_uN, const QString& step_word = QStringLiteral("Step"),
                   const QString& running = QStringLiteral("Calculating..."));
    // Steps of the run, in order.
    void add_steps(const std::vector<RunStep>& steps);
    // The run has ended, as `how` says ("Converged in 12 steps", ...).
    void end_run(const QString& how);

    // The steps received since the run began, and the points drawn (a step whose force is 0 has
    // no place on a logarithmic scale: it is counted but not drawn).
    int step_count() const { return static_cast<int>(steps_.size()); }
    int point_count() const;

    QChartView* view() const { return view_; }
    QLineSeries* series() const { return series_; }

    QLabel* Lstatus = nullptr;
    QPushButton* Bexport = nullptr;

  public slots:
    void BexportClick();

  private:
    void update_axes();

    DialogProvider& dialogs_;
    std::vector<RunStep> steps_;
    double force_error_uN_ = 0;
    QString step_word_ = QStringLiteral("Step");
    double smallest_ = 0; // smallest and largest force drawn, uN
    double largest_ = 0;
    QChart* chart_ = nullptr;
    QChartView* view_ = nullptr;
    QLineSeries* series_ = nullptr;
    QLineSeries* tolerance_ = nullptr;
    QValueAxis* x_axis_ = nullptr;
    QLogValueAxis* y_axis_ = nullptr;
};

// ---------------------------------------------------------------- the curves of a sweep

// A curve of a chart: its name in the legend and its points.
struct ChartCurve {
    QString name;
    QList<QPointF> points;
};

// Curves against a common horizontal quantity on value axes that fit every point, with the export
// button: the deflection against the voltage of a sweep (ui/sweep_window.h). The legend names the
// curves when there are several.
class SweepChart : public QWidget {
    Q_OBJECT

  public:
    explicit SweepChart(DialogProvider& dialogs, QWidget* parent = nullptr);
    ~SweepChart() override;

    // Draws these curves in place of those before.
    void set_curves(const QString& title, const QString& x_title, const QString& y_title,
                    const std::vector<ChartCurve>& curves);
    int curve_count() const;
    // The points drawn, over all curves, and those of one curve.
    int point_count() const;
    QList<QPointF> curve_points(int curve) const;

    QChartView* view() const { return view_; }
    QValueAxis* x_axis() const { return x_axis_; }
    QPushButton* Bexport = nullptr;

  public slots:
    void BexportClick();

  private:
    DialogProvider& dialogs_;
    QChart* chart_ = nullptr;
    QChartView* view_ = nullptr;
    QValueAxis* x_axis_ = nullptr;
    QValueAxis* y_axis_ = nullptr;
};

} // namespace ambrel::ui
