// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The argument of --sweep: CONDUCTOR=START:STOP:STEP, its range rules and the messages of wrong
// ranges.
#include "app/sweep_argument.h"

#include <gtest/gtest.h>

#include <string>

namespace ambrel {
namespace {

SweepRequest request(const std::string& text) {
    const Result<SweepRequest> parsed = parse_sweep_request(text);
    EXPECT_TRUE(parsed.ok()) << text << ": " << parsed.message();
    return parsed.ok() ? *parsed : SweepRequest{};
}

std::string range_error(const std::string& text) {
    const Result<SweepRange> range = parse_sweep_range(text);
    EXPECT_FALSE(range.ok()) << text;
    return range.message();
}

TEST(SweepRange, PointsAreStartPlusIStepUpToStopAllowingRounding) {
    const auto count = [](const std::string& text) {
        const Result<SweepRange> range = parse_sweep_range(text);
        EXPECT_TRUE(range.ok()) << text << ": " << range.message();
        return range.ok() ? *sweep_point_count(*range) : -1;
    };
    EXPECT_EQ(count("0:12000:1000"), 13);
    EXPECT_EQ(count("0:1:0.1"), 11); // 10 * 0.1 is not exactly 1
    EXPECT_EQ(count("0:0.3:0.1"), 4);
    EXPECT_EQ(count("0:1:0.3"), 4);
    EXPECT_EQ(count("1.1:1.4:0.1"), 4); // (1.4 - 1.1) / 0.1 is a little below 3
    EXPECT_EQ(count("0:0.9:0.3"), 4);
    EXPECT_EQ(count("12000:0:-1000"), 13);
    EXPECT_EQ(count("5:5:1"), 1);
    EXPECT_EQ(count("5:5:-1"), 1);
    EXPECT_EQ(count(" -1e3:1E3:5e2"), 5);
    EXPECT_EQ(count("0:99999:1"), MAX_SWEEP_POINTS);

    const SweepRange range = *parse_sweep_range("0:1:0.1");
    EXPECT_EQ(sweep_voltage(range, 7), 7 * 0.1L); // from i, not accumulated
    EXPECT_EQ(sweep_voltage(*parse_sweep_range("0:12000:1000"), 12), 12000);
    EXPECT_EQ(sweep_voltage(*parse_sweep_range("100:0:-25"), 4), 0);
}

TEST(SweepRange, WrongRangesAreErrorsThatSayWhy) {
    EXPECT_EQ(range_error("0:1000:0"), "STEP must not be 0");
    EXPECT_EQ(range_error("5:5:0"), "STEP must not be 0");
    EXPECT_EQ(range_error("0:12000:-1000"), "a STEP of -1000 goes from START 0 away from STOP 12000");
    EXPECT_EQ(range_error("0:100000:1"), "the range has 100001 points; a sweep has at most 100000");
    EXPECT_EQ(range_error("-1e4932:1e4932:1"), "the range has INF points; a sweep has at most 100000");
    EXPECT_EQ(range_error("0:1x:1"), "STOP '1x' is not a valid number");
    EXPECT_EQ(range_error("0::1"), "STOP '' is not a valid number");
    EXPECT_EQ(range_error("0:1:1e99999"), "STEP '1e99999' is not a valid number");
    EXPECT_EQ(range_error("0:1"), "the range needs START:STOP:STEP, not '0:1'");
    EXPECT_EQ(range_error("0:1:1:1"), "the range needs START:STOP:STEP, not '0:1:1:1'");

    EXPECT_EQ(request("all=0:1:1").conductor, "all");
    EXPECT_EQ(request("a=b=0:2:1").conductor, "a=b"); // the range holds no "="
    EXPECT_EQ(parse_sweep_request("0:1:1").message(), "CONDUCTOR=START:STOP:STEP is needed, not '0:1:1'");
    EXPECT_FALSE(parse_sweep_request("=0:1:1").ok());
    EXPECT_EQ(parse_sweep_request("all=0:1:0").message(), "STEP must not be 0");
}

} // namespace
} // namespace ambrel
