#include "MotionScreenshots.h"

#include "EditingView.h"
#include "EditorContext.h"
#include "MainWindow.h"
#include "MotionBar.h"
#include "MotionCommands.h"
#include "MotionOverlay.h"
#include "Project.h"
#include "Screenshots.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QAbstractItemView>
#include <QElapsedTimer>
#include <QPainter>
#include <QPixmap>
#include <QThread>
#include <QUndoStack>

namespace pvsm::ui {

namespace {

void waitMs(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

} // namespace

int saveMotionScreenshots(MainWindow &window, const QString &dir)
{
    EditingView &view = *window.editingView();
    MotionBar &bar = *window.motionBar();
    EditorContext &context = window.context();
    if (context.currentPicture() < 0) return 0;
    const QString prefix = QStringLiteral("motion-%1x%2-").arg(window.width()).arg(window.height());
    QWidget *centre = view.parentWidget(); // the view with its bar and strip
    int written = 0;
    auto shoot = [&](const QString &name, QWidget *what) {
        if (what->grab().save(QDir(dir).filePath(prefix + name + QStringLiteral(".png")))) ++written;
    };

    window.selectSection(1);
    bar.setActive(true);
    QElapsedTimer probing;
    probing.start();
    while (!bar.area().valid() && probing.elapsed() < 10000) waitMs(20);
    waitForComposition(view, 10000);
    QUndoStack &undo = context.undoStack();
    const int before = undo.index();
    const PictureMotion motion = context.project().pictures[size_t(context.currentPicture())].motion;
    if (motion.on) pushMotionOn(context, false, bar.area());
    settle(window);
    shoot(QStringLiteral("off"), centre);

    pushMotionOn(context, true, bar.area());
    settle(window);
    shoot(QStringLiteral("on"), centre);

    // The end moved towards the top right and made smaller, the start selected.
    const PictureMotion &now = context.project().pictures[size_t(context.currentPicture())].motion;
    const MotionArea area = bar.area();
    QRectF end = scaledMotionRect(now.end, 0.6, {0.05, 0.05}, area);
    end = movedMotionRect(end, {0.2, -0.15}, area);
    pushMotionRect(context, MotionEnd::End, end, MotionEdit::Move);
    bar.overlay().select(MotionEnd::Start);
    settle(window);
    shoot(QStringLiteral("edited"), centre);

    // The curve list open over the bar.
    if (auto *curve = bar.findChild<QComboBox *>(QStringLiteral("CboMotionCurve"))) {
        curve->showPopup();
        waitMs(200);
        // The list is a window of its own: laid over the main window's picture.
        QPixmap shot = window.grab();
        QWidget *popup = curve->view()->window();
        QPainter(&shot).drawPixmap(window.mapFromGlobal(popup->mapToGlobal(QPoint(0, 0))), popup->grab());
        if (shot.save(QDir(dir).filePath(prefix + QStringLiteral("curve.png")))) ++written;
        curve->hidePopup();
    }

    // A moment of play, about a third of the way.
    bar.overlay().togglePlay();
    const double seconds = slideSeconds(context.project(), size_t(context.currentPicture()));
    waitMs(int(seconds * 1000 / 3));
    shoot(QStringLiteral("play"), centre);
    bar.overlay().stopPlay();
    settle(window);
    shoot(QStringLiteral("window"), &window);

    while (undo.index() > before) undo.undo();
    bar.setActive(false);
    settle(window);
    return written;
}

} // namespace pvsm::ui
