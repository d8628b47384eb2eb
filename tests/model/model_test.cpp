#include "model/options.h"
#include "model/output_sink.h"
#include "model/simulator.h"

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

TEST(Simulator, ConductorsAreExactCaseSensitiveAndCut) {
    NullSink sink;
    Simulator sim(sink);
    EXPECT_EQ(sim.find_or_add_conductor("all"), 1);
    EXPECT_EQ(sim.find_or_add_conductor("All"), 2);
    EXPECT_EQ(sim.find_or_add_conductor("all"), 1);
    EXPECT_EQ(sim.find_or_add_conductor("abcdefghijklmno"), 3);
    EXPECT_EQ(sim.conductors[3].name, "abcdefghijkl");
    EXPECT_EQ(sim.find_or_add_conductor("abcdefghijklXYZ"), 3);
    EXPECT_EQ(sim.conductor_count, 3);
    EXPECT_EQ(sim.conductors[2].V, 0);
}

TEST(Simulator, TablesAndPatternsAtStart) {
    NullSink sink;
    Simulator sim(sink);
    EXPECT_EQ(sim.spheres.size(), static_cast<std::size_t>(MAX_SPHERES + 1));
    EXPECT_EQ(sim.conductors.size(), static_cast<std::size_t>(MAX_CONDUCTORS + 1));
    EXPECT_EQ(sim.sphere_count + sim.conductor_count + sim.object_count, 0);
    EXPECT_TRUE(sim.view_reset_pending);
    EXPECT_FALSE(sim.system_initialized || sim.forces_valid || sim.stop_requested || sim.description_changed);
    EXPECT_EQ(sim.shape_pattern_5.count_occupied(), 9);
    EXPECT_EQ(sim.shape_pattern_10.count_occupied(), 44);
    EXPECT_EQ(sim.shape_pattern_15.count_occupied(), 225);
    EXPECT_TRUE(sim.shape_pattern_5.occupied(1, 1));
    EXPECT_FALSE(sim.shape_pattern_5.occupied(1, 2));
}

TEST(Simulator, UniformNumbersStayInHalfOpenInterval) {
    NullSink sink;
    Simulator a(sink), b(sink);
    for (int i = 0; i < 1000; ++i) {
        Real u = a.next_uniform();
        ASSERT_GE(u, 0);
        ASSERT_LT(u, 1);
        ASSERT_EQ(u, b.next_uniform()); // a fixed seed: the same sequence at every start
    }
}

} // namespace
} // namespace ambrel
