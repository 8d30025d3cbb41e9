#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
#include <vector>

namespace pvsm {

// Where renderers hand their finished pictures: the video writer, the paced
// preview, a recording in tests. A renderer calls WriteFrame once per visible
// step with the number of frames the picture stands for, and never looks at
// the result: a sink that failed or was cancelled returns at once and counts
// nothing, so a renderer simply runs to its end.
class FrameSink
{
public:
    virtual ~FrameSink() = default;

    // `frame` is read during the call only (the sink copies what it keeps).
    // `count` >= 1. Returns false when nothing was written.
    virtual bool WriteFrame(const QImage &frame, int count = 1) = 0;

    // Frames written so far, repeats included.
    virtual int64_t framesWritten() const = 0;
    // True once the sink stopped taking frames (failure or cancel).
    virtual bool stopped() const { return false; }
};

// Counts and throws away; for benchmarks.
class NullFrameSink : public FrameSink
{
public:
    bool WriteFrame(const QImage &, int count = 1) override
    {
        m_frames += count;
        ++m_pictures;
        return true;
    }
    int64_t framesWritten() const override { return m_frames; }
    int64_t picturesWritten() const { return m_pictures; }

private:
    int64_t m_frames = 0;
    int64_t m_pictures = 0;
};

// Records what a renderer wrote: per call the count and a hash of the picture,
// and optionally the pictures themselves (scaled down when `keepWidth` > 0).
class RecordingFrameSink : public FrameSink
{
public:
    struct Call
    {
        int count = 1;
        uint64_t hash = 0;
    };

    explicit RecordingFrameSink(bool keepFrames = false, int keepWidth = 0)
        : m_keep(keepFrames), m_keepWidth(keepWidth)
    {
    }

    bool WriteFrame(const QImage &frame, int count = 1) override;
    int64_t framesWritten() const override { return m_frames; }

    const std::vector<Call> &calls() const { return m_calls; }
    const std::vector<QImage> &kept() const { return m_kept; }
    // Hash of one picture's pixels (format-independent: hashed as RGB32).
    static uint64_t hashImage(const QImage &image);

private:
    bool m_keep;
    int m_keepWidth;
    int64_t m_frames = 0;
    std::vector<Call> m_calls;
    std::vector<QImage> m_kept;
};

// Writes every picture as OUTDIR/frame-NNNNNN.png (once, whatever its count),
// named by the frame number it starts at.
class PngSequenceSink : public FrameSink
{
public:
    explicit PngSequenceSink(QString outDir);
    bool WriteFrame(const QImage &frame, int count = 1) override;
    int64_t framesWritten() const override { return m_frames; }
    bool stopped() const override { return m_failed; }

private:
    QString m_dir;
    int64_t m_frames = 0;
    bool m_failed = false;
};

// Lays recorded pictures out as a contact sheet: a grid of every k-th picture
// with the frame number it starts at printed under it. `pictures` are the kept
// pictures of a RecordingFrameSink, `calls` its calls (for the frame numbers).
QImage makeContactSheet(const std::vector<QImage> &pictures, const std::vector<RecordingFrameSink::Call> &calls,
                        int columns, int maxCells, const QString &title);

} // namespace pvsm
