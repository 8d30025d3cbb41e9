#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

// The editor runs from a copy of the binary in a folder of its own, so that its
// work folder (and lock) belong to this test alone.
TEST(Editor, ASecondStartEndsAtOnceWithoutAWindow)
{
    QTemporaryDir dir;
    const QString exe = dir.filePath(QStringLiteral("pvsm"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(PVSM_BIN_DIR) + QStringLiteral("/pvsm"), exe));
    QFile::setPermissions(exe, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(exe, {});
    ASSERT_TRUE(first.waitForStarted(10000));
    // The first copy is up once it has prepared its work folder.
    QElapsedTimer t;
    t.start();
    while (!QDir(dir.filePath(QStringLiteral("Temp"))).exists() && t.elapsed() < 20000) QThread::msleep(50);
    ASSERT_TRUE(QDir(dir.filePath(QStringLiteral("Temp"))).exists());
    EXPECT_TRUE(QDir(dir.filePath(QStringLiteral("Project"))).exists());

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(exe, {});
    EXPECT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    first.terminate();
    if (!first.waitForFinished(5000)) first.kill();
}
