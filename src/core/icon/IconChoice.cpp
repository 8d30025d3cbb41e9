#include "IconChoice.h"

#include "AtomicFile.h"
#include "FileBytes.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace pvsm {

bool ExtractTempIcon(const Workspace &workspace, const QString &source, const IconHit &hit)
{
    const QString target = workspace.tempIconPath();
    QFile::remove(target);
    const QByteArray icon = ExtractIcon(source, hit);
    if (icon.isEmpty() || !QDir().mkpath(workspace.tempDir())) return false;
    return WriteFileAtomically(target, icon);
}

bool ConfirmChosenIcon(const Workspace &workspace)
{
    const QString temp = workspace.tempIconPath(), chosen = workspace.chosenIconPath();
    if (QFileInfo::exists(temp)) {
        QFile::remove(chosen);
        QFile::copy(temp, chosen);
    }
    return QFileInfo::exists(chosen);
}

QString ChosenIcon(const Workspace &workspace)
{
    const QString chosen = workspace.chosenIconPath();
    return QFileInfo(chosen).isFile() ? chosen : QString();
}

QImage IconBytesImage(const QByteArray &icoBytes)
{
    if (!ParseIconFile(icoBytes)) return {};
    QBuffer buffer;
    buffer.setData(icoBytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ICO");
    return reader.read();
}

QImage IconFileImage(const QString &icoPath)
{
    QByteArray bytes;
    if (QFileInfo(icoPath).size() > 1 << 20) return {};
    ReadFileBytes(bytes, icoPath, 0, -1);
    return IconBytesImage(bytes);
}

} // namespace pvsm
