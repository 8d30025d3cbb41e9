#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace pvsm::test {

// The result of one run of pvsm-cli.
struct CliRun
{
    int exitCode = -1; // -1 when it crashed or did not finish
    QString out;
    QString err;
};

// Runs the pvsm-cli of this build with `args`.
inline CliRun cli(const QStringList &args, int timeoutMs = 120000)
{
    QProcess p;
    p.start(QStringLiteral(PVSM_BIN_DIR) + QStringLiteral("/pvsm-cli"), args);
    p.waitForFinished(timeoutMs);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

} // namespace pvsm::test
