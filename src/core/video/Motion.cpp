#include "Motion.h"

#include "PictureInfo.h"
#include "PictureLoad.h"
#include "Random.h"

#include <QPainter>


#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace pvsm {

double MotionEase(double u, int32_t curve)
{
    u = std::clamp(u, 0.0, 1.0);
    if (curve == 1) return 0.5 - 0.5 * std::cos(std::numbers::pi * u);
    return u;
}

namespace {

// One axis of MotionRectAt: position and extent at eased time t.
void axisAt(double p0, double e0, double p1, double e1, double t, double &p, double &e)
{
    const double k = e1 / e0;
    if (!(e0 > 0) || !(e1 > 0) || std::abs(k - 1.0) < 1e-6) {
        p = p0 + (p1 - p0) * t;
        e = e0 + (e1 - e0) * t;
        return;
    }
    // The extent changes by a constant factor per frame; the edge keeps its
    // place relative to the fixed point c of the similarity that maps the
    // start onto the end.
    const double kt = std::pow(k, t);
    const double c = (p1 - k * p0) / (1.0 - k);
    e = e0 * kt;
    p = c + (p0 - c) * kt;
}

} // namespace

QRectF MotionRectAt(const PictureMotion &motion, double u)
{
    const double t = MotionEase(u, motion.curve);
    const QRectF &a = motion.start;
    const QRectF &b = motion.end;
    double x, w, y, h;
    axisAt(a.x(), a.width(), b.x(), b.width(), t, x, w);
    axisAt(a.y(), a.height(), b.y(), b.height(), t, y, h);
    return {x, y, w, h};
}

QRectF OutputOnPicture(const QRectF &drawn, QSize outputSize)
{
    if (drawn.width() <= 0 || drawn.height() <= 0) return {0, 0, 1, 1};
    return {-drawn.x() / drawn.width(), -drawn.y() / drawn.height(), outputSize.width() / drawn.width(),
            outputSize.height() / drawn.height()};
}

QRectF RestPlacement(QSize displaySize, int32_t drawMode, QSize outputSize)
{
    const double W = outputSize.width(), H = outputSize.height();
    const double dw = std::max(1, displaySize.width()), dh = std::max(1, displaySize.height());
    if (drawMode == 4) return {0, 0, W, H};
    double scale = std::min(W / dw, H / dh);
    if (drawMode != 3) scale = std::min(1.0, scale); // natural size, shrunk to fit when larger
    const double w = dw * scale, h = dh * scale;
    return {(W - w) / 2, (H - h) / 2, w, h};
}

PictureMotion AutomaticMotion(int64_t ordinal, const QRectF &rest)
{
    // Around the middle, where the subject of a photo usually is; taken in a
    // cycle of four, so neighbours always differ.
    static constexpr double kPoints[4][2] = {{0.38, 0.40}, {0.62, 0.60}, {0.62, 0.40}, {0.38, 0.60}};
    const int64_t n = ((ordinal - 1) % 4 + 4) % 4;
    const double px = rest.x() + kPoints[n][0] * rest.width();
    const double py = rest.y() + kPoints[n][1] * rest.height();
    PictureMotion m;
    m.on = true;
    m.curve = 0;
    m.start = rest;
    m.end = QRectF(px - (px - rest.x()) / kAutoMotionZoom, py - (py - rest.y()) / kAutoMotionZoom,
                   rest.width() / kAutoMotionZoom, rest.height() / kAutoMotionZoom);
    return m;
}

// ---- the moving slide ---------------------------------------------------------

std::shared_ptr<MovingSlide> MovingSlide::prepare(const QString &path, const PictureMotion &motion,
                                                  const QImage &background)
{
    const QSize out = background.size();
    if (out.isEmpty()) return nullptr;
    const ImageInfo info = GetImageInfo(path);
    const double dw = info.DisplayWidth, dh = info.DisplayHeight;
    if (dw <= 0 || dh <= 0) return nullptr;

    // Picture pixels per output pixel where the view is closest: the prepared
    // picture keeps that many and no more, so no frame is enlarged from less
    // than the file holds and none samples from much more than it draws.
    auto density = [&](const QRectF &r) {
        return std::min(r.width() * dw / out.width(), r.height() * dh / out.height());
    };
    const double closest = std::min(density(motion.start), density(motion.end));
    const double farthest = std::max(density(motion.start), density(motion.end));
    // A gentle zoom is sampled from a picture no denser than its farthest
    // view needs: no frame then reads more than one picture pixel per output
    // pixel, so fine detail cannot shimmer, and the closest view is enlarged
    // by the zoom's few percent only. A deep zoom keeps its closest view sharp.
    const double keep = farthest <= closest * 1.3 ? farthest : closest;
    double f = keep > 1 ? 1.0 / keep : 1.0;
    // At most twice the output's width and height.
    f = std::min(f, 2.0 * std::sqrt(double(out.width()) * out.height() / (dw * dh)));
    const QSize size(std::max(1, int(std::lround(dw * f))), std::max(1, int(std::lround(dh * f))));
    QImage picture = LoadPictureForTarget(path, 4, size);
    if (picture.isNull()) return nullptr;
    const bool opaque = !picture.hasAlphaChannel();
    picture = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);

    auto slide = std::make_shared<MovingSlide>();
    slide->m_opaque = opaque;
    slide->m_motion = motion;
    slide->m_background = background.format() == QImage::Format_RGB32 ? background
                                                                      : background.convertToFormat(QImage::Format_RGB32);
    // One transparent pixel all round: the sampler never reads outside, and
    // the picture's edges fade into the background under them.
    QImage framed(picture.width() + 2, picture.height() + 2, QImage::Format_ARGB32_Premultiplied);
    framed.fill(Qt::transparent);
    for (int y = 0; y < picture.height(); ++y)
        std::memcpy(framed.scanLine(y + 1) + 4, picture.constScanLine(y), size_t(picture.width()) * 4);
    slide->m_picture = std::move(framed);
    return slide;
}

void MovingSlide::setOverlay(QImage overlay)
{
    m_overlay = std::move(overlay);
    m_overlayBounds = QRect();
    if (m_overlay.isNull()) return;
    if (m_overlay.format() != QImage::Format_ARGB32_Premultiplied)
        m_overlay = m_overlay.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int x0 = m_overlay.width(), y0 = m_overlay.height(), x1 = -1, y1 = -1;
    for (int y = 0; y < m_overlay.height(); ++y) {
        const auto *row = reinterpret_cast<const uint32_t *>(m_overlay.constScanLine(y));
        for (int x = 0; x < m_overlay.width(); ++x) {
            if (row[x] == 0) continue;
            x0 = std::min(x0, x);
            x1 = std::max(x1, x);
            y0 = std::min(y0, y);
            y1 = std::max(y1, y);
        }
    }
    if (x1 >= 0) m_overlayBounds = QRect(QPoint(x0, y0), QPoint(x1, y1));
    else m_overlay = QImage();
}

void MovingSlide::drawFrame(QImage &target, double u, bool withOverlay) const
{
    if (target.size() != m_background.size() || target.format() != QImage::Format_RGB32)
        target = QImage(m_background.size(), QImage::Format_RGB32);
    // Only what the picture leaves uncovered is copied from the background.
    DrawPictureRegion(target, m_picture, MotionRectAt(m_motion, u), &m_background, m_opaque);
    if (withOverlay && !m_overlay.isNull()) {
        QPainter painter(&target);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.drawImage(m_overlayBounds.topLeft(), m_overlay, m_overlayBounds);
    }
}

// ---- sampling -------------------------------------------------------------------

namespace {

// p + (q - p) * w / 256 in each of the four bytes, w in 0 .. 256.
inline uint32_t lerp(uint32_t p, uint32_t q, uint32_t w)
{
    const uint32_t iw = 256 - w;
    const uint32_t rb = (((p & 0xFF00FFu) * iw + (q & 0xFF00FFu) * w) >> 8) & 0xFF00FFu;
    const uint32_t ag = (((p >> 8) & 0xFF00FFu) * iw + ((q >> 8) & 0xFF00FFu) * w) & 0xFF00FF00u;
    return rb | ag;
}

// A premultiplied colour over an opaque one.
inline uint32_t over(uint32_t src, uint32_t dst)
{
    const uint32_t a = src >> 24;
    if (a == 255) return src;
    if (a == 0) return dst;
    const uint32_t ia = 255 - a;
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t c = ((src >> shift) & 0xFF) + (((dst >> shift) & 0xFF) * ia + 127) / 255;
        out |= std::min<uint32_t>(255, c) << shift;
    }
    return out;
}

} // namespace

void DrawPictureRegion(QImage &target, const QImage &picture, const QRectF &onPicture, const QImage *background,
                       bool opaque)
{
    if (target.isNull()) return;
    const int W = target.width(), H = target.height();
    if (background && (background->size() != target.size() || background->format() != target.format())) background = nullptr;
    // Without a background, what lies under the picture is the target as it is.
    QImage under;
    if (!background) {
        under = target.copy();
        background = &under;
    }
    auto backgroundRow = [&](int Y, int from, int to) {
        if (from < to)
            std::memcpy(reinterpret_cast<uint32_t *>(target.scanLine(Y)) + from,
                        reinterpret_cast<const uint32_t *>(background->constScanLine(Y)) + from, size_t(to - from) * 4);
    };
    auto allBackground = [&] {
        for (int Y = 0; Y < H; ++Y) backgroundRow(Y, 0, W);
    };
    if (picture.width() < 3 || picture.height() < 3 || onPicture.width() <= 0 || onPicture.height() <= 0)
        return allBackground();
    const int pw = picture.width() - 2, ph = picture.height() - 2;
    // Sample position (in the framed picture, pixel centres at whole numbers
    // plus one half removed) of target pixel X: A * X + B.
    const double ax = onPicture.width() * pw / W;
    const double bx = (onPicture.x() + 0.5 * onPicture.width() / W) * pw + 0.5;
    const double ay = onPicture.height() * ph / H;
    const double by = (onPicture.y() + 0.5 * onPicture.height() / H) * ph + 0.5;
    // Target pixels whose two taps both lie inside the framed picture.
    auto range = [](double a, double b, int limit, int count, int &first, int &end) {
        first = std::max(0, int(std::ceil((0.0 - b) / a)));
        end = std::min(count, int(std::ceil((limit - b) / a)));
    };
    int x0, x1, y0, y1;
    range(ax, bx, pw + 1, W, x0, x1);
    range(ay, by, ph + 1, H, y0, y1);
    if (x0 >= x1 || y0 >= y1) return allBackground();
    const int n = x1 - x0;
    for (int Y = 0; Y < y0; ++Y) backgroundRow(Y, 0, W);
    for (int Y = y1; Y < H; ++Y) backgroundRow(Y, 0, W);

    // The mapping only scales and moves: the stretched copy's kernels sample
    // it, alpha and all, and what is not opaque (the picture's edges, where
    // its transparent frame is blended in, or its own transparency) is then
    // laid over the background.
    SampleBilinear(target, QRect(x0, y0, n, y1 - y0), picture, ax, bx, ay, by);
    for (int Y = y0; Y < y1; ++Y) {
        backgroundRow(Y, 0, x0);
        backgroundRow(Y, x1, W);
        auto *dst = reinterpret_cast<uint32_t *>(target.scanLine(Y)) + x0;
        const auto *back = reinterpret_cast<const uint32_t *>(background->constScanLine(Y)) + x0;
        if (opaque) {
            // Inside an opaque picture only the ends of a row can be see-through.
            int i = 0;
            for (; i < n && dst[i] < 0xFF000000u; ++i) dst[i] = over(dst[i], back[i]);
            for (int j = n - 1; j > i && dst[j] < 0xFF000000u; --j) dst[j] = over(dst[j], back[j]);
        } else {
            for (int i = 0; i < n; ++i)
                if (dst[i] < 0xFF000000u) dst[i] = over(dst[i], back[i]);
        }
    }
}

// ---- renderers over moving pictures -------------------------------------------

uint32_t DrawRendererSeed()
{
    return uint32_t(Rnd() * 4294967296.0);
}

namespace {

// Runs `render` with the random source started from `seed`, then puts the
// source back as it was.
void withSeed(uint32_t seed, const std::function<void()> &run)
{
    RandomSource &g = RandomSource::global();
    const RandomSource saved = g;
    g.setFixedSeed(seed);
    g.reseedFromClock();
    run();
    g = saved;
}

// Thrown by CaptureSink once it has its frame, to end the renderer's run
// early; caught in RenderPerFrame and never let out of this file.
struct FrameCaptured
{
};

// Keeps frame `wanted` (from 0) of what a renderer writes, and ends the run there.
class CaptureSink : public FrameSink
{
public:
    explicit CaptureSink(int64_t wanted) : m_wanted(wanted) {}
    bool WriteFrame(const QImage &frame, int count = 1) override
    {
        if (count < 1) return false;
        if (m_wanted >= m_seen && m_wanted < m_seen + count) {
            m_frame = frame.copy();
            m_seen += count;
            throw FrameCaptured{};
        }
        m_seen += count;
        return true;
    }
    int64_t framesWritten() const override { return m_seen; }
    const QImage &frame() const { return m_frame; }

private:
    int64_t m_wanted;
    int64_t m_seen = 0;
    QImage m_frame;
};

} // namespace

int64_t CountFrames(uint32_t seed, const std::function<void(FrameSink &sink)> &render)
{
    NullFrameSink counter;
    withSeed(seed, [&] { render(counter); });
    return counter.framesWritten();
}

int64_t RenderPerFrame(FrameSink &out, uint32_t seed, const std::function<void(int64_t frame)> &prepare,
                       const std::function<void(FrameSink &sink)> &render)
{
    prepare(0);
    const int64_t frames = CountFrames(seed, render);
    int64_t written = 0;
    for (int64_t f = 0; f < frames && !out.stopped(); ++f) {
        prepare(f);
        CaptureSink capture(f);
        withSeed(seed, [&] {
            try {
                render(capture);
            } catch (const FrameCaptured &) {
                // The later frames of this run are not needed.
            }
        });
        if (capture.frame().isNull()) break;
        out.WriteFrame(capture.frame(), 1);
        ++written;
    }
    return written;
}

namespace {

// One frame's cover of the new picture (0: the old one shows, 255: the new
// one), as runs of equal values: wipes and fades are long runs, so a
// transition's covers take little memory however long it lasts.
class Cover
{
public:
    Cover(const QImage &frame)
    {
        const int W = frame.width(), H = frame.height();
        std::vector<uint8_t> values(static_cast<size_t>(W), uint8_t(0));
        for (int y = 0; y < H; ++y) {
            const auto *row = reinterpret_cast<const uint32_t *>(frame.constScanLine(y));
            uint8_t *v = values.data();
            for (int x = 0; x < W; ++x) v[x] = uint8_t(row[x] >> 8);
            for (int x = 0; x < W;) {
                const uint8_t c = v[x];
                int end = x + 1;
                // Wipes and fades are long runs: eight values at a time.
                const uint64_t same = 0x0101010101010101ull * c;
                for (uint64_t word; end + 8 <= W; end += 8) {
                    std::memcpy(&word, v + end, 8);
                    if (word != same) break;
                }
                while (end < W && v[end] == c) ++end;
                add(c, end - x);
                x = end;
            }
        }
    }
    // The values of row y of a picture `width` wide, in order: call for y = 0, 1, ...
    void row(int width, uint8_t *out) const
    {
        int x = 0;
        while (x < width && m_next < m_runs.size()) {
            const Run &r = m_runs[m_next];
            const int take = std::min(width - x, int(r.length) - m_used);
            std::memset(out + x, r.value, size_t(take));
            x += take;
            m_used += take;
            if (m_used == int(r.length)) {
                ++m_next;
                m_used = 0;
            }
        }
        if (x < width) std::memset(out + x, 0, size_t(width - x));
    }
    void rewind() const
    {
        m_next = 0;
        m_used = 0;
    }

private:
    struct Run
    {
        uint8_t value;
        uint16_t length;
    };
    void add(uint8_t value, int length)
    {
        while (length > 0) {
            if (!m_runs.empty() && m_runs.back().value == value && m_runs.back().length < 65535) {
                const int take = std::min(length, 65535 - int(m_runs.back().length));
                m_runs.back().length = uint16_t(m_runs.back().length + take);
                length -= take;
            } else {
                const int take = std::min(length, 65535);
                m_runs.push_back({value, uint16_t(take)});
                length -= take;
            }
        }
    }
    std::vector<Run> m_runs;
    mutable size_t m_next = 0;
    mutable int m_used = 0;
};

// Records each frame's cover: the green channel of a run from black to white.
class CoverSink : public FrameSink
{
public:
    bool WriteFrame(const QImage &frame, int count = 1) override
    {
        if (count < 1) return false;
        auto shared = std::make_shared<const Cover>(frame);
        for (int i = 0; i < count; ++i) covers.push_back(shared);
        return true;
    }
    int64_t framesWritten() const override { return int64_t(covers.size()); }
    std::vector<std::shared_ptr<const Cover>> covers;
};

// `from` and `to` blended by `cover` (0: from, 255: to) into `target`.
void blendByCover(QImage &target, const QImage &from, const QImage &to, const Cover &cover)
{
    const int W = from.width(), H = from.height();
    if (target.size() != from.size() || target.format() != QImage::Format_RGB32) target = QImage(from.size(), QImage::Format_RGB32);
    std::vector<uint8_t> values(static_cast<size_t>(W), uint8_t(0));
    cover.rewind();
    for (int y = 0; y < H; ++y) {
        const auto *a = reinterpret_cast<const uint32_t *>(from.constScanLine(y));
        const auto *b = reinterpret_cast<const uint32_t *>(to.constScanLine(y));
        cover.row(W, values.data());
        BlendRow(reinterpret_cast<uint32_t *>(target.scanLine(y)), a, b, values.data(), W, 0xFF000000u);
    }
}

// Whether `frame` is `from` and `to` blended by `cover`, within rounding, on
// a grid of every few pixels.
bool isBlendOf(const QImage &frame, const QImage &from, const QImage &to, const Cover &cover)
{
    const int W = frame.width();
    std::vector<uint8_t> values(static_cast<size_t>(W), uint8_t(0));
    cover.rewind();
    for (int y = 0; y < frame.height(); ++y) {
        cover.row(W, values.data());
        if (y % 3 != 1) continue;
        const auto *f = reinterpret_cast<const uint32_t *>(frame.constScanLine(y));
        const auto *a = reinterpret_cast<const uint32_t *>(from.constScanLine(y));
        const auto *b = reinterpret_cast<const uint32_t *>(to.constScanLine(y));
        const uint8_t *c = values.data();
        for (int x = (y / 3) % 3; x < W; x += 3) {
            const uint32_t w = c[x] + (c[x] >> 7);
            const uint32_t want = lerp(a[x], b[x], w);
            for (int shift = 0; shift < 24; shift += 8)
                if (std::abs(int((f[x] >> shift) & 0xFF) - int((want >> shift) & 0xFF)) > 3) return false;
        }
    }
    return true;
}

// Compares each frame of a run over still pictures with their blend.
class BlendCheckSink : public FrameSink
{
public:
    BlendCheckSink(const QImage &from, const QImage &to, const std::vector<std::shared_ptr<const Cover>> &covers)
        : m_from(from), m_to(to), m_covers(covers)
    {
    }
    bool WriteFrame(const QImage &frame, int count = 1) override
    {
        if (count < 1) return false;
        if (size_t(m_seen) >= m_covers.size() || frame.size() != m_from.size()
            || !isBlendOf(frame, m_from, m_to, *m_covers[size_t(m_seen)]))
            blends = false;
        m_seen += count;
        return true;
    }
    int64_t framesWritten() const override { return m_seen; }
    bool blends = true;

private:
    const QImage &m_from, &m_to;
    const std::vector<std::shared_ptr<const Cover>> &m_covers;
    int64_t m_seen = 0;
};

} // namespace

int64_t RenderTransitionOverMotion(FrameSink &out, uint32_t seed, clsMemDC &from, clsMemDC &to,
                                   const std::function<void(int64_t frame)> &prepare,
                                   const std::function<void(FrameSink &sink, clsMemDC &from, const clsMemDC &to)> &render)
{
    const int W = from.Width(), H = from.Height();
    CoverSink covers;
    {
        clsMemDC black(W, H, 0x000000), white(W, H, 0xFFFFFF);
        withSeed(seed, [&] { render(covers, black, white); });
    }
    prepare(0);
    const QImage from0 = from.image().copy(), to0 = to.image().copy();
    BlendCheckSink check(from0, to0, covers.covers);
    withSeed(seed, [&] { render(check, from, to); });
    if (!check.blends || check.framesWritten() != covers.framesWritten())
        return RenderPerFrame(out, seed, prepare, [&](FrameSink &sink) { render(sink, from, to); });
    QImage frame;
    int64_t written = 0;
    for (const auto &cover : covers.covers) {
        if (out.stopped()) break;
        prepare(written);
        blendByCover(frame, from.image(), to.image(), *cover);
        out.WriteFrame(frame, 1);
        ++written;
    }
    return written;
}

namespace {

// A renderer's frame over black, kept where it is not black.
struct KeptFrame
{
    QRect bounds;
    QImage pixels;
};

QRect boundsOfOther(const QImage &frame, uint32_t colour)
{
    int x0 = frame.width(), y0 = frame.height(), x1 = -1, y1 = -1;
    for (int y = 0; y < frame.height(); ++y) {
        const auto *row = reinterpret_cast<const uint32_t *>(frame.constScanLine(y));
        int first = -1, last = -1;
        for (int x = 0; x < frame.width(); ++x)
            if ((row[x] & 0xFFFFFFu) != colour) {
                if (first < 0) first = x;
                last = x;
            }
        if (first < 0) continue;
        x0 = std::min(x0, first);
        x1 = std::max(x1, last);
        y0 = std::min(y0, y);
        y1 = std::max(y1, y);
    }
    return x1 < 0 ? QRect() : QRect(QPoint(x0, y0), QPoint(x1, y1));
}

class KeepingSink : public FrameSink
{
public:
    bool WriteFrame(const QImage &frame, int count = 1) override
    {
        if (count < 1) return false;
        const QRect b = boundsOfOther(frame, 0);
        KeptFrame k{b, b.isEmpty() ? QImage() : frame.copy(b)};
        for (int i = 0; i < count; ++i) frames.push_back(k);
        return true;
    }
    int64_t framesWritten() const override { return int64_t(frames.size()); }
    std::vector<KeptFrame> frames;
};

// Lays the text of a frame over black (`black`) and over white (`white`)
// over `target`: each colour is black + target * (white - black) / 255, which
// is the text over the target wherever the renderer blended text over its
// surface.
void layText(QImage &target, const KeptFrame &black, const QImage &white)
{
    const QRect area = black.bounds.united(boundsOfOther(white, 0xFFFFFFu));
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto *dst = reinterpret_cast<uint32_t *>(target.scanLine(y));
        const auto *w = reinterpret_cast<const uint32_t *>(white.constScanLine(y));
        const uint32_t *b = black.bounds.contains(black.bounds.left(), y) && !black.pixels.isNull()
                                ? reinterpret_cast<const uint32_t *>(black.pixels.constScanLine(y - black.bounds.top()))
                                : nullptr;
        for (int x = area.left(); x <= area.right(); ++x) {
            const uint32_t bp = b && x >= black.bounds.left() && x <= black.bounds.right() ? b[x - black.bounds.left()] : 0;
            const uint32_t wp = w[x];
            if ((bp & 0xFFFFFFu) == 0 && (wp & 0xFFFFFFu) == 0xFFFFFFu) continue; // no text here
            uint32_t out = 0xFF000000u;
            for (int shift = 0; shift < 24; shift += 8) {
                const int bc = int((bp >> shift) & 0xFF), wc = int((wp >> shift) & 0xFF);
                const int mc = int((dst[x] >> shift) & 0xFF);
                const int c = bc + (mc * std::max(0, wc - bc) + 127) / 255;
                out |= uint32_t(std::clamp(c, 0, 255)) << shift;
            }
            dst[x] = out;
        }
    }
}

// Passes each frame written over white on as the moving picture with the text laid over it.
class LayingSink : public FrameSink
{
public:
    LayingSink(FrameSink &out, const std::vector<KeptFrame> &black,
               const std::function<void(QImage &target, int64_t frame)> &frameAt)
        : m_out(out), m_black(black), m_frameAt(frameAt)
    {
    }
    bool WriteFrame(const QImage &frame, int count = 1) override
    {
        if (count < 1) return false;
        for (int i = 0; i < count; ++i, ++m_written) {
            m_frameAt(m_canvas, m_written);
            if (size_t(m_written) < m_black.size() && m_canvas.size() == frame.size())
                layText(m_canvas, m_black[size_t(m_written)], frame);
            m_out.WriteFrame(m_canvas, 1);
        }
        return true;
    }
    int64_t framesWritten() const override { return m_written; }
    bool stopped() const override { return m_out.stopped(); }

private:
    FrameSink &m_out;
    const std::vector<KeptFrame> &m_black;
    const std::function<void(QImage &, int64_t)> &m_frameAt;
    QImage m_canvas;
    int64_t m_written = 0;
};

} // namespace

int64_t RenderTextOverMotion(FrameSink &out, uint32_t seed, QSize size,
                             const std::function<void(QImage &target, int64_t frame)> &frameAt,
                             const std::function<void(FrameSink &sink, clsMemDC &surface)> &render,
                             QImage *finalText)
{
    KeepingSink overBlack;
    clsMemDC black(size.width(), size.height(), 0x000000);
    withSeed(seed, [&] { render(overBlack, black); });
    LayingSink laying(out, overBlack.frames, frameAt);
    clsMemDC white(size.width(), size.height(), 0xFFFFFF);
    withSeed(seed, [&] { render(laying, white); });
    if (finalText) {
        // Cover is what the two surfaces differ in; the colour over black is
        // already the text's colour times its cover.
        QImage text(size, QImage::Format_ARGB32_Premultiplied);
        text.fill(Qt::transparent);
        for (int y = 0; y < size.height(); ++y) {
            const auto *b = reinterpret_cast<const uint32_t *>(black.image().constScanLine(y));
            const auto *w = reinterpret_cast<const uint32_t *>(white.image().constScanLine(y));
            auto *t = reinterpret_cast<uint32_t *>(text.scanLine(y));
            for (int x = 0; x < size.width(); ++x) {
                int diff = 0, maxc = 0;
                for (int shift = 0; shift < 24; shift += 8) {
                    const int bc = int((b[x] >> shift) & 0xFF);
                    diff += std::max(0, int((w[x] >> shift) & 0xFF) - bc);
                    maxc = std::max(maxc, bc);
                }
                const int alpha = std::max(maxc, 255 - (diff + 1) / 3);
                if (alpha == 0) continue;
                t[x] = (uint32_t(alpha) << 24) | (b[x] & 0xFFFFFFu);
            }
        }
        *finalText = std::move(text);
    }
    return laying.framesWritten();
}

} // namespace pvsm
