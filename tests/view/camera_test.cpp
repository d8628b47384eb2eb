#include "view/camera.h"

#include <gtest/gtest.h>

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

TEST(CameraDrag, RotateTurnsByHalfTheWidthPerPiAndClampsTheAngles) {
    Camera c;
    ASSERT_TRUE(begin_drag(c, true, true, 100, 200));
    ASSERT_TRUE(continue_drag(c, 173, 190)); // 73 right, 10 up
    EXPECT_NEAR(c.view_azimuth, PI / 6 + 73.0L / 292 * PI, TIGHT);
    EXPECT_NEAR(c.view_elevation, DEFAULT_ELEVATION + 10.0L / 292 * PI, TIGHT);
    // Every move counts from button down: wandering about and coming back gives the same view.
    continue_drag(c, 500, -300);
    continue_drag(c, 173, 190);
    EXPECT_NEAR(c.view_azimuth, PI / 6 + 73.0L / 292 * PI, TIGHT);
    // A full half width turns 180 degrees, held at pi; further changes nothing.
    continue_drag(c, 100 + 292, 200);
    EXPECT_EQ(c.view_azimuth, PI);
    continue_drag(c, 100 + 600, 200);
    EXPECT_EQ(c.view_azimuth, PI);
    continue_drag(c, 100 - 600, 200 + 600);
    EXPECT_EQ(c.view_azimuth, 0);
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

} // namespace
} // namespace ambrel
