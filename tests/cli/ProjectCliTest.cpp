#include "PropertyBag.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace pvsm;

namespace {

struct CliRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

CliRun cli(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(PVSM_BIN_DIR) + QStringLiteral("/pvsm-cli"), args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QString picture(const QTemporaryDir &dir, const QString &name)
{
    QImage img(64, 48, QImage::Format_RGB32);
    img.fill(Qt::darkCyan);
    const QString path = dir.filePath(name);
    img.save(path);
    return path;
}

QString touch(const QTemporaryDir &dir, const QString &name, const QByteArray &content = "x")
{
    QFile f(dir.filePath(name));
    f.open(QIODevice::WriteOnly);
    f.write(content);
    return f.fileName();
}

} // namespace

TEST(ProjectCli, NewShowSetRoundTrip)
{
    QTemporaryDir dir;
    const QString a = picture(dir, QStringLiteral("a.jpg"));
    const QString b = picture(dir, QStringLiteral("b.png"));
    const QString c = picture(dir, QStringLiteral("c.bmp"));
    const QString song = touch(dir, QStringLiteral("歌.mp3"));
    touch(dir, QStringLiteral("歌.lrc"), "[00:01.00]你好");
    const QString out = dir.filePath(QStringLiteral("show.aps"));

    CliRun r = cli({QStringLiteral("project"), QStringLiteral("new"), out, QStringLiteral("--picture"), a,
                 QStringLiteral("--picture"), b, QStringLiteral("--picture"), a, QStringLiteral("--picture"), c,
                 QStringLiteral("--music"), song, QStringLiteral("--set"), QStringLiteral("ImgCaption(2)=你好\r\n世界"),
                 QStringLiteral("--set"), QStringLiteral("ImgHeadline(3)=标题"), QStringLiteral("--set"),
                 QStringLiteral("TimeInterval=5"), QStringLiteral("--set"), QStringLiteral("TitleText(1)=开场"),
                 QStringLiteral("--set"), QStringLiteral("EnableOpening=true")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("NowI: 3\n")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("LyricFilesCount: 1\n")));

    const CliRun shown = cli({QStringLiteral("project"), QStringLiteral("show"), out});
    ASSERT_EQ(shown.exitCode, 0);
    for (const QString &line : {QStringLiteral("ImgCaption(2): Str 你好\\r\\n世界"), QStringLiteral("ImgHeadline(3): Str 标题"),
                                QStringLiteral("TimeInterval: R4 5"), QStringLiteral("TitleText(1): Str 开场"),
                                QStringLiteral("EnableOpening: Bool true"), QStringLiteral("NowI: I4 3"),
                                QStringLiteral("SongDuration(1): R4 0"), QStringLiteral("HeadSize(3): I4 64")})
        EXPECT_TRUE(shown.out.contains(line + QLatin1Char('\n'))) << line.toStdString();

    // Setting a key leaves every other key, its type and value, where it was.
    ASSERT_EQ(cli({QStringLiteral("project"), QStringLiteral("set"), out, QStringLiteral("SolidColor=255")}).exitCode, 0);
    const CliRun after = cli({QStringLiteral("project"), QStringLiteral("show"), out});
    QStringList before = shown.out.split(QLatin1Char('\n'));
    QStringList now = after.out.split(QLatin1Char('\n'));
    ASSERT_EQ(before.size(), now.size());
    for (int i = 0; i < before.size(); ++i) {
        if (before[i].startsWith(QStringLiteral("SolidColor:")))
            EXPECT_EQ(now[i], QStringLiteral("SolidColor: I4 255"));
        else
            EXPECT_EQ(now[i], before[i]);
    }
}

TEST(ProjectCli, RefusalsAndExitCodes)
{
    QTemporaryDir dir;
    const QString a = picture(dir, QStringLiteral("a.jpg"));
    const QString b = picture(dir, QStringLiteral("b.jpg"));
    const QString out = dir.filePath(QStringLiteral("p.aps"));

    // Fewer than two pictures: the editor's rule, nothing written.
    CliRun r = cli({QStringLiteral("project"), QStringLiteral("new"), out, QStringLiteral("--picture"), a});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("请首先添加至少两张图片到图片幻灯中")));
    EXPECT_FALSE(QFile::exists(out));

    const QStringList make = {QStringLiteral("project"), QStringLiteral("new"), out, QStringLiteral("--picture"), a,
                              QStringLiteral("--picture"), b};
    ASSERT_EQ(cli(make).exitCode, 0);
    // An existing file is replaced only when asked to.
    EXPECT_EQ(cli(make).exitCode, 1);
    EXPECT_EQ(cli(QStringList(make) << QStringLiteral("--overwrite")).exitCode, 0);

    EXPECT_EQ(cli({QStringLiteral("project"), QStringLiteral("set"), out, QStringLiteral("TimeInterval=soon")}).exitCode, 1);
    EXPECT_EQ(cli({QStringLiteral("project"), QStringLiteral("set"), out, QStringLiteral("Bogus=1")}).exitCode, 1);
    EXPECT_EQ(cli({QStringLiteral("project"), QStringLiteral("set"), out, QStringLiteral("ImgCaption(9)=x")}).exitCode, 1);
    EXPECT_EQ(cli({QStringLiteral("project"), QStringLiteral("new")}).exitCode, 2);
    EXPECT_EQ(cli({QStringLiteral("frobnicate")}).exitCode, 2);

    // A song that is no music file is refused with the editor's message.
    const QString notes = touch(dir, QStringLiteral("notes.txt"));
    r = cli(QStringList(make) << QStringLiteral("--overwrite") << QStringLiteral("--music") << notes);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains(QStringLiteral("不支持这个音乐文件")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("NowM: 0")));

    // bag dump: any bag file, non-zero for anything else.
    EXPECT_EQ(cli({QStringLiteral("bag"), QStringLiteral("dump"), out}).exitCode, 0);
    EXPECT_EQ(cli({QStringLiteral("bag"), QStringLiteral("dump"), a}).exitCode, 1);
    EXPECT_EQ(cli({QStringLiteral("project"), QStringLiteral("show"), a}).exitCode, 1);
}
