// The player program itself: a built slideshow is the player, and a damaged
// copy makes it say so in Chinese and exit, never crash.
#include "ShowFixture.h"
#include "ShowLoader.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QThread>

#include <csignal>

#include <gtest/gtest.h>

using namespace pvsm;
using namespace pvsm::test;

namespace {

struct ProgramRun
{
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QString out, err;
};

ProgramRun run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    ProgramRun r;
    if (!p.waitForFinished(60000)) return r;
    r.exitCode = p.exitCode();
    r.status = p.exitStatus();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

const QString kPlayer = QStringLiteral(PVSM_BIN_DIR "/pvsm-player");

} // namespace

TEST(PlayerProgram, ABuiltSlideshowFindsItsShowAndAPlayerWithoutOneSaysSo)
{
    ShowFixture f(QStringLiteral(PVSM_BIN_DIR "/Pvsm.bfq"));
    const QString show = f.build(QStringLiteral("海边.exe"));
    ASSERT_FALSE(show.isEmpty()) << f.lastMessages.join(u'\n').toStdString();
    ProgramRun r = run(show, {QStringLiteral("--check")});
    EXPECT_EQ(r.status, QProcess::NormalExit);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("\nPictures: 3\n"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("\nName: 海边\n")));

    r = run(kPlayer, {QStringLiteral("--check")});
    EXPECT_EQ(r.status, QProcess::NormalExit);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(NotASlideshowText(kPlayer))) << r.err.toStdString();
}

TEST(PlayerProgram, ASlideshowCutAtEveryKibibyteOfItsLast64KiBExitsWithTheMessage)
{
    ShowFixture f(QStringLiteral(PVSM_BIN_DIR "/Pvsm.bfq"));
    const QString show = f.build(QStringLiteral("show.exe"));
    ASSERT_FALSE(show.isEmpty()) << f.lastMessages.join(u'\n').toStdString();
    const qint64 size = QFileInfo(show).size();
    QFile file(show);
    int cuts = 0;
    // One copy cut shorter step by step: the show's end is what is lost.
    for (qint64 length = size / 1024 * 1024; length >= size - 65536; length -= 1024) {
        if (length == size) continue;
        ASSERT_TRUE(file.resize(length));
        SCOPED_TRACE(length);
        const ProgramRun r = run(kPlayer, {QStringLiteral("--check"), show});
        EXPECT_EQ(r.status, QProcess::NormalExit);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.contains(QStringLiteral("图片幻灯")) && r.out.isEmpty()) << r.err.toStdString();
        ++cuts;
    }
    EXPECT_EQ(cuts, 64);
}

TEST(PlayerProgram, TheChosenIconIsTheWindowIconAndAStopSignalLeavesNothingUnpacked)
{
    ShowFixture f(QStringLiteral(PVSM_BIN_DIR "/Pvsm.bfq"));
    QImage red(48, 48, QImage::Format_ARGB32);
    red.fill(Qt::red);
    f.iconFile = f.dir.filePath(QStringLiteral("red.ico"));
    ASSERT_TRUE(red.save(f.iconFile, "ICO"));
    f.project.settings.ssDirectPlay = 1; // straight to the show, no window to answer
    const QString show = f.build(QStringLiteral("show.exe"));
    ASSERT_FALSE(show.isEmpty()) << f.lastMessages.join(u'\n').toStdString();
    const ProgramRun checked = run(show, {QStringLiteral("--check")});
    EXPECT_TRUE(checked.out.contains(QStringLiteral("\nWindowIcon: 48x48\n"))) << checked.out.toStdString();

    const QString tmp = f.dir.filePath(QStringLiteral("tmp"));
    QDir().mkpath(tmp);
    QProcess player;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TMPDIR"), tmp);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    player.setProcessEnvironment(env);
    player.start(show, {});
    ASSERT_TRUE(player.waitForStarted());
    auto unpacked = [&] { return QDir(tmp).entryList({QStringLiteral("pvsm-show-*")}, QDir::Dirs); };
    for (int i = 0; i < 200 && unpacked().isEmpty(); ++i)
        QThread::msleep(50);
    ASSERT_EQ(unpacked().size(), 1);
    EXPECT_EQ(
        QDir(tmp + QLatin1Char('/') + unpacked().first()).entryList({QStringLiteral("ImgNames_*")}, QDir::Files).size(),
        3);
    QThread::msleep(500); // playing now
    ::kill(pid_t(player.processId()), SIGTERM);
    ASSERT_TRUE(player.waitForFinished(20000));
    EXPECT_EQ(player.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(player.exitCode(), 0) << player.readAllStandardError().toStdString();
    EXPECT_TRUE(unpacked().isEmpty());
}
