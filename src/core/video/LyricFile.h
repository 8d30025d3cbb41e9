#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace pvsm {

// The timed lines of one song's lyric file, sorted by time, with the file's
// offset already applied.
struct LyricTable
{
    QStringList texts;                    // line texts, CR and LF removed
    std::vector<int32_t> timesHundredths; // start of each line from the song's start
    std::vector<int32_t> rowFlags;        // 1 for even line numbers (drawn in the second row), else 0
    QString title, artist, album, maker;  // the [ti, [ar, [al and [by tags (read, not drawn)
    int32_t offsetMs = 0;                 // the offset tag
    int droppedTimeTags = 0;              // time tags past kMaxLyricLines, ignored

    int count() const { return int(texts.size()); }
    void clear() { *this = LyricTable{}; }
};

// Bounds that keep a damaged or hostile file from taking unbounded time or
// memory; real lyric files are far below them. Larger files are refused;
// time tags past the line limit are ignored; texts and tag values are cut.
inline constexpr qint64 kMaxLyricFileBytes = 16 * 1024 * 1024;
inline constexpr int kMaxLyricLines = 10000;
inline constexpr int kMaxLyricTextChars = 500;

// The message for a table whose file had more time tags than kMaxLyricLines:
// which file, how many lines are used and how many were left out. Empty when
// none was left out.
QString lyricLinesDroppedText(const QString &path, const LyricTable &table);

// Lyric files come as UTF-8 (with or without BOM), UTF-16 with a BOM, or,
// from Chinese systems, GBK: bytes that are not valid UTF-8 are read as
// GB18030 (a superset of GBK).
QString DecodeLyricText(const QByteArray &bytes);

// Reads an LRC lyric file into `table` (cleared first). True when at least
// one timed line was read. Lines end at CR LF; a lone LF stays inside the
// line, so a file with LF line ends may be one long line, and every tag of a
// line is read: [mm:ss.xx] and [m:ss.xx] time tags (several may share one
// text), [ti:…] [ar:…] [al:…] [by:…] and [offset:±ms]. Lines are sorted by
// time (an exchange sort: equal times may change order as they always did),
// then moved earlier by offset / 10 hundredths, never below 0.
// Any thread; no shared state.
bool ParseLyricFile(const QString &path, LyricTable &table);
// The same over the file's bytes.
bool ParseLyricBytes(const QByteArray &bytes, LyricTable &table);

} // namespace pvsm
