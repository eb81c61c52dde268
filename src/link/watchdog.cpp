// The supervision tick, once a second: when the unit has been silent for
// ten ticks the window goes back to idle and the link to "nothing heard";
// information lines older than ten ticks fall back to "Info".

#include "app/controls.h"
#include "app/frmM7_1.h"

namespace app {

void frmM7_1::Timer1_Timer()
{
    replyTicks = qint16(replyTicks + 1);
    if (replyTicks >= 10) {
        replyTicks = 10;
        showStatusLamp(Lamp::Idle);
        Label2->setText(QStringLiteral("State"));
        opMode = OpMode::Idle;
        linkState = LinkState::NoLink;
        endReadAgain(false);
    }
    infoTicks = qint16(infoTicks + 1);
    if (infoTicks >= 10) {
        infoTicks = 10;
        Label3->setText(QStringLiteral("Info"));
        Label4->setText(QStringLiteral("Info"));
    }
}

} // namespace app
