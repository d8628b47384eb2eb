// How composite objects move: the Jacobian's columns and one or two steps of the relaxation,
// each against a computation of this file that places the spheres itself, gives them the masses
// the description means, and applies the step laws written out by hand.
#include "../support/rigid_turn.h"
#include "../support/test_system.h"
#include "physics/evaluation.h"
#include "solver/jacobian.h"
#include "solver/relaxation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace ambrel {
namespace {

using testing_support::TestSystem;

// Charges, forces and rotational forces of the model at its present angles, with the spheres
// placed by this file and each sphere's mass given by `mass` (kg).
Evaluation own_evaluation(SystemModel model, const Options& options, const std::function<Real(int)>& mass) {
    for (int i = 1; i <= model.sphere_count; ++i)
        model.spheres[i].m = mass(i);
    testing_support::place_spheres(model, options[Option::RotateObjects]);
    EvaluationWorkspace ws;
    Evaluation ev;
    compute_charges(model, options, ws, ev);
    compute_forces(model, ev);
    compute_rotational_forces(model, options, ev);
    return ev;
}

struct Case {
    std::string name;
    std::vector<std::string> description;
    bool rotate = true;
    std::function<Real(int)> mass; // kg, by sphere number
    // The mass of each object's step law (kg); 0 for a massless object.
    std::vector<Real> law_mass;
};

// The Jacobian's entry (row, column) is (dt / (2 m L)) (f(A + h e_column) - f(A)) / h with
// f = frx cosec Az or frz of the row's last sphere; a massless object takes 2e-5 kg / n for 2 m.
void expect_jacobian_matches_own_differences(const Case& c) {
    SCOPED_TRACE(c.name);
    TestSystem sys;
    sys.options().set(Option::RotateObjects, c.rotate);
    sys.init(c.description);
    const SystemModel& model = sys.model();
    const int objects = model.object_count;
    ASSERT_EQ(static_cast<int>(c.law_mass.size()), objects);
    JacobianSettings settings;
    const JacobianResult r = compute_jacobian(sys.session, settings);
    ASSERT_TRUE(r.computed);
    ASSERT_EQ(r.size, 2 * objects);

    const Real h = settings.angle_variation, dt = settings.time_step;
    const Evaluation base = own_evaluation(model, sys.options(), c.mass);
    std::vector<Real> mine(static_cast<std::size_t>(4 * objects * objects));
    Real largest = 0;
    for (int column = 1; column <= 2 * objects; ++column) {
        SystemModel turned = model;
        Object& moved = turned.objects[(column + 1) / 2];
        (column % 2 == 1 ? moved.Ax : moved.Az) += h;
        const Evaluation ev = own_evaluation(turned, sys.options(), c.mass);
        for (int k = 1; k <= objects; ++k) {
            const Object& row = turned.objects[k];
            const int i = row.last();
            const Real two_m = c.law_mass[k - 1] != 0 ? 2 * c.law_mass[k - 1] : 2e-5L / row.count;
            const Real K = dt / (two_m * row.L);
            mine[(2 * k - 2) * 2 * objects + column - 1] =
                (ev.frx[i] - base.frx[i]) / std::sin(row.Az) * K / h;
            mine[(2 * k - 1) * 2 * objects + column - 1] = (ev.frz[i] - base.frz[i]) * K / h;
        }
    }
    for (Real v : mine)
        largest = std::max(largest, std::fabs(v));
    ASSERT_GT(largest, 0);
    for (int row = 1; row <= 2 * objects; ++row)
        for (int column = 1; column <= 2 * objects; ++column)
            EXPECT_NEAR(r.entry(row, column), mine[(row - 1) * 2 * objects + column - 1], 1e-9L * largest)
                << "entry (" << row << ", " << column << ")";
    // Each column of the composite moves its own rows.
    EXPECT_GT(std::fabs(r.entry(1, 1)), 1e-6L * largest);
    EXPECT_GT(std::fabs(r.entry(2, 2)), 1e-6L * largest);
}

TEST(CompositeJacobian, TurnedCubeAllColumnsMatchOwnDifferences) {
    expect_jacobian_matches_own_differences(
        {"cube",
         {"Ccube A 0 0 0 10 20 25 1 8", "Bb B 4 0 0 10 180 20 1 1", ".V A 5000", ".V B -2000"},
         true,
         [](int i) { return i <= 8 ? 0.008L / 8 : 0.001L; },
         {0.001L, 0.001L}});
}

TEST(CompositeJacobian, CubeWithRotateObjectsOffMatchesOwnDifferences) {
    expect_jacobian_matches_own_differences(
        {"cube, not turned",
         {"Ccube A 0 0 0 10 20 25 1 8", "Bb B 4 0 0 10 180 20 1 1", ".V A 5000", ".V B -2000"},
         false,
         [](int i) { return i <= 8 ? 0.008L / 8 : 0.001L; },
         {0.001L, 0.001L}});
}

TEST(CompositeJacobian, FlatSquareAndMasslessPlaqueMatchOwnDifferences) {
    // A 5 x 5 square of 2.5 g (0.1 g a sphere) and a massless plaque of 13 spheres.
    expect_jacobian_matches_own_differences(
        {"square",
         {"Ssq A 0 0 0 10 30 20 1 2.5", "Bb B 3 2 -1 10 200 25 1 1", ".V A 4000", ".V B -3000"},
         true,
         [](int i) { return i <= 25 ? 0.0001L : 0.001L; },
         {0.0001L, 0.001L}});
    expect_jacobian_matches_own_differences(
        {"plaque",
         {"Fpl A 0 0 0 10 -40 30 1 0", "Bb B 3 -2 -1 10 150 25 1 1", ".V A 4000", ".V B -3000"},
         true,
         [](int i) { return i <= 13 ? 0 : 0.001L; },
         {0, 0.001L}});
}

TEST(CompositeJacobian, BallOnALineOfBallsMatchesOwnDifferences) {
    // The 19 line balls share the line's 0.19 g; the ball keeps its own 1 g and sets the law.
    expect_jacobian_matches_own_differences(
        {"ball with line",
         {"Hh A 0 0 0 10 20 25 1 1 0.1 0.19", "Bb B 4 0 -3 10 180 20 1 1", ".V A 5000", ".V B -2000"},
         true,
         [](int i) { return i <= 19 ? 0.19e-3L / 19 : 0.001L; },
         {0.001L, 0.001L}});
}

// One or two steps of a run on a massless composite next to a fixed charged ball, compared
// with the laws written out: the object moves as one body of 1e-5 kg (default law) or 1e-4 kg
// (time-domain law) under the sum of its spheres' rotational forces, with the whole damping.
struct MasslessComposite {
    TestSystem sys;
    std::vector<std::string> description;
    Real frx_total = 0, frz_total = 0, Ax0 = 0, Az0 = 0, L = 0;

    explicit MasslessComposite(std::vector<std::string> lines) : description(std::move(lines)) {
        sys.options().set(Option::ShowErrors, false);
        sys.init(description);
        const Object& o = sys.o(1);
        for (int i = o.first; i <= o.last(); ++i) {
            frx_total += sys.frx(i);
            frz_total += sys.frz(i);
        }
        Ax0 = o.Ax;
        Az0 = o.Az;
        L = o.L;
    }
    void run(int steps, Real damping = 0.01L) {
        RelaxationSettings settings;
        settings.max_steps = steps;
        settings.force_error_uN = 0;
        settings.damping = damping;
        run_calculate(sys.session, description, settings);
    }
};

const std::vector<std::string> MASSLESS_CUBE{"Ccube A 0 0 0 10 40 30 1 0", "Bb A 10 0 -8.66 0 0 0 1 1",
                                             ".V A 3000"};
const std::vector<std::string> MASSLESS_SQUARE{"Ssq A 0 0 0 10 -25 35 1 0", "Bb A 6 9 -8 0 0 0 1 1",
                                               ".V A 3000"};

TEST(CompositeSteps, MasslessCompositeTakesOneDefaultStepOfTheWholeBody) {
    for (const auto& lines : {MASSLESS_CUBE, MASSLESS_SQUARE}) {
        MasslessComposite c(lines);
        ASSERT_NE(c.frx_total, 0);
        ASSERT_NE(c.frz_total, 0);
        c.run(1);
        const Real K = 0.05L * 0.05L / (2e-5L * c.L);
        const Object& o = c.sys.o(1);
        EXPECT_NEAR(o.Ax, c.Ax0 + c.frx_total / std::sin(c.Az0) * K, 1e-12L) << lines[0];
        EXPECT_NEAR(o.Az, c.Az0 + c.frz_total * K, 1e-12L) << lines[0];
        EXPECT_GT(std::fabs(o.Ax - c.Ax0), 1e-6L) << lines[0];
    }
}

TEST(CompositeSteps, MasslessCompositeInTimeDomainUsesTheWholeBodysMassAndDamping) {
    for (const auto& lines : {MASSLESS_CUBE, MASSLESS_SQUARE}) {
        for (Real damping : {0.0L, 1e-4L}) {
            MasslessComposite c(lines);
            c.sys.options().set(Option::SpeedSimulation, true);
            c.run(2, damping);
            // Step 1 keeps the angles and gives the speeds; step 2 feels the same forces again.
            const Real dt = 0.05L, M = 1e-4L;
            const Real ax1 = dt / M * (c.frx_total / std::sin(c.Az0) / c.L);
            const Real az1 = dt / M * (c.frz_total / c.L);
            const Real ax2 = ax1 + dt / M * (c.frx_total / std::sin(c.Az0) / c.L - damping * ax1);
            const Real az2 = az1 + dt / M * (c.frz_total / c.L - damping * az1);
            const Object& o = c.sys.o(1);
            EXPECT_NEAR(o.Ax, c.Ax0 + dt * ax1, 1e-12L) << lines[0] << " damping " << damping;
            EXPECT_NEAR(o.Az, c.Az0 + dt * az1, 1e-12L) << lines[0] << " damping " << damping;
            EXPECT_NEAR(o.speed_Ax, ax2, 1e-10L * std::fabs(ax2)) << lines[0] << " damping " << damping;
            EXPECT_NEAR(o.speed_Az, az2, 1e-10L * std::fabs(az2)) << lines[0] << " damping " << damping;
        }
    }
}

// With a mass, the time-domain law of a composite divides both the mass and the damping over
// its spheres: the body of mass M under its total force and the whole damping.
TEST(CompositeSteps, HeavyCompositeInTimeDomainFeelsTheWholeDamping) {
    TestSystem sys;
    sys.options().set(Option::ShowErrors, false);
    sys.options().set(Option::SpeedSimulation, true);
    const std::vector<std::string> lines{"Ccube A 0 0 0 10 40 30 1 8", "Bb A 10 0 -8.66 0 0 0 1 1",
                                         ".V A 30000"};
    sys.init(lines);
    Real frx = 0, frz = 0;
    for (int i = 1; i <= 8; ++i) {
        frx += sys.frx(i);
        frz += sys.frz(i);
    }
    ASSERT_NE(frx, 0);
    const Real Az0 = sys.o(1).Az;
    RelaxationSettings settings;
    settings.max_steps = 2;
    settings.force_error_uN = 0;
    settings.damping = 0.004L;
    run_calculate(sys.session, lines, settings);
    const Real dt = 0.05L, M = 0.008L, L = 0.1L, a = settings.damping;
    const Real ax1 = dt / M * (frx / std::sin(Az0) / L), az1 = dt / M * (frz / L);
    const Real ax2 = ax1 + dt / M * (frx / std::sin(Az0) / L - a * ax1);
    const Real az2 = az1 + dt / M * (frz / L - a * az1);
    EXPECT_NEAR(sys.o(1).speed_Ax, ax2, 1e-10L * std::fabs(ax2));
    EXPECT_NEAR(sys.o(1).speed_Az, az2, 1e-10L * std::fabs(az2));
}

} // namespace
} // namespace ambrel
