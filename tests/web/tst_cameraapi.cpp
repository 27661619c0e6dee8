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

QByteArray camList(int entries, const QString &extra = QString())
{
    QJsonArray a;
    for (int i = 0; i < entries; ++i)
        a.append(QJsonObject{{"camId", QStringLiteral("127.0.0.%1").arg(i + 2)},
                             {"isUsb", false},
                             {"name", QStringLiteral("New%1").arg(i + 1)}});
    QByteArray json = QJsonDocument(a).toJson(QJsonDocument::Compact) + extra.toUtf8();
    return "/cam/saveSettings?camList=" + json.toPercentEncoding();
}

} // namespace

class TestCameraApi : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void answersWithoutCamera();
    void cameraSettingsList();
    void controlSendsClampedVisca_data();
    void controlSendsClampedVisca();
    void stopControlTable_data();
    void stopControlTable();
    void presetNumbersOutsideRangeIgnored();
    void setPresetStoresAndReportsDownloadOnce();
    void focusAuto();
    void saveSettingsRejectsBadLists_data();
    void saveSettingsRejectsBadLists();
    void saveWhileSelectedThenControl();
    void concurrentInfoPollsDuringSave();
    void storeFailureAnswersFailed_data();
    void storeFailureAnswersFailed();

private:
    QJsonObject getJson(const QByteArray &target);
    void connectCamera0();
    // Waits for the next command the simulator receives after `spy` started.
    QByteArray nextCommand(QSignalSpy &spy);

    std::unique_ptr<TempDataHome> m_home;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<CameraControl> m_control;
    std::unique_ptr<CameraSimulator> m_sim;
    std::unique_ptr<HttpServerWrapper> m_web;
    std::unique_ptr<CameraApiHandler> m_api;
    FakePanel m_panel;
    quint16 m_port = 0;
};

void TestCameraApi::init()
{
    m_home.reset(new TempDataHome);
    m_settings.reset(new AppSettings);
    m_control.reset(new CameraControl(m_settings.get()));
    m_sim.reset(new CameraSimulator);
    QVERIFY(m_sim->listen(QHostAddress::LocalHost, 0, 0));
    QList<CameraWrapper *> cams;
    for (int i = 0; i < CameraControl::kCameraSlots; ++i) {
        auto *cam = new IPCamera(QStringLiteral("127.0.0.1"), QStringLiteral("Cam%1").arg(i + 1),
                                 QStringLiteral("127.0.0.1"));
        cam->setViscaPort(m_sim->viscaPort());
        cam->setHttpPort(m_sim->httpPort());
        cams << cam;
    }
    m_control->setCameras(cams);
    m_web.reset(new HttpServerWrapper(m_settings.get()));
    m_panel = FakePanel();
    m_api.reset(new CameraApiHandler(m_control.get(), m_settings.get(), &m_panel, [] {
        return QStringList{"usb-cam-a", "usb-cam-b"};
    }));
    m_api->attach(m_web.get());
    QVERIFY(m_web->startServer(QStringLiteral("127.0.0.1"), 0));
    m_port = m_web->server()->serverPort();
}

void TestCameraApi::cleanup()
{
    m_api.reset();
    m_web.reset();
    m_control.reset();
    m_sim.reset();
    m_settings.reset();
    m_home.reset();
}

QJsonObject TestCameraApi::getJson(const QByteArray &target)
{
    const RawResponse r = fetch(m_port, target);
    if (r.status != 200 || r.header("Content-Type") != "application/json")
        qWarning() << "unexpected answer" << r.status << r.raw;
    return QJsonDocument::fromJson(r.body).object();
}

void TestCameraApi::connectCamera0()
{
    QCOMPARE(getJson("/cam/connect?camNum=0").value("status").toString(), QString("OK"));
    QTRY_VERIFY_WITH_TIMEOUT(m_control->canDrive(), 10000);
}

QByteArray TestCameraApi::nextCommand(QSignalSpy &spy)
{
    if (spy.isEmpty() && !spy.wait(5000))
        return QByteArray();
    return spy.takeFirst().at(0).toByteArray();
}

void TestCameraApi::answersWithoutCamera()
{
    const RawResponse r = fetch(m_port, "/cam/getCurrentCamInfo");
    QCOMPARE(r.status, 200);
    QCOMPARE(r.header("Content-Type"), QByteArray("application/json"));
    QJsonArray presets;
    for (int n = 1; n <= 9; ++n)
        presets.append(QStringLiteral("Preset%1").arg(n));
    const QJsonObject expected{{"camIndex", -1},     {"camId", ""},    {"focusAuto", false},
                               {"presets", presets}, {"status", "OK"}, {"msg", ""}};
    // Indented, keys in ascending order.
    QCOMPARE(r.body, QJsonDocument(expected).toJson(QJsonDocument::Indented));

    // Every operation answers OK and sends nothing without a camera.
    QSignalSpy commands(m_sim.get(), &CameraSimulator::commandReceived);
    for (const char *t :
         {"/cam/control?controlMethod=0&panSpeed=3&tiltSpeed=3&zoomSpeed=3&focusSpeed=3",
          "/cam/stopControl?controlMethod=0", "/cam/focusAuto?focusAuto=true",
          "/cam/setPreset?presetNum=1&presetName=a", "/cam/recallPreset?presetNum=1&callSpeed=3",
          "/cam/connect?camNum=8"}) {
        const QJsonObject o = getJson(t);
        QCOMPARE(o, (QJsonObject{{"status", "OK"}, {"msg", ""}}));
    }
    QCOMPARE(m_control->currentIndex(), -1);
    QVERIFY(commands.isEmpty());
    QVERIFY(m_panel.calls.isEmpty());
}

void TestCameraApi::cameraSettingsList()
{
    const QJsonObject o = getJson("/cam/settings");
    QCOMPARE(o.value("usbDevices").toArray(), (QJsonArray{"usb-cam-a", "usb-cam-b"}));
    const QJsonArray list = o.value("camList").toArray();
    QCOMPARE(list.size(), 8);
    QCOMPARE(list.at(7).toObject(),
             (QJsonObject{{"isUsbCam", false}, {"camId", "127.0.0.1"}, {"camName", "Cam8"}}));
}

void TestCameraApi::controlSendsClampedVisca_data()
{
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("expected");
    const auto q = [](int m, int p, int t, int z, int f) {
        return QByteArray("controlMethod=%1&panSpeed=%2&tiltSpeed=%3&zoomSpeed=%4&focusSpeed=%5")
            .replace("%1", QByteArray::number(m))
            .replace("%2", QByteArray::number(p))
            .replace("%3", QByteArray::number(t))
            .replace("%4", QByteArray::number(z))
            .replace("%5", QByteArray::number(f));
    };
    QTest::newRow("right") << q(0, 5, 9, 0, 0) << Visca::moveRight(5, 0);
    QTest::newRow("left, speed -1 to the minimum") << q(1, -1, 0, 0, 0) << Visca::moveLeft(1, 0);
    QTest::newRow("up, tilt above range") << q(2, 0, 99, 0, 0) << Visca::moveUp(0, 20);
    QTest::newRow("down") << q(3, 0, 4, 0, 0) << Visca::moveDown(0, 4);
    QTest::newRow("home") << q(4, 0, 0, 0, 0) << Visca::moveHome();
    QTest::newRow("focus near") << q(5, 0, 0, 0, 3) << Visca::focusIn(3);
    QTest::newRow("focus far, speed 255") << q(6, 0, 0, 0, 255) << Visca::focusOut(7);
    QTest::newRow("zoom tele, speed 16 stays tele") << q(7, 0, 0, 16, 0) << Visca::zoomIn(7);
    QTest::newRow("zoom wide, not a number")
        << q(8, 0, 0, 0, 0).replace("zoomSpeed=0", "zoomSpeed=x") << Visca::zoomOut(0);
}

void TestCameraApi::controlSendsClampedVisca()
{
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, expected);
    connectCamera0();
    QSignalSpy commands(m_sim.get(), &CameraSimulator::commandReceived);
    QCOMPARE(getJson("/cam/control?" + query).value("status").toString(), QString("OK"));
    const QByteArray got = nextCommand(commands);
    QCOMPARE(got.toHex(' '), expected.toHex(' '));
    QCOMPARE(got.indexOf(char(0xFF)), got.size() - 1); // one frame, one terminator

    // An unknown method moves nothing: the next command is the stop below.
    getJson("/cam/control?controlMethod=9&panSpeed=1&tiltSpeed=1&zoomSpeed=1&focusSpeed=1");
    getJson("/cam/stopControl?controlMethod=7");
    QCOMPARE(nextCommand(commands).toHex(' '), Visca::zoomStop().toHex(' '));
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
    QSignalSpy commands(m_sim.get(), &CameraSimulator::commandReceived);
    getJson("/cam/stopControl?controlMethod=" + QByteArray::number(method));
    // Barrier: a home command after it.
    getJson("/cam/control?controlMethod=4&panSpeed=0&tiltSpeed=0&zoomSpeed=0&focusSpeed=0");
    if (!expected.isEmpty())
        QCOMPARE(nextCommand(commands).toHex(' '), expected.toHex(' '));
    QCOMPARE(nextCommand(commands).toHex(' '), Visca::moveHome().toHex(' '));
}

void TestCameraApi::presetNumbersOutsideRangeIgnored()
{
    connectCamera0();
    QSignalSpy commands(m_sim.get(), &CameraSimulator::commandReceived);
    // Text that is not a number picks no preset, camera or motion (not the
    // first one, 0).
    for (const char *t :
         {"/cam/recallPreset?presetNum=255&callSpeed=3",
          "/cam/recallPreset?presetNum=-1&callSpeed=3", "/cam/setPreset?presetNum=300&presetName=x",
          "/cam/recallPreset?presetNum=one&callSpeed=3", "/cam/setPreset?presetNum=&presetName=x",
          "/cam/control?controlMethod=right&panSpeed=5&tiltSpeed=5&zoomSpeed=5&"
          "focusSpeed=5",
          "/cam/connect?camNum=first"})
        QCOMPARE(getJson(t), (QJsonObject{{"status", "OK"}, {"msg", ""}}));
    getJson("/cam/recallPreset?presetNum=254&callSpeed=-5");
    QCOMPARE(nextCommand(commands).toHex(' '), Visca::setPresetSpeed(0).toHex(' '));
    QCOMPARE(nextCommand(commands).toHex(' '), Visca::callPreset(254).toHex(' '));
    QVERIFY(m_panel.calls.isEmpty());
}

void TestCameraApi::setPresetStoresAndReportsDownloadOnce()
{
    connectCamera0();
    QSignalSpy errors(m_control.get(), &CameraControl::cameraError);
    QSignalSpy downloads(m_control.get(), &CameraControl::downloadFinished);
    QCOMPARE(getJson("/cam/checkImg").value("downloaded").toBool(), false);
    QSignalSpy commands(m_sim.get(), &CameraSimulator::commandReceived);
    getJson("/cam/setPreset?presetNum=3&presetName=Stage+left");
    QCOMPARE(nextCommand(commands).toHex(' '), Visca::setPreset(3).toHex(' '));
    QCOMPARE(m_panel.calls, (QStringList{"text 3 Stage left", "save 3 Stage left"}));
    QTRY_VERIFY_WITH_TIMEOUT(!downloads.isEmpty() || !errors.isEmpty(), 10000);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.value(0).value(0).toString()));
    QCOMPARE(getJson("/cam/checkImg").value("downloaded").toBool(), true);
    QCOMPARE(getJson("/cam/checkImg").value("downloaded").toBool(), false);
}

void TestCameraApi::focusAuto()
{
    connectCamera0();
    QSignalSpy commands(m_sim.get(), &CameraSimulator::commandReceived);
    m_panel.syncing = true;
    getJson("/cam/focusAuto?focusAuto=false");
    QVERIFY(m_panel.calls.isEmpty());
    m_panel.syncing = false;
    getJson("/cam/focusAuto?focusAuto=True"); // only "true" means on
    QCOMPARE(m_panel.calls, QStringList{"autofocus 0"});
    QCOMPARE(nextCommand(commands).toHex(' '), Visca::setAutoFocus(false).toHex(' '));
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
    const QList<CameraWrapper *> before = m_control->cameras();
    const RawResponse r = fetch(m_port, target);
    QCOMPARE(r.status, 200);
    QCOMPARE(QJsonDocument::fromJson(r.body).object(),
             (QJsonObject{{"status", "FAILED"}, {"msg", "Wrong camera settings!"}}));
    QCOMPARE(m_control->cameras(), before);
}

void TestCameraApi::storeFailureAnswersFailed_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QString>("msg");
    QTest::newRow("setPreset") << QByteArray("/cam/setPreset?presetNum=3&presetName=Wide")
                               << "The preset name could not be saved: the settings file "
                                  "cannot be written.";
    QTest::newRow("saveSettings") << camList(8)
                                  << "The camera list could not be saved: the settings file "
                                     "cannot be written.";
}

// A change the settings file refuses is not answered as a success.
void TestCameraApi::storeFailureAnswersFailed()
{
    QFETCH(QByteArray, target);
    QFETCH(QString, msg);
    connectCamera0();
    const QString ini = m_settings->fileName();
    QVERIFY(QFile::remove(ini));
    QVERIFY(QDir().mkdir(ini)); // no write can succeed, also as root
    QCOMPARE(getJson(target), (QJsonObject{{"status", "FAILED"}, {"msg", msg}}));
    QVERIFY(QDir().rmdir(ini));
    QCOMPARE(getJson(target).value("status").toString(), QStringLiteral("OK"));
}

void TestCameraApi::saveWhileSelectedThenControl()
{
    connectCamera0();
    QSignalSpy commands(m_sim.get(), &CameraSimulator::commandReceived);
    getJson("/cam/control?controlMethod=0&panSpeed=5&tiltSpeed=5&zoomSpeed=5&focusSpeed=5");
    QCOMPARE(nextCommand(commands).toHex(' '), Visca::moveRight(5, 0).toHex(' '));

    QCOMPARE(getJson(camList(8)), (QJsonObject{{"status", "OK"}, {"msg", ""}}));
    // The running move was stopped on its camera before the list went.
    QCOMPARE(nextCommand(commands).toHex(' '), Visca::moveStop(0, 0).toHex(' '));
    QCOMPARE(m_control->currentIndex(), -1);
    QCOMPARE(m_control->cameraAt(2)->getCameraName(), QString("New3"));
    QCOMPARE(m_control->cameraAt(2)->getCameraId(), QString("127.0.0.4"));

    for (int method = 0; method <= 9; ++method) {
        const QByteArray q = "/cam/control?controlMethod=" + QByteArray::number(method) +
                             "&panSpeed=5&tiltSpeed=5&zoomSpeed=5&focusSpeed=5";
        QCOMPARE(getJson(q).value("status").toString(), QString("OK"));
        QCOMPARE(getJson("/cam/stopControl?controlMethod=" + QByteArray::number(method))
                     .value("status")
                     .toString(),
                 QString("OK"));
    }
    for (const char *t :
         {"/cam/setPreset?presetNum=1&presetName=a", "/cam/recallPreset?presetNum=1&callSpeed=1",
          "/cam/focusAuto?focusAuto=true", "/cam/checkImg"})
        QCOMPARE(getJson(t).value("status").toString(), QString("OK"));
    QCOMPARE(getJson("/cam/getCurrentCamInfo").value("camIndex").toInt(), -1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(getJson("/cam/settings").value("camList").toArray().at(0).toObject().value("camName"),
             QJsonValue("New1"));
}

void TestCameraApi::concurrentInfoPollsDuringSave()
{
    connectCamera0();
    const int clients = 100;
    std::vector<std::unique_ptr<RawHttpClient>> polls;
    for (int i = 0; i < clients; ++i) {
        polls.emplace_back(new RawHttpClient);
        polls.back()->startConnect(m_port);
    }
    for (auto &c : polls)
        QTRY_VERIFY(c->isOpen());
    for (auto &c : polls)
        c->send(getRequest("/cam/getCurrentCamInfo") + getRequest("/cam/getCurrentCamInfo"));
    RawHttpClient saver;
    QVERIFY(saver.connectTo(m_port, getRequest(camList(8))));
    QCOMPARE(QJsonDocument::fromJson(saver.next().body).object().value("status").toString(),
             QString("OK"));
    for (auto &c : polls) {
        for (int k = 0; k < 2; ++k) {
            const RawResponse r = c->next();
            QCOMPARE(r.status, 200);
            const QJsonObject o = QJsonDocument::fromJson(r.body).object();
            QCOMPARE(o.value("status").toString(), QString("OK"));
            QCOMPARE(o.value("presets").toArray().size(), 9);
        }
    }
    QCOMPARE(getJson("/cam/getCurrentCamInfo").value("camIndex").toInt(), -1);
}

QTEST_MAIN(TestCameraApi)
#include "tst_cameraapi.moc"
