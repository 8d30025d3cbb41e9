#include "ExportDialog.h"

#include "ShowExport.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace pvsm {

ExportDialog::ExportDialog(const LoadedShow &show, QWidget *parent)
    : QDialog(parent)
    , m_show(show)
{
    setWindowTitle(QStringLiteral("导出图片和音乐"));
    setObjectName(QStringLiteral("export"));
    auto *outer = new QVBoxLayout(this);
    auto *intro = new QLabel(QStringLiteral("把这个图片幻灯中的 %1 张图片和 %2 首音乐保存到一个文件夹。")
                                 .arg(show.project.pictures.size())
                                 .arg(show.project.songs.size()),
                             this);
    intro->setWordWrap(true);
    outer->addWidget(intro);

    auto *form = new QFormLayout;
    outer->addLayout(form);
    if (ExportNeedsPassword(show)) {
        m_password = new QLineEdit(this);
        m_password->setObjectName(QStringLiteral("password"));
        m_password->setEchoMode(QLineEdit::Password);
        form->addRow(QStringLiteral("密码(&W)："), m_password);
    }
    auto *folderRow = new QHBoxLayout;
    m_folder = new QLineEdit(this);
    m_folder->setObjectName(QStringLiteral("folder"));
    m_folder->setText(QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation)));
    auto *browse = new QPushButton(QStringLiteral("浏览(&B)..."), this);
    connect(browse, &QPushButton::clicked, this, &ExportDialog::chooseFolder);
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(browse);
    auto *folderLabel = new QLabel(QStringLiteral("保存到(&F)："), this);
    folderLabel->setBuddy(m_folder);
    form->addRow(folderLabel, folderRow);

    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("problem"));
    m_problem->setStyleSheet(QStringLiteral("color: #c00000"));
    m_problem->hide();
    outer->addWidget(m_problem);

    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("导出(&E)"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &ExportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    outer->addWidget(buttons);
    if (m_password) m_password->setFocus();
    resize(520, sizeHint().height());
}

void ExportDialog::chooseFolder()
{
    const QString chosen =
        QFileDialog::getExistingDirectory(this, QStringLiteral("选择保存图片和音乐的文件夹"), m_folder->text());
    if (!chosen.isEmpty()) m_folder->setText(QDir::toNativeSeparators(chosen));
}

void ExportDialog::accept()
{
    const QString password = m_password ? m_password->text() : QString();
    const QString folder = QDir::fromNativeSeparators(m_folder->text().trimmed());
    // The password is checked before any folder is made or file written.
    if (!ExportPasswordAccepted(m_show, password)) {
        ShowExportResult refused;
        refused.status = ShowExportResult::Status::WrongPassword;
        m_outcome = ExportResultText(refused, folder);
        m_problem->setText(m_outcome);
        m_problem->show();
        m_password->selectAll();
        m_password->setFocus();
        return;
    }
    if (!folder.isEmpty()) QDir().mkpath(folder);
    std::atomic<bool> cancel{false};
    QProgressDialog progress(QStringLiteral("正在导出..."), QStringLiteral("取消"), 0, 100, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    connect(&progress, &QProgressDialog::canceled, this, [&cancel] { cancel.store(true); });
    JobControl control;
    control.cancel = &cancel;
    control.progress = [&progress](int percent, const QString &) {
        progress.setValue(percent);
        QApplication::processEvents();
    };
    const ShowExportResult result = ExportShowFiles(m_show, password, folder, control);
    progress.reset();
    m_outcome = ExportResultText(result, folder);
    if (result.status == ShowExportResult::Status::NoFolder) {
        m_problem->setText(m_outcome);
        m_problem->show();
        return;
    }
    if (m_tellOutcome) QMessageBox::information(this, windowTitle(), m_outcome);
    QDialog::accept();
}

} // namespace pvsm
