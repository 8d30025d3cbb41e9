#include "JobDialogScreenshots.h"

#include "FrmBuild.h"
#include "FrmFinish.h"
#include "SlideshowBuild.h"
#include "GuiPrompter.h"
#include "ProgressWindow.h"
#include "VideoExport.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTimer>

#include <functional>

namespace pvsm::ui {

namespace {

void save(QWidget &w, const QString &dir, const QString &name)
{
    w.show();
    QApplication::processEvents();
    w.grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
    w.hide();
}

// A dialog that only exists while `open` runs it modally: grabbed from the
// inside of its own loop, then closed.
void saveModal(const QString &dir, const QString &name, const std::function<void()> &open)
{
    QTimer::singleShot(50, [dir, name] {
        if (QWidget *w = QApplication::activeModalWidget()) {
            w->grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
            w->close();
        }
    });
    open();
}

} // namespace

void saveJobDialogScreenshots(const QString &dir)
{
    QDir().mkpath(dir);
    Settings settings;

    {
        FrmBuild build(settings, QSize(1920, 1080));
        save(build, dir, QStringLiteral("FrmBuild"));
    }
    // The video kind, with its size and frame rate.
    {
        Settings video = settings;
        video.isExportAvi = true;
        FrmBuild build(video, QSize(1920, 1080), nullptr, 25);
        save(build, dir, QStringLiteral("FrmBuild-video"));
    }

    // The strip as it sits over a window, before the first frame and while the video is coded.
    {
        QWidget window;
        window.resize(900, 560);
        ProgressWindow progress(&window, true);
        progress.setProgress(0, QStringLiteral("正在初始化编码器，较慢请等待..."));
        save(window, dir, QStringLiteral("ProgressWindow-initialising"));
        progress.setProgress(42, QStringLiteral("步骤4/5：编码视频"));
        window.show();
        QApplication::processEvents();
        progress.grab().save(QDir(dir).filePath(QStringLiteral("ProgressWindow.png")));
        save(window, dir, QStringLiteral("ProgressWindow-over-window"));
    }

    // The job's questions, as the window's prompter shows them.
    {
        GuiPrompter prompter;
        const QString name = QStringLiteral("二〇二六年夏天全家去海边旅行的照片和视频合集（第二部分，最终修订版）.avi");
        saveModal(dir, QStringLiteral("Question-replace-long-name"), [&] {
            prompter.ask(replaceQuestionText(name),
                         PromptButtons::YesNo, PromptIcon::Warning, QStringLiteral("Info"));
        });
        saveModal(dir, QStringLiteral("Question-codec"), [&] {
            prompter.chooseItem(QStringLiteral("视频压缩"), QStringLiteral("压缩程序："),
                                {QStringLiteral("H264  (libx264, H.264 / AVC)"),
                                 QStringLiteral("XVID  (libxvid, MPEG-4 part 2)"),
                                 QStringLiteral("MJPG  (mjpeg, Motion JPEG)")});
        });
    }

    const QString shortTarget = QStringLiteral("/home/user/Output/我的图片幻灯.avi");
    {
        FrmFinish finish(settings, finishReportText(QStringLiteral("我的图片幻灯"), 12, 1, 38273024, shortTarget),
                         shortTarget, nullptr, [](const QString &) {});
        save(finish, dir, QStringLiteral("FrmFinish"));
    }
    {
        const QString show = QStringLiteral("/home/user/Output/我的图片幻灯");
        FrmFinish finish(settings, slideshowFinishText(QStringLiteral("我的图片幻灯"), 12, 1, 9664014, show), show,
                         nullptr, [](const QString &) {});
        save(finish, dir, QStringLiteral("FrmFinish-slideshow"));
    }
    {
        const QString name = QStringLiteral("二〇二六年夏天全家去海边旅行的照片和视频合集（第二部分，最终修订版）");
        const QString target =
            QStringLiteral("/home/user/视频/家庭相册/2026年/夏天/海边旅行/") + name + QStringLiteral(".avi");
        FrmFinish finish(settings, finishReportText(name, 248, 6, 1288490188, target), target, nullptr,
                         [](const QString &) {});
        save(finish, dir, QStringLiteral("FrmFinish-long-name"));
    }
}

} // namespace pvsm::ui
