#include "BoundPage.h"

#include "EditorContext.h"
#include "NumberRules.h"
#include "PathListModel.h"
#include "ProjectLists.h"
#include "SettingsCommands.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QListView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSettings>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QValidator>

namespace pvsm::ui {

namespace {

struct ButtonRow
{
    int index;
    const char *tip;
    const char *themeIcon;
    QStyle::StandardPixmap fallback;
};

// The buttons that sit inside the sections.
const ButtonRow kButtons[] = {
    {18, "全屏幕预览当前图片 ", "view-fullscreen", QStyle::SP_TitleBarMaxButton},
    {19, "添加一个文件夹里面的图片到图片幻灯中 ", "folder-open", QStyle::SP_DirOpenIcon},
    {20, "添加图片到图片幻灯中 ", "list-add", QStyle::SP_FileDialogNewFolder},
    {21, "从列表中删除当前选中的图片 ", "list-remove", QStyle::SP_TrashIcon},
    {22, "将当前选中的图片在列表顺序中上移一位 ", "go-up", QStyle::SP_ArrowUp},
    {23, "将当前选中的图片在列表顺序中下移一位 ", "go-down", QStyle::SP_ArrowDown},
    {24, "从列表中清除所有图片 ", "edit-clear", QStyle::SP_DialogResetButton},
    {25, "添加背景音乐(.mp3, .wma, .wav, .mid)到图片幻灯中 ", "list-add", QStyle::SP_MediaVolume},
    {26, "从列表中删除当前选中的音乐文件 ", "list-remove", QStyle::SP_TrashIcon},
    {27, "将当前选中的音乐文件在列表顺序中上移一位 ", "go-up", QStyle::SP_ArrowUp},
    {28, "将当前选中的音乐文件在列表顺序中下移一位 ", "go-down", QStyle::SP_ArrowDown},
    {29, "从列表中清除所有音乐文件 ", "edit-clear", QStyle::SP_DialogResetButton},
    {30, "选择一张图片作为图片幻灯的背景 ", "insert-image", QStyle::SP_FileDialogContentsView},
    {31, "选择静态文字的大小、颜色等 ", "preferences-desktop-font", QStyle::SP_FileDialogDetailedView},
    {32, "选中所有图片切换特效 ", "edit-select-all", QStyle::SP_DialogApplyButton},
    {33, "不选中任何图片切换特效 ", "edit-select-none", QStyle::SP_DialogCancelButton},
    {34, "选择一张需要在片尾显示的图片 ", "insert-image", QStyle::SP_FileDialogContentsView},
    {35, "设置动态歌词字体 ", "preferences-desktop-font", QStyle::SP_FileDialogDetailedView},
    {36, "选择动态文字的大小、颜色等 ", "preferences-desktop-font", QStyle::SP_FileDialogDetailedView},
    {37, "选择一张需要在片头显示的图片 ", "insert-image", QStyle::SP_FileDialogContentsView},
    {38, "选择一张图片在打开图片幻灯时显示的Logo图片 ", "insert-image", QStyle::SP_FileDialogContentsView},
    {39, "指定一個目录让程序自动寻找对应的歌词文件 ", "folder-open", QStyle::SP_DirOpenIcon},
    {40, "选择歌词文字的大小、颜色等 ", "preferences-desktop-font", QStyle::SP_FileDialogDetailedView},
    {41, "选择片头或片尾文字的大小、颜色等 ", "preferences-desktop-font", QStyle::SP_FileDialogDetailedView},
    {42, "把静态文字和位置应用到所有已存在的图片 ", "edit-copy", QStyle::SP_DialogApplyButton},
    {43, "为每张图片设置不同的持续/间隔时间 ", "chronometer", QStyle::SP_BrowserReload},
    {44, "选择透明PNG图片作为相框；或添加一个*.frame相框包到程序中 ", "insert-image", QStyle::SP_FileDialogContentsView},
    {50, "为完整图片幻灯文件自定义一个图标 ", "preferences-desktop-icons", QStyle::SP_ComputerIcon},
};

const ButtonRow *buttonTableRow(int index)
{
    for (const ButtonRow &row : kButtons)
        if (row.index == index) return &row;
    return nullptr;
}

// Only the keystrokes a time box takes; a paste of anything else is refused whole.
class TimeBoxValidator : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        for (const QChar c : input)
            if (!isTimeBoxKeystroke(c)) return Invalid;
        return Acceptable;
    }
};

// Counts how often a box lost the focus: the typing between two counts is one command.
class TypingSession : public QObject
{
public:
    using QObject::QObject;
    int count = 0;
    std::function<void()> beforeNext; // runs when the focus leaves, before the count moves on

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::FocusOut) {
            if (beforeNext) beforeNext();
            ++count;
        }
        return QObject::eventFilter(watched, event);
    }
};

TypingSession *typingSession(QWidget *box)
{
    static const char *const kKey = "pvsmTypingSession";
    if (auto *known = box->property(kKey).value<QObject *>()) return static_cast<TypingSession *>(known);
    auto *session = new TypingSession(box);
    box->installEventFilter(session);
    box->setProperty(kKey, QVariant::fromValue<QObject *>(session));
    return session;
}

} // namespace

QString sectionButtonTip(int index)
{
    const ButtonRow *row = buttonTableRow(index);
    return row ? QString::fromUtf8(row->tip) : QString();
}

NumberBox::NumberBox(QWidget *parent) : QLineEdit(parent)
{
    setValidator(new TimeBoxValidator(this));
    connect(this, &QLineEdit::returnPressed, this, &NumberBox::leave);
}

void NumberBox::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    emit leave();
}

void setTextKeepingCursor(QLineEdit *box, const QString &text)
{
    if (box->text() != text) box->setText(text);
}

void setTextKeepingCursor(QPlainTextEdit *box, const QString &text)
{
    if (box->toPlainText() != text) box->setPlainText(text);
}

QAbstractItemView *makePathListView(const QString &name, PathListModel *model, QWidget *parent)
{
    auto *view = new QListView(parent);
    view->setObjectName(name);
    view->setModel(model);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setUniformItemSizes(true);
    view->setTextElideMode(Qt::ElideMiddle);
    return view;
}

BoundPage::BoundPage(EditorContext &context, int section) : SectionPage(context, section), m_editor(context)
{
    connect(&context, &EditorContext::projectChanged, this, &BoundPage::refresh);
    connect(&context, &EditorContext::currentPictureChanged, this, &BoundPage::refresh);
    connect(&context, &EditorContext::currentSongChanged, this, &BoundPage::refresh);
}

void BoundPage::refresh()
{
    if (m_refreshing) return;
    m_refreshing = true;
    for (const auto &read : m_readers) read();
    refreshOwn();
    m_refreshing = false;
}

void BoundPage::edit(const QString &undoText, const std::function<void(Settings &)> &change, const QString &mergeKey)
{
    if (!m_refreshing && !heldByJob()) pushSettingsChange(context(), undoText, change, mergeKey);
}

bool BoundPage::heldByJob()
{
    if (!context().busy()) return false;
    // The edit is refused: the control goes back to what the project holds.
    QTimer::singleShot(0, this, &BoundPage::refresh);
    return true;
}

QString BoundPage::typingKey(QWidget *box) const
{
    return box->objectName() + QLatin1Char('#') + QString::number(typingSession(box)->count);
}

QCheckBox *BoundPage::boolCheck(const QString &name, const QString &label, bool Settings::*field,
                                const QString &undoText)
{
    auto *box = new QCheckBox(label, this);
    box->setObjectName(name);
    onRefresh([this, box, field] { box->setChecked(context().project().settings.*field); });
    connect(box, &QCheckBox::toggled, this,
            [this, field, undoText](bool on) { edit(undoText, [&](Settings &s) { s.*field = on; }); });
    return box;
}

QRadioButton *BoundPage::option(const QString &name, const QString &label,
                                const std::function<bool(const Settings &)> &chosen,
                                const std::function<void(Settings &)> &choose, const QString &undoText)
{
    auto *button = new QRadioButton(label, this);
    button->setObjectName(name);
    onRefresh([this, button, chosen] { button->setChecked(chosen(context().project().settings)); });
    connect(button, &QRadioButton::toggled, this, [this, choose, undoText](bool on) {
        if (on) edit(undoText, choose);
    });
    return button;
}

QComboBox *BoundPage::vocabularyCombo(const QString &name, VocabularyList list,
                                      const std::function<int(const Settings &)> &toIndex,
                                      const std::function<void(Settings &, int)> &fromIndex, const QString &undoText)
{
    auto *combo = new QComboBox(this);
    combo->setObjectName(name);
    for (const VocabularyEntry &e : vocabulary(list)) combo->addItem(QString::fromUtf8(e.text));
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    onRefresh([this, combo, toIndex] { combo->setCurrentIndex(toIndex(context().project().settings)); });
    connect(combo, &QComboBox::currentIndexChanged, this, [this, fromIndex, undoText](int index) {
        if (index >= 0) edit(undoText, [&](Settings &s) { fromIndex(s, index); });
    });
    return combo;
}

QListWidget *BoundPage::vocabularyList(const QString &name, VocabularyList list, int32_t Settings::*field,
                                       const QString &undoText)
{
    auto *box = new QListWidget(this);
    box->setObjectName(name);
    for (const VocabularyEntry &e : vocabulary(list)) box->addItem(QString::fromUtf8(e.text));
    box->setSelectionMode(QAbstractItemView::SingleSelection);
    onRefresh([this, box, field] { box->setCurrentRow(context().project().settings.*field); });
    connect(box, &QListWidget::currentRowChanged, this, [this, field, undoText](int row) {
        if (row >= 0) edit(undoText, [&](Settings &s) { s.*field = row; });
    });
    return box;
}

QLineEdit *BoundPage::textBox(const QString &name, const Getter &get, const Setter &set, const QString &undoText,
                              const std::function<QString(const QString &)> &leaveRule)
{
    auto *box = new QLineEdit(this);
    box->setObjectName(name);
    onRefresh([this, box, get] { setTextKeepingCursor(box, get(context().project().settings)); });
    connect(box, &QLineEdit::textEdited, this, [this, box, set, undoText](const QString &text) {
        edit(undoText, [&](Settings &s) { set(s, text); }, typingKey(box));
    });
    if (leaveRule) {
        // The rule's rewrite belongs to the typing it ends: same command.
        typingSession(box)->beforeNext = [this, box, set, undoText, leaveRule] {
            const QString ruled = leaveRule(box->text());
            if (ruled == box->text()) return;
            box->setText(ruled);
            edit(undoText, [&](Settings &s) { set(s, ruled); }, typingKey(box));
        };
    }
    return box;
}

QPlainTextEdit *BoundPage::multiLineBox(const QString &name, const Getter &get, const Setter &set,
                                        const QString &undoText)
{
    auto *box = new QPlainTextEdit(this);
    box->setObjectName(name);
    box->setTabChangesFocus(true);
    onRefresh([this, box, get] { setTextKeepingCursor(box, get(context().project().settings)); });
    connect(box, &QPlainTextEdit::textChanged, this, [this, box, set, undoText] {
        edit(undoText, [&](Settings &s) { set(s, box->toPlainText()); }, typingKey(box));
    });
    return box;
}

NumberBox *BoundPage::numberBox(const QString &name, const Getter &get,
                                const std::function<QString(const QString &)> &rule, const Setter &set,
                                const QString &undoText)
{
    auto *box = new NumberBox(this);
    box->setObjectName(name);
    box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("0000.000")) + 16);
    onRefresh([this, box, get] { setTextKeepingCursor(box, get(context().project().settings)); });
    connect(box, &NumberBox::leave, this, [this, box, rule, set, undoText] {
        if (refreshing()) return;
        const QString ruled = rule(box->text());
        setTextKeepingCursor(box, ruled);
        edit(undoText, [&](Settings &s) { set(s, ruled); });
    });
    return box;
}

QToolButton *BoundPage::tableButton(int index, const QString &text)
{
    auto *button = new QToolButton(this);
    button->setObjectName(QStringLiteral("PicBtn_%1").arg(index));
    button->setText(text);
    button->setToolTip(sectionButtonTip(index));
    if (const ButtonRow *row = buttonTableRow(index))
        button->setIcon(QIcon::fromTheme(QString::fromLatin1(row->themeIcon), style()->standardIcon(row->fallback)));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    return button;
}

QToolButton *BoundPage::laterButton(int index, const QString &text)
{
    QToolButton *button = tableButton(index, text);
    button->setEnabled(false);
    return button;
}

QHBoxLayout *BoundPage::buttonRow(std::initializer_list<QWidget *> buttons)
{
    auto *row = new QHBoxLayout;
    for (QWidget *b : buttons) row->addWidget(b);
    row->addStretch();
    return row;
}

QGridLayout *BoundPage::buttonGrid(std::initializer_list<QToolButton *> buttons)
{
    auto *grid = new QGridLayout;
    int i = 0;
    for (QToolButton *b : buttons) {
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        grid->addWidget(b, i / 2, i % 2);
        ++i;
    }
    return grid;
}

void BoundPage::chainTabOrder(std::initializer_list<QWidget *> widgets)
{
    QWidget *previous = nullptr;
    for (QWidget *w : widgets) {
        if (previous) setTabOrder(previous, w);
        previous = w;
    }
}

QString BoundPage::choosePicture(const QString &title)
{
    const QString path = QFileDialog::getOpenFileName(this, title, lastPictureFolder(), pictureDialogFilter());
    if (!path.isEmpty()) rememberPictureFolder(QFileInfo(path).absolutePath());
    return path;
}

QString BoundPage::lastPictureFolder()
{
    return QSettings().value(QStringLiteral("sections/lastPictureFolder")).toString();
}

void BoundPage::rememberPictureFolder(const QString &folder)
{
    QSettings().setValue(QStringLiteral("sections/lastPictureFolder"), folder);
}

} // namespace pvsm::ui
