// Commands to the unit: Read ("Read" and a click on a new row), Erase all
// (the hidden button) and Write. A command sends one frame, records what
// runs and returns; the replies and the watchdog end the operation.

#include "app/controls.h"
#include "app/frmM7_1.h"
#include "app/msgbox.h"
#include "link/frames.h"

#include <QCheckBox>
#include <QPushButton>

namespace app {

void frmM7_1::Command2_Click()
{
    // 1.
    Command3->setEnabled(true);
    // 2. Only while the unit has reported ready.
    if (linkState != 1)
        return;
    // 3., 4.
    showStatusLamp(1);
    Label2->setText(QStringLiteral("Reading "));
    if (Check1->isChecked()) {
        // 5. The whole table; the list fills again from the replies.
        if (MSComm1->PortOpen())
            MSComm1->Output(comm::frameReadAll());
        List1->setEnabled(false);
        List1->clear();
        opMode = 1;
        Check1->setChecked(false);
    } else if (selIndex >= 0) {
        // 6. The selected position.
        const std::optional<QString> frame = comm::frameReadOne(Text1->text());
        if (frame && MSComm1->PortOpen())
            MSComm1->Output(*frame);
        opMode = 2;
    }
    // 8. In every case.
    linkState = 2;
}

void frmM7_1::Command1_Click()
{
    // 1. Hidden again whatever the answers.
    Command1->setVisible(false);
    // 2., 3. Two questions.
    if (MsgBox(QStringLiteral(" DLETE ALL Object and GMS number ? "), vbYesNo,
               QStringLiteral("!!! DELETE ALL DATA !!!")) != vbYes)
        return;
    if (MsgBox(QStringLiteral(" Do you really want to DLETE ALL Object and GMS number ? "), vbYesNo + vbCritical,
               QStringLiteral("!!! DELETE ALL DATA !!!")) != vbYes)
        return;
    // 4. - 6.
    opMode = 4;
    Label5->setText(QStringLiteral("Object"));
    if (MSComm1->PortOpen())
        MSComm1->Output(comm::frameEraseAll());
}

void frmM7_1::Command3_Click()
{
    // 1. Commit the fields into the list (and the working file) first.
    cmdUpadateList_Click();
    // 2.
    if (linkState != 1)
        return;
    // 3.
    Check1->setChecked(false);
    // 4.
    if (selIndex < 0)
        return;
    // 5., 6.
    showStatusLamp(2);
    Label2->setText(QStringLiteral("Writing ..."));
    // 7., 8. The fields as the update left them.
    const std::optional<QString> frame = comm::frameWrite(Text1->text(), Text3->text(), Text2->text());
    if (frame && MSComm1->PortOpen())
        MSComm1->Output(*frame);
    // 9., 10.
    opMode = 3;
    linkState = 3;
    Command3->setEnabled(false);
}

} // namespace app
