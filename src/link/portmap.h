#pragma once
#include <QString>

#include <functional>

namespace comm {

// The device that port number n (COM n) stands for on this computer.
// Windows: COMn. Linux: /dev/ttyUSB{n-1} if present, else /dev/ttyACM{n-1}
// if present, else /dev/ttyS{n-1}. No device for a number below 1.
QString platformPortName(int n);

// The Linux rule above with the test for a present device given.
QString unixPortName(int n, const std::function<bool(const QString &)> &exists);

} // namespace comm
