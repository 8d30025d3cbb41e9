#pragma once

#include "Prompter.h"

class QWidget;

namespace pvsm::ui {

// Message boxes and file dialogs for the core's questions. Window thread only
// (a job on a worker thread reaches it through WorkerPrompter). Texts are
// shown as plain text: file names and captions are the user's, never markup.
class GuiPrompter : public Prompter
{
public:
    explicit GuiPrompter(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }

    Answer ask(const QString &text, PromptButtons buttons, PromptIcon icon, const QString &title) override;
    void inform(const QString &text, PromptIcon icon) override;
    QString chooseSaveFile(const FileDialogRequest &request) override;
    QString chooseOpenFile(const FileDialogRequest &request) override;
    int chooseItem(const QString &title, const QString &label, const QStringList &items) override;

private:
    QWidget *m_parent;
};

} // namespace pvsm::ui
