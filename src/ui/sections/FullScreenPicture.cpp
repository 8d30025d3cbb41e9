#include "FullScreenPicture.h"

#include "PictureLoad.h"

#include <QPainter>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QThreadPool>

namespace pvsm::ui {

FullScreenPicture::FullScreenPicture(QWidget *parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("FrmFullScreen"));
    setAttribute(Qt::WA_DeleteOnClose);
    setCursor(Qt::BlankCursor);
}

void FullScreenPicture::show(const QString &path, QWidget *parent)
{
    auto *window = new FullScreenPicture(parent);
    const QSize screen = (parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen())->size();
    QPointer<FullScreenPicture> target(window);
    QThreadPool::globalInstance()->start([path, screen, target] {
        // Draw mode 3: fit, keeping the aspect ratio.
        QImage picture = LoadPictureForTarget(path, 3, screen);
        QMetaObject::invokeMethod(qApp, [picture = std::move(picture), target] {
            if (!target) return;
            target->m_picture = picture;
            target->update();
        }, Qt::QueuedConnection);
    });
    window->showFullScreen();
}

void FullScreenPicture::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (m_picture.isNull()) return;
    const QSize size = m_picture.size().scaled(this->size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_picture);
}

} // namespace pvsm::ui
