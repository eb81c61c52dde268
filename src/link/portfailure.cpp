#include "link/portfailure.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QStandardPaths>
#include <QStringList>

namespace comm {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("MSComm", text);
}
} // namespace

QString lockFilePathFor(const QString &device)
{
    // As serialPortLockFilePath() in Qt 6.4's src/serialport/qserialport_unix.cpp.
    static const QStringList dirs = QStringList{
        QStringLiteral("/var/lock"),
        QStringLiteral("/etc/locks"),
        QStringLiteral("/var/spool/locks"),
        QStringLiteral("/var/spool/uucp"),
        QStringLiteral("/tmp"),
        QStringLiteral("/var/tmp"),
        QStringLiteral("/var/lock/lockdev"),
        QStringLiteral("/run/lock"),
#ifdef Q_OS_ANDROID
        QStringLiteral("/data/local/tmp"),
#endif
        QStandardPaths::writableLocation(QStandardPaths::TempLocation),
    };
    // The port name is the device without "/dev/"; a "/" in it becomes "_".
    QString name = device;
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QString fileName = QLatin1String("/LCK..") + name;
    for (const QString &dir : dirs) {
        const QString path = dir + fileName;
        const QFileInfo d(dir);
        if (d.isReadable() && (QFile::exists(path) || d.isWritable()))
            return path;
    }
    return QString();
}

QString lockHolder(const QString &lockFile)
{
    QFile f(lockFile);
    if (lockFile.isEmpty() || !f.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray pid = f.readLine().trimmed();
    if (pid.isEmpty())
        return QString();
    QFile comm(QStringLiteral("/proc/%1/comm").arg(QString::fromLatin1(pid)));
    if (comm.open(QIODevice::ReadOnly))
        return QStringLiteral("%1 (%2)").arg(QString::fromLatin1(pid), QString::fromLocal8Bit(comm.readAll().trimmed()));
    return QString::fromLatin1(pid);
}

QString openFailureText(int portNumber, const QString &device, int serialPortError, const QString &platformText)
{
    const QString where = portNumber > 0 ? QStringLiteral("COM %1 (%2): %3").arg(portNumber).arg(device, platformText)
                                         : QStringLiteral("%1: %2").arg(device, platformText);
    switch (serialPortError) {
    case QSerialPort::DeviceNotFoundError:
        return where + QLatin1Char('\r')
            + tr("There is no such port. Check that the unit's cable or USB adapter is plugged in and "
                 "that the right COM is chosen.");
    case QSerialPort::PermissionError:
#ifdef Q_OS_WIN
        // Windows has no lock files and no device groups: a port that is
        // refused is open in another program.
        return where + QLatin1Char('\r')
            + tr("The port is in use by another program. Close it and try again.");
#endif
        if (platformText.contains(QLatin1String("lock"), Qt::CaseInsensitive)) {
            const QString lock = lockFilePathFor(device);
            const QString holder = lockHolder(lock);
            return where + QLatin1Char('\r')
                + tr("The port is in use by another program%1. Close it and try again; a modem manager "
                     "that probes a freshly plugged adapter holds it for a few seconds. If no such "
                     "program runs, remove the stale lock file %2.")
                      .arg(holder.isEmpty() ? QString() : tr(" (process %1)").arg(holder), lock);
        }
        return where + QLatin1Char('\r')
            + tr("Your user may not use this port. Add it to the group \"dialout\" "
                 "(sudo adduser $USER dialout), then log out and in again.");
    default:
        return where;
    }
}

} // namespace comm
