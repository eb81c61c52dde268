#include "cli/jobs.h"

#include <QCoreApplication>

namespace cli {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("m7ctl", text);
}

QString entryText(const table::Entry &e)
{
    return QLatin1String("359") + e.gsm + QLatin1String(" - ") + QString::number(e.object);
}
} // namespace

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

QString outcomeText(Outcome outcome, const Engine &engine)
{
    switch (outcome) {
    case Outcome::Done:
        return QString();
    case Outcome::Silent:
        return tr("the unit on %1 did not answer within %2 s (asked twice)")
            .arg(engine.device(), QString::number(engine.timeoutMs() / 1000.0, 'g', 3));
    case Outcome::Lost:
        return tr("the connection to %1 was lost: %2").arg(engine.device(), engine.error());
    case Outcome::Interrupted:
        return tr("interrupted");
    case Outcome::Refused:
        return tr("the unit on %1 did not answer as asked").arg(engine.device());
    }
    return QString();
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
    return tr("%1 to write, %2 to blank, %3 unchanged").arg(plan.toWrite).arg(plan.toBlank).arg(plan.unchanged);
}

QString differenceLine(const table::Difference &d)
{
    return QStringLiteral("(%1)  unit %2  |  file %3")
        .arg(d.position, 4, 10, QLatin1Char('0'))
        .arg(entryText(d.unit), entryText(d.file));
}

} // namespace cli
