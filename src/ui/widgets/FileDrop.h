#pragma once

#include <QList>
#include <QStringList>
#include <QUrl>

#include <functional>

class QAbstractItemView;

namespace pvsm::ui {

// Lets a list take files dropped from the file manager. `take` turns the
// dropped local paths into the files to add (empty: the drop is refused, and
// the pointer says so while it hovers); `add` gets them after the drop has
// returned, so that its messages do not hold the file manager's drag.
void acceptFileDrops(QAbstractItemView *view, std::function<QStringList(const QStringList &paths)> take,
                     std::function<void(const QStringList &files)> add);

// The local files of a drop's URLs, in the order dropped.
QStringList droppedLocalPaths(const QList<QUrl> &urls);

} // namespace pvsm::ui
