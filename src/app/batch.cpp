#include "app/batch.h"

#include "description/listing.h"
#include "description/reader.h"
#include "model/options.h"
#include "model/output_sink.h"
#include "model/simulator.h"
#include "solver/initialize.h"

#include <cerrno>
#include <cstring>
#include <optional>

namespace ambrel {

namespace {

enum class ActionKind { List };

struct Action {
    ActionKind kind;
    std::string argument;
};

struct BatchCommand {
    std::vector<std::pair<Option, bool>> switches;
    std::vector<Action> actions;
    std::optional<std::string> file;
    bool help = false;
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
        } else if (a == "--on" || a == "--off") {
            const std::string name = value("an option name");
            const auto option = option_from_cli_name(name);
            if (!option)
                throw UsageError{"unknown option name: " + name};
            cmd.switches.emplace_back(*option, a == "--on");
        } else if (a == "--list") {
            cmd.actions.push_back({ActionKind::List, {}});
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
        "Runs a description (.bal) without windows, as the Inicialize button does, and prints\n"
        "every line that the output panel would receive. FILE '-' reads standard input;\n"
        "without FILE the default description of the main window is used.\n"
        "\n"
        "Settings (applied before anything runs):\n"
        "  --on NAME        switch an option on\n"
        "  --off NAME       switch an option off\n"
        "\n"
        "Actions (run after initialising, in the order given):\n"
        "  --list           write the updated system (the List command)\n"
        "\n"
        "  --help           show this text\n"
        "\n"
        "Option names (default in brackets):\n";
    for (int i = 0; i < OPTION_COUNT; ++i) {
        const auto o = static_cast<Option>(i);
        text += "  " + option_cli_name(o) + " [" + (option_info(o).at_start ? "on" : "off") + "]\n";
    }
    text += "\n"
            "Exit status: 0 done; 1 the description stopped the reader with an error;\n"
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
    Simulator sim(sink);
    for (const auto& [option, on] : cmd.switches)
        sim.options.set(option, on);

    int status = 0;
    const InitializeResult init = initialize_system(sim, description);
    if (init.read_status != ReadStatus::Ok)
        status = 1;

    for (const Action& action : cmd.actions) {
        switch (action.kind) {
        case ActionKind::List:
            list_updated_system(sim);
            break;
        }
    }
    std::fflush(out);
    return status;
}

} // namespace ambrel
