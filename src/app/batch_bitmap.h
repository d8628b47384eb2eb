// The view as the window would show it, drawn without any display and saved as a BMP or PNG file.
#pragma once

#include "session/snapshot.h"
#include "view/camera.h"

#include <string>

namespace ambrel {

// Draws the snapshot through the camera (offscreen platform; the Qt application is created on the
// first call) and writes it as a Windows BMP file. False with a reason when the file cannot be
// written.
bool save_view_bitmap(const SceneSnapshot& snapshot, const Camera& camera, const std::string& path,
                      std::string& reason);
// The same picture (VIEW_WIDTH x VIEW_HEIGHT pixels) as a PNG file.
bool save_view_png(const SceneSnapshot& snapshot, const Camera& camera, const std::string& path,
                   std::string& reason);

} // namespace ambrel
