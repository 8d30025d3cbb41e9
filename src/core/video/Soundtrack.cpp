#include "Soundtrack.h"

#include "EncoderWAV.h"
#include "FrameList.h"
#include "Numbers.h"
#include "PCMPreparator.h"
#include "Random.h"
#include "SongLength.h"
#include "StreamMP3.h"
#include "StreamWAV.h"
#include "StreamWMA.h"
#include "TextPath.h"
#include "ThreadPriority.h"
#include "VideoExport.h"
#include "cLameEncoder.h"
#include "clsWavConcatenate.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <optional>
#include <system_error>
#include <thread>

namespace pvsm {

namespace soundtrackFiles {
QString songWav(int songNumber)
{
    return QStringLiteral("TmpWav%1.wav").arg(songNumber);
}
} // namespace soundtrackFiles

namespace soundtrackText {
QString unsupportedFile(const QString &path)
{
    return QStringLiteral("内置解码器不够完善，无法支持以下文件，请使用其他音频转换软件将其重新保存为一个新的CBR恒定码率MP3或WMA，"
                          "然后添加进来再尝试重新制作：\r")
           + path;
}
QString joinFailed() { return QStringLiteral("合并音频失败"); }
QString encodeFailed() { return QStringLiteral("编码音频失败"); }
QString goOnWithoutMusic()
{
    return QStringLiteral("视频将不包含音乐。要继续创建没有音乐的视频吗？");
}
} // namespace soundtrackText

namespace {

constexpr int kMaxSyncSongs = 20;
const QString kDecodeCaption = QStringLiteral("步骤1/5：解码音频");

WaveFormatEx soundtrackFormat()
{
    WaveFormatEx f = MakePcmFormat(22050, 2, 16);
    f.cbSize = 12;
    return f;
}

QString fileTitleUpper(const QString &path)
{
    return QFileInfo(path).completeBaseName().toUpper();
}

void removeIfExists(const QString &path)
{
    if (QFileInfo::exists(path)) QFile::remove(path);
}

} // namespace

std::vector<OpeningPiece> openingSegmentPieces(int openingSeconds)
{
    const QString sec5 = QStringLiteral("Sec5.wav");
    if (openingSeconds < 6) return {{sec5, QString::fromLatin1(soundtrackFiles::kOpeningWav)}};
    std::vector<OpeningPiece> pieces;
    for (int k = 1; k <= openingSeconds / 5; ++k) pieces.push_back({sec5, QStringLiteral("open5%1.wav").arg(k)});
    switch (openingSeconds % 5) {
    case 1: pieces.push_back({{}, QStringLiteral("sec1.wav")}); break;
    case 2: pieces.push_back({{}, QStringLiteral("sec2.wav")}); break;
    case 3:
        pieces.push_back({{}, QStringLiteral("sec1.wav")});
        pieces.push_back({{}, QStringLiteral("sec2.wav")});
        break;
    case 4:
        // The same 2-second piece twice: the first time as a copy of its own.
        pieces.push_back({QStringLiteral("Sec2.wav"), QStringLiteral("opensec2.wav")});
        pieces.push_back({{}, QStringLiteral("Sec2.wav")});
        break;
    default: break;
    }
    return pieces;
}

void FitPicturesToMusic(SlideFit &fit, double passSeconds, double musicSeconds, const std::vector<double> &pictureSeconds)
{
    if (passSeconds <= 0) return;
    // Bounded: a pass can never be shorter than the smallest slide time.
    while (passSeconds * fit.SlidePassCount < musicSeconds - passSeconds && fit.SlidePassCount < 1000000)
        ++fit.SlidePassCount;
    const double rest = musicSeconds - passSeconds * fit.SlidePassCount;
    double sum = 0;
    for (double t : pictureSeconds) {
        if (sum >= rest) break;
        sum += t;
        ++fit.ExtraSlideCount;
    }
}

SlideFit SyncSlideTime(double L, int P, SlideFit fit)
{
    if (P <= 0) {
        fit.syncOn = false;
        return fit;
    }
    for (int k = 1; k <= kMaxSyncSongs; ++k) {
        if (k * P * 10.0 <= L && L <= k * P * 15.0) {
            fit.SlidePassCount = k;
            fit.ExtraSlideCount = 0;
            fit.defaultSlideTime = L / P / k;
            return fit;
        }
    }
    if (L <= P * 10.0) {
        fit.defaultSlideTime = 10;
        fit.SlidePassCount = 1;
        fit.ExtraSlideCount = 0;
        return fit;
    }
    for (int k = 1; k <= kMaxSyncSongs; ++k) {
        if (L <= k * P * 15.0) {
            fit.defaultSlideTime = 15;
            FitPicturesToMusic(fit, P * 15.0, L, std::vector<double>(size_t(P), 15.0));
            return fit;
        }
    }
    fit.syncOn = false;
    return fit;
}

int SongRepeatRounds(double passSeconds, double musicSeconds, const std::vector<double> &songs)
{
    const double missing = passSeconds - musicSeconds;
    if (missing <= 5) return 0;
    double total = 0;
    for (double d : songs) total += std::max(0.0, d);
    if (total <= 0) return 0;
    int rounds = 0;
    double sum = 0;
    while (sum < missing) {
        ++rounds;
        for (double d : songs) {
            sum += std::max(0.0, d);
            if (sum >= missing) break;
        }
    }
    return rounds;
}

// The MP3 encoder running beside the frame loop. The thread owns the encoder
// and the two files; the rest of the soundtrack sees only these fields.
double MusicFadeGain(double seconds, double videoSeconds)
{
    const double left = videoSeconds - seconds;
    if (left >= kMusicFadeSeconds) return 1.0;
    return left <= 0 ? 0.0 : left / kMusicFadeSeconds;
}

struct ProjectSoundtrack::Mp3Job
{
    enum class Result { Ready, Failed, NoWav, Cancelled };

    QString wav;
    QString mp3;
    const std::atomic<bool> *userCancel = nullptr;
    std::atomic<bool> stop{false}; // set by the owner: cancel, or the export ended
    std::atomic<int> percent{0};
    std::atomic<bool> done{false};
    bool keepPcm = false;
    bool keepWav = false; // the WAV outlives the MP3 (set before the thread starts)
    Result result = Result::Failed; // written by the thread before `done`
    std::thread thread;

    void run(bool background)
    {
        // Encoding waits behind the frame loop for idle processor time; what
        // is left after the render runs while the process has nothing else to
        // do. Not the idle scheduling policy: that gets no time at all while
        // other programs keep the processors busy, and the export would then
        // wait for the whole encoding after the render.
        if (background) LowerThreadPriority(19);
        JobControl quiet;
        quiet.cancel = &stop;
        // Runs on this thread every 100 chunks: it must not reach the
        // export's progress display, which belongs to the frame loop's thread.
        quiet.progress = [this](int p, const QString &) {
            percent.store(p, std::memory_order_relaxed);
            if (userCancel && userCancel->load(std::memory_order_relaxed)) stop.store(true);
        };
        Result r = Result::NoWav;
        if (keepPcm) {
            // The WAV itself is the result.
            r = stop.load() ? Result::Cancelled : QFileInfo::exists(wav) ? Result::Ready : Result::NoWav;
            if (r != Result::Ready) removeIfExists(wav);
            result = r;
            done.store(true, std::memory_order_release);
            return;
        }
        removeIfExists(mp3);
        cLameEncoder encoder;
        if (!stop.load() && encoder.SetWavFile(wav)) {
            encoder.SetMp3File(mp3);
            if (encoder.Encode(quiet)) r = QFileInfo::exists(mp3) ? Result::Ready : Result::Failed;
            else r = encoder.Cancelled() ? Result::Cancelled : Result::Failed;
        } else if (stop.load()) {
            r = Result::Cancelled;
        }
        if (!keepWav || r != Result::Ready) removeIfExists(wav);
        if (r != Result::Ready) removeIfExists(mp3);
        result = r;
        done.store(true, std::memory_order_release);
    }

    void stopAndJoin()
    {
        if (!thread.joinable()) return;
        stop.store(true);
        thread.join();
    }
};

ProjectSoundtrack::ProjectSoundtrack(const Project &project, const Workspace &workspace, QString workFolder,
                                     Prompter &prompter, bool loopToLongerTrack, QSize videoSize, QSize editingScreen,
                                     int fps)
    : m_project(project), m_workspace(workspace), m_workFolder(std::move(workFolder)), m_prompter(prompter),
      m_loop(loopToLongerTrack),
      m_videoSize(videoSize), m_editingScreen(editingScreen), m_fps(fps > 0 ? fps : 30),
      m_framed(!SelectedFrameBytes(project.settings, workspace).isEmpty())
{
}

ProjectSoundtrack::~ProjectSoundtrack()
{
    if (!m_mp3) return;
    m_mp3->stopAndJoin();
    // A render that failed or was cancelled never collected the MP3.
    removeIfExists(m_mp3->wav);
    removeIfExists(m_mp3->mp3);
}

QString ProjectSoundtrack::work(const QString &name) const
{
    return QDir(m_workFolder).filePath(name);
}

QString ProjectSoundtrack::keptPcmFile() const
{
    if (!m_keepPcm || !m_mp3 || m_songCount == 0 || !m_mp3->done.load(std::memory_order_acquire)
        || m_mp3->result != Mp3Job::Result::Ready)
        return {};
    return QFileInfo::exists(m_mp3->wav) ? m_mp3->wav : QString();
}

QString ProjectSoundtrack::audioFile() const
{
    if (!m_haveMp3 || m_songCount == 0) return {};
    const QString mp3 = work(QString::fromLatin1(m_keepPcm ? soundtrackFiles::kJoinedWav : soundtrackFiles::kAudioPart));
    return QFileInfo::exists(mp3) ? mp3 : QString();
}

bool ProjectSoundtrack::assemble(SoundtrackState &state, double &defaultSlideTime, const JobControl &control)
{
    QElapsedTimer clock;
    clock.start();
    m_haveMp3 = false;
    m_refused = m_dropped = false;
    if (m_mp3) {
        m_mp3->stopAndJoin();
        m_mp3.reset();
    }
    if (!m_probeOnly) QDir().mkpath(m_workFolder);
    const bool go = decodeAudio(state, defaultSlideTime, control);
    const QString joined = work(QString::fromLatin1(soundtrackFiles::kJoinedWav));
    if (m_probeOnly) {
        // Nothing was written, and the work folder may not even be set.
    } else if (go && m_songCount > 0 && !control.cancelled() && QFileInfo::exists(joined)) {
        startMp3(control);
    } else {
        removeIfExists(joined);
    }
    m_decodeJoinMs = clock.elapsed();
    if (!go || control.cancelled()) return false;
    // The frame loop needs only what decoding found (lengths, passes, lyric
    // files), never the MP3: the frames do not depend on how encoding goes.
    state.SongCount = m_songCount;
    if (m_songCount == 0) {
        state.SongDurations.clear();
        state.lyricsOn = false;
    }
    return true;
}

bool ProjectSoundtrack::agreeToNoMusic()
{
    m_songCount = 0;
    if (m_prompter.ask(soundtrackText::goOnWithoutMusic(), PromptButtons::YesNo, PromptIcon::Warning,
                       QStringLiteral("Info"))
        == Answer::Yes) {
        m_dropped = true;
        return true;
    }
    m_refused = true;
    return false;
}

bool ProjectSoundtrack::buildOpening(const JobControl &control)
{
    const Settings &s = m_project.settings;
    const bool opening = s.enableOpening && (!s.titleText[0].isEmpty() || s.openingImage.size() > 7);
    m_openingSegmentSeconds = 0;
    if (!opening) return false;
    const int openingSeconds = std::max(0, Nearest(s.openingDurationTime));
    if (m_probeOnly) {
        // Playback makes the silent lead itself, of the segment's length.
        m_openingSegmentSeconds = openingSeconds < 6 ? 5 : openingSeconds;
        return true;
    }
    const std::vector<OpeningPiece> pieces = openingSegmentPieces(openingSeconds);
    const QString openWav = work(QString::fromLatin1(soundtrackFiles::kOpeningWav));
    removeIfExists(openWav);
    QStringList copies;
    clsWavConcatenate join;
    join.SetOutputFormat(soundtrackFormat());
    bool ok = true;
    for (const OpeningPiece &piece : pieces) {
        if (control.cancelled()) {
            ok = false;
            break;
        }
        QString queued = m_workspace.programFile(piece.queueName);
        if (!piece.copyFrom.isEmpty()) {
            queued = work(piece.queueName);
            removeIfExists(queued);
            ok = ok && QFile::copy(m_workspace.programFile(piece.copyFrom), queued);
            copies << queued;
        }
        if (queued != openWav) ok = ok && join.WaveAdd(queued);
    }
    if (ok && !(pieces.size() == 1 && pieces[0].queueName == QLatin1String(soundtrackFiles::kOpeningWav)))
        ok = join.WaveConcatenate(openWav, false, control, nullptr) && join.LastOutcome() == clsWavConcatenate::Outcome::Joined;
    for (const QString &copy : copies)
        if (copy != openWav) removeIfExists(copy);
    if (!ok) {
        // Without its segment files the show still gets its music, only
        // without the silent lead-in.
        removeIfExists(openWav);
        return false;
    }
    m_openingSegmentSeconds = openingSeconds < 6 ? 5 : openingSeconds;
    return true;
}

bool ProjectSoundtrack::decodeAudio(SoundtrackState &state, double &defaultSlideTime, const JobControl &control)
{
    const Settings &s = m_project.settings;
    m_songCount = 0;
    m_durations.clear();
    m_lyricFiles.clear();
    m_songPaths.clear();
    m_stopped = false;
    if (s.muteSound) return true;

    // Song list with the lyric file of the same title.
    QStringList songs;
    QStringList lyrics;
    for (const Song &song : m_project.songs) {
        songs << song.path;
        QString lyric;
        for (const QString &l : m_project.lyricFiles)
            if (fileTitleUpper(l) == fileTitleUpper(song.path)) {
                lyric = l;
                break;
            }
        lyrics << lyric;
    }
    if (s.playMusicOrder == 2 && songs.size() > 1) {
        songs = songs.mid(0, 1);
        lyrics = lyrics.mid(0, 1);
    } else if (s.playMusicOrder == 1) {
        RandomSource::global().reseedFromClock();
        for (int i = int(songs.size()) - 1; i >= 0; --i) {
            const int j = std::min(i, IntPart(Rnd() * (i + 1)));
            songs.swapItemsAt(i, j);
            lyrics.swapItemsAt(i, j);
        }
    }
    const int n = int(songs.size());
    if (n == 0) return true;

    const QString joined = work(QString::fromLatin1(soundtrackFiles::kJoinedWav));
    if (!m_probeOnly) removeIfExists(joined);
    control.report(0, kDecodeCaption);
    const bool haveOpening = buildOpening(control);
    const QString openWav = work(QString::fromLatin1(soundtrackFiles::kOpeningWav));

    auto cleanUp = [&](int upTo) {
        if (m_probeOnly) return;
        for (int i = 1; i <= upTo; ++i) removeIfExists(work(soundtrackFiles::songWav(i)));
        removeIfExists(openWav);
    };

    m_songCount = n;
    m_distinctSongs = n;
    m_durations.assign(size_t(n), 0.0);
    bool failed = false;
    int written = 0;
    for (int i = 1; i <= n && !failed; ++i) {
        const QString path = songs[i - 1];
        const QString ext = path.right(3).toUpper();
        std::unique_ptr<ISoundStream> source;
        if (ext == QLatin1String("MP3")) source = std::make_unique<StreamMP3>();
        else if (ext == QLatin1String("WMA")) source = std::make_unique<StreamWMA>();
        else source = std::make_unique<StreamWAV>();
        const QString wav = work(soundtrackFiles::songWav(i));
        auto unsupported = [&] {
            m_prompter.inform(soundtrackText::unsupportedFile(path), PromptIcon::Warning);
            m_songCount = 0;
            failed = true;
        };
        if (m_probeOnly) {
            // The same length check the export's decoding makes, against the
            // song's own structure: a song that cannot be measured would not
            // decode either.
            const double probed = GetSongLength(path, 0);
            if (!(probed > 0) || source->OpenSource(path) != SoundResultOk) {
                unsupported();
                break;
            }
            source->CloseSource();
            m_durations[size_t(i - 1)] = probed;
            continue;
        }
        if (source->OpenSource(path) != SoundResultOk) {
            unsupported();
            break;
        }
        PCMPreparator converter;
        if (!converter.InitConversion(source.get(), false)) {
            source->CloseSource();
            unsupported();
            break;
        }
        removeIfExists(wav);
        EncoderWAV encoder;
        int32_t chunkBytes = EncoderWAV::kInBufferSize;
        written = i;
        if (encoder.Init(wav, converter.OutputSamplerate(), converter.OutputChannels(), converter.OutputBitsPerSample(),
                         chunkBytes)
            != 0) {
            converter.CloseConverter();
            source->CloseSource();
            unsupported();
            break;
        }
        std::vector<uint8_t> buffer(size_t(std::max(1, chunkBytes)));
        int chunks = 0;
        // A source can never hand out more than its bytes; the bound only
        // guards against a converter that keeps producing.
        for (int64_t guard = 0; guard < 100000000; ++guard) {
            int32_t got = 0;
            converter.GetSamples(buffer.data(), int32_t(buffer.size()), got);
            if (converter.EndOfStream()) {
                if (got >= 1) encoder.Encode(buffer.data(), got);
                break;
            }
            if (got > 0 && encoder.Encode(buffer.data(), got) != 0) break;
            if (++chunks % 30 == 0) {
                const int32_t duration = source->Info().Duration();
                int p = duration > 0 ? Nearest(double(source->Info().Position()) / duration * 100.0) : 0;
                p = std::clamp(p, 0, 100);
                control.report(n == 1 ? p : int(p / (2.0 * n) + (i - 1.0) / n * 100.0), kDecodeCaption);
            }
            if (control.cancelled()) break;
        }
        converter.CloseConverter();
        encoder.DeInit();
        source->SeekTo(0, 0);
        source->CloseSource();
        if (control.cancelled()) break;

        const double expected = GetSongLength(path, 0);
        const double decoded = GetSongLength(wav, 0);
        if (std::fabs(expected - decoded) > 3.0) {
            m_prompter.inform(soundtrackText::unsupportedFile(path), PromptIcon::Warning);
            m_songCount = 0;
            m_stopped = true;
            failed = true;
            break;
        }
        // A source that opens but gives no sound would be a silent song in
        // the report and nothing in the file.
        if (!(decoded > 0)) {
            unsupported();
            break;
        }
        m_durations[size_t(i - 1)] = decoded;
    }

    if (control.cancelled() || m_stopped) {
        cleanUp(written);
        m_songCount = 0;
        return false;
    }
    if (failed || m_songCount == 0) {
        cleanUp(written);
        return agreeToNoMusic();
    }

    clsWavConcatenate join;
    join.SetOutputFormat(soundtrackFormat());
    if (!m_probeOnly) {
        if (haveOpening) join.WaveAdd(openWav);
        for (int i = 1; i <= n; ++i) join.WaveAdd(work(soundtrackFiles::songWav(i)));
    }
    QStringList played = songs;

    double L = 0;
    for (double d : m_durations) L += d;
    bool syncOn = s.enableSync;
    if (L <= 0 || n > kMaxSyncSongs) syncOn = false;

    SlideFit fit;
    fit.defaultSlideTime = defaultSlideTime;
    fit.SlidePassCount = state.SlidePassCount;
    fit.ExtraSlideCount = state.ExtraSlideCount;
    const int P = int(m_project.pictures.size());
    if (syncOn) {
        fit = SyncSlideTime(L, P, fit);
        syncOn = fit.syncOn;
    }
    auto pictureTimes = [&] {
        std::vector<double> times;
        for (const Picture &pic : m_project.pictures)
            times.push_back(pic.slideDuration > 0 && !syncOn ? double(pic.slideDuration) : fit.defaultSlideTime);
        return times;
    };
    bool repeated = false;
    if (m_loop) {
        const std::vector<double> times = pictureTimes();
        double V = 0;
        for (double t : times) V += t;
        if (L >= V) {
            FitPicturesToMusic(fit, V, L, times);
        } else if (V - L > 5) {
            const std::vector<double> base = m_durations;
            const int rounds = SongRepeatRounds(V, L, base);
            for (int r = 0; r < rounds; ++r)
                for (int i = 1; i <= n; ++i) {
                    if (!m_probeOnly) join.WaveAdd(work(soundtrackFiles::songWav(i)));
                    played << songs[i - 1];
                    m_durations.push_back(base[size_t(i - 1)]);
                    lyrics << lyrics[i - 1];
                    L += base[size_t(i - 1)];
                }
            m_songCount = int(m_durations.size());
            repeated = rounds > 0;
        }
    }
    // The opening title's own length, which may be shorter than its segment.
    if (haveOpening) L += std::max(0, Nearest(s.openingDurationTime));

    bool ok = true;
    if (m_probeOnly) {
        // Nothing to join: the songs are decoded as they play.
    } else if (m_songCount == 1 && !haveOpening && !repeated) {
        ok = QFile::rename(work(soundtrackFiles::songWav(1)), joined);
    } else {
        ok = join.WaveConcatenate(joined, true, control, &m_prompter);
        if (join.LastOutcome() == clsWavConcatenate::Outcome::Cancelled || control.cancelled()) {
            cleanUp(n);
            removeIfExists(joined);
            m_songCount = 0;
            return false;
        }
        ok = ok && join.LastOutcome() == clsWavConcatenate::Outcome::Joined;
    }
    if (!ok) {
        m_prompter.inform(soundtrackText::joinFailed(), PromptIcon::Warning);
        removeIfExists(joined);
        m_songCount = 0;
    }
    cleanUp(n);
    if (m_songCount == 0) return agreeToNoMusic();

    m_lyricFiles = lyrics;
    m_songPaths = played;
    m_lyricState.assign(size_t(m_songCount), 0);
    m_tableSong = 0;
    state.SongCount = m_songCount;
    state.SongDurations = m_durations;
    state.SoundtrackLength = L;
    state.SlidePassCount = fit.SlidePassCount;
    state.ExtraSlideCount = fit.ExtraSlideCount;
    state.lyricsOn = s.enableLyric && std::any_of(lyrics.begin(), lyrics.end(), [](const QString &l) { return !l.isEmpty(); });
    state.syncOn = syncOn;
    if (syncOn) defaultSlideTime = fit.defaultSlideTime;
    return true;
}

void ProjectSoundtrack::startMp3(const JobControl &control)
{
    m_mp3 = std::make_unique<Mp3Job>();
    m_mp3->wav = work(QString::fromLatin1(soundtrackFiles::kJoinedWav));
    m_mp3->mp3 = work(QString::fromLatin1(soundtrackFiles::kAudioPart));
    m_mp3->userCancel = control.cancel;
    Mp3Job *job = m_mp3.get();
    job->keepWav = m_keepWav;
    if (m_keepPcm) {
        job->mp3 = job->wav;
        job->keepPcm = true;
        job->run(false);
        return;
    }
    try {
        m_mp3->thread = std::thread([job] { job->run(true); });
    } catch (const std::system_error &) {
        // No thread to be had: encode here and now, as a blocking step.
        job->run(false);
    }
}

bool ProjectSoundtrack::finishAudio(const JobControl &control)
{
    if (!m_mp3) return !audioFile().isEmpty();
    Mp3Job &job = *m_mp3;
    if (job.thread.joinable()) {
        // Polled rather than signalled: the wait also serves the progress
        // display and the cancel flag, and a few milliseconds do not matter
        // after a render.
        int shown = -1;
        while (!job.done.load(std::memory_order_acquire)) {
            if (control.cancelled()) job.stop.store(true);
            const int percent = job.percent.load(std::memory_order_relaxed);
            if (percent != shown) {
                shown = percent;
                control.report(std::clamp(percent, 0, 100), cLameEncoder::progressCaption());
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        job.thread.join();
    }
    switch (job.result) {
    case Mp3Job::Result::Ready:
        m_haveMp3 = true;
        return true;
    case Mp3Job::Result::Failed:
    case Mp3Job::Result::NoWav:
        m_songCount = 0;
        m_prompter.inform(soundtrackText::encodeFailed(), PromptIcon::Information);
        return false;
    case Mp3Job::Result::Cancelled: m_songCount = 0; return false;
    }
    return false;
}

namespace {

// Where the samples of a canonical PCM WAV lie.
struct WavData
{
    qint64 offset = 0; // of the first sample
    qint64 bytes = 0;
    int rate = 0;
    int blockAlign = 0;
    qint64 riffSizeAt = 4;
    qint64 dataSizeAt = 0;
};

std::optional<WavData> findWavData(QFile &f)
{
    const QByteArray head = f.read(12);
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE") return std::nullopt;
    WavData w;
    auto le32 = [](const QByteArray &b, int at) {
        return quint32(uchar(b[at])) | quint32(uchar(b[at + 1])) << 8 | quint32(uchar(b[at + 2])) << 16
               | quint32(uchar(b[at + 3])) << 24;
    };
    qint64 at = 12;
    while (at + 8 <= f.size()) {
        f.seek(at);
        const QByteArray h = f.read(8);
        const qint64 size = le32(h, 4);
        if (h.startsWith("fmt ")) {
            const QByteArray fmt = f.read(16);
            if (fmt.size() < 16 || le32(fmt, 0) % 65536 != 1) return std::nullopt; // PCM only
            w.rate = int(le32(fmt, 4));
            w.blockAlign = int(le32(fmt, 12) % 65536);
            if ((le32(fmt, 12) >> 16) != 16) return std::nullopt; // 16-bit only
        } else if (h.startsWith("data")) {
            w.dataSizeAt = at + 4;
            w.offset = at + 8;
            w.bytes = std::min<qint64>(size, f.size() - w.offset);
            break;
        }
        at += 8 + size + (size & 1);
    }
    if (w.offset == 0 || w.rate <= 0 || w.blockAlign <= 0) return std::nullopt;
    return w;
}

void putLe32(QFile &f, qint64 at, quint32 v)
{
    const char b[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char((v >> 24) & 0xFF)};
    f.seek(at);
    f.write(b, 4);
}

} // namespace

bool ProjectSoundtrack::fadeCutMusic(double videoSeconds, double musicStartSeconds, const JobControl &control)
{
    const QString wav = work(QString::fromLatin1(soundtrackFiles::kJoinedWav));
    struct Removal
    {
        QString path;
        ~Removal() { removeIfExists(path); }
    } removeWav{wav};
    const QString mp3 = audioFile();
    if (mp3.isEmpty() || m_keepPcm || !QFileInfo::exists(wav)) return !control.cancelled();
    QFile f(wav);
    if (!f.open(QIODevice::ReadWrite)) return true;
    const std::optional<WavData> w = findWavData(f);
    if (!w) return true;
    // WAV frame i plays at i / rate - lead + musicStart of the video.
    const qint64 frames = w->bytes / w->blockAlign;
    const qint64 end = std::llround((videoSeconds + m_openingSegmentSeconds - musicStartSeconds) * w->rate);
    if (end <= 0 || frames <= end + w->rate / 30) return true; // the music ends with the picture or before
    const qint64 fadeFrom = std::max<qint64>(0, end - qint64(std::ceil(kMusicFadeSeconds * w->rate)));
    const int channels = w->blockAlign / 2;
    f.seek(w->offset + fadeFrom * w->blockAlign);
    QByteArray block = f.read((end - fadeFrom) * w->blockAlign);
    auto *s = reinterpret_cast<int16_t *>(block.data());
    const qint64 got = block.size() / w->blockAlign;
    for (qint64 i = 0; i < got; ++i) {
        const double t = double(fadeFrom + i) / w->rate - m_openingSegmentSeconds + musicStartSeconds;
        const double g = MusicFadeGain(t, videoSeconds);
        for (int c = 0; c < channels; ++c) s[i * channels + c] = int16_t(std::lround(s[i * channels + c] * g));
    }
    f.seek(w->offset + fadeFrom * w->blockAlign);
    if (f.write(block) != block.size()) return true;
    // The music after the picture's end is not needed any more.
    const qint64 newBytes = end * w->blockAlign;
    putLe32(f, w->dataSizeAt, quint32(newBytes));
    putLe32(f, w->riffSizeAt, quint32(w->offset + newBytes - 8));
    if (!f.resize(w->offset + newBytes)) return true;
    f.close();

    const QString faded = work(QStringLiteral("Pvsm_Audio_Faded.mp3"));
    struct Removal removeFaded{faded};
    cLameEncoder encoder;
    if (!encoder.SetWavFile(wav)) return true;
    encoder.SetMp3File(faded);
    JobControl reporting;
    reporting.cancel = control.cancel;
    reporting.progress = [&](int p, const QString &) { control.report(p, cLameEncoder::progressCaption()); };
    if (!encoder.Encode(reporting)) return !control.cancelled();
    QFile::remove(mp3);
    if (!QFile::rename(faded, mp3)) m_haveMp3 = false;
    return !control.cancelled();
}

// Lyrics

int ProjectSoundtrack::CurrentLyricSong(int64_t frameCounter, int64_t musicStartFrame)
{
    if (!m_project.settings.enableLyric || m_songCount == 0) return 0;
    const double o = double(musicStartFrame) / m_fps;
    const double t = double(frameCounter) / m_fps;
    double start = o;
    for (int k = 1; k <= m_songCount && k <= int(m_durations.size()); ++k) {
        const double end = start + m_durations[size_t(k - 1)];
        if (t >= start && t <= end) {
            if (k > m_lyricFiles.size() || m_lyricFiles[k - 1].isEmpty()) return 0;
            int &state = m_lyricState[size_t(k - 1)];
            if (state == 2) return 0;
            if (state == 1 && m_tableSong == k) return k;
            // A repeated song shares its file with the first time it played:
            // the table is read again whenever the song changes.
            const bool firstRead = state == 0;
            if (!ParseLyricFile(m_lyricFiles[k - 1], m_table)) {
                state = 2;
                m_tableSong = 0;
                return 0;
            }
            if (firstRead && m_table.droppedTimeTags > 0)
                m_prompter.inform(lyricLinesDroppedText(m_lyricFiles[k - 1], m_table), PromptIcon::Information);
            state = 1;
            m_tableSong = k;
            const OutputScales scales = outputScales(m_videoSize, m_editingScreen);
            const TextStyle &st = m_project.settings.textStyles[2];
            const QVector<int> widths = MeasureLineWidths(m_table.texts, st.fontName, Nearest(st.size * scales.font), st.style);
            m_widths.assign(widths.begin(), widths.end());
            return k;
        }
        start = end;
    }
    return 0;
}

LyricShot ProjectSoundtrack::LyricLinesDue(int k, int64_t frameCounter, int64_t musicStartFrame) const
{
    if (k < 1 || k != m_tableSong || m_table.count() == 0) return {};
    const Settings &s = m_project.settings;
    const LyricRows rows = lyricRows(s, m_videoSize, m_editingScreen, m_framed);
    const QRectF row1 = rows.first, row2 = rows.second;

    const int n = m_table.count();
    const double v = Nearest(double(frameCounter) / m_fps * 100.0);
    // The sung part grows every second frame (15 times a second at 30), as
    // held slides have always shown it: a held slide under a moving lyric is
    // a new picture every second frame, not every frame, for a wipe that
    // moves a few pixels a step.
    const double wipeV = Nearest(double(frameCounter - frameCounter % 2) / m_fps * 100.0);
    double before = 0;
    for (int j = 0; j < k - 1 && j < int(m_durations.size()); ++j) before += m_durations[size_t(j)];
    const double sOff = before * 100.0 + double(musicStartFrame) / m_fps * 100.0;
    auto start = [&](int i) { return double(Nearest(m_table.timesHundredths[size_t(i - 1)] + sOff)); };
    auto end = [&](int i) {
        return i < n ? double(Nearest(m_table.timesHundredths[size_t(i)] + sOff))
                     : double(Nearest(m_durations[size_t(k - 1)] * 100.0 + sOff));
    };
    auto text = [&](int i) { return m_table.texts[i - 1]; };
    auto width = [&](int i) { return i - 1 < int(m_widths.size()) ? double(m_widths[size_t(i - 1)]) : 0.0; };
    // Odd lines sit in the first row, left-aligned; even ones in the second, right-aligned.
    auto rowOf = [&](int i) { return i % 2 == 1 ? row1 : row2; };
    auto alignOf = [&](int i) { return i % 2 == 1 ? 3 : 5; };
    LyricShot shot;
    auto still = [&](int i, bool sung) { shot.push_back({text(i), rowOf(i), alignOf(i), sung, {}}); };
    auto centred = [&](int i) { shot.push_back({text(i), row1, 4, false, {}}); };
    // The sung part left of the line's progress point, the rest after it. The
    // point is taken to a whole pixel: the painter clips at whole pixels
    // anyway, and frames whose wipe has not yet moved a pixel stay alike.
    auto wipe = [&](int i, const QRectF &row, int align, double x0, double p) {
        const double w = width(i);
        const double left = Nearest(x0), split = Nearest(x0 + w * p), right = Nearest(x0 + w);
        shot.push_back({text(i), row, align, false, QRectF(split, row.y(), right - split, row.height())});
        shot.push_back({text(i), row, align, true, QRectF(left, row.y(), split - left, row.height())});
        std::erase_if(shot, [](const LyricText &t) { return !t.clip.isNull() && t.clip.isEmpty(); });
    };

    switch (s.lyricStyle) {
    case 0:
        for (int i = 1; i <= n; ++i)
            if (start(i) - 6 <= v && v <= end(i) - 6) {
                centred(i);
                break;
            }
        break;
    case 1:
        for (int i = 1; i <= n; ++i) {
            if (start(i) - 80 <= v && v <= end(i) - 80) {
                still(i, false);
                if (i > 1) still(i - 1, false);
                break;
            }
            if (end(i) - 80 < v && v <= end(i) && i == n) {
                still(n, false);
                break;
            }
        }
        break;
    case 2:
        for (int i = 1; i <= n; ++i) {
            if (start(i) - 6 <= v && v <= start(i)) {
                centred(i);
                break;
            }
            if (start(i) < v && v < end(i) - 6) {
                const double span = end(i) - 3 - start(i);
                const double p = span > 0 ? std::clamp((wipeV - start(i)) / span, 0.0, 1.0) : 1.0;
                wipe(i, row1, 4, row1.x() + (row1.width() - width(i)) / 2, p);
                break;
            }
        }
        break;
    case 3:
        for (int i = 1; i <= n; ++i) {
            if (i == 1) {
                if (start(1) - 80 < v && v <= start(1) + 1) {
                    still(1, false);
                    break;
                }
                if (v > end(1) - 80 && v <= end(1) + 1 && n >= 2) still(2, false);
            }
            if (start(i) <= v && v < end(i)) {
                const double span = end(i) - start(i);
                const double p = span > 0 ? std::clamp((wipeV - start(i)) / span, 0.0, 1.0) : 1.0;
                const QRectF row = rowOf(i);
                const bool right = alignOf(i) == 5;
                wipe(i, row, alignOf(i), right ? row.x() + row.width() - width(i) : row.x(), p);
                if (i >= 2) {
                    if (v < end(i) - 80) still(i - 1, true);
                    else if (i < n) still(i + 1, false);
                }
                break;
            }
        }
        break;
    default: break;
    }
    return shot;
}

LyricShot ProjectSoundtrack::lyricShot(int64_t frameCounter, int64_t musicStartFrame)
{
    const int k = CurrentLyricSong(frameCounter, musicStartFrame);
    return k > 0 ? LyricLinesDue(k, frameCounter, musicStartFrame) : LyricShot();
}

void ProjectSoundtrack::drawLyric(QImage &frame, const LyricShot &shot)
{
    const double fontScale = outputScales(m_videoSize, m_editingScreen).font;
    for (const LyricText &t : shot)
        DrawLyricText(frame, m_project.settings, fontScale, t);
}

LyricRows lyricRows(const Settings &settings, QSize videoSize, QSize editingScreen, bool framed)
{
    const OutputScales sc = outputScales(videoSize, editingScreen, framed);
    const TextBox &b = settings.lyricBox;
    if (sc.fitFrame) {
        // What is drawn is laid out as one box: the row, or for the two-line
        // styles both rows, which move inside the frame together.
        const int rowsDrawn = settings.lyricStyle == 1 || settings.lyricStyle == 3 ? 2 : 1;
        const QRectF drawn = outputBox(sc, b.x, b.y, b.w, double(rowsDrawn) * b.h);
        const QRectF first(drawn.x(), drawn.y(), drawn.width(), drawn.height() / rowsDrawn);
        return {first, first.translated(0, first.height())};
    }
    return {QRectF(b.x * sc.x, b.y * sc.y, b.w * sc.x, b.h * sc.y),
            QRectF(b.x * sc.x, (b.y + b.h) * sc.y, b.w * sc.x, b.h * sc.y)};
}

void DrawLyricText(QImage &frame, const Settings &s, double fontScale, const LyricText &t)
{
    const TextStyle &st = s.textStyles[2];
    TextPathStyle p;
    p.fontName = st.fontName;
    p.sizePx = Nearest(st.size * fontScale);
    p.fontStyle = st.style;
    p.alignment = t.alignment;
    p.pattern = t.sung ? s.lyricDynamicFontPattern : st.pattern;
    p.borderWidthPx = Nearest(st.borderWidth * fontScale);
    p.startArgb = ToArgb(uint32_t(t.sung ? s.lyricDynamicFontStartColor : st.startColor), 255);
    p.endArgb = ToArgb(uint32_t(t.sung ? s.lyricDynamicFontEndColor : st.endColor), 255);
    p.borderArgb = ToArgb(uint32_t(st.borderColor), 170);
    if (t.clip.isNull()) DrawTextPath(frame, t.text, t.row, p);
    else DrawTextPathClipped(frame, t.text, t.row, p, t.clip);
}

LyricShot sampleLyricShot(const Settings &settings, QSize videoSize, QSize editingScreen, const QString &line)
{
    const LyricRows rows = lyricRows(settings, videoSize, editingScreen);
    if (settings.lyricStyle == 1 || settings.lyricStyle == 3)
        return {{line, rows.first, 3, false, {}}, {line, rows.second, 5, false, {}}};
    return {{line, rows.first, 4, false, {}}};
}

std::function<std::unique_ptr<Soundtrack>(const Project &, const ExportOptions &, const QString &)>
makeProjectSoundtrackFactory(const Workspace &workspace, Prompter &prompter)
{
    return [workspace, &prompter](const Project &project, const ExportOptions &options,
                                  const QString &workFolder) -> std::unique_ptr<Soundtrack> {
        if (project.songs.empty() || project.settings.muteSound) return nullptr;
        return std::make_unique<ProjectSoundtrack>(project, workspace, workFolder, prompter, options.loopToLongerTrack,
                                                   options.videoSize, options.editingScreen, options.frameRate);
    };
}

} // namespace pvsm
