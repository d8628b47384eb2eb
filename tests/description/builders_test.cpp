// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Builders of composite objects: counts, offsets, radii, masses, names and the flat grids.
#include "../support/test_system.h"
#include "description/reader.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ambrel {
namespace {

constexpr Real TIGHT = 1e-15L;

struct Built : testing_support::TestSystem {
    explicit Built(const std::vector<std::string>& lines, bool use_squares = true) {
        options().set(Option::UseSquares, use_squares);
        read_description(session.model, session.options, lines, sink);
    }
    int count() const { return session.model.sphere_count; }
    Real offset_norm(int i) const {
        return std::sqrt(s(i).offset_x * s(i).offset_x + s(i).offset_y * s(i).offset_y +
                         s(i).offset_z * s(i).offset_z);
    }
};

TEST(SolidBuilders, CubeSpheresNamesMassesRadiiAndOffsets) {
    Built b({"Ccube all 0 0 0 10 0 0 1 8"});
    ASSERT_EQ(b.count(), 8);
    EXPECT_EQ(b.sink.lines[1], "Ccube all 0 0 0 0.1 0 0 0.01 0.001 0");
    const Real d = 0.01L / std::sqrt(3.0L);
    const int sign[8][3] = {{1, 1, 1},  {-1, 1, 1},  {-1, -1, 1},  {1, -1, 1},
                            {1, 1, -1}, {-1, 1, -1}, {-1, -1, -1}, {1, -1, -1}};
    for (int k = 1; k <= 8; ++k) {
        const Sphere& s = b.s(k);
        EXPECT_EQ(s.name, "Ccube" + std::to_string(k));
        EXPECT_EQ(b.object_of(k).kind, ObjectKind::Cube);
        EXPECT_EQ(s.index_in_object, k);
        EXPECT_EQ(b.object_of(k).count, 8);
        EXPECT_EQ(s.object, 1);
        EXPECT_NEAR(s.m, 0.001L, TIGHT);
        EXPECT_NEAR(s.r, 0.003262848751L, TIGHT);
        EXPECT_NEAR(s.x0, sign[k - 1][0] * d, TIGHT);
        EXPECT_NEAR(s.y0, sign[k - 1][1] * d, TIGHT);
        EXPECT_NEAR(s.z0, sign[k - 1][2] * d, TIGHT);
        EXPECT_EQ(s.offset_x, s.x0 - b.o(1).ref_x0);
        EXPECT_EQ(s.square_side, 0);
    }
    EXPECT_TRUE(b.model().is_object_last(8));
    EXPECT_FALSE(b.model().is_object_last(7));
    EXPECT_EQ(b.o(1).first, 1);
    EXPECT_EQ(b.o(1).last(), 8);
    EXPECT_EQ(b.o(1).conductor_name, "all");
    EXPECT_NEAR(b.o(1).L, 0.1L, TIGHT);
    Built typed({"Ccube all 1 2 3 10 0 0 1 8 0.2"});
    EXPECT_NEAR(typed.s(5).r, 0.002L, TIGHT);
    EXPECT_NEAR(typed.o(1).ref_z0, 0.03L, TIGHT);
    EXPECT_NEAR(typed.s(5).z0, 0.03L - d, TIGHT);
}

TEST(SolidBuilders, PolyhedraHaveTheirVerticesOnTheSphereOfRadiusR) {
    struct Case {
        const char* line;
        int n;
        Real factor;
    };
    const Case cases[] = {{"Ete a 0 0 0 10 0 0 2 4", 4, 0.46234592535L},
                          {"Ooc a 0 0 0 10 0 0 2 6", 6, 0.3743113315L},
                          {"Ccu a 0 0 0 10 0 0 2 8", 8, 0.3262848751L},
                          {"Iic a 0 0 0 10 0 0 2 12", 12, 0.2627574554L},
                          {"Ddo a 0 0 0 10 0 0 2 20", 20, 0.2074629423L}};
    for (const Case& c : cases) {
        Built b({c.line});
        ASSERT_EQ(b.count(), c.n) << c.line;
        for (int k = 1; k <= c.n; ++k) {
            EXPECT_NEAR(b.offset_norm(k), 0.02L, TIGHT) << c.line << " sphere " << k;
            EXPECT_NEAR(b.s(k).r, c.factor * 0.02L, TIGHT);
            EXPECT_NEAR(b.s(k).m, 0.001L, TIGHT);
        }
        // Distinct vertices: the smallest distance between two is well above 0.
        Real smallest = 1;
        for (int i = 1; i <= c.n; ++i)
            for (int j = i + 1; j <= c.n; ++j)
                smallest = std::min(smallest, std::hypot(b.s(i).x0 - b.s(j).x0, b.s(i).y0 - b.s(j).y0,
                                                         b.s(i).z0 - b.s(j).z0));
        EXPECT_GT(smallest, 0.005L) << c.line;
        // The default radius gives the composite the capacitance of a ball of radius R: each
        // sphere (charge q, all alike by symmetry) is at the potential of a total charge n q on a
        // ball of R, so R / r + sum over the others of R / d = n.
        for (int k = 1; k <= c.n; ++k) {
            Real sum = 0.02L / b.s(k).r;
            for (int j = 1; j <= c.n; ++j)
                if (j != k)
                    sum += 0.02L /
                           std::hypot(b.s(k).x0 - b.s(j).x0, b.s(k).y0 - b.s(j).y0, b.s(k).z0 - b.s(j).z0);
            EXPECT_NEAR(sum, c.n, 2e-9L) << c.line << " sphere " << k;
        }
    }
    Built tetra({"Ete a 0 0 0 10 0 0 3 4"});
    EXPECT_NEAR(tetra.s(4).offset_z, 0.03L, TIGHT); // one vertex up
    EXPECT_NEAR(tetra.s(1).offset_x, std::sqrt(8.0L / 9) * 0.03L, TIGHT);
}

TEST(SolidBuilders, TriacontahedronRadiusRule) {
    Built two({"Rtr all 0 0 0 10 0 0 1 32"});
    ASSERT_EQ(two.count(), 32);
    EXPECT_NEAR(two.s(1).r, 0.001598652556L, TIGHT);
    EXPECT_NEAR(two.s(20).r, 0.001598652556L, TIGHT);
    EXPECT_NEAR(two.s(21).r, 0.001613508447L, TIGHT);
    EXPECT_NEAR(two.s(32).r, 0.001613508447L, TIGHT);
    for (int k = 1; k <= 32; ++k)
        EXPECT_NEAR(two.offset_norm(k), 0.01L, TIGHT);
    // Vertices 21 to 32 are the icosahedron's: vertex 21 straight up.
    EXPECT_NEAR(two.s(21).offset_z, 0.01L, TIGHT);
    Built same({"Rtr all 0 0 0 10 0 0 1 32 -1"});
    EXPECT_NEAR(same.s(1).r, 0.001604139269L, TIGHT);
    EXPECT_NEAR(same.s(32).r, 0.001604139269L, TIGHT);
    Built typed({"Rtr all 0 0 0 10 0 0 1 32 0.2"});
    EXPECT_NEAR(typed.s(1).r, 0.002L, TIGHT);
    EXPECT_NEAR(typed.s(32).r, 0.002L, TIGHT);
}

TEST(SolidBuilders, LineAndToroid) {
    Built line({"Lline all 0 0 0 10 0 0 1 20"});
    ASSERT_EQ(line.count(), 20);
    EXPECT_NEAR(line.s(1).z0, 0.01L, TIGHT);
    EXPECT_NEAR(line.s(20).z0, -0.01L, TIGHT);
    for (int k = 2; k <= 20; ++k)
        EXPECT_NEAR(line.s(k - 1).z0 - line.s(k).z0, 0.01L / 9.5L, TIGHT);
    EXPECT_NEAR(line.s(3).r, 0.05L * 0.01L, TIGHT);

    Built ring({"Tring all 0 0 0 10 0 0 2 20"});
    ASSERT_EQ(ring.count(), 20);
    EXPECT_NEAR(ring.s(1).x0, 0.02L, TIGHT);
    EXPECT_NEAR(ring.s(6).y0, 0.02L, TIGHT); // 90 degrees
    EXPECT_NEAR(ring.s(11).x0, -0.02L, TIGHT);
    for (int k = 1; k <= 20; ++k) {
        EXPECT_NEAR(ring.offset_norm(k), 0.02L, TIGHT);
        EXPECT_EQ(ring.s(k).z0, 0);
    }
    EXPECT_NEAR(ring.s(1).r, 0.002L, TIGHT);
}

TEST(SolidBuilders, BallWithSuspensionLine) {
    Built h({"Hball all 0 0 0 10 0 0 1 1 0.1 0.19"});
    ASSERT_EQ(h.count(), 20);
    EXPECT_EQ(h.sink.lines[1], "Hball all 0 0 0 0.1 0 0 0.01 0.001 0.001 0.00019");
    for (int k = 1; k <= 19; ++k) {
        const Sphere& s = h.s(k);
        // Hanging straight down the centre is L below the sphere's own suspension point.
        EXPECT_NEAR(s.z0 - h.o(1).L, -k * 0.0045L, TIGHT) << k;
        EXPECT_NEAR(s.m, 0.00001L, TIGHT);
        EXPECT_NEAR(s.r, 0.001L, TIGHT);
        EXPECT_NEAR(s.size, 0.001L, TIGHT);
    }
    const Sphere& ball = h.s(20);
    EXPECT_EQ(ball.name, "Hball20");
    EXPECT_NEAR(ball.z0 - h.o(1).L, -0.1L, TIGHT);
    EXPECT_NEAR(ball.r, 0.01L, TIGHT);
    EXPECT_NEAR(ball.m, 0.001L, TIGHT);
    EXPECT_NEAR(ball.size, 0.01L, TIGHT);
    Built no_line({"Hball all 0 0 0 10 0 0 1 1"});
    EXPECT_EQ(no_line.s(1).r, 0); // no default radius for the line balls
}

TEST(FlatBuilders, SquareGridOrderSpacingAndRadii) {
    Built plain({"Ssq all 0 0 0 10 0 0 0.5 2.5"}, false);
    ASSERT_EQ(plain.count(), 25);
    EXPECT_NEAR(plain.s(1).x0, -0.004L, TIGHT);
    EXPECT_NEAR(plain.s(1).y0, -0.004L, TIGHT);
    EXPECT_NEAR(plain.s(5).x0, 0.004L, TIGHT);
    EXPECT_NEAR(plain.s(5).y0, -0.004L, TIGHT);
    EXPECT_NEAR(plain.s(6).y0, -0.002L, TIGHT);
    EXPECT_NEAR(plain.s(25).x0, 0.004L, TIGHT);
    EXPECT_NEAR(plain.s(25).y0, 0.004L, TIGHT);
    for (int k = 1; k <= 25; ++k) {
        EXPECT_NEAR(plain.s(k).m, 0.0001L, TIGHT);
        EXPECT_NEAR(plain.s(k).square_side, 0.002L, TIGHT);
        EXPECT_NEAR(plain.s(k).r, 0.0006883432865L, TIGHT);
        EXPECT_EQ(plain.object_of(k).kind, ObjectKind::Square5);
    }
    const Real square_r = 0.002L / (4 * std::log(1 + std::sqrt(2.0L)));
    Built squares({"Ssq all 0 0 0 10 0 0 0.5 2.5"});
    EXPECT_NEAR(squares.s(13).r, square_r, TIGHT);
    EXPECT_NEAR(square_r, 0.000567296L, 1e-9L);
    Built typed({"Ssq all 0 0 0 10 0 0 0.5 2.5 0.1"});
    EXPECT_NEAR(typed.s(13).r, square_r, TIGHT); // the option wins over a typed radius
    Built typed_plain({"Ssq all 0 0 0 10 0 0 0.5 2.5 0.1"}, false);
    EXPECT_NEAR(typed_plain.s(13).r, 0.001L, TIGHT);
}

TEST(FlatBuilders, PlaquesAndSphereCounts) {
    Built f({"Fpl all 0 0 0 10 0 0 0.5 1.3"});
    ASSERT_EQ(f.count(), 13);
    EXPECT_NEAR(f.s(1).x0, -0.004L, TIGHT);
    EXPECT_NEAR(f.s(1).y0, -0.004L, TIGHT);
    EXPECT_NEAR(f.s(2).x0, 0.004L, TIGHT);
    EXPECT_NEAR(f.s(2).y0, -0.004L, TIGHT);
    EXPECT_NEAR(f.s(3).x0, -0.002L, TIGHT);
    EXPECT_NEAR(f.s(3).y0, -0.002L, TIGHT);
    EXPECT_NEAR(f.s(13).x0, 0.004L, TIGHT);
    EXPECT_NEAR(f.s(13).y0, 0.004L, TIGHT);
    EXPECT_NEAR(f.s(1).m, 0.0001L, TIGHT);

    const std::pair<const char*, int> counts[] = {{"Qq a 0 0 0 10 0 0 1 1", 100},
                                                  {"Gg a 0 0 0 10 0 0 1 1", 68},
                                                  {"Yy a 0 0 0 10 0 0 1 1", 44},
                                                  {"Zz a 0 0 0 10 0 0 1 1", 225},
                                                  {"Xx a 0 0 0 10 0 0 1 1", 9}};
    for (const auto& [line, n] : counts) {
        Built b({line});
        EXPECT_EQ(b.count(), n) << line;
        EXPECT_EQ(b.object_of(n).count, n);
        EXPECT_EQ(b.s(n).name, std::string(1, line[0]) + line[1] + std::to_string(n));
    }
    Built z({"Zz a 0 0 0 10 0 0 1.5 1"}, false);
    EXPECT_NEAR(z.s(1).r, 0.0434775696L * 0.015L, TIGHT);
    EXPECT_NEAR(z.s(2).x0 - z.s(1).x0, 0.002L, TIGHT);
}

TEST(FlatBuilders, ShapePatternsFromDotLinesPersistAndFillPartly) {
    VectorSink sink;
    SystemModel model;
    const Options options;
    read_description(model, options, {"Xsh all 0 0 0 10 0 0 0.5 0.9"}, sink);
    ASSERT_EQ(model.sphere_count, 9);
    EXPECT_NEAR(model.spheres[1].m, 0.0001L, TIGHT);
    // The X figure: row 5 of the pattern (smallest y) first, its two corners.
    EXPECT_NEAR(model.spheres[1].x0, -0.004L, TIGHT);
    EXPECT_NEAR(model.spheres[2].x0, 0.004L, TIGHT);
    EXPECT_NEAR(model.spheres[5].x0, 0, TIGHT);
    EXPECT_NEAR(model.spheres[5].y0, 0, TIGHT);

    sink.lines.clear();
    read_description(model, options,
                     {".X", "*xxxxx", "*.....", "*.....", "*.....", "*.....", "Xsh all 0 0 0 10 0 0 0.5 0.5"},
                     sink);
    ASSERT_EQ(model.sphere_count, 5);
    for (int k = 1; k <= 5; ++k)
        EXPECT_NEAR(model.spheres[k].y0, 0.004L, TIGHT); // the row of largest y
    EXPECT_EQ(sink.lines[2], "*xxxxx");                  // pattern lines are echoed as comments

    // The pattern stays for later readings.
    read_description(model, options, {"Xsh all 0 0 0 10 0 0 0.5 0.5"}, sink);
    EXPECT_EQ(model.sphere_count, 5);

    // A short line fills only the cells it reaches.
    SystemModel fresh;
    read_description(fresh, options, {".X", "*xx", "*.....", "*.....", "*.....", "*....."}, sink);
    EXPECT_EQ(fresh.shape_pattern_5.cell(1, 1), 'x');
    EXPECT_EQ(fresh.shape_pattern_5.cell(1, 2), 'x');
    EXPECT_EQ(fresh.shape_pattern_5.cell(1, 3), '.');
    EXPECT_EQ(fresh.shape_pattern_5.cell(1, 5), 'x');
    EXPECT_EQ(fresh.shape_pattern_5.count_occupied(), 3);
    // Lines beyond the end of the description count as empty.
    read_description(fresh, options, {".Y", "*x"}, sink);
    EXPECT_EQ(fresh.shape_pattern_10.count_occupied(), 44);
}

TEST(FlatBuilders, EmptyShapeBuildsNothingAndReadingGoesOn) {
    VectorSink sink;
    SystemModel model;
    const Options options;
    EXPECT_TRUE(read_description(model, options,
                                 {".X", "*.....", "*.....", "*.....", "*.....", "*.....",
                                  "Xe all 0 0 0 10 0 0 1 1", "Bb all 0 0 0 10 0 0 1 1"},
                                 sink)
                    .ok());
    EXPECT_EQ(model.sphere_count, 1);
    EXPECT_EQ(model.object_count, 1);
    EXPECT_EQ(model.spheres[1].name, "Bb");
    EXPECT_EQ(model.spheres[1].object, 1);
    bool said = false;
    for (const auto& l : sink.lines)
        said = said || l == "The shape of Xe is empty: no sphere was built";
    EXPECT_TRUE(said);
    for (const auto& l : sink.lines)
        EXPECT_EQ(l.find("inf"), std::string::npos) << l;
}

TEST(ObjectSpans, MixedDescriptionNumbersObjectsAndSpheresContiguously) {
    // A ball, a cube, an empty shape (builds nothing), a ball with its line, a plaque, a ball.
    Built b({".X", "*.....", "*.....", "*.....", "*.....", "*.....", "Ba one 0 0 0 10 0 0 1 1",
             "Ccube two 5 0 0 10 0 0 1 8", "Xe one 0 0 0 10 0 0 1 1", "Hh one 0 5 0 10 0 0 1 1 0.1 0.19",
             "Fpl two 9 9 0 10 0 0 0.5 1.3", "Bz two 0 0 9 0 0 0 1 1"});
    struct Span {
        ObjectKind kind;
        int first, count;
    };
    const Span expected[] = {{ObjectKind::Ball, 1, 1},
                             {ObjectKind::Cube, 2, 8},
                             {ObjectKind::BallWithLine, 10, 20},
                             {ObjectKind::Plaque5, 30, 13},
                             {ObjectKind::Ball, 43, 1}};
    ASSERT_EQ(b.model().object_count, 5);
    ASSERT_EQ(b.count(), 43);
    for (int k = 1; k <= 5; ++k) {
        const Object& o = b.o(k);
        EXPECT_EQ(o.kind, expected[k - 1].kind) << k;
        EXPECT_EQ(o.first, expected[k - 1].first) << k;
        EXPECT_EQ(o.count, expected[k - 1].count) << k;
        EXPECT_EQ(o.last(), o.first + o.count - 1) << k;
        // Each sphere of the span points back to its object, numbered from 1.
        for (int i = o.first; i <= o.last(); ++i) {
            EXPECT_EQ(b.s(i).object, k) << i;
            EXPECT_EQ(b.s(i).index_in_object, i - o.first + 1) << i;
            EXPECT_EQ(b.model().is_object_last(i), i == o.last()) << i;
        }
        // The conductor of every sphere is the object's own.
        EXPECT_EQ(b.model().conductors[b.s(o.last()).conductor].name, o.conductor_name) << k;
        if (k > 1) {
            EXPECT_EQ(o.first, b.o(k - 1).last() + 1) << k;
        }
    }
    EXPECT_EQ(b.o(5).last(), b.count());
    EXPECT_EQ(b.s(29).name, "Hh20");
    EXPECT_EQ(b.s(42).name, "Fpl13");
    EXPECT_FALSE(b.o(5).movable());
    EXPECT_TRUE(b.o(4).movable());

    // A later, shorter reading numbers from 1 again.
    read_description(b.session.model, b.session.options,
                     {"Lli one 0 0 0 10 0 0 1 2", "Bb one 0 0 0 10 0 0 1 1"}, b.sink);
    ASSERT_EQ(b.model().object_count, 2);
    EXPECT_EQ(b.o(1).first, 1);
    EXPECT_EQ(b.o(1).count, 20);
    EXPECT_EQ(b.o(2).first, 21);
    EXPECT_EQ(b.o(2).count, 1);
    EXPECT_EQ(b.s(21).object, 2);
    EXPECT_EQ(b.s(21).index_in_object, 1);
}

} // namespace
} // namespace ambrel
