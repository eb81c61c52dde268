// The list update (commit of the edit fields) and the Write command.

#include "files/records.h"
#include "testsupport.h"

#include <QFile>
#include <QTest>

using namespace testing;
using namespace app;

namespace {
using Box = ScriptedBoxes::Box;

QStringList table()
{
    return {QStringLiteral("(0001) : 359888000001 - 11"), QStringLiteral("(0002) : 359********* - 0"),
            QStringLiteral("(0003) : 359888000003 - 33"), QStringLiteral("(0004) : 359********* - 0"),
            QStringLiteral("(0005) : 359888000005 - 7999")};
}

// `rows` with row `i` replaced.
QStringList with(QStringList rows, int i, const QString &row)
{
    rows[i] = row;
    return rows;
}

// A window holding `rows` with row `row` selected and its fields filled as a
// click on it leaves them.
void select(frmM7_1 &w, int row, const QStringList &rows = table())
{
    w.List1->clear();
    w.List1->addItems(rows);
    w.selIndex = qint16(row);
    w.List1->setCurrentRow(row);
    w.List1_Click();
}

// The questions and refusals of the list update.
Box gsmIncorrect(int answer)
{
    return {QStringLiteral(" DLETE Object ? "), vbYesNo, QStringLiteral("!!! GSM Number is INCORRECT !!!"), answer};
}
Box objectZero(int answer)
{
    return {QStringLiteral(" DLETE GSM Number ? "), vbYesNo, QStringLiteral("Object Number = 0 !!!"), answer};
}
Box duplicate(const char *what, int position)
{
    return {QStringLiteral("Position : %1-(%2)\rDublicate %3 number!")
                .arg(position)
                .arg(position, 4, 10, QLatin1Char('0'))
                .arg(QLatin1String(what)),
            vbOKOnly, QStringLiteral("!!! %1 - ERROR !!!").arg(QLatin1String(what)), vbOK};
}

QByteArray recordsOfList(const frmM7_1 &w)
{
    return files::recordsOf(rowsOf(w));
}
} // namespace

Q_DECLARE_METATYPE(ScriptedBoxes::Box)

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

    // What the update asks or refuses before it commits the fields into the
    // selected row `row` of `rows`: the boxes in order with their answers,
    // then the row committed, which the fields show too. A null GSM or
    // object text leaves that field as the selection filled it.
    void checksTheFieldsBeforeCommitting_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("gsm");
        QTest::addColumn<QString>("object");
        QTest::addColumn<QList<Box>>("boxes");
        QTest::addColumn<QString>("committed");
        const QString keep;
        const QStringList t = table();

        // A GSM number that is not nine characters: Yes deletes the entry, No
        // puts the row's own values back.
        QTest::newRow("shortGsmNumber: deleted")
            << t << 2 << "88800000" << keep << QList<Box>{gsmIncorrect(vbYes)} << "(0003) : 359********* - 0";
        QTest::newRow("shortGsmNumber: kept") << t << 2 << "88800000" << "44" << QList<Box>{gsmIncorrect(vbNo)} << t[2];
        // Object 0 with a GSM number: Yes deletes the entry, No keeps object 0.
        QTest::newRow("objectZero: deleted")
            << t << 0 << keep << "0" << QList<Box>{objectZero(vbYes)} << "(0001) : 359********* - 0";
        QTest::newRow("objectZero: kept")
            << t << 0 << keep << "0" << QList<Box>{objectZero(vbNo)} << "(0001) : 359888000001 - 0";
        // The blank GSM text takes object 0 without a question.
        QTest::newRow("objectZero: blank GSM asks nothing")
            << t << 2 << "*********" << keep << QList<Box>{} << "(0003) : 359********* - 0";
        // A number another row holds is refused with that row's position; the
        // row's own values go back into the fields and are committed.
        QTest::newRow("duplicatesAreRefused: GSM number")
            << t << 0 << "888000003" << keep << QList<Box>{duplicate("GSM", 3)} << t[0];
        QTest::newRow("duplicatesAreRefused: object number")
            << t << 0 << keep << "33" << QList<Box>{duplicate("OBJECT", 3)} << t[0];
        // Both in one update, the GSM search first: the selected row already
        // shares its object number with row 5 (as read from the unit).
        const QStringList shared = with(t, 0, QStringLiteral("(0001) : 359888000001 - 7999"));
        QTest::newRow("duplicatesAreRefused: both, GSM first")
            << shared << 0 << "888000005" << keep
            << QList<Box>{duplicate("GSM", 5), duplicate("OBJECT", 5)} << shared[0];
        // Blank entries never count, nor does the row against itself.
        QTest::newRow("duplicatesAreRefused: blank entry") << t << 1 << keep << keep << QList<Box>{} << t[1];
        QTest::newRow("duplicatesAreRefused: row against itself") << t << 2 << keep << keep << QList<Box>{} << t[2];
    }
    void checksTheFieldsBeforeCommitting()
    {
        QFETCH(QStringList, rows);
        QFETCH(int, row);
        QFETCH(QString, gsm);
        QFETCH(QString, object);
        QFETCH(QList<Box>, boxes);
        QFETCH(QString, committed);
        WindowUnderTest w;
        select(*w, row, rows);
        if (!gsm.isNull())
            w->Text2->setText(gsm);
        if (!object.isNull())
            w->Text3->setText(object);
        {
            ScriptedBoxes script;
            for (const Box &b : boxes)
                script.expect(b);
            w->cmdUpadateList_Click();
            QVERIFY(script.allShown());
        }
        QCOMPARE(rowsOf(*w), with(rows, row, committed));
        const QString row359 = QStringLiteral("(%1) : 359%2 - %3");
        QCOMPARE(row359.arg(w->Text1->text(), w->Text2->text(), w->Text3->text()), committed);
        QCOMPARE(row359.arg(w->Text1->text(), w->selGsm).arg(w->selObject), committed);
        QCOMPARE(contents(QStringLiteral("temp.tfo")), recordsOfList(*w));
    }

    void commitsANewEntryAndKeepsTheFile()
    {
        WindowUnderTest w;
        select(*w, 4);
        w->Text3->setText(QStringLiteral("5"));
        w->cmdUpadateList_Click();
        QCOMPARE(w->List1->item(4)->text(), QStringLiteral("(0005) : 359888000005 - 5"));
        QCOMPARE(w->selObject, qint16(5));
        const QByteArray after = contents(QStringLiteral("temp.tfo"));
        QCOMPARE(after, recordsOfList(*w));
        QVERIFY(after.endsWith("\"(0005)\",\"359888000005\",5\r\n"));

        // A read-only working file: the box after the commit, the list has
        // the row, the file is as it was.
        QVERIFY(QFile::setPermissions(QStringLiteral("temp.tfo"), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        w->Text3->setText(QStringLiteral("6"));
        {
            ScriptedBoxes boxes;
            boxes.expect(QStringLiteral("Permission denied"), vbExclamation, QStringLiteral("tst_listupdate"), vbOK);
            w->cmdUpadateList_Click();
        }
        QCOMPARE(w->List1->item(4)->text(), QStringLiteral("(0005) : 359888000005 - 6"));
        QCOMPARE(contents(QStringLiteral("temp.tfo")), after);
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
        QCOMPARE(contents(QStringLiteral("temp.tfo")), recordsOfList(*w));

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
            boxes.expect(duplicate("GSM", 12));
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
        QCOMPARE(contents(QStringLiteral("temp.tfo")), recordsOfList(*w));
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

        // A selection the list no longer holds (a read left fewer rows):
        // the update checked nothing, so nothing is sent either.
        w->selIndex = qint16(w->List1->count() + 4);
        w->Text1->setText(QStringLiteral("0007"));
        w->Text2->setText(QStringLiteral("88800000"));
        w->Text3->setText(QStringLiteral("0"));
        w->Check1->setChecked(true);
        w->Command3_Click();
        QVERIFY(pty.drain().isEmpty());
        QVERIFY(!w->Check1->isChecked());
        QCOMPARE(w->linkState, LinkState::Ready);
        QCOMPARE(w->opMode, OpMode::Idle);
    }
};

QTEST_MAIN(ListUpdateTest)
#include "tst_listupdate.moc"
