#pragma once
// Pseudo-terminals that stand in for the serial line to the unit: a program
// opens the slave side (e.g. /dev/pts/7) as its serial port, and whoever
// plays the unit (the simulator, a test, the picture tool) holds the master
// side. Widget-free, for the tools and the tests alike.

#include <QString>

namespace m7pty {

// Makes the terminal `fd` raw: no echo, CR and LF passed as they are, every
// byte readable at once. False (errno set) when the terminal refuses.
bool makeRaw(int fd);

// A new pseudo-terminal. Returns its master side, non-blocking and
// close-on-exec, and puts the slave's path into `slavePath`. The slave side
// is raw (and says 115200 baud, as stty shows it) before anybody opens it,
// so that nothing is echoed or translated before the program's port sets
// its own mode. Until a program opens the slave, the master reports a
// hang-up (POLLHUP). On failure returns -1 and says why in `error`.
int openMaster(QString &slavePath, QString &error);

// Throws away what the master wrote and no program has read, for a slave
// that nobody holds open: such bytes wait in the pseudo-terminal and would
// reach the next program to open it, where a serial port would have lost
// them. Opens the slave for a moment to do so. False (errno set) on failure.
bool discardUnread(const QString &slavePath);

} // namespace m7pty
