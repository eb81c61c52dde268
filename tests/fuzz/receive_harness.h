#pragma once
// One fuzz input through the receive processing of a real main window.
//
// Input layout: byte 0 chooses the operation running (opMode 0..4) and
// byte 1 the selection (selIndex -1..n); the rest is a sequence of pieces,
// each a length byte L and then L bytes of received text (L = 0 gives the
// watchdog one tick instead; L > 64 is taken modulo 65). Every piece goes
// through ProcessReceived as one receive event; message boxes are answered
// (alternately Yes/OK and No) by the test seam.
//
// After every piece the window must hold: both tick counters within 0..10,
// opMode within 0..4, linkState within 0..3, the line buffer within its
// cap, the terminal text within its bound plus one event, and every row
// added while the whole table is read well formed.

#include <QString>
#include <cstddef>
#include <cstdint>

namespace fuzzing {

// Runs one input. Returns an empty text, or what went wrong.
QString runReceiveInput(const uint8_t *data, size_t size);

} // namespace fuzzing
