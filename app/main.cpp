#include "corvantaapp.h"

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QGuiApplication::setDesktopSettingsAware(true);
    CorvantaApp app(argc, argv);
    return app.exec();
}
