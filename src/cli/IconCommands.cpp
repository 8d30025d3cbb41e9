// pvsm-cli icon …: the icon chooser's scan and extraction without a window;
// pvsm-cli font lookup: what the font-packing option would pack.
#include "CliPrompter.h"
#include "Commands.h"
#include "FontLookup.h"
#include "IconScan.h"

#include <QFileInfo>

namespace pvsm::cli {

namespace {

// Scans `path`, or says on standard error why it was not scanned.
std::optional<IconScan> scanOrSay(const QString &path, const QString &shown)
{
    if (!readableOrSay(path, shown)) return std::nullopt;
    IconScan scan = ScanIconFile(path);
    switch (scan.problem) {
    case IconScanProblem::None: return scan;
    case IconScanProblem::Unreadable: err(shown + QStringLiteral(" cannot be read")); break;
    case IconScanProblem::TooSmall: err(shown + QStringLiteral(" is too small to hold an icon (below 21 bytes)")); break;
    case IconScanProblem::TooLarge:
        err(shown + QStringLiteral(" is not scanned: above 10,240,000 bytes and not a program"));
        break;
    case IconScanProblem::NotAPicture: err(shown + QStringLiteral(" is a PNG file that does not decode")); break;
    }
    return std::nullopt;
}

int iconScan(const QStringList &args)
{
    if (args.size() != 1) {
        err(QStringLiteral("icon scan: give one file"));
        return kUsage;
    }
    const QString path = QFileInfo(args[0]).absoluteFilePath();
    const std::optional<IconScan> scan = scanOrSay(path, args[0]);
    if (!scan) return kFailed;
    int n = 0;
    for (const IconHit &hit : scan->hits)
        out(QStringLiteral("Icon: %1\t%2\t%3").arg(IconListText(++n, hit)).arg(hit.offset).arg(hit.length));
    if (scan->hits.empty()) err(args[0] + QStringLiteral(": no icon found"));
    return kOk;
}

int iconExtract(const QStringList &args)
{
    if (args.size() != 3) {
        err(QStringLiteral("icon extract: give FILE N OUT.ico"));
        return kUsage;
    }
    const std::optional<int> n = parseInt(args[1], 1, kMaxIconHits);
    if (!n) {
        err(QStringLiteral("icon extract: N is the icon's number from 1, not %1").arg(args[1]));
        return kUsage;
    }
    const QString path = QFileInfo(args[0]).absoluteFilePath();
    const std::optional<IconScan> scan = scanOrSay(path, args[0]);
    if (!scan) return kFailed;
    if (size_t(*n) > scan->hits.size()) {
        err(QStringLiteral("%1 holds %2 icons, no number %3").arg(args[0]).arg(scan->hits.size()).arg(*n));
        return kFailed;
    }
    const QByteArray icon = ExtractIcon(path, scan->hits[size_t(*n - 1)]);
    if (icon.isEmpty()) {
        err(args[0] + QStringLiteral(": the icon could not be read"));
        return kFailed;
    }
    return writeFileOrSay(QFileInfo(args[2]).absoluteFilePath(), icon) ? kOk : kFailed;
}

int fontLookup(const QStringList &args)
{
    if (args.isEmpty() || args.size() > 4) {
        err(QStringLiteral("font lookup: give one to four face names"));
        return kUsage;
    }
    std::array<QString, 4> names;
    for (int j = 0; j < 4; ++j) names[size_t(j)] = args[std::min<qsizetype>(j, args.size() - 1)];
    const FontPacking packing = LookupFonts(names);
    for (int i = 0; i < packing.files.size(); ++i) out(QStringLiteral("File: %1\t%2").arg(i + 1).arg(packing.files[i]));
    for (size_t j = 0; j < 4; ++j)
        out(QStringLiteral("Style: %1\t%2\t%3\t%4").arg(j + 1).arg(names[j], packing.checkNames[j]).arg(packing.belongsTo[j]));
    if (packing.anyMissing()) err(QString::fromUtf8(kFontMissingMessage));
    return kOk;
}

const CommandRegistrar kScan({{QStringLiteral("icon"), QStringLiteral("scan")}, QStringLiteral("icon scan FILE"), iconScan});
const CommandRegistrar kExtract({{QStringLiteral("icon"), QStringLiteral("extract")},
                                 QStringLiteral("icon extract FILE N OUT.ico"), iconExtract});
const CommandRegistrar kFonts({{QStringLiteral("font"), QStringLiteral("lookup")},
                               QStringLiteral("font lookup FACE [FACE2 FACE3 FACE4]"), fontLookup});

} // namespace

} // namespace pvsm::cli
