#pragma once

// What the export benchmarks share: a prompter that answers yes, a timed
// reference program, and one export in a child process so that its peak
// memory is its own.

#include "Soundtrack.h"
#include "VideoExport.h"

#include <QElapsedTimer>
#include <QProcess>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace pvsm::bench {

class QuietPrompter : public Prompter
{
public:
    Answer ask(const QString &, PromptButtons, PromptIcon, const QString &) override { return Answer::Yes; }
    void inform(const QString &text, PromptIcon) override { std::fprintf(stderr, "%s\n", text.toUtf8().constData()); }
    QString chooseSaveFile(const FileDialogRequest &) override { return {}; }
    QString chooseOpenFile(const FileDialogRequest &) override { return {}; }
};

// In a reference's process before it starts: the memory policy the system
// gives every program, not the one ReuseCanvasMemory gave this benchmark
// (a child would inherit its small pages).
inline void useSystemMemoryPolicy() { (void)prctl(PR_SET_THP_DISABLE, 0, 0, 0, 0); }

inline double runProcess(const QString &program, const QStringList &args)
{
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setChildProcessModifier(useSystemMemoryPolicy);
    p.start(program, args);
    p.waitForFinished(-1);
    if (p.exitCode() != 0) std::fprintf(stderr, "%s failed\n", program.toUtf8().constData());
    return t.elapsed() / 1000.0;
}

struct ExportRun
{
    double seconds = 0;
    int64_t frames = 0;
    long peakRssMb = 0;
    ExportStepTimes steps;
    double cpuSeconds = 0; // user + system time of all the export's threads
    long startRssMb = 0;   // resident at the fork: the benchmark's own memory, counted in the peak
};

inline long residentMb()
{
    long pages = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * sysconf(_SC_PAGESIZE) / (1024 * 1024);
}

// Runs one export in a child process so its peak memory is its own. With
// `music` the project's songs become the soundtrack.
inline ExportRun exportInChild(const Project &project, const Workspace &ws, QSize size, const VideoEncodeOptions &encode,
                        const QString &target, bool music = false)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        const long startRss = residentMb();
        QuietPrompter prompter;
        ExportOptions options;
        options.targetPath = target;
        options.videoSize = size;
        options.editingScreen = {1920, 1080};
        options.encode = encode;
        QElapsedTimer t;
        t.start();
        JobControl control;
        const ExportOutcome o = ExportAvi(project, ws, options, prompter, control,
                                          music ? makeProjectSoundtrackFactory(ws, prompter) : SoundtrackFactory{});
        ExportRun r{t.elapsed() / 1000.0, o.completed ? o.frames : -1, 0, o.steps};
        struct rusage usage {};
        getrusage(RUSAGE_SELF, &usage);
        r.peakRssMb = usage.ru_maxrss / 1024;
        r.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
                       + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        r.startRssMb = startRss;
        if (write(pipeFds[1], &r, sizeof r) != sizeof r) _exit(1);
        _exit(0);
    }
    close(pipeFds[1]);
    ExportRun r;
    if (read(pipeFds[0], &r, sizeof r) != sizeof r) r.frames = -1;
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return r;
}

} // namespace pvsm::bench
