#pragma once

#include "Prompter.h"

class QWidget;

namespace pvsm::ui {

// Message boxes and file dialogs for the core's questions.
class GuiPrompter : public Prompter
{
public:
    explicit GuiPrompter(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }

    Answer ask(const QString &text, PromptButtons buttons, PromptIcon icon, const QString &title) override;
    void inform(const QString &text, PromptIcon icon) override;
    QString chooseSaveFile(const FileDialogRequest &request) override;
    QString chooseOpenFile(const FileDialogRequest &request) override;

private:
    QWidget *m_parent;
};

} // namespace pvsm::ui
