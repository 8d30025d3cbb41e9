#include "LyricFile.h"

#include "FileCheck.h"

#include "Numbers.h"

#include <QFile>
#include <QStringDecoder>

#include <cmath>
#include <utility>

namespace pvsm {

namespace {

// How far the number reader looks: no lyric number is longer.
constexpr int kMaxNumberChars = 32;

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The numeric value at the start of `s` the way the format's writers read it:
// leading blanks skipped, an optional sign, digits with one decimal point, an
// optional exponent; reading stops at the first other character; nothing
// numeric gives 0.
double leadingNumber(QStringView s)
{
    s = s.left(kMaxNumberChars);
    qsizetype i = 0;
    while (i < s.size() && (s[i] == QLatin1Char(' ') || s[i] == QLatin1Char('\t')))
        ++i;
    QByteArray text;
    if (i < s.size() && (s[i] == QLatin1Char('-') || s[i] == QLatin1Char('+'))) text.append(char(s[i++].unicode()));
    bool digits = false, point = false;
    while (i < s.size()) {
        const QChar c = s[i];
        if (isDigit(c))
            digits = true;
        else if (c == QLatin1Char('.') && !point)
            point = true;
        else
            break;
        text.append(char(c.unicode()));
        ++i;
    }
    if (!digits) return 0;
    if (i + 1 < s.size() && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        QByteArray exp("e");
        if (j < s.size() && (s[j] == QLatin1Char('-') || s[j] == QLatin1Char('+'))) exp.append(char(s[j++].unicode()));
        bool expDigits = false;
        while (j < s.size() && isDigit(s[j])) {
            exp.append(char(s[j++].unicode()));
            expDigits = true;
        }
        if (expDigits) text += exp;
    }
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0;
}

double numberAt(const QString &line, qsizetype pos, qsizetype length)
{
    if (pos >= line.size()) return 0;
    return leadingNumber(QStringView(line).mid(pos, length));
}

QString withoutLineEnds(QStringView s)
{
    QString t;
    t.reserve(std::min<qsizetype>(s.size(), kMaxLyricTextChars));
    for (const QChar c : s) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) continue;
        if (t.size() >= kMaxLyricTextChars) break;
        t.append(c);
    }
    return t;
}

int32_t addRounded(int32_t time, double value)
{
    return Nearest(double(time) + value);
}

// Positions of the next '[', the next ']' and the next "][" at or after each
// index of a line (-1 when none), so that every tag is handled in constant
// time however many tags the line holds.
struct LineIndex
{
    std::vector<qsizetype> nextOpen, nextClose, nextCloseOpen;

    explicit LineIndex(const QString &line)
    {
        const qsizetype n = line.size();
        nextOpen.assign(size_t(n) + 1, -1);
        nextClose.assign(size_t(n) + 1, -1);
        nextCloseOpen.assign(size_t(n) + 1, -1);
        for (qsizetype i = n - 1; i >= 0; --i) {
            nextOpen[size_t(i)] = line[i] == QLatin1Char('[') ? i : nextOpen[size_t(i) + 1];
            nextClose[size_t(i)] = line[i] == QLatin1Char(']') ? i : nextClose[size_t(i) + 1];
            const bool pair = line[i] == QLatin1Char(']') && i + 1 < n && line[i + 1] == QLatin1Char('[');
            nextCloseOpen[size_t(i)] = pair ? i : nextCloseOpen[size_t(i) + 1];
        }
    }
};

struct Parser
{
    LyricTable &table;
    int32_t offset = 0;

    void parseLine(const QString &line)
    {
        const LineIndex idx(line);
        // The value of a text tag is the one of its last occurrence; only
        // positions are kept while scanning.
        qsizetype tagAt[4] = {-1, -1, -1, -1};
        int pending = 0;
        const qsizetype len = line.size();
        for (qsizetype h = idx.nextOpen[0]; h >= 0 && h < len; h = idx.nextOpen[size_t(h) + 1]) {
            const QString t = line.mid(h, 3).toLower();
            if (t == QLatin1String("[ti"))
                tagAt[0] = h;
            else if (t == QLatin1String("[ar"))
                tagAt[1] = h;
            else if (t == QLatin1String("[al"))
                tagAt[2] = h;
            else if (t == QLatin1String("[by"))
                tagAt[3] = h;
            else if (t == QLatin1String("[of")) {
                const double v = numberAt(line, h + 8, kMaxNumberChars);
                offset = Nearest(v);
            } else if (h + 1 < len && isDigit(line[h + 1])) {
                const qsizetype c = idx.nextClose[size_t(h)];
                if (c < 0) continue; // a tag that never closes is no time tag
                if (table.count() >= kMaxLyricLines) {
                    ++table.droppedTimeTags;
                    continue;
                }
                int32_t time = 0;
                qsizetype seconds = 0;
                if (h + 2 < len && line[h + 2] == QLatin1Char(':')) {
                    time = addRounded(time, numberAt(line, h + 1, 1) * 6000);
                    seconds = h + 3;
                } else {
                    time = addRounded(time, numberAt(line, h + 1, 2) * 6000);
                    seconds = h + 4;
                }
                // Seconds are always two characters; the hundredths follow the point.
                time = addRounded(time, numberAt(line, seconds, 2) * 100);
                time = addRounded(time, numberAt(line, seconds + 3, 2));
                table.texts.append(QString());
                table.timesHundredths.push_back(time);
                const qsizetype e = idx.nextCloseOpen[size_t(h)];
                if (e == c && e + 2 < len && isDigit(line[e + 2])) {
                    ++pending; // the next tag's text is this one's too
                    continue;
                }
                // The text runs to the next tag (or the line end); it keeps its
                // last character, and line ends inside it are dropped.
                const qsizetype k = idx.nextOpen[size_t(c) + 1];
                const QStringView rest = QStringView(line).mid(c + 1);
                const QString text = withoutLineEnds(k >= 0 ? rest.left(k - c - 1) : rest);
                const int last = table.count() - 1;
                for (int p = 0; p <= pending && last - p >= 0; ++p)
                    table.texts[last - p] = text;
                pending = 0;
            }
        }
        QString *fields[4] = {&table.title, &table.artist, &table.album, &table.maker};
        for (int i = 0; i < 4; ++i) {
            if (tagAt[i] < 0) continue;
            const qsizetype from = tagAt[i] + 4;
            const qsizetype close = from < len ? idx.nextClose[size_t(from)] : -1;
            const QStringView value = QStringView(line).mid(std::min(from, len));
            *fields[i] = withoutLineEnds(close >= 0 ? value.left(close - from) : value);
        }
    }
};

} // namespace

QString lyricLinesDroppedText(const QString &path, const LyricTable &table)
{
    if (table.droppedTimeTags == 0) return {};
    return QStringLiteral("歌词文件 '%1' 的时间标签太多：只使用前 %2 行，其余 %3 行被忽略")
        .arg(path)
        .arg(table.count())
        .arg(table.droppedTimeTags);
}

QString DecodeLyricText(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF")) return QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(QStringConverter::Utf16);
        return utf16(bytes);
    }
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError()) return text;
    QStringDecoder gb("GB18030");
    if (gb.isValid()) return gb(bytes);
    return QString::fromLocal8Bit(bytes);
}

bool ParseLyricBytes(const QByteArray &bytes, LyricTable &table)
{
    table.clear();
    if (bytes.size() > kMaxLyricFileBytes) return false;
    const QString text = DecodeLyricText(bytes);
    Parser parser{table};
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = text.indexOf(QLatin1String("\r\n"), start);
        if (end < 0) end = text.size();
        if (end > start) parser.parseLine(text.mid(start, end - start));
        start = end + 2;
    }
    table.offsetMs = parser.offset;
    const int n = table.count();
    if (n == 0) return false;

    // Exchange sort, kept for the order it gives to lines of equal time.
    std::vector<int32_t> &times = table.timesHundredths;
    for (int i = 0; i < n - 1; ++i) {
        for (int j = i + 1; j < n; ++j) {
            if (times[size_t(j)] < times[size_t(i)]) {
                std::swap(times[size_t(i)], times[size_t(j)]);
                table.texts.swapItemsAt(i, j);
            }
        }
    }
    table.rowFlags.assign(size_t(n), 0);
    for (int i = 0; i < n; ++i) {
        if (table.offsetMs != 0)
            times[size_t(i)] = std::max(0, Nearest(double(times[size_t(i)]) - table.offsetMs / 10.0));
        table.rowFlags[size_t(i)] = (i + 1) % 2 == 0 ? 1 : 0;
    }
    return true;
}

bool ParseLyricFile(const QString &path, LyricTable &table)
{
    table.clear();
    if (readProblem(path) != FileProblem::None) return false; // a FIFO would block the open
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxLyricFileBytes) return false;
    const QByteArray bytes = f.read(kMaxLyricFileBytes + 1);
    return ParseLyricBytes(bytes, table);
}

} // namespace pvsm
