// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window_style.h"

#include "ui/dialog_provider.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QWidget>

#include <algorithm>

namespace ambrel::ui {

QFont window_font() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(8);
    return font;
}

QFont compact_font() {
    QFont font = window_font();
    font.setStretch(85);
    return font;
}

QFont fixed_font() {
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::Monospace);
    font.setPointSize(8);
    return font;
}

void apply_window_font(QWidget* widget) {
    widget->setFont(window_font());
}

void resize_outer(QWidget* window, int outer_width, int outer_height) {
    window->resize(outer_width - 2 * FRAME_BORDER, outer_height - FRAME_CAPTION - FRAME_BORDER);
    center_on_screen(window);
}

void center_on_screen(QWidget* window) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = QRect(QPoint(0, 0), window->size()).marginsAdded(frame_margins(window));
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft()); // the position of a window is that of its frame
    keep_on_screen(window);
}

namespace {

QRect available_area(const QWidget* window) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

// A window's frame: its outer rectangle on the screen.
QRect frame_of(const QWidget* window) {
    return window->geometry().marginsAdded(frame_margins(window));
}

constexpr const char* PLACED_PROPERTY = "ambrel_placed";

} // namespace

QMargins frame_margins(const QWidget* window) {
    if (window->isVisible()) {
        const QRect inner = window->geometry(), outer = window->frameGeometry();
        return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                        outer.bottom() - inner.bottom());
    }
    return QMargins(FRAME_BORDER, FRAME_CAPTION, FRAME_BORDER, FRAME_BORDER);
}

QRect fit_into(QRect frame, QRect available) {
    if (available.isEmpty())
        return frame;
    frame.setWidth(std::min(frame.width(), available.width()));
    frame.setHeight(std::min(frame.height(), available.height()));
    frame.moveLeft(std::clamp(frame.left(), available.left(), available.right() - frame.width() + 1));
    frame.moveTop(std::clamp(frame.top(), available.top(), available.bottom() - frame.height() + 1));
    return frame;
}

void keep_on_screen(QWidget* window) {
    if (window->isMaximized() || window->isFullScreen())
        return;
    const QRect available = available_area(window);
    const QMargins margins = frame_margins(window);
    const QRect frame = frame_of(window);
    const QRect fitted = fit_into(frame, available);
    if (fitted == frame)
        return;
    // The position of a window is that of its frame.
    window->resize(fitted.marginsRemoved(margins).size());
    window->move(fitted.topLeft());
}

QPoint beside_position(QSize tool_frame, QRect anchor_frame, QRect available, int clear_top) {
    QRect place(QPoint(anchor_frame.right() + 1, anchor_frame.top()), tool_frame);
    if (place.right() > available.right()) {
        place.moveRight(anchor_frame.left() - 1);
        if (place.left() < available.left()) {
            // No room on either side: over the anchor, at the screen's right edge, below its menu.
            place.moveRight(available.right());
            place.moveTop(std::max(anchor_frame.top(), clear_top));
        }
    }
    return fit_into(place, available).topLeft();
}

void show_window(QWidget* window, const QWidget* anchor) {
    if (anchor && !window->isVisible() && !window->property(PLACED_PROPERTY).toBool()) {
        window->setProperty(PLACED_PROPERTY, true);
        const QRect anchor_frame = frame_of(anchor);
        int clear_top = anchor->geometry().top();
        if (const auto* main = qobject_cast<const QMainWindow*>(anchor); main && main->menuWidget())
            clear_top = main->menuWidget()->mapToGlobal(QPoint(0, main->menuWidget()->height())).y();
        // The position of a window is that of its frame.
        window->move(
            beside_position(frame_of(window).size(), anchor_frame, available_area(anchor), clear_top));
    }
    window->show();
    window->raise();
    window->activateWindow();
}

QSettings application_settings() {
    return QSettings(QString::fromLatin1(APPLICATION_TITLE), QString::fromLatin1(APPLICATION_TITLE));
}

void restore_window_geometry(QWidget* window, const char* key) {
    window->resize(window->sizeHint()); // the default size: the client area of the design, with its bars
    const QByteArray remembered = application_settings().value(QLatin1String(key)).toByteArray();
    // A remembered geometry is the window's own frame; it is checked against the screen once the
    // window is shown and its real frame known (keep_on_screen).
    if (remembered.isEmpty() || !window->restoreGeometry(remembered))
        center_on_screen(window); // within the screen, with the frame estimated
}

void save_window_geometry(const QWidget* window, const char* key) {
    QSettings settings = application_settings();
    settings.setValue(QLatin1String(key), window->saveGeometry());
}

namespace {

// A share as remembered: a number between 0 and 1, or nothing.
std::optional<double> share_from(const QVariant& value) {
    bool ok = false;
    const double share = value.toDouble(&ok);
    return ok && share > 0 && share < 1 ? std::optional<double>(share) : std::nullopt;
}

} // namespace

SplitterShares restore_splitter_shares(const char* key) {
    const QVariantList remembered = application_settings().value(QLatin1String(key)).toList();
    if (remembered.size() != 2)
        return {};
    return {share_from(remembered[0]), share_from(remembered[1])};
}

void save_splitter_shares(const SplitterShares& shares, const char* key) {
    QSettings settings = application_settings();
    // An unset share is remembered as 0: the design's proportion.
    settings.setValue(QLatin1String(key),
                      QVariantList{shares.view.value_or(0), shares.description.value_or(0)});
}

} // namespace ambrel::ui
