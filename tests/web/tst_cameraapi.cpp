// The "/cam/" routes over HTTP on 127.0.0.1: the real server, the control
// layer and network cameras talking VISCA to the camera simulator.
#include "appsettings.h"
#include "cameraapihandler.h"
#include "cameracontrol.h"
#include "camerasimulator.h"
#include "httpserverwrapper.h"
#include "ipcamera.h"
#include "rawhttpclient.h"
#include "tempdatahome.h"
#include "visca.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

struct FakePanel : CameraApiPanel
{
    QStringList calls;
    bool syncing = false;
    void setPresetButtonText(int n, const QString &name) override
    {
        calls << QStringLiteral("text %1 %2").arg(n).arg(name);
    }
    void savePreset(int n, const QString &name) override
    {
        calls << QStringLiteral("save %1 %2").arg(n).arg(name);
    }
    bool isSyncingFromCamera() const override { return syncing; }
    void showAutoFocus(bool on) override { calls << QStringLiteral("autofocus %1").arg(on); }
};

// "/cam/saveSettings" with a list of entries cameras, the eighth a USB one,
// the others network cameras; escaped: its
// brackets, colons and commas sent as %5B, %5D, %3A and %2C text.
QByteArray camList(int entries, bool escaped = false)
{
    QJsonArray a;
    for (int i = 0; i < entries; ++i)
        a.append(
            QJsonObject{{"camId", i == 7 ? "usb-cam-b" : QStringLiteral("127.0.0.%1").arg(i + 2)},
                        {"isUsb", i == 7},
                        {"name", QStringLiteral("New%1").arg(i + 1)}});
    QByteArray json = QJsonDocument(a).toJson(QJsonDocument::Compact);
    if (escaped)
        json.replace('[', "%5B").replace(']', "%5D").replace(':', "%3A").replace(',', "%2C");
    return "/cam/saveSettings?camList=" + json.toPercentEncoding();
}

const QJsonObject kOk{{"status", "OK"}, {"msg", ""}};
const QByteArray kMove("&panSpeed=5&tiltSpeed=5&zoomSpeed=5&focusSpeed=5");

} // namespace

class TestCameraApi : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { r.reset(); }
    void answersWithoutCamera();
    void controlSendsClampedVisca_data();
    void controlSendsClampedVisca();
    void stopControlTable_data();
    void stopControlTable();
    void presetNumbersOutsideRangeIgnored();
    void setPresetStoresAndReportsDownloadOnce();
    void focusAuto();
    void saveSettingsRejectsBadLists_data();
    void saveSettingsRejectsBadLists();
    void saveWhileSelectedThenControl_data();
    void saveWhileSelectedThenControl();
    void storeFailureAnswersFailed_data();
    void storeFailureAnswersFailed();

private:
    QJsonObject getJson(const QByteArray &target);
    void connectCamera0();
    // The next command the simulator receives.
    QByteArray nextCommand();

    // Per test, destroyed in reverse order.
    struct Rig
    {
        TempDataHome home;
        AppSettings settings;
        CameraControl control{&settings};
        CameraSimulator sim;
        QSignalSpy commands{&sim, &CameraSimulator::commandReceived};
        HttpServerWrapper web{&settings};
        FakePanel panel;
        CameraApiHandler api{&control, &settings, &panel, [] {
                                 return QStringList{"usb-cam-a", "usb-cam-b"};
                             }};
    };
    std::unique_ptr<Rig> r;
    quint16 m_port = 0;
};

void TestCameraApi::init()
{
    r.reset(new Rig);
    QVERIFY(r->sim.listen(QHostAddress::LocalHost, 0, 0));
    QList<CameraWrapper *> cams;
    for (int i = 0; i < CameraControl::kCameraSlots; ++i) {
        auto *cam = new IPCamera("127.0.0.1", QStringLiteral("Cam%1").arg(i + 1), "127.0.0.1");
        cam->setViscaPort(r->sim.viscaPort());
        cam->setHttpPort(r->sim.httpPort());
        cams << cam;
    }
    r->control.setCameras(cams);
    r->api.attach(&r->web);
    QVERIFY(r->web.startServer(QStringLiteral("127.0.0.1"), 0));
    m_port = r->web.server()->serverPort();
}

QJsonObject TestCameraApi::getJson(const QByteArray &target)
{
    return QJsonDocument::fromJson(fetch(m_port, target).body).object();
}

void TestCameraApi::connectCamera0()
{
    QCOMPARE(getJson("/cam/connect?camNum=0"), kOk);
    QTRY_VERIFY_WITH_TIMEOUT(r->control.canDrive(), 10000);
    r->commands.clear();
}

QByteArray TestCameraApi::nextCommand()
{
    if (r->commands.isEmpty() && !r->commands.wait(5000))
        return QByteArray();
    return r->commands.takeFirst().at(0).toByteArray().toHex(' ');
}

void TestCameraApi::answersWithoutCamera()
{
    QJsonArray presets;
    for (int n = 1; n <= 9; ++n)
        presets.append(QStringLiteral("Preset%1").arg(n));
    const QJsonObject expected{{"camIndex", -1},     {"camId", ""},    {"focusAuto", false},
                               {"presets", presets}, {"status", "OK"}, {"msg", ""}};
    // Indented, keys in ascending order.
    QCOMPARE(fetch(m_port, "/cam/getCurrentCamInfo").body,
             QJsonDocument(expected).toJson(QJsonDocument::Indented));
    // Every operation answers OK and sends nothing without a camera.
    for (const char *t : {"/cam/stopControl?controlMethod=0", "/cam/focusAuto?focusAuto=true",
                          "/cam/setPreset?presetNum=1&presetName=a",
                          "/cam/recallPreset?presetNum=1&callSpeed=3", "/cam/connect?camNum=8"})
        QCOMPARE(getJson(t), kOk);
    QCOMPARE(getJson("/cam/control?controlMethod=0" + kMove), kOk);
    QCOMPARE(r->control.currentIndex(), -1);
    QVERIFY(r->commands.isEmpty());
    QVERIFY(r->panel.calls.isEmpty());
}

void TestCameraApi::controlSendsClampedVisca_data()
{
    QTest::addColumn<QByteArray>("query"); // method, pan, tilt, zoom, focus
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("right") << QByteArray("0,5,9,0,0") << Visca::moveRight(5, 0);
    QTest::newRow("left, -1 to the minimum") << QByteArray("1,-1,0,0,0") << Visca::moveLeft(1, 0);
    QTest::newRow("up, tilt above range") << QByteArray("2,0,99,0,0") << Visca::moveUp(0, 20);
    QTest::newRow("down") << QByteArray("3,0,4,0,0") << Visca::moveDown(0, 4);
    QTest::newRow("home") << QByteArray("4,0,0,0,0") << Visca::moveHome();
    QTest::newRow("focus near") << QByteArray("5,0,0,0,3") << Visca::focusIn(3);
    QTest::newRow("focus far, 255") << QByteArray("6,0,0,0,255") << Visca::focusOut(7);
    QTest::newRow("zoom tele, 16 stays tele") << QByteArray("7,0,0,16,0") << Visca::zoomIn(7);
    QTest::newRow("zoom wide, not a number") << QByteArray("8,0,0,x,0") << Visca::zoomOut(0);
}

void TestCameraApi::controlSendsClampedVisca()
{
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, expected);
    const QByteArrayList v = query.split(',');
    connectCamera0();
    QCOMPARE(getJson("/cam/control?controlMethod=" + v[0] + "&panSpeed=" + v[1] +
                     "&tiltSpeed=" + v[2] + "&zoomSpeed=" + v[3] + "&focusSpeed=" + v[4]),
             kOk);
    QCOMPARE(nextCommand(), expected.toHex(' '));
    // An unknown method moves nothing: the next command is the stop below.
    getJson("/cam/control?controlMethod=9" + kMove);
    getJson("/cam/stopControl?controlMethod=7");
    QCOMPARE(nextCommand(), Visca::zoomStop().toHex(' '));
}

void TestCameraApi::stopControlTable_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("0 pan/tilt") << 0 << Visca::moveStop(0, 0);
    QTest::newRow("3 pan/tilt") << 3 << Visca::moveStop(0, 0);
    QTest::newRow("5 focus") << 5 << Visca::focusStop();
    QTest::newRow("6 focus") << 6 << Visca::focusStop();
    QTest::newRow("8 zoom") << 8 << Visca::zoomStop();
    QTest::newRow("4 nothing") << 4 << QByteArray();
    QTest::newRow("-1 nothing") << -1 << QByteArray();
}

void TestCameraApi::stopControlTable()
{
    QFETCH(int, method);
    QFETCH(QByteArray, expected);
    connectCamera0();
    getJson("/cam/stopControl?controlMethod=" + QByteArray::number(method));
    getJson("/cam/control?controlMethod=4" + kMove); // barrier: home
    if (!expected.isEmpty())
        QCOMPARE(nextCommand(), expected.toHex(' '));
    QCOMPARE(nextCommand(), Visca::moveHome().toHex(' '));
}

// Numbers out of range or text that is not a number pick no preset, camera
// or motion (not the first one, 0).
void TestCameraApi::presetNumbersOutsideRangeIgnored()
{
    connectCamera0();
    for (const char *t :
         {"/cam/recallPreset?presetNum=255&callSpeed=3",
          "/cam/recallPreset?presetNum=-1&callSpeed=3", "/cam/setPreset?presetNum=300&presetName=x",
          "/cam/recallPreset?presetNum=one&callSpeed=3", "/cam/setPreset?presetNum=&presetName=x",
          "/cam/connect?camNum=first"})
        QCOMPARE(getJson(t), kOk);
    getJson("/cam/control?controlMethod=right" + kMove);
    getJson("/cam/recallPreset?presetNum=254&callSpeed=-5");
    QCOMPARE(nextCommand(), Visca::setPresetSpeed(0).toHex(' '));
    QCOMPARE(nextCommand(), Visca::callPreset(254).toHex(' '));
    QVERIFY(r->panel.calls.isEmpty());
}

void TestCameraApi::setPresetStoresAndReportsDownloadOnce()
{
    connectCamera0();
    QSignalSpy errors(&r->control, &CameraControl::cameraError);
    QSignalSpy downloads(&r->control, &CameraControl::downloadFinished);
    QCOMPARE(getJson("/cam/checkImg").value("downloaded").toBool(), false);
    getJson("/cam/setPreset?presetNum=3&presetName=Stage+left");
    QCOMPARE(nextCommand(), Visca::setPreset(3).toHex(' '));
    QCOMPARE(r->panel.calls, (QStringList{"text 3 Stage left", "save 3 Stage left"}));
    QCOMPARE(getJson("/cam/getCurrentCamInfo").value("presets").toArray().size(), 9);
    QTRY_VERIFY_WITH_TIMEOUT(!downloads.isEmpty() || !errors.isEmpty(), 10000);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.value(0).value(0).toString()));
    QCOMPARE(getJson("/cam/checkImg").value("downloaded").toBool(), true);
    QCOMPARE(getJson("/cam/checkImg").value("downloaded").toBool(), false);
    // Presets beyond the nine buttons are stored without a button text.
    r->panel.calls.clear();
    getJson("/cam/setPreset?presetNum=9&presetName=Nine");
    getJson("/cam/setPreset?presetNum=10&presetName=Ten");
    QCOMPARE(r->panel.calls, (QStringList{"text 9 Nine", "save 9 Nine", "save 10 Ten"}));
}

void TestCameraApi::focusAuto()
{
    connectCamera0();
    r->panel.syncing = true;
    getJson("/cam/focusAuto?focusAuto=false");
    QVERIFY(r->panel.calls.isEmpty());
    r->panel.syncing = false;
    getJson("/cam/focusAuto?focusAuto=True"); // only "true" means on
    QCOMPARE(r->panel.calls, QStringList{"autofocus 0"});
    QCOMPARE(nextCommand(), Visca::setAutoFocus(false).toHex(' '));
}

void TestCameraApi::saveSettingsRejectsBadLists_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::newRow("seven") << camList(7);
    QTest::newRow("nine") << camList(9);
    QTest::newRow("not json") << QByteArray("/cam/saveSettings?camList=%5Bnope");
    QTest::newRow("missing key")
        << QByteArray("/cam/saveSettings?camList=") +
               QByteArray(R"([{"camId":"a","name":"b"},1,2,3,4,5,6,7])").toPercentEncoding();
}

void TestCameraApi::saveSettingsRejectsBadLists()
{
    QFETCH(QByteArray, target);
    const QList<CameraWrapper *> before = r->control.cameras();
    QCOMPARE(getJson(target),
             (QJsonObject{{"status", "FAILED"}, {"msg", "Wrong camera settings!"}}));
    QCOMPARE(r->control.cameras(), before);
}

void TestCameraApi::storeFailureAnswersFailed_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QString>("what");
    QTest::newRow("setPreset") << QByteArray("/cam/setPreset?presetNum=3&presetName=Wide")
                               << "The preset name";
    QTest::newRow("saveSettings") << camList(8) << "The camera list";
}

// A change the settings file refuses is not answered as a success.
void TestCameraApi::storeFailureAnswersFailed()
{
    QFETCH(QByteArray, target);
    QFETCH(QString, what);
    connectCamera0();
    const QString ini = r->settings.fileName();
    QVERIFY(QFile::remove(ini));
    QVERIFY(QDir().mkdir(ini)); // no write can succeed, also as root
    QCOMPARE(getJson(target),
             (QJsonObject{{"status", "FAILED"},
                          {"msg", what + " could not be saved: the settings file cannot be "
                                         "written."}}));
    QVERIFY(QDir().rmdir(ini));
    QCOMPARE(getJson(target), kOk);
}

void TestCameraApi::saveWhileSelectedThenControl_data()
{
    QTest::addColumn<bool>("escaped");
    QTest::newRow("plain") << false;
    QTest::newRow("escaped") << true;
}

void TestCameraApi::saveWhileSelectedThenControl()
{
    QFETCH(bool, escaped);
    connectCamera0();
    getJson("/cam/control?controlMethod=0" + kMove);
    QCOMPARE(nextCommand(), Visca::moveRight(5, 0).toHex(' '));
    QCOMPARE(getJson(camList(8, escaped)), kOk);
    // The running move was stopped on its camera before the list went.
    QCOMPARE(nextCommand(), Visca::moveStop(0, 0).toHex(' '));
    QCOMPARE(r->control.currentIndex(), -1);
    QCOMPARE(r->control.cameraAt(2)->getCameraName(), QString("New3"));
    QCOMPARE(r->control.cameraAt(2)->getCameraId(), QString("127.0.0.4"));

    // Nothing reaches the cameras that went.
    for (int method = 0; method <= 9; ++method) {
        QCOMPARE(getJson("/cam/control?controlMethod=" + QByteArray::number(method) + kMove), kOk);
        QCOMPARE(getJson("/cam/stopControl?controlMethod=" + QByteArray::number(method)), kOk);
    }
    for (const char *t :
         {"/cam/setPreset?presetNum=1&presetName=a", "/cam/recallPreset?presetNum=1&callSpeed=1",
          "/cam/focusAuto?focusAuto=true", "/cam/checkImg"})
        QCOMPARE(getJson(t).value("status").toString(), QString("OK"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QJsonObject o = getJson("/cam/settings");
    QCOMPARE(o.value("usbDevices").toArray(), (QJsonArray{"usb-cam-a", "usb-cam-b"}));
    QCOMPARE(o.value("camList")[0].toObject(),
             (QJsonObject{{"isUsbCam", false}, {"camId", "127.0.0.2"}, {"camName", "New1"}}));
    QCOMPARE(o.value("camList")[7]["isUsbCam"], QJsonValue(true));
}

QTEST_MAIN(TestCameraApi)
#include "tst_cameraapi.moc"
