#pragma once
// frmM7_1: the main window. It owns every control and every piece of state
// of the program; the handlers of each subsystem are defined in that
// subsystem's folder (link/, table/, files/), this header shows the whole
// window at a glance.

#include "link/mscomm.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>

class QCheckBox;
class QGroupBox;
class QPushButton;
class QRadioButton;
class QTimer;

namespace app {

class ImageBox;
class Label;
class ListBox;
class TermBox;
class TextBox;
class frmSplash;

// Flags are kept as 16-bit integers: true is -1, false is 0.
constexpr qint16 vbTrue = -1;
constexpr qint16 vbFalse = 0;

// Values of the main window's design that a test may want to vary.
struct WindowDesign {
    qint16 commPort = 1;  // the serial control's port number
    QString termText;     // text in the terminal box before loading
};

class frmM7_1 : public QWidget {
    Q_OBJECT
public:
    using Design = WindowDesign;

    // Creates the window and runs its load sequence. mapper turns a port
    // number into the device to open.
    explicit frmM7_1(comm::PortMapper mapper, const Design &design = Design());
    ~frmM7_1() override;

    // ------------------------------------------------------------ controls
    QPushButton *Command1 = nullptr;       // "DELETE ALL GSM and OBJECTS", hidden
    QTimer *Timer1 = nullptr;              // supervision tick, 1000 ms
    QPushButton *cmdOFNsave = nullptr;     // "Save Objects-File"
    comm::MSComm *MSComm1 = nullptr;       // the serial port
    ListBox *List1 = nullptr;              // the entry list
    QGroupBox *Frame1 = nullptr;           // port choice and lamps
    std::array<QRadioButton *, 5> Option1{}; // COM options, elements 1 to 4
    std::array<ImageBox *, 4> Image1{};    // status lamp: 0 yellow, 1 green, 2 red, 3 gray
    ImageBox *imgConnected = nullptr;      // green connection lamp
    ImageBox *imgNotConnected = nullptr;   // red connection lamp
    QGroupBox *Frame2 = nullptr;           // the edit group
    QPushButton *cmdUpadateList = nullptr; // list update, never shown
    TextBox *Text3 = nullptr;              // object number
    TextBox *Text1 = nullptr;              // position, not editable
    TextBox *Text2 = nullptr;              // GSM number
    Label *Label1 = nullptr;               // header over the edit fields
    QGroupBox *Frame3 = nullptr;           // the transfer group
    QCheckBox *Check1 = nullptr;           // "Read All"
    QPushButton *Command2 = nullptr;       // "Read"
    QPushButton *Command3 = nullptr;       // "Write"
    TermBox *txtTerm = nullptr;            // all received text, never shown
    Label *Label4 = nullptr;               // second information line
    Label *Label3 = nullptr;               // first information line
    Label *Label2 = nullptr;               // status line
    Label *Label5 = nullptr;               // caption over the list

    // --------------------------------------------------------------- state
    qint16 selIndex = 0;     // row the edit fields belong to, -1 for none
    QString selGsm;          // its GSM number as last taken or committed
    qint16 selObject = 0;    // its object number as last taken or committed
    qint16 replyTicks = 0;   // ticks since the last reply line, 0..10
    qint16 infoTicks = 0;    // ticks since an information line was shown, 0..10
    qint16 opMode = 0;       // 0 none, 1 read all, 2 read one, 3 write, 4 erase all
    qint16 linkState = 0;    // 0 no link, 1 ready, 2 read sent, 3 write sent
    qint16 keyHeld = vbFalse; // Alt held down in the entry list

    // Kept by the receive processing from one receive event to the next.
    QString lineBuffer;      // received text not yet cut into reply lines
    bool lineBufferFlooded = false; // it overflowed; the next line resynchronises
    QString replyGsm;        // GSM field of the last entry report
    qint16 replyObject = 0;  // object number of the last entry report

    // Ends the process at once after the user confirmed the exit. The
    // default releases the port and exits; tests put their own here.
    std::function<void()> EndApplication;

    // ------------------------------------------------------------ handlers
    // Start-up and shutdown (app/).
    void Form_Load();
    bool Form_QueryUnload(); // true: the close request is cancelled
    void Form_Unload();

    // Selection and field input (table/).
    void List1_Click();
    void List1_DblClick();
    void List1_KeyDown(int keyCode);
    void List1_KeyUp(int keyCode);
    void Text2_Change();
    void Text2_KeyPress(int key);
    void Text3_Change();
    void Text3_KeyPress(int key);
    void Text3_Validate();
    void cmdUpadateList_Click();

    // Serial port, receive processing, commands, watchdog (link/).
    void Option1_Click(int index);
    void imgNotConnected_Click();
    void imgConnected_Click();
    void MSComm1_OnComm();
    void MSComm1_Lost(const QString &why);
    void ProcessReceived(TermBox &term, QString data);
    void Command2_Click();
    void Command1_Click();
    void Command3_Click();
    void Timer1_Timer();

    // Files (files/).
    bool WriteTMPfile();
    void cmdOFNsave_Click();

    // --------------------------------------------------- window operations
    // Brings status lamp k (0 yellow, 1 green, 2 red, 3 gray) to the front.
    void showStatusLamp(int k);
    // The status lamp element in front.
    int statusLampShown() const;
    // True while the green connection lamp is in front.
    bool connectedLampShown() const;
    // The busy window, created (hidden) when it does not exist yet.
    frmSplash *splash();
    // The busy window if it exists, else null.
    frmSplash *splashIfLoaded() const;

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    void buildControls(const Design &design);
    void ConnectionToggle(bool clickedNotConnected);
    void ConnectSequence();
    void DisconnectSequence();
    void SelectComOption();
    void ResetEditFields();
    void SplashUnload();

    QPointer<frmSplash> m_splash;
    bool m_receiving = false; // ProcessReceived is running for a receive event
};

} // namespace app
