#pragma once

#include "ListCommands.h"
#include "ProjectLists.h"

namespace pvsm::ui {

// Adds songs as addSongs() does (with the lyric files found beside them). The
// songs are probed before the command is built (planSongAdditions(), on a
// worker when the editor adds them); redo after undo appends the same songs
// without probing again. Nothing added: push nothing.
class AppendSongsCommand : public ListEditCommand
{
public:
    AppendSongsCommand(EditorContext &context, const QStringList &paths, const SongAdmissionProbe &probe);
    AppendSongsCommand(EditorContext &context, const SongAdditions &plan);
    const AddSongsResult &result() const { return m_result; }

private:
    AddSongsResult m_result;
};

// Removes the songs at `indices`, each with its lyric file (removeSongs()).
class RemoveSongsCommand : public ListEditCommand
{
public:
    RemoveSongsCommand(EditorContext &context, std::vector<int> indices);
};

// Empties the music and lyric lists (after the user confirmed).
class ClearSongsCommand : public ListEditCommand
{
public:
    explicit ClearSongsCommand(EditorContext &context);
};

class MoveSongCommand : public MoveItemCommand
{
public:
    MoveSongCommand(EditorContext &context, int index, int delta);
};

// Sets LyricFolder and searches the lyric files of every song again.
class LyricFolderCommand : public ListEditCommand
{
public:
    LyricFolderCommand(EditorContext &context, const QString &folder);
};

} // namespace pvsm::ui
