#include "app/plandialog.h"

#include "app/controls.h"
#include "app/msgbox.h"
#include "unit/jobs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QStyle>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace app {

QList<QPair<QString, QString>> changeRows(const QList<table::Difference> &diffs)
{
    QList<QPair<QString, QString>> rows;
    for (const table::Difference &d : diffs) {
        const QString unitRow = d.kind == table::Difference::NoSuchPosition
                                    ? PlanDialog::tr("(%1) : no such position").arg(d.position, 4, 10, QLatin1Char('0'))
                                    : table::rowOf(d.position, d.unit);
        const QString fileRow = d.kind == table::Difference::NotListed
                                    ? PlanDialog::tr("(%1) : not listed").arg(d.position, 4, 10, QLatin1Char('0'))
                                    : table::rowOf(d.position, d.file);
        rows.append({unitRow, fileRow});
    }
    return rows;
}

PlanView planViewOf(const QString &title, const QString &heading, const table::Plan &plan,
                    const QList<table::Difference> &diffs, const QString &goText)
{
    PlanView v;
    v.title = title;
    v.heading = heading;
    v.summary = unit::planSummary(plan);
    v.changes = changeRows(diffs);
    v.goText = goText;
    return v;
}

namespace {
// The summary line, and what the plan does beyond it: the positions the file
// does not list, and why there are more frames than positions to change.
QString summaryOf(const unit::WritePlan &p)
{
    QString s = unit::planSummary(p.plan);
    const int changed = p.plan.toWrite + p.plan.toBlank;
    if (p.plan.writes.size() > changed)
        s += QLatin1Char('\n') + PlanDialog::tr("%1 frames for %2 position(s): numbers change places, so a position "
                                                 "is blanked first for a moment that no number stands twice")
                                     .arg(p.plan.writes.size())
                                     .arg(changed);
    if (const QString unlisted = unit::unlistedText(p); !unlisted.isEmpty())
        s += QLatin1Char('\n') + unlisted;
    return s;
}
} // namespace

PlanView programPlanView(const QString &title, const QString &heading, const unit::WritePlan &p,
                         const QList<table::FileEntry> &entries)
{
    PlanView v;
    v.title = title;
    v.heading = heading;
    v.summary = summaryOf(p);
    v.changes = changeRows(p.changes);
    v.goText = PlanDialog::tr("&Program");
    if (p.plan.writes.isEmpty()) {
        v.summary = PlanDialog::tr("Nothing to change: %1").arg(v.summary);
        v.goText.clear();
    }
    if (p.unlisted > 0 && !p.prune && !p.plan.writes.isEmpty()) {
        const unit::WritePlan pruned = unit::writePlanOf(p.unit, entries, true);
        v.unlisted = p.unlisted;
        v.pruneSummary = summaryOf(pruned);
        v.pruneChanges = changeRows(pruned.changes);
    }
    return v;
}

PlanDialog::PlanDialog(const PlanView &plan, QWidget *parent) : QDialog(parent), m_plan(plan)
{
    setObjectName(QStringLiteral("PlanDialog"));
    setWindowTitle(plan.title);
    setFont(dialogFont());
    resize(560, 340);

    auto *heading = new QLabel(plan.heading, this);
    heading->setWordWrap(true);
    auto *summary = new QLabel(this);
    m_summary = summary;
    summary->setObjectName(QStringLiteral("summary"));
    QFont bold = summary->font();
    bold.setBold(true);
    summary->setFont(bold);
    if (plan.unlisted > 0 && !plan.pruneSummary.isEmpty()) {
        m_prune = new QCheckBox(tr("&Blank the %1 used position(s) that the file does not list").arg(plan.unlisted), this);
        m_prune->setObjectName(QStringLiteral("prune"));
        connect(m_prune, &QCheckBox::toggled, this, &PlanDialog::showPlan);
    }

    m_changes = new QTreeWidget(this);
    m_changes->setObjectName(QStringLiteral("changes"));
    m_changes->setColumnCount(2);
    m_changes->setHeaderLabels({tr("Unit"), tr("File")});
    m_changes->setRootIsDecorated(false);
    m_changes->setUniformRowHeights(true);
    m_changes->setSelectionMode(QAbstractItemView::NoSelection);
    m_changes->setFocusPolicy(Qt::StrongFocus); // PageDown, arrows, Home and End scroll it
    m_changes->header()->setSectionResizeMode(QHeaderView::Stretch);
    m_changes->header()->setSectionsMovable(false);
    showPlan(false);

    auto *buttons = new QDialogButtonBox(this);
    if (plan.goText.isEmpty()) {
        buttons->addButton(QDialogButtonBox::Close);
    } else {
        buttons->addButton(plan.goText, QDialogButtonBox::AcceptRole)->setDefault(true);
        buttons->addButton(QDialogButtonBox::Cancel);
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(summary);
    if (m_prune)
        layout->addWidget(m_prune);
    layout->addWidget(m_changes, 1);
    layout->addWidget(buttons);
}

// The plan as it is, or the one that also blanks the unlisted positions.
void PlanDialog::showPlan(bool prune)
{
    m_summary->setText(prune ? m_plan.pruneSummary : m_plan.summary);
    m_changes->clear();
    for (const auto &change : prune ? m_plan.pruneChanges : m_plan.changes) {
        auto *item = new QTreeWidgetItem(m_changes, {change.first, change.second});
        item->setFont(0, fixedFont());
        item->setFont(1, fixedFont());
    }
}

ProblemsDialog::ProblemsDialog(const QString &summary, const QStringList &lines, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ProblemsDialog"));
    setWindowTitle(parent ? parent->window()->windowTitle() : appTitle());
    setFont(dialogFont());
    resize(560, 300);

    auto *icon = new QLabel(this);
    const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(side, side));
    auto *count = new QLabel(summary, this);
    count->setObjectName(QStringLiteral("summary"));
    count->setWordWrap(true);
    QFont bold = count->font();
    bold.setBold(true);
    count->setFont(bold);

    m_lines = new QListWidget(this);
    m_lines->setObjectName(QStringLiteral("problems"));
    m_lines->setFont(fixedFont());
    m_lines->setUniformItemSizes(true);
    m_lines->setSelectionMode(QAbstractItemView::ExtendedSelection);
    const int shown = int(qMin<qsizetype>(lines.size(), kShownProblems));
    m_lines->addItems(lines.mid(0, shown));
    if (lines.size() > shown)
        m_lines->addItem(tr("... and %1 more").arg(lines.size() - shown));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(count, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_lines, 1);
    layout->addWidget(buttons);
    m_lines->setFocus();
}

} // namespace app
