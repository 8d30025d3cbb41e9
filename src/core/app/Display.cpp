#include "Display.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>

namespace pvsm {

DisplayFacts probeDisplay()
{
    DisplayFacts facts;
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return facts;
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        facts.screen = screen->size();
        facts.standardResolution =
            qRound(screen->logicalDotsPerInchX()) == 96 && qRound(screen->logicalDotsPerInchY()) == 96;
    }
    return facts;
}

QStringList cjkFallbackFaces()
{
    return {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Serif CJK SC"),
            QStringLiteral("Source Han Sans SC"), QStringLiteral("WenQuanYi Micro Hei"),
            QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("AR PL UMing CN"),
            QStringLiteral("Droid Sans Fallback")};
}

QString chooseDefaultTextFont(const QString &uiFont, const QStringList &installed, const QStringList &cjkCapable)
{
    auto has = [](const QStringList &list, const QString &name) {
        return list.contains(name, Qt::CaseInsensitive);
    };
    if (has(installed, uiFont) && has(cjkCapable, uiFont)) return uiFont;
    for (const QString &face : cjkFallbackFaces())
        if (has(cjkCapable, face)) return face;
    if (!cjkCapable.isEmpty()) return cjkCapable.first();
    return uiFont;
}

QString chooseDefaultTextFont(const QString &uiFont)
{
    const QStringList installed = QFontDatabase::families();
    const QStringList cjk = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    return chooseDefaultTextFont(uiFont, installed, cjk);
}

} // namespace pvsm
