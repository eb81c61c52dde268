#pragma once
// One entry of the unit's table, as the whole-table jobs (files, plans, the
// command-line tool) see it, apart from the rows of the window's list.
//
// The GSM text is the nine characters the unit holds behind the fixed
// "359": nine digits, or the blank text "*********". A blank entry (an empty
// slot) has the blank text and object number 0; a used entry has an object
// number from 1 to kLastObject. A table is held in position order: index i
// is position i + 1 (the unit's own index i).

#include "table/rows.h"

#include <QList>
#include <QString>

namespace table {

// The highest object number of a used entry, and the highest position a
// row or a file can name (the unit counts its slots in four digits).
constexpr int kLastObject = 7999;
constexpr int kLastPosition = 9999;

struct Entry {
    QString gsm = blankGsm();
    qint16 object = 0;

    bool isBlank() const { return object == 0 && gsm == blankGsm(); }
    bool operator==(const Entry &o) const { return gsm == o.gsm && object == o.object; }
    bool operator!=(const Entry &o) const { return !(*this == o); }
};

using Table = QList<Entry>;

// The unit's own rule for an empty slot: a GSM text with an asterisk
// anywhere stands for a blank entry, whatever its object number.
inline bool marksBlankSlot(const QString &gsm) { return gsm.contains(QLatin1Char('*')); }

// The entry a slot's GSM text and object number stand for, with that rule.
inline Entry slotEntry(const QString &gsm, qint16 object)
{
    return marksBlankSlot(gsm) ? Entry() : Entry{gsm, object};
}

// The window's row for the entry at a position: (0005) : 359888123456 - 17
inline QString rowOf(int position, const Entry &e) { return makeRow(position, e.gsm, e.object); }

// What is wrong with a table file or with writing it, and on which line
// (counted from 1; 0 for the file as a whole or for no line of it).
struct Problem {
    int line;
    QString what;
    // > 0: the unit itself holds a number at this position and at one
    // before it, and the file sets neither: the unit's fault, not the
    // file's, mended by blanking this position.
    int unitsOwn = 0;
};

// One entry read from a file: the position it is for (1..kLastPosition)
// and the line it was on (0 for an entry typed on a command line).
struct FileEntry {
    int position;
    Entry entry;
    int line;
};

} // namespace table
