#pragma once

#include "FrameList.h"

#include <QObject>

class QUndoStack;
class QUndoCommand;

namespace pvsm {
class AppCore;
class ProjectSession;
struct Project;
} // namespace pvsm

namespace pvsm::ui {

class GuiPrompter;

// What every part of the editor window shares: the core's session (the one
// open project), the undo stack every edit goes through, the prompter, and
// the editor state that is not stored (the selected picture and song).
// Widgets change the project only by pushing a QUndoCommand here; after any
// change of the project (an edit, its undo or redo, New, Open) the window
// emits projectChanged() and every view refreshes from the project.
class EditorContext : public QObject
{
    Q_OBJECT
public:
    EditorContext(AppCore &core, GuiPrompter &prompter, QUndoStack &undo, QObject *parent = nullptr)
        : QObject(parent), m_core(core), m_prompter(prompter), m_undo(undo)
    {
    }

    AppCore &core() { return m_core; }
    const Workspace &workspace() const;
    ProjectSession &session();
    Project &project();
    GuiPrompter &prompter() { return m_prompter; }
    QUndoStack &undoStack() { return m_undo; }

    // Runs the command (redo) and keeps it for undo.
    void push(QUndoCommand *command);

    // 0-based index of the selected picture, -1 for none (an empty list).
    int currentPicture() const { return m_currentPicture; }
    void setCurrentPicture(int index);
    // A picture picked by itself (a click on its thumbnail): it becomes current
    // and the only one selected in the picture list, even when it was current.
    void choosePictureAlone(int index);
    int currentSong() const { return m_currentSong; }
    void setCurrentSong(int index);

    // Set while a build or export runs (the session's busy flag): commands are ignored.
    bool busy() const;

    // The picture-frame packages found beside the program (read on first use).
    const FramePackages &framePackages();
    void reloadFramePackages();
    // The frame picture in memory. It follows the project's PictureFrameNum
    // and PictureFrameImage, so undoing a change of frame brings its picture
    // back; empty for no frame or one that cannot be read.
    const QByteArray &pictureFrameBytes();
    // After a project or the last run's settings were loaded: the frame rules
    // of a load (the test frame, and frames that cannot be had, become none).
    void restoreFrame(bool fullProjectLoad);

signals:
    // The project changed: every view reads it again.
    void projectChanged();
    void currentPictureChanged(int index);
    void pictureChosenAlone(int index);
    void currentSongChanged(int index);
    // A page asks for the help window at `anchor`.
    void helpRequested(const QString &anchor);
    // A click on an entry of a page's effect list asks for its live preview
    // in the editing view: a transition, a headline effect, the lyric style.
    void transitionPreviewRequested(int id);
    void headlinePreviewRequested(int value);
    void lyricPreviewRequested();

public:
    void notifyProjectChanged() { emit projectChanged(); }

private:
    AppCore &m_core;
    GuiPrompter &m_prompter;
    QUndoStack &m_undo;
    int m_currentPicture = -1;
    int m_currentSong = -1;
    std::optional<FramePackages> m_framePackages;
    FrameChoice m_frame;        // the frame picture held for...
    QString m_frameImage;       // ...these settings
    bool m_frameValid = false;
};

} // namespace pvsm::ui
