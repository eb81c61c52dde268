// The parts of m7ctl that need no port and no process of their own: the
// progress line's text, the list of ports, the port names -p takes.

#include "cli/ports.h"
#include "cli/terminal.h"
#include "cli/tool.h"

#include <QTest>

class CliPartsTest : public QObject {
    Q_OBJECT
private slots:
    void progressLine()
    {
        QCOMPARE(cli::ProgressLine::format(QStringLiteral("writing"), 30, 120, 2.0),
                 QStringLiteral("writing     30/120 [#####...............]    15.0/s  0:06 left"));
        QCOMPARE(cli::ProgressLine::format(QStringLiteral("reading"), 7, 0, 0.5), QStringLiteral("reading      7    14.0/s"));
    }

    // A header and the ports in aligned columns, "-" for what is unknown.
    void portLines()
    {
        const QStringList lines = cli::portLines({{QStringLiteral("/dev/ttyUSB0"), 1, QStringLiteral("FT232R USB UART"),
                                                   QStringLiteral("0403:6001"), QStringLiteral("A1B2"), QString()},
                                                  {QStringLiteral("/dev/ttyS3"), 0, QString(), QString(), QString(),
                                                   QStringLiteral("812 (minicom)")}});
        QCOMPARE(lines, (QStringList{
                            QStringLiteral("DEVICE        COM   DESCRIPTION      USB        SERIAL  HELD BY        LASTING NAME"),
                            QStringLiteral("/dev/ttyUSB0  COM1  FT232R USB UART  0403:6001  A1B2    -              -"),
                            QStringLiteral("/dev/ttyS3    -     -                -          -       812 (minicom)  -")}));
        QCOMPARE(cli::portLines({}), QStringList{QStringLiteral("DEVICE  COM  DESCRIPTION  USB  SERIAL  HELD BY  LASTING NAME")});
    }

    // -p takes a device path (COM number 0), COMn in any case or n (1..4);
    // the COM number whose device, by the window's mapping, is a port.
    void portNames()
    {
        QCOMPARE(cli::portFromArgument(QStringLiteral("/dev/serial/by-id/usb-x")).number, 0);
        QCOMPARE(cli::portFromArgument(QStringLiteral("com3")).number, 3);
        QCOMPARE(cli::portFromArgument(QStringLiteral("4")).number, 4);
        QVERIFY(cli::portFromArgument(QStringLiteral("COM5")).device.isEmpty());
        QVERIFY(cli::portFromArgument(QStringLiteral("0")).device.isEmpty());
        const auto mapping = [](int n) { return QStringLiteral("/dev/ttyUSB%1").arg(n + 1); };
        QCOMPARE(cli::comNumberOf(QStringLiteral("/dev/ttyUSB5"), mapping), 4);
        QCOMPARE(cli::comNumberOf(QStringLiteral("/dev/ttyUSB1"), mapping), 0);
    }
};

QTEST_APPLESS_MAIN(CliPartsTest)
#include "tst_cliparts.moc"
