#pragma once

#include "SectionPage.h"

namespace pvsm::ui {

// The pages of the ten sections, in the files that build them.
SectionPage *makePicturesPage(EditorContext &context);    // 1
SectionPage *makeMusicPage(EditorContext &context);       // 2
SectionPage *makeBackgroundPage(EditorContext &context);  // 3
SectionPage *makeCaptionPage(EditorContext &context);     // 4
SectionPage *makeHeadlinePage(EditorContext &context);    // 5
SectionPage *makeTransitionsPage(EditorContext &context); // 6
SectionPage *makeLyricsPage(EditorContext &context);      // 7
SectionPage *makeTitlesPage(EditorContext &context);      // 8
SectionPage *makeInfoPage(EditorContext &context);        // 9
SectionPage *makeOtherPage(EditorContext &context);       // 10

} // namespace pvsm::ui
