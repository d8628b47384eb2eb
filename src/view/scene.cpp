// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/scene.h"
#include "model/units.h"

#include "text/number_format.h"

#include <QFontMetrics>
#include <QImageWriter>
#include <QPainter>
#include <QPen>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace ambrel {

namespace {

constexpr int LABEL_PIXEL_SIZE = 12;

// A colour channel level from a real: nearest integer (halves to even) within 0..255; a NaN is 0.
int colour_level(Real value) {
    if (!(value >= 0))
        return 0;
    if (value > 255)
        return 255;
    return round_to_pixel(value);
}

// ---------------------------------------------------------------- shaded disc
//
// The shade of a pixel at squared distance n from the highlight is o = 255 - t with
// t = trunc(sqrt(n) * k). t never decreases with n, so a large disc does not take one square root
// per pixel: it finds, from the same formula, the smallest n of every shade step it can reach and
// walks them as n changes by small amounts from pixel to pixel along a row. A small disc, whose
// pixels are fewer than its steps, takes the root per pixel. Only pixels inside the image count.

constexpr int SHADE_STEPS = 256;

// trunc(sqrt(n) * k), exactly, held within 0..SHADE_STEPS - 1.
int shade_step(std::int64_t n, Real k) {
    const Real v = std::sqrt(static_cast<Real>(n)) * k;
    if (!(v < SHADE_STEPS - 1))
        return SHADE_STEPS - 1;
    int t = static_cast<int>(static_cast<double>(v)); // the double may round up past an integer
    if (static_cast<Real>(t) > v)
        --t;
    return t;
}

// Largest d >= 0 with d*d <= v (v >= 0).
std::int64_t integer_sqrt(std::int64_t v) {
    auto d = static_cast<std::int64_t>(std::sqrt(static_cast<Real>(v)));
    while (d * d > v)
        --d;
    while ((d + 1) * (d + 1) <= v)
        ++d;
    return d;
}

void shade_disc(uchar* bits, qsizetype bytes_per_line, int width, int height, int cx, int cy, int m,
                QRgb colour) {
    if (m < 1)
        m = 1;
    const std::int64_t mm = m, x = cx, y = cy;
    // The rows and columns of the disc's square that fall inside the image.
    const std::int64_t dv_first = std::max(-mm, -y), dv_last = std::min(mm, height - 1 - y);
    const std::int64_t du_first = std::max(-mm, -x), du_last = std::min(mm, width - 1 - x);
    if (dv_first > dv_last || du_first > du_last)
        return;

    // Highlight up and left of the centre by about a third of the radius.
    const std::int64_t h = (2 * mm) / 3;
    const std::int64_t hx = h - mm, hy = h - mm;
    const Real k = 152 / (std::sqrt(static_cast<Real>(hx * hx + hy * hy)) + static_cast<Real>(mm));

    // The darkest step any shown pixel can reach: at a corner of the shown part of the square.
    const std::int64_t far_u = std::max(std::abs(du_first - hx), std::abs(du_last - hx));
    const std::int64_t far_v = std::max(std::abs(dv_first - hy), std::abs(dv_last - hy));
    const int last_step = shade_step(far_u * far_u + far_v * far_v, k);

    std::array<QRgb, SHADE_STEPS> shades;
    const int red = qRed(colour), green = qGreen(colour), blue = qBlue(colour);
    for (int t = 0; t <= last_step; ++t) {
        const int o = 255 - t;
        shades[t] = qRgb(red * o / 256, green * o / 256, blue * o / 256);
    }

    // thresholds[j] = the smallest n of step j, for j = 0..last_step; a sentinel above.
    std::array<std::int64_t, SHADE_STEPS + 1> thresholds;
    const std::int64_t shown = (du_last - du_first + 1) * (dv_last - dv_first + 1);
    const bool walk_steps = shown > 2 * static_cast<std::int64_t>(last_step);
    if (walk_steps) {
        thresholds[0] = 0;
        for (int j = 1; j <= last_step; ++j) {
            const Real root = static_cast<Real>(j) / k;
            std::int64_t n = std::max(static_cast<std::int64_t>(root * root), thresholds[j - 1]);
            while (n > thresholds[j - 1] && std::sqrt(static_cast<Real>(n - 1)) * k >= j)
                --n;
            while (std::sqrt(static_cast<Real>(n)) * k < j)
                ++n;
            thresholds[j] = n;
        }
        thresholds[last_step + 1] = std::numeric_limits<std::int64_t>::max();
    }

    // A pixel belongs to the disc when round(sqrt(du^2 + dv^2)) <= m, i.e. du^2 + dv^2 <= m^2 + m
    // (the root of an integer is never exactly half way between two integers).
    const std::int64_t disc_limit = mm * mm + mm;
    for (std::int64_t dv = dv_first; dv <= dv_last; ++dv) {
        const std::int64_t span = integer_sqrt(disc_limit - dv * dv);
        const std::int64_t u_first = std::max(-span, du_first), u_last = std::min(span, du_last);
        if (u_first > u_last)
            continue;
        auto* line = reinterpret_cast<QRgb*>(bits + (y + dv) * bytes_per_line) + x;
        const std::int64_t ev = dv - hy;
        std::int64_t eu = u_first - hx;
        std::int64_t n = eu * eu + ev * ev;
        if (!walk_steps) {
            for (std::int64_t du = u_first; du <= u_last; ++du, ++eu) {
                line[du] = shades[shade_step(n, k)];
                n += 2 * eu + 1; // (eu + 1)^2 - eu^2
            }
            continue;
        }
        const auto after = std::upper_bound(thresholds.begin(), thresholds.begin() + last_step + 1, n);
        int j = static_cast<int>(after - thresholds.begin()) - 1;
        for (std::int64_t du = u_first; du <= u_last; ++du, ++eu) {
            while (n >= thresholds[j + 1])
                ++j;
            while (n < thresholds[j])
                --j;
            line[du] = shades[j];
            n += 2 * eu + 1;
        }
    }
}

// ---------------------------------------------------------------- text and shapes

// What one drawing paints with: the painter on the off-screen image, its pixel rows for the
// shaded discs, the font metrics and the pens, made once per drawing.
struct Canvas {
    QPainter& painter;
    const QFontMetrics& metrics;
    uchar* bits;
    qsizetype bytes_per_line;
    int width, height;
    QPen black{QColor(SCENE_BLACK), 0};
    QPen grey{QColor(SCENE_GREY), 0};
    QPen dotted_silver{QColor(SCENE_SILVER), 0, Qt::DotLine};
};

// Text with its top-left corner at (x, y), black on an opaque cell of the current brush colour.
void draw_text(Canvas& canvas, int x, int y, const QString& text, QRgb background) {
    const QFontMetrics& metrics = canvas.metrics;
    canvas.painter.fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()),
                            QColor(background));
    canvas.painter.setPen(canvas.black);
    canvas.painter.drawText(x, y + metrics.ascent(), text);
}

QPoint to_qpoint(PixelPoint p) {
    return QPoint(p.x, p.y);
}

int radius_in_pixels(Real size, const Camera& camera) {
    return std::max(0, round_to_pixel(size * camera.view_scale));
}

// Whether the outline of a circle can cross a width x height surface: not when the surface lies
// wholly outside the circle or wholly inside it (a huge outline need not be traced at all).
bool outline_crosses_surface(QPoint centre, int radius, int width, int height) {
    const std::int64_t x = centre.x(), y = centre.y(), r = radius;
    const std::int64_t near_x = std::max<std::int64_t>({0, -x, x - (width - 1)});
    const std::int64_t near_y = std::max<std::int64_t>({0, -y, y - (height - 1)});
    if (near_x * near_x + near_y * near_y > (r + 1) * (r + 1))
        return false;
    const std::int64_t far_x = std::max<std::int64_t>(std::abs(x), std::abs(x - (width - 1)));
    const std::int64_t far_y = std::max<std::int64_t>(std::abs(y), std::abs(y - (height - 1)));
    return r < 2 || far_x * far_x + far_y * far_y >= (r - 1) * (r - 1);
}

void draw_reference_box(Canvas& canvas, const Camera& camera) {
    QPainter& painter = canvas.painter;
    const ReferenceBox& b = REFERENCE_BOX;
    const QPoint A = to_qpoint(project_point(camera, b.xmin, b.ymin, b.zmin));
    const QPoint B = to_qpoint(project_point(camera, b.xmin, b.ymax, b.zmin));
    const QPoint C = to_qpoint(project_point(camera, b.xmax, b.ymax, b.zmin));
    const QPoint D = to_qpoint(project_point(camera, b.xmax, b.ymin, b.zmin));
    const QPoint E = to_qpoint(project_point(camera, b.xmin, b.ymin, b.zmax));
    const QPoint F = to_qpoint(project_point(camera, b.xmin, b.ymax, b.zmax));
    const QPoint G = to_qpoint(project_point(camera, b.xmax, b.ymin, b.zmax));
    // The floor z = zmin and the walls x = xmin and y = ymin.
    const QPoint floor_and_wall[] = {A, B, C, D, A, E, F, B};
    const QPoint wall[] = {E, G, D};
    painter.setPen(canvas.grey);
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(floor_and_wall, 8);
    painter.drawPolyline(wall, 3);

    const struct {
        const char* letter;
        PixelPoint at;
    } axes[] = {{"x", project_point(camera, 1.05L * b.xmax, b.ymin, b.zmin)},
                {"y", project_point(camera, b.xmin, 1.05L * b.ymax, b.zmin)},
                {"z", project_point(camera, b.xmin, b.ymin, 1.05L * b.zmax)}};
    for (const auto& axis : axes)
        draw_text(canvas, axis.at.x - 4, axis.at.y - 4, QString::fromLatin1(axis.letter), SCENE_SILVER);
}

// The object of sphere i, or null when the snapshot's tables do not hold it.
const Object* object_of(const SystemModel& model, int i) {
    const int o = model.spheres[i].object;
    if (o < 1 || o >= static_cast<int>(model.objects.size()))
        return nullptr;
    return &model.objects[o];
}

// Draws sphere i: the string (before or after the disc, by depth), the dotted outline of a
// composite object (by its last sphere), the disc and the label.
void draw_sphere(Canvas& canvas, const SceneSnapshot& snapshot, Real depth, const Camera& camera, int i) {
    QPainter& painter = canvas.painter;
    const SystemModel& model = snapshot.model;
    const Sphere& s = model.spheres[i];
    const Object* object = object_of(model, i);
    const QRgb fill = sphere_fill_colour(snapshot, i);

    bool string_after_disc = false;
    QPoint string_from, string_to;
    if (object && object->kind == ObjectKind::Ball) {
        const Real along = object->L - s.r; // the string ends on the ball's surface
        if (along > 0) {
            string_from = to_qpoint(project_point(camera, s.x0, s.y0, s.z0));
            const Point3 end = StringDirection(object->Ax, object->Az).at(s.x0, s.y0, s.z0, along);
            const Real px = end.x, py = end.y, pz = end.z;
            string_to = to_qpoint(project_point(camera, px, py, pz));
            if (depth > depth_of(camera, px, py, pz)) {
                painter.setPen(canvas.black);
                painter.drawLine(string_from, string_to);
            } else {
                string_after_disc = true;
            }
        }
    } else if (object && object->last() == i) {
        const Object& o = *object;
        const Real R = s.size;
        const StringDirection string(o.Ax, o.Az);
        const Point3 c = string.at(o.ref_x0, o.ref_y0, o.ref_z0, o.L);
        const Real cx = c.x, cy = c.y, cz = c.z;
        const QPoint centre = to_qpoint(project_point(camera, cx, cy, cz));
        const Real along = o.L - R;
        if (along > 0) {
            string_from = to_qpoint(project_point(camera, o.ref_x0, o.ref_y0, o.ref_z0));
            const Point3 end = string.at(o.ref_x0, o.ref_y0, o.ref_z0, along);
            const Real px = end.x, py = end.y, pz = end.z;
            string_to = to_qpoint(project_point(camera, px, py, pz));
            if (depth_of(camera, px, py, pz) < depth_of(camera, cx, cy, cz)) {
                painter.setPen(canvas.grey); // behind the object's centre
                painter.drawLine(string_from, string_to);
            } else {
                string_after_disc = true;
            }
        }
        const int radius = radius_in_pixels(R, camera);
        if (outline_crosses_surface(centre, radius, canvas.width, canvas.height)) {
            painter.setPen(canvas.dotted_silver);
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(centre, radius, radius);
        }
    }

    const PixelPoint at = project_point(camera, s.x, s.y, s.z);
    const int m = radius_in_pixels(s.r, camera);
    if (snapshot.options[Option::ShadedBalls]) {
        shade_disc(canvas.bits, canvas.bytes_per_line, canvas.width, canvas.height, at.x, at.y, m, fill);
    } else {
        const QRect box(at.x - m, at.y - m, 2 * m, 2 * m);
        // The outline reaches the right and bottom edges of the box too.
        if (box.adjusted(0, 0, 1, 1).intersects(QRect(0, 0, canvas.width, canvas.height))) {
            painter.setPen(canvas.black);
            painter.setBrush(QColor(fill));
            painter.drawEllipse(box);
        }
    }

    if (string_after_disc) {
        painter.setPen(canvas.black);
        painter.drawLine(string_from, string_to);
    }

    if (snapshot.options[Option::Identify]) {
        const QString label =
            snapshot.options[Option::IdentifyByNumbers] ? QString::number(i) : QString::fromStdString(s.name);
        draw_text(canvas, at.x, at.y, label, SCENE_YELLOW);
    }
}

} // namespace

Scene::Scene(int width, int height)
    : offscreen_(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32),
      font_(QStringLiteral("DejaVu Sans")) {
    offscreen_.fill(QColor(SCENE_SILVER));
    font_.setStyleHint(QFont::SansSerif);
    font_.setPixelSize(LABEL_PIXEL_SIZE);
    draw_order_.reserve(MAX_SPHERES);
    order_keys_.reserve(MAX_SPHERES);
    depths_.reserve(MAX_SPHERES + 1);
}

void Scene::resize(int width, int height, double pixel_ratio) {
    const QSize size(std::max(width, 1), std::max(height, 1));
    const double ratio = pixel_ratio >= 1 && pixel_ratio <= 16 ? pixel_ratio : 1;
    if (ratio != pixel_ratio_) {
        pixel_ratio_ = ratio;
        font_.setPixelSize(static_cast<int>(std::lround(LABEL_PIXEL_SIZE * ratio)));
    } else if (size == offscreen_.size()) {
        return;
    }
    offscreen_ = QImage(size, QImage::Format_RGB32);
    offscreen_.fill(QColor(SCENE_SILVER));
    has_picture_ = false;
}

QRgb sphere_fill_colour(const SceneSnapshot& snapshot, int i) {
    if (!snapshot.forces_valid)
        return SCENE_SILVER;
    const Sphere& s = snapshot.model.spheres[i];
    const Real Q = static_cast<std::size_t>(i) < snapshot.Q.size() ? snapshot.Q[i] : 0;
    const Real density = Q / (s.r * s.r);
    if (density >= 0) {
        const int c = colour_level(density * 255 / snapshot.density_max);
        return qRgb(c, 255 - c, 0);
    }
    const int c = colour_level(density * 255 / snapshot.density_min);
    return qRgb(0, 255 - c, c);
}

void draw_shaded_ball(QImage& target, int x, int y, int m, QRgb colour) {
    if (target.isNull() || target.depth() != 32)
        return;
    shade_disc(target.bits(), target.bytesPerLine(), target.width(), target.height(), x, y, m, colour);
}

QString status_line_angles(const Camera& camera) {
    const std::string line = "a1=" + real_to_fixed_text(camera.view_azimuth * 180 / PI, 4, 1) +
                             " a2=" + real_to_fixed_text(camera.view_elevation * 180 / PI, 4, 1);
    return QString::fromStdString(line);
}

QString status_line_pan(const Camera& camera, int paint_width) {
    const std::string line = " x0=" + pad_left(std::to_string(camera.pan_x), 3) + " (" +
                             pad_left(std::to_string(paint_width / 2), 3) +
                             ") y0=" + pad_left(std::to_string(camera.pan_y), 3) +
                             " a=" + real_to_fixed_text(camera.view_scale, 4, 2);
    return QString::fromStdString(line);
}

bool draw_scene(Scene& scene, const SceneSnapshot& snapshot, const Camera& camera, bool camera_lines) {
    if (!snapshot.system_initialized)
        return false; // the previous picture stays
    const SystemModel& model = snapshot.model;
    QImage& image = scene.offscreen_;
    const int width = image.width(), height = image.height();
    const int capacity = std::min(MAX_SPHERES, static_cast<int>(model.spheres.size()) - 1);
    const int n = std::clamp(model.sphere_count, 0, std::max(capacity, 0));

    // Painter's order: ascending depth (farthest first); equal depths by ascending number, so the
    // higher number covers the lower one. A NaN depth sorts first.
    scene.order_keys_.resize(static_cast<std::size_t>(n));
    scene.depths_.resize(static_cast<std::size_t>(n) + 1);
    for (int i = 1; i <= n; ++i) {
        const Sphere& s = model.spheres[i];
        const Real depth = depth_of(camera, s.x, s.y, s.z);
        scene.depths_[i] = depth;
        const Real key = std::isnan(depth) ? -std::numeric_limits<Real>::infinity() : depth;
        scene.order_keys_[i - 1] = {key, i};
    }
    std::sort(scene.order_keys_.begin(), scene.order_keys_.end());
    scene.draw_order_.resize(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k)
        scene.draw_order_[k] = scene.order_keys_[k].second;

    // Shaded discs are written straight into the pixel rows; take them before painting starts.
    uchar* bits = image.bits();
    QPainter painter(&image);
    painter.setFont(scene.font_);
    const QFontMetrics metrics(scene.font_, &image);
    Canvas canvas{painter, metrics, bits, image.bytesPerLine(), width, height};
    if (scene.pixel_ratio_ > 1) {
        // Lines as wide on the screen as at ratio 1 (where they are one pixel, cosmetic).
        const double line = std::round(scene.pixel_ratio_);
        for (QPen* pen : {&canvas.black, &canvas.grey, &canvas.dotted_silver})
            pen->setWidthF(line);
    }

    // A one-pixel black border around a silver field.
    painter.setPen(canvas.black);
    painter.setBrush(QColor(SCENE_SILVER));
    painter.drawRect(QRect(0, 0, width - 1, height - 1));

    draw_reference_box(canvas, camera);
    if (camera_lines) {
        const auto at = [&](int logical) {
            return static_cast<int>(std::lround(logical * scene.pixel_ratio_));
        };
        draw_text(canvas, at(2), at(2), status_line_angles(camera), SCENE_SILVER);
        draw_text(canvas, at(2), at(20), status_line_pan(camera, width), SCENE_SILVER);
    }

    for (int k = 0; k < n; ++k) {
        const int i = scene.draw_order_[k];
        draw_sphere(canvas, snapshot, scene.depths_[i], camera, i);
    }

    painter.end();
    scene.has_picture_ = true;
    return true;
}

namespace {

Status save_scene_image(const QImage& image, const QString& path, const char* format) {
    auto fail = [](const QString& why) { return Status::failure(why.toStdString()); };
    if (image.isNull())
        return fail(QStringLiteral("There is no picture to save."));
    if (path.isEmpty())
        return fail(QStringLiteral("No file name given."));
    // Written beside the target and renamed over it, so a failed save keeps the old file.
    // Unbuffered, so a short write (a full disk, a file size limit) fails here instead of
    // being lost in a buffer flushed after the success was reported.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(file.errorString());
    QImageWriter writer(&file, format);
    if (!writer.write(image)) {
        // A failing device says more than the writer's own "Unknown error".
        const QString why = writer.error() == QImageWriter::DeviceError && !file.errorString().isEmpty() &&
                                    file.error() != QFileDevice::NoError
                                ? file.errorString()
                                : writer.errorString();
        file.cancelWriting();
        return fail(why);
    }
    if (!file.commit())
        return fail(file.errorString());
    return Status::success();
}

} // namespace

Status save_scene_bmp(const QImage& image, const QString& path) {
    return save_scene_image(image, path, "bmp");
}

Status save_scene_png(const QImage& image, const QString& path) {
    return save_scene_image(image, path, "png");
}

Status save_scene_bmp(const Scene& scene, const QString& path) {
    return save_scene_bmp(scene.image(), path);
}

} // namespace ambrel
