// The protocol engine of the whole-table jobs, through the real serial port
// against the simulated unit: answers taken in order, a greeting and an
// unasked status not taken for an answer, a silent unit asked twice, a
// pulled cable and an interrupt ending the wait.

#include "unit/engine.h"
#include "m7unit.h"
#include "testcore.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

using namespace testing;
using unit::Engine;
using unit::Outcome;

namespace {
table::Table tableOf(const m7sim::Table &unitTable)
{
    table::Table t;
    for (const m7sim::Slot &s : unitTable)
        t << (s.isBlank() ? table::Entry{} : table::Entry{QString::fromLatin1(s.gsm), qint16(s.object)});
    return t;
}

struct Rig {
    explicit Rig(m7sim::Options o) : unit(o)
    {
        if (unit.start()) {
            engine = std::make_unique<Engine>(unit.slavePath(), 0);
            engine->setTimeoutMs(1000);
        }
    }
    bool open() { return engine && engine->open(); }
    m7sim::Unit unit;
    std::unique_ptr<Engine> engine;
};

m7sim::Options unitOf(int slotCount, bool hello = true)
{
    m7sim::Options o;
    o.slotCount = slotCount;
    o.hello = hello;
    o.info = hello;
    return o;
}
} // namespace

class EngineTest : public QObject {
    Q_OBJECT
private slots:
    void readsWritesAndErases()
    {
        Rig r(unitOf(30));
        QVERIFY(r.open());
        // The greeting comes in front of the first answer: its information
        // lines are kept, and it is no part of the table.
        table::Table t;
        QCOMPARE(r.engine->readTable(t), Outcome::Done);
        QCOMPARE(t, tableOf(r.unit.table()));
        QCOMPARE(r.engine->info1(), QStringLiteral("GSM-M7/1 V2.14 SN:00123456"));
        QCOMPARE(r.engine->info2(), QStringLiteral("CSQ:21 BER:00"));

        const table::Entry e{QStringLiteral("888000123"), 77};
        QCOMPARE(r.engine->writeEntry(3, e), Outcome::Done);
        QCOMPARE(r.unit.table()[2], (m7sim::Slot{"888000123", 77}));
        table::Entry got;
        bool exists = false;
        QCOMPARE(r.engine->readEntry(3, got, exists), Outcome::Done);
        QVERIFY(exists);
        QCOMPARE(got, e);
        QCOMPARE(r.engine->readEntry(31, got, exists), Outcome::Done);
        QVERIFY(!exists);

        int erased = 0;
        QCOMPARE(r.engine->erase(erased), Outcome::Done);
        QCOMPARE(erased, 30);
        QCOMPARE(r.unit.table(), m7sim::Table(30));
        QCOMPARE(r.unit.framesReceived(),
                 (QList<QByteArray>{"[r]\r", "[w00020077888000123]\r", "[r0002]\r", "[r0030]\r", "[d]\r"}));
    }

    // A status the unit sends unasked, before the frame or in front of its
    // answer, is not the end of the answer.
    void unaskedStatusIsNoAnswer()
    {
        Rig r(unitOf(5, false));
        QVERIFY(r.open());
        r.unit.sendLine("K");
        QTest::qWait(50);
        table::Entry got;
        bool exists = false;
        QCOMPARE(r.engine->readEntry(2, got, exists), Outcome::Done);
        QVERIFY(exists);
        QObject::connect(&r.unit, &m7sim::Unit::frameReceived, &r.unit, [&] { r.unit.sendLine("K"); });
        table::Table t;
        QCOMPARE(r.engine->readTable(t), Outcome::Done);
        QCOMPARE(t, tableOf(r.unit.table()));
    }

    // A silent unit is asked twice, each time for the timeout; a pulled cable
    // and an interrupt end the wait at once.
    void waitsEnd_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("minMs");
        QTest::addColumn<int>("maxMs");
        QTest::newRow("silent") << "silent" << int(Outcome::Silent) << 2 << 580 << 1500;
        QTest::newRow("unplugged") << "hangup" << int(Outcome::Lost) << 1 << 0 << 600;
        QTest::newRow("interrupted") << "interrupt" << int(Outcome::Interrupted) << 1 << 150 << 600;
    }
    void waitsEnd()
    {
        QFETCH(QString, fault);
        QFETCH(int, outcome);
        QFETCH(int, frames);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        m7sim::Options o = unitOf(1000, false);
        o.paced = true;
        if (fault == QLatin1String("silent"))
            o.silenceAfterLines = 0;
        if (fault == QLatin1String("hangup"))
            o.hangupAfterLines = 20;
        Rig r(o);
        r.engine->setTimeoutMs(300);
        QVERIFY(r.open());
        if (fault == QLatin1String("interrupt"))
            QTimer::singleShot(150, r.engine.get(), &Engine::interrupt);
        QElapsedTimer t;
        t.start();
        table::Table got;
        QCOMPARE(int(r.engine->readTable(got)), outcome);
        QVERIFY2(t.elapsed() >= minMs && t.elapsed() <= maxMs, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(r.unit.framesReceived().size(), frames);
        if (fault == QLatin1String("hangup"))
            QVERIFY(r.engine->error().contains(r.unit.slavePath()));
    }
};

QTEST_GUILESS_MAIN(EngineTest)
#include "tst_engine.moc"
