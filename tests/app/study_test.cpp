// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Parameter studies as a user runs them: a template, a points file, the table; its workers, its
// shards and their merge.
#include "app/batch.h"
#include "app/study.h"
#include "description/reader.h"
#include "description/template.h"
#include "model/output_sink.h"
#include "model/units.h"
#include "report/sweep_table.h"
#include "session/session.h"
#include "solver/initialize.h"
#include "text/csv_file.h"
#include "text/number_format.h"
#include "text/numeric_field.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace ambrel {
namespace {

namespace fs = std::filesystem;

struct StudyOutput {
    int status = -1;
    std::string out, err;
};

std::string read_whole(std::FILE* f) {
    std::rewind(f);
    std::string text;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
        text.append(buf, n);
    return text;
}

StudyOutput study_batch(const std::vector<std::string>& args) {
    StudyOutput run;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    static const StopSource never;
    run.status = run_batch(args, out, err, never.token(), {}, AMBREL_BATCH_EXE);
    run.out = read_whole(out);
    run.err = read_whole(err);
    std::fclose(out);
    std::fclose(err);
    return run;
}

std::string file_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class StudyFolder {
  public:
    StudyFolder() : path_(fs::temp_directory_path() / ("ambrel-study-test-" + std::to_string(::getpid()))) {
        fs::create_directories(path_);
    }
    ~StudyFolder() { fs::remove_all(path_); }
    std::string write(const std::string& name, const std::string& content) const {
        std::ofstream(path_ / name, std::ios::binary) << content;
        return (path_ / name).string();
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    fs::path path_;
};

std::vector<std::vector<std::string>> records(const std::string& text) {
    const auto parsed = parse_csv(text);
    EXPECT_TRUE(parsed.ok()) << parsed.message();
    return parsed ? *parsed : std::vector<std::vector<std::string>>{};
}

std::size_t column(const std::vector<std::string>& header, const std::string& name) {
    const auto at = std::find(header.begin(), header.end(), name);
    EXPECT_NE(at, header.end()) << name;
    return static_cast<std::size_t>(at - header.begin());
}

// Two plates of 10 x 10 spheres, 2 cm square, the top one ${gap} cm above the other.
const std::string PLATES = "* Two plates ${gap} cm apart\n"
                           "Qtop top 0 0 ${gap} 0 0 0 1 1\n"
                           "Qbottom bottom 0 0 0 0 0 0 1 1\n"
                           ".V top 50\n"
                           ".V bottom -50\n";

// The same with plates of 5 x 5 spheres, for the tests that run a study many times.
const std::string SMALL_PLATES = "Stop top 0 0 ${gap} 0 0 0 1 1\n"
                                 "Sbottom bottom 0 0 0 0 0 0 1 1\n"
                                 ".V top 50\n"
                                 ".V bottom -50\n";

std::string twelve_gaps() {
    std::string points = "gap\n";
    for (int i = 1; i <= 12; ++i)
        points += format_g(0.05L * i) + "\n";
    return points;
}

TEST(Template, FilledMissingAndUnusedValuesAndTextThatIsNoPlaceholder) {
    EXPECT_EQ(template_placeholders("a ${x} $y ${ b} ${x} ${_2}${x"), (std::vector<std::string>{"x", "_2"}));
    const auto filled = fill_template("Ba A ${x} 0 0 10 0 ${az}\n$ {x} ${x}", {{"x", "1.5"}, {"az", "-3"}});
    ASSERT_TRUE(filled.ok()) << filled.message();
    EXPECT_EQ(*filled, "Ba A 1.5 0 0 10 0 -3\n$ {x} 1.5");
    EXPECT_EQ(fill_template("${gap} ${kind}", {{"gap", "1"}}).message(), "no value for ${kind}");
    EXPECT_EQ(fill_template("${gap}", {{"gap", "1"}, {"gapp", "2"}}).message(),
              "${gapp} is not in the description");
    EXPECT_FALSE(fill_template("${gap}", {{"gap", "1\nKx"}}).ok());
    // A name is a letter or "_", then letters, digits and "_": digits anywhere but first, in the
    // text, in a name alone and in the points file's header.
    EXPECT_EQ(template_placeholders("${gap2} ${a_1} ${x0123456789} ${2a} ${a-1} ${9}"),
              (std::vector<std::string>{"gap2", "a_1", "x0123456789"}));
    const auto digits = fill_template("Ba A ${gap2} 0 0 ${a_1} 0 ${x0123456789} ${2a}",
                                      {{"gap2", "1"}, {"a_1", "10"}, {"x0123456789", "30"}});
    ASSERT_TRUE(digits.ok()) << digits.message();
    EXPECT_EQ(*digits, "Ba A 1 0 0 10 0 30 ${2a}");
    for (const char* name : {"gap2", "a_1", "_0", "Z9_", "x0123456789"})
        EXPECT_TRUE(is_placeholder_name(name)) << name;
    for (const char* name : {"", "2a", "0", "a-1", "a 1", "a1$"})
        EXPECT_FALSE(is_placeholder_name(name)) << name;
    const auto digit_points = read_study_points("gap2,a_1\n0.3,10\n");
    ASSERT_TRUE(digit_points.ok()) << digit_points.message();
    EXPECT_EQ(digit_points->names, (std::vector<std::string>{"gap2", "a_1"}));
    EXPECT_FALSE(read_study_points("2gap\n0.3\n").ok());

    StudyFolder folder;
    const std::string plates = folder.write("plates.bal", PLATES);
    const StudyOutput ok = study_batch({"--set", "gap=0.3", "--capacitances", plates});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_NE(ok.out.find("\n* Two plates 0.3 cm apart\n"), std::string::npos) << ok.out;
    EXPECT_EQ(ok.out, study_batch({"--capacitances",
                                   folder.write("filled.bal", *fill_template(PLATES, {{"gap", "0.3"}}))})
                          .out);

    const StudyOutput missing = study_batch({plates});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, "ambrel-batch: " + plates + ": no value for ${gap}\n");
    const StudyOutput unused = study_batch({"--set", "gap=1", "--set", "width=2", plates});
    EXPECT_EQ(unused.status, 2);
    EXPECT_EQ(unused.err, "ambrel-batch: " + plates + ": ${width} is not in the description\n");
    EXPECT_EQ(study_batch({"--set", "gap=1"}).status, 2); // the default description holds none
    EXPECT_EQ(study_batch({"--set", "gap", plates}).status, 2);
    EXPECT_EQ(study_batch({"--set", "gap=1", "--set", "gap=2", plates}).status, 2);
}

// Each point's capacitances are those of a separate run of the filled template, to the last bit,
// and the plates' capacitance falls as they part.
TEST(Study, TwelveGapsOfTwoPlatesGiveTheCapacitancesOfSeparateRuns) {
    StudyFolder folder;
    const std::string plates = folder.write("plates.bal", PLATES);
    const std::string points = folder.write("gaps.csv", twelve_gaps());
    const StudyOutput study = study_batch({"--study", points, "--capacitances", plates});
    ASSERT_EQ(study.status, 0) << study.err;
    EXPECT_EQ(study.err, "");
    const auto rows = records(study.out);
    ASSERT_EQ(rows.size(), 13u);
    const std::vector<std::string>& header = rows[0];
    EXPECT_EQ(header, (std::vector<std::string>{
                          "Point (of 12)", "gap", "Status", "Message", "Total capacitance (pF)", "Q top (nC)",
                          "Q bottom (nC)", "V top (V)", "V bottom (V)", "CC[top][top] (pF)",
                          "CC[top][bottom] (pF)", "CC[bottom][top] (pF)", "CC[bottom][bottom] (pF)"}));
    const auto gaps = records(twelve_gaps());
    Real previous = 0;
    for (std::size_t i = 1; i <= 12; ++i) {
        const std::vector<std::string>& row = rows[i];
        EXPECT_EQ(row[0], std::to_string(i));
        EXPECT_EQ(row[1], gaps[i][0]);
        EXPECT_EQ(row[2], "ok");
        // The same template filled and run alone: its capacitance matrix file and its evaluation.
        const std::string filled = *fill_template(PLATES, {{"gap", row[1]}});
        const std::string matrix = folder.file("matrix.csv");
        ASSERT_EQ(study_batch({"--capacitance-matrix", matrix, folder.write("one.bal", filled)}).status, 0);
        const auto alone = records(file_text(matrix));
        ASSERT_EQ(alone.size(), 5u);
        EXPECT_EQ((std::vector<std::string>{row[9], row[10]}),
                  (std::vector<std::string>{alone[1][2], alone[1][3]}));
        EXPECT_EQ((std::vector<std::string>{row[11], row[12]}),
                  (std::vector<std::string>{alone[2][2], alone[2][3]}));
        NullSink quiet;
        Session session(quiet);
        initialize_system(session, split_lines(filled));
        EXPECT_EQ(row[4], table_number(session.evaluation.total_capacitance * 1e12L));
        EXPECT_EQ(*parse_field_real(row[7]), 50);
        EXPECT_EQ(*parse_field_real(row[8]), -50);
        // Charges of +-50 V: Q top = 50 (CC[t][t] - CC[t][b]) pF V.
        const Real cc_tt = *parse_field_real(row[9]), cc_tb = *parse_field_real(row[10]);
        EXPECT_NEAR(*parse_field_real(row[5]), 50 * (cc_tt - cc_tb) * 1e-3L, 1e-12L);
        // The capacitance between the plates, -CC[t][b], falls as the gap grows.
        if (i > 1) {
            EXPECT_LT(-cc_tb, previous) << row[1];
        }
        previous = -cc_tb;
    }
}

// Two equal balls from one point: each string's deflection from the table obeys the balance of
// the Coulomb force between the balls and their weight, tan t = q^2 / (4 pi e0 (2 L sin t)^2 m g),
// whatever the signs and turns of the angles the run started from; the directions are the
// azimuths of the strings' ends.
TEST(Study, DeflectionsOfTwoBallsFromOnePointObeyTheirClosedForm) {
    StudyFolder folder;
    const std::string balls = folder.write("balls.bal", "Ba all 0 0 0 ${L} ${ax} 10 0.1 0.2\n"
                                                        "Bb all 0 0 0 ${L} ${ax} -10 0.1 0.2\n"
                                                        ".V all ${V}\n");
    const std::string points =
        folder.write("points.csv", "L,ax,V\n10,0,5000\n12,200,8000\n8,-90,6000\n10,3645,7000\n");
    const StudyOutput study = study_batch({"--study", points, "--calculate", balls});
    ASSERT_EQ(study.status, 0) << study.err;
    const auto rows = records(study.out);
    ASSERT_EQ(rows.size(), 5u);
    const std::vector<std::string>& header = rows[0];
    const std::size_t q = column(header, "Q all (nC)"), end = column(header, "End");
    const std::size_t deflection = column(header, "Deflection[1] Ba (deg)");
    EXPECT_EQ(column(header, "Direction[2] Bb (deg)"), deflection + 3);
    EXPECT_EQ(column(header, "Largest rotational force (uN)"), deflection - 1);
    const Real expected_direction[4] = {0, -160, -90, 45};
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const std::vector<std::string>& row = rows[i];
        EXPECT_EQ(row[end], "converged");
        const Real L = *parse_field_real(row[1]) / 100, charge = *parse_field_real(row[q]) * 1e-9L / 2;
        const Real t = deg_to_rad(*parse_field_real(row[deflection]));
        EXPECT_NEAR(*parse_field_real(row[deflection + 2]), *parse_field_real(row[deflection]), 1e-9L);
        const Real d = 2 * L * std::sin(t);
        const Real balance = charge * charge / (FOUR_PI_E0 * d * d * 0.2e-3L * GRAVITY);
        // To the run's tolerance (1e-4 uN of rotational force against a weight of 2 mN).
        EXPECT_NEAR(std::tan(t) / balance, 1, 1e-5L) << row[0];
        EXPECT_GT(t, deg_to_rad(1));
        EXPECT_NEAR(*parse_field_real(row[deflection + 1]), expected_direction[i - 1], 1e-6L) << row[0];
        const Real opposite = expected_direction[i - 1] + (expected_direction[i - 1] > 0 ? -180 : 180);
        EXPECT_NEAR(*parse_field_real(row[deflection + 3]), opposite, 1e-6L) << row[0];
    }
    // A string along the vertical has no direction; the direction never reaches -180.
    EXPECT_EQ(deflection_degrees(7, 0).direction, 0);
    EXPECT_NEAR(deflection_degrees(7, 2 * PI).deflection, 0, 1e-15L);
    EXPECT_EQ(deflection_degrees(PI, 0.25L).direction, 180);
    EXPECT_EQ(deflection_degrees(0, -0.25L).direction, 180);
    EXPECT_EQ(string_deflection(0, -0.25L).direction, PI);
    EXPECT_EQ(string_deflection(-PI, 0.25L).direction, PI);
    EXPECT_NEAR(deflection_degrees(-PI / 2, -PI - 0.25L).deflection, rad_to_deg(PI - 0.25L), 1e-12L);
    EXPECT_NEAR(deflection_degrees(-PI / 2, -PI - 0.25L).direction, -90, 1e-12L);
}

// A point whose description does not read, and one whose run diverges, are rows that say so; the
// points around them are computed as they would be alone.
TEST(Study, AFailingPointIsARowAndTheStudyGoesOn) {
    StudyFolder folder;
    const std::string balls = folder.write("balls.bal", "${kind} all -0.5 0 0 10 180 10 0.5 0.2\n"
                                                        "Bb all 0.5 0 0 10 0 10 0.5 0.2\n"
                                                        ".V all ${V}\n");
    const std::string points = folder.write("points.csv", "kind,V\nBa,5000\nKx,5000\nBa,1e9\nBa,6000\n");
    const StudyOutput study = study_batch({"--study", points, "--calculate", balls});
    EXPECT_EQ(study.status, 1);
    const auto rows = records(study.out);
    ASSERT_EQ(rows.size(), 5u);
    const std::vector<std::string>& header = rows[0];
    const std::size_t steps = column(header, "Steps");
    EXPECT_EQ(rows[1][3], "ok");
    EXPECT_EQ(rows[2][3], "failed");
    EXPECT_EQ(rows[2][4], "Unknown element: [Kx all -0.5 0 0 10 180 10 0.5 0.2]");
    EXPECT_EQ(rows[2][5], "");
    EXPECT_EQ(rows[2][steps], "");
    EXPECT_EQ(rows[3][3], "failed");
    EXPECT_EQ(rows[3][4], "the run ended with Too large angles");
    EXPECT_EQ(rows[3][steps + 1], "too-large-angles");
    EXPECT_EQ(rows[3][5], "");
    EXPECT_EQ(rows[4][3], "ok");
    EXPECT_EQ(rows[4][steps + 1], "converged");
    for (const std::size_t i : {std::size_t(1), std::size_t(4)}) {
        const std::string alone =
            folder.write("alone.csv", "kind,V\n" + rows[i][1] + "," + rows[i][2] + "\n");
        const auto single = records(study_batch({"--study", alone, "--calculate", balls}).out);
        ASSERT_EQ(single.size(), 2u);
        EXPECT_EQ(std::vector<std::string>(single[1].begin() + 1, single[1].end()),
                  std::vector<std::string>(rows[i].begin() + 1, rows[i].end()));
    }

    // With --strict a point whose reading warns fails with the first warning; without, it is
    // computed as read.
    const std::string points_with_typo = folder.write("typo.csv", "kind,V\nBa,5000\nBa,5000x\n");
    const auto strict = study_batch({"--strict", "--study", points_with_typo, "--calculate", balls});
    EXPECT_EQ(strict.status, 1);
    const auto strict_rows = records(strict.out);
    ASSERT_EQ(strict_rows.size(), 3u);
    EXPECT_EQ(strict_rows[1][3], "ok");
    EXPECT_EQ(strict_rows[2][3], "failed");
    EXPECT_EQ(strict_rows[2][4], "line 3: .V: Voltage: \"5000x\" is not a number (read as 5000)");
    const auto lenient = records(study_batch({"--study", points_with_typo, "--calculate", balls}).out);
    ASSERT_EQ(lenient.size(), 3u);
    EXPECT_EQ(lenient[2][3], "ok");

    // Errors of the study itself stop it before any point.
    EXPECT_EQ(study_batch({"--study", points, balls, "--list"}).status, 2);
    EXPECT_EQ(study_batch({"--study", points, balls, "--calculate", "--equilibrium"}).status, 2);
    EXPECT_EQ(study_batch({"--study", points, "--calculate"}).status, 2);
    const StudyOutput extra =
        study_batch({"--study", folder.write("extra.csv", "kind,V,W\nBa,1,2\n"), balls});
    EXPECT_EQ(extra.status, 2);
    EXPECT_EQ(extra.err, "ambrel-batch: " + balls + ": ${W} is not in the description\n");
    const StudyOutput both = study_batch({"--study", points, "--set", "V=3", balls});
    EXPECT_EQ(both.status, 2);
    EXPECT_EQ(both.err, "ambrel-batch: " + balls + ": --set V: the points file gives its values\n");
    EXPECT_EQ(study_batch({"--study", folder.write("short.csv", "kind,V\nBa\n"), balls}).status, 2);
    EXPECT_EQ(study_batch({"--study", folder.write("bad.csv", "kind,2V\nBa,1\n"), balls}).status, 2);
    EXPECT_EQ(study_batch({"--study", folder.write("none.csv", "kind,V\n"), balls}).status, 2);
    EXPECT_EQ(study_batch({"--study", points, "--shard", "3/2", balls}).status, 2);
    EXPECT_EQ(study_batch({"--shard", "1/2", balls}).status, 2);
}

// Workers and shards give the table of one run, byte for byte; the merge refuses parts that do
// not make one study.
TEST(Study, WorkersAndShardsGiveTheSameTableAndTheMergeChecksItsParts) {
    StudyFolder folder;
    const std::string plates = folder.write("plates.bal", SMALL_PLATES);
    const std::string points = folder.write("gaps.csv", twelve_gaps());
    const StudyOutput one = study_batch({"--study", points, "--capacitances", plates});
    ASSERT_EQ(one.status, 0);
    const StudyOutput two = study_batch({"--study", points, "--capacitances", "--jobs", "2", plates});
    EXPECT_EQ(two.status, 0) << two.err;
    EXPECT_EQ(two.out, one.out);
    EXPECT_EQ(study_batch({"--study", points, "--capacitances", "--jobs", "5", plates}).out, one.out);

    std::vector<std::string> parts;
    for (int k = 1; k <= 3; ++k) {
        const StudyOutput shard =
            study_batch({"--study", points, "--capacitances", "--shard", std::to_string(k) + "/3", plates});
        ASSERT_EQ(shard.status, 0);
        EXPECT_EQ(records(shard.out).size(), 5u); // 4 points each, round robin
        parts.push_back(folder.write("part" + std::to_string(k) + ".csv", shard.out));
    }
    const std::string merged = folder.file("merged.csv");
    const auto merge = [&](std::vector<std::string> files) {
        files.insert(files.begin(), {"--merge", merged});
        return study_batch(files);
    };
    ASSERT_EQ(merge({parts[2], parts[0], parts[1]}).status, 0);
    EXPECT_EQ(file_text(merged), one.out);
    fs::remove(merged);

    const StudyOutput missing = merge({parts[0], parts[2]});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "ambrel-batch: --merge: point 2 of 12 is in no part\n");
    EXPECT_EQ(merge({parts[0], parts[1], parts[2], parts[1]}).err,
              "ambrel-batch: --merge: point 2 is twice: in " + parts[1] + " and in " + parts[1] + "\n");
    // The same point with other parameters: another study's part.
    std::string other = file_text(parts[1]);
    other.replace(other.find("\n2,0.1,"), 7, "\n2,0.7,");
    const StudyOutput mixed = merge({parts[0], parts[1], parts[2], folder.write("other.csv", other)});
    EXPECT_EQ(mixed.err, "ambrel-batch: --merge: point 2 has other parameters in " +
                             folder.file("other.csv") + " than in " + parts[1] +
                             ": the parts are of different studies\n");
    // Another header: another study (here one without --capacitances).
    const std::string plain =
        folder.write("plain.csv", study_batch({"--study", points, "--shard", "2/3", plates}).out);
    const StudyOutput headers = merge({parts[0], plain, parts[2]});
    EXPECT_EQ(headers.status, 2);
    EXPECT_EQ(headers.err, "ambrel-batch: --merge: " + plain + ": its header is not that of " + parts[0] +
                               ": the parts are of different studies\n");
    EXPECT_EQ(merge({folder.write("sweep.csv", "V,x\n1,2\n")}).status, 2);
    EXPECT_FALSE(fs::exists(merged));
    EXPECT_EQ(study_batch({"--merge", merged}).status, 2);
    EXPECT_EQ(study_batch({points, "--merge", merged, parts[0]}).status, 2);
}

// The run's force error is the finder's tolerance at every point, also in a sweep by the finder:
// above the starting state's largest rotational force (about 0.3 mN here) the state is at rest
// as it starts, no iteration, where the default tolerance takes several.
TEST(Study, TheForceErrorIsTheFindersTolerance) {
    StudyFolder folder;
    const std::string balls = folder.write("balls.bal", "Ba all -0.5 0 0 ${L} 180 10 0.5 0.2\n"
                                                        "Bb all 0.5 0 0 ${L} 0 10 0.5 0.2\n"
                                                        ".V all 5000\n");
    const std::string points = folder.write("points.csv", "L\n10\n15\n");
    const auto steps = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--study", points});
        args.push_back(balls);
        const StudyOutput study = study_batch(args);
        EXPECT_EQ(study.status, 0) << study.err;
        const auto rows = records(study.out);
        std::vector<std::string> found;
        for (std::size_t i = 1; i < rows.size(); ++i)
            found.push_back(rows[i][column(rows[0], "Steps")]);
        return found;
    };
    EXPECT_EQ(steps({"--force-error", "1e4", "--equilibrium"}), (std::vector<std::string>{"0", "0"}));
    EXPECT_EQ(steps({"--force-error", "1e4", "--sweep", "all=4000:6000:2000", "--method", "equilibrium"}),
              (std::vector<std::string>{"0", "0", "0", "0"}));
    const auto by_default = steps({"--equilibrium"});
    const auto swept = steps({"--sweep", "all=4000:6000:2000", "--method", "equilibrium"});
    ASSERT_EQ(by_default.size(), 2u);
    ASSERT_EQ(swept.size(), 4u);
    for (const auto* taken : {&by_default, &swept})
        for (const std::string& iterations : *taken)
            EXPECT_GT(*parse_field_int(iterations), 0);
}

// With --sweep a point is a row per voltage, each holding that voltage's state.
TEST(Study, ASweepAtEachPointGivesARowPerVoltage) {
    StudyFolder folder;
    const std::string balls = folder.write("balls.bal", "Ba all -0.5 0 0 ${L} 180 10 0.5 0.2\n"
                                                        "Bb all 0.5 0 0 ${L} 0 10 0.5 0.2\n"
                                                        ".V all 1000\n");
    const std::string points = folder.write("points.csv", "L\n10\n15\n");
    const StudyOutput study = study_batch({"--study", points, "--sweep", "all=4000:6000:2000", balls});
    ASSERT_EQ(study.status, 0) << study.err;
    const auto rows = records(study.out);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0][2], "Sweep point");
    const std::size_t v = column(rows[0], "V all (V)"),
                      deflection = column(rows[0], "Deflection[1] Ba (deg)");
    const char* expected[4][3] = {{"1", "10", "1"}, {"1", "10", "2"}, {"2", "15", "1"}, {"2", "15", "2"}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ((std::vector<std::string>(rows[i + 1].begin(), rows[i + 1].begin() + 3)),
                  (std::vector<std::string>{expected[i][0], expected[i][1], expected[i][2]}));
        EXPECT_EQ(rows[i + 1][v], i % 2 == 0 ? "4000" : "6000");
    }
    EXPECT_GT(*parse_field_real(rows[2][deflection]), *parse_field_real(rows[1][deflection]));
    // The sweep's own table of the first point has the same deflections.
    const StudyOutput alone = study_batch({"--set", "L=10", "--sweep", "all=4000:6000:2000", balls});
    const auto sweep = records(alone.out);
    ASSERT_EQ(sweep.size(), 3u);
    EXPECT_EQ(sweep[2][1], rows[2][deflection]);
    EXPECT_EQ(sweep[2][2], rows[2][deflection + 1]);

    // Several rows a point: workers and shards merged give the table of one run, each point's
    // rows together and in the sweep's order (round robin: the first of two shards holds points 1
    // and 3).
    const std::string three = folder.write("three.csv", "L\n10\n15\n12\n");
    const auto sweep_study = [&](std::vector<std::string> more) {
        more.insert(more.begin(), {"--study", three, "--sweep", "all=4000:6000:1000"});
        more.push_back(balls);
        return study_batch(more);
    };
    const StudyOutput whole = sweep_study({});
    ASSERT_EQ(whole.status, 0) << whole.err;
    ASSERT_EQ(records(whole.out).size(), 10u);
    const StudyOutput workers = sweep_study({"--jobs", "2"});
    EXPECT_EQ(workers.status, 0) << workers.err;
    EXPECT_EQ(workers.out, whole.out);
    const std::string merged = folder.file("merged.csv");
    std::vector<std::string> merge{"--merge", merged};
    for (const char* shard : {"2/2", "1/2"}) {
        const StudyOutput part = sweep_study({"--shard", shard});
        ASSERT_EQ(part.status, 0) << part.err;
        merge.push_back(folder.write("part" + std::string(1, shard[0]) + ".csv", part.out));
    }
    const StudyOutput merging = study_batch(merge);
    ASSERT_EQ(merging.status, 0) << merging.err;
    EXPECT_EQ(file_text(merged), whole.out);
}

} // namespace
} // namespace ambrel
