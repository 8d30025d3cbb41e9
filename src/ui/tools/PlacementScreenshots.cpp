#include "PlacementScreenshots.h"

#include "EditingView.h"
#include "EditorContext.h"
#include "MainWindow.h"
#include "Project.h"
#include "SettingsCommands.h"

#include <QDir>
#include <QImageReader>
#include <QUndoStack>

#include <limits>

namespace pvsm::ui {

int savePlacementScreenshots(MainWindow &window, const QString &dir)
{
    EditingView &view = *window.editingView();
    const QString prefix = QStringLiteral("placement-%1x%2").arg(window.width()).arg(window.height());
    int written = 0;
    auto shoot = [&](int section) {
        window.selectSection(section);
        view.setFocus();
        waitForComposition(view, 10000);
        const QString file =
            QDir(dir).filePath(prefix + QStringLiteral("-section-%1.png").arg(section, 2, 10, QLatin1Char('0')));
        if (view.grab().save(file)) ++written;
    };
    for (const int section : {4, 5, 7, 8})
        shoot(section);
    // The picture's own marker exists only in draw mode 1, for this shot, on
    // the smallest picture: mode 1 draws it at its own size, and a large
    // photo would fill the view.
    EditorContext &context = window.context();
    const int current = context.currentPicture();
    int smallest = current;
    qint64 smallestArea = std::numeric_limits<qint64>::max();
    for (size_t i = 0; i < context.project().pictures.size(); ++i) {
        const QSize size = QImageReader(context.project().pictures[i].path).size();
        if (size.isValid() && qint64(size.width()) * size.height() < smallestArea) {
            smallestArea = qint64(size.width()) * size.height();
            smallest = int(i);
        }
    }
    context.setCurrentPicture(smallest);
    QUndoStack &undo = context.undoStack();
    const int before = undo.index();
    pushSettingsChange(context, QStringLiteral("修改图片显示方式"), [](Settings &s) { s.imgDrawScale = 1; });
    shoot(1);
    while (undo.index() > before)
        undo.undo();
    context.setCurrentPicture(current);
    window.selectSection(1);
    waitForComposition(view, 10000);
    return written;
}

} // namespace pvsm::ui
