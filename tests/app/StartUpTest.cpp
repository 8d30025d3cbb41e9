#include "CoreOptions.h"
#include "FakePrompter.h"
#include "StartUp.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace pvsm;
using pvsm::test::FakePrompter;

TEST(AppCore, StartPreparesTheWorkFolderAndRefusesASecondCopy)
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("Temp")));
    QFile junk(dir.filePath(QStringLiteral("Temp/junk")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.close();

    FakePrompter prompter;
    auto app = AppCore::start(test::coreOptionsFor(dir.path()), prompter);
    ASSERT_TRUE(app);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("Temp/junk"))));
    EXPECT_TRUE(QDir(dir.filePath(QStringLiteral("Project"))).exists());
    const Project &p = app->session().project();
    EXPECT_EQ(p.settings.titleBox, (TextBox{128, 160, 1024, 480}));
    EXPECT_EQ(p.settings.textStyles[3].fontName, app->defaultTextFont());
    EXPECT_EQ(p.settings.txtSetting[0], QStringLiteral("我的图片幻灯"));

    FakePrompter other;
    EXPECT_FALSE(AppCore::start(test::coreOptionsFor(dir.path()), other));
}

TEST(AppCore, LastRunSettingsComeBackAndExitWritesThem)
{
    QTemporaryDir dir;
    FakePrompter prompter;
    {
        auto app = AppCore::start(test::coreOptionsFor(dir.path()), prompter);
        ASSERT_TRUE(app);
        EXPECT_TRUE(app->firstActivation());
        EXPECT_FALSE(app->firstActivation()); // once per process
        Project &p = app->session().project();
        p.settings.timeInterval = 9;
        p.settings.lyricStyle = 2;
        for (int i = 0; i < 2; ++i) p.pictures.push_back(p.newPicture(QStringLiteral("/p/%1.jpg").arg(i), {}));
        prompter.answers = {Answer::No};
        QFile leftover(app->workspace().tempDir() + QStringLiteral("x.wav"));
        ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
        leftover.close();
        EXPECT_TRUE(app->close());
        EXPECT_TRUE(QDir(app->workspace().tempDir()).isEmpty());
    }
    auto app = AppCore::start(test::coreOptionsFor(dir.path()), prompter);
    ASSERT_TRUE(app);
    EXPECT_TRUE(app->lastRunSettingsLoaded());
    EXPECT_FALSE(app->firstActivation()); // the marker exists now
    EXPECT_FLOAT_EQ(app->session().project().settings.timeInterval, 9.0f);
    EXPECT_EQ(app->session().project().settings.lyricStyle, 2);
    EXPECT_TRUE(app->session().project().pictures.empty());
}

TEST(AppCore, UnreadableLastRunSettingsAreIgnored)
{
    QTemporaryDir dir;
    QFile ini(dir.filePath(QStringLiteral("Pvsm.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[General]\nnot=a bag\n");
    ini.close();
    FakePrompter prompter;
    auto app = AppCore::start(test::coreOptionsFor(dir.path()), prompter);
    ASSERT_TRUE(app);
    EXPECT_FALSE(app->lastRunSettingsLoaded());
    EXPECT_FLOAT_EQ(app->session().project().settings.timeInterval, 10.0f);
}

TEST(AppCore, ReadOnlyFolderMessage)
{
    const Workspace ws(QStringLiteral("/proc/pvsm-ro"), QStringLiteral("/proc/pvsm-ro"));
    EXPECT_FALSE(ws.checkFirstRun().markerCreated);
    EXPECT_TRUE(cannotCreateFilesMessage(QStringLiteral("/opt/pvsm/")).startsWith(QStringLiteral("程序似乎不能在这个目录创建文件：\n/opt/pvsm/\n")));
}
