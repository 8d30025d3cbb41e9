#pragma once

#include "FrameSink.h"

#include <QImage>

#include <cstdint>
#include <cstring>
#include <functional>
#include <utility>

namespace pvsm {

// The frame sink of an export: a FrameSink with the show's frame counter.
// FrameCounter counts the frames written so far; the frame loop may move it
// forward to start a slide exactly at a song boundary, leaving the frames
// between as repeats of the picture before them.
class TimelineSink : public FrameSink
{
public:
    virtual int64_t FrameCounter() const = 0;
    virtual void setFrameCounter(int64_t frames) = 0;
    // Stops taking frames (the user cancelled).
    virtual void cancel() = 0;
    virtual bool cancelled() const = 0;
    virtual bool failed() const = 0;
    // The frame loop's word, given as soon as it knows, that the video will
    // have at least `total` frames (expectAtLeast) or exactly `total`
    // (expectEnd) unless it is stopped: a sink that changes the video's end
    // need not hold back what comes before it.
    virtual void expectAtLeast(int64_t total) { (void)total; }
    virtual void expectEnd(int64_t total) { (void)total; }

    int64_t framesWritten() const override { return FrameCounter(); }
    bool stopped() const override { return failed() || cancelled(); }
};

// A sink that takes no frames: for the frame loop's work that writes none
// (composing a still, asking for a box).
class NullTimelineSink final : public TimelineSink
{
public:
    bool WriteFrame(const QImage &, int) override { return false; }
    int64_t FrameCounter() const override { return 0; }
    void setFrameCounter(int64_t) override {}
    void cancel() override {}
    bool cancelled() const override { return false; }
    bool failed() const override { return false; }
};

// A sink in front of another that changes the pictures on their way (a
// lyric, a picture frame): the timeline itself is the sink's behind it.
class OverlayTimelineSink : public TimelineSink
{
public:
    explicit OverlayTimelineSink(TimelineSink &inner) : m_inner(inner) {}

    int64_t FrameCounter() const override { return m_inner.FrameCounter(); }
    void setFrameCounter(int64_t frames) override { m_inner.setFrameCounter(frames); }
    void cancel() override { m_inner.cancel(); }
    bool cancelled() const override { return m_inner.cancelled(); }
    bool failed() const override { return m_inner.failed(); }
    bool stopped() const override { return m_inner.stopped(); }
    void expectAtLeast(int64_t total) override { m_inner.expectAtLeast(total); }
    void expectEnd(int64_t total) override { m_inner.expectEnd(total); }

protected:
    // A copy of `frame` to draw on, reused from picture to picture (the sink
    // behind copies what it keeps).
    QImage &canvasOf(const QImage &frame)
    {
        if (m_canvas.size() != frame.size() || m_canvas.format() != frame.format()
            || m_canvas.bytesPerLine() != frame.bytesPerLine())
            m_canvas = QImage(frame.size(), frame.format());
        std::memcpy(m_canvas.bits(), frame.constBits(), size_t(frame.sizeInBytes()));
        return m_canvas;
    }

    TimelineSink &m_inner;

private:
    QImage m_canvas;
};

// Passes everything on to the sink behind it and tells `listener` each word
// the frame loop gives of the video's length, least or exact, in frames.
class LengthWordTap final : public OverlayTimelineSink
{
public:
    LengthWordTap(TimelineSink &inner, std::function<void(int64_t total)> listener)
        : OverlayTimelineSink(inner), m_listener(std::move(listener))
    {
    }

    bool WriteFrame(const QImage &frame, int count = 1) override { return m_inner.WriteFrame(frame, count); }
    void expectAtLeast(int64_t total) override
    {
        m_inner.expectAtLeast(total);
        m_listener(total);
    }
    void expectEnd(int64_t total) override
    {
        m_inner.expectEnd(total);
        m_listener(total);
    }

private:
    std::function<void(int64_t)> m_listener;
};

// Records a timeline for tests: every call with its frame position and count.
class RecordingTimelineSink : public TimelineSink
{
public:
    struct Call
    {
        int64_t firstFrame; // FrameCounter + 1 at the call
        int count;
        uint64_t hash;
    };

    explicit RecordingTimelineSink(bool keepPictures = false) : m_keep(keepPictures) {}

    bool WriteFrame(const QImage &frame, int count = 1) override
    {
        if (m_cancelled || count < 1) return false;
        m_calls.push_back({m_counter + 1, count, RecordingFrameSink::hashImage(frame)});
        if (m_keep) m_pictures.push_back(frame.copy());
        m_counter += count;
        return true;
    }
    int64_t FrameCounter() const override { return m_counter; }
    void setFrameCounter(int64_t frames) override
    {
        if (frames > m_counter) m_counter = frames;
    }
    void cancel() override { m_cancelled = true; }
    bool cancelled() const override { return m_cancelled; }
    bool failed() const override { return false; }

    const std::vector<Call> &calls() const { return m_calls; }
    const std::vector<QImage> &pictures() const { return m_pictures; }

private:
    bool m_keep;
    int64_t m_counter = 0;
    bool m_cancelled = false;
    std::vector<Call> m_calls;
    std::vector<QImage> m_pictures;
};

} // namespace pvsm
