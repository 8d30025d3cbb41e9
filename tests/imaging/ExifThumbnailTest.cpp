#include "ExifFixture.h"
#include "ExifThumbnail.h"
#include "PictureDraw.h"
#include "PictureLoad.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace pvsm;
using pvsm::test::withExifPreview;

namespace {

const QSize kCell(96, 72);

// Red on the left half, blue on the right: a turn shows where red ends up.
QByteArray halves(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(0, 0, size.width() / 2, size.height(), Qt::red);
    p.fillRect(size.width() / 2, 0, size.width() - size.width() / 2, size.height(), Qt::blue);
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

QString write(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

bool reddish(QRgb c) { return qRed(c) > 180 && qBlue(c) < 90; }

} // namespace

TEST(ExifThumbnail, APreviewOfThePhotosShapeServesUprightAtTheCellSize)
{
    QTemporaryDir dir;
    const QByteArray photo = halves({800, 600});
    struct Case
    {
        const char *name;
        int orientation;
        bool bigEndian;
        QSize size;   // what the full decode gives for the cell
        QPoint red;   // a point that is red once upright
        QPoint blue;  // and one that is blue
    };
    const Case cases[] = {
        {"plain, little-endian", 0, false, {96, 72}, {10, 36}, {85, 36}},
        {"plain, big-endian", 1, true, {96, 72}, {10, 36}, {85, 36}},
        {"turned a quarter (6)", 6, false, {54, 72}, {27, 5}, {27, 66}},
        {"upside down (3)", 3, true, {96, 72}, {85, 36}, {10, 36}},
    };
    for (const Case &c : cases) {
        const QString path = write(dir, QString::fromLatin1(c.name) + QStringLiteral(".jpg"),
                                   withExifPreview(photo, halves({160, 120}), c.orientation, c.bigEndian));
        const QImage fromPreview = LoadExifThumbnail(path, kCell);
        ASSERT_FALSE(fromPreview.isNull()) << c.name;
        // Exactly what the whole decode would have given the cell, turn included.
        const QImage decoded = LoadPictureForTarget(path, kDrawFit, kCell);
        EXPECT_EQ(fromPreview.size(), decoded.size()) << c.name;
        EXPECT_EQ(fromPreview.size(), c.size) << c.name;
        EXPECT_TRUE(reddish(fromPreview.pixel(c.red))) << c.name;
        EXPECT_TRUE(reddish(decoded.pixel(c.red))) << c.name;
        EXPECT_TRUE(qBlue(fromPreview.pixel(c.blue)) > 180 && qRed(fromPreview.pixel(c.blue)) < 90) << c.name;
    }
}

TEST(ExifThumbnail, PreviewsThatDoNotServeAreLeftForTheWholeDecode)
{
    QTemporaryDir dir;
    const QByteArray photo = halves({800, 600});
    const struct
    {
        const char *name;
        QByteArray file;
    } cases[] = {
        {"no EXIF", photo},
        {"letterboxed preview of another shape", withExifPreview(photo, halves({160, 90}))},
        {"preview smaller than the cell", withExifPreview(photo, halves({40, 30}))},
        {"preview that is no JPEG", withExifPreview(photo, QByteArray(300, 'x'))},
    };
    for (const auto &c : cases)
        EXPECT_TRUE(LoadExifThumbnail(write(dir, QStringLiteral("f.jpg"), c.file), kCell).isNull()) << c.name;
}

TEST(ExifThumbnail, DamagedBlocksNeverReadOutsideThemselves)
{
    const QByteArray good = withExifPreview(halves({800, 600}), halves({160, 120}), 6);
    ASSERT_FALSE(ExifThumbnailBytes(good).isEmpty());
    const qsizetype exifEnd = 2 + 4 + 6 + 200; // the header and IFDs lie well inside this
    for (qsizetype i = 2; i < exifEnd; ++i) {
        for (char flip : {char(0x01), char(0x80), char(0xFF)}) {
            QByteArray bad = good;
            bad[i] = char(bad[i] ^ flip);
            const QByteArray thumb = ExifThumbnailBytes(bad);
            // Whatever it finds lies inside the file and looks like a JPEG.
            if (!thumb.isEmpty()) {
                EXPECT_TRUE(thumb.startsWith("\xFF\xD8")) << i;
                EXPECT_LE(thumb.size(), bad.size()) << i;
            }
        }
    }
    for (qsizetype cut = 0; cut < good.size(); cut += 97) ExifThumbnailBytes(good.left(cut));
}
