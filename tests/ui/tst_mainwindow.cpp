#include "appsettings.h"
#include "cameracontrol.h"
#include "cameralist.h"
#include "camerasimulator.h"
#include "corvantaapp.h"
#include "helpwindows.h"
#include "ipcamera.h"
#include "mainwindow.h"
#include "messagepresenter.h"
#include "pantiltlimitdlg.h"
#include "recordingcamera.h"
#include "storagepaths.h"
#include "tempdatahome.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstdio>
#include <memory>

// The control panel over recording cameras (a fresh window, layer and
// settings per case), plus one end-to-end pass against camera simulators on
// loopback.
class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void nothingSentBeforeAConnection();
    void speedWidgetsFollowTheLayer();
    void buttonsDriveTheSelectedCamera_data();
    void buttonsDriveTheSelectedCamera();
    void errorBoxOverAHeldButtonStopsTheCamera();
    void releaseAfterASwitchStopsTheFirstCamera();
    void switchResetsStatusReadouts();
    void statusTexts_data();
    void statusTexts();
    void rebuildUnderOpenLimitDialogClosesIt();
    void limitDialogWithoutCameraShowsMessage();
    void boxesAreReadableInTheTheme();
    void compactViewShrinksToItsContent();
    void cancelledSnapshotFolderStoresStart();
    void helpLinksPointAtTheShippedReadme();
    void rebuildLeavesNoCameraSelected();
    void switchCameraFromController();
    void autoReconnectStoredAndApplied();
    void staleRepliesShownForTheSelectedCamera();
    void exitWritesPendingSettings();

    void endToEndAgainstSimulators();

private:
    RecordingCamera *cam(int i) const { return static_cast<RecordingCamera *>(c->cameraAt(i)); }
    template <typename T> T *child(const char *name) const
    {
        T *found = w->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no child %s", name);
        return found;
    }
    QString statusText(const char *name) const { return child<QLabel>(name)->text(); }
    // Camera i selected and connected; call logs cleared.
    void connectTo(int i)
    {
        w->selectCamera(i);
        QVERIFY(c->canDrive());
        QCoreApplication::processEvents(); // the queued connection handling
        for (int k = 0; k < c->cameraCount(); ++k)
            cam(k)->calls.clear();
    }
    // Closes every modal dialog that opens while it runs and keeps its class
    // name and title.
    void closeModalsFor(QStringList *seen)
    {
        auto *timer = new QTimer(w);
        connect(timer, &QTimer::timeout, this, [seen] {
            if (auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                *seen << QStringLiteral("%1 %2").arg(d->metaObject()->className(),
                                                     d->windowTitle());
                d->reject();
            }
        });
        timer->start(10);
    }

    AppSettings *s = nullptr;
    CameraControl *c = nullptr;
    MainWindow *w = nullptr;
};

void TestMainWindow::init()
{
    QFile::remove(Storage::userFolder() + "/settings.ini");
    s = new AppSettings;
    c = new CameraControl(s);
    QList<CameraWrapper *> list;
    for (int i = 0; i < 8; ++i)
        list << new RecordingCamera(QStringLiteral("127.0.1.%1").arg(i + 1),
                                    QStringLiteral("Recording camera %1").arg(i + 1));
    c->setCameras(list);
    w = new MainWindow(s, c);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
}

void TestMainWindow::cleanup()
{
    delete w;
    delete c;
    delete s;
}

void TestMainWindow::nothingSentBeforeAConnection()
{
    QTest::mousePress(child<QPushButton>("MoveTop"), Qt::LeftButton);
    QTest::mouseRelease(child<QPushButton>("MoveTop"), Qt::LeftButton);
    QVERIFY(cam(0)->calls.isEmpty());
}

void TestMainWindow::speedWidgetsFollowTheLayer()
{
    s->setPanSpeedIndex("127.0.1.1", 9);
    s->setTiltSpeedIndex("127.0.1.1", 3);
    s->setPanTiltLocked("127.0.1.1", false);
    connectTo(0);
    QComboBox *pan = child<QComboBox>("panSpeed");
    QComboBox *tilt = child<QComboBox>("tiltSpeed");
    QCOMPARE(pan->count(), 24);
    QCOMPARE(pan->currentText(), QStringLiteral("10"));
    QCOMPARE(tilt->currentText(), QStringLiteral("4"));
    QVERIFY(!child<QCheckBox>("panTiltLock")->isChecked());

    child<QCheckBox>("panTiltLock")->click(); // on: both at index 6
    QCOMPARE(pan->currentIndex(), 6);
    QCOMPARE(tilt->currentIndex(), 6);
    pan->setCurrentIndex(22); // shared index clamps to 19
    QCOMPARE(pan->currentIndex(), 19);
    QCOMPARE(tilt->currentIndex(), 19);
    QCOMPARE(s->tiltSpeedIndex("127.0.1.1"), 19);
    child<QComboBox>("zoomSpeed")->setCurrentIndex(2);
    QCOMPARE(c->speed(CameraControl::Zoom), 3);
}

void TestMainWindow::buttonsDriveTheSelectedCamera_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("calls");
    // Default speed indices: pan and tilt 7 ("8"), zoom and focus 5 ("6").
    QTest::newRow("up") << "MoveTop" << QStringList{"moveUp(0,8)", "moveStop(0,0)"};
    QTest::newRow("left") << "MoveLeft" << QStringList{"moveLeft(8,0)", "moveStop(0,0)"};
    QTest::newRow("down-right") << "angleDownRight"
                                << QStringList{"moveDownRight(8,8)", "moveStop(0,0)"};
    QTest::newRow("home: no release") << "MoveHome" << QStringList{"moveHome"};
    QTest::newRow("zoom") << "ZoomOut" << QStringList{"zoomOut(6)", "zoomStop"};
}

void TestMainWindow::buttonsDriveTheSelectedCamera()
{
    QFETCH(QString, button);
    QFETCH(QStringList, calls);
    connectTo(0);
    QPushButton *b = child<QPushButton>(button.toLatin1());
    QTest::mousePress(b, Qt::LeftButton);
    QTest::mouseRelease(b, Qt::LeftButton);
    QCOMPARE(cam(0)->calls, calls);
}

// A box opens (a camera error) while a move button is held; the release goes
// to the box. The camera must not keep moving.
void TestMainWindow::errorBoxOverAHeldButtonStopsTheCamera()
{
    connectTo(0);
    QTest::mousePress(child<QPushButton>("MoveLeft"), Qt::LeftButton);
    w->messages()->show(QStringLiteral("Operation canceled"));
    QVERIFY(!w->messages()->currentBox()); // never inside the caller
    QTRY_VERIFY(w->messages()->currentBox());
    QCOMPARE(cam(0)->calls, (QStringList{"moveLeft(8,0)", "moveStop(0,0)"}));
    w->messages()->currentBox()->done(0);
}

// The operator holds Move Left on camera 1 and a controller switches to
// camera 2: camera 1 gets its stop before its disconnect, the release stops
// nothing on camera 2.
void TestMainWindow::releaseAfterASwitchStopsTheFirstCamera()
{
    connectTo(0);
    QTest::mousePress(child<QPushButton>("MoveLeft"), Qt::LeftButton);
    w->onSwitchCamera(2);
    QTest::mouseRelease(child<QPushButton>("MoveLeft"), Qt::LeftButton);
    QCOMPARE(cam(0)->calls, (QStringList{"moveLeft(8,0)", "moveStop(0,0)", "disconnectCamera"}));
    // Without a move of its own the release reaches the (connected) new
    // camera as a plain stop, as a release always did.
    QCOMPARE(cam(1)->calls, (QStringList{"connectCamera", "moveStop(0,0)"}));
}

void TestMainWindow::switchResetsStatusReadouts()
{
    cam(0)->status().panTiltPos[3] = 0xa;
    connectTo(0);
    emit cam(0)->clientStatusUpdated();
    QTRY_COMPARE(statusText("panStatus"), QStringLiteral("Pan:000a"));
    QCOMPARE(statusText("deviceNameStatus"), QStringLiteral("rec-device"));
    cam(1)->connectsAtOnce = false; // a camera that does not answer
    w->selectCamera(1);
    QCOMPARE(statusText("panStatus"), QStringLiteral("Pan"));
    QCOMPARE(statusText("deviceNameStatus"), QStringLiteral("Device Name"));
    QCOMPARE(statusText("serialNumberStatus"), QStringLiteral("Serial Number"));
    QCOMPARE(statusText("connectionStatus"), QStringLiteral("Unconnected"));
    emit cam(0)->clientStatusUpdated(); // the old camera is not shown again
    QCoreApplication::processEvents();
    QCOMPARE(statusText("panStatus"), QStringLiteral("Pan"));
}

void TestMainWindow::statusTexts_data()
{
    QTest::addColumn<QByteArray>("digits");
    QTest::addColumn<QString>("texts"); // pan, tilt
    QTest::newRow("mixed digits") << QByteArray::fromHex("000a030f00000001")
                                  << "Pan:0a3f Tilt:0001";
    // Bytes outside a nibble are printed whole, without padding.
    QTest::newRow("wide byte") << QByteArray::fromHex("10000000000000ff") << "Pan:10000 Tilt:000ff";
}

void TestMainWindow::statusTexts()
{
    QFETCH(QByteArray, digits);
    QFETCH(QString, texts);
    connectTo(0);
    for (int i = 0; i < 8; ++i)
        cam(0)->status().panTiltPos[i] = uint8_t(digits[i]);
    w->updateStatus();
    QCOMPARE(statusText("panStatus") + ' ' + statusText("tiltStatus"), texts);
}

// The camera list is rebuilt (configuration dialog, web API) while the
// pan/tilt limit dialog runs its own event loop: the dialog closes and never
// touches the released camera.
void TestMainWindow::rebuildUnderOpenLimitDialogClosesIt()
{
    connectTo(0);
    QPointer<PanTiltLimitDlg> seen;
    QTimer::singleShot(0, this, [&] {
        seen = qobject_cast<PanTiltLimitDlg *>(QApplication::activeModalWidget());
        QVERIFY(seen);
        c->rebuildCameras();
        // What the operator could still press once the list is rebuilt.
        seen->applyDownLeftLimit();
        seen->moveUp();
    });
    child<QAction>("actionPanTiltLimitSetting")->trigger(); // returns when closed
    QVERIFY(!seen);
    QVERIFY(!w->currentCamera());
    QCOMPARE(statusText("connectionStatus"), QStringLiteral("Unconnected"));
}

void TestMainWindow::limitDialogWithoutCameraShowsMessage()
{
    QStringList modals;
    closeModalsFor(&modals);
    child<QAction>("actionPanTiltLimitSetting")->trigger();
    QTRY_VERIFY(w->messages()->currentBox());
    QCOMPARE(w->messages()->currentBox()->text(), QStringLiteral("No camera connected"));
    QVERIFY(modals.isEmpty());
    w->messages()->currentBox()->done(0);
}

// White label text of the theme needs the dark background on every box and
// dialog opened over the window.
void TestMainWindow::boxesAreReadableInTheTheme()
{
    w->messages()->show(QStringLiteral("Readable"));
    QTRY_VERIFY(w->messages()->currentBox());
    QMessageBox *box = w->messages()->currentBox();
    QVERIFY(QTest::qWaitForWindowExposed(box));
    const QImage image = box->grab().toImage();
    QVERIFY2(image.pixelColor(2, 2).lightness() < 80, qPrintable(image.pixelColor(2, 2).name()));
    box->done(0);
}

void TestMainWindow::compactViewShrinksToItsContent()
{
    const int compact = w->width();
    child<QAction>("actionAdvancedMode")->trigger();
    QTRY_VERIFY(w->width() > compact);
    child<QAction>("actionCompactMode")->trigger();
    QTRY_COMPARE(w->width(), compact);
    connectTo(0); // wider speed lists in the (hidden) right panel
    child<QAction>("actionAdvancedMode")->trigger();
    child<QAction>("actionCompactMode")->trigger();
    QTRY_COMPARE(w->width(), compact);
}

void TestMainWindow::cancelledSnapshotFolderStoresStart()
{
    QStringList modals;
    closeModalsFor(&modals);
    child<QAction>("actionSnapshotPath")->trigger();
    QCOMPARE(modals.size(), 1);
    QVERIFY2(modals.first().startsWith("QFileDialog Choose a path to save snapshot"),
             qPrintable(modals.first()));
    QCOMPARE(s->snapshotPath(), Storage::downloadsFolder());
    s->setSnapshotPath("/srv/stills");
    child<QAction>("actionSnapshotPath")->trigger();
    QCOMPARE(s->snapshotPath(), QStringLiteral("/srv/stills"));
}

void TestMainWindow::helpLinksPointAtTheShippedReadme()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("bin"));
    QVERIFY(QDir(dir.path()).mkpath("share/doc/corvanta"));
    const QString bin = dir.path() + "/bin";
    // Nothing shipped yet: beside the program.
    QCOMPARE(HelpWin::readmeFile(bin), bin + "/README.md");
    QFile installed(dir.path() + "/share/doc/corvanta/README.md");
    QVERIFY(installed.open(QIODevice::WriteOnly));
    installed.close();
    QCOMPARE(HelpWin::readmeFile(bin), installed.fileName());
    QFile beside(bin + "/README.md");
    QVERIFY(beside.open(QIODevice::WriteOnly));
    beside.close();
    QCOMPARE(HelpWin::readmeFile(bin), beside.fileName());
    QCOMPARE(HelpWin::readmeUrl("asking-for-help").fragment(), QStringLiteral("asking-for-help"));
    QCOMPARE(QFileInfo(HelpWin::readmeUrl(QString()).toLocalFile()).absolutePath(),
             QCoreApplication::applicationDirPath());
}

void TestMainWindow::rebuildLeavesNoCameraSelected()
{
    connectTo(1);
    QPointer<RecordingCamera> old = cam(1);
    {
        RecordingCamera one("127.0.2.1", "Renamed first camera");
        saveCameraList(*s, {&one});
    }
    w->rebuildCameraList();
    QCOMPARE(old->calls, QStringList{"disconnectCamera"});
    QVERIFY(!w->currentCamera());
    QVERIFY(!w->cameraConnected());
    QCOMPARE(child<QPushButton>("connectCam1")->text(), QStringLiteral("Renamed fi"));
    QCOMPARE(child<QPushButton>("connectCam2")->text(), QStringLiteral("Camera2"));
    QVERIFY(child<QPushButton>("connectCam2")
                ->styleSheet()
                .startsWith("QPushButton{background : grey;"));
    QTRY_VERIFY(!old);
}

void TestMainWindow::autoReconnectStoredAndApplied()
{
    const auto allOn = [this](bool on) {
        for (int k = 0; k < c->cameraCount(); ++k) {
            auto *ip = qobject_cast<IPCamera *>(c->cameraAt(k));
            if ((ip ? ip->autoReconnect() : cam(k)->autoReconnect) != on)
                return false;
        }
        return true;
    };
    QVERIFY(allOn(false));
    child<QAction>("actionAutoReconnect")->trigger();
    QVERIFY(s->autoReconnect());
    QVERIFY(allOn(true));
    c->rebuildCameras(); // network cameras from the stored list
    QVERIFY(qobject_cast<IPCamera *>(c->cameraAt(0)));
    QVERIFY(allOn(true));
    // Start-up: a window reads the stored setting and applies it.
    c->setAutoReconnect(false);
    delete w;
    w = new MainWindow(s, c);
    QVERIFY(child<QAction>("actionAutoReconnect")->isChecked());
    QVERIFY(allOn(true));
    child<QAction>("actionAutoReconnect")->trigger();
    QVERIFY(!s->autoReconnect());
    QVERIFY(allOn(false));
}

void TestMainWindow::staleRepliesShownForTheSelectedCamera()
{
    connectTo(0);
    const QString connected = statusText("connectionStatus");
    cam(1)->setStale(true); // not selected
    QCoreApplication::processEvents();
    QCOMPARE(statusText("connectionStatus"), connected);
    cam(0)->setStale(true);
    QTRY_COMPARE(statusText("connectionStatus"), QStringLiteral("Not Responding"));
    cam(0)->setStale(false);
    QTRY_COMPARE(statusText("connectionStatus"), connected);
    // Switching away from a stale camera clears the text.
    cam(1)->setStale(false);
    cam(0)->setStale(true);
    QTRY_COMPARE(statusText("connectionStatus"), QStringLiteral("Not Responding"));
    connectTo(1);
    QTRY_COMPARE(statusText("connectionStatus"), connected);
    cam(1)->setStale(true);
    QTRY_COMPARE(statusText("connectionStatus"), QStringLiteral("Not Responding"));
}

void TestMainWindow::switchCameraFromController()
{
    w->onSwitchCamera(5);
    QVERIFY(!w->currentCamera());
    w->onSwitchCamera(2);
    QCOMPARE(w->currentCamera(), cam(1));
    QVERIFY(child<QPushButton>("connectCam2")
                ->styleSheet()
                .startsWith("QPushButton{background : #4f4f4f;"));
}

// "Exit" ends the process at once; what the settings store still holds in its
// deferred write-back reaches the file first. Runs this executable again as a
// child process (see main()).
void TestMainWindow::exitWritesPendingSettings()
{
    QTemporaryDir home;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", home.path());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"--exit-child"});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    QVERIFY2(!child.readAllStandardOutput().contains("not exited"), "Exit returned");
    QSettings written(home.path() + "/tst_mainwindow/corvanta-controller/settings.ini",
                      QSettings::IniFormat);
    QCOMPARE(written.value("snapshotpath").toString(), QStringLiteral("/pending/path"));
}

// Network cameras on 127.0.0.1 and 127.0.0.2 against simulators: connect,
// speeds, wire bytes of a press and release, positions, the one-time copy,
// a dropped connection reopened while an error box is on screen, the switch.
void TestMainWindow::endToEndAgainstSimulators()
{
    CameraSimulator sims[2];
    c->releaseCameras();
    QList<CameraWrapper *> list;
    for (int i = 0; i < 2; ++i) {
        const QString ip = QStringLiteral("127.0.0.%1").arg(i + 1);
        QVERIFY(sims[i].listen(QHostAddress(ip), 0, 0));
        auto *ipCam = new IPCamera(ip, QStringLiteral("Sim%1").arg(i + 1), "dev");
        ipCam->setViscaPort(sims[i].viscaPort());
        ipCam->setHttpPort(sims[i].httpPort());
        ipCam->setPollInterval(10);
        list << ipCam;
    }
    c->setCameras(list);
    connect(c, &CameraControl::cameraError, w->messages(), &MessagePresenter::show,
            Qt::QueuedConnection);

    s->setPanTiltLocked("127.0.0.1", false);
    sims[0].setPosition(2447, -1, 0x1234, 0x2000);
    w->selectCamera(0);
    QTRY_VERIFY_WITH_TIMEOUT(w->cameraConnected(), 5000);
    QCOMPARE(child<QComboBox>("tiltSpeed")->count(), 20);
    QTRY_COMPARE_WITH_TIMEOUT(statusText("panStatus"), QStringLiteral("Pan:098f"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(statusText("deviceNameStatus"), sims[0].name(), 5000);
    // Copied once from the camera after its first poll cycle.
    QTRY_VERIFY_WITH_TIMEOUT(child<QCheckBox>("autoFocus")->isChecked(), 5000);
    QCOMPARE(w->uiSyncState, 2);

    QSignalSpy commands(&sims[0], &CameraSimulator::commandReceived);
    QTest::mousePress(child<QPushButton>("MoveTop"), Qt::LeftButton);
    QTest::mouseRelease(child<QPushButton>("MoveTop"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(commands.size(), 2, 5000);
    QCOMPARE(commands[0].first().toByteArray(), QByteArray::fromHex("8101060100080301ff"));
    QCOMPARE(commands[1].first().toByteArray(), QByteArray::fromHex("8101060100000303ff"));

    // The camera reopens a dropped connection by itself while the error box
    // stays on screen: nothing waits for the operator.
    const int accepted = sims[0].acceptedConnections();
    sims[0].dropConnections();
    QTRY_VERIFY_WITH_TIMEOUT(sims[0].acceptedConnections() > accepted, 5000);
    QVERIFY(!QApplication::activeModalWidget());

    QSignalSpy dropped(&sims[0], &CameraSimulator::clientDisconnected);
    w->selectCamera(1);
    QVERIFY(dropped.wait(5000));
    QTRY_VERIFY_WITH_TIMEOUT(w->cameraConnected() && w->currentCamera() == c->cameraAt(1), 5000);
    if (w->messages()->currentBox())
        w->messages()->currentBox()->done(0);
    c->releaseCameras();
}

// Child process of exitWritesPendingSettings: one settings change still
// pending, then "Exit".
static int exitChild(int argc, char **argv)
{
    CorvantaApp app(argc, argv);
    app.settings()->setSnapshotPath("/pending/path");
    app.mainWindow()->findChild<QAction *>("actionExit")->trigger();
    std::printf("not exited\n");
    return 3;
}

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[argc - 1], "--exit-child") == 0)
        return exitChild(argc - 1, argv);
    TempDataHome home;
    QApplication app(argc, argv);
    TestMainWindow tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_mainwindow.moc"
