// The picture list with 1000 photos: 1000 JPEGs of 4000 x 3000 (12
// megapixels) added at once to the editor's picture section and strip.
// Prints the time until the add returns, until the strip's seven cells show
// their thumbnails, until every thumbnail is cached; the longest the window
// thread could not run (a 5 ms watchdog timer on it, as in bench_ui_stall),
// during the add and while the thumbnails are made; then the strip scrolled
// through all 1000 pictures one step at a time, every step painted, once
// everything is cached. Reference rows of the same run: one scaled decode of
// such a photo at the cell size, on one thread, and the watchdog on an idle
// window for 2 s.
//
// The photos: a few distinct ones encoded once (the tests' photo-like detail
// and grain, about the size a camera writes), the 1000 files hard links to them under
// other names (the cache keys on the path, so each is decoded; the file
// system's cache holds them, as it does for photos just copied or viewed).
//
// Like camera files, each photo carries a 160 x 120 preview in its EXIF block,
// which the cache uses; with "plain" as the third argument the photos carry
// none and every thumbnail is a whole (DCT-scaled) decode.
//
//   build/bench/bench_thumbnails [COUNT] [DISTINCT] [camera|plain]     (offscreen unless a display is set)
#include "EditorContext.h"
#include "ExifFixture.h"
#include "GuiPrompter.h"
#include "ImageFixtures.h"
#include "PictureDraw.h"
#include "PictureAdd.h"
#include "PictureLoad.h"
#include "ProjectSession.h"
#include "Sections.h"
#include "StartUp.h"
#include "ThumbnailCache.h"
#include "ThumbnailStrip.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QUndoStack>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

using namespace pvsm;
using namespace pvsm::ui;

namespace {

// The longest gap between two firings of a 5 ms timer on the window thread.
struct Watchdog
{
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;

    Watchdog()
    {
        timer.setInterval(5);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] { beat(); });
    }
    void start()
    {
        clock.start();
        last = 0;
        longest = 0;
        timer.start();
    }
    void beat()
    {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    }
    // The gap up to now counts too (a stall that has not ended).
    qint64 stop()
    {
        beat();
        timer.stop();
        return longest;
    }
};

template <typename Done>
bool runUntil(Done done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!done()) usleep(500);
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(8, std::atoi(argv[1])) : 1000;
    const int distinct = argc > 2 ? std::max(1, std::atoi(argv[2])) : 4;
    const bool camera = !(argc > 3 && QByteArray(argv[3]) == "plain");

    QTemporaryDir work;
    QDir(work.path()).mkdir(QStringLiteral("photos"));
    const QString folder = work.filePath(QStringLiteral("photos"));
    QElapsedTimer t;
    t.start();
    QStringList originals;
    qint64 bytes = 0;
    for (int k = 0; k < distinct; ++k) {
        const QString path = work.filePath(QStringLiteral("original-%1.jpg").arg(k));
        const QImage photo = fixtures::detailedPhoto(QSize(4000, 3000), 1000u + unsigned(k));
        QByteArray jpeg;
        {
            QBuffer buffer(&jpeg);
            buffer.open(QIODevice::WriteOnly);
            photo.save(&buffer, "JPEG", 90);
        }
        if (camera) {
            QByteArray preview;
            QBuffer buffer(&preview);
            buffer.open(QIODevice::WriteOnly);
            photo.scaled(160, 120, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(&buffer, "JPEG", 85);
            jpeg = pvsm::test::withExifPreview(jpeg, preview);
        }
        QFile file(path);
        if (jpeg.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(jpeg) != jpeg.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        file.close();
        bytes += QFileInfo(path).size();
        originals << path;
    }
    QStringList photos;
    for (int i = 0; i < count; ++i) {
        const QString path = QDir(folder).filePath(QStringLiteral("photo-%1.jpg").arg(i, 4, 10, QLatin1Char('0')));
        if (::link(QFile::encodeName(originals[i % distinct]).constData(), QFile::encodeName(path).constData()) != 0) {
            std::fprintf(stderr, "cannot link %s\n", qPrintable(path));
            return 1;
        }
        photos << path;
    }
    std::printf("%d photos of 4000 x 3000, %d distinct, %s, %.1f MB each on average (made in %.1f s)\n", count,
                distinct, camera ? "with camera previews in EXIF" : "without EXIF previews", double(bytes) / distinct / 1e6, double(t.elapsed()) / 1000);

    // Reference: one photo decoded at the cell size on this thread.
    std::vector<double> decodeMs;
    for (int r = 0; r < 5; ++r) {
        t.restart();
        const QImage thumb = LoadPictureForTarget(originals[r % distinct], kDrawFit, ThumbnailStrip::cellSize());
        decodeMs.push_back(double(t.nsecsElapsed()) / 1e6);
        if (thumb.isNull()) return 1;
    }
    std::sort(decodeMs.begin(), decodeMs.end());

    // The editor without its main window: the core, the context, the
    // picture section and the strip, shown.
    GuiPrompter prompter;
    AppCore::Options o;
    o.workspace = Workspace(work.path(), work.path());
    o.display.screen = {1920, 1080};
    auto core = AppCore::start(o, prompter);
    if (!core) return 1;
    QUndoStack undo;
    EditorContext context(*core, prompter, undo);
    ThumbnailCache cache;
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    SectionPage *page = makePicturesPage(context);
    layout->addWidget(page, 1);
    auto *strip = new ThumbnailStrip(context, cache, &window);
    layout->addWidget(strip);
    window.resize(900, 700);
    window.show();
    runUntil([] { return false; }, 300); // shown and settled

    Watchdog idle;
    idle.start();
    runUntil([] { return false; }, 2000);
    const qint64 idleStall = idle.stop();

    // The add, as the section's add does it: every file checked (on workers,
    // the window thread running meanwhile), one command.
    Watchdog dog;
    dog.start();
    QElapsedTimer clock;
    clock.start();
    if (auto command = planPictureAdd(context, photos, nullptr)) context.push(command.release());
    const double addMs = double(clock.nsecsElapsed()) / 1e6;
    const qint64 addStall = dog.stop();
    if (int(context.project().pictures.size()) != count) {
        std::fprintf(stderr, "only %zu pictures added\n", context.project().pictures.size());
        return 1;
    }
    dog.start();
    const bool shown = runUntil([&] { return strip->cellsWaiting() == 0; }, 30000);
    const double firstSevenMs = double(clock.nsecsElapsed()) / 1e6;
    const bool cached = runUntil([&] { return cache.pending() == 0; }, 600000);
    const double allMs = double(clock.nsecsElapsed()) / 1e6;
    const qint64 decodeStall = dog.stop();
    const int decodes = cache.decodes();

    // Scrolling through every picture, each step painted before the next.
    QScrollBar *scroll = strip->scrollBar();
    scroll->setValue(scroll->minimum());
    QApplication::processEvents();
    std::vector<double> stepMs;
    for (int v = scroll->minimum() + 1; v <= scroll->maximum(); ++v) {
        QElapsedTimer step;
        step.start();
        scroll->setValue(v);
        strip->repaint();
        QApplication::processEvents();
        stepMs.push_back(double(step.nsecsElapsed()) / 1e6);
    }
    std::sort(stepMs.begin(), stepMs.end());
    const double stepMedian = stepMs[stepMs.size() / 2];
    const double stepMax = stepMs.back();

    // Undo and redo the whole add: no decode.
    undo.undo();
    undo.redo();
    runUntil([&] { return cache.pending() == 0; }, 10000);
    const int decodesAfterUndo = cache.decodes() - decodes;

    std::printf("\n| step | figure | target |\n|---|---|---|\n");
    std::printf("| the add returns (%d files checked, one command) | %.0f ms | |\n", count, addMs);
    std::printf("| the seven cells show their thumbnails (from the start of the add) | %.0f ms%s | < 500 ms |\n",
                firstSevenMs, shown ? "" : " (timed out)");
    std::printf("| every thumbnail cached (%d pictures, %d threads) | %.2f s%s | < 10 s |\n", decodes,
                int(std::thread::hardware_concurrency()), allMs / 1000, cached ? "" : " (timed out)");
    std::printf("| longest window-thread stall during the add | %lld ms | < 50 ms |\n", (long long)addStall);
    std::printf("| longest window-thread stall while thumbnails are made | %lld ms | < 50 ms |\n",
                (long long)decodeStall);
    std::printf("| scroll step through %zu positions, cached: median / longest | %.2f / %.2f ms | < 16 ms |\n",
                stepMs.size(), stepMedian, stepMax);
    std::printf("| decodes after undo and redo of the add | %d | 0 |\n", decodesAfterUndo);
    std::printf("| reference: one photo decoded at %d x %d on one thread (median of 5) | %.1f ms | |\n",
                ThumbnailStrip::cellSize().width(), ThumbnailStrip::cellSize().height(), decodeMs[2]);
    std::printf("| reference: longest watchdog gap on the idle window, 2 s | %lld ms | |\n", (long long)idleStall);
    return 0;
}
