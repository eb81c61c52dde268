#include "app/tablejob.h"

#include "app/controls.h"
#include "app/dialogs.h"
#include "app/frmM7_1.h"
#include "app/msgbox.h"
#include "app/plandialog.h"
#include "unit/jobs.h"
#include "table/plan.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>
#include <QTimer>

#include <algorithm>

namespace app {

namespace {
// A job shorter than this shows no progress dialog.
constexpr int kProgressAfterMs = 400;

// A progress dialog in front of the window while the engine works. Cancel
// interrupts the engine: a read gives up at once, a run of writes stops
// after the frame in flight.
class JobProgress {
public:
    // expected: the count to show while the engine does not know the total
    // (a read: the size of the table as the window's list knows it).
    JobProgress(QWidget *window, unit::Engine &engine, const QString &label, int expected)
        : m_dialog(new QProgressDialog(label, TableJob::tr("Cancel"), 0, qMax(expected, 0), window)),
          m_label(label), m_expected(expected)
    {
        m_dialog->setObjectName(QStringLiteral("jobProgress"));
        m_dialog->setWindowTitle(window->windowTitle());
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setMinimumDuration(kProgressAfterMs);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        QObject::connect(m_dialog, &QProgressDialog::canceled, &engine, &unit::Engine::interrupt);
        m_dialog->setValue(0);
        m_clock.start();
    }
    ~JobProgress() { delete m_dialog; }
    JobProgress(const JobProgress &) = delete;
    JobProgress &operator=(const JobProgress &) = delete;
    // "127 of 500, about 40 s left"
    void update(int done, int total)
    {
        if (total <= 0)
            total = m_expected;
        if (total <= 0 || done > total)
            return;
        if (m_dialog->maximum() != total)
            m_dialog->setMaximum(total);
        QString text = TableJob::tr("%1 of %2").arg(done).arg(total);
        if (done > 0 && done < total && m_clock.elapsed() > 2000) {
            const qint64 left = m_clock.elapsed() * (total - done) / done / 1000;
            text += left < 60 ? TableJob::tr(", about %1 s left").arg(qMax<qint64>(left, 1))
                              : TableJob::tr(", about %1 min left").arg((left + 30) / 60);
        }
        m_dialog->setLabelText(m_label + QLatin1Char('\n') + text);
        m_dialog->setValue(done);
    }

private:
    QProgressDialog *m_dialog;
    QString m_label;
    int m_expected;
    QElapsedTimer m_clock;
};
} // namespace

TableJob::TableJob(frmM7_1 &window, Kind kind, const QString &path)
    : m_w(window), m_kind(kind), m_path(path), m_name(QFileInfo(path).fileName())
{
}

TableJob::~TableJob() = default;

QString TableJob::titleOf(Kind kind)
{
    return kind == Kind::Compare ? tr("Compare with file") : tr("Program unit from file");
}

void TableJob::run()
{
    const unit::LoadedFile loaded = unit::loadTableFile(m_path, std::nullopt);
    if (!loaded.error.isEmpty()) {
        MsgBox(loaded.error, vbExclamation, m_w.windowTitle());
        return;
    }
    // What is wrong with the file alone is known without the unit.
    if (!loaded.file.problems.isEmpty()) {
        showProblems(loaded.file.problems);
        return;
    }
    if (!takePort())
        return;
    const After after = work(loaded.file.entries);
    m_engine->close();
    m_w.reclaimPortAfterJob(m_unitChanged, after == After::Ready              ? frmM7_1::JobEnd::UnitReady
                                           : after == After::Connect          ? frmM7_1::JobEnd::UnitSilent
                                                                              : frmM7_1::JobEnd::PortGone);
}

// The count, then every problem with its line, in line order; nothing is written.
void TableJob::showProblems(const QList<table::Problem> &problems)
{
    QStringList lines;
    for (const table::Problem &p : problems)
        lines << unit::problemLine(m_name, p);
    ShowProblems(unit::problemsSummary(int(problems.size()), m_name), lines);
}

// The window lets go of the port as a click on its green lamp does; then
// the engine opens it.
bool TableJob::takePort()
{
    const QString device = m_w.MSComm1->deviceName();
    const int portNumber = m_w.MSComm1->CommPort();
    m_port = QStringLiteral("COM %1 (%2)").arg(portNumber).arg(device);
    if (!m_w.releasePortForJob())
        return false;
    m_engine = std::make_unique<unit::Engine>(device, portNumber);
    if (!m_engine->open()) {
        MsgBox(m_engine->error(), vbExclamation, m_w.windowTitle());
        m_w.reclaimPortAfterJob(false, frmM7_1::JobEnd::PortGone); // the window could not open it either
        return false;
    }
    return true;
}

TableJob::After TableJob::work(const QList<table::FileEntry> &entries)
{
    // One progress dialog a stage; Cancel interrupts the engine.
    std::unique_ptr<JobProgress> progress;
    unit::Stage shown = unit::Stage::Reading;
    const auto onProgress = [&](unit::Stage stage, int done, int total) {
        if (!progress || stage != shown) {
            progress.reset();
            shown = stage;
            const int expected = m_w.knownTableSize > 0 ? m_w.knownTableSize : m_w.List1->count();
            progress = std::make_unique<JobProgress>(&m_w, *m_engine, stageLabel(stage),
                                                     stage == unit::Stage::Writing ? total : expected);
        }
        progress->update(done, total);
    };
    onProgress(unit::Stage::Reading, 0, 0);
    const QString heading = tr("%1 against the unit on %2").arg(m_name, m_port);

    if (m_kind == Kind::Compare) {
        const unit::JobResult r = unit::compareJob(*m_engine, entries, onProgress);
        progress.reset();
        noteTableSize(r);
        if (r.failed())
            return failed(r);
        PlanView view;
        view.title = titleOf(m_kind);
        view.heading = heading;
        view.summary = r.differences.isEmpty() ? tr("The unit holds what the file lists")
                                               : tr("%1 position(s) differ").arg(r.differences.size());
        view.changes = changeRows(r.differences);
        AskPlan(view);
        return After::Ready;
    }

    const auto approve = [&](unit::WritePlan &p) {
        PlanView view = programPlanView(titleOf(m_kind), heading, p, entries);
        progress.reset();
        const bool go = AskPlan(view);
        if (view.prune)
            p = unit::writePlanOf(p.unit, entries, true);
        m_unitChanged = go && !p.plan.writes.isEmpty() &&
                        MsgBox(tr("Send %1 writes to the unit on %2?").arg(p.plan.writes.size()).arg(m_port),
                               vbYesNo + vbQuestion, m_w.windowTitle()) == vbYes;
        return m_unitChanged;
    };
    const unit::JobResult r =
        unit::programJob(*m_engine, entries, unit::ProgramOptions{}, std::function<bool(unit::WritePlan &)>(approve), onProgress);
    progress.reset();
    noteTableSize(r);
    if (r.failed())
        return failed(r);
    if (!r.problems.isEmpty()) {
        showProblems(r.problems);
        return After::Ready;
    }
    if (r.plan && r.plan->plan.writes.isEmpty()) {
        PlanView view = programPlanView(titleOf(m_kind), heading, *r.plan, entries);
        AskPlan(view);
        return After::Ready;
    }
    if (!r.approved)
        return After::Ready;
    if (!r.verified) {
        QStringList lines;
        for (const table::Difference &d : r.differences)
            lines << unit::differenceLine(d);
        lines << tr("the read-back differs from %1 at %2 position(s)").arg(m_name).arg(r.differences.size())
              << tr("The list now shows what the unit holds. Program the unit from %1 again to write these "
                    "positions once more; if they differ again, the unit does not keep them.").arg(m_name);
        MsgBox(lines.join(QLatin1Char('\r')), vbExclamation, m_w.windowTitle());
        return After::Ready;
    }
    MsgBox(unit::runSummary(r.run) + tr("; verified"), vbOKOnly, m_w.windowTitle());
    return After::Ready;
}

// The size of the unit's table, by which the window tells a whole read
// from one cut short.
void TableJob::noteTableSize(const unit::JobResult &r)
{
    if (r.stage != unit::Stage::Reading || !r.failed())
        m_w.knownTableSize = int(r.unit.size());
}

QString TableJob::stageLabel(unit::Stage stage) const
{
    switch (stage) {
    case unit::Stage::Reading:
        return tr("Reading the table of the unit on %1...").arg(m_port);
    case unit::Stage::Writing:
        return tr("Writing to the unit on %1...").arg(m_port);
    case unit::Stage::Verifying:
        return tr("Reading the table back...");
    }
    return QString();
}

// A job that did not get to its end says why, in one box, with how far it
// got. A read cancelled by the user needs no box.
TableJob::After TableJob::failed(const unit::JobResult &r)
{
    const bool cancelled = r.outcome == unit::Outcome::Interrupted;
    if (!cancelled || r.stage != unit::Stage::Reading)
        MsgBox(unit::failureLines(r, *m_engine, QStringLiteral("COM %1").arg(m_w.MSComm1->CommPort())).join(QLatin1Char('\r')), cancelled ? vbOKOnly : vbExclamation,
               m_w.windowTitle());
    if (r.outcome == unit::Outcome::Lost)
        return After::StayDisconnected;
    return cancelled ? After::Ready : After::Connect;
}

} // namespace app
