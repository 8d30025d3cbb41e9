#pragma once

#include <QMainWindow>
#include <QUndoStack>

#include <functional>
#include <memory>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QMenu;
class QStackedWidget;
class QTimer;

namespace pvsm {
class AppCore;
class ThumbnailCache;
struct Project;
enum class EditingText;
enum class PlacementTarget;
} // namespace pvsm

namespace pvsm::ui {

class EditingView;
class EditorContext;
class GuiPrompter;
class HelpWindow;
class MotionBar;
class ThumbnailStrip;
class SectionPage;

// The editor's one long-lived window (`FrmMain`). It owns nothing of the
// project (the core's session does) and holds no rules: it shows the project,
// forwards commands to the core and keeps every edit on one undo stack.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    MainWindow(AppCore &core, GuiPrompter &prompter);
    ~MainWindow() override;

    EditorContext &context() { return *m_context; }
    QUndoStack &undoStack() { return m_undo; }
    EditingView *editingView() const { return m_view; }
    MotionBar *motionBar() const { return m_motion; }

    // Opens a project file (command line, recent list, a dropped file), with
    // the questions of the Open command. Ignored while a job runs.
    void openProject(const QString &path);

    // The section shown (1 … 10).
    int currentSection() const { return m_section; }
    // As a click on section button `section`; false when the click was
    // ignored (a command or a job is running).
    bool selectSection(int section);

    // One tick of the 500 ms timer: the automatic save, the screen size.
    void timerTick();

    // The last projects opened or saved, newest first (QSettings).
    QStringList recentProjects() const;

    // The help window, opened at `anchor` (empty: the top).
    void showHelp(const QString &anchor = {});

    // Set while a button command runs: clicks that arrive meanwhile are ignored.
    bool commandRunning() const { return m_commandRunning; }

signals:
    // The build command passed its checks: the build dialog opens.
    void buildRequested();
    // The Preview button or menu entry (no job running).
    void previewRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildButtonColumn();
    QAbstractButton *makeButton(int index, const QString &caption, const QString &tip, int icon);
    void buildMenus();
    void buildRecentMenu();

    // Runs `command` under the command guard; false when the click is ignored.
    bool runGuarded(const std::function<void()> &command);
    void showSection(int section);
    void buildCommand();
    void newProject();
    void openCommand();
    void saveCommand();
    void saveAsCommand();
    void afterFileCommand(const Project &before, const QString &pathBefore);
    void rememberRecent(const QString &path);
    void setShowTips(bool on);
    void showAbout();

    void onProjectChanged();
    void updateTitle();
    // The picture, the section's text and its marker on the editing view.
    void updateView();
    void updateMarker();
    PlacementTarget placementTarget(bool markerShown) const;
    EditingText editingText() const;
    QSize editingScreen() const;
    void firstActivation();

    AppCore &m_core;
    GuiPrompter &m_prompter;
    QUndoStack m_undo;
    EditorContext *m_context = nullptr;
    EditingView *m_view = nullptr;
    MotionBar *m_motion = nullptr;
    std::unique_ptr<ThumbnailCache> m_thumbnails; // outlives the strip (see the destructor)
    ThumbnailStrip *m_strip = nullptr;
    QStackedWidget *m_stack = nullptr;
    std::vector<SectionPage *> m_pages;
    QButtonGroup *m_sectionButtons = nullptr;
    QLabel *m_autoSaveLabel = nullptr;
    QMenu *m_recentMenu = nullptr;
    QAction *m_showTips = nullptr;
    HelpWindow *m_help = nullptr;
    QTimer *m_timer = nullptr;
    int m_ticks = 0;
    int m_section = 1;
    bool m_commandRunning = false;
    bool m_activated = false;
};

} // namespace pvsm::ui
