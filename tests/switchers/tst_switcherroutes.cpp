// The "/obs/" and "/vmix/" routes over HTTP on 127.0.0.1, end to end against
// the fake OBS and vMix peers.
#include "appsettings.h"
#include "fakeobsserver.h"
#include "fakevmixserver.h"
#include "httpserverwrapper.h"
#include "obswrapper.h"
#include "rawhttpclient.h"
#include "switcherapihandlers.h"
#include "tempdatahome.h"
#include "vmixwrapper.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <memory>

namespace {

constexpr int kWait = 10000;
constexpr int kFastPollMs = 10;

const QByteArray kStatus =
    "<vmix><inputs>"
    "<input key=\"k1\" title=\"Cam 1\" volume=\"72.5\" muted=\"False\">Cam 1</input>"
    "<input key=\"k2\" title=\"Clip\" muted=\"True\">Clip</input></inputs>"
    "<recording>False</recording><streaming>True</streaming><playList>True</playList>"
    "<audio><master volume=\"22.66712\" muted=\"True\"/></audio></vmix>";

const QJsonObject kOk{{"status", "OK"}, {"msg", ""}};

} // namespace

class TestSwitcherRoutes : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void obsStatusAndSettings();
    void obsCommands();
    void obsSaveReconnect();
    void obsVolumeNotAFiniteNumberIsTheMinimum_data();
    void obsVolumeNotAFiniteNumberIsTheMinimum();
    void vmixStatusAndSettings();
    void vmixCommands_data();
    void vmixCommands();
    void vmixSaveReconnect();

private:
    QJsonObject get(const QByteArray &target)
    {
        const RawResponse r = fetch(m_port, target);
        if (r.status != 200 || r.header("Content-Type") != "application/json")
            qWarning() << "unexpected answer" << r.raw;
        return QJsonDocument::fromJson(r.body).object();
    }

    std::unique_ptr<TempDataHome> m_home;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<FakeObsServer> m_obsPeer;
    std::unique_ptr<FakeVMixServer> m_vmixPeer;
    std::unique_ptr<ObsWrapper> m_obs;
    std::unique_ptr<VMixWrapper> m_vmix;
    std::unique_ptr<HttpServerWrapper> m_web;
    std::unique_ptr<ObsApiHandler> m_obsApi;
    std::unique_ptr<VMixApiHandler> m_vmixApi;
    quint16 m_port = 0;
};

void TestSwitcherRoutes::init()
{
    m_home.reset(new TempDataHome);
    m_settings.reset(new AppSettings);
    m_obsPeer.reset(new FakeObsServer);
    m_obsPeer->sources = QJsonArray{QJsonObject{{"name", "Mic"}}, QJsonObject{{"name", "Desk"}}};
    m_obsPeer->volumes = QJsonObject{{"Mic", QJsonObject{{"volume", -6.5}, {"muted", true}}}};
    m_obsPeer->transitions =
        QJsonArray{QJsonObject{{"name", "Cut"}}, QJsonObject{{"name", "Fade"}}};
    m_obsPeer->currentTransition = "Fade";
    m_obsPeer->streaming = true;
    m_vmixPeer.reset(new FakeVMixServer);
    m_vmixPeer->body = kStatus;

    m_obs.reset(new ObsWrapper("127.0.0.1", m_obsPeer->port(), "secret"));
    m_obs->setPollInterval(kFastPollMs);
    m_vmix.reset(new VMixWrapper("127.0.0.1", m_vmixPeer->port(), "admin", "p@ss"));
    m_vmix->setPollInterval(kFastPollMs);
    m_web.reset(new HttpServerWrapper(m_settings.get()));
    m_obsApi.reset(new ObsApiHandler(m_obs.get(), m_settings.get()));
    m_obsApi->attach(m_web.get());
    m_vmixApi.reset(new VMixApiHandler(m_vmix.get(), m_settings.get()));
    m_vmixApi->attach(m_web.get());
    QVERIFY(m_web->startServer("127.0.0.1", 0));
    m_port = m_web->server()->serverPort();
}

void TestSwitcherRoutes::cleanup()
{
    m_obsApi.reset();
    m_vmixApi.reset();
    m_web.reset();
    m_obs.reset();
    m_vmix.reset();
    m_obsPeer.reset();
    m_vmixPeer.reset();
    m_settings.reset();
    m_home.reset();
}

void TestSwitcherRoutes::obsStatusAndSettings()
{
    m_obs->connectToServer();
    m_obs->startPolling();
    const QJsonObject expected{
        {"isStreaming", true},
        {"isRecording", false},
        {"sources", QJsonArray{QJsonObject{{"name", "Mic"}, {"volume", -6.5}, {"muted", true}},
                               QJsonObject{{"name", "Desk"}, {"volume", 0}, {"muted", false}}}},
        {"transitions", QJsonArray{"Cut", "Fade"}},
        {"currentTransition", "Fade"},
        {"status", "OK"},
        {"msg", ""}};
    QTRY_COMPARE_WITH_TIMEOUT(get("/obs/status"), expected, kWait);
    // Never the password.
    QCOMPARE(get("/obs/settings"), (QJsonObject{{"obsIp", "127.0.0.1"},
                                                {"obsPort", m_obsPeer->port()},
                                                {"status", "OK"},
                                                {"msg", ""}}));
}

void TestSwitcherRoutes::obsCommands()
{
    m_obs->connectToServer();
    QTRY_COMPARE_WITH_TIMEOUT(m_obs->socketState(), QAbstractSocket::ConnectedState, kWait);
    QCOMPARE(get("/obs/sourceVolume?sourceName=Mic&volume=-12.5"), kOk);
    QCOMPARE(get("/obs/sourceMuted?sourceName=Desk+1"), kOk);
    QCOMPARE(get("/obs/toggleStreaming"), kOk);
    QCOMPARE(get("/obs/toggleRecording"), kOk);
    QCOMPARE(get("/obs/transition?transition=Fade"), kOk);
    QTRY_COMPARE_WITH_TIMEOUT(m_obsPeer->types().mid(1),
                              (QStringList{"SetVolume", "ToggleMute", "StartStopStreaming",
                                           "StartStopRecording", "SetCurrentTransition"}),
                              kWait);
    QCOMPARE(m_obsPeer->requests.at(1).value("volume").toDouble(), -12.5);
    QCOMPARE(m_obsPeer->requests.at(1).value("source").toString(), QString("Mic"));
    QCOMPARE(m_obsPeer->requests.at(2).value("source").toString(), QString("Desk 1"));
    QCOMPARE(m_obsPeer->requests.at(5).value("transition-name").toString(), QString("Fade"));
}

void TestSwitcherRoutes::obsVolumeNotAFiniteNumberIsTheMinimum_data()
{
    QTest::addColumn<QByteArray>("volume");
    for (const char *v : {"-Infinity", "Infinity", "-inf", "nan", "abc", "", "1e999"})
        QTest::newRow(v) << QByteArray(v);
}

// 0 dB is full volume: a volume that is no finite number must not become it.
void TestSwitcherRoutes::obsVolumeNotAFiniteNumberIsTheMinimum()
{
    QFETCH(QByteArray, volume);
    m_obs->connectToServer();
    QTRY_COMPARE_WITH_TIMEOUT(m_obs->socketState(), QAbstractSocket::ConnectedState, kWait);
    QCOMPARE(get("/obs/sourceVolume?sourceName=Mic&volume=" + volume), kOk);
    QTRY_COMPARE_WITH_TIMEOUT(m_obsPeer->types().mid(1), QStringList{"SetVolume"}, kWait);
    QCOMPARE(m_obsPeer->requests.at(1).value("volume").toDouble(), -100.0);
}

void TestSwitcherRoutes::obsSaveReconnect()
{
    m_obs->connectToServer();
    QTRY_COMPARE_WITH_TIMEOUT(m_obsPeer->connections, 1, kWait);
    FakeObsServer second;
    QCOMPARE(get("/obs/saveReconnect?obsIp=127.0.0.1&obsPort=" + QByteArray::number(second.port()) +
                 "&obsPwd=n%40w"),
             kOk);
    QTRY_COMPARE_WITH_TIMEOUT(second.connections, 1, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(m_obsPeer->closeCode, 1000, kWait);
    QCOMPARE(m_settings->obsPort(), int(second.port()));
    QCOMPARE(m_settings->obsPwd(), QString("n@w"));
    QVERIFY(!m_obs->isPolling());
}

void TestSwitcherRoutes::vmixStatusAndSettings()
{
    m_vmix->startPolling();
    const QJsonObject expected{{"inputs", QJsonArray{QJsonObject{{"inputName", "Cam 1"},
                                                                 {"inputKey", "k1"},
                                                                 {"inputVolume", "72.5"},
                                                                 {"inputVolumeMuted", false}},
                                                     QJsonObject{{"inputName", "Clip"},
                                                                 {"inputKey", "k2"},
                                                                 {"inputVolume", ""},
                                                                 {"inputVolumeMuted", true}}}},
                               {"isStreaming", true},
                               {"isRecording", false},
                               {"isPlayListOn", true},
                               {"masterVolumeMuted", true},
                               {"masterVolume", 22.66712},
                               {"status", "OK"},
                               {"msg", ""}};
    QTRY_COMPARE_WITH_TIMEOUT(get("/vmix/status"), expected, kWait);
    QCOMPARE(get("/vmix/settings"), (QJsonObject{{"vmixIp", "127.0.0.1"},
                                                 {"vmixPort", m_vmixPeer->port()},
                                                 {"vmixId", "admin"},
                                                 {"status", "OK"},
                                                 {"msg", ""}}));
}

void TestSwitcherRoutes::vmixCommands_data()
{
    QTest::addColumn<QByteArray>("route");
    QTest::addColumn<QByteArray>("function");
    QTest::newRow("fade to black")
        << QByteArray("/vmix/transition?transition=6") << QByteArray("/api/?function=FadeToBlack");
    QTest::newRow("transition 2") << QByteArray("/vmix/transition?transition=2")
                                  << QByteArray("/api/?function=Transition1&input=0");
    QTest::newRow("master volume truncated")
        << QByteArray("/vmix/masterVolume?volume=69.9")
        << QByteArray("/api/?function=SetMasterVolume&value=69");
    QTest::newRow("source volume -Infinity")
        << QByteArray("/vmix/sourceVolume?sourceName=k1&volume=-Infinity")
        << QByteArray("/api/?function=SetVolume&value=0&input=k1");
    QTest::newRow("source volume not a number")
        << QByteArray("/vmix/sourceVolume?sourceName=k1&volume=loud")
        << QByteArray("/api/?function=SetVolume&value=0&input=k1");
    QTest::newRow("master volume Infinity") << QByteArray("/vmix/masterVolume?volume=Infinity")
                                            << QByteArray("/api/?function=SetMasterVolume&value=0");
    QTest::newRow("transition not a number is no QuickPlay")
        << QByteArray("/vmix/transition?transition=x") << QByteArray("/api/?");
    QTest::newRow("injected function")
        << QByteArray("/vmix/setPreview?sourceName=x%26function%3DCut")
        << QByteArray("/api/?function=PreviewInput&input=x%26function%3DCut");
    QTest::newRow("input audio") << QByteArray("/vmix/sourceMuted?sourceName=k2")
                                 << QByteArray("/api/?function=Audio&input=k2");
    QTest::newRow("master audio") << QByteArray("/vmix/masterMuted")
                                  << QByteArray("/api/?function=MasterAudio");
    QTest::newRow("streaming") << QByteArray("/vmix/toggleStreaming")
                               << QByteArray("/api/?function=StartStopStreaming");
    QTest::newRow("recording") << QByteArray("/vmix/toggleRecording")
                               << QByteArray("/api/?function=StartStopRecording");
    QTest::newRow("play list off before any poll")
        << QByteArray("/vmix/togglePlayList") << QByteArray("/api/?function=StartPlayList");
}

void TestSwitcherRoutes::vmixCommands()
{
    QFETCH(QByteArray, route);
    QFETCH(QByteArray, function);
    QCOMPARE(get(route), kOk);
    QTRY_COMPARE_WITH_TIMEOUT(m_vmixPeer->functionTargets(), QList<QByteArray>{function}, kWait);
}

void TestSwitcherRoutes::vmixSaveReconnect()
{
    FakeVMixServer second;
    second.body = kStatus;
    QCOMPARE(get("/vmix/saveReconnect?vmixIp=127.0.0.1&vmixPort=" +
                 QByteArray::number(second.port()) + "&vmixId=op&vmixPwd=a%2Fb"),
             kOk);
    QCOMPARE(m_settings->vmixPort(), int(second.port()));
    QCOMPARE(m_settings->vmixId(), QString("op"));
    QCOMPARE(m_settings->vmixPwd(), QString("a/b"));
    QCOMPARE(get("/vmix/toggleStreaming"), kOk);
    QTRY_COMPARE_WITH_TIMEOUT(second.functionTargets(),
                              QList<QByteArray>{"/api/?function=StartStopStreaming"}, kWait);
    QVERIFY(m_vmixPeer->requests.isEmpty());
}

QTEST_MAIN(TestSwitcherRoutes)
#include "tst_switcherroutes.moc"
