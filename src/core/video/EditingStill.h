#pragma once

#include "Project.h"

#include <QImage>
#include <QRect>
#include <QSize>

namespace pvsm {

// The text the editing view shows with the picture: the text of the section
// the user is working in, so that its box is placed over what will be drawn.
enum class EditingText {
    Slide,        // the slide as the show composes it (caption when shown)
    Caption,      // the caption in its box, text style 1, shown or not
    Headline,     // the headline in its box, the picture's headline style
    LyricSample,  // kSampleLyricLine in the lyric box, text style 3
    OpeningTitle, // the opening title's first line, text style 4
    EndingTitle,  // the ending title's first line, text style 4
};

// The line that stands for a song's lyrics while the lyric box is placed.
inline constexpr const char *kSampleLyricLine = "这是一行歌词（示例）";

struct EditingStill
{
    QImage image;
    QRect pictureRect; // where the picture was drawn, in pixels of `image`; empty when it was not
};

// Picture `index` (0-based; -1: the background alone) of `project` at `size`,
// composed as the export composes a slide of that size (positions are pixels
// of `editingScreen`), with `text` over it. For a title the title's picture
// takes the slide's place when its file exists, as the show's title does.
// Reentrant: the editor composes on the thread pool.
EditingStill ComposeEditingStill(const Project &project, int index, EditingText text, QSize size,
                                 QSize editingScreen);

// The first line of a title: the text before its first carriage return and
// line feed.
QString firstTitleLine(const QString &title);

} // namespace pvsm
