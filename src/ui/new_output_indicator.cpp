// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/new_output_indicator.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <QScrollBar>

namespace ambrel::ui {

NewOutputIndicator::NewOutputIndicator(QPlainTextEdit* panel) : QToolButton(panel), panel_(panel) {
    setObjectName(QStringLiteral("NewOutputIndicator"));
    setText(QStringLiteral("New output below \u25bc"));
    setToolTip(QStringLiteral("Reports arrived below the part of the output shown: go to them"));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    hide();
    QScrollBar* vertical = panel->verticalScrollBar();
    connect(this, &QToolButton::clicked, this, [this, vertical] {
        vertical->setValue(vertical->maximum());
        hide();
    });
    connect(vertical, &QScrollBar::valueChanged, this, [this, vertical](int value) {
        if (value == vertical->maximum())
            hide();
    });
    panel->installEventFilter(this);
}

void NewOutputIndicator::lines_appended(bool was_at_end) {
    if (was_at_end || !panel_->isVisible())
        return;
    QScrollBar* vertical = panel_->verticalScrollBar();
    if (vertical->value() == vertical->maximum())
        return;
    adjustSize();
    place();
    show();
    raise();
}

bool NewOutputIndicator::eventFilter(QObject* watched, QEvent* event) {
    if (watched == panel_ && event->type() == QEvent::Resize && isVisible())
        place();
    return QToolButton::eventFilter(watched, event);
}

void NewOutputIndicator::place() {
    // At the foot of the text, right-aligned, clear of the scroll bars.
    const QRect text = panel_->viewport()->geometry();
    move(text.right() - width() - 4, text.bottom() - height() - 4);
}

NewOutputIndicator* new_output_indicator(const QPlainTextEdit* panel) {
    return panel->findChild<NewOutputIndicator*>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace ambrel::ui
