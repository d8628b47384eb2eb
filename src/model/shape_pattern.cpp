// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/shape_pattern.h"

namespace ambrel {

ShapePattern::ShapePattern(int n) : n_(n) {
    for (auto& row : cells_)
        row.fill('.');
}

void ShapePattern::set_row(int row, std::string_view text) {
    for (int col = 1; col <= n_ && col <= static_cast<int>(text.size()); ++col)
        set_cell(row, col, text[col - 1]);
}

int ShapePattern::count_occupied() const {
    int count = 0;
    for (int row = 1; row <= n_; ++row)
        for (int col = 1; col <= n_; ++col)
            count += occupied(row, col) ? 1 : 0;
    return count;
}

ShapePattern default_shape_pattern_5() {
    ShapePattern p(5);
    p.set_row(1, "x...x");
    p.set_row(2, ".x.x.");
    p.set_row(3, "..x..");
    p.set_row(4, ".x.x.");
    p.set_row(5, "x...x");
    return p;
}

ShapePattern default_shape_pattern_10() {
    ShapePattern p(10);
    p.set_row(1, "x........x");
    p.set_row(2, ".x......x.");
    for (int row = 3; row <= 8; ++row)
        p.set_row(row, "..xxxxxx..");
    p.set_row(9, ".x......x.");
    p.set_row(10, "x........x");
    return p;
}

ShapePattern default_shape_pattern_15() {
    ShapePattern p(15);
    for (int row = 1; row <= 15; ++row)
        p.set_row(row, "xxxxxxxxxxxxxxx");
    return p;
}

} // namespace ambrel
