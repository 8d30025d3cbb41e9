#pragma once

#include "Project.h"

#include <QColor>
#include <QStringList>
#include <QVector>

namespace pvsm {

// The rules of the text style dialog (FrmFont): which style a kind edits,
// what its lists hold, how a stored value selects a list entry and how a
// chosen entry becomes a stored value. The dialog only shows them.

// What the dialog edits; the caller picks the kind before it opens.
enum TextStyleKind : int32_t {
    kStyleCaption = 1,        // text style 1
    kStyleHeadline = 2,       // text style 2 and the current picture's Head* copy
    kStyleLyrics = 3,         // text style 3
    kStyleTitles = 4,         // text style 4
    kStyleLyricHighlight = 5, // the three LyricDynamicFont* settings
};

// Project colours are 0x00BBGGRR: red is the low byte.
QColor colorFromBgr(int32_t bgr);
int32_t bgrFromColor(const QColor &color);

// The size list: 16, 24, ... in steps of 8, up to 200 for the titles and up
// to 112 for every other kind.
QVector<int32_t> styleSizeList(int kind);
// The entry of `size` in the size list; -1 for a size the list does not hold
// (the dialog then selects nothing and the size stays as stored).
int styleSizeIndex(int kind, int32_t size);

// The fill patterns as the list shows them. The headline cannot be drawn in
// rainbow colours, so its list leaves that entry out.
QStringList stylePatternItems(int kind);
// The list entry of a stored pattern (0, 2, ... 18): pattern / 2; for the
// headline a stored rainbow (2) shows as the fixed colour and the later
// entries move up by one. -1 for a value outside the list.
int stylePatternIndex(int kind, int32_t pattern);
// The stored pattern of list entry `index` (the inverse of the above).
int32_t stylePatternValue(int kind, int index);

// "左上" ... "右下": the entry's index is the alignment value.
QStringList styleAlignItems();
// "正常" ... "粗斜体": the entry's index is the font style value.
QStringList styleFontStyleItems();
inline constexpr int kStyleMaxBorderWidth = 5; // the border list is 0 ... 5

// Which controls the user may change for a kind: the alignment only for the
// caption; for the lyric highlight only the pattern and the two fill colours
// (the rest is shown from the lyric style, for reference).
struct StyleDialogControls
{
    bool fontName = true, size = true, align = true, pattern = true, borderWidth = true, fontStyle = true;
    bool startColor = true, endColor = true, borderColor = true;
    bool operator==(const StyleDialogControls &) const = default;
};
StyleDialogControls styleDialogControls(int kind);

// The dialog's values when it opens: text style `kind` for kinds 1 to 4; for
// the lyric highlight its pattern and two colours over text style 3. A pattern
// that selects a list entry takes that entry's value (a headline's rainbow
// loads as the fixed colour, an odd value as the even one below it); one
// outside the list is kept, as are a size or font name the lists lack.
TextStyle loadStyleDialogValues(const Settings &settings, int kind);

// Stores the dialog's values on confirm. For the headline `current` (the
// picture selected in the picture list, or null) also takes style 2's copy
// into its Head* settings; the font name stays style 2's for every picture.
void storeStyleDialogValues(Settings &settings, Picture *current, int kind, const TextStyle &values);

} // namespace pvsm
