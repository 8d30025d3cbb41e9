#include "Display.h"
#include "Version.h"
#include "Vocabulary.h"
#include "Workspace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace pvsm;

TEST(Workspace, PrepareCreatesProjectAndEmptiesTemp)
{
    QTemporaryDir dir;
    const Workspace ws(dir.path(), dir.path());
    QDir().mkpath(ws.tempDir() + QStringLiteral("sub/deeper"));
    QFile f(ws.tempDir() + QStringLiteral("left-over.wav"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    QFile hidden(ws.tempDir() + QStringLiteral(".hidden"));
    ASSERT_TRUE(hidden.open(QIODevice::WriteOnly));
    hidden.close();

    ASSERT_TRUE(ws.prepare());
    EXPECT_TRUE(QDir(ws.projectDir()).exists());
    EXPECT_TRUE(QDir(ws.tempDir()).exists());
    EXPECT_TRUE(QDir(ws.tempDir()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));

    // Without a Temp folder, prepare creates one.
    QDir(ws.tempDir()).removeRecursively();
    ASSERT_TRUE(ws.prepare());
    EXPECT_TRUE(QDir(ws.tempDir()).exists());
}

TEST(Workspace, JobFoldersAreApartAndOnlyStaleOnesAreSwept)
{
    QTemporaryDir dir;
    const Workspace ws(dir.path(), dir.path());
    auto touch = [](const QString &path) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write("x") == 1;
    };
    // Left by runs that were killed: one with its lock file (no one holds
    // it), one killed before it made its lock.
    const QString stale = ws.tempDir() + QStringLiteral("job-AbC123/");
    const QString unlocked = ws.tempDir() + QStringLiteral("job-Zz9999/");
    ASSERT_TRUE(QDir().mkpath(stale) && QDir().mkpath(unlocked));
    ASSERT_TRUE(touch(stale + QStringLiteral(".job.lock")) && touch(stale + QStringLiteral("TmpWav1.wav")));
    EXPECT_FALSE(JobFolder::isLive(stale));

    auto first = std::make_unique<JobFolder>(ws);
    JobFolder second(ws);
    ASSERT_TRUE(first->isValid() && second.isValid());
    EXPECT_NE(first->path(), second.path());
    EXPECT_TRUE(first->path().startsWith(ws.tempDir()));
    EXPECT_FALSE(QFileInfo::exists(stale)); // swept when a job starts
    EXPECT_FALSE(QFileInfo::exists(unlocked));
    ASSERT_TRUE(touch(first->filePath(QStringLiteral("Pvsm_Video_Part.avi"))));
    ASSERT_TRUE(touch(ws.tempDir() + QStringLiteral("loose.wav")));

    // A running job's folder survives the start-up and exit clean-ups (the
    // lock is per open file, so a job of this process counts as running).
    EXPECT_TRUE(JobFolder::isLive(first->path()));
    ws.removeStaleJobFolders();
    ASSERT_TRUE(ws.prepare());
    EXPECT_TRUE(QFileInfo::exists(first->filePath(QStringLiteral("Pvsm_Video_Part.avi"))));
    EXPECT_TRUE(QFileInfo::exists(second.path()));
    EXPECT_FALSE(QFileInfo::exists(ws.tempDir() + QStringLiteral("loose.wav")));

    // The job's end takes its folder with everything in it.
    const QString firstPath = first->path();
    first.reset();
    EXPECT_FALSE(QFileInfo::exists(firstPath));
    JobFolder moved = std::move(second);
    EXPECT_FALSE(second.isValid());
    const QString movedPath = moved.path();
    moved.remove();
    EXPECT_FALSE(QFileInfo::exists(movedPath));
    EXPECT_TRUE(QDir(ws.tempDir()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
}

TEST(Workspace, PathsAndAutoSaveMatching)
{
    const Workspace ws(QStringLiteral("/opt/pvsm"), QStringLiteral("/home/u/.local/share/pvsm/"));
    EXPECT_EQ(ws.programDir(), QStringLiteral("/opt/pvsm/"));
    EXPECT_EQ(ws.iniPath(), QStringLiteral("/home/u/.local/share/pvsm/Pvsm.ini"));
    EXPECT_EQ(ws.autoSavePath(), QStringLiteral("/home/u/.local/share/pvsm/Project/AutoSave.aps"));
    EXPECT_TRUE(ws.isAutoSavePath(QStringLiteral("/home/u/.local/share/pvsm/project/AUTOSAVE.aps")));
    EXPECT_TRUE(ws.isAutoSavePath(QStringLiteral("/home/u/.local/share/pvsm/Project/../Project/autosave.APS")));
    EXPECT_FALSE(ws.isAutoSavePath(QStringLiteral("/home/u/.local/share/pvsm/Project/AutoSave2.aps")));
}

TEST(Workspace, FirstRunMarker)
{
    QTemporaryDir dir;
    const Workspace ws(dir.path(), dir.path());
    const auto first = ws.checkFirstRun();
    EXPECT_TRUE(first.isFirstRun);
    EXPECT_TRUE(first.markerCreated);
    QFile marker(ws.firstRunMarkerPath());
    ASSERT_TRUE(marker.open(QIODevice::ReadOnly));
    EXPECT_EQ(marker.readAll(), QByteArray("plehwohs"));
    EXPECT_FALSE(ws.checkFirstRun().isFirstRun);

    // Pvsm.ini alone also means the program ran before.
    QTemporaryDir other;
    const Workspace ws2(other.path(), other.path());
    QFile ini(ws2.iniPath());
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.close();
    EXPECT_FALSE(ws2.checkFirstRun().isFirstRun);

    // A folder nobody can write to (even root cannot create files in /proc).
    const Workspace readOnly(QStringLiteral("/proc/pvsm-test"), QStringLiteral("/proc/pvsm-test"));
    for (int i = 0; i < 2; ++i) {
        const auto run = readOnly.checkFirstRun();
        EXPECT_TRUE(run.isFirstRun);
        EXPECT_FALSE(run.markerCreated);
    }
}

TEST(Workspace, ReadOnlyProgramFolderWorksInTheXdgFolder)
{
    QTemporaryDir xdg;
    qputenv("XDG_DATA_HOME", xdg.path().toLocal8Bit());
    const Workspace ws = Workspace::forExecutable(QStringLiteral("/proc/self"));
    EXPECT_EQ(ws.workDir(), xdg.path() + QStringLiteral("/pvsm/"));
    EXPECT_TRUE(QDir(ws.workDir()).exists());

    QTemporaryDir writable;
    const Workspace here = Workspace::forExecutable(writable.path());
    EXPECT_EQ(here.workDir(), here.programDir());
    qunsetenv("XDG_DATA_HOME");
}

TEST(Workspace, SingleInstance)
{
    QTemporaryDir dir;
    SingleInstance first(dir.path());
    ASSERT_TRUE(first.acquire());
    SingleInstance second(dir.path());
    EXPECT_FALSE(second.acquire());
}

TEST(Startup, VersionAndCaption)
{
    EXPECT_EQ(versionText(4, 6, 0), QStringLiteral("4.60"));
    EXPECT_EQ(versionText(5, 1, 2), QStringLiteral("5.12"));
    EXPECT_EQ(windowCaption(), QStringLiteral("图片幻灯工作室4.60"));
}

TEST(Startup, VocabularyLists)
{
    struct Case { VocabularyList list; size_t count; int index; const char *text; };
    const Case cases[] = {
        {VocabularyList::ScaleMode, 5, 3, "全屏保持宽高比例"},
        {VocabularyList::GradientMode, 4, 2, "左上到右下"},
        {VocabularyList::BackgroundPictureMode, 2, 1, "全屏拉伸"},
        {VocabularyList::PlayMode, 3, 2, "显示信息窗体，点击<播放>按钮后80%屏幕播放"},
        {VocabularyList::LyricStyle, 4, 3, "两行动态字 (并不完全对应，仅模拟)"},
        {VocabularyList::TitleStyle, 3, 0, "无"},
        {VocabularyList::HeadlineEffect, 9, 8, "文字聚集(#)"},
        {VocabularyList::Transition, 23, 22, "卷帘切换三(2)"},
        {VocabularyList::Transition, 23, 15, "淡入淡出"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(vocabulary(c.list).size(), c.count);
        EXPECT_EQ(vocabularyText(c.list, c.index), QString::fromUtf8(c.text));
    }
    EXPECT_EQ(vocabulary(VocabularyList::BackgroundPictureMode)[1].value, 4);
    // The variant counts follow the bracketed numbers of the texts.
    for (const auto &e : vocabulary(VocabularyList::Transition)) {
        const QString text = QString::fromUtf8(e.text);
        if (e.variants > 1) {
            EXPECT_TRUE(text.contains(QStringLiteral("(%1)").arg(e.variants))) << e.text;
        }
        EXPECT_EQ(e.needsAcceleration, text.contains(QStringLiteral("(#)"))) << e.text;
    }
}

TEST(Startup, DefaultTextFont)
{
    const QStringList installed = {QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans CJK SC"),
                                   QStringLiteral("WenQuanYi Zen Hei")};
    const QStringList cjk = {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Zen Hei")};
    EXPECT_EQ(chooseDefaultTextFont(QStringLiteral("WenQuanYi Zen Hei"), installed, cjk), QStringLiteral("WenQuanYi Zen Hei"));
    EXPECT_EQ(chooseDefaultTextFont(QStringLiteral("DejaVu Sans"), installed, cjk), QStringLiteral("Noto Sans CJK SC"));
    EXPECT_EQ(chooseDefaultTextFont(QStringLiteral("Missing Face"), installed, cjk), QStringLiteral("Noto Sans CJK SC"));
    EXPECT_EQ(chooseDefaultTextFont(QStringLiteral("X"), installed, {QStringLiteral("Odd CJK")}), QStringLiteral("Odd CJK"));
    // On this machine the real font database gives a face that can show Chinese.
    const QString face = chooseDefaultTextFont(QStringLiteral("No Such Face"));
    EXPECT_FALSE(face.isEmpty());
}
