#pragma once

#include <QString>

#include <span>

namespace pvsm {

// One entry of a fixed list of the main window. `value` is what the project
// stores when the entry is chosen; for most lists it equals the entry's index.
struct VocabularyEntry
{
    int value;
    const char *text;  // UTF-8, exactly as shown to the user
    int variants = 1;  // effects only: the number in brackets of the text
    bool needsAcceleration = false; // effects only: marked "(#)"
};

enum class VocabularyList {
    ScaleMode,          // ImgDrawScale
    GradientMode,       // BackgroundGradientMode
    BackgroundPictureMode, // BackgroundDrawScale (list index * 2 + 2)
    PlayMode,           // ssDirectPlay
    LyricStyle,         // LyricStyle
    TitleStyle,         // TitleStyle
    HeadlineEffect,     // HeadDynamicStyle
    Transition,         // StyleSelect (by position)
};

std::span<const VocabularyEntry> vocabulary(VocabularyList list);
QString vocabularyText(VocabularyList list, int index);
// Index of the entry selected when the window starts.
int vocabularyDefaultIndex(VocabularyList list);

inline constexpr int kTransitionCount = 23;
inline constexpr int kHeadlineEffectCount = 9;

} // namespace pvsm
