// obs-websocket 4.x: the protocol helpers without sockets (request texts, the
// known authentication vector, reply ids, volume bounds), then ObsWrapper
// against the fake server on loopback: authentication, the poll sequence and
// the picture's JSON, ignored messages, a bounded send backlog, closing and
// reconnecting. The commands' texts are checked through the routes.

#include "fakeobsserver.h"
#include "obsprotocol.h"
#include "obswrapper.h"

#include <QSignalSpy>
#include <QtTest>

#include <limits>
#include <memory>

namespace {
constexpr int kWait = 10000;
} // namespace

class TestObsWrapper : public QObject
{
    Q_OBJECT
private slots:
    void protocol();
    void init();
    void authentication();
    void pollSequence();
    void sendBacklogIsBounded();
    void closing_data();
    void closing();

private:
    // Connects with the given password and waits for the handshake requests.
    void connectClient(const QString &password);
    // Connects without authentication and polls once; the picture is filled.
    void fillPicture();
    // Every message the fake sent has been handled by the client.
    bool settled() const { return inbox->count() == fake->sent; }

    std::unique_ptr<FakeObsServer> fake;
    std::unique_ptr<ObsWrapper> obs;
    std::unique_ptr<QSignalSpy> inbox;
};

void TestObsWrapper::protocol()
{
    QCOMPARE(ObsProtocol::request(ObsProtocol::SetCurrentTransition, {{"x", "y"}}),
             R"({"message-id":"10","request-type":"SetCurrentTransition","x":"y"})");
    QCOMPARE(ObsProtocol::authString(FakeObsServer::kPassword, FakeObsServer::kSalt,
                                     FakeObsServer::kChallenge),
             QString(FakeObsServer::kAuth));
    QCOMPARE(ObsProtocol::replyId({{"message-id", "12"}}), 12);
    QCOMPARE(ObsProtocol::replyId({{"message-id", "-4"}}), -4);
    const double inf = std::numeric_limits<double>::infinity();
    QList<double> volumes;
    for (double db : {-6.5, -inf, inf, std::nan(""), -100.5, 26.5, 26.0})
        volumes << ObsProtocol::sanitizeVolumeDb(db);
    QCOMPARE(volumes, QList<double>({-6.5, -100, -100, -100, -100, 26, 26}));
}

void TestObsWrapper::init()
{
    fake = std::make_unique<FakeObsServer>();
    fake->sources = QJsonArray{QJsonObject{{"name", "Mic"}}, QJsonObject{{"name", "Music"}}};
    fake->volumes = QJsonObject{{"Mic", QJsonObject{{"volume", -3.5}, {"muted", true}}}};
    fake->transitions = QJsonArray{QJsonObject{{"name", "Cut"}}, QJsonObject{{"name", "Fade"}}};
    fake->currentTransition = "Fade";
    fake->streaming = true;
}

void TestObsWrapper::connectClient(const QString &password)
{
    obs = std::make_unique<ObsWrapper>("127.0.0.1", fake->port(), password);
    obs->setPollInterval(1000000); // ticks are driven by hand
    // Connected after the wrapper's own slot: a message counted here has been
    // handled.
    inbox = std::make_unique<QSignalSpy>(obs->findChild<QWebSocket *>(),
                                         &QWebSocket::textMessageReceived);
    obs->connectToServer();
    QTRY_VERIFY_WITH_TIMEOUT(
        fake->types.contains(fake->authRequired ? "Authenticate" : "GetAuthRequired"), kWait);
}

void TestObsWrapper::fillPicture()
{
    connectClient(QString());
    obs->onOBSTimer();
    QTRY_COMPARE_WITH_TIMEOUT(fake->types.count("GetVolume"), 2, kWait);
    QTRY_VERIFY_WITH_TIMEOUT(settled(), kWait);
}

// Required by the peer: the right password is accepted, a wrong one leaves
// the picture empty. (Not required: every other test.)
void TestObsWrapper::authentication()
{
    for (const bool right : {true, false}) {
        init();
        fake->authRequired = true;
        connectClient(right ? FakeObsServer::kPassword : "supersecretpassword2");
        obs->onOBSTimer();
        QTRY_VERIFY_WITH_TIMEOUT(fake->types.contains("GetStreamingStatus"), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(settled(), kWait);
        QCOMPARE(obs->getSourcesJson().size(), right ? 2 : 0);
        QCOMPARE(obs->isStreaming(), right);
    }
}

void TestObsWrapper::pollSequence()
{
    fillPicture();
    // Music's volume reply carries no volume: reported as 0 dB, not muted.
    QCOMPARE(QJsonDocument(obs->statusJson()).toJson(QJsonDocument::Compact),
             R"({"currentTransition":"Fade","isRecording":false,"isStreaming":true,"sources":[)"
             R"({"muted":true,"name":"Mic","volume":-3.5},{"muted":false,"name":"Music",)"
             R"("volume":0}],"transitions":["Cut","Fade"]})");
    QCOMPARE(fake->rawRequests.join('\n'), R"({"message-id":"0","request-type":"GetAuthRequired"}
{"message-id":"2","request-type":"GetSourcesList"}
{"message-id":"9","request-type":"GetTransitionList"}
{"message-id":"4","request-type":"GetStreamingStatus"}
{"message-id":"3","request-type":"GetVolume","source":"Mic","useDecibel":true}
{"message-id":"3","request-type":"GetVolume","source":"Music","useDecibel":true})");
    // Messages to ignore keep the picture and get no answer.
    const QJsonObject before = obs->statusJson();
    for (const char *message :
         {R"({"update-type":"SourceRenamed","previousName":"Mic","newName":"X"})", "not json",
          "[1,2]", R"({"message-id":"2","status":"ok","sources":"broken"})",
          R"({"message-id":"9","status":"ok","transitions":{}})",
          R"({"message-id":"3","status":"ok","volume":5})",
          R"({"message-id":"3","status":"error","name":"Mic","volume":-50})",
          R"({"message-id":"4","status":"error"})",
          R"({"message-id":"10","status":"ok","streaming":false})",
          R"({"message-id":"-4","status":"ok","streaming":false})",
          R"({"message-id":4,"status":"ok","streaming":false})"})
        fake->push(QString(message));
    QTRY_VERIFY_WITH_TIMEOUT(settled(), kWait);
    QCOMPARE(obs->statusJson(), before);
    QCOMPARE(fake->requests.size(), 6);
    // Scene tracking: a tick learns program and studio mode, the next one
    // asks for the preview scene too.
    obs->setSceneTracking(true);
    fake->currentScene = "A";
    fake->studioMode = true;
    fake->previewScene = "B";
    obs->onOBSTimer();
    QTRY_VERIFY_WITH_TIMEOUT(fake->types.contains("GetStudioModeStatus"), kWait);
    QTRY_VERIFY_WITH_TIMEOUT(settled(), kWait);
    QCOMPARE(obs->programScene(), QStringLiteral("A"));
    QVERIFY(!fake->types.contains("GetPreviewScene"));
    obs->onOBSTimer();
    QTRY_COMPARE_WITH_TIMEOUT(obs->previewScene(), QStringLiteral("B"), kWait);
}

void TestObsWrapper::sendBacklogIsBounded()
{
    connectClient(QString());
    QWebSocket *socket = obs->findChild<QWebSocket *>();
    const QString name(10000, QLatin1Char('m'));
    // Without returning to the event loop nothing is written out: the
    // backlog stands for a peer that stopped reading.
    for (int i = 0; i < 200; ++i)
        obs->toggleMute(name);
    obs->onOBSTimer();
    QVERIFY(socket->bytesToWrite() > ObsWrapper::kMaxWriteBacklogBytes);
    QVERIFY(socket->bytesToWrite() < ObsWrapper::kMaxWriteBacklogBytes + 2 * name.size());
}

void TestObsWrapper::closing_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("oversized message") << 0;
    QTest::newRow("moved to a port that cannot be in a URL") << 1;
}

void TestObsWrapper::closing()
{
    QFETCH(int, how);
    fillPicture();
    const QJsonObject before = obs->statusJson();
    if (how == 0)
        fake->push(QString(int(ObsWrapper::kMaxMessageBytes) + 1, QLatin1Char('x')));
    else
        obs->reconnectTo("127.0.0.1", 70000, QString());
    QTRY_COMPARE_WITH_TIMEOUT(obs->socketState(), QAbstractSocket::UnconnectedState, kWait);
    if (how == 1)
        QTRY_COMPARE_WITH_TIMEOUT(fake->closeCode, 1000, kWait);
    obs->onOBSTimer(); // a tick without a connection sends nothing
    QCOMPARE(obs->statusJson(), before);
    QCOMPARE(fake->requests.size(), 6);
    QCOMPARE(fake->connections, 1);
}

QTEST_GUILESS_MAIN(TestObsWrapper)
#include "tst_obswrapper.moc"
