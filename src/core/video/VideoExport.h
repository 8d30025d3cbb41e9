#pragma once

#include "AviWriter.h"
#include "FrameLoop.h"
#include "Job.h"
#include "Project.h"
#include "Prompter.h"
#include "Workspace.h"

#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <span>

namespace pvsm {

// One entry of the frame-size list of the export dialog.
struct FrameSizeEntry
{
    const char *text;
    int width;
    int height;
};

// The first 18 entries keep their indexes; later sizes are added after them.
std::span<const FrameSizeEntry> frameSizeList();
// The frame rates a video can have; 30 is the default.
inline constexpr int kFrameRates[] = {25, 30, 60};
inline constexpr int kDefaultFrameRate = 30;
bool isFrameRate(int fps);
// The entry offered first for an editing screen: 4:3 sizes for screens whose
// width / height x 100 (to the nearest whole number) is below 150, else 16:9.
int defaultFrameSizeIndex(QSize editingScreen);
// Width: the number before "*"; height: the number in the 4 characters after it.
QSize parseFrameSizeText(const QString &text);

// The file a video export writes, told by the target's suffix.
enum class VideoContainer {
    Avi, // H.264 (or the chosen encoder) with an MP3 track
    Mp4  // H.264 High, yuv420p, AAC-LC stereo 48 kHz, index in front
};
// ".avi" and ".mp4" in any case; nothing for any other suffix. A name
// without a suffix is given `fallback`'s.
std::optional<VideoContainer> containerForPath(const QString &path, VideoContainer fallback);
QString containerSuffix(VideoContainer container); // "avi", "mp4"

// What the user chose for one export.
struct ExportOptions
{
    QString targetPath;             // empty: ask with the save dialog
    QSize videoSize{1280, 720};
    QSize editingScreen{1920, 1080};
    // The kind the save dialog offers and a name without a suffix gets; a
    // suffix of the target decides for itself.
    VideoContainer container = VideoContainer::Avi;
    int frameRate = 30;             // frames a second: one of kFrameRates
    bool chooseCodecManually = false; // always ask which encoder
    VideoEncodeOptions encode;      // encoder empty: the preferred one
    bool loopToLongerTrack = false;
    int maxRetries = 2;             // renders retried after a failing write
    // Bytes free for this user on the file system that holds `folder`, or a
    // negative value when unknown. Empty: what the system says. The export
    // measures the free space once, at its start, and stops with the
    // disk-full message when its files would use it up.
    std::function<qint64(const QString &folder)> freeSpace;
};

// `ExportStatus` values. kExportMusicMissing: the music could not be made and
// the user did not agree to a video without it.
enum ExportStatusCode {
    kExportRunning = 0,
    kExportCodecRefused = 1,
    kExportWriteFailed = 2,
    kExportCancelled = 3,
    kExportMusicMissing = 4
};

// Wall milliseconds one export spent blocked in each part of its work, summed
// over the render attempts. With music, MP3 encoding runs beside the render, so
// only the wait for it after the render counts.
struct ExportStepTimes
{
    qint64 decodeJoinMs = 0; // steps 1-2: songs decoded and joined before the first frame
    qint64 mp3WaitMs = 0;    // step 3: waiting for the MP3 once the video was rendered
    qint64 renderMs = 0;     // step 4: rendering and compressing the video
    qint64 muxMs = 0;        // step 5: joining video and MP3
};

struct ExportOutcome
{
    bool completed = false;  // the file is complete at `target`
    int status = kExportRunning;
    QString target;
    QString encoder;         // the encoder used
    int64_t frames = 0;
    qint64 bytes = 0;
    QString finishReport;    // the five lines of the finish window
    // What the file holds: the songs of the project whose music is in it
    // (each once, however often it repeats), and whether the project's music
    // is missing from it because it could not be made and the user agreed to
    // a video without it.
    int songs = 0;
    bool withoutMusic = false;
    bool diskFull = false;   // stopped for want of disk space
    bool installCodecRequested = false;
    ExportStepTimes steps;
};

// Makes the soundtrack of an export (null: the video has no music). Its work
// files go into `workFolder`, the export's own job folder.
using SoundtrackFactory = std::function<std::unique_ptr<Soundtrack>(const Project &project, const ExportOptions &options,
                                                                    const QString &workFolder)>;

// `ExportAvi`: the whole export of `project` as one AVI file: the checks, the
// target, the codec choice and probe, the render with its retries, and the
// finish report. Scratch files live in a job folder of the export's own
// under Temp/ (JobFolder), so exports can run side by side; it is removed
// however the export ends. With a soundtrack that yields music, the picture
// is rendered to the work file Pvsm_Video_Part.avi there and joined with the
// soundtrack's MP3 into the target (MuxVideoAudio). Talks to the user through
// `prompter`; reports progress and obeys cancel through `control`, within a
// second in every step. A cancelled or failed export leaves no file behind
// (an existing file at the target is only replaced by a complete one, synced
// to the disk first).
ExportOutcome ExportAvi(const Project &project, const Workspace &workspace, const ExportOptions &options,
                        Prompter &prompter, const JobControl &control, const SoundtrackFactory &soundtrack = {});

// The finish report: five lines joined by CR LF.
QString finishReportText(const QString &showName, int pictures, int songs, qint64 bytes, const QString &target);

// Messages of the export, exactly as shown.
namespace exportText {
QString twoPictures();
QString midiRefused();
QString uncompressedRefused();
QString outputError();
QString cannotEncode();
QString installPrompt();
QString restartAfterInstall();
QString diskSpaceQuestion(const QString &folder);
QString diskFull(const QString &folder);
QString unknownSuffix(const QString &fileName);
QString oddFrameSize(QSize size);
QString mp4NeedsH264();
} // namespace exportText

} // namespace pvsm
