#include "EditorRules.h"

#include "Numbers.h"

#include <QDir>
#include <QFileInfo>

namespace pvsm {

QSize fitToScreenAspect(QSize area, QSize editingScreen)
{
    if (area.isEmpty() || editingScreen.isEmpty()) return {};
    return editingScreen.scaled(area, Qt::KeepAspectRatio);
}

QRect markerOnView(const TextBox &box, QSize editingScreen, QSize view)
{
    if (editingScreen.isEmpty() || view.isEmpty()) return {};
    const double sx = double(view.width()) / editingScreen.width();
    const double sy = double(view.height()) / editingScreen.height();
    return QRect(Nearest(box.x * sx), Nearest(box.y * sy), Nearest(box.w * sx), Nearest(box.h * sy));
}

TextBox lyricMarkerBox(const Settings &settings)
{
    TextBox box = settings.lyricBox;
    if (settings.lyricStyle == 1 || settings.lyricStyle == 3) box.h *= 2;
    return box;
}

QStringList withRecentFile(QStringList list, const QString &path, int maxEntries)
{
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    list.removeIf([&](const QString &entry) { return QDir::cleanPath(QFileInfo(entry).absoluteFilePath()) == clean; });
    list.prepend(clean);
    while (list.size() > std::max(0, maxEntries))
        list.removeLast();
    return list;
}

QString editorWindowTitle(const QString &currentPath, const QString &caption)
{
    const QString name = currentPath.isEmpty() ? QStringLiteral("未命名") : QFileInfo(currentPath).completeBaseName();
    return name + QStringLiteral("[*] - ") + caption;
}

QString autoSaveStatusText(bool saved, QTime at, const QString &problem)
{
    const QString time = at.toString(QStringLiteral("HH:mm:ss"));
    if (saved) return QStringLiteral("已自动保存 ") + time;
    QString text = QStringLiteral("自动保存失败 ") + time;
    if (!problem.isEmpty()) text += QStringLiteral("：") + problem;
    return text;
}

} // namespace pvsm

namespace pvsm {

bool isProjectFileName(const QString &path)
{
    return path.endsWith(QStringLiteral(".aps"), Qt::CaseInsensitive) && path.size() > 4;
}

QPoint placeWindow(const QRect &frame, const QRect &screen)
{
    QPoint at = frame.topLeft();
    if (frame.width() >= screen.width()) at.setX(screen.left());
    if (frame.height() >= screen.height()) at.setY(screen.top());
    return at;
}

} // namespace pvsm
