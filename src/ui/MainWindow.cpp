#include "MainWindow.h"

#include "Display.h"
#include "EditingView.h"
#include "LivePreview.h"
#include "EditorContext.h"
#include "EditorRules.h"
#include "FileCheck.h"
#include "GuiPrompter.h"
#include "HelpWindow.h"
#include "MotionBar.h"
#include "PlacementCommands.h"
#include "SectionPage.h"
#include "SettingsCommands.h"
#include "StartUp.h"
#include "ThumbnailCache.h"
#include "ThumbnailStrip.h"
#include "Version.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QSignalBlocker>
#include <QToolTip>
#include <QVBoxLayout>

namespace pvsm::ui {

namespace {

const QString kRecentKey = QStringLiteral("editor/recentProjects");
const QString kGeometryKey = QStringLiteral("editor/geometry");
const QString kSplitterKey = QStringLiteral("editor/splitter");

struct ButtonText
{
    int index;
    const char *caption;
    const char *tip;
    QStyle::StandardPixmap icon;
};

// The buttons of the left column: the ten sections, then the commands.
const ButtonText kSectionButtons[] = {
    {1, "编辑图片", "添加、删除和排列图片 ", QStyle::SP_FileDialogContentsView},
    {2, "编辑音乐", "添加、删除和排列背景音乐 ", QStyle::SP_MediaVolume},
    {3, "设置背景", "为图片幻灯背景选择颜色、图片或轮廓 ", QStyle::SP_DesktopIcon},
    {4, "静态文字", "编辑静态文字并调整文字的屏幕位置 ", QStyle::SP_FileDialogDetailedView},
    {5, "动态文字", "编辑动态文字和选择动态文字特效 ", QStyle::SP_MediaSeekForward},
    {6, "切换特效", "选择随机使用的图片切换特效 ", QStyle::SP_BrowserReload},
    {7, "设置歌词", "添加并设置歌词 ", QStyle::SP_FileDialogInfoView},
    {8, "片头片尾", "编辑图片幻灯的片头或片尾 ", QStyle::SP_MediaSkipForward},
    {9, "幻灯信息", "编辑图片幻灯信息，包括名称、作者、email、网站、说明和版权 ", QStyle::SP_MessageBoxInformation},
    {10, "其他设定", "其他图片幻灯设置 ", QStyle::SP_FileDialogListView},
};
const ButtonText kCommandButtons[] = {
    {0, "创建幻灯", "创建图片幻灯文件 ", QStyle::SP_DialogApplyButton},
    {11, "预览幻灯", "预览测试当前图片幻灯，如果点击后无反应，请尝试临时禁用杀毒或其他保护性软件 ",
     QStyle::SP_MediaPlay},
    {12, "打开配置", "打开图片幻灯的配置文件 ", QStyle::SP_DialogOpenButton},
    {13, "保存配置", "把图片幻灯的设置内容保存为配置文件 ", QStyle::SP_DialogSaveButton},
};

// The Edit menu's entries for the sections, in section order.
const char *const kSectionMenu[] = {"编辑图片(&P)", "编辑音乐(&M)",    "屏幕设置(&S)", "静态文字(&C)",
                                    "动态文字(&H)", "切换特效(&T)",    "歌词设置(&L)", "片头和片尾(&O)",
                                    "幻灯信息(&I)", "其他幻灯设置(&X)"};

// The Wizard menu's help topics and their anchors in the help document.
const std::pair<const char *, const char *> kHelpTopics[] = {
    {"如何添加图片", "add-pictures"},       {"如何添加背景音乐", "add-music"},
    {"如何添加歌词文件", "add-lyrics"},     {"如何设置幻灯背景", "background"},
    {"如何添加.png或.frame相框", "frame"},  {"如何为图片添加静态文字", "caption"},
    {"如何为图片添加动态文字", "headline"}, {"如何改变图片的位置", "position"},
    {"如何创建图片幻灯", "build"},          {"其他常见问题帮助", "faq"},
};

} // namespace

MainWindow::MainWindow(AppCore &core, GuiPrompter &prompter)
    : m_core(core)
    , m_prompter(prompter)
{
    setObjectName(QStringLiteral("FrmMain"));
    setAcceptDrops(true);
    m_undo.setUndoLimit(500);
    m_context = new EditorContext(core, prompter, m_undo, this);
    connect(m_context, &EditorContext::helpRequested, this, [this](const QString &anchor) { showHelp(anchor); });

    auto *splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("SplitMain"));
    splitter->setChildrenCollapsible(false);

    // Centre: the editing view over the picture selector.
    auto *centre = new QWidget(splitter);
    auto *centreLayout = new QVBoxLayout(centre);
    centreLayout->setContentsMargins(0, 0, 0, 0);
    centreLayout->setSpacing(6);
    m_view = new EditingView(centre);
    m_view->setToolTip(QStringLiteral("当前图片在幻灯中的效果：拖动虚线框移动，拖动框边改变大小；"
                                      "方向键移动 1 像素，Shift+方向键移动 10 像素"));
    m_view->setPlacementAllowed([this] { return !m_context->busy() && !m_context->project().pictures.empty(); });
    connect(m_view, &EditingView::placed, this, [this](PlacementTarget target, const QRect &rect) {
        pushPlacement(*m_context, target, rect, m_view->pictureRect().size(), editingScreen());
    });
    connect(m_view, &EditingView::nudged, this, [this](PlacementTarget target, QPoint direction, int step) {
        // A picture at a random place moves on from where the view shows it.
        const QRect shown = m_view->markerRect().translated(-m_view->pictureRect().topLeft());
        pushNudge(*m_context, target, direction, step,
                  storedPicturePosition(shown.topLeft(), m_view->pictureRect().size(), editingScreen()));
    });
    centreLayout->addWidget(m_view, 1);
    // The motion mode takes the view's mouse and keys while it is on.
    m_motion = new MotionBar(*m_context, *m_view, centre);
    connect(m_motion, &MotionBar::activeChanged, this, [this] { updateMarker(); });
    centreLayout->addWidget(m_motion);
    auto *livePreview = new LivePreview(*m_context, *m_view, this);
    connect(livePreview, &LivePreview::picturesNeeded, this, [this] { selectSection(1); });
    // Connected before the build flow is: a preview ends before an export renders.
    connect(this, &MainWindow::buildRequested, livePreview, &LivePreview::finishNow);
    auto *stripLabel = new QLabel(QStringLiteral("缩略图(&G)"), centre);
    m_thumbnails = std::make_unique<ThumbnailCache>();
    m_strip = new ThumbnailStrip(*m_context, *m_thumbnails, centre);
    stripLabel->setBuddy(m_strip);
    centreLayout->addWidget(stripLabel);
    centreLayout->addWidget(m_strip);

    // Right: the ten sections, scrolled when a page is taller than the window.
    m_stack = new QStackedWidget;
    m_stack->setObjectName(QStringLiteral("StackSections"));
    m_pages = makeSectionPages(*m_context);
    for (SectionPage *page : m_pages)
        m_stack->addWidget(page);
    auto *scroll = new QScrollArea(splitter);
    scroll->setObjectName(QStringLiteral("ScrollSections"));
    scroll->setWidget(m_stack);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::StyledPanel);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll->setMinimumWidth(340);

    splitter->addWidget(centre);
    splitter->addWidget(scroll);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);

    auto *body = new QWidget(this);
    auto *bodyLayout = new QHBoxLayout(body);
    bodyLayout->setContentsMargins(6, 6, 6, 6);
    bodyLayout->setSpacing(8);
    bodyLayout->addWidget(buildButtonColumn());
    bodyLayout->addWidget(splitter, 1);
    setCentralWidget(body);

    m_autoSaveLabel = new QLabel(this);
    m_autoSaveLabel->setObjectName(QStringLiteral("LblAutoSave"));
    statusBar()->addPermanentWidget(m_autoSaveLabel);
    statusBar()->setSizeGripEnabled(true);

    buildMenus();
    qApp->installEventFilter(this);

    // Tab order follows the eye: the button column top to bottom, the
    // picture list, then the section page.
    QWidget *previous = nullptr;
    for (int index : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 11, 12, 13}) {
        QWidget *b = findChild<QWidget *>(QStringLiteral("PicBtn_%1").arg(index));
        if (previous && b) setTabOrder(previous, b);
        if (b) previous = b;
    }
    setTabOrder(previous, m_strip);
    setTabOrder(m_strip, scroll);

    connect(m_context, &EditorContext::projectChanged, this, &MainWindow::onProjectChanged);
    connect(m_context, &EditorContext::currentPictureChanged, this, [this](int) {
        for (SectionPage *page : m_pages)
            page->refresh();
        updateView();
    });
    // Every edit, its undo and its redo changes the project: the views follow.
    connect(&m_undo, &QUndoStack::indexChanged, m_context, &EditorContext::notifyProjectChanged);
    connect(&m_undo, &QUndoStack::cleanChanged, this, [this] { updateTitle(); });

    QSettings settings;
    restoreGeometry(settings.value(kGeometryKey).toByteArray());
    if (!splitter->restoreState(settings.value(kSplitterKey).toByteArray())) splitter->setSizes({820, 420});
    if (!settings.contains(kGeometryKey)) {
        // First start: as large as is comfortable, never beyond the desktop's free area.
        const QScreen *screen = QGuiApplication::primaryScreen();
        const QSize room = screen ? screen->availableSize() : QSize(1280, 800);
        resize(QSize(1280, 800).boundedTo(room).expandedTo(minimumSizeHint()));
    }

    m_timer = new QTimer(this);
    m_timer->setInterval(500);
    connect(m_timer, &QTimer::timeout, this, &MainWindow::timerTick);
    m_timer->start();

    setShowTips(m_context->project().settings.isShowTip);
    // The start holds the last run's settings, not a project: no frame is restored.
    m_context->restoreFrame(false);
    onProjectChanged();
    showSection(1);
}

MainWindow::~MainWindow()
{
    qApp->removeEventFilter(this);
    // The stack outlives the pages: its last signals must not reach them.
    m_undo.disconnect();
    m_undo.clear();
    // The strip stops listening to the thumbnail cache before the cache goes.
    delete m_strip;
}

QAbstractButton *MainWindow::makeButton(int index, const QString &caption, const QString &tip, int icon)
{
    auto *button = new QToolButton;
    button->setObjectName(QStringLiteral("PicBtn_%1").arg(index));
    button->setText(caption);
    button->setToolTip(tip);
    // Standard icons come in different sizes; each sits centred on the same
    // square, so the captions of the column line up.
    const QSize square(22, 22);
    const QIcon standard = style()->standardIcon(QStyle::StandardPixmap(icon));
    QIcon padded;
    for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled, QIcon::Active, QIcon::Selected}) {
        const QPixmap pm = standard.pixmap(square, mode);
        QPixmap canvas(square);
        canvas.fill(Qt::transparent);
        QPainter p(&canvas);
        p.drawPixmap((square.width() - pm.width()) / 2, (square.height() - pm.height()) / 2, pm);
        p.end();
        padded.addPixmap(canvas, mode);
    }
    button->setIcon(padded);
    button->setIconSize(square);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->setMinimumHeight(34);
    button->setAutoRaise(true);
    return button;
}

QWidget *MainWindow::buildButtonColumn()
{
    auto *column = new QFrame;
    column->setObjectName(QStringLiteral("FraButtons"));
    column->setFrameShape(QFrame::StyledPanel);
    column->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(4, 6, 4, 6);
    layout->setSpacing(2);

    m_sectionButtons = new QButtonGroup(this);
    m_sectionButtons->setExclusive(true);
    for (const ButtonText &b : kSectionButtons) {
        QAbstractButton *button = makeButton(b.index, QString::fromUtf8(b.caption), QString::fromUtf8(b.tip), b.icon);
        button->setCheckable(true);
        m_sectionButtons->addButton(button, b.index);
        layout->addWidget(button);
    }
    // A click is checked by the group before we see it: an ignored click puts
    // the selection back on the current section.
    connect(m_sectionButtons, &QButtonGroup::idClicked, this, [this](int id) {
        if (!selectSection(id)) m_sectionButtons->button(m_section)->setChecked(true);
    });

    auto *line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addSpacing(6);
    layout->addWidget(line);
    layout->addSpacing(6);
    for (const ButtonText &b : kCommandButtons) {
        QAbstractButton *button = makeButton(b.index, QString::fromUtf8(b.caption), QString::fromUtf8(b.tip), b.icon);
        layout->addWidget(button);
        switch (b.index) {
        case 0:
            connect(button, &QAbstractButton::clicked, this, &MainWindow::buildCommand);
            break;
        case 11:
            connect(button, &QAbstractButton::clicked, this, [this] {
                if (!m_context->busy() && !m_commandRunning) emit previewRequested();
            });
            break;
        case 12:
            connect(button, &QAbstractButton::clicked, this, [this] { runGuarded([this] { openCommand(); }); });
            break;
        case 13:
            button->setShortcut(QKeySequence::Save);
            connect(button, &QAbstractButton::clicked, this, [this] { runGuarded([this] { saveCommand(); }); });
            break;
        }
    }
    layout->addStretch(1);
    column->setMinimumWidth(column->sizeHint().width() + 8);
    // The current section stands out in the desktop's own selection colours.
    column->setStyleSheet(
        QStringLiteral("QToolButton { padding: 4px 8px; border-radius: 4px; text-align: left; }"
                       "QToolButton:hover { background: palette(midlight); }"
                       "QToolButton:checked { background: palette(highlight); color: palette(highlighted-text); }"));
    return column;
}

void MainWindow::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    QAction *act = file->addAction(QStringLiteral("新建图片幻灯(&N)"), this, &MainWindow::newProject);
    act->setObjectName(QStringLiteral("mnuNewProject"));
    act->setShortcut(QKeySequence::New);
    act = file->addAction(QStringLiteral("打开配置文件(&O)"), this, [this] { runGuarded([this] { openCommand(); }); });
    act->setObjectName(QStringLiteral("mnuOpenProject"));
    act->setShortcut(QKeySequence::Open);
    m_recentMenu = file->addMenu(QStringLiteral("最近打开的配置(&R)"));
    m_recentMenu->setObjectName(QStringLiteral("mnuRecent"));
    connect(m_recentMenu, &QMenu::aboutToShow, this, &MainWindow::buildRecentMenu);
    act = file->addAction(QStringLiteral("保存配置文件为...(&S)"), this,
                          [this] { runGuarded([this] { saveAsCommand(); }); });
    act->setObjectName(QStringLiteral("mnuSaveAs"));
    act->setShortcut(QKeySequence::SaveAs);
    file->addSeparator();
    act = file->addAction(QStringLiteral("预览当前幻灯(&P)"), this, [this] {
        if (!m_context->busy() && !m_commandRunning) emit previewRequested();
    });
    act->setObjectName(QStringLiteral("mnuPreview"));
    act = file->addAction(QStringLiteral("创建并保存幻灯(&B)"), this, [this] {
        if (!m_context->busy() && !m_commandRunning) emit buildRequested();
    });
    act->setObjectName(QStringLiteral("mnuBuild"));
    act->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    file->addSeparator();
    act = file->addAction(QStringLiteral("退出(&E)"), this, &QWidget::close);
    act->setObjectName(QStringLiteral("mnuExit"));
    act->setShortcut(QKeySequence::Quit);

    QMenu *edit = menuBar()->addMenu(QStringLiteral("编辑(&E)"));
    QAction *undo = m_undo.createUndoAction(this, QStringLiteral("撤销"));
    undo->setObjectName(QStringLiteral("mnuUndo"));
    undo->setShortcut(QKeySequence::Undo);
    QAction *redo = m_undo.createRedoAction(this, QStringLiteral("重做"));
    redo->setObjectName(QStringLiteral("mnuRedo"));
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    edit->addAction(undo);
    edit->addAction(redo);
    edit->addSeparator();
    const Qt::Key digits[] = {Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4, Qt::Key_5,
                              Qt::Key_6, Qt::Key_7, Qt::Key_8, Qt::Key_9, Qt::Key_0};
    for (int section = 1; section <= 10; ++section) {
        act = edit->addAction(QString::fromUtf8(kSectionMenu[section - 1]), this, [this, section] {
            if (!selectSection(section)) return;
        });
        act->setObjectName(QStringLiteral("mnuSection_%1").arg(section));
        act->setShortcut(QKeySequence(Qt::CTRL | digits[section - 1]));
    }

    QMenu *wizard = menuBar()->addMenu(QStringLiteral("向导(&W)"));
    m_showTips = wizard->addAction(QStringLiteral("显示提示信息(&T)"));
    m_showTips->setObjectName(QStringLiteral("mnuShowTip"));
    m_showTips->setCheckable(true);
    connect(m_showTips, &QAction::toggled, this, &MainWindow::setShowTips);
    wizard->addSeparator();
    for (const auto &[title, anchor] : kHelpTopics) {
        const QString a = QString::fromLatin1(anchor);
        wizard->addAction(QString::fromUtf8(title), this, [this, a] { showHelp(a); })
            ->setObjectName(QStringLiteral("mnuHelp_") + a);
    }

    QMenu *help = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
    act = help->addAction(QStringLiteral("帮助文件(F1)"), this, [this] { showHelp(); });
    act->setObjectName(QStringLiteral("mnuHelpFile"));
    // The caption already names F1; the key lives on the window so that the
    // menu does not show it twice.
    auto *f1 = new QAction(this);
    f1->setShortcut(QKeySequence::HelpContents);
    connect(f1, &QAction::triggered, act, &QAction::trigger);
    addAction(f1);
    act = help->addAction(QStringLiteral("关于(&A)"), this, &MainWindow::showAbout);
    act->setObjectName(QStringLiteral("mnuAbout"));
}

void MainWindow::buildRecentMenu()
{
    m_recentMenu->clear();
    const QStringList recent = recentProjects();
    int n = 0;
    for (const QString &path : recent) {
        ++n;
        // "&" in a file name would become a mnemonic: doubled, it shows as itself.
        QString label = QFileInfo(path).fileName().replace(QLatin1Char('&'), QStringLiteral("&&"));
        if (n < 10) label = QStringLiteral("&%1 ").arg(n) + label;
        QAction *act =
            m_recentMenu->addAction(label, this, [this, path] { runGuarded([this, path] { openProject(path); }); });
        act->setToolTip(path);
        act->setStatusTip(path);
    }
    if (recent.isEmpty()) m_recentMenu->addAction(QStringLiteral("（无）"))->setEnabled(false);
    m_recentMenu->addSeparator();
    m_recentMenu->addAction(QStringLiteral("清除列表(&C)"), this, [] { QSettings().remove(kRecentKey); })
        ->setEnabled(!recent.isEmpty());
}

QStringList MainWindow::recentProjects() const
{
    return QSettings().value(kRecentKey).toStringList();
}

void MainWindow::rememberRecent(const QString &path)
{
    if (path.isEmpty()) return;
    QSettings settings;
    settings.setValue(kRecentKey, withRecentFile(settings.value(kRecentKey).toStringList(), path));
}

bool MainWindow::runGuarded(const std::function<void()> &command)
{
    if (m_commandRunning || m_context->busy()) return false;
    m_commandRunning = true;
    command();
    m_commandRunning = false;
    return true;
}

bool MainWindow::selectSection(int section)
{
    if (section < 1 || section > 10) return false;
    return runGuarded([this, section] { showSection(section); });
}

void MainWindow::showSection(int section)
{
    m_section = section;
    if (QAbstractButton *button = m_sectionButtons->button(section)) button->setChecked(true);
    m_stack->setCurrentIndex(section - 1);
    m_motion->setAvailable(section == 1);
    QToolTip::hideText();
    m_pages[size_t(section - 1)]->refresh();
    // Each section shows its own text over the picture, and its own marker.
    updateView();
}

void MainWindow::updateMarker()
{
    std::optional<TextBox> box;
    const std::optional<QRect> stored = m_pages[size_t(m_section - 1)]->markerBox();
    const bool needsPicture = m_section == 4 || m_section == 5 || m_section == 7;
    if (stored && !(needsPicture && m_context->currentPicture() < 0)) {
        box = TextBox{stored->x(), stored->y(), stored->width(), stored->height()};
        // The page gives the stored lyric box; two lines are drawn in it for
        // the two-line styles, so the marker shows their whole height.
        if (m_section == 7) {
            Settings lyric;
            lyric.lyricStyle = m_context->project().settings.lyricStyle;
            lyric.lyricBox = *box;
            box = lyricMarkerBox(lyric);
        }
    }
    m_view->setMarker(box);
    m_view->setPlacementTarget(placementTarget(box.has_value()));
}

PlacementTarget MainWindow::placementTarget(bool markerShown) const
{
    const bool picture = m_context->currentPicture() >= 0;
    switch (m_section) {
    case 1:
        return picture && m_context->project().settings.imgDrawScale == 1 && !m_motion->active() ? PlacementTarget::Picture
                                                                                                 : PlacementTarget::None;
    case 4: return markerShown ? PlacementTarget::Caption : PlacementTarget::None;
    case 5: return markerShown ? PlacementTarget::Headline : PlacementTarget::None;
    case 7: return markerShown ? PlacementTarget::Lyric : PlacementTarget::None;
    case 8: return markerShown ? PlacementTarget::Title : PlacementTarget::None;
    default: return PlacementTarget::None;
    }
}

EditingText MainWindow::editingText() const
{
    switch (m_view->placementTarget()) {
    case PlacementTarget::Caption: return EditingText::Caption;
    case PlacementTarget::Headline: return EditingText::Headline;
    case PlacementTarget::Lyric: return EditingText::LyricSample;
    case PlacementTarget::Title: {
        // The opening while it is shown with text, else the ending.
        const Settings &s = m_context->project().settings;
        return s.enableOpening && !s.titleText[0].isEmpty() ? EditingText::OpeningTitle : EditingText::EndingTitle;
    }
    case PlacementTarget::Picture:
    case PlacementTarget::None: break;
    }
    return EditingText::Slide;
}

QSize MainWindow::editingScreen() const
{
    const ProjectEnvironment &env = m_context->session().environment();
    return QSize(env.screenWidth, env.screenHeight);
}

void MainWindow::updateView()
{
    updateMarker();
    m_view->showPicture(m_context->project(), m_context->currentPicture(), editingScreen(), editingText(),
                        m_context->pictureFrameBytes());
}

void MainWindow::onProjectChanged()
{
    // The list may have shrunk or grown: keep a valid current picture.
    const int count = int(m_context->project().pictures.size());
    const int current = m_context->currentPicture();
    m_context->setCurrentPicture(current < 0 ? 0 : std::min(current, count - 1));
    // Likewise a song, so that the music buttons act on one from the start.
    const int songs = int(m_context->project().songs.size());
    const int song = m_context->currentSong();
    m_context->setCurrentSong(song < 0 ? 0 : std::min(song, songs - 1));
    for (SectionPage *page : m_pages)
        page->refresh();
    // An undo may have turned the tips back.
    if (m_showTips && m_showTips->isChecked() != m_context->project().settings.isShowTip) {
        const QSignalBlocker quiet(m_showTips);
        m_showTips->setChecked(m_context->project().settings.isShowTip);
    }
    updateMarker();
    updateView();
    updateTitle();
}

void MainWindow::updateTitle()
{
    setWindowTitle(editorWindowTitle(m_context->session().currentPath(), windowCaption()));
    // A restored autosave is modified before any edit of this session.
    setWindowModified(!m_undo.isClean() || m_context->session().modified());
}

// ---- commands ---------------------------------------------------------------

void MainWindow::buildCommand()
{
    bool passed = false;
    runGuarded([&] {
        passed = m_context->session().checkTwoPictures();
        if (!passed) {
            showSection(1);
            if (auto *add = findChild<QAbstractButton *>(QStringLiteral("PicBtn_20"))) add->setFocus();
        }
    });
    // The build dialog opens once the guard is clear, so the window's own
    // commands work again while it is up.
    if (passed) emit buildRequested();
}

void MainWindow::afterFileCommand(const Project &before, const QString &pathBefore)
{
    const QString &path = m_context->session().currentPath();
    if (m_context->project() != before) {
        // Another project (New or Open): its history starts here.
        m_undo.clear();
        m_context->setCurrentPicture(-1);
        rememberRecent(path);
        m_context->notifyProjectChanged();
        return;
    }
    if (path != pathBefore && !path.isEmpty()) {
        // The question before New or Open was answered by saving.
        m_undo.setClean();
        rememberRecent(path);
    }
    updateTitle();
}

void MainWindow::newProject()
{
    if (m_context->busy() || m_commandRunning) return;
    const Project before = m_context->project();
    const QString path = m_context->session().currentPath();
    m_context->session().newProject();
    afterFileCommand(before, path);
}

void MainWindow::openCommand()
{
    openProject({});
}

void MainWindow::openProject(const QString &path)
{
    if (m_context->busy()) return;
    const Project before = m_context->project();
    const QString pathBefore = m_context->session().currentPath();
    const QString chosen = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
    if (m_context->session().open(chosen)) {
        m_undo.clear();
        m_context->restoreFrame(true);
        m_context->setCurrentPicture(-1);
        rememberRecent(m_context->session().currentPath());
        m_context->notifyProjectChanged();
        statusBar()->showMessage(QStringLiteral("已打开 ") + QFileInfo(m_context->session().currentPath()).fileName(),
                                 8000);
        return;
    }
    afterFileCommand(before, pathBefore);
}

void MainWindow::saveCommand()
{
    if (!m_context->session().saveToCurrent()) return;
    m_undo.setClean();
    rememberRecent(m_context->session().currentPath());
    updateTitle();
    statusBar()->showMessage(QStringLiteral("已保存 ") + QFileInfo(m_context->session().currentPath()).fileName(),
                             8000);
}

void MainWindow::saveAsCommand()
{
    m_core.workspace().ensureProjectDir();
    if (!m_context->session().save()) return;
    m_undo.setClean();
    rememberRecent(m_context->session().currentPath());
    updateTitle();
}

// ---- timer, tips, help ------------------------------------------------------

void MainWindow::timerTick()
{
    ProjectSession &session = m_context->session();
    if (session.busy()) return;
    session.autoSaveTick();
    switch (session.lastAutoSave()) {
    case ProjectSession::AutoSave::NotDue:
        break;
    case ProjectSession::AutoSave::Saved:
        m_autoSaveLabel->setText(autoSaveStatusText(true, QTime::currentTime()));
        break;
    case ProjectSession::AutoSave::Failed: {
        const QString path = session.workspace().autoSavePath();
        const FileProblem problem = session.lastWriteProblem(path);
        m_autoSaveLabel->setText(autoSaveStatusText(
            false, QTime::currentTime(), problem == FileProblem::None ? QString() : fileProblemTextZh(problem)));
        break;
    }
    }
    if (++m_ticks % 4 == 0) {
        const QSize screen = probeDisplay().screen;
        if (screen != m_core.display().screen) {
            m_core.setScreenSize(screen);
            updateView();
        }
    }
}

void MainWindow::setShowTips(bool on)
{
    // IsShowTip is stored with the project, so turning it is an edit like any other.
    if (m_context->project().settings.isShowTip != on)
        pushSettingsChange(*m_context, QStringLiteral("修改提示信息"), [on](Settings &s) { s.isShowTip = on; });
    if (m_showTips->isChecked() != on) m_showTips->setChecked(on);
    if (!on) QToolTip::hideText();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // With tips off no tool-tip of this window is shown; the texts stay on the
    // widgets, so turning tips on again needs nothing else.
    if (event->type() == QEvent::ToolTip && !m_context->project().settings.isShowTip) {
        if (auto *w = qobject_cast<QWidget *>(watched); w && w->window() == this) return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::showHelp(const QString &anchor)
{
    if (!m_help) m_help = new HelpWindow(this);
    m_help->showTopic(anchor);
}

void MainWindow::showAbout()
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("关于 ") + productName(),
                    productName() + QStringLiteral(" ") + versionText() + QLatin1Char('\n') +
                        QStringLiteral("用照片、背景音乐和歌词制作图片幻灯与视频。") + QLatin1Char('\n') +
                        QStringLiteral("基于 Qt ") + QString::fromLatin1(qVersion()),
                    QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

// ---- window events ----------------------------------------------------------

void MainWindow::firstActivation()
{
    if (const QScreen *screen = this->screen()) {
        const QPoint at = placeWindow(frameGeometry(), screen->availableGeometry());
        if (at != frameGeometry().topLeft()) move(at);
    }
    if (m_core.firstActivation()) showHelp();
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_activated) return;
    m_activated = true;
    QTimer::singleShot(0, this, &MainWindow::firstActivation);
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // A new theme changes the view's surroundings; the picture is composed
    // again so that nothing of the old palette is left.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ThemeChange ||
        event->type() == QEvent::StyleChange)
        m_view->redraw();
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.first().isLocalFile() && isProjectFileName(urls.first().toLocalFile()))
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty()) return;
    event->acceptProposedAction();
    const QString path = urls.first().toLocalFile();
    // Opened after the drop has returned: the questions of Open are modal.
    QTimer::singleShot(0, this, [this, path] { runGuarded([this, path] { openProject(path); }); });
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_commandRunning || !m_core.close()) {
        event->ignore();
        return;
    }
    QSettings settings;
    settings.setValue(kGeometryKey, saveGeometry());
    if (auto *splitter = findChild<QSplitter *>(QStringLiteral("SplitMain")))
        settings.setValue(kSplitterKey, splitter->saveState());
    m_timer->stop();
    if (m_help) m_help->close();
    event->accept();
}

} // namespace pvsm::ui
