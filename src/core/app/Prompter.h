#pragma once

#include <QString>
#include <QStringList>

namespace pvsm {

enum class Answer { Yes, No, Cancel };
enum class PromptIcon { Information, Warning, Error, Question };
enum class PromptButtons { Ok, YesNo, YesNoCancel };

struct FileDialogRequest
{
    QString title;
    QString filterName;    // e.g. the "project file" description shown to the user
    QStringList patterns;  // e.g. {"*.aps"}
    QString defaultSuffix; // without the dot
    QString initialDir;
    QString initialName;
};

// The question before an existing file is replaced, asked by every job that
// writes a file the user named; a prompter without a person (the CLI) knows
// it by isReplaceQuestion() and answers it by its own option.
inline QString replaceQuestionText(const QString &fileName)
{
    return QStringLiteral("文件 '") + fileName + QStringLiteral("' 已经存在，要替换为新的文件吗？");
}
inline bool isReplaceQuestion(const QString &text)
{
    return text.startsWith(QStringLiteral("文件 '")) && text.endsWith(QStringLiteral("' 已经存在，要替换为新的文件吗？"));
}

// The core never shows a window: every question or message for the user goes
// through this interface, which the GUI, the CLI and the tests implement.
// Calls come from the thread that runs the job.
class Prompter
{
public:
    virtual ~Prompter() = default;

    virtual Answer ask(const QString &text, PromptButtons buttons, PromptIcon icon,
                       const QString &title) = 0;
    virtual void inform(const QString &text, PromptIcon icon) = 0;
    // Returns the chosen path, or an empty string when the user cancelled.
    virtual QString chooseSaveFile(const FileDialogRequest &request) = 0;
    virtual QString chooseOpenFile(const FileDialogRequest &request) = 0;
    // Lets the user pick one of `items` (a codec, for example). Returns its
    // index, or -1 when the user cancelled or nobody can choose.
    virtual int chooseItem(const QString &title, const QString &label, const QStringList &items)
    {
        Q_UNUSED(title);
        Q_UNUSED(label);
        Q_UNUSED(items);
        return -1;
    }
};

} // namespace pvsm
