#include "m7pty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace m7pty {

namespace {
QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}
} // namespace

bool makeRaw(int fd)
{
    termios tio;
    if (::tcgetattr(fd, &tio) != 0)
        return false;
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, B115200); // only what stty shows; a pseudo-terminal has no line rate
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

int openMaster(QString &slavePath, QString &error)
{
    const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = systemError("posix_openpt");
        return -1;
    }
    char name[128];
    if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0 || ::ptsname_r(fd, name, sizeof name) != 0) {
        error = systemError("preparing the pseudo-terminal");
        ::close(fd);
        return -1;
    }
    // Raw now: a fresh pseudo-terminal echoes and translates CR, and the
    // program may not set it up itself. The settings stay with the terminal
    // as long as the master is open. This open and close also puts the
    // master into the state "slave closed" (POLLHUP); a slave never opened
    // shows no POLLHUP.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        error = systemError(name);
        ::close(fd);
        return -1;
    }
    const bool raw = makeRaw(slave);
    if (!raw)
        error = systemError("setting the pseudo-terminal raw");
    ::close(slave);
    if (!raw) {
        ::close(fd);
        return -1;
    }
    slavePath = QString::fromLocal8Bit(name);
    return fd;
}

bool discardUnread(const QString &slavePath)
{
    const int slave = ::open(slavePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0)
        return false;
    const bool flushed = ::tcflush(slave, TCIFLUSH) == 0;
    const int saved = errno;
    ::close(slave);
    errno = saved;
    return flushed;
}

} // namespace m7pty
