// The editing view's placement with simulated mouse and keys: each drag or
// key press is one command that stores the right box, and undo gives back
// the exact project; the view shows the slide as the export draws it.
#include "EditingStill.h"
#include "EditingView.h"
#include "EditorContext.h"
#include "EditorCore.h"
#include "FrameLoop.h"
#include "GuiPrompter.h"
#include "MainWindow.h"
#include "Numbers.h"
#include "PlacementRules.h"
#include "ProjectSession.h"
#include "ProjectText.h"
#include "StartUp.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
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

void waitFor(EditingView &view)
{
    waitForComposition(view, 20000);
}

// A pure red caption on a dark blue picture: the caption's pixels are easy to tell.
constexpr uint32_t kRed = 0x0000FF; // 0x00BBGGRR

class PlacementTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        core = test::startEditorCore(dir, prompter);
        ASSERT_TRUE(core);
        window = std::make_unique<MainWindow>(*core, prompter);
        Project &p = project();
        for (int i = 0; i < 2; ++i) {
            const QString path = dir.filePath(QStringLiteral("p%1.png").arg(i));
            QImage image(320, 200, QImage::Format_RGB32);
            image.fill(QColor(10, 20, 90));
            ASSERT_TRUE(image.save(path));
            p.pictures.push_back(p.newPicture(path, core->session().environment()));
        }
        p.pictures[0].caption = QStringLiteral("静态文字");
        p.pictures[0].headline = QStringLiteral("动态文字");
        p.settings.textStyles[0].startColor = p.settings.textStyles[0].endColor = kRed;
        p.settings.textStyles[0].pattern = 0;
        p.settings.enableOpening = true;
        p.settings.titleText[0] = QStringLiteral("片头\r\n第二行");
        p.lyricFiles = QStringList{dir.filePath(QStringLiteral("song.lrc"))};
        window->resize(1366, 768);
        window->show();
        window->context().notifyProjectChanged();
        waitFor(view());
    }

    Project &project() { return core->session().project(); }
    EditingView &view() { return *window->editingView(); }
    QUndoStack &undo() { return window->context().undoStack(); }
    QSize screen() const
    {
        const ProjectEnvironment &env = core->session().environment();
        return {env.screenWidth, env.screenHeight};
    }
    // The view factors: view pixels per stored pixel.
    double fx() { return double(view().pictureRect().width()) / screen().width(); }
    double fy() { return double(view().pictureRect().height()) / screen().height(); }

    void select(int section)
    {
        ASSERT_TRUE(window->selectSection(section));
        waitFor(view());
        ASSERT_FALSE(view().markerRect().isEmpty()) << section;
    }

    // A drag in widget pixels, moved in steps as a hand would.
    void drag(QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mousePress(&view(), Qt::LeftButton, modifiers, from);
        for (int step = 1; step <= 4; ++step)
            QTest::mouseMove(&view(), from + (to - from) * step / 4);
        QTest::mouseRelease(&view(), Qt::LeftButton, modifiers, to);
        waitFor(view());
    }

    QTemporaryDir dir;
    QuietPrompter prompter;
    std::unique_ptr<AppCore> core;
    std::unique_ptr<MainWindow> window;
};

} // namespace

TEST_F(PlacementTest, DraggingEachBoxStoresItOnceAndUndoGivesTheProjectBack)
{
    struct Case
    {
        int section;
        std::function<TextBox(const Project &)> box;
    } cases[] = {
        {4, [](const Project &p) { return p.pictures[0].captionBox; }},
        {5, [](const Project &p) { return p.pictures[0].headlineBox; }},
        {7, [](const Project &p) { return p.settings.lyricBox; }},
        {8, [](const Project &p) { return p.settings.titleBox; }},
    };
    for (const Case &c : cases) {
        select(c.section);
        const QStringList before = test::projectText(project());
        const TextBox old = c.box(project());
        const int commands = undo().index();
        const QRect marker = view().markerRect();
        const QPoint grab = marker.center();
        drag(grab, grab + QPoint(40, 20));
        EXPECT_EQ(undo().index(), commands + 1) << c.section; // one command, not one per mouse step
        const TextBox moved = c.box(project());
        // Moved by 40 and 20 view pixels, in stored pixels; the size stays.
        EXPECT_NEAR(moved.x, old.x + 40 / fx(), 1.0 / fx() + 1) << c.section;
        EXPECT_NEAR(moved.y, old.y + 20 / fy(), 1.0 / fy() + 1) << c.section;
        EXPECT_NEAR(moved.w, old.w, 1.0 / fx() + 1) << c.section;
        EXPECT_NEAR(moved.h, old.h, 1.0 / fy() + 1) << c.section;
        if (c.section == 7) {
            EXPECT_EQ(moved.h, old.h); // the lyric height is not stored from the view
        }
        // The marker follows the stored box.
        EXPECT_NEAR(view().markerRect().x(), marker.x() + 40, 1) << c.section;
        undo().undo();
        EXPECT_EQ(test::projectText(project()), before) << c.section;
    }
}

TEST_F(PlacementTest, ABoxDraggedPastTheLeftIsStoredAtZeroAndResizingStopsAt24ViewPixels)
{
    select(4);
    const QRect marker = view().markerRect();
    drag(marker.center(), marker.center() - QPoint(marker.x() - view().pictureRect().x() + marker.width() / 2, 0));
    EXPECT_EQ(project().pictures[0].captionBox.x, 0);

    // The title box pulled by its bottom edge far above its top.
    select(8);
    const QStringList before = test::projectText(project());
    const QRect title = view().markerRect();
    const QPoint bottom(title.center().x(), title.y() + title.height());
    drag(bottom, QPoint(bottom.x(), title.y() - 50));
    const TextBox stored = project().settings.titleBox;
    EXPECT_EQ(stored.h, Nearest(kPlacementMinimumSize / fy()));
    EXPECT_EQ(view().markerRect().height(), kPlacementMinimumSize);
    undo().undo();
    EXPECT_EQ(test::projectText(project()), before);
}

TEST_F(PlacementTest, TheLyricBoxResizesOnlyInWidth)
{
    select(7);
    const TextBox old = project().settings.lyricBox;
    const QRect marker = view().markerRect();
    // The right edge: wider.
    const QPoint right(marker.x() + marker.width(), marker.center().y());
    drag(right, right + QPoint(30, 0));
    EXPECT_NEAR(project().settings.lyricBox.w, old.w + 30 / fx(), 1.0 / fx() + 1);
    EXPECT_EQ(project().settings.lyricBox.h, old.h);
    // The bottom edge moves the box instead of making it higher.
    const QRect wider = view().markerRect();
    const QPoint bottom(wider.center().x(), wider.y() + wider.height() - 1);
    drag(bottom, bottom + QPoint(0, 30));
    EXPECT_EQ(project().settings.lyricBox.h, old.h);
    EXPECT_NEAR(project().settings.lyricBox.y, old.y + 30 / fy(), 1.0 / fy() + 1);
}

TEST_F(PlacementTest, TheCursorShowsWhatAPressWouldDo)
{
    select(4);
    const QRect m = view().markerRect();
    struct Case
    {
        QPoint at;
        Qt::CursorShape shape;
    } cases[] = {
        {m.center(), Qt::SizeAllCursor},
        {{m.x() + 1, m.center().y()}, Qt::SizeHorCursor},
        {{m.center().x(), m.y() + m.height() + 2}, Qt::SizeVerCursor},
        {{m.x(), m.y()}, Qt::SizeFDiagCursor},
        {{m.x() + m.width(), m.y()}, Qt::SizeBDiagCursor},
        {{m.x() - 20, m.y() - 20}, Qt::ArrowCursor},
    };
    for (const Case &c : cases) {
        // Far enough from the last position for the move to count.
        QTest::mouseMove(&view(), c.at + QPoint(10, 10));
        QTest::mouseMove(&view(), c.at);
        EXPECT_EQ(view().cursor().shape(), c.shape) << c.at.x() << "," << c.at.y();
    }
}

TEST_F(PlacementTest, ArrowKeysMoveTheBoxByOneOrTenStoredPixelsAsOneCommandPerRun)
{
    select(8);
    const QStringList before = test::projectText(project());
    const TextBox old = project().settings.titleBox;
    const int commands = undo().index();
    view().setFocus();
    QTest::keyClick(&view(), Qt::Key_Right);
    QTest::keyClick(&view(), Qt::Key_Right);
    QTest::keyClick(&view(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(project().settings.titleBox, (TextBox{old.x + 2, old.y + 10, old.w, old.h}));
    EXPECT_EQ(undo().index(), commands + 1);
    undo().undo();
    EXPECT_EQ(test::projectText(project()), before);
    // A key with Ctrl is not a move.
    QTest::keyClick(&view(), Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(project().settings.titleBox, old);
}

TEST_F(PlacementTest, APictureInDrawModeOneIsDraggedButNeverStoredAtTheRandomPosition)
{
    project().settings.imgDrawScale = 1;
    project().pictures[0].posX = 400;
    project().pictures[0].posY = 200;
    window->context().notifyProjectChanged();
    select(1);
    const QRect shown = view().markerRect();
    const QPoint area = view().pictureRect().topLeft();
    EXPECT_EQ(shown.topLeft() - area, QPoint(Nearest(400 * fx()), Nearest(200 * fy())));
    // Text sections do not drag the picture; the pictures section does.
    const QStringList before = test::projectText(project());
    drag(shown.center(), shown.center() + QPoint(20, 10));
    EXPECT_NEAR(project().pictures[0].posX, 400 + 20 / fx(), 1.0 / fx() + 1);
    EXPECT_NEAR(project().pictures[0].posY, 200 + 10 / fy(), 1.0 / fy() + 1);
    // Into the top-left corner and beyond: (1, 0), not the random (0, 0).
    const QRect now = view().markerRect();
    drag(now.topLeft() + QPoint(5, 5), area - QPoint(30, 30) + QPoint(5, 5));
    EXPECT_EQ(QPoint(project().pictures[0].posX, project().pictures[0].posY), QPoint(1, 0));
    EXPECT_NE(QPoint(project().pictures[0].posX, project().pictures[0].posY), QPoint(0, 0));
    undo().undo();
    undo().undo();
    EXPECT_EQ(test::projectText(project()), before);
}

TEST_F(PlacementTest, NothingMovesWhileAJobRunsOrWithoutPictures)
{
    select(8);
    const TextBox old = project().settings.titleBox;
    const QRect marker = view().markerRect();
    core->session().setBusy(true);
    drag(marker.center(), marker.center() + QPoint(40, 20));
    view().setFocus();
    QTest::keyClick(&view(), Qt::Key_Right);
    core->session().setBusy(false);
    EXPECT_EQ(project().settings.titleBox, old);

    project().pictures.clear();
    window->context().notifyProjectChanged();
    waitFor(view());
    ASSERT_FALSE(view().markerRect().isEmpty()); // the title still shows its box
    drag(marker.center(), marker.center() + QPoint(40, 20));
    QTest::keyClick(&view(), Qt::Key_Right);
    EXPECT_EQ(project().settings.titleBox, old);
    EXPECT_EQ(view().cursor().shape(), Qt::ArrowCursor);
}

// The caption where the view shows it and where an exported frame has it,
// scaled to the view, are the same pixels (within rounding).
TEST_F(PlacementTest, TheViewShowsTheCaptionWhereTheExportedFrameHasIt)
{
    select(4);
    const QImage shown = view().grab(view().pictureRect()).toImage().convertToFormat(QImage::Format_RGB32);

    RecordingTimelineSink sink(true);
    JobControl control;
    FrameLoopSettings settings;
    settings.videoSize = QSize(1280, 720);
    settings.editingScreen = screen();
    Project exported = project();
    exported.settings.enableOpening = false;
    exported.settings.enableHeadlineEffect = false; // the held frame would also carry the headline
    exported.pictures.resize(1);
    FrameLoop loop(exported, settings, sink, nullptr, control);
    ASSERT_FALSE(loop.RenderVideo().failed);
    // The slide's held frame: the picture written for the most frames.
    size_t held = 0;
    for (size_t i = 0; i < sink.calls().size(); ++i)
        if (sink.calls()[i].count > sink.calls()[held].count) held = i;
    const QImage frame = sink.pictures()[held].scaled(shown.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);

    auto redBounds = [](const QImage &image) {
        QRect bounds;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.red() > 160 && c.green() < 90 && c.blue() < 90) bounds |= QRect(x, y, 1, 1);
            }
        return bounds;
    };
    const QRect inView = redBounds(shown), inFrame = redBounds(frame);
    ASSERT_FALSE(inFrame.isEmpty());
    ASSERT_FALSE(inView.isEmpty());
    EXPECT_NEAR(inView.left(), inFrame.left(), 2);
    EXPECT_NEAR(inView.top(), inFrame.top(), 2);
    EXPECT_NEAR(inView.right(), inFrame.right(), 2);
    EXPECT_NEAR(inView.bottom(), inFrame.bottom(), 2);
    // And the caption lies in its marker.
    const QRect marker = view().markerRect().translated(-view().pictureRect().topLeft());
    EXPECT_TRUE(marker.adjusted(-2, -2, 2, 2).contains(inView)) << inView.x() << "," << inView.y();
}

TEST(EditingStill, EachSectionDrawsItsOwnText)
{
    Project p;
    p.settings.backGroundSet = QStringLiteral("1");
    p.settings.solidColor = 0;
    for (TextStyle &t : p.settings.textStyles) {
        t.startColor = t.endColor = 0xFFFFFF;
        t.pattern = 0;
    }
    p.settings.titleText[0] = QStringLiteral("第一行\r\n第二行");
    const QSize size(480, 270), screen(1920, 1080);
    auto litRows = [](const QImage &image) {
        int top = -1, bottom = -1;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) > 128) {
                    if (top < 0) top = y;
                    bottom = y;
                    break;
                }
        return std::pair(top, bottom);
    };
    // The sample lyric stands on one line, or on two for the two-line styles.
    p.settings.lyricBox = {96, 540, 1728, 100};
    p.settings.lyricStyle = 0;
    const auto [oneTop, oneBottom] = litRows(ComposeEditingStill(p, -1, EditingText::LyricSample, size, screen).image);
    p.settings.lyricStyle = 3;
    const auto [twoTop, twoBottom] = litRows(ComposeEditingStill(p, -1, EditingText::LyricSample, size, screen).image);
    ASSERT_GE(oneTop, 135);
    EXPECT_LT(oneBottom, 135 + 25);
    EXPECT_GE(twoBottom, 135 + 25); // the second row lies under the box
    EXPECT_GE(twoTop, 135);
    // Only the title's first line is drawn.
    p.settings.titleBox = {0, 0, 1920, 1080};
    const QImage title = ComposeEditingStill(p, -1, EditingText::OpeningTitle, size, screen).image;
    QImage firstOnly(size, QImage::Format_RGB32);
    firstOnly.fill(Qt::black);
    Project oneLine = p;
    oneLine.settings.titleText[0] = QStringLiteral("第一行");
    EXPECT_EQ(title, ComposeEditingStill(oneLine, -1, EditingText::OpeningTitle, size, screen).image);
    EXPECT_NE(title, firstOnly);
    EXPECT_EQ(firstTitleLine(QStringLiteral("a\r\nb\r\nc")), QStringLiteral("a"));
    EXPECT_EQ(firstTitleLine(QStringLiteral("abc")), QStringLiteral("abc"));
    // The slide alone draws none of them.
    EXPECT_EQ(ComposeEditingStill(p, -1, EditingText::Slide, size, screen).image, firstOnly);
}

TEST_F(PlacementTest, ACaptionOrHeadlineWithoutTextHasNoBoxToPlace)
{
    for (const int section : {4, 5}) {
        select(section);
        Picture &p = project().pictures[0];
        (section == 4 ? p.caption : p.headline).clear();
        window->context().notifyProjectChanged();
        EXPECT_FALSE(view().marker().has_value()) << section;
        EXPECT_EQ(view().placementTarget(), PlacementTarget::None) << section;
        // A press where the box was does nothing either.
        const int commands = undo().index();
        drag(view().pictureRect().center(), view().pictureRect().center() + QPoint(30, 30));
        EXPECT_EQ(undo().index(), commands) << section;
    }
}
