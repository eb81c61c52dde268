// m7shot: saves a PNG of the main window, or of one of its dialogs.
//   m7shot OUT.png            the window as it looks right after start
//   m7shot --sample OUT.png   connected (to a pseudo-terminal standing in for
//                             the unit), with a table read and a row selected
//   m7shot --plan OUT.png     the plan dialog of "Program unit from file" with
//                             a sample unit and file
//   m7shot --busy OUT.png     the busy window of an erase
//   m7shot --problems OUT.png the list of a table file's problems
//   m7shot --icon SIZE OUT.png  the window icon at SIZE pixels (no font in it)
//   m7shot [--sample|--plan|--busy|--problems|--icon SIZE] --compare REF.png
//                             fails when the picture no longer looks like REF
//                             (the pictures in docs/ are kept current so)
// Runs headless with QT_QPA_PLATFORM=offscreen; QT_SCALE_FACTOR=2 gives a
// picture at twice the size. It works in a scratch directory so that a
// working file of the current directory is left alone.

#include "app/artwork.h"
#include "app/controls.h"
#include "app/frmM7_1.h"
#include "app/frmSplash.h"
#include "app/plandialog.h"
#include "m7pty.h"
#include "table/plan.h"

#include <QApplication>
#include <QCheckBox>
#include <QTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace {

// Entry i (0..11) of the sample table.
table::Entry sampleEntry(int i)
{
    static const char *const gsm[] = {"888123456", "888765432", "*********", "878001122", "895550101", "*********",
                                      "887770000", "889123000", "*********", "884444321", "886060606", "883003003"};
    if (gsm[i][0] == '*')
        return table::Entry{};
    return table::Entry{QLatin1String(gsm[i]), qint16((i * 37 + 12) % 7999)};
}

// Feeds a short table through a pseudo-terminal, as the unit would send it.
bool fillWithSample(app::frmM7_1 &w, int master)
{
    if (!w.MSComm1->PortOpen())
        return false;
    QByteArray bytes = "(S)\r\n(GSM-M7/1 fw 2.14 sn 004512)\r\n(CSQ 23 BER 00)\r\n(K)\r\n";
    if (::write(master, bytes.constData(), size_t(bytes.size())) != bytes.size())
        return false;
    QElapsedTimer t;
    t.start();
    while (w.linkState != app::LinkState::Ready && t.elapsed() < 3000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    w.Check1->setChecked(true);
    w.Command2_Click();
    char sink[16];
    (void)!::read(master, sink, sizeof sink); // the read command
    bytes.clear();
    for (int i = 0; i < 12; ++i) {
        const table::Entry e = sampleEntry(i);
        bytes += QStringLiteral("(%1%2 )\r\n").arg(e.object, 4, 10, QLatin1Char('0')).arg(e.gsm).toLatin1();
    }
    bytes += "(K)\r\n";
    if (::write(master, bytes.constData(), size_t(bytes.size())) != bytes.size())
        return false;
    t.restart();
    while ((w.List1->count() < 12 || w.opMode != app::OpMode::Idle) && t.elapsed() < 3000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    w.List1->setCurrentRow(3);
    w.selIndex = 3; // the fields are filled without asking the unit again
    w.List1_Click();
    w.Timer1->stop();
    w.List1->setFocus(); // no blinking caret in the picture
    return w.List1->count() == 12;
}

// The plan of programming a unit of twelve entries from a spreadsheet that
// adds a resident, moves one, gives one a new number and empties a slot.
app::PlanView samplePlan()
{
    table::Table unit;
    for (int i = 0; i < 12; ++i)
        unit << sampleEntry(i);
    const QList<table::FileEntry> file = {
        {3, table::Entry{QStringLiteral("887001234"), 501}, 4},
        {6, unit[4], 7},
        {5, table::Entry{}, 6},
        {10, table::Entry{QStringLiteral("884444000"), unit[9].object}, 11},
        {12, table::Entry{}, 13},
    };
    return app::programPlanView(QStringLiteral("Program unit from file"),
                                QStringLiteral("residents.csv against the unit on COM 1 (/dev/ttyUSB0)"),
                                unit::writePlanOf(unit, file, false), file);
}

// The problems of a spreadsheet with 230 bad lines: the count, then the
// first of them in the list.
std::unique_ptr<app::ProblemsDialog> sampleProblems(QWidget *parent)
{
    QStringList lines;
    for (int line = 2; line <= 231; ++line)
        lines << (line % 3 == 0 ? QStringLiteral("residents.csv:%1: object number 8%2 is outside 1..7999")
                                      .arg(line).arg(line, 3, 10, QLatin1Char('0'))
                                : QStringLiteral("residents.csv:%1: GSM number \"88812%2\" is not nine digits")
                                      .arg(line).arg(line, 3, 10, QLatin1Char('0')));
    return std::make_unique<app::ProblemsDialog>(QStringLiteral("230 problem(s) in residents.csv; nothing was written"),
                                                 lines, parent);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("m7prog"));
    const QStringList args = QApplication::arguments().mid(1);
    const bool sample = args.contains(QStringLiteral("--sample"));
    const bool plan = args.contains(QStringLiteral("--plan"));
    const bool busy = args.contains(QStringLiteral("--busy"));
    const bool problems = args.contains(QStringLiteral("--problems"));
    const bool compare = args.contains(QStringLiteral("--compare"));
    QStringList files = args;
    for (const char *option : {"--sample", "--plan", "--busy", "--problems", "--compare"})
        files.removeAll(QLatin1String(option));
    int iconSize = 0;
    if (const qsizetype i = files.indexOf(QStringLiteral("--icon")); i >= 0 && i + 1 < files.size()) {
        iconSize = files[i + 1].toInt();
        files.remove(i, 2);
    }
    if (files.size() != 1 || int(sample) + int(plan) + int(busy) + int(problems) + int(iconSize > 0) > 1
        || files.first().startsWith(QLatin1Char('-'))) {
        std::fprintf(stderr, "usage: m7shot [--sample|--plan|--busy|--problems|--icon SIZE] [--compare] PNG\n");
        return 2;
    }
    const QString out = QFileInfo(files.first()).absoluteFilePath();
    QTemporaryDir scratch;
    QDir::setCurrent(scratch.path());

    QString device;
    int master = -1;
    if (sample) {
        QString error;
        master = m7pty::openMaster(device, error);
        if (master < 0) {
            std::fprintf(stderr, "m7shot: %s\n", qPrintable(error));
            return 1;
        }
    }

    app::frmM7_1 window([&](int n) { return n == 1 ? device : QString(); });
    std::unique_ptr<app::PlanDialog> planDialog;
    std::unique_ptr<app::ProblemsDialog> problemsDialog;
    QPointer<app::frmSplash> busyWindow;
    if (plan) {
        planDialog = std::make_unique<app::PlanDialog>(samplePlan());
        planDialog->show();
    } else if (problems) {
        problemsDialog = sampleProblems(nullptr);
        problemsDialog->show();
    } else if (busy) {
        busyWindow = new app::frmSplash; // deletes itself on close
        busyWindow->Label1->setText(QStringLiteral(" DELETE POSITION : (1234)"));
        busyWindow->show();
    } else if (iconSize == 0) {
        window.show();
    }
    if (sample) {
        window.imgNotConnected_Click();
        if (!fillWithSample(window, master)) {
            std::fprintf(stderr, "m7shot: the sample table did not arrive\n");
            return 1;
        }
    }
    QApplication::processEvents();
    const QPixmap shot = plan ? planDialog->grab()
                         : problems ? problemsDialog->grab()
                         : busy ? busyWindow->grab()
                         : iconSize > 0 ? app::windowIcon().pixmap(iconSize)
                                        : window.grab();
    if (compare) {
        const QImage want(out);
        const QImage got = shot.toImage().convertToFormat(want.format());
        std::fflush(stdout);
        window.MSComm1->release();
        if (want.isNull() || got != want) {
            std::fprintf(stderr, "m7shot: the picture no longer looks like %s; run scripts/screenshots\n",
                         qPrintable(out));
            std::_Exit(1);
        }
        std::_Exit(0);
    }
    if (!shot.save(out, "PNG")) {
        std::fprintf(stderr, "m7shot: cannot write %s\n", qPrintable(out));
        return 1;
    }
    std::printf("%s %dx%d\n", qPrintable(out), shot.width(), shot.height());
    std::fflush(stdout);
    window.MSComm1->release();
    std::_Exit(0); // no close question
}
