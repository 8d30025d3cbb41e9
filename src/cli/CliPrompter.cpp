#include "CliPrompter.h"

#include "Soundtrack.h"

#include <cstdio>

namespace pvsm::cli {

void out(const QString &line)
{
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
}

void err(const QString &line)
{
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

Answer CliPrompter::ask(const QString &text, PromptButtons buttons, PromptIcon, const QString &)
{
    if (text == soundtrackText::goOnWithoutMusic()) {
        err(text);
        err(withoutMusic ? QStringLiteral("-> yes (--without-music)")
                         : QStringLiteral("-> no (pass --without-music to make the video without its music)"));
        return withoutMusic ? Answer::Yes : Answer::No;
    }
    if (buttons == PromptButtons::YesNo) {
        err(text);
        if (isReplaceQuestion(text)) {
            err(overwrite ? QStringLiteral("-> yes (--overwrite)") : QStringLiteral("-> no (pass --overwrite to replace)"));
            return overwrite ? Answer::Yes : Answer::No;
        }
        err(yes ? QStringLiteral("-> yes (--yes)") : QStringLiteral("-> no (pass --yes to go on)"));
        return yes ? Answer::Yes : Answer::No;
    }
    err(text);
    return savePromptAnswer;
}

void CliPrompter::inform(const QString &text, PromptIcon)
{
    err(text);
}

QString CliPrompter::chooseSaveFile(const FileDialogRequest &)
{
    return savePath;
}

QString CliPrompter::chooseOpenFile(const FileDialogRequest &)
{
    return openPath;
}

} // namespace pvsm::cli
