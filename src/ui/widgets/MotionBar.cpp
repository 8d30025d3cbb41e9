#include "MotionBar.h"

#include "EditingView.h"
#include "EditorContext.h"
#include "MotionCommands.h"
#include "MotionOverlay.h"
#include "PictureInfo.h"
#include "ProjectSession.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QToolButton>
#include <QtConcurrent>

namespace pvsm::ui {

namespace {

QToolButton *toolButton(const QString &name, const QString &text, const QString &tip, QWidget *parent)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(tip);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setFocusPolicy(Qt::StrongFocus);
    return b;
}

} // namespace

MotionBar::MotionBar(EditorContext &context, EditingView &view, QWidget *parent)
    : QWidget(parent), m_context(context), m_view(view)
{
    setObjectName(QStringLiteral("FraMotion"));
    m_overlay = new MotionOverlay(view);
    m_overlay->setEditAllowed([this] { return !m_context.busy(); });
    m_overlay->setPlayStill([this](QSize size) {
        Project shown = m_context.project();
        shown.settings.enableCaption = false;
        const ProjectEnvironment &env = m_context.session().environment();
        return QtConcurrent::run(ComposeEditingStill, shown, m_context.currentPicture(), EditingText::Slide, size,
                                 QSize(env.screenWidth, env.screenHeight), QByteArray());
    });

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    m_mode = toolButton(QStringLiteral("CmdMotionMode"), QStringLiteral("运动模式(&M)"),
                        QStringLiteral("在编辑区显示并编辑当前图片的运动：起点框和终点框"), this);
    m_mode->setCheckable(true);
    row->addWidget(m_mode);

    m_tools = new QWidget(this);
    auto *tools = new QHBoxLayout(m_tools);
    tools->setContentsMargins(0, 0, 0, 0);
    tools->setSpacing(6);
    m_on = new QCheckBox(QStringLiteral("本图运动(&O)"), m_tools);
    m_on->setObjectName(QStringLiteral("ChkMotion"));
    m_on->setToolTip(QStringLiteral("当前图片在显示时间内从起点框缓慢移到终点框"));
    tools->addWidget(m_on);
    m_swap = toolButton(QStringLiteral("CmdMotionSwap"), QStringLiteral("交换起点终点(&X)"),
                        QStringLiteral("交换起点框和终点框，运动方向相反"), m_tools);
    tools->addWidget(m_swap);
    auto *curveLabel = new QLabel(QStringLiteral("曲线(&Q)"), m_tools);
    m_curve = new QComboBox(m_tools);
    m_curve->setObjectName(QStringLiteral("CboMotionCurve"));
    m_curve->addItems({QStringLiteral("线性"), QStringLiteral("缓入缓出")});
    m_curve->setToolTip(QStringLiteral("线性：匀速运动；缓入缓出：开始和结束时较慢"));
    curveLabel->setBuddy(m_curve);
    tools->addWidget(curveLabel);
    tools->addWidget(m_curve);
    m_play = toolButton(QStringLiteral("CmdMotionPlay"), QStringLiteral("播放(&Y)"),
                        QStringLiteral("在编辑区按图片的显示时间播放运动（空格键）"), m_tools);
    m_play->setCheckable(true);
    tools->addWidget(m_play);
    row->addWidget(m_tools);
    row->addStretch(1);
    m_auto = new QCheckBox(QStringLiteral("自动运动(&N)"), this);
    m_auto->setObjectName(QStringLiteral("ChkAutoMotion"));
    m_auto->setToolTip(QStringLiteral("为所有没有自己运动的图片加上轻微的自动运动"));
    row->addWidget(m_auto);
    m_tools->setVisible(false);

    connect(m_mode, &QToolButton::toggled, this, &MotionBar::setActive);
    connect(m_on, &QCheckBox::toggled, this, [this](bool on) {
        pushMotionOn(m_context, on, area());
        refresh(); // a refused change puts the box back
    });
    connect(m_swap, &QToolButton::clicked, this, [this] { pushMotionSwap(m_context); });
    connect(m_curve, &QComboBox::activated, this, [this](int index) { pushMotionCurve(m_context, index); });
    connect(m_play, &QToolButton::clicked, m_overlay, &MotionOverlay::togglePlay);
    connect(m_overlay, &MotionOverlay::playingChanged, this, [this](bool playing) {
        const QSignalBlocker block(m_play);
        m_play->setChecked(playing);
        m_play->setText(playing ? QStringLiteral("停止(&Y)") : QStringLiteral("播放(&Y)"));
    });
    connect(m_auto, &QCheckBox::toggled, this, [this](bool on) {
        pushAutoMotion(m_context, on);
        refresh();
    });
    connect(m_overlay, &MotionOverlay::edited, this,
            [this](MotionEnd end, const QRectF &rect, MotionEdit edit) { pushMotionRect(m_context, end, rect, edit); });
    connect(&m_context, &EditorContext::projectChanged, this, &MotionBar::refresh);
    connect(&m_context, &EditorContext::currentPictureChanged, this, &MotionBar::refresh);
    connect(&m_probing, &QFutureWatcher<QSize>::finished, this, [this] {
        m_sizes.insert(m_probed, m_probing.result());
        refresh();
    });
    refresh();
}

void MotionBar::setActive(bool on)
{
    if (on == m_active) return;
    m_active = on;
    {
        const QSignalBlocker block(m_mode);
        m_mode->setChecked(on);
    }
    m_tools->setVisible(on);
    m_overlay->setVisible(on);
    if (on) {
        m_overlay->raise();
        m_overlay->setFocus(Qt::OtherFocusReason);
    }
    refresh();
    emit activeChanged(on);
}

void MotionBar::setAvailable(bool available)
{
    if (!available) setActive(false);
    setVisible(available);
}

MotionArea MotionBar::area()
{
    const Project &project = m_context.project();
    const int index = m_context.currentPicture();
    if (index < 0 || size_t(index) >= project.pictures.size()) return {};
    const auto known = m_sizes.constFind(project.pictures[size_t(index)].path);
    if (known == m_sizes.cend()) return {};
    const ProjectEnvironment &env = m_context.session().environment();
    return motionArea(*known, project.settings.imgDrawScale, QSize(env.screenWidth, env.screenHeight));
}

void MotionBar::probe(const QString &path)
{
    if (m_probing.isRunning() || m_sizes.contains(path)) return;
    m_probed = path;
    m_probing.setFuture(QtConcurrent::run([path] { return GetImageInfo(path).displaySize(); }));
}

void MotionBar::refresh()
{
    const Project &project = m_context.project();
    const int index = m_context.currentPicture();
    const bool hasPicture = index >= 0 && size_t(index) < project.pictures.size();
    const PictureMotion motion = hasPicture ? project.pictures[size_t(index)].motion : PictureMotion{};
    if (hasPicture && !m_sizes.contains(project.pictures[size_t(index)].path))
        probe(project.pictures[size_t(index)].path);
    const MotionArea a = area();
    const bool idle = !m_context.busy();

    {
        const QSignalBlocker blockOn(m_on);
        m_on->setChecked(motion.on);
        const QSignalBlocker blockAuto(m_auto);
        m_auto->setChecked(project.settings.autoMotion);
    }
    m_curve->setCurrentIndex(std::clamp(int(motion.curve), 0, 1));
    m_mode->setEnabled(hasPicture);
    m_on->setEnabled(idle && a.valid());
    m_swap->setEnabled(idle && motion.on && a.valid());
    m_curve->setEnabled(idle && motion.on);
    m_play->setEnabled(motion.on && a.valid());
    m_auto->setEnabled(idle);
    if (!hasPicture && m_active) setActive(false);

    QString hint;
    if (hasPicture && !motion.on) {
        if (probing() && !a.valid())
            hint.clear();
        else if (!a.valid())
            hint = QStringLiteral("无法读取这张图片的大小，不能为它设置运动");
        else if (project.settings.autoMotion)
            hint = QStringLiteral("这张图片使用自动运动；勾选“本图运动”可自己设置起点和终点");
        else
            hint = QStringLiteral("这张图片没有运动；勾选“本图运动”后设置起点和终点");
    }
    m_overlay->setHint(hint);
    m_overlay->setMotion(motion, a, hasPicture ? slideSeconds(project, size_t(index)) : 0);
}

} // namespace pvsm::ui
