#include "CliPrompter.h"
#include "Commands.h"
#include "FrameList.h"
#include "PictureLoad.h"
#include "ProjectLists.h"
#include "ProjectSession.h"
#include "SongLength.h"

#include <QFileInfo>

namespace pvsm::cli {

namespace {

struct KeyValue
{
    QString key;
    QString value;
};

std::optional<KeyValue> splitAssignment(const QString &text)
{
    const int eq = text.indexOf(QLatin1Char('='));
    if (eq <= 0) return std::nullopt;
    return KeyValue{text.left(eq), text.mid(eq + 1)};
}

// The value `key` is stored with, as the project file will hold it.
BagValue storedValue(ProjectSession &session, const QString &key)
{
    Project copy = session.project();
    WriteContext context = session.writeContext();
    context.keepEmptyTextGroups = true;
    PropertyBag bag;
    WriteProjectBag(copy, bag, BagMode::Full, context);
    return bag.value(key);
}

// The editor's rules may change a value (TimeInterval is never below 3.5);
// the command line says so rather than store something else silently.
void noteChangedValue(ProjectSession &session, const KeyValue &kv)
{
    const auto type = projectKeyType(kv.key);
    if (!type) return;
    const auto given = BagValue::parse(*type, kv.value);
    const BagValue stored = storedValue(session, kv.key);
    if (!given || stored.isEmpty() || stored == *given) return;
    QString change = QStringLiteral("changed");
    if (*type == BagType::I2 || *type == BagType::I4 || *type == BagType::R4)
        change = stored.toFloat() > given->toFloat() ? QStringLiteral("raised") : QStringLiteral("lowered");
    err(QStringLiteral("%1: %2 %3 to %4 by the rule for this setting")
            .arg(kv.key, given->displayText(), change, stored.displayText()));
}

bool applySets(ProjectSession &session, const std::vector<KeyValue> &sets)
{
    // A frame is stored only when its picture can be had (the writer zeroes
    // PictureFrameNum otherwise): look once every value is in, since the
    // number and the own PNG's path may come in either order.
    session.writeContext().framePictureLoaded = true;
    for (const KeyValue &kv : sets) {
        QString error;
        if (!setProjectKey(session.project(), kv.key, kv.value, session.environment(), session.writeContext(), &error)) {
            err(error);
            return false;
        }
    }
    session.writeContext().framePictureLoaded =
        !SelectedFrameBytes(session.project().settings, session.workspace()).isEmpty();
    for (const KeyValue &kv : sets) noteChangedValue(session, kv);
    return true;
}

QString absolute(const QString &path)
{
    return QFileInfo(path).absoluteFilePath();
}

int projectNew(const QStringList &args)
{
    QString outPath;
    QStringList pictures, music, lyrics;
    std::vector<KeyValue> sets;
    QSize screen;
    bool overwrite = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        auto next = [&]() -> std::optional<QString> {
            if (i + 1 >= args.size()) return std::nullopt;
            return args[++i];
        };
        if (a == QLatin1String("--picture") || a == QLatin1String("--music") || a == QLatin1String("--lyric")
            || a == QLatin1String("--set") || a == QLatin1String("--screen")) {
            const auto v = next();
            if (!v) {
                err(QStringLiteral("%1 needs a value").arg(a));
                return kUsage;
            }
            if (a == QLatin1String("--picture")) pictures << absolute(*v);
            else if (a == QLatin1String("--music")) music << absolute(*v);
            else if (a == QLatin1String("--lyric")) lyrics << absolute(*v);
            else if (a == QLatin1String("--screen")) {
                screen = parseSize(*v);
                if (!screen.isValid()) {
                    err(QStringLiteral("--screen takes WIDTHxHEIGHT, not %1").arg(*v));
                    return kUsage;
                }
            } else {
                const auto kv = splitAssignment(*v);
                if (!kv) {
                    err(QStringLiteral("--set takes KEY=VALUE, not %1").arg(*v));
                    return kUsage;
                }
                sets.push_back(*kv);
            }
        } else if (a == QLatin1String("--overwrite")) {
            overwrite = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            err(QStringLiteral("unknown option %1").arg(a));
            return kUsage;
        } else if (outPath.isEmpty()) {
            outPath = absolute(a);
        } else {
            err(QStringLiteral("one output file only"));
            return kUsage;
        }
    }
    if (outPath.isEmpty()) {
        err(QStringLiteral("project new: give the output file"));
        return kUsage;
    }

    CliPrompter prompter;
    prompter.overwrite = overwrite;
    ProjectSession session(cliWorkspace(), cliEnvironment(screen), prompter);
    // As the editor does: a file whose contents are no picture is left out.
    const AddPicturesResult pics = addPictures(session.project(), pictures, session.environment(),
                                               [](const QString &path) { return pictureProblemText(CheckPictureFile(path)); });
    if (pics.skipped > 0) err(refusedPicturesMessage(pics));
    const AddSongsResult songs = addSongs(session.project(), music, songLengthForList);
    if (!songs.lastRefused.isEmpty()) err(songRefusedMessage(songs.lastRefused));
    addLyricFiles(session.project(), lyrics);
    if (!applySets(session, sets)) return kFailed;
    if (!session.save(outPath)) return kFailed;
    out(QStringLiteral("Project: ") + outPath);
    out(QStringLiteral("NowI: ") + QString::number(session.project().pictures.size()));
    out(QStringLiteral("NowM: ") + QString::number(session.project().songs.size()));
    out(QStringLiteral("LyricFilesCount: ") + QString::number(session.project().lyricFiles.size()));
    return kOk;
}

int projectSet(const QStringList &args)
{
    if (args.size() < 2) {
        err(QStringLiteral("project set: give the project file and at least one KEY=VALUE"));
        return kUsage;
    }
    const QString path = absolute(args[0]);
    std::vector<KeyValue> sets;
    for (const QString &a : args.mid(1)) {
        const auto kv = splitAssignment(a);
        if (!kv) {
            err(QStringLiteral("expected KEY=VALUE, not %1").arg(a));
            return kUsage;
        }
        sets.push_back(*kv);
    }
    CliPrompter prompter;
    prompter.overwrite = true; // the file named is the one to change
    ProjectSession session(cliWorkspace(), cliEnvironment(), prompter);
    PropertyBag probe;
    if (!loadBagOrSay(path, path, QStringLiteral("a project file"), probe)) return kFailed;
    if (!session.open(path)) return kFailed;
    if (!applySets(session, sets)) return kFailed;
    if (!session.save(path)) return kFailed;
    return kOk;
}

int projectShow(const QStringList &args)
{
    if (args.size() != 1) {
        err(QStringLiteral("project show: give one project file"));
        return kUsage;
    }
    PropertyBag bag;
    if (!loadBagOrSay(args[0], args[0], QStringLiteral("a project file"), bag)) return kFailed;
    printBag(bag);
    return kOk;
}

int bagDump(const QStringList &args)
{
    if (args.size() != 1) {
        err(QStringLiteral("bag dump: give one file"));
        return kUsage;
    }
    PropertyBag bag;
    if (!loadBagOrSay(args[0], args[0], QStringLiteral("a property-bag file"), bag)) return kFailed;
    printBag(bag);
    return kOk;
}

const CommandRegistrar kNew({{QStringLiteral("project"), QStringLiteral("new")},
                             QStringLiteral("project new OUT.aps [--picture FILE]... [--music FILE]... [--lyric FILE]... "
                                            "[--set KEY=VALUE]... [--screen WxH] [--overwrite]"),
                             projectNew});
const CommandRegistrar kSet({{QStringLiteral("project"), QStringLiteral("set")},
                             QStringLiteral("project set FILE.aps KEY=VALUE..."), projectSet});
const CommandRegistrar kShow({{QStringLiteral("project"), QStringLiteral("show")},
                              QStringLiteral("project show FILE.aps"), projectShow});
const CommandRegistrar kDump({{QStringLiteral("bag"), QStringLiteral("dump")}, QStringLiteral("bag dump FILE"), bagDump});

} // namespace

} // namespace pvsm::cli
