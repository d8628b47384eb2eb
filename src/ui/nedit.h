// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// TNEdit: the numeric entry field. A single-line edit box with a typed value attached: the user
// edits text as usual, and when the field loses the input focus its text is converted by the
// rules of NumericField and the number stored, or an error naming the field and quoting its text
// is shown and nothing is stored. Commands read the stored number, never the text.
#pragma once

#include "model/status.h"
#include "model/types.h"
#include "text/numeric_field.h"

#include <QLineEdit>

#include <cstdint>

namespace ambrel::ui {

class DialogProvider;

class TNEdit : public QLineEdit {
    Q_OBJECT

  public:
    explicit TNEdit(QWidget* parent = nullptr);

    Real panel_real() const { return field_.panel_real(); }
    std::int32_t panel_int() const { return field_.panel_int(); }
    tipo_campo field_type() const { return field_.field_type(); }

    // Each setter stores the value and, when it is the value of the field's type, shows it.
    void set_panel_real(Real value);
    void set_panel_int(std::int32_t value);
    void set_field_type(tipo_campo type);

    // Where the error box of an invalid text goes (none: a plain error box).
    void set_dialogs(DialogProvider* dialogs) { dialogs_ = dialogs; }
    // The name of the field in its error box ("Time step: 'abc' is not a valid number"); a field
    // without a caption shows the bare message.
    void set_caption(const QString& caption) { caption_ = caption; }
    const QString& caption() const { return caption_; }

    // Converts the text as leaving the field does and stores the number. On error the status
    // carries the message; nothing is stored then and no box is shown.
    Status commit_text();

    // The field was left with a text that is not a number and its error box has not been shown
    // yet. Once the box has been shown the field shows the number it kept again.
    bool has_invalid_text() const { return invalid_; }

    // Refuses the command of the click that took the focus from a field whose text is not a
    // number: that click comes before the field's error box. The refusal is used up by that one
    // command, and it ends with the error box, so a later click is never refused for a text the
    // user has already been told about (and which the field no longer shows).
    bool take_refusal() {
        const bool refused = invalid_;
        invalid_ = false;
        return refused;
    }

    // The message of the error box for a failed conversion of the field's text: `core_message`
    // for a field without a caption, else the caption and the quoted text, in the form every
    // named field's refusal takes (named_invalid_number_message).
    QString error_message(const QString& core_message) const;

  signals:
    // The field was left and its text stored (the exit event of the field).
    void exited();
    // The field was left with a text that is not a number; the message is shown in an error box.
    void invalidNumber(const QString& message);

  protected:
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void show_text();
    void report_error(const QString& message);

    NumericField field_;
    DialogProvider* dialogs_ = nullptr;
    QString caption_;
    bool invalid_ = false;
};

} // namespace ambrel::ui
