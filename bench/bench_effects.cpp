// Cost of every transition (each variant) and every text effect per written
// picture and per written frame, at 1280 × 720 and 1920 × 1080 with TF 30.
//
// Usage: bench_effects [RUNS [ROUNDS]]   (defaults 3 and 3)
//
// Every case runs RUNS times back to back in each of ROUNDS rounds over all
// cases and keeps its fastest run. Times are processor time of the whole
// process (all threads), not wall time, so that other work on a busy machine
// disturbs them little; the rounds spread each case's runs over the whole
// benchmark, so that a busy spell on a shared machine, which also slows the
// processor time through shared caches and memory, does not fall on all the
// runs of the cases measured during it.
//
// Reference: one full-surface block copy, measured in the same run. The
// transitions are also compared with their median cost per frame: a renderer
// far above the median is doing whole-surface work where a strip would do.
#include "FrameSink.h"
#include "Random.h"
#include "TextEffect.h"
#include "Transition.h"
#include "clsMemDC.h"

#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <time.h>

using namespace pvsm;

namespace {

constexpr uint32_t kSeed = 20240601;
constexpr double kMaxRatio = 3.0; // the allowed cost per frame, in medians

// Processor time of the process in milliseconds.
double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// A picture with structure everywhere, so that no renderer meets flat colour.
clsMemDC makePicture(int w, int h, bool second)
{
    clsMemDC c(w, h, 0);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(c.image().scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int r = x * 255 / std::max(1, w - 1), g = y * 255 / std::max(1, h - 1);
            line[x] = second ? qRgb(255 - g, 40 + r / 2, (x ^ y) & 0xFF) : qRgb(r, g, 128 + ((x + y) & 0x3F));
        }
    }
    return c;
}

struct Measured
{
    std::string name;
    std::string renderer; // rows of the same renderer are its variants
    double ms = 0;        // fastest run
    int64_t pictures = 0;
    int64_t frames = 0;
    double msPerPicture() const { return pictures > 0 ? ms / double(pictures) : 0; }
    double msPerFrame() const { return frames > 0 ? ms / double(frames) : 0; }
};

// Runs `render` (which draws on `surface` into `sink`) `runs` times on a fresh
// copy of `start`; the copy is not timed.
template <typename Render> Measured measure(const std::string &name, const clsMemDC &start, int runs, Render render)
{
    Measured m{name, {}, 1e300, 0, 0};
    // PVSM_BENCH_ONLY=NAME measures only the cases whose name holds NAME, for profiling one renderer.
    const char *only = std::getenv("PVSM_BENCH_ONLY");
    if (only && *only && name.find(only) == std::string::npos) {
        m.ms = 0;
        return m;
    }
    clsMemDC surface(start.Width(), start.Height(), 0);
    for (int run = 0; run < runs; ++run) {
        BitBlt(surface, 0, 0, start.Width(), start.Height(), start, 0, 0);
        NullFrameSink sink;
        RandomSource::global().setFixedSeed(kSeed);
        const double started = cpuMs();
        render(surface, sink);
        m.ms = std::min(m.ms, cpuMs() - started);
        m.pictures = sink.picturesWritten();
        m.frames = sink.framesWritten();
    }
    RandomSource::global().clearFixedSeed();
    return m;
}

double median(std::vector<double> v)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

const char *argumentName(TransitionArgument a)
{
    switch (a) {
    case TransitionArgument::V2:
        return "v2";
    case TransitionArgument::V4:
        return "v4";
    case TransitionArgument::CellSize:
        return "cell";
    case TransitionArgument::None:
        break;
    }
    return "";
}

void printHeader(const char *what)
{
    std::printf("\n  %-36s %8s %8s %10s %12s %10s %8s\n", what, "pictures", "frames", "ms", "ms/picture", "ms/frame",
                "/median");
}

void printRow(const Measured &m, double medianMsPerFrame, bool flag)
{
    const double ratio = medianMsPerFrame > 0 ? m.msPerFrame() / medianMsPerFrame : 0;
    std::printf("  %-36s %8lld %8lld %10.1f %12.3f %10.3f %8.2f%s\n", m.name.c_str(), (long long)m.pictures,
                (long long)m.frames, m.ms, m.msPerPicture(), m.msPerFrame(), ratio,
                flag && ratio > kMaxRatio ? "  <-- above 3 x median" : "");
}

// Two whole pictures read and a third written, with nothing computed but an
// OR: the least memory traffic of a renderer that makes every frame afresh
// from two whole pictures, as the cross-fade must.
__attribute__((optimize("O3"))) void orPictures(QImage &dst, const QImage &a, const QImage &b)
{
    const int w = dst.width(), h = dst.height();
    for (int y = 0; y < h; ++y) {
        auto *__restrict d = reinterpret_cast<QRgb *>(dst.scanLine(y));
        const auto *__restrict p = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *__restrict q = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < w; ++x) d[x] = p[x] | q[x];
    }
}

// Keeps the faster of two measurements of one case.
void keepFaster(std::vector<Measured> &kept, size_t i, Measured m)
{
    if (i >= kept.size())
        kept.push_back(std::move(m));
    else if (m.ms < kept[i].ms)
        kept[i].ms = m.ms;
}

void measureTransitions(int W, int H, int runs, const clsMemDC &oldPicture, const clsMemDC &newPicture,
                        std::vector<Measured> &kept)
{
    size_t index = 0;
    for (const TransitionEntry &e : transitionCatalogue()) {
        const int variants = e.argument == TransitionArgument::V4 ? 4 : e.argument == TransitionArgument::V2 ? 2 : 1;
        for (int v = 0; v < variants; ++v) {
            // Id 17 is two renderers, chosen by v2.
            const std::string renderer = e.id != 17 ? e.renderer
                                         : v == 1   ? "ZoomThroughTransition"
                                                    : "ShrinkGrowTransition";
            std::string name = std::to_string(e.id) + " " + renderer;
            if (variants > 1) name += std::string(" ") + argumentName(e.argument) + "=" + std::to_string(v);
            const int v2 = e.argument == TransitionArgument::V2 ? v : 0;
            const int v4 = e.argument == TransitionArgument::V4 ? v : 0;
            Measured m = measure(name, oldPicture, runs, [&](clsMemDC &dest, FrameSink &sink) {
                TransitionContext ctx{sink, 30, TransitionContext::stepXFor(W), TransitionContext::stepYFor(H)};
                RunTransition(ctx, e.id, dest, newPicture, v2, v4);
            });
            m.renderer = renderer;
            keepFaster(kept, index++, std::move(m));
        }
    }
}

void measureTextEffects(int W, int H, int runs, const clsMemDC &oldPicture, std::vector<Measured> &kept)
{
    // A headline as the frame loop lays it out: a box of 70 % × 20 % of the
    // picture, the font a tenth of the picture's height.
    TextPathStyle style;
    style.fontName = QStringLiteral("Noto Sans CJK SC");
    style.sizePx = H / 10.0;
    style.fontStyle = kFontBold;
    style.alignment = 4;
    style.pattern = 6;
    style.borderWidthPx = 3;
    style.startArgb = 0xFFFF4000;
    style.endArgb = 0xFFFFE000;
    style.borderArgb = 0xAA101010;
    const QRectF rect(W * 0.15, H * 0.4, W * 0.7, H * 0.2);
    const QString text = QStringLiteral("图片幻灯 Slideshow 文字效果");
    size_t index = 0;
    for (const TextEffectEntry &e : textEffectCatalogue()) {
        for (int v = 0; v < (e.takesVariant ? 4 : 1); ++v) {
            std::string name = std::to_string(e.value) + " " + e.renderer;
            if (e.takesVariant) name += " v4=" + std::to_string(v);
            keepFaster(kept, index++, measure(name, oldPicture, runs, [&](clsMemDC &surface, FrameSink &sink) {
                           TextEffectContext ctx{sink, style};
                           RunTextEffect(ctx, e.value, surface, rect, text, 1.0, v);
                       }));
        }
    }
}

// Prints the tables; returns the median cost per frame of the transitions.
double report(const std::vector<Measured> &transitions, const std::vector<Measured> &texts)
{
    // The median over the renderers, each counted once at the mean of its
    // variants, so that the many cheap four-variant wipes do not outvote the
    // rest. The median over every variant run is shown beside it.
    std::vector<double> perRenderer, perRun;
    for (size_t i = 0; i < transitions.size();) {
        size_t j = i;
        double sum = 0;
        for (; j < transitions.size() && transitions[j].renderer == transitions[i].renderer; ++j) {
            sum += transitions[j].msPerFrame();
            perRun.push_back(transitions[j].msPerFrame());
        }
        perRenderer.push_back(sum / double(j - i));
        i = j;
    }
    const double med = median(perRenderer);
    printHeader("transition");
    for (const Measured &m : transitions)
        printRow(m, med, true);
    std::printf("  median over the %zu renderers: %.3f ms per frame (over all %zu variant runs: %.3f)\n",
                perRenderer.size(), med, perRun.size(), median(perRun));

    printHeader("text effect (ratio to the transitions' median)");
    for (const Measured &m : texts)
        printRow(m, med, false);
    return med;
}

void benchSize(int W, int H, int runs, int rounds)
{
    const clsMemDC oldPicture = makePicture(W, H, false);
    const clsMemDC newPicture = makePicture(W, H, true);
    std::printf("\n=== %d x %d, TF 30 ===\n", W, H);

    double copyMs = 1e300, twoPicturesMs = 1e300;
    std::vector<Measured> transitions, texts;
    for (int round = 0; round < rounds; ++round) {
        // References: the cheapest whole picture a renderer can make, and the
        // cheapest made from two whole pictures.
        clsMemDC target(W, H, 0);
        constexpr int kCopies = 30;
        for (int run = 0; run < runs; ++run) {
            double started = cpuMs();
            for (int i = 0; i < kCopies; ++i)
                BitBlt(target, 0, 0, W, H, i % 2 ? oldPicture : newPicture, 0, 0);
            copyMs = std::min(copyMs, (cpuMs() - started) / kCopies);
            started = cpuMs();
            for (int i = 0; i < kCopies; ++i) orPictures(target.image(), oldPicture.image(), newPicture.image());
            twoPicturesMs = std::min(twoPicturesMs, (cpuMs() - started) / kCopies);
        }
        measureTransitions(W, H, runs, oldPicture, newPicture, transitions);
        measureTextEffects(W, H, runs, oldPicture, texts);
    }
    const double med = report(transitions, texts);
    std::printf("  reference: one full-surface block copy %.3f ms (%.2f x median)\n", copyMs, copyMs / med);
    std::printf("  reference: two whole pictures read, one written %.3f ms (%.2f x median)\n", twoPicturesMs,
                twoPicturesMs / med);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    pvsm::ReuseCanvasMemory();
    QGuiApplication app(argc, argv); // fonts for the text effects
    const int runs = argc > 1 ? std::clamp(std::atoi(argv[1]), 1, 100) : 3;
    const int rounds = argc > 2 ? std::clamp(std::atoi(argv[2]), 1, 100) : 3;
    std::printf("bench_effects: processor ms, fastest of %d run(s) in each of %d round(s) per case; NullFrameSink\n",
                runs, rounds);
    benchSize(1280, 720, runs, rounds);
    benchSize(1920, 1080, runs, rounds);
    return 0;
}
