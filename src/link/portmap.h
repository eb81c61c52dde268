#pragma once
#include <QString>

namespace comm {

// The device that port number n (COM n) stands for on this computer.
// Windows: COMn. Linux: /dev/ttyUSB{n-1} if present, else /dev/ttyACM{n-1}
// if present, else /dev/ttyS{n-1}.
QString platformPortName(int n);

} // namespace comm
