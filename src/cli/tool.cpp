#include "cli/tool.h"

#include "unit/jobs.h"
#include "cli/ports.h"
#include "files/records.h"
#include "link/portmap.h"
#include "table/numbers.h"
#include "table/plan.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>

#include <cerrno>
#include <cstring>

namespace cli {

using namespace unit;

namespace {
const QString kSelf = QStringLiteral("m7ctl");

QCommandLineOption opt(const QStringList &names, const QString &help, const QString &value = QString())
{
    return QCommandLineOption(names, help, value);
}

QString row(int position, const table::Entry &e)
{
    return table::rowOf(position, e);
}

// A position as the window counts its rows: 1..9999.
std::optional<int> positionFrom(const QString &text)
{
    bool ok = false;
    const int p = text.trimmed().toInt(&ok);
    if (!ok || p < 1 || p > table::kLastPosition)
        return std::nullopt;
    return p;
}
} // namespace

PortChoice portFromArgument(const QString &text)
{
    const QString t = text.trimmed();
    if (t.startsWith(QLatin1Char('/')))
        return {t, 0};
    QString digits = t;
    if (digits.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        digits = digits.mid(3).trimmed();
    bool ok = false;
    const int n = digits.toInt(&ok);
    if (!ok || n < 1 || n > 4)
        return {};
    return {comm::platformPortName(n), n};
}

QString usageText()
{
    return QStringLiteral(
        "Usage: m7ctl [-p PORT] [-t SECONDS] [-q] [--trace] COMMAND [ARGS]\n"
        "Backs up, clones, programs and checks the table of a GSM-M7/1 unit over its\n"
        "serial cable (115200 baud, 8N1).\n"
        "\n"
        "  -p, --port PORT     COM1..COM4 (or 1..4), mapped to a device as the window maps them,\n"
        "                      or a device path such as /dev/ttyUSB1 or /dev/serial/by-id/...; default COM1\n"
        "  -t, --timeout S     seconds to wait for the unit's answer to one frame (default 3)\n"
        "  -q, --quiet         no progress display\n"
        "      --trace         every frame sent and line received on standard error, with times\n"
        "      --format F      onf or csv, for a file whose name does not say it\n"
        "  -h, --help          this text\n"
        "  -V, --version       the version\n"
        "\n"
        "  ports                          serial ports here: device, the COM number that maps to it, description,\n"
        "                                 USB vendor:product and serial number, and whether another program holds it\n"
        "  info                           the unit's two information lines, waiting up to the timeout for them\n"
        "  read [-o FILE]                 the whole table, to FILE or to standard output\n"
        "  get POSITION                   one entry, printed as the window's row: (0005) : 359888123456 - 12\n"
        "  set POSITION GSM OBJECT        write one entry, checked as the window checks an edit\n"
        "  clear POSITION                 write the blank entry at POSITION\n"
        "  diff FILE                      list the positions where the unit and FILE differ\n"
        "  write FILE [--dry-run] [--prune [--yes]] [--no-verify]\n"
        "                                 make the unit hold FILE's entries; --prune also blanks the\n"
        "                                 positions FILE does not list (asks first, or --yes)\n"
        "  erase --yes                    erase the whole table and wait until the unit reports the end\n"
        "\n"
        "POSITION counts from 1 as the window's rows do. FILE is .onf/.tfo (the window's records) or\n"
        ".csv (position,gsm,object). Exit status: 0 done; 1 diff found differences; 2 bad usage or a\n"
        "bad input file (nothing was written); 3 the port could not be opened or was lost; 4 the unit\n"
        "did not answer in time; 5 the read-back after a write found differences; 130 interrupted.\n");
}

Tool::Tool(std::FILE *out, std::FILE *err) : m_out(out), m_err(err)
{
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOptions({
        opt({QStringLiteral("p"), QStringLiteral("port")}, QString(), QStringLiteral("PORT")),
        opt({QStringLiteral("t"), QStringLiteral("timeout")}, QString(), QStringLiteral("SECONDS")),
        opt({QStringLiteral("q"), QStringLiteral("quiet")}, QString()),
        opt({QStringLiteral("trace")}, QString()),
        opt({QStringLiteral("o"), QStringLiteral("output")}, QString(), QStringLiteral("FILE")),
        opt({QStringLiteral("format")}, QString(), QStringLiteral("FORMAT")),
        opt({QStringLiteral("dry-run")}, QString()),
        opt({QStringLiteral("prune")}, QString()),
        opt({QStringLiteral("no-verify")}, QString()),
        opt({QStringLiteral("yes")}, QString()),
        opt({QStringLiteral("h"), QStringLiteral("help")}, QString()),
        opt({QStringLiteral("V"), QStringLiteral("version")}, QString()),
    });
}

Tool::~Tool() = default;

void Tool::say(const QString &message)
{
    if (m_progress)
        m_progress->clear();
    std::fprintf(m_err, "%s: %s\n", qPrintable(kSelf), message.toLocal8Bit().constData());
    std::fflush(m_err);
}

void Tool::message(const QString &line)
{
    if (m_progress)
        m_progress->clear();
    std::fprintf(m_err, "%s\n", line.toLocal8Bit().constData());
}

void Tool::result(const QString &line)
{
    if (m_progress)
        m_progress->clear();
    output(line.toLocal8Bit() + '\n');
}

// Results that cannot be written (a full disk, a closed pipe) must not pass
// for written: the first failure is kept, and run() reports it.
void Tool::output(const QByteArray &bytes)
{
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_out) != size_t(bytes.size()) ||
        std::fflush(m_out) != 0)
        noteOutputError(errno);
}

void Tool::noteOutputError(int code)
{
    if (m_outError == 0)
        m_outError = code != 0 ? code : EIO;
}

int Tool::usage(const QString &message)
{
    say(message);
    std::fprintf(m_err, "Try 'm7ctl --help' for more information.\n");
    return ExitUsage;
}

int Tool::fail(int status, const QString &message)
{
    say(message);
    return status;
}

int Tool::exitFor(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Done: return ExitDone;
    case Outcome::Lost: return ExitPort;
    case Outcome::Interrupted: return ExitInterrupted;
    case Outcome::Silent:
    case Outcome::Garbled:
    case Outcome::Talking: return ExitSilent;
    }
    return ExitSilent;
}

int Tool::run(const QStringList &arguments)
{
    const int status = runCommand(arguments);
    errno = 0;
    if (std::fflush(m_out) != 0 || std::ferror(m_out))
        noteOutputError(errno);
    if (m_outError == 0)
        return status;
    say(QStringLiteral("standard output: %1").arg(QString::fromLocal8Bit(std::strerror(m_outError))));
    return status == ExitDone ? ExitUsage : status;
}

int Tool::runCommand(const QStringList &arguments)
{
    if (!m_parser.parse(QStringList{kSelf} + arguments))
        return usage(m_parser.errorText());
    if (m_parser.isSet(QStringLiteral("help"))) {
        std::fputs(usageText().toLocal8Bit().constData(), m_out);
        return ExitDone;
    }
    if (m_parser.isSet(QStringLiteral("version"))) {
        std::fprintf(m_out, "m7ctl %s\n", qPrintable(QCoreApplication::applicationVersion()));
        return ExitDone;
    }
    const QStringList args = m_parser.positionalArguments();
    if (args.isEmpty())
        return usage(QStringLiteral("no command given"));
    const QString command = args.first();

    // Options that belong to one command only.
    const struct {
        const char *option;
        QStringList commands;
    } owned[] = {
        {"output", {QStringLiteral("read")}},
        {"format", {QStringLiteral("read"), QStringLiteral("diff"), QStringLiteral("write")}},
        {"dry-run", {QStringLiteral("write")}},
        {"prune", {QStringLiteral("write")}},
        {"no-verify", {QStringLiteral("write")}},
        {"yes", {QStringLiteral("erase"), QStringLiteral("write")}},
    };
    for (const auto &o : owned)
        if (m_parser.isSet(QLatin1String(o.option)) && !o.commands.contains(command))
            return usage(QStringLiteral("--%1 does not go with %2").arg(QLatin1String(o.option), command));

    m_port = portFromArgument(m_parser.isSet(QStringLiteral("port")) ? m_parser.value(QStringLiteral("port"))
                                                                      : QStringLiteral("COM1"));
    if (m_port.device.isEmpty())
        return usage(QStringLiteral("-p wants COM1..COM4, 1..4 or a device path, not \"%1\"")
                         .arg(m_parser.value(QStringLiteral("port"))));
    if (m_parser.isSet(QStringLiteral("timeout"))) {
        bool ok = false;
        const double s = QLocale::c().toDouble(m_parser.value(QStringLiteral("timeout")), &ok);
        if (!ok || s <= 0 || s > 3600)
            return usage(QStringLiteral("-t wants seconds above 0, not \"%1\"").arg(m_parser.value(QStringLiteral("timeout"))));
        m_timeoutMs = qMax(1, int(s * 1000 + 0.5));
    }
    m_trace = m_parser.isSet(QStringLiteral("trace"));
    m_progress = std::make_unique<ProgressLine>(!m_parser.isSet(QStringLiteral("quiet")) && stderrIsTerminal(), m_err);

    const auto wants = [&](int n) { return args.size() == n + 1; };
    const auto wrongArgs = [&] { return usage(QStringLiteral("wrong arguments for %1").arg(command)); };
    if (command == QLatin1String("ports"))
        return wants(0) ? cmdPorts() : wrongArgs();
    if (command == QLatin1String("info"))
        return wants(0) ? cmdInfo() : wrongArgs();
    if (command == QLatin1String("read"))
        return wants(0) ? cmdRead() : wrongArgs();
    if (command == QLatin1String("get"))
        return wants(1) ? cmdGet(args[1]) : wrongArgs();
    if (command == QLatin1String("set")) {
        if (!wants(3))
            return wrongArgs();
        const std::optional<QString> gsm = table::normaliseGsm(args[2]);
        if (!gsm || *gsm == table::blankGsm())
            return usage(QStringLiteral("GSM number \"%1\" is not nine digits (use clear for a blank entry)").arg(args[2]));
        bool ok = false;
        const int object = args[3].trimmed().toInt(&ok);
        if (!ok || object < 1 || object > table::kLastObject)
            return usage(QStringLiteral("object number \"%1\" is outside 1..7999").arg(args[3]));
        return cmdSet(args[1], table::Entry{*gsm, qint16(object)});
    }
    if (command == QLatin1String("clear"))
        return wants(1) ? cmdSet(args[1], table::Entry{}) : wrongArgs();
    if (command == QLatin1String("diff"))
        return wants(1) ? cmdDiff(args[1]) : wrongArgs();
    if (command == QLatin1String("write"))
        return wants(1) ? cmdWrite(args[1]) : wrongArgs();
    if (command == QLatin1String("erase")) {
        if (!wants(0))
            return wrongArgs();
        if (!m_parser.isSet(QStringLiteral("yes")))
            return usage(QStringLiteral("erase wipes the whole table of the unit: say so with --yes"));
        return cmdErase();
    }
    return usage(QStringLiteral("unknown command \"%1\"").arg(command));
}

// ------------------------------------------------------------- the unit

bool Tool::openEngine()
{
    m_engine = std::make_unique<Engine>(m_port.device, m_port.number);
    m_engine->setTimeoutMs(m_timeoutMs);
    if (m_trace) {
        auto clock = std::make_shared<QElapsedTimer>();
        clock->start();
        m_engine->setTrace([this, clock](const QString &text) {
            if (m_progress)
                m_progress->clear();
            std::fprintf(m_err, "%9.3f %s\n", clock->elapsed() / 1000.0, text.toLocal8Bit().constData());
        });
    }
    m_interrupts = std::make_unique<Interrupts>();
    QObject::connect(m_interrupts.get(), &Interrupts::interrupted, m_engine.get(), &Engine::interrupt);
    if (!m_engine->open()) {
        // The window's texts break their lines with a CR.
        say(m_engine->error().replace(QLatin1Char('\r'), QLatin1Char('\n')));
        return false;
    }
    return true;
}

int Tool::readUnit(table::Table &unit)
{
    const Outcome o = m_engine->readTable(unit, [this](int done, int total) { m_progress->update(QStringLiteral("reading"), done, total); });
    m_progress->clear();
    if (o != Outcome::Done)
        return fail(exitFor(o), outcomeText(o, *m_engine));
    return ExitDone;
}

std::optional<files::Format> Tool::formatFor(const QString &path)
{
    if (m_parser.isSet(QStringLiteral("format"))) {
        const QString f = m_parser.value(QStringLiteral("format")).toLower();
        if (f == QLatin1String("onf"))
            return files::Format::Onf;
        if (f == QLatin1String("csv"))
            return files::Format::Csv;
        return std::nullopt;
    }
    return files::formatFromName(path);
}

void Tool::reportProblems(const QString &path, const QList<table::Problem> &problems)
{
    for (const table::Problem &p : problems)
        message(problemLine(path, p));
    say(problemsSummary(int(problems.size()), path));
}

bool Tool::loadFile(const QString &path, files::TableFile &file)
{
    const std::optional<files::Format> format = formatFor(path);
    if (!format) {
        usage(files::unknownFormatText(path) + QStringLiteral(", or give --format onf|csv"));
        return false;
    }
    LoadedFile loaded = loadTableFile(path, format);
    if (!loaded.error.isEmpty()) {
        say(loaded.error);
        return false;
    }
    // What is wrong with the file alone is known without the unit.
    if (!loaded.file.problems.isEmpty()) {
        reportProblems(path, loaded.file.problems);
        return false;
    }
    file = std::move(loaded.file);
    return true;
}

StageProgress Tool::stageProgress()
{
    return [this](Stage stage, int done, int total) {
        static const char *const words[] = {"reading", "writing", "verifying"};
        m_progress->update(QLatin1String(words[int(stage)]), done, total);
    };
}

// A job that did not get to its end: its lines on standard error, and the
// exit status of what ended it.
int Tool::failed(const JobResult &r)
{
    m_progress->clear();
    for (const QString &line : failureLines(r, *m_engine))
        say(line);
    return exitFor(r.outcome);
}

// ------------------------------------------------------------- commands

int Tool::cmdPorts()
{
    for (const QString &line : portLines(listPorts()))
        result(line);
    return ExitDone;
}

int Tool::cmdInfo()
{
    if (!openEngine())
        return ExitPort;
    QString first, second;
    const Outcome o = m_engine->waitForInfo(first, second);
    if (!first.isEmpty())
        result(first);
    if (!second.isEmpty())
        result(second);
    if (o == Outcome::Silent) // info sends nothing: the unit was only listened to
        return fail(ExitSilent, QStringLiteral("the unit on %1 sent no information lines within %2 s")
                                    .arg(m_engine->device(), QString::number(m_timeoutMs / 1000.0, 'g', 3)));
    return o == Outcome::Done ? ExitDone : fail(exitFor(o), outcomeText(o, *m_engine));
}

int Tool::cmdRead()
{
    const QString path = m_parser.value(QStringLiteral("output"));
    std::optional<files::Format> format;
    if (!path.isEmpty() || m_parser.isSet(QStringLiteral("format"))) {
        format = formatFor(path);
        if (!format)
            return usage(files::unknownFormatText(path) + QStringLiteral(", or give --format onf|csv"));
    }
    // A file that cannot be made is told before the unit is read.
    QString error;
    if (!path.isEmpty() && !files::canReplace(path, error))
        return fail(ExitUsage, QStringLiteral("%1: %2").arg(path, error));
    if (!openEngine())
        return ExitPort;
    table::Table unit;
    if (const int status = readUnit(unit))
        return status;
    if (!format) {
        for (int i = 0; i < unit.size(); ++i)
            result(table::rowOf(i + 1, unit[i]));
        return ExitDone;
    }
    const QByteArray bytes = *format == files::Format::Onf ? files::onfOf(unit) : files::csvOf(unit);
    if (path.isEmpty()) {
        output(bytes);
        return ExitDone;
    }
    if (!files::replaceWhole(path, bytes, error))
        return fail(ExitUsage, QStringLiteral("%1: %2").arg(path, error));
    say(QStringLiteral("%1 entries written to %2").arg(unit.size()).arg(path));
    return ExitDone;
}

int Tool::openAt(const QString &positionText, int &position)
{
    const std::optional<int> p = positionFrom(positionText);
    if (!p)
        return usage(QStringLiteral("POSITION wants a number from 1 to %1, not \"%2\"").arg(table::kLastPosition).arg(positionText));
    position = *p;
    return openEngine() ? ExitDone : ExitPort;
}

int Tool::cmdGet(const QString &positionText)
{
    int position = 0;
    if (const int status = openAt(positionText, position))
        return status;
    table::Entry entry;
    bool exists = false;
    const Outcome o = m_engine->readEntry(position, entry, exists);
    if (o != Outcome::Done)
        return fail(exitFor(o), outcomeText(o, *m_engine));
    if (!exists)
        return fail(ExitUsage, QStringLiteral("the unit has no position %1").arg(position));
    result(table::rowOf(position, entry));
    return ExitDone;
}

// set and clear: a program job of one entry, read back by itself.
int Tool::cmdSet(const QString &positionText, const table::Entry &entry)
{
    int position = 0;
    if (const int status = openAt(positionText, position))
        return status;
    const QList<table::FileEntry> entries{{position, entry, 0}};
    const JobResult r = programJob(*m_engine, entries, ProgramOptions{false, false},
                                   [](const WritePlan &) { return true; }, stageProgress());
    m_progress->clear();
    if (r.failed())
        return failed(r);
    if (!r.problems.isEmpty()) {
        for (const table::Problem &p : r.problems)
            say(p.what);
        return ExitUsage;
    }
    if (r.approved) {
        table::Entry back;
        bool exists = false;
        const Outcome o = m_engine->readEntry(position, back, exists);
        if (o != Outcome::Done)
            return fail(exitFor(o), outcomeText(o, *m_engine));
        if (!exists || back != entry)
            return fail(ExitVerify, QStringLiteral("the unit holds %1 after the write").arg(table::rowOf(position, back)));
    }
    result(table::rowOf(position, entry));
    return ExitDone;
}

int Tool::cmdDiff(const QString &path)
{
    files::TableFile file;
    if (!loadFile(path, file))
        return ExitUsage;
    if (!openEngine())
        return ExitPort;
    const JobResult r = compareJob(*m_engine, file.entries, stageProgress());
    m_progress->clear();
    if (r.failed())
        return failed(r);
    for (const table::Difference &d : r.differences)
        result(differenceLine(d));
    return r.differences.isEmpty() ? ExitDone : ExitDiffers;
}

// Whether the plan may be written: on a dry run never; a plan that blanks
// used entries the file does not list asks once on a terminal, and needs
// --yes without one.
void Tool::showPlan(const WritePlan &p)
{
    result(planSummary(p.plan));
    const QString unlisted = unlistedText(p);
    if (!unlisted.isEmpty())
        say(p.prune ? unlisted : unlisted + QStringLiteral(" (--prune blanks them)"));
}

bool Tool::approve(const WritePlan &p, const QString &path)
{
    showPlan(p);
    if (m_parser.isSet(QStringLiteral("dry-run"))) {
        for (const table::Difference &d : p.changes)
            result(differenceLine(d));
        return false;
    }
    if (!p.prune || p.unlisted == 0 || m_parser.isSet(QStringLiteral("yes")))
        return true;
    const QString question = QStringLiteral("blank %1 used position(s) that %2 does not list?").arg(p.unlisted).arg(path);
    if (!stdinIsTerminal()) {
        say(question + QStringLiteral(" Say so with --yes; nothing was written"));
        m_declined = ExitUsage;
        return false;
    }
    std::fprintf(m_err, "m7ctl: %s [y/N] ", question.toLocal8Bit().constData());
    std::fflush(m_err);
    char answer[16] = {};
    if (!std::fgets(answer, sizeof answer, stdin) || (answer[0] != 'y' && answer[0] != 'Y')) {
        say(QStringLiteral("nothing was written"));
        m_declined = ExitUsage;
        return false;
    }
    return true;
}

int Tool::cmdWrite(const QString &path)
{
    files::TableFile file;
    if (!loadFile(path, file))
        return ExitUsage;
    if (!openEngine())
        return ExitPort;
    ProgramOptions options;
    options.prune = m_parser.isSet(QStringLiteral("prune"));
    options.verify = !m_parser.isSet(QStringLiteral("no-verify"));
    const JobResult r = programJob(*m_engine, file.entries, options,
                                   [this, &path](const WritePlan &p) { return approve(p, path); }, stageProgress());
    m_progress->clear();
    if (r.failed())
        return failed(r);
    if (!r.problems.isEmpty()) {
        reportProblems(path, r.problems);
        return ExitUsage;
    }
    if (r.plan && r.plan->plan.writes.isEmpty()) {
        showPlan(*r.plan);
        say(QStringLiteral("the unit already holds what %1 lists: nothing to write").arg(path));
        return ExitDone;
    }
    if (!r.approved)
        return m_declined;
    if (!options.verify) {
        result(runSummary(r.run));
        return ExitDone;
    }
    if (!r.verified) {
        for (const table::Difference &d : r.differences)
            result(differenceLine(d));
        return fail(ExitVerify, QStringLiteral("the read-back differs from %1 at %2 position(s)").arg(path).arg(r.differences.size()));
    }
    result(runSummary(r.run) + QStringLiteral("; verified"));
    return ExitDone;
}

int Tool::cmdErase()
{
    if (!openEngine())
        return ExitPort;
    int erased = 0;
    const Outcome o = m_engine->erase(erased, [this](int done, int total) { m_progress->update(QStringLiteral("erasing"), done, total); });
    m_progress->clear();
    if (o == Outcome::Done) {
        result(QStringLiteral("erased %1 positions").arg(erased));
        return ExitDone;
    }
    say(outcomeText(o, *m_engine));
    // The frame went out: the unit goes on erasing whatever happens here.
    if (m_engine->lastSends() > 0)
        say(QStringLiteral("the unit may have erased its table (the erase is sent once); m7ctl read shows what it holds"));
    return exitFor(o);
}

} // namespace cli
