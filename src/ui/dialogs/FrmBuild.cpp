#include "FrmBuild.h"

#include "VideoExport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

namespace pvsm::ui {

namespace {

// Options that belong to one kind sit indented under its button.
QWidget *indented(QLayout *inner, QWidget *parent)
{
    auto *box = new QWidget(parent);
    inner->setContentsMargins(parent->style()->pixelMetric(QStyle::PM_IndicatorWidth) + 12, 0, 0, 0);
    box->setLayout(inner);
    return box;
}

} // namespace

FrmBuild::FrmBuild(Settings &settings, QSize editingScreen, QWidget *parent, int lastFrameRate)
    : QDialog(parent)
    , m_settings(settings)
{
    setObjectName(QStringLiteral("FrmBuild"));
    setWindowTitle(QStringLiteral("创建图片幻灯"));
    const bool tips = settings.isShowTip;

    m_optPackage = new QRadioButton(QStringLiteral("完整图片幻灯文件（包括图片和音乐）"), this);
    m_optPackage->setObjectName(QStringLiteral("OptPackage"));
    m_optPreview = new QRadioButton(QStringLiteral("本机播放图片幻灯文件（不打包图片和音乐）"), this);
    m_optPreview->setObjectName(QStringLiteral("OptPreview"));
    m_optExportAvi = new QRadioButton(QStringLiteral("保存为AVI视频文件（不支持“图片动态漂移”）"), this);
    m_optExportAvi->setObjectName(QStringLiteral("OptExportAvi"));

    m_chkIncludeFont = new QCheckBox(QStringLiteral("打包字体"), this);
    m_chkIncludeFont->setObjectName(QStringLiteral("ChkIncludeFont"));
    if (tips) {
        m_optPackage->setToolTip(QStringLiteral("图片、音乐和字体都保存在幻灯文件里，可以复制到其他电脑播放"));
        m_optPreview->setToolTip(QStringLiteral("图片和音乐留在本机原来的位置，幻灯文件较小，只能在本机播放"));
        m_chkIncludeFont->setToolTip(QStringLiteral("把文字使用的字体文件一起保存到幻灯文件里"));
    }

    m_lblVideoSize = new QLabel(QStringLiteral("帧大小："), this);
    m_lblVideoSize->setObjectName(QStringLiteral("LblVideoSize"));
    m_comboVideoSize = new QComboBox(this);
    m_comboVideoSize->setObjectName(QStringLiteral("ComboVideoSize"));
    for (const FrameSizeEntry &e : frameSizeList())
        m_comboVideoSize->addItem(QString::fromLatin1(e.text));
    m_comboVideoSize->setCurrentIndex(defaultFrameSizeIndex(editingScreen));
    m_lblVideoSize->setBuddy(m_comboVideoSize);
    // The file kind, in the order of Settings::videoFormat; the last one
    // chosen is offered again.
    m_lblVideoFormat = new QLabel(QStringLiteral("文件格式："), this);
    m_lblVideoFormat->setObjectName(QStringLiteral("LblVideoFormat"));
    m_comboVideoFormat = new QComboBox(this);
    m_comboVideoFormat->setObjectName(QStringLiteral("ComboVideoFormat"));
    m_comboVideoFormat->addItem(QStringLiteral("AVI（H.264 视频 + MP3 音频）"));
    m_comboVideoFormat->addItem(QStringLiteral("MP4（H.264 视频 + AAC 音频，适合网络播放）"));
    m_comboVideoFormat->setCurrentIndex(settings.videoFormat == 1 ? 1 : 0);
    m_lblVideoFormat->setBuddy(m_comboVideoFormat);
    // A project setting, unlike the loop and codec boxes: it starts as the
    // project has it.
    m_chkFadeOutEnd = new QCheckBox(QStringLiteral("结尾淡出（音乐在最后3秒渐弱，画面在最后1秒渐黑）"), this);
    m_chkFadeOutEnd->setObjectName(QStringLiteral("ChkFadeOutEnd"));
    m_chkFadeOutEnd->setChecked(settings.fadeOutEnd);
    if (tips) m_chkFadeOutEnd->setToolTip(QStringLiteral("音乐比图片长而被截断时，音乐在视频最后3秒逐渐减弱"));
    m_lblFrameRate = new QLabel(QStringLiteral("帧率："), this);
    m_lblFrameRate->setObjectName(QStringLiteral("LblFrameRate"));
    m_comboFrameRate = new QComboBox(this);
    m_comboFrameRate->setObjectName(QStringLiteral("ComboFrameRate"));
    for (const int fps : kFrameRates) {
        QString text = QStringLiteral("%1 帧/秒").arg(fps);
        if (fps == 25) text += QStringLiteral("（电视标准）");
        m_comboFrameRate->addItem(text, fps);
    }
    m_comboFrameRate->setCurrentIndex(m_comboFrameRate->findData(offeredFrameRate(lastFrameRate)));
    m_lblFrameRate->setBuddy(m_comboFrameRate);
    m_chkLoop = new QCheckBox(QStringLiteral("循环播放图片或音乐直至结束"), this);
    m_chkLoop->setObjectName(QStringLiteral("ChkLoop"));
    m_chkChooseCodec = new QCheckBox(QStringLiteral("让我自行选择系统中已安装的编码器（高级用户使用）"), this);
    m_chkChooseCodec->setObjectName(QStringLiteral("ChkChooseCodec"));
    if (tips) m_chkLoop->setToolTip(QStringLiteral("图片循环播放直至音乐播放结束；或音乐循环播放直至图片播放结束"));

    m_ok = new QPushButton(QStringLiteral("  创建  "), this);
    m_ok->setObjectName(QStringLiteral("PicBtnText_0"));
    m_ok->setDefault(true);
    if (tips) m_ok->setToolTip(QStringLiteral("创建图片幻灯"));
    m_cancel = new QPushButton(QStringLiteral("取消"), this);
    m_cancel->setObjectName(QStringLiteral("PicBtnText_1"));

    for (QRadioButton *b : {m_optPackage, m_optPreview, m_optExportAvi}) {
        const BuildKind kind = b == m_optPackage   ? BuildKind::Package
                               : b == m_optPreview ? BuildKind::Preview
                                                   : BuildKind::Video;
        connect(b, &QRadioButton::clicked, this, [this, kind] { onKindClicked(kind); });
    }

    auto *fontRow = new QVBoxLayout;
    fontRow->addWidget(m_chkIncludeFont);
    auto *video = new QGridLayout;
    video->addWidget(m_lblVideoSize, 0, 0);
    video->addWidget(m_comboVideoSize, 0, 1);
    video->addWidget(m_lblFrameRate, 0, 2);
    video->addWidget(m_comboFrameRate, 0, 3);
    video->setColumnStretch(4, 1);
    video->addWidget(m_chkLoop, 1, 0, 1, 5);
    video->addWidget(m_chkChooseCodec, 2, 0, 1, 5);
    video->addWidget(m_lblVideoFormat, 3, 0);
    video->addWidget(m_comboVideoFormat, 3, 1, 1, 4);
    video->addWidget(m_chkFadeOutEnd, 4, 0, 1, 5);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_optPackage);
    layout->addWidget(indented(fontRow, this));
    layout->addWidget(m_optPreview);
    layout->addWidget(m_optExportAvi);
    layout->addWidget(indented(video, this));
    layout->addSpacing(8);
    layout->addStretch(1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The kind used last.
    kindButton(preselectedBuildKind(settings))->setChecked(true);
    updateGreying();

    setTabOrder(m_optExportAvi, m_comboVideoSize);
    setTabOrder(m_comboVideoSize, m_comboFrameRate);
    setTabOrder(m_comboFrameRate, m_chkLoop);
    setTabOrder(m_chkLoop, m_chkChooseCodec);
    setTabOrder(m_chkChooseCodec, m_comboVideoFormat);
    setTabOrder(m_comboVideoFormat, m_chkFadeOutEnd);
    setTabOrder(m_chkFadeOutEnd, m_ok);
    setTabOrder(m_ok, m_cancel);

    connect(m_ok, &QPushButton::clicked, this, &FrmBuild::onOk);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QRadioButton *FrmBuild::kindButton(BuildKind kind) const
{
    switch (kind) {
    case BuildKind::Package:
        return m_optPackage;
    case BuildKind::Preview:
        return m_optPreview;
    case BuildKind::Video:
        return m_optExportAvi;
    }
    return m_optExportAvi;
}

BuildKind FrmBuild::selectedKind() const
{
    if (m_optPackage->isChecked()) return BuildKind::Package;
    if (m_optPreview->isChecked()) return BuildKind::Preview;
    return BuildKind::Video;
}

void FrmBuild::onKindClicked(BuildKind kind)
{
    applyBuildKind(m_settings, kind);
    updateGreying();
}

void FrmBuild::updateGreying()
{
    const BuildControlsState s = buildControlsState(selectedKind());
    for (QWidget *w : std::initializer_list<QWidget *>{m_lblVideoSize, m_comboVideoSize, m_lblFrameRate, m_comboFrameRate,
                                                       m_chkLoop, m_chkChooseCodec, m_lblVideoFormat, m_comboVideoFormat,
                                                       m_chkFadeOutEnd})
        w->setEnabled(s.videoOptions);
    m_chkIncludeFont->setEnabled(s.includeFont);
}

// A second click (a double click, a key held down) must not start a second build.
void FrmBuild::onOk()
{
    if (m_okHandled) return;
    const BuildKind kind = selectedKind();
    m_okHandled = true;
    m_choice.kind = kind;
    m_choice.frameSizeIndex = m_comboVideoSize->currentIndex();
    m_choice.frameRate = m_comboFrameRate->currentData().toInt();
    m_choice.loopToLongerTrack = m_chkLoop->isChecked();
    m_choice.chooseCodecManually = m_chkChooseCodec->isChecked();
    m_choice.includeFont = m_chkIncludeFont->isChecked();
    if (kind == BuildKind::Video) {
        m_choice.videoFormat = m_comboVideoFormat->currentIndex();
        m_settings.videoFormat = m_choice.videoFormat;
        m_settings.fadeOutEnd = m_chkFadeOutEnd->isChecked();
    }
    // The kind that was built is the one offered next time.
    applyBuildKind(m_settings, kind);
    emit buildChosen(m_choice);
    accept();
}

} // namespace pvsm::ui
