#pragma once

#include "ProjectFile.h"
#include "Workspace.h"

#include <QColor>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace pvsm::cli {

enum ExitCode { kOk = 0, kFailed = 1, kUsage = 2 };

// One command of pvsm-cli, e.g. {"project", "new"}.
struct Command
{
    QStringList words;
    QString usage;
    std::function<int(const QStringList &args)> run;
};

std::vector<Command> &commandTable();

struct CommandRegistrar
{
    explicit CommandRegistrar(Command command) { commandTable().push_back(std::move(command)); }
};

// The workspace and environment a command works in: the folders of this
// executable and the given (or default) editing screen.
Workspace cliWorkspace();
ProjectEnvironment cliEnvironment(QSize screen = {});

// "1920x1080" -> QSize; invalid gives an empty size. Each side must lie in
// 1 .. kMaxSizeSide.
inline constexpr int kMaxSizeSide = 16384;
QSize parseSize(const QString &text);

// A whole number / a finite number within low .. high; nullopt otherwise.
std::optional<int> parseInt(const QString &text, int low, int high);
std::optional<double> parseNumber(const QString &text, double low, double high);

// A colour as the options take it: "RRGGBB" (web order, "#" allowed) with
// `defaultAlpha`, or "AARRGGBB"; nullopt otherwise.
std::optional<QRgb> parseColour(const QString &text, int defaultAlpha = 255);

// Prints every entry of a bag as "Key: Type value" lines.
void printBag(const PropertyBag &bag);

// When `path` is no regular file this process may read, says why on standard
// error ("`shown` does not exist") and returns false; the file is not opened.
bool readableOrSay(const QString &path, const QString &shown);

// Writes `bytes` as the whole file `path` (temporary file, checked, renamed
// into place); on failure says why on standard error ("`what` PATH …") and
// returns false, the old file unchanged. Empty bytes are a failure to make them.
bool writeFileOrSay(const QString &path, const QByteArray &bytes, const QString &what = {});

// Loads a bag file; on failure says why (the file's problem, else
// "`shown` is not `what`") and returns false.
bool loadBagOrSay(const QString &path, const QString &shown, const QString &what, PropertyBag &bag);

} // namespace pvsm::cli
