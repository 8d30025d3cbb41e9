#pragma once

class QWidget;

namespace pvsm {
class AppCore;
}

namespace pvsm::ui {

// Asks at start whether to restore the work a session that did not end
// normally left in the automatic save ("恢复" / "放弃"), when the core
// offers it, and carries out the answer. Call it once the window exists and
// before a project named on the command line is opened. True when the
// project was restored.
bool offerRecoveryAtStart(QWidget *parent, AppCore &core);

} // namespace pvsm::ui
