#pragma once

#include "Prompter.h"

#include <QStringList>

#include <deque>

namespace pvsm::test {

// Records what the core tells the user and answers from a script.
class FakePrompter : public Prompter
{
public:
    std::deque<Answer> answers;     // consumed by ask(); Cancel when empty
    QStringList asked;              // texts of questions
    QStringList informed;           // texts of messages
    QString savePath;               // returned by chooseSaveFile
    QString openPath;               // returned by chooseOpenFile
    int saveDialogs = 0;
    int openDialogs = 0;
    FileDialogRequest lastRequest;

    Answer ask(const QString &text, PromptButtons, PromptIcon, const QString &) override
    {
        asked << text;
        if (answers.empty()) return Answer::Cancel;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    void inform(const QString &text, PromptIcon) override { informed << text; }
    QString chooseSaveFile(const FileDialogRequest &r) override
    {
        ++saveDialogs;
        lastRequest = r;
        return savePath;
    }
    QString chooseOpenFile(const FileDialogRequest &r) override
    {
        ++openDialogs;
        lastRequest = r;
        return openPath;
    }
};

} // namespace pvsm::test
