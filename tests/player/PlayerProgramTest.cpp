// The player program itself: a built slideshow is the player, and a damaged
// copy makes it say so in Chinese and exit, never crash.
#include "ShowFixture.h"
#include "ShowLoader.h"

#include <QFile>
#include <QProcess>

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
