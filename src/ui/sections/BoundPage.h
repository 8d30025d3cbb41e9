#pragma once

#include "Project.h"
#include "SectionPage.h"
#include "Vocabulary.h"

#include <QLineEdit>

#include <functional>

class QAbstractItemView;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QHBoxLayout;
class QListWidget;
class QPlainTextEdit;
class QRadioButton;
class QToolButton;

namespace pvsm::ui {

class PathListModel;

// The tool-tip of button `index` of the button table, trailing space kept;
// empty for an index the sections do not hold.
QString sectionButtonTip(int index);

// A number box: only digits and the decimal point get in, and its rule runs
// when it loses the focus (or on Return), not on every keystroke.
class NumberBox : public QLineEdit
{
    Q_OBJECT
public:
    explicit NumberBox(QWidget *parent = nullptr);

signals:
    void leave();

protected:
    void focusOutEvent(QFocusEvent *event) override;
};

// A section page whose controls each stand for a setting: it reads them all in
// refresh() and turns every edit into one undo command. The helpers make a
// control, give it its object name and bind it both ways.
class BoundPage : public SectionPage
{
    Q_OBJECT
public:
    BoundPage(EditorContext &context, int section);
    void refresh() final;

protected:
    // The context, also from const members (markerBox()).
    EditorContext &editor() const { return m_editor; }
    using Getter = std::function<QString(const Settings &)>;
    using Setter = std::function<void(Settings &, const QString &)>;

    // Reads what the helpers do not bind (lists, per-picture fields).
    virtual void refreshOwn() {}
    // True while refresh() runs: change signals then come from the page itself.
    bool refreshing() const { return m_refreshing; }
    void onRefresh(std::function<void()> read) { m_readers.push_back(std::move(read)); }

    // True while a job runs and the project must not change; the page then
    // shows the project again, undoing what the user did to the control.
    bool heldByJob();
    // Pushes the change as one command (nothing when it changes nothing).
    void edit(const QString &undoText, const std::function<void(Settings &)> &change, const QString &mergeKey = {});

    QCheckBox *boolCheck(const QString &name, const QString &label, bool Settings::*field, const QString &undoText);
    QRadioButton *option(const QString &name, const QString &label, const std::function<bool(const Settings &)> &chosen,
                         const std::function<void(Settings &)> &choose, const QString &undoText);
    // A combo box of a vocabulary list; `toIndex` / `fromIndex` map the stored value.
    QComboBox *vocabularyCombo(const QString &name, VocabularyList list, const std::function<int(const Settings &)> &toIndex,
                               const std::function<void(Settings &, int)> &fromIndex, const QString &undoText);
    // A single-choice list box of a vocabulary list (stored value = row).
    QListWidget *vocabularyList(const QString &name, VocabularyList list, int32_t Settings::*field,
                                const QString &undoText);
    // A text box; typing until the box loses the focus is one command.
    // `leaveRule` (optional) rewrites the text when the focus leaves.
    QLineEdit *textBox(const QString &name, const Getter &get, const Setter &set, const QString &undoText,
                       const std::function<QString(const QString &)> &leaveRule = {});
    QPlainTextEdit *multiLineBox(const QString &name, const Getter &get, const Setter &set, const QString &undoText);
    // A number box whose rule normalises the text on leaving; `set` stores it.
    NumberBox *numberBox(const QString &name, const Getter &get, const std::function<QString(const QString &)> &rule,
                         const Setter &set, const QString &undoText);
    // Button `index` of the button table with its tool-tip and icon.
    QToolButton *tableButton(int index, const QString &text);
    // The same button, shown but not usable yet.
    QToolButton *laterButton(int index, const QString &text);
    // A merge key that stays the same until `box` loses the focus.
    QString typingKey(QWidget *box) const;

    // A row of buttons from the left, the rest of the row empty.
    static QHBoxLayout *buttonRow(std::initializer_list<QWidget *> buttons);
    // Buttons two to a row, of equal width.
    static QGridLayout *buttonGrid(std::initializer_list<QToolButton *> buttons);
    // Tab order as the eye reads the page, where it differs from the order of making.
    static void chainTabOrder(std::initializer_list<QWidget *> widgets);

    // Standard dialogs of the sections.
    QString choosePicture(const QString &title);
    // The folder the picture dialogs open in, kept with the UI state (QSettings).
    static QString lastPictureFolder();
    static void rememberPictureFolder(const QString &folder);

private:
    EditorContext &m_editor;
    std::vector<std::function<void()>> m_readers;
    bool m_refreshing = false;
};

// Sets the text only when it differs, so that a box being typed into keeps its cursor.
void setTextKeepingCursor(QLineEdit *box, const QString &text);
void setTextKeepingCursor(QPlainTextEdit *box, const QString &text);

// A list view over `model` whose current row follows `current` and reports
// clicks and key moves through `choose`.
QAbstractItemView *makePathListView(const QString &name, PathListModel *model, QWidget *parent);

} // namespace pvsm::ui
