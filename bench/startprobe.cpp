// startprobe: a shared library preloaded (LD_PRELOAD) into an unmodified Qt
// program to time its start-up. When the application object is created it
// installs an event filter; at the first expose of a visible window it lets
// the window handle the expose (so the first frame is painted), then writes
//
//     <monotonic ns> <VmRSS kB> <platform>\n
//
// to the file descriptor named by STARTPROBE_FD and ends the process at once.
// Without STARTPROBE_FD it does nothing.

#include "procstats.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

class FirstExpose : public QObject
{
public:
    explicit FirstExpose(int fd) : m_fd(fd) {}

    bool eventFilter(QObject *obj, QEvent *ev) override
    {
        if (ev->type() != QEvent::Expose)
            return false;
        auto *window = qobject_cast<QWindow *>(obj);
        if (!window || !window->isVisible() || !window->isExposed())
            return false;
        obj->event(ev); // the window paints its first frame
        const long long ns = bench::monotonicNs();
        char line[160];
        const int n = std::snprintf(line, sizeof line, "%lld %ld %s\n", ns, bench::vmRssKb(),
                                    qPrintable(QGuiApplication::platformName()));
        if (n > 0 && ::write(m_fd, line, size_t(n)) != n)
            ::_exit(3);
        ::_exit(0);
    }

private:
    int m_fd;
};

void installProbe()
{
    const char *fd = std::getenv("STARTPROBE_FD");
    if (!fd || !*fd)
        return;
    QCoreApplication::instance()->installEventFilter(new FirstExpose(std::atoi(fd)));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installProbe)
