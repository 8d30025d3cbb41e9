// The player program that every slideshow starts as. Started without
// arguments it plays the show appended to its own file (a built slideshow,
// a slideshow for this machine, or the editor's preview); given a project
// file (*.aps) or another slideshow it plays that. `--check [FILE]` loads the
// show without a window and tells what it finds: the three lengths of the
// trailer, the record's main keys and the resources.

#include "ExportDialog.h"
#include "IconSlot.h"
#include "InformationWindow.h"
#include "PlayerWindow.h"
#include "ShowLoader.h"
#include "SlideshowFile.h"

#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPixmap>
#include <QString>
#include <QTranslator>

#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void line(const QString &text)
{
    std::fprintf(stdout, "%s\n", text.toUtf8().constData());
}

void complain(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

QString ownFile()
{
    // The program file itself, wherever it was started from and under any name.
    QByteArray buffer(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), size_t(buffer.size() - 1));
    return n > 0 ? QFile::decodeName(buffer.left(n)) : QString();
}

// The icon the builder wrote into this program's slot; null when none.
QImage slotIcon()
{
    const std::vector<unsigned char> icon = pvsm::OwnIconSlotIcon();
    if (icon.empty()) return {};
    return QImage::fromData(icon.data(), int(icon.size()), "ICO");
}

// SIGTERM, SIGINT and SIGHUP end the show the ordinary way, so the private
// folder of unpacked pictures and songs is removed as on any other exit.
int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

void quitOnSignals(QApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) return;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char c;
        [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &c, 1);
        QApplication::exit(0);
    });
    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int s : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(s, &action, nullptr);
}

pvsm::ShowLoadResult load(const QString &path, const pvsm::ShowLoadOptions &options)
{
    if (path.endsWith(QStringLiteral(".aps"), Qt::CaseInsensitive)) return pvsm::LoadProjectShow(path, options);
    return pvsm::LoadSlideshow(path, options);
}

int check(const QString &path)
{
    pvsm::ShowLoadOptions options;
    options.registerFonts = false;
    const pvsm::ShowLoadResult loaded = load(path, options);
    if (!loaded.ok()) {
        complain(loaded.error.message);
        return 1;
    }
    if (path.endsWith(QStringLiteral(".aps"), Qt::CaseInsensitive)) {
        line(QStringLiteral("Project: ") + path);
        line(QStringLiteral("NowI: %1").arg(loaded.show->project.pictures.size()));
        line(QStringLiteral("NowM: %1").arg(loaded.show->project.songs.size()));
        return 0;
    }
    const std::optional<pvsm::SlideshowContents> show = pvsm::ReadSlideshow(path);
    if (!show) {
        complain(pvsm::DamagedSlideshowText(path));
        return 1;
    }
    line(QStringLiteral("Slideshow: ") + path);
    line(QStringLiteral("PlayerBytes: %1").arg(show->trailer.playerLength));
    line(QStringLiteral("ResourceBytes: %1").arg(show->trailer.resourcesLength));
    line(QStringLiteral("SettingsBytes: %1").arg(show->trailer.blobLength));
    for (const char *key : {"ResFileSize", "NowI", "NowM", "OrigScreenWidth", "OrigScreenHeight", "ssDirectPlay"})
        line(QStringLiteral("%1: %2").arg(QLatin1String(key)).arg(show->record.getInt(QLatin1String(key))));
    line(QStringLiteral("Name: ") + show->record.getString(QStringLiteral("TxtSetting(0)")));
    // The icon the builder wrote into this program's slot (0: the player's own).
    line(QStringLiteral("IconBytes: %1").arg(pvsm::OwnIconSlotIcon().size()));
    const QImage icon = slotIcon();
    line(QStringLiteral("WindowIcon: ") +
         (icon.isNull() ? QStringLiteral("none") : QStringLiteral("%1x%2").arg(icon.width()).arg(icon.height())));
    for (const pvsm::SlideshowResource &r : show->resources)
        line(QStringLiteral("Resource: %1\t%2\t%3\t%4").arg(r.key).arg(r.offset).arg(r.size).arg(r.type));
    line(QStringLiteral("Pictures: %1").arg(loaded.show->project.pictures.size()));
    return 0;
}

void setIconFromSlot(QApplication &app)
{
    const QImage image = slotIcon();
    if (!image.isNull()) app.setWindowIcon(QIcon(QPixmap::fromImage(image)));
}

void runExport(const pvsm::LoadedShow &show, QWidget *parent)
{
    pvsm::ExportDialog dialog(show, parent);
    dialog.exec();
    // The keys belong to the window again (without a window manager nobody
    // else gives the focus back).
    parent->activateWindow();
    parent->setFocus();
}

} // namespace

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (!args.isEmpty() && args[0] == QStringLiteral("--check")) {
        QCoreApplication app(argc, argv);
        return check(args.size() > 1 ? args[1] : ownFile());
    }
    if (!args.isEmpty() && args[0].startsWith(QStringLiteral("--"))) {
        complain(QStringLiteral("用法：pvsm-player [FILE.aps | SLIDESHOW] 或 pvsm-player --check [FILE]"));
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("pvsm-player"));
    // The show's windows are Chinese whatever the system's language, so Qt's
    // own buttons and dialogs (message boxes, the folder chooser) are too.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTexts);
    setIconFromSlot(app);
    quitOnSignals(app);
    const QString path = args.isEmpty() ? ownFile() : args[0];
    pvsm::ShowLoadOptions options;
    // A project takes the buttons and frames of the packages beside the player.
    options.programDir = QCoreApplication::applicationDirPath();
    pvsm::ShowLoadResult loaded = load(path, options);
    if (!loaded.ok()) {
        complain(loaded.error.message);
        QMessageBox::critical(nullptr, QStringLiteral("图片幻灯"), loaded.error.message);
        return 1;
    }
    pvsm::LoadedShow &show = *loaded.show;

    if (show.start != pvsm::ShowStart::FullScreen) {
        pvsm::InformationWindow info(show);
        QObject::connect(&info, &pvsm::InformationWindow::exportRequested, &info, [&] { runExport(show, &info); });
        if (info.exec() != QDialog::Accepted) {
            pvsm::ReleaseShowFonts(show);
            return 0;
        }
    }
    int code = 0;
    {
        // Information window then full screen, or then a window of 80 % of the screen.
        pvsm::PlayerWindow window(show, show.start != pvsm::ShowStart::Window);
        QObject::connect(&window, &pvsm::PlayerWindow::exportRequested, &window, [&] {
            const bool wasPaused = window.isPaused();
            if (!wasPaused) window.togglePause();
            runExport(show, &window);
            if (!wasPaused) window.togglePause();
        });
        QObject::connect(&window, &pvsm::PlayerWindow::finished, &app, &QApplication::quit, Qt::QueuedConnection);
        window.showAsAsked();
        code = app.exec();
    }
    pvsm::ReleaseShowFonts(show);
    return code;
}
