#pragma once

#include "ProjectFile.h"
#include "Workspace.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
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

// "1920x1080" -> QSize; invalid gives an empty size.
QSize parseSize(const QString &text);

// Prints every entry of a bag as "Key: Type value" lines.
void printBag(const PropertyBag &bag);

} // namespace pvsm::cli
