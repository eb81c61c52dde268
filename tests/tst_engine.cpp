// The protocol engine of the whole-table jobs, through the real serial port
// against the simulated unit: answers taken in order, a greeting and an
// unasked status not taken for an answer, a silent unit asked twice, a
// pulled cable and an interrupt ending the wait.

#include "cli/engine.h"
#include "simkit.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

using namespace testing;
using cli::Engine;
using cli::Outcome;

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
        // The greeting came while settling: its information lines are kept,
        // and it is not taken for the answer to the first frame.
        QCOMPARE(engine->info1(), QStringLiteral("GSM-M7/1 V2.14 SN:00123456"));
        QCOMPARE(engine->info2(), QStringLiteral("CSQ:21 BER:00"));
        table::Table t;
        QCOMPARE(engine->readTable(t), Outcome::Done);
        QCOMPARE(t, u.table());

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
};

QTEST_GUILESS_MAIN(EngineTest)
#include "tst_engine.moc"
