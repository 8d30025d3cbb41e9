#pragma once

#include "EffectPreview.h"

#include <QImage>
#include <QObject>
#include <QPointer>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace pvsm::ui {

class EditorContext;
class EditingView;

// The live effect preview in the editing view: a click on a transition, a
// headline effect or an animated lyric style plays it there at the show's
// speed. The effect renders on a thread of its own (RunEffectPreview) from a
// copy of the project; its pictures reach the view as they are due, the
// newest one when several are waiting. While a preview runs the busy cursor
// shows, and a second click starts nothing.
class LivePreview : public QObject
{
    Q_OBJECT
public:
    LivePreview(EditorContext &context, EditingView &view, QObject *parent = nullptr);
    ~LivePreview() override; // stops a preview and waits for its thread

    // Each returns false when the click starts nothing: a preview runs, a
    // job runs, or the project lacks what the preview shows (a transition
    // with fewer than two pictures also says so and emits picturesNeeded()).
    bool previewTransition(int id);
    bool previewHeadline(int value);
    bool previewLyricStyle();

    bool running() const { return m_running; }
    const VariantCounters &counters() const { return m_counters; }
    // Pictures put on the view by the last preview.
    int framesShown() const { return m_framesShown; }
    // How the last preview went (valid once it finished).
    const EffectPreviewResult &lastResult() const { return m_result; }
    // Stops the preview running (its thread ends at the next picture).
    void stop();
    // Ends a running preview now: stops it, waits for its thread and gives
    // the view back. Before a job that renders starts (the renderers' random
    // source serves one thread at a time).
    void finishNow();

    // The clock previews run against; null: the system clock. Not owned.
    void setClock(PlaybackClock *clock) { m_clock = clock; }

signals:
    // A transition was clicked with fewer than two pictures in the project.
    void picturesNeeded();
    // A preview ended and the view shows the composed picture again.
    void finished();

private:
    bool start(PreviewKind kind, int effect);
    void deliver();
    void onDone(int generation);

    class Display;
    EditorContext &m_context;
    QPointer<EditingView> m_view;
    PlaybackClock *m_clock = nullptr;
    std::unique_ptr<PlaybackClock> m_ownClock;
    std::unique_ptr<Display> m_display;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    bool m_running = false;
    bool m_secondPicture = false; // the transition's new picture alternates between pictures 1 and 2
    VariantCounters m_counters;
    int m_framesShown = 0;
    int m_generation = 0; // counts the previews, so a late end report of one does not end the next
    EffectPreviewResult m_result; // written by the preview's thread, read after it was joined
};

} // namespace pvsm::ui
