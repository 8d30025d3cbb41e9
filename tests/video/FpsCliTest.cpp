// pvsm-cli export --fps and --size for the sizes after the eighteen.
#include "CliRun.h"

#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using pvsm::test::cli;
using pvsm::test::CliRun;

namespace {

QString value(const QString &out, const QString &key)
{
    for (const QString &line : out.split(QLatin1Char('\n')))
        if (line.startsWith(key + QStringLiteral(": "))) return line.mid(key.size() + 2);
    return {};
}

// The picture stream's frame rate, size and frame count, as ffprobe reads them.
QString probe(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                                        QStringLiteral("v:0"), QStringLiteral("-show_entries"),
                                        QStringLiteral("stream=r_frame_rate,width,height,nb_frames"), QStringLiteral("-of"),
                                        QStringLiteral("csv=p=0"), path});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

class FpsCli : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QStringList args{QStringLiteral("project"), QStringLiteral("new"), show};
        for (int i = 0; i < 2; ++i) {
            QImage img(64, 48, QImage::Format_RGB32);
            img.fill(QColor::fromHsv(i * 90, 200, 200));
            const QString path = dir.filePath(QStringLiteral("p%1.png").arg(i));
            img.save(path);
            args << QStringLiteral("--picture") << path;
        }
        // No transitions: the renderers' random picks include ones longer
        // than a slide, which would make the show's length a matter of luck.
        args << QStringLiteral("--set") << QStringLiteral("TimeInterval=4") << QStringLiteral("--set")
             << QStringLiteral("EnableTransition=False");
        const CliRun r = cli(args);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }

    QTemporaryDir dir;
    const QString show = dir.filePath(QStringLiteral("show.aps"));
};

} // namespace

TEST_F(FpsCli, OnlyTheThreeRatesAreTaken)
{
    const QString video = dir.filePath(QStringLiteral("out.avi"));
    for (const QStringList &bad : {QStringList{QStringLiteral("--fps"), QStringLiteral("24")},
                                   QStringList{QStringLiteral("--fps"), QStringLiteral("30.5")},
                                   QStringList{QStringLiteral("--fps"), QStringLiteral("sixty")},
                                   QStringList{QStringLiteral("--fps")}}) {
        const CliRun r = cli(QStringList{QStringLiteral("export"), show, video} + bad);
        EXPECT_EQ(r.exitCode, 2) << bad.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("--fps takes 25, 30 or 60"))) << r.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(video));
    }
}

TEST_F(FpsCli, ThePortraitAndSquareSizesAtEveryRate)
{
    struct Case
    {
        QStringList size;
        int fps;
        QString probed; // rate, width, height
    };
    for (const Case &c : {Case{{QStringLiteral("--size"), QStringLiteral("720x1280")}, 30, QStringLiteral("720,1280,30/1")},
                          Case{{QStringLiteral("--size"), QStringLiteral("720x1280")}, 25, QStringLiteral("720,1280,25/1")},
                          Case{{QStringLiteral("--size-index"), QStringLiteral("22")}, 60, QStringLiteral("1080,1080,60/1")}}) {
        SCOPED_TRACE(c.fps);
        const QString video = dir.filePath(QStringLiteral("out-%1.avi").arg(c.fps));
        const CliRun r = cli(QStringList{QStringLiteral("export"), show, video, QStringLiteral("--fps"), QString::number(c.fps)}
                             + c.size);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(value(r.out, QStringLiteral("FrameRate")), QString::number(c.fps));
        const QString frames = value(r.out, QStringLiteral("Frames"));
        EXPECT_EQ(probe(video), c.probed + QStringLiteral(",") + frames);
        // Two slides of 4 s and a 30th of a second before and after them,
        // within a frame (the hold's rounding) and the 3 decimals printed.
        EXPECT_NEAR(value(r.out, QStringLiteral("Duration")).toDouble(), 8 + 2 / 30.0, 1.0 / c.fps + 0.0005 + 1e-6);
    }
}
