// Picture files of any kind from untrusted sources: the probe must give a
// format or "UnKnown", and loading must give a picture or none, never crash,
// hang or allocate without bound.
#include "FuzzSeedExport.h"
#include "PictureInfo.h"
#include "PictureLoad.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// Qt's image readers come as plugins, which want an application object.
void ensureApplication()
{
    if (QCoreApplication::instance()) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "imageinfo_fuzz";
    static char *argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

QByteArray encode(const QImage &image, const char *format)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return out;
}

// Decoding is tried on pictures of at most this many pixels, so every run stays
// quick; bigger ones are refused by the loader's own cap, covered by the tests.
constexpr int64_t kFuzzMaxPixels = 1 << 20;

} // namespace

extern "C" std::vector<QByteArray> pvsmFuzzSeeds()
{
    ensureApplication();
    QImage img(12, 8, QImage::Format_ARGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) img.setPixel(x, y, qRgba(x * 20, y * 30, 90, 128 + x));
    const QByteArray gif("GIF89a\x02\x00\x02\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff\x2c\x00\x00\x00\x00\x02\x00\x02\x00"
                         "\x00\x02\x02\x44\x01\x00\x3b",
                         34);
    QByteArray tga(18, '\0');
    tga[2] = 2;
    tga[12] = 2;
    tga[14] = 2;
    tga[16] = 24;
    tga.append(QByteArray(12, '\x40'));
    QByteArray pcx(128, '\0');
    pcx[0] = 10;
    pcx[2] = 1;
    pcx[3] = 8;
    pcx[8] = 3;
    pcx[10] = 3;
    pcx[65] = 1;
    pcx[66] = 4;
    pcx.append(QByteArray("\xD0\x33", 2));
    return {encode(img, "png"), encode(img.convertToFormat(QImage::Format_RGB32), "jpeg"),
            encode(img.convertToFormat(QImage::Format_Indexed8), "bmp"), encode(img, "tiff"), gif, tga, pcx};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ensureApplication();
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const pvsm::ImageInfo info = pvsm::GetImageInfoFromBytes(bytes, true);
    const bool tagged = info.Format == pvsm::formatTag(info.format);
    if (!tagged || (info.known() && (info.Width < 0 || info.Height < 0 || info.ColorDepth < 0))) std::abort();
    if (!info.known() || int64_t(info.Width) * info.Height > kFuzzMaxPixels) return 0;
    const QImage whole = pvsm::LoadPictureBytes(bytes);
    if (!whole.isNull() && whole.size() != info.displaySize()) std::abort();
    const QImage shrunk = pvsm::LoadPictureBytesForTarget(bytes, 3, QSize(16, 16));
    if (!shrunk.isNull() && (shrunk.width() > 16 || shrunk.height() > 16) && shrunk.size() != info.displaySize()) std::abort();
    return 0;
}
