// window_bench: the real main window, shown, on the serial port of a
// simulated unit (build/m7sim running as its own process; DEVICE is the
// pseudo-terminal it printed). Run it in a scratch directory: the window
// deletes "temp.tfo" there.
//
//   window_bench read DEVICE N     N whole-table reads ("Read" with "Read
//                                  All" ticked); for each, the seconds from
//                                  the click until the window has processed
//                                  the closing status reply:   read <s> <rows>
//   window_bench rss DEVICE        one whole-table read, then the resident
//                                  memory once the list is painted: rss <kB>
//   window_bench idle DEVICE S     connected and told "ready", then S seconds
//                                  of event loop: idle <CPU s> <wall s>
//
// Every mode first prints: qt <version> <platform>

#include "app/frmM7_1.h"
#include "app/controls.h"
#include "procstats.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "window_bench: %s\n", what);
    std::fflush(stdout);
    std::_Exit(1);
}

// Runs the event loop until done() holds after the window has handled a port
// event, or timeoutMs passed. The check is connected after the window's own
// handler, so it sees what that handler made of the bytes; *doneAtNs gets the
// moment it first held.
bool waitFor(app::frmM7_1 &w, const std::function<bool()> &done, int timeoutMs, long long *doneAtNs = nullptr)
{
    if (done())
        return true;
    QEventLoop loop;
    bool ok = false;
    QObject::connect(w.MSComm1, &comm::MSComm::OnComm, &loop, [&] {
        if (!ok && done()) {
            ok = true;
            if (doneAtNs)
                *doneAtNs = bench::monotonicNs();
            loop.quit();
        }
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return ok;
}

void runEventLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void showAndWaitExposed(QWidget &w)
{
    w.show();
    QElapsedTimer t;
    t.start();
    while (!(w.windowHandle() && w.windowHandle()->isExposed())) {
        if (t.elapsed() > 10000)
            fail("the window was not exposed within 10 s");
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    runEventLoopFor(100); // the first frame is painted
}

// Connects (the red lamp's click) and waits for the unit's start-up notice.
void connectToUnit(app::frmM7_1 &w)
{
    w.imgNotConnected_Click();
    if (!w.MSComm1->PortOpen())
        fail("the port did not open");
    if (!waitFor(w, [&] { return w.linkState == app::LinkState::Ready; }, 5000))
        fail("no start-up notice from the unit within 5 s");
}

constexpr int kRows = 1000;

// "Read" with "Read All" ticked; the nanoseconds from the click until the
// window has processed the closing status reply.
long long readAll(app::frmM7_1 &w)
{
    w.Check1->setChecked(true);
    long long end = 0;
    const long long start = bench::monotonicNs();
    w.Command2_Click();
    const bool ok = waitFor(
        w,
        [&] {
            return w.linkState == app::LinkState::Ready && w.opMode == app::OpMode::Idle && w.List1->count() == kRows;
        },
        10000, &end);
    if (!ok) {
        std::fprintf(stderr, "window_bench: read incomplete: %d rows, linkState %d, opMode %d\n", w.List1->count(),
                     int(w.linkState), int(w.opMode));
        fail("whole-table read did not finish within 10 s");
    }
    return end - start;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3)
        fail("usage: window_bench read|rss|idle DEVICE [N|SECONDS]");
    const char *mode = argv[1];
    const QString device = QString::fromLocal8Bit(argv[2]);
    const int count = argc > 3 ? std::atoi(argv[3]) : 0;

    int qargc = 1;
    QApplication app(qargc, argv);
    QApplication::setApplicationName(QStringLiteral("m7prog"));
    std::printf("qt %s %s\n", qVersion(), qPrintable(QGuiApplication::platformName()));

    app::frmM7_1 w([device](int) { return device; });
    showAndWaitExposed(w);
    connectToUnit(w);

    if (std::strcmp(mode, "read") == 0) {
        for (int i = 0; i < std::max(count, 1); ++i) {
            const long long ns = readAll(w);
            std::printf("read %.6f %d\n", double(ns) / 1e9, w.List1->count());
            std::fflush(stdout);
            runEventLoopFor(300); // the list is painted, the line is quiet
        }
    } else if (std::strcmp(mode, "rss") == 0) {
        readAll(w);
        runEventLoopFor(500); // the list and the labels are painted
        std::printf("rss %ld\n", bench::vmRssKb());
    } else if (std::strcmp(mode, "idle") == 0) {
        const int ms = 1000 * std::max(count, 1);
        const double cpu0 = bench::cpuSeconds();
        const long long t0 = bench::monotonicNs();
        runEventLoopFor(ms);
        const double cpu = bench::cpuSeconds() - cpu0;
        const double wall = double(bench::monotonicNs() - t0) / 1e9;
        std::printf("idle %.4f %.3f\n", cpu, wall);
    } else {
        fail("unknown mode");
    }
    std::fflush(stdout);
    w.MSComm1->release();
    std::_Exit(0);
}
