#include "Recovery.h"

#include <QFile>
#include <QFileInfo>

namespace pvsm {

namespace {

std::optional<QDateTime> modifiedIfFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile()) return std::nullopt;
    return info.lastModified();
}

bool sameBytes(const QString &a, const QString &b)
{
    if (QFileInfo(a).size() != QFileInfo(b).size()) return false;
    QFile fa(a);
    QFile fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly)) return false;
    return fa.readAll() == fb.readAll();
}

} // namespace

RecoveryFacts gatherRecoveryFacts(const SessionMarker::Previous &previous, const Workspace &workspace)
{
    RecoveryFacts facts;
    facts.previousDied = previous.died;
    facts.projectPath = previous.projectPath;
    facts.autoSaveModified = modifiedIfFile(workspace.autoSavePath());
    if (!facts.projectPath.isEmpty()) {
        facts.projectIsAutoSave = workspace.isAutoSavePath(facts.projectPath);
        facts.projectModified = modifiedIfFile(facts.projectPath);
        if (facts.projectModified && facts.autoSaveModified)
            facts.autoSaveSameAsProject = sameBytes(facts.projectPath, workspace.autoSavePath());
    }
    return facts;
}

bool canOfferRecovery(const RecoveryFacts &facts)
{
    if (!facts.previousDied || !facts.autoSaveModified) return false;
    // The automatic save open as the project is its own saved file.
    if (facts.projectIsAutoSave) return false;
    if (!facts.projectModified) return true;
    if (facts.autoSaveSameAsProject) return false;
    return *facts.autoSaveModified > *facts.projectModified;
}

QString recoveryQuestionText(const RecoveryFacts &facts)
{
    QString text = QStringLiteral("上次运行没有正常结束，自动保存的图片幻灯设置中有尚未保存的修改。") + QLatin1Char('\n');
    text += QStringLiteral("配置文件：")
            + (facts.projectPath.isEmpty() ? QStringLiteral("(未保存)") : QFileInfo(facts.projectPath).fileName())
            + QLatin1Char('\n');
    if (facts.autoSaveModified)
        text += QStringLiteral("自动保存于：") + facts.autoSaveModified->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                + QLatin1Char('\n');
    text += QLatin1Char('\n') + QStringLiteral("“恢复”载入自动保存的设置，保存时写入原来的配置文件；")
            + QLatin1Char('\n') + QStringLiteral("“放弃”保留当前设置，自动保存的文件改名留在 Project 目录中。");
    return text;
}

QString recoveryUnreadableText(const QString &keptCopy)
{
    QString text = QStringLiteral("无法读取自动保存的图片幻灯设置，设置没有恢复。");
    if (!keptCopy.isEmpty()) text += QLatin1Char('\n') + QStringLiteral("该文件已保留为：") + QLatin1Char('\n') + keptCopy;
    return text;
}

QString recoveryNotMovedText(const QString &autoSavePath)
{
    return QStringLiteral("无法将自动保存的文件改名保留，本次运行不会覆盖它：") + QLatin1Char('\n') + autoSavePath;
}

QString keptAutoSaveName(const QDateTime &written)
{
    return QStringLiteral("AutoSave-") + written.toString(QStringLiteral("yyyyMMdd-HHmmss")) + QStringLiteral(".aps");
}

QString keepAutoSaveAside(const Workspace &workspace)
{
    const QString from = workspace.autoSavePath();
    const QFileInfo info(from);
    if (!info.isFile()) return {};
    const QString base = keptAutoSaveName(info.lastModified());
    for (int n = 1; n < 1000; ++n) {
        QString name = base;
        if (n > 1) name.insert(name.size() - 4, QLatin1Char('-') + QString::number(n));
        const QString to = workspace.projectDir() + name;
        if (QFileInfo::exists(to)) continue;
        // QFile::rename never replaces a file that is there.
        if (QFile::rename(from, to)) return to;
        // Taken in the meantime: try the next name; any other failure stays one.
        if (!QFileInfo::exists(to)) return {};
    }
    return {};
}

} // namespace pvsm
