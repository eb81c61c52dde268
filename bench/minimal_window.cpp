// The floor for start-up time and memory: a Qt program that only shows an
// empty widget of the main window's size (436 x 343).

#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget w;
    w.setFixedSize(436, 343);
    w.show();
    return app.exec();
}
