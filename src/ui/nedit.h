// TNEdit: the numeric entry field. A single-line edit box with a typed value attached: the user
// edits text as usual, and when the field loses the input focus its text is converted by the
// rules of NumericField and the number stored, or the error "<text> is not a valid number" is
// shown and nothing is stored. Commands read the stored number, never the text.
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

    // Converts the text as leaving the field does and stores the number. On error the status
    // carries the message; nothing is stored then and no box is shown.
    Status commit_text();

    // The last time the field was left its text was not a number, and it has not been
    // converted successfully or set since.
    bool has_invalid_text() const { return invalid_; }

    // The command started by the click that took the focus from a field left with a text that is
    // not a number does not run. The refusal is used up by that one command: later commands run
    // with the number the field kept (the message was shown when the field was left).
    bool take_refusal() {
        const bool refused = invalid_;
        invalid_ = false;
        return refused;
    }

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
    bool invalid_ = false;
};

} // namespace ambrel::ui
