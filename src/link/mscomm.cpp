#include "link/mscomm.h"

#include "link/portfailure.h"

#include <QMetaObject>
#include <QSerialPort>
#include <QTimer>

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif
#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace comm {

namespace {
#ifdef Q_OS_WIN
// How often the port is read on Windows (see pollInput).
constexpr int kReadPollMs = 20;
// Errors that a read of nothing answered this many times in a row mean
// that the device is gone, whatever the driver still says about it.
constexpr int kMaxFruitlessRecoveries = 3;
#endif
} // namespace

MSComm::MSComm(PortMapper mapper, QObject *parent)
    : QObject(parent), m_mapper(std::move(mapper)), m_port(new QSerialPort(this))
{
    connect(m_port, &QSerialPort::readyRead, this, [this] {
#ifdef Q_OS_WIN
        m_fruitlessRecoveries = 0;
#endif
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
#ifdef Q_OS_WIN
    m_readTimer = new QTimer(this);
    m_readTimer->setInterval(kReadPollMs);
    connect(m_readTimer, &QTimer::timeout, this, &MSComm::pollInput);
#endif
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
        stopReading();
        m_port->close();
        m_port->clearError();
        m_pending.clear();
        return true;
    }

    QString device = deviceName();
    if (device.isEmpty()) {
        m_lastError = tr("COM %1 is not a port of this computer").arg(m_commPort);
        return false;
    }
    // The port's lock file is named after the name it is opened by: open
    // the device a link (/dev/serial/by-id/...) stands for, so that two
    // names of one device lock one file.
#ifdef Q_OS_UNIX
    const QString resolved = QFileInfo(device).canonicalFilePath();
    if (!resolved.isEmpty())
        device = resolved;
#endif
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
    askForLowLatency();
#ifdef Q_OS_WIN
    m_fruitlessRecoveries = 0;
    m_readTimer->start();
#endif
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
    stopReading();
    if (PortOpen())
        m_port->close();
}

void MSComm::stopReading()
{
    if (m_readTimer)
        m_readTimer->stop();
}

// Windows: QSerialPort waits for the driver's "character received" event
// before it reads, and where that event never comes (Wine's serial layer,
// some adapter drivers) received bytes would sit in the driver until the
// program reads by itself. Reading every few milliseconds while the port is
// open makes receiving independent of that event; where the event works,
// this mostly finds nothing and costs nothing.
void MSComm::pollInput()
{
    if (!PortOpen() || m_closing)
        return;
    const QByteArray bytes = m_port->readAll();
    if (bytes.isEmpty())
        return;
#ifdef Q_OS_WIN
    m_fruitlessRecoveries = 0;
#endif
    m_pending += bytes;
    m_commEvent = comEvReceive;
    emit OnComm();
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

// USB serial adapters hold received bytes up to their latency timer
// (16 ms on common chips) before passing them on, which a frame-by-frame
// exchange pays on every frame; a driver that supports it passes them on at
// once when asked. Where it does not (a pseudo-terminal, a plain UART),
// nothing changes.
void MSComm::askForLowLatency()
{
#ifdef Q_OS_LINUX
    const int fd = int(m_port->handle());
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) == 0 && !(serial.flags & ASYNC_LOW_LATENCY)) {
        serial.flags |= ASYNC_LOW_LATENCY;
        ::ioctl(fd, TIOCSSERIAL, &serial);
    }
#endif
}

bool MSComm::deviceGone() const
{
#ifdef Q_OS_UNIX
    pollfd p{int(m_port->handle()), POLLIN, 0};
    if (::poll(&p, 1, 0) < 0)
        return true;
    return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#elif defined(Q_OS_WIN)
    // A removed device fails every request on its handle: asking for the
    // port's state is the cheapest one. A driver that still answers but
    // fails every read (Wine on a hung-up line) is gone as well.
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(m_port->handle(), &errors, &status))
        return true;
    return m_fruitlessRecoveries >= kMaxFruitlessRecoveries;
#else
    return true;
#endif
}

void MSComm::closeLost()
{
    if (!PortOpen())
        return;
    stopReading();
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
    const QByteArray bytes = m_port->readAll();
#ifdef Q_OS_WIN
    m_fruitlessRecoveries = bytes.isEmpty() ? m_fruitlessRecoveries + 1 : 0;
#endif
    m_pending += bytes;
    if (!m_pending.isEmpty()) {
        m_commEvent = comEvReceive;
        emit OnComm();
    }
}

} // namespace comm
