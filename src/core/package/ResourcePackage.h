#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace pvsm {

// The resource package "gmi.src" and the picture-frame packages "N.frame":
// a property-bag index of length L, then the entries back to back, each a
// whole picture file, unscrambled (docs/formats.md). Packages on disk are
// untrusted: the reader checks every offset and size against the file.
enum class PackageKind
{
    Resources, // ImgNames, ImgSizes, ImgOffSets
    Frames,    // CopyrightCN, FrameNamesCN, FrameSizes, FrameOffSets
};

struct PackageEntry
{
    QString name;       // file name (resources) or display name (frames)
    qint64 offset = 0;  // from the end of the index
    qint64 size = 0;
};

struct PackageIndex
{
    qint64 indexLength = 0; // L: the entries start here
    QString copyright;      // frame packages only; may be empty
    std::vector<PackageEntry> entries;

    // The entry of that name, letter case ignored; null when absent.
    const PackageEntry *find(const QString &name) const;
};

// Parses the index from the first bytes of a package of `fileSize` bytes
// (`head` must hold at least L bytes; fewer is a damaged package). On
// failure returns nullopt and, when asked, the reason in English words.
std::optional<PackageIndex> ParsePackageIndex(QByteArrayView head, qint64 fileSize, PackageKind kind,
                                              QString *problem = nullptr);
std::optional<PackageIndex> ReadPackageIndex(const QString &path, PackageKind kind, QString *problem = nullptr);

// The bytes of one entry of a package read by ReadPackageIndex; empty when
// the file changed under us and no longer holds them.
QByteArray ReadPackageEntry(const QString &path, const PackageIndex &index, const PackageEntry &entry);

// A whole package file: the index for `kind` and the entries in order.
struct PackageSource
{
    QString name;
    QByteArray bytes;
};
QByteArray BuildPackage(PackageKind kind, const std::vector<PackageSource> &entries, const QString &copyright = {});

} // namespace pvsm
