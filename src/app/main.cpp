// m7prog: programs the GSM-M7/1 unit over a serial cable.

#include "app/frmM7_1.h"
#include "link/portmap.h"

#include <QApplication>

#include <thread>
#ifdef Q_OS_UNIX
#include <dlfcn.h>
#endif

namespace {
// Every window with text first loads the desktop's font configuration,
// which is a good part of the start-up. It is loaded on a second thread
// while the application connects to the display. The library is the one
// the GUI library already brought in; where there is none, nothing runs.
std::thread loadFontConfiguration()
{
#ifdef Q_OS_UNIX
    using FcInit = int (*)();
    if (const auto init = reinterpret_cast<FcInit>(::dlsym(RTLD_DEFAULT, "FcInit")))
        return std::thread(init);
#endif
    return std::thread();
}
} // namespace

int main(int argc, char *argv[])
{
    std::thread fonts = loadFontConfiguration();
    QApplication app(argc, argv);
    if (fonts.joinable())
        fonts.join();
    QApplication::setApplicationName(QStringLiteral("m7prog"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.m7prog.m7prog"));

    app::frmM7_1 window(comm::platformPortName);
    window.show();
    return app.exec();
}
