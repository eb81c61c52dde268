// The whole road through the real serial port against the simulated unit:
// reads, the edit and write of an entry, the erase, and the faults of a bad
// line or an unplugged cable.

#include "files/records.h"
#include "link/replies.h"
#include "m7unit.h"
#include "testsupport.h"

#include <QFile>
#include <QTest>

using namespace testing;
using namespace app;

namespace {

// A unit on a pseudo-terminal and a window whose COM 1 is that unit, connected
// and told "ready" by the unit's start-up notice.
m7sim::Options withHello(m7sim::Options o)
{
    o.hello = true;
    return o;
}

struct Bench {
    explicit Bench(const m7sim::Options &o = {})
        : unit(withHello(o)), w(QStringList{})
    {
        QVERIFY(unit.start());
        w.devices = QStringList{unit.slavePath()};
        w->Timer1->stop(); // ticks are given by the tests
        QVERIFY(connectWindow(*w));
        QVERIFY(waitFor([&] { return w->linkState == LinkState::Ready; }));
        QCOMPARE(w->Label2->text(), QStringLiteral("Starting..."));
    }
    void readAll()
    {
        w->Check1->setChecked(true);
        w->Command2_Click();
    }
    m7sim::Unit unit;
    WindowUnderTest w;
};

QString expectedRow(int i, const m7sim::Slot &s)
{
    return s.isBlank() ? QStringLiteral("(%1) : 359********* - 0").arg(i + 1, 4, 10, QLatin1Char('0'))
                       : QStringLiteral("(%1) : 359%2 - %3")
                             .arg(i + 1, 4, 10, QLatin1Char('0'))
                             .arg(QString::fromLatin1(s.gsm))
                             .arg(s.object);
}

} // namespace

class EndToEndTest : public ScratchCases {
    Q_OBJECT
private slots:

    void readsTheWholeTable()
    {
        m7sim::Options o;
        o.slotCount = 1000;
        o.silenceAfterLines = 1000; // hold the closing status reply back
        Bench b(o);
        b.readAll();
        QVERIFY(waitFor([&] { return b.w->List1->count() == 1000; }, 10000));
        QCOMPARE(b.unit.framesReceived(), QList<QByteArray>{QByteArray("\x5B\x72\x5D\x0D")});
        QCOMPARE(b.w->Label2->text(), QStringLiteral("Reading ") + QString(50, QLatin1Char('.')));
        QVERIFY(!b.w->List1->isEnabled());
        int blanks = 0;
        for (int i = 0; i < 1000; ++i) {
            const m7sim::Slot &s = b.unit.table()[i];
            blanks += s.isBlank();
            QCOMPARE(b.w->List1->item(i)->text(), expectedRow(i, s));
        }
        QVERIFY(blanks > 50);
        b.unit.sendLine("K");
        QVERIFY(waitFor([&] { return b.w->linkState == LinkState::Ready; }));
        QCOMPARE(b.w->Label2->text(), QStringLiteral("Ready..."));
        QCOMPARE(b.w->statusLampShown(), Lamp::Ready);
        QVERIFY(b.w->List1->isEnabled());
        QCOMPARE(b.w->opMode, OpMode::Idle);
    }

    void editsAndWritesAnEntry()
    {
        m7sim::Options o;
        o.slotCount = 40;
        Bench b(o);
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
        QFile work(QStringLiteral("temp.tfo"));
        QVERIFY(work.open(QIODevice::ReadOnly));
        QCOMPARE(work.readAll(), files::recordsOf(rowsOf(*b.w)));

        // A second read of the table shows the entry from the unit.
        b.readAll();
        QVERIFY(waitFor([&] { return b.w->List1->count() == 40 && b.w->linkState == LinkState::Ready; }));
        QCOMPARE(b.w->List1->item(row)->text(), committed);
    }

    void erasesTheTable()
    {
        m7sim::Options o;
        o.slotCount = 30;
        o.paced = true; // so that the busy window is up for a while
        Bench b(o);
        b.w->show();
        const QString title = QStringLiteral("!!! DELETE ALL DATA !!!");
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral(" DLETE ALL Object and GMS number ? "), vbYesNo, title, vbYes)
            .expect(QStringLiteral(" Do you really want to DLETE ALL Object and GMS number ? "), vbYesNo + vbCritical,
                    title, vbYes);
        b.w->Command1_Click();
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
        m7sim::Options o;
        o.slotCount = 30;
        o.silenceAfterLines = 5; // erase start and four reports, then nothing
        Bench b(o);
        b.w->show();
        app::setMsgBoxResponder([](const QString &, int, const QString &) { return int(vbYes); });
        b.w->Command1_Click();
        app::setMsgBoxResponder({});
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

    void silenceInTheMiddleOfARead()
    {
        m7sim::Options o;
        o.slotCount = 100;
        o.silenceAfterLines = 30;
        Bench b(o);
        b.readAll();
        QVERIFY(waitFor([&] { return b.w->List1->count() == 30; }));
        QTest::qWait(100);
        for (int i = 0; i < 10; ++i)
            b.w->Timer1_Timer();
        QCOMPARE(b.w->opMode, OpMode::Idle);
        QCOMPARE(b.w->linkState, LinkState::NoLink);
        QCOMPARE(b.w->statusLampShown(), Lamp::Idle);
        QCOMPARE(b.w->Label2->text(), QStringLiteral("State"));
    }

    void badRepliesFromTheLine()
    {
        // Replies dripped one byte per write arrive whole and once.
        m7sim::Options o;
        o.slotCount = 40;
        o.splitBytes = 1;
        Bench b(o);
        b.readAll();
        QVERIFY(waitFor([&] { return b.w->linkState == LinkState::Ready; }, 10000));
        QCOMPARE(b.w->List1->count(), 40);
        QCOMPARE(b.w->List1->item(39)->text(), expectedRow(39, b.unit.table()[39]));

        // An object field of 40000 ("4e04") or with letters keeps the last value.
        b.w->opMode = OpMode::ReadAll;
        b.w->List1->clear();
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
        Bench f;
        QByteArray junk;
        while (junk.size() < (1 << 20))
            junk += "garbage (with brackets) but no end ";
        f.unit.send(junk);
        QVERIFY(waitFor([&] { return f.unit.outputIdle(); }, 20000));
        QTest::qWait(200);
        QVERIFY(f.w->lineBuffer.size() <= comm::kLineBufferCap);
        QVERIFY(f.w->txtTerm->Text().size() <= 16000 + 8192);
        f.unit.sendLine("R");
        QVERIFY(waitFor([&] { return f.w->Label2->text() == QStringLiteral("RESET..."); }));
    }

    void unpluggedInTheMiddleOfARead()
    {
        m7sim::Options o;
        o.slotCount = 1000;
        o.hangupAfterLines = 300;
        Bench b(o);
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
        QCOMPARE(b.w->List1->count(), 300);

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
