#pragma once

// The bytes after the player program in a built slideshow: the resources one
// after another, each with its first 256 bytes scrambled, the settings blob
// and the 16-byte trailer (docs/formats.md, "Slideshow"). Writing them, and
// reading them back from a file that may come from anywhere.

#include "AtomicFile.h"
#include "FileCheck.h"
#include "Job.h"
#include "PropertyBag.h"
#include "ResourcePackage.h"
#include "SlideshowFile.h"
#include "SlideshowRecord.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <span>
#include <vector>

namespace pvsm {

// The trailer holds 32-bit lengths, and players read them as signed
// numbers: a slideshow must stay below 2^31 bytes, trailer included.
inline constexpr qint64 kMaxSlideshowBytes = 2147483647;
// The pictures and songs of a show together must stay below this, told
// before anything is written.
inline constexpr qint64 kMaxPackageInputBytes = 2140000000;

// The built-in resources of every slideshow: record key and the entry of the
// resource package that holds it.
struct BuiltInResource
{
    const char *key;
    const char *fileName;
};
std::span<const BuiltInResource> builtInResources();

// What follows the player program.
struct ResourceInputs
{
    QString resourcePackage;              // gmi.src; empty or unreadable: no built-ins
    std::optional<PackageIndex> resourceIndex;
    QByteArray frameData;                 // the chosen frame's picture; empty: none
    ResourceList resources;               // from the record writer, in its order
};

struct ResourceWriteResult
{
    enum class Status { Ok, Cancelled, TooLarge, ReadFailed, WriteFailed, VerifyFailed };
    Status status = Status::Ok;
    QString path;                   // the file that could not be read (ReadFailed)
    FileProblem problem = FileProblem::None;
    PackageTrailer trailer;
    bool ok() const { return status == Status::Ok; }
};

// Appends resources to a slideshow being written: each one's head
// scrambled, its index keys (K_OffSet from the end of the player, K_Size and,
// when given, K_Type) put into the record. The length of a file is what was
// read from it.
class PackageAppender
{
public:
    PackageAppender(AtomicFileWriter &out, qint64 playerLength, PropertyBag &bag, qint64 blobBound);

    bool appendBytes(const QString &key, QByteArray bytes, const QString &type);
    bool appendFile(const QString &key, const QString &path, const QString &type, const JobControl &control);

    qint64 resourcesLength() const { return m_resources; }
    const ResourceWriteResult &result() const { return m_result; }

private:
    bool fits(qint64 more);
    void putIndex(const QString &key, qint64 length, const QString &type);

    AtomicFileWriter &m_out;
    qint64 m_player;
    PropertyBag &m_bag;
    qint64 m_blobBound; // the record can grow no larger than this
    qint64 m_resources = 0;
    ResourceWriteResult m_result;
};

// One built-in resource: `fileName` from the resource package, under `key`
// (no "_Type"). A name the package does not hold is skipped: true.
bool AppendBuiltInResource(PackageAppender &appender, const QString &key, const QString &fileName,
                           const QString &packagePath, const PackageIndex &index);

// Appends the built-ins, the frame and every resource-list entry (pictures
// prepared for the package, on all cores, ahead of the writing), then the
// blob of `bag` and the trailer, to `out`, which holds the player's
// `playerLength` bytes; then reads the unfinished file back and checks its
// length and trailer. Reports progress per resource with `caption` unless it
// is empty. `bag` receives the index keys. Nothing is committed: the caller
// renames the file into place on success.
ResourceWriteResult WriteResources(AtomicFileWriter &out, qint64 playerLength, PropertyBag &bag,
                                   const ResourceInputs &inputs, const QString &caption, const JobControl &control);

} // namespace pvsm
