// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The one convention of the core's fallible operations: a Status says whether the operation
// succeeded and, when it did not, carries the message for the user (the exact text a window
// shows in its error box or the command line prints). A Result<T> carries a value or such a
// message. Faults that the user sees in the output panel as report lines are not failures:
// they are part of the report.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace ambrel {

class Status {
  public:
    static Status success() { return Status(); }
    static Status failure(std::string message) { return Status(std::move(message)); }

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    // Empty when the operation succeeded.
    const std::string& message() const { return message_; }

  private:
    Status() = default;
    explicit Status(std::string message) : failed_(true), message_(std::move(message)) {}

    bool failed_ = false;
    std::string message_;
};

template <typename T> class Result {
  public:
    Result(T value) : value_(std::move(value)) {}
    Result(Status failure) : message_(failure.message()) {}
    static Result failure(std::string message) { return Result(Status::failure(std::move(message))); }

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return *value_; }
    T& value() { return *value_; }
    const T& operator*() const { return *value_; }
    const T* operator->() const { return &*value_; }
    const std::string& message() const { return message_; }
    Status status() const { return ok() ? Status::success() : Status::failure(message_); }

  private:
    std::optional<T> value_;
    std::string message_;
};

} // namespace ambrel
