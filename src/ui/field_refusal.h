// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The refusal of a calculator's command when one of its numeric fields does not hold a number,
// as the main window's run fields refuse a run: the error box names the field ("Ball mass (g):
// abc is not a valid number") and the command computes nothing.
#pragma once

#include <initializer_list>

class QWidget;

namespace ambrel::ui {

class DialogProvider;
class TNEdit;

// True when the command of a button must not run: a field was just left with a text that is not a
// number (its own error box follows, see TNEdit::take_refusal), or a field still being edited
// holds one (`0.4ca`, `abc`, an empty text), whose error box is shown here over `parent`; that
// field then shows the number it kept. Otherwise every field's text is stored and read as the
// command will read it.
bool fields_refused(std::initializer_list<TNEdit*> fields, DialogProvider& dialogs, QWidget* parent);

} // namespace ambrel::ui
