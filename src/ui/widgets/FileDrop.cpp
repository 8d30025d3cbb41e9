#include "FileDrop.h"

#include <QAbstractItemView>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

namespace pvsm::ui {

namespace {

class FileDropFilter : public QObject
{
public:
    FileDropFilter(QObject *parent, std::function<QStringList(const QStringList &)> take,
                   std::function<void(const QStringList &)> add)
        : QObject(parent), m_take(std::move(take)), m_add(std::move(add))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::DragEnter: {
            auto *e = static_cast<QDragEnterEvent *>(event);
            m_accepting = e->mimeData()->hasUrls() && !m_take(droppedLocalPaths(e->mimeData()->urls())).isEmpty();
            if (!m_accepting) return false; // not ours: the view, then the window (a project file) may take it
            e->acceptProposedAction();
            return true;
        }
        case QEvent::DragMove: {
            auto *e = static_cast<QDragMoveEvent *>(event);
            if (!m_accepting) return false;
            e->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto *e = static_cast<QDropEvent *>(event);
            const QStringList files = e->mimeData()->hasUrls() ? m_take(droppedLocalPaths(e->mimeData()->urls())) : QStringList();
            m_accepting = false;
            if (files.isEmpty()) return false;
            e->acceptProposedAction();
            QTimer::singleShot(0, this, [this, files] { m_add(files); });
            return true;
        }
        default: return QObject::eventFilter(watched, event);
        }
    }

private:
    std::function<QStringList(const QStringList &)> m_take;
    std::function<void(const QStringList &)> m_add;
    bool m_accepting = false;
};

} // namespace

QStringList droppedLocalPaths(const QList<QUrl> &urls)
{
    QStringList paths;
    for (const QUrl &url : urls)
        if (url.isLocalFile()) paths << url.toLocalFile();
    return paths;
}

void acceptFileDrops(QAbstractItemView *view, std::function<QStringList(const QStringList &)> take,
                     std::function<void(const QStringList &)> add)
{
    view->setAcceptDrops(true);
    view->viewport()->setAcceptDrops(true);
    view->setDropIndicatorShown(false);
    view->viewport()->installEventFilter(new FileDropFilter(view, std::move(take), std::move(add)));
}

} // namespace pvsm::ui
