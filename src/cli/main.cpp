#include "AtomicFile.h"
#include "CliPrompter.h"
#include "Commands.h"
#include "Display.h"
#include "FileCheck.h"
#include "Resources.h"
#include "Version.h"
#include "clsMemDC.h"

#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QGuiApplication>

#include <QFile>

#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace pvsm::cli {

std::vector<Command> &commandTable()
{
    static std::vector<Command> table;
    return table;
}

Workspace cliWorkspace()
{
    return Workspace::forExecutable(QCoreApplication::applicationDirPath());
}

ProjectEnvironment cliEnvironment(QSize screen)
{
    ProjectEnvironment env;
    const QSize size = screen.isValid() ? screen : probeDisplay().screen;
    env.screenWidth = size.width();
    env.screenHeight = size.height();
    env.defaultFont = chooseDefaultTextFont(QGuiApplication::font().family());
    return env;
}

QSize parseSize(const QString &text)
{
    const QStringList parts = text.toLower().split(QLatin1Char('x'));
    if (parts.size() != 2) return {};
    bool okW = false, okH = false;
    const int w = parts[0].toInt(&okW), h = parts[1].toInt(&okH);
    if (!okW || !okH || w <= 0 || h <= 0 || w > kMaxSizeSide || h > kMaxSizeSide) return {};
    return {w, h};
}

std::optional<int> parseInt(const QString &text, int low, int high)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < low || v > high) return std::nullopt;
    return v;
}

std::optional<double> parseNumber(const QString &text, double low, double high)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < low || v > high) return std::nullopt;
    return v;
}

void printBag(const PropertyBag &bag)
{
    for (const QString &line : bag.listing()) out(line);
}

bool readableOrSay(const QString &path, const QString &shown)
{
    const FileProblem problem = readProblem(path);
    if (problem == FileProblem::None) return true;
    err(shown + QLatin1Char(' ') + fileProblemText(problem));
    return false;
}

std::optional<QRgb> parseColour(const QString &text, int defaultAlpha)
{
    QString t = text;
    if (t.startsWith(QLatin1Char('#'))) t.remove(0, 1);
    if (t.size() != 6 && t.size() != 8) return std::nullopt;
    bool ok = false;
    const uint value = t.toUInt(&ok, 16);
    if (!ok) return std::nullopt;
    return t.size() == 6 ? QRgb((uint(defaultAlpha) << 24) | value) : QRgb(value);
}

bool writeFileOrSay(const QString &path, const QByteArray &bytes, const QString &what)
{
    FileProblem problem = FileProblem::None;
    if (!bytes.isEmpty() && WriteFileAtomically(path, bytes, &problem)) return true;
    const QString named = what.isEmpty() ? path : what + QLatin1Char(' ') + path;
    err(problem == FileProblem::None ? QStringLiteral("cannot write ") + named
                                     : named + QLatin1Char(' ') + fileProblemText(problem));
    return false;
}

bool loadBagOrSay(const QString &path, const QString &shown, const QString &what, PropertyBag &bag)
{
    if (!readableOrSay(path, shown)) return false;
    if (LoadBagFile(path, bag)) return true;
    err(shown + QStringLiteral(" is not ") + what);
    return false;
}

namespace {

void printUsage()
{
    err(QStringLiteral("%1 %2 command line").arg(productName(), versionText()));
    err(QStringLiteral("usage:"));
    for (const Command &c : commandTable()) err(QStringLiteral("  pvsm-cli ") + c.usage);
    err(QStringLiteral("  pvsm-cli --version"));
}

} // namespace

} // namespace pvsm::cli

int main(int argc, char **argv)
{
    using namespace pvsm::cli;
    // Commands draw text and pictures but never show a window.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        // Qt warns on every start without one; a private folder of our own will do.
        const QByteArray dir = QDir::tempPath().toLocal8Bit() + "/pvsm-runtime-" + QByteArray::number(getuid());
        QDir().mkpath(QString::fromLocal8Bit(dir));
        QFile::setPermissions(QString::fromLocal8Bit(dir), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", dir);
    }
    // Qt takes options such as -style and -platform out of argv; commands have
    // options of those names, so they get the arguments as given.
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    pvsm::ReuseCanvasMemory();
    QGuiApplication app(argc, argv);
    if (args.isEmpty() || args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h")) {
        printUsage();
        return args.isEmpty() ? kUsage : kOk;
    }
    if (args.size() == 1 && args[0] == QLatin1String("--version")) {
        out(pvsm::productName() + QLatin1Char(' ') + pvsm::versionText());
        return kOk;
    }
    // Longest match of the command words.
    const Command *best = nullptr;
    for (const Command &c : commandTable()) {
        if (c.words.size() > args.size()) continue;
        if (args.mid(0, c.words.size()) != c.words) continue;
        if (!best || c.words.size() > best->words.size()) best = &c;
    }
    if (!best) {
        err(QStringLiteral("unknown command: %1").arg(args.join(QLatin1Char(' '))));
        printUsage();
        return kUsage;
    }
    // Text in the rainbow pattern is filled with the shipped texture.
    pvsm::LoadTextTexture(cliWorkspace());
    return best->run(args.mid(best->words.size()));
}
