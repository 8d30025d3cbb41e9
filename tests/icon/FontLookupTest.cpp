#include "FontLookup.h"
#include "FontNames.h"
#include "IconFixtures.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace pvsm;
using pvsm::fixtures::fontFace;
using pvsm::fixtures::NameRecord;

namespace {

// A face whose family and full name are `family` and `full`.
QByteArray face(const QString &family, const QString &full = {})
{
    std::vector<NameRecord> records{{3, 1, 0x0409, 1, family}};
    if (!full.isEmpty()) records.push_back({3, 1, 0x0409, 4, full});
    return fontFace(records);
}

const QString kMissing = QString::fromLatin1(kFontMissingName);

} // namespace

TEST(FontNames, FamilyFromUtf16AndMacintoshRecords)
{
    QTemporaryDir dir;
    // The Windows English name wins over a Macintosh one and over other languages.
    const QString ranked = fixtures::writeBytes(dir, "ranked.ttf",
                                     fontFace({{1, 0, 0, 1, QStringLiteral("Mac Name")},
                                               {3, 1, 0x0804, 1, QStringLiteral("思源黑体")},
                                               {3, 1, 0x0409, 1, QStringLiteral("Source Han Sans")},
                                               {3, 1, 0x0409, 16, QStringLiteral("Source Han")},
                                               {3, 1, 0x0409, 4, QStringLiteral("Source Han Sans Bold")}}));
    const std::optional<FontFaceNames> names = ReadFontNames(ranked);
    ASSERT_TRUE(names);
    EXPECT_EQ(names->family, QStringLiteral("Source Han Sans"));
    EXPECT_EQ(names->families, (QStringList{QStringLiteral("Mac Name"), QStringLiteral("思源黑体"),
                                            QStringLiteral("Source Han Sans"), QStringLiteral("Source Han")}));
    EXPECT_EQ(names->fullNames, QStringList{QStringLiteral("Source Han Sans Bold")});
    // A Chinese-only family is read as Chinese, not as bytes.
    EXPECT_EQ(FontFamilyName(fixtures::writeBytes(dir, "zh.ttf", fontFace({{3, 1, 0x0804, 1, QStringLiteral("楷体")}}))),
              QStringLiteral("楷体"));
    EXPECT_EQ(FontFamilyName(fixtures::writeBytes(dir, "mac.ttf", fontFace({{1, 0, 0, 1, QStringLiteral("Geneva")}}))),
              QStringLiteral("Geneva"));
    EXPECT_EQ(FontFamilyName(fixtures::writeBytes(dir, "cff.otf", fontFace({{0, 3, 0, 1, QStringLiteral("Otto")}}, 0x4F54544F))),
              QStringLiteral("Otto"));
}

TEST(FontNames, CollectionsByFaceAndDamagedFilesRefused)
{
    QTemporaryDir dir;
    const QString ttc =
        fixtures::writeBytes(dir, "set.ttc", fixtures::fontCollection({QStringLiteral("First"), QStringLiteral("Second")}));
    EXPECT_EQ(FontFamilyName(ttc, 0), QStringLiteral("First"));
    EXPECT_EQ(FontFamilyName(ttc, 1), QStringLiteral("Second"));
    EXPECT_EQ(FontFamilyName(ttc, 2), QString());

    const QByteArray good = face(QStringLiteral("Good"));
    QByteArray version = good;
    version[0] = 'x';
    QByteArray tableLength = good;
    tableLength[27] = char(tableLength[27] + 1); // name table one byte longer than the file
    QByteArray recordLength = good;
    recordLength[28 + 6 + 9] = char(recordLength[28 + 6 + 9] + 2); // a string past the table
    const struct { const char *name; QByteArray bytes; } bad[] = {
        {"version", version}, {"table", tableLength}, {"record", recordLength}, {"cut", good.left(20)},
        {"empty", QByteArray()}};
    for (const auto &b : bad) EXPECT_EQ(FontFamilyName(fixtures::writeBytes(dir, b.name, b.bytes)), QString()) << b.name;
    EXPECT_EQ(FontFamilyName(fixtures::writeBytes(dir, "good", good)), QStringLiteral("Good"));
}

TEST(FontLookup, ExactFamilyNotPrefixAndTheFallbacks)
{
    QTemporaryDir dir;
    // The wider family comes first in the list: a prefix match would take it.
    const QString black = fixtures::writeBytes(dir, "a-black.ttf", face(QStringLiteral("Arial Black")));
    const QString bold = fixtures::writeBytes(dir, "b-bold.ttf", face(QStringLiteral("Arial"), QStringLiteral("Arial Bold")));
    const QString regular = fixtures::writeBytes(dir, "c-regular.ttf", face(QStringLiteral("Arial")));
    const QString ttc = fixtures::writeBytes(dir, "d.ttc", fixtures::fontCollection({QStringLiteral("Kai"), QStringLiteral("宋体")}));
    const std::vector<InstalledFace> faces{
        {black, 0, 80, 0}, {bold, 0, 200, 0}, {regular, 0, 80, 0}, {ttc, 0, 80, 0}, {ttc, 1, 80, 0}};

    const FontPacking p = LookupFonts({QStringLiteral("arial"), QStringLiteral("宋体"), QStringLiteral("Arial_GB2312"),
                                       QStringLiteral("Arial Bold")},
                                      faces);
    EXPECT_EQ(p.files, (QStringList{regular, ttc, bold}));
    EXPECT_EQ(p.checkNames[0], QStringLiteral("Arial")); // the file's spelling
    EXPECT_EQ(p.checkNames[1], QStringLiteral("宋体"));
    EXPECT_EQ(p.checkNames[2], QStringLiteral("Arial"));  // cut before "_"
    EXPECT_EQ(p.checkNames[3], QStringLiteral("Arial"));  // a face's full name
    EXPECT_EQ(p.belongsTo, (std::array<int, 4>{1, 2, 1, 3}));
    EXPECT_FALSE(p.anyMissing());

    const FontPacking missing =
        LookupFonts({QStringLiteral("Ari"), QString(), QStringLiteral("Arial Black"), QStringLiteral("-Arial")}, faces);
    EXPECT_EQ(missing.files, QStringList{black});
    EXPECT_EQ(missing.checkNames, (std::array<QString, 4>{kMissing, kMissing, QStringLiteral("Arial Black"), kMissing}));
    EXPECT_EQ(missing.belongsTo, (std::array<int, 4>{0, 0, 1, 0}));
    EXPECT_TRUE(missing.anyMissing());
}

TEST(FontLookup, InstalledFontsThroughFontconfig)
{
    const std::vector<InstalledFace> faces = InstalledFaces();
    const InstalledFace *dejavu = nullptr;
    for (const InstalledFace &f : faces)
        if (f.file.endsWith(QLatin1String("/DejaVuSans.ttf"))) dejavu = &f;
    if (!dejavu) GTEST_SKIP() << "DejaVu Sans is not installed";
    EXPECT_EQ(FontFamilyName(dejavu->file), QStringLiteral("DejaVu Sans"));
    const FontPacking p = LookupFonts(
        {QStringLiteral("DejaVu Sans"), QStringLiteral("dejavu sans"), QStringLiteral("DejaVu"), QStringLiteral("No Such Face 42")});
    ASSERT_EQ(p.files.size(), 1);
    EXPECT_EQ(p.files[0], dejavu->file); // the regular face of the family
    EXPECT_EQ(p.checkNames, (std::array<QString, 4>{QStringLiteral("DejaVu Sans"), QStringLiteral("DejaVu Sans"),
                                                    kMissing, kMissing}));
    EXPECT_EQ(p.belongsTo, (std::array<int, 4>{1, 1, 0, 0}));
}

TEST(FontLookup, CollectionFaceOfAnInstalledCjkFont)
{
    for (const InstalledFace &f : InstalledFaces()) {
        if (!f.file.endsWith(QLatin1String(".ttc"))) continue;
        const QString family = FontFamilyName(f.file, f.index);
        if (family.isEmpty()) continue;
        const FontPacking p = LookupFonts({family, family, family, family});
        ASSERT_EQ(p.files.size(), 1) << family.toStdString();
        EXPECT_TRUE(p.files[0].endsWith(QLatin1String(".ttc")));
        EXPECT_EQ(p.checkNames[0], family);
        return;
    }
    GTEST_SKIP() << "no font collection is installed";
}
