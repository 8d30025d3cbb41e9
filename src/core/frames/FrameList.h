#pragma once

#include "Project.h"
#include "ResourcePackage.h"
#include "Workspace.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace pvsm {

// Frame packages are the files 1.frame ... 10.frame.
inline constexpr int kMaxFramePackages = 10;
// The largest package the chooser copies in: frames are a few PNG pictures.
inline constexpr qint64 kMaxFramePackageBytes = 256LL * 1024 * 1024;

// One frame of the loaded packages, in frame-list order.
struct PackageFrame
{
    int package = 0;         // n of n.frame
    QString path;            // the package file it is read from
    qint64 indexLength = 0;  // L of that package
    PackageEntry entry;      // display name, offset, size
};

// `LoadFramePackages`: every frame of every package, in package-number order.
struct FramePackages
{
    std::vector<PackageFrame> frames;
    QString copyright; // CopyrightCN of the last package read
    bool found = false; // at least one package was read

    // The bytes of frame k (1-based, as PictureFrameNum counts); empty when k
    // is outside the list or the package no longer holds them.
    QByteArray frameBytes(int k) const;
};

// The file of package n: the program folder's, else the work folder's
// (packages the user adds go there when the program folder is read-only).
// Empty when neither has one.
QString FramePackagePath(const Workspace &workspace, int n);
// Reads packages 1 ... 10; a file that does not start like a package, or
// whose index does not fit the file, is skipped.
FramePackages LoadFramePackages(const Workspace &workspace);

enum class FrameEntryKind { None, PackageFrame, TestFrame, OwnPng, MoreFrames };

struct FrameListEntry
{
    FrameEntryKind kind = FrameEntryKind::None;
    QString text;
    int frame = 0; // PackageFrame: its 1-based number (PictureFrameNum)
};

// The entries of `ListPicFrame`: "无", the package frames (or "测试用相框"
// when no package was found), "自定义 PNG 相框...", "更多相框下载...".
std::vector<FrameListEntry> ListPicFrame(const FramePackages &packages);
// The row of the list that shows `pictureFrameNum`; 0 ("无") when none does.
int FrameListRow(const std::vector<FrameListEntry> &list, int32_t pictureFrameNum);

// The entry "TESTFRAME.PNG" of the resource package; empty when absent.
QByteArray TestFrameBytes(const Workspace &workspace);
// A PNG chosen as the own frame, as the package carries it: re-encoded
// where the package's picture rules say so, else the file's bytes. Empty
// when `path` is shorter than 8 characters, missing or not a PNG.
QByteArray OwnFrameBytes(const QString &path);

// The frame in memory: what PictureFrameNum selects and the picture's bytes.
struct FrameChoice
{
    int32_t pictureFrameNum = 0;
    QByteArray bytes;
    bool operator==(const FrameChoice &) const = default;
};

// What choosing a list entry does.
struct FrameSelection
{
    bool frameChanged = false; // `choice` replaces the frame in memory
    FrameChoice choice;
    bool showChooser = false;  // the hint label and the chooser button are shown
    bool openHelp = false;     // open the help topic "frames"
};
FrameSelection SelectFrameEntry(const FrameListEntry &entry, const FramePackages &packages, const Workspace &workspace,
                                const Settings &settings);

// The frame once a project (`fullProjectLoad`) or the last run's settings
// were loaded: the test frame and anything that cannot be had again become
// no frame.
FrameChoice RestoreFrame(const Settings &settings, const FramePackages &packages, bool fullProjectLoad,
                         bool hasPictures);

// The selected frame's bytes for `settings` as a builder or an export sees
// them: package frame, own PNG or test frame; empty for none or a frame that
// cannot be read.
QByteArray SelectedFrameBytes(const Settings &settings, const Workspace &workspace);

// The frame chooser button took `path`.
struct AddFrameOutcome
{
    enum Kind {
        ResetFrame,    // too short a path: the frame becomes none
        OwnPng,        // a PNG: it is the own frame now (`choice`, `image`)
        AlreadyExists, // a package of that name is installed: `message`
        NotAPackage,   // neither a PNG nor a frame package: `message`
        NoFreeNumber,  // all ten package numbers are taken: `message`
        CopyFailed,    // the package could not be copied in: `message`
        Added,         // copied in as `installedPath`; show `copyright` when not empty
    } kind = ResetFrame;
    FrameChoice choice;      // the frame afterwards (none after a package was added)
    QString image;           // OwnPng: the new PictureFrameImage
    QString message;         // for the information box
    QString copyright;       // Added: the text of the "版权声明" box
    QString installedPath;
    FramePackages packages;  // Added: the packages reloaded
};
AddFrameOutcome AddFrameFile(const QString &path, const Workspace &workspace);

// Texts of the frame list and its questions, exactly as shown.
namespace frameText {
QString none();
QString testFrame();
QString ownPng();
QString moreFrames();
QString alreadyExists(const QString &name);
QString copyrightTitle();
QString chooserFilterName();
QString chooserFilter();
} // namespace frameText

} // namespace pvsm
