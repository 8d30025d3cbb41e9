#include "SlideshowPackage.h"

#include "FileBytes.h"
#include "PictureEncode.h"
#include "ProjectKeys.h"
#include "ProjectLists.h"
#include "Scramble.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <deque>
#include <future>
#include <thread>

namespace pvsm {

namespace {

constexpr BuiltInResource kBuiltIns[] = {
    {"TextureImage", "rainbow.jpg"},     {"btn_close", "btn_close.png"},   {"btn_min", "btn_min.png"},
    {"btn_music_next", "btn_music_next.png"}, {"btn_mute_off", "btn_mute_off.png"}, {"btn_mute_on", "btn_mute_on.png"},
    {"btn_next", "btn_next.png"},        {"btn_pause", "btn_pause.png"},   {"btn_play", "btn_play.png"},
    {"btn_prev", "btn_prev.png"},        {"btn_size", "btn_size.png"},     {"btn_scale", "btn_scale.png"},
};

QString suffixed(const QString &key, const char *suffix)
{
    return key + QLatin1String(suffix);
}

// Files are copied in pieces, so a song of hundreds of megabytes never sits
// in memory whole and a cancel is seen between pieces.
constexpr qint64 kCopyPiece = 4 * 1024 * 1024;

// The longest "_Type" a resource can get ("UnKnown"), for the bound of the
// record's size before the pictures are prepared.
const QString kLongestType = QStringLiteral("UnKnown");

bool isPicturePath(const QString &path)
{
    return hasSupportedPictureExtension(path);
}

QString fileType(const QString &path)
{
    return path.right(3).toUpper();
}

} // namespace

std::span<const BuiltInResource> builtInResources()
{
    return kBuiltIns;
}

PackageAppender::PackageAppender(AtomicFileWriter &out, qint64 playerLength, PropertyBag &bag, qint64 blobBound)
    : m_out(out)
    , m_player(playerLength)
    , m_bag(bag)
    , m_blobBound(blobBound)
{
}

bool PackageAppender::fits(qint64 more)
{
    if (m_player + m_resources + more + m_blobBound + kTrailerSize <= kMaxSlideshowBytes) return true;
    m_result.status = ResourceWriteResult::Status::TooLarge;
    return false;
}

void PackageAppender::putIndex(const QString &key, qint64 length, const QString &type)
{
    m_bag.putI4(suffixed(key, key::OffSetSuffix), int32_t(m_resources));
    m_bag.putI4(suffixed(key, key::SizeSuffix), int32_t(length));
    if (!type.isNull()) m_bag.putStr(suffixed(key, key::TypeSuffix), type);
    m_resources += length;
}

bool PackageAppender::appendBytes(const QString &key, QByteArray bytes, const QString &type)
{
    if (!fits(bytes.size())) return false;
    ScrambleHead(bytes);
    if (!m_out.write(bytes)) {
        m_result.status = ResourceWriteResult::Status::WriteFailed;
        m_result.problem = m_out.problem();
        return false;
    }
    putIndex(key, bytes.size(), type);
    return true;
}

bool PackageAppender::appendFile(const QString &key, const QString &path, const QString &type,
                                 const JobControl &control)
{
    auto unreadable = [&](FileProblem problem) {
        m_result.status = ResourceWriteResult::Status::ReadFailed;
        m_result.path = path;
        m_result.problem = problem;
        return false;
    };
    if (const FileProblem problem = readProblem(path); problem != FileProblem::None) return unreadable(problem);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return unreadable(FileProblem::NotReadable);
    qint64 length = 0;
    for (;;) {
        if (control.cancelled()) {
            m_result.status = ResourceWriteResult::Status::Cancelled;
            return false;
        }
        QByteArray piece = file.read(kCopyPiece);
        if (piece.isEmpty()) {
            if (file.error() != QFileDevice::NoError) return unreadable(FileProblem::NotReadable);
            break;
        }
        if (!fits(length + piece.size())) return false;
        if (length == 0) ScrambleHead(piece);
        if (!m_out.write(piece)) {
            m_result.status = ResourceWriteResult::Status::WriteFailed;
            m_result.problem = m_out.problem();
            return false;
        }
        length += piece.size();
    }
    putIndex(key, length, type);
    return true;
}

bool AppendBuiltInResource(PackageAppender &appender, const QString &key, const QString &fileName,
                           const QString &packagePath, const PackageIndex &index)
{
    const PackageEntry *entry = index.find(fileName);
    if (!entry) return true;
    const QByteArray bytes = ReadPackageEntry(packagePath, index, *entry);
    if (bytes.size() != entry->size) return true; // the package changed under us: as if absent
    return appender.appendBytes(key, bytes, QString());
}

ResourceWriteResult WriteResources(AtomicFileWriter &out, qint64 playerLength, PropertyBag &bag,
                                   const ResourceInputs &inputs, const QString &caption, const JobControl &control)
{
    // The record's final size bounded before anything is appended: every
    // index key it will hold, with the longest type a resource can get.
    qint64 blobBound = 0;
    {
        PropertyBag bound = bag;
        auto put = [&](const QString &key, bool typed) {
            bound.putI4(suffixed(key, key::OffSetSuffix), 0);
            bound.putI4(suffixed(key, key::SizeSuffix), 0);
            if (typed) bound.putStr(suffixed(key, key::TypeSuffix), kLongestType);
        };
        for (const BuiltInResource &b : kBuiltIns) put(QString::fromLatin1(b.key), false);
        put(QString::fromLatin1(key::PictureFrameData), false);
        for (const ResourceEntry &e : inputs.resources) put(e.key, true);
        blobBound = bound.toBlob().size();
    }

    PackageAppender appender(out, playerLength, bag, blobBound);
    auto stopped = [&]() {
        ResourceWriteResult r = appender.result();
        if (r.ok()) r.status = ResourceWriteResult::Status::Cancelled;
        return r;
    };

    if (inputs.resourceIndex) {
        for (const BuiltInResource &b : kBuiltIns)
            if (!AppendBuiltInResource(appender, QString::fromLatin1(b.key), QString::fromLatin1(b.fileName),
                                       inputs.resourcePackage, *inputs.resourceIndex))
                return stopped();
    }
    if (!inputs.frameData.isEmpty()
        && !appender.appendBytes(QString::fromLatin1(key::PictureFrameData), inputs.frameData, QString()))
        return stopped();

    // Pictures are re-encoded on every core a little ahead of the writing;
    // the window of work in flight keeps memory to a few pictures.
    const std::vector<ResourceEntry> &list = inputs.resources;
    const size_t lookahead = std::max(2u, std::thread::hardware_concurrency());
    std::deque<std::pair<size_t, std::future<PreparedPicture>>> pending;
    size_t next = 0;
    auto refill = [&]() {
        while (pending.size() < lookahead && next < list.size()) {
            const size_t i = next++;
            if (!isPicturePath(list[i].path)) continue;
            const QString path = list[i].path;
            pending.emplace_back(i, std::async(std::launch::async, [path]() { return PreparePictureForPackage(path); }));
        }
    };
    const size_t n = list.size();
    for (size_t k = 0; k < n; ++k) {
        refill();
        if (control.cancelled()) return stopped();
        const ResourceEntry &entry = list[k];
        bool ok = false;
        if (!pending.empty() && pending.front().first == k) {
            const PreparedPicture picture = pending.front().second.get();
            pending.pop_front();
            ok = picture.reencoded ? appender.appendBytes(entry.key, picture.bytes, picture.type)
                                   : appender.appendFile(entry.key, entry.path, picture.type, control);
        } else {
            ok = appender.appendFile(entry.key, entry.path, fileType(entry.path), control);
        }
        if (!ok) return stopped();
        if (!caption.isEmpty()) control.report(int(std::lround(double(k + 1) / double(n) * 100.0)), caption);
    }

    const QByteArray blob = bag.toBlob();
    bag.clear();
    ResourceWriteResult result;
    result.trailer.playerLength = uint32_t(playerLength);
    result.trailer.resourcesLength = uint32_t(appender.resourcesLength());
    result.trailer.blobLength = uint32_t(blob.size());
    const qint64 total = playerLength + appender.resourcesLength() + blob.size() + kTrailerSize;
    if (total > kMaxSlideshowBytes) {
        result.status = ResourceWriteResult::Status::TooLarge;
        return result;
    }
    if (!out.write(blob) || !out.write(encodeTrailer(result.trailer))) {
        result.status = ResourceWriteResult::Status::WriteFailed;
        result.problem = out.problem();
        return result;
    }

    // What the disk holds, read back before the file takes the user's name.
    const QString written = out.temporaryPath();
    QByteArray tail;
    if (QFileInfo(written).size() != total || ReadFileBytes(tail, written, total - kTrailerSize, kTrailerSize) != kTrailerSize
        || encodeTrailer(result.trailer) != tail)
        result.status = ResourceWriteResult::Status::VerifyFailed;
    return result;
}

} // namespace pvsm
