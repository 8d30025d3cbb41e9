#include "BuildChoice.h"
#include "FrmBuild.h"
#include "FrmFinish.h"
#include "JobDialogScreenshots.h"
#include "ProgressWindow.h"
#include "VideoExport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace pvsm;
using namespace pvsm::ui;

TEST(BuildChoice, PreselectionAndWhatAKindWrites)
{
    struct Case
    {
        bool isPackage, isExportAvi;
        BuildKind expected;
    };
    for (const Case c : {Case{true, false, BuildKind::Package}, Case{false, false, BuildKind::Preview},
                         Case{false, true, BuildKind::Video}, Case{true, true, BuildKind::Video}}) {
        Settings s;
        s.isPackage = c.isPackage;
        s.isExportAvi = c.isExportAvi;
        EXPECT_EQ(preselectedBuildKind(s), c.expected) << c.isPackage << c.isExportAvi;
    }
    for (const BuildKind kind : {BuildKind::Package, BuildKind::Preview, BuildKind::Video}) {
        Settings s;
        s.isExportAvi = kind != BuildKind::Video; // the opposite of what choosing writes
        s.isPackage = kind != BuildKind::Package;
        applyBuildKind(s, kind);
        EXPECT_EQ(preselectedBuildKind(s), kind);
    }
    EXPECT_TRUE(buildControlsState(BuildKind::Video).videoOptions);
    EXPECT_FALSE(buildControlsState(BuildKind::Package).videoOptions);
    EXPECT_FALSE(buildControlsState(BuildKind::Preview).videoOptions);
    EXPECT_FALSE(buildControlsState(BuildKind::Video).includeFont);
    EXPECT_FALSE(buildControlsState(BuildKind::Preview).includeFont);
    EXPECT_TRUE(buildControlsState(BuildKind::Package).includeFont);
}

TEST(FrmBuild, OffersTheKindUsedLastWithItsOptions)
{
    struct Case
    {
        QSize screen;
        int sizeIndex;
    };
    for (const Case c : {Case{{1920, 1080}, 3}, Case{{1024, 768}, 8}}) {
        Settings settings;
        settings.isExportAvi = true;
        FrmBuild dialog(settings, c.screen);
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("创建图片幻灯"));
        EXPECT_EQ(dialog.selectedKind(), BuildKind::Video);
        EXPECT_TRUE(dialog.kindButton(BuildKind::Video)->isChecked());
        EXPECT_EQ(dialog.findChild<QComboBox *>(QStringLiteral("ComboVideoSize"))->currentIndex(), c.sizeIndex);
        EXPECT_EQ(dialog.findChild<QComboBox *>(QStringLiteral("ComboVideoSize"))->count(),
                  int(frameSizeList().size()));
        for (const BuildKind kind : {BuildKind::Package, BuildKind::Preview}) {
            EXPECT_TRUE(dialog.kindButton(kind)->isEnabled());
            EXPECT_FALSE(dialog.kindButton(kind)->toolTip().isEmpty());
        }
        for (const char *name : {"LblVideoSize", "ComboVideoSize", "ChkLoop", "ChkChooseCodec"})
            EXPECT_TRUE(dialog.findChild<QWidget *>(QString::fromLatin1(name))->isEnabled()) << name;
        EXPECT_FALSE(dialog.findChild<QWidget *>(QStringLiteral("ChkIncludeFont"))->isEnabled());
        for (const char *name : {"ChkLoop", "ChkChooseCodec", "ChkIncludeFont"})
            EXPECT_FALSE(dialog.findChild<QCheckBox *>(QString::fromLatin1(name))->isChecked()) << name;
        EXPECT_EQ(dialog.okButton()->text(), QStringLiteral("  创建  "));
        EXPECT_EQ(dialog.okButton()->toolTip(), QStringLiteral("创建图片幻灯"));
    }
    // A new project's kind is the complete slideshow, with its font option.
    Settings fresh;
    FrmBuild dialog(fresh, {1920, 1080});
    EXPECT_EQ(dialog.selectedKind(), BuildKind::Package);
    EXPECT_TRUE(dialog.findChild<QWidget *>(QStringLiteral("ChkIncludeFont"))->isEnabled());
    EXPECT_FALSE(dialog.findChild<QWidget *>(QStringLiteral("ComboVideoSize"))->isEnabled());
    dialog.kindButton(BuildKind::Preview)->click();
    EXPECT_FALSE(fresh.isPackage);
    EXPECT_FALSE(dialog.findChild<QWidget *>(QStringLiteral("ChkIncludeFont"))->isEnabled());
    dialog.okButton()->click();
    EXPECT_EQ(dialog.choice().kind, BuildKind::Preview);
    Settings quiet;
    quiet.isShowTip = false;
    EXPECT_TRUE(FrmBuild(quiet, {1920, 1080}).okButton()->toolTip().isEmpty());
}

// OK starts the build once however often it is clicked, with what was chosen,
// and the video becomes the kind offered next time.
TEST(FrmBuild, OkRunsOncePerDialog)
{
    Settings settings;
    settings.isExportAvi = true;
    FrmBuild dialog(settings, {1920, 1080});
    QSignalSpy chosen(&dialog, &FrmBuild::buildChosen);
    dialog.findChild<QComboBox *>(QStringLiteral("ComboVideoSize"))->setCurrentIndex(5);
    dialog.findChild<QCheckBox *>(QStringLiteral("ChkLoop"))->setChecked(true);
    dialog.okButton()->click();
    dialog.okButton()->click();
    EXPECT_EQ(chosen.count(), 1);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.choice().kind, BuildKind::Video);
    EXPECT_EQ(dialog.choice().frameSizeIndex, 5);
    EXPECT_TRUE(dialog.choice().loopToLongerTrack);
    EXPECT_FALSE(dialog.choice().chooseCodecManually);
    EXPECT_TRUE(settings.isExportAvi);
    EXPECT_FALSE(settings.isPackage);
}

// The video file kind is offered as it was chosen last, greyed with the
// other video options, and kept by the settings only when a video is made.
TEST(FrmBuild, OffersTheVideoFileKindChosenLast)
{
    Settings settings;
    settings.isExportAvi = true;
    {
        FrmBuild dialog(settings, {1920, 1080});
        auto *format = dialog.findChild<QComboBox *>(QStringLiteral("ComboVideoFormat"));
        ASSERT_NE(format, nullptr);
        EXPECT_EQ(format->currentIndex(), 0);
        EXPECT_TRUE(format->isEnabled());
        dialog.kindButton(BuildKind::Package)->click();
        EXPECT_FALSE(format->isEnabled());
        dialog.kindButton(BuildKind::Video)->click();
        format->setCurrentIndex(1);
        auto *fade = dialog.findChild<QCheckBox *>(QStringLiteral("ChkFadeOutEnd"));
        ASSERT_NE(fade, nullptr);
        EXPECT_FALSE(fade->isChecked()); // as the settings have it
        fade->setChecked(true);
        dialog.okButton()->click();
        EXPECT_EQ(dialog.choice().videoFormat, 1);
        EXPECT_EQ(settings.videoFormat, 1);
        EXPECT_TRUE(settings.fadeOutEnd);
    }
    FrmBuild again(settings, {1920, 1080});
    EXPECT_EQ(again.findChild<QComboBox *>(QStringLiteral("ComboVideoFormat"))->currentIndex(), 1);
    again.findChild<QComboBox *>(QStringLiteral("ComboVideoFormat"))->setCurrentIndex(0);
    again.kindButton(BuildKind::Package)->click();
    again.okButton()->click();
    EXPECT_EQ(settings.videoFormat, 1);
}

// The frame rate of the last video is offered again; a remembered value that
// is no rate (an old or edited settings file) falls back to 30.
TEST(FrmBuild, OffersTheLastFrameRateAndGivesTheChosenOne)
{
    struct Case
    {
        int remembered, offered;
    };
    for (const Case c : {Case{25, 25}, Case{60, 60}, Case{30, 30}, Case{24, 30}, Case{0, 30}}) {
        Settings settings;
        settings.isExportAvi = true;
        FrmBuild dialog(settings, {1920, 1080}, nullptr, c.remembered);
        auto *rates = dialog.findChild<QComboBox *>(QStringLiteral("ComboFrameRate"));
        ASSERT_NE(rates, nullptr);
        ASSERT_EQ(rates->count(), 3);
        EXPECT_EQ(rates->currentData().toInt(), c.offered) << c.remembered;
        EXPECT_TRUE(rates->isEnabled());
        EXPECT_EQ(offeredFrameRate(c.remembered), c.offered);
    }
    Settings settings;
    settings.isExportAvi = true;
    FrmBuild dialog(settings, {1920, 1080});
    auto *rates = dialog.findChild<QComboBox *>(QStringLiteral("ComboFrameRate"));
    rates->setCurrentIndex(rates->findData(60));
    dialog.findChild<QComboBox *>(QStringLiteral("ComboVideoSize"))->setCurrentIndex(20);
    dialog.okButton()->click();
    EXPECT_EQ(dialog.choice().frameRate, 60);
    EXPECT_EQ(dialog.choice().frameSizeIndex, 20);
    // Greyed with the other video options for the other kinds.
    Settings package;
    package.isPackage = true;
    EXPECT_FALSE(FrmBuild(package, {1920, 1080}).findChild<QComboBox *>(QStringLiteral("ComboFrameRate"))->isEnabled());
}

TEST(FrmBuild, ClickingTheVideoKindWritesTheSettings)
{
    Settings settings;
    FrmBuild dialog(settings, {1920, 1080});
    dialog.kindButton(BuildKind::Video)->click();
    EXPECT_TRUE(settings.isExportAvi);
    EXPECT_FALSE(settings.isPackage);
    dialog.reject();
    EXPECT_TRUE(settings.isExportAvi);
}

TEST(ProgressWindow, SitsWhereItShouldAndCancelsOnce)
{
    QWidget window;
    window.resize(1000, 624);
    window.show();
    ProgressWindow progress(&window, true);
    EXPECT_EQ(progress.geometry(), QRect(270, 330, 460, 24)); // 1.1 x (624 - 24) / 2
    window.resize(460, 24);
    EXPECT_EQ(progress.geometry(), QRect(0, 0, 460, 24));
    EXPECT_EQ(ProgressWindow::placement({300, 100}).topLeft(), QPoint(0, 41)); // never left of the window

    EXPECT_EQ(progress.cancelButton()->geometry(), QRect(2, 2, 56, 20));
    EXPECT_EQ(progress.cancelButton()->toolTip(), QStringLiteral("取消视频文件创建过程"));
    EXPECT_TRUE(ProgressWindow(&window, false).cancelButton()->toolTip().isEmpty());

    progress.setProgress(42, QStringLiteral("步骤4/5：编码视频"));
    EXPECT_EQ(progress.progressText(), QStringLiteral("步骤4/5：编码视频 42%"));
    progress.setProgress(140, QStringLiteral("步骤4/5：编码视频"));
    EXPECT_EQ(progress.percent(), 100);

    QSignalSpy cancelled(&progress, &ProgressWindow::cancelRequested);
    progress.cancelButton()->click();
    progress.cancelButton()->click();
    EXPECT_EQ(cancelled.count(), 1);
}

namespace {

struct FinishFixture
{
    QTemporaryDir dir;
    QString target = dir.filePath(QStringLiteral("show.avi"));
    QStringList shown;
    FrmFinish::ShowFile showFile = [this](const QString &p) { shown << p; };
    FinishFixture()
    {
        QFile f(target);
        f.open(QIODevice::WriteOnly);
        f.write("RIFF");
    }
};

} // namespace

TEST(FrmFinish, ShowsTheReportAndItsCheckBoxWritesEnableOpenFolder)
{
    FinishFixture fx;
    Settings settings;
    settings.enableOpenFolder = false;
    FrmFinish finish(settings, finishReportText(QStringLiteral("演示"), 3, 0, 1572864, fx.target), fx.target, nullptr,
                     fx.showFile);
    EXPECT_EQ(finish.windowTitle(), QStringLiteral("完成"));
    EXPECT_FALSE(finish.infoText().contains(QLatin1Char('\r')));
    EXPECT_EQ(finish.infoText().split(QLatin1Char('\n')).size(), 5);
    EXPECT_TRUE(finish.infoText().contains(QStringLiteral("文件大小： 1.50 MB")));
    QStringList labels;
    for (QLabel *l : finish.findChildren<QLabel *>())
        labels << l->text();
    EXPECT_TRUE(labels.contains(QStringLiteral("祝贺您！")));
    EXPECT_TRUE(labels.contains(QStringLiteral("成功创建了以下图片幻灯文件。")));
    EXPECT_FALSE(finish.findChild<QLabel *>(QStringLiteral("PicCoffie"))->pixmap().isNull());
    EXPECT_EQ(finish.okButton()->text(), QStringLiteral("  确定  "));

    QCheckBox *box = finish.openFolderBox();
    EXPECT_EQ(box->text(), QStringLiteral("打开保存位置所在的文件夹"));
    EXPECT_FALSE(box->isChecked());
    box->click();
    EXPECT_TRUE(settings.enableOpenFolder);
    box->click();
    EXPECT_FALSE(settings.enableOpenFolder);
}

TEST(FrmFinish, OkOpensTheFolderOnlyWhenAskedAndTheFileIsThere)
{
    struct Case
    {
        bool enableOpenFolder;
        bool deleteFile;
        bool emptyPath;
        bool opens;
    };
    for (const Case c : {Case{true, false, false, true}, Case{false, false, false, false},
                         Case{true, true, false, false}, Case{true, false, true, false}}) {
        FinishFixture fx;
        Settings settings;
        settings.enableOpenFolder = c.enableOpenFolder;
        FrmFinish finish(settings, QStringLiteral("x"), c.emptyPath ? QString() : fx.target, nullptr, fx.showFile);
        if (c.deleteFile) QFile::remove(fx.target); // while the window was open
        finish.okButton()->click();
        EXPECT_EQ(finish.result(), QDialog::Accepted);
        EXPECT_EQ(fx.shown, c.opens ? QStringList{fx.target} : QStringList{})
            << c.enableOpenFolder << c.deleteFile << c.emptyPath;
    }
}

TEST(JobDialogScreenshots, WritesOnePictureForEveryWindow)
{
    QTemporaryDir dir;
    saveJobDialogScreenshots(dir.path());
    for (const char *name : {"FrmBuild", "FrmBuild-video", "ProgressWindow", "ProgressWindow-initialising", "ProgressWindow-over-window",
                             "FrmFinish", "FrmFinish-slideshow", "FrmFinish-long-name", "Question-replace-long-name", "Question-codec"}) {
        const QImage img(QDir(dir.path()).filePath(QString::fromLatin1(name) + QStringLiteral(".png")));
        EXPECT_FALSE(img.isNull()) << name;
    }
    EXPECT_EQ(QImage(QDir(dir.path()).filePath(QStringLiteral("ProgressWindow.png"))).size(), QSize(460, 24));
}
