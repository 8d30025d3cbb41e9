#include "PictureListCommands.h"

#include "EditorContext.h"
#include "ProjectSession.h"
#include "SettingsCommands.h"

#include <algorithm>

namespace pvsm::ui {

namespace {

// The list keeps its current picture; a list that had none selects its first.
void keepOrSelectFirstPicture(EditorContext &context)
{
    context.setCurrentPicture(std::max(context.currentPicture(), 0));
}

// What addPictures() takes, worked out on a copy of the list.
std::pair<AddPicturesResult, std::vector<Picture>> planPictures(EditorContext &context, const QStringList &paths,
                                                                const PictureCheck &isPicture)
{
    Project trial;
    trial.settings = context.project().settings;
    trial.pictures = context.project().pictures;
    const size_t before = trial.pictures.size();
    AddPicturesResult result = addPictures(trial, paths, context.session().environment(), isPicture);
    return {result, std::vector<Picture>(trial.pictures.begin() + qsizetype(before), trial.pictures.end())};
}

} // namespace

AppendPicturesCommand::AppendPicturesCommand(EditorContext &context, const QStringList &paths,
                                             const PictureCheck &isPicture)
    : AppendPicturesCommand(context, planPictures(context, paths, isPicture))
{
}

AppendPicturesCommand::AppendPicturesCommand(EditorContext &context, Plan plan)
    : ListEditCommand(context, QStringLiteral("添加图片"),
                      [added = std::move(plan.second)](EditorContext &c) {
                          auto &pictures = c.project().pictures;
                          pictures.insert(pictures.end(), added.begin(), added.end());
                          keepOrSelectFirstPicture(c);
                      }),
      m_result(std::move(plan.first))
{
}

RemovePicturesCommand::RemovePicturesCommand(EditorContext &context, std::vector<int> indices)
    : ListEditCommand(context, QStringLiteral("删除图片"), [indices = std::move(indices)](EditorContext &c) {
          removePictures(c.project(), indices);
          const int first = indices.empty() ? 0 : std::max(0, *std::min_element(indices.begin(), indices.end()));
          const int count = int(c.project().pictures.size());
          c.setCurrentPicture(count == 0 ? -1 : std::min(first, count - 1));
      })
{
}

ClearPicturesCommand::ClearPicturesCommand(EditorContext &context)
    : ListEditCommand(context, QStringLiteral("清空图片"), [](EditorContext &c) {
          clearPictures(c.project());
          c.session().workspace().dropChosenIcon();
          c.setCurrentPicture(-1);
      })
{
}

MovePictureCommand::MovePictureCommand(EditorContext &context, int index, int delta)
    : MoveItemCommand(context, delta < 0 ? QStringLiteral("上移图片") : QStringLiteral("下移图片"), movePicture,
                      [&context](int i) { context.setCurrentPicture(i); }, index, delta)
{
}

ApplyCaptionToAllCommand::ApplyCaptionToAllCommand(EditorContext &context, int from)
    : ListEditCommand(context, QStringLiteral("应用静态文字到所有图片"),
                      [from](EditorContext &c) { applyCaptionToAll(c.project(), from); })
{
}

PictureUpdateCommand::PictureUpdateCommand(EditorContext &context, const QString &text, int index,
                                           const Picture &before, const Picture &after, const QString &mergeKey)
    : QUndoCommand(text), m_context(context), m_index(index), m_before(before), m_after(after), m_mergeKey(mergeKey)
{
}

int PictureUpdateCommand::id() const { return m_mergeKey.isEmpty() ? -1 : kPictureUpdateCommandId; }

bool PictureUpdateCommand::mergeWith(const QUndoCommand *other)
{
    const auto *next = dynamic_cast<const PictureUpdateCommand *>(other);
    if (!next || next->m_mergeKey != m_mergeKey || next->m_index != m_index) return false;
    m_after = next->m_after;
    setObsolete(m_after == m_before);
    return true;
}

void PictureUpdateCommand::set(const Picture &picture)
{
    auto &pictures = m_context.project().pictures;
    if (m_index >= 0 && size_t(m_index) < pictures.size()) pictures[size_t(m_index)] = picture;
    m_context.notifyProjectChanged();
}

void PictureUpdateCommand::redo() { set(m_after); }

void PictureUpdateCommand::undo() { set(m_before); }

void pushPictureChange(EditorContext &context, const QString &text, int index,
                       const std::function<void(Picture &)> &change, const QString &mergeKey)
{
    const auto &pictures = context.project().pictures;
    if (context.busy() || index < 0 || size_t(index) >= pictures.size()) return;
    const Picture before = pictures[size_t(index)];
    Picture after = before;
    change(after);
    if (after == before) return;
    context.push(new PictureUpdateCommand(context, text, index, before, after, mergeKey));
}

} // namespace pvsm::ui
