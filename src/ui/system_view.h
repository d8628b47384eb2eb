// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's 3D view: the camera and its navigation (drag modes, the wheel, Fit), the scene
// that draws a snapshot of the system on the view's surface, and the notes over the picture (the
// drag mode, the colour legend, "out of date"), which the saved picture leaves out. While no command
// runs it draws the session's state; while one runs, the newest snapshot the command sent (and it
// can still be turned).
//
// The camera works on a VIEW_WIDTH x VIEW_HEIGHT surface whatever the size of the view on screen;
// the picture on screen is drawn at the view's size in device pixels (twice the logical size on a
// screen scaled by 2) through camera_for_surface.
#pragma once

#include "session/session.h"
#include "session/snapshot.h"
#include "view/camera.h"
#include "view/scene.h"

#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QMouseEvent;
class QPainter;
class QRect;
class QWheelEvent;

namespace ambrel::ui {

class ViewSurface;

// The drawn notes over the 3D view, which are not part of the picture that is saved.
struct ViewNotes {
    QString drag_mode;   // what a drag does: "Drag: Rotate", ... (empty before the first picture)
    QStringList legend;  // what the colours of the spheres mean (empty when they are not coloured)
    QString out_of_date; // the description has changed since the picture's Initialize
};

// What the view asks of the window around it.
struct SystemViewHost {
    std::function<bool()> busy;        // a command is under way
    std::function<bool()> out_of_date; // the description was edited since it was last read
};

class SystemView : public QObject {
    Q_OBJECT

  public:
    // Draws on `surface` the state of `session` (read only while no command runs).
    SystemView(ViewSurface* surface, const Session& session, SystemViewHost host, QObject* parent = nullptr);

    // The camera of the navigation, and the one that draws the picture at the surface's size.
    const Camera& camera() const { return camera_; }
    Camera surface_camera() const;
    const Scene& scene() const { return scene_; }
    // The snapshot of the picture on the view (null before the first).
    const std::shared_ptr<const SceneSnapshot>& drawn_snapshot() const { return drawn_snapshot_; }

    // The next Initialize returns the camera to its default view (at start, and after Reset).
    bool reset_pending() const { return reset_pending_; }
    void request_reset() { reset_pending_ = true; }
    // A command is about to read the description: the camera takes a pending reset now.
    void prepare_for_initialize();
    // A description was read: the camera takes the new system.
    void take_new_system();
    // The next system read is framed whole (a file was opened): fit_if_pending does it once the
    // command that read it has ended.
    void fit_next_system() { fit_pending_ = true; }
    void fit_if_pending();

    void set_drag_mode(DragMode mode) { camera_.drag_mode = mode; }
    // Fits the camera to the system on the view; false when there is none.
    bool fit();
    // Draws the session's state again (while no command runs), or the command's newest snapshot
    // with the present drawing switches.
    void redraw();
    // The newest snapshot a command sent.
    void show_snapshot(std::shared_ptr<const SceneSnapshot> snapshot);
    // The surface's new place and size: the picture is drawn again at that size.
    void set_geometry(const QRect& geometry);
    // Asks for a repaint (the notes may have changed).
    void update();

    ViewNotes notes() const;

    // Saves the picture: a PNG as the view shows it, at the view's size in device pixels, with the
    // colour legend and, when `camera_numbers`, the camera's status lines; a bitmap at the 585 x 585
    // pixels of the view's design, whatever the view's size now, with the status lines.
    Status save_picture(const QString& path, bool png, bool camera_numbers = false) const;

    // The surface's events.
    void paint(QPainter* painter);
    void mouse_down(QMouseEvent* event);
    void mouse_move(QMouseEvent* event);
    void mouse_up(QMouseEvent* event);
    void wheel(QWheelEvent* event);

  private:
    // The size of the picture: the surface's in device pixels.
    QSize picture_size() const;
    // The picture takes the surface's size and ratio of device pixels (drawn again if they changed).
    void fit_picture_to_surface();
    // Draws the snapshot; false (the previous picture stays) when it shows no initialised system.
    bool draw(const std::shared_ptr<const SceneSnapshot>& snapshot);
    void draw_notes(QPainter* painter) const;
    // The view takes navigation (drags, the wheel, Fit) only while it shows an initialised system.
    bool navigable() const;
    QPoint view_point(const QMouseEvent* event) const;

    ViewSurface* surface_;
    const Session& session_;
    SystemViewHost host_;
    Camera camera_;
    Scene scene_;
    bool reset_pending_ = true;
    bool fit_pending_ = false;
    // What the view draws: the session's state while idle, the newest one a command sent while busy.
    std::shared_ptr<const SceneSnapshot> view_snapshot_;
    // The snapshot of the picture on the view, drawn again when the view changes size.
    std::shared_ptr<const SceneSnapshot> drawn_snapshot_;
};

} // namespace ambrel::ui
