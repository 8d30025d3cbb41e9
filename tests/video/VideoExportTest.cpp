#include "FakePrompter.h"
#include "FrameFixtures.h"
#include "ResourcePackage.h"
#include "VideoExport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace pvsm;
using pvsm::test::FakePrompter;

namespace {

class ExportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ws = Workspace(dir.filePath(QStringLiteral("prog")), dir.filePath(QStringLiteral("prog")));
        ws.prepare();
        env.screenWidth = 640;
        env.screenHeight = 480;
        env.lyricSampleLineHeight = 30;
        project = Project::makeDefault(env);
        project.settings.timeInterval = 3.5;
        project.settings.enableTransition = false;
        options.videoSize = {320, 240};
        options.editingScreen = {640, 480};
    }

    void addPictures(int n)
    {
        for (int i = 0; i < n; ++i) {
            QImage img(200, 150, QImage::Format_RGB32);
            img.fill(QColor::fromHsv(i * 90 % 360, 220, 230));
            const QString path = dir.filePath(QStringLiteral("p%1.png").arg(i));
            img.save(path);
            project.pictures.push_back(project.newPicture(path, env));
        }
    }

    QTemporaryDir dir;
    Workspace ws;
    ProjectEnvironment env;
    Project project;
    ExportOptions options;
    FakePrompter prompter;
    JobControl control;
};

} // namespace

TEST(FrameSizes, ListDefaultAndParsing)
{
    ASSERT_EQ(frameSizeList().size(), 23u);
    for (const FrameSizeEntry &e : frameSizeList()) {
        EXPECT_EQ(e.width % 4, 0) << e.text;
        EXPECT_EQ(parseFrameSizeText(QString::fromLatin1(e.text)), QSize(e.width, e.height)) << e.text;
    }
    EXPECT_EQ(defaultFrameSizeIndex({1024, 768}), 8);
    EXPECT_EQ(defaultFrameSizeIndex({1920, 1080}), 3);
    EXPECT_EQ(defaultFrameSizeIndex({1440, 960}), 3); // exactly 150
}

TEST(FinishReport, FiveLines)
{
    const QString text = finishReportText(QStringLiteral("我的图片幻灯"), 12, 2, 1572864, QStringLiteral("/v/a.avi"));
    EXPECT_EQ(text, QStringLiteral("视频名称： 我的图片幻灯\r\n图片数量：12\r\n音乐数量： 2\r\n文件大小： 1.50 MB\r\n保存位置：/v/a.avi"));
    EXPECT_TRUE(finishReportText(QString(), 2, 0, 1048575, QString()).contains(QStringLiteral("0.99 MB")));
}

TEST_F(ExportTest, RefusalsBeforeAnythingIsWritten)
{
    options.targetPath = dir.filePath(QStringLiteral("out.avi"));
    addPictures(1);
    ExportOutcome o = ExportAvi(project, ws, options, prompter, control);
    EXPECT_FALSE(o.completed);
    EXPECT_EQ(prompter.informed.value(0), exportText::twoPictures());

    addPictures(1);
    project.songs = {{dir.filePath(QStringLiteral("a.mp3")), 10}, {dir.filePath(QStringLiteral("tune.MID")), 20}};
    prompter.informed.clear();
    o = ExportAvi(project, ws, options, prompter, control);
    EXPECT_FALSE(o.completed);
    EXPECT_EQ(prompter.informed.value(0), exportText::midiRefused());
    EXPECT_EQ(prompter.saveDialogs, 0);
    EXPECT_FALSE(QFile::exists(options.targetPath));

    // An existing file is kept when the user says No.
    project.songs.clear();
    QFile existing(options.targetPath);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("keep me");
    existing.close();
    prompter.answers = {Answer::No};
    o = ExportAvi(project, ws, options, prompter, control);
    EXPECT_FALSE(o.completed);
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), QByteArray("keep me"));
}

TEST_F(ExportTest, UncompressedVideoIsRefused)
{
    addPictures(2);
    options.targetPath = dir.filePath(QStringLiteral("raw.avi"));
    options.encode.encoder = QStringLiteral("rawvideo");
    const ExportOutcome o = ExportAvi(project, ws, options, prompter, control);
    EXPECT_FALSE(o.completed);
    EXPECT_EQ(o.status, kExportCodecRefused);
    EXPECT_EQ(prompter.informed.value(0), exportText::uncompressedRefused());
    EXPECT_FALSE(QFile::exists(options.targetPath));
}

TEST_F(ExportTest, CancelLeavesNoFile)
{
    addPictures(3);
    options.targetPath = dir.filePath(QStringLiteral("c.avi"));
    std::atomic<bool> cancel{false};
    int reports = 0;
    control.cancel = &cancel;
    control.progress = [&](int, const QString &) {
        if (++reports == 2) cancel = true;
    };
    const ExportOutcome o = ExportAvi(project, ws, options, prompter, control);
    EXPECT_FALSE(o.completed);
    EXPECT_EQ(o.status, kExportCancelled);
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("*.avi*"), QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(ExportTest, ACompleteExportIsAPlayableVideo)
{
    addPictures(2);
    project.pictures[0].caption = QStringLiteral("字幕");
    project.settings.txtSetting[0] = QStringLiteral("测试");
    options.targetPath = dir.filePath(QStringLiteral("done"));
    const ExportOutcome o = ExportAvi(project, ws, options, prompter, control);
    ASSERT_TRUE(o.completed) << prompter.informed.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(o.target, dir.filePath(QStringLiteral("done.avi")));
    // 1 + 2 x (30 + 75) + 1
    EXPECT_EQ(o.frames, 212);
    EXPECT_TRUE(o.finishReport.startsWith(QStringLiteral("视频名称： 测试\r\n图片数量：2\r\n")));
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-count_frames"),
                                            QStringLiteral("-show_entries"), QStringLiteral("stream=codec_name,nb_read_frames,avg_frame_rate"),
                                            QStringLiteral("-of"), QStringLiteral("default=nw=1"), o.target});
    probe.waitForFinished(60000);
    const QString info = QString::fromUtf8(probe.readAllStandardOutput());
    EXPECT_TRUE(info.contains(QStringLiteral("codec_name=h264"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("avg_frame_rate=30/1"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("nb_read_frames=212"))) << info.toStdString();
    // A frame of the held first slide looks like the slide as composed.
    QProcess decode;
    decode.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-ss"), QStringLiteral("2.0"),
                                            QStringLiteral("-i"), o.target, QStringLiteral("-frames:v"), QStringLiteral("1"),
                                            QStringLiteral("-f"), QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"),
                                            QStringLiteral("rgb24"), QStringLiteral("-")});
    decode.waitForFinished(60000);
    const QByteArray raw = decode.readAllStandardOutput();
    ASSERT_EQ(raw.size(), 320 * 240 * 3);
    RecordingTimelineSink unused;
    FrameLoopSettings fs;
    fs.videoSize = options.videoSize;
    fs.editingScreen = options.editingScreen;
    const QImage composed = FrameLoop(project, fs, unused, nullptr, control).ComposeSlide(1);
    double diff = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const QRgb c = composed.pixel(x, y);
            const auto *p = reinterpret_cast<const uint8_t *>(raw.constData()) + (y * 320 + x) * 3;
            diff += std::abs(p[0] - qRed(c)) + std::abs(p[1] - qGreen(c)) + std::abs(p[2] - qBlue(c));
        }
    EXPECT_LT(diff / (320.0 * 240 * 3), 3.0);
    // No work files are left behind.
    EXPECT_TRUE(QDir(ws.tempDir()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    EXPECT_EQ(o.songs, 0);
    EXPECT_FALSE(o.withoutMusic);
}

namespace {

// Bytes of the largest hidden work file beside `target` (the part file).
qint64 partBytes(const QString &folder)
{
    qint64 most = 0;
    for (const QFileInfo &f : QDir(folder).entryInfoList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden))
        most = std::max(most, f.size());
    return most;
}

} // namespace

// A picture held for more than a day is millions of frames, written after the
// frame loop handed the picture over. A cancel from another thread must stop
// that writing too. The bound on the time is far above what stopping takes;
// without the cancel in the writer's loops the held frames are all written
// first, some 15 seconds here.
TEST_F(ExportTest, CancelStopsTheHeldPicturesFramesAtOnce)
{
    addPictures(3);
    project.settings.timeInterval = 100000; // beyond what a project file may hold
    options.targetPath = dir.filePath(QStringLiteral("held.avi"));
    std::atomic<bool> cancel{false};
    control.cancel = &cancel;
    QElapsedTimer sinceCancel;
    std::thread canceller([&] {
        // Once the held frames are being written, well into the file.
        while (partBytes(dir.path()) < 2 * 1048576) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        sinceCancel.start();
        cancel = true;
    });
    const ExportOutcome o = ExportAvi(project, ws, options, prompter, control);
    const qint64 stopMs = sinceCancel.elapsed();
    canceller.join();
    EXPECT_FALSE(o.completed);
    EXPECT_EQ(o.status, kExportCancelled);
    EXPECT_LT(stopMs, 3000);
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("*.avi*"), QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_TRUE(QDir(ws.tempDir()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

// The export measures the free space once and stops with the disk-full
// message when its video would use it up, instead of filling the disk.
TEST_F(ExportTest, AnExportStopsAtTheFreeSpaceItMeasured)
{
    addPictures(2);
    qint64 biggest = 0;
    // 20 MiB free: the export may use about 3.6 MB of it.
    options.freeSpace = [&](const QString &) { return qint64(20) * 1048576; };
    options.targetPath = dir.filePath(QStringLiteral("fits.avi"));
    const ExportOutcome fits = ExportAvi(project, ws, options, prompter, control);
    ASSERT_TRUE(fits.completed) << prompter.informed.join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(fits.diskFull);

    project.settings.timeInterval = 100000;
    options.targetPath = dir.filePath(QStringLiteral("full.avi"));
    std::atomic<bool> done{false};
    std::thread watcher([&] {
        while (!done) {
            biggest = std::max(biggest, partBytes(dir.path()));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    const ExportOutcome full = ExportAvi(project, ws, options, prompter, control);
    done = true;
    watcher.join();
    EXPECT_FALSE(full.completed);
    EXPECT_TRUE(full.diskFull);
    EXPECT_EQ(full.status, kExportWriteFailed);
    EXPECT_EQ(prompter.informed, QStringList{exportText::diskFull(dir.path())});
    EXPECT_LE(biggest, 4 * 1048576);
    EXPECT_FALSE(QFile::exists(full.target));
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_TRUE(QDir(ws.tempDir()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));

    // No room at all: nothing is started.
    prompter.informed.clear();
    options.freeSpace = [](const QString &) { return qint64(1048576); };
    const ExportOutcome none = ExportAvi(project, ws, options, prompter, control);
    EXPECT_TRUE(none.diskFull);
    EXPECT_EQ(prompter.informed, QStringList{exportText::diskFull(dir.path())});
}

namespace {

// Pixels of the decoded video frame at `seconds`, as RGB24.
QByteArray decodedFrame(const QString &video, const char *seconds)
{
    QProcess decode;
    decode.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-ss"),
                                            QString::fromLatin1(seconds), QStringLiteral("-i"), video,
                                            QStringLiteral("-frames:v"), QStringLiteral("1"), QStringLiteral("-f"),
                                            QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"), QStringLiteral("rgb24"),
                                            QStringLiteral("-")});
    decode.waitForFinished(60000);
    return decode.readAllStandardOutput();
}

bool near(const QByteArray &raw, int width, int x, int y, QRgb want, int tolerance = 24)
{
    const auto *p = reinterpret_cast<const uint8_t *>(raw.constData()) + (y * width + x) * 3;
    return std::abs(p[0] - qRed(want)) <= tolerance && std::abs(p[1] - qGreen(want)) <= tolerance
        && std::abs(p[2] - qBlue(want)) <= tolerance;
}

} // namespace

// The frame chosen in the project (a package frame beside the program) is in
// the encoded video: its border where the frame is opaque, the slide through
// its see-through middle.
TEST_F(ExportTest, TheChosenPictureFrameIsInTheDecodedVideo)
{
    addPictures(2);
    const QRgb green = qRgb(0, 200, 60);
    const QByteArray png = test::bandFramePng({64, 48}, 8, green);
    QFile package(QDir(ws.programDir()).filePath(QStringLiteral("2.frame")));
    ASSERT_TRUE(package.open(QIODevice::WriteOnly));
    package.write(BuildPackage(PackageKind::Frames, {{QStringLiteral("绿边"), png}}));
    package.close();
    project.settings.pictureFrameNum = 1;
    options.targetPath = dir.filePath(QStringLiteral("framed"));
    const ExportOutcome o = ExportAvi(project, ws, options, prompter, control);
    ASSERT_TRUE(o.completed) << prompter.informed.join(QLatin1Char('|')).toStdString();
    for (const char *at : {"2.0", "5.0"}) {
        SCOPED_TRACE(at);
        const QByteArray raw = decodedFrame(o.target, at);
        ASSERT_EQ(raw.size(), 320 * 240 * 3);
        // The band is 8 of 64 pixels: 40 of 320. Look well inside it.
        for (const QPoint p : {QPoint(10, 120), QPoint(160, 12), QPoint(310, 230), QPoint(300, 120)})
            EXPECT_TRUE(near(raw, 320, p.x(), p.y(), green)) << p.x() << "," << p.y();
        EXPECT_FALSE(near(raw, 320, 160, 120, green, 60));
    }
}
