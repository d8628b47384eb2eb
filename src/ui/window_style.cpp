#include "ui/window_style.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

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
    QRect frame(QPoint(0, 0), window->size());
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

} // namespace ambrel::ui
