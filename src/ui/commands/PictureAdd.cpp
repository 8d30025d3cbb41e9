#include "PictureAdd.h"

#include "EditorContext.h"
#include "PictureLoad.h"
#include "ProjectSession.h"

#include <QApplication>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QHash>
#include <QSet>
#include <QtConcurrent/QtConcurrentMap>

namespace pvsm::ui {

namespace {

// Up to this many files take less than a frame to check on the window thread.
constexpr qsizetype kCheckedAtOnce = 16;

QHash<QString, QString> checkPictures(EditorContext &context, const QStringList &paths)
{
    auto check = [](const QString &path) { return pictureProblemTextZh(CheckPictureFile(path)); };
    QHash<QString, QString> reasons;
    if (paths.size() <= kCheckedAtOnce) {
        for (const QString &path : paths) reasons.insert(path, check(path));
        return reasons;
    }
    ProjectSession &session = context.session();
    const bool wasBusy = session.busy();
    session.setBusy(true);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    QFutureWatcher<QString> watcher;
    QEventLoop loop;
    QObject::connect(&watcher, &QFutureWatcher<QString>::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(QtConcurrent::mapped(paths, check));
    if (!watcher.isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
    const QList<QString> found = watcher.future().results();
    QApplication::restoreOverrideCursor();
    session.setBusy(wasBusy);
    for (qsizetype k = 0; k < paths.size() && k < found.size(); ++k) reasons.insert(paths[k], found[k]);
    return reasons;
}

} // namespace

std::unique_ptr<AppendPicturesCommand> planPictureAdd(EditorContext &context, const QStringList &paths,
                                                      AddPicturesResult *result)
{
    // Only files the add may take are opened: not the listed ones, not other extensions.
    QSet<QString> seen;
    for (const Picture &p : context.project().pictures) seen.insert(p.path);
    QStringList candidates;
    for (const QString &path : paths) {
        if (seen.contains(path) || !hasSupportedPictureExtension(path)) continue;
        seen.insert(path);
        candidates << path;
    }
    const QHash<QString, QString> reasons = checkPictures(context, candidates);
    auto command = std::make_unique<AppendPicturesCommand>(
        context, paths, [&reasons](const QString &path) { return reasons.value(path); });
    if (result) *result = command->result();
    if (command->result().added == 0) return nullptr;
    return command;
}

} // namespace pvsm::ui
