#include "InformationWindow.h"

#include "ShowExport.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace pvsm {

namespace {

constexpr int kLogoMaxEdge = 220;

QLabel *textLabel(const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    l->setWordWrap(true);
    return l;
}

} // namespace

InformationWindow::InformationWindow(LoadedShow &show, QWidget *parent)
    : QDialog(parent)
{
    const auto &t = show.project.settings.txtSetting;
    const QString name = t[0].isEmpty() ? QStringLiteral("图片幻灯") : t[0];
    setWindowTitle(name);
    setObjectName(QStringLiteral("information"));

    auto *outer = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    outer->addLayout(top);
    if (!show.logo.isNull()) {
        auto *logo = new QLabel(this);
        logo->setObjectName(QStringLiteral("logo"));
        QImage image = show.logo;
        if (image.width() > kLogoMaxEdge || image.height() > kLogoMaxEdge)
            image = image.scaled(kLogoMaxEdge, kLogoMaxEdge, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        logo->setPixmap(QPixmap::fromImage(image));
        logo->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
        top->addWidget(logo);
    }
    auto *facts = new QVBoxLayout;
    top->addLayout(facts, 1);
    auto *title = textLabel(name, this);
    title->setObjectName(QStringLiteral("name"));
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    title->setFont(big);
    facts->addWidget(title);

    auto *form = new QFormLayout;
    facts->addLayout(form);
    const struct
    {
        int index;
        const char *label;
    } rows[] = {{1, "作者："}, {2, "电子邮件："}, {3, "网址："}};
    for (const auto &row : rows) {
        if (t[size_t(row.index)].isEmpty()) continue;
        QLabel *value = textLabel(t[size_t(row.index)], this);
        // Addresses open in the mail program and the browser of this machine.
        if (row.index == 2 || row.index == 3) {
            const QString link = row.index == 2
                                     ? QStringLiteral("mailto:") + t[2]
                                     : (t[3].contains(QStringLiteral("://")) ? t[3] : QStringLiteral("http://") + t[3]);
            value->setTextFormat(Qt::RichText);
            value->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                               .arg(link.toHtmlEscaped(), t[size_t(row.index)].toHtmlEscaped()));
            value->setOpenExternalLinks(true);
            value->setTextInteractionFlags(Qt::TextBrowserInteraction);
        }
        form->addRow(QString::fromUtf8(row.label), value);
    }
    facts->addStretch();

    if (!t[4].isEmpty()) {
        auto *description = new QPlainTextEdit(t[4], this);
        description->setObjectName(QStringLiteral("description"));
        description->setReadOnly(true);
        outer->addWidget(description, 1);
    }
    if (!t[5].isEmpty()) {
        auto *copyright = textLabel(t[5], this);
        copyright->setObjectName(QStringLiteral("copyright"));
        copyright->setAlignment(Qt::AlignHCenter);
        outer->addWidget(copyright);
    }

    auto *buttons = new QDialogButtonBox(this);
    m_play = buttons->addButton(QStringLiteral("播放(&P)"), QDialogButtonBox::AcceptRole);
    m_play->setDefault(true);
    if (const auto it = show.buttons.find(QStringLiteral("btn_play")); it != show.buttons.end())
        m_play->setIcon(QIcon(QPixmap::fromImage(it->second)));
    if (ExportAllowed(show)) {
        m_export = buttons->addButton(QStringLiteral("导出图片和音乐(&E)..."), QDialogButtonBox::ActionRole);
        connect(m_export, &QPushButton::clicked, this, &InformationWindow::exportRequested);
    }
    buttons->addButton(QStringLiteral("退出(&X)"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    outer->addWidget(buttons);
    m_play->setFocus();

    resize(640, t[4].isEmpty() ? 300 : 460);
}

} // namespace pvsm
