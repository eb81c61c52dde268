#pragma once
// The simulated unit in a test, free of widgets (library m7testsim, beside
// m7testcore): the unit's options, its table as the program's entries, and
// a unit started on a pseudo-terminal. The window on top of it is
// WindowBench (windowbench.h).
//
//     UnitBench b(unitOf(30));          // 30 slots, greets with "(S)"
//     QVERIFY(b.startUnit());           // the running test fails, saying why
//     ... open b.unit.slavePath() ...   // b.unit: m7sim::Unit (m7unit.h)
//     QCOMPARE(got, b.table());

#include "testcore.h"

#include "m7unit.h"
#include "table/entry.h"

namespace testing {

// The unit's table as the program's entries: position i + 1 is index i, a
// blank slot is a blank entry.
table::Table tableOf(const m7sim::Table &unitTable);

// A unit of `slotCount` slots whose table is made from `seed`
// (m7sim::generateTable) and that greets each opening of its port with its
// start-up notice "(S)", as a real unit may. Every other option is the
// simulator's default: set it on the result.
m7sim::Options unitOf(int slotCount = 1000, quint32 seed = 1);

// A simulated unit for one test case, started with startUnit().
struct UnitBench {
    explicit UnitBench(const m7sim::Options &options = unitOf()) : unit(options) {}
    // Starts the unit on a fresh pseudo-terminal (true at once when it
    // runs). When it cannot start, the running test has failed with the
    // reason and the result is false: QVERIFY(b.startUnit()) ends the test.
    bool startUnit();
    // The unit's table now, as entries.
    table::Table table() const { return tableOf(unit.table()); }

    m7sim::Unit unit;
};

} // namespace testing
