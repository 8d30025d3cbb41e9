#pragma once

#include <QWidget>

class QPushButton;

namespace pvsm::ui {

// The export's progress strip: a child of the main window, 460 x 24 pixels,
// centred across it and placed a little below its middle, with a cancel
// button at its left and a bar that shows the caption and the percentage.
// It follows the main window when that is resized.
class ProgressWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kWidth = 460;
    static constexpr int kHeight = 24;

    // `parent` is the main window; `showTips` gives the cancel button its tool-tip.
    ProgressWindow(QWidget *parent, bool showTips);

    void setProgress(int percent, const QString &caption);
    int percent() const { return m_percent; }
    const QString &caption() const { return m_caption; }
    // The text the bar shows: caption, a blank, the percentage and "%".
    QString progressText() const;
    QPushButton *cancelButton() const { return m_cancel; }

    // Where the strip sits over a parent of `parentSize`.
    static QRect placement(QSize parentSize);

signals:
    void cancelRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void place();

    QPushButton *m_cancel;
    int m_percent = 0;
    QString m_caption;
};

} // namespace pvsm::ui
