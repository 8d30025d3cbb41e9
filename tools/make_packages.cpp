// Generates the data packages shipped beside the program: the resource
// package gmi.src (the rainbow text texture, the player's buttons, the test
// frame and the editor's own pictures) and the picture-frame packages
// 1.frame ... 8.frame. Every picture is drawn here, so the packages are built
// from this source and never committed as binaries.
//
// Frames are drawn at 1600 x 900 with an alpha channel: opaque or translucent
// where the frame covers the picture, fully transparent where the photo shows.
// The player and the export stretch them over the whole screen.
//
// usage: make_packages OUTPUT_FOLDER [--pictures FOLDER]
// (--pictures also writes every frame as a PNG there, to look at them)

#include "ResourcePackage.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSaveFile>

#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>
#include <vector>

namespace {

using pvsm::PackageSource;

constexpr int kW = 1600;
constexpr int kH = 900;
constexpr double kPi = std::numbers::pi;

// A generator of our own, so the pictures are the same on every machine and
// with every library version.
class Lcg
{
public:
    explicit Lcg(uint32_t seed) : m_state(seed) {}
    uint32_t next()
    {
        m_state = m_state * 1664525u + 1013904223u;
        return m_state >> 8;
    }
    double unit() { return double(next() & 0xFFFFFF) / double(0x1000000); }
    double range(double lo, double hi) { return lo + (hi - lo) * unit(); }

private:
    uint32_t m_state;
};

QByteArray encode(const QImage &image, const char *format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format, quality)) return {};
    return bytes;
}

QImage canvas(int w = kW, int h = kH)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A canvas of one colour whose alpha (0 ... 255) `alpha` gives per pixel:
// smooth glows and shadows without the banding of painted gradients.
QImage alphaField(QColor colour, const std::function<double(int x, int y)> &alpha)
{
    QImage image = canvas();
    for (int y = 0; y < kH; ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < kW; ++x) {
            const int a = std::clamp(int(std::lround(alpha(x, y))), 0, 255);
            row[x] = qPremultiply(qRgba(colour.red(), colour.green(), colour.blue(), a));
        }
    }
    return image;
}

// 0 at `w` x `h` pixels from every edge and further in, 1 at the edge.
double nearEdge(int x, int y, double w, double h)
{
    const double edge = std::min({x / w, y / h, (kW - 1 - x) / w, (kH - 1 - y) / h});
    return std::clamp(1.0 - edge, 0.0, 1.0);
}

// A frame drawn by `Draw` on a clear canvas with an antialiasing painter.
template <void (*Draw)(QPainter &)>
QImage painted()
{
    QImage image = canvas();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    Draw(p);
    return image;
}

// The area a frame of border widths (l, t, r, b) covers: the outside ring.
QPainterPath ring(const QRectF &outer, const QRectF &inner, double innerRadius = 0)
{
    QPainterPath path;
    path.addRect(outer);
    QPainterPath hole;
    if (innerRadius > 0)
        hole.addRoundedRect(inner, innerRadius, innerRadius);
    else
        hole.addRect(inner);
    return path.subtracted(hole);
}

// A soft shadow falling from a frame onto the photo: dark at the inner edge,
// fading into the picture over `depth` pixels.
void innerShadow(QPainter &p, const QRectF &inner, double depth, int alpha)
{
    p.save();
    p.setClipRect(inner);
    for (int i = 0; i < int(depth); ++i) {
        const double t = double(i) / depth;
        const int a = int(alpha * (1 - t) * (1 - t));
        p.setPen(QPen(QColor(0, 0, 0, a), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(inner.adjusted(i + 0.5, i + 0.5, -i - 0.5, -i - 0.5));
    }
    p.restore();
}

// Mitred picture-frame moulding: four trapezoids, each lit by a gradient
// across the moulding, lighter on the top and left as if lit from there.
void moulding(QPainter &p, const QRectF &outer, double width, const std::vector<std::pair<double, QColor>> &profile,
              double lightTopLeft, double darkBottomRight)
{
    const QRectF inner = outer.adjusted(width, width, -width, -width);
    struct Side
    {
        QPolygonF shape;
        QPointF from, to;
        double shade;
    };
    const Side sides[] = {
        {QPolygonF({outer.topLeft(), outer.topRight(), inner.topRight(), inner.topLeft()}),
         QPointF(0, outer.top()), QPointF(0, inner.top()), lightTopLeft},
        {QPolygonF({outer.topLeft(), inner.topLeft(), inner.bottomLeft(), outer.bottomLeft()}),
         QPointF(outer.left(), 0), QPointF(inner.left(), 0), lightTopLeft * 0.6},
        {QPolygonF({outer.bottomLeft(), inner.bottomLeft(), inner.bottomRight(), outer.bottomRight()}),
         QPointF(0, outer.bottom()), QPointF(0, inner.bottom()), darkBottomRight},
        {QPolygonF({outer.topRight(), outer.bottomRight(), inner.bottomRight(), inner.topRight()}),
         QPointF(outer.right(), 0), QPointF(inner.right(), 0), darkBottomRight * 0.7},
    };
    p.setPen(Qt::NoPen);
    for (const Side &s : sides) {
        QLinearGradient g(s.from, s.to);
        for (const auto &[at, colour] : profile) {
            QColor c = colour;
            c = s.shade >= 0 ? c.lighter(100 + int(s.shade * 100)) : c.darker(100 + int(-s.shade * 100));
            g.setColorAt(at, c);
        }
        p.setBrush(g);
        p.drawPolygon(s.shape);
    }
    // The mitre joints, a fine dark line each.
    p.setPen(QPen(QColor(40, 25, 5, 110), 1.2));
    p.drawLine(outer.topLeft(), inner.topLeft());
    p.drawLine(outer.topRight(), inner.topRight());
    p.drawLine(outer.bottomLeft(), inner.bottomLeft());
    p.drawLine(outer.bottomRight(), inner.bottomRight());
}

// 金色画框: a gilded moulding with a cream mat inside it.
void goldFrame(QPainter &p)
{
    const QRectF outer(0, 0, kW, kH);
    const std::vector<std::pair<double, QColor>> gold = {
        {0.00, QColor(92, 60, 18)},  {0.10, QColor(178, 132, 46)}, {0.28, QColor(246, 214, 122)},
        {0.42, QColor(196, 148, 54)}, {0.58, QColor(122, 82, 24)},  {0.70, QColor(232, 196, 104)},
        {0.86, QColor(168, 120, 40)}, {1.00, QColor(84, 54, 14)}};
    moulding(p, outer, 70, gold, 0.18, -0.22);
    // Beading along the inside of the moulding.
    const QRectF bead = outer.adjusted(62, 62, -62, -62);
    p.setPen(Qt::NoPen);
    auto beadAt = [&p](double x, double y) {
        QRadialGradient g(QPointF(x - 1.5, y - 1.5), 5);
        g.setColorAt(0, QColor(255, 240, 180));
        g.setColorAt(1, QColor(140, 96, 30));
        p.setBrush(g);
        p.drawEllipse(QPointF(x, y), 4, 4);
    };
    for (double x = bead.left() + 6; x < bead.right() - 4; x += 12) {
        beadAt(x, bead.top());
        beadAt(x, bead.bottom());
    }
    for (double y = bead.top() + 6; y < bead.bottom() - 4; y += 12) {
        beadAt(bead.left(), y);
        beadAt(bead.right(), y);
    }
    // The mat: warm ivory with a bevelled opening.
    const QRectF matOuter = outer.adjusted(70, 70, -70, -70);
    const QRectF opening = matOuter.adjusted(38, 38, -38, -38);
    p.setBrush(QColor(244, 236, 214));
    p.drawPath(ring(matOuter, opening));
    p.setPen(QPen(QColor(255, 252, 240), 3));
    p.setBrush(Qt::NoBrush);
    p.drawRect(opening.adjusted(-3, -3, 3, 3));
    p.setPen(QPen(QColor(150, 130, 96), 1.5));
    p.drawRect(opening.adjusted(-0.75, -0.75, 0.75, 0.75));
    innerShadow(p, matOuter, 14, 120);
    innerShadow(p, opening, 10, 90);
}

// 简约白边: a plain white border with a thin grey keyline, gallery style.
void whiteBorder(QPainter &p)
{
    const QRectF outer(0, 0, kW, kH);
    const QRectF inner = outer.adjusted(44, 44, -44, -44);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(252, 252, 250));
    p.drawPath(ring(outer, inner));
    p.setPen(QPen(QColor(190, 190, 186), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(outer.adjusted(18, 18, -18, -18));
    innerShadow(p, inner, 12, 110);
}

// 电影胶片: a strip of 35 mm film, sprocket holes and edge markings.
void filmStrip(QPainter &p)
{
    const double band = 96;
    const QColor film(22, 18, 14, 250);
    p.setPen(Qt::NoPen);
    p.setBrush(film);
    p.drawRect(QRectF(0, 0, kW, band));
    p.drawRect(QRectF(0, kH - band, kW, band));
    p.drawRect(QRectF(0, band, 26, kH - 2 * band));
    p.drawRect(QRectF(kW - 26, band, 26, kH - 2 * band));
    // Frame separators between exposures: the strip runs sideways.
    p.setBrush(QColor(22, 18, 14, 230));
    // Edge markings: a warm orange stripe of printed numbers and arrows.
    p.setBrush(QColor(230, 140, 40, 200));
    for (double x = 70; x < kW; x += 200) {
        QPolygonF arrow({QPointF(x, band - 14), QPointF(x + 14, band - 9), QPointF(x, band - 4)});
        p.drawPolygon(arrow);
        for (int k = 0; k < 4; ++k) p.drawRect(QRectF(x + 26 + k * 9, band - 14, 5, 10));
        p.drawPolygon(QPolygonF({QPointF(x, kH - band + 4), QPointF(x + 14, kH - band + 9), QPointF(x, kH - band + 14)}));
        for (int k = 0; k < 3; ++k) p.drawRect(QRectF(x + 26 + k * 9, kH - band + 4, 5, 10));
    }
    // Sprocket holes: see-through, with rounded corners and a faint rim.
    const double holeW = 30, holeH = 40, step = 56;
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.setBrush(Qt::black);
    for (double x = 18; x + holeW < kW; x += step) {
        p.drawRoundedRect(QRectF(x, 22, holeW, holeH), 6, 6);
        p.drawRoundedRect(QRectF(x, kH - 22 - holeH, holeW, holeH), 6, 6);
    }
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(90, 80, 70, 200), 1.5));
    for (double x = 18; x + holeW < kW; x += step) {
        p.drawRoundedRect(QRectF(x, 22, holeW, holeH), 6, 6);
        p.drawRoundedRect(QRectF(x, kH - 22 - holeH, holeW, holeH), 6, 6);
    }
    // The exposure's rounded corners and the soft edge of the gate.
    const QRectF gate(26, band, kW - 52, kH - 2 * band);
    p.setPen(Qt::NoPen);
    p.setBrush(film);
    p.drawPath(ring(gate, gate, 22));
    innerShadow(p, gate, 18, 140);
}

// 柔和暗角: the corners darken softly, as through an old lens.
QImage vignette()
{
    // The fall-off follows the screen's shape (an ellipse).
    return alphaField(QColor(8, 6, 12), [](int x, int y) {
        const double dx = (x + 0.5 - kW / 2.0) / (kW / 2.0), dy = (y + 0.5 - kH / 2.0) / (kH / 2.0);
        const double r = std::sqrt(dx * dx + dy * dy) / std::sqrt(2.0);
        double t = std::clamp((r - 0.42) / 0.58, 0.0, 1.0);
        t = t * t * (3 - 2 * t);
        return 235 * std::pow(t, 1.3);
    });
}

// 复古纸张: an aged, speckled paper print with a deckled opening and foxed edges.
QImage oldPaper()
{
    QImage image = canvas();
    Lcg rnd(20240611);
    const double border = 70;
    // The deckled opening: the paper's edge wanders by a few pixels.
    QPainterPath opening;
    const QRectF inner(border, border, kW - 2 * border, kH - 2 * border);
    std::vector<QPointF> pts;
    auto wobble = [&] { return rnd.range(-4.5, 4.5); };
    for (double x = inner.left(); x < inner.right(); x += 9) pts.emplace_back(x, inner.top() + wobble());
    for (double y = inner.top(); y < inner.bottom(); y += 9) pts.emplace_back(inner.right() + wobble(), y);
    for (double x = inner.right(); x > inner.left(); x -= 9) pts.emplace_back(x, inner.bottom() + wobble());
    for (double y = inner.bottom(); y > inner.top(); y -= 9) pts.emplace_back(inner.left() + wobble(), y);
    opening.addPolygon(QPolygonF(QList<QPointF>(pts.begin(), pts.end())));
    opening.closeSubpath();
    QPainterPath paper;
    paper.addRect(0, 0, kW, kH);
    paper = paper.subtracted(opening);

    QImage texture(kW, kH, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < kH; ++y) {
        auto *row = reinterpret_cast<QRgb *>(texture.scanLine(y));
        for (int x = 0; x < kW; ++x) {
            // Foxing: darker, browner towards the paper's outer edge.
            const double edge = std::min({double(x), double(y), double(kW - 1 - x), double(kH - 1 - y)});
            const double burn = std::clamp(1.0 - edge / 46.0, 0.0, 1.0);
            const double grain = rnd.range(-9, 9);
            const int r = std::clamp(int(238 - 70 * burn * burn + grain), 0, 255);
            const int g = std::clamp(int(226 - 92 * burn * burn + grain), 0, 255);
            const int b = std::clamp(int(196 - 110 * burn * burn + grain * 0.8), 0, 255);
            row[x] = qRgb(r, g, b);
        }
    }
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QBrush(texture));
    p.drawPath(paper);
    // Age spots.
    for (int k = 0; k < 140; ++k) {
        QPointF at;
        do {
            at = QPointF(rnd.range(0, kW), rnd.range(0, kH));
        } while (inner.adjusted(-6, -6, 6, 6).contains(at));
        const double radius = rnd.range(1.5, 7);
        QRadialGradient g(at, radius);
        g.setColorAt(0, QColor(140, 96, 48, int(rnd.range(40, 110))));
        g.setColorAt(1, QColor(140, 96, 48, 0));
        p.setBrush(g);
        p.drawEllipse(at, radius, radius);
    }
    // The paper's edge casts a thin shadow onto the photo.
    p.setClipPath(opening);
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 8; ++i) {
        p.setPen(QPen(QColor(60, 40, 20, 70 - i * 8), 2));
        p.drawPath(opening.translated(0.8 * i, 0.8 * i));
    }
    p.setClipping(false);
    // Photo corners, the kind glued into an album.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(50, 36, 28, 235));
    const double c = 74;
    for (int corner = 0; corner < 4; ++corner) {
        const double sx = corner % 2 ? -1 : 1, sy = corner / 2 ? -1 : 1;
        const QPointF o(corner % 2 ? kW - border + 6 : border - 6, corner / 2 ? kH - border + 6 : border - 6);
        p.drawPolygon(QPolygonF({o, o + QPointF(sx * c, 0), o + QPointF(0, sy * c)}));
    }
    return image;
}

// A lantern for the festive frame, hanging from (x, top) on a cord.
void lantern(QPainter &p, double x, double cordTop, double cordLength, double size)
{
    const double cy = cordTop + cordLength + size * 0.55;
    p.setPen(QPen(QColor(200, 150, 40), 2.5));
    p.drawLine(QPointF(x, cordTop), QPointF(x, cy - size * 0.55));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(212, 168, 56));
    p.drawRoundedRect(QRectF(x - size * 0.32, cy - size * 0.62, size * 0.64, size * 0.14), 3, 3);
    p.drawRoundedRect(QRectF(x - size * 0.32, cy + size * 0.48, size * 0.64, size * 0.14), 3, 3);
    QRadialGradient body(QPointF(x - size * 0.2, cy - size * 0.15), size * 0.8);
    body.setColorAt(0, QColor(255, 120, 70));
    body.setColorAt(0.55, QColor(220, 30, 24));
    body.setColorAt(1, QColor(140, 10, 12));
    p.setBrush(body);
    p.drawEllipse(QPointF(x, cy), size * 0.62, size * 0.5);
    p.setPen(QPen(QColor(150, 14, 14, 200), 1.6));
    p.setBrush(Qt::NoBrush);
    for (double f : {0.18, 0.38}) {
        p.drawEllipse(QPointF(x, cy), size * f, size * 0.5);
    }
    // Tassel.
    p.setPen(QPen(QColor(236, 190, 60), 2));
    for (int k = -3; k <= 3; ++k)
        p.drawLine(QPointF(x + k * 2.2, cy + size * 0.62), QPointF(x + k * 3.2, cy + size * 1.05));
}

// A five-petalled blossom.
void blossom(QPainter &p, QPointF at, double r, const QColor &petal, double turn)
{
    p.setPen(Qt::NoPen);
    for (int k = 0; k < 5; ++k) {
        const double a = turn + k * 2 * kPi / 5;
        QRadialGradient g(at + QPointF(std::cos(a), std::sin(a)) * r * 0.55, r * 0.6);
        g.setColorAt(0, petal.lighter(125));
        g.setColorAt(1, petal);
        p.setBrush(g);
        p.drawEllipse(at + QPointF(std::cos(a), std::sin(a)) * r * 0.52, r * 0.5, r * 0.5);
    }
    p.setBrush(QColor(255, 214, 90));
    p.drawEllipse(at, r * 0.22, r * 0.22);
}

// 新春喜庆: lacquer red with gold trim, lanterns and plum blossoms.
void newYear(QPainter &p)
{
    const QRectF outer(0, 0, kW, kH);
    const double border = 56;
    const QRectF inner = outer.adjusted(border, border, -border, -border);
    QLinearGradient red(0, 0, kW, kH);
    red.setColorAt(0, QColor(196, 18, 22));
    red.setColorAt(0.5, QColor(164, 8, 16));
    red.setColorAt(1, QColor(120, 4, 10));
    p.setPen(Qt::NoPen);
    p.setBrush(red);
    p.drawPath(ring(outer, inner));
    // Repeating gold key pattern along the border.
    p.setPen(QPen(QColor(236, 190, 80, 170), 2));
    p.setBrush(Qt::NoBrush);
    for (double x = 14; x < kW - 30; x += 34) {
        for (const double y : {14.0, kH - 42.0}) {
            QPainterPath key;
            key.moveTo(x, y + 28);
            key.lineTo(x, y);
            key.lineTo(x + 28, y);
            key.lineTo(x + 28, y + 20);
            key.lineTo(x + 8, y + 20);
            key.lineTo(x + 8, y + 8);
            key.lineTo(x + 20, y + 8);
            p.drawPath(key);
        }
    }
    for (double y = 56; y < kH - 70; y += 34) {
        for (const double x : {14.0, kW - 42.0}) {
            p.drawRect(QRectF(x + 4, y + 4, 20, 20));
            p.drawRect(QRectF(x + 10, y + 10, 8, 8));
        }
    }
    // Gold trim on both edges of the border.
    p.setPen(QPen(QColor(248, 206, 96), 5));
    p.drawRect(inner.adjusted(-4, -4, 4, 4));
    p.setPen(QPen(QColor(248, 206, 96), 2));
    p.drawRect(outer.adjusted(5, 5, -5, -5));
    innerShadow(p, inner, 12, 130);
    // Plum branches from the lower corners.
    Lcg rnd(88);
    auto branch = [&](QPointF from, double dir) {
        QPainterPath twig;
        twig.moveTo(from);
        QPointF at = from;
        std::vector<QPointF> flowers;
        for (int k = 0; k < 7; ++k) {
            // The branch climbs along the side and leans in only a little.
            const QPointF next = at + QPointF(dir * rnd.range(10, 34), -rnd.range(30, 50));
            twig.quadTo(at + QPointF(dir * rnd.range(-10, 24), -rnd.range(10, 24)), next);
            flowers.push_back(next);
            at = next;
        }
        p.setPen(QPen(QColor(70, 34, 20), 7, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawPath(twig);
        for (size_t k = 0; k < flowers.size(); ++k) {
            blossom(p, flowers[k] + QPointF(rnd.range(-8, 8), rnd.range(-12, 4)), rnd.range(12, 19),
                    QColor(255, 156, 176), rnd.range(0, kPi));
            if (k % 2 == 0) blossom(p, flowers[k] + QPointF(dir * 14, 16), 9, QColor(255, 196, 208), rnd.range(0, kPi));
        }
    };
    branch(QPointF(20, kH - 24), 1);
    branch(QPointF(kW - 20, kH - 24), -1);
    // Lanterns hanging from the top border.
    lantern(p, 150, 50, 18, 72);
    lantern(p, 250, 50, 70, 56);
    lantern(p, kW - 150, 50, 18, 72);
    lantern(p, kW - 250, 50, 70, 56);
}

// A six-armed snowflake with side branches.
void snowflake(QPainter &p, QPointF at, double r, double turn, int alpha)
{
    p.setPen(QPen(QColor(255, 255, 255, alpha), std::max(1.4, r / 9), Qt::SolidLine, Qt::RoundCap));
    for (int k = 0; k < 6; ++k) {
        const double a = turn + k * kPi / 3;
        const QPointF dir(std::cos(a), std::sin(a));
        p.drawLine(at, at + dir * r);
        for (const double f : {0.45, 0.7}) {
            const QPointF base = at + dir * r * f;
            for (const double side : {-1.0, 1.0}) {
                const double b = a + side * kPi / 4;
                p.drawLine(base, base + QPointF(std::cos(b), std::sin(b)) * r * (0.9 - f) * 0.8);
            }
        }
    }
}

// 圣诞雪花: a winter night's blue around the edges, falling snow and a snowbank.
QImage winterSnow()
{
    // The edge glow: night blue, fading towards the middle.
    QImage image = alphaField(QColor(14, 40, 92), [](int x, int y) {
        const double t = nearEdge(x, y, 150, 130);
        return 210 * t * t;
    });
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    Lcg rnd(1225);
    // Snow along the edges: big flakes near the edge, small ones further in.
    for (int k = 0; k < 150; ++k) {
        const double depth = std::pow(rnd.unit(), 1.6);
        const int side = int(rnd.next() % 4);
        QPointF at;
        const double in = 10 + depth * 170;
        if (side == 0) at = QPointF(rnd.range(0, kW), in);
        if (side == 1) at = QPointF(rnd.range(0, kW), kH - in - 40);
        if (side == 2) at = QPointF(in, rnd.range(0, kH));
        if (side == 3) at = QPointF(kW - in, rnd.range(0, kH));
        const double r = (1 - depth) * 20 + 4;
        if (r > 9)
            snowflake(p, at, r, rnd.range(0, kPi), int(255 - depth * 120));
        else {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(255, 255, 255, int(230 - depth * 100)));
            p.drawEllipse(at, r * 0.4, r * 0.4);
        }
    }
    // The snowbank along the bottom.
    QPainterPath bank;
    bank.moveTo(0, kH);
    bank.lineTo(0, kH - 52);
    for (double x = 0; x <= kW; x += 80)
        bank.quadTo(QPointF(x + 40, kH - 64 - 14 * std::sin(x / 137.0)), QPointF(x + 80, kH - 46 - 10 * std::cos(x / 91.0)));
    bank.lineTo(kW, kH);
    bank.closeSubpath();
    QLinearGradient white(0, kH - 80, 0, kH);
    white.setColorAt(0, QColor(255, 255, 255));
    white.setColorAt(1, QColor(206, 224, 246));
    p.setPen(QPen(QColor(180, 204, 236), 2));
    p.setBrush(white);
    p.drawPath(bank);
    // Icicles from the top edge.
    p.setPen(Qt::NoPen);
    for (double x = 8; x < kW; x += rnd.range(18, 34)) {
        const double len = rnd.range(14, 46);
        QLinearGradient ice(x, 0, x, len);
        ice.setColorAt(0, QColor(240, 250, 255, 240));
        ice.setColorAt(1, QColor(200, 230, 255, 60));
        p.setBrush(ice);
        p.drawPolygon(QPolygonF({QPointF(x - 5, 0), QPointF(x + 5, 0), QPointF(x + 0.5, len)}));
    }
    return image;
}

// A heart centred at `at`, `size` wide.
QPainterPath heart(QPointF at, double size)
{
    QPainterPath path;
    const double s = size / 2;
    path.moveTo(at + QPointF(0, s * 0.9));
    path.cubicTo(at + QPointF(-s * 1.3, s * 0.1), at + QPointF(-s * 0.9, -s * 1.0), at + QPointF(0, -s * 0.35));
    path.cubicTo(at + QPointF(s * 0.9, -s * 1.0), at + QPointF(s * 1.3, s * 0.1), at + QPointF(0, s * 0.9));
    return path;
}

// 浪漫爱心: a soft rose edge with hearts drifting along it.
QImage romanticHearts()
{
    QImage image = alphaField(QColor(255, 182, 206), [](int x, int y) { return 225 * std::pow(nearEdge(x, y, 120, 110), 1.7); });
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    Lcg rnd(214);
    const QColor tones[] = {QColor(236, 64, 122), QColor(255, 110, 150), QColor(214, 30, 80), QColor(255, 255, 255)};
    for (int k = 0; k < 120; ++k) {
        const double depth = std::pow(rnd.unit(), 1.5);
        const double in = 8 + depth * 140;
        QPointF at;
        switch (rnd.next() % 4) {
        case 0: at = QPointF(rnd.range(0, kW), in); break;
        case 1: at = QPointF(rnd.range(0, kW), kH - in); break;
        case 2: at = QPointF(in, rnd.range(0, kH)); break;
        default: at = QPointF(kW - in, rnd.range(0, kH)); break;
        }
        const double size = (1 - depth) * 46 + 10;
        QColor c = tones[rnd.next() % 4];
        c.setAlpha(int(250 - depth * 120));
        p.save();
        p.translate(at);
        p.rotate(rnd.range(-25, 25));
        QRadialGradient g(QPointF(-size * 0.18, -size * 0.2), size * 0.7);
        g.setColorAt(0, c.lighter(130));
        g.setColorAt(1, c);
        p.setPen(QPen(QColor(255, 255, 255, c.alpha() / 2), 1.2));
        p.setBrush(g);
        p.drawPath(heart(QPointF(0, 0), size));
        p.restore();
    }
    // A fine white ribbon line inside the edge.
    p.setPen(QPen(QColor(255, 255, 255, 200), 3));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(30, 30, kW - 60, kH - 60), 26, 26);
    return image;
}

// A balloon with a highlight and a curling string.
void balloon(QPainter &p, QPointF at, double r, const QColor &colour)
{
    QPainterPath string;
    string.moveTo(at + QPointF(0, r * 1.2));
    string.cubicTo(at + QPointF(-r * 0.4, r * 1.8), at + QPointF(r * 0.4, r * 2.3), at + QPointF(-r * 0.1, r * 3.2));
    p.setPen(QPen(QColor(250, 250, 250, 220), 1.8));
    p.setBrush(Qt::NoBrush);
    p.drawPath(string);
    QRadialGradient g(at + QPointF(-r * 0.35, -r * 0.45), r * 1.4);
    g.setColorAt(0, colour.lighter(160));
    g.setColorAt(0.35, colour);
    g.setColorAt(1, colour.darker(150));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(at, r * 0.9, r * 1.1);
    p.setBrush(colour.darker(130));
    p.drawPolygon(QPolygonF({at + QPointF(-r * 0.14, r * 1.22), at + QPointF(r * 0.14, r * 1.22), at + QPointF(0, r * 1.08)}));
    p.setBrush(QColor(255, 255, 255, 150));
    p.drawEllipse(at + QPointF(-r * 0.38, -r * 0.5), r * 0.16, r * 0.26);
}

// 生日派对: balloons in the top corners, bunting and confetti.
void birthdayParty(QPainter &p)
{
    Lcg rnd(1101);
    const QColor palette[] = {QColor(255, 82, 82), QColor(255, 196, 40), QColor(64, 196, 255), QColor(120, 220, 90),
                              QColor(190, 110, 255), QColor(255, 130, 200)};
    // Bunting: triangular flags on a sagging line across the top.
    QPainterPath line;
    line.moveTo(0, 18);
    line.quadTo(kW / 2.0, 110, kW, 18);
    p.setPen(QPen(QColor(250, 250, 250), 2.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(line);
    for (int k = 1; k < 24; ++k) {
        const double t = k / 24.0;
        const QPointF a = line.pointAtPercent(t - 0.018), b = line.pointAtPercent(t + 0.018);
        const QPointF mid = (a + b) / 2 + QPointF(0, 46);
        QColor c = palette[k % 6];
        p.setPen(QPen(c.darker(125), 1));
        p.setBrush(c);
        p.drawPolygon(QPolygonF({a, b, mid}));
    }
    // Confetti and streamers along the edges.
    for (int k = 0; k < 420; ++k) {
        const double depth = std::pow(rnd.unit(), 2.0);
        const double in = 6 + depth * 150;
        QPointF at;
        switch (rnd.next() % 4) {
        case 0: at = QPointF(rnd.range(0, kW), in + 50); break;
        case 1: at = QPointF(rnd.range(0, kW), kH - in); break;
        case 2: at = QPointF(in, rnd.range(0, kH)); break;
        default: at = QPointF(kW - in, rnd.range(0, kH)); break;
        }
        QColor c = palette[rnd.next() % 6];
        c.setAlpha(int(255 - depth * 90));
        p.save();
        p.translate(at);
        p.rotate(rnd.range(0, 360));
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        if (rnd.next() % 3 == 0)
            p.drawEllipse(QPointF(0, 0), 4, 4);
        else
            p.drawRect(QRectF(-6, -3, 12, 6));
        p.restore();
    }
    for (int k = 0; k < 10; ++k) {
        QPainterPath curl;
        const bool left = k % 2 == 0;
        QPointF at(left ? rnd.range(10, 90) : kW - rnd.range(10, 90), rnd.range(200, kH - 120));
        curl.moveTo(at);
        for (int s = 0; s < 6; ++s) {
            at += QPointF(rnd.range(-30, 30), 22);
            curl.quadTo(at + QPointF(s % 2 ? 26 : -26, -11), at);
        }
        p.setPen(QPen(palette[rnd.next() % 6], 4, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawPath(curl);
    }
    // Balloon bunches in the upper corners, and one low on each side.
    balloon(p, QPointF(70, 150), 46, palette[0]);
    balloon(p, QPointF(150, 110), 40, palette[2]);
    balloon(p, QPointF(112, 214), 38, palette[1]);
    balloon(p, QPointF(kW - 70, 150), 46, palette[4]);
    balloon(p, QPointF(kW - 150, 110), 40, palette[3]);
    balloon(p, QPointF(kW - 112, 214), 38, palette[5]);
    balloon(p, QPointF(60, kH - 230), 34, palette[5]);
    balloon(p, QPointF(kW - 60, kH - 230), 34, palette[1]);
}

// 花边相框: white lace scallops all around, with a pearl string.
void laceFrame(QPainter &p)
{
    const double band = 58;
    const QRectF outer(0, 0, kW, kH);
    const QRectF inner = outer.adjusted(band, band, -band, -band);
    QLinearGradient cream(0, 0, 0, kH);
    cream.setColorAt(0, QColor(255, 250, 244));
    cream.setColorAt(1, QColor(246, 236, 226));
    p.setPen(Qt::NoPen);
    p.setBrush(cream);
    p.drawPath(ring(outer, inner));
    // Scallops biting into the photo, each with an eyelet.
    const double r = 14;
    QPainterPath scallops;
    for (double x = inner.left() + r; x <= inner.right() - r + 0.1; x += 2 * r) {
        scallops.addEllipse(QPointF(x, inner.top()), r, r);
        scallops.addEllipse(QPointF(x, inner.bottom()), r, r);
    }
    for (double y = inner.top() + r; y <= inner.bottom() - r + 0.1; y += 2 * r) {
        scallops.addEllipse(QPointF(inner.left(), y), r, r);
        scallops.addEllipse(QPointF(inner.right(), y), r, r);
    }
    p.setBrush(cream);
    p.drawPath(scallops.simplified());
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    for (double x = inner.left() + r; x <= inner.right() - r + 0.1; x += 2 * r) {
        p.drawEllipse(QPointF(x, inner.top() + 2), 3.2, 3.2);
        p.drawEllipse(QPointF(x, inner.bottom() - 2), 3.2, 3.2);
    }
    for (double y = inner.top() + r; y <= inner.bottom() - r + 0.1; y += 2 * r) {
        p.drawEllipse(QPointF(inner.left() + 2, y), 3.2, 3.2);
        p.drawEllipse(QPointF(inner.right() - 2, y), 3.2, 3.2);
    }
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    // Embroidered vine: a dotted rose line and pearls.
    p.setPen(QPen(QColor(214, 150, 160), 2, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(outer.adjusted(22, 22, -22, -22), 18, 18);
    for (double x = 40; x < kW - 30; x += 24) {
        for (const double y : {12.0, kH - 12.0}) {
            QRadialGradient g(QPointF(x - 1.5, y - 1.5), 6);
            g.setColorAt(0, QColor(255, 255, 255));
            g.setColorAt(1, QColor(216, 204, 196));
            p.setPen(Qt::NoPen);
            p.setBrush(g);
            p.drawEllipse(QPointF(x, y), 5, 5);
        }
    }
    // Roses in the corners.
    for (const QPointF at : {QPointF(46, 46), QPointF(kW - 46, 46), QPointF(46, kH - 46), QPointF(kW - 46, kH - 46)}) {
        for (int ringNo = 3; ringNo >= 0; --ringNo) {
            const double rr = 10 + ringNo * 9;
            QRadialGradient g(at, rr);
            g.setColorAt(0, QColor(255, 200, 210));
            g.setColorAt(1, QColor(212, 70, 104));
            p.setPen(QPen(QColor(150, 30, 60, 120), 1));
            p.setBrush(g);
            for (int k = 0; k < 5; ++k) {
                const double a = k * 2 * kPi / 5 + ringNo * 0.6;
                p.drawEllipse(at + QPointF(std::cos(a), std::sin(a)) * rr * 0.35, rr * 0.55, rr * 0.55);
            }
        }
    }
    innerShadow(p, inner.adjusted(-r, -r, r, r), 6, 60);
}

// The built-in test frame: a red and white chequered band, easy to spot.
QImage testFrame()
{
    QImage image = canvas(800, 600);
    QPainter p(&image);
    const int band = 24;
    for (int x = 0; x < 800; x += band)
        for (int y = 0; y < 600; y += band) {
            if (x >= band && x < 800 - band && y >= band && y < 600 - band) continue;
            p.fillRect(x, y, band, band, ((x + y) / band) % 2 ? QColor(220, 30, 30) : QColor(255, 255, 255));
        }
    return image;
}

// The rainbow texture of text fills: the spectrum from left to right, with
// a gentle lightening towards the top.
QImage rainbow()
{
    QImage image(256, 64, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            QColor c = QColor::fromHsvF(x / 256.0 * 0.83, 0.85 - 0.25 * (1 - y / 63.0), 1.0);
            image.setPixel(x, y, c.rgb());
        }
    return image;
}

// A player button: a white glyph on a translucent dark disc.
QImage button(const char *name)
{
    QImage image = canvas(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(255, 255, 255, 110), 1));
    p.setBrush(QColor(20, 24, 30, 170));
    p.drawEllipse(QRectF(1, 1, 30, 30));
    p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    const QByteArray n(name);
    auto triangle = [&](double x, double dir) {
        p.drawPolygon(QPolygonF({QPointF(x, 10), QPointF(x + dir * 9, 16), QPointF(x, 22)}));
    };
    if (n == "btn_close") {
        p.drawLine(QPointF(11, 11), QPointF(21, 21));
        p.drawLine(QPointF(21, 11), QPointF(11, 21));
    } else if (n == "btn_min") {
        p.drawLine(QPointF(10, 21), QPointF(22, 21));
    } else if (n == "btn_play") {
        triangle(12, 1);
    } else if (n == "btn_pause") {
        p.drawLine(QPointF(13, 10), QPointF(13, 22));
        p.drawLine(QPointF(19, 10), QPointF(19, 22));
    } else if (n == "btn_next") {
        triangle(10, 1);
        p.drawLine(QPointF(22, 10), QPointF(22, 22));
    } else if (n == "btn_prev") {
        triangle(22, -1);
        p.drawLine(QPointF(10, 10), QPointF(10, 22));
    } else if (n == "btn_music_next") {
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(14, 21), QPointF(14, 9));
        p.drawLine(QPointF(14, 9), QPointF(21, 11));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(11.5, 21), 2.8, 2.2);
        p.drawPolygon(QPolygonF({QPointF(19, 16), QPointF(24, 19.5), QPointF(19, 23)}));
    } else if (n == "btn_mute_off" || n == "btn_mute_on") {
        p.drawPolygon(QPolygonF({QPointF(8, 13), QPointF(12, 13), QPointF(17, 9), QPointF(17, 23), QPointF(12, 19), QPointF(8, 19)}));
        p.setBrush(Qt::NoBrush);
        if (n == "btn_mute_off") {
            p.drawArc(QRectF(15, 11, 8, 10), -50 * 16, 100 * 16);
            p.drawArc(QRectF(15, 8, 12, 16), -50 * 16, 100 * 16);
        } else {
            p.drawLine(QPointF(20, 13), QPointF(25, 19));
            p.drawLine(QPointF(25, 13), QPointF(20, 19));
        }
    } else if (n == "btn_size") {
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(10, 10, 12, 12));
        p.drawLine(QPointF(10, 13), QPointF(22, 13));
    } else if (n == "btn_scale") {
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(10, 10), QPointF(15, 10));
        p.drawLine(QPointF(10, 10), QPointF(10, 15));
        p.drawLine(QPointF(22, 22), QPointF(17, 22));
        p.drawLine(QPointF(22, 22), QPointF(22, 17));
        p.drawLine(QPointF(10, 10), QPointF(22, 22));
    }
    return image;
}

// The picture of the build-finished window: a steaming cup of coffee.
QImage coffeeCup()
{
    QImage image(96, 96, QImage::Format_RGB32);
    image.fill(QColor(255, 255, 255));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(170, 120, 80), 3, Qt::SolidLine, Qt::RoundCap));
    for (int k = 0; k < 3; ++k) {
        QPainterPath steam;
        const double x = 34 + k * 12;
        steam.moveTo(x, 36);
        steam.cubicTo(x - 6, 28, x + 6, 22, x, 12);
        p.drawPath(steam);
    }
    p.setPen(QPen(QColor(120, 60, 30), 5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(66, 50, 18, 18));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 90, 40));
    p.drawRoundedRect(QRectF(22, 42, 50, 38), 8, 8);
    p.setBrush(QColor(110, 60, 30));
    p.drawEllipse(QRectF(24, 38, 46, 10));
    p.setBrush(QColor(230, 230, 226));
    p.drawEllipse(QRectF(12, 78, 72, 10));
    return image;
}

// GIF89a with a 216-colour cube: Qt reads GIF but does not write it. The
// LZW stream sends a clear code before the code table grows past 9 bits, so
// every code is 9 bits wide: bigger than a full encoder's output, but small
// pictures stay small and every decoder reads it.
QByteArray encodeGif(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    QByteArray out("GIF89a");
    auto le16 = [&](int v) {
        out.append(char(v & 0xFF));
        out.append(char((v >> 8) & 0xFF));
    };
    le16(image.width());
    le16(image.height());
    out.append(char(0xF7)); // global table of 256 entries
    out.append(char(0));
    out.append(char(0));
    for (int i = 0; i < 256; ++i) {
        const int r = i < 216 ? (i / 36) * 51 : 0, g = i < 216 ? (i / 6 % 6) * 51 : 0, b = i < 216 ? (i % 6) * 51 : 0;
        out.append(char(r));
        out.append(char(g));
        out.append(char(b));
    }
    out.append(',');
    le16(0);
    le16(0);
    le16(image.width());
    le16(image.height());
    out.append(char(0));
    out.append(char(8)); // minimum code size

    QByteArray codes;
    uint32_t bits = 0;
    int bitCount = 0;
    auto put = [&](int code) {
        bits |= uint32_t(code) << bitCount;
        bitCount += 9;
        while (bitCount >= 8) {
            codes.append(char(bits & 0xFF));
            bits >>= 8;
            bitCount -= 8;
        }
    };
    const int clear = 256, end = 257;
    int sinceClear = 0;
    put(clear);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            const int index = (qRed(c) + 25) / 51 * 36 + (qGreen(c) + 25) / 51 * 6 + (qBlue(c) + 25) / 51;
            put(index);
            // Each code after the first adds a table entry; 254 of them fill
            // the 9-bit table (258 ... 511).
            if (++sinceClear == 254) {
                put(clear);
                sinceClear = 0;
            }
        }
    put(end);
    if (bitCount > 0) codes.append(char(bits & 0xFF));
    for (qsizetype at = 0; at < codes.size(); at += 255) {
        const qsizetype n = std::min<qsizetype>(255, codes.size() - at);
        out.append(char(n));
        out.append(codes.mid(at, n));
    }
    out.append(char(0));
    out.append(';');
    return out;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return false;
    return file.commit();
}

struct FramePackage
{
    const char *copyright;
    std::vector<std::pair<const char *, QImage (*)()>> frames;
};

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2 && !(argc == 4 && QByteArray(argv[2]) == "--pictures")) {
        std::fprintf(stderr, "usage: make_packages OUTPUT_FOLDER [--pictures FOLDER]\n");
        return 2;
    }
    const QString pictures = argc == 4 ? QString::fromLocal8Bit(argv[3]) : QString();
    if (!pictures.isEmpty()) QDir().mkpath(pictures);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "make_packages: cannot create %s\n", argv[1]);
        return 1;
    }
    const QDir out(folder);

    std::vector<PackageSource> resources;
    resources.push_back({QStringLiteral("rainbow.jpg"), encode(rainbow(), "JPG", 92)});
    for (const char *name : {"btn_close", "btn_min", "btn_music_next", "btn_mute_off", "btn_mute_on", "btn_next",
                             "btn_pause", "btn_play", "btn_prev", "btn_size", "btn_scale"})
        resources.push_back({QString::fromLatin1(name) + QStringLiteral(".png"), encode(button(name), "PNG")});
    resources.push_back({QStringLiteral("TESTFRAME.PNG"), encode(testFrame(), "PNG")});
    resources.push_back({QStringLiteral("coffie.gif"), encodeGif(coffeeCup())});
    for (const PackageSource &r : resources)
        if (r.bytes.isEmpty()) {
            std::fprintf(stderr, "make_packages: could not encode %s\n", qPrintable(r.name));
            return 1;
        }
    if (!writeFile(out.filePath(QStringLiteral("gmi.src")), pvsm::BuildPackage(pvsm::PackageKind::Resources, resources))) {
        std::fprintf(stderr, "make_packages: cannot write gmi.src\n");
        return 1;
    }

    const std::vector<FramePackage> packages = {
        {"经典相框：本相框包随程序提供，可自由用于您的图片幻灯。", {{"金色画框", painted<goldFrame>}, {"简约白边", painted<whiteBorder>}}},
        {"", {{"电影胶片", painted<filmStrip>}}},
        {"", {{"柔和暗角", vignette}}},
        {"", {{"复古纸张", oldPaper}}},
        {"节日相框：本相框包随程序提供，可自由用于您的图片幻灯。", {{"新春喜庆", painted<newYear>}}},
        {"", {{"圣诞雪花", winterSnow}}},
        {"", {{"浪漫爱心", romanticHearts}}},
        {"", {{"生日派对", painted<birthdayParty>}, {"花边相框", painted<laceFrame>}}},
    };
    for (size_t n = 0; n < packages.size(); ++n) {
        std::vector<PackageSource> frames;
        for (const auto &[name, draw] : packages[n].frames) {
            const QByteArray png = encode(draw(), "PNG");
            if (png.isEmpty()) {
                std::fprintf(stderr, "make_packages: could not encode %s\n", name);
                return 1;
            }
            frames.push_back({QString::fromUtf8(name), png});
            if (!pictures.isEmpty())
                writeFile(QDir(pictures).filePath(QStringLiteral("%1-%2.png").arg(n + 1).arg(frames.size())), png);
        }
        const QString file = QString::number(n + 1) + QStringLiteral(".frame");
        if (!writeFile(out.filePath(file),
                       pvsm::BuildPackage(pvsm::PackageKind::Frames, frames, QString::fromUtf8(packages[n].copyright)))) {
            std::fprintf(stderr, "make_packages: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
