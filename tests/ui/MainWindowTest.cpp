#include "MainWindow.h"
#include "EditingView.h"
#include "EditorContext.h"
#include "FrameFixtures.h"
#include "GuiPrompter.h"
#include "HelpWindow.h"
#include "EditorCore.h"
#include "StartUp.h"
#include "ThumbnailStrip.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QMimeData>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolTip>
#include <QUndoStack>
#include <QUndoCommand>
#include <QUrl>

#include <functional>

#include <gtest/gtest.h>

using namespace pvsm;
using namespace pvsm::ui;

namespace {

// Answers every question from a script and records what the window said;
// `duringInform` runs while a message is up (as a user clicking meanwhile).
class ScriptedPrompter : public GuiPrompter
{
public:
    QStringList informed;
    QStringList asked;
    QString openPath, savePath;
    std::function<void()> duringInform;

    Answer ask(const QString &text, PromptButtons, PromptIcon, const QString &) override
    {
        asked << text;
        return Answer::No;
    }
    void inform(const QString &text, PromptIcon) override
    {
        informed << text;
        if (duringInform) duringInform();
    }
    QString chooseSaveFile(const FileDialogRequest &) override { return savePath; }
    QString chooseOpenFile(const FileDialogRequest &) override { return openPath; }
};

class SetTimeInterval : public QUndoCommand
{
public:
    SetTimeInterval(Project &project, float seconds)
        : m_project(project)
        , m_new(seconds)
        , m_old(project.settings.timeInterval)
    {
        setText(QStringLiteral("修改间隔时间"));
    }
    void redo() override { m_project.settings.timeInterval = m_new; }
    void undo() override { m_project.settings.timeInterval = m_old; }

private:
    Project &m_project;
    float m_new, m_old;
};

class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        core = test::startEditorCore(dir, prompter);
        ASSERT_TRUE(core);
        window = std::make_unique<MainWindow>(*core, prompter);
    }

    // Pictures the session can draw, added as the editor would.
    void addPictures(int count)
    {
        Project &p = core->session().project();
        for (int i = 0; i < count; ++i) {
            const QString path = dir.filePath(QStringLiteral("p%1_%2.png").arg(p.pictures.size()).arg(i));
            QImage image(64, 48, QImage::Format_RGB32);
            image.fill(QColor(40 * i, 90, 160));
            image.save(path);
            p.pictures.push_back(p.newPicture(path, core->session().environment()));
        }
        window->context().notifyProjectChanged();
    }

    QString savedProject(const QString &name, int pictures)
    {
        addPictures(pictures);
        const QString path = dir.filePath(name);
        EXPECT_TRUE(core->session().save(path));
        return path;
    }

    // The slide time stored in `path`, read by a session of its own.
    float timeIntervalInFile(const QString &path)
    {
        ProjectSession reread(core->session().workspace(), core->session().environment(), prompter);
        EXPECT_TRUE(reread.open(path));
        return reread.project().settings.timeInterval;
    }

    QAbstractButton *button(int index)
    {
        return window->findChild<QAbstractButton *>(QStringLiteral("PicBtn_%1").arg(index));
    }
    QString shownPage()
    {
        return window->findChild<QStackedWidget *>(QStringLiteral("StackSections"))->currentWidget()->objectName();
    }
    QString autoSaveText() { return window->findChild<QLabel *>(QStringLiteral("LblAutoSave"))->text(); }

    QTemporaryDir dir;
    ScriptedPrompter prompter;
    std::unique_ptr<AppCore> core;
    std::unique_ptr<MainWindow> window;
};

} // namespace

TEST_F(WindowTest, EveryButtonHasItsNameCaptionAndExactToolTip)
{
    struct Row
    {
        int index;
        const char *caption;
        const char *tip;
    };
    const Row rows[] = {
        {0, "创建幻灯", "创建图片幻灯文件 "},
        {1, "编辑图片", "添加、删除和排列图片 "},
        {2, "编辑音乐", "添加、删除和排列背景音乐 "},
        {3, "设置背景", "为图片幻灯背景选择颜色、图片或轮廓 "},
        {4, "静态文字", "编辑静态文字并调整文字的屏幕位置 "},
        {5, "动态文字", "编辑动态文字和选择动态文字特效 "},
        {6, "切换特效", "选择随机使用的图片切换特效 "},
        {7, "设置歌词", "添加并设置歌词 "},
        {8, "片头片尾", "编辑图片幻灯的片头或片尾 "},
        {9, "幻灯信息", "编辑图片幻灯信息，包括名称、作者、email、网站、说明和版权 "},
        {10, "其他设定", "其他图片幻灯设置 "},
        {11, "预览幻灯", "预览测试当前图片幻灯，如果点击后无反应，请尝试临时禁用杀毒或其他保护性软件 "},
        {12, "打开配置", "打开图片幻灯的配置文件 "},
        {13, "保存配置", "把图片幻灯的设置内容保存为配置文件 "},
    };
    for (const Row &r : rows) {
        QAbstractButton *b = button(r.index);
        ASSERT_NE(b, nullptr) << r.index;
        EXPECT_EQ(b->text(), QString::fromUtf8(r.caption)) << r.index;
        EXPECT_EQ(b->toolTip(), QString::fromUtf8(r.tip)) << r.index;
        EXPECT_EQ(b->isCheckable(), r.index >= 1 && r.index <= 10) << r.index;
    }
    EXPECT_TRUE(button(11)->isEnabled());
}

TEST_F(WindowTest, SectionButtonsAndMenuEntriesShowTheirPage)
{
    for (int n = 1; n <= 10; ++n) {
        button(n)->click();
        EXPECT_EQ(window->currentSection(), n);
        EXPECT_EQ(shownPage(), QStringLiteral("FraCT_%1").arg(n - 1));
        for (int other = 1; other <= 10; ++other)
            EXPECT_EQ(button(other)->isChecked(), other == n) << n << other;
    }
    window->findChild<QAction *>(QStringLiteral("mnuSection_3"))->trigger();
    EXPECT_EQ(window->currentSection(), 3);
    EXPECT_EQ(shownPage(), QStringLiteral("FraCT_2"));
    // No picture: the caption section shows no marker.
    button(4)->click();
    EXPECT_EQ(window->context().currentPicture(), -1);
    EXPECT_FALSE(window->editingView()->marker().has_value());
    EXPECT_TRUE(window->editingView()->markerRect().isEmpty());
}

TEST_F(WindowTest, ClicksAreIgnoredWhileAJobRuns)
{
    addPictures(2);
    int builds = 0, previews = 0;
    QObject::connect(window.get(), &MainWindow::buildRequested, [&] { ++builds; });
    QObject::connect(window.get(), &MainWindow::previewRequested, [&] { ++previews; });
    core->session().setBusy(true);
    button(3)->click();
    EXPECT_EQ(window->currentSection(), 1);
    EXPECT_EQ(shownPage(), QStringLiteral("FraCT_0"));
    EXPECT_TRUE(button(1)->isChecked());
    EXPECT_FALSE(button(3)->isChecked());
    button(0)->click();
    window->findChild<QAction *>(QStringLiteral("mnuBuild"))->trigger();
    window->findChild<QAction *>(QStringLiteral("mnuSection_6"))->trigger();
    button(11)->click();
    window->findChild<QAction *>(QStringLiteral("mnuPreview"))->trigger();
    EXPECT_EQ(builds, 0);
    EXPECT_EQ(previews, 0);
    EXPECT_EQ(window->currentSection(), 1);
    core->session().setBusy(false);
    button(0)->click();
    EXPECT_EQ(builds, 1);
    window->findChild<QAction *>(QStringLiteral("mnuBuild"))->trigger();
    EXPECT_EQ(builds, 2);
    button(11)->click();
    window->findChild<QAction *>(QStringLiteral("mnuPreview"))->trigger();
    EXPECT_EQ(previews, 2);
}

TEST_F(WindowTest, BuildNeedsTwoPicturesAndAClickDuringACommandIsIgnored)
{
    addPictures(1);
    int builds = 0;
    QObject::connect(window.get(), &MainWindow::buildRequested, [&] { ++builds; });
    button(6)->click();
    // While the message of the build command is up, a click on section 5 arrives.
    prompter.duringInform = [&] {
        EXPECT_TRUE(window->commandRunning());
        button(5)->click();
    };
    button(0)->click();
    EXPECT_EQ(prompter.informed, QStringList{QStringLiteral("请首先添加至少两张图片到图片幻灯中")});
    EXPECT_EQ(builds, 0);
    // The failed rule leads to the picture section; the click meanwhile did nothing.
    EXPECT_EQ(window->currentSection(), 1);
    EXPECT_FALSE(button(5)->isChecked());
    EXPECT_FALSE(window->commandRunning());
}

TEST_F(WindowTest, UndoRedoRoundTripKeepsTheTitlesModifiedMark)
{
    const QString path = savedProject(QStringLiteral("相册.aps"), 2);
    window->openProject(path);
    EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("相册[*]")));
    EXPECT_FALSE(window->isWindowModified());

    int changes = 0;
    QObject::connect(&window->context(), &EditorContext::projectChanged, [&] { ++changes; });
    Project &project = window->context().project();
    const float before = project.settings.timeInterval;
    window->context().push(new SetTimeInterval(project, 6.5f));
    EXPECT_EQ(project.settings.timeInterval, 6.5f);
    EXPECT_TRUE(window->isWindowModified());
    QAction *undo = window->findChild<QAction *>(QStringLiteral("mnuUndo"));
    QAction *redo = window->findChild<QAction *>(QStringLiteral("mnuRedo"));
    EXPECT_EQ(undo->text(), QStringLiteral("撤销 修改间隔时间"));
    undo->trigger();
    EXPECT_EQ(project.settings.timeInterval, before);
    EXPECT_FALSE(window->isWindowModified());
    redo->trigger();
    EXPECT_EQ(project.settings.timeInterval, 6.5f);
    EXPECT_TRUE(window->isWindowModified());
    EXPECT_EQ(changes, 3);

    // The save button writes the open file without a question and clears the mark.
    button(13)->click();
    EXPECT_TRUE(prompter.asked.isEmpty());
    EXPECT_FALSE(window->isWindowModified());
    EXPECT_EQ(timeIntervalInFile(path), 6.5f);
}

TEST_F(WindowTest, OpeningADamagedFileKeepsTheProjectAndItsHistory)
{
    const QString path = savedProject(QStringLiteral("good.aps"), 3);
    window->openProject(path);
    window->context().push(new SetTimeInterval(window->context().project(), 5.0f));
    const QString junk = dir.filePath(QStringLiteral("junk.aps"));
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a project at all");
    f.close();
    prompter.informed.clear();
    window->openProject(junk);
    EXPECT_EQ(window->context().project().pictures.size(), 3u);
    EXPECT_EQ(core->session().currentPath(), path);
    EXPECT_EQ(window->undoStack().count(), 1);
    ASSERT_EQ(prompter.informed.size(), 1);
    EXPECT_TRUE(prompter.informed[0].contains(QStringLiteral("junk.aps")));
}

TEST_F(WindowTest, AutoSaveIsShownInTheStatusBar)
{
    addPictures(2);
    for (int i = 0; i < 59; ++i)
        window->timerTick();
    EXPECT_TRUE(autoSaveText().isEmpty());
    window->timerTick();
    EXPECT_TRUE(autoSaveText().startsWith(QStringLiteral("已自动保存 "))) << autoSaveText().toStdString();
    EXPECT_TRUE(QFile::exists(core->session().workspace().autoSavePath()));

    // A folder in the way of the file: the failure is shown, not hidden.
    QFile::remove(core->session().workspace().autoSavePath());
    QDir().mkpath(core->session().workspace().autoSavePath());
    for (int i = 0; i < 60; ++i)
        window->timerTick();
    EXPECT_TRUE(autoSaveText().startsWith(QStringLiteral("自动保存失败 "))) << autoSaveText().toStdString();
}

TEST_F(WindowTest, RecentProjectsListTheLastOpenedFirst)
{
    const QString a = savedProject(QStringLiteral("a.aps"), 2);
    core->session().newProject();
    const QString b = savedProject(QStringLiteral("b.aps"), 2);
    window->openProject(a);
    window->openProject(b);
    window->openProject(a);
    const QStringList recent = window->recentProjects();
    ASSERT_GE(recent.size(), 2);
    EXPECT_EQ(recent[0], QFileInfo(a).absoluteFilePath());
    EXPECT_EQ(recent[1], QFileInfo(b).absoluteFilePath());
    EXPECT_EQ(recent.count(recent[0]), 1);
}

TEST_F(WindowTest, TipsFollowTheWizardMenusToggle)
{
    window->resize(1366, 768);
    window->show();
    QApplication::processEvents();
    QAction *toggle = window->findChild<QAction *>(QStringLiteral("mnuShowTip"));
    QAbstractButton *b = button(2);
    const auto askForTip = [&] {
        // A hidden tip lingers for a moment; wait until it is gone.
        QToolTip::hideText();
        QElapsedTimer t;
        t.start();
        while (QToolTip::isVisible() && t.elapsed() < 3000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), b->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(b, &help);
        return QToolTip::isVisible() && QToolTip::text() == b->toolTip();
    };
    ASSERT_TRUE(toggle->isChecked()); // on by default
    EXPECT_TRUE(askForTip());
    toggle->trigger();
    EXPECT_FALSE(window->context().project().settings.isShowTip);
    EXPECT_FALSE(askForTip());
    EXPECT_EQ(b->toolTip(), QStringLiteral("添加、删除和排列背景音乐 ")); // the text itself stays
    toggle->trigger();
    EXPECT_TRUE(askForTip());
    QToolTip::hideText();

    // The setting is stored with the project: each turn is an undo step, and
    // undoing it turns the menu's check back too.
    QUndoStack &undo = window->context().undoStack();
    ASSERT_EQ(undo.count(), 2);
    EXPECT_EQ(undo.undoText(), QStringLiteral("修改提示信息"));
    undo.undo();
    EXPECT_FALSE(window->context().project().settings.isShowTip);
    EXPECT_FALSE(toggle->isChecked());
    undo.undo();
    EXPECT_TRUE(window->context().project().settings.isShowTip);
    EXPECT_TRUE(toggle->isChecked());
}

TEST(EditingViewTest, TheMarkerIsDrawnWhereTheStoredBoxFallsOnTheView)
{
    EditingView view;
    view.resize(960, 600); // taller than 16:9: the picture is letterboxed
    Project project;
    project.settings.backGroundSet = QStringLiteral("1");
    project.settings.solidColor = 0x000080; // dark red, 0x00BBGGRR
    view.showPicture(project, -1, QSize(1920, 1080));
    while (view.composing())
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(view.pictureRect(), QRect(0, 30, 960, 540));
    view.setMarker(TextBox{192, 108, 960, 540});
    EXPECT_EQ(view.markerRect(), QRect(96, 84, 480, 270));
    const QImage shot = view.grab().toImage();
    const QColor inside = shot.pixelColor(300, 200);
    EXPECT_EQ(inside, QColor(128, 0, 0));
    // The marker's edge differs from the picture under it, on all four sides.
    for (const QPoint edge : {QPoint(96, 84), QPoint(575, 84), QPoint(96, 353), QPoint(300, 353)})
        EXPECT_NE(shot.pixelColor(edge), inside) << edge.x() << "," << edge.y();
    view.setMarker(std::nullopt);
    EXPECT_EQ(view.grab().toImage().pixelColor(96, 84), inside);
}

// The view lays the frame over the picture as the export does: stretched
// over the whole picture, the picture showing through its middle.
TEST(EditingViewTest, TheChosenFrameIsDrawnOverThePicture)
{
    QTemporaryDir dir;
    QImage photo(64, 36, QImage::Format_RGB32);
    photo.fill(QColor(0, 0, 200));
    const QString path = dir.filePath(QStringLiteral("photo.png"));
    ASSERT_TRUE(photo.save(path));
    const QByteArray png = test::bandFramePng({32, 18}, 4, qRgb(250, 200, 0));

    EditingView view;
    view.resize(640, 360);
    ProjectEnvironment env;
    Project project = Project::makeDefault(env);
    project.settings.imgDrawScale = 4; // stretched: the picture fills the view
    project.pictures.push_back(project.newPicture(path, env));
    auto shown = [&](const QByteArray &bytes) {
        view.showPicture(project, 0, QSize(1920, 1080), EditingText::Slide, bytes);
        while (view.composing())
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        return view.grab().toImage();
    };
    QImage shot = shown(png);
    const QRect r = view.pictureRect();
    // The band is 4 of 32 pixels: an eighth of the width.
    EXPECT_EQ(shot.pixelColor(r.left() + r.width() / 16, r.center().y()), QColor(250, 200, 0));
    EXPECT_EQ(shot.pixelColor(r.center().x(), r.top() + r.height() / 16), QColor(250, 200, 0));
    EXPECT_EQ(shot.pixelColor(r.center()), QColor(0, 0, 200));
    // Without the frame the edge is the picture's.
    shot = shown({});
    EXPECT_EQ(shot.pixelColor(r.left() + r.width() / 16, r.center().y()), QColor(0, 0, 200));
}

TEST_F(WindowTest, APictureClickedInTheStripBecomesCurrentAndIsDrawn)
{
    addPictures(3);
    EXPECT_EQ(window->context().currentPicture(), 0);
    auto *strip = window->findChild<ThumbnailStrip *>();
    ASSERT_NE(strip, nullptr);
    ASSERT_EQ(strip->pictureInCell(2), 2);
    EXPECT_EQ(strip->pictureInCell(3), -1);
    // Two entries of the picture section's list selected; a click on a cell
    // leaves only its picture selected there.
    auto *list = window->findChild<QAbstractItemView *>(QStringLiteral("ImgList"));
    list->selectionModel()->select(list->model()->index(1, 0), QItemSelectionModel::Select);
    ASSERT_EQ(list->selectionModel()->selectedRows().size(), 2);
    QTest::mouseClick(window->findChild<QWidget *>(QStringLiteral("PicList_2")), Qt::LeftButton);
    EXPECT_EQ(window->context().currentPicture(), 2);
    EXPECT_EQ(list->currentIndex().row(), 2);
    EXPECT_EQ(list->selectionModel()->selectedRows().first().row(), 2);
    EXPECT_EQ(list->selectionModel()->selectedRows().size(), 1);
    EXPECT_TRUE(window->editingView()->composing());
    // A theme change composes the picture again.
    while (window->editingView()->composing())
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    QEvent change(QEvent::PaletteChange);
    QApplication::sendEvent(window.get(), &change);
    EXPECT_TRUE(window->editingView()->composing());
    while (window->editingView()->composing())
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

TEST_F(WindowTest, NewStartsAFreshHistoryAfterSavingTheOpenFileQuietly)
{
    const QString path = savedProject(QStringLiteral("old.aps"), 2);
    window->openProject(path);
    window->context().push(new SetTimeInterval(window->context().project(), 4.0f));
    ASSERT_TRUE(window->isWindowModified());
    window->findChild<QAction *>(QStringLiteral("mnuNewProject"))->trigger();
    EXPECT_TRUE(prompter.asked.isEmpty());
    EXPECT_TRUE(window->context().project().pictures.empty());
    EXPECT_EQ(window->undoStack().count(), 0);
    EXPECT_FALSE(window->isWindowModified());
    EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("未命名[*]")));
    EXPECT_EQ(window->context().currentPicture(), -1);
    EXPECT_EQ(timeIntervalInFile(path), 4.0f);
}

TEST_F(WindowTest, AProjectDroppedOnTheWindowOpens)
{
    const QString path = savedProject(QStringLiteral("dropped.aps"), 2);
    core->session().newProject();
    window->context().notifyProjectChanged();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    QApplication::processEvents();
    EXPECT_EQ(core->session().currentPath(), QFileInfo(path).absoluteFilePath());
    EXPECT_EQ(window->context().project().pictures.size(), 2u);

    // Dropped on the picture list, which takes only pictures, it opens too.
    core->session().newProject();
    window->context().notifyProjectChanged();
    QWidget *list = window->findChild<QAbstractItemView *>(QStringLiteral("ImgList"))->viewport();
    QDragEnterEvent onList(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list, &onList);
    EXPECT_TRUE(onList.isAccepted());
    QDropEvent dropOnList(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list, &dropOnList);
    QApplication::processEvents();
    EXPECT_EQ(core->session().currentPath(), QFileInfo(path).absoluteFilePath());
    EXPECT_EQ(window->context().project().pictures.size(), 2u);

    // Anything else is not taken.
    QMimeData other;
    other.setUrls({QUrl::fromLocalFile(dir.filePath(QStringLiteral("photo.jpg")))});
    QDragEnterEvent refuse(QPoint(10, 10), Qt::CopyAction, &other, Qt::LeftButton, Qt::NoModifier);
    refuse.setAccepted(false);
    QApplication::sendEvent(window.get(), &refuse);
    EXPECT_FALSE(refuse.isAccepted());
}

TEST_F(WindowTest, TheFirstRunOpensTheHelpOnceAtTheTop)
{
    window->show();
    QApplication::processEvents();
    auto *help = window->findChild<HelpWindow *>();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->browser()->toPlainText().contains(QStringLiteral("如何添加背景音乐")));
    EXPECT_TRUE(QFile::exists(core->workspace().firstRunMarkerPath()));
    help->close();
    // A second window of the same run does not count as a first run.
    MainWindow again(*core, prompter);
    again.show();
    QApplication::processEvents();
    EXPECT_EQ(again.findChild<HelpWindow *>(), nullptr);
}
