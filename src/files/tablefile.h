#pragma once
// Table files: a whole table of the unit on disk, for backing up a unit,
// cloning it, programming it from a spreadsheet and checking it.
//
// Two formats:
//  - the window's objects file (.onf, and the working file .tfo): one
//    record per position, exactly as the window writes its list:
//        "(0001)","359888123456",17 CR LF
//        "(0002)","359*********",0 CR LF
//  - a spreadsheet table (.csv, RFC 4180, CR LF): a header naming the
//    columns, then one row per position with the nine digits the unit
//    holds behind "359" (a spreadsheet shows twelve digits as 3.59888E+11
//    and loses digits when saving), and a blank slot as an empty GSM number
//    and object 0:
//        position,gsm,object
//        1,888123456,17
//        2,,0
//
// Reading never stops at the first fault: every line that cannot be taken
// is named in a problem, and only lines without a fault give entries.

#include "table/entry.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace files {

struct TableFile {
    QList<table::FileEntry> entries; // in file order
    QList<table::Problem> problems;  // in line order
};

enum class Format { Onf, Csv };

// The format a file name stands for: .onf and .tfo are the window's
// records, .csv a spreadsheet table (the case of the suffix does not
// matter); nothing for any other name.
std::optional<Format> formatFromName(const QString &path);
// What to say of a name formatFromName() does not know.
QString unknownFormatText(const QString &path);

// The format the content of a file shows: its first line that is not
// empty begins with "(0001)" (a record) or (0001) (a row as the window's
// list shows it, read as records are); anything else is a spreadsheet
// table (with or without a header). An empty file counts as records.
Format formatFromContent(const QByteArray &bytes);

// Reads a table file.
//
// Any file: UTF-8 (with or without a byte-order mark) or UTF-16 with its
// byte-order mark, little- or big-endian; lines end in CR LF, LF or CR
// alone, the last one may lack it.
//
// Records: the position comes from the "(0001)" stretch; a GSM stretch with
// an asterisk anywhere is a blank entry, as the unit treats it. A row as
// the window's list shows it, (0001) : 359888123456 - 17, is taken as the
// record of that entry. Empty lines are passed over.
//
// Spreadsheet tables are read as spreadsheets write them: a UTF-8
// byte-order mark, ";" or a tab instead of "," (whichever splits the header
// into the three columns), quoted fields with "" for a quotation mark,
// the columns position, gsm and object found by name in any order and any
// case, in English or Bulgarian (позиция, gsm номер, обект; other columns
// are ignored), or no header at all when the first row begins with a
// position (the columns are then position, gsm, object), rows whose fields
// are all empty passed over, GSM numbers in any form normaliseGsm() takes,
// Excel's leading-zero forms '0888123456 and ="0888123456", an empty
// object number in a blank entry.
TableFile parseTable(const QByteArray &bytes, Format format);

// The window's records for a table, positions 1..n.
QByteArray onfOf(const table::Table &t);
// The spreadsheet table for a table, positions 1..n.
QByteArray csvOf(const table::Table &t);

} // namespace files
