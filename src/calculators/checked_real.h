// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Extended-precision arithmetic that stops at the first invalid operation, as the calculators
// need it: a square root of a negative number or 0/0 is an invalid operation, a finite value
// divided by zero a division by zero, and a result beyond the range an overflow. Each
// operation checks its operands or its result and throws FloatingPointFault, which the
// calculator entry points turn into the error text for the user. Nothing depends on the
// hardware's floating-point traps.
#pragma once

#include "model/status.h"
#include "model/types.h"

#include <cmath>
#include <string>
#include <string_view>
#include <utility>

namespace ambrel::calc {

inline constexpr std::string_view INVALID_OPERATION_TEXT = "Invalid floating point operation";
inline constexpr std::string_view DIVISION_BY_ZERO_TEXT = "Floating point division by zero";
inline constexpr std::string_view OVERFLOW_TEXT = "Floating point overflow";

// Thrown by the checked operations; carries the user's error text.
struct FloatingPointFault {
    std::string_view message;
};

[[noreturn]] inline void fail(std::string_view message) {
    throw FloatingPointFault{message};
}

class CReal {
  public:
    // A non-finite operand (a value that was never checked) is an invalid operation.
    // Implicit, so that the formulas can be written with plain numbers.
    CReal(Real value) : v_(value) {
        if (!std::isfinite(value))
            fail(INVALID_OPERATION_TEXT);
    }
    Real value() const { return v_; }

    friend CReal operator+(CReal a, CReal b) { return checked_result(a.v_ + b.v_); }
    friend CReal operator-(CReal a, CReal b) { return checked_result(a.v_ - b.v_); }
    friend CReal operator*(CReal a, CReal b) { return checked_result(a.v_ * b.v_); }
    friend CReal operator/(CReal a, CReal b) {
        if (b.v_ == 0)
            fail(a.v_ == 0 ? INVALID_OPERATION_TEXT : DIVISION_BY_ZERO_TEXT);
        return checked_result(a.v_ / b.v_);
    }
    CReal operator-() const { return CReal(-v_); }

    friend bool operator<(CReal a, CReal b) { return a.v_ < b.v_; }
    friend bool operator<=(CReal a, CReal b) { return a.v_ <= b.v_; }
    friend bool operator>(CReal a, CReal b) { return a.v_ > b.v_; }
    friend bool operator>=(CReal a, CReal b) { return a.v_ >= b.v_; }

  private:
    static CReal checked_result(Real r) {
        if (!std::isfinite(r))
            fail(OVERFLOW_TEXT);
        return CReal(r);
    }
    Real v_;
};

inline CReal sqrt(CReal a) {
    if (a.value() < 0)
        fail(INVALID_OPERATION_TEXT);
    return CReal(std::sqrt(a.value()));
}

inline CReal sqr(CReal a) {
    return a * a;
}

// a^n for a small positive n, by repeated multiplication so that each step is checked.
inline CReal power(CReal a, int n) {
    CReal result = a;
    for (int i = 1; i < n; ++i)
        result = result * a;
    return result;
}

inline CReal sin(CReal a) {
    return CReal(std::sin(a.value()));
}
inline CReal cos(CReal a) {
    return CReal(std::cos(a.value()));
}
inline CReal arctan(CReal a) {
    return CReal(std::atan(a.value()));
}

inline CReal ln(CReal a) {
    if (a.value() < 0)
        fail(INVALID_OPERATION_TEXT);
    if (a.value() == 0)
        fail(DIVISION_BY_ZERO_TEXT);
    return CReal(std::log(a.value()));
}

// The value as a double variable holds it: rounded to double precision, an overflow when it
// does not fit.
inline CReal hold_double(CReal a) {
    const double d = static_cast<double>(a.value());
    if (!std::isfinite(d))
        fail(OVERFLOW_TEXT);
    return CReal(static_cast<Real>(d));
}

// Runs a calculation; a floating-point fault inside it becomes the failed result.
template <class Body> Status run_checked(Body&& body) {
    try {
        std::forward<Body>(body)();
    } catch (const FloatingPointFault& fault) {
        return Status::failure(std::string(fault.message));
    }
    return Status::success();
}

} // namespace ambrel::calc
