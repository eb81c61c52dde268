// m7icons: writes the program's icon, app::unitIconPixmap(SIZE), as a PNG
// file for the hicolor icon theme. Run at build time, headless:
//   QT_QPA_PLATFORM=offscreen m7icons SIZE FILE.png

#include "app/artwork.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    bool ok = false;
    const int size = args.size() == 3 ? args.at(1).toInt(&ok) : 0;
    if (!ok || size < 1 || size > 1024) {
        std::fprintf(stderr, "usage: m7icons SIZE FILE.png\n");
        return 2;
    }
    const QString file = args.at(2);
    const QImage image = app::unitIconPixmap(size).toImage();
    if (image.width() != size || image.height() != size) {
        std::fprintf(stderr, "m7icons: got a %d x %d picture, wanted %d x %d\n",
                     image.width(), image.height(), size, size);
        return 1;
    }
    if (!QDir().mkpath(QFileInfo(file).absolutePath()) || !image.save(file, "PNG")) {
        std::fprintf(stderr, "m7icons: cannot write %s\n", qPrintable(file));
        return 1;
    }
    return 0;
}
