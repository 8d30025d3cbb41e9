#include "CliPrompter.h"
#include "Commands.h"
#include "FrameList.h"

#include <QFileInfo>

namespace pvsm::cli {

namespace {

// The frame list as the background section shows it, one entry a line: its
// text, then what choosing it stores (PictureFrameNum) and, for a package
// frame, the package it comes from and its size.
int framesList(const QStringList &args)
{
    if (!args.isEmpty()) {
        err(QStringLiteral("frames list takes no arguments"));
        return kUsage;
    }
    const Workspace workspace = cliWorkspace();
    const FramePackages packages = LoadFramePackages(workspace);
    for (const FrameListEntry &e : ListPicFrame(packages)) {
        switch (e.kind) {
        case FrameEntryKind::None: out(e.text + QStringLiteral("\tPictureFrameNum=0")); break;
        case FrameEntryKind::PackageFrame: {
            const PackageFrame &f = packages.frames[size_t(e.frame - 1)];
            out(e.text + QStringLiteral("\tPictureFrameNum=%1\t%2\t%3 bytes")
                             .arg(e.frame)
                             .arg(QFileInfo(f.path).fileName())
                             .arg(f.entry.size));
            break;
        }
        case FrameEntryKind::TestFrame: out(e.text + QStringLiteral("\tPictureFrameNum=-2\tgmi.src")); break;
        case FrameEntryKind::OwnPng: out(e.text + QStringLiteral("\tPictureFrameNum=-1\tPictureFrameImage=PNG")); break;
        case FrameEntryKind::MoreFrames: out(e.text); break;
        }
    }
    return kOk;
}

const CommandRegistrar kList({{QStringLiteral("frames"), QStringLiteral("list")}, QStringLiteral("frames list"),
                              framesList});

} // namespace

} // namespace pvsm::cli
