#pragma once
// m7sim::Unit — a GSM-M7/1 unit behind a pseudo-terminal.
//
// The tool opens the slave side (slavePath(), e.g. /dev/pts/7) as if it were
// the serial port the unit is plugged into; the Unit sits on the master side
// and answers the tool's command frames as the unit does (see m7protocol.h),
// optionally at the real line rate, with faults of a bad line, and as a unit
// that is slow to write, loses a write or is unplugged during a run of writes.
// writeProcessed() lets a test look at the table after every write.
//
// Typical use:
//
//     m7sim::Options o;
//     o.slotCount = 100;
//     o.paced = true;
//     m7sim::Unit unit(o);
//     if (!unit.start())
//         qFatal("%s", qPrintable(unit.errorString()));
//     // ... the tool opens unit.slavePath() and talks to it ...
//
// The Unit lives on the Qt event loop of the thread that owns it and costs
// no CPU while idle:
//   - While no slave is open the master reports POLLHUP (and read() gives
//     EIO) all the time, so it is not watched by a socket notifier then but
//     polled every 25 ms for the slave being opened.
//   - While a slave is open, a read notifier waits for the tool's bytes and a
//     write notifier is armed only while the pseudo-terminal is full.
//   - The pacing timer runs only while bytes are queued.
// The pseudo-terminal is put into raw mode before the tool can open it, so
// that nothing is echoed back or translated on the way.
//
// Output while no slave is open is thrown away: bytes written into a closed
// pseudo-terminal would wait there and reach the next program opening it;
// an answer being sent when the tool closes the port ends there. For the
// same reason, what the tool had not read when it closed the port is
// thrown away from the pseudo-terminal: a serial port opened again does not
// hand out bytes from before it was opened.
//
// A real unit does not see the port being closed (talkThroughClose): an
// answer it has begun goes on leaving at the line rate (at once, unpaced),
// and its bytes are lost while no slave is open; a program that opens the
// port before the answer is over gets its tail from that moment on, as on a
// serial line. While bytes are leaving into a closed port, the unit looks
// for the port being opened at every step (not only every 25 ms), so the
// tail starts within a pacing step (2 ms) of the open.
//
// Paced input: with `paced`, the tool's bytes also take their time on the
// line. A frame is carried out once its last byte would have arrived at
// 11520 bytes/s: every run of bytes read keeps the receiving line busy for
// bytes / 11520 s, from when it was read or from when the line was last
// busy, whichever is later. frameReceived() is emitted then (within a
// millisecond, the timer's step), and the frame queues behind a write still
// being processed (writeDelayMs) as usual. A frame still on its way when
// the tool closes the port is carried out all the same (its bytes were
// sent); a hang-up loses it. Unpaced, a frame is carried out once read.
//
// Per-command faults in order: the reply lines are cut (silenceAfterLines,
// hangupAfterLines), then the lost byte (loseByte) is taken out of what
// remains, then the pause (pauseAfterLines) splits it. After a pause the
// paced line starts afresh: the rest goes at the line rate, not in a burst.
//
// An answer is fully out when outputIdle() holds; outputDrained() is emitted
// when it becomes so, also after a pause, a lost byte, or an answer that
// left into a closed port (talkThroughClose). lineSent() is emitted when a
// line's last byte has left the unit: with talkThroughClose also for a line
// lost in a closed port (slaveOpen() is false then); bytesWritten() and
// bytesSent() count only what reached the pseudo-terminal.

#include "m7protocol.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <deque>

class QSocketNotifier;

namespace m7sim {

struct Options
{
    // ("slots" would clash with Qt's keyword macro)
    int slotCount = 1000;   // 1..9999
    quint32 seed = 1;       // the generated table when there is no tableFile
    QString tableFile;      // optional initial table, see parseTableText()
    bool paced = false;     // send, and receive, at 11520 bytes/s
                            // (115200 baud 8N1; see "Paced input" above)
    bool hello = false;     // "(S)" about 100 ms after the tool opens the
                            // port (at once when a command comes first)
    bool info = false;      // the two information lines after the hello and
                            // after every whole-table read
    bool helloWhenAsked = false; // the hello (and information lines) wait
                            // for the first command: a unit that speaks
                            // only when spoken to
    int heartbeatMs = 0;    // > 0: a "(K)" line once the line has been idle
                            // this long, and again every so often
    bool keepLog = true;    // framesReceived() and bytesSent() keep
                            // everything; off for a long-running simulator

    // Faults. The per-command ones count the reply lines of one command
    // (0-based for lfOnlyLine); the hello and heartbeat are no command.
    int silenceAfterLines = -1; // >= 0: after this many reply lines of a
                                // command nothing more for that command
    int splitBytes = 0;         // > 0: every send() goes out in pieces of at
                                // most this many bytes, each piece >= 2 ms
                                // after the one before (its own read)
    QByteArray garbage;         // written in front of the "(" of every line
    int lfOnlyLine = -1;        // >= 0: that reply line of a command ends in
                                // ")" LF instead of ")" CR LF
    int hangupAfterLines = -1;  // >= 0: during a whole-table read, once this
                                // many reply lines are out (and 100 ms given
                                // to read them), the master is closed, as if
                                // the cable were pulled
    int pauseAfterLines = -1;   // >= 0 (with pauseMs > 0): after this many
    int pauseMs = 0;            // reply lines of a command (0: before the
                                // first), the sending of its answer stops for
                                // pauseMs, then the rest follows (no pause
                                // when no line follows)
    int loseByte = 0;           // > 0: the N-th byte (from 1) of every
                                // command's answer is not sent, as if lost on
                                // the line; the rest of the line is as it is
    bool talkThroughClose = false; // the unit does not see the port being
                                // closed: output goes on, lost while no slave
                                // is open (see above)

    // Writes. "The N-th write" counts the write frames that parse, from 1,
    // since the Unit was made (a reopen() goes on counting). Frames are
    // carried out one after the other: a frame that comes while a write is
    // still being processed waits for it.
    int writeDelayMs = 0;       // > 0: every write frame takes this long to
                                // process; then the table changes and the
                                // status reply goes out
    int ignoreWrite = 0;        // > 0: the N-th write is answered with its
                                // status reply as usual but leaves the table
                                // as it is (a unit that lost a write)
    int hangupAfterWrites = 0;  // > 0: once the status reply of the N-th
                                // write is out (and 100 ms given to read
                                // it), the master is closed as for
                                // hangupAfterLines
};

class Unit : public QObject
{
    Q_OBJECT

public:
    explicit Unit(const Options &options = {}, QObject *parent = nullptr);
    ~Unit() override;

    // Creates the pseudo-terminal (raw, no slave open). False with
    // errorString() on failure, also when the table file cannot be read or
    // the options are out of range. True at once when already running.
    bool start();
    bool isRunning() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    bool slaveOpen() const { return m_slaveOpen; }
    const Options &options() const { return m_options; }
    // The faults may be changed while the unit runs: they act from the
    // next command on.
    Options &options() { return m_options; }

    const Table &table() const { return m_table; }
    void setSlot(int index, const Slot &slot);

    // Raw bytes to the tool, through splitting and pacing, after whatever is
    // queued. Dropped while no slave is open.
    void send(const QByteArray &raw);
    // garbage + "(" + body + ")" CR LF, queued as one line.
    void sendLine(const QByteArray &body);

    // Closes the master now: the tool's port sees the device vanish (its
    // read() gives end of file, write() EIO, poll() POLLHUP|POLLERR), and
    // what the tool had not read yet is gone.
    void hangUp();
    // A fresh pseudo-terminal after a hang-up (a new slavePath()); the table
    // is kept. Hangs up first when still running.
    bool reopen();

    // With keepLog: every complete frame received, e.g. "[r0004]\r", and
    // every byte written to the tool, in order.
    QList<QByteArray> framesReceived() const { return m_frames; }
    QByteArray bytesSent() const { return m_sentLog; }
    qint64 linesSent() const { return m_linesSent; } // lines fully written
    bool outputIdle() const { return m_written == m_queued; } // nothing queued
    QString errorString() const { return m_error; }

signals:
    void frameReceived(const QByteArray &frame);
    void lineSent(const QByteArray &line); // once its last byte is written
    void bytesWritten(qint64 count);       // after every write() to the tool
    void outputDrained();                  // the send queue became empty
    void slaveOpened(); // within 25 ms of the tool opening the port
    void slaveClosed(); // the last program holding the port closed it, or hangUp()
    void hungUp();
    // A write frame was carried out: table() holds the slot as written (as
    // it was, for an ignored write); its status reply is not out yet. The
    // slot is the frame's and may lie beyond the table.
    void writeProcessed(int slot);

private:
    void enqueue(const QByteArray &bytes, bool isLine);
    void pump();
    qint64 sendableEnd() const;
    bool talking() const;
    bool pieceAllows(qint64 &limit);
    bool pauseAllows(qint64 &limit);
    bool paceAllows(qint64 &limit);
    bool writeOut(int fd, qint64 limit);
    void afterWriting(bool hadWork);
    void scheduleWrite(qint64 delayNs);
    void onReadable();
    void onProbe();
    void onSlaveOpened();
    void onSlaveClosed();
    void deliverArrived();
    void handleFrame(const QByteArray &frame);
    void carryOutFrames();
    void carryOut(const Command &command);
    void loseAnswerByte(QList<QByteArray> &lines) const;
    void queueHello();
    void dropOutput();
    void armHeartbeat();

    Options m_options;
    Table m_table;
    bool m_tableReady = false;
    FrameSplitter m_splitter;

    int m_master = -1;
    QString m_slavePath;
    bool m_slaveOpen = false;
    QSocketNotifier *m_readNote = nullptr;
    QSocketNotifier *m_writeNote = nullptr;
    QTimer m_probe;       // no slave open: look for one every 25 ms
    QTimer m_writeTimer;  // pacing and piece gaps, only while bytes wait
    QTimer m_helloTimer;
    QTimer m_heartbeat;
    QTimer m_hangupTimer; // the grace between the last line and the hang-up
    QTimer m_writeDelay;  // a write frame being processed (writeDelayMs)
    std::deque<QByteArray> m_frameQueue; // frames received, not yet carried out
    // Paced input: frames read whose last byte is still on its way, with the
    // m_inClock time it arrives; m_inBusyUntil: when the line in falls idle.
    std::deque<std::pair<qint64, QByteArray>> m_arriving;
    QTimer m_arrivalTimer;
    QElapsedTimer m_inClock;
    qint64 m_inBusyUntil = 0;
    int m_writesCarriedOut = 0;

    // The queue: m_out holds the bytes from stream position m_outBase on;
    // positions count every byte ever queued (m_queued) or written (m_written).
    QByteArray m_out;
    qint64 m_outBase = 0;
    qint64 m_queued = 0;
    qint64 m_written = 0;
    std::deque<qint64> m_pieceEnds;                     // splitBytes > 0
    std::deque<std::pair<qint64, QByteArray>> m_lineEnds;
    std::deque<qint64> m_pauses; // stream positions where a pause begins
    QElapsedTimer m_pauseClock;  // valid while a pause runs
    qint64 m_hangupAt = -1; // stream position after which the cable is pulled
    QElapsedTimer m_paceClock;
    qint64 m_paceBase = 0;  // m_written when m_paceClock started
    QElapsedTimer m_pieceClock; // since the last piece went out
    bool m_pieceGap = false;

    QList<QByteArray> m_frames;
    QByteArray m_sentLog;
    qint64 m_linesSent = 0;
    QString m_error;
};

} // namespace m7sim
