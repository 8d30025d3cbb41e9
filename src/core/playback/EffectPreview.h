#pragma once

#include "FrameDisplay.h"
#include "FrameSink.h"
#include "PlaybackClock.h"
#include "Project.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <atomic>
#include <cmath>
#include <functional>
#include <limits>
#include <span>
#include <vector>

namespace pvsm {

// The editor's live preview of one transition, headline effect or lyric
// style in its editing view: the export's own renderers at the view's size,
// their frames shown against a clock so that the preview lasts what the show
// will take. The renderers write the export's frames (a frame rule spreads
// them over the transition), not one picture per drawing step, so the
// preview paces frames: each frame is shown at the share of the duration
// that the frames before it (repeats counted) stand for.

// Frames per second the preview asks the renderers for (their nominal frame
// count is this rate times the preview's duration).
inline constexpr double kPreviewFps = 60;

// The three variant counters of the previews (ranges 0-3, 0-1 and 0-2): an
// entry with four variants takes the first, one with two the second. A
// preview puts a counter that left its range back to 0 before it reads them,
// and advances all three after it ran.
class VariantCounters
{
public:
    void normalise();
    void advance();
    int fourWay() const { return m_value[0]; }
    int twoWay() const { return m_value[1]; }
    int threeWay() const { return m_value[2]; }

private:
    int m_value[3] = {0, 0, 0};
};

// One stretch of a preview's time: its first `calls` renderer writes (all
// that are left when negative) shown over `seconds`. A phase whose writes
// are missing still takes its time (a held picture).
struct PacingPhase
{
    int calls = -1;
    double seconds = 0;
    bool operator==(const PacingPhase &) const = default;
};

// When each write of a renderer is shown, in seconds from the first one, and
// when the preview ends.
struct PacedSchedule
{
    std::vector<double> starts;
    double end = 0;
};

// Spreads writes of `counts` frames each over `phases`: inside a phase a
// write is shown at the share of the phase that the frames before it stand
// for. Writes beyond the phases are shown at the end.
PacedSchedule scheduleCalls(std::span<const int> counts, std::span<const PacingPhase> phases);

// The duration of transition `id`'s preview: `TransitionSpeed` ms, the
// negative flash (19) and the falling bands (20) 500 ms longer, the spiral
// tiles (21) 200 ms longer. Speeds below 1 ms count as 1.
double transitionPreviewSeconds(int id, int transitionSpeedMs);
// The phases of transition `id`'s preview for the writes `counts` its
// renderer makes. The spin scatter (8) flies out and spins each over
// 0.4 x `TransitionSpeed`, with its hold (its first write of several
// frames) between them over the remaining 0.2.
std::vector<PacingPhase> transitionPacing(int id, int transitionSpeedMs, std::span<const int> counts);
// The nominal frame count handed to the transition renderers for a preview
// of `seconds`.
int previewTransitionFrames(double seconds);

// The headline effects' table: the main phase's duration and the cap of the
// rendering time that is taken off it.
struct HeadlineTiming
{
    int mainMs = 0;
    int capMs = 0;
};
// Values 0 .. 8; others give a zero timing.
HeadlineTiming headlineTiming(int value);
// What of `renderSeconds` (the time from the click to the first frame) is
// taken off effect `value`'s main phase: all of it up to the cap, nothing
// above it.
double renderAllowance(int value, double renderSeconds);
// The phases of headline effect `value`'s preview, its main phase shortened
// by the allowance for `renderSeconds` (never below 0).
std::vector<PacingPhase> headlinePacing(int value, double renderSeconds);

// The frame sink of a preview: the renderer's writes shown on `display` at
// their scheduled times against `clock`. The schedule is made when the first
// write arrives (`plan` gets the seconds since `started`), so that time spent
// before it can be taken into account; it is counted from that write.
// `overlay` (the picture frame at the preview's size), when not null, is laid
// over every frame. Waits return early once `stop` is set; the sink then
// takes no more frames.
class PacedPreviewSink final : public FrameSink
{
public:
    PacedPreviewSink(PlaybackClock &clock, FrameDisplay &display, double started,
                     std::function<PacedSchedule(double renderSeconds)> plan, const std::atomic<bool> *stop,
                     QImage overlay = {});

    bool WriteFrame(const QImage &frame, int count = 1) override;
    int64_t framesWritten() const override { return m_frames; }
    bool stopped() const override { return m_stop && m_stop->load(); }

    // Waits for the end of the schedule. Returns the clock's time then.
    double finish();

    int writes() const { return m_writes; }
    // When the first write arrived and how long after `started` (clock seconds).
    double firstWriteTime() const { return m_origin; }
    double renderSeconds() const { return m_renderSeconds; }
    const PacedSchedule &schedule() const { return m_schedule; }

private:
    PlaybackClock &m_clock;
    FrameDisplay &m_display;
    double m_started;
    std::function<PacedSchedule(double)> m_plan;
    const std::atomic<bool> *m_stop;
    QImage m_overlay;
    QImage m_canvas;
    PacedSchedule m_schedule;
    double m_origin = 0;
    double m_renderSeconds = 0;
    int m_writes = 0;
    int64_t m_frames = 0;
};

enum class PreviewKind { Transition, Headline, Lyric };

struct EffectPreviewRequest
{
    PreviewKind kind = PreviewKind::Transition;
    int effect = 0;        // transition id or headline effect value (Lyric: unused)
    Project project;       // a copy; the preview changes nothing
    int current = 0;       // the current picture (0-based): the old picture, the headline's picture
    int second = 0;        // the new picture of a transition (0-based)
    QSize viewSize{800, 450};
    QSize editingScreen{1920, 1080};
    QByteArray pictureFrame; // PNG bytes; empty: none
    int v2 = 0, v4 = 0;
    // The clock's time at the click; NaN: when RunEffectPreview starts.
    double started = std::numeric_limits<double>::quiet_NaN();
};

struct EffectPreviewResult
{
    bool ran = false;
    int writes = 0;            // pictures the renderer handed over
    int64_t frames = 0;        // frames they stand for
    double started = 0;        // clock seconds
    double firstFrame = 0;     // when the renderer's first picture was shown
    double end = 0;            // when the preview ended
    double renderSeconds = 0;  // from `started` to the first picture
    double plannedSeconds = 0; // from the first picture to the end, as planned
    int v2 = 0, v4 = 0;        // the variants it was given
};

// The sample headline shown when the picture has none.
inline constexpr const char *kSampleHeadline = "图片幻灯制作";

// Runs one preview on the calling thread: the still first, then the effect's
// frames paced against `clock` onto `display`, then the wait for its end. A
// transition needs two pictures, a headline one; a lyric preview runs only
// for the animated lyric styles (2: one line, 3: two lines in turn), each
// line's highlight uncovered from the box's left edge to its right in one
// second. Otherwise nothing is shown and `ran` is false.
EffectPreviewResult RunEffectPreview(const EffectPreviewRequest &request, PlaybackClock &clock, FrameDisplay &display,
                                     const std::atomic<bool> *stop = nullptr);

} // namespace pvsm
