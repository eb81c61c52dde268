#pragma once
// frmM7_1: the main window. It owns every control and every piece of state
// of the program; the handlers of each subsystem are defined in that
// subsystem's folder (link/, table/, files/), this header shows the whole
// window at a glance.

#include "link/mscomm.h"
#include "link/replies.h"

#include <QPointer>
#include <QString>
#include <QStringList>
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
class ListMenu;
class TermBox;
class TextBox;
class frmSplash;

// Flags are kept as 16-bit integers: true is -1, false is 0.
constexpr qint16 vbTrue = -1;
constexpr qint16 vbFalse = 0;

// The unit operation that runs (opMode).
namespace OpMode {
constexpr qint16 Idle = 0;    // none
constexpr qint16 ReadAll = 1; // the whole table is being read
constexpr qint16 ReadOne = 2; // one position is being read
constexpr qint16 Write = 3;   // one entry is being written
constexpr qint16 Erase = 4;   // the whole table is being erased
} // namespace OpMode

// What the window knows of the unit (linkState).
namespace LinkState {
constexpr qint16 NoLink = 0;    // nothing heard, or silent for ten ticks
constexpr qint16 Ready = 1;     // the unit reported ready and nothing runs
constexpr qint16 ReadSent = 2;  // a read was given
constexpr qint16 WriteSent = 3; // a write was given
} // namespace LinkState

// The elements of the status lamp Image1.
namespace Lamp {
constexpr int Ready = 0;   // yellow: the unit reported ready
constexpr int Reading = 1; // green: a read runs
constexpr int Writing = 2; // red: a write runs
constexpr int Idle = 3;    // gray: no transfer, no link
} // namespace Lamp

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
    ListMenu *listMenu = nullptr;          // the entry list's context menu (listmenu.h)

    // --------------------------------------------------------------- state
    qint16 selIndex = 0;     // row the edit fields belong to, -1 for none
    QString selGsm;          // its GSM number as last taken or committed
    qint16 selObject = 0;    // its object number as last taken or committed
    qint16 replyTicks = 0;   // ticks since the last reply line, 0..10
    qint16 infoTicks = 0;    // ticks since an information line was shown, 0..10
    qint16 opMode = OpMode::Idle;         // the running unit operation
    qint16 linkState = LinkState::NoLink; // what the window knows of the unit
    qint16 keyHeld = vbFalse; // Alt held down in the entry list

    // Kept by the receive processing from one receive event to the next.
    comm::ReplyReader lineReader; // received text not yet cut into reply lines
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
    // A whole-table job of the list menu had the port and heard the unit
    // report ready on it: the window takes that as a status reply it
    // received (tablejob.cpp; the terminal box gets nothing).
    void statusReplyHeardByJob();
    void Command2_Click();
    void Command1_Click();
    void Command3_Click();
    void Timer1_Timer();

    // A whole-table job of the list menu and the port (link/jobport.cpp).
    // From releasePortForJob() until the job has given the port back and
    // the list has been read again, the window takes no clicks: its port is
    // the job's. The list is marked stale while it may not show what the
    // unit holds (a job changed the unit and it was not read back); the
    // window reads the table again as soon as the unit reports ready.
    enum class JobEnd {
        UnitReady,  // the job heard the unit report ready last
        UnitSilent, // the unit did not answer as it should: wait for it
        PortGone,   // the connection was lost: stay disconnected
    };
    // Disconnects as a click on the green lamp does and makes the window
    // inert; false (the window as before) when the port does not close.
    bool releasePortForJob();
    // Connects again as a click on the red lamp does, lets the unit's
    // greeting pass, and reads the table when the job may have changed the
    // unit (readTable) or the list is stale. The window takes clicks again
    // once the list is read back, or at once when no read runs.
    void reclaimPortAfterJob(bool readTable, JobEnd end = JobEnd::UnitReady);
    bool listStale() const { return m_listStale; }
    void setListStale(bool stale);
    bool jobOwnsWindow() const { return m_jobOwnsWindow; }
    // The edit fields hold a change that is not in the list.
    bool editPending() const;
    // The number of positions of the unit as a job read them; -1 unknown.
    int knownTableSize = -1;

    // Files (files/).
    bool WriteTMPfile();
    void cmdOFNsave_Click();

    // --------------------------------------------------- window operations
    // Brings status lamp element k (a Lamp value) to the front.
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
    void fitCaptionsAndTabOrder();
    void wireEvents();

    void ConnectionToggle(bool clickedNotConnected);
    // The connect (true) or disconnect (false) sequence.
    void ConnectedSequence(bool connected);
    void SelectComOption();
    void ResetEditFields();

    // Steps of ProcessReceived, and one handler per kind of reply line.
    void appendToTerminal(TermBox &term, const QString &text);
    void actOnReplyLines();
    void onEntryReport(const QString &line);
    void onStatusReply(const QString &line);
    void onInfoLine(Label *label, const QString &line);
    void onEraseStart();
    void onEraseEnd();

    void SplashUnload();

    // The list read again after a job (jobport.cpp).
    void setInert(bool inert);
    void waitForGreeting();
    void readTableAgain();
    void scheduleReadAgain();
    void afterStatusReply(bool endedReadAll);
    void endReadAgain(bool complete);
    bool listComplete() const;
    bool m_jobOwnsWindow = false;
    bool m_listStale = false;
    bool m_readingAgain = false;
    int m_readAgainTries = 0;
    QStringList m_rowsBefore;
    QTimer *m_readAgainTimer = nullptr;

    QPointer<frmSplash> m_splash;
    bool m_receiving = false; // ProcessReceived is running for a receive event
};

} // namespace app
