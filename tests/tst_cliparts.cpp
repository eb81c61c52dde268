// The parts of m7ctl that need no port and no process of their own: the
// progress line's text, the list of ports, the port names -p takes.

#include "cli/ports.h"
#include "cli/terminal.h"
#include "cli/tool.h"

#include <QTest>

class CliPartsTest : public QObject {
    Q_OBJECT
private slots:
    void progressLine_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<int>("done");
        QTest::addColumn<int>("total"); // 0: unknown
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("line");
        QTest::newRow("known total: bar, rate, time left")
            << "writing" << 30 << 120 << 2.0 << "writing     30/120 [#####...............]    15.0/s  0:06 left";
        QTest::newRow("unknown total: count and rate") << "reading" << 7 << 0 << 0.5 << "reading      7    14.0/s";
    }
    void progressLine()
    {
        QFETCH(QString, what);
        QFETCH(int, done);
        QFETCH(int, total);
        QFETCH(double, seconds);
        QFETCH(QString, line);
        QCOMPARE(cli::ProgressLine::format(what, done, total, seconds), line);
    }

    // A header and the ports in aligned columns, "-" for what is unknown.
    void portLines()
    {
        const QStringList lines = cli::portLines({{QStringLiteral("/dev/ttyUSB0"), 1, QStringLiteral("FT232R USB UART"),
                                                   QStringLiteral("0403:6001"), QStringLiteral("A1B2"), QString()},
                                                  {QStringLiteral("/dev/ttyS3"), 0, QString(), QString(), QString(),
                                                   QStringLiteral("812 (minicom)")}});
        QCOMPARE(lines, (QStringList{
                            QStringLiteral("DEVICE        COM   DESCRIPTION      USB        SERIAL  HELD BY"),
                            QStringLiteral("/dev/ttyUSB0  COM1  FT232R USB UART  0403:6001  A1B2    -"),
                            QStringLiteral("/dev/ttyS3    -     -                -          -       812 (minicom)")}));
        QCOMPARE(cli::portLines({}), QStringList{QStringLiteral("DEVICE  COM  DESCRIPTION  USB  SERIAL  HELD BY")});
    }

    // -p takes a device path (COM number 0), COMn in any case, or n; a COM
    // number outside 1..4 names no port.
    void portFromArgument_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number"); // of a port
        QTest::addColumn<bool>("port");
        QTest::newRow("path") << "/dev/serial/by-id/usb-x" << 0 << true;
        QTest::newRow("com3") << "com3" << 3 << true;
        QTest::newRow("4") << "4" << 4 << true;
        QTest::newRow("COM5") << "COM5" << 0 << false;
        QTest::newRow("0") << "0" << 0 << false;
    }
    void portFromArgument()
    {
        QFETCH(QString, text);
        QFETCH(int, number);
        QFETCH(bool, port);
        const cli::PortChoice choice = cli::portFromArgument(text);
        if (port)
            QCOMPARE(choice.number, number);
        QCOMPARE(!choice.device.isEmpty(), port);
    }

    // The COM number whose device, by the window's mapping, is the port.
    void comNumberOf()
    {
        const auto mapping = [](int n) { return QStringLiteral("/dev/ttyUSB%1").arg(n + 1); };
        QCOMPARE(cli::comNumberOf(QStringLiteral("/dev/ttyUSB5"), mapping), 4);
        QCOMPARE(cli::comNumberOf(QStringLiteral("/dev/ttyUSB1"), mapping), 0);
    }
};

QTEST_APPLESS_MAIN(CliPartsTest)
#include "tst_cliparts.moc"
