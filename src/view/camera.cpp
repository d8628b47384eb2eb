#include "view/camera.h"

#include <algorithm>
#include <cmath>

namespace ambrel {

Camera::Camera() {
    apply_default_view(*this, VIEW_WIDTH, VIEW_HEIGHT);
    update_view_transform(*this);
}

void apply_default_view(Camera& camera, int paint_width, int paint_height) {
    const ReferenceBox& box = REFERENCE_BOX;
    camera.half_width = paint_width / 2;
    camera.half_height = paint_height / 2;
    camera.view_stretch_x = 1;
    camera.view_azimuth = DEFAULT_AZIMUTH;
    camera.view_elevation = DEFAULT_ELEVATION;
    // The wider of the box's horizontal extents sets the scale; the ratio to its height the stretch.
    const Real extent_x = box.xmax - box.xmin;
    const Real extent_y = box.ymax - box.ymin;
    const Real extent = std::fabs(extent_y) > std::fabs(extent_x) ? extent_y : extent_x;
    camera.view_aspect = extent / (box.zmax - box.zmin);
    camera.view_scale = static_cast<Real>(paint_height) / 1.6L / extent;
    camera.pan_x = camera.half_width;
    camera.pan_y = camera.half_height;
}

void prepare_view_for_initialize(Camera& camera, bool view_reset_pending, int paint_width, int paint_height) {
    if (view_reset_pending)
        apply_default_view(camera, paint_width, paint_height);
    camera.drag_mode = DragMode::Rotate;
}

int round_to_pixel(Real value) {
    constexpr Real limit = PIXEL_LIMIT;
    if (!(value >= -limit))
        return -PIXEL_LIMIT;
    if (value > limit)
        return PIXEL_LIMIT;
    // Near 1.5 * 2^63 the last bit of the 64-bit mantissa is worth 1, so adding and removing it
    // rounds to an integer in the default mode: nearest, halves to even (and much faster than
    // nearbyint). The result is exact in a double.
    constexpr Real shifter = 0x1.8p63L;
    const Real rounded = (value + shifter) - shifter;
    return static_cast<int>(static_cast<double>(rounded));
}

void update_view_transform(Camera& camera) {
    const Real s = camera.view_scale;
    const Real c1 = std::cos(camera.view_azimuth), s1 = std::sin(camera.view_azimuth);
    const Real c2 = std::cos(camera.view_elevation), s2 = std::sin(camera.view_elevation);
    camera.xx = s * camera.view_stretch_x * c1;
    camera.xy = -s * camera.view_stretch_x * s1;
    camera.yx = -s * s1 * c2;
    camera.yy = -s * c1 * c2;
    camera.yz = -s * camera.view_aspect * s2;
    camera.dx = s2 * s1;
    camera.dy = s2 * c1;
    camera.dz = c2 / camera.view_aspect;

    const ReferenceBox& box = REFERENCE_BOX;
    camera.ox = 0;
    camera.oy = 0;
    const PixelPoint centre = project_point(camera, (box.xmin + box.xmax) / 2, (box.ymin + box.ymax) / 2,
                                            (box.zmin + box.zmax) / 2);
    camera.ox = static_cast<Real>(camera.pan_x) - centre.x;
    camera.oy = static_cast<Real>(camera.pan_y) - centre.y;
}

PixelPoint project_point(const Camera& camera, Real x, Real y, Real z) {
    return {round_to_pixel(camera.ox - camera.xx * x - camera.xy * y),
            round_to_pixel(camera.oy - camera.yx * x - camera.yy * y + camera.yz * z)};
}

Real depth_of(const Camera& camera, Real x, Real y, Real z) {
    return x * camera.dx + y * camera.dy + z * camera.dz;
}

bool begin_drag(Camera& camera, bool system_initialized, bool left_button, int x, int y) {
    if (!system_initialized || !left_button)
        return false;
    camera.down_x = x;
    camera.down_y = y;
    camera.down_azimuth = camera.view_azimuth;
    camera.down_elevation = camera.view_elevation;
    camera.down_scale = camera.view_scale;
    camera.down_aspect = camera.view_aspect;
    camera.down_pan_x = camera.pan_x;
    camera.down_pan_y = camera.pan_y;
    camera.drag_active = true;
    return true;
}

namespace {

// "Not at least lo" also catches a NaN.
Real clamp_real(Real value, Real lo, Real hi) {
    if (!(value >= lo))
        return lo;
    return value > hi ? hi : value;
}

// The pan point stays far inside the int range however often the user drags it away.
int clamp_pan(long long value) {
    return static_cast<int>(std::clamp<long long>(value, -PIXEL_LIMIT, PIXEL_LIMIT));
}

} // namespace

bool continue_drag(Camera& camera, int x, int y) {
    if (!camera.drag_active)
        return false;
    const long long travel_x = static_cast<long long>(x) - camera.down_x;
    const long long travel_y = static_cast<long long>(y) - camera.down_y;
    // A surface narrower than two pixels has no half width; one pixel is the smallest unit.
    const Real unit_x = std::max(camera.half_width, 1);
    const Real unit_y = std::max(camera.half_height, 1);
    const Real dX = static_cast<Real>(travel_x);
    const Real dY = static_cast<Real>(travel_y);
    switch (camera.drag_mode) {
    case DragMode::Rotate:
        // Half the surface width turns the view by 180 degrees; dragging up raises a2 (the eye
        // goes down towards the horizon). Both angles stay within 0..pi.
        camera.view_azimuth = clamp_real(camera.down_azimuth + dX / unit_x * PI, 0, PI);
        camera.view_elevation = clamp_real(camera.down_elevation - dY / unit_y * PI, 0, PI);
        break;
    case DragMode::Zoom:
        // Vertical travel scales; horizontal travel pans, and the picture follows half of the
        // vertical travel (integer division truncates towards zero).
        camera.view_scale = clamp_real(camera.down_scale * (1 - dY / unit_y), MIN_VIEW_SCALE, MAX_VIEW_SCALE);
        camera.pan_x = clamp_pan(camera.down_pan_x + travel_x);
        camera.pan_y = clamp_pan(camera.down_pan_y + travel_y / 2);
        break;
    case DragMode::Pan:
        camera.pan_x = clamp_pan(camera.down_pan_x + travel_x);
        camera.pan_y = clamp_pan(camera.down_pan_y + travel_y);
        break;
    case DragMode::Aspect:
        camera.view_aspect =
            clamp_real(camera.down_aspect * (1 - dY / unit_y), MIN_VIEW_ASPECT, MAX_VIEW_ASPECT);
        break;
    }
    update_view_transform(camera);
    return true;
}

void end_drag(Camera& camera) {
    camera.drag_active = false;
}

} // namespace ambrel
