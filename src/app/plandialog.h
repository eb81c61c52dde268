#pragma once
// The plan of a whole-table job as the window shows it: what a file would
// change on the unit, counted and row by row, unit beside file.

#include "table/plan.h"

#include <QDialog>
#include <QList>
#include <QPair>
#include <QString>

class QTreeWidget;

namespace app {

struct PlanView {
    QString title;   // "Program unit from file"
    QString heading; // which file against which unit
    QString summary; // "12 to write, 3 to blank, 985 unchanged (16 frames)"
    QList<QPair<QString, QString>> changes; // per changed position: the unit's row, the file's row
    QString goText;  // the button that goes on ("Program"); empty: Close only
};

// The rows of differences, unit beside file.
QList<QPair<QString, QString>> changeRows(const QList<table::Difference> &diffs);

// The view of a plan: the counts and frames of `plan`, and the rows of the
// positions in `diffs`.
PlanView planViewOf(const QString &title, const QString &heading, const table::Plan &plan,
                    const QList<table::Difference> &diffs, const QString &goText);

class PlanDialog : public QDialog {
    Q_OBJECT
public:
    explicit PlanDialog(const PlanView &plan, QWidget *parent = nullptr);
    QTreeWidget *changes() const { return m_changes; }

private:
    QTreeWidget *m_changes = nullptr;
};

} // namespace app
