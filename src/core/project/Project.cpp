#include "Project.h"

#include "Numbers.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>

#include <cmath>

namespace pvsm {

TextStyle defaultTextStyle(int index, const QString &fontName)
{
    TextStyle s;
    s.fontName = fontName;
    s.style = 1;
    s.borderColor = 0x010101;
    switch (index) {
    case 1: s.size = 56; s.align = 8; s.pattern = 0; s.borderWidth = 2; s.startColor = 0xFFFFFF; s.endColor = 0xFF0000; break;
    case 2: s.size = 64; s.align = 4; s.pattern = 6; s.borderWidth = 2; s.startColor = 0x0000FF; s.endColor = 0x00FFFF; break;
    case 3: s.size = 56; s.align = 4; s.pattern = 0; s.borderWidth = 2; s.startColor = 0xFFFFFF; s.endColor = 0xFF0000; break;
    default: s.size = 120; s.align = 4; s.pattern = 0; s.borderWidth = 3; s.startColor = 0xFFFFFF; s.endColor = 0xFF0000; break;
    }
    return s;
}

int32_t measureLyricSampleLine(const TextStyle &style)
{
    QFont font(style.fontName);
    font.setPixelSize(std::max(1, style.size));
    font.setBold(style.style == 1 || style.style == 3);
    font.setItalic(style.style == 2 || style.style == 3);
    // Measure against a 96 dpi device so the result does not follow the screen.
    QImage device(1, 1, QImage::Format_ARGB32);
    const QFontMetricsF metrics(font, &device);
    const QRectF bounds = metrics.boundingRect(QStringLiteral("A幻灯j"));
    return Nearest(std::max(bounds.height(), metrics.height()));
}

namespace {

TextBox scaledBox(const ProjectEnvironment &env, double x, double y, double w, double h)
{
    return {Nearest(x * env.screenWidth), Nearest(y * env.screenHeight), Nearest(w * env.screenWidth),
            Nearest(h * env.screenHeight)};
}

} // namespace

TextBox Project::newCaptionBox(const ProjectEnvironment &env)
{
    return scaledBox(env, 0.05, 0.05, 0.9, 0.9);
}

TextBox Project::loadedCaptionBox(const ProjectEnvironment &env)
{
    return scaledBox(env, 0.02, 0.02, 0.96, 0.96);
}

TextBox Project::defaultHeadlineBox(const ProjectEnvironment &env)
{
    return scaledBox(env, 0.45, 0.45, 0.1, 0.1);
}

HeadlineStyle headlineStyleOf(const TextStyle &s)
{
    return {s.size, s.pattern, s.borderWidth, s.style, s.startColor, s.endColor, s.borderColor};
}

HeadlineStyle Project::headlineStyleFromStyle2() const { return headlineStyleOf(settings.textStyles[1]); }

Project Project::makeDefault(const ProjectEnvironment &env)
{
    Project p;
    Settings &s = p.settings;
    s.fadeOutEnd = true;
    for (int i = 0; i < kTextStyleCount; ++i) s.textStyles[size_t(i)] = defaultTextStyle(i + 1, env.defaultFont);
    const int32_t sample = env.lyricSampleLineHeight > 0 ? env.lyricSampleLineHeight
                                                         : measureLyricSampleLine(s.textStyles[2]);
    s.lyricBox = {Nearest(0.05 * env.screenWidth), Nearest(0.75 * env.screenHeight), Nearest(0.9 * env.screenWidth),
                  1 + sample};
    s.titleBox = scaledBox(env, 0.1, 0.2, 0.8, 0.6);
    s.txtSetting[0] = QStringLiteral("我的图片幻灯");
    return p;
}

Picture Project::newPicture(const QString &path, const ProjectEnvironment &env) const
{
    Picture pic;
    pic.path = path;
    pic.captionBox = newCaptionBox(env);
    pic.headlineBox = defaultHeadlineBox(env);
    pic.headDynamicStyle = env.selectedHeadlineEffect;
    pic.headStyle = headlineStyleFromStyle2();
    return pic;
}

void Project::clearForNew()
{
    pictures.clear();
    settings.backGroundSet = QStringLiteral("1");
    settings.backGroundPicture.clear();
    settings.openingImage.clear();
    settings.endingImage.clear();
    settings.logoImage.clear();
}

float slideSeconds(const Project &project, size_t index)
{
    if (index < project.pictures.size() && project.pictures[index].slideDuration > 0)
        return project.pictures[index].slideDuration;
    return project.settings.timeInterval;
}

} // namespace pvsm
