#pragma once

#include <QRect>
#include <QWidget>

#include <optional>
#include <vector>

namespace pvsm::ui {

class EditorContext;

// One of the ten editing sections of the main window (the frames FraCT_0 to
// FraCT_9; section button n shows frame n - 1). A page shows the settings it
// owns, reads them again in refresh(), and changes them only through undo
// commands pushed on the context. Pages hold no rules: number checks, list
// changes and geometry are core functions.
class SectionPage : public QWidget
{
    Q_OBJECT
public:
    SectionPage(EditorContext &context, int section, QWidget *parent = nullptr);

    int section() const { return m_section; }  // 1 .. 10
    EditorContext &context() { return m_context; }

    // Reads the project again (after any change, undo, New or Open).
    virtual void refresh() = 0;
    // The text box whose marker the editing view shows while this section is
    // current, in stored screen pixels of the editing screen (none: no marker).
    virtual std::optional<QRect> markerBox() const { return std::nullopt; }

private:
    EditorContext &m_context;
    int m_section;
};

// The ten pages in section order; the window owns them once it adds them.
std::vector<SectionPage *> makeSectionPages(EditorContext &context);

} // namespace pvsm::ui
