// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main_layout.h"

#include <algorithm>
#include <cmath>

namespace ambrel::ui {

namespace {

// The design at the default size.
constexpr int MARGIN_LEFT = 8;
constexpr int MARGIN_RIGHT = 9;
constexpr int MARGIN_BOTTOM = 9;
constexpr int GAP = 7;              // between the panels, and between the panels and the view
constexpr int CONTENT_TOP = 40;     // below the row of buttons and fields
constexpr int ROW_HEIGHT = 33;      // a second row of fields
constexpr int SECOND_GROUP_X = 512; // Label2, the first control of the run's fields
constexpr int ROW_END = 1097;       // the right edge of NEdamping
constexpr int DEFAULT_PANEL_WIDTH = 497;
constexpr int DEFAULT_VIEW_SIDE = 585;
constexpr int DEFAULT_MEMO1_HEIGHT = 209;
constexpr int DEFAULT_MEMO2_HEIGHT = 369;
constexpr int MINIMUM_CONTENT_HEIGHT = 240;
// The least a splitter leaves to either side.
constexpr int MINIMUM_SPLIT_WIDTH = 150;
constexpr int MINIMUM_SPLIT_HEIGHT = 60;

// The room of the panels and the view below the controls.
QRect content_area(QSize client) {
    const QSize minimum = minimum_client_size();
    const int width = std::max(client.width(), minimum.width());
    const int height = std::max(client.height(), minimum.height());
    const int top = width < ROW_END + MARGIN_RIGHT ? CONTENT_TOP + ROW_HEIGHT : CONTENT_TOP;
    return QRect(MARGIN_LEFT, top, width - MARGIN_LEFT - MARGIN_RIGHT, height - top - MARGIN_BOTTOM);
}

// The view's side for a share of the width (without the gap), within the room.
int view_side_for(const QRect& content, std::optional<double> share) {
    const int width = content.width() - GAP;
    if (!share) // the design's proportion, as far as the height allows
        return std::min(content.height(),
                        width * DEFAULT_VIEW_SIDE / (DEFAULT_PANEL_WIDTH + DEFAULT_VIEW_SIDE));
    const int wanted = static_cast<int>(std::lround(*share * width));
    return std::clamp(std::min(wanted, content.height()), std::min(MINIMUM_SPLIT_WIDTH, width / 2),
                      std::max(width - MINIMUM_SPLIT_WIDTH, width / 2));
}

// The description's height for a share of the panels' height (without the gap).
int description_height_for(const QRect& content, std::optional<double> share) {
    const int height = content.height() - GAP;
    if (!share)
        return height * DEFAULT_MEMO1_HEIGHT / (DEFAULT_MEMO1_HEIGHT + DEFAULT_MEMO2_HEIGHT);
    const int wanted = static_cast<int>(std::lround(*share * height));
    return std::clamp(wanted, MINIMUM_SPLIT_HEIGHT, height - MINIMUM_SPLIT_HEIGHT);
}

} // namespace

QSize minimum_client_size() {
    const int width = ROW_END - SECOND_GROUP_X + MARGIN_LEFT + MARGIN_RIGHT;
    return {width, CONTENT_TOP + ROW_HEIGHT + MINIMUM_CONTENT_HEIGHT + MARGIN_BOTTOM};
}

MainLayout main_layout(QSize client, const SplitterShares& shares) {
    const QRect content = content_area(client);
    MainLayout layout;
    if (content.top() > CONTENT_TOP)
        layout.second_group_offset = QPoint(MARGIN_LEFT - SECOND_GROUP_X, ROW_HEIGHT);
    const int top = content.top();
    // The view takes its share of the width (at first as at the default size) as far as the
    // height allows; the panels take the rest.
    const int view_side = view_side_for(content, shares.view);
    const int panel_width = content.width() - GAP - view_side;
    const int memo1_height = description_height_for(content, shares.description);
    layout.memo1 = QRect(MARGIN_LEFT, top, panel_width, memo1_height);
    layout.memo2 =
        QRect(MARGIN_LEFT, top + memo1_height + GAP, panel_width, content.height() - GAP - memo1_height);
    layout.view = QRect(MARGIN_LEFT + panel_width + GAP, top, view_side, view_side);
    layout.view_splitter = QRect(MARGIN_LEFT + panel_width, top, GAP, content.height());
    layout.panel_splitter = QRect(MARGIN_LEFT, top + memo1_height, panel_width, GAP);
    return layout;
}

SplitterShares shares_for_view_splitter(QSize client, const SplitterShares& shares, int handle_left) {
    const QRect content = content_area(client);
    const int width = content.width() - GAP;
    const int wanted = content.right() + 1 - (handle_left + GAP);
    SplitterShares moved = shares;
    // Through view_side_for, so that the share kept is the one the view shows.
    moved.view = static_cast<double>(std::clamp(wanted, 1, width)) / width;
    moved.view = static_cast<double>(view_side_for(content, moved.view)) / width;
    return moved;
}

SplitterShares shares_for_panel_splitter(QSize client, const SplitterShares& shares, int handle_top) {
    const QRect content = content_area(client);
    const int height = content.height() - GAP;
    SplitterShares moved = shares;
    moved.description = static_cast<double>(std::clamp(handle_top - content.top(), 1, height)) / height;
    moved.description = static_cast<double>(description_height_for(content, moved.description)) / height;
    return moved;
}

} // namespace ambrel::ui
