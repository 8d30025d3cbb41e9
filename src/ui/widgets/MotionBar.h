#pragma once

#include "MotionRules.h"

#include <QFutureWatcher>
#include <QHash>
#include <QSize>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QToolButton;

namespace pvsm::ui {

class EditingView;
class EditorContext;
class MotionOverlay;

// The editing view's motion tool bar (`FraMotion`): the motion mode's
// toggle, and while it is on, the current picture's motion on or off, the
// swap of start and end, the curve, play, and the project-wide automatic
// motion. It owns the overlay over the view and turns every change into
// one undo command. The picture's size (which sets the rectangles' aspect
// and bounds) is probed on the thread pool once per file.
class MotionBar : public QWidget
{
    Q_OBJECT
public:
    MotionBar(EditorContext &context, EditingView &view, QWidget *parent = nullptr);

    // The motion mode: the overlay over the view takes the mouse and keys.
    bool active() const { return m_active; }
    void setActive(bool on);
    // Only the pictures section edits motion; leaving it ends the mode.
    void setAvailable(bool available);
    MotionOverlay &overlay() { return *m_overlay; }
    // The area of the current picture (invalid while its size is unknown).
    MotionArea area();
    // True from a probe's start until its size is known.
    bool probing() const { return m_probing.isRunning(); }

signals:
    void activeChanged(bool on);

private:
    void refresh();
    void probe(const QString &path);

    EditorContext &m_context;
    EditingView &m_view;
    MotionOverlay *m_overlay = nullptr;
    QToolButton *m_mode = nullptr;
    QWidget *m_tools = nullptr;
    QCheckBox *m_on = nullptr;
    QToolButton *m_swap = nullptr;
    QComboBox *m_curve = nullptr;
    QToolButton *m_play = nullptr;
    QCheckBox *m_auto = nullptr;
    bool m_active = false;
    QHash<QString, QSize> m_sizes; // upright picture sizes by path; empty: unreadable
    QFutureWatcher<QSize> m_probing;
    QString m_probed; // the path being probed
};

} // namespace pvsm::ui
