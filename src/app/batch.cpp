// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/batch.h"

#include "ambrel_version.h"

#include "app/study.h"
#include "app/sweep_argument.h"
#include "app/terminal_progress.h"
#include "calculators/calculator_fields.h"
#include "calculators/electroscope.h"
#include "calculators/electroscope_table.h"
#include "calculators/four_balls_pentagon.h"
#include "description/listing.h"
#include "description/reader.h"
#include "description/template.h"
#include "model/options.h"
#include "model/output_sink.h"
#include "report/capacitance_matrix.h"
#include "report/capacitance_report.h"
#include "report/jacobian_report.h"
#include "report/run_report.h"
#include "report/sweep_table.h"
#include "session/session.h"
#include "session/snapshot.h"
#include "solver/equilibrium.h"
#include "solver/initialize.h"
#include "solver/jacobian.h"
#include "solver/relaxation.h"
#include "solver/sweep.h"
#include "text/csv_file.h"
#include "text/number_format.h"
#include "text/numeric_field.h"
#include "view/camera.h"

#include <cerrno>
#include <cstring>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <unistd.h>
#include <utility>

namespace ambrel {

namespace {

enum class ActionKind {
    List,
    Capacitances,
    CapacitanceMatrix,
    Calculate,
    Equilibrium,
    Jacobian,
    Bitmap,
    Png,
    FourBalls,
    Pentagon,
    Electroscope,
    ElectroscopeTable,
    Sweep
};

// The closed-form calculators work on their own fields, not on the system.
bool needs_system(ActionKind kind) {
    return kind == ActionKind::List || kind == ActionKind::Capacitances ||
           kind == ActionKind::CapacitanceMatrix || kind == ActionKind::Calculate ||
           kind == ActionKind::Equilibrium || kind == ActionKind::Jacobian || kind == ActionKind::Bitmap ||
           kind == ActionKind::Png || kind == ActionKind::Sweep;
}

struct Action {
    ActionKind kind;
    std::string argument;
};

struct BatchCommand {
    std::vector<std::pair<Option, bool>> switches;
    RelaxationSettings relaxation;
    JacobianSettings jacobian;
    JacobianPrint jacobian_print;
    CalculatorFields calculator_fields;
    std::vector<Action> actions;
    std::optional<std::string> file;
    std::optional<SweepRequest> sweep;
    std::optional<SweepMethod> method;         // how the sweep's points reach equilibrium
    std::optional<std::string> sweep_out;      // the file of the sweep's table; standard output without it
    std::optional<std::string> jacobian_out;   // where each Jacobian is written whole
    std::map<std::string, std::string> values; // --set: the template's values
    std::optional<std::string> study;          // --study: the points file
    int jobs = 1;
    std::optional<StudyShare> shard, worker_share;
    std::optional<std::string> merge; // --merge: the whole table's file; the parts follow
    std::vector<std::string> parts;
    bool help = false;
    bool version = false;
    bool strict = false; // the reader's warnings are errors
};

// The output panel's lines on standard output, out of the way of the status line.
class ProgressStreamSink : public OutputSink {
  public:
    explicit ProgressStreamSink(TerminalProgress& progress) : progress_(progress) {}

  protected:
    void emit_line(std::string_view line) override { progress_.write_line(line); }

  private:
    TerminalProgress& progress_;
};

// A rotational force in the status line, in uN as the reports write it.
std::string force_text(Real newtons) {
    const Real uN = newtons * 1e6L;
    return real_to_fixed_text(uN, 0, std::fabs(uN) < 1 ? 6 : 2) + " uN";
}

struct UsageError {
    std::string message;
};

// The whole content of a file, or of standard input for "-"; nullopt with the system's reason.
std::optional<std::string> read_text(const std::string& name, std::string& error) {
    std::FILE* f = name == "-" ? stdin : std::fopen(name.c_str(), "rb");
    if (f == nullptr) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    std::string text;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        text.append(buffer, n);
    const bool failed = std::ferror(f) != 0;
    const int saved_errno = errno;
    if (f != stdin)
        std::fclose(f);
    if (failed) {
        error = std::strerror(saved_errno);
        return std::nullopt;
    }
    return text;
}

// A numeric setting as the window's fields read it: the whole text must be a number, with a
// digit before its exponent.
Real number(const std::string& option, const std::string& text) {
    const auto value = read_field_real(text);
    if (!value)
        throw UsageError{named_invalid_number_message(option, text, tipo_campo::real_field)};
    return *value;
}

// The settings' ranges, checked once every argument is read (the last one given counts).
void check_setting(RunSetting setting, const char* option, Real value) {
    if (const ValueRange range = setting_range(setting); !range.contains(value))
        throw UsageError{out_of_range_message(option, format_g(value), range)};
}

int integer(const std::string& option, const std::string& text) {
    const auto value = parse_field_int(text);
    if (!value)
        throw UsageError{named_invalid_number_message(option, text, tipo_campo::int_field)};
    return *value;
}

// A study runs Initialize and at most one run per point; its table goes to standard output.
void check_study_arguments(const BatchCommand& cmd) {
    if (!cmd.study) {
        if (cmd.jobs != 1 || cmd.shard || cmd.worker_share)
            throw UsageError{"--jobs and --shard need --study"};
        return;
    }
    if (!cmd.file)
        throw UsageError{"--study needs a template description file"};
    if (cmd.sweep_out)
        throw UsageError{"--study writes its table to standard output: no --sweep-out"};
    int runs = 0;
    for (const Action& action : cmd.actions) {
        if (action.kind == ActionKind::Calculate || action.kind == ActionKind::Equilibrium ||
            action.kind == ActionKind::Sweep)
            ++runs;
        else if (action.kind != ActionKind::Capacitances)
            throw UsageError{"--study runs Initialize, --capacitances and one of --calculate, --equilibrium "
                             "and --sweep"};
    }
    if (runs > 1)
        throw UsageError{"--study runs one of --calculate, --equilibrium and --sweep"};
}

// The actions that take no value, or a file name, by their flag.
struct ActionFlag {
    const char* flag;
    ActionKind kind;
    bool file; // the flag is followed by a file name
};
constexpr ActionFlag ACTION_FLAGS[] = {
    {"--list", ActionKind::List, false},
    {"--capacitances", ActionKind::Capacitances, false},
    {"--capacitance-matrix", ActionKind::CapacitanceMatrix, true},
    {"--calculate", ActionKind::Calculate, false},
    {"--equilibrium", ActionKind::Equilibrium, false},
    {"--bmp", ActionKind::Bitmap, true},
    {"--png", ActionKind::Png, true},
    {"--jacobian", ActionKind::Jacobian, false},
    {"--four-balls", ActionKind::FourBalls, false},
    {"--pentagon", ActionKind::Pentagon, false},
    {"--electroscope", ActionKind::Electroscope, false},
    {"--electroscope-table", ActionKind::ElectroscopeTable, false},
};

// The value after the flag at args[i] (i then names it), or a usage error saying what it needs.
using ValueOf = std::function<std::string(const char* what)>;

// The run's and the Jacobian's numeric settings; false for a flag that is none of them.
bool parse_setting(BatchCommand& cmd, const std::string& a, const ValueOf& value) {
    if (a == "--time-step") {
        cmd.relaxation.time_step = number(a, value("a number"));
        cmd.jacobian.time_step = cmd.relaxation.time_step;
    } else if (a == "--steps") {
        cmd.relaxation.max_steps = integer(a, value("a whole number"));
    } else if (a == "--force-error") {
        cmd.relaxation.force_error_uN = number(a, value("a number"));
        cmd.jacobian.force_error_uN = cmd.relaxation.force_error_uN;
    } else if (a == "--random-error") {
        cmd.relaxation.random_start = true;
        cmd.relaxation.max_random_error_deg = number(a, value("a number"));
    } else if (a == "--damping") {
        cmd.relaxation.damping = number(a, value("a number"));
    } else if (a == "--angle-variation") {
        cmd.jacobian.angle_variation = number(a, value("a number"));
    } else if (a == "--plain") {
        cmd.jacobian_print.plain = true;
    } else {
        return false;
    }
    return true;
}

// Templates, studies and the calculators' fields; false for a flag that is none of them.
bool parse_study_argument(BatchCommand& cmd, const std::string& a, const ValueOf& value) {
    if (a == "--set") {
        const std::string assignment = value("NAME=VALUE");
        const auto eq = assignment.find('=');
        if (eq == std::string::npos || !is_placeholder_name(assignment.substr(0, eq)))
            throw UsageError{"--set needs NAME=VALUE, NAME of letters, digits and _, not '" + assignment +
                             "'"};
        if (!cmd.values.emplace(assignment.substr(0, eq), assignment.substr(eq + 1)).second)
            throw UsageError{"--set " + assignment.substr(0, eq) + " is given twice"};
    } else if (a == "--study") {
        cmd.study = value("a points file");
    } else if (a == "--jobs") {
        cmd.jobs = integer(a, value("a whole number"));
        if (cmd.jobs < 1)
            throw UsageError{"--jobs: at least 1, not " + std::to_string(cmd.jobs)};
    } else if (a == "--shard" || a == "--worker-share") {
        const Result<StudyShare> share = parse_study_share(value("K/N"));
        if (!share)
            throw UsageError{a + ": " + share.message()};
        (a == "--shard" ? cmd.shard : cmd.worker_share) = *share;
    } else if (a == "--field") {
        const std::string assignment = value("NAME=VALUE");
        const auto eq = assignment.find('=');
        if (eq == std::string::npos)
            throw UsageError{"--field needs NAME=VALUE, not '" + assignment + "'"};
        if (const Status set = set_calculator_field(cmd.calculator_fields, assignment.substr(0, eq),
                                                    assignment.substr(eq + 1));
            !set)
            throw UsageError{"--field " + assignment + ": " + set.message()};
    } else {
        return false;
    }
    return true;
}

// What the arguments must agree on once all are read (the last one given counts).
void check_arguments(BatchCommand& cmd) {
    if (cmd.sweep_out && !cmd.sweep)
        throw UsageError{"--sweep-out needs --sweep"};
    check_study_arguments(cmd);
    if (cmd.method && !cmd.sweep)
        throw UsageError{"--method needs --sweep"};
    if (cmd.method)
        cmd.sweep->method = *cmd.method;
    if (cmd.jacobian_out && std::none_of(cmd.actions.begin(), cmd.actions.end(),
                                         [](const Action& x) { return x.kind == ActionKind::Jacobian; }))
        throw UsageError{"--jacobian-out needs --jacobian"};
    check_setting(RunSetting::TimeStep, "--time-step", cmd.relaxation.time_step);
    check_setting(RunSetting::Steps, "--steps", cmd.relaxation.max_steps);
    check_setting(RunSetting::ForceError, "--force-error", cmd.relaxation.force_error_uN);
    check_setting(RunSetting::Damping, "--damping", cmd.relaxation.damping);
    check_setting(RunSetting::AngleVariation, "--angle-variation", cmd.jacobian.angle_variation);
    if (cmd.relaxation.random_start)
        check_setting(RunSetting::RandomError, "--random-error", cmd.relaxation.max_random_error_deg);
}

BatchCommand parse_arguments(const std::vector<std::string>& args) {
    BatchCommand cmd;
    cmd.jacobian_print.cut_mark = " ...(cut: --jacobian-out FILE.csv writes the whole matrix)";
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const ValueOf value = [&](const char* what) -> std::string {
            if (i + 1 >= args.size())
                throw UsageError{a + " needs " + what};
            return args[++i];
        };
        const auto action = std::find_if(std::begin(ACTION_FLAGS), std::end(ACTION_FLAGS),
                                         [&](const ActionFlag& f) { return a == f.flag; });
        if (action != std::end(ACTION_FLAGS)) {
            cmd.actions.push_back({action->kind, action->file ? value("a file name") : std::string()});
        } else if (parse_setting(cmd, a, value) || parse_study_argument(cmd, a, value)) {
            continue;
        } else if (a == "--help" || a == "-h") {
            cmd.help = true;
        } else if (a == "--version") {
            cmd.version = true;
        } else if (a == "--on" || a == "--off") {
            const std::string name = value("an option name");
            const auto option = option_from_cli_name(name);
            if (!option)
                throw UsageError{"unknown option name: " + name};
            cmd.switches.emplace_back(*option, a == "--on");
        } else if (a == "--strict") {
            cmd.strict = true;
        } else if (a == "--jacobian-out") {
            cmd.jacobian_out = value("a file name");
        } else if (a == "--sweep") {
            if (cmd.sweep)
                throw UsageError{"--sweep may be given once"};
            const Result<SweepRequest> request = parse_sweep_request(value("CONDUCTOR=START:STOP:STEP"));
            if (!request)
                throw UsageError{"--sweep: " + request.message()};
            cmd.sweep = *request;
            cmd.actions.push_back({ActionKind::Sweep, {}});
        } else if (a == "--sweep-out") {
            cmd.sweep_out = value("a file name");
        } else if (a == "--method") {
            const std::string method = value("calculate or equilibrium");
            if (method != "calculate" && method != "equilibrium")
                throw UsageError{"--method: calculate or equilibrium, not '" + method + "'"};
            cmd.method = method == "equilibrium" ? SweepMethod::Equilibrium : SweepMethod::Calculate;
        } else if (a == "--merge") {
            cmd.merge = value("the file of the whole table");
            cmd.parts.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            if (cmd.parts.empty() || i != 1 || args.front() != "--merge")
                throw UsageError{"--merge OUT.csv PART.csv... takes no other arguments"};
            break;
        } else if (a == "-" || a.rfind("-", 0) != 0) {
            if (cmd.file)
                throw UsageError{"only one description file may be given"};
            cmd.file = a;
        } else {
            throw UsageError{"unknown argument: " + a};
        }
    }
    check_arguments(cmd);
    return cmd;
}

// --sweep: the sweep and its CSV table, on `out` or in the --sweep-out file, with a progress bar
// on `err` when that is a terminal. The exit status it asks for: 2 for an unknown conductor or a
// table that cannot be written, 1 when a point ended with "Too large angles", else 0.
int sweep_action(Session& session, const BatchCommand& cmd, std::FILE* out, std::FILE* err,
                 TerminalProgress& progress) {
    SweepObserver observer;
    if (progress.enabled()) {
        observer.point_started = [&progress](int index, int count, Real) {
            progress.draw_bar("Sweep", index, count);
        };
        observer.point_done = [&progress](const SweepPoint&, int done, int count) {
            if (done == count)
                progress.draw_bar("Sweep", done, count);
        };
    }
    const Result<SweepResult> result = run_sweep(session, *cmd.sweep, cmd.relaxation, observer);
    std::fflush(out);
    if (!result) {
        std::fprintf(err, "ambrel-batch: --sweep: %s\n", result.message().c_str());
        return USAGE_STATUS;
    }
    if (cmd.sweep_out) {
        if (const Status written = write_sweep_csv(*cmd.sweep_out, *result); !written) {
            std::fprintf(err, "ambrel-batch: %s\n", written.message().c_str());
            return USAGE_STATUS;
        }
    } else {
        const std::string table = sweep_csv(*result);
        if (std::fwrite(table.data(), 1, table.size(), out) != table.size() || std::fflush(out) != 0) {
            std::fprintf(err, "ambrel-batch: cannot write the sweep to standard output: %s\n",
                         std::strerror(errno));
            return USAGE_STATUS;
        }
    }
    for (const SweepPoint& point : result->points)
        if (point.end == RunEnd::TooLargeAngles)
            return FAILED_STATUS;
    return DONE_STATUS;
}

} // namespace

std::string batch_usage() {
    std::string text =
        "Usage: ambrel-batch [OPTIONS] [FILE]\n"
        "\n"
        "Runs a description (.bal) without windows, as the Inicialize button does (reading,\n"
        "charges, forces and reports), and prints\n"
        "every line that the output panel would receive. FILE '-' reads standard input;\n"
        "without FILE the default description of the main window is used.\n"
        "\n"
        "Settings (applied before anything runs):\n"
        "  --on NAME        switch an option on\n"
        "  --off NAME       switch an option off\n"
        "\n"
        "Actions (run after initialising, in the order given):\n"
        "  --list           write the updated system (the List command)\n"
        "  --capacitances   write the capacitances between conductors (the Capacitances command)\n"
        "  --capacitance-matrix FILE\n"
        "                   write the capacitance matrix between conductors to a CSV file, in pF: the\n"
        "                   Maxwell and the mutual (circuit) form; a matrix failing its checks is\n"
        "                   written all the same, each failure a line of the output\n"
        "  --calculate      relax the strings to equilibrium (the Calculate command, to its end)\n"
        "  --equilibrium    find the equilibrium by Newton-type steps (Find equilibrium): --steps is\n"
        "                   its limit of iterations; the final reports, the iterations and evaluations,\n"
        "                   and the stability verdict of the state reached\n"
        "  --jacobian       write the stability Jacobian of the update law and its eigenvalues, each\n"
        "                   with its error, and the verdict they allow\n"
        "  --jacobian-out FILE\n"
        "                   also write each --jacobian whole to a CSV file, in 1/s: the update law's\n"
        "                   matrix, that of the stability coordinates, the eigenvalues and errors\n"
        "  --bmp FILE       draw the 3D view as the window shows it and save it as a BMP file\n"
        "  --png FILE       the same picture saved as a PNG file\n"
        "  --sweep C=START:STOP:STEP\n"
        "                   set conductor C to START, START+STEP, ... up to STOP volts, relax at each\n"
        "                   voltage from the equilibrium before, and write a CSV table of the angles,\n"
        "                   charges and capacitance at each (once); on standard output, which then\n"
        "                   receives no panel lines, unless --sweep-out is given\n"
        "  --sweep-out FILE write the table of --sweep to FILE instead\n"
        "  --method M       how each point of --sweep reaches its equilibrium: calculate (the\n"
        "                   relaxation, the default) or equilibrium (Find equilibrium; the table's\n"
        "                   steps are then its iterations)\n"
        "\n"
        "Templates and studies (a description may hold ${NAME} in any field):\n"
        "  --set NAME=VALUE put VALUE in place of ${NAME} before reading; a placeholder without a\n"
        "                   value, or a NAME the description does not hold, is an error\n"
        "  --study POINTS.csv\n"
        "                   run FILE, a template, once per row of POINTS.csv (a header of parameter\n"
        "                   names, a row of values per point) with the actions given (Initialize\n"
        "                   alone, --capacitances, and one of --calculate, --equilibrium, --sweep),\n"
        "                   and write a CSV table on standard output: per point its number, the\n"
        "                   parameters, ok or failed and why, the total capacitance, each conductor's\n"
        "                   charge and potential, the Maxwell capacitance matrix with --capacitances,\n"
        "                   and with a run its steps, its end, the largest rotational force and each\n"
        "                   string's deflection from the vertical and direction (a row per voltage\n"
        "                   with --sweep); a failed point is a row that says so\n"
        "  --jobs N         run the points on N worker processes of this machine, each with its\n"
        "                   share of the cores; the same table as one\n"
        "  --shard K/N      run only the points of shard K of N (point i when (i - 1) mod N = K - 1)\n"
        "  --worker-share K/N\n"
        "                   the share of one of --jobs' workers within the shard (set by --jobs)\n"
        "  --merge OUT.csv PART.csv...\n"
        "                   check that the parts are of one study (same header, same parameters for\n"
        "                   a point, every point exactly once) and write the whole table to OUT.csv\n"
        "\n"
        "Settings of Calculate and Jacobian (as the window's fields):\n"
        "  --time-step DT         time step (0.05)\n"
        "  --steps N              maximum number of steps (1000)\n"
        "  --force-error UN       tolerance on the rotational forces, in uN (0.0001); the Jacobian\n"
        "                         calls a state with larger forces no equilibrium\n"
        "  --random-error DEG     start with a random error of at most DEG degrees\n"
        "  --damping A            damping of the true time-domain simulation (0.01)\n"
        "  --angle-variation H    angle step of the Jacobian, in rad (0.0001)\n"
        "  --plain                plain formatting of the Jacobian\n"
        "\n"
        "Closed-form calculators (need no description; run alone they read none):\n"
        "  --four-balls           four balls hung from one point (the Extra window)\n"
        "  --pentagon             five balls in a pentagon (the Extra window)\n"
        "  --electroscope         the pith-ball electroscope report\n"
        "  --electroscope-table   write the table file pithballs.tab in the current folder\n"
        "  --field NAME=VALUE     set a calculator field by its name, value as typed in the window\n"
        "\n"
        "  --strict         make the reader's warnings errors (exit status 1); a point of\n"
        "                   --study whose reading warns fails with its first warning\n"
        "  --help           show this text\n"
        "  --version        show the version of ambrel-batch\n"
        "\n"
        "Option names (default in brackets):\n";
    for (int i = 0; i < OPTION_COUNT; ++i) {
        const auto o = static_cast<Option>(i);
        text += "  " + option_cli_name(o) + " [" + (option_info(o).at_start ? "on" : "off") + "]\n";
    }
    text += "\nCalculator fields (default in brackets):\n";
    for (const auto& field : calculator_fields())
        text += "  " + std::string(field.name) + " [" + std::string(field.default_text) + "]  " +
                std::string(field.label) + " (" + std::string(field.window) + ")\n";
    text += "\n"
            "The reader's warnings (a field that is not a number, a missing field, words after\n"
            "the last field, an unknown dot command, a conductor not found) go to standard\n"
            "error, each with its line; the output is read as without them.\n"
            "\n"
            "Exit status: 0 done; 1 the description stopped the reader with an error (with\n"
            "--strict also a warning), or a calculation ended with \"Too large angles\", or a\n"
            "calculator stopped on an error, or the capacitance matrix could not be formed or\n"
            "failed its checks, or a point of a study failed;\n"
            "2 usage error (also an unknown --sweep conductor, a template's placeholder without a\n"
            "value, parts that --merge refuses) or unreadable file;\n"
            "130 an interrupt stopped the command under way (it ended with its reports).\n";
    return text;
}

int run_batch(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    static const StopSource never;
    return run_batch(args, out, err, never.token(), {});
}

namespace {

// The actions of one ambrel-batch run on its session, and the exit status they add up to.
class BatchRun {
  public:
    BatchRun(const BatchCommand& cmd, const std::vector<std::string>& description, Session& session,
             OutputSink& sink, std::FILE* out, std::FILE* err, const PictureWriter& pictures,
             TerminalProgress& progress)
        : cmd_(cmd), description_(description), session_(session), sink_(sink), out_(out), err_(err),
          pictures_(pictures), progress_(progress) {}

    // Initialize, as the window's button does; the camera is reset by the first.
    void initialize(bool sweep_to_out);
    // The reader's warnings of a reading to standard error (errors with --strict).
    void reading_done(const InitializeResult& read);
    void run(const Action& action);
    int status() const { return status_; }

  private:
    // A line on standard error, after what standard output holds.
    void say(const std::string& message) { progress_.write_message("ambrel-batch: " + message); }
    // Calculate's and Find equilibrium's, and that of the reading before them when the description is
    // not read yet.
    RunObserver run_observer();
    void run_action(const Action& action);
    // The solver's share of its work done, as the status line's bar.
    void show_solver_progress(bool on) {
        if (!progress_.enabled())
            return;
        if (on)
            session_.workspace.solver.set_progress([this](double done) { progress_.set_fraction(done); });
        else
            session_.workspace.solver.set_progress({});
    }
    void export_matrix(const Action& action);
    void save_jacobian(const JacobianResult& result);
    void save_picture(const Action& action);
    void calculator_done(const Status& result) {
        if (!result) {
            say(result.message());
            status_ = FAILED_STATUS;
        }
    }

    const BatchCommand& cmd_;
    const std::vector<std::string>& description_;
    Session& session_;
    OutputSink& sink_;
    std::FILE* out_;
    std::FILE* err_;
    const PictureWriter& pictures_;
    TerminalProgress& progress_;
    Camera camera_;                  // the view's, as the window keeps it
    bool view_reset_pending_ = true; // the first Initialize resets it
    int status_ = DONE_STATUS;
    bool read_failed_ = false;
};

void BatchRun::initialize(bool sweep_to_out) {
    prepare_view_for_initialize(camera_, std::exchange(view_reset_pending_, false), VIEW_WIDTH, VIEW_HEIGHT);
    progress_.begin("Initialize");
    show_solver_progress(true);
    const InitializeResult init = initialize_system(session_, description_);
    show_solver_progress(false);
    progress_.end();
    update_view_transform(camera_);
    reading_done(init);
    if (!init.charges_computed && !init.stopped)
        say("the charges of the " + std::to_string(session_.model.sphere_count) +
            " spheres were not computed: above " + std::to_string(LARGE_SYSTEM) +
            " spheres --on always-calculate-charges computes them");
    if (!init.read_status) {
        status_ = FAILED_STATUS;
        read_failed_ = true;
        if (sweep_to_out)
            say(init.read_status.message());
    }
}

void BatchRun::reading_done(const InitializeResult& read) {
    if (read.warnings.empty())
        return;
    for (const ReadWarning& warning : read.warnings)
        say(std::string(cmd_.strict ? "error" : "warning") + ": " + warning_text(warning));
    if (cmd_.strict)
        status_ = std::max(status_, FAILED_STATUS);
}

RunObserver BatchRun::run_observer() {
    RunObserver observer;
    observer.initialized = [this](const InitializeResult& read) {
        update_view_transform(camera_);
        reading_done(read);
    };
    observer.step_done = [this](int step, Real error) {
        progress_.set_fraction(static_cast<double>(step) / std::max(1, cmd_.relaxation.max_steps));
        progress_.set_text("step " + std::to_string(step) + ", largest force " + force_text(error));
    };
    observer.search_progress = [this](const SearchProgress& at) {
        std::string text = "iteration " + std::to_string(at.iteration) + ", " +
                           std::to_string(at.evaluations) + " evaluations, largest force " +
                           force_text(at.error);
        if (at.jacobian_total > 0)
            text += ", " + std::string(at.verifying ? "stability " : "Jacobian ") +
                    std::to_string(at.jacobian_done) + "/" + std::to_string(at.jacobian_total);
        progress_.set_text(std::move(text));
    };
    if (!session_.system_initialized)
        prepare_view_for_initialize(camera_, std::exchange(view_reset_pending_, false), VIEW_WIDTH,
                                    VIEW_HEIGHT);
    return observer;
}

void BatchRun::export_matrix(const Action& action) {
    const CapacitanceMatrixExport done = export_capacitance_matrix(
        session_.model, session_.workspace, session_.evaluation, action.argument, sink_);
    if (done.end != MatrixExportEnd::Written)
        say(done.message);
    if (done.end == MatrixExportEnd::WriteFailed)
        status_ = USAGE_STATUS;
    else if (done.end == MatrixExportEnd::NotAvailable || !done.violations.empty())
        status_ = FAILED_STATUS;
}

void BatchRun::save_jacobian(const JacobianResult& result) {
    if (!result.computed) {
        say("Jacobian matrix not saved: it was not computed");
        status_ = std::max(status_, FAILED_STATUS);
    } else if (const Status written = save_jacobian_csv(*cmd_.jacobian_out, result); !written) {
        say("Jacobian matrix not saved: " + written.message());
        status_ = USAGE_STATUS;
    } else {
        session_.add_output_line("Jacobian matrix saved as " + *cmd_.jacobian_out);
    }
}

void BatchRun::save_picture(const Action& action) {
    const SceneSnapshot snapshot = make_scene_snapshot(session_.model, session_.evaluation, session_.options,
                                                       session_.system_initialized);
    const bool bitmap = action.kind == ActionKind::Bitmap;
    const Status saved = pictures_ ? pictures_(snapshot, camera_, action.argument, bitmap)
                                   : Status::failure("pictures are not available here");
    if (saved) {
        session_.add_output_line((bitmap ? "Bitmap saved as " : "Picture saved as ") + action.argument);
    } else {
        say("cannot write " + action.argument + ": " + saved.message());
        status_ = USAGE_STATUS;
    }
}

void BatchRun::run(const Action& action) {
    // Long actions are shown on a terminal while they run (the others end within a moment).
    static const std::map<ActionKind, const char*> shown = {
        {ActionKind::Capacitances, "Capacitances"},
        {ActionKind::CapacitanceMatrix, "Capacitance matrix"},
        {ActionKind::Calculate, "Calculate"},
        {ActionKind::Equilibrium, "Equilibrium"},
        {ActionKind::Jacobian, "Jacobian"}};
    if (const auto label = shown.find(action.kind); label != shown.end())
        progress_.begin(label->second);
    // The capacitance matrix's inverse shows how far it is; other solves are parts of a step.
    const bool inverse =
        action.kind == ActionKind::Capacitances || action.kind == ActionKind::CapacitanceMatrix;
    if (inverse)
        show_solver_progress(true);
    run_action(action);
    if (inverse)
        show_solver_progress(false);
    progress_.end();
}

void BatchRun::run_action(const Action& action) {
    switch (action.kind) {
    case ActionKind::List:
        list_updated_system(session_.model, sink_);
        break;
    case ActionKind::Capacitances:
        report_capacitances(session_.model, session_.workspace, sink_);
        break;
    case ActionKind::CapacitanceMatrix:
        export_matrix(action);
        break;
    case ActionKind::Calculate: {
        const RunObserver observer = run_observer();
        const std::optional<InitializeResult> read = read_if_needed(session_, description_, observer);
        const RelaxationResult run = run_calculate(session_, cmd_.relaxation, observer);
        // How it ended, beside standard output, which keeps the panel's lines alone (a Stop is said
        // once, at the end of the program).
        if (run.end != RunEnd::Stopped)
            say("Calculate: " + describe_run_end(run));
        if ((read && !read->read_status) || run.end == RunEnd::TooLargeAngles)
            status_ = FAILED_STATUS;
        break;
    }
    case ActionKind::Equilibrium: {
        const RunObserver observer = run_observer();
        const std::optional<InitializeResult> read = read_if_needed(session_, description_, observer);
        const EquilibriumResult found =
            find_equilibrium(session_, equilibrium_settings(cmd_.relaxation), observer);
        if (found.end != RunEnd::Stopped)
            say("Find equilibrium: " + describe_equilibrium_end(found));
        if ((read && !read->read_status) || found.end == RunEnd::TooLargeAngles)
            status_ = FAILED_STATUS;
        break;
    }
    case ActionKind::Jacobian: {
        RunObserver observer;
        observer.progress = [this](int done, int total) {
            progress_.set_fraction(static_cast<double>(done) / std::max(1, total));
            progress_.set_text("evaluation " + std::to_string(done) + " of " + std::to_string(total));
        };
        const JacobianResult result = compute_jacobian(session_, cmd_.jacobian, observer);
        report_jacobian(session_.sink(), result, cmd_.jacobian_print);
        if (cmd_.jacobian_out)
            save_jacobian(result);
        break;
    }
    case ActionKind::Bitmap:
    case ActionKind::Png:
        save_picture(action);
        break;
    case ActionKind::FourBalls:
        calculator_done(four_balls_report(cmd_.calculator_fields.extra, sink_));
        break;
    case ActionKind::Pentagon:
        calculator_done(pentagon_report(cmd_.calculator_fields.extra, sink_));
        break;
    case ActionKind::Electroscope:
        calculator_done(electroscope_report(cmd_.calculator_fields.electroscope, sink_));
        break;
    case ActionKind::ElectroscopeTable:
        calculator_done(write_electroscope_table(cmd_.calculator_fields.electroscope, sink_));
        break;
    case ActionKind::Sweep:
        // A description that stopped the reader has nothing to sweep.
        if (!read_failed_)
            if (const int swept = sweep_action(session_, cmd_, out_, err_, progress_); swept != 0)
                status_ = swept;
        break;
    }
}

} // namespace

// --study: the request of the command's arguments, the points file read.
int study_command(const BatchCommand& cmd, const std::vector<std::string>& args,
                  const std::string& template_text, std::FILE* out, std::FILE* err, const StopToken& stop,
                  const std::string& program) {
    std::string error;
    const auto text = read_text(*cmd.study, error);
    if (!text) {
        std::fprintf(err, "ambrel-batch: cannot read %s: %s\n", cmd.study->c_str(), error.c_str());
        return USAGE_STATUS;
    }
    StudyRequest request;
    const Result<StudyPoints> points = read_study_points(*text);
    if (!points) {
        std::fprintf(err, "ambrel-batch: %s: %s\n", cmd.study->c_str(), points.message().c_str());
        return USAGE_STATUS;
    }
    request.template_text = template_text;
    request.points = *points;
    request.fixed = cmd.values;
    request.switches = cmd.switches;
    request.strict = cmd.strict;
    request.relaxation = cmd.relaxation;
    for (const Action& action : cmd.actions) {
        if (action.kind == ActionKind::Capacitances)
            request.capacitances = true;
        else if (action.kind == ActionKind::Calculate)
            request.run = StudyRun::Calculate;
        else if (action.kind == ActionKind::Equilibrium)
            request.run = StudyRun::Equilibrium;
        else if (action.kind == ActionKind::Sweep)
            request.run = StudyRun::Sweep;
    }
    if (cmd.sweep)
        request.sweep = *cmd.sweep;
    request.shard = cmd.shard.value_or(StudyShare{});
    request.worker = cmd.worker_share.value_or(StudyShare{});
    request.jobs = cmd.jobs;
    request.show_progress = !cmd.worker_share;
    if (const Status checked = check_study(request); !checked) {
        std::fprintf(err, "ambrel-batch: %s: %s\n", cmd.file->c_str(), checked.message().c_str());
        return USAGE_STATUS;
    }
    const int status = run_study(request, out, err, stop, StudyWorkers{program, args});
    if (status == STOPPED_STATUS)
        std::fprintf(err, "ambrel-batch: stopped\n");
    return status;
}

// --merge: the parts read, checked and written whole.
int merge_command(const BatchCommand& cmd, std::FILE* err) {
    std::vector<StudyPart> parts;
    for (const std::string& name : cmd.parts) {
        std::string error;
        const auto text = read_text(name, error);
        if (!text) {
            std::fprintf(err, "ambrel-batch: cannot read %s: %s\n", name.c_str(), error.c_str());
            return USAGE_STATUS;
        }
        parts.push_back({name, *text});
    }
    const Result<std::string> merged = merge_study_parts(parts);
    if (!merged) {
        std::fprintf(err, "ambrel-batch: --merge: %s\n", merged.message().c_str());
        return USAGE_STATUS;
    }
    if (const Status written = write_file_replacing(*cmd.merge, *merged); !written) {
        std::fprintf(err, "ambrel-batch: %s\n", written.message().c_str());
        return USAGE_STATUS;
    }
    return study_table_has_failure(*merged) ? FAILED_STATUS : DONE_STATUS;
}

int run_batch(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, const StopToken& stop,
              const PictureWriter& pictures, const std::string& program) {
    BatchCommand cmd;
    try {
        cmd = parse_arguments(args);
    } catch (const UsageError& e) {
        std::fprintf(err, "ambrel-batch: %s\nTry 'ambrel-batch --help'.\n", e.message.c_str());
        return USAGE_STATUS;
    }
    if (cmd.help) {
        std::fputs(batch_usage().c_str(), out);
        return DONE_STATUS;
    }
    if (cmd.version) {
        std::fprintf(out, "ambrel-batch %s\n", AMBREL_VERSION);
        return DONE_STATUS;
    }
    if (cmd.merge)
        return merge_command(cmd, err);

    std::vector<std::string> description;
    if (cmd.file) {
        std::string error;
        const auto text = read_text(*cmd.file, error);
        if (!text) {
            std::fprintf(err, "ambrel-batch: cannot read %s: %s\n", cmd.file->c_str(), error.c_str());
            return USAGE_STATUS;
        }
        if (cmd.study)
            return study_command(cmd, args, *text, out, err, stop, program);
        const Result<std::string> filled = fill_template(*text, cmd.values);
        if (!filled) {
            std::fprintf(err, "ambrel-batch: %s: %s\n", cmd.file->c_str(), filled.message().c_str());
            return USAGE_STATUS;
        }
        description = split_lines(*filled);
    } else {
        if (const Result<std::string> filled = fill_template("", cmd.values); !filled) {
            std::fprintf(err, "ambrel-batch: the default description: %s\n", filled.message().c_str());
            return USAGE_STATUS;
        }
        description = default_description();
    }

    // A sweep's table on standard output is not mixed with the panel's lines: they are left out.
    const bool sweep_to_out = cmd.sweep && !cmd.sweep_out;
    TerminalProgress progress(out, err, TerminalProgress::on_terminal(err));
    ProgressStreamSink stream_sink(progress);
    NullSink no_lines;
    OutputSink& sink = sweep_to_out ? static_cast<OutputSink&>(no_lines) : stream_sink;
    Session session(sink);
    session.set_reporter(text_reporter());
    session.set_stop_token(stop);
    for (const auto& [option, on] : cmd.switches)
        session.options.set(option, on);

    // Without a file, calculator actions alone do not read the default description.
    bool initialize = cmd.file.has_value() || cmd.actions.empty();
    for (const Action& action : cmd.actions)
        initialize = initialize || needs_system(action.kind);

    BatchRun batch(cmd, description, session, sink, out, err, pictures, progress);
    if (initialize)
        batch.initialize(sweep_to_out);
    for (const Action& action : cmd.actions) {
        if (stop.requested())
            break;
        batch.run(action);
    }
    std::fflush(out);
    if (stop.requested()) {
        std::fprintf(err, "ambrel-batch: stopped\n");
        return STOPPED_STATUS;
    }
    return batch.status();
}

} // namespace ambrel
