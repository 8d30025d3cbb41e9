// Common mistakes on the command line: every refusal names its real cause.
#include "CliRun.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using pvsm::test::cli;
using pvsm::test::CliRun;

namespace {

QString picture(const QTemporaryDir &dir, const QString &name, const char *format)
{
    QImage img(40, 30, QImage::Format_RGB32);
    img.fill(Qt::darkYellow);
    const QString path = dir.filePath(name);
    img.save(path, format);
    return path;
}

QString write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

QStringList newProject(const QString &out, const QStringList &pictures)
{
    QStringList args = {QStringLiteral("project"), QStringLiteral("new"), out, QStringLiteral("--overwrite")};
    for (const QString &p : pictures) args << QStringLiteral("--picture") << p;
    return args;
}

bool mountTmpfs(const QString &dir)
{
    return ::geteuid() == 0
           && QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                                           QStringLiteral("size=1m"), QStringLiteral("none"), dir})
                  == 0;
}

} // namespace

TEST(CliMistakes, AFifoIsRefusedPromptlyByEveryReader)
{
    QTemporaryDir dir;
    const QString a = picture(dir, QStringLiteral("a.png"), "png");
    // Named like a picture, so that only its kind can refuse it.
    const QString fifo = dir.filePath(QStringLiteral("pipe.jpg"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString why = fifo + QStringLiteral(" is not a regular file (a FIFO, socket or device)");
    const QStringList commands[] = {
        {QStringLiteral("project"), QStringLiteral("show"), fifo},
        {QStringLiteral("project"), QStringLiteral("set"), fifo, QStringLiteral("TimeInterval=5")},
        {QStringLiteral("bag"), QStringLiteral("dump"), fifo},
        {QStringLiteral("image"), QStringLiteral("info"), fifo},
        {QStringLiteral("image"), QStringLiteral("draw"), fifo, QStringLiteral("--mode"), QStringLiteral("3"),
         QStringLiteral("--size"), QStringLiteral("32x24"), QStringLiteral("--out"), dir.filePath(QStringLiteral("o.png"))},
        {QStringLiteral("lyrics"), fifo},
        {QStringLiteral("audio"), QStringLiteral("info"), fifo},
        {QStringLiteral("export"), fifo, dir.filePath(QStringLiteral("o.avi"))},
        {QStringLiteral("effect"), QStringLiteral("transition"), QStringLiteral("0"), fifo, a},
    };
    for (const QStringList &c : commands) {
        const CliRun r = cli(c, 20000); // a blocked open would never return
        EXPECT_EQ(r.exitCode, 1) << c.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(r.err.contains(why)) << r.err.toStdString();
    }
    // Adding it to a project refuses it, with the reason, and goes on.
    const CliRun added = cli(newProject(dir.filePath(QStringLiteral("p.aps")), {a, fifo, a})
                                 << QStringLiteral("--music") << fifo,
                             20000);
    EXPECT_EQ(added.exitCode, 1); // one picture is not enough
    EXPECT_TRUE(added.err.contains(QStringLiteral("\n  ") + why)) << added.err.toStdString();
}

TEST(CliMistakes, MissingFilesAndDevicesAreCalledWhatTheyAre)
{
    QTemporaryDir dir;
    const QString none = dir.filePath(QStringLiteral("none"));
    const struct
    {
        QStringList args;
        QString err;
    } cases[] = {
        {{QStringLiteral("project"), QStringLiteral("show"), none}, none + QStringLiteral(" does not exist\n")},
        {{QStringLiteral("image"), QStringLiteral("info"), none}, none + QStringLiteral(" does not exist\n")},
        {{QStringLiteral("lyrics"), none}, none + QStringLiteral(" does not exist\n")},
        {{QStringLiteral("bag"), QStringLiteral("dump"), dir.path()}, dir.path() + QStringLiteral(" is a folder, not a file\n")},
        {{QStringLiteral("audio"), QStringLiteral("info"), QStringLiteral("/dev/zero")},
         QStringLiteral("/dev/zero is not a regular file (a FIFO, socket or device)\n")},
        {{QStringLiteral("project"), QStringLiteral("show"), write(dir.filePath(QStringLiteral("t.aps")), "text")},
         dir.filePath(QStringLiteral("t.aps")) + QStringLiteral(" is not a project file\n")},
    };
    for (const auto &c : cases) {
        const CliRun r = cli(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.args.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(r.err, c.err);
    }
}

TEST(CliMistakes, PicturesAreTakenByContentAndEveryRefusalIsNamed)
{
    QTemporaryDir dir;
    const QString jpeg = picture(dir, QStringLiteral("a.jpeg"), "jpeg");
    const QString upper = picture(dir, QStringLiteral("B.JPEG"), "jpeg");
    const QString tiff = picture(dir, QStringLiteral("c.tiff"), "tiff");
    const QString pngNamedJpg = picture(dir, QStringLiteral("d.Jpg"), "png");
    const QString fake = write(dir.filePath(QStringLiteral("fake.jpg")), "not a picture at all");
    const QString missing = dir.filePath(QStringLiteral("gone.png"));
    const QString notes = write(dir.filePath(QStringLiteral("notes.txt")), "words");
    const QString out = dir.filePath(QStringLiteral("p.aps"));
    const CliRun r = cli(newProject(out, {jpeg, upper, tiff, pngNamedJpg, jpeg, fake, missing, notes}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("NowI: 4\n"))) << r.out.toStdString();
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("4 picture(s) skipped:\n  ") + jpeg + QStringLiteral(" is listed twice\n  ") + fake
                                 + QStringLiteral(" is not a picture of a supported format\n  ") + missing
                                 + QStringLiteral(" does not exist\n  ") + notes + QStringLiteral(" has no picture extension (")))
        << r.err.toStdString();
}

TEST(CliMistakes, AValueARuleChangesIsNamed)
{
    QTemporaryDir dir;
    const QStringList pics = {picture(dir, QStringLiteral("a.png"), "png"), picture(dir, QStringLiteral("b.png"), "png")};
    const QString out = dir.filePath(QStringLiteral("p.aps"));
    const CliRun r = cli(newProject(out, pics) << QStringLiteral("--set") << QStringLiteral("TimeInterval=3")
                                               << QStringLiteral("--set") << QStringLiteral("TransitionSpeed=5000")
                                               << QStringLiteral("--set") << QStringLiteral("OpeningDurationTime=6"));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err, QStringLiteral("TimeInterval: 3 raised to 3.5 by the rule for this setting\n"
                                    "TransitionSpeed: 5000 lowered to 2500 by the rule for this setting\n"));
    EXPECT_TRUE(cli({QStringLiteral("project"), QStringLiteral("show"), out}).out.contains(QStringLiteral("TimeInterval: R4 3.5\n")));
    const CliRun set = cli({QStringLiteral("project"), QStringLiteral("set"), out, QStringLiteral("TimeInterval=1")});
    EXPECT_EQ(set.exitCode, 0);
    EXPECT_TRUE(set.err.startsWith(QStringLiteral("TimeInterval: 1 raised to 3.5 by the rule for this setting\n")))
        << set.err.toStdString();
}

TEST(CliMistakes, EffectOptionsOutsideTheirRangeAreRefusedWithTheRange)
{
    const struct
    {
        QStringList args;
        QString err;
    } cases[] = {
        {{QStringLiteral("transition"), QStringLiteral("1"), QStringLiteral("--variant"), QStringLiteral("7")},
         QStringLiteral("--variant takes 0 .. 3, not 7\n")},
        {{QStringLiteral("transition"), QStringLiteral("1"), QStringLiteral("--variant"), QStringLiteral("two")},
         QStringLiteral("--variant takes 0 .. 3, not two\n")},
        {{QStringLiteral("transition"), QStringLiteral("23")}, QStringLiteral("transition ids are 0 .. 22\n")},
        {{QStringLiteral("transition"), QStringLiteral("1"), QStringLiteral("--size"), QStringLiteral("0x10")},
         QStringLiteral("--size takes WIDTHxHEIGHT from 1x1 to 16384x16384, not 0x10\n")},
        {{QStringLiteral("transition"), QStringLiteral("1"), QStringLiteral("--size"), QStringLiteral("16384x16384")},
         QStringLiteral("--size takes at most 67108864 pixels, not 16384x16384\n")},
        {{QStringLiteral("transition"), QStringLiteral("1"), QStringLiteral("--tf"), QStringLiteral("0")},
         QStringLiteral("--tf takes 1 .. 300, not 0\n")},
        {{QStringLiteral("transition"), QStringLiteral("1"), QStringLiteral("--text"), QStringLiteral("x")},
         QStringLiteral("unknown option --text\n")},
        {{QStringLiteral("text"), QStringLiteral("9")}, QStringLiteral("text effect ids are 0 .. 8\n")},
        {{QStringLiteral("text"), QStringLiteral("2"), QStringLiteral("--align"), QStringLiteral("9")},
         QStringLiteral("--align takes 0 .. 8, not 9\n")},
        {{QStringLiteral("text"), QStringLiteral("2"), QStringLiteral("--start"), QStringLiteral("red")},
         QStringLiteral("--start takes RRGGBB, not red\n")},
    };
    for (const auto &c : cases) {
        const CliRun r = cli(QStringList{QStringLiteral("effect")} + c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(r.err, c.err);
    }
    const CliRun fine = cli({QStringLiteral("effect"), QStringLiteral("transition"), QStringLiteral("1"), QStringLiteral("--variant"),
                             QStringLiteral("3"), QStringLiteral("--size"), QStringLiteral("32x18"), QStringLiteral("--tf"),
                             QStringLiteral("5")});
    EXPECT_EQ(fine.exitCode, 0) << fine.err.toStdString();
}

TEST(CliMistakes, TheLowDiskQuestionAsksForYesNotOverwrite)
{
    QTemporaryDir dir;
    const QStringList pics = {picture(dir, QStringLiteral("a.png"), "png"), picture(dir, QStringLiteral("b.png"), "png")};
    // A song of more than 1 GB (sparse: it takes no disk) makes the export ask first.
    const qint64 dataBytes = 1100ll * 1000 * 1000;
    auto u32 = [](uint32_t v) { return QByteArray(reinterpret_cast<const char *>(&v), 4); };
    auto u16 = [](uint16_t v) { return QByteArray(reinterpret_cast<const char *>(&v), 2); };
    QFile song(dir.filePath(QStringLiteral("long.wav")));
    ASSERT_TRUE(song.open(QIODevice::WriteOnly));
    song.write("RIFF" + u32(uint32_t(36 + dataBytes)) + "WAVEfmt " + u32(16) + u16(1) + u16(2) + u32(22050) + u32(88200)
               + u16(4) + u16(16) + "data" + u32(uint32_t(dataBytes)));
    ASSERT_TRUE(song.resize(44 + dataBytes));
    song.close();
    const QString project = dir.filePath(QStringLiteral("p.aps"));
    const CliRun made = cli(newProject(project, pics) << QStringLiteral("--music") << song.fileName());
    ASSERT_TRUE(made.out.contains(QStringLiteral("NowM: 1"))) << made.err.toStdString();

    const CliRun r = cli({QStringLiteral("export"), project, dir.filePath(QStringLiteral("o.avi")), QStringLiteral("--overwrite")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("你要继续创建过程吗？\n-> no (pass --yes to go on)\n"))) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("--overwrite")));
}

TEST(CliMistakes, AReadOnlyFolderIsCalledReadOnly)
{
    QTemporaryDir dir;
    const QStringList pics = {picture(dir, QStringLiteral("a.png"), "png"), picture(dir, QStringLiteral("b.png"), "png")};
    const QString ro = dir.filePath(QStringLiteral("ro"));
    QDir().mkpath(ro);
    if (!mountTmpfs(ro)) GTEST_SKIP() << "needs root to mount a read-only tmpfs";
    write(ro + QStringLiteral("/old.avi"), "old");
    const bool remounted =
        QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("remount,ro"), ro}) == 0;
    const CliRun save = cli(newProject(ro + QStringLiteral("/p.aps"), pics));
    const QString project = dir.filePath(QStringLiteral("p.aps"));
    cli(newProject(project, pics));
    const CliRun exported = cli({QStringLiteral("export"), project, ro + QStringLiteral("/old.avi"), QStringLiteral("--overwrite")});
    QProcess::execute(QStringLiteral("umount"), {ro});
    ASSERT_TRUE(remounted);

    EXPECT_EQ(save.exitCode, 1);
    EXPECT_TRUE(save.err.contains(QStringLiteral("无法写入 'p.aps'：所在文件夹是只读的"))) << save.err.toStdString();
    EXPECT_EQ(exported.exitCode, 1);
    EXPECT_TRUE(exported.err.contains(QStringLiteral("无法写入 'old.avi'：所在文件夹是只读的"))) << exported.err.toStdString();
    EXPECT_FALSE(save.err.contains(QStringLiteral("可能正在使用中")) || exported.err.contains(QStringLiteral("可能正在使用中")));
}
