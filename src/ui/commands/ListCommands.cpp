#include "ListCommands.h"

#include "EditorContext.h"

namespace pvsm::ui {

ListEditCommand::ListEditCommand(EditorContext &context, const QString &text, Apply apply)
    : QUndoCommand(text), m_context(context), m_apply(std::move(apply))
{
    const Project &p = context.project();
    m_before = {p.pictures, p.songs, p.lyricFiles, p.settings, context.currentPicture(), context.currentSong()};
}

void ListEditCommand::redo()
{
    m_apply(m_context);
    m_context.notifyProjectChanged();
}

void ListEditCommand::undo()
{
    Project &p = m_context.project();
    p.pictures = m_before.pictures;
    p.songs = m_before.songs;
    p.lyricFiles = m_before.lyricFiles;
    p.settings = m_before.settings;
    m_context.setCurrentPicture(m_before.currentPicture);
    m_context.setCurrentSong(m_before.currentSong);
    m_context.notifyProjectChanged();
}

MoveItemCommand::MoveItemCommand(EditorContext &context, const QString &text, Move move,
                                 std::function<void(int)> select, int index, int delta)
    : QUndoCommand(text), m_context(context), m_move(std::move(move)), m_select(std::move(select)), m_index(index),
      m_delta(delta)
{
}

void MoveItemCommand::redo()
{
    m_move(m_context.project(), m_index, m_delta);
    m_select(m_index + m_delta);
    m_context.notifyProjectChanged();
}

void MoveItemCommand::undo()
{
    m_move(m_context.project(), m_index + m_delta, -m_delta);
    m_select(m_index);
    m_context.notifyProjectChanged();
}

} // namespace pvsm::ui
