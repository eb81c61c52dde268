#pragma once
// Reading a text as a number, and as a 16-bit integer. Every field rule,
// the list update, the command frames and the receive processing use these
// two functions, so that a text means the same number everywhere.
//
// A text reads as a number when, after blanks (spaces and tabs) at either
// end are passed over, it is:
//   an optional sign "+" or "-",
//   digits with at most one decimal point, at least one digit in all
//     ("17", "0017", "1.5", ".5", "5."),
// and its value is finite. Nothing else reads as a number: not the empty
// text, not a text of blanks, not a text with any letter ("e" included: a
// mistyped "8881234e5" is no GSM number), not an asterisk, not a thousands
// separator, not "0x1F". The decimal mark is always the point, whatever the
// desktop's locale.

#include <QString>
#include <optional>

namespace table {

// The value of the text, or nothing when it does not read as a number.
std::optional<double> readNumber(const QString &text);

inline bool isNumeric(const QString &text) { return readNumber(text).has_value(); }

// True for a text of one or more ASCII digits and nothing else: the only
// GSM number the GSM field keeps (no sign, point or blank).
bool isDigits(const QString &text);

// Reads the text as a 16-bit signed integer: the number rounded to the
// nearest whole number, a half to the even neighbour (2.5 gives 2, 3.5
// gives 4). Returns false, and leaves target as it was, when the text does
// not read as a number or the rounded value lies outside -32768..32767.
bool readInt16(const QString &text, qint16 &target);

// A number through the pattern "0000": at least four digits with leading
// zeros (17 -> "0017", 12345 -> "12345", -5 -> "-0005"); a fraction is
// rounded to the nearest whole number, a half away from zero.
QString format0000(double value);

// A text through the pattern "0000": a text that reads as a number is
// formatted as above, any other text comes back unchanged.
QString format0000(const QString &text);

// The nine digits the unit holds for a GSM number as people write it:
// 888123456, 0888123456, 359888123456, +359 888 123 456, 00359888123456;
// blanks, dashes, dots and parentheses are passed over. An empty text and
// nine asterisks (also behind "359") give the blank text blankGsm(). Any
// other text is not a GSM number: nothing.
std::optional<QString> normaliseGsm(const QString &text);

// Blanks a person or a spreadsheet puts around and inside numbers: spaces,
// tabs, no-break spaces (thousands groups), and a CR left before a line end.
bool isNumberBlank(QChar c);

} // namespace table
