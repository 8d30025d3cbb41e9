#pragma once

#include <QString>

#include <cstdint>

namespace pvsm {

// The shared check of every number box: an empty or non-numeric text becomes
// `defaultText`; a number is rounded to thousandths (halves to even).
QString numberCheck(const QString &text, const QString &defaultText);

// TxtTime -> TimeInterval: default "10", raised to "3.5" when below.
QString ruleTimeIntervalText(const QString &text);
float timeIntervalFromText(const QString &text);

// TxtTransitionSpeed -> TransitionSpeed: default "1", clamped to 1 .. 2.5 seconds,
// stored as milliseconds rounded.
QString ruleTransitionSpeedText(const QString &text);
int32_t transitionSpeedMsFromText(const QString &text);
// The box text shown for a stored TransitionSpeed.
QString transitionSpeedText(int32_t milliseconds);

// TxtOpeningTime / TxtEndingTime: default "8".
QString ruleTitleDurationText(const QString &text);
float titleDurationFromText(const QString &text);

// The slideshow name (TxtSetting 0): a name with a character that cannot stand
// in a file name is replaced by "未命名图片幻灯".
QString ruleSlideshowName(const QString &name);

// The time boxes accept only digits and the decimal point as keystrokes.
bool isTimeBoxKeystroke(QChar c);

// Shortest decimal text that reads back to `v` ("3.5", "10", "1.75").
QString numberText(double v);
// The same for a stored single-precision value: 3.3f reads "3.3", not the
// digits of its double.
QString numberText(float v);

// `v` in thousandths, halves to even on its decimal digits.
double roundThousandths(double v);

} // namespace pvsm
