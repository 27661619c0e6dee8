// corvanta-camsim: a simulated network PTZ camera on the command line.
// It listens for VISCA and HTTP and never connects anywhere.

#include "camerasimulator.h"
#ifdef CORVANTA_CAMSIM_STREAM
#include "simstream.h"
#endif

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QTimer>

#include <cstdio>
#include <memory>

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
    const QCommandLineOption serial(QStringLiteral("serial"), QStringLiteral("Serial number."),
                                    QStringLiteral("serial"));
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
    parser.addOptions({address, viscaPort, httpPort, name, serial, ignore, delay, garbage, split,
                       dropEvery, rtspPort, noStream});
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
    if (parser.isSet(serial))
        sim.setSerialNumber(parser.value(serial));
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
