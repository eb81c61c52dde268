#include "app/frmM7_1.h"

#include "app/artwork.h"
#include "app/controls.h"
#include "app/frmSplash.h"
#include "app/msgbox.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

#include <cstdlib>

namespace app {

namespace {
// Places are given in twips; fifteen twips make one pixel.
void place(QWidget *w, int left, int top, int width, int height)
{
    w->setGeometry(left / 15, top / 15, width / 15, height / 15);
}
} // namespace

frmM7_1::frmM7_1(comm::PortMapper mapper, const Design &design)
    : QWidget(nullptr)
{
    MSComm1 = new comm::MSComm(std::move(mapper), this);
    MSComm1->setCommPort(design.commPort);
    buildControls(design);

    EndApplication = [this] {
        MSComm1->release();
        std::_Exit(0);
    };

    Form_Load();
}

frmM7_1::~frmM7_1()
{
    Form_Unload();
    delete m_splash.data();
}

void frmM7_1::buildControls(const Design &design)
{
    setObjectName(QStringLiteral("frmM7_1"));
    setWindowTitle(QStringLiteral("Programmer for GSM-M7/1 - ver.1.0"));
    setWindowIcon(app::windowIcon());
    // The layout is fixed: the client area is 6540 x 5145 twips.
    setFixedSize(6540 / 15, 5145 / 15);
    setFont(dialogFont());

    // Controls in the order of the window's design: later ones lie on top.
    Command1 = new QPushButton(QStringLiteral("DELETE ALL GSM and OBJECTS"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    place(Command1, 120, 4800, 2895, 255);
    Command1->setVisible(false);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);

    cmdOFNsave = new QPushButton(QStringLiteral("Save Objects-File"), this);
    cmdOFNsave->setObjectName(QStringLiteral("cmdOFNsave"));
    place(cmdOFNsave, 4320, 120, 2175, 375);

    List1 = new ListBox(this);
    List1->setObjectName(QStringLiteral("List1"));
    place(List1, 3120, 840, 3375, 4260);
    List1->setFont(fixedFont());

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    place(Frame1, 0, 0, 4215, 540);

    const int optionLeft[5] = {0, 480, 1320, 2160, 3000};
    for (int i = 1; i <= 4; ++i) {
        Option1[i] = new QRadioButton(QStringLiteral("COM %1").arg(i), Frame1);
        Option1[i]->setObjectName(QStringLiteral("Option1_%1").arg(i));
        place(Option1[i], optionLeft[i], 210, 735, 225);
    }
    Option1[1]->setChecked(true);

    const QColor lampColour[4] = {lampYellow(), lampGreen(), lampRed(), lampGray()};
    for (int k = 0; k < 4; ++k) {
        Image1[k] = new ImageBox(Frame1);
        Image1[k]->setObjectName(QStringLiteral("Image1_%1").arg(k));
        place(Image1[k], 3840, 210, 240, 240);
        Image1[k]->setPixmap(lampPixmap(lampColour[k]));
    }

    imgConnected = new ImageBox(Frame1);
    imgConnected->setObjectName(QStringLiteral("imgConnected"));
    place(imgConnected, 105, 210, 240, 240);
    imgConnected->setPixmap(lampPixmap(lampGreen()));
    imgConnected->setToolTip(QStringLiteral("Toggles Port"));

    imgNotConnected = new ImageBox(Frame1);
    imgNotConnected->setObjectName(QStringLiteral("imgNotConnected"));
    place(imgNotConnected, 105, 210, 225, 225);
    imgNotConnected->setPixmap(lampPixmap(lampRed()));
    imgNotConnected->setScaledContents(true);
    imgNotConnected->setToolTip(QStringLiteral("Toggles Port"));

    Frame2 = new QGroupBox(this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    place(Frame2, 0, 840, 3105, 975);

    cmdUpadateList = new QPushButton(QStringLiteral("Update List Objects"), Frame2);
    cmdUpadateList->setObjectName(QStringLiteral("cmdUpadateList"));
    place(cmdUpadateList, 120, 720, 2895, 375);
    cmdUpadateList->setEnabled(false);
    cmdUpadateList->setVisible(false);

    Text3 = new TextBox(Frame2);
    Text3->setObjectName(QStringLiteral("Text3"));
    place(Text3, 2280, 480, 675, 285);
    Text3->setText(QStringLiteral("Text3"));
    Text3->setTypingMaxLength(4);
    Text3->setFont(fixedFont());
    Text3->setToolTip(QStringLiteral("1...7999"));

    Text1 = new TextBox(Frame2);
    Text1->setObjectName(QStringLiteral("Text1"));
    place(Text1, 120, 480, 675, 285);
    Text1->setText(QStringLiteral("Text1"));
    Text1->setEnabled(false);
    Text1->setTypingMaxLength(4);
    Text1->setFont(fixedFont());

    Text2 = new TextBox(Frame2);
    Text2->setObjectName(QStringLiteral("Text2"));
    place(Text2, 1080, 480, 1155, 285);
    Text2->setText(QStringLiteral("Text2"));
    Text2->setTypingMaxLength(9);
    Text2->setFont(fixedFont());
    Text2->setToolTip(QStringLiteral("888123456"));

    // "Position", nine blanks, "GSM", nineteen blanks, "Object".
    Label1 = new Label(QStringLiteral("Position         GSM                   Object"), Frame2);
    Label1->setObjectName(QStringLiteral("Label1"));
    place(Label1, 120, 240, 2895, 255);

    Frame3 = new QGroupBox(this);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    place(Frame3, 0, 2160, 3135, 975);

    Check1 = new QCheckBox(QStringLiteral("Read All"), Frame3);
    Check1->setObjectName(QStringLiteral("Check1"));
    place(Check1, 120, 240, 1050, 210);

    Command2 = new QPushButton(QStringLiteral("Read"), Frame3);
    Command2->setObjectName(QStringLiteral("Command2"));
    place(Command2, 120, 480, 1335, 375);

    Command3 = new QPushButton(QStringLiteral("Write"), Frame3);
    Command3->setObjectName(QStringLiteral("Command3"));
    place(Command3, 1680, 480, 1335, 375);

    txtTerm = new TermBox(this);
    txtTerm->setObjectName(QStringLiteral("txtTerm"));
    place(txtTerm, 840, 3000, 2985, 3510);
    txtTerm->setText(design.termText);
    txtTerm->setVisible(false);

    Label4 = new Label(QStringLiteral("Info"), this);
    Label4->setObjectName(QStringLiteral("Label4"));
    place(Label4, 120, 3720, 270, 195);

    Label3 = new Label(QStringLiteral("Info"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    place(Label3, 120, 3360, 270, 195);

    Label2 = new Label(QStringLiteral("Label2"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    place(Label2, 120, 600, 480, 255);

    Label5 = new Label(QStringLiteral("Label5"), this);
    Label5->setObjectName(QStringLiteral("Label5"));
    place(Label5, 3240, 600, 480, 195);

    // Labels widen with their text, up to the entry list or the window's edge.
    Label2->setGrowth(List1->x() - Label2->x());
    Label3->setGrowth(List1->x() - Label3->x());
    Label4->setGrowth(List1->x() - Label4->x());
    Label5->setGrowth(width() - Label5->x() - 3);

    // Captions that the font of this computer makes too wide for their place
    // widen into the free room beside them, or else take a smaller font.
    for (int i = 1; i <= 4; ++i)
        fitCaption(Option1[i], (i < 4 ? Option1[i + 1]->x() : Image1[0]->x()) - Option1[i]->x() - 1);
    fitCaption(Label1, Frame2->width() - Label1->x() - 2);
    fitCaption(Check1, Check1->width());
    for (QPushButton *b : {Command1, Command2, Command3, cmdOFNsave})
        fitCaption(b, b->width());

    // Only the focusable controls take part in the tab order.
    for (QWidget *w : std::initializer_list<QWidget *>{Label1, Label2, Label3, Label4, Label5, txtTerm, Frame1, Frame2, Frame3})
        w->setFocusPolicy(Qt::NoFocus);
    for (ImageBox *lamp : Image1)
        lamp->setFocusPolicy(Qt::NoFocus);
    QWidget *tabOrder[] = {Option1[1], Option1[2], Option1[3], Option1[4], Text2, List1, Text3,
                           cmdOFNsave, Command3, Command2, Check1, Command1};
    for (size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    // Events to handlers. Design-time texts are in place before these.
    for (int i = 1; i <= 4; ++i)
        connect(Option1[i], &QRadioButton::clicked, this, [this, i] { Option1_Click(i); });
    connect(imgNotConnected, &ImageBox::clicked, this, &frmM7_1::imgNotConnected_Click);
    connect(imgConnected, &ImageBox::clicked, this, &frmM7_1::imgConnected_Click);
    connect(MSComm1, &comm::MSComm::OnComm, this, &frmM7_1::MSComm1_OnComm);
    connect(MSComm1, &comm::MSComm::Lost, this, &frmM7_1::MSComm1_Lost);
    connect(List1, &ListBox::rowClicked, this, &frmM7_1::List1_Click);
    connect(List1, &ListBox::dblClicked, this, &frmM7_1::List1_DblClick);
    connect(List1, &ListBox::keyDown, this, &frmM7_1::List1_KeyDown);
    connect(List1, &ListBox::keyUp, this, &frmM7_1::List1_KeyUp);
    connect(Text2, &TextBox::textChanged, this, &frmM7_1::Text2_Change);
    connect(Text2, &TextBox::keyPressed, this, &frmM7_1::Text2_KeyPress);
    connect(Text3, &TextBox::textChanged, this, &frmM7_1::Text3_Change);
    connect(Text3, &TextBox::keyPressed, this, &frmM7_1::Text3_KeyPress);
    connect(Text3, &TextBox::validating, this, &frmM7_1::Text3_Validate);
    connect(cmdUpadateList, &QPushButton::clicked, this, &frmM7_1::cmdUpadateList_Click);
    connect(Command1, &QPushButton::clicked, this, &frmM7_1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmM7_1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmM7_1::Command3_Click);
    connect(cmdOFNsave, &QPushButton::clicked, this, &frmM7_1::cmdOFNsave_Click);
    connect(Timer1, &QTimer::timeout, this, &frmM7_1::Timer1_Timer);
}

// The load sequence. Each step stands on its own: one that cannot be done
// is passed over and the next one runs.
void frmM7_1::Form_Load()
{
    // 1. Clear the terminal box.
    txtTerm->setSelStart(0);
    txtTerm->setSelLength(int(txtTerm->Text().size()));
    txtTerm->setSelText(QString());
    // 2. Its text is blue.
    txtTerm->setForeColor(QColor(0, 0, 255));
    // 3. The red connection lamp in front: the port is closed.
    imgNotConnected->raise();
    // 4. The gray status lamp: nothing heard from the unit.
    showStatusLamp(3);
    // 5. Centre the window on the screen.
    if (QScreen *s = screen()) {
        const QRect scr = s->geometry();
        const QSize outer = frameGeometry().size();
        move(scr.x() + (scr.width() - outer.width()) / 2, scr.y() + (scr.height() - outer.height()) / 2);
    }
    // 6. The COM option of the serial control's port number.
    SelectComOption();
    // 7.
    Label5->setText(QStringLiteral("Object"));
    // 8. The edit and transfer groups stay grayed until the port is open.
    Frame2->setEnabled(false);
    Frame3->setEnabled(false);
    // 9. Preset the edit fields; their change rules run (selIndex is still 0).
    Text1->setText(QStringLiteral("0"));
    Text2->setText(QString());
    Text3->setText(QStringLiteral("0"));
    // 10.
    selIndex = -1;
    // 11. The supervision tick.
    Timer1->start();
    // 12. Each run starts without a working file.
    QFile::remove(QStringLiteral("temp.tfo"));
    // 13.
    Label2->setText(QStringLiteral("State"));
    // 14.
    linkState = 0;
    opMode = 0;
    keyHeld = vbFalse;
}

bool frmM7_1::Form_QueryUnload()
{
    const int answer = MsgBox(QStringLiteral("Do you really want to exit the application?"),
                              vbYesNo + vbQuestion, windowTitle());
    return answer != vbYes;
}

void frmM7_1::closeEvent(QCloseEvent *e)
{
    if (Form_QueryUnload()) {
        e->ignore();
        return;
    }
    e->accept();
    // Yes ends the program at once: no other handler runs after this.
    if (EndApplication)
        EndApplication();
}

void frmM7_1::Form_Unload()
{
    if (MSComm1->PortOpen())
        MSComm1->setPortOpen(false);
}

void frmM7_1::showStatusLamp(int k)
{
    if (k < 0 || k > 3)
        return;
    if (statusLampShown() != k)
        Image1[k]->raise();
}

int frmM7_1::statusLampShown() const
{
    // Siblings are stacked in the order of the parent's child list.
    const QObjectList &kids = Frame1->children();
    for (qsizetype i = kids.size() - 1; i >= 0; --i)
        for (int k = 0; k < 4; ++k)
            if (kids[i] == Image1[k])
                return k;
    return -1;
}

bool frmM7_1::connectedLampShown() const
{
    const QObjectList &kids = Frame1->children();
    return kids.indexOf(imgConnected) > kids.indexOf(imgNotConnected);
}

frmSplash *frmM7_1::splash()
{
    if (!m_splash)
        m_splash = new frmSplash([this] { SplashUnload(); });
    return m_splash.data();
}

frmSplash *frmM7_1::splashIfLoaded() const
{
    return m_splash.data();
}

// The busy window's unload step.
void frmM7_1::SplashUnload()
{
    Label5->setText(QStringLiteral("Object"));
    setEnabled(true);
}

} // namespace app
