// The sections that hold lists: pictures (1), music (2) and lyrics (7).
#include "BoundPage.h"
#include "EditorContext.h"
#include "FullScreenPicture.h"
#include "GuiPrompter.h"
#include "NumberRules.h"
#include "PathListModel.h"
#include "PictureListCommands.h"
#include "PictureLoad.h"
#include "ProjectSession.h"
#include "Sections.h"
#include "SettingsCommands.h"
#include "SongLength.h"
#include "SongListCommands.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QRadioButton>
#include <QSettings>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

namespace pvsm::ui {

namespace {

QStringList paths(const std::vector<Picture> &pictures)
{
    QStringList list;
    for (const Picture &p : pictures) list << p.path;
    return list;
}

QStringList paths(const std::vector<Song> &songs)
{
    QStringList list;
    for (const Song &s : songs) list << s.path;
    return list;
}

// The confirmation before emptying a list: OK goes on.
bool confirmClear(QWidget *parent, const QString &question)
{
    QMessageBox box(QMessageBox::Information, parent->window()->windowTitle(), question,
                    QMessageBox::Ok | QMessageBox::Cancel, parent);
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Ok;
}

// A list of the project with the selection bound to the context's current item.
struct BoundList
{
    PathListModel *model;
    QAbstractItemView *view;

    BoundList(const QString &name, QWidget *parent) : model(new PathListModel(parent)), view(makePathListView(name, model, parent)) {}

    void show(const QStringList &list, int current)
    {
        model->setPaths(list);
        const QModelIndex index = model->index(current, 0);
        if (view->currentIndex() != index) view->setCurrentIndex(index);
        if (index.isValid()) view->scrollTo(index);
    }
};

class PicturesPage : public BoundPage
{
public:
    explicit PicturesPage(EditorContext &context) : BoundPage(context, 1), m_list(QStringLiteral("PicList"), this)
    {
        auto *caption = new QLabel(QStringLiteral("图片列表(&L)"), this);
        caption->setBuddy(m_list.view);
        auto *add = tableButton(20, QStringLiteral("添加图片(&A)"));
        auto *folder = tableButton(19, QStringLiteral("添加文件夹(&F)"));
        m_remove = tableButton(21, QStringLiteral("删除(&D)"));
        m_up = tableButton(22, QStringLiteral("上移(&U)"));
        m_down = tableButton(23, QStringLiteral("下移(&W)"));
        m_clear = tableButton(24, QStringLiteral("清空(&C)"));
        m_fullScreen = tableButton(18, QStringLiteral("全屏预览(&V)"));
        auto *random = boolCheck(QStringLiteral("ChkRandomOrder"), QStringLiteral("随机顺序播放图片(&R)"),
                                 &Settings::playPhotoInRamdomOrder, QStringLiteral("修改随机播放图片"));

        auto *buttons = new QGridLayout;
        const QList<QToolButton *> order = {add, folder, m_fullScreen, m_remove, m_up, m_down, m_clear};
        for (int i = 0; i < order.size(); ++i) buttons->addWidget(order[i], i / 4, i % 4);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(caption);
        layout->addWidget(m_list.view, 1);
        layout->addLayout(buttons);
        layout->addWidget(random);
        chainTabOrder({m_list.view, add, folder, m_fullScreen, m_remove, m_up, m_down, m_clear, random});

        connect(m_list.view->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this](const QModelIndex &index) {
                    if (!refreshing() && index.isValid()) this->context().setCurrentPicture(index.row());
                });
        auto *del = new QShortcut(QKeySequence::Delete, m_list.view, nullptr, nullptr, Qt::WidgetShortcut);
        connect(del, &QShortcut::activated, this, &PicturesPage::removeCurrent);
        connect(add, &QToolButton::clicked, this, &PicturesPage::chooseFiles);
        connect(folder, &QToolButton::clicked, this, &PicturesPage::chooseFolder);
        connect(m_remove, &QToolButton::clicked, this, &PicturesPage::removeCurrent);
        connect(m_up, &QToolButton::clicked, this, [this] { move(-1); });
        connect(m_down, &QToolButton::clicked, this, [this] { move(+1); });
        connect(m_clear, &QToolButton::clicked, this, [this] {
            if (this->context().busy() || this->context().project().pictures.empty()) return;
            if (!confirmClear(this, QStringLiteral("你确定要从列表中清空所有图片吗？"))) return;
            this->context().push(new ClearPicturesCommand(this->context()));
        });
        connect(m_fullScreen, &QToolButton::clicked, this, [this] {
            const int current = this->context().currentPicture();
            if (current >= 0) FullScreenPicture::show(this->context().project().pictures[size_t(current)].path, this);
        });
    }

    // Adds the files as the add button does after its dialog.
    void addFiles(const QStringList &files)
    {
        if (context().busy() || files.isEmpty()) return;
        auto command = std::make_unique<AppendPicturesCommand>(
            context(), files, [](const QString &path) { return pictureProblemText(CheckPictureFile(path)); });
        const AddPicturesResult result = command->result();
        if (result.added > 0) context().push(command.release());
        if (!result.refused.empty()) context().prompter().inform(refusedPicturesMessage(result), PromptIcon::Information);
    }

protected:
    void refreshOwn() override
    {
        const Project &p = context().project();
        m_list.show(paths(p.pictures), context().currentPicture());
        const int current = context().currentPicture();
        m_remove->setEnabled(current >= 0);
        m_fullScreen->setEnabled(current >= 0);
        m_clear->setEnabled(!p.pictures.empty());
        m_up->setEnabled(MovePictureCommand::canMove(p, current, -1));
        m_down->setEnabled(MovePictureCommand::canMove(p, current, +1));
    }

private:
    void chooseFiles()
    {
        QStringList filters;
        for (const FileFilter &f : pictureOpenFilters())
            filters << f.name + QStringLiteral(" (") + f.patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
        const QString dir = lastFolder();
        const QStringList files = QFileDialog::getOpenFileNames(this, QStringLiteral("添加图片文件"), dir,
                                                                filters.join(QStringLiteral(";;")));
        if (files.isEmpty()) return;
        rememberFolder(QFileInfo(files.last()).absolutePath());
        addFiles(files);
    }

    void chooseFolder()
    {
        const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("请选择图片目录"), lastFolder());
        if (folder.isEmpty()) return;
        rememberFolder(folder);
        QStringList files;
        for (const QFileInfo &info : QDir(folder).entryInfoList(QDir::Files, QDir::Name)) files << info.absoluteFilePath();
        addFiles(pictureFilesByName(files));
    }

    void removeCurrent()
    {
        const int current = context().currentPicture();
        if (context().busy() || current < 0) return;
        context().push(new RemovePictureCommand(context(), current));
    }

    void move(int delta)
    {
        const int current = context().currentPicture();
        if (context().busy() || !MovePictureCommand::canMove(context().project(), current, delta)) return;
        context().push(new MovePictureCommand(context(), current, delta));
    }

    static QString lastFolder() { return QSettings().value(QStringLiteral("sections/lastPictureFolder")).toString(); }
    static void rememberFolder(const QString &folder)
    {
        QSettings().setValue(QStringLiteral("sections/lastPictureFolder"), folder);
    }

    BoundList m_list;
    QToolButton *m_remove, *m_up, *m_down, *m_clear, *m_fullScreen;
};

class MusicPage : public BoundPage
{
public:
    explicit MusicPage(EditorContext &context) : BoundPage(context, 2), m_list(QStringLiteral("MusicList"), this)
    {
        auto *caption = new QLabel(QStringLiteral("音乐列表(&L)"), this);
        caption->setBuddy(m_list.view);
        auto *add = tableButton(25, QStringLiteral("添加音乐(&A)"));
        m_remove = tableButton(26, QStringLiteral("删除(&D)"));
        m_up = tableButton(27, QStringLiteral("上移(&U)"));
        m_down = tableButton(28, QStringLiteral("下移(&W)"));
        m_clear = tableButton(29, QStringLiteral("清空(&C)"));
        auto *buttons = new QHBoxLayout;
        for (QToolButton *b : {add, m_remove, m_up, m_down, m_clear}) buttons->addWidget(b);
        buttons->addStretch();

        auto *order = new QGroupBox(QStringLiteral("播放顺序"), this);
        auto *orderLayout = new QVBoxLayout(order);
        const char *orders[] = {"按顺序播放音乐文件", "随机播放音乐文件", "在列表中随机选择一首歌曲播放"};
        for (int k = 0; k < 3; ++k)
            orderLayout->addWidget(option(QStringLiteral("OptMusicOrder_%1").arg(k), QString::fromUtf8(orders[k]),
                                          [k](const Settings &s) { return s.playMusicOrder == k; },
                                          [k](Settings &s) { s.playMusicOrder = k; }, QStringLiteral("修改播放顺序")));

        auto *timing = new QGroupBox(QStringLiteral("图片播放时间"), this);
        auto *fixed = option(QStringLiteral("OptSlideDuration"), QStringLiteral("指定图片播放的间隔时间(秒)"),
                             [](const Settings &s) { return !s.enableSync; }, [](Settings &s) { s.enableSync = false; },
                             QStringLiteral("修改图片播放时间方式"));
        auto *sync = option(QStringLiteral("OptSync"), QStringLiteral("图片播放时间和音乐同步(约10 - 15秒)"),
                            [](const Settings &s) { return s.enableSync; }, [](Settings &s) { s.enableSync = true; },
                            QStringLiteral("修改图片播放时间方式"));
        sync->setToolTip(QStringLiteral("程序将根据所有歌曲的总长度和图片的总数量自动计算出一个平均值，作为两张图片的间隔时间，歌曲超过20首时此选项无效"));
        m_time = numberBox(QStringLiteral("TxtTime"), [](const Settings &s) { return numberText(s.timeInterval); },
                           ruleTimeIntervalText,
                           [](Settings &s, const QString &t) { s.timeInterval = timeIntervalFromText(t); },
                           QStringLiteral("修改切换时间"));
        m_time->setToolTip(QStringLiteral("最少3.5秒"));
        auto *perPicture = laterButton(43, QStringLiteral("每张图片的时间(&P)..."));
        auto *timingLayout = new QGridLayout(timing);
        timingLayout->addWidget(fixed, 0, 0);
        timingLayout->addWidget(m_time, 0, 1);
        timingLayout->addWidget(perPicture, 0, 2);
        timingLayout->addWidget(sync, 1, 0, 1, 3);
        timingLayout->setColumnStretch(3, 1);
        chainTabOrder({fixed, m_time, perPicture, sync});

        auto *mute = boolCheck(QStringLiteral("ChkMuteSound"), QStringLiteral("静音播放(&M)"), &Settings::muteSound,
                               QStringLiteral("修改静音"));

        auto *layout = new QVBoxLayout(this);
        layout->addWidget(caption);
        layout->addWidget(m_list.view, 1);
        layout->addLayout(buttons);
        layout->addWidget(order);
        layout->addWidget(timing);
        layout->addWidget(mute);

        connect(m_list.view->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this](const QModelIndex &index) {
                    if (!refreshing() && index.isValid()) this->context().setCurrentSong(index.row());
                });
        auto *del = new QShortcut(QKeySequence::Delete, m_list.view, nullptr, nullptr, Qt::WidgetShortcut);
        connect(del, &QShortcut::activated, this, &MusicPage::removeCurrent);
        connect(add, &QToolButton::clicked, this, &MusicPage::chooseFiles);
        connect(m_remove, &QToolButton::clicked, this, &MusicPage::removeCurrent);
        connect(m_up, &QToolButton::clicked, this, [this] { move(-1); });
        connect(m_down, &QToolButton::clicked, this, [this] { move(+1); });
        connect(m_clear, &QToolButton::clicked, this, [this] {
            if (this->context().busy() || this->context().project().songs.empty()) return;
            if (!confirmClear(this, QStringLiteral("你确定要从列表中清空所有音乐文件吗？"))) return;
            this->context().push(new ClearSongsCommand(this->context()));
        });
    }

    void addFiles(const QStringList &files)
    {
        if (context().busy() || files.isEmpty()) return;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        auto command = std::make_unique<AppendSongsCommand>(context(), files, songLengthForList);
        QApplication::restoreOverrideCursor();
        const AddSongsResult result = command->result();
        if (result.added > 0) context().push(command.release());
        if (!result.lastRefused.isEmpty())
            context().prompter().inform(songRefusedMessage(result.lastRefused), PromptIcon::Information);
    }

protected:
    void refreshOwn() override
    {
        const Project &p = context().project();
        m_list.show(paths(p.songs), context().currentSong());
        const int current = context().currentSong();
        m_remove->setEnabled(current >= 0);
        m_clear->setEnabled(!p.songs.empty());
        m_up->setEnabled(MoveSongCommand::canMove(p, current, -1));
        m_down->setEnabled(MoveSongCommand::canMove(p, current, +1));
        // The slide time comes from the music while synchronised.
        m_time->setEnabled(!p.settings.enableSync);
    }

private:
    void chooseFiles()
    {
        const QString filters = QStringLiteral(
            "所有可支持格式 (*.mid *.wav *.mp3 *.wma *.MID *.WAV *.MP3 *.WMA);;Mpeg音频文件(*.Mp3) (*.mp3 *.MP3);;"
            "Windows Media 音频文件(*.Wma) (*.wma *.WMA);;波形文件(*.Wav) (*.wav *.WAV);;MIDI文件(*.Mid) (*.mid *.MID)");
        QSettings ui;
        const QString key = QStringLiteral("sections/lastMusicFolder");
        const QStringList files = QFileDialog::getOpenFileNames(this, QStringLiteral("添加音乐文件"),
                                                                ui.value(key).toString(), filters);
        if (files.isEmpty()) return;
        ui.setValue(key, QFileInfo(files.last()).absolutePath());
        addFiles(files);
    }

    void removeCurrent()
    {
        const int current = context().currentSong();
        if (context().busy() || current < 0) return;
        context().push(new RemoveSongCommand(context(), current));
    }

    void move(int delta)
    {
        const int current = context().currentSong();
        if (context().busy() || !MoveSongCommand::canMove(context().project(), current, delta)) return;
        context().push(new MoveSongCommand(context(), current, delta));
    }

    BoundList m_list;
    QToolButton *m_remove, *m_up, *m_down, *m_clear;
    NumberBox *m_time;
};

class LyricsPage : public BoundPage
{
public:
    explicit LyricsPage(EditorContext &context) : BoundPage(context, 7), m_list(QStringLiteral("ListLyricFile"), this)
    {
        auto *enable = boolCheck(QStringLiteral("ChkEnableLyric"), QStringLiteral("显示歌词(&S)"),
                                 &Settings::enableLyric, QStringLiteral("修改显示歌词"));
        auto *caption = new QLabel(QStringLiteral("歌词文件(&L)"), this);
        caption->setBuddy(m_list.view);
        auto *folder = tableButton(39, QStringLiteral("歌词目录(&F)..."));
        m_folder = new QLabel(this);
        m_folder->setObjectName(QStringLiteral("LblLyricFolder"));
        m_folder->setTextFormat(Qt::PlainText);
        m_folder->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        auto *styleCaption = new QLabel(QStringLiteral("歌词样式(&Y)"), this);
        auto *style = vocabularyList(QStringLiteral("ListLyricStyle"), VocabularyList::LyricStyle, &Settings::lyricStyle,
                                     QStringLiteral("修改歌词样式"));
        styleCaption->setBuddy(style);
        style->setMaximumHeight(style->sizeHintForRow(0) * (style->count() + 1));
        auto *font = laterButton(40, QStringLiteral("歌词文字..."));
        auto *animated = laterButton(35, QStringLiteral("动态歌词..."));

        auto *folderRow = new QHBoxLayout;
        folderRow->addWidget(folder);
        folderRow->addWidget(m_folder, 1);
        auto *styleButtons = new QHBoxLayout;
        styleButtons->addWidget(font);
        styleButtons->addWidget(animated);
        styleButtons->addStretch();
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(enable);
        layout->addWidget(caption);
        layout->addWidget(m_list.view, 1);
        layout->addLayout(folderRow);
        layout->addWidget(styleCaption);
        layout->addWidget(style);
        layout->addLayout(styleButtons);

        connect(folder, &QToolButton::clicked, this, [this] {
            const QString chosen = QFileDialog::getExistingDirectory(
                this, QStringLiteral("请选择一个目录让程序寻找歌词文件"), this->context().project().settings.lyricFolder);
            if (chosen.isEmpty() || this->context().busy()) return;
            QString withSlash = QDir::fromNativeSeparators(chosen);
            if (!withSlash.endsWith(QLatin1Char('/'))) withSlash += QLatin1Char('/');
            this->context().push(new LyricFolderCommand(this->context(), withSlash));
        });
    }

    std::optional<QRect> markerBox() const override
    {
        EditorContext &c = editor();
        if (c.currentPicture() < 0) return std::nullopt;
        const Settings &s = c.project().settings;
        const bool twoLines = s.lyricStyle == 1 || s.lyricStyle == 3;
        return QRect(s.lyricBox.x, s.lyricBox.y, s.lyricBox.w, twoLines ? 2 * s.lyricBox.h : s.lyricBox.h);
    }

protected:
    void refreshOwn() override
    {
        const Settings &s = context().project().settings;
        m_list.show(context().project().lyricFiles, -1);
        m_folder->setText(s.lyricFolder.isEmpty() ? QStringLiteral("（未指定歌词目录）") : QDir::toNativeSeparators(s.lyricFolder));
        m_folder->setToolTip(QDir::toNativeSeparators(s.lyricFolder));
    }

private:
    BoundList m_list;
    QLabel *m_folder;
};

} // namespace

SectionPage *makePicturesPage(EditorContext &context) { return new PicturesPage(context); }
SectionPage *makeMusicPage(EditorContext &context) { return new MusicPage(context); }
SectionPage *makeLyricsPage(EditorContext &context) { return new LyricsPage(context); }

} // namespace pvsm::ui
