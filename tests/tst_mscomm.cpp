// The serial control over a real QSerialPort on a pseudo-terminal.

#include "link/mscomm.h"
#include "link/portfailure.h"
#include "link/portmap.h"
#include "testcore.h"

#include <QLockFile>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

#include <termios.h>

using namespace testing;
using comm::MSComm;

class MSCommTest : public QObject {
    Q_OBJECT
private slots:
    // COM n is the first of ttyUSB{n-1}, ttyACM{n-1} that is present, else ttyS{n-1}.
    void comPortsMapToDevices_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("device");
        const QStringList both{QStringLiteral("/dev/ttyUSB1"), QStringLiteral("/dev/ttyACM1"), QStringLiteral("/dev/ttyACM0")};
        QTest::newRow("USB before ACM") << 2 << both << "/dev/ttyUSB1";
        QTest::newRow("ACM without USB") << 1 << both << "/dev/ttyACM0";
        QTest::newRow("neither") << 4 << both << "/dev/ttyS3";
        QTest::newRow("COM 0 is no port") << 0 << both << "";
    }
    void comPortsMapToDevices()
    {
        QFETCH(int, port);
        QFETCH(QStringList, present);
        QFETCH(QString, device);
        QCOMPARE(comm::unixPortName(port, [&](const QString &d) { return present.contains(d); }), device);
    }

    void missingDeviceReportsPlatformText()
    {
        MSComm port([](int) { return QStringLiteral("/nonexistent/ttyUSB9"); });
        QVERIFY(!port.setPortOpen(true));
        QVERIFY(!port.PortOpen());
        QCOMPARE(port.lastError(),
                 QStringLiteral("COM 1 (/nonexistent/ttyUSB9): No such file or directory\rThere is no such port. "
                                "Check that the unit's cable or USB adapter is plugged in and that the right COM "
                                "is chosen."));
        // Closing a closed port is no failure; a port number of no device is.
        QVERIFY(port.setPortOpen(false));
        MSComm none([](int) { return QString(); });
        QVERIFY(!none.setPortOpen(true));
        QVERIFY(!none.lastError().isEmpty());
    }

    void failureTextsTellTheCausesApart()
    {
        // Another program holds the port's lock: the text names the holder.
        Pty pty;
        const QString lockPath = comm::lockFilePathFor(pty.slavePath());
        QVERIFY(!lockPath.isEmpty());
        {
            QLockFile held(lockPath);
            QVERIFY(held.tryLock());
            MSComm port([&](int) { return pty.slavePath(); });
            QVERIFY(!port.setPortOpen(true));
            const QString text = port.lastError();
            QVERIFY2(text.contains(QStringLiteral("in use by another program (process %1 (tst_mscomm))")
                                       .arg(QCoreApplication::applicationPid())),
                     qPrintable(text));
            QVERIFY(text.contains(lockPath));
        }
        // No permission: the group to join.
        const QString denied =
            comm::openFailureText(2, QStringLiteral("/dev/ttyUSB1"), QSerialPort::PermissionError,
                                  QStringLiteral("Permission denied"));
        QVERIFY(denied.startsWith(QStringLiteral("COM 2 (/dev/ttyUSB1): Permission denied\r")));
        QVERIFY(denied.contains(QStringLiteral("\"dialout\"")));
        QVERIFY(!denied.contains(QStringLiteral("in use")));
    }

    void bytesGoBothWaysUnchanged()
    {
        Pty pty;
        QVERIFY(pty.isOpen());
        MSComm port([&](int n) { return n == 2 ? pty.slavePath() : QString(); });
        QVERIFY(port.setCommPort(2));
        QVERIFY2(port.setPortOpen(true), qPrintable(port.lastError()));
        QCOMPARE(pty.outputSpeed(), unsigned(B115200));
        QVERIFY(!port.setCommPort(3)); // refused while open
        QCOMPARE(port.CommPort(), qint16(2));
        QVERIFY(!port.setPortOpen(true));

        // Every character goes out as one byte, all 256 of them.
        QString text = QStringLiteral("[r]\r");
        for (int c = 0; c < 256; ++c)
            text += QChar(c);
        QSignalSpy events(&port, &MSComm::OnComm);
        port.Output(text);
        const QByteArray sent = pty.read(int(text.size()));
        QCOMPARE(sent, text.toLatin1());
        QVERIFY(waitFor([&] { return port.CommEvent() == comm::comEvSend; }));

        // Received bytes raise event 2, and one read takes all that waits.
        QByteArray back;
        for (int c = 255; c >= 0; --c)
            back += char(c);
        back += "(0012888123456 )\r\n";
        QVERIFY(pty.write(back));
        QVERIFY(waitFor([&] { return port.InBufferCount() >= back.size(); }));
        QCOMPARE(port.CommEvent(), qint16(comm::comEvReceive));
        QCOMPARE(port.Input(), back);
        QCOMPARE(port.InBufferCount(), 0);
        QVERIFY(port.Input().isEmpty());

        QVERIFY(port.setPortOpen(false));
        QVERIFY(!port.PortOpen());
        QVERIFY(port.setCommPort(3));
    }

    void hangUpClosesOnceWithoutSpinning()
    {
        Pty pty;
        QString path = pty.slavePath();
        MSComm port([&](int) { return path; });
        QVERIFY(port.setPortOpen(true));
        QSignalSpy lost(&port, &MSComm::Lost);
        QVERIFY(pty.write("(K)\r\n"));
        QVERIFY(waitFor([&] { return port.InBufferCount() == 5; }));
        pty.hangUp();
        QVERIFY(waitFor([&] { return !port.PortOpen(); }, 3000));
        QCOMPARE(lost.count(), 1);
        QVERIFY(!lost.first().first().toString().isEmpty());

        // Nothing keeps running after the loss: the event loop idles.
        QVERIFY(staysIdle(1000));
        QCOMPARE(lost.count(), 1);

        // The unit is back (a new pseudo-terminal): opening works again.
        Pty again;
        path = again.slavePath();
        QVERIFY2(port.setPortOpen(true), qPrintable(port.lastError()));
        port.Output(QStringLiteral("[r0000]\r"));
        QCOMPARE(again.read(8), QByteArray("[r0000]\r"));
        QVERIFY(again.write("(K)\r\n"));
        QVERIFY(waitFor([&] { return port.InBufferCount() == 5; }));
        QCOMPARE(port.Input(), QByteArray("(K)\r\n"));
    }
};

QTEST_GUILESS_MAIN(MSCommTest)
#include "tst_mscomm.moc"
