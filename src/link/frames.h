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
// pattern "0000"; O is the object field through "0000"; G the GSM field.

#include <QString>
#include <optional>

namespace comm {

QString frameReadAll();
QString frameEraseAll();
// Nothing when the position text is not a number: no frame can be built.
std::optional<QString> frameReadOne(const QString &positionText);
std::optional<QString> frameWrite(const QString &positionText, const QString &objectText, const QString &gsmText);

// P: the unit's index of a list position given as text.
std::optional<QString> deviceIndex(const QString &positionText);

} // namespace comm
