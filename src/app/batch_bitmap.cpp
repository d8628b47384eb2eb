// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/batch_bitmap.h"

#include "view/scene.h"

#include <QGuiApplication>

namespace ambrel {

Status save_view_picture(const SceneSnapshot& snapshot, const Camera& camera, const std::string& path,
                         bool bitmap) {
    if (QGuiApplication::instance() == nullptr)
        return Status::failure("pictures need the program's Qt application");
    Scene scene;
    draw_scene(scene, snapshot, camera); // before any Initialize the picture stays the empty silver view
    const QString name = QString::fromStdString(path);
    return bitmap ? save_scene_bmp(scene.image(), name) : save_scene_png(scene.image(), name);
}

} // namespace ambrel
