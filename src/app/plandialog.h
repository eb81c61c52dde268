#pragma once
// The plan of a whole-table job as the window shows it: what a file would
// change on the unit, counted and row by row, unit beside file.

#include "table/plan.h"
#include "unit/jobs.h"

#include <QDialog>
#include <QList>
#include <QPair>
#include <QString>

class QCheckBox;
class QLabel;
class QListWidget;
class QTreeWidget;

namespace app {

struct PlanView {
    QString title;   // "Program unit from file"
    QString heading; // which file against which unit
    QString summary; // "12 to write, 3 to blank, 985 unchanged (16 frames)"
    QList<QPair<QString, QString>> changes; // per changed position: the unit's row, the file's row
    QString goText;  // the button that goes on ("Program"); empty: Close only
    // Offered when unlisted > 0 and pruneSummary is given, off at first:
    // the plan that also blanks the used positions the file does not list.
    int unlisted = 0;
    QString pruneSummary;
    QList<QPair<QString, QString>> pruneChanges;
    bool prune = false; // chosen
};

// The rows of differences, unit beside file.
QList<QPair<QString, QString>> changeRows(const QList<table::Difference> &diffs);

// The view of a plan: the counts and frames of `plan`, and the rows of the
// positions in `diffs`.
PlanView planViewOf(const QString &title, const QString &heading, const table::Plan &plan,
                    const QList<table::Difference> &diffs, const QString &goText);

// The plan of a program job as the dialog shows it: the counts, the
// unlisted positions, the temporary blanks of a swap and, offered, the plan
// that blanks what the file does not list (entries: the file's).
PlanView programPlanView(const QString &title, const QString &heading, const unit::WritePlan &plan,
                         const QList<table::FileEntry> &entries);

class PlanDialog : public QDialog {
    Q_OBJECT
public:
    explicit PlanDialog(const PlanView &plan, QWidget *parent = nullptr);
    QTreeWidget *changes() const { return m_changes; }
    QCheckBox *prune() const { return m_prune; }

private:
    void showPlan(bool prune);
    PlanView m_plan;
    QLabel *m_summary = nullptr;
    QTreeWidget *m_changes = nullptr;
    QCheckBox *m_prune = nullptr;
};

// The problems of a table file: the count first, then the lines in a list
// that scrolls, at most kShownProblems of them and "and N more".
class ProblemsDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kShownProblems = 200;
    ProblemsDialog(const QString &summary, const QStringList &lines, QWidget *parent = nullptr);
    QListWidget *lines() const { return m_lines; }

private:
    QListWidget *m_lines = nullptr;
};

} // namespace app
