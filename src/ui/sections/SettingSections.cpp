// The sections made of settings: background (3), caption (4), headline (5),
// transitions (6), opening and ending (8), slideshow information (9) and the
// other settings (10).
#include "BoundPage.h"
#include "EditorContext.h"
#include "FrmFont.h"
#include "GuiPrompter.h"
#include "IconChoice.h"
#include "IconChooser.h"
#include "NumberRules.h"
#include "PictureListCommands.h"
#include "ProjectSession.h"
#include "Sections.h"
#include "SettingsCommands.h"
#include "TextStyleRules.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

namespace pvsm::ui {

namespace {

QIcon swatch(const QColor &colour)
{
    QPixmap pixmap(28, 16);
    pixmap.fill(colour);
    QPainter painter(&pixmap);
    painter.setPen(Qt::darkGray);
    painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    return QIcon(pixmap);
}

QRect rectOf(const TextBox &b) { return QRect(b.x, b.y, b.w, b.h); }

// A page that also edits fields of the current picture.
class PicturePage : public BoundPage
{
public:
    using BoundPage::BoundPage;

protected:
    const Picture *currentPicture() const
    {
        const int i = editor().currentPicture();
        const auto &pictures = editor().project().pictures;
        return i >= 0 && size_t(i) < pictures.size() ? &pictures[size_t(i)] : nullptr;
    }

    // A text box of the current picture; none without a current picture or
    // while its text is empty (nothing to place).
    std::optional<QRect> boxOfCurrent(TextBox Picture::*box, QString Picture::*text) const
    {
        const Picture *p = currentPicture();
        return p && !(p->*text).isEmpty() ? std::optional(rectOf(p->*box)) : std::nullopt;
    }

    void editPicture(const QString &undoText, const std::function<void(Picture &)> &change, const QString &key = {})
    {
        if (!refreshing() && !heldByJob()) pushPictureChange(context(), undoText, context().currentPicture(), change, key);
    }

    // A text of the current picture, greyed while there is none.
    template <typename Box>
    Box *pictureText(const QString &name, QString Picture::*field, const QString &undoText)
    {
        auto *box = new Box(this);
        box->setObjectName(name);
        onRefresh([this, box, field] {
            const Picture *p = currentPicture();
            box->setEnabled(p != nullptr);
            setTextKeepingCursor(box, p ? p->*field : QString());
        });
        auto changed = [this, box, field, undoText] {
            const QString text = [box] {
                if constexpr (std::is_same_v<Box, QPlainTextEdit>) return box->toPlainText();
                else return box->text();
            }();
            // The key holds the picture too: typing goes on per picture.
            editPicture(undoText, [&](Picture &p) { p.*field = text; },
                        typingKey(box) + QLatin1Char('@') + QString::number(context().currentPicture()));
        };
        if constexpr (std::is_same_v<Box, QPlainTextEdit>) {
            box->setTabChangesFocus(true);
            connect(box, &QPlainTextEdit::textChanged, this, changed);
        } else {
            connect(box, &QLineEdit::textEdited, this, changed);
        }
        return box;
    }

    // A label that shows a path of the settings (plain text, shortened in the middle).
    QLabel *pathLabel(const QString &name, const std::function<QString(const Settings &)> &get)
    {
        auto *label = new QLabel(this);
        label->setObjectName(name);
        label->setTextFormat(Qt::PlainText);
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        onRefresh([this, label, get] {
            const QString path = QDir::toNativeSeparators(get(context().project().settings));
            label->setText(path.isEmpty() ? QStringLiteral("（无）")
                                          : label->fontMetrics().elidedText(path, Qt::ElideMiddle, std::max(label->width(), 200)));
            label->setToolTip(path);
        });
        return label;
    }

    // Button `index` asks for a picture and stores it through `set`.
    QToolButton *pictureButton(int index, const QString &text, const QString &dialogTitle, const QString &undoText,
                               const std::function<void(Settings &, const QString &)> &set)
    {
        QToolButton *button = tableButton(index, text);
        connect(button, &QToolButton::clicked, this, [this, dialogTitle, undoText, set] {
            const QString path = choosePicture(dialogTitle);
            if (!path.isEmpty()) edit(undoText, [&](Settings &s) { set(s, path); });
        });
        return button;
    }

    // Button `index` opens the text style dialog for `kind`.
    QToolButton *styleButton(int index, const QString &text, int kind)
    {
        QToolButton *button = tableButton(index, text);
        connect(button, &QToolButton::clicked, this, [this, kind] { editTextStyle(context(), kind, this); });
        return button;
    }

    QToolButton *colourButton(const QString &name, const QString &tip, int32_t Settings::*field)
    {
        auto *button = new QToolButton(this);
        button->setObjectName(name);
        button->setToolTip(tip);
        button->setAccessibleName(tip);
        button->setIconSize(QSize(28, 16));
        onRefresh([this, button, field] { button->setIcon(swatch(colorFromBgr(context().project().settings.*field))); });
        connect(button, &QToolButton::clicked, this, [this, tip, field] {
            const QColor chosen = QColorDialog::getColor(colorFromBgr(context().project().settings.*field), this, tip);
            if (chosen.isValid()) edit(QStringLiteral("修改背景颜色"), [&](Settings &s) { s.*field = bgrFromColor(chosen); });
        });
        return button;
    }
};

QLabel *buddyLabel(const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text, buddy->parentWidget());
    label->setBuddy(buddy);
    return label;
}

class BackgroundPage : public PicturePage
{
public:
    explicit BackgroundPage(EditorContext &context) : PicturePage(context, 3)
    {
        auto *scale = vocabularyCombo(QStringLiteral("ComboPhotoScale"), VocabularyList::ScaleMode,
                                      [](const Settings &s) { return s.imgDrawScale; },
                                      [](Settings &s, int i) { s.imgDrawScale = i; }, QStringLiteral("修改图片显示方式"));
        auto *scaleRow = new QHBoxLayout;
        scaleRow->addWidget(buddyLabel(QStringLiteral("图片显示方式(&D)"), scale));
        scaleRow->addWidget(scale, 1);

        auto *background = new QGroupBox(QStringLiteral("背景"), this);
        auto *grid = new QGridLayout(background);
        const char *kinds[] = {"纯色背景(&S)", "渐变背景(&G)", "图片背景(&I)"};
        QRadioButton *kind[3];
        for (int k = 0; k < 3; ++k) {
            const QString value = QString::number(k + 1);
            kind[k] = option(QStringLiteral("OptBK_%1").arg(k), QString::fromUtf8(kinds[k]),
                             [value](const Settings &s) { return s.backGroundSet == value; },
                             [value](Settings &s) { s.backGroundSet = value; }, QStringLiteral("修改背景"));
        }
        auto *solid = colourButton(QStringLiteral("PicSolidColor"), QStringLiteral("背景颜色"), &Settings::solidColor);
        auto *begin = colourButton(QStringLiteral("PicBeginColor"), QStringLiteral("渐变开始颜色"), &Settings::beginColor);
        auto *end = colourButton(QStringLiteral("PicEndColor"), QStringLiteral("渐变结束颜色"), &Settings::endColor);
        auto *gradient = vocabularyCombo(QStringLiteral("CboBackgroundGradient"), VocabularyList::GradientMode,
                                         [](const Settings &s) { return s.backgroundGradientMode; },
                                         [](Settings &s, int i) { s.backgroundGradientMode = i; },
                                         QStringLiteral("修改渐变方向"));
        auto *choose = pictureButton(30, QStringLiteral("选择图片(&P)..."), QStringLiteral("选择背景图片"),
                                     QStringLiteral("设置背景图片"), [](Settings &s, const QString &path) {
                                         s.backGroundPicture = path;
                                         s.backGroundSet = QStringLiteral("3");
                                     });
        auto *mode = vocabularyCombo(QStringLiteral("CboBackgroundPictureMode"), VocabularyList::BackgroundPictureMode,
                                     [](const Settings &s) { return s.backgroundDrawScale == 4 ? 1 : 0; },
                                     [](Settings &s, int i) { s.backgroundDrawScale = i * 2 + 2; },
                                     QStringLiteral("修改背景图片方式"));
        // Each kind on its row, its settings beside and under it.
        grid->addWidget(kind[0], 0, 0);
        grid->addWidget(solid, 0, 1, Qt::AlignLeft);
        grid->addWidget(kind[1], 1, 0);
        auto *colours = new QHBoxLayout;
        colours->addWidget(begin);
        colours->addWidget(end);
        colours->addStretch();
        grid->addLayout(colours, 1, 1);
        grid->addWidget(gradient, 2, 1);
        grid->addWidget(kind[2], 3, 0);
        grid->addWidget(choose, 3, 1, Qt::AlignLeft);
        grid->addWidget(mode, 4, 1);
        grid->addWidget(pathLabel(QStringLiteral("LblBackgroundPicture"), [](const Settings &s) { return s.backGroundPicture; }),
                        5, 1);
        grid->setColumnStretch(1, 1);
        chainTabOrder({scale, kind[0], solid, kind[1], begin, end, gradient, kind[2], choose, mode});

        auto *state = new QGroupBox(QStringLiteral("图片状态"), this);
        auto *stateRow = new QHBoxLayout(state);
        const char *states[] = {"静态(&T)", "动态漂移(&Y)"};
        for (int k = 0; k < 2; ++k)
            stateRow->addWidget(option(QStringLiteral("OptPhotoState_%1").arg(k), QString::fromUtf8(states[k]),
                                       [k](const Settings &s) { return s.enableFloating == (k == 1); },
                                       [k](Settings &s) { s.enableFloating = k == 1; }, QStringLiteral("修改图片状态")));
        stateRow->addStretch();

        // The title's mnemonic takes the focus to the list.
        auto *frame = new QGroupBox(QStringLiteral("相框(&K)"), this);
        frame->setObjectName(QStringLiteral("FraPictureFrame"));
        m_frames = new QListWidget(frame);
        m_frames->setObjectName(QStringLiteral("ListPicFrame"));
        m_frames->setToolTip(QStringLiteral("选择放在每张图片上面的相框"));
        m_frameHint = new QLabel(QStringLiteral("选择一张带透明区域的 PNG 图片作为相框，或加入一个 *.frame 相框包"), frame);
        m_frameHint->setObjectName(QStringLiteral("LblPictureFrameHint"));
        m_frameHint->setWordWrap(true);
        m_frameChooser = tableButton(44, QStringLiteral("选择相框(&F)..."));
        auto *chooserRow = new QHBoxLayout;
        chooserRow->addWidget(m_frameChooser, 0, Qt::AlignTop);
        chooserRow->addWidget(m_frameHint, 1);
        auto *frameLayout = new QVBoxLayout(frame);
        frameLayout->addWidget(m_frames, 1);
        frameLayout->addLayout(chooserRow);
        fillFrames();
        onRefresh([this] { showFrame(); });
        connect(m_frames, &QListWidget::currentRowChanged, this, [this](int row) { frameRowChosen(row); });
        connect(m_frameChooser, &QToolButton::clicked, this, [this] { chooseFrameFile(); });

        auto *layout = new QVBoxLayout(this);
        layout->addLayout(scaleRow);
        layout->addWidget(background);
        layout->addWidget(state);
        layout->addWidget(frame, 1);
    }

private:
    // Refills the list from the packages; the row shown follows the project.
    void fillFrames()
    {
        m_frameList = ListPicFrame(context().framePackages());
        const QSignalBlocker block(m_frames);
        m_frames->clear();
        for (const FrameListEntry &e : m_frameList) m_frames->addItem(e.text);
        // Four rows and the chooser beside them without a scroll bar for the
        // built-in packages' first frames.
        m_frames->setMinimumHeight(m_frames->sizeHintForRow(0) * 5 + 2 * m_frames->frameWidth());
        showFrame();
    }

    const FrameListEntry *entryAt(int row) const
    {
        return row >= 0 && row < int(m_frameList.size()) ? &m_frameList[size_t(row)] : nullptr;
    }

    // The list shows the project's frame; the own-PNG entry, once chosen,
    // stays chosen (with its chooser) until the user leaves it.
    void showFrame()
    {
        const Settings &s = context().project().settings;
        const FrameListEntry *current = entryAt(m_frames->currentRow());
        const bool keepOwn = current && current->kind == FrameEntryKind::OwnPng && m_ownChosen
                             && (s.pictureFrameNum == -1 || s.pictureFrameNum == m_numWhenOwnChosen);
        const int row = keepOwn ? m_frames->currentRow() : FrameListRow(m_frameList, s.pictureFrameNum);
        {
            const QSignalBlocker block(m_frames);
            m_frames->setCurrentRow(row);
        }
        const FrameListEntry *shown = entryAt(row);
        const bool own = shown && shown->kind == FrameEntryKind::OwnPng;
        m_frameHint->setVisible(own);
        m_frameChooser->setVisible(own);
        m_frames->setEnabled(!context().busy());
    }

    void frameRowChosen(int row)
    {
        const FrameListEntry *entry = entryAt(row);
        if (refreshing() || !entry) return;
        if (heldByJob()) return;
        m_ownChosen = entry->kind == FrameEntryKind::OwnPng;
        m_numWhenOwnChosen = context().project().settings.pictureFrameNum;
        const FrameSelection chosen =
            SelectFrameEntry(*entry, context().framePackages(), context().workspace(), context().project().settings);
        if (chosen.openHelp) emit context().helpRequested(QStringLiteral("frame"));
        if (chosen.frameChanged) {
            edit(QStringLiteral("修改相框"), [&](Settings &s) { s.pictureFrameNum = chosen.choice.pictureFrameNum; });
        }
        // "更多相框下载..." only opens the help: the list goes back to the frame.
        showFrame();
    }

    void chooseFrameFile()
    {
        if (heldByJob()) return;
        const QString path = QFileDialog::getOpenFileName(
            this, QStringLiteral("选择相框"), lastPictureFolder(),
            frameText::chooserFilterName() + QStringLiteral(" (*.png *.Png *.PNG *.frame *.FRAME)"));
        if (path.isEmpty()) return;
        rememberPictureFolder(QFileInfo(path).absolutePath());
        const AddFrameOutcome added = AddFrameFile(path, context().workspace());
        switch (added.kind) {
        case AddFrameOutcome::ResetFrame:
            edit(QStringLiteral("修改相框"), [](Settings &s) { s.pictureFrameNum = 0; });
            break;
        case AddFrameOutcome::OwnPng:
            edit(QStringLiteral("设置自定义相框"), [&](Settings &s) {
                s.pictureFrameNum = added.choice.pictureFrameNum;
                s.pictureFrameImage = added.image;
            });
            break;
        case AddFrameOutcome::Added:
            context().reloadFramePackages();
            if (!added.copyright.isEmpty())
                context().prompter().ask(added.copyright, PromptButtons::Ok, PromptIcon::Information,
                                         frameText::copyrightTitle());
            // "无" is chosen after every refill.
            m_ownChosen = false;
            edit(QStringLiteral("修改相框"), [](Settings &s) { s.pictureFrameNum = 0; });
            fillFrames();
            break;
        default:
            context().prompter().inform(added.message, PromptIcon::Information);
            break;
        }
        showFrame();
    }

    QListWidget *m_frames = nullptr;
    QLabel *m_frameHint = nullptr;
    QToolButton *m_frameChooser = nullptr;
    std::vector<FrameListEntry> m_frameList;
    bool m_ownChosen = false;
    int32_t m_numWhenOwnChosen = 0;
};

class CaptionPage : public PicturePage
{
public:
    explicit CaptionPage(EditorContext &context) : PicturePage(context, 4)
    {
        auto *enable = boolCheck(QStringLiteral("ChkEnableCaption"), QStringLiteral("显示静态文字(&S)"),
                                 &Settings::enableCaption, QStringLiteral("修改显示静态文字"));
        auto *fileName = boolCheck(QStringLiteral("ChkFilenameAsCaption"), QStringLiteral("用文件名作为静态文字(&N)"),
                                   &Settings::filenameAsCaption, QStringLiteral("修改用文件名作为静态文字"));
        auto *text = pictureText<QPlainTextEdit>(QStringLiteral("TxtCaption"), &Picture::caption,
                                                 QStringLiteral("修改静态文字"));
        auto *style = styleButton(31, QStringLiteral("文字样式(&Y)..."), kStyleCaption);
        auto *all = tableButton(42, QStringLiteral("应用到所有图片(&A)"));
        connect(all, &QToolButton::clicked, this, [this] {
            if (this->context().busy() || !currentPicture()) return;
            this->context().push(new ApplyCaptionToAllCommand(this->context(), this->context().currentPicture()));
            this->context().prompter().inform(QStringLiteral("设置完成"), PromptIcon::Information);
        });
        onRefresh([this, all] { all->setEnabled(currentPicture() != nullptr); });

        auto *buttons = buttonRow({style, all});
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(enable);
        layout->addWidget(fileName);
        layout->addWidget(buddyLabel(QStringLiteral("当前图片的静态文字(&T)"), text));
        layout->addWidget(text, 1);
        layout->addLayout(buttons);
    }

    std::optional<QRect> markerBox() const override { return boxOfCurrent(&Picture::captionBox, &Picture::caption); }
};

class HeadlinePage : public PicturePage
{
public:
    explicit HeadlinePage(EditorContext &context) : PicturePage(context, 5)
    {
        auto *enable = boolCheck(QStringLiteral("ChkEnableHeadline"), QStringLiteral("显示动态文字(&S)"),
                                 &Settings::enableHeadlineEffect, QStringLiteral("修改显示动态文字"));
        auto *text = pictureText<QLineEdit>(QStringLiteral("TxtHeadline"), &Picture::headline,
                                            QStringLiteral("修改动态文字"));
        auto *effects = new QListWidget(this);
        effects->setObjectName(QStringLiteral("FontList"));
        for (const VocabularyEntry &e : vocabulary(VocabularyList::HeadlineEffect))
            effects->addItem(QString::fromUtf8(e.text));
        onRefresh([this, effects] {
            const Picture *p = currentPicture();
            effects->setEnabled(p != nullptr);
            effects->setCurrentRow(p ? p->headDynamicStyle : -1);
        });
        connect(effects, &QListWidget::currentRowChanged, this, [this](int row) {
            if (row >= 0) editPicture(QStringLiteral("修改动态文字特效"), [row](Picture &p) { p.headDynamicStyle = row; });
        });
        // The click comes after the selection stored the effect.
        connect(effects, &QListWidget::itemClicked, this, [this, effects](QListWidgetItem *item) {
            emit this->context().headlinePreviewRequested(effects->row(item));
        });
        auto *style = styleButton(36, QStringLiteral("文字样式(&Y)..."), kStyleHeadline);

        auto *layout = new QVBoxLayout(this);
        layout->addWidget(enable);
        layout->addWidget(buddyLabel(QStringLiteral("当前图片的动态文字(&T)"), text));
        layout->addWidget(text);
        layout->addWidget(buddyLabel(QStringLiteral("动态文字特效(&E)"), effects));
        layout->addWidget(effects, 1);
        layout->addLayout(buttonRow({style}));
    }

    std::optional<QRect> markerBox() const override { return boxOfCurrent(&Picture::headlineBox, &Picture::headline); }
};

class TransitionsPage : public BoundPage
{
public:
    explicit TransitionsPage(EditorContext &context) : BoundPage(context, 6)
    {
        auto *enable = boolCheck(QStringLiteral("ChkEnableTransition"), QStringLiteral("使用图片切换特效(&E)"),
                                 &Settings::enableTransition, QStringLiteral("修改使用切换特效"));
        m_list = new QListWidget(this);
        m_list->setObjectName(QStringLiteral("StyleList"));
        for (const VocabularyEntry &e : vocabulary(VocabularyList::Transition)) {
            auto *item = new QListWidgetItem(QString::fromUtf8(e.text), m_list);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        }
        onRefresh([this] {
            const auto &bits = this->context().project().settings.selectedTransitions;
            for (int k = 0; k < m_list->count(); ++k) m_list->item(k)->setCheckState(bits.test(size_t(k)) ? Qt::Checked : Qt::Unchecked);
        });
        connect(m_list, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
            emit this->context().transitionPreviewRequested(m_list->row(item));
        });
        connect(m_list, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
            const int k = m_list->row(item);
            const bool on = item->checkState() == Qt::Checked;
            edit(QStringLiteral("修改切换特效"), [&](Settings &s) { s.selectedTransitions.set(size_t(k), on); });
        });
        auto *all = tableButton(32, QStringLiteral("全选(&A)"));
        auto *none = tableButton(33, QStringLiteral("全不选(&N)"));
        connect(all, &QToolButton::clicked, this,
                [this] { edit(QStringLiteral("选中所有切换特效"), [](Settings &s) { s.selectedTransitions.set(); }); });
        connect(none, &QToolButton::clicked, this,
                [this] { edit(QStringLiteral("取消所有切换特效"), [](Settings &s) { s.selectedTransitions.reset(); }); });
        auto *speed = numberBox(QStringLiteral("TxtTransitionSpeed"),
                                [](const Settings &s) { return transitionSpeedText(s.transitionSpeed); },
                                ruleTransitionSpeedText,
                                [](Settings &s, const QString &t) { s.transitionSpeed = transitionSpeedMsFromText(t); },
                                QStringLiteral("修改切换速度"));
        speed->setToolTip(QStringLiteral("1 - 2.5 秒"));

        auto *buttons = new QHBoxLayout;
        buttons->addWidget(all);
        buttons->addWidget(none);
        buttons->addStretch();
        buttons->addWidget(buddyLabel(QStringLiteral("切换时间(秒)(&P)"), speed));
        buttons->addWidget(speed);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(enable);
        layout->addWidget(buddyLabel(QStringLiteral("随机使用的切换特效(&L)"), m_list));
        layout->addWidget(m_list, 1);
        layout->addLayout(buttons);
    }

private:
    QListWidget *m_list;
};

class TitlesPage : public PicturePage
{
public:
    explicit TitlesPage(EditorContext &context) : PicturePage(context, 8)
    {
        auto *layout = new QVBoxLayout(this);
        struct Part
        {
            int title; // 1 opening, 2 ending
            const char *check, *name, *timeName, *key, *timeCaption;
            bool Settings::*enabled;
            float Settings::*duration;
            QString Settings::*image;
            int button;
            const char *buttonText, *dialogTitle;
        };
        const Part parts[] = {
            {1, "显示片头(&O)", "Opening", "TxtOpeningTime", "片头", "片头时间(秒)(&M)", &Settings::enableOpening,
             &Settings::openingDurationTime, &Settings::openingImage, 37, "片头图片(&I)...", "选择片头图片"},
            {2, "显示片尾(&E)", "Ending", "TxtEndingTime", "片尾", "片尾时间(秒)(&N)", &Settings::enableEnding,
             &Settings::endingDurationTime, &Settings::endingImage, 34, "片尾图片(&G)...", "选择片尾图片"},
        };
        for (const Part &part : parts) {
            const QString what = QString::fromUtf8(part.key);
            auto *group = new QGroupBox(what, this);
            auto *grid = new QGridLayout(group);
            auto *check = boolCheck(QStringLiteral("ChkEnable") + QString::fromLatin1(part.name),
                                    QString::fromUtf8(part.check), part.enabled, QStringLiteral("修改显示") + what);
            const int index = part.title - 1;
            auto *text = multiLineBox(QStringLiteral("Txt") + QString::fromLatin1(part.name),
                                      [index](const Settings &s) { return s.titleText[size_t(index)]; },
                                      [index](Settings &s, const QString &t) { s.titleText[size_t(index)] = t; },
                                      QStringLiteral("修改") + what + QStringLiteral("文字"));
            text->setAccessibleName(what + QStringLiteral("文字"));
            text->setToolTip(QStringLiteral("每一行依次显示"));
            const auto duration = part.duration;
            auto *time = numberBox(QString::fromLatin1(part.timeName),
                                   [duration](const Settings &s) { return numberText(s.*duration); },
                                   ruleTitleDurationText,
                                   [duration](Settings &s, const QString &t) { s.*duration = titleDurationFromText(t); },
                                   QStringLiteral("修改") + what + QStringLiteral("时间"));
            const auto image = part.image;
            auto *picture = pictureButton(part.button, QString::fromUtf8(part.buttonText), QString::fromUtf8(part.dialogTitle),
                                          QStringLiteral("设置") + what + QStringLiteral("图片"),
                                          [image](Settings &s, const QString &path) { s.*image = path; });
            chainTabOrder({check, time, text, picture});
            grid->addWidget(check, 0, 0, 1, 2);
            grid->addWidget(buddyLabel(QString::fromUtf8(part.timeCaption), time), 0, 2, Qt::AlignRight);
            grid->addWidget(time, 0, 3);
            grid->addWidget(text, 1, 0, 1, 4);
            grid->addWidget(picture, 2, 0);
            grid->addWidget(pathLabel(QStringLiteral("Lbl") + QString::fromLatin1(part.name) + QStringLiteral("Image"),
                                      [image](const Settings &s) { return s.*image; }),
                            2, 1, 1, 3);
            grid->setColumnStretch(1, 1);
            layout->addWidget(group, 1);
        }
        auto *style = vocabularyList(QStringLiteral("ListTitleStyle"), VocabularyList::TitleStyle, &Settings::titleStyle,
                                     QStringLiteral("修改片头片尾效果"));
        style->setMaximumHeight(style->sizeHintForRow(0) * (style->count() + 1));
        auto *styleRow = new QHBoxLayout;
        auto *styleColumn = new QVBoxLayout;
        styleColumn->addWidget(buddyLabel(QStringLiteral("片头片尾效果(&Y)"), style));
        styleColumn->addWidget(style);
        styleRow->addLayout(styleColumn, 1);
        styleRow->addWidget(styleButton(41, QStringLiteral("文字样式(&Z)..."), kStyleTitles), 0, Qt::AlignBottom);
        layout->addLayout(styleRow);
    }

    // Only an opening or ending that is shown and has text has a box to place.
    std::optional<QRect> markerBox() const override
    {
        const Settings &s = editor().project().settings;
        const bool shown = (s.enableOpening && !s.titleText[0].isEmpty()) || (s.enableEnding && !s.titleText[1].isEmpty());
        return shown ? std::optional(rectOf(s.titleBox)) : std::nullopt;
    }
};

class InfoPage : public BoundPage
{
public:
    explicit InfoPage(EditorContext &context) : BoundPage(context, 9)
    {
        auto *form = new QFormLayout(this);
        form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
        const char *captions[kInfoTextCount] = {"名称(&N)", "作者(&A)", "电子邮件(&E)", "网站(&W)", "说明(&D)", "版权(&C)"};
        const char *undo[kInfoTextCount] = {"修改幻灯名称", "修改作者", "修改电子邮件", "修改网站", "修改说明", "修改版权"};
        for (int i = 0; i < kInfoTextCount; ++i) {
            const QString name = QStringLiteral("TxtSetting_%1").arg(i);
            auto get = [i](const Settings &s) { return s.txtSetting[size_t(i)]; };
            auto set = [i](Settings &s, const QString &t) { s.txtSetting[size_t(i)] = t; };
            QWidget *box;
            if (i == 4) {
                box = multiLineBox(name, get, set, QString::fromUtf8(undo[i]));
            } else {
                box = textBox(name, get, set, QString::fromUtf8(undo[i]),
                              i == 0 ? std::function<QString(const QString &)>(ruleSlideshowName) : nullptr);
            }
            auto *label = new QLabel(QString::fromUtf8(captions[i]), this);
            label->setBuddy(box);
            form->addRow(label, box);
        }
    }
};

class OtherPage : public PicturePage
{
public:
    explicit OtherPage(EditorContext &context) : PicturePage(context, 10)
    {
        auto *play = vocabularyCombo(QStringLiteral("CboDirectPlay"), VocabularyList::PlayMode,
                                     [](const Settings &s) { return s.ssDirectPlay; },
                                     [](Settings &s, int i) { s.ssDirectPlay = i; }, QStringLiteral("修改播放方式"));
        auto *ignoreMouse = boolCheck(QStringLiteral("ChkIgnoreMouseMove"), QStringLiteral("移动鼠标时不停止播放(&M)"),
                                      &Settings::ignoreMouseMove, QStringLiteral("修改移动鼠标不停止"));
        auto *cursor = boolCheck(QStringLiteral("ChkShowCursor"), QStringLiteral("播放时显示鼠标指针(&C)"),
                                 &Settings::showCursor, QStringLiteral("修改显示鼠标指针"));
        auto *exportCheck = boolCheck(QStringLiteral("ChkEnableExport"), QStringLiteral("允许导出图片和音乐(&X)"),
                                      &Settings::enableExport, QStringLiteral("修改允许导出"));
        auto *password = textBox(QStringLiteral("TxtExportPassword"),
                                 [](const Settings &s) { return s.exportPassword; },
                                 [](Settings &s, const QString &t) { s.exportPassword = t; },
                                 QStringLiteral("修改导出密码"));
        password->setPlaceholderText(QStringLiteral("可以为空"));
        onRefresh([this, password] { password->setEnabled(this->context().project().settings.enableExport); });

        auto *player = new QGroupBox(QStringLiteral("播放"), this);
        auto *playerForm = new QFormLayout(player);
        playerForm->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
        // The play modes are long: the list gets the whole width under its caption.
        playerForm->addRow(buddyLabel(QStringLiteral("播放方式(&P)"), play));
        playerForm->addRow(play);
        playerForm->addRow(ignoreMouse);
        playerForm->addRow(cursor);
        playerForm->addRow(exportCheck);
        playerForm->addRow(buddyLabel(QStringLiteral("导出密码(&W)"), password), password);

        auto *look = new QGroupBox(QStringLiteral("幻灯文件"), this);
        auto *lookGrid = new QGridLayout(look);
        lookGrid->addWidget(pictureButton(38, QStringLiteral("Logo图片(&L)..."), QStringLiteral("选择Logo图片"),
                                          QStringLiteral("设置Logo图片"),
                                          [](Settings &s, const QString &path) { s.logoImage = path; }),
                            0, 0);
        lookGrid->addWidget(pathLabel(QStringLiteral("LblLogoImage"), [](const Settings &s) { return s.logoImage; }), 0, 1);
        auto *chooseIcon = tableButton(50, QStringLiteral("图标(&I)..."));
        lookGrid->addWidget(chooseIcon, 1, 0);
        auto *icon = new QLabel(this);
        icon->setObjectName(QStringLiteral("PicIcon"));
        icon->setToolTip(QStringLiteral("图片幻灯文件的图标"));
        lookGrid->addWidget(icon, 1, 1);
        // The chosen icon lives in Temp/, outside the project: read it again on
        // every refresh, since clearing the pictures drops it.
        const auto showIcon = [this, icon] {
            const QImage chosen = IconFileImage(ChosenIcon(this->context().session().workspace()));
            const QPixmap standard = windowIcon().pixmap(32, 32);
            if (!chosen.isNull())
                icon->setPixmap(QPixmap::fromImage(chosen));
            else if (!standard.isNull())
                icon->setPixmap(standard);
            else
                icon->setText(QStringLiteral("（默认图标）"));
        };
        onRefresh(showIcon);
        connect(chooseIcon, &QToolButton::clicked, this, [this, showIcon] {
            if (heldByJob()) return;
            chooseSlideshowIcon(this->context().session().workspace(), this);
            showIcon();
        });
        lookGrid->setColumnStretch(1, 1);

        auto *layout = new QVBoxLayout(this);
        layout->addWidget(player);
        layout->addWidget(look);
        layout->addWidget(boolCheck(QStringLiteral("ChkEnableOpenFolder"), QStringLiteral("创建完成后打开所在的文件夹(&F)"),
                                    &Settings::enableOpenFolder, QStringLiteral("修改打开所在文件夹")));
        layout->addStretch();
    }
};

} // namespace

SectionPage *makeBackgroundPage(EditorContext &context) { return new BackgroundPage(context); }
SectionPage *makeCaptionPage(EditorContext &context) { return new CaptionPage(context); }
SectionPage *makeHeadlinePage(EditorContext &context) { return new HeadlinePage(context); }
SectionPage *makeTransitionsPage(EditorContext &context) { return new TransitionsPage(context); }
SectionPage *makeTitlesPage(EditorContext &context) { return new TitlesPage(context); }
SectionPage *makeInfoPage(EditorContext &context) { return new InfoPage(context); }
SectionPage *makeOtherPage(EditorContext &context) { return new OtherPage(context); }

} // namespace pvsm::ui
