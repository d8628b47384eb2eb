// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Fonts and sizes shared by the program's windows.
#pragma once

#include "ui/main_layout.h"

#include <QFont>
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSettings>
#include <QSize>

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

// The frame around a top-level window's client area: as the window manager drew it once the
// window is shown, estimated from FRAME_BORDER and FRAME_CAPTION before.
QMargins frame_margins(const QWidget* window);

// A window frame moved, and shrunk where it is larger, into the available area of a screen.
QRect fit_into(QRect frame, QRect available);

// Keeps a top-level window, frame included, within the available area of its screen: never off
// screen, never larger than the screen. A maximised or full-screen window is left alone.
void keep_on_screen(QWidget* window);

// What the program remembers between runs: QSettings of organisation and application "Ambrel".
QSettings application_settings();

// The window's size and place at start: those remembered under `key` (QSettings of the
// application), else its default size centred on the screen.
void restore_window_geometry(QWidget* window, const char* key);
// Remembers them under `key` for the next start.
void save_window_geometry(const QWidget* window, const char* key);

// The main window's splitters as remembered under `key` (unset shares when none were), and
// remembering them.
SplitterShares restore_splitter_shares(const char* key);
void save_splitter_shares(const SplitterShares& shares, const char* key);

// Where a tool window of the given frame size goes the first time it is shown: beside the anchor
// window, on its right or else on its left, level with its top; when neither side has room, at the
// right edge of the screen with its top at `clear_top` or below, so that the anchor's menu stays in
// sight. Always within `available`.
QPoint beside_position(QSize tool_frame, QRect anchor_frame, QRect available, int clear_top);

// Shows a window that may be hidden or behind others, without making it modal. The first time,
// it is placed beside `anchor` (when given).
void show_window(QWidget* window, const QWidget* anchor = nullptr);

} // namespace ambrel::ui
