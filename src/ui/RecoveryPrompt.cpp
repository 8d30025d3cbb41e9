#include "RecoveryPrompt.h"

#include "StartUp.h"
#include "Version.h"

#include <QMessageBox>
#include <QPushButton>

namespace pvsm::ui {

namespace {

void tell(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Warning, productName(), text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace

bool offerRecoveryAtStart(QWidget *parent, AppCore &core)
{
    if (!core.recoveryOffered()) return false;
    QMessageBox box(QMessageBox::Question, productName(), recoveryQuestionText(core.recoveryFacts()),
                    QMessageBox::NoButton, parent);
    // File names come from the user: never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setObjectName(QStringLiteral("RecoveryPrompt"));
    QPushButton *restore = box.addButton(QStringLiteral("恢复"), QMessageBox::AcceptRole);
    restore->setObjectName(QStringLiteral("RecoveryRestore"));
    restore->setToolTip(QStringLiteral("载入自动保存的设置，保存时写入原来的配置文件"));
    QPushButton *discard = box.addButton(QStringLiteral("放弃"), QMessageBox::RejectRole);
    discard->setObjectName(QStringLiteral("RecoveryDiscard"));
    discard->setToolTip(QStringLiteral("保留当前设置，自动保存的文件改名留在 Project 目录中"));
    box.setDefaultButton(restore);
    // Closing the box is a decline, which keeps the file too.
    box.setEscapeButton(discard);
    box.exec();

    if (box.clickedButton() == restore) {
        QString kept;
        if (core.restoreRecovery(&kept)) return true;
        tell(parent, recoveryUnreadableText(kept));
        return false;
    }
    if (core.declineRecovery().isEmpty()) tell(parent, recoveryNotMovedText(core.workspace().autoSavePath()));
    return false;
}

} // namespace pvsm::ui
