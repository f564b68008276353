// The reference of the start-up benchmark: a bare Qt window of the wizard's
// size, shown as soon as the application object exists.
#include <QApplication>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget w;
    w.setFixedSize(780, 473);
    w.show();
    return app.exec();
}
