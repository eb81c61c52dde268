// The receive processing: received text in the pieces it arrives in, and
// the rows, fields, captions, lamps and state it must leave.

#include "app/controls.h"
#include "app/frmSplash.h"
#include "app/msgbox.h"
#include "link/replies.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QTest>

using namespace testing;
using namespace app;

namespace {
const QString kEntry12 = QStringLiteral("(0012888123456 )\r\n");

void feed(frmM7_1 &w, const QString &text)
{
    w.ProcessReceived(*w.txtTerm, text);
}
} // namespace

class ReceiveTest : public ScratchCases {
    Q_OBJECT
private slots:

    void cutsReplyLinesAcrossAndWithinEvents()
    {
        WindowUnderTest w;
        w->opMode = OpMode::ReadAll;
        w->replyTicks = 7;
        // A reply split over two events is acted on when complete, once.
        feed(*w, QStringLiteral("(0012888"));
        QCOMPARE(w->List1->count(), 0);
        QCOMPARE(w->replyTicks, qint16(7));
        feed(*w, QStringLiteral("123456 )\r\n"));
        QCOMPARE(rowsOf(*w), QStringList{QStringLiteral("(0001) : 359888123456 - 12")});
        QCOMPARE(w->replyTicks, qint16(0));
        QCOMPARE(w->statusLampShown(), Lamp::Reading);
        // The LF put behind the received CR stays, to be dropped later.
        QCOMPARE(w->lineReader.pending(), QStringLiteral("\n"));

        // Two replies in one event, in order: the row, then the end of the read.
        feed(*w, QStringLiteral("(0013888123457 )\r\n(K)\r\n"));
        QCOMPARE(w->List1->count(), 2);
        QCOMPARE(w->Label2->text(), QStringLiteral("Ready..."));
        QCOMPARE(w->opMode, OpMode::Idle);
        // Now idle: a report changes nothing but the tick count.
        w->replyTicks = 5;
        feed(*w, kEntry12);
        QCOMPARE(w->List1->count(), 2);
        QCOMPARE(w->replyTicks, qint16(0));
        w->opMode = OpMode::Write;
        feed(*w, kEntry12);
        QCOMPARE(w->List1->count(), 2);
    }

    void dropsTextBeforeTheBracketAndOddLines()
    {
        WindowUnderTest w;
        // A fresh window is not resynchronising: "(x(K)" is one odd line,
        // not a status reply.
        feed(*w, QStringLiteral("(x(K)\r\n"));
        QCOMPARE(w->linkState, LinkState::NoLink);
        // Its first report with an unreadable object number keeps the
        // initial 0.
        w->opMode = OpMode::ReadAll;
        feed(*w, QStringLiteral("(0a0b888123455 )\r\n"));
        QCOMPARE(rowsOf(*w), QStringList{QStringLiteral("(0001) : 359888123455 - 0")});
        w->List1->clear();
        feed(*w, QStringLiteral("ab") + kEntry12);
        QCOMPARE(rowsOf(*w), QStringList{QStringLiteral("(0001) : 359888123456 - 12")});

        // Lines of 4 and 17 characters only reset the tick count.
        w->replyTicks = 4;
        feed(*w, QStringLiteral("(ab)\r\n"));
        QCOMPARE(w->replyTicks, qint16(0));
        w->replyTicks = 4;
        feed(*w, QStringLiteral("(0012888123456 x)\r\n"));
        QCOMPARE(w->replyTicks, qint16(0));
        QCOMPARE(w->List1->count(), 1);
        // A terminator with no "(" changes nothing and is dropped.
        w->replyTicks = 4;
        feed(*w, QStringLiteral("no bracket)\r\n"));
        QCOMPARE(w->replyTicks, qint16(4));
        QCOMPARE(w->lineReader.pending(), QStringLiteral("\n"));

        // A line ending in ")" LF waits, and takes the next line down with it.
        feed(*w, QStringLiteral("(0013888123457 )\n"));
        QCOMPARE(w->lineReader.pending(), QStringLiteral("\n(0013888123457 )\n"));
        feed(*w, QStringLiteral("(0014888123458 )\r\n"));
        QCOMPARE(w->List1->count(), 1);
        QCOMPARE(w->lineReader.pending(), QStringLiteral("\n"));
        feed(*w, QStringLiteral("(0015888123459 )\r\n"));
        QCOMPARE(w->List1->count(), 2);
        QCOMPARE(w->List1->item(1)->text(), QStringLiteral("(0002) : 359888123459 - 15"));
    }

    void readsTheWholeTableWithBlanksAndDots()
    {
        WindowUnderTest w;
        w->opMode = OpMode::ReadAll;
        w->Label2->setText(QStringLiteral("Reading "));
        QString text;
        for (int i = 1; i <= 40; ++i)
            text += i == 3 ? QStringLiteral("(0003*********" " )\r\n")
                  : i == 4 ? QStringLiteral("(07778881*3456 )\r\n")
                           : QStringLiteral("(%1%2 )\r\n").arg(i, 4, 10, QLatin1Char('0')).arg(888000000 + i);
        feed(*w, text);
        QCOMPARE(w->List1->count(), 40);
        QCOMPARE(w->List1->item(0)->text(), QStringLiteral("(0001) : 359888000001 - 1"));
        QCOMPARE(w->List1->item(2)->text(), QStringLiteral("(0003) : 359********* - 0"));
        QCOMPARE(w->List1->item(3)->text(), QStringLiteral("(0004) : 359********* - 0"));
        QCOMPARE(w->List1->item(9)->text().left(12), QStringLiteral("(0010) : 359"));
        QCOMPARE(w->Label2->text(), QStringLiteral("Reading .."));
        QCOMPARE(w->replyGsm, QStringLiteral("888000040"));
        QCOMPARE(w->replyObject, qint16(40));

        // An object field that is no number keeps the previous report's value.
        feed(*w, QStringLiteral("(00a2888123456 )\r\n"));
        QCOMPARE(w->List1->item(40)->text(), QStringLiteral("(0041) : 359888123456 - 40"));
        // ... and the blank rule still makes it 0.
        feed(*w, QStringLiteral("(00a2*88123456 )\r\n"));
        QCOMPARE(w->List1->item(41)->text(), QStringLiteral("(0042) : 359********* - 0"));
    }

    void numbersRowsUpTo32767Only()
    {
        WindowUnderTest w;
        QStringList many;
        for (int i = 0; i < 32766; ++i)
            many << QString();
        w->List1->addItems(many);
        w->opMode = OpMode::ReadAll;
        feed(*w, kEntry12);
        QCOMPARE(w->List1->count(), 32767);
        QCOMPARE(w->List1->item(32766)->text(), QStringLiteral("(32767) : 359888123456 - 12"));
        feed(*w, kEntry12);
        QCOMPARE(w->List1->count(), 32767);
        w->opMode = OpMode::Erase;
        feed(*w, kEntry12);
        QCOMPARE(w->List1->count(), 32767);
        QCOMPARE(w->splash()->Label1->text(), QStringLiteral(" DELETE POSITION : (32767)"));
    }

    void singlePositionFillsTheFields()
    {
        WindowUnderTest w;
        w->selIndex = 4;
        w->opMode = OpMode::ReadOne;
        feed(*w, QStringLiteral("(0017888999111 )\r\n"));
        QCOMPARE(w->Text2->text(), QStringLiteral("888999111"));
        QCOMPARE(w->Text3->text(), QStringLiteral("17"));
        QCOMPARE(w->statusLampShown(), Lamp::Reading);
        QCOMPARE(w->List1->count(), 0);
        feed(*w, QStringLiteral("(0017888*99111 )\r\n"));
        QCOMPARE(w->Text2->text(), QStringLiteral("*********"));
        QCOMPARE(w->Text3->text(), QStringLiteral("0"));
        // Above 7999: the field rule reports it once and shows 0.
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral(" Object Number > 7999 ! "), vbOKOnly,
                     QStringLiteral("!!! OBJECT Number is INCORRECT !!!"), vbOK);
        feed(*w, QStringLiteral("(8000888999111 )\r\n"));
        QCOMPARE(w->Text3->text(), QStringLiteral("0"));
        QCOMPARE(w->replyObject, qint16(8000));
    }

    void statusAndInformationLines()
    {
        WindowUnderTest w;
        w->List1->setEnabled(false);
        w->opMode = OpMode::ReadOne;
        w->linkState = LinkState::ReadSent;
        feed(*w, QStringLiteral("(K)\r\n"));
        QVERIFY(w->List1->isEnabled());
        QCOMPARE(w->Label2->text(), QStringLiteral("Ready..."));
        QCOMPARE(w->statusLampShown(), Lamp::Ready);
        QCOMPARE(w->opMode, OpMode::Idle);
        QCOMPARE(w->linkState, LinkState::Ready);
        feed(*w, QStringLiteral("(R)\r\n"));
        QCOMPARE(w->Label2->text(), QStringLiteral("RESET..."));
        QCOMPARE(w->statusLampShown(), Lamp::Idle);
        QCOMPARE(w->linkState, LinkState::Ready);
        feed(*w, QStringLiteral("(S)\r\n"));
        QCOMPARE(w->Label2->text(), QStringLiteral("Starting..."));
        QCOMPARE(w->statusLampShown(), Lamp::Idle);
        feed(*w, QStringLiteral("(r)\r\n"));
        QCOMPARE(w->Label2->text(), QStringLiteral("Ready..."));
        QCOMPARE(w->statusLampShown(), Lamp::Ready);

        w->infoTicks = 9;
        const QString info1 = QStringLiteral("(GSM-M7/1 fw 2.14 sn 004512)");
        QCOMPARE(info1.size(), 28);
        feed(*w, info1 + QStringLiteral("\r\n"));
        QCOMPARE(w->Label3->text(), info1);
        QCOMPARE(w->infoTicks, qint16(0));
        w->infoTicks = 9;
        feed(*w, QStringLiteral("(CSQ 23 BER 00)\r\n"));
        QCOMPARE(w->Label4->text(), QStringLiteral("(CSQ 23 BER 00)"));
        QCOMPARE(w->infoTicks, qint16(0));
        QCOMPARE(w->Label4->text().size(), 15);
    }

    void terminalKeepsItsBoundAndShowsCrAsCrLf()
    {
        WindowUnderTest w;
        feed(*w, QStringLiteral("A\r\nB\rC"));
        QCOMPARE(w->txtTerm->Text(), QStringLiteral("A\r\n\nB\r\nC"));
        // 16,001 characters: the next event keeps the last two, then its own.
        w->txtTerm->setText(QString(15999, QLatin1Char('x')) + QStringLiteral("yz"));
        feed(*w, QStringLiteral("(K)"));
        QCOMPARE(w->txtTerm->Text(), QStringLiteral("yz(K)"));
        // 16,000 is not cut.
        w->txtTerm->setText(QString(16000, QLatin1Char('x')));
        feed(*w, QStringLiteral("!"));
        QCOMPARE(w->txtTerm->Text().size(), 16001);
    }

    void lineBufferStaysBoundedInAFlood()
    {
        WindowUnderTest w;
        // A megabyte without a terminator, with brackets in it, in pieces.
        QString junk;
        for (int i = 0; junk.size() < 1 << 20; ++i)
            junk += QStringLiteral("noise (%1) no end ").arg(i);
        for (qsizetype at = 0; at < junk.size(); at += 4096) {
            feed(*w, junk.mid(at, 4096));
            QVERIFY(w->lineReader.pending().size() <= comm::kLineBufferCap);
        }
        // The next complete reply is acted on.
        feed(*w, QStringLiteral("(K)\r\n"));
        QCOMPARE(w->Label2->text(), QStringLiteral("Ready..."));
        // Also when the flood and the reply come in one event.
        w->Label2->setText(QStringLiteral("State"));
        feed(*w, junk + QStringLiteral("(K)\r\n"));
        QCOMPARE(w->Label2->text(), QStringLiteral("Ready..."));
        QCOMPARE(w->lineReader.pending(), QStringLiteral("\n"));
        // Short junk before a reply is the unit's own doing and takes the
        // reply with it, as ever: only a flood resynchronises.
        w->Label2->setText(QStringLiteral("State"));
        feed(*w, QStringLiteral("(ab(K)\r\n"));
        QCOMPARE(w->Label2->text(), QStringLiteral("State"));
        // A text of exactly the cap is kept whole, one character more is cut.
        w->lineReader.clear();
        feed(*w, QString(comm::kLineBufferCap, QLatin1Char('x')));
        QCOMPARE(w->lineReader.pending().size(), comm::kLineBufferCap);
        feed(*w, QStringLiteral("x"));
        QVERIFY(w->lineReader.pending().isEmpty());
        // A reply that began just before the cap survives it.
        w->opMode = 1;
        w->List1->clear();
        feed(*w, QString(comm::kLineBufferCap - 4, QLatin1Char('x')) + QStringLiteral("(0012888"));
        QCOMPARE(w->lineReader.pending(), QStringLiteral("(0012888"));
        feed(*w, QStringLiteral("123456 )\r\n"));
        QCOMPARE(rowsOf(*w), QStringList{QStringLiteral("(0001) : 359888123456 - 12")});
        w->List1->clear();
        // Many complete lines in one big event are all kept.
        w->opMode = OpMode::ReadAll;
        QString lines;
        for (int i = 0; i < 5000; ++i)
            lines += kEntry12;
        feed(*w, lines);
        QCOMPARE(w->List1->count(), 5000);
    }

    void eraseSequenceUsesTheBusyWindow()
    {
        WindowUnderTest w;
        w->show();
        w->List1->addItem(QStringLiteral("(0001) : 359888123456 - 17"));
        w->Label5->setText(QStringLiteral("1 of 1"));
        feed(*w, QStringLiteral("(ERASING)\r\n"));
        QCOMPARE(w->opMode, OpMode::Erase);
        QCOMPARE(w->List1->count(), 0);
        QVERIFY(!w->isEnabled());
        QVERIFY(w->splashIfLoaded() && w->splashIfLoaded()->isVisible());
        for (int i = 0; i < 3; ++i)
            feed(*w, QStringLiteral("(0000*********" " )\r\n"));
        QCOMPARE(rowsOf(*w), (QStringList{QStringLiteral("(0001) : 359********* - 0"),
                                          QStringLiteral("(0002) : 359********* - 0"),
                                          QStringLiteral("(0003) : 359********* - 0")}));
        QCOMPARE(w->splashIfLoaded()->Label1->text(), QStringLiteral(" DELETE POSITION : (3)"));
        // During an erase a report keeps its GSM text, asterisks and all.
        feed(*w, QStringLiteral("(00128881*3456 )\r\n"));
        QCOMPARE(w->List1->item(3)->text(), QStringLiteral("(0004) : 3598881*3456 - 12"));
        feed(*w, QStringLiteral("(ERASED)\r\n"));
        QCOMPARE(w->opMode, OpMode::Idle);
        QVERIFY(w->isEnabled());
        QCOMPARE(w->Label5->text(), QStringLiteral("Object"));
        QVERIFY(waitFor([&] { return w->splashIfLoaded() == nullptr; }));

        // An erase end and a new erase start in one event: a fresh busy
        // window stands in front of the disabled main window.
        feed(*w, QStringLiteral("(ERASING)\r\n"));
        feed(*w, QStringLiteral("(ERASED)\r\n(ERASING)\r\n"));
        QTest::qWait(50); // the closed window goes on the next turn of the loop
        QVERIFY(!w->isEnabled());
        QVERIFY(w->splashIfLoaded() && w->splashIfLoaded()->isVisible());
        feed(*w, QStringLiteral("(ERASED)\r\n"));
        QVERIFY(w->isEnabled());
    }

    void busyWindowClosedByHandDuringAnErase()
    {
        WindowUnderTest w;
        w->show();
        feed(*w, QStringLiteral("(ERASING)\r\n"));
        w->splashIfLoaded()->close();
        QVERIFY(w->isEnabled());
        QCOMPARE(w->opMode, OpMode::Erase);
        QVERIFY(waitFor([&] { return w->splashIfLoaded() == nullptr; }));
        // Later progress goes to a busy window that is not shown again.
        feed(*w, QStringLiteral("(0000*********" " )\r\n"));
        QVERIFY(w->splashIfLoaded() && !w->splashIfLoaded()->isVisible());
        QCOMPARE(w->splashIfLoaded()->Label1->text(), QStringLiteral(" DELETE POSITION : (1)"));
        w->Label5->setText(QStringLiteral("1 of 1"));
        feed(*w, QStringLiteral("(ERASED)\r\n"));
        QCOMPARE(w->Label5->text(), QStringLiteral("Object"));
        QVERIFY(w->isEnabled());
        // An erase end with no busy window at all leaves the window enabled.
        QVERIFY(waitFor([&] { return w->splashIfLoaded() == nullptr; }));
        w->setEnabled(false);
        feed(*w, QStringLiteral("(ERASED)\r\n"));
        QVERIFY(w->isEnabled());
        QVERIFY(w->splashIfLoaded() == nullptr);
    }
};

QTEST_MAIN(ReceiveTest)
#include "tst_receive.moc"
