// vMix: the wire helpers without sockets (URLs that refuse hosts and ports
// that are not one and keep every value data, logs without credentials,
// volume texts, transition functions, the status parser's rules and bounds),
// then VMixWrapper against the fake vMix HTTP server on loopback: the polled
// picture and its JSON, failed polls that keep it.

#include "fakevmixserver.h"
#include "vmixwrapper.h"

#include <QJsonDocument>
#include <QSignalSpy>
#include <QtTest>

#include <limits>
#include <memory>

using namespace VMixProtocol;

namespace {

constexpr int kWait = 10000;
using Params = QList<QPair<QString, QString>>;

// title/key/volume/muted/number of each input, then the flags, the master
// ("-" when absent), the active and the preview text.
QString describe(const VMixStatus &s)
{
    QStringList out;
    for (const VMixInput &i : s.inputs)
        out << QStringList{i.title, i.key, i.volume, QString::number(i.muted), i.number}.join('/');
    out << QString("s%1r%2p%3").arg(s.streaming).arg(s.recording).arg(s.playListOn);
    out << (s.hasMaster ? QString("m%1:%2").arg(s.masterMuted).arg(s.masterVolume) : "-");
    return (out << "a" + s.active << "v" + s.preview).join(' ');
}

const QByteArray kStatus =
    "<vmix><inputs><input key=\"k1\" number=\"1\" title=\"Cam 1\" volume=\"72.5\" muted=\"False\"/>"
    "<input key=\"k2\" title=\"Clip\" muted=\"True\"/></inputs><recording>False</recording>"
    "<streaming>True</streaming><playList>True</playList>"
    "<audio><master volume=\"22.66712\" muted=\"True\"/></audio></vmix>";

} // namespace

class TestVMixProtocol : public QObject
{
    Q_OBJECT
private slots:
    void urls();
    void values();
    void parseStatus_data();
    void parseStatus();
    void init();
    void statusPicture();
    void failedPollKeepsPicture_data();
    void failedPollKeepsPicture();
    void stalledPeerGetsOnePoll();

private:
    // Polls until one poll has finished; whether it was applied.
    bool pollOnce(bool expectApplied);

    std::unique_ptr<FakeVMixServer> fake;
    std::unique_ptr<VMixWrapper> vmix;
};

void TestVMixProtocol::urls()
{
    const QUrl url = statusUrl({"127.0.0.1", 8088, "ad@min", "p@ss/w:rd#1?"});
    QCOMPARE(url.host(), QStringLiteral("127.0.0.1"));
    QCOMPARE(url.userName(), QStringLiteral("ad@min"));
    QCOMPARE(url.password(), QStringLiteral("p@ss/w:rd#1?"));
    QCOMPARE(redacted(url), QStringLiteral("http://127.0.0.1:8088/api"));
    QCOMPARE(statusUrl({"127.0.0.1", 65535, {}, {}}).port(), 65535);
    QCOMPARE(statusUrl({"127.0.0.1", 1, {}, {}}).port(), 1);
    for (const Endpoint &bad :
         {Endpoint{"evil.example/x", 80, {}, {}}, Endpoint{"", 80, {}, {}},
          Endpoint{"127.0.0.1", 65536, {}, {}}, Endpoint{"127.0.0.1", 0, {}, {}}})
        QVERIFY(statusUrl(bad).isEmpty() && functionUrl(bad, "Cut").isEmpty());
    // Every value is data; no function, no "function" key.
    const auto target = [](const QString &function, const Params &params) {
        return functionUrl({"127.0.0.1", 8088, "u", "p"}, function, params)
            .toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority);
    };
    QCOMPARE(target("", {{"input", "1"}}), QByteArray("/api/?"));
    QCOMPARE(target("Cut", {}), QByteArray("/api/?function=Cut"));
    QCOMPARE(target("PreviewInput", {{"input", "x&function=Cut"}, {"a b", "1+2#3"}}),
             QByteArray("/api/?function=PreviewInput&input=x%26function%3DCut&a%20b=1%2B2%233"));
}

void TestVMixProtocol::values()
{
    const double inf = std::numeric_limits<double>::infinity();
    QStringList volumes;
    for (double v : {72.50, 0.1234567, -inf, std::nan(""), -0.5, 250.0})
        volumes << formatVolume(sanitizeVolume(v));
    QCOMPARE(volumes, QStringList({"72.5", "0.123457", "0", "0", "0", "100"}));
    QStringList functions;
    for (int n = -1; n <= 7; ++n)
        functions << transitionFunction(n) + (transitionTakesInput(n) ? "+" : "");
    QCOMPARE(functions, QStringList({"", "QuickPlay+", "Cut+", "Transition1+", "Transition2+",
                                     "Transition3+", "Transition4+", "FadeToBlack", ""}));
}

void TestVMixProtocol::parseStatus_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("status"); // empty: refused
    const QByteArray deep = QByteArray("<a>").repeated(kMaxDepth);
    QTest::newRow("full") << kStatus << "Cam 1/k1/72.5/0/1 Clip/k2//1/2 s1r0p1 m1:22.6671 a v";
    QTest::newRow("tally texts: the last, directly below the document element")
        << QByteArray("<vmix><active>4</active><active>3</active>x<x><preview>2</preview></x>"
                      "<preview>1<b>2</b>3</preview></vmix>")
        << "s0r0p0 - a3 v123";
    QTest::newRow("tally text bounded")
        << "<vmix><preview>" + QByteArray(64, 'x') + "<b>y</b></preview></vmix>"
        << "s0r0p0 - a v" + QString(64, 'x');
    QTest::newRow("True is case-sensitive, the last element wins")
        << QByteArray("<vmix><streaming>true</streaming><recording>Truex</recording><x>"
                      "<recording>True</recording><playList>Tr<b>ue</b></playList></x></vmix>")
        << "s0r1p1 - a v";
    QTest::newRow("master volume not finite")
        << QByteArray("<vmix><audio><master volume=\"inf\"/></audio></vmix>") << "s0r0p0 m0:0 a v";
    QTest::newRow("deepest allowed")
        << deep + QByteArray("</a>").repeated(kMaxDepth) << "s0r0p0 - a v";
    QTest::newRow("too deep") << "<a>" + deep + QByteArray("</a>").repeated(kMaxDepth + 1) << "";
    QTest::newRow("truncated") << QByteArray("<vmix><input key=\"a\"/>") << "";
    QTest::newRow("dtd") << QByteArray("<!DOCTYPE v [<!ENTITY a \"aaaa\">]><vmix>&a;</vmix>") << "";
}

void TestVMixProtocol::parseStatus()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, status);
    const std::optional<VMixStatus> parsed = VMixProtocol::parseStatus(body);
    QCOMPARE(parsed ? describe(*parsed) : QString(), status);
}

void TestVMixProtocol::init()
{
    fake = std::make_unique<FakeVMixServer>();
    fake->body = kStatus;
    vmix = std::make_unique<VMixWrapper>("127.0.0.1", fake->port(), "admin", QString());
    vmix->setPollInterval(10);
}

bool TestVMixProtocol::pollOnce(bool expectApplied)
{
    QSignalSpy spy(vmix.get(), &VMixWrapper::pollFinished);
    vmix->startPolling();
    const bool done = spy.wait(kWait);
    vmix->stopPolling();
    return done && spy.first().at(0).toBool() == expectApplied;
}

void TestVMixProtocol::statusPicture()
{
    QVERIFY(pollOnce(true));
    QCOMPARE(QJsonDocument(vmix->statusJson()).toJson(QJsonDocument::Compact),
             R"({"inputs":[{"inputKey":"k1","inputName":"Cam 1","inputVolume":"72.5",)"
             R"("inputVolumeMuted":false},{"inputKey":"k2","inputName":"Clip","inputVolume":"",)"
             R"("inputVolumeMuted":true}],"isPlayListOn":true,"isRecording":false,)"
             R"("isStreaming":true,"masterVolume":22.66712,"masterVolumeMuted":true})");
    QCOMPARE(fake->requests.first(), QByteArray("/api"));
    // The play list toggle follows the last poll.
    vmix->togglePlayList();
    QTRY_COMPARE_WITH_TIMEOUT(fake->functionTargets(),
                              QList<QByteArray>{"/api/?function=StopPlayList"}, kWait);
}

void TestVMixProtocol::failedPollKeepsPicture_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("http 500") << int(FakeVMixServer::Http500) << kStatus;
    QTest::newRow("auth refused") << int(FakeVMixServer::Challenge) << kStatus;
    QTest::newRow("oversized") << int(FakeVMixServer::Answer)
                               << "<vmix>" + QByteArray(VMixWrapper::kMaxStatusBytes, ' ') +
                                      "</vmix>";
}

void TestVMixProtocol::failedPollKeepsPicture()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, body);
    QVERIFY(pollOnce(true));
    const QJsonObject before = vmix->statusJson();
    fake->mode = FakeVMixServer::Mode(mode);
    fake->body = body;
    QVERIFY(pollOnce(false));
    QCOMPARE(vmix->statusJson(), before);
}

// A peer that never answers holds one poll until the transfer time-out;
// polling goes on afterwards.
void TestVMixProtocol::stalledPeerGetsOnePoll()
{
    fake->mode = FakeVMixServer::Stall;
    vmix->setTransferTimeout(1000);
    QSignalSpy finished(vmix.get(), &VMixWrapper::pollFinished);
    vmix->startPolling(); // ticks every 10 ms while the first poll hangs
    QVERIFY(finished.wait(kWait));
    QCOMPARE(fake->requests.size(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(fake->requests.size() >= 2, kWait);
}

QTEST_GUILESS_MAIN(TestVMixProtocol)
#include "tst_vmixprotocol.moc"
