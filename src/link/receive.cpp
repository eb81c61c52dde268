// Receive processing: everything the unit sends passes through
// ProcessReceived, once for every receive event.

#include "app/controls.h"
#include "app/frmM7_1.h"
#include "app/frmSplash.h"
#include "link/replies.h"
#include "table/rows.h"

namespace app {

namespace {
// Row numbers are 16-bit: the list cannot number a row beyond this.
constexpr int kMaxRows = 32767;
} // namespace

void frmM7_1::ProcessReceived(TermBox &term, QString data)
{
    data = comm::insertLfAfterCr(data);
    appendToTerminal(term, data);
    lineBuffer += data;
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

// Cuts the complete reply lines out of lineBuffer and acts on each, in the
// order they came. The consumed text is removed once at the end: a line
// counts as consumed only after it was acted on.
void frmM7_1::actOnReplyLines()
{
    qsizetype from = 0;
    QString line;
    qsizetype next = 0;
    while (comm::ReplyCutter::next(lineBuffer, from, lineBufferFlooded, line, next)) {
        lineBufferFlooded = false;
        if (!line.isEmpty()) {
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
        from = next;
    }
    if (from > 0)
        lineBuffer.remove(0, from);
    if (comm::ReplyCutter::capRest(lineBuffer))
        lineBufferFlooded = true;
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
    // While reading, an asterisk anywhere marks an empty slot; an erase
    // reports its slots as they are.
    if (opMode != OpMode::Erase && replyGsm.contains(QLatin1Char('*'))) {
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
    List1->setEnabled(true);
    Label2->setText(QStringLiteral("Ready..."));
    showStatusLamp(Lamp::Ready);
    opMode = OpMode::Idle;
    linkState = LinkState::Ready;
    if (line == QLatin1String("(R)")) {
        showStatusLamp(Lamp::Idle);
        Label2->setText(QStringLiteral("RESET..."));
    }
    if (line == QLatin1String("(S)")) {
        showStatusLamp(Lamp::Idle);
        Label2->setText(QStringLiteral("Starting..."));
    }
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
