#pragma once
// Fixtures shared by the test programs.

#include "app/controls.h"
#include "app/frmM7_1.h"
#include "app/frmSplash.h"
#include "app/msgbox.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

namespace testing {

// Runs the current test case in a scratch directory of its own: the
// program's files ("temp.tfo", "temp.onf") are relative to the current
// directory. Create one in init(), drop it in cleanup().
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// A test class whose every test case runs in a scratch directory of its own.
class ScratchCases : public QObject {
    Q_OBJECT
private slots:
    void init() { m_dir = std::make_unique<ScratchDir>(); }
    void cleanup() { m_dir.reset(); }

private:
    std::unique_ptr<ScratchDir> m_dir;
};

// Answers the program's message boxes. Each expected box is given with its
// text, style and title and the button to press; a box that nobody expected,
// or that differs from the next expected one, fails the running test. Boxes
// expected but never shown fail it when the script is checked or destroyed.
class ScriptedBoxes {
public:
    struct Box {
        QString text;
        int style;
        QString title;
        int answer;
    };
    ScriptedBoxes();
    ~ScriptedBoxes();
    ScriptedBoxes &expect(const QString &text, int style, const QString &title, int answer);
    // Every box shown so far, in order.
    const QList<Box> &shown() const { return m_shown; }
    int pending() const { return int(m_expected.size()); }
    // Fails the test if expected boxes were not shown; true when all were.
    bool allShown();

private:
    int respond(const QString &text, int style, const QString &title);
    QList<Box> m_expected;
    QList<Box> m_shown;
    app::MsgBoxResponder m_previous;
    bool m_checked = false;
};

// A pseudo-terminal: the test holds the master side, the program opens the
// slave side (slavePath()) with its real serial port class.
class Pty {
public:
    Pty();
    ~Pty();
    bool isOpen() const { return m_master >= 0; }
    QString slavePath() const { return m_slave; }
    // Writes bytes to the program.
    bool write(const QByteArray &bytes);
    // Reads what the program sent, running the event loop, until at least
    // `atLeast` bytes came or timeoutMs passed.
    QByteArray read(int atLeast, int timeoutMs = 2000);
    // Everything the program sent that is waiting now (after a short spin).
    QByteArray drain(int settleMs = 50);
    // Closes the master: for the program, the device is gone.
    void hangUp();

private:
    int m_master = -1;
    QString m_slave;
};

// A main window for a test: its port numbers map to the given devices
// (index 1 to 4; missing ones map to a path that does not exist), and an
// accepted close request is recorded instead of ending the process.
struct WindowUnderTest {
    explicit WindowUnderTest(QStringList devices = {}, const app::WindowDesign &design = {});
    ~WindowUnderTest();
    app::frmM7_1 *operator->() const { return w.get(); }
    app::frmM7_1 &operator*() const { return *w; }
    std::unique_ptr<app::frmM7_1> w;
    QStringList devices;
    int endRequests = 0;
};

// The rows of the window's entry list.
QStringList rowsOf(const app::frmM7_1 &w);

// Runs the event loop until pred() holds or timeoutMs passed; returns pred().
bool waitFor(const std::function<bool()> &pred, int timeoutMs = 5000);

// CPU time (user + system) this process has used, in seconds.
double processCpuSeconds();

// Connects the window's port: clicks the red lamp's handler and checks.
bool connectWindow(app::frmM7_1 &w);

} // namespace testing
