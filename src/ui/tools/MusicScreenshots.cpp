#include "EditorContext.h"
#include "EncoderWAV.h"
#include "FrmSetSlideTime.h"
#include "MainWindow.h"
#include "NumberRules.h"
#include "ProjectSession.h"
#include "Screenshots.h"
#include "SongLength.h"
#include "SongListCommands.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include <cmath>
#include <vector>

namespace pvsm::ui {

namespace {

// A quiet tone of `seconds`, as a WAV the music list takes.
bool writeTone(const QString &path, double seconds, double hz)
{
    EncoderWAV wav;
    int32_t chunk = 0;
    if (wav.Init(path, 22050, 1, 16, chunk) != EncoderWAV::EncoderOk) return false;
    std::vector<int16_t> samples(size_t(22050 * seconds));
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = int16_t(3000 * std::sin(2 * M_PI * hz * double(i) / 22050));
    const auto *bytes = reinterpret_cast<const uint8_t *>(samples.data());
    const int32_t total = int32_t(samples.size() * sizeof(int16_t));
    for (int32_t at = 0; at < total; at += chunk) wav.Encode(bytes + at, std::min(chunk, total - at));
    wav.DeInit();
    return true;
}

template <typename W>
W *child(QWidget &dialog, const char *name)
{
    return dialog.findChild<W *>(QString::fromLatin1(name));
}

bool save(QWidget &widget, const QString &file) { return widget.grab().save(file); }

} // namespace

int saveMusicScreenshots(MainWindow &window, const QString &dir, const QString &workDir)
{
    QDir().mkpath(workDir);
    const QString prefix =
        QDir(dir).filePath(QStringLiteral("main-%1x%2-").arg(window.width()).arg(window.height()));
    EditorContext &context = window.context();
    QStringList songs;
    const std::pair<const char *, double> tones[] = {{"春天的故事.wav", 64.5}, {"Morning Walk.wav", 42},
                                                     {"夜曲 (钢琴版).wav", 95}};
    double hz = 330;
    for (const auto &[name, seconds] : tones) {
        const QString path = QDir(workDir).filePath(QString::fromUtf8(name));
        if (QFileInfo::exists(path) || writeTone(path, seconds, hz += 110)) songs << path;
    }
    int written = 0;
    const int undoIndex = context.undoStack().index();
    context.push(new AppendSongsCommand(context, songs, songLengthForList));
    window.selectSection(2);
    settle(window);
    if (save(window, prefix + QStringLiteral("music-songs.png"))) ++written;

    // The timing dialog over the window, as PicBtn_43 opens it.
    {
        const Project &project = context.project();
        FrmSetSlideTime dialog(project, numberText(project.settings.timeInterval), &window);
        dialog.show();
        settle(window);
        auto *pictures = child<QListWidget>(dialog, "ImgList");
        auto *time = child<QLineEdit>(dialog, "TxtTime");
        auto *set = child<QPushButton>(dialog, "PicBtnText_2");
        if (pictures && time && set && pictures->count() >= 7) {
            // Two pictures with a time of their own, a third being typed.
            for (const auto &[row, text] : {std::pair{1, "12"}, std::pair{4, "6.5"}}) {
                pictures->clearSelection();
                pictures->item(row)->setSelected(true);
                time->setText(QString::fromLatin1(text));
                set->click();
            }
            pictures->clearSelection();
            for (int row : {2, 3}) pictures->item(row)->setSelected(true);
            pictures->setCurrentRow(3, QItemSelectionModel::Current);
            time->setText(QStringLiteral("8"));
            settle(window);
            if (save(dialog, prefix + QStringLiteral("timing-same.png"))) ++written;

            pictures->clearSelection();
            for (int row = 0; row < 7; ++row) pictures->item(row)->setSelected(true);
            if (auto *average = child<QRadioButton>(dialog, "OptAverage")) average->click();
            if (auto *songList = child<QListWidget>(dialog, "MusicList"); songList && songList->count() > 1)
                songList->setCurrentRow(1);
            settle(window);
            if (save(dialog, prefix + QStringLiteral("timing-average.png"))) ++written;
        }
        dialog.reject();
    }
    context.undoStack().setIndex(undoIndex);
    window.selectSection(1);
    settle(window);
    return written;
}

} // namespace pvsm::ui
