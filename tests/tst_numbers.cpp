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

    // Half-way values round to the even integer; a failure (out of range:
    // 32767.5 rounds to 32768; no number) leaves the target alone.
    void readsInt16WithBankersRounding_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("read");
        QTest::addColumn<int>("value");
        QTest::newRow("2.5 down") << "2.5" << true << 2;
        QTest::newRow("3.5 up") << "3.5" << true << 4;
        QTest::newRow("-2.5 up") << "-2.5" << true << -2;
        QTest::newRow("largest") << "32767" << true << 32767;
        QTest::newRow("smallest") << "-32768" << true << -32768;
        QTest::newRow("-32768.5 to the even -32768") << "-32768.5" << true << -32768;
        QTest::newRow("32767.5 to 32768") << "32767.5" << false << 7;
        QTest::newRow("out of range") << "40000" << false << 7;
        QTest::newRow("no number") << "12a4" << false << 7;
        QTest::newRow("empty") << "" << false << 7;
    }
    void readsInt16WithBankersRounding()
    {
        QFETCH(QString, text);
        QFETCH(bool, read);
        QFETCH(int, value);
        qint16 t = 7;
        QCOMPARE(readInt16(text, t), read);
        QCOMPARE(t, qint16(value));
    }

    // A number, or a text that reads as one, through "0000"; another text as
    // it is.
    void formatsThroughPattern_data()
    {
        QTest::addColumn<QVariant>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("17") << QVariant(17.0) << "0017";
        QTest::newRow("7999") << QVariant(7999.0) << "7999";
        QTest::newRow("five digits") << QVariant(12345.0) << "12345";
        QTest::newRow("zero") << QVariant(0.0) << "0000";
        QTest::newRow("negative") << QVariant(-5.0) << "-0005";
        QTest::newRow("half rounds up") << QVariant(2.5) << "0003";
        QTest::newRow("text of a number") << QVariant(QStringLiteral("17")) << "0017";
        QTest::newRow("other text") << QVariant(QStringLiteral("abc")) << "abc";
        QTest::newRow("empty text") << QVariant(QString()) << "";
    }
    void formatsThroughPattern()
    {
        QFETCH(QVariant, in);
        QFETCH(QString, out);
        QCOMPARE(in.typeId() == QMetaType::Double ? format0000(in.toDouble()) : format0000(in.toString()), out);
    }
};

QTEST_APPLESS_MAIN(NumbersTest)
#include "tst_numbers.moc"
