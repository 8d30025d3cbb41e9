// Export benchmark: a 20-picture show of camera-sized photos (4000 x 3000
// JPEGs with detail and grain, 5 s each, 1 s transitions, headlines) exported
// at 1280 x 720, next to two references measured in the same run:
//   - the bare encoder: ffmpeg encoding the same number of frames of moving
//     synthetic video with the same x264 settings;
//   - an ffmpeg filter chain making the same show: every JPEG decoded once
//     (-i photo.jpg, then the loop filter), scaled, and joined by xfade.
// Then the same show with a 3-minute 44.1 kHz stereo MP3 at the defaults,
// with the time the export spent blocked in each soundtrack step, next to the
// same export without music and the MP3 encoding of that soundtrack alone.
// usage: bench_export [WORKDIR] [--quick] [--music-only [--runs N]]
//   --quick       4 pictures and 30 s of music
//   --music-only  only the exports with and without music, N times each (3)
//   --ours-only   only our two 1280 x 720 exports (medium CRF 23 and defaults), for tuning
//   --presets     our export at CRF 19 with each fast x264 preset: time and file size
//   --hd          the show with the song at 1920 x 1080: ours at the defaults and at
//                 medium CRF 23, next to the chain at 1920 x 1080 with the same song
//   --uhd         the same at 3840 x 2160 (ours at the defaults), with peak memory
//   --long [M,M,...]  shows of 10 photos a minute at 1920 x 1080, defaults, no music,
//                 of M minutes each (10,30,60), after the 2-minute show: time and memory
//   --runs N      how often --hd and --uhd repeat their pairs (1)
//   --suffix .S   the suffix of our output files, which chooses the container (.avi)
//   --chain-limit S  stop the chain after S seconds; its figures are then lower bounds
#include "BenchExport.h"
#include "BenchSong.h"
#include "LameApi.h"
#include "ProjectLists.h"
#include "Random.h"
#include "SongLength.h"
#include "Soundtrack.h"
#include "VideoExport.h"
#include "clsMemDC.h"
#include "cLameEncoder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>

#include <csignal>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

using namespace pvsm;
using namespace pvsm::bench;

namespace {

QImage photo(int seed)
{
    QImage img(4000, 3000, QImage::Format_RGB32);
    QPainter p(&img);
    QRandomGenerator rng{uint32_t(seed)};
    QLinearGradient sky(0, 0, 0, 3000);
    sky.setColorAt(0, QColor::fromHsv(int(rng.bounded(360u)), 120, 200));
    sky.setColorAt(1, QColor::fromHsv(int(rng.bounded(360u)), 80, 250));
    p.fillRect(img.rect(), sky);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 400; ++i) { // foliage-like detail at many scales
        p.setBrush(QColor::fromHsv(int(rng.bounded(360u)), 80 + int(rng.bounded(150u)), 40 + int(rng.bounded(200u)), 180));
        const int r = 5 + int(rng.bounded(200u));
        p.drawEllipse(QPoint(int(rng.bounded(4000u)), 1000 + int(rng.bounded(2000u))), r, r * 2 / 3);
    }
    p.end();
    for (int y = 0; y < 3000; ++y) { // sensor grain
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < 4000; ++x) {
            const int n = int(rng.bounded(25u)) - 12;
            const QRgb c = line[x];
            line[x] = qRgb(std::clamp(qRed(c) + n, 0, 255), std::clamp(qGreen(c) + n, 0, 255), std::clamp(qBlue(c) + n, 0, 255));
        }
    }
    return img;
}

// A reference program in a child of its own: wall seconds, and the child's
// peak memory and processor time from wait4.
struct ChildRun
{
    double seconds = 0;
    long peakRssMb = 0;
    double cpuSeconds = 0;
    bool ok = false;
    bool timedOut = false; // stopped at the limit: the figures are lower bounds
};

ChildRun runChild(const QString &program, const QStringList &args, double limitSeconds = 0)
{
    std::vector<QByteArray> bytes{program.toLocal8Bit()};
    for (const QString &a : args) bytes.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &b : bytes) argv.push_back(b.data());
    argv.push_back(nullptr);
    QElapsedTimer t;
    t.start();
    const pid_t pid = fork();
    if (pid == 0) {
        useSystemMemoryPolicy();
        execvp(argv[0], argv.data());
        _exit(127);
    }
    ChildRun r;
    int status = 0;
    struct rusage usage {};
    pid_t done = 0;
    if (pid > 0 && limitSeconds > 0) {
        // A reference that cannot finish in time on a busy machine is
        // stopped; its time so far is then a lower bound.
        while ((done = wait4(pid, &status, WNOHANG, &usage)) == 0 && t.elapsed() < limitSeconds * 1000)
            usleep(200 * 1000);
        if (done == 0) {
            r.timedOut = true;
            kill(pid, SIGKILL);
        }
    }
    if (pid > 0 && (done == pid || wait4(pid, &status, 0, &usage) == pid)) {
        r.seconds = t.elapsed() / 1000.0;
        r.peakRssMb = usage.ru_maxrss / 1024;
        r.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
                       + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    if (r.timedOut) {
        r.ok = true;
        std::fprintf(stderr, "%s stopped after %.0f s\n", program.toUtf8().constData(), r.seconds);
    } else if (!r.ok) {
        std::fprintf(stderr, "%s failed (%s %d)\n", program.toUtf8().constData(), WIFSIGNALED(status) ? "signal" : "exit code",
                     WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status));
    }
    return r;
}

// The reference the export is held to: ffmpeg making the same show with
// xfade at `size`, every photo decoded once (-i photo.jpg, then the loop
// filter), x264 medium CRF 23. With `song`, the file also gets the song as
// our soundtrack is made: 22050 Hz stereo MP3 at LAME's standard VBR.
QStringList chainArguments(const QStringList &paths, QSize size, const QString &song, const QString &out)
{
    QStringList chain = {QStringLiteral("-v"), QStringLiteral("error")};
    for (const QString &p : paths) chain << QStringLiteral("-i") << p;
    if (!song.isEmpty()) chain << QStringLiteral("-i") << song;
    const QString w = QString::number(size.width()), h = QString::number(size.height());
    QString graph;
    const int clipFrames = 7 * 30; // 6 s as in our show + the 1 s overlap with the next picture
    for (int i = 0; i < int(paths.size()); ++i)
        graph += QStringLiteral("[%1:v]scale=%4:%5:force_original_aspect_ratio=decrease,pad=%4:%5:(ow-iw)/2:(oh-ih)/2,setsar=1,format=yuv420p,loop=loop=%2:size=1:start=0,fps=30,trim=end_frame=%3[v%1];")
                     .arg(i).arg(clipFrames).arg(clipFrames).arg(w, h);
    QString last = QStringLiteral("v0");
    for (int i = 1; i < int(paths.size()); ++i) {
        const QString outLabel = QStringLiteral("x%1").arg(i);
        graph += QStringLiteral("[%1][v%2]xfade=transition=fade:duration=1:offset=%3[%4];").arg(last).arg(i).arg(i * 6).arg(outLabel);
        last = outLabel;
    }
    graph.chop(1);
    chain << QStringLiteral("-filter_complex") << graph << QStringLiteral("-map") << QStringLiteral("[%1]").arg(last)
          << QStringLiteral("-c:v") << QStringLiteral("libx264") << QStringLiteral("-preset") << QStringLiteral("medium")
          << QStringLiteral("-crf") << QStringLiteral("23");
    if (!song.isEmpty())
        chain << QStringLiteral("-map") << QStringLiteral("%1:a").arg(paths.size()) << QStringLiteral("-ar")
              << QStringLiteral("22050") << QStringLiteral("-ac") << QStringLiteral("2") << QStringLiteral("-c:a")
              << QStringLiteral("libmp3lame") << QStringLiteral("-q:a") << QStringLiteral("2");
    chain << QStringLiteral("-y") << out;
    return chain;
}


} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ReuseCanvasMemory(); // as the programs do
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool quick = args.contains(QStringLiteral("--quick"));
    const bool musicOnly = args.contains(QStringLiteral("--music-only"));
    const int runsAt = int(args.indexOf(QStringLiteral("--runs")));
    const int musicRuns = musicOnly ? std::clamp(runsAt > 0 && runsAt + 1 < args.size() ? args[runsAt + 1].toInt() : 3, 1, 20) : 1;
    const QString workDir = args.size() > 1 && !args[1].startsWith(QLatin1String("--")) ? args[1] : QDir::tempPath() + QStringLiteral("/pvsm-bench-export");
    QDir().mkpath(workDir + QStringLiteral("/photos"));
    const int pictures = quick ? 4 : 20;
    const int songSeconds = quick ? 30 : 180;
    const QString song = workDir + QStringLiteral("/song%1.mp3").arg(songSeconds);
    if (!QFile::exists(song) && !bench::makeSong(song, songSeconds)) {
        std::fprintf(stderr, "cannot make the song\n");
        return 1;
    }

    QStringList paths;
    for (int i = 0; i < pictures; ++i) {
        const QString path = QStringLiteral("%1/photos/photo%2.jpg").arg(workDir).arg(i, 2, 10, QLatin1Char('0'));
        if (!QFile::exists(path)) photo(i + 1).save(path, "JPEG", 90);
        paths << path;
    }

    // Every run makes the same show: the transitions drawn by chance differ
    // in what they cost the encoder.
    RandomSource::global().setFixedSeed(7);
    const Workspace ws(workDir, workDir);
    ws.prepare();
    ProjectEnvironment env;
    env.lyricSampleLineHeight = 80;
    Project project = Project::makeDefault(env);
    addPictures(project, paths, env);
    // 5 s of picture plus its 1 s transition: a 120 s show for 20 pictures.
    project.settings.timeInterval = 6;
    project.settings.transitionSpeed = 1000;
    for (size_t i = 0; i < project.pictures.size(); ++i) {
        project.pictures[i].headline = QStringLiteral("第%1张 照片").arg(i + 1);
        project.pictures[i].headlineBox = {560, 440, 800, 200};
        project.pictures[i].headDynamicStyle = int(i % 9);
    }

    Project withMusic = project;
    withMusic.songs.push_back({song, GetSongLength(song, float(ProbeSongLength(song)))});
    auto musicSection = [&](const std::vector<ExportRun> &plain, const std::vector<ExportRun> &music) {
        // The encoding that the render now hides, run alone on the same
        // soundtrack WAV (after the forks: no threads before them).
        double encodeAloneMs = -1;
        {
            const QString wav = workDir + QStringLiteral("/soundtrack.wav");
            const QString mp3 = workDir + QStringLiteral("/soundtrack.mp3");
            runProcess(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), song,
                                                  QStringLiteral("-ar"), QStringLiteral("22050"), QStringLiteral("-ac"), QStringLiteral("2"),
                                                  QStringLiteral("-c:a"), QStringLiteral("pcm_s16le"), QStringLiteral("-y"), wav});
            cLameEncoder encoder;
            if (encoder.SetWavFile(wav)) {
                encoder.SetMp3File(mp3);
                QElapsedTimer t;
                t.start();
                if (encoder.Encode()) encodeAloneMs = double(t.elapsed());
            }
            QFile::remove(wav);
            QFile::remove(mp3);
        }

        std::printf("\nSoundtrack in the export: %d pictures, %d s of 44.1 kHz stereo MP3, x264 defaults, 1280x720\n",
                    pictures, songSeconds);
        std::printf("| run | show s | wall s | decode+join ms | MP3 wait ms | render ms | mux ms | steps 1-3+5 %% | cpu s "
                    "| without music: wall s | cpu s |\n|---|---|---|---|---|---|---|---|---|---|---|\n");
        std::vector<double> shares;
        for (size_t i = 0; i < music.size(); ++i) {
            const ExportRun &m = music[i];
            const ExportStepTimes &st = m.steps;
            const double soundMs = double(st.decodeJoinMs + st.mp3WaitMs + st.muxMs);
            const double share = m.seconds > 0 ? soundMs / (m.seconds * 1000.0) * 100.0 : 0;
            shares.push_back(share);
            std::printf("| %zu | %.1f | %.2f | %lld | %lld | %lld | %lld | %.1f | %.2f | %.2f | %.2f |\n", i + 1, m.frames / 30.0,
                        m.seconds, (long long)st.decodeJoinMs, (long long)st.mp3WaitMs, (long long)st.renderMs,
                        (long long)st.muxMs, share, m.cpuSeconds, plain[i].seconds, plain[i].cpuSeconds);
        }
        std::sort(shares.begin(), shares.end());
        std::printf("\nmedian share of steps 1-3+5: %.1f %% of the export (target: under 5 %%)\n", shares[shares.size() / 2]);
        std::printf("MP3 encoding of the same soundtrack alone (what step 3 cost when it blocked): %.0f ms\n", encodeAloneMs);
    };
    if (musicOnly) {
        std::vector<ExportRun> plain, music;
        for (int i = 0; i < musicRuns; ++i) {
            plain.push_back(exportInChild(project, ws, {1280, 720}, {}, workDir + QStringLiteral("/ours-default.avi")));
            music.push_back(exportInChild(withMusic, ws, {1280, 720}, {}, workDir + QStringLiteral("/ours-music.avi"), true));
        }
        musicSection(plain, music);
        return 0;
    }

    if (args.contains(QStringLiteral("--presets"))) {
        // How the default preset was chosen: the same show at CRF 19 with each
        // of the fast presets, time against file size.
        std::printf("| x264 preset, CRF 19, 1280 x 720 | wall s | cpu s | MB |\n|---|---|---|---|\n");
        for (const char *name : {"ultrafast", "superfast", "veryfast", "faster", "fast"}) {
            VideoEncodeOptions o;
            o.preset = QString::fromLatin1(name);
            o.crf = 19;
            const QString out = workDir + QStringLiteral("/ours-%1.avi").arg(QString::fromLatin1(name));
            const ExportRun r = exportInChild(project, ws, {1280, 720}, o, out);
            std::printf("| %s | %.2f | %.2f | %.1f |\n", name, r.seconds, r.cpuSeconds, QFileInfo(out).size() / 1e6);
        }
        return 0;
    }

    VideoEncodeOptions medium;
    medium.preset = QStringLiteral("medium");
    medium.crf = 23;
    // Our output's suffix chooses its container; the chain writes MP4 always.
    const int suffixAt = int(args.indexOf(QStringLiteral("--suffix")));
    const QString suffix = suffixAt > 0 && suffixAt + 1 < args.size() ? args[suffixAt + 1] : QStringLiteral(".avi");
    const int pairsAt = int(args.indexOf(QStringLiteral("--runs")));
    const int pairs = std::clamp(pairsAt > 0 && pairsAt + 1 < args.size() ? args[pairsAt + 1].toInt() : 1, 1, 20);
    // --chain-limit S: stop the chain after S seconds (0: no limit).
    const int limitAt = int(args.indexOf(QStringLiteral("--chain-limit")));
    const double chainLimit = limitAt > 0 && limitAt + 1 < args.size() ? args[limitAt + 1].toDouble() : 0;
    auto ratioRows = [&](QSize size, bool withMedium, double defaultTarget, double mediumTarget, long memoryLimitMb) {
        const QString tag = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
        std::printf("\nThe show with the song at %s, our files %s; the chain: x264 medium CRF 23, MP3 at 22050 Hz\n",
                    tag.toUtf8().constData(), suffix.toUtf8().constData());
        std::printf("| run | ours, defaults: wall s | cpu s | peak MB (at start) |%s chain: wall s | cpu s | peak MB | chain / ours, defaults (target %.0f) |%s",
                    withMedium ? " ours, medium CRF 23: wall s | cpu s | peak MB (at start) |" : "", defaultTarget,
                    withMedium ? QStringLiteral(" chain / ours, medium CRF 23 (target %1) |").arg(mediumTarget).toUtf8().constData() : "");
        std::printf("%s\n", withMedium ? " cpu: chain / ours, defaults | cpu: chain / ours, medium |" : " cpu: chain / ours |");
        std::printf("|---|---|---|---|%s---|---|---|---|%s---|%s\n", withMedium ? "---|---|---|" : "", withMedium ? "---|" : "",
                    withMedium ? "---|" : "");
        std::vector<double> defaults, mediums;
        long peak = 0;
        for (int run = 1; run <= pairs; ++run) {
            const QString base = workDir + QStringLiteral("/ours-%1").arg(tag);
            const ExportRun d = exportInChild(withMusic, ws, size, {}, base + QStringLiteral("-default") + suffix, true);
            QFile::remove(base + QStringLiteral("-default") + suffix);
            ExportRun m;
            if (withMedium) {
                m = exportInChild(withMusic, ws, size, medium, base + QStringLiteral("-medium") + suffix, true);
                QFile::remove(base + QStringLiteral("-medium") + suffix);
            }
            if (d.frames <= 0 || (withMedium && m.frames <= 0)) {
                std::fprintf(stderr, "run %d failed\n", run);
                continue;
            }
            // Ours first, so that a chain stopped or cut short leaves them.
            peak = std::max(peak, d.peakRssMb);
            std::printf("| %d | %.2f | %.2f | %ld (%ld) |", run, d.seconds, d.cpuSeconds, d.peakRssMb, d.startRssMb);
            if (withMedium) {
                peak = std::max(peak, m.peakRssMb);
                std::printf(" %.2f | %.2f | %ld (%ld) |", m.seconds, m.cpuSeconds, m.peakRssMb, m.startRssMb);
            }
            std::fflush(stdout);
            const QString chainOut = workDir + QStringLiteral("/chain-%1.mp4").arg(tag);
            const ChildRun c = runChild(QStringLiteral("ffmpeg"), chainArguments(paths, size, song, chainOut), chainLimit);
            QFile::remove(chainOut);
            if (!c.ok) {
                std::printf(" failed |\n");
                continue;
            }
            const char *atLeast = c.timedOut ? "> " : "";
            defaults.push_back(c.seconds / d.seconds);
            if (withMedium) mediums.push_back(c.seconds / m.seconds);
            std::printf(" %s%.2f | %s%.2f | %ld | %s%.2f |", atLeast, c.seconds, atLeast, c.cpuSeconds, c.peakRssMb, atLeast,
                        defaults.back());
            if (withMedium) std::printf(" %s%.2f |", atLeast, mediums.back());
            // Processor time is what a busy machine changes least.
            std::printf(" %s%.2f |", atLeast, c.cpuSeconds / d.cpuSeconds);
            if (withMedium) std::printf(" %s%.2f |", atLeast, c.cpuSeconds / m.cpuSeconds);
            std::printf("\n");
            std::fflush(stdout);
        }
        auto median = [](std::vector<double> v) {
            if (v.empty()) return 0.0;
            std::sort(v.begin(), v.end());
            return v[v.size() / 2];
        };
        std::printf("\nmedian chain / ours at the defaults: %.2f (target %.0f)\n", median(defaults), defaultTarget);
        if (withMedium) std::printf("median chain / ours at medium CRF 23: %.2f (target %.0f)\n", median(mediums), mediumTarget);
        if (memoryLimitMb > 0) std::printf("peak memory of our exports: %ld MB (target under %ld MB)\n", peak, memoryLimitMb);
    };
    if (args.contains(QStringLiteral("--hd")) || args.contains(QStringLiteral("--uhd"))) {
        if (args.contains(QStringLiteral("--hd"))) ratioRows({1920, 1080}, true, 8, 5, 0);
        if (args.contains(QStringLiteral("--uhd"))) ratioRows({3840, 2160}, false, 5, 0, 1536);
        return 0;
    }
    const int longAt = int(args.indexOf(QStringLiteral("--long")));
    if (longAt > 0) {
        // Shows of 10 photos a minute, the 20-photo show first. Beyond the 20
        // photos drawn above, every picture is a hard link to one of them
        // under a name of its own: each is a file of its own to the export
        // (its own path, probed and decoded anew), without gigabytes of JPEGs
        // on disk.
        std::vector<int> minutes{2};
        const QStringList list = longAt + 1 < args.size() && !args[longAt + 1].startsWith(QLatin1String("--"))
                                     ? args[longAt + 1].split(QLatin1Char(','))
                                     : QStringList{QStringLiteral("10"), QStringLiteral("30"), QStringLiteral("60")};
        for (const QString &m : list)
            if (m.toInt() > 2) minutes.push_back(std::min(m.toInt(), 240));
        QDir().mkpath(workDir + QStringLiteral("/long"));
        std::printf("\nLong shows at 1920x1080, x264 defaults, no music, our files %s\n", suffix.toUtf8().constData());
        std::printf("| show min | pictures | frames | wall s | cpu s | wall s per show minute | peak MB (at start) |\n|---|---|---|---|---|---|---|\n");
        std::vector<double> perMinute;
        std::vector<long> peaks;
        for (const int m : minutes) {
            const int count = m * 10;
            QStringList longPaths;
            for (int i = 0; i < count; ++i) {
                if (i < pictures) {
                    longPaths << paths[i];
                    continue;
                }
                const QString path = QStringLiteral("%1/long/photo%2.jpg").arg(workDir).arg(i, 4, 10, QLatin1Char('0'));
                if (!QFile::exists(path) && ::link(QFile::encodeName(paths[i % pictures]).constData(), QFile::encodeName(path).constData()) != 0) {
                    std::fprintf(stderr, "cannot link %s\n", path.toUtf8().constData());
                    return 1;
                }
                longPaths << path;
            }
            Project show = Project::makeDefault(env);
            addPictures(show, longPaths, env);
            show.settings.timeInterval = project.settings.timeInterval;
            show.settings.transitionSpeed = project.settings.transitionSpeed;
            for (size_t i = 0; i < show.pictures.size(); ++i) {
                show.pictures[i].headline = QStringLiteral("第%1张 照片").arg(i + 1);
                show.pictures[i].headlineBox = {560, 440, 800, 200};
                show.pictures[i].headDynamicStyle = int(i % 9);
            }
            const QString out = workDir + QStringLiteral("/long-%1min").arg(m) + suffix;
            const ExportRun r = exportInChild(show, ws, {1920, 1080}, {}, out);
            QFile::remove(out);
            if (r.frames <= 0) {
                std::fprintf(stderr, "the %d-minute show failed\n", m);
                return 1;
            }
            const double showMinutes = r.frames / 30.0 / 60.0;
            perMinute.push_back(r.seconds / showMinutes);
            peaks.push_back(r.peakRssMb);
            std::printf("| %.1f | %d | %lld | %.2f | %.2f | %.2f | %ld (%ld) |\n", showMinutes, int(show.pictures.size()),
                        (long long)r.frames, r.seconds, r.cpuSeconds, perMinute.back(), r.peakRssMb, r.startRssMb);
            std::fflush(stdout);
        }
        std::printf("\nwall s per show minute, longest show / 2-minute show: %.2f (linear: 1)\n", perMinute.back() / perMinute.front());
        std::printf("peak memory: %ld to %ld MB (target: flat, under 500 MB)\n", *std::min_element(peaks.begin(), peaks.end()),
                    *std::max_element(peaks.begin(), peaks.end()));
        return 0;
    }

    const ExportRun ours = exportInChild(project, ws, {1280, 720}, medium, workDir + QStringLiteral("/ours-medium.avi"));
    const ExportRun oursDefault = exportInChild(project, ws, {1280, 720}, {}, workDir + QStringLiteral("/ours-default.avi"));
    if (args.contains(QStringLiteral("--ours-only"))) {
        // For tuning: only our two 1280 x 720 exports, no references.
        std::printf("ours, medium CRF 23: %.2f s, %.2f cpu s; defaults: %.2f s, %.2f cpu s\n", ours.seconds,
                    ours.cpuSeconds, oursDefault.seconds, oursDefault.cpuSeconds);
        return 0;
    }
    const ExportRun ours1080 = exportInChild(project, ws, {1920, 1080}, {}, workDir + QStringLiteral("/ours-1080.avi"));
    const ExportRun oursMusic = exportInChild(withMusic, ws, {1280, 720}, {}, workDir + QStringLiteral("/ours-music.avi"), true);
    // What the renderers alone cost: the same show into a sink that only counts.
    // (After the forked exports: a process with threads must not fork.)
    double renderOnly = 0;
    {
        RecordingTimelineSink counter;
        FrameLoopSettings fs;
        fs.videoSize = {1280, 720};
        fs.editingScreen = {1920, 1080};
        for (int i = 0; i < kTransitionCount; ++i) fs.SelectedTransitions.push_back(i);
        JobControl control;
        QElapsedTimer t;
        t.start();
        FrameLoop(project, fs, counter, nullptr, control).RenderVideo();
        renderOnly = t.elapsed() / 1000.0;
        std::printf("render only (no encoder), 1280x720: %.2f s for %lld frames in %zu pictures\n", renderOnly,
                    (long long)counter.FrameCounter(), counter.calls().size());
    }

    const int64_t frames = ours.frames;
    const double showSeconds = frames / 30.0;

    // Reference 1: the bare encoder on the same number of frames.
    const double bare = runProcess(QStringLiteral("ffmpeg"),
                                   {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                                    QStringLiteral("-i"), QStringLiteral("testsrc2=size=1280x720:rate=30"), QStringLiteral("-frames:v"),
                                    QString::number(frames), QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"),
                                    QStringLiteral("medium"), QStringLiteral("-crf"), QStringLiteral("23"), QStringLiteral("-bf"),
                                    QStringLiteral("0"), QStringLiteral("-y"), workDir + QStringLiteral("/bare.avi")});

    // Reference 2: ffmpeg making the same show with xfade, each photo decoded once.
    const QStringList chain = chainArguments(paths, {1280, 720}, {}, workDir + QStringLiteral("/chain.mp4"));
    const double chainSeconds = runProcess(QStringLiteral("ffmpeg"), chain);

    std::printf("| run | wall s | frames | frames/s | realtime x | peak MB |\n|---|---|---|---|---|---|\n");
    auto row = [&](const char *name, const ExportRun &r) {
        std::printf("| %s | %.2f | %lld | %.1f | %.2f | %ld |\n", name, r.seconds, (long long)r.frames, r.frames / r.seconds,
                    (r.frames / 30.0) / r.seconds, r.peakRssMb);
    };
    row("ours, x264 medium CRF 23, 1280x720", ours);
    row("ours, defaults (x264 veryfast CRF 19), 1280x720", oursDefault);
    row("ours, defaults, 1920x1080", ours1080);
    std::printf("| bare x264 medium CRF 23, %lld frames | %.2f | %lld | %.1f | %.2f | |\n", (long long)frames, bare,
                (long long)frames, frames / bare, showSeconds / bare);
    std::printf("| ffmpeg xfade chain, medium CRF 23 | %.2f | | | %.2f | |\n", chainSeconds, showSeconds / chainSeconds);
    std::printf("\nratio chain / ours (same encoder settings): %.2f\n", chainSeconds / ours.seconds);
    std::printf("ratio chain / ours (our defaults): %.2f\n", chainSeconds / oursDefault.seconds);
    std::printf("ratio bare encoder / ours (same settings): %.2f\n", bare / ours.seconds);
    musicSection({oursDefault}, {oursMusic});
    return 0;
}
