#include "Presenter.h"

#include "AudioOutput.h"
#include "FrameLoop.h"
#include "LoadedShow.h"
#include "Numbers.h"
#include "Soundtrack.h"
#include "Transition.h"
#include "VideoExport.h"
#include "Workspace.h"

#include <QByteArray>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <thread>

namespace pvsm {

namespace {

// Says once per show why it is silent.
void sayOnce(std::atomic<bool> &said, const QString &line)
{
    if (said.exchange(true)) return;
    std::fprintf(stderr, "pvsm: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

// The music's messages when nobody is there to answer: written to standard
// error, and the show goes on without the music it is about.
class StderrPrompter final : public Prompter
{
public:
    Answer ask(const QString &text, PromptButtons, PromptIcon, const QString &) override
    {
        inform(text, PromptIcon::Information);
        return Answer::Yes;
    }
    void inform(const QString &text, PromptIcon) override
    {
        std::fprintf(stderr, "pvsm: %s\n", QString(text).replace(QLatin1Char('\r'), QLatin1Char(' ')).toLocal8Bit().constData());
    }
    QString chooseSaveFile(const FileDialogRequest &) override { return {}; }
    QString chooseOpenFile(const FileDialogRequest &) override { return {}; }
};

// The clock the paced sink waits on: the system clock until the music
// starts, then the music's.
class ShowClock final : public PlaybackClock
{
public:
    void setTarget(PlaybackClock *clock) { m_target.store(clock); }
    PlaybackClock *target() const { return m_target.load(); }
    double now() const override { return m_target.load()->now(); }
    double waitUntil(double seconds, const std::atomic<bool> *wake) override
    {
        return m_target.load()->waitUntil(seconds, wake);
    }
    void setPaused(bool paused) override { m_target.load()->setPaused(paused); }
    bool paused() const override { return m_target.load()->paused(); }
    void seek(double seconds) override { m_target.load()->seek(seconds); }

private:
    std::atomic<PlaybackClock *> m_target{nullptr};
};

// The export's soundtrack rules, measuring the songs instead of decoding
// them, and a word to the presenter once the music is known.
class PlaybackSoundtrack final : public Soundtrack
{
public:
    PlaybackSoundtrack(const Project &project, Prompter &prompter, QSize videoSize, QSize editingScreen, int fps,
                       std::function<void(const ProjectSoundtrack &)> assembled)
        : m_inner(project, Workspace(), QString(), prompter, false, videoSize, editingScreen, fps)
        , m_assembled(std::move(assembled))
    {
        m_inner.setProbeOnly(true);
    }
    bool assemble(SoundtrackState &state, double &defaultSlideTime, const JobControl &control) override
    {
        const bool ok = m_inner.assemble(state, defaultSlideTime, control);
        if (ok && m_assembled) m_assembled(m_inner);
        return ok;
    }
    LyricShot lyricShot(int64_t frameCounter, int64_t musicStartFrame) override
    {
        return m_inner.lyricShot(frameCounter, musicStartFrame);
    }
    void drawLyric(QImage &frame, const LyricShot &shot) override { m_inner.drawLyric(frame, shot); }

private:
    ProjectSoundtrack m_inner;
    std::function<void(const ProjectSoundtrack &)> m_assembled;
};

} // namespace

struct Presenter::Impl
{
    Project project;
    PresenterOptions options;
    FrameDisplay &display;
    SystemPlaybackClock systemClock;
    ShowClock clock;
    StderrPrompter stderrPrompter;
    // The music's device once it plays; set on the presenter's thread, read
    // by the controls: under audioMutex, with the pause and the clock switch.
    std::mutex audioMutex;
    std::unique_ptr<AudioClock> audio;
    std::thread thread;
    std::atomic<bool> cancel{false};
    std::atomic<bool> running{false};
    std::atomic<bool> finished{false};
    std::atomic<bool> paused{false};
    std::atomic<bool> muted{false};
    std::atomic<int> slide{0};
    // A skip in progress: to this slide (0: none), or to the first slide
    // from this show time (negative: none); `restart` lays the show out anew.
    std::atomic<int> skipSlide{0};
    std::atomic<double> skipTime{-1};
    std::atomic<bool> restart{false};
    std::atomic<bool> saidSilent{false};

    // One sink (and its thread) for every run of the frame loop.
    std::unique_ptr<PacedTimelineSink> paced;
    std::mutex sinkMutex; // `sink` as the controls see it: `paced` while a run renders
    PacedTimelineSink *sink = nullptr;
    mutable std::mutex statsMutex;
    PacingStats total, live;
    std::vector<double> songStarts; // under statsMutex

    Impl(const Project &p, PresenterOptions o, FrameDisplay &d) : project(p), options(std::move(o)), display(d)
    {
        // Floating pictures drift slowly on screen: the automatic motion,
        // for every picture without a motion of its own. Only shows on screen
        // float; a video leaves it out, as its build option says.
        if (project.settings.enableFloating) project.settings.autoMotion = true;
        muted.store(project.settings.muteSound);
    }

    bool musicInShow() const { return !project.songs.empty() && !project.settings.muteSound; }

    // The frame loop runs at one of the video's rates; a display rate it does
    // not know is played at 30 frames a second, shown as they fall due.
    int loopRate() const
    {
        const int fps = int(std::lround(options.fps));
        return isFrameRate(fps) ? fps : 30;
    }

    FrameLoopSettings loopSettings()
    {
        FrameLoopSettings s;
        s.fps = loopRate();
        s.videoSize = options.outputSize;
        s.editingScreen = options.editingScreen;
        s.TransitionFrames = Nearest(project.settings.transitionSpeed / 1000.0 * 30.0);
        for (int i = 0; i < kTransitionCount; ++i)
            if (project.settings.selectedTransitions[size_t(i)]) s.SelectedTransitions.push_back(i);
        s.pictureFrame = options.pictureFrame;
        s.onSlideStart = [this](int n, int64_t frames) { slideStarts(n, frames); };
        return s;
    }

    // On the frame loop's thread, as slide `n` starts after `frames` frames.
    void slideStarts(int n, int64_t frames)
    {
        slide.store(n);
        PacedTimelineSink *s = sink;
        if (!s) return;
        {
            std::lock_guard lock(statsMutex);
            live = s->stats();
        }
        if (!s->skipping()) return;
        const double due = s->dueTime(frames + 1);
        const int toSlide = skipSlide.load();
        const double toTime = skipTime.load();
        const bool arrived = (toSlide > 0 && n >= toSlide) || (toTime >= 0 && due >= toTime - 0.5 / s->fps())
                             || (toSlide <= 0 && toTime < 0);
        if (!arrived) return;
        skipSlide.store(0);
        skipTime.store(-1);
        clock.seek(due);
        std::lock_guard lock(sinkMutex);
        s->setSkipping(false);
    }

    // On the frame loop's thread, once the music of the show is known.
    void musicKnown(const ProjectSoundtrack &soundtrack)
    {
        std::vector<MusicTrack> tracks;
        const QStringList &paths = soundtrack.songPaths();
        const std::vector<double> &seconds = soundtrack.songSeconds();
        for (int i = 0; i < paths.size() && size_t(i) < seconds.size(); ++i)
            tracks.push_back({paths[i], seconds[size_t(i)]});
        const double lead = soundtrack.leadSeconds();
        {
            std::lock_guard lock(statsMutex);
            songStarts.clear();
            double t = lead;
            for (const MusicTrack &track : tracks) {
                songStarts.push_back(t);
                t += track.seconds;
            }
        }
        if (options.clock || !options.audio || tracks.empty()) return;
        {
            std::lock_guard lock(audioMutex);
            if (audio) {
                audio->setPlaylist(lead, std::move(tracks));
                return;
            }
        }
        auto out = std::make_unique<AudioClock>();
        QString why;
        if (!out->start(lead, std::move(tracks), clock.now(), &why)) {
            sayOnce(saidSilent, why + QStringLiteral("：放映按系统时钟无声进行"));
            return;
        }
        std::lock_guard lock(audioMutex);
        out->setMuted(muted.load());
        out->setPaused(paused.load());
        audio = std::move(out);
        clock.setTarget(audio.get());
    }

    void run()
    {
        JobControl control;
        control.cancel = &cancel;
        bool ended = false;
        for (;;) {
            PacedTimelineSink &paced = *this->paced;
            paced.restart();
            if (cancel.load()) break;
            if (skipSlide.load() > 0 || skipTime.load() >= 0) paced.setSkipping(true);
            else paced.setStartsWhenReady(true);
            {
                std::lock_guard lock(sinkMutex);
                sink = &paced;
            }
            std::unique_ptr<PlaybackSoundtrack> soundtrack;
            if (musicInShow())
                soundtrack = std::make_unique<PlaybackSoundtrack>(
                    project, options.prompter ? *options.prompter : stderrPrompter, options.outputSize,
                    options.editingScreen, loopRate(), [this](const ProjectSoundtrack &st) { musicKnown(st); });
            const FrameLoopSettings settings = loopSettings();
            FrameLoop loop(project, settings, paced, soundtrack.get(), control);
            const FrameLoopResult r = loop.RenderVideo();
            if (!cancel.load() && !restart.load()) paced.drain();
            {
                std::lock_guard lock(sinkMutex);
                sink = nullptr;
            }
            {
                std::lock_guard lock(statsMutex);
                const PacingStats s = paced.stats();
                total.pictures += s.pictures;
                total.presented += s.presented;
                total.late += s.late;
                total.dropped += s.dropped;
                total.frames += s.frames;
                total.framesOnTime += s.framesOnTime;
                total.skipped += s.skipped;
                total.worstLateness = std::max(total.worstLateness, s.worstLateness);
                live = PacingStats();
            }
            if (cancel.load()) break;
            if (restart.exchange(false)) continue;
            ended = !r.failed;
            break;
        }
        skipSlide.store(0);
        skipTime.store(-1);
        running.store(false);
        if (ended) {
            finished.store(true);
            // The presenter may be destroyed from within the callback's
            // consequences; nothing of it is touched after this call.
            if (auto done = onFinishedCopy) done();
        }
    }
    std::function<void()> onFinishedCopy;

    // Starts a skip on the sink playing now; false when none plays.
    bool skip(int toSlide, double toTime, bool layOutAnew)
    {
        std::lock_guard lock(sinkMutex);
        if (!sink || !running.load()) return false;
        skipSlide.store(toSlide);
        skipTime.store(toTime);
        if (layOutAnew) {
            restart.store(true);
            sink->cancel();
        } else {
            sink->setSkipping(true);
        }
        return true;
    }
};

PresenterOptions presenterOptionsFor(const LoadedShow &show, QSize outputSize)
{
    PresenterOptions o;
    o.outputSize = outputSize;
    o.editingScreen = show.editingScreen;
    o.pictureFrame = show.pictureFrame;
    return o;
}

Presenter::Presenter(const Project &project, PresenterOptions options, FrameDisplay &display)
    : d(std::make_unique<Impl>(project, std::move(options), display))
{
}

Presenter::~Presenter()
{
    stop();
}

void Presenter::start()
{
    stop();
    d->cancel.store(false);
    d->finished.store(false);
    d->restart.store(false);
    d->skipSlide.store(0);
    d->skipTime.store(-1);
    d->slide.store(0);
    d->running.store(true);
    d->onFinishedCopy = onFinished;
    if (!d->paced)
        d->paced = std::make_unique<PacedTimelineSink>(d->clock, d->display, d->loopRate(), 0, d->options.aheadPictures);
    {
        std::lock_guard lock(d->statsMutex);
        d->total = d->live = PacingStats();
    }
    if (d->options.clock) {
        d->clock.setTarget(d->options.clock);
    } else {
        d->systemClock.setPaused(false);
        d->systemClock.seek(0);
        d->systemClock.setPaused(d->paused.load());
        d->clock.setTarget(&d->systemClock);
        if (d->musicInShow() && d->options.audio && !AudioClock::deviceAvailable())
            sayOnce(d->saidSilent, QStringLiteral("没有可用的音频输出设备：放映按系统时钟无声进行"));
        else if (!d->project.songs.empty() && d->project.settings.muteSound && d->options.audio)
            sayOnce(d->saidSilent, QStringLiteral("放映设为静音：按系统时钟无声进行"));
    }
    if (d->options.clock && d->paused.load()) d->options.clock->setPaused(true);
    d->thread = std::thread([this] { d->run(); });
}

void Presenter::stop()
{
    d->cancel.store(true);
    {
        std::lock_guard lock(d->sinkMutex);
        if (d->sink) d->sink->cancel();
    }
    if (d->thread.joinable()) d->thread.join();
    d->running.store(false);
    std::lock_guard lock(d->audioMutex);
    if (d->audio && d->clock.target() == d->audio.get()) d->clock.setTarget(&d->systemClock);
    d->audio.reset();
}

bool Presenter::running() const { return d->running.load(); }
bool Presenter::finished() const { return d->finished.load(); }

void Presenter::setPaused(bool paused)
{
    std::lock_guard lock(d->audioMutex);
    d->paused.store(paused);
    if (PlaybackClock *c = d->clock.target()) c->setPaused(paused);
}

bool Presenter::paused() const { return d->paused.load(); }

void Presenter::nextSlide()
{
    d->skip(d->slide.load() + 1, -1, false);
}

void Presenter::previousSlide()
{
    d->skip(std::max(1, d->slide.load() - 1), -1, true);
}

void Presenter::nextSong()
{
    std::vector<double> starts;
    {
        std::lock_guard lock(d->statsMutex);
        starts = d->songStarts;
    }
    const double now = position();
    for (double t : starts)
        if (t > now + 0.5 / d->loopRate()) {
            d->skip(0, t, false);
            return;
        }
}

void Presenter::setMuted(bool muted)
{
    std::lock_guard lock(d->audioMutex);
    d->muted.store(muted);
    if (d->audio) d->audio->setMuted(muted);
}

bool Presenter::muted() const { return d->muted.load(); }

bool Presenter::audioAvailable() const
{
    std::lock_guard lock(d->audioMutex);
    return d->audio && d->audio->started() && d->clock.target() == d->audio.get();
}

PacingStats Presenter::stats() const
{
    std::lock_guard lock(d->statsMutex);
    PacingStats s = d->total;
    s.pictures += d->live.pictures;
    s.presented += d->live.presented;
    s.late += d->live.late;
    s.dropped += d->live.dropped;
    s.frames += d->live.frames;
    s.framesOnTime += d->live.framesOnTime;
    s.skipped += d->live.skipped;
    s.worstLateness = std::max(s.worstLateness, d->live.worstLateness);
    return s;
}

int Presenter::currentSlide() const { return d->slide.load(); }

double Presenter::position() const
{
    PlaybackClock *c = d->clock.target();
    return c ? c->now() : 0;
}

} // namespace pvsm
