#include "FrmSetSlideTime.h"

#include "BoundPage.h"

#include <QButtonGroup>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace pvsm::ui {

namespace {

QListWidget *listBox(const QString &name, QAbstractItemView::SelectionMode mode, QWidget *parent)
{
    auto *list = new QListWidget(parent);
    list->setObjectName(name);
    list->setSelectionMode(mode);
    // Long names scroll sideways rather than being cut.
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->setTextElideMode(Qt::ElideNone);
    return list;
}

QPushButton *dialogButton(int index, const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QStringLiteral("PicBtnText_%1").arg(index));
    // Return belongs to the time box (it applies its rule), not to a button.
    button->setAutoDefault(false);
    return button;
}

} // namespace

FrmSetSlideTime::FrmSetSlideTime(const Project &project, const QString &mainTimeText, QWidget *parent)
    : QDialog(parent), m_copy(project, mainTimeText)
{
    setObjectName(QStringLiteral("FrmSetSlideTime"));
    setWindowTitle(QStringLiteral("设置图片的持续/间隔时间"));

    m_pictures = listBox(QStringLiteral("ImgList"), QAbstractItemView::ExtendedSelection, this);
    for (int i = 0; i < m_copy.count(); ++i) m_pictures->addItem(m_copy.entry(i));
    auto *picturesCaption = new QLabel(QStringLiteral("图片(&P)"), this);
    picturesCaption->setBuddy(m_pictures);

    m_songs = listBox(QStringLiteral("MusicList"), QAbstractItemView::SingleSelection, this);
    for (const Song &song : project.songs) {
        m_songs->addItem(QFileInfo(song.path).fileName());
        m_songs->item(m_songs->count() - 1)->setToolTip(song.path);
        m_songLengths.push_back(song.durationSec);
    }
    if (project.songs.empty()) m_songs->addItem(QStringLiteral("无音乐"));
    m_songs->setEnabled(false);
    auto *songsCaption = new QLabel(QStringLiteral("歌曲(&M)"), this);
    songsCaption->setBuddy(m_songs);

    m_same = new QRadioButton(QStringLiteral("为选定的图片设置持续/间隔时间(&E)"), this);
    m_same->setObjectName(QStringLiteral("OptSame"));
    m_average = new QRadioButton(QStringLiteral("根据选定的歌曲为选定的图片计算一个平均时间(&A)"), this);
    m_average->setObjectName(QStringLiteral("OptAverage"));
    m_average->setEnabled(!project.songs.empty());
    auto *modes = new QButtonGroup(this);
    modes->addButton(m_same);
    modes->addButton(m_average);
    m_same->setChecked(true);

    m_averageLabel = new QLabel(averageLabelAtStart(), this);
    m_averageLabel->setObjectName(QStringLiteral("LblAverage"));
    m_averageLabel->setWordWrap(true);
    m_averageLabel->hide();

    m_time = new NumberBox(this);
    m_time->setObjectName(QStringLiteral("TxtTime"));
    m_time->setMaximumWidth(m_time->fontMetrics().horizontalAdvance(QStringLiteral("0000.000")) + 16);
    auto *timeCaption = new QLabel(QStringLiteral("时间(秒)(&T)"), this);
    timeCaption->setBuddy(m_time);
    auto *note = new QLabel(QStringLiteral("注意：最少3.5秒"), this);
    note->setObjectName(QStringLiteral("LblNote"));

    auto *save = dialogButton(0, QStringLiteral("保存(&S)"), this);
    auto *cancel = dialogButton(1, QStringLiteral("取消(&C)"), this);
    auto *set = dialogButton(2, QStringLiteral("设置(&O)"), this);
    if (project.settings.isShowTip) set->setToolTip(QStringLiteral("将时间应用到已选择的图片"));

    auto *timeRow = new QHBoxLayout;
    timeRow->addWidget(timeCaption);
    timeRow->addWidget(m_time);
    timeRow->addWidget(set);
    timeRow->addWidget(note);
    timeRow->addStretch();

    auto *right = new QVBoxLayout;
    right->addWidget(m_same);
    right->addWidget(m_average);
    right->addWidget(songsCaption);
    right->addWidget(m_songs, 1);
    right->addWidget(m_averageLabel);
    right->addLayout(timeRow);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(cancel);

    auto *grid = new QGridLayout(this);
    grid->addWidget(picturesCaption, 0, 0);
    grid->addWidget(m_pictures, 1, 0);
    grid->addLayout(right, 1, 1);
    grid->addLayout(buttons, 2, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    setTabOrder(m_pictures, m_same);
    setTabOrder(m_same, m_average);
    setTabOrder(m_average, m_songs);
    setTabOrder(m_songs, m_time);
    setTabOrder(m_time, set);
    setTabOrder(set, save);
    setTabOrder(save, cancel);
    resize(760, 440);

    if (m_copy.count() > 0) m_pictures->setCurrentRow(0);
    m_time->setText(m_copy.timeText(0));

    connect(m_same, &QRadioButton::toggled, this, [this](bool on) {
        if (on) chooseSame();
    });
    connect(m_average, &QRadioButton::toggled, this, [this](bool on) {
        if (on) chooseAverage();
    });
    connect(m_pictures, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { pictureClicked(m_pictures->row(item)); });
    connect(m_pictures, &QListWidget::itemSelectionChanged, this, [this] {
        if (m_average->isChecked()) computeAverage();
    });
    connect(m_songs, &QListWidget::itemSelectionChanged, this, [this] {
        if (m_average->isChecked()) computeAverage();
    });
    connect(m_time, &NumberBox::leave, this,
            [this] { m_time->setText(ruleSlideTimeText(m_time->text(), m_copy.mainTimeText())); });
    connect(set, &QPushButton::clicked, this, &FrmSetSlideTime::applyTime);
    connect(save, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

std::vector<int> FrmSetSlideTime::selectedPictures() const
{
    std::vector<int> rows;
    for (int i = 0; i < m_pictures->count(); ++i)
        if (m_pictures->item(i)->isSelected()) rows.push_back(i);
    return rows;
}

void FrmSetSlideTime::chooseSame()
{
    m_averageLabel->hide();
    m_songs->setEnabled(false);
    m_time->setText(m_copy.timeText(m_pictures->currentRow()));
}

void FrmSetSlideTime::chooseAverage()
{
    if (m_songLengths.empty()) return;
    m_averageLabel->show();
    m_songs->setEnabled(true);
    if (m_songs->selectedItems().isEmpty()) m_songs->setCurrentRow(0);
    computeAverage();
}

void FrmSetSlideTime::pictureClicked(int row)
{
    if (row < 0) return;
    if (m_same->isChecked())
        m_time->setText(m_copy.timeText(row));
    else
        computeAverage();
    if (row != m_lastClicked) {
        m_lastClicked = row;
        emit pictureChosen(row);
    }
}

void FrmSetSlideTime::computeAverage()
{
    int song = -1;
    for (int i = 0; i < m_songs->count() && song < 0; ++i)
        if (m_songs->item(i)->isSelected()) song = i;
    if (song < 0 || size_t(song) >= m_songLengths.size()) return;
    // No picture selected: the fields stay as they are.
    const auto average = computeAverageTime(m_songLengths[size_t(song)], int(selectedPictures().size()));
    if (!average) return;
    m_time->setText(average->timeText);
    m_averageLabel->setText(average->label);
}

void FrmSetSlideTime::applyTime()
{
    const std::vector<int> rows = selectedPictures();
    m_time->setText(m_copy.set(rows, m_time->text()));
    for (int row : rows) m_pictures->item(row)->setText(m_copy.entry(row));
}

} // namespace pvsm::ui
