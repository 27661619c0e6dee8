// Load-test server: listens on 127.0.0.1 (port from the first argument, 0 for
// any), prints "port <n>" on stdout once listening, and answers
// "/cam/getCurrentCamInfo" with a small JSON object through the real router.
// Everything else gets the router's own answers. Runs until killed.
#include "appsettings.h"
#include "httpserverwrapper.h"
#include "resources.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>

#include <cstdio>

using qhttp::server::QHttpResponse;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("corvanta.web.info=false"));
    Resources::init();
    const quint16 port = argc > 1 ? quint16(QByteArray(argv[1]).toUInt()) : 0;

    AppSettings settings;
    HttpServerWrapper web(&settings);
    const QByteArray body =
        QJsonDocument(
            QJsonObject{
                {"status", "OK"},
                {"msg", QJsonObject{{"camNum", 1}, {"camName", "Camera1"}, {"connected", true}}}})
            .toJson(QJsonDocument::Compact);
    QObject::connect(&web, &HttpServerWrapper::getCurrentCamInfo, &web, [&body](QHttpResponse *r) {
        r->setStatusCode(qhttp::ESTATUS_OK);
        r->addHeader("Content-Type", "application/json");
        r->end(body);
    });
    if (!web.startServer(QStringLiteral("127.0.0.1"), port)) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1:%u\n", unsigned(port));
        return 1;
    }
    std::printf("port %u\n", unsigned(web.server()->serverPort()));
    std::fflush(stdout);
    return app.exec();
}
