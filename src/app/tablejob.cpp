#include "app/tablejob.h"

#include "app/controls.h"
#include "app/dialogs.h"
#include "app/frmM7_1.h"
#include "app/msgbox.h"
#include "cli/jobs.h"
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
// After the window opens the port again: the quiet time that ends the
// unit's greeting, and the longest the greeting may take.
constexpr int kGreetingQuietMs = 150;
constexpr int kGreetingLimitMs = 2000;
// A job shorter than this shows no progress dialog.
constexpr int kProgressAfterMs = 400;

// A progress dialog in front of the window while the engine works. Cancel
// interrupts the engine: a read gives up at once, a run of writes stops
// after the frame in flight.
class JobProgress {
public:
    JobProgress(QWidget *window, cli::Engine &engine, const QString &label, int total)
        : m_dialog(new QProgressDialog(label, TableJob::tr("Cancel"), 0, total, window))
    {
        m_dialog->setObjectName(QStringLiteral("jobProgress"));
        m_dialog->setWindowTitle(appTitle());
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setMinimumDuration(kProgressAfterMs);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        QObject::connect(m_dialog, &QProgressDialog::canceled, &engine, &cli::Engine::interrupt);
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
    files::TableFile file;
    if (!load(file))
        return;
    // What is wrong with the file alone is known without the unit.
    if (!file.problems.isEmpty()) {
        showProblems(file.problems);
        return;
    }
    if (!takePort())
        return;
    const After after = work(file);
    m_engine->close();
    if (after != After::StayDisconnected)
        giveBack(after == After::Ready);
}

bool TableJob::load(files::TableFile &file)
{
    const std::optional<files::Format> format = files::formatFromName(m_path);
    if (!format) {
        MsgBox(files::unknownFormatText(m_path), vbExclamation, appTitle());
        return false;
    }
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly)) {
        MsgBox(QStringLiteral("%1: %2").arg(m_path, f.errorString()), vbExclamation, appTitle());
        return false;
    }
    file = files::parseTable(f.readAll(), *format);
    return true;
}

// Every problem with its line, in line order, in one box; nothing is written.
void TableJob::showProblems(QList<files::Problem> problems)
{
    std::stable_sort(problems.begin(), problems.end(),
                     [](const files::Problem &a, const files::Problem &b) { return a.line < b.line; });
    QStringList lines;
    for (const files::Problem &p : problems)
        lines << (p.line > 0 ? QStringLiteral("%1:%2: %3").arg(m_name).arg(p.line).arg(p.what)
                             : QStringLiteral("%1: %2").arg(m_name, p.what));
    lines << tr("%1 problem(s) in %2; nothing was written").arg(problems.size()).arg(m_name);
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
    m_engine = std::make_unique<cli::Engine>(device, portNumber);
    if (!m_engine->open()) {
        MsgBox(m_engine->error(), vbExclamation, appTitle());
        return false;
    }
    return true;
}

TableJob::After TableJob::work(const files::TableFile &file)
{
    table::Table unit;
    const cli::Outcome read = readUnit(unit, tr("Reading the table of the unit on %1...").arg(m_port), 0);
    if (read != cli::Outcome::Done)
        return failed(read, QString(), QString());

    const QList<files::Problem> problems = table::checkAgainstUnit(unit, file.entries, false);
    if (!problems.isEmpty()) {
        showProblems(problems);
        return After::Ready;
    }
    const table::Table wanted = table::resultOf(unit, file.entries, false);
    const table::Plan plan = table::planWrites(unit, wanted);
    const bool writes = m_kind == Kind::Program && !plan.writes.isEmpty();
    const PlanView view = planViewOf(titleOf(m_kind), tr("%1 against the unit on %2").arg(m_name, m_port), plan,
                                     table::differences(unit, wanted), writes ? tr("Program") : QString());
    if (!AskPlan(view) || !writes)
        return After::Ready;
    if (MsgBox(tr("Send %1 writes to the unit on %2?").arg(plan.writes.size()).arg(m_port), vbYesNo + vbQuestion,
               appTitle()) != vbYes)
        return After::Ready;

    cli::RunResult run;
    {
        JobProgress progress(&m_w, *m_engine, tr("Writing to the unit on %1...").arg(m_port), int(plan.writes.size()));
        run = cli::runWrites(*m_engine, plan.writes, [&progress](int done, int) { progress.update(done); });
    }
    if (run.outcome != cli::Outcome::Done)
        return failed(run.outcome, QString(), cli::runSummary(run));

    // The read-back.
    table::Table back;
    const cli::Outcome verify = readUnit(back, tr("Reading the table back..."), int(wanted.size()));
    if (verify != cli::Outcome::Done)
        return failed(verify, cli::runSummary(run), QString());
    if (back.size() != wanted.size()) {
        MsgBox(tr("the unit reported %1 positions on the read-back, %2 before").arg(back.size()).arg(wanted.size()),
               vbExclamation, appTitle());
        return After::Ready;
    }
    const QList<table::Difference> diffs = table::differences(back, wanted);
    if (!diffs.isEmpty()) {
        QStringList lines;
        for (const table::Difference &d : diffs)
            lines << cli::differenceLine(d);
        lines << tr("the read-back differs from %1 at %2 position(s)").arg(m_name).arg(diffs.size());
        MsgBox(lines.join(QLatin1Char('\r')), vbExclamation, appTitle());
        return After::Ready;
    }
    MsgBox(cli::runSummary(run) + tr("; verified"), vbOKOnly, appTitle());
    return After::Ready;
}

cli::Outcome TableJob::readUnit(table::Table &t, const QString &label, int total)
{
    JobProgress progress(&m_w, *m_engine, label, total);
    return m_engine->readTable(t, [&progress](int done, int) { progress.update(done); });
}

// A job that did not get to its end says why, in one box, with what was
// done before (`before`) or how far it got (`after`). A read cancelled by
// the user needs no box.
TableJob::After TableJob::failed(cli::Outcome outcome, const QString &before, const QString &after)
{
    const bool cancelled = outcome == cli::Outcome::Interrupted;
    if (!cancelled || !before.isEmpty() || !after.isEmpty()) {
        QStringList lines;
        if (!before.isEmpty())
            lines << before;
        lines << cli::outcomeText(outcome, *m_engine);
        if (!after.isEmpty())
            lines << after;
        MsgBox(lines.join(QLatin1Char('\r')), cancelled ? vbOKOnly : vbExclamation, appTitle());
    }
    if (outcome == cli::Outcome::Lost)
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
    QObject::connect(m_w.MSComm1, &comm::MSComm::OnComm, &quiet, [&quiet] { quiet.start(kGreetingQuietMs); });
    QObject::connect(m_w.MSComm1, &comm::MSComm::Lost, &loop, &QEventLoop::quit);
    QTimer::singleShot(kGreetingLimitMs, &loop, &QEventLoop::quit);
    quiet.start(kGreetingQuietMs);
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
