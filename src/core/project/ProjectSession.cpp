#include "ProjectSession.h"

#include "FileCheck.h"
#include "PropertyBag.h"
#include "Version.h"

#include <QDir>
#include <QFileInfo>

namespace pvsm {

namespace {

const QString kProjectFilter = QStringLiteral("图片幻灯配置文件(*.aps)");

FileDialogRequest projectDialog(const QString &title, const Workspace &ws, const QString &name)
{
    FileDialogRequest r;
    r.title = title;
    r.filterName = kProjectFilter;
    r.patterns = {QStringLiteral("*.aps")};
    r.defaultSuffix = QStringLiteral("aps");
    r.initialDir = ws.projectDir();
    r.initialName = name;
    return r;
}

} // namespace

ProjectSession::ProjectSession(Workspace workspace, ProjectEnvironment env, Prompter &prompter)
    : m_workspace(std::move(workspace))
    , m_env(std::move(env))
    , m_prompter(prompter)
    , m_project(Project::makeDefault(m_env))
{
    m_context.appVersion = versionText();
}

QString ProjectSession::savePromptText()
{
    return QStringLiteral("图片幻灯设置已被修改，要将当前设置保存为配置文件吗？") + QLatin1Char('\n')
           + QStringLiteral("当需要修改这个幻灯时，通过点击“打开配置”按钮，可方便地再次加载所有的幻灯设置。");
}

QString twoPicturesText()
{
    return QStringLiteral("请首先添加至少两张图片到图片幻灯中");
}

bool ProjectSession::checkTwoPictures()
{
    if (m_project.pictures.size() >= 2) return true;
    m_prompter.inform(twoPicturesText(), PromptIcon::Information);
    return false;
}

bool ProjectSession::writeProjectFile(const QString &path)
{
    PropertyBag bag;
    WriteProjectBag(m_project, bag, BagMode::Full, m_context);
    m_lastWriteProblem = FileProblem::None;
    if (!SaveBagFile(path, bag, m_workspace.projectDir(), &m_lastWriteProblem)) return false;
    // The project's own file now holds what the project holds, whichever
    // command wrote it (the quiet save, the save before leaving).
    if (path == m_currentPath) m_modified = false;
    return true;
}

FileProblem ProjectSession::lastWriteProblem(const QString &path) const
{
    if (m_lastWriteProblem != FileProblem::None) return m_lastWriteProblem;
    // The write failed without a cause the file system named; the old file's
    // size stands for the new one's when telling a full disk.
    return writeProblem(path, QFileInfo(path).size());
}

bool ProjectSession::saveCurrentBeforeLeaving()
{
    if (!hasCurrentFile()) return true;
    if (writeProjectFile(m_currentPath)) return true;
    // The silent save failed: going on would drop every change since the last
    // good save, so the user decides.
    const QString text = cannotWriteText(QFileInfo(m_currentPath).fileName(), lastWriteProblem(m_currentPath))
                         + QLatin1Char('\n')
                         + QStringLiteral("仍然继续吗？未保存的修改将会丢失。");
    return m_prompter.ask(text, PromptButtons::YesNo, PromptIcon::Warning, QStringLiteral("Info")) == Answer::Yes;
}

bool ProjectSession::save(const QString &chosenPath)
{
    if (!checkTwoPictures()) return false;
    m_workspace.ensureProjectDir();
    QString path = chosenPath;
    if (path.isEmpty()) {
        path = m_prompter.chooseSaveFile(
            projectDialog(QStringLiteral("保存图片幻灯设置为……"), m_workspace, m_project.settings.txtSetting[0]));
        if (path.isEmpty()) return false;
    }
    if (m_workspace.isAutoSavePath(path)) {
        m_prompter.inform(QStringLiteral("请选择另一个文件名来保存设置。"), PromptIcon::Information);
        return false;
    }
    const QString name = QFileInfo(path).fileName();
    if (QFileInfo::exists(path)) {
        const Answer a = m_prompter.ask(replaceQuestionText(name),
                                        PromptButtons::YesNo, PromptIcon::Warning, QStringLiteral("Info"));
        if (a != Answer::Yes) return false;
    }
    // The old file is replaced only once the new one is complete, so a failed
    // write keeps the user's project.
    if (!writeProjectFile(path)) {
        m_prompter.inform(cannotWriteText(name, lastWriteProblem(path)), PromptIcon::Information);
        return false;
    }
    setCurrentPath(path);
    return true;
}

bool ProjectSession::saveToCurrent()
{
    if (!hasCurrentFile()) return save();
    if (!checkTwoPictures()) return false;
    m_workspace.ensureProjectDir();
    if (writeProjectFile(m_currentPath)) return true;
    m_prompter.inform(cannotWriteText(QFileInfo(m_currentPath).fileName(), lastWriteProblem(m_currentPath)),
                      PromptIcon::Information);
    return false;
}

void ProjectSession::clearProjectLists()
{
    m_project.clearForNew();
    m_project.songs.clear();
    m_project.lyricFiles.clear();
    setCurrentPath({});
}

void ProjectSession::setCurrentPathListener(std::function<void(const QString &)> listener)
{
    m_currentPathListener = std::move(listener);
}

void ProjectSession::setCurrentPath(const QString &path)
{
    // Every change of the file is a save, an open or a new project: the
    // project then matches its file (or has none).
    m_modified = false;
    const bool changed = path != m_currentPath;
    m_currentPath = path;
    if (changed && m_currentPathListener) m_currentPathListener(m_currentPath);
}

QString ProjectSession::cannotOpenText(const QString &fileName, FileProblem problem)
{
    QString text = QStringLiteral("无法打开配置文件 '") + fileName + QStringLiteral("'：");
    if (problem != FileProblem::None) return text + fileProblemTextZh(problem);
    return text + QStringLiteral("这不是图片幻灯配置文件，或者文件已经损坏。");
}

bool ProjectSession::readProjectFile(const QString &path)
{
    // Nothing of the open project is touched before the file has proved to be
    // a project: a damaged or foreign file leaves the user's work as it was.
    PropertyBag bag;
    if (!LoadBagFile(path, bag)) {
        Project legacy = m_project;
        if (ReadLegacyProject(legacy, path)) {
            m_project = std::move(legacy);
            setCurrentPath({}); // an older layout never becomes the current file
            return true;
        }
        m_prompter.inform(cannotOpenText(QFileInfo(path).fileName(), readProblem(path)), PromptIcon::Information);
        return false;
    }
    applyProjectBag(path, bag);
    return true;
}

void ProjectSession::applyProjectBag(const QString &path, const PropertyBag &bag)
{
    m_loading = true;
    clearProjectLists();
    const QStringList notes =
        ReadProjectBag(m_project, bag, BagMode::Full, m_env, m_probe, QFileInfo(path).absolutePath());
    setCurrentPath(path);
    if (!notes.isEmpty())
        m_prompter.inform(QStringLiteral("配置文件中的某些数值超出了允许的范围，已自动调整：") + QLatin1Char('\n')
                              + notes.join(QLatin1Char('\n')),
                          PromptIcon::Information);
    removeMissingFiles();
    m_loading = false;
}

bool ProjectSession::open(const QString &chosenPath)
{
    if (m_busy) return false;
    if (!hasCurrentFile() && m_project.pictures.size() >= 2) {
        const Answer a = m_prompter.ask(savePromptText(), PromptButtons::YesNoCancel, PromptIcon::Information,
                                        QStringLiteral("Info"));
        if (a == Answer::Yes) {
            save();
            return false;
        }
        if (a == Answer::Cancel) return false;
    }
    if (!saveCurrentBeforeLeaving()) return false;
    QString path = chosenPath;
    if (path.isEmpty()) {
        path = m_prompter.chooseOpenFile(projectDialog(QStringLiteral("打开图片幻灯配置文件"), m_workspace, {}));
        if (path.isEmpty()) return false;
    }
    return readProjectFile(path);
}

bool ProjectSession::restoreAutoSave(const QString &originalPath)
{
    PropertyBag bag;
    if (!LoadBagFile(m_workspace.autoSavePath(), bag)) return false;
    applyProjectBag(m_workspace.autoSavePath(), bag);
    setCurrentPath(originalPath);
    m_modified = true;
    return true;
}

void ProjectSession::newProject()
{
    if (m_busy) return;
    if (hasCurrentFile() || m_project.pictures.size() < 2) {
        if (!saveCurrentBeforeLeaving()) return;
        clearProjectLists();
        m_workspace.dropChosenIcon();
        return;
    }
    const Answer a =
        m_prompter.ask(savePromptText(), PromptButtons::YesNoCancel, PromptIcon::Information, QStringLiteral("Info"));
    if (a == Answer::Yes)
        save();
    else if (a == Answer::No) {
        clearProjectLists();
        m_workspace.dropChosenIcon();
    }
}

bool ProjectSession::autoSaveTick()
{
    m_lastAutoSave = AutoSave::NotDue;
    if (m_busy || m_autoSaveHeld) return false;
    ++m_autoSaveTicks;
    if (m_autoSaveTicks > 59 && m_project.pictures.size() > 1) {
        m_autoSaveTicks = 0;
        const bool saved = writeProjectFile(m_workspace.autoSavePath());
        m_lastAutoSave = saved ? AutoSave::Saved : AutoSave::Failed;
        return saved;
    }
    return false;
}

void ProjectSession::removeMissingFiles()
{
    bool told = false;
    const auto tell = [&] {
        if (told) return;
        told = true;
        m_prompter.inform(QStringLiteral("找不到图片幻灯配置中的某些文件，程序将自动将这些文件从列表中清除。") + QLatin1Char('\n')
                              + QStringLiteral("这可能是因为你已经把这些文件删除或移动到其他目录。"),
                          PromptIcon::Information);
    };
    const auto missing = [](const QString &path) { return !QFileInfo(path).isFile(); };

    auto &pics = m_project.pictures;
    const auto picEnd = std::remove_if(pics.begin(), pics.end(), [&](const Picture &p) { return missing(p.path); });
    if (picEnd != pics.end()) {
        pics.erase(picEnd, pics.end());
        tell();
    }
    auto &songs = m_project.songs;
    const auto songEnd = std::remove_if(songs.begin(), songs.end(), [&](const Song &s) { return missing(s.path); });
    if (songEnd != songs.end()) {
        songs.erase(songEnd, songs.end());
        tell();
    }
    m_project.lyricFiles.removeIf(missing);

    Settings &s = m_project.settings;
    if (s.backGroundSet == QLatin1String("3") && (s.backGroundPicture.size() < 8 || missing(s.backGroundPicture))) {
        s.backGroundPicture.clear();
        s.backGroundSet = QStringLiteral("1");
    }
}

bool ProjectSession::queryClose()
{
    if (m_busy) return false;
    if (!hasCurrentFile() && m_project.pictures.size() >= 2) {
        const Answer a = m_prompter.ask(savePromptText(), PromptButtons::YesNoCancel, PromptIcon::Information,
                                        QStringLiteral("Info"));
        if (a == Answer::Yes) {
            save();
            return false;
        }
        if (a == Answer::Cancel) return false;
    }
    if (hasCurrentFile() && QFileInfo::exists(m_currentPath) && !saveCurrentBeforeLeaving()) return false;
    if (m_project.pictures.size() > 1) {
        PropertyBag bag;
        WriteProjectBag(m_project, bag, BagMode::SettingsOnly, m_context);
        SaveBagFile(m_workspace.iniPath(), bag, m_workspace.projectDir()); // failures at exit are ignored
    }
    return true;
}

bool ProjectSession::loadLastRunSettings()
{
    PropertyBag bag;
    if (!LoadBagFile(m_workspace.iniPath(), bag)) return false;
    m_loading = true;
    // Out-of-range values of the last run's settings are put right silently:
    // the user never chose that file.
    ReadProjectBag(m_project, bag, BagMode::SettingsOnly, m_env, {}, QFileInfo(m_workspace.iniPath()).absolutePath());
    setCurrentPath({});
    m_loading = false;
    return true;
}

} // namespace pvsm
