#include "app/dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QRegularExpression>

#include <utility>

namespace app {

namespace {
DialogResponders &responders()
{
    static DialogResponders r;
    return r;
}

// "(*.onf)" in "Objects file (*.onf)" gives "onf".
QString suffixOfFilter(const QString &filter)
{
    static const QRegularExpression pattern(QStringLiteral("\\*\\.(\\w+)"));
    return pattern.match(filter).captured(1);
}

// Every suffix the filters name.
QStringList suffixesOfFilters(const QString &filters)
{
    static const QRegularExpression pattern(QStringLiteral("\\*\\.(\\w+)"));
    QStringList all;
    for (auto it = pattern.globalMatch(filters); it.hasNext();)
        all << it.next().captured(1).toLower();
    return all;
}

// The folder of the last file chosen in this run (no settings are kept).
QString &lastFolder()
{
    static QString folder;
    return folder;
}

QString remembered(const QString &path)
{
    if (!path.isEmpty())
        lastFolder() = QFileInfo(path).absolutePath();
    return path;
}
} // namespace

DialogResponders setDialogResponders(DialogResponders r)
{
    return std::exchange(responders(), std::move(r));
}

std::optional<QString> AskText(const QString &prompt, const QString &title, const QString &initial)
{
    if (responders().text)
        return responders().text(prompt, title);
    bool ok = false;
    const QString text = QInputDialog::getText(QApplication::activeWindow(), title, prompt, QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

QString AskFileName(FileUse use, const QString &title, const QString &filter, const QString &suggested)
{
    if (responders().fileName)
        return responders().fileName(use, title, filter);
    QWidget *parent = QApplication::activeWindow();
    if (use == FileUse::Open)
        return remembered(QFileDialog::getOpenFileName(parent, title, lastFolder(), filter));
    // The default suffix follows the filter chosen, so that the dialog's
    // own question about replacing a file sees the whole name.
    QFileDialog dialog(parent, title, lastFolder(), filter);
    if (!suggested.isEmpty())
        dialog.selectFile(suggested);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(suffixOfFilter(filter));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString &chosen) { dialog.setDefaultSuffix(suffixOfFilter(chosen)); });
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    QString path = dialog.selectedFiles().value(0);
    // "backup 07.12.2024" has a suffix, but not one of a table file.
    if (!path.isEmpty() && !suffixesOfFilters(filter).contains(QFileInfo(path).suffix().toLower()))
        path += QLatin1Char('.') + suffixOfFilter(dialog.selectedNameFilter());
    return remembered(path);
}

void ShowProblems(const QString &summary, const QStringList &lines)
{
    if (responders().problems)
        return responders().problems(summary, lines);
    QWidget *parent = QApplication::activeWindow();
    for (QWidget *w : QApplication::topLevelWidgets())
        if (!parent && w->objectName() == QLatin1String("frmM7_1"))
            parent = w;
    ProblemsDialog dialog(summary, lines, parent);
    dialog.exec();
}

bool AskPlan(PlanView &plan)
{
    if (responders().plan)
        return responders().plan(plan);
    PlanDialog dialog(plan, QApplication::activeWindow());
    const bool go = dialog.exec() == QDialog::Accepted && !plan.goText.isEmpty();
    plan.prune = dialog.prune() && dialog.prune()->isChecked();
    return go;
}

} // namespace app
