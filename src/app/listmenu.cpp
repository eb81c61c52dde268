#include "app/listmenu.h"

#include "app/controls.h"
#include "app/dialogs.h"
#include "app/frmM7_1.h"
#include "app/msgbox.h"
#include "app/tablejob.h"
#include "files/records.h"
#include "files/tablefile.h"
#include "table/numbers.h"
#include "table/rows.h"

#include <QAction>
#include <QDate>
#include <QMenu>

namespace app {

std::optional<FindQuery> findQueryOf(const QString &text)
{
    const std::optional<QString> gsm = table::normaliseGsm(text);
    if (gsm && *gsm != table::blankGsm())
        return FindQuery{*gsm, 0};
    bool ok = false;
    const int object = text.trimmed().toInt(&ok);
    if (ok && object >= 1 && object <= table::kLastObject)
        return FindQuery{QString(), object};
    return std::nullopt;
}

int findRow(const QStringList &rows, const FindQuery &query, int current)
{
    const int n = int(rows.size());
    for (int step = 1; step <= n; ++step) {
        const int k = ((current < 0 ? -1 : current) + step) % n;
        bool holds = false;
        if (!query.gsm.isEmpty()) {
            holds = table::cutGsm(rows[k]) == query.gsm;
        } else {
            qint16 object = 0;
            holds = table::readInt16(table::cutObject(rows[k]), object) && object == query.object;
        }
        if (holds)
            return k;
    }
    return -1;
}

table::Table tableOfRows(const QStringList &rows)
{
    table::Table t;
    t.reserve(rows.size());
    for (const QString &row : rows) {
        qint16 object = 0;
        table::readInt16(table::cutObject(row), object);
        t.append(table::slotEntry(table::cutGsm(row), object));
    }
    return t;
}

namespace {
QStringList rowsOf(const ListBox &list)
{
    QStringList rows;
    rows.reserve(list.count());
    for (int i = 0; i < list.count(); ++i)
        rows << list.item(i)->text();
    return rows;
}
} // namespace

ListMenu::ListMenu(frmM7_1 *window) : QObject(window), m_w(window)
{
    m_menu = new QMenu(m_w->List1);
    m_menu->setObjectName(QStringLiteral("listMenu"));
    findAction = m_menu->addAction(tr("&Find…"), this, &ListMenu::find);
    findAction->setShortcut(QKeySequence::Find);
    findNextAction = m_menu->addAction(tr("Find &Next"), this, &ListMenu::findNext);
    findNextAction->setShortcut(QKeySequence::FindNext);
    // The shortcuts work wherever the focus is in the window, the edit
    // fields included.
    for (QAction *a : {findAction, findNextAction}) {
        a->setShortcutContext(Qt::WindowShortcut);
        m_w->addAction(a);
    }
    exportAction = m_menu->addAction(tr("&Export list…"), this, &ListMenu::exportList);
    m_menu->addSeparator();
    compareAction = m_menu->addAction(tr("&Compare with file…"), this, &ListMenu::compareWithFile);
    programAction = m_menu->addAction(tr("&Program unit from file…"), this, &ListMenu::programFromFile);
    connect(m_menu, &QMenu::aboutToShow, this, &ListMenu::updateActions);
    // The shortcuts follow the list: an empty list has nothing to find.
    QAbstractItemModel *rows = m_w->List1->model();
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(rows, signal, this, &ListMenu::updateActions);
    connect(rows, &QAbstractItemModel::modelReset, this, &ListMenu::updateActions);
    updateActions();

    // Both the right button and the Menu key ask for the menu this way; the
    // list itself lets the right button neither highlight nor click a row.
    m_w->List1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_w->List1, &QWidget::customContextMenuRequested, this, &ListMenu::popup);
}

void ListMenu::popup(const QPoint &pos)
{
    if (!m_jobRunning && !m_w->jobOwnsWindow())
        m_menu->popup(m_w->List1->viewport()->mapToGlobal(pos));
}

void ListMenu::updateActions()
{
    findAction->setEnabled(m_w->List1->count() > 0);
    findNextAction->setEnabled(m_w->List1->count() > 0);
    exportAction->setEnabled(m_w->List1->count() > 0);
    // The unit is checked when a job starts, which says why it cannot run.
    compareAction->setEnabled(!m_jobRunning);
    programAction->setEnabled(!m_jobRunning);
}

QString ListMenu::whyNoJob() const
{
    if (m_jobRunning)
        return tr("A job of this list is running already.");
    const int port = m_w->MSComm1->CommPort();
    if (!m_w->MSComm1->PortOpen())
        return tr("COM %1 is not connected: click the red lamp at the top left to connect to the unit, "
                  "then choose this again.").arg(port);
    if (m_w->opMode != OpMode::Idle)
        return tr("The unit on COM %1 is busy with a read or write of this window (\"%2\"); choose this again "
                  "once it reads \"Ready...\".").arg(port).arg(m_w->Label2->text().trimmed());
    return QString();
}

// Selects the row found exactly as a click on it would (with the port open
// and the unit ready, that reads the position from the unit).
void ListMenu::find()
{
    if (m_w->List1->count() == 0 || m_w->jobOwnsWindow())
        return;
    const std::optional<QString> text = AskText(tr("GSM number or object number:"), tr("Find"), m_lastFind);
    if (!text || text->trimmed().isEmpty())
        return;
    const std::optional<FindQuery> query = findQueryOf(*text);
    if (!query) {
        MsgBox(tr("\"%1\" is neither a GSM number nor an object number from 1 to %2").arg(text->trimmed()).arg(table::kLastObject),
               vbExclamation, m_w->windowTitle());
        return;
    }
    m_lastFind = text->trimmed();
    findFrom(*query);
}

void ListMenu::findNext()
{
    if (m_lastFind.isEmpty()) {
        find();
        return;
    }
    if (const std::optional<FindQuery> query = findQueryOf(m_lastFind); query && !m_w->jobOwnsWindow() &&
                                                                        m_w->List1->count() > 0)
        findFrom(*query);
}

void ListMenu::findFrom(const FindQuery &query)
{
    const int current = m_w->List1->currentRow();
    const int k = findRow(rowsOf(*m_w->List1), query, current);
    if (k < 0) {
        MsgBox(query.gsm.isEmpty() ? tr("No entry of the list has the object number %1").arg(query.object)
                                   : tr("No entry of the list has the GSM number 359%1").arg(query.gsm),
               vbOKOnly, m_w->windowTitle());
        return;
    }
    if (current >= 0 && k <= current)
        MsgBox(k == current ? tr("Only this entry of the list has it.")
                            : tr("Not found below; found again from the top of the list."),
               vbOKOnly, m_w->windowTitle());
    m_w->List1->setCurrentRow(k);
    m_w->List1->scrollToItem(m_w->List1->item(k));
    m_w->List1_Click();
}

// The list as it is, in the formats of m7ctl's read -o: the window's
// records (the same bytes as "Save Objects-File") or a spreadsheet table.
void ListMenu::exportList()
{
    if (m_w->List1->count() == 0 || m_w->jobOwnsWindow())
        return;
    if (m_w->listStale() &&
        MsgBox(tr("The list may not show what the unit holds: the unit was written to and its table was not "
                  "read back since. Connect and read the table (\"Read All\", \"Read\") for a true copy.\r"
                  "Export the list as it is?"),
               vbYesNo + vbExclamation, m_w->windowTitle()) != vbYes)
        return;
    const QStringList rows = rowsOf(*m_w->List1);
    const QString suggested = tr("unit table %1.onf").arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    // A name without a format or a file that cannot be written: the dialog
    // comes back for another name.
    for (;;) {
        const QString path = AskFileName(FileUse::Save, tr("Export list"),
                                         tr("Objects file (*.onf);;Spreadsheet table (*.csv)"), suggested);
        if (path.isEmpty())
            return;
        const std::optional<files::Format> format = files::formatFromName(path);
        if (!format) {
            MsgBox(files::unknownFormatText(path), vbExclamation, m_w->windowTitle());
            continue;
        }
        const QByteArray bytes =
            *format == files::Format::Onf ? files::recordsOf(rows) : files::csvOf(tableOfRows(rows));
        QString error;
        if (files::replaceWhole(path, bytes, error))
            return;
        MsgBox(tr("%1 cannot be written: %2\rChoose another name or folder.").arg(path, error), vbExclamation,
               m_w->windowTitle());
    }
}

void ListMenu::compareWithFile()
{
    runJob(false);
}

void ListMenu::programFromFile()
{
    runJob(true);
}

void ListMenu::runJob(bool program)
{
    const TableJob::Kind kind = program ? TableJob::Kind::Program : TableJob::Kind::Compare;
    if (const QString why = whyNoJob(); !why.isEmpty()) {
        MsgBox(why, vbExclamation, m_w->windowTitle());
        return;
    }
    // The window gives the port to the job: the edit fields are emptied and
    // the list may be read again.
    if (m_w->editPending() &&
        MsgBox(tr("The edit fields hold a change of position %1 that is not in the list nor written to the "
                  "unit (\"Write\" does that); the job empties the fields and it is lost.\rGo on without it?")
                   .arg(m_w->selIndex + 1),
               vbYesNo + vbQuestion, m_w->windowTitle()) != vbYes)
        return;
    const QString path = AskFileName(FileUse::Open, TableJob::titleOf(kind),
                                     tr("Table files (*.onf *.tfo *.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    // The port may have been lost, or a read started, while the file was
    // being chosen; the unit itself is checked by the job.
    if (const QString why = whyNoJob(); !why.isEmpty()) {
        MsgBox(why, vbExclamation, m_w->windowTitle());
        return;
    }
    m_jobRunning = true;
    TableJob(*m_w, kind, path).run();
    m_jobRunning = false;
}

} // namespace app
