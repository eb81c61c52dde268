// The whole road through the real serial port against the simulated unit:
// reads, the edit and write of an entry, the erase, and the faults of a bad
// line or an unplugged cable.

#include "files/records.h"
#include "link/replies.h"
#include "windowbench.h"

#include <QTest>

using namespace testing;
using namespace app;

namespace {

// The rows a read of the first `n` slots of `table` leaves in the list.
QStringList expectedRows(const m7sim::Table &table, int n)
{
    QStringList rows;
    for (int i = 0; i < n; ++i)
        rows << QStringLiteral("(%1) : 359%2 - %3")
                    .arg(i + 1, 4, 10, QLatin1Char('0'))
                    .arg(QString::fromLatin1(table[i].gsm))
                    .arg(table[i].object);
    return rows;
}

} // namespace

Q_DECLARE_METATYPE(m7sim::Options)

class EndToEndTest : public ScratchCases {
    Q_OBJECT
private slots:

    // A whole-table read over a good or a bad line. The rows that come are
    // the unit's, one dot in the status line per twenty while the read runs.
    // Then the test sends `end` and gives `ticks` ticks: a status reply ends
    // the read (the window is ready), ten silent ticks give it up (idle).
    void readsOverTheLine_data()
    {
        QTest::addColumn<m7sim::Options>("options");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QByteArray>("end");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<bool>("ready");
        m7sim::Options whole = unitOf(1000), silent = unitOf(100), dripping = unitOf(40);
        whole.silenceAfterLines = 1000; // the closing status reply held back
        silent.silenceAfterLines = 30;
        dripping.splitBytes = 1; // one byte per write: the replies still arrive whole and once
        QTest::newRow("readsTheWholeTable") << whole << 1000 << QByteArray("(K)\r\n") << 0 << true;
        QTest::newRow("silenceInTheMiddleOfARead") << silent << 30 << QByteArray() << 10 << false;
        QTest::newRow("badRepliesFromTheLine") << dripping << 40 << QByteArray() << 0 << true;
    }
    void readsOverTheLine()
    {
        QFETCH(m7sim::Options, options);
        QFETCH(int, rows);
        QFETCH(QByteArray, end);
        QFETCH(int, ticks);
        QFETCH(bool, ready);
        WindowBench b(options);
        QVERIFY(b.connect());
        b.readAll();
        QVERIFY(waitFor([&] { return b.w->List1->count() == rows; }, 10000));
        QCOMPARE(b.unit.framesReceived(), QList<QByteArray>{QByteArray("\x5B\x72\x5D\x0D")});
        const QStringList expected = expectedRows(b.unit.table(), rows);
        QCOMPARE(rowsOf(*b.w), expected);
        QVERIFY(!expected.filter(QStringLiteral("*********")).isEmpty()); // blank slots too
        if (options.silenceAfterLines >= 0) { // the unit holds the rest back: the read still runs
            QCOMPARE(b.w->Label2->text(), QStringLiteral("Reading ") + QString(rows / 20, QLatin1Char('.')));
            QVERIFY(!b.w->List1->isEnabled());
            QTest::qWait(100);
        }

        b.unit.send(end);
        for (int i = 0; i < ticks; ++i)
            b.w->Timer1_Timer();
        const QString caption = ready ? QStringLiteral("Ready...") : QStringLiteral("State");
        QVERIFY(waitFor([&] { return b.w->Label2->text() == caption; }, 10000));
        QCOMPARE(b.w->opMode, OpMode::Idle);
        QCOMPARE(b.w->linkState, ready ? LinkState::Ready : LinkState::NoLink);
        QCOMPARE(b.w->statusLampShown(), ready ? Lamp::Ready : Lamp::Idle);
        QCOMPARE(b.w->List1->isEnabled(), ready);
        QCOMPARE(b.w->List1->count(), rows);
    }

    void editsAndWritesAnEntry()
    {
        WindowBench b(unitOf(40));
        QVERIFY(b.connect());
        b.readAll();
        QVERIFY(waitFor([&] { return b.w->List1->count() == 40 && b.w->linkState == LinkState::Ready; }));
        // A used slot, and an object number nobody has.
        int row = 0;
        while (b.unit.table()[row].isBlank())
            ++row;
        qint16 fresh = 7000;
        for (const m7sim::Slot &s : b.unit.table())
            if (s.object == fresh)
                ++fresh;

        // Selecting it reads that one position; the reply fills the fields.
        b.w->show();
        QVERIFY(QTest::qWaitForWindowExposed(b.w.get()));
        const QRect r = b.w->List1->visualItemRect(b.w->List1->item(row));
        QTest::mouseClick(b.w->List1->viewport(), Qt::LeftButton, {}, r.center());
        QVERIFY(waitFor([&] { return b.w->linkState == LinkState::Ready; }));
        QCOMPARE(b.unit.framesReceived().last(), QStringLiteral("[r%1]\r").arg(row, 4, 10, QLatin1Char('0')).toLatin1());
        QCOMPARE(b.w->Text2->text(), QString::fromLatin1(b.unit.table()[row].gsm));
        QCOMPARE(b.w->Text3->text(), QString::number(b.unit.table()[row].object));

        b.w->Text3->setText(QString::number(fresh));
        b.w->Command3_Click();
        QVERIFY(waitFor([&] { return b.w->linkState == LinkState::Ready; }));
        QCOMPARE(b.unit.table()[row].object, int(fresh));
        const QString committed = b.w->List1->item(row)->text();
        QVERIFY(committed.endsWith(QStringLiteral(" - %1").arg(fresh)));
        QCOMPARE(contents(QStringLiteral("temp.tfo")), files::recordsOf(rowsOf(*b.w)));

        // A second read of the table shows the entry from the unit.
        b.readAll();
        QVERIFY(waitFor([&] { return b.w->List1->count() == 40 && b.w->linkState == LinkState::Ready; }));
        QCOMPARE(b.w->List1->item(row)->text(), committed);
    }

    void erasesTheTable()
    {
        m7sim::Options o = unitOf(30);
        o.paced = true; // so that the busy window is up for a while
        WindowBench b(o);
        QVERIFY(b.connect());
        b.w->show();
        b.eraseAll();
        QVERIFY(waitFor([&] { return !b.w->isEnabled(); }));
        QVERIFY(b.w->splashIfLoaded() && b.w->splashIfLoaded()->isVisible());
        QVERIFY(waitFor([&] { return b.w->isEnabled() && b.w->opMode == OpMode::Idle; }));
        QCOMPARE(b.unit.framesReceived().last(), QByteArray("[d]\r"));
        QCOMPARE(b.w->List1->count(), 30);
        QCOMPARE(b.w->List1->item(29)->text(), QStringLiteral("(0030) : 359********* - 0"));
        QCOMPARE(b.w->Label5->text(), QStringLiteral("Object"));
        for (const m7sim::Slot &s : b.unit.table())
            QVERIFY(s.isBlank());
    }

    void eraseWhoseEndNeverComes()
    {
        m7sim::Options o = unitOf(30);
        o.silenceAfterLines = 5; // erase start and four reports, then nothing
        WindowBench b(o);
        QVERIFY(b.connect());
        b.w->show();
        b.eraseAll();
        QVERIFY(waitFor([&] { return b.w->List1->count() == 4; }));
        QVERIFY(!b.w->isEnabled());
        QCOMPARE(b.w->splashIfLoaded()->Label1->text(), QStringLiteral(" DELETE POSITION : (4)"));
        b.w->splashIfLoaded()->close();
        QVERIFY(b.w->isEnabled());
        // The window is usable: the link falls idle and a ready unit reads.
        for (int i = 0; i < 10; ++i)
            b.w->Timer1_Timer();
        QCOMPARE(b.w->opMode, OpMode::Idle);
        b.unit.sendLine("K");
        QVERIFY(waitFor([&] { return b.w->linkState == LinkState::Ready; }));
    }

    void objectFieldsThatAreNoNumber()
    {
        // An object field of 40000 ("4e04") or with letters keeps the last
        // value; the reports dripped one byte per write.
        m7sim::Options o = unitOf(40);
        o.splitBytes = 1;
        WindowBench b(o);
        QVERIFY(b.connect());
        b.w->opMode = OpMode::ReadAll;
        b.unit.sendLine("0017888000017 ");
        b.unit.sendLine("4e04888000018 ");
        b.unit.sendLine("12ab888000019 ");
        QVERIFY(waitFor([&] { return b.w->List1->count() == 3; }));
        QCOMPARE(b.w->List1->item(1)->text(), QStringLiteral("(0002) : 359888000018 - 17"));
        QCOMPARE(b.w->List1->item(2)->text(), QStringLiteral("(0003) : 359888000019 - 17"));
    }

    void floodWithoutTerminator()
    {
        // A megabyte without a terminator: memory stays bounded and the next
        // reply is acted on.
        WindowBench f;
        QVERIFY(f.connect());
        QByteArray junk;
        while (junk.size() < (1 << 20))
            junk += "garbage (with brackets) but no end ";
        f.unit.send(junk);
        QVERIFY(waitFor([&] { return f.unit.outputIdle(); }, 20000));
        QTest::qWait(200);
        QVERIFY(f.w->lineReader.pending().size() <= comm::kLineBufferCap);
        QVERIFY(f.w->txtTerm->Text().size() <= 16000 + 8192);
        f.unit.sendLine("R");
        QVERIFY(waitFor([&] { return f.w->Label2->text() == QStringLiteral("RESET..."); }));
    }

    void unpluggedInTheMiddleOfARead()
    {
        m7sim::Options o = unitOf(1000);
        o.hangupAfterLines = 300;
        WindowBench b(o);
        QVERIFY(b.connect());
        QStringList told;
        app::setMsgBoxResponder([&](const QString &text, int, const QString &) {
            told << text;
            return int(vbOK);
        });
        b.readAll();
        QVERIFY(waitFor([&] { return !b.w->MSComm1->PortOpen(); }, 10000));
        QVERIFY(waitFor([&] { return told.size() == 1; }));
        app::setMsgBoxResponder({});
        QVERIFY(!b.w->connectedLampShown());
        QVERIFY(!b.w->Frame3->isEnabled());
        QCOMPARE(rowsOf(*b.w), expectedRows(b.unit.table(), 300));

        QVERIFY(staysIdle());

        // The unit is back on a new pseudo-terminal: connect and read again.
        QVERIFY(b.unit.reopen());
        b.w.devices = QStringList{b.unit.slavePath()};
        QVERIFY(connectWindow(*b.w));
        QVERIFY(waitFor([&] { return b.w->linkState == LinkState::Ready; }));
    }
};

QTEST_MAIN(EndToEndTest)
#include "tst_endtoend.moc"
