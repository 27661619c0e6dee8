#include "appsettings.h"
#include "cameralist.h"
#include "camerawrapper.h"
#include "corvantaapp.h"
#include "httpserverwrapper.h"
#include "ipcamera.h"
#include "mainwindow.h"
#include "messagepresenter.h"
#include "obswrapper.h"
#include "qhttpserver.h"
#include "rawhttpclient.h"
#include "storagepaths.h"
#include "storedcameralist.h"
#include "tempdatahome.h"
#include "usbcamera.h"
#include "vmixwrapper.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <QTcpServer>
#include <QtTest>

namespace {
// Holds the configured web server port (g_port) on 127.0.0.1 while the
// program starts.
QTcpServer *g_blocker = nullptr;
quint16 g_port = 0;
const QString kNoServer("Can not turn on Http Server. Please check NIC and port number settings.");

QJsonObject getJson(const QByteArray &target)
{
    return QJsonDocument::fromJson(fetch(g_port, target).body).object();
}
} // namespace

// Runs against one CorvantaApp built in main() on a throw-away data folder
// that already holds a list of three cameras, with `startuponlaunch` set and
// the configured web server port already taken.
class TestCorvantaApp : public QObject
{
    Q_OBJECT
private slots:
    void busyPortAtStartUpShowsTheBoxThenStarts();
    void storedCamerasAreFilledUpToEight();
    void cameraErrorsAreShownWithoutBlocking();
    void rebuiltListReleasesOldCamerasLater();
    void settingsThatCannotBeSavedAreShownOnce();

private:
    // Slots past the stored ones are network cameras "CameraN" at 0.0.0.0.
    void checkFilledUp(int stored);
};

void TestCorvantaApp::checkFilledUp(int stored)
{
    const auto cams = CorvantaApp::instance()->cameras();
    QCOMPARE(cams.size(), 8);
    for (int i = stored; i < 8; ++i) {
        QVERIFY(qobject_cast<IPCamera *>(cams[i]));
        QCOMPARE(cams[i]->getCameraName(), QStringLiteral("Camera%1").arg(i + 1));
        QCOMPARE(cams[i]->getCameraId(), QStringLiteral("0.0.0.0"));
    }
}

// The box is shown without blocking start-up; once the port is free the
// server starts and its API routes reach the application's handlers.
void TestCorvantaApp::busyPortAtStartUpShowsTheBoxThenStarts()
{
    CorvantaApp *app = CorvantaApp::instance();
    QTRY_VERIFY(app->messages()->currentBox());
    QCOMPARE(app->messages()->currentBox()->text(), kNoServer);
    app->messages()->currentBox()->done(0);
    QVERIFY(!app->httpServer()->server()->isListening());
    g_blocker->close();
    QVERIFY(app->startHttpServer());
    QCOMPARE(app->httpServer()->server()->serverPort(), g_port);
    QCOMPARE(getJson("/cam/getCurrentCamInfo").value("camIndex").toInt(), -1);
    QCOMPARE(getJson("/obs/settings").value("obsPort").toInt(), 4444);
    QCOMPARE(getJson("/vmix/settings").value("vmixPort").toInt(), 8088);
    QVERIFY(!app->vmixClient()->isPolling()); // not enabled
    QVERIFY(!app->obsClient()->isPolling());
    QVERIFY(app->stopHttpServer());
    QVERIFY(!app->httpServer()->server()->isListening());
    // A port out of range is refused with the same box, not wrapped around.
    app->settings()->setServerPortNum(65536 + 80);
    QVERIFY(!app->startHttpServer());
    QTRY_VERIFY(app->messages()->currentBox());
    QCOMPARE(app->messages()->currentBox()->text(), kNoServer);
    app->messages()->currentBox()->done(0);
    QTRY_VERIFY(!app->messages()->currentBox());
}

void TestCorvantaApp::storedCamerasAreFilledUpToEight()
{
    QVERIFY(CorvantaApp::instance()->mainWindow()->isVisible());
    const auto cams = CorvantaApp::instance()->cameras();
    checkFilledUp(3);
    QCOMPARE(cams[0]->getCameraName(), QStringLiteral("Front"));
    QCOMPARE(cams[0]->getCameraId(), QStringLiteral("127.0.0.2"));
    QVERIFY(qobject_cast<USBCamera *>(cams[1]));
    QCOMPARE(cams[2]->getCameraName(), QStringLiteral("Wide"));
}

// A camera error raised inside the camera's handler returns at once (no
// nested event loop under the socket); the box follows from the event loop,
// and a repeat of the text on screen adds none.
void TestCorvantaApp::cameraErrorsAreShownWithoutBlocking()
{
    CorvantaApp *app = CorvantaApp::instance();
    const auto cams = app->cameras();
    emit cams[1]->clientError(QStringLiteral("Operation canceled"));
    emit cams[2]->clientError(QStringLiteral("Operation canceled"));
    QVERIFY(!QApplication::activeModalWidget());
    QTRY_VERIFY(app->messages()->currentBox());
    QMessageBox *box = app->messages()->currentBox();
    QCOMPARE(box->text(), QStringLiteral("Operation canceled"));
    QVERIFY(!box->isModal());
    emit cams[1]->clientError(QStringLiteral("Operation canceled"));
    emit cams[1]->clientError(QStringLiteral("Connection refused"));
    QCOMPARE(app->messages()->pending(), QStringList{"Connection refused"});
    box->done(0);
    QTRY_VERIFY(app->messages()->currentBox() && app->messages()->currentBox() != box);
    app->messages()->currentBox()->done(0);
}

void TestCorvantaApp::rebuiltListReleasesOldCamerasLater()
{
    CorvantaApp *app = CorvantaApp::instance();
    QPointer<CameraWrapper> old = app->cameras().first();
    IPCamera one(QStringLiteral("127.0.0.13"), QStringLiteral("N"), QStringLiteral("d"));
    saveCameraList(*app->settings(), {&one});
    app->createCameras();
    QVERIFY(old); // still alive until control returns to the event loop
    QTRY_VERIFY(old.isNull());
    QCOMPARE(app->cameras().first()->getCameraId(), QStringLiteral("127.0.0.13"));
    checkFilledUp(1);

    // A stored list of size 0 behaves like a first start.
    saveCameraList(*app->settings(), {});
    app->createCameras();
    checkFilledUp(0);
}

// A change the settings file refuses opens one box (not one per change),
// without blocking.
void TestCorvantaApp::settingsThatCannotBeSavedAreShownOnce()
{
    CorvantaApp *app = CorvantaApp::instance();
    const QString ini = app->settings()->fileName();
    QVERIFY(QFile::remove(ini));
    QVERIFY(QDir().mkdir(ini)); // no write can succeed, also as root
    app->settings()->setPresetName(QStringLiteral("127.0.0.2"), 1, QStringLiteral("Lost"));
    app->settings()->setPresetName(QStringLiteral("127.0.0.2"), 2, QStringLiteral("Lost too"));
    QTRY_VERIFY(app->messages()->currentBox());
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(app->messages()->currentBox()->text().contains(QStringLiteral("could not be saved")));
    QVERIFY(app->messages()->pending().isEmpty());
    app->messages()->currentBox()->done(0);
    QVERIFY(QDir().rmdir(ini));
    QVERIFY(app->settings()->commit());
}

int main(int argc, char **argv)
{
    TempDataHome home;
    // Three cameras, as an earlier run would have saved them.
    const QString appData = storeCameraList(home.path(), "tst_corvantaapp",
                                            {{0, "127.0.0.2", "Front", "dev"},
                                             {1, "127.0.0.3", "Desk", "dev"},
                                             {0, "127.0.0.4", "Wide", "dev"}});
    QTcpServer blocker;
    if (!blocker.listen(QHostAddress::LocalHost, 0))
        return 1;
    g_blocker = &blocker;
    g_port = blocker.serverPort();
    {
        QSettings raw(appData + "/settings.ini", QSettings::IniFormat);
        raw.setValue("startuponlaunch", true);
        raw.setValue("servernic", "127.0.0.1");
        raw.setValue("serverportnum", int(blocker.serverPort()));
    }
    qputenv("QT_LOGGING_RULES", "corvanta.web.warning=false");
    CorvantaApp app(argc, argv);
    if (Storage::userFolder() != appData) {
        qCritical() << "unexpected data folder" << Storage::userFolder();
        return 1;
    }
    TestCorvantaApp tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_corvantaapp.moc"
