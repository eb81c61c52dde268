// Whole-table jobs: the table that results from a file, what stands against
// writing it, and the order of the writes, replayed write by write as a
// unit would take them.

#include "table/plan.h"

#include <QHash>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

using namespace table;

namespace {
QString gsmNo(int k) { return QStringLiteral("888%1").arg(k, 6, 10, QLatin1Char('0')); }

// A table in short: "a1 . c3" is GSM number a with object 1, a blank slot,
// GSM number c with object 3.
Entry entryOf(const QString &token)
{
    return token == QLatin1String(".") ? Entry() : Entry{gsmNo(token[0].unicode() - 'a'), qint16(token.mid(1).toInt())};
}

Table tableOf(const QString &text)
{
    Table t;
    for (const QString &token : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        t.append(entryOf(token));
    return t;
}

// File entries in short: "1:b9@5" is position 1 set to b9 on line 5.
QList<files::FileEntry> entriesOf(const QString &text)
{
    QList<files::FileEntry> out;
    for (const QString &item : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList p = item.split(QRegularExpression(QStringLiteral("[:@]")));
        out.append({p[0].toInt(), entryOf(p[1]), p[2].toInt()});
    }
    return out;
}

// The writes in short: "1* 2 1" blanks position 1 first, writes 2, then 1.
QString writesOf(const Plan &plan)
{
    QStringList out;
    for (const Write &w : plan.writes)
        out.append(QString::number(w.position) + (w.blankFirst ? QLatin1String("*") : QLatin1String("")));
    return out.join(QLatin1Char(' '));
}

struct Counts {
    QHash<QString, int> gsm;
    QHash<int, int> object;
};
Counts countsOf(const Table &t)
{
    Counts c;
    for (const Entry &e : t) {
        if (e.gsm != blankGsm())
            ++c.gsm[e.gsm];
        if (e.object != 0)
            ++c.object[e.object];
    }
    return c;
}

// Sends the plan's writes one by one to a unit holding `unit`, and says
// what is wrong, or nothing:
//  - after every write a number stands at no more positions than it did
//    before the run (one at the most when it stood at one or none);
//  - a blank write comes only when no position still to change could take
//    its final entry without another position holding one of its numbers;
//  - every changed position gets its final entry once, nothing else is written;
//  - the unit ends holding the result.
QString replay(const Table &unit, const Table &result, const Plan &plan)
{
    const Counts before = countsOf(unit);
    const auto sound = [&before](const Table &t) {
        const Counts now = countsOf(t);
        for (auto it = now.gsm.cbegin(); it != now.gsm.cend(); ++it)
            if (*it > qMax(1, before.gsm.value(it.key())))
                return false;
        for (auto it = now.object.cbegin(); it != now.object.cend(); ++it)
            if (*it > qMax(1, before.object.value(it.key())))
                return false;
        return true;
    };
    const auto free = [](const Table &t, int i, const Entry &e) {
        for (int j = 0; j < t.size(); ++j)
            if (j != i && ((e.gsm != blankGsm() && t[j].gsm == e.gsm) || (e.object != 0 && t[j].object == e.object)))
                return false;
        return true;
    };

    Table now = unit;
    QSet<int> done;
    for (int k = 0; k < plan.writes.size(); ++k) {
        const Write &w = plan.writes[k];
        const int i = w.position - 1;
        const QString at = QStringLiteral("write %1 (position %2): ").arg(k + 1).arg(w.position);
        if (i < 0 || i >= now.size() || unit[i] == result[i] || done.contains(i))
            return at + QLatin1String("not a position to write");
        if (w.blankFirst) {
            if (!w.entry.isBlank() || now[i].isBlank())
                return at + QLatin1String("a blank write that frees nothing");
            for (int j = 0; j < now.size(); ++j)
                if (unit[j] != result[j] && !done.contains(j) && free(now, j, result[j]))
                    return at + QStringLiteral("blanks while position %1 could take its entry").arg(j + 1);
        } else {
            if (w.entry != result[i])
                return at + QLatin1String("not the entry of the result");
            done.insert(i);
        }
        now[i] = w.entry;
        if (!sound(now))
            return at + QLatin1String("a number now stands at two positions");
    }
    int changed = 0;
    for (int i = 0; i < unit.size(); ++i)
        changed += unit[i] != result[i];
    if (done.size() != changed || now != result)
        return QStringLiteral("the unit does not end as the result");
    return QString();
}

// A unit whose numbers come from a small pool, so that they move between
// positions, a few of them held twice; and a result without a number twice
// but where it keeps the unit's own entry.
void randomTables(QRandomGenerator &rng, Table &unit, Table &result)
{
    const int n = 1 + rng.bounded(30);
    const int pool = n + rng.bounded(4);
    const auto shuffled = [&] {
        QList<int> v(pool);
        for (int k = 0; k < pool; ++k)
            v[k] = k + 1;
        for (int k = pool - 1; k > 0; --k)
            v.swapItemsAt(k, rng.bounded(k + 1));
        return v;
    };
    const auto draw = [&](Table &t) {
        const QList<int> g = shuffled(), o = shuffled();
        t = Table(n);
        for (int i = 0; i < n; ++i)
            if (rng.bounded(5) != 0)
                t[i] = Entry{gsmNo(g[i]), qint16(o[i])};
    };
    draw(unit);
    for (Entry &e : unit) {
        if (!e.isBlank() && rng.bounded(8) == 0)
            e.gsm = gsmNo(1 + rng.bounded(pool));
        if (!e.isBlank() && rng.bounded(8) == 0)
            e.object = qint16(1 + rng.bounded(pool));
    }
    draw(result);
    QSet<QString> keptGsm;
    QSet<int> keptObject;
    QList<bool> kept(n);
    for (int i = 0; i < n; ++i) {
        if (rng.bounded(4) == 0) {
            kept[i] = true;
            result[i] = unit[i];
            keptGsm.insert(unit[i].gsm);
            keptObject.insert(unit[i].object);
        }
    }
    for (int i = 0; i < n; ++i)
        if (!kept[i] && (keptGsm.contains(result[i].gsm) || keptObject.contains(result[i].object)))
            result[i] = Entry();
}
} // namespace

class PlanTest : public QObject {
    Q_OBJECT
private slots:
    void differences()
    {
        const QList<Difference> d = table::differences(tableOf("a1 b2 c3 ."), tableOf("a1 . c4 d5"));
        QCOMPARE(d.size(), 3);
        QCOMPARE(d[0].position, 2);
        QCOMPARE(d[0].unit, entryOf(QStringLiteral("b2")));
        QVERIFY(d[0].file.isBlank());
        QCOMPARE(d[1].position, 3);
        QCOMPARE(d[2].position, 4);
        QCOMPARE(d[2].file, entryOf(QStringLiteral("d5")));
    }

    void resultAndCheck_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("entries");
        QTest::addColumn<bool>("prune");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QStringList>("problems");

        QTest::newRow("entries over the unit") << "a1 b2 c3" << "3:d4@2 1:.@9" << false << ". b2 d4" << QStringList();
        QTest::newRow("pruned") << "a1 b2 c3" << "2:c3@1" << true << ". c3 ." << QStringList();
        QTest::newRow("outside the unit's slots")
            << "a1 b2" << "3:c3@4 0:d4@6" << false << "a1 b2"
            << QStringList{"4: position 3 is outside the unit's slots 1..2",
                           "6: position 0 is outside the unit's slots 1..2"};
        QTest::newRow("a GSM number the unit keeps elsewhere")
            << "a1 b2 c3" << "1:b9@5" << false << "b9 b2 c3"
            << QStringList{"5: GSM number 888000001 at position 1 (line 5) and at position 2 (kept from the unit)"};
        QTest::newRow("an object number the file gives twice")
            << "a1 b5 c3" << "3:e2@4 1:d2@3" << false << "d2 b5 e2"
            << QStringList{"4: object number 2 at position 1 (line 3) and at position 3 (line 4)"};
        QTest::newRow("a number the file gives to a later position")
            << "a1 b2 c3" << "3:a4@8" << false << "a1 b2 a4"
            << QStringList{"8: GSM number 888000000 at position 1 (kept from the unit) and at position 3 (line 8)"};
        QTest::newRow("the unit's own duplicate, three times")
            << "a1 a2 a1" << "" << false << "a1 a2 a1"
            << QStringList{"0: GSM number 888000000 at position 1 (kept from the unit) and at position 2 (kept from the unit)",
                           "0: GSM number 888000000 at position 1 (kept from the unit) and at position 3 (kept from the unit)",
                           "0: object number 1 at position 1 (kept from the unit) and at position 3 (kept from the unit)"};
        QTest::newRow("blank entries never count") << ". a1 ." << "1:.@1 3:.@2" << false << ". a1 ." << QStringList();
    }
    void resultAndCheck()
    {
        QFETCH(QString, unit);
        QFETCH(QString, entries);
        QFETCH(bool, prune);
        QFETCH(QString, result);
        QFETCH(QStringList, problems);
        QCOMPARE(resultOf(tableOf(unit), entriesOf(entries), prune), tableOf(result));
        QStringList got;
        for (const files::Problem &p : checkAgainstUnit(tableOf(unit), entriesOf(entries), prune))
            got.append(QStringLiteral("%1: %2").arg(p.line).arg(p.what));
        QCOMPARE(got, problems);
    }

    void plan_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("writes");
        QTest::addColumn<QList<int>>("counts"); // to write, to blank, unchanged

        QTest::newRow("nothing to do") << "a1 ." << "a1 ." << "" << QList<int>{0, 0, 2};
        QTest::newRow("unrelated changes") << "a1 b2 c3" << "d4 . c3" << "1 2" << QList<int>{1, 1, 1};
        QTest::newRow("a swap") << "a1 b2" << "b2 a1" << "1* 2 1" << QList<int>{2, 0, 0};
        QTest::newRow("a swap of GSM numbers only") << "a1 b2" << "b1 a2" << "1* 2 1" << QList<int>{2, 0, 0};
        QTest::newRow("a swap of object numbers only") << "a1 b2" << "a2 b1" << "1* 2 1" << QList<int>{2, 0, 0};
        QTest::newRow("a chain of three") << "a1 b2 c3" << "b2 c3 d4" << "3 2 1" << QList<int>{3, 0, 0};
        QTest::newRow("a circle of three") << "a1 b2 c3" << "b2 c3 a1" << "1* 3 2 1" << QList<int>{3, 0, 0};
        QTest::newRow("two swaps") << "a1 b2 c3 d4" << "b2 a1 d4 c3" << "1* 2 1 3* 4 3" << QList<int>{4, 0, 0};
        QTest::newRow("a chain into a swap: the swap is broken")
            << "a1 b2 c3" << "d2 c3 b4" << "2* 1 3 2" << QList<int>{3, 0, 0};
        QTest::newRow("moved into a blank slot") << "a1 ." << ". a1" << "1 2" << QList<int>{1, 1, 0};
        QTest::newRow("a number the unit holds twice, taken by a third")
            << "a1 a2 b3" << "b4 c2 a1" << "2 1* 3 1" << QList<int>{3, 0, 0};
        QTest::newRow("the unit's duplicate kept") << "a1 a2 b3 c4" << "a1 a2 c4 d5" << "4 3" << QList<int>{2, 0, 2};
    }
    void plan()
    {
        QFETCH(QString, unit);
        QFETCH(QString, result);
        QFETCH(QString, writes);
        QFETCH(QList<int>, counts);
        const Plan p = planWrites(tableOf(unit), tableOf(result));
        QCOMPARE(writesOf(p), writes);
        QCOMPARE((QList<int>{p.toWrite, p.toBlank, p.unchanged}), counts);
        const QString bad = replay(tableOf(unit), tableOf(result), p);
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
            const QString bad = replay(unit, result, p);
            QVERIFY2(bad.isEmpty(), qPrintable(QStringLiteral("seed %1: %2").arg(seed).arg(bad)));
            for (const Write &w : p.writes)
                blanks += w.blankFirst;
        }
        QVERIFY(blanks > 100); // the tables did pass numbers round in circles
    }

};

QTEST_MAIN(PlanTest)
#include "tst_plan.moc"
