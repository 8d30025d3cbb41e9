#include "EditingView.h"
#include "EditorContext.h"
#include "LivePreview.h"
#include "MainWindow.h"
#include "Screenshots.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QThread>

#include <cstdio>

namespace pvsm::ui {

namespace {

// Clicks `row` of the list and grabs the window at `fraction` of `seconds`;
// prints how long the preview took from the click to its end.
bool shootPreview(MainWindow &window, LivePreview &live, const char *list, int row, double seconds, double fraction,
                  const QString &file)
{
    auto *box = window.findChild<QListWidget *>(QString::fromLatin1(list));
    if (!box || row >= box->count()) return false;
    box->scrollToItem(box->item(row));
    QApplication::processEvents();
    QElapsedTimer t;
    t.start();
    // As a click does: the row is chosen (the headline list stores it), then clicked.
    box->setCurrentRow(row);
    emit box->itemClicked(box->item(row));
    if (!live.running()) return false;
    bool saved = false;
    QElapsedTimer playing; // from the effect's first picture (the still comes before it)
    while (live.running() && t.elapsed() < 20000) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!playing.isValid() && live.framesShown() >= 2) playing.start();
        if (!saved && playing.isValid() && playing.elapsed() >= qint64(seconds * fraction * 1000))
            saved = window.grab().save(file);
        QThread::msleep(2);
    }
    const EffectPreviewResult &r = live.lastResult();
    std::printf("preview %s %d: %lld ms from the click; the effect %.0f ms (planned %.0f), %.0f ms before its first picture\n",
                list, row, static_cast<long long>(t.elapsed()), (r.end - r.firstFrame) * 1000, r.plannedSeconds * 1000,
                r.renderSeconds * 1000);
    return saved;
}

} // namespace

int savePreviewScreenshots(MainWindow &window, const QString &dir)
{
    auto *live = window.findChild<LivePreview *>();
    if (!live || window.context().project().pictures.size() < 2) return 0;
    const QString prefix =
        QDir(dir).filePath(QStringLiteral("main-%1x%2-preview-").arg(window.width()).arg(window.height()));
    const double speed = window.context().project().settings.transitionSpeed / 1000.0;
    int written = 0;
    window.selectSection(6);
    settle(window);
    struct Shot
    {
        int id;
        double fraction;
    };
    for (const Shot s : {Shot{15, 0.5}, Shot{11, 0.4}, Shot{8, 0.7}, Shot{20, 0.5}})
        written += shootPreview(window, *live, "StyleList", s.id, transitionPreviewSeconds(s.id, int(speed * 1000)),
                                s.fraction, prefix + QStringLiteral("transition-%1.png").arg(s.id));
    window.selectSection(5);
    settle(window);
    for (const Shot s : {Shot{5, 0.3}, Shot{8, 0.5}})
        written += shootPreview(window, *live, "FontList", s.id, headlineTiming(s.id).mainMs / 1000.0, s.fraction,
                                prefix + QStringLiteral("headline-%1.png").arg(s.id));
    // The two-line animated lyric style, halfway along its first line; the
    // style chosen before is chosen again afterwards.
    window.selectSection(7);
    settle(window);
    const int lyricStyle = window.context().project().settings.lyricStyle;
    written += shootPreview(window, *live, "ListLyricStyle", 3, 1.0, 0.5, prefix + QStringLiteral("lyric-3.png"));
    if (auto *styles = window.findChild<QListWidget *>(QStringLiteral("ListLyricStyle"))) styles->setCurrentRow(lyricStyle);
    settle(window);
    return written;
}

} // namespace pvsm::ui
