#include "CliRun.h"
#include "Workspace.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>

using pvsm::test::cli;
using pvsm::test::CliRun;

namespace {

const QString kCli = QStringLiteral(PVSM_BIN_DIR) + QStringLiteral("/pvsm-cli");
// The work folder of the pvsm-cli of this build: its own folder.
const QString kTemp = QStringLiteral(PVSM_BIN_DIR) + QStringLiteral("/Temp/");

QString picture(const QTemporaryDir &dir, const QString &name, const QColor &colour)
{
    QImage img(64, 48, QImage::Format_RGB32);
    img.fill(colour);
    const QString path = dir.filePath(name);
    img.save(path);
    return path;
}

// `seconds` of a 440 Hz tone as 22050 Hz 16-bit stereo PCM.
QByteArray toneWav(double seconds)
{
    const int rate = 22050, frames = int(seconds * rate);
    QByteArray data(frames * 4, '\0');
    auto *s = reinterpret_cast<int16_t *>(data.data());
    for (int i = 0; i < frames; ++i) s[2 * i] = s[2 * i + 1] = int16_t(6000 * std::sin(2 * M_PI * 440.0 * i / rate));
    auto u32 = [](uint32_t v) { return QByteArray(reinterpret_cast<const char *>(&v), 4); };
    auto u16 = [](uint16_t v) { return QByteArray(reinterpret_cast<const char *>(&v), 2); };
    return "RIFF" + u32(uint32_t(36 + data.size())) + "WAVEfmt " + u32(16) + u16(1) + u16(2) + u32(rate) + u32(rate * 4)
           + u16(4) + u16(16) + "data" + u32(uint32_t(data.size())) + data;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QString value(const QString &out, const QString &key)
{
    for (const QString &line : out.split(QLatin1Char('\n')))
        if (line.startsWith(key + QStringLiteral(": "))) return line.mid(key.size() + 2);
    return {};
}

// Seconds of sound in the file's first audio stream, as decoded.
double audioSeconds(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                                       QStringLiteral("-map"), QStringLiteral("0:a:0"), QStringLiteral("-ac"), QStringLiteral("1"),
                                       QStringLiteral("-ar"), QStringLiteral("22050"), QStringLiteral("-f"), QStringLiteral("s16le"),
                                       QStringLiteral("-")});
    p.waitForFinished(120000);
    return p.readAllStandardOutput().size() / 2 / 22050.0;
}

int videoFrames(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-count_frames"),
                                        QStringLiteral("-select_streams"), QStringLiteral("v:0"), QStringLiteral("-show_entries"),
                                        QStringLiteral("stream=nb_read_frames"), QStringLiteral("-of"),
                                        QStringLiteral("default=nw=1:nk=1"), path});
    p.waitForFinished(120000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed().toInt();
}

// The job folders in Temp/ of the process `pid` (their lock file names it).
// Other tests may export at the same time, each in folders of its own.
QStringList jobFoldersOf(qint64 pid)
{
    QStringList found;
    for (const QString &name : QDir(kTemp).entryList({QStringLiteral("job-*")}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile lock(kTemp + name + QStringLiteral("/.job.lock"));
        if (lock.open(QIODevice::ReadOnly) && lock.readAll().trimmed().toLongLong() == pid) found << name;
    }
    return found;
}

// Starts pvsm-cli with `args` and waits until it renders the video (step 4).
// False when it ended before; `err` gets its standard error so far.
bool startRendering(QProcess &p, const QStringList &args, QByteArray &err)
{
    p.start(kCli, args);
    if (!p.waitForStarted()) return false;
    while (!err.contains("步骤4/5") && p.state() == QProcess::Running) {
        p.waitForReadyRead(1000);
        err += p.readAllStandardError();
    }
    return p.state() == QProcess::Running;
}

// A show of `pictures` pictures with the song `song` (none when empty).
QString makeShow(const QTemporaryDir &dir, const QString &name, int pictures, const QString &song, const QStringList &sets)
{
    QStringList args{QStringLiteral("project"), QStringLiteral("new"), dir.filePath(name)};
    for (int i = 0; i < pictures; ++i)
        args << QStringLiteral("--picture")
             << picture(dir, QStringLiteral("p%1.png").arg(i), QColor::fromHsv(i * 37 % 360, 200, 200));
    if (!song.isEmpty()) args << QStringLiteral("--music") << song;
    for (const QString &s : sets) args << QStringLiteral("--set") << s;
    const CliRun r = cli(args);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return dir.filePath(name);
}

} // namespace

TEST(ExportCli, TwoExportsOfOneShowAtOnceEachGetAllTheirMusic)
{
    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("song.wav"));
    ASSERT_TRUE(writeFile(song, toneWav(20)));
    const QString show = makeShow(dir, QStringLiteral("show.aps"), 2, song, {QStringLiteral("EnableSync=true")});

    QProcess runs[2];
    for (int i = 0; i < 2; ++i)
        runs[i].start(kCli, {QStringLiteral("export"), show, dir.filePath(QStringLiteral("out%1.avi").arg(i)),
                             QStringLiteral("--size"), QStringLiteral("160x120")});
    for (QProcess &p : runs) ASSERT_TRUE(p.waitForFinished(240000));
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const QString out = QString::fromUtf8(runs[i].readAllStandardOutput());
        ASSERT_EQ(runs[i].exitCode(), 0) << runs[i].readAllStandardError().toStdString();
        const QString video = dir.filePath(QStringLiteral("out%1.avi").arg(i));
        EXPECT_EQ(value(out, QStringLiteral("Songs")), QStringLiteral("1"));
        EXPECT_NEAR(audioSeconds(video), 20.0, 0.5);
        // Two pictures of 10 s each and the frames around them.
        EXPECT_EQ(videoFrames(video), value(out, QStringLiteral("Frames")).toInt());
        EXPECT_NEAR(videoFrames(video) / 30.0, 20.0, 1.0);
    }
}

TEST(ExportCli, MusicThatFailsNeedsItsOwnAnswer)
{
    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("song.wav"));
    ASSERT_TRUE(writeFile(song, toneWav(3)));
    const QString show = makeShow(dir, QStringLiteral("show.aps"), 2, song, {});
    // The song was fine when it was added; now it holds no sound.
    ASSERT_TRUE(writeFile(song, QByteArray("RIFF\0\0\0\0WAVEjunk", 16)));
    const QString video = dir.filePath(QStringLiteral("out.avi"));
    ASSERT_TRUE(writeFile(video, "the user's old video"));

    // --overwrite answers the replace question only.
    const CliRun refused = cli({QStringLiteral("export"), show, video, QStringLiteral("--size"), QStringLiteral("160x120"),
                                QStringLiteral("--overwrite")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("--without-music"))) << refused.err.toStdString();
    QFile old(video);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("the user's old video"));
    old.close();

    const CliRun agreed = cli({QStringLiteral("export"), show, video, QStringLiteral("--size"), QStringLiteral("160x120"),
                               QStringLiteral("--overwrite"), QStringLiteral("--without-music")});
    ASSERT_EQ(agreed.exitCode, 0) << agreed.err.toStdString();
    EXPECT_EQ(value(agreed.out, QStringLiteral("Songs")), QStringLiteral("0"));
    EXPECT_TRUE(agreed.err.contains(QStringLiteral("音乐数量： 0")));
    EXPECT_EQ(audioSeconds(video), 0.0);
}

// A signal stops an export of pictures held for hours, and nothing of it is
// left. The bound on the time is far above what stopping takes; without the
// cancel in the loops that write, the held pictures' frames are all written
// first, which takes well over a minute here.
TEST(ExportCli, TermAndInterruptStopAnExportAndLeaveNoFile)
{
    QTemporaryDir dir;
    const QString show = makeShow(dir, QStringLiteral("long.aps"), 40, {}, {QStringLiteral("TimeInterval=100000")});
    for (const int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig);
        const QString video = dir.filePath(QStringLiteral("long.avi"));
        QProcess p;
        QByteArray err;
        ASSERT_TRUE(startRendering(p, {QStringLiteral("export"), show, video, QStringLiteral("--size"),
                                       QStringLiteral("320x240")},
                                   err))
            << err.toStdString();
        QElapsedTimer clock;
        clock.start();
        ::kill(pid_t(p.processId()), sig);
        const qint64 pid = p.processId();
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_LT(clock.elapsed(), 5000);
        err += p.readAllStandardError();
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 1);
        EXPECT_TRUE(err.contains("已取消")) << err.toStdString();
        EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("*.avi*"), QStringLiteral(".*.part")},
                                               QDir::Files | QDir::Hidden).isEmpty());
        EXPECT_TRUE(jobFoldersOf(pid).isEmpty());
    }
}

TEST(ExportCli, AKilledExportsWorkFolderGoesAtTheNextExport)
{
    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("song.wav"));
    ASSERT_TRUE(writeFile(song, toneWav(8)));
    // Forty transitions to encode keep it busy for seconds: long holds no
    // longer do, since they are bounded and cost almost nothing to write.
    const QString show = makeShow(dir, QStringLiteral("show.aps"), 40, song, {QStringLiteral("TimeInterval=3600")});
    QProcess p;
    QByteArray err;
    ASSERT_TRUE(startRendering(p, {QStringLiteral("export"), show, dir.filePath(QStringLiteral("killed.avi")),
                                   QStringLiteral("--size"), QStringLiteral("640x480")},
                               err))
        << err.toStdString();
    const qint64 pid = p.processId();
    p.kill();
    ASSERT_TRUE(p.waitForFinished());
    // A kill runs no clean-up, so the folder is left, unless an export of a
    // test running beside this one has already swept it.
    const QStringList left = jobFoldersOf(pid);
    ASSERT_LE(left.size(), 1);
    if (left.isEmpty()) GTEST_SKIP() << "an export running beside this test swept the folder first";
    EXPECT_FALSE(pvsm::JobFolder::isLive(kTemp + left[0]));

    const QString shortShow = makeShow(dir, QStringLiteral("short.aps"), 2, {}, {});
    const CliRun next = cli({QStringLiteral("export"), shortShow, dir.filePath(QStringLiteral("next.avi")),
                             QStringLiteral("--size"), QStringLiteral("160x120")});
    ASSERT_EQ(next.exitCode, 0) << next.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(kTemp + left[0]));
}
