#include "TextStyleCommand.h"

#include "EditorContext.h"
#include "TextStyleRules.h"

namespace pvsm::ui {

namespace {

QString undoText(int kind)
{
    switch (kind) {
    case kStyleCaption: return QStringLiteral("修改静态文字样式");
    case kStyleHeadline: return QStringLiteral("修改动态文字样式");
    case kStyleLyrics: return QStringLiteral("修改歌词文字样式");
    case kStyleTitles: return QStringLiteral("修改片头片尾文字样式");
    default: return QStringLiteral("修改动态歌词颜色");
    }
}

} // namespace

TextStyleCommand *TextStyleCommand::make(EditorContext &context, int kind, const TextStyle &values)
{
    const Project &project = context.project();
    const int index = context.currentPicture();
    State before{project.settings, std::nullopt};
    if (index >= 0 && size_t(index) < project.pictures.size()) before.picture = project.pictures[size_t(index)];
    State after = before;
    storeStyleDialogValues(after.settings, after.picture ? &*after.picture : nullptr, kind, values);
    if (after == before) return nullptr;
    return new TextStyleCommand(context, undoText(kind), index, std::move(before), std::move(after));
}

TextStyleCommand::TextStyleCommand(EditorContext &context, const QString &text, int picture, State before, State after)
    : QUndoCommand(text), m_context(context), m_picture(picture), m_before(std::move(before)), m_after(std::move(after))
{
}

void TextStyleCommand::set(const State &state)
{
    Project &project = m_context.project();
    project.settings = state.settings;
    if (state.picture && m_picture >= 0 && size_t(m_picture) < project.pictures.size())
        project.pictures[size_t(m_picture)] = *state.picture;
    m_context.notifyProjectChanged();
}

void TextStyleCommand::redo() { set(m_after); }

void TextStyleCommand::undo() { set(m_before); }

} // namespace pvsm::ui
