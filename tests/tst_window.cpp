// The main window right after start, its close request, the busy window
// and the message box seam.

#include "app/controls.h"
#include "app/frmSplash.h"
#include "app/msgbox.h"
#include "link/portfailure.h"
#include "testsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace testing;
using namespace app;

class WindowTest : public ScratchCases {
    Q_OBJECT
private slots:

    void startsInItsDesignedState()
    {
        ScriptedBoxes boxes; // start-up shows no box
        WindowUnderTest w;
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));

        QCOMPARE(w->windowTitle(), QStringLiteral("Programmer for GSM-M7/1 - ver.1.0"));
        QCOMPARE(w->size(), QSize(436, 343));
        QCOMPARE(w->minimumSize(), w->maximumSize());
        QVERIFY(!w->windowIcon().pixmap(32, 32).isNull());
        QVERIFY(!w->connectedLampShown());
        QCOMPARE(w->statusLampShown(), Lamp::Idle);
        QVERIFY(w->Option1[1]->isChecked());
        QCOMPARE(w->MSComm1->CommPort(), qint16(1));
        QVERIFY(!w->MSComm1->PortOpen());
        QVERIFY(!w->Frame2->isEnabled());
        QVERIFY(!w->Frame3->isEnabled());
        QVERIFY(!w->Text2->isEnabled()); // grayed with its frame
        QCOMPARE(w->Text1->text(), QStringLiteral("0"));
        QVERIFY(!w->Text1->isEnabled());
        QVERIFY(w->Text2->text().isEmpty());
        QCOMPARE(w->Text3->text(), QStringLiteral("0"));
        QCOMPARE(w->Label2->text(), QStringLiteral("State"));
        QCOMPARE(w->Label5->text(), QStringLiteral("Object"));
        QCOMPARE(w->Label3->text(), QStringLiteral("Info"));
        QCOMPARE(w->Label1->text(), QStringLiteral("Position         GSM                   Object"));
        QCOMPARE(w->Label1->text().size(), 45);
        QVERIFY(!w->Command1->isVisible());
        QVERIFY(!w->cmdUpadateList->isVisible());
        QVERIFY(!w->cmdUpadateList->isEnabled());
        QVERIFY(!w->txtTerm->isVisible());
        QVERIFY(w->Command1->isHidden() && w->txtTerm->isHidden());
        QCOMPARE(w->txtTerm->ForeColor(), QColor(0, 0, 255));
        QCOMPARE(w->List1->count(), 0);
        QCOMPARE(w->Check1->text(), QStringLiteral("Read All"));
        QVERIFY(!w->Check1->isChecked());
        QCOMPARE(w->imgConnected->toolTip(), QStringLiteral("Toggles Port"));
        QCOMPARE(w->imgNotConnected->toolTip(), QStringLiteral("Toggles Port"));
        QCOMPARE(w->Text3->toolTip(), QStringLiteral("1...7999"));
        QCOMPARE(w->Text2->toolTip(), QStringLiteral("888123456"));
        QCOMPARE(w->List1->geometry(), QRect(208, 56, 225, 284));
        QCOMPARE(w->Image1[2]->geometry(), QRect(256, 14, 16, 16));

        // State after the load sequence; the tick counters are untouched.
        QCOMPARE(w->selIndex, qint16(-1));
        QCOMPARE(w->opMode, OpMode::Idle);
        QCOMPARE(w->linkState, LinkState::NoLink);
        QCOMPARE(w->keyHeld, vbFalse);
        QCOMPARE(w->replyTicks, qint16(0));
        QCOMPARE(w->infoTicks, qint16(0));
        QCOMPARE(w->selObject, qint16(0));
        QVERIFY(w->selGsm.isEmpty());
        QVERIFY(w->Timer1->isActive());
        QCOMPARE(w->Timer1->interval(), 1000);

        // Tab order over the controls that can take the focus.
        QWidget *order[] = {w->Option1[1], w->Option1[2], w->Option1[3], w->Option1[4], w->Text2, w->List1,
                            w->Text3, w->cmdOFNsave, w->Command3, w->Command2, w->Check1, w->Command1};
        // (Of the option buttons only the selected one is a tab stop, as in
        // any group of option buttons; the chain keeps them in order.)
        QList<QWidget *> chain;
        for (QWidget *x = w->nextInFocusChain(); x != w.get(); x = x->nextInFocusChain())
            chain << x;
        for (size_t i = 1; i < std::size(order); ++i)
            QVERIFY2(chain.indexOf(order[i - 1]) < chain.indexOf(order[i]), qPrintable(order[i]->objectName()));

        // The window opens centred on its screen.
        const QRect screen = w->screen()->geometry();
        const QPoint off = w->frameGeometry().center() - screen.center();
        QVERIFY2(qAbs(off.x()) <= 12 && qAbs(off.y()) <= 30,
                 qPrintable(QStringLiteral("%1,%2 off centre").arg(off.x()).arg(off.y())));
    }

    void designValuesAndLeftoverFiles()
    {
        // A working file from an earlier run is gone after start, silently.
        QVERIFY(put(QStringLiteral("temp.tfo"), "\"(0001)\",\"359888123456\",17\r\n"));
        ScriptedBoxes boxes;
        WindowDesign design;
        design.commPort = 3;
        design.termText = QStringLiteral("left over\r\n");
        WindowUnderTest w({}, design);
        QVERIFY(!QFile::exists(QStringLiteral("temp.tfo")));
        QVERIFY(w->Option1[3]->isChecked());
        QVERIFY(!w->Option1[1]->isChecked());
        QCOMPARE(w->MSComm1->CommPort(), qint16(3));
        QVERIFY(w->txtTerm->Text().isEmpty());
        // A port number without an option selects none and keeps its number.
        for (const qint16 port : {qint16(7), qint16(0)}) {
            design.commPort = port;
            WindowUnderTest other({}, design);
            QCOMPARE(other->MSComm1->CommPort(), port);
            QVERIFY(other->Option1[1]->isChecked()); // the design's selection stays
        }
    }

    void typingIsLimitedButSetTextIsNot()
    {
        WindowUnderTest w;
        w->selIndex = 0; // a row is selected: the rules keep what is typed
        w->Frame2->setEnabled(true);
        w->Text2->setText(QString());
        w->Text2->setFocus();
        QTest::keyClicks(w->Text2, QStringLiteral("88812345678"));
        QCOMPARE(w->Text2->text(), QStringLiteral("888123456"));
        // Text set by the program reaches the field rule whole: 12345 is a
        // number above 7999, not the 1234 a maximum length would leave.
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral(" Object Number > 7999 ! "), vbOKOnly,
                     QStringLiteral("!!! OBJECT Number is INCORRECT !!!"), vbOK);
        w->Text3->setText(QStringLiteral("12345"));
        QVERIFY(boxes.allShown());
        QCOMPARE(w->Text3->text(), QStringLiteral("0"));
    }

    void closeRequestNoKeepsEverything()
    {
        Pty pty;
        WindowUnderTest w({pty.slavePath()});
        QVERIFY(connectWindow(*w));
        w->List1->addItem(QStringLiteral("(0001) : 359888123456 - 17"));
        w->txtTerm->setText(QStringLiteral("(K)\r\n\n"));
        w->show();
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("Do you really want to exit the application?"), vbYesNo + vbQuestion,
                     QStringLiteral("Programmer for GSM-M7/1 - ver.1.0"), vbNo);
        QVERIFY(!w->close());
        QVERIFY(boxes.allShown());
        QVERIFY(w->isVisible());
        QVERIFY(w->MSComm1->PortOpen());
        QCOMPARE(w->List1->count(), 1);
        QCOMPARE(w->txtTerm->Text(), QStringLiteral("(K)\r\n\n"));
        QCOMPARE(w.endRequests, 0);

        boxes.expect(QStringLiteral("Do you really want to exit the application?"), vbYesNo + vbQuestion,
                     QStringLiteral("Programmer for GSM-M7/1 - ver.1.0"), vbYes);
        w->close();
        QCOMPARE(w.endRequests, 1);
    }

    void closeRequestYesEndsTheProcessAndFreesThePort()
    {
        // The real ending, in a child process with the window's own ending:
        // it must exit at once with the port released (its lock file gone),
        // no further handler running.
        Pty pty;
        const QString lockFile = comm::lockFilePathFor(pty.slavePath());
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            frmM7_1 w([&](int) { return pty.slavePath(); });
            if (!connectWindow(w) || !QFile::exists(lockFile))
                ::_exit(3);
            setMsgBoxResponder([](const QString &, int, const QString &) { return int(vbYes); });
            w.close();
            ::_exit(4); // not reached when the close ended the process
        }
        int status = 0;
        pid_t done = 0;
        for (int i = 0; i < 500 && done == 0; ++i) {
            done = ::waitpid(child, &status, WNOHANG);
            QTest::qWait(10);
        }
        if (done == 0)
            ::kill(child, SIGKILL);
        QVERIFY(done == child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QVERIFY(!QFile::exists(lockFile));
        // The port is free: this process can open it now.
        WindowUnderTest w({pty.slavePath()});
        QVERIFY2(connectWindow(*w), qPrintable(w->MSComm1->lastError()));
    }

    void unloadClosesThePort()
    {
        Pty pty;
        auto w = std::make_unique<WindowUnderTest>(QStringList{pty.slavePath()});
        QVERIFY(connectWindow(**w));
        w.reset();
        WindowUnderTest again({pty.slavePath()});
        QVERIFY(connectWindow(*again));
    }

    void statusLampsOverlap()
    {
        WindowUnderTest w;
        w->showStatusLamp(Lamp::Reading);
        QCOMPARE(w->statusLampShown(), Lamp::Reading);
        w->showStatusLamp(Lamp::Idle);
        QCOMPARE(w->statusLampShown(), Lamp::Idle);
        w->showStatusLamp(Lamp::Idle);
        QCOMPARE(w->statusLampShown(), Lamp::Idle);
        w->showStatusLamp(Lamp::Ready);
        QCOMPARE(w->statusLampShown(), Lamp::Ready);
    }

    void busyWindowUnloadGivesTheWindowBack()
    {
        WindowUnderTest w;
        w->show();
        QVERIFY(w->splashIfLoaded() == nullptr);
        frmSplash *busy = w->splash();
        QCOMPARE(busy->size(), QSize(547, 58));
        QCOMPARE(busy->Label1->text(), QStringLiteral("Label1"));
        QVERIFY(busy->windowFlags() & Qt::WindowCloseButtonHint);
        w->Label5->setText(QStringLiteral("3 of 12"));
        w->setEnabled(false);
        busy->show();
        busy->close(); // the user's close button
        QVERIFY(w->isEnabled());
        QCOMPARE(w->Label5->text(), QStringLiteral("Object"));
        QVERIFY(waitFor([&] { return w->splashIfLoaded() == nullptr; }));
        // Each showing is a fresh window.
        QCOMPARE(w->splash()->Label1->text(), QStringLiteral("Label1"));
    }

    void realMessageBoxShowsCrAsLineBreak()
    {
        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            seen = true;
            QCOMPARE(box->text(), QStringLiteral("Position : 3-(0003)\nDublicate GSM number!"));
            QCOMPARE(box->windowTitle(), QStringLiteral("!!! GSM - ERROR !!!"));
            QCOMPARE(box->icon(), QMessageBox::Warning);
            QVERIFY(box->button(QMessageBox::Yes) && box->button(QMessageBox::No));
            QCOMPARE(box->defaultButton(), box->button(QMessageBox::Yes));
            box->button(QMessageBox::No)->click();
        });
        const int r = MsgBox(QStringLiteral("Position : 3-(0003)\rDublicate GSM number!"), vbYesNo + vbExclamation,
                             QStringLiteral("!!! GSM - ERROR !!!"));
        QVERIFY(seen);
        QCOMPARE(r, int(vbNo));
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
