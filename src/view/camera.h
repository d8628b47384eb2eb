// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The camera of the 3D view: two view angles, a scale, a vertical stretch and a pan point; the
// parallel projection of model points (metres, z up) to pixels (X right, Y down); the depth key
// of the painter's order; and the left-button drag that turns, zooms, pans or stretches the view.
// Plain C++: the window and the command line own one Camera each.
#pragma once

#include "model/system_model.h"
#include "model/types.h"
#include "model/units.h"

namespace ambrel {

// The fixed frame of the scene: a 40 cm cube centred on the origin. It sets the default scale
// and stretch and is drawn as the scene's reference box; it does not follow the system.
struct ReferenceBox {
    Real xmin, xmax, ymin, ymax, zmin, zmax;
};
inline constexpr ReferenceBox REFERENCE_BOX{-0.2L, 0.2L, -0.2L, 0.2L, -0.2L, 0.2L};

// Size of the view surface in pixels.
inline constexpr int VIEW_WIDTH = 585;
inline constexpr int VIEW_HEIGHT = 585;

// Limits of the mouse navigation.
inline constexpr Real MIN_VIEW_SCALE = 10;     // pixels per metre
inline constexpr Real MAX_VIEW_SCALE = 100000; // pixels per metre
inline constexpr Real MIN_VIEW_ASPECT = 0.1L;
inline constexpr Real MAX_VIEW_ASPECT = 10;

// The default view angles: 30 degrees of azimuth, 70 degrees from the vertical.
inline constexpr Real DEFAULT_AZIMUTH = PI / 6;
inline constexpr Real DEFAULT_ELEVATION = 1.2217304763960306L;

enum class DragMode : int { Rotate = 0, Zoom = 1, Pan = 2, Aspect = 3 };

struct PixelPoint {
    int x = 0;
    int y = 0;
    bool operator==(const PixelPoint&) const = default;
};

struct Camera {
    Real view_azimuth = DEFAULT_AZIMUTH;     // a1: azimuth of the eye from +y towards +x
    Real view_elevation = DEFAULT_ELEVATION; // a2: angle of the eye from +z
    Real view_scale = 914.0625L;             // pixels per metre
    Real view_aspect = 1;                    // stretch of z relative to x and y
    Real view_stretch_x = 1;                 // extra factor on the screen X row
    int pan_x = VIEW_WIDTH / 2;              // pixel onto which the centre of the reference box falls
    int pan_y = VIEW_HEIGHT / 2;
    int half_width = VIEW_WIDTH / 2; // unit of mouse travel
    int half_height = VIEW_HEIGHT / 2;

    DragMode drag_mode = DragMode::Rotate;
    bool drag_active = false;

    // State at button down: every move is computed from it, so a drag never accumulates rounding.
    int down_x = 0, down_y = 0;
    Real down_azimuth = 0, down_elevation = 0, down_scale = 0, down_aspect = 0;
    int down_pan_x = 0, down_pan_y = 0;

    // Derived transform (update_view_transform):
    //   X = ox - xx*x - xy*y,  Y = oy - yx*x - yy*y + yz*z,  depth = dx*x + dy*y + dz*z.
    Real xx = 0, xy = 0, yx = 0, yy = 0, yz = 0;
    Real dx = 0, dy = 0, dz = 0;
    Real ox = 0, oy = 0;

    // A camera with the default view of a VIEW_WIDTH x VIEW_HEIGHT surface and its transform.
    Camera();
};

// The default view for a paint surface of the given size: 30 deg azimuth, 70 deg from the
// vertical, the reference box filling 1/1.6 of the height, its centre at the middle of the surface.
void apply_default_view(Camera& camera, int paint_width, int paint_height);

// What Initialize does to the camera before it reads the description: the default view when a
// reset is pending, and the drag mode back to rotate in any case.
void prepare_view_for_initialize(Camera& camera, bool view_reset_pending, int paint_width, int paint_height);

// Recomputes the coefficients, the depth vector and the offsets from the camera state, so that
// the centre of the reference box lands exactly on the pan point.
void update_view_transform(Camera& camera);

// Pixel of a model point (metres), rounded to the nearest integer with halves to even. Points
// absurdly far off the surface are held at +-PIXEL_LIMIT, so the result is always a valid int.
inline constexpr int PIXEL_LIMIT = 1 << 28;
PixelPoint project_point(const Camera& camera, Real x, Real y, Real z);

// Distance along the line of sight of the (stretched) picture; larger values are nearer to the eye.
Real depth_of(const Camera& camera, Real x, Real y, Real z);

// Nearest integer, halves to even, held within +-PIXEL_LIMIT (NaN gives -PIXEL_LIMIT).
int round_to_pixel(Real value);

// The horizontal view angle of any real, brought into 0 <= a1 < 2 pi: the view turns all the way
// round. A NaN gives 0.
Real wrap_azimuth(Real azimuth);

// The navigation works on a VIEW_WIDTH x VIEW_HEIGHT surface whatever the size of the view on
// screen. This is the camera that draws the same picture on a surface of width x height pixels:
// scaled uniformly by the smaller ratio of the sizes, centred, with half the new size as the unit
// of mouse travel and its transform updated. On the VIEW_WIDTH x VIEW_HEIGHT surface it is the
// camera itself.
Camera camera_for_surface(const Camera& camera, int width, int height);

// The zoom of the mouse wheel: multiplies the scale by `factor`, held within the limits of the
// navigation, about the pixel (x, y), so that the point of the model under that pixel stays under
// it. Returns false when nothing changed (the scale already at its limit, or a factor that is not
// a positive number).
bool zoom_about(Camera& camera, int x, int y, Real factor);

// Room kept free around the spheres by fit_view, in pixels of the surface: the top keeps clear of
// the two status lines.
inline constexpr int FIT_MARGIN = 10;
inline constexpr int FIT_TOP_MARGIN = 40;

// Frames every sphere of the model, with its radius, and the suspension point of every string, in
// a paint surface of the given size: the
// angles and the stretch stay, the scale becomes the largest (within the limits of the navigation)
// that keeps every disc inside the surface's margins, and the pan point centres them. Returns false
// and changes nothing when the model has no sphere with a finite position.
bool fit_view(Camera& camera, const SystemModel& model, int paint_width, int paint_height);

// Left-button drag. begin_drag starts one only when the system is initialised and the left button
// is among the pressed buttons, and returns whether it did. continue_drag applies the drag mode to
// the travel since button down, updates the transform and returns true when the caller must
// redraw (false when no drag is active). end_drag ends it (any button).
bool begin_drag(Camera& camera, bool system_initialized, bool left_button, int x, int y);
bool continue_drag(Camera& camera, int x, int y);
void end_drag(Camera& camera);

} // namespace ambrel
