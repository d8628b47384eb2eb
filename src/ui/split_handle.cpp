// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/split_handle.h"

#include <QMouseEvent>
#include <QPainter>

namespace ambrel::ui {

SplitHandle::SplitHandle(Qt::Orientation orientation, QWidget* parent)
    : QWidget(parent), orientation_(orientation) {
    setCursor(orientation == Qt::Horizontal ? Qt::SplitHCursor : Qt::SplitVCursor);
    setFocusPolicy(Qt::NoFocus);
}

void SplitHandle::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    dragging_ = true;
    grab_ = event->position().toPoint();
}

void SplitHandle::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_)
        return QWidget::mouseMoveEvent(event);
    emit dragged(mapToParent(event->position().toPoint()) - grab_);
}

void SplitHandle::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    dragging_ = false;
    emit released();
}

void SplitHandle::paintEvent(QPaintEvent*) {
    // A grip of three dots in the middle shows that the gap can be dragged.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(QPalette::Mid));
    const QPointF centre = QRectF(rect()).center();
    const QPointF step = orientation_ == Qt::Horizontal ? QPointF(0, 6) : QPointF(6, 0);
    for (int k = -1; k <= 1; ++k)
        painter.drawEllipse(centre + k * step, 1.5, 1.5);
}

} // namespace ambrel::ui
