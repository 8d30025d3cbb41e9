// Lyric files from untrusted sources: any bytes give a bounded, sorted table
// or none.
#include "LyricFile.h"

#include <QStringEncoder>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void check(bool ok)
{
    if (!ok) std::abort();
}

} // namespace

extern "C" std::vector<QByteArray> pvsmFuzzSeeds()
{
    const QString text = QStringLiteral("[ti:歌名]\r\n[ar:歌手]\r\n[offset:500]\r\n[00:01.50]第一句\r\n"
                                        "[00:10.00][00:20.00]副歌\r\n[1:05.10]x[01:23.45]Hello\r\n");
    QStringEncoder gbk("GB18030");
    return {text.toUtf8(), gbk.isValid() ? QByteArray(gbk(text)) : text.toUtf8(),
            QByteArray("[00:01.00]one\n[00:02.00]two\n[offset:-200]\n")};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    pvsm::LyricTable table;
    const bool ok = pvsm::ParseLyricBytes(bytes, table);
    const int n = table.count();
    check(ok == (n > 0));
    check(n <= pvsm::kMaxLyricLines);
    check(table.timesHundredths.size() == size_t(n));
    check(!ok || table.rowFlags.size() == size_t(n));
    for (int i = 0; i < n; ++i) {
        check(table.texts[i].size() <= pvsm::kMaxLyricTextChars);
        check(!table.texts[i].contains(QLatin1Char('\r')) && !table.texts[i].contains(QLatin1Char('\n')));
        if (i > 0) check(table.timesHundredths[size_t(i - 1)] <= table.timesHundredths[size_t(i)]);
        if (table.offsetMs != 0) check(table.timesHundredths[size_t(i)] >= 0);
    }
    for (const QString *s : {&table.title, &table.artist, &table.album, &table.maker})
        check(s->size() <= pvsm::kMaxLyricTextChars);
    return 0;
}
