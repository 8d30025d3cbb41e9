// Resource and frame packages from untrusted files (gmi.src, N.frame, a
// package the user adds): the index parser must refuse or accept without
// reading past the data, and every entry it accepts must lie inside the file.
#include "FuzzSeedExport.h"
#include "PropertyBag.h"
#include "ResourcePackage.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// Fuzzed bytes rarely carry a valid index checksum; fix it over the index's
// declared length so the parser's structural checks are reached.
QByteArray withChecksum(QByteArray file)
{
    if (file.size() < pvsm::kBagHeaderSize) return file;
    const auto *p = reinterpret_cast<const uint8_t *>(file.constData());
    const qint64 length = qint64(p[4]) | (qint64(p[5]) << 8) | (qint64(p[6]) << 16) | (qint64(p[7]) << 24);
    if (length < pvsm::kBagHeaderSize || length > file.size()) return file;
    uint32_t c = 0xFFFFFFFFu;
    for (qint64 i = pvsm::kBagHeaderSize; i < length; ++i) {
        c ^= uint8_t(file[qsizetype(i)]);
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (0xEDB88320u ^ (c >> 1)) : (c >> 1);
    }
    c ^= 0xFFFFFFFFu;
    for (int i = 0; i < 4; ++i) file[12 + i] = char((c >> (8 * i)) & 0xFF);
    return file;
}

void check(const QByteArray &file, pvsm::PackageKind kind)
{
    const auto index = pvsm::ParsePackageIndex(file, file.size(), kind);
    if (!index) return;
    if (index->indexLength < pvsm::kBagHeaderSize || index->indexLength > file.size()) std::abort();
    for (const pvsm::PackageEntry &e : index->entries) {
        if (e.offset < 0 || e.size < 0 || index->indexLength + e.offset + e.size > file.size()) std::abort();
        // Touch the entry's bytes: a range outside the buffer shows under ASan.
        const QByteArray entry = file.mid(qsizetype(index->indexLength + e.offset), qsizetype(e.size));
        if (entry.size() != e.size) std::abort();
    }
    index->find(QStringLiteral("TESTFRAME.PNG"));
}

} // namespace

extern "C" std::vector<QByteArray> pvsmFuzzSeeds()
{
    const QByteArray png("\x89PNG\r\n\x1a\n frame", 15);
    return {
        pvsm::BuildPackage(pvsm::PackageKind::Resources,
                           {{QStringLiteral("rainbow.jpg"), QByteArray("\xFF\xD8\xFF jpeg", 8)},
                            {QStringLiteral("TESTFRAME.PNG"), png}}),
        pvsm::BuildPackage(pvsm::PackageKind::Frames,
                           {{QStringLiteral("金色画框"), png}, {QStringLiteral("电影胶片"), png + png}},
                           QStringLiteral("版权声明")),
        pvsm::BuildPackage(pvsm::PackageKind::Frames, {}),
    };
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QByteArray &candidate : {bytes, withChecksum(bytes)}) {
        check(candidate, pvsm::PackageKind::Resources);
        check(candidate, pvsm::PackageKind::Frames);
        // The same file cut short, as a truncated download would be.
        if (candidate.size() > 8) check(candidate.first(candidate.size() / 2), pvsm::PackageKind::Frames);
    }
    return 0;
}
