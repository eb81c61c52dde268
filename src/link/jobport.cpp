// The port lent to a whole-table job of the list menu and taken back, and
// the list read again after a job that may have changed the unit.
//
// While a job owns the port the window takes no clicks: a lamp, a COM
// option or a row clicked then would fight the job for the port. A list
// that may not show what the unit holds carries a mark in its caption
// until the table has been read again; a read again that is cut short puts
// the rows back as they were, so the list is never left empty or half read.

#include "app/controls.h"
#include "app/frmM7_1.h"
#include "table/numbers.h"
#include "unit/engine.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QGroupBox>
#include <QPushButton>
#include <QTimer>

namespace app {

namespace {
// Reads again after one job, or after one connect, before the window waits
// for the user: a unit that answers every read short is not read for ever.
constexpr int kReadAgainTries = 3;
} // namespace

bool frmM7_1::releasePortForJob()
{
    m_jobOwnsWindow = true;
    setInert(true);
    if (MSComm1->PortOpen())
        ConnectionToggle(false); // a port that does not close is told as on a click
    if (MSComm1->PortOpen()) {
        m_jobOwnsWindow = false;
        setInert(false);
        return false;
    }
    setInert(true);
    return true;
}

void frmM7_1::reclaimPortAfterJob(bool readTable, JobEnd end)
{
    if (readTable)
        setListStale(true);
    m_readAgainTries = 0;
    if (end != JobEnd::PortGone) {
        ConnectionToggle(true); // a port that does not open is told as on a click
        setInert(true);
        if (MSComm1->PortOpen())
            waitForGreeting();
        if (MSComm1->PortOpen() && end == JobEnd::UnitReady) {
            // The job has just heard the unit report ready, on a connection
            // the receive processing never saw.
            statusReplyHeardByJob();
            if (m_listStale)
                readTableAgain();
        }
    }
    if (!m_readingAgain) {
        m_jobOwnsWindow = false;
        setInert(false);
    }
}

// A unit may greet each opening of the port; a read sent before the
// greeting is over would take its status line for the end of the table.
// Returns once nothing has come for the quiet time.
void frmM7_1::waitForGreeting()
{
    QEventLoop loop;
    QTimer quiet;
    quiet.setSingleShot(true);
    connect(&quiet, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(MSComm1, &comm::MSComm::OnComm, &quiet, [&quiet] { quiet.start(unit::kSettleQuietMs); });
    connect(MSComm1, &comm::MSComm::Lost, &loop, &QEventLoop::quit);
    QTimer::singleShot(unit::kLongestAnswerMs, &loop, &QEventLoop::quit);
    quiet.start(unit::kSettleQuietMs);
    loop.exec();
}

void frmM7_1::setListStale(bool stale)
{
    m_listStale = stale;
    Label5->setMark(stale ? tr("  (not read back from the unit)") : QString());
}

bool frmM7_1::editPending() const
{
    if (selIndex < 0 || selIndex >= List1->count() || !Frame2->isEnabled())
        return false;
    qint16 object = 0;
    return Text2->text() != selGsm || !table::readInt16(Text3->text(), object) || object != selObject;
}

// The controls that take clicks: the lamps and COM options, the groups, the
// list and the save button. Taking clicks again, each is as the connection
// state and a running read leave it.
void frmM7_1::setInert(bool inert)
{
    const bool open = MSComm1->PortOpen();
    Frame1->setEnabled(!inert);
    Frame2->setEnabled(!inert && open);
    Frame3->setEnabled(!inert && open);
    List1->setEnabled(!inert && opMode != OpMode::ReadAll);
    cmdOFNsave->setEnabled(!inert);
    Command1->setEnabled(!inert);
}

bool frmM7_1::listComplete() const
{
    return knownTableSize > 0 ? List1->count() == knownTableSize : List1->count() > 0;
}

// "Read All" and "Read", keeping the rows to put back if the read is cut.
void frmM7_1::readTableAgain()
{
    m_rowsBefore.clear();
    for (int i = 0; i < List1->count(); ++i)
        m_rowsBefore << List1->item(i)->text();
    ++m_readAgainTries;
    m_readingAgain = true;
    Check1->setChecked(true);
    Command2_Click();
    if (opMode != OpMode::ReadAll) {
        Check1->setChecked(false);
        endReadAgain(false);
    } else if (m_jobOwnsWindow) {
        setInert(true);
    }
}

// After a connect (the unit's greeting) or a late answer of the unit: the
// unit is ready, so a stale list is read again once the line is quiet.
void frmM7_1::scheduleReadAgain()
{
    if (!m_listStale || m_readingAgain || m_jobOwnsWindow || m_readAgainTries >= kReadAgainTries)
        return;
    if (!m_readAgainTimer) {
        m_readAgainTimer = new QTimer(this);
        m_readAgainTimer->setSingleShot(true);
        m_readAgainTimer->setInterval(unit::kSettleQuietMs);
        // The rest of an answer still coming in postpones the read.
        connect(MSComm1, &comm::MSComm::OnComm, m_readAgainTimer, [this] {
            if (m_readAgainTimer->isActive())
                m_readAgainTimer->start();
        });
        connect(m_readAgainTimer, &QTimer::timeout, this, [this] {
            if (m_listStale && !m_readingAgain && !m_jobOwnsWindow && MSComm1->PortOpen() &&
                linkState == LinkState::Ready && opMode == OpMode::Idle && m_readAgainTries < kReadAgainTries)
                readTableAgain();
        });
    }
    m_readAgainTimer->start();
}

// Called at the end of every status reply.
void frmM7_1::afterStatusReply(bool endedReadAll)
{
    if (endedReadAll && m_readingAgain)
        endReadAgain(listComplete());
    else if (endedReadAll && m_listStale && knownTableSize > 0 && listComplete())
        setListStale(false); // "Read All" by hand read it
    scheduleReadAgain();
    if (m_jobOwnsWindow)
        setInert(true);
}

// The read again ended: a whole table replaces the list and the working
// file; a read cut short (a late answer of the unit ended it, the unit fell
// silent, the cable was pulled) puts the rows back, still marked stale.
void frmM7_1::endReadAgain(bool complete)
{
    if (!m_readingAgain)
        return;
    m_readingAgain = false;
    if (complete) {
        setListStale(false);
        m_readAgainTries = 0;
        WriteTMPfile();
    } else {
        List1->clear();
        List1->addItems(m_rowsBefore);
        List1->setEnabled(true);
    }
    m_rowsBefore.clear();
    if (m_jobOwnsWindow) {
        m_jobOwnsWindow = false;
        setInert(false);
    }
}

} // namespace app
