// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// PaintBox1: the paint surface of the 3D view. It draws nothing of its own: its paint, mouse and
// wheel events go to the main window's handlers, the right button opens the view's pop-up menu, and
// so do the Menu key and Shift+F10 when the view has the focus (Tab reaches it; a frame around it
// shows the focus).
#pragma once

#include <QWidget>

class QMenu;
class QPainter;

namespace ambrel::ui {

class ViewSurface : public QWidget {
    Q_OBJECT

  public:
    explicit ViewSurface(QWidget* parent = nullptr);

    // The menu opened by the right button.
    void set_popup_menu(QMenu* menu) { popup_menu_ = menu; }

  signals:
    void paintRequested(QPainter* painter);
    void mouseDown(QMouseEvent* event);
    void mouseMove(QMouseEvent* event);
    void mouseUp(QMouseEvent* event);
    void mouseWheel(QWheelEvent* event);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    QMenu* popup_menu_ = nullptr;
};

} // namespace ambrel::ui
