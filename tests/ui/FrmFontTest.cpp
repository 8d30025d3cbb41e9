#include "EditorContext.h"
#include "FakePrompter.h"
#include "FrmFont.h"
#include "EditingView.h"
#include "GuiPrompter.h"
#include "MainWindow.h"
#include "ProjectSession.h"
#include "ProjectText.h"
#include "StartUp.h"
#include "TextPath.h"
#include "TextStyleRules.h"
#include "VideoExport.h"

#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <functional>

using namespace pvsm;
using namespace pvsm::ui;

namespace {

const QStringList kFonts = {QStringLiteral("Alpha Sans"), QStringLiteral("Beta Serif"), QStringLiteral("Gamma Mono")};

// Runs `act` on the next modal window of type T once it is up (the dialogs
// under test run their own event loop).
template <typename T>
void whenModal(std::function<void(T *)> act)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        auto *window = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!window || !window->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        act(window);
    });
    poll->start(10);
}

// The colour chooser answers with `colour`, or is cancelled when it is invalid.
void answerColourChooser(const QColor &colour)
{
    whenModal<QColorDialog>([colour](QColorDialog *chooser) {
        if (!colour.isValid()) {
            chooser->reject();
            return;
        }
        chooser->setCurrentColor(colour);
        chooser->accept();
    });
}

template <typename W = QWidget>
W *child(QWidget *dialog, const char *name)
{
    W *w = dialog->findChild<W *>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

// The editor's window over a core started in a folder of its own; the tests
// click the style buttons where the user finds them.
struct Editor
{
    QTemporaryDir dir;
    GuiPrompter prompter;
    std::unique_ptr<AppCore> core;
    std::unique_ptr<MainWindow> window;

    Editor()
    {
        AppCore::Options o;
        o.workspace = Workspace(dir.path(), dir.path());
        o.display.screen = {640, 480};
        core = AppCore::start(o, prompter);
        window = std::make_unique<MainWindow>(*core, prompter);
    }
    EditorContext &context() { return window->context(); }
    QUndoStack &undo() { return context().undoStack(); }
    Project &project() { return context().project(); }

    void addPictures(int n, const QColor &fill, const QString &caption = {})
    {
        for (int i = 0; i < n; ++i) {
            QImage image(200, 150, QImage::Format_RGB32);
            image.fill(fill);
            const QString path = dir.filePath(QStringLiteral("p%1.png").arg(i));
            EXPECT_TRUE(image.save(path));
            project().pictures.push_back(project().newPicture(path, core->session().environment()));
            project().pictures.back().caption = caption;
        }
        context().setCurrentPicture(0);
        context().notifyProjectChanged();
    }
};

} // namespace

TEST(FrmFont, ListsSelectionsAndControlsFollowTheKind)
{
    struct Case
    {
        int kind;
        int sizes, lastSize, patterns;
        bool align, fontAndBorder;
    } cases[] = {
        {1, 13, 112, 10, true, true},  {2, 13, 112, 9, false, true}, {3, 13, 112, 10, false, true},
        {4, 24, 200, 10, false, true}, {5, 13, 112, 10, false, false},
    };
    Settings settings;
    for (TextStyle &t : settings.textStyles) t.fontName = kFonts[1];
    for (const Case &c : cases) {
        FrmFont dialog(c.kind, settings, nullptr, kFonts);
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("选择字体风格"));
        EXPECT_EQ(child<QPushButton>(&dialog, "PicBtnText_0")->text(), QStringLiteral(" 确定 "));
        auto *sizes = child<QComboBox>(&dialog, "ListSize");
        EXPECT_EQ(sizes->count(), c.sizes) << c.kind;
        EXPECT_EQ(sizes->itemText(sizes->count() - 1), QString::number(c.lastSize)) << c.kind;
        EXPECT_EQ(child<QComboBox>(&dialog, "ListPattern")->count(), c.patterns) << c.kind;
        EXPECT_EQ(child<QComboBox>(&dialog, "ListAlign")->itemText(4), QStringLiteral("正中"));
        EXPECT_EQ(child<QComboBox>(&dialog, "ListStyle")->itemText(3), QStringLiteral("粗斜体"));
        EXPECT_EQ(child<QComboBox>(&dialog, "ListBorderSize")->count(), 6);
        EXPECT_EQ(child<QListWidget>(&dialog, "ListName")->currentItem()->text(), kFonts[1]);
        EXPECT_EQ(child(&dialog, "ListAlign")->isEnabled(), c.align) << c.kind;
        for (const char *name : {"ListName", "ListSize", "ListBorderSize", "ListStyle", "LblBorderColor"})
            EXPECT_EQ(child(&dialog, name)->isEnabled(), c.fontAndBorder) << c.kind << name;
        for (const char *name : {"ListPattern", "LblStartColor", "LblEndColor"})
            EXPECT_TRUE(child(&dialog, name)->isEnabled()) << c.kind << name;
        EXPECT_EQ(child(&dialog, "LblStartColor")->toolTip(), QStringLiteral("点击选择字体颜色"));
        EXPECT_EQ(child(&dialog, "LblEndColor")->toolTip(), QStringLiteral("点击选择字体渐变颜色"));
        EXPECT_EQ(child(&dialog, "LblBorderColor")->toolTip(), QStringLiteral("点击选择字体边框颜色"));
    }
    // Without a list of its own the dialog offers the installed families.
    FrmFont installed(1, settings);
    EXPECT_EQ(child<QListWidget>(&installed, "ListName")->count(), ListInstalledFonts().size());
}

TEST(FrmFont, StoredValuesSelectTheirEntriesAndUnlistedOnesAreKept)
{
    Settings settings;
    TextStyle &headline = settings.textStyles[1];
    headline.pattern = 2; // a rainbow headline, as an old project may hold
    headline.size = 20;   // not a list entry
    headline.fontName = QStringLiteral("Not Installed");
    {
        FrmFont dialog(kStyleHeadline, settings, nullptr, kFonts);
        EXPECT_EQ(child<QComboBox>(&dialog, "ListPattern")->currentText(), QStringLiteral("固定颜色"));
        EXPECT_EQ(child<QComboBox>(&dialog, "ListSize")->currentIndex(), -1);
        EXPECT_EQ(child<QListWidget>(&dialog, "ListName")->currentItem(), nullptr);
        // Confirming untouched: the rainbow is gone, the size and the font are kept.
        TextStyle expected = headline;
        expected.pattern = 0;
        EXPECT_EQ(dialog.values(), expected);
    }
    headline.pattern = 6;
    headline.size = 48;
    FrmFont dialog(kStyleHeadline, settings, nullptr, kFonts);
    auto *pattern = child<QComboBox>(&dialog, "ListPattern");
    EXPECT_EQ(pattern->currentIndex(), 2);
    EXPECT_EQ(pattern->currentText(), QStringLiteral("上下渐变"));
    EXPECT_EQ(child<QComboBox>(&dialog, "ListSize")->currentText(), QStringLiteral("48"));
    pattern->setCurrentIndex(5);
    EXPECT_EQ(pattern->currentText(), QStringLiteral("左中右渐变"));
    EXPECT_EQ(dialog.values().pattern, 12);
    child<QComboBox>(&dialog, "ListSize")->setCurrentIndex(0);
    child<QComboBox>(&dialog, "ListStyle")->setCurrentIndex(2);
    child<QComboBox>(&dialog, "ListBorderSize")->setCurrentIndex(5);
    child<QListWidget>(&dialog, "ListName")->setCurrentRow(2);
    EXPECT_EQ(dialog.values().size, 16);
    EXPECT_EQ(dialog.values().style, 2);
    EXPECT_EQ(dialog.values().borderWidth, 5);
    EXPECT_EQ(dialog.values().fontName, kFonts[2]);
}

TEST(FrmFont, TheColourChooserSetsTheSwatchAndCancellingChangesNothing)
{
    Settings settings;
    settings.textStyles[0].startColor = 0x00FF00;
    FrmFont dialog(kStyleCaption, settings, nullptr, kFonts);
    dialog.show();
    auto *start = child<QToolButton>(&dialog, "LblStartColor");
    const QImage green = start->icon().pixmap(start->iconSize()).toImage();

    answerColourChooser(QColor()); // cancelled
    start->click();
    EXPECT_EQ(dialog.values().startColor, 0x00FF00);
    EXPECT_EQ(start->icon().pixmap(start->iconSize()).toImage(), green);

    answerColourChooser(QColor(0, 0, 255));
    start->click();
    EXPECT_EQ(dialog.values().startColor, 0xFF0000); // blue, stored as 0x00BBGGRR
    const QImage blue = start->icon().pixmap(start->iconSize()).toImage();
    EXPECT_EQ(QColor(blue.pixel(blue.width() / 2, blue.height() / 2)), QColor(0, 0, 255));

    answerColourChooser(QColor(1, 2, 3));
    child<QToolButton>(&dialog, "LblBorderColor")->click();
    EXPECT_EQ(dialog.values().borderColor, 0x030201);
    EXPECT_EQ(dialog.values().endColor, settings.textStyles[0].endColor);
}

// The buttons of the sections open the dialog for their kind; " 确定 " is one
// command whose undo gives back the exact project, any other close leaves it.
TEST(FrmFont, SectionButtonsConfirmOneCommandAndOtherClosesDiscard)
{
    Editor editor;
    editor.addPictures(2, Qt::gray);
    struct Case
    {
        const char *button;
        int kind;
        const char *tip;
    } cases[] = {
        {"PicBtn_31", kStyleCaption, "选择静态文字的大小、颜色等 "},
        {"PicBtn_36", kStyleHeadline, "选择动态文字的大小、颜色等 "},
        {"PicBtn_40", kStyleLyrics, "选择歌词文字的大小、颜色等 "},
        {"PicBtn_41", kStyleTitles, "选择片头或片尾文字的大小、颜色等 "},
        {"PicBtn_35", kStyleLyricHighlight, "设置动态歌词字体 "},
    };
    Project &p = editor.project();
    for (const Case &c : cases) {
        auto *button = child<QToolButton>(editor.window.get(), c.button);
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->isEnabled()) << c.button;
        EXPECT_EQ(button->toolTip(), QString::fromUtf8(c.tip));
        const QStringList before = pvsm::test::projectText(p);
        const Project whole = p;

        // Escape after a change: nothing is stored.
        int shownKind = 0;
        whenModal<FrmFont>([&](FrmFont *dialog) {
            shownKind = dialog->kind();
            child<QComboBox>(dialog, "ListPattern")->setCurrentIndex(3);
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        button->click();
        EXPECT_EQ(shownKind, c.kind);
        EXPECT_EQ(editor.undo().count(), 0) << c.button;
        EXPECT_EQ(p, whole);

        // Confirm without a change: nothing to undo either.
        whenModal<FrmFont>([](FrmFont *dialog) { child<QPushButton>(dialog, "PicBtnText_0")->click(); });
        button->click();
        EXPECT_EQ(editor.undo().count(), 0) << c.button;

        whenModal<FrmFont>([](FrmFont *dialog) {
            child<QComboBox>(dialog, "ListPattern")->setCurrentIndex(4);
            answerColourChooser(QColor(0x12, 0x34, 0x56));
            child<QToolButton>(dialog, "LblStartColor")->click();
            child<QPushButton>(dialog, "PicBtnText_0")->click();
        });
        button->click();
        ASSERT_EQ(editor.undo().count(), 1) << c.button;
        const int32_t pattern = c.kind == kStyleHeadline ? 10 : 8;
        if (c.kind == kStyleLyricHighlight) {
            EXPECT_EQ(p.settings.lyricDynamicFontPattern, pattern);
            EXPECT_EQ(p.settings.lyricDynamicFontStartColor, 0x563412);
        } else {
            EXPECT_EQ(p.settings.textStyles[size_t(c.kind - 1)].pattern, pattern) << c.button;
            EXPECT_EQ(p.settings.textStyles[size_t(c.kind - 1)].startColor, 0x563412) << c.button;
        }
        if (c.kind == kStyleHeadline) {
            // The selected picture takes the copy, the other keeps its own.
            EXPECT_EQ(p.pictures[0].headStyle.pattern, 10);
            EXPECT_EQ(p.pictures[0].headStyle.startColor, 0x563412);
            EXPECT_EQ(p.pictures[1].headStyle, whole.pictures[1].headStyle);
        } else {
            EXPECT_EQ(p.pictures, whole.pictures) << c.button;
        }
        editor.undo().undo();
        EXPECT_EQ(pvsm::test::projectText(p), before) << c.button;
        editor.undo().redo();
        EXPECT_NE(pvsm::test::projectText(p), before) << c.button;
        editor.undo().undo();
        editor.undo().clear();
    }
}

// The classic fault of a colour chooser: a colour taken as 0x00RRGGBB where
// the project keeps 0x00BBGGRR comes out blue. Red chosen in the dialog must
// be red in the exported video.
TEST(FrmFont, ARedChosenInTheDialogIsRedInTheExportedVideo)
{
    Editor editor;
    ProjectEnvironment env = editor.core->session().environment();
    env.screenWidth = 640;
    env.screenHeight = 480;
    env.lyricSampleLineHeight = 30;
    Project &p = editor.project();
    p = Project::makeDefault(env);
    p.settings.timeInterval = 3.5;
    p.settings.enableTransition = false;
    p.settings.enableCaption = true;
    editor.addPictures(2, QColor(128, 128, 128), QStringLiteral("红红红"));
    for (Picture &picture : p.pictures) picture.captionBox = {40, 160, 560, 160};
    // A caption drawn in one colour, with no border of another colour.
    TextStyle &caption = p.settings.textStyles[0];
    caption.pattern = 0;
    caption.borderWidth = 0;
    caption.startColor = caption.endColor = 0xFFFFFF;

    whenModal<FrmFont>([](FrmFont *dialog) {
        child<QComboBox>(dialog, "ListSize")->setCurrentText(QStringLiteral("112"));
        answerColourChooser(QColor(255, 0, 0));
        child<QToolButton>(dialog, "LblStartColor")->click();
        child<QPushButton>(dialog, "PicBtnText_0")->click();
    });
    editTextStyle(editor.context(), kStyleCaption, editor.window.get());
    ASSERT_EQ(editor.undo().count(), 1);
    ASSERT_EQ(caption.startColor, 0x0000FF);

    Workspace ws(editor.dir.filePath(QStringLiteral("prog")), editor.dir.filePath(QStringLiteral("prog")));
    ws.prepare();
    ExportOptions options;
    options.videoSize = {320, 240};
    options.editingScreen = {640, 480};
    options.targetPath = editor.dir.filePath(QStringLiteral("red.avi"));
    pvsm::test::FakePrompter prompter;
    JobControl control;
    const ExportOutcome outcome = ExportAvi(p, ws, options, prompter, control);
    ASSERT_TRUE(outcome.completed) << prompter.informed.join(QLatin1Char('|')).toStdString();

    QProcess decode;
    decode.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-ss"),
                                            QStringLiteral("2.0"), QStringLiteral("-i"), outcome.target,
                                            QStringLiteral("-frames:v"), QStringLiteral("1"), QStringLiteral("-f"),
                                            QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"), QStringLiteral("rgb24"),
                                            QStringLiteral("-")});
    ASSERT_TRUE(decode.waitForFinished(60000));
    const QByteArray raw = decode.readAllStandardOutput();
    ASSERT_EQ(raw.size(), 320 * 240 * 3);
    int red = 0, blue = 0, redOutsideCaption = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const auto *px = reinterpret_cast<const uint8_t *>(raw.constData()) + (y * 320 + x) * 3;
            const bool isRed = px[0] > 180 && px[1] < 70 && px[2] < 70;
            if (px[2] > 180 && px[0] < 70 && px[1] < 70) ++blue;
            if (!isRed) continue;
            ++red;
            // The caption box is (20, 80, 280, 80) in the video's pixels.
            if (y < 70 || y > 170) ++redOutsideCaption;
        }
    EXPECT_GT(red, 300); // three large glyphs' worth of red
    EXPECT_EQ(blue, 0);
    EXPECT_EQ(redOutsideCaption, 0);
}

namespace {

// Red pixels of the editing view as it shows itself once its picture is composed.
int redPixelsOnView(MainWindow &window)
{
    EditingView *view = window.editingView();
    EXPECT_TRUE(QTest::qWaitFor([view] { return !view->composing(); }, 20000));
    const QImage shown = view->grab().toImage();
    int red = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const QColor c = shown.pixelColor(x, y);
            if (c.red() > 180 && c.green() < 70 && c.blue() < 70) ++red;
        }
    return red;
}

} // namespace

// A confirmed style is drawn at once by the editing view, and undone there too.
TEST(FrmFont, TheEditingViewRedrawsWithTheNewStyle)
{
    Editor editor;
    MainWindow &window = *editor.window;
    window.resize(1200, 800);
    window.show();
    Project &p = editor.project();
    p.settings.enableCaption = true;
    p.settings.imgDrawScale = 3;
    p.settings.backGroundSet = QStringLiteral("1");
    p.settings.solidColor = 0x808080;
    editor.addPictures(2, QColor(128, 128, 128), QStringLiteral("红红红"));
    window.selectSection(4);
    EXPECT_EQ(redPixelsOnView(window), 0);

    TextStyle red = loadStyleDialogValues(p.settings, kStyleCaption);
    red.startColor = red.endColor = bgrFromColor(Qt::red);
    red.pattern = 0;
    red.size = 112;
    pushTextStyle(editor.context(), kStyleCaption, red);
    EXPECT_GT(redPixelsOnView(window), 100);
    editor.undo().undo();
    EXPECT_EQ(redPixelsOnView(window), 0);
}
