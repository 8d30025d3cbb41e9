#include "CoreOptions.h"
#include "FakePrompter.h"
#include "Recovery.h"
#include "StartUp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <optional>

#include <sys/wait.h>
#include <unistd.h>

using namespace pvsm;
using pvsm::test::FakePrompter;

namespace {

const QDateTime kSaved(QDate(2026, 3, 1), QTime(10, 0, 0));

TEST(Recovery, OfferRule)
{
    struct Case
    {
        const char *what;
        bool died;
        const char *project;
        std::optional<int> projectAge;   // seconds after kSaved; absent: no file
        std::optional<int> autoSaveAge;  // absent: no automatic save
        bool same;
        bool isAutoSave;
        bool offered;
    };
    const Case cases[] = {
        {"normal end", false, "/u/a.aps", 0, 30, false, false, false},
        {"died, no automatic save", true, "/u/a.aps", 0, std::nullopt, false, false, false},
        {"died, automatic save newer", true, "/u/a.aps", 0, 30, false, false, true},
        {"died, automatic save older", true, "/u/a.aps", 30, 0, false, false, false},
        {"died, both at the same time", true, "/u/a.aps", 0, 0, false, false, false},
        {"died, newer but the same bytes", true, "/u/a.aps", 0, 30, true, false, false},
        {"died, never saved", true, "", std::nullopt, 0, false, false, true},
        {"died, its file gone since", true, "/u/a.aps", std::nullopt, 0, false, false, true},
        {"died with the automatic save open", true, "/w/Project/AutoSave.aps", 0, 30, false, true, false},
        {"normal end, never saved", false, "", std::nullopt, 0, false, false, false},
    };
    for (const Case &c : cases) {
        RecoveryFacts f;
        f.previousDied = c.died;
        f.projectPath = QString::fromUtf8(c.project);
        f.projectIsAutoSave = c.isAutoSave;
        if (c.projectAge) f.projectModified = kSaved.addSecs(*c.projectAge);
        if (c.autoSaveAge) f.autoSaveModified = kSaved.addSecs(*c.autoSaveAge);
        f.autoSaveSameAsProject = c.same;
        EXPECT_EQ(canOfferRecovery(f), c.offered) << c.what;
    }
}

TEST(Recovery, MarkerTextKeepsAnyPath)
{
    for (const QString &path : {QString(), QStringLiteral("/home/u/我的幻灯.aps"),
                                QStringLiteral("/tmp/two\nlines project .aps")}) {
        QString back = QStringLiteral("unset");
        ASSERT_TRUE(SessionMarker::parse(SessionMarker::format(4242, path), &back));
        EXPECT_EQ(back, path);
    }
    EXPECT_FALSE(SessionMarker::parse("hello\nproject /x.aps", nullptr));
    EXPECT_FALSE(SessionMarker::parse("pvsm session\npid 1\n", nullptr));
}

// A child process takes the marker, records a file and waits to be killed.
TEST(Recovery, MarkerOfAKilledSessionIsLeftAndReported)
{
    QTemporaryDir dir;
    const QString project = QStringLiteral("/home/u/假期.aps");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SessionMarker marker(dir.path());
        const bool ok = marker.isHeld() && marker.setProjectPath(project);
        const char c = ok ? 'y' : 'n';
        (void)!::write(ready[1], &c, 1);
        for (;;) ::pause();
    }
    ::close(ready[1]);
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(c, 'y');

    {
        // While the session lives, its marker is not a dead one's.
        SessionMarker second(dir.path());
        EXPECT_FALSE(second.isHeld());
        EXPECT_TRUE(second.previous().live);
        EXPECT_FALSE(second.previous().died);
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);

    {
        SessionMarker next(dir.path());
        ASSERT_TRUE(next.isHeld());
        EXPECT_TRUE(next.previous().died);
        EXPECT_FALSE(next.previous().live);
        EXPECT_EQ(next.previous().projectPath, project);
        next.release();
        EXPECT_FALSE(QFileInfo::exists(next.path()));
    }
    SessionMarker afterNormalEnd(dir.path());
    EXPECT_TRUE(afterNormalEnd.isHeld());
    EXPECT_FALSE(afterNormalEnd.previous().died);
}


bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void setModified(const QString &path, const QDateTime &when)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(when, QFileDevice::FileModificationTime));
}

// A session that saves its project to `projectPath` (when not empty), then
// changes the interval to 7 and is autosaved, then ends without close(), as
// a killed editor does: its marker stays behind unlocked.
void crashedSession(const QString &dir, const QString &projectPath)
{
    FakePrompter prompter;
    auto app = AppCore::start(test::coreOptionsFor(dir), prompter);
    ASSERT_TRUE(app);
    ProjectSession &s = app->session();
    Project &p = s.project();
    for (int i = 0; i < 2; ++i) {
        const QString pic = QDir(dir).filePath(QStringLiteral("p%1.jpg").arg(i));
        ASSERT_TRUE(writeFile(pic, "x"));
        p.pictures.push_back(p.newPicture(pic, {}));
    }
    if (!projectPath.isEmpty()) {
        ASSERT_TRUE(s.save(projectPath));
        setModified(projectPath, kSaved);
    }
    p.settings.timeInterval = 7;
    for (int i = 0; i < 60; ++i) s.autoSaveTick();
    ASSERT_TRUE(QFileInfo::exists(app->workspace().autoSavePath()));
    setModified(app->workspace().autoSavePath(), kSaved.addSecs(30));
}

TEST(Recovery, RestoreKeepsTheUsersFileAndHoldsTheAutoSaveUntilThen)
{
    QTemporaryDir dir;
    const QString mine = dir.filePath(QStringLiteral("mine.aps"));
    crashedSession(dir.path(), mine);
    const QByteArray savedBytes = readFile(mine);

    FakePrompter prompter;
    auto app = AppCore::start(test::coreOptionsFor(dir.path()), prompter);
    ASSERT_TRUE(app);
    ASSERT_TRUE(app->recoveryOffered());
    EXPECT_EQ(app->recoveryFacts().projectPath, mine);
    const QString autoSave = app->workspace().autoSavePath();
    const QByteArray autoBytes = readFile(autoSave);

    // Undecided: nothing writes over the dead session's work.
    ProjectSession &s = app->session();
    for (int i = 0; i < 2; ++i) s.project().pictures.push_back(s.project().newPicture(dir.filePath(QStringLiteral("p%1.jpg").arg(i)), {}));
    for (int i = 0; i < 120; ++i) EXPECT_FALSE(s.autoSaveTick());
    EXPECT_EQ(readFile(autoSave), autoBytes);
    s.project().pictures.clear();

    ASSERT_TRUE(app->restoreRecovery());
    EXPECT_FALSE(app->recoveryOffered());
    EXPECT_EQ(s.currentPath(), mine);
    EXPECT_TRUE(s.modified());
    EXPECT_FLOAT_EQ(s.project().settings.timeInterval, 7.0f);
    EXPECT_EQ(s.project().pictures.size(), 2u);
    EXPECT_EQ(readFile(mine), savedBytes); // the user's file changes only when saved
    EXPECT_TRUE(QFileInfo::exists(autoSave));
    EXPECT_FALSE(app->declineRecovery().size()); // decided already

    // The silent save at exit writes the restored work to the user's file.
    ASSERT_TRUE(app->close());
    EXPECT_FALSE(s.modified());
    app.reset();
    FakePrompter again;
    auto next = AppCore::start(test::coreOptionsFor(dir.path()), again);
    ASSERT_TRUE(next);
    EXPECT_FALSE(next->recoveryOffered()); // a normal end
    ASSERT_TRUE(next->session().open(mine));
    EXPECT_FLOAT_EQ(next->session().project().settings.timeInterval, 7.0f);
}

TEST(Recovery, DeclineKeepsADatedCopyAndChangesNothing)
{
    QTemporaryDir dir;
    const QString mine = dir.filePath(QStringLiteral("mine.aps"));
    crashedSession(dir.path(), mine);
    const QString autoSave = Workspace(dir.path(), dir.path()).autoSavePath();
    const QByteArray autoBytes = readFile(autoSave);
    // A copy kept by an earlier decline has the same time: the name must not clash.
    const QString earlier = dir.filePath(QStringLiteral("Project/AutoSave-20260301-100030.aps"));
    ASSERT_TRUE(writeFile(earlier, "earlier"));

    FakePrompter prompter;
    auto app = AppCore::start(test::coreOptionsFor(dir.path()), prompter);
    ASSERT_TRUE(app && app->recoveryOffered());
    const QString kept = app->declineRecovery();
    EXPECT_EQ(QFileInfo(kept).fileName(), QStringLiteral("AutoSave-20260301-100030-2.aps"));
    EXPECT_EQ(readFile(kept), autoBytes);
    EXPECT_EQ(readFile(earlier), QByteArray("earlier"));
    EXPECT_FALSE(QFileInfo::exists(autoSave));
    EXPECT_FALSE(app->recoveryOffered());
    EXPECT_TRUE(app->session().currentPath().isEmpty());
    EXPECT_FALSE(app->session().modified());
    EXPECT_TRUE(app->session().project().pictures.empty());
    EXPECT_FALSE(app->session().autoSaveHeld());
}

TEST(Recovery, NeverSavedWorkComesBackWithoutAFile)
{
    QTemporaryDir dir;
    crashedSession(dir.path(), {});
    FakePrompter prompter;
    auto app = AppCore::start(test::coreOptionsFor(dir.path()), prompter);
    ASSERT_TRUE(app && app->recoveryOffered());
    ASSERT_TRUE(app->restoreRecovery());
    EXPECT_TRUE(app->session().currentPath().isEmpty()); // Save asks for a name
    EXPECT_TRUE(app->session().modified());
    EXPECT_EQ(app->session().project().pictures.size(), 2u);
}

TEST(Recovery, UnreadableAutoSaveIsKeptAsideNotLoaded)
{
    QTemporaryDir dir;
    const QString mine = dir.filePath(QStringLiteral("mine.aps"));
    crashedSession(dir.path(), mine);
    const QString autoSave = Workspace(dir.path(), dir.path()).autoSavePath();
    ASSERT_TRUE(writeFile(autoSave, "damaged"));
    setModified(autoSave, kSaved.addSecs(60));

    FakePrompter prompter;
    auto app = AppCore::start(test::coreOptionsFor(dir.path()), prompter);
    ASSERT_TRUE(app && app->recoveryOffered());
    QString kept;
    EXPECT_FALSE(app->restoreRecovery(&kept));
    EXPECT_EQ(readFile(kept), QByteArray("damaged"));
    EXPECT_FALSE(QFileInfo::exists(autoSave));
    EXPECT_TRUE(app->session().currentPath().isEmpty());
    EXPECT_FALSE(app->session().modified());
}

TEST(Recovery, NormalEndOffersNothing)
{
    QTemporaryDir dir;
    {
        FakePrompter prompter;
        auto app = AppCore::start(test::coreOptionsFor(dir.path()), prompter);
        ASSERT_TRUE(app);
        ASSERT_TRUE(writeFile(app->workspace().autoSavePath(), "whatever"));
        prompter.answers = {Answer::No};
        ASSERT_TRUE(app->close());
    }
    FakePrompter prompter;
    auto app = AppCore::start(test::coreOptionsFor(dir.path()), prompter);
    ASSERT_TRUE(app);
    EXPECT_FALSE(app->recoveryOffered());
    EXPECT_FALSE(app->session().autoSaveHeld());
}

} // namespace
