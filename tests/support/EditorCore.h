#pragma once

#include "StartUp.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <memory>

namespace pvsm::test {

// The editor's core as the window tests start it: program and work folder
// inside `dir`, the application's font for texts.
inline std::unique_ptr<AppCore> startEditorCore(const QTemporaryDir &dir, Prompter &prompter)
{
    AppCore::Options options;
    options.workspace = Workspace(dir.filePath(QStringLiteral("prog")), dir.filePath(QStringLiteral("prog")));
    QDir().mkpath(options.workspace.workDir());
    options.uiFont = QApplication::font().family();
    return AppCore::start(options, prompter);
}

} // namespace pvsm::test
