#include "m7unit.h"

#include "m7pty.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace m7sim {

namespace {

constexpr int kProbeMs = 25;              // looking for the tool opening the port
constexpr int kHelloDelayMs = 100;        // opening a port may flush what is there
constexpr int kHangupGraceMs = 100;       // time for the tool to read the last lines
constexpr qint64 kPieceGapNs = 2'000'000; // between the pieces of a split line
constexpr qint64 kTickNs = 2'000'000;     // pacing: catch up at least this often
constexpr qint64 kNsPerSecond = 1'000'000'000;

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

Unit::Unit(const Options &options, QObject *parent)
    : QObject(parent), m_options(options)
{
    if (m_options.slotCount < 1 || m_options.slotCount > kMaxSlots) {
        m_error = QStringLiteral("the number of slots must be 1..%1, not %2").arg(kMaxSlots).arg(m_options.slotCount);
    } else if (!m_options.tableFile.isEmpty()) {
        m_tableReady = loadTableFile(m_options.tableFile, m_options.slotCount, m_table, m_error);
    } else {
        m_table = generateTable(m_options.slotCount, m_options.seed);
        m_tableReady = true;
    }

    m_probe.setInterval(kProbeMs);
    connect(&m_probe, &QTimer::timeout, this, &Unit::onProbe);

    m_writeTimer.setSingleShot(true);
    m_writeTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_writeTimer, &QTimer::timeout, this, &Unit::pump);

    m_helloTimer.setSingleShot(true);
    // A day is as good as never: the first command brings the hello.
    m_helloTimer.setInterval(m_options.helloWhenAsked ? 24 * 3600 * 1000 : kHelloDelayMs);
    connect(&m_helloTimer, &QTimer::timeout, this, [this] {
        queueHello();
        pump();
    });

    if (m_options.heartbeatMs > 0)
        m_heartbeat.setInterval(m_options.heartbeatMs);
    connect(&m_heartbeat, &QTimer::timeout, this, [this] {
        if (outputIdle() && m_hangupAt < 0 && m_frameQueue.empty())
            sendLine(statusBody());
    });

    m_hangupTimer.setSingleShot(true);
    m_hangupTimer.setInterval(kHangupGraceMs);
    connect(&m_hangupTimer, &QTimer::timeout, this, &Unit::hangUp);

    m_arrivalTimer.setSingleShot(true);
    m_arrivalTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_arrivalTimer, &QTimer::timeout, this, &Unit::deliverArrived);
    m_inClock.start();

    m_writeDelay.setSingleShot(true);
    m_writeDelay.setTimerType(Qt::PreciseTimer);
    m_writeDelay.setInterval(qMax(0, m_options.writeDelayMs));
    connect(&m_writeDelay, &QTimer::timeout, this, [this] {
        const Command write = parseCommand(m_frameQueue.front());
        m_frameQueue.pop_front();
        carryOut(write);
        carryOutFrames();
    });
}

Unit::~Unit()
{
    if (m_master >= 0)
        ::close(m_master);
}

bool Unit::start()
{
    if (m_master >= 0)
        return true;
    if (!m_tableReady)
        return false; // m_error says why

    // Raw from the start (see m7pty.h): the master reports POLLHUP until
    // the tool opens the port, which is what onProbe() looks for.
    const int fd = m7pty::openMaster(m_slavePath, m_error);
    if (fd < 0)
        return false;

    m_master = fd;
    m_slaveOpen = false;
    m_splitter.reset();
    m_inBusyUntil = 0;
    m_error.clear();

    m_readNote = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    m_readNote->setEnabled(false);
    connect(m_readNote, &QSocketNotifier::activated, this, &Unit::onReadable);
    m_writeNote = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    m_writeNote->setEnabled(false);
    connect(m_writeNote, &QSocketNotifier::activated, this, [this] {
        m_writeNote->setEnabled(false);
        pump();
    });
    m_probe.start();
    return true;
}

void Unit::setSlot(int index, const Slot &slot)
{
    if (index >= 0 && index < m_table.size())
        m_table[index] = slot;
}

void Unit::send(const QByteArray &raw)
{
    enqueue(raw, false);
    pump();
}

void Unit::sendLine(const QByteArray &body)
{
    enqueue(m_options.garbage + lineOf(body), true);
    pump();
}

void Unit::hangUp()
{
    if (m_master < 0)
        return;
    const bool wasOpen = m_slaveOpen;
    dropOutput();
    m_probe.stop();
    m_helloTimer.stop();
    m_heartbeat.stop();
    m_arriving.clear();
    m_arrivalTimer.stop();
    delete m_readNote;
    m_readNote = nullptr;
    delete m_writeNote;
    m_writeNote = nullptr;
    ::close(m_master);
    m_master = -1;
    m_slaveOpen = false;
    m_splitter.reset();
    if (wasOpen)
        emit slaveClosed();
    emit hungUp();
}

bool Unit::reopen()
{
    hangUp();
    return start();
}

void Unit::enqueue(const QByteArray &bytes, bool isLine)
{
    // Nobody listens while no slave is open (unless the unit talks on, not
    // knowing); and once the cable is about to be pulled nothing more goes
    // on the line.
    if (!talking() || m_hangupAt >= 0 || bytes.isEmpty())
        return;
    if (outputIdle()) {
        // The line was idle: no credit for the idle time.
        m_out.clear();
        m_outBase = m_written;
        m_paceClock.start();
        m_paceBase = m_written;
    }
    if (m_options.splitBytes > 0) {
        for (qsizetype p = m_options.splitBytes; p < bytes.size(); p += m_options.splitBytes)
            m_pieceEnds.push_back(m_queued + p);
        m_pieceEnds.push_back(m_queued + bytes.size());
    }
    m_out += bytes;
    m_queued += bytes.size();
    if (isLine)
        m_lineEnds.emplace_back(m_queued, bytes);
}

void Unit::scheduleWrite(qint64 delayNs)
{
    const qint64 ms = delayNs <= 0 ? 0 : (delayNs + 999'999) / 1'000'000;
    m_writeTimer.start(int(ms));
}

// Writes what is queued, as far as the pieces, the pacing and the tool's
// reading allow; a timer or the write notifier calls it again for the rest.
void Unit::pump()
{
    if (!talking())
        return;
    // Talking into a closed port: a program that opens it now gets the rest,
    // so look for one at every step, not only every 25 ms.
    if (!m_slaveOpen && m_written < m_queued) {
        onProbe();
        if (!talking())
            return;
    }
    const int fd = m_master;
    const bool hadWork = m_written < m_queued;
    while (m_written < sendableEnd()) {
        qint64 limit = sendableEnd();
        if (!pieceAllows(limit) || !pauseAllows(limit) || !paceAllows(limit) || !writeOut(fd, limit))
            return;
    }
    afterWriting(hadWork);
}

// Whether output goes on: a slave is open, or the unit does not know it is
// closed (talkThroughClose).
bool Unit::talking() const
{
    return m_master >= 0 && (m_slaveOpen || m_options.talkThroughClose);
}

// The end of what may go out: everything queued, or up to the hang-up.
qint64 Unit::sendableEnd() const
{
    return m_hangupAt >= 0 ? qMin(m_queued, m_hangupAt) : m_queued;
}

// With splitBytes: nothing until the gap after the last piece has passed
// (false, the timer is set), then at most the rest of the current piece.
bool Unit::pieceAllows(qint64 &limit)
{
    if (m_options.splitBytes <= 0)
        return true;
    if (m_pieceGap) {
        const qint64 waited = m_pieceClock.nsecsElapsed();
        if (waited < kPieceGapNs) {
            scheduleWrite(kPieceGapNs - waited);
            return false;
        }
        m_pieceGap = false;
    }
    if (!m_pieceEnds.empty())
        limit = qMin(limit, m_pieceEnds.front());
    return true;
}

// With pauseAfterLines: a pause begins once everything in front of it is out;
// while it runs nothing goes (false, the timer is set); then at most up to
// the next pause. The line was idle meanwhile: pacing starts afresh.
bool Unit::pauseAllows(qint64 &limit)
{
    if (!m_pauseClock.isValid() && !m_pauses.empty() && m_pauses.front() <= m_written) {
        m_pauses.pop_front();
        m_pauseClock.start();
    }
    if (m_pauseClock.isValid()) {
        const qint64 pauseNs = qint64(m_options.pauseMs) * 1'000'000;
        const qint64 waited = m_pauseClock.nsecsElapsed();
        if (waited < pauseNs) {
            scheduleWrite(pauseNs - waited);
            return false;
        }
        m_pauseClock.invalidate();
        m_paceClock.start();
        m_paceBase = m_written;
    }
    if (!m_pauses.empty())
        limit = qMin(limit, m_pauses.front());
    return true;
}

// Paced: byte k (counting from 0 since the line went busy) may go at
// k / rate: on average exactly the line rate, whatever the timer does, since
// late ticks are caught up. False (the timer is set) when no byte may go yet.
bool Unit::paceAllows(qint64 &limit)
{
    if (!m_options.paced)
        return true;
    const qint64 elapsed = m_paceClock.nsecsElapsed();
    const qint64 allowed = m_paceBase + 1 + elapsed * kBytesPerSecond / kNsPerSecond;
    if (allowed <= m_written) {
        const auto at = [this](qint64 pos) { // when byte `pos` may go
            return (pos - m_paceBase) * kNsPerSecond / kBytesPerSecond;
        };
        const qint64 next = at(m_written);
        const qint64 last = at(limit - 1);
        scheduleWrite(qMax(next, qMin(elapsed + kTickNs, last)) - elapsed);
        return false;
    }
    limit = qMin(limit, allowed);
    return true;
}

// One write() of the bytes up to `limit`. False when writing has to stop:
// the tool is not reading (the write notifier is armed), the line failed,
// or the port went away while the lines written were reported. With no
// slave open (talkThroughClose) the bytes leave the unit all the same and
// are lost on the line.
bool Unit::writeOut(int fd, qint64 limit)
{
    if (m_slaveOpen) {
        const qsizetype offset = qsizetype(m_written - m_outBase);
        const ssize_t n = ::write(fd, m_out.constData() + offset, size_t(limit - m_written));
        if (n < 0) {
            if (errno == EINTR)
                return true;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                m_writeNote->setEnabled(true); // the tool is not reading: wait
                return false;
            }
            m_error = systemError("writing to the pseudo-terminal");
            dropOutput();
            return false;
        }
        if (m_options.keepLog)
            m_sentLog.append(m_out.constData() + offset, n);
        m_written += n;
        emit bytesWritten(n);
    } else {
        m_written = limit;
    }
    if (m_master != fd || !talking())
        return false;
    if (m_options.splitBytes > 0 && !m_pieceEnds.empty() && m_written >= m_pieceEnds.front()) {
        m_pieceEnds.pop_front();
        m_pieceGap = true;
        m_pieceClock.start();
    }
    while (!m_lineEnds.empty() && m_lineEnds.front().first <= m_written) {
        const QByteArray line = m_lineEnds.front().second;
        m_lineEnds.pop_front();
        ++m_linesSent;
        emit lineSent(line);
        if (m_master != fd || !talking())
            return false; // a slot hung up or the port went away
    }
    return true;
}

// After a pump: the hang-up's grace starts once its last line is out; an
// emptied queue goes idle, a long one drops what is written.
void Unit::afterWriting(bool hadWork)
{
    if (m_hangupAt >= 0 && m_written >= m_hangupAt && !m_hangupTimer.isActive())
        m_hangupTimer.start();
    if (m_written == m_queued) {
        if (!hadWork)
            return;
        m_out.clear();
        m_outBase = m_written;
        m_writeTimer.stop();
        m_writeNote->setEnabled(false);
        armHeartbeat();
        emit outputDrained();
    } else if (m_written - m_outBase > 65536) {
        m_out.remove(0, qsizetype(m_written - m_outBase));
        m_outBase = m_written;
    }
}

void Unit::dropOutput()
{
    m_out.clear();
    m_queued = m_written;
    m_outBase = m_written;
    m_pieceEnds.clear();
    m_lineEnds.clear();
    m_pauses.clear();
    m_pauseClock.invalidate();
    m_pieceGap = false;
    m_hangupAt = -1;
    m_hangupTimer.stop();
    m_writeTimer.stop();
    if (m_writeNote)
        m_writeNote->setEnabled(false);
}

void Unit::armHeartbeat()
{
    if (m_options.heartbeatMs > 0 && m_slaveOpen)
        m_heartbeat.start();
}

void Unit::onReadable()
{
    const int fd = m_master;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            QList<qsizetype> ends;
            const QList<QByteArray> frames = m_splitter.feed(QByteArray(buf, n), &ends);
            if (m_options.paced) {
                // The bytes take their time on the line in: from now, or
                // from when the bytes before them are in.
                const qint64 from = qMax(m_inClock.nsecsElapsed(), m_inBusyUntil);
                m_inBusyUntil = from + n * kNsPerSecond / kBytesPerSecond;
                for (qsizetype i = 0; i < frames.size(); ++i)
                    m_arriving.emplace_back(from + ends[i] * kNsPerSecond / kBytesPerSecond, frames[i]);
                if (!m_arrivalTimer.isActive())
                    deliverArrived();
                if (m_master != fd || !m_slaveOpen)
                    return;
                continue;
            }
            for (const QByteArray &frame : frames) {
                handleFrame(frame);
                if (m_master != fd || !m_slaveOpen)
                    return;
            }
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        // EIO: the last program holding the slave closed it.
        onSlaveClosed();
        return;
    }
}

void Unit::onProbe()
{
    pollfd p{m_master, POLLIN, 0};
    if (::poll(&p, 1, 0) < 0)
        return;
    if (p.revents & POLLHUP) {
        // Still no slave. Whatever a program wrote before closing it again
        // is of no use any more.
        if (p.revents & POLLIN) {
            char buf[4096];
            while (::read(m_master, buf, sizeof buf) > 0) {
            }
        }
        return;
    }
    onSlaveOpened();
}

void Unit::onSlaveOpened()
{
    m_probe.stop();
    m_slaveOpen = true;
    m_readNote->setEnabled(true);
    emit slaveOpened();
    if (!m_slaveOpen)
        return;
    if (m_options.hello)
        m_helloTimer.start();
    armHeartbeat();
}

void Unit::onSlaveClosed()
{
    m_slaveOpen = false;
    m_readNote->setEnabled(false);
    m_writeNote->setEnabled(false);
    // What the tool had not read went with its port, as on a serial line.
    m7pty::discardUnread(m_slavePath);
    if (!m_options.talkThroughClose) {
        dropOutput();
        m_splitter.reset();
    }
    m_helloTimer.stop();
    m_heartbeat.stop();
    m_probe.start();
    emit slaveClosed();
    pump(); // talkThroughClose: the answer goes on into the closed port
}

void Unit::queueHello()
{
    const QByteArray &g = m_options.garbage;
    enqueue(g + lineOf(helloBody()), true);
    if (m_options.info) {
        enqueue(g + lineOf(infoBody1()), true);
        enqueue(g + lineOf(infoBody2()), true);
    }
}

// Paced input: carries out, in order, the frames whose last byte is in, and
// waits for the next one.
void Unit::deliverArrived()
{
    const int fd = m_master;
    while (!m_arriving.empty()) {
        const qint64 waitNs = m_arriving.front().first - m_inClock.nsecsElapsed();
        if (waitNs > 0) {
            m_arrivalTimer.start(int((waitNs + 999'999) / 1'000'000));
            return;
        }
        const QByteArray frame = m_arriving.front().second;
        m_arriving.pop_front();
        handleFrame(frame);
        if (m_master != fd)
            return;
    }
}

// A frame is in. One still on its way when the port was closed (paced input)
// is carried out all the same: the unit does not see the port.
void Unit::handleFrame(const QByteArray &frame)
{
    const int fd = m_master;
    if (m_options.keepLog)
        m_frames.append(frame);
    emit frameReceived(frame);
    if (m_master != fd || m_hangupAt >= 0)
        return;
    // A tool that sends a command is done opening the port: the start-up
    // notice the unit gave before comes first.
    if (m_helloTimer.isActive()) {
        m_helloTimer.stop();
        queueHello();
    }

    m_frameQueue.push_back(frame);
    carryOutFrames();
}

// Carries out the frames received, in order, until a write has to take its
// time (writeDelayMs): the timer carries that one out and goes on.
void Unit::carryOutFrames()
{
    while (!m_frameQueue.empty() && !m_writeDelay.isActive()) {
        const Command command = parseCommand(m_frameQueue.front());
        if (command.kind == Command::Write && m_options.writeDelayMs > 0) {
            m_writeDelay.start();
            return;
        }
        m_frameQueue.pop_front();
        carryOut(command);
    }
}

// With loseByte: takes the N-th byte of the answer out of its line.
void Unit::loseAnswerByte(QList<QByteArray> &lines) const
{
    qint64 before = 0; // bytes of the answer in front of the line
    for (QByteArray &line : lines) {
        if (m_options.loseByte <= 0)
            return;
        if (m_options.loseByte <= before + line.size()) {
            line.remove(qsizetype(m_options.loseByte - 1 - before), 1);
            return;
        }
        before += line.size();
    }
}

void Unit::carryOut(const Command &command)
{
    const bool write = command.kind == Command::Write;
    const int writeNumber = write ? ++m_writesCarriedOut : 0;
    const QList<QByteArray> bodies = write && writeNumber == m_options.ignoreWrite
                                         ? QList<QByteArray>{statusBody()} // lost: the table stays
                                         : execute(command, m_table, m_options.info);
    if (write)
        emit writeProcessed(command.slot);

    qsizetype count = bodies.size();
    if (m_options.silenceAfterLines >= 0)
        count = qMin<qsizetype>(count, m_options.silenceAfterLines);
    const bool pullInRead = command.kind == Command::ReadAll && m_options.hangupAfterLines >= 0;
    if (pullInRead)
        count = qMin<qsizetype>(count, m_options.hangupAfterLines);
    QList<QByteArray> lines;
    for (qsizetype i = 0; i < count; ++i) {
        QByteArray line = m_options.garbage + '(' + bodies[i] + ')';
        line += i == m_options.lfOnlyLine ? "\n" : "\r\n";
        lines.append(line);
    }
    loseAnswerByte(lines);
    const bool pause = m_options.pauseMs > 0 && m_options.pauseAfterLines >= 0 && m_options.pauseAfterLines < count;
    for (qsizetype i = 0; i < count; ++i) {
        if (pause && i == m_options.pauseAfterLines && talking() && m_hangupAt < 0)
            m_pauses.push_back(m_queued);
        enqueue(lines[i], true);
    }
    const bool pullAfterWrite = write && writeNumber == m_options.hangupAfterWrites;
    if ((pullInRead || pullAfterWrite) && m_slaveOpen && m_hangupAt < 0)
        m_hangupAt = m_queued;
    pump();
}

} // namespace m7sim
