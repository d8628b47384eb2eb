// A session whose output lines are collected, for the core tests, with short accessors to its
// model and its last evaluation.
#pragma once

#include "description/reader.h"
#include "model/output_sink.h"
#include "model/system_model.h"
#include "model/units.h"
#include "session/session.h"
#include "solver/initialize.h"

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

    TestSystem() { session.set_stop_token(stop.token()); }

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

// Relative difference of two reals.
inline Real rel(Real a, Real b) {
    return std::fabs(a - b) / std::max(std::fabs(a), std::fabs(b));
}

} // namespace ambrel::testing_support
