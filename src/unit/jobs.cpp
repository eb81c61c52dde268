#include "unit/jobs.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>

namespace unit {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("m7ctl", text);
}

QString entryText(const table::Entry &e)
{
    return QLatin1String("359") + e.gsm + QLatin1String(" - ") + QString::number(e.object);
}

// Reads the unit's table for a job: the first step of every job.
bool readUnit(Engine &engine, JobResult &r, const StageProgress &progress)
{
    r.stage = Stage::Reading;
    r.outcome = engine.readTable(r.unit, [&progress](int done, int total) {
        if (progress)
            progress(Stage::Reading, done, total);
    });
    return r.outcome == Outcome::Done;
}
} // namespace

LoadedFile loadTableFile(const QString &path, std::optional<files::Format> format)
{
    LoadedFile loaded;
    if (!format)
        format = files::formatFromName(path);
    QFile f(path);
    const bool input = path == QLatin1String("-");
    if (!(input ? f.open(stdin, QIODevice::ReadOnly) : f.open(QIODevice::ReadOnly))) {
        loaded.error = QStringLiteral("%1: %2").arg(path, f.errorString());
        return loaded;
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        loaded.error = QStringLiteral("%1: %2").arg(path, f.errorString());
        return loaded;
    }
    // A name that does not say the format leaves it to the content.
    loaded.file = files::parseTable(bytes, format ? *format : files::formatFromContent(bytes));
    return loaded;
}

QString problemLine(const QString &name, const table::Problem &p)
{
    return p.line > 0 ? QStringLiteral("%1:%2: %3").arg(name).arg(p.line).arg(p.what)
                      : QStringLiteral("%1: %2").arg(name, p.what);
}

QString problemsSummary(int count, const QString &name)
{
    return tr("%1 problem(s) in %2; nothing was written").arg(count).arg(name);
}

void sortByLine(QList<table::Problem> &problems)
{
    std::stable_sort(problems.begin(), problems.end(),
                     [](const table::Problem &a, const table::Problem &b) { return a.line < b.line; });
}

JobResult compareJob(Engine &engine, const QList<table::FileEntry> &entries, const StageProgress &progress)
{
    JobResult r;
    if (readUnit(engine, r, progress))
        r.differences = table::compareWithFile(r.unit, entries);
    return r;
}

WritePlan writePlanOf(const table::Table &unit, const QList<table::FileEntry> &entries, bool prune)
{
    WritePlan p;
    p.unit = unit;
    p.wanted = table::resultOf(unit, entries, prune);
    p.plan = table::planWrites(unit, p.wanted);
    p.changes = table::differences(unit, p.wanted);
    p.unlisted = table::unlistedInUse(unit, entries);
    p.prune = prune;
    return p;
}

JobResult programJob(Engine &engine, const QList<table::FileEntry> &entries, const ProgramOptions &options,
                     const std::function<bool(WritePlan &)> &approve, const StageProgress &progress)
{
    JobResult r;
    if (!readUnit(engine, r, progress))
        return r;
    r.problems = table::checkAgainstUnit(r.unit, entries, options.prune);
    sortByLine(r.problems);
    if (!r.problems.isEmpty())
        return r;

    WritePlan p = writePlanOf(r.unit, entries, options.prune);
    r.plan = p;
    if (p.plan.writes.isEmpty())
        return r; // nothing to change: nothing to write or read back
    r.approved = approve && approve(p);
    r.plan = p;
    if (!r.approved || p.plan.writes.isEmpty())
        return r;

    r.stage = Stage::Writing;
    r.run = runWrites(engine, p.plan.writes, [&progress](int done, int total) {
        if (progress)
            progress(Stage::Writing, done, total);
    });
    r.outcome = r.run.outcome;
    if (r.failed() || !options.verify)
        return r;

    r.stage = Stage::Verifying;
    table::Table back;
    r.outcome = engine.readTable(back, [&progress, &p](int done, int) {
        if (progress)
            progress(Stage::Verifying, done, int(p.wanted.size()));
    });
    if (r.failed())
        return r;
    r.differences = table::differences(back, p.wanted);
    r.verified = r.differences.isEmpty();
    return r;
}

RunResult runWrites(Engine &engine, const QList<table::Write> &writes, const Progress &progress)
{
    RunResult run;
    run.total = int(writes.size());
    for (const table::Write &w : writes) {
        if (engine.interrupted()) {
            run.outcome = Outcome::Interrupted;
            return run;
        }
        run.outcome = engine.writeEntry(w.position, w.entry);
        if (run.outcome != Outcome::Done)
            return run;
        ++run.done;
        if (progress)
            progress(run.done, run.total);
    }
    return run;
}

QString outcomeText(Outcome outcome, const Engine &engine, const QString &where)
{
    const QString port = where.isEmpty() ? engine.device() : where;
    const QString seconds = QString::number(engine.timeoutMs() / 1000.0, 'g', 3);
    switch (outcome) {
    case Outcome::Done:
        return QString();
    case Outcome::Silent:
        return engine.lastSends() == 1
                   ? tr("the unit on %1 did not answer within %2 s").arg(port, seconds)
                   : tr("the unit on %1 did not answer within %2 s (asked twice)").arg(port, seconds);
    case Outcome::Garbled:
        return tr("the answer of the unit on %1 was garbled twice (reply lines were lost, cut or merged on "
                  "the line; is another program reading the port?)")
            .arg(port);
    case Outcome::Talking:
        return tr("the unit on %1 kept talking for %2 s without a pause; nothing was sent to it")
            .arg(port)
            .arg(kLongestAnswerMs / 1000);
    case Outcome::Lost:
        return tr("the connection to %1 was lost: %2").arg(port, engine.error());
    case Outcome::Interrupted:
        return tr("interrupted");
    }
    return QString();
}

QStringList failureLines(const JobResult &r, const Engine &engine, const QString &where)
{
    QStringList lines;
    switch (r.stage) {
    case Stage::Reading:
        lines << outcomeText(r.outcome, engine, where) << tr("nothing was written");
        break;
    case Stage::Writing:
        lines << outcomeText(r.outcome, engine, where) << runSummary(r.run);
        break;
    case Stage::Verifying:
        if (r.outcome == Outcome::Interrupted && r.run.done == r.run.total) {
            lines << tr("all %1 writes were done; only the read-back that checks them was cancelled").arg(r.run.total);
            break;
        }
        lines << runSummary(r.run)
              << tr("the read-back that checks them did not finish: %1").arg(outcomeText(r.outcome, engine, where));
        break;
    }
    return lines;
}

QString runSummary(const RunResult &run)
{
    QString s = tr("%1 of %2 writes done").arg(run.done).arg(run.total);
    if (run.outcome != Outcome::Done && run.done < run.total)
        s += tr("; the unit holds no number twice, and the same job run again finishes it");
    return s;
}

QString planSummary(const table::Plan &plan)
{
    return tr("%1 to write, %2 to blank, %3 unchanged (%4 frames)")
        .arg(plan.toWrite)
        .arg(plan.toBlank)
        .arg(plan.unchanged)
        .arg(plan.writes.size());
}

QString unlistedText(const WritePlan &p)
{
    if (p.unlisted == 0)
        return QString();
    return p.prune ? tr("%1 used position(s) that the file does not list are blanked").arg(p.unlisted)
                   : tr("%1 used position(s) that the file does not list stay as they are").arg(p.unlisted);
}

QString differenceLine(const table::Difference &d)
{
    const QString position = QStringLiteral("(%1)").arg(d.position, 4, 10, QLatin1Char('0'));
    switch (d.kind) {
    case table::Difference::NotListed:
        return tr("%1  unit %2  |  file does not list it").arg(position, entryText(d.unit));
    case table::Difference::NoSuchPosition:
        return tr("%1  unit has no such position  |  file %2").arg(position, entryText(d.file));
    case table::Difference::Changed:
        break;
    }
    return QStringLiteral("%1  unit %2  |  file %3").arg(position, entryText(d.unit), entryText(d.file));
}

} // namespace unit
