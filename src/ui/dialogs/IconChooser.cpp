#include "IconChooser.h"

#include "IconChoice.h"

#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QSettings>
#include <QVBoxLayout>

namespace pvsm::ui {

namespace {

constexpr int kPreviewSide = 96;

QString lastIconFolder() { return QSettings().value(QStringLiteral("sections/lastIconFolder")).toString(); }

} // namespace

QStringList IconChooser::filters()
{
    // Letter case varies on Windows files copied over; match either.
    return {QStringLiteral("图标文件(*.Ico,*.Exe,*.Dll,*.Icl) (*.[Ii][Cc][Oo] *.[Ee][Xx][Ee] *.[Dd][Ll][Ll] *.[Ii][Cc][Ll])"),
            QStringLiteral("PNG 图片 (*.[Pp][Nn][Gg])"), QStringLiteral("程序和库 (*)")};
}

IconChooser::IconChooser(const Workspace &workspace, QWidget *parent)
    : QFileDialog(parent, QStringLiteral("加入图标文件"), lastIconFolder()), m_workspace(workspace)
{
    // The extension panel needs the dialog's own widgets, not the desktop's.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setFileMode(QFileDialog::ExistingFile);
    setAcceptMode(QFileDialog::AcceptOpen);
    setNameFilters(filters());
    // The patterns match either letter case; the captions say what they are.
    setOption(QFileDialog::HideNameFilterDetails, true);

    auto *panel = new QWidget(this);
    auto *column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    auto *caption = new QLabel(QStringLiteral("文件中的图标(&I)"), panel);
    m_list = new QListWidget(panel);
    m_list->setObjectName(QStringLiteral("ListIcon"));
    m_list->setToolTip(QStringLiteral("文件中找到的 32 和 48 像素图标"));
    m_list->setMinimumWidth(m_list->fontMetrics().horizontalAdvance(QStringLiteral("图标 - 000  48*48  32位")) + 40);
    caption->setBuddy(m_list);
    m_preview = new QLabel(panel);
    m_preview->setObjectName(QStringLiteral("PicIconPreview"));
    m_preview->setFixedSize(kPreviewSide, kPreviewSide);
    m_preview->setAlignment(Qt::AlignCenter);
    m_preview->setFrameShape(QFrame::StyledPanel);
    m_note = new QLabel(panel);
    m_note->setWordWrap(true);
    column->addWidget(caption);
    column->addWidget(m_list, 1);
    column->addWidget(m_preview, 0, Qt::AlignHCenter);
    column->addWidget(m_note);
    // The Qt dialog lays itself out in a grid; the panel takes a column of its own.
    if (auto *grid = qobject_cast<QGridLayout *>(layout()))
        grid->addWidget(panel, 0, grid->columnCount(), grid->rowCount(), 1);

    connect(this, &QFileDialog::currentChanged, this, &IconChooser::showIconsOf);
    connect(m_list, &QListWidget::currentRowChanged, this, &IconChooser::select);
    QFile::remove(m_workspace.tempIconPath());
}

void IconChooser::showIconsOf(const QString &path)
{
    m_path = path;
    m_hits.clear();
    m_note->clear();
    QFile::remove(m_workspace.tempIconPath());
    if (QFileInfo(path).isFile()) {
        const IconScan scan = ScanIconFile(path);
        m_hits = scan.hits;
        if (scan.problem == IconScanProblem::TooLarge) m_note->setText(QStringLiteral("文件太大，不查找图标"));
        else if (scan.problem == IconScanProblem::None && m_hits.empty()) m_note->setText(QStringLiteral("没有找到图标"));
    }
    const QSignalBlocker quiet(m_list);
    m_list->clear();
    for (size_t i = 0; i < m_hits.size(); ++i) m_list->addItem(IconListText(int(i) + 1, m_hits[i]));
    if (m_hits.empty()) {
        m_preview->clear();
        return;
    }
    m_list->setCurrentRow(0);
    select(0);
}

void IconChooser::select(int row)
{
    m_preview->clear();
    if (row < 0 || size_t(row) >= m_hits.size()) return;
    if (!ExtractTempIcon(m_workspace, m_path, m_hits[size_t(row)])) {
        m_note->setText(QStringLiteral("无法读取这个图标"));
        return;
    }
    const QImage image = IconFileImage(m_workspace.tempIconPath());
    // Small icons are shown at twice their size, so their pixels can be seen.
    if (!image.isNull())
        m_preview->setPixmap(QPixmap::fromImage(image.scaled(image.size() * (image.width() <= 48 ? 2 : 1),
                                                             Qt::KeepAspectRatio, Qt::FastTransformation)));
}

bool chooseSlideshowIcon(const Workspace &workspace, QWidget *parent)
{
    IconChooser dialog(workspace, parent);
    const bool ok = dialog.exec() == QDialog::Accepted;
    if (ok && !dialog.selectedFiles().isEmpty())
        QSettings().setValue(QStringLiteral("sections/lastIconFolder"), QFileInfo(dialog.selectedFiles()[0]).absolutePath());
    if (ok) return ConfirmChosenIcon(workspace);
    QFile::remove(workspace.tempIconPath());
    return !ChosenIcon(workspace).isEmpty();
}

} // namespace pvsm::ui
