#pragma once

// A small show of six lyric lines over dark pictures, exported and read
// back from the file, for the tests that look for each line at its time.
#include "FakePrompter.h"
#include "PCMPreparator.h"
#include "Random.h"
#include "SongLength.h"
#include "Soundtrack.h"
#include "VideoExport.h"
#include "clsWavConcatenate.h"
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cmath>

namespace pvsm::lyrictest {

constexpr int kWidth = 320, kHeight = 240;
constexpr double kLineSeconds = 2.5;
inline const QStringList kLines = {QStringLiteral("春眠不觉"), QStringLiteral("处处闻啼"), QStringLiteral("夜来风雨"),
                            QStringLiteral("花落知多"), QStringLiteral("白日依山"), QStringLiteral("黄河入海")};

// Yellow text not yet sung, magenta sung text, over dark pictures.
inline bool yellow(QRgb p)
{
    return qRed(p) > 150 && qGreen(p) > 150 && qBlue(p) < 110;
}
inline bool magenta(QRgb p)
{
    return qRed(p) > 150 && qBlue(p) > 150 && qGreen(p) < 110;
}

// The pixels well inside the glyphs of `text` laid out as the lyric style
// places it.
inline QImage glyphMask(const QString &text, const QRectF &row, int alignment, const TextStyle &style)
{
    QImage mask(kWidth, kHeight, QImage::Format_RGB32);
    mask.fill(Qt::black);
    TextPathStyle s;
    s.fontName = style.fontName;
    s.sizePx = style.size;
    s.fontStyle = style.style;
    s.alignment = alignment;
    s.startArgb = s.endArgb = 0xFFFFFFFF;
    DrawTextPath(mask, text, row, s);
    return mask;
}

// Shares of the mask's pixels that show the lyric in `frame`: in either
// colour, and in the colour of the sung part.
struct Shown
{
    double lyric = 0;
    double sung = 0;
};
inline Shown shown(const QImage &frame, const QImage &mask)
{
    int inside = 0, coloured = 0, sung = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (qRed(mask.pixel(x, y)) > 230) {
                ++inside;
                const QRgb p = frame.pixel(x, y);
                coloured += yellow(p) || magenta(p);
                sung += magenta(p);
            }
    return inside ? Shown{double(coloured) / inside, double(sung) / inside} : Shown{};
}

class LyricExportFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ws = Workspace(QStringLiteral(PVSM_BIN_DIR), dir.filePath(QStringLiteral("work")));
        ws.prepare();
        env.screenWidth = kWidth;
        env.screenHeight = kHeight;
        env.lyricSampleLineHeight = 30;
        project = Project::makeDefault(env);
        Settings &s = project.settings;
        s.timeInterval = 3;
        s.enableSync = false;
        // The last line is looked for in the video's last second, which the end
        // fade would darken.
        s.fadeOutEnd = false;
        s.enableTransition = true;
        s.enableHeadlineEffect = true;
        s.enableOpening = s.enableEnding = true;
        s.titleText = {QStringLiteral("开场"), QStringLiteral("再见")};
        s.titleStyle = 1;
        s.titleBox = {0, 10, kWidth, 60};
        s.openingDurationTime = s.endingDurationTime = 3;
        s.enableLyric = true;
        s.lyricBox = {0, 150, kWidth, 40};
        TextStyle &lyric = s.textStyles[2];
        lyric.size = 30;
        lyric.style = kFontBold;
        lyric.pattern = kPatternSolid;
        lyric.borderWidth = 0;
        lyric.startColor = lyric.endColor = 0x00FFFF; // yellow
        s.lyricDynamicFontPattern = kPatternSolid;
        s.lyricDynamicFontStartColor = s.lyricDynamicFontEndColor = 0xFF00FF; // magenta
        for (int i = 0; i < 3; ++i) {
            QImage img(kWidth, kHeight, QImage::Format_RGB32);
            img.fill(QColor::fromHsv(200 + 40 * i, 160, 70));
            const QString path = dir.filePath(QStringLiteral("p%1.png").arg(i));
            ASSERT_TRUE(img.save(path));
            Picture pic = project.newPicture(path, env);
            pic.headline = QStringLiteral("标题");
            pic.headDynamicStyle = 5;
            pic.headlineBox = {0, 10, kWidth, 60};
            project.pictures.push_back(pic);
        }

        // 14 s of a soft 330 Hz tone, with a line every 2.5 s.
        const QString song = dir.filePath(QStringLiteral("song.wav"));
        const int rate = 22050, samples = 14 * rate;
        QByteArray pcm(samples * 4, '\0');
        auto *out = reinterpret_cast<int16_t *>(pcm.data());
        for (int n = 0; n < samples; ++n) out[2 * n] = out[2 * n + 1] = int16_t(3000 * std::sin(n * 2 * M_PI * 330 / rate));
        QFile wav(song);
        ASSERT_TRUE(wav.open(QIODevice::WriteOnly));
        wav.write(MakeWavHeader44(MakePcmFormat(rate, 2, 16), 44 + pcm.size()));
        wav.write(pcm);
        wav.close();
        project.songs.push_back({song, GetSongLength(song, float(ProbeSongLength(song)))});
        QFile lrc(dir.filePath(QStringLiteral("song.lrc")));
        ASSERT_TRUE(lrc.open(QIODevice::WriteOnly));
        for (int i = 0; i < kLines.size(); ++i) {
            const int hundredths = int(std::lround(i * kLineSeconds * 100));
            lrc.write(QStringLiteral("[%1:%2.%3]%4\r\n")
                          .arg(hundredths / 6000, 2, 10, QLatin1Char('0'))
                          .arg(hundredths / 100 % 60, 2, 10, QLatin1Char('0'))
                          .arg(hundredths % 100, 2, 10, QLatin1Char('0'))
                          .arg(kLines[i])
                          .toUtf8());
        }
        project.lyricFiles << lrc.fileName();
        lrc.close();

        options.videoSize = options.editingScreen = {kWidth, kHeight};
        options.encode.crf = 12;
    }

    // The pictures at stream positions `positions`, decoded from `video`.
    std::vector<QImage> decode(const QString &video, const std::vector<int> &positions)
    {
        QStringList select;
        for (int p : positions) select << QStringLiteral("eq(n\\,%1)").arg(p);
        const QString pattern = dir.filePath(QStringLiteral("decoded-%03d.png"));
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                                                QStringLiteral("-i"), video, QStringLiteral("-vf"),
                                                QStringLiteral("select='%1'").arg(select.join(QLatin1Char('+'))),
                                                QStringLiteral("-fps_mode"), QStringLiteral("passthrough"), pattern});
        if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0) return {};
        std::vector<QImage> pictures;
        for (size_t i = 0; i < positions.size(); ++i)
            pictures.push_back(QImage(dir.filePath(QStringLiteral("decoded-%1.png").arg(i + 1, 3, 10, QLatin1Char('0'))))
                                   .convertToFormat(QImage::Format_RGB32));
        return pictures;
    }

    QTemporaryDir dir;
    Workspace ws;
    ProjectEnvironment env;
    Project project;
    ExportOptions options;
    test::FakePrompter prompter;
    JobControl control;
};

} // namespace pvsm::lyrictest
