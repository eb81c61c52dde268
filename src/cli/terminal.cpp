#include "cli/terminal.h"

#include <csignal>
#include <cstdlib>

#ifdef Q_OS_WIN
#include <QMetaObject>

#include <atomic>
#include <windows.h>
#else
#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

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

#ifdef Q_OS_WIN

bool stdinIsTerminal()
{
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

int stderrColumns()
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info))
        return 80;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

// A console whose output understands the escape codes of the progress line
// (Windows 10 and later, once asked); a pipe, a file or an older console
// gets no progress line.
bool stderrIsTerminal()
{
    const HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (err == INVALID_HANDLE_VALUE || !::GetConsoleMode(err, &mode))
        return false;
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING)
        || ::SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

namespace {
// Windows calls a console control handler on a thread of its own: it only
// counts and posts the news to the object's thread.
std::atomic<int> g_count{0};
std::atomic<Interrupts *> g_target{nullptr};

BOOL WINAPI onConsoleControl(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT)
        return FALSE; // closing the console or logging off: the default ends the process
    if (++g_count > 1)
        std::_Exit(130);
    if (Interrupts *target = g_target.load())
        QMetaObject::invokeMethod(target, [target] { emit target->interrupted(); }, Qt::QueuedConnection);
    return TRUE;
}
} // namespace

Interrupts::Interrupts(QObject *parent) : QObject(parent)
{
    g_count = 0;
    g_target = this;
    // Connected first, so that seen() is true in every slot of interrupted().
    connect(this, &Interrupts::interrupted, this, [this] { m_count = g_count; });
    ::SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

Interrupts::~Interrupts()
{
    ::SetConsoleCtrlHandler(onConsoleControl, FALSE);
    g_target = nullptr;
}

#else

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

#endif

} // namespace cli
