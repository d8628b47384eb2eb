// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// What a long command of ambrel-batch is doing, on standard error when that is a terminal: a
// progress bar drawn as the command goes (studies, sweeps), or a status line that a thread of its
// own draws once an action has run for half a second and redraws ten times a second (Initialize,
// Capacitances, Calculate, Find equilibrium, the Jacobian), erased when the action ends. Lines of
// the output written meanwhile (through write_line) push it out of the way; it comes back at the
// next redraw. Without a terminal nothing is drawn and no thread runs.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace ambrel {

// "[#####     ] 12/40": a bar of `width` characters for `done` of `count`.
std::string progress_bar(int done, int count, int width = 40);
// Draws "\rLABEL [###   ] done/count" on `err`, ended by a line end when done reaches count: the bar
// of work that reports its own steps (studies, sweeps).
void draw_progress_bar(std::FILE* err, const std::string& label, int done, int count);

class TerminalProgress {
  public:
    // `enabled`: draw at all (false when standard error is no terminal; see on_terminal).
    TerminalProgress(std::FILE* out, std::FILE* err, bool enabled);
    ~TerminalProgress();
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    static bool on_terminal(std::FILE* err);
    bool enabled() const { return enabled_; }

    // An action begins: its label, its clock from now; no text and no bar yet.
    void begin(std::string label);
    // What the action is doing now, after its label.
    void set_text(std::string text);
    // The share of the action done (0 to 1), drawn as a bar; negative: none.
    void set_fraction(double done);
    // The action ended: the line is erased and nothing is drawn until the next begin.
    void end();

    // A bar drawn at once, for work that reports its own steps: "\rLABEL [###   ] done/count",
    // ended by a line end when done reaches count.
    void draw_bar(const std::string& label, int done, int count);

    // A line of the command's output on `out`, with the status line out of the way.
    void write_line(std::string_view line);
    // A message line on `err` (after what `out` holds), with the status line out of the way.
    void write_message(std::string_view line);

  private:
    using Clock = std::chrono::steady_clock;
    void tick();
    void draw_locked();
    void erase_locked();

    std::FILE* out_;
    std::FILE* err_;
    const bool enabled_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread ticker_;
    bool quit_ = false;
    bool active_ = false; // an action runs
    bool drawn_ = false;  // the status line is on the terminal
    std::string label_, text_;
    double fraction_ = -1;
    Clock::time_point started_;
};

} // namespace ambrel
