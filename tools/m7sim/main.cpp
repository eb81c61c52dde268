// m7sim: a simulated GSM-M7/1 unit on a pseudo-terminal, for running the
// programmer without the hardware. Prints the port to open on its first
// line of output and runs until SIGINT or SIGTERM.

#include "m7unit.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <optional>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const int saved = errno;
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
    errno = saved;
}

[[noreturn]] void fail(const QString &message, int code = 2)
{
    std::fprintf(stderr, "m7sim: %s\n", qPrintable(message));
    std::exit(code);
}

int intOption(const QCommandLineParser &p, const QString &name, qint64 lo, qint64 hi, qint64 fallback)
{
    if (!p.isSet(name))
        return int(fallback);
    bool ok = false;
    const qint64 v = p.value(name).toLongLong(&ok);
    if (!ok || v < lo || v > hi)
        fail(QStringLiteral("--%1 wants a number from %2 to %3, not \"%4\"").arg(name).arg(lo).arg(hi).arg(p.value(name)));
    return int(v);
}

// "\r", "\n", "\t", "\\", "\xHH" in the --garbage text; everything else as it is.
QByteArray unescape(const QString &text)
{
    const QByteArray in = text.toLocal8Bit();
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c != '\\' || i + 1 == in.size()) {
            out += c;
            continue;
        }
        const char e = in[++i];
        switch (e) {
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case '0': out += '\0'; break;
        case 'x': {
            bool ok = false;
            const int v = in.mid(i + 1, 2).toInt(&ok, 16);
            if (ok && i + 2 < in.size()) {
                out += char(v);
                i += 2;
            } else {
                out += "\\x";
            }
            break;
        }
        default: out += e; break;
        }
    }
    return out;
}

// Bytes as readable text for the log: CR, LF and other control bytes escaped.
QByteArray printable(const QByteArray &bytes)
{
    QByteArray out;
    for (char c : bytes) {
        const auto u = uchar(c);
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\\')
            out += "\\\\";
        else if (u < 0x20 || u >= 0x7f)
            out += "\\x" + QByteArray::number(u, 16).rightJustified(2, '0');
        else
            out += c;
    }
    return out;
}

bool makeLink(const QString &link, const QString &target)
{
    const QByteArray l = QFile::encodeName(link);
    const QFileInfo info(link);
    if (info.exists() || info.isSymLink()) {
        if (!info.isSymLink()) {
            std::fprintf(stderr, "m7sim: --link %s exists and is no symbolic link; left alone\n", l.constData());
            return false;
        }
        ::unlink(l.constData());
    }
    if (::symlink(QFile::encodeName(target).constData(), l.constData()) != 0) {
        std::fprintf(stderr, "m7sim: --link %s: %s\n", l.constData(), std::strerror(errno));
        return false;
    }
    return true;
}

void removeLink(const QString &link, const QString &target)
{
    // Only our own link: another simulator may have taken the name since.
    if (QFileInfo(link).isSymLink() && QFile::symLinkTarget(link) == QFileInfo(target).absoluteFilePath())
        ::unlink(QFile::encodeName(link).constData());
}

// The command line: the unit's options, --help and its text.
void describeOptions(QCommandLineParser &p)
{
    p.setApplicationDescription(QStringLiteral(
        "A simulated GSM-M7/1 unit behind a pseudo-terminal.\n"
        "\n"
        "Prints the pseudo-terminal the programmer has to open (e.g. /dev/pts/7)\n"
        "as its first line of output, then answers the programmer's commands\n"
        "([r], [rPPPP], [wPPPPOOOOGGGGGGGGG], [d], each followed by CR) the way\n"
        "the unit does, until it gets SIGINT or SIGTERM. The port is raw; the\n"
        "line speed is not enforced unless --paced is given.\n"
        "\n"
        "Faults (--silence-after, --split, --garbage, --lf-only-line,\n"
        "--hangup-after, --pause-after, --lose-byte) make it behave like a bad\n"
        "line or a unit that stops answering. Per-command counts are reply\n"
        "lines of one command; the start-up notice and the heartbeat are not\n"
        "commands.\n"
        "\n"
        "Like the real unit, it does not see the programmer close the port with\n"
        "--talk-through-close: an answer goes on and is lost while the port is\n"
        "closed, and a program opening the port before it is over gets the\n"
        "rest. Without it, an answer ends when the port is closed.\n"
        "\n"
        "Writes (--write-delay, --ignore-write, --hangup-after-writes) make it a\n"
        "slow unit, one that loses a write, or one whose cable is pulled during\n"
        "a run of writes. The N-th write counts the write frames since start,\n"
        "from 1. Frames are carried out in order: one that comes while a write\n"
        "is still being processed waits for it.\n"
        "\n"
        "After a --hangup-after or --hangup-after-writes hang-up the unit comes\n"
        "back after one second on a new pseudo-terminal: its path is printed as\n"
        "a new line of output and the --link is moved to it.\n"
        "\n"
        "To run the programmer itself with this unit on COM 1:\n"
        "  scripts/with-unit [these options] -- build/m7prog"));
    p.addHelpOption();
    const QList<QCommandLineOption> options = {
        {QStringLiteral("slots"), QStringLiteral("Slots in the unit's table, 1..9999 (default 1000)."), QStringLiteral("N")},
        {QStringLiteral("seed"), QStringLiteral("Seed of the made-up table (default 1). The same seed gives the same table: about 15% blank slots, distinct 9-digit GSM numbers, distinct objects 1..7999."), QStringLiteral("S")},
        {QStringLiteral("table"), QStringLiteral("Initial table from an objects file of the programmer: one line per slot, \"(0001)\",\"359888123456\",17; slots without a line are blank."), QStringLiteral("FILE")},
        {QStringLiteral("paced"), QStringLiteral("Send and receive at the real line rate, 11520 bytes/s (115200 baud 8N1): a 1000-slot read takes 1.56 s, and a command is carried out once its last byte would be in.")},
        {QStringLiteral("hello"), QStringLiteral("Send the start-up notice (S) 100 ms after the programmer opens the port.")},
        {QStringLiteral("info"), QStringLiteral("Send the two information lines (28 and 15 bytes) after the start-up notice and after every whole-table read.")},
        {QStringLiteral("heartbeat"), QStringLiteral("Send a status line (K) whenever the line has been idle for MS milliseconds."), QStringLiteral("MS")},
        {QStringLiteral("silence-after"), QStringLiteral("Fault: after N reply lines of a command, send nothing more for it."), QStringLiteral("N")},
        {QStringLiteral("split"), QStringLiteral("Fault: send every line in pieces of N bytes, 2 ms apart, so that each arrives on its own."), QStringLiteral("N")},
        {QStringLiteral("garbage"), QStringLiteral("Fault: write TEXT in front of the '(' of every line. \\r \\n \\t \\0 \\\\ and \\xHH are understood."), QStringLiteral("TEXT")},
        {QStringLiteral("lf-only-line"), QStringLiteral("Fault: reply line N (0-based) of every command ends in ')' LF instead of ')' CR LF."), QStringLiteral("N")},
        {QStringLiteral("hangup-after"), QStringLiteral("Fault: during a whole-table read, close the pseudo-terminal after N reply lines, as if the cable were pulled."), QStringLiteral("N")},
        {QStringLiteral("pause-after"), QStringLiteral("Fault: after N reply lines of a command, stop sending for --pause milliseconds, then send the rest."), QStringLiteral("N")},
        {QStringLiteral("pause"), QStringLiteral("How long the --pause-after pause lasts."), QStringLiteral("MS")},
        {QStringLiteral("lose-byte"), QStringLiteral("Fault: byte N (counted from 1) of every command's answer is not sent, as if lost on the line; the rest is sent as it is."), QStringLiteral("N")},
        {QStringLiteral("talk-through-close"), QStringLiteral("Do not notice the programmer closing the port: an answer goes on at its pace and is lost while the port is closed; a program opening the port before it is over gets the rest.")},
        {QStringLiteral("write-delay"), QStringLiteral("Every write frame takes MS milliseconds to process: then the table changes and the status reply (K) goes out."), QStringLiteral("MS")},
        {QStringLiteral("ignore-write"), QStringLiteral("Fault: the N-th write frame is answered with its status reply (K) as usual but does not change the table."), QStringLiteral("N")},
        {QStringLiteral("hangup-after-writes"), QStringLiteral("Fault: once the status reply of the N-th write frame is out, close the pseudo-terminal, as if the cable were pulled."), QStringLiteral("N")},
        {QStringLiteral("link"), QStringLiteral("Make PATH a symbolic link to the pseudo-terminal (removed on exit), e.g. a fixed name for the programmer's settings."), QStringLiteral("PATH")},
        {QStringLiteral("log"), QStringLiteral("Append every frame received and every line sent, with a timestamp, to FILE: \"rx\" a frame, \"tx\" a line, \"lost\" a line sent into a closed port, \"-- all sent\" once nothing more is waiting to go out."), QStringLiteral("FILE")},
    };
    p.addOptions(options);
}

struct Settings
{
    m7sim::Options unit;
    QString linkPath;
    std::optional<QString> logPath; // with --log
};

Settings readSettings(const QCommandLineParser &p)
{
    if (!p.positionalArguments().isEmpty())
        fail(QStringLiteral("unexpected argument \"%1\" (see --help)").arg(p.positionalArguments().first()));
    Settings settings;
    m7sim::Options &o = settings.unit;
    o.slotCount = intOption(p, QStringLiteral("slots"), 1, m7sim::kMaxSlots, o.slotCount);
    if (p.isSet(QStringLiteral("seed"))) {
        bool ok = false;
        const qulonglong seed = p.value(QStringLiteral("seed")).toULongLong(&ok);
        if (!ok || seed > 0xFFFFFFFFull)
            fail(QStringLiteral("--seed wants a number from 0 to 4294967295"));
        o.seed = quint32(seed);
    }
    o.tableFile = p.value(QStringLiteral("table"));
    o.paced = p.isSet(QStringLiteral("paced"));
    o.hello = p.isSet(QStringLiteral("hello"));
    o.info = p.isSet(QStringLiteral("info"));
    o.heartbeatMs = intOption(p, QStringLiteral("heartbeat"), 0, 86'400'000, 0);
    o.silenceAfterLines = intOption(p, QStringLiteral("silence-after"), 0, 1'000'000, -1);
    o.splitBytes = intOption(p, QStringLiteral("split"), 1, 1'000'000, 0);
    o.garbage = unescape(p.value(QStringLiteral("garbage")));
    o.lfOnlyLine = intOption(p, QStringLiteral("lf-only-line"), 0, 1'000'000, -1);
    o.hangupAfterLines = intOption(p, QStringLiteral("hangup-after"), 0, 1'000'000, -1);
    if (p.isSet(QStringLiteral("pause-after")) != p.isSet(QStringLiteral("pause")))
        fail(QStringLiteral("--pause-after and --pause go together"));
    o.pauseAfterLines = intOption(p, QStringLiteral("pause-after"), 0, 1'000'000, -1);
    o.pauseMs = intOption(p, QStringLiteral("pause"), 1, 86'400'000, 0);
    o.loseByte = intOption(p, QStringLiteral("lose-byte"), 1, 1'000'000'000, 0);
    o.talkThroughClose = p.isSet(QStringLiteral("talk-through-close"));
    o.writeDelayMs = intOption(p, QStringLiteral("write-delay"), 0, 86'400'000, 0);
    o.ignoreWrite = intOption(p, QStringLiteral("ignore-write"), 1, 1'000'000'000, 0);
    o.hangupAfterWrites = intOption(p, QStringLiteral("hangup-after-writes"), 1, 1'000'000'000, 0);
    o.keepLog = false; // runs for hours: --log is the record
    settings.linkPath = p.value(QStringLiteral("link"));
    if (p.isSet(QStringLiteral("log")))
        settings.logPath = p.value(QStringLiteral("log"));
    return settings;
}

// The --log file: every event on a line of its own, with a timestamp.
class EventLog
{
public:
    void open(const std::optional<QString> &path)
    {
        if (!path)
            return;
        m_file.setFileName(*path);
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append))
            fail(QStringLiteral("--log %1: %2").arg(m_file.fileName(), m_file.errorString()), 1);
    }
    void note(const char *tag, const QByteArray &what)
    {
        if (!m_file.isOpen())
            return;
        m_file.write(QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toLatin1() + ' ' + tag + ' '
                     + printable(what) + '\n');
        m_file.flush();
    }

private:
    QFile m_file;
};

// SIGINT/SIGTERM/SIGHUP end the event loop through a pipe, so that the link
// is removed and the log closed as usual.
void quitOnSignals(QCoreApplication &app)
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        fail(QStringLiteral("pipe: %1").arg(QString::fromLocal8Bit(std::strerror(errno))), 1);
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN); // whoever read our first line may be gone
    auto *signalNote = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(signalNote, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
}

// Prints the unit's pseudo-terminal as a line of output and keeps the --link
// pointing at it.
class Announcer
{
public:
    Announcer(const QString &linkPath, EventLog &log) : m_linkPath(linkPath), m_log(log) {}
    void announce(const QString &slavePath)
    {
        std::printf("%s\n", qPrintable(slavePath));
        std::fflush(stdout);
        m_log.note("--", "unit on " + slavePath.toLocal8Bit());
        if (m_linkPath.isEmpty())
            return;
        withdraw();
        m_linked = makeLink(m_linkPath, slavePath) ? slavePath : QString();
    }
    // Removes the link.
    void withdraw()
    {
        if (!m_linked.isEmpty())
            removeLink(m_linkPath, m_linked);
        m_linked.clear();
    }

private:
    QString m_linkPath;
    QString m_linked; // the pseudo-terminal the link points to now
    EventLog &m_log;
};

void logTraffic(m7sim::Unit &unit, EventLog &log)
{
    QObject::connect(&unit, &m7sim::Unit::frameReceived, &unit, [&log](const QByteArray &f) { log.note("rx", f); });
    // A line that left while the port was closed (--talk-through-close) is
    // lost; "all sent" marks the moment everything queued is out.
    QObject::connect(&unit, &m7sim::Unit::lineSent, &unit,
                     [&log, &unit](const QByteArray &l) { log.note(unit.slaveOpen() ? "tx" : "lost", l); });
    QObject::connect(&unit, &m7sim::Unit::outputDrained, &unit, [&log] { log.note("--", "all sent"); });
    QObject::connect(&unit, &m7sim::Unit::slaveOpened, &unit, [&log] { log.note("--", "port opened"); });
    QObject::connect(&unit, &m7sim::Unit::slaveClosed, &unit, [&log] { log.note("--", "port closed"); });
    QObject::connect(&unit, &m7sim::Unit::hungUp, &unit, [&log] { log.note("--", "hung up"); });
}

// After a hang-up the unit comes back after a second on a new
// pseudo-terminal.
void comeBackAfterHangUp(m7sim::Unit &unit, Announcer &announcer)
{
    QObject::connect(&unit, &m7sim::Unit::hungUp, &unit, [&unit, &announcer] {
        QTimer::singleShot(1000, &unit, [&unit, &announcer] {
            if (unit.isRunning())
                return;
            if (!unit.reopen()) {
                std::fprintf(stderr, "m7sim: %s\n", qPrintable(unit.errorString()));
                QCoreApplication::exit(1);
                return;
            }
            announcer.announce(unit.slavePath());
        });
    });
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("m7sim"));
    QCommandLineParser p;
    describeOptions(p);
    p.process(app);
    const Settings settings = readSettings(p);

    EventLog log;
    log.open(settings.logPath);
    quitOnSignals(app);
    m7sim::Unit unit(settings.unit);
    if (!unit.start())
        fail(unit.errorString(), 1);
    Announcer announcer(settings.linkPath, log);
    announcer.announce(unit.slavePath());
    logTraffic(unit, log);
    comeBackAfterHangUp(unit, announcer);

    const int rc = app.exec();
    announcer.withdraw();
    log.note("--", "stopped");
    return rc;
}
