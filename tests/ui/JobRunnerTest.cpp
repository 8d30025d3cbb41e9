#include "JobRunner.h"
#include "BuildFlow.h"
#include "FakePrompter.h"
#include "FrmBuild.h"
#include "FrmFinish.h"
#include "GuiPrompter.h"
#include "ProgressWindow.h"
#include "SlideshowFile.h"
#include "VideoExportJob.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

using namespace pvsm;
using namespace pvsm::ui;
using pvsm::test::FakePrompter;

namespace {

// A prompter that notes the thread each call arrives on.
class ThreadNotingPrompter : public FakePrompter
{
public:
    QList<QThread *> threads;
    QStringList items;
    Answer ask(const QString &text, PromptButtons b, PromptIcon i, const QString &t) override
    {
        threads << QThread::currentThread();
        return FakePrompter::ask(text, b, i, t);
    }
    void inform(const QString &text, PromptIcon i) override
    {
        threads << QThread::currentThread();
        FakePrompter::inform(text, i);
    }
    QString chooseSaveFile(const FileDialogRequest &r) override
    {
        threads << QThread::currentThread();
        return FakePrompter::chooseSaveFile(r);
    }
    QString chooseOpenFile(const FileDialogRequest &r) override
    {
        threads << QThread::currentThread();
        return FakePrompter::chooseOpenFile(r);
    }
    int chooseItem(const QString &, const QString &, const QStringList &list) override
    {
        threads << QThread::currentThread();
        items = list;
        return 1;
    }
};

// Runs the window thread's loop until `done` or a generous bound.
void serveUntil(const std::function<bool()> &done)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace

TEST(ProgressThrottle, DeliversNewCaptionsAtOnceAndPercentagesAtMostEveryInterval)
{
    struct Offer
    {
        int percent;
        const char *caption;
        qint64 nowMs;
        bool delivered;
    };
    const Offer offers[] = {
        {0, "a", 0, true},                       // the first report
        {0, "a", 5, false},                      // nothing new
        {1, "a", 10, false},                     // too soon after the last
        {2, "a", 49, false}, {3, "a", 50, true}, // the interval has passed
        {3, "b", 51, true},                      // a new caption does not wait
        {4, "b", 60, false}, {5, "b", 200, true},
    };
    ProgressThrottle throttle(50);
    for (const Offer &o : offers) {
        const bool delivered = throttle.offer(o.percent, QString::fromLatin1(o.caption), o.nowMs);
        EXPECT_EQ(delivered, o.delivered) << o.percent << o.caption << o.nowMs;
        if (delivered) throttle.markDelivered(o.nowMs);
    }
    // A report held back stays pending, so the runner can deliver it at the end.
    EXPECT_FALSE(throttle.offer(6, QStringLiteral("b"), 210));
    EXPECT_TRUE(throttle.pending());
    EXPECT_EQ(throttle.percent(), 6);
}

// Every kind of call from the job's thread is answered on the window thread,
// with the window prompter's answer, while the job waits.
TEST(WorkerPrompter, ForwardsEveryCallToTheWindowThreadAndReturnsItsAnswer)
{
    ThreadNotingPrompter window;
    window.answers = {Answer::No};
    window.savePath = QStringLiteral("/x/save.avi");
    window.openPath = QStringLiteral("/x/open.aps");
    WorkerPrompter bridge(window);

    Answer answer = Answer::Cancel;
    QString saved, opened;
    int item = -1;
    std::atomic<bool> done{false};
    std::thread job([&] {
        answer =
            bridge.ask(QStringLiteral("替换？"), PromptButtons::YesNo, PromptIcon::Warning, QStringLiteral("Info"));
        bridge.inform(QStringLiteral("消息"), PromptIcon::Information);
        saved = bridge.chooseSaveFile({});
        opened = bridge.chooseOpenFile({});
        item = bridge.chooseItem(QStringLiteral("视频压缩"), QStringLiteral("压缩程序："),
                                 {QStringLiteral("a"), QStringLiteral("b")});
        done = true;
    });
    serveUntil([&] { return done.load(); });
    job.join();

    EXPECT_EQ(answer, Answer::No);
    EXPECT_EQ(window.asked, QStringList{QStringLiteral("替换？")});
    EXPECT_EQ(window.informed, QStringList{QStringLiteral("消息")});
    EXPECT_EQ(saved, QStringLiteral("/x/save.avi"));
    EXPECT_EQ(opened, QStringLiteral("/x/open.aps"));
    EXPECT_EQ(item, 1);
    EXPECT_EQ(window.items.size(), 2);
    ASSERT_EQ(window.threads.size(), 5);
    for (QThread *t : window.threads)
        EXPECT_EQ(t, QCoreApplication::instance()->thread());
}

// A question still waiting when the window closes the bridge ends as
// cancelled instead of holding the job for ever; later ones are not asked.
TEST(WorkerPrompter, ClosingReleasesAWaitingJobWithCancel)
{
    FakePrompter window;
    window.answers = {Answer::Yes, Answer::Yes};
    WorkerPrompter bridge(window);
    std::atomic<bool> asking{false};
    Answer first = Answer::Yes, second = Answer::Yes;
    std::thread job([&] {
        asking = true;
        first = bridge.ask(QStringLiteral("q1"), PromptButtons::YesNo, PromptIcon::Question, {});
        second = bridge.ask(QStringLiteral("q2"), PromptButtons::YesNo, PromptIcon::Question, {});
    });
    while (!asking)
        QThread::msleep(1);
    QThread::msleep(20); // the call is queued, the window thread has not served it
    bridge.close();
    job.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(first, Answer::Cancel);
    EXPECT_EQ(second, Answer::Cancel);
    EXPECT_TRUE(window.asked.isEmpty());
}

TEST(JobRunner, ProgressArrivesOnTheWindowThreadAndTheLastReportBeforeFinished)
{
    FakePrompter window;
    JobRunner runner(window);
    QList<int> percents;
    QList<QThread *> threads;
    bool finished = false;
    bool lastBeforeFinished = false;
    QObject::connect(&runner, &JobRunner::progressChanged, &runner, [&](int p, const QString &) {
        percents << p;
        threads << QThread::currentThread();
    });
    QObject::connect(&runner, &JobRunner::finished, &runner, [&] {
        finished = true;
        lastBeforeFinished = !percents.isEmpty() && percents.last() == 100;
    });
    runner.start([](const JobControl &control, Prompter &) {
        // A thousand reports in a moment: most are dropped, the last is not.
        for (int i = 0; i <= 1000; ++i)
            control.report(i / 10, QStringLiteral("步骤4/5：编码视频"));
    });
    serveUntil([&] { return finished; });
    EXPECT_TRUE(finished);
    EXPECT_FALSE(runner.isRunning());
    EXPECT_TRUE(lastBeforeFinished);
    EXPECT_LT(percents.size(), 20);
    for (QThread *t : threads)
        EXPECT_EQ(t, QCoreApplication::instance()->thread());
}

TEST(JobRunner, CancelReachesTheJobsControl)
{
    FakePrompter window;
    JobRunner runner(window);
    bool finished = false;
    bool sawCancel = false;
    QObject::connect(&runner, &JobRunner::finished, [&] { finished = true; });
    runner.start([&](const JobControl &control, Prompter &) {
        while (!control.cancelled())
            QThread::msleep(1);
        sawCancel = true;
    });
    QTimer::singleShot(30, &runner, &JobRunner::cancel);
    serveUntil([&] { return finished; });
    EXPECT_TRUE(sawCancel);
}

// User data (a file name with markup in it) is shown as it is.
TEST(GuiPrompter, MessageBoxesShowPlainText)
{
    GuiPrompter prompter;
    const QString text = QStringLiteral("文件 '<b>a</b><img src=x>.avi' 已经存在，要替换为新的文件吗？");
    Qt::TextFormat format = Qt::AutoText;
    QString shown;
    auto answerBox = [&] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible()) {
                format = box->textFormat();
                shown = box->text();
                box->buttons().first()->click();
                return;
            }
    };
    QTimer::singleShot(0, answerBox);
    prompter.ask(text, PromptButtons::YesNo, PromptIcon::Warning, QStringLiteral("Info"));
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(shown, text);

    format = Qt::AutoText;
    QTimer::singleShot(0, answerBox);
    prompter.inform(text, PromptIcon::Information);
    EXPECT_EQ(format, Qt::PlainText);
}

namespace {

class ExportFlowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        env.screenWidth = 640;
        env.screenHeight = 480;
        env.lyricSampleLineHeight = 30;
        const QString prog = dir.filePath(QStringLiteral("prog"));
        Workspace ws(prog, prog);
        ws.prepare();
        session = std::make_unique<ProjectSession>(ws, env, prompter);
        Project &project = session->project();
        project = Project::makeDefault(env);
        for (int i = 0; i < 3; ++i) {
            QImage img(200, 150, QImage::Format_RGB32);
            img.fill(QColor::fromHsv(i * 90 % 360, 220, 230));
            const QString path = dir.filePath(QStringLiteral("p%1.png").arg(i));
            img.save(path);
            project.pictures.push_back(project.newPicture(path, env));
        }
        options.videoSize = {320, 240};
        options.editingScreen = {640, 480};
        options.targetPath = dir.filePath(QStringLiteral("out.avi"));
    }

    QTemporaryDir dir;
    ProjectEnvironment env;
    FakePrompter prompter;
    std::unique_ptr<ProjectSession> session;
    ExportOptions options;
};

} // namespace

// The cancel button of the progress window stops a long export soon, leaves
// no file, and the project and the busy flag are as they were.
TEST_F(ExportFlowTest, CancelFromTheProgressWindowLeavesNoFileAndTheProjectUnchanged)
{
    session->project().settings.timeInterval = 3600; // an hour a picture: far longer than the test
    const Project before = session->project();
    QWidget window;
    window.resize(800, 500);
    window.show();

    bool busyWhileRunning = false;
    bool shownWhileRunning = false;
    QElapsedTimer sinceCancel;
    const ExportOutcome o = runVideoExport(&window, *session, prompter, options, [&](ProgressWindow &progress) {
        EXPECT_EQ(progress.parentWidget(), &window);
        auto *poll = new QTimer(&progress);
        QObject::connect(poll, &QTimer::timeout, [&, poll] {
            if (progress.caption() != QStringLiteral("步骤4/5：编码视频") || progress.percent() < 1) return;
            busyWhileRunning = session->busy();
            shownWhileRunning = progress.isVisible();
            poll->stop();
            sinceCancel.start();
            progress.cancelButton()->click();
        });
        poll->start(5);
    });
    const qint64 stopMs = sinceCancel.isValid() ? sinceCancel.elapsed() : -1;

    EXPECT_TRUE(busyWhileRunning);
    EXPECT_TRUE(shownWhileRunning);
    EXPECT_FALSE(session->busy());
    EXPECT_FALSE(o.completed);
    EXPECT_EQ(o.status, kExportCancelled);
    ASSERT_GE(stopMs, 0);
    EXPECT_LT(stopMs, 3000); // far above what stopping takes (bench_ui_stall measures it)
    EXPECT_TRUE(QDir(dir.path())
                    .entryList({QStringLiteral("*.avi*"), QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden)
                    .isEmpty());
    EXPECT_TRUE(session->project() == before);
    EXPECT_TRUE(prompter.informed.isEmpty());
}

// A whole export through the runner: the file is there and the session free again.
TEST_F(ExportFlowTest, AnExportThroughTheRunnerWritesTheFile)
{
    session->project().settings.timeInterval = 1;
    session->project().settings.enableTransition = false;
    QWidget window;
    window.resize(800, 500);
    const ExportOutcome o = runVideoExport(&window, *session, prompter, options);
    EXPECT_TRUE(o.completed);
    EXPECT_EQ(o.target, options.targetPath);
    EXPECT_GT(QFileInfo(options.targetPath).size(), 0);
    EXPECT_FALSE(session->busy());
}

namespace {

// Answers the windows of the build flow as a user would, from a timer of the
// window thread: the build dialog, the save dialog, the finish window and any
// message box, noting what it saw.
class FlowDriver : public QObject
{
public:
    QString target;
    BuildKind kind = BuildKind::Video;
    int frameSizeIndex = 0;
    QStringList seen;
    QString finishInfo;

    FlowDriver()
    {
        connect(&m_timer, &QTimer::timeout, this, &FlowDriver::step);
        m_timer.start(20);
    }

private:
    void step()
    {
        QWidget *w = QApplication::activeModalWidget();
        if (!w || !w->isVisible()) return;
        if (auto *build = qobject_cast<FrmBuild *>(w)) {
            seen << QStringLiteral("FrmBuild");
            build->kindButton(kind)->click();
            build->findChild<QComboBox *>(QStringLiteral("ComboVideoSize"))->setCurrentIndex(frameSizeIndex);
            build->okButton()->click();
        } else if (auto *files = qobject_cast<QFileDialog *>(w)) {
            seen << QStringLiteral("save dialog");
            // Typed as a user types it: selectFile() races the dialog's folder model.
            auto *name = files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            name->setText(target);
            QMetaObject::invokeMethod(files, "accept");
        } else if (auto *finish = qobject_cast<FrmFinish *>(w)) {
            seen << QStringLiteral("FrmFinish");
            finishInfo = finish->infoText();
            if (finish->openFolderBox()->isChecked()) finish->openFolderBox()->click(); // opens nothing on OK
            finish->okButton()->click();
        } else if (auto *box = qobject_cast<QMessageBox *>(w)) {
            seen << box->text();
            box->buttons().first()->click();
        }
    }

    QTimer m_timer;
};

} // namespace

// The build command from start to end with the editor's own prompter: the
// dialog, the save dialog, the export on its thread, the finish window.
TEST_F(ExportFlowTest, TheBuildFlowExportsTheVideoAndReportsIt)
{
    GuiPrompter gui;
    const QString prog = dir.filePath(QStringLiteral("prog"));
    ProjectSession guiSession(Workspace(prog, prog), env, gui);
    guiSession.project() = session->project();
    guiSession.project().settings.timeInterval = 1;
    guiSession.project().settings.enableTransition = false;
    guiSession.project().settings.txtSetting[0] = QStringLiteral("演示");
    QWidget window;
    window.resize(800, 500);
    window.show();
    gui.setParent(&window);

    FlowDriver driver;
    driver.target = dir.filePath(QStringLiteral("flow.avi"));
    runBuildFlow(&window, guiSession, gui);

    EXPECT_EQ(driver.seen,
              (QStringList{QStringLiteral("FrmBuild"), QStringLiteral("save dialog"), QStringLiteral("FrmFinish")}));
    EXPECT_GT(QFileInfo(driver.target).size(), 0);
    EXPECT_TRUE(driver.finishInfo.startsWith(QStringLiteral("视频名称： 演示\n图片数量：3\n")));
    EXPECT_TRUE(driver.finishInfo.endsWith(driver.target)) << driver.finishInfo.toStdString();
    EXPECT_TRUE(guiSession.project().settings.isExportAvi);
    EXPECT_FALSE(guiSession.project().settings.enableOpenFolder);
    EXPECT_FALSE(guiSession.busy());
}

// The complete slideshow through the same windows, with the player this
// build made.
TEST_F(ExportFlowTest, TheBuildFlowBuildsTheSlideshowAndReportsIt)
{
    GuiPrompter gui;
    const QString prog = dir.filePath(QStringLiteral("prog"));
    QDir().mkpath(prog);
    ASSERT_TRUE(QFile::copy(QStringLiteral(PVSM_BIN_DIR "/Pvsm.bfq"), prog + QStringLiteral("/Pvsm.bfq")));
    ProjectSession guiSession(Workspace(prog + QLatin1Char('/'), prog + QLatin1Char('/')), env, gui);
    guiSession.project() = session->project();
    guiSession.project().settings.txtSetting[0] = QStringLiteral("演示");
    guiSession.project().settings.isExportAvi = true;
    QWidget window;
    window.resize(800, 500);
    window.show();
    gui.setParent(&window);

    FlowDriver driver;
    driver.kind = BuildKind::Package;
    driver.target = dir.filePath(QStringLiteral("flow-show"));
    runBuildFlow(&window, guiSession, gui);

    EXPECT_EQ(driver.seen,
              (QStringList{QStringLiteral("FrmBuild"), QStringLiteral("save dialog"), QStringLiteral("FrmFinish")}));
    const auto show = ReadSlideshow(driver.target);
    ASSERT_TRUE(show);
    EXPECT_EQ(show->record.getInt(QStringLiteral("NowI")), 3);
    EXPECT_TRUE(driver.finishInfo.startsWith(QStringLiteral("幻灯名称： 演示\n图片总数： 3\n"))) << driver.finishInfo.toStdString();
    EXPECT_TRUE(driver.finishInfo.endsWith(driver.target)) << driver.finishInfo.toStdString();
    EXPECT_TRUE(guiSession.project().settings.isPackage);
    EXPECT_FALSE(guiSession.project().settings.isExportAvi);
    EXPECT_FALSE(guiSession.busy());
}

// One picture: the two-picture message and no dialog; a busy session: nothing at all.
TEST_F(ExportFlowTest, TheBuildFlowNeedsTwoPicturesAndAnIdleSession)
{
    GuiPrompter gui;
    const QString prog = dir.filePath(QStringLiteral("prog"));
    ProjectSession guiSession(Workspace(prog, prog), env, gui);
    guiSession.project() = session->project();
    guiSession.project().pictures.resize(1);
    QWidget window;
    window.show();
    gui.setParent(&window);
    FlowDriver driver;
    runBuildFlow(&window, guiSession, gui);
    EXPECT_EQ(driver.seen, QStringList{QStringLiteral("请首先添加至少两张图片到图片幻灯中")});

    driver.seen.clear();
    guiSession.project() = session->project();
    guiSession.setBusy(true);
    runBuildFlow(&window, guiSession, gui);
    EXPECT_TRUE(driver.seen.isEmpty());
    EXPECT_TRUE(guiSession.busy());
}
