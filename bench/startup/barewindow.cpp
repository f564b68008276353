// The reference for the start-up benchmark: an empty Qt window of the
// wizard's size, nothing else.
#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget w;
    w.resize(640, 480);
    w.show();
    return app.exec();
}
