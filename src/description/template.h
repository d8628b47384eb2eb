// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Descriptions as templates: any field of a description may hold a placeholder ${name}, filled
// with a value before the description is read. Plain text, no knowledge of the language: a value
// takes the placeholder's place as it is. A name is a letter or "_" followed by letters, digits
// and "_"; a "$" that does not start such a placeholder is text like any other, so a description
// without placeholders reads exactly as it always did.
#pragma once

#include "model/status.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace ambrel {

// Whether `name` may name a placeholder.
bool is_placeholder_name(std::string_view name);

// The names of the placeholders of `text`, each once, in the order of their first appearance.
std::vector<std::string> template_placeholders(std::string_view text);

// `text` with every placeholder replaced by its value. Fails, naming it, on a placeholder without
// a value ("no value for ${gap}") and on a value whose name no placeholder has ("${gap} is not in
// the description"), and on a value holding a line end (it would split a line of the
// description).
Result<std::string> fill_template(std::string_view text, const std::map<std::string, std::string>& values);

} // namespace ambrel
