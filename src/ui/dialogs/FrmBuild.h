#pragma once

#include "BuildChoice.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace pvsm::ui {

// The build dialog: which kind of output to make, and the options of the
// video. Choosing a kind writes it into `settings` (the project's), as
// choosing does; the rest is read by the caller from `choice()` once the
// dialog was accepted. The loop, codec and font boxes start cleared every time.
class FrmBuild : public QDialog
{
    Q_OBJECT
public:
    // `lastFrameRate`: the frame rate of the last video, offered first.
    FrmBuild(Settings &settings, QSize editingScreen, QWidget *parent = nullptr, int lastFrameRate = 30);

    const BuildChoice &choice() const { return m_choice; }
    BuildKind selectedKind() const;

    QRadioButton *kindButton(BuildKind kind) const;
    QPushButton *okButton() const { return m_ok; }

signals:
    // Once per dialog, when OK starts the build.
    void buildChosen(const pvsm::ui::BuildChoice &choice);

private:
    void onKindClicked(BuildKind kind);
    void updateGreying();
    void onOk();

    Settings &m_settings;
    BuildChoice m_choice;
    bool m_okHandled = false;
    QRadioButton *m_optPackage;
    QRadioButton *m_optPreview;
    QRadioButton *m_optExportAvi;
    QLabel *m_lblVideoSize;
    QComboBox *m_comboVideoSize;
    QLabel *m_lblVideoFormat;
    QComboBox *m_comboVideoFormat;
    QCheckBox *m_chkFadeOutEnd;
    QLabel *m_lblFrameRate;
    QComboBox *m_comboFrameRate;
    QCheckBox *m_chkLoop;
    QCheckBox *m_chkChooseCodec;
    QCheckBox *m_chkIncludeFont;
    QPushButton *m_ok;
    QPushButton *m_cancel;
};

} // namespace pvsm::ui
