// The supervision tick, called directly: no test waits ten real seconds.

#include "app/controls.h"
#include "testsupport.h"

#include <QTest>

using namespace testing;
using namespace app;

namespace {
void ticks(frmM7_1 &w, int n)
{
    for (int i = 0; i < n; ++i)
        w.Timer1_Timer();
}
} // namespace

class WatchdogTest : public ScratchCases {
    Q_OBJECT
private slots:

    void silenceReturnsTheWindowToIdle()
    {
        Pty pty;
        WindowUnderTest w({pty.slavePath()});
        w->Timer1->stop(); // the test gives the ticks
        QVERIFY(connectWindow(*w));
        w->ProcessReceived(*w->txtTerm, QStringLiteral("(K)\r\n"));
        QCOMPARE(w->linkState, LinkState::Ready);
        QCOMPARE(w->statusLampShown(), Lamp::Ready);

        ticks(*w, 9);
        QCOMPARE(w->linkState, LinkState::Ready);
        QCOMPARE(w->statusLampShown(), Lamp::Ready);
        QCOMPARE(w->Label2->text(), QStringLiteral("Ready..."));
        ticks(*w, 1);
        QCOMPARE(w->replyTicks, qint16(10));
        QCOMPARE(w->linkState, LinkState::NoLink);
        QCOMPARE(w->opMode, OpMode::Idle);
        QCOMPARE(w->statusLampShown(), Lamp::Idle);
        QCOMPARE(w->Label2->text(), QStringLiteral("State"));

        // A read now sends nothing until the unit reports ready again.
        w->Check1->setChecked(true);
        w->Command2_Click();
        QVERIFY(pty.drain().isEmpty());
        QCOMPARE(w->linkState, LinkState::NoLink);

        // Held at 10, and the idle values are written again every tick.
        w->Label2->setText(QStringLiteral("Reading "));
        w->showStatusLamp(Lamp::Reading);
        w->linkState = LinkState::ReadSent;
        w->opMode = OpMode::ReadAll;
        ticks(*w, 1);
        QCOMPARE(w->replyTicks, qint16(10));
        QCOMPARE(w->Label2->text(), QStringLiteral("State"));
        QCOMPARE(w->statusLampShown(), Lamp::Idle);
        QCOMPARE(w->linkState, LinkState::NoLink);
        QCOMPARE(w->opMode, OpMode::Idle);
    }

    void regularRepliesKeepTheLink()
    {
        WindowUnderTest w;
        w->Timer1->stop();
        w->ProcessReceived(*w->txtTerm, QStringLiteral("(K)\r\n"));
        for (int round = 0; round < 6; ++round) {
            ticks(*w, 5);
            w->ProcessReceived(*w->txtTerm, QStringLiteral("(0001888123456 )\r\n"));
        }
        QCOMPARE(w->linkState, LinkState::Ready);
        QCOMPARE(w->statusLampShown(), Lamp::Ready);
        QCOMPARE(w->Label2->text(), QStringLiteral("Ready..."));
        QVERIFY(w->replyTicks < 10);
    }

    void informationLinesFallBackIndependently()
    {
        WindowUnderTest w;
        w->Timer1->stop();
        ticks(*w, 10); // nothing heard since start: both blocks fire
        QCOMPARE(w->Label3->text(), QStringLiteral("Info"));
        QCOMPARE(w->infoTicks, qint16(10));
        w->ProcessReceived(*w->txtTerm, QStringLiteral("(GSM-M7/1 fw 2.14 sn 004512)\r\n"));
        ticks(*w, 5);
        w->ProcessReceived(*w->txtTerm, QStringLiteral("(CSQ 23 BER 00)\r\n"));
        ticks(*w, 9);
        QCOMPARE(w->Label3->text(), QStringLiteral("(GSM-M7/1 fw 2.14 sn 004512)"));
        ticks(*w, 1); // the tenth since the last information line
        QCOMPARE(w->Label3->text(), QStringLiteral("Info"));
        QCOMPARE(w->Label4->text(), QStringLiteral("Info"));
        // Other reply lines do not keep the information lines.
        QCOMPARE(w->replyTicks, qint16(10));
        w->ProcessReceived(*w->txtTerm, QStringLiteral("(CSQ 23 BER 00)\r\n"));
        for (int i = 0; i < 9; ++i) {
            w->ProcessReceived(*w->txtTerm, QStringLiteral("(K)\r\n"));
            ticks(*w, 1);
        }
        QCOMPARE(w->Label4->text(), QStringLiteral("(CSQ 23 BER 00)"));
        ticks(*w, 1);
        QCOMPARE(w->Label4->text(), QStringLiteral("Info"));
        QCOMPARE(w->linkState, LinkState::Ready);
    }
};

QTEST_MAIN(WatchdogTest)
#include "tst_watchdog.moc"
