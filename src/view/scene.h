// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The picture of the 3D view: draws a snapshot of the system, seen through a Camera, into an
// off-screen 32-bit image (painter's order, farthest sphere first), and writes it as a Windows BMP.
// Spheres are coloured by their surface charge density Q/r^2: red for the most positive, green for
// zero, blue for the most negative, silver while the forces are not valid.
#pragma once

#include "model/status.h"
#include "session/snapshot.h"
#include "view/camera.h"

#include <QFont>
#include <QImage>
#include <QRgb>
#include <QString>

#include <utility>
#include <vector>

namespace ambrel {

// Colours of the scene.
inline constexpr QRgb SCENE_SILVER = 0xffc0c0c0; // background, spheres without charge colours
inline constexpr QRgb SCENE_BLACK = 0xff000000;  // border, strings in front, disc outlines, text
inline constexpr QRgb SCENE_GREY = 0xff808080;   // reference box, strings behind an object
inline constexpr QRgb SCENE_YELLOW = 0xffffff00; // label background

// The drawing state of one view, allocated once by its host: the off-screen image the size of the
// view surface, the drawing order with its depth keys, and the font. The snapshot drawn is only read.
// Shaded discs need no sprite image of their own: they are computed straight into the off-screen
// image, and only where they show. Make a Scene after the QGuiApplication (it holds a font).
class Scene {
  public:
    explicit Scene(int width = VIEW_WIDTH, int height = VIEW_HEIGHT);

    // The picture; silver until the first drawing.
    const QImage& image() const { return offscreen_; }
    // Whether draw_scene has drawn a picture since the scene was made.
    bool has_picture() const { return has_picture_; }
    // Sphere numbers in the order of the last drawing (farthest first).
    const std::vector<int>& draw_order() const { return draw_order_; }
    // The depth key of sphere i in the last drawing (larger is nearer to the eye).
    Real depth(int i) const { return depths_[static_cast<std::size_t>(i)]; }
    // The font of the status lines, the axis letters and the labels.
    const QFont& font() const { return font_; }

    // Gives the picture a new size (at least 1 x 1): a silver image until the next drawing.
    // The drawing order and its storage stay. `pixel_ratio` is the screen's device pixels per
    // logical pixel: the size is then in device pixels, and the text, the lines and the places of
    // the status lines grow by that ratio, so the picture has the same look at any ratio.
    void resize(int width, int height, double pixel_ratio = 1);
    double pixel_ratio() const { return pixel_ratio_; }

  private:
    friend bool draw_scene(Scene& scene, const SceneSnapshot& snapshot, const Camera& camera,
                           bool camera_lines);

    QImage offscreen_;
    double pixel_ratio_ = 1;
    QFont font_;
    std::vector<int> draw_order_;                  // capacity MAX_SPHERES, filled per drawing
    std::vector<std::pair<Real, int>> order_keys_; // (depth key, sphere number), capacity MAX_SPHERES
    std::vector<Real> depths_;                     // per sphere number, 1-based, capacity MAX_SPHERES + 1
    bool has_picture_ = false;
};

// Draws the whole scene: background and border, the reference box with its axis letters, the two
// status lines with the camera values (unless `camera_lines` is false), and every sphere with its
// string, the dotted outline of composite objects and the optional label. Does nothing and
// returns false when the system of the snapshot is not initialised (the previous picture stays);
// true when it drew. Needs a QGuiApplication (fonts).
bool draw_scene(Scene& scene, const SceneSnapshot& snapshot, const Camera& camera, bool camera_lines = true);

// The fill colour of sphere i: its charge density on the scale of density_max (positive, towards
// red) or density_min (negative, towards blue); silver when the forces are not valid.
QRgb sphere_fill_colour(const SceneSnapshot& snapshot, int i);

// A shaded disc of radius m (at least 1) centred on (x, y): brightest at the highlight, up and
// left of the centre by a third of the radius, falling linearly with the distance from it to about
// 40 % at the far rim. Only the pixels inside the image are computed.
void draw_shaded_ball(QImage& target, int x, int y, int m, QRgb colour);

// The two status lines of the view.
QString status_line_angles(const Camera& camera);
QString status_line_pan(const Camera& camera, int paint_width);

// Writes the image as a Windows BMP file, whatever extension the name carries. The file is
// replaced only when the whole image was written. On failure returns false and, when `reason` is
// given, says why.
Status save_scene_bmp(const QImage& image, const QString& path);
Status save_scene_bmp(const Scene& scene, const QString& path);
// The same as a PNG file.
Status save_scene_png(const QImage& image, const QString& path);

} // namespace ambrel
