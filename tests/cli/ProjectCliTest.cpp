#include "CliRun.h"
#include "PropertyBag.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace pvsm;

using pvsm::test::cli;
using pvsm::test::CliRun;

namespace {

QString picture(const QTemporaryDir &dir, const QString &name)
{
    QImage img(64, 48, QImage::Format_RGB32);
    img.fill(Qt::darkCyan);
    const QString path = dir.filePath(name);
    img.save(path);
    return path;
}

// One second of a quiet tone as 22050 Hz 16-bit stereo PCM.
QByteArray toneWav()
{
    const int rate = 22050, frames = rate;
    QByteArray data;
    for (int i = 0; i < frames; ++i) {
        const int16_t v = int16_t(3000 * ((i / 25) % 2 ? 1 : -1));
        for (int c = 0; c < 2; ++c) {
            data.append(char(v & 0xFF));
            data.append(char((v >> 8) & 0xFF));
        }
    }
    auto u32 = [](uint32_t v) { return QByteArray(reinterpret_cast<const char *>(&v), 4); };
    auto u16 = [](uint16_t v) { return QByteArray(reinterpret_cast<const char *>(&v), 2); };
    QByteArray wav = "RIFF" + u32(uint32_t(36 + data.size())) + "WAVEfmt " + u32(16) + u16(1) + u16(2) + u32(rate)
                     + u32(rate * 4) + u16(4) + u16(16) + "data" + u32(uint32_t(data.size())) + data;
    return wav;
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
    const QString song = touch(dir, QStringLiteral("歌.wav"), toneWav());
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
                                QStringLiteral("SongDuration(1): R4 1"), QStringLiteral("HeadSize(3): I4 64")})
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

    // A file with a picture's name but no picture inside is left out.
    const QString fake = touch(dir, QStringLiteral("fake.jpg"), "not a picture at all");
    r = cli(QStringList(make) << QStringLiteral("--overwrite") << QStringLiteral("--picture") << fake);
    EXPECT_TRUE(r.out.contains(QStringLiteral("NowI: 2"))) << r.out.toStdString();

    // bag dump: any bag file, non-zero for anything else.
    EXPECT_EQ(cli({QStringLiteral("bag"), QStringLiteral("dump"), out}).exitCode, 0);
    EXPECT_EQ(cli({QStringLiteral("bag"), QStringLiteral("dump"), a}).exitCode, 1);
    EXPECT_EQ(cli({QStringLiteral("project"), QStringLiteral("show"), a}).exitCode, 1);
}

// A small tmpfs of its own, so that "disk full" is the real ENOSPC of a file
// system and not a simulation. Only root may mount; others skip (the writer's
// own test covers the failure with a file-size limit).
class SmallDisk
{
public:
    explicit SmallDisk(const QString &sizeText)
    {
        if (geteuid() != 0) return;
        m_path = m_dir.path();
        m_mounted = QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                                                 QStringLiteral("-o"), QStringLiteral("size=") + sizeText,
                                                                 QStringLiteral("tmpfs"), m_path})
                    == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted) QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_path});
    }
    bool mounted() const { return m_mounted; }
    QString filePath(const QString &name) const { return m_path + QLatin1Char('/') + name; }
    // Fills what is left with one file.
    void fill() const
    {
        QFile f(filePath(QStringLiteral("filler")));
        f.open(QIODevice::WriteOnly);
        const QByteArray block(4096, 'f');
        while (f.write(block) == block.size() && f.flush()) {
        }
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
    bool m_mounted = false;
};

TEST(ProjectCli, ASaveOnAFullDiskFailsAndKeepsTheProject)
{
    SmallDisk disk(QStringLiteral("200k"));
    if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a small tmpfs";
    QTemporaryDir dir;
    const QString a = picture(dir, QStringLiteral("a.jpg"));
    const QString b = picture(dir, QStringLiteral("b.png"));
    const QString project = disk.filePath(QStringLiteral("p.aps"));
    ASSERT_EQ(cli({QStringLiteral("project"), QStringLiteral("new"), project, QStringLiteral("--picture"), a,
                   QStringLiteral("--picture"), b})
                  .exitCode,
              0);
    QFile before(project);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray old = before.readAll();
    before.close();
    ASSERT_GT(old.size(), 100);

    disk.fill();
    const CliRun r = cli({QStringLiteral("project"), QStringLiteral("set"), project, QStringLiteral("TimeInterval=9")});
    EXPECT_NE(r.exitCode, 0) << "a save that could not be written was reported as done";
    EXPECT_TRUE(r.err.contains(QStringLiteral("磁盘空间不足"))) << r.err.toStdString();
    QFile after(project);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), old) << "the project file was damaged by the failed save";
    const QStringList left = QDir(disk.filePath({})).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left, (QStringList{QStringLiteral("filler"), QStringLiteral("p.aps")})) << "a temporary file was left";
}
