#include "PlacementScreenshots.h"

#include "EditingView.h"
#include "EditorContext.h"
#include "MainWindow.h"
#include "Project.h"
#include "SettingsCommands.h"

#include <QDir>
#include <QUndoStack>

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
    // The picture's own marker exists only in draw mode 1, for this shot.
    QUndoStack &undo = window.context().undoStack();
    const int before = undo.index();
    pushSettingsChange(window.context(), QStringLiteral("修改图片显示方式"), [](Settings &s) { s.imgDrawScale = 1; });
    shoot(1);
    while (undo.index() > before)
        undo.undo();
    window.selectSection(1);
    waitForComposition(view, 10000);
    return written;
}

} // namespace pvsm::ui
