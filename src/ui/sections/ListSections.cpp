// The sections that hold lists: pictures (1), music (2) and lyrics (7).
#include "BoundPage.h"
#include "EditorContext.h"
#include "FileDrop.h"
#include "FrmSetSlideTime.h"
#include "FrmFont.h"
#include "FullScreenPicture.h"
#include "GuiPrompter.h"
#include "NumberRules.h"
#include "PathListModel.h"
#include "PictureAdd.h"
#include "PictureListCommands.h"
#include "PictureLoad.h"
#include "ProjectSession.h"
#include "Sections.h"
#include "SettingsCommands.h"
#include "SongAdmissionJob.h"
#include "SongLength.h"
#include "SongListCommands.h"
#include "TextStyleRules.h"

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
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

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

// The pictures and the music: a list whose current entry is the context's,
// several entries selectable, with remove of the selected ones (button and
// Delete), up, down and clear (after a question).
class ListPage : public BoundPage
{
protected:
    struct Buttons
    {
        int remove, up, down, clear; // indices of the button table
        const char *clearQuestion;
    };

    ListPage(EditorContext &context, int section, const QString &listName, const Buttons &buttons)
        : BoundPage(context, section), m_list(listName, this), m_clearQuestion(QString::fromUtf8(buttons.clearQuestion))
    {
        m_remove = tableButton(buttons.remove, QStringLiteral("删除(&D)"));
        m_up = tableButton(buttons.up, QStringLiteral("上移(&U)"));
        m_down = tableButton(buttons.down, QStringLiteral("下移(&W)"));
        m_clear = tableButton(buttons.clear, QStringLiteral("清空(&C)"));
        m_list.view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        connect(m_list.view->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this](const QModelIndex &index) {
                    if (!refreshing() && index.isValid()) setCurrent(index.row());
                });
        auto *del = new QShortcut(QKeySequence::Delete, m_list.view, nullptr, nullptr, Qt::WidgetShortcut);
        connect(del, &QShortcut::activated, this, &ListPage::removeSelected);
        connect(m_remove, &QToolButton::clicked, this, &ListPage::removeSelected);
        connect(m_up, &QToolButton::clicked, this, [this] { move(-1); });
        connect(m_down, &QToolButton::clicked, this, [this] { move(+1); });
        connect(m_clear, &QToolButton::clicked, this, [this] {
            if (this->context().busy() || m_list.model->rowCount() == 0) return;
            if (confirmClear(this, m_clearQuestion)) this->context().push(clearCommand());
        });
    }

    virtual QStringList entries() const = 0;
    virtual int current() const = 0;
    virtual void setCurrent(int index) = 0;
    // Removes the entries at `indices` (ascending, at least one).
    virtual QUndoCommand *removeCommand(std::vector<int> indices) = 0;
    virtual QUndoCommand *moveCommand(int index, int delta) = 0;
    virtual QUndoCommand *clearCommand() = 0;

    void refreshOwn() override
    {
        const QStringList list = entries();
        m_list.show(list, current());
        m_remove->setEnabled(current() >= 0);
        m_clear->setEnabled(!list.isEmpty());
        m_up->setEnabled(canMove(current(), -1));
        m_down->setEnabled(canMove(current(), +1));
    }

    QAbstractItemView *view() const { return m_list.view; }
    bool canMove(int index, int delta) const { return canSwapWithNeighbour(size_t(entries().size()), index, delta); }
    QToolButton *m_remove, *m_up, *m_down, *m_clear;

private:
    // The selected entries; the current one when the selection is empty.
    std::vector<int> selectedIndices() const
    {
        std::vector<int> rows;
        for (const QModelIndex &index : m_list.view->selectionModel()->selectedIndexes()) rows.push_back(index.row());
        if (rows.empty() && current() >= 0) rows.push_back(current());
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
        return rows;
    }

    void removeSelected()
    {
        if (context().busy()) return;
        const std::vector<int> rows = selectedIndices();
        if (!rows.empty()) context().push(removeCommand(rows));
    }

    void move(int delta)
    {
        if (!context().busy() && canMove(current(), delta)) context().push(moveCommand(current(), delta));
    }

    BoundList m_list;
    QString m_clearQuestion;
};

class PicturesPage : public ListPage
{
public:
    explicit PicturesPage(EditorContext &context)
        : ListPage(context, 1, QStringLiteral("ImgList"), {21, 22, 23, 24, "你确定要从列表中清空所有图片吗？"})
    {
        auto *caption = new QLabel(QStringLiteral("图片列表(&L)"), this);
        caption->setBuddy(view());
        auto *add = tableButton(20, QStringLiteral("添加图片(&A)"));
        auto *folder = tableButton(19, QStringLiteral("添加文件夹(&F)"));
        m_fullScreen = tableButton(18, QStringLiteral("全屏预览(&V)"));
        auto *random = boolCheck(QStringLiteral("ChkRandomOrder"), QStringLiteral("随机顺序播放图片(&R)"),
                                 &Settings::playPhotoInRamdomOrder, QStringLiteral("修改随机播放图片"));

        auto *layout = new QVBoxLayout(this);
        layout->addWidget(caption);
        layout->addWidget(view(), 1);
        layout->addLayout(buttonGrid({add, folder, m_up, m_down, m_remove, m_clear, m_fullScreen}));
        layout->addWidget(random);
        chainTabOrder({view(), add, folder, m_up, m_down, m_remove, m_clear, m_fullScreen, random});

        connect(add, &QToolButton::clicked, this, &PicturesPage::chooseFiles);
        connect(folder, &QToolButton::clicked, this, &PicturesPage::chooseFolder);
        connect(m_fullScreen, &QToolButton::clicked, this, [this] {
            if (current() >= 0) FullScreenPicture::show(entries()[current()], this);
        });
        // A thumbnail clicked: its picture is the only one selected in the list.
        connect(&context, &EditorContext::pictureChosenAlone, this, [this](int index) {
            const QModelIndex row = view()->model()->index(index, 0);
            view()->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect);
        });
        // Files and folders dragged from the file manager: one add for the whole drop.
        view()->setToolTip(QStringLiteral("可以从文件管理器把图片文件或文件夹拖到这里"));
        acceptFileDrops(view(), [this](const QStringList &paths) {
            return this->context().busy() ? QStringList() : picturesFromDrop(paths);
        }, [this](const QStringList &files) { addFiles(files); });
    }

    // Adds the files as the add button does after its dialog.
    void addFiles(const QStringList &files)
    {
        if (context().busy() || files.isEmpty()) return;
        AddPicturesResult result;
        if (auto command = planPictureAdd(context(), files, &result)) context().push(command.release());
        if (!result.refused.empty()) context().prompter().inform(refusedPicturesMessageZh(result), PromptIcon::Information);
    }

protected:
    QStringList entries() const override { return paths(editor().project().pictures); }
    int current() const override { return editor().currentPicture(); }
    void setCurrent(int index) override { context().setCurrentPicture(index); }
    QUndoCommand *removeCommand(std::vector<int> indices) override
    {
        return new RemovePicturesCommand(context(), std::move(indices));
    }
    QUndoCommand *moveCommand(int index, int delta) override { return new MovePictureCommand(context(), index, delta); }
    QUndoCommand *clearCommand() override { return new ClearPicturesCommand(context()); }

    void refreshOwn() override
    {
        ListPage::refreshOwn();
        m_fullScreen->setEnabled(current() >= 0);
    }

private:
    void chooseFiles()
    {
        const QStringList files = QFileDialog::getOpenFileNames(this, QStringLiteral("添加图片文件"),
                                                                lastPictureFolder(), pictureDialogFilter());
        if (files.isEmpty()) return;
        rememberPictureFolder(QFileInfo(files.last()).absolutePath());
        addFiles(files);
    }

    void chooseFolder()
    {
        const QString folder =
            QFileDialog::getExistingDirectory(this, QStringLiteral("请选择图片目录"), lastPictureFolder());
        if (folder.isEmpty()) return;
        rememberPictureFolder(folder);
        addFiles(pictureFilesInFolder(folder));
    }

    QToolButton *m_fullScreen;
};

class MusicPage : public ListPage
{
public:
    explicit MusicPage(EditorContext &context)
        : ListPage(context, 2, QStringLiteral("MusicList"), {26, 27, 28, 29, "你确定要从列表中清空所有音乐文件吗？"})
    {
        auto *caption = new QLabel(QStringLiteral("音乐列表(&L)"), this);
        caption->setBuddy(view());
        auto *add = tableButton(25, QStringLiteral("添加音乐(&A)"));

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
        m_perPicture = tableButton(43, QStringLiteral("每张图片的时间(&P)..."));
        auto *timingLayout = new QGridLayout(timing);
        timingLayout->addWidget(fixed, 0, 0, 1, 3);
        // The time box sits under its option, indented like the option's text.
        timingLayout->setColumnMinimumWidth(0, 20);
        timingLayout->addWidget(m_time, 1, 1);
        timingLayout->addWidget(m_perPicture, 1, 2);
        timingLayout->addWidget(sync, 2, 0, 1, 4);
        timingLayout->setColumnStretch(3, 1);
        chainTabOrder({fixed, m_time, m_perPicture, sync});

        auto *mute = boolCheck(QStringLiteral("ChkMuteSound"), QStringLiteral("静音播放(&M)"), &Settings::muteSound,
                               QStringLiteral("修改静音"));

        auto *layout = new QVBoxLayout(this);
        layout->addWidget(caption);
        layout->addWidget(view(), 1);
        layout->addLayout(buttonGrid({add, m_remove, m_up, m_down, m_clear}));
        layout->addWidget(order);
        layout->addWidget(timing);
        layout->addWidget(mute);
        chainTabOrder({view(), add, m_remove, m_up, m_down, m_clear});

        connect(add, &QToolButton::clicked, this, &MusicPage::chooseFiles);
        connect(m_perPicture, &QToolButton::clicked, this, &MusicPage::setSlideTimes);

        // Songs dropped from a file manager join the list as one add; while a
        // job runs the drop is refused as it hovers.
        acceptFileDrops(view(), [this](const QStringList &paths) {
            return this->context().busy() ? QStringList() : musicFilesByName(paths);
        }, [this](const QStringList &files) { addFiles(files); });
    }

    // Adds the files as the add button does after its dialog: probed off the
    // window thread, one command for all of them, one message for the refused.
    void addFiles(const QStringList &files)
    {
        if (context().busy() || files.isEmpty()) return;
        const int undoIndex = context().undoStack().index();
        SongAdditions plan =
            runSongAdmission(this, context().session(), context().prompter(), files, songLengthForList);
        // The lists changed under the probe (an undo meanwhile): today's lists decide.
        if (context().undoStack().index() != undoIndex) plan = replanSongAdditions(context().project(), files, plan);
        if (plan.result.added > 0) context().push(new AppendSongsCommand(context(), plan));
        if (!plan.result.lastRefused.isEmpty())
            context().prompter().inform(songRefusedMessage(plan.result.lastRefused), PromptIcon::Information);
    }

protected:
    QStringList entries() const override { return paths(editor().project().songs); }
    int current() const override { return editor().currentSong(); }
    void setCurrent(int index) override { context().setCurrentSong(index); }
    QUndoCommand *removeCommand(std::vector<int> indices) override
    {
        return new RemoveSongsCommand(context(), std::move(indices));
    }
    QUndoCommand *moveCommand(int index, int delta) override { return new MoveSongCommand(context(), index, delta); }
    QUndoCommand *clearCommand() override { return new ClearSongsCommand(context()); }

    void refreshOwn() override
    {
        ListPage::refreshOwn();
        // The slide time comes from the music while synchronised.
        m_time->setEnabled(!editor().project().settings.enableSync);
        m_perPicture->setEnabled(!editor().project().pictures.empty());
    }

private:
    void chooseFiles()
    {
        QSettings ui;
        const QString key = QStringLiteral("sections/lastMusicFolder");
        const QStringList files = QFileDialog::getOpenFileNames(this, QStringLiteral("添加音乐文件"), ui.value(key).toString(),
                                                                dialogFilterText(musicOpenFilters()));
        if (files.isEmpty()) return;
        ui.setValue(key, QFileInfo(files.last()).absolutePath());
        addFiles(files);
    }

    // The per-picture times: the dialog edits a copy; Save stores it as one command.
    void setSlideTimes()
    {
        if (context().busy() || context().project().pictures.empty()) return;
        FrmSetSlideTime dialog(context().project(), numberText(context().project().settings.timeInterval), this);
        connect(&dialog, &FrmSetSlideTime::pictureChosen, this, [this](int index) { context().setCurrentPicture(index); });
        if (dialog.exec() != QDialog::Accepted || context().busy()) return;
        Project trial = context().project();
        if (!storeSlideTimes(trial, dialog.times())) return;
        context().push(new ListEditCommand(context(), QStringLiteral("设置图片时间"), [times = dialog.times()](EditorContext &c) {
            storeSlideTimes(c.project(), times);
        }));
    }

    NumberBox *m_time;
    QToolButton *m_perPicture;
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
        connect(style, &QListWidget::itemClicked, this, [this] { emit this->context().lyricPreviewRequested(); });
        style->setMaximumHeight(style->sizeHintForRow(0) * (style->count() + 1));
        auto *font = tableButton(40, QStringLiteral("歌词文字(&Z)..."));
        auto *animated = tableButton(35, QStringLiteral("动态歌词(&D)..."));
        connect(font, &QToolButton::clicked, this, [this] { editTextStyle(this->context(), kStyleLyrics, this); });
        connect(animated, &QToolButton::clicked, this,
                [this] { editTextStyle(this->context(), kStyleLyricHighlight, this); });

        auto *folderRow = new QHBoxLayout;
        folderRow->addWidget(folder);
        folderRow->addWidget(m_folder, 1);
        auto *styleButtons = buttonRow({font, animated});
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

    // The stored box: the window draws the two-line styles at twice its height.
    std::optional<QRect> markerBox() const override
    {
        const Project &p = editor().project();
        if (editor().currentPicture() < 0 || p.lyricFiles.isEmpty()) return std::nullopt;
        const TextBox &b = p.settings.lyricBox;
        return QRect(b.x, b.y, b.w, b.h);
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
