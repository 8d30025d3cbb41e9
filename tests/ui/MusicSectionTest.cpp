// The music section's own behaviour: songs dropped onto MusicList and the
// per-picture timing dialog FrmSetSlideTime behind PicBtn_43.
#include "../audio/AudioFixtures.h"
#include "FrmSetSlideTime.h"
#include "NumberRules.h"
#include "ProjectLists.h"
#include "ProjectText.h"
#include "SectionFixture.h"
#include "SlideTiming.h"

#include <QAbstractItemView>
#include <QDropEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QRadioButton>
#include <QToolButton>
#include <QUrl>

#include <functional>

using namespace pvsm;
using namespace pvsm::ui;
using namespace pvsm::ui::test;
using pvsm::test::projectText;

namespace {

// Drops `files` onto the viewport of `view` as a file manager does; true when
// the drag was accepted.
bool dropFiles(QAbstractItemView *view, const QStringList &files)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString &f : files) urls << QUrl::fromLocalFile(f);
    data.setUrls(urls);
    QWidget *target = view->viewport();
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

QString writeTone(const QString &path, double seconds)
{
    const int rate = 22050;
    EXPECT_TRUE(pvsm::test::writeFile(
        path, pvsm::test::wavFile(rate, 1, 16, pvsm::test::bytesOf(pvsm::test::tone(rate, 1, int(rate * seconds))))));
    return path;
}

// Runs `drive` on the timing dialog once PicBtn_43 has opened it; `drive`
// ends by closing it (Save or Cancel).
void withTimingDialog(Editor &editor, const std::function<void(FrmSetSlideTime &)> &drive)
{
    bool driven = false;
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [&, poll] {
        auto *dialog = qobject_cast<FrmSetSlideTime *>(QApplication::activeModalWidget());
        if (!dialog) return;
        poll->deleteLater();
        driven = true;
        drive(*dialog);
        if (dialog->isVisible()) dialog->reject(); // a failed check must not hang the suite
    });
    poll->start(10);
    editor.control<QToolButton>(2, QStringLiteral("PicBtn_43"))->click();
    EXPECT_TRUE(driven);
}

template <typename W>
W *child(QWidget &dialog, const char *name)
{
    W *w = dialog.findChild<W *>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

void selectRows(QListWidget *list, std::initializer_list<int> rows)
{
    list->clearSelection();
    for (int r : rows) list->item(r)->setSelected(true);
}

void clickRow(QListWidget *list, int row)
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, list->visualItemRect(list->item(row)).center());
}

} // namespace

// A drop takes the four music extensions only; every file is probed without
// one refusal stopping the rest; the whole drop is one undo command, and one
// message names the last file refused.
TEST(MusicSection, DroppedSongsAreOneCommandAndOneMessageNamesTheLastRefused)
{
    Editor editor;
    const QStringList before = projectText(editor.project());
    const size_t songsBefore = editor.project().songs.size();
    const QDir dir(editor.dir.path());
    const QString a = writeTone(dir.filePath(QStringLiteral("a.wav")), 1.0);
    const QString b = writeTone(dir.filePath(QStringLiteral("b.WAV")), 2.0);
    const QString notes = writeTone(dir.filePath(QStringLiteral("notes.txt")), 1.0); // playable, but not by name
    const QString empty = dir.filePath(QStringLiteral("empty.wav"));
    pvsm::test::writeFile(empty, QByteArray());
    const QString garbage = dir.filePath(QStringLiteral("garbage.Mp3"));
    QByteArray noise(40000, '\0');
    for (int i = 0; i < noise.size(); ++i) noise[i] = char((i * 7919 + (i >> 3) * 104729) & 0x7F);
    pvsm::test::writeFile(garbage, noise);
    // A header that promises five seconds, with no sound behind it.
    const QString truncated = dir.filePath(QStringLiteral("truncated.wav"));
    pvsm::test::writeFile(truncated,
                          pvsm::test::wavFile(22050, 1, 16, QByteArray(44100 * 5, '\0')).left(44 + 100));

    auto *list = editor.control<QAbstractItemView>(2, QStringLiteral("MusicList"));
    EXPECT_FALSE(dropFiles(list, {notes})); // nothing to take: the drag is refused
    editor.context->session().setBusy(true); // a job runs: songs are refused while they hover
    EXPECT_FALSE(dropFiles(list, {a}));
    editor.context->session().setBusy(false);
    QString told;
    answerNextBox(QMessageBox::Ok, &told);
    ASSERT_TRUE(dropFiles(list, {a, empty, notes, garbage, b, truncated}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !told.isEmpty(); }, 20000));

    EXPECT_EQ(told, songRefusedMessage(truncated));
    EXPECT_EQ(editor.undo.count(), 1);
    EXPECT_EQ(editor.undo.undoText(), QStringLiteral("添加音乐"));
    const std::vector<Song> &songs = editor.project().songs;
    ASSERT_EQ(songs.size(), songsBefore + 2);
    EXPECT_EQ(songs[songsBefore].path, a);
    EXPECT_NEAR(songs[songsBefore].durationSec, 1.0, 0.01);
    EXPECT_EQ(songs[songsBefore + 1].path, b);
    EXPECT_EQ(list->model()->rowCount(), int(songs.size()));
    EXPECT_FALSE(editor.context->busy());

    editor.undo.undo();
    EXPECT_EQ(projectText(editor.project()), before);

    // The same song again, in another case of its name: skipped without a word.
    editor.undo.redo();
    QString unexpected;
    QTimer watch; // closes any box that should not be there, noting its text
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            unexpected = box->text();
            box->close();
        }
    });
    watch.start(10);
    ASSERT_TRUE(dropFiles(list, {QString(a).replace(QStringLiteral("a.wav"), QStringLiteral("A.WAV")), a}));
    QTest::qWait(200);
    EXPECT_EQ(editor.undo.count(), 1);
    EXPECT_TRUE(unexpected.isEmpty()) << unexpected.toStdString();
}

// The dialog shows every picture with its time and the songs; the average
// mode divides the chosen song over the selected pictures; Set changes only
// the dialog's copy; Save stores it as one command whose undo restores the
// project; the main window's picture follows the picture clicked.
TEST(MusicSection, TimingDialogSetsTimesAndSavesThemAsOneCommand)
{
    Editor editor;
    Project &p = editor.project();
    ASSERT_GE(p.pictures.size(), 7u);
    ASSERT_EQ(p.songs.size(), 1u);
    for (Picture &pic : p.pictures) pic.slideDuration = 0;
    p.pictures[4].slideDuration = 9.25f;
    editor.context->notifyProjectChanged();
    const QStringList before = projectText(p);
    const QString mainTime = numberText(p.settings.timeInterval);
    const float songLength = p.songs[0].durationSec;

    withTimingDialog(editor, [&](FrmSetSlideTime &d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("设置图片的持续/间隔时间"));
        auto *pictures = child<QListWidget>(d, "ImgList");
        auto *songs = child<QListWidget>(d, "MusicList");
        auto *same = child<QRadioButton>(d, "OptSame");
        auto *average = child<QRadioButton>(d, "OptAverage");
        auto *label = child<QLabel>(d, "LblAverage");
        auto *time = child<QLineEdit>(d, "TxtTime");
        auto *set = child<QPushButton>(d, "PicBtnText_2");
        ASSERT_EQ(pictures->count(), int(p.pictures.size()));
        EXPECT_EQ(pictures->item(0)->text(), slideTimeEntry(p.pictures[0].path, mainTime));
        EXPECT_EQ(pictures->item(4)->text(), QFileInfo(p.pictures[4].path).fileName() + QStringLiteral(": 9.25 秒"));
        EXPECT_EQ(pictures->currentRow(), 0);
        EXPECT_EQ(songs->item(0)->text(), QFileInfo(p.songs[0].path).fileName());
        EXPECT_TRUE(same->isChecked());
        EXPECT_FALSE(songs->isEnabled());
        EXPECT_TRUE(label->isHidden());
        EXPECT_EQ(set->toolTip(), QStringLiteral("将时间应用到已选择的图片"));
        EXPECT_NE(d.findChild<QLabel *>(QStringLiteral("LblNote")), nullptr);

        // The average over seven pictures, shown as computed.
        selectRows(pictures, {0, 1, 2, 3, 4, 5, 6});
        average->click();
        EXPECT_TRUE(songs->isEnabled());
        EXPECT_FALSE(label->isHidden());
        const auto seven = computeAverageTime(songLength, 7);
        EXPECT_EQ(label->text(), seven->label);
        EXPECT_EQ(time->text(), seven->timeText);
        // Fewer pictures selected: computed again. None: nothing divides, nothing changes.
        selectRows(pictures, {1, 2});
        EXPECT_EQ(label->text(), computeAverageTime(songLength, 2)->label);
        pictures->clearSelection();
        EXPECT_EQ(label->text(), computeAverageTime(songLength, 2)->label);
        EXPECT_EQ(time->text(), computeAverageTime(songLength, 2)->timeText);

        // A click on a picture: the main window's picture follows.
        clickRow(pictures, 2);
        EXPECT_EQ(editor.context->currentPicture(), 2);

        // Typed for pictures 1 and 3: 2 seconds become 3.5.
        same->click();
        EXPECT_TRUE(label->isHidden());
        selectRows(pictures, {1, 3});
        time->setText(QStringLiteral("2"));
        set->click();
        EXPECT_EQ(time->text(), QStringLiteral("3.5"));
        EXPECT_EQ(pictures->item(3)->text(), slideTimeEntry(p.pictures[3].path, QStringLiteral("3.5")));
        EXPECT_EQ(projectText(p), before); // not stored before Save
        // Picture 4's own time shows when it is clicked.
        clickRow(pictures, 4);
        EXPECT_EQ(time->text(), QStringLiteral("9.25"));
        child<QPushButton>(d, "PicBtnText_0")->click(); // 保存
    });
    EXPECT_EQ(editor.undo.count(), 1);
    EXPECT_EQ(p.pictures[1].slideDuration, 3.5f);
    EXPECT_EQ(p.pictures[3].slideDuration, 3.5f);
    EXPECT_EQ(p.pictures[4].slideDuration, 9.25f);
    EXPECT_EQ(p.pictures[0].slideDuration, 0.0f);
    editor.undo.undo();
    EXPECT_EQ(projectText(p), before);

    // Cancel after several Sets stores nothing.
    withTimingDialog(editor, [&](FrmSetSlideTime &d) {
        auto *pictures = child<QListWidget>(d, "ImgList");
        auto *time = child<QLineEdit>(d, "TxtTime");
        selectRows(pictures, {0});
        time->setText(QStringLiteral("12"));
        child<QPushButton>(d, "PicBtnText_2")->click();
        selectRows(pictures, {5, 6});
        time->setText(QStringLiteral("abc"));
        child<QPushButton>(d, "PicBtnText_2")->click();
        EXPECT_EQ(time->text(), mainTime); // not a number: the main window's time
        child<QPushButton>(d, "PicBtnText_1")->click(); // 取消
    });
    EXPECT_EQ(editor.undo.count(), 1); // only the undone Save, nothing new
    EXPECT_EQ(projectText(p), before);
}

TEST(MusicSection, TimingDialogWithoutSongsOffersNoAverage)
{
    Editor editor;
    editor.project().songs.clear();
    editor.project().lyricFiles.clear();
    editor.context->notifyProjectChanged();
    withTimingDialog(editor, [&](FrmSetSlideTime &d) {
        auto *songs = child<QListWidget>(d, "MusicList");
        ASSERT_EQ(songs->count(), 1);
        EXPECT_EQ(songs->item(0)->text(), QStringLiteral("无音乐"));
        EXPECT_FALSE(child<QRadioButton>(d, "OptAverage")->isEnabled());
        child<QPushButton>(d, "PicBtnText_0")->click(); // Save without a Set: nothing to store
    });
    EXPECT_EQ(editor.undo.count(), 0);

    // Without pictures there is nothing to time.
    editor.project().pictures.clear();
    editor.context->notifyProjectChanged();
    EXPECT_FALSE(editor.control<QToolButton>(2, QStringLiteral("PicBtn_43"))->isEnabled());
}
