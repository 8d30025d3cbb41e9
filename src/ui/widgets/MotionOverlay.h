#pragma once

#include "EditingStill.h"
#include "MotionCommands.h"
#include "MotionRules.h"
#include "Project.h"

#include <QElapsedTimer>
#include <QFuture>
#include <QFutureWatcher>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

namespace pvsm::ui {

class EditingView;

// The motion mode over the editing view (`PicMotion`): the current
// picture's start and end rectangles, labelled "起点" and "终点", drawn over
// the picture where the view drew it. The mouse moves and resizes them with
// the placement rules' handles (edge zone, move threshold, minimum size);
// the arrow keys move the selected one (Shift: ten times as far), + and -
// scale it, 1 and 2 select the start or the end, the space bar plays. The
// overlay only reports a finished change (edited()); the motion comes back
// through setMotion() once it is stored. Play runs the slide's motion in
// the view: the crop of the view's picture between the two rectangles.
class MotionOverlay : public QWidget
{
    Q_OBJECT
public:
    explicit MotionOverlay(EditingView &view);

    // What is drawn and edited: the motion, the area its rectangles keep to
    // (invalid: nothing to edit, e.g. a picture that cannot be read) and the
    // slide's time in seconds for play. A drag under way is dropped.
    void setMotion(const PictureMotion &motion, const MotionArea &area, double slideSeconds);
    const PictureMotion &motion() const { return m_motion; }
    // Shown while the picture has no motion of its own (empty: none).
    void setHint(const QString &hint);
    // Asked before the mouse or a key changes anything (false while a job runs).
    void setEditAllowed(std::function<bool()> allowed) { m_allowed = std::move(allowed); }
    // Starts composing the slide for play at `size` (device pixels): the
    // picture without the caption, which stays put while the picture moves,
    // and larger than the view, so the crop stays sharp. Until it arrives,
    // play crops the view's own picture.
    void setPlayStill(std::function<QFuture<EditingStill>(QSize size)> compose) { m_compose = std::move(compose); }

    MotionEnd selected() const { return m_selected; }
    void select(MotionEnd end);
    // A rectangle as drawn, in widget pixels (empty when the motion is off).
    QRect viewRect(MotionEnd end) const;

    // Play from the start rectangle to the end one over the slide's time;
    // stops by itself at the end, on a click, Escape or togglePlay().
    void togglePlay();
    void stopPlay();
    bool playing() const { return m_playTimer.isActive(); }
    // 0 … 1 of the slide's time while playing.
    double playPosition() const;
    // The rectangle play shows now (fractions of the picture).
    QRectF playRect() const;

signals:
    // A drag ended or a key changed the selected rectangle: `rect` is its
    // new place (fractions of the picture, within the area).
    void edited(MotionEnd end, const QRectF &rect, MotionEdit edit);
    void playingChanged(bool playing);
    void selectedChanged(MotionEnd end);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    bool editable() const;
    QRectF picture() const; // where the view drew the picture, widget pixels
    QRectF rectOf(MotionEnd end) const;
    // The placement rules' minimum (view pixels) in fractions of the picture.
    QSizeF minimum() const;
    void paintRect(QPainter &p, MotionEnd end, const QRectF &fractions);
    void paintPlay(QPainter &p);
    void paintHint(QPainter &p, const QString &text);

    EditingView &m_view;
    PictureMotion m_motion;
    MotionArea m_area;
    double m_seconds = 0;
    QString m_hint;
    std::function<bool()> m_allowed;
    MotionEnd m_selected = MotionEnd::End;

    struct Drag
    {
        MotionHit hit;
        QPoint press; // widget pixels
        QPoint last;
        QRectF start; // fractions
        QRectF rect;
    };
    std::optional<Drag> m_drag;

    QTimer m_playTimer;
    QElapsedTimer m_playClock;
    std::function<QFuture<EditingStill>(QSize)> m_compose;
    QFutureWatcher<EditingStill> m_playStill;
    QImage m_playImage;   // the slide composed for play; null until it arrives
    QRect m_playPicture;  // where the picture lies in it
};

} // namespace pvsm::ui
