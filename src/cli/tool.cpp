#include "cli/tool.h"

#include "cli/jobs.h"
#include "cli/ports.h"
#include "files/records.h"
#include "link/portmap.h"
#include "table/plan.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>

namespace cli {

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
    if (!ok || p < 1 || p > 9999)
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
        "  write FILE [--dry-run] [--prune] [--no-verify]\n"
        "                                 make the unit hold FILE's entries\n"
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

void Tool::result(const QString &line)
{
    if (m_progress)
        m_progress->clear();
    std::fprintf(m_out, "%s\n", line.toLocal8Bit().constData());
    std::fflush(m_out);
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
    case Outcome::Refused: return ExitSilent;
    }
    return ExitSilent;
}

int Tool::run(const QStringList &arguments)
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
        {"yes", {QStringLiteral("erase")}},
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
        const std::optional<QString> gsm = files::normaliseGsm(args[2]);
        if (!gsm || *gsm == table::blankGsm())
            return usage(QStringLiteral("GSM number \"%1\" is not nine digits (use clear for a blank entry)").arg(args[2]));
        bool ok = false;
        const int object = args[3].trimmed().toInt(&ok);
        if (!ok || object < 1 || object > 7999)
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
    const Outcome o = m_engine->readTable(unit, [this](int done, int) { m_progress->update(QStringLiteral("reading"), done, 0); });
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

void Tool::reportProblems(const QString &path, const QList<files::Problem> &problems)
{
    for (const files::Problem &p : problems)
        std::fprintf(m_err, "%s\n",
                     (p.line > 0 ? QStringLiteral("%1:%2: %3").arg(path).arg(p.line).arg(p.what)
                                 : QStringLiteral("%1: %2").arg(path, p.what))
                         .toLocal8Bit()
                         .constData());
}

bool Tool::loadFile(const QString &path, files::TableFile &file)
{
    const std::optional<files::Format> format = formatFor(path);
    if (!format) {
        usage(files::unknownFormatText(path) + QStringLiteral(", or give --format onf|csv"));
        return false;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        say(QStringLiteral("%1: %2").arg(path, f.errorString()));
        return false;
    }
    file = files::parseTable(f.readAll(), *format);
    return true;
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
    if (!openEngine())
        return ExitPort;
    table::Table unit;
    if (const int status = readUnit(unit))
        return status;
    if (!format) {
        for (int i = 0; i < unit.size(); ++i)
            result(row(i + 1, unit[i]));
        return ExitDone;
    }
    const QByteArray bytes = *format == files::Format::Onf ? files::onfOf(unit) : files::csvOf(unit);
    if (path.isEmpty()) {
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_out);
        std::fflush(m_out);
        return ExitDone;
    }
    QString error;
    if (!files::replaceWhole(path, bytes, error))
        return fail(ExitUsage, QStringLiteral("%1: %2").arg(path, error));
    say(QStringLiteral("%1 entries written to %2").arg(unit.size()).arg(path));
    return ExitDone;
}

int Tool::openAt(const QString &positionText, int &position)
{
    const std::optional<int> p = positionFrom(positionText);
    if (!p)
        return usage(QStringLiteral("POSITION wants a number from 1 to 9999, not \"%1\"").arg(positionText));
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
    result(row(position, entry));
    return ExitDone;
}

// set and clear: the same checks as a file of one entry.
int Tool::cmdSet(const QString &positionText, const table::Entry &entry)
{
    int position = 0;
    if (const int status = openAt(positionText, position))
        return status;
    table::Table unit;
    if (const int status = readUnit(unit))
        return status;
    const QList<files::FileEntry> entries{{position, entry, 0}};
    const QList<files::Problem> problems = table::checkAgainstUnit(unit, entries, false);
    if (!problems.isEmpty()) {
        for (const files::Problem &p : problems)
            say(p.what);
        return ExitUsage;
    }
    if (unit[position - 1] != entry) {
        const Outcome o = m_engine->writeEntry(position, entry);
        if (o != Outcome::Done)
            return fail(exitFor(o), outcomeText(o, *m_engine));
        table::Entry back;
        bool exists = false;
        const Outcome r = m_engine->readEntry(position, back, exists);
        if (r != Outcome::Done)
            return fail(exitFor(r), outcomeText(r, *m_engine));
        if (!exists || back != entry)
            return fail(ExitVerify, QStringLiteral("the unit holds %1 after the write").arg(row(position, back)));
    }
    result(row(position, entry));
    return ExitDone;
}

int Tool::cmdDiff(const QString &path)
{
    files::TableFile file;
    if (!loadFile(path, file))
        return ExitUsage;
    if (!file.problems.isEmpty()) {
        reportProblems(path, file.problems);
        return ExitUsage;
    }
    if (!openEngine())
        return ExitPort;
    table::Table unit;
    if (const int status = readUnit(unit))
        return status;
    QList<files::Problem> outside;
    for (const files::FileEntry &e : file.entries)
        if (e.position > unit.size())
            outside << files::Problem{e.line, QStringLiteral("position %1 is outside the unit's %2 positions").arg(e.position).arg(unit.size())};
    if (!outside.isEmpty()) {
        reportProblems(path, outside);
        return ExitUsage;
    }
    const QList<table::Difference> diffs = table::differences(unit, table::resultOf(unit, file.entries, false));
    for (const table::Difference &d : diffs)
        result(differenceLine(d));
    return diffs.isEmpty() ? ExitDone : ExitDiffers;
}

int Tool::cmdWrite(const QString &path)
{
    files::TableFile file;
    if (!loadFile(path, file))
        return ExitUsage;
    // Problems of the file alone are certain whatever the unit holds; the
    // unit is read all the same so that every problem is told at once.
    if (!openEngine()) {
        reportProblems(path, file.problems);
        return file.problems.isEmpty() ? ExitPort : ExitUsage;
    }
    table::Table unit;
    if (const int status = readUnit(unit)) {
        reportProblems(path, file.problems);
        return file.problems.isEmpty() ? status : ExitUsage;
    }
    const bool prune = m_parser.isSet(QStringLiteral("prune"));
    QList<files::Problem> problems = file.problems + table::checkAgainstUnit(unit, file.entries, prune);
    std::stable_sort(problems.begin(), problems.end(), [](const files::Problem &a, const files::Problem &b) { return a.line < b.line; });
    if (!problems.isEmpty()) {
        reportProblems(path, problems);
        say(QStringLiteral("%1 problem(s) in %2; nothing was written").arg(problems.size()).arg(path));
        return ExitUsage;
    }

    const table::Table wanted = table::resultOf(unit, file.entries, prune);
    const table::Plan plan = table::planWrites(unit, wanted);
    result(planSummary(plan) + QStringLiteral(" (%1 frames)").arg(plan.writes.size()));
    if (m_parser.isSet(QStringLiteral("dry-run"))) {
        for (const table::Difference &d : table::differences(unit, wanted))
            result(differenceLine(d));
        return ExitDone;
    }

    const RunResult run = runWrites(*m_engine, plan.writes, [this](int done, int total) {
        m_progress->update(QStringLiteral("writing"), done, total);
    });
    m_progress->clear();
    if (run.outcome != Outcome::Done) {
        say(outcomeText(run.outcome, *m_engine));
        say(runSummary(run));
        return exitFor(run.outcome);
    }
    if (m_parser.isSet(QStringLiteral("no-verify"))) {
        result(runSummary(run));
        return ExitDone;
    }

    table::Table back;
    const Outcome o = m_engine->readTable(back, [this, &unit](int done, int) {
        m_progress->update(QStringLiteral("verifying"), done, int(unit.size()));
    });
    m_progress->clear();
    if (o != Outcome::Done) {
        say(runSummary(run));
        return fail(exitFor(o), outcomeText(o, *m_engine));
    }
    if (back.size() != wanted.size())
        return fail(ExitVerify, QStringLiteral("the unit reported %1 positions on the read-back, %2 before").arg(back.size()).arg(wanted.size()));
    const QList<table::Difference> diffs = table::differences(back, wanted);
    if (!diffs.isEmpty()) {
        for (const table::Difference &d : diffs)
            result(differenceLine(d));
        return fail(ExitVerify, QStringLiteral("the read-back differs from %1 at %2 position(s)").arg(path).arg(diffs.size()));
    }
    result(runSummary(run) + QStringLiteral("; verified"));
    return ExitDone;
}

int Tool::cmdErase()
{
    if (!openEngine())
        return ExitPort;
    int erased = 0;
    const Outcome o = m_engine->erase(erased, [this](int done, int) { m_progress->update(QStringLiteral("erasing"), done, 0); });
    m_progress->clear();
    if (o != Outcome::Done)
        return fail(exitFor(o), outcomeText(o, *m_engine));
    result(QStringLiteral("erased %1 positions").arg(erased));
    return ExitDone;
}

} // namespace cli
