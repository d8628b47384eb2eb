// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/field_refusal.h"

#include "ui/dialog_provider.h"
#include "ui/nedit.h"

namespace ambrel::ui {

bool fields_refused(std::initializer_list<TNEdit*> fields, DialogProvider& dialogs, QWidget* parent) {
    // Every refusal is taken, so that none is left over for a later click.
    bool refused = false;
    for (TNEdit* field : fields)
        refused = field->take_refusal() || refused;
    if (refused)
        return true;
    for (TNEdit* field : fields) {
        if (const Status committed = field->commit_text(); !committed) {
            dialogs.show_error(parent, field->error_message(QString::fromStdString(committed.message())));
            // The user has been told: the field shows its number again, as after leaving it.
            field->set_panel_real(field->panel_real());
            return true;
        }
    }
    return false;
}

} // namespace ambrel::ui
