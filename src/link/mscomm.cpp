#include "link/mscomm.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QSerialPort>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

namespace comm {

QString lockFilePathFor(const QString &device)
{
    // The directories and the name the serial port class uses for its lock.
    QString name = device;
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const char *dir : {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp", "/tmp", "/var/tmp",
                            "/var/lock/lockdev", "/run/lock", "/data/local/tmp"}) {
        const QString path = QLatin1String(dir) + QLatin1String("/LCK..") + name;
        const QFileInfo d{QString::fromLatin1(dir)};
        if (d.isReadable() && (QFile::exists(path) || d.isWritable()))
            return path;
    }
    return QString();
}

namespace {
// "1234 (name)" for the process named in a lock file, if it can be read.
QString lockHolder(const QString &lockFile)
{
    QFile f(lockFile);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray pid = f.readLine().trimmed();
    if (pid.isEmpty())
        return QString();
    QFile comm(QStringLiteral("/proc/%1/comm").arg(QString::fromLatin1(pid)));
    if (comm.open(QIODevice::ReadOnly))
        return QStringLiteral("%1 (%2)").arg(QString::fromLatin1(pid), QString::fromLocal8Bit(comm.readAll().trimmed()));
    return QString::fromLatin1(pid);
}
} // namespace

QString openFailureText(int portNumber, const QString &device, int serialPortError, const QString &platformText)
{
    const QString where = QStringLiteral("COM %1 (%2): %3").arg(portNumber).arg(device, platformText);
    switch (serialPortError) {
    case QSerialPort::DeviceNotFoundError:
        return where + QLatin1Char('\r')
            + MSComm::tr("There is no such port. Check that the unit's cable or USB adapter is plugged in and "
                         "that the right COM is chosen.");
    case QSerialPort::PermissionError:
        if (platformText.contains(QLatin1String("lock"), Qt::CaseInsensitive)) {
            const QString lock = lockFilePathFor(device);
            const QString holder = lockHolder(lock);
            return where + QLatin1Char('\r')
                + MSComm::tr("The port is in use by another program%1. Close it and try again; a modem manager "
                             "that probes a freshly plugged adapter holds it for a few seconds. If no such "
                             "program runs, remove the stale lock file %2.")
                      .arg(holder.isEmpty() ? QString() : MSComm::tr(" (process %1)").arg(holder), lock);
        }
        return where + QLatin1Char('\r')
            + MSComm::tr("Your user may not use this port. Add it to the group \"dialout\" "
                         "(sudo adduser $USER dialout), then log out and in again.");
    default:
        return where;
    }
}

MSComm::MSComm(PortMapper mapper, QObject *parent)
    : QObject(parent), m_mapper(std::move(mapper)), m_port(new QSerialPort(this))
{
    connect(m_port, &QSerialPort::readyRead, this, [this] {
        m_commEvent = comEvReceive;
        emit OnComm();
    });
    connect(m_port, &QSerialPort::bytesWritten, this, [this] {
        if (m_port->bytesToWrite() == 0) {
            m_commEvent = comEvSend;
            emit OnComm();
        }
    });
    connect(m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) { onError(e); });
}

MSComm::~MSComm() = default;

bool MSComm::setCommPort(qint16 n)
{
    if (PortOpen())
        return false;
    m_commPort = n;
    return true;
}

bool MSComm::PortOpen() const
{
    return m_port->isOpen();
}

QString MSComm::deviceName() const
{
    return m_mapper ? m_mapper(m_commPort) : QString();
}

bool MSComm::setPortOpen(bool open)
{
    if (open == PortOpen()) {
        if (!open)
            return true;
        m_lastError = tr("Port already open");
        return false;
    }
    if (!open) {
        m_port->close();
        m_port->clearError();
        m_pending.clear();
        return true;
    }

    const QString device = deviceName();
    if (device.isEmpty()) {
        m_lastError = tr("COM %1 is not a port of this computer").arg(m_commPort);
        return false;
    }
    m_port->setPortName(device);
    m_port->setBaudRate(kBaudRate);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port->open(QIODevice::ReadWrite)) {
        m_lastError = openFailureText(m_commPort, device, m_port->error(), m_port->errorString());
        m_port->clearError();
        return false;
    }
    m_closing = false;
    m_pending.clear();
    m_openDevice = device;
    return true;
}

void MSComm::Output(const QString &text)
{
    if (PortOpen())
        m_port->write(text.toLatin1());
}

QByteArray MSComm::Input()
{
    QByteArray bytes = std::move(m_pending);
    m_pending.clear();
    if (PortOpen())
        bytes += m_port->readAll();
    return bytes;
}

qint64 MSComm::InBufferCount() const
{
    return m_pending.size() + (PortOpen() ? m_port->bytesAvailable() : 0);
}

void MSComm::release()
{
    if (PortOpen())
        m_port->close();
}

// QSerialPort reports an unplugged device as ReadError or ResourceError, and
// it may report one again on every turn of the event loop: the first one
// while the port is open ends the connection, once. ResourceError is also
// what a read of no bytes after a spurious wake-up can turn into; when the
// device is in fact still there, reading goes on.
void MSComm::onError(int error)
{
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::UnknownError:
        break;
    default:
        return;
    }
    if (!PortOpen() || m_closing)
        return;
    if (deviceGone()) {
        m_closing = true;
        // The error's own text is often a stale one: say what happened.
        m_lostWhy = tr("%1 went away (the cable or adapter was unplugged, or the unit switched off)")
                        .arg(m_openDevice);
        // Close outside the port's own notification handler.
        QMetaObject::invokeMethod(this, &MSComm::closeLost, Qt::QueuedConnection);
    } else {
        QMetaObject::invokeMethod(this, &MSComm::recoverReading, Qt::QueuedConnection);
    }
}

bool MSComm::deviceGone() const
{
#ifdef Q_OS_UNIX
    pollfd p{int(m_port->handle()), POLLIN, 0};
    if (::poll(&p, 1, 0) < 0)
        return true;
    return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    return true;
#endif
}

void MSComm::closeLost()
{
    if (!PortOpen())
        return;
    m_port->close();
    m_port->clearError();
    m_pending.clear();
    m_closing = false;
    emit Lost(m_lostWhy);
}

void MSComm::recoverReading()
{
    if (!PortOpen())
        return;
    m_port->clearError();
    // Reading re-arms the port's read notification that the error turned off.
    m_pending += m_port->readAll();
    if (!m_pending.isEmpty()) {
        m_commEvent = comEvReceive;
        emit OnComm();
    }
}

} // namespace comm
