// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Report formats and the capacitance report.
#include "../support/test_system.h"
#include "report/capacitance_report.h"
#include "report/reports.h"
#include "solver/initialize.h"
#include "text/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <type_traits>

namespace ambrel {
// Its own namespace: the folder's tests are compiled in unity batches.
namespace reports_test {
namespace {

// The lines one report writes for the session as it stands, whatever the report reads.
struct System : testing_support::TestSystem {
    template <typename Report> std::vector<std::string> lines_of(Report report) {
        sink.lines.clear();
        if constexpr (std::is_invocable_v<Report, const SystemModel&, const Evaluation&, OutputSink&>)
            report(session.model, session.evaluation, sink);
        else if constexpr (std::is_invocable_v<Report, const SystemModel&, EvaluationWorkspace&, OutputSink&>)
            report(session.model, session.workspace, sink);
        else
            report(session.model, sink);
        return sink.lines;
    }
};

TEST(Reports, AnglesAndRotationalForcesOfBallsAndComposites) {
    System sys;
    sys.init({"Ba A 0 0 0 10 0 0 1 1", "Ccube A 5 0 0 10 90 45 1 8", "Bfix A 9 0 0 0 0 0 1 1", ".V A 100"});
    const auto angles = sys.lines_of(report_angles);
    ASSERT_EQ(angles.size(), 2u); // no line for the fixed ball
    EXPECT_EQ(angles[0], "Ax[1]=   0.00000 Az[1]=   0.00000 deg");
    EXPECT_EQ(angles[1], "Ax[2-9]=  90.00000 Az[2-9]=  45.00000 deg");
    const auto rot = sys.lines_of(report_rotational_forces);
    ASSERT_EQ(rot.size(), 2u);
    EXPECT_EQ(rot[0].rfind("[1]: Frx=", 0), 0u);
    EXPECT_EQ(rot[1].rfind("[2-9]: Frx=", 0), 0u);
    EXPECT_EQ(rot[1].substr(rot[1].size() - 3), " uN");
    // The composite's line shows the object's total, eight times the share of a sphere.
    const Real frz_total = 8 * sys.frz(9);
    EXPECT_NE(rot[1].find(", Frz=" + real_to_fixed_text(frz_total * 1e6L, 7, 4) + " uN"), std::string::npos);
}

TEST(Reports, ChargesWithObjectTotals) {
    System sys;
    sys.init({"Ccube A 0 0 0 10 0 0 1 8", "Ba A 5 0 0 10 0 0 1 1", ".V A 100"});
    const auto q = sys.lines_of(report_charges);
    ASSERT_EQ(q.size(), 10u);
    EXPECT_EQ(q[0].rfind("Q[1]=", 0), 0u);
    EXPECT_EQ(q[8].rfind("Q[1-8]=", 0), 0u);
    EXPECT_EQ(q[9].rfind("Q[9]=", 0), 0u);
    Real total = 0;
    for (int i = 1; i <= 8; ++i)
        total += sys.Q(i);
    EXPECT_EQ(q[8], "Q[1-8]=" + real_to_fixed_text(total * 1e9L, 12, 8) + " nC");
}

TEST(Reports, ForcesFieldsAndDistances) {
    System sys;
    sys.init({"Ba A 0 0 0 0 0 0 1 0.4", "Bb A 3 0 0 10 0 0 1 1", "Ccube A 0 4 0 10 0 0 1 8"});
    const auto f = sys.lines_of(report_forces);
    ASSERT_EQ(f.size(), 10u);
    // Uncharged: only the weight of 0.4 g. Ball 2 hangs 10 cm below its point (3, 0, 0).
    EXPECT_EQ(f[0], "F[1]=0.0000x 0.0000y -3924.0000z (3924.0000) uN, m=0.4000 g");
    const auto centers = sys.lines_of(report_center_distances);
    ASSERT_EQ(centers.size(), 3u);
    EXPECT_EQ(centers[0], "Distance between centers [1]-[2]=10.44031 cm");
    EXPECT_EQ(centers[1].rfind("Distance between centers [1]-[3-10]=", 0), 0u);
    EXPECT_EQ(centers[2].rfind("Distance between centers [2]-[3-10]=", 0), 0u);
    const auto surfaces = sys.lines_of(report_surface_distances);
    EXPECT_EQ(surfaces[0], "Distance between surfaces [1]-[2]= 8.44031 cm");
    const auto fields = sys.lines_of(report_fields);
    ASSERT_EQ(fields.size(), 10u);
    EXPECT_EQ(fields[0], "Electric field [1]= 0.0000000 kV/cm");

    // Objects of different sizes: a held ball of 0.5 cm at the origin, a cube of 2 cm hanging
    // 10 cm below (0, 4, 0) and an octahedron of 1.5 cm 5 cm below (6, 0, 0). A composite's point
    // is its centre, at its string's end; between surfaces is the distance of the centres less
    // both sizes (the ball's radius, the composites' circumradius).
    System sizes;
    sizes.init({"Bball A 0 0 0 0 0 0 0.5 1", "Ccube B 0 4 0 10 0 0 2 8", "Oocta C 6 0 0 5 0 0 1.5 6"});
    const Real ball_cube = std::sqrt(4.0L * 4 + 10 * 10), ball_octa = std::sqrt(6.0L * 6 + 5 * 5),
               cube_octa = std::sqrt(6.0L * 6 + 4 * 4 + 5 * 5);
    const auto cm = [](Real d) { return real_to_fixed_text(d, 8, 5) + " cm"; };
    EXPECT_EQ(sizes.lines_of(report_center_distances),
              (std::vector<std::string>{"Distance between centers [1]-[2-9]=" + cm(ball_cube),
                                        "Distance between centers [1]-[10-15]=" + cm(ball_octa),
                                        "Distance between centers [2-9]-[10-15]=" + cm(cube_octa)}));
    EXPECT_EQ(sizes.lines_of(report_surface_distances),
              (std::vector<std::string>{"Distance between surfaces [1]-[2-9]=" + cm(ball_cube - 2.5L),
                                        "Distance between surfaces [1]-[10-15]=" + cm(ball_octa - 2),
                                        "Distance between surfaces [2-9]-[10-15]=" + cm(cube_octa - 3.5L)}));
}

TEST(Reports, FieldOfAChargedBall) {
    System sys;
    sys.init({"Ba A 0 0 0 0 0 0 1 1", ".V A 30000"});
    // E = V / r for an isolated ball: 30 kV over 1 cm.
    const auto fields = sys.lines_of(report_fields);
    EXPECT_EQ(fields[0], "Electric field [1]=30.0000000 kV/cm");

    // A polyhedron of spheres of circumradius R, with its spheres' default radius, has the
    // capacitance of a ball of radius R (description/solid_builders.cpp): alone at V its charge is
    // that ball's, and the field at the surface of each of its spheres is the ball's, V / R, here
    // 30 kV over 2 cm; the same at every sphere, alike by symmetry: the object's charge over
    // 4 pi e0 R^2.
    for (const char letter : {'E', 'O', 'C', 'I', 'D', 'R'}) {
        SCOPED_TRACE(letter);
        System solid;
        solid.init({std::string(1, letter) + "solid A 0 0 0 0 0 0 2 1", ".V A 30000"});
        const int n = solid.model().sphere_count;
        ASSERT_GE(n, 4);
        const auto lines = solid.lines_of(report_fields);
        ASSERT_EQ(lines.size(), static_cast<std::size_t>(n));
        Real charge = 0;
        for (int i = 1; i <= n; ++i)
            charge += solid.Q(i);
        const Real radius = 0.02L, ball_field = charge / (testing_support::FOUR_PI_E0 * radius * radius);
        // The triacontahedron's two kinds of vertices, at one radius, hold charges alike only to
        // about 1e-10.
        const Real alike = letter == 'R' ? 1e-9L : 1e-12L;
        EXPECT_NEAR(charge, testing_support::FOUR_PI_E0 * radius * 30000, 1e-8L * charge);
        for (int i = 1; i <= n; ++i) {
            EXPECT_EQ(lines[i - 1], "Electric field [" + std::to_string(i) + "]=15.0000000 kV/cm");
            EXPECT_NEAR(surface_field(solid.model(), solid.ev(), i), ball_field, alike * ball_field) << i;
        }
    }
}

TEST(CapacitanceReport, OneTwoAndElevenConductors) {
    System one;
    one.init({"Ba A 0 0 0 0 0 0 1 1"});
    const auto a = one.lines_of(report_capacitances);
    ASSERT_EQ(a.size(), 5u);
    EXPECT_EQ(a[0], "");
    EXPECT_EQ(a[1], "Capacitance matrix:");
    EXPECT_EQ(a[2], "C[A,A]=1.11265005605357 pF");
    EXPECT_EQ(a[3], "Capacitances:");
    EXPECT_EQ(a[4], "C(A,infinity)=1.11265005605357 pF");

    System two;
    two.init({"Ba A 0 0 0 0 0 0 1 1", "Bb B 3 0 0 0 0 0 1 1"});
    const auto b = two.lines_of(report_capacitances);
    ASSERT_EQ(b.size(), 10u);
    EXPECT_EQ(b[2].rfind("C[A,A]=", 0), 0u);
    EXPECT_EQ(b[3].rfind("C[A,B]=-", 0), 0u);
    EXPECT_EQ(b[4].rfind("C[B,B]=", 0), 0u);
    EXPECT_EQ(b[6].rfind("C(A,B)=", 0), 0u);
    EXPECT_EQ(b[7].rfind("C(A,infinity)=", 0), 0u);
    EXPECT_EQ(b[8].rfind("C(B,infinity)=", 0), 0u);
    EXPECT_EQ(b[9].rfind("Capacitance for balanced voltages=", 0), 0u);
    // Closed form for two equal balls: C11 = C22 = p/(p^2 - q^2), C12 = -q/(p^2 - q^2).
    const Real p = 100, q = 1 / 0.03L, det = p * p - q * q, k = 1.11265005605356944e-10L * 1e12L;
    const Real c11 = p / det, c12 = -q / det;
    EXPECT_EQ(b[2], "C[A,A]=" + format_g(c11 * k) + " pF");
    EXPECT_EQ(b[6], "C(A,B)=" + format_g(-c12 * k) + " pF");
    const Real balanced = 1 / (2 / (c11 + c12)) - c12;
    EXPECT_EQ(b[9], "Capacitance for balanced voltages=" + format_g(balanced * k) + " pF");

    // Eleven conductors: every one is reported and the row sums include all of them.
    std::vector<std::string> lines;
    for (int i = 0; i < 11; ++i)
        lines.push_back("Bb c" + std::to_string(i) + " " + std::to_string(3 * i) + " 0 0 0 0 0 1 1");
    System eleven;
    eleven.init(lines);
    const auto c = eleven.lines_of(report_capacitances);
    EXPECT_EQ(c.size(), 2u + 66u + 1u + 55u + 11u);
    // The capacitances to infinity add up to the total capacitance of the system.
    Real sum_infinity = 0;
    for (const auto& line : c)
        if (line.find(",infinity)=") != std::string::npos)
            sum_infinity += parse_real(line.substr(line.find('=') + 1));
    EXPECT_NEAR(sum_infinity, eleven.ev().total_capacitance * 1e12L, 1e-12L);
}

TEST(CapacitanceReport, NoMatrixForASkippedLargeSystem) {
    std::vector<std::string> lines;
    for (int i = 0; i < 501; ++i)
        lines.push_back("Bb A " + std::to_string(i) + " 0 0 0 0 0 0.1 1");
    System sys;
    sys.init(lines);
    const auto c = sys.lines_of(report_capacitances);
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[2], "The capacitance matrix of this system has not been computed.");
}

} // namespace
} // namespace reports_test
} // namespace ambrel
