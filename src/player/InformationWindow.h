#pragma once

#include "LoadedShow.h"

#include <QDialog>

class QPushButton;

namespace pvsm {

// The window a show opens with when its record asks for it: the logo, the
// name, the author, e-mail, web site, description and copyright the user
// typed, a play button and, when the show allows it, the export.
class InformationWindow : public QDialog
{
    Q_OBJECT
public:
    explicit InformationWindow(LoadedShow &show, QWidget *parent = nullptr);

    QPushButton *playButton() const { return m_play; }
    QPushButton *exportButton() const { return m_export; }

signals:
    void exportRequested();

private:
    QPushButton *m_play = nullptr;
    QPushButton *m_export = nullptr;
};

} // namespace pvsm
