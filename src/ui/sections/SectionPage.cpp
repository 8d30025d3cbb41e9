#include "SectionPage.h"

namespace pvsm::ui {

SectionPage::SectionPage(EditorContext &context, int section, QWidget *parent)
    : QWidget(parent), m_context(context), m_section(section)
{
    setObjectName(QStringLiteral("FraCT_%1").arg(section - 1));
}

} // namespace pvsm::ui
