// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/options.h"
#include "model/output_sink.h"
#include "model/system_model.h"

#include <gtest/gtest.h>

namespace ambrel {
namespace {

TEST(Options, StartValuesFollowTheMenu) {
    Options o;
    const Option on[] = {Option::ShowErrors,        Option::ShowCharges,          Option::ShowTangentForces,
                         Option::IdentifyByNumbers, Option::RotateObjects,        Option::ShadedBalls,
                         Option::UseSquares,        Option::CorrectRotationForces};
    int on_count = 0;
    for (int i = 0; i < OPTION_COUNT; ++i)
        on_count += o[static_cast<Option>(i)] ? 1 : 0;
    EXPECT_EQ(on_count, 8);
    for (Option opt : on)
        EXPECT_TRUE(o[opt]) << option_info(opt).caption;
    EXPECT_FALSE(o[Option::Identify]);
    EXPECT_FALSE(o[Option::AlwaysCalculate]);
}

TEST(Options, CommandLineNamesRoundTrip) {
    EXPECT_EQ(option_cli_name(Option::ShowForces), "show-forces");
    EXPECT_EQ(option_cli_name(Option::UseSquares), "use-squares-for-flat-objects");
    EXPECT_EQ(option_cli_name(Option::SpeedSimulation), "true-time-domain-simulation");
    for (int i = 0; i < OPTION_COUNT; ++i) {
        auto o = static_cast<Option>(i);
        EXPECT_EQ(option_from_cli_name(option_cli_name(o)), o);
    }
    EXPECT_FALSE(option_from_cli_name("Show-forces").has_value());
}

TEST(OutputSink, CutsLinesTo255Characters) {
    VectorSink sink;
    sink.add_output_line(std::string(300, 'a'));
    sink.add_output_line("short");
    ASSERT_EQ(sink.lines.size(), 2u);
    EXPECT_EQ(sink.lines[0], std::string(255, 'a'));
    EXPECT_EQ(sink.lines[1], "short");
}

TEST(SystemModel, ConductorsAreExactCaseSensitiveAndCut) {
    SystemModel model;
    EXPECT_EQ(model.find_or_add_conductor("all"), 1);
    EXPECT_EQ(model.find_or_add_conductor("All"), 2);
    EXPECT_EQ(model.find_or_add_conductor("all"), 1);
    EXPECT_EQ(model.find_or_add_conductor("abcdefghijklmno"), 3);
    EXPECT_EQ(model.conductors[3].name, "abcdefghijkl");
    EXPECT_EQ(model.find_or_add_conductor("abcdefghijklXYZ"), 3);
    EXPECT_EQ(model.conductor_count, 3);
    EXPECT_EQ(model.conductors[2].V, 0);
    EXPECT_EQ(model.find_conductor("abcdefghijkl"), 3);
    EXPECT_EQ(model.find_conductor("ALL"), 0); // looking up never adds
    EXPECT_EQ(model.conductor_count, 3);
}

TEST(SystemModel, TablesGrowOnDemandAndClearingKeepsThePatterns) {
    SystemModel model;
    EXPECT_EQ(model.sphere_count + model.conductor_count + model.object_count, 0);
    EXPECT_EQ(model.read_generation, 0);
    EXPECT_GE(model.spheres.size(), 1u); // slot 0 is there from the start
    EXPECT_GE(model.objects.size(), 1u);
    EXPECT_EQ(model.shape_pattern_5.count_occupied(), 9);
    EXPECT_EQ(model.shape_pattern_10.count_occupied(), 44);
    EXPECT_EQ(model.shape_pattern_15.count_occupied(), 225);
    EXPECT_TRUE(model.shape_pattern_5.occupied(1, 1));
    EXPECT_FALSE(model.shape_pattern_5.occupied(1, 2));

    model.reserve_spheres(30);
    EXPECT_EQ(model.spheres.size(), 31u);
    EXPECT_EQ(model.objects.size(), 31u);
    model.reserve_spheres(5); // never shrinks
    EXPECT_EQ(model.spheres.size(), 31u);

    model.find_or_add_conductor("a");
    model.conductors[1].V = 100;
    model.sphere_count = model.object_count = 3;
    model.shape_pattern_5.set_cell(1, 2, 'x');
    model.clear();
    EXPECT_EQ(model.sphere_count + model.conductor_count + model.object_count, 0);
    EXPECT_EQ(model.conductors[1].V, 0);
    EXPECT_TRUE(model.shape_pattern_5.occupied(1, 2));
}

TEST(SystemModel, ObjectSpansAndTheSphereThatStandsForTheObject) {
    SystemModel model;
    model.reserve_spheres(4);
    model.object_count = 2;
    model.sphere_count = 4;
    model.objects[1] = Object{};
    model.objects[2].kind = ObjectKind::Tetrahedron;
    model.objects[2].first = 2;
    model.objects[2].count = 3;
    model.objects[1].first = 1;
    model.objects[1].count = 1;
    for (int i = 1; i <= 4; ++i)
        model.spheres[i].object = i == 1 ? 1 : 2;
    EXPECT_EQ(model.objects[2].last(), 4);
    EXPECT_EQ(model.objects[1].last(), 1);
    EXPECT_TRUE(model.objects[2].composite());
    EXPECT_FALSE(model.objects[1].composite());
    EXPECT_FALSE(model.objects[1].movable());
    EXPECT_EQ(model.kind_of(3), ObjectKind::Tetrahedron);
    EXPECT_TRUE(model.is_object_last(1));
    EXPECT_FALSE(model.is_object_last(3));
    EXPECT_TRUE(model.is_object_last(4));
    EXPECT_EQ(&model.object_of(2), &model.objects[2]);
    EXPECT_TRUE(is_flat_kind(ObjectKind::Square5));
    EXPECT_FALSE(is_flat_kind(ObjectKind::BallWithLine));
    // A code after the last kind the model knows is no flat plate.
    EXPECT_FALSE(is_flat_kind(static_cast<ObjectKind>(std::size(OBJECT_KIND_TRAITS))));
}

TEST(SystemModel, CopiesAreIndependent) {
    SystemModel model;
    model.reserve_spheres(1);
    model.sphere_count = model.object_count = 1;
    model.objects[1].Az = 0.5L;
    SystemModel copy = model;
    copy.objects[1].Az = 0.7L;
    copy.spheres[1].x = 1;
    EXPECT_EQ(model.objects[1].Az, 0.5L);
    EXPECT_EQ(model.spheres[1].x, 0);
}

TEST(Options, CopyCarriesEverySwitch) {
    Options a;
    a.toggle(Option::ShowForces);
    a.set(Option::RotateObjects, false);
    Options b(a);
    Options c;
    c = a;
    for (int i = 0; i < OPTION_COUNT; ++i) {
        EXPECT_EQ(b[static_cast<Option>(i)], a[static_cast<Option>(i)]) << i;
        EXPECT_EQ(c[static_cast<Option>(i)], a[static_cast<Option>(i)]) << i;
    }
    a.set(Option::ShowForces, false);
    EXPECT_TRUE(b[Option::ShowForces]); // a copy, not a view
}

} // namespace
} // namespace ambrel
