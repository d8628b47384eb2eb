// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Where the controls of the main window go for a size of its client area. At the default size
// every control is where the window's design puts it; a larger window gives the room to the two
// panels and the 3D view, which stays square; a window narrower than the row of buttons and
// fields puts the fields of the run in a second row, so that a small or highly scaled screen
// still reaches every control. Two splitters share the room as the user likes: one between the
// panels and the view, one between the description and the output panel.
#pragma once

#include <optional>

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
    // The splitters' handles: the gap between the panels and the view, and the one between the
    // two panels.
    QRect view_splitter;
    QRect panel_splitter;
};

// Where the user has put the splitters, as shares of the room, so that they keep their proportions
// at any size of the window: the view's side over the width of the panels and the view, and the
// description's height over the height of the two panels. Unset: the design's proportions.
struct SplitterShares {
    std::optional<double> view;
    std::optional<double> description;
    bool operator==(const SplitterShares&) const = default;
};

MainLayout main_layout(QSize client, const SplitterShares& shares = {});

// The shares that put a splitter's handle at `handle` (its left edge for the one between the panels
// and the view, its top edge for the one between the panels) for the client area `client`, the
// other share kept. Beyond the room of either side the handle stops: a panel or the view never
// becomes smaller than of use, and the view, square, never taller than the room.
SplitterShares shares_for_view_splitter(QSize client, const SplitterShares& shares, int handle_left);
SplitterShares shares_for_panel_splitter(QSize client, const SplitterShares& shares, int handle_top);

// The smallest client area: the two rows of controls, and panels and a view still of use.
QSize minimum_client_size();

// The client area of the main window: its preferred size is the default one.
class ClientArea : public QWidget {
  public:
    using QWidget::QWidget;
    QSize sizeHint() const override { return DEFAULT_CLIENT_SIZE; }
};

} // namespace ambrel::ui
