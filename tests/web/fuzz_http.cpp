// libFuzzer target with two modes, chosen by the first byte:
// - 0x80-0xBF: the connection layer in-process. A real server on 127.0.0.1
//   with a clock the input moves; byte 1 is the number of operations that
//   follow, the rest is the byte stream clients send. Operations send, read
//   (or leave answers unread), run the event loop, move the clock, end held
//   responses, half-close, reset and open further clients. Afterwards every
//   connection must be gone once the clock passes every deadline.
// - otherwise: raw bytes as they would arrive on one connection, fed to the
//   request parser in chunks of (first byte + 1); every complete request goes
//   through the router with a response that has no socket.
#include "appsettings.h"
#include "httprequestparser.h"
#include "httpserverwrapper.h"
#include "qhttpserver.h"
#include "resources.h"

#include "storagepaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QPointer>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

using qhttp::server::QHttpRequest;
using qhttp::server::QHttpResponse;

namespace {

struct Env
{
    QTemporaryDir home;
    QCoreApplication *app = nullptr;
    AppSettings *settings = nullptr;
    HttpServerWrapper *web = nullptr;
    quint16 port = 0;
    qint64 now = 0;
    std::vector<QPointer<QHttpResponse>> held;
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
    // Answered later, by an operation of the input.
    QObject::connect(env->web, &HttpServerWrapper::getVMixStatus, env->web,
                     [](QHttpResponse *r) { env->held.push_back(r); });
    // A preset thumbnail large enough to be streamed in several steps.
    QFile thumb(Storage::downloadsFolder() + QStringLiteral("/snapshot_cam1.jpg"));
    if (!thumb.open(QIODevice::WriteOnly) || thumb.write(QByteArray(300 * 1024, 'j')) < 0)
        std::abort();
    thumb.close();
    env->web->server()->setClock([] { return env->now; });
    if (!env->web->startServer(QStringLiteral("127.0.0.1"), 0))
        std::abort();
    env->port = env->web->server()->serverPort();
    return 0;
}

namespace {

// A non-blocking client socket with a small receive buffer, so unread
// answers back up into the server quickly.
struct Client
{
    int fd = -1;
    QByteArray received;

    bool open()
    {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const int small = 4096;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(env->port);
        return ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 ||
               errno == EINPROGRESS;
    }
    void send(const char *p, std::size_t n)
    {
        if (fd >= 0 && n > 0)
            (void)::send(fd, p, n, MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    void read(std::size_t max)
    {
        char buf[4096];
        while (fd >= 0 && max > 0) {
            const ssize_t n = ::recv(fd, buf, std::min(max, sizeof buf), MSG_DONTWAIT);
            if (n <= 0)
                break;
            // Only the start of the stream is checked: it is a status line.
            if (received.size() < 9)
                received.append(buf, int(std::min<ssize_t>(n, 9 - received.size())));
            max -= std::size_t(n);
        }
        if (received.size() >= 9 && !received.startsWith("HTTP/1.1 "))
            std::abort();
    }
    void close(bool reset)
    {
        if (fd < 0)
            return;
        if (reset) {
            const linger l{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        }
        ::close(fd);
        fd = -1;
    }
};

void spin(int rounds)
{
    for (int i = 0; i < rounds; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void expire(qint64 ms)
{
    env->now += ms;
    env->web->server()->checkDeadlines();
}

void endHeld()
{
    for (QPointer<QHttpResponse> &r : env->held) {
        if (r && !r->isEnded())
            r->end("held");
    }
    env->held.clear();
}

void runConnection(const uint8_t *data, std::size_t size)
{
    if (size == 0)
        return;
    const std::size_t opCount = std::min<std::size_t>(data[0], size - 1);
    const uint8_t *ops = data + 1;
    const char *payload = reinterpret_cast<const char *>(data + 1 + opCount);
    std::size_t left = size - 1 - opCount;

    std::vector<Client> clients(1);
    clients[0].open();
    auto sendSome = [&](std::size_t n) {
        n = std::min(n, left);
        clients.back().send(payload, n);
        payload += n;
        left -= n;
    };
    for (std::size_t i = 0; i < opCount; ++i) {
        const int op = ops[i] & 7;
        const int arg = ops[i] >> 3;
        switch (op) {
        case 0:
            sendSome(arg == 31 ? left : std::size_t(arg + 1) * 16);
            break;
        case 1:
            clients.back().read(std::size_t(arg + 1) * 4096);
            break;
        case 2:
            spin(arg % 4 + 1);
            break;
        case 3:
            expire(qint64(arg) * 1000);
            break;
        case 4:
            endHeld();
            break;
        case 5:
            if (clients.back().fd >= 0)
                ::shutdown(clients.back().fd, SHUT_WR);
            break;
        case 6:
        case 7:
            if (op == 7)
                clients.back().close(true);
            if (clients.size() < 4) {
                clients.emplace_back();
                clients.back().open();
            }
            break;
        }
    }
    sendSome(left);
    spin(3);
    endHeld();
    spin(2);
    // Whatever the clients did, every deadline ends every connection.
    for (int i = 0; i < 3; ++i) {
        expire(1000 * 1000);
        spin(2);
    }
    if (env->web->server()->connectionCount() != 0)
        std::abort();
    for (Client &c : clients)
        c.close(true);
    spin(2);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    if (data[0] >= 0x80 && data[0] < 0xC0) {
        runConnection(data + 1, size - 1);
        return 0;
    }
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
