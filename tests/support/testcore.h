#pragma once
// The widget-free part of the fixtures shared by the test programs (Qt Core
// and Qt Test only): scratch directories, the pseudo-terminal a test holds,
// waiting on the event loop, and the check that nothing spins.

#include <QByteArray>
#include <QObject>
#include <QString>
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
    // The output speed the program set on its side (a termios speed_t:
    // the master reads the slave's settings); 0 when unknown.
    unsigned outputSpeed() const;

private:
    int m_master = -1;
    QString m_slave;
};

// The file helpers of a test in its scratch directory. put() writes `bytes`
// as the whole file `name` (false when it cannot); contents() reads a whole
// file, and "<missing>" for a file that cannot be read, so that a missing
// file never equals an empty one.
bool put(const QString &name, const QByteArray &bytes);
QByteArray contents(const QString &name);

// Runs the event loop until pred() holds or timeoutMs passed; returns pred().
// Between events it looks at pred() every 2 ms, so that a condition another
// thread brings about is seen too.
bool waitFor(const std::function<bool()> &pred, int timeoutMs = 5000);

// Runs the event loop for `ms` and checks that this process stays idle
// meanwhile: less than `maxShare` of one core (user + system time). A loop
// left spinning, e.g. on a port whose device went away, fails the running
// test with the time used; true when idle.
bool staysIdle(int ms = 2000, double maxShare = 0.1);

} // namespace testing
