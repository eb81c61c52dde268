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
    JobProgress(QWidget *window, unit::Engine &engine, const QString &label, int total)
        : m_dialog(new QProgressDialog(label, TableJob::tr("Cancel"), 0, total, window))
    {
        m_dialog->setObjectName(QStringLiteral("jobProgress"));
        m_dialog->setWindowTitle(appTitle());
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setMinimumDuration(kProgressAfterMs);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        QObject::connect(m_dialog, &QProgressDialog::canceled, &engine, &unit::Engine::interrupt);
        m_dialog->setValue(0);
    }
    ~JobProgress() { delete m_dialog; }
    JobProgress(const JobProgress &) = delete;
    JobProgress &operator=(const JobProgress &) = delete;
    void update(int done)
    {
        if (done <= m_dialog->maximum())
            m_dialog->setValue(done);
    }

private:
    QProgressDialog *m_dialog;
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
        MsgBox(loaded.error, vbExclamation, appTitle());
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
    if (after != After::StayDisconnected)
        giveBack(after == After::Ready);
}

// Every problem with its line, in line order, in one box; nothing is written.
void TableJob::showProblems(const QList<table::Problem> &problems)
{
    QStringList lines;
    for (const table::Problem &p : problems)
        lines << unit::problemLine(m_name, p);
    lines << unit::problemsSummary(int(problems.size()), m_name);
    MsgBox(lines.join(QLatin1Char('\r')), vbExclamation, appTitle());
}

// The window lets go of the port as a click on its green lamp does; then
// the engine opens it.
bool TableJob::takePort()
{
    const QString device = m_w.MSComm1->deviceName();
    const int portNumber = m_w.MSComm1->CommPort();
    m_port = QStringLiteral("COM %1 (%2)").arg(portNumber).arg(device);
    m_w.imgConnected_Click(); // a port that does not close is told by the window
    if (m_w.MSComm1->PortOpen())
        return false;
    m_engine = std::make_unique<unit::Engine>(device, portNumber);
    if (!m_engine->open()) {
        MsgBox(m_engine->error(), vbExclamation, appTitle());
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
            progress = std::make_unique<JobProgress>(&m_w, *m_engine, stageLabel(stage), total);
        }
        progress->update(done);
    };
    onProgress(unit::Stage::Reading, 0, 0);
    const QString heading = tr("%1 against the unit on %2").arg(m_name, m_port);

    if (m_kind == Kind::Compare) {
        const unit::JobResult r = unit::compareJob(*m_engine, entries, onProgress);
        progress.reset();
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

    const auto approve = [&](const unit::WritePlan &p) {
        PlanView view = planViewOf(titleOf(m_kind), heading, p.plan, p.changes, tr("Program"));
        const QString unlisted = unit::unlistedText(p);
        if (!unlisted.isEmpty())
            view.summary += QLatin1Char('\n') + unlisted;
        progress.reset();
        return AskPlan(view) &&
               MsgBox(tr("Send %1 writes to the unit on %2?").arg(p.plan.writes.size()).arg(m_port),
                      vbYesNo + vbQuestion, appTitle()) == vbYes;
    };
    const unit::JobResult r = unit::programJob(*m_engine, entries, unit::ProgramOptions{}, approve, onProgress);
    progress.reset();
    if (r.failed())
        return failed(r);
    if (!r.problems.isEmpty()) {
        showProblems(r.problems);
        return After::Ready;
    }
    if (r.plan && r.plan->plan.writes.isEmpty()) {
        AskPlan(planViewOf(titleOf(m_kind), heading, r.plan->plan, r.plan->changes, QString()));
        return After::Ready;
    }
    if (!r.approved)
        return After::Ready;
    if (!r.verified) {
        QStringList lines;
        for (const table::Difference &d : r.differences)
            lines << unit::differenceLine(d);
        lines << tr("the read-back differs from %1 at %2 position(s)").arg(m_name).arg(r.differences.size());
        MsgBox(lines.join(QLatin1Char('\r')), vbExclamation, appTitle());
        return After::Ready;
    }
    MsgBox(unit::runSummary(r.run) + tr("; verified"), vbOKOnly, appTitle());
    return After::Ready;
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
        MsgBox(unit::failureLines(r, *m_engine).join(QLatin1Char('\r')), cancelled ? vbOKOnly : vbExclamation,
               appTitle());
    if (r.outcome == unit::Outcome::Lost)
        return After::StayDisconnected;
    return cancelled ? After::Ready : After::Connect;
}

// The window takes the port back as a click on its red lamp does, lets the
// unit's greeting pass through its receive processing, and reads the whole
// table, so that the list shows what the unit now holds.
void TableJob::giveBack(bool unitReady)
{
    m_w.imgNotConnected_Click(); // a port that does not open is told by the window
    if (!m_w.MSComm1->PortOpen())
        return;
    waitForGreeting();
    if (!unitReady || !m_w.MSComm1->PortOpen())
        return;
    takeUnitAsReady();
    m_w.Check1->setChecked(true);
    m_w.Command2_Click();
}

// A unit may greet each opening of the port; a read sent before the
// greeting is over would take its status line for the end of the table.
// Returns once nothing has come for the quiet time.
void TableJob::waitForGreeting()
{
    QEventLoop loop;
    QTimer quiet;
    quiet.setSingleShot(true);
    QObject::connect(&quiet, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(m_w.MSComm1, &comm::MSComm::OnComm, &quiet, [&quiet] { quiet.start(unit::kSettleQuietMs); });
    QObject::connect(m_w.MSComm1, &comm::MSComm::Lost, &loop, &QEventLoop::quit);
    QTimer::singleShot(unit::kLongestAnswerMs, &loop, &QEventLoop::quit);
    quiet.start(unit::kSettleQuietMs);
    loop.exec();
}

// The unit has just told the engine that it is ready, but on a connection
// the window's receive processing never saw. This is the one place where
// the window is told something it did not receive: the lamp, the status
// line, opMode and linkState are set exactly as by a status reply.
void TableJob::takeUnitAsReady()
{
    m_w.statusReplyHeardByJob();
}

} // namespace app
