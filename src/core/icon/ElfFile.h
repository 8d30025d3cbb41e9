#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>

namespace pvsm {

// Just enough of an ELF file to find a section by name and to tell programs
// from libraries. 32- and 64-bit, either byte order. Every offset and size is
// checked against the file's length before it is used.
class ElfFile
{
public:
    static constexpr int kExec = 2, kDyn = 3;

    struct Range
    {
        qint64 offset = 0, size = 0;
        bool fitsIn(qint64 length) const
        {
            return offset >= 0 && size >= 0 && offset <= length && size <= length - offset;
        }
    };

    struct Section
    {
        quint32 nameOffset = 0;
        quint32 type = 0;
        quint32 link = 0;
        Range range; // in the file; size 0 for a section without file bytes
    };

    // Reads `range` of the file; fewer bytes than asked means the read failed.
    using RangeReader = std::function<QByteArray(Range)>;

    // From the first bytes of the file (at least its ELF header) and the file's
    // length; nullopt for anything that is not a sane ELF header.
    static std::optional<ElfFile> parse(QByteArrayView head, qint64 fileSize);

    int type() const { return m_type; }
    Range programHeaderRange() const { return {m_phoff, qint64(m_phnum) * m_phentsize}; }
    Range sectionHeaderRange() const { return {m_shoff, qint64(m_shnum) * m_shentsize}; }
    // True when the program headers (the bytes of programHeaderRange()) name an interpreter.
    bool hasInterpreter(QByteArrayView table) const;

    // The section called `name`, its bytes within the file; nullopt when it is
    // absent, has no bytes in the file, or the tables are damaged.
    std::optional<Section> findSection(QByteArrayView name, const RangeReader &read) const;

private:
    std::optional<Section> sectionAt(QByteArrayView headers, quint32 index) const;
    quint64 word(QByteArrayView b, qint64 at, int bytes) const;

    bool m_is64 = false, m_bigEndian = false;
    int m_type = 0;
    qint64 m_fileSize = 0;
    qint64 m_phoff = 0, m_shoff = 0;
    quint32 m_phentsize = 0, m_phnum = 0, m_shentsize = 0, m_shnum = 0, m_shstrndx = 0;
};

// A reader of ranges of the file at `path`.
ElfFile::RangeReader fileRangeReader(const QString &path);

} // namespace pvsm
