// Window-thread stalls during an export: the demo show (built with the
// project, bin/Demo/demo.aps, with its song) exported at 1280 x 720 through
// the editor's job runner while a watchdog timer on the window thread fires
// every 5 ms and asks the window to repaint; the longest gap between two
// firings is the longest the window could not move or repaint. Next to it,
// the reference of the same run: the same export called on the window
// thread directly, where the window stalls for the whole export, and the
// watchdog on an idle window for 3 s (what the machine's load alone costs).
// Then one
// export cancelled from the progress window midway: the time from the click
// to the end of the job, and whether a file was left.
//
// On a loaded machine a thread that is ready to run still waits for a core.
// So that a stall of ours can be told from that wait, every row also gives
// the longest gap of a control thread of the same priority that only sleeps
// 5 ms at a time, measured beside the watchdog, and the longest CPU time the
// window thread itself spent between two firings (its own work).
// usage: bench_ui_stall [DEMO.aps]
#include "ProgressWindow.h"
#include "ProjectSession.h"
#include "Soundtrack.h"
#include "VideoExportJob.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

using namespace pvsm;

namespace {

class QuietPrompter : public Prompter
{
public:
    Answer ask(const QString &text, PromptButtons, PromptIcon, const QString &) override
    {
        std::fprintf(stderr, "asked: %s\n", text.toUtf8().constData());
        return Answer::Yes;
    }
    void inform(const QString &text, PromptIcon) override { std::fprintf(stderr, "%s\n", text.toUtf8().constData()); }
    QString chooseSaveFile(const FileDialogRequest &) override { return {}; }
    QString chooseOpenFile(const FileDialogRequest &) override { return {}; }
};

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// The gaps of a thread that does nothing but sleep 5 ms at a time.
class ControlThread
{
public:
    void start()
    {
        m_longestMs = 0;
        m_run = true;
        m_thread = std::thread([this] {
            auto last = std::chrono::steady_clock::now();
            while (m_run) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                const auto now = std::chrono::steady_clock::now();
                m_longestMs =
                    std::max(m_longestMs.load(), std::chrono::duration<double, std::milli>(now - last).count());
                last = now;
            }
        });
    }
    double stop()
    {
        m_run = false;
        m_thread.join();
        return m_longestMs;
    }

private:
    std::thread m_thread;
    std::atomic<bool> m_run{false};
    std::atomic<double> m_longestMs{0};
};

// Measures the gaps between firings of a 5 ms timer on the window thread.
class Watchdog
{
public:
    explicit Watchdog(QWidget &window)
        : m_window(window)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            const double cpu = threadCpuMs();
            m_longestCpuMs = std::max(m_longestCpuMs, cpu - m_lastCpu);
            m_lastCpu = cpu;
            m_gapsMs.push_back((now - m_last) / 1e6);
            if (qEnvironmentVariableIsSet("PVSM_STALL_TRACE") && m_gapsMs.back() > 30)
                std::fprintf(stderr, "gap %.1f ms ending at %.3f s\n", m_gapsMs.back(), now / 1e9);
            m_last = now;
            m_window.update();
        });
    }
    void start()
    {
        m_gapsMs.clear();
        m_longestCpuMs = 0;
        m_lastCpu = threadCpuMs();
        m_clock.start();
        m_last = 0;
        m_timer.start(5);
        m_control.start();
    }
    void stop()
    {
        m_timer.stop();
        m_controlMs = m_control.stop();
    }
    double controlLongestMs() const { return m_controlMs; }
    double longestCpuMs() const { return m_longestCpuMs; }
    double longestMs() const { return m_gapsMs.empty() ? 0 : *std::max_element(m_gapsMs.begin(), m_gapsMs.end()); }
    int over(double ms) const
    {
        return int(std::count_if(m_gapsMs.begin(), m_gapsMs.end(), [ms](double g) { return g > ms; }));
    }
    double percentile(double p) const
    {
        if (m_gapsMs.empty()) return 0;
        std::vector<double> g = m_gapsMs;
        std::sort(g.begin(), g.end());
        return g[size_t(p * double(g.size() - 1))];
    }
    size_t firings() const { return m_gapsMs.size(); }

private:
    QWidget &m_window;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    std::vector<double> m_gapsMs;
    double m_lastCpu = 0;
    double m_longestCpuMs = 0;
    ControlThread m_control;
    double m_controlMs = 0;
};

bool anyOutputLeft(const QString &dir)
{
    return !QDir(dir)
                .entryList({QStringLiteral("*.avi*"), QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden)
                .isEmpty();
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const QString binDir = QStringLiteral(PVSM_BIN_DIR);
    const QString demo = argc > 1 ? QString::fromLocal8Bit(argv[1]) : binDir + QStringLiteral("/Demo/demo.aps");
    if (!QFileInfo::exists(demo)) {
        std::fprintf(stderr, "no demo project at %s (build the demo target)\n", qPrintable(demo));
        return 1;
    }
    QTemporaryDir work;
    // The shipped files (the opening segments) beside the programs, the work folders apart.
    const Workspace workspace(binDir, work.filePath(QStringLiteral("work")));
    workspace.prepare();
    QuietPrompter prompter;
    ProjectSession session(workspace, ProjectEnvironment{}, prompter);
    if (!session.open(QFileInfo(demo).absoluteFilePath())) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(demo));
        return 1;
    }

    QWidget window;
    window.resize(1366, 768);
    auto *label = new QLabel(QStringLiteral("演示 — %1 张图片，%2 首音乐")
                                 .arg(session.project().pictures.size())
                                 .arg(session.project().songs.size()),
                             &window);
    label->move(20, 20);
    window.show();
    QApplication::processEvents();

    ExportOptions options;
    options.videoSize = {1280, 720};
    options.editingScreen = {session.environment().screenWidth, session.environment().screenHeight};
    Watchdog watchdog(window);
    QElapsedTimer wall;

    std::printf("demo: %lld pictures, %lld songs, exported at 1280 x 720; watchdog every 5 ms\n\n",
                qlonglong(session.project().pictures.size()), qlonglong(session.project().songs.size()));
    std::printf(
        "| export | wall s | longest stall ms | 99th pct gap ms | gaps > 50 ms | window thread's longest CPU between "
        "firings ms | control thread's longest gap ms | progress updates/s |\n|---|---|---|---|---|---|---|---|\n");

    // The idle window: the stalls the machine's other work causes by itself.
    watchdog.start();
    wall.start();
    while (wall.elapsed() < 3000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    watchdog.stop();
    std::printf("| none (idle window, 3 s) | 3.00 | %.1f | %.1f | %d | %.1f | %.1f | - |\n", watchdog.longestMs(),
                watchdog.percentile(0.99), watchdog.over(50), watchdog.longestCpuMs(), watchdog.controlLongestMs());

    // Through the runner.
    options.targetPath = work.filePath(QStringLiteral("runner.avi"));
    int updates = 0;
    watchdog.start();
    wall.start();
    const ExportOutcome viaRunner =
        ui::runVideoExport(&window, session, prompter, options, [&](ui::ProgressWindow &progress) {
            auto *count = new QTimer(&progress);
            QObject::connect(count, &QTimer::timeout, [&updates, &progress, last = QString()]() mutable {
                const QString now = progress.progressText();
                if (now != last) ++updates;
                last = now;
            });
            count->start(5); // reports come at most every 50 ms
        });
    const double runnerSec = wall.elapsed() / 1000.0;
    watchdog.stop();
    if (!viaRunner.completed) {
        std::fprintf(stderr, "the export through the runner did not complete (status %d)\n", viaRunner.status);
        return 1;
    }
    std::printf("| through the job runner | %.2f | %.1f | %.1f | %d | %.1f | %.1f | %.1f |\n", runnerSec,
                watchdog.longestMs(), watchdog.percentile(0.99), watchdog.over(50), watchdog.longestCpuMs(),
                watchdog.controlLongestMs(), updates / runnerSec);

    // Reference: the same export on the window thread.
    options.targetPath = work.filePath(QStringLiteral("direct.avi"));
    JobControl control;
    watchdog.start();
    wall.start();
    bool directDone = false;
    QTimer::singleShot(0, [&] {
        const ExportOutcome direct = ExportAvi(session.project(), session.workspace(), options, prompter, control,
                                               makeProjectSoundtrackFactory(session.workspace(), prompter));
        if (!direct.completed) std::fprintf(stderr, "the direct export did not complete\n");
        directDone = true;
    });
    while (!directDone)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    // One more firing of the watchdog, after the export let the loop go.
    const size_t firings = watchdog.firings();
    while (watchdog.firings() == firings)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    const double directSec = wall.elapsed() / 1000.0;
    watchdog.stop();
    std::printf("| reference: on the window thread | %.2f | %.1f | %.1f | %d | %.1f | %.1f | - |\n\n", directSec,
                watchdog.longestMs(), watchdog.percentile(0.99), watchdog.over(50), watchdog.longestCpuMs(),
                watchdog.controlLongestMs());

    // Cancel midway from the progress window.
    const QString cancelDir = work.filePath(QStringLiteral("cancel"));
    QDir().mkpath(cancelDir);
    options.targetPath = QDir(cancelDir).filePath(QStringLiteral("cancelled.avi"));
    QElapsedTimer sinceCancel;
    int cancelPercent = -1;
    watchdog.start();
    const ExportOutcome cancelled =
        ui::runVideoExport(&window, session, prompter, options, [&](ui::ProgressWindow &progress) {
            auto *poll = new QTimer(&progress);
            QObject::connect(poll, &QTimer::timeout, [&, poll] {
                if (progress.caption() != QStringLiteral("步骤4/5：编码视频") || progress.percent() < 40) return;
                poll->stop();
                cancelPercent = progress.percent();
                sinceCancel.start();
                progress.cancelButton()->click();
            });
            poll->start(5);
        });
    const qint64 stopMs = sinceCancel.isValid() ? sinceCancel.elapsed() : -1;
    watchdog.stop();
    std::printf("cancel at %d %% of the video: the job ended %lld ms after the click (status %d); file left: %s; "
                "longest stall meanwhile %.1f ms (control thread %.1f ms)\n",
                cancelPercent, qlonglong(stopMs), cancelled.status, anyOutputLeft(cancelDir) ? "yes" : "no",
                watchdog.longestMs(), watchdog.controlLongestMs());
    return 0;
}
