// Receive processing: everything the unit sends passes through
// ProcessReceived, once for every receive event.

#include "app/controls.h"
#include "app/frmM7_1.h"
#include "app/frmSplash.h"
#include "link/replies.h"
#include "table/entry.h"

namespace app {

namespace {
// Row numbers are 16-bit: the list cannot number a row beyond this.
constexpr int kMaxRows = 32767;
} // namespace

void frmM7_1::ProcessReceived(TermBox &term, QString data)
{
    data = comm::insertLfAfterCr(data);
    appendToTerminal(term, data);
    lineReader.append(data);
    actOnReplyLines();
}

// The terminal box gets every received character, a CR followed by an LF.
// Its text is cut back before new text is added once it has passed the
// limit (to its characters from the limit on).
void frmM7_1::appendToTerminal(TermBox &term, const QString &text)
{
    int n = int(term.Text().size());
    if (n > comm::kTermLimit) {
        term.setText(term.Text().mid(comm::kTermLimit - 1));
        n = int(term.Text().size());
    }
    term.setSelStart(n);
    term.setSelText(text);
}

// Acts on each complete reply line received, in the order they came.
void frmM7_1::actOnReplyLines()
{
    QString line;
    while (lineReader.next(line)) {
        if (line.isEmpty())
            continue;
        replyTicks = 0;
        switch (comm::classifyReply(line.size())) {
        case comm::Reply::Entry: onEntryReport(line); break;
        case comm::Reply::Status: onStatusReply(line); break;
        case comm::Reply::Info1: onInfoLine(Label3, line); break;
        case comm::Reply::Info2: onInfoLine(Label4, line); break;
        case comm::Reply::EraseStart: onEraseStart(); break;
        case comm::Reply::EraseEnd: onEraseEnd(); break;
        case comm::Reply::Other: break;
        }
    }
}

// An entry of the unit's table: a row of a whole-table read or an erase, or
// the fields of a single-position read. Reports while nothing asked for
// them are not used.
void frmM7_1::onEntryReport(const QString &line)
{
    if (opMode != OpMode::ReadAll && opMode != OpMode::ReadOne && opMode != OpMode::Erase)
        return;
    if (opMode != OpMode::Erase)
        showStatusLamp(Lamp::Reading);
    const comm::EntryReport report = comm::parseEntryReport(line);
    replyGsm = report.gsm;
    if (report.object)
        replyObject = *report.object;
    // While reading, the unit's blank-slot rule applies; an erase reports
    // its slots as they are.
    if (opMode != OpMode::Erase && table::marksBlankSlot(replyGsm)) {
        replyGsm = table::blankGsm();
        replyObject = 0;
    }
    if (opMode == OpMode::ReadOne) {
        Text2->setText(replyGsm);
        Text3->setText(QString::number(replyObject));
        return;
    }
    if (List1->count() < kMaxRows)
        List1->addItem(table::makeRow(List1->count() + 1, replyGsm, replyObject));
    if (opMode == OpMode::ReadAll) {
        // One dot in the status line per twenty rows.
        if (List1->count() % 20 == 0)
            Label2->setText(Label2->text() + QLatin1Char('.'));
    } else {
        splash()->Label1->setText(QLatin1String(" DELETE POSITION : (") + QString::number(List1->count())
                                  + QLatin1Char(')'));
    }
}

void frmM7_1::statusReplyHeardByJob()
{
    replyTicks = 0;
    onStatusReply(QStringLiteral("(K)"));
}

// The running operation has ended: the unit is ready. "(R)" and "(S)" are
// its reset and start-up notices.
void frmM7_1::onStatusReply(const QString &line)
{
    const bool endedReadAll = opMode == OpMode::ReadAll;
    List1->setEnabled(true);
    Label2->setText(QStringLiteral("Ready..."));
    showStatusLamp(Lamp::Ready);
    opMode = OpMode::Idle;
    linkState = LinkState::Ready;
    const comm::Notice notice = comm::noticeOf(line);
    if (notice == comm::Notice::Reset) {
        showStatusLamp(Lamp::Idle);
        Label2->setText(QStringLiteral("RESET..."));
    }
    if (notice == comm::Notice::StartUp) {
        showStatusLamp(Lamp::Idle);
        Label2->setText(QStringLiteral("Starting..."));
    }
    afterStatusReply(endedReadAll);
}

void frmM7_1::onInfoLine(Label *label, const QString &line)
{
    infoTicks = 0;
    label->setText(line);
}

// The unit starts erasing: the list empties and the busy window stands in
// front of the disabled main window.
void frmM7_1::onEraseStart()
{
    opMode = OpMode::Erase;
    List1->clear();
    setEnabled(false);
    frmSplash *busy = splash();
    busy->move(geometry().center() - busy->rect().center());
    busy->show();
    busy->raise();
}

void frmM7_1::onEraseEnd()
{
    opMode = OpMode::Idle;
    // Closing the busy window runs its unload step; with none open, the step
    // runs all the same so that the main window is never left disabled.
    if (frmSplash *busy = splashIfLoaded())
        busy->close();
    else
        SplashUnload();
}

} // namespace app
