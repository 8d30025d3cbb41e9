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
    int TransitionFrames = 30;
    std::vector<int> SelectedTransitions; // transition ids in list order
    // The chosen picture frame's picture (PNG bytes); empty: no frame. It is
    // laid over every frame written, and over the pictures of the editing view.
    QByteArray pictureFrame;
    // Called on the loop's thread as each slide starts (before its
    // transition) with its number in the show (from 1, passes counted on)
    // and the frames written so far; the ending title counts as the slide
    // after the last. Real-time playback finds the slides' times through it.
    std::function<void(int slide, int64_t framesWritten)> onSlideStart;
};

struct FrameLoopResult
{
    bool failed = false;
    bool cancelled = false;
    int64_t frames = 0;
    int64_t musicStartFrame = 1;
    int slidesShown = 0;
};

// `RenderVideo`: lays the show out in time at 30 frames per second and hands
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

private:
    TextPathStyle headlineStyle(int index) const;

    struct Impl;
    std::unique_ptr<Impl> d;
    double m_scaleX = 1, m_scaleY = 1, m_fontScale = 1;
    double m_defaultSlideTime = 10;
};

// The scale rule: both scales within (0.9, 1.1) become 1.0 with the font
// scale; otherwise the font scale is the smaller of the two.
struct OutputScales
{
    double x = 1, y = 1, font = 1;
};
OutputScales outputScales(QSize videoSize, QSize editingScreen);

} // namespace pvsm
