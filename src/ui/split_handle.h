// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The handle of a splitter of the main window: a strip in the gap between two parts that the mouse
// drags (ui/main_layout.h says where it is and what a move does to the parts beside it).
#pragma once

#include <QPoint>
#include <QWidget>

namespace ambrel::ui {

class SplitHandle : public QWidget {
    Q_OBJECT

  public:
    // Horizontal: the handle moves left and right (a vertical strip between side-by-side parts).
    SplitHandle(Qt::Orientation orientation, QWidget* parent);

  signals:
    // The handle is being dragged to have its top-left corner at `to` (in its parent's coordinates).
    void dragged(QPoint to);
    // The drag has ended.
    void released();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    Qt::Orientation orientation_;
    QPoint grab_; // where the handle was taken, in its own coordinates
    bool dragging_ = false;
};

} // namespace ambrel::ui
