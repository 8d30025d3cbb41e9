#pragma once

#include "FrameLoop.h"
#include "Timeline.h"

#include <QImage>

#include <cstdint>

namespace pvsm {

// The sink the frame loop writes through while lyrics are on: it puts the
// lyric of its time on every frame before passing it on, whichever renderer
// wrote it (a transition, a headline effect, a held slide or a title), so
// every sink behind it (the video writer, the player) gets the same frames.
//
// A write of `count` frames is cut where the lyric changes: a run of frames
// with the same lyric goes on as one picture with its count (a held slide
// stays a repeat), and each change starts a new picture.
class LyricOverlaySink final : public OverlayTimelineSink
{
public:
    LyricOverlaySink(TimelineSink &inner, Soundtrack &soundtrack);

    // Frames from here on carry lyrics; the music starts at `musicStartFrame`.
    // Before this is called (the opening title) frames pass unchanged.
    void startMusic(int64_t musicStartFrame);

    bool WriteFrame(const QImage &frame, int count = 1) override;

private:
    Soundtrack &m_soundtrack;
    int64_t m_musicStart = -1;
};

} // namespace pvsm
