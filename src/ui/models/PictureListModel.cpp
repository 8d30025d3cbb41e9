#include "PictureListModel.h"

#include "EditorContext.h"
#include "Project.h"

#include <QFileInfo>

namespace pvsm::ui {

PictureListModel::PictureListModel(EditorContext &context, QObject *parent)
    : QAbstractListModel(parent)
    , m_context(context)
{
    connect(&context, &EditorContext::projectChanged, this, [this] {
        beginResetModel();
        endResetModel();
    });
}

int PictureListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_context.project().pictures.size());
}

QVariant PictureListModel::data(const QModelIndex &index, int role) const
{
    const auto &pictures = m_context.project().pictures;
    if (!index.isValid() || index.row() >= int(pictures.size())) return {};
    const QString &path = pictures[size_t(index.row())].path;
    switch (role) {
    case Qt::DisplayRole:
        return QStringLiteral("%1. %2").arg(index.row() + 1).arg(QFileInfo(path).fileName());
    case Qt::ToolTipRole:
        return path;
    default:
        return {};
    }
}

} // namespace pvsm::ui
