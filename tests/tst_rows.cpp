// Entry rows: building them and cutting their fields at fixed columns.

#include "table/rows.h"

#include <QTest>

using namespace table;

class RowsTest : public QObject {
    Q_OBJECT
private slots:
    void buildsRowsAtFixedColumns()
    {
        const QString r = makeRow(1, QStringLiteral("888123456"), 17);
        QCOMPARE(r, QStringLiteral("(0001) : 359888123456 - 17"));
        QCOMPARE(r.size(), 26);
        QCOMPARE(makeRow(5, QStringLiteral("888123456"), 7999).size(), 28);
        QCOMPARE(makeRow(5, QStringLiteral("888123456"), 5).size(), 25);
        QCOMPARE(blankRow(12), QStringLiteral("(0012) : 359********* - 0"));
        QCOMPARE(makeRow(10, QStringLiteral("888123456"), 1).left(12), QStringLiteral("(0010) : 359"));
        // Positions past four digits and GSM texts of other lengths go in as they come.
        QCOMPARE(makeRow(10000, QStringLiteral("12"), -5), QStringLiteral("(10000) : 35912 - -5"));
        // From the position field: a number is padded, other text kept.
        QCOMPARE(makeRow(QStringLiteral("12"), QStringLiteral("888123456"), 17),
                 QStringLiteral("(0012) : 359888123456 - 17"));
        QCOMPARE(rowPrefix(QStringLiteral("ab")), QStringLiteral("(ab) : 359"));
    }

    void cutsFieldsAndShortRows()
    {
        const QString r = makeRow(5, QStringLiteral("888123456"), 7999);
        QCOMPARE(cutPositionDigits(r), QStringLiteral("0005"));
        QCOMPARE(cutPosition(r), QStringLiteral("(0005)"));
        QCOMPARE(cutPrefixedGsm(r), QStringLiteral("359888123456"));
        QCOMPARE(cutGsm(r), QStringLiteral("888123456"));
        QCOMPARE(cutObject(r), QStringLiteral("7999"));
        QCOMPARE(cutObject(makeRow(5, QStringLiteral("888123456"), 5)), QStringLiteral("5"));
        // A cut stops at the row's end; one that starts behind it is empty.
        QCOMPARE(cutGsm(QStringLiteral("(0005) : 35988")), QStringLiteral("88"));
        QVERIFY(cutObject(QStringLiteral("(0005) : 35988")).isEmpty());
        QVERIFY(cutPositionDigits(QString()).isEmpty());
        // Nothing behind column 28 is part of the object number.
        QCOMPARE(cutObject(QStringLiteral("(0005) : 359888123456 - 123456")), QStringLiteral("1234"));
    }
};

QTEST_APPLESS_MAIN(RowsTest)
#include "tst_rows.moc"
