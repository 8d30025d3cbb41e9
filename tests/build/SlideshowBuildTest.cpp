#include "FakePrompter.h"
#include "FileBytes.h"
#include "PictureInfo.h"
#include "ResourcePackage.h"
#include "Scramble.h"
#include "SlideshowBuild.h"
#include "SlideshowPackage.h"
#include "TestFiles.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace pvsm;
using pvsm::test::FakePrompter;

using pvsm::test::readAll;
using pvsm::test::writeAll;

namespace {

QByteArray pictureBytes(int w, int h, const char *format, int quality = 90)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x ^ y) & 255));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, format, quality);
    return bytes;
}

// A program folder with a player (a program with the icon slot, shipped
// scrambled as Pvsm.bfq) and a resource package without btn_scale.png.
struct Fixture
{
    QTemporaryDir dir;
    QString programDir, workDir, media;
    QByteArray player;
    Project project;

    Fixture()
    {
        programDir = dir.filePath(QStringLiteral("program"));
        workDir = dir.filePath(QStringLiteral("work"));
        media = dir.filePath(QStringLiteral("media"));
        for (const QString &d : {programDir, workDir, media}) QDir().mkpath(d);
        player = readAll(QStringLiteral(ICON_SLOT_PROBE));
        QByteArray shipped = player;
        ScrambleBytes(shipped.data(), shipped.size(), kScrambledFileBytes);
        writeAll(programDir + QStringLiteral("/Pvsm.bfq"), shipped);
        std::vector<PackageSource> builtIns;
        for (const BuiltInResource &b : builtInResources())
            if (QLatin1String(b.fileName) != QLatin1String("btn_scale.png"))
                builtIns.push_back({QString::fromLatin1(b.fileName), pictureBytes(8, 8, "PNG")});
        writeAll(programDir + QStringLiteral("/gmi.src"), BuildPackage(PackageKind::Resources, builtIns));

        ProjectEnvironment env;
        project = Project::makeDefault(env);
        project.pictures.push_back(project.newPicture(file(QStringLiteral("big.jpg"), pictureBytes(3000, 2000, "JPG", 100)), env));
        project.pictures.push_back(project.newPicture(file(QStringLiteral("small.jpg"), pictureBytes(1024, 768, "JPG")), env));
        project.pictures.push_back(project.newPicture(file(QStringLiteral("plain.bmp"), pictureBytes(40, 30, "BMP")), env));
        project.songs = {{file(QStringLiteral("song.mp3"), QByteArray(70000, 's')), 3}};
        project.lyricFiles = {file(QStringLiteral("SONG.lrc"), "[0")}; // shorter than the scrambled head
        project.settings.txtSetting[0] = QStringLiteral("我的幻灯");
    }

    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString path = media + QLatin1Char('/') + name;
        writeAll(path, bytes);
        return path;
    }
    Workspace workspace() const { return Workspace(programDir + QLatin1Char('/'), workDir + QLatin1Char('/')); }
    QString target() const { return dir.filePath(QStringLiteral("out/show")); }

    BuildOutcome build(FakePrompter &prompter, BuildRequest request = {}, const JobControl &control = {})
    {
        if (request.outputPath.isEmpty() && request.kind != SlideshowKind::Preview) request.outputPath = target();
        request.editingScreen = QSize(1600, 900);
        return BuildScreenSaver(project, workspace(), request, prompter, control);
    }
};

const SlideshowResource *find(const SlideshowContents &show, const QString &key)
{
    for (const SlideshowResource &r : show.resources)
        if (r.key == key) return &r;
    return nullptr;
}

QByteArray resourceBytes(const QByteArray &file, const SlideshowContents &show, const SlideshowResource &r)
{
    QByteArray bytes = file.mid(qsizetype(show.trailer.playerLength + r.offset), qsizetype(r.size));
    ScrambleHead(bytes);
    return bytes;
}

QStringList order(const SlideshowContents &show)
{
    QStringList keys;
    for (const SlideshowResource &r : show.resources) keys << r.key;
    return keys;
}

} // namespace

TEST(SlideshowBuild, CompleteSlideshowHoldsThePlayerEveryFileTheRecordAndTheTrailer)
{
    Fixture f;
    QDir().mkpath(QFileInfo(f.target()).absolutePath());
    FakePrompter prompter;
    BuildRequest request;
    request.frameData = pictureBytes(16, 12, "PNG");
    const BuildOutcome outcome = f.build(prompter, request);
    ASSERT_TRUE(outcome.completed) << prompter.informed.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(prompter.informed.isEmpty());

    const QByteArray file = readAll(f.target());
    EXPECT_EQ(outcome.bytes, file.size());
    EXPECT_TRUE(file.startsWith(f.player)); // unscrambled
    EXPECT_EQ(QFileInfo(f.target()).permissions() & QFileDevice::ExeOwner, QFileDevice::ExeOwner);
    QString problem;
    const auto show = ReadSlideshow(f.target(), &problem);
    ASSERT_TRUE(show) << problem.toStdString();
    EXPECT_EQ(show->trailer.playerLength, uint32_t(f.player.size()));
    EXPECT_EQ(qint64(show->trailer.playerLength) + show->trailer.resourcesLength + show->trailer.blobLength + 16, file.size());
    EXPECT_EQ(file.right(4), QByteArray("\xB1\xBB\x57\x4D", 4));

    // Built-ins (no btn_scale in this package), the frame, then the list's order.
    EXPECT_EQ(order(*show), QStringList({"TextureImage", "btn_close", "btn_min", "btn_music_next", "btn_mute_off",
                                         "btn_mute_on", "btn_next", "btn_pause", "btn_play", "btn_prev", "btn_size",
                                         "PictureFrameData", "MusicNames(1)", "MusicLyricFiles(1)", "ImgNames(1)",
                                         "ImgNames(2)", "ImgNames(3)"}));
    qint64 expectedOffset = 0;
    for (const SlideshowResource &r : show->resources) {
        EXPECT_EQ(r.offset, expectedOffset) << r.key.toStdString(); // back to back
        expectedOffset += r.size;
    }
    EXPECT_EQ(expectedOffset, show->trailer.resourcesLength);

    EXPECT_EQ(resourceBytes(file, *show, *find(*show, QStringLiteral("PictureFrameData"))), request.frameData);
    EXPECT_EQ(resourceBytes(file, *show, *find(*show, QStringLiteral("MusicNames(1)"))), readAll(f.project.songs[0].path));
    EXPECT_EQ(resourceBytes(file, *show, *find(*show, QStringLiteral("MusicLyricFiles(1)"))), QByteArray("[0"));
    EXPECT_EQ(find(*show, QStringLiteral("MusicNames(1)"))->type, QStringLiteral("MP3"));
    EXPECT_EQ(find(*show, QStringLiteral("MusicLyricFiles(1)"))->type, QStringLiteral("LRC"));
    EXPECT_EQ(find(*show, QStringLiteral("TextureImage"))->type, QString());

    struct Picture
    {
        const char *key;
        QSize size;
        bool unchanged;
    };
    for (const Picture &p : {Picture{"ImgNames(1)", {1920, 1280}, false}, Picture{"ImgNames(2)", {1024, 768}, true},
                             Picture{"ImgNames(3)", {40, 30}, false}}) {
        const SlideshowResource *r = find(*show, QString::fromLatin1(p.key));
        ASSERT_TRUE(r);
        EXPECT_EQ(r->type, QStringLiteral("JPG")) << p.key;
        const QByteArray bytes = resourceBytes(file, *show, *r);
        EXPECT_EQ(QImage::fromData(bytes).size(), p.size) << p.key;
        const int n = QString::fromLatin1(p.key).mid(9, 1).toInt();
        if (p.unchanged) {
            EXPECT_EQ(bytes, readAll(f.project.pictures[size_t(n - 1)].path)) << p.key;
        } else {
            EXPECT_TRUE(bytes.startsWith("\xFF\xD8")) << p.key; // the BMP became a JPEG
        }
    }
    EXPECT_EQ(show->record.value(QStringLiteral("ResFileSize")), BagValue::fromI2(7));
    EXPECT_EQ(show->record.getString(QStringLiteral("TxtSetting(0)")), QStringLiteral("我的幻灯"));
    EXPECT_EQ(outcome.finishReport.split(QStringLiteral("\r\n")).size(), 5);
    // Nothing of the job is left in the work folder.
    EXPECT_TRUE(QDir(f.workDir + QStringLiteral("/Temp")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

TEST(SlideshowBuild, AFailedOrRefusedBuildKeepsThePreviousSlideshow)
{
    struct Case
    {
        const char *name;
        std::function<void(Fixture &, FakePrompter &, BuildRequest &, std::atomic<bool> &)> arrange;
        QString message; // the start of what the user is told; empty: nothing
    };
    const std::vector<Case> cases = {
        {"refused overwrite", [](Fixture &, FakePrompter &p, BuildRequest &, std::atomic<bool> &) { p.answers = {Answer::No}; }, {}},
        {"cancelled", [](Fixture &, FakePrompter &p, BuildRequest &, std::atomic<bool> &cancel) {
             p.answers = {Answer::Yes};
             cancel = true;
         }, {}},
        {"picture gone", [](Fixture &f, FakePrompter &p, BuildRequest &, std::atomic<bool> &) {
             p.answers = {Answer::Yes};
             QFile::remove(f.project.pictures[1].path);
         }, QStringLiteral("无法读取 '")},
        {"player missing", [](Fixture &f, FakePrompter &p, BuildRequest &, std::atomic<bool> &) {
             p.answers = {Answer::Yes};
             QFile::remove(f.programDir + QStringLiteral("/Pvsm.bfq"));
         }, QString()},
        {"player damaged", [](Fixture &f, FakePrompter &p, BuildRequest &, std::atomic<bool> &) {
             p.answers = {Answer::Yes};
             writeAll(f.programDir + QStringLiteral("/Pvsm.bfq"), QByteArray(6000, 'x'));
         }, QString()},
        {"player without its icon slot", [](Fixture &f, FakePrompter &p, BuildRequest &, std::atomic<bool> &) {
             p.answers = {Answer::Yes};
             QByteArray elf = QByteArray("\x7F" "ELF", 4) + QByteArray(6000, 'p');
             ScrambleBytes(elf.data(), elf.size(), kScrambledFileBytes);
             writeAll(f.programDir + QStringLiteral("/Pvsm.bfq"), elf);
         }, QString()},
        {"too little space, do not go on", [](Fixture &, FakePrompter &p, BuildRequest &r, std::atomic<bool> &) {
             p.answers = {Answer::No};
             r.freeSpace = [](const QString &) { return qint64(0); };
         }, {}},
    };
    for (const Case &c : cases) {
        Fixture f;
        QDir().mkpath(QFileInfo(f.target()).absolutePath());
        writeAll(f.target(), "the previous slideshow");
        FakePrompter prompter;
        BuildRequest request;
        std::atomic<bool> cancel{false};
        c.arrange(f, prompter, request, cancel);
        JobControl control;
        control.cancel = &cancel;
        const BuildOutcome outcome = f.build(prompter, request, control);
        EXPECT_FALSE(outcome.completed) << c.name;
        EXPECT_EQ(readAll(f.target()), QByteArray("the previous slideshow")) << c.name;
        EXPECT_EQ(QDir(QFileInfo(f.target()).absolutePath()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                  QStringList({"show"}))
            << c.name;
        if (QString(c.name).startsWith(QLatin1String("player"))) {
            ASSERT_EQ(prompter.informed.size(), 1) << c.name;
            EXPECT_TRUE(prompter.informed[0].endsWith(QStringLiteral("Pvsm.bfq 丢失或损坏，请重新安装程序"))) << c.name;
        } else if (c.message.isEmpty()) {
            EXPECT_TRUE(prompter.informed.isEmpty()) << c.name;
        } else {
            ASSERT_EQ(prompter.informed.size(), 1) << c.name;
            EXPECT_TRUE(prompter.informed[0].startsWith(c.message)) << c.name << " " << prompter.informed[0].toStdString();
        }
    }
}

TEST(SlideshowBuild, ReadOnlyFolderIsToldAndKeepsItsFile)
{
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    Fixture f;
    const QString folder = QFileInfo(f.target()).absolutePath();
    QDir().mkpath(folder);
    writeAll(f.target(), "old");
    ::chmod(QFile::encodeName(folder).constData(), 0555);
    FakePrompter prompter;
    prompter.answers = {Answer::Yes};
    const BuildOutcome outcome = f.build(prompter);
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    EXPECT_FALSE(outcome.completed);
    EXPECT_EQ(readAll(f.target()), QByteArray("old"));
    ASSERT_EQ(prompter.informed.size(), 1);
    EXPECT_EQ(prompter.informed[0], cannotWriteText(QStringLiteral("show"), FileProblem::ReadOnlyFolder));
}

TEST(SlideshowBuild, FailedIconReplacementIsToldAndTheBuildGoesOn)
{
    for (const bool works : {false, true}) {
        Fixture f;
        QDir().mkpath(QFileInfo(f.target()).absolutePath());
        FakePrompter prompter;
        BuildRequest request;
        request.iconFile = f.file(QStringLiteral("icon.ico"), "icon");
        request.replaceIcon = [works](const QString &ico, const QString &program) {
            if (!works) return false;
            QFile file(program);
            file.open(QIODevice::ReadWrite);
            file.seek(100);
            file.write(readAll(ico));
            return true;
        };
        const BuildOutcome outcome = f.build(prompter, request);
        ASSERT_TRUE(outcome.completed) << works;
        EXPECT_EQ(outcome.iconReplaced, works);
        EXPECT_EQ(prompter.informed, works ? QStringList() : QStringList({QStringLiteral("替换图标失败")}));
        const QByteArray head = readAll(f.target()).left(f.player.size());
        EXPECT_EQ(head.mid(100, 4) == QByteArray("icon"), works);
    }
}

TEST(SlideshowBuild, LocalAndPreviewBuildsCarryPathsAndLeaveTheProjectAlone)
{
    for (const SlideshowKind kind : {SlideshowKind::Local, SlideshowKind::Preview}) {
        Fixture f;
        f.project.settings.selectedTransitions.reset();
        f.project.settings.isPackage = false;
        const Project before = f.project;
        FakePrompter prompter;
        BuildRequest request;
        request.kind = kind;
        request.outputPath = kind == SlideshowKind::Preview ? QString() : f.target();
        if (kind == SlideshowKind::Local) QDir().mkpath(QFileInfo(f.target()).absolutePath());
        const BuildOutcome outcome = f.build(prompter, request);
        ASSERT_TRUE(outcome.completed) << prompter.informed.join(QLatin1Char('\n')).toStdString();
        if (kind == SlideshowKind::Preview) {
            EXPECT_EQ(outcome.target, previewPath(f.workspace()));
        }
        const auto show = ReadSlideshow(outcome.target);
        ASSERT_TRUE(show);
        EXPECT_EQ(show->record.value(QStringLiteral("ResFileSize")), BagValue::fromI2(0));
        EXPECT_EQ(show->record.getString(QStringLiteral("ImgNames(1)")), f.project.pictures[0].path);
        EXPECT_FALSE(show->record.getBool(QStringLiteral("EnableTransition")));
        EXPECT_EQ(show->record.getBool(QStringLiteral("IsPackage")), kind == SlideshowKind::Preview);
        EXPECT_FALSE(find(*show, QStringLiteral("ImgNames(1)")));
        EXPECT_TRUE(find(*show, QStringLiteral("TextureImage")));
        EXPECT_EQ(f.project, before);
    }
}

TEST(SlideshowBuild, NothingIsWrittenPastTheTrailersLimit)
{
    QTemporaryDir dir;
    AtomicFileWriter out(dir.filePath(QStringLiteral("big")));
    ASSERT_TRUE(out.open());
    PropertyBag bag;
    // A player so long that 100 more bytes and the record would pass 2^31 - 1.
    const qint64 player = kMaxSlideshowBytes - 200;
    PackageAppender appender(out, player, bag, 90);
    EXPECT_TRUE(appender.appendBytes(QStringLiteral("a"), QByteArray(90, 'a'), QStringLiteral("LRC")));
    EXPECT_FALSE(appender.appendBytes(QStringLiteral("b"), QByteArray(10, 'b'), QStringLiteral("LRC")));
    EXPECT_EQ(appender.result().status, ResourceWriteResult::Status::TooLarge);
    EXPECT_EQ(out.bytesWritten(), 90);
    EXPECT_FALSE(bag.contains(QStringLiteral("b_OffSet")));
}

TEST(SlideshowBuild, FinishTextCutsTheSizeToHundredths)
{
    struct Case
    {
        qint64 bytes;
        const char *size;
    };
    for (const Case &c : {Case{0, "0.00"}, Case{1048575, "0.99"}, Case{1048576, "1.00"}, Case{1288490188, "1228.79"},
                          Case{10433331, "9.94"}}) {
        const QString text = slideshowFinishText(QStringLiteral("名"), 3, 1, c.bytes, QStringLiteral("/o/show"));
        EXPECT_EQ(text, QStringLiteral("幻灯名称： 名\r\n图片总数： 3\r\n音乐总数： 1\r\n文件大小： ") + QLatin1String(c.size)
                            + QStringLiteral(" MB\r\n保存路径： /o/show"));
    }
}

TEST(SlideshowBuild, StartingASlideshowRunsTheFileItselfOrSaysWhyNot)
{
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("prog with space"));
    ASSERT_TRUE(QFile::copy(QStringLiteral("/bin/true"), program));
    QString error;
    EXPECT_TRUE(StartSlideshow(program, &error)) << error.toStdString(); // no shell splits the name
    const QString plain = dir.filePath(QStringLiteral("plain"));
    writeAll(plain, "not a program");
    EXPECT_FALSE(StartSlideshow(plain, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("plain"))) << error.toStdString();
}
