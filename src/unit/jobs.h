#pragma once
// The whole-table jobs, the same for the command-line tool and the window:
// load a table file, read the unit, compare it with the file or check the
// file against it, plan the writes, run them, read the table back and
// compare. The front ends only present what a job found (terminal lines or
// dialogs) and answer its one question (whether to write the plan); the
// steps, their rules and their words are here.

#include "files/tablefile.h"
#include "table/plan.h"
#include "unit/engine.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace unit {

// ------------------------------------------------------------ the file

// A table file as read: its entries and problems, or (error not empty)
// why it could not be read at all.
struct LoadedFile {
    files::TableFile file;
    QString error;
};
// Reads a table file in the given format, or in the one its name says, or
// else in the one its content shows; "-" is standard input.
LoadedFile loadTableFile(const QString &path, std::optional<files::Format> format);

// "NAME:LINE: what is wrong" ("NAME: what is wrong" for the file as a whole).
QString problemLine(const QString &name, const table::Problem &problem);
// "N problem(s) in NAME; nothing was written"
QString problemsSummary(int count, const QString &name);
// Problems in line order; those of one line keep their order.
void sortByLine(QList<table::Problem> &problems);

// ------------------------------------------------------------ a job

enum class Stage { Reading, Writing, Verifying };
using StageProgress = std::function<void(Stage stage, int done, int total)>;

// How far a run of writes got.
struct RunResult {
    Outcome outcome = Outcome::Done;
    int done = 0;  // writes the unit confirmed
    int total = 0; // writes in the plan
};

// What a program job would do to the unit.
struct WritePlan {
    table::Table unit;                     // the unit's table as read
    table::Table wanted;                   // the table the unit is to hold
    table::Plan plan;
    QList<table::Difference> changes;      // positions that change
    int unlisted = 0; // used entries at positions the file does not list
    bool prune = false; // ... and these are blanked
};

struct JobResult {
    Outcome outcome = Outcome::Done; // how the unit's part ended
    Stage stage = Stage::Reading;    // where it ended
    table::Table unit;               // the unit's table as read first
    QList<table::Problem> problems;  // what stands against writing, in line order
    // compare: where the unit and the file differ; program: where the
    // read-back differs from the plan's table.
    QList<table::Difference> differences;
    std::optional<WritePlan> plan;
    bool approved = false; // the plan was to be written
    RunResult run;
    bool verified = false; // the read-back equals the plan's table

    // The unit could not be read, written or read back.
    bool failed() const { return outcome != Outcome::Done; }
};

// Reads the unit and lists where it differs from the file's entries.
JobResult compareJob(Engine &engine, const QList<table::FileEntry> &entries, const StageProgress &progress = {});

// The plan that makes the unit hold the file's entries; with prune, the
// used positions that the file does not list are blanked too.
WritePlan writePlanOf(const table::Table &unit, const QList<table::FileEntry> &entries, bool prune);

struct ProgramOptions {
    bool prune = false;  // blank the positions the file does not list
    bool verify = true;  // read the table back at the end
};
// Reads the unit, checks the entries against it and plans the writes;
// approve(plan) decides whether they are sent (it is not asked when
// nothing is to change); it may put another plan of the same file in its
// place (writePlanOf with the other prune). Then writes, and reads the
// table back.
JobResult programJob(Engine &engine, const QList<table::FileEntry> &entries, const ProgramOptions &options,
                     const std::function<bool(WritePlan &)> &approve, const StageProgress &progress = {});

// Sends the writes in order, each confirmed before the next. Stops after
// the frame in flight once the engine is interrupted, at a second silence,
// or when the port is lost. progress(done, total) after each write.
RunResult runWrites(Engine &engine, const QList<table::Write> &writes, const Progress &progress = {});

// ------------------------------------------------------------ words

// What went wrong, in plain words: "the unit on COM 1 did not answer within
// 3 s (asked twice)", "the connection to /dev/ttyUSB0 was lost: ...". where
// names the unit's port (the engine's device when empty).
QString outcomeText(Outcome outcome, const Engine &engine, const QString &where = QString());

// The lines that tell how a job that did not get to its end ended: what
// failed, and how far the writes got.
QStringList failureLines(const JobResult &result, const Engine &engine, const QString &where = QString());

// "37 of 120 writes done" and, for a run that stopped, how to finish it.
QString runSummary(const RunResult &run);

// "12 to write, 3 to blank, 985 unchanged (16 frames)"
QString planSummary(const table::Plan &plan);
// What the plan does with the used entries the file does not list, or an
// empty text when there are none: "40 used positions that the file does
// not list stay as they are".
QString unlistedText(const WritePlan &plan);

// One line per difference: "(0005)  unit 359888123456 - 12  |  file 359888999999 - 12"
QString differenceLine(const table::Difference &d);

} // namespace unit
