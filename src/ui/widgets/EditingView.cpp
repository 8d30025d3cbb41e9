#include "EditingView.h"

#include "EditorRules.h"
#include "FrameLoop.h"
#include "Job.h"
#include "Timeline.h"

#include <QPainter>
#include <QtConcurrent>

namespace pvsm::ui {

namespace {

// FrameLoop wants a sink; composing a still writes nothing to it.
class NoFrames final : public TimelineSink
{
public:
    bool WriteFrame(const QImage &, int) override { return false; }
    int64_t FrameCounter() const override { return 0; }
    void setFrameCounter(int64_t) override {}
    void cancel() override {}
    bool cancelled() const override { return false; }
    bool failed() const override { return false; }
};

QImage composeStill(const Project &project, int index, QSize size, QSize screen, const QByteArray &frame)
{
    NoFrames sink;
    JobControl control;
    FrameLoopSettings settings;
    settings.videoSize = size;
    settings.editingScreen = screen;
    settings.pictureFrame = frame;
    const FrameLoop loop(project, settings, sink, nullptr, control);
    if (index >= 0) {
        // As the export draws it: the frame over the composed slide.
        QImage still = loop.ComposeSlide(index + 1);
        loop.DrawPictureFrame(still);
        return still;
    }
    QImage background(size, QImage::Format_RGB32);
    background.fill(Qt::black);
    loop.DrawBackground(background);
    return background;
}

} // namespace

EditingView::EditingView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("PicDst"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&m_watcher, &QFutureWatcher<QImage>::finished, this, [this] {
        m_image = m_watcher.result();
        m_pending = false;
        update();
        if (m_again) {
            m_again = false;
            compose();
        }
        if (!m_pending) emit pictureShown();
    });
}

void EditingView::showPicture(const Project &project, int index, QSize editingScreen, const QByteArray &frame)
{
    const int shown = index < int(project.pictures.size()) ? index : -1;
    // One change reaches the view more than once (the command's notice, the
    // current picture kept valid); composing again would decode the photo again.
    if (m_composedOnce && shown == m_index && editingScreen == m_screen && project == m_project && frame == m_frame)
        return;
    m_composedOnce = true;
    m_frame = frame;
    m_project = project;
    m_index = shown;
    m_screen = editingScreen;
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

QRect EditingView::pictureRect() const
{
    const QSize fitted = fitToScreenAspect(size(), m_screen);
    return QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
}

QRect EditingView::markerRect() const
{
    if (!m_marker) return {};
    const QRect area = pictureRect();
    return markerOnView(*m_marker, m_screen, area.size()).translated(area.topLeft());
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
    m_watcher.setFuture(QtConcurrent::run(composeStill, m_project, m_index, size, m_screen, m_frame));
}

void EditingView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    compose();
}

void EditingView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window).darker(115));
    const QRect area = pictureRect();
    if (!m_image.isNull()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform, m_image.size() != area.size() * devicePixelRatioF());
        p.drawImage(area, m_image);
    } else {
        p.fillRect(area, Qt::black);
    }
    if (m_marker) {
        // A dashed box in two tones stays visible over light and dark pictures.
        const QRect r = markerRect().adjusted(0, 0, -1, -1);
        p.setPen(QPen(Qt::black, 1));
        p.drawRect(r);
        QPen dash(QColor(255, 220, 0), 1, Qt::DashLine);
        p.setPen(dash);
        p.drawRect(r);
    }
}

} // namespace pvsm::ui
