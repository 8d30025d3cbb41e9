#include "PathListModel.h"

#include <QDir>
#include <QFileInfo>

namespace pvsm::ui {

void PathListModel::setPaths(const QStringList &paths)
{
    if (paths == m_paths) return;
    beginResetModel();
    m_paths = paths;
    endResetModel();
}

int PathListModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_paths.size()); }

QVariant PathListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_paths.size()) return {};
    const QString &path = m_paths[index.row()];
    switch (role) {
    case Qt::DisplayRole: return QStringLiteral("%1. %2").arg(index.row() + 1).arg(QFileInfo(path).fileName());
    case Qt::ToolTipRole: return QDir::toNativeSeparators(path);
    default: return {};
    }
}

} // namespace pvsm::ui
