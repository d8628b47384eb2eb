#include "app/batch_bitmap.h"

#include "view/scene.h"

#include <QGuiApplication>

#include <cstdio>
#include <memory>

namespace ambrel {

namespace {

// Qt's notes about its own set-up (runtime folders of a session without a desktop) are noise
// on the command line; real warnings still reach standard error.
void quiet_message_handler(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtDebugMsg || type == QtInfoMsg || message.contains(QLatin1String("XDG_RUNTIME_DIR")))
        return;
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

// The command line never shows a window: the offscreen platform draws fonts without a display.
QGuiApplication& gui_application() {
    static int argc = 1;
    static char name[] = "ambrel-batch";
    static char* argv[] = {name, nullptr};
    static std::unique_ptr<QGuiApplication> app;
    if (QGuiApplication::instance() == nullptr) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(quiet_message_handler);
        app = std::make_unique<QGuiApplication>(argc, argv);
    }
    return *static_cast<QGuiApplication*>(QGuiApplication::instance());
}

} // namespace

bool save_view_bitmap(Simulator& sim, const Camera& camera, const std::string& path, std::string& reason) {
    gui_application();
    static Scene scene;             // allocated once, like the window's
    draw_scene(scene, sim, camera); // before any Initialize the picture stays the empty silver view
    QString why;
    if (!save_scene_bmp(scene, QString::fromStdString(path), &why)) {
        reason = why.toStdString();
        return false;
    }
    return true;
}

} // namespace ambrel
