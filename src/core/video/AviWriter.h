#pragma once

#include "Timeline.h"

#include <QSize>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

struct AVFrame;

namespace pvsm {

// A video encoder this FFmpeg offers that can be stored in AVI, under the
// four-character handler name a user of video codecs knows it by.
struct CompressorInfo
{
    QString encoder;     // FFmpeg encoder name, e.g. "libx264"
    QString handler;     // "X264", "H264", "XVID", "MJPG", "DIB " or the codec's FourCC
    QString description; // FFmpeg's long name
};

// The installed compressors in the library's enumeration order.
std::vector<CompressorInfo> InstalledCompressors();

// The handler name for an FFmpeg encoder (see CompressorInfo::handler).
QString handlerNameForEncoder(const QString &encoderName);

// First pass: the first compressor named "H264", "X264" or "AVC1" that opens;
// second pass: "XVID". Nothing when neither is there.
std::optional<CompressorInfo> FindPreferredCodec(const std::vector<CompressorInfo> &installed);

// How the video is compressed.
struct VideoEncodeOptions
{
    QString encoder = QStringLiteral("libx264");
    QString preset;   // x264 preset; empty = our default
    int crf = -1;     // x264 constant rate factor; < 0 = our default
    int frameRate = 30; // frames a second (the stream's time base is 1 / frameRate)
};

inline constexpr int kVideoFrameRate = 30;
// Our defaults for x264: visually lossless at a speed that keeps the export
// well ahead of real time (see docs/performance.md for the measurement).
inline constexpr const char *kDefaultX264Preset = "veryfast";
inline constexpr int kDefaultX264Crf = 19;

// The frame sink that writes an AVI file at the options' frame rate (30 by default).
//
// Frames are numbered by FrameCounter: WriteFrame advances it by `count` and
// encodes the picture once; the frames a held picture stands for are stored as
// empty chunks, which AVI readers show as repeats of the previous picture, so a
// held slide costs no encoder work. Frame n (counting from 1) lies at stream
// position n - 1. setFrameCounter moves the counter forward over positions that
// stay empty (a repeat of the picture before them).
//
// Failures are sticky: after the first failed call, and after cancel(), every
// later WriteFrame returns false and counts nothing. One thread at a time
// calls it; the encoder runs on a thread of the writer's own, so a failure of
// the encoder or the file shows at a later WriteFrame or at close().
class AviWriter : public TimelineSink
{
public:
    AviWriter();
    ~AviWriter() override;
    AviWriter(const AviWriter &) = delete;
    AviWriter &operator=(const AviWriter &) = delete;

    // Creates `path` (replacing it) for frames of `size` (width a multiple of 2).
    bool open(const QString &path, QSize size, const VideoEncodeOptions &options, QString *error);
    bool isOpen() const;

    bool WriteFrame(const QImage &frame, int count = 1) override;
    int64_t framesWritten() const override { return m_frameCounter; }
    bool stopped() const override { return m_failed || m_cancelled; }

    int64_t FrameCounter() const override { return m_frameCounter; }
    // Moves the counter forward (never back); the skipped frames repeat the
    // picture before them.
    void setFrameCounter(int64_t frames) override;

    // Pictures given to the encoder (each distinct picture once).
    int64_t picturesEncoded() const { return m_encoded; }

    void cancel() override { m_cancelled = true; }
    bool cancelled() const override;
    bool failed() const override { return m_failed; }
    const QString &errorText() const { return m_error; }

    // A cancel flag the writer watches itself, on both of its threads: a held
    // picture's repeats are written after WriteFrame returned, and close()
    // would otherwise wait for all of them. Null: only cancel() stops it.
    // Set before the first WriteFrame; the flag must outlive the writer.
    void watchCancel(const std::atomic<bool> *flag) { m_watched = flag; }
    // The most bytes the file may take, the index still to come at close()
    // included; passing it fails the writer as if the disk were full.
    // Negative: no limit. Set before the first WriteFrame.
    void setSizeLimit(int64_t bytes) { m_sizeLimit = bytes; }
    // True when writing failed for want of room: the size limit was reached
    // or the file system reported a full disk or quota.
    bool diskFull() const { return m_diskFull; }

    // Flushes the encoder, completes the file and closes it, every write and
    // the close checked. Returns false when anything failed on the way or the
    // writer was cancelled (the file is then incomplete and should be
    // deleted); after a cancel it returns without completing the file.
    bool close();

private:
    struct Impl;
    bool fail(const QString &message); // from either thread
    // A failed write: marks a full disk when the error code says so.
    bool failWrite(int errorCode);
    // Checks the size so far against the limit after writing frame `position`.
    bool withinLimit(int64_t position);
    // Converts the picture and queues it for the encoder thread to stand for
    // `count` frames from `position`, or counts them as repeats of the last
    // picture when it is the same.
    bool encodePicture(const QImage &frame, int64_t position, int count);
    bool convertPicture(const QImage &frame, AVFrame *out);
    // The encoder thread: codes queued pictures and writes their packets.
    void encodeQueued();
    void stopWorker();
    bool drainPackets(bool flushing);

    std::unique_ptr<Impl> d;
    int64_t m_frameCounter = 0;
    int64_t m_encoded = 0;
    std::atomic<bool> m_failed = false;
    std::atomic<bool> m_cancelled = false;
    std::atomic<bool> m_diskFull = false;
    const std::atomic<bool> *m_watched = nullptr;
    int64_t m_sizeLimit = -1;
    std::mutex m_errorMutex;
    QString m_error;
};

} // namespace pvsm
