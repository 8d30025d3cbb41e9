#include "MotionCommands.h"

#include "EditorContext.h"
#include "PictureListCommands.h"
#include "ProjectSession.h"
#include "SettingsCommands.h"

namespace pvsm::ui {

namespace {

void pushChange(EditorContext &context, const QString &text, const std::function<void(PictureMotion &)> &change,
                const QString &mergeKey = {})
{
    pushPictureChange(context, text, context.currentPicture(), [&](Picture &p) { change(p.motion); }, mergeKey);
}

} // namespace

void pushMotionRect(EditorContext &context, MotionEnd end, const QRectF &rect, MotionEdit edit)
{
    if (end == MotionEnd::None || rect.isEmpty()) return;
    const bool start = end == MotionEnd::Start;
    QString text;
    switch (edit) {
    case MotionEdit::Move: text = start ? QStringLiteral("移动运动起点") : QStringLiteral("移动运动终点"); break;
    case MotionEdit::Resize:
        text = start ? QStringLiteral("调整运动起点大小") : QStringLiteral("调整运动终点大小");
        break;
    case MotionEdit::Keys: text = start ? QStringLiteral("用键盘调整运动起点") : QStringLiteral("用键盘调整运动终点"); break;
    }
    // Only key presses merge: each drag is a step of its own.
    const QString mergeKey = edit == MotionEdit::Keys ? QStringLiteral("motion keys ") + text : QString();
    pushChange(
        context, text, [&](PictureMotion &m) { (start ? m.start : m.end) = rect; }, mergeKey);
}

void pushMotionSwap(EditorContext &context)
{
    pushChange(context, QStringLiteral("交换运动起点和终点"), [](PictureMotion &m) { m = swappedMotion(m); });
}

void pushMotionOn(EditorContext &context, bool on, const MotionArea &area)
{
    pushChange(context, on ? QStringLiteral("打开图片运动") : QStringLiteral("关闭图片运动"), [&](PictureMotion &m) {
        if (on == m.on) return;
        if (on)
            m = motionSwitchedOn(m, area);
        else
            m.on = false;
    });
}

void pushMotionCurve(EditorContext &context, int curve)
{
    pushChange(context, QStringLiteral("修改运动曲线"), [curve](PictureMotion &m) { m.curve = curve; });
}

void pushAutoMotion(EditorContext &context, bool on)
{
    pushSettingsChange(context, on ? QStringLiteral("打开自动运动") : QStringLiteral("关闭自动运动"),
                       [on](Settings &s) { s.autoMotion = on; });
}

} // namespace pvsm::ui
