// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Parameter studies: one description template (description/template.h) run once per row of a
// table of points, each point on a fresh session, and a CSV table with a row per point (a row per
// voltage with --sweep). The points can be split into shards run anywhere (--shard K/N) and merged
// again (merge_study_parts), or run on worker processes of this machine (--jobs N, which shards the
// points over copies of ambrel-batch and merges their tables): the table is the same bytes however
// the points were run.
//
// The table (a ColumnTable of text/column_table.h: LF line ends, fields through csv_field, numbers
// through table_number; the columns of a run's state, from Total capacitance to Direction, are
// the sweep's own, report/sweep_table.h):
//   Point (of <count>)         the point's number, 1 to <count>, the row of the points file
//   <parameter>...             each parameter's value as the points file (or --set) gives it
//   Sweep point                with --sweep: the voltage's number, 1 to the sweep's count
//   Status                     ok, or failed: the point's numbers are then left empty
//   Message                    why it failed: the reader's message, the run's end, ...
//   Total capacitance (pF)
//   Q <conductor> (nC)         each conductor's charge (the sum of its spheres' charges)
//   V <conductor> (V)          each conductor's potential (a floating one's as found)
//   CC[<a>][<b>] (pF)          with --capacitances: the Maxwell capacitance matrix, row by row
//   Steps, End                 with a run: its steps (Find equilibrium's iterations) and how it
//                              ended (point_end_word)
//   Largest rotational force (uN)  with a run: at its end
//   Deflection[<i>] <name> (deg)   with a run: each movable object's string, its deflection from
//   Direction[<i>] <name> (deg)    the vertical and its direction (deflection_degrees)
// The conductors and objects are those of the first point whose description reads; a point whose
// system has others fails.
#pragma once

#include "model/options.h"
#include "model/status.h"
#include "model/stop_token.h"
#include "solver/relaxation.h"
#include "solver/sweep.h"

#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ambrel {

// The points of a study: the parameters' names (the points file's header) and a value for each
// name at each point.
struct StudyPoints {
    std::vector<std::string> names;
    std::vector<std::vector<std::string>> values;
};

// Reads the points file's text: a header of placeholder names, each once, and a row of as many
// values per point, at least one point.
Result<StudyPoints> read_study_points(std::string_view text);

// Part `k` of `n` (1 <= k <= n): the points whose number minus 1 leaves k - 1 divided by n.
struct StudyShare {
    int k = 1;
    int n = 1;
};
// "K/N".
Result<StudyShare> parse_study_share(std::string_view text);

// What runs at each point.
enum class StudyRun { None, Calculate, Equilibrium, Sweep };

struct StudyRequest {
    std::string template_text;
    StudyPoints points;
    std::map<std::string, std::string> fixed; // --set: the same value at every point
    std::vector<std::pair<Option, bool>> switches;
    bool capacitances = false;
    StudyRun run = StudyRun::None;
    RelaxationSettings relaxation;
    SweepRequest sweep;
    StudyShare shard;          // --shard
    StudyShare worker;         // the share of one of --jobs' workers, within the shard
    int jobs = 1;              // --jobs
    bool show_progress = true; // a progress bar where standard error is a terminal
    bool strict = false;       // --strict: a point whose reading warns fails with its first warning
};

// The template's placeholders and the parameters must match: every placeholder has a value (a
// column or --set), every column and --set names a placeholder, no name is both.
Status check_study(const StudyRequest& request);

// The points (0-based) this run computes: those of its shard, and of those its worker's share.
std::vector<int> study_point_indices(const StudyRequest& request);

// How a host runs copies of itself: the program and the arguments of the whole command, from which
// each worker's are made (--jobs replaced by --worker-share).
struct StudyWorkers {
    std::string program;
    std::vector<std::string> arguments;
};

// Runs the study's points (on workers when request.jobs > 1) and writes its table to `out`.
// Exit status: 0 every point ok, 1 a point failed, 2 the table or a worker failed, 130 stopped
// (the table then holds the points done).
int run_study(const StudyRequest& request, std::FILE* out, std::FILE* err, const StopToken& stop,
              const StudyWorkers& workers);

// A part of a study for merging: its file name (for the messages) and its text.
struct StudyPart {
    std::string name;
    std::string text;
};

// The whole table from its parts: the parts must share their header, give each point the same
// parameters wherever they name it, and together hold every point exactly once (a point's rows,
// all in one part). With `complete` false the points present are merged, in order, without
// asking for all of them.
Result<std::string> merge_study_parts(const std::vector<StudyPart>& parts, bool complete = true);

// Whether a study's table holds a point that failed.
bool study_table_has_failure(std::string_view table);

} // namespace ambrel
