#pragma once

#include "Job.h"
#include "Project.h"
#include "TextPath.h"
#include "Timeline.h"

#include <QImage>
#include <QRectF>
#include <QSize>

#include <functional>
#include <memory>
#include <vector>

namespace pvsm {

// What the soundtrack assembly tells the frame loop.
struct SoundtrackState
{
    int SongCount = 0;                  // songs in the soundtrack
    std::vector<double> SongDurations;  // seconds, in play order
    double SoundtrackLength = 0;        // seconds
    int SlidePassCount = 1;             // whole passes over the pictures
    int ExtraSlideCount = 0;            // pictures of a last partial pass
    bool lyricsOn = false;              // lyric lines are drawn over the frames while a song plays
    // Slide times follow the music. Starts as the project's EnableSync; the
    // assembly switches it off when the music cannot be followed.
    bool syncOn = false;
};

// One text of a frame's lyric: a line laid out in its row, drawn whole or
// only inside `clip` (whole pixels), in the colours of the part not yet sung
// or of the sung part.
struct LyricText
{
    QString text;
    QRectF row;
    int alignment = 4;
    bool sung = false;
    QRectF clip; // empty: the whole line
    bool operator==(const LyricText &) const = default;
};
// Everything the lyric of one frame draws, in order. Two frames with equal
// shots get the same pixels, so a held picture is drawn again only when its
// shot changes. Empty: no lyric.
using LyricShot = std::vector<LyricText>;

// The soundtrack of an export, as the frame loop sees it: assembled once
// before the first frame (it may change the default slide time and the pass
// counts), and asked for the lyric of every frame.
class Soundtrack
{
public:
    virtual ~Soundtrack() = default;
    // Decodes, joins and encodes the music. Returns false when the export must
    // stop (cancelled or failed); `state` and `defaultSlideTime` may change.
    virtual bool assemble(SoundtrackState &state, double &defaultSlideTime, const JobControl &control) = 0;
    // The lyric of frame `frameCounter` (frames counted from 1); `musicStartFrame`
    // is the frame at which the music starts. Frames are asked in increasing order.
    virtual LyricShot lyricShot(int64_t frameCounter, int64_t musicStartFrame)
    {
        Q_UNUSED(frameCounter);
        Q_UNUSED(musicStartFrame);
        return {};
    }
    // Draws a shot of lyricShot() over `frame`.
    virtual void drawLyric(QImage &frame, const LyricShot &shot)
    {
        Q_UNUSED(frame);
        Q_UNUSED(shot);
    }
};

// The export's fixed values.
struct FrameLoopSettings
{
    QSize videoSize{1280, 720};   // VideoWidth x VideoHeight
    QSize editingScreen{1920, 1080}; // the screen all stored positions refer to
    // Nominal frames of one transition, counted at 30 a second whatever the
    // frame rate: the renderers' steps are laid out in thirtieths of a second.
    int TransitionFrames = 30;
    // Frames per second of the video (25, 30 or 60). Every duration keeps its
    // seconds; the renderers' steps are resampled to the rate (RateSink).
    int fps = 30;
    std::vector<int> SelectedTransitions; // transition ids in list order
    // The chosen picture frame's picture (PNG bytes); empty: no frame. It is
    // laid over every frame written, and over the pictures of the editing view.
    QByteArray pictureFrame;
    // Called on the loop's thread as each slide starts (before its
    // transition) with its number in the show (from 1, passes counted on)
    // and the frames written so far; the ending title counts as the slide
    // after the last. Real-time playback finds the slides' times through it.
    std::function<void(int slide, int64_t framesWritten)> onSlideStart;
    // Called on the loop's thread once the frame the music starts at is
    // known (FrameLoopResult::musicStartFrame), before the slides: the
    // export codes the sound from there while the frames render.
    std::function<void(int64_t musicStartFrame)> onMusicStart;
};

struct FrameLoopResult
{
    bool failed = false;
    bool cancelled = false;
    int64_t frames = 0;
    int64_t musicStartFrame = 1;
    int slidesShown = 0;
};

// `RenderVideo`: lays the show out in time at the settings' frame rate and hands
// every picture to the sink: the opening title, every slide with its
// transition, headline effect and display time, and the ending title. While
// a song plays every frame carries its lyric, whichever renderer wrote it
// (see LyricOverlaySink). Pictures are composed one slide ahead on a worker
// thread, so decoding a big photo does not hold up the encoder; the frames
// written are the same as if each slide were composed when its turn comes.
class FrameLoop
{
public:
    FrameLoop(const Project &project, const FrameLoopSettings &settings, TimelineSink &sink,
              Soundtrack *soundtrack, const JobControl &control);
    ~FrameLoop();

    FrameLoopResult RenderVideo();

    // The scales of the export: ScaleX, ScaleY and FontScale after the scale rule.
    double ScaleX() const { return m_scaleX; }
    double ScaleY() const { return m_scaleY; }
    double FontScale() const { return m_fontScale; }
    double DefaultSlideTime() const { return m_defaultSlideTime; }

    // `ComposeSlide`: picture i (1-based) with background and caption.
    // Reentrant: may run on another thread than the loop. `pictureRect`, when
    // given, receives where the picture was drawn (empty when it was not).
    QImage ComposeSlide(int index, QRect *pictureRect = nullptr) const;
    // `DrawBackground`: the background kind of the project over `target`.
    void DrawBackground(QImage &target) const;
    // The picture frame over the whole of `target`; nothing without a frame.
    // Not part of ComposeSlide: the export lays it over every frame written
    // (titles and transitions too), the editing view over its still.
    void DrawPictureFrame(QImage &target) const;
    bool hasPictureFrame() const;
    // The headline of picture i (1-based) in its box and its own style, as
    // its effect leaves it on the slide.
    void DrawHeadline(QImage &target, int index) const;
    // The background of the opening (or ending) title: the project's
    // background with the title's picture centred on it, when there is one.
    void DrawTitleBackground(QImage &target, bool opening) const;
    // `text` in the title box in text style 4, without an effect.
    void DrawTitleText(QImage &target, const QString &text) const;

    // The rectangles of the texts in output pixels.
    QRectF titleRect() const;
    QRectF headlineRect(int index) const;
    QRectF captionRect(int index) const;

    // True for a portrait or square video: boxes and pictures are laid out
    // for the frame (outputBox).
    bool fitsFrame() const { return m_fitFrame; }

private:
    TextPathStyle headlineStyle(int index) const;
    QRectF outputRect(const TextBox &box) const;
    // A picture file by draw mode, laid out for a portrait or square frame:
    // never stretched, never larger than the frame.
    // (sx, sy): how the screen maps onto `target` for a stored position.
    QRect drawForFrame(QImage &target, const QString &path, int32_t mode, QPointF screenPosition, double sx,
                       double sy) const;
    // drawForFrame into the band of a framed portrait or square video (the
    // whole target without a band); the rectangle drawn in target pixels.
    QRect drawInBand(QImage &target, const QString &path, int32_t mode, QPointF screenPosition) const;

    struct Impl;
    std::unique_ptr<Impl> d;
    double m_scaleX = 1, m_scaleY = 1, m_fontScale = 1;
    bool m_fitFrame = false;
    QRectF m_band;
    double m_defaultSlideTime = 10;
};

// The scale rule: both scales within (0.9, 1.1) become 1.0 with the font
// scale; otherwise the font scale is the smaller of the two.
struct OutputScales
{
    double x = 1, y = 1, font = 1;
    // A portrait or square video of an editing screen of another shape (more
    // than 10% apart): boxes are laid out for the frame instead of being
    // scaled per axis (outputBox).
    bool fitFrame = false;
    QSize video;
    // With a picture frame on such a video: the band of the screen's shape
    // in the middle of the frame, where the fitted picture frame lies. The
    // screen's whole layout is drawn into it, scaled alike on both axes, so
    // the frame frames what it framed on the screen. Empty otherwise.
    QRectF band;
};
// `framed`: a picture frame is laid over the video.
OutputScales outputScales(QSize videoSize, QSize editingScreen, bool framed = false);
// Where the box (x, y, w, h) of the editing screen lies on the output. Per
// axis scaled by x and y; for a portrait or square frame the box is scaled
// by the font scale (its shape and text kept), its centre keeps its relative
// place on both axes, and it is moved inside the frame where it would reach
// out; with a band, it is placed in the band as on the screen (inside it).
QRectF outputBox(const OutputScales &s, double x, double y, double w, double h);
// Moves `r` inside a frame of `frame` pixels (only as far as needed; a box
// larger than the frame is pinned at its top-left corner).
QRectF keptInside(QRectF r, QSize frame);

// A text style of the project as the renderers take it, sized by
// `fontScale` for the output (fill opaque, border at alpha 170).
TextPathStyle renderStyle(const QString &fontName, int32_t size, int32_t style, int32_t align, int32_t pattern,
                          int32_t border, int32_t start, int32_t end, int32_t borderColor, double fontScale);

// Renderers lay their steps out in thirtieths of a second; this sink writes
// them to a sink of `fps` frames a second. Each output frame shows the step
// that is on screen at its start time, so a step shorter than an output
// frame may be left out (25) or a step shown for two frames (60): the
// sequence lasts as long in seconds at every rate. At 30 every write passes
// on unchanged. Counting starts at the sink's creation.
class RateSink final : public FrameSink
{
public:
    RateSink(FrameSink &inner, int fps) : m_inner(inner), m_fps(fps) {}
    bool WriteFrame(const QImage &frame, int count = 1) override;
    // Thirtieths written so far.
    int64_t framesWritten() const override { return m_steps; }
    bool stopped() const override { return m_inner.stopped(); }
    // Output frames for the first `steps` thirtieths.
    static int64_t outputFrames(int64_t steps, int fps) { return fps == 30 ? steps : (steps * fps + 29) / 30; }

private:
    FrameSink &m_inner;
    int m_fps;
    int64_t m_steps = 0;
};

} // namespace pvsm
