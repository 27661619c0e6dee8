// The main window's preview, image preview map and preset setting dialog over
// recording cameras and a fake player: they follow the layer's selection,
// their camera actions reach the layer, and a rebuild or switch under them
// leaves nothing playing or moving.
#include "boundingboxsettings.h"
#include "fakemediaplayer.h"
#include "multicameras.h"
#include "presetsettingdlg.h"
#include "previewwin.h"
#include "recordingpanel.h"
#include "resources.h"

#include <QAction>
#include <QLineEdit>

class TestMainWindowPreview : public RecordingPanel
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
    // (the old objects stopped, disconnected and released, the windows let go),
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
        QCOMPARE(old->calls.mid(2), QStringList{"disconnectCamera"});
        QVERIFY(!w->currentCamera() && w->presetSettingDialog()->cameraId().isEmpty());
        QCOMPARE(child("connectCam1")->text(), QStringLiteral("Studio lef"));
        QTRY_VERIFY(!old);
    }

private:
    void openPreview() { child<QAction>("actionPreviewWindow")->trigger(); }

    std::shared_ptr<QStringList> log;
    PreviewWin *preview = nullptr;
};

QTEST_MAIN(TestMainWindowPreview)
#include "tst_mainwindowpreview.moc"
