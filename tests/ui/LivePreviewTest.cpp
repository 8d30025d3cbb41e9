#include "EditingView.h"
#include "LivePreview.h"
#include "PropertyBag.h"
#include "ShowPreview.h"
#include "SectionFixture.h"

#include <QElapsedTimer>
#include <QListWidget>
#include <QSignalSpy>

using namespace pvsm;
using namespace pvsm::ui;
using namespace pvsm::ui::test;

namespace {

// The editor's pages with a view and its preview beside them.
struct PreviewEditor : Editor
{
    PreviewEditor()
    {
        view.resize(480, 270);
        view.show();
        view.showPicture(project(), 0, {1920, 1080});
        EXPECT_TRUE(waitForComposition(view, 10000));
    }

    void clickRow(int section, const QString &list, int row)
    {
        auto *box = control<QListWidget>(section, list);
        page(section).resize(400, 600);
        page(section).show();
        QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, box->visualItemRect(box->item(row)).center());
    }

    bool busyCursor() const
    {
        const QCursor *c = QGuiApplication::overrideCursor();
        return c && c->shape() == Qt::BusyCursor;
    }

    EditingView view;
    LivePreview live{*context, view};
};

} // namespace

TEST(LivePreview, AClickPlaysItsEffectUnderTheBusyMarkAndASecondClickIsIgnored)
{
    PreviewEditor ed;
    VirtualPlaybackClock clock;
    ed.live.setClock(&clock);
    QSignalSpy finished(&ed.live, &LivePreview::finished);

    ed.clickRow(6, QStringLiteral("StyleList"), 15);
    ASSERT_TRUE(ed.live.running());
    EXPECT_TRUE(ed.busyCursor());
    // Neither another transition nor a headline effect starts meanwhile.
    ed.clickRow(5, QStringLiteral("FontList"), 3);
    EXPECT_FALSE(ed.live.previewTransition(2));
    EXPECT_EQ(ed.project().pictures[0].headDynamicStyle, 3); // the click still chose the effect

    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(ed.live.running());
    EXPECT_FALSE(ed.busyCursor());
    EXPECT_FALSE(ed.view.previewing());
    EXPECT_GE(ed.live.framesShown(), 1);
    EXPECT_EQ(ed.live.counters().fourWay(), 1);

    // Once it ended the next click plays.
    ed.clickRow(5, QStringLiteral("FontList"), 2);
    EXPECT_TRUE(ed.live.running());
    ASSERT_TRUE(finished.wait(10000));
}

TEST(LivePreview, ThePreviewTakesTheViewForItsDurationAndGivesItBack)
{
    PreviewEditor ed;
    ed.project().settings.transitionSpeed = 1000;
    QSignalSpy finished(&ed.live, &LivePreview::finished);
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(ed.live.previewTransition(0));
    bool sawPreview = false;
    while (finished.isEmpty() && t.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        sawPreview = sawPreview || ed.view.previewing();
    }
    ASSERT_EQ(finished.count(), 1);
    EXPECT_GE(t.elapsed(), 950); // the transition speed, counted from the click
    EXPECT_TRUE(sawPreview);
    EXPECT_FALSE(ed.view.previewing());
    EXPECT_GT(ed.live.framesShown(), 10);
}

TEST(LivePreview, EndsAtOnceBeforeAJobAndALateEndReportLeavesTheNextPreviewRunning)
{
    PreviewEditor ed;
    ed.project().settings.transitionSpeed = 2500;
    QSignalSpy finished(&ed.live, &LivePreview::finished);
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(ed.live.previewTransition(3));
    ed.live.finishNow();
    EXPECT_LT(t.elapsed(), 2000);
    EXPECT_FALSE(ed.live.running());
    EXPECT_FALSE(ed.busyCursor());
    EXPECT_EQ(finished.count(), 1);
    // The first preview's end report is still queued; the second runs on.
    ASSERT_TRUE(ed.live.previewTransition(3));
    QTest::qWait(100);
    EXPECT_TRUE(ed.live.running());
    ed.live.finishNow();
    EXPECT_EQ(finished.count(), 2);
}

TEST(LivePreview, TheVariantCountersAdvanceWithEveryPreview)
{
    PreviewEditor ed;
    VirtualPlaybackClock clock;
    ed.live.setClock(&clock);
    QSignalSpy finished(&ed.live, &LivePreview::finished);
    std::vector<int> four, two;
    for (int run = 0; run < 5; ++run) {
        ASSERT_TRUE(ed.live.previewHeadline(2));
        ASSERT_TRUE(finished.wait(10000));
        four.push_back(ed.live.lastResult().v4);
        two.push_back(ed.live.lastResult().v2);
    }
    EXPECT_EQ(four, (std::vector<int>{0, 1, 2, 3, 0}));
    EXPECT_EQ(two, (std::vector<int>{0, 1, 0, 1, 0}));
}

TEST(LivePreview, NothingStartsWithoutItsPicturesOrWhileAJobRuns)
{
    PreviewEditor ed;
    VirtualPlaybackClock clock;
    ed.live.setClock(&clock);
    QSignalSpy needed(&ed.live, &LivePreview::picturesNeeded);

    ed.context->session().setBusy(true);
    EXPECT_FALSE(ed.live.previewTransition(0));
    EXPECT_FALSE(ed.live.previewHeadline(0));
    ed.context->session().setBusy(false);

    ed.project().pictures.resize(1);
    QString text;
    answerNextBox(QMessageBox::Ok, &text);
    EXPECT_FALSE(ed.live.previewTransition(0));
    EXPECT_EQ(text, QStringLiteral("请首先添加至少两张图片到图片幻灯中"));
    EXPECT_EQ(needed.count(), 1);
    EXPECT_FALSE(ed.live.running());
    EXPECT_FALSE(ed.busyCursor());

    // The still lyric styles are what the view shows already.
    ed.project().settings.lyricStyle = 1;
    EXPECT_FALSE(ed.live.previewLyricStyle());
    ed.project().settings.lyricStyle = 2;
    EXPECT_TRUE(ed.live.previewLyricStyle());
    QSignalSpy finished(&ed.live, &LivePreview::finished);
    ASSERT_TRUE(finished.wait(10000));
}

TEST(ShowPreview, PlaysTheProjectAsItIsNowInThePlayerLeavingTheUsersFileAlone)
{
    Editor ed;
    ed.project().settings.selectedTransitions.reset();
    ed.project().settings.isPackage = false;
    ed.project().pictures[0].caption = QStringLiteral("未保存的修改");
    const Project before = ed.project();

    // A stand-in player that notes what it was started on.
    const QString player = ed.dir.filePath(QStringLiteral("player.sh"));
    const QString noted = ed.dir.filePath(QStringLiteral("args.txt"));
    {
        QFile f(player);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(("#!/bin/sh\nprintf '%s' \"$1\" > '" + noted + "'\n").toUtf8());
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    ASSERT_TRUE(runShowPreview(ed.context->session(), ed.prompter, player));
    QElapsedTimer t;
    t.start();
    while (!QFileInfo::exists(noted) && t.elapsed() < 10000) QTest::qWait(20);
    QFile args(noted);
    ASSERT_TRUE(args.open(QIODevice::ReadOnly));
    const QString played = QString::fromUtf8(args.readAll());
    EXPECT_EQ(played, showPreviewPath(ed.core->workspace()));

    PropertyBag bag;
    ASSERT_TRUE(LoadBagFile(played, bag));
    Project shown;
    ReadProjectBag(shown, bag, BagMode::Full, {});
    ASSERT_EQ(shown.pictures.size(), before.pictures.size());
    EXPECT_EQ(shown.pictures[0].caption, QStringLiteral("未保存的修改"));
    EXPECT_FALSE(shown.settings.enableTransition); // none chosen
    EXPECT_TRUE(shown.settings.isPackage);
    EXPECT_EQ(ed.project(), before);
}

TEST(ShowPreview, SaysWhatStopsIt)
{
    Editor ed;
    QString text;
    answerNextBox(QMessageBox::Ok, &text);
    EXPECT_FALSE(runShowPreview(ed.context->session(), ed.prompter, ed.dir.filePath(QStringLiteral("missing"))));
    EXPECT_TRUE(text.startsWith(QStringLiteral("未找到播放程序"))) << text.toStdString();

    ed.project().pictures.resize(1);
    answerNextBox(QMessageBox::Ok, &text);
    EXPECT_FALSE(runShowPreview(ed.context->session(), ed.prompter, QStringLiteral("/bin/true")));
    EXPECT_EQ(text, QStringLiteral("请首先添加至少两张图片到图片幻灯中"));
    EXPECT_FALSE(QFileInfo::exists(showPreviewPath(ed.core->workspace())));
}
