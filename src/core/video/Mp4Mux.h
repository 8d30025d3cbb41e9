#pragma once

#include "Job.h"
#include "Muxer.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace pvsm {

// The sound of an MP4: the joined soundtrack WAV and where it lies against
// the picture.
struct Mp4Sound
{
    QString wavPath;              // 16-bit PCM WAV (the joined soundtrack)
    double leadSeconds = 0;       // where its first song begins in the WAV
    double musicStartSeconds = 0; // where that moment plays in the video
    // Music that runs past the picture's end fades out over the video's last
    // seconds (MusicFadeGain) instead of stopping dead.
    bool fadeOutEnd = false;
};

class Mp4SoundCoder;

// Writes the MP4 `outputPath`: the H.264 stream of the video-only AVI
// `videoPath` copied as it is (held pictures stay cheap repeat frames), and,
// with `sound`, its WAV coded as AAC-LC stereo at 48 kHz, cut at the end of
// the picture (`videoSeconds`). The index (`moov`) is placed before the
// media data so that the file plays while it streams. The AAC encoder's
// priming is taken out by the edit list, so the WAV's sample at
// `leadSeconds` plays at `musicStartSeconds` to within a sample.
// Progress goes to `control` with the caption "步骤5/5：合并视频和音频";
// cancel is seen between any two packets. On cancel or failure the output
// is deleted. The output may not grow beyond `maxBytes` (negative: no
// limit); passing it fails with `diskFull`. Blocking: the sound still to
// code is coded first (Mp4SoundCoder::finish).
MuxOutcome MuxMp4(const QString &videoPath, Mp4SoundCoder *sound, double videoSeconds, const QString &outputPath,
                  const JobControl &control, int64_t maxBytes = -1);

// The sound of an MP4, coded while its picture renders. Coding it after the
// render kept one processor busy and the other idle for seconds at the end
// of every export; the render, for its part, leaves a processor idle while
// the encoder starts. What the video's end cannot change (the sound before
// the last kMusicFadeSeconds of the length the frame loop has vouched for)
// is coded on a thread of its own at the lowest priority, so that it takes
// only the time the render leaves; finish() codes the rest once the end is
// known. The coded packets wait in `packetFile` for MuxMp4.
class Mp4SoundCoder
{
public:
    Mp4SoundCoder(const Mp4Sound &sound, QString packetFile);
    ~Mp4SoundCoder(); // stops the thread and removes the packet file
    Mp4SoundCoder(const Mp4SoundCoder &) = delete;
    Mp4SoundCoder &operator=(const Mp4SoundCoder &) = delete;

    // Starts coding on the thread; without one finish() codes it all.
    void start();
    // The video will last `videoSeconds` at least: sound up to the fade
    // before that may be coded.
    void allowUntil(double videoSeconds);
    // Codes what is left for a video of `videoSeconds` and waits for the
    // thread. A video shorter than vouched for is coded again from the start,
    // so the sound is always that of the video's real end. False on cancel
    // (through `control`) and failure (errorText(), diskFull()).
    bool finish(double videoSeconds, const JobControl &control);

    bool cancelled() const;
    bool diskFull() const;
    QString errorText() const;
    // Starts of coding from the beginning (1, or 2 after a word proved wrong).
    int passes() const;
    // Seconds of the video's time whose sound is coded (any thread).
    double codedSeconds() const;

private:
    friend MuxOutcome MuxMp4(const QString &, Mp4SoundCoder *, double, const QString &, const JobControl &, int64_t);
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace pvsm
