#include "SlideshowFile.h"

#include "AtomicFile.h"
#include "FileBytes.h"
#include "FileCheck.h"
#include "Scramble.h"

#include <QFileInfo>

#include <algorithm>

namespace pvsm {

namespace {

const QString kOffSet = QStringLiteral("_OffSet");
const QString kSize = QStringLiteral("_Size");
const QString kType = QStringLiteral("_Type");
constexpr qint64 kCopyPiece = 4 * 1024 * 1024;

} // namespace

std::optional<SlideshowContents> ParseSlideshowTail(QByteArrayView trailerBytes, QByteArrayView blob, qint64 fileSize,
                                                    QString *problem)
{
    auto refuse = [&](const QString &why) -> std::optional<SlideshowContents> {
        if (problem) *problem = why;
        return std::nullopt;
    };
    if (fileSize < kTrailerSize || trailerBytes.size() != kTrailerSize)
        return refuse(QStringLiteral("is too short to be a slideshow"));
    const std::optional<PackageTrailer> trailer = decodeTrailer(trailerBytes);
    if (!trailer) return refuse(QStringLiteral("has no slideshow trailer"));
    const qint64 P = trailer->playerLength, D = trailer->resourcesLength, B = trailer->blobLength;
    if (P + D + B + kTrailerSize != fileSize)
        return refuse(QStringLiteral("has a trailer whose lengths (%1 + %2 + %3 + 16) do not add up to the file's %4 bytes")
                          .arg(P).arg(D).arg(B).arg(fileSize));
    if (blob.size() != B) return refuse(QStringLiteral("has a settings record that cannot be read"));
    std::optional<PropertyBag> record = PropertyBag::fromBlob(blob);
    if (!record) return refuse(QStringLiteral("has a damaged settings record"));

    SlideshowContents contents;
    contents.trailer = *trailer;
    for (const PropertyBag::Entry &e : record->entries()) {
        if (!e.key.endsWith(kOffSet)) continue;
        const QString key = e.key.chopped(kOffSet.size());
        const BagValue size = record->value(key + kSize);
        if (e.value.type() != BagType::I4 || size.type() != BagType::I4)
            return refuse(QStringLiteral("has a damaged index entry for %1").arg(key));
        const qint64 offset = e.value.toInt(), length = size.toInt();
        if (offset < 0 || length < 0 || offset + length > D)
            return refuse(QStringLiteral("has resource %1 at %2 + %3 outside its %4 bytes of resources")
                              .arg(key).arg(offset).arg(length).arg(D));
        contents.resources.push_back({key, offset, length, record->getString(key + kType)});
    }
    std::stable_sort(contents.resources.begin(), contents.resources.end(),
                     [](const SlideshowResource &a, const SlideshowResource &b) { return a.offset < b.offset; });
    contents.record = std::move(*record);
    return contents;
}

std::optional<SlideshowContents> ReadSlideshow(const QString &path, QString *problem)
{
    if (const FileProblem p = readProblem(path); p != FileProblem::None) {
        if (problem) *problem = fileProblemText(p);
        return std::nullopt;
    }
    const qint64 size = QFileInfo(path).size();
    QByteArray trailer;
    if (size < kTrailerSize || ReadFileBytes(trailer, path, size - kTrailerSize, kTrailerSize) != kTrailerSize) {
        if (problem) *problem = QStringLiteral("is too short to be a slideshow");
        return std::nullopt;
    }
    // The record is read only once the trailer's lengths fit the file, so a
    // foreign file never makes us allocate what its last bytes claim.
    QByteArray blob;
    const std::optional<PackageTrailer> t = decodeTrailer(trailer);
    if (t && qint64(t->playerLength) + t->resourcesLength + t->blobLength + kTrailerSize == size
        && t->blobLength <= kMaxBagFileSize)
        ReadFileBytes(blob, path, qint64(t->playerLength) + t->resourcesLength, t->blobLength);
    return ParseSlideshowTail(trailer, blob, size, problem);
}

bool ExtractSlideshowResource(const QString &path, const QString &key, const QString &outPath, QString *problem)
{
    const std::optional<SlideshowContents> show = ReadSlideshow(path, problem);
    if (!show) return false;
    const auto it = std::find_if(show->resources.begin(), show->resources.end(),
                                 [&](const SlideshowResource &r) { return r.key == key; });
    if (it == show->resources.end()) {
        if (problem) *problem = QStringLiteral("holds no resource %1").arg(key);
        return false;
    }
    AtomicFileWriter writer(outPath);
    if (!writer.open()) {
        if (problem) *problem = QStringLiteral("cannot be written to %1: %2").arg(outPath, fileProblemText(writer.problem()));
        return false;
    }
    const qint64 start = qint64(show->trailer.playerLength) + it->offset;
    for (qint64 done = 0; done < it->size;) {
        QByteArray piece;
        const qint64 want = std::min(kCopyPiece, it->size - done);
        if (ReadFileBytes(piece, path, start + done, want) != want) {
            if (problem) *problem = QStringLiteral("changed while it was read");
            return false;
        }
        if (done == 0) ScrambleHead(piece);
        if (!writer.write(piece)) break;
        done += want;
    }
    if (!writer.commit()) {
        if (problem) *problem = QStringLiteral("cannot be written to %1: %2").arg(outPath, fileProblemText(writer.problem()));
        return false;
    }
    return true;
}

} // namespace pvsm
