#include "FakePrompter.h"
#include "FileSizeLimit.h"
#include "ProjectSession.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace pvsm;
using pvsm::test::FakePrompter;
using pvsm::test::FileSizeLimit;

namespace {

const QString kMissingMessageStart = QStringLiteral("找不到图片幻灯配置中的某些文件");

class SessionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ws = Workspace(dir.filePath(QStringLiteral("prog")), dir.filePath(QStringLiteral("prog")));
        QDir().mkpath(ws.workDir());
        env.screenWidth = 1280;
        env.screenHeight = 720;
        env.lyricSampleLineHeight = 60;
    }

    QString makeFile(const QString &name)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write("x");
        return path;
    }

    std::unique_ptr<ProjectSession> session()
    {
        return std::make_unique<ProjectSession>(ws, env, prompter);
    }

    void addPictures(ProjectSession &s, int count)
    {
        for (int i = 0; i < count; ++i) {
            Picture p = s.project().newPicture(makeFile(QStringLiteral("pic%1.jpg").arg(i)), env);
            p.caption = QStringLiteral("字幕%1").arg(i);
            p.headline = QStringLiteral("标题%1").arg(i);
            s.project().pictures.push_back(p);
        }
    }

    // A project of `pictures` pictures saved by a session of its own.
    QString savedElsewhere(const QString &name, int pictures)
    {
        const QString path = dir.filePath(name);
        auto other = session();
        addPictures(*other, pictures);
        EXPECT_TRUE(other->save(path));
        return path;
    }

    QTemporaryDir dir;
    Workspace ws;
    ProjectEnvironment env;
    FakePrompter prompter;
};

} // namespace

TEST_F(SessionTest, SaveNeedsTwoPictures)
{
    auto s = session();
    addPictures(*s, 1);
    prompter.savePath = dir.filePath(QStringLiteral("one.aps"));
    EXPECT_FALSE(s->save());
    EXPECT_EQ(prompter.informed, QStringList{QStringLiteral("请首先添加至少两张图片到图片幻灯中")});
    EXPECT_EQ(prompter.saveDialogs, 0);
    EXPECT_FALSE(QFile::exists(prompter.savePath));
}

TEST_F(SessionTest, SaveOffersTheDialogAndBecomesCurrent)
{
    auto s = session();
    addPictures(*s, 2);
    s->project().settings.txtSetting[0] = QStringLiteral("旅行");
    prompter.savePath = dir.filePath(QStringLiteral("trip.aps"));
    ASSERT_TRUE(s->save());
    EXPECT_EQ(prompter.lastRequest.title, QStringLiteral("保存图片幻灯设置为……"));
    EXPECT_EQ(prompter.lastRequest.initialName, QStringLiteral("旅行"));
    EXPECT_EQ(prompter.lastRequest.initialDir, ws.projectDir());
    EXPECT_EQ(s->currentPath(), prompter.savePath);
    EXPECT_TRUE(QDir(ws.projectDir()).exists());
}

TEST_F(SessionTest, SavingToTheAutoSaveFileIsRefusedInAnyCase)
{
    auto s = session();
    addPictures(*s, 2);
    for (const QString &name : {QStringLiteral("AutoSave.aps"), QStringLiteral("autosave.APS"), QStringLiteral("AUTOSAVE.aps")}) {
        prompter.informed.clear();
        prompter.savePath = ws.projectDir() + name;
        EXPECT_FALSE(s->save()) << name.toStdString();
        EXPECT_EQ(prompter.informed, QStringList{QStringLiteral("请选择另一个文件名来保存设置。")});
    }
}

TEST_F(SessionTest, ReplacePrompt)
{
    auto s = session();
    addPictures(*s, 2);
    const QString path = makeFile(QStringLiteral("exists.aps"));
    prompter.savePath = path;

    prompter.answers = {Answer::No};
    EXPECT_FALSE(s->save());
    EXPECT_EQ(prompter.asked, QStringList{QStringLiteral("文件 'exists.aps' 已经存在，要替换为新的文件吗？")});
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("x"));
    f.close();

    prompter.answers = {Answer::Yes};
    EXPECT_TRUE(s->save());
    PropertyBag bag;
    EXPECT_TRUE(LoadBagFile(path, bag));
}

TEST_F(SessionTest, AFailedReplaceKeepsTheOldFile)
{
    auto s = session();
    addPictures(*s, 2);
    // A folder of that name cannot be replaced by a file.
    const QString path = dir.filePath(QStringLiteral("folder.aps"));
    QDir().mkpath(path);
    prompter.savePath = path;
    prompter.answers = {Answer::Yes};
    EXPECT_FALSE(s->save());
    EXPECT_EQ(prompter.informed, QStringList{QStringLiteral("无法写入 'folder.aps'：这是一个文件夹，不是文件")});
    EXPECT_TRUE(QFileInfo(path).isDir());
    EXPECT_TRUE(s->currentPath().isEmpty());
}

TEST_F(SessionTest, OpenDropsMissingFilesAndTellsOnce)
{
    QString path;
    {
        auto s = session();
        addPictures(*s, 3);
        s->project().songs = {{makeFile(QStringLiteral("a.mp3")), 10}, {dir.filePath(QStringLiteral("gone.mp3")), 20}};
        s->project().lyricFiles = {dir.filePath(QStringLiteral("gone.lrc"))};
        path = dir.filePath(QStringLiteral("p.aps"));
        ASSERT_TRUE(s->save(path));
    }
    QFile::remove(dir.filePath(QStringLiteral("pic1.jpg")));
    auto s = session();
    prompter.openPath = path;
    ASSERT_TRUE(s->open());
    ASSERT_EQ(s->project().pictures.size(), 2u);
    EXPECT_EQ(s->project().pictures[0].caption, QStringLiteral("字幕0"));
    EXPECT_EQ(s->project().pictures[1].caption, QStringLiteral("字幕2"));
    EXPECT_EQ(s->project().pictures[1].headline, QStringLiteral("标题2"));
    EXPECT_EQ(s->project().songs.size(), 1u);
    EXPECT_TRUE(s->project().lyricFiles.isEmpty());
    ASSERT_EQ(prompter.informed.size(), 1);
    EXPECT_TRUE(prompter.informed[0].startsWith(kMissingMessageStart));
    EXPECT_EQ(s->currentPath(), path);
}

TEST_F(SessionTest, OpenWhileAFileIsCurrentSavesItFirstWithoutAsking)
{
    const QString second = savedElsewhere(QStringLiteral("second.aps"), 3);
    auto s = session();
    addPictures(*s, 2);
    const QString first = dir.filePath(QStringLiteral("first.aps"));
    ASSERT_TRUE(s->save(first));
    s->project().pictures[0].caption = QStringLiteral("改过");
    ASSERT_TRUE(s->open(second));
    EXPECT_TRUE(prompter.asked.isEmpty());
    EXPECT_EQ(s->project().pictures.size(), 3u);
    PropertyBag bag;
    ASSERT_TRUE(LoadBagFile(first, bag));
    EXPECT_EQ(bag.getString(QStringLiteral("ImgCaption(1)")), QStringLiteral("改过"));
}

// The silent saves before Open, New and exit used to ignore a failure, and
// the edits since the last save were gone without a word.
TEST_F(SessionTest, AFailedSilentSaveAsksBeforeChangesAreLost)
{
    const QString second = savedElsewhere(QStringLiteral("second.aps"), 3);
    auto s = session();
    addPictures(*s, 2);
    const QString first = dir.filePath(QStringLiteral("first.aps"));
    ASSERT_TRUE(s->save(first));
    QFile f(first);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray saved = f.readAll();
    f.close();
    s->project().pictures[0].caption = QString(2000, QChar(0x6539));

    {
        FileSizeLimit full(saved.size() + 100);
        prompter.answers = {Answer::No, Answer::No, Answer::No};
        EXPECT_FALSE(s->open(second));
        s->newProject();
        EXPECT_FALSE(s->queryClose());
    }
    ASSERT_EQ(prompter.asked.size(), 3);
    for (const QString &q : prompter.asked) {
        EXPECT_TRUE(q.contains(QStringLiteral("磁盘空间不足"))) << q.toStdString();
        EXPECT_TRUE(q.contains(QStringLiteral("first.aps")));
    }
    EXPECT_EQ(s->project().pictures.size(), 2u) << "the project was dropped although the user said no";
    EXPECT_EQ(s->currentPath(), first);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), saved);
    f.close();

    {
        FileSizeLimit full(saved.size() + 100);
        prompter.answers = {Answer::Yes};
        EXPECT_TRUE(s->open(second));
    }
    EXPECT_EQ(s->project().pictures.size(), 3u);
}

TEST_F(SessionTest, ARestoredAutoSaveIsUnmodifiedOnceSavedToItsFile)
{
    auto s = session();
    addPictures(*s, 2);
    const QString file = dir.filePath(QStringLiteral("mine.aps"));
    ASSERT_TRUE(s->save(file));
    s->project().pictures[0].caption = QStringLiteral("未保存的修改");
    ASSERT_TRUE(s->writeProjectFile(ws.autoSavePath()));

    auto next = session();
    ASSERT_TRUE(next->restoreAutoSave(file));
    EXPECT_EQ(next->currentPath(), file);
    EXPECT_TRUE(next->modified());
    EXPECT_EQ(next->project().pictures[0].caption, QStringLiteral("未保存的修改"));
    // The save button writes the file quietly; the project then matches it.
    ASSERT_TRUE(next->saveToCurrent());
    EXPECT_FALSE(next->modified());
}

TEST_F(SessionTest, OpenResolvesRelativePathsAndBoundsNumbers)
{
    // A project written by hand (or moved with its pictures) names them
    // relative to itself, and may hold any number.
    const QString sub = dir.filePath(QStringLiteral("show"));
    QDir().mkpath(sub);
    for (const char *name : {"a.jpg", "b.jpg"}) {
        QFile pic(sub + QLatin1Char('/') + QLatin1String(name));
        ASSERT_TRUE(pic.open(QIODevice::WriteOnly));
        pic.write("x");
    }
    PropertyBag bag;
    bag.putI4(QStringLiteral("NowI"), 2);
    bag.putStr(QStringLiteral("ImgNames(1)"), QStringLiteral("a.jpg"));
    bag.putStr(QStringLiteral("ImgNames(2)"), QStringLiteral("./b.jpg"));
    bag.putR4(QStringLiteral("TimeInterval"), 1e30f);
    bag.putR4(QStringLiteral("SlideDuration(2)"), 100000.0f);
    bag.putI4(QStringLiteral("fFontSize(3)"), 1000000);
    bag.putI4(QStringLiteral("ImgDrawScale"), 77);
    const QString path = sub + QStringLiteral("/p.aps");
    ASSERT_TRUE(SaveBagFile(path, bag));

    QDir::setCurrent(dir.path()); // anywhere but the project's folder
    auto s = session();
    ASSERT_TRUE(s->open(path));
    ASSERT_EQ(s->project().pictures.size(), 2u) << prompter.informed.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(s->project().pictures[0].path, sub + QStringLiteral("/a.jpg"));
    EXPECT_EQ(s->project().pictures[1].path, sub + QStringLiteral("/b.jpg"));
    const Settings &st = s->project().settings;
    EXPECT_EQ(st.timeInterval, 3600.0f);
    EXPECT_EQ(s->project().pictures[1].slideDuration, 3600.0f);
    EXPECT_EQ(st.textStyles[2].size, 1000);
    EXPECT_EQ(st.imgDrawScale, 3);
    ASSERT_EQ(prompter.informed.size(), 1);
    for (const char *key : {"TimeInterval", "SlideDuration(2)", "fFontSize(3)", "ImgDrawScale"})
        EXPECT_TRUE(prompter.informed[0].contains(QLatin1String(key))) << key;
}

TEST_F(SessionTest, OpenAsksToSaveAnUnsavedProject)
{
    auto s = session();
    addPictures(*s, 2);
    prompter.answers = {Answer::Cancel};
    EXPECT_FALSE(s->open(dir.filePath(QStringLiteral("whatever.aps"))));
    EXPECT_EQ(prompter.asked, QStringList{ProjectSession::savePromptText()});
    EXPECT_EQ(s->project().pictures.size(), 2u);
}

// A file that is not a project changes nothing: the open project keeps its
// pictures and its file, and the user is told why.
TEST_F(SessionTest, OpeningAFileThatIsNoProjectKeepsTheOpenProject)
{
    const QString saved = savedElsewhere(QStringLiteral("mine.aps"), 3);
    QFile full(saved);
    ASSERT_TRUE(full.open(QIODevice::ReadOnly));
    const QByteArray bytes = full.readAll();
    const QString junk = makeFile(QStringLiteral("junk.aps"));
    const QString cut = dir.filePath(QStringLiteral("cut.aps"));
    {
        QFile f(cut);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes.left(bytes.size() / 2));
    }
    struct Case
    {
        QString path;
        QString why;
    };
    for (const Case &c : {Case{junk, QStringLiteral("不是图片幻灯配置文件")}, Case{cut, QStringLiteral("不是图片幻灯配置文件")},
                          Case{dir.path(), fileProblemTextZh(FileProblem::Folder)}}) {
        auto s = session();
        ASSERT_TRUE(s->open(saved));
        const Project before = s->project();
        prompter.informed.clear();
        EXPECT_FALSE(s->open(c.path)) << c.path.toStdString();
        EXPECT_EQ(s->project(), before) << c.path.toStdString();
        EXPECT_EQ(s->currentPath(), saved) << c.path.toStdString();
        ASSERT_EQ(prompter.informed.size(), 1) << c.path.toStdString();
        EXPECT_TRUE(prompter.informed[0].startsWith(QStringLiteral("无法打开配置文件 '"))) << prompter.informed[0].toStdString();
        EXPECT_TRUE(prompter.informed[0].contains(c.why)) << prompter.informed[0].toStdString();
    }
}

TEST_F(SessionTest, SaveToCurrentWritesTheOpenFileWithoutAsking)
{
    const QString saved = savedElsewhere(QStringLiteral("quiet.aps"), 2);
    auto s = session();
    ASSERT_TRUE(s->open(saved));
    s->project().pictures[0].caption = QStringLiteral("改过");
    prompter.asked.clear();
    EXPECT_TRUE(s->saveToCurrent());
    EXPECT_TRUE(prompter.asked.isEmpty());
    EXPECT_EQ(prompter.saveDialogs, 0);
    auto again = session();
    ASSERT_TRUE(again->open(saved));
    EXPECT_EQ(again->project().pictures[0].caption, QStringLiteral("改过"));

    // Without a file it is the Save command with its dialog.
    auto fresh = session();
    addPictures(*fresh, 2);
    prompter.savePath.clear();
    EXPECT_FALSE(fresh->saveToCurrent());
    EXPECT_EQ(prompter.saveDialogs, 1);
}

TEST_F(SessionTest, NewProject)
{
    auto s = session();
    addPictures(*s, 2);
    s->project().settings.timeInterval = 6;
    s->project().settings.backGroundSet = QStringLiteral("3");
    // Unsaved with two pictures: Cancel keeps, No clears.
    prompter.answers = {Answer::Cancel};
    s->newProject();
    EXPECT_EQ(s->project().pictures.size(), 2u);
    prompter.answers = {Answer::No};
    s->newProject();
    EXPECT_TRUE(s->project().pictures.empty());
    EXPECT_EQ(s->project().settings.backGroundSet, QStringLiteral("1"));
    EXPECT_FLOAT_EQ(s->project().settings.timeInterval, 6.0f); // global settings stay

    // With a current file the project is saved to it silently, then cleared.
    addPictures(*s, 2);
    const QString path = dir.filePath(QStringLiteral("n.aps"));
    ASSERT_TRUE(s->save(path));
    s->project().pictures[1].caption = QStringLiteral("最后");
    prompter.asked.clear();
    s->newProject();
    EXPECT_TRUE(prompter.asked.isEmpty());
    EXPECT_TRUE(s->project().pictures.empty());
    EXPECT_TRUE(s->currentPath().isEmpty());
    PropertyBag bag;
    ASSERT_TRUE(LoadBagFile(path, bag));
    EXPECT_EQ(bag.getString(QStringLiteral("ImgCaption(2)")), QStringLiteral("最后"));
}

TEST_F(SessionTest, AutoSaveEveryThirtySecondsWithTwoPictures)
{
    auto s = session();
    addPictures(*s, 1);
    for (int i = 0; i < 100; ++i) EXPECT_FALSE(s->autoSaveTick());
    // The count kept growing: the next tick after a second picture saves.
    addPictures(*s, 1);
    EXPECT_TRUE(s->autoSaveTick());
    EXPECT_TRUE(QFile::exists(ws.autoSavePath()));
    EXPECT_TRUE(s->currentPath().isEmpty());
    int ticks = 0;
    while (!s->autoSaveTick()) ++ticks;
    EXPECT_EQ(ticks, 59);
    EXPECT_EQ(s->lastAutoSave(), ProjectSession::AutoSave::Saved);
    EXPECT_FALSE(s->autoSaveTick());
    EXPECT_EQ(s->lastAutoSave(), ProjectSession::AutoSave::NotDue);
    s->setBusy(true);
    for (int i = 0; i < 100; ++i) EXPECT_FALSE(s->autoSaveTick());
}

TEST_F(SessionTest, AFailedAutoSaveIsToldAndTriedAgainThirtySecondsLater)
{
    auto s = session();
    addPictures(*s, 2);
    // A folder where the file should be: the rename into place fails.
    QDir().mkpath(ws.autoSavePath());
    int ticks = 0;
    while (s->lastAutoSave() != ProjectSession::AutoSave::Failed && ticks < 200) {
        EXPECT_FALSE(s->autoSaveTick());
        ++ticks;
    }
    EXPECT_EQ(ticks, 60);
    ticks = 0;
    do {
        s->autoSaveTick();
        ++ticks;
    } while (s->lastAutoSave() == ProjectSession::AutoSave::NotDue && ticks < 200);
    EXPECT_EQ(ticks, 60);
    EXPECT_EQ(s->lastAutoSave(), ProjectSession::AutoSave::Failed);
}

TEST_F(SessionTest, CloseRules)
{
    {   // One picture: no question, no Pvsm.ini.
        auto s = session();
        addPictures(*s, 1);
        EXPECT_TRUE(s->queryClose());
        EXPECT_TRUE(prompter.asked.isEmpty());
        EXPECT_FALSE(QFile::exists(ws.iniPath()));
    }
    {   // Two pictures, unsaved, answer No: closes and writes the settings only.
        auto s = session();
        addPictures(*s, 2);
        s->project().settings.timeInterval = 12;
        prompter.answers = {Answer::No};
        EXPECT_TRUE(s->queryClose());
        PropertyBag bag;
        ASSERT_TRUE(LoadBagFile(ws.iniPath(), bag));
        EXPECT_FALSE(bag.contains(QStringLiteral("NowI")));
        EXPECT_FLOAT_EQ(bag.getFloat(QStringLiteral("TimeInterval")), 12.0f);
    }
    {   // Cancel keeps the window; busy refuses silently.
        auto s = session();
        addPictures(*s, 2);
        prompter.answers = {Answer::Cancel};
        EXPECT_FALSE(s->queryClose());
        s->setBusy(true);
        prompter.asked.clear();
        EXPECT_FALSE(s->queryClose());
        EXPECT_TRUE(prompter.asked.isEmpty());
    }
    {   // The last run's settings come back, without the lists.
        auto s = session();
        EXPECT_TRUE(s->loadLastRunSettings());
        EXPECT_FLOAT_EQ(s->project().settings.timeInterval, 12.0f);
        EXPECT_TRUE(s->project().pictures.empty());
    }
}
