#include "ProjectBounds.h"

#include "NumberRules.h"
#include "ProjectKeys.h"

#include <algorithm>
#include <cmath>

namespace pvsm {

namespace {

class Bounder
{
public:
    QStringList notes;

    // Seconds: not a number or below `low` becomes `fallback`; above `high`, `high`.
    void seconds(float &v, double low, double high, float fallback, const QString &key)
    {
        float to = v;
        if (!std::isfinite(v) || v < low)
            to = fallback;
        else if (v > high)
            to = float(high);
        if (to != v || std::isnan(v)) note(key, numberText(v), numberText(to));
        v = to;
    }
    void clamp(int32_t &v, int32_t low, int32_t high, const QString &key)
    {
        const int32_t to = std::clamp(v, low, high);
        if (to != v) note(key, QString::number(v), QString::number(to));
        v = to;
    }
    // A choice from a list: anything not on it is the default.
    void choice(int32_t &v, std::initializer_list<int32_t> allowed, int32_t fallback, const QString &key)
    {
        if (std::find(allowed.begin(), allowed.end(), v) != allowed.end()) return;
        note(key, QString::number(v), QString::number(fallback));
        v = fallback;
    }
    void range(int32_t &v, int32_t low, int32_t high, int32_t fallback, const QString &key)
    {
        if (v >= low && v <= high) return;
        note(key, QString::number(v), QString::number(fallback));
        v = fallback;
    }
    void box(TextBox &b, int32_t w, int32_t h, const char *xKey, const char *yKey, const char *wKey,
             const char *hKey, int item)
    {
        const auto name = [&](const char *k) {
            return item > 0 ? key::item(k, item) : QString::fromLatin1(k);
        };
        const int32_t mw = kBoxScreens * std::max(w, 1), mh = kBoxScreens * std::max(h, 1);
        clamp(b.x, -mw, mw, name(xKey));
        clamp(b.y, -mh, mh, name(yKey));
        clamp(b.w, 0, mw, name(wKey));
        clamp(b.h, 0, mh, name(hKey));
    }

private:
    void note(const QString &key, const QString &from, const QString &to)
    {
        notes.append(key + QLatin1Char(' ') + from + QStringLiteral(" → ") + to);
    }
};

} // namespace

QStringList BoundProjectNumbers(Project &project, int32_t screenWidth, int32_t screenHeight)
{
    Bounder b;
    Settings &s = project.settings;
    const auto k = [](const char *name) { return QString::fromLatin1(name); };

    b.seconds(s.timeInterval, 0, kMaxSlideSeconds, 10, k(key::TimeInterval));
    b.seconds(s.openingDurationTime, 0, kMaxTitleSeconds, 8, k(key::OpeningDurationTime));
    b.seconds(s.endingDurationTime, 0, kMaxTitleSeconds, 8, k(key::EndingDurationTime));
    b.clamp(s.transitionSpeed, kMinTransitionMs, kMaxTransitionMs, k(key::TransitionSpeed));

    b.range(s.imgDrawScale, 0, 4, 3, k(key::ImgDrawScale));
    b.choice(s.backgroundDrawScale, {2, 4}, 2, k(key::BackgroundDrawScale));
    b.range(s.backgroundGradientMode, 0, 3, 1, k(key::BackgroundGradientMode));
    b.range(s.ssDirectPlay, 0, 2, 0, k(key::ssDirectPlay));
    b.range(s.lyricStyle, 0, 3, 1, k(key::LyricStyle));
    b.range(s.titleStyle, 0, 2, 1, k(key::TitleStyle));
    b.range(s.playMusicOrder, 0, 2, 0, k(key::PlayMusicOrder));
    // -2 test frame, -1 own PNG, 0 none, 1 ... the frames of all ten packages together.
    b.range(s.pictureFrameNum, -2, kMaxPictureFrameNum, 0, k(key::PictureFrameNum));

    for (int i = 1; i <= kTextStyleCount; ++i) {
        TextStyle &t = s.textStyles[size_t(i - 1)];
        b.clamp(t.size, 1, kMaxFontSize, key::item(key::fFontSize, i));
        b.clamp(t.borderWidth, 0, kMaxBorderWidth, key::item(key::fBorderWidth, i));
        b.range(t.align, 0, 8, 8, key::item(key::fFontAlign, i));
        b.range(t.style, 0, 3, 1, key::item(key::fFontStyle, i));
    }
    b.box(s.lyricBox, screenWidth, screenHeight, key::LyricPosX, key::LyricPosY, key::LyricPosW, key::LyricPosH, 0);
    b.box(s.titleBox, screenWidth, screenHeight, key::TitlePosX, key::TitlePosY, key::TitlePosW, key::TitlePosH, 0);

    for (size_t i = 0; i < project.pictures.size(); ++i) {
        Picture &p = project.pictures[i];
        const int n = int(i + 1);
        b.seconds(p.slideDuration, 0, kMaxSlideSeconds, 0, key::item(key::SlideDuration, n));
        b.range(p.headDynamicStyle, 0, kHeadlineEffectCount - 1, 0, key::item(key::HeadDynamicStyle, n));
        b.clamp(p.headStyle.size, 1, kMaxFontSize, key::item(key::HeadSize, n));
        b.clamp(p.headStyle.border, 0, kMaxBorderWidth, key::item(key::HeadBorder, n));
        b.range(p.headStyle.style, 0, 3, 1, key::item(key::HeadStyle, n));
        b.box(p.captionBox, screenWidth, screenHeight, key::CapPosX, key::CapPosY, key::CapPosW, key::CapPosH, n);
        b.box(p.headlineBox, screenWidth, screenHeight, key::HeadPosX, key::HeadPosY, key::HeadPosW, key::HeadPosH,
              n);
    }
    return b.notes;
}

} // namespace pvsm
