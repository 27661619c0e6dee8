// Takes screenshots of every window of the program, to check that each is
// readable: the real application connected to a simulated camera whose live
// stream comes from the RTSP test server, once with the light and once with
// the dark settings (the web theme setting and the desktop palette), files
// <theme>-<window>.png. Usage: window_screenshots <output folder> <camera
// address>; run it under Xvfb with the RTSP server on <camera address>:554
// (take.sh does both).

#include "appsettings.h"
#include "boundingboxsettings.h"
#include "camerasimulator.h"
#include "corvantaapp.h"
#include "helpwindows.h"
#include "ipcamera.h"
#include "mainwindow.h"
#include "messagepresenter.h"
#include "presetsettingdlg.h"
#include "previewwin.h"
#include "storedcameralist.h"
#include "tempdatahome.h"

#include <QAction>
#include <QDir>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {

QString g_out;
bool g_ok = true;

void save(QWidget *w, const QString &name)
{
    QTest::qWait(300); // let the window settle on the display
    const QString file = g_out + QLatin1Char('/') + name + QStringLiteral(".png");
    const bool ok = w && w->grab().save(file, "PNG");
    g_ok = g_ok && ok;
    std::printf("%s %s (%dx%d)\n", ok ? "wrote" : "could not write", qPrintable(file),
                w ? w->width() : 0, w ? w->height() : 0);
}

// Triggers `action`, which runs a modal dialog, and shoots that dialog.
void shootModal(MainWindow *w, const char *action, const QString &name)
{
    QTimer::singleShot(800, [name] {
        QWidget *dialog = QApplication::activeModalWidget();
        save(dialog, name);
        if (auto *d = qobject_cast<QDialog *>(dialog))
            d->reject();
    });
    w->findChild<QAction *>(QLatin1String(action))->trigger();
}

QPalette darkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(45, 45, 45));
    p.setColor(QPalette::WindowText, Qt::white);
    p.setColor(QPalette::Base, QColor(30, 30, 30));
    p.setColor(QPalette::Text, Qt::white);
    p.setColor(QPalette::Button, QColor(53, 53, 53));
    p.setColor(QPalette::ButtonText, Qt::white);
    return p;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: window_screenshots <output folder> <camera address>\n");
        return 2;
    }
    g_out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QString address = QString::fromLocal8Bit(argv[2]);

    TempDataHome home;
    storeCameraList(home.path(), "window_screenshots", {{0, address, "Studio", "0.0.0.0"}});

    int appArgc = 1;
    CorvantaApp app(appArgc, argv);
    const QPalette lightPalette = app.palette();
    CameraSimulator sim;
    if (!sim.listen(QHostAddress(address), 0, 0)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    auto *cam = qobject_cast<IPCamera *>(app.cameras().first());
    cam->setViscaPort(sim.viscaPort());
    cam->setHttpPort(sim.httpPort());

    MainWindow *w = app.mainWindow();
    auto *preview = w->findChild<PreviewWin *>();
    auto *map = w->findChild<BoundingBoxSettings *>();
    w->move(0, 0);
    w->selectCamera(0);
    if (!QTest::qWaitFor([&] { return w->cameraConnected(); }, 10000)) {
        std::fprintf(stderr, "the simulated camera did not connect\n");
        return 1;
    }
    w->findChild<QAction *>(QStringLiteral("actionPreviewWindow"))->trigger();
    preview->onStartBtnClicked();
    if (!QTest::qWaitFor([&] { return !preview->currentFrame().isNull(); }, 20000)) {
        std::fprintf(stderr, "no picture from rtsp://%s/2 (playing: %d)\n", qPrintable(address),
                     preview->isPlaying());
        return 1;
    }
    // The preview at its minimum size, the map window beside it, the boxes on.
    preview->showNormal();
    preview->resize(preview->minimumSize());
    preview->move(0, 0);
    w->findChild<QAction *>(QStringLiteral("actionBoundingBoxSetting"))->trigger();
    map->move(700, 0);
    map->findChild<QPushButton *>(QStringLiteral("showHideBoxes"))->click();

    for (const bool dark : {false, true}) {
        const QString theme = dark ? QStringLiteral("dark") : QStringLiteral("light");
        app.settings()->setUseDarkTheme(dark);
        app.setPalette(dark ? darkPalette() : lightPalette);
        save(preview, theme + QStringLiteral("-preview"));
        save(map, theme + QStringLiteral("-map"));
        save(w, theme + QStringLiteral("-mainwindow"));
        w->findChild<QAction *>(QStringLiteral("actionPresetSetting"))->trigger();
        auto *presets = w->findChild<PresetSettingDlg *>();
        save(presets, theme + QStringLiteral("-presetsetting"));
        presets->close();
        w->findChild<QAction *>(QStringLiteral("actionHelp"))->trigger();
        auto *help = w->findChild<HelpWin *>();
        save(help, theme + QStringLiteral("-help"));
        help->close();
        app.messages()->show(QStringLiteral("Can not set bounding boxes' property."));
        (void)QTest::qWaitFor([&] { return app.messages()->currentBox() != nullptr; }, 5000);
        save(app.messages()->currentBox(), theme + QStringLiteral("-message"));
        app.messages()->currentBox()->accept();
        // Opened window-modal, without a loop of its own.
        w->findChild<QAction *>(QStringLiteral("actionWebServerSetting"))->trigger();
        (void)QTest::qWaitFor([] { return QApplication::activeModalWidget() != nullptr; }, 5000);
        QWidget *web = QApplication::activeModalWidget();
        save(web, theme + QStringLiteral("-webserver"));
        if (web)
            web->close();
        shootModal(w, "actionMultiCameras", theme + QStringLiteral("-cameras"));
        shootModal(w, "actionJoyStick", theme + QStringLiteral("-joystick"));
        shootModal(w, "actionPanTiltLimitSetting", theme + QStringLiteral("-pantiltlimit"));
        shootModal(w, "actionAboutUs", theme + QStringLiteral("-about"));
        shootModal(w, "actionXboxHelp", theme + QStringLiteral("-controllerhelp"));
        shootModal(w, "actionHotKeyHelp", theme + QStringLiteral("-hotkeyhelp"));
    }
    return g_ok ? 0 : 1;
}
