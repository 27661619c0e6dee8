// Takes the README's screenshots of the panel: the real window, connected to a
// simulated camera on 127.0.0.1, in compact and in advanced view.
// Usage: panel_screenshots <output folder>; run it under Xvfb (take.sh).

#include "camerasimulator.h"
#include "corvantaapp.h"
#include "ipcamera.h"
#include "mainwindow.h"

#include <QAction>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#include <cstdio>

namespace {

bool waitFor(const std::function<bool()> &done)
{
    return QTest::qWaitFor(done, 10000);
}

bool shoot(MainWindow *w, const QString &file)
{
    QTest::qWait(300); // let the window settle on the display after a resize
    const bool ok = w->grab().save(file, "PNG");
    std::printf("%s %s (%dx%d)\n", ok ? "wrote" : "could not write", qPrintable(file), w->width(),
                w->height());
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: panel_screenshots <output folder>\n");
        return 2;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();

    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    const QString folder = home.path() + "/panel_screenshots/corvanta-controller";
    QDir().mkpath(folder);
    {
        QSettings raw(folder + "/settings.ini", QSettings::IniFormat);
        raw.beginWriteArray("cameraslist");
        const char *names[] = {"Studio", "Stage Left", "Stage Right", "Audience"};
        for (int i = 0; i < 4; ++i) {
            raw.setArrayIndex(i);
            raw.setValue("cameratype", 0);
            raw.setValue("cameraid", QStringLiteral("127.0.0.%1").arg(i + 1));
            raw.setValue("cameraname", names[i]);
            raw.setValue("devicename", "0.0.0.0");
        }
        raw.endArray();
    }

    int appArgc = 1;
    CorvantaApp app(appArgc, argv);
    CameraSimulator sim;
    if (!sim.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0, 0)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    sim.setPosition(812, 140, 5200, 9000);
    auto *cam = qobject_cast<IPCamera *>(app.cameras().first());
    cam->setViscaPort(sim.viscaPort());
    cam->setHttpPort(sim.httpPort());
    cam->setPollInterval(50);

    MainWindow *w = app.mainWindow();
    w->move(0, 0);
    w->selectCamera(0);
    if (!waitFor([&] { return w->cameraConnected && w->uiSyncState == 2; })) {
        std::fprintf(stderr, "the simulated camera did not connect\n");
        return 1;
    }
    QTest::qWait(500);

    bool ok = shoot(w, out + "/screenshot-compact.png");
    w->findChild<QAction *>(QStringLiteral("actionAdvancedMode"))->trigger();
    ok &= shoot(w, out + "/screenshot-advanced.png");
    return ok ? 0 : 1;
}
