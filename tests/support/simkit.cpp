#include "simkit.h"

#include <QTest>

namespace testing {

table::Table tableOf(const m7sim::Table &unitTable)
{
    table::Table t;
    t.reserve(unitTable.size());
    for (const m7sim::Slot &s : unitTable)
        t << (s.isBlank() ? table::Entry{} : table::Entry{QString::fromLatin1(s.gsm), qint16(s.object)});
    return t;
}

m7sim::Options unitOf(int slotCount, quint32 seed)
{
    m7sim::Options o;
    o.slotCount = slotCount;
    o.seed = seed;
    o.hello = true;
    return o;
}

bool UnitBench::startUnit()
{
    if (unit.start())
        return true;
    QTest::qFail(qPrintable(QStringLiteral("the simulated unit did not start: ") + unit.errorString()), __FILE__,
                 __LINE__);
    return false;
}

} // namespace testing
