// Where the controls of the main window go for a size of its client area. At the default size
// every control is where the window's design puts it; a larger window gives the room to the two
// panels and the 3D view, which stays square; a window narrower than the row of buttons and
// fields puts the fields of the run in a second row, so that a small or highly scaled screen
// still reaches every control.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

namespace ambrel::ui {

// The client area of the window at its default size.
inline constexpr QSize DEFAULT_CLIENT_SIZE{1106, 634};

struct MainLayout {
    // Added to the design positions of the run's fields and their labels (Label2 to NEdamping):
    // nothing in one row, to the left edge and one row down in two.
    QPoint second_group_offset;
    QRect memo1;
    QRect memo2;
    QRect view; // square
};

MainLayout main_layout(QSize client);

// The smallest client area: the two rows of controls, and panels and a view still of use.
QSize minimum_client_size();

// The client area of the main window: its preferred size is the default one.
class ClientArea : public QWidget {
  public:
    using QWidget::QWidget;
    QSize sizeHint() const override { return DEFAULT_CLIENT_SIZE; }
};

} // namespace ambrel::ui
