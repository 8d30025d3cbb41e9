#include "SlideTiming.h"

#include "NumberRules.h"

#include <QFileInfo>

namespace pvsm {

namespace {

constexpr float kShortestSlide = 3.5f;

} // namespace

QString ruleSlideTimeText(const QString &typed, const QString &mainTimeText)
{
    const QString t = typed.trimmed();
    // A leading "0" or "." is a slip of the keyboard, not a time under one
    // second: the general time stands in, as for an empty box.
    const bool unusable = t.isEmpty() || t.startsWith(QLatin1Char('0')) || t.startsWith(QLatin1Char('.'))
                          || t == QLatin1String("-");
    const QString checked = unusable ? mainTimeText : numberCheck(t, mainTimeText);
    if (!(checked.toDouble() >= kShortestSlide)) return numberText(double(kShortestSlide));
    return checked;
}

QString slideTimeText(float own, const QString &mainTimeText)
{
    return own > 0 ? numberText(own) : mainTimeText;
}

QString slideTimeEntry(const QString &picturePath, const QString &timeText)
{
    return QFileInfo(picturePath).fileName() + QStringLiteral(": ") + timeText + QStringLiteral(" 秒");
}

std::optional<AverageTime> computeAverageTime(float songLength, int selectedPictures)
{
    if (selectedPictures <= 0) return std::nullopt;
    const QString average = numberText(roundThousandths(double(songLength) / selectedPictures));
    return AverageTime{average, QStringLiteral("图片 ") + QString::number(selectedPictures)
                                    + QStringLiteral(" 张 * 平均时间: ") + average + QStringLiteral("秒 = 歌曲长度: ")
                                    + numberText(songLength) + QStringLiteral("秒")};
}

QString averageLabelAtStart() { return QStringLiteral("歌曲时间长度：0秒"); }

SlideTimeWorkingCopy::SlideTimeWorkingCopy(const Project &project, QString mainTimeText)
    : m_mainTimeText(std::move(mainTimeText))
{
    for (const Picture &p : project.pictures) {
        m_paths << p.path;
        m_times.push_back(p.slideDuration);
    }
}

QString SlideTimeWorkingCopy::timeText(int index) const
{
    if (index < 0 || index >= count()) return m_mainTimeText;
    return slideTimeText(m_times[size_t(index)], m_mainTimeText);
}

QString SlideTimeWorkingCopy::entry(int index) const
{
    if (index < 0 || index >= count()) return {};
    return slideTimeEntry(m_paths[index], timeText(index));
}

QString SlideTimeWorkingCopy::set(const std::vector<int> &selected, const QString &typed)
{
    const QString text = ruleSlideTimeText(typed, m_mainTimeText);
    const float value = text.toFloat();
    for (int i : selected)
        if (i >= 0 && i < count()) m_times[size_t(i)] = value;
    return text;
}

bool storeSlideTimes(Project &project, const std::vector<float> &times)
{
    if (times.size() != project.pictures.size()) return false;
    bool changed = false;
    for (size_t i = 0; i < times.size(); ++i) {
        if (project.pictures[i].slideDuration == times[i]) continue;
        project.pictures[i].slideDuration = times[i];
        changed = true;
    }
    return changed;
}

} // namespace pvsm
