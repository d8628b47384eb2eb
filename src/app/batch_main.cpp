// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// ambrel-batch: the command-line front end. An interrupt (Ctrl+C) or a termination request asks
// the command under way to stop: it ends with its reports, as Stop ends it in the window, and no
// later action starts. A second one ends the program at once.
#include "app/batch.h"
#include "app/batch_bitmap.h"
#include "model/stop_token.h"

#include <QGuiApplication>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

ambrel::StopSource stop;

extern "C" void request_stop(int signal_number) {
    stop.request();
    std::signal(signal_number, SIG_DFL);
}

// Qt's notes about its own set-up (runtime folders of a session without a desktop) are noise
// on the command line; real warnings still reach standard error.
void quiet_message_handler(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtDebugMsg || type == QtInfoMsg || message.contains(QLatin1String("XDG_RUNTIME_DIR")))
        return;
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

// The Qt application that pictures are drawn with, created with the first picture (a run without
// pictures starts no Qt at all). The command line never shows a window: the offscreen platform
// draws fonts without a display. The application lives until the process ends and is deliberately
// never destroyed: destroying it from the exit handlers, after Qt's own globals are gone, would
// crash.
void ensure_gui_application(int& argc, char** argv) {
    if (QGuiApplication::instance() == nullptr) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(quiet_message_handler);
        new QGuiApplication(argc, argv);
    }
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGINT, request_stop);
    std::signal(SIGTERM, request_stop);
    std::vector<std::string> args(argv + 1, argv + argc);
    static int qt_argc = 1;
    const ambrel::PictureWriter pictures = [argv](const ambrel::SceneSnapshot& snapshot,
                                                  const ambrel::Camera& camera, const std::string& path,
                                                  bool bitmap) {
        ensure_gui_application(qt_argc, argv);
        return ambrel::save_view_picture(snapshot, camera, path, bitmap);
    };
    // --jobs starts this program again as its workers.
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ambrel::run_batch(args, stdout, stderr, stop.token(), pictures,
                             ec ? std::string(argv[0]) : self.string());
}
