// The window program: the main window and its four tool windows. An optional first argument
// names a description file that is loaded and initialised when the window is first activated;
// "--version" prints the version and "--help" (or "-h") the usage, each exiting without opening a
// window, so they need no display.
#include "ui/main_window.h"

#include <QApplication>
#include <QIcon>
#include <QStringList>

#include <cstdio>
#include <cstring>

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

    QApplication app(argc, argv);
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
