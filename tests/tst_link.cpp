// Connecting, the port's events and the commands, through the real serial
// port class on a pseudo-terminal: the bytes that go out are checked exactly.

#include "testsupport.h"

#include <QTest>

using namespace testing;
using namespace app;

class LinkTest : public ScratchCases {
    Q_OBJECT
private slots:

    void connectAndDisconnectOnCom3()
    {
        Pty pty;
        WindowUnderTest w({QString(), QString(), pty.slavePath()});
        w->Option1[3]->click();
        QCOMPARE(w->MSComm1->CommPort(), qint16(3));
        w->List1->addItem(QStringLiteral("(0001) : 359888123456 - 17"));
        w->List1->setCurrentRow(0);
        w->List1->setEnabled(false);
        w->selIndex = 0;
        w->opMode = OpMode::ReadOne;
        w->linkState = LinkState::WriteSent;

        w->imgNotConnected_Click();
        QVERIFY(w->MSComm1->PortOpen());
        QVERIFY(w->connectedLampShown());
        QVERIFY(w->Frame2->isEnabled() && w->Frame3->isEnabled());
        QVERIFY(w->List1->isEnabled());
        for (int i = 1; i <= 4; ++i)
            QVERIFY(!w->Option1[i]->isEnabled());
        QCOMPARE(w->Text1->text(), QStringLiteral("0"));
        QVERIFY(w->Text2->text().isEmpty());
        QCOMPARE(w->Text3->text(), QStringLiteral("0"));
        QCOMPARE(w->selIndex, qint16(-1));
        QCOMPARE(w->Label5->text(), QStringLiteral("Object"));
        QVERIFY(w->Option1[3]->isChecked());
        QCOMPARE(w->statusLampShown(), Lamp::Idle);
        // Opening the port does not touch the link's bookkeeping.
        QCOMPARE(w->opMode, OpMode::ReadOne);
        QCOMPARE(w->linkState, LinkState::WriteSent);

        // A COM option clicked by code while open changes nothing.
        w->Option1_Click(1);
        QCOMPARE(w->MSComm1->CommPort(), qint16(3));

        w->selIndex = 0;
        w->Text1->setText(QStringLiteral("0001"));
        w->imgConnected_Click();
        QVERIFY(!w->MSComm1->PortOpen());
        QVERIFY(!w->connectedLampShown());
        QVERIFY(!w->Frame2->isEnabled() && !w->Frame3->isEnabled());
        for (int i = 1; i <= 4; ++i)
            QVERIFY(w->Option1[i]->isEnabled());
        QCOMPARE(w->List1->count(), 1);
        QVERIFY(w->List1->selectedItems().isEmpty());
        QCOMPARE(w->List1->currentRow(), -1);
        QCOMPARE(w->Text1->text(), QStringLiteral("0"));
        QCOMPARE(w->selIndex, qint16(-1));
        QCOMPARE(w->statusLampShown(), Lamp::Idle);
        QCOMPARE(w->opMode, OpMode::ReadOne);
        QCOMPARE(w->linkState, LinkState::WriteSent);
    }

    // The lamps are clicked with the mouse: the red one connects, the green
    // one disconnects. A press released outside the lamp, or another button,
    // is no click.
    void lampsAnswerTheMouse()
    {
        Pty pty;
        WindowUnderTest w({pty.slavePath()});
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        for (QWidget *lamp : {static_cast<QWidget *>(w->imgNotConnected), static_cast<QWidget *>(w->imgConnected)}) {
            const bool open = w->MSComm1->PortOpen();
            QVERIFY(lamp->isVisible());
            const QPoint inside = lamp->rect().center();
            QTest::mousePress(lamp, Qt::LeftButton, {}, inside);
            QTest::mouseRelease(lamp, Qt::LeftButton, {}, QPoint(lamp->width() + 2, inside.y()));
            QTest::mouseClick(lamp, Qt::RightButton, {}, inside);
            QCOMPARE(w->MSComm1->PortOpen(), open);
            QTest::mouseClick(lamp, Qt::LeftButton, {}, inside);
            QCOMPARE(w->MSComm1->PortOpen(), !open);
            QCOMPARE(w->connectedLampShown(), !open);
        }
    }

    void missingDeviceShowsOneBox()
    {
        WindowUnderTest w; // every COM maps to a device that does not exist
        w->Text2->setText(QStringLiteral("x"));
        w->selIndex = 5;
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("COM 1 (/nonexistent/m7-test-com1): No such file or directory\rThere is no such "
                                    "port. Check that the unit's cable or USB adapter is plugged in and that the "
                                    "right COM is chosen."),
                     vbExclamation, QStringLiteral("tst_link"), vbOK);
        w->imgNotConnected_Click();
        QVERIFY(boxes.allShown());
        QCOMPARE(boxes.shown().size(), 1);
        QVERIFY(!w->MSComm1->PortOpen());
        QVERIFY(!w->connectedLampShown());
        QVERIFY(w->Option1[1]->isEnabled());
        QVERIFY(!w->Frame2->isEnabled());
        QCOMPARE(w->selIndex, qint16(5));
        QCOMPARE(w->statusLampShown(), Lamp::Idle);
        QVERIFY(w->Option1[1]->isChecked());
    }

    void receivedBytesReachTheListAndOtherEventsDoNot()
    {
        Pty pty;
        WindowUnderTest w({pty.slavePath()});
        QVERIFY(connectWindow(*w));
        // Bytes as one character each: A CR LF arrives as "A", CR, LF.
        QVERIFY(pty.write(QByteArray("A\r\n\xE9(K)\r\n")));
        QVERIFY(waitFor([&] { return w->linkState == LinkState::Ready; }));
        QCOMPARE(w->txtTerm->Text(), QString::fromLatin1("A\r\n\n\xE9(K)\r\n\n"));
        QCOMPARE(w->Label2->text(), QStringLiteral("Ready..."));
        QCOMPARE(w->statusLampShown(), Lamp::Ready);

        // The port's "sent" event (after a send) changes nothing.
        w->Label2->setText(QStringLiteral("x"));
        const QString term = w->txtTerm->Text();
        w->MSComm1->Output(QStringLiteral("?"));
        QVERIFY(waitFor([&] { return w->MSComm1->CommEvent() == comm::comEvSend; }));
        QCOMPARE(w->Label2->text(), QStringLiteral("x"));
        QCOMPARE(w->txtTerm->Text(), term);
        QCOMPARE(w->linkState, LinkState::Ready);
        QCOMPARE(pty.read(1), QByteArray("?"));
    }

    // "Read" from each state of the window: (unit ready, "All" ticked, the
    // selected row, the position field) -> the exact frame sent, the mode and
    // link state after, the status lamp and caption. "Write" is enabled in
    // every case; only a read of the whole table empties and disables the
    // list and clears the tick.
    void readSendsItsFrame_data()
    {
        QTest::addColumn<bool>("ready");
        QTest::addColumn<bool>("all");
        QTest::addColumn<int>("selIndex");
        QTest::addColumn<QString>("position");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("opMode");
        QTest::addColumn<int>("linkState");
        QTest::addColumn<int>("lamp");
        QTest::addColumn<QString>("caption");
        const QString reading = QStringLiteral("Reading ");
        QTest::newRow("no ready report: nothing") << false << true << 0 << "0005" << QByteArray() << int(OpMode::Idle)
                                                  << int(LinkState::NoLink) << Lamp::Idle << "State";
        QTest::newRow("whole table") << true << true << 0 << "0005" << QByteArray("\x5B\x72\x5D\x0D") << int(OpMode::ReadAll)
                                     << int(LinkState::ReadSent) << Lamp::Reading << reading;
        QTest::newRow("list position 5 is the unit's index 4") << true << false << 0 << "0005" << QByteArray("[r0004]\r")
                                                               << int(OpMode::ReadOne) << int(LinkState::ReadSent)
                                                               << Lamp::Reading << reading;
        QTest::newRow("no tick, no selection: nothing, the link says sent")
            << true << false << -1 << "0005" << QByteArray() << int(OpMode::Idle) << int(LinkState::ReadSent)
            << Lamp::Reading << reading;
        QTest::newRow("position no number: no frame, the state moves")
            << true << false << 0 << "ab" << QByteArray() << int(OpMode::ReadOne) << int(LinkState::ReadSent)
            << Lamp::Reading << reading;
    }
    void readSendsItsFrame()
    {
        QFETCH(bool, ready);
        QFETCH(bool, all);
        QFETCH(int, selIndex);
        QFETCH(QString, position);
        QFETCH(QByteArray, frame);
        QFETCH(int, opMode);
        QFETCH(int, linkState);
        QFETCH(int, lamp);
        QFETCH(QString, caption);
        Pty pty;
        WindowUnderTest w({pty.slavePath()});
        QVERIFY(connectWindow(*w));
        w->List1->addItems({QStringLiteral("(0005) : 359888123456 - 17"), QStringLiteral("(0006) : 359888123457 - 18")});
        w->Command3->setEnabled(false);
        w->Label2->setText(QStringLiteral("State"));
        w->linkState = ready ? LinkState::Ready : LinkState::NoLink;
        w->Check1->setChecked(all);
        w->selIndex = qint16(selIndex);
        w->Text1->setText(position);
        w->Command2_Click();
        QCOMPARE((frame.isEmpty() ? QByteArray() : pty.read(int(frame.size()))) + pty.drain(), frame);
        QCOMPARE(w->opMode, opMode);
        QCOMPARE(w->linkState, linkState);
        QCOMPARE(w->statusLampShown(), lamp);
        QCOMPARE(w->Label2->text(), caption);
        QVERIFY(w->Command3->isEnabled());
        const bool readAll = opMode == OpMode::ReadAll;
        QCOMPARE(w->List1->count(), readAll ? 0 : 2);
        QCOMPARE(w->List1->isEnabled(), !readAll);
        QCOMPARE(w->Check1->isChecked(), all && !readAll);
    }

    void eraseAllAsksTwice()
    {
        Pty pty;
        WindowUnderTest w({pty.slavePath()});
        QVERIFY(connectWindow(*w));
        const QString title = QStringLiteral("!!! DELETE ALL DATA !!!");
        const QString q1 = QStringLiteral(" DLETE ALL Object and GMS number ? ");
        const QString q2 = QStringLiteral(" Do you really want to DLETE ALL Object and GMS number ? ");
        w->Command1->setVisible(true);
        w->opMode = OpMode::ReadAll;
        {
            ScriptedBoxes boxes;
            boxes.expect(q1, vbYesNo, title, vbYes).expect(q2, vbYesNo + vbCritical, title, vbNo);
            w->Command1_Click();
        }
        QVERIFY(pty.drain().isEmpty());
        QCOMPARE(w->opMode, OpMode::ReadAll);
        QVERIFY(w->Command1->isHidden());
        {
            ScriptedBoxes boxes;
            boxes.expect(q1, vbYesNo, title, vbNo);
            w->Command1_Click();
        }
        QVERIFY(pty.drain().isEmpty());

        w->Label5->setText(QStringLiteral("3 of 12"));
        {
            ScriptedBoxes boxes;
            boxes.expect(q1, vbYesNo, title, vbYes).expect(q2, vbYesNo + vbCritical, title, vbYes);
            w->Command1_Click();
        }
        QCOMPARE(pty.read(4), QByteArray("[d]\r"));
        QCOMPARE(w->opMode, OpMode::Erase);
        QCOMPARE(w->Label5->text(), QStringLiteral("Object"));
        QCOMPARE(w->linkState, LinkState::NoLink); // not looked at, not changed

        // With the port closed the mode is still set; nothing can go out.
        w->imgConnected_Click();
        w->opMode = OpMode::Idle;
        {
            ScriptedBoxes boxes;
            boxes.expect(q1, vbYesNo, title, vbYes).expect(q2, vbYesNo + vbCritical, title, vbYes);
            w->Command1_Click();
        }
        QCOMPARE(w->opMode, OpMode::Erase);
    }

    void messageBoxDuringReceiveHoldsLaterBytes()
    {
        // An object number above 7999 in a single-position read opens a box
        // inside the receive processing. Bytes arriving meanwhile must wait:
        // they are processed after it returns, once and in order.
        Pty pty;
        WindowUnderTest w({pty.slavePath()});
        QVERIFY(connectWindow(*w));
        w->selIndex = 0;
        w->opMode = OpMode::ReadOne;
        w->linkState = LinkState::ReadSent;
        bool checkedInside = false;
        ScriptedBoxes boxes;
        app::setMsgBoxResponder([&](const QString &text, int, const QString &) {
            if (text != QStringLiteral(" Object Number > 7999 ! "))
                return int(vbOK);
            pty.write("(K)\r\n(GSM-M7/1 fw 2.14 sn 004512)\r\n");
            QTest::qWait(300); // the box is up; the event loop runs
            checkedInside = true;
            if (w->linkState != LinkState::ReadSent || w->Label2->text() == QStringLiteral("Ready..."))
                QTest::qFail("the status reply was processed while the box was open", __FILE__, __LINE__);
            return int(vbOK);
        });
        QVERIFY(pty.write("(8000888123456 )\r\n"));
        QVERIFY(waitFor([&] { return checkedInside; }));
        QVERIFY(waitFor([&] { return w->linkState == LinkState::Ready; }));
        QCOMPARE(w->Text3->text(), QStringLiteral("0"));
        QCOMPARE(w->Label3->text(), QStringLiteral("(GSM-M7/1 fw 2.14 sn 004512)"));
        QCOMPARE(w->txtTerm->Text().count(QStringLiteral("(K)")), 1);
        QCOMPARE(w->txtTerm->Text(),
                 QStringLiteral("(8000888123456 )\r\n\n(K)\r\n\n(GSM-M7/1 fw 2.14 sn 004512)\r\n\n"));
    }

    void unitUnpluggedDuringARead()
    {
        Pty pty;
        QStringList devices{pty.slavePath()};
        WindowUnderTest w(devices);
        QVERIFY(connectWindow(*w));
        w->opMode = OpMode::ReadAll;
        w->linkState = LinkState::ReadSent;
        QByteArray half;
        for (int i = 0; i < 100; ++i)
            half += "(0012888123456 )\r\n";
        half += "(0012888"; // the cable goes in the middle of a line
        QVERIFY(pty.write(half));
        QVERIFY(waitFor([&] { return w->List1->count() == 100 && w->lineReader.pending().endsWith(QLatin1String("(0012888")); }));
        QStringList told;
        app::setMsgBoxResponder([&](const QString &text, int style, const QString &) {
            told << QStringLiteral("%1 %2").arg(style).arg(text);
            return int(vbOK);
        });
        pty.hangUp();
        QVERIFY(waitFor([&] { return !w->MSComm1->PortOpen(); }, 3000));
        QVERIFY(waitFor([&] { return !told.isEmpty(); }));
        app::setMsgBoxResponder({});
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].startsWith(QStringLiteral("48 The connection on COM 1 was lost: ")), qPrintable(told[0]));
        QVERIFY(!w->connectedLampShown());
        QVERIFY(!w->Frame2->isEnabled());
        QVERIFY(w->Option1[1]->isEnabled());
        QCOMPARE(w->selIndex, qint16(-1));
        QCOMPARE(w->List1->count(), 100);

        // No core left spinning.
        QVERIFY(staysIdle());

        // The unit is back: a connect works again, and the cut-off line of
        // the earlier connection does not swallow the unit's first reply.
        Pty back;
        w.devices[0] = back.slavePath();
        QVERIFY(connectWindow(*w));
        QVERIFY(back.write("(K)\r\n"));
        QVERIFY(waitFor([&] { return w->linkState == LinkState::Ready; }));
    }
};

QTEST_MAIN(LinkTest)
#include "tst_link.moc"
