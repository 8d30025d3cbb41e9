#include "ProgressJob.h"

#include "JobRunner.h"
#include "ProgressWindow.h"

#include <QEventLoop>
#include <QWidget>

namespace pvsm::ui {

namespace {

// The busy flag and the hourglass for as long as a job runs, however it ends.
class BusyScope
{
public:
    BusyScope(ProjectSession &session, QWidget *window)
        : m_session(session)
        , m_window(window)
    {
        m_session.setBusy(true);
        if (m_window) {
            m_hadCursor = m_window->testAttribute(Qt::WA_SetCursor);
            m_cursor = m_window->cursor();
            m_window->setCursor(Qt::BusyCursor);
        }
    }
    ~BusyScope()
    {
        m_session.setBusy(false);
        if (!m_window) return;
        if (m_hadCursor)
            m_window->setCursor(m_cursor);
        else
            m_window->unsetCursor();
    }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    ProjectSession &m_session;
    QWidget *m_window;
    bool m_hadCursor = false;
    QCursor m_cursor;
};

} // namespace

void runWithProgress(QWidget *parent, ProjectSession &session, Prompter &windowPrompter, const CoreJob &job,
                     const std::function<void(ProgressWindow &)> &onProgressWindow)
{
    const bool tips = session.project().settings.isShowTip;
    BusyScope busy(session, parent);

    ProgressWindow progress(parent, tips);
    progress.hide();
    if (onProgressWindow) onProgressWindow(progress);

    JobRunner runner(windowPrompter);
    QEventLoop loop;
    QObject::connect(&runner, &JobRunner::progressChanged, &progress, [&progress](int percent, const QString &caption) {
        progress.setProgress(percent, caption);
        if (!progress.isVisible()) {
            progress.show();
            progress.raise();
        }
    });
    QObject::connect(&progress, &ProgressWindow::cancelRequested, &runner, &JobRunner::cancel);
    QObject::connect(&runner, &JobRunner::finished, &loop, &QEventLoop::quit);
    runner.start(job);
    loop.exec();
}

} // namespace pvsm::ui
