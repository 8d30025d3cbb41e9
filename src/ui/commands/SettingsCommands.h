#pragma once

#include "Project.h"

#include <QUndoCommand>

#include <functional>

namespace pvsm::ui {

class EditorContext;

// Ids of the commands that merge (QUndoCommand::id).
enum CommandId { kSettingsCommandId = 1200, kPictureUpdateCommandId };

// A change of the project's global settings from one value to another. Commands
// with the same non-empty merge key that follow each other become one (typing
// into a text box, or typing and then the box's check on leaving it); a merge
// that ends where it began leaves nothing to undo.
class SettingsCommand : public QUndoCommand
{
public:
    SettingsCommand(EditorContext &context, const QString &text, const Settings &before, const Settings &after,
                    const QString &mergeKey = {});

    int id() const override { return m_mergeKey.isEmpty() ? -1 : kSettingsCommandId; }
    bool mergeWith(const QUndoCommand *other) override;
    void redo() override;
    void undo() override;

private:
    EditorContext &m_context;
    Settings m_before;
    Settings m_after;
    QString m_mergeKey;
};

// A command for `change` applied to the current settings; null when it changes
// nothing (a click on the option already chosen puts nothing on the stack).
SettingsCommand *makeSettingsCommand(EditorContext &context, const QString &text,
                                     const std::function<void(Settings &)> &change, const QString &mergeKey = {});

// Pushes makeSettingsCommand(...) when it changes something.
void pushSettingsChange(EditorContext &context, const QString &text, const std::function<void(Settings &)> &change,
                        const QString &mergeKey = {});

} // namespace pvsm::ui
