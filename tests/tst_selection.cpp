// Selecting rows and the rules of the GSM and object fields.

#include "testsupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

#include <clocale>

using namespace testing;
using namespace app;

namespace {
const QString kTooBig = QStringLiteral(" Object Number > 7999 ! ");
const QString kTooBigTitle = QStringLiteral("!!! OBJECT Number is INCORRECT !!!");

QStringList twelveRows()
{
    QStringList rows;
    for (int i = 1; i <= 12; ++i)
        rows << QStringLiteral("(%1) : 359%2 - %3").arg(i, 4, 10, QLatin1Char('0')).arg(888123400 + i).arg(i * 10);
    return rows;
}

void clickRow(frmM7_1 &w, int row)
{
    const QRect r = w.List1->visualItemRect(w.List1->item(row));
    QTest::mouseClick(w.List1->viewport(), Qt::LeftButton, {}, r.center());
}
} // namespace

class SelectionTest : public ScratchCases {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // The suite also runs the field rules under a comma-decimal locale
        // (CTest sets M7_COMMA_LOCALE): make sure it is really in force.
        if (qEnvironmentVariableIsSet("M7_COMMA_LOCALE"))
            QCOMPARE(QString::fromLatin1(std::localeconv()->decimal_point), QStringLiteral(","));
    }

    // What each field keeps of a text set into it, under every locale.
    void fieldRulesReadTexts_data()
    {
        QTest::addColumn<bool>("gsmField");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("kept");
        QTest::newRow("object 3.5 rounds up") << false << "3.5" << "4";
        QTest::newRow("object 0.7 is 1, not 0") << false << "0.7" << "1";
        QTest::newRow("object with sign and blanks") << false << " +17 " << "17";
        QTest::newRow("object with an exponent") << false << "1e3" << "0";
        QTest::newRow("gsm with an e") << true << "8881234e5" << "";
        QTest::newRow("gsm with a sign") << true << "+88812345" << "";
        QTest::newRow("gsm with a point") << true << "8881234.5" << "";
        QTest::newRow("gsm with a blank") << true << " 88812345" << "";
        QTest::newRow("gsm digits") << true << "888123456" << "888123456";
        QTest::newRow("gsm with an asterisk") << true << "+8*" << "+8*";
    }
    void fieldRulesReadTexts()
    {
        QFETCH(bool, gsmField);
        QFETCH(QString, text);
        QFETCH(QString, kept);
        WindowUnderTest w;
        w->selIndex = 0;
        TextBox *field = gsmField ? w->Text2 : w->Text3;
        field->setText(text);
        QCOMPARE(field->text(), kept);
    }

    void objectFieldRule()
    {
        WindowUnderTest w;
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->Frame2->setEnabled(true);
        w->selIndex = 0;
        w->Text3->setFocus();
        ScriptedBoxes boxes;
        w->Text3->clear();
        QCOMPARE(w->Text3->text(), QStringLiteral("0")); // never empty after a change
        w->Text3->selectAll();
        boxes.expect(kTooBig, vbOKOnly, kTooBigTitle, vbOK);
        QTest::keyClicks(w->Text3, QStringLiteral("8000"));
        QVERIFY(boxes.allShown());
        QCOMPARE(boxes.shown().size(), 1);
        QCOMPARE(w->Text3->text(), QStringLiteral("0"));
        w->Text3->selectAll();
        QTest::keyClicks(w->Text3, QStringLiteral("7999"));
        QCOMPARE(w->Text3->text(), QStringLiteral("7999"));
        w->Text3->selectAll();
        QTest::keyClicks(w->Text3, QStringLiteral("0017"));
        QCOMPARE(w->Text3->text(), QStringLiteral("17"));
        QCOMPARE(w->Text3->cursorPosition(), 2);
        w->Text3->setText(QStringLiteral("12a"));
        QCOMPARE(w->Text3->text(), QStringLiteral("0"));
        w->Text3->setText(QStringLiteral("-5")); // below 1 passes this rule
        QCOMPARE(w->Text3->text(), QStringLiteral("-5"));
        w->Text3->setText(QStringLiteral("2.5"));
        QCOMPARE(w->Text3->text(), QStringLiteral("2"));
        // Leaving an empty field gives "0".
        w->Text3->blockSignals(true);
        w->Text3->setText(QString());
        w->Text3->blockSignals(false);
        w->Text2->setFocus();
        QCOMPARE(w->Text3->text(), QStringLiteral("0"));
        QCOMPARE(boxes.shown().size(), 1);
    }

    // What the typing limit (4 and 9 characters) keeps of a key or a paste
    // at the cursor (-1: over the whole text): a pasted text goes in cut to
    // the room left, a key into a full field is refused, wherever the cursor.
    void typingLimit_data()
    {
        QTest::addColumn<bool>("gsmField");
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<QString>("pasted"); // else typed
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("after");
        QTest::newRow("paste over all") << false << "17" << -1 << "12345" << "" << "1234";
        QTest::newRow("paste at the end") << false << "12" << 2 << "777" << "" << "1277";
        QTest::newRow("paste in the middle") << false << "12" << 1 << "777" << "" << "1772";
        QTest::newRow("full, key at the end") << false << "1277" << 4 << "" << "5" << "1277";
        QTest::newRow("full, key in the middle") << false << "1234" << 2 << "" << "5" << "1234";
        QTest::newRow("GSM full, key in the middle") << true << "888123456" << 3 << "" << "7" << "888123456";
        QTest::newRow("GSM, paste in the middle") << true << "8881234" << 3 << "5678" << "" << "888561234";
    }
    void typingLimit()
    {
        QFETCH(bool, gsmField);
        QFETCH(QString, before);
        QFETCH(int, cursor);
        QFETCH(QString, pasted);
        QFETCH(QString, typed);
        QFETCH(QString, after);
        WindowUnderTest w;
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->Frame2->setEnabled(true);
        w->selIndex = 0;
        TextBox *field = gsmField ? w->Text2 : w->Text3;
        field->setFocus();
        field->setText(before);
        if (cursor < 0)
            field->selectAll();
        else
            field->setCursorPosition(cursor);
        if (pasted.isEmpty()) {
            QTest::keyClicks(field, typed);
        } else {
            QGuiApplication::clipboard()->setText(pasted);
            QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
        }
        QCOMPARE(field->text(), after);
    }

    void gsmFieldRule()
    {
        WindowUnderTest w;
        w->Frame2->setEnabled(true);
        w->selIndex = 0;
        w->Text2->setText(QStringLiteral("888123456"));
        QCOMPARE(w->Text2->text(), QStringLiteral("888123456"));
        QCOMPARE(w->Text2->cursorPosition(), 9);
        w->Text2->setFocus();
        w->Text2->setSelection(3, 1);
        QTest::keyClick(w->Text2, Qt::Key_A);
        QVERIFY(w->Text2->text().isEmpty());
        w->Text2->setText(QStringLiteral("*********"));
        QCOMPARE(w->Text2->text(), QStringLiteral("*********"));
        w->Text2->setText(QStringLiteral("88*"));
        QCOMPARE(w->Text2->text(), QStringLiteral("88*"));
    }

    void noSelectionKeepsFieldsEmpty()
    {
        WindowUnderTest w;
        w->Frame2->setEnabled(true);
        w->Frame3->setEnabled(true);
        QCOMPARE(w->selIndex, qint16(-1));
        w->Command3->setEnabled(false);
        w->Text2->setFocus();
        QTest::keyClicks(w->Text2, QStringLiteral("888"));
        QVERIFY(w->Text2->text().isEmpty());
        w->Text3->setFocus();
        QTest::keyClicks(w->Text3, QStringLiteral("17"));
        QCOMPARE(w->Text3->text(), QStringLiteral("0"));
        QVERIFY(!w->Command3->isEnabled());
        // With a row selected, a key press enables "Write".
        w->selIndex = 2;
        QTest::keyClick(w->Text3, Qt::Key_1);
        QVERIFY(w->Command3->isEnabled());
        w->Command3->setEnabled(false);
        QTest::keyClick(w->Text2, Qt::Key_Backspace);
        QVERIFY(w->Command3->isEnabled());
    }

    // Character keys count as a key press of a field; editing keys do not.
    void keysThatEnableWrite_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("enables");
        QTest::newRow("digit") << int(Qt::Key_5) << true;
        QTest::newRow("letter") << int(Qt::Key_A) << true;
        QTest::newRow("backspace") << int(Qt::Key_Backspace) << true;
        QTest::newRow("left") << int(Qt::Key_Left) << false;
        QTest::newRow("home") << int(Qt::Key_Home) << false;
        QTest::newRow("delete") << int(Qt::Key_Delete) << false;
    }
    void keysThatEnableWrite()
    {
        QFETCH(int, key);
        QFETCH(bool, enables);
        WindowUnderTest w;
        w->Frame2->setEnabled(true);
        w->Frame3->setEnabled(true);
        w->selIndex = 0;
        for (TextBox *field : {w->Text2, w->Text3}) {
            w->Command3->setEnabled(false);
            QTest::keyClick(field, Qt::Key(key));
            QCOMPARE(w->Command3->isEnabled(), enables);
        }
    }

    // Keyboard and mouse choose a row once, as a click does.
    void keyboardAndDragChooseOneRow_data()
    {
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<int>("row");
        QTest::newRow("first Down after tabbing in") << "down" << 0;
        QTest::newRow("first Up after tabbing in") << "up" << 0;
        QTest::newRow("drag from row 2 to row 4") << "drag" << 3;
    }
    void keyboardAndDragChooseOneRow()
    {
        QFETCH(QString, gesture);
        QFETCH(int, row);
        WindowUnderTest w;
        w->Frame2->setEnabled(true);
        w->List1->addItems(twelveRows());
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QSignalSpy clicks(w->List1, &ListBox::rowClicked);
        if (gesture == QLatin1String("drag")) {
            QWidget *view = w->List1->viewport();
            const auto at = [&](int r) { return w->List1->visualItemRect(w->List1->item(r)).center(); };
            QTest::mousePress(view, Qt::LeftButton, {}, at(1));
            QTest::mouseMove(view, at(2));
            QTest::mouseMove(view, at(3));
            QTest::mouseRelease(view, Qt::LeftButton, {}, at(3));
        } else {
            w->Text2->setFocus();
            QTest::keyClick(w->Text2, Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), w->List1);
            QTest::keyClick(w->List1, gesture == QLatin1String("up") ? Qt::Key_Up : Qt::Key_Down);
        }
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(w->List1->currentRow(), row);
        QVERIFY(w->List1->currentItem()->isSelected());
        QCOMPARE(w->Label5->text(), QStringLiteral("%1 of 12").arg(row + 1));
    }

    void clickingRowsReadsNewOnes()
    {
        Pty pty;
        WindowUnderTest w({pty.slavePath()});
        QVERIFY(connectWindow(*w));
        w->List1->addItems(twelveRows());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->linkState = LinkState::Ready;

        // The first selection after a reset: the rules still see no row.
        w->Command3->setEnabled(false);
        clickRow(*w, 6);
        QCOMPARE(pty.read(8), QByteArray("[r0006]\r"));
        QCOMPARE(w->Text1->text(), QStringLiteral("0007"));
        QVERIFY(w->Text2->text().isEmpty());
        QCOMPARE(w->Text3->text(), QStringLiteral("0"));
        QCOMPARE(w->selIndex, qint16(6));
        QCOMPARE(w->selGsm, QStringLiteral("888123407"));
        QCOMPARE(w->selObject, qint16(70));
        QCOMPARE(w->Label5->text(), QStringLiteral("7 of 12"));
        QVERIFY(w->Command3->isEnabled());
        QCOMPARE(w->opMode, OpMode::ReadOne);
        QCOMPARE(w->linkState, LinkState::ReadSent);

        // The same row again only fills the fields; nothing goes out.
        w->linkState = LinkState::Ready;
        clickRow(*w, 6);
        QCOMPARE(w->Text2->text(), QStringLiteral("888123407"));
        QCOMPARE(w->Text3->text(), QStringLiteral("70"));
        QCOMPARE(w->Label5->text(), QStringLiteral("7 of 12"));
        QVERIFY(pty.drain().isEmpty());

        // A keyboard move selects the next row once.
        QTest::keyClick(w->List1, Qt::Key_Down);
        QCOMPARE(pty.read(8), QByteArray("[r0007]\r"));
        QVERIFY(pty.drain().isEmpty());
        QCOMPARE(w->Label5->text(), QStringLiteral("8 of 12"));
        QCOMPARE(w->selIndex, qint16(7));

        // Another mouse click sends one frame, not two.
        w->linkState = LinkState::Ready;
        clickRow(*w, 2);
        QCOMPARE(pty.read(8), QByteArray("[r0002]\r"));
        QVERIFY(pty.drain().isEmpty());
        QCOMPARE(w->Label5->text(), QStringLiteral("3 of 12"));
    }

    void rowAbove7999()
    {
        WindowUnderTest w;
        w->List1->addItems(twelveRows());
        w->List1->item(2)->setText(QStringLiteral("(0003) : 359888123403 - 8000"));
        w->selIndex = 2;
        w->List1->setCurrentRow(2);
        ScriptedBoxes boxes;
        boxes.expect(kTooBig, vbOKOnly, kTooBigTitle, vbOK);
        w->List1_Click();
        QVERIFY(boxes.allShown());
        QCOMPARE(w->Text3->text(), QStringLiteral("0"));
        QCOMPARE(w->selObject, qint16(8000));
        QCOMPARE(w->Text2->text(), QStringLiteral("888123403"));
    }

    void altWithDoubleClickRevealsErase()
    {
        Pty pty;
        WindowUnderTest w({pty.slavePath()});
        w->List1->addItems(twelveRows());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        const QPoint at = w->List1->visualItemRect(w->List1->item(0)).center();

        // Port closed: nothing.
        QTest::keyPress(w->List1, Qt::Key_Alt);
        QCOMPARE(w->keyHeld, vbFalse);
        QTest::mouseDClick(w->List1->viewport(), Qt::LeftButton, Qt::AltModifier, at);
        QVERIFY(w->Command1->isHidden());
        QTest::keyRelease(w->List1, Qt::Key_Alt);

        QVERIFY(connectWindow(*w));
        QTest::mouseDClick(w->List1->viewport(), Qt::LeftButton, {}, at);
        QVERIFY(w->Command1->isHidden()); // a double click alone does nothing
        QTest::keyPress(w->List1, Qt::Key_Alt);
        QCOMPARE(w->keyHeld, vbTrue);
        QTest::mouseDClick(w->List1->viewport(), Qt::LeftButton, Qt::AltModifier, at);
        QVERIFY(w->Command1->isVisible());
        QTest::keyRelease(w->List1, Qt::Key_Alt);
        QCOMPARE(w->keyHeld, vbFalse);
    }
};

QTEST_MAIN(SelectionTest)
#include "tst_selection.moc"
