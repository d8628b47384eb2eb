// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The capacitance matrix between conductors: its two forms against the report and closed forms,
// its checks, its CSV text and the file it is written to.
#include "../support/test_system.h"
#include "description/reader.h"
#include "report/capacitance_matrix.h"
#include "report/capacitance_report.h"
#include "text/number_format.h"
#include "text/number_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <unistd.h>

namespace ambrel {
namespace {

namespace fs = std::filesystem;
using testing_support::rel;
using testing_support::TestSystem;

std::vector<std::string> file_lines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return split_lines(std::string(std::istreambuf_iterator<char>(in), {}));
}

std::string file_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The records of a CSV text as RFC 4180 reads them.
std::vector<std::vector<std::string>> parse_csv(const std::string& text) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false, in_quotes = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (in_quotes) {
            if (ch == '"' && i + 1 < text.size() && text[i + 1] == '"')
                field += text[++i];
            else if (ch == '"')
                in_quotes = false;
            else
                field += ch;
        } else if (ch == '"') {
            EXPECT_TRUE(field.empty()) << "a quote inside an unquoted field";
            in_quotes = quoted = true;
        } else if (ch == ',' || ch == '\n') {
            record.push_back(field);
            field.clear();
            quoted = false;
            if (ch == '\n') {
                records.push_back(record);
                record.clear();
            }
        } else {
            EXPECT_FALSE(quoted) << "text after a closing quote";
            field += ch;
        }
    }
    EXPECT_TRUE(field.empty() && record.empty()) << "the text must end with a line end";
    return records;
}

// A value of the CSV file, read strictly: the whole field must be the number.
Real csv_number(const std::string& field) {
    const ScannedNumber scanned = scan_number(field);
    EXPECT_TRUE(scanned.whole) << field;
    return parse_real(field);
}

// A hand-made matrix for the checks.
ConductorCapacitances matrix(std::vector<std::string> names, std::vector<Real> sums) {
    ConductorCapacitances c;
    c.names = std::move(names);
    c.sums = std::move(sums);
    return c;
}

struct System : TestSystem {
    ConductorCapacitances condensed() {
        const Result<ConductorCapacitances> c = condense_capacitance_matrix(session.model, session.workspace);
        EXPECT_TRUE(c.ok()) << c.message();
        return c.ok() ? *c : ConductorCapacitances{};
    }
};

// The value after "=" and before " pF" of the report line that starts with `head`.
Real reported(const std::vector<std::string>& lines, const std::string& head) {
    for (const std::string& line : lines)
        if (line.rfind(head, 0) == 0)
            return parse_real(line.substr(head.size()));
    ADD_FAILURE() << "no report line " << head;
    return std::numeric_limits<Real>::quiet_NaN();
}

TEST(CapacitanceMatrix, BothFormsAgreeWithEachOtherAndWithTheReport) {
    System sys;
    sys.init(file_lines(AMBREL_TEST_DATA "/mixed.bal"));
    const ConductorCapacitances c = sys.condensed();
    ASSERT_EQ(c.size(), 3);
    EXPECT_EQ(c.names, (std::vector<std::string>{"top", "plate", "plate2"}));
    sys.sink.lines.clear();
    report_capacitances(sys.model(), sys.session.workspace, sys.sink);
    const std::vector<std::string> report = sys.sink.lines;
    for (int a = 1; a <= 3; ++a) {
        Real row = 0;
        for (int b = 1; b <= 3; ++b) {
            const std::string pair = c.name(std::min(a, b)) + "," + c.name(std::max(a, b));
            // The report writes 15 digits of the same values.
            EXPECT_LT(rel(c.maxwell_pF(a, b), reported(report, "C[" + pair + "]=")), 1e-14L) << a << b;
            if (a != b) {
                EXPECT_EQ(c.mutual_pF(a, b), -c.maxwell_pF(a, b));
                EXPECT_LT(rel(c.mutual_pF(a, b), reported(report, "C(" + pair + ")=")), 1e-14L);
                EXPECT_LT(c.maxwell_pF(a, b), 0);
            }
            row += c.maxwell_pF(a, b);
        }
        EXPECT_LT(rel(c.mutual_pF(a, a), row), 1e-15L);
        EXPECT_LT(rel(c.mutual_pF(a, a), reported(report, "C(" + c.name(a) + ",infinity)=")), 1e-14L);
    }
    EXPECT_TRUE(capacitance_matrix_violations(c).empty());

    // The file says the same: header, three Maxwell rows, three mutual rows, every value to the bit.
    const auto records = parse_csv(capacitance_matrix_csv(c));
    ASSERT_EQ(records.size(), 7u);
    EXPECT_EQ(records[0], (std::vector<std::string>{"form", "conductor", "top", "plate", "plate2"}));
    for (int a = 1; a <= 3; ++a) {
        const auto& maxwell = records[static_cast<std::size_t>(a)];
        const auto& mutual = records[static_cast<std::size_t>(a + 3)];
        ASSERT_EQ(maxwell.size(), 5u);
        ASSERT_EQ(mutual.size(), 5u);
        EXPECT_EQ(maxwell[0], "maxwell");
        EXPECT_EQ(mutual[0], "mutual");
        EXPECT_EQ(maxwell[1], c.name(a));
        EXPECT_EQ(mutual[1], c.name(a));
        for (int b = 1; b <= 3; ++b) {
            EXPECT_EQ(csv_number(maxwell[static_cast<std::size_t>(b + 1)]), c.maxwell_pF(a, b));
            EXPECT_EQ(csv_number(mutual[static_cast<std::size_t>(b + 1)]), c.mutual_pF(a, b));
        }
    }
}

// Two balls of radius r a distance d apart are, in this model, exactly the elastance matrix
// [[1/r, 1/d], [1/d, 1/r]] / (4 pi e0): CC11 = 4 pi e0 r / (1 - (r/d)^2) ~ 4 pi e0 r (1 + (r/d)^2),
// the mutual capacitance 4 pi e0 (r^2/d) / (1 - (r/d)^2) ~ 4 pi e0 r^2/d, and the capacitance to
// infinity 4 pi e0 r d / (r + d).
TEST(CapacitanceMatrix, TwoFarBallsFollowTheClosedForm) {
    System sys;
    sys.init({"Ba A 0 0 0 0 0 0 1 1", "Bb B 50 0 0 0 0 0 1 1"});
    const ConductorCapacitances c = sys.condensed();
    ASSERT_EQ(c.size(), 2);
    const Real r = 0.01L, d = 0.5L, k = testing_support::FOUR_PI_E0 * 1e12L;
    const Real q = (r / d) * (r / d);
    for (int a = 1; a <= 2; ++a) {
        EXPECT_LT(rel(c.maxwell_pF(a, a), k * r / (1 - q)), 1e-15L);
        EXPECT_LT(rel(c.mutual_pF(a, a), k * r * d / (r + d)), 1e-15L);
    }
    EXPECT_LT(rel(c.mutual_pF(1, 2), k * (r * r / d) / (1 - q)), 1e-15L);
    EXPECT_LT(rel(c.maxwell_pF(2, 1), -k * (r * r / d) / (1 - q)), 1e-15L);
    // The first terms of the series, to their order.
    EXPECT_LT(rel(c.maxwell_pF(1, 1), k * r * (1 + q)), 2 * q * q);
    EXPECT_LT(rel(c.mutual_pF(1, 2), k * r * r / d), 2 * q);
    EXPECT_TRUE(capacitance_matrix_violations(c).empty());
}

// Spheres of two conductors that overlap so much that 1/d > sqrt(1/(ra rb)) give an indefinite
// elastance matrix: the exact tier of the solver still inverts it (no singular pivot), and the
// matrix it gives breaks every sign rule.
TEST(CapacitanceMatrix, ChecksFireOnAnIndefiniteSystemAndNotOnSoundOnes) {
    System sys;
    // ra = 4 cm, rb = 1 cm, d = 1.5 cm < sqrt(ra rb) = 2 cm, and d > rb.
    sys.init({"Ba big 0 0 0 0 0 0 4 1", "Bb small 1.5 0 0 0 0 0 1 1"});
    ASSERT_EQ(sys.ev().diagnostics.singular_pivot, 0);
    const ConductorCapacitances c = sys.condensed();
    // C = P^-1 / (4 pi e0) with P = [[25, 200/3], [200/3, 100]] (1/m).
    const Real det = 25 * 100 - (200 / 3.0L) * (200 / 3.0L);
    const Real k = testing_support::FOUR_PI_E0 * 1e12L;
    EXPECT_LT(rel(c.maxwell_pF(1, 1), k * 100 / det), 1e-15L);
    EXPECT_LT(rel(c.maxwell_pF(1, 2), -k * (200 / 3.0L) / det), 1e-15L);
    const auto lines = capacitance_matrix_violations(c);
    const std::string head = "Invalid capacitance matrix: ";
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], head + "C[big,big]=" + format_g(c.maxwell_pF(1, 1)) + " pF is not positive");
    EXPECT_EQ(lines[1], head + "C[small,small]=" + format_g(c.maxwell_pF(2, 2)) + " pF is not positive");
    EXPECT_EQ(lines[2], head + "C[big,small]=" + format_g(c.maxwell_pF(1, 2)) +
                            " pF between two conductors is positive");
    EXPECT_EQ(lines[3], head + "C(big,infinity)=" + format_g(c.mutual_pF(1, 1)) + " pF is negative");
    EXPECT_LT(c.mutual_pF(1, 1), 0);
    EXPECT_GT(c.mutual_pF(2, 2), 0);

    // Sound systems: the examples' plates and three touching balls, one of them between the others.
    System plates;
    plates.init(file_lines(AMBREL_TEST_DATA "/../../examples/parallel_plates.bal"));
    EXPECT_TRUE(capacitance_matrix_violations(plates.condensed()).empty());
    System row;
    row.init({"Ba a 0 0 0 0 0 0 1 1", "Bb b 2 0 0 0 0 0 1 1", "Bc c 4 0 0 0 0 0 1 1"});
    EXPECT_TRUE(capacitance_matrix_violations(row.condensed()).empty());
}

TEST(CapacitanceMatrix, ToleranceOfTheChecks) {
    const auto count = [](std::vector<Real> sums) {
        return capacitance_matrix_violations(matrix({"a", "b"}, std::move(sums))).size();
    };
    // Symmetry relative to the larger coefficient.
    EXPECT_EQ(count({1, -0.1L, -0.1L * (1 + 5e-13L), 1}), 0u);
    EXPECT_EQ(count({1, -0.1L, -0.1L * (1 + 2e-12L), 1}), 1u);
    // Tiny couplings are measured against 1e-3 of the diagonal scale sqrt(4 * 1) = 2.
    EXPECT_EQ(count({4, -1e-9L, -1e-9L - 1.5e-15L, 1}), 0u);
    EXPECT_EQ(count({4, -1e-9L, -1e-9L - 3e-15L, 1}), 1u);
    EXPECT_EQ(count({4, 0, 0, 1}), 0u);
    // A coupling of 0 but for rounding, and a shielded conductor with a row sum of 0.
    EXPECT_EQ(count({1, 1e-13L, 1e-13L, 1}), 0u);
    EXPECT_EQ(count({1, 1e-11L, 1e-11L, 1}), 1u);
    EXPECT_EQ(count({1, -1 - 1e-13L, -1 - 1e-13L, 3}), 0u);
    EXPECT_EQ(count({1, -1 - 1e-11L, -1 - 1e-11L, 3}), 1u);
    // A conductor whose spheres are all left out, and a value that is not a number.
    EXPECT_EQ(count({0, 0, 0, 1}), 1u);
    EXPECT_EQ(count({1, std::numeric_limits<Real>::quiet_NaN(), -0.1L, 1}), 3u);
    const auto lines = capacitance_matrix_violations(matrix({"a", "b"}, {1, -0.25L, -0.5L, 1}));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "Invalid capacitance matrix: C[a,b]=" + format_g(-0.25L * PF_PER_UNIT) +
                            " pF differs from C[b,a]=" + format_g(-0.5L * PF_PER_UNIT) + " pF");
}

TEST(CapacitanceMatrix, TwelveConductorsAreWrittenInOrderWithTheirNames) {
    System sys;
    std::vector<std::string> description, names;
    for (int i = 0; i < 12; ++i) {
        // Names out of alphabetical order, some that need quotes; two balls on the first one.
        std::string name = i == 3 ? "x,y" : i == 7 ? "say\"hi\"" : "c";
        if (name == "c")
            name += std::to_string(12 - i);
        names.push_back(name);
        std::string line = "B";
        line += std::to_string(i);
        line += " " + name + " " + std::to_string(3 * i) + " 0 0 0 0 0 0.5 1";
        description.push_back(line);
    }
    description.push_back("Bz c12 0 0 5 0 0 0 0.5 1");
    sys.init(description);
    const ConductorCapacitances c = sys.condensed();
    ASSERT_EQ(c.names, names);
    const std::string text = capacitance_matrix_csv(c);
    EXPECT_NE(text.find(",\"x,y\","), std::string::npos);
    EXPECT_NE(text.find(",\"say\"\"hi\"\"\","), std::string::npos);
    const auto records = parse_csv(text);
    ASSERT_EQ(records.size(), 25u);
    ASSERT_EQ(records[0].size(), 14u);
    for (int a = 1; a <= 12; ++a) {
        EXPECT_EQ(records[0][static_cast<std::size_t>(a + 1)], names[static_cast<std::size_t>(a - 1)]);
        for (const std::size_t at : {static_cast<std::size_t>(a), static_cast<std::size_t>(a + 12)}) {
            ASSERT_EQ(records[at].size(), 14u);
            EXPECT_EQ(records[at][0], at <= 12 ? "maxwell" : "mutual");
            EXPECT_EQ(records[at][1], names[static_cast<std::size_t>(a - 1)]);
            for (int b = 1; b <= 12; ++b) {
                const Real expected = at <= 12 ? c.maxwell_pF(a, b) : c.mutual_pF(a, b);
                const Real read = csv_number(records[at][static_cast<std::size_t>(b + 1)]);
                EXPECT_LE(rel(read, expected), 1e-15L) << a << "," << b;
                EXPECT_EQ(read, expected); // the shortest text reads back to the bit
            }
        }
    }
    EXPECT_TRUE(capacitance_matrix_violations(c).empty());
}

TEST(CapacitanceMatrix, FieldsAreQuotedOnlyWhenNeeded) {
    EXPECT_EQ(csv_field("plate2"), "plate2");
    EXPECT_EQ(csv_field("a,b"), "\"a,b\"");
    EXPECT_EQ(csv_field("5\"x"), "\"5\"\"x\"");
    EXPECT_EQ(csv_field("a b"), "\"a b\"");
    EXPECT_EQ(csv_field("a\tb"), "\"a\tb\"");
    EXPECT_EQ(csv_field(""), "\"\"");
    EXPECT_EQ(csv_field("\xc3\xa9t\xc3\xa9"), "\xc3\xa9t\xc3\xa9");
    // What csv_line writes, the program's reader (text/csv_file.h, string_view) reads back field for
    // field, as this test's own reader does (a study's parts are read so).
    const std::vector<std::vector<std::string>> table{
        {"plate2", "a,b", "5\"x", "", "line\nend", "\"\""}, {"", ""}, {"\xc3\xa9t\xc3\xa9", "-0.5"}};
    std::string written;
    for (const auto& record : table)
        written += csv_line(record);
    const auto read = ambrel::parse_csv(std::string_view(written));
    ASSERT_TRUE(read.ok()) << read.message();
    EXPECT_EQ(*read, table);
    EXPECT_EQ(*read, parse_csv(written));
    // CR LF ends, empty lines and a last line without its end; refusals name the line.
    const auto loose = ambrel::parse_csv(std::string_view("gap,V\r\n\r\n0.1,\"5,0\"\n\n0.2,"));
    ASSERT_TRUE(loose.ok());
    EXPECT_EQ(*loose, (std::vector<std::vector<std::string>>{{"gap", "V"}, {"0.1", "5,0"}, {"0.2", ""}}));
    EXPECT_EQ(ambrel::parse_csv(std::string_view("a\nb\"c\n")).message(),
              "line 2: a quote inside an unquoted field");
    EXPECT_EQ(ambrel::parse_csv(std::string_view("a\n\"b\"c\n")).message(),
              "line 2: text after a closing quote");
    EXPECT_EQ(ambrel::parse_csv(std::string_view("a\n\"b\n\nc")).message(),
              "line 2: a quoted field does not end");
    // Exact zeros are written "0" in both forms, never "-0".
    const std::string text = capacitance_matrix_csv(matrix({"a", "b"}, {1, 0, 0, 2}));
    EXPECT_EQ(text.find("-0,"), std::string::npos);
    EXPECT_EQ(text.substr(text.find("mutual")), "mutual,a," + format_shortest(PF_PER_UNIT) +
                                                    ",0\nmutual,b,0," + format_shortest(2 * PF_PER_UNIT) +
                                                    "\n");
}

class TempDir {
  public:
    TempDir() : path_(fs::temp_directory_path() / ("ambrel-capm-test-" + std::to_string(::getpid()))) {
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }
    // The names in the folder.
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(path_))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }

  private:
    fs::path path_;
};

TEST(CapacitanceMatrixFile, ReplacedWholeOrNotAtAllAndNoTemporaryRemains) {
    TempDir dir;
    const std::string file = (dir.path() / "m.csv").string();
    ASSERT_TRUE(write_file_replacing(file, "first\n").ok());
    ASSERT_TRUE(write_file_replacing(file, "second\n").ok());
    EXPECT_EQ(file_text(file), "second\n");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"m.csv"});
    // A name as long as a folder allows still has room for its temporary.
    const std::string longest = std::string(251, 'x') + ".csv";
    ASSERT_TRUE(write_file_replacing((dir.path() / longest).string(), "long\n").ok());
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"m.csv", longest}));
    fs::remove(dir.path() / longest);

    const std::string missing = (dir.path() / "no-folder" / "m.csv").string();
    const Status failed = write_file_replacing(missing, "x");
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.message(), "cannot write " + missing + ": No such file or directory");
    // A folder in the way: the rename fails, the folder and its content stay, nothing is left.
    fs::create_directories(dir.path() / "taken.csv" / "inside");
    const Status refused = write_file_replacing((dir.path() / "taken.csv").string(), "x");
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.message().rfind("cannot write " + (dir.path() / "taken.csv").string() + ": ", 0), 0u);
    EXPECT_TRUE(fs::is_directory(dir.path() / "taken.csv" / "inside"));
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"m.csv", "taken.csv"}));
    EXPECT_FALSE(write_file_replacing(dir.path().string() + "/", "x").ok());
}

TEST(CapacitanceMatrixFile, ExportSaysWhyNothingWasWritten) {
    TempDir dir;
    const std::string file = (dir.path() / "m.csv").string();
    auto export_of = [&](System& sys) {
        sys.sink.lines.clear();
        return export_capacitance_matrix(sys.model(), sys.session.workspace, sys.ev(), file, sys.sink);
    };
    const auto expect_not_saved = [&](System& sys, const std::string& reason) {
        const CapacitanceMatrixExport done = export_of(sys);
        EXPECT_EQ(done.end, MatrixExportEnd::NotAvailable);
        EXPECT_EQ(done.message, "Capacitance matrix not saved: " + reason);
        EXPECT_TRUE(sys.sink.lines.empty());
        EXPECT_TRUE(dir.names().empty());
    };
    System fresh;
    expect_not_saved(fresh, "the system has not been initialized");
    System empty;
    empty.init({"* nothing"});
    expect_not_saved(empty, "the system has no conductors");
    System stopped; // the reader stops on an error: the conductors stay, the spheres go
    stopped.init({"Ba A 0 0 0 0 0 0 1 1", "Kx A 0 0 0 10 0 0 1 1"});
    ASSERT_EQ(stopped.model().conductor_count, 1);
    expect_not_saved(stopped, "the system has no spheres");
    System large; // more spheres than Initialize computes without "Always calculate charges"
    std::vector<std::string> plates;
    for (int k = 0; k < 6; ++k)
        plates.push_back("Qp" + std::to_string(k) + " all " + std::to_string(3 * k) + " 0 0 0 0 0 2 1");
    large.init(plates);
    expect_not_saved(large, "the charges of this system have not been computed");
    System touching; // balls of radius r whose centres are r apart: P = [[1/r, 1/r], [1/r, 1/r]]
    touching.init({"Ba A 0 0 0 0 0 0 1 1", "Bb B 1 0 0 0 0 0 1 1"});
    ASSERT_EQ(touching.ev().diagnostics.singular_pivot, 2);
    expect_not_saved(touching, "the matrix of the spheres is singular (at sphere 2)");

    System sound;
    sound.init({"Ba A 0 0 0 0 0 0 1 1", "Bb B 5 0 0 0 0 0 1 1"});
    const CapacitanceMatrixExport done = export_of(sound);
    EXPECT_EQ(done.end, MatrixExportEnd::Written);
    EXPECT_EQ(sound.sink.lines, std::vector<std::string>{"Capacitance matrix saved as " + file});
    EXPECT_EQ(file_text(file), capacitance_matrix_csv(sound.condensed()));
    EXPECT_EQ(dir.names(), std::vector<std::string>{"m.csv"});
}

} // namespace
} // namespace ambrel
