#pragma once
// Why a serial port cannot be opened, in words a technician can act on, and
// who holds a port: the lock file the serial port class takes for a device.
// Free of widgets: the window and the command-line tool say the same.

#include <QString>

namespace comm {

// The text shown when a port cannot be opened: the platform's own text,
// followed by what it most likely means for the user and what to do, for the
// three usual causes: no such device, no permission (the user is not in the
// "dialout" group), and the port held by another program (its lock file).
// portNumber 0 names a device given by its path rather than a COM number.
QString openFailureText(int portNumber, const QString &device, int serialPortError, const QString &platformText);

// The lock file QSerialPort takes for a device, where it looks for it.
QString lockFilePathFor(const QString &device);

// "1234 (name)" for the process named in a lock file, "1234" when its name
// cannot be read, empty when there is no readable lock file.
QString lockHolder(const QString &lockFile);

} // namespace comm
