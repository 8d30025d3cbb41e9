#pragma once

#include "Prompter.h"

namespace pvsm::cli {

// Answers the core's questions without a person: messages go to standard
// error, file choices return the path given on the command line, a replace
// question is answered by the --overwrite flag, the question whether to make a
// video without its music by --without-music, and any other yes/no question
// (going on with little free disk space, for one) by the --yes flag.
class CliPrompter : public Prompter
{
public:
    QString savePath;
    QString openPath;
    bool overwrite = false;
    bool yes = false;
    // Answer for "go on without the music that failed?" (--without-music):
    // a question of its own that --overwrite must not answer.
    bool withoutMusic = false;
    // Answer for the "save changes?" question (New, Open, exit).
    Answer savePromptAnswer = Answer::No;

    Answer ask(const QString &text, PromptButtons buttons, PromptIcon icon, const QString &title) override;
    void inform(const QString &text, PromptIcon icon) override;
    QString chooseSaveFile(const FileDialogRequest &request) override;
    QString chooseOpenFile(const FileDialogRequest &request) override;
};

// Writes a line in UTF-8 to standard output / standard error.
void out(const QString &line);
void err(const QString &line);

} // namespace pvsm::cli
