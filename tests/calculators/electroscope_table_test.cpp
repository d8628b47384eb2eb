// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculators/electroscope.h"
#include "calculators/electroscope_table.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <stdlib.h>
#include <string>
#include <vector>

namespace ambrel {
namespace {

namespace fs = std::filesystem;

const std::string HEADER = "x Angle2 F Q C C1 C2 V V1 V2 Qp Vp Vp1 Vp2 Vc Qc Vc1 Qc1 Vc2 Qc2 Angle3 C3 Q3 V3 "
                           "Angle4 C4 Q4 V4 Angle5 C5 Q5 V5";
constexpr std::size_t ROW_LENGTH = 10 + 31 * 16;

class ElectroscopeTable : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "ambrel-table-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        path_ = (dir_ / "pithballs.tab").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    TableResult generate(const ElectroscopeFields& fields) {
        sink_.lines.clear();
        return write_electroscope_table(fields, path_, sink_);
    }

    // The lines of the file, each required to end with CR LF.
    std::vector<std::string> file_lines() {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream buffer;
        buffer << in.rdbuf();
        const std::string text = buffer.str();
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < text.size()) {
            const auto end = text.find("\r\n", start);
            EXPECT_NE(end, std::string::npos) << "unterminated last line";
            if (end == std::string::npos)
                break;
            lines.push_back(text.substr(start, end - start));
            EXPECT_EQ(lines.back().find('\n'), std::string::npos) << "bare line feed";
            start = end + 2;
        }
        return lines;
    }

    fs::path dir_;
    std::string path_;
    VectorSink sink_;
};

// 0 to 4 cm in steps of 0.1 cm: 41 rows, the last at the final x typed (each x is Starting x plus
// its number of steps; forty additions of 0.1 cm would overshoot 4 cm in the last bits).
TEST_F(ElectroscopeTable, DefaultFieldsWriteFortyOneRowsToTheFinalX) {
    const TableResult result = generate(ElectroscopeFields{});
    EXPECT_TRUE(result.ok()) << result.message();
    EXPECT_TRUE(result.generated);
    EXPECT_EQ(result.rows, 41);
    EXPECT_EQ(sink_.lines, std::vector<std::string>{"Table generated as \"" + path_ + "\"."});
    EXPECT_FALSE(fs::exists(path_ + ".tmp"));

    const auto lines = file_lines();
    ASSERT_EQ(lines.size(), 42u);
    EXPECT_EQ(lines[0], HEADER);
    EXPECT_EQ(lines[1].substr(0, 10), "   0.00000");
    EXPECT_EQ(lines[40].substr(0, 10), "   3.90000");
    EXPECT_EQ(lines[41].substr(0, 10), "   4.00000");
    // Other steps end at the final x too, also where the range is no whole number of them.
    for (const auto& [step, last] :
         {std::pair{0.2L, "   4.00000"}, std::pair{0.3L, "   3.90000"}, std::pair{0.7L, "   3.50000"}}) {
        ElectroscopeFields f;
        f.Edx = step;
        ASSERT_TRUE(generate(f).generated);
        EXPECT_EQ(file_lines().back().substr(0, 10), last) << step;
    }
    ElectroscopeFields thirds;
    thirds.Ex1 = 0.3L;
    thirds.Ex2 = 2.1L;
    thirds.Edx = 0.3L;
    ASSERT_TRUE(generate(thirds).generated);
    EXPECT_EQ(file_lines().size(), 8u);
    EXPECT_EQ(file_lines().back().substr(0, 10), "   2.10000");
    for (std::size_t i = 1; i < lines.size(); ++i) {
        ASSERT_EQ(lines[i].size(), ROW_LENGTH) << lines[i];
        for (std::size_t column = 10; column < ROW_LENGTH; column += 16) {
            EXPECT_EQ(lines[i][column], ' ');
            const std::string value = lines[i].substr(column + 1, 15);
            EXPECT_NE(value[0], '-'); // all quantities are positive here
            EXPECT_EQ(value.substr(value.size() - 9, 1), ".") << value;
        }
    }
}

// The row of x = 1 cm holds the numbers of the report for that gap, in column order.
TEST_F(ElectroscopeTable, RowMatchesTheReport) {
    ASSERT_TRUE(generate(ElectroscopeFields{}).ok());
    const auto lines = file_lines();
    ASSERT_EQ(lines.size(), 42u);
    const std::string& row = lines[11];
    ASSERT_EQ(row.substr(0, 10), "   1.00000");

    VectorSink report;
    ASSERT_TRUE(electroscope_report(ElectroscopeFields{}, report).ok());
    std::vector<std::string> numbers;
    for (const std::string& line : report.lines) {
        const auto pos = line.rfind(": ");
        if (pos != std::string::npos)
            numbers.push_back(line.substr(pos + 2, 15));
    }
    ASSERT_EQ(numbers.size(), 31u);
    for (std::size_t i = 0; i < numbers.size(); ++i)
        EXPECT_EQ(row.substr(10 + 16 * i, 16), " " + numbers[i]) << "column " << i + 2;
}

TEST_F(ElectroscopeTable, StepLimits) {
    ElectroscopeFields f;
    f.Edx = 0.001L; // 4000 steps
    TableResult result = generate(f);
    EXPECT_TRUE(result.generated);
    EXPECT_GE(result.rows, 4000);
    EXPECT_LE(result.rows, 4001);
    ASSERT_TRUE(fs::remove(path_));

    f.Edx = 0.0005L;
    result = generate(f);
    EXPECT_TRUE(result.ok());
    EXPECT_FALSE(result.generated);
    EXPECT_EQ(sink_.lines, std::vector<std::string>{"Too many points."});
    EXPECT_FALSE(fs::exists(path_));

    // A step that does not run forward is refused by its field's name, with its value.
    for (const auto& [step, text] : {std::pair{-0.1L, "-0.1"}, std::pair{0.0L, "0"}}) {
        f.Edx = step;
        result = generate(f);
        EXPECT_TRUE(result.ok());
        EXPECT_FALSE(result.generated);
        EXPECT_EQ(sink_.lines, std::vector<std::string>{"delta x must be a positive step: it is " +
                                                        std::string(text) + " cm."});
        EXPECT_FALSE(fs::exists(path_)) << step;
    }

    // A step too small to change x in its last bits ends too: the row of Starting x alone.
    f.EL = 10000;
    f.Ex1 = f.Ex2 = 10000;
    f.Edx = 1e-16L;
    EXPECT_EQ(generate(f).rows, 1);
}

TEST_F(ElectroscopeTable, ABackwardRangeIsRefusedByName) {
    ElectroscopeFields f;
    f.Ex1 = 2;
    f.Ex2 = 1;
    const TableResult result = generate(f);
    EXPECT_FALSE(result.generated);
    EXPECT_EQ(sink_.lines,
              std::vector<std::string>{"Final x must not be below Starting x: 1 cm is below 2 cm."});
    EXPECT_FALSE(fs::exists(path_));
}

TEST_F(ElectroscopeTable, TooCloseAndTooFarKeepTheRowsBefore) {
    ElectroscopeFields f;
    f.Ed = 2; // balls would hang inward of their supports
    TableResult result = generate(f);
    EXPECT_TRUE(result.ok());
    EXPECT_FALSE(result.generated);
    EXPECT_EQ(sink_.lines, std::vector<std::string>{"The balls are too close."});
    EXPECT_EQ(file_lines(), std::vector<std::string>{HEADER});

    f = ElectroscopeFields{};
    f.EL = 1.6L;
    result = generate(f);
    EXPECT_TRUE(result.ok());
    // Rows until x reaches 2L = 3.2 cm.
    const auto lines = file_lines();
    ASSERT_EQ(static_cast<int>(lines.size()), result.rows + 1);
    EXPECT_GE(result.rows, 32);
    EXPECT_LE(result.rows, 33);
    ASSERT_EQ(sink_.lines.size(), 5u);
    // Beyond x = 2.1 cm even two balls are out of reach of the strings.
    EXPECT_EQ(sink_.lines[0].rfind("The strings are too short for 2 balls from x = ", 0), 0u)
        << sink_.lines[0];
    EXPECT_EQ(lines.back().substr(10, 16), "               -");
    EXPECT_EQ(sink_.lines.back(), "The balls are too far.");
}

// Where the offset of the balls reaches the string length, the columns of that arrangement
// are written as "-" and the run goes on with the others.
TEST_F(ElectroscopeTable, UnreachableArrangementsAreMarked) {
    ElectroscopeFields f;
    f.EL = 1.6L;
    f.Ex2 = 2.05L;
    const TableResult result = generate(f);
    EXPECT_TRUE(result.generated);
    EXPECT_EQ(result.rows, 21);
    const auto lines = file_lines();
    ASSERT_EQ(lines.size(), 22u);
    const std::string dash = "              -";
    // The five-ball offset D / (2 cos 54 deg) - d reaches 1.6 cm from x = 0.616 cm on.
    EXPECT_NE(lines[7].substr(10 + 16 * 27, 16), " " + dash);
    EXPECT_EQ(lines[8].substr(0, 10), "   0.70000");
    EXPECT_EQ(lines[8].substr(10 + 16 * 27, 16), " " + dash);
    EXPECT_NE(lines[8].substr(10 + 16 * 23, 16), " " + dash);
    for (std::size_t i = 1; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].size(), ROW_LENGTH) << lines[i];
    ASSERT_EQ(sink_.lines.size(), 4u);
    EXPECT_EQ(sink_.lines[0],
              "The strings are too short for 3 balls from x = 1.70000 cm: columns Angle3 to V3 "
              "written as \"-\" in 4 rows.");
    EXPECT_EQ(sink_.lines[2],
              "The strings are too short for 5 balls from x = 0.70000 cm: columns Angle5 to V5 "
              "written as \"-\" in 14 rows.");
    EXPECT_EQ(sink_.lines[3], "Table generated as \"" + path_ + "\".");
}

// A field out of its range (no ball: a radius of 0) is refused by name, and no file is written.
TEST_F(ElectroscopeTable, AFieldOutOfItsRangeWritesNoFile) {
    ElectroscopeFields f;
    f.Er = 0;
    f.Ed = 0;
    const TableResult result = generate(f);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.message(), "Ball radius r (cm): '0' is out of range (above 0, up to 1000)");
    EXPECT_TRUE(sink_.lines.empty());
    EXPECT_FALSE(fs::exists(path_));
}

TEST_F(ElectroscopeTable, FileErrorsAreReportedWithTheFileName) {
    path_ = (dir_ / "missing" / "pithballs.tab").string();
    const TableResult result = generate(ElectroscopeFields{});
    EXPECT_FALSE(result.ok());
    EXPECT_NE(result.message().find(path_), std::string::npos) << result.message();
    EXPECT_NE(result.message().find("No such file or directory"), std::string::npos) << result.message();
    EXPECT_TRUE(sink_.lines.empty());

    // A directory in the way: the rename fails and nothing is left behind.
    path_ = dir_.string();
    EXPECT_FALSE(generate(ElectroscopeFields{}).ok());
    EXPECT_FALSE(fs::exists(path_ + ".tmp"));
}

} // namespace
} // namespace ambrel
