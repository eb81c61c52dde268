// Receive processing: everything the unit sends passes through
// ProcessReceived, once for every receive event.

#include "app/controls.h"
#include "app/frmM7_1.h"
#include "app/frmSplash.h"
#include "link/replies.h"
#include "table/numbers.h"
#include "table/rows.h"

#include <QGuiApplication>
#include <QScreen>

namespace app {

namespace {
// Row numbers are 16-bit: the list cannot number a row beyond this.
constexpr int kMaxRows = 32767;
} // namespace

void frmM7_1::ProcessReceived(TermBox &term, QString data)
{
    // A. The terminal: append the text, keeping the box bounded.
    int n = int(term.Text().size());
    if (n > comm::kTermLimit) {
        term.setText(term.Text().mid(comm::kTermLimit - 1));
        n = int(term.Text().size());
    }
    term.setSelStart(n);
    data = comm::insertLfAfterCr(data);
    term.setSelText(data);
    lineBuffer += data;

    // B. Reply lines, in the order they came. The consumed text is removed
    // once at the end; a line counts as consumed only after it was acted on.
    qsizetype from = 0;
    QString line;
    qsizetype next = 0;
    while (comm::ReplyCutter::next(lineBuffer, from, lineBufferFlooded, line, next)) {
        lineBufferFlooded = false;
        if (!line.isEmpty()) {
            replyTicks = 0;
            switch (comm::classifyReply(line.size())) {
            case comm::Reply::Entry: {
                if (opMode != 1 && opMode != 2 && opMode != 4)
                    break;
                if (opMode != 4)
                    showStatusLamp(1);
                replyGsm = line.mid(5, 9);
                table::readInt16(line.mid(1, 4), replyObject);
                if (opMode != 4 && replyGsm.contains(QLatin1Char('*'))) {
                    // An asterisk anywhere marks an empty slot.
                    replyGsm = table::blankGsm();
                    replyObject = 0;
                }
                if (opMode == 2) {
                    Text2->setText(replyGsm);
                    Text3->setText(QString::number(replyObject));
                    break;
                }
                if (List1->count() < kMaxRows)
                    List1->addItem(table::makeRow(List1->count() + 1, replyGsm, replyObject));
                if (opMode == 1) {
                    if (List1->count() % 20 == 0)
                        Label2->setText(Label2->text() + QLatin1Char('.'));
                } else {
                    splash()->Label1->setText(QLatin1String(" DELETE POSITION : (") + QString::number(List1->count())
                                              + QLatin1Char(')'));
                }
                break;
            }
            case comm::Reply::Status:
                List1->setEnabled(true);
                Label2->setText(QStringLiteral("Ready..."));
                showStatusLamp(0);
                opMode = 0;
                linkState = 1;
                if (line == QLatin1String("(R)")) {
                    showStatusLamp(3);
                    Label2->setText(QStringLiteral("RESET..."));
                }
                if (line == QLatin1String("(S)")) {
                    showStatusLamp(3);
                    Label2->setText(QStringLiteral("Starting..."));
                }
                break;
            case comm::Reply::Info1:
                infoTicks = 0;
                Label3->setText(line);
                break;
            case comm::Reply::Info2:
                infoTicks = 0;
                Label4->setText(line);
                break;
            case comm::Reply::EraseStart: {
                opMode = 4;
                List1->clear();
                setEnabled(false);
                frmSplash *busy = splash();
                busy->move(geometry().center() - busy->rect().center());
                busy->show();
                busy->raise();
                break;
            }
            case comm::Reply::EraseEnd:
                opMode = 0;
                // Closing the busy window runs its unload step; with none
                // open, the step runs all the same so that the main window
                // is never left disabled.
                if (frmSplash *busy = splashIfLoaded())
                    busy->close();
                else
                    SplashUnload();
                break;
            case comm::Reply::Other:
                break;
            }
        }
        from = next;
    }
    if (from > 0)
        lineBuffer.remove(0, from);
    if (comm::ReplyCutter::capRest(lineBuffer))
        lineBufferFlooded = true;
}

} // namespace app
