#pragma once

#include "Job.h"

#include <QString>

namespace pvsm {

struct MuxOutcome
{
    bool ok = false;        // `outputPath` holds the joined file
    bool cancelled = false; // the job was cancelled; nothing is left at `outputPath`
    bool diskFull = false;  // failed for want of room (limit reached, or the disk or quota full)
    QString error;          // why joining failed, for logs (not shown to the user)
};

// Joins the video-only AVI `videoPath` and the MP3 `mp3Path` into the AVI
// `outputPath` (created or replaced), both streams copied as they are. The
// audio is placed so that the MP3's sample at `mp3LeadSeconds` (where its
// first song begins) plays at `musicStartSeconds` of the video: silent MP3
// frames are put in front, or leading ones dropped, to within half an MP3
// frame (26 ms at 22050 Hz) after allowing for the encoder's delay.
// Progress goes to `control` with the caption "步骤5/5：合并视频和音频"; cancel
// is seen between any two packets. On cancel or failure a partial output is
// deleted. Scratch files are made in `scratchFolder` (the job's own folder)
// and deleted. The output, and the scratch files, may not grow beyond
// `maxBytes` each (negative: no limit); passing it fails with `diskFull`.
// Every write and the close are checked; the output is closed, not synced.
// Blocking; the thread that runs the export.
MuxOutcome MuxVideoAudio(const QString &videoPath, const QString &mp3Path, double mp3LeadSeconds,
                         double musicStartSeconds, const QString &outputPath, const JobControl &control,
                         const QString &scratchFolder, int64_t maxBytes = -1);

} // namespace pvsm
