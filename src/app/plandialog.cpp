#include "app/plandialog.h"

#include "app/controls.h"
#include "unit/jobs.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
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

PlanDialog::PlanDialog(const PlanView &plan, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PlanDialog"));
    setWindowTitle(plan.title);
    setFont(dialogFont());
    resize(560, 340);

    auto *heading = new QLabel(plan.heading, this);
    heading->setWordWrap(true);
    auto *summary = new QLabel(plan.summary, this);
    summary->setObjectName(QStringLiteral("summary"));
    QFont bold = summary->font();
    bold.setBold(true);
    summary->setFont(bold);

    m_changes = new QTreeWidget(this);
    m_changes->setObjectName(QStringLiteral("changes"));
    m_changes->setColumnCount(2);
    m_changes->setHeaderLabels({tr("Unit"), tr("File")});
    m_changes->setRootIsDecorated(false);
    m_changes->setUniformRowHeights(true);
    m_changes->setSelectionMode(QAbstractItemView::NoSelection);
    m_changes->setFocusPolicy(Qt::NoFocus);
    m_changes->header()->setSectionResizeMode(QHeaderView::Stretch);
    m_changes->header()->setSectionsMovable(false);
    for (const auto &change : plan.changes) {
        auto *item = new QTreeWidgetItem(m_changes, {change.first, change.second});
        item->setFont(0, fixedFont());
        item->setFont(1, fixedFont());
    }

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
    layout->addWidget(m_changes, 1);
    layout->addWidget(buttons);
}

} // namespace app
