// Load-test server: listens on 127.0.0.1 (port from the first argument, 0 for
// any), prints "port <n>" on stdout once listening, and answers
// "/cam/getCurrentCamInfo" with a small JSON object through the real router.
// With a second argument (a file path) it writes that JSON body there, so
// another server can serve the same bytes. Preset thumbnails are served from
// the downloads folder of the settings store, as in the program. Everything
// else gets the router's own answers. Runs until SIGTERM/SIGINT.
#include "appsettings.h"
#include "httpserverwrapper.h"
#include "resources.h"
#include "unixsignals.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>

#include <cstdio>

using qhttp::server::QHttpResponse;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(
        QStringLiteral("corvanta.web.info=false\ncorvanta.web.debug=false"));
    Resources::init();
    UnixSignals::quitOnTermination();
    const quint16 port = argc > 1 ? quint16(QByteArray(argv[1]).toUInt()) : 0;

    AppSettings settings;
    HttpServerWrapper web(&settings);
    const QByteArray body =
        QJsonDocument(
            QJsonObject{
                {"status", "OK"},
                {"msg", QJsonObject{{"camNum", 1}, {"camName", "Camera1"}, {"connected", true}}}})
            .toJson(QJsonDocument::Compact);
    if (argc > 2) {
        QFile out(QString::fromLocal8Bit(argv[2]));
        if (!out.open(QIODevice::WriteOnly) || out.write(body) != body.size())
            return 1;
    }
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
