#include "Version.h"

namespace pvsm {

QString productName()
{
    return QStringLiteral("图片幻灯工作室");
}

QString versionText(int major, int minor, int revision)
{
    return QString::number(major) + QLatin1Char('.') + QString::number(minor) + QString::number(revision);
}

QString windowCaption()
{
    return productName() + versionText();
}

} // namespace pvsm
