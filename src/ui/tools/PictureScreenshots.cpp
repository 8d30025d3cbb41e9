#include "EditorContext.h"
#include "MainWindow.h"
#include "PictureListCommands.h"
#include "Screenshots.h"
#include "ThumbnailStrip.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFile>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>

namespace pvsm::ui {

namespace {

// A landscape or portrait picture with its number, so the cells tell apart.
QString writeNumberedPicture(const QString &dir, int number)
{
    const bool portrait = number % 4 == 3;
    QImage image(portrait ? QSize(600, 800) : QSize(800, 600), QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient sky(0, 0, 0, image.height());
    sky.setColorAt(0, QColor::fromHsv(number * 37 % 360, 160, 230));
    sky.setColorAt(1, QColor::fromHsv(number * 37 % 360, 220, 90));
    p.fillRect(image.rect(), sky);
    p.setPen(Qt::white);
    QFont font = p.font();
    font.setPixelSize(image.height() / 3);
    p.setFont(font);
    p.drawText(image.rect(), Qt::AlignCenter, QString::number(number));
    p.end();
    const QString path = QDir(dir).filePath(QStringLiteral("extra-%1.jpg").arg(number, 2, 10, QLatin1Char('0')));
    image.save(path, "JPEG", 85);
    return path;
}

} // namespace

int savePictureSectionScreenshots(MainWindow &window, const QString &dir, const QString &prefix)
{
    EditorContext &context = window.context();
    const int undoIndex = window.undoStack().index();
    QTemporaryDir extra;
    QStringList paths;
    for (int k = 1; k <= 12; ++k) paths << writeNumberedPicture(extra.path(), k);
    context.push(new AppendPicturesCommand(context, paths, {}));
    // One added picture is then deleted on disk: its cell shows the placeholder.
    QFile::remove(paths[8]);

    int written = 0;
    auto shoot = [&](const QString &name) {
        settle(window);
        if (window.grab().save(QDir(dir).filePath(prefix + QStringLiteral("-pictures-") + name + QStringLiteral(".png"))))
            ++written;
    };
    window.selectSection(1);
    auto *list = window.findChild<QAbstractItemView *>(QStringLiteral("ImgList"));
    auto *strip = window.findChild<ThumbnailStrip *>();
    const int count = int(context.project().pictures.size());
    // Picture 18 chosen in the list: the strip moves to end three pictures after it.
    context.setCurrentPicture(count - 7);
    list->selectionModel()->select(list->model()->index(count - 9, 0), QItemSelectionModel::Select);
    list->selectionModel()->select(list->model()->index(count - 8, 0), QItemSelectionModel::Select);
    shoot(QStringLiteral("selected"));
    strip->setFocus();
    context.setCurrentPicture(count - 4);
    shoot(QStringLiteral("strip-focused"));

    window.undoStack().setIndex(undoIndex);
    context.setCurrentPicture(0);
    settle(window);
    return written;
}

} // namespace pvsm::ui
