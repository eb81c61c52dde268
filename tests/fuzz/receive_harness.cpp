#include "receive_harness.h"

#include "app/controls.h"
#include "app/frmM7_1.h"
#include "app/frmSplash.h"
#include "app/msgbox.h"
#include "link/replies.h"
#include "table/rows.h"

#include <QApplication>
#include <QTimer>

namespace fuzzing {

namespace {

app::frmM7_1 *w = nullptr;

app::frmM7_1 &window()
{
    if (!w) {
        w = new app::frmM7_1([](int) { return QString(); });
        // Gone before the application object is.
        qAddPostRoutine([] {
            delete w;
            w = nullptr;
        });
        w->Timer1->stop(); // ticks come from the input
        static int n = 0;
        app::setMsgBoxResponder([](const QString &, int style, const QString &) {
            const bool yes = (++n % 2) == 1;
            if ((style & 0x0F) == app::vbYesNo)
                return int(yes ? app::vbYes : app::vbNo);
            return int(app::vbOK);
        });
    }
    return *w;
}

// Back to a freshly loaded window, without paying for a new one.
void reset(app::frmM7_1 &w, int mode, int sel)
{
    w.setEnabled(true);
    w.List1->clear();
    w.txtTerm->setText(QString());
    w.lineReader.clear();
    w.replyGsm.clear();
    w.replyObject = 0;
    w.replyTicks = 0;
    w.infoTicks = 0;
    w.linkState = app::LinkState::NoLink;
    w.opMode = qint16(mode);
    w.selIndex = qint16(sel);
    w.Text2->setText(QString());
    w.Text3->setText(QStringLiteral("0"));
}

QString checkRow(const QString &row, int position)
{
    if (!row.startsWith(table::rowPrefix(position)))
        return QStringLiteral("row %1 has the prefix of another position: %2").arg(position).arg(row);
    if (row.size() < 25 || row.size() > 30 || row.mid(21, 3) != QLatin1String(" - "))
        return QStringLiteral("row %1 is misshapen: %2").arg(position).arg(row);
    const QString gsm = row.mid(12, 9);
    if (gsm.contains(QLatin1Char('*')) && (gsm != table::blankGsm() || row.mid(24) != QLatin1String("0")))
        return QStringLiteral("row %1 breaks the blank rule: %2").arg(position).arg(row);
    bool ok = false;
    const int object = row.mid(24).toInt(&ok);
    if (!ok || object < -32768 || object > 32767)
        return QStringLiteral("row %1 has no 16-bit object number: %2").arg(position).arg(row);
    return QString();
}

} // namespace

QString runReceiveInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return QString();
    app::frmM7_1 &w = window();
    // No busy window outlives its input: one still shown when the process
    // ends would be torn down after the display connection is gone.
    // A busy window closed by an erase end is deleted on the next turn of
    // the event loop, which the fuzzer never runs: delete those too.
    struct CloseBusy {
        app::frmM7_1 &w;
        ~CloseBusy()
        {
            delete w.splashIfLoaded();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    } closeBusy{w};
    reset(w, data[0] % 5, int(data[1] % 8) - 1);
    if (w.selIndex >= 0)
        w.List1->addItem(table::blankRow(1)); // so that a selection has a row

    size_t at = 2;
    while (at < size) {
        const size_t len = data[at++] % 65;
        if (len == 0) {
            w.Timer1_Timer();
        } else {
            const size_t n = std::min(len, size - at);
            const QString piece = QString::fromLatin1(reinterpret_cast<const char *>(data + at), qsizetype(n));
            at += n;
            const int rowsBefore = w.List1->count();
            const bool wholeTable = w.opMode == app::OpMode::ReadAll;
            w.ProcessReceived(*w.txtTerm, piece);
            if (w.txtTerm->Text().size() > comm::kTermLimit + 2 * qsizetype(n))
                return QStringLiteral("terminal text of %1 characters").arg(w.txtTerm->Text().size());
            if (w.lineReader.pending().size() > comm::kLineBufferCap)
                return QStringLiteral("line buffer of %1 characters").arg(w.lineReader.pending().size());
            // Nothing sets opMode back to ReadAll: ReadAll before and after
            // means that every row of this piece came from the whole-table read.
            if (wholeTable && w.opMode == app::OpMode::ReadAll) {
                for (int i = rowsBefore; i < w.List1->count(); ++i) {
                    const QString bad = checkRow(w.List1->item(i)->text(), i + 1);
                    if (!bad.isEmpty())
                        return bad;
                }
            }
        }
        if (w.replyTicks < 0 || w.replyTicks > 10 || w.infoTicks < 0 || w.infoTicks > 10)
            return QStringLiteral("tick counters %1, %2").arg(w.replyTicks).arg(w.infoTicks);
        if (w.opMode < app::OpMode::Idle || w.opMode > app::OpMode::Erase)
            return QStringLiteral("opMode %1").arg(w.opMode);
        if (w.linkState < app::LinkState::NoLink || w.linkState > app::LinkState::WriteSent)
            return QStringLiteral("linkState %1").arg(w.linkState);
    }
    return QString();
}

} // namespace fuzzing
