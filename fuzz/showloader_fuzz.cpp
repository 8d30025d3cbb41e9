// The player's reading of a slideshow from untrusted bytes: the trailer, the
// record, the resource index and the unpacking. Whatever the bytes, loading
// either refuses with a message or gives a show whose every file lies in its
// private folder and is no larger than the input.
#include "FuzzBlob.h"
#include "FuzzSeedExport.h"
#include "ProjectKeys.h"
#include "Scramble.h"
#include "ShowLoader.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

QByteArray png()
{
    QImage img(4, 3, QImage::Format_RGB32);
    img.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    return bytes;
}

struct Part
{
    const char *key;
    QByteArray bytes;
    const char *type; // nullptr: a built-in without "_Type"
};

QByteArray assemble(const std::vector<Part> &parts, pvsm::PropertyBag record)
{
    const QByteArray player("\x7F"
                            "ELF player",
                            11);
    QByteArray resources;
    for (const Part &p : parts) {
        const QString key = QString::fromLatin1(p.key);
        record.putI4(key + QStringLiteral("_OffSet"), int32_t(resources.size()));
        record.putI4(key + QStringLiteral("_Size"), int32_t(p.bytes.size()));
        if (p.type) record.putStr(key + QStringLiteral("_Type"), QString::fromLatin1(p.type));
        QByteArray scrambled = p.bytes;
        pvsm::ScrambleHead(scrambled);
        resources += scrambled;
    }
    const QByteArray blob = record.toBlob();
    return player + resources + blob +
           pvsm::encodeTrailer({uint32_t(player.size()), uint32_t(resources.size()), uint32_t(blob.size())});
}

pvsm::PropertyBag seedRecord()
{
    pvsm::PropertyBag record;
    record.putI4(QStringLiteral("OrigScreenWidth"), 1280);
    record.putI4(QStringLiteral("OrigScreenHeight"), 720);
    record.putI4(QStringLiteral("NowI"), 2);
    record.putI4(QStringLiteral("NowM"), 1);
    record.putI4(QStringLiteral("LyricFilesCount"), 1);
    record.putI4(QStringLiteral("ToInstallFontCount"), 1);
    record.putI4(QStringLiteral("ssDirectPlay"), 1);
    record.putI2(QStringLiteral("ResFileSize"), 7);
    return record;
}

std::vector<Part> seedParts()
{
    const QByteArray picture = png();
    return {
        {"btn_play", picture, nullptr},
        {"PictureFrameData", picture, nullptr},
        {"LogoImage", picture, "PNG"},
        {"ToInstallFont(1)", QByteArray("not really a font"), "TTF"},
        {"MusicNames(1)", QByteArray(300, 's'), "MP3"},
        {"MusicLyricFiles(1)", QByteArray("[00:01.00]x\n"), "LRC"},
        {"ImgNames(1)", picture, "PNG"},
        {"ImgNames(2)", picture, "../../x"},
    };
}

const QByteArray &seed()
{
    static const QByteArray s = assemble(seedParts(), seedRecord());
    return s;
}

const QString &privateParent()
{
    static QTemporaryDir dir;
    static const QString path = dir.path();
    return path;
}

void check(const QByteArray &file)
{
    pvsm::ShowLoadOptions options;
    options.registerFonts = false;
    options.privateParent = privateParent();
    const pvsm::ShowLoadResult r = pvsm::LoadSlideshowBytes(file, QStringLiteral("fuzz.exe"), options);
    if (!r.ok()) {
        if (r.error.message.isEmpty()) std::abort();
        return;
    }
    const pvsm::LoadedShow &show = *r.show;
    if (show.project.pictures.empty()) std::abort();
    if (!show.packaged) return; // paths of this machine: nothing was unpacked
    if (!show.folder) std::abort();
    const QString folder = show.folder->path() + QLatin1Char('/');
    for (const pvsm::Picture &p : show.project.pictures) {
        const QFileInfo info(p.path);
        if (!QFileInfo(p.path).absoluteFilePath().startsWith(folder) || info.size() > file.size()) std::abort();
    }
    for (const pvsm::Song &s : show.project.songs)
        if (!QFileInfo(s.path).absoluteFilePath().startsWith(folder)) std::abort();
}

// The index keys a structured input may change.
const char *const kTargets[] = {"ImgNames(1)_OffSet",
                                "ImgNames(1)_Size",
                                "ImgNames(2)_OffSet",
                                "ImgNames(2)_Size",
                                "MusicNames(1)_OffSet",
                                "MusicNames(1)_Size",
                                "btn_play_OffSet",
                                "btn_play_Size",
                                "NowI",
                                "NowM",
                                "ToInstallFontCount",
                                "OrigScreenWidth",
                                "ResFileSize",
                                "PictureFrameData_Size",
                                "LogoImage_OffSet"};

} // namespace

extern "C" std::vector<QByteArray> pvsmFuzzSeeds()
{
    return {seed()};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    check(bytes);
    // The seed with some of its index numbers replaced by the input's, so the
    // bounds checks are met with well-formed records holding any numbers.
    if (size < 5) return 0;
    const auto t = pvsm::decodeTrailer(QByteArrayView(seed()).last(pvsm::kTrailerSize));
    const qint64 body = qint64(t->playerLength) + t->resourcesLength;
    std::optional<pvsm::PropertyBag> record =
        pvsm::PropertyBag::fromBlob(QByteArrayView(seed()).sliced(body, t->blobLength));
    for (size_t at = 0; at + 5 <= size; at += 5) {
        int32_t value;
        std::memcpy(&value, data + at + 1, 4);
        const char *key = kTargets[data[at] % std::size(kTargets)];
        record->putI4(QString::fromLatin1(key), value);
    }
    const QByteArray blob = record->toBlob();
    check(seed().left(body) + blob + pvsm::encodeTrailer({t->playerLength, t->resourcesLength, uint32_t(blob.size())}));
    return 0;
}
