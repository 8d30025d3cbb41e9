#pragma once

#include "Project.h"
#include "SlideTiming.h"

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace pvsm::ui {

class NumberBox;

// "设置图片的持续/间隔时间": the pictures' own times, typed for the selected
// pictures or divided from a song's length. The dialog edits a working copy
// and never the project: after Save (accepted) the caller stores times() as
// one undo command; Cancel forgets every Set.
class FrmSetSlideTime : public QDialog
{
    Q_OBJECT
public:
    // `mainTimeText` is the main window's slide time box (TxtTime).
    FrmSetSlideTime(const Project &project, const QString &mainTimeText, QWidget *parent = nullptr);

    const std::vector<float> &times() const { return m_copy.times(); }

signals:
    // A picture other than the one clicked last was clicked: the main
    // window's picture list follows it.
    void pictureChosen(int index);

private:
    void chooseSame();
    void chooseAverage();
    void pictureClicked(int row);
    void computeAverage();
    void applyTime();
    std::vector<int> selectedPictures() const;

    SlideTimeWorkingCopy m_copy;
    std::vector<float> m_songLengths;
    QListWidget *m_pictures;
    QListWidget *m_songs;
    QRadioButton *m_same;
    QRadioButton *m_average;
    QLabel *m_averageLabel;
    NumberBox *m_time;
    int m_lastClicked = -1;
};

} // namespace pvsm::ui
