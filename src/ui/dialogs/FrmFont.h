#pragma once

#include "Project.h"

#include <QDialog>

class QComboBox;
class QListWidget;
class QPushButton;
class QToolButton;

namespace pvsm::ui {

class EditorContext;

// The text style dialog "选择字体风格": edits one text style (its kind is
// one of TextStyleKind) in values of its own. " 确定 " accepts them; any
// other way of closing discards them. The rules of the lists and of the kinds
// are in TextStyleRules.h; the dialog only shows and collects.
class FrmFont : public QDialog
{
    Q_OBJECT
public:
    // `fonts`: the family names to offer (the installed ones when empty).
    FrmFont(int kind, const Settings &settings, QWidget *parent = nullptr, const QStringList &fonts = {});

    int kind() const { return m_kind; }
    // The values as the user has set them so far.
    const TextStyle &values() const { return m_values; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    enum Swatch { StartColour, EndColour, BorderColour };
    QComboBox *list(const QString &name, const QStringList &items);
    QToolButton *swatch(Swatch which, const QString &name, const QString &tip);
    int32_t &colourOf(Swatch which);
    void chooseColour(Swatch which, const QString &tip);
    void showColour(Swatch which);
    void load(const QStringList &fonts);

    int m_kind;
    TextStyle m_values;
    bool m_loading = false;
    QListWidget *m_name;
    QComboBox *m_size, *m_align, *m_pattern, *m_border, *m_style;
    QToolButton *m_swatches[3];
    QPushButton *m_confirm;
};

// Opens the dialog for `kind` over `parent` and, when the user confirms,
// pushes the values as one command (nothing when they change nothing).
void editTextStyle(EditorContext &context, int kind, QWidget *parent);

// The confirm step alone: stores `values` for `kind` (the headline also into
// the current picture) as one command on the context's undo stack.
void pushTextStyle(EditorContext &context, int kind, const TextStyle &values);

} // namespace pvsm::ui
