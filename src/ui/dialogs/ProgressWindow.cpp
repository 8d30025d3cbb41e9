#include "ProgressWindow.h"

#include <QEvent>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>

namespace pvsm::ui {

namespace {

constexpr int kButtonWidth = 56;
constexpr int kButtonHeight = 20;
constexpr int kBarLeft = 2 + kButtonWidth + 4;
// Room kept free right of the bar for the percentage, unless the caption
// says the job is waiting ("...") and there is no percentage to speak of.
constexpr int kBarRightMargin = 60;

} // namespace

ProgressWindow::ProgressWindow(QWidget *parent, bool showTips)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ProgressWindow"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_cancel = new QPushButton(QStringLiteral("取消"), this);
    m_cancel->setObjectName(QStringLiteral("CmdCancel"));
    QFont small = m_cancel->font();
    small.setPointSize(9);
    m_cancel->setFont(small);
    m_cancel->setGeometry(2, 2, kButtonWidth, kButtonHeight);
    m_cancel->setFocusPolicy(Qt::StrongFocus);
    if (showTips) m_cancel->setToolTip(QStringLiteral("取消视频文件创建过程"));
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_cancel->setEnabled(false);
        emit cancelRequested();
    });
    // Escape cancels as the button does, wherever the focus is in the window.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, m_cancel, &QPushButton::click);

    if (parent) parent->installEventFilter(this);
    place();
}

QRect ProgressWindow::placement(QSize parentSize)
{
    const int x = (parentSize.width() - kWidth) / 2;
    const int y = int(1.1 * (parentSize.height() - kHeight) / 2.0);
    return QRect(std::max(0, x), std::max(0, y), kWidth, kHeight);
}

void ProgressWindow::place()
{
    if (parentWidget())
        setGeometry(placement(parentWidget()->size()));
    else
        resize(kWidth, kHeight);
    raise();
}

bool ProgressWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize) place();
    return QWidget::eventFilter(watched, event);
}

void ProgressWindow::setProgress(int percent, const QString &caption)
{
    percent = std::clamp(percent, 0, 100);
    if (percent == m_percent && caption == m_caption) return;
    m_percent = percent;
    m_caption = caption;
    update();
}

QString ProgressWindow::progressText() const
{
    return m_caption + QLatin1Char(' ') + QString::number(m_percent) + QLatin1Char('%');
}

void ProgressWindow::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QPalette &pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Window));

    const bool waiting = m_caption.endsWith(QLatin1String("..."));
    const QRect track(kBarLeft, 3, width() - kBarLeft - 3 - (waiting ? 0 : kBarRightMargin), height() - 6);
    p.fillRect(track, pal.color(QPalette::Base));
    const QRect filled(track.left(), track.top(), track.width() * m_percent / 100, track.height());
    p.fillRect(filled, pal.color(QPalette::Highlight));

    // The text over the bar: highlighted-text colour where the bar has reached.
    const QString text = fontMetrics().elidedText(progressText(), Qt::ElideMiddle, track.width() - 8);
    p.setClipRect(track);
    p.setPen(pal.color(QPalette::Text));
    p.drawText(track, Qt::AlignCenter, text);
    p.setClipRect(filled);
    p.setPen(pal.color(QPalette::HighlightedText));
    p.drawText(track, Qt::AlignCenter, text);
    p.setClipping(false);

    // Raised border: light top and left, grey right and bottom.
    p.setPen(Qt::white);
    p.drawLine(0, 0, width() - 1, 0);
    p.drawLine(0, 0, 0, height() - 1);
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawLine(width() - 1, 0, width() - 1, height() - 1);
    p.drawLine(0, height() - 1, width() - 1, height() - 1);
}

} // namespace pvsm::ui
