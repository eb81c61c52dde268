#pragma once
// The serial ports of this computer as m7ctl lists them.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace cli {

struct PortRow {
    QString device;      // /dev/ttyUSB0
    int com = 0;         // the COM number that maps to it, 0 for none
    QString description; // what the system calls it
    QString usb;         // vendor:product in hex, empty when not USB
    QString serial;      // the adapter's serial number
    QString holder;      // "1234 (name)" of a program holding it, empty when free
    QString byId;        // its lasting name under /dev/serial/by-id, empty for none
};

// The lasting names of devices: each link in `folder` (/dev/serial/by-id)
// by the device it points to.
QHash<QString, QString> lastingNames(const QString &folder);

// The COM number (1..4) whose device, by the window's mapping, is this
// one; 0 for none.
int comNumberOf(const QString &device, const std::function<QString(int)> &mapping);

// The ports QSerialPortInfo finds, with the COM numbers of the window's
// mapping and the holders of their lock files.
QList<PortRow> listPorts();

// A header and one aligned line per port.
QStringList portLines(const QList<PortRow> &rows);

} // namespace cli
