// Generates the bundled demo show: a dozen pictures of different sizes and
// shapes (some larger than 1920 x 1440) and a project file made through the
// same core operations the CLI uses, and a song of about a minute with its
// Chinese lyric file.
//
// usage: make_demo OUTPUT_FOLDER

#include "ProjectLists.h"
#include "ProjectSession.h"
#include "Display.h"
#include "clsWavConcatenate.h"
#include "PictureLoad.h"
#include "TextPath.h"
#include "SongLength.h"
#include "cLameEncoder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

struct Scene
{
    const char *file;
    int width;
    int height;
    QColor skyTop;
    QColor skyBottom;
    QColor land;
    const char *caption;
    const char *headline;
    int headlineEffect;
};

// Photo-like: a sky gradient, a sun, layered hills and fine grain, so that the
// pictures compress and decode like camera pictures rather than flat colour.
QImage paintScene(const Scene &s, quint32 seed)
{
    QImage img(s.width, s.height, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, s.height);
    sky.setColorAt(0, s.skyTop);
    sky.setColorAt(1, s.skyBottom);
    p.fillRect(img.rect(), sky);

    QRandomGenerator rng(seed);
    const double sunR = std::min(s.width, s.height) * 0.08;
    const QPointF sun(s.width * (0.2 + 0.6 * rng.generateDouble()), s.height * 0.25);
    QRadialGradient glow(sun, sunR * 3);
    glow.setColorAt(0, QColor(255, 250, 220, 230));
    glow.setColorAt(0.3, QColor(255, 230, 160, 120));
    glow.setColorAt(1, QColor(255, 230, 160, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(sun, sunR * 3, sunR * 3);

    for (int layer = 0; layer < 4; ++layer) {
        QPainterPath hills;
        const double base = s.height * (0.55 + 0.1 * layer);
        hills.moveTo(0, s.height);
        hills.lineTo(0, base);
        const int steps = 24;
        for (int i = 0; i <= steps; ++i) {
            const double x = s.width * i / double(steps);
            const double y = base - s.height * 0.08 * (0.5 + 0.5 * std::sin(i * 0.7 + layer * 1.3 + rng.generateDouble()));
            hills.lineTo(x, y);
        }
        hills.lineTo(s.width, s.height);
        hills.closeSubpath();
        p.setBrush(s.land.darker(100 + layer * 25));
        p.drawPath(hills);
    }
    p.end();

    // Grain
    for (int y = 0; y < img.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const int n = int(rng.bounded(17u)) - 8;
            const QRgb c = line[x];
            line[x] = qRgb(std::clamp(qRed(c) + n, 0, 255), std::clamp(qGreen(c) + n, 0, 255),
                           std::clamp(qBlue(c) + n, 0, 255));
        }
    }
    return img;
}

// A gentle tune in C major pentatonic at 96 beats a minute: a bell-like
// melody over a soft bass that walks C, A minor, F and G, 96 beats (60 s) in
// all, written as a WAV in the soundtrack format (22050 Hz, 16 bit, stereo).
bool writeDemoTune(const QString &path)
{
    constexpr int rate = 22050;
    constexpr double beat = 60.0 / 96.0;
    constexpr int beats = 96;
    const int frames = int(beats * beat * rate) + rate; // a second to ring out
    std::vector<double> left(size_t(frames), 0.0), right(size_t(frames), 0.0);
    auto note = [&](double startBeat, double lengthBeats, int midi, double level, double pan, bool bell) {
        const double freq = 440.0 * std::pow(2.0, (midi - 69) / 12.0);
        const int first = int(startBeat * beat * rate);
        const int count = int((lengthBeats * beat + (bell ? 0.6 : 0.2)) * rate);
        for (int i = 0; i < count && first + i < frames; ++i) {
            const double t = double(i) / rate;
            const double attack = std::min(1.0, t / 0.015);
            const double decay = std::exp(-t * (bell ? 2.2 : 1.2));
            const double w = 2 * M_PI * freq * t;
            double v = bell ? std::sin(w) + 0.35 * std::sin(2 * w) + 0.1 * std::sin(3 * w) : std::sin(w) + 0.2 * std::sin(2 * w);
            v *= attack * decay * level;
            left[size_t(first + i)] += v * (1.0 - pan);
            right[size_t(first + i)] += v * pan;
        }
    };
    // Two eight-bar phrases of (midi note, beats), played A B A.
    const std::vector<std::pair<int, double>> phraseA = {
        {76, 1}, {79, 1}, {81, 2}, {79, 1}, {76, 1}, {74, 2}, {72, 1}, {74, 1}, {76, 1}, {79, 1}, {76, 4},
        {81, 1}, {84, 1}, {81, 1}, {79, 1}, {76, 2}, {79, 2}, {74, 1}, {76, 1}, {74, 1}, {72, 1}, {72, 4}};
    const std::vector<std::pair<int, double>> phraseB = {
        {72, 1}, {74, 1}, {76, 2}, {79, 2}, {76, 2}, {81, 1}, {79, 1}, {76, 1}, {74, 1}, {76, 4},
        {79, 1}, {81, 1}, {84, 2}, {81, 1}, {79, 1}, {76, 2}, {74, 1}, {72, 1}, {74, 1}, {76, 1}, {72, 4}};
    double at = 0;
    for (const auto *phrase : {&phraseA, &phraseB, &phraseA, &phraseB}) {
        for (const auto &[midi, length] : *phrase) {
            if (at < beats) note(at, length, midi, 0.22, 0.4, true);
            at += length;
        }
    }
    const int roots[] = {48, 45, 41, 43}; // C, A, F, G
    for (int bar = 0; bar < beats / 4; ++bar) {
        const int root = roots[bar % 4];
        note(bar * 4.0, 2, root, 0.18, 0.6, false);
        note(bar * 4.0 + 2, 2, root + 7, 0.12, 0.6, false);
    }

    QByteArray data(frames * 4, Qt::Uninitialized);
    auto *out = reinterpret_cast<int16_t *>(data.data());
    for (int i = 0; i < frames; ++i) {
        const double fade = std::min(1.0, double(frames - i) / rate); // the last second fades out
        out[2 * i] = int16_t(std::clamp(left[size_t(i)] * fade, -1.0, 1.0) * 30000);
        out[2 * i + 1] = int16_t(std::clamp(right[size_t(i)] * fade, -1.0, 1.0) * 30000);
    }
    const QByteArray header = pvsm::MakeWavHeader44(pvsm::MakePcmFormat(rate, 2, 16), 44 + data.size());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(header + data) == header.size() + data.size();
}

// The song's lyric: a line for every half phrase of the tune.
const char *const kDemoLyric =
    "[ti:旅行之歌]\r\n[ar:图片幻灯工作室]\r\n"
    "[00:00.50]清晨的风吹过山谷\r\n"
    "[00:05.50]我们背起行囊出发\r\n"
    "[00:10.50]阳光洒在高高的塔上\r\n"
    "[00:15.50]远方有星光在闪烁\r\n"
    "[00:20.50]田野里开满了小花\r\n"
    "[00:25.50]湖水映着天空的颜色\r\n"
    "[00:30.50]落日把影子拉得很长\r\n"
    "[00:35.50]走过紫色的黄昏\r\n"
    "[00:40.50]海浪轻轻地歌唱\r\n"
    "[00:45.50]秋天的叶子飘落\r\n"
    "[00:50.50]这一路的风景都记在心里\r\n"
    "[00:55.50]再见，下次旅行再相遇\r\n";

// journey.mp3 and, with the same title, journey.lrc.
bool writeDemoSong(const QDir &out, QString &mp3Path)
{
    const QString wav = out.filePath(QStringLiteral("journey.tmp.wav"));
    mp3Path = out.filePath(QStringLiteral("journey.mp3"));
    if (!writeDemoTune(wav)) return false;
    pvsm::cLameEncoder encoder;
    encoder.SetWavFile(wav);
    encoder.SetMp3File(mp3Path);
    const bool encoded = encoder.Encode();
    QFile::remove(wav);
    if (!encoded) return false;
    QFile lrc(out.filePath(QStringLiteral("journey.lrc")));
    return lrc.open(QIODevice::WriteOnly) && lrc.write(QByteArray(kDemoLyric)) > 0;
}

class DemoPrompter : public pvsm::Prompter
{
public:
    pvsm::Answer ask(const QString &, pvsm::PromptButtons, pvsm::PromptIcon, const QString &) override
    {
        return pvsm::Answer::Yes; // the demo is regenerated in place
    }
    void inform(const QString &text, pvsm::PromptIcon) override
    {
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    }
    QString chooseSaveFile(const pvsm::FileDialogRequest &) override { return {}; }
    QString chooseOpenFile(const pvsm::FileDialogRequest &) override { return {}; }
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_demo OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());

    const Scene scenes[] = {
        {"01-dawn.jpg", 4000, 3000, QColor(40, 60, 120), QColor(250, 170, 120), QColor(60, 90, 60), "清晨的山谷", "新的一天", 0},
        {"02-tower.jpg", 3000, 4000, QColor(20, 90, 200), QColor(170, 210, 250), QColor(110, 100, 80), "高塔\n竖幅照片", "登高望远", 1},
        {"03-wide.jpg", 2560, 1440, QColor(10, 30, 80), QColor(90, 120, 190), QColor(30, 50, 40), "宽屏夜色", "星光", 2},
        {"04-field.png", 1920, 1080, QColor(80, 150, 230), QColor(220, 240, 255), QColor(120, 170, 60), "", "田野", 3},
        {"05-lake.jpg", 1024, 768, QColor(100, 140, 200), QColor(240, 220, 200), QColor(50, 80, 110), "湖边", "", 0},
        {"06-square.jpg", 800, 800, QColor(200, 100, 60), QColor(250, 220, 120), QColor(90, 60, 40), "方形构图", "落日", 4},
        {"07-small.bmp", 640, 480, QColor(60, 60, 60), QColor(180, 180, 180), QColor(40, 40, 40), "小图片", "阴天", 5},
        {"08-panorama.jpg", 3200, 1200, QColor(30, 120, 210), QColor(200, 230, 250), QColor(70, 110, 70), "全景", "远方的山", 6},
        {"09-portrait.png", 1200, 1600, QColor(150, 80, 160), QColor(250, 200, 220), QColor(80, 50, 90), "人像比例", "紫色黄昏", 7},
        {"10-tiny.jpg", 500, 300, QColor(0, 100, 150), QColor(120, 220, 230), QColor(0, 80, 60), "很小的图", "海", 8},
        {"11-classic.jpg", 2048, 1536, QColor(230, 140, 50), QColor(250, 230, 170), QColor(120, 80, 30), "四比三", "秋天", 0},
        {"12-cinema.jpg", 1600, 900, QColor(20, 20, 40), QColor(120, 60, 90), QColor(20, 30, 30), "最后一张", "再见", 1},
    };

    QStringList paths;
    quint32 seed = 1;
    for (const Scene &s : scenes) {
        const QString path = out.filePath(QString::fromLatin1(s.file));
        const QImage img = paintScene(s, seed++);
        if (!img.save(path, nullptr, 88)) {
            std::fprintf(stderr, "cannot write %s\n", path.toLocal8Bit().constData());
            return 1;
        }
        paths << path;
    }

    DemoPrompter prompter;
    const pvsm::Workspace ws(out.path(), out.path());
    pvsm::ProjectEnvironment env;
    env.defaultFont = pvsm::chooseDefaultTextFont(QGuiApplication::font().family());
    pvsm::ProjectSession session(ws, env, prompter);
    pvsm::addPictures(session.project(), paths, env,
                      [](const QString &path) { return pvsm::pictureProblemText(pvsm::CheckPictureFile(path)); });
    QString song;
    if (!writeDemoSong(out, song)) {
        std::fprintf(stderr, "cannot write the demo song\n");
        return 1;
    }
    // Admitted as the music list admits songs: by the real length probe.
    const pvsm::AddSongsResult songs = pvsm::addSongs(session.project(), {song}, [](const QString &path) {
        const double probed = pvsm::ProbeSongLength(path);
        return probed <= 0 ? -1.0f : pvsm::GetSongLength(path, float(probed));
    });
    if (songs.added != 1 || session.project().lyricFiles.isEmpty()) {
        std::fprintf(stderr, "the demo song was not taken\n");
        return 1;
    }

    QStringList sets = {
        QStringLiteral("TxtSetting(0)=演示幻灯"),
        QStringLiteral("TxtSetting(1)=图片幻灯工作室"),
        QStringLiteral("TitleText(1)=我们的旅行\r\n二〇二六年"),
        QStringLiteral("TitleText(2)=谢谢观看"),
        QStringLiteral("EnableOpening=true"),
        QStringLiteral("EnableEnding=true"),
        QStringLiteral("TimeInterval=5"),
        QStringLiteral("BackGroundSet=2"),
    };
    for (int i = 0; i < int(std::size(scenes)); ++i) {
        const int n = i + 1;
        sets << QStringLiteral("ImgCaption(%1)=%2").arg(n).arg(QString::fromUtf8(scenes[i].caption).replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
        sets << QStringLiteral("ImgHeadline(%1)=%2").arg(n).arg(QString::fromUtf8(scenes[i].headline));
        sets << QStringLiteral("HeadDynamicStyle(%1)=%2").arg(n).arg(scenes[i].headlineEffect);
    }
    for (const QString &set : sets) {
        const int eq = set.indexOf(QLatin1Char('='));
        QString error;
        if (!pvsm::setProjectKey(session.project(), set.left(eq), set.mid(eq + 1), env, session.writeContext(), &error)) {
            std::fprintf(stderr, "%s\n", error.toUtf8().constData());
            return 1;
        }
    }
    // Headline boxes fit their text, as the editor makes them, and sit a
    // little above the middle of the screen.
    QVector<pvsm::HeadlineToMeasure> headlines;
    for (const pvsm::Picture &pic : session.project().pictures)
        headlines.push_back({pic.headline, double(pic.headStyle.size), pic.headStyle.style});
    const QVector<QSize> boxes =
        pvsm::MeasureHeadlineBoxes(headlines, session.project().settings.textStyles[1].fontName, env.screenWidth);
    for (int i = 0; i < boxes.size(); ++i) {
        if (session.project().pictures[size_t(i)].headline.isEmpty()) continue;
        const QSize box = boxes[i] + QSize(16, 8); // room for the outline
        const QStringList boxSets = {
            QStringLiteral("HeadPosX(%1)=%2").arg(i + 1).arg((env.screenWidth - box.width()) / 2),
            QStringLiteral("HeadPosY(%1)=%2").arg(i + 1).arg(env.screenHeight * 2 / 5),
            QStringLiteral("HeadPosW(%1)=%2").arg(i + 1).arg(box.width()),
            QStringLiteral("HeadPosH(%1)=%2").arg(i + 1).arg(box.height()),
        };
        for (const QString &set : boxSets) {
            const int eq = set.indexOf(QLatin1Char('='));
            QString error;
            if (!pvsm::setProjectKey(session.project(), set.left(eq), set.mid(eq + 1), env, session.writeContext(), &error)) {
                std::fprintf(stderr, "%s\n", error.toUtf8().constData());
                return 1;
            }
        }
    }

    const QString projectPath = out.filePath(QStringLiteral("demo.aps"));
    if (!session.save(projectPath)) return 1;
    std::printf("Project: %s\n", projectPath.toUtf8().constData());
    return 0;
}
