// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The tips shown on hover over the fields and options: what each one does and in which unit.
#pragma once

#include "model/options.h"

#include <QString>

class QWidget;

namespace ambrel::ui {

// The tip of an option switch of the Options menu (and of the view's "Identify").
QString option_hint(Option option);

// The tip of a numeric field or check box by its object name ("NEdelta", "Emb", "CB3", ...); empty
// for a name without one.
QString field_hint(const QString& name);

// Gives every child of `window` whose name has a tip that tip, and the label of a field
// ("Label_Emb") the tip of its field, where the control has none yet.
void add_field_hints(QWidget* window);

} // namespace ambrel::ui
