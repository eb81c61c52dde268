#include "testsupport.h"

#include "app/controls.h"
#include "app/msgbox.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
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

// ---------------------------------------------------------------- ScriptedBoxes

static QString describe(const QString &text, int style, const QString &title)
{
    QString t = text;
    t.replace(QLatin1Char('\r'), QLatin1String("<CR>"));
    return QStringLiteral("\"%1\" style %2 title \"%3\"").arg(t).arg(style).arg(title);
}

ScriptedBoxes::ScriptedBoxes()
{
    m_previous = app::setMsgBoxResponder(
        [this](const QString &text, int style, const QString &title) { return respond(text, style, title); });
}

ScriptedBoxes::~ScriptedBoxes()
{
    app::setMsgBoxResponder(m_previous);
    if (!m_checked && !m_expected.isEmpty())
        allShown();
}

ScriptedBoxes &ScriptedBoxes::expect(const QString &text, int style, const QString &title, int answer)
{
    m_expected.append({text, style, title, answer});
    m_checked = false;
    return *this;
}

bool ScriptedBoxes::allShown()
{
    m_checked = true;
    if (m_expected.isEmpty())
        return true;
    const Box &b = m_expected.first();
    QTest::qFail(qPrintable(QStringLiteral("%1 expected message box(es) not shown, the first: %2")
                                .arg(m_expected.size())
                                .arg(describe(b.text, b.style, b.title))),
                 __FILE__, __LINE__);
    return false;
}

int ScriptedBoxes::respond(const QString &text, int style, const QString &title)
{
    m_shown.append({text, style, title, 0});
    if (m_expected.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("unexpected message box: %1").arg(describe(text, style, title))),
                     __FILE__, __LINE__);
        return (style & 0x0F) == app::vbYesNo ? app::vbNo : app::vbOK;
    }
    const Box want = m_expected.takeFirst();
    if (want.text != text || want.style != style || want.title != title) {
        QTest::qFail(qPrintable(QStringLiteral("message box %1, expected %2")
                                    .arg(describe(text, style, title), describe(want.text, want.style, want.title))),
                     __FILE__, __LINE__);
    }
    m_shown.last().answer = want.answer;
    return want.answer;
}

// ---------------------------------------------------------------- Pty

Pty::Pty()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        hangUp();
        return;
    }
    m_slave = QString::fromLocal8Bit(::ptsname(m_master));
    // Raw from the start, so that nothing is echoed or translated before the
    // program's port sets its own mode.
    const int s = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY);
    if (s >= 0) {
        termios t{};
        ::tcgetattr(s, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(s, TCSANOW, &t);
        ::close(s);
    }
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

// ---------------------------------------------------------------- window

WindowUnderTest::WindowUnderTest(QStringList devs, const app::WindowDesign &design) : devices(std::move(devs))
{
    w = std::make_unique<app::frmM7_1>(
        [this](int n) {
            if (n >= 1 && n <= devices.size() && !devices[n - 1].isEmpty())
                return devices[n - 1];
            return QStringLiteral("/nonexistent/m7-test-com%1").arg(n);
        },
        design);
    w->EndApplication = [this] { ++endRequests; };
}

WindowUnderTest::~WindowUnderTest() = default;

QStringList rowsOf(const app::frmM7_1 &w)
{
    QStringList rows;
    for (int i = 0; i < w.List1->count(); ++i)
        rows << w.List1->item(i)->text();
    return rows;
}

bool waitFor(const std::function<bool()> &pred, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QTest::qWait(1);
    }
    return true;
}

double processCpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

bool connectWindow(app::frmM7_1 &w)
{
    w.imgNotConnected_Click();
    return w.MSComm1->PortOpen() && w.connectedLampShown();
}

} // namespace testing
