// pvsm-cli image …: what the imaging layer makes of a picture file.
#include "CliPrompter.h"
#include "Commands.h"
#include "PictureDraw.h"
#include "PictureEncode.h"
#include "PictureInfo.h"
#include "PictureLoad.h"

#include <QColor>
#include <QFileInfo>

namespace pvsm::cli {

namespace {

int imageInfo(const QStringList &args)
{
    if (args.size() != 1) {
        err(QStringLiteral("image info: give one picture file"));
        return kUsage;
    }
    const QString path = QFileInfo(args[0]).absoluteFilePath();
    if (!readableOrSay(path, args[0])) return kFailed;
    const PictureFileCheck check = CheckPictureFile(path);
    const ImageInfo &info = check.info;
    out(QStringLiteral("Format: ") + info.Format);
    if (info.known()) {
        out(QStringLiteral("Width: %1").arg(info.Width));
        out(QStringLiteral("Height: %1").arg(info.Height));
        out(QStringLiteral("ColorDepth: %1").arg(info.ColorDepth));
        out(QStringLiteral("DisplayWidth: %1").arg(info.DisplayWidth));
        out(QStringLiteral("DisplayHeight: %1").arg(info.DisplayHeight));
    }
    if (check.problem != PictureProblem::None) {
        err(args[0] + QLatin1Char(' ') + pictureProblemText(check));
        return kFailed;
    }
    return kOk;
}

std::optional<QPoint> parsePoint(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 2) return std::nullopt;
    bool okX = false, okY = false;
    const int x = parts[0].trimmed().toInt(&okX), y = parts[1].trimmed().toInt(&okY);
    if (!okX || !okY) return std::nullopt;
    return QPoint(x, y);
}

int imageDraw(const QStringList &args)
{
    QString input, outPath;
    int mode = -1;
    QSize size;
    QPoint position;
    QColor back(Qt::black);
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a.startsWith(QLatin1String("--"))) {
            if (i + 1 >= args.size()) {
                err(QStringLiteral("%1 needs a value").arg(a));
                return kUsage;
            }
            const QString v = args[++i];
            if (a == QLatin1String("--mode")) {
                bool ok = false;
                mode = v.toInt(&ok);
                if (!ok || mode < kDrawCentred || mode > kDrawStretch) {
                    err(QStringLiteral("--mode takes 0 to 4, not %1").arg(v));
                    return kUsage;
                }
            } else if (a == QLatin1String("--size")) {
                size = parseSize(v);
                if (!size.isValid()) {
                    err(QStringLiteral("--size takes WIDTHxHEIGHT, not %1").arg(v));
                    return kUsage;
                }
            } else if (a == QLatin1String("--out")) {
                outPath = QFileInfo(v).absoluteFilePath();
            } else if (a == QLatin1String("--pos")) {
                const auto p = parsePoint(v);
                if (!p) {
                    err(QStringLiteral("--pos takes X,Y, not %1").arg(v));
                    return kUsage;
                }
                position = *p;
            } else if (a == QLatin1String("--back")) {
                const auto c = parseColour(v);
                if (!c) {
                    err(QStringLiteral("--back takes RRGGBB, not %1").arg(v));
                    return kUsage;
                }
                back = QColor::fromRgb(*c);
            } else {
                err(QStringLiteral("unknown option %1").arg(a));
                return kUsage;
            }
        } else if (input.isEmpty()) {
            input = QFileInfo(a).absoluteFilePath();
        } else {
            err(QStringLiteral("one picture file only"));
            return kUsage;
        }
    }
    if (input.isEmpty() || mode < 0 || !size.isValid() || outPath.isEmpty()) {
        err(QStringLiteral("image draw: give FILE, --mode, --size and --out"));
        return kUsage;
    }
    const QImage picture = LoadPictureForTarget(input, mode, size);
    if (picture.isNull()) {
        const QString why = pictureProblemText(CheckPictureFile(input));
        err(input + QLatin1Char(' ') + (why.isEmpty() ? QStringLiteral("cannot be decoded (damaged)") : why));
        return kFailed;
    }
    QImage surface(size, QImage::Format_RGB32);
    surface.fill(back);
    const QRect placed = DrawPicture(surface, picture, mode, position);
    const QByteArray png = EncodePng(surface);
    if (!writeFileOrSay(outPath, png)) return kFailed;
    out(QStringLiteral("Out: ") + outPath);
    out(QStringLiteral("Placed: %1,%2 %3x%4").arg(placed.x()).arg(placed.y()).arg(placed.width()).arg(placed.height()));
    return kOk;
}

const CommandRegistrar kInfo({{QStringLiteral("image"), QStringLiteral("info")}, QStringLiteral("image info FILE"),
                              imageInfo});
const CommandRegistrar kDraw({{QStringLiteral("image"), QStringLiteral("draw")},
                              QStringLiteral("image draw FILE --mode N --size WxH --out OUT.png [--pos X,Y] [--back RRGGBB]"),
                              imageDraw});

} // namespace

} // namespace pvsm::cli
