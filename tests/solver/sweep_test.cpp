// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Voltage sweeps: a calibration curve of two balls, points that fail without ending the sweep,
// each point starting from the equilibrium before it, Stop, and the CSV table.
#include "../support/test_system.h"
#include "description/reader.h"
#include "report/sweep_table.h"
#include "solver/relaxation.h"
#include "solver/sweep.h"
#include "text/number_format.h"
#include "text/numeric_field.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace ambrel {
namespace {

using testing_support::TestSystem;

const std::vector<std::string> TWO_BALLS{"Ba all -2 0 0 10 180 10 0.5 0.2", "Bb all 2 0 0 10 0 10 0.5 0.2",
                                         ".V all 3000"};

// CONDUCTOR from START to STOP by STEP (V).
SweepRequest request(const std::string& conductor, Real start, Real stop, Real step) {
    return SweepRequest{conductor, SweepRange{start, stop, step}};
}

SweepResult sweep(TestSystem& sys, const SweepRequest& request, const RelaxationSettings& settings = {},
                  const SweepObserver& observer = {}) {
    const Result<SweepResult> result = run_sweep(sys.session, request, settings, observer);
    EXPECT_TRUE(result.ok()) << result.message();
    return result.ok() ? *result : SweepResult{};
}

TEST(Sweep, NeedsAnInitialisedSystemAndAKnownConductor) {
    TestSystem sys;
    EXPECT_FALSE(run_sweep(sys.session, request("all", 0, 1, 1), {}).ok());
    sys.init(TWO_BALLS);
    const std::size_t lines = sys.sink.lines.size();
    EXPECT_EQ(run_sweep(sys.session, request("none", 0, 1, 1), {}).message(),
              "unknown conductor 'none' (the conductors are: all)");
    EXPECT_EQ(sys.sink.lines.size(), lines); // nothing ran
}

// Two balls on one conductor: the deflection grows with the voltage, from hanging straight down
// at 0 V, and each point is the equilibrium a Calculate run finds at that voltage from the start.
// (Straight down the azimuth has no meaning: at 0 V the run need not meet the force error.)
TEST(Sweep, TwoBallsDeflectMoreAtEveryHigherVoltage) {
    TestSystem sys;
    sys.init(TWO_BALLS);
    RelaxationSettings settings;
    settings.max_steps = 5000;
    const SweepResult result = sweep(sys, request("all", 0, 10000, 1000), settings);
    ASSERT_EQ(result.points.size(), 11u);
    EXPECT_EQ(result.planned, 11);
    EXPECT_FALSE(result.stopped);
    ASSERT_EQ(result.objects, (std::vector<int>{1, 2}));
    EXPECT_EQ(result.conductor_names, std::vector<std::string>{"all"});
    for (std::size_t i = 0; i < result.points.size(); ++i) {
        const SweepPoint& p = result.points[i];
        EXPECT_EQ(p.voltage, 1000.0L * static_cast<Real>(i));
        EXPECT_TRUE(p.converged() || i == 0) << i;
        EXPECT_NEAR(p.Az[0], p.Az[1], 1e-9L);
        EXPECT_NEAR(p.charges[0], p.capacitance * p.voltage, 1e-6L * p.capacitance * p.voltage + 1e-30L);
        if (i > 0) {
            EXPECT_GT(p.Az[0], result.points[i - 1].Az[0]) << i;
            EXPECT_GT(p.charges[0], result.points[i - 1].charges[0]) << i;
        }
    }
    EXPECT_LT(std::fabs(result.points[0].Az[0]), deg_to_rad(0.01L));
    SweepPoint folded;
    folded.Az = {-0.25L, 2 * PI + 0.25L, PI + 0.25L};
    folded.Ax = {0.5L, -3, 80 * PI + 1};
    for (std::size_t k = 0; k < folded.Az.size(); ++k)
        EXPECT_NEAR(folded.deflection(k), k < 2 ? 0.25L : PI - 0.25L, 1e-15L);
    EXPECT_GT(result.points.back().Az[0], deg_to_rad(2.0L));
    // The system is left at the last point.
    EXPECT_EQ(sys.model().conductors[1].V, 10000);
    EXPECT_EQ(sys.o(1).Az, result.points.back().Az[0]);

    TestSystem alone;
    std::vector<std::string> at_6kV = TWO_BALLS;
    at_6kV.back() = ".V all 6000";
    alone.init(at_6kV);
    run_calculate(alone.session, settings);
    EXPECT_NEAR(result.points[6].Az[0], alone.o(1).Az, deg_to_rad(1e-4L));
    EXPECT_NEAR(result.points[6].capacitance, alone.ev().total_capacitance,
                1e-6L * alone.ev().total_capacitance);
}

// With Find equilibrium each point ends where the relaxation's does, in a few iterations.
TEST(Sweep, FindEquilibriumGivesTheRelaxationsPoints) {
    RelaxationSettings settings;
    settings.max_steps = 20000;
    settings.force_error_uN = 1e-9L;
    TestSystem relaxed, found;
    relaxed.init(TWO_BALLS);
    found.init(TWO_BALLS);
    const SweepResult a = sweep(relaxed, request("all", 4000, 10000, 3000), settings);
    SweepRequest by_finder = request("all", 4000, 10000, 3000);
    by_finder.method = SweepMethod::Equilibrium;
    const Result<SweepResult> b = run_sweep(found.session, by_finder, settings);
    ASSERT_TRUE(b.ok());
    ASSERT_EQ(b->points.size(), a.points.size());
    for (std::size_t i = 0; i < a.points.size(); ++i) {
        ASSERT_TRUE(a.points[i].converged() && b->points[i].converged()) << i;
        EXPECT_NEAR(b->points[i].deflection(0), a.points[i].deflection(0), 1e-6L) << i;
        EXPECT_LT(b->points[i].steps, a.points[i].steps / 3) << i;
    }

    // Balls pressed together at a voltage too low to part them: the finder's point says so.
    TestSystem pressed;
    pressed.init({"Ba all 0 0 0 10 0 20 0.75 0.4", "Bb all 0 0 0 10 180 20 0.75 0.4", ".V all 0"});
    RelaxationSettings short_run;
    short_run.max_steps = 300;
    SweepRequest low = request("all", 0, 1000, 1000);
    low.method = SweepMethod::Equilibrium;
    const Result<SweepResult> touching = run_sweep(pressed.session, low, short_run);
    ASSERT_TRUE(touching.ok());
    for (const SweepPoint& p : touching->points) {
        EXPECT_EQ(p.end, RunEnd::Contact);
        EXPECT_EQ(point_end_word(p.end), "contact");
    }

    // The four balls below their threshold, swept up from 0 V, rest touching in a square from
    // 1 kV on, each string out by the same angle whatever the voltage (touching fixes the shape):
    // only a rest stable on its contacts is taken, not the first the iteration meets.
    TestSystem four;
    four.init(default_description());
    SweepRequest below = request("all", 0, 4000, 1000);
    below.method = SweepMethod::Equilibrium;
    const Result<SweepResult> square = run_sweep(four.session, below, {});
    ASSERT_TRUE(square.ok());
    ASSERT_EQ(square->points.size(), 5u);
    for (std::size_t i = 1; i < 5; ++i) {
        const SweepPoint& p = square->points[i];
        EXPECT_EQ(p.end, RunEnd::Contact);
        for (std::size_t k = 0; k < 4; ++k)
            EXPECT_NEAR(p.deflection(k), square->points[1].deflection(k), 1e-6L) << p.voltage;
    }
}

// The second sweep starts where the first ended: at the same voltage its run is already there.
TEST(Sweep, EachPointStartsFromTheEquilibriumBeforeIt) {
    TestSystem sys;
    sys.init(TWO_BALLS);
    const SweepResult first = sweep(sys, request("all", 0, 6000, 2000));
    ASSERT_EQ(first.points.size(), 4u);
    EXPECT_GT(first.points[3].steps, 20);
    const SweepResult again = sweep(sys, request("all", 6000, 6000, 1));
    ASSERT_EQ(again.points.size(), 1u);
    EXPECT_TRUE(again.points[0].converged());
    EXPECT_LE(again.points[0].steps, 2);

    // From the description's angles the same voltage takes many steps.
    TestSystem fresh;
    fresh.init(TWO_BALLS);
    EXPECT_GT(sweep(fresh, request("all", 6000, 6000, 1)).points[0].steps, 20);
}

TEST(Sweep, APointThatDoesNotConvergeIsMarkedAndTheSweepGoesOn) {
    TestSystem sys;
    sys.init(TWO_BALLS);
    RelaxationSettings few;
    few.max_steps = 3;
    const SweepResult limited = sweep(sys, request("all", 0, 4000, 1000), few);
    ASSERT_EQ(limited.points.size(), 5u);
    for (const SweepPoint& p : limited.points) {
        EXPECT_EQ(p.end, RunEnd::StepLimit);
        EXPECT_FALSE(p.converged());
        EXPECT_EQ(p.steps, 3);
    }
    // The runs go on from where the last one ended: five runs of 3 steps at (almost) one voltage
    // end where one run of 15 steps does.
    TestSystem pieces;
    pieces.init(TWO_BALLS);
    const SweepResult steps = sweep(pieces, request("all", 3000, 3000.0004L, 0.0001L), few);
    ASSERT_EQ(steps.points.size(), 5u);
    TestSystem whole;
    whole.init(TWO_BALLS);
    RelaxationSettings fifteen;
    fifteen.max_steps = 15;
    run_calculate(whole.session, fifteen);
    EXPECT_NEAR(steps.points[4].Az[0], whole.o(1).Az, 1e-7L);
    EXPECT_GT(std::fabs(steps.points[4].Az[0] - steps.points[0].Az[0]), 1e-4L);

    // A diverging run: the point keeps what it ended with, the next starts from the last good state.
    TestSystem wild;
    wild.init(TWO_BALLS);
    const Real Az_before = wild.o(1).Az;
    RelaxationSettings huge;
    huge.time_step = 10000;
    const SweepResult diverged = sweep(wild, request("all", 2000, 4000, 1000), huge);
    ASSERT_EQ(diverged.points.size(), 3u);
    for (const SweepPoint& p : diverged.points) {
        EXPECT_EQ(p.end, RunEnd::TooLargeAngles);
        EXPECT_FALSE(p.usable());
        EXPECT_GT(std::fabs(p.Az[0]), 1000);
    }
    EXPECT_EQ(wild.o(1).Az, Az_before);
    EXPECT_TRUE(wild.ev().forces_valid);
    EXPECT_EQ(wild.count("Too large angles. The system may be unstable"), 3);
}

TEST(Sweep, StopEndsTheSweepAndAStoppedRunIsNotAPoint) {
    // Stop between two points.
    TestSystem sys;
    sys.init(TWO_BALLS);
    SweepObserver observer;
    int done_calls = 0;
    observer.point_done = [&](const SweepPoint&, int done, int count) {
        EXPECT_EQ(done, ++done_calls);
        EXPECT_EQ(count, 11);
        if (done == 2)
            sys.stop.request();
    };
    const SweepResult between = sweep(sys, request("all", 0, 10000, 1000), {}, observer);
    EXPECT_TRUE(between.stopped);
    EXPECT_EQ(between.points.size(), 2u);
    EXPECT_EQ(between.planned, 11);
    EXPECT_TRUE(sys.said("Sweep stopped after 2 of 11 points"));
    // The request is the host's: the sweep never clears it, the host does before the next one.
    EXPECT_TRUE(sys.session.stop_requested());
    sys.stop.clear();

    // Stop during a run: that point is not kept.
    int point = 0;
    SweepObserver in_run;
    in_run.point_started = [&](int index, int, Real) { point = index; };
    in_run.run.step_done = [&](int step, Real) {
        if (point == 1 && step == 3)
            sys.stop.request();
    };
    const SweepResult during = sweep(sys, request("all", 0, 10000, 1000), {}, in_run);
    EXPECT_TRUE(during.stopped);
    EXPECT_EQ(during.points.size(), 1u);
    sys.stop.clear();

    // Stop while a run writes its final reports: the point is kept, the sweep ends.
    SweepObserver at_end;
    at_end.run.steps_ended = [&] { sys.stop.request(); };
    const SweepResult reports = sweep(sys, request("all", 0, 10000, 1000), {}, at_end);
    EXPECT_TRUE(reports.stopped);
    EXPECT_EQ(reports.points.size(), 1u);

    // Stop before the sweep begins: no point, no run, and it says so.
    sys.sink.lines.clear();
    const SweepResult before = sweep(sys, request("all", 0, 10000, 1000));
    EXPECT_TRUE(before.stopped);
    EXPECT_TRUE(before.points.empty());
    EXPECT_TRUE(sys.said("Sweep stopped after 0 of 11 points"));
    EXPECT_FALSE(sys.said("Calculating..."));
}

// A fixed object, a composite one, a name that needs quotes and two conductors.
const std::vector<std::string> MIXED{"Bfixed ba,se 0 0 0 0 0 0 1 1", "Ba\"q top -2 0 0 10 180 10 0.5 0.2",
                                     "Ebox top 2 0 0 10 0 10 0.5 0.2", ".V ba,se 500", ".V top 2000"};

TEST(SweepTable, ColumnsNameTheObjectsAndConductorsAndRowsHoldEveryPoint) {
    TestSystem sys;
    sys.init(MIXED);
    const SweepResult result = sweep(sys, request("top", 1000, 3000, 1000));
    ASSERT_EQ(result.points.size(), 3u);
    EXPECT_EQ(sys.model().conductors[1].V, 500); // the other conductor keeps its voltage

    const std::vector<std::string> names = sweep_column_names(result);
    EXPECT_EQ(names, (std::vector<std::string>{
                         "V top (V)", "Deflection[2] Ba\"q (deg)", "Direction[2] Ba\"q (deg)",
                         "Deflection[3-6] Ebox1 (deg)", "Direction[3-6] Ebox1 (deg)", "Ax[2] Ba\"q (deg)",
                         "Az[2] Ba\"q (deg)", "Ax[3-6] Ebox1 (deg)", "Az[3-6] Ebox1 (deg)", "Q ba,se (nC)",
                         "Q top (nC)", "Total capacitance (pF)", "Steps", "Converged", "End"}));
    EXPECT_EQ(sweep_object_label(result, 1), "[3-6] Ebox1");

    const std::string csv = sweep_csv(result);
    const std::vector<std::string> lines = split_lines(csv);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "\"V top (V)\",\"Deflection[2] Ba\"\"q (deg)\",\"Direction[2] Ba\"\"q (deg)\","
                        "\"Deflection[3-6] Ebox1 (deg)\",\"Direction[3-6] Ebox1 (deg)\",\"Ax[2] Ba\"\"q "
                        "(deg)\",\"Az[2] Ba\"\"q (deg)\",\"Ax[3-6] Ebox1 (deg)\","
                        "\"Az[3-6] Ebox1 (deg)\",\"Q ba,se (nC)\",\"Q top (nC)\",\"Total capacitance (pF)\","
                        "Steps,Converged,End");
    EXPECT_EQ(csv.find('\r'), std::string::npos);
    // The system is left at the last point: its charges are the spheres' sums per conductor.
    const SweepPoint& last = result.points.back();
    EXPECT_EQ(last.charges[0], sys.Q(1));
    EXPECT_NEAR(last.charges[1], sys.Q(2) + sys.Q(3) + sys.Q(4) + sys.Q(5) + sys.Q(6), 1e-25L);
    EXPECT_GT(last.charges[1], 10 * std::fabs(last.charges[0]));
    EXPECT_EQ(csv.back(), '\n');

    // Every number reads back as the value in the table's units, to the last bit.
    for (std::size_t i = 0; i < result.points.size(); ++i) {
        const SweepPoint& p = result.points[i];
        std::vector<std::string> fields;
        std::string field;
        for (const char c : lines[i + 1]) {
            if (c == ',') {
                fields.push_back(field);
                field.clear();
            } else {
                field += c;
            }
        }
        fields.push_back(field);
        ASSERT_EQ(fields.size(), names.size());
        EXPECT_EQ(*parse_field_real(fields[0]), p.voltage);
        for (std::size_t k = 0; k < 2; ++k) {
            const StringDeflection string = deflection_degrees(p.Ax[k], p.Az[k]);
            EXPECT_EQ(*parse_field_real(fields[1 + 2 * k]), string.deflection);
            EXPECT_EQ(*parse_field_real(fields[2 + 2 * k]), string.direction);
        }
        EXPECT_EQ(*parse_field_real(fields[6]), rad_to_deg(p.Az[0]));
        EXPECT_EQ(*parse_field_real(fields[7]), rad_to_deg(p.Ax[1]));
        EXPECT_EQ(*parse_field_real(fields[9]), p.charges[0] * 1e9L);
        EXPECT_EQ(*parse_field_real(fields[10]), p.charges[1] * 1e9L);
        EXPECT_EQ(*parse_field_real(fields[11]), p.capacitance * 1e12L);
        EXPECT_NE(p.charges[0], 0);
        EXPECT_EQ(fields[12], std::to_string(p.steps));
        EXPECT_EQ(fields[13], p.converged() ? "1" : "0");
        EXPECT_EQ(fields[14], point_end_word(p.end));
    }
    EXPECT_EQ(format_shortest(12000), "12000");
    EXPECT_EQ(format_shortest(-2.5e-7L), "-2.5e-07");
}

// The angles a relaxation leaves (Ax turned many times, Az of either sign) are read as a person
// reads a string: its deflection from the vertical and the direction it leans to.
TEST(SweepTable, DeflectionAndDirectionColumnsNormaliseTheRawAngles) {
    SweepResult result;
    result.conductor_name = "all";
    result.objects = {1, 2};
    result.object_indices = {"1", "2"};
    result.object_names = {"ball1", "ball2"};
    result.conductor_names = {"all"};
    SweepPoint point;
    point.voltage = 8000;
    point.Ax = {deg_to_rad(11475.000025L), deg_to_rad(-45.0L)};
    point.Az = {-0.3L, 0.3L};
    point.charges = {1e-9L};
    result.points.push_back(point);
    const std::vector<std::string> row = sweep_row(result, point);
    ASSERT_EQ(row.size(), sweep_column_names(result).size());
    // 11475 degrees is 31 turns and 315 (-45); a negative Az leans the other way, to 135.
    EXPECT_NEAR(*parse_field_real(row[1]), rad_to_deg(0.3L), 1e-12L);
    EXPECT_NEAR(*parse_field_real(row[2]), 135.000025L, 1e-9L);
    EXPECT_NEAR(*parse_field_real(row[3]), rad_to_deg(0.3L), 1e-12L);
    EXPECT_NEAR(*parse_field_real(row[4]), -45, 1e-12L);
    EXPECT_EQ(*parse_field_real(row[5]), rad_to_deg(point.Ax[0]));
    EXPECT_EQ(*parse_field_real(row[6]), rad_to_deg(-0.3L));
}

TEST(SweepTable, WrittenThroughATemporaryFileAndErrorsSayWhy) {
    TestSystem sys;
    sys.init(TWO_BALLS);
    const SweepResult result = sweep(sys, request("all", 0, 1000, 1000));
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("ambrel-sweep-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "curve.csv").string();
    ASSERT_TRUE(write_sweep_csv(path, result).ok());
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), sweep_csv(result));
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1);

    const std::string missing = (folder / "no-folder" / "curve.csv").string();
    const Status failed = write_sweep_csv(missing, result);
    EXPECT_EQ(failed.message(), "cannot write " + missing + ": No such file or directory");
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace ambrel
