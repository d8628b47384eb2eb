// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
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
        // Half the surface width turns the view by 180 degrees, and the view turns all the way
        // round; dragging up raises a2 (the eye goes down towards the horizon), within 0..pi.
        camera.view_azimuth = wrap_azimuth(camera.down_azimuth + dX / unit_x * PI);
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

Real wrap_azimuth(Real azimuth) {
    if (!std::isfinite(azimuth))
        return 0;
    const Real turn = 2 * PI;
    Real a = std::fmod(azimuth, turn);
    if (a < 0)
        a += turn;
    return a < turn ? a : 0; // a tiny negative angle plus a turn may round to a whole turn
}

Camera camera_for_surface(const Camera& camera, int width, int height) {
    Camera surface = camera;
    const Real f = std::min(static_cast<Real>(width) / VIEW_WIDTH, static_cast<Real>(height) / VIEW_HEIGHT);
    surface.view_scale = camera.view_scale * f;
    surface.pan_x = round_to_pixel(camera.pan_x * f + (width - VIEW_WIDTH * f) / 2);
    surface.pan_y = round_to_pixel(camera.pan_y * f + (height - VIEW_HEIGHT * f) / 2);
    surface.half_width = width / 2;
    surface.half_height = height / 2;
    update_view_transform(surface);
    return surface;
}

bool zoom_about(Camera& camera, int x, int y, Real factor) {
    if (!(factor > 0) || !std::isfinite(factor))
        return false;
    const Real old_scale = camera.view_scale;
    const Real new_scale = clamp_real(old_scale * factor, MIN_VIEW_SCALE, MAX_VIEW_SCALE);
    if (new_scale == old_scale)
        return false;
    // Every pixel is the pan point plus the scale times a vector of the model: scaling that
    // vector about (x, y) keeps the point under (x, y) in place.
    const Real ratio = new_scale / old_scale;
    camera.view_scale = new_scale;
    camera.pan_x = round_to_pixel(x - (x - static_cast<Real>(camera.pan_x)) * ratio);
    camera.pan_y = round_to_pixel(y - (y - static_cast<Real>(camera.pan_y)) * ratio);
    update_view_transform(camera);
    return true;
}

bool fit_view(Camera& camera, const SystemModel& model, int paint_width, int paint_height) {
    // The projection at scale 1, relative to the centre of the reference box, which the pan
    // point carries: X = pan_x + s * (u - u0), Y = pan_y + s * (v - v0).
    const Real c1 = std::cos(camera.view_azimuth), s1 = std::sin(camera.view_azimuth);
    const Real c2 = std::cos(camera.view_elevation), s2 = std::sin(camera.view_elevation);
    const Real stretch = camera.view_stretch_x, aspect = camera.view_aspect;
    auto u_of = [&](Real x, Real y) { return stretch * (-c1 * x + s1 * y); };
    auto v_of = [&](Real x, Real y, Real z) { return s1 * c2 * x + c1 * c2 * y - aspect * s2 * z; };
    const ReferenceBox& box = REFERENCE_BOX;
    const Real bx = (box.xmin + box.xmax) / 2, by = (box.ymin + box.ymax) / 2, bz = (box.zmin + box.zmax) / 2;
    const Real u0 = u_of(bx, by), v0 = v_of(bx, by, bz);

    const int count = std::min(model.sphere_count, static_cast<int>(model.spheres.size()) - 1);
    bool any = false;
    Real u_min = 0, u_max = 0, v_min = 0, v_max = 0;
    for (int i = 1; i <= count; ++i) {
        const Sphere& s = model.spheres[i];
        const Real r = std::isfinite(s.r) ? std::fabs(s.r) : 0;
        const Real u = u_of(s.x, s.y), v = v_of(s.x, s.y, s.z);
        if (!std::isfinite(u) || !std::isfinite(v))
            continue;
        if (!any) {
            u_min = u - r, u_max = u + r, v_min = v - r, v_max = v + r;
            any = true;
            continue;
        }
        u_min = std::min(u_min, u - r);
        u_max = std::max(u_max, u + r);
        v_min = std::min(v_min, v - r);
        v_max = std::max(v_max, v + r);
    }
    // The strings reach up to their suspension points: those are framed too.
    const int objects = std::min(model.object_count, static_cast<int>(model.objects.size()) - 1);
    for (int k = 1; any && k <= objects; ++k) {
        const Object& o = model.objects[k];
        if (!o.movable())
            continue;
        const Real u = u_of(o.ref_x0, o.ref_y0), v = v_of(o.ref_x0, o.ref_y0, o.ref_z0);
        if (!std::isfinite(u) || !std::isfinite(v))
            continue;
        u_min = std::min(u_min, u);
        u_max = std::max(u_max, u);
        v_min = std::min(v_min, v);
        v_max = std::max(v_max, v);
    }
    if (!any)
        return false;

    const Real room_x = std::max(paint_width - 2 * FIT_MARGIN, 1);
    const Real room_y = std::max(paint_height - FIT_TOP_MARGIN - FIT_MARGIN, 1);
    // Each disc's centre and radius round to whole pixels: keep one pixel of each for that.
    const Real fit_x = u_max > u_min ? (room_x - 2) / (u_max - u_min) : MAX_VIEW_SCALE;
    const Real fit_y = v_max > v_min ? (room_y - 2) / (v_max - v_min) : MAX_VIEW_SCALE;
    const Real scale = clamp_real(std::min(fit_x, fit_y), MIN_VIEW_SCALE, MAX_VIEW_SCALE);
    camera.view_scale = scale;
    camera.pan_x = round_to_pixel(FIT_MARGIN + room_x / 2 - scale * ((u_min + u_max) / 2 - u0));
    camera.pan_y = round_to_pixel(FIT_TOP_MARGIN + room_y / 2 - scale * ((v_min + v_max) / 2 - v0));
    update_view_transform(camera);
    return true;
}

} // namespace ambrel
