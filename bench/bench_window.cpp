// Time from process start to the editor window's first painted frame with the
// demo project, and to the first frame that shows the demo's composed picture.
// Each run is a fresh process (the figure includes loading Qt, the fonts and
// the libraries); the program runs itself 7 times and prints the medians.
// Reference in the same run: process start to a constructed QApplication.
//
//   build/bench/bench_window [PROJECT.aps]      (offscreen unless a display is set)
#include "Display.h"
#include "EditingView.h"
#include "GuiPrompter.h"
#include "MainWindow.h"
#include "StartUp.h"
#include "clsMemDC.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

// Milliseconds since this process started, from the kernel's start time.
double sinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly)) return -1;
    const QByteArray line = stat.readAll();
    // Field 22 (starttime, in clock ticks since boot), counted after the ")" of the name.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double startTicks = fields.value(19).toDouble();
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double nowMs = now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
    return nowMs - startTicks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

// Sees the window's first paint.
class FirstPaint : public QObject
{
public:
    double atMs = -1;
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Paint && atMs < 0) atMs = sinceProcessStart();
        return QObject::eventFilter(o, e);
    }
};

int runOnce(int argc, char **argv, const QString &project)
{
    pvsm::ReuseCanvasMemory();
    QApplication app(argc, argv);
    const double appReady = sinceProcessStart();
    QTemporaryDir work;
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, work.filePath(QStringLiteral("settings")));
    pvsm::ui::GuiPrompter prompter;
    pvsm::AppCore::Options options;
    options.exeDir = work.path();
    options.workspace = pvsm::Workspace(work.path(), work.path());
    options.uiFont = QApplication::font().family();
    options.display = pvsm::probeDisplay();
    auto core = pvsm::AppCore::start(options, prompter);
    if (!core) return 1;
    core->firstActivation();
    pvsm::ui::MainWindow window(*core, prompter);
    prompter.setParent(&window);
    window.openProject(project);
    FirstPaint paint;
    window.installEventFilter(&paint);
    double pictureAt = -1;
    QObject::connect(window.editingView(), &pvsm::ui::EditingView::pictureShown, &app, [&] {
        // The composed picture is painted in the next paint of the view.
        window.editingView()->repaint();
        pictureAt = sinceProcessStart();
        QTimer::singleShot(0, &app, &QApplication::quit);
    });
    window.resize(1366, 768);
    window.show();
    QTimer::singleShot(10000, &app, &QApplication::quit);
    app.exec();
    std::printf("%.1f %.1f %.1f\n", appReady, paint.atMs, pictureAt);
    return 0;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 2 && QByteArray(argv[1]) == "--once") return runOnce(argc, argv, QString::fromLocal8Bit(argv[2]));
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QString project = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (project.isEmpty()) {
        // build/bench/bench_window → build/bin/Demo/demo.aps
        const QString self = QFileInfo(QString::fromLocal8Bit(argv[0])).absolutePath();
        project = QDir(self).filePath(QStringLiteral("../bin/Demo/demo.aps"));
    }
    // The runs open a copy: opening makes the file current, and the window may save it.
    QTemporaryDir copyDir;
    const QString copy = copyDir.filePath(QStringLiteral("demo.aps"));
    if (!QFile::copy(project, copy)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(project));
        return 1;
    }
    std::vector<double> app, paint, picture;
    for (int run = 0; run < 7; ++run) {
        QProcess p; // each run gets the copy, never the build's own demo file
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QString::fromLocal8Bit(argv[0]), {QStringLiteral("--once"), copy});
        p.waitForFinished(30000);
        const QList<QByteArray> f = p.readAllStandardOutput().trimmed().split(' ');
        if (f.size() != 3) continue;
        app.push_back(f[0].toDouble());
        paint.push_back(f[1].toDouble());
        picture.push_back(f[2].toDouble());
    }
    std::printf("editor start with %s, median of %zu runs (ms from process start)\n",
                qPrintable(QFileInfo(project).fileName()), paint.size());
    std::printf("| step | ms |\n|---|---|\n");
    std::printf("| QApplication constructed (reference) | %.0f |\n", median(app));
    std::printf("| window's first painted frame | %.0f |\n", median(paint));
    std::printf("| first frame with the composed picture | %.0f |\n", median(picture));
    return 0;
}
