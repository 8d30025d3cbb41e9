#include "CliPrompter.h"
#include "Commands.h"
#include "PictureEncode.h"
#include "Random.h"
#include "TextEffect.h"
#include "Transition.h"
#include "Vocabulary.h"
#include "PictureDraw.h"
#include "PictureLoad.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>

#include <limits>

namespace pvsm::cli {

namespace {

// A recognisable sample picture when none is given.
QImage samplePicture(QSize size, bool isNew)
{
    QImage img(size, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, size.width(), size.height());
    g.setColorAt(0, isNew ? QColor(250, 160, 40) : QColor(30, 70, 160));
    g.setColorAt(1, isNew ? QColor(200, 40, 60) : QColor(20, 160, 150));
    p.fillRect(img.rect(), g);
    p.setPen(QPen(QColor(255, 255, 255, 160), std::max(1, size.width() / 200)));
    for (int i = 1; i < 8; ++i) {
        p.drawLine(size.width() * i / 8, 0, size.width() * i / 8, size.height());
        p.drawLine(0, size.height() * i / 8, size.width(), size.height() * i / 8);
    }
    QFont f;
    f.setPixelSize(std::max(8, size.height() / 2));
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(img.rect(), Qt::AlignCenter, isNew ? QStringLiteral("新 B") : QStringLiteral("旧 A"));
    return img;
}

bool loadPicture(const QString &path, QSize size, bool isNew, clsMemDC &canvas)
{
    QImage img;
    if (path.isEmpty()) {
        img = samplePicture(size, isNew);
    } else if ((img = LoadPictureForTarget(path, kDrawStretch, size)).isNull()) {
        const QString why = pictureProblemText(CheckPictureFile(path));
        err(path + QLatin1Char(' ') + (why.isEmpty() ? QStringLiteral("cannot be decoded (damaged)") : why));
        return false;
    }
    img = img.convertToFormat(QImage::Format_RGB32).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (!canvas.CreateMemDC(size.width(), size.height(), 0)) {
        err(QStringLiteral("cannot make a canvas of %1x%2").arg(size.width()).arg(size.height()));
        return false;
    }
    BitBlt(canvas.image(), 0, 0, size.width(), size.height(), img, 0, 0);
    return true;
}

// Ranges of the options, as the renderers take them.
constexpr int kMaxVariant = 3; // v4; v2 is its lowest bit
constexpr int kMaxTf = 300;
constexpr int kMaxColumns = 100;
constexpr int kMaxCells = 1000;

struct Options
{
    int id = -1;
    int variant = 0;
    QSize size{640, 360};
    int tf = 30;
    int seed = -1;
    QString sheet;
    QStringList pictures;
    QString text = QStringLiteral("图片幻灯 Slideshow");
    QRectF rect;
    TextPathStyle style;
    int columns = 6;
    int cells = 36;
};

bool parseCommon(const QStringList &args, Options &o, bool textEffect)
{
    o.style.fontName = QStringLiteral("Noto Sans CJK SC");
    o.style.sizePx = 64;
    o.style.fontStyle = 1;
    o.style.alignment = 4;
    o.style.pattern = 6;
    o.style.borderWidthPx = 2;
    o.style.startArgb = 0xFFFF0000;
    o.style.endArgb = 0xFFFFFF00;
    o.style.borderArgb = 0xAA010101;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        const bool valued = a.startsWith(QLatin1String("--"));
        static const QStringList common = {"--variant", "--size", "--tf", "--seed", "--sheet", "--columns", "--cells"};
        static const QStringList forText = {"--text",    "--rect",  "--font",  "--font-size",   "--style",
                                            "--align",   "--pattern", "--border", "--start", "--end", "--border-color"};
        if (valued && !common.contains(a) && !(textEffect && forText.contains(a))) {
            err(QStringLiteral("unknown option %1").arg(a));
            return false;
        }
        if (valued && i + 1 >= args.size()) {
            err(QStringLiteral("%1 needs a value").arg(a));
            return false;
        }
        const QString v = valued ? args[i + 1] : QString();
        // Every refusal names the range the option takes.
        auto refuse = [&](const QString &range) {
            err(QStringLiteral("%1 takes %2, not %3").arg(a, range, v));
            return false;
        };
        auto whole = [&](int low, int high, int &into) {
            const auto n = parseInt(v, low, high);
            if (n) into = *n;
            return n ? true : refuse(QStringLiteral("%1 .. %2").arg(low).arg(high));
        };
        auto number = [&](double low, double high, double &into) {
            const auto n = parseNumber(v, low, high);
            if (n) into = *n;
            return n ? true : refuse(QStringLiteral("%1 .. %2").arg(low).arg(high));
        };
        auto colour = [&](QRgb &into, QRgb alpha) {
            const auto c = parseColour(v);
            if (c) into = (*c & 0x00FFFFFFu) | alpha;
            return c ? true : refuse(QStringLiteral("RRGGBB"));
        };
        bool ok = true;
        if (a == QLatin1String("--variant")) ok = whole(0, kMaxVariant, o.variant);
        else if (a == QLatin1String("--size")) {
            o.size = parseSize(v);
            ok = o.size.isValid() ? true : refuse(QStringLiteral("WIDTHxHEIGHT from 1x1 to %1x%1").arg(kMaxSizeSide));
        } else if (a == QLatin1String("--tf")) ok = whole(1, kMaxTf, o.tf);
        else if (a == QLatin1String("--seed")) ok = whole(0, std::numeric_limits<int>::max(), o.seed);
        else if (a == QLatin1String("--sheet")) o.sheet = v;
        else if (a == QLatin1String("--columns")) ok = whole(1, kMaxColumns, o.columns);
        else if (a == QLatin1String("--cells")) ok = whole(1, kMaxCells, o.cells);
        else if (textEffect && a == QLatin1String("--text")) o.text = v;
        else if (textEffect && a == QLatin1String("--rect")) {
            const QStringList p = v.split(QLatin1Char(','));
            std::optional<double> n[4];
            for (int k = 0; k < 4 && p.size() == 4; ++k) n[k] = parseNumber(p[k], -kMaxSizeSide, kMaxSizeSide);
            if (n[0] && n[1] && n[2] && n[3] && *n[2] >= 0 && *n[3] >= 0) o.rect = QRectF(*n[0], *n[1], *n[2], *n[3]);
            else ok = refuse(QStringLiteral("X,Y,W,H with W and H not negative"));
        } else if (textEffect && a == QLatin1String("--font")) o.style.fontName = v;
        else if (textEffect && a == QLatin1String("--font-size")) ok = number(0.5, 4096, o.style.sizePx);
        else if (textEffect && a == QLatin1String("--style")) ok = whole(0, 3, o.style.fontStyle);
        else if (textEffect && a == QLatin1String("--align")) ok = whole(0, 8, o.style.alignment);
        else if (textEffect && a == QLatin1String("--pattern")) ok = whole(-1000, 1000, o.style.pattern);
        else if (textEffect && a == QLatin1String("--border")) ok = number(0, 1024, o.style.borderWidthPx);
        else if (textEffect && a == QLatin1String("--start")) ok = colour(o.style.startArgb, 0xFF000000u);
        else if (textEffect && a == QLatin1String("--end")) ok = colour(o.style.endArgb, 0xFF000000u);
        else if (textEffect && a == QLatin1String("--border-color")) ok = colour(o.style.borderArgb, 0xAA000000u);
        else if (o.id < 0) {
            bool isNumber = false;
            o.id = a.toInt(&isNumber);
            if (!isNumber) {
                err(QStringLiteral("expected an effect number, not %1").arg(a));
                return false;
            }
        } else {
            o.pictures << a;
        }
        if (!ok) return false;
        if (valued) ++i;
    }
    if (int64_t(o.size.width()) * o.size.height() > kMaxCanvasPixels) {
        err(QStringLiteral("--size takes at most %1 pixels, not %2x%3")
                .arg(kMaxCanvasPixels)
                .arg(o.size.width())
                .arg(o.size.height()));
        return false;
    }
    if (o.seed >= 0) RandomSource::global().setFixedSeed(uint32_t(o.seed));
    return true;
}

int finish(const Options &o, const RecordingFrameSink &sink, const QString &title)
{
    out(QStringLiteral("Frames: %1").arg(sink.framesWritten()));
    out(QStringLiteral("Pictures: %1").arg(sink.calls().size()));
    if (!o.sheet.isEmpty()) {
        const QImage sheet = makeContactSheet(sink.kept(), sink.calls(), o.columns, o.cells, title);
        const QByteArray png = sheet.isNull() ? QByteArray() : EncodePng(sheet);
        if (!writeFileOrSay(o.sheet, png, QStringLiteral("the contact sheet"))) return kFailed;
        out(QStringLiteral("Sheet: %1").arg(o.sheet));
    }
    return kOk;
}

int effectTransition(const QStringList &args)
{
    Options o;
    if (!parseCommon(args, o, false)) return kUsage;
    const auto catalogue = transitionCatalogue();
    if (o.id < 0 || o.id >= int(catalogue.size())) {
        err(QStringLiteral("transition ids are 0 .. %1").arg(catalogue.size() - 1));
        return kUsage;
    }
    clsMemDC oldPic, newPic;
    if (!loadPicture(o.pictures.value(0), o.size, false, oldPic) || !loadPicture(o.pictures.value(1), o.size, true, newPic))
        return kFailed;
    RecordingFrameSink sink(true, std::min(o.size.width(), 240));
    TransitionContext ctx{sink, o.tf, TransitionContext::stepXFor(o.size.width()), TransitionContext::stepYFor(o.size.height())};
    RunTransition(ctx, o.id, oldPic, newPic, o.variant & 1, o.variant & 3);
    // The last state, as the caller would show it next.
    sink.WriteFrame(oldPic.image(), 1);
    const QString name = vocabularyText(VocabularyList::Transition, o.id);
    const int result = finish(o, sink,
                              QStringLiteral("%1 %2  variant %3  %4x%5  TF %6  (frames counted before the final picture: %7)")
                                  .arg(o.id)
                                  .arg(name)
                                  .arg(o.variant)
                                  .arg(o.size.width())
                                  .arg(o.size.height())
                                  .arg(o.tf)
                                  .arg(sink.framesWritten() - 1));
    out(QStringLiteral("EndsOnNew: %1").arg(oldPic.image() == newPic.image() ? QStringLiteral("true") : QStringLiteral("false")));
    return result;
}

int effectText(const QStringList &args)
{
    Options o;
    if (!parseCommon(args, o, true)) return kUsage;
    if (o.id < 0 || o.id >= int(textEffectCatalogue().size())) {
        err(QStringLiteral("text effect ids are 0 .. %1").arg(textEffectCatalogue().size() - 1));
        return kUsage;
    }
    if (o.rect.isEmpty())
        o.rect = QRectF(o.size.width() * 0.1, o.size.height() * 0.35, o.size.width() * 0.8, o.size.height() * 0.3);
    clsMemDC surface;
    if (!loadPicture(o.pictures.value(0), o.size, false, surface)) return kFailed;
    RecordingFrameSink sink(true, std::min(o.size.width(), 320));
    TextEffectContext ctx{sink, o.style};
    RunTextEffect(ctx, o.id, surface, o.rect, o.text, 1.0, o.variant);
    sink.WriteFrame(surface.image(), 1);
    return finish(o, sink,
                  QStringLiteral("%1 %2  variant %3  %4x%5  (frames counted before the final picture: %6)")
                      .arg(o.id)
                      .arg(vocabularyText(VocabularyList::HeadlineEffect, o.id))
                      .arg(o.variant)
                      .arg(o.size.width())
                      .arg(o.size.height())
                      .arg(sink.framesWritten() - 1));
}

const CommandRegistrar kTransition(
    {{QStringLiteral("effect"), QStringLiteral("transition")},
     QStringLiteral("effect transition ID [--variant V] [--size WxH] [--tf N] [--seed S] [OLD.png NEW.png] --sheet OUT.png"),
     effectTransition});
const CommandRegistrar kText(
    {{QStringLiteral("effect"), QStringLiteral("text")},
     QStringLiteral("effect text ID [--variant V] [--size WxH] [--text T] [--rect X,Y,W,H] [--font F] [--font-size PX] "
                    "[--style N] [--align N] [--pattern N] [--border W] [--start RRGGBB] [--end RRGGBB] "
                    "[--border-color RRGGBB] [BACKGROUND.png] --sheet OUT.png"),
     effectText});

} // namespace

} // namespace pvsm::cli
