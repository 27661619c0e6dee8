// The main window's preview, image preview map and preset setting dialog over
// recording cameras and a fake player: they follow the layer's selection,
// their camera actions reach the layer, and a rebuild or switch under them
// leaves nothing playing or moving.
#include "boundingboxsettings.h"
#include "fakemediaplayer.h"
#include "fakev4l2io.h"
#include "multicameras.h"
#include "presetsettingdlg.h"
#include "previewwin.h"
#include "recordingpanel.h"
#include "resources.h"
#include "usbcamera.h"
#include "v4l2backend.h"

#include <QAbstractButton>
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

    void previewFollowsTheSelection_data();
    void previewFollowsTheSelection();
    void previewOnLaunchOpensWithTheFirstConnection();
    void heldPadReleaseReachesTheOldCamera_data();
    void heldPadReleaseReachesTheOldCamera();
    void mapAndPreviewActionsReachTheCamera();
    void cameraDialogRebuildsUnderAMovingCamera_data();
    void cameraDialogRebuildsUnderAMovingCamera();
    void usbPreviewPlaysTheCamerasOwnNode();
    void previewAndMapTextReadableAtMinimumSize_data();
    void previewAndMapTextReadableAtMinimumSize();

private:
    void openPreview() { child<QAction>("actionPreviewWindow")->trigger(); }

    std::shared_ptr<QStringList> log;
    PreviewWin *preview = nullptr;
};

void TestMainWindowPreview::previewFollowsTheSelection_data()
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
void TestMainWindowPreview::previewFollowsTheSelection()
{
    QFETCH(QString, change);
    QFETCH(QStringList, player);
    connectTo(0);
    QVERIFY(log->isEmpty() && !preview->isVisible());
    openPreview();
    w->onOsdMenuClicked();
    QCOMPARE(*log, (QStringList{"start rtsp://127.0.0.1/2", "stop", "start rtsp://127.0.0.1/1"}));
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

void TestMainWindowPreview::previewOnLaunchOpensWithTheFirstConnection()
{
    s->setPreviewOnLaunch(true);
    delete w;
    w = new MainWindow(s, c, nullptr, nullptr, std::make_unique<FakePlayer>(log));
    QVERIFY(!w->previewWindow()->isVisible());
    connectTo(0);
    QVERIFY(w->previewWindow()->isVisible() && w->previewWindow()->isPlaying());
}

void TestMainWindowPreview::heldPadReleaseReachesTheOldCamera_data()
{
    QTest::addColumn<bool>("rebuild");
    QTest::newRow("switch") << false;
    QTest::newRow("rebuild") << true;
}

// A pad button held in the preset dialog while the camera changes: the camera
// it moves gets its stop (with the dialog's speeds), the next one nothing.
void TestMainWindowPreview::heldPadReleaseReachesTheOldCamera()
{
    QFETCH(bool, rebuild);
    connectTo(0);
    QPointer<RecordingCamera> first = cam(0);
    RecordingCamera *second = cam(1);
    PresetSettingDlg *dlg = w->presetSettingDialog();
    w->onPresetSettingDlgClicked();
    const QString pan = QString::number(c->speed(CameraControl::Pan));
    const QString tilt = QString::number(c->speed(CameraControl::Tilt));
    dlg->onMoveLeftBtnPressed();
    rebuild ? w->rebuildCameraList() : w->selectCamera(1);
    QVERIFY(first);
    QCOMPARE(first->calls, (QStringList{"moveLeft(" + pan + ",0)",
                                        "moveStop(" + pan + "," + tilt + ")", "disconnectCamera"}));
    QCOMPARE(dlg->cameraId(), rebuild ? QString() : QStringLiteral("127.0.0.2"));
    if (!rebuild)
        QCOMPARE(second->calls, QStringList{"connectCamera"});
    dlg->onMoveLeftBtnReleased(); // the late release sends nothing more
    QCoreApplication::processEvents();
    QCOMPARE(first->calls.size(), 3);
}

// Boxes recall preset 100 + n and store it through the layer; Home goes to the
// selected camera; all only while the preview plays.
void TestMainWindowPreview::mapAndPreviewActionsReachTheCamera()
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
    preview->onStopBtnClicked();
    cam(1)->calls.clear();
    preview->onPresetCalled(3);
    preview->onHomeBtnClicked();
    QVERIFY(cam(1)->calls.isEmpty());
}

void TestMainWindowPreview::cameraDialogRebuildsUnderAMovingCamera_data()
{
    QTest::addColumn<bool>("accept");
    QTest::newRow("OK") << true;
    QTest::newRow("Cancel") << false;
}

// Settings -> Multi Cameras Setting while the selected camera moves and the
// preview plays: the camera is stopped before the dialog; OK rebuilds the list
// (the old objects stopped, disconnected and released, the windows let go),
// Cancel keeps it.
void TestMainWindowPreview::cameraDialogRebuildsUnderAMovingCamera()
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

// Two cameras of one model: the second plays its own node, also after it was
// unplugged and came back on another node.
void TestMainWindowPreview::usbPreviewPlaysTheCamerasOwnNode()
{
    auto io = std::make_shared<FakeIo>();
    const Ctrls ctrls{{V4L2_CID_PAN_ABSOLUTE, {-36000, 36000, 0, 0}}};
    io->devices = {{"/dev/video0", "HD Cam", V4L2_CAP_VIDEO_CAPTURE, ctrls, "usb-1.1"},
                   {"/dev/video2", "HD Cam", V4L2_CAP_VIDEO_CAPTURE, ctrls, "usb-1.2"}};
    V4l2Backend backend(io);
    c->releaseCameras();
    auto *usb = new USBCamera("HD Cam (2)", "Desk", "HD Cam (2)", &backend);
    usb->setPollInterval(1);
    usb->setReconnectInterval(1);
    c->setCameras({usb});
    c->setAutoReconnect(true);
    w->selectCamera(0);
    QTRY_VERIFY(c->canDrive());
    QCoreApplication::processEvents(); // the queued connection handling
    openPreview();
    QCOMPARE(log->last(), QStringLiteral("start /dev/video2"));
    io->unplug(1);
    QTRY_VERIFY(!usb->isConnected());
    io->devices[1].path = "/dev/video4";
    io->plug(1);
    QTRY_COMPARE(log->last(), QStringLiteral("start /dev/video4"));
    c->releaseCameras();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestMainWindowPreview::previewAndMapTextReadableAtMinimumSize_data()
{
    QTest::addColumn<bool>("map");
    QTest::addColumn<bool>("dark");
    QTest::newRow("preview, light") << false << false;
    QTest::newRow("preview, dark") << false << true;
    QTest::newRow("map, light") << true << false;
    QTest::newRow("map, dark") << true << true;
}

// Label text drawn on the window's ground stays readable (contrast 4.5 or
// more, not clipped) at the smallest size, whatever the web pages' theme
// setting and the desktop's palette.
void TestMainWindowPreview::previewAndMapTextReadableAtMinimumSize()
{
    QFETCH(bool, map);
    QFETCH(bool, dark);
    s->setUseDarkTheme(dark);
    const QPalette before = qApp->palette();
    if (dark) {
        QPalette palette = before;
        palette.setColor(QPalette::Window, QColor(45, 45, 45));
        palette.setColor(QPalette::WindowText, Qt::white);
        qApp->setPalette(palette);
    }
    QDialog *window = map ? static_cast<QDialog *>(w->boundingBoxWindow()) : preview;
    window->show();
    window->resize(window->minimumSize().isEmpty() ? window->minimumSizeHint()
                                                   : window->minimumSize());
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const QImage shot = window->grab().toImage();
    qApp->setPalette(before);
    const auto luminance = [](QRgb c) {
        const auto channel = [](int v) {
            return std::pow(v / 255.0, 2.2);
        };
        return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
    };
    const QWidget *player = window->findChild<QWidget *>("playerWrapper");
    int checked = 0;
    for (QWidget *t : window->findChildren<QWidget *>()) {
        if (!t->isVisible() || (player && player->isAncestorOf(t)) ||
            qobject_cast<QPushButton *>(t) ||
            !(qobject_cast<QLabel *>(t) || qobject_cast<QAbstractButton *>(t)))
            continue; // push buttons and the map's boxes bring their own ground
        const QRect r(t->mapTo(window, QPoint()), t->size());
        QVERIFY2(window->rect().contains(r) && t->width() >= t->sizeHint().width(),
                 qPrintable(t->objectName()));
        QHash<QRgb, int> counts; // the commonest colour is the ground
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x)
                ++counts[shot.pixel(x, y) | 0xff000000];
        }
        const QList<int> n = counts.values();
        const double g = luminance(counts.key(*std::max_element(n.begin(), n.end())));
        double contrast = 1;
        for (QRgb colour : counts.keys()) {
            const double l = luminance(colour);
            contrast = std::max(contrast, (std::max(l, g) + 0.05) / (std::min(l, g) + 0.05));
        }
        QVERIFY2(contrast >= 4.5, qPrintable(t->objectName()));
        ++checked;
    }
    QCOMPARE(checked, map ? 2 : 3);
}

RECORDING_PANEL_MAIN(TestMainWindowPreview)
#include "tst_mainwindowpreview.moc"
