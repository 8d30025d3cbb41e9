#include "CliRun.h"
#include "AudioFixtures.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <tuple>

using namespace pvsm::test;

using pvsm::test::cli;
using pvsm::test::CliRun;

namespace {

QString value(const QString &out, const QString &key)
{
    for (const QString &line : out.split(QLatin1Char('\n')))
        if (line.startsWith(key + QStringLiteral(": "))) return line.mid(key.size() + 2);
    return {};
}

} // namespace

TEST(AudioCli, InfoOfAnMp3AndOfAFileThatIsNone)
{
    QTemporaryDir dir;
    const QString mp3 = dir.filePath(QStringLiteral("歌.mp3"));
    Mp3Options o;
    o.vbr = true;
    ASSERT_TRUE(writeFile(mp3, encodeMp3(tone(44100, 2, 44100 * 3), o)));
    const CliRun r = cli({QStringLiteral("audio"), QStringLiteral("info"), mp3});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(value(r.out, QStringLiteral("ReadMP3Info")), QStringLiteral("true"));
    EXPECT_EQ(value(r.out, QStringLiteral("FirstFrame")), QStringLiteral("0"));
    EXPECT_EQ(value(r.out, QStringLiteral("SampleRate")), QStringLiteral("44100"));
    EXPECT_EQ(value(r.out, QStringLiteral("Channels")), QStringLiteral("2"));
    EXPECT_EQ(value(r.out, QStringLiteral("IsVBR")), QStringLiteral("true"));
    EXPECT_EQ(value(r.out, QStringLiteral("Source")), QStringLiteral("StreamMP3"));
    EXPECT_EQ(value(r.out, QStringLiteral("OpenSource")), QStringLiteral("0"));
    EXPECT_NEAR(value(r.out, QStringLiteral("SourceDuration")).toInt(), 3000, 100);
    EXPECT_NEAR(value(r.out, QStringLiteral("GetSongLength")).toDouble(), 3.0, 0.05);

    const QString fake = dir.filePath(QStringLiteral("fake.mp3"));
    ASSERT_TRUE(writeFile(fake, QByteArray(3000, 'x')));
    const CliRun bad = cli({QStringLiteral("audio"), QStringLiteral("info"), fake});
    EXPECT_NE(bad.exitCode, 0);
    EXPECT_EQ(value(bad.out, QStringLiteral("ReadMP3Info")), QStringLiteral("false"));
    EXPECT_EQ(value(bad.out, QStringLiteral("OpenSource")), QStringLiteral("4"));
    EXPECT_EQ(value(bad.out, QStringLiteral("GetSongLength")), QStringLiteral("0"));
    EXPECT_FALSE(bad.err.isEmpty());
    EXPECT_NE(cli({QStringLiteral("audio"), QStringLiteral("info"), dir.filePath(QStringLiteral("none.wav"))}).exitCode,
              0);

    // WAV headers that open but give no length: no song to lay out.
    const QByteArray samples = bytesOf(tone(22050, 2, 22050));
    for (const auto &[name, rate, channels] : {std::tuple{"no-channels.wav", 22050, 0}, std::tuple{"no-rate.wav", 0, 2}}) {
        SCOPED_TRACE(name);
        const QString path = dir.filePath(QLatin1String(name));
        ASSERT_TRUE(writeFile(path, wavFile(rate, channels, 16, samples)));
        const CliRun r = cli({QStringLiteral("audio"), QStringLiteral("info"), path});
        EXPECT_NE(r.exitCode, 0) << r.out.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("length"))) << r.err.toStdString();
    }
}

TEST(AudioCli, LyricsTableFromAGbkFile)
{
    QTemporaryDir dir;
    const QString lrc = dir.filePath(QStringLiteral("歌.lrc"));
    QStringEncoder gbk("GB18030");
    ASSERT_TRUE(gbk.isValid());
    const QByteArray bytes =
        gbk(QStringLiteral("[ti:歌]\r\n[00:08.34]歌词\r\n[offset:100]\r\n[00:02.00][00:12.50]副歌\r\n"));
    ASSERT_TRUE(writeFile(lrc, bytes));
    const CliRun r = cli({QStringLiteral("lyrics"), lrc});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("0: 190 副歌\n1: 824 歌词\n2: 1240 副歌\n"));

    // A file with more timed lines than are read says so.
    QByteArray many;
    for (int i = 0; i < 10000 + 5; ++i) many += "[00:01.00]x\r\n";
    const QString big = dir.filePath(QStringLiteral("big.lrc"));
    ASSERT_TRUE(writeFile(big, many));
    const CliRun cut = cli({QStringLiteral("lyrics"), big});
    EXPECT_EQ(cut.exitCode, 0);
    EXPECT_EQ(cut.out.count(QLatin1Char('\n')), 10000);
    EXPECT_EQ(cut.err, QStringLiteral("歌词文件 '%1' 的时间标签太多：只使用前 10000 行，其余 5 行被忽略\n").arg(big));

    const QString none = dir.filePath(QStringLiteral("none.lrc"));
    ASSERT_TRUE(writeFile(none, "just text\r\n"));
    const CliRun empty = cli({QStringLiteral("lyrics"), none});
    EXPECT_NE(empty.exitCode, 0);
    EXPECT_TRUE(empty.out.isEmpty());
    EXPECT_FALSE(empty.err.isEmpty());
}

TEST(AudioCli, MusicListStoresTheRealLengthAndRefusesWhatCannotPlay)
{
    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("song.mp3"));
    Mp3Options o;
    ASSERT_TRUE(writeFile(song, encodeMp3(tone(44100, 2, 44100 * 4), o)));
    const QString broken = dir.filePath(QStringLiteral("broken.mp3"));
    ASSERT_TRUE(writeFile(broken, QByteArray(4000, 'x')));
    QStringList args{QStringLiteral("project"), QStringLiteral("new"), dir.filePath(QStringLiteral("show.aps"))};
    for (const char *name : {"a.png", "b.png"}) { // a show needs two pictures
        QImage img(32, 24, QImage::Format_RGB32);
        img.fill(Qt::darkCyan);
        ASSERT_TRUE(img.save(dir.filePath(QLatin1String(name))));
        args << QStringLiteral("--picture") << dir.filePath(QLatin1String(name));
    }
    const QString out = args[2];
    const CliRun r = cli(args + QStringList{QStringLiteral("--music"), song, QStringLiteral("--music"), broken});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("NowM: 1\n")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("不支持这个音乐文件")));
    EXPECT_TRUE(r.err.contains(broken));
    const CliRun shown = cli({QStringLiteral("project"), QStringLiteral("show"), out});
    ASSERT_EQ(shown.exitCode, 0);
    const QString length = value(shown.out, QStringLiteral("SongDuration(1)"));
    ASSERT_TRUE(length.startsWith(QStringLiteral("R4 "))) << length.toStdString();
    EXPECT_NEAR(length.mid(3).toDouble(), 4.0, 0.05);
}
