// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The session: its flags and random numbers, evaluations as functions of the model alone, and
// the messages a session gives once per reading.
#include "../support/test_system.h"
#include "physics/evaluation.h"
#include "solver/equilibrium.h"
#include "solver/jacobian.h"
#include "solver/relaxation.h"

#include <gtest/gtest.h>

namespace ambrel {
namespace {

using testing_support::jacobian_with_report;
using testing_support::TestSystem;

// A cube on a string beside a ball on a string and a fixed ball, on two conductors.
const std::vector<std::string> MIXED{"Ccube A 0 0 0 10 20 25 1 8", "Bb B 4 0 0 10 180 20 1 1",
                                     "Bf A 0 4 -9 0 0 0 0.5 1", ".V A 5000", ".V B -2000"};

TEST(Session, FlagsAtStart) {
    NullSink sink;
    Session session(sink);
    EXPECT_FALSE(session.system_initialized || session.stop_requested());
    EXPECT_FALSE(session.evaluation.forces_valid);
    EXPECT_EQ(session.model.sphere_count + session.model.object_count + session.model.conductor_count, 0);
    EXPECT_EQ(&session.sink(), &sink);
    VectorSink other;
    session.set_sink(other);
    session.add_output_line("to the other sink");
    EXPECT_EQ(other.lines, std::vector<std::string>{"to the other sink"});
}

TEST(Session, UniformNumbersStayInHalfOpenIntervalAndRepeatInEverySession) {
    NullSink sink;
    Session a(sink), b(sink);
    for (int i = 0; i < 1000; ++i) {
        Real u = a.next_uniform();
        ASSERT_GE(u, 0);
        ASSERT_LT(u, 1);
        ASSERT_EQ(u, b.next_uniform()); // a fixed seed: the same sequence at every start
    }
}

TEST(PureEvaluation, TwoSessionsReadingTheSameDescriptionAgreeToTheBit) {
    TestSystem first, second;
    first.init(MIXED);
    second.init(MIXED);
    ASSERT_EQ(first.model().sphere_count, 10);
    EXPECT_EQ(first.ev().total_capacitance, second.ev().total_capacitance);
    for (int i = 1; i <= 10; ++i) {
        EXPECT_EQ(first.Q(i), second.Q(i)) << i;
        EXPECT_EQ(first.frx(i), second.frx(i)) << i;
        EXPECT_EQ(first.frz(i), second.frz(i)) << i;
    }
    EXPECT_NE(first.Q(9), 0);
    EXPECT_EQ(first.sink.lines, second.sink.lines);
}

TEST(PureEvaluation, ACopyEvaluatesAloneAndAWorkspaceCarriesNothingOver) {
    TestSystem sys;
    sys.init(MIXED);
    const SystemModel before = sys.model();
    const Evaluation ev_before = sys.ev();

    // Turning and evaluating a copy leaves the session's model and evaluation as they were.
    SystemModel copy = sys.model();
    copy.objects[1].Az += 0.2L;
    copy.objects[2].Ax -= 0.3L;
    EvaluationWorkspace ws;
    Evaluation ev;
    evaluate(copy, sys.options(), ws, ev);
    EXPECT_NE(copy.spheres[3].x, before.spheres[3].x);
    EXPECT_NE(ev.Q[9], ev_before.Q[9]);
    for (int i = 1; i <= 10; ++i) {
        EXPECT_EQ(sys.s(i).x, before.spheres[i].x) << i;
        EXPECT_EQ(sys.s(i).z0, before.spheres[i].z0) << i;
        EXPECT_EQ(sys.Q(i), ev_before.Q[i]) << i;
        EXPECT_EQ(sys.frz(i), ev_before.frz[i]) << i;
    }
    EXPECT_EQ(sys.o(1).Az, before.objects[1].Az);

    // The same model evaluated with a workspace that served another system in between, and into
    // an evaluation that held other results, gives the session's results exactly.
    SystemModel same = before;
    evaluate(same, sys.options(), ws, ev);
    for (int i = 1; i <= 10; ++i) {
        EXPECT_EQ(ev.Q[i], ev_before.Q[i]) << i;
        EXPECT_EQ(ev.frx[i], ev_before.frx[i]) << i;
        EXPECT_EQ(ev.fz[i], ev_before.fz[i]) << i;
    }
    EXPECT_EQ(ev.total_capacitance, ev_before.total_capacitance);
    EXPECT_EQ(ev.density_max, ev_before.density_max);
}

TEST(PureEvaluation, ASmallerSystemAfterALargerOneInTheSameWorkspace) {
    TestSystem big, small;
    big.init(MIXED);
    ASSERT_NE(big.Q(3), 0);
    // Read a smaller system into the big session: its tables keep the larger system's entries,
    // and sphere 3, charged before, now has no radius.
    const std::vector<std::string> small_lines{"Ba A 0 0 0 10 0 10 1 1", "Bb A 3 0 0 10 0 10 1 1",
                                               "Bz A 0 3 0 10 0 10 0 1", ".V A 1000"};
    big.init(small_lines);
    small.init(small_lines);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(big.Q(i), small.Q(i)) << i;
        EXPECT_EQ(big.frz(i), small.frz(i)) << i;
    }
    EXPECT_EQ(big.Q(3), 0);
    EXPECT_EQ(big.ev().total_capacitance, small.ev().total_capacitance);
}

TEST(OncePerReading, TheUnchargedSphereIsNamedOnceWhateverFollows) {
    const std::string line = "Sphere 2 (Bz) has no positive radius or position: it is taken as uncharged";
    TestSystem sys;
    const std::vector<std::string> description{"Ba A 0 0 0 10 0 30 1 1", "Bz A 5 0 0 10 0 0 0 1",
                                               "Bc A -3 0 -9 0 0 0 1 1", ".V A 3000"};
    sys.init(description);
    EXPECT_EQ(sys.count(line), 1);
    EXPECT_EQ(sys.ev().diagnostics.uncharged, std::vector<int>{2});

    // Neither the steps of a run, nor its final reports, nor the Jacobian's evaluations of a
    // copy of the model name it again.
    RelaxationSettings settings;
    settings.max_steps = 4;
    run_calculate(sys.session, settings);
    sys.session.evaluate();
    jacobian_with_report(sys.session, {});
    EXPECT_EQ(sys.count(line), 1);
    EXPECT_EQ(sys.ev().diagnostics.uncharged, std::vector<int>{2}); // still computed every time

    // A new reading names it again, once.
    sys.init(description);
    EXPECT_EQ(sys.count(line), 1);
    sys.session.evaluate();
    EXPECT_EQ(sys.count(line), 1);
}

TEST(OncePerReading, OtherDiagnosticsAreRepeatedAtEveryEvaluation) {
    TestSystem sys;
    sys.init({"Ssq A 0 0 0 0 0 0 0.5 1", "Ssq B 0 0 1 0 0 0 0.5 1", ".V A 1"});
    const auto plate_lines = [&] {
        long n = 0;
        for (const auto& l : sys.sink.lines)
            n += l.rfind("Balls were considered as aligned flat plates 25 times", 0) == 0 ? 1 : 0;
        return n;
    };
    EXPECT_EQ(plate_lines(), 1);
    sys.session.evaluate();
    EXPECT_EQ(plate_lines(), 2);
}

// One Jacobian, or one Find equilibrium, evaluates many states whose diagnostics say the same: each
// distinct line is written once, with the number of evaluations that gave it, and those numbers
// add up to the evaluations that wrote it (the update law's columns).
TEST(OncePerCommand, RepeatedDiagnosticsAreWrittenOnceWithTheirCount) {
    TestSystem sys;
    // Two fixed plates one above the other (every column's evaluation keeps some of their spheres
    // aligned) and two balls on strings.
    sys.init({"Ssq A 0 0 0 0 0 0 0.5 1", "Ssq B 0 0 1 0 0 0 0.5 1", "Bb B 5 0 0 10 0 20 0.5 0.1",
              "Bc A -5 0 0 10 0 20 0.5 0.1", ".V A 1000"});
    const auto diagnostics = [&] {
        std::vector<std::pair<std::string, int>> lines; // each line without its count, and the count
        for (const std::string& l : sys.sink.lines) {
            if (l.rfind("Balls were considered as aligned flat plates", 0) != 0)
                continue;
            const std::size_t in = l.find(" (in ");
            lines.emplace_back(l.substr(0, in), in == std::string::npos ? 1 : std::stoi(l.substr(in + 5)));
            if (in != std::string::npos) {
                EXPECT_EQ(l.substr(l.size() - 13), " evaluations)") << l;
            }
        }
        return lines;
    };
    sys.sink.lines.clear();
    const JacobianResult jacobian = jacobian_with_report(sys.session, {});
    ASSERT_TRUE(jacobian.computed);
    const auto once = diagnostics();
    int evaluations = 0;
    for (std::size_t i = 0; i < once.size(); ++i) {
        evaluations += once[i].second;
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_NE(once[i].first, once[j].first);
    }
    EXPECT_EQ(evaluations, 2 * sys.model().object_count); // every column's evaluation has its plates
    EXPECT_LT(once.size(), 8u);
    // Before the matrix, as the evaluations' own lines were.
    const auto matrix = std::find_if(sys.sink.lines.begin(), sys.sink.lines.end(),
                                     [](const std::string& l) { return l.rfind("Jacobian matrix", 0) == 0; });
    ASSERT_NE(matrix, sys.sink.lines.end());
    EXPECT_EQ(matrix[-1].rfind("Balls were considered as aligned flat plates", 0), 0u);

    // Find equilibrium: its iterations' evaluations alike, said together before its final reports
    // (which evaluate once more and say theirs on their own).
    sys.sink.lines.clear();
    find_equilibrium(sys.session, equilibrium_settings(RelaxationSettings{}));
    auto line = std::find(sys.sink.lines.begin(), sys.sink.lines.end(), "Finding the equilibrium...");
    ASSERT_NE(line, sys.sink.lines.end());
    std::vector<std::string> said;
    while (++line != sys.sink.lines.end() && line->rfind("Balls were considered", 0) == 0)
        said.push_back(*line);
    // The last is the final reports' own.
    ASSERT_GE(said.size(), 2u);
    EXPECT_NE(said.front().find(" evaluations)"), std::string::npos) << said.front();
    EXPECT_EQ(said.back().find(" (in "), std::string::npos) << said.back();
    said.pop_back();
    for (std::size_t i = 0; i < said.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_NE(said[i].substr(0, said[i].find(" (in ")), said[j].substr(0, said[j].find(" (in ")));
    // A tally inside another (a Jacobian of Find equilibrium) leaves the writing to the outer one.
    sys.sink.lines.clear();
    {
        const Session::DiagnosticTally outer(sys.session);
        {
            const Session::DiagnosticTally inner(sys.session);
            sys.session.evaluate();
        }
        EXPECT_TRUE(sys.sink.lines.empty());
        sys.session.evaluate();
    }
    EXPECT_EQ(sys.sink.lines, std::vector<std::string>{"Balls were considered as aligned flat plates 25 "
                                                       "times  (Last cte=  0.199337958) (in 2 evaluations)"});
}

// A reading stopped by an unknown element leaves no sphere: no object may be reported, moved or
// listed afterwards.
TEST(StoppedReading, LeavesNothingToReportOrMove) {
    TestSystem sys;
    sys.init({"Bb all 0 0 0 10 0 30 1 1", "Kbad"});
    ASSERT_EQ(sys.model().sphere_count, 0);
    for (const auto& l : sys.sink.lines) {
        EXPECT_NE(l.rfind("Ax[", 0), 0u) << l;
        EXPECT_NE(l.rfind("[1]: Frx=", 0), 0u) << l;
    }
    RelaxationSettings settings;
    settings.max_steps = 2;
    const auto result = run_calculate(sys.session, settings);
    EXPECT_NE(result.end, RunEnd::TooLargeAngles);
    EXPECT_FALSE(sys.said("Too large angles. The system may be unstable"));
}

} // namespace
} // namespace ambrel
