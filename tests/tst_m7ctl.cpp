// m7ctl as a technician runs it: the real program in a process of its own,
// its serial port on a pseudo-terminal whose other end is the simulated
// unit, run here on the test's event loop. Exit statuses, what goes to
// standard output and to standard error, and what the unit holds after.

#include "cli/tool.h"
#include "files/tablefile.h"
#include "simkit.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/stat.h>
#include <sys/sysmacros.h>

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

bool hasWriteFrame(const m7sim::Unit &u)
{
    for (const QByteArray &f : u.framesReceived())
        if (f.startsWith("[w"))
            return true;
    return false;
}

// True when no GSM number and no object number stands at two positions.
bool noNumberTwice(const m7sim::Table &t)
{
    QSet<QByteArray> gsms;
    QSet<int> objects;
    for (const m7sim::Slot &s : t) {
        if (s.gsm != m7sim::Slot::blankGsm() && gsms.contains(s.gsm))
            return false;
        if (s.object > 0 && objects.contains(s.object))
            return false;
        gsms.insert(s.gsm);
        objects.insert(s.object);
    }
    return true;
}

// The unit's own table with changes: a swap of two GSM numbers, object
// numbers passed round three positions, and a number moved on (a chain),
// 20 changed positions in all.
table::Table reshuffled(m7sim::Unit &unit)
{
    // Seven used positions to play with.
    for (int i = 0; i < 7; ++i)
        unit.setSlot(i, m7sim::Slot{QByteArray("80000000") + char('1' + i), 101 + i});
    table::Table t = tableOf(unit.table());
    std::swap(t[0].gsm, t[1].gsm);
    std::swap(t[2].object, t[3].object);
    std::swap(t[3].object, t[4].object);
    t[5] = t[6];
    t[6] = table::Entry{};
    for (int i = 7; i < 20; ++i)
        t[i] = table::Entry{QStringLiteral("77700%1").arg(i, 4, 10, QLatin1Char('0')), qint16(7000 + i)};
    return t;
}

// Checks a run's exit status, showing its output when it differs.
#define RUN_OK(run, want)                                   \
    do {                                                    \
        const Run run_ = (run);                             \
        const bool as_expected = run_.status == (want);     \
        QVERIFY2(as_expected, qPrintable(describe(run_)));  \
    } while (false)
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
        QVERIFY(!backup.err.contains(QLatin1Char('\r'))); // no progress line into a pipe
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
        QVERIFY(put(QStringLiteral("residents.csv"),
            "\xEF\xBB\xBFName;Position;GSM;Object\r\n"
            "Ivanova;1;+359 888 100 001;101\r\n"
            "Petrov;2;0888100002;102\r\n"
            "\"Georgiev; flat 3\";3;00359-888-100-003;103\r\n"
            "Dimitrova;4;(359) 888.100.004;104\r\n"
            ";5;;0\r\n"
            ";;;\r\n"));
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

    // The file's own problems are told before the unit is touched; those
    // against the unit's table once it is read. Nothing is written.
    void badFileSendsNothing()
    {
        m7sim::Unit unit(unitOf(10));
        QVERIFY(unit.start());
        const m7sim::Slot held = unit.table()[0]; // a number the unit holds at position 1
        QVERIFY(put(QStringLiteral("bad.csv"),
            "position,gsm,object\r\n"
            "2,88812345,17\r\n"             // 2: eight digits
            "3,888123457,8000\r\n"          // 3: object out of range
            "not a row\r\n"                 // 4
            "6,888123459,19\r\n"
            "6,888123460,20\r\n"));         // 6: position twice
        QVERIFY(put(QStringLiteral("unfit.csv"),
            "position,gsm,object\r\n"
            "11,888123458,18\r\n"           // 2: beyond the unit's 10 positions
            "7," + held.gsm + ",21\r\n"));  // 3: GSM number also at position 1
        const Run bad = m7ctl({QStringLiteral("-p"), unit.slavePath(), QStringLiteral("write"), QStringLiteral("bad.csv")});
        RUN_OK(bad, 2);
        for (const int line : {2, 3, 4, 6})
            QVERIFY2(bad.err.contains(QStringLiteral("bad.csv:%1: ").arg(line)), qPrintable(describe(bad)));
        QVERIFY2(bad.err.contains(QStringLiteral("4 problem(s) in bad.csv; nothing was written")), qPrintable(describe(bad)));
        QVERIFY(unit.framesReceived().isEmpty());
        const Run unfit = m7ctl({QStringLiteral("-p"), unit.slavePath(), QStringLiteral("write"), QStringLiteral("unfit.csv")});
        RUN_OK(unfit, 2);
        for (const int line : {2, 3})
            QVERIFY2(unfit.err.contains(QStringLiteral("unfit.csv:%1: ").arg(line)), qPrintable(describe(unfit)));
        QVERIFY(!hasWriteFrame(unit));
    }

    // Numbers swapped and passed round: the unit never holds one GSM number
    // or one object number at two positions, with one blank write per
    // circle and none for the chain.
    void reshufflingNeverHoldsANumberTwice()
    {
        m7sim::Unit unit(unitOf(30, 5));
        QVERIFY(unit.start());
        QVERIFY(noNumberTwice(unit.table()));
        const table::Table wanted = reshuffled(unit);
        QVERIFY(put(QStringLiteral("wanted.onf"), files::onfOf(wanted)));
        int writes = 0;
        bool sound = true;
        connect(&unit, &m7sim::Unit::writeProcessed, this, [&] {
            ++writes;
            sound = sound && noNumberTwice(unit.table());
        });
        RUN_OK(m7ctl({QStringLiteral("-p"), unit.slavePath(), QStringLiteral("write"), QStringLiteral("wanted.onf")}), 0);
        QVERIFY(sound);
        QCOMPARE(writes, 20 + 2); // the swap and the circle of three need a blank write each
        QCOMPARE(tableOf(unit.table()), wanted);
    }

    // A run stopped half-way by Ctrl-C or a pulled cable says how far it
    // got; the same command then finishes the job.
    void stoppedRunsAreFinishedBySecondRun_data()
    {
        QTest::addColumn<int>("signal"); // 0: the cable is pulled
        QTest::addColumn<int>("count"); // how many signals, one right after the other
        QTest::addColumn<int>("status");
        QTest::newRow("interrupted") << SIGINT << 1 << 130;
        QTest::newRow("an SSH session dropped") << SIGHUP << 1 << 130;
        QTest::newRow("interrupted twice") << SIGINT << 2 << 130;
        QTest::newRow("unplugged") << 0 << 0 << 3;
    }
    void stoppedRunsAreFinishedBySecondRun()
    {
        QFETCH(int, signal);
        QFETCH(int, count);
        QFETCH(int, status);
        const bool unplug = signal == 0;
        m7sim::Options o = unitOf(30, 5);
        o.writeDelayMs = count > 1 ? 600 : 40;
        if (unplug)
            o.hangupAfterWrites = 6;
        m7sim::Unit unit(o);
        QVERIFY(unit.start());
        const table::Table wanted = reshuffled(unit);
        QVERIFY(put(QStringLiteral("wanted.onf"), files::onfOf(wanted)));
        bool sound = true;
        int processed = 0;
        connect(&unit, &m7sim::Unit::writeProcessed, this, [&] {
            ++processed;
            sound = sound && noNumberTwice(unit.table());
        });
        const Run first = m7ctl({QStringLiteral("-p"), unit.slavePath(), QStringLiteral("write"), QStringLiteral("wanted.onf")},
                                [&](QProcess &p) {
                                    if (!unplug && waitFor([&] { return processed >= 5; }))
                                        for (int i = 0; i < count; ++i) {
                                            if (i > 0) // while the write in flight is waited for
                                                waitFor([] { return false; }, 150);
                                            ::kill(p.processId(), signal);
                                        }
                                });
        RUN_OK(first, status);
        QVERIFY2(first.err.contains(QStringLiteral(" of 22 writes done")), qPrintable(first.err));
        QVERIFY(tableOf(unit.table()) != wanted);
        if (unplug)
            QVERIFY(unit.reopen());
        RUN_OK(m7ctl({QStringLiteral("-p"), unit.slavePath(), QStringLiteral("write"), QStringLiteral("wanted.onf")}), 0);
        QCOMPARE(tableOf(unit.table()), wanted);
        QVERIFY(sound);
    }

    // A unit that loses a write is caught by the read-back.
    void readBackFindsALostWrite()
    {
        m7sim::Options o = unitOf(10);
        o.ignoreWrite = 2;
        m7sim::Unit unit(o);
        QVERIFY(unit.start());
        table::Table wanted = tableOf(unit.table());
        for (int i = 0; i < 3; ++i)
            wanted[i] = table::Entry{QStringLiteral("66600000%1").arg(i), qint16(6000 + i)};
        QVERIFY(put(QStringLiteral("wanted.csv"), files::csvOf(wanted)));
        const Run run = m7ctl({QStringLiteral("-p"), unit.slavePath(), QStringLiteral("write"), QStringLiteral("wanted.csv")});
        RUN_OK(run, 5);
        QCOMPARE(run.out.count(QStringLiteral("  unit ")), 1);
        QVERIFY2(run.out.contains(QStringLiteral("file 359666000001 - 6001")), qPrintable(run.out));
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
        // At least twice the timeout; less than twice the default of 3 s, the
        // least a run that ignored -t would take (a busy machine only slows
        // a run down).
        QVERIFY2(run.ms >= 1000 && run.ms < 6000, qPrintable(QString::number(run.ms)));
    }

    // One entry at a time, the checks an edit gets, and the port's failures.
    void singleEntriesAndUsage()
    {
        m7sim::Unit unit(unitOf(10));
        QVERIFY(unit.start());
        const QString port = unit.slavePath();
        const m7sim::Slot first = unit.table()[0];
        const Run get = m7ctl({QStringLiteral("-p"), port, QStringLiteral("--trace"), QStringLiteral("get"), QStringLiteral("1")});
        RUN_OK(get, 0);
        QCOMPARE(get.out, table::rowOf(1, tableOf(unit.table())[0]) + QLatin1Char('\n'));
        // The trace: each frame and line with the seconds since the start.
        QVERIFY2(QRegularExpression(QStringLiteral("\\n *\\d+\\.\\d{3} > \\[r0000\\]\\\\r\\n *\\d+\\.\\d{3} < \\(\\d{4}"))
                     .match(QLatin1Char('\n') + get.err).hasMatch(),
                 qPrintable(get.err));
        RUN_OK(m7ctl({QStringLiteral("-p"), port, QStringLiteral("set"), QStringLiteral("5"), QStringLiteral("+359 888 555 555"), QStringLiteral("555")}), 0);
        QCOMPARE(unit.table()[4], (m7sim::Slot{"888555555", 555}));
        // A GSM number another position holds is refused.
        const Run dup = m7ctl({QStringLiteral("-p"), port, QStringLiteral("set"), QStringLiteral("6"), QString::fromLatin1(first.gsm), QStringLiteral("556")});
        RUN_OK(dup, 2);
        QVERIFY2(dup.err.contains(QStringLiteral("at position 1 (on the unit) and at position 6 (the new entry)")), qPrintable(dup.err));
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
        QVERIFY(help.out.contains(QStringLiteral("write FILE [--format F] [--dry-run] [--prune] [--no-verify] [--yes]")));
    }

    // What m7ctl prints it reads: read's rows saved without a suffix, and
    // piped into diff -; "-o -" is standard output, not a file named "-".
    void readsWhatItPrints()
    {
        m7sim::Unit unit(unitOf(40));
        QVERIFY(unit.start());
        const QStringList p{QStringLiteral("-p"), unit.slavePath()};
        const Run read = m7ctl(p + QStringList{QStringLiteral("read")});
        RUN_OK(read, 0);
        QVERIFY(put(QStringLiteral("backup"), read.out.toLocal8Bit()));
        RUN_OK(m7ctl(p + QStringList{QStringLiteral("diff"), QStringLiteral("backup")}), 0);
        RUN_OK(m7ctl(p + QStringList{QStringLiteral("diff"), QStringLiteral("-")}, [&](QProcess &proc) {
                   proc.write(read.out.toLocal8Bit());
                   proc.closeWriteChannel();
               }), 0);
        const Run onf = m7ctl(p + QStringList{QStringLiteral("read"), QStringLiteral("-o"), QStringLiteral("-"),
                                              QStringLiteral("--format"), QStringLiteral("onf")});
        RUN_OK(onf, 0);
        QCOMPARE(onf.out.toLatin1(), files::onfOf(tableOf(unit.table())));
        QVERIFY(!QFileInfo::exists(QStringLiteral("-")));
    }

    // A shell's and a spreadsheet's habits, one run each against a unit of
    // 30 positions whose position P holds 888000P (nine digits) and object
    // 100 + P. %P is the unit's port, %D its device name without /dev/;
    // "file" is written as NAME first, "input" is fed to standard input.
    // err "<none>": nothing at all on standard error.
    void habits_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<bool>("twice"); // the unit holds position 1's number at position 2 too
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const QStringList p{QStringLiteral("-p"), QStringLiteral("%P")};
        const auto utf16 = [](const QString &text, bool little) {
            QByteArray b(little ? "\xFF\xFE" : "\xFE\xFF");
            for (QChar c : text) {
                const char lo = char(c.unicode() & 0xFF), hi = char(c.unicode() >> 8);
                b.append(little ? lo : hi).append(little ? hi : lo);
            }
            return b;
        };
        const QString tabs = QStringLiteral("position\tgsm\tobject\r\n1\t888000001\t101\r\n2\t0888000002\t102\r\n");
        const QByteArray none;
        // A file that matches the unit where it says anything.
        const QStringList same = p + QStringList{"write", "f.csv", "--dry-run"};
        const QString nothing = QStringLiteral("0 to write, 0 to blank, 30 unchanged");
        // 1-3: standard input and output, the format from the content or the name.
        QTest::newRow("write - from standard input") << "" << none << QByteArray("position,gsm,object\n5,888000099,7000\n")
                                                     << false << p + QStringList{"write", "-"} << 0 << "1 of 1 writes done; verified" << "";
        QTest::newRow("records in a .txt") << "f.txt" << QByteArray("\"(0003)\",\"359888000003\",103\r\n") << none << false
                                           << p + QStringList{"write", "f.txt", "--dry-run"} << 0 << nothing << "";
        QTest::newRow("csv under an .onf name") << "" << none << none << false
                                                << p + QStringList{"read", "-o", "x.onf", "--format", "csv"} << 2 << ""
                                                << "x.onf is named as a onf file, but --format says csv";
        QTest::newRow("no such format") << "" << none << none << false << p + QStringList{"read", "--format", "xml"} << 2
                                        << "" << "\"xml\" is no format";
        // 4-5: spreadsheets as people save them.
        QTest::newRow("UTF-16 LE, tabs") << "f.csv" << utf16(tabs, true) << none << false << same << 0 << nothing << "";
        QTest::newRow("UTF-16 BE, tabs") << "f.csv" << utf16(tabs, false) << none << false << same << 0 << nothing << "";
        QTest::newRow("CR line ends") << "f.csv" << QByteArray("position,gsm,object\r1,888000001,101\r2,888000002,999\r") << none
                                      << false << p + QStringList{"diff", "f.csv"} << 1 << "(0002)  unit 359888000002 - 102  |  file 359888000002 - 999\n" << "";
        QTest::newRow("Bulgarian header in capitals")
            << "f.csv" << QStringLiteral("ПОЗИЦИЯ;GSM номер;Обект\n1;888000001;101\n").toUtf8() << none << false << same << 0 << nothing << "";
        QTest::newRow("no header") << "f.csv" << QByteArray("1;888000001;101\n2;888000002;102\n") << none << false << same << 0
                                   << nothing << "";
        QTest::newRow("a header not understood") << "f.csv" << QByteArray("Pos;Tel;Obj\n1;888000001;101\n") << none << false
                                                 << same << 2 << "" << "found \"Pos;Tel;Obj\"; looked for position";
        QTest::newRow("Excel's leading zeros")
            << "f.csv" << QByteArray("position,gsm,object\n1,'0888000001,101\n2,\"=\"\"0888000002\"\"\",102\n3,=\"0888000003\",103\n")
            << none << false << same << 0 << nothing << "";
        // 6-7: problems.
        QByteArray many("position,gsm,object\n");
        for (int i = 1; i <= 60; ++i)
            many += QByteArray::number(i) + ",x,1\n";
        QTest::newRow("60 problems") << "f.csv" << many << none << false << p + QStringList{"write", "f.csv"} << 2 << ""
                                     << "f.csv:51: GSM number \"x\" is not nine digits\n... and 10 more problems\n"
                                        "m7ctl: 60 problem(s) in f.csv";
        const QString mend = QStringLiteral("the unit itself holds GSM number 888000001 at position 1 (on the unit) and at "
                                            "position 2 (on the unit)");
        QTest::newRow("a number twice on the unit: write")
            << "f.csv" << QByteArray("position,gsm,object\n5,888000099,7000\n") << none << true
            << p + QStringList{"write", "f.csv"} << 2 << "" << mend + "; f.csv does not set either position: m7ctl clear 2 mends it";
        QTest::newRow("a number twice on the unit: set") << "" << none << none << true
                                                         << p + QStringList{"set", "5", "888000099", "7000"} << 2 << ""
                                                         << "m7ctl clear 2 mends it";
        // 8-9: options and help.
        QTest::newRow("-qV") << "" << none << none << false << QStringList{"-qV"} << 0 << "m7ctl " << "<none>";
        QTest::newRow("-p attached") << "" << none << none << false << QStringList{"-p%P", "get", "3"} << 0
                                     << "(0003) : 359888000003 - 103" << "";
        QTest::newRow("-p by device name") << "" << none << none << false << QStringList{"-p", "%D", "get", "3"} << 0
                                           << "(0003) : 359888000003 - 103" << "";
        QTest::newRow("a prefix of --dry-run") << "f.csv" << QByteArray("1,888000001,7001\n") << none << false
                                               << p + QStringList{"write", "f.csv", "--dry"} << 0 << "1 to write" << "";
        QTest::newRow("-t nan") << "" << none << none << false << p + QStringList{"-t", "nan", "get", "1"} << 2 << "" << "-t wants";
        QTest::newRow("-t 1e-9") << "" << none << none << false << p + QStringList{"-t", "1e-9", "get", "1"} << 2 << "" << "-t wants";
        QTest::newRow("help set") << "" << none << none << false << QStringList{"help", "set"} << 0
                                  << "Usage: m7ctl [OPTIONS] set POSITION GSM OBJECT\n" << "";
        QTest::newRow("write --help") << "" << none << none << false << QStringList{"write", "--help"} << 0
                                      << "Options of write:\n      --format F" << "";
        QTest::newRow("wrong arguments") << "" << none << none << false << QStringList{"set", "1"} << 2 << ""
                                         << "wrong arguments for set\nUsage: m7ctl [OPTIONS] set POSITION GSM OBJECT";
        QTest::newRow("did you mean") << "" << none << none << false << QStringList{"wrte", "f.csv"} << 2 << ""
                                      << "(did you mean write?)";
        // 11, 15: quiet runs and JSON.
        QTest::newRow("-q says nothing") << "" << none << none << false << p + QStringList{"-q", "read", "-o", "x.csv"} << 0
                                         << "" << "<none>";
        QTest::newRow("read --json") << "" << none << none << false << p + QStringList{"read", "--json"} << 0
                                     << "{\n            \"gsm\": \"888000030\",\n            \"object\": 130,\n            \"position\": 30\n" << "";
        QTest::newRow("diff --json") << "f.csv" << QByteArray("2,888000002,7002\n") << none << false
                                     << p + QStringList{"diff", "f.csv", "--json"} << 1
                                     << "\"file\": {\n                \"gsm\": \"888000002\",\n                \"object\": 7002" << "";
        QTest::newRow("write --dry-run --json") << "f.csv" << QByteArray("2,,0\n") << none << false
                                                << p + QStringList{"write", "f.csv", "--dry-run", "--json"} << 0
                                                << "\"toBlank\": 1," << "";
        QTest::newRow("ports --json") << "" << none << none << false << QStringList{"ports", "--json"} << 0 << "\"ports\": [" << "";
    }
    void habits()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, input);
        QFETCH(bool, twice);
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        m7sim::Unit unit(unitOf(30));
        QVERIFY(unit.start());
        for (int i = 0; i < 30; ++i)
            unit.setSlot(i, {QStringLiteral("888%1").arg(i + 1, 6, 10, QLatin1Char('0')).toLatin1(), 101 + i});
        if (twice)
            unit.setSlot(1, {"888000001", 102});
        if (!name.isEmpty())
            QVERIFY(put(name, file));
        args.replaceInStrings(QStringLiteral("%P"), unit.slavePath());
        args.replaceInStrings(QStringLiteral("%D"), unit.slavePath().mid(5));
        const Run run = m7ctl(args, [&](QProcess &p) {
            p.write(input);
            p.closeWriteChannel();
        });
        RUN_OK(run, status);
        QVERIFY2(run.out.contains(out) && (err == QLatin1String("<none>") ? run.err.isEmpty() : run.err.contains(err)),
                 qPrintable(describe(run)));
    }

    // On a terminal 40 columns wide: a progress line that fits, with the
    // total of a read and the time left.
    void progressFitsTheTerminal()
    {
        m7sim::Options o = unitOf(300);
        o.paced = true; // the line's own rate: the read takes a while
        m7sim::Unit unit(o);
        QVERIFY(unit.start());
        QProcess p;
        p.start(QStringLiteral("script"), {QStringLiteral("-qec"),
                                           QStringLiteral("stty cols 40; '%1' -p '%2' read -o t.onf").arg(QStringLiteral(M7CTL), unit.slavePath()),
                                           QStringLiteral("/dev/null")});
        QVERIFY(waitFor([&] { return p.state() == QProcess::NotRunning; }, 60000));
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
        QVERIFY2(out.contains(QStringLiteral("300/300")) && out.contains(QStringLiteral(" left")), qPrintable(out));
        for (QString draw : out.split(QStringLiteral("\033[K")))
            QVERIFY2(draw.remove(QLatin1Char('\r')).section(QLatin1Char('\n'), 0, 0).size() < 40, qPrintable(draw));
        QCOMPARE(contents(QStringLiteral("t.onf")), files::onfOf(tableOf(unit.table())));
    }

    // The port list as a program run lists it (its lines: tst_cliparts).
    void listsPorts()
    {
        const Run ports = m7ctl({QStringLiteral("ports")});
        RUN_OK(ports, 0);
        QVERIFY(ports.out.startsWith(QStringLiteral("DEVICE ")));
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
        // A unit that speaks only when spoken to: asked for position 1.
        o.helloWhenAsked = true;
        m7sim::Unit shy(o);
        QVERIFY(shy.start());
        const Run asked = m7ctl({QStringLiteral("-p"), shy.slavePath(), QStringLiteral("-t"), QStringLiteral("0.5"), QStringLiteral("info")});
        RUN_OK(asked, 0);
        QCOMPARE(asked.out, info.out);
        QCOMPARE(shy.framesReceived(), QList<QByteArray>{"[r0000]\r"});
        m7sim::Unit quiet(unitOf(5));
        QVERIFY(quiet.start());
        const Run silent = m7ctl({QStringLiteral("-p"), quiet.slavePath(), QStringLiteral("-t"), QStringLiteral("0.3"), QStringLiteral("info")});
        RUN_OK(silent, 4);
        QVERIFY2(silent.err.contains(QStringLiteral("sent no information lines within 0.3 s")), qPrintable(silent.err));
    }
    // What a careful technician must be able to trust: a file that lists
    // nothing or less than the unit holds, a plan that blanks what the file
    // does not list, a unit slower than the timeout, an answer garbled on
    // the line, an erase cut short. %P stands for the unit's port; the
    // file "part.onf" holds the unit's own first ten positions.
    void trustworthyResults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("file"); // file.onf / file.csv: its bytes
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out"); // standard output contains this
        QTest::addColumn<QString>("err"); // standard error contains this
        QTest::addColumn<int>("frames"); // frames the unit gets; -1 any
        const QStringList p{QStringLiteral("-p"), QStringLiteral("%P")};
        QTest::newRow("empty file") << "" << QByteArray() << p + QStringList{"diff", "empty.onf"} << 2 << ""
                                    << "empty.onf: the file lists no entries" << 0;
        QTest::newRow("header only, pruned") << "" << QByteArray("position,gsm,object\r\n")
                                             << p + QStringList{"write", "file.csv", "--prune", "--yes"} << 2 << ""
                                             << "file.csv: the file lists no entries" << 0;
        QTest::newRow("a cut backup") << "" << QByteArray() << p + QStringList{"diff", "part.onf"} << 1
                                      << "(0011)  unit 359" << "" << 1;
        QTest::newRow("prune asks") << "" << QByteArray() << p + QStringList{"write", "part.onf", "--prune"} << 2
                                    << "" << "does not list? Say so with --yes; nothing was written" << 1;
        QTest::newRow("prune with yes") << "" << QByteArray() << p + QStringList{"write", "part.onf", "--prune", "--yes"}
                                        << 0 << "; verified" << "used position(s) that the file does not list are blanked"
                                        << -1;
        QTest::newRow("nothing to change") << "" << QByteArray() << p + QStringList{"write", "part.onf"} << 0
                                           << "0 to write" << "stay as they are (--prune blanks them)" << 1;
        QTest::newRow("no such folder") << "" << QByteArray() << p + QStringList{"read", "-o", "nowhere/x.onf"} << 2
                                        << "" << "nowhere/x.onf: No such file or directory" << 0;
        QTest::newRow("slower than the timeout")
            << "slow" << QByteArray() << p + QStringList{"-t", "0.6", "set", "3", "888333333", "3333"} << 0
            << "(0003) : 359888333333 - 3333" << "" << -1;
        QTest::newRow("a line ending in LF only")
            << "lf" << QByteArray() << p + QStringList{"set", "6", "888000006", "66"} << 4 << ""
            << "was garbled twice" << 2;
        QTest::newRow("silent erase") << "silent" << QByteArray() << p + QStringList{"-t", "0.3", "erase", "--yes"} << 4
                                      << "" << "did not answer within 0.3 s\nm7ctl: the unit may have erased its table" << 1;
    }
    void trustworthyResults()
    {
        QFETCH(QString, fault);
        QFETCH(QByteArray, file);
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(int, frames);
        m7sim::Options o = unitOf(30);
        o.writeDelayMs = fault == QLatin1String("slow") ? 800 : 0;
        o.lfOnlyLine = fault == QLatin1String("lf") ? 5 : -1;
        o.silenceAfterLines = fault == QLatin1String("silent") ? 0 : -1;
        m7sim::Unit unit(o);
        QVERIFY(unit.start());
        unit.setSlot(10, {"888000011", 11}); // the cut backup leaves out a used entry
        QVERIFY(put(QStringLiteral("empty.onf"), QByteArray()));
        QVERIFY(put(QStringLiteral("file.csv"), file));
        QVERIFY(put(QStringLiteral("part.onf"), files::onfOf(tableOf(unit.table()).mid(0, 10))));
        args.replaceInStrings(QStringLiteral("%P"), unit.slavePath());
        const Run run = m7ctl(args);
        RUN_OK(run, status);
        QVERIFY2(run.out.contains(out) && run.err.contains(err), qPrintable(describe(run)));
        if (frames >= 0)
            QCOMPARE(unit.framesReceived().size(), qsizetype(frames));
        if (fault == QLatin1String("slow")) {
            QCOMPARE(unit.table()[2], (m7sim::Slot{"888333333", 3333}));
            QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        }
        if (args.contains(QStringLiteral("--yes")) && status == 0)
            QCOMPARE(tableOf(unit.table()), tableOf(unit.table()).mid(0, 10) + table::Table(20));
    }

    // Results that cannot be written are no success: standard output on a
    // full device, and an output file there.
    void fullOutput()
    {
        m7sim::Unit unit(unitOf(300));
        QVERIFY(unit.start());
        QProcess p;
        p.setStandardOutputFile(QStringLiteral("/dev/full"));
        p.start(QStringLiteral(M7CTL), {QStringLiteral("-p"), unit.slavePath(), QStringLiteral("read"), QStringLiteral("--format"), QStringLiteral("csv")});
        QVERIFY(waitFor([&] { return p.state() == QProcess::NotRunning; }, 60000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY2(p.readAllStandardError().contains("standard output: No space left on device"), "no message");
        // The output file on a full device of the test's own where it may
        // make one (as root): an m7ctl that replaced the file instead of
        // writing to it would otherwise replace the machine's /dev/full.
        QTemporaryDir dir;
        const QString own = dir.filePath(QStringLiteral("full"));
        QFile probe(own);
        const bool mine = ::mknod(QFile::encodeName(own).constData(), S_IFCHR | 0666, makedev(1, 7)) == 0 &&
                          probe.open(QIODevice::WriteOnly);
        probe.close();
        const QString full = mine ? own : QStringLiteral("/dev/full");
        const Run file = m7ctl({QStringLiteral("-p"), unit.slavePath(), QStringLiteral("read"), QStringLiteral("-o"), full, QStringLiteral("--format"), QStringLiteral("onf")});
        RUN_OK(file, 2);
        QVERIFY2(file.err.contains(full + QStringLiteral(": No space left on device")), qPrintable(describe(file)));
        QVERIFY(QFileInfo::exists(full) && !QFileInfo(full).isFile());
    }
    // On a terminal a write shows its progress line through every stage,
    // the read-back included.
    void progressOnATerminal()
    {
        m7sim::Unit unit(unitOf(300));
        QVERIFY(unit.start());
        table::Table wanted = tableOf(unit.table());
        for (int i = 0; i < 3; ++i)
            wanted[i] = table::Entry{QStringLiteral("66600000%1").arg(i), qint16(6000 + i)};
        QVERIFY(put(QStringLiteral("wanted.csv"), files::csvOf(wanted)));
        Pty terminal;
        QVERIFY(terminal.isOpen());
        QByteArray shown;
        QProcess p;
        p.setStandardErrorFile(terminal.slavePath());
        p.start(QStringLiteral(M7CTL), {QStringLiteral("-p"), unit.slavePath(), QStringLiteral("write"), QStringLiteral("wanted.csv")});
        QVERIFY(waitFor([&] {
            shown += terminal.read(1, 5);
            return p.state() == QProcess::NotRunning;
        }, 60000));
        shown += terminal.drain();
        QCOMPARE(p.exitCode(), 0);
        for (const char *stage : {"\r\033[Kreading  ", "\r\033[Kwriting  ", "\r\033[Kverifying "})
            QVERIFY2(shown.contains(stage), shown.constData());
        QVERIFY2(shown.contains("verifying   300/300 ["), shown.constData());
    }
    // write --prune asks once on a terminal before it blanks used entries
    // the file does not list: "n" writes nothing, "y" goes on.
    void pruneAsksOnATerminal()
    {
        m7sim::Unit unit(unitOf(30));
        QVERIFY(unit.start());
        unit.setSlot(10, {"888000011", 11});
        const table::Table before = tableOf(unit.table());
        QVERIFY(put(QStringLiteral("part.onf"), files::onfOf(before.mid(0, 10))));
        for (const char *answer : {"n\n", "y\n"}) {
            Pty terminal;
            QProcess p;
            p.setStandardInputFile(terminal.slavePath());
            p.start(QStringLiteral(M7CTL), {QStringLiteral("-p"), unit.slavePath(), QStringLiteral("write"), QStringLiteral("part.onf"), QStringLiteral("--prune")});
            QByteArray err;
            QVERIFY(waitFor([&] { return (err += p.readAllStandardError()).contains("does not list? [y/N] "); }, 30000));
            QVERIFY(terminal.write(answer));
            QVERIFY(waitFor([&] { return p.state() == QProcess::NotRunning; }, 60000));
            QCOMPARE(p.exitCode(), answer[0] == 'y' ? 0 : 2);
            QCOMPARE(tableOf(unit.table()), answer[0] == 'y' ? before.mid(0, 10) + table::Table(20) : before);
        }
    }
};

QTEST_GUILESS_MAIN(M7ctlTest)
#include "tst_m7ctl.moc"
