#include "EffectPreview.h"

#include "EditingStill.h"
#include "FrameLoop.h"
#include "Numbers.h"
#include "PictureFrameOverlay.h"
#include "Soundtrack.h"
#include "TextEffect.h"
#include "TextPath.h"
#include "Transition.h"
#include "clsMemDC.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <future>
#include <mutex>

namespace pvsm {

void VariantCounters::normalise()
{
    static constexpr int kRange[3] = {4, 2, 3};
    for (int i = 0; i < 3; ++i)
        if (m_value[i] < 0 || m_value[i] >= kRange[i]) m_value[i] = 0;
}

void VariantCounters::advance()
{
    for (int &v : m_value) ++v;
}

PacedSchedule scheduleCalls(std::span<const int> counts, std::span<const PacingPhase> phases)
{
    PacedSchedule out;
    out.starts.reserve(counts.size());
    size_t next = 0;
    double phaseStart = 0;
    for (const PacingPhase &phase : phases) {
        const size_t left = counts.size() - next;
        const size_t n = phase.calls < 0 ? left : std::min(left, size_t(phase.calls));
        int64_t frames = 0;
        for (size_t j = next; j < next + n; ++j) frames += std::max(1, counts[j]);
        int64_t before = 0;
        const double seconds = std::max(0.0, phase.seconds);
        for (size_t j = next; j < next + n; ++j) {
            out.starts.push_back(phaseStart + seconds * double(before) / double(frames));
            before += std::max(1, counts[j]);
        }
        next += n;
        phaseStart += seconds;
    }
    while (out.starts.size() < counts.size()) out.starts.push_back(phaseStart);
    out.end = phaseStart;
    return out;
}

double transitionPreviewSeconds(int id, int transitionSpeedMs)
{
    const double speed = std::max(1, transitionSpeedMs) / 1000.0;
    switch (id) {
    case 19:
    case 20: return speed + 0.5;
    case 21: return speed + 0.2;
    default: return speed;
    }
}

std::vector<PacingPhase> transitionPacing(int id, int transitionSpeedMs, std::span<const int> counts)
{
    const double total = transitionPreviewSeconds(id, transitionSpeedMs);
    if (id != 8) return {{-1, total}};
    // The spin scatter's hold is its one write of many frames.
    const auto hold = std::find_if(counts.begin(), counts.end(), [](int c) { return c > 1; });
    const int flyOut = int(hold - counts.begin());
    if (hold == counts.end()) return {{-1, total}};
    return {{flyOut, 0.4 * total}, {1, 0.2 * total}, {-1, 0.4 * total}};
}

int previewTransitionFrames(double seconds)
{
    // A minute at most: the renderers' step counts follow the frame count.
    return std::max(1, int(Nearest(std::clamp(seconds, 0.0, 60.0) * kPreviewFps)));
}

HeadlineTiming headlineTiming(int value)
{
    static constexpr HeadlineTiming kTable[] = {
        {900, 900}, // fade
        {800, 800}, // left to right
        {900, 850}, // slide in
        {600, 600}, // shake (after 300 ms still)
        {500, 400}, // stretch
        {480, 400}, // grow
        {350, 350}, // shrink
        {400, 400}, // hop
        {885, 900}, // gather
    };
    if (value < 0 || value >= int(std::size(kTable))) return {};
    return kTable[value];
}

double renderAllowance(int value, double renderSeconds)
{
    const HeadlineTiming t = headlineTiming(value);
    if (renderSeconds <= 0 || renderSeconds * 1000.0 > t.capMs) return 0;
    return renderSeconds;
}

std::vector<PacingPhase> headlinePacing(int value, double renderSeconds)
{
    const double main = std::max(0.0, headlineTiming(value).mainMs / 1000.0 - renderAllowance(value, renderSeconds));
    // The later phases keep the pace of the main phase's steps where the
    // table gives only their step counts.
    switch (value) {
    case 0:
    case 1:
    case 2: return {{-1, main}};
    case 3: return {{4, 0.300}, {-1, main}};                   // still, then 30 steps
    case 4: return {{11, main}, {-1, 14 * 0.500 / 11}};        // 11 steps, then 14
    case 5: return {{12, main}, {-1, 8 * 0.480 / 12}};         // 12 steps, then 5 and 3
    case 6: return {{12, main}, {-1, 9 * 0.350 / 11}};         // 11 steps, then 4, 3 and 2
    case 7: return {{12, main}, {5, 0.250}, {-1, 0.350}};      // 12 steps, still, 12 steps
    case 8: return {{19, main}, {-1, 0.035}};                  // 19 steps, then the final one
    default: return {};
    }
}

PacedPreviewSink::PacedPreviewSink(PlaybackClock &clock, FrameDisplay &display, double started,
                                   std::function<PacedSchedule(double)> plan, const std::atomic<bool> *stop,
                                   QImage overlay)
    : m_clock(clock), m_display(display), m_started(started), m_plan(std::move(plan)), m_stop(stop),
      m_overlay(std::move(overlay))
{
}

bool PacedPreviewSink::WriteFrame(const QImage &frame, int count)
{
    if (stopped() || count < 1) return false;
    if (m_writes == 0) {
        m_origin = m_clock.now();
        m_renderSeconds = std::max(0.0, m_origin - m_started);
        m_schedule = m_plan(m_renderSeconds);
    }
    const size_t j = size_t(m_writes++);
    const double due = m_origin + (j < m_schedule.starts.size() ? m_schedule.starts[j] : m_schedule.end);
    m_clock.waitUntil(due, m_stop);
    if (stopped()) return false;
    m_frames += count;
    if (m_overlay.isNull()) {
        m_display.present(frame, m_frames - count + 1);
    } else {
        m_canvas = frame.copy();
        DrawPictureFrame(m_canvas, m_overlay);
        m_display.present(m_canvas, m_frames - count + 1);
    }
    return true;
}

double PacedPreviewSink::finish()
{
    if (m_writes == 0) return m_clock.now();
    return m_clock.waitUntil(m_origin + m_schedule.end, m_stop);
}

namespace {

// The last slides composed for previews. Clicking one effect after another
// shows the same pictures again, and composing a photo costs more than most
// effects take to render.
class StillCache
{
public:
    QImage get(const EffectPreviewRequest &r, int index)
    {
        // The slide leaves the headlines out: choosing another headline
        // effect (which stores it) does not make the picture new.
        Project key = r.project;
        for (Picture &p : key.pictures) {
            p.headline.clear();
            p.headlineBox = {};
            p.headDynamicStyle = 0;
            p.headStyle = {};
        }
        {
            std::lock_guard lock(m_mutex);
            for (const Entry &e : m_entries)
                if (e.index == index && e.size == r.viewSize && e.screen == r.editingScreen && e.project == key)
                    return e.image;
        }
        QImage image = ComposeEditingStill(r.project, index, EditingText::Slide, r.viewSize, r.editingScreen)
                           .image.convertToFormat(QImage::Format_RGB32);
        std::lock_guard lock(m_mutex);
        m_entries.push_front({std::move(key), index, r.viewSize, r.editingScreen, image});
        if (m_entries.size() > kKept) m_entries.pop_back();
        return image;
    }

private:
    static constexpr size_t kKept = 4;
    struct Entry
    {
        Project project;
        int index;
        QSize size, screen;
        QImage image;
    };
    std::mutex m_mutex;
    std::deque<Entry> m_entries;
};

QImage stillOf(const EffectPreviewRequest &r, int index)
{
    static StillCache cache;
    return cache.get(r, index);
}

clsMemDC canvasOf(const QImage &image)
{
    clsMemDC dc(image.width(), image.height(), 0);
    BitBlt(dc.image(), 0, 0, image.width(), image.height(), image, 0, 0);
    return dc;
}

// Counts what a renderer writes, to plan the paced run.
class CountingSink final : public FrameSink
{
public:
    bool WriteFrame(const QImage &, int count) override
    {
        counts.push_back(std::max(1, count));
        frames += std::max(1, count);
        return true;
    }
    int64_t framesWritten() const override { return frames; }
    std::vector<int> counts;
    int64_t frames = 0;
};

void showStill(FrameDisplay &display, const QImage &still, const QImage &overlay)
{
    if (overlay.isNull()) return display.present(still, 0);
    QImage shown = still.copy();
    DrawPictureFrame(shown, overlay);
    display.present(shown, 0);
}

EffectPreviewResult resultOf(const PacedPreviewSink &sink, double started, double end)
{
    EffectPreviewResult r;
    r.ran = true;
    r.writes = sink.writes();
    r.frames = sink.framesWritten();
    r.started = started;
    r.firstFrame = sink.firstWriteTime();
    r.end = end;
    r.renderSeconds = sink.renderSeconds();
    r.plannedSeconds = sink.schedule().end;
    return r;
}

EffectPreviewResult runTransition(const EffectPreviewRequest &r, double started, PlaybackClock &clock,
                                  FrameDisplay &display, const std::atomic<bool> *stop, const QImage &overlay)
{
    // The new picture is composed while the old one is shown.
    std::future<QImage> composing = std::async(std::launch::async, [&r] { return stillOf(r, r.second); });
    const QImage oldPicture = stillOf(r, r.current);
    showStill(display, oldPicture, overlay);
    const clsMemDC newPicture = canvasOf(composing.get());
    const int speed = r.project.settings.transitionSpeed;
    const int frames = previewTransitionFrames(transitionPreviewSeconds(r.effect, speed));

    // The preview draws in steps of 2 pixels whatever its size.
    CountingSink counting;
    {
        TransitionContext ctx{counting, frames, 2, 2};
        clsMemDC dest = canvasOf(oldPicture);
        RunTransition(ctx, r.effect, dest, newPicture, r.v2, r.v4);
    }
    const std::vector<int> counts = counting.counts;
    PacedPreviewSink sink(
        clock, display, started,
        [&](double) {
            const std::vector<PacingPhase> phases = transitionPacing(r.effect, speed, counts);
            return scheduleCalls(counts, phases);
        },
        stop, overlay);
    TransitionContext ctx{sink, frames, 2, 2};
    clsMemDC dest = canvasOf(oldPicture);
    RunTransition(ctx, r.effect, dest, newPicture, r.v2, r.v4);
    const double end = sink.finish();
    return resultOf(sink, started, end);
}

EffectPreviewResult runHeadline(const EffectPreviewRequest &r, double started, PlaybackClock &clock,
                                FrameDisplay &display, const std::atomic<bool> *stop, const QImage &overlay)
{
    const QImage slide = stillOf(r, r.current);
    showStill(display, slide, overlay);
    const double fontScale = outputScales(r.viewSize, r.editingScreen).font;
    const Picture &pic = r.project.pictures[size_t(r.current)];
    const TextStyle &style2 = r.project.settings.textStyles[1];
    QString text;
    QRectF layout;
    TextPathStyle style;
    if (!pic.headline.isEmpty()) {
        // The picture's headline as the export animates it: its box and its own style.
        text = pic.headline;
        const HeadlineStyle &h = pic.headStyle;
        style = renderStyle(style2.fontName, h.size, h.style, style2.align, h.pattern, h.border, h.startColor,
                             h.endColor, h.borderColor, fontScale);
        NullTimelineSink none;
        FrameLoopSettings settings;
        settings.videoSize = r.viewSize;
        settings.editingScreen = r.editingScreen;
        const JobControl control;
        const FrameLoop loop(r.project, settings, none, nullptr, control);
        layout = loop.headlineRect(r.current + 1);
    } else {
        text = QString::fromUtf8(kSampleHeadline);
        style = renderStyle(style2.fontName, style2.size, style2.style, 4, style2.pattern, style2.borderWidth,
                             style2.startColor, style2.endColor, style2.borderColor, fontScale);
        const QRectF box = MeasureText(text, style.fontName, style.sizePx, style.fontStyle);
        layout = QRectF((r.viewSize.width() - box.width()) / 2, (r.viewSize.height() - box.height()) / 2,
                        box.width() + 1, box.height() + 1);
    }

    CountingSink counting;
    {
        TextEffectContext ctx{counting, style};
        clsMemDC surface = canvasOf(slide);
        RunTextEffect(ctx, r.effect, surface, layout, text, 1.0, r.v4);
    }
    const std::vector<int> counts = counting.counts;
    PacedPreviewSink sink(
        clock, display, started,
        [&](double renderSeconds) {
            const std::vector<PacingPhase> phases = headlinePacing(r.effect, renderSeconds);
            return scheduleCalls(counts, phases);
        },
        stop, overlay);
    TextEffectContext ctx{sink, style};
    clsMemDC surface = canvasOf(slide);
    RunTextEffect(ctx, r.effect, surface, layout, text, 1.0, r.v4);
    const double end = sink.finish();
    return resultOf(sink, started, end);
}

EffectPreviewResult runLyric(const EffectPreviewRequest &r, double started, PlaybackClock &clock,
                             FrameDisplay &display, const std::atomic<bool> *stop, const QImage &overlay)
{
    const Settings &s = r.project.settings;
    QImage base = stillOf(r, r.current);
    if (!overlay.isNull()) DrawPictureFrame(base, overlay);
    display.present(base, 0);
    const double fontScale = outputScales(r.viewSize, r.editingScreen).font;
    const LyricRows rows = lyricRows(s, r.viewSize, r.editingScreen);
    const QString line = QString::fromUtf8(kSampleLyricLine);
    std::vector<LyricText> lines;
    if (s.lyricStyle == 3) {
        lines = {{line, rows.first, 3, false, {}}, {line, rows.second, 5, false, {}}};
    } else {
        lines = {{line, rows.first, 4, false, {}}};
    }

    // Every line stands in its own colours first; the highlight then runs
    // over one line after the other.
    QImage plain = base.copy();
    for (const LyricText &t : lines) DrawLyricText(plain, s, fontScale, t);
    QImage sung = base.copy();
    for (LyricText t : lines) {
        t.sung = true;
        DrawLyricText(sung, s, fontScale, t);
    }

    // One picture per step of the clock's pace, at most kPreviewFps a second:
    // the columns are uncovered one box width per second whatever the rate.
    struct Step
    {
        int line;
        int columns;
    };
    std::vector<Step> steps;
    std::vector<int> counts;
    std::vector<PacingPhase> phases;
    for (size_t i = 0; i < lines.size(); ++i) {
        const int width = std::max(1, int(Nearest(lines[i].row.width())));
        const int per = std::max(1, int(std::ceil(width / kPreviewFps)));
        int n = 0;
        for (int k = per; k < width + per; k += per) {
            steps.push_back({int(i), std::min(k, width)});
            ++n;
        }
        counts.insert(counts.end(), size_t(n), 1);
        phases.push_back({n, 1.0});
    }
    PacedPreviewSink sink(
        clock, display, started, [&](double) { return scheduleCalls(counts, phases); }, stop);
    QImage frame = plain.copy();
    for (const Step &step : steps) {
        const QRectF &row = lines[size_t(step.line)].row;
        const int left = int(Nearest(row.x()));
        const int top = std::max(0, int(std::floor(row.y())));
        const int bottom = std::min(frame.height(), int(std::ceil(row.y() + row.height())));
        BitBlt(frame, left, top, step.columns, bottom - top, sung, left, top);
        sink.WriteFrame(frame, 1);
        if (sink.stopped()) break;
    }
    const double end = sink.finish();
    return resultOf(sink, started, end);
}

EffectPreviewResult run(const EffectPreviewRequest &request, double started, PlaybackClock &clock,
                        FrameDisplay &display, const std::atomic<bool> *stop, const QImage &overlay)
{
    const int count = int(request.project.pictures.size());
    switch (request.kind) {
    case PreviewKind::Transition:
        if (count < 2 || request.effect < 0 || request.effect >= int(transitionCatalogue().size())) return {};
        if (request.current < 0 || request.current >= count || request.second < 0 || request.second >= count)
            return {};
        return runTransition(request, started, clock, display, stop, overlay);
    case PreviewKind::Headline:
        if (request.current < 0 || request.current >= count || headlineTiming(request.effect).mainMs == 0) return {};
        return runHeadline(request, started, clock, display, stop, overlay);
    case PreviewKind::Lyric:
        if (request.project.settings.lyricStyle != 2 && request.project.settings.lyricStyle != 3) return {};
        return runLyric(request, started, clock, display, stop, overlay);
    }
    return {};
}

} // namespace

EffectPreviewResult RunEffectPreview(const EffectPreviewRequest &request, PlaybackClock &clock, FrameDisplay &display,
                                     const std::atomic<bool> *stop)
{
    const double started = std::isnan(request.started) ? clock.now() : request.started;
    if (request.viewSize.isEmpty()) return {};
    const QImage overlay = PictureFrameOverlay(request.pictureFrame, request.viewSize);
    EffectPreviewResult result = run(request, started, clock, display, stop, overlay);
    result.v2 = request.v2;
    result.v4 = request.v4;
    return result;
}

} // namespace pvsm
