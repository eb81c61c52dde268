// Receive processing throughput: 10,000 entry reports, cut into 64-byte
// pieces as a serial port would deliver them, through ProcessReceived of a
// real main window (whole-table read), offscreen. Prints the CPU time and
// how many times faster that is than the same bytes on the wire at
// 115200 baud 8N1 (11,520 bytes per second).

#include "app/controls.h"
#include "app/frmM7_1.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <ctime>

namespace {
double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}
} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    QTemporaryDir scratch;
    QDir::setCurrent(scratch.path());

    constexpr int kReports = 10000;
    QByteArray wire;
    for (int i = 0; i < kReports; ++i)
        wire += QStringLiteral("(%1%2 )\r\n").arg(i % 8000, 4, 10, QLatin1Char('0')).arg(800000000 + i).toLatin1();
    wire += "(K)\r\n";
    QList<QString> pieces;
    for (qsizetype at = 0; at < wire.size(); at += 64)
        pieces << QString::fromLatin1(wire.mid(at, 64));

    app::frmM7_1 w([](int) { return QString(); });
    w.Timer1->stop();
    w.show();
    QApplication::processEvents();

    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        w.List1->clear();
        w.opMode = app::OpMode::ReadAll;
        w.linkState = app::LinkState::ReadSent;
        const double start = cpuSeconds();
        for (const QString &p : pieces)
            w.ProcessReceived(*w.txtTerm, p);
        QApplication::processEvents(); // the list lays its rows out
        const double used = cpuSeconds() - start;
        if (w.List1->count() != kReports || w.opMode != app::OpMode::Idle) {
            std::fprintf(stderr, "receive_bench: %d rows, opMode %d\n", w.List1->count(), int(w.opMode));
            return 1;
        }
        best = std::min(best, used);
    }
    const double wireSeconds = double(wire.size()) / 11520.0;
    std::printf("receive %d reports in %lld pieces: %.1f ms CPU, wire %.2f s, %.0fx faster than the wire\n", kReports,
                static_cast<long long>(pieces.size()), best * 1000, wireSeconds, wireSeconds / best);
    std::fflush(stdout);
    std::_Exit(0);
}
