// Load-test server: listens on 127.0.0.1 (port from the first argument, 0 for
// any), prints "port <n>" on stdout once listening, and answers the "/cam/"
// routes with the real handler over the control layer. Slot 1 is a network
// camera on 127.0.0.1 whose VISCA port is the third argument (when given and
// not 0; its HTTP requests go to port 1 and fail; the camera is selected and connected at start,
// with polling off so that only commands travel). With a second argument (a file path) the
// "/cam/getCurrentCamInfo" answer is written there once the camera is
// connected (an empty path: not written), so another server can serve the
// same bytes. Preset thumbnails
// are served from the downloads folder of the settings store, as in the
// program. Runs until SIGTERM/SIGINT.
#include "appsettings.h"
#include "cameraapihandler.h"
#include "cameracontrol.h"
#include "httpserverwrapper.h"
#include "ipcamera.h"
#include "resources.h"
#include "unixsignals.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(
        QStringLiteral("corvanta.*.info=false\ncorvanta.*.debug=false"));
    Resources::init();
    UnixSignals::quitOnTermination();
    const quint16 port = argc > 1 ? quint16(QByteArray(argv[1]).toUInt()) : 0;
    const quint16 viscaPort = argc > 3 ? quint16(QByteArray(argv[3]).toUInt()) : 0;

    AppSettings settings;
    CameraControl control(&settings);
    control.rebuildCameras();
    if (viscaPort) {
        control.releaseCameras();
        QList<CameraWrapper *> cams;
        for (int i = 0; i < CameraControl::kCameraSlots; ++i) {
            auto *cam =
                new IPCamera(QStringLiteral("127.0.0.1"), QStringLiteral("Camera%1").arg(i + 1),
                             QStringLiteral("127.0.0.1"));
            cam->setViscaPort(viscaPort);
            cam->setHttpPort(1); // nothing listens: the name request fails at once
            cam->setPollInterval(24 * 3600 * 1000);
            cams << cam;
        }
        control.setCameras(cams);
        control.selectCamera(0);
    }
    HttpServerWrapper web(&settings);
    CameraApiHandler api(&control, &settings, nullptr, [] { return QStringList(); });
    api.attach(&web);

    auto writeBody = [&] {
        if (argc <= 2 || !*argv[2])
            return true;
        QFile out(QString::fromLocal8Bit(argv[2]));
        const QByteArray body = api.currentCamInfo().toBytes();
        return out.open(QIODevice::WriteOnly) && out.write(body) == body.size();
    };
    auto start = [&] {
        if (!writeBody() || !web.startServer(QStringLiteral("127.0.0.1"), port)) {
            std::fprintf(stderr, "cannot start on 127.0.0.1:%u\n", unsigned(port));
            QCoreApplication::exit(1);
            return;
        }
        std::printf("port %u\n", unsigned(web.server()->serverPort()));
        std::fflush(stdout);
    };
    if (viscaPort)
        QObject::connect(&control, &CameraControl::connected, &app, start, Qt::QueuedConnection);
    else
        start();
    return app.exec();
}
