// The window program: the main window and its four tool windows. An optional first argument
// names a description file that is loaded and initialised when the window is first activated.
#include "ui/main_window.h"

#include <QApplication>
#include <QStringList>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ambrel"));

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
