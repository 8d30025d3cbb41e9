#include "EditingStill.h"

#include "FrameLoop.h"
#include "Job.h"
#include "ProjectLists.h"
#include "Soundtrack.h"
#include "Timeline.h"

#include <QFileInfo>

namespace pvsm {

namespace {

bool titlePictureExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isFile() && hasSupportedPictureExtension(path);
}

} // namespace

QString firstTitleLine(const QString &title)
{
    const qsizetype end = title.indexOf(QStringLiteral("\r\n"));
    return end < 0 ? title : title.left(end);
}

EditingStill ComposeEditingStill(const Project &project, int index, EditingText text, QSize size,
                                 QSize editingScreen, const QByteArray &pictureFrame)
{
    Project shown = project;
    // The caption section shows the caption being placed even while the
    // show leaves it out.
    if (text == EditingText::Caption) shown.settings.enableCaption = true;
    NullTimelineSink sink;
    JobControl control;
    FrameLoopSettings settings;
    settings.videoSize = size;
    settings.editingScreen = editingScreen;
    settings.pictureFrame = pictureFrame;
    const FrameLoop loop(shown, settings, sink, nullptr, control);
    const bool hasPicture = index >= 0 && index < int(shown.pictures.size());

    EditingStill still;
    const bool title = text == EditingText::OpeningTitle || text == EditingText::EndingTitle;
    const bool opening = text == EditingText::OpeningTitle;
    const Settings &s = shown.settings;
    if (title && titlePictureExists(opening ? s.openingImage : s.endingImage)) {
        still.image = QImage(size, QImage::Format_RGB32);
        still.image.fill(Qt::black);
        loop.DrawTitleBackground(still.image, opening);
    } else if (hasPicture) {
        still.image = loop.ComposeSlide(index + 1, &still.pictureRect);
        // The frame lies over the picture, under the text being placed.
        loop.DrawPictureFrame(still.image);
    } else {
        still.image = loop.ComposeSlide(0);
    }

    switch (text) {
    case EditingText::Slide:
    case EditingText::Caption: break;
    case EditingText::Headline:
        if (hasPicture) loop.DrawHeadline(still.image, index + 1);
        break;
    case EditingText::LyricSample:
        for (const LyricText &line :
             sampleLyricShot(s, size, editingScreen, QString::fromUtf8(kSampleLyricLine)))
            DrawLyricText(still.image, s, loop.FontScale(), line);
        break;
    case EditingText::OpeningTitle:
    case EditingText::EndingTitle: loop.DrawTitleText(still.image, firstTitleLine(s.titleText[opening ? 0 : 1])); break;
    }
    return still;
}

} // namespace pvsm
