#pragma once
// cli::Engine: the unit's protocol as a client that waits for its answers,
// for the whole-table jobs of the command-line tool and of the window.
//
// The protocol has no request ids: an answer belongs to a frame only by its
// order. So the engine
//   - settles after opening the port: a unit may greet each opening (a
//     start-up notice, a status, information lines) at a moment of its own;
//     what comes in is let finish, and a short quiet time must follow;
//   - drops what is pending before each frame (a status can come unasked);
//   - waits for the lines that end the answer, as long as the unit keeps
//     talking: the timeout counts from the last line received;
//   - sends a frame that got no answer once more; a second silence ends
//     the operation.
//
//   frame          answer that ends it
//   [r]            entry reports, one per slot, then a status reply
//   [rPPPP]        one entry report (none for a slot the unit lacks), status
//   [wPPPPOOOOG]   a status reply
//   [d]            (ERASING), an entry report per slot, (ERASED)
//
// Every wait runs the event loop of the calling thread. Reads and the erase
// give up at once when interrupted; a write finishes the frame in flight
// (its answer is waited for), so that the caller knows what the unit holds.

#include "link/mscomm.h"
#include "table/entry.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

namespace cli {

enum class Outcome {
    Done,
    Silent,      // no answer within the timeout, twice
    Lost,        // the port went away (cable or adapter pulled)
    Interrupted, // interrupt() was called
    Refused,     // the unit answered, but not with what was asked for
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

    // Opens the port and settles. False with error() on failure.
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
    // have come with the greeting); the texts between the brackets.
    Outcome waitForInfo(QString &first, QString &second);

    // Ends the current wait as the operation allows, and every later one.
    void interrupt();
    bool interrupted() const { return m_interrupted; }

    // The last information lines seen (empty when none came).
    QString info1() const { return m_info1; }
    QString info2() const { return m_info2; }

signals:
    // Something a wait may be waiting for happened: a line, the loss of the
    // port, an interrupt.
    void wake();

private:
    // Runs the event loop until a line has come (true) or the timeout
    // passed, the port was lost or (abortable) an interrupt came (false).
    bool nextLine(QString &line, int timeoutMs, bool abortable);
    void onReceived();
    void onLost(const QString &why);
    void settle();
    void dropPending();
    void send(const QString &frame);
    void note(QChar direction, const QString &text);
    Outcome failure() const;

    QString m_device;
    comm::MSComm *m_port = nullptr;
    int m_timeoutMs = 3000;
    std::function<void(const QString &)> m_trace;
    QString m_buffer;        // received text not yet cut into lines
    bool m_flooded = false;  // the buffer overflowed: resynchronise
    QStringList m_lines;     // lines received and not yet taken
    QString m_error;
    QString m_info1, m_info2;
    bool m_lost = false;
    bool m_interrupted = false;
    QElapsedTimer m_lastByte;
};

} // namespace cli
