#include "app/batch_bitmap.h"

#include "view/scene.h"

#include <QGuiApplication>

namespace ambrel {

bool save_view_picture(const SceneSnapshot& snapshot, const Camera& camera, const std::string& path,
                       bool bitmap, std::string& reason) {
    if (QGuiApplication::instance() == nullptr) {
        reason = "pictures need the program's Qt application";
        return false;
    }
    Scene scene;
    draw_scene(scene, snapshot, camera); // before any Initialize the picture stays the empty silver view
    QString why;
    const QString name = QString::fromStdString(path);
    if (!(bitmap ? save_scene_bmp(scene.image(), name, &why) : save_scene_png(scene.image(), name, &why))) {
        reason = why.toStdString();
        return false;
    }
    return true;
}

} // namespace ambrel
