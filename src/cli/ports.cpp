#include "cli/ports.h"

#include "link/portfailure.h"
#include "link/portmap.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

namespace cli {

int comNumberOf(const QString &device, const std::function<QString(int)> &mapping)
{
    for (int n = 1; n <= 4; ++n)
        if (mapping(n) == device)
            return n;
    return 0;
}

QHash<QString, QString> lastingNames(const QString &folder)
{
    QHash<QString, QString> names;
    const QDir dir(folder);
    for (const QFileInfo &link : dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString device = link.canonicalFilePath();
        if (link.isSymLink() && !device.isEmpty() && !names.contains(device))
            names.insert(device, link.absoluteFilePath());
    }
    return names;
}

QList<PortRow> listPorts()
{
    QList<PortRow> rows;
    const QHash<QString, QString> lasting = lastingNames(QStringLiteral("/dev/serial/by-id"));
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        PortRow r;
        r.device = info.systemLocation();
        r.com = comNumberOf(r.device, comm::platformPortName);
        r.description = info.description();
        if (info.hasVendorIdentifier() && info.hasProductIdentifier())
            r.usb = QStringLiteral("%1:%2")
                        .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                        .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
        r.serial = info.serialNumber();
        r.holder = comm::lockHolder(comm::lockFilePathFor(r.device));
        r.byId = lasting.value(QFileInfo(r.device).canonicalFilePath());
        rows << r;
    }
    return rows;
}

QStringList portLines(const QList<PortRow> &rows)
{
    QList<QStringList> cells{{QStringLiteral("DEVICE"), QStringLiteral("COM"), QStringLiteral("DESCRIPTION"),
                              QStringLiteral("USB"), QStringLiteral("SERIAL"), QStringLiteral("HELD BY"),
                              QStringLiteral("LASTING NAME")}};
    const auto orDash = [](const QString &s) { return s.isEmpty() ? QStringLiteral("-") : s; };
    for (const PortRow &r : rows)
        cells << QStringList{r.device, r.com > 0 ? QStringLiteral("COM%1").arg(r.com) : QStringLiteral("-"),
                             orDash(r.description), orDash(r.usb), orDash(r.serial), orDash(r.holder),
                             orDash(r.byId)};
    QList<int> width(cells.first().size(), 0);
    for (const QStringList &c : cells)
        for (int i = 0; i < c.size(); ++i)
            width[i] = std::max(width[i], int(c[i].size()));
    QStringList lines;
    for (const QStringList &c : cells) {
        QString line;
        for (int i = 0; i < c.size(); ++i)
            line += i + 1 < c.size() ? c[i].leftJustified(width[i] + 2) : c[i];
        lines << line;
    }
    return lines;
}

} // namespace cli
