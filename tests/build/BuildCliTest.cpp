#include "CliRun.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using pvsm::test::cli;
using pvsm::test::CliRun;

using pvsm::test::readAll;

namespace {

QString picture(const QTemporaryDir &dir, const QString &name, int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(QColor::fromHsv(w % 360, 200, 200));
    const QString path = dir.filePath(name);
    img.save(path);
    return path;
}

QStringList resourceLines(const QString &out)
{
    QStringList lines;
    for (const QString &line : out.split(QLatin1Char('\n')))
        if (line.startsWith(QStringLiteral("Resource: "))) lines << line.mid(10);
    return lines;
}

QString value(const QString &out, const QString &key)
{
    for (const QString &line : out.split(QLatin1Char('\n')))
        if (line.startsWith(key + QStringLiteral(": "))) return line.mid(key.size() + 2);
    return {};
}

} // namespace

TEST(BuildCli, BuildInspectExtractAndThePlayerReadingItsOwnFile)
{
    QTemporaryDir dir;
    const QString a = picture(dir, QStringLiteral("a.png"), 64, 48);
    const QString b = picture(dir, QStringLiteral("b.jpg"), 80, 60);
    const QString project = dir.filePath(QStringLiteral("show.aps"));
    ASSERT_EQ(cli({QStringLiteral("project"), QStringLiteral("new"), project, QStringLiteral("--picture"), a,
                   QStringLiteral("--picture"), b}).exitCode, 0);

    const QString show = dir.filePath(QStringLiteral("show"));
    CliRun r = cli({QStringLiteral("build"), project, show});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(value(r.out, QStringLiteral("File")), show);
    EXPECT_TRUE(r.err.contains(QStringLiteral("图片总数： 2"))) << r.err.toStdString();

    r = cli({QStringLiteral("package"), QStringLiteral("inspect"), show});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const qint64 P = value(r.out, QStringLiteral("PlayerBytes")).toLongLong();
    const qint64 D = value(r.out, QStringLiteral("ResourceBytes")).toLongLong();
    const qint64 B = value(r.out, QStringLiteral("SettingsBytes")).toLongLong();
    EXPECT_EQ(P + D + B + 16, QFileInfo(show).size());
    EXPECT_EQ(value(r.out, QStringLiteral("ResFileSize")), QStringLiteral("7"));
    const QStringList resources = resourceLines(r.out);
    ASSERT_GE(resources.size(), 2);
    // A 64 x 48 PNG of 32 bits per pixel is re-encoded; its type says which.
    EXPECT_TRUE(resources.last().startsWith(QStringLiteral("ImgNames(2)\t"))) << resources.last().toStdString();
    EXPECT_TRUE(resources.last().endsWith(QStringLiteral("\tJPG")));

    const QString out = dir.filePath(QStringLiteral("b.out"));
    r = cli({QStringLiteral("package"), QStringLiteral("extract"), show, QStringLiteral("ImgNames(2)"), out});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(readAll(out), readAll(b)); // a small JPEG travels unchanged

    // The slideshow is a program: the player finds the show in its own file.
    QProcess player;
    player.start(show, {QStringLiteral("--check")});
    ASSERT_TRUE(player.waitForFinished(30000));
    EXPECT_EQ(player.exitCode(), 0);
    const QString said = QString::fromUtf8(player.readAllStandardOutput());
    EXPECT_EQ(value(said, QStringLiteral("PlayerBytes")).toLongLong(), P);
    EXPECT_EQ(value(said, QStringLiteral("NowI")), QStringLiteral("2"));
    EXPECT_EQ(resourceLines(said), resources);

    // The local kind packs no pictures.
    const QString local = dir.filePath(QStringLiteral("local"));
    ASSERT_EQ(cli({QStringLiteral("build"), project, local, QStringLiteral("--kind"), QStringLiteral("local")}).exitCode, 0);
    r = cli({QStringLiteral("package"), QStringLiteral("inspect"), local});
    EXPECT_EQ(value(r.out, QStringLiteral("ResFileSize")), QStringLiteral("0"));
    for (const QString &line : resourceLines(r.out)) EXPECT_FALSE(line.startsWith(QStringLiteral("ImgNames")));

    // An existing file is replaced only with --overwrite.
    r = cli({QStringLiteral("build"), project, show});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("已经存在"))) << r.err.toStdString();
}

TEST(BuildCli, FilesThatAreNoSlideshowAreRefusedClearly)
{
    QTemporaryDir dir;
    const QString foreign = dir.filePath(QStringLiteral("foreign"));
    QFile f(foreign);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(1000, 'z'));
    f.close();
    for (const QString &path : {foreign, dir.filePath(QStringLiteral("missing"))}) {
        const CliRun r = cli({QStringLiteral("package"), QStringLiteral("inspect"), path});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.startsWith(path + QStringLiteral(" is not a slideshow: it "))) << r.err.toStdString();
    }
    const CliRun r = cli({QStringLiteral("build"), dir.filePath(QStringLiteral("x.aps")), dir.filePath(QStringLiteral("o")),
                          QStringLiteral("--kind"), QStringLiteral("video")});
    EXPECT_EQ(r.exitCode, 2);
}

TEST(BuildCli, TheChosenIconReachesThePlayerAndFontsArePacked)
{
    QTemporaryDir dir;
    const QString a = picture(dir, QStringLiteral("a.png"), 64, 48);
    const QString b = picture(dir, QStringLiteral("b.png"), 80, 60);
    const QString project = dir.filePath(QStringLiteral("show.aps"));
    ASSERT_EQ(cli({QStringLiteral("project"), QStringLiteral("new"), project, QStringLiteral("--picture"), a,
                   QStringLiteral("--picture"), b}).exitCode, 0);
    QImage red(100, 100, QImage::Format_ARGB32);
    red.fill(Qt::red);
    const QString icon = dir.filePath(QStringLiteral("red.png"));
    ASSERT_TRUE(red.save(icon));

    const QString show = dir.filePath(QStringLiteral("show"));
    CliRun r = cli({QStringLiteral("build"), project, show, QStringLiteral("--icon"), icon, QStringLiteral("--pack-fonts")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("替换图标失败"))) << r.err.toStdString();

    // The player reads its slot: a 48 x 48 32-bit image in a single-image icon file.
    QProcess player;
    player.start(show, {QStringLiteral("--check")});
    ASSERT_TRUE(player.waitForFinished(30000));
    const QString said = QString::fromUtf8(player.readAllStandardOutput());
    EXPECT_EQ(value(said, QStringLiteral("IconBytes")), QStringLiteral("%1").arg(22 + 9640)) << said.toStdString();
    // The styles' font (the machine's default) travels with the show unless none was found.
    if (!r.err.contains(QStringLiteral("无法找到部分对应的字体文件"))) {
        EXPECT_TRUE(said.contains(QStringLiteral("Resource: ToInstallFont(1)\t"))) << said.toStdString();
    }

    // A file without an icon of a usable size is refused before anything is written.
    const QString none = dir.filePath(QStringLiteral("none"));
    r = cli({QStringLiteral("build"), project, none, QStringLiteral("--icon"), a + QStringLiteral(".missing")});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_FALSE(QFileInfo::exists(none));
}
