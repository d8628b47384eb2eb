// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// A session whose output lines are collected (written by report/'s text reporter, as the hosts
// install it), for the core tests, with short accessors to its model and its last evaluation.
#pragma once

#include "description/reader.h"
#include "model/output_sink.h"
#include "model/system_model.h"
#include "model/units.h"
#include "report/jacobian_report.h"
#include "report/run_report.h"
#include "session/session.h"
#include "solver/initialize.h"
#include "solver/jacobian.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace ambrel::testing_support {

// 4 pi epsilon_0 in F/m, typed here independently of the program's constant.
constexpr Real FOUR_PI_E0 = 1.11265005605356944e-10L;

struct TestSystem {
    VectorSink sink;
    Session session{sink};
    // The host's Stop: the tests request it from the observer's callbacks.
    StopSource stop;

    TestSystem() {
        session.set_stop_token(stop.token());
        session.set_reporter(text_reporter());
    }

    // Reads a description into the session's model only (no computation).
    Status read(const std::vector<std::string>& lines) {
        sink.lines.clear();
        return read_description(session.model, session.options, lines, sink);
    }
    // The whole Initialize command, output cleared first.
    InitializeResult init(const std::vector<std::string>& lines) {
        sink.lines.clear();
        return initialize_system(session, lines);
    }

    // Whether the output holds exactly this line, and how many times.
    bool said(const std::string& line) const { return count(line) > 0; }
    long count(const std::string& line) const {
        return std::count(sink.lines.begin(), sink.lines.end(), line);
    }

    SystemModel& model() { return session.model; }
    const SystemModel& model() const { return session.model; }
    Options& options() { return session.options; }
    Evaluation& ev() { return session.evaluation; }
    const Evaluation& ev() const { return session.evaluation; }

    const Sphere& s(int i) const { return session.model.spheres[i]; }
    Sphere& s(int i) { return session.model.spheres[i]; }
    // Object number k, and the object of sphere i.
    const Object& o(int k) const { return session.model.objects[k]; }
    Object& o(int k) { return session.model.objects[k]; }
    const Object& object_of(int i) const { return session.model.object_of(i); }

    Real Q(int i) const { return session.evaluation.Q[i]; }
    Real frx(int i) const { return session.evaluation.frx[i]; }
    Real frz(int i) const { return session.evaluation.frz[i]; }
};

// The Jacobian command as the hosts run it: computed, then its report written to the session's
// sink as `print` says.
inline JacobianResult jacobian_with_report(Session& session, const JacobianSettings& settings = {},
                                           const RunObserver& observer = {},
                                           const JacobianPrint& print = {}) {
    JacobianResult result = compute_jacobian(session, settings, observer);
    report_jacobian(session.sink(), result, print);
    return result;
}

// Relative difference of two reals.
inline Real rel(Real a, Real b) {
    return std::fabs(a - b) / std::max(std::fabs(a), std::fabs(b));
}

// A grid of balls of 3 mm and 0.1 g hanging on 10 cm strings, named Bb1, Bb2, ... in the order
// of their lines: all at 3 kV, or (isolated_rows) rows held at 1000 V and -300 V alternating with
// rows of two isolated conductors of 0.6 nC and -0.15 nC. Large enough for warm starts and the
// parallel paths. The coordinates of a grid whose spacing is a whole number of centimetres are
// written as whole numbers, the others with six decimals.
struct HangingBalls {
    int rows = 0, columns = 0;
    bool isolated_rows = false;
    double spacing = 1;      // cm between neighbours, along x between columns and along y between rows
    bool by_columns = false; // the balls numbered column by column, else row by row
    int turned_every = 0;    // every turned_every-th ball from the first starts at Ax 30, Az 8 degrees
    int moved_ball = -1;     // the ball (0-based, in the order of the lines) moved 0.7 cm towards -y

    std::vector<std::string> lines() const {
        const bool whole = spacing == std::trunc(spacing);
        auto centimetres = [&](double cm) {
            return whole && cm == std::trunc(cm) ? std::to_string(static_cast<long long>(cm))
                                                 : std::to_string(cm);
        };
        std::vector<std::string> lines;
        const int outer = by_columns ? columns : rows, inner = by_columns ? rows : columns;
        for (int i = 0; i < outer; ++i)
            for (int j = 0; j < inner; ++j) {
                const int k = i * inner + j;
                const int row = by_columns ? j : i, column = by_columns ? i : j;
                const std::string conductor =
                    !isolated_rows ? "all" : (row % 2 == 0 ? "held" : "free") + std::to_string(row % 4 / 2);
                const bool turned = turned_every > 0 && k % turned_every == 0;
                lines.push_back("Bb" + std::to_string(k + 1) + " " + conductor + " " +
                                centimetres(spacing * column) + " " +
                                centimetres(spacing * row + (k == moved_ball ? -0.7 : 0)) + " 0 10 " +
                                (turned ? "30 8" : "0 0") + " 0.3 0.1");
            }
        if (isolated_rows)
            for (const char* line : {".V held0 1000", ".V held1 -300", ".Q free0 0.6", ".Q free1 -0.15"})
                lines.emplace_back(line);
        else
            lines.emplace_back(".V all 3000");
        return lines;
    }
};

// rows x columns balls 1 cm apart, numbered row by row.
inline std::vector<std::string> hanging_balls(int rows, int columns, bool isolated_rows) {
    return HangingBalls{.rows = rows, .columns = columns, .isolated_rows = isolated_rows}.lines();
}

} // namespace ambrel::testing_support
