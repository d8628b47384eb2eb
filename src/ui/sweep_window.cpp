// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/sweep_window.h"

#include "model/units.h"
#include "report/sweep_table.h"
#include "ui/charts.h"
#include "ui/dialog_provider.h"
#include "ui/nedit.h"
#include "ui/window_style.h"

#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace ambrel::ui {

namespace {

QString from_std(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Rows of points that did not converge are tinted: pale yellow for a run that reached its step
// limit, pale red for one that diverged or met a singular matrix.
QBrush row_brush(const SweepPoint& point) {
    if (point.converged())
        return {};
    return point.usable() ? QBrush(QColor(255, 250, 205)) : QBrush(QColor(255, 215, 215));
}

} // namespace

SweepWindow::SweepWindow(DialogProvider& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), dialogs_(dialogs) {
    setObjectName(QStringLiteral("SweepWindow"));
    setWindowTitle(QStringLiteral("Voltage sweep: deflection against voltage"));
    apply_window_font(this);

    auto* fields = new QHBoxLayout;
    auto* conductor = new QLabel(QStringLiteral("&Conductor"), this);
    CBconductor = new QComboBox(this);
    CBconductor->setObjectName(QStringLiteral("CBconductor"));
    CBconductor->setEditable(true); // before the first Inicialize the name can be typed
    CBconductor->setMinimumContentsLength(12);
    conductor->setBuddy(CBconductor);
    fields->addWidget(conductor);
    fields->addWidget(CBconductor);
    NEstart = add_field("NEstart", QStringLiteral("Start (V)"), 0);
    NEstop = add_field("NEstop", QStringLiteral("Stop (V)"), 12000);
    NEstep = add_field("NEstep", QStringLiteral("Step (V)"), 1000);
    for (TNEdit* field : {NEstart, NEstop, NEstep}) {
        auto* label = new QLabel(field->caption(), this);
        fields->addWidget(label);
        fields->addWidget(field);
    }
    CBmethod = new QComboBox(this);
    CBmethod->setObjectName(QStringLiteral("CBmethod"));
    CBmethod->addItems({QStringLiteral("Calculate"), QStringLiteral("Find equilibrium")});
    CBmethod->setToolTip(
        QStringLiteral("How each point reaches its equilibrium: the relaxation of Calculate, "
                       "or the Newton-type steps of Find equilibrium"));
    fields->addWidget(CBmethod);
    Brun = new QPushButton(QStringLiteral("&Run"), this);
    Brun->setObjectName(QStringLiteral("Brun"));
    Brun->setToolTip(QStringLiteral("Relax the system at each voltage in turn, from the equilibrium before"));
    Bstop = new QPushButton(QStringLiteral("Stop"), this);
    Bstop->setObjectName(QStringLiteral("Bstop"));
    Bstop->setToolTip(QStringLiteral("Stop the sweep (Esc); the points done stay"));
    Bstop->setEnabled(false);
    fields->addWidget(Brun);
    fields->addWidget(Bstop);
    fields->addStretch(1);

    auto* progress = new QHBoxLayout;
    Progress = new QProgressBar(this);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setRange(0, 1);
    Progress->setValue(0);
    Progress->setFormat(QString()); // no count until a sweep has points planned
    Lstatus = new QLabel(QStringLiteral("Choose a conductor and its voltages, then Run."), this);
    Lstatus->setObjectName(QStringLiteral("Lstatus"));
    progress->addWidget(Progress, 1);
    progress->addWidget(Lstatus, 2);

    Table = new QTableWidget(this);
    Table->setObjectName(QStringLiteral("Table"));
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->verticalHeader()->setVisible(false);
    Bsave = new QPushButton(QStringLiteral("&Save CSV..."), this);
    Bsave->setObjectName(QStringLiteral("Bsave"));
    Bsave->setToolTip(QStringLiteral("Save the table as CSV, numbers in full precision"));
    Bsave->setEnabled(false);
    auto* table_side = new QWidget(this);
    auto* table_layout = new QVBoxLayout(table_side);
    table_layout->setContentsMargins(0, 0, 0, 0);
    table_layout->addWidget(Table, 1);
    table_layout->addWidget(Bsave, 0, Qt::AlignLeft);

    auto* chart_side = new QWidget(this);
    auto* chart_layout = new QVBoxLayout(chart_side);
    chart_layout->setContentsMargins(0, 0, 0, 0);
    auto* object_row = new QHBoxLayout;
    auto* object = new QLabel(QStringLiteral("&Deflection of"), chart_side);
    CBobject = new QComboBox(chart_side);
    CBobject->setObjectName(QStringLiteral("CBobject"));
    CBobject->addItem(QStringLiteral("All objects"));
    object->setBuddy(CBobject);
    object_row->addWidget(object);
    object_row->addWidget(CBobject, 1);
    Chart = new SweepChart(dialogs_, chart_side);
    chart_layout->addLayout(object_row);
    chart_layout->addWidget(Chart, 1);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(table_side);
    splitter->addWidget(chart_side);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(progress);
    layout->addWidget(splitter, 1);
    resize(1040, 560);

    connect(Brun, &QPushButton::clicked, this, &SweepWindow::BrunClick);
    connect(Bstop, &QPushButton::clicked, this, &SweepWindow::BstopClick);
    connect(Bsave, &QPushButton::clicked, this, &SweepWindow::BsaveClick);
    connect(CBobject, &QComboBox::currentIndexChanged, this, &SweepWindow::redraw_chart);
    auto* stop = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(stop, &QShortcut::activated, this, [this] {
        if (Bstop->isEnabled())
            BstopClick();
    });
    redraw_chart();
}

SweepWindow::~SweepWindow() = default;

TNEdit* SweepWindow::add_field(const char* name, const QString& caption, Real value) {
    auto* field = new TNEdit(this);
    field->setObjectName(QLatin1String(name));
    field->set_dialogs(&dialogs_);
    field->set_caption(caption); // its error box names it
    field->set_field_type(tipo_campo::real_field);
    field->set_panel_real(value);
    field->setFixedWidth(80);
    return field;
}

void SweepWindow::set_conductors(const std::vector<std::string>& names) {
    const QString shown = CBconductor->currentText();
    const QSignalBlocker quiet(CBconductor);
    CBconductor->clear();
    for (const std::string& name : names)
        CBconductor->addItem(from_std(name));
    const int index = CBconductor->findText(shown, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        CBconductor->setCurrentIndex(index);
    else if (!names.empty())
        CBconductor->setCurrentIndex(0);
    else
        CBconductor->setEditText(shown);
}

void SweepWindow::set_running(bool running, bool sweeping) {
    running_ = running && sweeping;
    Brun->setEnabled(!running);
    CBmethod->setEnabled(!running);
    Bstop->setEnabled(running && sweeping);
}

void SweepWindow::BrunClick() {
    bool refused = false;
    for (TNEdit* field : {NEstart, NEstop, NEstep})
        refused = field->take_refusal() || refused;
    if (refused)
        return;
    const QString conductor = CBconductor->currentText().trimmed();
    if (conductor.isEmpty()) {
        dialogs_.show_error(this, QStringLiteral("Choose the conductor to sweep."));
        return;
    }
    const SweepRequest request{conductor.toStdString(),
                               {NEstart->panel_real(), NEstop->panel_real(), NEstep->panel_real()},
                               CBmethod->currentIndex() == 1 ? SweepMethod::Equilibrium
                                                             : SweepMethod::Calculate};
    if (const Result<int> count = sweep_point_count(request.range); !count) {
        dialogs_.show_error(this, QStringLiteral("Sweep: ") + from_std(count.message()));
        return;
    }
    if (host_.run)
        host_.run(request);
}

void SweepWindow::stop_asked() {
    Bstop->setEnabled(false);
}

void SweepWindow::BstopClick() {
    stop_asked();
    if (host_.stop)
        host_.stop();
}

void SweepWindow::BsaveClick() {
    if (result_.points.empty())
        return;
    const SaveChoice choice = dialogs_.save_file_name(this, QStringLiteral("sweep.csv"), SaveKind::Csv);
    if (choice.cancelled())
        return;
    const Status written = write_sweep_csv(QFile::encodeName(choice.name).toStdString(), result_);
    if (!written)
        dialogs_.show_error(this, from_std(written.message()));
}

void SweepWindow::post_columns(const SweepResult& columns) {
    posted_.put(
        [&](Posted& p) {
            p.new_sweep = true;
            p.columns = columns;
            p.points.clear();
        },
        [this] { QMetaObject::invokeMethod(this, &SweepWindow::take_posted, Qt::QueuedConnection); });
}

void SweepWindow::post_point(const SweepPoint& point, int, int) {
    posted_.put([&](Posted& p) { p.points.push_back(point); },
                [this] { QMetaObject::invokeMethod(this, &SweepWindow::take_posted, Qt::QueuedConnection); });
}

void SweepWindow::take_posted() {
    Posted posted = posted_.take();
    const bool new_sweep = posted.new_sweep;
    SweepResult columns = std::move(posted.columns);
    std::vector<SweepPoint> points = std::move(posted.points);
    if (new_sweep) {
        result_ = std::move(columns);
        begin_table();
    }
    if (!new_sweep && points.empty())
        return;
    const std::size_t from = result_.points.size();
    for (SweepPoint& point : points)
        result_.points.push_back(std::move(point));
    append_rows(from);
    redraw_chart();
    show_progress();
}

void SweepWindow::begin_table() {
    const std::vector<std::string> names = sweep_column_names(result_);
    QStringList headers;
    for (const std::string& name : names)
        headers << from_std(name);
    Table->clear();
    Table->setRowCount(0);
    Table->setColumnCount(static_cast<int>(headers.size()));
    Table->setHorizontalHeaderLabels(headers);
    const QSignalBlocker quiet(CBobject);
    const int chosen = CBobject->currentIndex();
    CBobject->clear();
    CBobject->addItem(QStringLiteral("All objects"));
    for (std::size_t k = 0; k < result_.objects.size(); ++k)
        CBobject->addItem(from_std(sweep_object_label(result_, k)));
    // The same object again when the new sweep has it.
    CBobject->setCurrentIndex(chosen >= 0 && chosen < CBobject->count() ? chosen : 0);
}

void SweepWindow::append_rows(std::size_t from) {
    Table->setRowCount(static_cast<int>(result_.points.size()));
    for (std::size_t i = from; i < result_.points.size(); ++i) {
        const SweepPoint& point = result_.points[i];
        const std::vector<std::string> cells = sweep_row(result_, point);
        const QBrush brush = row_brush(point);
        for (std::size_t c = 0; c < cells.size(); ++c) {
            // A number to 8 significant digits, which fit its column; every digit, as Save CSV
            // writes it, in its tip.
            const QString full = from_std(cells[c]);
            bool number = false;
            const double value = full.toDouble(&number);
            auto* item = new QTableWidgetItem(number ? QString::number(value, 'g', 8) : full);
            item->setToolTip(full);
            if (brush.style() != Qt::NoBrush)
                item->setBackground(brush);
            Table->setItem(static_cast<int>(i), static_cast<int>(c), item);
        }
    }
    if (from == 0)
        Table->resizeColumnsToContents();
    Table->scrollToBottom();
    Bsave->setEnabled(!result_.points.empty());
}

void SweepWindow::redraw_chart() {
    const int chosen = CBobject->currentIndex() - 1; // -1: every object
    std::vector<ChartCurve> curves;
    for (std::size_t k = 0; k < result_.objects.size(); ++k) {
        if (chosen >= 0 && static_cast<std::size_t>(chosen) != k)
            continue;
        ChartCurve curve{from_std(sweep_object_label(result_, k)), {}};
        // A calibration curve is made of equilibria: points whose run did not converge stay in
        // the table (tinted) but are not drawn.
        for (const SweepPoint& point : result_.points)
            if (point.converged())
                curve.points.append(QPointF(static_cast<double>(point.voltage),
                                            static_cast<double>(rad_to_deg(point.deflection(k)))));
        curves.push_back(std::move(curve));
    }
    const QString conductor =
        result_.conductor_name.empty() ? QStringLiteral("the conductor") : from_std(result_.conductor_name);
    Chart->set_curves(QStringLiteral("Deflection against voltage"),
                      QStringLiteral("Voltage of %1 (V)").arg(conductor),
                      QStringLiteral("Deflection from the vertical (degrees)"), curves);
}

void SweepWindow::show_progress() {
    const int done = static_cast<int>(result_.points.size());
    Progress->setRange(0, std::max(1, result_.planned));
    Progress->setValue(done);
    Progress->setFormat(QStringLiteral("%v of %m points"));
    if (running_)
        Lstatus->setText(QStringLiteral("Point %1 of %2").arg(done).arg(result_.planned));
}

void SweepWindow::sweep_ended(bool failed) {
    take_posted();
    running_ = false;
    const int done = static_cast<int>(result_.points.size());
    int not_converged = 0;
    for (const SweepPoint& point : result_.points)
        not_converged += point.converged() ? 0 : 1;
    QString text;
    if (failed)
        text = QStringLiteral("The sweep failed.");
    else if (done < result_.planned)
        text = QStringLiteral("Stopped after %1 of %2 points.").arg(done).arg(result_.planned);
    else
        text = QStringLiteral("Done: %1 points.").arg(done);
    if (!failed && not_converged > 0)
        text += QStringLiteral(" %1 did not converge (not drawn).").arg(not_converged);
    Lstatus->setText(text);
}

} // namespace ambrel::ui
