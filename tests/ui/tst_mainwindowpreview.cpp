#include "appsettings.h"
#include "boundingboxsettings.h"
#include "cameracontrol.h"
#include "fakemediaplayer.h"
#include "fakev4l2io.h"
#include "mainwindow.h"
#include "multicameras.h"
#include "presetsettingdlg.h"
#include "previewwin.h"
#include "recordingcamera.h"
#include "resources.h"
#include "storagepaths.h"
#include "usbcamera.h"
#include "v4l2backend.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <memory>

// The main window's preview, image preview map and preset setting dialog over
// recording cameras and a fake player: they follow the layer's selection,
// their camera actions reach the layer, and a rebuild or switch under them
// leaves nothing playing or moving.
class TestMainWindowPreview : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Resources::init(); }
    void init();
    void cleanup();

    void previewFollowsTheSelection_data();
    void previewFollowsTheSelection();
    void previewOnLaunchOpensWithTheFirstConnection();
    void heldPadReleaseReachesTheOldCamera_data();
    void heldPadReleaseReachesTheOldCamera();
    void mapAndPreviewActionsReachTheCamera();
    void osdMenuSwitchesToTheMainStream();
    void cameraDialogRebuildsUnderAMovingCamera_data();
    void cameraDialogRebuildsUnderAMovingCamera();
    void usbPreviewPlaysTheCamerasOwnNode_data();
    void usbPreviewPlaysTheCamerasOwnNode();
    void previewAndMapTextReadableAtMinimumSize_data();
    void previewAndMapTextReadableAtMinimumSize();

private:
    RecordingCamera *cam(int i) const { return static_cast<RecordingCamera *>(c->cameraAt(i)); }
    void connectTo(int i)
    {
        w->selectCamera(i);
        QVERIFY(c->canDrive());
        QCoreApplication::processEvents(); // the queued connection handling
        for (int k = 0; k < c->cameraCount(); ++k)
            cam(k)->calls.clear();
    }

    std::shared_ptr<QStringList> log;
    AppSettings *s = nullptr;
    CameraControl *c = nullptr;
    MainWindow *w = nullptr;
};

void TestMainWindowPreview::init()
{
    QFile::remove(Storage::userFolder() + "/settings.ini");
    s = new AppSettings;
    c = new CameraControl(s);
    QList<CameraWrapper *> list;
    // Loopback ids: a rebuilt camera list holds real network cameras.
    for (int i = 0; i < 8; ++i)
        list << new RecordingCamera(QStringLiteral("127.0.0.%1").arg(i + 1),
                                    QStringLiteral("Recording camera %1").arg(i + 1));
    for (CameraWrapper *camera : list)
        static_cast<RecordingCamera *>(camera)->reportsDisconnect = true;
    c->setCameras(list);
    log = std::make_shared<QStringList>();
    w = new MainWindow(s, c, nullptr, nullptr, std::make_unique<FakePlayer>(log));
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
}

void TestMainWindowPreview::cleanup()
{
    delete w;
    delete c;
    delete s;
}

void TestMainWindowPreview::previewFollowsTheSelection_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("player");
    QTest::addColumn<bool>("playing");
    QTest::newRow("switch") << "switch" << QStringList{"stop", "start rtsp://127.0.0.2/1"} << true;
    QTest::newRow("rebuild") << "rebuild" << QStringList{"stop"} << false;
    QTest::newRow("disconnect") << "disconnect" << QStringList{"stop"} << false;
}

// Closed, the preview stays closed on a connection; opened, it plays the
// connected camera and follows the selection; a camera that goes away stops it.
void TestMainWindowPreview::previewFollowsTheSelection()
{
    QFETCH(QString, change);
    QFETCH(QStringList, player);
    QFETCH(bool, playing);
    PreviewWin *preview = w->previewWindow();
    preview->setFirstStreamChecked(true);
    connectTo(0);
    QVERIFY(log->isEmpty());
    QVERIFY(!preview->isVisible());
    w->findChild<QAction *>("actionPreviewWindow")->trigger();
    QVERIFY(preview->isPlaying());
    QCOMPARE(*log, QStringList{"start rtsp://127.0.0.1/1"});
    log->clear();

    if (change == "switch")
        w->selectCamera(1);
    else if (change == "rebuild")
        w->rebuildCameraList();
    else
        cam(0)->disconnectCamera();
    QCoreApplication::processEvents();
    QCOMPARE(*log, player);
    QCOMPARE(preview->isPlaying(), playing);
    QVERIFY(preview->isVisible());
}

void TestMainWindowPreview::previewOnLaunchOpensWithTheFirstConnection()
{
    s->setPreviewOnLaunch(true);
    delete w;
    w = new MainWindow(s, c, nullptr, nullptr, std::make_unique<FakePlayer>(log));
    w->show();
    PreviewWin *preview = w->previewWindow();
    preview->setFirstStreamChecked(true);
    QVERIFY(!preview->isVisible());
    connectTo(0);
    QVERIFY(preview->isVisible());
    QVERIFY(preview->isPlaying());
    QCOMPARE(log->last(), QStringLiteral("start rtsp://127.0.0.1/1"));
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
    QCOMPARE(first->calls, QStringList{"moveLeft(" + pan + ",0)"});

    if (rebuild)
        w->rebuildCameraList();
    else
        w->selectCamera(1);
    QVERIFY(first);
    QCOMPARE(first->calls.mid(1, 2),
             (QStringList{"moveStop(" + pan + "," + tilt + ")", "disconnectCamera"}));
    QCOMPARE(first->calls.filter("move").size(), 2);
    if (!rebuild) {
        QCOMPARE(second->calls, QStringList{"connectCamera"});
        QCOMPARE(dlg->cameraId(), QStringLiteral("127.0.0.2"));
    } else {
        QVERIFY(dlg->cameraId().isEmpty());
    }
    // The late button release sends nothing more.
    dlg->onMoveLeftBtnReleased();
    QCoreApplication::processEvents();
    QCOMPARE(first->calls.filter("move").size(), 2);
}

// Boxes recall preset 100 + n and store it through the layer; Home goes to the
// selected camera; all only while the preview plays.
void TestMainWindowPreview::mapAndPreviewActionsReachTheCamera()
{
    PreviewWin *preview = w->previewWindow();
    BoundingBoxSettings *map = w->boundingBoxWindow();
    w->findChild<QAction *>("actionPreviewWindow")->trigger();
    w->findChild<QAction *>("actionBoundingBoxSetting")->trigger();
    QVERIFY(map->isVisible());
    connectTo(3);
    QVERIFY(preview->isPlaying());

    preview->onPresetCalled(3);
    preview->onHomeBtnClicked();
    map->selectCustomPreset4();
    map->findChild<QLineEdit *>("presetTitleLabel")->setText("Wide");
    map->setCustomPreset();
    QCOMPARE(cam(3)->calls, (QStringList{"callPreset(103)", "moveHome", "setPreset(104)"}));

    preview->onStopBtnClicked();
    cam(3)->calls.clear();
    preview->onPresetCalled(3);
    preview->onHomeBtnClicked();
    QVERIFY(cam(3)->calls.isEmpty());
}

// The camera's on-screen menu is drawn on stream 1 only.
void TestMainWindowPreview::osdMenuSwitchesToTheMainStream()
{
    w->previewWindow()->setFirstStreamChecked(false);
    w->findChild<QAction *>("actionPreviewWindow")->trigger();
    connectTo(0);
    log->clear();
    w->onOsdMenuClicked();
    QCOMPARE(*log, (QStringList{"stop", "start rtsp://127.0.0.1/1"}));
    w->onOsdMenuClicked();
    QCOMPARE(log->size(), 2);
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
    w->findChild<QAction *>("actionPreviewWindow")->trigger();
    connectTo(0);
    QPointer<RecordingCamera> old = cam(0);
    w->onMoveTop();
    QCOMPARE(old->calls.size(), 1);

    bool seen = false;
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<MultiCameras *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        seen = true;
        timer.stop();
        dialog->findChild<QLineEdit *>("camName1")->setText("Studio left");
        dialog->findChild<QPushButton *>(accept ? "multiDlgOK" : "multiDlgCancel")->click();
    });
    timer.start(10);
    w->findChild<QAction *>("actionMultiCameras")->trigger();
    QVERIFY(seen);
    QCOMPARE(old->calls.value(1), QStringLiteral("moveStop(0,0)"));

    if (!accept) {
        QCOMPARE(c->cameraAt(0), old.data());
        QVERIFY(w->previewWindow()->isPlaying());
        return;
    }
    QCOMPARE(old->calls.mid(2), QStringList{"disconnectCamera"});
    QVERIFY(!w->currentCamera());
    QVERIFY(!w->previewWindow()->isPlaying());
    QVERIFY(w->presetSettingDialog()->cameraId().isEmpty());
    QCOMPARE(w->findChild<QPushButton *>("connectCam1")->text(), QStringLiteral("Studio lef"));
    QCOMPARE(c->cameraAt(0)->getCameraId(), QStringLiteral("127.0.0.1"));
    QTRY_VERIFY(!old);
}

void TestMainWindowPreview::usbPreviewPlaysTheCamerasOwnNode_data()
{
    QTest::addColumn<bool>("autoReconnect");
    QTest::newRow("back by itself") << true;
    QTest::newRow("selected again") << false;
}

// Two cameras of one model: the second plays its own node, also after it was
// unplugged and came back on another node, kept selected by auto reconnect or
// selected again.
void TestMainWindowPreview::usbPreviewPlaysTheCamerasOwnNode()
{
    QFETCH(bool, autoReconnect);
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
    c->setAutoReconnect(autoReconnect);
    w->selectCamera(0);
    QTRY_VERIFY(c->canDrive());
    QCoreApplication::processEvents(); // the queued connection handling
    w->findChild<QAction *>("actionPreviewWindow")->trigger();
    QCOMPARE(log->value(log->size() - 1), QStringLiteral("start /dev/video2"));

    io->unplug(1);
    QTRY_VERIFY(!usb->isConnected());
    QCoreApplication::processEvents();
    QCOMPARE(c->camera(), autoReconnect ? usb : nullptr);
    if (!autoReconnect)
        QCOMPARE(log->value(log->size() - 1), QStringLiteral("stop"));
    io->devices[1].path = "/dev/video4";
    io->plug(1);
    if (!autoReconnect)
        w->selectCamera(0);
    QTRY_COMPARE(log->value(log->size() - 1), QStringLiteral("start /dev/video4"));
    QVERIFY(c->canDrive());
    c->releaseCameras();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestMainWindowPreview::previewAndMapTextReadableAtMinimumSize_data()
{
    QTest::addColumn<bool>("map");
    QTest::addColumn<bool>("darkSettings");
    for (const bool map : {false, true}) {
        for (const bool dark : {false, true})
            QTest::addRow("%s, %s settings", map ? "map" : "preview", dark ? "dark" : "light")
                << map << dark;
    }
}

namespace {

double luminance(QRgb c)
{
    const auto channel = [](int v) {
        const double x = v / 255.0;
        return x <= 0.03928 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
}

// Contrast ratio between the commonest colour of `image` (its ground) and the
// colour that differs most from it (its text).
double textContrast(const QImage &image)
{
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y) | 0xff000000];
    }
    QRgb ground = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most)
            most = it.value(), ground = it.key();
    }
    const double g = luminance(ground);
    double best = 1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        const double l = luminance(it.key());
        best = std::max(best, (std::max(l, g) + 0.05) / (std::min(l, g) + 0.05));
    }
    return best;
}

} // namespace

void TestMainWindowPreview::previewAndMapTextReadableAtMinimumSize()
{
    QFETCH(bool, map);
    QFETCH(bool, darkSettings);
    // The web pages' theme setting and the desktop's palette change nothing.
    s->setUseDarkTheme(darkSettings);
    const QPalette before = qApp->palette();
    if (darkSettings) {
        QPalette dark = before;
        dark.setColor(QPalette::Window, QColor(45, 45, 45));
        dark.setColor(QPalette::WindowText, Qt::white);
        qApp->setPalette(dark);
    }
    QDialog *window = map ? static_cast<QDialog *>(w->findChild<BoundingBoxSettings *>())
                          : static_cast<QDialog *>(w->findChild<PreviewWin *>());
    window->show();
    // The smallest the operator can make it.
    window->resize(window->minimumSize().isEmpty() ? window->minimumSizeHint()
                                                   : window->minimumSize());
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCoreApplication::processEvents();
    const QImage shot = window->grab().toImage();
    qApp->setPalette(before);

    // Text drawn straight on the window's ground (push buttons bring their own).
    QList<QWidget *> texts;
    for (QLabel *l : window->findChildren<QLabel *>())
        texts << l;
    for (QAbstractButton *b : window->findChildren<QAbstractButton *>()) {
        if (!qobject_cast<QPushButton *>(b))
            texts << b;
    }
    const QWidget *player = window->findChild<QWidget *>("playerWrapper");
    int checked = 0;
    for (QWidget *t : qAsConst(texts)) {
        if (!t->isVisible() || (player && player->isAncestorOf(t)))
            continue; // the map's boxes over the video have their own ground
        const QRect r(t->mapTo(window, QPoint()), t->size());
        QVERIFY2(window->rect().contains(r), qPrintable(t->objectName()));
        QVERIFY2(t->width() >= t->sizeHint().width(), qPrintable(t->objectName()));
        const double contrast = textContrast(shot.copy(r));
        QVERIFY2(contrast >= 4.5,
                 qPrintable(QStringLiteral("%1: contrast %2").arg(t->objectName()).arg(contrast)));
        ++checked;
    }
    QCOMPARE(checked, map ? 2 : 3);
}

QTEST_MAIN(TestMainWindowPreview)
#include "tst_mainwindowpreview.moc"
