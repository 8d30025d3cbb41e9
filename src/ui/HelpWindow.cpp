#include "HelpWindow.h"

#include "Version.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

// The document lives in a static library: its resources are registered by hand.
static void initHelpResources()
{
    Q_INIT_RESOURCE(help);
}

namespace pvsm::ui {

HelpWindow::HelpWindow(QWidget *parent)
    : QDialog(parent)
{
    initHelpResources();
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(productName() + QStringLiteral(" 帮助"));
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->setOpenExternalLinks(true);
    m_browser->setSource(QUrl(QStringLiteral("qrc:/help/help.html")));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("关闭(&C)"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_browser);
    layout->addWidget(buttons);
    resize(640, 560);
}

void HelpWindow::showTopic(const QString &anchor)
{
    QUrl url(QStringLiteral("qrc:/help/help.html"));
    if (!anchor.isEmpty()) url.setFragment(anchor);
    m_browser->setSource(url);
    if (anchor.isEmpty()) m_browser->scrollToAnchor(QStringLiteral("top"));
    show();
    raise();
    activateWindow();
}

} // namespace pvsm::ui
