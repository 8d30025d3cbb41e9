#include "AviWriter.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace pvsm;

namespace {

QImage solid(QColor c, QSize size = {320, 240})
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

// Decodes `path` at a constant 30 fps, as a player would show it, and returns
// the mean colour of every frame.
std::vector<QColor> decodedFrames(const QString &path, QSize size = {320, 240})
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                                       QStringLiteral("-vf"), QStringLiteral("fps=30"), QStringLiteral("-f"),
                                       QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"), QStringLiteral("rgb24"),
                                       QStringLiteral("-")});
    p.waitForFinished(60000);
    const QByteArray raw = p.readAllStandardOutput();
    const qsizetype frameBytes = qsizetype(size.width()) * size.height() * 3;
    std::vector<QColor> out;
    for (qsizetype off = 0; off + frameBytes <= raw.size(); off += frameBytes) {
        const auto *px = reinterpret_cast<const uint8_t *>(raw.constData() + off);
        // centre pixel is enough for solid pictures
        const qsizetype c = (qsizetype(size.height() / 2) * size.width() + size.width() / 2) * 3;
        out.emplace_back(px[c], px[c + 1], px[c + 2]);
    }
    return out;
}

bool near(QColor a, QColor b)
{
    return std::abs(a.red() - b.red()) < 12 && std::abs(a.green() - b.green()) < 12 && std::abs(a.blue() - b.blue()) < 12;
}

} // namespace

TEST(AviWriter, HeldPicturesAndSkipsDecodeToTheRightFrames)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.avi"));
    AviWriter w;
    QString error;
    ASSERT_TRUE(w.open(path, {320, 240}, {}, &error)) << error.toStdString();
    EXPECT_TRUE(w.WriteFrame(solid(Qt::red), 1));
    EXPECT_TRUE(w.WriteFrame(solid(Qt::green), 30));
    w.setFrameCounter(41);            // ten positions stay empty: green goes on
    EXPECT_TRUE(w.WriteFrame(solid(Qt::blue), 25));
    EXPECT_EQ(w.FrameCounter(), 66);
    EXPECT_EQ(w.picturesEncoded(), 3);
    ASSERT_TRUE(w.close());

    const auto frames = decodedFrames(path);
    ASSERT_EQ(frames.size(), 66u);
    EXPECT_TRUE(near(frames[0], Qt::red));
    for (int i = 1; i <= 40; ++i) EXPECT_TRUE(near(frames[size_t(i)], Qt::green)) << i;
    for (int i = 41; i < 66; ++i) EXPECT_TRUE(near(frames[size_t(i)], Qt::blue)) << i;

    QProcess probe;
    probe.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                                            QStringLiteral("v:0"), QStringLiteral("-show_entries"),
                                            QStringLiteral("stream=codec_name,r_frame_rate,width,height"),
                                            QStringLiteral("-of"), QStringLiteral("default=nw=1"), path});
    probe.waitForFinished(30000);
    const QString info = QString::fromUtf8(probe.readAllStandardOutput());
    EXPECT_TRUE(info.contains(QStringLiteral("codec_name=h264"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("r_frame_rate=30/1"))) << info.toStdString();
}

TEST(AviWriter, SeekingLandsOnTheRightPicture)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.avi"));
    AviWriter w;
    ASSERT_TRUE(w.open(path, {320, 240}, {}, nullptr));
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::magenta};
    for (const QColor &c : colours) w.WriteFrame(solid(c), 150); // 5 s each
    ASSERT_TRUE(w.close());
    // Seek to 12.5 s: inside the third picture.
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-ss"),
                                       QStringLiteral("12.5"), QStringLiteral("-i"), path, QStringLiteral("-frames:v"),
                                       QStringLiteral("1"), QStringLiteral("-f"), QStringLiteral("rawvideo"),
                                       QStringLiteral("-pix_fmt"), QStringLiteral("rgb24"), QStringLiteral("-")});
    p.waitForFinished(30000);
    const QByteArray raw = p.readAllStandardOutput();
    ASSERT_EQ(raw.size(), 320 * 240 * 3);
    const auto *px = reinterpret_cast<const uint8_t *>(raw.constData()) + (120 * 320 + 160) * 3;
    EXPECT_TRUE(near(QColor(px[0], px[1], px[2]), Qt::blue));
}

TEST(AviWriter, FailuresAndCancelAreSticky)
{
    QTemporaryDir dir;
    AviWriter w;
    QString error;
    EXPECT_FALSE(w.open(dir.filePath(QStringLiteral("no/such/folder/x.avi")), {320, 240}, {}, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(w.WriteFrame(solid(Qt::red), 3));
    EXPECT_EQ(w.FrameCounter(), 0);

    AviWriter odd;
    EXPECT_FALSE(odd.open(dir.filePath(QStringLiteral("odd.avi")), {321, 240}, {}, &error));

    AviWriter c;
    ASSERT_TRUE(c.open(dir.filePath(QStringLiteral("c.avi")), {320, 240}, {}, nullptr));
    EXPECT_TRUE(c.WriteFrame(solid(Qt::red), 5));
    c.cancel();
    EXPECT_FALSE(c.WriteFrame(solid(Qt::red), 25));
    EXPECT_EQ(c.FrameCounter(), 5);
    EXPECT_TRUE(c.stopped());
}

TEST(AviWriter, CodecChoice)
{
    const auto installed = InstalledCompressors();
    ASSERT_FALSE(installed.empty());
    const auto preferred = FindPreferredCodec(installed);
    ASSERT_TRUE(preferred.has_value());
    EXPECT_EQ(preferred->handler, QStringLiteral("X264"));
    EXPECT_EQ(handlerNameForEncoder(QStringLiteral("mpeg4")), QStringLiteral("XVID"));
    EXPECT_EQ(handlerNameForEncoder(QStringLiteral("mjpeg")), QStringLiteral("MJPG"));
    EXPECT_EQ(handlerNameForEncoder(QStringLiteral("rawvideo")), QStringLiteral("DIB "));
    // Without any H.264 encoder, XVID is taken.
    std::vector<CompressorInfo> noH264;
    for (const auto &c : installed)
        if (c.handler != QLatin1String("X264") && c.handler != QLatin1String("H264")) noH264.push_back(c);
    const auto fallback = FindPreferredCodec(noH264);
    ASSERT_TRUE(fallback.has_value());
    EXPECT_EQ(fallback->handler, QStringLiteral("XVID"));
    EXPECT_FALSE(FindPreferredCodec({}).has_value());
}

TEST(AviWriter, RepeatsOfADetailedPictureAreExactCopies)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("d.avi"));
    QImage detail(320, 240, QImage::Format_RGB32);
    QRandomGenerator rng(7);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) detail.setPixel(x, y, qRgb(x * 255 / 320, int(rng.bounded(256u)), y));
    AviWriter w;
    ASSERT_TRUE(w.open(path, {320, 240}, {}, nullptr));
    w.WriteFrame(detail, 45);
    w.WriteFrame(solid(Qt::black), 1);
    w.WriteFrame(detail.mirrored(true, false), 40);
    ASSERT_TRUE(w.close());
    EXPECT_EQ(w.picturesEncoded(), 3);

    // Every frame of a hold decodes to the same picture (no drift, no decoder complaint).
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("warning"), QStringLiteral("-i"), path,
                                       QStringLiteral("-f"), QStringLiteral("framemd5"), QStringLiteral("-")});
    p.waitForFinished(60000);
    EXPECT_TRUE(p.readAllStandardError().trimmed().isEmpty());
    QStringList hashes;
    for (const QByteArray &line : p.readAllStandardOutput().split('\n'))
        if (!line.startsWith('#') && !line.trimmed().isEmpty()) hashes << QString::fromLatin1(line.split(',').last().trimmed());
    ASSERT_EQ(hashes.size(), 86);
    for (int i = 1; i < 45; ++i) EXPECT_EQ(hashes[i], hashes[0]) << i;
    EXPECT_NE(hashes[45], hashes[0]);
    for (int i = 47; i < 86; ++i) EXPECT_EQ(hashes[i], hashes[46]) << i;
}

TEST(AviWriter, APictureHandedOverAgainIsARepeat)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("again.avi"));
    AviWriter w;
    ASSERT_TRUE(w.open(path, {320, 240}, {}, nullptr));
    w.WriteFrame(solid(Qt::red), 1);
    w.WriteFrame(solid(Qt::red), 15);  // the same picture again: no new coded picture
    w.WriteFrame(solid(Qt::blue), 3);
    w.WriteFrame(solid(Qt::red), 2);   // different from the one before: coded
    EXPECT_EQ(w.picturesEncoded(), 3);
    EXPECT_EQ(w.FrameCounter(), 21);
    ASSERT_TRUE(w.close());
    const auto frames = decodedFrames(path);
    ASSERT_EQ(frames.size(), 21u);
    for (int i = 0; i < 16; ++i) EXPECT_TRUE(near(frames[size_t(i)], Qt::red)) << i;
    for (int i = 16; i < 19; ++i) EXPECT_TRUE(near(frames[size_t(i)], Qt::blue)) << i;
    for (int i = 19; i < 21; ++i) EXPECT_TRUE(near(frames[size_t(i)], Qt::red)) << i;
}

// The encoder works on a thread of the writer's own: opening the writer again
// must finish the first file (not abandon its thread), and a writer destroyed
// without close() must still leave a complete file.
TEST(AviWriter, OpeningAgainOrDestroyingFinishesTheFile)
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.avi")), second = dir.filePath(QStringLiteral("second.avi"));
    {
        AviWriter w;
        ASSERT_TRUE(w.open(first, {320, 240}, {}, nullptr));
        EXPECT_TRUE(w.WriteFrame(solid(Qt::red), 10));
        EXPECT_TRUE(w.WriteFrame(solid(Qt::blue), 5));
        ASSERT_TRUE(w.open(second, {320, 240}, {}, nullptr));
        EXPECT_TRUE(w.WriteFrame(solid(Qt::green), 7));
    }
    const std::vector<QColor> a = decodedFrames(first), b = decodedFrames(second);
    ASSERT_EQ(a.size(), 15u);
    EXPECT_TRUE(near(a[9], Qt::red));
    EXPECT_TRUE(near(a[10], Qt::blue));
    ASSERT_EQ(b.size(), 7u);
    EXPECT_TRUE(near(b[6], Qt::green));
}
