// The list update: checks the edit fields, commits them into the selected
// row and rewrites the working file.

#include "app/controls.h"
#include "app/frmM7_1.h"
#include "app/msgbox.h"
#include "table/numbers.h"
#include "table/rows.h"

namespace app {

namespace {

QString rowAt(const ListBox *list, int i)
{
    const QListWidgetItem *item = list->item(i);
    return item ? item->text() : QString();
}

// The text read as a number equals (or exceeds) zero; a text that does not
// read as a number makes the test false.
bool numberEquals(const QString &text, double v)
{
    const std::optional<double> n = table::readNumber(text);
    return n && *n == v;
}
bool numberAbove(const QString &text, double v)
{
    const std::optional<double> n = table::readNumber(text);
    return n && *n > v;
}

} // namespace

void frmM7_1::cmdUpadateList_Click()
{
    // No selection, or a selection the list no longer holds (a read
    // refilled it with fewer rows): nothing to commit.
    if (selIndex < 0 || selIndex >= List1->count())
        return;

    // A GSM number must have nine characters.
    if (Text2->text().size() != 9) {
        if (MsgBox(QStringLiteral(" DLETE Object ? "), vbYesNo, QStringLiteral("!!! GSM Number is INCORRECT !!!")) == vbYes) {
            Text2->setText(table::blankGsm());
            Text3->setText(QStringLiteral("0"));
        } else {
            Text2->setText(selGsm);
            Text3->setText(QString::number(selObject));
        }
    }

    // A GSM number needs an object number; a blank entry has object 0.
    if (table::isNumeric(Text2->text())) {
        if (numberEquals(Text3->text(), 0)) {
            if (MsgBox(QStringLiteral(" DLETE GSM Number ? "), vbYesNo, QStringLiteral("Object Number = 0 !!!")) == vbYes) {
                Text2->setText(table::blankGsm());
                Text3->setText(QStringLiteral("0"));
            } else {
                Text3->setText(QStringLiteral("0"));
            }
        }
    } else {
        Text3->setText(QStringLiteral("0"));
    }

    // A duplicate is refused with the other row's number and position
    // ("Position : 3-(0003)" CR ...), and the selected row's own values go
    // back into the fields; the search goes on with them.
    const auto refuse = [this](int i, const QString &row, const QString &what, const QString &title) {
        MsgBox(QLatin1String("Position : ") + QString::number(i + 1) + QLatin1Char('-') + table::cutPosition(row)
                   + QLatin1Char('\r') + what,
               vbOKOnly, title);
        const QString own = rowAt(List1, selIndex);
        Text2->setText(table::cutGsm(own));
        Text3->setText(table::cutObject(own));
    };

    // No GSM number twice.
    int n = List1->count();
    for (int i = 0; i < n; ++i) {
        const QString row = rowAt(List1, i);
        if (table::isNumeric(Text2->text()) && Text2->text() == table::cutGsm(row) && i != selIndex)
            refuse(i, row, QStringLiteral("Dublicate GSM number!"), QStringLiteral("!!! GSM - ERROR !!!"));
    }

    // No object number twice; blank entries (object 0) never count.
    n = List1->count();
    for (int i = 0; i < n; ++i) {
        const QString row = rowAt(List1, i);
        const QString obj = table::cutObject(row);
        if (numberAbove(Text3->text(), 0) && numberAbove(obj, 0) && Text3->text() == obj && i != selIndex)
            refuse(i, row, QStringLiteral("Dublicate OBJECT number!"), QStringLiteral("!!! OBJECT - ERROR !!!"));
    }

    // Commit the fields into the selected row.
    selGsm = Text2->text();
    table::readInt16(Text3->text(), selObject);
    if (QListWidgetItem *item = List1->item(selIndex))
        item->setText(table::makeRow(Text1->text(), selGsm, selObject));

    // Keep the working file equal to the list.
    WriteTMPfile();
}

} // namespace app
