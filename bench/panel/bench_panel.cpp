// corvanta_panel_bench [presses]
//   Press-to-bytes: the main window drives a network camera connected to a
//   camera simulator on 127.0.0.1; each press of "Move Left" is timed from the
//   mouse event to the arrival of its drive command at the simulator (the
//   release's stop is waited for, untimed). Prints p50/p99/max in µs, once
//   with the camera on TCP and once on VISCA over IP (UDP).
//   Start-up: runs itself with --startup on a fresh data folder ten times and
//   times process start to the main window shown. Prints p50/max in ms.
// Run with QT_QPA_PLATFORM=offscreen (run.sh does).

#include "appsettings.h"
#include "cameracontrol.h"
#include "camerasimulator.h"
#include "corvantaapp.h"
#include "ipcamera.h"
#include "mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

template <typename T> T percentile(QVector<T> v, double p)
{
    std::sort(v.begin(), v.end());
    const int i = qBound(0, int(p * (v.size() - 1) + 0.5), v.size() - 1);
    return v.value(i);
}

void sendMouse(QWidget *w, QEvent::Type type)
{
    const QPointF pos(w->width() / 2.0, w->height() / 2.0);
    QMouseEvent e(type, pos, w->mapToGlobal(pos.toPoint()), Qt::LeftButton,
                  type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// Waits until pred() holds, up to ms; false on timeout.
template <typename Pred> bool waitFor(Pred pred, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

int pressToBytes(CorvantaApp &app, int presses, CameraLinkConfig::Protocol protocol)
{
    CameraSimulator sim;
    if (!sim.listen(QHostAddress::LocalHost, 0, 0) ||
        (protocol == CameraLinkConfig::Udp && !sim.listenUdp(QHostAddress::LocalHost, 0))) {
        std::fprintf(stderr, "simulator cannot listen\n");
        return 1;
    }
    CameraControl *control = app.control();
    control->releaseCameras();
    auto *cam =
        new IPCamera(QStringLiteral("127.0.0.1"), QStringLiteral("Bench"), QStringLiteral("dev"));
    cam->setViscaPort(sim.viscaPort());
    cam->setHttpPort(sim.httpPort());
    if (protocol == CameraLinkConfig::Udp) {
        CameraLinkConfig link;
        link.protocol = protocol;
        link.port = sim.udpPort();
        cam->setLinkConfig(link);
    }
    control->setCameras({cam});
    MainWindow *w = app.mainWindow();
    w->selectCamera(0);
    if (!waitFor([&] { return control->canDrive(); })) {
        std::fprintf(stderr, "camera did not connect\n");
        return 1;
    }
    auto *button = w->findChild<QPushButton *>(QStringLiteral("MoveLeft"));

    int received = 0;
    qint64 arrivedNs = 0;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&sim, &CameraSimulator::commandReceived, [&](const QByteArray &) {
        ++received;
        arrivedNs = clock.nsecsElapsed();
    });
    QVector<double> micros;
    micros.reserve(presses);
    for (int i = 0; i < presses; ++i) {
        const int before = received;
        const qint64 start = clock.nsecsElapsed();
        sendMouse(button, QEvent::MouseButtonPress);
        if (!waitFor([&] { return received > before; })) {
            std::fprintf(stderr, "press %d never arrived\n", i);
            return 1;
        }
        micros << (arrivedNs - start) / 1000.0;
        sendMouse(button, QEvent::MouseButtonRelease);
        if (!waitFor([&] { return received > before + 1; })) {
            std::fprintf(stderr, "release %d never arrived\n", i);
            return 1;
        }
    }
    std::printf("press-to-bytes (%s) over %d presses: p50 %.0f us, p99 %.0f us, max %.0f us "
                "(goal p99 < 1000 us)\n",
                qPrintable(CameraLinkConfig::protocolName(protocol)), presses,
                percentile(micros, 0.5), percentile(micros, 0.99), percentile(micros, 1.0));
    return 0;
}

int startupChild(int argc, char **argv)
{
    CorvantaApp app(argc, argv);
    QTimer::singleShot(0, &app, [&] {
        if (app.mainWindow()->isVisible()) {
            std::printf("shown\n");
            std::fflush(stdout);
        }
        app.quit();
    });
    return app.exec();
}

int startup(const char *self)
{
    QVector<double> ms;
    for (int i = 0; i < 10; ++i) {
        QTemporaryDir home;
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.path());
        child.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        child.start(QString::fromLocal8Bit(self), {QStringLiteral("--startup")});
        if (!child.waitForReadyRead(30000) || !child.readAll().contains("shown")) {
            std::fprintf(stderr, "start-up run %d did not show the window\n", i);
            return 1;
        }
        ms << t.nsecsElapsed() / 1e6;
        child.waitForFinished(30000);
    }
    std::printf("start-up to window shown over 10 runs: p50 %.0f ms, max %.0f ms "
                "(goal < 500 ms)\n",
                percentile(ms, 0.5), percentile(ms, 1.0));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--startup") == 0)
        return startupChild(argc, argv);
    const int presses = argc > 1 ? qMax(1, atoi(argv[1])) : 1000;
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    CorvantaApp app(argc, argv);
    for (const auto protocol : {CameraLinkConfig::Tcp, CameraLinkConfig::Udp}) {
        if (const int rc = pressToBytes(app, presses, protocol))
            return rc;
    }
    return startup(argv[0]);
}
