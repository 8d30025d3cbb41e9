#pragma once

#include "Job.h"
#include "Muxer.h"

#include <QString>

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
// limit); passing it fails with `diskFull`. Blocking.
MuxOutcome MuxMp4(const QString &videoPath, const Mp4Sound *sound, double videoSeconds, const QString &outputPath,
                  const JobControl &control, int64_t maxBytes = -1);

} // namespace pvsm
