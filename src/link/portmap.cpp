#include "link/portmap.h"

#include <QFileInfo>

namespace comm {

QString unixPortName(int n, const std::function<bool(const QString &)> &exists)
{
    if (n < 1)
        return QString();
    for (const char *stem : {"/dev/ttyUSB", "/dev/ttyACM"}) {
        const QString dev = QLatin1String(stem) + QString::number(n - 1);
        if (exists(dev))
            return dev;
    }
    return QStringLiteral("/dev/ttyS%1").arg(n - 1);
}

QString platformPortName(int n)
{
#ifdef Q_OS_WIN
    return n < 1 ? QString() : QStringLiteral("COM%1").arg(n);
#else
    return unixPortName(n, [](const QString &dev) { return QFileInfo::exists(dev); });
#endif
}

} // namespace comm
