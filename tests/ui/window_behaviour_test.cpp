// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as a desktop program: resizing, placing on the screen and remembering its
// geometry, the mouse wheel and Fit in the view, the notes over the view, pictures, the output
// panel's menu, the status bar and the menus' keys.
#include "ui/main_window.h"

#include "ui/about_window.h"
#include "ui/charts.h"
#include "ui/electroscope_window.h"
#include "ui/extra_window.h"
#include "ui/jacobian_window.h"
#include "ui/main_layout.h"
#include "ui/nedit.h"
#include "ui/split_handle.h"
#include "ui/sweep_window.h"
#include "ui/view_surface.h"
#include "ui/window_style.h"
#include "ui_test_support.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>

namespace ambrel::ui::test {
namespace {

class WindowBehaviourTest : public ::testing::Test {
  protected:
    WindowBehaviourTest() : window((forget_window_settings(), std::make_unique<MainWindow>(&dialogs))) {
        resize_client(*window, DEFAULT_CLIENT_SIZE);
    }

    QWidget* view() const { return window->PaintBox1; }
    QStringList output() const { return window->Memo2->toPlainText().split(QLatin1Char('\n')); }
    void inicialize() const { click_and_wait(*window, window->Button1); }
    void set_description(const QString& text) const { window->Memo1->setPlainText(text); }
    static QByteArray read_file(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The pixel rectangle of sphere i's disc in the picture on the view.
    QRect disc(int i) const {
        const Camera camera = window->surface_camera();
        const Sphere& s = window->session().model.spheres[i];
        const PixelPoint at = project_point(camera, s.x, s.y, s.z);
        const int m = static_cast<int>(std::lround(static_cast<double>(s.r * camera.view_scale)));
        return QRect(at.x - m, at.y - m, 2 * m + 1, 2 * m + 1);
    }
    // Every sphere's disc lies inside the picture.
    void expect_all_spheres_inside() const {
        const QRect picture(QPoint(0, 0), window->scene().image().size());
        for (int i = 1; i <= window->session().model.sphere_count; ++i)
            EXPECT_TRUE(picture.contains(disc(i))) << "sphere " << i;
    }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;
};

// ---------------------------------------------------------------- size and layout

TEST(MainLayout, DefaultSizeIsTheDesignAndEveryOtherSizeSharesTheRoom) {
    const MainLayout design = main_layout(DEFAULT_CLIENT_SIZE);
    EXPECT_EQ(design.memo1, QRect(8, 40, 497, 209));
    EXPECT_EQ(design.memo2, QRect(8, 256, 497, 369));
    EXPECT_EQ(design.view, QRect(512, 40, 585, 585));
    EXPECT_EQ(design.second_group_offset, QPoint(0, 0));

    for (const QSize client : {QSize(1904, 1000), QSize(1264, 720), QSize(944, 450), QSize(1106, 900),
                               QSize(1600, 634), minimum_client_size()}) {
        const MainLayout l = main_layout(client);
        const QRect area(QPoint(0, 0), client);
        SCOPED_TRACE(QString("%1x%2").arg(client.width()).arg(client.height()).toStdString());
        EXPECT_EQ(l.view.width(), l.view.height());
        for (const QRect& r : {l.memo1, l.memo2, l.view}) {
            EXPECT_TRUE(area.contains(r));
            EXPECT_GE(r.width(), 150);
            EXPECT_GE(r.height(), 60);
        }
        EXPECT_FALSE(l.memo1.intersects(l.memo2));
        EXPECT_FALSE(l.memo1.intersects(l.view));
        EXPECT_FALSE(l.memo2.intersects(l.view));
        // Narrower than the row of controls: the run's fields move into a second row.
        const bool two_rows = client.width() < DEFAULT_CLIENT_SIZE.width();
        EXPECT_EQ(l.second_group_offset, two_rows ? QPoint(-504, 33) : QPoint(0, 0));
        EXPECT_EQ(l.view.top(), two_rows ? 73 : 40);
    }
    // A maximised window on a large screen gives the view and the panels much more room.
    const MainLayout large = main_layout({1904, 1000});
    EXPECT_GT(large.view.width(), 900);
    EXPECT_GT(large.memo2.width(), 800);
}

TEST_F(WindowBehaviourTest, ResizingGrowsTheViewAndThePanelsAndThePicture) {
    inicialize();
    const Camera camera_before = window->camera();
    const QPoint ball_before(project_point(window->surface_camera(), 0.002L, 0.002L, 0).x, 0);

    resize_client(*window, {1500, 1000});
    const int side = view()->width();
    EXPECT_EQ(view()->height(), side);
    EXPECT_GT(side, 700);
    EXPECT_GT(window->Memo1->width(), 497);
    EXPECT_GT(window->Memo2->height(), 369);
    EXPECT_GT(window->Memo1->height(), 209);
    // The picture is drawn at the view's size: the same framing, scaled.
    EXPECT_EQ(window->scene().image().size(), QSize(side, side));
    EXPECT_TRUE(window->scene().has_picture());
    EXPECT_EQ(window->camera().view_scale, camera_before.view_scale); // navigation is unchanged
    const Camera surface = window->surface_camera();
    EXPECT_NEAR(static_cast<double>(surface.view_scale / camera_before.view_scale), side / 585.0, 1e-12);
    EXPECT_NEAR(project_point(surface, 0, 0, 0).x, 292 * side / 585.0, 1.0);
    EXPECT_NE(project_point(surface, 0.002L, 0.002L, 0).x, ball_before.x());

    // A window narrower than the row of controls keeps every control in reach.
    resize_client(*window, minimum_client_size());
    const QRect client = window->centralWidget()->rect();
    QList<QWidget*> controls;
    for (QWidget* w : window->centralWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        controls << w;
    for (QWidget* w : controls) {
        EXPECT_TRUE(client.contains(w->geometry())) << w->objectName().toStdString();
        for (QWidget* other : controls) {
            // (The design has the check box's caption end one pixel into the label after it.)
            const bool design = w->objectName() + other->objectName() == "CBrandomLabel1" ||
                                w->objectName() + other->objectName() == "Label1CBrandom";
            if (other != w && !design) {
                EXPECT_FALSE(w->geometry().intersects(other->geometry()))
                    << w->objectName().toStdString() << " " << other->objectName().toStdString();
            }
        }
    }
    EXPECT_EQ(window->scene().image().size(), view()->size());

    // Back to the default size: the design again.
    resize_client(*window, DEFAULT_CLIENT_SIZE);
    EXPECT_EQ(view()->geometry(), QRect(512, 40, 585, 585));
    EXPECT_EQ(window->NEdamping->geometry(), QRect(1032, 8, 65, 21));
}

// The Steps field shows six digits in full.
TEST_F(WindowBehaviourTest, StepsFieldIsWideEnoughForSixDigits) {
    TNEdit* steps = window->NEtentativas;
    QStyleOptionFrame option;
    option.initFrom(steps);
    option.rect = steps->rect();
    option.lineWidth = steps->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, steps);
    const QRect text_area = steps->style()->subElementRect(QStyle::SE_LineEditContents, &option, steps);
    const int room = text_area.width() - 2 * 2; // the line edit's own margin on each side
    EXPECT_GE(room, steps->fontMetrics().horizontalAdvance("999999"));
    EXPECT_LT(steps->geometry().right(), window->Label5->geometry().left());
}

// The window remembers its size and place between runs.
TEST_F(WindowBehaviourTest, GeometryIsRememberedBetweenRuns) {
    resize_client(*window, {700, 450});
    window->move(20, 30);
    window->show();
    process_events();
    const QRect before = window->geometry();
    ASSERT_TRUE(window->close());
    auto next = std::make_unique<MainWindow>(&dialogs);
    next->show();
    process_events();
    EXPECT_EQ(next->geometry().size(), before.size());
    EXPECT_EQ(next->geometry().topLeft(), before.topLeft());
}

// The splitters: a drag moves the room between the panels and the view, and between the two panels,
// within limits; the places are remembered with the window's geometry.
TEST(MainLayout, SplittersShareTheRoomWithinLimits) {
    const QSize client(1500, 1000);
    const MainLayout before = main_layout(client);
    EXPECT_EQ(before.view_splitter, QRect(before.memo1.right() + 1, 40, 7, 1000 - 40 - 9));
    EXPECT_EQ(before.panel_splitter, QRect(8, before.memo1.bottom() + 1, before.memo1.width(), 7));
    // The view's splitter dragged 100 pixels to the left: the view grows by as much, the panels shrink.
    SplitterShares shares = shares_for_view_splitter(client, {}, before.view_splitter.left() - 100);
    MainLayout after = main_layout(client, shares);
    EXPECT_EQ(after.view.width(), before.view.width() + 100);
    EXPECT_EQ(after.view.height(), after.view.width());
    EXPECT_EQ(after.memo1.width(), before.memo1.width() - 100);
    EXPECT_EQ(after.view_splitter.left(), before.view_splitter.left() - 100);
    // At most as tall as the room, at least 150 wide for the panels and the view.
    after = main_layout(client, shares_for_view_splitter(client, {}, 0));
    EXPECT_EQ(after.view.height(), 1000 - 40 - 9);
    after = main_layout(client, shares_for_view_splitter(client, {}, 1490));
    EXPECT_EQ(after.view.width(), 150);
    // The panels' splitter: the description's height, and the view keeps its place.
    shares = shares_for_panel_splitter(client, shares, before.panel_splitter.top() + 100);
    after = main_layout(client, shares);
    EXPECT_EQ(after.memo1.height(), before.memo1.height() + 100);
    EXPECT_EQ(after.memo2.top(), before.memo2.top() + 100);
    EXPECT_EQ(after.memo2.bottom(), before.memo2.bottom());
    EXPECT_EQ(after.view.width(), before.view.width() + 100);
    EXPECT_EQ(main_layout(client, shares_for_panel_splitter(client, {}, 0)).memo1.height(), 60);
    // The shares hold at another size: the proportions, not the pixels.
    const MainLayout smaller = main_layout({1200, 800}, shares);
    EXPECT_NEAR(double(smaller.memo1.height()) / (smaller.memo1.height() + smaller.memo2.height()),
                double(after.memo1.height()) / (after.memo1.height() + after.memo2.height()), 0.01);
}

TEST_F(WindowBehaviourTest, SplittersAreDraggedAndRememberedWithTheGeometry) {
    resize_client(*window, {1500, 1000});
    const QRect view_before = view()->geometry();
    const QRect memo_before = window->Memo1->geometry();
    // The user drags the handle between the panels and the view 150 pixels to the left, and the one
    // between the panels 80 pixels down.
    auto drag = [](QWidget* handle, QPoint by) {
        const QPoint grab(3, 40);
        QTest::mousePress(handle, Qt::LeftButton, Qt::NoModifier, grab);
        QMouseEvent move(QEvent::MouseMove, QPointF(grab + by), handle->mapToGlobal(QPointF(grab + by)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(handle, &move);
        QTest::mouseRelease(handle, Qt::LeftButton, Qt::NoModifier, grab + by);
    };
    drag(window->view_splitter(), {-150, 0});
    drag(window->panel_splitter(), {0, 80});
    EXPECT_EQ(view()->width(), view_before.width() + 150);
    EXPECT_EQ(view()->height(), view()->width());
    EXPECT_EQ(window->scene().image().size(), view()->size()); // the picture drawn at its new size
    EXPECT_EQ(window->Memo1->width(), memo_before.width() - 150);
    EXPECT_EQ(window->Memo1->height(), memo_before.height() + 80);
    const QRect view_dragged = view()->geometry();
    const QRect memo_dragged = window->Memo1->geometry();

    window->show();
    process_events();
    ASSERT_TRUE(window->close());
    auto next = std::make_unique<MainWindow>(&dialogs);
    resize_client(*next, {1500, 1000});
    EXPECT_EQ(next->PaintBox1->geometry(), view_dragged);
    EXPECT_EQ(next->Memo1->geometry(), memo_dragged);
}

// Every field and option says what it does, with its unit.
TEST_F(WindowBehaviourTest, FieldsAndOptionsHaveTips) {
    QList<QWidget*> windows{window.get(), window->extra_window(), window->electroscope_window(),
                            window->jacobian_window(), window->sweep_window()};
    int fields = 0;
    for (QWidget* w : windows)
        for (const TNEdit* field : w->findChildren<TNEdit*>()) {
            ++fields;
            EXPECT_FALSE(field->toolTip().isEmpty()) << field->objectName().toStdString();
        }
    EXPECT_EQ(fields, 5 + 11 + 9 + 1 + 3);
    // And the choices: check boxes and lists.
    windows << window->electroscope_window()->chart_window();
    int choices = 0;
    for (QWidget* w : windows)
        for (const QWidget* choice : w->findChildren<QWidget*>())
            if (qobject_cast<const QCheckBox*>(choice) || qobject_cast<const QComboBox*>(choice)) {
                ++choices;
                EXPECT_FALSE(choice->toolTip().isEmpty()) << choice->objectName().toStdString();
            }
    EXPECT_EQ(choices, 1 + 3 + 1 + 3 + 2);
    EXPECT_TRUE(window->NEdelta->toolTip().contains("seconds"));
    EXPECT_TRUE(window->NEtol->toolTip().contains("uN"));
    EXPECT_TRUE(window->electroscope_window()->Emb->toolTip().contains("grams"));
    EXPECT_TRUE(window->electroscope_window()->findChild<QLabel*>("Label_Emb")->toolTip().contains("grams"));
    QStringList option_tips;
    for (int i = 0; i < OPTION_COUNT; ++i) {
        const QAction* option = window->option_action(static_cast<Option>(i));
        // Its own tip, not the caption that Qt shows by default.
        EXPECT_NE(option->toolTip(), QString(option->text()).remove(QLatin1Char('&'))) << i;
        EXPECT_FALSE(option_tips.contains(option->toolTip())) << i;
        option_tips << option->toolTip();
    }
    EXPECT_TRUE(window->Options->toolTipsVisible());
}

// ---------------------------------------------------------------- screen placement

QRect available() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

// On whatever screen the test runs (also the small and the highly scaled ones of the ctest
// entries ui.screen_*), the window opens wholly on screen, with the default size when it fits.
TEST(WindowPlacement, OpensOnScreenAtTheDefaultSizeWhenItFits) {
    forget_window_settings();
    ScriptedDialogs dialogs;
    MainWindow window(&dialogs);
    window.show();
    process_events();
    const QRect screen = available();
    const QRect frame = window.frameGeometry();
    EXPECT_TRUE(screen.contains(frame))
        << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height() << " on "
        << screen.width() << "x" << screen.height();
    // The menu and every button are within reach.
    for (QWidget* w : {static_cast<QWidget*>(window.menuBar()), static_cast<QWidget*>(window.Button1),
                       static_cast<QWidget*>(window.Bcalculate), static_cast<QWidget*>(window.Button3),
                       static_cast<QWidget*>(window.NEdamping), static_cast<QWidget*>(window.PaintBox1)})
        EXPECT_TRUE(screen.contains(QRect(w->mapToGlobal(QPoint(0, 0)), w->size())))
            << w->objectName().toStdString();
    const QMargins margins = frame_margins(&window);
    const QSize default_frame = window.sizeHint().grownBy(margins);
    if (default_frame.width() <= screen.width() && default_frame.height() <= screen.height())
        EXPECT_EQ(window.centralWidget()->size(), DEFAULT_CLIENT_SIZE);
    else
        EXPECT_LT(window.centralWidget()->width() * window.centralWidget()->height(),
                  DEFAULT_CLIENT_SIZE.width() * DEFAULT_CLIENT_SIZE.height());
}

// A remembered place that is no longer on screen (another monitor, another scaling) is not used
// as it is: the window comes back on screen.
TEST(WindowPlacement, ARememberedPlaceOffScreenComesBackOnScreen) {
    forget_window_settings();
    ScriptedDialogs dialogs;
    {
        MainWindow first(&dialogs);
        first.show();
        process_events();
        first.setGeometry(QRect(-3000, -2000, 3000, 2500));
        ASSERT_TRUE(first.close());
    }
    MainWindow window(&dialogs);
    window.show();
    process_events();
    EXPECT_TRUE(available().contains(window.frameGeometry()));
}

TEST(WindowPlacement, FramesFitIntoTheScreenAndToolWindowsGoBeside) {
    const QRect screen(0, 0, 1280, 800);
    EXPECT_EQ(fit_into(QRect(-144, -90, 1138, 732), QRect(0, 0, 960, 540)), QRect(0, 0, 960, 540));
    EXPECT_EQ(fit_into(QRect(300, 200, 400, 300), screen), QRect(300, 200, 400, 300));
    EXPECT_EQ(fit_into(QRect(1100, 700, 400, 300), screen), QRect(880, 500, 400, 300));

    const QRect main(79, 53, 1122, 693);
    // No room on either side of the main window at 1280 x 800: over it, at the right edge, below
    // its menu bar.
    EXPECT_EQ(beside_position({611, 540}, main, screen, 53 + 31 + 18), QPoint(669, 102));
    // On a wide screen, on the right of the main window, level with it.
    EXPECT_EQ(beside_position({611, 540}, main, QRect(0, 0, 2560, 1440), 102), QPoint(1201, 53));
    // Left when the right has no room.
    EXPECT_EQ(beside_position({300, 200}, QRect(700, 100, 1122, 693), QRect(0, 0, 1920, 1080), 150),
              QPoint(400, 100));
}

TEST_F(WindowBehaviourTest, ToolWindowsDoNotCoverTheMainMenu) {
    window->show();
    process_events();
    const QRect menu(window->menuBar()->mapToGlobal(QPoint(0, 0)), window->menuBar()->size());
    window->About->trigger();
    window->Extra2->trigger();
    window->Jacobian1->trigger();
    process_events();
    for (QWidget* tool :
         {static_cast<QWidget*>(window->about_window()), static_cast<QWidget*>(window->electroscope_window()),
          static_cast<QWidget*>(window->jacobian_window())}) {
        EXPECT_TRUE(tool->isVisible());
        EXPECT_FALSE(tool->frameGeometry().intersects(menu)) << tool->objectName().toStdString();
        EXPECT_TRUE(available().contains(tool->frameGeometry())) << tool->objectName().toStdString();
    }
}

// ---------------------------------------------------------------- navigation

// The wheel zooms about the pointer: the sphere under it stays there, the others move away
// from it (wheel forward) or towards it (backward).
TEST_F(WindowBehaviourTest, WheelZoomsTowardsThePointer) {
    resize_client(*window, {1400, 900}); // the view larger than its design size
    inicialize();
    const QRect ball1 = disc(1), ball4 = disc(4);
    const QPoint cursor = ball1.center();
    const Real scale = window->camera().view_scale;
    const double distance = std::hypot(ball4.center().x() - cursor.x(), ball4.center().y() - cursor.y());
    ASSERT_GT(distance, 5);

    turn_wheel(view(), cursor, 2);
    EXPECT_NEAR(static_cast<double>(window->camera().view_scale / scale), 1.5625, 1e-9);
    EXPECT_LE((disc(1).center() - cursor).manhattanLength(), 2);
    const double zoomed = std::hypot(disc(4).center().x() - cursor.x(), disc(4).center().y() - cursor.y());
    EXPECT_NEAR(zoomed / distance, 1.5625, 0.05);
    EXPECT_GT(disc(1).width(), ball1.width());

    turn_wheel(view(), cursor, -2);
    EXPECT_NEAR(static_cast<double>(window->camera().view_scale / scale), 1.0, 1e-9);
    EXPECT_LE((disc(1).center() - cursor).manhattanLength(), 2);
    EXPECT_LE((disc(4).center() - ball4.center()).manhattanLength(), 3);

    // A frozen view (the description was left changed) does not zoom.
    const Real unfrozen = window->camera().view_scale;
    window->Memo1->appendPlainText("* a note");
    leave_control(window->Memo1);
    turn_wheel(view(), cursor, 3);
    EXPECT_EQ(window->camera().view_scale, unfrozen);
}

// Fit frames every sphere, however small the system or far from the reference box.
TEST_F(WindowBehaviourTest, FitToSystemBringsEverySphereIntoTheView) {
    QAction* fit = window->Fit1;
    EXPECT_EQ(fit->text(), "Fit to system");
    EXPECT_FALSE(fit->shortcut().isEmpty());
    EXPECT_TRUE(window->actions().contains(fit)); // the key works in the whole window
    EXPECT_TRUE(window->PopupMenu1->actions().contains(fit));

    // Two tiny balls off to one side, then a system much larger than the view.
    set_description("b1 a 15 -12 5 0 0 0 0.05 0.1\nb2 a 15.4 -11.7 5.2 0 0 0 0.08 0.1\n.V a 100");
    inicialize();
    EXPECT_LE(disc(2).width(), 3); // about a pixel before
    fit->trigger();
    expect_all_spheres_inside();
    EXPECT_GT(disc(2).width(), 60); // and large after

    resize_client(*window, {1300, 850});
    set_description("b1 a -80 0 0 0 0 0 2 1\nb2 a 80 60 40 0 0 0 2 1\nb3 a 0 -70 -50 0 0 0 3 1\n.V a 100");
    inicialize();
    const QRect picture(QPoint(0, 0), window->scene().image().size());
    EXPECT_FALSE(picture.contains(disc(2)));
    fit->trigger();
    expect_all_spheres_inside();

    // Opening a file frames its system whatever the zoom was, and a system of more than 200
    // spheres comes without names (those of a small one stay as the user set them).
    auto open = [&](const QString& name, const QByteArray& text) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        dialogs.open_answers = {file.fileName()};
        trigger_and_wait(*window, window->Open1);
    };
    window->Identify1->setChecked(true);
    turn_wheel(view(), QPoint(10, 10), 12);
    dialogs.yes_no_answers = {true}; // the edited description abandoned
    open("plates.bal",
         "Qa all -3 0 0 10 0 0 2 1\nQb all 0 0 0 10 0 0 2 1\nQc all 3 0 0 10 0 0 2 1\n.V all 100\n");
    ASSERT_EQ(window->session().model.sphere_count, 300);
    expect_all_spheres_inside();
    EXPECT_FALSE(window->Identify1->isChecked());
    EXPECT_FALSE(window->session().options[Option::Identify]);
    window->Identify1->setChecked(true);
    turn_wheel(view(), QPoint(10, 10), 12);
    open("two.bal", "b1 a 4 0 0 10 0 0 0.5 1\nb2 a -4 0 0 10 0 0 0.5 1\n.V a 100\n");
    expect_all_spheres_inside();
    EXPECT_TRUE(window->Identify1->isChecked());
}

// The horizontal angle turns all the way round.
TEST_F(WindowBehaviourTest, HorizontalAngleTurnsAllTheWayRound) {
    inicialize();
    auto send = [this](QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, view()->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(view(), &event);
    };
    // Half the width of the view is half a turn: 400 degrees are 649 pixels.
    send(QEvent::MouseButtonPress, {10, 300}, Qt::LeftButton);
    send(QEvent::MouseMove, {10 + 438, 300}, Qt::LeftButton); // 270 degrees: past the half turn
    EXPECT_NEAR(static_cast<double>(window->camera().view_azimuth) * 180 / M_PI, 30 + 270.0, 0.5);
    send(QEvent::MouseMove, {10 + 649, 300}, Qt::LeftButton); // 400 degrees: round and on
    EXPECT_NEAR(static_cast<double>(window->camera().view_azimuth) * 180 / M_PI, 30 + 400.0 - 360, 0.5);
    send(QEvent::MouseButtonRelease, {10 + 649, 300}, Qt::NoButton);
    EXPECT_TRUE(window->view_notes().drag_mode == "Drag: Rotate");
}

// ---------------------------------------------------------------- notes over the view

TEST_F(WindowBehaviourTest, ViewShowsTheDragModeTheColoursAndAnOutOfDateDescription) {
    EXPECT_TRUE(window->view_notes().drag_mode.isEmpty()); // no picture yet
    EXPECT_TRUE(window->view_notes().out_of_date.isEmpty());
    inicialize();
    ViewNotes notes = window->view_notes();
    EXPECT_EQ(notes.drag_mode, "Drag: Rotate");
    EXPECT_TRUE(notes.out_of_date.isEmpty());
    // Four equal balls: all red, the density of the scale's top.
    const Real top = window->session().evaluation.density_max;
    ASSERT_GT(top, 0);
    EXPECT_EQ(notes.legend.value(1), "red " + QString::number(static_cast<double>(top * 1e5L), 'g', 4));
    EXPECT_EQ(notes.legend.value(2), "green 0");
    for (const char* name : {"Zoom1", "Pan1", "Aspect1"}) {
        window->findChild<QAction*>(name)->trigger();
        EXPECT_EQ(window->view_notes().drag_mode, "Drag: " + QString(name).chopped(1));
    }

    // Typing in the description: the picture is out of date until Inicialize.
    window->Memo1->moveCursor(QTextCursor::End);
    window->Memo1->insertPlainText("\n* note");
    EXPECT_EQ(window->view_notes().out_of_date, "Description changed: press Inicialize");
    inicialize();
    EXPECT_TRUE(window->view_notes().out_of_date.isEmpty());
    // Only a change of the text is a change: leaving the description as it was read, or with an
    // edit undone, keeps the system read, without the note or a "*" in the title.
    leave_control(window->Memo1);
    EXPECT_TRUE(window->view_notes().out_of_date.isEmpty());
    EXPECT_TRUE(window->session().system_initialized);
    window->Memo1->insertPlainText("x");
    EXPECT_EQ(window->view_notes().out_of_date, "Description changed: press Inicialize");
    window->Memo1->undo();
    EXPECT_TRUE(window->view_notes().out_of_date.isEmpty());
    leave_control(window->Memo1);
    EXPECT_TRUE(window->session().system_initialized);
    // Leaving it changed freezes the view until Inicialize: it says so.
    window->Memo1->insertPlainText("\n* another note");
    leave_control(window->Memo1);
    EXPECT_FALSE(window->session().system_initialized);
    EXPECT_EQ(window->view_notes().out_of_date, "Description changed: press Inicialize");

    // The notes are drawn over the view, not into the picture that is saved.
    const QImage shown = view()->grab().toImage();
    const QImage picture = window->scene().image();
    EXPECT_NE(shown.convertToFormat(QImage::Format_RGB32), picture.convertToFormat(QImage::Format_RGB32));
}

// A click in and out of the description between two Calculates: the second goes on from where
// the first stopped, without reading the description again.
TEST_F(WindowBehaviourTest, AClickInTheDescriptionKeepsTheRelaxedState) {
    inicialize();
    window->NEtentativas->set_panel_int(3);
    click_and_wait(*window, window->Bcalculate);
    const Real relaxed = window->session().model.objects[1].Az;
    EXPECT_LT(relaxed, 30 * PI / 180 - 1e-6) << "the first run moved the strings";
    // Nothing to save either, also after an edit undone.
    EXPECT_EQ(window->windowTitle(), "Ambrel");
    window->Memo1->insertPlainText("x");
    EXPECT_EQ(window->windowTitle(), "*Untitled - Ambrel");
    window->Memo1->undo();
    EXPECT_EQ(window->windowTitle(), "Ambrel");
    window->Memo1->setFocus();
    leave_control(window->Memo1);
    const qsizetype readings = output().count("Reading 6 lines of input");
    click_and_wait(*window, window->Bcalculate);
    EXPECT_EQ(output().count("Reading 6 lines of input"), readings) << "the description was read again";
    EXPECT_LT(window->session().model.objects[1].Az, relaxed) << "the run started again from 30 degrees";
}

// ---------------------------------------------------------------- status bar

TEST_F(WindowBehaviourTest, StatusBarDescribesTheCurrentModel) {
    inicialize();
    EXPECT_EQ(window->statusBar()->currentMessage(), "Initialized: 4 spheres in 4 objects, 1 conductor");
    window->NEtentativas->set_panel_int(3);
    click_and_wait(*window, window->Bcalculate);
    EXPECT_EQ(window->statusBar()->currentMessage(), "Step limit reached");
    // It stays until the next command: a menu item without a tip leaves it, and one with a tip
    // covers it only while the pointer is there.
    const auto tip = [&](const QString& text) {
        QStatusTipEvent event(text);
        QApplication::sendEvent(window.get(), &event);
    };
    tip(QString());
    EXPECT_EQ(window->statusBar()->currentMessage(), "Step limit reached");
    tip("What a menu item does");
    EXPECT_EQ(window->statusBar()->currentMessage(), "What a menu item does");
    tip(QString());
    EXPECT_EQ(window->statusBar()->currentMessage(), "Step limit reached");

    // Another file: the words of the old run go.
    QFile file(dir.filePath("two.bal"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("b1 a 0 0 0 10 0 20 0.5 0.1\nb2 b 0 1 0 10 0 -20 0.5 0.1\n");
    file.close();
    dialogs.yes_no_answers = {true};
    dialogs.open_answers = {file.fileName()};
    trigger_and_wait(*window, window->Open1);
    EXPECT_EQ(window->statusBar()->currentMessage(), "Initialized: 2 spheres in 2 objects, 2 conductors");
    // The reader's warnings are counted.
    set_description("b1 a 0 0 0 10 0 20 0.5\n.W a 1");
    inicialize();
    EXPECT_EQ(window->statusBar()->currentMessage(),
              "Initialized: 1 sphere in 1 object, 1 conductor, 2 warnings: see the marked lines");

    set_description("avocado all 0 0 0 10 0 0 1 1");
    inicialize();
    EXPECT_EQ(window->statusBar()->currentMessage(), "Reading stopped: see the output panel");
}

// ---------------------------------------------------------------- pictures

TEST_F(WindowBehaviourTest, PictureSavesAsBmpAtTheDesignSizeAndAsPngAtTheViewSize) {
    resize_client(*window, {1400, 900});
    inicialize();
    const QSize shown = view()->size();
    ASSERT_NE(shown, QSize(585, 585));
    const QString png = dir.filePath("view.png"), bmp = dir.filePath("view.bmp"), bare = dir.filePath("view");
    dialogs.save_answers = {SaveChoice(png, 1), SaveChoice(bmp, 0), SaveChoice(bare, 1)};
    for (int k = 0; k < 3; ++k)
        window->Save2->trigger();
    EXPECT_EQ(dialogs.save_kinds, std::vector<SaveKind>(3, SaveKind::Picture));
    EXPECT_TRUE(dialogs.errors.isEmpty());

    EXPECT_TRUE(read_file(png).startsWith("\x89PNG"));
    EXPECT_TRUE(read_file(bare).startsWith("\x89PNG")); // the type chosen, the name as typed
    EXPECT_TRUE(read_file(bmp).startsWith("BM"));
    // The PNG is the view's picture at its size in device pixels, with the colour legend (not
    // part of the scene) and without the camera's numbers (which the scene has at its top left).
    const QImage png_image = QImageReader(png, "png").read().convertToFormat(QImage::Format_RGB32);
    const QImage scene = window->scene().image().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(png_image.size(), shown * view()->devicePixelRatioF());
    ASSERT_EQ(png_image.size(), scene.size());
    auto count = [](const QImage& image, const QRect& area, QRgb colour) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += image.pixel(x, y) == colour;
        return n;
    };
    const double ratio = view()->devicePixelRatioF();
    const int top = static_cast<int>(FIT_TOP_MARGIN * ratio); // below the numbers
    const QRect numbers(2, 2, scene.width() / 3, top - 6);    // inside the border
    const QRect corner(scene.width() * 4 / 5, scene.height() * 4 / 5, scene.width() / 5, scene.height() / 5);
    EXPECT_GT(count(scene, numbers, qRgb(0, 0, 0)), 50);
    EXPECT_EQ(count(png_image, numbers, qRgb(0, 0, 0)), 0) << "no camera numbers";
    EXPECT_GT(count(png_image, corner, qRgb(255, 0, 0)), 20) << "the legend's red swatch";
    EXPECT_EQ(count(scene, corner, qRgb(255, 0, 0)), 0);
    const QRect middle(0, top, scene.width(), scene.height() * 3 / 5);
    EXPECT_EQ(png_image.copy(middle), scene.copy(middle)) << "the same picture";
    // Asked for, the numbers are there as the view shows them.
    window->CameraNumbers1->setChecked(true);
    dialogs.save_answers = {SaveChoice(png, 1)};
    window->Save2->trigger();
    const QImage with_numbers = QImageReader(png, "png").read().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(with_numbers.copy(numbers), scene.copy(numbers));
    EXPECT_EQ(QImageReader(bmp, "bmp").read().size(), QSize(585, 585));
    EXPECT_EQ(output().mid(output().size() - 4),
              QStringList({"Picture saved as " + png, "Bitmap saved as " + bmp, "Picture saved as " + bare,
                           "Picture saved as " + png}));

    // The bitmap is the picture of the design size: the same as with the window at that size (on
    // a screen of one device pixel a pixel, where the view then has 585 x 585 pixels).
    resize_client(*window, DEFAULT_CLIENT_SIZE);
    if (ratio == 1) {
        EXPECT_EQ(QImageReader(bmp, "bmp").read().convertToFormat(QImage::Format_RGB32),
                  window->scene().image().convertToFormat(QImage::Format_RGB32));
    }
}

// On a screen scaled by 2 (run so by the ui.screen_1920x1080_200 test) the picture has a pixel
// for each device pixel, and its text grows with it: no doubled pixels.
TEST_F(WindowBehaviourTest, ViewDrawsAtTheScreensDevicePixels) {
    inicialize();
    const double ratio = view()->devicePixelRatioF();
    if (qEnvironmentVariable("QT_SCALE_FACTOR") == QLatin1String("2")) {
        EXPECT_EQ(ratio, 2.0);
    }
    EXPECT_EQ(window->scene().image().size(), view()->size() * ratio);
    EXPECT_EQ(window->scene().font().pixelSize(), static_cast<int>(std::lround(12 * ratio)));
    // Sphere 1 where the navigation's camera puts it, in device pixels.
    const PixelPoint logical =
        project_point(camera_for_surface(window->camera(), view()->width(), view()->height()),
                      window->session().model.spheres[1].x, window->session().model.spheres[1].y,
                      window->session().model.spheres[1].z);
    EXPECT_NEAR(disc(1).center().x(), logical.x * ratio, 2 * ratio);
    EXPECT_NEAR(disc(1).center().y(), logical.y * ratio, 2 * ratio);
}

// ---------------------------------------------------------------- output panel

TEST_F(WindowBehaviourTest, OutputPanelMenuCopiesClearsAndSaves) {
    QList<QString> captions;
    for (const QAction* action : window->PopupMenu2->actions())
        if (!action->isSeparator())
            captions << action->text();
    EXPECT_EQ(captions, QList<QString>({"&Copy", "Select &all", "C&lear", "&Save output as..."}));

    inicialize();
    // The reports cannot be typed over: Ctrl+A and Backspace select them and erase nothing, and
    // Ctrl+C still copies.
    const QString reports = window->Memo2->toPlainText();
    window->Memo2->setFocus();
    QTest::keyClick(window->Memo2, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(window->Memo2, Qt::Key_Backspace);
    QTest::keyClicks(window->Memo2, "typed");
    EXPECT_EQ(window->Memo2->toPlainText(), reports);
    QApplication::clipboard()->clear();
    QTest::keyClick(window->Memo2, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), reports);

    const QString saved = dir.filePath("out.txt");
    dialogs.save_answers = {saved};
    window->Saveoutput1->trigger();
    EXPECT_EQ(dialogs.save_kinds, std::vector<SaveKind>({SaveKind::Output}));
    const QByteArray expected = (window->Memo2->toPlainText().replace("\n", "\r\n") + "\r\n").toUtf8();
    EXPECT_EQ(read_file(saved), expected);
    EXPECT_TRUE(expected.contains("Reading 6 lines of input\r\n"));
    EXPECT_EQ(window->statusBar()->currentMessage(), "Output saved in file " + saved);

    window->Clear1->trigger();
    EXPECT_TRUE(window->Memo2->toPlainText().isEmpty());
    window->session().add_output_line("after the clear");
    EXPECT_EQ(window->Memo2->toPlainText(), "after the clear");

    dialogs.save_answers = {dir.filePath("no/such/folder/out.txt")};
    window->Saveoutput1->trigger();
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(dialogs.errors[0].contains("no/such/folder/out.txt"));
}

// A selection in the output panel stays as it was while the lines of a command keep coming.
// Reports that arrive while the output is scrolled up stay out of the way, and a button over the
// panel's foot says so and goes down to them; it goes when the panel reaches its end.
TEST_F(WindowBehaviourTest, ReportsBelowAScrolledUpPanelShowAButtonThatGoesToThem) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QScrollBar* bar = window->Memo2->verticalScrollBar();
    bar->setValue(bar->maximum()); // at the end of the start-up summary
    for (int k = 0; k < 200; ++k)
        window->session().add_output_line("line " + std::to_string(k));
    auto* button = window->Memo2->findChild<QToolButton*>(QStringLiteral("NewOutputIndicator"));
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->isVisible()) << "the panel followed the lines";
    EXPECT_EQ(bar->value(), bar->maximum());

    bar->setValue(0);
    window->session().add_output_line("news");
    EXPECT_TRUE(button->isVisible());
    EXPECT_EQ(bar->value(), 0) << "the panel stays where the user put it";
    EXPECT_TRUE(window->Memo2->viewport()->geometry().contains(button->geometry()));
    button->click();
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_FALSE(button->isVisible());

    bar->setValue(0);
    window->session().add_output_line("more news");
    EXPECT_TRUE(button->isVisible());
    bar->setValue(bar->maximum()); // scrolled down by hand
    EXPECT_FALSE(button->isVisible());
}

TEST_F(WindowBehaviourTest, OutputSelectionDoesNotTakeInLinesAppendedLater) {
    window->Selectall1->trigger();
    const QString selected = window->Memo2->textCursor().selectedText();
    ASSERT_FALSE(selected.isEmpty());
    window->session().add_output_line("a line of the window's thread");
    inicialize(); // lines from the worker thread
    EXPECT_EQ(window->Memo2->textCursor().selectedText(), selected);
    EXPECT_TRUE(output().contains("Reading 6 lines of input"));
}

// ---------------------------------------------------------------- menus

TEST_F(WindowBehaviourTest, MainMenuHasDistinctAltKeys) {
    QList<QKeySequence> keys;
    for (const QAction* item : window->menuBar()->actions()) {
        const QKeySequence key = QKeySequence::mnemonic(item->text());
        EXPECT_FALSE(key.isEmpty()) << item->text().toStdString();
        EXPECT_FALSE(keys.contains(key)) << item->text().toStdString();
        keys << key;
    }
    EXPECT_EQ(keys.size(), 7); // File, Options, View, Extra, Charts, Help, About
    // View holds the view's menu, for the keyboard; its commands have keys of their own.
    EXPECT_EQ(window->View1->actions(), window->PopupMenu1->actions());
    for (const QAction* command : {window->Save2, window->List1, window->Capacitances1, window->Jacobian1,
                                   window->Reset1, window->Fit1, window->FindEquilibrium1}) {
        EXPECT_FALSE(command->shortcut().isEmpty()) << command->text().toStdString();
        EXPECT_TRUE(window->actions().contains(command)) << command->text().toStdString();
    }
    QList<QKeySequence> file_keys;
    for (const QAction* item : window->File1->actions())
        if (!item->isSeparator())
            file_keys << QKeySequence::mnemonic(item->text());
    EXPECT_EQ(file_keys,
              QList<QKeySequence>({QKeySequence(Qt::ALT | Qt::Key_N), QKeySequence(Qt::ALT | Qt::Key_O),
                                   QKeySequence(Qt::ALT | Qt::Key_R), QKeySequence(Qt::ALT | Qt::Key_E),
                                   QKeySequence(Qt::ALT | Qt::Key_S), QKeySequence(Qt::ALT | Qt::Key_A),
                                   QKeySequence(Qt::ALT | Qt::Key_X)}));
    QList<QKeySequence> help_keys;
    for (const QAction* item : window->Help1->actions())
        help_keys << QKeySequence::mnemonic(item->text());
    EXPECT_EQ(help_keys, QList<QKeySequence>({QKeySequence(Qt::ALT | Qt::Key_M)}));
    QList<QKeySequence> chart_keys;
    for (const QAction* item : window->Charts1->actions())
        chart_keys << QKeySequence::mnemonic(item->text());
    EXPECT_EQ(chart_keys,
              QList<QKeySequence>({QKeySequence(Qt::ALT | Qt::Key_C), QKeySequence(Qt::ALT | Qt::Key_E),
                                   QKeySequence(Qt::ALT | Qt::Key_V)}));
}

} // namespace
} // namespace ambrel::ui::test
