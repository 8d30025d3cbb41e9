#include "PlayerWindow.h"

#include "Presenter.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QToolButton>

namespace pvsm {

namespace {

// A screen saver does not end on the jitter of a mouse that is only touched,
// nor on the events a window gets while it appears.
constexpr int kMouseJitterPx = 10;
constexpr qint64 kMouseGraceMs = 1000;
constexpr int kButtonEdge = 40;

QSize screenSize(const QWidget *w)
{
    if (const QScreen *s = w->screen()) return s->size();
    if (const QScreen *s = QGuiApplication::primaryScreen()) return s->size();
    return {1920, 1080};
}

// The stand-in for a button picture the show does not carry.
QIcon fallbackIcon(const QString &name, const QStyle *style)
{
    static const std::map<QString, QStyle::StandardPixmap> icons = {
        {QStringLiteral("btn_prev"), QStyle::SP_MediaSkipBackward},
        {QStringLiteral("btn_play"), QStyle::SP_MediaPlay},
        {QStringLiteral("btn_pause"), QStyle::SP_MediaPause},
        {QStringLiteral("btn_next"), QStyle::SP_MediaSkipForward},
        {QStringLiteral("btn_music_next"), QStyle::SP_MediaSeekForward},
        {QStringLiteral("btn_mute_off"), QStyle::SP_MediaVolume},
        {QStringLiteral("btn_mute_on"), QStyle::SP_MediaVolumeMuted},
        {QStringLiteral("btn_size"), QStyle::SP_TitleBarMaxButton},
        {QStringLiteral("btn_scale"), QStyle::SP_TitleBarNormalButton},
        {QStringLiteral("btn_min"), QStyle::SP_TitleBarMinButton},
        {QStringLiteral("btn_close"), QStyle::SP_TitleBarCloseButton},
    };
    const auto it = icons.find(name);
    return it == icons.end() ? QIcon() : style->standardIcon(it->second);
}

} // namespace

PlayerWindow::PlayerWindow(LoadedShow &show, bool fullScreen, QWidget *parent, bool autoStart)
    : QWidget(parent)
    , m_show(show)
    , m_fullScreen(fullScreen)
{
    const Settings &s = show.project.settings;
    m_mouse.showCursor = s.showCursor;
    m_mouse.ignoreMouseMove = s.ignoreMouseMove;
    m_mouse.screenSaver = show.sourcePath.endsWith(QStringLiteral(".scr"), Qt::CaseInsensitive);
    m_muted = s.muteSound;
    setWindowTitle(s.txtSetting[0].isEmpty() ? QStringLiteral("图片幻灯") : s.txtSetting[0]);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(320, 200);
    buildControls();
    m_hideTimer.setSingleShot(true);
    m_hideTimer.setInterval(kControlsHideMs);
    connect(&m_hideTimer, &QTimer::timeout, this, &PlayerWindow::hideControls);
    m_startedMs = QDateTime::currentMSecsSinceEpoch();
    updateCursor();
    if (autoStart) start();
}

PlayerWindow::~PlayerWindow()
{
    // The presenter's thread calls into this window; it must be gone first.
    m_presenter.reset();
}

void PlayerWindow::start()
{
    PresenterOptions options;
    const QSize screen = screenSize(this);
    // Composed once at the size of the screen, so that leaving or entering
    // full screen only scales the pictures.
    options.outputSize = screen;
    options.editingScreen = m_show.editingScreen;
    options.pictureFrame = m_show.pictureFrame;
    options.audio = !m_show.project.settings.muteSound;
    m_presenter = std::make_unique<Presenter>(m_show.project, options, static_cast<FrameDisplay &>(*this));
    m_presenter->onFinished = [this] { QMetaObject::invokeMethod(this, &PlayerWindow::endShow, Qt::QueuedConnection); };
    m_presenter->start();
    if (m_muted) m_presenter->setMuted(true);
}

void PlayerWindow::showAsAsked()
{
    if (m_fullScreen) {
        // Without a window manager the full-screen state is only a wish; the
        // geometry makes it true there too.
        setGeometry(screen() ? screen()->geometry() : QRect(QPoint(0, 0), screenSize(this)));
        showFullScreen();
    } else {
        const QRect area = screen() ? screen()->availableGeometry() : QRect(QPoint(0, 0), screenSize(this));
        const QSize size = area.size() * 0.8;
        setGeometry(QRect(
            area.topLeft() + QPoint((area.width() - size.width()) / 2, (area.height() - size.height()) / 2), size));
        showNormal();
    }
    activateWindow();
    setFocus();
}

bool PlayerWindow::controlsShown() const
{
    return m_bar && m_bar->isVisible();
}

QImage PlayerWindow::currentFrame() const
{
    QMutexLocker lock(&m_frameMutex);
    return m_frame;
}

void PlayerWindow::present(const QImage &frame, int64_t)
{
    // On the presenter's thread: keep a copy and let the window paint it.
    {
        QMutexLocker lock(&m_frameMutex);
        m_frame = frame.copy();
    }
    // One repaint waits at a time: a window that falls behind paints the
    // newest picture instead of a queue of old ones.
    if (m_repaintPosted.exchange(true)) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_repaintPosted.store(false);
            update();
            emit framePresented();
        },
        Qt::QueuedConnection);
}

void PlayerWindow::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    QMutexLocker lock(&m_frameMutex);
    if (m_frame.isNull()) return;
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (m_stretch) {
        p.drawImage(rect(), m_frame);
        return;
    }
    const QSize fitted = m_frame.size().scaled(size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
    p.drawImage(target, m_frame);
}

QToolButton *PlayerWindow::addButton(const QString &name, const QString &tip, void (PlayerWindow::*slot)())
{
    auto *b = new QToolButton(m_bar);
    b->setObjectName(name);
    b->setToolTip(tip);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setIconSize(QSize(kButtonEdge, kButtonEdge));
    b->setCursor(Qt::PointingHandCursor);
    connect(b, &QToolButton::clicked, this, slot);
    m_bar->layout()->addWidget(b);
    return b;
}

void PlayerWindow::buildControls()
{
    m_bar = new QWidget(this);
    m_bar->setObjectName(QStringLiteral("controls"));
    m_bar->setAutoFillBackground(true);
    QPalette pal = m_bar->palette();
    pal.setColor(QPalette::Window, QColor(20, 20, 20, 200));
    pal.setColor(QPalette::ToolTipText, Qt::black);
    m_bar->setPalette(pal);
    auto *row = new QHBoxLayout(m_bar);
    row->setContentsMargins(8, 4, 8, 4);
    row->setSpacing(4);
    addButton(QStringLiteral("btn_prev"), QStringLiteral("上一张 (←)"), &PlayerWindow::previousSlide);
    m_playPause = addButton(QStringLiteral("btn_pause"), QStringLiteral("暂停 (空格)"), &PlayerWindow::togglePause);
    addButton(QStringLiteral("btn_next"), QStringLiteral("下一张 (→)"), &PlayerWindow::nextSlide);
    addButton(QStringLiteral("btn_music_next"), QStringLiteral("下一首"), &PlayerWindow::nextSong);
    m_mute = addButton(QStringLiteral("btn_mute_off"), QStringLiteral("静音 (M)"), &PlayerWindow::toggleMute);
    addButton(QStringLiteral("btn_size"), QStringLiteral("窗口大小 (F)"), &PlayerWindow::toggleFullScreen);
    addButton(QStringLiteral("btn_scale"), QStringLiteral("缩放"), &PlayerWindow::toggleStretch);
    addButton(QStringLiteral("btn_min"), QStringLiteral("最小化"), &PlayerWindow::showMinimized);
    addButton(QStringLiteral("btn_close"), QStringLiteral("关闭 (Esc)"), &PlayerWindow::endShow);
    refreshButtons();
    m_bar->hide();
}

void PlayerWindow::refreshButtons()
{
    auto iconOf = [&](const QString &name) {
        const auto it = m_show.buttons.find(name);
        if (it != m_show.buttons.end()) return QIcon(QPixmap::fromImage(it->second));
        return fallbackIcon(name, style());
    };
    for (QToolButton *b : m_bar->findChildren<QToolButton *>()) {
        if (b == m_playPause || b == m_mute) continue;
        b->setIcon(iconOf(b->objectName()));
    }
    // Each toggle shows what a click will do.
    m_playPause->setIcon(iconOf(m_paused ? QStringLiteral("btn_play") : QStringLiteral("btn_pause")));
    m_playPause->setToolTip(m_paused ? QStringLiteral("播放 (空格)") : QStringLiteral("暂停 (空格)"));
    m_mute->setIcon(iconOf(m_muted ? QStringLiteral("btn_mute_on") : QStringLiteral("btn_mute_off")));
    m_mute->setToolTip(m_muted ? QStringLiteral("打开声音 (M)") : QStringLiteral("静音 (M)"));
}

void PlayerWindow::placeControls()
{
    m_bar->adjustSize();
    const QSize s = m_bar->sizeHint();
    m_bar->setGeometry((width() - s.width()) / 2, height() - s.height() - 24, s.width(), s.height());
}

void PlayerWindow::showControls()
{
    placeControls();
    m_bar->show();
    m_bar->raise();
    m_hideTimer.start();
    updateCursor();
}

void PlayerWindow::hideControls()
{
    // The bar stays while the mouse rests on it.
    if (m_bar->isVisible() && m_bar->underMouse()) {
        m_hideTimer.start();
        return;
    }
    m_bar->hide();
    updateCursor();
}

void PlayerWindow::updateCursor()
{
    const bool visible = m_mouse.showCursor || (!isFullScreen() && !m_fullScreen) || controlsShown();
    setCursor(visible ? Qt::ArrowCursor : Qt::BlankCursor);
}

void PlayerWindow::togglePause()
{
    m_paused = !m_paused;
    if (m_presenter) m_presenter->setPaused(m_paused);
    refreshButtons();
}

void PlayerWindow::nextSlide()
{
    if (m_presenter) m_presenter->nextSlide();
}

void PlayerWindow::previousSlide()
{
    if (m_presenter) m_presenter->previousSlide();
}

void PlayerWindow::nextSong()
{
    if (m_presenter) m_presenter->nextSong();
}

void PlayerWindow::toggleMute()
{
    m_muted = !m_muted;
    if (m_presenter) m_presenter->setMuted(m_muted);
    refreshButtons();
}

void PlayerWindow::toggleFullScreen()
{
    m_fullScreen = !m_fullScreen;
    showAsAsked();
    updateCursor();
}

void PlayerWindow::toggleStretch()
{
    m_stretch = !m_stretch;
    update();
}

void PlayerWindow::endShow()
{
    if (m_ended) return;
    m_ended = true;
    if (m_presenter) m_presenter->stop();
    emit finished();
    close();
}

void PlayerWindow::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space:
        togglePause();
        break;
    case Qt::Key_Left:
        previousSlide();
        break;
    case Qt::Key_Right:
        nextSlide();
        break;
    case Qt::Key_M:
        toggleMute();
        break;
    case Qt::Key_F:
        toggleFullScreen();
        break;
    case Qt::Key_E:
        if (!m_show.enableExport) return QWidget::keyPressEvent(event);
        emit exportRequested();
        break;
    case Qt::Key_Escape:
        if (m_fullScreen)
            toggleFullScreen();
        else
            endShow();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void PlayerWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_mouse.mouseActs()) return;
    const QPoint at = event->position().toPoint();
    if (m_mouse.mouseEndsShow(m_fullScreen)) {
        if (QDateTime::currentMSecsSinceEpoch() - m_startedMs < kMouseGraceMs || m_lastMouse == QPoint(-1, -1)) {
            m_lastMouse = at;
            return;
        }
        if ((at - m_lastMouse).manhattanLength() > kMouseJitterPx) endShow();
        return;
    }
    m_lastMouse = at;
    showControls();
}

void PlayerWindow::mousePressEvent(QMouseEvent *event)
{
    if (m_mouse.mouseEndsShow(m_fullScreen) && QDateTime::currentMSecsSinceEpoch() - m_startedMs >= kMouseGraceMs) {
        endShow();
        return;
    }
    QWidget::mousePressEvent(event);
}

void PlayerWindow::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_mouse.mouseActs() && !m_mouse.mouseEndsShow(m_fullScreen))
        toggleFullScreen();
}

void PlayerWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (controlsShown()) placeControls();
}

void PlayerWindow::closeEvent(QCloseEvent *event)
{
    if (!m_ended) {
        m_ended = true;
        if (m_presenter) m_presenter->stop();
        emit finished();
    }
    event->accept();
}

} // namespace pvsm
