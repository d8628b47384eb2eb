// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/scene.h"

#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace ambrel {
namespace {

// Fonts and images need a QGuiApplication; the offscreen platform runs without a display.
class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        if (QCoreApplication::instance())
            return;
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QGuiApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

  private:
    int argc_ = 1;
    char name_[10] = "test_view";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> app_;
};
[[maybe_unused]] ::testing::Environment* const qt_environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

constexpr QRgb RED = 0xffff0000, GREEN = 0xff00ff00, BLUE = 0xff0000ff, WHITE = 0xffffffff;

QRgb pixel(const QImage& image, int x, int y) {
    return image.pixel(x, y) | 0xff000000u;
}

class SceneTest : public ::testing::Test {
  protected:
    SceneSnapshot snap;
    SystemModel& model = snap.model;
    Camera camera;
    Scene scene;

    void SetUp() override {
        model.reserve_spheres(MAX_SPHERES); // references to spheres stay valid
        snap.system_initialized = true;
        snap.forces_valid = true;
        snap.options.set(Option::ShadedBalls, false);
        snap.density_max = 1;
        snap.density_min = -1;
    }

    // A new sphere, its charge Q and an object of one sphere (a ball on no string) holding it.
    Sphere& add_sphere(Real x, Real y, Real z, Real r, Real Q) {
        const int i = ++model.sphere_count;
        snap.Q.resize(static_cast<std::size_t>(i) + 1, 0);
        snap.Q[i] = Q;
        Sphere& s = model.spheres[i];
        s = Sphere{};
        s.name = "ball" + std::to_string(i);
        s.x = s.x0 = x;
        s.y = s.y0 = y;
        s.z = s.z0 = z;
        s.r = s.size = r;
        s.index_in_object = 1;
        Object& o = model.objects[++model.object_count];
        o = Object{};
        o.kind = ObjectKind::Ball;
        o.first = i;
        o.count = 1;
        o.ref_x0 = x;
        o.ref_y0 = y;
        o.ref_z0 = z;
        s.object = model.object_count;
        return s;
    }
    // A single ball (r in metres, charge Q) at (x, y, z), on no string.
    Sphere& add_ball(Real x, Real y, Real z, Real r, Real Q) { return add_sphere(x, y, z, r, Q); }
    Object& object_of(const Sphere& s) { return model.objects[s.object]; }

    void view_from(Real elevation) {
        camera.view_elevation = elevation;
        update_view_transform(camera);
    }

    PixelPoint at(Real x, Real y, Real z) const { return project_point(camera, x, y, z); }
    QRgb pixel_at(PixelPoint p) const { return pixel(scene.image(), p.x, p.y); }

    void draw() { ASSERT_TRUE(draw_scene(scene, snap, camera)); }
};

// The shade of one pixel written out directly from the formula of the shaded disc.
QRgb reference_shade(int m, int du, int dv, QRgb colour, bool* inside) {
    if (m < 1)
        m = 1;
    const int h = (2 * m) / 3, hx = h - m, hy = h - m;
    const Real k = 152 / (std::sqrt(static_cast<Real>(hx * hx + hy * hy)) + m);
    *inside = std::nearbyint(std::sqrt(static_cast<Real>(du * du + dv * dv))) <= m;
    const int t =
        static_cast<int>(std::sqrt(static_cast<Real>((du - hx) * (du - hx) + (dv - hy) * (dv - hy))) * k);
    const int o = 255 - t;
    return qRgb(qRed(colour) * o / 256, qGreen(colour) * o / 256, qBlue(colour) * o / 256);
}

TEST_F(SceneTest, NothingIsDrawnBeforeInitialize) {
    snap.system_initialized = false;
    add_ball(0, 0, 0, 0.02L, 1);
    const QImage before = scene.image().copy();
    EXPECT_FALSE(draw_scene(scene, snap, camera));
    EXPECT_FALSE(scene.has_picture());
    EXPECT_EQ(scene.image(), before);
}

TEST_F(SceneTest, BackgroundBorderAndReferenceBox) {
    draw();
    const QImage& img = scene.image();
    ASSERT_EQ(img.size(), QSize(585, 585));
    for (int i : {0, 100, 292, 584}) {
        EXPECT_EQ(pixel(img, i, 0), SCENE_BLACK) << i;
        EXPECT_EQ(pixel(img, i, 584), SCENE_BLACK) << i;
        EXPECT_EQ(pixel(img, 0, i), SCENE_BLACK) << i;
        EXPECT_EQ(pixel(img, 584, i), SCENE_BLACK) << i;
    }
    EXPECT_EQ(pixel(img, 1, 1), SCENE_SILVER);
    EXPECT_EQ(pixel(img, 575, 300), SCENE_SILVER);
    EXPECT_EQ(pixel(img, 20, 570), SCENE_SILVER);
    // Corner A = (xmin, ymin, zmin) ends two grey edges; the hidden corner (xmax, ymax, zmax) has none.
    const ReferenceBox& b = REFERENCE_BOX;
    EXPECT_EQ(pixel_at(at(b.xmin, b.ymin, b.zmin)), SCENE_GREY);
    EXPECT_EQ(pixel_at(at(b.xmax, b.ymax, b.zmin)), SCENE_GREY);
    EXPECT_EQ(pixel_at(at(b.xmax, b.ymax, b.zmax)), SCENE_SILVER);
    EXPECT_TRUE(scene.has_picture());
}

TEST_F(SceneTest, StatusLinesShowTheDefaultCameraInDejaVuSans) {
    EXPECT_EQ(status_line_angles(camera), QStringLiteral("a1=30.0 a2=70.0"));
    EXPECT_EQ(status_line_pan(camera, 585), QStringLiteral(" x0=292 (292) y0=292 a=914.06"));
    camera.pan_x = 5;
    camera.view_azimuth = PI;
    EXPECT_EQ(status_line_pan(camera, 585), QStringLiteral(" x0=  5 (292) y0=292 a=914.06"));
    EXPECT_EQ(status_line_angles(camera), QStringLiteral("a1=180.0 a2=70.0"));

    EXPECT_EQ(QFontInfo(scene.font()).family(), QStringLiteral("DejaVu Sans"));
    const QFontMetrics metrics(scene.font());
    const QString all = status_line_angles(camera) + status_line_pan(camera, 585) + "xyz0123456789";
    for (QChar ch : all)
        EXPECT_TRUE(metrics.inFont(ch)) << static_cast<int>(ch.unicode());
    EXPECT_LE(metrics.height(), 18) << "the second status line starts 18 pixels below the first";

    camera = Camera{};
    draw();
    // Glyphs were drawn: dark pixels in both text rows, none between the rows' ends and the edge.
    auto dark_pixels = [&](int top) {
        int count = 0;
        for (int y = top; y < top + metrics.height(); ++y)
            for (int x = 2; x < 2 + metrics.horizontalAdvance(status_line_pan(camera, 585)); ++x)
                count += qGray(pixel(scene.image(), x, y)) < 64 ? 1 : 0;
        return count;
    };
    EXPECT_GT(dark_pixels(2), 30);
    EXPECT_GT(dark_pixels(20), 60);
}

TEST_F(SceneTest, FlatDiscsColouredByChargeDensity) {
    // Densities 1 (the most positive), 0 and -1 (the most negative) on r = 2 cm.
    add_ball(0, 0, 0, 0.02L, 0.02L * 0.02L);
    add_ball(0.1L, 0, 0, 0.02L, 0);
    add_ball(-0.1L, 0, 0, 0.02L, -0.02L * 0.02L);
    draw();
    EXPECT_EQ(pixel_at(at(0, 0, 0)), RED);
    EXPECT_EQ(pixel_at(at(0.1L, 0, 0)), GREEN);
    EXPECT_EQ(pixel_at(at(-0.1L, 0, 0)), BLUE);
    // The flat disc has a black outline about m = round(0.02 * 914.06) = 18 pixels from its centre.
    const PixelPoint c = at(0, 0, 0);
    bool outline = false;
    for (int x = c.x + 16; x <= c.x + 20; ++x)
        outline = outline || pixel(scene.image(), x, c.y) == SCENE_BLACK;
    EXPECT_TRUE(outline);
    EXPECT_EQ(pixel(scene.image(), c.x + 14, c.y), RED);
    EXPECT_EQ(pixel(scene.image(), c.x + 23, c.y), SCENE_SILVER);

    // Without valid forces every disc is silver, still outlined.
    snap.forces_valid = false;
    draw();
    EXPECT_EQ(pixel_at(at(0, 0, 0)), SCENE_SILVER);
    EXPECT_EQ(pixel_at(at(-0.1L, 0, 0)), SCENE_SILVER);
    outline = false;
    for (int x = c.x + 16; x <= c.x + 20; ++x)
        outline = outline || pixel(scene.image(), x, c.y) == SCENE_BLACK;
    EXPECT_TRUE(outline);
}

TEST_F(SceneTest, ColourLevelsRoundHalvesToEvenAndStayInRange) {
    snap.density_max = 255;
    snap.density_min = -255;
    add_ball(0, 0, 0, 1, 127.5L);
    add_ball(0, 0, 0, 1, 0.5L);
    add_ball(0, 0, 0, 1, 1.5L);
    add_ball(0, 0, 0, 1, -2.5L);
    add_ball(0, 0, 0, 1, 1000); // above the scale: held at pure red
    add_ball(0, 0, 0, 0, 0);    // no radius: no NaN colour
    EXPECT_EQ(sphere_fill_colour(snap, 1), qRgb(128, 127, 0));
    EXPECT_EQ(sphere_fill_colour(snap, 2), qRgb(0, 255, 0));
    EXPECT_EQ(sphere_fill_colour(snap, 3), qRgb(2, 253, 0));
    EXPECT_EQ(sphere_fill_colour(snap, 4), qRgb(0, 253, 2));
    EXPECT_EQ(sphere_fill_colour(snap, 5), RED);
    EXPECT_EQ(sphere_fill_colour(snap, 6), GREEN);
}

TEST_F(SceneTest, NearerSphereCoversAndEqualDepthsKeepNumberOrder) {
    // Two discs on one line of sight: sphere 2 (green) is farther from the eye than sphere 1 (red).
    const Real wx = camera.dx, wy = camera.dy, wz = camera.dz;
    add_ball(0, 0, 0, 0.03L, 1);
    add_ball(-0.1L * wx, -0.1L * wy, -0.1L * wz, 0.03L, 0);
    draw();
    EXPECT_EQ(pixel_at(at(0, 0, 0)), RED);
    EXPECT_EQ(scene.draw_order(), (std::vector<int>{2, 1}));
    EXPECT_LT(scene.depth(2), scene.depth(1));

    // At equal depth the higher number is drawn last.
    model.spheres[2].x = model.spheres[2].y = model.spheres[2].z = 0;
    draw();
    EXPECT_EQ(pixel_at(at(0, 0, 0)), GREEN);
    EXPECT_EQ(scene.draw_order(), (std::vector<int>{1, 2}));

    // Many spheres on two depths: the far ones first, each group in ascending numbers.
    std::vector<int> expected_far, expected_near;
    for (int i = 3; i <= 90; ++i) {
        const bool far = i % 3 == 0;
        add_ball(far ? -0.05L * wx : 0, far ? -0.05L * wy : 0, far ? -0.05L * wz : 0, 0.01L, 0);
        (far ? expected_far : expected_near).push_back(i);
    }
    expected_near.insert(expected_near.begin(), {1, 2});
    draw();
    std::vector<int> expected = expected_far;
    expected.insert(expected.end(), expected_near.begin(), expected_near.end());
    EXPECT_EQ(scene.draw_order(), expected);
}

TEST_F(SceneTest, BallStringInFrontIsDrawnOverTheDiscAndBehindIsHidden) {
    // A ball at the origin hanging straight down from 15 cm above; the string ends on its top.
    Sphere& s = add_ball(0, 0, 0, 0.02L, 1);
    s.z0 = 0.15L;
    object_of(s).L = 0.15L;
    // Seen from above, the string's end is nearer than the centre: black over the red disc.
    view_from(20 * PI / 180);
    draw();
    const PixelPoint inside = at(0, 0, 0.02L);
    const PixelPoint centre = at(0, 0, 0);
    ASSERT_LT(centre.y - inside.y, 12) << "the string's end must fall well inside the disc";
    EXPECT_EQ(pixel(scene.image(), inside.x, inside.y - 4), SCENE_BLACK);
    EXPECT_EQ(pixel_at(at(0, 0, 0.1L)), SCENE_BLACK); // above the disc
    // Seen from below, the string is behind the ball: the disc covers it.
    view_from(160 * PI / 180);
    draw();
    const PixelPoint behind = at(0, 0, 0.02L);
    EXPECT_EQ(pixel(scene.image(), behind.x, behind.y - 4), RED);
    EXPECT_EQ(pixel_at(at(0, 0, 0.1L)), SCENE_BLACK);
    // A string not longer than the radius is not drawn.
    object_of(s).L = 0.02L;
    view_from(20 * PI / 180);
    draw();
    EXPECT_EQ(pixel_at(at(0, 0, 0.1L)), SCENE_SILVER);
}

TEST_F(SceneTest, EachBallsStringGoesByItsOwnDepthWhateverTheDrawingOrder) {
    view_from(20 * PI / 180);
    // Sphere 1: a small ball far nearer to the eye, off to the side; it is drawn last.
    const Real wx = camera.dx, wy = camera.dy, wz = camera.dz;
    add_ball(0.3L * wx + 0.12L, 0.3L * wy, 0.3L * wz, 0.005L, 0);
    // Sphere 2: the ball on its string of the test above, drawn first.
    Sphere& s = add_ball(0, 0, 0, 0.02L, 1);
    s.z0 = 0.15L;
    object_of(s).L = 0.15L;
    ASSERT_GT(depth_of(camera, model.spheres[1].x, model.spheres[1].y, model.spheres[1].z),
              depth_of(camera, 0, 0, 0.02L));
    draw();
    ASSERT_EQ(scene.draw_order(), (std::vector<int>{2, 1}));
    // Its string's end is nearer than its centre: the string crosses the red disc.
    const PixelPoint inside = at(0, 0, 0.02L);
    EXPECT_EQ(pixel(scene.image(), inside.x, inside.y - 4), SCENE_BLACK);
}

TEST_F(SceneTest, CompositeObjectStringAndDottedOutlineComeFromItsLastSphere) {
    // A far, large red disc as a backdrop for the silver dotted outline.
    view_from(20 * PI / 180);
    add_ball(0, 0, -0.15L, 0.12L, 1);
    // A two-sphere object of size R = 4 cm hanging 20 cm below (0, 0, 0.2).
    for (int k = 1; k <= 2; ++k) {
        Sphere& s = add_sphere(k == 1 ? -0.01L : 0.01L, 0, 0, 0.005L, 0);
        s.index_in_object = k;
        s.object = 2;
        s.size = 0.04L;
        s.x0 = s.x;
        s.z0 = 0.2L;
    }
    model.object_count = 2;
    Object& line = model.objects[2];
    line = Object{};
    line.kind = ObjectKind::Line;
    line.first = 2;
    line.count = 2;
    line.L = 0.2L;
    line.ref_z0 = 0.2L;
    draw();
    // The string runs from the suspension point to 4 cm above the centre, in front: black.
    EXPECT_EQ(pixel_at(at(0, 0, 0.15L)), SCENE_BLACK);
    EXPECT_EQ(pixel_at(at(0, 0, 0.02L)), RED) << "the string stops at R above the centre";
    // The outline: radius round(0.04 * s) around the projected centre, dotted silver over red.
    const PixelPoint c = at(0, 0, 0);
    const int radius = static_cast<int>(std::nearbyint(0.04L * camera.view_scale));
    // Directions in which a silver pixel lies on the ring (within a pixel of the radius): all of
    // them for a solid pen, about a third to a half for a dotted one.
    int directions_with_silver = 0;
    for (int deg = 0; deg < 360; ++deg) {
        bool silver = false;
        for (int dr = -1; dr <= 1; ++dr) {
            const Real rr = radius + dr;
            const int x = c.x + static_cast<int>(std::lround(rr * std::cos(deg * PI / 180)));
            const int y = c.y + static_cast<int>(std::lround(rr * std::sin(deg * PI / 180)));
            silver = silver || pixel(scene.image(), x, y) == SCENE_SILVER;
        }
        directions_with_silver += silver ? 1 : 0;
    }
    EXPECT_GT(directions_with_silver, 60);
    EXPECT_LT(directions_with_silver, 250) << "dotted, not solid";

    // Seen from below the string's end is behind the object's centre: grey, drawn first.
    view_from(160 * PI / 180);
    model.spheres[1].z = 1; // keep the backdrop out of the way
    draw();
    EXPECT_EQ(pixel_at(at(0, 0, 0.15L)), SCENE_GREY);
}

TEST_F(SceneTest, LabelsByNumberOrByName) {
    Sphere& s = add_ball(0, 0, 0, 0.005L, 1);
    s.name = "WWWWWWWWWWWW";
    snap.options.set(Option::Identify, true);
    snap.options.set(Option::IdentifyByNumbers, true);
    draw();
    const PixelPoint c = at(0, 0, 0);
    auto yellow_in_row = [&](int y) {
        int count = 0;
        for (int x = c.x; x < c.x + 120; ++x)
            count += pixel(scene.image(), x, y) == SCENE_YELLOW ? 1 : 0;
        return count;
    };
    const int narrow = yellow_in_row(c.y + 1);
    EXPECT_GT(narrow, 0);
    snap.options.set(Option::IdentifyByNumbers, false);
    draw();
    EXPECT_GT(yellow_in_row(c.y + 1), narrow + 40) << "the name is much wider than \"1\"";
    snap.options.set(Option::Identify, false);
    draw();
    EXPECT_EQ(yellow_in_row(c.y + 1), 0);
}

TEST(ShadedBall, MatchesThePerPixelFormulaAlsoWhenClipped) {
    struct Case {
        int x, y, m;
    };
    const QRgb colour = qRgb(200, 100, 30);
    for (const Case& cs : {Case{20, 20, 0}, Case{20, 20, 1}, Case{20, 20, 2}, Case{30, 30, 7},
                           Case{40, 35, 31}, Case{-5, 3, 12}, Case{75, 78, 20}, Case{40, 40, 57}}) {
        QImage img(80, 80, QImage::Format_RGB32);
        img.fill(WHITE);
        draw_shaded_ball(img, cs.x, cs.y, cs.m, colour);
        const int m = std::max(cs.m, 1);
        for (int y = 0; y < 80; ++y) {
            for (int x = 0; x < 80; ++x) {
                bool inside = false;
                const QRgb expected = reference_shade(m, x - cs.x, y - cs.y, colour, &inside);
                ASSERT_EQ(pixel(img, x, y), inside ? expected : WHITE)
                    << "m=" << cs.m << " at " << x << "," << y;
            }
        }
    }
}

TEST(ShadedBall, HighlightUpLeftAndSubPixelBallsAreThreeByThree) {
    QImage img(200, 200, QImage::Format_RGB32);
    img.fill(WHITE);
    draw_shaded_ball(img, 100, 100, 30, RED);
    int best = -1, best_x = 0, best_y = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            if (pixel(img, x, y) != WHITE && qRed(img.pixel(x, y)) > best) {
                best = qRed(img.pixel(x, y));
                best_x = x;
                best_y = y;
            }
    EXPECT_EQ(best, 254);  // 255 * 255 / 256
    EXPECT_EQ(best_x, 90); // h = 20: ten pixels up and left
    EXPECT_EQ(best_y, 90);
    EXPECT_GE(qRed(img.pixel(121, 121)), 100); // the rim opposite the highlight keeps about 40 %
    EXPECT_LE(qRed(img.pixel(121, 121)), 110);

    img.fill(WHITE);
    draw_shaded_ball(img, 50, 50, 0, GREEN);
    int painted = 0;
    for (int y = 45; y < 56; ++y)
        for (int x = 45; x < 56; ++x)
            painted += pixel(img, x, y) != WHITE ? 1 : 0;
    EXPECT_EQ(painted, 9);

    // A ball far larger than the image costs only the pixels shown and covers them all.
    img.fill(WHITE);
    draw_shaded_ball(img, 100, 100, 1 << 26, BLUE);
    EXPECT_NE(pixel(img, 0, 0), WHITE);
    EXPECT_NE(pixel(img, 199, 199), WHITE);
}

TEST_F(SceneTest, ShadedSceneAndExtremeValuesDrawWithoutHarm) {
    snap.options.set(Option::ShadedBalls, true);
    add_ball(0, 0, 0, 0.03L, 1);
    draw();
    const PixelPoint c = at(0, 0, 0);
    int best = -1, best_x = 0, best_y = 0;
    for (int y = c.y - 30; y <= c.y + 30; ++y)
        for (int x = c.x - 30; x <= c.x + 30; ++x)
            if (qGreen(scene.image().pixel(x, y)) == 0 && qRed(scene.image().pixel(x, y)) > best) {
                best = qRed(scene.image().pixel(x, y));
                best_x = x;
                best_y = y;
            }
    EXPECT_EQ(best, 254);
    EXPECT_LT(best_x, c.x);
    EXPECT_LT(best_y, c.y);

    // Far away, huge, NaN: still a picture. The 50 m ball (zero density on this scale: green)
    // covers the whole view at the largest zoom.
    add_ball(1e20L, 0, 0, 10, 1);
    add_ball(0, 0, 0, 50, -1);
    add_ball(NAN, NAN, NAN, NAN, NAN);
    camera.view_scale = MAX_VIEW_SCALE;
    update_view_transform(camera);
    draw();
    for (QRgb p : {pixel(scene.image(), 0, 0), pixel_at(c)}) {
        EXPECT_EQ(qRed(p), 0);
        EXPECT_GT(qGreen(p), 0);
    }
}

TEST_F(SceneTest, BitmapFileIsAWindowsBmpWhateverTheName) {
    add_ball(0, 0, 0, 0.02L, 1);
    add_ball(0.1L, 0.05L, 0, 0.02L, -0.5L * 0.02L * 0.02L);
    snap.options.set(Option::ShadedBalls, true);
    draw();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("view.png");
    const Status saved = save_scene_bmp(scene, path);
    ASSERT_TRUE(saved) << saved.message();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(2), QByteArray("BM"));
    file.close();
    QImageReader reader(path, "bmp");
    const QImage back = reader.read();
    ASSERT_FALSE(back.isNull()) << reader.errorString().toStdString();
    ASSERT_EQ(back.size(), QSize(585, 585));
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32),
              scene.image().convertToFormat(QImage::Format_RGB32));

    const Status failed = save_scene_bmp(scene, dir.filePath("no/such/folder/test.bmp"));
    EXPECT_FALSE(failed);
    EXPECT_FALSE(failed.message().empty());
    EXPECT_FALSE(save_scene_bmp(QImage(), dir.filePath("x.bmp")));
    EXPECT_FALSE(QFile::exists(dir.filePath("x.bmp")));
}

// A scene of another size draws the same system at that size; PNG files hold the picture exactly.
TEST_F(SceneTest, ResizedSceneDrawsAtItsSizeAndSavesAsPng) {
    add_ball(0, 0, 0, 0.02L, 1);
    scene.resize(900, 900);
    EXPECT_FALSE(scene.has_picture());
    EXPECT_EQ(scene.image().size(), QSize(900, 900));
    const Camera big = camera_for_surface(camera, 900, 900);
    ASSERT_TRUE(draw_scene(scene, snap, big));
    const PixelPoint centre = project_point(big, 0, 0, 0);
    EXPECT_EQ(pixel(scene.image(), centre.x, centre.y), RED);
    EXPECT_EQ(status_line_pan(big, 900).mid(0, 10), " x0=449 (4");

    QTemporaryDir dir;
    const QString path = dir.filePath("view.bmp"); // PNG whatever the extension
    const Status saved = save_scene_png(scene.image(), path);
    ASSERT_TRUE(saved) << saved.message();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(4), QByteArray("\x89PNG"));
    file.close();
    const QImage back = QImageReader(path, "png").read();
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32),
              scene.image().convertToFormat(QImage::Format_RGB32));
    const Status failed = save_scene_png(scene.image(), dir.filePath("no/such/folder/v.png"));
    EXPECT_FALSE(failed);
    EXPECT_FALSE(failed.message().empty());
}

} // namespace
} // namespace ambrel
