#pragma once

#include <QDialog>

class QTextBrowser;

namespace pvsm::ui {

// The help document (kept in the program's resources) in a window of its own,
// opened at one of its topics. Stays open beside the main window.
class HelpWindow : public QDialog
{
    Q_OBJECT
public:
    explicit HelpWindow(QWidget *parent = nullptr);

    // `anchor` names a topic of the document ("add-pictures"); empty: the top.
    void showTopic(const QString &anchor);
    QTextBrowser *browser() const { return m_browser; }

private:
    QTextBrowser *m_browser;
};

} // namespace pvsm::ui
