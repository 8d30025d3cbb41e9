#include "GuiPrompter.h"

#include "Version.h"

#include <QDir>
#include <QFileDialog>
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
    const int r = box.exec();
    if (r == QMessageBox::Yes || r == QMessageBox::Ok) return Answer::Yes;
    if (r == QMessageBox::No) return Answer::No;
    return Answer::Cancel;
}

void GuiPrompter::inform(const QString &text, PromptIcon icon)
{
    QMessageBox box(boxIcon(icon), productName(), text, QMessageBox::Ok, m_parent);
    box.setTextFormat(Qt::PlainText);
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

} // namespace pvsm::ui
