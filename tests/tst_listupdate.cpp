// The list update (commit of the edit fields) and the Write command.

#include "files/records.h"
#include "testsupport.h"

#include <QFile>
#include <QTest>

using namespace testing;
using namespace app;

namespace {
const QString kGsmBad = QStringLiteral(" DLETE Object ? ");
const QString kGsmBadTitle = QStringLiteral("!!! GSM Number is INCORRECT !!!");
const QString kObjZero = QStringLiteral(" DLETE GSM Number ? ");
const QString kObjZeroTitle = QStringLiteral("Object Number = 0 !!!");

QStringList table()
{
    return {QStringLiteral("(0001) : 359888000001 - 11"), QStringLiteral("(0002) : 359********* - 0"),
            QStringLiteral("(0003) : 359888000003 - 33"), QStringLiteral("(0004) : 359********* - 0"),
            QStringLiteral("(0005) : 359888000005 - 7999")};
}

// A window holding the table with row `row` selected and its fields filled
// as a click on it leaves them.
void select(frmM7_1 &w, int row)
{
    w.List1->clear();
    w.List1->addItems(table());
    w.selIndex = qint16(row);
    w.List1->setCurrentRow(row);
    w.List1_Click();
}

QByteArray workFile()
{
    QFile f(QStringLiteral("temp.tfo"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QByteArray recordsOfList(const frmM7_1 &w)
{
    return files::recordsOf(rowsOf(w));
}
} // namespace

class ListUpdateTest : public ScratchCases {
    Q_OBJECT
private slots:

    void nothingWithoutAValidSelection()
    {
        ScriptedBoxes boxes; // nothing may be asked
        WindowUnderTest w;
        w->List1->addItems(table());
        w->Text2->setText(QStringLiteral("1"));
        w->cmdUpadateList_Click();
        QVERIFY(!QFile::exists(QStringLiteral("temp.tfo")));
        // A selection past the end (a read refilled the list with fewer rows).
        w->selIndex = 9;
        w->cmdUpadateList_Click();
        QVERIFY(!QFile::exists(QStringLiteral("temp.tfo")));
        QCOMPARE(rowsOf(*w), table());
    }

    void shortGsmNumber()
    {
        WindowUnderTest w;
        select(*w, 2);
        w->Text2->setText(QStringLiteral("88800000"));
        {
            ScriptedBoxes boxes;
            boxes.expect(kGsmBad, vbYesNo, kGsmBadTitle, vbYes);
            w->cmdUpadateList_Click();
        }
        QCOMPARE(w->List1->item(2)->text(), QStringLiteral("(0003) : 359********* - 0"));
        QCOMPARE(w->selGsm, QStringLiteral("*********"));
        QCOMPARE(w->selObject, qint16(0));
        QCOMPARE(workFile(), recordsOfList(*w));

        select(*w, 2);
        w->Text2->setText(QStringLiteral("88800000"));
        w->Text3->setText(QStringLiteral("44"));
        {
            ScriptedBoxes boxes;
            boxes.expect(kGsmBad, vbYesNo, kGsmBadTitle, vbNo);
            w->cmdUpadateList_Click();
        }
        QCOMPARE(w->Text2->text(), QStringLiteral("888000003"));
        QCOMPARE(w->Text3->text(), QStringLiteral("33"));
        QCOMPARE(rowsOf(*w), table());
    }

    void objectZero()
    {
        WindowUnderTest w;
        select(*w, 0);
        w->Text3->setText(QStringLiteral("0"));
        {
            ScriptedBoxes boxes;
            boxes.expect(kObjZero, vbYesNo, kObjZeroTitle, vbYes);
            w->cmdUpadateList_Click();
        }
        QCOMPARE(w->List1->item(0)->text(), QStringLiteral("(0001) : 359********* - 0"));

        select(*w, 0);
        w->Text3->setText(QStringLiteral("0"));
        {
            ScriptedBoxes boxes;
            boxes.expect(kObjZero, vbYesNo, kObjZeroTitle, vbNo);
            w->cmdUpadateList_Click();
        }
        QCOMPARE(w->List1->item(0)->text(), QStringLiteral("(0001) : 359888000001 - 0"));

        // The blank GSM text takes object 0 without a question.
        select(*w, 2);
        w->Text2->setText(QStringLiteral("*********"));
        {
            ScriptedBoxes boxes;
            w->cmdUpadateList_Click();
        }
        QCOMPARE(w->List1->item(2)->text(), QStringLiteral("(0003) : 359********* - 0"));
    }

    void duplicatesAreRefused()
    {
        WindowUnderTest w;
        // A GSM number that row 3 holds.
        select(*w, 0);
        w->Text2->setText(QStringLiteral("888000003"));
        {
            ScriptedBoxes boxes;
            boxes.expect(QStringLiteral("Position : 3-(0003)\rDublicate GSM number!"), vbOKOnly,
                         QStringLiteral("!!! GSM - ERROR !!!"), vbOK);
            w->cmdUpadateList_Click();
        }
        QCOMPARE(w->Text2->text(), QStringLiteral("888000001"));
        QCOMPARE(w->Text3->text(), QStringLiteral("11"));
        QCOMPARE(rowsOf(*w), table());
        QCOMPARE(workFile(), recordsOfList(*w)); // still written

        // An object number that row 3 holds.
        select(*w, 0);
        w->Text3->setText(QStringLiteral("33"));
        {
            ScriptedBoxes boxes;
            boxes.expect(QStringLiteral("Position : 3-(0003)\rDublicate OBJECT number!"), vbOKOnly,
                         QStringLiteral("!!! OBJECT - ERROR !!!"), vbOK);
            w->cmdUpadateList_Click();
        }
        QCOMPARE(rowsOf(*w), table());

        // Both in one update, the GSM search first: the selected row already
        // shares its object number with row 5 (as read from the unit).
        w->List1->item(0)->setText(QStringLiteral("(0001) : 359888000001 - 7999"));
        w->List1->setCurrentRow(0);
        w->List1_Click();
        w->Text2->setText(QStringLiteral("888000005"));
        {
            ScriptedBoxes boxes;
            boxes.expect(QStringLiteral("Position : 5-(0005)\rDublicate GSM number!"), vbOKOnly,
                         QStringLiteral("!!! GSM - ERROR !!!"), vbOK)
                .expect(QStringLiteral("Position : 5-(0005)\rDublicate OBJECT number!"), vbOKOnly,
                        QStringLiteral("!!! OBJECT - ERROR !!!"), vbOK);
            w->cmdUpadateList_Click();
        }

        // Blank entries never count, nor does the row against itself.
        select(*w, 1);
        {
            ScriptedBoxes boxes;
            w->cmdUpadateList_Click();
        }
        select(*w, 2);
        {
            ScriptedBoxes boxes;
            w->cmdUpadateList_Click();
        }
        QCOMPARE(w->List1->item(2)->text(), table()[2]);
    }

    void commitsANewEntryAndKeepsTheFile()
    {
        WindowUnderTest w;
        select(*w, 4);
        QFile f(QStringLiteral("temp.tfo"));
        w->Text3->setText(QStringLiteral("5"));
        w->cmdUpadateList_Click();
        QCOMPARE(w->List1->item(4)->text(), QStringLiteral("(0005) : 359888000005 - 5"));
        QCOMPARE(w->selObject, qint16(5));
        const QByteArray after = workFile();
        QCOMPARE(after, recordsOfList(*w));
        QVERIFY(after.endsWith("\"(0005)\",\"359888000005\",5\r\n"));

        // A read-only working file: the box after the commit, the list has
        // the row, the file is as it was.
        QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        w->Text3->setText(QStringLiteral("6"));
        {
            ScriptedBoxes boxes;
            boxes.expect(QStringLiteral("Permission denied"), vbExclamation, QStringLiteral("tst_listupdate"), vbOK);
            w->cmdUpadateList_Click();
        }
        QCOMPARE(w->List1->item(4)->text(), QStringLiteral("(0005) : 359888000005 - 6"));
        QCOMPARE(workFile(), after);
    }

    void writeSendsTheCommittedEntry()
    {
        Pty pty;
        WindowUnderTest w({pty.slavePath()});
        QVERIFY(connectWindow(*w));
        QStringList rows;
        for (int i = 1; i <= 12; ++i)
            rows << QStringLiteral("(%1) : 359********* - 0").arg(i, 4, 10, QLatin1Char('0'));
        w->List1->addItems(rows);
        w->selIndex = 11;
        w->List1->setCurrentRow(11);
        w->List1_Click();
        w->Text2->setText(QStringLiteral("888123456"));
        w->Text3->setText(QStringLiteral("17"));
        w->linkState = LinkState::Ready;
        w->Check1->setChecked(true);
        w->Command3_Click();
        QCOMPARE(pty.read(21), QByteArray("[w00110017888123456]\r"));
        QCOMPARE(w->opMode, OpMode::Write);
        QCOMPARE(w->linkState, LinkState::WriteSent);
        QCOMPARE(w->statusLampShown(), Lamp::Writing);
        QCOMPARE(w->Label2->text(), QStringLiteral("Writing ..."));
        QVERIFY(!w->Command3->isEnabled());
        QVERIFY(!w->Check1->isChecked());
        QCOMPARE(w->List1->item(11)->text(), QStringLiteral("(0012) : 359888123456 - 17"));
        QCOMPARE(workFile(), recordsOfList(*w));

        // A second Write waits for the unit's ready report.
        w->Command3_Click();
        QVERIFY(pty.drain().isEmpty());

        // A blank entry at position 3; object 5 as 0005.
        w->linkState = LinkState::Ready;
        w->selIndex = 2;
        w->List1->setCurrentRow(2);
        w->List1_Click();
        w->Command3_Click();
        QCOMPARE(pty.read(21), QByteArray("[w00020000*********]\r"));
        w->linkState = LinkState::Ready;
        w->Text2->setText(QStringLiteral("888000333"));
        w->Text3->setText(QStringLiteral("5"));
        w->Command3_Click();
        QCOMPARE(pty.read(21), QByteArray("[w00020005888000333]\r"));
        w->linkState = LinkState::Ready;
        w->Text3->setText(QStringLiteral("7999"));
        w->Command3_Click();
        QCOMPARE(pty.read(21), QByteArray("[w00027999888000333]\r"));

        // A duplicate: the frame carries the row's own values put back.
        w->linkState = LinkState::Ready;
        w->Text2->setText(QStringLiteral("888123456"));
        {
            ScriptedBoxes boxes;
            boxes.expect(QStringLiteral("Position : 12-(0012)\rDublicate GSM number!"), vbOKOnly,
                         QStringLiteral("!!! GSM - ERROR !!!"), vbOK);
            w->Command3_Click();
        }
        QCOMPARE(pty.read(21), QByteArray("[w00027999888000333]\r"));
    }

    void writeWithoutLinkOrSelectionOnlyCommits()
    {
        Pty pty;
        WindowUnderTest w({pty.slavePath()});
        QVERIFY(connectWindow(*w));
        select(*w, 0);
        w->Text3->setText(QStringLiteral("12"));
        w->linkState = LinkState::NoLink;
        w->Check1->setChecked(true);
        w->Command3->setEnabled(true);
        const int lamp = w->statusLampShown();
        w->Command3_Click();
        QCOMPARE(w->List1->item(0)->text(), QStringLiteral("(0001) : 359888000001 - 12"));
        QCOMPARE(workFile(), recordsOfList(*w));
        QVERIFY(pty.drain().isEmpty());
        QVERIFY(w->Check1->isChecked());
        QVERIFY(w->Command3->isEnabled());
        QCOMPARE(w->statusLampShown(), lamp);
        QCOMPARE(w->linkState, LinkState::NoLink);

        // Ready but nothing selected: the box "Read All" is cleared, nothing else.
        w->selIndex = -1;
        w->linkState = LinkState::Ready;
        w->Label2->setText(QStringLiteral("Ready..."));
        w->Command3_Click();
        QVERIFY(!w->Check1->isChecked());
        QVERIFY(pty.drain().isEmpty());
        QCOMPARE(w->Label2->text(), QStringLiteral("Ready..."));
        QCOMPARE(w->linkState, LinkState::Ready);
        QCOMPARE(w->opMode, OpMode::Idle);
    }
};

QTEST_MAIN(ListUpdateTest)
#include "tst_listupdate.moc"
