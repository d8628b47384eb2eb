// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/extra_window.h"

#include "calculators/four_balls_pentagon.h"
#include "text/numeric_field.h"
#include "ui/dialog_provider.h"
#include "ui/field_refusal.h"
#include "ui/nedit.h"
#include "ui/window_style.h"

#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <initializer_list>

namespace ambrel::ui {

namespace {

const CalculatorFieldInfo* field_info(std::string_view name) {
    for (const CalculatorFieldInfo& info : calculator_fields())
        if (info.name == name)
            return &info;
    return nullptr;
}

constexpr int ROW_HEIGHT = 28;
constexpr int FIELD_WIDTH = 65;

QString label_text(std::string_view name) {
    const std::string_view label = field_info(name)->label;
    return QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size()));
}

// From a column's left edge to its fields: the widest label and a gap.
int field_offset(const QWidget* window, std::initializer_list<std::string_view> names) {
    int widest = 0;
    for (std::string_view name : names)
        widest = std::max(widest, window->fontMetrics().horizontalAdvance(label_text(name)));
    return widest + 12;
}

} // namespace

ExtraWindow::ExtraWindow(OutputSink& sink, DialogProvider& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), sink_(sink), dialogs_(dialogs) {
    setObjectName(QStringLiteral("TForm3"));
    setWindowTitle(QStringLiteral("Extra"));
    apply_window_font(this);

    auto* title1 =
        new QLabel(QStringLiteral("Four balls suspended from a single point with two angles"), this);
    title1->setObjectName(QStringLiteral("Label1"));
    title1->move(8, 8);
    title1->adjustSize();
    const int offset1 = field_offset(this, {"NEr", "NEL", "NEa1", "NEa2", "NEV", "NEm"});
    const int offset2 = field_offset(this, {"NE5r", "NE5x", "NE5L", "NE5m", "NE5d"});
    const int left1 = 8;
    const int left2 = std::max(left1 + offset1 + FIELD_WIDTH, title1->x() + title1->width()) + 24;
    auto* title2 = new QLabel(QStringLiteral("Five balls in a pentagon (test)"), this);
    title2->setObjectName(QStringLiteral("Label2"));
    title2->move(left2, 8);
    title2->adjustSize();

    int top = 32;
    NEr = add_field("NEr", left1, offset1, top);
    NEL = add_field("NEL", left1, offset1, top += ROW_HEIGHT);
    NEa1 = add_field("NEa1", left1, offset1, top += ROW_HEIGHT);
    NEa2 = add_field("NEa2", left1, offset1, top += ROW_HEIGHT);
    NEV = add_field("NEV", left1, offset1, top += ROW_HEIGHT);
    NEm = add_field("NEm", left1, offset1, top += ROW_HEIGHT);
    Button1 = new QPushButton(QStringLiteral("Calculate"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(left1, top + ROW_HEIGHT + 4, 75, 25);
    const int bottom = Button1->y() + Button1->height() + 8;

    top = 32;
    NE5r = add_field("NE5r", left2, offset2, top);
    NE5x = add_field("NE5x", left2, offset2, top += ROW_HEIGHT);
    NE5L = add_field("NE5L", left2, offset2, top += ROW_HEIGHT);
    NE5m = add_field("NE5m", left2, offset2, top += ROW_HEIGHT);
    NE5d = add_field("NE5d", left2, offset2, top += ROW_HEIGHT);
    Button2 = new QPushButton(QStringLiteral("Calculate"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(left2, top + ROW_HEIGHT + 4, 75, 25);

    connect(Button1, &QPushButton::clicked, this, &ExtraWindow::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &ExtraWindow::Button2Click);
    resize(std::max(left2 + offset2 + FIELD_WIDTH, title2->x() + title2->width()) + 8, bottom);
}

TNEdit* ExtraWindow::add_field(const char* name, int left, int offset, int top) {
    const CalculatorFieldInfo* info = field_info(name);
    auto* label = new QLabel(label_text(name), this);
    label->setObjectName(QStringLiteral("Label_%1").arg(QLatin1String(name)));
    label->move(left, top + 4);
    label->adjustSize();
    auto* field = new TNEdit(this);
    field->setObjectName(QLatin1String(name));
    field->set_dialogs(&dialogs_);
    field->set_caption(label->text().trimmed()); // its error box names it
    field->set_field_type(tipo_campo::real_field);
    field->set_panel_real(parse_field_real(info->default_text).value_or(0));
    field->setGeometry(left + offset, top, FIELD_WIDTH, 21);
    return field;
}

ExtraFields ExtraWindow::fields() const {
    ExtraFields f;
    f.NEr = NEr->panel_real();
    f.NEL = NEL->panel_real();
    f.NEa1 = NEa1->panel_real();
    f.NEa2 = NEa2->panel_real();
    f.NEV = NEV->panel_real();
    f.NEm = NEm->panel_real();
    f.NE5r = NE5r->panel_real();
    f.NE5x = NE5x->panel_real();
    f.NE5L = NE5L->panel_real();
    f.NE5m = NE5m->panel_real();
    f.NE5d = NE5d->panel_real();
    return f;
}

void ExtraWindow::Button1Click() {
    if (fields_refused({NEr, NEL, NEa1, NEa2, NEV, NEm}, dialogs_, this))
        return;
    if (const Status result = four_balls_report(fields(), sink_); !result)
        dialogs_.show_error(this, QString::fromStdString(result.message()));
}

void ExtraWindow::Button2Click() {
    if (fields_refused({NE5r, NE5x, NE5L, NE5m, NE5d}, dialogs_, this))
        return;
    if (const Status result = pentagon_report(fields(), sink_); !result)
        dialogs_.show_error(this, QString::fromStdString(result.message()));
}

} // namespace ambrel::ui
