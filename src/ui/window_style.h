// Fonts and sizes shared by the program's windows.
#pragma once

#include <QFont>

class QWidget;

namespace ambrel::ui {

// The windows' font and the fixed-pitch font of the description panel, 8 points each.
QFont window_font();
QFont fixed_font();
// The window font, narrower: for captions whose room between fixed controls is tight.
QFont compact_font();
void apply_window_font(QWidget* widget);

// The frame the window manager adds around a window's client area, as the sizes of the
// windows are given with it (border on each side, caption bar at the top).
inline constexpr int FRAME_BORDER = 8;
inline constexpr int FRAME_CAPTION = 31;

// Gives a top-level window the client size of the outer size given, centred on its screen.
void resize_outer(QWidget* window, int outer_width, int outer_height);
void center_on_screen(QWidget* window);

} // namespace ambrel::ui
