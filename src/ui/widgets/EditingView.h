#pragma once

#include "Project.h"

#include <QFutureWatcher>
#include <QImage>
#include <QWidget>

#include <optional>

namespace pvsm::ui {

// `PicDst`: the current picture as the show draws it (background, picture by
// its draw mode, caption, picture frame), at the view's size and in the editing screen's
// aspect ratio, with the current section's marker over it. Pictures are
// composed on the thread pool; the window thread only paints finished images,
// so a large photo never holds the window up.
class EditingView : public QWidget
{
    Q_OBJECT
public:
    explicit EditingView(QWidget *parent = nullptr);

    // Draws picture `index` (0-based; -1 for none: the background alone) of a
    // copy of `project`, whose positions are pixels of `editingScreen`, with
    // the picture frame `frame` (PNG bytes; empty: none) over it.
    void showPicture(const Project &project, int index, QSize editingScreen, const QByteArray &frame = {});
    // The marker in stored screen pixels; none hides it.
    void setMarker(std::optional<TextBox> box);
    std::optional<TextBox> marker() const { return m_marker; }
    // The marker as drawn, in view pixels (empty when none is shown).
    QRect markerRect() const;
    // The rectangle the picture fills in the widget.
    QRect pictureRect() const;
    // Draws again from the project last shown (after a theme change).
    void redraw();

    // True from a request until its picture is on screen.
    bool composing() const { return m_pending; }
    QSize minimumSizeHint() const override { return {320, 180}; }
    QSize sizeHint() const override { return {800, 450}; }

signals:
    // A composed picture was put on screen.
    void pictureShown();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void compose();

    Project m_project;
    int m_index = -1;
    QSize m_screen{1920, 1080};
    QByteArray m_frame;
    bool m_composedOnce = false; // m_project, m_index and m_screen were composed

    std::optional<TextBox> m_marker;
    QImage m_image;
    QFutureWatcher<QImage> m_watcher;
    bool m_again = false;   // a request arrived while composing
    bool m_pending = false; // a composition is running or its result not yet shown
};

} // namespace pvsm::ui
