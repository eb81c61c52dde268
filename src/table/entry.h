#pragma once
// One entry of the unit's table, as the whole-table jobs (files, plans, the
// command-line tool) see it, apart from the rows of the window's list.
//
// The GSM text is the nine characters the unit holds behind the fixed
// "359": nine digits, or the blank text "*********". A blank entry (an empty
// slot) has the blank text and object number 0; a used entry has an object
// number from 1 to 7999. A table is held in position order: index i is
// position i + 1 (the unit's own index i).

#include "table/rows.h"

#include <QList>
#include <QString>

namespace table {

struct Entry {
    QString gsm = blankGsm();
    qint16 object = 0;

    bool isBlank() const { return object == 0 && gsm == blankGsm(); }
    bool operator==(const Entry &o) const { return gsm == o.gsm && object == o.object; }
    bool operator!=(const Entry &o) const { return !(*this == o); }
};

using Table = QList<Entry>;

// The window's row for the entry at a position: (0005) : 359888123456 - 17
inline QString rowOf(int position, const Entry &e) { return makeRow(position, e.gsm, e.object); }

} // namespace table
