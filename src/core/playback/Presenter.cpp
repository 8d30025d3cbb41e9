#include "Presenter.h"

#include "FrameLoop.h"
#include "Numbers.h"
#include "Transition.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace pvsm {

struct Presenter::Impl
{
    Project project;
    PresenterOptions options;
    FrameDisplay &display;
    SystemPlaybackClock systemClock;
    std::unique_ptr<PacedTimelineSink> sink;
    std::thread thread;
    std::atomic<bool> cancel{false};
    std::atomic<bool> running{false};
    std::atomic<bool> finished{false};
    mutable std::mutex statsMutex;
    PacingStats lastStats;

    Impl(const Project &p, PresenterOptions o, FrameDisplay &d) : project(p), options(std::move(o)), display(d) {}

    PlaybackClock &clock() { return options.clock ? *options.clock : systemClock; }

    FrameLoopSettings loopSettings() const
    {
        FrameLoopSettings s;
        s.videoSize = options.outputSize;
        s.editingScreen = options.editingScreen;
        s.TransitionFrames = Nearest(project.settings.transitionSpeed / 1000.0 * 30.0);
        for (int i = 0; i < kTransitionCount; ++i)
            if (project.settings.selectedTransitions[size_t(i)]) s.SelectedTransitions.push_back(i);
        s.pictureFrame = options.pictureFrame;
        return s;
    }

    void run()
    {
        JobControl control;
        control.cancel = &cancel;
        FrameLoop loop(project, loopSettings(), *sink, nullptr, control);
        const FrameLoopResult r = loop.RenderVideo();
        {
            std::lock_guard lock(statsMutex);
            lastStats = sink->stats();
        }
        if (!r.cancelled && !r.failed && !cancel.load()) {
            finished.store(true);
            running.store(false);
            // The presenter may be destroyed from within the callback's
            // consequences; nothing of it is touched after this call.
            if (auto done = onFinishedCopy) done();
            return;
        }
        running.store(false);
    }
    std::function<void()> onFinishedCopy;
};

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
    d->running.store(true);
    d->onFinishedCopy = onFinished;
    d->sink = std::make_unique<PacedTimelineSink>(d->clock(), d->display, d->options.fps, d->clock().now());
    d->thread = std::thread([this] { d->run(); });
}

void Presenter::stop()
{
    d->cancel.store(true);
    if (d->sink) d->sink->cancel();
    if (d->thread.joinable()) d->thread.join();
}

bool Presenter::running() const { return d->running.load(); }
bool Presenter::finished() const { return d->finished.load(); }

// Not yet: pausing, skipping and the music.
void Presenter::setPaused(bool) {}
bool Presenter::paused() const { return false; }
void Presenter::nextSlide() {}
void Presenter::previousSlide() {}
void Presenter::nextSong() {}
void Presenter::setMuted(bool) {}
bool Presenter::muted() const { return true; }
bool Presenter::audioAvailable() const { return false; }

PacingStats Presenter::stats() const
{
    std::lock_guard lock(d->statsMutex);
    return d->lastStats;
}

} // namespace pvsm
