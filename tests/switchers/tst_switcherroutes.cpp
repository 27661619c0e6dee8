// The "/obs/" and "/vmix/" routes over HTTP on 127.0.0.1, end to end against
// the fake OBS and vMix peers: each route reaches its client call with the
// request's exact text (volumes that are no finite number become the peer's
// minimum: 0 dB / 100 is full volume), settings never carry the password, and
// a save stores the settings and moves the client to the new peer. (Status
// routes and the commands the switcher page sends: tests/web browser pages.)
#include "../web/rawhttpclient.h"
#include "appsettings.h"
#include "fakeobsserver.h"
#include "fakevmixserver.h"
#include "httpserverwrapper.h"
#include "obswrapper.h"
#include "switcherapihandlers.h"
#include "tempdatahome.h"
#include "vmixwrapper.h"

#include <QJsonDocument>
#include <QtTest>

namespace {
constexpr int kWait = 10000;
const QByteArray kOk = R"({"msg":"","status":"OK"})";
} // namespace

class TestSwitcherRoutes : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void commands_data();
    void commands();
    void saveReconnect();

private:
    // The answer's JSON as compact text.
    QByteArray get(const QByteArray &target)
    {
        const RawResponse r = fetch(m_web.server()->serverPort(), target);
        return QJsonDocument::fromJson(r.body).toJson(QJsonDocument::Compact);
    }

    TempDataHome m_home;
    AppSettings m_settings;
    FakeObsServer m_obsPeer;
    FakeVMixServer m_vmixPeer;
    ObsWrapper m_obs{"127.0.0.1", m_obsPeer.port(), "secret"};
    VMixWrapper m_vmix{"127.0.0.1", m_vmixPeer.port(), "admin", "p@ss"};
    ObsApiHandler m_obsApi{&m_obs, &m_settings};
    VMixApiHandler m_vmixApi{&m_vmix, &m_settings};
    HttpServerWrapper m_web{&m_settings};
};

void TestSwitcherRoutes::initTestCase()
{
    m_obsApi.attach(&m_web);
    m_vmixApi.attach(&m_web);
    QVERIFY(m_web.startServer("127.0.0.1", 0));
    m_obs.connectToServer();
    QTRY_COMPARE_WITH_TIMEOUT(m_obsPeer.types, QStringList{"GetAuthRequired"}, kWait);
}

void TestSwitcherRoutes::commands_data()
{
    // OBS: the tail of the request's compact JSON; vMix: the function target.
    QTest::addColumn<QByteArray>("route");
    QTest::addColumn<QString>("sent");
    const auto row = [](const char *route, const char *sent) {
        QTest::newRow(route) << QByteArray(route) << QString(sent);
    };
    row("/obs/sourceVolume?sourceName=Mic&volume=-12.5",
        R"("SetVolume","source":"Mic","useDecibel":true,"volume":-12.5})");
    row("/obs/sourceVolume?sourceName=Mic&volume=-Infinity",
        R"("SetVolume","source":"Mic","useDecibel":true,"volume":-100})");
    row("/obs/toggleStreaming", R"("StartStopStreaming"})");
    row("/vmix/transition?transition=2", "function=Transition1&input=0");
    row("/vmix/transition?transition=x", ""); // not a number: no QuickPlay
    row("/vmix/masterVolume?volume=69.9", "function=SetMasterVolume&value=69");
    row("/vmix/sourceVolume?sourceName=k1&volume=72.5", "function=SetVolume&value=72.5&input=k1");
    row("/vmix/sourceMuted?sourceName=k2", "function=Audio&input=k2");
    row("/vmix/masterMuted", "function=MasterAudio");
    row("/vmix/toggleRecording", "function=StartStopRecording");
    row("/vmix/togglePlayList", "function=StartPlayList");
}

void TestSwitcherRoutes::commands()
{
    QFETCH(QByteArray, route);
    QFETCH(QString, sent);
    const bool obs = route.startsWith("/obs/");
    const int before = obs ? m_obsPeer.rawRequests.size() : m_vmixPeer.functionTargets().size();
    QCOMPARE(get(route), kOk);
    if (obs) {
        QTRY_COMPARE_WITH_TIMEOUT(m_obsPeer.rawRequests.size(), before + 1, kWait);
        QVERIFY(m_obsPeer.rawRequests.last().endsWith(R"("request-type":)" + sent));
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(m_vmixPeer.functionTargets().size(), before + 1, kWait);
        QCOMPARE(m_vmixPeer.functionTargets().last(), "/api/?" + sent.toUtf8());
    }
}

void TestSwitcherRoutes::saveReconnect()
{
    FakeObsServer obs2;
    FakeVMixServer vmix2;
    const QByteArray obsPort = QByteArray::number(obs2.port());
    const QByteArray vmixPort = QByteArray::number(vmix2.port());
    QCOMPARE(get("/obs/saveReconnect?obsIp=127.0.0.1&obsPort=" + obsPort + "&obsPwd=n%40w"), kOk);
    QCOMPARE(get("/vmix/saveReconnect?vmixIp=127.0.0.1&vmixPort=" + vmixPort +
                 "&vmixId=op&vmixPwd=a%2Fb"),
             kOk);
    QTRY_COMPARE_WITH_TIMEOUT(obs2.connections, 1, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(m_obsPeer.closeCode, 1000, kWait);
    QCOMPARE(get("/vmix/toggleStreaming"), kOk);
    QTRY_COMPARE_WITH_TIMEOUT(vmix2.functionTargets().size(), 1, kWait);
    const QByteArray answers = get("/obs/settings") + get("/vmix/settings");
    QVERIFY(answers.contains(R"("obsPort":)" + obsPort) && answers.contains(R"("vmixId":"op")"));
    // Never the passwords; the settings read back from the file.
    QVERIFY(!answers.contains("n@w") && !answers.contains("a/b"));
    const AppSettings stored;
    QCOMPARE(QStringList({stored.obsIp(), QString::number(stored.obsPort()), stored.obsPwd(),
                          stored.vmixIp(), QString::number(stored.vmixPort()), stored.vmixId(),
                          stored.vmixPwd()}),
             QStringList({"127.0.0.1", obsPort, "n@w", "127.0.0.1", vmixPort, "op", "a/b"}));
}

QTEST_MAIN(TestSwitcherRoutes)
#include "tst_switcherroutes.moc"
