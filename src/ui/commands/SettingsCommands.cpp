#include "SettingsCommands.h"

#include "EditorContext.h"
#include "ProjectSession.h"

namespace pvsm::ui {

SettingsCommand::SettingsCommand(EditorContext &context, const QString &text, const Settings &before,
                                 const Settings &after, const QString &mergeKey)
    : QUndoCommand(text), m_context(context), m_before(before), m_after(after), m_mergeKey(mergeKey)
{
}

bool SettingsCommand::mergeWith(const QUndoCommand *other)
{
    const auto *next = dynamic_cast<const SettingsCommand *>(other);
    if (!next || next->m_mergeKey != m_mergeKey || &next->m_context != &m_context) return false;
    m_after = next->m_after;
    setObsolete(m_after == m_before);
    return true;
}

void SettingsCommand::redo()
{
    m_context.project().settings = m_after;
    m_context.notifyProjectChanged();
}

void SettingsCommand::undo()
{
    m_context.project().settings = m_before;
    m_context.notifyProjectChanged();
}

SettingsCommand *makeSettingsCommand(EditorContext &context, const QString &text,
                                     const std::function<void(Settings &)> &change, const QString &mergeKey)
{
    const Settings &before = context.project().settings;
    Settings after = before;
    change(after);
    if (after == before) return nullptr;
    return new SettingsCommand(context, text, before, after, mergeKey);
}

void pushSettingsChange(EditorContext &context, const QString &text, const std::function<void(Settings &)> &change,
                        const QString &mergeKey)
{
    if (context.busy()) return;
    context.push(makeSettingsCommand(context, text, change, mergeKey));
}

} // namespace pvsm::ui
