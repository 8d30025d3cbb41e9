#pragma once

#include <QAbstractListModel>

namespace pvsm::ui {

class EditorContext;

// The project's pictures as a list: file name shown, full path as tool-tip.
// It reads the project on every call and is reset on projectChanged(), so it
// never holds a copy that could drift from the project.
class PictureListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit PictureListModel(EditorContext &context, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    EditorContext &m_context;
};

} // namespace pvsm::ui
