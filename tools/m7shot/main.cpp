// m7shot: saves a PNG of the main window.
//   m7shot OUT.png            the window as it looks right after start
//   m7shot --sample OUT.png   connected (to a pseudo-terminal standing in for
//                             the unit), with a table read and a row selected
//   m7shot [--sample] --compare REF.png
//                             fails when the window no longer looks like REF
//                             (the pictures in docs/ are kept current so)
// Runs headless with QT_QPA_PLATFORM=offscreen; QT_SCALE_FACTOR=2 gives a
// picture at twice the size. It works in a scratch directory so that a
// working file of the current directory is left alone.

#include "app/controls.h"
#include "app/frmM7_1.h"
#include "m7pty.h"

#include <QApplication>
#include <QCheckBox>
#include <QTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

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
    const char *gsm[] = {"888123456", "888765432", "*********", "878001122", "895550101", "*********",
                         "887770000", "889123000", "*********", "884444321", "886060606", "883003003"};
    for (int i = 0; i < 12; ++i) {
        const int object = gsm[i][0] == '*' ? 0 : (i * 37 + 12) % 7999;
        bytes += QStringLiteral("(%1%2 )\r\n").arg(object, 4, 10, QLatin1Char('0')).arg(QLatin1String(gsm[i])).toLatin1();
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

} // namespace

int main(int argc, char *argv[])
{
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("m7prog"));
    const QStringList args = QApplication::arguments().mid(1);
    const bool sample = args.contains(QStringLiteral("--sample"));
    const bool compare = args.contains(QStringLiteral("--compare"));
    QStringList files = args;
    files.removeAll(QStringLiteral("--sample"));
    files.removeAll(QStringLiteral("--compare"));
    if (files.size() != 1) {
        std::fprintf(stderr, "usage: m7shot [--sample] [--compare] PNG\n");
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
    window.show();
    if (sample) {
        window.imgNotConnected_Click();
        if (!fillWithSample(window, master)) {
            std::fprintf(stderr, "m7shot: the sample table did not arrive\n");
            return 1;
        }
    }
    QApplication::processEvents();
    const QPixmap shot = window.grab();
    if (compare) {
        const QImage want(out);
        const QImage got = shot.toImage().convertToFormat(want.format());
        std::fflush(stdout);
        window.MSComm1->release();
        if (want.isNull() || got != want) {
            std::fprintf(stderr, "m7shot: the window no longer looks like %s; run scripts/screenshots\n",
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
