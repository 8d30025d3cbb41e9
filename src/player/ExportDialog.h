#pragma once

#include "LoadedShow.h"

#include <QDialog>

class QLabel;
class QLineEdit;

namespace pvsm {

// Saving the show's pictures and music: the password (when the show has
// one), the folder, then the copy. A wrong password keeps the dialog open
// and writes nothing.
class ExportDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ExportDialog(const LoadedShow &show, QWidget *parent = nullptr);

    QLineEdit *passwordEdit() const { return m_password; }
    QLineEdit *folderEdit() const { return m_folder; }
    // The outcome told to the user after the last try (empty before).
    const QString &outcomeText() const { return m_outcome; }
    // Whether the outcome is told in a message box (tests read outcomeText()).
    void setTellOutcome(bool tell) { m_tellOutcome = tell; }

public slots:
    void accept() override;

private:
    void chooseFolder();

    const LoadedShow &m_show;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_folder = nullptr;
    QLabel *m_problem = nullptr;
    QString m_outcome;
    bool m_tellOutcome = true;
};

} // namespace pvsm
