#pragma once

#include "ProjectSession.h"

#include <QCursor>
#include <QWidget>

namespace pvsm::ui {

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

} // namespace pvsm::ui
