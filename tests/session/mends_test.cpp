// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Behaviours that were once wrong and are kept right: fields of an empty shape, UTF-8 text cut by
// characters, an exactly zero charge written without a sign, nothing of an earlier system acting
// on a later one, and the Jacobian's verdict on a state that is not at rest.
#include "../support/test_system.h"

#include "model/utf8.h"
#include "solver/jacobian.h"
#include "solver/relaxation.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

namespace ambrel {
namespace {

using testing_support::jacobian_with_report;
using testing_support::TestSystem;

std::string repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

TEST(EmptyShape, ReadsItsFieldsInOrder) {
    TestSystem t;
    t.read({".X", "*.....", "*.....", "*.....", "*.....", "*.....", "Xe all 1 2 3 4 5 6 0.5 0.5 0.2"});
    // R, the mass of each of no spheres, and the radius as typed.
    EXPECT_TRUE(t.said("Xe all 0.01 0.02 0.03 0.04 0.0872664625997165 0.10471975511966 0.005 0 0.002"));
    EXPECT_EQ(t.model().sphere_count, 0);
}

TEST(Utf8, CutsByCharactersWhenValidAndByBytesOtherwise) {
    const std::string e = "\xc3\xa9"; // é
    EXPECT_EQ(cut_characters("b" + repeat(e, 12), 12), "b" + repeat(e, 11));
    EXPECT_EQ(cut_characters(repeat(e, 5), 12), repeat(e, 5));
    const std::string euro = "\xe2\x82\xac", clef = "\xf0\x9d\x84\x9e"; // three and four bytes
    EXPECT_EQ(cut_characters(euro + clef + "abc", 2), euro + clef);
    // Latin-1 text, and UTF-8 broken in several ways, is cut by bytes.
    EXPECT_EQ(cut_characters(repeat("\xe9", 20), 12), repeat("\xe9", 12));
    for (const std::string bad : {"\xc3", "\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\x80"}) {
        EXPECT_FALSE(is_valid_utf8(bad)) << bad.size();
        EXPECT_EQ(cut_characters(repeat("a", 11) + bad + "zzz", 12), repeat("a", 11) + bad.substr(0, 1));
    }
    EXPECT_TRUE(is_valid_utf8(repeat(e, 3) + euro + clef + "plain"));
}

TEST(Utf8, NamesAndLinesKeepWholeCharacters) {
    TestSystem t;
    const std::string e = "\xc3\xa9";
    const std::string long_comment = "*" + repeat(e, 299);
    t.read({long_comment, "B" + repeat(e, 14) + " c" + repeat(e, 13) + " 0 0 0 10 0 0 1 1"});
    ASSERT_GE(t.sink.lines.size(), 3u);
    EXPECT_EQ(t.sink.lines[1], "*" + repeat(e, 254)); // 255 characters, 509 bytes
    EXPECT_EQ(t.model().spheres[1].name, "B" + repeat(e, 11));
    EXPECT_EQ(t.model().objects[1].conductor_name, "c" + repeat(e, 11));
    EXPECT_TRUE(is_valid_utf8(t.sink.lines[2]));
}

TEST(Charges, AnExactlyZeroChargeHasNoSign) {
    // Two overlapping balls make the matrix indefinite (the exact tier divides by a negative
    // pivot); every voltage is 0, so every charge is exactly 0.
    TestSystem t;
    t.init({"Ba A 0 0 0 10 0 0 1 1", "Bb A 0.5 0 0 10 0 0 1 1", "Bc B 5 0 0 10 0 0 1 1", ".V A 0", ".V B 0"});
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(t.Q(i), 0);
        EXPECT_TRUE(t.said("Q[" + std::to_string(i) + "]=  0.00000000 nC")) << i;
    }
}

// Six plates of 100 spheres: above 500 spheres Initialize stops before the charges.
std::vector<std::string> large_description() {
    std::vector<std::string> lines;
    for (int k = 0; k < 6; ++k)
        lines.push_back("Qp" + std::to_string(k) + " all " + std::to_string(4 * k) + " 0 0 10 20 10 1 1");
    lines.push_back(".V all 3000");
    return lines;
}

TEST(Reproducibility, ARunDoesNotDependOnWhatRanBefore) {
    RelaxationSettings one_step;
    one_step.max_steps = 2;
    TestSystem fresh, used;
    // The used session has run another system whose rotational forces were large.
    used.init({"Ba all 0 0 0 10 40 60 1 0.1", "Bb all 1 0 0 10 0 0 1 0.1", ".V all 20000"});
    run_calculate(used.session, one_step);
    ASSERT_GT(max_rotational_force(used.model(), used.ev()), 0);

    for (TestSystem* t : {&fresh, &used}) {
        const InitializeResult init = t->init(large_description());
        ASSERT_FALSE(init.charges_computed);
        // No charges computed: nothing may act in the first step.
        EXPECT_EQ(max_rotational_force(t->model(), t->ev()), 0);
        EXPECT_FALSE(t->ev().forces_valid);
        t->sink.lines.clear();
        run_calculate(t->session, one_step);
    }
    EXPECT_EQ(used.sink.lines, fresh.sink.lines);
    for (int k = 1; k <= fresh.model().object_count; ++k) {
        EXPECT_EQ(used.o(k).Ax, fresh.o(k).Ax);
        EXPECT_EQ(used.o(k).Az, fresh.o(k).Az);
    }
}

TEST(JacobianVerdict, AStateNotAtRestIsNoEquilibrium) {
    TestSystem t;
    t.init(default_description());
    JacobianSettings settings;
    const Real residual_uN = max_rotational_force(t.model(), t.ev()) * 1e6L;
    ASSERT_GT(residual_uN, 1); // the default description starts away from rest

    t.sink.lines.clear();
    EXPECT_EQ(jacobian_with_report(t.session, settings).stability, Stability::NotEquilibrium);
    const std::string& verdict = t.sink.lines.back();
    EXPECT_EQ(verdict.rfind("Not an equilibrium: the largest rotational force is ", 0), 0u) << verdict;
    EXPECT_NE(verdict.find(" uN, above the tolerance of 0.0001 uN; the eigenvalues describe the motion"),
              std::string::npos)
        << verdict;
    EXPECT_TRUE(std::any_of(t.sink.lines.begin(), t.sink.lines.end(),
                            [](const std::string& l) { return l.rfind("Eigenvalues (", 0) == 0; }));

    // With a tolerance above the residual the eigenvalues decide.
    settings.force_error_uN = residual_uN * 2;
    t.sink.lines.clear();
    const Stability s = jacobian_with_report(t.session, settings).stability;
    EXPECT_TRUE(s == Stability::Stable || s == Stability::Unstable || s == Stability::Undecided);
    EXPECT_EQ(t.sink.lines.back().find("Not an equilibrium"), std::string::npos);
}

TEST(JacobianVerdict, BeforeTheFirstInitializeTheDescriptionIsRead) {
    TestSystem t;
    ASSERT_FALSE(t.session.system_initialized);
    bool initialized = false;
    RunObserver observer;
    observer.initialized = [&](const InitializeResult&) { initialized = true; };
    const std::vector<std::string> lines = default_description();
    read_if_needed(t.session, lines, observer);
    const JacobianResult r = jacobian_with_report(t.session, JacobianSettings{}, observer);
    EXPECT_TRUE(initialized);
    EXPECT_TRUE(t.said("Reading 6 lines of input"));
    EXPECT_TRUE(r.computed);
    EXPECT_EQ(r.size, 8); // four balls, two angles each
    EXPECT_FALSE(t.said("No movable object: there are no eigenvalues to examine."));
}

} // namespace
} // namespace ambrel
