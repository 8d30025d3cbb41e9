#include "LivePreview.h"

#include "EditingView.h"
#include "EditorContext.h"
#include "ProjectSession.h"

#include <QGuiApplication>
#include <QMetaObject>

#include <algorithm>

namespace pvsm::ui {

// Hands the preview thread's pictures to the window thread: the newest one
// waits here, and one queued call at a time takes it to the view, so a slow
// paint drops pictures instead of piling them up.
class LivePreview::Display final : public FrameDisplay
{
public:
    explicit Display(LivePreview &owner) : m_owner(owner) {}

    void present(const QImage &frame, int64_t) override
    {
        std::lock_guard lock(m_mutex);
        m_latest = frame.copy();
        if (m_posted) return;
        m_posted = true;
        QMetaObject::invokeMethod(&m_owner, [owner = &m_owner] { owner->deliver(); }, Qt::QueuedConnection);
    }

    QImage take()
    {
        std::lock_guard lock(m_mutex);
        m_posted = false;
        return std::exchange(m_latest, QImage());
    }

private:
    LivePreview &m_owner;
    std::mutex m_mutex;
    QImage m_latest;
    bool m_posted = false;
};

LivePreview::LivePreview(EditorContext &context, EditingView &view, QObject *parent)
    : QObject(parent), m_context(context), m_view(&view), m_display(std::make_unique<Display>(*this))
{
    connect(&context, &EditorContext::transitionPreviewRequested, this, &LivePreview::previewTransition);
    connect(&context, &EditorContext::headlinePreviewRequested, this, &LivePreview::previewHeadline);
    connect(&context, &EditorContext::lyricPreviewRequested, this, &LivePreview::previewLyricStyle);
}

LivePreview::~LivePreview()
{
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    if (m_running) QGuiApplication::restoreOverrideCursor();
}

void LivePreview::stop()
{
    m_stop = true;
}

bool LivePreview::previewTransition(int id)
{
    if (m_running || m_context.busy()) return false;
    if (m_context.project().pictures.size() < 2) {
        m_context.session().checkTwoPictures(); // says why
        emit picturesNeeded();
        return false;
    }
    return start(PreviewKind::Transition, id);
}

bool LivePreview::previewHeadline(int value)
{
    return start(PreviewKind::Headline, value);
}

bool LivePreview::previewLyricStyle()
{
    const int style = m_context.project().settings.lyricStyle;
    if (style != 2 && style != 3) return false; // the still styles are what the view shows already
    return start(PreviewKind::Lyric, 0);
}

bool LivePreview::start(PreviewKind kind, int effect)
{
    if (m_running || m_context.busy() || !m_view) return false;
    const Project &project = m_context.project();
    const int count = int(project.pictures.size());
    if (kind != PreviewKind::Lyric && count < 1) return false;
    const QSize size = m_view->pictureRect().size() * m_view->devicePixelRatioF();
    if (size.isEmpty()) return false;

    if (!m_clock && !m_ownClock) m_ownClock = std::make_unique<SystemPlaybackClock>();
    PlaybackClock &clock = m_clock ? *m_clock : *m_ownClock;
    EffectPreviewRequest request;
    request.kind = kind;
    request.effect = effect;
    request.project = project;
    request.current = std::clamp(m_context.currentPicture(), count > 0 ? 0 : -1, count - 1);
    request.viewSize = size;
    const ProjectEnvironment &env = m_context.session().environment();
    request.editingScreen = QSize(env.screenWidth, env.screenHeight);
    request.pictureFrame = m_context.pictureFrameBytes();
    m_counters.normalise();
    request.v2 = m_counters.twoWay();
    request.v4 = m_counters.fourWay();
    if (kind == PreviewKind::Transition) {
        // Pictures 1 and 2 in turn, but never the old picture itself: a
        // transition from a picture to the same one shows nothing.
        request.second = m_secondPicture ? 1 : 0;
        if (request.second == request.current) request.second = 1 - request.second;
        m_secondPicture = !m_secondPicture;
    }
    request.started = clock.now();

    m_running = true;
    m_framesShown = 0;
    m_stop = false;
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    if (m_thread.joinable()) m_thread.join();
    const int generation = ++m_generation;
    m_thread = std::thread([this, request = std::move(request), &clock, generation] {
        m_result = RunEffectPreview(request, clock, *m_display, &m_stop);
        QMetaObject::invokeMethod(this, [this, generation] { onDone(generation); }, Qt::QueuedConnection);
    });
    return true;
}

void LivePreview::deliver()
{
    const QImage frame = m_display->take();
    if (frame.isNull() || !m_running || !m_view) return;
    ++m_framesShown;
    m_view->showPreviewFrame(frame);
}

void LivePreview::finishNow()
{
    if (!m_running) return;
    m_stop = true;
    onDone(m_generation);
}

void LivePreview::onDone(int generation)
{
    if (!m_running || generation != m_generation) return;
    if (m_thread.joinable()) m_thread.join();
    m_display->take(); // the preview ended: a picture still waiting is not shown
    m_counters.advance();
    m_running = false;
    if (m_view) m_view->endPreview();
    QGuiApplication::restoreOverrideCursor();
    emit finished();
}

} // namespace pvsm::ui
