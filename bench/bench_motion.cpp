// Motion benchmark: the 20-photo show of 12-megapixel JPEGs (4000 x 3000),
// 6 s a slide with 1 s transitions, with the automatic motion on every slide,
// exported at 1920 x 1080 with the export's defaults, next to two references
// measured in the same run:
//   - the floor: ffmpeg's bare x264 encoding our own export's frames again,
//     decoded beforehand into a raw file, at the same settings (every moving
//     frame must be encoded, so nothing can be faster than that); beside it
//     the same number of frames of synthetic video (testsrc2), which x264
//     codes faster than photos with grain;
//   - bench/zoompan.sh: an ffmpeg chain making the same zoom with its zoompan
//     filter, each JPEG decoded once, the clips joined by cross-fades.
// Also the frame loop alone into a sink that only counts, and our peak memory.
// usage: bench_motion [WORKDIR] [--quick] [--ours-only]
//   --quick      4 pictures
//   --ours-only  only our export and the render alone
//   --render-only  only the frame loop into a sink that counts (for profiling)
#include "BenchExport.h"
#include "BenchPhoto.h"
#include "FrameLoop.h"
#include "ProjectLists.h"
#include "VideoExport.h"
#include "clsMemDC.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

using namespace pvsm;
using namespace pvsm::bench;

namespace {

// Counts frames and pictures, nothing more: what the frame loop costs alone.
class CountingTimelineSink : public TimelineSink
{
public:
    bool WriteFrame(const QImage &, int count = 1) override
    {
        m_frames += count;
        ++pictures;
        return true;
    }
    int64_t FrameCounter() const override { return m_frames; }
    void setFrameCounter(int64_t frames) override { m_frames = std::max(m_frames, frames); }
    void cancel() override {}
    bool cancelled() const override { return false; }
    bool failed() const override { return false; }
    int64_t pictures = 0;

private:
    int64_t m_frames = 0;
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ReuseCanvasMemory();
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool quick = args.contains(QStringLiteral("--quick"));
    const QString workDir = args.size() > 1 && !args[1].startsWith(QLatin1String("--"))
                                ? args[1]
                                : QDir::tempPath() + QStringLiteral("/pvsm-bench-motion");
    QDir().mkpath(workDir + QStringLiteral("/photos"));
    const int pictures = quick ? 4 : 20;
    const QSize size(1920, 1080);

    QStringList paths;
    QImage photo;
    for (int i = 0; i < pictures; ++i) {
        const QString path = QStringLiteral("%1/photos/photo%2.jpg").arg(workDir).arg(i, 2, 10, QLatin1Char('0'));
        if (!QFile::exists(path)) {
            if (photo.isNull()) photo = bench::photoLike({4000, 3000});
            // Each photo its own: turned and mirrored in turn, so no two are alike.
            photo.mirrored(i % 2 == 1, i % 4 >= 2).save(path, "JPEG", 90);
        }
        paths << path;
    }

    const Workspace ws(workDir, workDir);
    ws.prepare();
    ProjectEnvironment env;
    env.lyricSampleLineHeight = 80;
    Project project = Project::makeDefault(env);
    addPictures(project, paths, env);
    project.settings.timeInterval = 6;
    project.settings.transitionSpeed = 1000;
    project.settings.autoMotion = true;

    const bool renderOnlyRun = args.contains(QStringLiteral("--render-only"));
    ExportRun ours, oursStill;
    if (!renderOnlyRun) {
        ours = exportInChild(project, ws, size, VideoEncodeOptions{}, workDir + QStringLiteral("/ours-motion.avi"));
        Project still = project;
        still.settings.autoMotion = false;
        oursStill = exportInChild(still, ws, size, VideoEncodeOptions{}, workDir + QStringLiteral("/ours-still.avi"));
    }
    double renderOnly = 0;
    {
        struct rusage before {};
        getrusage(RUSAGE_SELF, &before);
        CountingTimelineSink counter;
        FrameLoopSettings fs;
        fs.videoSize = size;
        fs.editingScreen = {1920, 1080};
        for (int i = 0; i < kTransitionCount; ++i) fs.SelectedTransitions.push_back(i);
        JobControl control;
        QElapsedTimer t;
        t.start();
        FrameLoop(project, fs, counter, nullptr, control).RenderVideo();
        renderOnly = t.elapsed() / 1000.0;
        struct rusage after {};
        getrusage(RUSAGE_SELF, &after);
        const double cpu = double(after.ru_utime.tv_sec - before.ru_utime.tv_sec)
                           + double(after.ru_utime.tv_usec - before.ru_utime.tv_usec) / 1e6;
        std::printf("render only (no encoder), moving, 1920x1080: %.2f s (%.2f cpu s) for %lld frames in %lld pictures\n",
                    renderOnly, cpu, (long long)counter.FrameCounter(), (long long)counter.pictures);
    }
    if (renderOnlyRun) return 0;
    auto row = [&](const char *name, const ExportRun &r) {
        std::printf("| %s | %.2f | %.2f | %lld | %.1f | %ld |\n", name, r.seconds, r.cpuSeconds, (long long)r.frames,
                    r.frames / r.seconds, r.peakRssMb);
    };
    std::printf("| run, 1920x1080, x264 %s CRF %d | wall s | cpu s | frames | frames/s | peak MB |\n|---|---|---|---|---|---|\n",
                kDefaultX264Preset, kDefaultX264Crf);
    row("ours, automatic motion", ours);
    row("ours, the same show still", oursStill);
    if (args.contains(QStringLiteral("--ours-only"))) return 0;

    const int64_t frames = ours.frames;
    const QString preset = QString::fromLatin1(kDefaultX264Preset);
    const QString crf = QString::number(kDefaultX264Crf);
    const double bare = runProcess(
        QStringLiteral("ffmpeg"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
         QStringLiteral("testsrc2=size=1920x1080:rate=30"), QStringLiteral("-frames:v"), QString::number(frames),
         QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"), preset, QStringLiteral("-crf"), crf,
         QStringLiteral("-bf"), QStringLiteral("0"), QStringLiteral("-y"), workDir + QStringLiteral("/bare.avi")});
    QStringList chain = {workDir + QStringLiteral("/zoompan.mp4"), QStringLiteral("1920"), QStringLiteral("1080"),
                         QStringLiteral("7"), preset, crf};
    chain << paths;
    const double zoompan = runProcess(QStringLiteral(PVSM_SOURCE_DIR "/bench/zoompan.sh"), chain);
    // Our frames, decoded once into a raw file (not timed), encoded again.
    const QString raw = workDir + QStringLiteral("/ours-motion.yuv");
    runProcess(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"),
                                          workDir + QStringLiteral("/ours-motion.avi"), QStringLiteral("-f"),
                                          QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
                                          QStringLiteral("-y"), raw});
    const double floor = runProcess(
        QStringLiteral("ffmpeg"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("rawvideo"), QStringLiteral("-s"),
         QStringLiteral("1920x1080"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), QStringLiteral("-r"),
         QStringLiteral("30"), QStringLiteral("-i"), raw, QStringLiteral("-c:v"), QStringLiteral("libx264"),
         QStringLiteral("-preset"), preset, QStringLiteral("-crf"), crf, QStringLiteral("-bf"), QStringLiteral("0"),
         QStringLiteral("-refs"), QStringLiteral("1"), QStringLiteral("-y"), workDir + QStringLiteral("/floor.avi")});
    QFile::remove(raw);
    std::printf("| bare x264 on our %lld frames again (the floor) | %.2f | | %lld | %.1f | |\n", (long long)frames, floor,
                (long long)frames, frames / floor);
    std::printf("| bare x264, %lld frames of testsrc2 | %.2f | | %lld | %.1f | |\n", (long long)frames, bare,
                (long long)frames, frames / bare);
    std::printf("| ffmpeg zoompan chain (bench/zoompan.sh) | %.2f | | | | |\n", zoompan);
    std::printf("\nratio zoompan / ours: %.2f (target: at least 3)\n", zoompan / ours.seconds);
    std::printf("ratio ours / bare x264 on our frames: %.2f (target: at most 1.3)\n", ours.seconds / floor);
    std::printf("ratio ours / bare x264 on testsrc2: %.2f\n", ours.seconds / bare);
    std::printf("ratio zoompan / bare x264 on our frames: %.2f (the most any export can reach)\n", zoompan / floor);
    std::printf("peak memory: %ld MB (target: under 500)\n", ours.peakRssMb);
    return 0;
}
