#include "StartUp.h"

#include <QDir>

namespace pvsm {

QString cannotCreateFilesMessage(const QString &folder)
{
    return QStringLiteral("程序似乎不能在这个目录创建文件：") + QLatin1Char('\n') + QDir::toNativeSeparators(folder)
           + QLatin1Char('\n') + QStringLiteral("请重新安装程序到其他目录，否则可能会引起错误。");
}

AppCore::AppCore(Workspace workspace, Prompter &prompter)
    : m_workspace(std::move(workspace))
    , m_prompter(prompter)
{
}

AppCore::~AppCore() = default;

std::unique_ptr<AppCore> AppCore::start(const Options &options, Prompter &prompter)
{
    Workspace ws = options.workspace.workDir().isEmpty() ? Workspace::forExecutable(options.exeDir)
                                                         : options.workspace;
    QDir().mkpath(ws.workDir());
    auto instance = std::make_unique<SingleInstance>(ws.workDir());
    if (!instance->acquire()) return nullptr;

    std::unique_ptr<AppCore> app(new AppCore(ws, prompter));
    app->m_instance = std::move(instance);
    app->m_display = options.display;
    app->m_env.screenWidth = options.display.screen.width();
    app->m_env.screenHeight = options.display.screen.height();
    app->m_env.defaultFont = chooseDefaultTextFont(options.uiFont);
    app->m_env.selectedHeadlineEffect = vocabularyDefaultIndex(VocabularyList::HeadlineEffect);
    app->m_session = std::make_unique<ProjectSession>(ws, app->m_env, prompter);

    app->m_marker = std::make_unique<SessionMarker>(ws.workDir());
    app->m_recovery = gatherRecoveryFacts(app->m_marker->previous(), ws);
    app->m_recoveryPending = canOfferRecovery(app->m_recovery);
    app->m_session->holdAutoSave(app->m_recoveryPending);
    SessionMarker *marker = app->m_marker.get();
    app->m_session->setCurrentPathListener([marker](const QString &path) { marker->setProjectPath(path); });

    app->m_lastRunLoaded = app->m_session->loadLastRunSettings();
    ws.prepare();
    return app;
}

bool AppCore::firstActivation()
{
    if (m_activated) return false;
    m_activated = true;
    const Workspace::FirstRun run = m_workspace.checkFirstRun();
    if (!run.isFirstRun) return false;
    if (!run.markerCreated) {
        m_prompter.inform(cannotCreateFilesMessage(m_workspace.workDir()), PromptIcon::Warning);
        return false;
    }
    return true;
}

bool AppCore::restoreRecovery(QString *keptCopy)
{
    if (!m_recoveryPending) return false;
    if (m_session->restoreAutoSave(m_recovery.projectPath)) {
        m_recoveryPending = false;
        m_session->holdAutoSave(false);
        return true;
    }
    const QString kept = declineRecovery();
    if (keptCopy) *keptCopy = kept;
    return false;
}

QString AppCore::declineRecovery()
{
    if (!m_recoveryPending) return {};
    const QString kept = keepAutoSaveAside(m_workspace);
    if (kept.isEmpty()) return {};
    m_recoveryPending = false;
    m_session->holdAutoSave(false);
    return kept;
}

void AppCore::setScreenSize(QSize screen)
{
    m_display.screen = screen;
    m_env.screenWidth = screen.width();
    m_env.screenHeight = screen.height();
    m_session->setEnvironment(m_env);
}

bool AppCore::close()
{
    if (m_closed) return true;
    if (!m_session->queryClose()) return false;
    m_workspace.emptyTemp();
    if (m_marker) m_marker->release();
    m_closed = true;
    return true;
}

} // namespace pvsm
