// ObsWrapper against a fake obs-websocket 4.x server on loopback:
// authentication (with the known auth vector), the poll sequence and the
// picture's JSON, ignored messages, commands on the wire, closing and
// reconnecting.

#include "fakeobsserver.h"
#include "obswrapper.h"

#include <QSignalSpy>
#include <QtTest>

#include <functional>
#include <limits>
#include <memory>

namespace {

constexpr int kWait = 10000;
constexpr int kNoPoll = 1000000; // ticks are driven by hand

using Call = std::function<void(ObsWrapper &)>;

} // namespace

Q_DECLARE_METATYPE(Call)

class TestObsWrapper : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void authentication_data();
    void authentication();
    void pollSequence();
    void ignoredMessagesKeepPicture();
    void commands_data();
    void commands();
    void sendBacklogIsBounded();
    void closing_data();
    void closing();
    void reconnectTo();

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

void TestObsWrapper::init()
{
    fake = std::make_unique<FakeObsServer>();
    fake->sources = QJsonArray{QJsonObject{{"name", "Mic"}, {"type", "input"}},
                               QJsonObject{{"name", "Music"}, {"type", "input"}}};
    fake->volumes = QJsonObject{{"Mic", QJsonObject{{"volume", -3.5}, {"muted", true}}}};
    fake->volumeErrors = {"Music"};
    fake->transitions = QJsonArray{QJsonObject{{"name", "Cut"}}, QJsonObject{{"name", "Fade"}}};
    fake->currentTransition = "Fade";
    fake->streaming = true;
}

void TestObsWrapper::connectClient(const QString &password)
{
    obs = std::make_unique<ObsWrapper>(QStringLiteral("127.0.0.1"), fake->port(), password);
    obs->setPollInterval(kNoPoll);
    // Connected after the wrapper's own slot: a message counted here has been
    // handled.
    inbox = std::make_unique<QSignalSpy>(obs->findChild<QWebSocket *>(),
                                         &QWebSocket::textMessageReceived);
    obs->connectToServer();
    QTRY_VERIFY_WITH_TIMEOUT(
        fake->types().contains(fake->authRequired ? "Authenticate" : "GetAuthRequired"), kWait);
}

void TestObsWrapper::fillPicture()
{
    connectClient(QString());
    obs->onOBSTimer();
    QTRY_COMPARE_WITH_TIMEOUT(fake->types().count("GetVolume"), 2, kWait);
    QTRY_VERIFY_WITH_TIMEOUT(settled(), kWait);
}

void TestObsWrapper::authentication_data()
{
    QTest::addColumn<bool>("required");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("not required") << false << "ignored" << true;
    QTest::newRow("right password") << true << FakeObsServer::kPassword << true;
    QTest::newRow("wrong password") << true << "supersecretpassword2" << false;
}

void TestObsWrapper::authentication()
{
    QFETCH(bool, required);
    QFETCH(QString, password);
    QFETCH(bool, accepted);
    fake->authRequired = required;
    connectClient(password);
    obs->onOBSTimer();
    QTRY_VERIFY_WITH_TIMEOUT(fake->types().contains("GetStreamingStatus"), kWait);
    if (accepted) {
        QTRY_COMPARE_WITH_TIMEOUT(obs->getSourcesJson().size(), 2, kWait);
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(settled(), kWait);
        QVERIFY(obs->getSourcesJson().isEmpty());
        QVERIFY(!obs->isStreaming());
    }
}

void TestObsWrapper::pollSequence()
{
    fillPicture();
    const QJsonObject expected{
        {"isStreaming", true},
        {"isRecording", false},
        {"sources", QJsonArray{QJsonObject{{"name", "Mic"}, {"volume", -3.5}, {"muted", true}},
                               // its volume request failed: reported as 0 dB, not muted
                               QJsonObject{{"name", "Music"}, {"volume", 0}, {"muted", false}}}},
        {"transitions", QJsonArray{"Cut", "Fade"}},
        {"currentTransition", "Fade"}};
    QCOMPARE(obs->statusJson(), expected);

    QCOMPARE(fake->types(), (QStringList{"GetAuthRequired", "GetSourcesList", "GetTransitionList",
                                         "GetStreamingStatus", "GetVolume", "GetVolume"}));
    const QStringList ids{"0", "2", "9", "4", "3", "3"};
    for (int i = 0; i < ids.size(); ++i) {
        const QJsonObject &r = fake->requests.at(i);
        QCOMPARE(r.value("message-id"), QJsonValue(ids.at(i)));
        QCOMPARE(fake->rawRequests.at(i),
                 QString::fromUtf8(QJsonDocument(r).toJson(QJsonDocument::Compact)));
    }
    QCOMPARE(fake->requests.at(4).value("source"), QJsonValue("Mic"));
    QCOMPARE(fake->requests.at(5).value("source"), QJsonValue("Music"));
    QCOMPARE(fake->requests.at(5).value("useDecibel"), QJsonValue(true));
}

void TestObsWrapper::ignoredMessagesKeepPicture()
{
    fillPicture();
    const QJsonObject before = obs->statusJson();
    fake->push(
        QJsonObject{{"update-type", "SourceRenamed"}, {"previousName", "Mic"}, {"newName", "X"}});
    fake->push(QStringLiteral("not json"));
    fake->push(QStringLiteral("[1,2]"));
    fake->push(QJsonObject{{"message-id", "2"}, {"status", "ok"}, {"sources", "broken"}});
    fake->push(QJsonObject{{"message-id", "9"}, {"status", "ok"}, {"transitions", QJsonObject()}});
    fake->push(QJsonObject{{"message-id", "3"}, {"status", "ok"}, {"volume", 5}});
    fake->push(
        QJsonObject{{"message-id", "3"}, {"status", "error"}, {"name", "Mic"}, {"volume", -50}});
    fake->push(QJsonObject{{"message-id", "4"}, {"status", "error"}});
    fake->push(QJsonObject{{"message-id", "10"}, {"status", "ok"}, {"streaming", false}});
    fake->push(QJsonObject{{"message-id", "-4"}, {"status", "ok"}, {"streaming", false}});
    fake->push(QJsonObject{{"message-id", 4}, {"status", "ok"}, {"streaming", false}});
    QTRY_VERIFY_WITH_TIMEOUT(settled(), kWait);
    QCOMPARE(obs->statusJson(), before);
    QCOMPARE(fake->requests.size(), 6); // nothing was sent in answer
}

void TestObsWrapper::commands_data()
{
    const double inf = std::numeric_limits<double>::infinity();
    QTest::addColumn<Call>("call");
    QTest::addColumn<QJsonObject>("request");
    QTest::newRow("mute") << Call([](ObsWrapper &o) {
        o.toggleMute("Mic");
    }) << QJsonObject{{"request-type", "ToggleMute"}, {"message-id", "5"}, {"source", "Mic"}};
    const auto volume = [](double v) {
        return QJsonObject{{"request-type", "SetVolume"},
                           {"message-id", "6"},
                           {"source", "Mic"},
                           {"volume", v},
                           {"useDecibel", true}};
    };
    QTest::newRow("volume") << Call([](ObsWrapper &o) { o.setVolume(-6.5, "Mic"); })
                            << volume(-6.5);
    QTest::newRow("volume -inf") << Call([=](ObsWrapper &o) { o.setVolume(-inf, "Mic"); })
                                 << volume(-100);
    QTest::newRow("volume nan") << Call([](ObsWrapper &o) { o.setVolume(std::nan(""), "Mic"); })
                                << volume(-100);
    QTest::newRow("volume too loud")
        << Call([](ObsWrapper &o) { o.setVolume(40, "Mic"); }) << volume(26);
    QTest::newRow("streaming") << Call([](ObsWrapper &o) {
        o.startStopStreaming();
    }) << QJsonObject{{"request-type", "StartStopStreaming"}, {"message-id", "7"}};
    QTest::newRow("recording") << Call([](ObsWrapper &o) {
        o.startStopRecording();
    }) << QJsonObject{{"request-type", "StartStopRecording"}, {"message-id", "8"}};
    QTest::newRow("transition") << Call([](ObsWrapper &o) { o.setCurrentTransition("Fade"); })
                                << QJsonObject{{"request-type", "SetCurrentTransition"},
                                               {"message-id", "10"},
                                               {"transition-name", "Fade"}};
}

void TestObsWrapper::commands()
{
    QFETCH(Call, call);
    QFETCH(QJsonObject, request);
    connectClient(QString());
    call(*obs);
    QTRY_COMPARE_WITH_TIMEOUT(fake->requests.size(), 2, kWait);
    QCOMPARE(fake->requests.last(), request);
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
    QTest::newRow("client closes") << 0;
    QTest::newRow("peer closes") << 1;
    QTest::newRow("oversized message") << 2;
}

void TestObsWrapper::closing()
{
    QFETCH(int, how);
    fillPicture();
    const QJsonObject before = obs->statusJson();
    if (how == 0)
        obs->disconnectFromServer();
    else if (how == 1)
        fake->peer->close();
    else
        fake->push(QString(int(ObsWrapper::kMaxMessageBytes) + 1, QLatin1Char('x')));
    QTRY_COMPARE_WITH_TIMEOUT(obs->socketState(), QAbstractSocket::UnconnectedState, kWait);
    if (how == 0)
        QTRY_COMPARE_WITH_TIMEOUT(fake->closeCode, 1000, kWait);
    obs->onOBSTimer(); // a tick without a connection sends nothing
    QCOMPARE(obs->statusJson(), before);
    QCOMPARE(fake->requests.size(), 6);
    QCOMPARE(fake->connections, 1);
}

void TestObsWrapper::reconnectTo()
{
    connectClient(QString());
    FakeObsServer second;
    obs->reconnectTo(QStringLiteral("127.0.0.1"), second.port(), QString());
    QTRY_COMPARE_WITH_TIMEOUT(second.types(), QStringList{"GetAuthRequired"}, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(fake->closeCode, 1000, kWait);
    QCOMPARE(obs->settingsJson(),
             (QJsonObject{{"obsIp", "127.0.0.1"}, {"obsPort", int(second.port())}}));

    // A port that cannot be in a URL leaves the socket closed.
    obs->reconnectTo(QStringLiteral("127.0.0.1"), 70000, QString());
    QTRY_COMPARE_WITH_TIMEOUT(obs->socketState(), QAbstractSocket::UnconnectedState, kWait);
    QCOMPARE(second.connections, 1);
}

QTEST_GUILESS_MAIN(TestObsWrapper)
#include "tst_obswrapper.moc"
