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

// The text typed in answer to prompt; nothing when the dialog was cancelled.
std::optional<QString> AskText(const QString &prompt, const QString &title);

enum class FileUse { Open, Save };

// A file to open or to save as, through a file dialog with the given title
// and filter ("Objects file (*.onf);;Spreadsheet table (*.csv)"); empty when
// cancelled. A name saved without a suffix gets the suffix of the filter
// chosen.
QString AskFileName(FileUse use, const QString &title, const QString &filter);

// Shows the plan of a whole-table job; true when the user chose to go on
// (possible only when the plan has a goText).
bool AskPlan(const PlanView &plan);

struct DialogResponders {
    std::function<std::optional<QString>(const QString &prompt, const QString &title)> text;
    std::function<QString(FileUse use, const QString &title, const QString &filter)> fileName;
    std::function<bool(const PlanView &plan)> plan;
};

// Installs responders (an empty member shows the real dialog) and returns
// the ones they replace.
DialogResponders setDialogResponders(DialogResponders responders);

} // namespace app
