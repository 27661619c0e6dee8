// libFuzzer target: raw bytes as they would arrive on one connection, fed to
// the request parser in chunks of (first byte + 1); every complete request
// goes through the router with a response that has no socket and must end
// as an HTTP/1.1 answer.
#include "appsettings.h"
#include "httprequestparser.h"
#include "httpserverwrapper.h"
#include "qhttpserver.h"
#include "resources.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

using qhttp::server::QHttpRequest;
using qhttp::server::QHttpResponse;

static HttpServerWrapper *web = nullptr;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    QLoggingCategory::setFilterRules(QStringLiteral("corvanta.*=false"));
    new QCoreApplication(*argc, *argv);
    Resources::init();
    web = new HttpServerWrapper(new AppSettings);
    // Some API signals are answered, the rest left open (500 path).
    QObject::connect(web, &HttpServerWrapper::controlCam, web,
                     [](QHttpResponse *r, int, int, int, int, int) { r->end("{}"); });
    QObject::connect(web, &HttpServerWrapper::saveCameraSettings, web,
                     [](QHttpResponse *r, QString s) { r->end(s.toUtf8()); });
    QObject::connect(web, &HttpServerWrapper::getObsStatus, web,
                     [](QHttpResponse *r) { r->write("x"); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t chunk = std::size_t(data[0]) + 1;
    const char *bytes = reinterpret_cast<const char *>(data + 1);
    const std::size_t len = size - 1;
    HttpRequestParser parser;
    std::size_t pos = 0, avail = 0;
    quint64 seq = 0;
    while (pos < len) {
        avail = std::min(len, std::max(avail, pos) + chunk);
        std::size_t used = 0;
        const auto ev = parser.feed(bytes + pos, avail - pos, &used);
        pos += used;
        if (ev == HttpRequestParser::Event::Error) {
            const int s = parser.errorStatus();
            if (s != 400 && s != 413 && s != 431)
                std::abort();
            break;
        }
        if (ev == HttpRequestParser::Event::Request) {
            HttpRequestHead head = parser.takeRequest();
            const bool keep = head.keepAlive;
            QHttpRequest req(std::move(head));
            QHttpResponse resp(nullptr, seq++, req.method() == 2, keep, false);
            web->handleRequest(&req, &resp);
            if (!resp.isEnded() || !resp.wireBytes().startsWith("HTTP/1.1 "))
                std::abort();
            if (!keep)
                break;
        } else if (parser.finished() || (used == 0 && avail >= len)) {
            break;
        }
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
