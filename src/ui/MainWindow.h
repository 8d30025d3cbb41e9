#pragma once

#include <QMainWindow>

class QLabel;
class QTimer;

namespace pvsm {
class AppCore;
}

namespace pvsm::ui {

class GuiPrompter;

// The editor's one long-lived window. It owns nothing of the project: the
// core (AppCore) does; the window shows it and forwards commands.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    MainWindow(AppCore &core, GuiPrompter &prompter);

    // Opens a project file given on the command line.
    void openProject(const QString &path);
    // Shows the project again after the core changed it (a restore at start).
    void refresh();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void tick();
    void buildMenus();

    AppCore &m_core;
    GuiPrompter &m_prompter;
    QLabel *m_summary = nullptr;
    QTimer *m_timer = nullptr;
    int m_ticks = 0;
};

} // namespace pvsm::ui
