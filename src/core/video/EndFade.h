#pragma once

#include "Timeline.h"

#include <QImage>

#include <deque>

namespace pvsm {

// Fades the picture to black over the video's last `fadeFrames` frames: the
// sink holds back the pictures of the last frames written until finish(),
// when it knows they are the last, and hands every other write on at once,
// held pictures as one write. The frame at `fadeFrames` frames from the end
// keeps nearly all its light; the last frame is black.
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

    // Writes the held-back frames, darkened. False when the sink behind
    // refused them.
    bool finish();

    // The light left in the frame `fromEnd` frames before the end (0: the
    // last frame), out of `fadeFrames`.
    static double lightAt(int64_t fromEnd, int fadeFrames);

private:
    struct Held
    {
        QImage picture;
        int64_t count;
    };
    bool handOn(int64_t keep);
    bool forward(const QImage &picture, int64_t count);

    TimelineSink &m_inner;
    int m_fadeFrames;
    int64_t m_counter = 0;
    int64_t m_heldFrames = 0;
    std::deque<Held> m_held;
    bool m_failed = false;
};

} // namespace pvsm
