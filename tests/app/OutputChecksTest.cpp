#include "FakePrompter.h"
#include "OutputChecks.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace pvsm;
using pvsm::test::FakePrompter;

TEST(OutputChecks, FreeSpaceInWholeMegabytesAndAnUnknownAnswerIsEnough)
{
    struct Case
    {
        qint64 free;
        qint64 neededMb;
        bool enough;
    };
    const qint64 mb = 1048576;
    for (const Case &c : {Case{3 * mb / 2 - 1, 1, true}, Case{mb / 2 - 1, 1, false}, Case{5 * mb, 5, true},
                          Case{5 * mb, 6, false}, Case{-1, 1000000, true}, Case{0, 0, true}}) {
        EXPECT_EQ(HasFreeSpace(QStringLiteral("/"), c.neededMb, [&](const QString &) { return c.free; }), c.enough)
            << c.free << " " << c.neededMb;
    }
}

TEST(OutputChecks, ReplaceQuestionOnlyForAnExistingFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("show"));
    FakePrompter prompter;
    EXPECT_TRUE(ConfirmOverwrite(path, prompter));
    EXPECT_TRUE(prompter.asked.isEmpty());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    prompter.answers = {Answer::No, Answer::Yes};
    EXPECT_FALSE(ConfirmOverwrite(path, prompter));
    EXPECT_TRUE(ConfirmOverwrite(path, prompter));
    EXPECT_EQ(prompter.asked, QStringList(2, replaceQuestionText(QStringLiteral("show"))));
}
