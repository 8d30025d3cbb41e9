#include "LoadedShow.h"

#include <QDir>
#include <QFile>

#include <cstdlib>
#include <sys/stat.h>

namespace pvsm {

PrivateFolder::PrivateFolder(const QString &parent)
{
    const QString base = parent.isEmpty() ? QDir::tempPath() : parent;
    // mkdtemp creates the folder with mode 0700 and a name nobody can guess,
    // so no other user can put files in it or read the show from it.
    QByteArray templ = QFile::encodeName(QDir(base).filePath(QStringLiteral("pvsm-show-XXXXXX")));
    if (::mkdtemp(templ.data())) m_path = QFile::decodeName(templ);
}

PrivateFolder::~PrivateFolder()
{
    if (!m_path.isEmpty()) QDir(m_path).removeRecursively();
}

} // namespace pvsm
