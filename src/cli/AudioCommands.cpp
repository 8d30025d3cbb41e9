#include "CliPrompter.h"
#include "Commands.h"
#include "LyricFile.h"
#include "MP3Info.h"
#include "SongLength.h"
#include "StreamMP3.h"
#include "StreamWAV.h"
#include "StreamWMA.h"

#include <QFileInfo>

#include <memory>

namespace pvsm::cli {

namespace {

QString number(double v)
{
    QString s = QString::number(v, 'f', 3);
    while (s.contains(QLatin1Char('.')) && (s.endsWith(QLatin1Char('0')) || s.endsWith(QLatin1Char('.'))))
        s.chop(1);
    return s;
}

QString flag(bool v)
{
    return v ? QStringLiteral("true") : QStringLiteral("false");
}

void fact(const char *key, const QString &value)
{
    out(QLatin1String(key) + QStringLiteral(": ") + value);
}

int audioInfo(const QStringList &args)
{
    if (args.size() != 1) {
        err(QStringLiteral("audio info: give one sound file"));
        return kUsage;
    }
    const QString path = QFileInfo(args[0]).absoluteFilePath();
    if (!readableOrSay(path, args[0])) return kFailed;

    MP3Info info;
    const bool found = info.ReadMP3Info(path);
    fact("ReadMP3Info", flag(found));
    if (found) {
        fact("FirstFrame", QString::number(info.FirstFrame()));
        fact("Duration", number(info.Duration()));
        fact("Channels", QString::number(info.Channels()));
        fact("SampleRate", QString::number(info.SampleRate()));
        fact("BitRate", QString::number(info.BitRate()));
        fact("FileSize", QString::number(info.FileSize()));
        fact("MpegBytes", QString::number(info.MpegBytes()));
        fact("Frames", QString::number(info.Frames()));
        fact("Layer", QString::number(info.Layer()));
        fact("MpegVersion", number(info.MpegVersion()));
        fact("CopyrightBit", flag(info.CopyrightBit()));
        fact("OriginalBit", flag(info.OriginalBit()));
        fact("PrivateBit", flag(info.PrivateBit()));
        fact("Protected", flag(info.Protected()));
        fact("Emphasis", QString::number(info.Emphasis()));
        fact("IsVBR", flag(info.IsVBR()));
    }

    // The source the soundtrack would read this file with.
    const QString ext = path.right(3).toUpper();
    std::unique_ptr<ISoundStream> source;
    QString name;
    if (ext == QLatin1String("MP3")) {
        source = std::make_unique<StreamMP3>();
        name = QStringLiteral("StreamMP3");
    } else if (ext == QLatin1String("WMA")) {
        source = std::make_unique<StreamWMA>();
        name = QStringLiteral("StreamWMA");
    } else {
        source = std::make_unique<StreamWAV>();
        name = QStringLiteral("StreamWAV");
    }
    const SoundResult opened = source->OpenSource(path);
    fact("Source", name);
    fact("OpenSource", QString::number(opened));
    if (opened == SoundResultOk) fact("SourceDuration", QString::number(source->Info().Duration()));
    source->CloseSource();

    const double probed = ProbeSongLength(path);
    fact("ProbeSongLength", number(probed));
    fact("GetSongLength", number(GetSongLength(path, 0)));
    if (opened != SoundResultOk) {
        err(QStringLiteral("%1 cannot be read as a song (result %2)").arg(args[0]).arg(int(opened)));
        return kFailed;
    }
    // The length the music list would store: without one the song cannot be
    // laid out in a show.
    if (!(probed > 0) || !(GetSongLength(path, float(probed)) > 0)) {
        err(QStringLiteral("the length of %1 cannot be found").arg(args[0]));
        return kFailed;
    }
    return kOk;
}

int lyrics(const QStringList &args)
{
    if (args.size() != 1) {
        err(QStringLiteral("lyrics: give one lyric file"));
        return kUsage;
    }
    if (!readableOrSay(args[0], args[0])) return kFailed;
    if (QFileInfo(args[0]).size() > kMaxLyricFileBytes) {
        err(QStringLiteral("%1 is too large for a lyric file (more than %2 bytes)").arg(args[0]).arg(kMaxLyricFileBytes));
        return kFailed;
    }
    LyricTable table;
    if (!ParseLyricFile(args[0], table)) {
        err(QStringLiteral("%1 has no timed lyric lines").arg(args[0]));
        return kFailed;
    }
    for (int i = 0; i < table.count(); ++i)
        out(QStringLiteral("%1: %2 %3").arg(i).arg(table.timesHundredths[size_t(i)]).arg(table.texts[i]));
    if (table.droppedTimeTags > 0) err(lyricLinesDroppedText(args[0], table));
    return kOk;
}

const CommandRegistrar
    kInfo({{QStringLiteral("audio"), QStringLiteral("info")}, QStringLiteral("audio info FILE"), audioInfo});
const CommandRegistrar kLyrics({{QStringLiteral("lyrics")}, QStringLiteral("lyrics FILE.lrc"), lyrics});

} // namespace

} // namespace pvsm::cli
