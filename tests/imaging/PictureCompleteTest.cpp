#include "ImageFixtures.h"
#include "PictureComplete.h"
#include "PictureLoad.h"

#include <QBuffer>
#include <QImageWriter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

using namespace pvsm;
using namespace fixtures;

namespace {

QByteArray progressiveJpeg(const QImage &image)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    writer.write(image);
    return out;
}

QByteArray noise(qsizetype size)
{
    std::mt19937 rng(7);
    QByteArray b(size, '\0');
    for (char &c : b) c = char(rng() & 0xFF);
    return b;
}

} // namespace

TEST(PictureComplete, CutShortFilesAreToldAndTrailersAllowed)
{
    const QImage photo = detailedPhoto(QSize(320, 240), 3);
    const QByteArray jpeg = encode(photo, "jpeg", 90);
    const QByteArray progressive = progressiveJpeg(photo);
    const QByteArray png = encode(photo, "png");
    ASSERT_GT(progressive.count("\xFF\xDA"), 1); // several scans
    struct Case
    {
        const char *name;
        QByteArray bytes;
        PictureFormat format;
        bool complete;
    };
    const std::vector<Case> cases = {
        {"whole JPEG", jpeg, PictureFormat::Jpg, true},
        {"JPEG cut in its scan", jpeg.left(jpeg.size() * 2 / 3), PictureFormat::Jpg, false},
        {"JPEG without its last two bytes", jpeg.chopped(2), PictureFormat::Jpg, false},
        {"JPEG cut in its headers", jpeg.left(300), PictureFormat::Jpg, false},
        // A camera's trailer or an appended video after the end marker.
        {"JPEG with data after it", jpeg + noise(200000), PictureFormat::Jpg, true},
        {"progressive JPEG", progressive, PictureFormat::Jpg, true},
        {"progressive JPEG cut after its first scan", progressive.left(progressive.size() / 2), PictureFormat::Jpg, false},
        {"whole PNG", png, PictureFormat::Png, true},
        {"PNG cut", png.left(png.size() / 2), PictureFormat::Png, false},
        {"PNG with data after it", png + noise(5000), PictureFormat::Png, true},
        {"other formats are not judged", QByteArray("GIF89a"), PictureFormat::Gif, true},
    };
    QTemporaryDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PictureBytesComplete(c.bytes, c.format), c.complete);
        const QString path = writeFile(dir, QStringLiteral("case.bin"), c.bytes);
        EXPECT_EQ(PictureDataComplete(path, c.format), c.complete);
    }

    // The add's check names the fault; the header alone passes.
    const QString cut = writeFile(dir, QStringLiteral("cut.jpg"), jpeg.left(jpeg.size() / 2));
    const PictureFileCheck check = CheckPictureFile(cut);
    EXPECT_EQ(check.problem, PictureProblem::Truncated);
    EXPECT_EQ(check.info.Width, 320);
    EXPECT_EQ(pictureProblemText(check), QStringLiteral("is cut short: the file ends inside its picture data"));
    EXPECT_EQ(CheckPictureFile(writeFile(dir, QStringLiteral("whole.jpg"), jpeg)).problem, PictureProblem::None);
}
