#include "app/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QRegularExpression>

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
} // namespace

DialogResponders setDialogResponders(DialogResponders r)
{
    DialogResponders old = std::move(responders());
    responders() = std::move(r);
    return old;
}

std::optional<QString> AskText(const QString &prompt, const QString &title)
{
    if (responders().text)
        return responders().text(prompt, title);
    bool ok = false;
    const QString text = QInputDialog::getText(QApplication::activeWindow(), title, prompt, QLineEdit::Normal, QString(), &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

QString AskFileName(FileUse use, const QString &title, const QString &filter)
{
    if (responders().fileName)
        return responders().fileName(use, title, filter);
    QWidget *parent = QApplication::activeWindow();
    if (use == FileUse::Open)
        return QFileDialog::getOpenFileName(parent, title, QString(), filter);
    // The default suffix follows the filter chosen, so that the dialog's
    // own question about replacing a file sees the whole name.
    QFileDialog dialog(parent, title, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(suffixOfFilter(filter));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString &chosen) { dialog.setDefaultSuffix(suffixOfFilter(chosen)); });
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.selectedFiles().value(0);
}

bool AskPlan(const PlanView &plan)
{
    if (responders().plan)
        return responders().plan(plan);
    PlanDialog dialog(plan, QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted && !plan.goText.isEmpty();
}

} // namespace app
