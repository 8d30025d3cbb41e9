#pragma once

#include "Project.h"

#include <QString>

#include <optional>
#include <vector>

namespace pvsm {

// The rules of the per-picture timing dialog (FrmSetSlideTime). The dialog
// edits a working copy of every picture's own time; only Save writes it back.

// The typed time as the dialog applies it: the main window's slide time text
// when the box is empty, starts with "0" or ".", is "-" or is not a number;
// else the number in thousandths. Below 3.5 seconds it becomes "3.5".
QString ruleSlideTimeText(const QString &typed, const QString &mainTimeText);

// A picture's time as the dialog shows it: its own when it has one (above 0),
// else the main window's slide time text.
QString slideTimeText(float own, const QString &mainTimeText);

// An entry of the dialog's picture list: "name: t 秒".
QString slideTimeEntry(const QString &picturePath, const QString &timeText);

// The average of a song's length over the selected pictures, as the time box
// and the label LblAverage show it.
struct AverageTime
{
    QString timeText; // the average in thousandths, not yet raised to 3.5
    QString label;    // "图片 n 张 * 平均时间: a秒 = 歌曲长度: L秒"
};

// None when no picture is selected: there is nothing to divide by, and the
// dialog leaves its fields as they are.
std::optional<AverageTime> computeAverageTime(float songLength, int selectedPictures);

// What LblAverage says before any average was computed.
QString averageLabelAtStart();

// The dialog's working copy of the pictures' own times (0 = none).
class SlideTimeWorkingCopy
{
public:
    SlideTimeWorkingCopy(const Project &project, QString mainTimeText);

    int count() const { return int(m_times.size()); }
    const QString &mainTimeText() const { return m_mainTimeText; }
    QString entry(int index) const;
    QString timeText(int index) const;
    const std::vector<float> &times() const { return m_times; }

    // Set: the typed text normalised, stored for every selected picture
    // (indices out of range are ignored). Returns the normalised text.
    QString set(const std::vector<int> &selected, const QString &typed);

private:
    QStringList m_paths;
    std::vector<float> m_times;
    QString m_mainTimeText;
};

// Save: the working copy becomes the pictures' SlideDuration. False when it
// changes nothing (or no longer fits the picture list).
bool storeSlideTimes(Project &project, const std::vector<float> &times);

} // namespace pvsm
