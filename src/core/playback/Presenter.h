#pragma once

#include "FrameDisplay.h"
#include "PacedSink.h"
#include "PlaybackClock.h"
#include "Project.h"
#include "Prompter.h"

#include <QByteArray>
#include <QSize>

#include <functional>
#include <memory>

namespace pvsm {

struct PresenterOptions
{
    QSize outputSize{1920, 1080};    // frames are composed at this size
    QSize editingScreen{1920, 1080}; // the screen the stored positions refer to
    QByteArray pictureFrame;         // PNG bytes of the picture frame; empty: none
    bool audio = true;               // play the music (unless the show is muted)
    // Null: the audio clock while music plays, the system clock otherwise.
    PlaybackClock *clock = nullptr;
    double fps = 30;
    // Pictures the renderer may make before their time (each a copy of the
    // output size): enough to ride out a slow frame and to start the next
    // transition during a held slide.
    int aheadPictures = 8;
    // Where the messages of the music go (a song that cannot be played);
    // null: standard error, and the show goes on without that music.
    Prompter *prompter = nullptr;
};

struct LoadedShow;
// The options that play `show` (its editing screen and picture frame) at
// `outputSize`, with the music on the audio device.
PresenterOptions presenterOptionsFor(const LoadedShow &show, QSize outputSize);

// Plays a show in real time: the export's frame loop, on a thread of its own,
// into a paced sink that puts every picture on `display` at its time. The
// show's layout in time is the export's, frame for frame, the music's
// included: the songs are measured as the export measures them and the
// slides fitted to them by the export's rules; they are decoded while they
// play and go out through the audio device, whose clock the show then
// follows. Without a device (or for a muted show) the show runs on the
// system clock, silently, and says so once (per presenter) on standard error.
//
// The controls may be called from any thread. Skipping: nextSlide() passes
// the rest of the slide without drawing it; previousSlide() lays the show
// out again from its start up to the slide before (a shuffled show is
// shuffled anew), and the clock and the music move to the slide's time.
class Presenter
{
public:
    Presenter(const Project &project, PresenterOptions options, FrameDisplay &display);
    ~Presenter(); // stops and waits for the thread

    void start();
    void stop();
    bool running() const;
    // True once the show has played to its end (not when stopped).
    bool finished() const;

    void setPaused(bool paused);
    bool paused() const;
    void nextSlide();
    void previousSlide();
    void nextSong();
    void setMuted(bool muted);
    bool muted() const;
    // False when the music plays on no device (the show then runs on the
    // system clock, silently).
    bool audioAvailable() const;

    // The pacing of what has played so far (complete once stopped or ended).
    PacingStats stats() const;
    // The slide on screen (from 1, passes counted on; the ending title is
    // the one after the last); 0 before the first.
    int currentSlide() const;
    // Seconds of show time on the clock the show runs against.
    double position() const;

    // Called on the presenter's thread when the show ends by itself.
    std::function<void()> onFinished;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace pvsm
