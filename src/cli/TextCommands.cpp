// pvsm-cli text: draws one text in a text style into a PNG, so that styles,
// alignments and fonts can be looked at without the editor.
#include "CliPrompter.h"
#include "Commands.h"
#include "TextPath.h"
#include "TextTexture.h"
#include "clsMemDC.h"

#include <QBuffer>
#include <QFileInfo>

#include <cmath>
#include <optional>

namespace pvsm::cli {

namespace {

std::optional<QRectF> parseRect(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4) return std::nullopt;
    double v[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = parts[i].trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(v[i]) || std::abs(v[i]) > 100000) return std::nullopt;
    }
    if (v[2] < 0 || v[3] < 0) return std::nullopt;
    return QRectF(v[0], v[1], v[2], v[3]);
}

QByteArray pngBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) return {};
    return bytes;
}

int textRender(const QStringList &args)
{
    QString text, outPath;
    QSize canvas(640, 360);
    std::optional<QRectF> rect, clip;
    QRgb back = 0xFF000000;
    bool sprite = false;
    TextPathStyle style;
    style.sizePx = 64;
    style.alignment = 4;
    style.startArgb = 0xFFFFFFFF;
    style.endArgb = 0xFFFF0000;
    style.borderArgb = 0xAA010101;
    TextPathOptions options;
    bool fontGiven = false;

    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--sprite")) {
            sprite = true;
            continue;
        }
        if (a == QLatin1String("--no-smooth")) {
            options.smoothing = false;
            continue;
        }
        if (a == QLatin1String("--no-border")) {
            options.noBorder = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            err(QStringLiteral("%1 needs a value").arg(a));
            return kUsage;
        }
        const QString v = args[++i];
        auto bad = [&]() {
            err(QStringLiteral("%1: invalid value %2").arg(a, v));
            return kUsage;
        };
        if (a == QLatin1String("--text")) {
            // "\n" typed on a command line stands for a line break.
            text = v;
            text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
        } else if (a == QLatin1String("--font")) {
            style.fontName = v;
            fontGiven = true;
        } else if (a == QLatin1String("--size")) {
            const auto n = parseNumber(v, 0.5, 4096);
            if (!n) return bad();
            style.sizePx = *n;
        } else if (a == QLatin1String("--style") || a == QLatin1String("--font-style")) {
            // QGuiApplication takes --style (a widget style) out of the
            // arguments before commands see them; --font-style always arrives.
            const auto n = parseInt(v, 0, 3);
            if (!n) return bad();
            style.fontStyle = *n;
        } else if (a == QLatin1String("--align")) {
            const auto n = parseInt(v, 0, 8);
            if (!n) return bad();
            style.alignment = *n;
        } else if (a == QLatin1String("--pattern")) {
            const auto n = parseInt(v, -1000, 1000);
            if (!n) return bad();
            style.pattern = *n;
        } else if (a == QLatin1String("--border")) {
            const auto n = parseNumber(v, 0, 1024);
            if (!n) return bad();
            style.borderWidthPx = *n;
        } else if (a == QLatin1String("--start") || a == QLatin1String("--end")
                   || a == QLatin1String("--border-color") || a == QLatin1String("--back")) {
            const bool border = a == QLatin1String("--border-color");
            const auto c = parseColour(v, border ? 170 : 255);
            if (!c) return bad();
            if (a == QLatin1String("--start")) style.startArgb = *c;
            else if (a == QLatin1String("--end")) style.endArgb = *c;
            else if (border) style.borderArgb = *c;
            else back = *c | 0xFF000000u;
        } else if (a == QLatin1String("--rect")) {
            rect = parseRect(v);
            if (!rect) return bad();
        } else if (a == QLatin1String("--clip")) {
            clip = parseRect(v);
            if (!clip) return bad();
        } else if (a == QLatin1String("--canvas")) {
            canvas = parseSize(v);
            if (!canvas.isValid()) return bad();
        } else if (a == QLatin1String("--out")) {
            outPath = QFileInfo(v).absoluteFilePath();
        } else {
            err(QStringLiteral("unknown option %1").arg(a));
            return kUsage;
        }
    }
    if (outPath.isEmpty()) {
        err(QStringLiteral("text: give --out OUT.png"));
        return kUsage;
    }
    if (!fontGiven) style.fontName = QStringLiteral("Noto Sans CJK SC");
    const QRectF layout = rect.value_or(QRectF(0, 0, canvas.width(), canvas.height()));
    const int64_t pixels = sprite ? int64_t(layout.width()) * int64_t(layout.height())
                                  : int64_t(canvas.width()) * canvas.height();
    if (pixels > kMaxCanvasPixels) {
        err(QStringLiteral("text: picture too large"));
        return kUsage;
    }

    QByteArray png;
    if (sprite) {
        png = RenderTextToPng(text, layout, style, options);
        if (png.isEmpty()) {
            err(QStringLiteral("text: the rectangle is empty or too large for a sprite"));
            return kFailed;
        }
    } else {
        clsMemDC dc;
        if (!dc.CreateMemDC(canvas.width(), canvas.height(), 0)) {
            err(QStringLiteral("text: cannot make a %1x%2 canvas").arg(canvas.width()).arg(canvas.height()));
            return kFailed;
        }
        dc.image().fill(back);
        if (clip) DrawTextPathClipped(dc.image(), text, layout, style, *clip, options);
        else DrawTextPath(dc.image(), text, layout, style, options);
        png = pngBytes(dc.image());
    }
    if (!writeFileOrSay(outPath, png)) return kFailed;
    const QRectF box = MeasureText(text, style.fontName, style.sizePx, style.fontStyle);
    out(QStringLiteral("Font: ") + ResolveTextFontFamily(style.fontName));
    out(QStringLiteral("TextSize: %1x%2").arg(box.width(), 0, 'f', 1).arg(box.height(), 0, 'f', 1));
    out(QStringLiteral("Output: ") + outPath);
    return kOk;
}

const CommandRegistrar kText({{QStringLiteral("text")},
                              QStringLiteral("text --text TEXT --out OUT.png [--font NAME] [--size PX] [--style 0-3 | --font-style 0-3] "
                                             "[--align 0-8] [--pattern N] [--border W] [--start RRGGBB] [--end RRGGBB] "
                                             "[--border-color [AA]RRGGBB] [--rect X,Y,W,H] [--canvas WxH] [--back RRGGBB] "
                                             "[--clip X,Y,W,H] [--sprite] [--no-smooth] [--no-border]"),
                              textRender});

} // namespace

} // namespace pvsm::cli
