#include "EditorContext.h"

#include "ProjectSession.h"
#include "StartUp.h"

#include <QUndoStack>

namespace pvsm::ui {

const Workspace &EditorContext::workspace() const { return m_core.workspace(); }

ProjectSession &EditorContext::session() { return m_core.session(); }

Project &EditorContext::project() { return m_core.session().project(); }

void EditorContext::push(QUndoCommand *command)
{
    if (!command) return;
    m_undo.push(command);
}

void EditorContext::choosePictureAlone(int index)
{
    setCurrentPicture(index);
    if (m_currentPicture >= 0) emit pictureChosenAlone(m_currentPicture);
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

const FramePackages &EditorContext::framePackages()
{
    if (!m_framePackages) m_framePackages = LoadFramePackages(workspace());
    return *m_framePackages;
}

void EditorContext::reloadFramePackages()
{
    m_framePackages = LoadFramePackages(workspace());
    m_frameValid = false;
}

const QByteArray &EditorContext::pictureFrameBytes()
{
    const Settings &s = project().settings;
    if (m_frameValid && m_frame.pictureFrameNum == s.pictureFrameNum && m_frameImage == s.pictureFrameImage)
        return m_frame.bytes;
    m_frame.pictureFrameNum = s.pictureFrameNum;
    m_frameImage = s.pictureFrameImage;
    m_frameValid = true;
    if (s.pictureFrameNum > 0)
        m_frame.bytes = framePackages().frameBytes(s.pictureFrameNum);
    else if (s.pictureFrameNum == -1)
        m_frame.bytes = OwnFrameBytes(s.pictureFrameImage);
    else if (s.pictureFrameNum == -2)
        m_frame.bytes = TestFrameBytes(workspace());
    else
        m_frame.bytes.clear();
    session().writeContext().framePictureLoaded = !m_frame.bytes.isEmpty();
    return m_frame.bytes;
}

void EditorContext::restoreFrame(bool fullProjectLoad)
{
    Settings &s = project().settings;
    const FrameChoice restored = RestoreFrame(s, framePackages(), fullProjectLoad, !project().pictures.empty());
    s.pictureFrameNum = restored.pictureFrameNum;
    m_frame = restored;
    m_frameImage = s.pictureFrameImage;
    m_frameValid = true;
    session().writeContext().framePictureLoaded = !m_frame.bytes.isEmpty();
}

} // namespace pvsm::ui
