#pragma once

#include "Project.h"

#include <QUndoCommand>

#include <optional>

namespace pvsm::ui {

class EditorContext;

// A confirmed text style: the settings it changed and, for the headline, the
// picture whose own headline style took the copy. Undo puts both back.
class TextStyleCommand : public QUndoCommand
{
public:
    // Null when storing `values` for `kind` would change nothing.
    static TextStyleCommand *make(EditorContext &context, int kind, const TextStyle &values);

    void redo() override;
    void undo() override;

private:
    struct State
    {
        Settings settings;
        std::optional<Picture> picture;
        bool operator==(const State &) const = default;
    };
    TextStyleCommand(EditorContext &context, const QString &text, int picture, State before, State after);
    void set(const State &state);

    EditorContext &m_context;
    int m_picture;
    State m_before, m_after;
};

} // namespace pvsm::ui
