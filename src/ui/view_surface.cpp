// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/view_surface.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace ambrel::ui {

ViewSurface::ViewSurface(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setFocusPolicy(Qt::StrongFocus); // Tab and a click reach it, for the keys of its menu
}

void ViewSurface::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    emit paintRequested(&painter);
    if (hasFocus()) {
        // The keyboard's place, as other controls show theirs: a frame inside the edge.
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(1, 1, -1, -1));
    }
}

void ViewSurface::keyPressEvent(QKeyEvent* event) {
    const bool menu_key = event->key() == Qt::Key_Menu ||
                          (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
    if (menu_key && popup_menu_) {
        popup_menu_->popup(mapToGlobal(rect().center()));
        return;
    }
    QWidget::keyPressEvent(event);
}

void ViewSurface::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void ViewSurface::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

// Qt grabs the pointer from a press to its release, so the release of a drag arrives here
// even when the button is let go outside the surface.
void ViewSurface::mousePressEvent(QMouseEvent* event) {
    emit mouseDown(event);
}

void ViewSurface::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMove(event);
}

void ViewSurface::mouseReleaseEvent(QMouseEvent* event) {
    emit mouseUp(event);
}

void ViewSurface::wheelEvent(QWheelEvent* event) {
    emit mouseWheel(event);
}

void ViewSurface::contextMenuEvent(QContextMenuEvent* event) {
    if (popup_menu_)
        popup_menu_->popup(event->globalPos());
}

} // namespace ambrel::ui
