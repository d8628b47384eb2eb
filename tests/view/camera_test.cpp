// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/camera.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <utility>

namespace ambrel {
namespace {

constexpr Real TIGHT = 1e-15L;

// A camera looking horizontally from +y (a1 = 0, a2 = 90 deg): X = pan_x - s*x, Y = pan_y - s*z.
Camera side_camera(Real scale, int pan_x, int pan_y) {
    Camera c;
    c.view_azimuth = 0;
    c.view_elevation = PI / 2;
    c.view_scale = scale;
    c.pan_x = pan_x;
    c.pan_y = pan_y;
    update_view_transform(c);
    return c;
}

TEST(CameraDefaultView, NumbersOfThe585Surface) {
    Camera c;
    c.view_scale = 1;
    c.pan_x = c.pan_y = 7;
    c.view_aspect = 3;
    c.view_azimuth = 2;
    apply_default_view(c, 585, 585);
    EXPECT_NEAR(c.view_scale, 914.0625L, 1e-12L);
    EXPECT_EQ(c.pan_x, 292);
    EXPECT_EQ(c.pan_y, 292);
    EXPECT_EQ(c.half_width, 292);
    EXPECT_EQ(c.half_height, 292);
    EXPECT_NEAR(c.view_aspect, 1.0L, TIGHT);
    EXPECT_NEAR(c.view_azimuth * 180 / PI, 30.0L, 1e-12L);
    EXPECT_NEAR(c.view_elevation * 180 / PI, 70.0L, 1e-12L);
    EXPECT_EQ(c.view_stretch_x, 1.0L);

    // The scale follows the height only; the pan point the middle of the surface.
    apply_default_view(c, 401, 300);
    EXPECT_NEAR(c.view_scale, 300 / 1.6L / 0.4L, 1e-12L);
    EXPECT_EQ(c.half_width, 200);
    EXPECT_EQ(c.pan_x, 200);
    EXPECT_EQ(c.pan_y, 150);
}

TEST(CameraDefaultView, InitializeResetsOnlyWhenPendingButAlwaysRotates) {
    Camera c;
    c.view_scale = 5000;
    c.drag_mode = DragMode::Zoom;
    prepare_view_for_initialize(c, false, 585, 585);
    EXPECT_EQ(c.view_scale, 5000);
    EXPECT_EQ(c.drag_mode, DragMode::Rotate);
    c.drag_mode = DragMode::Aspect;
    prepare_view_for_initialize(c, true, 585, 585);
    EXPECT_NEAR(c.view_scale, 914.0625L, 1e-12L);
    EXPECT_EQ(c.drag_mode, DragMode::Rotate);
}

TEST(CameraProjection, DefaultViewPutsKnownPointsWhereTheGeometrySays) {
    Camera c;
    EXPECT_EQ(project_point(c, 0, 0, 0), (PixelPoint{292, 292}));
    // Worked by hand: s = 914.0625, cos 30 = 0.8660, sin 30 = 0.5, cos 70 = 0.3420, sin 70 = 0.9397.
    EXPECT_EQ(project_point(c, 0.1L, 0, 0), (PixelPoint{213, 308})); // 212.84, 307.63
    EXPECT_EQ(project_point(c, 0, 0.1L, 0), (PixelPoint{338, 319})); // 337.70, 319.08
    EXPECT_EQ(project_point(c, 0, 0, 0.1L), (PixelPoint{292, 206})); // 206.11
    // The screen's right is -x for a1 = 0: the picture is not mirrored.
    const Camera side = side_camera(100, 0, 0);
    EXPECT_GT(project_point(side, -0.1L, 0, 0).x, 0);
    EXPECT_LT(project_point(side, 0, 0, 0.1L).y, 0); // up is up
}

TEST(CameraProjection, RoundsHalvesToEven) {
    const Camera c = side_camera(4, 10, 20);          // X = 10 - 4x, Y = 20 - 4z, all exact in binary
    EXPECT_EQ(project_point(c, -0.625L, 0, 0).x, 12); // 12.5
    EXPECT_EQ(project_point(c, -0.875L, 0, 0).x, 14); // 13.5
    EXPECT_EQ(project_point(c, 0.625L, 0, 0).x, 8);   // 7.5
    EXPECT_EQ(project_point(c, 0, 0, 0.625L).y, 18);  // 17.5
    EXPECT_EQ(project_point(c, 0, 0, 2.875L).y, 8);   // 8.5
    for (auto [value, expected] : {std::pair<Real, int>{-2.5L, -2},
                                   {-3.5L, -4},
                                   {0.5L, 0},
                                   {-0.5L, 0},
                                   {1.5L, 2},
                                   {2.4999999L, 2},
                                   {-7.50000001L, -8},
                                   {1e6L + 0.5L, 1000000}})
        EXPECT_EQ(round_to_pixel(value), expected) << static_cast<double>(value);
}

TEST(CameraProjection, PanPointCarriesTheBoxCentre) {
    Camera c;
    c.pan_x = -40;
    c.pan_y = 1000;
    c.view_azimuth = 1.234L;
    c.view_elevation = 2.5L;
    update_view_transform(c);
    EXPECT_EQ(project_point(c, 0, 0, 0), (PixelPoint{-40, 1000}));
}

TEST(CameraProjection, FarAwayAndNaNPointsStayValidPixels) {
    Camera c;
    c.view_scale = MAX_VIEW_SCALE;
    update_view_transform(c);
    const PixelPoint far = project_point(c, 1e30L, -1e30L, 1e30L);
    EXPECT_LE(std::abs(far.x), PIXEL_LIMIT);
    EXPECT_LE(std::abs(far.y), PIXEL_LIMIT);
    const PixelPoint nan = project_point(c, NAN, 0, 0);
    EXPECT_EQ(nan.x, -PIXEL_LIMIT);
}

TEST(CameraDepth, OrdersPointsAlongEveryLineOfSight) {
    Camera c;
    c.view_azimuth = 0.7L;
    c.view_elevation = 1.1L;
    c.view_aspect = 2.5L;
    update_view_transform(c);
    // Direction of the eye in the stretched picture, from the angles alone.
    const Real wx = std::sin(1.1L) * std::sin(0.7L), wy = std::sin(1.1L) * std::cos(0.7L);
    const Real wz = std::cos(1.1L) / 2.5L;
    const Real px = 0.03L, py = -0.05L, pz = 0.02L;
    const PixelPoint seen = project_point(c, px, py, pz);
    Real previous = -1e300L;
    for (int step = -3; step <= 3; ++step) {
        const Real t = step * 0.05L;
        const Real x = px + t * wx, y = py + t * wy, z = pz + t * wz;
        EXPECT_EQ(project_point(c, x, y, z), seen) << "step " << step;
        const Real d = depth_of(c, x, y, z);
        EXPECT_GT(d, previous) << "nearer to the eye must be larger, step " << step;
        previous = d;
    }
    // Looking straight down, the top of a column is nearest and every height shares one pixel.
    c.view_elevation = 0;
    c.view_aspect = 1;
    update_view_transform(c);
    EXPECT_EQ(project_point(c, 0.1L, 0.05L, -0.2L), project_point(c, 0.1L, 0.05L, 0.3L));
    EXPECT_GT(depth_of(c, 0, 0, 0.3L), depth_of(c, 0, 0, -0.2L));
}

TEST(CameraDrag, RefusedBeforeInitializeOrWithoutTheLeftButton) {
    Camera c;
    const Camera before = c;
    EXPECT_FALSE(begin_drag(c, false, true, 100, 100));
    EXPECT_FALSE(c.drag_active);
    EXPECT_FALSE(continue_drag(c, 250, 30));
    EXPECT_FALSE(begin_drag(c, true, false, 100, 100));
    EXPECT_FALSE(continue_drag(c, 250, 30));
    EXPECT_EQ(c.view_azimuth, before.view_azimuth);
    EXPECT_EQ(c.view_elevation, before.view_elevation);
    EXPECT_EQ(c.pan_x, before.pan_x);
}

TEST(CameraDrag, RotateTurnsByHalfTheWidthPerPiAllTheWayRoundAndClampsTheElevation) {
    Camera c;
    ASSERT_TRUE(begin_drag(c, true, true, 100, 200));
    ASSERT_TRUE(continue_drag(c, 173, 190)); // 73 right, 10 up
    EXPECT_NEAR(c.view_azimuth, PI / 6 + 73.0L / 292 * PI, TIGHT);
    EXPECT_NEAR(c.view_elevation, DEFAULT_ELEVATION + 10.0L / 292 * PI, TIGHT);
    // Every move counts from button down: wandering about and coming back gives the same view.
    continue_drag(c, 500, -300);
    continue_drag(c, 173, 190);
    EXPECT_NEAR(c.view_azimuth, PI / 6 + 73.0L / 292 * PI, TIGHT);
    // A full half width turns 180 degrees; the horizontal angle goes on all the way round.
    continue_drag(c, 100 + 292, 200);
    EXPECT_NEAR(c.view_azimuth, PI / 6 + PI, TIGHT);
    continue_drag(c, 100 + 438, 200); // 270 degrees: 300 in all
    EXPECT_NEAR(c.view_azimuth, PI / 6 + 1.5L * PI, TIGHT);
    continue_drag(c, 100 + 584, 200); // a whole turn: back where it was
    EXPECT_NEAR(c.view_azimuth, PI / 6, 1e-12L);
    continue_drag(c, 100 - 146, 200 + 600); // 90 degrees the other way: 300 degrees
    EXPECT_NEAR(c.view_azimuth, PI / 6 - PI / 2 + 2 * PI, 1e-12L);
    EXPECT_EQ(c.view_elevation, 0);
    continue_drag(c, 100, 200 - 900);
    EXPECT_EQ(c.view_elevation, PI);
    // The transform follows every move.
    Camera fresh = c;
    update_view_transform(fresh);
    EXPECT_EQ(c.yz, fresh.yz);
    end_drag(c);
    EXPECT_FALSE(continue_drag(c, 0, 0));
    EXPECT_EQ(c.view_elevation, PI);
}

TEST(CameraDrag, AzimuthWrapsIntoOneTurn) {
    EXPECT_EQ(wrap_azimuth(0), 0);
    EXPECT_NEAR(wrap_azimuth(3 * PI), PI, TIGHT);
    EXPECT_NEAR(wrap_azimuth(-PI / 2), 1.5L * PI, TIGHT);
    EXPECT_EQ(wrap_azimuth(2 * PI), 0);
    EXPECT_LT(wrap_azimuth(-1e-30L), 2 * PI);
    EXPECT_EQ(wrap_azimuth(NAN), 0);
    EXPECT_EQ(wrap_azimuth(INFINITY), 0);
}

TEST(CameraDrag, ZoomScalesVerticallyPansHorizontallyAndFollowsHalfTheVerticalTravel) {
    Camera c;
    c.drag_mode = DragMode::Zoom;
    ASSERT_TRUE(begin_drag(c, true, true, 300, 300));
    continue_drag(c, 340, 300); // purely horizontal: no zoom, picture moves sideways
    EXPECT_EQ(c.view_scale, 914.0625L);
    EXPECT_EQ(c.pan_x, 332);
    EXPECT_EQ(c.pan_y, 292);
    EXPECT_EQ(project_point(c, 0, 0, 0), (PixelPoint{332, 292}));
    continue_drag(c, 300, 293); // 7 up: scale grows, pan_y follows -7 div 2 = -3 (towards zero)
    EXPECT_NEAR(c.view_scale, 914.0625L * (1 + 7.0L / 292), 1e-12L);
    EXPECT_EQ(c.pan_y, 289);
    continue_drag(c, 300, 307); // 7 down: +3
    EXPECT_EQ(c.pan_y, 295);
    continue_drag(c, 300, 300 + 292); // a whole half height down: lower limit, never zero
    EXPECT_EQ(c.view_scale, MIN_VIEW_SCALE);
    continue_drag(c, 300, 300 + 5000);
    EXPECT_EQ(c.view_scale, MIN_VIEW_SCALE);
    continue_drag(c, 300, 300 - 292 * 120);
    EXPECT_EQ(c.view_scale, MAX_VIEW_SCALE);
}

TEST(CameraDrag, PanAndAspect) {
    Camera c;
    c.drag_mode = DragMode::Pan;
    begin_drag(c, true, true, 10, 10);
    continue_drag(c, -5, 42);
    EXPECT_EQ(c.pan_x, 277);
    EXPECT_EQ(c.pan_y, 324);
    EXPECT_EQ(project_point(c, 0, 0, 0), (PixelPoint{277, 324}));
    EXPECT_EQ(c.view_scale, 914.0625L);
    end_drag(c);

    c.drag_mode = DragMode::Aspect;
    begin_drag(c, true, true, 10, 10);
    continue_drag(c, 10, 10 - 146); // half of half_height up: 1.5
    EXPECT_NEAR(c.view_aspect, 1.5L, TIGHT);
    EXPECT_NEAR(c.dz, std::cos(DEFAULT_ELEVATION) / 1.5L, TIGHT);
    continue_drag(c, 10, 10 - 292 * 50);
    EXPECT_EQ(c.view_aspect, MAX_VIEW_ASPECT);
    continue_drag(c, 10, 10 + 292 * 50);
    EXPECT_EQ(c.view_aspect, MIN_VIEW_ASPECT);
    EXPECT_EQ(c.pan_x, 277); // aspect leaves the pan alone
}

TEST(CameraDrag, ZeroSizedSurfaceGivesNoNaN) {
    Camera c;
    apply_default_view(c, 1, 1);
    update_view_transform(c);
    begin_drag(c, true, true, 0, 0);
    continue_drag(c, 3, 3);
    EXPECT_FALSE(std::isnan(c.view_azimuth));
    EXPECT_FALSE(std::isnan(c.view_elevation));
}

// ---------------------------------------------------------------- views of another size, wheel, fit

// The same picture on a surface of another size: every pixel scaled by the ratio of the sizes.
TEST(CameraSurface, AnotherSizeScalesThePicture) {
    Camera c;
    c.view_azimuth = 1.1L;
    c.pan_x = 250;
    c.pan_y = 330;
    c.view_scale = 2000;
    update_view_transform(c);
    const Camera same = camera_for_surface(c, VIEW_WIDTH, VIEW_HEIGHT);
    EXPECT_EQ(same.view_scale, c.view_scale);
    EXPECT_EQ(same.pan_x, c.pan_x);
    EXPECT_EQ(same.pan_y, c.pan_y);

    const Camera big = camera_for_surface(c, 1170, 1170);
    EXPECT_EQ(big.view_scale, 4000);
    EXPECT_EQ(big.half_width, 585);
    for (const auto& p : {std::array<Real, 3>{0, 0, 0}, {0.05L, -0.02L, 0.1L}, {-0.1L, 0.1L, -0.03L}}) {
        const PixelPoint small_at = project_point(c, p[0], p[1], p[2]);
        const PixelPoint big_at = project_point(big, p[0], p[1], p[2]);
        EXPECT_NEAR(big_at.x, 2 * small_at.x, 2);
        EXPECT_NEAR(big_at.y, 2 * small_at.y, 2);
    }
    // A surface that is not square: the smaller ratio, centred the other way.
    const Camera wide = camera_for_surface(c, 1000, 585);
    EXPECT_EQ(wide.view_scale, c.view_scale);
    EXPECT_EQ(wide.pan_x, c.pan_x + (1000 - 585) / 2 + 1); // 457.5 rounds to the even 458
}

// The wheel zooms about a pixel: the model point under it stays, the others move away from it.
TEST(CameraWheel, ZoomKeepsThePointUnderThePointer) {
    Camera c;
    const int x = 120, y = 400;
    // A model point that projects near (x, y): on the side camera X = pan_x - s*x, Y = pan_y - s*z.
    Camera side = side_camera(914.0625L, 292, 292);
    const Real px = (292 - x) / side.view_scale, pz = (292 - y) / side.view_scale;
    const PixelPoint before = project_point(side, px, 0, pz);
    const PixelPoint centre_before = project_point(side, 0, 0, 0);
    ASSERT_TRUE(zoom_about(side, x, y, 1.25L));
    EXPECT_EQ(side.view_scale, 914.0625L * 1.25L);
    const PixelPoint after = project_point(side, px, 0, pz);
    EXPECT_NEAR(after.x, before.x, 1);
    EXPECT_NEAR(after.y, before.y, 1);
    const PixelPoint centre_after = project_point(side, 0, 0, 0);
    EXPECT_NEAR(centre_after.x - x, 1.25 * (centre_before.x - x), 1.5);
    EXPECT_NEAR(centre_after.y - y, 1.25 * (centre_before.y - y), 1.5);
    // Out again: back where it was.
    ASSERT_TRUE(zoom_about(side, x, y, 0.8L));
    EXPECT_NEAR(project_point(side, 0, 0, 0).x, centre_before.x, 1);

    // Within the limits of the navigation; a factor that is no number changes nothing.
    EXPECT_TRUE(zoom_about(c, 0, 0, 1e9L));
    EXPECT_EQ(c.view_scale, MAX_VIEW_SCALE);
    EXPECT_FALSE(zoom_about(c, 0, 0, 2));
    EXPECT_TRUE(zoom_about(c, 0, 0, 1e-12L));
    EXPECT_EQ(c.view_scale, MIN_VIEW_SCALE);
    EXPECT_FALSE(zoom_about(c, 0, 0, 0));
    EXPECT_FALSE(zoom_about(c, 0, 0, NAN));
    EXPECT_FALSE(zoom_about(c, 0, 0, -2));
}

SystemModel model_of(std::initializer_list<std::array<Real, 4>> spheres) {
    SystemModel m;
    m.reserve_spheres(static_cast<int>(spheres.size()));
    for (const auto& s : spheres) {
        Sphere& sphere = m.spheres[++m.sphere_count];
        sphere.x = s[0];
        sphere.y = s[1];
        sphere.z = s[2];
        sphere.r = s[3];
    }
    return m;
}

// Every disc inside the surface after Fit, for tiny and huge systems and any angle.
TEST(CameraFit, EverySphereEndsInsideTheSurface) {
    const SystemModel tiny = model_of({{0.15L, -0.12L, 0.05L, 0.001L}, {0.16L, -0.11L, 0.06L, 0.0015L}});
    const SystemModel huge =
        model_of({{-0.8L, 0, 0, 0.02L}, {0.8L, 0.6L, 0.4L, 0.02L}, {0, -0.7L, -0.5L, 0.03L}});
    for (const SystemModel* model : {&tiny, &huge})
        for (const Real azimuth : {0.0L, 0.5L, 2.0L, 4.0L})
            for (const int size : {585, 300, 1000}) {
                Camera c;
                c.view_azimuth = azimuth;
                c.view_aspect = 1.7L;
                update_view_transform(c);
                ASSERT_TRUE(fit_view(c, *model, size, size));
                int left = size, right = 0, top = size, bottom = 0;
                for (int i = 1; i <= model->sphere_count; ++i) {
                    const Sphere& s = model->spheres[i];
                    const PixelPoint at = project_point(c, s.x, s.y, s.z);
                    const int m = round_to_pixel(s.r * c.view_scale);
                    left = std::min(left, at.x - m);
                    right = std::max(right, at.x + m);
                    top = std::min(top, at.y - m);
                    bottom = std::max(bottom, at.y + m);
                }
                EXPECT_GE(left, 0);
                EXPECT_GE(top, FIT_TOP_MARGIN - 1); // below the status lines
                EXPECT_LT(right, size);
                EXPECT_LT(bottom, size);
                // Framed, not merely inside: the system fills the room one way or the other.
                EXPECT_TRUE(right - left > 0.9 * (size - 2 * FIT_MARGIN) ||
                            bottom - top > 0.9 * (size - FIT_TOP_MARGIN - FIT_MARGIN))
                    << size << " " << left << " " << right << " " << top << " " << bottom;
            }
    // A ball on a string: the suspension point, well above it, is framed too.
    SystemModel hanging = model_of({{0.15L, 0, -0.1L, 0.004L}});
    hanging.objects.resize(2);
    hanging.object_count = 1;
    hanging.objects[1].first = hanging.objects[1].count = 1;
    hanging.objects[1].L = 0.1L;
    hanging.objects[1].ref_x0 = 0.15L;
    hanging.objects[1].ref_z0 = 0;
    Camera side;
    ASSERT_TRUE(fit_view(side, hanging, 585, 585));
    const PixelPoint top = project_point(side, 0.15L, 0, 0), ball = project_point(side, 0.15L, 0, -0.1L);
    EXPECT_GE(top.y, FIT_TOP_MARGIN - 1);
    EXPECT_LT(ball.y + round_to_pixel(0.004L * side.view_scale), 585);
    EXPECT_GT(ball.y - top.y, 0.9 * (585 - FIT_TOP_MARGIN - FIT_MARGIN) - 2 * 0.004L * side.view_scale);

    // Nothing to frame: nothing changes.
    Camera c;
    const Camera before = c;
    EXPECT_FALSE(fit_view(c, SystemModel{}, 585, 585));
    EXPECT_FALSE(fit_view(c, model_of({{NAN, 0, 0, 0.01L}}), 585, 585));
    EXPECT_EQ(c.view_scale, before.view_scale);
    EXPECT_EQ(c.pan_x, before.pan_x);
}

} // namespace
} // namespace ambrel
