#include "applog.h"
#include "appsettings.h"
#include "camerawrapper.h"
#include "corvantaapp.h"
#include "ipcamera.h"
#include "mainwindow.h"
#include "storagepaths.h"
#include "storedcameralist.h"
#include "tempdatahome.h"
#include "usbcamera.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

// Runs against one CorvantaApp built in main() on a throw-away data folder
// that already holds a list of three cameras.
class TestCorvantaApp : public QObject
{
    Q_OBJECT
private slots:
    void startUpCreatesFoldersAndFile();
    void threeStoredCamerasAreFilledUpToEight();
    void mainWindowIsShownWithTitle();
    void logLinesAreFramed();
    void cameraSignalsReachTheWindowAndLog();
    void createCamerasReleasesOldCamerasLater();
    void emptyListGivesEightDefaultCameras();
    void vlcPluginPathOnlyWhenFolderExists();
};

void TestCorvantaApp::startUpCreatesFoldersAndFile()
{
    QVERIFY(QDir(Storage::userFolder()).exists());
    QVERIFY(QDir(Storage::downloadsFolder()).exists());
    QVERIFY(QFile::exists(Storage::userFolder() + "/settings.ini"));
    QVERIFY(CorvantaApp::instance());
    QVERIFY(CorvantaApp::instance()->settings());
}

void TestCorvantaApp::threeStoredCamerasAreFilledUpToEight()
{
    const auto cams = CorvantaApp::instance()->cameras();
    QCOMPARE(cams.size(), 8);
    QCOMPARE(cams[0]->getCameraName(), QStringLiteral("Front"));
    QCOMPARE(cams[0]->getCameraId(), QStringLiteral("127.0.0.2"));
    QVERIFY(qobject_cast<USBCamera *>(cams[1]));
    QCOMPARE(cams[1]->getCameraName(), QStringLiteral("Desk"));
    QCOMPARE(cams[2]->getCameraName(), QStringLiteral("Wide"));
    for (int i = 3; i < 8; ++i) {
        QVERIFY(qobject_cast<IPCamera *>(cams[i]));
        QCOMPARE(cams[i]->getCameraName(), QStringLiteral("Camera%1").arg(i + 1));
        QCOMPARE(cams[i]->getCameraId(), QStringLiteral("0.0.0.0"));
        QCOMPARE(cams[i]->getDeviceName(), QStringLiteral("0.0.0.0"));
    }
}

void TestCorvantaApp::mainWindowIsShownWithTitle()
{
    MainWindow *w = CorvantaApp::instance()->mainWindow();
    QVERIFY(w);
    QVERIFY(w->isVisible());
    QCOMPARE(w->windowTitle(), QStringLiteral("Corvanta App - v1.4.1"));
}

void TestCorvantaApp::logLinesAreFramed()
{
    QCOMPARE(AppLog::connectedLine(), QString(35, '-') + "Connected" + QString(36, '-'));
    QCOMPARE(AppLog::disconnectedLine(), QString(35, '-') + "Disconnected" + QString(36, '-'));
}

void TestCorvantaApp::cameraSignalsReachTheWindowAndLog()
{
    const QString log = Storage::userFolder() + "/app.log";
    QFile::remove(log);
    const auto cams = CorvantaApp::instance()->cameras();
    MainWindow *w = CorvantaApp::instance()->mainWindow();
    w->currentCamera = cams[4];
    emit cams[4]->clientConnected();
    // A camera other than the selected one: logged, the selection stays.
    emit cams[1]->clientDisconnected();
    QCOMPARE(w->currentCamera, cams[4]);
    // A late connection of a camera that is not selected is not logged.
    emit cams[6]->clientConnected();
    w->currentCamera = cams[7];
    emit cams[7]->clientConnected();

    QFile f(log);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray expected = (AppLog::connectedLine() + "\n" + AppLog::disconnectedLine() +
                                 "\n" + AppLog::connectedLine() + "\n")
                                    .toUtf8();
    QCOMPARE(f.readAll(), expected);
    QVERIFY(w->cameraConnected);
}

void TestCorvantaApp::createCamerasReleasesOldCamerasLater()
{
    CorvantaApp *app = CorvantaApp::instance();
    QPointer<CameraWrapper> old = app->cameras().first();
    app->settings()->saveCameraList({});
    {
        QList<CameraWrapper *> four;
        for (int i = 0; i < 4; ++i)
            four << new IPCamera(QStringLiteral("127.0.0.%1").arg(10 + i),
                                 QStringLiteral("N%1").arg(i), QStringLiteral("d"));
        app->settings()->saveCameraList(four);
        qDeleteAll(four);
    }
    app->createCameras();
    QVERIFY(old); // still alive until control returns to the event loop
    QTRY_VERIFY(old.isNull());
    const auto cams = app->cameras();
    QCOMPARE(cams.size(), 8);
    QCOMPARE(cams[3]->getCameraId(), QStringLiteral("127.0.0.13"));
    QCOMPARE(cams[4]->getCameraName(), QStringLiteral("Camera5"));

    app->connectCameraSignals();
    MainWindow *w = app->mainWindow();
    w->cameraConnected = false;
    w->currentCamera = cams[0];
    emit cams[0]->clientConnected();
    QVERIFY(w->cameraConnected);
}

void TestCorvantaApp::emptyListGivesEightDefaultCameras()
{
    CorvantaApp *app = CorvantaApp::instance();
    // A stored list of size 0 behaves like a first start.
    app->settings()->saveCameraList({});
    app->createCameras();
    const auto cams = app->cameras();
    QCOMPARE(cams.size(), 8);
    for (int i = 0; i < 8; ++i) {
        QVERIFY(qobject_cast<IPCamera *>(cams[i]));
        QCOMPARE(cams[i]->getCameraName(), QStringLiteral("Camera%1").arg(i + 1));
        QCOMPARE(cams[i]->getCameraId(), QStringLiteral("0.0.0.0"));
    }
}

void TestCorvantaApp::vlcPluginPathOnlyWhenFolderExists()
{
    QTemporaryDir dir;
    qunsetenv("VLC_PLUGIN_PATH");
    CorvantaApp::setupVlcPluginPath(dir.path());
    QVERIFY(!qEnvironmentVariableIsSet("VLC_PLUGIN_PATH"));

    QVERIFY(QDir(dir.path()).mkdir("plugins"));
    CorvantaApp::setupVlcPluginPath(dir.path());
    QCOMPARE(qEnvironmentVariable("VLC_PLUGIN_PATH"), dir.path() + "/plugins");
}

int main(int argc, char **argv)
{
    TempDataHome home;
    // Three cameras, as an earlier run would have saved them.
    const QString appData = storeCameraList(home.path(), "tst_corvantaapp",
                                            {{0, "127.0.0.2", "Front", "dev"},
                                             {1, "127.0.0.3", "Desk", "dev"},
                                             {0, "127.0.0.4", "Wide", "dev"}});
    CorvantaApp app(argc, argv);
    if (Storage::userFolder() != appData) {
        qCritical() << "unexpected data folder" << Storage::userFolder();
        return 1;
    }
    TestCorvantaApp tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_corvantaapp.moc"
