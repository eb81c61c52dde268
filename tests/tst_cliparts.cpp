// The parts of m7ctl that need no port and no process of their own: the
// progress line's text, the list of ports, the port names -p takes, the
// reading of the command line, and the command table against the manual
// page and the bash completion.

#include "cli/commands.h"
#include "cli/ports.h"
#include "cli/terminal.h"
#include "cli/tool.h"
#include "testcore.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include <cstdio>
#include <cstdlib>

namespace {
QString fileText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// Every "--name" in a text, the manual page's "\-\-name" included.
QSet<QString> longOptionsIn(QString text)
{
    text.replace(QLatin1String("\\-"), QLatin1String("-"));
    QSet<QString> names;
    // A prefix stands for the option m7ctl reads it as.
    for (const QRegularExpressionMatch &m : QRegularExpression(QStringLiteral("(?<!-)--([a-z][a-z-]*)")).globalMatch(text)) {
        const cli::Arguments a = cli::readArguments({QLatin1String("--") + m.captured(1), QStringLiteral("x")});
        names << (a.error.isEmpty() ? a.options.keys().first() : m.captured(1));
    }
    return names;
}

QSet<QString> words(const QString &text)
{
    const QStringList list = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return QSet<QString>(list.begin(), list.end());
}
} // namespace

class CliPartsTest : public QObject {
    Q_OBJECT
private slots:
    void progressLine()
    {
        QCOMPARE(cli::ProgressLine::format(QStringLiteral("writing"), 30, 120, 2.0),
                 QStringLiteral("writing     30/120 [#####...............]    15.0/s  0:06 left"));
        QCOMPARE(cli::ProgressLine::format(QStringLiteral("reading"), 7, 0, 0.5), QStringLiteral("reading      7    14.0/s"));
        // Narrow terminals: the bar goes first, then the rate, then the rest is cut.
        QCOMPARE(cli::ProgressLine::format(QStringLiteral("writing"), 30, 120, 2.0, 40),
                 QStringLiteral("writing     30/120    15.0/s  0:06 left"));
        QCOMPARE(cli::ProgressLine::format(QStringLiteral("writing"), 30, 120, 2.0, 30),
                 QStringLiteral("writing     30/120  0:06 left"));
        QCOMPARE(cli::ProgressLine::format(QStringLiteral("writing"), 30, 120, 2.0, 10), QStringLiteral("writing  "));
    }

    // On a terminal: "\r", a cleared line and the text, at most ten times a
    // second but at once for a new stage and for the last step; cleared away
    // at the end. Disabled (no terminal, -q): nothing at all.
    void progressLineDraws()
    {
        for (const bool enabled : {true, false}) {
            char *buffer = nullptr;
            size_t size = 0;
            std::FILE *out = open_memstream(&buffer, &size);
            QElapsedTimer t;
            t.start();
            {
                cli::ProgressLine line(enabled, out);
                for (int i = 1; i <= 200; ++i)
                    line.update(QStringLiteral("writing"), i, 200);
                line.update(QStringLiteral("checking"), 1, 200);
            }
            const qint64 ms = t.elapsed(); // a busy machine may take long enough for more lines
            std::fclose(out);
            const QList<QByteArray> drawn = QByteArray(buffer, qsizetype(size)).split('\r');
            std::free(buffer);
            if (!enabled) {
                QCOMPARE(drawn, QList<QByteArray>{QByteArray()});
                continue;
            }
            QVERIFY2(drawn.size() >= 5 && drawn.size() <= 5 + ms / 100, qPrintable(QString::number(drawn.size())));
            QVERIFY(drawn[1].startsWith("\033[Kwriting      1/200"));
            QVERIFY(drawn[drawn.size() - 3].startsWith("\033[Kwriting    200/200"));
            QVERIFY(drawn[drawn.size() - 2].startsWith("\033[Kchecking     1/200"));
            QCOMPARE(drawn.last(), QByteArray("\033[K"));
        }
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
        QCOMPARE(cli::portFromArgument(QStringLiteral("ttyUSB0")).device, QStringLiteral("/dev/ttyUSB0"));
        QVERIFY(cli::portFromArgument(QStringLiteral("COMx")).device.isEmpty());
        QCOMPARE(cli::portFromArgument(QStringLiteral("/dev/serial/by-id/usb-x")).number, 0);
        QCOMPARE(cli::portFromArgument(QStringLiteral("com3")).number, 3);
        QCOMPARE(cli::portFromArgument(QStringLiteral("4")).number, 4);
        QVERIFY(cli::portFromArgument(QStringLiteral("COM5")).device.isEmpty());
        QVERIFY(cli::portFromArgument(QStringLiteral("0")).device.isEmpty());
        // Windows: any COMn is a port; a bare number above 4, a path or a
        // name is not.
        QCOMPARE(cli::portFromArgument(QStringLiteral("com12"), true).device, QStringLiteral("COM12"));
        QCOMPARE(cli::portFromArgument(QStringLiteral("2"), true).number, 2);
        for (const char *no : {"12", "COM257", "/dev/ttyUSB0", "ttyUSB0"})
            QVERIFY2(cli::portFromArgument(QString::fromLatin1(no), true).device.isEmpty(), no);
        const auto mapping = [](int n) { return QStringLiteral("/dev/ttyUSB%1").arg(n + 1); };
        QCOMPARE(cli::comNumberOf(QStringLiteral("/dev/ttyUSB5"), mapping), 4);
        QCOMPARE(cli::comNumberOf(QStringLiteral("/dev/ttyUSB1"), mapping), 0);
    }

    // The command line as getopt reads it.
    void readArguments_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("read"); // options in name order, then the words; or the error
        QTest::newRow("bundled switches") << QStringList{"-qV"} << "quiet= version= |";
        QTest::newRow("values attached, next, after =")
            << QStringList{"-pCOM2", "write", "-t", "0.5", "--format=csv", "-", "--", "--yes"}
            << "format=csv port=COM2 timeout=0.5 | write - --yes";
        QTest::newRow("a switch then a value in one word") << QStringList{"-qp", "ttyUSB0", "read"} << "port=ttyUSB0 quiet= | read";
        QTest::newRow("unique prefixes") << QStringList{"--dry", "--no", "--ver", "--po", "1"} << "dry-run= no-verify= port=1 version= |";
        QTest::newRow("ambiguous prefix") << QStringList{"--p"} << "option --p is ambiguous: --port, --prune";
        QTest::newRow("unknown short option") << QStringList{"-qx"} << "unknown option -x";
        QTest::newRow("value missing") << QStringList{"read", "-o"} << "option -o wants FILE";
        QTest::newRow("switch with a value") << QStringList{"--yes=no"} << "option --yes takes no value";
    }
    void readArguments()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, read);
        const cli::Arguments a = cli::readArguments(args);
        QStringList options;
        for (auto it = a.options.cbegin(); it != a.options.cend(); ++it)
            options << it.key() + QLatin1Char('=') + it.value();
        options.sort();
        QCOMPARE(a.error.isEmpty() ? (options + QStringList{"|"} + a.words).join(QLatin1Char(' ')) : a.error, read);
    }

    void timeouts()
    {
        QCOMPARE(cli::timeoutFrom(QStringLiteral("0.5")).value_or(-1), 500);
        QCOMPARE(cli::timeoutFrom(QStringLiteral("3600")).value_or(-1), 3600000);
        for (const char *bad : {"nan", "inf", "1e-9", "0.0001", "-1", "3601", ""})
            QVERIFY2(!cli::timeoutFrom(QLatin1String(bad)), bad);
    }

    void nearestCommand()
    {
        QCOMPARE(cli::nearestCommand(QStringLiteral("wrte")), QStringLiteral("write"));
        QCOMPARE(cli::nearestCommand(QStringLiteral("Raed")), QStringLiteral("read"));
        QCOMPARE(cli::nearestCommand(QStringLiteral("po")), QStringLiteral("ports"));
        QCOMPARE(cli::nearestCommand(QStringLiteral("frobnicate")), QString());
    }

    // The lasting name of a device: the link in the by-id folder that
    // points to it.
    void lastingNames()
    {
        testing::ScratchDir dir;
        QVERIFY(testing::put(QStringLiteral("ttyUSB7"), QByteArray()));
        QVERIFY(QFile::link(dir.file(QStringLiteral("ttyUSB7")), dir.file(QStringLiteral("usb-FTDI_A1-if00-port0"))));
        const QHash<QString, QString> names = cli::lastingNames(dir.path());
        QCOMPARE(names.value(dir.file(QStringLiteral("ttyUSB7"))), dir.file(QStringLiteral("usb-FTDI_A1-if00-port0")));
        QCOMPARE(names.size(), 1);
    }

    // --help, the manual page and the bash completion name every command
    // and option of the table, and none that it lacks.
    void tableAgreesWithHelpManualAndCompletion()
    {
        const QString help = cli::usageText();
        const QString man = fileText(QStringLiteral(M7_PACKAGING "/man/m7ctl.1.in"));
        const QString completion = fileText(QStringLiteral(M7_PACKAGING "/completion/m7ctl"));
        QVERIFY(!man.isEmpty() && !completion.isEmpty());
        QSet<QString> options, global, valued;
        for (const cli::OptionInfo &o : cli::optionTable()) {
            options << o.name;
            if (o.global)
                global << QLatin1String("--") + o.name << (o.letter.isNull() ? QString() : QStringLiteral("-%1").arg(o.letter));
            if (!o.value.isEmpty())
                valued << QLatin1String("--") + o.name << (o.letter.isNull() ? QString() : QStringLiteral("-%1").arg(o.letter));
            QVERIFY2(help.contains(cli::optionSynopsis(o)), qPrintable(o.name));
        }
        global.remove(QString());
        valued.remove(QString());
        QCOMPARE(longOptionsIn(help), options);
        QCOMPARE(longOptionsIn(man), options);
        QCOMPARE(longOptionsIn(completion), options);
        const QRegularExpression globalLine(QStringLiteral("local options='([^']*)'"));
        QCOMPARE(words(globalLine.match(completion).captured(1)), global);
        QStringList skipped = QRegularExpression(QStringLiteral("\\n\\s*(-p \\|[^)]*)\\)\\n\\s*\\[\\[ \\$\\{COMP_WORDS"))
                                  .match(completion).captured(1).split(QLatin1String(" | "));
        QCOMPARE(QSet<QString>(skipped.begin(), skipped.end()), valued);

        QStringList names;
        for (const cli::CommandInfo &c : cli::commandTable()) {
            names << c.name;
            QVERIFY2(help.contains(QLatin1String("  ") + cli::commandSynopsis(c) + QLatin1Char('\n')), qPrintable(c.name));
            QVERIFY2(QRegularExpression(QStringLiteral("\\n\\.TP\\n(\\.BI? \"?|\\\\fB)%1\\b").arg(c.name)).match(man).hasMatch(),
                     qPrintable(QStringLiteral("the manual page has no entry for ") + c.name));
            QSet<QString> own;
            for (const QString &o : c.options)
                own << QLatin1String("--") + o << QStringLiteral("-o").left(o == QLatin1String("output") ? 2 : 0);
            own.remove(QString());
            const QRegularExpression line(QStringLiteral("\\n\\s*%1\\) options\\+=' ([^']*)' ;;").arg(c.name));
            QCOMPARE(words(line.match(completion).captured(1)), own);
        }
        QCOMPARE(words(QRegularExpression(QStringLiteral("compgen -W '([a-z ]*)' -- \"\\$cur\"\\)\\)\\n\\s*elif"))
                           .match(completion).captured(1)),
                 QSet<QString>(names.begin(), names.end()));
    }
};

QTEST_APPLESS_MAIN(CliPartsTest)
#include "tst_cliparts.moc"
