// The protocol engine of the whole-table jobs, through the real serial port
// against the simulated unit: answers taken in order, a greeting and an
// unasked status not taken for an answer, a silent unit asked twice, a
// pulled cable and an interrupt ending the wait.

#include "unit/engine.h"
#include "m7unit.h"
#include "testcore.h"

#include <QElapsedTimer>
#include <QFile>
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
        m7sim::Options o = unitOf(5, false);
        o.writeDelayMs = 200; // the write's own answer comes well after the notice
        Rig r(o);
        QVERIFY(r.open());
        QObject::connect(&r.unit, &m7sim::Unit::frameReceived, &r.unit, [&] { r.unit.sendLine(notice); });
        const table::Entry e{QStringLiteral("888000222"), 222};
        if (write) {
            QCOMPARE(r.engine->writeEntry(2, e), Outcome::Done);
            QCOMPARE(r.unit.table()[1], (m7sim::Slot{"888000222", 222}));
        }
        table::Entry got;
        bool exists = false;
        QCOMPARE(r.engine->readEntry(2, got, exists), Outcome::Done);
        QVERIFY(exists);
        QCOMPARE(got, write ? e : tableOf(r.unit.table())[1]);
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
        Rig r(o);
        QVERIFY(r.open());
        table::Table t;
        QCOMPARE(int(r.engine->readTable(t)), outcome);
        QCOMPARE(t.isEmpty(), outcome != int(Outcome::Done));
        if (outcome == int(Outcome::Done))
            QCOMPARE(t, tableOf(r.unit.table()));
        QCOMPARE(r.unit.framesReceived().size(), frames);
    }

    // A unit still answering a read of a program that had the port before:
    // the next program's read waits for that answer to end.
    void answerStillRunning()
    {
        m7sim::Options o = unitOf(1000, false);
        o.paced = true;
        o.talkThroughClose = true;
        Rig r(o);
        QVERIFY(r.open());
        QTimer::singleShot(300, r.engine.get(), &Engine::interrupt);
        table::Table t;
        QCOMPARE(r.engine->readTable(t), Outcome::Interrupted);
        r.engine->close();
        Engine next(r.unit.slavePath(), 0);
        next.setTimeoutMs(1000);
        QVERIFY(next.open());
        QCOMPARE(next.readTable(t), Outcome::Done);
        QCOMPARE(t, tableOf(r.unit.table()));
    }

    // A unit slower than the timeout answers both copies of a repeated
    // frame: the late answer of one write is not the answer of the next, nor
    // of the read that follows.
    void lateAnswers()
    {
        m7sim::Options o = unitOf(10, false);
        o.writeDelayMs = 450;
        Rig r(o);
        r.engine->setTimeoutMs(300);
        QVERIFY(r.open());
        for (int p = 1; p <= 3; ++p)
            QCOMPARE(r.engine->writeEntry(p, table::Entry{QStringLiteral("88800000%1").arg(p), qint16(p)}), Outcome::Done);
        table::Entry got;
        bool exists = false;
        QCOMPARE(r.engine->readEntry(3, got, exists), Outcome::Done);
        QCOMPARE(got, (table::Entry{QStringLiteral("888000003"), 3}));
        // Each write was sent twice, and each pair was over before the next frame.
        QCOMPARE(r.unit.framesReceived().size(), 7);
        QCOMPARE(r.unit.framesReceived()[2], QByteArray("[w00010002888000002]\r"));
    }

    // Two names of one device (a by-id link and the device itself) are one
    // port: the second opening is refused as a port in use.
    void oneLockForTwoNames()
    {
        Rig r(unitOf(5, false));
        ScratchDir dir;
        const QString link = dir.file(QStringLiteral("usb-unit-if00"));
        QVERIFY(QFile::link(r.unit.slavePath(), link));
        Engine byLink(link, 0);
        QVERIFY(byLink.open());
        Engine byDevice(r.unit.slavePath(), 0);
        QVERIFY(!byDevice.open());
        QVERIFY2(byDevice.error().contains(QStringLiteral("in use by another program")), qPrintable(byDevice.error()));
    }
};

QTEST_GUILESS_MAIN(EngineTest)
#include "tst_engine.moc"
