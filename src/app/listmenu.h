#pragma once
// The entry list's context menu, on the right button or the Menu key (the
// designed window leaves both unused): find an entry, export the list to a
// file, and the whole-table jobs that compare the unit with a file or
// program it from one. The menu opens without touching the selection; what
// it does to the window goes through the window's own handlers.

#include "table/entry.h"

#include <QObject>
#include <QStringList>
#include <optional>

class QAction;
class QMenu;
class QPoint;

namespace app {

class frmM7_1;

// What a Find text asks for: a GSM number (its nine digits) or, when gsm is
// empty, an object number.
struct FindQuery {
    QString gsm;
    int object = 0;
};

// A GSM number in any form m7ctl takes (not blank), else a whole number
// from 1 to 7999 as an object number; nothing for any other text.
std::optional<FindQuery> findQueryOf(const QString &text);

// The first row after `current` that holds what the query asks for, going
// round past the last row; -1 when no row does.
int findRow(const QStringList &rows, const FindQuery &query, int current);

// The entries the rows of the list stand for, in row order; a GSM stretch
// with an asterisk anywhere is a blank entry.
table::Table tableOfRows(const QStringList &rows);

class ListMenu : public QObject {
    Q_OBJECT
public:
    explicit ListMenu(frmM7_1 *window);

    QMenu *menu() const { return m_menu; }
    QAction *findAction = nullptr;    // also Ctrl+F anywhere in the window
    QAction *findNextAction = nullptr; // F3: the last query again, from the next row
    QAction *exportAction = nullptr;
    QAction *compareAction = nullptr; // checks the port when chosen
    QAction *programAction = nullptr; // likewise

    // Why the port cannot be given to a whole-table job now (a text for
    // the user), or an empty text when it can.
    QString whyNoJob() const;

    void find();
    void findNext();
    void exportList();
    void compareWithFile();
    void programFromFile();

private:
    void popup(const QPoint &pos);
    void updateActions();
    void runJob(bool program);
    void findFrom(const FindQuery &query);

    frmM7_1 *m_w;
    QMenu *m_menu = nullptr;
    bool m_jobRunning = false;
    QString m_lastFind; // the text of the last Find, for Find Next and the next Find
};

} // namespace app
