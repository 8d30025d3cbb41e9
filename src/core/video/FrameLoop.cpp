#include "FrameLoop.h"

#include "LyricOverlay.h"
#include "Motion.h"
#include "PictureFrameOverlay.h"
#include "Numbers.h"
#include "PictureDraw.h"
#include "PictureLoad.h"
#include "PictureInfo.h"
#include "ProjectLists.h"
#include "Random.h"
#include "TextEffect.h"
#include "Transition.h"
#include "clsMemDC.h"

#include <QFileInfo>
#include <QPainter>

#include <cmath>
#include <future>
#include <optional>

namespace pvsm {

OutputScales outputScales(QSize videoSize, QSize editingScreen, bool framed)
{
    OutputScales s;
    if (editingScreen.width() <= 0 || editingScreen.height() <= 0) return s;
    s.x = double(float(videoSize.width()) / float(editingScreen.width()));
    s.y = double(float(videoSize.height()) / float(editingScreen.height()));
    if (s.x > 0.9 && s.x < 1.1 && s.y > 0.9 && s.y < 1.1) {
        s.x = s.y = s.font = 1.0;
    } else {
        s.font = std::min(s.x, s.y);
        // A portrait or square video of a screen of another shape (the
        // editing view, which has the screen's shape, never is one).
        const double shapes = double(videoSize.width()) * editingScreen.height()
                              / (double(videoSize.height()) * editingScreen.width());
        s.fitFrame = videoSize.width() <= videoSize.height() && std::abs(shapes - 1.0) > 0.1;
        if (s.fitFrame && framed) {
            const QSize fitted = FitSize(editingScreen, videoSize);
            s.band = QRectF(QPointF((videoSize.width() - fitted.width()) / 2, (videoSize.height() - fitted.height()) / 2),
                            QSizeF(fitted));
        }
    }
    s.video = videoSize;
    return s;
}

QRectF keptInside(QRectF r, QSize frame)
{
    if (r.right() > frame.width()) r.moveLeft(frame.width() - r.width());
    if (r.bottom() > frame.height()) r.moveTop(frame.height() - r.height());
    if (r.left() < 0) r.moveLeft(0);
    if (r.top() < 0) r.moveTop(0);
    return r;
}

QRectF outputBox(const OutputScales &s, double x, double y, double w, double h)
{
    if (!s.fitFrame) return {x * s.x, y * s.y, w * s.x, h * s.y};
    if (!s.band.isEmpty()) {
        const QRectF inBand = keptInside(QRectF(x * s.font, y * s.font, w * s.font, h * s.font), s.band.size().toSize());
        return inBand.translated(s.band.topLeft());
    }
    // Scaled per axis, a box of a landscape screen would come out tall and
    // narrow on a portrait frame. Its own shape is kept at the font scale,
    // and its centre stays where it was relative to the screen: a caption at
    // the bottom of the screen stays at the bottom of the frame.
    const double bw = w * s.font, bh = h * s.font;
    const double cx = (x + w / 2) * s.x, cy = (y + h / 2) * s.y;
    return keptInside(QRectF(cx - bw / 2, cy - bh / 2, bw, bh), s.video);
}

bool RateSink::WriteFrame(const QImage &frame, int count)
{
    if (count < 1) return false;
    const int64_t from = outputFrames(m_steps, m_fps);
    m_steps += count;
    const int64_t frames = outputFrames(m_steps, m_fps) - from;
    // A step no output frame starts in is not shown.
    if (frames < 1) return !m_inner.stopped();
    return m_inner.WriteFrame(frame, int(frames));
}

// A text style of the project as the renderers take it, sized for the output.
TextPathStyle renderStyle(const QString &fontName, int32_t size, int32_t style, int32_t align, int32_t pattern,
                          int32_t border, int32_t start, int32_t end, int32_t borderColor, double fontScale)
{
    TextPathStyle s;
    s.fontName = fontName;
    s.sizePx = Nearest(size * fontScale);
    s.fontStyle = style;
    s.alignment = align;
    s.pattern = pattern;
    s.borderWidthPx = Nearest(border * fontScale);
    s.startArgb = ToArgb(uint32_t(start), 255);
    s.endArgb = ToArgb(uint32_t(end), 255);
    s.borderArgb = ToArgb(uint32_t(borderColor), 170);
    return s;
}

namespace {

bool drawableExtension(const QString &path)
{
    return hasSupportedPictureExtension(path);
}

// A slide as the loop takes it from the composer: the still picture, and for
// a slide whose picture moves, the moving slide (its still is its first frame).
struct ComposedSlide
{
    QImage still;
    std::shared_ptr<MovingSlide> moving;
};

} // namespace

struct FrameLoop::Impl
{
    const Project &project;
    FrameLoopSettings settings;
    TimelineSink &sink;
    Soundtrack *soundtrack;
    const JobControl &control;
    SoundtrackState sound;
    // Random positions of draw mode 1 come from a generator of the composer's
    // own, so composing on another thread leaves the loop's choices alone.
    mutable RandomSource composeRandom;
    mutable std::mutex composeMutex;
    QImage frameOverlay; // the picture frame at the output size; null: none

    Impl(const Project &p, const FrameLoopSettings &s, TimelineSink &k, Soundtrack *st, const JobControl &c)
        : project(p), settings(s), sink(k), soundtrack(st), control(c)
        , frameOverlay(PictureFrameOverlay(s.pictureFrame, s.videoSize))
    {
        // On a portrait or square frame the picture frame keeps its shape:
        // fitted and centred, it frames a fitted landscape picture as on
        // the screen, instead of being stretched.
        const OutputScales scales = outputScales(s.videoSize, s.editingScreen);
        if (scales.fitFrame && !s.pictureFrame.isEmpty()) {
            // The editing view stretches it over the screen: that is its shape.
            const QSize fitted = FitSize(s.editingScreen, s.videoSize);
            const QImage small = fitted.isEmpty() ? QImage() : PictureFrameOverlay(s.pictureFrame, fitted);
            frameOverlay = QImage();
            if (!small.isNull()) {
                frameOverlay = QImage(s.videoSize, QImage::Format_ARGB32_Premultiplied);
                frameOverlay.fill(Qt::transparent);
                QPainter painter(&frameOverlay);
                // Where outputScales puts the band, to the pixel.
                painter.drawImage(QPoint((s.videoSize.width() - small.width()) / 2,
                                         (s.videoSize.height() - small.height()) / 2),
                                  small);
            }
        }
    }

    bool stopped() const { return sink.stopped(); }
    void pollCancel() const
    {
        if (control.cancelled()) sink.cancel();
    }
};

FrameLoop::FrameLoop(const Project &project, const FrameLoopSettings &settings, TimelineSink &sink,
                     Soundtrack *soundtrack, const JobControl &control)
    : d(std::make_unique<Impl>(project, settings, sink, soundtrack, control))
{
    const OutputScales s = outputScales(settings.videoSize, settings.editingScreen, !settings.pictureFrame.isEmpty());
    m_band = s.band;
    m_scaleX = s.x;
    m_scaleY = s.y;
    m_fontScale = s.font;
    m_fitFrame = s.fitFrame;
}

FrameLoop::~FrameLoop() = default;

namespace {

// The effect boxes reach one pixel further on every side.
QRectF widened(const QRectF &r)
{
    return {r.x() - 1, r.y() - 1, r.width() + 2, r.height() + 2};
}

} // namespace

QRectF FrameLoop::outputRect(const TextBox &b) const
{
    OutputScales s;
    s.x = m_scaleX;
    s.y = m_scaleY;
    s.font = m_fontScale;
    s.fitFrame = m_fitFrame;
    s.video = d->settings.videoSize;
    s.band = m_band;
    return outputBox(s, b.x, b.y, b.w, b.h);
}

QRectF FrameLoop::titleRect() const
{
    return widened(outputRect(d->project.settings.titleBox));
}

QRectF FrameLoop::headlineRect(int index) const
{
    return widened(outputRect(d->project.pictures[size_t(index - 1)].headlineBox));
}

QRectF FrameLoop::captionRect(int index) const
{
    return outputRect(d->project.pictures[size_t(index - 1)].captionBox);
}

void FrameLoop::DrawBackground(QImage &target) const
{
    const Settings &s = d->project.settings;
    if (s.backGroundSet == QLatin1String("3")) {
        if (s.backGroundPicture.size() > 7 && QFileInfo(s.backGroundPicture).isFile()
            && drawableExtension(s.backGroundPicture)) {
            if (m_fitFrame) {
                drawForFrame(target, s.backGroundPicture, s.backgroundDrawScale, {}, m_scaleX, m_scaleY);
            } else {
                std::lock_guard lock(d->composeMutex);
                DrawImageFile(target, s.backGroundPicture, s.backgroundDrawScale, {}, d->composeRandom);
            }
        }
    } else if (s.backGroundSet == QLatin1String("2")) {
        FillGradient(target, s.backgroundGradientMode, ToArgb(uint32_t(s.beginColor), 255), ToArgb(uint32_t(s.endColor), 255));
    } else {
        FillRect(target, 0, 0, target.width(), target.height(), uint32_t(s.solidColor));
    }
}

void FrameLoop::DrawPictureFrame(QImage &target) const
{
    pvsm::DrawPictureFrame(target, d->frameOverlay);
}

bool FrameLoop::hasPictureFrame() const
{
    return !d->frameOverlay.isNull();
}

QImage FrameLoop::ComposeSlide(int index, QRect *pictureRect) const
{
    if (pictureRect) *pictureRect = QRect();
    const QSize size = d->settings.videoSize;
    QImage target(size, QImage::Format_RGB32);
    target.fill(Qt::black);
    DrawBackground(target);
    if (index < 1 || index > int(d->project.pictures.size())) return target;
    const Picture &pic = d->project.pictures[size_t(index - 1)];
    const Settings &s = d->project.settings;
    if (m_fitFrame && !pic.path.isEmpty() && QFileInfo(pic.path).isFile() && drawableExtension(pic.path)) {
        const bool stored = s.imgDrawScale == 1 && (pic.posX != 0 || pic.posY != 0);
        const QRect drawn = drawInBand(target, pic.path, s.imgDrawScale, stored ? QPointF(pic.posX, pic.posY) : QPointF());
        if (pictureRect) *pictureRect = drawn;
    } else if (!pic.path.isEmpty() && QFileInfo(pic.path).isFile() && drawableExtension(pic.path)) {
        QPoint position;
        if (s.imgDrawScale == 1 && (pic.posX != 0 || pic.posY != 0)) {
            // Stored positions are pixels of the editing screen, like the text
            // boxes; placed unscaled they would fall outside smaller videos.
            position = QPoint(Nearest(pic.posX * m_scaleX), Nearest(pic.posY * m_scaleY));
            if (position.isNull()) position = QPoint(pic.posX != 0 ? 1 : 0, pic.posY != 0 ? 1 : 0);
        }
        QRect drawn;
        if (s.imgDrawScale == 1 && position.isNull()) {
            std::lock_guard lock(d->composeMutex);
            drawn = DrawImageFile(target, pic.path, s.imgDrawScale, position, d->composeRandom);
        } else {
            drawn = DrawImageFile(target, pic.path, s.imgDrawScale, position);
        }
        if (pictureRect) *pictureRect = drawn;
    }
    if (s.enableCaption && !pic.caption.isEmpty()) {
        const TextStyle &t = s.textStyles[0];
        DrawTextPath(target, pic.caption, captionRect(index),
                     renderStyle(t.fontName, t.size, t.style, t.align, t.pattern, t.borderWidth, t.startColor,
                                 t.endColor, t.borderColor, m_fontScale));
    }
    return target;
}

QRect FrameLoop::drawInBand(QImage &target, const QString &path, int32_t mode, QPointF screenPosition) const
{
    if (m_band.isEmpty()) return drawForFrame(target, path, mode, screenPosition, m_scaleX, m_scaleY);
    const QRect band = m_band.toRect();
    QImage part = target.copy(band);
    const QRect drawn = drawForFrame(part, path, mode, screenPosition, m_fontScale, m_fontScale);
    QPainter painter(&target);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(band.topLeft(), part);
    return drawn.isEmpty() ? drawn : drawn.translated(band.topLeft());
}

QRect FrameLoop::drawForFrame(QImage &target, const QString &path, int32_t mode, QPointF screenPosition, double sx,
                              double sy) const
{
    // A landscape picture stretched over a portrait frame would be distorted.
    if (mode == kDrawStretch) mode = kDrawFit;
    if (mode != kDrawAtPosition) return DrawImageFile(target, path, mode);
    const QImage picture = LoadPictureForTarget(path, mode, target.size());
    if (picture.isNull()) return {};
    const QSize frame = target.size();
    // At its natural size it would be cut off: fitted instead.
    if (picture.width() > frame.width() || picture.height() > frame.height())
        return DrawPicture(target, picture, kDrawFit);
    if (screenPosition.isNull()) {
        std::lock_guard lock(d->composeMutex);
        return DrawPicture(target, picture, kDrawAtPosition, {}, d->composeRandom);
    }
    // The picture's centre keeps its relative place on the screen; the
    // picture keeps its size and stays inside the frame.
    const double w = picture.width(), h = picture.height();
    const QRectF placed = keptInside(QRectF((screenPosition.x() + w / 2) * sx - w / 2,
                                            (screenPosition.y() + h / 2) * sy - h / 2, w, h),
                                     frame);
    QPoint at(Nearest(placed.x()), Nearest(placed.y()));
    at.setX(std::clamp(at.x(), 0, frame.width() - picture.width()));
    at.setY(std::clamp(at.y(), 0, frame.height() - picture.height()));
    // (0, 0) would mean a random place to the drawing.
    if (at.isNull()) {
        if (picture.size() == frame) return DrawPicture(target, picture, kDrawCentred);
        if (picture.width() < frame.width()) at.setX(1);
        else at.setY(1);
    }
    return DrawPicture(target, picture, kDrawAtPosition, at);
}

void FrameLoop::DrawHeadline(QImage &target, int index) const
{
    if (index < 1 || index > int(d->project.pictures.size())) return;
    const Picture &pic = d->project.pictures[size_t(index - 1)];
    if (pic.headline.isEmpty()) return;
    DrawTextPath(target, pic.headline, headlineRect(index), headlineStyle(index));
}

TextPathStyle FrameLoop::headlineStyle(int index) const
{
    const HeadlineStyle &h = d->project.pictures[size_t(index - 1)].headStyle;
    const TextStyle &style2 = d->project.settings.textStyles[1];
    return renderStyle(style2.fontName, h.size, h.style, style2.align, h.pattern, h.border, h.startColor, h.endColor,
                       h.borderColor, m_fontScale);
}

void FrameLoop::DrawTitleBackground(QImage &target, bool opening) const
{
    DrawBackground(target);
    const QString image = opening ? d->project.settings.openingImage : d->project.settings.endingImage;
    if (!image.isEmpty() && QFileInfo(image).isFile() && drawableExtension(image)) {
        if (m_fitFrame) drawInBand(target, image, kDrawCentred, {});
        else DrawImageFile(target, image, kDrawCentred);
    }
}

void FrameLoop::DrawTitleText(QImage &target, const QString &text) const
{
    const TextStyle &t = d->project.settings.textStyles[3];
    DrawTextPath(target, text, titleRect(),
                 renderStyle(t.fontName, t.size, t.style, t.align, t.pattern, t.borderWidth, t.startColor, t.endColor,
                             t.borderColor, m_fontScale));
}

FrameLoopResult FrameLoop::RenderVideo()
{
    const Project &project = d->project;
    const Settings &s = project.settings;
    const int N = int(project.pictures.size());
    const QSize size = d->settings.videoSize;
    const int fpsRate = d->settings.fps > 0 ? d->settings.fps : 30;
    const double fps = fpsRate;
    FrameLoopResult result;

    // Preparation
    m_defaultSlideTime = std::max(3.5, double(s.timeInterval));
    const bool transitionsOn = s.enableTransition && !d->settings.SelectedTransitions.empty();
    if (s.enableSync && !project.songs.empty()) {
        if (transitionsOn) m_defaultSlideTime += s.transitionSpeed / 1000.0;
        if (s.enableHeadlineEffect) m_defaultSlideTime += 1;
    }
    SoundtrackState &sound = d->sound;
    sound = SoundtrackState();
    sound.syncOn = s.enableSync;
    if (!project.songs.empty() && d->soundtrack) {
        if (!d->soundtrack->assemble(sound, m_defaultSlideTime, d->control)) {
            if (d->control.cancelled()) d->sink.cancel();
            result.cancelled = d->sink.cancelled();
            result.failed = !result.cancelled;
            return result;
        }
    }
    d->control.report(0, QStringLiteral("正在初始化编码器，较慢请等待..."));
    sound.SlidePassCount = std::max(1, sound.SlidePassCount);
    const bool lyricsOn = sound.SongCount >= 1 && !s.muteSound && sound.lyricsOn && d->soundtrack;
    std::optional<LyricOverlaySink> lyricSink;
    if (lyricsOn) lyricSink.emplace(d->sink, *d->soundtrack);
    TimelineSink &underFrame = lyricSink ? static_cast<TimelineSink &>(*lyricSink) : d->sink;
    // The frame goes on before the lyric, so the lyric stays readable over it.
    std::optional<PictureFrameSink> frameSink;
    if (!d->frameOverlay.isNull()) frameSink.emplace(underFrame, d->frameOverlay);
    TimelineSink &sink = frameSink ? static_cast<TimelineSink &>(*frameSink) : underFrame;
    const int totalSlides = std::max(1, N * sound.SlidePassCount + sound.ExtraSlideCount);

    clsMemDC dst(size.width(), size.height(), 0);    // PicDstAvi
    clsMemDC source(size.width(), size.height(), 0); // PicSource
    // The fixed parts of a slide and of a title (the renderers' steps and the
    // frame loop's own counts of 1, 15, 14 and 30) are thirtieths of a second,
    // written through a RateSink made afresh for each part.
    auto transitionContext = [&](FrameSink &part) {
        return TransitionContext{part, d->settings.TransitionFrames, TransitionContext::stepXFor(size.width()),
                                 TransitionContext::stepYFor(size.height())};
    };

    int songIndex = 1;
    double nextBoundary = sound.SongCount > 0 && !sound.SongDurations.empty() ? sound.SongDurations[0] : 0;
    std::vector<int> P;
    size_t k = 0;
    if (transitionsOn) P = ShuffledRange(0, int(d->settings.SelectedTransitions.size()) - 1);

    const TextStyle &style2 = s.textStyles[1];
    const TextStyle &style4 = s.textStyles[3];
    auto titleEffectStyle = [&] {
        return renderStyle(style4.fontName, style4.size, style4.style, style2.align, style4.pattern,
                           style4.borderWidth, style4.startColor, style4.endColor, style4.borderColor, m_fontScale);
    };

    // Titles
    auto showTitle = [&](bool opening) {
        const QString text = s.titleText[opening ? 0 : 1];
        const double endTime = opening ? 0 : sink.FrameCounter() / fps + s.endingDurationTime;
        // A title lasts its duration at least; slides follow an opening.
        if (opening)
            sink.expectAtLeast(int64_t(std::floor(s.openingDurationTime * fps)) - 1
                               + (N > 0 ? RateSink::outputFrames(30, fpsRate) : 0));
        else
            sink.expectAtLeast(int64_t(std::floor(endTime * fps)) - 1);
        dst.Clear();
        DrawTitleBackground(dst.image(), opening);
        const QImage bare = dst.image().copy(); // PicTmp
        RateSink titlePart(sink, fpsRate);
        titlePart.WriteFrame(dst.image(), 30);
        if (!text.isEmpty()) {
            if (s.titleStyle == 1 || s.titleStyle == 2) {
                TextEffectContext ectx{titlePart, titleEffectStyle()};
                const QStringList lines = text.split(QStringLiteral("\r\n"));
                for (int li = 0; li < lines.size(); ++li) {
                    if (sink.stopped()) break;
                    // Lines follow one another: each replaces the one before
                    // instead of being drawn over it.
                    if (li > 0) BitBlt(dst.image(), 0, 0, size.width(), size.height(), bare, 0, 0);
                    RunTextEffect(ectx, s.titleStyle == 1 ? 0 : 1, dst, titleRect(), lines[li], 1.0, 0);
                    d->pollCancel();
                }
            } else {
                DrawTitleText(dst.image(), text);
            }
        }
        const double n = opening ? s.openingDurationTime * fps - sink.FrameCounter()
                                 : endTime * fps - sink.FrameCounter();
        if ((opening && n > 0) || (!opening && n >= 1)) {
            const int frames = Nearest(n);
            if (frames >= 1) sink.WriteFrame(dst.image(), frames);
        }
    };

    const bool opening = s.enableOpening && (!s.titleText[0].isEmpty() || s.openingImage.size() >= 8);
    if (opening) {
        showTitle(true);
        result.musicStartFrame = sink.FrameCounter();
    } else {
        dst.Clear();
        RateSink(sink, fpsRate).WriteFrame(dst.image(), 1);
        result.musicStartFrame = RateSink::outputFrames(1, fpsRate);
    }
    const int64_t musicStart = result.musicStartFrame;
    if (lyricSink) lyricSink->startMusic(musicStart);
    if (d->settings.onMusicStart) d->settings.onMusicStart(musicStart);

    // The music-end test of the last pass, as it stands once `frames` are written.
    auto holdStop = [&](int slidesShown, int64_t frames) {
        return slidesShown - N * sound.SlidePassCount - sound.ExtraSlideCount >= -1 && slidesShown >= N
               && frames / fps >= sound.SoundtrackLength;
    };

    const bool ending = s.enableEnding && (!s.titleText[1].isEmpty() || s.endingImage.size() >= 8);
    const int64_t slidesPlanned = int64_t(N) * sound.SlidePassCount + sound.ExtraSlideCount;
    // Output frames that `steps` thirtieths make at least (a few are given up
    // to the rounding of the rate).
    auto thirtiethsLeast = [fpsRate](int64_t steps) { return std::max<int64_t>(0, (steps - 5) * fpsRate / 30); };
    // Whether the music's end may stop the show before its last slide.
    const bool musicCanStop = lyricsOn || (!project.songs.empty() && !s.muteSound);
    // Where a song boundary moves the frame counter to once `frames` are written.
    auto boundaryTarget = [&](int64_t frames) {
        if (sound.SongCount < 1 || sound.syncOn) return frames;
        const double dd = (frames - musicStart) / fps - nextBoundary;
        return dd > -0.5 && dd < 0 ? std::max<int64_t>(frames, Nearest(frames - dd * fps)) : frames;
    };

    // Motion: a show with any moving picture. The transition and variants of
    // the next slide are drawn one slide ahead, so each moving slide knows
    // how long it is on screen.
    const bool motionShow =
        s.autoMotion || std::any_of(project.pictures.begin(), project.pictures.end(), [](const Picture &p) { return p.motion.on; });
    int64_t composedCount = 0;
    auto composeFor = [this, motionShow, size](int index, int64_t ordinal) {
        ComposedSlide c;
        if (motionShow && index >= 1 && index <= int(d->project.pictures.size())) {
            const Picture &p = d->project.pictures[size_t(index - 1)];
            const Settings &ps = d->project.settings;
            if ((p.motion.on || ps.autoMotion) && !p.path.isEmpty() && QFileInfo(p.path).isFile()
                && drawableExtension(p.path)) {
                PictureMotion motion = p.motion;
                if (!motion.on) {
                    const ImageInfo info = GetImageInfo(p.path);
                    const QSize display(info.DisplayWidth, info.DisplayHeight);
                    if (!display.isEmpty())
                        motion = AutomaticMotion(ordinal, OutputOnPicture(RestPlacement(display, ps.imgDrawScale, size), size));
                }
                if (motion.on) {
                    QImage background(size, QImage::Format_RGB32);
                    background.fill(Qt::black);
                    DrawBackground(background);
                    c.moving = MovingSlide::prepare(p.path, motion, background);
                }
                if (c.moving) {
                    if (ps.enableCaption && !p.caption.isEmpty()) {
                        QImage caption(size, QImage::Format_ARGB32_Premultiplied);
                        caption.fill(Qt::transparent);
                        const TextStyle &t = ps.textStyles[0];
                        DrawTextPath(caption, p.caption, captionRect(index),
                                     renderStyle(t.fontName, t.size, t.style, t.align, t.pattern, t.borderWidth,
                                                 t.startColor, t.endColor, t.borderColor, m_fontScale));
                        c.moving->setOverlay(std::move(caption));
                    }
                    c.moving->drawFrame(c.still, 0);
                    return c;
                }
            }
        }
        c.still = ComposeSlide(index);
        return c;
    };
    // The renderer of a transition as the per-frame runs take it.
    // Counting draws on scratch pictures, so the loop's own stay as they are.
    clsMemDC scratchOld(motionShow ? size.width() : 0, motionShow ? size.height() : 0, 0);
    clsMemDC scratchNew(motionShow ? size.width() : 0, motionShow ? size.height() : 0, 0);
    auto transitionRunOn = [&](int id, int tv2, int tv4, clsMemDC &from, const clsMemDC &to) {
        return [&, id, tv2, tv4](FrameSink &out) {
            TransitionContext c = transitionContext(out);
            RunTransition(c, id, from, to, tv2, tv4);
        };
    };
    auto transitionCount = [&](uint32_t seed, int id, int tv2, int tv4) {
        return CountFrames(seed, transitionRunOn(id, tv2, tv4, scratchOld, scratchNew));
    };
    std::shared_ptr<MovingSlide> moving, previous;
    double shown = 0, previousShown = 0;
    int64_t span = 0, previousSpan = 0;
    bool haveNextVariants = false;
    int nextV2 = 0, nextV4 = 0, nextTransition = -1;
    std::vector<int> nextP;
    uint32_t transitionSeed = 0, nextSeed = 0, effectSeed = 0;

    double carry = 0;
    double remainder = 0;
    int slidesShown = 0;
    bool stop = N == 0;
    int lastReported = 0;
    while (!stop && !sink.stopped()) {
        std::vector<int> order;
        if (s.playPhotoInRamdomOrder) order = ShuffledRange(0, N - 1);
        else
            for (int i = 0; i < N; ++i) order.push_back(i);

        // The next slide is composed while this one is on screen.
        std::future<ComposedSlide> next =
            std::async(std::launch::async, [&composeFor, i = order[0] + 1, o = ++composedCount] { return composeFor(i, o); });
        for (size_t j = 0; j < order.size() && !stop; ++j) {
            const int i = order[j] + 1;
            int v2, v4;
            if (haveNextVariants) {
                v2 = nextV2;
                v4 = nextV4;
                haveNextVariants = false;
            } else {
                RandomSource::global().reseedFromClock();
                v2 = IntPart(Rnd() * 2);
                v4 = IntPart(Rnd() * 4);
                if (motionShow) transitionSeed = DrawRendererSeed();
            }
            d->pollCancel();

            ComposedSlide composedSlide = next.get();
            const QImage &composed = composedSlide.still;
            if (j + 1 < order.size())
                next = std::async(std::launch::async,
                                  [&composeFor, n = order[j + 1] + 1, o = ++composedCount] { return composeFor(n, o); });
            BitBlt(source.image(), 0, 0, size.width(), size.height(), composed, 0, 0);
            const int64_t slideStart = sink.FrameCounter();
            RateSink fixedPart(sink, fpsRate);
            if (d->settings.onSlideStart) d->settings.onSlideStart(slidesShown + 1, slideStart);
            const Picture &pic = project.pictures[size_t(i - 1)];
            // The slide's time, less what the slide before ran past a song boundary.
            double T = (!sound.syncOn && pic.slideDuration > 0) ? pic.slideDuration : m_defaultSlideTime;
            if (carry > 0 && T > carry) T -= carry;
            carry = 0;
            // Whether the show may end with this slide: its last, or one the
            // music's end may stop.
            const bool last = slidesShown + 1 - slidesPlanned >= 0;
            const bool mayEndHere = last || (musicCanStop && slidesShown + 1 - slidesPlanned >= -1);
            {
                // A slide lasts its time, less a step of the hold, unless the
                // music's end cuts it (lyrics); and the next slide, when there
                // is one for certain, has its fixed second.
                const int64_t self = lyricsOn && mayEndHere ? 0 : std::max<int64_t>(0, int64_t(std::floor(T * fps)) - 3);
                sink.expectAtLeast(slideStart + self + (mayEndHere ? 0 : RateSink::outputFrames(30, fpsRate)));
            }

            // A moving slide draws each of its frames anew, from the first of
            // the transition that brings it in to the last of the one that
            // takes it away; its length is known before its first frame.
            moving = composedSlide.moving;
            shown = 0;
            span = 0;
            if (motionShow) {
                const bool effect = s.enableHeadlineEffect && !pic.headline.isEmpty();
                if (effect) effectSeed = DrawRendererSeed();
                nextTransition = -1;
                if (transitionsOn && !last) {
                    // The next slide's variants and transition are drawn now, so
                    // the length of this one is known.
                    RandomSource::global().reseedFromClock();
                    nextV2 = IntPart(Rnd() * 2);
                    nextV4 = IntPart(Rnd() * 4);
                    haveNextVariants = true;
                    if (k + 1 < P.size()) {
                        nextTransition = d->settings.SelectedTransitions[size_t(P[k + 1])];
                    } else {
                        nextP = ShuffledRange(0, int(d->settings.SelectedTransitions.size()) - 1);
                        nextTransition = d->settings.SelectedTransitions[size_t(nextP[0])];
                    }
                    nextSeed = DrawRendererSeed();
                }
                if (moving) {
                    int64_t frames = 0;
                    if (transitionsOn)
                        frames += transitionCount(transitionSeed, d->settings.SelectedTransitions[size_t(P[k])], v2, v4);
                    frames += 30;
                    if (effect) {
                        clsMemDC surface(size.width(), size.height(), 0);
                        frames += CountFrames(effectSeed, [&](FrameSink &counter) {
                            TextEffectContext ectx{counter, headlineStyle(i)};
                            RunTextEffect(ectx, pic.headDynamicStyle, surface, headlineRect(i), pic.headline, 1.0, v4);
                        });
                    }
                    const double elapsedThen = frames / 30.0;
                    double r = 0;
                    // Written for certain once the slide begins: all but a
                    // hold that the music's end may cut short.
                    int64_t certain = frames;
                    if (!lyricsOn) {
                        r = (T - elapsedThen) * 30.0;
                        if (r >= 1) frames += IntPart(r);
                        certain = frames;
                    } else {
                        const bool movingLyrics = s.lyricStyle == 2 || s.lyricStyle == 3;
                        r = (T - elapsedThen) * (movingLyrics ? 15.0 : 10.0);
                        const int64_t hold = std::max<int64_t>(0, IntPart(r)) * (movingLyrics ? 2 : 3);
                        frames += hold;
                        // The music's end cuts the hold at the first step after it,
                        // not sooner (a fifth of a second is given up to the steps).
                        const double musicLeft = sound.SoundtrackLength - slideStart / fps - frames / 30.0 + hold / 30.0;
                        certain += std::clamp<int64_t>(int64_t(std::floor((musicLeft - 0.2) * 30.0)), 0, hold);
                    }
                    if (r > 0 && remainder + (r - std::floor(r)) >= 1) frames += 1;
                    if (last) frames += 1;
                    if (nextTransition >= 0) frames += transitionCount(nextSeed, nextTransition, nextV2, nextV4);
                    span = frames;
                    // Unless the show may end with this slide, it goes on to
                    // the end of the transition that takes this one away and
                    // the next slide's fixed second after it.
                    sink.expectAtLeast(slideStart + thirtiethsLeast(mayEndHere ? certain : span + 30));
                }
            }
            // Writes `count` frames of the slide to `to`: the still picture, or
            // as many new frames of the moving one. A moving slide's span is
            // counted in thirtieths of a second; `step` is what one frame
            // written to `to` stands for (1 through a RateSink, 30 / fps for
            // the hold's own frames).
            auto put = [&](FrameSink &to, int count, double step) {
                if (!moving) {
                    to.WriteFrame(dst.image(), count);
                    return;
                }
                for (int f = 0; f < count && !to.stopped(); ++f) {
                    moving->drawFrame(dst.image(), MotionProgress(shown, span));
                    shown += step;
                    to.WriteFrame(dst.image(), 1);
                }
            };
            const double holdStep = 30.0 / fps;

            if (transitionsOn) {
                const int id = d->settings.SelectedTransitions[size_t(P[k])];
                TransitionContext partContext = transitionContext(fixedPart);
                if (!moving && !previous) {
                    RunTransition(partContext, id, dst, source, v2, v4);
                } else {
                    const QImage oldStill = previous ? QImage() : dst.image().copy();
                    shown = RenderTransitionOverMotion(
                        fixedPart, transitionSeed, dst, source,
                        [&](int64_t f) {
                            if (previous) previous->drawFrame(dst.image(), MotionProgress(previousShown + f, previousSpan));
                            else BitBlt(dst.image(), 0, 0, size.width(), size.height(), oldStill, 0, 0);
                            if (moving) moving->drawFrame(source.image(), MotionProgress(f, span));
                        },
                        [&](FrameSink &out, clsMemDC &from, const clsMemDC &to) {
                            TransitionContext c = transitionContext(out);
                            RunTransition(c, id, from, to, v2, v4);
                        });
                    if (moving) BitBlt(source.image(), 0, 0, size.width(), size.height(), composed, 0, 0);
                }
            }
            d->pollCancel();
            if (sink.stopped()) break;

            BitBlt(dst, 0, 0, size.width(), size.height(), source, 0, 0);
            put(fixedPart, 1, 1);
            put(fixedPart, 15, 1);

            if (s.enableHeadlineEffect && !pic.headline.isEmpty()) {
                if (!moving) {
                    TextEffectContext ectx{fixedPart, headlineStyle(i)};
                    RunTextEffect(ectx, pic.headDynamicStyle, dst, headlineRect(i), pic.headline, 1.0, v4);
                } else {
                    // The effect is drawn over black and over white and laid
                    // over each moving frame; what it leaves joins the texts
                    // that stay on the picture.
                    QImage headline;
                    const double from = shown;
                    shown += RenderTextOverMotion(
                        fixedPart, effectSeed, size,
                        [&](QImage &target, int64_t f) { moving->drawFrame(target, MotionProgress(from + f, span)); },
                        [&](FrameSink &effectSink, clsMemDC &surface) {
                            TextEffectContext ectx{effectSink, headlineStyle(i)};
                            RunTextEffect(ectx, pic.headDynamicStyle, surface, headlineRect(i), pic.headline, 1.0, v4);
                        },
                        &headline);
                    QImage overlay = moving->overlay().isNull() ? QImage() : moving->overlay().copy();
                    if (overlay.isNull()) {
                        overlay = QImage(size, QImage::Format_ARGB32_Premultiplied);
                        overlay.fill(Qt::transparent);
                    }
                    QPainter painter(&overlay);
                    painter.drawImage(0, 0, headline);
                    painter.end();
                    moving->setOverlay(std::move(overlay));
                }
            }
            put(fixedPart, 14, 1);

            const double elapsed = (sink.FrameCounter() - slideStart) / fps;
            ++slidesShown;

            // Once the hold is known, so is how much the show has still to
            // write at least, and at its last slide exactly how long it is.
            auto announce = [&](int64_t holdFrames, double r, bool stopsAfter) {
                int64_t total = sink.FrameCounter() + holdFrames;
                sink.expectAtLeast(total);
                if (!stopsAfter && !last) {
                    // The next slide's transition is the end of this one's span;
                    // a fixed second follows it.
                    if (span > 0) sink.expectAtLeast(slideStart + thirtiethsLeast(span + 30));
                    else sink.expectAtLeast(total + RateSink::outputFrames(30, fpsRate));
                    return;
                }
                if (r > 0 && remainder + (r - std::floor(r)) >= 1) total += 1;
                total = boundaryTarget(total);
                if (last) total += RateSink::outputFrames(1, fpsRate);
                // The ending title's first picture alone stays a second.
                if (ending) sink.expectAtLeast(total + RateSink::outputFrames(30, fpsRate));
                else sink.expectEnd(total);
            };
            double r = 0;
            if (!lyricsOn) {
                r = (T - elapsed) * fps;
                const int64_t hold = r >= 1 ? IntPart(r) : 0;
                announce(hold, r,
                         holdStop(slidesShown, sink.FrameCounter() + hold) && !project.songs.empty() && !s.muteSound);
                if (r >= 1) put(sink, IntPart(r), holdStep);
                if (holdStop(slidesShown, sink.FrameCounter()) && !project.songs.empty() && !s.muteSound) stop = true;
            } else {
                // The hold is measured in steps of 2 frames (moving lyrics) or
                // 3 (still ones), and the music-end test is made after each
                // step; the lyric sink redraws the lyric wherever it changes.
                const bool moving = s.lyricStyle == 2 || s.lyricStyle == 3;
                const int step = moving ? 2 : 3;
                r = (T - elapsed) * (moving ? fps / 2 : fps / 3);
                const int64_t steps = std::max<int64_t>(0, IntPart(r));
                const int64_t from = sink.FrameCounter();
                int64_t held = steps;
                if (steps > 0 && holdStop(slidesShown, from + steps * step)) {
                    // The first step after which the music has ended.
                    held = std::clamp<int64_t>(int64_t(std::ceil((sound.SoundtrackLength * fps - from) / step)), 1, steps);
                    while (held > 1 && holdStop(slidesShown, from + (held - 1) * step)) --held;
                    while (held < steps && !holdStop(slidesShown, from + held * step)) ++held;
                    stop = true;
                }
                announce(held * step, r, stop);
                if (held > 0) put(sink, int(held * step), holdStep);
            }
            if (r > 0) {
                remainder += r - std::floor(r);
                if (remainder >= 1) {
                    remainder -= 1;
                    put(sink, 1, holdStep);
                }
            }

            if (sound.SongCount >= 1 && !sound.syncOn) {
                const double dd = (sink.FrameCounter() - musicStart) / fps - nextBoundary;
                if (dd > -0.5) {
                    const int64_t target = boundaryTarget(sink.FrameCounter());
                    if (songIndex < sound.SongCount && songIndex < int(sound.SongDurations.size())) {
                        nextBoundary += sound.SongDurations[size_t(songIndex)];
                        ++songIndex;
                    }
                    if (dd < 0) sink.setFrameCounter(target);
                    else if (dd > 0 && dd < 0.5) carry = dd;
                }
            }

            if (transitionsOn && ++k == P.size()) {
                P = nextP.empty() ? ShuffledRange(0, int(d->settings.SelectedTransitions.size()) - 1) : std::move(nextP);
                nextP.clear();
                k = 0;
            }

            const int percent = int(float(slidesShown) / float(totalSlides) * 100.0f);
            if (percent >= lastReported + 1) {
                lastReported = percent;
                d->control.report(std::min(100, percent), QStringLiteral("步骤4/5：编码视频"));
            }
            if (slidesShown - N * sound.SlidePassCount - sound.ExtraSlideCount >= 0) {
                {
                    RateSink last(sink, fpsRate);
                    put(last, 1, 1);
                }
                stop = true;
            }
            previous = moving;
            previousShown = shown;
            previousSpan = span;
            transitionSeed = nextSeed;
            d->pollCancel();
        }
        if (next.valid()) next.wait();
    }

    d->pollCancel();
    if (ending && !sink.stopped()) {
        if (d->settings.onSlideStart) d->settings.onSlideStart(slidesShown + 1, sink.FrameCounter());
        showTitle(false);
    }

    result.cancelled = sink.cancelled();
    result.failed = sink.failed();
    result.frames = sink.FrameCounter();
    result.slidesShown = slidesShown;
    return result;
}

} // namespace pvsm
