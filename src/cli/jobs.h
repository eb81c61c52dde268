#pragma once
// The whole-table jobs on top of the engine, as the command-line tool and
// the window run them, and the words both use for how a job ended.

#include "cli/engine.h"
#include "table/plan.h"

#include <QString>

namespace cli {

// How far a run of writes got.
struct RunResult {
    Outcome outcome = Outcome::Done;
    int done = 0;  // writes the unit confirmed
    int total = 0; // writes in the plan
};

// Sends the plan's writes in order, each confirmed before the next. Stops
// after the frame in flight once the engine is interrupted, at a second
// silence, or when the port is lost. progress(done, total) after each write.
RunResult runWrites(Engine &engine, const QList<table::Write> &writes, const Progress &progress = {});

// What went wrong, in plain words: "the unit did not answer within 3 s
// (asked twice)", "the connection to /dev/ttyUSB0 was lost: ...".
QString outcomeText(Outcome outcome, const Engine &engine);

// "37 of 120 writes done" and, for a run that stopped, how to finish it.
QString runSummary(const RunResult &run);

// "12 to write, 3 to blank, 985 unchanged"
QString planSummary(const table::Plan &plan);

// One line per difference: "(0005)  unit 359888123456 - 12  |  file 359888999999 - 12"
QString differenceLine(const table::Difference &d);

} // namespace cli
