// Reading a text as a number and as a 16-bit integer, and the "0000" pattern.

#include "table/numbers.h"

#include <QTest>

using namespace table;

class NumbersTest : public QObject {
    Q_OBJECT
private slots:
    void readsTheAcceptedSet_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("numeric");
        QTest::addColumn<double>("value");
        QTest::newRow("digits") << "17" << true << 17.0;
        QTest::newRow("leading zeros") << "0017" << true << 17.0;
        QTest::newRow("signs") << "-5" << true << -5.0;
        QTest::newRow("plus") << "+5" << true << 5.0;
        QTest::newRow("blanks around") << "  42\t" << true << 42.0;
        QTest::newRow("point") << "1.5" << true << 1.5;
        QTest::newRow("leading point") << ".5" << true << 0.5;
        QTest::newRow("trailing point") << "5." << true << 5.0;
        QTest::newRow("many digits") << "00000000000000000000000000000000017.25" << true << 17.25;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("blanks only") << "   " << false << 0.0;
        QTest::newRow("letter") << "88812345a" << false << 0.0;
        QTest::newRow("asterisks") << "*********" << false << 0.0;
        QTest::newRow("one asterisk") << "8881*3456" << false << 0.0;
        QTest::newRow("two points") << "1.2.3" << false << 0.0;
        QTest::newRow("sign only") << "-" << false << 0.0;
        QTest::newRow("point only") << "." << false << 0.0;
        QTest::newRow("exponent") << "1e3" << false << 0.0;
        QTest::newRow("signed exponent") << "25E-1" << false << 0.0;
        QTest::newRow("e in a GSM number") << "8881234e5" << false << 0.0;
        QTest::newRow("inner blank") << "12 34" << false << 0.0;
        QTest::newRow("hex") << "0x1F" << false << 0.0;
        QTest::newRow("separator") << "1,000" << false << 0.0;
        QTest::newRow("overflow") << QString(400, QLatin1Char('9')) << false << 0.0;
        QTest::newRow("comma decimal") << "3,5" << false << 0.0;
    }
    void readsTheAcceptedSet()
    {
        QFETCH(QString, text);
        QFETCH(bool, numeric);
        QFETCH(double, value);
        const std::optional<double> v = readNumber(text);
        QCOMPARE(v.has_value(), numeric);
        if (numeric)
            QCOMPARE(*v, value);
    }

    void readsInt16WithBankersRounding()
    {
        qint16 t = 99;
        QVERIFY(readInt16(QStringLiteral("2.5"), t));
        QCOMPARE(t, qint16(2));
        QVERIFY(readInt16(QStringLiteral("3.5"), t));
        QCOMPARE(t, qint16(4));
        QVERIFY(readInt16(QStringLiteral("-2.5"), t));
        QCOMPARE(t, qint16(-2));
        QVERIFY(readInt16(QStringLiteral("32767"), t));
        QCOMPARE(t, qint16(32767));
        QVERIFY(readInt16(QStringLiteral("-32768"), t));
        QCOMPARE(t, qint16(-32768));
        // -32768.5 rounds to the even -32768, 32767.5 to 32768, which fails.
        QVERIFY(readInt16(QStringLiteral("-32768.5"), t));
        QCOMPARE(t, qint16(-32768));
        t = 7;
        QVERIFY(!readInt16(QStringLiteral("32767.5"), t));
        QVERIFY(!readInt16(QStringLiteral("40000"), t));
        QVERIFY(!readInt16(QStringLiteral("12a4"), t));
        QVERIFY(!readInt16(QString(), t));
        QCOMPARE(t, qint16(7)); // failures leave the target alone
    }

    void formatsThroughPattern()
    {
        QCOMPARE(format0000(17.0), QStringLiteral("0017"));
        QCOMPARE(format0000(7999.0), QStringLiteral("7999"));
        QCOMPARE(format0000(12345.0), QStringLiteral("12345"));
        QCOMPARE(format0000(0.0), QStringLiteral("0000"));
        QCOMPARE(format0000(-5.0), QStringLiteral("-0005"));
        QCOMPARE(format0000(2.5), QStringLiteral("0003"));
        QCOMPARE(format0000(QStringLiteral("17")), QStringLiteral("0017"));
        QCOMPARE(format0000(QStringLiteral("abc")), QStringLiteral("abc"));
        QCOMPARE(format0000(QString()), QString());
    }
};

QTEST_APPLESS_MAIN(NumbersTest)
#include "tst_numbers.moc"
