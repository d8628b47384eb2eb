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

// Balls of 3 mm and 0.1 g hanging on 10 cm strings from a 1 cm grid of rows x columns: all at
// 3 kV, or (isolated_rows) rows held at 1000 V and -300 V alternating with rows of two isolated
// conductors of 0.6 nC and -0.15 nC. Large enough for warm starts and the parallel paths.
inline std::vector<std::string> hanging_balls(int rows, int columns, bool isolated_rows) {
    std::vector<std::string> lines;
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j) {
            const std::string conductor =
                !isolated_rows ? "all" : (i % 2 == 0 ? "held" : "free") + std::to_string(i % 4 / 2);
            lines.push_back("Bb" + std::to_string(i * columns + j + 1) + " " + conductor + " " +
                            std::to_string(j) + " " + std::to_string(i) + " 0 10 0 0 0.3 0.1");
        }
    if (isolated_rows)
        for (const char* line : {".V held0 1000", ".V held1 -300", ".Q free0 0.6", ".Q free1 -0.15"})
            lines.emplace_back(line);
    else
        lines.emplace_back(".V all 3000");
    return lines;
}

} // namespace ambrel::testing_support
