#include "GuiPrompter.h"

#include "Version.h"

#include <QDir>
#include <QFileDialog>
#include <QAbstractButton>
#include <QInputDialog>
#include <QMessageBox>

namespace pvsm::ui {

namespace {

QMessageBox::Icon boxIcon(PromptIcon icon)
{
    switch (icon) {
    case PromptIcon::Information: return QMessageBox::Information;
    case PromptIcon::Warning: return QMessageBox::Warning;
    case PromptIcon::Error: return QMessageBox::Critical;
    case PromptIcon::Question: return QMessageBox::Question;
    }
    return QMessageBox::Information;
}

// A message box that shows `text` as it is, whatever characters it holds,
// with its buttons in the program's language whether or not Qt's own
// translations are installed.
void plainBox(QMessageBox &box)
{
    box.setTextFormat(Qt::PlainText);
    const std::pair<QMessageBox::StandardButton, const char16_t *> captions[] = {
        {QMessageBox::Ok, u"确定"}, {QMessageBox::Yes, u"是(&Y)"}, {QMessageBox::No, u"否(&N)"}, {QMessageBox::Cancel, u"取消"}};
    for (const auto &[button, caption] : captions)
        if (QAbstractButton *b = box.button(button)) b->setText(QString::fromUtf16(caption));
}

QString filterText(const FileDialogRequest &r)
{
    return r.filterName + QStringLiteral(" (") + r.patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

} // namespace

Answer GuiPrompter::ask(const QString &text, PromptButtons buttons, PromptIcon icon, const QString &title)
{
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::NoButton, m_parent);
    box.setTextFormat(Qt::PlainText); // file names and captions are the user's, never markup
    switch (buttons) {
    case PromptButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case PromptButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case PromptButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    plainBox(box);
    const int r = box.exec();
    if (r == QMessageBox::Yes || r == QMessageBox::Ok) return Answer::Yes;
    if (r == QMessageBox::No) return Answer::No;
    return Answer::Cancel;
}

void GuiPrompter::inform(const QString &text, PromptIcon icon)
{
    QMessageBox box(boxIcon(icon), productName(), text, QMessageBox::Ok, m_parent);
    plainBox(box);
    box.exec();
}

QString GuiPrompter::chooseSaveFile(const FileDialogRequest &r)
{
    QFileDialog dialog(m_parent, r.title, QDir(r.initialDir).filePath(r.initialName), filterText(r));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(r.defaultSuffix);
    // The core asks about replacing, with its own words.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

QString GuiPrompter::chooseOpenFile(const FileDialogRequest &r)
{
    return QFileDialog::getOpenFileName(m_parent, r.title, r.initialDir, filterText(r));
}

int GuiPrompter::chooseItem(const QString &title, const QString &label, const QStringList &items)
{
    if (items.isEmpty()) return -1;
    QInputDialog dialog(m_parent);
    dialog.setWindowTitle(title);
    dialog.setLabelText(label);
    dialog.setComboBoxItems(items);
    dialog.setComboBoxEditable(false);
    dialog.setOption(QInputDialog::UseListViewForComboBoxItems);
    dialog.setOkButtonText(QStringLiteral("确定"));
    dialog.setCancelButtonText(QStringLiteral("取消"));
    if (dialog.exec() != QDialog::Accepted) return -1;
    return int(items.indexOf(dialog.textValue()));
}

} // namespace pvsm::ui
