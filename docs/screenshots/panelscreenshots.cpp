// Takes the README's screenshots of the panel: the real window, connected to a
// simulated camera on 127.0.0.1, in compact and in advanced view; then with
// the tally from a stand-in OBS on 127.0.0.1 (the selected camera on program,
// a recall refused) and the tally settings dialog.
// Usage: panel_screenshots <output folder>; run it under Xvfb (take.sh).

#include "appsettings.h"
#include "camerasimulator.h"
#include "corvantaapp.h"
#include "fakeobsserver.h"
#include "ipcamera.h"
#include "mainwindow.h"
#include "obswrapper.h"
#include "storedcameralist.h"
#include "tallymodel.h"
#include "tempdatahome.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPushButton>
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

    TempDataHome home;
    storeCameraList(home.path(), "panel_screenshots",
                    {{0, "127.0.0.1", "Studio", "0.0.0.0"},
                     {0, "127.0.0.2", "Stage Left", "0.0.0.0"},
                     {0, "127.0.0.3", "Stage Right", "0.0.0.0"},
                     {0, "127.0.0.4", "Audience", "0.0.0.0"}});

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
    if (!waitFor([&] { return w->cameraConnected() && w->uiSyncState == 2; })) {
        std::fprintf(stderr, "the simulated camera did not connect\n");
        return 1;
    }
    QTest::qWait(500);

    bool ok = shoot(w, out + "/screenshot-compact.png");
    w->findChild<QAction *>(QStringLiteral("actionAdvancedMode"))->trigger();
    ok &= shoot(w, out + "/screenshot-advanced.png");

    // Tally: OBS in studio mode with "Studio" on program and "Stage Left" on
    // preview; recalls are refused on the camera on program.
    w->findChild<QAction *>(QStringLiteral("actionCompactMode"))->trigger();
    const QStringList scenes{"Studio", "Stage Left", "Stage Right", "Audience"};
    for (int slot = 1; slot <= scenes.size(); ++slot) {
        TallySlotSetting t;
        t.obs = scenes.at(slot - 1);
        t.command = 1;
        app.settings()->setTallySlot(slot, t);
    }
    app.settings()->setProtectLive(1);
    app.applyTallySettings();
    FakeObsServer obs;
    obs.currentScene = "Studio";
    obs.studioMode = true;
    obs.previewScene = "Stage Left";
    for (const QString &scene : scenes)
        obs.scenes.append(QJsonObject{{"name", scene}});
    app.obsClient()->reconnectTo(QStringLiteral("127.0.0.1"), obs.port(), QString());
    app.obsClient()->setPollInterval(50);
    app.startObsControl();
    if (!waitFor([&] { return app.tally()->state(1) == TallyModel::Preview && sim.tallyLamp(); })) {
        std::fprintf(stderr, "the tally did not follow the stand-in OBS\n");
        return 1;
    }
    QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("mem2")), Qt::LeftButton);
    QTest::qWait(200);
    ok &= shoot(w, out + "/screenshot-tally.png");

    w->findChild<QAction *>(QStringLiteral("actionTallySetting"))->trigger();
    QDialog *dialog = nullptr;
    waitFor([&] {
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (top->windowTitle() == QLatin1String("Tally Setting") && top->isVisible())
                dialog = qobject_cast<QDialog *>(top);
        }
        return dialog != nullptr;
    });
    if (dialog) {
        QTest::qWait(300);
        const bool saved = dialog->grab().save(out + "/screenshot-tally-setting.png", "PNG");
        std::printf("%s %s\n", saved ? "wrote" : "could not write",
                    qPrintable(out + "/screenshot-tally-setting.png"));
        ok &= saved;
        dialog->reject();
    } else {
        ok = false;
    }
    app.stopObsControl();
    return ok ? 0 : 1;
}
