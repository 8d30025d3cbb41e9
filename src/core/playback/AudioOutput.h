#pragma once

#include "AudioStream.h"
#include "PlaybackClock.h"

#include <QString>

#include <memory>

namespace pvsm {

// The show's music on the system's audio output (Qt Multimedia's QAudioSink
// pulling from a MusicStream on a thread of its own, so decoding runs beside
// the renderer), and the clock it makes: the show time of the sound that has
// gone out to the device. While the device is paused the clock stands; a
// seek moves the music and the clock together.
//
// Every method may be called from any thread; they are carried to the audio
// thread and waited for there.
class AudioClock final : public PlaybackClock
{
public:
    AudioClock();
    ~AudioClock() override; // stops the sound and the thread

    // Opens the default output device and starts the stream at show time
    // `startSeconds`. False (with `why` in Chinese for the one line on
    // standard error) when there is no device or it does not start; the
    // object then plays nothing and its clock is not to be used.
    bool start(double leadSeconds, std::vector<MusicTrack> tracks, double startSeconds, QString *why = nullptr);
    // Replaces the songs (a show laid out anew) without moving the clock.
    void setPlaylist(double leadSeconds, std::vector<MusicTrack> tracks);
    bool started() const;

    double now() const override;
    double waitUntil(double seconds, const std::atomic<bool> *wake) override;
    void setPaused(bool paused) override;
    bool paused() const override;
    void seek(double seconds) override;

    void setMuted(bool muted);
    // Show times (seconds) at which the songs start, in play order.
    std::vector<double> trackStarts() const;

    // Whether an audio output device is there at all (no device on a
    // server or a virtual display). Needs a Qt application object.
    static bool deviceAvailable();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace pvsm
