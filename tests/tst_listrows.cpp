// The list's rows as the context menu reads them: what a Find text asks
// for, the row it finds, and the entries Export writes.

#include "app/listmenu.h"

#include <QTest>

using app::FindQuery;

Q_DECLARE_METATYPE(FindQuery)

namespace {
const QStringList kRows{QStringLiteral("(0001) : 359888000001 - 17"), QStringLiteral("(0002) : 359********* - 0"),
                        QStringLiteral("(0003) : 359888000003 - 18"), QStringLiteral("(0004) : 359888000001 - 7999")};
FindQuery gsm(const char *nine) { return FindQuery{QLatin1String(nine), 0}; }
FindQuery object(int n) { return FindQuery{QString(), n}; }
} // namespace

class ListRowsTest : public QObject {
    Q_OBJECT
private slots:
    // A GSM number in any form m7ctl takes, else an object number 1..7999.
    void findQueryOf_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("found");
        QTest::addColumn<FindQuery>("query");
        QTest::newRow("GSM as people write it") << "+359 888 123 456" << true << gsm("888123456");
        QTest::newRow("GSM with a leading 0") << "0888123456" << true << gsm("888123456");
        QTest::newRow("nine digits are a GSM number") << "000000017" << true << gsm("000000017");
        QTest::newRow("object") << "4321" << true << object(4321);
        QTest::newRow("object with blanks") << " 17 " << true << object(17);
        QTest::newRow("highest object") << "7999" << true << object(7999);
        QTest::newRow("object too high") << "8000" << false << FindQuery();
        QTest::newRow("object 0") << "0" << false << FindQuery();
        QTest::newRow("blank GSM") << "359*********" << false << FindQuery();
        QTest::newRow("letters") << "12ab" << false << FindQuery();
        QTest::newRow("empty") << "" << false << FindQuery();
    }
    void findQueryOf()
    {
        QFETCH(QString, text);
        QFETCH(bool, found);
        QFETCH(FindQuery, query);
        const std::optional<FindQuery> q = app::findQueryOf(text);
        QCOMPARE(q.has_value(), found);
        if (found) {
            QCOMPARE(q->gsm, query.gsm);
            QCOMPARE(q->object, query.object);
        }
    }

    // The first row after the current one that holds it, round past the end.
    void findRow_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<FindQuery>("query");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("row");
        QTest::newRow("no current row: from the top") << kRows << gsm("888000001") << -1 << 0;
        QTest::newRow("after the current row") << kRows << gsm("888000001") << 0 << 3;
        QTest::newRow("round past the end") << kRows << gsm("888000001") << 3 << 0;
        QTest::newRow("the current row itself, last") << kRows << object(18) << 2 << 2;
        QTest::newRow("object of four digits") << kRows << object(7999) << 1 << 3;
        QTest::newRow("the GSM number only, not the object") << kRows << gsm("888000003") << -1 << 2;
        QTest::newRow("nobody has it") << kRows << object(19) << 0 << -1;
        QTest::newRow("empty list") << QStringList() << object(17) << -1 << -1;
    }
    void findRow()
    {
        QFETCH(QStringList, rows);
        QFETCH(FindQuery, query);
        QFETCH(int, current);
        QFETCH(int, row);
        QCOMPARE(app::findRow(rows, query, current), row);
    }

    // A GSM stretch with an asterisk anywhere is a blank entry.
    void tableOfRows()
    {
        const table::Table t = app::tableOfRows(kRows + QStringList{QStringLiteral("(0005) : 3598881*3456 - 5")});
        QCOMPARE(t, (table::Table{{QStringLiteral("888000001"), 17}, table::Entry{}, {QStringLiteral("888000003"), 18},
                                  {QStringLiteral("888000001"), 7999}, table::Entry{}}));
        QCOMPARE(app::tableOfRows({}), table::Table());
    }
};

QTEST_APPLESS_MAIN(ListRowsTest)
#include "tst_listrows.moc"
