#include "EditorContext.h"

#include "StartUp.h"

#include <QUndoStack>

namespace pvsm::ui {

ProjectSession &EditorContext::session() { return m_core.session(); }

Project &EditorContext::project() { return m_core.session().project(); }

void EditorContext::push(QUndoCommand *command)
{
    if (!command) return;
    m_undo.push(command);
}

void EditorContext::setCurrentPicture(int index)
{
    const int count = int(project().pictures.size());
    const int clamped = count == 0 ? -1 : std::clamp(index, 0, count - 1);
    if (clamped == m_currentPicture) return;
    m_currentPicture = clamped;
    emit currentPictureChanged(clamped);
}

void EditorContext::setCurrentSong(int index)
{
    const int count = int(project().songs.size());
    const int clamped = count == 0 ? -1 : std::clamp(index, 0, count - 1);
    if (clamped == m_currentSong) return;
    m_currentSong = clamped;
    emit currentSongChanged(clamped);
}

bool EditorContext::busy() const { return m_core.session().busy(); }

} // namespace pvsm::ui
