#include "link/frames.h"

#include "table/numbers.h"

namespace comm {

QString frameReadAll()
{
    return QStringLiteral("[r]\r");
}

QString frameEraseAll()
{
    return QStringLiteral("[d]\r");
}

std::optional<QString> deviceIndex(const QString &positionText)
{
    const std::optional<double> pos = table::readNumber(positionText);
    if (!pos)
        return std::nullopt;
    return table::format0000(*pos - 1);
}

std::optional<QString> frameReadOne(const QString &positionText)
{
    const std::optional<QString> p = deviceIndex(positionText);
    if (!p)
        return std::nullopt;
    return QLatin1String("[r") + *p + QLatin1String("]\r");
}

std::optional<QString> frameWrite(const QString &positionText, const QString &objectText, const QString &gsmText)
{
    const std::optional<QString> p = deviceIndex(positionText);
    if (!p)
        return std::nullopt;
    return QLatin1String("[w") + *p + table::format0000(objectText) + gsmText + QLatin1String("]\r");
}

} // namespace comm
