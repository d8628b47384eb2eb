#include "app/batch_bitmap.h"

#include "view/scene.h"

#include <QGuiApplication>

#include <cstdio>

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
// The application lives until the process ends and is deliberately never destroyed: destroying
// it from the exit handlers, after Qt's own globals are gone, would crash.
void ensure_gui_application() {
    static int argc = 1;
    static char name[] = "ambrel-batch";
    static char* argv[] = {name, nullptr};
    if (QGuiApplication::instance() == nullptr) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(quiet_message_handler);
        new QGuiApplication(argc, argv);
    }
}

// Draws the snapshot and writes it with `save`.
template <class Save>
bool save_view(const SceneSnapshot& snapshot, const Camera& camera, const std::string& path,
               std::string& reason, Save save) {
    ensure_gui_application();
    // Allocated once, like the window's, and kept to the end of the process with the application.
    static Scene* scene = new Scene;
    draw_scene(*scene, snapshot, camera); // before any Initialize the picture stays the empty silver view
    QString why;
    if (!save(scene->image(), QString::fromStdString(path), &why)) {
        reason = why.toStdString();
        return false;
    }
    return true;
}

} // namespace

bool save_view_bitmap(const SceneSnapshot& snapshot, const Camera& camera, const std::string& path,
                      std::string& reason) {
    return save_view(snapshot, camera, path, reason,
                     [](const QImage& image, const QString& name, QString* why) {
                         return save_scene_bmp(image, name, why);
                     });
}

bool save_view_png(const SceneSnapshot& snapshot, const Camera& camera, const std::string& path,
                   std::string& reason) {
    return save_view(snapshot, camera, path, reason,
                     [](const QImage& image, const QString& name, QString* why) {
                         return save_scene_png(image, name, why);
                     });
}

} // namespace ambrel
