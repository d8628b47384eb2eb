#include "app/batch.h"

#include "app/batch_bitmap.h"
#include "calculators/calculator_fields.h"
#include "calculators/electroscope.h"
#include "calculators/electroscope_table.h"
#include "calculators/four_balls_pentagon.h"
#include "description/listing.h"
#include "description/reader.h"
#include "model/options.h"
#include "model/output_sink.h"
#include "report/capacitance_report.h"
#include "session/session.h"
#include "session/snapshot.h"
#include "solver/initialize.h"
#include "solver/jacobian.h"
#include "solver/relaxation.h"
#include "text/numeric_field.h"
#include "view/camera.h"

#include <cerrno>
#include <cstring>
#include <optional>

namespace ambrel {

namespace {

enum class ActionKind {
    List,
    Capacitances,
    Calculate,
    Jacobian,
    Bitmap,
    Png,
    FourBalls,
    Pentagon,
    Electroscope,
    ElectroscopeTable
};

// The closed-form calculators work on their own fields, not on the system.
bool needs_system(ActionKind kind) {
    return kind == ActionKind::List || kind == ActionKind::Capacitances || kind == ActionKind::Calculate ||
           kind == ActionKind::Jacobian || kind == ActionKind::Bitmap || kind == ActionKind::Png;
}

struct Action {
    ActionKind kind;
    std::string argument;
};

struct BatchCommand {
    std::vector<std::pair<Option, bool>> switches;
    RelaxationSettings relaxation;
    JacobianSettings jacobian;
    CalculatorFields calculator_fields;
    std::vector<Action> actions;
    std::optional<std::string> file;
    bool help = false;
    bool version = false;
};

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

// A numeric setting as typed in the window's fields: the whole text must be a number.
Real number(const std::string& option, const std::string& text) {
    const auto value = parse_field_real(text);
    if (!value)
        throw UsageError{option + ": '" + text + "' is not a valid number"};
    return *value;
}

int integer(const std::string& option, const std::string& text) {
    const auto value = parse_field_int(text);
    if (!value)
        throw UsageError{option + ": '" + text + "' is not a valid whole number"};
    return *value;
}

BatchCommand parse_arguments(const std::vector<std::string>& args) {
    BatchCommand cmd;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](const char* what) -> std::string {
            if (i + 1 >= args.size())
                throw UsageError{a + " needs " + what};
            return args[++i];
        };
        if (a == "--help" || a == "-h") {
            cmd.help = true;
        } else if (a == "--version") {
            cmd.version = true;
        } else if (a == "--on" || a == "--off") {
            const std::string name = value("an option name");
            const auto option = option_from_cli_name(name);
            if (!option)
                throw UsageError{"unknown option name: " + name};
            cmd.switches.emplace_back(*option, a == "--on");
        } else if (a == "--list") {
            cmd.actions.push_back({ActionKind::List, {}});
        } else if (a == "--capacitances") {
            cmd.actions.push_back({ActionKind::Capacitances, {}});
        } else if (a == "--calculate") {
            cmd.actions.push_back({ActionKind::Calculate, {}});
        } else if (a == "--bmp") {
            cmd.actions.push_back({ActionKind::Bitmap, value("a file name")});
        } else if (a == "--png") {
            cmd.actions.push_back({ActionKind::Png, value("a file name")});
        } else if (a == "--jacobian") {
            cmd.actions.push_back({ActionKind::Jacobian, {}});
        } else if (a == "--time-step") {
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
            cmd.jacobian.plain = true;
        } else if (a == "--four-balls") {
            cmd.actions.push_back({ActionKind::FourBalls, {}});
        } else if (a == "--pentagon") {
            cmd.actions.push_back({ActionKind::Pentagon, {}});
        } else if (a == "--electroscope") {
            cmd.actions.push_back({ActionKind::Electroscope, {}});
        } else if (a == "--electroscope-table") {
            cmd.actions.push_back({ActionKind::ElectroscopeTable, {}});
        } else if (a == "--field") {
            const std::string assignment = value("NAME=VALUE");
            const auto eq = assignment.find('=');
            if (eq == std::string::npos)
                throw UsageError{"--field needs NAME=VALUE, not '" + assignment + "'"};
            if (const Status set = set_calculator_field(cmd.calculator_fields, assignment.substr(0, eq),
                                                        assignment.substr(eq + 1));
                !set)
                throw UsageError{"--field " + assignment + ": " + set.message()};
        } else if (a == "-" || a.rfind("-", 0) != 0) {
            if (cmd.file)
                throw UsageError{"only one description file may be given"};
            cmd.file = a;
        } else {
            throw UsageError{"unknown argument: " + a};
        }
    }
    return cmd;
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
        "  --calculate      relax the strings to equilibrium (the Calculate command, to its end)\n"
        "  --jacobian       write the stability Jacobian of the update law and its eigenvalues\n"
        "  --bmp FILE       draw the 3D view as the window shows it and save it as a BMP file\n"
        "  --png FILE       the same picture saved as a PNG file\n"
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
            "Exit status: 0 done; 1 the description stopped the reader with an error, or a\n"
            "calculation ended with \"Too large angles\", or a calculator stopped on an error;\n"
            "2 usage error or unreadable file.\n";
    return text;
}

int run_batch(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    BatchCommand cmd;
    try {
        cmd = parse_arguments(args);
    } catch (const UsageError& e) {
        std::fprintf(err, "ambrel-batch: %s\nTry 'ambrel-batch --help'.\n", e.message.c_str());
        return 2;
    }
    if (cmd.help) {
        std::fputs(batch_usage().c_str(), out);
        return 0;
    }
    if (cmd.version) {
        std::fprintf(out, "ambrel-batch %s\n", AMBREL_VERSION);
        return 0;
    }

    std::vector<std::string> description;
    if (cmd.file) {
        std::string error;
        const auto text = read_text(*cmd.file, error);
        if (!text) {
            std::fprintf(err, "ambrel-batch: cannot read %s: %s\n", cmd.file->c_str(), error.c_str());
            return 2;
        }
        description = split_lines(*text);
    } else {
        description = default_description();
    }

    StreamSink sink(out);
    Session session(sink);
    for (const auto& [option, on] : cmd.switches)
        session.options.set(option, on);

    // Without a file, calculator actions alone do not read the default description.
    bool initialize = cmd.file.has_value() || cmd.actions.empty();
    for (const Action& action : cmd.actions)
        initialize = initialize || needs_system(action.kind);

    // The camera of the view, as the window keeps it: reset by the first Initialize.
    Camera camera;
    auto view_initialized = [&] { update_view_transform(camera); };

    int status = 0;
    if (initialize) {
        prepare_view_for_initialize(camera, session.view_reset_pending, VIEW_WIDTH, VIEW_HEIGHT);
        const InitializeResult init = initialize_system(session, description);
        view_initialized();
        if (!init.read_status)
            status = 1;
    }
    auto calculator_done = [&](const Status& result) {
        if (!result) {
            std::fflush(out);
            std::fprintf(err, "ambrel-batch: %s\n", result.message().c_str());
            status = 1;
        }
    };

    for (const Action& action : cmd.actions) {
        switch (action.kind) {
        case ActionKind::List:
            list_updated_system(session.model, sink);
            break;
        case ActionKind::Capacitances:
            report_capacitances(session.model, session.workspace, sink);
            break;
        case ActionKind::Calculate: {
            RunObserver observer;
            observer.initialized = [&](const InitializeResult&) { view_initialized(); };
            if (!session.system_initialized)
                prepare_view_for_initialize(camera, session.view_reset_pending, VIEW_WIDTH, VIEW_HEIGHT);
            const RelaxationResult run = run_calculate(session, description, cmd.relaxation, observer);
            if (run.initialized && !run.initialize_result.read_status)
                status = 1;
            if (run.end == RunEnd::TooLargeAngles)
                status = 1;
            break;
        }
        case ActionKind::Jacobian:
            compute_jacobian(session, cmd.jacobian);
            break;
        case ActionKind::Bitmap:
        case ActionKind::Png: {
            const SceneSnapshot snapshot = make_scene_snapshot(session.model, session.evaluation,
                                                               session.options, session.system_initialized);
            const bool bitmap = action.kind == ActionKind::Bitmap;
            std::string reason;
            if (bitmap ? save_view_bitmap(snapshot, camera, action.argument, reason)
                       : save_view_png(snapshot, camera, action.argument, reason)) {
                session.add_output_line((bitmap ? "Bitmap saved as " : "Picture saved as ") +
                                        action.argument);
            } else {
                std::fflush(out);
                std::fprintf(err, "ambrel-batch: cannot write %s: %s\n", action.argument.c_str(),
                             reason.c_str());
                status = 2;
            }
            break;
        }
        case ActionKind::FourBalls:
            calculator_done(four_balls_report(cmd.calculator_fields.extra, sink));
            break;
        case ActionKind::Pentagon:
            calculator_done(pentagon_report(cmd.calculator_fields.extra, sink));
            break;
        case ActionKind::Electroscope:
            calculator_done(electroscope_report(cmd.calculator_fields.electroscope, sink));
            break;
        case ActionKind::ElectroscopeTable:
            calculator_done(write_electroscope_table(cmd.calculator_fields.electroscope, sink));
            break;
        }
    }
    std::fflush(out);
    return status;
}

} // namespace ambrel
