#pragma once

#include "Project.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace pvsm::ui {

// The window shown after a build or export: what was made and where, and the
// choice to open its folder with the file selected when it closes with OK.
// The check box writes `EnableOpenFolder` of `settings` (the project's) as it
// is clicked.
class FrmFinish : public QDialog
{
    Q_OBJECT
public:
    using ShowFile = std::function<void(const QString &filePath)>;

    // `info`: the report lines (CR LF between them); `outputPath`: the file
    // made. `showFile` opens its folder (the desktop's file manager by default).
    FrmFinish(Settings &settings, const QString &info, const QString &outputPath, QWidget *parent = nullptr,
              ShowFile showFile = {});

    QCheckBox *openFolderBox() const { return m_chkOpenFolder; }
    QPushButton *okButton() const { return m_ok; }
    QString infoText() const;

    // The picture beside the greeting, drawn rather than loaded.
    static QPixmap coffeePicture(int size, qreal devicePixelRatio = 1.0);

private:
    void onOk();

    Settings &m_settings;
    QString m_outputPath;
    ShowFile m_showFile;
    QPlainTextEdit *m_txtInfo;
    QCheckBox *m_chkOpenFolder;
    QPushButton *m_ok;
};

} // namespace pvsm::ui
