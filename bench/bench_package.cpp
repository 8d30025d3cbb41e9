// Building a complete slideshow of 20 photos of 12 megapixels with a
// 3-minute MP3, every photo re-encoded to the 1920 x 1440 limit, against
// ImageMagick resizing and re-encoding the same 20 photos at quality 94 one
// after another, measured in the same run. Prints the median of three runs of
// each and their ratio.
//
//   bench_package [--runs N]
#include "BenchPhoto.h"
#include "BenchSong.h"
#include "Prompter.h"
#include "SlideshowBuild.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

constexpr int kPhotos = 20;
const QSize kPhoto(4000, 3000);

class Quiet : public pvsm::Prompter
{
public:
    pvsm::Answer ask(const QString &, pvsm::PromptButtons, pvsm::PromptIcon, const QString &) override
    {
        return pvsm::Answer::Yes;
    }
    void inform(const QString &text, pvsm::PromptIcon) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    QString chooseSaveFile(const pvsm::FileDialogRequest &) override { return {}; }
    QString chooseOpenFile(const pvsm::FileDialogRequest &) override { return {}; }
};

// ImageMagick's own program, not a wrapper that may stand in front of it
// on the search path.
QString imageMagick()
{
    for (const char *path : {"/usr/bin/convert-im6.q16", "/usr/bin/convert"})
        if (QFileInfo(QString::fromLatin1(path)).isExecutable()) return QString::fromLatin1(path);
    return QStandardPaths::findExecutable(QStringLiteral("convert"));
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    int runs = 3;
    for (int i = 1; i + 1 < argc; ++i)
        if (QByteArray(argv[i]) == "--runs") runs = std::max(1, atoi(argv[i + 1]));
    const QString convert = imageMagick();
    if (convert.isEmpty()) {
        std::fprintf(stderr, "ImageMagick's convert is not installed (scripts/setup.sh installs it)\n");
        return 1;
    }

    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("program/"));
    QDir().mkpath(program);
    if (!QFile::copy(QStringLiteral(PVSM_BIN_DIR "/Pvsm.bfq"), program + QStringLiteral("Pvsm.bfq"))) {
        std::fprintf(stderr, "no Pvsm.bfq in %s\n", PVSM_BIN_DIR);
        return 1;
    }
    const pvsm::Workspace workspace(program, program);

    // Twenty photos that cost the same to decode and differ in a corner.
    std::fprintf(stderr, "making %d photos of %dx%d...\n", kPhotos, kPhoto.width(), kPhoto.height());
    const QImage base = pvsm::bench::photoLike(kPhoto);
    pvsm::ProjectEnvironment env;
    pvsm::Project project = pvsm::Project::makeDefault(env);
    qint64 photoBytes = 0;
    for (int i = 0; i < kPhotos; ++i) {
        QImage photo = base;
        QPainter(&photo).fillRect(100, 100, 300 + 20 * i, 200, QColor::fromHsv(i * 17, 200, 220));
        const QString path = dir.filePath(QStringLiteral("photo%1.jpg").arg(i, 2, 10, QLatin1Char('0')));
        QImageWriter writer(path, "jpeg");
        writer.setQuality(92);
        writer.write(photo);
        photoBytes += QFileInfo(path).size();
        project.pictures.push_back(project.newPicture(path, env));
    }
    const QString song = dir.filePath(QStringLiteral("song.mp3"));
    pvsm::bench::makeSong(song, 180);
    project.songs.push_back({song, 180});

    std::vector<double> ours, theirs;
    qint64 showBytes = 0;
    for (int r = 0; r < runs; ++r) {
        pvsm::BuildRequest request;
        request.outputPath = dir.filePath(QStringLiteral("show"));
        Quiet quiet;
        QElapsedTimer t;
        t.start();
        const pvsm::BuildOutcome outcome = pvsm::BuildScreenSaver(project, workspace, request, quiet, {});
        ours.push_back(t.nsecsElapsed() / 1e9);
        if (!outcome.completed) {
            std::fprintf(stderr, "the build failed\n");
            return 1;
        }
        showBytes = outcome.bytes;

        t.restart();
        for (int i = 0; i < kPhotos; ++i) {
            const QString in = project.pictures[size_t(i)].path;
            const int code = QProcess::execute(convert, {in, QStringLiteral("-resize"), QStringLiteral("1920x1440"),
                                                         QStringLiteral("-quality"), QStringLiteral("94"),
                                                         dir.filePath(QStringLiteral("im%1.jpg").arg(i))});
            if (code != 0) {
                std::fprintf(stderr, "convert failed (%d)\n", code);
                return 1;
            }
        }
        theirs.push_back(t.nsecsElapsed() / 1e9);
    }
    const double a = median(ours), b = median(theirs);
    std::printf("Complete slideshow of %d photos %dx%d (%.1f MB of JPEG, quality 92) and a 180 s MP3, %u cores, median of %d\n\n",
                kPhotos, kPhoto.width(), kPhoto.height(), photoBytes / 1048576.0, std::thread::hardware_concurrency(), runs);
    std::printf("| | wall s |\n|---|---|\n");
    std::printf("| ours: the whole build (%.1f MB slideshow) | %.2f |\n", showBytes / 1048576.0, a);
    std::printf("| ImageMagick 6 convert -resize 1920x1440 -quality 94, one photo after another | %.2f |\n", b);
    std::printf("\nImageMagick / ours: %.2f x\n", b / a);
    return 0;
}
