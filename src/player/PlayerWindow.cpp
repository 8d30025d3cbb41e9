#include "PlayerWindow.h"

// Placeholder until the presenter plays the show here.
namespace pvsm {

PlayerWindow::PlayerWindow(LoadedShow &show, bool fullScreen, QWidget *parent) : QWidget(parent), m_show(show)
{
    Q_UNUSED(fullScreen);
}

PlayerWindow::~PlayerWindow() = default;

} // namespace pvsm
