#include "appsettings.h"
#include "cameraapihandler.h"
#include "cameracontrol.h"
#include "camerasimulator.h"
#include "cdpbrowser.h"
#include "fakeobsserver.h"
#include "fakevmixserver.h"
#include "httpserverwrapper.h"
#include "ipcamera.h"
#include "obswrapper.h"
#include "pagesfakeapi.h"
#include "rawhttpclient.h"
#include "resources.h"
#include "switcherapihandlers.h"
#include "tempdatahome.h"
#include "visca.h"
#include "vmixwrapper.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace {

// Another web site: answers every request on its address with one HTML page.
class ForeignSite : public QObject
{
public:
    explicit ForeignSite(const QByteArray &html) : m_html(html)
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
                connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    m_buffers[s] += s->readAll();
                    if (!m_buffers[s].contains("\r\n\r\n"))
                        return;
                    m_buffers.remove(s);
                    s->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                             QByteArray::number(m_html.size()) + "\r\nConnection: close\r\n\r\n" +
                             m_html);
                    s->disconnectFromHost();
                });
            }
        });
    }
    bool listen(const QHostAddress &address) { return m_server.listen(address, 0); }
    QString origin() const
    {
        return QStringLiteral("http://%1:%2")
            .arg(m_server.serverAddress().toString())
            .arg(m_server.serverPort());
    }

private:
    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QByteArray m_html;
};

} // namespace

// The six browser pages in headless Chromium against the real HttpServerWrapper
// on 127.0.0.1, with the API signals answered by PagesFakeApi: what the pages
// request (server-side log), what they show, and that they load everything
// from this server with no error. The pad runs the real camera API and control
// layer against the camera simulator, checked at its VISCA bytes.
class TestBrowserPages : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void pageLoadsCleanly_data();
    void pageLoadsCleanly();
    void padMovesThenStops_data();
    void padMovesThenStops();
    void presetStoreAndRecall();
    void cameraRowAndSettings();
    void cameraRowShowsTally();
    void switcherPanels();
    void switcherPanelsAgainstPeers();
    void switcherListsFilledOnceKnown();
    void namesRenderAsText();
    void pollSkippedWhileOutstanding();
    void themeMenuReloadsTheView();
    void foreignSiteCannotDrive();
    void accessKeySignIn();

private:
    // Opens path on the server in a fresh page and waits until it has loaded
    // and polled twice.
    bool load(const QString &path);
    QJsonValue js(const QString &expr) { return m_browser->eval(m_session, expr); }
    bool waitJs(const QString &expr) { return m_browser->waitTrue(m_session, expr); }
    bool waitLog(const QString &prefix, int n = 1)
    {
        return QTest::qWaitFor([&] { return m_api->count(prefix) >= n; }, CdpBrowser::kTimeoutMs);
    }
    // Failed requests, console errors, script exceptions, dialogs and
    // requests to anything but this server, seen by the current page.
    QStringList problems() const;
    // Replaces the fake's camera answers by the real camera API over eight
    // network cameras on the simulator; the fake still logs every request.
    void useRealCameras();

    std::unique_ptr<CdpBrowser> m_browser;
    std::unique_ptr<TempDataHome> m_home;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<HttpServerWrapper> m_web;
    std::unique_ptr<PagesFakeApi> m_api;
    std::unique_ptr<CameraSimulator> m_sim;
    std::unique_ptr<CameraControl> m_control;
    std::unique_ptr<CameraApiHandler> m_camApi;
    std::unique_ptr<FakeObsServer> m_obsPeer;
    std::unique_ptr<FakeVMixServer> m_vmixPeer;
    std::unique_ptr<ObsWrapper> m_obs;
    std::unique_ptr<VMixWrapper> m_vmix;
    std::unique_ptr<ObsApiHandler> m_obsApi;
    std::unique_ptr<VMixApiHandler> m_vmixApi;
    QString m_session;
    QString m_origin;
};

void TestBrowserPages::initTestCase()
{
    if (!QFile::exists(CdpBrowser::kBinary))
        QSKIP("/usr/bin/chromium is not installed (Debian package chromium); browser page tests "
              "skipped");
    Resources::init();
    m_browser.reset(new CdpBrowser);
    QVERIFY2(m_browser->start(), qPrintable(m_browser->error()));
}

void TestBrowserPages::cleanupTestCase()
{
    m_browser.reset();
}

void TestBrowserPages::init()
{
    m_home.reset(new TempDataHome);
    m_settings.reset(new AppSettings);
    m_web.reset(new HttpServerWrapper(m_settings.get()));
    QVERIFY(m_web->startServer(QStringLiteral("127.0.0.1"), 0));
    m_api.reset(new PagesFakeApi(m_web.get()));
    m_origin = QStringLiteral("http://127.0.0.1:%1").arg(m_web->server()->serverPort());
    m_browser->clearEvents();
    m_session = m_browser->openPage();
    QVERIFY2(!m_session.isEmpty(), qPrintable(m_browser->error()));
}

void TestBrowserPages::cleanup()
{
    if (m_browser && !m_session.isEmpty())
        m_browser->call("Target.closeTarget",
                        {{"targetId", m_browser->call("Target.getTargetInfo", {}, m_session)
                                          .value("targetInfo")
                                          .toObject()
                                          .value("targetId")}});
    m_session.clear();
    m_camApi.reset();
    m_obsApi.reset();
    m_vmixApi.reset();
    m_api.reset();
    m_web.reset();
    m_obs.reset();
    m_vmix.reset();
    m_obsPeer.reset();
    m_vmixPeer.reset();
    m_control.reset();
    m_sim.reset();
    m_settings.reset();
    m_home.reset();
}

void TestBrowserPages::useRealCameras()
{
    m_sim.reset(new CameraSimulator);
    QVERIFY(m_sim->listen(QHostAddress::LocalHost, 0, 0));
    m_control.reset(new CameraControl(m_settings.get()));
    QList<CameraWrapper *> cams;
    for (int i = 0; i < CameraControl::kCameraSlots; ++i) {
        auto *cam = new IPCamera(QStringLiteral("127.0.0.1"), QStringLiteral("Cam%1").arg(i + 1),
                                 QStringLiteral("127.0.0.1"));
        cam->setViscaPort(m_sim->viscaPort());
        cam->setHttpPort(m_sim->httpPort());
        cams << cam;
    }
    m_control->setCameras(cams);
    m_api.reset(new PagesFakeApi(m_web.get(), false));
    m_camApi.reset(new CameraApiHandler(m_control.get(), m_settings.get(), nullptr,
                                        [] { return QStringList(); }));
    m_camApi->attach(m_web.get());
}

bool TestBrowserPages::load(const QString &path)
{
    const int polled = m_api->count("getCurrentCamInfo");
    m_browser->call("Page.navigate", {{"url", m_origin + path}}, m_session);
    return waitJs("document.readyState === 'complete'") &&
           QTest::qWaitFor([&] { return m_api->count("getCurrentCamInfo") >= polled + 2; },
                           CdpBrowser::kTimeoutMs);
}

QStringList TestBrowserPages::problems() const
{
    QStringList out;
    for (const CdpBrowser::Event &e : m_browser->events()) {
        if (e.sessionId != m_session)
            continue;
        const QJsonObject &p = e.params;
        if (e.method == "Network.requestWillBeSent") {
            const QString url = p["request"].toObject()["url"].toString();
            if (!url.startsWith(m_origin + "/") && !url.startsWith("data:"))
                out << "request outside this server: " + url;
        } else if (e.method == "Network.responseReceived") {
            const QJsonObject r = p["response"].toObject();
            if (r["status"].toInt() >= 400)
                out << QString("HTTP %1 for %2").arg(r["status"].toInt()).arg(r["url"].toString());
        } else if (e.method == "Network.loadingFailed") {
            // A picture replaced while loading is cancelled, not failed.
            if (!p["canceled"].toBool())
                out << "failed request: " + p["errorText"].toString();
        } else if (e.method == "Log.entryAdded") {
            const QJsonObject entry = p["entry"].toObject();
            if (entry["level"].toString() == "error")
                out << "log: " + entry["text"].toString() + " " + entry["url"].toString();
        } else if (e.method == "Runtime.consoleAPICalled") {
            if (p["type"].toString() == "error" || p["type"].toString() == "assert")
                out << "console error: " + QJsonDocument(p["args"].toArray()).toJson();
        } else if (e.method == "Runtime.exceptionThrown") {
            out << "exception: " + QJsonDocument(p["exceptionDetails"].toObject()).toJson();
        } else if (e.method == "Page.javascriptDialogOpening") {
            out << "dialog: " + p["message"].toString();
        }
    }
    return out;
}

void TestBrowserPages::pageLoadsCleanly_data()
{
    QTest::addColumn<QString>("theme");
    QTest::addColumn<QString>("path");
    for (const char *theme : {"dark", "light"}) {
        for (const char *path : {"/", "/camera", "/switcher"})
            QTest::addRow("%s %s", theme, path) << theme << path;
    }
}

void TestBrowserPages::pageLoadsCleanly()
{
    QFETCH(QString, theme);
    QFETCH(QString, path);
    QVERIFY(load(path + "?theme=" + theme));
    QCOMPARE(js("document.body.className").toString(), theme);
    QCOMPARE(js("document.title").toString(), QString("Corvanta"));
    QCOMPARE(js("document.querySelector('footer').textContent").toString(),
             QString("Corvanta App Web Interface"));
    // The icon font comes through the asset route like everything else.
    QVERIFY(
        waitJs("document.fonts.ready.then(() => Array.from(document.fonts).some("
               "f => f.family.replace(/[\"']/g, '') === 'FontAwesome' && f.status === 'loaded'))"));
    // Status texts follow the first answers on the views that show them.
    if (path != "/camera")
        QVERIFY(waitJs("$('#vmixStreamStatus').text() === 'Streaming...'"));
    if (path != "/switcher")
        QVERIFY(
            waitJs("$('#cam1').hasClass('active') && $('#cam1').attr('title') === 'Wide Shot'"));
    const QStringList found = problems();
    QVERIFY2(found.isEmpty(), qPrintable(found.join('\n')));

    // A picture of each page for the README.
    const QByteArray png = QByteArray::fromBase64(
        m_browser->call("Page.captureScreenshot", {{"format", "png"}}, m_session)["data"]
            .toString()
            .toLatin1());
    QVERIFY(png.startsWith("\x89PNG"));
    const QString dir = qEnvironmentVariable("CORVANTA_PAGE_SCREENSHOTS", "page-screenshots");
    QDir().mkpath(dir);
    const QString name = path == "/" ? "both" : path.mid(1);
    QFile out(dir + "/" + theme + "-" + name + ".png");
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(png) == png.size());
}

void TestBrowserPages::padMovesThenStops_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("speeds");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QByteArray>("drive");
    QTest::addColumn<QByteArray>("stop");
    QTest::newRow("Tilt Up") << "Tilt Up"
                             << "$('#tiltSpeed').val('7')"
                             << QStringList{"connectCam|0", "controlCam|2|1|7|1|1", "stopControl|2"}
                             << Visca::moveUp(0, 7) << Visca::moveStop(0, 0);
    QTest::newRow("Zoom Out") << "Zoom Out"
                              << "$('#zoomSpeed').val('5'); $('#panSpeed').val('24')"
                              << QStringList{"connectCam|0", "controlCam|8|24|1|5|1",
                                             "stopControl|8"}
                              << Visca::zoomOut(5) << Visca::zoomStop();
}

void TestBrowserPages::padMovesThenStops()
{
    QFETCH(QString, button);
    QFETCH(QString, speeds);
    QFETCH(QStringList, expected);
    QFETCH(QByteArray, drive);
    QFETCH(QByteArray, stop);
    useRealCameras();
    QVERIFY(load("/camera?theme=dark"));
    js("$('#cam1').click()");
    QTRY_VERIFY_WITH_TIMEOUT(m_control->canDrive(), CdpBrowser::kTimeoutMs);
    QVERIFY(waitJs("$('#cam1').hasClass('active')"));
    QSignalSpy commands(m_sim.get(), &CameraSimulator::commandReceived);
    js(speeds + QString("; $('.pad-btn[title=\"%1\"]').click()").arg(button));
    QVERIFY(waitLog("stopControl"));
    QCOMPARE(m_api->actions(), expected);
    // The stop is sent a half second after the move was answered.
    QVERIFY(m_api->find("stopControl").first().ms - m_api->find("controlCam").first().ms >= 495);
    // At the camera: the move, then its stop.
    QTRY_COMPARE_WITH_TIMEOUT(commands.size(), 2, CdpBrowser::kTimeoutMs);
    QCOMPARE(commands.at(0).at(0).toByteArray().toHex(' '), drive.toHex(' '));
    QCOMPARE(commands.at(1).at(0).toByteArray().toHex(' '), stop.toHex(' '));
    QVERIFY2(problems().isEmpty(), qPrintable(problems().join('\n')));
}

void TestBrowserPages::presetStoreAndRecall()
{
    useRealCameras();
    m_settings->setPresetName("127.0.0.1", 3, "Choir");
    QVERIFY(load("/?theme=light"));
    js("$('#cam1').click()");
    QTRY_VERIFY_WITH_TIMEOUT(m_control->canDrive(), CdpBrowser::kTimeoutMs);
    QVERIFY(waitJs("$('#cam1').hasClass('active')"));
    QSignalSpy commands(m_sim.get(), &CameraSimulator::commandReceived);
    const QString name = "Altar + Lectern & <b>co</b>";
    js("$('#presetModal').one('shown.bs.modal', () => window.presetShown = true);"
       "$('#presetModeSet').click(); $('#preset3').click()");
    QVERIFY(waitJs("window.presetShown === true && $('#presetNameInput').val() === 'Choir'"));
    js(QString("$('#presetNameInput').val(%1); $('#presetOkBtn').click()")
           .arg(QString(QJsonDocument(QJsonArray{name}).toJson(QJsonDocument::Compact))
                    .mid(1)
                    .chopped(1)));
    QVERIFY(waitLog("setPreset"));
    // The new name shows through the poll; the modes go back to Recall.
    QVERIFY(waitJs("$('#preset3 .preset-name').text() === 'Altar + Lectern & <b>co</b>'"));
    QCOMPARE(m_settings->presetName("127.0.0.1", 3), name);
    QVERIFY(js("$('#presetModeRecall').prop('checked')").toBool());
    QVERIFY(waitJs("!$('#presetModal').hasClass('show')"));

    // The list shows speed 24; the camera takes its index.
    js("$('#presetSpeed').val($('#presetSpeed option').filter((i, o) => o.text === '24').val());"
       "$('#preset2').click()");
    QVERIFY(waitLog("recallPreset"));
    QCOMPARE(m_api->actions(),
             (QStringList{"connectCam|0", "setPreset|" + name + "|3|false", "recallPreset|2|23"}));
    QTRY_COMPARE_WITH_TIMEOUT(commands.size(), 3, CdpBrowser::kTimeoutMs);
    QCOMPARE(commands.at(0).at(0).toByteArray().toHex(' '), Visca::setPreset(3).toHex(' '));
    QCOMPARE(commands.at(1).at(0).toByteArray().toHex(' '), Visca::setPresetSpeed(23).toHex(' '));
    QCOMPARE(commands.at(2).at(0).toByteArray().toHex(' '), Visca::callPreset(2).toHex(' '));
    QVERIFY2(problems().isEmpty(), qPrintable(problems().join('\n')));
}

void TestBrowserPages::cameraRowAndSettings()
{
    QVERIFY(load("/camera?theme=dark"));
    js("$('#cam3').click(); $('#autoFocus').click(); $('#camSettingsBtn').click()");
    QVERIFY(
        waitJs("$('#camSettingsModal').hasClass('show') && $('#camName1').val() === 'Wide Shot'"));
    QVERIFY(js("$('#camTypeUsb8').prop('checked') && $('#camUsb8').val() === 'USB Camera' &&"
               " $('#camAddr8').val() === '0.0.0.0' && $('#camAddr2').val() === '127.0.1.22'")
                .toBool());
    js("$('#camName2').val('Pulpit & \"Choir\" +1'); $('#camSaveBtn').click()");
    QVERIFY(waitLog("saveCameraSettings"));
    QStringList first = m_api->actions().mid(0, 2);
    first.sort();
    QCOMPARE(first, (QStringList{"connectCam|2", "focusAuto|true"}));
    // The list arrives as JSON text, whole.
    const QString json = m_api->find("saveCameraSettings").first().line.section('|', 1);
    const QJsonArray list = QJsonDocument::fromJson(json.toUtf8()).array();
    QCOMPARE(list.size(), 8);
    QCOMPARE(list[1].toObject(),
             (QJsonObject{
                 {"isUsb", false}, {"name", "Pulpit & \"Choir\" +1"}, {"camId", "127.0.1.22"}}));
    QCOMPARE(list[7].toObject(),
             (QJsonObject{{"isUsb", true}, {"name", "Cam 8"}, {"camId", "USB Camera"}}));
    QCOMPARE(js("$('#cam2').attr('title')").toString(), QString("Pulpit & \"Choir\" +1"));
    QVERIFY2(problems().isEmpty(), qPrintable(problems().join('\n')));
}

// The camera selector marks the switchers' program and preview cameras from
// "/cam/tally" and follows its changes.
void TestBrowserPages::cameraRowShowsTally()
{
    m_api->tally[1] = "program";
    m_api->tally[2] = "preview";
    QVERIFY(load("/camera?theme=light"));
    QVERIFY(waitJs("$('#cam2').hasClass('tally-program') && $('#cam3').hasClass('tally-preview')"
                   " && !$('#cam1').is('.tally-program, .tally-preview')"));
    // (after the buttons' colour transition)
    QVERIFY(waitJs("getComputedStyle(document.getElementById('cam2')).backgroundColor"
                   " === 'rgb(198, 40, 40)'"));
    QCOMPARE(js("$('#cam2').text()").toString(), QString("#2"));
    m_api->tally[1] = "idle";
    m_api->tally[0] = "program";
    QVERIFY(
        waitJs("!$('#cam2').hasClass('tally-program') && $('#cam1').hasClass('tally-program')"));
    // The selected camera shows its tally colour too, ringed.
    QVERIFY(waitJs("$('#cam1').hasClass('active') && getComputedStyle(document.getElementById("
                   "'cam1')).backgroundColor === 'rgb(198, 40, 40)'"));
    QVERIFY2(problems().isEmpty(), qPrintable(problems().join('\n')));
}

void TestBrowserPages::switcherListsFilledOnceKnown()
{
    // Page opened before OBS answered: its lists fill from the first answer
    // that has entries, without a refresh.
    const QJsonArray sources = m_api->obsSources;
    const QJsonArray transitions = m_api->obsTransitions;
    m_api->obsSources = {};
    m_api->obsTransitions = {};
    QVERIFY(load("/switcher"));
    QCOMPARE(js("$('#obsSources option').length").toInt(), 0);
    m_api->obsSources = sources;
    m_api->obsTransitions = transitions;
    QVERIFY(waitJs("$('#obsSources option').map((i, o) => o.text).get().join('|') ==="
                   " 'Mic/Aux|Desktop Audio' && $('#obsTransitions option').length === 3"));
}

void TestBrowserPages::switcherPanels()
{
    // Light page: its vMix output buttons send too.
    QVERIFY(load("/switcher?theme=light"));
    QVERIFY(waitJs("$('#obsStreamStatus').text() === 'Streaming ...'"));
    QCOMPARE(js("[$('#obsRecordStatus').text(), $('#vmixStreamStatus').text(),"
                " $('#vmixRecordStatus').text(), $('#vmixPlayListStatus').text()].join('|')")
                 .toString(),
             QString("No Recording ...|Streaming...|Recording...|PlayList Off..."));
    QCOMPARE(js("$('#obsSources option').map((i, o) => o.text).get().join('|')").toString(),
             QString("Mic/Aux|Desktop Audio"));
    QCOMPARE(js("$('#obsTransitions').val()").toString(), QString("Cut"));
    // -6 dB and vMix level 100 on the fourth-root sliders; master muted.
    QCOMPARE(js("$('#obsVolume').val()").toString(), QString("84"));
    QCOMPARE(js("$('#vmixSourceVolume').val()").toString(), QString("100"));
    QVERIFY(js("$('#vmixMasterMute .fa').hasClass('fa-microphone-slash')").toBool());
    // An input without a volume disables the source slider.
    js("$('#vmixSources').val('1').change()");
    QVERIFY(js("$('#vmixSourceVolume').prop('disabled')").toBool());

    js("$('#obsVolume').val('0').change();"
       "$('#obsSources').val('1').change(); $('#obsMute').click();"
       "$('#obsTransitions').val('Fade').change();"
       "$('#vmixSources').val('0').change(); $('#vmixSourceVolume').val('40').change();"
       "$('#vmixPreview').val('1'); $('#vmixSetPreview').click();"
       "$('#vmixTransitions').val('6'); $('#vmixApplyTransition').click();"
       "$('#vmixStream').click(); $('#vmixPlayList').click(); $('#obsRecord').click()");
    // Settings dialogs: filled from the server when open, password never.
    js("$('#obsSettingsBtn').click()");
    QVERIFY(waitJs("$('#obsPort').val() === '4444' && $('#obsIp').val() === '127.0.0.1'"));
    js("$('#obsPwd').val('p w&d'); $('#obsSaveBtn').click(); $('#vmixSettingsBtn').click()");
    QVERIFY(waitJs("$('#vmixId').val() === 'admin'"));
    js("$('#vmixPort').val('8099'); $('#vmixSaveBtn').click()");
    // Silence is the floor of OBS's decibel scale, never minus infinity.
    QStringList expected{"setObsSourceVolume|Mic/Aux|-100",
                         "setObsSourceMuted|Desktop Audio",
                         "obsSetTransition|Fade",
                         "setVMixSourceVolume|key-1|40",
                         "vmixSetPreview|key-2",
                         "vmixApplyTransition|6",
                         "vmixToggleStreaming",
                         "vmixTogglePlayList",
                         "obsToggleRecording",
                         "getObsSettings",
                         "obsSaveReconnect|127.0.0.1|4444|p w&d",
                         "getVMixSettings",
                         "vmixSaveReconnect|127.0.0.1|8099|admin|"};
    QTRY_COMPARE_WITH_TIMEOUT(m_api->actions().size(), expected.size(), CdpBrowser::kTimeoutMs);
    // Parallel requests may arrive in any order.
    QStringList actions = m_api->actions();
    actions.sort();
    expected.sort();
    QCOMPARE(actions, expected);
    QVERIFY2(problems().isEmpty(), qPrintable(problems().join('\n')));
}

void TestBrowserPages::switcherPanelsAgainstPeers()
{
    // The real routes and wrappers, OBS and vMix played by the fakes.
    m_obsPeer.reset(new FakeObsServer);
    m_obsPeer->sources =
        QJsonArray{QJsonObject{{"name", "Mic/Aux"}}, QJsonObject{{"name", "Desktop Audio"}}};
    m_obsPeer->volumes = QJsonObject{{"Mic/Aux", QJsonObject{{"volume", -6.0}, {"muted", false}}}};
    m_obsPeer->transitions =
        QJsonArray{QJsonObject{{"name", "Fade"}}, QJsonObject{{"name", "Cut"}}};
    m_obsPeer->currentTransition = "Cut";
    m_obsPeer->streaming = true;
    m_vmixPeer.reset(new FakeVMixServer);
    m_vmixPeer->body =
        "<vmix><inputs>"
        "<input key=\"key-1\" title=\"Camera 1\" volume=\"100\" muted=\"False\">Camera 1</input>"
        "<input key=\"key-2\" title=\"Intro Video\" muted=\"True\">Intro Video</input></inputs>"
        "<recording>True</recording><streaming>True</streaming><playList>False</playList>"
        "<audio><master volume=\"22.66712\" muted=\"True\"/></audio></vmix>";
    m_obs.reset(new ObsWrapper("127.0.0.1", m_obsPeer->port(), QString()));
    m_vmix.reset(new VMixWrapper("127.0.0.1", m_vmixPeer->port(), "admin", "pw"));
    m_api.reset(new PagesFakeApi(m_web.get(), true, false));
    m_obsApi.reset(new ObsApiHandler(m_obs.get(), m_settings.get()));
    m_obsApi->attach(m_web.get());
    m_vmixApi.reset(new VMixApiHandler(m_vmix.get(), m_settings.get()));
    m_vmixApi->attach(m_web.get());
    m_obs->connectToServer();
    m_obs->startPolling();
    m_vmix->startPolling();
    // The page builds its lists from its first answers: both peers polled first.
    QTRY_VERIFY_WITH_TIMEOUT(m_obsApi->status().body.value("sources").toArray().size() == 2 &&
                                 m_obsApi->status().body.value("transitions").toArray().size() ==
                                     2 &&
                                 m_obsApi->status().body.value("sources")[0]["volume"] == -6.0,
                             CdpBrowser::kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(m_vmixApi->status().body.value("inputs").toArray().size() == 2,
                             CdpBrowser::kTimeoutMs);

    QVERIFY(load("/switcher?theme=dark"));
    QVERIFY(waitJs("$('#obsStreamStatus').text() === 'Streaming ...' &&"
                   " $('#obsSources option').map((i, o) => o.text).get().join('|') ==="
                   " 'Mic/Aux|Desktop Audio' && $('#obsTransitions').val() === 'Cut'"));
    QVERIFY(waitJs("[$('#vmixStreamStatus').text(), $('#vmixRecordStatus').text(),"
                   " $('#vmixPlayListStatus').text()].join('|') ==="
                   " 'Streaming...|Recording...|PlayList Off...' &&"
                   " $('#vmixSources option').length === 2"));
    // -6 dB on the fourth-root slider, once the volume has been polled.
    QVERIFY(waitJs("$('#obsVolume').val() === '84'"));

    const int obsBefore = m_obsPeer->requests.size();
    js("$('#obsSources').val('1').change(); $('#obsMute').click(); $('#obsRecord').click();"
       "$('#obsTransitions').val('Fade').change();"
       "$('#vmixPreview').val('1'); $('#vmixSetPreview').click(); $('#vmixStream').click();"
       "$('#vmixTransitions').val('6'); $('#vmixApplyTransition').click()");
    const auto obsCommands = [&] {
        QStringList out;
        for (const QJsonObject &r : m_obsPeer->requests.mid(obsBefore)) {
            const QString type = r.value("request-type").toString();
            if (!type.startsWith("Get"))
                out << type + "|" + r.value("source").toString() +
                           r.value("transition-name").toString();
        }
        out.sort();
        return out;
    };
    QTRY_COMPARE_WITH_TIMEOUT(obsCommands(),
                              (QStringList{"SetCurrentTransition|Fade", "StartStopRecording|",
                                           "ToggleMute|Desktop Audio"}),
                              CdpBrowser::kTimeoutMs);
    const auto vmixCommands = [&] {
        QList<QByteArray> out = m_vmixPeer->functionTargets();
        std::sort(out.begin(), out.end());
        return out;
    };
    // Under heavy load a request that sets a state (the preview input) has
    // been seen to reach the peer twice, which changes nothing there; a
    // toggle must arrive exactly once.
    const auto distinct = [&] {
        QList<QByteArray> out = vmixCommands();
        out.erase(std::unique(out.begin(), out.end()), out.end());
        return out;
    };
    const QList<QByteArray> expectedVmix{"/api/?function=FadeToBlack",
                                         "/api/?function=PreviewInput&input=key-2",
                                         "/api/?function=StartStopStreaming"};
    QTRY_VERIFY2_WITH_TIMEOUT(distinct() == expectedVmix,
                              QByteArrayList(vmixCommands()).join(" ").constData(),
                              CdpBrowser::kTimeoutMs);
    QCOMPARE(vmixCommands().count("/api/?function=StartStopStreaming"), 1);
    QCOMPARE(vmixCommands().count("/api/?function=FadeToBlack"), 1);
    QVERIFY2(problems().isEmpty(), qPrintable(problems().join('\n')));
}

void TestBrowserPages::namesRenderAsText()
{
    const QString evil = "<img src=x onerror=alert(1)>";
    m_api->presets[0] = evil;
    m_api->camNames[0] = evil;
    m_api->camId = "a&b c";
    m_api->obsSources = QJsonArray{QJsonObject{{"name", evil}, {"volume", 0.0}, {"muted", false}}};
    m_api->obsTransitions = QJsonArray{evil, "Cut"};
    m_api->vmixInputs = QJsonArray{QJsonObject{{"inputName", evil},
                                               {"inputKey", evil},
                                               {"inputVolume", "50"},
                                               {"inputVolumeMuted", false}}};
    QVERIFY(load("/?theme=dark"));
    const QString isEvil = "=== '<img src=x onerror=alert(1)>'";
    QVERIFY(waitJs("$('#preset1 .preset-name').text() " + isEvil));
    QVERIFY(waitJs("$('#cam1').attr('title') " + isEvil));
    QVERIFY(js("$('#obsSources option').first().text() " + isEvil).toBool());
    QVERIFY(js("$('#obsTransitions option').first().val() " + isEvil).toBool());
    QVERIFY(js("$('#vmixSources option').first().text() " + isEvil).toBool());
    QVERIFY(js("$('#vmixPreview option').first().text() " + isEvil).toBool());
    QCOMPARE(js("document.querySelectorAll('img[src=x]').length").toInt(-1), 0);
    // The camera id is one encoded query value of the picture's URL.
    QVERIFY(js("$('#preset1 "
               "img').attr('src').startsWith('/assets?_type=preset&_name=a%26b%20c1.jpg&_time=')")
                .toBool());
    js("$('#vmixSourceVolume').val('30').change()");
    QVERIFY(waitLog("setVMixSourceVolume"));
    QCOMPARE(m_api->actions(), QStringList{"setVMixSourceVolume|" + evil + "|30"});
    const QStringList found = problems();
    QVERIFY2(found.isEmpty(), qPrintable(found.join('\n')));
}

void TestBrowserPages::pollSkippedWhileOutstanding()
{
    // Hold every "/obs/status" request in the browser; no request timeout
    // gives up on it during the test.
    m_browser->call("Page.addScriptToEvaluateOnNewDocument",
                    {{"source", "window.corvantaRequestTimeoutMs = 600000;"}}, m_session);
    m_browser->call("Fetch.enable",
                    {{"patterns", QJsonArray{QJsonObject{{"urlPattern", "*/obs/status*"}}}}},
                    m_session);
    QVERIFY(load("/switcher?theme=dark"));
    auto paused = [this] {
        QStringList ids;
        for (const CdpBrowser::Event &e : m_browser->events()) {
            if (e.sessionId == m_session && e.method == "Fetch.requestPaused")
                ids << e.params["requestId"].toString();
        }
        return ids;
    };
    QTRY_COMPARE_WITH_TIMEOUT(paused().size(), 1, CdpBrowser::kTimeoutMs);
    // Five more ticks of the other polls: still the one held request.
    const int ticks = m_api->count("getCurrentCamInfo");
    QVERIFY(waitLog("getCurrentCamInfo", ticks + 5));
    QCOMPARE(paused().size(), 1);
    QCOMPARE(m_api->count("getObsStatus"), 0);

    // Released, the poll runs again at the next ticks.
    m_browser->call("Fetch.disable", {}, m_session);
    m_browser->call("Fetch.continueRequest", {{"requestId", paused().first()}}, m_session);
    QVERIFY(waitLog("getObsStatus", 2));
}

void TestBrowserPages::themeMenuReloadsTheView()
{
    QVERIFY(load("/switcher?theme=dark"));
    js("$('#themeMenu').click()");
    QVERIFY(waitJs("$('#themeMenu').attr('aria-expanded') === 'true'"));
    js("$('.dropdown-item:contains(\"Light Theme\")')[0].click()");
    QVERIFY(waitJs("location.pathname + location.search === '/switcher?theme=light' &&"
                   " document.readyState === 'complete' && document.body.className === 'light'"));
    QVERIFY(!m_settings->useDarkTheme());
}

void TestBrowserPages::foreignSiteCannotDrive()
{
    // The operator has the panel's camera connected and opens another site
    // (127.0.0.2) that tries every way a page can send the panel a GET.
    useRealCameras();
    QCOMPARE(fetch(m_web->server()->serverPort(), "/cam/connect?camNum=0").status, 200);
    QTRY_VERIFY_WITH_TIMEOUT(m_control->canDrive(), CdpBrowser::kTimeoutMs);
    QSignalSpy commands(m_sim.get(), &CameraSimulator::commandReceived);

    const QByteArray drive = m_origin.toLatin1() +
                             "/cam/control?controlMethod=0&panSpeed=24&tiltSpeed=20&zoomSpeed=1&"
                             "focusSpeed=1";
    const QByteArray html =
        "<!DOCTYPE html><html><body>\n"
        "<script>window.done = 0; const tick = () => { window.done++; };</script>\n"
        "<img src=\"" +
        drive +
        "\" onload=\"tick()\" onerror=\"tick()\">\n"
        "<script src=\"" +
        m_origin.toLatin1() +
        "/cam/settings\" onload=\"tick()\" "
        "onerror=\"tick()\"></script>\n"
        "<iframe src=\"" +
        m_origin.toLatin1() +
        "/camera\" onload=\"tick()\"></iframe>\n"
        "<iframe name=\"sink\" onload=\"if (window.submitted) tick()\"></iframe>\n"
        "<form id=\"f\" method=\"get\" target=\"sink\" action=\"" +
        m_origin.toLatin1() +
        "/cam/control\"><input name=\"controlMethod\" value=\"2\"><input name=\"panSpeed\" "
        "value=\"1\"><input name=\"tiltSpeed\" value=\"20\"><input name=\"zoomSpeed\" "
        "value=\"1\"><input name=\"focusSpeed\" value=\"1\"></form>\n"
        "<script>\n"
        "fetch('" +
        drive +
        "', {mode: 'no-cors'}).then(tick, tick);\n"
        "fetch('" +
        m_origin.toLatin1() +
        "/obs/toggleStreaming', {mode: 'no-cors'}).then(tick, tick);\n"
        "fetch('" +
        m_origin.toLatin1() +
        "/vmix/settings').then(tick, tick);\n"
        "window.submitted = true; document.getElementById('f').submit();\n"
        "</script></body></html>\n";
    ForeignSite site(html);
    QVERIFY(site.listen(QHostAddress("127.0.0.2")));
    m_browser->call("Page.navigate", {{"url", site.origin() + "/"}}, m_session);
    QVERIFY2(waitJs("window.done === 7"), qPrintable(js("window.done").toVariant().toString()));

    // Every request that reached the panel was refused before any route.
    int refused = 0;
    for (const CdpBrowser::Event &e : m_browser->events()) {
        if (e.sessionId != m_session)
            continue;
        const QJsonObject r = e.params["response"].toObject();
        if (e.method == "Network.responseReceived" && r["url"].toString().startsWith(m_origin)) {
            QCOMPARE(r["status"].toInt(), 403);
            ++refused;
        }
    }
    QVERIFY2(refused >= 4, qPrintable(QString::number(refused)));
    QCOMPARE(m_api->actions(), QStringList{"connectCam|0"});
    QCOMPARE(m_api->count("getCameraSettings"), 0);

    // A control surface's request after them is the first the camera gets.
    QCOMPARE(fetch(m_web->server()->serverPort(),
                   "/cam/control?controlMethod=2&panSpeed=0&tiltSpeed=7&zoomSpeed=0&focusSpeed=0")
                 .status,
             200);
    QTRY_VERIFY_WITH_TIMEOUT(!commands.isEmpty(), CdpBrowser::kTimeoutMs);
    QCOMPARE(commands.at(0).at(0).toByteArray().toHex(' '), Visca::moveUp(0, 7).toHex(' '));
    QCOMPARE(fetch(m_web->server()->serverPort(), "/cam/stopControl?controlMethod=2").status, 200);
    QTRY_COMPARE_WITH_TIMEOUT(commands.size(), 2, CdpBrowser::kTimeoutMs);

    // Rebinding: a name the attacker pointed at the panel reads nothing.
    m_browser->call(
        "Page.navigate",
        {{"url",
          QString("http://rebound.test:%1/cam/settings").arg(m_web->server()->serverPort())}},
        m_session);
    QVERIFY(waitJs("location.hostname === 'rebound.test' && document.readyState === 'complete'"));
    QVERIFY(!js("document.body.textContent").toString().contains("camList"));
    QCOMPARE(m_api->count("getCameraSettings"), 0);
}

void TestBrowserPages::accessKeySignIn()
{
    m_settings->setAccessKey("Sk-7c2e_91");
    m_settings->setRequireAccessKey(true);
    m_browser->call("Page.navigate", {{"url", m_origin + "/camera"}}, m_session);
    QVERIFY(waitJs("document.readyState === 'complete' && !!document.querySelector('a')"));
    QCOMPARE(js("document.querySelector('h1').textContent").toString(),
             QString("Access key required"));
    QCOMPARE(m_api->log.size(), 0);
    js("document.querySelector('a[href=\"/login\"]').click()");
    QVERIFY(waitJs("location.pathname === '/login' && document.readyState === 'complete' && "
                   "!!document.querySelector('input[name=key]')"));
    js("document.querySelector('input[name=key]').value = 'Sk-7c2e_91';"
       "document.querySelector('form').submit()");
    // Signed in: back at the full view, which loads and polls with the cookie.
    QVERIFY(waitLog("getCurrentCamInfo", 2));
    QVERIFY(waitJs("location.pathname === '/' && $('#cam1').hasClass('active')"));
    QCOMPARE(js("document.cookie").toString(), QString()); // HttpOnly
    // Further pages open without the key in their address.
    QVERIFY(load("/switcher"));
    QVERIFY(waitJs("$('#vmixStreamStatus').text() === 'Streaming...'"));
    QStringList denied;
    for (const CdpBrowser::Event &e : m_browser->events()) {
        const QJsonObject r = e.params["response"].toObject();
        if (e.sessionId == m_session && e.method == "Network.responseReceived" &&
            r["status"].toInt() == 401 && !r["url"].toString().endsWith("/favicon.ico"))
            denied << r["url"].toString();
    }
    QCOMPARE(denied, QStringList{m_origin + "/camera"}); // only the first visit
}

QTEST_MAIN(TestBrowserPages)
#include "tst_browserpages.moc"
