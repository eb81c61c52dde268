// The protocol engine of the whole-table jobs, through the real serial port
// against the simulated unit: answers taken in order, a greeting and an
// unasked status not taken for an answer, a silent unit asked twice, a
// pulled cable and an interrupt ending the wait.

#include "unit/engine.h"
#include "simkit.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>

using namespace testing;
using unit::Engine;
using unit::Outcome;

namespace {
// The engine with the timeout, opened on the port of the bench's unit,
// started here; null when the unit did not start or the engine did not open
// (the test has failed, saying why).
std::unique_ptr<Engine> openEngine(UnitBench &b, int timeoutMs = 1000)
{
    if (!b.startUnit())
        return nullptr;
    auto engine = std::make_unique<Engine>(b.unit.slavePath(), 0);
    engine->setTimeoutMs(timeoutMs);
    if (engine->open())
        return engine;
    QTest::qFail(qPrintable(QStringLiteral("the engine did not open: ") + engine->error()), __FILE__, __LINE__);
    return nullptr;
}
} // namespace

class EngineTest : public QObject {
    Q_OBJECT
private slots:
    void readsWritesAndErases()
    {
        m7sim::Options o = unitOf(30);
        o.info = true;
        UnitBench u(o);
        const auto engine = openEngine(u);
        QVERIFY(engine);
        // The greeting comes in front of the first answer: its information
        // lines are kept, and it is no part of the table.
        table::Table t;
        QCOMPARE(engine->readTable(t), Outcome::Done);
        QCOMPARE(t, u.table());
        QCOMPARE(engine->info1(), QStringLiteral("GSM-M7/1 V2.14 SN:00123456"));
        QCOMPARE(engine->info2(), QStringLiteral("CSQ:21 BER:00"));

        const table::Entry e{QStringLiteral("888000123"), 77};
        QCOMPARE(engine->writeEntry(3, e), Outcome::Done);
        QCOMPARE(u.unit.table()[2], (m7sim::Slot{"888000123", 77}));
        table::Entry got;
        bool exists = false;
        QCOMPARE(engine->readEntry(3, got, exists), Outcome::Done);
        QVERIFY(exists);
        QCOMPARE(got, e);
        QCOMPARE(engine->readEntry(31, got, exists), Outcome::Done);
        QVERIFY(!exists);

        int erased = 0;
        QCOMPARE(engine->erase(erased), Outcome::Done);
        QCOMPARE(erased, 30);
        QCOMPARE(u.unit.table(), m7sim::Table(30));
        QCOMPARE(u.unit.framesReceived(),
                 (QList<QByteArray>{"[r]\r", "[w00020077888000123]\r", "[r0002]\r", "[r0030]\r", "[d]\r"}));
    }

    // A status the unit sends unasked, before the frame or in front of its
    // answer, is not the end of the answer.
    void unaskedStatusIsNoAnswer()
    {
        m7sim::Options o = unitOf(5);
        o.hello = false;
        UnitBench u(o);
        const auto engine = openEngine(u);
        QVERIFY(engine);
        u.unit.sendLine("K");
        QTest::qWait(50);
        table::Entry got;
        bool exists = false;
        QCOMPARE(engine->readEntry(2, got, exists), Outcome::Done);
        QVERIFY(exists);
        QObject::connect(&u.unit, &m7sim::Unit::frameReceived, &u.unit, [&] { u.unit.sendLine("K"); });
        table::Table t;
        QCOMPARE(engine->readTable(t), Outcome::Done);
        QCOMPARE(t, u.table());
    }

    // A silent unit is asked twice, each time for the timeout; a pulled cable
    // and an interrupt end the wait at once. A busy machine can only make a
    // wait longer: the upper bounds are the least time the fault they catch
    // needs (the engine's own 3 s timeout instead of the one set, twice;
    // waiting for the timeout after the end).
    void waitsEnd_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<int>("minMs");
        QTest::addColumn<int>("maxMs");
        QTest::newRow("silent") << "silent" << int(Outcome::Silent) << 2 << 300 << 580 << 6000;
        QTest::newRow("unplugged") << "hangup" << int(Outcome::Lost) << 1 << 5000 << 0 << 5000;
        QTest::newRow("interrupted") << "interrupt" << int(Outcome::Interrupted) << 1 << 5000 << 150 << 5000;
    }
    void waitsEnd()
    {
        QFETCH(QString, fault);
        QFETCH(int, outcome);
        QFETCH(int, frames);
        QFETCH(int, timeoutMs);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        m7sim::Options o = unitOf(1000);
        o.hello = false;
        o.paced = true;
        if (fault == QLatin1String("silent"))
            o.silenceAfterLines = 0;
        if (fault == QLatin1String("hangup"))
            o.hangupAfterLines = 20;
        UnitBench u(o);
        const auto engine = openEngine(u, timeoutMs);
        QVERIFY(engine);
        if (fault == QLatin1String("interrupt"))
            QTimer::singleShot(150, engine.get(), &Engine::interrupt);
        QElapsedTimer t;
        t.start();
        table::Table got;
        QCOMPARE(int(engine->readTable(got)), outcome);
        QVERIFY2(t.elapsed() >= minMs && t.elapsed() < maxMs, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(u.unit.framesReceived().size(), frames);
        if (fault == QLatin1String("hangup"))
            QVERIFY(engine->error().contains(u.unit.slavePath()));
    }

    // Notices of the unit's own ("(R)", "(S)") and an unasked status come in
    // front of the answer to a single read or write: none of them is taken
    // for that answer.
    void noticesAreNoAnswer_data()
    {
        QTest::addColumn<QByteArray>("notice");
        QTest::addColumn<bool>("write");
        for (const char *n : {"R", "S"}) {
            QTest::newRow(QByteArray("(") + n + ") before a read") << QByteArray(n) << false;
            QTest::newRow(QByteArray("(") + n + ") before a write") << QByteArray(n) << true;
        }
    }
    void noticesAreNoAnswer()
    {
        QFETCH(QByteArray, notice);
        QFETCH(bool, write);
        m7sim::Options o = unitOf(5);
        o.hello = false;
        o.writeDelayMs = 200; // the write's own answer comes well after the notice
        UnitBench u(o);
        const auto engine = openEngine(u);
        QVERIFY(engine);
        QObject::connect(&u.unit, &m7sim::Unit::frameReceived, &u.unit, [&] { u.unit.sendLine(notice); });
        const table::Entry e{QStringLiteral("888000222"), 222};
        if (write) {
            QCOMPARE(engine->writeEntry(2, e), Outcome::Done);
            QCOMPARE(u.unit.table()[1], (m7sim::Slot{"888000222", 222}));
        }
        table::Entry got;
        bool exists = false;
        QCOMPARE(engine->readEntry(2, got, exists), Outcome::Done);
        QVERIFY(exists);
        QCOMPARE(got, write ? e : u.table()[1]);
    }

    // The entry reports carry no position: a table read on a bad line is
    // either the unit's table or no table at all, never one shifted.
    void lineFaults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("frames");
        QTest::newRow("a line ending in LF only") << "lf" << int(Outcome::Garbled) << 2;
        QTest::newRow("junk in front of every line") << "junk" << int(Outcome::Done) << 1;
        QTest::newRow("lines in pieces") << "split" << int(Outcome::Done) << 1;
        QTest::newRow("junk that ends like a line") << "line junk" << int(Outcome::Garbled) << 2;
        QTest::newRow("silent in the middle") << "silent" << int(Outcome::Silent) << 2;
        QTest::newRow("a pause longer than the timeout") << "pause" << int(Outcome::Silent) << 2;
        QTest::newRow("a byte lost") << "lost byte" << int(Outcome::Garbled) << 2;
    }
    void lineFaults()
    {
        QFETCH(QString, fault);
        QFETCH(int, outcome);
        QFETCH(int, frames);
        m7sim::Options o = unitOf(200);
        o.paced = true;
        o.lfOnlyLine = fault == QLatin1String("lf") ? 5 : -1;
        o.garbage = fault == QLatin1String("junk") ? QByteArray("x\r") : fault == QLatin1String("line junk") ? QByteArray("x)\r\n") : QByteArray();
        o.silenceAfterLines = fault == QLatin1String("silent") ? 100 : -1;
        o.pauseAfterLines = fault == QLatin1String("pause") ? 100 : -1;
        o.pauseMs = fault == QLatin1String("pause") ? 1500 : 0;
        o.loseByte = fault == QLatin1String("lost byte") ? 1000 : 0;
        o.splitBytes = fault == QLatin1String("split") ? 7 : 0;
        UnitBench u(o);
        const auto engine = openEngine(u);
        QVERIFY(engine);
        table::Table t;
        QCOMPARE(int(engine->readTable(t)), outcome);
        QCOMPARE(t.isEmpty(), outcome != int(Outcome::Done));
        if (outcome == int(Outcome::Done))
            QCOMPARE(t, u.table());
        QCOMPARE(u.unit.framesReceived().size(), frames);
    }

    // A unit still answering a read of a program that had the port before:
    // the next program's read waits for that answer to end.
    void answerStillRunning()
    {
        m7sim::Options o = unitOf(1000);
        o.hello = false;
        o.paced = true;
        o.talkThroughClose = true;
        UnitBench u(o);
        const auto engine = openEngine(u);
        QVERIFY(engine);
        QTimer::singleShot(300, engine.get(), &Engine::interrupt);
        table::Table t;
        QCOMPARE(engine->readTable(t), Outcome::Interrupted);
        engine->close();
        Engine next(u.unit.slavePath(), 0);
        next.setTimeoutMs(1000);
        QVERIFY(next.open());
        QCOMPARE(next.readTable(t), Outcome::Done);
        QCOMPARE(t, u.table());
    }

    // A unit slower than the timeout answers both copies of a repeated
    // frame: the late answer of one write is not the answer of the next, nor
    // of the read that follows.
    void lateAnswers()
    {
        m7sim::Options o = unitOf(10);
        o.hello = false;
        o.writeDelayMs = 450;
        UnitBench u(o);
        const auto engine = openEngine(u, 300);
        QVERIFY(engine);
        for (int p = 1; p <= 3; ++p)
            QCOMPARE(engine->writeEntry(p, table::Entry{QStringLiteral("88800000%1").arg(p), qint16(p)}), Outcome::Done);
        table::Entry got;
        bool exists = false;
        QCOMPARE(engine->readEntry(3, got, exists), Outcome::Done);
        QCOMPARE(got, (table::Entry{QStringLiteral("888000003"), 3}));
        // Each write was sent twice, and each pair was over before the next frame.
        QCOMPARE(u.unit.framesReceived().size(), 7);
        QCOMPARE(u.unit.framesReceived()[2], QByteArray("[w00010002888000002]\r"));
    }

    // Two names of one device (a by-id link and the device itself) are one
    // port: the second opening is refused as a port in use.
    void oneLockForTwoNames()
    {
        m7sim::Options o = unitOf(5);
        o.hello = false;
        UnitBench u(o);
        QVERIFY(u.startUnit());
        ScratchDir dir;
        const QString link = dir.file(QStringLiteral("usb-unit-if00"));
        QVERIFY(QFile::link(u.unit.slavePath(), link));
        Engine byLink(link, 0);
        QVERIFY(byLink.open());
        Engine byDevice(u.unit.slavePath(), 0);
        QVERIFY(!byDevice.open());
        QVERIFY2(byDevice.error().contains(QStringLiteral("in use by another program")), qPrintable(byDevice.error()));
    }
};

QTEST_GUILESS_MAIN(EngineTest)
#include "tst_engine.moc"
