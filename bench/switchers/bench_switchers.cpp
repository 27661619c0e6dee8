// Event-loop latency of the switcher clients against peers that do not
// answer: a vMix on 127.0.0.1 that accepts connections and never replies, and
// an obs-websocket server that completes the handshake and never replies.
// Both clients run at their production settings (500 ms polls, vMix transfer
// time-out), while the web routes are simulated: every 100 ms both status
// pictures are read as JSON and one vMix and one OBS volume command is sent
// (an operator dragging a fader).
//
// A precise 5 ms timer probes the loop; its lateness (time between ticks
// beyond 5 ms) is the latency an operator's click would see. Prints p50, p99
// and max over the run and exits 1 when p99 is 16 ms or more.
//
//   corvanta_switchers_bench [seconds]      (default 20)
#include "obswrapper.h"
#include "vmixwrapper.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("corvanta.switchers=false"));
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    constexpr int kProbeMs = 5;

    // vMix that reads requests and never answers.
    QTcpServer vmixPeer;
    vmixPeer.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&vmixPeer, &QTcpServer::newConnection, [&] {
        while (QTcpSocket *s = vmixPeer.nextPendingConnection()) {
            QObject::connect(s, &QTcpSocket::readyRead, s, [s] { s->readAll(); });
            QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        }
    });

    // obs-websocket server that never answers.
    QWebSocketServer obsPeer(QStringLiteral("silent"), QWebSocketServer::NonSecureMode);
    obsPeer.listen(QHostAddress::LocalHost, 0);
    int obsMessages = 0;
    QObject::connect(&obsPeer, &QWebSocketServer::newConnection, [&] {
        while (QWebSocket *s = obsPeer.nextPendingConnection())
            QObject::connect(s, &QWebSocket::textMessageReceived, [&] { ++obsMessages; });
    });

    VMixWrapper vmix(QStringLiteral("127.0.0.1"), vmixPeer.serverPort(), QStringLiteral("admin"),
                     QStringLiteral("secret"));
    ObsWrapper obs(QStringLiteral("127.0.0.1"), obsPeer.serverPort(), QString());
    vmix.startPolling();
    obs.connectToServer();
    obs.startPolling();

    int polls = 0;
    QObject::connect(&vmix, &VMixWrapper::pollFinished, [&] { ++polls; });

    QTimer routes;
    qint64 jsonBytes = 0;
    double fader = 0;
    QObject::connect(&routes, &QTimer::timeout, [&] {
        jsonBytes += QJsonDocument(vmix.statusJson()).toJson().size();
        jsonBytes += QJsonDocument(obs.statusJson()).toJson().size();
        fader = fader >= 100 ? 0 : fader + 1;
        vmix.setVolume(fader, QStringLiteral("input1"));
        obs.setVolume(fader - 100, QStringLiteral("Mic"));
    });
    routes.start(100);

    std::vector<double> lateness;
    lateness.reserve(size_t(seconds) * 1000 / kProbeMs + 16);
    QElapsedTimer clock;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 ns = clock.nsecsElapsed();
        clock.restart();
        lateness.push_back(std::max(0.0, ns / 1e6 - kProbeMs));
    });
    // Measure after the connections are up.
    QTimer::singleShot(1000, [&] {
        clock.start();
        probe.start(kProbeMs);
    });
    QTimer::singleShot(1000 + seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();

    std::sort(lateness.begin(), lateness.end());
    const auto pct = [&](double p) {
        return lateness.empty() ? 0.0 : lateness[size_t(p * double(lateness.size() - 1))];
    };
    std::printf("probes %zu over %d s; finished vMix polls %d (each a time-out); "
                "messages OBS received %d\n",
                lateness.size(), seconds, polls, obsMessages);
    std::printf("event-loop lateness ms: p50 %.3f  p99 %.3f  max %.3f  (goal p99 < 16)\n",
                pct(0.50), pct(0.99), lateness.empty() ? 0.0 : lateness.back());
    return pct(0.99) < 16.0 ? 0 : 1;
}
