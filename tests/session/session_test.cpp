// The session: its flags and random numbers, evaluations as functions of the model alone, and
// the messages a session gives once per reading.
#include "../support/test_system.h"
#include "physics/evaluation.h"
#include "solver/jacobian.h"
#include "solver/relaxation.h"

#include <gtest/gtest.h>

namespace ambrel {
namespace {

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
    compute_jacobian(sys.session, {});
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
