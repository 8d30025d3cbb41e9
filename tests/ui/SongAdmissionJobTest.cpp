#include "FakePrompter.h"
#include "ProgressWindow.h"
#include "SongAdmissionJob.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>

using namespace pvsm;
using namespace pvsm::ui;
using pvsm::test::FakePrompter;

namespace {

// A session whose project already holds one song.
struct SongSession
{
    QTemporaryDir dir;
    FakePrompter prompter;
    std::unique_ptr<ProjectSession> session;

    SongSession()
    {
        Workspace workspace(dir.path(), dir.path());
        workspace.prepare();
        session = std::make_unique<ProjectSession>(workspace, ProjectEnvironment{}, prompter);
        session->project().songs.push_back({QStringLiteral("/m/old.mp3"), 30});
    }
};

} // namespace

// The probe runs off the window thread: while a song is being probed the
// window thread shows the progress and takes the cancel click, which stops
// the add before the next file and keeps what was probed.
TEST(SongAdmissionJob, TheWindowServesWhileSongsAreProbedAndCancelStopsBeforeTheNextFile)
{
    SongSession s;
    const Project before = s.session->project();
    QWidget window;
    window.resize(800, 500);
    window.show();

    std::promise<void> firstGoesOn, secondGoesOn;
    std::mutex m;
    QStringList probed;
    QThread *probeThread = nullptr;
    const SongAdmissionProbe probe = [&](const QString &path) {
        {
            std::lock_guard lock(m);
            probed << path;
            probeThread = QThread::currentThread();
        }
        if (path.endsWith(QStringLiteral("a.mp3"))) firstGoesOn.get_future().wait_for(std::chrono::seconds(20));
        if (path.endsWith(QStringLiteral("b.mp3"))) secondGoesOn.get_future().wait_for(std::chrono::seconds(20));
        return 60.0f;
    };

    bool busyWhileProbing = false, shownWhileProbing = false, cancelled = false;
    QString caption;
    int step = 0;
    const SongAdditions plan = runSongAdmission(
        &window, *s.session, s.prompter,
        {QStringLiteral("/m/a.mp3"), QStringLiteral("/m/b.mp3"), QStringLiteral("/m/c.mp3")}, probe,
        [&](ProgressWindow &progress) {
            EXPECT_EQ(progress.parentWidget(), &window);
            auto *poll = new QTimer(&progress);
            QObject::connect(poll, &QTimer::timeout, [&, poll] {
                if (step == 0) {
                    // The first song is still being probed: this runs meanwhile.
                    busyWhileProbing = s.session->busy();
                    shownWhileProbing = progress.isVisible();
                    caption = progress.progressText();
                    step = 1;
                    firstGoesOn.set_value();
                } else if (step == 1 && progress.percent() >= 33) {
                    progress.cancelButton()->click();
                    cancelled = true;
                    step = 2;
                    secondGoesOn.set_value();
                    poll->stop();
                }
            });
            poll->start(5);
        });

    EXPECT_TRUE(busyWhileProbing);
    EXPECT_TRUE(shownWhileProbing);
    EXPECT_EQ(caption, addingSongsCaption() + QStringLiteral(" 0%"));
    ASSERT_TRUE(cancelled);
    EXPECT_NE(probeThread, QThread::currentThread());
    EXPECT_EQ(probed, (QStringList{QStringLiteral("/m/a.mp3"), QStringLiteral("/m/b.mp3")}));
    EXPECT_TRUE(plan.result.cancelled);
    EXPECT_EQ(plan.result.added, 2);
    EXPECT_EQ(plan.songs.size(), 2u);
    // The plan is the caller's to apply: the session's project is untouched.
    EXPECT_TRUE(s.session->project() == before);
    EXPECT_FALSE(s.session->busy());
}

TEST(SongAdmissionJob, OneFileShowsNoProgressWindow)
{
    SongSession s;
    QWidget window;
    bool progressShown = false;
    const SongAdditions plan = runSongAdmission(
        &window, *s.session, s.prompter, {QStringLiteral("/m/OLD.MP3"), QStringLiteral("/m/new.wav")},
        [](const QString &) { return 12.5f; }, [&](ProgressWindow &) { progressShown = true; });
    EXPECT_TRUE(progressShown); // two files: shown

    progressShown = false;
    const SongAdditions one = runSongAdmission(&window, *s.session, s.prompter, {QStringLiteral("/m/new.wav")},
                                               [](const QString &) { return 12.5f; },
                                               [&](ProgressWindow &) { progressShown = true; });
    EXPECT_FALSE(progressShown);
    // The listed song (another letter case) is skipped, the new one taken.
    EXPECT_EQ(plan.result.added, 1);
    ASSERT_EQ(one.songs.size(), 1u);
    EXPECT_EQ(one.songs[0], (Song{QStringLiteral("/m/new.wav"), 12.5f}));
}
