// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/column_table.h"

#include "text/number_format.h"

namespace ambrel {

std::string column_header(std::string_view name, std::string_view unit) {
    std::string head(name);
    if (!unit.empty()) {
        head += " (";
        head += unit;
        head += ')';
    }
    return head;
}

std::string table_number(Real value) {
    return format_shortest(value == 0 ? Real(0) : value);
}

} // namespace ambrel
