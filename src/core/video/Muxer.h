#pragma once

#include "Job.h"

#include <QString>

namespace pvsm {

struct MuxOutcome
{
    bool ok = false;        // `outputPath` holds the joined file
    bool cancelled = false; // the job was cancelled; nothing is left at `outputPath`
    QString error;          // why joining failed, for logs (not shown to the user)
};

// Joins the video-only AVI `videoPath` and the MP3 `mp3Path` into the AVI
// `outputPath` (created or replaced), both streams copied as they are. The
// audio is placed so that the MP3's sample at `mp3LeadSeconds` (where its
// first song begins) plays at `musicStartSeconds` of the video: silent MP3
// frames are put in front, or leading ones dropped, to within half an MP3
// frame (26 ms at 22050 Hz) after allowing for the encoder's delay.
// Progress goes to `control` with the caption "步骤5/5：合并视频和音频"; on
// cancel or failure a partial output is deleted. Scratch files are made beside
// `outputPath` and deleted. Blocking; the thread that runs the export.
MuxOutcome MuxVideoAudio(const QString &videoPath, const QString &mp3Path, double mp3LeadSeconds,
                         double musicStartSeconds, const QString &outputPath, const JobControl &control);

} // namespace pvsm
