// Table files: the window's records and spreadsheet tables, read with every
// fault named by its line, and written back.

#include "files/tablefile.h"
#include "tablefile_harness.h"

#include <QDirIterator>
#include <QTest>

using files::Format;

namespace {
QStringList entriesOf(const files::TableFile &f)
{
    QStringList out;
    for (const files::FileEntry &e : f.entries)
        out.append(QStringLiteral("%1 %2 %3 @%4").arg(e.position).arg(e.entry.gsm).arg(e.entry.object).arg(e.line));
    return out;
}

QStringList problemsOf(const files::TableFile &f)
{
    QStringList out;
    for (const files::Problem &p : f.problems)
        out.append(QStringLiteral("%1: %2").arg(p.line).arg(p.what));
    return out;
}
} // namespace

class TableFileTest : public QObject {
    Q_OBJECT
private slots:
    void formatFromName_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("format"); // -1: none
        QTest::newRow("onf") << "backup.onf" << int(Format::Onf);
        QTest::newRow("tfo, capitals") << "/tmp/TEMP.TFO" << int(Format::Onf);
        QTest::newRow("csv in a dotted folder") << "a.onf/unit 3.Csv" << int(Format::Csv);
        QTest::newRow("other suffix") << "table.csv.bak" << -1;
        QTest::newRow("no suffix") << "csv" << -1;
    }
    void formatFromName()
    {
        QFETCH(QString, path);
        QFETCH(int, format);
        const std::optional<Format> f = files::formatFromName(path);
        QCOMPARE(f ? int(*f) : -1, format);
    }

    void normaliseGsm_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("gsm"); // "-": not a GSM number
        QTest::newRow("nine digits") << "888123456" << "888123456";
        QTest::newRow("trunk zero") << "0888 123 456" << "888123456";
        QTest::newRow("country code") << "359888123456" << "888123456";
        QTest::newRow("plus, blanks") << "+359 888 123 456" << "888123456";
        QTest::newRow("double zero, dashes") << "00359-888-123-456" << "888123456";
        QTest::newRow("parentheses, dots, no-break space") << "(359) 888.123\u00a0456" << "888123456";
        QTest::newRow("nine digits from zero") << "012345678" << "012345678";
        QTest::newRow("empty") << "  " << "*********";
        QTest::newRow("asterisks") << "*********" << "*********";
        QTest::newRow("asterisks behind 359") << "359*********" << "*********";
        QTest::newRow("eight digits") << "88812345" << "-";
        QTest::newRow("ten digits, no zero") << "1888123456" << "-";
        QTest::newRow("twelve digits, other country") << "358888123456" << "-";
        QTest::newRow("plus without country") << "+888123456" << "-";
        QTest::newRow("plus, trunk zero") << "+0888123456" << "-";
        QTest::newRow("spreadsheet exponent") << "3.59888E+11" << "-";
        QTest::newRow("some asterisks") << "8881*3456" << "-";
        QTest::newRow("other digits") << "８８８１２３４５６" << "-";
    }
    void normaliseGsm()
    {
        QFETCH(QString, text);
        QFETCH(QString, gsm);
        QCOMPARE(files::normaliseGsm(text).value_or(QStringLiteral("-")), gsm);
    }

    void parse_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("problems");

        QTest::newRow("window records")
            << int(Format::Onf) << QByteArray("\"(0001)\",\"359888123456\",17\r\n\"(0002)\",\"359*********\",0\r\n")
            << QStringList{"1 888123456 17 @1", "2 ********* 0 @2"} << QStringList();
        QTest::newRow("records: LF, an empty line, no last line end, an asterisk anywhere")
            << int(Format::Onf) << QByteArray("\"(12)\",\"359888123456\",17\n\n\"(0013)\",\"3598881*3456\",0")
            << QStringList{"12 888123456 17 @1", "13 ********* 0 @3"} << QStringList();
        QTest::newRow("faulty records")
            << int(Format::Onf)
            << QByteArray("\"(0001)\",\"359888123456\",17\r\n"
                          "\"(0000)\",\"359888123457\",18\r\n"
                          "garbage\r\n"
                          "\"(0003)\",\"35988812345\",8000\r\n"
                          "\"(0001)\",\"359888123458\",0\r\n"
                          "\"(0004)\",\"359*********\",5\r\n"
                          "\"(0005)\",\"359888123459\",\r\n"
                          "\"(1O)\",\"359888123459\",-3\r\n"
                          "\"(0009)\",\"\",0\r\n"
                          "\"(0010)\",\"359*********\",\r\n")
            << QStringList{"1 888123456 17 @1"}
            << QStringList{"2: position \"0000\" is not a whole number from 1 to 9999",
                           "3: not a record like \"(0001)\",\"359888123456\",17",
                           "4: GSM number \"35988812345\" is not nine digits",
                           "4: object number 8000 is outside 1..7999",
                           "5: position 1 also on line 1",
                           "5: object number 0 is outside 1..7999",
                           "6: object number 5 with a blank GSM number (a blank slot has object 0)",
                           "7: the object number is missing",
                           "8: position \"1O\" is not a whole number from 1 to 9999",
                           "8: object number -3 is outside 1..7999",
                           "9: GSM number \"\" is not nine digits",
                           "10: the object number is missing"};

        QTest::newRow("spreadsheet as written")
            << int(Format::Csv) << QByteArray("position,gsm,object\r\n1,888123456,17\r\n2,,0\r\n")
            << QStringList{"1 888123456 17 @2", "2 ********* 0 @3"} << QStringList();
        QTest::newRow("spreadsheet: BOM, semicolons, columns by name, quotes, empty rows")
            << int(Format::Csv)
            << QByteArray("\xef\xbb\xbfObject;Resident;GSM;Position\r\n"
                          "17;\"Ivanov; flat 3\";+359 888 123 456;1\r\n"
                          "18;\"Georgieva \"\"Mimi\"\"\";0888 123 457;2\r\n"
                          ";;;\r\n"
                          "0;;;3\r\n"
                          " 19 ;Petrov;\"00359-888-123-458\";004\r\n"
                          "20;\"two\r\nlines\";(359) 888.123.459;5\r\n"
                          "21;x;888123460;6\r\n"
                          ";;;\r\n;;;\r\n")
            << QStringList{"1 888123456 17 @2", "2 888123457 18 @3", "3 ********* 0 @5",
                           "4 888123458 19 @6", "5 888123459 20 @7", "6 888123460 21 @9"}
            << QStringList();
        QTest::newRow("spreadsheet: tabs, LF, header in other case")
            << int(Format::Csv) << QByteArray(" Position \tGSM\tOBJECT\n1\t888123456\t17\n2\t*********\t\n")
            << QStringList{"1 888123456 17 @2", "2 ********* 0 @3"} << QStringList();
        QTest::newRow("faulty rows")
            << int(Format::Csv)
            << QByteArray("position,gsm,object\n"
                          "1,3.59888E+11,17\n"
                          "2,888123456,\n"
                          "x,888123457,5\n"
                          "10000,888123458,6\n"
                          "1,888123459,7\n"
                          ",888123461,8\n"
                          "4,888123462,0\n"
                          "5,,9\n"
                          "6,1234,x\n"
                          "7,888123463,8\n"
                          "8,\"888123460\n")
            << QStringList{"7 888123463 8 @11"}
            << QStringList{"2: GSM number \"3.59888E+11\" is not nine digits",
                           "3: the object number is missing",
                           "4: position \"x\" is not a whole number from 1 to 9999",
                           "5: position \"10000\" is not a whole number from 1 to 9999",
                           "6: position 1 also on line 2",
                           "7: the position is missing",
                           "8: object number 0 is outside 1..7999",
                           "9: object number 9 with a blank GSM number (a blank slot has object 0)",
                           "10: GSM number \"1234\" is not nine digits",
                           "10: object number \"x\" is not a whole number",
                           "12: a quotation mark opened on this line is never closed"};
        QTest::newRow("empty spreadsheet") << int(Format::Csv) << QByteArray("\xef\xbb\xbf\r\n") << QStringList()
                                           << QStringList{"0: the file is empty: no header line position,gsm,object"};
        QTest::newRow("header after an empty row, one column missing")
            << int(Format::Csv) << QByteArray("\n;;\nposition;gsm;objekt\n1;888123456;17\n") << QStringList()
            << QStringList{"3: the header line lacks the column object"};
        QTest::newRow("no header") << int(Format::Csv) << QByteArray("1,888123456,17\n") << QStringList()
                                   << QStringList{"1: the header line lacks the columns position, gsm and object"};
        QTest::newRow("a column twice: the first one counts")
            << int(Format::Csv) << QByteArray("gsm,position,object,GSM\n888123456,1,17,877000111\n")
            << QStringList{"1 888123456 17 @2"} << QStringList{"1: column gsm stands twice in the header line"};
    }
    void parse()
    {
        QFETCH(int, format);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, entries);
        QFETCH(QStringList, problems);
        const files::TableFile f = files::parseTable(bytes, Format(format));
        QCOMPARE(problemsOf(f), problems);
        QCOMPARE(entriesOf(f), entries);
    }

    void write()
    {
        const table::Table t{{QStringLiteral("888123456"), 17}, {}, {QStringLiteral("877000111"), 7999}};
        QCOMPARE(files::onfOf(t), QByteArray("\"(0001)\",\"359888123456\",17\r\n"
                                             "\"(0002)\",\"359*********\",0\r\n"
                                             "\"(0003)\",\"359877000111\",7999\r\n"));
        QCOMPARE(files::csvOf(t), QByteArray("position,gsm,object\r\n1,888123456,17\r\n2,,0\r\n3,877000111,7999\r\n"));
        QCOMPARE(entriesOf(files::parseTable(files::csvOf(t), Format::Csv)),
                 (QStringList{"1 888123456 17 @2", "2 ********* 0 @3", "3 877000111 7999 @4"}));
        QVERIFY(files::onfOf({}).isEmpty());
        QCOMPARE(files::csvOf({}), QByteArray("position,gsm,object\r\n"));
        // What a faulty unit might hold stays one field.
        QCOMPARE(files::csvOf({{QStringLiteral("88,\"1\r\n"), 5}}),
                 QByteArray("position,gsm,object\r\n1,\"88,\"\"1\r\n\",5\r\n"));
    }

    // The fuzz target's seeds and every input it ever found failing.
    void fuzzInputs()
    {
        int inputs = 0;
        for (const char *folder : {"seeds-tablefile", "regressions-tablefile"}) {
            QDirIterator it(QStringLiteral(M7_FUZZ_DIR "/") + QLatin1String(folder), QDir::Files);
            while (it.hasNext()) {
                QFile f(it.next());
                QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(f.fileName()));
                const QByteArray in = f.readAll();
                const QString bad =
                    fuzzing::runTableFileInput(reinterpret_cast<const uint8_t *>(in.constData()), size_t(in.size()));
                QVERIFY2(bad.isEmpty(), qPrintable(f.fileName() + QLatin1String(": ") + bad));
                ++inputs;
            }
        }
        QVERIFY(inputs >= 7);
    }
};

QTEST_MAIN(TableFileTest)
#include "tst_tablefile.moc"
