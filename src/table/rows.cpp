#include "table/rows.h"

#include "table/numbers.h"

namespace table {

QString rowPrefix(int position)
{
    return QLatin1Char('(') + format0000(double(position)) + QLatin1String(") : 359");
}

QString rowPrefix(const QString &positionText)
{
    return QLatin1Char('(') + format0000(positionText) + QLatin1String(") : 359");
}

QString makeRow(int position, const QString &gsm, qint16 object)
{
    QString row;
    row.reserve(30);
    row += rowPrefix(position);
    row += gsm;
    row += QLatin1String(" - ");
    row += QString::number(object);
    return row;
}

QString makeRow(const QString &positionText, const QString &gsm, qint16 object)
{
    return rowPrefix(positionText) + gsm + QLatin1String(" - ") + QString::number(object);
}

} // namespace table
