#pragma once

#include "LoadedShow.h"

#include <QWidget>

namespace pvsm {

// The window a show plays in: the presenter's pictures scaled to the window,
// the control buttons shown on mouse movement, and the keys of the player.
class PlayerWindow : public QWidget
{
    Q_OBJECT
public:
    PlayerWindow(LoadedShow &show, bool fullScreen, QWidget *parent = nullptr);
    ~PlayerWindow() override;

signals:
    // The show ended or the user closed it.
    void finished();

private:
    LoadedShow &m_show;
};

} // namespace pvsm
