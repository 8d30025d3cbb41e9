#include "FrmFinish.h"

#include "ShowInFolder.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace pvsm::ui {

FrmFinish::FrmFinish(Settings &settings, const QString &info, const QString &outputPath, QWidget *parent,
                     ShowFile showFile)
    : QDialog(parent)
    , m_settings(settings)
    , m_outputPath(outputPath)
    , m_showFile(showFile ? std::move(showFile) : ShowFile(showInFolder))
{
    setObjectName(QStringLiteral("FrmFinish"));
    setWindowTitle(QStringLiteral("完成"));

    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("PicCoffie"));
    picture->setPixmap(coffeePicture(96, devicePixelRatioF()));
    picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto *congrats = new QLabel(QStringLiteral("祝贺您！"), this);
    congrats->setObjectName(QStringLiteral("LblCongrats"));
    QFont big = congrats->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    congrats->setFont(big);
    auto *made = new QLabel(QStringLiteral("成功创建了以下图片幻灯文件。"), this);
    made->setObjectName(QStringLiteral("LblMade"));

    m_txtInfo = new QPlainTextEdit(this);
    m_txtInfo->setObjectName(QStringLiteral("TxtInfo"));
    m_txtInfo->setReadOnly(true);
    // Long paths break anywhere rather than running out of the box.
    m_txtInfo->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QString shown = info;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_txtInfo->setPlainText(shown);
    QPalette pal = m_txtInfo->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Button));
    m_txtInfo->setPalette(pal);
    const int lineHeight = m_txtInfo->fontMetrics().lineSpacing();
    m_txtInfo->setMinimumSize(QFontMetrics(m_txtInfo->font()).horizontalAdvance(QLatin1Char('M')) * 40,
                              lineHeight * 7 + 2 * m_txtInfo->frameWidth() + 8);

    m_chkOpenFolder = new QCheckBox(QStringLiteral("打开保存位置所在的文件夹"), this);
    m_chkOpenFolder->setObjectName(QStringLiteral("ChkOpenFolder"));
    m_chkOpenFolder->setChecked(settings.enableOpenFolder);
    connect(m_chkOpenFolder, &QCheckBox::clicked, this, [this](bool on) { m_settings.enableOpenFolder = on; });

    m_ok = new QPushButton(QStringLiteral("  确定  "), this);
    m_ok->setObjectName(QStringLiteral("PicBtnText_0"));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &FrmFinish::onOk);

    auto *greeting = new QVBoxLayout;
    greeting->addWidget(congrats);
    greeting->addWidget(made);
    greeting->addStretch(1);
    auto *top = new QHBoxLayout;
    top->addWidget(picture);
    top->addSpacing(12);
    top->addLayout(greeting, 1);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_chkOpenFolder);
    bottom->addStretch(1);
    bottom->addWidget(m_ok);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_txtInfo, 1);
    layout->addLayout(bottom);

    setTabOrder(m_ok, m_chkOpenFolder);
    setTabOrder(m_chkOpenFolder, m_txtInfo);
    m_ok->setFocus();
}

QString FrmFinish::infoText() const
{
    return m_txtInfo->toPlainText();
}

void FrmFinish::onOk()
{
    if (!m_outputPath.isEmpty() && m_settings.enableOpenFolder && QFileInfo(m_outputPath).isFile())
        m_showFile(m_outputPath);
    accept();
}

QPixmap FrmFinish::coffeePicture(int size, qreal devicePixelRatio)
{
    QPixmap pm(QSize(size, size) * devicePixelRatio);
    pm.setDevicePixelRatio(devicePixelRatio);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 100.0, size / 100.0);

    // Saucer.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 40));
    p.drawEllipse(QRectF(12, 82, 76, 12));
    QLinearGradient saucer(0, 78, 0, 92);
    saucer.setColorAt(0, QColor(0xf4, 0xf1, 0xec));
    saucer.setColorAt(1, QColor(0xc9, 0xc2, 0xb8));
    p.setBrush(saucer);
    p.setPen(QPen(QColor(0x9a, 0x90, 0x84), 1.2));
    p.drawEllipse(QRectF(10, 76, 80, 14));

    // Handle, then the cup over it.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0xa8, 0x4b, 0x2a), 6, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(62, 44, 24, 24), -80 * 16, 180 * 16);
    QPainterPath cup;
    cup.moveTo(20, 40);
    cup.lineTo(74, 40);
    cup.cubicTo(74, 62, 68, 82, 47, 82);
    cup.cubicTo(26, 82, 20, 62, 20, 40);
    QLinearGradient body(20, 0, 74, 0);
    body.setColorAt(0, QColor(0xe0, 0x6b, 0x3c));
    body.setColorAt(0.45, QColor(0xf2, 0x8c, 0x5a));
    body.setColorAt(1, QColor(0xb5, 0x4d, 0x28));
    p.setBrush(body);
    p.setPen(QPen(QColor(0x8c, 0x3a, 0x1c), 1.2));
    p.drawPath(cup);
    // Coffee at the brim.
    p.setBrush(QColor(0x5a, 0x34, 0x1f));
    p.setPen(QPen(QColor(0x8c, 0x3a, 0x1c), 1.2));
    p.drawEllipse(QRectF(20, 35, 54, 10));
    p.setBrush(QColor(0xc8, 0x9b, 0x6d, 160));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(38, 37.5, 18, 4));

    // Steam.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x9a, 0x9a, 0x9a, 170), 3, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 3; ++i) {
        const qreal x = 34 + i * 13;
        QPainterPath steam;
        steam.moveTo(x, 31);
        steam.cubicTo(x - 7, 24, x + 7, 18, x, 10 + (i == 1 ? -4 : 0));
        p.drawPath(steam);
    }
    return pm;
}

} // namespace pvsm::ui
