// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The view as the window would show it, drawn without any display and saved as a BMP or PNG file.
#pragma once

#include "model/status.h"
#include "session/snapshot.h"
#include "view/camera.h"

#include <string>

namespace ambrel {

// Draws the snapshot through the camera and writes it as a Windows BMP file (`bitmap`) or a PNG
// file (VIEW_WIDTH x VIEW_HEIGHT pixels). It draws with Qt's fonts: the program creates its
// QGuiApplication first (ambrel-batch: on the offscreen platform). False with a reason when there
// is none or the file cannot be written.
Status save_view_picture(const SceneSnapshot& snapshot, const Camera& camera, const std::string& path,
                         bool bitmap);

} // namespace ambrel
