#include "corvantaapp.h"
#include "unixsignals.h"

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QGuiApplication::setDesktopSettingsAware(true);
    CorvantaApp::guardPlatformStart();
    CorvantaApp app(argc, argv);
    UnixSignals::quitOnTermination();
    return app.exec();
}
