#pragma once

#include "FrameDisplay.h"
#include "LoadedShow.h"

#include <QImage>
#include <QMutex>
#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <memory>

class QToolButton;

namespace pvsm {

class Presenter;

// What the player's window does with the mouse, from the record's
// IgnoreMouseMove and ShowCursor and how the program was started.
struct MouseRules
{
    bool showCursor = false;      // the cursor stays as a pointer and the mouse does nothing
    bool ignoreMouseMove = false; // a moving mouse does not end a screen saver
    bool screenSaver = false;     // started as a screen saver (*.scr): mouse activity ends it
    // A full-screen screen saver ends on mouse movement or a click unless
    // the record says otherwise; every other window shows its controls.
    bool mouseEndsShow(bool fullScreen) const { return screenSaver && fullScreen && !showCursor && !ignoreMouseMove; }
    // Whether moving and clicking the mouse reach the window at all (the
    // controls, a double click): not while the cursor serves as a pointer.
    bool mouseActs() const { return !showCursor; }
};

// The window a show plays in: the presenter's pictures scaled to the window
// (keeping their shape, or filling it), the control buttons from the show's
// packed button pictures shown on mouse movement and hidden after a few
// seconds, and the keys of the player: Space pause, Left / Right previous /
// next picture, M mute, F or a double click full screen, Esc leaves full
// screen or ends the show.
class PlayerWindow : public QWidget, private FrameDisplay
{
    Q_OBJECT
public:
    // `autoStart` false leaves the presenter unmade until start(): tests
    // drive the window without a show running.
    PlayerWindow(LoadedShow &show, bool fullScreen, QWidget *parent = nullptr, bool autoStart = true);
    ~PlayerWindow() override;

    void start();
    // Shows the window as the show asks: full screen, or a window of 80 % of
    // the screen in its middle.
    void showAsAsked();

    bool isPaused() const { return m_paused; }
    bool isMuted() const { return m_muted; }
    bool isStretched() const { return m_stretch; }
    bool controlsShown() const;
    bool wantsFullScreen() const { return m_fullScreen; }
    const MouseRules &mouseRules() const { return m_mouse; }
    // How long the controls stay after the mouse last moved.
    static constexpr int kControlsHideMs = 3000;
    // The picture on screen now (null before the first).
    QImage currentFrame() const;

public slots:
    void togglePause();
    void nextSlide();
    void previousSlide();
    void nextSong();
    void toggleMute();
    void toggleFullScreen();
    void toggleStretch();
    void endShow();

signals:
    // The show ended or the user closed it.
    void finished();
    // A picture reached the window.
    void framePresented();
    // The user asked to save the show's pictures and music (E, when allowed).
    void exportRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void present(const QImage &frame, int64_t frameNumber) override;
    void buildControls();
    void placeControls();
    void refreshButtons();
    void showControls();
    void hideControls();
    void updateCursor();
    QToolButton *addButton(const QString &name, const QString &tip, void (PlayerWindow::*slot)());

    LoadedShow &m_show;
    std::unique_ptr<Presenter> m_presenter;
    MouseRules m_mouse;
    bool m_fullScreen;
    bool m_paused = false;
    bool m_muted = false;
    bool m_stretch = false;
    bool m_ended = false;
    QPoint m_lastMouse{-1, -1};
    qint64 m_startedMs = 0;
    QTimer m_hideTimer;
    QWidget *m_bar = nullptr;
    QToolButton *m_playPause = nullptr;
    QToolButton *m_mute = nullptr;
    mutable QMutex m_frameMutex;
    QImage m_frame;
    std::atomic<bool> m_repaintPosted{false};
};

} // namespace pvsm
