#include "unit/engine.h"

#include "link/frames.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace unit {

namespace {
QString visible(QString text)
{
    return text.replace(QLatin1Char('\r'), QLatin1String("\\r")).replace(QLatin1Char('\n'), QLatin1String("\\n"));
}

// The entry of a report, with the unit's blank-slot rule.
table::Entry entryOf(const QString &line)
{
    const comm::EntryReport report = comm::parseEntryReport(line);
    return table::slotEntry(report.gsm, report.object.value_or(0));
}

// Runs the event loop until ms have passed or the engine wakes.
void waitAwhile(Engine *engine, qint64 ms)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(engine, &Engine::wake, &loop, &QEventLoop::quit);
    timer.start(int(qMax<qint64>(1, ms)));
    loop.exec();
}
} // namespace

Engine::Engine(const QString &device, int portNumber, QObject *parent)
    : QObject(parent), m_device(device)
{
    m_port = new comm::MSComm([device](int) { return device; }, this);
    m_port->setCommPort(qint16(portNumber));
    connect(m_port, &comm::MSComm::OnComm, this, [this] {
        if (m_port->CommEvent() == comm::comEvReceive)
            onReceived();
    });
    connect(m_port, &comm::MSComm::Lost, this, &Engine::onLost);
}

Engine::~Engine()
{
    close();
}

bool Engine::isOpen() const
{
    return m_port->PortOpen();
}

bool Engine::open()
{
    m_lost = false;
    m_reader.clear();
    m_lines.clear();
    if (!m_port->setPortOpen(true)) {
        m_error = m_port->lastError();
        return false;
    }
    // A greeting, or the rest of an answer to a program that had the port
    // before, may be on its way: the first frame waits for a quiet line,
    // counted from now when nothing comes.
    m_unsettled = true;
    m_freshlyOpened = true;
    m_lastByte.start();
    return true;
}

void Engine::close()
{
    if (m_port->PortOpen())
        m_port->setPortOpen(false);
}

void Engine::interrupt()
{
    m_interrupted = true;
    emit wake();
}

void Engine::note(QChar direction, const QString &text)
{
    if (m_trace)
        m_trace(direction + QLatin1Char(' ') + visible(text));
}

void Engine::onReceived()
{
    const QByteArray bytes = m_port->Input();
    if (bytes.isEmpty())
        return;
    m_lastByte.start();
    m_reader.append(comm::insertLfAfterCr(QString::fromLatin1(bytes)));
    QString line;
    while (m_reader.next(line)) {
        if (line.isEmpty()) {
            note(QLatin1Char('<'), QStringLiteral("[text that is no reply line, dropped]"));
        } else {
            note(QLatin1Char('<'), line);
            // The information lines are kept whenever they come.
            const comm::Reply kind = comm::classifyReply(line.size());
            if (kind == comm::Reply::Info1)
                m_info1 = line.mid(1, line.size() - 2);
            else if (kind == comm::Reply::Info2)
                m_info2 = line.mid(1, line.size() - 2);
            else if (kind == comm::Reply::Status)
                m_statusSinceVoid = true;
        }
        m_lines << line;
    }
    emit wake();
}

void Engine::onLost(const QString &why)
{
    m_lost = true;
    m_error = why;
    emit wake();
}

Outcome Engine::stopped() const
{
    if (m_lost || !m_port->PortOpen())
        return Outcome::Lost;
    if (m_interrupted)
        return Outcome::Interrupted;
    return Outcome::Silent;
}

bool Engine::nextLine(QString &line, int timeoutMs, bool abortable)
{
    QElapsedTimer waited;
    waited.start();
    while (m_lines.isEmpty()) {
        if (m_lost || !m_port->PortOpen() || (abortable && m_interrupted))
            return false;
        const qint64 idle = qMin(waited.elapsed(), m_lastByte.elapsed());
        if (idle >= timeoutMs)
            return false;
        waitAwhile(this, timeoutMs - idle);
    }
    line = m_lines.takeFirst();
    return true;
}

// Lets the port hand over what has reached it.
void Engine::pullWaiting()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    onReceived();
}

// Returns Done once the line is quiet, having forgotten what came before:
// at once when nothing came since the last answer ended, else once nothing
// has come for quietMs. After an answer that was given up on, the unit may
// pause inside the rest of it: the line counts as quiet once that answer's
// closing status came, or after two timeouts without a byte.
Outcome Engine::quietLine(int quietMs, bool abortable)
{
    pullWaiting();
    if (m_unsettled || !m_lines.isEmpty() || m_reader.midLine()) {
        QElapsedTimer talking;
        talking.start();
        for (;;) {
            if (m_lost || !m_port->PortOpen() || (abortable && m_interrupted))
                return stopped();
            const qint64 need = m_voided && !m_statusSinceVoid ? qMax(quietMs, 2 * m_timeoutMs) : quietMs;
            const qint64 quiet = m_lastByte.elapsed();
            if (quiet >= need)
                break;
            if (talking.elapsed() >= kLongestAnswerMs)
                return Outcome::Talking;
            waitAwhile(this, need - quiet);
        }
    }
    m_lines.clear();
    m_reader.clear();
    m_unsettled = false;
    m_voided = false;
    return Outcome::Done;
}

// Sends the frame into a quiet line and collects the lines of its answer
// (without the status that ends it), asking once more when the answer did
// not come or was void.
Outcome Engine::ask(const QString &frame, Answer kind, QStringList &answer, const Progress &progress,
                    bool abortable)
{
    m_sends = 0;
    Got got = Got::Silent;
    QElapsedTimer sinceFirst;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (abortable && m_interrupted)
            return Outcome::Interrupted;
        const Outcome quiet = quietLine(kind == Answer::Table && m_freshlyOpened ? kStreamGapMs : kSettleQuietMs,
                                        abortable);
        if (quiet != Outcome::Done)
            return quiet;
        m_freshlyOpened = false;
        note(QLatin1Char('>'), frame);
        m_port->Output(frame);
        if (++m_sends == 1)
            sinceFirst.start();
        got = collect(kind, answer, progress, abortable, m_timeoutMs);
        if (got == Got::Stopped)
            return stopped();
        if (got == Got::Done) {
            if (m_sends == 1)
                return Outcome::Done;
            // The unit may answer the first copy too, as late as it answered
            // this one: wait for that answer, so that it is not taken for the
            // answer of the next frame. The last complete answer counts.
            QStringList second;
            const Got again = collect(kind, second, progress, abortable, int(sinceFirst.elapsed()) + m_timeoutMs);
            if (again == Got::Stopped)
                return stopped();
            if (again == Got::Done && kind != Answer::Status)
                answer = second;
            if (again != Got::Void)
                return Outcome::Done;
            got = Got::Void;
        }
        // Given up on: the unit may still be answering.
        m_unsettled = true;
        if (got == Got::Void || !answer.isEmpty()) {
            // The rest of that answer may have come already, its closing
            // status among it.
            m_voided = true;
            m_statusSinceVoid = std::any_of(m_lines.cbegin(), m_lines.cend(), [](const QString &line) {
                return comm::classifyReply(line.size()) == comm::Reply::Status;
            });
        }
    }
    return got == Got::Void ? Outcome::Garbled : Outcome::Silent;
}

// The lines of one answer, until the line that ends it. The first line may
// take firstLineMs, every further one the timeout from the last byte.
Engine::Got Engine::collect(Answer kind, QStringList &answer, const Progress &progress, bool abortable,
                            int firstLineMs)
{
    answer.clear();
    int wait = firstLineMs;
    QString line;
    while (nextLine(line, wait, abortable)) {
        wait = m_timeoutMs;
        const comm::Reply r = line.isEmpty() ? comm::Reply::Other : comm::classifyReply(line.size());
        const bool ends = r == comm::Reply::Status && !comm::isNotice(line);
        switch (kind) {
        case Answer::Table:
            if (r == comm::Reply::Entry) {
                answer << line;
                if (progress)
                    progress(int(answer.size()), qMax(0, m_tableSize));
            } else if (answer.isEmpty() && (r == comm::Reply::Status || r == comm::Reply::Info1 ||
                                            r == comm::Reply::Info2)) {
                // A greeting or an unasked status in front of the answer.
            } else if (ends) {
                return m_tableSize < 0 || answer.size() == m_tableSize ? Got::Done : Got::Void;
            } else {
                return Got::Void; // a line lost, cut or merged, or a reset
            }
            break;
        case Answer::Entry:
            if (r == comm::Reply::Entry) {
                if (!answer.isEmpty())
                    return Got::Void;
                answer << line;
            } else if (ends) {
                return Got::Done;
            } else if (r == comm::Reply::Other) {
                return Got::Void; // it may have been the entry
            }
            break;
        case Answer::Status:
            if (ends)
                return Got::Done;
            break;
        }
    }
    if (m_lost || !m_port->PortOpen() || (abortable && m_interrupted))
        return Got::Stopped;
    return Got::Silent;
}

Outcome Engine::readTable(table::Table &table, const Progress &progress)
{
    table.clear();
    QStringList answer;
    const Outcome o = ask(comm::frameReadAll(), Answer::Table, answer, progress, true);
    if (o != Outcome::Done)
        return o;
    table.reserve(answer.size());
    for (const QString &line : answer)
        table << entryOf(line);
    if (m_tableSize < 0)
        m_tableSize = int(table.size());
    return o;
}

Outcome Engine::readEntry(int position, table::Entry &entry, bool &exists)
{
    QStringList answer;
    const Outcome o = ask(comm::frameReadOne(position), Answer::Entry, answer, {}, true);
    exists = o == Outcome::Done && !answer.isEmpty();
    if (exists)
        entry = entryOf(answer.first());
    return o;
}

Outcome Engine::writeEntry(int position, const table::Entry &entry)
{
    QStringList answer;
    // Not abortable: the frame in flight is finished, so that the caller
    // knows whether the unit took it.
    return ask(comm::frameWrite(position, entry), Answer::Status, answer, {}, false);
}

Outcome Engine::erase(int &reported, const Progress &progress)
{
    reported = 0;
    m_sends = 0;
    if (m_interrupted)
        return Outcome::Interrupted;
    const Outcome quiet = quietLine(kSettleQuietMs, true);
    if (quiet != Outcome::Done)
        return quiet;
    m_freshlyOpened = false;
    // An erase is sent once: the unit may be erasing still.
    note(QLatin1Char('>'), comm::frameEraseAll());
    m_port->Output(comm::frameEraseAll());
    m_sends = 1;
    m_unsettled = true;
    bool started = false;
    QString line;
    while (nextLine(line, m_timeoutMs, true)) {
        switch (line.isEmpty() ? comm::Reply::Other : comm::classifyReply(line.size())) {
        case comm::Reply::EraseStart:
            started = true;
            break;
        case comm::Reply::Entry:
            if (started) {
                ++reported;
                if (progress)
                    progress(reported, qMax(0, m_tableSize));
            }
            break;
        case comm::Reply::EraseEnd:
            m_unsettled = false;
            return Outcome::Done;
        default:
            break;
        }
    }
    return stopped();
}

Outcome Engine::waitForInfo(QString &first, QString &second)
{
    QElapsedTimer waited;
    waited.start();
    QString line;
    while (m_info1.isEmpty() || m_info2.isEmpty()) {
        const qint64 left = m_timeoutMs - waited.elapsed();
        if (left <= 0 || !nextLine(line, int(left), true))
            break;
    }
    first = m_info1;
    second = m_info2;
    if (!m_info1.isEmpty() && !m_info2.isEmpty())
        return Outcome::Done;
    return stopped();
}

} // namespace unit
