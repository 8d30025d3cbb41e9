#include "FrmFont.h"

#include "EditorContext.h"
#include "TextPath.h"
#include "TextStyleCommand.h"
#include "TextStyleRules.h"

#include <QColorDialog>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace pvsm::ui {

namespace {

constexpr QSize kSwatchSize(40, 20);

QIcon swatchIcon(const QColor &colour)
{
    QPixmap pixmap(kSwatchSize);
    pixmap.fill(colour);
    QPainter painter(&pixmap);
    painter.setPen(Qt::darkGray);
    painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    return QIcon(pixmap);
}

QStringList numbers(const QVector<int32_t> &values)
{
    QStringList texts;
    for (int32_t v : values) texts << QString::number(v);
    return texts;
}

QLabel *caption(const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text, buddy->parentWidget());
    label->setBuddy(buddy);
    return label;
}

} // namespace

FrmFont::FrmFont(int kind, const Settings &settings, QWidget *parent, const QStringList &fonts)
    : QDialog(parent), m_kind(kind), m_values(loadStyleDialogValues(settings, kind))
{
    setObjectName(QStringLiteral("FrmFont"));
    setWindowTitle(QStringLiteral("选择字体风格"));
    setModal(true);

    m_name = new QListWidget(this);
    m_name->setObjectName(QStringLiteral("ListName"));
    m_name->setUniformItemSizes(true); // hundreds of families stay quick to show
    m_name->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 16);
    m_size = list(QStringLiteral("ListSize"), numbers(styleSizeList(kind)));
    m_align = list(QStringLiteral("ListAlign"), styleAlignItems());
    m_pattern = list(QStringLiteral("ListPattern"), stylePatternItems(kind));
    QStringList borders;
    for (int w = 0; w <= kStyleMaxBorderWidth; ++w) borders << QString::number(w);
    m_border = list(QStringLiteral("ListBorderSize"), borders);
    m_style = list(QStringLiteral("ListStyle"), styleFontStyleItems());

    auto *colours = new QGroupBox(QStringLiteral("颜色"), this);
    m_swatches[StartColour] = swatch(StartColour, QStringLiteral("LblStartColor"), QStringLiteral("点击选择字体颜色"));
    m_swatches[EndColour] = swatch(EndColour, QStringLiteral("LblEndColor"), QStringLiteral("点击选择字体渐变颜色"));
    m_swatches[BorderColour] = swatch(BorderColour, QStringLiteral("LblBorderColor"), QStringLiteral("点击选择字体边框颜色"));
    auto *colourRow = new QHBoxLayout(colours);
    const char *colourCaptions[] = {"字体色(&C)", "渐变色(&G)", "边框色(&R)"};
    for (int i = 0; i < 3; ++i) {
        m_swatches[i]->setParent(colours);
        colourRow->addWidget(caption(QString::fromUtf8(colourCaptions[i]), m_swatches[i]));
        colourRow->addWidget(m_swatches[i]);
        if (i < 2) colourRow->addSpacing(12);
    }
    colourRow->addStretch();

    m_confirm = new QPushButton(QStringLiteral(" 确定 "), this);
    m_confirm->setObjectName(QStringLiteral("PicBtnText_0"));
    m_confirm->setDefault(true);
    connect(m_confirm, &QPushButton::clicked, this, &QDialog::accept);

    // The font list on the left, level with the other lists beside it.
    auto *grid = new QGridLayout;
    grid->addWidget(caption(QStringLiteral("字体(&F)"), m_name), 0, 0);
    const std::pair<const char *, QComboBox *> rows[] = {{"大小(&S)", m_size}, {"对齐(&A)", m_align},
                                                         {"填充(&P)", m_pattern}, {"字边(&B)", m_border},
                                                         {"字型(&T)", m_style}};
    int row = 1;
    for (const auto &[text, box] : rows) {
        grid->addWidget(caption(QString::fromUtf8(text), box), row, 1);
        grid->addWidget(box, row, 2);
        ++row;
    }
    grid->addWidget(m_name, 1, 0, row, 1);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(2, 2);
    grid->setColumnMinimumWidth(1, 0);
    grid->setHorizontalSpacing(8);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(colours, 1);
    bottom->addWidget(m_confirm, 0, Qt::AlignBottom);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(bottom);

    load(fonts.isEmpty() ? ListInstalledFonts() : fonts);

    connect(m_name, &QListWidget::currentTextChanged, this, [this](const QString &name) {
        if (!m_loading && !name.isEmpty()) m_values.fontName = name;
    });
    connect(m_size, &QComboBox::currentTextChanged, this, [this](const QString &size) {
        if (!m_loading && !size.isEmpty()) m_values.size = size.toInt();
    });
    connect(m_align, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!m_loading && i >= 0) m_values.align = i;
    });
    connect(m_pattern, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!m_loading && i >= 0) m_values.pattern = stylePatternValue(m_kind, i);
    });
    connect(m_border, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!m_loading && i >= 0) m_values.borderWidth = i;
    });
    connect(m_style, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!m_loading && i >= 0) m_values.style = i;
    });

    setTabOrder(m_name, m_size);
    setTabOrder(m_size, m_align);
    setTabOrder(m_align, m_pattern);
    setTabOrder(m_pattern, m_border);
    setTabOrder(m_border, m_style);
    setTabOrder(m_style, m_swatches[StartColour]);
    setTabOrder(m_swatches[StartColour], m_swatches[EndColour]);
    setTabOrder(m_swatches[EndColour], m_swatches[BorderColour]);
    setTabOrder(m_swatches[BorderColour], m_confirm);
}

void FrmFont::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Only a laid-out list knows where its middle is.
    if (QListWidgetItem *item = m_name->currentItem()) m_name->scrollToItem(item, QAbstractItemView::PositionAtCenter);
}

QComboBox *FrmFont::list(const QString &name, const QStringList &items)
{
    auto *box = new QComboBox(this);
    box->setObjectName(name);
    box->addItems(items);
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return box;
}

QToolButton *FrmFont::swatch(Swatch which, const QString &name, const QString &tip)
{
    auto *button = new QToolButton(this);
    button->setObjectName(name);
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    button->setIconSize(kSwatchSize);
    connect(button, &QToolButton::clicked, this, [this, which, tip] { chooseColour(which, tip); });
    return button;
}

int32_t &FrmFont::colourOf(Swatch which)
{
    switch (which) {
    case StartColour: return m_values.startColor;
    case EndColour: return m_values.endColor;
    default: return m_values.borderColor;
    }
}

void FrmFont::showColour(Swatch which) { m_swatches[which]->setIcon(swatchIcon(colorFromBgr(colourOf(which)))); }

void FrmFont::chooseColour(Swatch which, const QString &tip)
{
    QColorDialog chooser(colorFromBgr(colourOf(which)), this);
    chooser.setObjectName(QStringLiteral("ColorChooser"));
    chooser.setWindowTitle(tip);
    if (chooser.exec() != QDialog::Accepted || !chooser.selectedColor().isValid()) return;
    colourOf(which) = bgrFromColor(chooser.selectedColor());
    showColour(which);
}

void FrmFont::load(const QStringList &fonts)
{
    m_loading = true;
    m_name->addItems(fonts);
    // Exact matches only: a font that is not installed selects nothing and is kept.
    const auto found = m_name->findItems(m_values.fontName, Qt::MatchExactly | Qt::MatchCaseSensitive);
    m_name->setCurrentItem(found.isEmpty() ? nullptr : found.first());
    m_size->setCurrentIndex(styleSizeIndex(m_kind, m_values.size));
    m_align->setCurrentIndex(m_values.align >= 0 && m_values.align < m_align->count() ? m_values.align : -1);
    m_pattern->setCurrentIndex(stylePatternIndex(m_kind, m_values.pattern));
    m_border->setCurrentIndex(m_values.borderWidth >= 0 && m_values.borderWidth < m_border->count() ? m_values.borderWidth : -1);
    m_style->setCurrentIndex(m_values.style >= 0 && m_values.style < m_style->count() ? m_values.style : -1);
    for (Swatch s : {StartColour, EndColour, BorderColour}) showColour(s);

    const StyleDialogControls usable = styleDialogControls(m_kind);
    m_name->setEnabled(usable.fontName);
    m_size->setEnabled(usable.size);
    m_align->setEnabled(usable.align);
    m_pattern->setEnabled(usable.pattern);
    m_border->setEnabled(usable.borderWidth);
    m_style->setEnabled(usable.fontStyle);
    m_swatches[StartColour]->setEnabled(usable.startColor);
    m_swatches[EndColour]->setEnabled(usable.endColor);
    m_swatches[BorderColour]->setEnabled(usable.borderColor);
    m_loading = false;
}

void editTextStyle(EditorContext &context, int kind, QWidget *parent)
{
    if (context.busy()) return;
    FrmFont dialog(kind, context.project().settings, parent);
    if (dialog.exec() == QDialog::Accepted) pushTextStyle(context, kind, dialog.values());
}

void pushTextStyle(EditorContext &context, int kind, const TextStyle &values)
{
    if (context.busy()) return;
    context.push(TextStyleCommand::make(context, kind, values));
}

} // namespace pvsm::ui
