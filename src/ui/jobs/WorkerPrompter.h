#pragma once

#include "Prompter.h"

#include <QObject>

#include <functional>
#include <memory>

class QThread;

namespace pvsm::ui {

// The prompter a job on a worker thread talks to. Every call is carried to the
// window thread by a blocking queued call and answered there by the window's
// own prompter, so a question appears as a dialog while the job waits for it
// (a queued call the worker waits for, as a blocking queued connection does,
// but one that closing can release).
//
// Construct and destroy it on the window thread. Calls may come from any
// thread; a call made on the window thread itself goes straight through.
// Once `close` was called, or the window thread dropped a pending call,
// every question is answered as if the user had cancelled it (Cancel, an
// empty path, -1), so a job never waits for a window that is gone.
class WorkerPrompter : public Prompter
{
public:
    explicit WorkerPrompter(Prompter &windowPrompter);
    ~WorkerPrompter() override;

    // Window thread: no more questions reach the user; pending ones end as cancelled.
    void close();

    Answer ask(const QString &text, PromptButtons buttons, PromptIcon icon, const QString &title) override;
    void inform(const QString &text, PromptIcon icon) override;
    QString chooseSaveFile(const FileDialogRequest &request) override;
    QString chooseOpenFile(const FileDialogRequest &request) override;
    int chooseItem(const QString &title, const QString &label, const QStringList &items) override;

private:
    struct Shared;
    // Runs `call` on the window thread and returns once it ran, or once the
    // prompter was closed before the call started.
    void onWindowThread(const std::function<void()> &call);

    Prompter &m_window;
    std::shared_ptr<Shared> m_shared;
    QObject *m_context; // lives on the window thread; the queued calls go to it
    QThread *m_windowThread;
};

} // namespace pvsm::ui
