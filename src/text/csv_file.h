// The tables other programs read: CSV fields, and files written whole or not at all.
#pragma once

#include "model/status.h"

#include <string>
#include <string_view>

namespace ambrel {

// A CSV field: the text as it is, or within double quotes with its quotes doubled when it holds a
// comma, a quote, a blank, a line end or nothing.
std::string csv_field(std::string_view text);

// Writes the text to a temporary file in the folder of `path`, then renames it to `path`: the file
// is either the whole new text or what it was before. Failure: "cannot write PATH: reason", and no
// temporary file is left.
Status write_file_replacing(const std::string& path, std::string_view text);

} // namespace ambrel
