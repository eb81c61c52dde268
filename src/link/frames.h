#pragma once
// Command frames to the unit: "[", a command letter, fixed-width fields,
// "]" and a carriage return. No line feed follows.
//
//   read all    "[r]" CR                 4 bytes
//   read one    "[r" P "]" CR            8 bytes
//   write       "[w" P O G "]" CR       21 bytes with a nine-character GSM
//   erase all   "[d]" CR                 4 bytes
//
// P is the list position minus 1 (the unit counts from 0) through the
// pattern "0000"; O is the object number through "0000"; G the GSM text
// as it is.

#include "table/entry.h"

#include <QString>

namespace comm {

QString frameReadAll();
QString frameEraseAll();
// position counts from 1, as the list's rows do.
QString frameReadOne(int position);
QString frameWrite(int position, const table::Entry &entry);

} // namespace comm
