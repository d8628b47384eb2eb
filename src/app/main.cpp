// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The window program: the main window and its four tool windows. An optional first argument
// names a description file that is loaded and initialised when the window is first activated;
// "--version" prints the version and "--help" (or "-h") the usage, each exiting without opening a
// window, so they need no display.
#include "ui/main_window.h"

#include "ambrel_version.h"

#include <QApplication>
#include <QIcon>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Why the window cannot be shown where no display is named, or nullptr. The platform is that of
// -platform or QT_QPA_PLATFORM; X11 (the default) needs DISPLAY, Wayland WAYLAND_DISPLAY, and the
// others (offscreen, vnc, ...) are taken as they are.
const char* missing_display(int argc, char* argv[]) {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0)
            platform = argv[i + 1];
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    const std::string chosen = platform != nullptr ? platform : "";
    if (chosen.empty())
        return set("DISPLAY") || set("WAYLAND_DISPLAY") ? nullptr : "DISPLAY and WAYLAND_DISPLAY are not set";
    if (chosen.rfind("xcb", 0) == 0 && !set("DISPLAY"))
        return "DISPLAY is not set";
    if (chosen.rfind("wayland", 0) == 0 && !set("WAYLAND_DISPLAY"))
        return "WAYLAND_DISPLAY is not set";
    return nullptr;
}

void startup_message_handler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        qt_message_output(type, context, message);
        return;
    }
    // Qt's own text here (the platform plugin could not start, reinstalling may help) misleads
    // when the display is all that is missing; its warnings before it say what failed.
    (void)message;
    const char* display = std::getenv("DISPLAY");
    std::fprintf(stderr,
                 "ambrel: the window cannot be opened: no display could be opened (DISPLAY=%s).\n"
                 "Without windows, ambrel-batch runs a description: ambrel-batch FILE.bal "
                 "(see ambrel-batch --help).\n",
                 display != nullptr ? display : "");
    std::_Exit(1);
}

} // namespace

int main(int argc, char* argv[]) {
    // Answered before the application starts, so that it needs no display.
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("ambrel %s\n", AMBREL_VERSION);
        return 0;
    }
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("Usage: ambrel [FILE]\n\n"
                    "Opens the window of the simulator; FILE, a description (.bal), is loaded and\n"
                    "initialised at start. Without windows, ambrel-batch runs a description.\n\n"
                    "  --help, -h   print this text and exit\n"
                    "  --version    print the version and exit\n");
        return 0;
    }

    if (const char* missing = missing_display(argc, argv)) {
        std::fprintf(stderr,
                     "ambrel: no display to open the window on (%s).\n"
                     "Without windows, ambrel-batch runs a description: ambrel-batch FILE.bal "
                     "(see ambrel-batch --help).\n",
                     missing);
        return 1;
    }
    // A display that is named but cannot be opened ends in the platform plugin's fatal message:
    // the same pointer to ambrel-batch, and exit status 1 rather than an abort.
    qInstallMessageHandler(startup_message_handler);
    QApplication app(argc, argv);
    qInstallMessageHandler(nullptr);
    QApplication::setApplicationName(QStringLiteral("Ambrel"));
    QApplication::setApplicationVersion(QStringLiteral(AMBREL_VERSION));
    // The installed desktop entry and icon carry the application's id: the desktop shows the
    // window with that entry's name and icon (an empty icon when run from the build tree).
    QGuiApplication::setDesktopFileName(QStringLiteral(AMBREL_APP_ID));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(AMBREL_APP_ID)));

    ambrel::ui::MainWindow window;
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1)
        window.set_startup_file(arguments.at(1));
    window.show();
    // Asked for explicitly: without a window manager nothing else activates the window, and the
    // first activation loads the description file.
    window.activateWindow();
    return QApplication::exec();
}
