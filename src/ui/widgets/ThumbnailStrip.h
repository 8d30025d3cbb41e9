#pragma once

#include <QWidget>

#include <QStringList>

#include <array>
#include <atomic>

class QLabel;
class QScrollBar;

namespace pvsm {
class ThumbnailCache;
}

namespace pvsm::ui {

class EditorContext;
class ThumbnailCell;

// The seven thumbnail cells under the editing view (`PicList_0` … `PicList_6`,
// numbered by `LblNum_0` … `LblNum_6`) with their scroll bar `HScrollPicList`.
// Clicking a cell selects its picture; Page Up / Page Down select seven
// pictures back or forward. Thumbnails come from the cache; the strip asks
// for the ones it shows first and for all the others behind them, and draws
// each cell again when its thumbnail arrives. The rules are PictureStrip.h's.
class ThumbnailStrip : public QWidget
{
    Q_OBJECT
public:
    // The inner size of a cell: the size thumbnails are decoded at.
    static QSize cellSize();

    ThumbnailStrip(EditorContext &context, ThumbnailCache &cache, QWidget *parent = nullptr);
    ~ThumbnailStrip() override;

    QScrollBar *scrollBar() const { return m_scroll; }
    // The picture (0-based) in `cell`, -1 for a blank cell.
    int pictureInCell(int cell) const;
    // Cells showing a picture whose thumbnail is not there yet.
    int cellsWaiting() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void onProjectChanged();
    void onCurrentChanged(int index);
    void showCells();
    void thumbnailsArrived();
    void select(int index);

    EditorContext &m_context;
    ThumbnailCache &m_cache;
    QScrollBar *m_scroll;
    std::array<ThumbnailCell *, 7> m_cells{};
    std::array<QLabel *, 7> m_numbers{};
    QStringList m_paths;
    std::atomic<bool> m_arrivalPosted = false;
};

} // namespace pvsm::ui
