// Real-time playback at 1920 × 1080 against the system clock, with a virtual
// 60 Hz display: a picture is on time when it is up before the display's
// first refresh after its time (1/60 s). The show's music is decoded beside
// it all along, at the pace an audio device pulls it.
//
// Usage: bench_playback
//
// 1. Every transition and every headline effect: a show of two slides with
//    it (the second comes after a held slide, as in any show), played by the
//    presenter; the share of the animation's frames on time.
//    Reference: the same slides rendered by the export's frame loop as fast
//    as it goes, in processor time per animation frame (composing the
//    slides taken off; the music thread's share included) against the
//    frame's 33.3 ms.
// 2. Time to the first picture of a 20-photo show of 12-megapixel JPEGs.
//    Reference: one decode of such a photo for the screen.
// 3. Processor time over wall time while a picture is held (one core = 1).
// 4. Moving slides (the automatic motion) played at 60 frames a second: the
//    share of all frames on time.
#include "AudioStream.h"
#include "BenchPhoto.h"
#include "BenchSong.h"
#include "FrameLoop.h"
#include "PictureLoad.h"
#include "Presenter.h"
#include "Random.h"
#include "TextEffect.h"
#include "Transition.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include <sys/resource.h>

using namespace pvsm;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The music as an audio device takes it: 10 ms of sound every 10 ms.
class MusicBeside
{
public:
    explicit MusicBeside(const QString &song)
    {
        m_stream.setPlaylist(0, {{song, 600}});
        m_thread = std::thread([this] {
            std::vector<char> buffer(441 * 4);
            auto next = Clock::now();
            while (!m_stop.load()) {
                m_stream.read(buffer.data(), int64_t(buffer.size()));
                next += std::chrono::milliseconds(10);
                std::this_thread::sleep_until(next);
            }
        });
    }
    ~MusicBeside()
    {
        m_stop.store(true);
        m_thread.join();
    }

private:
    MusicStream m_stream;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// The frame loop's layout, with nothing done to the pictures.
class LayoutSink final : public TimelineSink
{
public:
    struct Call
    {
        int64_t firstFrame;
        int count;
    };
    bool WriteFrame(const QImage &, int count = 1) override
    {
        m_calls.push_back({m_counter + 1, count});
        m_counter += count;
        return true;
    }
    int64_t FrameCounter() const override { return m_counter; }
    void setFrameCounter(int64_t frames) override { m_counter = std::max(m_counter, frames); }
    void cancel() override {}
    bool cancelled() const override { return false; }
    bool failed() const override { return false; }
    const std::vector<Call> &calls() const { return m_calls; }

private:
    int64_t m_counter = 0;
    std::vector<Call> m_calls;
};

// Takes each picture as a window would: one copy of it.
class CopyingDisplay : public FrameDisplay
{
public:
    std::function<void(int64_t)> onFrame;
    void present(const QImage &frame, int64_t n) override
    {
        if (m_copy.size() != frame.size()) m_copy = QImage(frame.size(), frame.format());
        std::memcpy(m_copy.bits(), frame.constBits(), size_t(std::min(m_copy.sizeInBytes(), frame.sizeInBytes())));
        if (onFrame) onFrame(n);
    }

private:
    QImage m_copy;
};

Project baseProject(const QString &photo, int pictures)
{
    ProjectEnvironment env;
    env.screenWidth = 1920;
    env.screenHeight = 1080;
    env.lyricSampleLineHeight = 40;
    Project p = Project::makeDefault(env);
    p.settings.timeInterval = 4;
    p.settings.enableCaption = false;
    p.settings.selectedTransitions.reset();
    for (int i = 0; i < pictures; ++i) {
        Picture pic = p.newPicture(photo, env);
        pic.headline = QStringLiteral("美丽的风景");
        pic.headlineBox = {200, 100, 1520, 200};
        p.pictures.push_back(pic);
    }
    return p;
}

FrameLoopSettings loopSettings(const Project &p)
{
    FrameLoopSettings s;
    s.videoSize = s.editingScreen = {1920, 1080};
    s.TransitionFrames = 30;
    for (int i = 0; i < kTransitionCount; ++i)
        if (p.settings.selectedTransitions[size_t(i)]) s.SelectedTransitions.push_back(i);
    return s;
}

struct CaseResult
{
    int animationFrames = 0;
    double renderMsPerFrame = 0;
    double onTimePercent = 0;
    int64_t dropped = 0;
};

// Two slides with the case's animation, the second after a held slide (as
// every slide but the first comes).
CaseResult runSlide(const Project &project)
{
    CaseResult r;
    // The layout and the render cost of the export's frame loop.
    RandomSource::global().setFixedSeed(7);
    LayoutSink layout;
    JobControl control;
    int64_t holdFrom = 0;
    {
        std::vector<int64_t> starts;
        FrameLoopSettings settings = loopSettings(project);
        settings.onSlideStart = [&](int, int64_t frames) { starts.push_back(frames + 1); };
        FrameLoop loop(project, settings, layout, nullptr, control);
        // Processor time, not wall time: the machine is shared.
        const double cpu0 = cpuSeconds();
        loop.RenderVideo();
        const double ms = (cpuSeconds() - cpu0) * 1000;
        // Each slide: its transition's frames, 1 + 15 still frames, its
        // headline effect's frames, 14 still frames, the hold.
        std::vector<int64_t> still15, still14;
        for (const auto &c : layout.calls()) {
            if (c.count == 15) still15.push_back(c.firstFrame);
            if (c.count == 14) still14.push_back(c.firstFrame);
        }
        int64_t frames = 0;
        for (size_t i = 0; i < starts.size() && i < still15.size() && i < still14.size(); ++i)
            frames += (still15[i] - 1 - starts[i]) + (still14[i] - still15[i] - 15);
        if (still14.size() >= 2) holdFrom = still14[1] + 14;
        r.animationFrames = int(std::max<int64_t>(1, frames));
        // Composing is not animation: two slides' worth comes off.
        const double c0 = cpuSeconds();
        loop.ComposeSlide(1);
        const double composeMs = (cpuSeconds() - c0) * 1000;
        r.renderMsPerFrame = std::max(0.0, ms - 2 * composeMs) / r.animationFrames;
    }
    // The same slide in real time; the hold is skipped once it is up.
    SystemPlaybackClock clock;
    CopyingDisplay display;
    PresenterOptions options;
    options.clock = &clock;
    options.audio = false;
    Presenter presenter(project, options, display);
    std::atomic<bool> skipped{false};
    static const bool trace = !qgetenv("PVSM_BENCH_TRACE").isEmpty();
    display.onFrame = [&](int64_t n) {
        if (trace) std::fprintf(stderr, "frame %lld late %.1f ms\n", (long long)n, (clock.now() - (n - 1) / 30.0) * 1000);
        if (n >= holdFrom && !skipped.exchange(true)) presenter.nextSlide();
    };
    presenter.start();
    while (presenter.running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    RandomSource::global().clearFixedSeed();
    const PacingStats st = presenter.stats();
    const int64_t missed = st.frames - st.framesOnTime;
    r.onTimePercent = 100.0 * std::max(0.0, 1.0 - double(missed) / r.animationFrames);
    r.dropped = st.dropped;
    return r;
}

// A show whose every frame moves (the automatic motion over each picture,
// transitions between), played whole by a presenter at `fps` frames a
// second: the share of all its frames on time, and the processor time per
// frame of the whole process (music thread included).
CaseResult runMoving(const Project &project, double fps)
{
    CaseResult r;
    SystemPlaybackClock clock;
    CopyingDisplay display;
    PresenterOptions options;
    options.clock = &clock;
    options.audio = false;
    options.fps = fps;
    RandomSource::global().setFixedSeed(7);
    Presenter presenter(project, options, display);
    const double cpu0 = cpuSeconds();
    presenter.start();
    while (presenter.running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const double cpuMs = (cpuSeconds() - cpu0) * 1000;
    RandomSource::global().clearFixedSeed();
    const PacingStats st = presenter.stats();
    r.animationFrames = int(st.frames);
    r.renderMsPerFrame = st.frames > 0 ? cpuMs / double(st.frames) : 0;
    r.onTimePercent = st.frames > 0 ? 100.0 * double(st.framesOnTime) / double(st.frames) : 0;
    r.dropped = st.dropped;
    return r;
}

// The floor the machine leaves: one ready picture written frame by frame
// (nothing rendered) through the same paced sink and display, 90 frames.
double pacingFloorPercent()
{
    SystemPlaybackClock clock;
    CopyingDisplay display;
    PacedTimelineSink sink(clock, display, 30, clock.now() + 0.05);
    QImage picture(1920, 1080, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    for (int i = 0; i < 90; ++i) sink.WriteFrame(picture, 1);
    sink.drain();
    const PacingStats st = sink.stats();
    return 100.0 * double(st.framesOnTime) / 90.0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("song.mp3"));
    if (!bench::makeSong(song, 120)) {
        std::fprintf(stderr, "no song\n");
        return 1;
    }
    const QString screenPhoto = dir.filePath(QStringLiteral("screen.jpg"));
    bench::photoLike({1920, 1080}).save(screenPhoto, "JPG", 90);
    MusicBeside music(song);
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) > 0) std::printf("load average at the start: %.1f (2 cores)\n\n", load[0]);
    const bool photos = qgetenv("PVSM_BENCH_ONLY").isEmpty();

    const double floorBefore = pacingFloorPercent();
    std::printf("## Transitions (two slides, TF 30, music decoding beside)\n\n");
    std::printf("| id | renderer | frames | render cpu ms/frame | ratio to 33.3 ms | on time %% | dropped |\n|---|---|---|---|---|---|---|\n");
    double worst = 100;
    // PVSM_BENCH_ONLY=NAME: only the renderers whose name holds NAME.
    const QByteArray only = qgetenv("PVSM_BENCH_ONLY");
    auto wanted = [&](const char *name) { return only.isEmpty() || QByteArray(name).contains(only); };
    for (const TransitionEntry &t : transitionCatalogue()) {
        if (!wanted(t.renderer)) continue;
        Project p = baseProject(screenPhoto, 2);
        p.settings.enableTransition = true;
        p.settings.enableHeadlineEffect = false;
        p.settings.selectedTransitions[size_t(t.id)] = true;
        const CaseResult r = runSlide(p);
        worst = std::min(worst, r.onTimePercent);
        std::printf("| %d | %s | %d | %.2f | %.2f | %.1f | %lld |\n", t.id, t.renderer, r.animationFrames,
                    r.renderMsPerFrame, r.renderMsPerFrame / (1000.0 / 30), r.onTimePercent, (long long)r.dropped);
        std::fflush(stdout);
    }
    std::printf("\n## Headline effects\n\n");
    std::printf("| value | renderer | frames | render cpu ms/frame | ratio to 33.3 ms | on time %% | dropped |\n|---|---|---|---|---|---|---|\n");
    for (const TextEffectEntry &e : textEffectCatalogue()) {
        if (!wanted(e.renderer)) continue;
        Project p = baseProject(screenPhoto, 2);
        p.settings.enableTransition = false;
        p.settings.enableHeadlineEffect = true;
        for (Picture &pic : p.pictures) pic.headDynamicStyle = e.value;
        const CaseResult r = runSlide(p);
        worst = std::min(worst, r.onTimePercent);
        std::printf("| %d | %s | %d | %.2f | %.2f | %.1f | %lld |\n", e.value, e.renderer, r.animationFrames,
                    r.renderMsPerFrame, r.renderMsPerFrame / (1000.0 / 30), r.onTimePercent, (long long)r.dropped);
        std::fflush(stdout);
    }
    const double floorAfter = pacingFloorPercent();
    std::printf("\nworst case: %.1f %% of frames on time (target 99 %%)\n", worst);
    std::printf("reference, a ready picture paced frame by frame (nothing rendered): %.1f %% on time before, %.1f %% after\n\n",
                floorBefore, floorAfter);

    if (!photos) return 0;
    // 20 photos of 12 megapixels.
    const QString bigPhoto = dir.filePath(QStringLiteral("big0.jpg"));
    bench::photoLike({4000, 3000}).save(bigPhoto, "JPG", 90);
    const auto d0 = Clock::now();
    const QImage decoded = LoadPictureForTarget(bigPhoto, 3, {1920, 1080});
    const double decodeMs = msSince(d0);
    {
        // Moving slides at 1080p60: three of the 12-megapixel photos, each
        // zoomed by the automatic motion through its hold and transitions.
        Project moving = baseProject(bigPhoto, 3);
        moving.settings.autoMotion = true;
        moving.settings.enableTransition = true;
        moving.settings.enableHeadlineEffect = false;
        for (int id : {15, 2, 16}) moving.settings.selectedTransitions[size_t(id)] = true;
        const CaseResult r = runMoving(moving, 60);
        std::printf("## Moving slides at 1920 x 1080, 60 frames a second\n\n");
        std::printf("| frames | cpu ms/frame (whole process) | ratio to 16.7 ms | on time %% | dropped |\n|---|---|---|---|---|\n");
        std::printf("| %d | %.2f | %.2f | %.1f | %lld |\n\n", r.animationFrames, r.renderMsPerFrame,
                    r.renderMsPerFrame / (1000.0 / 60), r.onTimePercent, (long long)r.dropped);
        std::printf("moving slides: %.1f %% of frames on time (target 99 %%)\n\n", r.onTimePercent);
        std::fflush(stdout);
    }
    Project show = baseProject(bigPhoto, 0);
    ProjectEnvironment env;
    env.screenWidth = 1920;
    env.screenHeight = 1080;
    for (int i = 0; i < 20; ++i) {
        const QString path = dir.filePath(QStringLiteral("photo%1.jpg").arg(i));
        QFile::copy(bigPhoto, path);
        show.pictures.push_back(show.newPicture(path, env));
    }
    show.settings.enableTransition = true;
    for (int i = 0; i < kTransitionCount; ++i) show.settings.selectedTransitions[size_t(i)] = true;
    show.settings.enableHeadlineEffect = false;
    show.settings.imgDrawScale = 3;
    show.settings.timeInterval = 8;

    CopyingDisplay display;
    PresenterOptions options;
    options.audio = false;
    Presenter presenter(show, options, display);
    std::atomic<double> firstMs{-1}, firstPhotoMs{-1}, stillAt{-1};
    Clock::time_point t0;
    display.onFrame = [&](int64_t n) {
        const double ms = msSince(t0);
        if (firstMs.load() < 0) firstMs.store(ms);
        if (n >= 2 && firstPhotoMs.load() < 0) firstPhotoMs.store(ms);
        if (n > 31 && stillAt.load() < 0) stillAt.store(ms); // the slide's still after its transition
    };
    t0 = Clock::now();
    presenter.start();
    while (stillAt.load() < 0 && msSince(t0) < 20000) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    // The hold of the first slide: 1 + 15 + 14 frames after its transition,
    // then the held picture; measured over 2 s of it.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    const double cpu0 = cpuSeconds();
    const auto w0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    const double cores = (cpuSeconds() - cpu0) / (msSince(w0) / 1000.0);
    presenter.stop();

    std::printf("## A show of 20 photos of 4000 x 3000 (JPEG), music decoding beside\n\n");
    std::printf("| measure | value | reference |\n|---|---|---|\n");
    std::printf("| first frame (black) on screen | %.0f ms | |\n", firstMs.load());
    std::printf("| first frame of the first photo on screen | %.0f ms | one decode for the screen: %.0f ms (%.1fx) |\n",
                firstPhotoMs.load(), decodeMs, firstPhotoMs.load() / decodeMs);
    std::printf("| first photo complete (after its transition) | %.0f ms | |\n", stillAt.load());
    std::printf("| processor use while the picture is held | %.2f cores | one core = 1 |\n", cores);
    (void)decoded;
    if (getloadavg(load, 3) > 0) std::printf("\nload average at the end: %.1f (2 cores)\n", load[0]);
    return 0;
}
