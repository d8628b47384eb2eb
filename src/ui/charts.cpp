// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/charts.h"

#include "calculators/electroscope_table.h"
#include "model/output_sink.h"
#include "ui/description_file.h"
#include "ui/window_style.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <exception>

namespace ambrel::ui {

namespace {

const QString MICRONEWTON = QStringLiteral("\u00b5N");

QString axis_title(const TableColumn& column) {
    return QStringLiteral("%1, %2 (%3)").arg(column.name, column.meaning, column.unit);
}

// A step between the labels of an axis of whole numbers from 0 to `span`: 1, 2 or 5 times a
// power of ten, at most ten steps.
double whole_tick_interval(double span) {
    double interval = 1;
    for (;;) {
        for (const double factor : {1.0, 2.0, 5.0})
            if (span / (interval * factor) <= 10)
                return interval * factor;
        interval *= 10;
    }
}

// The chart view of both windows: antialiased, on a white ground.
QChartView* make_view(QChart* chart, QWidget* parent) {
    auto* view = new QChartView(chart, parent);
    view->setObjectName(QStringLiteral("ChartView"));
    view->setRenderHint(QPainter::Antialiasing);
    view->setBackgroundBrush(Qt::white);
    view->setMinimumSize(320, 220);
    return view;
}

// An axis from `low` to `high` at nice numbers; a quantity that does not change still gets an axis
// of some height.
void fit_axis(QValueAxis* axis, double low, double high) {
    if (!(high > low)) {
        const double room = std::max(std::fabs(low) * 0.05, 1e-9);
        low -= room;
        high += room;
    }
    axis->setRange(low, high);
    // Seven ticks leave room for nice steps that fit the data closely (0 to 12000 in steps of
    // 2000 rather than 0 to 20000 in steps of 10000).
    axis->setTickCount(7);
    axis->applyNiceNumbers();
}

QPushButton* make_export_button(QWidget* parent) {
    auto* button = new QPushButton(QStringLiteral("&Export..."), parent);
    button->setObjectName(QStringLiteral("Bexport"));
    button->setToolTip(QStringLiteral("Save the chart as a PNG picture or an SVG drawing"));
    return button;
}

} // namespace

// ---------------------------------------------------------------- export

Status write_chart(QChartView* view, const QString& path, ChartFormat format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (format == ChartFormat::Png) {
        if (!view->grab().save(&buffer, "PNG"))
            return Status::failure("The picture could not be made");
    } else {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(view->size());
        svg.setViewBox(QRect(QPoint(0, 0), view->size()));
        svg.setTitle(view->chart()->title());
        svg.setDescription(QStringLiteral("A chart drawn by Ambrel"));
        QPainter painter(&svg);
        painter.fillRect(QRect(QPoint(0, 0), view->size()), Qt::white);
        view->render(&painter);
        painter.end();
    }
    buffer.close();
    // Written beside the file and renamed over it: a failure leaves the old file as it was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return Status::failure(file.errorString().toStdString());
    return Status::success();
}

bool export_chart(QWidget* parent, QChartView* view, DialogProvider& dialogs, const QString& proposed) {
    const SaveChoice choice = dialogs.save_file_name(parent, proposed, SaveKind::Chart);
    if (choice.cancelled())
        return false;
    if (const Status written = write_chart(view, choice.name, chart_format(choice)); !written) {
        dialogs.show_error(parent, save_error_message(choice.name, written));
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- the electroscope table

const std::vector<TableColumn>& electroscope_table_columns() {
    static const std::vector<TableColumn> columns = [] {
        const struct {
            const char* name;
            const char* unit;
            const char* meaning;
        } table[] = {
            {"x", "cm", "separation of the balls"},
            {"Angle2", "degrees", "angle with vertical, 2 balls"},
            {"F", "\u00b5N", "force on a ball"},
            {"Q", "nC", "charge of a ball, point charges"},
            {"C", "pF", "capacitance of both balls, interpolation"},
            {"C1", "pF", "capacitance of both balls, point charges"},
            {"C2", "pF", "capacitance of both balls, series"},
            {"V", "kV", "voltage 2Q/C"},
            {"V1", "kV", "voltage 2Q/C1"},
            {"V2", "kV", "voltage 2Q/C2"},
            {"Qp", "nC", "precise charge of a ball"},
            {"Vp", "kV", "voltage 2Qp/C"},
            {"Vp1", "kV", "voltage 2Qp/C1"},
            {"Vp2", "kV", "voltage 2Qp/C2, the best"},
            {"Vc", "kV", "voltage from the energy, with C"},
            {"Qc", "nC", "charge C Vc/2"},
            {"Vc1", "kV", "voltage from the energy, with C1"},
            {"Qc1", "nC", "charge C1 Vc1/2"},
            {"Vc2", "kV", "voltage from the energy, with C2"},
            {"Qc2", "nC", "charge C2 Vc2/2"},
            {"Angle3", "degrees", "angle with vertical, 3 balls"},
            {"C3", "pF", "capacitance of 3 balls"},
            {"Q3", "nC", "charge on each of 3 balls"},
            {"V3", "kV", "voltage of 3 balls"},
            {"Angle4", "degrees", "angle with vertical, 4 balls"},
            {"C4", "pF", "capacitance of 4 balls"},
            {"Q4", "nC", "charge on each of 4 balls"},
            {"V4", "kV", "voltage of 4 balls"},
            {"Angle5", "degrees", "angle with vertical, 5 balls"},
            {"C5", "pF", "capacitance of 5 balls"},
            {"Q5", "nC", "charge on each of 5 balls"},
            {"V5", "kV", "voltage of 5 balls"},
        };
        std::vector<TableColumn> list;
        for (const auto& c : table)
            list.push_back(
                {QString::fromUtf8(c.name), QString::fromUtf8(c.unit), QString::fromUtf8(c.meaning)});
        return list;
    }();
    return columns;
}

ElectroscopeTable compute_electroscope_table(const ElectroscopeFields& fields) {
    ElectroscopeTable table;
    ElectroscopeTableText text;
    try {
        text = electroscope_table_text(fields);
    } catch (const std::exception& error) {
        table.failure = error_text(error);
        return table;
    }
    if (!text.status)
        table.failure = QString::fromStdString(text.status.message());
    if (text.too_many_points)
        table.messages << QStringLiteral("Too many points.");
    if (!text.refusal.empty())
        table.messages << QString::fromStdString(text.refusal);
    for (const std::string& note : text.notes)
        table.messages << QString::fromStdString(note);
    if (!text.stop_message.empty())
        table.messages << QString::fromLatin1(text.stop_message.data(),
                                              static_cast<qsizetype>(text.stop_message.size()));

    // The values as the file has them (the same text), a row per line after the header.
    const std::vector<TableColumn>& columns = electroscope_table_columns();
    for (std::size_t k = 1; k < text.lines.size(); ++k) {
        const QStringList texts =
            QString::fromLatin1(text.lines[k].data(), static_cast<qsizetype>(text.lines[k].size()))
                .split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (texts.size() != static_cast<qsizetype>(columns.size()))
            continue;
        std::vector<std::optional<double>> row;
        for (const QString& value_text : texts) {
            bool ok = false;
            const double value = value_text.toDouble(&ok); // "." whatever the language
            row.push_back(ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt);
        }
        table.rows.push_back(std::move(row));
    }
    return table;
}

ElectroscopeChartWindow::ElectroscopeChartWindow(DialogProvider& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), dialogs_(dialogs) {
    setObjectName(QStringLiteral("ElectroscopeChart"));
    setWindowTitle(QStringLiteral("Pith-balls electroscope: chart of the table"));
    apply_window_font(this);

    CBvertical = new QComboBox(this);
    CBvertical->setObjectName(QStringLiteral("CBvertical"));
    CBhorizontal = new QComboBox(this);
    CBhorizontal->setObjectName(QStringLiteral("CBhorizontal"));
    for (const TableColumn& column : electroscope_table_columns()) {
        const QString text = QStringLiteral("%1: %2 (%3)").arg(column.name, column.meaning, column.unit);
        CBvertical->addItem(text);
        CBhorizontal->addItem(text);
    }
    for (QComboBox* box : {CBvertical, CBhorizontal}) {
        // The window may be narrower than the longest item; the open list shows it whole.
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box->setMinimumContentsLength(20);
    }
    CBvertical->setCurrentIndex(DEFLECTION_COLUMN);
    CBhorizontal->setCurrentIndex(VOLTAGE_COLUMN);
    Bexport = make_export_button(this);
    Lmessage = new QLabel(this);
    Lmessage->setObjectName(QStringLiteral("Lmessage"));
    Lmessage->setWordWrap(true);

    series_ = new QLineSeries;
    series_->setPointsVisible(true);
    series_->setPen(QPen(QColor(0, 90, 170), 2));
    chart_ = new QChart;
    chart_->addSeries(series_);
    chart_->legend()->hide();
    x_axis_ = new QValueAxis;
    y_axis_ = new QValueAxis;
    chart_->addAxis(x_axis_, Qt::AlignBottom);
    chart_->addAxis(y_axis_, Qt::AlignLeft);
    series_->attachAxis(x_axis_);
    series_->attachAxis(y_axis_);
    view_ = make_view(chart_, this);

    auto* choices = new QHBoxLayout;
    auto* up = new QLabel(QStringLiteral("&Upwards:"), this);
    up->setBuddy(CBvertical);
    auto* across = new QLabel(QStringLiteral("&Across:"), this);
    across->setBuddy(CBhorizontal);
    choices->addWidget(up);
    choices->addWidget(CBvertical, 1);
    choices->addWidget(across);
    choices->addWidget(CBhorizontal, 1);
    choices->addWidget(Bexport);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(choices);
    layout->addWidget(Lmessage);
    layout->addWidget(view_, 1);
    resize(760, 520);

    connect(CBvertical, &QComboBox::currentIndexChanged, this, &ElectroscopeChartWindow::redraw);
    connect(CBhorizontal, &QComboBox::currentIndexChanged, this, &ElectroscopeChartWindow::redraw);
    connect(Bexport, &QPushButton::clicked, this, &ElectroscopeChartWindow::BexportClick);
    redraw();
}

ElectroscopeChartWindow::~ElectroscopeChartWindow() = default;

void ElectroscopeChartWindow::show_table(ElectroscopeTable table) {
    table_ = std::move(table);
    redraw();
}

int ElectroscopeChartWindow::point_count() const {
    return static_cast<int>(series_->count());
}

void ElectroscopeChartWindow::redraw() {
    const std::vector<TableColumn>& columns = electroscope_table_columns();
    const int up = std::clamp(CBvertical->currentIndex(), 0, static_cast<int>(columns.size()) - 1);
    const int across = std::clamp(CBhorizontal->currentIndex(), 0, static_cast<int>(columns.size()) - 1);
    QList<QPointF> points;
    for (const std::vector<std::optional<double>>& row : table_.rows)
        if (row[across] && row[up])
            points.append(QPointF(*row[across], *row[up]));
    series_->replace(points);
    chart_->setTitle(QStringLiteral("%1 against %2").arg(columns[up].name, columns[across].name));
    x_axis_->setTitleText(axis_title(columns[across]));
    y_axis_->setTitleText(axis_title(columns[up]));
    if (!points.isEmpty()) {
        auto [x_low, x_high] = std::minmax_element(points.cbegin(), points.cend(),
                                                   [](QPointF a, QPointF b) { return a.x() < b.x(); });
        auto [y_low, y_high] = std::minmax_element(points.cbegin(), points.cend(),
                                                   [](QPointF a, QPointF b) { return a.y() < b.y(); });
        fit_axis(x_axis_, x_low->x(), x_high->x());
        fit_axis(y_axis_, y_low->y(), y_high->y());
    }

    QStringList notes;
    if (!table_.failure.isEmpty())
        notes << table_.failure;
    for (const QString& message : table_.messages)
        if (!message.startsWith(QLatin1String("Table generated"))) // the table file here is a scratch one
            notes << message;
    if (points.isEmpty())
        notes << QStringLiteral("No row of the table has both columns.");
    else
        notes << QStringLiteral("%1 points.").arg(points.size());
    Lmessage->setText(notes.join(QLatin1Char(' ')));
}

void ElectroscopeChartWindow::BexportClick() {
    export_chart(this, view_, dialogs_, QStringLiteral("electroscope.png"));
}

// ---------------------------------------------------------------- the convergence of a run

ConvergenceWindow::ConvergenceWindow(DialogProvider& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), dialogs_(dialogs) {
    setObjectName(QStringLiteral("ConvergenceChart"));
    setWindowTitle(QStringLiteral("Convergence of the run"));
    apply_window_font(this);

    Lstatus = new QLabel(QStringLiteral("No run yet: press Calculate."), this);
    Lstatus->setObjectName(QStringLiteral("Lstatus"));
    Bexport = make_export_button(this);

    series_ = new QLineSeries;
    series_->setName(QStringLiteral("Largest rotational force"));
    series_->setPen(QPen(QColor(0, 90, 170), 2));
    tolerance_ = new QLineSeries;
    tolerance_->setName(QStringLiteral("Force error"));
    tolerance_->setPen(QPen(QColor(200, 0, 0), 1.5, Qt::DashLine));
    chart_ = new QChart;
    chart_->setTitle(QStringLiteral("Convergence of the run"));
    chart_->addSeries(series_);
    chart_->addSeries(tolerance_);
    chart_->legend()->setAlignment(Qt::AlignBottom);
    x_axis_ = new QValueAxis;
    x_axis_->setTitleText(QStringLiteral("Step"));
    x_axis_->setLabelFormat(QStringLiteral("%d"));
    x_axis_->setTickType(QValueAxis::TicksDynamic);
    x_axis_->setTickAnchor(0);
    y_axis_ = new QLogValueAxis;
    y_axis_->setTitleText(QStringLiteral("Largest rotational force (") + MICRONEWTON + QStringLiteral(")"));
    y_axis_->setBase(10);
    y_axis_->setLabelFormat(QStringLiteral("%g"));
    y_axis_->setMinorTickCount(-1);
    chart_->addAxis(x_axis_, Qt::AlignBottom);
    chart_->addAxis(y_axis_, Qt::AlignLeft);
    for (QLineSeries* series : {series_, tolerance_}) {
        series->attachAxis(x_axis_);
        series->attachAxis(y_axis_);
    }
    view_ = make_view(chart_, this);

    auto* top = new QHBoxLayout;
    top->addWidget(Lstatus, 1);
    top->addWidget(Bexport);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(view_, 1);
    resize(680, 460);
    connect(Bexport, &QPushButton::clicked, this, &ConvergenceWindow::BexportClick);
    update_axes();
}

ConvergenceWindow::~ConvergenceWindow() = default;

void ConvergenceWindow::begin_run(double force_error_uN, const QString& step_word, const QString& running) {
    step_word_ = step_word;
    x_axis_->setTitleText(step_word_);
    // The measure each run judges its rest by: Calculate's Error= (a sphere's share of its object's
    // rotational force), the finder's whole object.
    const QString measure = step_word == QStringLiteral("Iteration")
                                ? QStringLiteral("Largest rotational force of an object")
                                : QStringLiteral("Largest rotational force of a sphere (Error=)");
    series_->setName(measure); // the legend names it; the axis keeps a title that fits
    steps_.clear();
    series_->clear();
    tolerance_->clear();
    force_error_uN_ = force_error_uN;
    smallest_ = largest_ = 0;
    Lstatus->setText(running);
    update_axes();
}

void ConvergenceWindow::add_steps(const std::vector<RunStep>& steps) {
    if (steps.empty())
        return;
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(steps.size()));
    for (const RunStep& step : steps) {
        steps_.push_back(step);
        const double force = step.error * 1e6;
        if (!(force > 0) || !std::isfinite(force))
            continue; // no place on a logarithmic scale
        points.append(QPointF(step.step, force));
        smallest_ = smallest_ > 0 ? std::min(smallest_, force) : force;
        largest_ = std::max(largest_, force);
    }
    series_->append(points);
    const RunStep& last = steps_.back();
    Lstatus->setText(QStringLiteral("%1 %2: largest rotational force %3 ")
                         .arg(step_word_)
                         .arg(last.step)
                         .arg(QString::number(last.error * 1e6, 'g', 4)) +
                     MICRONEWTON);
    update_axes();
}

void ConvergenceWindow::end_run(const QString& how) {
    QString text = how;
    if (!steps_.empty())
        text += QStringLiteral(" (largest rotational force at %1 %2: %3 ")
                    .arg(step_word_.toLower())
                    .arg(steps_.back().step)
                    .arg(QString::number(steps_.back().error * 1e6, 'g', 4)) +
                MICRONEWTON + QLatin1Char(')');
    Lstatus->setText(text);
}

int ConvergenceWindow::point_count() const {
    return static_cast<int>(series_->count());
}

void ConvergenceWindow::update_axes() {
    // From 0 to the first label at or after the last step.
    const int last_step = steps_.empty() ? 0 : steps_.back().step;
    const double interval = whole_tick_interval(std::max(last_step, 10));
    const double span = std::ceil(std::max(last_step, 10) / interval) * interval;
    x_axis_->setRange(0, span);
    x_axis_->setTickInterval(interval);

    // Whole decades around every force drawn and the force error.
    double low = smallest_, high = largest_;
    if (force_error_uN_ > 0) {
        tolerance_->replace(QList<QPointF>{{0, force_error_uN_}, {span, force_error_uN_}});
        low = low > 0 ? std::min(low, force_error_uN_) : force_error_uN_;
        high = std::max(high, force_error_uN_);
    }
    if (!(low > 0)) {
        low = 1e-6;
        high = 1;
    }
    // Within the doubles' range: a decade past the largest finite one would make the axis endless.
    const double bottom = std::pow(10.0, std::max(std::floor(std::log10(low)), -307.0));
    double top = std::pow(10.0, std::min(std::ceil(std::log10(high)), 308.0));
    if (!(top > bottom))
        top = std::min(bottom * 10, 1e308);
    y_axis_->setRange(bottom, top);
}

void ConvergenceWindow::BexportClick() {
    export_chart(this, view_, dialogs_, QStringLiteral("convergence.png"));
}

// ---------------------------------------------------------------- the curves of a sweep

SweepChart::SweepChart(DialogProvider& dialogs, QWidget* parent) : QWidget(parent), dialogs_(dialogs) {
    setObjectName(QStringLiteral("SweepChart"));
    chart_ = new QChart;
    chart_->legend()->setAlignment(Qt::AlignBottom);
    x_axis_ = new QValueAxis;
    y_axis_ = new QValueAxis;
    chart_->addAxis(x_axis_, Qt::AlignBottom);
    chart_->addAxis(y_axis_, Qt::AlignLeft);
    view_ = make_view(chart_, this);
    Bexport = make_export_button(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_, 1);
    layout->addWidget(Bexport, 0, Qt::AlignRight);
    connect(Bexport, &QPushButton::clicked, this, &SweepChart::BexportClick);
}

SweepChart::~SweepChart() = default;

void SweepChart::set_curves(const QString& title, const QString& x_title, const QString& y_title,
                            const std::vector<ChartCurve>& curves) {
    chart_->removeAllSeries();
    chart_->setTitle(title);
    x_axis_->setTitleText(x_title);
    y_axis_->setTitleText(y_title);
    bool any = false;
    double x_low = 0, x_high = 0, y_low = 0, y_high = 0;
    for (const ChartCurve& curve : curves) {
        auto* series = new QLineSeries;
        series->setName(curve.name);
        series->setPointsVisible(true);
        series->replace(curve.points);
        chart_->addSeries(series);
        series->attachAxis(x_axis_);
        series->attachAxis(y_axis_);
        for (const QPointF& p : curve.points) {
            x_low = any ? std::min(x_low, p.x()) : p.x();
            x_high = any ? std::max(x_high, p.x()) : p.x();
            y_low = any ? std::min(y_low, p.y()) : p.y();
            y_high = any ? std::max(y_high, p.y()) : p.y();
            any = true;
        }
    }
    chart_->legend()->setVisible(curves.size() > 1);
    if (any) {
        fit_axis(x_axis_, x_low, x_high);
        fit_axis(y_axis_, y_low, y_high);
    } else {
        // Nothing to draw (no point converged): the axes of an earlier sweep would describe
        // points that are not there.
        fit_axis(x_axis_, 0, 1);
        fit_axis(y_axis_, 0, 1);
    }
}

int SweepChart::curve_count() const {
    return static_cast<int>(chart_->series().size());
}

int SweepChart::point_count() const {
    int points = 0;
    for (QAbstractSeries* series : chart_->series())
        points += static_cast<int>(static_cast<QLineSeries*>(series)->count());
    return points;
}

QList<QPointF> SweepChart::curve_points(int curve) const {
    return static_cast<QLineSeries*>(chart_->series().value(curve))->points();
}

void SweepChart::BexportClick() {
    export_chart(this, view_, dialogs_, QStringLiteral("sweep.png"));
}

} // namespace ambrel::ui
