// The installer's main block.
#include "AppCore.h"
#include "uInstDemo.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char *argv[])
{
    QApplication qapp(argc, argv);
    App::initModules();

    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen || screen->geometry().width() < 800)
        App::fatalStartupError(QStringLiteral(
            "Program wymaga większej rozdzielczości ekranu\r(przynajmniej 800 na 600 pikseli) !"));

    App::setTitle(QStringLiteral("Instalacja TAVRO DEMO"));

    int rc = 0;
    {
        TForm1 form;
        form.show();
        rc = App::exec();
    }
    App::runCleanups();
    return rc;
}
