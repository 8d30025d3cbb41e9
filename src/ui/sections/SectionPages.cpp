#include "SectionPage.h"

namespace pvsm::ui {

namespace {

// Until the sections are filled in, each page is an empty frame of its own.
class EmptyPage : public SectionPage
{
public:
    using SectionPage::SectionPage;
    void refresh() override {}
};

} // namespace

std::vector<SectionPage *> makeSectionPages(EditorContext &context)
{
    std::vector<SectionPage *> pages;
    for (int section = 1; section <= 10; ++section) pages.push_back(new EmptyPage(context, section));
    return pages;
}

} // namespace pvsm::ui
