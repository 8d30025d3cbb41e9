#include "NumberRules.h"

#include "Numbers.h"

#include <charconv>
#include <cmath>
#include <string>
#include <optional>

namespace pvsm {

namespace {

std::optional<double> parseBoxNumber(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

double valueOf(const QString &checkedText)
{
    return checkedText.toDouble();
}

template <typename T>
QString shortestText(T v)
{
    if (v == 0) return QStringLiteral("0");
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    return QString::fromLatin1(buf, int(res.ptr - buf));
}

} // namespace

QString numberText(double v) { return shortestText(v); }

QString numberText(float v) { return shortestText(v); }

// Rounds to thousandths with halves to even on the decimal digits of `v`, so
// that "5.1235" is a true half even though its binary value lies just below.
double roundThousandths(double v)
{
    if (!(std::fabs(v) < 1e12)) return v;
    char buf[128];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::fixed);
    const std::string text(buf, res.ptr);
    const size_t dot = text.find('.');
    if (dot == std::string::npos || text.size() - dot - 1 <= 3) return v;
    const std::string whole = text.substr(0, dot);
    const std::string frac = text.substr(dot + 1);
    int64_t n = std::stoll(whole) * 1000 + std::stoll(frac.substr(0, 3));
    const std::string rest = frac.substr(3);
    bool up = false;
    if (rest[0] > '5') up = true;
    else if (rest[0] == '5') up = rest.find_first_not_of('0', 1) != std::string::npos || (n % 2) != 0;
    if (up) ++n;
    const double r = double(n) / 1000.0;
    return v < 0 ? -r : r;
}

QString numberCheck(const QString &text, const QString &defaultText)
{
    const auto v = parseBoxNumber(text);
    if (!v) return defaultText;
    return numberText(roundThousandths(*v));
}

QString ruleTimeIntervalText(const QString &text)
{
    const QString checked = numberCheck(text, QStringLiteral("10"));
    if (valueOf(checked) < 3.5) return QStringLiteral("3.5");
    return checked;
}

float timeIntervalFromText(const QString &text)
{
    return float(valueOf(ruleTimeIntervalText(text)));
}

QString ruleTransitionSpeedText(const QString &text)
{
    const QString checked = numberCheck(text, QStringLiteral("1"));
    const double v = valueOf(checked);
    if (v < 1) return QStringLiteral("1");
    if (v > 2.5) return QStringLiteral("2.5");
    return checked;
}

int32_t transitionSpeedMsFromText(const QString &text)
{
    return Nearest(valueOf(ruleTransitionSpeedText(text)) * 1000.0);
}

QString transitionSpeedText(int32_t milliseconds)
{
    return numberText(milliseconds / 1000.0);
}

QString ruleTitleDurationText(const QString &text)
{
    return numberCheck(text, QStringLiteral("8"));
}

float titleDurationFromText(const QString &text)
{
    return float(valueOf(ruleTitleDurationText(text)));
}

QString ruleSlideshowName(const QString &name)
{
    static const QString forbidden = QStringLiteral("\\/?\":*<>");
    for (QChar c : name)
        if (forbidden.contains(c)) return QStringLiteral("未命名图片幻灯");
    return name;
}

bool isTimeBoxKeystroke(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.');
}

} // namespace pvsm
