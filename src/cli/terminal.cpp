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
#include <unistd.h>
#endif

namespace cli {

QString ProgressLine::format(const QString &what, int done, int total, double seconds)
{
    const double rate = seconds > 0 ? done / seconds : 0;
    QString line = QStringLiteral("%1 %2").arg(what, -8).arg(done, 5);
    if (total > 0) {
        constexpr int width = 20;
        const int filled = int(qint64(width) * qMin(done, total) / total);
        line += QStringLiteral("/%1 [%2%3]").arg(total).arg(QString(filled, QLatin1Char('#')), QString(width - filled, QLatin1Char('.')));
    }
    line += QStringLiteral(" %1/s").arg(rate, 7, 'f', 1);
    if (total > 0 && rate > 0) {
        const int left = int((total - done) / rate + 0.5);
        line += QStringLiteral("  %1:%2 left").arg(left / 60).arg(left % 60, 2, 10, QLatin1Char('0'));
    }
    return line;
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
    const QString line = format(what, done, total, m_started.elapsed() / 1000.0);
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

bool stderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
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
        if (m_count > 1)
            std::_Exit(130);
        emit interrupted();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

Interrupts::~Interrupts()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

#endif

} // namespace cli
