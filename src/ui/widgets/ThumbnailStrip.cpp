#include "ThumbnailStrip.h"

#include "EditorContext.h"
#include "PictureStrip.h"
#include "Project.h"
#include "ThumbnailCache.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <functional>

namespace pvsm::ui {

namespace {

constexpr int kFrame = 3; // the selection frame's width around a cell's picture

} // namespace

// One cell: the thumbnail centred, the selection frame around it, a
// placeholder for a picture that cannot be shown.
class ThumbnailCell : public QWidget
{
public:
    ThumbnailCell(int cell, QWidget *parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("PicList_%1").arg(cell));
        setFixedSize(ThumbnailStrip::cellSize() + QSize(2 * kFrame, 2 * kFrame));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    void setPicture(int index, const QString &path, const ThumbnailCache::Thumbnail &thumbnail, bool selected)
    {
        m_index = index;
        m_state = thumbnail.state;
        m_image = thumbnail.image;
        m_selected = selected;
        QString tip;
        if (index >= 0) {
            tip = QStringLiteral("%1. %2").arg(index + 1).arg(QDir::toNativeSeparators(path));
            if (m_state == ThumbnailCache::State::Unavailable)
                tip += QLatin1Char('\n') + QStringLiteral("图片文件不存在或无法读取");
        }
        setToolTip(tip);
        setAccessibleName(index >= 0 ? QStringLiteral("图片 %1").arg(index + 1) : QString());
        update();
    }

    int index() const { return m_index; }
    bool waiting() const { return m_index >= 0 && m_state == ThumbnailCache::State::Pending; }
    bool selected() const { return m_selected; }
    bool placeholder() const { return m_index >= 0 && m_state == ThumbnailCache::State::Unavailable; }

    std::function<void(int index)> clicked;
    bool focused = false;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().window());
        const QRect inner = rect().adjusted(kFrame, kFrame, -kFrame, -kFrame);
        p.fillRect(inner, m_index >= 0 ? palette().base() : palette().window());
        if (m_index >= 0 && m_state == ThumbnailCache::State::Ready) {
            const QSize size = m_image.size().scaled(inner.size(), Qt::KeepAspectRatio);
            QRect target(QPoint(), size);
            target.moveCenter(inner.center());
            if (size == m_image.size())
                p.drawImage(target.topLeft(), m_image);
            else
                p.drawImage(target, m_image);
        } else if (placeholder()) {
            drawPlaceholder(p, inner);
        }
        p.setPen(palette().color(QPalette::Mid));
        p.drawRect(inner.adjusted(-1, -1, 0, 0));
        if (m_selected) {
            // The four lines around the selected picture.
            QPen pen(palette().color(focused ? QPalette::Highlight : QPalette::Dark), kFrame);
            pen.setJoinStyle(Qt::MiterJoin);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRectF(rect()).adjusted(kFrame / 2.0, kFrame / 2.0, -kFrame / 2.0, -kFrame / 2.0));
        }
    }

    void mousePressEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton && m_index >= 0 && clicked) clicked(m_index);
        QWidget::mousePressEvent(event);
    }

private:
    // A picture frame with a slash through it: the file is gone or unreadable.
    void drawPlaceholder(QPainter &p, const QRect &inner)
    {
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        const QColor ink = palette().color(QPalette::PlaceholderText);
        p.setPen(QPen(ink, 2));
        const int side = std::min(inner.width(), inner.height()) / 2;
        QRect box(0, 0, side * 4 / 3, side);
        box.moveCenter(inner.center());
        p.drawRect(box);
        const QPoint a = box.bottomLeft(), b = box.topRight();
        p.drawPolyline(QPolygon({a + QPoint(side / 6, -side / 6), QPoint(box.left() + box.width() * 2 / 5, box.top() + side / 2),
                                 QPoint(box.left() + box.width() * 3 / 5, box.bottom() - side / 4),
                                 QPoint(box.right() - side / 6, box.top() + side / 3)}));
        p.setPen(QPen(palette().color(QPalette::Dark), 2));
        p.drawLine(a + QPoint(-side / 4, side / 4), b + QPoint(side / 4, -side / 4));
        p.restore();
    }

    int m_index = -1;
    ThumbnailCache::State m_state = ThumbnailCache::State::Pending;
    QImage m_image;
    bool m_selected = false;
};

QSize ThumbnailStrip::cellSize() { return {96, 72}; }

ThumbnailStrip::ThumbnailStrip(EditorContext &context, ThumbnailCache &cache, QWidget *parent)
    : QWidget(parent), m_context(context), m_cache(cache)
{
    setObjectName(QStringLiteral("PicStrip"));
    setFocusPolicy(Qt::StrongFocus);
    setToolTip(QStringLiteral("单击选择图片；Page Up / Page Down 前后翻七张"));
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(0);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(kStripCells + 1, 1);
    for (int k = 0; k < kStripCells; ++k) {
        auto *cell = new ThumbnailCell(k, this);
        cell->clicked = [this](int index) {
            setFocus(Qt::MouseFocusReason);
            select(index);
        };
        auto *number = new QLabel(this);
        number->setObjectName(QStringLiteral("LblNum_%1").arg(k));
        number->setAlignment(Qt::AlignCenter);
        grid->addWidget(cell, 0, k + 1);
        grid->addWidget(number, 1, k + 1);
        m_cells[size_t(k)] = cell;
        m_numbers[size_t(k)] = number;
    }
    m_scroll = new QScrollBar(Qt::Horizontal, this);
    m_scroll->setObjectName(QStringLiteral("HScrollPicList"));
    m_scroll->setRange(kStripScrollMinimum, stripScrollMaximum(0));
    m_scroll->setPageStep(kStripCells);
    m_scroll->setFocusPolicy(Qt::NoFocus);
    grid->addWidget(m_scroll, 2, 1, 1, kStripCells);
    connect(m_scroll, &QScrollBar::valueChanged, this, &ThumbnailStrip::showCells);

    connect(&context, &EditorContext::projectChanged, this, &ThumbnailStrip::onProjectChanged);
    connect(&context, &EditorContext::currentPictureChanged, this, &ThumbnailStrip::onCurrentChanged);
    // Thumbnails arrive on the workers; the cells are drawn again once per
    // batch, on the window thread.
    m_cache.setListener([this](const QString &) {
        if (!m_arrivalPosted.exchange(true))
            QMetaObject::invokeMethod(this, &ThumbnailStrip::thumbnailsArrived, Qt::QueuedConnection);
    });
    onProjectChanged();
}

ThumbnailStrip::~ThumbnailStrip() { m_cache.setListener({}); }

int ThumbnailStrip::pictureInCell(int cell) const
{
    return cell >= 0 && cell < kStripCells ? m_cells[size_t(cell)]->index() : -1;
}

int ThumbnailStrip::cellsWaiting() const
{
    return int(std::count_if(m_cells.begin(), m_cells.end(), [](const ThumbnailCell *c) { return c->waiting(); }));
}

void ThumbnailStrip::onProjectChanged()
{
    QStringList paths;
    for (const Picture &p : m_context.project().pictures) paths << p.path;
    const int count = int(paths.size());
    if (paths != m_paths) {
        m_paths = paths;
        // Every picture's thumbnail is made, the shown ones first (they ask in showCells).
        m_cache.prefetch(m_paths, cellSize());
    }
    const QSignalBlocker quiet(m_scroll);
    m_scroll->setRange(kStripScrollMinimum, stripScrollMaximum(count));
    m_scroll->setValue(stripValueShowing(m_scroll->value(), m_context.currentPicture(), count));
    showCells();
}

void ThumbnailStrip::onCurrentChanged(int index)
{
    const QSignalBlocker quiet(m_scroll);
    m_scroll->setValue(stripValueShowing(m_scroll->value(), index, int(m_paths.size())));
    showCells();
}

void ThumbnailStrip::showCells()
{
    const int count = int(m_paths.size());
    const int value = m_scroll->value();
    const int current = m_context.currentPicture();
    for (int k = 0; k < kStripCells; ++k) {
        const int index = stripPictureAt(value, k, count);
        ThumbnailCell *cell = m_cells[size_t(k)];
        if (index < 0) {
            cell->setPicture(-1, {}, {}, false);
            m_numbers[size_t(k)]->clear();
            continue;
        }
        const QString &path = m_paths[index];
        cell->setPicture(index, path, m_cache.get(path, cellSize()), index == current);
        m_numbers[size_t(k)]->setNum(index + 1);
    }
}

void ThumbnailStrip::thumbnailsArrived()
{
    m_arrivalPosted = false;
    if (cellsWaiting() > 0) showCells();
}

void ThumbnailStrip::select(int index)
{
    if (index >= 0 && index < int(m_paths.size())) m_context.choosePictureAlone(index);
}

void ThumbnailStrip::keyPressEvent(QKeyEvent *event)
{
    const int count = int(m_paths.size());
    const int current = m_context.currentPicture();
    switch (event->key()) {
    case Qt::Key_PageUp: select(stripPageTarget(current, -1, count)); break;
    case Qt::Key_PageDown: select(stripPageTarget(current, +1, count)); break;
    case Qt::Key_Left: select(std::max(current - 1, 0)); break;
    case Qt::Key_Right: select(std::min(current + 1, count - 1)); break;
    case Qt::Key_Home: select(0); break;
    case Qt::Key_End: select(count - 1); break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

void ThumbnailStrip::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    for (ThumbnailCell *c : m_cells) {
        c->focused = true;
        c->update();
    }
}

void ThumbnailStrip::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    for (ThumbnailCell *c : m_cells) {
        c->focused = false;
        c->update();
    }
}

} // namespace pvsm::ui
