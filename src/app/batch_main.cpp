// ambrel-batch: the command-line front end. An interrupt (Ctrl+C) or a termination request asks
// the command under way to stop: it ends with its reports, as Stop ends it in the window, and no
// later action starts. A second one ends the program at once.
#include "app/batch.h"
#include "model/stop_token.h"

#include <csignal>
#include <cstdio>

namespace {

ambrel::StopSource stop;

extern "C" void request_stop(int signal_number) {
    stop.request();
    std::signal(signal_number, SIG_DFL);
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGINT, request_stop);
    std::signal(SIGTERM, request_stop);
    std::vector<std::string> args(argv + 1, argv + argc);
    return ambrel::run_batch(args, stdout, stderr, stop.token());
}
