#pragma once

#include "Vocabulary.h"

#include <QRectF>
#include <QString>
#include <QStringList>

#include <array>
#include <bitset>
#include <cstdint>
#include <vector>

namespace pvsm {

// A text box in screen pixels of the editing machine.
struct TextBox
{
    int32_t x = 0, y = 0, w = 0, h = 0;
    bool operator==(const TextBox &) const = default;
};

// Colours are 0x00BBGGRR.
struct TextStyle
{
    QString fontName;
    int32_t size = 56;
    int32_t align = 8;     // 0..8: column = value mod 3, row = value div 3
    int32_t pattern = 0;   // fill pattern
    int32_t borderWidth = 2;
    int32_t style = 1;     // 0 regular, 1 bold, 2 italic, 3 bold italic
    int32_t startColor = 0xFFFFFF;
    int32_t endColor = 0xFF0000;
    int32_t borderColor = 0x010101;
    bool operator==(const TextStyle &) const = default;
};

// The headline's own copy of a text style (no font name, no alignment).
struct HeadlineStyle
{
    int32_t size = 64;
    int32_t pattern = 6;
    int32_t border = 2;
    int32_t style = 1;
    int32_t startColor = 0x0000FF;
    int32_t endColor = 0x00FFFF;
    int32_t borderColor = 0x010101;
    bool operator==(const HeadlineStyle &) const = default;
};

// Slow camera motion over one picture: the part of the picture on screen at
// the slide's start and at its end, as fractions of the picture's width and
// height (x, y, w, h; each rectangle has the output's aspect ratio and may
// reach past the picture where the draw mode shows background), moved over
// the slide's time.
struct PictureMotion
{
    bool on = false;
    QRectF start{0, 0, 1, 1};
    QRectF end{0, 0, 1, 1};
    int32_t curve = 0; // 0 linear, 1 ease in and out
    bool operator==(const PictureMotion &) const = default;
};

struct Picture
{
    QString path;
    float slideDuration = 0; // seconds; 0 means TimeInterval applies
    int32_t posX = 0, posY = 0; // scale mode 1 only; both 0 means random
    QString caption;
    TextBox captionBox;
    QString headline;
    TextBox headlineBox;
    int32_t headDynamicStyle = 0;
    HeadlineStyle headStyle;
    PictureMotion motion;
    bool operator==(const Picture &) const = default;
};

struct Song
{
    QString path;
    float durationSec = 0;
    bool operator==(const Song &) const = default;
};

inline constexpr int kTextStyleCount = 4; // 1 caption, 2 headline, 3 lyrics, 4 titles
inline constexpr int kInfoTextCount = 6;  // TxtSetting(0 .. 5)
inline constexpr int kStyleSelectLength = 128;

// The global settings. Field names follow the storage keys.
struct Settings
{
    std::array<QString, 2> titleText;     // TitleText(1), TitleText(2)
    bool playPhotoInRamdomOrder = false;
    bool ignoreMouseMove = false;
    bool showCursor = false;
    bool enableFloating = false;
    bool muteSound = false;
    // The video's end: cut music fades out over 3 s, the picture to black
    // over the last second. On for a new project, off for a file without it.
    bool fadeOutEnd = false;
    // The video file kind the build dialog offers first: 0 AVI, 1 MP4.
    int32_t videoFormat = 0;
    bool enableTransition = true;
    bool enableHeadlineEffect = true;
    bool enableOpening = false;
    bool enableEnding = false;
    bool filenameAsCaption = false;
    bool isPackage = true;
    bool enableCaption = true;
    bool enableExport = false;
    bool isExportAvi = false;
    bool autoMotion = false;
    QString lyricFolder;
    int32_t imgDrawScale = 3;
    int32_t backgroundDrawScale = 2;
    int32_t backgroundGradientMode = 1;
    int32_t ssDirectPlay = 0;
    bool enableLyric = true;
    int32_t titleStyle = 1;
    bool enableSync = false;
    int32_t playMusicOrder = 0;
    QString backGroundSet = QStringLiteral("1");
    QString exportPassword;
    int32_t solidColor = 0;
    int32_t beginColor = 0x80FFFF;
    int32_t endColor = 0x0000FF;
    bool isShowTip = true;
    bool enableOpenFolder = true;
    int32_t pictureFrameNum = 0;
    QString pictureFrameImage;
    std::array<TextStyle, kTextStyleCount> textStyles; // index 0 is style 1
    TextBox lyricBox;
    TextBox titleBox;
    int32_t lyricDynamicFontPattern = 6;
    int32_t lyricDynamicFontStartColor = 0x0000FF;
    int32_t lyricDynamicFontEndColor = 0x00FFFF;
    int32_t lyricStyle = 1;
    std::array<QString, kInfoTextCount> txtSetting;
    float timeInterval = 10;
    int32_t transitionSpeed = 1000; // milliseconds
    float openingDurationTime = 8;
    float endingDurationTime = 8;
    std::bitset<kTransitionCount> selectedTransitions = std::bitset<kTransitionCount>().set();
    QString backGroundPicture;
    QString openingImage;
    QString endingImage;
    QString logoImage;

    bool operator==(const Settings &) const = default;
};

// What the defaults of a project depend on: the editing screen, the default
// text font, and the entry selected in the headline effect list.
struct ProjectEnvironment
{
    int32_t screenWidth = 1920;
    int32_t screenHeight = 1080;
    QString defaultFont = QStringLiteral("Noto Sans CJK SC");
    int32_t selectedHeadlineEffect = 0;
    // Height of the sample line "A幻灯j" in text style 3; 0 = measure it.
    int32_t lyricSampleLineHeight = 0;
};

// A text style as a picture's headline keeps it.
HeadlineStyle headlineStyleOf(const TextStyle &style);

// Default text style i (1 .. 4).
TextStyle defaultTextStyle(int index, const QString &fontName);
// Height in pixels of the sample lyric line drawn in `style`.
int32_t measureLyricSampleLine(const TextStyle &style);

struct Project
{
    Settings settings;
    std::vector<Picture> pictures;
    std::vector<Song> songs;
    QStringList lyricFiles;

    // A project with every default, as at the first start.
    static Project makeDefault(const ProjectEnvironment &env);

    // A picture as the editor adds it: default boxes, headline style copied
    // from text style 2, the selected headline effect.
    Picture newPicture(const QString &path, const ProjectEnvironment &env) const;

    // Clearing for a new project: pictures, background kind and the four
    // auxiliary pictures; songs, lyrics and the other settings stay.
    void clearForNew();

    // The default boxes for a picture read without caption / headline.
    static TextBox loadedCaptionBox(const ProjectEnvironment &env);
    static TextBox newCaptionBox(const ProjectEnvironment &env);
    static TextBox defaultHeadlineBox(const ProjectEnvironment &env);
    HeadlineStyle headlineStyleFromStyle2() const;

    bool operator==(const Project &) const = default;
};

// Effective display time of picture `index` (0-based) in seconds.
float slideSeconds(const Project &project, size_t index);

} // namespace pvsm
