#pragma once

#include "FrameDisplay.h"
#include "PacedSink.h"
#include "PlaybackClock.h"
#include "Project.h"

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
};

// Plays a show in real time: the export's frame loop, on a thread of its own,
// into a paced sink that puts every picture on `display` at its time. The
// show's layout in time is the export's, frame for frame.
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

    PacingStats stats() const;

    // Called on the presenter's thread when the show ends by itself.
    std::function<void()> onFinished;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace pvsm
