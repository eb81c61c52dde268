#include "table/plan.h"

#include <QHash>
#include <QSet>

#include <algorithm>

#include <set>

namespace table {

namespace {
QString outsideText(int position, int slotCount)
{
    return QStringLiteral("position %1 is outside the unit's slots 1..%2").arg(position).arg(slotCount);
}

bool holdsGsm(const Entry &e) { return e.gsm != blankGsm(); }
bool holdsObject(const Entry &e) { return e.object != 0; }
} // namespace

Table resultOf(const Table &unit, const QList<FileEntry> &entries, bool prune)
{
    Table result = prune ? Table(unit.size()) : unit;
    for (const FileEntry &e : entries)
        if (e.position >= 1 && e.position <= result.size())
            result[e.position - 1] = e.entry;
    return result;
}

QList<Problem> checkAgainstUnit(const Table &unit, const QList<FileEntry> &entries, bool prune)
{
    QList<Problem> problems;
    QHash<int, int> lineOf; // position -> line of the file entry that sets it
    for (const FileEntry &e : entries) {
        if (e.position < 1 || e.position > unit.size())
            problems.append({e.line, outsideText(e.position, int(unit.size()))});
        else
            lineOf.insert(e.position, e.line);
    }

    const auto where = [&lineOf](int position) {
        if (!lineOf.contains(position))
            return QStringLiteral("position %1 (on the unit)").arg(position);
        const int line = lineOf.value(position);
        return line > 0 ? QStringLiteral("position %1 (line %2)").arg(position).arg(line)
                        : QStringLiteral("position %1 (the new entry)").arg(position);
    };
    // The earlier holder of a number stays named; every later one is a problem.
    const auto twice = [&](const QString &what, int first, int second) {
        const int line = lineOf.contains(second) ? lineOf.value(second) : lineOf.value(first);
        const bool unitsOwn = !lineOf.contains(first) && !lineOf.contains(second);
        problems.append({line, QStringLiteral("%1 at %2 and at %3").arg(what, where(first), where(second)),
                         unitsOwn ? second : 0});
    };

    const Table result = resultOf(unit, entries, prune);
    QHash<QString, int> gsmAt;
    QHash<int, int> objectAt;
    for (int p = 1; p <= result.size(); ++p) {
        const Entry &e = result[p - 1];
        if (holdsGsm(e)) {
            if (const auto it = gsmAt.constFind(e.gsm); it != gsmAt.cend())
                twice(QStringLiteral("GSM number %1").arg(e.gsm), *it, p);
            else
                gsmAt.insert(e.gsm, p);
        }
        if (holdsObject(e)) {
            if (const auto it = objectAt.constFind(e.object); it != objectAt.cend())
                twice(QStringLiteral("object number %1").arg(e.object), *it, p);
            else
                objectAt.insert(e.object, p);
        }
    }
    return problems;
}

namespace {

// The writes of one plan. A position to change (pending) waits while
// another pending position holds a number it is to take. A pending position
// holds the unit's numbers until its first write, which gives them up; only
// pending positions hold numbers that matter: one that is left as it is or
// already written keeps its number for good, and a second holder of it in
// the result is the result's own duplicate.
class Planner {
public:
    Planner(const Table &unit, const Table &result, Plan &plan) : unit(unit), result(result), plan(plan)
    {
        const qsizetype n = qMin(unit.size(), result.size());
        for (int i = 0; i < n; ++i) {
            if (unit[i] == result[i]) {
                ++plan.unchanged;
                continue;
            }
            ++(result[i].isBlank() ? plan.toBlank : plan.toWrite);
            pending.insert(i);
            if (holdsGsm(unit[i]))
                gsmHolders[unit[i].gsm].insert(i);
            if (holdsObject(unit[i]))
                objectHolders[unit[i].object].insert(i);
            if (holdsGsm(result[i]))
                gsmWanted[result[i].gsm].append(i);
            if (holdsObject(result[i]))
                objectWanted[result[i].object].append(i);
        }
        for (int i : pending)
            if (blocker(i) < 0)
                ready.insert(i);
    }

    void run()
    {
        for (;;) {
            // Once ready, a position stays ready: numbers are only ever given up.
            while (!ready.empty()) {
                const int i = *ready.begin();
                ready.erase(ready.begin());
                pending.erase(i);
                write(i, result[i], false);
            }
            if (pending.empty())
                return;
            // Everything left waits on another: follow who waits for whom
            // until a position comes round again; it lies on a circle, and
            // blanking it lets the circle go on.
            std::set<int> seen;
            int i = *pending.begin();
            while (seen.insert(i).second)
                i = blocker(i);
            write(i, Entry(), true);
        }
    }

private:
    const Table &unit;
    const Table &result;
    Plan &plan;
    std::set<int> pending, ready; // indexes
    QHash<QString, std::set<int>> gsmHolders; // pending indexes by the number they hold
    QHash<qint16, std::set<int>> objectHolders;
    QHash<QString, QList<int>> gsmWanted; // pending indexes by the number they are to take
    QHash<qint16, QList<int>> objectWanted;

    template <typename Key>
    static int otherHolder(const QHash<Key, std::set<int>> &holders, const Key &key, int i)
    {
        const auto it = holders.constFind(key);
        if (it != holders.cend())
            for (int h : *it)
                if (h != i)
                    return h;
        return -1;
    }

    // The first pending position, other than i, that holds a number i is to take; -1 for none.
    int blocker(int i) const
    {
        const int g = holdsGsm(result[i]) ? otherHolder(gsmHolders, result[i].gsm, i) : -1;
        const int o = holdsObject(result[i]) ? otherHolder(objectHolders, result[i].object, i) : -1;
        return g < 0 ? o : o < 0 ? g : qMin(g, o);
    }

    void recheck(const QList<int> &waiting)
    {
        for (int w : waiting)
            if (pending.count(w) && blocker(w) < 0)
                ready.insert(w);
    }

    // The first write of position i gives up the unit's numbers it holds;
    // the final write of a blanked position finds them given up already.
    void write(int i, const Entry &e, bool blankFirst)
    {
        plan.writes.append({i + 1, e, blankFirst});
        if (holdsGsm(unit[i]) && gsmHolders[unit[i].gsm].erase(i))
            recheck(gsmWanted.value(unit[i].gsm));
        if (holdsObject(unit[i]) && objectHolders[unit[i].object].erase(i))
            recheck(objectWanted.value(unit[i].object));
    }
};

} // namespace

Plan planWrites(const Table &unit, const Table &result)
{
    Plan plan;
    Planner(unit, result, plan).run();
    return plan;
}

QList<Difference> differences(const Table &unit, const Table &result)
{
    QList<Difference> out;
    const qsizetype n = qMin(unit.size(), result.size());
    for (int i = 0; i < n; ++i)
        if (unit[i] != result[i])
            out.append({i + 1, unit[i], result[i]});
    return out;
}

QList<Difference> compareWithFile(const Table &unit, const QList<FileEntry> &entries)
{
    QHash<int, const Entry *> listed;
    for (const FileEntry &e : entries)
        listed.insert(e.position, &e.entry);
    QList<Difference> out;
    for (int p = 1; p <= unit.size(); ++p) {
        const Entry &u = unit[p - 1];
        const auto it = listed.constFind(p);
        if (it == listed.cend()) {
            if (!u.isBlank())
                out.append({p, u, Entry(), Difference::NotListed});
        } else if (**it != u) {
            out.append({p, u, **it, Difference::Changed});
        }
    }
    QList<Difference> beyond;
    for (const FileEntry &e : entries)
        if (e.position > unit.size())
            beyond.append({e.position, Entry(), e.entry, Difference::NoSuchPosition});
    std::sort(beyond.begin(), beyond.end(), [](const Difference &a, const Difference &b) { return a.position < b.position; });
    return out + beyond;
}

int unlistedInUse(const Table &unit, const QList<FileEntry> &entries)
{
    QSet<int> listed;
    for (const FileEntry &e : entries)
        listed.insert(e.position);
    int n = 0;
    for (int p = 1; p <= unit.size(); ++p)
        if (!unit[p - 1].isBlank() && !listed.contains(p))
            ++n;
    return n;
}

} // namespace table
