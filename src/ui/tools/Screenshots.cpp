#include "Screenshots.h"

#include "EditingView.h"
#include "EditorContext.h"
#include "FrmFont.h"
#include "HelpWindow.h"
#include "MainWindow.h"
#include "TextStyleRules.h"
#include "ThumbnailStrip.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMenu>
#include <QMenuBar>
#include <QThread>

namespace pvsm::ui {

void settle(MainWindow &window)
{
    QElapsedTimer t;
    t.start();
    const ThumbnailStrip *strip = window.findChild<ThumbnailStrip *>();
    auto busy = [&] { return window.editingView()->composing() || (strip && strip->cellsWaiting() > 0); };
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        if (busy()) QThread::msleep(5);
    } while ((busy() || t.elapsed() < 150) && t.elapsed() < 10000);
}

int saveMainWindowScreenshots(MainWindow &window, const QString &dir, QSize size)
{
    QDir().mkpath(dir);
    window.resize(size);
    window.show();
    settle(window);
    int written = 0;
    const QString prefix = QStringLiteral("main-%1x%2").arg(size.width()).arg(size.height());
    for (int section = 1; section <= 10; ++section) {
        window.selectSection(section);
        settle(window);
        const QString file =
            QDir(dir).filePath(prefix + QStringLiteral("-section-%1.png").arg(section, 2, 10, QLatin1Char('0')));
        if (window.grab().save(file)) ++written;
    }
    // The menus, opened one by one under their titles.
    int menuNumber = 0;
    for (QAction *top : window.menuBar()->actions()) {
        QMenu *menu = top->menu();
        if (!menu) continue;
        menu->popup(window.mapToGlobal(window.menuBar()->actionGeometry(top).bottomLeft()));
        settle(window);
        if (menu->grab().save(QDir(dir).filePath(prefix + QStringLiteral("-menu-%1.png").arg(++menuNumber)))) ++written;
        menu->hide();
    }
    written += savePictureSectionScreenshots(window, dir, prefix);
    // The text style dialog of each kind, over the window as the style buttons open it.
    for (int kind = kStyleCaption; kind <= kStyleLyricHighlight; ++kind) {
        FrmFont dialog(kind, window.context().project().settings, &window);
        dialog.show();
        settle(window);
        if (dialog.grab().save(QDir(dir).filePath(prefix + QStringLiteral("-style-%1.png").arg(kind)))) ++written;
        if (kind != kStyleCaption) continue;
        // Enlarged by the user: the lists take the room.
        dialog.resize(dialog.size() * 3 / 2);
        settle(window);
        if (dialog.grab().save(QDir(dir).filePath(prefix + QStringLiteral("-style-1-larger.png")))) ++written;
    }
    window.selectSection(1);
    window.showHelp(QStringLiteral("add-music"));
    settle(window);
    if (auto *help = window.findChild<HelpWindow *>()) {
        if (help->grab().save(QDir(dir).filePath(prefix + QStringLiteral("-help.png")))) ++written;
        help->close();
    }
    return written;
}

} // namespace pvsm::ui
