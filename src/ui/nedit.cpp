// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/nedit.h"

#include "ui/dialog_provider.h"

#include <QFocusEvent>
#include <QMessageBox>
#include <QTimer>

namespace ambrel::ui {

TNEdit::TNEdit(QWidget* parent) : QLineEdit(parent) {
    show_text();
}

void TNEdit::show_text() {
    setText(QString::fromStdString(field_.text()));
}

void TNEdit::set_panel_real(Real value) {
    field_.set_panel_real(value);
    if (field_type() == tipo_campo::real_field) {
        show_text();
        invalid_ = false;
    }
}

void TNEdit::set_panel_int(std::int32_t value) {
    field_.set_panel_int(value);
    if (field_type() == tipo_campo::int_field) {
        show_text();
        invalid_ = false;
    }
}

void TNEdit::set_field_type(tipo_campo type) {
    field_.set_field_type(type);
    if (type != tipo_campo::text_field)
        show_text();
    invalid_ = false;
}

Status TNEdit::commit_text() {
    field_.set_text(text().toStdString());
    Status committed = field_.commit_text();
    invalid_ = !committed;
    return committed;
}

void TNEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // Opening a menu or switching to another window does not leave the field: the value typed
    // is confirmed only when the focus moves to another control.
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason)
        return;
    if (const Status committed = commit_text(); !committed) {
        report_error(error_message(QString::fromStdString(committed.message())));
        return;
    }
    emit exited();
}

QString TNEdit::error_message(const QString& core_message) const {
    if (caption_.isEmpty())
        return core_message;
    return QString::fromStdString(
        named_invalid_number_message(caption_.toStdString(), text().toStdString(), field_type()));
}

void TNEdit::report_error(const QString& message) {
    emit invalidNumber(message);
    // The box is shown once the focus change and the click that caused it are over: a modal
    // box inside the focus change would swallow the button's release and leave it pressed.
    // That click is refused by its command (take_refusal). The focus is not pulled back: with
    // two invalid fields that would bounce between them for ever.
    QTimer::singleShot(0, this, [this, message] {
        if (dialogs_)
            dialogs_->show_error(window(), message);
        else
            QMessageBox::critical(window(), QString::fromLatin1(APPLICATION_TITLE), message);
        // The user has been told: the field shows the number it kept, and no later click is
        // refused for the text that was rejected.
        if (field_type() == tipo_campo::real_field)
            set_panel_real(panel_real());
        else if (field_type() == tipo_campo::int_field)
            set_panel_int(panel_int());
        invalid_ = false;
    });
}

} // namespace ambrel::ui
