// The main window as a desktop program: resizing, placing on the screen and remembering its
// geometry, the mouse wheel and Fit in the view, the notes over the view, pictures, the output
// panel's menu, the status bar and the menus' keys.
#include "ui/main_window.h"

#include "ui/about_window.h"
#include "ui/electroscope_window.h"
#include "ui/jacobian_window.h"
#include "ui/main_layout.h"
#include "ui/nedit.h"
#include "ui/view_surface.h"
#include "ui/window_style.h"
#include "ui_test_support.h"

#include <QAction>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTemporaryDir>

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

    // A frozen view (the description was left) does not zoom.
    const Real unfrozen = window->camera().view_scale;
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
    // Leaving the description freezes the view: it says so.
    leave_control(window->Memo1);
    EXPECT_EQ(window->view_notes().out_of_date, "Description changed: press Inicialize");

    // The notes are drawn over the view, not into the picture that is saved.
    const QImage shown = view()->grab().toImage();
    const QImage picture = window->scene().image();
    EXPECT_NE(shown.convertToFormat(QImage::Format_RGB32), picture.convertToFormat(QImage::Format_RGB32));
}

// ---------------------------------------------------------------- status bar

TEST_F(WindowBehaviourTest, StatusBarDescribesTheCurrentModel) {
    inicialize();
    EXPECT_EQ(window->statusBar()->currentMessage(), "Initialized: 4 spheres in 4 objects, 1 conductor");
    window->NEtentativas->set_panel_int(3);
    click_and_wait(*window, window->Bcalculate);
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
    const QImage png_image = QImageReader(png, "png").read();
    EXPECT_EQ(png_image.size(), shown);
    EXPECT_EQ(png_image.convertToFormat(QImage::Format_RGB32),
              window->scene().image().convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(QImageReader(bmp, "bmp").read().size(), QSize(585, 585));
    EXPECT_EQ(output().mid(output().size() - 3),
              QStringList({"Picture saved as " + png, "Bitmap saved as " + bmp, "Picture saved as " + bare}));

    // The bitmap is the picture of the design size: the same as with the window at that size.
    resize_client(*window, DEFAULT_CLIENT_SIZE);
    EXPECT_EQ(QImageReader(bmp, "bmp").read().convertToFormat(QImage::Format_RGB32),
              window->scene().image().convertToFormat(QImage::Format_RGB32));
}

// ---------------------------------------------------------------- output panel

TEST_F(WindowBehaviourTest, OutputPanelMenuCopiesClearsAndSaves) {
    QList<QString> captions;
    for (const QAction* action : window->PopupMenu2->actions())
        if (!action->isSeparator())
            captions << action->text();
    EXPECT_EQ(captions, QList<QString>({"&Copy", "Select &all", "C&lear", "&Save output as..."}));

    inicialize();
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
    EXPECT_EQ(keys.size(), 5); // File, Options, Extra, Charts, About
    QList<QKeySequence> file_keys;
    for (const QAction* item : window->File1->actions())
        file_keys << QKeySequence::mnemonic(item->text());
    EXPECT_EQ(file_keys,
              QList<QKeySequence>({QKeySequence(Qt::ALT | Qt::Key_O), QKeySequence(Qt::ALT | Qt::Key_E),
                                   QKeySequence(Qt::ALT | Qt::Key_S), QKeySequence(Qt::ALT | Qt::Key_X)}));
    QList<QKeySequence> chart_keys;
    for (const QAction* item : window->Charts1->actions())
        chart_keys << QKeySequence::mnemonic(item->text());
    EXPECT_EQ(chart_keys,
              QList<QKeySequence>({QKeySequence(Qt::ALT | Qt::Key_C), QKeySequence(Qt::ALT | Qt::Key_E),
                                   QKeySequence(Qt::ALT | Qt::Key_V)}));
}

} // namespace
} // namespace ambrel::ui::test
