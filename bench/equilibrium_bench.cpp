// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// ambrel-bench-equilibrium: the time to equilibrium of Find equilibrium against Calculate.
//
// For each case, from the state its description gives: Calculate (up to --steps steps, 5000 by
// default, the force error 0.0001 uN) and Find equilibrium (the same tolerance), each in a fresh
// session on the system read and initialised (as the window runs them after Initialize), timed
// inside the process (steady clock, the median of --runs runs; the ratios, the median of each
// run's own ratio). Each command's time to
// equilibrium ends where its steps end, before its final reports (for the finder, with the
// stability verdict of the state found); the whole command's, after them. Printed: Calculate's
// steps and whether it converged, the finder's iterations and evaluations (charge solves and
// force passes), both times to equilibrium and their ratio, the ratio of the whole commands,
// and where both converged the largest angle (rad) between the strings found, or between the
// twists of objects that turn with their strings.
// Only ratios within this run are the result: the machine's speed drifts.
// The 20 plates (2000 spheres, 55 ms a step) are capped at --plate-steps Calculate steps
// (default 200): Calculate does not converge there, so its time to the cap is a lower bound, and
// its time to 5000 steps is estimated from its time a step (the ratio's "est."). --case NAME runs
// one case alone (NAME,NAME... several); --finder-only leaves Calculate out (to profile the finder);
// --tune NAME=VALUE sets one of the finder's tuning (FinderTuning, solver/equilibrium.h), repeatable.
#include "description/reader.h"
#include "report/run_report.h"
#include "session/session.h"
#include "solver/equilibrium.h"
#include "solver/initialize.h"
#include "solver/relaxation.h"
#include "solver/run_observer.h"
#include "text/number_format.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <numbers>
#include <string>
#include <vector>

namespace {

using namespace ambrel;
using Clock = std::chrono::steady_clock;

struct Case {
    std::string name;
    std::vector<std::string> description;
    bool capped = false; // Calculate stops at --plate-steps
};

std::string line(std::initializer_list<std::string> parts) {
    std::string text;
    for (const std::string& part : parts)
        text += part;
    return text;
}

std::vector<std::string> grid(int columns, int rows) {
    std::vector<std::string> lines;
    for (int i = 0; i < columns; ++i)
        for (int j = 0; j < rows; ++j)
            lines.push_back(line({"B", std::to_string(i), "_", std::to_string(j), " all ", std::to_string(i),
                                  " ", std::to_string(j), " 0 10 0 0 0.3 0.1"}));
    lines.push_back(".V all 3000");
    return lines;
}

std::vector<Case> cases() {
    std::vector<Case> all;
    all.push_back({"four balls", default_description()});
    all.push_back({"induction",
                   {"Bsource held -5 0 -13.5 0 0 0 1 0.5", "Bnear pair -0.75 0 0 13.5 0 0 0.75 0.4",
                    "Bfar pair 0.75 0 0 13.5 0 0 0.75 0.4", ".V held 5000", ".Q pair 0"}});
    all.push_back({"shapes",
                   {"Ccube all -3 0 0 10 0 0 1 2", "Iico all 0 0 0 10 0 0 1 2", "Ttor all 3 0 0 10 0 0 1 2",
                    "Hbal all 0 3 0 10 0 0 0.8 1 0.05 0.05", ".V all 20000"}});
    all.push_back({"50-ball grid", grid(10, 5)});
    all.push_back({"200-ball grid", grid(20, 10)});
    std::vector<std::string> plates;
    for (int p = 0; p < 20; ++p)
        plates.push_back(line({"Qp", std::to_string(p), " all ", std::to_string(3 * p), " 0 0 10 0 0 1 1"}));
    plates.push_back(".V all 3000");
    all.push_back({"20 plates", plates, true});
    return all;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The median of a[i] / b[i]: each run's two commands ran one after the other, so their ratio
// holds when the machine's speed drifts from run to run.
double median_ratio(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        ratios.push_back(b[i] > 0 ? a[i] / b[i] : 0);
    return ratios.empty() ? 0 : median(ratios);
}

// Where each object hangs: its string's direction (a unit vector, so that a string hanging nearly
// straight down, whose Ax means little, counts by how far its end is from the other's), and for an
// object that turns with its string, its Ax as well (its twist about the string).
std::vector<Real> angles(const SystemModel& model) {
    std::vector<Real> a;
    for (int k = 1; k <= model.object_count; ++k) {
        const Object& o = model.objects[k];
        a.push_back(std::sin(o.Az) * std::cos(o.Ax));
        a.push_back(std::sin(o.Az) * std::sin(o.Ax));
        a.push_back(std::cos(o.Az));
        a.push_back(o.composite() ? std::remainder(o.Ax, 2 * std::numbers::pi_v<Real>) : 0);
    }
    return a;
}

// The largest difference (rad) of two such sets: the angle between the strings, and of the twists.
Real angle_difference(const std::vector<Real>& a, const std::vector<Real>& b) {
    Real largest = 0;
    for (std::size_t k = 0; k + 3 < a.size(); k += 4) {
        const Real dx = a[k] - b[k], dy = a[k + 1] - b[k + 1], dz = a[k + 2] - b[k + 2];
        largest = std::max(largest, std::sqrt(dx * dx + dy * dy + dz * dz));
        largest =
            std::max(largest, std::fabs(std::remainder(a[k + 3] - b[k + 3], 2 * std::numbers::pi_v<Real>)));
    }
    return largest;
}

// The finder's tuning that --tune NAME=VALUE sets (NAME as in FinderTuning), so that a default can
// be weighed against another in one run of the cases.
struct Tunable {
    const char* name;
    Real FinderTuning::*real = nullptr;
    int FinderTuning::*whole = nullptr;
};
constexpr Tunable TUNABLES[] = {
    {"start_radius", &FinderTuning::start_radius},
    {"max_radius", &FinderTuning::max_radius},
    {"min_radius", &FinderTuning::min_radius},
    {"start_shift", &FinderTuning::start_shift},
    {"model_trust", &FinderTuning::model_trust},
    {"foretold_shift_fall", &FinderTuning::foretold_shift_fall},
    {"escape_growth", &FinderTuning::escape_growth},
    {"steps_before_aged", nullptr, &FinderTuning::steps_before_aged},
    {"failures_before_relaxation", nullptr, &FinderTuning::failures_before_relaxation},
    {"relaxation_steps", nullptr, &FinderTuning::relaxation_steps},
    {"max_fallbacks", nullptr, &FinderTuning::max_fallbacks},
    {"max_stalled", nullptr, &FinderTuning::max_stalled},
    {"stall_gain", &FinderTuning::stall_gain},
    {"relaxation_gain", &FinderTuning::relaxation_gain},
    {"max_newton_returns", nullptr, &FinderTuning::max_newton_returns},
    {"contact_stiffness", &FinderTuning::contact_stiffness},
    {"max_contact_relaxations", nullptr, &FinderTuning::max_contact_relaxations},
    {"escape_step", &FinderTuning::escape_step},
    {"escape_threshold", &FinderTuning::escape_threshold},
    {"verdict_step", &FinderTuning::verdict_step},
    {"near_rest", &FinderTuning::near_rest},
    {"shift_eigenvalues_max_size", nullptr, &FinderTuning::shift_eigenvalues_max_size},
    {"contact_reach", &FinderTuning::contact_reach},
    {"contact_recent", nullptr, &FinderTuning::contact_recent},
    {"perturbed_min_spheres", nullptr, &FinderTuning::perturbed_min_spheres},
    {"perturbed_max_share", nullptr, &FinderTuning::perturbed_max_share},
};

// Sets one tuning from "NAME=VALUE"; false, with a message, for an unknown name or a bad number.
bool tune(FinderTuning& tuning, const std::string& setting) {
    const std::size_t equals = setting.find('=');
    const std::string name = setting.substr(0, equals);
    for (const Tunable& t : TUNABLES) {
        if (equals == std::string::npos || name != t.name)
            continue;
        const char* text = setting.c_str() + equals + 1;
        char* end = nullptr;
        const long double value = std::strtold(text, &end);
        if (end == text || *end != '\0' || !std::isfinite(value))
            break;
        if (t.real)
            tuning.*t.real = value;
        else
            tuning.*t.whole = static_cast<int>(value);
        return true;
    }
    std::fprintf(stderr, "--tune: '%s' is not NAME=VALUE with a NAME of the finder's tuning\n",
                 setting.c_str());
    return false;
}

} // namespace

int main(int argc, char** argv) {
    // Each line as soon as it is measured, also into a file or a pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    int runs = 3, max_steps = 5000, plate_steps = 200;
    std::vector<std::string> only; // --case NAME[,NAME...]: those cases alone
    bool finder_only = false;      // --finder-only: no Calculate (for profiling the finder)
    FinderTuning tuning;           // --tune NAME=VALUE (repeatable)
    for (int i = 1; i < argc; ++i) {
        const bool valued = i + 1 < argc;
        if (std::strcmp(argv[i], "--finder-only") == 0)
            finder_only = true;
        else if (valued && std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (valued && std::strcmp(argv[i], "--steps") == 0)
            max_steps = std::max(1, std::atoi(argv[++i]));
        else if (valued && std::strcmp(argv[i], "--plate-steps") == 0)
            plate_steps = std::max(1, std::atoi(argv[++i]));
        else if (valued && std::strcmp(argv[i], "--tune") == 0) {
            if (!tune(tuning, argv[++i]))
                return 2;
        } else if (valued && std::strcmp(argv[i], "--case") == 0)
            for (std::string names = argv[++i]; !names.empty();) {
                const std::size_t comma = std::min(names.find(','), names.size());
                only.push_back(names.substr(0, comma));
                names.erase(0, comma + 1);
            }
    }
    std::printf("%-14s %9s %5s %10s %11s %11s %11s %14s %7s %10s\n", "case", "steps", "conv", "iterations",
                "evaluations", "calc s", "find s", "ratio", "whole", "angles");
    for (const Case& c : cases()) {
        if (!only.empty() && std::find(only.begin(), only.end(), c.name) == only.end())
            continue;
        std::vector<double> calc_times, find_times, calc_whole, find_whole;
        Clock::time_point rest;
        RunObserver observer;
        observer.steps_ended = [&rest] { rest = Clock::now(); };
        RelaxationResult run;
        EquilibriumResult found;
        std::vector<Real> calc_angles, find_angles;
        for (int r = 0; r < runs; ++r) {
            if (!finder_only) {
                NullSink sink;
                Session session(sink);
                session.set_reporter(text_reporter());
                RelaxationSettings settings;
                settings.max_steps = c.capped ? plate_steps : max_steps;
                read_if_needed(session, c.description);
                const auto start = Clock::now();
                run = run_calculate(session, settings, observer);
                calc_whole.push_back(std::chrono::duration<double>(Clock::now() - start).count());
                calc_times.push_back(std::chrono::duration<double>(rest - start).count());
                calc_angles = angles(session.model);
            }
            {
                NullSink sink;
                Session session(sink);
                session.set_reporter(text_reporter());
                EquilibriumSettings settings;
                settings.tuning = tuning;
                read_if_needed(session, c.description);
                const auto start = Clock::now();
                found = find_equilibrium(session, settings, observer);
                find_whole.push_back(std::chrono::duration<double>(Clock::now() - start).count());
                find_times.push_back(std::chrono::duration<double>(rest - start).count());
                find_angles = angles(session.model);
            }
        }
        if (finder_only) {
            calc_times.push_back(0);
            calc_whole.push_back(0);
        }
        const double calc = median(calc_times), find = median(find_times);
        const double ratio_value = median_ratio(calc_times, find_times);
        // Capped: Calculate's time to 5000 steps estimated from its time a step.
        const std::string ratio = c.capped && run.end != RunEnd::Converged
                                      ? real_to_fixed_text(ratio_value, 0, 1) + " (" +
                                            real_to_fixed_text(ratio_value / run.steps * max_steps, 0, 0) +
                                            " est.)"
                                      : real_to_fixed_text(ratio_value, 0, 1);
        const std::string whole = real_to_fixed_text(median_ratio(calc_whole, find_whole), 0, 1);
        const bool both = run.end == RunEnd::Converged && found.end == RunEnd::Converged;
        std::printf(
            "%-14s %9d %5s %10d %11d %11.6f %11.6f %14s %7s %10s\n", c.name.c_str(), run.steps,
            run.end == RunEnd::Converged ? "yes" : "no", found.iterations, found.evaluations, calc, find,
            ratio.c_str(), whole.c_str(),
            both ? std::to_string(static_cast<double>(angle_difference(calc_angles, find_angles))).c_str()
                 : (found.end == RunEnd::Converged ? "found" : "NOT FOUND"));
        std::fflush(stdout);
    }
    return 0;
}
