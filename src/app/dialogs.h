#pragma once
// The questions the entry list's menu asks beyond message boxes: a line of
// text, a file to open or to save as, and whether to go on with a plan.
// Like MsgBox(), each goes through one function; while a responder is
// installed for it, no dialog is shown and the responder answers instead.

#include "app/plandialog.h"

#include <QString>
#include <functional>
#include <optional>

namespace app {

// The text typed in answer to prompt (the field starts with `initial`,
// selected); nothing when the dialog was cancelled.
std::optional<QString> AskText(const QString &prompt, const QString &title, const QString &initial = QString());

enum class FileUse { Open, Save };

// A file to open or to save as, through a file dialog with the given title
// and filter ("Objects file (*.onf);;Spreadsheet table (*.csv)"); empty when
// cancelled. The dialog opens in the folder last used in this run, with
// `suggested` as the name to save as. A name saved without one of the
// filter's suffixes ("backup 07.12.2024") gets the suffix of the filter
// chosen.
QString AskFileName(FileUse use, const QString &title, const QString &filter, const QString &suggested = QString());

// Shows the plan of a whole-table job; true when the user chose to go on
// (possible only when the plan has a goText). plan.prune tells whether the
// user chose the plan that blanks the unlisted positions.
bool AskPlan(PlanView &plan);

// What stands against a file, count first ("3 problem(s) in x.csv; nothing
// was written") and then one line each, in a scrollable list.
void ShowProblems(const QString &summary, const QStringList &lines);

struct DialogResponders {
    std::function<std::optional<QString>(const QString &prompt, const QString &title)> text;
    std::function<QString(FileUse use, const QString &title, const QString &filter)> fileName;
    std::function<bool(PlanView &plan)> plan;
    std::function<void(const QString &summary, const QStringList &lines)> problems;
};

// Installs responders (an empty member shows the real dialog) and returns
// the ones they replace.
DialogResponders setDialogResponders(DialogResponders responders);

} // namespace app
