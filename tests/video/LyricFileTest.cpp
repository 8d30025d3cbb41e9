#include "LyricFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

using namespace pvsm;

namespace {

struct Line
{
    int32_t time;
    QString text;
    bool operator==(const Line &) const = default;
};

std::vector<Line> linesOf(const LyricTable &t)
{
    std::vector<Line> lines;
    for (int i = 0; i < t.count(); ++i)
        lines.push_back({t.timesHundredths[size_t(i)], t.texts[i]});
    return lines;
}

void PrintTo(const Line &l, std::ostream *os)
{
    *os << l.time << " \"" << l.text.toStdString() << "\"";
}

} // namespace

TEST(LyricFile, TimeTagsTextsAndOffset)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        std::vector<Line> lines;
    };
    const std::vector<Case> cases = {
        {"one line", "[01:23.45]Hello\r\n", {{8345, "Hello"}}},
        {"two tags share a text", "[00:10.00][00:20.00]Chorus\r\n", {{1000, "Chorus"}, {2000, "Chorus"}}},
        {"three tags share a text", "[00:30.00][00:10.00][00:20.00]x\r\n", {{1000, "x"}, {2000, "x"}, {3000, "x"}}},
        {"one-digit minutes", "[1:05.10]x", {{6510, "x"}}},
        {"seconds of 00", "[00:00.50]a\r\n[02:00.07]b\r\n", {{50, "a"}, {12007, "b"}}},
        {"three-digit fraction", "[00:01.234]a", {{123, "a"}}},
        {"sorted by time", "[00:20.00]second\r\n[00:05.00]first\r\n", {{500, "first"}, {2000, "second"}}},
        {"LF only: one line, every tag read",
         "[00:01.00]one\n[00:02.00]two\n[00:03.00]three\n",
         {{100, "one"}, {200, "two"}, {300, "three"}}},
        {"texts between tags keep their last letter", "[00:01.00]ab[00:02.00]cd", {{100, "ab"}, {200, "cd"}}},
        {"offset moves lines earlier, never below 0",
         "[offset:500]\r\n[00:00.20]a\r\n[00:03.00]b\r\n",
         {{0, "a"}, {250, "b"}}},
        {"negative offset moves them later", "[00:01.00]a\r\n[offset:-1000]\r\n", {{200, "a"}}},
        {"upper-case tags", "[TI:Name][OFFSET:100]\r\n[00:01.00]a", {{90, "a"}}},
        {"text tags and junk are not lines", "[ti:T]\r\n[ar:A]\r\n[xx:yy]\r\n[]\r\n[00:01.00]a\r\n", {{100, "a"}}},
        {"a time tag that never closes", "[00:01.00a\r\n[00:02.00]b", {{200, "b"}}},
        {"lone CR removed from the text", "[00:01.00]a\rb\r\n", {{100, "ab"}}},
        {"empty text", "[00:01.00]\r\n", {{100, ""}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LyricTable t;
        EXPECT_EQ(ParseLyricBytes(c.bytes, t), !c.lines.empty());
        EXPECT_EQ(linesOf(t), c.lines);
        ASSERT_EQ(t.rowFlags.size(), c.lines.size());
        for (size_t i = 0; i < t.rowFlags.size(); ++i)
            EXPECT_EQ(t.rowFlags[i], i % 2 == 1 ? 1 : 0);
    }
}

TEST(LyricFile, TagValuesAndFailures)
{
    LyricTable t;
    ASSERT_TRUE(ParseLyricBytes("[ti:歌名]\r\n[ar:歌手]\r\n[al:专辑]\r\n[by:制作]\r\n[offset:+250]\r\n[00:01.00]x", t));
    EXPECT_EQ(t.title, QStringLiteral("歌名"));
    EXPECT_EQ(t.artist, QStringLiteral("歌手"));
    EXPECT_EQ(t.album, QStringLiteral("专辑"));
    EXPECT_EQ(t.maker, QStringLiteral("制作"));
    EXPECT_EQ(t.offsetMs, 250);

    EXPECT_FALSE(ParseLyricBytes("no tags at all\r\n[ti:only a title]", t));
    EXPECT_EQ(t.count(), 0);
    EXPECT_FALSE(ParseLyricBytes(QByteArray(), t));
    EXPECT_FALSE(ParseLyricFile(QStringLiteral("/no/such/file.lrc"), t));
}

TEST(LyricFile, Encodings)
{
    const QString text = QStringLiteral("[00:08.34]我爱你中国\r\n");
    QStringEncoder gbk("GB18030");
    ASSERT_TRUE(gbk.isValid());
    QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    const std::vector<std::pair<const char *, QByteArray>> files = {
        {"UTF-8", text.toUtf8()},
        {"UTF-8 with BOM", "\xEF\xBB\xBF" + text.toUtf8()},
        {"GBK", gbk(text)},
        {"UTF-16 with BOM", utf16(text)},
    };
    QTemporaryDir dir;
    for (const auto &[name, bytes] : files) {
        SCOPED_TRACE(name);
        const QString path = dir.filePath(QStringLiteral("a.lrc"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        LyricTable t;
        ASSERT_TRUE(ParseLyricFile(path, t));
        EXPECT_EQ(linesOf(t), (std::vector<Line>{{834, QStringLiteral("我爱你中国")}}));
    }
}

TEST(LyricFile, HostileInputStaysBounded)
{
    // Random bytes, and ten megabytes of tags on one line: bounded work and
    // a bounded table.
    std::mt19937 rng(7);
    QByteArray noise(1 << 20, '\0');
    for (auto &c : noise)
        c = char(rng());
    LyricTable t;
    ParseLyricBytes(noise, t);
    EXPECT_LE(t.count(), kMaxLyricLines);

    QByteArray tags;
    while (tags.size() < 10 * 1024 * 1024)
        tags += "[0[00:01.00][ti:x][of";
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(ParseLyricBytes(tags, t));
    EXPECT_EQ(t.count(), kMaxLyricLines);
    EXPECT_GT(t.droppedTimeTags, 0);
    EXPECT_LT(timer.elapsed(), 20000);
    for (const QString &s : t.texts)
        EXPECT_LE(s.size(), kMaxLyricTextChars);

    // One tag followed by a huge text: the text is cut.
    QByteArray longText = "[00:01.00]" + QByteArray(3 * 1024 * 1024, 'a');
    ASSERT_TRUE(ParseLyricBytes(longText, t));
    EXPECT_EQ(t.texts[0].size(), kMaxLyricTextChars);

    EXPECT_FALSE(ParseLyricBytes(QByteArray(kMaxLyricFileBytes + 1, '['), t));
}

TEST(LyricFile, LinesPastTheLimitAreCountedAndNamed)
{
    QByteArray lines;
    for (int i = 0; i < kMaxLyricLines + 250; ++i)
        lines += QStringLiteral("[%1:%2.00]第%3行\r\n").arg(i / 60 % 100, 2, 10, QLatin1Char('0')).arg(i % 60, 2, 10, QLatin1Char('0')).arg(i).toUtf8();
    LyricTable t;
    ASSERT_TRUE(ParseLyricBytes(lines, t));
    EXPECT_EQ(t.count(), kMaxLyricLines);
    EXPECT_EQ(t.droppedTimeTags, 250);
    EXPECT_EQ(lyricLinesDroppedText(QStringLiteral("/m/歌.lrc"), t),
              QStringLiteral("歌词文件 '/m/歌.lrc' 的时间标签太多：只使用前 10000 行，其余 250 行被忽略"));

    ASSERT_TRUE(ParseLyricBytes("[00:01.00]a\r\n", t));
    EXPECT_EQ(t.droppedTimeTags, 0);
    EXPECT_TRUE(lyricLinesDroppedText(QStringLiteral("x.lrc"), t).isEmpty());
}
