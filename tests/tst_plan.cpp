// Whole-table jobs: the table that results from a file, what stands against
// writing it, and the order of the writes, sent write by write to a table
// as a unit would take them.

#include "table/plan.h"

#include <QRandomGenerator>
#include <QSet>
#include <QTest>

#include <algorithm>

using namespace table;

namespace {
QString gsmNo(int k) { return QStringLiteral("888%1").arg(k, 6, 10, QLatin1Char('0')); }

// A table in short: "a1 . c3" is GSM number a with object 1, a blank slot,
// GSM number c with object 3.
Entry entryOf(const QString &s)
{
    return s == QLatin1String(".") ? Entry() : Entry{gsmNo(s[0].unicode() - 'a'), qint16(s.mid(1).toInt())};
}
Table tableOf(const QString &text)
{
    Table t;
    for (const QString &s : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        t.append(entryOf(s));
    return t;
}

// How many positions hold each number ("g" GSM, "o" object), blanks and 0 left out.
QHash<QString, int> holders(const Table &t)
{
    QHash<QString, int> n;
    for (const Entry &e : t) {
        n[QLatin1Char('g') + e.gsm] += e.gsm != blankGsm();
        n[QLatin1Char('o') + QString::number(e.object)] += e.object != 0;
    }
    return n;
}

// Sends the writes one by one to a unit holding `unit`, and says what is
// wrong, or nothing: after every write a number stands at no more positions
// than before the run (one at the most when it stood at one or none); a
// blank write comes only when no position still to change could take its
// entry without another position holding one of its numbers; every changed
// position gets its entry once and nothing else is written; the unit ends
// holding the result.
QString send(const Table &unit, const Table &result, const Plan &plan)
{
    const QHash<QString, int> before = holders(unit);
    Table now = unit;
    QSet<int> done;
    for (int k = 0; k < plan.writes.size(); ++k) {
        const Write &w = plan.writes[k];
        const int i = w.position - 1;
        const QString at = QStringLiteral("write %1 to %2: ").arg(k + 1).arg(w.position);
        if (i < 0 || i >= now.size() || unit[i] == result[i] || done.contains(i))
            return at + QLatin1String("not a position to write");
        if (w.blankFirst) {
            if (!w.entry.isBlank() || now[i].isBlank())
                return at + QLatin1String("a blank write that frees nothing");
            for (int j = 0; j < now.size(); ++j) {
                Table t = now;
                t[j] = result[j];
                const QHash<QString, int> h = holders(t);
                if (unit[j] != result[j] && !done.contains(j) && h.value(QLatin1Char('g') + result[j].gsm) < 2 &&
                    h.value(QLatin1Char('o') + QString::number(result[j].object)) < 2)
                    return at + QStringLiteral("blanks while %1 could be written").arg(j + 1);
            }
        } else if (w.entry != result[i]) {
            return at + QLatin1String("not the entry of the result");
        } else {
            done.insert(i);
        }
        now[i] = w.entry;
        const QHash<QString, int> after = holders(now);
        for (auto it = after.cbegin(); it != after.cend(); ++it)
            if (*it > qMax(1, before.value(it.key())))
                return at + it.key().mid(1) + QLatin1String(" now stands at two positions");
    }
    if (now != result || done.size() != table::differences(unit, result).size())
        return QStringLiteral("the unit does not end as the result");
    return QString();
}

// A unit with a few numbers held twice, and a result that passes its
// entries round, swaps objects, blanks some and brings new ones: no number
// in the result at more positions than in the unit.
void randomTables(QRandomGenerator &rng, Table &unit, Table &result)
{
    const int n = 1 + rng.bounded(30);
    unit = Table(n);
    for (Entry &e : unit)
        if (rng.bounded(5) != 0)
            e = Entry{gsmNo(rng.bounded(3 * n)), qint16(1 + rng.bounded(3 * n))};
    result = unit;
    std::shuffle(result.begin(), result.end(), rng);
    for (int i = 0; i < n; ++i) {
        const int r = rng.bounded(8), j = rng.bounded(n);
        if (r == 0)
            result[i] = Entry();
        else if (r == 1)
            result[i] = Entry{gsmNo(1000 + i), qint16(1000 + i)};
        else if (r < 4 && !result[i].isBlank() && !result[j].isBlank())
            std::swap(result[i].object, result[j].object);
    }
}
} // namespace

class PlanTest : public QObject {
    Q_OBJECT
private slots:
    void differences()
    {
        const QList<Difference> d = table::differences(tableOf("a1 b2 c3 ."), tableOf("a1 . c4 d5"));
        QCOMPARE(d.size(), 3);
        QVERIFY(d[0].position == 2 && d[0].unit == entryOf("b2") && d[0].file.isBlank());
        QVERIFY(d[2].position == 4 && d[2].unit.isBlank() && d[2].file == entryOf("d5"));
    }

    void resultAndCheck_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("entries"); // "1:b9@5": position 1 set to b9 on line 5
        QTest::addColumn<bool>("prune");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QStringList>("problems");

        QTest::newRow("over the unit") << "a1 b2 c3 ." << "3:d4@2 1:.@9" << false << ". b2 d4 ." << QStringList();
        QTest::newRow("pruned") << "a1 b2 c3" << "2:c3@1" << true << ". c3 ." << QStringList();
        QTest::newRow("outside the unit")
            << "a1 b2" << "3:c3@4 0:d4@6" << false << "a1 b2"
            << QStringList{"4: position 3 is outside the unit's slots 1..2",
                           "6: position 0 is outside the unit's slots 1..2"};
        QTest::newRow("a GSM number the unit keeps")
            << "a1 b2 c3" << "1:b9@5" << false << "b9 b2 c3"
            << QStringList{"5: GSM number 888000001 at position 1 (line 5) and at position 2 (on the unit)"};
        QTest::newRow("an object number twice in the file")
            << "a1 b5 c3" << "3:e2@4 1:d2@3" << false << "d2 b5 e2"
            << QStringList{"4: object number 2 at position 1 (line 3) and at position 3 (line 4)"};
        QTest::newRow("the unit's own")
            << "a1 a1" << "" << false << "a1 a1"
            << QStringList{"0: GSM number 888000000 at position 1 (on the unit) and at position 2 (on the unit)",
                           "0: object number 1 at position 1 (on the unit) and at position 2 (on the unit)"};
    }
    void resultAndCheck()
    {
        QFETCH(QString, unit);
        QFETCH(QString, entries);
        QFETCH(bool, prune);
        QFETCH(QString, result);
        QFETCH(QStringList, problems);
        QList<table::FileEntry> file;
        for (const QString &s : entries.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            file.append({s.section(':', 0, 0).toInt(), entryOf(s.section(':', 1).section('@', 0, 0)),
                         s.section('@', 1).toInt()});
        QCOMPARE(resultOf(tableOf(unit), file, prune), tableOf(result));
        QStringList got;
        for (const table::Problem &p : checkAgainstUnit(tableOf(unit), file, prune))
            got.append(QStringLiteral("%1: %2").arg(p.line).arg(p.what));
        QCOMPARE(got, problems);
    }

    void plan_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("writes"); // "1* 2 1": blank 1 first, write 2, then 1
        QTest::addColumn<QList<int>>("counts"); // to write, to blank, unchanged

        QTest::newRow("nothing to do") << "a1 ." << "a1 ." << "" << QList<int>{0, 0, 2};
        QTest::newRow("unrelated changes") << "a1 b2 c3" << "d4 . c3" << "1 2" << QList<int>{1, 1, 1};
        QTest::newRow("a swap") << "a1 b2" << "b2 a1" << "1* 2 1" << QList<int>{2, 0, 0};
        QTest::newRow("a swap of GSM numbers") << "a1 b2" << "b1 a2" << "1* 2 1" << QList<int>{2, 0, 0};
        QTest::newRow("a swap of object numbers") << "a1 b2" << "a2 b1" << "1* 2 1" << QList<int>{2, 0, 0};
        QTest::newRow("a chain of three") << "a1 b2 c3" << "b2 c3 d4" << "3 2 1" << QList<int>{3, 0, 0};
        QTest::newRow("a circle of three") << "a1 b2 c3" << "b2 c3 a1" << "1* 3 2 1" << QList<int>{3, 0, 0};
        QTest::newRow("two swaps") << "a1 b2 c3 d4" << "b2 a1 d4 c3" << "1* 2 1 3* 4 3" << QList<int>{4, 0, 0};
        QTest::newRow("a chain into a swap") << "a1 b2 c3" << "d2 c3 b4" << "2* 1 3 2" << QList<int>{3, 0, 0};
        QTest::newRow("into a blank slot") << "a1 ." << ". a1" << "1 2" << QList<int>{1, 1, 0};
        QTest::newRow("held twice, taken by a third") << "a1 a2 b3" << "b4 c2 a1" << "2 1* 3 1" << QList<int>{3, 0, 0};
        QTest::newRow("held twice and kept") << "a1 a2 b3 c4" << "a1 a2 c4 d5" << "4 3" << QList<int>{2, 0, 2};
    }
    void plan()
    {
        QFETCH(QString, unit);
        QFETCH(QString, result);
        QFETCH(QString, writes);
        QFETCH(QList<int>, counts);
        const Plan p = planWrites(tableOf(unit), tableOf(result));
        QStringList got;
        for (const Write &w : p.writes)
            got.append(QString::number(w.position) + QLatin1String(w.blankFirst ? "*" : ""));
        QCOMPARE(got.join(QLatin1Char(' ')), writes);
        QCOMPARE((QList<int>{p.toWrite, p.toBlank, p.unchanged}), counts);
        const QString bad = send(tableOf(unit), tableOf(result), p);
        QVERIFY2(bad.isEmpty(), qPrintable(bad));
    }

    void planRandomTables()
    {
        int blanks = 0;
        for (quint32 seed = 1; seed <= 400; ++seed) {
            QRandomGenerator rng(seed);
            Table unit, result;
            randomTables(rng, unit, result);
            const Plan p = planWrites(unit, result);
            const QString bad = send(unit, result, p);
            QVERIFY2(bad.isEmpty(), qPrintable(QStringLiteral("seed %1: %2").arg(seed).arg(bad)));
            blanks += int(std::count_if(p.writes.begin(), p.writes.end(), [](const Write &w) { return w.blankFirst; }));
        }
        QVERIFY(blanks > 100); // the tables did pass numbers round in circles
    }
};

QTEST_APPLESS_MAIN(PlanTest)
#include "tst_plan.moc"
