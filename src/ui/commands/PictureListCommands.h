#pragma once

#include "ListCommands.h"
#include "ProjectLists.h"

namespace pvsm::ui {

// Adds pictures as addPictures() does. The pictures are made when the command
// is built, so redo after undo appends the very same ones without reading the
// files again. Nothing added: push nothing (result() tells what was refused).
class AppendPicturesCommand : public ListEditCommand
{
public:
    AppendPicturesCommand(EditorContext &context, const QStringList &paths, const PictureCheck &isPicture);
    const AddPicturesResult &result() const { return m_result; }

private:
    using Plan = std::pair<AddPicturesResult, std::vector<Picture>>;
    AppendPicturesCommand(EditorContext &context, Plan plan);
    AddPicturesResult m_result;
};

// Removes the pictures at `indices`; removing every picture clears the list
// as clearPictures() does. The picture that takes the first removed one's
// place is selected.
class RemovePicturesCommand : public ListEditCommand
{
public:
    RemovePicturesCommand(EditorContext &context, std::vector<int> indices);
};

// Clears the list (after the user confirmed).
class ClearPicturesCommand : public ListEditCommand
{
public:
    explicit ClearPicturesCommand(EditorContext &context);
};

class MovePictureCommand : public MoveItemCommand
{
public:
    // `delta` -1 up, +1 down; check canSwapWithNeighbour() before pushing.
    MovePictureCommand(EditorContext &context, int index, int delta);
};

// Copies the caption and caption box of picture `from` to every picture.
class ApplyCaptionToAllCommand : public ListEditCommand
{
public:
    ApplyCaptionToAllCommand(EditorContext &context, int from);
};

// A change of one picture's own settings (caption, headline, effect). Typing
// into the same box of the same picture merges into one command.
class PictureUpdateCommand : public QUndoCommand
{
public:
    PictureUpdateCommand(EditorContext &context, const QString &text, int index, const Picture &before,
                         const Picture &after, const QString &mergeKey = {});
    int id() const override;
    bool mergeWith(const QUndoCommand *other) override;
    void redo() override;
    void undo() override;

private:
    void set(const Picture &picture);
    EditorContext &m_context;
    int m_index;
    Picture m_before;
    Picture m_after;
    QString m_mergeKey;
};

// Pushes a PictureUpdateCommand for `change` applied to picture `index` when
// that picture exists and the change changes it.
void pushPictureChange(EditorContext &context, const QString &text, int index,
                       const std::function<void(Picture &)> &change, const QString &mergeKey = {});

} // namespace pvsm::ui
