#include "IconFixtures.h"
#include "IconReplace.h"
#include "IconScan.h"
#include "IconSlot.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

using namespace pvsm;
using pvsm::fixtures::iconImage;

namespace {

using fixtures::fileBytes;

void write(const QString &path, const QByteArray &bytes) { ASSERT_FALSE(fixtures::writeBytes(path, bytes).isEmpty()); }

// A copy of the probe program, which carries the slot as the player does.
QString probeCopy(const QTemporaryDir &dir)
{
    const QString path = dir.filePath("player");
    QFile::remove(path);
    EXPECT_TRUE(QFile::copy(QStringLiteral(ICON_SLOT_PROBE), path));
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
    return path;
}

QString runProbe(const QString &path)
{
    QProcess p;
    p.start(path, {});
    p.waitForFinished(30000);
    return QString::fromLatin1(p.readAllStandardOutput());
}

QByteArray emptySlot()
{
    QByteArray slot(kIconSlotSize, '\0');
    slot.replace(0, 8, QByteArray(kIconSlotMagic, 8));
    slot[kIconSlotVersionAt] = char(kIconSlotVersion);
    slot[kIconSlotCapacityAt] = char(kIconSlotCapacity & 0xFF);
    slot[kIconSlotCapacityAt + 1] = char(kIconSlotCapacity >> 8);
    return slot;
}

} // namespace

TEST(IconSlot, ReplacedIconIsWhatThePlayerReads)
{
    QTemporaryDir dir;
    const QString program = probeCopy(dir);
    ASSERT_TRUE(FindIconSlot(program));
    EXPECT_TRUE(ReadIconSlot(program).isEmpty());
    EXPECT_EQ(runProbe(program), QStringLiteral("0\n\n"));

    // The largest image offered fills the slot; only the slot's bytes change.
    const QByteArray before = fileBytes(program);
    const QByteArray ico = SingleImageIcon(iconImage(48, 32, '\x33'), 48, 32);
    write(dir.filePath("icofinal.ico"), ico);
    ASSERT_TRUE(ReplaceIcon(dir.filePath("icofinal.ico"), program));
    const QByteArray after = fileBytes(program);
    ASSERT_EQ(after.size(), before.size());
    const ElfFile::Range slot = *FindIconSlot(program);
    EXPECT_EQ(after.left(slot.offset), before.left(slot.offset));
    EXPECT_EQ(after.mid(slot.offset + slot.size), before.mid(slot.offset + slot.size));
    EXPECT_EQ(ReadIconSlot(program), ico);
    EXPECT_EQ(runProbe(program), QStringLiteral("%1\n%2\n").arg(ico.size()).arg(QString::fromLatin1(ico.toHex())));

    // A smaller icon replaces the larger one entirely.
    const QByteArray small = SingleImageIcon(iconImage(32, 8), 32, 8);
    write(dir.filePath("small.ico"), small);
    ASSERT_TRUE(ReplaceIcon(dir.filePath("small.ico"), program));
    EXPECT_EQ(ReadIconSlot(program), small);
    EXPECT_EQ(fileBytes(program).mid(slot.offset + kIconSlotHeader + small.size(), 64), QByteArray(64, '\0'));
}

TEST(IconSlot, FirstImageOfAManyImageIconFileIsTaken)
{
    QTemporaryDir dir;
    const QString program = probeCopy(dir);
    // Two directory entries; the first image lies after both.
    const QByteArray first = iconImage(32, 24, '\x01'), second = iconImage(48, 8, '\x02');
    QByteArray ico("\0\0\1\0\2\0", 6);
    auto entry = [&](int edge, int depth, qint64 length, qint64 offset) {
        ico.append(char(edge)).append(char(edge)).append(char(0)).append(char(0));
        fixtures::putLE(ico, 1, 2);
        fixtures::putLE(ico, uint64_t(depth), 2);
        fixtures::putLE(ico, uint64_t(length), 4);
        fixtures::putLE(ico, uint64_t(offset), 4);
    };
    entry(32, 24, first.size(), 38);
    entry(48, 8, second.size(), 38 + first.size());
    ico += first + second;
    write(dir.filePath("two.ico"), ico);
    ASSERT_TRUE(ReplaceIcon(dir.filePath("two.ico"), program));
    EXPECT_EQ(ReadIconSlot(program), SingleImageIcon(first, 32, 24));
}

TEST(IconSlot, RefusalsLeaveTheProgramUnchanged)
{
    QTemporaryDir dir;
    const QString program = probeCopy(dir);
    const QByteArray before = fileBytes(program);
    const QByteArray good = SingleImageIcon(iconImage(32, 8), 32, 8);

    // An image larger than the slot, a truncated icon file, a cursor file, no file.
    QByteArray huge = SingleImageIcon(QByteArray(kIconSlotCapacity, 'h'), 64, 32);
    const struct { const char *name; QByteArray bytes; } icons[] = {
        {"huge.ico", huge}, {"cut.ico", good.chopped(1)}, {"head.ico", good.left(21)},
        {"cursor.ico", QByteArray(good).replace(2, 1, "\2")}};
    for (const auto &icon : icons) {
        write(dir.filePath(icon.name), icon.bytes);
        EXPECT_FALSE(ReplaceIcon(dir.filePath(icon.name), program)) << icon.name;
    }
    EXPECT_FALSE(ReplaceIcon(dir.filePath("none.ico"), program));
    EXPECT_EQ(fileBytes(program), before);

    // Programs without a slot we recognise.
    write(dir.filePath("good.ico"), good);
    QByteArray wrongMagic = emptySlot();
    wrongMagic[0] = 'X';
    QByteArray wrongCapacity = emptySlot();
    wrongCapacity[kIconSlotCapacityAt] = char(0xFF);
    const struct { const char *name; QByteArray bytes; } programs[] = {
        {"other", fixtures::elfWithSection(".data", emptySlot())},
        {"short", fixtures::elfWithSection(kIconSlotSection, emptySlot().chopped(1))},
        {"magic", fixtures::elfWithSection(kIconSlotSection, wrongMagic)},
        {"capacity", fixtures::elfWithSection(kIconSlotSection, wrongCapacity)},
        {"cut", fixtures::elfWithSection(kIconSlotSection, emptySlot()).chopped(10)},
        {"text", QByteArray(20000, 'a')}};
    for (const auto &p : programs) {
        write(dir.filePath(p.name), p.bytes);
        EXPECT_FALSE(FindIconSlot(dir.filePath(p.name))) << p.name;
        EXPECT_FALSE(ReplaceIcon(dir.filePath("good.ico"), dir.filePath(p.name))) << p.name;
        EXPECT_EQ(fileBytes(dir.filePath(p.name)), p.bytes) << p.name;
    }
    // The crafted file with a proper slot is accepted, so the refusals above are the damage's doing.
    write(dir.filePath("crafted"), fixtures::elfWithSection(kIconSlotSection, emptySlot()));
    EXPECT_TRUE(ReplaceIcon(dir.filePath("good.ico"), dir.filePath("crafted")));
    EXPECT_EQ(ReadIconSlot(dir.filePath("crafted")), good);
}

TEST(IconSlot, SectionTablesPointingOutsideTheFileAreRefused)
{
    const QByteArray good = fixtures::elfWithSection(kIconSlotSection, emptySlot());
    const std::optional<ElfFile> elf = ElfFile::parse(good, good.size());
    ASSERT_TRUE(elf);
    const qint64 headers = elf->sectionHeaderRange().offset;
    const auto read = [](const QByteArray &file) {
        return [file](ElfFile::Range r) { return file.mid(r.offset, r.size); };
    };
    ASSERT_TRUE(elf->findSection(kIconSlotSection, read(good)));
    // Section 1's offset (at +24 in a 64-bit section header) and size (+32)
    // set huge; the name table's index set past the table.
    const struct { qint64 at; int bytes; } damage[] = {{headers + 64 + 24, 8}, {headers + 64 + 32, 8}, {62, 2}};
    for (const auto &d : damage) {
        QByteArray bad = good;
        for (int i = 0; i < d.bytes - 1; ++i) bad[d.at + i] = char(0xFF);
        const std::optional<ElfFile> parsed = ElfFile::parse(bad, bad.size());
        if (!parsed) continue;
        EXPECT_FALSE(parsed->findSection(kIconSlotSection, read(bad))) << d.at;
    }
    QByteArray entrySize = good;
    entrySize[58] = char(0xFF); // section header entries of 65535 bytes
    entrySize[59] = char(0xFF);
    EXPECT_FALSE(ElfFile::parse(entrySize, entrySize.size()));
    QByteArray table = good;
    table[40] = char(0xF0); // section header table offset beyond the file
    table[44] = char(0x7F);
    EXPECT_FALSE(ElfFile::parse(table, table.size()));
}
