#include "MainWindow.h"

#include "GuiPrompter.h"
#include "StartUp.h"
#include "Version.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace pvsm::ui {

MainWindow::MainWindow(AppCore &core, GuiPrompter &prompter)
    : m_core(core)
    , m_prompter(prompter)
{
    setWindowTitle(windowCaption());
    setObjectName(QStringLiteral("FrmMain"));
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    m_summary = new QLabel(central);
    m_summary->setObjectName(QStringLiteral("LblSummary"));
    m_summary->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_summary);
    setCentralWidget(central);
    buildMenus();
    resize(1024, 700);

    m_timer = new QTimer(this);
    m_timer->setInterval(500);
    connect(m_timer, &QTimer::timeout, this, &MainWindow::tick);
    m_timer->start();
    refresh();
}

void MainWindow::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("文件"));
    file->addAction(QStringLiteral("新建"), this, [this] {
        m_core.session().newProject();
        refresh();
    })->setObjectName(QStringLiteral("mnuNewProject"));
    file->addAction(QStringLiteral("打开配置"), this, [this] {
        m_core.session().open();
        refresh();
    })->setObjectName(QStringLiteral("mnuOpenProject"));
    file->addAction(QStringLiteral("保存配置"), this, [this] {
        m_core.workspace().ensureProjectDir();
        m_core.session().save();
        refresh();
    })->setObjectName(QStringLiteral("mnuSaveProject"));
    file->addSeparator();
    file->addAction(QStringLiteral("退出"), this, &QWidget::close);
    QMenu *help = menuBar()->addMenu(QStringLiteral("帮助"));
    help->addAction(QStringLiteral("关于"), this, [this] {
        QMessageBox::about(this, productName(), productName() + QStringLiteral(" ") + versionText());
    });
}

void MainWindow::openProject(const QString &path)
{
    m_core.session().open(QFileInfo(path).absoluteFilePath());
    refresh();
}

void MainWindow::refresh()
{
    const ProjectSession &s = m_core.session();
    const Project &p = s.project();
    QString text;
    text += QStringLiteral("配置文件: %1\n").arg(s.currentPath().isEmpty() ? QStringLiteral("(未保存)") : s.currentPath());
    text += QStringLiteral("图片: %1    音乐: %2    歌词: %3\n")
                .arg(p.pictures.size())
                .arg(p.songs.size())
                .arg(p.lyricFiles.size());
    text += QStringLiteral("幻灯名称: %1\n").arg(p.settings.txtSetting[0]);
    for (size_t i = 0; i < p.pictures.size() && i < 40; ++i) {
        const Picture &pic = p.pictures[i];
        text += QStringLiteral("%1. %2").arg(i + 1).arg(QFileInfo(pic.path).fileName());
        if (!pic.headline.isEmpty()) text += QStringLiteral("  「%1」").arg(pic.headline);
        text += QLatin1Char('\n');
    }
    m_summary->setText(text);
}

void MainWindow::tick()
{
    if (m_core.session().busy()) return;
    m_core.session().autoSaveTick();
    if (++m_ticks % 4 == 0) {
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            if (screen->size() != m_core.display().screen) m_core.setScreenSize(screen->size());
        }
    }
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    static bool once = false;
    if (once) return;
    once = true;
    QTimer::singleShot(0, this, [this] {
        if (m_core.firstActivation()) {
            const QString help = m_core.workspace().programFile(QStringLiteral("help.html"));
            if (QFileInfo::exists(help)) QDesktopServices::openUrl(QUrl::fromLocalFile(help));
        }
    });
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!m_core.close()) {
        event->ignore();
        return;
    }
    m_timer->stop();
    event->accept();
}

} // namespace pvsm::ui
