// m7shot: saves a PNG of the main window as it looks right after start.
//   m7shot OUT.png
// Runs headless with QT_QPA_PLATFORM=offscreen; QT_SCALE_FACTOR=2 gives a
// picture at twice the size. It starts in a scratch directory so that a
// working file of the current directory is left alone.

#include "app/frmM7_1.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("m7prog"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: m7shot OUT.png\n");
        return 2;
    }
    const QString out = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    QTemporaryDir scratch;
    QDir::setCurrent(scratch.path());

    app::frmM7_1 window([](int) { return QString(); });
    window.show();
    QApplication::processEvents();
    const QPixmap shot = window.grab();
    if (!shot.save(out, "PNG")) {
        std::fprintf(stderr, "m7shot: cannot write %s\n", qPrintable(out));
        return 1;
    }
    std::printf("%s %dx%d\n", qPrintable(out), shot.width(), shot.height());
    return 0;
}
