#include "link/portmap.h"

#include <QFileInfo>

namespace comm {

QString platformPortName(int n)
{
    if (n < 1)
        return QString();
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(n);
#else
    for (const char *stem : {"/dev/ttyUSB", "/dev/ttyACM"}) {
        const QString dev = QLatin1String(stem) + QString::number(n - 1);
        if (QFileInfo::exists(dev))
            return dev;
    }
    return QStringLiteral("/dev/ttyS%1").arg(n - 1);
#endif
}

} // namespace comm
