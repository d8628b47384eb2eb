// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/application_keys.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

#include <utility>

namespace ambrel::ui {

namespace {

bool is_command_key(int key) {
    return key == Qt::Key_F5 || key == Qt::Key_F9 || key == Qt::Key_F10;
}

// A control that types the text of the keys it receives.
bool types_text(const QWidget* widget) {
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QPlainTextEdit*>(widget) ||
           qobject_cast<const QTextEdit*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget) ||
           (widget && widget->parentWidget() &&
            (qobject_cast<const QPlainTextEdit*>(widget->parentWidget()) ||
             qobject_cast<const QTextEdit*>(widget->parentWidget()))); // an editor's viewport
}

} // namespace

ApplicationKeys::ApplicationKeys(ApplicationKeyHost host, QObject* parent)
    : QObject(parent), host_(std::move(host)) {
    QCoreApplication::instance()->installEventFilter(this);
}

bool ApplicationKeys::handles(const QWidget* target, int key, Qt::KeyboardModifiers modifiers) const {
    // An open menu and a question box keep their own keys (Esc closes them).
    if (modifiers != Qt::NoModifier || QApplication::activePopupWidget() || QApplication::activeModalWidget())
        return false;
    const QWidget* window = target->window();
    if (!host_.owns(window))
        return false;
    if (key == Qt::Key_Escape)
        return host_.stoppable();
    return is_command_key(key) && host_.takes_commands(window);
}

bool ApplicationKeys::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if ((type != QEvent::KeyPress && type != QEvent::ShortcutOverride) || !watched->isWidgetType())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const auto* target = static_cast<const QWidget*>(watched);
    if (handles(target, key->key(), key->modifiers())) {
        // Before the shortcuts of the window (ShortcutOverride accepted: the key comes as a key
        // press, which is taken here), so the same key has one meaning wherever it is pressed.
        event->accept();
        if (type == QEvent::KeyPress) {
            if (key->key() == Qt::Key_Escape)
                host_.stop();
            else
                host_.command(key->key());
        }
        return true;
    }
    // Alt with a letter that opened no menu and chose no command: nothing is typed.
    const Qt::KeyboardModifiers modifiers = key->modifiers();
    if (type == QEvent::KeyPress && (modifiers & Qt::AltModifier) && !(modifiers & Qt::ControlModifier) &&
        !key->text().isEmpty() && key->text().at(0).isPrint() && types_text(target) &&
        host_.owns(target->window()))
        return true;
    return false;
}

} // namespace ambrel::ui
