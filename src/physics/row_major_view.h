// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Row-major matrices in flat storage: entry (row, col), 0-based, of a matrix whose rows are ld
// entries apart is at row * ld + col. at() is that index; RowMajorView names a matrix by its
// storage and shape so that its entries read as m(r, c).
#pragma once

#include <cstddef>
#include <vector>

namespace ambrel {

// The index of entry (row, col) of a row-major matrix of leading dimension ld.
inline std::size_t at(int row, int col, int ld) {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(ld) + static_cast<std::size_t>(col);
}

// rows x cols entries at `data`, row by row (leading dimension cols); the view does not own them.
// T is const for a matrix that is only read.
template <typename T> class RowMajorView {
  public:
    RowMajorView(T* data, int rows, int cols) : data_(data), rows_(rows), cols_(cols) {}
    // The whole of a vector of rows * cols entries.
    template <typename U>
    RowMajorView(std::vector<U>& v, int rows, int cols) : RowMajorView(v.data(), rows, cols) {}
    template <typename U>
    RowMajorView(const std::vector<U>& v, int rows, int cols) : RowMajorView(v.data(), rows, cols) {}

    T& operator()(int row, int col) const { return data_[at(row, col, cols_)]; }
    T* row(int r) const { return data_ + at(r, 0, cols_); }
    int rows() const { return rows_; }
    int cols() const { return cols_; }
    T* data() const { return data_; }

  private:
    T* data_;
    int rows_, cols_;
};

template <typename U> RowMajorView(std::vector<U>&, int, int) -> RowMajorView<U>;
template <typename U> RowMajorView(const std::vector<U>&, int, int) -> RowMajorView<const U>;

} // namespace ambrel
