// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/study.h"

#include "app/exit_status.h"
#include "app/terminal_progress.h"

#include "description/reader.h"
#include "description/template.h"
#include "model/output_sink.h"
#include "model/units.h"
#include "physics/evaluation.h"
#include "report/capacitance_matrix.h"
#include "report/run_report.h"
#include "report/sweep_table.h"
#include "session/session.h"
#include "solver/equilibrium.h"
#include "solver/initialize.h"
#include "solver/jacobian.h"
#include "solver/sweep.h"
#include "text/column_table.h"
#include "text/csv_file.h"
#include "text/numeric_field.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace ambrel {

namespace {

constexpr const char* POINT_HEAD = "Point (of ";

// The conductors and movable objects the table has columns for.
struct StudyColumns {
    std::vector<std::string> conductors;
    std::vector<std::string> object_indices; // "1", or "1-5" for a composite
    std::vector<std::string> object_names;   // the name of each one's first sphere
};

StudyColumns columns_of(const SystemModel& model) {
    StudyColumns columns;
    for (int c = 1; c <= model.conductor_count; ++c)
        columns.conductors.push_back(model.conductors[c].name);
    for (int k = 1; k <= model.object_count; ++k) {
        const Object& o = model.objects[k];
        if (!o.movable())
            continue;
        columns.object_indices.push_back(sweep_object_index(o));
        columns.object_names.push_back(model.spheres[o.first].name);
    }
    return columns;
}

bool same_columns(const StudyColumns& a, const StudyColumns& b, bool objects) {
    return a.conductors == b.conductors &&
           (!objects || (a.object_indices == b.object_indices && a.object_names == b.object_names));
}

std::map<std::string, std::string> point_values(const StudyRequest& request, int index) {
    std::map<std::string, std::string> values = request.fixed;
    const std::vector<std::string>& row = request.points.values[static_cast<std::size_t>(index)];
    for (std::size_t k = 0; k < request.points.names.size(); ++k)
        values[request.points.names[k]] = row[k];
    return values;
}

void apply_switches(Options& options, const StudyRequest& request) {
    for (const auto& [option, on] : request.switches)
        options.set(option, on);
}

// The columns of the first point whose description reads (a reading alone: no charges).
StudyColumns study_columns(const StudyRequest& request) {
    for (std::size_t i = 0; i < request.points.values.size(); ++i) {
        const Result<std::string> text =
            fill_template(request.template_text, point_values(request, static_cast<int>(i)));
        if (!text)
            continue;
        SystemModel model;
        Options options;
        apply_switches(options, request);
        NullSink quiet;
        if (read_description(model, options, split_lines(*text), quiet))
            return columns_of(model);
    }
    return {};
}

bool has_run(const StudyRequest& request) {
    return request.run != StudyRun::None;
}

// What an ok row of the table holds: the session's state, in a SweepPoint as a sweep holds a run's
// (angles of the movable objects, charges, total capacitance, and with a run its steps, error and
// end), and the columns of the study's own.
struct PointState {
    SweepPoint point;
    std::vector<Real> potentials;                // V, per conductor
    std::optional<ConductorCapacitances> matrix; // with --capacitances
};

// A row of the table.
struct StudyRow {
    int index = 0;       // the point, from 0
    int sweep_point = 0; // with --sweep: the voltage's number from 1, 0 when the sweep did not begin
    std::string message; // why the point failed
    const PointState* state = nullptr; // nullptr: the point failed, its numbers are empty
    const SweepPoint* run = nullptr;   // the run's steps and end, also of a failed run; nullptr without
};

using StudyTable = ColumnTable<StudyRow>;

// The table's columns (study.h). Those of a run's state are the sweep's (report/sweep_table.h).
StudyTable study_table(const StudyRequest& request, const StudyColumns& columns) {
    StudyTable table;
    table.add(POINT_HEAD + std::to_string(request.points.values.size()) + ")", "",
              [](const StudyRow& row) { return std::to_string(row.index + 1); });
    for (std::size_t k = 0; k < request.points.names.size(); ++k)
        table.add(request.points.names[k], "", [&request, k](const StudyRow& row) {
            return request.points.values[static_cast<std::size_t>(row.index)][k];
        });
    for (const auto& [name, value] : request.fixed)
        table.add(name, "", [value = value](const StudyRow&) { return value; });
    if (request.run == StudyRun::Sweep)
        table.add("Sweep point", "", [](const StudyRow& row) {
            return row.sweep_point > 0 ? std::to_string(row.sweep_point) : std::string();
        });
    table.add("Status", "",
              [](const StudyRow& row) { return std::string(row.state != nullptr ? "ok" : "failed"); });
    table.add("Message", "", [](const StudyRow& row) { return row.message; });

    const auto point = [](const PointState& state) { return &state.point; };
    StateColumns charges;
    add_total_capacitance_column(charges);
    add_charge_columns(charges, columns.conductors);
    ColumnTable<PointState> state;
    state.add_part(charges, point);
    for (std::size_t c = 0; c < columns.conductors.size(); ++c)
        state.add_number("V " + columns.conductors[c], "V",
                         [c](const PointState& s) { return s.potentials[c]; });
    if (request.capacitances)
        for (std::size_t a = 0; a < columns.conductors.size(); ++a)
            for (std::size_t b = 0; b < columns.conductors.size(); ++b)
                state.add_number("CC[" + columns.conductors[a] + "][" + columns.conductors[b] + "]", "pF",
                                 [a, b](const PointState& s) {
                                     return s.matrix->maxwell_pF(static_cast<int>(a) + 1,
                                                                 static_cast<int>(b) + 1);
                                 });
    const auto state_of = [](const StudyRow& row) { return row.state; };
    table.add_part(state, state_of);
    if (has_run(request)) {
        StateColumns run;
        add_steps_column(run);
        add_end_column(run);
        table.add_part(run, [](const StudyRow& row) { return row.run; });
        StateColumns strings;
        add_largest_force_column(strings);
        add_string_columns(strings, columns.object_indices, columns.object_names);
        ColumnTable<PointState> at_end;
        at_end.add_part(strings, point);
        table.add_part(at_end, state_of);
    }
    return table;
}

// How a point's run ended, as a sweep point's would (solver/sweep.h).
struct RunOutcome {
    int steps = 0;
    Real error = 0; // N
    RunEnd end = RunEnd::Converged;
};

RunEnd end_of(RunEnd end, const Evaluation& ev) {
    return point_end(end, ev.diagnostics.singular_pivot > 0);
}

std::string failure_message(RunEnd end) {
    return end == RunEnd::TooLargeAngles ? "the run ended with Too large angles"
                                         : "the elastance matrix is singular";
}

void set_outcome(SweepPoint& point, const RunOutcome& run) {
    point.steps = run.steps;
    point.error = run.error;
    point.end = run.end;
}

// One point's rows as they are written.
class PointRows {
  public:
    PointRows(const StudyRequest& request, const StudyColumns& columns, const StudyTable& table, int index)
        : request_(request), columns_(columns), table_(table), index_(index) {}

    // A row that says why the point failed; the run's steps and end when it had one.
    void failed(const std::string& message, int sweep_point = 0, const RunOutcome* run = nullptr) {
        SweepPoint outcome;
        if (run != nullptr)
            set_outcome(outcome, *run);
        text_ +=
            table_.line(StudyRow{index_, sweep_point, message, nullptr, run != nullptr ? &outcome : nullptr});
        failed_ = true;
    }

    // A row of the session's state; `run` for a point with a run.
    void state(Session& session, int sweep_point = 0, const RunOutcome* run = nullptr) {
        const SystemModel& model = session.model;
        const Evaluation& ev = session.evaluation;
        if (!same_columns(columns_of(model), columns_, has_run(request_))) {
            failed("the system's conductors or movable objects are not those of the table's columns",
                   sweep_point, run);
            return;
        }
        if (run != nullptr && !(run->end == RunEnd::Converged || run->end == RunEnd::StepLimit ||
                                run->end == RunEnd::Contact)) {
            failed(failure_message(run->end), sweep_point, run);
            return;
        }
        if (run == nullptr && ev.diagnostics.singular_pivot > 0) {
            failed(failure_message(RunEnd::SingularMatrix), sweep_point);
            return;
        }
        PointState state;
        state.point = state_point(model, ev);
        if (run != nullptr)
            set_outcome(state.point, *run);
        for (int c = 1; c <= model.conductor_count; ++c)
            state.potentials.push_back(ev.potential_of(c));
        if (request_.capacitances) {
            Result<ConductorCapacitances> matrix = condense_capacitance_matrix(model, session.workspace);
            if (!matrix) {
                failed(matrix.message(), sweep_point, run);
                return;
            }
            state.matrix = std::move(*matrix);
        }
        text_ +=
            table_.line(StudyRow{index_, sweep_point, {}, &state, run != nullptr ? &state.point : nullptr});
    }

    const std::string& text() const { return text_; }
    bool any_failed() const { return failed_; }

  private:
    const StudyRequest& request_;
    const StudyColumns& columns_;
    const StudyTable& table_;
    int index_ = 0;
    std::string text_;
    bool failed_ = false;
};

// Runs point `index` on a session of its own. Nothing (nullopt) when Stop ended it.
std::optional<PointRows> run_point(const StudyRequest& request, const StudyColumns& columns,
                                   const StudyTable& table, int index, const StopToken& stop) {
    PointRows rows(request, columns, table, index);
    const Result<std::string> text = fill_template(request.template_text, point_values(request, index));
    if (!text) {
        rows.failed(text.message());
        return rows;
    }
    NullSink quiet;
    Session session(quiet);
    session.set_stop_token(stop);
    apply_switches(session.options, request);
    const InitializeResult init = initialize_system(session, split_lines(*text));
    if (init.stopped || stop.requested())
        return std::nullopt;
    if (!init.read_status) {
        rows.failed(init.read_status.message());
        return rows;
    }
    if (request.strict && !init.warnings.empty()) {
        rows.failed(warning_text(init.warnings.front()));
        return rows;
    }
    switch (request.run) {
    case StudyRun::None:
        rows.state(session);
        break;
    case StudyRun::Calculate: {
        const RelaxationResult run = run_calculate(session, request.relaxation);
        if (run.end == RunEnd::Stopped)
            return std::nullopt;
        const RunOutcome outcome{run.steps, run.error, end_of(run.end, session.evaluation)};
        rows.state(session, 0, &outcome);
        break;
    }
    case StudyRun::Equilibrium: {
        const EquilibriumResult found = find_equilibrium(session, equilibrium_settings(request.relaxation));
        if (found.end == RunEnd::Stopped)
            return std::nullopt;
        if (found.end == RunEnd::NotApplicable) { // too many objects: the finder's own line
            VectorSink why;
            report_equilibrium_not_searched(why, movable_objects(session.model), MAX_JACOBIAN_OBJECTS);
            rows.failed(why.lines.front());
            break;
        }
        const RunOutcome outcome{found.iterations, found.error, end_of(found.end, session.evaluation)};
        rows.state(session, 0, &outcome);
        break;
    }
    case StudyRun::Sweep: {
        SweepObserver observer;
        observer.point_done = [&](const SweepPoint& point, int done, int) {
            const RunOutcome outcome{point.steps, point.error, point.end};
            rows.state(session, done, &outcome);
        };
        const Result<SweepResult> swept = run_sweep(session, request.sweep, request.relaxation, observer);
        if (!swept) {
            rows.failed(swept.message());
            break;
        }
        if (swept->stopped)
            return std::nullopt;
        break;
    }
    }
    return rows;
}

bool write_all(std::FILE* out, const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), out) == text.size() && std::fflush(out) == 0;
}

// The points of this process, one after another, each row written as its point ends.
int run_here(const StudyRequest& request, std::FILE* out, std::FILE* err, const StopToken& stop) {
    const StudyColumns columns = study_columns(request);
    const std::vector<int> indices = study_point_indices(request);
    const bool progress = request.show_progress && ::isatty(::fileno(err)) != 0;
    const StudyTable table = study_table(request, columns);
    if (!write_all(out, table.header_line())) {
        std::fprintf(err, "ambrel-batch: cannot write the study: %s\n", std::strerror(errno));
        return USAGE_STATUS;
    }
    int status = DONE_STATUS;
    int done = 0;
    if (progress)
        draw_progress_bar(err, "Study", 0, static_cast<int>(indices.size()));
    for (const int index : indices) {
        if (stop.requested())
            break;
        const std::optional<PointRows> rows = run_point(request, columns, table, index, stop);
        if (!rows)
            break;
        if (!write_all(out, rows->text())) {
            std::fprintf(err, "ambrel-batch: cannot write the study: %s\n", std::strerror(errno));
            return USAGE_STATUS;
        }
        if (rows->any_failed())
            status = FAILED_STATUS;
        if (progress)
            draw_progress_bar(err, "Study", ++done, static_cast<int>(indices.size()));
    }
    return stop.requested() ? STOPPED_STATUS : status;
}

// A worker: a copy of the program on its share of the points, its table read through a pipe.
struct Worker {
    pid_t pid = -1;
    int fd = -1;
    std::string text;
    int status = -1; // the exit status, 2 for a worker that did not exit by itself
};

std::vector<std::string> worker_arguments(const StudyWorkers& workers, int k, int n) {
    std::vector<std::string> args;
    for (std::size_t i = 0; i < workers.arguments.size(); ++i) {
        if (workers.arguments[i] == "--jobs") {
            ++i; // and its value
            continue;
        }
        args.push_back(workers.arguments[i]);
    }
    args.emplace_back("--worker-share");
    args.push_back(std::to_string(k) + "/" + std::to_string(n));
    return args;
}

// The environment of a worker: this one's, with the threads of its share of the cores.
std::vector<std::string> worker_environment(int threads) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string_view entry(*e);
        if (entry.rfind("OMP_NUM_THREADS=", 0) == 0 || entry.rfind("OPENBLAS_NUM_THREADS=", 0) == 0)
            continue;
        env.emplace_back(entry);
    }
    env.push_back("OMP_NUM_THREADS=" + std::to_string(threads));
    env.push_back("OPENBLAS_NUM_THREADS=" + std::to_string(threads));
    return env;
}

std::vector<char*> c_strings(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& t : texts)
        pointers.push_back(t.data());
    pointers.push_back(nullptr);
    return pointers;
}

Status start_worker(Worker& worker, const std::string& program, std::vector<std::string> args,
                    std::vector<std::string> env) {
    int fds[2];
    if (::pipe(fds) != 0)
        return Status::failure(std::string("cannot start a worker: ") + std::strerror(errno));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    args.insert(args.begin(), program);
    std::vector<char*> argv = c_strings(args);
    std::vector<char*> envp = c_strings(env);
    const int spawned =
        ::posix_spawn(&worker.pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        worker.pid = -1;
        return Status::failure("cannot start a worker (" + program + "): " + std::strerror(spawned));
    }
    worker.fd = fds[0];
    return Status::success();
}

// Reads every worker's table to its end and waits for them; a Stop is passed on to them.
void collect_workers(std::vector<Worker>& workers, const StopToken& stop, std::FILE* err, bool progress,
                     int expected_rows) {
    bool stop_passed = false;
    int rows = 0;
    int shown = -1;
    for (;;) {
        std::vector<pollfd> polled;
        std::vector<Worker*> open;
        for (Worker& w : workers)
            if (w.fd >= 0) {
                polled.push_back({w.fd, POLLIN, 0});
                open.push_back(&w);
            }
        if (polled.empty())
            break;
        if (stop.requested() && !stop_passed) {
            for (Worker& w : workers)
                if (w.pid > 0)
                    ::kill(w.pid, SIGTERM);
            stop_passed = true;
        }
        const int ready = ::poll(polled.data(), polled.size(), 200);
        if (ready < 0 && errno != EINTR)
            break;
        for (std::size_t k = 0; k < polled.size(); ++k) {
            if ((polled[k].revents & (POLLIN | POLLHUP | POLLERR)) == 0)
                continue;
            char buffer[65536];
            const ssize_t n = ::read(polled[k].fd, buffer, sizeof buffer);
            if (n > 0) {
                open[k]->text.append(buffer, static_cast<std::size_t>(n));
                rows += static_cast<int>(std::count(buffer, buffer + n, '\n'));
            } else if (n == 0 || errno != EINTR) {
                ::close(open[k]->fd);
                open[k]->fd = -1;
            }
        }
        // The rows done (each worker's header is a line too), as one process shows its points.
        const int done = std::clamp(rows - static_cast<int>(workers.size()), 0, expected_rows);
        if (progress && done != shown) {
            draw_progress_bar(err, "Study", done, expected_rows);
            shown = done;
        }
    }
    if (progress && shown != expected_rows) {
        std::fputc('\n', err);
        std::fflush(err);
    }
    for (Worker& w : workers) {
        int wait_status = 0;
        while (::waitpid(w.pid, &wait_status, 0) < 0 && errno == EINTR) {
        }
        w.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : USAGE_STATUS;
    }
}

int run_on_workers(const StudyRequest& request, std::FILE* out, std::FILE* err, const StopToken& stop,
                   const StudyWorkers& workers) {
    if (workers.program.empty()) {
        std::fprintf(err, "ambrel-batch: --jobs: this program cannot start workers\n");
        return USAGE_STATUS;
    }
    const int count = static_cast<int>(study_point_indices(request).size());
    const int n = std::max(1, std::min(request.jobs, count));
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const int threads = std::max(1, cores / n);
    std::vector<Worker> started(static_cast<std::size_t>(n));
    for (int k = 1; k <= n; ++k) {
        const Status s = start_worker(started[static_cast<std::size_t>(k - 1)], workers.program,
                                      worker_arguments(workers, k, n), worker_environment(threads));
        if (!s) {
            std::fprintf(err, "ambrel-batch: %s\n", s.message().c_str());
            started.resize(static_cast<std::size_t>(k - 1));
            for (Worker& w : started)
                ::kill(w.pid, SIGTERM);
            collect_workers(started, stop, err, false, 0);
            return USAGE_STATUS;
        }
    }
    int rows_per_point = 1;
    if (request.run == StudyRun::Sweep)
        if (const Result<int> c = sweep_point_count(request.sweep.range))
            rows_per_point = *c;
    const bool progress = request.show_progress && ::isatty(::fileno(err)) != 0;
    collect_workers(started, stop, err, progress, count * rows_per_point);
    int status = DONE_STATUS;
    std::vector<StudyPart> parts;
    for (std::size_t k = 0; k < started.size(); ++k) {
        const Worker& w = started[k];
        if (w.status == STOPPED_STATUS || stop.requested())
            status = STOPPED_STATUS;
        else if (w.status != DONE_STATUS && w.status != FAILED_STATUS) {
            std::fprintf(err, "ambrel-batch: worker %zu of %d failed (exit status %d)\n", k + 1, n, w.status);
            return USAGE_STATUS;
        }
        if (w.status == FAILED_STATUS)
            status = std::max(status, FAILED_STATUS);
        parts.push_back({"worker " + std::to_string(k + 1), w.text});
    }
    const Result<std::string> merged = merge_study_parts(parts, false);
    if (!merged) {
        std::fprintf(err, "ambrel-batch: %s\n", merged.message().c_str());
        return USAGE_STATUS;
    }
    if (!write_all(out, *merged)) {
        std::fprintf(err, "ambrel-batch: cannot write the study: %s\n", std::strerror(errno));
        return USAGE_STATUS;
    }
    return status;
}

} // namespace

Result<StudyPoints> read_study_points(std::string_view text) {
    const auto records = parse_csv(text);
    if (!records)
        return records.status();
    if (records->empty())
        return Result<StudyPoints>::failure("no header of parameter names");
    StudyPoints points;
    points.names = records->front();
    for (const std::string& name : points.names) {
        if (!is_placeholder_name(name))
            return Result<StudyPoints>::failure("'" + name +
                                                "' cannot name a parameter (letters, digits and _, "
                                                "not starting with a digit)");
        if (std::count(points.names.begin(), points.names.end(), name) > 1)
            return Result<StudyPoints>::failure("the parameter " + name + " is named twice");
    }
    for (std::size_t r = 1; r < records->size(); ++r) {
        if ((*records)[r].size() != points.names.size())
            return Result<StudyPoints>::failure("point " + std::to_string(r) + " has " +
                                                std::to_string((*records)[r].size()) + " values for " +
                                                std::to_string(points.names.size()) + " parameters");
        points.values.push_back((*records)[r]);
    }
    if (points.values.empty())
        return Result<StudyPoints>::failure("no points");
    return points;
}

Result<StudyShare> parse_study_share(std::string_view text) {
    const std::size_t slash = text.find('/');
    const auto k = slash == std::string_view::npos ? std::nullopt : parse_field_int(text.substr(0, slash));
    const auto n = slash == std::string_view::npos ? std::nullopt : parse_field_int(text.substr(slash + 1));
    if (!k || !n || *n < 1 || *k < 1 || *k > *n)
        return Result<StudyShare>::failure("K/N with 1 <= K <= N, not '" + std::string(text) + "'");
    return StudyShare{*k, *n};
}

Status check_study(const StudyRequest& request) {
    for (const std::string& name : request.points.names)
        if (request.fixed.count(name) != 0)
            return Status::failure("--set " + name + ": the points file gives its values");
    std::map<std::string, std::string> names = request.fixed;
    for (const std::string& name : request.points.names)
        names[name];
    const Result<std::string> filled = fill_template(request.template_text, names);
    return filled ? Status::success() : filled.status();
}

std::vector<int> study_point_indices(const StudyRequest& request) {
    std::vector<int> shard;
    const int count = static_cast<int>(request.points.values.size());
    for (int i = 0; i < count; ++i)
        if (i % request.shard.n == request.shard.k - 1)
            shard.push_back(i);
    std::vector<int> mine;
    for (std::size_t j = 0; j < shard.size(); ++j)
        if (static_cast<int>(j % static_cast<std::size_t>(request.worker.n)) == request.worker.k - 1)
            mine.push_back(shard[j]);
    return mine;
}

int run_study(const StudyRequest& request, std::FILE* out, std::FILE* err, const StopToken& stop,
              const StudyWorkers& workers) {
    if (request.jobs > 1)
        return run_on_workers(request, out, err, stop, workers);
    return run_here(request, out, err, stop);
}

Result<std::string> merge_study_parts(const std::vector<StudyPart>& parts, bool complete) {
    using Text = Result<std::string>;
    if (parts.empty())
        return Text::failure("no parts to merge");
    std::vector<std::string> header;
    std::size_t count = 0;
    std::size_t parameters = 0;
    // Each point's rows and the part that gave them.
    std::vector<std::vector<std::vector<std::string>>> rows;
    std::vector<std::size_t> source;
    for (std::size_t p = 0; p < parts.size(); ++p) {
        const StudyPart& part = parts[p];
        const auto records = parse_csv(part.text);
        if (!records)
            return Text::failure(part.name + ": " + records.message());
        if (records->empty())
            return Text::failure(part.name + ": empty, not a part of a study");
        const std::vector<std::string>& head = records->front();
        if (p == 0) {
            header = head;
            const std::string& first = header.front();
            const std::string digits =
                first.rfind(POINT_HEAD, 0) == 0 && first.back() == ')'
                    ? first.substr(std::strlen(POINT_HEAD), first.size() - std::strlen(POINT_HEAD) - 1)
                    : std::string();
            const auto n = parse_field_int(digits);
            if (!n || *n < 1)
                return Text::failure(part.name + ": not a table of a study (its first column is '" + first +
                                     "')");
            count = static_cast<std::size_t>(*n);
            const auto status = std::find(header.begin(), header.end(), "Status");
            const auto sweep = std::find(header.begin(), header.end(), "Sweep point");
            parameters = static_cast<std::size_t>(std::min(status, sweep) - header.begin()) - 1;
            rows.resize(count);
            source.assign(count, parts.size());
        } else if (head != header) {
            return Text::failure(part.name + ": its header is not that of " + parts.front().name +
                                 ": the parts are of different studies");
        }
        std::size_t previous = count;
        for (std::size_t r = 1; r < records->size(); ++r) {
            const std::vector<std::string>& row = (*records)[r];
            const auto index = parse_field_int(row.front());
            if (row.size() != header.size() || !index || *index < 1 ||
                static_cast<std::size_t>(*index) > count)
                return Text::failure(part.name + ": row " + std::to_string(r + 1) +
                                     " is not a row of this study");
            const std::size_t i = static_cast<std::size_t>(*index) - 1;
            if (source[i] != parts.size()) {
                const std::vector<std::string>& seen = rows[i].front();
                if (!std::equal(row.begin() + 1, row.begin() + 1 + static_cast<std::ptrdiff_t>(parameters),
                                seen.begin() + 1))
                    return Text::failure("point " + row.front() + " has other parameters in " + part.name +
                                         " than in " + parts[source[i]].name +
                                         ": the parts are of different studies");
                if (source[i] != p || previous != i)
                    return Text::failure("point " + row.front() + " is twice: in " + parts[source[i]].name +
                                         (source[i] == p ? " twice" : " and in " + part.name));
            }
            source[i] = p;
            rows[i].push_back(row);
            previous = i;
        }
    }
    std::string text = csv_line(header);
    for (std::size_t i = 0; i < count; ++i) {
        if (rows[i].empty()) {
            if (complete)
                return Text::failure("point " + std::to_string(i + 1) + " of " + std::to_string(count) +
                                     " is in no part");
            continue;
        }
        for (const std::vector<std::string>& row : rows[i])
            text += csv_line(row);
    }
    return text;
}

bool study_table_has_failure(std::string_view table) {
    const auto records = parse_csv(table);
    if (!records || records->empty())
        return false;
    const std::vector<std::string>& header = records->front();
    const auto status =
        static_cast<std::size_t>(std::find(header.begin(), header.end(), "Status") - header.begin());
    return std::any_of(records->begin() + 1, records->end(), [status](const std::vector<std::string>& row) {
        return status < row.size() && row[status] == "failed";
    });
}

} // namespace ambrel
