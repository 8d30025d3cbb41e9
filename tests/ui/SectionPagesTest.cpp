#include "FrameFixtures.h"
#include "PictureListCommands.h"
#include "ResourcePackage.h"
#include "SectionFixture.h"
#include "SongListCommands.h"
#include "PictureAdd.h"
#include "PictureStrip.h"
#include "ProjectText.h"
#include "ThumbnailCache.h"
#include "ThumbnailStrip.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFocusEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QLabel>
#include <QMimeData>
#include <QScrollBar>
#include <QUrl>
#include <QPushButton>
#include <QTimer>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <cstdio>

using namespace pvsm;
using namespace pvsm::ui;
using namespace pvsm::ui::test;

TEST(SectionPages, EveryControlIsThereUnderItsNameWithItsTip)
{
    Editor editor;
    for (int section = 1; section <= 10; ++section)
        EXPECT_EQ(editor.page(section).objectName(), QStringLiteral("FraCT_%1").arg(section - 1));

    struct Button
    {
        int section, index;
        const char *tip;
        bool usable; // false: the command comes later, the button is shown greyed
    };
    const Button buttons[] = {
        {1, 18, "全屏幕预览当前图片 ", true},
        {1, 19, "添加一个文件夹里面的图片到图片幻灯中 ", true},
        {1, 20, "添加图片到图片幻灯中 ", true},
        {1, 21, "从列表中删除当前选中的图片 ", true},
        {1, 22, "将当前选中的图片在列表顺序中上移一位 ", false}, // the first picture is current
        {1, 23, "将当前选中的图片在列表顺序中下移一位 ", true},
        {1, 24, "从列表中清除所有图片 ", true},
        {2, 25, "添加背景音乐(.mp3, .wma, .wav, .mid)到图片幻灯中 ", true},
        {2, 26, "从列表中删除当前选中的音乐文件 ", true},
        {2, 29, "从列表中清除所有音乐文件 ", true},
        {2, 43, "为每张图片设置不同的持续/间隔时间 ", true},
        {3, 30, "选择一张图片作为图片幻灯的背景 ", true},
        {3, 44, "选择透明PNG图片作为相框；或添加一个*.frame相框包到程序中 ", true},
        {4, 31, "选择静态文字的大小、颜色等 ", true},
        {4, 42, "把静态文字和位置应用到所有已存在的图片 ", true},
        {5, 36, "选择动态文字的大小、颜色等 ", true},
        {6, 32, "选中所有图片切换特效 ", true},
        {6, 33, "不选中任何图片切换特效 ", true},
        {7, 35, "设置动态歌词字体 ", true},
        {7, 39, "指定一個目录让程序自动寻找对应的歌词文件 ", true},
        {7, 40, "选择歌词文字的大小、颜色等 ", true},
        {8, 34, "选择一张需要在片尾显示的图片 ", true},
        {8, 37, "选择一张需要在片头显示的图片 ", true},
        {8, 41, "选择片头或片尾文字的大小、颜色等 ", true},
        {10, 38, "选择一张图片在打开图片幻灯时显示的Logo图片 ", true},
        {10, 50, "为完整图片幻灯文件自定义一个图标 ", true},
    };
    for (const Button &b : buttons) {
        auto *button = editor.control<QToolButton>(b.section, QStringLiteral("PicBtn_%1").arg(b.index));
        if (!button) continue;
        EXPECT_EQ(button->toolTip(), QString::fromUtf8(b.tip)) << b.index;
        EXPECT_EQ(button->isEnabled(), b.usable) << b.index;
        EXPECT_FALSE(button->icon().isNull()) << b.index;
    }

    const std::pair<int, const char *> controls[] = {
        {1, "ImgList"}, {1, "ChkRandomOrder"}, {2, "MusicList"}, {2, "OptMusicOrder_0"}, {2, "OptMusicOrder_2"},
        {2, "OptSlideDuration"}, {2, "OptSync"}, {2, "TxtTime"}, {2, "ChkMuteSound"}, {3, "ComboPhotoScale"},
        {3, "OptBK_0"}, {3, "OptBK_2"}, {3, "PicSolidColor"}, {3, "PicBeginColor"}, {3, "PicEndColor"},
        {3, "CboBackgroundGradient"}, {3, "CboBackgroundPictureMode"}, {3, "OptPhotoState_0"}, {3, "OptPhotoState_1"},
        {3, "FraPictureFrame"}, {3, "ListPicFrame"}, {4, "ChkEnableCaption"}, {4, "ChkFilenameAsCaption"},
        {4, "TxtCaption"}, {5, "ChkEnableHeadline"}, {5, "TxtHeadline"}, {5, "FontList"}, {6, "ChkEnableTransition"},
        {6, "StyleList"}, {6, "TxtTransitionSpeed"}, {7, "ChkEnableLyric"}, {7, "ListLyricFile"}, {7, "ListLyricStyle"},
        {8, "ChkEnableOpening"}, {8, "ChkEnableEnding"}, {8, "TxtOpening"}, {8, "TxtEnding"}, {8, "TxtOpeningTime"},
        {8, "TxtEndingTime"}, {8, "ListTitleStyle"}, {9, "TxtSetting_0"}, {9, "TxtSetting_4"}, {9, "TxtSetting_5"},
        {10, "CboDirectPlay"}, {10, "ChkIgnoreMouseMove"}, {10, "ChkShowCursor"}, {10, "ChkEnableExport"},
        {10, "TxtExportPassword"}, {10, "PicIcon"}, {10, "ChkEnableOpenFolder"},
    };
    for (const auto &[section, name] : controls) editor.control(section, QString::fromLatin1(name));

    // The vocabulary lists are the stored values in order.
    EXPECT_EQ(editor.control<QComboBox>(3, QStringLiteral("ComboPhotoScale"))->itemText(3), QStringLiteral("全屏保持宽高比例"));
    EXPECT_EQ(editor.control<QComboBox>(3, QStringLiteral("CboBackgroundPictureMode"))->itemText(1), QStringLiteral("全屏拉伸"));
    EXPECT_EQ(editor.control<QListWidget>(6, QStringLiteral("StyleList"))->count(), 23);
    EXPECT_EQ(editor.control<QListWidget>(5, QStringLiteral("FontList"))->item(8)->text(), QStringLiteral("文字聚集(#)"));
    EXPECT_EQ(editor.control(2, QStringLiteral("OptSync"))->toolTip(),
              QStringLiteral("程序将根据所有歌曲的总长度和图片的总数量自动计算出一个平均值，作为两张图片的间隔时间，歌曲超过20首时此选项无效"));
}

TEST(SectionPages, EachEditIsOneCommandWhoseUndoRestoresTheProject)
{
    struct Edit
    {
        const char *name;
        std::function<void(Editor &)> act;
        std::function<bool(const Project &)> changed;
    };
    const std::vector<Edit> edits = {
        {"check box", [](Editor &e) { e.control<QCheckBox>(4, QStringLiteral("ChkEnableCaption"))->click(); },
         [](const Project &p) { return !p.settings.enableCaption; }},
        {"option", [](Editor &e) { e.control<QRadioButton>(2, QStringLiteral("OptMusicOrder_2"))->click(); },
         [](const Project &p) { return p.settings.playMusicOrder == 2; }},
        {"background kind", [](Editor &e) { e.control<QRadioButton>(3, QStringLiteral("OptBK_0"))->click(); },
         [](const Project &p) { return p.settings.backGroundSet == QStringLiteral("1"); }},
        {"floating", [](Editor &e) { e.control<QRadioButton>(3, QStringLiteral("OptPhotoState_1"))->click(); },
         [](const Project &p) { return p.settings.enableFloating; }},
        {"combo", [](Editor &e) { e.control<QComboBox>(3, QStringLiteral("ComboPhotoScale"))->setCurrentIndex(0); },
         [](const Project &p) { return p.settings.imgDrawScale == 0; }},
        {"background picture mode",
         [](Editor &e) { e.control<QComboBox>(3, QStringLiteral("CboBackgroundPictureMode"))->setCurrentIndex(1); },
         [](const Project &p) { return p.settings.backgroundDrawScale == 4; }},
        {"list box", [](Editor &e) { e.control<QListWidget>(7, QStringLiteral("ListLyricStyle"))->setCurrentRow(3); },
         [](const Project &p) { return p.settings.lyricStyle == 3; }},
        {"transition tick",
         [](Editor &e) { e.control<QListWidget>(6, QStringLiteral("StyleList"))->item(4)->setCheckState(Qt::Unchecked); },
         [](const Project &p) { return !p.settings.selectedTransitions.test(4) && p.settings.selectedTransitions.test(3); }},
        {"none ticked", [](Editor &e) { e.control<QToolButton>(6, QStringLiteral("PicBtn_33"))->click(); },
         [](const Project &p) { return p.settings.selectedTransitions.none(); }},
        {"number box",
         [](Editor &e) {
             auto *box = e.control<QLineEdit>(6, QStringLiteral("TxtTransitionSpeed"));
             type(box, QStringLiteral("1.75"));
             leave(box);
         },
         [](const Project &p) { return p.settings.transitionSpeed == 1750; }},
        {"typing is one command",
         [](Editor &e) {
             auto *box = e.control<QLineEdit>(9, QStringLiteral("TxtSetting_1"));
             type(box, QStringLiteral("Ann Lee"));
             leave(box);
         },
         [](const Project &p) { return p.settings.txtSetting[1] == QStringLiteral("Ann Lee"); }},
        {"name rule joins the typing",
         [](Editor &e) {
             auto *box = e.control<QLineEdit>(9, QStringLiteral("TxtSetting_0"));
             type(box, QStringLiteral("a/b"));
             leave(box);
             EXPECT_EQ(box->text(), QStringLiteral("未命名图片幻灯"));
         },
         [](const Project &p) { return p.settings.txtSetting[0] == QStringLiteral("未命名图片幻灯"); }},
        {"multi-line typing",
         [](Editor &e) { QTest::keyClicks(e.control<QPlainTextEdit>(8, QStringLiteral("TxtOpening")), QStringLiteral("Hi there")); },
         [](const Project &p) { return p.settings.titleText[0].contains(QStringLiteral("Hi there")); }},
        {"caption of the current picture",
         [](Editor &e) {
             e.context->setCurrentPicture(1);
             QTest::keyClicks(e.control<QPlainTextEdit>(4, QStringLiteral("TxtCaption")), QStringLiteral("xyz"));
         },
         [](const Project &p) { return p.pictures[1].caption.contains(QStringLiteral("xyz")); }},
        {"headline effect",
         [](Editor &e) { e.control<QListWidget>(5, QStringLiteral("FontList"))->setCurrentRow(7); },
         [](const Project &p) { return p.pictures[0].headDynamicStyle == 7; }},
    };
    for (const Edit &edit : edits) {
        SCOPED_TRACE(edit.name);
        Editor editor;
        const Project before = editor.project();
        edit.act(editor);
        EXPECT_TRUE(edit.changed(editor.project()));
        ASSERT_EQ(editor.undo.count(), 1);
        EXPECT_FALSE(editor.undo.undoText().isEmpty());
        editor.undo.undo();
        EXPECT_TRUE(editor.project() == before);
        editor.undo.redo();
        EXPECT_TRUE(edit.changed(editor.project()));
    }
}

TEST(SectionPages, TimeBoxTakesDigitsAndItsRuleRunsOnLeaving)
{
    Editor editor;
    auto *box = editor.control<QLineEdit>(2, QStringLiteral("TxtTime"));
    EXPECT_EQ(box->text(), QStringLiteral("5")); // the demo's
    type(box, QStringLiteral("2"));
    EXPECT_EQ(editor.undo.count(), 0); // nothing is stored while typing
    leave(box);
    EXPECT_EQ(box->text(), QStringLiteral("3.5"));
    EXPECT_EQ(editor.project().settings.timeInterval, 3.5f);
    EXPECT_EQ(editor.undo.count(), 1);
    EXPECT_EQ(editor.undo.undoText(), QStringLiteral("修改切换时间"));
    // Letters never get in; what is left is the number typed.
    type(box, QStringLiteral("a1b2.x5"));
    EXPECT_EQ(box->text(), QStringLiteral("12.5"));
    leave(box);
    EXPECT_EQ(editor.project().settings.timeInterval, 12.5f);
    editor.undo.undo();
    EXPECT_EQ(box->text(), QStringLiteral("3.5"));
    // An empty box takes the default.
    type(box, QString());
    box->clear();
    leave(box);
    EXPECT_EQ(box->text(), QStringLiteral("10"));
}

TEST(SectionPages, NothingChangesWhileAJobRuns)
{
    Editor editor;
    editor.core->session().setBusy(true);
    auto *check = editor.control<QCheckBox>(4, QStringLiteral("ChkEnableCaption"));
    auto *effects = editor.control<QListWidget>(5, QStringLiteral("FontList"));
    const int effect = editor.project().pictures[0].headDynamicStyle;
    check->click();
    effects->setCurrentRow(effect == 8 ? 7 : 8);
    editor.control<QToolButton>(1, QStringLiteral("PicBtn_21"))->click();
    EXPECT_EQ(editor.undo.count(), 0);
    EXPECT_TRUE(editor.project().settings.enableCaption);
    EXPECT_EQ(editor.project().pictures[0].headDynamicStyle, effect);
    QApplication::processEvents(); // the controls show the project again
    EXPECT_TRUE(check->isChecked());
    EXPECT_EQ(effects->currentRow(), effect);
}

TEST(SectionPages, SyncGreysTheTimeBox)
{
    Editor editor;
    auto *time = editor.control<QLineEdit>(2, QStringLiteral("TxtTime"));
    EXPECT_TRUE(time->isEnabled());
    editor.control<QRadioButton>(2, QStringLiteral("OptSync"))->click();
    EXPECT_TRUE(editor.project().settings.enableSync);
    EXPECT_FALSE(time->isEnabled());
    editor.control<QRadioButton>(2, QStringLiteral("OptSlideDuration"))->click();
    EXPECT_TRUE(time->isEnabled());
    editor.undo.undo();
    EXPECT_FALSE(time->isEnabled());
    EXPECT_TRUE(editor.control<QRadioButton>(2, QStringLiteral("OptSync"))->isChecked());
}

TEST(SectionPages, PictureListCommandsRestoreExactly)
{
    Editor editor;
    Project &p = editor.project();
    const Project start = p;
    const size_t count = p.pictures.size();
    auto *view = editor.control<QAbstractItemView>(1, QStringLiteral("ImgList"));
    ASSERT_EQ(view->model()->rowCount(), int(count));

    // Adding: a new picture, a listed one and a text file; only the new one joins.
    const QString fresh = writePicture(editor.dir.path(), QStringLiteral("fresh.png"));
    QFile text(editor.dir.filePath(QStringLiteral("note.png")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();
    auto *append = new AppendPicturesCommand(*editor.context, {fresh, p.pictures[0].path, text.fileName()},
                                             [](const QString &path) {
                                                 return QImage(path).isNull() ? QStringLiteral("is no picture") : QString();
                                             });
    EXPECT_EQ(append->result().added, 1);
    EXPECT_EQ(append->result().refused.size(), 2u);
    EXPECT_EQ(p.pictures.size(), count); // nothing happens before the push
    editor.context->push(append);
    EXPECT_EQ(p.pictures.back().path, fresh);
    EXPECT_EQ(view->model()->rowCount(), int(count + 1));
    EXPECT_EQ(editor.undo.undoText(), QStringLiteral("添加图片"));

    // Moving: the picture goes with its caption and stays current.
    p.pictures[1].caption = QStringLiteral("second");
    const Project beforeMove = p;
    ASSERT_TRUE(canSwapWithNeighbour(p.pictures.size(), 1, -1));
    EXPECT_FALSE(canSwapWithNeighbour(p.pictures.size(), 0, -1));
    editor.context->push(new MovePictureCommand(*editor.context, 1, -1));
    EXPECT_EQ(p.pictures[0].caption, QStringLiteral("second"));
    EXPECT_EQ(editor.context->currentPicture(), 0);
    EXPECT_EQ(view->currentIndex().row(), 0);
    editor.undo.undo();
    EXPECT_TRUE(p == beforeMove);
    EXPECT_EQ(editor.context->currentPicture(), 1);

    // Removing the current picture selects the one that takes its place.
    editor.context->push(new RemovePicturesCommand(*editor.context, {1}));
    EXPECT_EQ(p.pictures.size(), count);
    EXPECT_EQ(editor.context->currentPicture(), 1);
    editor.undo.undo();
    EXPECT_TRUE(p == beforeMove);

    // Clearing resets the background and the auxiliary pictures; undo brings them back.
    p.settings.backGroundSet = QStringLiteral("3");
    p.settings.backGroundPicture = fresh;
    p.settings.logoImage = fresh;
    const Project beforeClear = p;
    editor.context->push(new ClearPicturesCommand(*editor.context));
    EXPECT_TRUE(p.pictures.empty());
    EXPECT_EQ(p.settings.backGroundSet, QStringLiteral("1"));
    EXPECT_TRUE(p.settings.logoImage.isEmpty());
    EXPECT_EQ(editor.context->currentPicture(), -1);
    EXPECT_TRUE(editor.page(4).markerBox() == std::nullopt); // no picture, no caption marker
    editor.undo.undo();
    EXPECT_TRUE(p == beforeClear);
    EXPECT_EQ(editor.context->currentPicture(), 1);

    // Undo all the way: the start, and redo all the way applies the same edits.
    p.pictures[1].caption = start.pictures[1].caption;
    p.settings = start.settings;
    editor.undo.setIndex(0);
    EXPECT_TRUE(p == start);
    editor.undo.setIndex(editor.undo.count());
    EXPECT_TRUE(p.pictures.empty());
}

TEST(SectionPages, SongListCommandsKeepLyricsInStep)
{
    Editor editor(false);
    Project &p = editor.project();
    const QString lyric = editor.dir.filePath(QStringLiteral("b.lrc"));
    QFile(lyric).open(QIODevice::WriteOnly);
    const QString a = editor.dir.filePath(QStringLiteral("a.mp3")), b = editor.dir.filePath(QStringLiteral("b.mp3"));
    int probes = 0;
    auto *append = new AppendSongsCommand(*editor.context, {a, b}, [&](const QString &path) {
        ++probes;
        return path == a ? 61.5f : 30.0f;
    });
    ASSERT_EQ(append->result().added, 2);
    editor.context->push(append);
    EXPECT_EQ(p.songs.size(), 2u);
    EXPECT_EQ(p.lyricFiles, QStringList{lyric});
    EXPECT_EQ(editor.context->currentSong(), 0);
    editor.undo.undo();
    EXPECT_TRUE(p.songs.empty());
    EXPECT_TRUE(p.lyricFiles.isEmpty());
    editor.undo.redo(); // the same songs again, not probed a second time
    EXPECT_EQ(probes, 2);
    EXPECT_EQ(p.songs[0].durationSec, 61.5f);

    const Project two = p;
    editor.context->push(new MoveSongCommand(*editor.context, 0, +1));
    EXPECT_EQ(p.songs[1].durationSec, 61.5f);
    EXPECT_EQ(editor.context->currentSong(), 1);
    editor.undo.undo();
    editor.context->push(new RemoveSongsCommand(*editor.context, {1}));
    EXPECT_TRUE(p.lyricFiles.isEmpty()); // b's lyric went with it
    EXPECT_EQ(editor.undo.undoText(), QStringLiteral("删除音乐"));
    editor.undo.undo();
    EXPECT_TRUE(p == two);
    editor.context->push(new ClearSongsCommand(*editor.context));
    EXPECT_TRUE(p.songs.empty());
    editor.undo.undo();
    EXPECT_TRUE(p == two);
}

TEST(SectionPages, ListSelectionIsTheCurrentItemAndMarkersFollowIt)
{
    Editor editor;
    auto *view = editor.control<QAbstractItemView>(1, QStringLiteral("ImgList"));
    view->setCurrentIndex(view->model()->index(2, 0));
    EXPECT_EQ(editor.context->currentPicture(), 2);
    const Picture &pic = editor.project().pictures[2];
    EXPECT_EQ(editor.page(4).markerBox(), QRect(pic.captionBox.x, pic.captionBox.y, pic.captionBox.w, pic.captionBox.h));
    EXPECT_EQ(editor.page(5).markerBox(), QRect(pic.headlineBox.x, pic.headlineBox.y, pic.headlineBox.w, pic.headlineBox.h));
    // Sections without a box of their own show no marker.
    EXPECT_EQ(editor.page(1).markerBox(), std::nullopt);
    EXPECT_EQ(editor.page(6).markerBox(), std::nullopt);
    // The caption box shows the current picture's own text.
    EXPECT_EQ(editor.control<QPlainTextEdit>(4, QStringLiteral("TxtCaption"))->toPlainText(), pic.caption);

    // The lyric box as stored, whatever the style (the window doubles it for
    // two lines), and none without a lyric file.
    const TextBox lyric = editor.project().settings.lyricBox;
    editor.control<QListWidget>(7, QStringLiteral("ListLyricStyle"))->setCurrentRow(3);
    EXPECT_EQ(editor.page(7).markerBox(), QRect(lyric.x, lyric.y, lyric.w, lyric.h));
    editor.project().lyricFiles.clear();
    EXPECT_EQ(editor.page(7).markerBox(), std::nullopt);

    // The title box only while a shown opening or ending has text.
    const TextBox title = editor.project().settings.titleBox;
    EXPECT_EQ(editor.page(8).markerBox(), QRect(title.x, title.y, title.w, title.h));
    editor.control<QCheckBox>(8, QStringLiteral("ChkEnableOpening"))->click();
    EXPECT_EQ(editor.page(8).markerBox(), QRect(title.x, title.y, title.w, title.h)); // the ending still has text
    editor.project().settings.titleText[1].clear();
    EXPECT_EQ(editor.page(8).markerBox(), std::nullopt);
}

TEST(SectionPages, ButtonsRunTheirCommands)
{
    Editor editor;
    Project &p = editor.project();
    auto button = [&](int section, int index) {
        return editor.control<QToolButton>(section, QStringLiteral("PicBtn_%1").arg(index));
    };
    const QString first = p.pictures[0].path, second = p.pictures[1].path;
    const size_t count = p.pictures.size();

    button(1, 23)->click(); // down
    EXPECT_EQ(p.pictures[1].path, first);
    EXPECT_EQ(editor.context->currentPicture(), 1);
    EXPECT_EQ(editor.undo.undoText(), QStringLiteral("下移图片"));
    EXPECT_TRUE(button(1, 22)->isEnabled());
    button(1, 22)->click(); // and up again
    EXPECT_EQ(p.pictures[0].path, first);
    button(1, 21)->click(); // remove the current one
    EXPECT_EQ(p.pictures.size(), count - 1);
    EXPECT_EQ(p.pictures[0].path, second);
    EXPECT_EQ(editor.undo.count(), 3);

    // The full-screen view shows up as a window of its own; a key closes it.
    button(1, 18)->click();
    QWidget *full = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QStringLiteral("FrmFullScreen") && w->isVisible()) full = w;
    ASSERT_NE(full, nullptr);
    QTest::keyClick(full, Qt::Key_Escape);
    EXPECT_FALSE(full->isVisible());

    // The caption goes to every picture, and the user is told.
    QString told;
    answerNextBox(QMessageBox::Ok, &told);
    button(4, 42)->click();
    EXPECT_EQ(told, QStringLiteral("设置完成"));
    for (const Picture &pic : p.pictures) EXPECT_EQ(pic.caption, p.pictures[0].caption);

    // Clearing asks first: Cancel keeps the list, OK clears it in one command.
    QString asked;
    answerNextBox(QMessageBox::Cancel, &asked);
    button(1, 24)->click();
    EXPECT_EQ(asked, QStringLiteral("你确定要从列表中清空所有图片吗？"));
    EXPECT_EQ(p.pictures.size(), count - 1);
    answerNextBox(QMessageBox::Ok);
    button(1, 24)->click();
    EXPECT_TRUE(p.pictures.empty());
    EXPECT_FALSE(button(1, 21)->isEnabled());

    // Transitions: none, then all.
    button(6, 33)->click();
    EXPECT_TRUE(p.settings.selectedTransitions.none());
    EXPECT_EQ(editor.control<QListWidget>(6, QStringLiteral("StyleList"))->item(0)->checkState(), Qt::Unchecked);
    button(6, 32)->click();
    EXPECT_TRUE(p.settings.selectedTransitions.all());

    // The demo's one song goes with its lyric file.
    ASSERT_EQ(p.songs.size(), 1u);
    ASSERT_EQ(p.lyricFiles.size(), 1);
    button(2, 26)->click();
    EXPECT_TRUE(p.songs.empty());
    EXPECT_TRUE(p.lyricFiles.isEmpty());
    EXPECT_EQ(editor.control<QAbstractItemView>(7, QStringLiteral("ListLyricFile"))->model()->rowCount(), 0);

    editor.undo.setIndex(0);
    EXPECT_EQ(p.pictures.size(), count);
    EXPECT_EQ(p.songs.size(), 1u);
}

TEST(SectionPages, TheFrameListChoosesTheFrameOfTheShow)
{
    Editor editor(true, [](const QString &programDir) {
        QFile package(QDir(programDir).filePath(QStringLiteral("1.frame")));
        ASSERT_TRUE(package.open(QIODevice::WriteOnly));
        package.write(BuildPackage(PackageKind::Frames,
                                   {{QStringLiteral("蓝边"), pvsm::test::solidPng(Qt::blue)}, {QStringLiteral("红边"), pvsm::test::solidPng(Qt::red)}}));
    });
    auto *list = editor.control<QListWidget>(3, QStringLiteral("ListPicFrame"));
    auto *chooser = editor.control<QToolButton>(3, QStringLiteral("PicBtn_44"));
    auto *hint = editor.control<QLabel>(3, QStringLiteral("LblPictureFrameHint"));
    ASSERT_TRUE(list && chooser && hint);
    QStringList rows;
    for (int r = 0; r < list->count(); ++r) rows << list->item(r)->text();
    EXPECT_EQ(rows, (QStringList{QStringLiteral("无"), QStringLiteral("蓝边"), QStringLiteral("红边"),
                                 QStringLiteral("自定义 PNG 相框..."), QStringLiteral("更多相框下载...")}));
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_TRUE(chooser->isHidden());

    // A package frame: one command, its picture in memory, undone as one.
    list->setCurrentRow(2);
    EXPECT_EQ(editor.project().settings.pictureFrameNum, 2);
    EXPECT_EQ(editor.context->pictureFrameBytes(), pvsm::test::solidPng(Qt::red));
    EXPECT_EQ(editor.undo.count(), 1);
    editor.undo.undo();
    EXPECT_EQ(editor.project().settings.pictureFrameNum, 0);
    EXPECT_TRUE(editor.context->pictureFrameBytes().isEmpty());
    EXPECT_EQ(list->currentRow(), 0);

    // The own PNG without a file shows the chooser and leaves the frame alone.
    list->setCurrentRow(1);
    list->setCurrentRow(3);
    EXPECT_EQ(editor.project().settings.pictureFrameNum, 1);
    EXPECT_FALSE(chooser->isHidden());
    EXPECT_FALSE(hint->isHidden());
    editor.context->notifyProjectChanged(); // another view's refresh keeps the entry
    EXPECT_EQ(list->currentRow(), 3);
    list->setCurrentRow(0);
    EXPECT_TRUE(chooser->isHidden());
    EXPECT_EQ(editor.project().settings.pictureFrameNum, 0);

    // "更多相框下载..." opens the help and goes back to the frame chosen.
    QString anchor;
    QObject::connect(editor.context.get(), &EditorContext::helpRequested, [&](const QString &a) { anchor = a; });
    list->setCurrentRow(4);
    EXPECT_EQ(anchor, QStringLiteral("frame"));
    EXPECT_EQ(list->currentRow(), 0);
}

namespace {

// Selects exactly `rows` of a list view, as Ctrl+clicks would.
void selectRows(QAbstractItemView *view, const std::vector<int> &rows)
{
    view->clearSelection();
    for (int row : rows)
        view->selectionModel()->select(view->model()->index(row, 0), QItemSelectionModel::Select);
}

// `count` small pictures of distinct colours, "p00.png", "p01.png", ...
QStringList writePictures(const QString &dir, int count, const QString &prefix = QStringLiteral("p"))
{
    QStringList paths;
    for (int k = 0; k < count; ++k) {
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(QColor::fromHsv(k * 360 / std::max(count, 1) % 360, 200, 220));
        const QString path = QDir(dir).filePath(QStringLiteral("%1%2.png").arg(prefix).arg(k, 2, 10, QLatin1Char('0')));
        EXPECT_TRUE(image.save(path));
        paths << path;
    }
    return paths;
}

void sendDrop(QWidget *target, const QStringList &paths)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString &path : paths) urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    EXPECT_TRUE(drop.isAccepted());
    QApplication::processEvents(); // the add runs after the drop returned
}

} // namespace

TEST(SectionPages, DeleteRemovesEverySelectedEntryOfBothListsAsOneCommand)
{
    Editor editor;
    Project &p = editor.project();
    const QStringList start = pvsm::test::projectText(p);
    auto *pictures = editor.control<QAbstractItemView>(1, QStringLiteral("ImgList"));
    // The Delete key is a shortcut of the list: it needs the list shown.
    editor.page(1).show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor.page(1)));
    const size_t count = p.pictures.size();
    ASSERT_GE(count, 3u);
    const QString third = p.pictures[2].path;
    selectRows(pictures, {0, 1});
    QTest::keyClick(pictures, Qt::Key_Delete);
    ASSERT_EQ(p.pictures.size(), count - 2);
    EXPECT_EQ(p.pictures[0].path, third);
    EXPECT_EQ(editor.context->currentPicture(), 0);
    EXPECT_EQ(editor.undo.count(), 1);
    EXPECT_EQ(editor.undo.undoText(), QStringLiteral("删除图片"));
    editor.undo.undo();
    EXPECT_EQ(pvsm::test::projectText(p), start);

    // Every picture selected: the list is cleared with its resets, no question asked.
    p.settings.backGroundSet = QStringLiteral("3");
    const QStringList beforeAll = pvsm::test::projectText(p);
    pictures->selectAll();
    editor.control<QToolButton>(1, QStringLiteral("PicBtn_21"))->click();
    EXPECT_TRUE(p.pictures.empty());
    EXPECT_EQ(p.settings.backGroundSet, QStringLiteral("1"));
    editor.undo.undo();
    EXPECT_EQ(pvsm::test::projectText(p), beforeAll);

    // Songs: the selected ones go, each with its lyric file; the others stay with theirs.
    Editor music(false);
    Project &m = music.project();
    QStringList songs;
    for (const char *name : {"a", "b", "c"}) {
        songs << music.dir.filePath(QString::fromLatin1(name) + QStringLiteral(".mp3"));
        QFile(music.dir.filePath(QString::fromLatin1(name) + QStringLiteral(".lrc"))).open(QIODevice::WriteOnly);
    }
    music.context->push(new AppendSongsCommand(*music.context, songs, [](const QString &) { return 30.0f; }));
    ASSERT_EQ(m.lyricFiles.size(), 3);
    const QStringList three = pvsm::test::projectText(m);
    auto *list = music.control<QAbstractItemView>(2, QStringLiteral("MusicList"));
    music.page(2).show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&music.page(2)));
    selectRows(list, {0, 2});
    QTest::keyClick(list, Qt::Key_Delete);
    ASSERT_EQ(m.songs.size(), 1u);
    EXPECT_EQ(m.songs[0].path, songs[1]);
    EXPECT_EQ(m.lyricFiles, QStringList{music.dir.filePath(QStringLiteral("b.lrc"))});
    music.undo.undo();
    EXPECT_EQ(pvsm::test::projectText(m), three);
    list->selectAll();
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_TRUE(m.songs.empty());
    EXPECT_TRUE(m.lyricFiles.isEmpty());
}

TEST(SectionPages, DroppedFilesAndFoldersAreOneAddInNameOrder)
{
    Editor editor(false);
    Project &p = editor.project();
    QDir(editor.dir.path()).mkdir(QStringLiteral("album"));
    const QString album = editor.dir.filePath(QStringLiteral("album"));
    // Written out of name order; the folder's pictures come by name.
    writePictures(album, 1, QStringLiteral("c"));
    writePictures(album, 2, QStringLiteral("a"));
    const QString single = writePictures(editor.dir.path(), 1, QStringLiteral("single")).first();
    QFile broken(editor.dir.filePath(QStringLiteral("broken.jpg")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("\xFF\xD8\xFF not really");
    broken.close();
    const QString notes = editor.dir.filePath(QStringLiteral("notes.txt"));
    QFile(notes).open(QIODevice::WriteOnly);
    // A photo whose copy stopped halfway: its header is whole, its picture is not.
    QImage photo(200, 150, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x) photo.setPixel(x, y, qRgb(x, y, (x * y) % 256));
    const QString whole = editor.dir.filePath(QStringLiteral("whole.jpg"));
    ASSERT_TRUE(photo.save(whole, "JPEG", 90));
    QFile wholeFile(whole);
    ASSERT_TRUE(wholeFile.open(QIODevice::ReadOnly));
    const QByteArray bytes = wholeFile.readAll();
    QFile cut(editor.dir.filePath(QStringLiteral("cut.jpg")));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(bytes.left(bytes.size() / 2));
    cut.close();

    auto *list = editor.control<QAbstractItemView>(1, QStringLiteral("ImgList"));
    QString told;
    answerNextBox(QMessageBox::Ok, &told);
    sendDrop(list->viewport(), {single, broken.fileName(), cut.fileName(), album, notes});
    QStringList names;
    for (const Picture &pic : p.pictures) names << QFileInfo(pic.path).fileName();
    EXPECT_EQ(names, (QStringList{QStringLiteral("single00.png"), QStringLiteral("a00.png"), QStringLiteral("a01.png"),
                                  QStringLiteral("c00.png")}));
    EXPECT_EQ(editor.undo.count(), 1);
    // The picture that is none is named; the rest of the drop went in.
    EXPECT_TRUE(told.contains(broken.fileName())) << told.toStdString();
    EXPECT_TRUE(told.contains(cut.fileName() + QStringLiteral("：文件不完整"))) << told.toStdString();
    editor.undo.undo();
    EXPECT_TRUE(p.pictures.empty());

    // A drop with nothing to add is refused while it hovers.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(notes)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &enter);
    EXPECT_FALSE(enter.isAccepted());
}

namespace {

// An editor without pictures, a strip over it with a cache of its own, then
// `count` pictures added.
struct StripEditor
{
    Editor editor{false};
    ThumbnailCache cache{{.threads = 2}};
    ThumbnailStrip strip{*editor.context, cache};
    QStringList paths;

    explicit StripEditor(int count) : paths(writePictures(editor.dir.path(), count))
    {
        editor.context->push(new AppendPicturesCommand(*editor.context, paths, {}));
        EXPECT_EQ(editor.project().pictures.size(), size_t(count));
    }
};

} // namespace

TEST(SectionPages, TheStripShowsSevenCellsScrollsAndSelects)
{
    StripEditor fixture(20);
    Editor &editor = fixture.editor;
    ThumbnailCache &cache = fixture.cache;
    ThumbnailStrip &strip = fixture.strip;
    const QStringList &paths = fixture.paths;
    QScrollBar *scroll = strip.findChild<QScrollBar *>(QStringLiteral("HScrollPicList"));
    ASSERT_NE(scroll, nullptr);
    EXPECT_EQ(scroll->maximum(), 20);
    EXPECT_EQ(scroll->value(), 7);
    auto number = [&](int cell) { return strip.findChild<QLabel *>(QStringLiteral("LblNum_%1").arg(cell))->text(); };
    EXPECT_EQ(number(0), QStringLiteral("1"));
    EXPECT_EQ(number(6), QStringLiteral("7"));

    // Selecting picture 11 from the list: the strip ends at 14.
    editor.context->setCurrentPicture(10);
    EXPECT_EQ(scroll->value(), 14);
    EXPECT_EQ(strip.pictureInCell(3), 10);
    EXPECT_EQ(number(6), QStringLiteral("14"));
    // A click on a cell selects its picture; Page Down goes seven on, then stops at the last.
    QTest::mouseClick(strip.findChild<QWidget *>(QStringLiteral("PicList_5")), Qt::LeftButton);
    EXPECT_EQ(editor.context->currentPicture(), 12);
    // Clicked again while the list has more selected: only that picture stays selected.
    auto *list = editor.control<QAbstractItemView>(1, QStringLiteral("ImgList"));
    list->selectionModel()->select(QItemSelection(list->model()->index(11, 0), list->model()->index(13, 0)),
                                   QItemSelectionModel::Select);
    ASSERT_EQ(list->selectionModel()->selectedRows().size(), 3);
    QTest::mouseClick(strip.findChild<QWidget *>(QStringLiteral("PicList_5")), Qt::LeftButton);
    EXPECT_EQ(editor.context->currentPicture(), 12);
    ASSERT_EQ(list->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(list->selectionModel()->selectedRows()[0].row(), 12);
    QTest::keyClick(&strip, Qt::Key_PageDown);
    EXPECT_EQ(editor.context->currentPicture(), 19);
    EXPECT_EQ(scroll->value(), 20);
    QTest::keyClick(&strip, Qt::Key_PageDown);
    EXPECT_EQ(editor.context->currentPicture(), 19);
    QTest::keyClick(&strip, Qt::Key_PageUp);
    EXPECT_EQ(editor.context->currentPicture(), 12);
    // The scroll bar moves the cells, not the selection.
    scroll->setValue(7);
    EXPECT_EQ(strip.pictureInCell(0), 0);
    EXPECT_EQ(editor.context->currentPicture(), 12);

    // The cells fill in as the thumbnails arrive.
    ASSERT_TRUE(cache.waitIdle(20000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return strip.cellsWaiting() == 0; }, 5000));
    EXPECT_EQ(cache.decodes(), 20);
    const QImage cell0 = strip.findChild<QWidget *>(QStringLiteral("PicList_0"))->grab().toImage();
    const QColor first = QColor::fromHsv(0, 200, 220);
    EXPECT_EQ(cell0.pixel(cell0.rect().center()), first.rgb());

    // Moving, removing and undoing never decode again.
    editor.context->push(new MovePictureCommand(*editor.context, 0, +1));
    editor.context->push(new RemovePicturesCommand(*editor.context, {4, 5}));
    editor.undo.undo();
    editor.undo.undo();
    ASSERT_TRUE(cache.waitIdle(20000));
    EXPECT_EQ(cache.decodes(), 20);

    // A picture gone from disk shows its placeholder.
    QFile::remove(paths[1]);
    editor.context->notifyProjectChanged();
    const QImage gone = strip.findChild<QWidget *>(QStringLiteral("PicList_1"))->grab().toImage();
    EXPECT_NE(gone.pixel(gone.rect().center()), QColor::fromHsv(18, 200, 220).rgb());
    EXPECT_TRUE(strip.findChild<QWidget *>(QStringLiteral("PicList_1"))->toolTip().contains(QStringLiteral("无法读取")));

    // Clearing blanks the cells and sets the bar back to 7.
    editor.context->push(new ClearPicturesCommand(*editor.context));
    EXPECT_EQ(scroll->value(), 7);
    EXPECT_EQ(scroll->maximum(), 7);
    EXPECT_EQ(strip.pictureInCell(0), -1);
    EXPECT_TRUE(number(0).isEmpty());
}

TEST(SectionPages, With120PicturesRemovingThe50thKeepsEveryThumbnailWithItsPicture)
{
    StripEditor fixture(120);
    Editor &editor = fixture.editor;
    ThumbnailCache &cache = fixture.cache;
    ThumbnailStrip &strip = fixture.strip;
    Project &p = editor.project();
    ASSERT_TRUE(cache.waitIdle(60000));
    EXPECT_EQ(cache.decodes(), 120);
    editor.context->push(new RemovePicturesCommand(*editor.context, {49}));
    ASSERT_EQ(p.pictures.size(), 119u);
    // Pictures 100 and 101 (and their neighbours) in view, each cell with its own picture's colour.
    for (int current : {48, 98, 99, 100, 118}) {
        editor.context->setCurrentPicture(current);
        QApplication::processEvents();
        for (int cell = 0; cell < kStripCells; ++cell) {
            const int index = strip.pictureInCell(cell);
            ASSERT_GE(index, 0);
            const int original = index < 49 ? index : index + 1;
            const QImage shot = strip.findChild<QWidget *>(QStringLiteral("PicList_%1").arg(cell))->grab().toImage();
            EXPECT_EQ(shot.pixel(shot.rect().center()), QColor::fromHsv(original * 3 % 360, 200, 220).rgb())
                << "picture " << index + 1;
        }
    }
    EXPECT_EQ(cache.decodes(), 120);
}

TEST(SectionPages, AManyFileAddChecksEveryFileAndKeepsItsOrder)
{
    Editor editor(false);
    QStringList files = writePictures(editor.dir.path(), 30);
    QFile text(editor.dir.filePath(QStringLiteral("words.png")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("no picture here");
    text.close();
    files.insert(10, text.fileName());
    files.insert(20, files[3]); // the same file twice
    AddPicturesResult result;
    auto command = planPictureAdd(*editor.context, files, &result);
    ASSERT_NE(command, nullptr);
    EXPECT_FALSE(editor.context->busy());
    EXPECT_EQ(result.added, 30);
    ASSERT_EQ(result.refused.size(), 2u);
    EXPECT_EQ(result.refused[0].path, text.fileName());
    EXPECT_EQ(result.refused[0].reason, QStringLiteral("不是支持的图片格式"));
    EXPECT_EQ(result.refused[1].why, RefusedPicture::Why::Listed);
    editor.context->push(command.release());
    const auto &pictures = editor.project().pictures;
    ASSERT_EQ(pictures.size(), 30u);
    for (size_t k = 0; k < pictures.size(); ++k)
        EXPECT_EQ(QFileInfo(pictures[k].path).fileName(), QStringLiteral("p%1.png").arg(k, 2, 10, QLatin1Char('0')));
    // Nothing new: no command.
    EXPECT_EQ(planPictureAdd(*editor.context, files.mid(0, 20), &result), nullptr);
    EXPECT_EQ(result.added, 0);
}
