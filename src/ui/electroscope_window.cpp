// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/electroscope_window.h"

#include "calculators/electroscope.h"
#include "calculators/electroscope_table.h"
#include "text/numeric_field.h"
#include "ui/charts.h"
#include "ui/dialog_provider.h"
#include "ui/field_refusal.h"
#include "ui/nedit.h"
#include "ui/window_style.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <exception>
#include <initializer_list>

namespace ambrel::ui {

namespace {

const CalculatorFieldInfo& field_info(std::string_view name) {
    for (const CalculatorFieldInfo& info : calculator_fields())
        if (info.name == name)
            return info;
    return calculator_fields().front(); // every name used here is in the table
}

QString qstring(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr int ROW_HEIGHT = 28;
constexpr int FIELD_WIDTH = 73;

int field_offset(const QWidget* window, std::initializer_list<std::string_view> names) {
    int widest = 0;
    for (std::string_view name : names)
        widest = std::max(widest, window->fontMetrics().horizontalAdvance(qstring(field_info(name).label)));
    return widest + 12;
}

} // namespace

ElectroscopeWindow::ElectroscopeWindow(OutputSink& sink, DialogProvider& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), sink_(sink), dialogs_(dialogs) {
    setObjectName(QStringLiteral("TForm7"));
    setWindowTitle(QStringLiteral("Pith-balls electroscope"));
    apply_window_font(this);

    const int left = 8;
    const int offset = field_offset(this, {"Emb", "Emf", "EL", "Ed", "Er", "Ex"});
    int top = 8;
    Emb = add_field(this, "Emb", left, offset, top);
    Emf = add_field(this, "Emf", left, offset, top += ROW_HEIGHT);
    EL = add_field(this, "EL", left, offset, top += ROW_HEIGHT);
    Ed = add_field(this, "Ed", left, offset, top += ROW_HEIGHT);
    Er = add_field(this, "Er", left, offset, top += ROW_HEIGHT);
    Ex = add_field(this, "Ex", left, offset, top += ROW_HEIGHT);

    const int right = left + offset + FIELD_WIDTH + 24;
    CB3 = add_check_box("CB3", right, 8);
    CB4 = add_check_box("CB4", right, 8 + ROW_HEIGHT);
    CB5 = add_check_box("CB5", right, 8 + 2 * ROW_HEIGHT);
    Button1 = new QPushButton(QStringLiteral("Calculate"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(right, 8 + 3 * ROW_HEIGHT + 4, 75, 25);
    Button3 = new QPushButton(QStringLiteral("More"), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setGeometry(right, Button1->y() + 32, 75, 25);

    // The table: a framed group of its own.
    GroupBox1 = new QGroupBox(QStringLiteral("Table :"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    const int group_offset = field_offset(this, {"Ex1", "Ex2", "Edx"});
    int group_top = 24;
    Ex1 = add_field(GroupBox1, "Ex1", 8, group_offset, group_top);
    Ex2 = add_field(GroupBox1, "Ex2", 8, group_offset, group_top += ROW_HEIGHT);
    Edx = add_field(GroupBox1, "Edx", 8, group_offset, group_top += ROW_HEIGHT);
    GroupBox1->setGeometry(left, top + ROW_HEIGHT + 12, 8 + group_offset + FIELD_WIDTH + 12,
                           group_top + ROW_HEIGHT + 4);
    Button2 = new QPushButton(QStringLiteral("Generate"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(GroupBox1->x() + GroupBox1->width() + 16, GroupBox1->y() + 24, 75, 25);
    Button4 = new QPushButton(QStringLiteral("Chart"), this);
    Button4->setObjectName(QStringLiteral("Button4"));
    Button4->setGeometry(Button2->x(), Button2->y() + 32, 75, 25);
    Button4->setToolTip(QStringLiteral("Draw the table as a chart"));

    connect(Button1, &QPushButton::clicked, this, &ElectroscopeWindow::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &ElectroscopeWindow::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &ElectroscopeWindow::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &ElectroscopeWindow::Button4Click);
    chart_ = std::make_unique<ElectroscopeChartWindow>(dialogs_);

    int width = 0;
    for (const QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        width = std::max(width, child->x() + child->width());
    resize(width + 12, GroupBox1->y() + GroupBox1->height() + 12);
}

ElectroscopeWindow::~ElectroscopeWindow() = default;

TNEdit* ElectroscopeWindow::add_field(QWidget* parent, const char* name, int left, int offset, int top) {
    const CalculatorFieldInfo& info = field_info(name);
    auto* label = new QLabel(qstring(info.label), parent);
    label->setObjectName(QStringLiteral("Label_%1").arg(QLatin1String(name)));
    label->move(left, top + 4);
    label->adjustSize();
    auto* field = new TNEdit(parent);
    field->setObjectName(QLatin1String(name));
    field->set_dialogs(&dialogs_);
    field->set_caption(label->text().trimmed()); // its error box names it
    field->set_field_type(tipo_campo::real_field);
    field->set_panel_real(parse_field_real(info.default_text).value_or(0));
    field->setGeometry(left + offset, top, FIELD_WIDTH, 21);
    return field;
}

QCheckBox* ElectroscopeWindow::add_check_box(const char* name, int left, int top) {
    const CalculatorFieldInfo& info = field_info(name);
    auto* box = new QCheckBox(qstring(info.label), this);
    box->setObjectName(QLatin1String(name));
    box->setChecked(info.default_text == "1");
    box->setGeometry(left, top, 97, 17);
    return box;
}

ElectroscopeFields ElectroscopeWindow::fields() const {
    ElectroscopeFields f;
    f.Emb = Emb->panel_real();
    f.Emf = Emf->panel_real();
    f.EL = EL->panel_real();
    f.Ed = Ed->panel_real();
    f.Er = Er->panel_real();
    f.Ex = Ex->panel_real();
    f.Ex1 = Ex1->panel_real();
    f.Ex2 = Ex2->panel_real();
    f.Edx = Edx->panel_real();
    f.CB3 = CB3->isChecked();
    f.CB4 = CB4->isChecked();
    f.CB5 = CB5->isChecked();
    return f;
}

bool ElectroscopeWindow::fields_refused() {
    return ui::fields_refused({Emb, Emf, EL, Ed, Er, Ex, Ex1, Ex2, Edx}, dialogs_, this);
}

void ElectroscopeWindow::Button1Click() {
    if (fields_refused())
        return;
    if (const Status result = electroscope_report(fields(), sink_); !result)
        dialogs_.show_error(this, QString::fromStdString(result.message()));
}

void ElectroscopeWindow::Button2Click() {
    if (fields_refused())
        return;
    try {
        // Fields out of their ranges, or a range of x that gives no table, are said before any
        // file is asked for.
        if (const ElectroscopeTableText text = electroscope_table_text(fields()); !text.converted) {
            dialogs_.show_error(this, QString::fromStdString(text.status.message()));
            return;
        } else if (text.too_many_points || !text.refusal.empty()) {
            sink_.add_output_line(text.too_many_points ? std::string("Too many points.") : text.refusal);
            return;
        }
        // Where the user chooses (the dialog asks before replacing a file), at first in the
        // description's folder; the message names the file by its full path.
        const QDir folder(table_folder_.isEmpty() ? QDir::currentPath() : table_folder_);
        const SaveChoice choice =
            dialogs_.save_file_name(this, folder.filePath(qstring(DEFAULT_TABLE_FILE)), SaveKind::Table);
        if (choice.cancelled())
            return;
        const std::string path = QFileInfo(choice.name).absoluteFilePath().toStdString();
        if (const TableResult result = write_electroscope_table(fields(), path, sink_); !result)
            dialogs_.show_error(this, QString::fromStdString(result.message()));
        if (chart_->isVisible()) // the chart shown follows the table
            chart_->show_table(compute_electroscope_table(fields()));
    } catch (const std::exception& error) {
        dialogs_.show_error(this, error_text(error));
    }
}

void ElectroscopeWindow::Button3Click() {
    if (more_window_)
        show_window(more_window_, this);
}

void ElectroscopeWindow::Button4Click() {
    show_chart(this);
}

void ElectroscopeWindow::show_chart(const QWidget* anchor) {
    if (fields_refused())
        return;
    chart_->show_table(compute_electroscope_table(fields()));
    show_window(chart_.get(), anchor);
}

} // namespace ambrel::ui
