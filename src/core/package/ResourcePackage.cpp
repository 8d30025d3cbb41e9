#include "ResourcePackage.h"

#include "FileBytes.h"
#include "PropertyBag.h"

#include <QFile>
#include <QFileInfo>

namespace pvsm {

namespace {

struct Keys
{
    const char *names, *sizes, *offsets;
};

Keys keysOf(PackageKind kind)
{
    if (kind == PackageKind::Frames) return {"FrameNamesCN", "FrameSizes", "FrameOffSets"};
    return {"ImgNames", "ImgSizes", "ImgOffSets"};
}

std::optional<PackageIndex> refuse(QString *problem, const QString &why)
{
    if (problem) *problem = why;
    return std::nullopt;
}

constexpr qint64 kBlobHeader = 16;

// L, the index blob's own length (bytes 4-7, little-endian), from a head that
// starts like a package; -1 when it does not.
qint64 indexLength(QByteArrayView head)
{
    if (head.size() < 8 || uint8_t(head[0]) != 0x93 || uint8_t(head[1]) != 0xB2) return -1;
    const auto *p = reinterpret_cast<const uint8_t *>(head.data());
    return qint64(p[4]) | (qint64(p[5]) << 8) | (qint64(p[6]) << 16) | (qint64(p[7]) << 24);
}

} // namespace

const PackageEntry *PackageIndex::find(const QString &name) const
{
    for (const PackageEntry &e : entries)
        if (e.name.compare(name, Qt::CaseInsensitive) == 0) return &e;
    return nullptr;
}

std::optional<PackageIndex> ParsePackageIndex(QByteArrayView head, qint64 fileSize, PackageKind kind,
                                              QString *problem)
{
    const qint64 length = indexLength(head);
    if (length < 0) return refuse(problem, QStringLiteral("is not a package"));
    if (length < kBlobHeader || length > fileSize || length > head.size())
        return refuse(problem, QStringLiteral("has a damaged index"));
    const auto bag = PropertyBag::fromBlob(head.first(length));
    if (!bag) return refuse(problem, QStringLiteral("has a damaged index"));

    const Keys keys = keysOf(kind);
    bool namesOk = false, sizesOk = false, offsetsOk = false;
    const QStringList names = bag->readStringArray(QString::fromLatin1(keys.names), nullptr, &namesOk);
    const std::vector<int32_t> sizes = bag->readLongArray(QString::fromLatin1(keys.sizes), nullptr, &sizesOk);
    const std::vector<int32_t> offsets = bag->readLongArray(QString::fromLatin1(keys.offsets), nullptr, &offsetsOk);
    if (!namesOk || !sizesOk || !offsetsOk || qsizetype(sizes.size()) != names.size() ||
        offsets.size() != sizes.size())
        return refuse(problem, QStringLiteral("has an inconsistent index"));

    PackageIndex index;
    index.indexLength = length;
    if (kind == PackageKind::Frames) index.copyright = bag->getString(QStringLiteral("CopyrightCN"));
    const qint64 data = fileSize - length;
    for (size_t i = 0; i < sizes.size(); ++i) {
        const qint64 offset = offsets[i], size = sizes[i];
        if (offset < 0 || size < 0 || offset > data || size > data - offset)
            return refuse(problem, QStringLiteral("has an entry outside the file"));
        index.entries.push_back({names[qsizetype(i)], offset, size});
    }
    return index;
}

std::optional<PackageIndex> ReadPackageIndex(const QString &path, PackageKind kind, QString *problem)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return refuse(problem, QStringLiteral("cannot be read"));
    const qint64 fileSize = file.size();
    const qint64 length = indexLength(file.peek(8));
    if (length < 0) return refuse(problem, QStringLiteral("is not a package"));
    // Only as much as the file holds is read; the parser refuses the rest.
    const QByteArray head = file.read(std::min(length, fileSize));
    return ParsePackageIndex(head, fileSize, kind, problem);
}

QByteArray ReadPackageEntry(const QString &path, const PackageIndex &index, const PackageEntry &entry)
{
    QByteArray bytes;
    if (ReadFileBytes(bytes, path, index.indexLength + entry.offset, entry.size) != entry.size) return {};
    return bytes;
}

QByteArray BuildPackage(PackageKind kind, const std::vector<PackageSource> &entries, const QString &copyright)
{
    const Keys keys = keysOf(kind);
    QStringList names;
    std::vector<int32_t> sizes, offsets;
    int32_t offset = 0;
    for (const PackageSource &e : entries) {
        names << e.name;
        sizes.push_back(int32_t(e.bytes.size()));
        offsets.push_back(offset);
        offset += int32_t(e.bytes.size());
    }
    PropertyBag bag;
    if (kind == PackageKind::Frames) bag.putStr(QStringLiteral("CopyrightCN"), copyright);
    bag.writeStringArray(QString::fromLatin1(keys.names), names);
    bag.writeLongArray(QString::fromLatin1(keys.sizes), sizes);
    bag.writeLongArray(QString::fromLatin1(keys.offsets), offsets);
    QByteArray out = bag.toBlob();
    for (const PackageSource &e : entries) out += e.bytes;
    return out;
}

} // namespace pvsm
