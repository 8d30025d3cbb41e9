#include "FrameFixtures.h"
#include "FrameList.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace pvsm;

namespace {


bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList texts(const std::vector<FrameListEntry> &list)
{
    QStringList out;
    for (const FrameListEntry &e : list) out << e.text;
    return out;
}

class FrameListTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QDir(dir.path()).mkpath(QStringLiteral("prog"));
        QDir(dir.path()).mkpath(QStringLiteral("work"));
        ws = Workspace(dir.filePath(QStringLiteral("prog")) + QLatin1Char('/'),
                       dir.filePath(QStringLiteral("work")) + QLatin1Char('/'));
    }

    QString prog(const QString &name) const { return QDir(ws.programDir()).filePath(name); }

    // A frame package of `frames` (name, colour) at `path`.
    void writePackage(const QString &path, const std::vector<std::pair<QString, QColor>> &frames,
                      const QString &copyright = {})
    {
        std::vector<PackageSource> entries;
        for (const auto &[name, colour] : frames) entries.push_back({name, test::solidPng(colour)});
        ASSERT_TRUE(writeFile(path, BuildPackage(PackageKind::Frames, entries, copyright)));
    }

    void writeResources(bool withTestFrame)
    {
        std::vector<PackageSource> entries = {{QStringLiteral("rainbow.jpg"), QByteArray("jpg")}};
        if (withTestFrame) entries.push_back({QStringLiteral("TestFrame.png"), test::solidPng(Qt::red)});
        ASSERT_TRUE(writeFile(prog(QStringLiteral("gmi.src")), BuildPackage(PackageKind::Resources, entries)));
    }

    QTemporaryDir dir;
    Workspace ws;
};

} // namespace

TEST_F(FrameListTest, PackagesAreListedInNumberOrderAndReadFromTheirOwnFile)
{
    writePackage(prog(QStringLiteral("3.frame")), {{QStringLiteral("三甲"), Qt::green}}, QStringLiteral("三号"));
    writePackage(prog(QStringLiteral("1.frame")), {{QStringLiteral("一甲"), Qt::blue}, {QStringLiteral("一乙"), Qt::cyan}});
    // Skipped: a foreign file, an index that points past the data, a number past 10.
    ASSERT_TRUE(writeFile(prog(QStringLiteral("4.frame")), QByteArray("PK\x03\x04 not a package")));
    QByteArray damaged = BuildPackage(PackageKind::Frames, {{QStringLiteral("坏"), test::solidPng(Qt::black)}});
    damaged.chop(10);
    ASSERT_TRUE(writeFile(prog(QStringLiteral("5.frame")), damaged));
    writePackage(prog(QStringLiteral("11.frame")), {{QStringLiteral("十一"), Qt::gray}});
    // A package the user added to the read-only copy's work folder.
    writePackage(QDir(ws.workDir()).filePath(QStringLiteral("6.frame")), {{QStringLiteral("六甲"), Qt::yellow}},
                 QStringLiteral("六号"));

    const FramePackages packages = LoadFramePackages(ws);
    EXPECT_TRUE(packages.found);
    EXPECT_EQ(packages.copyright, QStringLiteral("六号")); // the last package read
    const std::vector<FrameListEntry> list = ListPicFrame(packages);
    EXPECT_EQ(texts(list), (QStringList{QStringLiteral("无"), QStringLiteral("一甲"), QStringLiteral("一乙"),
                                        QStringLiteral("三甲"), QStringLiteral("六甲"),
                                        QStringLiteral("自定义 PNG 相框..."), QStringLiteral("更多相框下载...")}));

    // The first frame of package 3 is frame 3 of the list, read from 3.frame.
    const FrameSelection s = SelectFrameEntry(list[3], packages, ws, Settings());
    EXPECT_TRUE(s.frameChanged);
    EXPECT_EQ(s.choice.pictureFrameNum, 3);
    EXPECT_EQ(s.choice.bytes, test::solidPng(Qt::green));
    EXPECT_EQ(packages.frameBytes(4), test::solidPng(Qt::yellow));
    EXPECT_TRUE(packages.frameBytes(0).isEmpty());
    EXPECT_TRUE(packages.frameBytes(5).isEmpty());
    EXPECT_EQ(FrameListRow(list, 3), 3);
    EXPECT_EQ(FrameListRow(list, -1), 5);
    EXPECT_EQ(FrameListRow(list, 9), 0);
    EXPECT_EQ(FrameListRow(list, -2), 0); // no test frame while packages exist
}

TEST_F(FrameListTest, WithoutPackagesTheTestFrameIsOffered)
{
    writeResources(true);
    const FramePackages packages = LoadFramePackages(ws);
    EXPECT_FALSE(packages.found);
    const std::vector<FrameListEntry> list = ListPicFrame(packages);
    EXPECT_EQ(texts(list), (QStringList{QStringLiteral("无"), QStringLiteral("测试用相框"),
                                        QStringLiteral("自定义 PNG 相框..."), QStringLiteral("更多相框下载...")}));
    FrameSelection s = SelectFrameEntry(list[1], packages, ws, Settings());
    EXPECT_EQ(s.choice.pictureFrameNum, -2);
    EXPECT_EQ(s.choice.bytes, test::solidPng(Qt::red)); // found whatever the letter case
    EXPECT_EQ(FrameListRow(list, -2), 1);

    // A resource package without the test frame gives no frame rather than
    // a frame number whose picture the show would lack.
    writeResources(false);
    s = SelectFrameEntry(list[1], packages, ws, Settings());
    EXPECT_TRUE(s.frameChanged);
    EXPECT_EQ(s.choice, FrameChoice());
}

TEST_F(FrameListTest, TheOtherEntries)
{
    const QString own = dir.filePath(QStringLiteral("own-frame.png"));
    ASSERT_TRUE(writeFile(own, test::solidPng(Qt::magenta)));
    const QString jpeg = dir.filePath(QStringLiteral("photo.jpg"));
    QImage(8, 8, QImage::Format_RGB32).save(jpeg, "JPG");
    const FramePackages packages;
    struct Case
    {
        FrameEntryKind kind;
        QString image;
        bool changed;
        int32_t num;
        bool chooser, help;
    };
    const Case cases[] = {
        {FrameEntryKind::None, own, true, 0, false, false},
        {FrameEntryKind::OwnPng, own, true, -1, true, false},
        {FrameEntryKind::OwnPng, dir.filePath(QStringLiteral("gone.png")), false, 0, true, false},
        {FrameEntryKind::OwnPng, jpeg, false, 0, true, false}, // not a PNG
        {FrameEntryKind::OwnPng, QStringLiteral("a.png"), false, 0, true, false},
        {FrameEntryKind::MoreFrames, own, false, 0, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.image.toStdString());
        Settings settings;
        settings.pictureFrameImage = c.image;
        const FrameSelection s = SelectFrameEntry({c.kind, {}}, packages, ws, settings);
        EXPECT_EQ(s.frameChanged, c.changed);
        EXPECT_EQ(s.choice.pictureFrameNum, c.num);
        EXPECT_EQ(s.choice.bytes.isEmpty(), c.num == 0);
        EXPECT_EQ(s.showChooser, c.chooser);
        EXPECT_EQ(s.openHelp, c.help);
    }
    // A small PNG is carried as it is.
    EXPECT_EQ(OwnFrameBytes(own), test::solidPng(Qt::magenta));
}

TEST_F(FrameListTest, RestoringAfterALoad)
{
    writePackage(prog(QStringLiteral("2.frame")), {{QStringLiteral("甲"), Qt::blue}, {QStringLiteral("乙"), Qt::red}});
    writeResources(true);
    const QString own = dir.filePath(QStringLiteral("own-frame.png"));
    ASSERT_TRUE(writeFile(own, test::solidPng(Qt::magenta)));
    const FramePackages packages = LoadFramePackages(ws);
    struct Case
    {
        int32_t num;
        QString image;
        bool full, pictures;
        int32_t want;
    };
    const Case cases[] = {
        {2, {}, true, true, 2},
        {2, {}, false, true, 0},   // the last run's settings alone
        {2, {}, true, false, 0},   // a project without pictures
        {3, {}, true, true, 0},    // past the frames there are
        {-2, {}, true, true, 0},   // the test frame is never restored
        {-1, own, true, true, -1},
        {-1, own, false, true, 0},
        {-1, QStringLiteral("/x.png"), true, true, 0}, // shorter than 8 characters
        {-1, dir.filePath(QStringLiteral("gone.png")), true, true, 0},
        {-7, {}, true, true, 0},
        {0, own, true, true, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.num << " " << c.image.toStdString() << " " << c.full << c.pictures);
        Settings settings;
        settings.pictureFrameNum = c.num;
        settings.pictureFrameImage = c.image;
        const FrameChoice restored = RestoreFrame(settings, packages, c.full, c.pictures);
        EXPECT_EQ(restored.pictureFrameNum, c.want);
        EXPECT_EQ(restored.bytes.isEmpty(), c.want == 0);
    }
    // Without packages a positive number is not restored.
    Settings settings;
    settings.pictureFrameNum = 1;
    EXPECT_EQ(RestoreFrame(settings, FramePackages(), true, true), FrameChoice());
}

TEST_F(FrameListTest, TheSelectedFrameBytesForABuild)
{
    writePackage(prog(QStringLiteral("1.frame")), {{QStringLiteral("甲"), Qt::blue}});
    writeResources(true);
    const QString own = dir.filePath(QStringLiteral("own-frame.png"));
    ASSERT_TRUE(writeFile(own, test::solidPng(Qt::magenta)));
    Settings s;
    EXPECT_TRUE(SelectedFrameBytes(s, ws).isEmpty());
    s.pictureFrameNum = 1;
    EXPECT_EQ(SelectedFrameBytes(s, ws), test::solidPng(Qt::blue));
    s.pictureFrameNum = 2;
    EXPECT_TRUE(SelectedFrameBytes(s, ws).isEmpty());
    s.pictureFrameNum = -2;
    EXPECT_EQ(SelectedFrameBytes(s, ws), test::solidPng(Qt::red));
    s.pictureFrameNum = -1;
    s.pictureFrameImage = own;
    EXPECT_EQ(SelectedFrameBytes(s, ws), test::solidPng(Qt::magenta));
}

TEST_F(FrameListTest, AddingAFile)
{
    writePackage(prog(QStringLiteral("1.frame")), {{QStringLiteral("甲"), Qt::blue}});
    const QString incoming = dir.filePath(QStringLiteral("花朵相框.frame"));
    writePackage(incoming, {{QStringLiteral("花朵"), Qt::green}}, QStringLiteral("花朵相框 © 作者"));

    // Too short a path resets the frame.
    AddFrameOutcome out = AddFrameFile(QStringLiteral("/a.png"), ws);
    EXPECT_EQ(out.kind, AddFrameOutcome::ResetFrame);
    EXPECT_EQ(out.choice, FrameChoice());

    // A PNG becomes the own frame.
    const QString own = dir.filePath(QStringLiteral("own-frame.PNG"));
    ASSERT_TRUE(writeFile(own, test::solidPng(Qt::magenta)));
    out = AddFrameFile(own, ws);
    EXPECT_EQ(out.kind, AddFrameOutcome::OwnPng);
    EXPECT_EQ(out.image, own);
    EXPECT_EQ(out.choice.pictureFrameNum, -1);
    EXPECT_EQ(out.choice.bytes, test::solidPng(Qt::magenta));

    // A package of another name takes the first free number; the notice shown
    // is the added package's, and the frame list grows.
    out = AddFrameFile(incoming, ws);
    ASSERT_EQ(out.kind, AddFrameOutcome::Added) << out.message.toStdString();
    EXPECT_EQ(out.installedPath, prog(QStringLiteral("2.frame")));
    EXPECT_EQ(out.copyright, QStringLiteral("花朵相框 © 作者"));
    EXPECT_EQ(out.choice, FrameChoice());
    EXPECT_EQ(texts(ListPicFrame(out.packages)).mid(1, 2), (QStringList{QStringLiteral("甲"), QStringLiteral("花朵")}));

    // A name that is there already changes nothing and is reported.
    const QString again = dir.filePath(QStringLiteral("1.FRAME"));
    writePackage(again, {{QStringLiteral("另一个"), Qt::yellow}});
    const QByteArray before = LoadFramePackages(ws).frameBytes(1);
    out = AddFrameFile(again, ws);
    EXPECT_EQ(out.kind, AddFrameOutcome::AlreadyExists);
    EXPECT_EQ(out.message, QStringLiteral("1.FRAME 已经存在"));
    EXPECT_EQ(LoadFramePackages(ws).frameBytes(1), before);

    // Neither a PNG nor a package: nothing is copied in.
    const QString junk = dir.filePath(QStringLiteral("junk.frame"));
    ASSERT_TRUE(writeFile(junk, QByteArray(64, 'x')));
    out = AddFrameFile(junk, ws);
    EXPECT_EQ(out.kind, AddFrameOutcome::NotAPackage);
    EXPECT_FALSE(QFileInfo::exists(prog(QStringLiteral("3.frame"))));
    EXPECT_FALSE(QFileInfo::exists(prog(QStringLiteral("junk.frame"))));

    // All ten numbers taken.
    for (int n = 3; n <= 10; ++n)
        writePackage(prog(QStringLiteral("%1.frame").arg(n)), {{QString::number(n), Qt::gray}});
    const QString eleventh = dir.filePath(QStringLiteral("more-frames.frame"));
    writePackage(eleventh, {{QStringLiteral("多"), Qt::gray}});
    out = AddFrameFile(eleventh, ws);
    EXPECT_EQ(out.kind, AddFrameOutcome::NoFreeNumber);
    EXPECT_FALSE(out.message.isEmpty());
}

TEST_F(FrameListTest, AReadOnlyProgramFolderKeepsAddedPackagesInTheWorkFolder)
{
    QFile::setPermissions(ws.programDir(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (access(QFile::encodeName(ws.programDir()).constData(), W_OK) == 0) {
        QFile::setPermissions(ws.programDir(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        GTEST_SKIP() << "this user may write to any folder";
    }
    const QString incoming = dir.filePath(QStringLiteral("4.frame"));
    writePackage(incoming, {{QStringLiteral("四"), Qt::green}});
    const AddFrameOutcome out = AddFrameFile(incoming, ws);
    QFile::setPermissions(ws.programDir(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ASSERT_EQ(out.kind, AddFrameOutcome::Added) << out.message.toStdString();
    EXPECT_EQ(out.installedPath, QDir(ws.workDir()).filePath(QStringLiteral("4.frame")));
    EXPECT_EQ(LoadFramePackages(ws).frameBytes(1), test::solidPng(Qt::green));
}

TEST_F(FrameListTest, AProgramFolderThatCannotBeWrittenKeepsAddedPackagesInTheWorkFolder)
{
    // Runs for every user: a program folder that is gone cannot be written either.
    ws = Workspace(dir.filePath(QStringLiteral("gone")) + QLatin1Char('/'), ws.workDir());
    const QString incoming = dir.filePath(QStringLiteral("frames-from-a-friend.frame"));
    writePackage(incoming, {{QStringLiteral("友"), Qt::green}});
    const AddFrameOutcome out = AddFrameFile(incoming, ws);
    ASSERT_EQ(out.kind, AddFrameOutcome::Added) << out.message.toStdString();
    EXPECT_EQ(out.installedPath, QDir(ws.workDir()).filePath(QStringLiteral("1.frame")));
    EXPECT_EQ(out.packages.frameBytes(1), test::solidPng(Qt::green));
}
