// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The tables other programs read: CSV fields, and files written whole or not at all.
#pragma once

#include "model/status.h"

#include <string>
#include <string_view>
#include <vector>

namespace ambrel {

// A CSV field: the text as it is, or within double quotes with its quotes doubled when it holds a
// comma, a quote, a blank, a line end or nothing.
std::string csv_field(std::string_view text);

// One CSV line with its LF, each field through csv_field.
std::string csv_line(const std::vector<std::string>& fields);

// The records of a CSV text as csv_field and csv_line write them (RFC 4180): fields separated by
// commas, a quoted field may hold commas, blanks, line ends and doubled quotes; records end with
// LF or CR LF, and an empty line is no record. Fails on a quote inside an unquoted field, text
// after a closing quote, or a quoted field that never ends, naming the line.
Result<std::vector<std::vector<std::string>>> parse_csv(std::string_view text);

// Writes the text to a temporary file in the folder of `path`, then renames it to `path`: the file
// is either the whole new text or what it was before. Failure: "cannot write PATH: reason", and no
// temporary file is left.
Status write_file_replacing(const std::string& path, std::string_view text);

} // namespace ambrel
