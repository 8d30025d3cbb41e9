#pragma once

// A program folder with a stand-in player and a resource package holding every
// button, and a small show of three pictures and one song with its lyric,
// built as the editor builds it.

#include "FakePrompter.h"
#include "ProjectFile.h"
#include "PropertyBag.h"
#include "ResourcePackage.h"
#include "Scramble.h"
#include "SlideshowBuild.h"
#include "SlideshowFile.h"
#include "SlideshowPackage.h"
#include "TestFiles.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>

namespace pvsm::test {

inline QByteArray pictureBytes(int w, int h, const char *format, QRgb tint = qRgb(0, 0, 0))
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y,
                         qRgb((x * 255 / w) ^ qRed(tint), (y * 255 / h) ^ qGreen(tint), ((x ^ y) & 255) ^ qBlue(tint)));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, format, 90);
    return bytes;
}

struct ShowFixture
{
    QTemporaryDir dir;
    QString programDir, workDir, media;
    Project project;
    QStringList lastMessages; // what the builds told
    QString iconFile;         // the icon the builds write into the player; empty: its own

    // `shippedPlayer`: a Pvsm.bfq as shipped (scrambled); empty: a small
    // program with the icon slot stands in for the player.
    explicit ShowFixture(const QString &shippedPlayer = {})
    {
        programDir = dir.filePath(QStringLiteral("program"));
        workDir = dir.filePath(QStringLiteral("work"));
        media = dir.filePath(QStringLiteral("media"));
        for (const QString &d : {programDir, workDir, media})
            QDir().mkpath(d);
        QByteArray shipped;
        if (shippedPlayer.isEmpty()) {
            shipped = readAll(QStringLiteral(ICON_SLOT_PROBE));
            ScrambleBytes(shipped.data(), shipped.size(), kScrambledFileBytes);
        } else {
            shipped = readAll(shippedPlayer);
        }
        writeAll(programDir + QStringLiteral("/Pvsm.bfq"), shipped);
        std::vector<PackageSource> builtIns;
        for (const BuiltInResource &b : builtInResources())
            builtIns.push_back({QString::fromLatin1(b.fileName), pictureBytes(24, 24, "PNG")});
        writeAll(programDir + QStringLiteral("/gmi.src"), BuildPackage(PackageKind::Resources, builtIns));

        ProjectEnvironment env;
        project = Project::makeDefault(env);
        project.pictures.push_back(
            project.newPicture(file(QStringLiteral("sunrise.png"), pictureBytes(320, 200, "PNG")), env));
        project.pictures.push_back(project.newPicture(
            file(QStringLiteral("harbour.jpg"), pictureBytes(400, 300, "JPG", qRgb(90, 0, 0))), env));
        project.pictures.push_back(
            project.newPicture(file(QStringLiteral("hills.png"), pictureBytes(300, 300, "PNG", qRgb(0, 0, 200))), env));
        project.pictures[1].caption = QStringLiteral("港口");
        QByteArray song(70000, '\0');
        for (int i = 0; i < song.size(); ++i)
            song[i] = char((i * 7) & 0xFF);
        project.songs = {{file(QStringLiteral("song.mp3"), song), 3}};
        project.lyricFiles = {file(QStringLiteral("SONG.lrc"), "[00:01.00]第一句\n")};
        project.settings.txtSetting[0] = QStringLiteral("海边");
        project.settings.ssDirectPlay = 2;
        project.settings.enableExport = true;
        project.settings.exportPassword = QStringLiteral("Sea 1");
        project.settings.logoImage = file(QStringLiteral("logo.png"), pictureBytes(64, 32, "PNG"));
    }

    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString path = media + QLatin1Char('/') + name;
        writeAll(path, bytes);
        return path;
    }
    Workspace workspace() const { return Workspace(programDir + QLatin1Char('/'), workDir + QLatin1Char('/')); }

    // Builds the show into `name` (a complete slideshow unless told otherwise).
    QString build(const QString &name, SlideshowKind kind = SlideshowKind::Package, const FontPacking &fonts = {})
    {
        FakePrompter prompter;
        BuildRequest request;
        request.kind = kind;
        request.outputPath = dir.filePath(name);
        request.editingScreen = QSize(1600, 900);
        request.fonts = fonts;
        request.packFonts = !fonts.files.isEmpty();
        request.frameData = pictureBytes(160, 90, "PNG");
        request.iconFile = iconFile;
        const BuildOutcome outcome = BuildScreenSaver(project, workspace(), request, prompter, {});
        for (const QString &m : prompter.informed)
            lastMessages << m;
        for (const QString &m : prompter.asked)
            lastMessages << m;
        return outcome.completed ? outcome.target : QString();
    }
};

// The slideshow `file` with its record replaced by what `edit` makes of it;
// the trailer is written to fit.
template <typename Edit> QByteArray withRecord(const QByteArray &file, Edit edit)
{
    const auto t = decodeTrailer(QByteArrayView(file).last(kTrailerSize));
    const qint64 body = qint64(t->playerLength) + t->resourcesLength;
    std::optional<PropertyBag> record = PropertyBag::fromBlob(QByteArrayView(file).sliced(body, t->blobLength));
    edit(*record);
    const QByteArray blob = record->toBlob();
    return file.left(body) + blob + encodeTrailer({t->playerLength, t->resourcesLength, uint32_t(blob.size())});
}

} // namespace pvsm::test
