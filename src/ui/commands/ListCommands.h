#pragma once

#include "Project.h"

#include <QUndoCommand>

#include <functional>

namespace pvsm::ui {

class EditorContext;

// A list edit whose undo puts back exactly what it may have touched: the three
// lists, the settings (clearing resets the background and the auxiliary
// pictures) and the selected picture and song. Its redo runs `apply` on the
// project again, which gives the same result from the same state.
class ListEditCommand : public QUndoCommand
{
public:
    using Apply = std::function<void(EditorContext &)>;
    ListEditCommand(EditorContext &context, const QString &text, Apply apply);

    void redo() override;
    void undo() override;

private:
    struct Before
    {
        std::vector<Picture> pictures;
        std::vector<Song> songs;
        QStringList lyricFiles;
        Settings settings;
        int currentPicture = -1;
        int currentSong = -1;
    };
    EditorContext &m_context;
    Apply m_apply;
    Before m_before;
};

// Exchanges an item with its neighbour; undo exchanges them back. The moved
// item stays selected.
class MoveItemCommand : public QUndoCommand
{
public:
    using Move = std::function<bool(Project &, int index, int delta)>;
    MoveItemCommand(EditorContext &context, const QString &text, Move move, std::function<void(int)> select, int index,
                    int delta);
    void redo() override;
    void undo() override;

private:
    EditorContext &m_context;
    Move m_move;
    std::function<void(int)> m_select;
    int m_index;
    int m_delta;
};

} // namespace pvsm::ui
