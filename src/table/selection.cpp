// Selecting a row of the entry list and the rules of the two edit fields.

#include "app/controls.h"
#include "app/frmM7_1.h"
#include "app/msgbox.h"
#include "table/entry.h"
#include "table/numbers.h"
#include "table/rows.h"

#include <QPushButton>

namespace app {

// A click on a row (or a keyboard move onto one) fills the edit fields from
// it; a row other than the recorded one is also read from the unit.
void frmM7_1::List1_Click()
{
    const int k = List1->currentRow();
    const QString r = k >= 0 ? List1->item(k)->text() : QString();

    Command3->setEnabled(true);
    Text1->setText(table::cutPositionDigits(r));
    // The GSM field rule runs as the text is set.
    selGsm = table::cutGsm(r);
    Text2->setText(selGsm);
    // So does the object field rule; a number that cannot be read leaves
    // selObject as it was.
    table::readInt16(table::cutObject(r), selObject);
    Text3->setText(QString::number(selObject));
    // "3 of 12"
    Label5->setText(QString::number(k + 1) + QLatin1String(" of ") + QString::number(List1->count()));
    // A newly chosen row is read from the unit, as "Read" would do.
    if (selIndex != k) {
        selIndex = qint16(k);
        Command2_Click();
    }
}

// Alt held in the list and a double click reveal the erase button.
void frmM7_1::List1_DblClick()
{
    if (MSComm1->PortOpen() && keyHeld != vbFalse)
        Command1->setVisible(true);
}

void frmM7_1::List1_KeyDown(int keyCode)
{
    if (MSComm1->PortOpen() && keyCode == vbKeyMenu)
        keyHeld = vbTrue;
}

void frmM7_1::List1_KeyUp(int keyCode)
{
    if (MSComm1->PortOpen() && keyCode == vbKeyMenu)
        keyHeld = vbFalse;
}

// GSM field rule, after every change of its text. Setting the text from
// here runs the rule again for the new text before the setting returns.
void frmM7_1::Text2_Change()
{
    const QString t = Text2->text();
    // Digits or a text with an asterisk stay; anything else goes. A sign, a
    // point or a blank would reach the unit as part of a GSM number.
    if (!table::isDigits(t) && !t.contains(QLatin1Char('*')))
        Text2->setText(QString());
    // Nothing is kept while no row is selected.
    if (selIndex == -1)
        Text2->setText(QString());
    Text2->setCursorPosition(int(Text2->text().size()));
}

void frmM7_1::Text2_KeyPress(int)
{
    if (selIndex >= 0)
        Command3->setEnabled(true);
}

// Object field rule, after every change of its text: a whole number not
// above 7999 in plain decimal, "0" for anything else.
void frmM7_1::Text3_Change()
{
    const QString t = Text3->text();
    if (table::isNumeric(t)) {
        qint16 value = 0;
        table::readInt16(t, value);
        if (value > table::kLastObject) {
            MsgBox(QStringLiteral(" Object Number > 7999 ! "), vbOKOnly,
                   QStringLiteral("!!! OBJECT Number is INCORRECT !!!"));
            value = 0;
        }
        Text3->setText(QString::number(value));
    } else {
        Text3->setText(QStringLiteral("0"));
    }
    if (selIndex == -1)
        Text3->setText(QStringLiteral("0"));
    Text3->setCursorPosition(int(Text3->text().size()));
}

void frmM7_1::Text3_KeyPress(int)
{
    if (selIndex >= 0)
        Command3->setEnabled(true);
}

void frmM7_1::Text3_Validate()
{
    if (Text3->text().isEmpty())
        Text3->setText(QStringLiteral("0"));
}

} // namespace app
