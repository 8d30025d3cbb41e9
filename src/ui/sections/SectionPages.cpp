#include "Sections.h"

namespace pvsm::ui {

std::vector<SectionPage *> makeSectionPages(EditorContext &context)
{
    std::vector<SectionPage *> pages = {makePicturesPage(context),    makeMusicPage(context),
                                        makeBackgroundPage(context),  makeCaptionPage(context),
                                        makeHeadlinePage(context),    makeTransitionsPage(context),
                                        makeLyricsPage(context),      makeTitlesPage(context),
                                        makeInfoPage(context),        makeOtherPage(context)};
    for (SectionPage *page : pages) page->refresh();
    return pages;
}

} // namespace pvsm::ui
