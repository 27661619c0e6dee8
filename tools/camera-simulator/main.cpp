// corvanta-camsim: a simulated network PTZ camera on the command line.
// It listens for VISCA and HTTP and never connects anywhere.

#include "camerasimulator.h"
#ifdef CORVANTA_CAMSIM_STREAM
#include "simstream.h"
#endif

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>

#include <sys/socket.h>
#include <unistd.h>

namespace {
// SIGINT/SIGTERM end the event loop, so the simulator closes normally and
// removes its serial link.
int g_signalPipe[2] = {-1, -1};
void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}
} // namespace

int main(int argc, char *argv[])
{
    // Snapshots are drawn off screen; no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvanta-camsim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulated network PTZ camera: VISCA over TCP, HTTP snapshots and an RTSP "
                       "stream of what it sees."));
    parser.addHelpOption();
    const QCommandLineOption address(QStringLiteral("address"),
                                     QStringLiteral("Address to listen on (default 127.0.0.1)."),
                                     QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption viscaPort(QStringLiteral("visca-port"),
                                       QStringLiteral("VISCA TCP port (default 5678)."),
                                       QStringLiteral("port"), QStringLiteral("5678"));
    const QCommandLineOption httpPort(QStringLiteral("http-port"),
                                      QStringLiteral("HTTP port (default 80)."),
                                      QStringLiteral("port"), QStringLiteral("80"));
    const QCommandLineOption name(QStringLiteral("name"), QStringLiteral("Device name."),
                                  QStringLiteral("name"));
    const QCommandLineOption ignore(
        QStringLiteral("ignore-inquiry"),
        QStringLiteral("Never answer this inquiry, in hex (e.g. 8109044aff)."),
        QStringLiteral("hex"));
    const QCommandLineOption delay(QStringLiteral("reply-delay"),
                                   QStringLiteral("Delay every VISCA reply by ms."),
                                   QStringLiteral("ms"));
    const QCommandLineOption garbage(QStringLiteral("garbage"),
                                     QStringLiteral("Send garbage bytes before each reply."));
    const QCommandLineOption split(QStringLiteral("split"),
                                   QStringLiteral("Split every reply frame across two writes."));
    const QCommandLineOption dropEvery(
        QStringLiteral("drop-every"), QStringLiteral("Drop the VISCA connections every s seconds."),
        QStringLiteral("s"));
    const QCommandLineOption rtspPort(QStringLiteral("rtsp-port"),
                                      QStringLiteral("RTSP port of the streams /1 and /2 (default "
                                                     "554)."),
                                      QStringLiteral("port"), QStringLiteral("554"));
    const QCommandLineOption noStream(QStringLiteral("no-stream"),
                                      QStringLiteral("No RTSP stream (VISCA and HTTP only)."));
    const QCommandLineOption udp(QStringLiteral("udp"),
                                 QStringLiteral("Also answer VISCA over IP on UDP (port 52381)."));
    const QCommandLineOption udpPort(QStringLiteral("udp-port"),
                                     QStringLiteral("VISCA over IP port (default 52381)."),
                                     QStringLiteral("port"), QStringLiteral("52381"));
    const QCommandLineOption serialPath(
        QStringLiteral("serial"),
        QStringLiteral("Also answer serial VISCA on a pseudo-terminal linked at path."),
        QStringLiteral("path"));
    const QCommandLineOption serialAddress(
        QStringLiteral("serial-address"),
        QStringLiteral("Camera address (1-7) on the serial line (default 1)."), QStringLiteral("n"),
        QStringLiteral("1"));
    const QCommandLineOption serialNumber(QStringLiteral("serial-number"),
                                          QStringLiteral("Serial number."),
                                          QStringLiteral("serial"));
    parser.addOptions({address, viscaPort, httpPort, name, serialNumber, ignore, delay, garbage,
                       split, dropEvery, udp, udpPort, serialPath, serialAddress, rtspPort,
                       noStream});
    parser.process(app);

    auto port = [&parser](const QCommandLineOption &option) {
        bool ok = false;
        const uint value = parser.value(option).toUInt(&ok);
        if (!ok || value > 65535) {
            std::fprintf(stderr, "invalid port: %s\n", qPrintable(parser.value(option)));
            std::exit(2);
        }
        return quint16(value);
    };

    CameraSimulator sim;
    if (parser.isSet(name))
        sim.setName(parser.value(name));
    if (parser.isSet(serialNumber))
        sim.setSerialNumber(parser.value(serialNumber));
    if (parser.isSet(ignore))
        sim.setIgnoredInquiry(QByteArray::fromHex(parser.value(ignore).toLatin1()));
    if (parser.isSet(delay))
        sim.setReplyDelay(parser.value(delay).toInt());
    sim.setGarbage(parser.isSet(garbage));
    sim.setSplitFrames(parser.isSet(split));

    const QHostAddress host(parser.value(address));
    if (host.isNull()) {
        std::fprintf(stderr, "invalid address: %s\n", qPrintable(parser.value(address)));
        return 2;
    }
    if (!sim.listen(host, port(viscaPort), port(httpPort))) {
        std::fprintf(stderr, "cannot listen: %s\n", qPrintable(sim.errorString()));
        return 1;
    }

    QString streams = QStringLiteral("no stream");
#ifdef CORVANTA_CAMSIM_STREAM
    std::unique_ptr<SimStream> stream;
    if (!parser.isSet(noStream)) {
        stream = std::make_unique<SimStream>([&sim] { return sim.view(); });
        if (!stream->listen(host, port(rtspPort))) {
            std::fprintf(stderr, "cannot listen: RTSP port %s\n",
                         qPrintable(parser.value(rtspPort)));
            return 1;
        }
        streams = QStringLiteral("RTSP rtsp://%1:%2/1 and /2")
                      .arg(host.protocol() == QAbstractSocket::IPv6Protocol
                               ? QLatin1Char('[') + host.toString() + QLatin1Char(']')
                               : host.toString())
                      .arg(stream->port());
    }
#else
    Q_UNUSED(rtspPort)
    Q_UNUSED(noStream)
#endif

    if (parser.isSet(udp) || parser.isSet(udpPort)) {
        if (!sim.listenUdp(host, port(udpPort))) {
            std::fprintf(stderr, "cannot listen on UDP: %s\n", qPrintable(sim.errorString()));
            return 1;
        }
        std::printf("VISCA over IP on %s:%u (UDP)\n", qPrintable(host.toString()), sim.udpPort());
    }
    if (parser.isSet(serialPath)) {
        if (!sim.openSerial(parser.value(serialPath), parser.value(serialAddress).toInt())) {
            std::fprintf(stderr, "cannot open serial: %s\n", qPrintable(sim.errorString()));
            return 1;
        }
        std::printf("serial VISCA (camera %d) on %s -> %s\n", parser.value(serialAddress).toInt(),
                    qPrintable(parser.value(serialPath)), qPrintable(sim.serialDevice()));
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
        auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }

    QTimer dropTimer;
    if (parser.isSet(dropEvery)) {
        const int seconds = parser.value(dropEvery).toInt();
        if (seconds > 0) {
            QObject::connect(&dropTimer, &QTimer::timeout, &sim, &CameraSimulator::dropConnections);
            dropTimer.start(seconds * 1000);
        }
    }
    QObject::connect(&sim, &CameraSimulator::clientConnected, [] {
        std::printf("VISCA client connected\n");
        std::fflush(stdout);
    });
    QObject::connect(&sim, &CameraSimulator::clientDisconnected, [] {
        std::printf("VISCA client disconnected\n");
        std::fflush(stdout);
    });

    QObject::connect(&sim, &CameraSimulator::tallyLampChanged, [](bool on) {
        std::printf("tally lamp %s\n", on ? "ON (program)" : "off");
        std::fflush(stdout);
    });

    std::printf("%s: VISCA on %s:%u, HTTP on %s:%u, %s\n", qPrintable(sim.name()),
                qPrintable(host.toString()), sim.viscaPort(), qPrintable(host.toString()),
                sim.httpPort(), qPrintable(streams));
    std::fflush(stdout);
    return app.exec();
}
