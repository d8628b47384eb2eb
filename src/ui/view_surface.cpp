// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/view_surface.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace ambrel::ui {

ViewSurface::ViewSurface(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void ViewSurface::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    emit paintRequested(&painter);
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
