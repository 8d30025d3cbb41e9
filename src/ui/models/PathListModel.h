#pragma once

#include <QAbstractListModel>
#include <QStringList>

namespace pvsm::ui {

// A read-only list of file paths: the file name shown, the full path as the
// tool-tip. The views over the project's lists set it again after each change.
class PathListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    // Resets the model only when the list really changed, so that a view keeps
    // its scroll position over edits that leave the list alone.
    void setPaths(const QStringList &paths);
    const QStringList &paths() const { return m_paths; }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    QStringList m_paths;
};

} // namespace pvsm::ui
