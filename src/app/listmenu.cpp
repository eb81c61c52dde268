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
    findAction = m_menu->addAction(tr("Find…"), this, &ListMenu::find);
    findAction->setShortcut(QKeySequence::Find);
    findAction->setShortcutContext(Qt::WidgetShortcut);
    m_w->List1->addAction(findAction); // the shortcut works while the list has the focus
    exportAction = m_menu->addAction(tr("Export list…"), this, &ListMenu::exportList);
    m_menu->addSeparator();
    compareAction = m_menu->addAction(tr("Compare with file…"), this, &ListMenu::compareWithFile);
    programAction = m_menu->addAction(tr("Program unit from file…"), this, &ListMenu::programFromFile);
    connect(m_menu, &QMenu::aboutToShow, this, &ListMenu::updateActions);

    // Both the right button and the Menu key ask for the menu this way; the
    // list itself lets the right button neither highlight nor click a row.
    m_w->List1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_w->List1, &QWidget::customContextMenuRequested, this, &ListMenu::popup);
}

void ListMenu::popup(const QPoint &pos)
{
    if (!m_jobRunning)
        m_menu->popup(m_w->List1->viewport()->mapToGlobal(pos));
}

void ListMenu::updateActions()
{
    exportAction->setEnabled(m_w->List1->count() > 0);
    const bool jobs = jobsAllowed();
    compareAction->setEnabled(jobs);
    programAction->setEnabled(jobs);
}

bool ListMenu::jobsAllowed() const
{
    return !m_jobRunning && m_w->MSComm1->PortOpen() && m_w->linkState == LinkState::Ready;
}

// Selects the row found exactly as a click on it would (with the port open
// and the unit ready, that reads the position from the unit).
void ListMenu::find()
{
    const std::optional<QString> text = AskText(tr("GSM number or object number:"), tr("Find"));
    if (!text || text->trimmed().isEmpty())
        return;
    const std::optional<FindQuery> query = findQueryOf(*text);
    if (!query) {
        MsgBox(tr("\"%1\" is neither a GSM number nor an object number from 1 to %2").arg(text->trimmed()).arg(table::kLastObject),
               vbExclamation, appTitle());
        return;
    }
    const int k = findRow(rowsOf(*m_w->List1), *query, m_w->List1->currentRow());
    if (k < 0) {
        MsgBox(query->gsm.isEmpty() ? tr("No entry of the list has the object number %1").arg(query->object)
                                    : tr("No entry of the list has the GSM number 359%1").arg(query->gsm),
               vbOKOnly, appTitle());
        return;
    }
    m_w->List1->setCurrentRow(k);
    m_w->List1->scrollToItem(m_w->List1->item(k));
    m_w->List1_Click();
}

// The list as it is, in the formats of m7ctl's read -o: the window's
// records (the same bytes as "Save Objects-File") or a spreadsheet table.
void ListMenu::exportList()
{
    const QString path = AskFileName(FileUse::Save, tr("Export list"),
                                     tr("Objects file (*.onf);;Spreadsheet table (*.csv)"));
    if (path.isEmpty())
        return;
    const std::optional<files::Format> format = files::formatFromName(path);
    if (!format) {
        MsgBox(files::unknownFormatText(path), vbExclamation, appTitle());
        return;
    }
    const QStringList rows = rowsOf(*m_w->List1);
    const QByteArray bytes =
        *format == files::Format::Onf ? files::recordsOf(rows) : files::csvOf(tableOfRows(rows));
    QString error;
    if (!files::replaceWhole(path, bytes, error))
        MsgBox(QStringLiteral("%1: %2").arg(path, error), vbExclamation, appTitle());
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
    if (!jobsAllowed())
        return;
    const TableJob::Kind kind = program ? TableJob::Kind::Program : TableJob::Kind::Compare;
    const QString path = AskFileName(FileUse::Open, TableJob::titleOf(kind),
                                     tr("Table files (*.onf *.tfo *.csv);;All files (*)"));
    // The unit may have gone quiet or the port been lost while the file
    // was being chosen.
    if (path.isEmpty() || !jobsAllowed())
        return;
    m_jobRunning = true;
    TableJob(*m_w, kind, path).run();
    m_jobRunning = false;
}

} // namespace app
