// The simulated unit: its protocol engine directly, and the Unit through a
// real pseudo-terminal whose slave side these tests open themselves, the
// way the programmer opens its serial port.

#include "m7protocol.h"
#include "m7pty.h"
#include "m7unit.h"
#include "testcore.h"

#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using namespace m7sim;
using testing::waitFor;

namespace {

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The tool's end of the line: the slave side opened like a serial port and
// read by a thread of its own, every read() kept apart with its time.
class ToolEnd
{
public:
    ~ToolEnd() { close(); }

    bool open(const QString &path, bool makeRaw = true, int firstReadDelayMs = 0)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd < 0)
            return false;
        if (makeRaw)
            m7pty::makeRaw(m_fd);
        m_stop = false;
        m_eof = false;
        m_hup = false;
        m_thread = std::thread([this, firstReadDelayMs] { run(firstReadDelayMs); });
        return true;
    }
    void close()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    ssize_t write(const QByteArray &bytes) { return ::write(m_fd, bytes.constData(), size_t(bytes.size())); }
    int writeErrno(const QByteArray &bytes) { return write(bytes) < 0 ? errno : 0; }

    // One read() of the tool and when it returned (nowNs()).
    struct Read {
        QByteArray bytes;
        qint64 atNs;
    };
    QList<Read> reads() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_reads;
    }
    QByteArray received() const
    {
        QByteArray all;
        for (const Read &r : reads())
            all += r.bytes;
        return all;
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_reads.clear();
    }
    bool gotEof() const { return m_eof; }
    bool sawHup() const { return m_hup; }

private:
    void run(int delayMs)
    {
        if (delayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        char buf[65536];
        while (!m_stop) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            if (p.revents & POLLHUP)
                m_hup = true;
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            const qint64 t = nowNs();
            if (n > 0) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_reads.append({QByteArray(buf, n), t});
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                m_eof = true; // the master went away
                return;
            }
        }
    }

    int m_fd = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_eof{false};
    std::atomic<bool> m_hup{false};
    mutable std::mutex m_mutex;
    QList<Read> m_reads;
};

QByteArray linesOf(const QList<QByteArray> &bodies)
{
    QByteArray out;
    for (const QByteArray &b : bodies)
        out += lineOf(b);
    return out;
}

QByteArray reply(Table &table, const QByteArray &frame, bool info = false)
{
    return linesOf(execute(parseCommand(frame), table, info));
}

// A started unit and the tool's end opened on it.
bool connectTool(Unit &unit, ToolEnd &tool, bool makeRaw = true, int firstReadDelayMs = 0)
{
    if (!unit.start() || !tool.open(unit.slavePath(), makeRaw, firstReadDelayMs))
        return false;
    return waitFor([&] { return unit.slaveOpen(); });
}

Options small(int slotCount, quint32 seed = 3)
{
    Options o;
    o.slotCount = slotCount;
    o.seed = seed;
    return o;
}

} // namespace

Q_DECLARE_METATYPE(m7sim::Options)

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    void frames();
    void replies();
    void tables();
    void throughThePty();
    void slowReaderLosesNothing();
    void pacing();
    void faults();
    void hangUpAndReopen();
    void writes_data();
    void writes();
    void helloAndPortOpenClose();
    void noSpinning();
    void talkThroughClose_data();
    void talkThroughClose();
    void lostByteAndPause_data();
    void lostByteAndPause();
    void pacedInput();
};

void TestSimulator::frames()
{
    FrameSplitter s;
    const QByteArray frame = "[r0004]\r";
    for (int i = 0; i < frame.size() - 1; ++i)
        QVERIFY(s.feed(frame.mid(i, 1)).isEmpty());
    QCOMPARE(s.feed("\r"), QList<QByteArray>{frame});

    QCOMPARE(s.feed(QByteArray("\0x\n]\r", 5) + "[r]\r"), QList<QByteArray>{"[r]\r"});
    QCOMPARE(s.feed("[r0004][r0005]\r"), QList<QByteArray>{"[r0005]\r"}); // the first has no CR
    QCOMPARE(s.feed("[r00\r[d]\r"), QList<QByteArray>{"[d]\r"});         // CR inside a frame
    QCOMPARE(s.feed("[r]x[r]\r[r]"), QList<QByteArray>{"[r]\r"});
    QCOMPARE(s.feed("\r"), QList<QByteArray>{"[r]\r"});
    QVERIFY(s.feed("[" + QByteArray(5000, 'x')).isEmpty());
    QVERIFY(s.pending() <= 64);
    QCOMPARE(s.feed("]\r[r0001]\r"), QList<QByteArray>{"[r0001]\r"});

    Command c = parseCommand("[r]\r");
    QCOMPARE(c.kind, Command::ReadAll);
    c = parseCommand("[r0004]\r");
    QCOMPARE(c.kind, Command::ReadOne);
    QCOMPARE(c.slot, 4);
    QCOMPARE(parseCommand("[r12345]\r").slot, 12345);
    QCOMPARE(parseCommand("[r00a4]\r").kind, Command::Malformed);
    c = parseCommand("[w00050042123456789]\r");
    QCOMPARE(c.kind, Command::Write);
    QCOMPARE(c.slot, 5);
    QCOMPARE(c.object, 42);
    QCOMPARE(c.gsm, QByteArray("123456789"));
    QCOMPARE(parseCommand("[w0005004212345]\r").gsm, QByteArray("12345"));
    QCOMPARE(parseCommand("[w00050042*********]\r").gsm, QByteArray("*********"));
    QCOMPARE(parseCommand("[w0005x042123456789]\r").kind, Command::Malformed);
    QCOMPARE(parseCommand("[d]\r").kind, Command::Erase);
    QCOMPARE(parseCommand("[d0001]\r").kind, Command::Malformed);
    QCOMPARE(parseCommand("[x]\r").kind, Command::Ignore);
    QCOMPARE(parseCommand("[R0001]\r").kind, Command::Ignore);
}

void TestSimulator::replies()
{
    Table t(3);
    t[0] = {"888123456", 12};
    t[2] = {"912345678", 7999};

    QCOMPARE(reply(t, "[r0000]\r"), QByteArray("(0012888123456 )\r\n(K)\r\n"));
    QCOMPARE(reply(t, "[r0001]\r"), QByteArray("(0000********* )\r\n(K)\r\n"));
    QCOMPARE(reply(t, "[r0003]\r"), QByteArray("(K)\r\n"));
    QCOMPARE(reply(t, "[r]\r"), QByteArray("(0012888123456 )\r\n(0000********* )\r\n(7999912345678 )\r\n(K)\r\n"));

    const QList<QByteArray> withInfo = execute(parseCommand("[r]\r"), t, true);
    QCOMPARE(withInfo.size(), 6);
    QCOMPARE(withInfo[3], QByteArray("K"));
    QCOMPARE(lineOf(withInfo[4]).size(), 28 + 2);
    QCOMPARE(lineOf(withInfo[5]).size(), 15 + 2);

    QCOMPARE(reply(t, "[w00010042777000111]\r"), QByteArray("(K)\r\n"));
    QCOMPARE(reply(t, "[r0001]\r"), QByteArray("(0042777000111 )\r\n(K)\r\n"));
    QCOMPARE(reply(t, "[w00030042777000111]\r"), QByteArray("(K)\r\n")); // no slot 3
    QCOMPARE(t.size(), 3);
    QCOMPARE(reply(t, "[w000200011234567]\r"), QByteArray("(K)\r\n"));    // a short GSM, as it came
    QCOMPARE(reply(t, "[r0002]\r"), QByteArray("(00011234567 )\r\n(K)\r\n"));

    QCOMPARE(reply(t, "[d]\r"), QByteArray("(ERASING)\r\n(0000********* )\r\n(0000********* )\r\n"
                                           "(0000********* )\r\n(ERASED)\r\n"));
    for (const Slot &s : t)
        QVERIFY(s.isBlank());
    QCOMPARE(reply(t, "[x]\r"), QByteArray());
    QCOMPARE(reply(t, "[rzz]\r"), QByteArray("(K)\r\n"));
}

void TestSimulator::tables()
{
    const Table a = generateTable(1000, 7);
    QCOMPARE(a, generateTable(1000, 7));
    QVERIFY(a != generateTable(1000, 8));

    QSet<QByteArray> gsms;
    QSet<int> objects;
    int blank = 0;
    for (const Slot &s : a) {
        if (s.isBlank()) {
            ++blank;
            continue;
        }
        QCOMPARE(s.gsm.size(), 9);
        QVERIFY(s.gsm[0] == '8' || s.gsm[0] == '9');
        QVERIFY(std::all_of(s.gsm.begin(), s.gsm.end(), [](char c) { return c >= '0' && c <= '9'; }));
        QVERIFY(s.object >= 1 && s.object <= 7999);
        gsms.insert(s.gsm);
        objects.insert(s.object);
    }
    QVERIFY2(blank >= 100 && blank <= 200, qPrintable(QString::number(blank)));
    QCOMPARE(gsms.size(), 1000 - blank);
    QCOMPARE(objects.size(), 1000 - blank);

    // More used slots wanted than there are object numbers: the rest is blank.
    const Table big = generateTable(9999, 1);
    QCOMPARE(std::count_if(big.begin(), big.end(), [](const Slot &s) { return !s.isBlank(); }), 7999);
    QVERIFY(big.last().isBlank());

    Table t;
    QString error;
    QVERIFY(parseTableText("\"(0001)\",\"359888123456\",17\r\n\"(0002)\",\"359*********\",0\r\n"
                           "\"(0003)\",\"359912345678\",7999\r\n", 5, t, error));
    QCOMPARE(t.size(), 5);
    QCOMPARE(t[0], (Slot{"888123456", 17}));
    QVERIFY(t[1].isBlank());
    QCOMPARE(t[2], (Slot{"912345678", 7999}));
    QVERIFY(t[3].isBlank() && t[4].isBlank());
    QVERIFY(!parseTableText("\"(0001)\",\"359888123456\",17\r\n(0002) : 359888 - 1\r\n", 5, t, error));
    QVERIFY2(error.contains(QLatin1String("line 2")), qPrintable(error));

    QTemporaryFile file;
    QVERIFY(file.open());
    file.write("\"(0001)\",\"359811111111\",5\r\n\"(0002)\",\"359822222222\",6\r\n");
    file.close();
    Options o = small(4);
    o.tableFile = file.fileName();
    Unit fromFile(o);
    QCOMPARE(fromFile.table().size(), 4);
    QCOMPARE(fromFile.table()[1], (Slot{"822222222", 6}));
    QVERIFY(fromFile.table()[2].isBlank());

    o.tableFile = file.fileName() + QLatin1String(".missing");
    Unit missing(o);
    QVERIFY(!missing.start());
    QVERIFY(!missing.errorString().isEmpty());
    QVERIFY(!Unit(small(10000)).start());
}

void TestSimulator::throughThePty()
{
    Unit unit(small(10));
    ToolEnd tool;
    // The tool leaves the port as it finds it: the unit must have made it raw
    // (no echo, CR not turned into LF, no waiting for a line end).
    QVERIFY(connectTool(unit, tool, /*makeRaw=*/false));
    QSignalSpy frames(&unit, &Unit::frameReceived);

    tool.write("junk[r00");
    QTest::qWait(20);
    tool.write("04]\r");
    Table copy = unit.table();
    const QByteArray expected = reply(copy, "[r0004]\r");
    QVERIFY(waitFor([&] { return tool.received().size() >= expected.size(); }));
    QTest::qWait(50);
    QCOMPARE(tool.received(), expected);
    QCOMPARE(unit.framesReceived(), QList<QByteArray>{"[r0004]\r"});
    QCOMPARE(frames.count(), 1);
    QCOMPARE(unit.bytesSent(), expected);
    QCOMPARE(unit.linesSent(), 2);

    tool.clear();
    tool.write("[w00040042123456789]\r[r0004]\r");
    QVERIFY(waitFor([&] { return tool.received().size() >= 5 + 23; }));
    QTest::qWait(50);
    QCOMPARE(tool.received(), QByteArray("(K)\r\n(0042123456789 )\r\n(K)\r\n"));
    QCOMPARE(unit.table()[4], (Slot{"123456789", 42}));
}

void TestSimulator::slowReaderLosesNothing()
{
    // 180 kB unpaced into a tool that starts reading only after 300 ms: the
    // pseudo-terminal fills up (EAGAIN) long before.
    Unit unit(small(9999));
    ToolEnd tool;
    QVERIFY(connectTool(unit, tool, true, 300));
    Table copy = unit.table();
    const QByteArray expected = reply(copy, "[r]\r");
    QCOMPARE(expected.size(), 9999 * 18 + 5);
    tool.write("[r]\r");
    QVERIFY(waitFor([&] { return tool.received().size() >= expected.size(); }, 10000));
    QTest::qWait(50);
    QCOMPARE(tool.received().size(), expected.size());
    QVERIFY(tool.received() == expected);
    QVERIFY(unit.bytesSent() == expected);
    QCOMPARE(unit.linesSent(), 10000);
    QVERIFY(unit.outputIdle());
}

void TestSimulator::pacing()
{
    // Timed where the unit writes, as the tool's reads may merge: a machine
    // busy with other work can make a write late but never early, and a late
    // write must catch up. So every write is within the line rate counted
    // from before the frame was sent (never ahead of the line), and carries
    // all the line allowed by the write before (never behind it).
    const qint64 bytes = 100 * 18 + 5;
    const double wireMs = bytes * 1000.0 / kBytesPerSecond; // 156.7 ms
    for (const bool paced : {true, false}) {
        Options o = small(100);
        o.paced = paced;
        Unit unit(o);
        ToolEnd tool;
        QVERIFY(connectTool(unit, tool));
        QList<qint64> sent;   // bytes of the reply written, after each write
        QList<qint64> sentAt; // when, nowNs()
        connect(&unit, &Unit::bytesWritten, this, [&](qint64 n) {
            sent.append((sent.isEmpty() ? 0 : sent.last()) + n);
            sentAt.append(nowNs());
        });
        const qint64 t0 = nowNs();
        tool.write("[r]\r");
        QVERIFY(waitFor([&] { return tool.received().size() >= bytes; }));
        QCOMPARE(tool.received().size(), bytes);
        QCOMPARE(sent.last(), bytes);
        const auto lineAllows = [](qint64 ns) { return 1 + ns * kBytesPerSecond / 1'000'000'000; };
        qInfo("%s 100-slot read: %lld writes in %.2f ms (wire time %.2f ms)", paced ? "paced" : "unpaced",
              qint64(sent.size()), (sentAt.last() - t0) / 1e6, wireMs);
        if (!paced) { // all at once
            QCOMPARE(sent.first(), bytes);
            continue;
        }
        QVERIFY2(sent.size() > 1, "the whole reply in one write");
        for (qsizetype k = 0; k < sent.size(); ++k) {
            QVERIFY2(sent[k] <= lineAllows(sentAt[k] - t0),
                     qPrintable(QStringLiteral("ahead of the line: %1 bytes after %2 ms")
                                    .arg(sent[k]).arg((sentAt[k] - t0) / 1e6)));
            if (k > 0)
                QVERIFY2(sent[k] >= qMin(bytes, lineAllows(sentAt[k - 1] - sentAt[0])),
                         qPrintable(QStringLiteral("behind the line: %1 bytes after %2 ms")
                                        .arg(sent[k]).arg((sentAt[k - 1] - sentAt[0]) / 1e6)));
        }
    }
}

void TestSimulator::faults()
{
    const QByteArray entry4 = lineOf(entryBody(generateTable(10, 3)[4]));
    {
        Options o = small(10);
        o.splitBytes = 5;
        Unit unit(o);
        ToolEnd tool;
        QVERIFY(connectTool(unit, tool));
        // The unit writes every piece on its own, 2 ms after the one before:
        // timed where it writes, so that a busy machine can only widen the
        // gaps.
        QList<qint64> written;
        QList<qint64> writtenAt;
        connect(&unit, &Unit::bytesWritten, this, [&](qint64 n) {
            written.append(n);
            writtenAt.append(nowNs());
        });
        // 2 ms is plenty for a reader that is waiting, but a machine busy with
        // other work may run the reader late and merge pieces: one of five
        // tries must show every piece arriving as a read of its own.
        const QList<qint64> pieces{5, 5, 5, 3, 5};
        QList<qint64> sizes;
        for (int run = 0; run < 5 && sizes != pieces; ++run) {
            tool.clear();
            written.clear();
            writtenAt.clear();
            tool.write("[r0004]\r");
            QVERIFY(waitFor([&] { return tool.received().size() >= 23; }));
            QTest::qWait(30);
            QCOMPARE(tool.received(), entry4 + "(K)\r\n");
            QCOMPARE(written, pieces);
            for (int i = 1; i < writtenAt.size(); ++i) {
                const qint64 gap = writtenAt[i] - writtenAt[i - 1];
                QVERIFY2(gap > 1'500'000, qPrintable(QString::number(gap)));
            }
            sizes.clear();
            for (const ToolEnd::Read &r : tool.reads())
                sizes.append(r.bytes.size());
        }
        QCOMPARE(sizes, pieces);
    }
    {
        Options o = small(10);
        o.garbage = QByteArray("#\0~", 3);
        o.lfOnlyLine = 1;
        Unit unit(o);
        ToolEnd tool;
        QVERIFY(connectTool(unit, tool));
        tool.write("[r0004]\r[r0099]\r");
        QVERIFY(waitFor([&] { return tool.received().size() >= 28 + 8; }));
        QTest::qWait(30);
        QCOMPARE(tool.received(), o.garbage + entry4 + o.garbage + "(K)\n" + o.garbage + "(K)\r\n");
    }
    {
        Options o = small(10);
        o.silenceAfterLines = 3;
        Unit unit(o);
        ToolEnd tool;
        QVERIFY(connectTool(unit, tool));
        tool.write("[r]\r");
        QVERIFY(waitFor([&] { return tool.received().size() >= 3 * 18; }));
        QTest::qWait(200);
        QCOMPARE(tool.received().size(), 3 * 18);
        tool.clear();
        tool.write("[r0004]\r"); // fewer lines than the limit: all of them
        QVERIFY(waitFor([&] { return tool.received().size() >= 23; }));
        QTest::qWait(30);
        QCOMPARE(tool.received(), entry4 + "(K)\r\n");
    }
    {
        Options o = small(10);
        o.heartbeatMs = 40;
        Unit unit(o);
        ToolEnd tool;
        QList<qint64> sentAt; // timed where the unit writes: a busy machine only widens the gaps
        connect(&unit, &Unit::bytesWritten, this, [&] { sentAt.append(nowNs()); });
        QVERIFY(connectTool(unit, tool));
        QVERIFY(waitFor([&] { return tool.received().size() >= 4 * 5; }));
        QTest::qWait(30);
        const QByteArray got = tool.received();
        QCOMPARE(got, QByteArray("(K)\r\n").repeated(int(got.size() / 5)));
        for (qsizetype i = 1; i < sentAt.size(); ++i) // a timer may fire up to 5% early
            QVERIFY2(sentAt[i] - sentAt[i - 1] >= 38'000'000, qPrintable(QString::number(sentAt[i] - sentAt[i - 1])));
    }
}

void TestSimulator::hangUpAndReopen()
{
    Options o = small(10);
    o.hangupAfterLines = 4;
    Unit unit(o);
    QSignalSpy hungUp(&unit, &Unit::hungUp);
    QSignalSpy closed(&unit, &Unit::slaveClosed);
    ToolEnd tool;
    QVERIFY(connectTool(unit, tool));
    const QString firstPath = unit.slavePath();
    Table copy = unit.table();
    const QByteArray all = reply(copy, "[r]\r");

    tool.write("[r]\r");
    QVERIFY(waitFor([&] { return tool.gotEof(); }));
    QCOMPARE(tool.received(), all.left(4 * 18));
    QVERIFY(tool.sawHup());
    QCOMPARE(tool.writeErrno("[r0001]\r"), EIO);
    QCOMPARE(hungUp.count(), 1);
    QCOMPARE(closed.count(), 1);
    QVERIFY(!unit.isRunning());

    QVERIFY(unit.reopen());
    QVERIFY(unit.slavePath() != firstPath); // the old one is still held by the tool
    ToolEnd tool2;
    QVERIFY(tool2.open(unit.slavePath()));
    QVERIFY(waitFor([&] { return unit.slaveOpen(); }));
    tool2.write("[r0004]\r");
    QVERIFY(waitFor([&] { return tool2.received().size() >= 23; }));
    QCOMPARE(tool2.received(), all.mid(4 * 18, 18) + "(K)\r\n");
}

// Three writes as a tool sends them, each with a read of its slot right
// behind it: `kept` says which writes the table takes, `lineGoneAfter` after
// which the cable is pulled (0: never), `delayMs` how long each write takes.
void TestSimulator::writes_data()
{
    QTest::addColumn<Options>("options");
    QTest::addColumn<QList<bool>>("kept");
    QTest::addColumn<int>("lineGoneAfter");
    QTest::addColumn<int>("delayMs");
    Options o = small(10);
    QTest::newRow("plain") << o << QList<bool>{true, true, true} << 0 << 0;
    o.writeDelayMs = 150;
    QTest::newRow("write delay") << o << QList<bool>{true, true, true} << 0 << 150;
    o = small(10);
    o.ignoreWrite = 2;
    QTest::newRow("ignored write") << o << QList<bool>{true, false, true} << 0 << 0;
    o = small(10);
    o.hangupAfterWrites = 2;
    QTest::newRow("hang-up after writes") << o << QList<bool>{true, true} << 2 << 0;
}

void TestSimulator::writes()
{
    QFETCH(Options, options);
    QFETCH(QList<bool>, kept);
    QFETCH(int, lineGoneAfter);
    QFETCH(int, delayMs);
    Unit unit(options);
    ToolEnd tool;
    QVERIFY(connectTool(unit, tool));
    // The slot as the unit holds it when the read behind the write comes in,
    // and when the write is done (before its status reply is out).
    int slot = 0;
    QList<Slot> whenReadCame;
    QList<Slot> whenDone;
    connect(&unit, &Unit::frameReceived, this, [&](const QByteArray &frame) {
        if (frame.startsWith("[r"))
            whenReadCame.append(unit.table()[slot]);
    });
    connect(&unit, &Unit::writeProcessed, this, [&](int written) {
        QVERIFY(!tool.received().contains("(K)"));
        whenDone.append(unit.table()[written]);
    });

    for (int i = 0; i < kept.size(); ++i) {
        slot = i + 1;
        const Slot before = unit.table()[slot];
        const Slot written{QByteArray::number(777000000 + i), 100 + i};
        const Slot held = kept[i] ? written : before;
        tool.clear();
        const qint64 t0 = nowNs();
        tool.write(QStringLiteral("[w%1%2%3]\r[r%1]\r")
                       .arg(slot, 4, 10, QLatin1Char('0'))
                       .arg(written.object, 4, 10, QLatin1Char('0'))
                       .arg(QString::fromLatin1(written.gsm))
                       .toLatin1());
        const QByteArray expected = i + 1 == lineGoneAfter ? QByteArray("(K)\r\n") // the read is lost with the line
                                                           : "(K)\r\n" + lineOf(entryBody(held)) + "(K)\r\n";
        QVERIFY(waitFor([&] { return tool.received().size() >= expected.size(); }));
        QTest::qWait(20);
        QCOMPARE(tool.received(), expected);
        QVERIFY(tool.reads().first().atNs - t0 >= delayMs * 950'000);
        // A slow write changes the table only when it is done.
        QCOMPARE(whenReadCame.last(), delayMs > 0 ? before : held);
        QCOMPARE(whenDone.size(), i + 1);
        QCOMPARE(whenDone.last(), held);
        QCOMPARE(unit.table()[slot], held);
    }
    QCOMPARE(waitFor([&] { return tool.gotEof(); }, 300), lineGoneAfter > 0);
}

void TestSimulator::helloAndPortOpenClose()
{
    Options o = small(100);
    o.hello = true;
    o.info = true;
    o.paced = true;
    Unit unit(o);
    QSignalSpy opened(&unit, &Unit::slaveOpened);
    QSignalSpy closed(&unit, &Unit::slaveClosed);
    QVERIFY(unit.start());
    QTest::qWait(100);
    QCOMPARE(opened.count(), 0); // nobody there yet

    const QByteArray hello = lineOf(helloBody()) + lineOf(infoBody1()) + lineOf(infoBody2());
    ToolEnd tool;
    const qint64 t0 = nowNs();
    QVERIFY(tool.open(unit.slavePath()));
    QVERIFY(waitFor([&] { return tool.received().size() >= hello.size(); }));
    QCOMPARE(opened.count(), 1);
    QCOMPARE(tool.received(), hello);
    QVERIFY(tool.reads().first().atNs - t0 >= 80'000'000); // not into the open's flush

    // A paced reply cut off by the tool closing the port must not reach the
    // next program that opens it.
    tool.clear();
    tool.write("[r]\r");
    QVERIFY(waitFor([&] { return !tool.received().isEmpty(); }));
    tool.close();
    QVERIFY(waitFor([&] { return closed.count() == 1; }));
    QVERIFY(unit.outputIdle());

    // A command at once after opening: the start-up notice still comes first.
    ToolEnd again;
    QVERIFY(again.open(unit.slavePath()));
    QVERIFY(waitFor([&] { return unit.slaveOpen(); }));
    again.write("[r0004]\r");
    const QByteArray expected = hello + lineOf(entryBody(unit.table()[4])) + "(K)\r\n";
    QVERIFY(waitFor([&] { return again.received().size() >= expected.size(); }));
    QTest::qWait(150);
    QCOMPARE(again.received(), expected);
    QCOMPARE(opened.count(), 2);
}

void TestSimulator::noSpinning()
{
    // 5% of a core, while no slave is open, while one is open and idle, and
    // once it is closed again.
    constexpr double kShare = 0.05;
    Options o = small(1000);
    o.paced = true;
    Unit unit(o);
    QVERIFY(unit.start());
    QVERIFY(testing::staysIdle(1000, kShare));

    ToolEnd tool;
    QVERIFY(tool.open(unit.slavePath()));
    QVERIFY(waitFor([&] { return unit.slaveOpen(); }));
    tool.write("[r0001]\r");
    QVERIFY(waitFor([&] { return tool.received().size() >= 23; }));
    QVERIFY(testing::staysIdle(1000, kShare));

    tool.close();
    QVERIFY(waitFor([&] { return !unit.slaveOpen(); }));
    QVERIFY(testing::staysIdle(1000, kShare));
}

// A paced whole-table read (1.56 s) whose port is closed after 20 lines and
// opened again 100 ms later. A unit that does not see the close goes on:
// what left meanwhile is lost, the new program gets the rest of the answer.
// Either way, what a program left unread when it closed the port is gone.
void TestSimulator::talkThroughClose_data()
{
    QTest::addColumn<bool>("talk");
    QTest::newRow("closing ends the answer") << false;
    QTest::newRow("talks through the close") << true;
}

void TestSimulator::talkThroughClose()
{
    QFETCH(bool, talk);
    Options o = small(1000);
    o.paced = true;
    o.talkThroughClose = talk;
    Unit unit(o);
    QSignalSpy drained(&unit, &Unit::outputDrained);
    ToolEnd unread;
    QVERIFY(connectTool(unit, unread, true, 300)); // reads only after 300 ms
    unread.write("[r0004]\r");
    QVERIFY(waitFor([&] { return unit.linesSent() == 2; }));
    unread.close();
    QVERIFY(waitFor([&] { return !unit.slaveOpen(); }));

    ToolEnd tool;
    QVERIFY(connectTool(unit, tool));
    Table copy = unit.table();
    const QByteArray all = reply(copy, "[r]\r");

    tool.write("[r]\r");
    QVERIFY(waitFor([&] { return tool.received().size() >= 20 * 18; }));
    tool.close();
    const QByteArray head = tool.received();
    QVERIFY(waitFor([&] { return !unit.slaveOpen(); }));
    QTest::qWait(100);
    QCOMPARE(unit.outputIdle(), !talk);

    ToolEnd again;
    QVERIFY(again.open(unit.slavePath()));
    QVERIFY(waitFor([&] { return unit.slaveOpen(); }));
    QVERIFY(waitFor([&] { return unit.outputIdle(); }, 10000));
    if (talk) // a reader slowed down by other work may still be behind
        QVERIFY(waitFor([&] { return again.received().endsWith("(K)\r\n"); }));
    QTest::qWait(talk ? 30 : 200);
    const QByteArray tail = again.received();
    QVERIFY(all.startsWith(head));
    QCOMPARE(drained.count(), talk ? 2 : 1);
    if (!talk) {
        QCOMPARE(tail, QByteArray());
        return;
    }
    qInfo("closed for 100 ms in a paced answer of %lld bytes: %lld before, %lld after, %lld lost",
          qint64(all.size()), qint64(head.size()), qint64(tail.size()), qint64(all.size() - head.size() - tail.size()));
    QVERIFY(!tail.isEmpty());
    QVERIFY(all.endsWith(tail));
    QVERIFY2(head.size() + tail.size() < all.size() - 500, qPrintable(QString::number(tail.size())));
    QCOMPARE(unit.linesSent(), 2 + 1001);
}

// Two commands, so that every answer shows the fault. `gapAt`: the offset in
// `expected` in front of which the unit pauses `pauseMs`.
void TestSimulator::lostByteAndPause_data()
{
    QTest::addColumn<Options>("options");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("gapAt");
    const QByteArray entry4 = lineOf(entryBody(generateTable(10, 3)[4]));
    const QByteArray k = "(K)\r\n";
    Options o = small(10);
    o.loseByte = 1;
    QTest::newRow("first byte") << o << entry4.mid(1) + k + k.mid(1) << -1;
    o.loseByte = 22;
    QTest::newRow("in the second line") << o << entry4 + "(K)\n" + k << -1;
    o.loseByte = 24;
    QTest::newRow("beyond the answer") << o << entry4 + k + k << -1;
    o.loseByte = 2;
    o.garbage = "##";
    QTest::newRow("garbage counts") << o << "#" + entry4 + "##" + k + "#" + k << -1;
    o = small(10);
    o.pauseAfterLines = 1;
    o.pauseMs = 250;
    QTest::newRow("pause after a line") << o << entry4 + k + k << int(entry4.size());
}

void TestSimulator::lostByteAndPause()
{
    QFETCH(Options, options);
    QFETCH(QByteArray, expected);
    QFETCH(int, gapAt);
    Unit unit(options);
    ToolEnd tool;
    QVERIFY(connectTool(unit, tool));
    qint64 firstLineOutAt = 0;
    connect(&unit, &Unit::lineSent, this, [&] {
        if (!firstLineOutAt)
            firstLineOutAt = nowNs();
    });
    tool.write("[r0004]\r[r0099]\r");
    QVERIFY(waitFor([&] { return tool.received().size() >= expected.size(); }));
    QTest::qWait(30);
    QCOMPARE(tool.received(), expected);
    QVERIFY(unit.outputIdle());
    if (gapAt < 0)
        return;
    // Where the tool got the line after the pause, from when the line before
    // left the unit: a late reader can only widen the gap.
    qint64 got = 0;
    for (const ToolEnd::Read &r : tool.reads()) {
        got += r.bytes.size();
        if (got > gapAt) {
            QVERIFY2(r.atNs - firstLineOutAt >= options.pauseMs * 1'000'000LL,
                     qPrintable(QString::number((r.atNs - firstLineOutAt) / 1e6)));
            return;
        }
    }
}

// Paced, the tool's bytes take their time on the line: 1158 bytes (junk and
// a frame) take 100.5 ms, and a second run written while the first is still
// on its way waits for the line to be free. No reply can come before its
// frame is in.
void TestSimulator::pacedInput()
{
    Options o = small(10);
    o.paced = true;
    Unit unit(o);
    ToolEnd tool;
    QVERIFY(connectTool(unit, tool));
    const QByteArray run4 = QByteArray(1150, 'x') + "[r0004]\r";
    const QByteArray run5 = QByteArray(1150, 'x') + "[r0005]\r";
    const QByteArray reply4 = lineOf(entryBody(unit.table()[4])) + "(K)\r\n";
    const QByteArray expected = reply4 + lineOf(entryBody(unit.table()[5])) + "(K)\r\n";
    const qint64 t0 = nowNs();
    QCOMPARE(tool.write(run4), run4.size());
    QTest::qWait(30); // the unit reads the first run before the second comes
    QCOMPARE(tool.write(run5), run5.size());
    QVERIFY(waitFor([&] { return tool.received().size() >= expected.size(); }));
    QTest::qWait(20);
    QCOMPARE(tool.received(), expected);
    const qint64 runNs = run4.size() * 1'000'000'000LL / kBytesPerSecond;
    qint64 got = 0;
    for (const ToolEnd::Read &r : tool.reads()) {
        if (got < reply4.size())
            QVERIFY2(r.atNs - t0 >= runNs, qPrintable(QString::number((r.atNs - t0) / 1e6)));
        else
            QVERIFY2(r.atNs - t0 >= 2 * runNs, qPrintable(QString::number((r.atNs - t0) / 1e6)));
        got += r.bytes.size();
    }
}

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
