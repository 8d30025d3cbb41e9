#pragma once

#include "EditingStill.h"
#include "PlacementRules.h"
#include "Project.h"

#include <QFutureWatcher>
#include <QImage>
#include <QWidget>

#include <functional>
#include <optional>

namespace pvsm::ui {

// `PicDst`: the current picture as the show draws it (background, picture by
// its draw mode, caption, picture frame), at the view's size and in the editing screen's
// aspect ratio, with the current section's text and its marker over it. The
// user moves and resizes the marker with the mouse (`PicDst_MouseDown`,
// `PicDst_MouseMove`, `PicDst_MouseUp`) or moves it with the arrow keys; the
// view only reports where it went (placed(), nudged()), the window stores it.
// Pictures are composed on the thread pool; the window thread only paints
// finished images, so a large photo never holds the window up.
class EditingView : public QWidget
{
    Q_OBJECT
public:
    explicit EditingView(QWidget *parent = nullptr);

    // Draws picture `index` (0-based; -1 for none: the background alone) of a
    // copy of `project`, whose positions are pixels of `editingScreen`, with
    // the picture frame `frame` (PNG bytes; empty: none) and `text` over it.
    void showPicture(const Project &project, int index, QSize editingScreen,
                     EditingText text = EditingText::Slide, const QByteArray &frame = {});
    // The marker in stored screen pixels; none hides it.
    void setMarker(std::optional<TextBox> box);
    std::optional<TextBox> marker() const { return m_marker; }
    // What the marker places. For Picture the marker is the rectangle the
    // picture was drawn in (setMarker() is not used); Lyric keeps its height.
    void setPlacementTarget(PlacementTarget target);
    PlacementTarget placementTarget() const { return m_target; }
    // Asked before the mouse or a key acts: false while nothing may change
    // (no picture, a job running).
    void setPlacementAllowed(std::function<bool()> allowed) { m_allowed = std::move(allowed); }
    // The marker as drawn, in widget pixels (empty when none is shown).
    QRect markerRect() const;
    // The rectangle the picture fills in the widget.
    QRect pictureRect() const;
    // Draws again from the project last shown (after a theme change).
    void redraw();
    // The picture on screen and where the slide's picture lies in it (its
    // pixels; empty when no picture was drawn), for the motion mode's play.
    const QImage &composedImage() const { return m_image; }
    QRect composedPictureRect() const { return m_drawnPicture; }
    // The same picture rectangle in widget pixels (empty when none).
    QRectF drawnPictureRect() const;

    // True from a request until its picture is on screen.
    bool composing() const { return m_pending; }

    // The live effect preview: its pictures take the composed one's place,
    // without a marker and without placing, until endPreview() (requests
    // made meanwhile are composed and shown then).
    void showPreviewFrame(const QImage &frame);
    void endPreview();
    bool previewing() const { return m_previewing; }
    QSize minimumSizeHint() const override { return {320, 180}; }
    QSize sizeHint() const override { return {800, 450}; }

signals:
    // A composed picture was put on screen.
    void pictureShown();
    // A drag of the marker ended at `rect`: pixels of the picture area
    // (pictureRect()'s top-left is 0, 0), before release clamping.
    void placed(PlacementTarget target, const QRect &rect);
    // An arrow key moved the marker by `direction` times `step` stored pixels.
    void nudged(PlacementTarget target, QPoint direction, int step);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void compose();
    bool placing() const;
    // The marker in pixels of the picture area.
    QRect areaMarker() const;
    PlacementHit hitAt(QPoint areaPoint) const;

    Project m_project;
    int m_index = -1;
    QSize m_screen{1920, 1080};
    EditingText m_text = EditingText::Slide;
    QByteArray m_frame;
    bool m_composedOnce = false; // m_project, m_index, m_screen, m_text and m_frame were composed

    std::optional<TextBox> m_marker;
    PlacementTarget m_target = PlacementTarget::None;
    std::function<bool()> m_allowed;

    // The drag under way; its rectangle replaces the marker until release.
    struct Drag
    {
        PlacementHit hit;
        QPoint press;     // where the button went down, picture-area pixels
        QPoint last;      // the last mouse position acted on
        QRect start;      // the marker at the press
        QRect rect;       // the marker now
    };
    std::optional<Drag> m_drag;

    QImage m_image;
    QImage m_previewFrame;
    bool m_previewing = false;
    QRect m_drawnPicture; // where the picture lies in m_image (device pixels)
    QFutureWatcher<EditingStill> m_watcher;
    bool m_again = false;   // a request arrived while composing
    bool m_pending = false; // a composition is running or its result not yet shown
};

// Runs the event loop until `view` has its picture on screen, at most
// `timeoutMs` (tools and tests that grab it). False on timeout.
bool waitForComposition(EditingView &view, int timeoutMs);

} // namespace pvsm::ui
