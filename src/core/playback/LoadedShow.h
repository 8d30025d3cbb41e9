#pragma once

#include "Project.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace pvsm {

// A folder only this user may enter (mode 0700), removed with everything in
// it when the object goes. Pictures and songs of a packaged show are
// unpacked here for the decoders.
class PrivateFolder
{
public:
    // Creates a new folder under `parent` (the system's temporary folder when
    // empty). path() is empty when that failed.
    explicit PrivateFolder(const QString &parent = {});
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder &) = delete;
    PrivateFolder &operator=(const PrivateFolder &) = delete;
    const QString &path() const { return m_path; }

private:
    QString m_path;
};

// How a show starts (ssDirectPlay).
enum class ShowStart { InformationWindow = 0, FullScreen = 1, Window = 2 };

// Everything the player needs of one show, whichever way it came: a built
// slideshow (its record and resources), a slideshow for this machine or the
// preview (paths), or a project file played directly.
struct LoadedShow
{
    // The show as the engine takes it: settings, pictures and songs with
    // paths that exist on this machine (inside `folder` for packaged shows),
    // captions from file names already applied when the record asks for them.
    Project project;
    QSize editingScreen{1920, 1080};   // OrigScreenWidth x OrigScreenHeight
    QByteArray pictureFrame;           // PNG bytes of the picture frame; empty: none
    QImage logo;                       // LogoImage; null: none
    // The control buttons by their record names (btn_close, btn_min,
    // btn_music_next, btn_mute_off, btn_mute_on, btn_next, btn_pause,
    // btn_play, btn_prev, btn_size, btn_scale); missing ones are absent.
    std::map<QString, QImage> buttons;
    bool packaged = false;             // ResFileSize 7: pictures and music inside
    ShowStart start = ShowStart::InformationWindow;
    bool enableExport = false;
    QString exportPassword;
    QString sourcePath;                // the slideshow or project file
    std::unique_ptr<PrivateFolder> folder; // unpacked resources; null when none
    std::vector<int> fontIds;          // fonts registered from memory for this show
};

// Why a show could not be loaded: a message in Chinese for the user.
struct ShowLoadError
{
    QString message;
};

} // namespace pvsm
