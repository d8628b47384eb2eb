// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/system_view.h"

#include "ui/view_surface.h"
#include "ui/window_style.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <utility>

namespace ambrel::ui {

namespace {

// One notch of the mouse wheel zooms by this factor.
constexpr Real WHEEL_ZOOM_STEP = 1.25L;

QString drag_mode_name(DragMode mode) {
    switch (mode) {
    case DragMode::Rotate:
        break;
    case DragMode::Zoom:
        return QStringLiteral("Zoom");
    case DragMode::Pan:
        return QStringLiteral("Pan");
    case DragMode::Aspect:
        return QStringLiteral("Aspect");
    }
    return QStringLiteral("Rotate");
}

// A charge density Q/r^2 (C/m^2) in nC/cm^2, as the legend shows it.
QString density_text(Real density) {
    return QString::number(static_cast<double>(density * 1e5L), 'g', 4);
}

std::shared_ptr<const SceneSnapshot> snapshot_of(const Session& session) {
    return std::make_shared<SceneSnapshot>(
        make_scene_snapshot(session.model, session.evaluation, session.options, session.system_initialized));
}

// A note sits on a pale box, so it reads over the spheres and the frame.
void note_box(QPainter* painter, const QRect& box) {
    painter->setPen(QColor(128, 128, 128));
    painter->setBrush(QColor(255, 255, 225));
    painter->drawRect(box.adjusted(0, 0, -1, -1));
    painter->setPen(Qt::black);
}

// The colour legend in the bottom right corner of `bounds`: its first line names the quantity,
// each other line starts with its colour.
void draw_legend(QPainter* painter, const QStringList& legend, const QRect& bounds) {
    if (legend.isEmpty())
        return;
    painter->setFont(window_font());
    const QFontMetrics metrics = painter->fontMetrics();
    const int line = metrics.height();
    int width = 0;
    for (const QString& text : legend)
        width = std::max(width, metrics.horizontalAdvance(text));
    const int swatch = line - 4;
    width += swatch + 14;
    const int height = static_cast<int>(legend.size()) * line + 6;
    const QRect box(bounds.width() - width - 4, bounds.height() - height - 4, width, height);
    note_box(painter, box);
    for (qsizetype k = 0; k < legend.size(); ++k) {
        const int top = box.top() + 3 + static_cast<int>(k) * line;
        const QString& text = legend[k];
        if (k > 0) {
            const QColor colour = text.startsWith(QLatin1String("red"))     ? QColor(255, 0, 0)
                                  : text.startsWith(QLatin1String("green")) ? QColor(0, 255, 0)
                                                                            : QColor(0, 0, 255);
            painter->fillRect(QRect(box.left() + 4, top + 2, swatch, swatch), colour);
        }
        const int left = k > 0 ? box.left() + swatch + 10 : box.left() + 4; // the title from the edge
        painter->drawText(QRect(left, top, width, line), Qt::AlignLeft | Qt::AlignVCenter, text);
    }
}

} // namespace

SystemView::SystemView(ViewSurface* surface, const Session& session, SystemViewHost host, QObject* parent)
    : QObject(parent), surface_(surface), session_(session), host_(std::move(host)),
      view_snapshot_(snapshot_of(session)) {}

QSize SystemView::picture_size() const {
    const double ratio = surface_->devicePixelRatioF();
    return QSize(static_cast<int>(std::lround(surface_->width() * ratio)),
                 static_cast<int>(std::lround(surface_->height() * ratio)));
}

Camera SystemView::surface_camera() const {
    const QSize size = picture_size();
    return camera_for_surface(camera_, size.width(), size.height());
}

void SystemView::fit_picture_to_surface() {
    const QSize size = picture_size();
    const double ratio = surface_->devicePixelRatioF();
    if (size == scene_.image().size() && ratio == scene_.pixel_ratio())
        return;
    scene_.resize(size.width(), size.height(), ratio);
    if (drawn_snapshot_)
        draw_scene(scene_, *drawn_snapshot_, surface_camera());
}

void SystemView::prepare_for_initialize() {
    // The camera reads the pending reset before Initialize clears it.
    prepare_view_for_initialize(camera_, std::exchange(reset_pending_, false), VIEW_WIDTH, VIEW_HEIGHT);
}

void SystemView::take_new_system() {
    update_view_transform(camera_);
}

void SystemView::fit_if_pending() {
    if (fit_pending_ && session_.system_initialized) {
        fit_pending_ = false;
        fit_view(camera_, session_.model, VIEW_WIDTH, VIEW_HEIGHT);
    }
}

bool SystemView::fit() {
    if (!navigable() || !fit_view(camera_, view_snapshot_->model, VIEW_WIDTH, VIEW_HEIGHT))
        return false;
    redraw();
    return true;
}

void SystemView::redraw() {
    if (!host_.busy()) {
        view_snapshot_ = snapshot_of(session_);
    } else if (const ambrel::Options& live = session_.options;
               live[Option::ShadedBalls] != view_snapshot_->options[Option::ShadedBalls] ||
               live[Option::Identify] != view_snapshot_->options[Option::Identify] ||
               live[Option::IdentifyByNumbers] != view_snapshot_->options[Option::IdentifyByNumbers]) {
        // A drawing switch flipped during the command: the picture follows it at once.
        auto restyled = std::make_shared<SceneSnapshot>(*view_snapshot_);
        restyled->options = live;
        view_snapshot_ = std::move(restyled);
    }
    draw(view_snapshot_);
    surface_->update();
}

void SystemView::show_snapshot(std::shared_ptr<const SceneSnapshot> snapshot) {
    view_snapshot_ = std::move(snapshot);
    redraw();
}

void SystemView::set_geometry(const QRect& geometry) {
    if (surface_->geometry() == geometry)
        return;
    surface_->setGeometry(geometry);
    fit_picture_to_surface();
    surface_->update();
}

void SystemView::update() {
    surface_->update();
}

bool SystemView::draw(const std::shared_ptr<const SceneSnapshot>& snapshot) {
    if (!draw_scene(scene_, *snapshot, surface_camera()))
        return false;
    drawn_snapshot_ = snapshot;
    return true;
}

void SystemView::paint(QPainter* painter) {
    const QRect bounds = surface_->rect();
    // The window may have moved to a screen with another ratio of device pixels.
    fit_picture_to_surface();
    if (scene_.has_picture()) {
        // The picture has a pixel for each device pixel of the surface.
        painter->drawImage(QRectF(bounds), scene_.image());
        draw_notes(painter);
        return;
    }
    // Until the first Initialize the empty view is outlined.
    painter->setPen(QColor(192, 192, 192));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(bounds.adjusted(0, 0, -1, -1));
}

QPoint SystemView::view_point(const QMouseEvent* event) const {
    // Mouse positions in the pixels of the scene, whatever the size of the surface.
    const QPointF p = event->position();
    const int w = std::max(1, surface_->width()), h = std::max(1, surface_->height());
    return QPoint(static_cast<int>(p.x() * VIEW_WIDTH / w), static_cast<int>(p.y() * VIEW_HEIGHT / h));
}

bool SystemView::navigable() const {
    // The picture on the view decides, so the view can be turned while a command runs.
    return host_.busy() ? view_snapshot_->system_initialized : session_.system_initialized;
}

void SystemView::mouse_down(QMouseEvent* event) {
    const QPoint p = view_point(event);
    begin_drag(camera_, navigable(), (event->buttons() & Qt::LeftButton) != 0, p.x(), p.y());
}

void SystemView::mouse_move(QMouseEvent* event) {
    const QPoint p = view_point(event);
    if (continue_drag(camera_, p.x(), p.y()))
        redraw();
}

void SystemView::mouse_up(QMouseEvent*) {
    end_drag(camera_);
}

void SystemView::wheel(QWheelEvent* event) {
    event->accept();
    const int notches = event->angleDelta().y(); // in eighths of a degree, 120 a notch
    if (notches == 0 || !navigable() || camera_.drag_active)
        return;
    // Zooms in (wheel turned away from the user) or out, about the point under the pointer.
    const QPointF p = event->position();
    const Real x = p.x() * VIEW_WIDTH / std::max(1, surface_->width());
    const Real y = p.y() * VIEW_HEIGHT / std::max(1, surface_->height());
    const Real factor = std::pow(WHEEL_ZOOM_STEP, static_cast<Real>(notches) / 120);
    if (zoom_about(camera_, round_to_pixel(x), round_to_pixel(y), factor))
        redraw();
}

Status SystemView::save_picture(const QString& path, bool png, bool camera_numbers) const {
    if (png) {
        if (!drawn_snapshot_)
            return save_scene_png(scene_.image(), path);
        // The picture of the view with its colour legend, so that it reads alone; the camera's
        // numbers only when asked for.
        Scene picture(1, 1);
        const QSize size = picture_size();
        picture.resize(size.width(), size.height(), scene_.pixel_ratio());
        draw_scene(picture, *drawn_snapshot_, surface_camera(), camera_numbers);
        QImage image = picture.image();
        QPainter painter(&image);
        painter.scale(scene_.pixel_ratio(), scene_.pixel_ratio());
        draw_legend(&painter, notes().legend, surface_->rect());
        painter.end();
        return save_scene_png(image, path);
    }
    Scene bitmap(VIEW_WIDTH, VIEW_HEIGHT);
    if (drawn_snapshot_)
        draw_scene(bitmap, *drawn_snapshot_, camera_);
    return save_scene_bmp(bitmap, path);
}

ViewNotes SystemView::notes() const {
    ViewNotes notes;
    if (!scene_.has_picture())
        return notes;
    notes.drag_mode = QStringLiteral("Drag: ") + drag_mode_name(camera_.drag_mode);
    if (drawn_snapshot_ && drawn_snapshot_->forces_valid) {
        notes.legend << QStringLiteral("Q/r\u00b2 in nC/cm\u00b2:");
        if (drawn_snapshot_->density_max > 0)
            notes.legend << QStringLiteral("red ") + density_text(drawn_snapshot_->density_max);
        notes.legend << QStringLiteral("green 0");
        if (drawn_snapshot_->density_min < 0)
            notes.legend << QStringLiteral("blue ") + density_text(drawn_snapshot_->density_min);
    }
    if (host_.out_of_date() || (!host_.busy() && !session_.system_initialized))
        notes.out_of_date = QStringLiteral("Description changed: press Inicialize");
    return notes;
}

void SystemView::draw_notes(QPainter* painter) const {
    const ViewNotes notes = this->notes();
    const QRect bounds = surface_->rect();
    painter->setFont(window_font());
    const QFontMetrics metrics = painter->fontMetrics();
    const int line = metrics.height();
    if (!notes.drag_mode.isEmpty()) {
        const QRect box(4, bounds.height() - line - 8, metrics.horizontalAdvance(notes.drag_mode) + 8,
                        line + 4);
        note_box(painter, box);
        painter->drawText(box, Qt::AlignCenter, notes.drag_mode);
    }
    draw_legend(painter, notes.legend, bounds);
    if (!notes.out_of_date.isEmpty()) {
        const int width = metrics.horizontalAdvance(notes.out_of_date) + 16;
        const QRect box((bounds.width() - width) / 2, 44, width, line + 8);
        painter->setPen(Qt::black);
        painter->setBrush(QColor(255, 255, 0));
        painter->drawRect(box.adjusted(0, 0, -1, -1));
        painter->drawText(box, Qt::AlignCenter, notes.out_of_date);
    }
}

} // namespace ambrel::ui
