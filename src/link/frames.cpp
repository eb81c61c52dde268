#include "link/frames.h"

#include "table/numbers.h"

namespace comm {

namespace {
// P: the unit's index of a list position.
QString deviceIndex(int position)
{
    return table::format0000(double(position) - 1);
}
} // namespace

QString frameReadAll()
{
    return QStringLiteral("[r]\r");
}

QString frameEraseAll()
{
    return QStringLiteral("[d]\r");
}

QString frameReadOne(int position)
{
    return QLatin1String("[r") + deviceIndex(position) + QLatin1String("]\r");
}

QString frameWrite(int position, const table::Entry &entry)
{
    return QLatin1String("[w") + deviceIndex(position) + table::format0000(double(entry.object)) + entry.gsm +
           QLatin1String("]\r");
}

} // namespace comm
