// The editing view's motion mode with simulated mouse and keys: turning the
// motion on, each drag, swap, curve and the automatic motion are one undo
// step each and undo gives back the exact project; play shows the crop.
#include "EditingView.h"
#include "EditorContext.h"
#include "EditorCore.h"
#include "GuiPrompter.h"
#include "MainWindow.h"
#include "MotionBar.h"
#include "MotionOverlay.h"
#include "MotionRules.h"
#include "ProjectSession.h"
#include "StartUp.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QUndoStack>

#include <gtest/gtest.h>

using namespace pvsm;
using namespace pvsm::ui;

namespace {

class QuietPrompter : public GuiPrompter
{
public:
    Answer ask(const QString &, PromptButtons, PromptIcon, const QString &) override { return Answer::No; }
    void inform(const QString &, PromptIcon) override {}
};

class MotionModeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        core = test::startEditorCore(dir, prompter);
        ASSERT_TRUE(core);
        window = std::make_unique<MainWindow>(*core, prompter);
        Project &p = project();
        // 4:3 pictures, red on the left half and blue on the right, fitted
        // to the 16:9 screen: bars left and right where the background shows.
        for (int i = 0; i < 2; ++i) {
            const QString path = dir.filePath(QStringLiteral("p%1.png").arg(i));
            QImage image(400, 300, QImage::Format_RGB32);
            image.fill(Qt::red);
            QPainter(&image).fillRect(200, 0, 200, 300, Qt::blue);
            ASSERT_TRUE(image.save(path));
            p.pictures.push_back(p.newPicture(path, core->session().environment()));
        }
        p.settings.imgDrawScale = 3;
        window->resize(1366, 768);
        window->show();
        window->context().notifyProjectChanged();
        ASSERT_TRUE(window->selectSection(1));
        waitForComposition(view(), 20000);
        bar().setActive(true);
        waitForProbe();
    }

    Project &project() { return core->session().project(); }
    PictureMotion &motion() { return project().pictures[0].motion; }
    EditingView &view() { return *window->editingView(); }
    MotionBar &bar() { return *window->motionBar(); }
    MotionOverlay &overlay() { return bar().overlay(); }
    QUndoStack &undo() { return window->context().undoStack(); }
    template <class W> W &control(const char *name)
    {
        W *w = bar().findChild<W *>(QString::fromLatin1(name));
        EXPECT_TRUE(w) << name;
        return *w;
    }
    QSize screen() const
    {
        const ProjectEnvironment &env = core->session().environment();
        return {env.screenWidth, env.screenHeight};
    }
    MotionArea area() { return motionArea({400, 300}, project().settings.imgDrawScale, screen()); }

    void waitForProbe()
    {
        QElapsedTimer t;
        t.start();
        while ((bar().probing() || !bar().area().valid()) && t.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_TRUE(bar().area().valid());
    }

    void turnOn()
    {
        QTest::mouseClick(&control<QCheckBox>("ChkMotion"), Qt::LeftButton);
        ASSERT_TRUE(motion().on);
        waitForComposition(view(), 20000);
    }

    // A drag in overlay pixels, moved in steps as a hand would.
    void drag(QPoint from, QPoint to)
    {
        QTest::mousePress(&overlay(), Qt::LeftButton, {}, from);
        for (int step = 1; step <= 4; ++step)
            QTest::mouseMove(&overlay(), from + (to - from) * step / 4);
        QTest::mouseRelease(&overlay(), Qt::LeftButton, {}, to);
    }

    QTemporaryDir dir;
    QuietPrompter prompter;
    std::unique_ptr<AppCore> core;
    std::unique_ptr<MainWindow> window;
};

void expectNear(const QRectF &a, const QRectF &b, double eps, const char *what)
{
    EXPECT_NEAR(a.x(), b.x(), eps) << what;
    EXPECT_NEAR(a.y(), b.y(), eps) << what;
    EXPECT_NEAR(a.width(), b.width(), eps) << what;
    EXPECT_NEAR(a.height(), b.height(), eps) << what;
}

} // namespace

TEST_F(MotionModeTest, TurningMotionOnShowsBothRectanglesAsOneStep)
{
    const Project before = project();
    const int commands = undo().index();
    ASSERT_TRUE(overlay().isVisible());
    EXPECT_TRUE(overlay().viewRect(MotionEnd::Start).isEmpty()); // nothing drawn while off
    turnOn();
    EXPECT_EQ(undo().index(), commands + 1);
    EXPECT_EQ(motion(), defaultMotion(area()));
    // The fitted picture's start is the whole screen: the whole picture area of the view.
    const QRect start = overlay().viewRect(MotionEnd::Start);
    const QRect shown = view().pictureRect();
    EXPECT_NEAR(start.x(), shown.x(), 1);
    EXPECT_NEAR(start.width(), shown.width(), 2);
    EXPECT_NEAR(start.height(), shown.height(), 2);
    const QRect end = overlay().viewRect(MotionEnd::End);
    EXPECT_NEAR(end.width(), start.width() * kMotionDefaultZoom, 2);
    EXPECT_NEAR((end.center() - start.center()).manhattanLength(), 0, 2);

    undo().undo();
    EXPECT_TRUE(project() == before);
    EXPECT_FALSE(control<QCheckBox>("ChkMotion").isChecked());
}

TEST_F(MotionModeTest, EachDragIsOneStepAndKeepsTheAspect)
{
    turnOn();
    const Project before = project();
    const QRectF oldEnd = motion().end;
    const QRectF picture = view().drawnPictureRect();
    int commands = undo().index();

    // Move the end by 30, 20 view pixels.
    const QRect end = overlay().viewRect(MotionEnd::End);
    drag(end.center(), end.center() + QPoint(30, 20));
    EXPECT_EQ(undo().index(), commands + 1); // one command, not one per mouse step
    expectNear(motion().end, oldEnd.translated(30 / picture.width(), 20 / picture.height()), 1.5 / picture.width(),
               "moved");
    EXPECT_EQ(motion().start, before.pictures[0].motion.start);

    // Shrink it by its top-left corner: the bottom-right stays, the aspect holds.
    const QRectF moved = motion().end;
    const QRect now = overlay().viewRect(MotionEnd::End);
    drag(now.topLeft(), now.topLeft() + QPoint(60, 10));
    EXPECT_EQ(undo().index(), commands + 2);
    EXPECT_NEAR(motion().end.width() / motion().end.height(), area().aspect, 1e-9);
    EXPECT_LT(motion().end.width(), moved.width());
    EXPECT_NEAR(motion().end.right(), moved.right(), 1e-9);
    EXPECT_NEAR(motion().end.bottom(), moved.bottom(), 1e-9);

    // The start dragged far to the right stops at the screen's edge.
    const QRect start = overlay().viewRect(MotionEnd::Start);
    drag(QPoint(start.left() + 8, start.center().y()), QPoint(start.left() + 8 + 300, start.center().y()));
    EXPECT_LE(motion().start.right(), area().bounds.right() + 1e-9);

    while (undo().index() > commands) undo().undo();
    EXPECT_TRUE(project() == before);
}

TEST_F(MotionModeTest, SwapCurveAndAutomaticMotionAreOneStepEach)
{
    turnOn();
    const Project before = project();
    const int commands = undo().index();
    QTest::mouseClick(&control<QToolButton>("CmdMotionSwap"), Qt::LeftButton);
    EXPECT_EQ(motion().start, before.pictures[0].motion.end);
    EXPECT_EQ(motion().end, before.pictures[0].motion.start);

    QComboBox &curve = control<QComboBox>("CboMotionCurve");
    curve.setFocus();
    QTest::keyClick(&curve, Qt::Key_Down);
    EXPECT_EQ(motion().curve, 1);

    QTest::mouseClick(&control<QCheckBox>("ChkAutoMotion"), Qt::LeftButton);
    EXPECT_TRUE(project().settings.autoMotion);
    EXPECT_EQ(undo().index(), commands + 3);

    // The motion off keeps its rectangles for the next time.
    QTest::mouseClick(&control<QCheckBox>("ChkMotion"), Qt::LeftButton);
    EXPECT_FALSE(motion().on);
    EXPECT_EQ(motion().start, before.pictures[0].motion.end);
    QTest::mouseClick(&control<QCheckBox>("ChkMotion"), Qt::LeftButton);
    EXPECT_EQ(motion().start, before.pictures[0].motion.end);

    while (undo().index() > commands) undo().undo();
    EXPECT_TRUE(project() == before);
}

TEST_F(MotionModeTest, KeysMoveTheSelectedRectangleAsOneStepPerRun)
{
    turnOn();
    const QRectF oldEnd = motion().end;
    const QRectF picture = view().drawnPictureRect();
    const int commands = undo().index();
    overlay().setFocus();
    QTest::keyClick(&overlay(), Qt::Key_2);
    EXPECT_EQ(overlay().selected(), MotionEnd::End);
    for (int i = 0; i < 3; ++i) QTest::keyClick(&overlay(), Qt::Key_Left);
    QTest::keyClick(&overlay(), Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(undo().index(), commands + 1);
    expectNear(motion().end, oldEnd.translated(-3 / picture.width(), -10 / picture.height()), 1e-9, "keys");
    // The start already fills the bounds: it cannot move, and nothing is stored.
    QTest::keyClick(&overlay(), Qt::Key_1);
    QTest::keyClick(&overlay(), Qt::Key_Right);
    EXPECT_EQ(undo().index(), commands + 1);
    // Smaller with -, the aspect kept.
    QTest::keyClick(&overlay(), Qt::Key_Minus);
    EXPECT_LT(motion().start.width(), area().bounds.width());
    EXPECT_NEAR(motion().start.width() / motion().start.height(), area().aspect, 1e-9);
    EXPECT_EQ(undo().index(), commands + 2);
}

TEST_F(MotionModeTest, PlayShowsTheCropOverTheSlidesTimeThenStops)
{
    turnOn();
    // Both rectangles on the blue half: every played picture is blue.
    const MotionArea a = area();
    PictureMotion m = motion();
    m.start = m.end = fittedMotionRect(QRectF(0.55, 0.3, 0.4, 0.3), a);
    motion() = m;
    project().pictures[0].slideDuration = 1;
    window->context().notifyProjectChanged();

    QToolButton &play = control<QToolButton>("CmdMotionPlay");
    QTest::mouseClick(&play, Qt::LeftButton);
    ASSERT_TRUE(overlay().playing());
    EXPECT_TRUE(play.isChecked());
    QTest::qWait(100);
    const QImage frame = overlay().grab().toImage();
    const QRect shown = view().pictureRect();
    for (QPoint at : {shown.center(), shown.topLeft() + QPoint(4, 4), shown.bottomRight() - QPoint(4, 4)}) {
        const QColor c = frame.pixelColor(at * frame.devicePixelRatio());
        EXPECT_GT(c.blue(), 200) << at.x() << "," << at.y();
        EXPECT_LT(c.red(), 60) << at.x() << "," << at.y();
    }
    // Stops by itself once the slide's time is over.
    QElapsedTimer t;
    t.start();
    while (overlay().playing() && t.elapsed() < 5000) QTest::qWait(20);
    EXPECT_FALSE(overlay().playing());
    EXPECT_FALSE(play.isChecked());
    EXPECT_GE(t.elapsed() + 100, 800);
}

TEST_F(MotionModeTest, OtherSectionsEndTheModeAndTheirMarkersComeBack)
{
    turnOn();
    project().pictures[0].caption = QStringLiteral("静态文字");
    window->context().notifyProjectChanged();
    ASSERT_TRUE(window->selectSection(4));
    EXPECT_FALSE(bar().active());
    EXPECT_FALSE(overlay().isVisible());
    EXPECT_FALSE(bar().isVisible());
    waitForComposition(view(), 20000);
    EXPECT_FALSE(view().markerRect().isEmpty());
    ASSERT_TRUE(window->selectSection(1));
    EXPECT_TRUE(bar().isVisible());
    EXPECT_FALSE(bar().active());
    QTest::mouseClick(&control<QToolButton>("CmdMotionMode"), Qt::LeftButton);
    EXPECT_TRUE(bar().active());
    EXPECT_TRUE(overlay().isVisible());
}

TEST_F(MotionModeTest, NothingChangesWhileAJobRunsAndTheModeEndsWithoutPictures)
{
    turnOn();
    const Project before = project();
    const int commands = undo().index();
    core->session().setBusy(true);
    const QRect end = overlay().viewRect(MotionEnd::End);
    drag(end.center(), end.center() + QPoint(30, 20));
    overlay().setFocus();
    QTest::keyClick(&overlay(), Qt::Key_Left);
    QTest::mouseClick(&control<QToolButton>("CmdMotionSwap"), Qt::LeftButton);
    QTest::mouseClick(&control<QCheckBox>("ChkMotion"), Qt::LeftButton);
    core->session().setBusy(false);
    EXPECT_EQ(undo().index(), commands);
    EXPECT_TRUE(project() == before);
    EXPECT_TRUE(control<QCheckBox>("ChkMotion").isChecked()); // the refused click is put back

    project().pictures.clear();
    window->context().notifyProjectChanged();
    EXPECT_FALSE(bar().active());
    EXPECT_FALSE(control<QToolButton>("CmdMotionMode").isEnabled());
}

TEST_F(MotionModeTest, TheModeAndItsControlsHaveKeys)
{
    bar().setActive(false);
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const auto alt = [](Qt::Key key) {
        QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
        QTest::qWait(300); // a mnemonic clicks as the mouse would, a moment later
    };
    alt(Qt::Key_M);
    EXPECT_TRUE(bar().active());
    EXPECT_TRUE(overlay().hasFocus());
    alt(Qt::Key_O);
    EXPECT_TRUE(motion().on);
    alt(Qt::Key_N);
    EXPECT_TRUE(project().settings.autoMotion);
    alt(Qt::Key_M);
    EXPECT_FALSE(bar().active());
}
