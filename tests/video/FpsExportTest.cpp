// Exported videos at 25 and 60 frames a second, read back from the file:
// the stream's rate, its length in seconds, and every lyric line at its time.
#include "LyricExportFixture.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <cmath>

using namespace pvsm;
using namespace pvsm::lyrictest;

namespace {

class FpsExport : public LyricExportFixture
{
protected:
    // The picture stream's frame rate and length in seconds (its frames over
    // its rate), as ffprobe reads them.
    std::pair<QString, double> probe(const QString &video)
    {
        QProcess ffprobe;
        ffprobe.start(QStringLiteral("ffprobe"),
                      {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"), QStringLiteral("v:0"),
                       QStringLiteral("-show_entries"), QStringLiteral("stream=r_frame_rate,nb_frames"),
                       QStringLiteral("-of"), QStringLiteral("default=noprint_wrappers=1"), video});
        if (!ffprobe.waitForFinished(60000)) return {};
        QString rate;
        double frames = -1;
        for (const QString &line : QString::fromUtf8(ffprobe.readAllStandardOutput()).split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("r_frame_rate="))) rate = line.mid(13).trimmed();
            if (line.startsWith(QLatin1String("nb_frames="))) frames = line.mid(10).toDouble();
        }
        const QStringList ratio = rate.split(QLatin1Char('/'));
        const double fps = ratio.size() == 2 && ratio[1].toDouble() > 0 ? ratio[0].toDouble() / ratio[1].toDouble() : 0;
        return {rate, fps > 0 ? frames / fps : -1};
    }
};

} // namespace

TEST_F(FpsExport, TheFileRunsAtItsRateAndEveryLineShowsAtItsTime)
{
    const QRectF row1(0, 150, kWidth, 40), row2(0, 190, kWidth, 40);
    project.settings.lyricStyle = 3;
    double seconds30 = 0;
    for (const int fps : {30, 25, 60}) {
        SCOPED_TRACE(testing::Message() << fps << " frames a second");
        options.frameRate = fps;
        RandomSource::global().setFixedSeed(3);
        options.targetPath = dir.filePath(QStringLiteral("lyrics-%1.avi").arg(fps));
        const ExportOutcome outcome =
            ExportAvi(project, ws, options, prompter, control, makeProjectSoundtrackFactory(ws, prompter));
        RandomSource::global().clearFixedSeed();
        ASSERT_TRUE(outcome.completed) << prompter.informed.join(QStringLiteral(" | ")).toStdString();
        const auto [rate, seconds] = probe(outcome.target);
        EXPECT_EQ(rate, QStringLiteral("%1/1").arg(fps));
        EXPECT_GT(seconds, 16); // the 3 s opening and 14 s of music at least
        if (fps == 30) seconds30 = seconds;
        else EXPECT_NEAR(seconds, seconds30, 0.1);

        // The music starts after the 3 s opening title. Each line is looked
        // for at its time and 0.7 s later: not yet sung, then partly sung.
        const int musicStart = 3 * fps;
        std::vector<int> positions;
        for (int i = 0; i < kLines.size(); ++i)
            for (double after : {0.0, 0.7})
                positions.push_back(musicStart + int(std::lround((i * kLineSeconds + after) * fps)));
        const std::vector<QImage> frames = decode(outcome.target, positions);
        ASSERT_EQ(frames.size(), positions.size());
        for (size_t k = 0; k < positions.size(); ++k) {
            const int i = int(k / 2);
            SCOPED_TRACE(testing::Message() << kLines[i].toStdString() << " in frame " << positions[k] + 1);
            ASSERT_FALSE(frames[k].isNull());
            const QRectF row = i % 2 == 1 ? row2 : row1;
            const int alignment = i % 2 == 0 ? 3 : 5;
            const Shown seen = shown(frames[k], glyphMask(kLines[i], row, alignment, project.settings.textStyles[2]));
            EXPECT_GT(seen.lyric, 0.6);
            if (k % 2 == 0) EXPECT_LT(seen.sung, 0.05);
            else EXPECT_TRUE(seen.sung > 0.1 && seen.sung < 0.7) << seen.sung;
        }
    }
}
