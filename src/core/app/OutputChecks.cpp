#include "OutputChecks.h"

#include "FileCheck.h"
#include "Numbers.h"

#include <QFileInfo>
#include <QStorageInfo>

namespace pvsm {

qint64 SystemFreeSpace(const QString &folder)
{
    const QStorageInfo storage(folder);
    return storage.isValid() && storage.isReady() ? storage.bytesAvailable() : -1;
}

qint64 WholeMegabytes(qint64 bytes)
{
    return qint64(NearestD(double(bytes) / 1048576.0));
}

bool HasFreeSpace(const QString &folder, qint64 megabytes, const FreeSpaceQuery &query)
{
    const qint64 available = query ? query(folder) : SystemFreeSpace(folder);
    if (available < 0) return true;
    return WholeMegabytes(available) >= megabytes;
}

QString VolumeOf(const QString &path)
{
    const QFileInfo info(path);
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    const QStorageInfo storage(folder);
    return storage.isValid() ? storage.rootPath() : folder;
}

bool ConfirmOverwrite(const QString &path, Prompter &prompter)
{
    if (!QFileInfo::exists(path)) return true;
    const QString name = QFileInfo(path).fileName();
    if (prompter.ask(replaceQuestionText(name), PromptButtons::YesNo, PromptIcon::Warning, QStringLiteral("Info"))
        != Answer::Yes)
        return false;
    const FileProblem problem = writeProblem(path);
    if (problem != FileProblem::None && problem != FileProblem::DiskFull) {
        prompter.inform(cannotWriteText(name, problem), PromptIcon::Information);
        return false;
    }
    return true;
}

} // namespace pvsm
