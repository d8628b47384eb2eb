// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// ambrel-batch as a user runs it: arguments, files, exit status and output.
#include "app/batch.h"
#include "app/batch_bitmap.h"
#include "app/terminal_progress.h"
#include "calculators/calculator_fields.h"
#include "description/reader.h"
#include "model/options.h"
#include "text/csv_file.h"
#include "text/number_format.h"

#include <QGuiApplication>
#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace ambrel {
namespace {

namespace fs = std::filesystem;

struct BatchRun {
    int status = -1;
    std::string out, err;
    std::vector<std::string> lines() const { return split_lines(out); }
};

std::string slurp(std::FILE* f) {
    std::rewind(f);
    std::string text;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    return text;
}

// Pictures as the program draws them, with a Qt application of this process (offscreen), made
// once as the program makes its own.
Status write_picture(const SceneSnapshot& snapshot, const Camera& camera, const std::string& path,
                     bool bitmap) {
    static int argc = 1;
    static char name[] = "test_app";
    static char* argv[] = {name, nullptr};
    if (QGuiApplication::instance() == nullptr) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        new QGuiApplication(argc, argv); // lives as long as the process, as the program's
    }
    return save_view_picture(snapshot, camera, path, bitmap);
}

BatchRun batch(const std::vector<std::string>& args) {
    BatchRun run;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    static const StopSource never;
    run.status = run_batch(args, out, err, never.token(), write_picture);
    run.out = slurp(out);
    run.err = slurp(err);
    std::fclose(out);
    std::fclose(err);
    return run;
}

class TempDir {
  public:
    TempDir() : path_(fs::temp_directory_path() / ("ambrel-batch-test-" + std::to_string(::getpid()))) {
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string write(const std::string& name, const std::string& content) const {
        const auto p = path_ / name;
        std::ofstream(p, std::ios::binary) << content;
        return p.string();
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

TEST(Batch, DefaultDescriptionWithoutFile) {
    const BatchRun run = batch({});
    EXPECT_EQ(run.status, 0);
    const auto lines = run.lines();
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(lines[0], "Reading 6 lines of input");
    EXPECT_EQ(lines[2], "ball1 all -0.002 0.002 0 0.135 2.35619449019234 0.523598775598299 0.0075 0.0004");
    EXPECT_EQ(lines[7], "The object: all is at     8625.126490 V");
    EXPECT_TRUE(run.err.empty());
}

TEST(Batch, FilesWithCrLfAndAFinalLineWithoutEnd) {
    TempDir dir;
    const auto crlf = dir.write("crlf.bal", "* c\r\nBa A 0 0 0 0 0 0 1 1\r\n.V A 1");
    const BatchRun run = batch({"--list", crlf});
    EXPECT_EQ(run.status, 0);
    const auto lines = run.lines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Reading 3 lines of input");
    EXPECT_EQ(lines[1], "* c");
    EXPECT_EQ(lines[2], "Ba A 0 0 0 0 0 0 0.01 0.001");
    EXPECT_EQ(lines[3], ".V A 1");
    EXPECT_EQ(lines.back(), "Ba A 0 0 0 0 0 0 1 1");
    EXPECT_EQ(lines[lines.size() - 2], "Updated system:");
    for (const auto& l : lines)
        EXPECT_EQ(l.find('\r'), std::string::npos);
}

TEST(Batch, ExitStatusForReaderErrorsUsageErrorsAndUnreadableFiles) {
    TempDir dir;
    EXPECT_EQ(batch({dir.write("bad.bal", "Kx all 0 0 0 10 0 0 1 1\n")}).status, 1);
    EXPECT_EQ(batch({dir.write(
                        "many.bal", std::string("Qq a 0 0 0 10 0 0 1 1\n") +
                                        [] {
                                            std::string s;
                                            for (int i = 0; i < 20; ++i)
                                                s += "Qq a 0 0 0 10 0 0 1 1\n";
                                            return s;
                                        }())})
                  .status,
              1);

    const BatchRun missing = batch({(dir.path() / "no-such.bal").string()});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("no-such.bal"), std::string::npos);
    EXPECT_NE(missing.err.find("No such file"), std::string::npos);
    EXPECT_TRUE(missing.out.empty());

    EXPECT_EQ(batch({dir.path().string()}).status, 2); // a folder is no description
    EXPECT_EQ(batch({"--on", "no-such-option"}).status, 2);
    EXPECT_EQ(batch({"--on"}).status, 2);
    EXPECT_EQ(batch({"--frobnicate"}).status, 2);
    EXPECT_EQ(batch({"a.bal", "b.bal"}).status, 2);

    // Settings out of their range, or texts that name no number, are refused by name before
    // anything runs.
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--angle-variation", "0"},
                                                 {"--steps", "-5"},
                                                 {"--time-step", "e5"},
                                                 {"--time-step", "0"},
                                                 {"--time-step", "-0.05"},
                                                 {"--force-error", "-1"},
                                                 {"--damping", "-0.1"},
                                                 {"--force-error", "."},
                                                 {"--damping", "-"},
                                                 {"--random-error", "1e308"}}) {
        std::vector<std::string> full = args;
        full.push_back("--calculate");
        const BatchRun refused = batch(full);
        EXPECT_EQ(refused.status, 2) << args[0] << " " << args[1];
        EXPECT_EQ(refused.err.rfind("ambrel-batch: " + args[0] + ":", 0), 0u) << refused.err;
        EXPECT_TRUE(refused.out.empty()) << args[0] << " " << args[1];
    }
    // The edges of the ranges are settings like any other.
    EXPECT_EQ(batch({"--steps", "0", "--force-error", "0", "--damping", "0", "--calculate"}).status, 0);

    // --jacobian-out: only with --jacobian; a file that cannot be written is status 2 and says why,
    // a Jacobian not computed status 1 and no file; else the file and a line saying where.
    EXPECT_EQ(batch({"--jacobian-out", "j.csv"}).status, 2);
    const std::string csv = (dir.path() / "j.csv").string();
    const BatchRun unwritable =
        batch({"--jacobian", "--jacobian-out", (dir.path() / "no" / "j.csv").string()});
    EXPECT_EQ(unwritable.status, 2);
    EXPECT_EQ(unwritable.err.rfind("ambrel-batch: Jacobian matrix not saved: cannot write ", 0), 0u)
        << unwritable.err;
    const BatchRun time_domain =
        batch({"--on", "true-time-domain-simulation", "--jacobian", "--jacobian-out", csv});
    EXPECT_EQ(time_domain.status, 1);
    EXPECT_FALSE(fs::exists(csv));
    const BatchRun saved = batch({"--jacobian", "--jacobian-out", csv});
    EXPECT_EQ(saved.status, 0) << saved.err;
    const std::vector<std::string> out = saved.lines();
    EXPECT_NE(std::find(out.begin(), out.end(), "Jacobian matrix saved as " + csv), out.end());
    std::ifstream file(csv);
    std::string first;
    std::getline(file, first);
    EXPECT_EQ(first, "kind,name,values (1/s)");
    // Each section's kind is written bare, as the head's words are; the coordinates' names are
    // quoted for their blank.
    std::vector<std::string> rows;
    for (std::string row; std::getline(file, row);)
        rows.push_back(row);
    ASSERT_EQ(rows.size(), 27u); // 8 coordinates: three sections of 8 rows, each with its columns
    EXPECT_EQ(rows[0].rfind("columns,update law,\"Ax 1\",\"Az 1\",", 0), 0u) << rows[0];
    EXPECT_EQ(rows[1].rfind("update law,\"Ax 1\",", 0), 0u) << rows[1];
    EXPECT_EQ(rows[9].rfind("columns,stability,\"Y 1\",", 0), 0u) << rows[9];
    EXPECT_EQ(rows[10].rfind("stability,\"Y 1\",", 0), 0u) << rows[10];
    EXPECT_EQ(rows[18], "columns,eigenvalue,real,imaginary,error");
    EXPECT_EQ(rows[19].rfind("eigenvalue,1,", 0), 0u) << rows[19];

    // A matrix too wide for the panel's lines: each row cut says how to get it whole.
    const std::string wide = (dir.path() / "wide.bal").string();
    {
        std::ofstream description(wide);
        for (int k = 0; k < 20; ++k)
            description << "B" << k << " all " << 2 * k << " 0 0 10 0 5 0.3 0.1\n";
        description << ".V all 3000\n";
    }
    const BatchRun cut = batch({"--jacobian", wide});
    EXPECT_NE(cut.out.find(" ...(cut: --jacobian-out FILE.csv writes the whole matrix)\n"),
              std::string::npos);
}

// The reader's warnings go to standard error, each with its line; standard output is the same
// with them or without; --strict makes them errors (status 1), and a clean description passes.
TEST(Batch, ReaderWarningsGoToStandardErrorAndStrictMakesThemErrors) {
    TempDir dir;
    const auto bad = dir.write("bad.bal", "* a comment\nBa all 0 0 0 10 0 0 1 abc\n.V all 3000* my edit\n");
    const BatchRun warned = batch({"--list", bad});
    EXPECT_EQ(warned.status, 0);
    EXPECT_EQ(warned.err,
              "ambrel-batch: warning: line 2: Ba: Mass: \"abc\" is not a number (read as 0)\n"
              "ambrel-batch: warning: line 3: .V: Voltage: \"3000*\" is not a number (read as 3000)\n"
              "ambrel-batch: warning: line 3: .V: \"my edit\" after the last field, Voltage, is ignored\n");
    EXPECT_EQ(warned.out.find("Warning"), std::string::npos);
    const std::vector<std::string> lines = warned.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "The object: all is at     3000.000000 V"), lines.end());
    EXPECT_EQ(lines.back(), "Ba all 0 0 0 10 0 0 1 0");

    const BatchRun strict = batch({"--strict", "--list", bad});
    EXPECT_EQ(strict.status, 1);
    EXPECT_EQ(strict.out, warned.out);
    EXPECT_EQ(strict.err.rfind("ambrel-batch: error: line 2: Ba: Mass: ", 0), 0u) << strict.err;

    const BatchRun clean =
        batch({"--strict", "--list", dir.write("good.bal", "Ba all 0 0 0 10 0 0 1 1 * by hand\n")});
    EXPECT_EQ(clean.status, 0);
    EXPECT_TRUE(clean.err.empty()) << clean.err;
    // A later failure keeps its own, higher status.
    EXPECT_EQ(batch({"--strict", "--capacitance-matrix", (dir.path() / "no" / "m.csv").string(), bad}).status,
              2);
}

TEST(Batch, OptionsSwitchBeforeReading) {
    TempDir dir;
    const auto plate = dir.write("plate.bal", "Ssq all 0 0 0 10 0 0 0.5 2.5\n");
    const BatchRun squares = batch({"--list", plate});
    const BatchRun spheres = batch({"--off", "use-squares-for-flat-objects", "--list", plate});
    EXPECT_EQ(squares.lines().back(), "Ssq all 0 0 0 10 0 0 0.5 2.5 0.0567296328553255");
    EXPECT_EQ(spheres.lines().back(), "Ssq all 0 0 0 10 0 0 0.5 2.5 0.06883432865");
}

// Above 500 spheres the charges wait for "Always calculate charges": the window's note says which
// option, and the command line says how to switch it on.
TEST(Batch, LargeSystemWithoutChargesNamesTheSwitchThatComputesThem) {
    TempDir dir;
    std::string plates;
    for (int k = 0; k < 6; ++k) // 600 spheres
        plates += "Qp" + std::to_string(k) + " all " + std::to_string(3 * k) + " 0 0 0 0 0 2 1\n";
    const auto file = dir.write("plates.bal", plates);
    const BatchRun waiting = batch({file});
    EXPECT_EQ(waiting.status, 0);
    EXPECT_EQ(waiting.err,
              "ambrel-batch: the charges of the 600 spheres were not computed: above 500 spheres "
              "--on always-calculate-charges computes them\n");
    const BatchRun computed = batch({"--on", "always-calculate-charges", file});
    EXPECT_EQ(computed.status, 0);
    EXPECT_EQ(computed.err, "");
}

// What the terminal shows of a status line and the output written beside it (both on one
// terminal): the status is drawn after half a second and erased before each line of output and at
// the end, so only the output's lines are left on the screen.
TEST(Batch, StatusLineOnATerminalLeavesOnlyTheOutput) {
    int master = -1, slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    std::FILE* terminal = ::fdopen(slave, "w");
    ASSERT_NE(terminal, nullptr);
    ASSERT_TRUE(TerminalProgress::on_terminal(terminal));
    std::string shown;
    // What the terminal received, up to `text` (given 30 s to appear, the ticker being a thread
    // of its own), or to its end once closed (a read then fails with EIO).
    auto read_until = [&](const std::string& text) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (text.empty() || shown.find(text) == std::string::npos) {
            pollfd ready{master, POLLIN, 0};
            if (std::chrono::steady_clock::now() > limit || ::poll(&ready, 1, 100) < 0)
                return false;
            char buffer[4096];
            if (ready.revents == 0)
                continue;
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0)
                return text.empty();
            shown.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    };
    {
        TerminalProgress progress(terminal, terminal, true);
        progress.begin("Work");
        progress.set_text("step 1");
        EXPECT_TRUE(read_until("s): step 1")) << shown;
        progress.write_line("first line");
        progress.set_fraction(0.5);
        EXPECT_TRUE(read_until("[###############               ] 50%, step 1")) << shown;
        progress.end();
        progress.write_line("second line");
    }
    std::fclose(terminal);
    EXPECT_TRUE(read_until(""));
    ::close(master);

    // The screen, as a terminal draws these bytes: a carriage return goes to the line's start, ESC [ K
    // clears to its end, a line end starts the next line.
    std::vector<std::string> screen(1);
    std::size_t column = 0;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const char c = shown[i];
        if (c == '\r') {
            column = 0;
        } else if (c == '\n') {
            screen.emplace_back();
            column = 0;
        } else if (shown.compare(i, 3, "\033[K") == 0) {
            screen.back().resize(std::min(screen.back().size(), column));
            i += 2;
        } else {
            if (screen.back().size() <= column)
                screen.back().resize(column + 1, ' ');
            screen.back()[column++] = c;
        }
    }
    EXPECT_EQ(screen, (std::vector<std::string>{"first line", "second line", ""})) << shown;
}

TEST(Batch, HelpDocumentsEveryOption) {
    const BatchRun run = batch({"--help"});
    EXPECT_EQ(run.status, 0);
    for (const char* word : {"--on", "--off", "--list", "show-forces", "identify", "correct-rotation-forces"})
        EXPECT_NE(run.out.find(word), std::string::npos) << word;
}

TEST(Batch, OneBallOfOneCentimetre) {
    TempDir dir;
    const BatchRun run = batch({dir.write("ball.bal", "Ba A 0 0 0 0 0 0 1 1\n.V A 1\n")});
    EXPECT_EQ(run.status, 0);
    bool found = false;
    for (const auto& line : run.lines())
        found = found || line == "Total capacitance =  1.112650056 pF";
    EXPECT_TRUE(found) << run.out;
}

TEST(Batch, CalculatorsNeedNoDescriptionAndReportFloatingPointErrors) {
    const BatchRun four = batch({"--four-balls"});
    EXPECT_EQ(four.status, 0);
    EXPECT_EQ(four.lines().front(), "Four suspended balls with two angles:");
    // A string too short for five balls stops the electroscope report: the lines before stay.
    const BatchRun failed = batch({"--field", "EL=1.6", "--electroscope"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.lines().back(), "Five balls:");
    EXPECT_EQ(failed.err, "ambrel-batch: Invalid floating point operation\n");
    EXPECT_EQ(batch({"--field", "Foo=1", "--electroscope"}).status, 2);
    EXPECT_EQ(batch({"--field", "EL=1,5", "--electroscope"}).status, 2);
    EXPECT_EQ(batch({"--field", "CB3=2", "--electroscope"}).status, 2);
}

TEST(Batch, CalculateAndJacobianActions) {
    const BatchRun run = batch({"--calculate", "--jacobian", "--plain"});
    EXPECT_EQ(run.status, 0);
    const auto lines = run.lines();
    bool heading = false, stability = false;
    for (const auto& l : lines) {
        heading = heading || l == "Jacobian matrix (error 1.000E-004):";
        stability = stability || l.rfind("Stable:", 0) == 0 || l.rfind("Unstable:", 0) == 0 ||
                    l.rfind("Undecided:", 0) == 0;
    }
    EXPECT_TRUE(heading);
    EXPECT_TRUE(stability);
    // How each run ended goes to standard error, its reports alone to standard output.
    EXPECT_EQ(run.err, "ambrel-batch: Calculate: Converged in 95 steps\n");
    EXPECT_EQ(batch({"--steps", "3", "--calculate"}).err, "ambrel-batch: Calculate: Step limit reached\n");
    EXPECT_EQ(batch({"--equilibrium"}).err,
              "ambrel-batch: Find equilibrium: Equilibrium found in 6 iterations\n");
    const BatchRun diverged = batch({"--time-step", "10000", "--calculate"});
    EXPECT_EQ(diverged.status, 1);
    EXPECT_EQ(diverged.err, "ambrel-batch: Calculate: Unstable\n");
    EXPECT_EQ(batch({"--steps", "1.5"}).status, 2);
    EXPECT_EQ(batch({"--time-step", "fast"}).status, 2);
}

// The run's force error is the finder's tolerance in --equilibrium and in a sweep by the finder:
// above the starting state's largest rotational force (the default description's is about
// 2 mN) the state is at rest as it starts, no iteration, where the default tolerance takes
// several.
TEST(Batch, TheForceErrorIsTheFindersTolerance) {
    const auto iterations = [](const std::vector<std::string>& args) {
        const BatchRun run = batch(args);
        EXPECT_EQ(run.status, 0) << run.err;
        for (const std::string& line : run.lines())
            if (line.rfind("Iterations=", 0) == 0)
                return std::stoi(line.substr(std::strlen("Iterations=")));
        ADD_FAILURE() << run.out;
        return -1;
    };
    EXPECT_EQ(iterations({"--force-error", "1e4", "--equilibrium"}), 0);
    EXPECT_GT(iterations({"--equilibrium"}), 0);

    // The sweep's table: each point's steps, the finder's iterations.
    const auto steps = [](const std::vector<std::string>& args) {
        const BatchRun run = batch(args);
        EXPECT_EQ(run.status, 0) << run.err;
        const auto table = parse_csv(run.out);
        std::vector<int> found;
        if (!table || table->empty()) {
            ADD_FAILURE() << run.out;
            return found;
        }
        const auto& header = table->front();
        const auto at =
            static_cast<std::size_t>(std::find(header.begin(), header.end(), "Steps") - header.begin());
        for (std::size_t i = 1; i < table->size(); ++i)
            found.push_back(at < (*table)[i].size() ? std::stoi((*table)[i][at]) : -1);
        return found;
    };
    const std::vector<std::string> sweep{"--sweep", "all=8000:9000:1000", "--method", "equilibrium"};
    std::vector<std::string> loose{"--force-error", "1e4"};
    loose.insert(loose.end(), sweep.begin(), sweep.end());
    EXPECT_EQ(steps(loose), (std::vector<int>{0, 0}));
    const std::vector<int> by_default = steps(sweep);
    ASSERT_EQ(by_default.size(), 2u);
    for (const int taken : by_default)
        EXPECT_GT(taken, 0);
}

// The entries of the plain Jacobian that follows its heading, row by row.
std::vector<std::vector<double>> plain_jacobian(const std::vector<std::string>& lines) {
    std::vector<std::vector<double>> rows;
    const auto heading = std::find(lines.begin(), lines.end(), "Jacobian matrix (error 1.000E-004):");
    EXPECT_NE(heading, lines.end());
    for (auto it = heading == lines.end() ? heading : heading + 1;
         it != lines.end() && it->rfind("Eigenvalues (", 0) != 0; ++it) {
        std::istringstream in(*it);
        std::vector<double> row;
        for (double v; in >> v;)
            row.push_back(v);
        rows.push_back(row);
    }
    return rows;
}

// The step law moves by dt / (2 m L) times the force: every entry of the Jacobian doubles with dt.
TEST(Batch, TimeStepReachesTheJacobian) {
    const BatchRun standard = batch({"--jacobian", "--plain"});
    const BatchRun doubled = batch({"--time-step", "0.1", "--jacobian", "--plain"});
    ASSERT_EQ(standard.status, 0);
    ASSERT_EQ(doubled.status, 0);
    const auto a = plain_jacobian(standard.lines()), b = plain_jacobian(doubled.lines());
    ASSERT_EQ(a.size(), 8u);
    ASSERT_EQ(b.size(), 8u);
    double largest = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a[i].size(), 8u);
        ASSERT_EQ(b[i].size(), 8u);
        for (std::size_t j = 0; j < a[i].size(); ++j) {
            EXPECT_NEAR(b[i][j], 2 * a[i][j], 2e-6) << i << "," << j; // six printed decimals
            largest = std::max(largest, std::fabs(a[i][j]));
        }
    }
    EXPECT_GT(largest, 0.1);
}

// Without a file, --bmp reads the default description first: the same picture as a run of a
// file holding that description, and not the picture of an empty system.
TEST(Batch, BitmapAloneDrawsTheDefaultDescription) {
    TempDir dir;
    std::string text;
    for (const auto& line : default_description())
        text += line + "\n";
    const std::string with_file = (dir.path() / "file.bmp").string();
    const std::string alone = (dir.path() / "alone.bmp").string();
    const std::string empty = (dir.path() / "empty.bmp").string();
    // The empty system first: a picture left over from an earlier drawing in this process can
    // then only be that one.
    ASSERT_EQ(batch({dir.write("empty.bal", ""), "--bmp", empty}).status, 0);
    ASSERT_EQ(batch({"--bmp", alone}).status, 0);
    ASSERT_EQ(batch({dir.write("default.bal", text), "--bmp", with_file}).status, 0);
    const auto bytes = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    ASSERT_GT(bytes(alone).size(), 1000u);
    EXPECT_EQ(bytes(alone), bytes(with_file));
    EXPECT_NE(bytes(alone), bytes(empty));
}

TEST(Batch, BitmapOfTheViewWithoutDisplay) {
    TempDir dir;
    const std::string bmp = (dir.path() / "view.png").string(); // BMP whatever the extension
    const BatchRun run = batch({"--calculate", "--bmp", bmp});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.lines().back(), "Bitmap saved as " + bmp);
    std::ifstream in(bmp, std::ios::binary);
    char magic[2] = {};
    in.read(magic, 2);
    EXPECT_EQ(std::string(magic, 2), "BM");
    const BatchRun failed = batch({"--bmp", (dir.path() / "no-folder" / "v.bmp").string()});
    EXPECT_EQ(failed.status, 2);
    EXPECT_NE(failed.err.find("cannot write " + (dir.path() / "no-folder" / "v.bmp").string() + ": "),
              std::string::npos);
}

// --png writes the same picture as --bmp, as a PNG file.
TEST(Batch, PngOfTheViewIsTheBitmapsPicture) {
    TempDir dir;
    const std::string png = (dir.path() / "view.png").string();
    const std::string bmp = (dir.path() / "view.bmp").string();
    const BatchRun run = batch({"--calculate", "--png", png, "--bmp", bmp});
    EXPECT_EQ(run.status, 0);
    const std::vector<std::string> lines = run.lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "Picture saved as " + png);
    EXPECT_EQ(lines.back(), "Bitmap saved as " + bmp);
    const QImage from_png = QImageReader(QString::fromStdString(png), "png").read();
    const QImage from_bmp = QImageReader(QString::fromStdString(bmp), "bmp").read();
    ASSERT_EQ(from_png.size(), QSize(585, 585));
    EXPECT_EQ(from_png.convertToFormat(QImage::Format_RGB32), from_bmp.convertToFormat(QImage::Format_RGB32));
    const BatchRun failed = batch({"--png", (dir.path() / "no-folder" / "v.png").string()});
    EXPECT_EQ(failed.status, 2);
    EXPECT_NE(failed.err.find("cannot write "), std::string::npos);
    EXPECT_EQ(batch({"--png"}).status, 2); // a file name is needed
}

TEST(Batch, ExecutableReadsStandardInput) {
    TempDir dir;
    const auto input = dir.write("in.bal", "Ba A 0 0 0 0 0 0 1 1\n");
    const std::string out = (dir.path() / "out.txt").string();
    const std::string command = std::string(AMBREL_BATCH_EXE) + " - < " + input + " > " + out;
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(out);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "Reading 1 lines of input");
}

} // namespace
} // namespace ambrel

namespace ambrel {
namespace {

TEST(Batch, VersionIsTheProjectVersion) {
    const std::string expected = std::string("ambrel-batch ") + AMBREL_EXPECTED_VERSION + "\n";
    const BatchRun run = batch({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, "");
    // The version alone: no description is read, no action runs.
    const BatchRun with_actions = batch({"--list", "--version", "no-such-file.bal"});
    EXPECT_EQ(with_actions.status, 0);
    EXPECT_EQ(with_actions.out, expected);
    EXPECT_NE(batch_usage().find("--version"), std::string::npos);
}

// The manual page lists the options by hand: every option of --help, every option name and every
// calculator field must be in it.
TEST(Batch, ManualPageDocumentsEveryOptionNameAndField) {
    std::ifstream in(AMBREL_BATCH_MAN_PAGE);
    ASSERT_TRUE(in) << AMBREL_BATCH_MAN_PAGE;
    std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Unescape the dashes of the roff source: "\-\-list" is "--list".
    for (std::size_t at; (at = page.find("\\-")) != std::string::npos;)
        page.erase(at, 1);
    auto documented = [&](const std::string& word) {
        for (std::size_t at = page.find(word); at != std::string::npos; at = page.find(word, at + 1)) {
            const std::size_t end = at + word.size();
            const bool starts =
                at == 0 || !(std::isalnum(static_cast<unsigned char>(page[at - 1])) || page[at - 1] == '-');
            const bool ends = end == page.size() ||
                              !(std::isalnum(static_cast<unsigned char>(page[end])) || page[end] == '-');
            if (starts && ends)
                return true;
        }
        return false;
    };

    const std::string usage = batch_usage();
    int options = 0;
    for (std::size_t at = usage.find("--"); at != std::string::npos; at = usage.find("--", at + 2)) {
        std::size_t end = at + 2;
        while (end < usage.size() &&
               (std::islower(static_cast<unsigned char>(usage[end])) || usage[end] == '-'))
            ++end;
        const std::string option = usage.substr(at, end - at);
        EXPECT_TRUE(documented(option)) << option;
        ++options;
    }
    EXPECT_GE(options, 20);
    for (int i = 0; i < OPTION_COUNT; ++i) {
        const std::string name = option_cli_name(static_cast<Option>(i));
        EXPECT_TRUE(documented(name)) << name;
    }
    for (const auto& field : calculator_fields())
        EXPECT_TRUE(documented(std::string(field.name))) << field.name;
}

} // namespace
} // namespace ambrel

namespace ambrel {
namespace {

// The fields of the CSV row that begins with `head` (names without quotes in these tests).
std::vector<std::string> csv_row(const std::string& text, const std::string& head) {
    std::vector<std::string> fields;
    const std::size_t at = text.find("\n" + head);
    if (at == std::string::npos)
        return fields;
    std::istringstream row(text.substr(at + 1, text.find('\n', at + 1) - at - 1));
    for (std::string field; std::getline(row, field, ',');)
        fields.push_back(field);
    return fields;
}

// The value of the report line that begins with `head`, up to " pF".
Real reported_pF(const std::vector<std::string>& lines, const std::string& head) {
    for (const std::string& line : lines)
        if (line.rfind(head, 0) == 0)
            return parse_real(line.substr(head.size()));
    ADD_FAILURE() << head;
    return 0;
}

TEST(Batch, CapacitanceMatrixOfTheParallelPlates) {
    TempDir dir;
    const std::string csv = (dir.path() / "plates.csv").string();
    const BatchRun run = batch({"--capacitances", "--capacitance-matrix", csv,
                                AMBREL_TEST_DATA "/../../examples/parallel_plates.bal"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    const auto lines = run.lines();
    EXPECT_EQ(lines.back(), "Capacitance matrix saved as " + csv);
    std::ifstream in(csv, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.rfind("form,conductor,top,bottom\nmaxwell,top,", 0), 0u) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5);
    const auto top = csv_row(text, "mutual,top,"), bottom = csv_row(text, "maxwell,bottom,");
    ASSERT_EQ(top.size(), 4u);
    ASSERT_EQ(bottom.size(), 4u);
    // The same numbers as the report, which writes 15 digits of them.
    const auto close = [](Real a, Real b) { return std::fabs(a - b) <= 1e-14L * std::fabs(b); };
    EXPECT_TRUE(close(parse_real(top[3]), reported_pF(lines, "C(top,bottom)=")));
    EXPECT_TRUE(close(parse_real(top[2]), reported_pF(lines, "C(top,infinity)=")));
    EXPECT_TRUE(close(parse_real(bottom[2]), reported_pF(lines, "C[top,bottom]=")));
    EXPECT_TRUE(close(parse_real(bottom[3]), reported_pF(lines, "C[bottom,bottom]=")));
    EXPECT_GT(parse_real(top[3]), 2); // about 2.09 pF
    // Only the file itself is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// Overlapping balls of two conductors: the matrix breaks its rules, is written all the same and
// each broken rule is a line of the output; the exit status says so.
TEST(Batch, CapacitanceMatrixThatFailsItsChecks) {
    TempDir dir;
    const std::string csv = (dir.path() / "bad.csv").string();
    const BatchRun run =
        batch({"--capacitance-matrix", csv,
               dir.write("overlap.bal", "Ba big 0 0 0 0 0 0 4 1\nBb small 1.5 0 0 0 0 0 1 1\n")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "");
    const auto lines = run.lines();
    EXPECT_EQ(
        std::count_if(lines.begin(), lines.end(),
                      [](const std::string& l) { return l.rfind("Invalid capacitance matrix: ", 0) == 0; }),
        4);
    EXPECT_EQ(lines.back(), "Capacitance matrix saved as " + csv);
    EXPECT_TRUE(fs::exists(csv));
}

TEST(Batch, CapacitanceMatrixNotWritten) {
    TempDir dir;
    const std::string balls = dir.write("balls.bal", "Ba A 0 0 0 0 0 0 1 1\nBb B 5 0 0 0 0 0 1 1\n");
    const std::string unwritable = (dir.path() / "no-folder" / "m.csv").string();
    const BatchRun failed = batch({"--capacitance-matrix", unwritable, balls});
    EXPECT_EQ(failed.status, 2);
    EXPECT_EQ(failed.err, "ambrel-batch: Capacitance matrix not saved: cannot write " + unwritable +
                              ": No such file or directory\n");
    EXPECT_FALSE(fs::exists(dir.path() / "no-folder"));

    const std::string csv = (dir.path() / "m.csv").string();
    // The reader stops on the second line: the conductor stays, the spheres go.
    const BatchRun stopped = batch(
        {"--capacitance-matrix", csv, dir.write("bad.bal", "Ba A 0 0 0 0 0 0 1 1\nKx A 0 0 0 0 0 0 1 1\n")});
    EXPECT_EQ(stopped.status, 1);
    EXPECT_EQ(stopped.err, "ambrel-batch: Capacitance matrix not saved: the system has no spheres\n");
    EXPECT_FALSE(fs::exists(csv));
    EXPECT_EQ(batch({balls, "--capacitance-matrix"}).status, 2); // a file name is needed
}

} // namespace
} // namespace ambrel

namespace ambrel {
namespace {

// The header of a sweep of the default description's conductor: four balls, one conductor.
// Names holding a blank are quoted.
const std::string FOUR_BALLS_SWEEP_HEADER =
    "\"V all (V)\",\"Deflection[1] ball1 (deg)\",\"Direction[1] ball1 (deg)\",\"Deflection[2] ball2 (deg)\","
    "\"Direction[2] ball2 (deg)\",\"Deflection[3] ball3 (deg)\",\"Direction[3] ball3 (deg)\","
    "\"Deflection[4] ball4 (deg)\",\"Direction[4] ball4 (deg)\",\"Ax[1] ball1 (deg)\",\"Az[1] ball1 "
    "(deg)\",\"Ax[2] ball2 (deg)\",\"Az[2] ball2 (deg)\","
    "\"Ax[3] ball3 (deg)\",\"Az[3] ball3 (deg)\",\"Ax[4] ball4 (deg)\",\"Az[4] ball4 (deg)\",\"Q all (nC)\","
    "\"Total capacitance (pF)\",Steps,Converged,End";

// On standard output the table is alone; with --sweep-out it goes to the file and the panel's
// lines to standard output as usual.
TEST(Batch, SweepWritesItsTableToStandardOutputOrToAFile) {
    const BatchRun run = batch({"--sweep", "all=6000:8000:1000"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, ""); // no progress bar where standard error is no terminal
    const std::vector<std::string> rows = run.lines();
    ASSERT_EQ(rows.size(), 4u) << run.out;
    EXPECT_EQ(rows[0], FOUR_BALLS_SWEEP_HEADER);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].rfind(std::to_string(5000 + i * 1000) + ",", 0), 0u) << rows[i];
        EXPECT_EQ(rows[i].substr(rows[i].size() - 12), ",1,converged") << rows[i];
        EXPECT_EQ(std::count(rows[i].begin(), rows[i].end(), ','), 21);
    }

    TempDir dir;
    const std::string csv = (dir.path() / "curve.csv").string();
    const BatchRun to_file = batch({"--sweep", "all=6000:8000:1000", "--sweep-out", csv});
    EXPECT_EQ(to_file.status, 0);
    const std::vector<std::string> lines = to_file.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "Reading 6 lines of input");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Sweep point 3 of 3: all at 8000 V"), lines.end());
    EXPECT_EQ(lines.back(), "Sweep done: 3 points");
    std::ifstream in(csv, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), run.out); // the same runs
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(Batch, SweepErrorsAreMessagesWithTheExitStatusOfTheirKind) {
    const BatchRun unknown = batch({"--sweep", "none=0:1000:1000"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.out, "");
    EXPECT_EQ(unknown.err, "ambrel-batch: --sweep: unknown conductor 'none' (the conductors are: all)\n");

    const BatchRun zero = batch({"--sweep", "all=0:1000:0"});
    EXPECT_EQ(zero.status, 2);
    EXPECT_EQ(zero.err, "ambrel-batch: --sweep: STEP must not be 0\nTry 'ambrel-batch --help'.\n");
    EXPECT_EQ(batch({"--sweep", "all=0:1000:-1"}).status, 2);
    EXPECT_EQ(batch({"--sweep", "all=0:1e6:1"}).status, 2);
    EXPECT_EQ(batch({"--sweep", "0:1000:100"}).status, 2);
    EXPECT_EQ(batch({"--sweep"}).status, 2);
    EXPECT_EQ(batch({"--sweep", "all=0:1:1", "--sweep", "all=0:1:1"}).status, 2);
    EXPECT_EQ(batch({"--sweep-out", "curve.csv"}).status, 2);

    TempDir dir;
    const std::string unwritable = (dir.path() / "no-folder" / "curve.csv").string();
    const BatchRun failed = batch({"--sweep", "all=0:0:1", "--sweep-out", unwritable});
    EXPECT_EQ(failed.status, 2);
    EXPECT_EQ(failed.err, "ambrel-batch: cannot write " + unwritable + ": No such file or directory\n");

    // A description that stops the reader is not swept: its message goes to standard error.
    const BatchRun unread =
        batch({"--sweep", "all=0:1:1", dir.write("bad.bal", "Kx all 0 0 0 10 0 0 1 1\n")});
    EXPECT_EQ(unread.status, 1);
    EXPECT_EQ(unread.out, "");
    EXPECT_EQ(unread.err, "ambrel-batch: Unknown element: [Kx all 0 0 0 10 0 0 1 1]\n");

    // Diverging runs are marked in the table, which is written whole; the status says so.
    const BatchRun diverged = batch({"--time-step", "10000", "--sweep", "all=1000:2000:1000"});
    EXPECT_EQ(diverged.status, 1);
    const std::vector<std::string> rows = diverged.lines();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2].substr(rows[2].size() - 19), ",0,too-large-angles");
}

} // namespace
} // namespace ambrel
