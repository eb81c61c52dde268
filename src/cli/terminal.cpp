#include "cli/terminal.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace cli {

QString ProgressLine::format(const QString &what, int done, int total, double seconds, int width)
{
    const double rate = seconds > 0 ? done / seconds : 0;
    const QString count = QStringLiteral("%1 %2").arg(what, -8).arg(done, 5) +
                          (total > 0 ? QStringLiteral("/%1").arg(total) : QString());
    QString bar, speed = QStringLiteral(" %1/s").arg(rate, 7, 'f', 1), left;
    if (total > 0) {
        constexpr int cells = 20;
        const int filled = int(qint64(cells) * qMin(done, total) / total);
        bar = QStringLiteral(" [%1%2]").arg(QString(filled, QLatin1Char('#')), QString(cells - filled, QLatin1Char('.')));
    }
    if (total > 0 && rate > 0) {
        const int s = int((total - done) / rate + 0.5);
        left = QStringLiteral("  %1:%2 left").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
    }
    // The last column stays free: a line that fills it wraps on some terminals.
    const int room = qMax(1, width - 1);
    for (const QString &line : {count + bar + speed + left, count + speed + left, count + left})
        if (line.size() <= room)
            return line;
    return (count + left).left(room);
}

void ProgressLine::update(const QString &what, int done, int total)
{
    if (!m_enabled)
        return;
    if (what != m_what) {
        m_what = what;
        m_started.start();
        m_drawn.invalidate();
    }
    const bool last = total > 0 && done >= total;
    if (m_drawn.isValid() && m_drawn.elapsed() < 100 && !last)
        return;
    m_drawn.start();
    const QString line = format(what, done, total, m_started.elapsed() / 1000.0, stderrColumns());
    std::fprintf(m_out, "\r\033[K%s", line.toLocal8Bit().constData());
    std::fflush(m_out);
    m_shown = true;
}

void ProgressLine::clear()
{
    if (!m_shown)
        return;
    std::fprintf(m_out, "\r\033[K");
    std::fflush(m_out);
    m_shown = false;
}

bool stdinIsTerminal()
{
    return ::isatty(STDIN_FILENO) == 1;
}

bool stderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

int stderrColumns()
{
    struct winsize ws {};
    return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 ? ws.ws_col : 80;
}

namespace {
int g_pipe[2] = {-1, -1};

void onSignal(int)
{
    const int saved = errno;
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &c, 1);
    errno = saved;
}
} // namespace

Interrupts::Interrupts(QObject *parent) : QObject(parent)
{
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char buf[16];
        while (::read(g_pipe[0], buf, sizeof buf) > 0)
            ++m_count;
        if (m_count > 1) {
            if (m_lastWords)
                std::fprintf(stderr, "m7ctl: %s\n", m_lastWords().toLocal8Bit().constData());
            std::fflush(stderr);
            std::_Exit(130);
        }
        emit interrupted();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGHUP, &sa, nullptr);
}

Interrupts::~Interrupts()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGHUP, SIG_DFL);
}

} // namespace cli
