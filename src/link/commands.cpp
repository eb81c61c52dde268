// Commands to the unit: Read ("Read" and a click on a new row), Erase all
// (the hidden button) and Write. A command sends one frame, records what
// runs and returns; the replies and the watchdog end the operation.

#include "app/controls.h"
#include "app/frmM7_1.h"
#include "app/msgbox.h"
#include "link/frames.h"
#include "table/numbers.h"

#include <QCheckBox>
#include <QPushButton>

namespace app {

void frmM7_1::Command2_Click()
{
    Command3->setEnabled(true);
    // Only while the unit has reported ready.
    if (linkState != LinkState::Ready)
        return;
    showStatusLamp(Lamp::Reading);
    Label2->setText(QStringLiteral("Reading "));
    if (Check1->isChecked()) {
        // The whole table; the list fills again from the replies.
        if (MSComm1->PortOpen())
            MSComm1->Output(comm::frameReadAll());
        List1->setEnabled(false);
        List1->clear();
        opMode = OpMode::ReadAll;
        Check1->setChecked(false);
    } else if (selIndex >= 0) {
        // The selected position.
        qint16 position = 0;
        if (table::readInt16(Text1->text(), position) && MSComm1->PortOpen())
            MSComm1->Output(comm::frameReadOne(position));
        opMode = OpMode::ReadOne;
    }
    // In every case, also with nothing sent.
    linkState = LinkState::ReadSent;
}

void frmM7_1::Command1_Click()
{
    // Hidden again whatever the answers.
    Command1->setVisible(false);
    // Two questions.
    if (MsgBox(QStringLiteral(" DLETE ALL Object and GMS number ? "), vbYesNo,
               QStringLiteral("!!! DELETE ALL DATA !!!")) != vbYes)
        return;
    if (MsgBox(QStringLiteral(" Do you really want to DLETE ALL Object and GMS number ? "), vbYesNo + vbCritical,
               QStringLiteral("!!! DELETE ALL DATA !!!")) != vbYes)
        return;
    opMode = OpMode::Erase;
    Label5->setText(QStringLiteral("Object"));
    if (MSComm1->PortOpen())
        MSComm1->Output(comm::frameEraseAll());
}

void frmM7_1::Command3_Click()
{
    // Commit the fields into the list (and the working file) first.
    cmdUpadateList_Click();
    if (linkState != LinkState::Ready)
        return;
    Check1->setChecked(false);
    // No selection, or one the list no longer holds (a read refilled it with
    // fewer rows): the update checked nothing, so nothing is sent.
    if (selIndex < 0 || selIndex >= List1->count())
        return;
    showStatusLamp(Lamp::Writing);
    Label2->setText(QStringLiteral("Writing ..."));
    // The frame carries the fields as the update left them; fields that do
    // not read as numbers give no frame.
    qint16 position = 0;
    table::Entry entry{Text2->text(), 0};
    if (table::readInt16(Text1->text(), position) && table::readInt16(Text3->text(), entry.object) &&
        MSComm1->PortOpen())
        MSComm1->Output(comm::frameWrite(position, entry));
    opMode = OpMode::Write;
    linkState = LinkState::WriteSent;
    Command3->setEnabled(false);
}

} // namespace app
