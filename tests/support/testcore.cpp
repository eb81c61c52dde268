#include "testcore.h"

#include "m7pty.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace testing {

// ---------------------------------------------------------------- ScratchDir

ScratchDir::ScratchDir() : m_previous(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
}

ScratchDir::~ScratchDir()
{
    QDir::setCurrent(m_previous);
    // Undo permission changes a test made, so that the directory can go.
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// ---------------------------------------------------------------- Pty

Pty::Pty()
{
    QString error;
    m_master = m7pty::openMaster(m_slave, error);
    if (m_master < 0)
        qWarning("no pseudo-terminal: %s", qPrintable(error));
}

Pty::~Pty()
{
    hangUp();
}

bool Pty::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    QElapsedTimer t;
    t.start();
    while (done < bytes.size() && t.elapsed() < 5000) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        else
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return done == bytes.size();
}

QByteArray Pty::read(int atLeast, int timeoutMs)
{
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (got.size() < atLeast && t.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        char buf[4096];
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0)
            got.append(buf, n);
        else
            QTest::qWait(1);
    }
    return got;
}

QByteArray Pty::drain(int settleMs)
{
    QTest::qWait(settleMs);
    return read(1 << 30, 1);
}

void Pty::hangUp()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

unsigned Pty::outputSpeed() const
{
    termios t{};
    return m_master >= 0 && ::tcgetattr(m_master, &t) == 0 ? unsigned(::cfgetospeed(&t)) : 0;
}

// ---------------------------------------------------------------- files

bool put(const QString &name, const QByteArray &bytes)
{
    QFile f(name);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size() && f.flush();
}

QByteArray contents(const QString &name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArrayLiteral("<missing>");
}

// ---------------------------------------------------------------- event loop

namespace {

// Like QTest::qWait(), but blocked in the event loop between events rather
// than sleeping: timers and notifiers are served when they are due. Objects
// closed with deleteLater() outside any event loop go too, as in qWait().
void runEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

double cpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

bool waitFor(const std::function<bool()> &pred, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs, Qt::PreciseTimer);
    while (!pred()) {
        if (deadline.hasExpired())
            return pred();
        runEventLoop(2);
    }
    return true;
}

bool staysIdle(int ms, double maxShare)
{
    const double before = cpuSeconds();
    runEventLoop(ms);
    const double used = cpuSeconds() - before;
    if (used < ms / 1000.0 * maxShare)
        return true;
    QTest::qFail(qPrintable(QStringLiteral("%1 s of CPU in %2 s: something spins").arg(used).arg(ms / 1000.0)),
                 __FILE__, __LINE__);
    return false;
}

} // namespace testing
