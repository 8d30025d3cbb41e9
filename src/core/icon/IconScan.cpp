#include "IconScan.h"

#include "ElfFile.h"
#include "FileBytes.h"

#include <QFileInfo>
#include <QImage>

namespace pvsm {

namespace {

quint32 u32le(QByteArrayView b, qint64 at)
{
    return quint32(uchar(b[at])) | quint32(uchar(b[at + 1])) << 8 | quint32(uchar(b[at + 2])) << 16 |
           quint32(uchar(b[at + 3])) << 24;
}
quint16 u16le(QByteArrayView b, qint64 at) { return quint16(uchar(b[at]) | uchar(b[at + 1]) << 8); }

void putU16(QByteArray &b, quint16 v)
{
    b.append(char(v & 0xFF));
    b.append(char(v >> 8));
}
void putU32(QByteArray &b, quint32 v)
{
    putU16(b, quint16(v & 0xFFFF));
    putU16(b, quint16(v >> 16));
}

bool isPng(QByteArrayView head) { return head.startsWith(QByteArrayView("\x89PNG\r\n\x1a\n", 8)); }

IconHit pictureHit()
{
    IconHit hit;
    hit.edge = 48;
    hit.depth = 32;
    hit.length = kLargestIconImage;
    hit.fromPicture = true;
    return hit;
}

// Whole fields, not single bytes: a 40 whose next three bytes are not zero
// is no bitmap header, and program code is full of such near misses.
bool iconHeaderAt(QByteArrayView bytes, qint64 p, IconHit &hit)
{
    if (p < 0 || p + 16 > bytes.size() || u32le(bytes, p) != 40) return false;
    const quint32 width = u32le(bytes, p + 4);
    if (width != 32 && width != 48) return false;
    if (u32le(bytes, p + 8) != width * 2 || u16le(bytes, p + 12) != 1) return false;
    const int depth = u16le(bytes, p + 14);
    const qint64 length = IconImageLength(int(width), depth);
    if (length == 0) return false;
    hit = {p, int(width), depth, length, false};
    return true;
}

} // namespace

qint64 IconImageLength(int edge, int depth)
{
    if (edge != 32 && edge != 48) return 0;
    if (depth != 8 && depth != 24 && depth != 32) return 0;
    // Header, palette (8 bits only), colour rows, then the 1-bit mask; rows are
    // padded to 4 bytes, which these edges never need for colour.
    const qint64 palette = depth == 8 ? 256 * 4 : 0;
    const qint64 maskRow = ((edge + 31) / 32) * 4;
    return 40 + palette + qint64(edge) * edge * depth / 8 + maskRow * edge;
}

QString IconListText(int n, const IconHit &hit)
{
    return QStringLiteral("图标 - %1  %2*%2  %3位").arg(n, 3, 10, QLatin1Char('0')).arg(hit.edge).arg(hit.depth);
}

std::vector<IconHit> ScanIconBytes(QByteArrayView bytes, qint64 fileSize)
{
    std::vector<IconHit> hits;
    const qint64 n = bytes.size();
    if (fileSize < n) fileSize = n;
    for (qint64 p = 0; p + 20 < n; ++p) {
        if (uchar(bytes[p]) != 40) continue;
        IconHit hit;
        if (!iconHeaderAt(bytes, p, hit)) continue;
        if (p + hit.length > fileSize) continue;
        hits.push_back(hit);
        if (int(hits.size()) >= kMaxIconHits) break;
    }
    return hits;
}

bool IsElfProgram(const QString &path)
{
    QByteArray head;
    ReadFileBytes(head, path, 0, 64 * 1024);
    const std::optional<ElfFile> elf = ElfFile::parse(head, QFileInfo(path).size());
    if (!elf) return false;
    if (elf->type() == ElfFile::kExec) return true;
    if (elf->type() != ElfFile::kDyn) return false;
    // Program headers normally follow the ELF header; read them where they are.
    QByteArray table;
    if (!elf->programHeaderRange().fitsIn(head.size())) {
        ReadFileBytes(table, path, elf->programHeaderRange().offset, elf->programHeaderRange().size);
        if (table.size() != elf->programHeaderRange().size) return false;
    } else {
        table = head.mid(elf->programHeaderRange().offset, elf->programHeaderRange().size);
    }
    return elf->hasInterpreter(table);
}

IconScan ScanIconFile(const QString &path)
{
    IconScan scan;
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        scan.problem = IconScanProblem::Unreadable;
        return scan;
    }
    const qint64 size = info.size();
    if (size < 21) {
        scan.problem = IconScanProblem::TooSmall;
        return scan;
    }
    QByteArray head;
    ReadFileBytes(head, path, 0, 8);
    if (isPng(head)) {
        QByteArray bytes;
        if (size <= kScanFileLimit) ReadFileBytes(bytes, path, 0, -1);
        if (size > kScanFileLimit) {
            scan.problem = IconScanProblem::TooLarge;
        } else if (PictureToIconImage(bytes).isEmpty()) {
            scan.problem = IconScanProblem::NotAPicture;
        } else {
            scan.hits.push_back(pictureHit());
        }
        return scan;
    }
    scan.program = info.fileName().endsWith(QLatin1String("exe"), Qt::CaseInsensitive) || IsElfProgram(path);
    qint64 count = -1;
    if (scan.program) {
        count = kProgramScanLimit;
    } else if (size > kScanFileLimit) {
        scan.problem = IconScanProblem::TooLarge;
        return scan;
    }
    QByteArray bytes;
    ReadFileBytes(bytes, path, 0, count);
    if (bytes.size() < 21) {
        scan.problem = IconScanProblem::Unreadable;
        return scan;
    }
    scan.hits = ScanIconBytes(bytes, size);
    return scan;
}

QByteArray SingleImageIcon(QByteArrayView image, int edge, int depth)
{
    QByteArray ico;
    ico.reserve(22 + image.size());
    putU16(ico, 0); // reserved
    putU16(ico, 1); // icon
    putU16(ico, 1); // one image
    ico.append(char(edge));
    ico.append(char(edge));
    ico.append(char(0)); // colour count: 0 for 256 colours and more
    ico.append(char(0));
    putU16(ico, 1); // planes
    putU16(ico, quint16(depth));
    putU32(ico, quint32(image.size()));
    putU32(ico, 22);
    ico.append(image.data(), image.size());
    return ico;
}

QByteArray PictureToIconImage(const QByteArray &pictureBytes)
{
    QImage picture;
    if (!picture.loadFromData(pictureBytes)) return {};
    const QImage icon = picture.convertToFormat(QImage::Format_ARGB32)
                            .scaled(48, 48, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                            .convertToFormat(QImage::Format_ARGB32);
    QByteArray image;
    image.reserve(kLargestIconImage);
    putU32(image, 40);
    putU32(image, 48);
    putU32(image, 96); // colour rows and mask together
    putU16(image, 1);
    putU16(image, 32);
    putU32(image, 0); // uncompressed
    putU32(image, 48 * 48 * 4);
    putU32(image, 0);
    putU32(image, 0);
    putU32(image, 0);
    putU32(image, 0);
    for (int y = 47; y >= 0; --y) {
        const auto *row = reinterpret_cast<const QRgb *>(icon.constScanLine(y));
        for (int x = 0; x < 48; ++x) {
            const QRgb c = row[x];
            image.append(char(qBlue(c)));
            image.append(char(qGreen(c)));
            image.append(char(qRed(c)));
            image.append(char(qAlpha(c)));
        }
    }
    // The mask marks what is transparent, for readers that ignore alpha.
    for (int y = 47; y >= 0; --y) {
        const auto *row = reinterpret_cast<const QRgb *>(icon.constScanLine(y));
        uchar bits[8] = {};
        for (int x = 0; x < 48; ++x)
            if (qAlpha(row[x]) < 128) bits[x / 8] |= uchar(0x80 >> (x % 8));
        image.append(reinterpret_cast<const char *>(bits), 8);
    }
    return image;
}

QByteArray ExtractIcon(const QString &path, const IconHit &hit)
{
    if (hit.fromPicture) {
        QByteArray bytes;
        if (QFileInfo(path).size() > kScanFileLimit) return {};
        ReadFileBytes(bytes, path, 0, -1);
        const QByteArray image = PictureToIconImage(bytes);
        return image.isEmpty() ? QByteArray() : SingleImageIcon(image, 48, 32);
    }
    if (IconImageLength(hit.edge, hit.depth) != hit.length || hit.offset < 0) return {};
    QByteArray image;
    if (ReadFileBytes(image, path, hit.offset, hit.length) != hit.length) return {};
    // The file may have changed since the scan.
    IconHit now;
    if (!iconHeaderAt(image, 0, now) || now.edge != hit.edge || now.depth != hit.depth) return {};
    return SingleImageIcon(image, hit.edge, hit.depth);
}

std::optional<IconFileImage> ParseIconFile(QByteArrayView ico)
{
    if (ico.size() < 22 || u16le(ico, 0) != 0 || u16le(ico, 2) != 1 || u16le(ico, 4) < 1) return std::nullopt;
    const quint32 length = u32le(ico, 14), offset = u32le(ico, 18);
    if (offset < 6 + 16 * quint32(u16le(ico, 4))) return std::nullopt; // inside the directory
    if (length == 0 || offset > quint64(ico.size()) || length > quint64(ico.size()) - offset) return std::nullopt;
    IconFileImage result;
    result.edge = uchar(ico[6]) == 0 ? 256 : uchar(ico[6]);
    result.depth = u16le(ico, 12);
    result.image = ico.sliced(offset, length).toByteArray();
    return result;
}

} // namespace pvsm
