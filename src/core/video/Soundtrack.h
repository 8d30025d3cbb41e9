#pragma once

#include "FrameLoop.h"
#include "LyricFile.h"
#include "Project.h"
#include "Prompter.h"
#include "Workspace.h"

#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace pvsm {

struct ExportOptions;

// The two rows of the lyric box on an output of `videoSize`: the stored box,
// and one of the same size right under it (the even lines of the two-line
// styles).
struct LyricRows
{
    QRectF first, second;
};
// `framed`: a picture frame is laid over the video (see OutputScales::band).
LyricRows lyricRows(const Settings &settings, QSize videoSize, QSize editingScreen, bool framed = false);
// Draws one text of a lyric shot in the lyric text style, the sung part in
// the moving lyric's colours and pattern.
void DrawLyricText(QImage &frame, const Settings &settings, double fontScale, const LyricText &text);
// The sample line the editor shows in the lyric box, where a song's lines
// stand in the project's lyric style: once centred, or for the two-line
// styles (LyricStyle 1 and 3) once in each row, left and right aligned.
LyricShot sampleLyricShot(const Settings &settings, QSize videoSize, QSize editingScreen, const QString &line);

// Music cut at the video's end fades out over its last seconds: the gain at
// `seconds` of a video of `videoSeconds` is 1 until the last
// kMusicFadeSeconds, then falls evenly to 0 at the end.
inline constexpr double kMusicFadeSeconds = 3.0;
double MusicFadeGain(double seconds, double videoSeconds);

// Work files of the soundtrack, all inside the export's own job folder.
namespace soundtrackFiles {
inline constexpr const char *kJoinedWav = "TmpWav.wav";
inline constexpr const char *kOpeningWav = "open.wav";
inline constexpr const char *kAudioPart = "Pvsm_Audio_Part.mp3";
inline constexpr const char *kVideoPart = "Pvsm_Video_Part.avi";
inline constexpr const char *kSoundPackets = "Pvsm_Sound_Part.packets"; // the MP4's coded AAC, waiting for the mux
QString songWav(int songNumber); // "TmpWav" + number + ".wav", numbers from 1
} // namespace soundtrackFiles

// Messages of the soundtrack, exactly as shown.
namespace soundtrackText {
QString unsupportedFile(const QString &path); // warning, with the song's path
QString joinFailed();                         // "合并音频失败"
QString encodeFailed();                       // "编码音频失败"
// Asked (Yes/No) after the music failed: Yes makes the video without it.
QString goOnWithoutMusic();
} // namespace soundtrackText

// One step of the opening segment: `copyFrom` (a shipped segment file) is
// copied to `queueName` in the work folder first when `copyFrom` is set; then
// `queueName` is queued (a bare shipped name is taken from the program folder).
struct OpeningPiece
{
    QString copyFrom;  // shipped file copied first, empty when queued as shipped
    QString queueName; // work-folder copy, or the shipped file's name
};
// The pieces of an opening title of `openingSeconds` whole seconds. Below 6
// the whole segment is a copy of the 5-second piece into "open.wav" (a single
// piece whose queueName is "open.wav"), even for shorter titles.
std::vector<OpeningPiece> openingSegmentPieces(int openingSeconds);

// The slide counts and time the music decides.
struct SlideFit
{
    double defaultSlideTime = 10; // seconds
    int SlidePassCount = 1;
    int ExtraSlideCount = 0;
    bool syncOn = true;           // false: the music could not decide the slide time
};
// `FitPicturesToMusic`: passes (and pictures of a last partial pass) until the
// pictures cover `musicSeconds`. `pictureSeconds` holds each picture's time;
// `fit` only grows.
void FitPicturesToMusic(SlideFit &fit, double passSeconds, double musicSeconds,
                        const std::vector<double> &pictureSeconds);
// The slide time of a synchronised show of `pictures` pictures for music of
// `musicSeconds`: 10 to 15 seconds per slide over 1 to 20 passes.
SlideFit SyncSlideTime(double musicSeconds, int pictures, SlideFit start);
// How many more rounds of the song list the music needs when a pass over the
// pictures (`passSeconds`) is longer than the music (`musicSeconds`): none
// unless the pictures run more than 5 seconds longer; else the rounds begun
// while walking the list until the added lengths reach the difference.
int SongRepeatRounds(double passSeconds, double musicSeconds, const std::vector<double> &songSeconds);

// The soundtrack of one export as the project describes it: decodes every song
// to the soundtrack WAV format, builds the opening segment and joins (export
// steps 1 and 2, inside assemble()), encodes to MP3 (step 3, on a background
// thread that assemble() starts, collected by finishAudio()), fits the slides
// to the music, and draws the lyrics of each frame. Every message goes through
// `prompter`, always on the calling thread. Work files live in `workFolder`
// (the export's job folder); the destructor removes any that are still there.
//
// Music that cannot be made (a song that does not decode, a failed join) is
// not quietly left out: after the message, the user is asked whether to go on
// without it (goOnWithoutMusic()); No stops the export (musicRefused()).
//
// Threads: every method is called from the one thread that runs the frame
// loop. The background encoder touches only its own state (the joined WAV,
// the MP3 and a few atomics), never the lyric members drawLyric() uses, the
// prompter or the progress callback. The cancel flag of the JobControl given
// to assemble() must outlive this object.
class ProjectSoundtrack final : public Soundtrack
{
public:
    ProjectSoundtrack(const Project &project, const Workspace &workspace, QString workFolder, Prompter &prompter,
                      bool loopToLongerTrack, QSize videoSize, QSize editingScreen, int fps = 30);
    // Stops a background encoder that is still running (it notices within one
    // encoder chunk), waits for it and deletes the work files still present,
    // the MP3 included.
    ~ProjectSoundtrack() override;

    // Steps 1 and 2, then starts step 3 in the background at low CPU priority
    // and returns without waiting for it.
    bool assemble(SoundtrackState &state, double &defaultSlideTime, const JobControl &control) override;
    LyricShot lyricShot(int64_t frameCounter, int64_t musicStartFrame) override;
    // Draws each text of the shot in the lyric text style, the sung parts in
    // the moving lyric's colours and pattern.
    void drawLyric(QImage &frame, const LyricShot &shot) override;

    // The export codes the sound itself (an MP4's AAC): no MP3 is made, and
    // finishAudio() hands over the joined WAV instead. Set before assemble().
    void keepPcm(bool on) { m_keepPcm = on; }
    bool keepsPcm() const { return m_keepPcm; }
    // The MP3 is made beside the render as ever, but the joined WAV is kept
    // for fadeCutMusic(). Set before assemble().
    void keepWav(bool on) { m_keepWav = on; }
    // After finishAudio(), for a video of `videoSeconds` whose music starts at
    // `musicStartSeconds`: when the music runs past the picture's end, the
    // joined WAV is cut there, its last kMusicFadeSeconds faded
    // (MusicFadeGain), and the MP3 made again from it, reporting
    // "步骤3/5：编码音频". Music that ends on its own keeps its MP3. The
    // joined WAV is deleted either way. False only when cancelled; a fade
    // that fails otherwise leaves the MP3 as it was.
    bool fadeCutMusic(double videoSeconds, double musicStartSeconds, const JobControl &control);

    // Waits for the background MP3 encoder. Only when it has to wait, it
    // reports "步骤3/5：编码音频" with the encoder's percentage through
    // `control`; cancelling `control` stops the encoder. A failing encoder is
    // reported as "编码音频失败" through the prompter; whether the video may go
    // out without music is the caller's question. True when the MP3 is ready
    // (audioFile() names it); false without music for the video: none was
    // assembled, encoding failed or was cancelled.
    bool finishAudio(const JobControl &control);
    // The MP3 collected by finishAudio(), empty before that and when there is
    // none (no songs, muted, failed or cancelled). The caller deletes it
    // after muxing.
    QString audioFile() const;
    // With keepPcm, the joined WAV as soon as assemble() has made it (empty
    // without music): the MP4's sound may be coded while the frames render.
    QString keptPcmFile() const;
    // Wall milliseconds assemble() took (decoding and joining, steps 1-2).
    qint64 decodeJoinMs() const { return m_decodeJoinMs; }
    // Seconds of silence the MP3 begins with before the first song.
    double leadSeconds() const { return m_openingSegmentSeconds; }
    // True when a song failed the length check: the export stops silently.
    bool stoppedExport() const { return m_stopped; }
    // True when the music could not be made and the user did not agree to a
    // video without it: the export stops.
    bool musicRefused() const { return m_refused; }
    // True when the music could not be made and the user agreed to go on
    // without it.
    bool musicDropped() const { return m_dropped; }
    int songCount() const { return m_songCount; }

    // For real-time playback: assemble() only probes each song's length
    // (no decoding, no work files, no MP3), so a show can start at once; the
    // songs are decoded as they play. The slide fit, the lyrics and the
    // opening lead follow the same rules as the export's.
    void setProbeOnly(bool probeOnly) { m_probeOnly = probeOnly; }
    // The songs of the soundtrack in play order, repetitions included, with
    // their lengths (seconds) as the slides were fitted to them.
    const QStringList &songPaths() const { return m_songPaths; }
    const std::vector<double> &songSeconds() const { return m_durations; }
    // Songs of the project that the soundtrack holds, each counted once
    // however often it repeats; 0 without a soundtrack.
    int songsInSoundtrack() const { return m_songCount > 0 ? m_distinctSongs : 0; }

    // `CurrentLyricSong`: the 1-based song whose lyric belongs to the frame, 0
    // for none (reads the song's lyric file the first time).
    int CurrentLyricSong(int64_t frameCounter, int64_t musicStartFrame);
    // The lines of song k due at the frame, as the lyric style shows them
    // (what `DrawLyricLine` draws). Empty when none is due or song k's table
    // is not the one loaded.
    LyricShot LyricLinesDue(int songK, int64_t frameCounter, int64_t musicStartFrame) const;

private:
    struct Mp3Job;

    bool decodeAudio(SoundtrackState &state, double &defaultSlideTime, const JobControl &control);
    void startMp3(const JobControl &control);
    bool buildOpening(const JobControl &control);
    // After the message of a failure: asks whether to go on without music.
    // True to go on (the soundtrack is then empty).
    bool agreeToNoMusic();
    QString work(const QString &name) const;

    const Project &m_project;
    Workspace m_workspace;
    QString m_workFolder;
    Prompter &m_prompter;
    bool m_loop;
    QSize m_videoSize;
    QSize m_editingScreen;
    int m_fps; // frames a second of the video the lyric frames are counted in
    bool m_framed; // the export lays a picture frame over the video

    int m_songCount = 0;
    std::vector<double> m_durations;
    QStringList m_lyricFiles;
    std::vector<int> m_lyricState; // 0 unread, 1 read, 2 unusable
    int m_tableSong = 0;
    LyricTable m_table;
    std::vector<int> m_widths;
    int m_openingSegmentSeconds = 0; // seconds of open.wav, 0 without one
    bool m_stopped = false;
    bool m_refused = false;
    bool m_dropped = false;
    int m_distinctSongs = 0;
    bool m_probeOnly = false;
    QStringList m_songPaths;
    bool m_haveMp3 = false;
    bool m_keepPcm = false;
    bool m_keepWav = false;
    qint64 m_decodeJoinMs = 0;
    std::unique_ptr<Mp3Job> m_mp3; // the background encoder, null until started
};

// The factory ExportAvi takes, for a project in `workspace`. The workspace and
// the prompter must outlive every export made with it.
std::function<std::unique_ptr<Soundtrack>(const Project &, const ExportOptions &, const QString &workFolder)>
makeProjectSoundtrackFactory(const Workspace &workspace, Prompter &prompter);

} // namespace pvsm
