#pragma once
// unit::Engine: the unit's protocol as a client that waits for its answers,
// for the whole-table jobs of the command-line tool and of the window.
//
// The protocol has no request ids: an answer belongs to a frame only by its
// order, and an entry report carries no position (the reports of a table
// are numbered by their arrival). So the engine
//   - sends a frame only into a quiet line: whatever came since the last
//     answer ended (a greeting after opening, an unasked status, the rest
//     of an answer given up on, an answer still running from a program
//     that had the port before) is let finish first, however long the unit
//     keeps talking, and then forgotten;
//   - waits for the lines that end the answer, as long as the unit keeps
//     talking: the timeout counts from the last byte received;
//   - takes a whole-table answer as one transaction: from the first entry
//     report on, every line must be an entry report until the closing
//     status; anything else (a line cut or merged on the way, a reset)
//     makes the answer void. A table read later in the same run must have
//     the size of the first one;
//   - sends a frame that got no complete answer once more, from a quiet
//     line. After a repeated frame the unit may answer both copies: the
//     second answer is waited for too, so that it is never taken for the
//     answer of the next frame, and the last complete answer counts.
//     A second failure ends the operation.
//
//   frame          answer that ends it
//   [r]            entry reports, one per slot, then a status reply
//   [rPPPP]        one entry report (none for a slot the unit lacks), status
//   [wPPPPOOOOG]   a status reply
//   [d]            (ERASING), an entry report per slot, (ERASED); sent once
//
// Every wait runs the event loop of the calling thread. Reads and the erase
// give up at once when interrupted; a write finishes the frame in flight
// (its answer is waited for), so that the caller knows what the unit holds.

#include "link/mscomm.h"
#include "link/replies.h"
#include "table/entry.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

namespace unit {

// The quiet time that lets a greeting or an unasked line finish before a
// frame goes out.
constexpr int kSettleQuietMs = 150;
// Before a whole-table read right after opening: a gap this long shows that
// no answer is running (at 115,200 baud a byte follows another within
// 0.1 ms, and USB adapters pass bytes on at least every 16 ms). A greeting
// may come meanwhile: lines before the first entry report are no part of
// the table.
constexpr int kStreamGapMs = 25;
// The longest the unit may keep talking before a frame can go out: its
// longest answer, 10,000 entry reports of 18 bytes at 11,520 bytes/s, is
// 15.6 s.
constexpr int kLongestAnswerMs = 20000;

enum class Outcome {
    Done,
    Silent,      // no answer within the timeout, twice (once for an erase)
    Garbled,     // the answer was void twice: lines lost, cut or merged
    Talking,     // the unit kept talking: no quiet line to send into
    Lost,        // the port went away (cable or adapter pulled)
    Interrupted, // interrupt() was called
};

// done of total; total 0 when it is not known yet.
using Progress = std::function<void(int done, int total)>;

class Engine : public QObject {
    Q_OBJECT
public:
    // portNumber (1..4) names the port in failure texts; 0 for a device
    // given by its path.
    Engine(const QString &device, int portNumber, QObject *parent = nullptr);
    ~Engine() override;

    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    int timeoutMs() const { return m_timeoutMs; }
    // Called with "> frame" for every frame sent and "< line" for every
    // line received, CR and LF written as \r and \n.
    void setTrace(std::function<void(const QString &)> trace) { m_trace = std::move(trace); }

    // Opens the port. False with error() on failure.
    bool open();
    void close();
    bool isOpen() const;
    QString device() const { return m_device; }
    // Why the port could not be opened, or why it was lost.
    QString error() const { return m_error; }

    // The whole table, in slot order.
    Outcome readTable(table::Table &table, const Progress &progress = {});
    // One position (1-based); exists is false when the unit has no such slot.
    Outcome readEntry(int position, table::Entry &entry, bool &exists);
    // Writes one position; Done once the unit has confirmed it.
    Outcome writeEntry(int position, const table::Entry &entry);
    // Erases the whole table; reported counts the slots the unit reported.
    Outcome erase(int &reported, const Progress &progress = {});
    // Waits up to the timeout for the two information lines (either may
    // have come with the greeting); the texts between the brackets. Sends
    // nothing.
    Outcome waitForInfo(QString &first, QString &second);

    // Ends the current wait as the operation allows, and every later one.
    void interrupt();
    bool interrupted() const { return m_interrupted; }

    // How many times the frame of the last operation was sent (0 when it
    // never went out).
    int lastSends() const { return m_sends; }

    // The last information lines seen (empty when none came).
    QString info1() const { return m_info1; }
    QString info2() const { return m_info2; }

signals:
    // Something a wait may be waiting for happened: a line, the loss of the
    // port, an interrupt.
    void wake();

private:
    enum class Answer { Table, Entry, Status };
    enum class Got { Done, Silent, Void, Stopped };

    Outcome ask(const QString &frame, Answer kind, QStringList &answer, const Progress &progress, bool abortable);
    Got collect(Answer kind, QStringList &answer, const Progress &progress, bool abortable, int firstLineMs);
    // Runs the event loop until a line has come (true) or timeoutMs passed
    // since the call or the last byte, the port was lost or (abortable) an
    // interrupt came (false).
    bool nextLine(QString &line, int timeoutMs, bool abortable);
    Outcome quietLine(int quietMs, bool abortable);
    void pullWaiting();
    void onReceived();
    void onLost(const QString &why);
    void note(QChar direction, const QString &text);
    Outcome stopped() const;

    QString m_device;
    comm::MSComm *m_port = nullptr;
    int m_timeoutMs = 3000;
    std::function<void(const QString &)> m_trace;
    comm::ReplyReader m_reader;
    QStringList m_lines;        // lines received and not yet taken; "" for dropped text
    bool m_unsettled = true;    // something may still be coming: wait for quiet before a frame
    bool m_freshlyOpened = false;
    bool m_voided = false;      // an answer was given up on in its middle
    bool m_statusSinceVoid = false; // ... and a status came after that
    int m_tableSize = -1;       // the size of the first table read in this run
    int m_sends = 0;
    QString m_error;
    QString m_info1, m_info2;
    bool m_lost = false;
    bool m_interrupted = false;
    QElapsedTimer m_lastByte;
};

} // namespace unit
