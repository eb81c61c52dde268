// Table files: the window's records and spreadsheet tables, read with every
// fault named by its line, and written back.

#include "files/tablefile.h"
#include "table/numbers.h"
#include "tablefile_harness.h"

#include <QDirIterator>
#include <QStringEncoder>
#include <QTest>

using files::Format;

namespace {
// The problems, then the entries, of a file read.
QStringList read(const QByteArray &bytes, Format format)
{
    const files::TableFile f = files::parseTable(bytes, format);
    QStringList out;
    for (const table::Problem &p : f.problems)
        out.append(QStringLiteral("%1: %2").arg(p.line).arg(p.what));
    for (const table::FileEntry &e : f.entries)
        out.append(QStringLiteral("%1 %2 %3 @%4").arg(e.position).arg(e.entry.gsm).arg(e.entry.object).arg(e.line));
    return out;
}
} // namespace

class TableFileTest : public QObject {
    Q_OBJECT
private slots:
    // The format a file name says, by its last suffix in any case.
    void formatFromName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("format"); // -1: none
        QTest::newRow("working file") << "/tmp/TEMP.TFO" << int(Format::Onf);
        QTest::newRow("objects file in a csv folder") << "a.csv/backup.onf" << int(Format::Onf);
        QTest::newRow("mixed case") << "a.onf/unit 3.Csv" << int(Format::Csv);
        QTest::newRow("another last suffix") << "table.csv.bak" << -1;
        QTest::newRow("no suffix") << "csv" << -1;
    }
    void formatFromName()
    {
        QFETCH(QString, name);
        QFETCH(int, format);
        QCOMPARE(int(files::formatFromName(name).value_or(Format(-1))), format);
    }

    // GSM numbers as people write them, to the nine digits the unit holds.
    void normaliseGsm_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("gsm"); // empty: not a GSM number
        const char *const cases[][2] = {
            {"888123456", "888123456"}, {"0888 123 457", "888123457"}, {"359888123458", "888123458"},
            {"+359 888 123 459", "888123459"}, {"00359-888-123-450", "888123450"}, {"012345678", "012345678"},
            {"(359) 888.123\u00a0451", "888123451"}, {" ", "*********"}, {"359*********", "*********"},
            {"88812345", ""}, {"1888123456", ""}, {"358888123456", ""}, {"+888123456", ""}, {"+0888123456", ""},
            {"3.59888E+11", ""}, {"8881*3456", ""}, {"８８８１２３４５６", ""}};
        for (const auto &c : cases)
            QTest::newRow(c[0]) << QString::fromUtf8(c[0]) << QString::fromUtf8(c[1]);
    }
    void normaliseGsm()
    {
        QFETCH(QString, text);
        QFETCH(QString, gsm);
        QCOMPARE(table::normaliseGsm(text).value_or(QString()), gsm);
    }

    void parse_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("read");

        QTest::newRow("records: LF, an empty line, no last line end, an asterisk anywhere")
            << int(Format::Onf) << QByteArray("\"(12)\",\"359888123456\",17\n\n\"(0013)\",\"3598881*3456\",0")
            << QStringList{"12 888123456 17 @1", "13 ********* 0 @3"};
        QTest::newRow("faulty records")
            << int(Format::Onf)
            << QByteArray("\"(0001)\",\"359888123456\",17\r\n\"(0000)\",\"359888123457\",18\r\ngarbage\r\n"
                          "\"(0003)\",\"35988812345\",8000\r\n\"(0001)\",\"359888123458\",0\r\n"
                          "\"(0004)\",\"359*********\",5\r\n\"(0005)\",\"359888123459\",\r\n"
                          "\"(1O)\",\"359888123459\",-3\r\n\"(0009)\",\"\",0\r\n\"(0010)\",\"359*********\",\r\n")
            << QStringList{"2: position \"0000\" is not a whole number from 1 to 9999",
                           "3: not a record like \"(0001)\",\"359888123456\",17 or a row like (0001) : 359888123456 - 17",
                           "4: GSM number \"35988812345\" is not nine digits",
                           "4: object number 8000 is outside 1..7999",
                           "5: position 1 also on line 1", "5: object number 0 is outside 1..7999",
                           "6: object number 5 with a blank GSM number (a blank slot has object 0)",
                           "7: the object number is missing",
                           "8: position \"1O\" is not a whole number from 1 to 9999",
                           "8: object number -3 is outside 1..7999", "9: GSM number \"\" is not nine digits",
                           "10: the object number is missing", "1 888123456 17 @1"};
        QTest::newRow("spreadsheet: BOM, semicolons, columns by name, quotes, empty rows")
            << int(Format::Csv)
            << QByteArray("\xef\xbb\xbfObject;Resident;GSM;Position\r\n17;\"Ivanov; flat 3\";+359 888 123 456;1\r\n"
                          "18;\"G. \"\"Mimi\"\"\";0888 123 457;2\r\n;;;\r\n0;;;3\r\n 19 ;x;\"888123458\";004\r\n"
                          "20;\"two\r\nlines\";888123459;5\r\n21;x;888123460;6\r\n;;;\r\n;;;\r\n")
            << QStringList{"1 888123456 17 @2", "2 888123457 18 @3", "3 ********* 0 @5",
                           "4 888123458 19 @6", "5 888123459 20 @7", "6 888123460 21 @9"};
        QTest::newRow("spreadsheet: tabs, LF, header in other case")
            << int(Format::Csv) << QByteArray(" Position \tGSM\tOBJECT\n1\t888123456\t17\n2\t*********\t\n")
            << QStringList{"1 888123456 17 @2", "2 ********* 0 @3"};
        QTest::newRow("faulty rows")
            << int(Format::Csv)
            << QByteArray("position,gsm,object\n1,3.59888E+11,17\n2,888123456,\nx,888123457,5\n10000,888123458,6\n"
                          "1,888123459,7\n,888123461,8\n4,888123462,0\n5,,9\n6,1234,x\n7,888123463,8\n8,\"8881\n")
            << QStringList{"2: GSM number \"3.59888E+11\" is not nine digits (the spreadsheet shortened it: format the column as text)", "3: the object number is missing",
                           "4: position \"x\" is not a whole number from 1 to 9999",
                           "5: position \"10000\" is not a whole number from 1 to 9999",
                           "6: position 1 also on line 2", "7: the position is missing",
                           "8: object number 0 is outside 1..7999",
                           "9: object number 9 with a blank GSM number (a blank slot has object 0)",
                           "10: GSM number \"1234\" is not nine digits",
                           "10: object number \"x\" is not a whole number",
                           "12: a quotation mark opened on this line is never closed", "7 888123463 8 @11"};
        QTest::newRow("empty spreadsheet") << int(Format::Csv) << QByteArray("\xef\xbb\xbf\r\n")
                                           << QStringList{"0: the file is empty: no header line position,gsm,object"};
        QTest::newRow("header after an empty row, one column missing")
            << int(Format::Csv) << QByteArray("\n;;\nposition;gsm;objekt\n1;888123456;17\n")
            << QStringList{QString::fromUtf8("3: the header line lacks the column object: found \"position | gsm | objekt\"; looked for position (позиция), gsm (gsm number, gsm номер, телефон) and object (обект) in any case")};
        QTest::newRow("no header: rows of position, gsm, object")
            << int(Format::Csv) << QByteArray("\n1;888123456;17;x\n2;;\n") << QStringList{"1 888123456 17 @2", "2 ********* 0 @3"};
        QTest::newRow("rows as the window shows them, CR line ends")
            << int(Format::Onf) << QByteArray("(0001) : 359888123456 - 17\r(0002) : 359********* - 0\r")
            << QStringList{"1 888123456 17 @1", "2 ********* 0 @2"};
        QTest::newRow("UTF-16 BE, Bulgarian header, Excel's leading zeros")
            << int(Format::Csv)
            << QByteArray("\xFE\xFF") + QByteArray(QStringEncoder(QStringConverter::Utf16BE)(QString::fromUtf8(
                   "Позиция\tGsm\tобект\n1\t'0888123450\t7\n2\t=\"0888123460\"\t8")))
            << QStringList{"1 888123450 7 @2", "2 888123460 8 @3"};
        QTest::newRow("separators tied: the first one counts") << int(Format::Csv) << QByteArray("position,gsm;object\n")
                                                              << QStringList{QString::fromUtf8("1: the header line lacks the columns gsm and object: found \"position | gsm;object\"; looked for position (позиция), gsm (gsm number, gsm номер, телефон) and object (обект) in any case")};
        QTest::newRow("a column twice: the first one counts")
            << int(Format::Csv) << QByteArray("gsm,position,object,GSM\n888123456,1,17,877000111\n")
            << QStringList{"1: column gsm stands twice in the header line", "1 888123456 17 @2"};
    }
    void parse()
    {
        QFETCH(int, format);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, read);
        QCOMPARE(::read(bytes, Format(format)), read);
    }

    // A name that does not say the format leaves it to the content.
    void formatFromContent()
    {
        QCOMPARE(files::formatFromContent("\r\n  \"(0001)\",\"359888123456\",17\r\n"), Format::Onf);
        QCOMPARE(files::formatFromContent("\n(0001) : 359888123456 - 17\n"), Format::Onf);
        QCOMPARE(files::formatFromContent("\xEF\xBB\xBFposition;gsm;object\r\n"), Format::Csv);
        QCOMPARE(files::formatFromContent("1,888123456,17\n"), Format::Csv);
    }

    void write()
    {
        const table::Table t{{QStringLiteral("888123456"), 17}, {}, {QStringLiteral("877000111"), 7999}};
        QCOMPARE(files::onfOf(t), QByteArray("\"(0001)\",\"359888123456\",17\r\n\"(0002)\",\"359*********\",0\r\n"
                                             "\"(0003)\",\"359877000111\",7999\r\n"));
        QCOMPARE(files::csvOf(t), QByteArray("position,gsm,object\r\n1,888123456,17\r\n2,,0\r\n3,877000111,7999\r\n"));
        QVERIFY(files::onfOf({}).isEmpty());
        // What a faulty unit might hold stays one field.
        QCOMPARE(files::csvOf({{QStringLiteral("88,\"1\r\n"), 5}}),
                 QByteArray("position,gsm,object\r\n1,\"88,\"\"1\r\n\",5\r\n"));
    }

    // The fuzz target's seeds and every input it ever found failing.
    void fuzzInputs()
    {
        int inputs = 0;
        for (const char *folder : {"/seeds-tablefile", "/regressions-tablefile"}) {
            QDirIterator it(QLatin1String(M7_FUZZ_DIR) + QLatin1String(folder), QDir::Files);
            for (; it.hasNext(); ++inputs) {
                QFile f(it.next());
                QVERIFY(f.open(QIODevice::ReadOnly));
                const QByteArray in = f.readAll();
                const QString bad =
                    fuzzing::runTableFileInput(reinterpret_cast<const uint8_t *>(in.data()), size_t(in.size()));
                QVERIFY2(bad.isEmpty(), qPrintable(f.fileName() + QLatin1String(": ") + bad));
            }
        }
        QVERIFY(inputs >= 7);
    }
};

QTEST_APPLESS_MAIN(TableFileTest)
#include "tst_tablefile.moc"
