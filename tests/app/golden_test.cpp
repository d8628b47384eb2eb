// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Golden transcripts: ambrel-batch on descriptions in tests/data must print exactly the stored
// lines. On a mismatch the test shows where the output departs from the transcript.
// To accept a deliberate change, run with AMBREL_UPDATE_GOLDEN=1 and review the diff.
//
// One exception: the eigenvalues of the Jacobian and their errors come from finite differences,
// and their last bits follow the rounding of the double Cholesky factor, which OpenBLAS computes
// with kernels of its own for each kind of processor (the charges are refined to the same long
// double values, but not always to the same last bit, and the differences divide that bit by h).
// They are printed only to the digits their errors allow, but a value on the edge of a rounding
// could still turn: lines of an eigenvalue list match when every number agrees to 1e-11 and the
// rest of the text is the same.
#include "app/batch.h"
#include "description/reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

namespace ambrel {
namespace {

std::string data_path(const std::string& name) {
    return std::string(AMBREL_TEST_DATA) + "/" + name;
}

std::string run_to_text(std::vector<std::string> args) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    run_batch(args, out, err);
    std::rewind(out);
    std::string text;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, out)) > 0)
        text.append(buf, n);
    std::fclose(out);
    std::fclose(err);
    return text;
}

// The numbers of a line, and its text with each number replaced by '#'.
std::pair<std::vector<double>, std::string> split_numbers(const std::string& line) {
    static const std::regex number(R"([0-9]+(\.[0-9]*)?([eE][-+]?[0-9]+)?)");
    std::vector<double> values;
    std::string text;
    std::size_t last = 0;
    for (auto it = std::sregex_iterator(line.begin(), line.end(), number); it != std::sregex_iterator();
         ++it) {
        text += line.substr(last, static_cast<std::size_t>(it->position()) - last) + "#";
        values.push_back(std::stod(it->str()));
        last = static_cast<std::size_t>(it->position() + it->length());
    }
    return {values, text + line.substr(last)};
}

bool eigenvalue_lines_match(const std::string& want, const std::string& got) {
    const auto [a, a_text] = split_numbers(want);
    const auto [b, b_text] = split_numbers(got);
    if (a_text != b_text || a.size() != b.size() || a.empty())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!(std::fabs(a[i] - b[i]) <= 1e-11 * std::max(std::fabs(a[i]), 1e-3)))
            return false;
    return true;
}

// Equal lines, but for the last digits of eigenvalues (see the top of the file).
bool transcripts_match(const std::vector<std::string>& want, std::vector<std::string>& got) {
    if (want.size() != got.size())
        return false;
    bool eigenvalues = false;
    for (std::size_t i = 0; i < want.size(); ++i) {
        if (want[i] != got[i]) {
            if (!eigenvalues || !eigenvalue_lines_match(want[i], got[i]))
                return false;
            got[i] = want[i]; // so that a real difference further on is the one shown
        }
        if (want[i].rfind("Eigenvalues (", 0) == 0)
            eigenvalues = true;
        else if (eigenvalues && split_numbers(want[i]).first.empty())
            eigenvalues = false;
    }
    return true;
}

std::string describe_difference(const std::vector<std::string>& want, const std::vector<std::string>& got) {
    std::size_t i = 0;
    while (i < want.size() && i < got.size() && want[i] == got[i])
        ++i;
    std::ostringstream s;
    s << "first difference at line " << i + 1 << " (expected " << want.size() << " lines, got " << got.size()
      << ")\n";
    const std::size_t from = i >= 3 ? i - 3 : 0;
    for (std::size_t k = from; k < i; ++k)
        s << "  " << want[k] << "\n";
    for (std::size_t k = i; k < std::min(want.size(), i + 5); ++k)
        s << "- " << want[k] << "\n";
    for (std::size_t k = i; k < std::min(got.size(), i + 5); ++k)
        s << "+ " << got[k] << "\n";
    return s.str();
}

void check_golden(const std::vector<std::string>& args, const std::string& expected_name) {
    const std::string got = run_to_text(args);
    const std::string path = data_path(expected_name);
    if (std::getenv("AMBREL_UPDATE_GOLDEN")) {
        std::ofstream(path, std::ios::binary) << got;
        GTEST_SKIP() << "rewrote " << path;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << "missing transcript " << path;
    std::stringstream want;
    want << in.rdbuf();
    const auto want_lines = split_lines(want.str());
    auto got_lines = split_lines(got);
    EXPECT_TRUE(transcripts_match(want_lines, got_lines)) << describe_difference(want_lines, got_lines);
}

TEST(Golden, DefaultDescriptionInitialize) {
    check_golden({}, "default_initialize.expected");
}

TEST(Golden, MixedObjectsWithCapacitances) {
    check_golden({"--on", "show-forces", "--on", "distances-between-centers", "--on",
                  "distances-between-surfaces", "--on", "show-electric-fields", "--capacitances", "--list",
                  data_path("mixed.bal")},
                 "mixed_capacitances.expected");
}

// A ball held at a voltage and an isolated neutral pair: the charge line, the potential the pair
// floats at after Initialize and after the run, its .Q line in the listing, the capacitances.
TEST(Golden, IsolatedConductorInductionCalculateCapacitances) {
    check_golden({"--calculate", "--capacitances", "--list", data_path("induction.bal")},
                 "induction_calculate.expected");
}

TEST(Golden, DefaultDescriptionCalculate) {
    check_golden({"--calculate", "--list"}, "default_calculate.expected");
}

// Rotated composites, stacked plates and three conductors through every report, a relaxation run,
// the Jacobian with its eigenvalues and the capacitances: the default law with torques.
TEST(Golden, RotatedMixedCalculateJacobianCapacitances) {
    check_golden({"--on", "show-forces", "--on", "distances-between-centers", "--on",
                  "distances-between-surfaces", "--on", "show-electric-fields", "--steps", "40",
                  "--calculate", "--jacobian", "--capacitances", "--list", data_path("rotated_mixed.bal")},
                 "rotated_mixed_full.expected");
}

// The same system under the time-domain law with a random start, summed rotation forces and
// plates taken as balls; the Jacobian refuses the time-domain law.
TEST(Golden, RotatedMixedTimeDomainRandomStart) {
    check_golden({"--on",
                  "true-time-domain-simulation",
                  "--off",
                  "correct-rotation-forces",
                  "--off",
                  "use-squares-for-flat-objects",
                  "--off",
                  "show-tangent-forces",
                  "--on",
                  "distances-between-surfaces",
                  "--random-error",
                  "3",
                  "--damping",
                  "0.02",
                  "--time-step",
                  "0.005",
                  "--steps",
                  "25",
                  "--calculate",
                  "--list",
                  "--jacobian",
                  "--capacitances",
                  data_path("rotated_mixed.bal")},
                 "rotated_mixed_time_domain.expected");
}

} // namespace
} // namespace ambrel
