#include "MotionOverlay.h"

#include "EditingView.h"
#include "PlacementCursorShape.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace pvsm::ui {

namespace {

constexpr int kFrameMs = 33; // about 30 pictures a second, as the video runs

QColor colourOf(MotionEnd end)
{
    return end == MotionEnd::Start ? QColor(70, 220, 110) : QColor(255, 150, 40);
}

QString labelOf(MotionEnd end)
{
    return end == MotionEnd::Start ? QStringLiteral("起点") : QStringLiteral("终点");
}

MotionEnd otherEnd(MotionEnd end)
{
    return end == MotionEnd::Start ? MotionEnd::End : MotionEnd::Start;
}

} // namespace

MotionOverlay::MotionOverlay(EditingView &view)
    : QWidget(&view), m_view(view)
{
    setObjectName(QStringLiteral("PicMotion"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setGeometry(view.rect());
    setToolTip(QStringLiteral("运动模式：拖动“起点”或“终点”框移动，拖动框边或框角改变大小（保持画面比例）；"
                              "1 / 2 选择起点 / 终点，方向键移动（Shift 加快），+ / - 放大缩小，空格播放"));
    view.installEventFilter(this);
    connect(&view, &EditingView::pictureShown, this, qOverload<>(&QWidget::update));
    m_playTimer.setInterval(kFrameMs);
    connect(&m_playStill, &QFutureWatcher<EditingStill>::finished, this, [this] {
        if (!playing()) return;
        const EditingStill still = m_playStill.result();
        if (still.image.isNull() || still.pictureRect.isEmpty()) return;
        m_playImage = still.image;
        m_playPicture = still.pictureRect;
        m_playClock.restart(); // the slide's time runs from the first sharp picture
        update();
    });
    connect(&m_playTimer, &QTimer::timeout, this, [this] {
        if (playPosition() >= 1) stopPlay();
        update();
    });
    hide();
}

bool MotionOverlay::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &m_view && event->type() == QEvent::Resize) {
        setGeometry(m_view.rect());
        m_drag.reset();
    }
    return QWidget::eventFilter(watched, event);
}

void MotionOverlay::setMotion(const PictureMotion &motion, const MotionArea &area, double slideSeconds)
{
    const bool changedWhilePlaying = playing() && (motion != m_motion || slideSeconds != m_seconds);
    m_motion = motion;
    m_area = area;
    m_seconds = slideSeconds;
    m_drag.reset();
    if (changedWhilePlaying || !m_motion.on || !m_area.valid()) stopPlay();
    update();
}

void MotionOverlay::setHint(const QString &hint)
{
    if (hint == m_hint) return;
    m_hint = hint;
    update();
}

void MotionOverlay::select(MotionEnd end)
{
    if (end == MotionEnd::None || end == m_selected) return;
    m_selected = end;
    update();
    emit selectedChanged(end);
}

bool MotionOverlay::editable() const
{
    return m_motion.on && m_area.valid() && !picture().isEmpty() && !playing() && (!m_allowed || m_allowed());
}

QRectF MotionOverlay::picture() const
{
    return m_view.drawnPictureRect();
}

QRectF MotionOverlay::rectOf(MotionEnd end) const
{
    if (m_drag && m_drag->hit.end == end) return m_drag->rect;
    return end == MotionEnd::Start ? m_motion.start : m_motion.end;
}

QRect MotionOverlay::viewRect(MotionEnd end) const
{
    if (!m_motion.on || end == MotionEnd::None || picture().isEmpty()) return {};
    return motionOnView(rectOf(end), picture()).toRect();
}

QSizeF MotionOverlay::minimum() const
{
    const QRectF pic = picture();
    if (pic.isEmpty()) return {};
    return QSizeF(kPlacementMinimumSize / pic.width(), kPlacementMinimumSize / pic.height());
}

void MotionOverlay::togglePlay()
{
    if (playing()) {
        stopPlay();
        return;
    }
    if (!m_motion.on || !m_area.valid() || m_seconds <= 0 || m_view.composedImage().isNull()) return;
    m_drag.reset();
    m_playImage = QImage();
    if (m_compose && !m_playStill.isRunning())
        m_playStill.setFuture(m_compose(m_view.pictureRect().size() * m_view.devicePixelRatioF() * 2));
    m_playClock.start();
    m_playTimer.start();
    update();
    emit playingChanged(true);
}

void MotionOverlay::stopPlay()
{
    if (!playing()) return;
    m_playTimer.stop();
    m_playImage = QImage();
    update();
    emit playingChanged(false);
}

double MotionOverlay::playPosition() const
{
    if (!playing() || m_seconds <= 0) return 0;
    return std::min(1.0, m_playClock.elapsed() / (m_seconds * 1000.0));
}

QRectF MotionOverlay::playRect() const
{
    return motionRectAt(m_motion, playPosition());
}

void MotionOverlay::mousePressEvent(QMouseEvent *event)
{
    if (playing()) {
        stopPlay(); // a click anywhere ends play, as the show ends on a click
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton || !editable()) return QWidget::mousePressEvent(event);
    const QPoint at = event->position().toPoint();
    const MotionHit hit = hitMotion(viewRect(MotionEnd::Start), viewRect(MotionEnd::End), at, m_selected);
    if (hit.end == MotionEnd::None) return QWidget::mousePressEvent(event);
    setFocus(Qt::MouseFocusReason);
    select(hit.end);
    const QRectF start = rectOf(hit.end);
    m_drag = Drag{hit, at, at, start, start};
    event->accept();
}

void MotionOverlay::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    if (!m_drag) {
        const MotionHit hit = editable()
                                  ? hitMotion(viewRect(MotionEnd::Start), viewRect(MotionEnd::End), at, m_selected)
                                  : MotionHit{};
        setCursor(cursorShape(placementCursor(hit.hit)));
        return QWidget::mouseMoveEvent(event);
    }
    if (!placementStepCounts(m_drag->last, at)) return;
    m_drag->last = at;
    const QPointF delta = viewToMotion(QPointF(at - m_drag->press), picture());
    m_drag->rect = m_drag->hit.hit.action == PlacementHit::Resize
                       ? resizedMotionRect(m_drag->start, m_drag->hit.hit.edges, delta, minimum(), m_area)
                       : movedMotionRect(m_drag->start, delta, m_area);
    update();
}

void MotionOverlay::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_drag || event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    mouseMoveEvent(event); // the release point counts as the last step
    const Drag drag = *m_drag;
    m_drag.reset();
    update();
    // A click that moved nothing stores nothing: no empty step to undo.
    if (drag.rect != drag.start && editable())
        emit edited(drag.hit.end, drag.rect,
                    drag.hit.hit.action == PlacementHit::Resize ? MotionEdit::Resize : MotionEdit::Move);
}

void MotionOverlay::keyPressEvent(QKeyEvent *event)
{
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const Qt::KeyboardModifiers others = event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (others != Qt::NoModifier) return QWidget::keyPressEvent(event);
    switch (event->key()) {
    case Qt::Key_Space: togglePlay(); return event->accept();
    case Qt::Key_Escape:
        if (!playing()) break;
        stopPlay();
        return event->accept();
    case Qt::Key_1: select(MotionEnd::Start); return event->accept();
    case Qt::Key_2: select(MotionEnd::End); return event->accept();
    default: break;
    }
    if (m_drag || !editable()) return QWidget::keyPressEvent(event);
    const QRectF now = rectOf(m_selected);
    const double step = shift ? 10 : 1; // view pixels
    QRectF next;
    switch (event->key()) {
    case Qt::Key_Left: next = movedMotionRect(now, viewToMotion({-step, 0}, picture()), m_area); break;
    case Qt::Key_Right: next = movedMotionRect(now, viewToMotion({step, 0}, picture()), m_area); break;
    case Qt::Key_Up: next = movedMotionRect(now, viewToMotion({0, -step}, picture()), m_area); break;
    case Qt::Key_Down: next = movedMotionRect(now, viewToMotion({0, step}, picture()), m_area); break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: next = scaledMotionRect(now, shift ? 1.1 : 1.02, minimum(), m_area); break;
    case Qt::Key_Minus:
    case Qt::Key_Underscore: next = scaledMotionRect(now, shift ? 1 / 1.1 : 1 / 1.02, minimum(), m_area); break;
    default: return QWidget::keyPressEvent(event);
    }
    event->accept();
    if (next != now) emit edited(m_selected, next, MotionEdit::Keys);
}

void MotionOverlay::leaveEvent(QEvent *event)
{
    if (!m_drag) unsetCursor();
    QWidget::leaveEvent(event);
}

void MotionOverlay::hideEvent(QHideEvent *event)
{
    stopPlay();
    m_drag.reset();
    QWidget::hideEvent(event);
}

void MotionOverlay::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (playing()) return paintPlay(p);
    if (!m_motion.on || picture().isEmpty()) {
        if (!m_hint.isEmpty()) paintHint(p, m_hint);
        return;
    }
    // The path of the motion: from the start's centre to the end's.
    const QPointF from = motionOnView(rectOf(MotionEnd::Start), picture()).center();
    const QPointF to = motionOnView(rectOf(MotionEnd::End), picture()).center();
    const QLineF path(from, to);
    if (path.length() > 6) {
        p.setPen(QPen(QColor(255, 255, 255, 200), 1.5, Qt::DashLine));
        p.drawLine(path);
        QLineF back(to, from);
        back.setLength(10);
        QLineF wing1 = back, wing2 = back;
        wing1.setAngle(back.angle() + 25);
        wing2.setAngle(back.angle() - 25);
        p.setPen(QPen(QColor(255, 255, 255, 220), 1.5));
        p.drawLine(wing1);
        p.drawLine(wing2);
    }
    // The selected rectangle on top, with its handles.
    paintRect(p, otherEnd(m_selected), rectOf(otherEnd(m_selected)));
    paintRect(p, m_selected, rectOf(m_selected));
}

void MotionOverlay::paintRect(QPainter &p, MotionEnd end, const QRectF &fractions)
{
    const QRectF r = motionOnView(fractions, picture()).adjusted(0.5, 0.5, -0.5, -0.5);
    const bool selected = end == m_selected;
    const QColor colour = colourOf(end);
    // A dark edge under the colour keeps the frame visible over light pictures.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0, 0, 0, 160), selected ? 4 : 3));
    p.drawRect(r);
    p.setPen(QPen(colour, selected ? 2 : 1.5, selected ? Qt::SolidLine : Qt::DashLine));
    p.drawRect(r);

    if (selected) {
        const double s = 7;
        const QPointF points[] = {r.topLeft(),  r.topRight(),  r.bottomLeft(), r.bottomRight(),
                                  {r.center().x(), r.top()},    {r.center().x(), r.bottom()},
                                  {r.left(), r.center().y()},   {r.right(), r.center().y()}};
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(colour);
        for (const QPointF &pt : points)
            p.drawRect(QRectF(pt.x() - s / 2, pt.y() - s / 2, s, s));
    }

    // The label inside the top-left corner, kept on the widget when the
    // rectangle reaches past it.
    const QFontMetrics fm(font());
    const QString text = labelOf(end);
    const QSizeF tag(fm.horizontalAdvance(text) + 10, fm.height() + 4);
    QPointF at = r.topLeft() + QPointF(6, 6);
    at.setX(std::clamp(at.x(), 2.0, std::max(2.0, width() - tag.width() - 2)));
    at.setY(std::clamp(at.y(), 2.0, std::max(2.0, height() - tag.height() - 2)));
    // The end's label sits below the start's when the two corners meet.
    if (end == MotionEnd::End) {
        const QRectF startTag(motionOnView(rectOf(MotionEnd::Start), picture()).topLeft() + QPointF(6, 6), tag);
        if (startTag.intersects(QRectF(at, tag))) at.setY(startTag.bottom() + 2);
    }
    const QRectF box(at, tag);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 170));
    p.drawRoundedRect(box, 3, 3);
    p.setPen(colour);
    p.drawText(box, Qt::AlignCenter, text);
}

void MotionOverlay::paintPlay(QPainter &p)
{
    const QRect area = m_view.pictureRect();
    const bool own = !m_playImage.isNull();
    const QImage &image = own ? m_playImage : m_view.composedImage();
    p.fillRect(area, Qt::black);
    const QRectF source = motionOnView(playRect(), QRectF(own ? m_playPicture : m_view.composedPictureRect()));
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    // Parts of the rectangle past the composed picture stay black.
    const QRectF inside = source.intersected(QRectF(image.rect()));
    if (!inside.isEmpty() && !source.isEmpty()) {
        const double sx = area.width() / source.width(), sy = area.height() / source.height();
        const QRectF target(area.x() + (inside.x() - source.x()) * sx, area.y() + (inside.y() - source.y()) * sy,
                            inside.width() * sx, inside.height() * sy);
        p.drawImage(target, image, inside);
    }
    // How far the slide has run.
    const double t = playPosition();
    const QRectF bar(area.left(), area.bottom() - 3, area.width() * t, 4);
    p.fillRect(bar, colourOf(MotionEnd::End));
    const QString text = QStringLiteral("播放中 %1 / %2 秒（单击或 Esc 停止）")
                             .arg(t * m_seconds, 0, 'f', 1)
                             .arg(m_seconds, 0, 'f', 1);
    const QFontMetrics fm(font());
    const QRectF tag(area.left() + 8, area.bottom() - fm.height() - 14, fm.horizontalAdvance(text) + 12,
                     fm.height() + 6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 150));
    p.drawRoundedRect(tag, 3, 3);
    p.setPen(Qt::white);
    p.drawText(tag, Qt::AlignCenter, text);
}

void MotionOverlay::paintHint(QPainter &p, const QString &text)
{
    const QFontMetrics fm(font());
    const QRect area = m_view.pictureRect();
    const QRectF tag(area.center().x() - (fm.horizontalAdvance(text) + 16) / 2.0, area.top() + 10,
                     fm.horizontalAdvance(text) + 16, fm.height() + 8);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 170));
    p.drawRoundedRect(tag, 4, 4);
    p.setPen(Qt::white);
    p.drawText(tag, Qt::AlignCenter, text);
}

} // namespace pvsm::ui
