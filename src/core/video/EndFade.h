#pragma once

#include "Timeline.h"

#include <QImage>

#include <deque>

namespace pvsm {

// Fades the picture to black over the video's last `fadeFrames` frames. The
// sink holds back the pictures of the last frames written until it knows
// whether they are in the fade: at finish(), or earlier when the frame loop
// says how long the video will be at least (expectAtLeast) or exactly
// (expectEnd). Every other write is handed on at once, held pictures as one
// write. The frame at `fadeFrames` frames from the end keeps nearly all its
// light; the last frame is black. Held back are copies of whole pictures, so
// a moving show, whose every frame is a picture of its own, must say its
// length ahead, or the last second's pictures are all held at once.
class EndFadeSink final : public TimelineSink
{
public:
    EndFadeSink(TimelineSink &inner, int fadeFrames);

    bool WriteFrame(const QImage &frame, int count = 1) override;
    int64_t FrameCounter() const override { return m_counter; }
    void setFrameCounter(int64_t frames) override;
    void cancel() override { m_inner.cancel(); }
    bool cancelled() const override { return m_inner.cancelled(); }
    bool failed() const override { return m_failed || m_inner.failed(); }
    void expectAtLeast(int64_t total) override;
    void expectEnd(int64_t total) override;

    // Writes the held-back frames, darkened. False when the sink behind
    // refused them.
    bool finish();

    // The most pictures held back at once.
    size_t peakHeldPictures() const { return m_peakHeld; }

    // The light left in the frame `fromEnd` frames before the end (0: the
    // last frame), out of `fadeFrames`.
    static double lightAt(int64_t fromEnd, int fadeFrames);

private:
    struct Held
    {
        QImage picture;
        int64_t count;
    };
    // Of the frames written, how many at the end may still lie in the fade.
    int64_t mayFade() const;
    bool handOn(int64_t keep);
    // Hands on `count` frames of `picture`, darkened where they lie in the
    // fade before the known end.
    bool forwardAt(const QImage &picture, int64_t count);
    bool forward(const QImage &picture, int64_t count);
    void endUnknown();

    TimelineSink &m_inner;
    int m_fadeFrames;
    int64_t m_counter = 0;   // frames written to this sink
    int64_t m_forwarded = 0; // frames handed on
    int64_t m_heldFrames = 0;
    int64_t m_expected = 0;  // frames the video will have at least
    int64_t m_end = -1;      // the video's length, once known
    std::deque<Held> m_held;
    // The last picture written, kept where repeats of it may fall in the fade.
    QImage m_last;
    QImage m_dark;
    size_t m_peakHeld = 0;
    bool m_failed = false;
};

} // namespace pvsm
