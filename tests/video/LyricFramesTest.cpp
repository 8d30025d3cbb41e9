// The lyric of a song on every frame of an exported video, read back from
// the file: in held slides, transitions, headline effects and titles alike.
#include "LyricExportFixture.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <cmath>

using namespace pvsm;
using namespace pvsm::lyrictest;

namespace {

using LyricFrames = LyricExportFixture;

} // namespace

TEST_F(LyricFrames, EveryLineShowsAtItsTimeWhateverTheFrameShows)
{
    const QRectF row1(0, 150, kWidth, 40), row2(0, 190, kWidth, 40);
    for (int style = 0; style <= 3; ++style) {
        SCOPED_TRACE(style);
        project.settings.lyricStyle = style;
        RandomSource::global().setFixedSeed(3);
        options.targetPath = dir.filePath(QStringLiteral("lyrics-%1.avi").arg(style));
        const ExportOutcome outcome =
            ExportAvi(project, ws, options, prompter, control, makeProjectSoundtrackFactory(ws, prompter));
        ASSERT_TRUE(outcome.completed) << prompter.informed.join(QStringLiteral(" | ")).toStdString();

        // The music starts after the 3 s opening title (frame 90). Frame f,
        // at stream position f - 1, is drawn for the time f / 30 s. Each line
        // is looked for in the frame of its time and 0.7 s later, which every
        // lyric style still shows it in.
        const int musicStart = 90;
        std::vector<int> positions;
        for (int i = 0; i < kLines.size(); ++i)
            for (double after : {0.0, 0.7})
                positions.push_back(musicStart + int(std::lround((i * kLineSeconds + after) * 30)));
        const std::vector<QImage> frames = decode(outcome.target, positions);
        ASSERT_EQ(frames.size(), positions.size());
        for (size_t k = 0; k < positions.size(); ++k) {
            const int i = int(k / 2);
            SCOPED_TRACE(testing::Message() << kLines[i].toStdString() << " in frame " << positions[k] + 1);
            ASSERT_FALSE(frames[k].isNull());
            const bool twoRows = style == 1 || style == 3;
            const QRectF row = twoRows && i % 2 == 1 ? row2 : row1;
            const int alignment = !twoRows ? 4 : i % 2 == 0 ? 3 : 5;
            const Shown seen = shown(frames[k], glyphMask(kLines[i], row, alignment, project.settings.textStyles[2]));
            EXPECT_GT(seen.lyric, 0.6);
            // A moving line is sung from its time on: 0.7 s later a quarter
            // to a half of it (the last line lasts 1.5 s) has the sung colour.
            if (style == 2 || style == 3) {
                if (k % 2 == 0) EXPECT_LT(seen.sung, 0.05);
                else EXPECT_TRUE(seen.sung > 0.1 && seen.sung < 0.7) << seen.sung;
            }
        }
    }
}
