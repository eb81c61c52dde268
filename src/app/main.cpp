// m7prog: programs the GSM-M7/1 unit over a serial cable.

#include "app/frmM7_1.h"
#include "link/portmap.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("m7prog"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.m7prog.m7prog"));

    app::frmM7_1 window(comm::platformPortName);
    window.show();
    return app.exec();
}
