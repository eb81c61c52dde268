// m7icons: writes the program's icon, app::unitIconPixmap(SIZE), as a PNG
// file for the hicolor icon theme, or all the sizes Windows uses as one
// icon file (the program's and the installer's). Run at build time, headless:
//   QT_QPA_PLATFORM=offscreen m7icons SIZE FILE.png
//   QT_QPA_PLATFORM=minimal m7icons ico FILE.ico

#include "app/artwork.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QSaveFile>

#include <cstdio>

namespace {
// An icon file (.ico) whose pictures are PNG files, as Windows reads them
// since Vista: a header, one directory entry per picture, the pictures.
bool writeIco(const QString &file)
{
    const int sizes[] = {16, 24, 32, 48, 64, 256};
    QList<QByteArray> pngs;
    for (int size : sizes) {
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        if (!app::unitIconPixmap(size).toImage().save(&png, "PNG"))
            return false;
        pngs << png.data();
    }
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    QDataStream ico(&out);
    ico.setByteOrder(QDataStream::LittleEndian);
    ico << quint16(0) << quint16(1) << quint16(pngs.size()); // reserved, type icon, count
    quint32 offset = 6 + 16 * quint32(pngs.size());
    for (int i = 0; i < pngs.size(); ++i) {
        const quint8 side = sizes[i] >= 256 ? 0 : quint8(sizes[i]); // 0 stands for 256
        ico << side << side << quint8(0) << quint8(0)          // width, height, no palette, reserved
            << quint16(1) << quint16(32)                       // colour planes, bits per pixel
            << quint32(pngs[i].size()) << offset;
        offset += quint32(pngs[i].size());
    }
    for (const QByteArray &png : pngs)
        out.write(png);
    return out.commit();
}
} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String("ico")) {
        if (!QDir().mkpath(QFileInfo(args.at(2)).absolutePath()) || !writeIco(args.at(2))) {
            std::fprintf(stderr, "m7icons: cannot write %s\n", qPrintable(args.at(2)));
            return 1;
        }
        return 0;
    }
    bool ok = false;
    const int size = args.size() == 3 ? args.at(1).toInt(&ok) : 0;
    if (!ok || size < 1 || size > 1024) {
        std::fprintf(stderr, "usage: m7icons SIZE FILE.png | m7icons ico FILE.ico\n");
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
