// The serial port and the connection: the COM options, the connection
// lamps that open and close the port, and the port's event handler.

#include "app/controls.h"
#include "app/frmM7_1.h"
#include "app/msgbox.h"

#include <QGroupBox>
#include <QRadioButton>

namespace app {

void frmM7_1::Option1_Click(int index)
{
    if (!MSComm1->PortOpen())
        MSComm1->setCommPort(qint16(index));
}

// The red lamp is in front while the port is closed: a click connects.
void frmM7_1::imgNotConnected_Click()
{
    ConnectionToggle(true);
}

// The green lamp is in front while the port is open: a click disconnects.
void frmM7_1::imgConnected_Click()
{
    ConnectionToggle(false);
}

void frmM7_1::ConnectionToggle(bool clickedNotConnected)
{
    // Open a closed port, close an open one; a failure is the one thing shown.
    const bool wasOpen = MSComm1->PortOpen();
    const bool ok = MSComm1->setPortOpen(!wasOpen);
    if (!ok)
        MsgBox(MSComm1->lastError(), vbExclamation, appTitle());
    // Act by what the port says now and which lamp was clicked.
    const bool open = MSComm1->PortOpen();
    if (open && !wasOpen) {
        // Bytes of an earlier connection (a line cut off when the cable was
        // pulled) can never belong to a reply of this one.
        lineReader.clear();
        m_readAgainTries = 0;
    }
    if (clickedNotConnected) {
        if (open)
            ConnectedSequence(true);
        else
            imgNotConnected->raise(); // opening failed
    } else {
        if (open)
            imgConnected->raise(); // closing failed
        else
            ConnectedSequence(false);
    }
    SelectComOption();
    showStatusLamp(Lamp::Idle);
}

// The window's connected or disconnected state. The two differ only in the
// frames, the list (enabled on connect, without a highlighted row on
// disconnect; it keeps its rows) and the COM options.
void frmM7_1::ConnectedSequence(bool connected)
{
    (connected ? imgConnected : imgNotConnected)->raise();
    Frame2->setEnabled(connected);
    Frame3->setEnabled(connected);
    if (connected) {
        List1->setEnabled(true);
    } else {
        List1->clearSelection();
        List1->setCurrentRow(-1);
    }
    Label5->setText(QStringLiteral("Object"));
    ResetEditFields();
    selIndex = -1;
    for (int i = 1; i <= 4; ++i)
        Option1[i]->setEnabled(!connected);
}

// The fields are set as any change is, so their rules run.
void frmM7_1::ResetEditFields()
{
    Text1->setText(QStringLiteral("0"));
    Text2->setText(QString());
    Text3->setText(QStringLiteral("0"));
}

void frmM7_1::SelectComOption()
{
    const int n = MSComm1->CommPort();
    if (n >= 1 && n <= 4)
        Option1[n]->setChecked(true);
}

// The port's event: received bytes go, as text of one character per byte,
// to the receive processing. Other events change nothing.
void frmM7_1::MSComm1_OnComm()
{
    // While a receive event is being processed (a message box of a field
    // rule may be open inside it), later bytes wait in the port; the loop
    // below takes them once the processing has returned.
    if (m_receiving)
        return;
    if (MSComm1->CommEvent() != comm::comEvReceive)
        return;
    m_receiving = true;
    for (;;) {
        const QByteArray bytes = MSComm1->Input();
        if (bytes.isEmpty())
            break;
        ProcessReceived(*txtTerm, QString::fromLatin1(bytes));
    }
    m_receiving = false;
}

// The unit went away while the port was open (cable or adapter pulled): the
// port is closed already; the window shows it and says why.
void frmM7_1::MSComm1_Lost(const QString &why)
{
    endReadAgain(false);
    ConnectedSequence(false);
    SelectComOption();
    showStatusLamp(Lamp::Idle);
    MsgBox(tr("The connection on COM %1 was lost: %2").arg(MSComm1->CommPort()).arg(why), vbExclamation, appTitle());
}

} // namespace app
