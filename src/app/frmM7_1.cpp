#include "app/frmM7_1.h"

#include "app/artwork.h"
#include "app/controls.h"
#include "app/frmSplash.h"
#include "app/listmenu.h"
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
// Names a new control and puts it at its place inside its container. Places
// are given in twips; fifteen twips make one pixel.
template <class W>
W *placed(W *w, const char *name, int left, int top, int width, int height)
{
    w->setObjectName(QLatin1String(name));
    w->setGeometry(left / 15, top / 15, width / 15, height / 15);
    return w;
}

// An edit field in the fixed-pitch font with its design-time text.
TextBox *editField(TextBox *t, const char *text, int typingMaxLength, const char *toolTip)
{
    t->setText(QLatin1String(text));
    t->setTypingMaxLength(typingMaxLength);
    t->setFont(fixedFont());
    if (toolTip)
        t->setToolTip(QLatin1String(toolTip));
    return t;
}

ImageBox *lamp(ImageBox *image, const QColor &colour)
{
    image->setPixmap(lampPixmap(colour));
    return image;
}
} // namespace

frmM7_1::frmM7_1(comm::PortMapper mapper, const Design &design)
    : QWidget(nullptr)
{
    MSComm1 = new comm::MSComm(std::move(mapper), this);
    MSComm1->setCommPort(design.commPort);
    buildControls(design);
    fitCaptionsAndTabOrder();
    wireEvents();
    listMenu = new ListMenu(this);

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
    // The list's menu follows the list's rows: it goes before the list,
    // whose rows go when the window's children are deleted.
    delete listMenu;
    listMenu = nullptr;
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
    Command1 = placed(new QPushButton(QStringLiteral("DELETE ALL GSM and OBJECTS"), this), "Command1", 120, 4800, 2895, 255);
    Command1->setVisible(false);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    cmdOFNsave = placed(new QPushButton(QStringLiteral("Save Objects-File"), this), "cmdOFNsave", 4320, 120, 2175, 375);
    List1 = placed(new ListBox(this), "List1", 3120, 840, 3375, 4260);
    List1->setFont(fixedFont());

    Frame1 = placed(new QGroupBox(this), "Frame1", 0, 0, 4215, 540);
    const int optionLeft[5] = {0, 480, 1320, 2160, 3000};
    for (int i = 1; i <= 4; ++i) {
        Option1[i] = placed(new QRadioButton(QStringLiteral("COM %1").arg(i), Frame1), "", optionLeft[i], 210, 735, 225);
        Option1[i]->setObjectName(QStringLiteral("Option1_%1").arg(i));
    }
    Option1[1]->setChecked(true);
    const QColor lampColour[4] = {lampYellow(), lampGreen(), lampRed(), lampGray()};
    for (int k = 0; k < 4; ++k) {
        Image1[k] = lamp(placed(new ImageBox(Frame1), "", 3840, 210, 240, 240), lampColour[k]);
        Image1[k]->setObjectName(QStringLiteral("Image1_%1").arg(k));
    }
    imgConnected = lamp(placed(new ImageBox(Frame1), "imgConnected", 105, 210, 240, 240), lampGreen());
    imgNotConnected = lamp(placed(new ImageBox(Frame1), "imgNotConnected", 105, 210, 225, 225), lampRed());
    imgNotConnected->setScaledContents(true);
    for (ImageBox *l : {imgConnected, imgNotConnected})
        l->setToolTip(QStringLiteral("Toggles Port"));

    Frame2 = placed(new QGroupBox(this), "Frame2", 0, 840, 3105, 975);
    cmdUpadateList = placed(new QPushButton(QStringLiteral("Update List Objects"), Frame2), "cmdUpadateList", 120, 720, 2895, 375);
    cmdUpadateList->setEnabled(false);
    cmdUpadateList->setVisible(false);
    Text3 = editField(placed(new TextBox(Frame2), "Text3", 2280, 480, 675, 285), "Text3", 4, "1...7999");
    Text1 = editField(placed(new TextBox(Frame2), "Text1", 120, 480, 675, 285), "Text1", 4, nullptr);
    Text1->setEnabled(false);
    Text2 = editField(placed(new TextBox(Frame2), "Text2", 1080, 480, 1155, 285), "Text2", 9, "888123456");
    // "Position", nine blanks, "GSM", nineteen blanks, "Object".
    Label1 = placed(new Label(QStringLiteral("Position         GSM                   Object"), Frame2), "Label1", 120, 240, 2895, 255);

    Frame3 = placed(new QGroupBox(this), "Frame3", 0, 2160, 3135, 975);
    Check1 = placed(new QCheckBox(QStringLiteral("Read All"), Frame3), "Check1", 120, 240, 1050, 210);
    Command2 = placed(new QPushButton(QStringLiteral("Read"), Frame3), "Command2", 120, 480, 1335, 375);
    Command3 = placed(new QPushButton(QStringLiteral("Write"), Frame3), "Command3", 1680, 480, 1335, 375);

    txtTerm = placed(new TermBox(this), "txtTerm", 840, 3000, 2985, 3510);
    txtTerm->setText(design.termText);
    txtTerm->setVisible(false);
    Label4 = placed(new Label(QStringLiteral("Info"), this), "Label4", 120, 3720, 270, 195);
    Label3 = placed(new Label(QStringLiteral("Info"), this), "Label3", 120, 3360, 270, 195);
    Label2 = placed(new Label(QStringLiteral("Label2"), this), "Label2", 120, 600, 480, 255);
    Label5 = placed(new Label(QStringLiteral("Label5"), this), "Label5", 3240, 600, 480, 195);
}

// Room for the captions as the fonts of this computer draw them, and the
// order in which the tab key walks the controls.
void frmM7_1::fitCaptionsAndTabOrder()
{
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
    for (ImageBox *l : Image1)
        l->setFocusPolicy(Qt::NoFocus);
    QWidget *tabOrder[] = {Option1[1], Option1[2], Option1[3], Option1[4], Text2, List1, Text3,
                           cmdOFNsave, Command3, Command2, Check1, Command1};
    for (size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

// Events to handlers; the design-time texts are in place before these.
void frmM7_1::wireEvents()
{
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
    // Clear the terminal box.
    txtTerm->setSelStart(0);
    txtTerm->setSelLength(int(txtTerm->Text().size()));
    txtTerm->setSelText(QString());
    // Its text is blue.
    txtTerm->setForeColor(QColor(0, 0, 255));
    // The red connection lamp in front: the port is closed.
    imgNotConnected->raise();
    // The gray status lamp: nothing heard from the unit.
    showStatusLamp(Lamp::Idle);
    // Centre the window on the screen.
    if (QScreen *s = screen()) {
        const QRect scr = s->geometry();
        const QSize outer = frameGeometry().size();
        move(scr.x() + (scr.width() - outer.width()) / 2, scr.y() + (scr.height() - outer.height()) / 2);
    }
    // The COM option of the serial control's port number.
    SelectComOption();
    Label5->setText(QStringLiteral("Object"));
    // The edit and transfer groups stay grayed until the port is open.
    Frame2->setEnabled(false);
    Frame3->setEnabled(false);
    // Preset the edit fields; their change rules run (selIndex is still 0).
    Text1->setText(QStringLiteral("0"));
    Text2->setText(QString());
    Text3->setText(QStringLiteral("0"));
    selIndex = -1;
    // The supervision tick.
    Timer1->start();
    // Each run starts without a working file.
    QFile::remove(QStringLiteral("temp.tfo"));
    Label2->setText(QStringLiteral("State"));
    linkState = LinkState::NoLink;
    opMode = OpMode::Idle;
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
    if (!m_splash) {
        m_splash = new frmSplash();
        connect(m_splash, &frmSplash::unloaded, this, &frmM7_1::SplashUnload);
    }
    return m_splash.data();
}

frmSplash *frmM7_1::splashIfLoaded() const
{
    return m_splash.data();
}

// The busy window's unload step.
void frmM7_1::SplashUnload()
{
    // The closed window is deleted on the next turn of the event loop; an
    // erase that starts before then gets a fresh one.
    m_splash = nullptr;
    Label5->setText(QStringLiteral("Object"));
    setEnabled(true);
}

} // namespace app
