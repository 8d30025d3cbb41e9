#include "CoreOptions.h"
#include "FakePrompter.h"
#include "RecoveryPrompt.h"
#include "StartUp.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QThread>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace pvsm;

namespace {


// A project file whose name holds markup.
QString projectIn(const QString &dir)
{
    return QDir(dir).filePath(QStringLiteral("<i>我的幻灯.aps"));
}

// Leaves what a killed editor leaves: an automatic save newer than the
// project file, and the session's marker, unlocked.
void leaveCrashedSession(const QString &dir)
{
    test::FakePrompter prompter;
    auto app = AppCore::start(test::coreOptionsFor(dir), prompter);
    ASSERT_TRUE(app);
    Project &p = app->session().project();
    for (int i = 0; i < 2; ++i) {
        const QString pic = QDir(dir).filePath(QStringLiteral("%1.jpg").arg(i));
        QFile f(pic);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("x") == 1);
        p.pictures.push_back(p.newPicture(pic, {}));
    }
    ASSERT_TRUE(app->session().save(projectIn(dir)));
    QFile project(projectIn(dir));
    ASSERT_TRUE(project.open(QIODevice::ReadWrite));
    ASSERT_TRUE(project.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
    p.settings.timeInterval = 7;
    ASSERT_TRUE(app->session().writeProjectFile(app->workspace().autoSavePath()));
}

// Presses the named button of the message box once it is up, after saving a
// picture of it when PVSM_SCREENSHOT_DIR names a folder.
void answerWith(const char *buttonName, QString *shownText)
{
    QTimer::singleShot(0, [=] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_TRUE(box);
        *shownText = box->text();
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        const QString shots = qEnvironmentVariable("PVSM_SCREENSHOT_DIR");
        if (!shots.isEmpty()) box->grab().save(QDir(shots).filePath(QStringLiteral("recovery-prompt.png")));
        auto *button = box->findChild<QPushButton *>(QString::fromLatin1(buttonName));
        ASSERT_TRUE(button);
        button->click();
    });
}

TEST(RecoveryPrompt, RestoreAndDiscardDoWhatTheySay)
{
    for (const char *button : {"RecoveryRestore", "RecoveryDiscard"}) {
        const bool restoring = QByteArray(button) == "RecoveryRestore";
        QTemporaryDir dir;
        leaveCrashedSession(dir.path());
        test::FakePrompter prompter;
        auto app = AppCore::start(test::coreOptionsFor(dir.path()), prompter);
        ASSERT_TRUE(app && app->recoveryOffered());

        QString shown;
        answerWith(button, &shown);
        EXPECT_EQ(ui::offerRecoveryAtStart(nullptr, *app), restoring) << button;
        EXPECT_TRUE(shown.contains(QStringLiteral("上次运行没有正常结束"))) << button;
        EXPECT_TRUE(shown.contains(QStringLiteral("<i>我的幻灯.aps"))) << button;
        EXPECT_FALSE(app->recoveryOffered());
        EXPECT_EQ(app->session().project().pictures.size(), restoring ? 2u : 0u) << button;
        EXPECT_EQ(app->session().currentPath(), restoring ? projectIn(dir.path()) : QString()) << button;
        EXPECT_EQ(QFileInfo::exists(app->workspace().autoSavePath()), restoring) << button;
        const QStringList kept = QDir(app->workspace().projectDir()).entryList({QStringLiteral("AutoSave-*.aps")});
        EXPECT_EQ(kept.size(), restoring ? 0 : 1) << button;
    }
}

TEST(RecoveryPrompt, NothingToOfferAsksNothing)
{
    QTemporaryDir dir;
    test::FakePrompter prompter;
    auto app = AppCore::start(test::coreOptionsFor(dir.path()), prompter);
    ASSERT_TRUE(app);
    EXPECT_FALSE(ui::offerRecoveryAtStart(nullptr, *app)); // would block on a box if it asked
}

// The real editor, killed with SIGKILL while a project is open, leaves what
// the next start needs to offer that project's newer automatic save. The
// editor runs from a copy of its binary, so its work folder is this test's.
TEST(RecoveryPrompt, KilledEditorLeavesItsProjectForTheNextStart)
{
    QTemporaryDir dir;
    const QString exe = dir.filePath(QStringLiteral("pvsm"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(PVSM_BIN_DIR) + QStringLiteral("/pvsm"), exe));
    QFile::setPermissions(exe, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString mine = dir.filePath(QStringLiteral("旅行.aps"));
    {
        test::FakePrompter prompter;
        ProjectSession s(Workspace(dir.path(), dir.path()), {}, prompter);
        for (int i = 0; i < 2; ++i) {
            const QString pic = dir.filePath(QStringLiteral("%1.png").arg(i));
            QImage img(64, 48, QImage::Format_RGB32);
            img.fill(i ? Qt::blue : Qt::red);
            ASSERT_TRUE(img.save(pic));
            s.project().pictures.push_back(s.project().newPicture(pic, {}));
        }
        ASSERT_TRUE(s.save(mine));
        s.project().settings.timeInterval = 7; // the work the file lacks
        ASSERT_TRUE(s.writeProjectFile(s.workspace().autoSavePath()));
        QFile f(mine);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess editor;
    editor.setProcessEnvironment(env);
    editor.start(exe, {mine});
    ASSERT_TRUE(editor.waitForStarted(10000));
    // Up once its marker names the project it opened.
    QString recorded;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 20000) {
        QFile marker(dir.filePath(QStringLiteral(".pvsm.session")));
        if (marker.open(QIODevice::ReadOnly) && SessionMarker::parse(marker.readAll(), &recorded) && recorded == mine)
            break;
        QThread::msleep(50);
    }
    ASSERT_EQ(recorded, mine);
    {
        test::FakePrompter prompter;
        EXPECT_FALSE(AppCore::start(test::coreOptionsFor(dir.path()), prompter)); // it still runs
    }
    editor.kill();
    ASSERT_TRUE(editor.waitForFinished(10000));

    test::FakePrompter prompter;
    auto app = AppCore::start(test::coreOptionsFor(dir.path()), prompter);
    ASSERT_TRUE(app);
    ASSERT_TRUE(app->recoveryOffered());
    EXPECT_EQ(app->recoveryFacts().projectPath, mine);
    ASSERT_TRUE(app->restoreRecovery());
    EXPECT_EQ(app->session().currentPath(), mine);
    EXPECT_FLOAT_EQ(app->session().project().settings.timeInterval, 7.0f);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
