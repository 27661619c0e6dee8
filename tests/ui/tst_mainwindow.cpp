// The control panel over recording cameras and a fake preview player: what its
// buttons, menus, preview and map give the layer; that a held move stops when
// a box opens or the camera changes; that the preview follows the selection.
#include "boundingboxsettings.h"
#include "corvantaapp.h"
#include "fakemediaplayer.h"
#include "messagepresenter.h"
#include "multicameras.h"
#include "pantiltlimitdlg.h"
#include "presetsettingdlg.h"
#include "previewwin.h"
#include "recordingpanel.h"
#include "resources.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>

class TestMainWindow : public RecordingPanel
{
    Q_OBJECT
private slots:
    void initTestCase() { Resources::init(); }
    void init()
    {
        log = std::make_shared<QStringList>();
        // Loopback ids: a rebuilt camera list holds real network cameras.
        createPanel({"127.0.0.1", "127.0.0.2"}, std::make_unique<FakePlayer>(log));
        cam(0)->reportsDisconnect = cam(1)->reportsDisconnect = true;
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        preview = w->previewWindow();
    }
    void cleanup() { destroyPanel(); }

    // The speed widgets show the layer's speeds and change them.
    void buttonsAndSpeedsReachTheLayer()
    {
        s->setPanSpeedIndex("127.0.0.1", 9);
        s->setPanTiltLocked("127.0.0.1", false);
        connectTo(0);
        QCOMPARE(child<QComboBox>("panSpeed")->currentIndex(), 9);
        child<QCheckBox>("panTiltLock")->click();
        QCOMPARE(child<QComboBox>("tiltSpeed")->currentIndex(), 6);
        child<QComboBox>("zoomSpeed")->setCurrentIndex(2);
        QCOMPARE(c->speed(CameraControl::Zoom), 3);
        for (const char *button : {"MoveTop", "angleDownRight", "MoveHome", "ZoomOut"}) {
            press(button);
            release(button);
        }
        const QString pan = QString::number(c->speed(CameraControl::Pan)),
                      tilt = QString::number(c->speed(CameraControl::Tilt));
        QCOMPARE(cam(0)->calls,
                 (QStringList{"moveUp(0," + tilt + ')', "moveStop(0,0)",
                              "moveDownRight(" + pan + ',' + tilt + ')', "moveStop(0,0)",
                              "moveHome", "zoomOut(3)", "zoomStop"}));
    }
    // A box opens while a move button is held; the release goes to the box.
    void boxOverAHeldButtonStopsTheCamera()
    {
        connectTo(0);
        press("MoveLeft");
        w->messages()->show(QStringLiteral("Operation canceled"));
        QVERIFY(!w->messages()->currentBox()); // never inside the caller
        QTRY_VERIFY(w->messages()->currentBox());
        QCOMPARE(cam(0)->calls, (QStringList{"moveLeft(8,0)", "moveStop(0,0)"}));
        w->messages()->currentBox()->done(0);
    }
    // Move Left held on camera 1 while a switcher selects camera 2: camera 1 gets
    // its stop before its disconnect. The switcher reaches cameras 1-4 only.
    void releaseAfterASwitchStopsTheFirstCamera()
    {
        connectTo(0);
        press("MoveLeft");
        w->onSwitchCamera(5);
        QCOMPARE(w->currentCamera(), cam(0));
        w->onSwitchCamera(2);
        release("MoveLeft");
        QCOMPARE(cam(0)->calls,
                 (QStringList{"moveLeft(8,0)", "moveStop(0,0)", "disconnectCamera"}));
        QCOMPARE(cam(1)->calls, (QStringList{"connectCamera", "moveStop(0,0)"}));
    }
    // Bytes outside a nibble are printed whole, without padding. Only the
    // selected camera is shown: a switch resets the readouts.
    void statusTextsFollowTheSelectedCamera()
    {
        connectTo(0);
        const auto shown = [this](const char *hex) {
            memcpy(cam(0)->status().panTiltPos, QByteArray::fromHex(hex).constData(), 8);
            w->updateStatus();
            return statusText("panStatus") + ' ' + statusText("tiltStatus");
        };
        QCOMPARE(shown("000a030f00000001"), QStringLiteral("Pan:0a3f Tilt:0001"));
        QCOMPARE(shown("10000000000000ff"), QStringLiteral("Pan:10000 Tilt:000ff"));
        cam(0)->setStale(true);
        QTRY_COMPARE(statusText("connectionStatus"), QStringLiteral("Not Responding"));
        cam(1)->connectsAtOnce = false;
        w->selectCamera(1);
        emit cam(0)->clientStatusUpdated();
        cam(0)->setStale(true);
        QCoreApplication::processEvents();
        QCOMPARE(statusText("panStatus") + statusText("deviceNameStatus") +
                     statusText("connectionStatus"),
                 "PanDevice NameUnconnected");
    }
    // "Exit" ends the process at once; what the settings store still holds in its
    // deferred write-back reaches the file first (this executable as a child).
    void exitWritesPendingSettings()
    {
        QTemporaryDir home;
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--exit-child", home.path()});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitCode(), 0);
        QSettings written(home.path() + "/tst_mainwindow/corvanta-controller/settings.ini",
                          QSettings::IniFormat);
        QCOMPARE(written.value("snapshotpath").toString(), QStringLiteral("/pending/path"));
    }

    void previewFollowsTheSelection_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("player");
        QTest::newRow("switch") << "switch" << QStringList{"stop", "start rtsp://127.0.0.2/1"};
        QTest::newRow("rebuild") << "rebuild" << QStringList{"stop"};
        QTest::newRow("disconnect") << "disconnect" << QStringList{"stop"};
    }
    // Closed, the preview stays closed on a connection; opened, it plays the
    // connected camera and follows the selection; a camera that goes away stops
    // it. The on-screen menu is drawn on stream 1 only.
    void previewFollowsTheSelection()
    {
        QFETCH(QString, change);
        QFETCH(QStringList, player);
        connectTo(0);
        QVERIFY(log->isEmpty() && !preview->isVisible());
        openPreview();
        w->onOsdMenuClicked();
        QCOMPARE(*log,
                 (QStringList{"start rtsp://127.0.0.1/2", "stop", "start rtsp://127.0.0.1/1"}));
        log->clear();
        if (change == "switch")
            w->selectCamera(1);
        else if (change == "rebuild")
            w->rebuildCameraList();
        else
            cam(0)->disconnectCamera();
        QCoreApplication::processEvents();
        QCOMPARE(*log, player);
        QCOMPARE(preview->isPlaying(), change == "switch");
    }
    void previewOnLaunchOpensWithTheFirstConnection()
    {
        s->setPreviewOnLaunch(true);
        delete w;
        w = new MainWindow(s, c, nullptr, nullptr, std::make_unique<FakePlayer>(log));
        QVERIFY(!w->previewWindow()->isVisible());
        connectTo(0);
        QVERIFY(w->previewWindow()->isVisible() && w->previewWindow()->isPlaying());
    }
    // Boxes recall preset 100 + n and store it through the layer; Home goes to the
    // selected camera.
    void mapAndPreviewActionsReachTheCamera()
    {
        BoundingBoxSettings *map = w->boundingBoxWindow();
        openPreview();
        child<QAction>("actionBoundingBoxSetting")->trigger();
        connectTo(1);
        preview->onPresetCalled(3);
        preview->onHomeBtnClicked();
        map->selectCustomPreset4();
        map->findChild<QLineEdit *>("presetTitleLabel")->setText("Wide");
        map->setCustomPreset();
        QCOMPARE(cam(1)->calls, (QStringList{"callPreset(103)", "moveHome", "setPreset(104)"}));
    }
    void cameraDialogRebuildsUnderAMovingCamera_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("OK") << true;
        QTest::newRow("Cancel") << false;
    }
    // Settings -> Multi Cameras Setting while the selected camera moves and the
    // preview plays: the camera is stopped before the dialog; OK rebuilds the list
    // (the windows let go of the old objects; their release: tst_cameracontrol),
    // Cancel keeps it.
    void cameraDialogRebuildsUnderAMovingCamera()
    {
        QFETCH(bool, accept);
        openPreview();
        connectTo(0);
        QPointer<RecordingCamera> old = cam(0);
        w->onMoveTop();
        onNextModal<MultiCameras>([&](MultiCameras *dialog) {
            dialog->findChild<QLineEdit *>("camName1")->setText("Studio left");
            dialog->findChild<QPushButton *>(accept ? "multiDlgOK" : "multiDlgCancel")->click();
        });
        child<QAction>("actionMultiCameras")->trigger();
        QCOMPARE(old->calls.mid(1, 1), QStringList{"moveStop(0,0)"});
        QCOMPARE(preview->isPlaying(), !accept);
        if (!accept)
            return;
        QVERIFY(!w->currentCamera() && w->presetSettingDialog()->cameraId().isEmpty());
        QCOMPARE(child("connectCam1")->text(), QStringLiteral("Studio lef"));
    }

private:
    void openPreview() { child<QAction>("actionPreviewWindow")->trigger(); }

    std::shared_ptr<QStringList> log;
    PreviewWin *preview = nullptr;
    void press(const char *button) { QTest::mousePress(child(button), Qt::LeftButton); }
    void release(const char *button) { QTest::mouseRelease(child(button), Qt::LeftButton); }
    QAction *action(const char *name) const { return child<QAction>(name); }
};

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--exit-child") == 0) {
        // One settings change still pending, then "Exit".
        qputenv("XDG_DATA_HOME", argv[2]);
        CorvantaApp app(argc = 1, argv);
        app.settings()->setSnapshotPath("/pending/path");
        app.mainWindow()->findChild<QAction *>("actionExit")->trigger();
        return 3;
    }
    QApplication app(argc, argv);
    TestMainWindow tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_mainwindow.moc"
