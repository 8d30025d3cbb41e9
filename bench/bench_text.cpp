// Cost of the canvas operations and of path text, each next to a reference
// measured in the same run: a plain QPainter::drawText of the same headline,
// a plain memcpy of the same bytes, QPainter's own opacity blend and scaling.
#include "TextPath.h"
#include "clsMemDC.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

using namespace pvsm;

namespace {

// Median of `runs` timings of `body`, in milliseconds.
double medianMs(int runs, const std::function<void()> &body)
{
    body(); // warm caches and font lookups
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        body();
        times.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
    return times[times.size() / 2];
}

void row(const char *what, double ms, const char *reference, double refMs)
{
    std::printf("| %-46s | %8.3f | %-40s | %8.3f | %6.2f |\n", what, ms, reference, refMs, ms / refMs);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, atoi(argv[1])) : 30;

    // 40 characters, Chinese and Latin mixed.
    const QString headline = QStringLiteral("图片幻灯制作 Photo Show 精彩瞬间 Memories 2025 珍藏!");
    std::printf("headline: %d characters, size 64, pattern 6, border 2; %d runs, median ms\n\n",
                int(headline.size()), runs);
    std::printf("| %-46s | %8s | %-40s | %8s | %6s |\n", "operation", "ms", "reference", "ref ms", "ratio");
    std::printf("|%s|%s|%s|%s|%s|\n", QByteArray(48, '-').constData(), QByteArray(10, '-').constData(),
                QByteArray(42, '-').constData(), QByteArray(10, '-').constData(), QByteArray(8, '-').constData());

    TextPathStyle style;
    style.fontName = QStringLiteral("Noto Sans CJK SC");
    style.sizePx = 64;
    style.fontStyle = kFontBold;
    style.alignment = 4;
    style.pattern = 6;
    style.borderWidthPx = 2;
    style.startArgb = ToArgb(0x0000FF, 255);
    style.endArgb = ToArgb(0x00FFFF, 255);
    style.borderArgb = ToArgb(0x010101, 170);
    const QRectF layout(40, 300, 1200, 120);

    clsMemDC text(1280, 720, 0x402010);
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(64);
    font.setBold(true);
    const double drawTextMs = medianMs(runs, [&] {
        QPainter p(&text.image());
        p.setRenderHint(QPainter::Antialiasing);
        p.setFont(font);
        p.setPen(Qt::yellow);
        p.drawText(layout, Qt::AlignCenter, headline);
    });
    // A drawing is rendered once and then composited from a cache; a layout
    // moved by a hair each time measures the first drawing.
    int fresh = 0;
    auto moved = [&] { return layout.translated(++fresh * 1e-6, 0); };
    auto widened = [&] { return layout.adjusted(0, 0, ++fresh * 1e-6, 0); }; // sprites sit at (0, 0)
    const char *ref = "QPainter::drawText, solid, no outline";
    row("DrawTextPath 1280x720, first drawing",
        medianMs(runs, [&] { DrawTextPath(text.image(), headline, moved(), style); }), ref, drawTextMs);
    row("DrawTextPath 1280x720, drawn again",
        medianMs(runs, [&] { DrawTextPath(text.image(), headline, layout, style); }), ref, drawTextMs);
    TextPathStyle noBorder = style;
    noBorder.borderWidthPx = 0;
    row("DrawTextPath, no border, first drawing",
        medianMs(runs, [&] { DrawTextPath(text.image(), headline, moved(), noBorder); }), ref, drawTextMs);
    row("DrawTextPathClipped half the line, again",
        medianMs(runs, [&] { DrawTextPathClipped(text.image(), headline, layout, style, QRectF(40, 300, 600, 120)); }),
        ref, drawTextMs);
    row("RenderTextToImage 1200x120, first drawing",
        medianMs(runs, [&] { RenderTextToImage(headline, widened(), style); }), ref, drawTextMs);
    row("RenderTextToPng 1200x120, drawn again", medianMs(runs, [&] { RenderTextToPng(headline, layout, style); }),
        ref, drawTextMs);
    row("MeasureText", medianMs(runs, [&] { MeasureText(headline, style.fontName, 64, kFontBold); }), ref,
        drawTextMs);

    const int W = 1920, H = 1080;
    clsMemDC a(W, H, 0x204080), b(W, H, 0x80C0FF);
    for (int y = 0; y < H; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(a.image().scanLine(y));
        for (int x = 0; x < W; ++x) line[x] = 0xFF000000u | uint(x * 7 + y) << 8 | uint(x ^ y);
    }
    // The same bytes into the same destination the canvas operations write.
    const double memcpyMs = medianMs(
        runs, [&] { std::memcpy(b.image().bits(), a.image().constBits(), size_t(a.image().sizeInBytes())); });
    const double painterBlendMs = medianMs(runs, [&] {
        QPainter p(&b.image());
        p.setOpacity(128 / 255.0);
        p.drawImage(0, 0, a.image());
    });
    const double painterCopyMs = medianMs(runs, [&] {
        QPainter p(&b.image());
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(0, 0, a.image());
    });

    row("BitBlt 1920x1080", medianMs(runs, [&] { BitBlt(b, 0, 0, W, H, a, 0, 0); }), "memcpy of the same bytes",
        memcpyMs);
    row("BitBlt 1920x1080", medianMs(runs, [&] { BitBlt(b, 0, 0, W, H, a, 0, 0); }),
        "QPainter::drawImage, Source", painterCopyMs);
    row("BitBlt onto itself, moved 2 px right", medianMs(runs, [&] { BitBlt(b, 2, 0, W - 2, H, b, 0, 0); }),
        "memcpy of the same bytes", memcpyMs);
    row("AlphaBlend 1920x1080 alpha 128", medianMs(runs, [&] { AlphaBlend(b, 0, 0, W, H, a, 0, 0, 128); }),
        "memcpy of the same bytes", memcpyMs);
    row("AlphaBlend 1920x1080 alpha 128", medianMs(runs, [&] { AlphaBlend(b, 0, 0, W, H, a, 0, 0, 128); }),
        "QPainter opacity 0.5 drawImage", painterBlendMs);
    row("BitBlt NotSrcCopy 1920x1080",
        medianMs(runs, [&] { BitBlt(b, 0, 0, W, H, a, 0, 0, RasterOp::NotSrcCopy); }), "memcpy of the same bytes",
        memcpyMs);
    row("DrawBitmapGrey 1920x1080", medianMs(runs, [&] { DrawBitmapGrey(b, a, W, H); }), "memcpy of the same bytes",
        memcpyMs);
    row("FillRect 1920x1080", medianMs(runs, [&] { FillRect(b, 0, 0, W, H, 0xFFFFFF); }), "memcpy of the same bytes",
        memcpyMs);

    const double painterScaleMs = medianMs(runs, [&] {
        QPainter p(&b.image());
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRectF(480, 270, 960, 540), a.image());
    });
    row("StretchBlt halftone 1920x1080 -> 960x540",
        medianMs(runs, [&] { StretchBlt(b, 480, 270, 960, 540, a, 0, 0, W, H); }), "QPainter smooth drawImage (bilinear)",
        painterScaleMs);
    row("StretchBlt halftone 480x270 -> 1920x1080",
        medianMs(runs, [&] { StretchBlt(b, 0, 0, W, H, a, 720, 405, 480, 270); }), "memcpy of the same bytes",
        memcpyMs);
    row("StretchBlt mirror 1920x1080 (equal size)",
        medianMs(runs, [&] { StretchBlt(b, W, 0, -W, H, a, 0, 0, W, H); }), "memcpy of the same bytes", memcpyMs);
    // The still picture's resampling (an area shrink) against the halftone
    // stretch of the same sizes: an exact halving, a shrink by 1.5, and a
    // 12-megapixel photo fitted into a 1280 x 720 frame.
    clsMemDC photo(4000, 3000, 0);
    for (int y = 0; y < photo.Height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(photo.image().scanLine(y));
        for (int x = 0; x < photo.Width(); ++x) line[x] = 0xFF000000u | uint(x * 5 + y * 3) << 8 | uint(x ^ (y * 7));
    }
    const struct
    {
        const char *name;
        const clsMemDC &from;
        QSize to;
    } shrinks[] = {{"AreaScaled 1920x1080 -> 960x540", a, {960, 540}},
                   {"AreaScaled 1920x1080 -> 1280x720", a, {1280, 720}},
                   {"AreaScaled 4000x3000 -> 960x720", photo, {960, 720}}};
    for (const auto &c : shrinks) {
        const double stretchMs = medianMs(runs, [&] {
            StretchBlt(b, 0, 0, c.to.width(), c.to.height(), c.from, 0, 0, c.from.Width(), c.from.Height());
        });
        row(c.name, medianMs(runs, [&] { (void)AreaScaled(c.from.image(), c.to); }), "StretchBlt halftone, same sizes",
            stretchMs);
    }
    row("FillGradient mode 2 1920x1080",
        medianMs(runs, [&] { FillGradient(b, 2, 0xFFFF0000, 0xFF0000FF); }), "memcpy of the same bytes", memcpyMs);
    return 0;
}
