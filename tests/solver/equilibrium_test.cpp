// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Find equilibrium: where it ends against closed forms and against the relaxation, and how it
// ends when it cannot go on.
#include "../support/test_system.h"
#include "description/reader.h"
#include "model/units.h"
#include "solver/contact_rest.h"
#include "solver/equilibrium.h"
#include "solver/finder.h"
#include "solver/jacobian.h"
#include "solver/relaxation.h"
#include "solver/stability.h"
#include "text/number_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace ambrel {
namespace {

using testing_support::jacobian_with_report;
using testing_support::TestSystem;

struct System : TestSystem {
    std::vector<std::string> description;
    explicit System(std::vector<std::string> lines) : description(std::move(lines)) {}
    EquilibriumResult find(const EquilibriumSettings& settings = {}, const RunObserver& observer = {}) {
        read_if_needed(session, description, observer);
        return find_equilibrium(session, settings, observer);
    }
};

// Where the relaxation converges the finder ends at the same angles: the four balls, and an
// induced pair of isolated balls beside a held one (a fixed object, a conductor of fixed charge,
// and two balls that start touching, whose contact the relaxation's steps end first).
TEST(Equilibrium, EndsWhereTheRelaxationEnds) {
    const std::vector<std::vector<std::string>> cases{
        default_description(),
        {"Bsource held -5 0 -13.5 0 0 0 1 0.5", "Bnear pair -0.75 0 0 13.5 0 0 0.75 0.4",
         "Bfar pair 0.75 0 0 13.5 0 0 0.75 0.4", ".V held 5000", ".Q pair 0"}};
    for (const auto& description : cases) {
        System relaxed(description), found(description);
        RelaxationSettings rs;
        rs.max_steps = 20000;
        rs.force_error_uN = 1e-9L;
        ASSERT_EQ(relaxed.session.evaluation.Q.size(), 0u);
        read_if_needed(relaxed.session, description);
        ASSERT_EQ(run_calculate(relaxed.session, rs).end, RunEnd::Converged);
        EquilibriumSettings es;
        es.force_error_uN = 1e-9L;
        const EquilibriumResult r = found.find(es);
        ASSERT_EQ(r.end, RunEnd::Converged) << found.sink.lines.back();
        EXPECT_LT(r.error, 1e-15L);
        EXPECT_EQ(r.stability, Stability::Stable);
        for (int k = 1; k <= found.model().object_count; ++k) {
            EXPECT_NEAR(found.o(k).Ax, relaxed.o(k).Ax, 1e-6L) << k;
            EXPECT_NEAR(found.o(k).Az, relaxed.o(k).Az, 1e-6L) << k;
        }
        EXPECT_LT(r.evaluations, 100);
    }
}

// Two balls of charge q on strings of length L from one point hang at the half-angle t with
// q^2 / (4 pi e0 (2 L sin t)^2) = m g tan t, whatever they start from.
TEST(Equilibrium, TwoChargedBallsFromOnePointReachTheClosedFormAngle) {
    constexpr Real L = 0.1L, m = 1e-4L, q = 20e-9L;
    const Real k = q * q / testing_support::FOUR_PI_E0;
    Real t = 0.4L;
    for (int i = 0; i < 60; ++i) {
        const Real s = std::sin(t), c = std::cos(t);
        t -= (m * GRAVITY * s - k * c / (4 * L * L * s * s)) /
             (m * GRAVITY * c + k * (s * s + 2 * c * c) / (4 * L * L * s * s * s));
    }
    System sys({"Ba A 0 0 0 10 0 10 0.2 0.1", "Bb B 0 0 0 10 180 40 0.2 0.1", ".Q A 20", ".Q B 20"});
    EquilibriumSettings settings;
    settings.force_error_uN = 1e-9L;
    const EquilibriumResult r = sys.find(settings);
    ASSERT_EQ(r.end, RunEnd::Converged);
    EXPECT_NEAR(std::fabs(sys.o(1).Az), t, 1e-6L);
    EXPECT_NEAR(std::fabs(sys.o(2).Az), t, 1e-6L);
    // The strings in one vertical plane, on either side.
    EXPECT_NEAR(std::fabs(std::remainder(sys.o(1).Ax - sys.o(2).Ax, 2 * PI)), PI, 1e-6L);
    // The pair can turn freely about the vertical: no verdict at this accuracy.
    EXPECT_EQ(r.stability, Stability::Undecided);

    // Phase by phase from the rest state: the stop test asks for the verdict, whose Jacobian is no
    // iteration, and then ends the search.
    {
        EquilibriumResult again;
        Finder finder(sys.session, settings, {}, again);
        EXPECT_EQ(finder.stop_test(), std::nullopt);
        EXPECT_EQ(finder.phase(), FinderPhase::Verdict);
        finder.iterate();
        EXPECT_EQ(finder.phase(), FinderPhase::AtRest);
        EXPECT_EQ(again.iterations, 0);
        EXPECT_EQ(again.jacobians, 1);
        EXPECT_EQ(finder.stop_test(), RunEnd::Converged);
    }
    // A trust radius of a hundredth of the default's lengthens the way, to the same angle: the
    // tuning is the finder's.
    System careful({"Ba A 0 0 0 10 0 10 0.2 0.1", "Bb B 0 0 0 10 180 40 0.2 0.1", ".Q A 20", ".Q B 20"});
    EquilibriumSettings short_steps = settings;
    short_steps.tuning.start_radius = short_steps.tuning.max_radius = 0.005L;
    const EquilibriumResult c = careful.find(short_steps);
    ASSERT_EQ(c.end, RunEnd::Converged);
    EXPECT_GT(c.iterations, r.iterations + 10);
    EXPECT_NEAR(std::fabs(careful.o(1).Az), t, 1e-6L);

    // So at any voltage, at rest only to the default tolerance: the finder's verdict and the
    // Jacobian's after Calculate are the neutral one (a state 1e-4 uN from rest turns its own
    // velocity with the pair, and was called stable or unstable as its noise fell).
    for (int kv = 2; kv <= 20; kv += 2) {
        const std::vector<std::string> pair{"Ba all 0 0 0 10 0 20 0.2 0.1", "Bb all 0 0 0 10 180 20 0.2 0.1",
                                            ".V all " + std::to_string(kv * 1000)};
        System found(pair), relaxed(pair);
        const EquilibriumResult e = found.find();
        ASSERT_EQ(e.end, RunEnd::Converged) << kv;
        EXPECT_EQ(e.stability, Stability::Undecided) << kv << " kV: " << found.sink.lines.back();
        read_if_needed(relaxed.session, pair);
        RelaxationSettings rs;
        rs.max_steps = 20000;
        ASSERT_EQ(run_calculate(relaxed.session, rs).end, RunEnd::Converged) << kv;
        const JacobianResult j = jacobian_with_report(relaxed.session, {});
        EXPECT_EQ(j.stability, Stability::Undecided) << kv << " kV: " << relaxed.sink.lines.back();
    }
}

// A light ball hanging straight down beside a charged fixed ball feels a force across its string's
// plane, whose arm (and with it frx) vanishes there: it is not at rest. Calculate does not end at
// its first step, and the finder moves it to where the total force on it lies along its string
// (the force balance, from the force vector and the geometry alone).
TEST(Equilibrium, AStringHangingStraightDownIsNotAtRestUnderAForceAcrossIt) {
    const std::vector<std::string> beside{"Bfix src 0 20 -100 0 0 0 1 1",
                                          "Bball ball 0 0 0 100 0 0 0.5 0.00001", ".V src 500", ".V ball 0"};
    System relaxed(beside), found(beside);
    read_if_needed(relaxed.session, beside);
    EXPECT_GT(run_calculate(relaxed.session, {}).steps, 1);
    const EquilibriumResult r = found.find();
    ASSERT_EQ(r.end, RunEnd::Converged);
    EXPECT_EQ(r.stability, Stability::Stable);
    const Sphere& ball = found.model().spheres[2];
    const Evaluation& ev = found.session.evaluation;
    const Real ux = ball.x - ball.x0, uy = ball.y - ball.y0, uz = ball.z - ball.z0;
    const Real length = std::sqrt(ux * ux + uy * uy + uz * uz);
    const Real along = (ev.fx[2] * ux + ev.fy[2] * uy + ev.fz[2] * uz) / length;
    const Real across = std::sqrt(std::max<Real>(0, ev.f_abs[2] * ev.f_abs[2] - along * along));
    EXPECT_LT(across, 1e-10L);                     // N: the tolerance of 1e-4 uN
    EXPECT_GT(std::hypot(ux, uy), 1e-3L * length); // drawn well away from the vertical
}

// A ball started a degree from the top of its circle is near an unstable equilibrium: the finder
// leaves it and ends hanging straight down.
TEST(Equilibrium, AnUnstableStartEndsHangingDown) {
    System sys({"Ba A 0 0 0 10 0 179 1 1", ".V A 0"});
    const EquilibriumResult r = sys.find();
    ASSERT_EQ(r.end, RunEnd::Converged);
    EXPECT_NEAR(std::cos(sys.o(1).Az), 1, 1e-9L);
    EXPECT_EQ(r.stability, Stability::Stable);

    // A ball hanging straight down above two fixed balls, at a voltage just past the one where
    // its sideways mode turns unstable: that mode's eigenvalue (0.0013 1/s) is a thousandth of the
    // other's, but resolved beyond its error (8e-7). The search leaves the saddle, says so, and
    // rests a fifth of a degree to the side, where the state is stable.
    System weak({"Bfix1 all -1 0 -11.6 0 0 0 0.5 1", "Bfix2 all 1 0 -11.6 0 0 0 0.5 1",
                 "Btop all 0 0 0 10 0 0 0.5 0.5", ".V all 10901"});
    const EquilibriumResult w = weak.find();
    ASSERT_EQ(w.end, RunEnd::Converged);
    EXPECT_EQ(w.escapes, 1);
    EXPECT_EQ(w.stability, Stability::Stable);
    EXPECT_GT(std::fabs(weak.o(3).Az), 0.1L * PI / 180);
    EXPECT_TRUE(weak.said("On its way the search left 1 unstable state along its unstable mode."));
}

// The host's Stop ends the finder between iterations, and the iteration limit ends it too; both
// write the final reports and say that no equilibrium was found.
TEST(Equilibrium, StopAndTheIterationLimitEndIt) {
    System stopped(default_description());
    RunObserver observer;
    int iterations = 0;
    observer.step_done = [&](int iteration, Real) {
        iterations = iteration;
        if (iteration == 2)
            stopped.stop.request();
    };
    const EquilibriumResult r = stopped.find({}, observer);
    EXPECT_EQ(r.end, RunEnd::Stopped);
    EXPECT_EQ(iterations, 2);
    EXPECT_TRUE(stopped.said("Stopped before an equilibrium was found."));

    System limited(default_description());
    EquilibriumSettings settings;
    settings.max_iterations = 1;
    const EquilibriumResult l = limited.find(settings);
    EXPECT_EQ(l.end, RunEnd::StepLimit);
    EXPECT_EQ(l.iterations, 1);
    EXPECT_TRUE(limited.said("No equilibrium found within 1 iterations."));
    EXPECT_EQ(limited.sink.lines[limited.sink.lines.size() - 2].rfind("Iterations=1, evaluations=", 0), 0u);

    // Where nothing hangs (objects without strings) there is nothing to find: at rest as it is.
    System held({"Qtop top 0 0 0.1 0 0 0 1 1", "Bball ball 0 0 -1 0 0 0 0.5 1", ".V top 50", ".V ball -50"});
    const EquilibriumResult h = held.find();
    EXPECT_EQ(h.end, RunEnd::Converged);
    EXPECT_EQ(h.iterations, 0);
    EXPECT_EQ(held.sink.lines[held.sink.lines.size() - 2].rfind("Iterations=0, evaluations=0,", 0), 0u);
    EXPECT_EQ(held.sink.lines.back(), "No movable object: there are no eigenvalues to examine.");
    // Its Jacobian holds the movable objects alone: a ball beside more held balls than it could
    // hold movable ones is searched.
    std::vector<std::string> row{"Bball ball 0 0 0 10 0 5 0.5 0.1"};
    for (int k = 0; k <= MAX_JACOBIAN_OBJECTS; ++k)
        row.push_back("Bh" + std::to_string(k) + " held " + std::to_string(k % 40) + " " +
                      std::to_string(5 + k / 40) + " -10 0 0 0 0.1 0");
    row.insert(row.end(), {".V ball 0", ".V held 100"});
    EXPECT_EQ(System(row).find().end, RunEnd::Converged);

    // Two uncharged balls from one point press against each other: the model's contact force is a
    // fixed push, which bounces them apart and back for ever. The end says so, and gives the
    // physical rest: the balls touching, each string at asin(r / L), pressed with m g tan of it.
    System pressed({"Ba all 0 0 0 10 0 20 0.75 0.4", "Bb all 0 0 0 10 180 20 0.75 0.4", ".V all 0"});
    settings.max_iterations = 300;
    const EquilibriumResult p = pressed.find(settings);
    EXPECT_EQ(p.end, RunEnd::Contact);
    ASSERT_TRUE(p.contact_rest);
    EXPECT_EQ(describe_equilibrium_end(p), "At rest with spheres pressed together");
    const Real touching = std::asin(0.0075L * (1 + CONTACT_GAP) / 0.1L);
    EXPECT_NEAR(std::fabs(pressed.o(1).Az), touching, 1e-9L);
    EXPECT_NEAR(std::fabs(pressed.o(2).Az), touching, 1e-9L);
    EXPECT_EQ(pressed.sink.lines.back(),
              "Ba and Bb touch, pressed with " +
                  real_to_fixed_text(4e-4L * GRAVITY * std::tan(touching) * 1e6L, 0, 4) + " uN");
    // The four balls at 0 V press together in pairs that the last bounce did not show all of:
    // each pair a step would press joins the set, and the rest is found.
    std::vector<std::string> four = default_description();
    four.back() = ".V all 0";
    System cluster(four);
    const EquilibriumResult q = cluster.find();
    EXPECT_EQ(q.end, RunEnd::Contact);
    EXPECT_TRUE(q.contact_rest);
    // Lighter and larger, the push throws them round their suspension until the angles are out of
    // range: that end is "Too large angles", never the iteration limit (the angles brought back to
    // the form nearest the start hid it), and the force is the final state's.
    System thrown({"Ba all 0 0 0 10 0 20 1 0.1", "Bb all 0 0 0 10 180 20 1 0.1", ".V all 0"});
    settings.max_iterations = 100000;
    const EquilibriumResult t = thrown.find(settings);
    EXPECT_EQ(t.end, RunEnd::TooLargeAngles);
    EXPECT_LT(t.iterations, settings.max_iterations);
    EXPECT_TRUE(thrown.said("Too large angles. The system may be unstable"));
    EXPECT_EQ(t.error, max_object_rotational_force(thrown.model(), thrown.session.evaluation));
}

// A plate is at rest when the plate is: the finder's measure is each object's whole rotational
// force, as the rotational-force report writes it ([1-25]: Frz=...), not the 1/25 share of a sphere
// that Calculate's Error= shows; its line says which measure it is.
TEST(Equilibrium, ItsMeasureIsAnObjectsWholeRotationalForce) {
    System plate(
        {"Bsource held -3 0 -10 0 0 0 0.5 0.5", "Splate p 0 0 0 10 0 5 1 1", ".V held 5000", ".V p 0"});
    EquilibriumSettings settings;
    settings.max_iterations = 0;
    const EquilibriumResult r = plate.find(settings);
    const Object& o = plate.o(2);
    ASSERT_EQ(o.count, 25);
    const Real whole = 25 * std::max(std::fabs(plate.session.evaluation.frx[o.last()]),
                                     std::fabs(plate.session.evaluation.frz[o.last()]));
    ASSERT_GT(whole, 1e-6L); // the ball pulls the plate sideways
    EXPECT_NEAR(r.error, whole, 1e-12L * whole);
    EXPECT_NEAR(max_rotational_force(plate.model(), plate.session.evaluation) * 25, whole, 1e-12L * whole);
    const std::string line = plate.sink.lines[plate.sink.lines.size() - 2];
    EXPECT_EQ(line.rfind("Iterations=0, evaluations=0, largest rotational force of an object=" +
                             real_to_fixed_text(whole * 1e6L, 0, 6) + " uN",
                         0),
              0u)
        << line;
}

// The verdict of a large system takes its eigenvalues, and its step to rest, from LAPACK in double
// (the two spectra at once): they are those of the long double analysis, with the same errors.
TEST(Equilibrium, ALargeVerdictHasTheExactAnalysisNumbers) {
    std::vector<std::string> grid;
    for (int i = 0; i < 6; ++i)
        for (int j = 0; j < 6; ++j)
            grid.push_back("B" + std::to_string(i) + "_" + std::to_string(j) + " all " + std::to_string(i) +
                           " " + std::to_string(j) + " 0 10 0 0 0.3 0.1");
    grid.push_back(".V all 3000");
    System s(grid);
    EquilibriumSettings settings;
    settings.force_error_uN = 1e-3L; // at rest only to the tolerance: a step to rest to weigh
    ASSERT_EQ(s.find(settings).end, RunEnd::Converged);

    const StabilityChart chart = make_stability_chart(s.model(), s.options(), settings.time_step);
    const int m = static_cast<int>(chart.used_slots.size());
    ASSERT_EQ(m, 72);
    std::vector<ChartStep> steps;
    for (ChartStep step : plan_chart_steps(chart, 1e-4L))
        if (step.set == 0 || step.set == 1) {
            step.printed_column = 0;
            steps.push_back(step);
        }
    const MeasuredChartJacobians measured =
        measure_chart_jacobians(s.session, s.model(), chart, steps, {}, {}, 2);
    const ChartJacobians& charts = measured.jacobians;
    const Real noise =
        rounding_noise(chart, s.model(), s.session.evaluation, steps, PERTURBED_EVALUATION_ROUNDING);
    const StabilityAnalysis exact = analyse_stability(charts, noise, true, false);
    const StabilityAnalysis rough = analyse_stability(charts, noise, true, true);
    ASSERT_TRUE(exact.computed && rough.computed);
    ASSERT_EQ(rough.values.size(), exact.values.size());
    Real stiffest = 0, truncation = 0;
    for (const EigenvalueWithError& e : exact.values) {
        stiffest = std::max(stiffest, std::abs(e.value));
        truncation = std::max(truncation, e.truncation);
    }
    EXPECT_GT(truncation, 1e-9L * stiffest); // the two steps' spectra differ
    EXPECT_GT(exact.values.front().off_rest, 0);
    // Eigenvalues equal to the digits double resolves. The truncation of one is its distance to
    // the nearest unmatched eigenvalue at h/2, and near-degenerate ones (the grid's symmetry) pair
    // differently from rounding to rounding: their sizes agree, not each one.
    Real exact_sum = 0, rough_sum = 0;
    for (std::size_t k = 0; k < exact.values.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_LT(std::abs(rough.values[k].value - exact.values[k].value), 1e-9L * stiffest);
        EXPECT_NEAR(rough.values[k].off_rest, exact.values[k].off_rest, 1e-6L * exact.values[k].off_rest);
        exact_sum += exact.values[k].truncation;
        rough_sum += rough.values[k].truncation;
    }
    EXPECT_GT(rough_sum, exact_sum / 2);
    EXPECT_LT(rough_sum, exact_sum * 2);
    EXPECT_EQ(rough.verdict, exact.verdict);
}

} // namespace
} // namespace ambrel
