#pragma once
// One fuzz input through the table file reader, as the window's records and
// as a spreadsheet table.
//
// Whatever the bytes, the reader must give entries and problems that make
// sense: every problem's line within the file (0 for the file as a whole),
// every entry's line too, every entry at a position 1..9999 with a GSM
// number of nine digits or the blank text and an object number 1..7999
// (0 for a blank entry), no position twice. When nothing was wrong, the
// entries written back in either format read again without a problem and
// as the same table.

#include <QString>
#include <cstddef>
#include <cstdint>

namespace fuzzing {

// Runs one input. Returns an empty text, or what went wrong.
QString runTableFileInput(const uint8_t *data, size_t size);

} // namespace fuzzing
