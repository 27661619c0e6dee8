// Child process of tst_unixsignals: the web server and its settings store,
// started and shut down the way the program's entry point does it. Prints
// "port <n>" once listening on 127.0.0.1.
#include "appsettings.h"
#include "httpserverwrapper.h"
#include "resources.h"
#include "unixsignals.h"

#include <QCoreApplication>

#include <cstdio>
#include <memory>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Resources::init();
    if (!UnixSignals::quitOnTermination())
        return 3;
    auto settings = std::make_unique<AppSettings>();
    auto web = std::make_unique<HttpServerWrapper>(settings.get());
    if (!web->startServer(QStringLiteral("127.0.0.1"), 0))
        return 2;
    std::printf("port %u\n", unsigned(web->server()->serverPort()));
    std::fflush(stdout);
    const int rc = app.exec();
    // The application object's order: web server, then the settings store.
    web.reset();
    settings.reset();
    return rc;
}
