// libFuzzer target: raw bytes as they would arrive on one connection, fed to
// the request parser in varying chunk sizes; every complete request goes
// through the router with a response that has no socket.
#include "appsettings.h"
#include "httprequestparser.h"
#include "httpserverwrapper.h"
#include "qhttpserver.h"
#include "resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

using qhttp::server::QHttpRequest;
using qhttp::server::QHttpResponse;

namespace {

struct Env
{
    QTemporaryDir home;
    QCoreApplication *app = nullptr;
    AppSettings *settings = nullptr;
    HttpServerWrapper *web = nullptr;
};

Env *env = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    env = new Env;
    qputenv("XDG_DATA_HOME", env->home.path().toUtf8());
    QLoggingCategory::setFilterRules(QStringLiteral("corvanta.*=false"));
    env->app = new QCoreApplication(*argc, *argv);
    Resources::init();
    env->settings = new AppSettings;
    env->web = new HttpServerWrapper(env->settings);
    // Half of the API signals are answered, the rest left open (500 path).
    QObject::connect(env->web, &HttpServerWrapper::controlCam, env->web,
                     [](QHttpResponse *r, int, int, int, int, int) { r->end("{}"); });
    QObject::connect(env->web, &HttpServerWrapper::saveCameraSettings, env->web,
                     [](QHttpResponse *r, QString s) { r->end(s.toUtf8()); });
    QObject::connect(env->web, &HttpServerWrapper::getObsStatus, env->web,
                     [](QHttpResponse *r) { r->write("x"); });
    QObject::connect(env->web, &HttpServerWrapper::setVMixSourceVolume, env->web,
                     [](QHttpResponse *r, QString, double) { r->end(); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // First byte: chunk size of the simulated socket reads (1..256).
    const std::size_t chunk = std::size_t(data[0]) + 1;
    const char *bytes = reinterpret_cast<const char *>(data + 1);
    const std::size_t len = size - 1;

    HttpRequestParser parser;
    std::size_t pos = 0;
    std::size_t avail = 0;
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
            auto *req = new QHttpRequest(std::move(head));
            auto *resp = new QHttpResponse(nullptr, seq++, req->method() == 2, keep, false);
            env->web->handleRequest(req, resp);
            if (!resp->isEnded() || !resp->wireBytes().startsWith("HTTP/1.1 "))
                std::abort();
            delete req;
            delete resp;
            if (!keep)
                break;
            continue;
        }
        if (parser.finished() || (used == 0 && avail >= len))
            break;
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
