#pragma once
// Planning a whole-table job: the table a unit ends up with when a file is
// written to it, what stands against writing it, and the order of the
// writes.
//
// The unit must never hold one GSM number or one object number at two
// positions, not even for a moment: a run may stop after any write (a
// cable pulled, a unit switched off), and what the unit then holds must
// still be sound. Blank entries hold no number, and object 0 is no object.

#include "table/entry.h"

#include <QList>

namespace table {

// The table that results: the unit's table with the file's entries over it;
// with prune, every position the file does not list becomes blank. Entries
// for positions the unit does not have are left out (checkAgainstUnit names
// them).
Table resultOf(const Table &unit, const QList<table::FileEntry> &entries, bool prune);

// What stands against writing the entries to the unit: a position outside
// the unit's slots (1..unit.size()); a GSM number or an object number at
// two positions of the resulting table, naming both positions and the file
// lines of the file's entries. Blank GSM numbers and object 0 never count.
// Each problem carries the line of a file entry it concerns (0 when both
// positions keep what the unit holds). An entry given with line 0 (one
// entry typed on a command line) is named as "the new entry".
QList<table::Problem> checkAgainstUnit(const Table &unit, const QList<table::FileEntry> &entries, bool prune);

// One write to the unit. blankFirst: this write blanks the position to free
// its numbers for another position; its final write comes later.
struct Write {
    int position;
    Entry entry;
    bool blankFirst;
};

// The writes in the order to send them, and the counts of positions whose
// entry changes to a used entry (toWrite) or to a blank one (toBlank), and
// of positions left as they are (unchanged).
struct Plan {
    QList<Write> writes;
    int toWrite = 0;
    int toBlank = 0;
    int unchanged = 0;
};

// The writes that turn the unit's table into the result (a table of the
// same size, from resultOf) with never a number at two positions: a
// position waits while the GSM number or object number it is to take is
// still held at another position that is yet to change. Every position is
// written once, in position order among those ready; when every remaining
// position waits for another one (numbers passed round in a circle, such as
// two positions swapping), one position of the circle is blanked first. A
// chain costs no extra write, a circle one. Numbers the unit already holds
// at two positions stay allowed where the result keeps them; no write adds
// a second holder of a number.
Plan planWrites(const Table &unit, const Table &result);

struct Difference {
    enum Kind {
        Changed,        // both hold the position, with different entries
        NotListed,      // the unit holds a used entry where the file lists nothing
        NoSuchPosition, // the file lists a position the unit does not have
    };
    int position;
    Entry unit;
    Entry file;
    Kind kind = Changed;
};

// The positions where the unit and the result differ, in position order.
QList<Difference> differences(const Table &unit, const Table &result);

// Where the unit and a file differ, in position order: every position the
// file lists that the unit holds otherwise or does not have, and every used
// entry of the unit at a position the file does not list.
QList<Difference> compareWithFile(const Table &unit, const QList<FileEntry> &entries);

// The used entries of the unit at positions the file does not list (those
// a write leaves alone, and prune blanks).
int unlistedInUse(const Table &unit, const QList<FileEntry> &entries);

} // namespace table
