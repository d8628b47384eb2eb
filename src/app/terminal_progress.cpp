// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/terminal_progress.h"

#include <algorithm>
#include <sys/ioctl.h>
#include <unistd.h>

namespace ambrel {

namespace {
// An action is shown once it has run this long, and redrawn this often.
constexpr auto FIRST_DRAW = std::chrono::milliseconds(500);
constexpr auto REDRAW = std::chrono::milliseconds(100);
// Clears from the cursor to the end of the line.
constexpr const char* CLEAR_TO_END = "\033[K";
} // namespace

namespace {
// "[####      ]": `filled` of `width` characters.
std::string bar_of(int filled, int width) {
    std::string bar(static_cast<std::size_t>(width) + 2, ' ');
    bar.front() = '[';
    bar.back() = ']';
    std::fill_n(bar.begin() + 1, std::clamp(filled, 0, width), '#');
    return bar;
}
} // namespace

std::string progress_bar(int done, int count, int width) {
    const int filled =
        count > 0 ? static_cast<int>(static_cast<long long>(std::clamp(done, 0, count)) * width / count)
                  : width;
    std::string text = bar_of(filled, width);
    text.append(" ").append(std::to_string(done)).append("/").append(std::to_string(count));
    return text;
}

bool TerminalProgress::on_terminal(std::FILE* err) {
    return ::isatty(::fileno(err)) != 0;
}

TerminalProgress::TerminalProgress(std::FILE* out, std::FILE* err, bool enabled)
    : out_(out), err_(err), enabled_(enabled) {
    if (enabled_)
        ticker_ = std::thread([this] { tick(); });
}

TerminalProgress::~TerminalProgress() {
    if (!enabled_)
        return;
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        erase_locked();
    }
    wake_.notify_all();
    ticker_.join();
}

void TerminalProgress::begin(std::string label) {
    if (!enabled_)
        return;
    std::lock_guard lock(mutex_);
    erase_locked();
    active_ = true;
    label_ = std::move(label);
    text_.clear();
    fraction_ = -1;
    started_ = Clock::now();
}

void TerminalProgress::set_text(std::string text) {
    if (!enabled_)
        return;
    std::lock_guard lock(mutex_);
    text_ = std::move(text);
}

void TerminalProgress::set_fraction(double done) {
    if (!enabled_)
        return;
    std::lock_guard lock(mutex_);
    fraction_ = done;
}

void TerminalProgress::end() {
    if (!enabled_)
        return;
    std::lock_guard lock(mutex_);
    active_ = false;
    erase_locked();
}

void draw_progress_bar(std::FILE* err, const std::string& label, int done, int count) {
    std::fprintf(err, "\r%s %s", label.c_str(), progress_bar(done, count).c_str());
    if (done >= count)
        std::fputc('\n', err);
    std::fflush(err);
}

void TerminalProgress::draw_bar(const std::string& label, int done, int count) {
    if (!enabled_)
        return;
    std::lock_guard lock(mutex_);
    std::fflush(out_);
    draw_progress_bar(err_, label, done, count);
}

void TerminalProgress::write_message(std::string_view line) {
    std::unique_lock lock(mutex_, std::defer_lock);
    if (enabled_) {
        lock.lock();
        erase_locked();
    }
    std::fflush(out_);
    std::fwrite(line.data(), 1, line.size(), err_);
    std::fputc('\n', err_);
}

void TerminalProgress::write_line(std::string_view line) {
    if (!enabled_) {
        std::fwrite(line.data(), 1, line.size(), out_);
        std::fputc('\n', out_);
        return;
    }
    std::lock_guard lock(mutex_);
    erase_locked();
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fputc('\n', out_);
}

void TerminalProgress::tick() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
        wake_.wait_for(lock, REDRAW);
        if (!quit_ && active_ && Clock::now() - started_ >= FIRST_DRAW)
            draw_locked();
    }
}

void TerminalProgress::draw_locked() {
    // What the output holds goes first: a line of it never lands after the status.
    std::fflush(out_);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started_).count();
    std::string line = label_;
    line.append(" (").append(std::to_string(seconds)).append(" s)");
    if (fraction_ >= 0) {
        constexpr int width = 30;
        const double done = std::clamp(fraction_, 0.0, 1.0);
        line.append(" ").append(bar_of(static_cast<int>(done * width), width));
        line.append(" ").append(std::to_string(static_cast<int>(done * 100))).append("%");
    }
    if (!text_.empty())
        line.append(fraction_ >= 0 ? ", " : ": ").append(text_);
    // A line longer than the terminal would wrap, and the next redraw would start on its last row.
    winsize size{};
    const std::size_t columns =
        ::ioctl(::fileno(err_), TIOCGWINSZ, &size) == 0 && size.ws_col > 1 ? size.ws_col : 80;
    if (line.size() >= columns)
        line.resize(columns - 1);
    std::fprintf(err_, "\r%s%s", line.c_str(), CLEAR_TO_END);
    std::fflush(err_);
    drawn_ = true;
}

void TerminalProgress::erase_locked() {
    if (!drawn_)
        return;
    std::fprintf(err_, "\r%s", CLEAR_TO_END);
    std::fflush(err_);
    drawn_ = false;
}

} // namespace ambrel
