#include "Resources.h"

#include "FileCheck.h"
#include "ResourcePackage.h"
#include "TextTexture.h"

namespace pvsm {

QByteArray ResourceEntryBytes(const Workspace &workspace, const QString &name)
{
    const QString path = workspace.programFile(QStringLiteral("gmi.src"));
    if (readProblem(path) != FileProblem::None) return {};
    const std::optional<PackageIndex> index = ReadPackageIndex(path, PackageKind::Resources);
    if (!index) return {};
    const PackageEntry *entry = index->find(name);
    return entry ? ReadPackageEntry(path, *index, *entry) : QByteArray();
}

bool LoadTextTexture(const Workspace &workspace)
{
    return setRainbowTextureBytes(ResourceEntryBytes(workspace, QStringLiteral("rainbow.jpg")));
}

} // namespace pvsm
