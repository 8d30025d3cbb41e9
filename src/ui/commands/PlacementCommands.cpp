#include "PlacementCommands.h"

#include "EditorContext.h"
#include "PictureListCommands.h"
#include "ProjectSession.h"
#include "SettingsCommands.h"

namespace pvsm::ui {

namespace {

// Undo texts of each target.
QString placementText(PlacementTarget target)
{
    switch (target) {
    case PlacementTarget::Picture: return QStringLiteral("移动图片位置");
    case PlacementTarget::Caption: return QStringLiteral("放置静态文字");
    case PlacementTarget::Headline: return QStringLiteral("放置动态文字");
    case PlacementTarget::Lyric: return QStringLiteral("放置歌词");
    case PlacementTarget::Title: return QStringLiteral("放置片头片尾文字");
    case PlacementTarget::None: break;
    }
    return {};
}

// The text box of `target`, on the current picture or in the settings.
TextBox *boxOf(PlacementTarget target, Picture *picture, Settings *settings)
{
    switch (target) {
    case PlacementTarget::Caption: return picture ? &picture->captionBox : nullptr;
    case PlacementTarget::Headline: return picture ? &picture->headlineBox : nullptr;
    case PlacementTarget::Lyric: return settings ? &settings->lyricBox : nullptr;
    case PlacementTarget::Title: return settings ? &settings->titleBox : nullptr;
    case PlacementTarget::Picture:
    case PlacementTarget::None: break;
    }
    return nullptr;
}

bool onPicture(PlacementTarget target)
{
    return target == PlacementTarget::Picture || target == PlacementTarget::Caption
        || target == PlacementTarget::Headline;
}

// Applies `change` to the current picture or to the settings, as one command.
void pushChange(EditorContext &context, PlacementTarget target, const std::function<void(Picture *, Settings *)> &change,
                const QString &mergeKey)
{
    if (context.busy() || context.currentPicture() < 0 || target == PlacementTarget::None) return;
    if (onPicture(target)) {
        pushPictureChange(context, placementText(target), context.currentPicture(),
                          [&](Picture &p) { change(&p, nullptr); }, mergeKey);
    } else {
        pushSettingsChange(context, placementText(target), [&](Settings &s) { change(nullptr, &s); }, mergeKey);
    }
}

} // namespace

void pushPlacement(EditorContext &context, PlacementTarget target, const QRect &rect, QSize view, QSize editingScreen)
{
    pushChange(
        context, target,
        [&](Picture *p, Settings *s) {
            if (target == PlacementTarget::Picture) {
                const QPoint at = storedPicturePosition(rect.topLeft(), view, editingScreen);
                p->posX = at.x();
                p->posY = at.y();
            } else if (TextBox *box = boxOf(target, p, s)) {
                *box = placedBox(*box, rect, view, editingScreen, target == PlacementTarget::Lyric);
            }
        },
        {});
}

void pushNudge(EditorContext &context, PlacementTarget target, QPoint direction, int step, QPoint shownAt)
{
    pushChange(
        context, target,
        [&](Picture *p, Settings *s) {
            if (target == PlacementTarget::Picture) {
                QPoint from(p->posX, p->posY);
                if (from == QPoint(0, 0)) from = shownAt;
                const QPoint at = nudgedPicturePosition(from, direction, step);
                p->posX = at.x();
                p->posY = at.y();
            } else if (TextBox *box = boxOf(target, p, s)) {
                *box = nudgedBox(*box, direction, step);
            }
        },
        QStringLiteral("nudge ") + placementText(target));
}

} // namespace pvsm::ui
