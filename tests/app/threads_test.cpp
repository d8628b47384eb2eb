// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// One thread pool, any number of threads: OpenBLAS must be the OpenMP build (it then shares the
// OpenMP runtime of our own parallel loops), and ambrel-batch must print the same bytes whatever
// OMP_NUM_THREADS says (1, 2 and 4).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

extern "C" int openblas_get_parallel();

namespace ambrel {
namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Output of ambrel-batch run as a separate process with OMP_NUM_THREADS set to `threads`.
std::string batch_output(int threads, const std::string& arguments) {
    const fs::path out = fs::temp_directory_path() / ("ambrel-threads-" + std::to_string(::getpid()) + "-" +
                                                      std::to_string(threads) + ".txt");
    const std::string command = "OMP_NUM_THREADS=" + std::to_string(threads) + " " + AMBREL_BATCH_EXE + " " +
                                arguments + " > " + out.string();
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::string text = read_file(out);
    fs::remove(out);
    return text;
}

TEST(Threads, OpenBlasRunsOnTheOpenMpRuntime) {
    // 0 is the serial build, 1 the pthread build with its own pool of threads.
    EXPECT_EQ(openblas_get_parallel(), 2);
}

TEST(Threads, OutputDoesNotDependOnTheThreadCount) {
    const std::string arguments =
        "--on show-forces --steps 20 --calculate --jacobian --plain --capacitances " +
        std::string(AMBREL_TEST_DATA) + "/rotated_mixed.bal";
    const std::string one = batch_output(1, arguments);
    ASSERT_FALSE(one.empty());
    EXPECT_NE(one.find("Jacobian matrix"), std::string::npos);
    for (const int threads : {2, 4}) {
        const std::string more = batch_output(threads, arguments);
        if (one != more) {
            const auto [at, other] = std::mismatch(one.begin(), one.end(), more.begin(), more.end());
            ADD_FAILURE() << "one and " << threads << " threads part at line "
                          << 1 + std::count(one.begin(), at, '\n');
        }
    }
}

// A Jacobian large enough for its perturbations to run in parallel and its eigenvalues to come
// from LAPACK: the same bytes with one thread and with two.
TEST(Threads, LargeJacobianDoesNotDependOnTheThreadCount) {
    const fs::path description =
        fs::temp_directory_path() / ("ambrel-threads-" + std::to_string(::getpid()) + "-grid.bal");
    {
        std::ofstream out(description);
        for (int i = 0; i < 15; ++i)
            for (int j = 0; j < 14; ++j)
                out << "Bb" << i * 14 + j + 1 << " all " << 1.2 * i << " " << 1.2 * j << " 0 10 "
                    << ((i + j) % 3 == 0 ? "30 8" : "0 0") << " 0.3 0.1\n";
        out << ".V all 3000\n";
    }
    const std::string arguments = "--steps 3 --calculate --jacobian --plain " + description.string();
    const std::string one = batch_output(1, arguments);
    const std::string two = batch_output(2, arguments);
    const std::string four = batch_output(4, arguments);
    fs::remove(description);
    ASSERT_NE(one.find("\nEigenvalues ("), std::string::npos);
    for (const std::string* more : {&two, &four})
        if (one != *more) {
            const auto [at, other] = std::mismatch(one.begin(), one.end(), more->begin(), more->end());
            ADD_FAILURE() << "one and " << (more == &two ? 2 : 4) << " threads part at line "
                          << 1 + std::count(one.begin(), at, '\n');
        }
}

// An interrupt stops the run under way as Stop does in the window: it ends with its final reports,
// the actions after it are not started, and the exit status says so.
TEST(Threads, AnInterruptStopsTheRunWithItsReports) {
    int out[2], err[2];
    ASSERT_EQ(::pipe(out), 0);
    ASSERT_EQ(::pipe(err), 0);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, out[1], 1);
    posix_spawn_file_actions_adddup2(&files, err[1], 2);
    std::vector<std::string> args{AMBREL_BATCH_EXE, "--on", "show-errors", "--steps",   "100000000",
                                  "--force-error",  "0",    "--calculate", "--jacobian"};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, AMBREL_BATCH_EXE, &files, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&files);
    ::close(out[1]);
    ::close(err[1]);

    // Interrupted once the steps are under way (each step writes its error).
    std::string text;
    char buffer[4096];
    bool sent = false;
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(n));
        if (!sent && text.find("Steps=50,") != std::string::npos) {
            ::kill(pid, SIGINT);
            sent = true;
        }
    }
    std::string errors;
    for (ssize_t n; (n = ::read(err[0], buffer, sizeof buffer)) > 0;)
        errors.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    ::close(err[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(sent);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_EQ(errors, "ambrel-batch: stopped\n");
    // The final reports of the run, its last line the steps it made; no Jacobian after it.
    const std::size_t last = text.rfind("\nSteps=");
    ASSERT_NE(last, std::string::npos);
    EXPECT_EQ(text.find('\n', last + 1), text.size() - 1) << "the run's last line ends the output";
    EXPECT_NE(text.find("Total capacitance"), std::string::npos);
    EXPECT_EQ(text.find("Jacobian matrix"), std::string::npos);
}

} // namespace
} // namespace ambrel
