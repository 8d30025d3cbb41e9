#pragma once

#include "IconScan.h"
#include "Workspace.h"

#include <QFileDialog>

class QLabel;
class QListWidget;

namespace pvsm::ui {

// The open-file dialog of the icon chooser: beside the file list it lists the
// icon images of the file under the cursor (ListIcon) and shows the selected
// one (PicIconPreview), extracted to Temp/tempicon.ico as it is selected.
class IconChooser : public QFileDialog
{
    Q_OBJECT
public:
    IconChooser(const Workspace &workspace, QWidget *parent = nullptr);

    // Lists the icons of `path` (a file; anything else empties the list).
    void showIconsOf(const QString &path);
    QListWidget *iconList() const { return m_list; }

    // The dialog's filters: the icon file types, then the Linux programs,
    // libraries and PNG pictures.
    static QStringList filters();

private:
    void select(int row);

    Workspace m_workspace;
    QString m_path;
    std::vector<IconHit> m_hits;
    QListWidget *m_list = nullptr;
    QLabel *m_preview = nullptr;
    QLabel *m_note = nullptr;
};

// Runs the chooser; when it ends with OK and an image was extracted, that
// image becomes the chosen icon (Temp/icofinal.ico). Returns whether an icon
// is chosen afterwards.
bool chooseSlideshowIcon(const Workspace &workspace, QWidget *parent);

} // namespace pvsm::ui
