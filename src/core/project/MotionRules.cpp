#include "MotionRules.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pvsm {

namespace {

const QRectF kWholePicture(0, 0, 1, 1);

// `v` for a span of `length` starting at `v`, moved so that the span lies in
// [lo, hi]; a span longer than that is centred on it.
double keptInside(double v, double length, double lo, double hi)
{
    if (length >= hi - lo) return (lo + hi - length) / 2;
    return std::clamp(v, lo, hi - length);
}

QRectF centredRect(QPointF centre, double width, double height)
{
    return QRectF(centre.x() - width / 2, centre.y() - height / 2, width, height);
}

// The widest rectangle of the area's aspect that the bounds hold.
double widestInBounds(const MotionArea &area)
{
    return std::min(area.bounds.width(), area.bounds.height() * area.aspect);
}

// The narrowest a rectangle may become: `minimum` in both directions.
double narrowest(QSizeF minimum, const MotionArea &area)
{
    return std::max({minimum.width(), minimum.height() * area.aspect, 0.0});
}

} // namespace

MotionArea motionArea(QSize picture, int32_t drawMode, QSize screen)
{
    if (picture.isEmpty() || screen.isEmpty()) return {};
    const double pw = picture.width(), ph = picture.height();
    const double sw = screen.width(), sh = screen.height();
    MotionArea area;
    area.aspect = (sw / sh) / (pw / ph);
    area.bounds = kWholePicture;
    switch (drawMode) {
    case 0:   // centred at natural size, shrunk to fit
    case 3: { // fitted
        double scale = std::min(sw / pw, sh / ph);
        if (drawMode == 0) scale = std::min(scale, 1.0);
        // The whole screen in fractions of the picture, which lies in its middle.
        const double w = sw / (pw * scale), h = sh / (ph * scale);
        area.bounds = QRectF((1 - w) / 2, (1 - h) / 2, w, h);
        break;
    }
    case 4: area.aspect = 1; break; // the picture is the screen
    case 1:
    case 2: break;
    default: return {};
    }
    return area;
}

QRectF fittedMotionRect(const QRectF &rect, const MotionArea &area)
{
    if (!area.valid()) return rect;
    const double widest = widestInBounds(area);
    double w = rect.width() > 0 ? std::min(rect.width(), widest) : widest;
    const double h = w / area.aspect;
    const QPointF c = rect.width() > 0 ? rect.center() : area.bounds.center();
    const QRectF b = area.bounds;
    return QRectF(keptInside(c.x() - w / 2, w, b.left(), b.right()), keptInside(c.y() - h / 2, h, b.top(), b.bottom()),
                  w, h);
}

PictureMotion defaultMotion(const MotionArea &area, const PictureMotion &before)
{
    PictureMotion m = before;
    m.on = true;
    if (!area.valid()) return m;
    // The smallest rectangle of the aspect that holds the whole picture.
    const double w = std::max(1.0, area.aspect);
    m.start = fittedMotionRect(centredRect({0.5, 0.5}, w, w / area.aspect), area);
    m.end = centredRect(m.start.center(), m.start.width() * kMotionDefaultZoom, m.start.height() * kMotionDefaultZoom);
    return m;
}

PictureMotion motionSwitchedOn(const PictureMotion &before, const MotionArea &area)
{
    if (before.start == kWholePicture && before.end == kWholePicture) return defaultMotion(area, before);
    PictureMotion m = before;
    m.on = true;
    m.start = fittedMotionRect(m.start, area);
    m.end = fittedMotionRect(m.end, area);
    return m;
}

PictureMotion swappedMotion(const PictureMotion &motion)
{
    PictureMotion m = motion;
    std::swap(m.start, m.end);
    return m;
}

QRectF movedMotionRect(const QRectF &start, QPointF delta, const MotionArea &area)
{
    if (!area.valid()) return start;
    const QRectF s = fittedMotionRect(start, area);
    const QRectF b = area.bounds;
    return QRectF(keptInside(s.x() + delta.x(), s.width(), b.left(), b.right()),
                  keptInside(s.y() + delta.y(), s.height(), b.top(), b.bottom()), s.width(), s.height());
}

QRectF resizedMotionRect(const QRectF &start, unsigned edges, QPointF delta, QSizeF minimum, const MotionArea &area)
{
    if (!area.valid()) return start;
    const QRectF s = fittedMotionRect(start, area);
    const QRectF b = area.bounds;
    const double a = area.aspect;
    const bool left = edges & kEdgeLeft, right = (edges & kEdgeRight) && !left;
    const bool top = edges & kEdgeTop, bottom = (edges & kEdgeBottom) && !top;
    const bool alongX = left || right, alongY = top || bottom;
    if (!alongX && !alongY) return s;

    const double byX = left ? s.width() - delta.x() : s.width() + delta.x();
    const double byY = (top ? s.height() - delta.y() : s.height() + delta.y()) * a;
    double w = alongX && alongY ? std::max(byX, byY) : alongX ? byX : byY;

    // Room from the side that stays (or about the centre of an axis not dragged).
    const QPointF c = s.center();
    const double roomX = left ? s.right() - b.left() : right ? b.right() - s.left()
                                                             : 2 * std::min(c.x() - b.left(), b.right() - c.x());
    const double roomY = top ? s.bottom() - b.top() : bottom ? b.bottom() - s.top()
                                                              : 2 * std::min(c.y() - b.top(), b.bottom() - c.y());
    w = std::min(std::max(w, narrowest(minimum, area)), std::min(roomX, roomY * a));
    const double h = w / a;
    const double x = left ? s.right() - w : right ? s.left() : c.x() - w / 2;
    const double y = top ? s.bottom() - h : bottom ? s.top() : c.y() - h / 2;
    return QRectF(x, y, w, h);
}

QRectF scaledMotionRect(const QRectF &start, double factor, QSizeF minimum, const MotionArea &area)
{
    if (!area.valid()) return start;
    const QRectF s = fittedMotionRect(start, area);
    const double w = std::clamp(s.width() * factor, std::min(narrowest(minimum, area), widestInBounds(area)),
                                widestInBounds(area));
    return fittedMotionRect(centredRect(s.center(), w, w / area.aspect), area);
}

MotionHit hitMotion(const QRect &start, const QRect &end, QPoint point, MotionEnd preferred)
{
    const MotionEnd first = preferred == MotionEnd::End ? MotionEnd::End : MotionEnd::Start;
    const MotionEnd other = first == MotionEnd::End ? MotionEnd::Start : MotionEnd::End;
    const auto rectOf = [&](MotionEnd e) -> const QRect & { return e == MotionEnd::Start ? start : end; };
    const PlacementHit hits[2] = {hitPlacement(rectOf(first), point), hitPlacement(rectOf(other), point)};
    for (int i = 0; i < 2; ++i)
        if (hits[i].action == PlacementHit::Resize) return {i == 0 ? first : other, hits[i]};
    const bool inFirst = hits[0].action == PlacementHit::Move, inOther = hits[1].action == PlacementHit::Move;
    if (inFirst && inOther) {
        const auto area = [](const QRect &r) { return qint64(r.width()) * r.height(); };
        return {area(rectOf(other)) < area(rectOf(first)) ? other : first, hits[0]};
    }
    if (inFirst) return {first, hits[0]};
    if (inOther) return {other, hits[1]};
    return {};
}

double motionProgress(int32_t curve, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return curve == 1 ? (1 - std::cos(std::numbers::pi * t)) / 2 : t;
}

QRectF motionRectAt(const PictureMotion &motion, double t)
{
    const double p = motionProgress(motion.curve, t);
    const auto mix = [p](double a, double b) { return a + (b - a) * p; };
    const QRectF &a = motion.start, &b = motion.end;
    return QRectF(mix(a.x(), b.x()), mix(a.y(), b.y()), mix(a.width(), b.width()), mix(a.height(), b.height()));
}

QRectF motionOnView(const QRectF &f, const QRectF &picture)
{
    return QRectF(picture.x() + f.x() * picture.width(), picture.y() + f.y() * picture.height(),
                  f.width() * picture.width(), f.height() * picture.height());
}

QPointF viewToMotion(QPointF viewDelta, const QRectF &picture)
{
    if (picture.isEmpty()) return {};
    return QPointF(viewDelta.x() / picture.width(), viewDelta.y() / picture.height());
}

} // namespace pvsm
