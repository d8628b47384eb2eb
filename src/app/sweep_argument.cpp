// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/sweep_argument.h"

#include "text/numeric_field.h"

#include <array>
#include <string>

namespace ambrel {

Result<SweepRange> parse_sweep_range(std::string_view text) {
    std::array<std::string_view, 3> parts;
    std::size_t from = 0;
    for (std::size_t k = 0; k < parts.size(); ++k) {
        const std::size_t colon = text.find(':', from);
        if ((colon == std::string_view::npos) != (k == parts.size() - 1))
            return Result<SweepRange>::failure("the range needs START:STOP:STEP, not '" + std::string(text) +
                                               "'");
        parts[k] = text.substr(from, colon == std::string_view::npos ? std::string_view::npos : colon - from);
        from = colon + 1;
    }
    const char* names[] = {"START", "STOP", "STEP"};
    Real values[3] = {};
    for (std::size_t k = 0; k < parts.size(); ++k) {
        const auto value = parse_field_real(parts[k]);
        if (!value)
            return Result<SweepRange>::failure(std::string(names[k]) + " '" + std::string(parts[k]) +
                                               "' is not a valid number");
        values[k] = *value;
    }
    const SweepRange range{values[0], values[1], values[2]};
    if (const Result<int> count = sweep_point_count(range); !count)
        return count.status();
    return range;
}

Result<SweepRequest> parse_sweep_request(std::string_view text) {
    const std::size_t eq = text.rfind('=');
    if (eq == std::string_view::npos || eq == 0)
        return Result<SweepRequest>::failure("CONDUCTOR=START:STOP:STEP is needed, not '" +
                                             std::string(text) + "'");
    const Result<SweepRange> range = parse_sweep_range(text.substr(eq + 1));
    if (!range)
        return range.status();
    return SweepRequest{std::string(text.substr(0, eq)), *range};
}

} // namespace ambrel
