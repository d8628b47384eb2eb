// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// A square pattern of n x n cells that gives the occupied cells of the X, Y and Z shapes.
// A cell holding a lower-case "x" is occupied. Rows and cells are 1-based.
#pragma once

#include <array>
#include <string_view>

namespace ambrel {

class ShapePattern {
  public:
    static constexpr int MAX_SIZE = 15;

    explicit ShapePattern(int n);
    int size() const { return n_; }
    char cell(int row, int col) const { return cells_[row - 1][col - 1]; }
    void set_cell(int row, int col, char c) { cells_[row - 1][col - 1] = c; }
    bool occupied(int row, int col) const { return cell(row, col) == 'x'; }
    // Sets a whole row from text; cells beyond the text keep their contents.
    void set_row(int row, std::string_view text);
    int count_occupied() const;

  private:
    int n_;
    std::array<std::array<char, MAX_SIZE>, MAX_SIZE> cells_{};
};

ShapePattern default_shape_pattern_5();
ShapePattern default_shape_pattern_10();
ShapePattern default_shape_pattern_15();

} // namespace ambrel
