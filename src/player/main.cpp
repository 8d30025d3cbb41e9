// The player program that every slideshow starts as. Until it plays shows,
// it reads the show appended to its own file and tells what it finds: the
// three lengths of the trailer, the record's main keys and the resources.

#include "IconSlot.h"
#include "SlideshowFile.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdio>
#include <unistd.h>

namespace {

void line(const QString &text)
{
    std::fprintf(stdout, "%s\n", text.toUtf8().constData());
}

QString ownFile()
{
    // The program file itself, wherever it was started from and under any name.
    QByteArray buffer(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), size_t(buffer.size() - 1));
    return n > 0 ? QFile::decodeName(buffer.left(n)) : QString();
}

} // namespace

int main()
{
    const QString self = ownFile();
    QString problem;
    const std::optional<pvsm::SlideshowContents> show = pvsm::ReadSlideshow(self, &problem);
    if (!show) {
        std::fprintf(stderr, "%s\n", QStringLiteral("这个程序不包含图片幻灯（%1 %2）").arg(self, problem).toUtf8().constData());
        return 1;
    }
    line(QStringLiteral("Slideshow: ") + self);
    line(QStringLiteral("PlayerBytes: %1").arg(show->trailer.playerLength));
    line(QStringLiteral("ResourceBytes: %1").arg(show->trailer.resourcesLength));
    line(QStringLiteral("SettingsBytes: %1").arg(show->trailer.blobLength));
    for (const char *key : {"ResFileSize", "NowI", "NowM", "OrigScreenWidth", "OrigScreenHeight", "ssDirectPlay"})
        line(QStringLiteral("%1: %2").arg(QLatin1String(key)).arg(show->record.getInt(QLatin1String(key))));
    line(QStringLiteral("Name: ") + show->record.getString(QStringLiteral("TxtSetting(0)")));
    // The icon the builder wrote into this program's slot (0: the player's own).
    line(QStringLiteral("IconBytes: %1").arg(pvsm::OwnIconSlotIcon().size()));
    for (const pvsm::SlideshowResource &r : show->resources)
        line(QStringLiteral("Resource: %1\t%2\t%3\t%4").arg(r.key).arg(r.offset).arg(r.size).arg(r.type));
    return 0;
}
