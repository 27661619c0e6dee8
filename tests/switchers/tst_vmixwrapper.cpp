// VMixWrapper against a fake vMix HTTP server on loopback: the polled
// picture and its JSON, failed polls, one poll in flight, basic
// authentication, and the function requests on the wire.

#include "fakevmixserver.h"
#include "vmixwrapper.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QtTest>

#include <functional>
#include <limits>
#include <memory>

namespace {

constexpr int kWait = 10000;
constexpr int kFastPollMs = 10;

const QByteArray kStatus =
    "<vmix><version>24</version><inputs>"
    "<input key=\"k1\" number=\"1\" title=\"Cam 1\" volume=\"72.5\" muted=\"False\">Cam 1</input>"
    "<input key=\"k2\" number=\"2\" title=\"Clip\" muted=\"True\">Clip</input></inputs>"
    "<recording>False</recording><streaming>True</streaming><playList>True</playList>"
    "<audio><master volume=\"22.66712\" muted=\"True\" meterF1=\"0\"/></audio></vmix>";

using Call = std::function<void(VMixWrapper &)>;

} // namespace

Q_DECLARE_METATYPE(Call)

class TestVMixWrapper : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void statusPicture();
    void failedPollKeepsPicture_data();
    void failedPollKeepsPicture();
    void notXmlEmptiesInputsOnly();
    void stalledPeerGetsOnePoll();
    void functionRequests_data();
    void functionRequests();

private:
    // Polls until one poll has finished with the given result.
    bool pollOnce(bool expectApplied);

    std::unique_ptr<FakeVMixServer> fake;
    std::unique_ptr<VMixWrapper> vmix;
};

void TestVMixWrapper::init()
{
    fake = std::make_unique<FakeVMixServer>();
    fake->body = kStatus;
    vmix = std::make_unique<VMixWrapper>(QStringLiteral("127.0.0.1"), fake->port(),
                                         QStringLiteral("admin"), QString());
    vmix->setPollInterval(kFastPollMs);
}

bool TestVMixWrapper::pollOnce(bool expectApplied)
{
    QSignalSpy spy(vmix.get(), &VMixWrapper::pollFinished);
    vmix->startPolling();
    const bool done = spy.wait(kWait);
    vmix->stopPolling();
    return done && spy.first().at(0).toBool() == expectApplied;
}

void TestVMixWrapper::statusPicture()
{
    QVERIFY(pollOnce(true));
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
                               {"masterVolume", 22.66712}};
    QCOMPARE(vmix->statusJson(), expected);
    QCOMPARE(fake->statusTargets().first(), QByteArray("/api"));

    // The play list toggle follows the last poll.
    vmix->togglePlayList();
    QTRY_COMPARE_WITH_TIMEOUT(fake->functionTargets(),
                              QList<QByteArray>{"/api/?function=StopPlayList"}, kWait);
}

void TestVMixWrapper::failedPollKeepsPicture_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("http 500") << int(FakeVMixServer::Http500) << kStatus;
    QTest::newRow("auth refused") << int(FakeVMixServer::Challenge) << kStatus;
    QTest::newRow("oversized") << int(FakeVMixServer::Answer)
                               << QByteArray("<vmix>") +
                                      QByteArray(VMixWrapper::kMaxStatusBytes, ' ') + "</vmix>";
}

void TestVMixWrapper::failedPollKeepsPicture()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, body);
    QVERIFY(pollOnce(true));
    const QJsonObject before = vmix->statusJson();
    fake->mode = FakeVMixServer::Mode(mode);
    fake->body = body;
    fake->expectedAuth = "Basic nobody";
    QVERIFY(pollOnce(false));
    QCOMPARE(vmix->statusJson(), before);
}

void TestVMixWrapper::notXmlEmptiesInputsOnly()
{
    QVERIFY(pollOnce(true));
    fake->body = "Function completed successfully.";
    QVERIFY(pollOnce(true));
    QVERIFY(vmix->getInputs().isEmpty());
    QVERIFY(vmix->isStreaming());
    QVERIFY(vmix->isPlayListOn());
    QCOMPARE(vmix->getMasterVolume(), 22.66712);
}

void TestVMixWrapper::stalledPeerGetsOnePoll()
{
    fake->mode = FakeVMixServer::Stall;
    vmix->setTransferTimeout(1000);
    int requestsWhenTimedOut = -1;
    connect(vmix.get(), &VMixWrapper::pollFinished, this, [&] {
        if (requestsWhenTimedOut < 0)
            requestsWhenTimedOut = fake->requests.size();
    });
    vmix->startPolling(); // ticks every 10 ms while the first poll hangs
    QTRY_VERIFY_WITH_TIMEOUT(requestsWhenTimedOut >= 0, kWait);
    QVERIFY(requestsWhenTimedOut <= 1);
    // Polling goes on after the time-out.
    QTRY_VERIFY_WITH_TIMEOUT(fake->requests.size() >= 2, kWait);
}

void TestVMixWrapper::functionRequests_data()
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QTest::addColumn<Call>("call");
    QTest::addColumn<QByteArray>("target");
    QTest::newRow("quick play") << Call([](VMixWrapper &v) { v.applyTransition(0); })
                                << QByteArray("/api/?function=QuickPlay&input=0");
    QTest::newRow("transition 2") << Call([](VMixWrapper &v) { v.applyTransition(2); })
                                  << QByteArray("/api/?function=Transition1&input=0");
    QTest::newRow("fade to black") << Call([](VMixWrapper &v) { v.applyTransition(6); })
                                   << QByteArray("/api/?function=FadeToBlack");
    QTest::newRow("unknown transition")
        << Call([](VMixWrapper &v) { v.applyTransition(9); }) << QByteArray("/api/?");
    QTest::newRow("volume") << Call([](VMixWrapper &v) { v.setVolume(72.50, "k1"); })
                            << QByteArray("/api/?function=SetVolume&value=72.5&input=k1");
    QTest::newRow("volume -inf") << Call([=](VMixWrapper &v) { v.setVolume(-inf, "k1"); })
                                 << QByteArray("/api/?function=SetVolume&value=0&input=k1");
    QTest::newRow("volume nan") << Call([=](VMixWrapper &v) { v.setVolume(nan, "k1"); })
                                << QByteArray("/api/?function=SetVolume&value=0&input=k1");
    QTest::newRow("volume clamped") << Call([](VMixWrapper &v) { v.setVolume(250, "k1"); })
                                    << QByteArray("/api/?function=SetVolume&value=100&input=k1");
    QTest::newRow("master") << Call([](VMixWrapper &v) { v.setMasterVolume(69.9); })
                            << QByteArray("/api/?function=SetMasterVolume&value=69");
    QTest::newRow("master +inf") << Call([=](VMixWrapper &v) { v.setMasterVolume(inf); })
                                 << QByteArray("/api/?function=SetMasterVolume&value=0");
    QTest::newRow("input audio") << Call([](VMixWrapper &v) { v.toggleInputAudio("k 2"); })
                                 << QByteArray("/api/?function=Audio&input=k%202");
    QTest::newRow("master audio") << Call([](VMixWrapper &v) { v.toggleMasterAudio(); })
                                  << QByteArray("/api/?function=MasterAudio");
    QTest::newRow("preview injection")
        << Call([](VMixWrapper &v) { v.setPreviewInput("x&function=Cut"); })
        << QByteArray("/api/?function=PreviewInput&input=x%26function%3DCut");
    QTest::newRow("streaming") << Call([](VMixWrapper &v) { v.startStopStreaming(); })
                               << QByteArray("/api/?function=StartStopStreaming");
    QTest::newRow("recording") << Call([](VMixWrapper &v) { v.startStopRecording(); })
                               << QByteArray("/api/?function=StartStopRecording");
    QTest::newRow("play list off") << Call([](VMixWrapper &v) { v.togglePlayList(); })
                                   << QByteArray("/api/?function=StartPlayList");
}

void TestVMixWrapper::functionRequests()
{
    QFETCH(Call, call);
    QFETCH(QByteArray, target);
    // Credentials that would change the host if pasted into the URL text.
    vmix->setConnection(QStringLiteral("127.0.0.1"), fake->port(), QStringLiteral("ad@min"),
                        QStringLiteral("p@ss/w:rd#1"));
    fake->mode = FakeVMixServer::Challenge;
    fake->expectedAuth = "Basic " + QByteArray("ad@min:p@ss/w:rd#1").toBase64();
    call(*vmix);
    QTRY_COMPARE_WITH_TIMEOUT(fake->requests.size(), 2, kWait); // challenge, then answered
    QCOMPARE(fake->requests.at(1).target, target);
    QCOMPARE(fake->requests.at(1).authorization, fake->expectedAuth);
}

QTEST_GUILESS_MAIN(TestVMixWrapper)
#include "tst_vmixwrapper.moc"
