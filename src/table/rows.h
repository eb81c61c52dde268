#pragma once
// Entry rows: the text of one row of the entry list, the only store of the
// unit's table inside the program.
//
//   columns  1-6   "(" position in four digits ")"     (0005)
//            7-9   " : "
//           10-12  "359", in front of every GSM number
//           13-21  the GSM number, nine characters
//           22-24  " - "
//           25-    the object number in plain decimal   17
//
// so position 5, GSM 888123456, object 17 is "(0005) : 359888123456 - 17".
// Every cut is content with a shorter result when the row is shorter.

#include <QString>

namespace table {

// The GSM text of a blank entry (an empty slot of the unit, or a deleted entry).
inline QString blankGsm() { return QStringLiteral("*********"); }

// Columns 1 to 12 for a position: the pattern "(0000) : 359".
QString rowPrefix(int position);
// The same prefix for a position given as text (the position field): a text
// that is not a number stands between the brackets as it is.
QString rowPrefix(const QString &positionText);

// The row for an entry. The GSM text is copied as it is, whatever its length.
QString makeRow(int position, const QString &gsm, qint16 object);
QString makeRow(const QString &positionText, const QString &gsm, qint16 object);
inline QString blankRow(int position) { return makeRow(position, blankGsm(), 0); }

inline QString cutPositionDigits(const QString &row) { return row.mid(1, 4); }   // columns 2-5
inline QString cutPosition(const QString &row) { return row.mid(0, 6); }         // columns 1-6
inline QString cutPrefixedGsm(const QString &row) { return row.mid(9, 12); }     // columns 10-21
inline QString cutGsm(const QString &row) { return row.mid(12, 9); }             // columns 13-21
inline QString cutObject(const QString &row) { return row.mid(24, 4); }          // columns 25-28

} // namespace table
