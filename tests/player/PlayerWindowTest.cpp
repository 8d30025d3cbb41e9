#include "PlayerWindow.h"
#include "ExportDialog.h"
#include "InformationWindow.h"
#include "ShowFixture.h"
#include "ShowLoader.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace pvsm;
using namespace pvsm::test;

namespace {

struct LoadedFixture
{
    ShowFixture f;
    ShowLoadResult loaded;
    LoadedFixture()
    {
        loaded = LoadSlideshow(f.build(QStringLiteral("show.exe")));
        if (!loaded.ok()) ADD_FAILURE() << loaded.error.message.toStdString();
    }
    LoadedShow &show() { return *loaded.show; }
};

QToolButton *button(QWidget &w, const char *name)
{
    return w.findChild<QToolButton *>(QString::fromLatin1(name));
}

} // namespace

TEST(PlayerWindow, TheKeysPauseMuteSwitchFullScreenAndEndTheShow)
{
    LoadedFixture fx;
    ASSERT_TRUE(fx.loaded.ok());
    PlayerWindow w(fx.show(), true, nullptr, false);
    QSignalSpy finished(&w, &PlayerWindow::finished);
    w.showAsAsked();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));

    QToolButton *playPause = w.findChildren<QToolButton *>().at(1);
    EXPECT_FALSE(w.isPaused());
    EXPECT_EQ(playPause->toolTip(), QStringLiteral("暂停 (空格)"));
    QTest::keyClick(&w, Qt::Key_Space);
    EXPECT_TRUE(w.isPaused());
    EXPECT_EQ(playPause->toolTip(), QStringLiteral("播放 (空格)"));
    // The button shows the packed picture of what a click does next.
    EXPECT_EQ(playPause->icon().pixmap(24, 24).toImage().convertToFormat(QImage::Format_ARGB32),
              fx.show().buttons.at(QStringLiteral("btn_play")).convertToFormat(QImage::Format_ARGB32));
    QTest::keyClick(&w, Qt::Key_Space);
    EXPECT_FALSE(w.isPaused());

    EXPECT_FALSE(w.isMuted());
    QTest::keyClick(&w, Qt::Key_M);
    EXPECT_TRUE(w.isMuted());
    // E asks for the export only when the show allows it.
    QSignalSpy exportAsked(&w, &PlayerWindow::exportRequested);
    QTest::keyClick(&w, Qt::Key_E);
    EXPECT_EQ(exportAsked.count(), 1);
    fx.show().enableExport = false;
    QTest::keyClick(&w, Qt::Key_E);
    EXPECT_EQ(exportAsked.count(), 1);
    QTest::keyClick(&w, Qt::Key_Right);
    QTest::keyClick(&w, Qt::Key_Left);

    EXPECT_TRUE(w.wantsFullScreen());
    EXPECT_EQ(w.cursor().shape(), Qt::BlankCursor);
    QTest::keyClick(&w, Qt::Key_F);
    EXPECT_FALSE(w.wantsFullScreen());
    EXPECT_EQ(w.cursor().shape(), Qt::ArrowCursor);
    QTest::keyClick(&w, Qt::Key_F);
    EXPECT_TRUE(w.wantsFullScreen());
    // Esc first leaves full screen, then ends the show.
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_FALSE(w.wantsFullScreen());
    EXPECT_EQ(finished.count(), 0);
    QTest::mouseDClick(&w, Qt::LeftButton);
    EXPECT_TRUE(w.wantsFullScreen());
    QTest::keyClick(&w, Qt::Key_Escape);
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(w.isVisible());
}

TEST(PlayerWindow, MovingTheMouseShowsTheControlsForAFewSeconds)
{
    LoadedFixture fx;
    ASSERT_TRUE(fx.loaded.ok());
    fx.show().buttons.erase(QStringLiteral("btn_scale")); // a show without one button picture
    PlayerWindow w(fx.show(), false, nullptr, false);
    QSignalSpy finished(&w, &PlayerWindow::finished);
    w.showAsAsked();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_FALSE(w.controlsShown());
    QTest::mouseMove(&w, QPoint(20, 20));
    QTest::mouseMove(&w, QPoint(60, 40));
    EXPECT_TRUE(w.controlsShown());
    for (const char *name : {"btn_prev", "btn_next", "btn_music_next", "btn_size", "btn_scale", "btn_min", "btn_close"})
        EXPECT_FALSE(button(w, name)->icon().isNull()) << name;
    EXPECT_EQ(button(w, "btn_next")->icon().pixmap(24, 24).toImage().convertToFormat(QImage::Format_ARGB32),
              fx.show().buttons.at(QStringLiteral("btn_next")).convertToFormat(QImage::Format_ARGB32));

    button(w, "btn_scale")->click();
    EXPECT_TRUE(w.isStretched());
    button(w, "btn_size")->click();
    EXPECT_TRUE(w.wantsFullScreen());
    button(w, "btn_size")->click();

    QTest::mouseMove(&w, QPoint(5, 5)); // off the bar
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.controlsShown(); }, PlayerWindow::kControlsHideMs + 2000));
    EXPECT_EQ(finished.count(), 0);
    QTest::mouseMove(&w, QPoint(50, 50));
    ASSERT_TRUE(w.controlsShown());
    button(w, "btn_close")->click();
    EXPECT_EQ(finished.count(), 1);
}

TEST(PlayerWindow, OnlyAFullScreenScreenSaverEndsOnTheMouse)
{
    struct Case
    {
        bool saver, showCursor, ignoreMove, fullScreen, ends;
    };
    const Case cases[] = {
        {true, false, false, true, true}, {true, false, false, false, false}, {true, true, false, true, false},
        {true, false, true, true, false}, {false, false, false, true, false},
    };
    for (const Case &c : cases) {
        MouseRules rules;
        rules.screenSaver = c.saver;
        rules.showCursor = c.showCursor;
        rules.ignoreMouseMove = c.ignoreMove;
        EXPECT_EQ(rules.mouseEndsShow(c.fullScreen), c.ends) << c.saver << c.showCursor << c.ignoreMove << c.fullScreen;
    }
    // The rules come from the record and the program's name.
    LoadedFixture fx;
    ASSERT_TRUE(fx.loaded.ok());
    fx.show().project.settings.ignoreMouseMove = true;
    fx.show().sourcePath = QStringLiteral("/tmp/~tmpview.SCR");
    PlayerWindow w(fx.show(), true, nullptr, false);
    EXPECT_TRUE(w.mouseRules().screenSaver);
    EXPECT_TRUE(w.mouseRules().ignoreMouseMove);
    EXPECT_FALSE(w.mouseRules().showCursor);
}

TEST(PlayerWindow, WithTheCursorAsAPointerTheMouseDoesNothing)
{
    LoadedFixture fx;
    ASSERT_TRUE(fx.loaded.ok());
    fx.show().project.settings.showCursor = true;
    PlayerWindow w(fx.show(), true, nullptr, false);
    QSignalSpy finished(&w, &PlayerWindow::finished);
    w.showAsAsked();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTest::mouseMove(&w, QPoint(20, 20));
    QTest::mouseMove(&w, QPoint(300, 200));
    EXPECT_FALSE(w.controlsShown());
    QTest::mouseDClick(&w, Qt::LeftButton);
    EXPECT_TRUE(w.wantsFullScreen());
    EXPECT_EQ(w.cursor().shape(), Qt::ArrowCursor);
    // The keys still work.
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_FALSE(w.wantsFullScreen());
    EXPECT_EQ(finished.count(), 0);
}

TEST(PlayerWindow, TheShowReachesTheWindowAndStopsWithIt)
{
    LoadedFixture fx;
    ASSERT_TRUE(fx.loaded.ok());
    fx.show().project.settings.muteSound = true;
    auto w = std::make_unique<PlayerWindow>(fx.show(), false);
    QSignalSpy frames(w.get(), &PlayerWindow::framePresented);
    w->showAsAsked();
    ASSERT_TRUE(QTest::qWaitFor([&] { return frames.count() > 0; }, 20000));
    EXPECT_FALSE(w->currentFrame().isNull());
    EXPECT_TRUE(w->isMuted());
    w.reset(); // stops and joins the presenter's thread
}

TEST(InformationWindow, ShowsTheTextsAndOffersTheExportOnlyWhenAllowed)
{
    LoadedFixture fx;
    ASSERT_TRUE(fx.loaded.ok());
    fx.show().project.settings.txtSetting[5] = QStringLiteral("版权所有");
    {
        InformationWindow info(fx.show());
        EXPECT_EQ(info.windowTitle(), QStringLiteral("海边"));
        EXPECT_EQ(info.findChild<QLabel *>(QStringLiteral("name"))->text(), QStringLiteral("海边"));
        EXPECT_EQ(info.findChild<QLabel *>(QStringLiteral("copyright"))->text(), QStringLiteral("版权所有"));
        EXPECT_FALSE(info.findChild<QLabel *>(QStringLiteral("logo"))->pixmap().isNull());
        ASSERT_NE(info.exportButton(), nullptr);
        QSignalSpy exportAsked(&info, &InformationWindow::exportRequested);
        info.exportButton()->click();
        EXPECT_EQ(exportAsked.count(), 1);
        info.show();
        info.playButton()->click();
        EXPECT_EQ(info.result(), QDialog::Accepted);
    }
    fx.show().enableExport = false;
    InformationWindow info(fx.show());
    EXPECT_EQ(info.exportButton(), nullptr);
}

TEST(ExportDialog, AWrongPasswordKeepsTheDialogAndWritesNothing)
{
    LoadedFixture fx;
    ASSERT_TRUE(fx.loaded.ok());
    const QString out = fx.f.dir.filePath(QStringLiteral("saved"));
    ExportDialog dialog(fx.show());
    dialog.setTellOutcome(false);
    ASSERT_NE(dialog.passwordEdit(), nullptr);
    dialog.folderEdit()->setText(out);
    dialog.show();
    dialog.passwordEdit()->setText(QStringLiteral("wrong"));
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.outcomeText(), QStringLiteral("密码不正确，不能导出图片和音乐。"));
    EXPECT_FALSE(QFileInfo::exists(out));

    dialog.passwordEdit()->setText(QStringLiteral("Sea 1"));
    dialog.accept();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), 4);
}
