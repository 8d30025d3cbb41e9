#include "ShowInFolder.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

// Stands in for the desktop's file manager on a private session bus.
class FakeFileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;
public slots:
    void ShowItems(const QStringList &uris, const QString &startupId)
    {
        Q_UNUSED(startupId);
        shown << uris;
    }
};

// Notes what reaches QDesktopServices::openUrl for file URLs.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

void serveUntil(const std::function<bool()> &done, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace

// With a file manager on the bus, the file is shown through it with its URI,
// and the folder is not opened besides; without one, the folder is opened.
TEST(ShowInFolder, AsksTheFileManagerOverDBusElseOpensTheFolder)
{
    // A real display's platform plugin has connected the session bus already,
    // so the private bus below could not become the program's.
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) GTEST_SKIP() << "needs the offscreen platform";
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty()) GTEST_SKIP() << "no dbus-daemon";
    QProcess bus;
    bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    ASSERT_TRUE(bus.waitForStarted(5000));
    ASSERT_TRUE(bus.waitForReadyRead(5000));
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();
    ASSERT_FALSE(address.isEmpty());
    // The program's session bus is this private one (read at its first use).
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());

    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("我的 图片幻灯 #1.avi"));
    QFile(file).open(QIODevice::WriteOnly);

    {
        FakeFileManager manager;
        QDBusConnection other = QDBusConnection::connectToBus(address, QStringLiteral("fake-file-manager"));
        ASSERT_TRUE(other.isConnected());
        ASSERT_TRUE(other.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                         QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(other.registerService(QStringLiteral("org.freedesktop.FileManager1")));

        pvsm::ui::showInFolder(file);
        serveUntil([&] { return !manager.shown.isEmpty(); });
        EXPECT_EQ(manager.shown, QStringList{QUrl::fromLocalFile(file).toString()});
        serveUntil([] { return false; }, 200);
        EXPECT_TRUE(catcher.opened.isEmpty());
        other.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-file-manager"));
    }

    pvsm::ui::showInFolder(file);
    serveUntil([&] { return !catcher.opened.isEmpty(); });
    EXPECT_EQ(catcher.opened, QList<QUrl>{QUrl::fromLocalFile(dir.path())});

    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    bus.kill();
    bus.waitForFinished();
}

#include "ShowInFolderTest.moc"
