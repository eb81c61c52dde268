#pragma once
// MSComm: the window's serial control. A small layer over QSerialPort that
// offers what the program relies on: a port number, an open state whose
// changes report the platform's failure text, sending text one byte per
// character, reading every waiting byte at once, and a port event with a
// code (comEvReceive when bytes are waiting).

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

class QSerialPort;
class QTimer;

namespace comm {

// Port event codes.
enum CommEventCode : qint16 {
    comEvSend = 1,    // the bytes given to Output() have all gone out
    comEvReceive = 2, // received bytes are waiting
};

// Maps a port number (1 to 4) to the device to open. An empty name means
// that the port number names no device.
using PortMapper = std::function<QString(int portNumber)>;

class MSComm : public QObject {
    Q_OBJECT
public:
    explicit MSComm(PortMapper mapper, QObject *parent = nullptr);
    ~MSComm() override;

    // Fixed line settings: 115200 baud, 8 data bits, no parity, 1 stop bit.
    static constexpr int kBaudRate = 115200;

    qint16 CommPort() const { return m_commPort; }
    // Refused (false) while the port is open; takes effect at the next open.
    bool setCommPort(qint16 n);

    bool PortOpen() const;
    // Opens or closes the port. On failure returns false, keeps the open
    // state as it was and leaves the failure's text in lastError().
    bool setPortOpen(bool open);
    QString lastError() const { return m_lastError; }

    // The device the current port number maps to.
    QString deviceName() const;

    // Sends the text, one byte per character (Latin-1); does not wait.
    void Output(const QString &text);
    // Every byte received and not yet read; removes them from the buffer.
    QByteArray Input();
    qint64 InBufferCount() const;

    // The code of the latest port event.
    qint16 CommEvent() const { return m_commEvent; }

    // Closes the port without any event: used when the process ends at once.
    void release();

signals:
    void OnComm();
    // The device went away while the port was open (a USB adapter pulled
    // out, the other end of a pseudo-terminal closed). The port has been
    // closed already; the text says why.
    void Lost(const QString &why);

private:
    void onError(int error);
    bool deviceGone() const;
    void askForLowLatency();
    void closeLost();
    void recoverReading();
    void pollInput();
    void stopReading();

    PortMapper m_mapper;
    QSerialPort *m_port = nullptr;
    qint16 m_commPort = 1;
    qint16 m_commEvent = 0;
    QString m_lastError;
    QString m_lostWhy;
    QString m_openDevice;   // the device opened last
    QByteArray m_pending;   // bytes taken out of the port while recovering
    bool m_closing = false; // a lost device is being closed
    // Windows only: reads the port while it is open, since the port's own
    // read notification cannot be relied on there (see pollInput).
    QTimer *m_readTimer = nullptr;
#ifdef Q_OS_WIN
    int m_fruitlessRecoveries = 0; // recoveries in a row that read nothing
#endif
};

} // namespace comm
