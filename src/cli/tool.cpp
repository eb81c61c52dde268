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
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstring>

namespace cli {

using namespace unit;

namespace {
const QString kSelf = QStringLiteral("m7ctl");

// An entry as the spreadsheet table names its fields; null for none.
QJsonValue jsonOf(const table::Entry &e)
{
    return QJsonObject{{QStringLiteral("gsm"), e.isBlank() ? QString() : e.gsm}, {QStringLiteral("object"), e.object}};
}

QJsonObject jsonOf(const table::Difference &d)
{
    return QJsonObject{
        {QStringLiteral("position"), d.position},
        {QStringLiteral("unit"), d.kind == table::Difference::NoSuchPosition ? QJsonValue() : jsonOf(d.unit)},
        {QStringLiteral("file"), d.kind == table::Difference::NotListed ? QJsonValue() : jsonOf(d.file)}};
}

QJsonArray jsonOf(const QList<table::Difference> &differences)
{
    QJsonArray a;
    for (const table::Difference &d : differences)
        a.append(jsonOf(d));
    return a;
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

PortChoice portFromArgument(const QString &text, bool windowsPorts)
{
    const QString t = text.trimmed();
    if (t.startsWith(QLatin1Char('/')))
        return windowsPorts ? PortChoice{} : PortChoice{t, 0};
    QString digits = t;
    if (digits.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        digits = digits.mid(3).trimmed();
    bool ok = false;
    const int n = digits.toInt(&ok);
    if (ok && n >= 1 && n <= 4)
        return {comm::platformPortName(n), n};
    if (ok && windowsPorts && n > 4 && n <= 256 && digits != t)
        return {QStringLiteral("COM%1").arg(n), 0};
    // A device by its name alone, as ports lists it without /dev/.
    if (ok || digits != t || t.isEmpty() || windowsPorts)
        return {};
    return {QLatin1String("/dev/") + t, 0};
}

std::optional<int> timeoutFrom(const QString &text)
{
    // readNumber takes no letters: no "nan", "inf" or "1e-9".
    const std::optional<double> s = table::readNumber(text);
    if (!s || *s < 0.001 || *s > 3600)
        return std::nullopt;
    return qMax(1, int(*s * 1000 + 0.5));
}

Tool::Tool(std::FILE *out, std::FILE *err) : m_out(out), m_err(err) {}

Tool::~Tool() = default;

void Tool::say(const QString &message)
{
    if (m_progress)
        m_progress->clear();
    std::fprintf(m_err, "%s: %s\n", qPrintable(kSelf), message.toLocal8Bit().constData());
    std::fflush(m_err);
}

void Tool::note(const QString &message)
{
    if (!m_quiet)
        say(message);
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

int Tool::usage(const QString &message, const CommandInfo *command)
{
    say(message);
    if (command)
        std::fprintf(m_err, "Usage: m7ctl [OPTIONS] %s\nTry 'm7ctl help %s' for more information.\n",
                     commandSynopsis(*command).toLocal8Bit().constData(), qPrintable(command->name));
    else
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
    m_args = readArguments(arguments);
    if (!m_args.error.isEmpty())
        return usage(m_args.error);
    if (isSet("version") && !isSet("help")) {
        std::fprintf(m_out, "m7ctl %s\n", qPrintable(QCoreApplication::applicationVersion()));
        return ExitDone;
    }
    const QStringList &words = m_args.words;
    if (words.isEmpty() && isSet("help"))
        return cmdHelp({});
    if (words.isEmpty())
        return usage(QStringLiteral("no command given"));
    m_command = findCommand(words.first());
    if (!m_command) {
        const QString near = nearestCommand(words.first());
        return usage(QStringLiteral("unknown command \"%1\"").arg(words.first()) +
                     (near.isEmpty() ? QString() : QStringLiteral(" (did you mean %1?)").arg(near)));
    }
    if (isSet("help"))
        return cmdHelp({m_command->name});

    // Options that belong to other commands.
    for (const OptionInfo &o : optionTable())
        if (!o.global && isSet(qPrintable(o.name)) && !m_command->options.contains(o.name))
            return usage(QStringLiteral("--%1 does not go with %2").arg(o.name, m_command->name), m_command);

    m_port = portFromArgument(isSet("port") ? value("port") : QStringLiteral("COM1"));
    if (m_port.device.isEmpty())
        return usage(QStringLiteral("-p wants %1, not \"%2\"")
                         .arg(kWindowsPorts ? QStringLiteral("COM1..COM256 or 1..4")
                                            : QStringLiteral("COM1..COM4, 1..4 or a device"),
                              value("port")));
    if (isSet("timeout")) {
        const std::optional<int> ms = timeoutFrom(value("timeout"));
        if (!ms)
            return usage(QStringLiteral("-t wants seconds from 0.001 to 3600, not \"%1\"").arg(value("timeout")));
        m_timeoutMs = *ms;
    }
    m_trace = isSet("trace");
    m_quiet = isSet("quiet");
    m_progress = std::make_unique<ProgressLine>(!m_quiet && stderrIsTerminal(), m_err);

    const QStringList args = words.mid(1);
    if (args.size() < m_command->least || args.size() > m_command->most)
        return usage(QStringLiteral("wrong arguments for %1").arg(m_command->name), m_command);
    return (this->*m_command->run)(args);
}

int Tool::cmdHelp(const QStringList &args)
{
    if (args.isEmpty()) {
        output(usageText().toLocal8Bit());
        return ExitDone;
    }
    const CommandInfo *c = findCommand(args.first());
    if (!c) {
        const QString near = nearestCommand(args.first());
        return usage(QStringLiteral("no command \"%1\"").arg(args.first()) +
                     (near.isEmpty() ? QString() : QStringLiteral(" (did you mean %1?)").arg(near)));
    }
    output(commandHelp(*c).toLocal8Bit());
    return ExitDone;
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
    m_interrupts->setLastWords([this] {
        m_progress->clear();
        return doneSoFar();
    });
    QObject::connect(m_interrupts.get(), &Interrupts::interrupted, m_engine.get(), &Engine::interrupt);
    if (!m_engine->open()) {
        // The window's texts break their lines with a CR.
        say(m_engine->error().replace(QLatin1Char('\r'), QLatin1Char('\n')));
        return false;
    }
    return true;
}

QString Tool::doneSoFar() const
{
    if (m_erasing)
        return QStringLiteral("the erase was sent: the unit may go on erasing; m7ctl read shows what it holds");
    if (m_stage == Stage::Writing)
        return runSummary(RunResult{Outcome::Interrupted, m_done, m_total});
    if (m_stage == Stage::Verifying)
        return QStringLiteral("all %1 writes done; the read-back that checks them did not finish").arg(m_total);
    return QStringLiteral("nothing was written");
}

int Tool::positionsForProgress()
{
    if (!m_progress->enabled())
        return 0;
    // The last position the unit has: at most 14 reads of one position.
    int has = 0, lacks = table::kLastPosition + 1;
    while (lacks - has > 1) {
        const int middle = (has + lacks) / 2;
        table::Entry entry;
        bool exists = false;
        if (m_engine->readEntry(middle, entry, exists) != Outcome::Done)
            return 0;
        (exists ? has : lacks) = middle;
    }
    return has;
}

int Tool::readUnit(table::Table &unit)
{
    const int size = positionsForProgress();
    const Outcome o = m_engine->readTable(unit, [this, size](int done, int total) {
        m_progress->update(QStringLiteral("reading"), done, total > 0 ? total : size);
    });
    m_progress->clear();
    if (o != Outcome::Done)
        return fail(exitFor(o), outcomeText(o, *m_engine));
    return ExitDone;
}

int Tool::formatFor(const QString &path, std::optional<files::Format> &format)
{
    format.reset();
    if (!isSet("format"))
        return ExitDone;
    const QString f = value("format").toLower();
    if (f == QLatin1String("onf"))
        format = files::Format::Onf;
    else if (f == QLatin1String("csv"))
        format = files::Format::Csv;
    else
        return usage(QStringLiteral("--format wants onf or csv: \"%1\" is no format of m7ctl").arg(value("format")),
                     m_command);
    // A name that says another format is a mistake, not a wish.
    const std::optional<files::Format> named = path == QLatin1String("-") ? std::nullopt : files::formatFromName(path);
    if (named && named != format)
        return usage(QStringLiteral("%1 is named as a %2 file, but --format says %3")
                         .arg(path, *named == files::Format::Onf ? QStringLiteral("onf") : QStringLiteral("csv"), f),
                     m_command);
    return ExitDone;
}

void Tool::reportProblems(const QString &name, const QList<table::Problem> &problems)
{
    int shown = 0, fileProblems = 0;
    for (const table::Problem &p : problems) {
        if (p.unitsOwn > 0) {
            say(QStringLiteral("the unit itself holds %1; %3 does not set either position: "
                               "m7ctl clear %2 mends it (or a line for position %2 in %3)")
                    .arg(p.what, QString::number(p.unitsOwn), name.isEmpty() ? QStringLiteral("the entry") : name));
            continue;
        }
        ++fileProblems;
        if (++shown <= kShownProblems)
            message(name.isEmpty() ? QStringLiteral("m7ctl: %1").arg(p.what) : problemLine(name, p));
    }
    if (shown > kShownProblems)
        message(QStringLiteral("... and %1 more problems").arg(shown - kShownProblems));
    if (fileProblems > 0 && !name.isEmpty())
        say(problemsSummary(fileProblems, name));
    else
        say(QStringLiteral("nothing was written"));
}

bool Tool::loadFile(const QString &path, files::TableFile &file)
{
    std::optional<files::Format> format;
    if (formatFor(path, format) != ExitDone)
        return false;
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
        m_stage = stage;
        m_done = done;
        m_total = total;
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

int Tool::cmdPorts(const QStringList &)
{
    const QList<PortRow> rows = listPorts();
    if (isSet("json")) {
        QJsonArray ports;
        for (const PortRow &r : rows)
            ports.append(QJsonObject{{QStringLiteral("device"), r.device},
                                     {QStringLiteral("byId"), r.byId},
                                     {QStringLiteral("com"), r.com},
                                     {QStringLiteral("description"), r.description},
                                     {QStringLiteral("usb"), r.usb},
                                     {QStringLiteral("serial"), r.serial},
                                     {QStringLiteral("heldBy"), r.holder}});
        output(QJsonDocument(QJsonObject{{QStringLiteral("ports"), ports}}).toJson());
        return ExitDone;
    }
    for (const QString &line : portLines(rows))
        result(line);
    return ExitDone;
}

int Tool::cmdInfo(const QStringList &)
{
    if (!openEngine())
        return ExitPort;
    QString first, second;
    Outcome o = m_engine->waitForInfo(first, second);
    if (o == Outcome::Silent && first.isEmpty() && second.isEmpty()) {
        // Some units send their information lines only when asked for
        // something: a read of position 1 changes nothing.
        table::Entry entry;
        bool exists = false;
        o = m_engine->readEntry(1, entry, exists);
        if (o == Outcome::Done)
            o = m_engine->waitForInfo(first, second);
    }
    if (!first.isEmpty())
        result(first);
    if (!second.isEmpty())
        result(second);
    if (o == Outcome::Silent) // the unit was listened to, and asked once
        return fail(ExitSilent, QStringLiteral("the unit on %1 sent no information lines within %2 s")
                                    .arg(m_engine->device(), QString::number(m_timeoutMs / 1000.0, 'g', 3)));
    return o == Outcome::Done ? ExitDone : fail(exitFor(o), outcomeText(o, *m_engine));
}

int Tool::cmdRead(const QStringList &)
{
    QString path = value("output");
    if (path == QLatin1String("-"))
        path.clear(); // standard output
    const bool json = isSet("json");
    std::optional<files::Format> format;
    if (const int status = formatFor(path, format))
        return status;
    if (json && (format || !path.isEmpty()))
        return usage(QStringLiteral("--json is a document on standard output: not with -o FILE or --format"), m_command);
    if (!path.isEmpty() && !format)
        format = files::formatFromName(path);
    if (!path.isEmpty() && !format)
        return usage(files::unknownFormatText(path) + QStringLiteral(", or give --format onf|csv"), m_command);
    // A file that cannot be made is told before the unit is read.
    QString error;
    if (!path.isEmpty() && !files::canReplace(path, error))
        return fail(ExitUsage, QStringLiteral("%1: %2").arg(path, error));
    if (!openEngine())
        return ExitPort;
    table::Table unit;
    if (const int status = readUnit(unit))
        return status;
    if (json) {
        QJsonArray entries;
        for (int i = 0; i < unit.size(); ++i) {
            QJsonObject e = jsonOf(unit[i]).toObject();
            e.insert(QStringLiteral("position"), i + 1);
            entries.append(e);
        }
        output(QJsonDocument(QJsonObject{{QStringLiteral("entries"), entries}}).toJson());
        return ExitDone;
    }
    if (!format) {
        // The window's rows; diff and write read them back.
        QByteArray rows;
        for (int i = 0; i < unit.size(); ++i)
            rows += table::rowOf(i + 1, unit[i]).toLocal8Bit() + '\n';
        output(rows);
        return ExitDone;
    }
    const QByteArray bytes = *format == files::Format::Onf ? files::onfOf(unit) : files::csvOf(unit);
    if (path.isEmpty()) {
        output(bytes);
        return ExitDone;
    }
    if (!files::replaceWhole(path, bytes, error))
        return fail(ExitUsage, QStringLiteral("%1: %2").arg(path, error));
    note(QStringLiteral("%1 entries written to %2").arg(unit.size()).arg(path));
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

int Tool::cmdGet(const QStringList &args)
{
    int position = 0;
    if (const int status = openAt(args[0], position))
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

int Tool::cmdSet(const QStringList &args)
{
    const std::optional<QString> gsm = table::normaliseGsm(args[1]);
    if (!gsm || *gsm == table::blankGsm())
        return usage(QStringLiteral("GSM number \"%1\" is not nine digits (use clear for a blank entry)").arg(args[1]),
                     m_command);
    bool ok = false;
    const int object = args[2].trimmed().toInt(&ok);
    if (!ok || object < 1 || object > table::kLastObject)
        return usage(QStringLiteral("object number \"%1\" is outside 1..7999").arg(args[2]), m_command);
    return setEntry(args[0], table::Entry{*gsm, qint16(object)});
}

int Tool::cmdClear(const QStringList &args)
{
    return setEntry(args[0], table::Entry{});
}

// set and clear: a program job of one entry, read back by itself.
int Tool::setEntry(const QString &positionText, const table::Entry &entry)
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
        reportProblems(QString(), r.problems);
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

int Tool::cmdDiff(const QStringList &args)
{
    const QString &path = args[0];
    files::TableFile file;
    if (!loadFile(path, file))
        return ExitUsage;
    if (!openEngine())
        return ExitPort;
    const JobResult r = compareJob(*m_engine, file.entries, stageProgress());
    m_progress->clear();
    if (r.failed())
        return failed(r);
    if (isSet("json"))
        output(QJsonDocument(QJsonObject{{QStringLiteral("identical"), r.differences.isEmpty()},
                                         {QStringLiteral("differences"), jsonOf(r.differences)}})
                   .toJson());
    else
        for (const table::Difference &d : r.differences)
            result(differenceLine(d));
    return r.differences.isEmpty() ? ExitDone : ExitDiffers;
}

// Whether the plan may be written: on a dry run never; a plan that blanks
// used entries the file does not list asks once on a terminal, and needs
// --yes without one.
void Tool::showPlan(const WritePlan &p)
{
    if (isSet("json")) {
        output(QJsonDocument(QJsonObject{{QStringLiteral("toWrite"), p.plan.toWrite},
                                         {QStringLiteral("toBlank"), p.plan.toBlank},
                                         {QStringLiteral("unchanged"), p.plan.unchanged},
                                         {QStringLiteral("frames"), int(p.plan.writes.size())},
                                         {QStringLiteral("unlisted"), p.unlisted},
                                         {QStringLiteral("prune"), p.prune},
                                         {QStringLiteral("changes"), jsonOf(p.changes)}})
                   .toJson());
    } else {
        result(planSummary(p.plan));
    }
    const QString unlisted = unlistedText(p);
    if (!unlisted.isEmpty())
        note(p.prune ? unlisted : unlisted + QStringLiteral(" (--prune blanks them)"));
}

bool Tool::approve(const WritePlan &p, const QString &path)
{
    showPlan(p);
    if (isSet("dry-run")) {
        if (!isSet("json"))
            for (const table::Difference &d : p.changes)
                result(differenceLine(d));
        return false;
    }
    if (!p.prune || p.unlisted == 0 || isSet("yes"))
        return true;
    const QString question = QStringLiteral("blank %1 used position(s) that %2 does not list?").arg(p.unlisted).arg(path);
    if (!stdinIsTerminal() || path == QLatin1String("-")) {
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

int Tool::cmdWrite(const QStringList &args)
{
    const QString &path = args[0];
    if (isSet("json") && !isSet("dry-run"))
        return usage(QStringLiteral("--json goes with write --dry-run"), m_command);
    files::TableFile file;
    if (!loadFile(path, file))
        return ExitUsage;
    if (!openEngine())
        return ExitPort;
    ProgramOptions options;
    options.prune = isSet("prune");
    options.verify = !isSet("no-verify");
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
        note(QStringLiteral("the unit already holds what %1 lists: nothing to write").arg(path));
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

int Tool::cmdErase(const QStringList &)
{
    if (!isSet("yes"))
        return usage(QStringLiteral("erase wipes the whole table of the unit: say so with --yes"), m_command);
    if (!openEngine())
        return ExitPort;
    const int size = positionsForProgress();
    int erased = 0;
    m_erasing = true;
    const Outcome o = m_engine->erase(erased, [this, size](int done, int total) {
        m_progress->update(QStringLiteral("erasing"), done, total > 0 ? total : size);
    });
    m_erasing = false;
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
