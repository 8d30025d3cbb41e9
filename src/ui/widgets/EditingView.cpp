#include "EditingView.h"

#include "EditorRules.h"
#include "PlacementCursorShape.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QThread>
#include <QtConcurrent>

namespace pvsm::ui {

EditingView::EditingView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("PicDst"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The cursor tells what a press would do before the button goes down;
    // the arrow keys move the marker once the view has the focus.
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    connect(&m_watcher, &QFutureWatcher<EditingStill>::finished, this, [this] {
        const EditingStill still = m_watcher.result();
        m_image = still.image;
        m_drawnPicture = still.pictureRect;
        m_pending = false;
        update();
        if (m_again) {
            m_again = false;
            compose();
        }
        if (!m_pending) emit pictureShown();
    });
}

void EditingView::showPicture(const Project &project, int index, QSize editingScreen, EditingText text,
                              const QByteArray &frame)
{
    const int shown = index < int(project.pictures.size()) ? index : -1;
    // One change reaches the view more than once (the command's notice, the
    // current picture kept valid); composing again would decode the photo again.
    if (m_composedOnce && shown == m_index && editingScreen == m_screen && text == m_text && project == m_project
        && frame == m_frame)
        return;
    m_composedOnce = true;
    m_project = project;
    m_index = shown;
    m_screen = editingScreen;
    m_text = text;
    m_frame = frame;
    compose();
}

void EditingView::redraw()
{
    compose();
}

void EditingView::setMarker(std::optional<TextBox> box)
{
    m_marker = box;
    update();
}

void EditingView::setPlacementTarget(PlacementTarget target)
{
    if (target == m_target) return;
    m_target = target;
    m_drag.reset();
    unsetCursor();
    update();
}

QRect EditingView::pictureRect() const
{
    const QSize fitted = fitToScreenAspect(size(), m_screen);
    return QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
}

QRectF EditingView::drawnPictureRect() const
{
    if (m_drawnPicture.isEmpty()) return {};
    const double ratio = devicePixelRatioF();
    return QRectF(m_drawnPicture.x() / ratio, m_drawnPicture.y() / ratio, m_drawnPicture.width() / ratio,
                  m_drawnPicture.height() / ratio)
        .translated(pictureRect().topLeft());
}

QRect EditingView::areaMarker() const
{
    if (m_target == PlacementTarget::Picture) {
        if (m_drawnPicture.isEmpty()) return {};
        // Composed in device pixels; the widget counts logical ones.
        const double ratio = devicePixelRatioF();
        return QRectF(m_drawnPicture.x() / ratio, m_drawnPicture.y() / ratio, m_drawnPicture.width() / ratio,
                      m_drawnPicture.height() / ratio)
            .toRect();
    }
    if (!m_marker) return {};
    return markerOnView(*m_marker, m_screen, pictureRect().size());
}

QRect EditingView::markerRect() const
{
    const QRect r = m_drag ? m_drag->rect : areaMarker();
    return r.isEmpty() ? QRect() : r.translated(pictureRect().topLeft());
}

bool EditingView::placing() const
{
    return m_target != PlacementTarget::None && !m_previewing && !areaMarker().isEmpty() && (!m_allowed || m_allowed());
}

void EditingView::showPreviewFrame(const QImage &frame)
{
    m_previewing = true;
    m_previewFrame = frame;
    m_drag.reset();
    update();
}

void EditingView::endPreview()
{
    if (!m_previewing) return;
    m_previewing = false;
    m_previewFrame = QImage();
    update();
}

PlacementHit EditingView::hitAt(QPoint areaPoint) const
{
    const QRect marker = areaMarker();
    // The picture is only dragged whole; its size is the picture's own.
    if (m_target == PlacementTarget::Picture)
        return marker.contains(areaPoint) ? PlacementHit{PlacementHit::Move, 0} : PlacementHit{};
    return hitPlacement(marker, areaPoint, m_target == PlacementTarget::Lyric);
}

void EditingView::compose()
{
    // Composed in device pixels, so the picture stays sharp on a scaled display.
    const QSize size = pictureRect().size() * devicePixelRatioF();
    if (size.isEmpty()) return;
    if (m_pending) {
        m_again = true; // the newest request wins once the one running ends
        return;
    }
    m_pending = true;
    m_watcher.setFuture(QtConcurrent::run(ComposeEditingStill, m_project, m_index, m_text, size, m_screen, m_frame));
}

void EditingView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !placing()) return QWidget::mousePressEvent(event);
    const QPoint at = event->position().toPoint() - pictureRect().topLeft();
    const PlacementHit hit = hitAt(at);
    if (hit.action == PlacementHit::None) return QWidget::mousePressEvent(event);
    setFocus(Qt::MouseFocusReason);
    const QRect marker = areaMarker();
    m_drag = Drag{hit, at, at, marker, marker};
    event->accept();
}

void EditingView::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint() - pictureRect().topLeft();
    if (!m_drag) {
        setCursor(cursorShape(placing() ? placementCursor(hitAt(at)) : PlacementCursor::Normal));
        return QWidget::mouseMoveEvent(event);
    }
    if (!placementStepCounts(m_drag->last, at)) return;
    m_drag->last = at;
    m_drag->rect = m_drag->hit.action == PlacementHit::Resize
                       ? resizedPlacement(m_drag->start, m_drag->hit.edges, m_drag->press, at)
                       : movedPlacement(m_drag->start.size(), m_drag->press - m_drag->start.topLeft(), at);
    update();
}

void EditingView::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_drag || event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    mouseMoveEvent(event); // the release point counts as the last step
    const Drag drag = *m_drag;
    m_drag.reset();
    update();
    // A click that moved nothing stores nothing: no empty step to undo.
    if (drag.rect != drag.start && placing()) emit placed(m_target, drag.rect);
}

void EditingView::keyPressEvent(QKeyEvent *event)
{
    QPoint direction;
    switch (event->key()) {
    case Qt::Key_Left: direction = {-1, 0}; break;
    case Qt::Key_Right: direction = {1, 0}; break;
    case Qt::Key_Up: direction = {0, -1}; break;
    case Qt::Key_Down: direction = {0, 1}; break;
    default: return QWidget::keyPressEvent(event);
    }
    const Qt::KeyboardModifiers others = event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (others != Qt::NoModifier || m_drag || !placing()) return QWidget::keyPressEvent(event);
    emit nudged(m_target, direction, event->modifiers() & Qt::ShiftModifier ? 10 : 1);
    event->accept();
}

void EditingView::leaveEvent(QEvent *event)
{
    if (!m_drag) unsetCursor();
    QWidget::leaveEvent(event);
}

void EditingView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_drag.reset();
    compose();
}

void EditingView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window).darker(115));
    const QRect area = pictureRect();
    const QImage &shown = m_previewing ? m_previewFrame : m_image;
    if (!shown.isNull()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform, shown.size() != area.size() * devicePixelRatioF());
        p.drawImage(area, shown);
    } else {
        p.fillRect(area, Qt::black);
    }
    if (m_previewing) return;
    const QRect marker = markerRect();
    if (!marker.isEmpty()) {
        // A dashed box in two tones stays visible over light and dark pictures;
        // a picture larger than the view is outlined where the view cuts it.
        const QRect r = marker.intersected(area).adjusted(0, 0, -1, -1);
        p.setPen(QPen(Qt::black, 1));
        p.drawRect(r);
        QPen dash(QColor(255, 220, 0), 1, Qt::DashLine);
        p.setPen(dash);
        p.drawRect(r);
    }
}

bool waitForComposition(EditingView &view, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    // Events first: a resize or a section change may start a composition.
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (view.composing()) QThread::msleep(2);
    } while (view.composing() && t.elapsed() < timeoutMs);
    return !view.composing();
}

} // namespace pvsm::ui
