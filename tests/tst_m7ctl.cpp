// m7ctl as a technician runs it: the real program in a process of its own,
// its serial port on a pseudo-terminal whose other end is the simulated
// unit, run here on the test's event loop. Exit statuses, what goes to
// standard output and to standard error, and what the unit holds after.

#include "files/tablefile.h"
#include "m7unit.h"
#include "testcore.h"

#include <QFile>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <csignal>

using namespace testing;

namespace {
struct Run {
    int status = -1;
    QString out;
    QString err;
    qint64 ms = 0;
};

// Runs m7ctl with the arguments; during(process) is called once it runs.
Run m7ctl(const QStringList &args, const std::function<void(QProcess &)> &during = {})
{
    QProcess p;
    p.setProgram(QStringLiteral(M7CTL));
    p.setArguments(args);
    QElapsedTimer t;
    t.start();
    p.start();
    Run r;
    if (!p.waitForStarted())
        return r;
    if (during)
        during(p);
    if (!waitFor([&] { return p.state() == QProcess::NotRunning; }, 60000))
        p.kill();
    waitFor([&] { return p.state() == QProcess::NotRunning; }, 2000);
    r.ms = t.elapsed();
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

QString describe(const Run &r)
{
    return QStringLiteral("status %1\nstdout:\n%2\nstderr:\n%3").arg(r.status).arg(r.out, r.err);
}

table::Table tableOf(const m7sim::Table &unitTable)
{
    table::Table t;
    for (const m7sim::Slot &s : unitTable)
        t << (s.isBlank() ? table::Entry{} : table::Entry{QString::fromLatin1(s.gsm), qint16(s.object)});
    return t;
}

m7sim::Options unitOf(int slotCount, quint32 seed = 1)
{
    m7sim::Options o;
    o.slotCount = slotCount;
    o.seed = seed;
    o.hello = true;
    return o;
}

bool hasWriteFrame(const m7sim::Unit &u)
{
    for (const QByteArray &f : u.framesReceived())
        if (f.startsWith("[w"))
            return true;
    return false;
}

void put(const QString &name, const QByteArray &bytes)
{
    QFile f(name);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray contents(const QString &name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

#define RUN_OK(run, want) QVERIFY2((run).status == (want), qPrintable(describe(run)))
} // namespace

class M7ctlTest : public ScratchCases {
    Q_OBJECT
private slots:
    // Back up one unit and clone it onto another; then nothing differs.
    void backupAndClone_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("objects file") << "unit.onf";
        QTest::newRow("spreadsheet") << "unit.csv";
    }
    void backupAndClone()
    {
        QFETCH(QString, file);
        m7sim::Unit from(unitOf(120, 1)), to(unitOf(120, 2));
        QVERIFY(from.start() && to.start());
        const Run backup = m7ctl({QStringLiteral("-p"), from.slavePath(), QStringLiteral("read"), QStringLiteral("-o"), file});
        RUN_OK(backup, 0);
        const table::Table original = tableOf(from.table());
        if (file.endsWith(QLatin1String(".onf")))
            QCOMPARE(contents(file), files::onfOf(original)); // the window's "Save Objects-File" bytes
        RUN_OK(m7ctl({QStringLiteral("-p"), to.slavePath(), QStringLiteral("diff"), file}), 1);
        RUN_OK(m7ctl({QStringLiteral("-p"), to.slavePath(), QStringLiteral("write"), file}), 0);
        QCOMPARE(tableOf(to.table()), original);
        const Run diff = m7ctl({QStringLiteral("-p"), to.slavePath(), QStringLiteral("diff"), file});
        RUN_OK(diff, 0);
        QVERIFY(diff.out.isEmpty());
    }

    // A spreadsheet's CSV: byte-order mark, semicolons, GSM numbers as people
    // write them, a column the tool does not use; only differing entries are
    // written.
    void programsFromASpreadsheet()
    {
        m7sim::Unit unit(unitOf(10));
        QVERIFY(unit.start());
        put(QStringLiteral("residents.csv"),
            "\xEF\xBB\xBFName;Position;GSM;Object\r\n"
            "Ivanova;1;+359 888 100 001;101\r\n"
            "Petrov;2;0888100002;102\r\n"
            "\"Georgiev; flat 3\";3;00359-888-100-003;103\r\n"
            "Dimitrova;4;(359) 888.100.004;104\r\n"
            ";5;;0\r\n"
            ";;;\r\n");
        const Run dry = m7ctl({QStringLiteral("-p"), unit.slavePath(), QStringLiteral("write"), QStringLiteral("residents.csv"), QStringLiteral("--dry-run")});
        RUN_OK(dry, 0);
        QVERIFY(!hasWriteFrame(unit));
        const Run run = m7ctl({QStringLiteral("-p"), unit.slavePath(), QStringLiteral("write"), QStringLiteral("residents.csv")});
        RUN_OK(run, 0);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(unit.table()[i], (m7sim::Slot{QByteArray("88810000") + char('1' + i), 101 + i}));
        QVERIFY(unit.table()[4].isBlank());
        QCOMPARE(tableOf(unit.table()).mid(5), tableOf(m7sim::generateTable(10, 1)).mid(5));
    }

    // Every problem of a bad file is told, with its line, and nothing is
    // written.
    void badFileSendsNothing()
    {
        m7sim::Unit unit(unitOf(10));
        QVERIFY(unit.start());
        const m7sim::Slot held = unit.table()[0]; // a number the unit holds at position 1
        put(QStringLiteral("bad.csv"),
            "position,gsm,object\r\n"
            "2,88812345,17\r\n"             // 2: eight digits
            "3,888123457,8000\r\n"          // 3: object out of range
            "not a row\r\n"                 // 4
            "11,888123458,18\r\n"           // 5: beyond the unit's 10 positions
            "6,888123459,19\r\n"
            "6,888123460,20\r\n"            // 7: position twice
            "7," + held.gsm + ",21\r\n");   // 8: GSM number also at position 1
        const Run run = m7ctl({QStringLiteral("-p"), unit.slavePath(), QStringLiteral("write"), QStringLiteral("bad.csv")});
        RUN_OK(run, 2);
        for (const int line : {2, 3, 4, 5, 7, 8})
            QVERIFY2(run.err.contains(QStringLiteral("bad.csv:%1: ").arg(line)), qPrintable(describe(run)));
        QVERIFY(!hasWriteFrame(unit));
    }

    // A unit that never answers: asked twice, each time for the timeout.
    void silentUnit()
    {
        m7sim::Options o = unitOf(10);
        o.silenceAfterLines = 0;
        m7sim::Unit unit(o);
        QVERIFY(unit.start());
        const Run run = m7ctl({QStringLiteral("-p"), unit.slavePath(), QStringLiteral("-t"), QStringLiteral("0.5"), QStringLiteral("read")});
        RUN_OK(run, 4);
        QVERIFY2(run.err.contains(QStringLiteral("did not answer within 0.5 s (asked twice)")), qPrintable(run.err));
        QCOMPARE(unit.framesReceived().size(), 2);
        QVERIFY2(run.ms >= 1000 && run.ms < 4000, qPrintable(QString::number(run.ms)));
    }

    // One entry at a time, the checks an edit gets, and the port's failures.
    void singleEntriesAndUsage()
    {
        m7sim::Unit unit(unitOf(10));
        QVERIFY(unit.start());
        const QString port = unit.slavePath();
        const m7sim::Slot first = unit.table()[0];
        const Run get = m7ctl({QStringLiteral("-p"), port, QStringLiteral("get"), QStringLiteral("1")});
        RUN_OK(get, 0);
        QCOMPARE(get.out, table::rowOf(1, tableOf(unit.table())[0]) + QLatin1Char('\n'));
        RUN_OK(m7ctl({QStringLiteral("-p"), port, QStringLiteral("set"), QStringLiteral("5"), QStringLiteral("+359 888 555 555"), QStringLiteral("555")}), 0);
        QCOMPARE(unit.table()[4], (m7sim::Slot{"888555555", 555}));
        // A GSM number another position holds is refused.
        const Run dup = m7ctl({QStringLiteral("-p"), port, QStringLiteral("set"), QStringLiteral("6"), QString::fromLatin1(first.gsm), QStringLiteral("556")});
        RUN_OK(dup, 2);
        RUN_OK(m7ctl({QStringLiteral("-p"), port, QStringLiteral("clear"), QStringLiteral("5")}), 0);
        QVERIFY(unit.table()[4].isBlank());
        RUN_OK(m7ctl({QStringLiteral("-p"), port, QStringLiteral("get"), QStringLiteral("11")}), 2);
        RUN_OK(m7ctl({QStringLiteral("-p"), port, QStringLiteral("erase")}), 2); // without --yes
        const Run erase = m7ctl({QStringLiteral("-p"), port, QStringLiteral("erase"), QStringLiteral("--yes")});
        RUN_OK(erase, 0);
        QCOMPARE(unit.table(), m7sim::Table(10));
        // Bad usage and a port that is not there.
        RUN_OK(m7ctl({QStringLiteral("frobnicate")}), 2);
        RUN_OK(m7ctl({QStringLiteral("-p"), QStringLiteral("COM9"), QStringLiteral("read")}), 2);
        RUN_OK(m7ctl({QStringLiteral("read"), QStringLiteral("--dry-run")}), 2);
        const Run missing = m7ctl({QStringLiteral("-p"), QStringLiteral("/nonexistent/ttyUSB7"), QStringLiteral("read")});
        RUN_OK(missing, 3);
        QVERIFY2(missing.err.contains(QStringLiteral("No such file or directory")), qPrintable(missing.err));
        const Run help = m7ctl({QStringLiteral("--help")});
        RUN_OK(help, 0);
        QVERIFY(help.out.contains(QStringLiteral("write FILE [--dry-run] [--prune] [--no-verify]")));
    }

    void infoLines()
    {
        m7sim::Options o = unitOf(5);
        o.info = true;
        m7sim::Unit unit(o);
        QVERIFY(unit.start());
        const Run info = m7ctl({QStringLiteral("-p"), unit.slavePath(), QStringLiteral("info")});
        RUN_OK(info, 0);
        QCOMPARE(info.out, QStringLiteral("GSM-M7/1 V2.14 SN:00123456\nCSQ:21 BER:00\n"));
        m7sim::Unit quiet(unitOf(5));
        QVERIFY(quiet.start());
        RUN_OK(m7ctl({QStringLiteral("-p"), quiet.slavePath(), QStringLiteral("-t"), QStringLiteral("0.3"), QStringLiteral("info")}), 4);
    }
};

QTEST_GUILESS_MAIN(M7ctlTest)
#include "tst_m7ctl.moc"
