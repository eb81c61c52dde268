#include "cli/engine.h"

#include "link/frames.h"
#include "link/replies.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace cli {

namespace {
// The quiet time that ends the settling after opening, and the longest a
// greeting may keep the engine from sending.
constexpr int kSettleQuietMs = 150;
constexpr int kSettleLimitMs = 2000;

QString visible(QString text)
{
    return text.replace(QLatin1Char('\r'), QLatin1String("\\r")).replace(QLatin1Char('\n'), QLatin1String("\\n"));
}

bool isNotice(const QString &line)
{
    return line == QLatin1String("(R)") || line == QLatin1String("(S)");
}

// The entry of a report, with the unit's blank rule: an asterisk anywhere
// in the GSM text marks an empty slot.
table::Entry entryOf(const QString &line)
{
    const comm::EntryReport report = comm::parseEntryReport(line);
    table::Entry e;
    if (report.gsm.contains(QLatin1Char('*')))
        return e;
    e.gsm = report.gsm;
    e.object = report.object.value_or(0);
    return e;
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
    m_buffer.clear();
    m_flooded = false;
    m_lines.clear();
    if (!m_port->setPortOpen(true)) {
        m_error = m_port->lastError();
        return false;
    }
    settle();
    return !m_lost;
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
    m_buffer += comm::insertLfAfterCr(QString::fromLatin1(bytes));
    qsizetype from = 0;
    qsizetype next = 0;
    QString line;
    while (comm::ReplyCutter::next(m_buffer, from, m_flooded, line, next)) {
        m_flooded = false;
        from = next;
        if (line.isEmpty())
            continue;
        note(QLatin1Char('<'), line);
        // The information lines are kept whenever they come.
        const comm::Reply kind = comm::classifyReply(line.size());
        if (kind == comm::Reply::Info1)
            m_info1 = line.mid(1, line.size() - 2);
        else if (kind == comm::Reply::Info2)
            m_info2 = line.mid(1, line.size() - 2);
        m_lines << line;
    }
    if (from > 0)
        m_buffer.remove(0, from);
    if (comm::ReplyCutter::capRest(m_buffer))
        m_flooded = true;
    emit wake();
}

void Engine::onLost(const QString &why)
{
    m_lost = true;
    m_error = why;
    emit wake();
}

bool Engine::nextLine(QString &line, int timeoutMs, bool abortable)
{
    QElapsedTimer waited;
    waited.start();
    while (m_lines.isEmpty()) {
        if (m_lost || !m_port->PortOpen() || (abortable && m_interrupted))
            return false;
        const qint64 left = timeoutMs - waited.elapsed();
        if (left <= 0)
            return false;
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        connect(this, &Engine::wake, &loop, &QEventLoop::quit);
        timer.start(int(left));
        loop.exec();
    }
    line = m_lines.takeFirst();
    return true;
}

// Lets a greeting finish: returns once nothing has come for the settle
// time (counted from the opening when nothing came at all).
void Engine::settle()
{
    QElapsedTimer sinceOpen;
    sinceOpen.start();
    m_lastByte.invalidate();
    while (!m_lost && sinceOpen.elapsed() < kSettleLimitMs) {
        const qint64 quiet = m_lastByte.isValid() ? m_lastByte.elapsed() : sinceOpen.elapsed();
        if (quiet >= kSettleQuietMs)
            break;
        QEventLoop loop;
        QTimer::singleShot(int(kSettleQuietMs - quiet), &loop, &QEventLoop::quit);
        connect(this, &Engine::wake, &loop, &QEventLoop::quit);
        loop.exec();
    }
    m_lines.clear();
}

void Engine::dropPending()
{
    // Let the port take in what has reached it, then forget it.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    onReceived();
    m_lines.clear();
}

void Engine::send(const QString &frame)
{
    dropPending();
    note(QLatin1Char('>'), frame);
    m_port->Output(frame);
}

Outcome Engine::failure() const
{
    if (m_lost || !m_port->PortOpen())
        return Outcome::Lost;
    if (m_interrupted)
        return Outcome::Interrupted;
    return Outcome::Silent;
}

Outcome Engine::readTable(table::Table &table, const Progress &progress)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (m_interrupted)
            return Outcome::Interrupted;
        table.clear();
        send(comm::frameReadAll());
        QString line;
        while (nextLine(line, m_timeoutMs, true)) {
            switch (comm::classifyReply(line.size())) {
            case comm::Reply::Entry:
                table << entryOf(line);
                if (progress)
                    progress(int(table.size()), 0);
                break;
            case comm::Reply::Status:
                // A notice is no answer; a status before any entry is one
                // that came unasked: the entries are still to come.
                if (!isNotice(line) && !table.isEmpty())
                    return Outcome::Done;
                break;
            default:
                break;
            }
        }
        if (failure() != Outcome::Silent)
            return failure();
    }
    return Outcome::Silent;
}

Outcome Engine::readEntry(int position, table::Entry &entry, bool &exists)
{
    const std::optional<QString> frame = comm::frameReadOne(QString::number(position));
    if (!frame)
        return Outcome::Refused;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (m_interrupted)
            return Outcome::Interrupted;
        exists = false;
        send(*frame);
        QString line;
        while (nextLine(line, m_timeoutMs, true)) {
            const comm::Reply kind = comm::classifyReply(line.size());
            if (kind == comm::Reply::Entry) {
                entry = entryOf(line);
                exists = true;
            } else if (kind == comm::Reply::Status && !isNotice(line)) {
                return Outcome::Done;
            }
        }
        if (failure() != Outcome::Silent)
            return failure();
    }
    return Outcome::Silent;
}

Outcome Engine::writeEntry(int position, const table::Entry &entry)
{
    const std::optional<QString> frame =
        comm::frameWrite(QString::number(position), QString::number(entry.object), entry.gsm);
    if (!frame)
        return Outcome::Refused;
    for (int attempt = 0; attempt < 2; ++attempt) {
        send(*frame);
        QString line;
        // Not abortable: the frame in flight is finished, so that the caller
        // knows whether the unit took it.
        while (nextLine(line, m_timeoutMs, false))
            if (comm::classifyReply(line.size()) == comm::Reply::Status && !isNotice(line))
                return Outcome::Done;
        if (m_lost || !m_port->PortOpen())
            return Outcome::Lost;
    }
    return Outcome::Silent;
}

Outcome Engine::erase(int &reported, const Progress &progress)
{
    reported = 0;
    if (m_interrupted)
        return Outcome::Interrupted;
    send(comm::frameEraseAll());
    bool started = false;
    QString line;
    while (nextLine(line, m_timeoutMs, true)) {
        switch (comm::classifyReply(line.size())) {
        case comm::Reply::EraseStart:
            started = true;
            break;
        case comm::Reply::Entry:
            if (started) {
                ++reported;
                if (progress)
                    progress(reported, 0);
            }
            break;
        case comm::Reply::EraseEnd:
            return Outcome::Done;
        default:
            break;
        }
    }
    // An erase is not sent twice: the unit may be erasing still.
    return failure();
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
    return failure();
}

} // namespace cli
