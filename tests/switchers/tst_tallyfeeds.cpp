// The switcher clients feeding the tally model, against the fake OBS
// websocket server and the fake vMix HTTP server on loopback: OBS scene
// switches pushed as events and read from the periodic status, studio mode
// on and off, a vMix input moved to active, and each switcher dropping out.

#include "fakeobsserver.h"
#include "fakevmixserver.h"
#include "obswrapper.h"
#include "tallymodel.h"
#include "vmixwrapper.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

constexpr int kWait = 10000;
constexpr int kNoPoll = 1000000; // OBS ticks are driven by hand

QString letters(const TallyModel &model)
{
    QString out;
    for (TallyModel::State s : model.states())
        out += s == TallyModel::Program ? 'P' : s == TallyModel::Preview ? 'V' : 'I';
    return out;
}

QByteArray vmixStatus(int active, int preview)
{
    return QByteArray("<vmix><version>24</version><inputs>"
                      "<input key=\"k-1\" number=\"1\" title=\"Wide\">Wide</input>"
                      "<input key=\"k-2\" number=\"2\" title=\"Pulpit\">Pulpit</input>"
                      "<input key=\"k-3\" number=\"3\" title=\"Intro\">Intro</input>"
                      "</inputs><overlays><overlay number=\"1\">3</overlay></overlays>"
                      "<preview>") +
           QByteArray::number(preview) + "</preview><active>" + QByteArray::number(active) +
           "</active><streaming>False</streaming></vmix>";
}

} // namespace

class TestTallyFeeds : public QObject
{
    Q_OBJECT
private slots:
    void obsSceneSwitchesAndStudioMode();
    void obsDroppingLeavesSlotsIdle();
    void vmixActiveAndPreview();
};

void TestTallyFeeds::obsSceneSwitchesAndStudioMode()
{
    FakeObsServer fake;
    fake.currentScene = "Cam 1";
    fake.scenes = QJsonArray{QJsonObject{{"name", "Cam 1"}}, QJsonObject{{"name", "Cam 2"}},
                             QJsonObject{{"name", "Slides"}}};
    ObsWrapper obs("127.0.0.1", fake.port(), QString());
    obs.setPollInterval(kNoPoll);
    TallyModel model;
    model.setMappings({{"Cam 1", ""}, {"Cam 2", ""}, {"Slides", ""}});
    model.followObs(&obs);
    obs.connectToServer();
    QTRY_VERIFY_WITH_TIMEOUT(fake.types().contains("GetAuthRequired"), kWait);

    // The periodic status brings the program scene and the scene list.
    obs.onOBSTimer();
    QTRY_COMPARE_WITH_TIMEOUT(letters(model), QStringLiteral("PIIIIIII"), kWait);
    QCOMPARE(obs.sceneNames(), QStringList({"Cam 1", "Cam 2", "Slides"}));
    QVERIFY(!fake.types().contains("GetPreviewScene")); // not in studio mode

    // A pushed scene switch counts at once, without a poll.
    const int requests = fake.requests.size();
    fake.switchScene("Cam 2");
    QTRY_COMPARE_WITH_TIMEOUT(letters(model), QStringLiteral("IPIIIIII"), kWait);
    QCOMPARE(fake.requests.size(), requests);

    // Studio mode switched on in OBS: the next status asks for the preview.
    fake.studioMode = true;
    fake.previewScene = "Slides";
    // (A tick learns the mode; a later one asks for the preview scene.)
    QTRY_COMPARE_WITH_TIMEOUT((obs.onOBSTimer(), letters(model)), QStringLiteral("IPVIIIII"),
                              kWait);
    QVERIFY(fake.types().contains("GetPreviewScene"));
    fake.previewScene = "Cam 1";
    fake.push(QJsonObject{{"update-type", "PreviewSceneChanged"}, {"scene-name", "Cam 1"}});
    QTRY_COMPARE_WITH_TIMEOUT(letters(model), QStringLiteral("VPIIIIII"), kWait);

    // Studio mode off: the preview is gone.
    fake.studioMode = false;
    fake.push(QJsonObject{{"update-type", "StudioModeSwitched"}, {"new-state", false}});
    QTRY_COMPARE_WITH_TIMEOUT(letters(model), QStringLiteral("IPIIIIII"), kWait);
}

void TestTallyFeeds::obsDroppingLeavesSlotsIdle()
{
    auto fake = std::make_unique<FakeObsServer>();
    fake->currentScene = "Cam 1";
    ObsWrapper obs("127.0.0.1", fake->port(), QString());
    obs.setPollInterval(kNoPoll);
    TallyModel model;
    model.setMappings({{"Cam 1", ""}});
    model.followObs(&obs);
    obs.connectToServer();
    QTRY_VERIFY_WITH_TIMEOUT(fake->types().contains("GetAuthRequired"), kWait);
    obs.onOBSTimer();
    QTRY_COMPARE_WITH_TIMEOUT(model.state(0), TallyModel::Program, kWait);

    QSignalSpy changed(&model, &TallyModel::slotStateChanged);
    fake.reset(); // OBS quits: its socket closes
    QTRY_COMPARE_WITH_TIMEOUT(model.state(0), TallyModel::Idle, kWait);
    QCOMPARE(changed.count(), 1);
    QVERIFY(obs.programScene().isEmpty());
}

void TestTallyFeeds::vmixActiveAndPreview()
{
    FakeVMixServer fake;
    fake.body = vmixStatus(1, 2);
    VMixWrapper vmix("127.0.0.1", fake.port(), "admin", QString());
    vmix.setPollInterval(20);
    TallyModel model;
    // By title, by number and by key.
    model.setMappings({{"", "Wide"}, {"", "2"}, {"", "K-3"}});
    model.followVMix(&vmix);
    vmix.startPolling();
    QTRY_COMPARE_WITH_TIMEOUT(letters(model), QStringLiteral("PVIIIIII"), kWait);
    QCOMPARE(vmix.activeInput().key, QStringLiteral("k-1"));

    // The operator takes input 3 to program in vMix.
    fake.body = vmixStatus(3, 1);
    QTRY_COMPARE_WITH_TIMEOUT(letters(model), QStringLiteral("VIPIIIII"), kWait);

    // vMix fails: nothing stays lit; it answers again: back as it was.
    fake.mode = FakeVMixServer::Http500;
    QTRY_COMPARE_WITH_TIMEOUT(letters(model), QStringLiteral("IIIIIIII"), kWait);
    fake.mode = FakeVMixServer::Answer;
    QTRY_COMPARE_WITH_TIMEOUT(letters(model), QStringLiteral("VIPIIIII"), kWait);

    // Polling stopped: its contribution ends too.
    vmix.stopPolling();
    QCOMPARE(letters(model), QStringLiteral("IIIIIIII"));
}

QTEST_GUILESS_MAIN(TestTallyFeeds)
#include "tst_tallyfeeds.moc"
