// The view as the window would show it, drawn without any display and saved as a BMP file.
#pragma once

#include "model/simulator.h"
#include "view/camera.h"

#include <string>

namespace ambrel {

// Draws the scene of the simulator through the camera (offscreen platform; the Qt application
// is created on the first call) and writes it as a Windows BMP file. False with a reason when
// the file cannot be written.
bool save_view_bitmap(Simulator& sim, const Camera& camera, const std::string& path, std::string& reason);

} // namespace ambrel
