#include "ui/main_layout.h"

#include <algorithm>

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

} // namespace

QSize minimum_client_size() {
    const int width = ROW_END - SECOND_GROUP_X + MARGIN_LEFT + MARGIN_RIGHT;
    return {width, CONTENT_TOP + ROW_HEIGHT + MINIMUM_CONTENT_HEIGHT + MARGIN_BOTTOM};
}

MainLayout main_layout(QSize client) {
    const QSize minimum = minimum_client_size();
    const int width = std::max(client.width(), minimum.width());
    const int height = std::max(client.height(), minimum.height());

    MainLayout layout;
    int top = CONTENT_TOP;
    if (width < ROW_END + MARGIN_RIGHT) {
        layout.second_group_offset = QPoint(MARGIN_LEFT - SECOND_GROUP_X, ROW_HEIGHT);
        top += ROW_HEIGHT;
    }
    const int content_height = height - top - MARGIN_BOTTOM;
    const int content_width = width - MARGIN_LEFT - GAP - MARGIN_RIGHT;
    // The view takes its share of the width as at the default size, as far as the height allows;
    // the panels take the rest.
    const int view_side = std::min(content_height, content_width * DEFAULT_VIEW_SIDE /
                                                       (DEFAULT_PANEL_WIDTH + DEFAULT_VIEW_SIDE));
    const int panel_width = content_width - view_side;
    const int memo1_height =
        (content_height - GAP) * DEFAULT_MEMO1_HEIGHT / (DEFAULT_MEMO1_HEIGHT + DEFAULT_MEMO2_HEIGHT);
    layout.memo1 = QRect(MARGIN_LEFT, top, panel_width, memo1_height);
    layout.memo2 =
        QRect(MARGIN_LEFT, top + memo1_height + GAP, panel_width, content_height - GAP - memo1_height);
    layout.view = QRect(MARGIN_LEFT + panel_width + GAP, top, view_side, view_side);
    return layout;
}

} // namespace ambrel::ui
