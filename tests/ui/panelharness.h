#pragma once

// Shared set-up of the main-window suites: one CorvantaApp on a throw-away
// data folder, network cameras 1-3 (127.0.0.1-3) each talking to its own
// camera simulator on loopback with a fast poll, a USB camera 4 with a hostile
// id, and helpers that read what reached each simulator.

#include "appsettings.h"
#include "cameracontrol.h"
#include "camerasimulator.h"
#include "camerawrapper.h"
#include "corvantaapp.h"
#include "ipcamera.h"
#include "mainwindow.h"
#include "messagepresenter.h"
#include "tempdatahome.h"
#include "usbcamera.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QMessageBox>
#include <QSettings>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace PanelHarness {

constexpr int kWait = 5000;
constexpr int kFastPollMs = 10;
constexpr int kSimulatedCameras = 3;
const QString kEscapingId = QStringLiteral("/../../victim");

inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

inline QString cameraId(int index)
{
    return QStringLiteral("127.0.0.%1").arg(index + 1);
}

// One simulator and the commands (not inquiries) it received, with the time
// of arrival in ms since the harness clock started.
struct SimulatedCamera
{
    std::unique_ptr<CameraSimulator> sim;
    QList<QByteArray> commands;
    QList<qint64> times;
    QStringList httpTargets;
};

class Harness : public QObject
{
public:
    Harness() { clock.start(); }

    CorvantaApp *app() const { return CorvantaApp::instance(); }
    MainWindow *window() const { return app()->mainWindow(); }
    AppSettings *settings() const { return app()->settings(); }
    CameraWrapper *camera(int index) const { return app()->cameras().at(index); }

    // Stores cameras 1-3 as network cameras 127.0.0.1-3, rebuilds the list,
    // starts one simulator per camera and points the camera at it.
    bool setUp()
    {
        QList<CameraWrapper *> list;
        for (int i = 0; i < kSimulatedCameras; ++i)
            list << new IPCamera(cameraId(i), QStringLiteral("Sim%1").arg(i + 1),
                                 QStringLiteral("dev"));
        // Camera 4: a USB camera whose id walks out of the downloads folder
        // when it is made part of a thumbnail path.
        list << new USBCamera(kEscapingId, QStringLiteral("Usb"), QStringLiteral("dev"));
        settings()->saveCameraList(list);
        qDeleteAll(list);
        window()->rebuildCameraList();

        for (int i = 0; i < kSimulatedCameras; ++i) {
            SimulatedCamera &c = cams[i];
            c.sim = std::make_unique<CameraSimulator>();
            if (!c.sim->listen(QHostAddress(cameraId(i)), 0, 0))
                return false;
            QObject::connect(c.sim.get(), &CameraSimulator::commandReceived, this,
                             [this, i](const QByteArray &bytes) {
                                 cams[i].commands << bytes;
                                 cams[i].times << clock.elapsed();
                             });
            QObject::connect(c.sim.get(), &CameraSimulator::httpRequestReceived, this,
                             [this, i](const QString &target) { cams[i].httpTargets << target; });
            auto *ip = qobject_cast<IPCamera *>(camera(i));
            if (!ip)
                return false;
            ip->setViscaPort(c.sim->viscaPort());
            ip->setHttpPort(c.sim->httpPort());
            ip->setPollInterval(kFastPollMs);
        }
        return true;
    }

    void clearLogs()
    {
        for (SimulatedCamera &c : cams) {
            c.commands.clear();
            c.times.clear();
            c.httpTargets.clear();
        }
    }

    // Leaves the window with no camera connected and selected.
    void disconnectAll()
    {
        MainWindow *w = window();
        w->control()->clearSelection();
        for (int i = 0; i < kSimulatedCameras; ++i)
            QTRY_COMPARE_WITH_TIMEOUT(cams[i].sim->openConnections(), 0, kWait);
    }

    // Selects camera index and waits until it is connected and the one-time
    // copy of its values into the widgets is done; nothing when that is the
    // window's state already.
    void connectCamera(int index)
    {
        MainWindow *w = window();
        if (w->cameraConnected() && w->currentCamera() == camera(index) && w->uiSyncState == 2)
            return;
        // The copy follows the first poll cycle; its slots run queued, in
        // order, so once a second cycle has been reported the first one's
        // copy has run.
        QSignalSpy cycles(w->control(), &CameraControl::readOneCycle);
        w->selectCamera(index);
        QTRY_VERIFY_WITH_TIMEOUT(w->cameraConnected() && w->currentCamera() == camera(index),
                                 kWait);
        QTRY_VERIFY_WITH_TIMEOUT(cycles.size() >= 2, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(w->uiSyncState, 2, kWait);
    }

    // Barrier: a zoom stop (harmless) sent through camera index's own
    // connection; once it has arrived, so has everything the panel sent
    // before it. The barrier itself is taken off the log.
    void barrier(int index)
    {
        const QByteArray stop = hex("8101040700ff");
        camera(index)->zoomStop();
        QTRY_VERIFY_WITH_TIMEOUT(cams[index].commands.contains(stop), kWait);
        cams[index].commands.removeAll(stop);
    }

    // No simulator holds a connection: nothing the panel does can reach one.
    bool allUnconnected() const
    {
        for (const SimulatedCamera &c : cams)
            if (c.sim->openConnections() != 0)
                return false;
        return true;
    }

    // Sends raw VISCA messages to simulator index over a connection of its
    // own and waits for each completion (or error) reply.
    bool sendRaw(int index, const QList<QByteArray> &messages)
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress(cameraId(index)), cams[index].sim->viscaPort());
        if (!socket.waitForConnected(kWait))
            return false;
        for (const QByteArray &m : messages) {
            socket.write(m);
            QByteArray in;
            QElapsedTimer t;
            t.start();
            while (!in.contains(hex("9051ff")) && !in.contains(hex("906002ff"))) {
                if (t.elapsed() > kWait)
                    return false;
                QTest::qWait(5);
                in += socket.readAll();
            }
        }
        return true;
    }

    // Puts simulator index back to the panel-relevant defaults: AE auto,
    // shutter 1, iris 0, bright 7, luminance, contrast and hue 7, white
    // balance auto, flip and mirror off.
    bool resetCameraState(int index)
    {
        return sendRaw(index,
                       {hex("8101043900ff"), hex("8101044a00000001ff"), hex("8101044b00000000ff"),
                        hex("8101044d00000007ff"), hex("810104a100000007ff"),
                        hex("810104a200000007ff"), hex("8101044f00000007ff"), hex("8101043500ff"),
                        hex("8101046603ff"), hex("8101046103ff")});
    }

    // Stores the exposure of preset n of camera cam: AE mode, shutter, iris,
    // bright (list indices), luminance, contrast, hue (slider values), white
    // balance (list index).
    void storeExposure(int cam, int n, const QList<int> &v)
    {
        AppSettings *s = settings();
        const QString id = cameraId(cam);
        s->setPresetAeMode(id, n, v.value(0));
        s->setPresetShutterSpeed(id, n, v.value(1));
        s->setPresetIris(id, n, v.value(2));
        s->setPresetBrightness(id, n, v.value(3));
        s->setPresetLuminance(id, n, v.value(4));
        s->setPresetContrast(id, n, v.value(5));
        s->setPresetHue(id, n, v.value(6));
        s->setPresetWbMode(id, n, v.value(7));
    }

    // Reads a key straight from settings.ini after pending writes reached it.
    QVariant storedValue(const QString &key) const
    {
        settings()->sync();
        QSettings raw(settings()->fileName(), QSettings::IniFormat);
        return raw.value(key);
    }

    QElapsedTimer clock;
    SimulatedCamera cams[kSimulatedCameras];
};

// Base of the suites: the harness and the window's widgets by object name.
class PanelTest : public QObject
{
protected:
    MainWindow *w() const { return h.window(); }
    template <typename T> T *child(const QString &name) const { return w()->findChild<T *>(name); }

    // No camera connected, every simulator at its defaults, "store exposure
    // with presets" off, logs empty.
    void resetPanel()
    {
        h.disconnectAll();
        for (int i = 0; i < kSimulatedCameras; ++i)
            QVERIFY(h.resetCameraState(i));
        child<QCheckBox>("storeExposure")->setChecked(false);
        h.clearLogs();
    }

    Harness h;
};

// Closes every message box that opens while it lives (camera errors are
// shown by the window's message presenter) and keeps their texts.
class MessageBoxCloser
{
public:
    explicit MessageBoxCloser(MessagePresenter *messages)
    {
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [this, messages] {
            if (QMessageBox *box = messages->currentBox()) {
                texts << box->text();
                box->done(0);
            }
        });
        timer.start();
    }

    QStringList texts;

private:
    QTimer timer;
};

// What the name dialog showed before it was answered.
struct NameDialogSeen
{
    bool shown = false;
    QString title;
    QString label;
    QString text;
};

// Answers the next modal text input dialog: accepts it with `text`, or
// rejects it when `accept` is false.
inline void answerNameDialog(NameDialogSeen *seen, bool accept, const QString &text = QString())
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto *dlg = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        timer->stop();
        timer->deleteLater();
        seen->shown = true;
        seen->title = dlg->windowTitle();
        seen->label = dlg->labelText();
        seen->text = dlg->textValue();
        if (accept) {
            dlg->setTextValue(text);
            dlg->accept();
        } else {
            dlg->reject();
        }
    });
    timer->start();
}

} // namespace PanelHarness

// main() of a suite: one CorvantaApp on a throw-away data folder.
#define PANEL_TEST_MAIN(TestClass)                                                                 \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        TempDataHome home;                                                                         \
        CorvantaApp app(argc, argv);                                                               \
        TestClass tc;                                                                              \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
