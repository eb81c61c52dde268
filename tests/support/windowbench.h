#pragma once
// The main window connected to a simulated unit on COM 1 (library
// m7testbench: m7testsim and m7testsupport).
//
//     WindowBench b(unitOf(40));
//     QVERIFY(b.connect());             // started, connected, greeted
//     b.readAll();                      // Check1 + Command2_Click
//     QVERIFY(b.listShowsUnit());       // the list holds the unit's table
//
// The window's watchdog timer is stopped: a test gives ticks itself with
// b.w->Timer1_Timer().

#include "simkit.h"
#include "testsupport.h"

namespace testing {

struct WindowBench : UnitBench {
    explicit WindowBench(const m7sim::Options &options = unitOf()) : UnitBench(options) {}

    // Starts the unit (unless it runs), makes it the window's COM 1, stops
    // the watchdog timer, connects the window and waits for the unit's
    // greeting: the link ready and "Starting..." in the status line. With
    // `shown`, the window is shown and exposed first. When any of it fails,
    // the running test has failed, saying why, and the result is false:
    // QVERIFY(b.connect()) ends the test function there. After the unit's
    // reopen(), connect() again connects to its new pseudo-terminal.
    bool connect(bool shown = false);
    // Reads the whole table: "All" checked and "Read" clicked.
    void readAll();
    // Waits until the window is connected and ready and its list holds the
    // unit's table, byte for byte as the objects file would.
    bool listShowsUnit();
    // "DELETE ALL", both questions answered with Yes.
    void eraseAll();
    // A click on a row of the list, through the window as the platform
    // delivers it (a right press brings the context-menu event).
    void click(Qt::MouseButton button, int row);
    // "COM 1 (/dev/pts/N)", the port as the window's texts name it.
    QString port() const;

    WindowUnderTest w;
};

} // namespace testing
