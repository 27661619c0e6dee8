#include "appsettings.h"
#include "cdpbrowser.h"
#include "fakeobsserver.h"
#include "fakevmixserver.h"
#include "httpserverwrapper.h"
#include "obswrapper.h"
#include "pagesfakeapi.h"
#include "qhttpserver.h"
#include "resources.h"
#include "switcherapihandlers.h"
#include "tempdatahome.h"
#include "vmixwrapper.h"

#include <QtTest>

#include <memory>

// The browser pages in headless Chromium against the real HttpServerWrapper
// on 127.0.0.1, with the API signals answered by PagesFakeApi: what the pages
// request (server-side log), what they show, and that they load everything
// from this server with no error. The switcher panels also run against the
// real handlers and the fake OBS and vMix peers.
class TestBrowserPages : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pageLoadsCleanly_data();
    void pageLoadsCleanly();
    void padMovesThenStops_data();
    void padMovesThenStops();
    void presetStoreAndRecall();
    void cameraRowAndSettings();
    void switcherPanelsAgainstPeers();
    void namesRenderAsText();
    void foreignSiteCannotDrive();

private:
    // Opens path in the page and waits until it has loaded and polled twice.
    bool load(const QString &path);
    QJsonValue js(const QString &expr) { return m_browser->eval(m_session, expr); }
    bool waitJs(const QString &expr) { return m_browser->waitTrue(m_session, expr); }
    bool waitLog(const QString &prefix, int n = 1)
    {
        return QTest::qWaitFor([&] { return r->api->count(prefix) >= n; }, CdpBrowser::kTimeoutMs);
    }
    // Failed requests, console errors, script exceptions, dialogs and
    // requests to anything but this server, seen by the current page.
    QString problems() const;
    std::unique_ptr<CdpBrowser> m_browser;
    // Per test, destroyed in reverse order.
    struct Rig
    {
        std::unique_ptr<TempDataHome> home;
        std::unique_ptr<AppSettings> settings;
        std::unique_ptr<HttpServerWrapper> web;
        std::unique_ptr<PagesFakeApi> api;
        std::unique_ptr<FakeObsServer> obsPeer;
        std::unique_ptr<FakeVMixServer> vmixPeer;
        std::unique_ptr<ObsWrapper> obs;
        std::unique_ptr<VMixWrapper> vmix;
        std::unique_ptr<ObsApiHandler> obsApi;
        std::unique_ptr<VMixApiHandler> vmixApi;
    };
    std::unique_ptr<Rig> r;
    QString m_session;
    QString m_origin;
    quint16 m_port = 0;
};

void TestBrowserPages::initTestCase()
{
    if (!QFile::exists(CdpBrowser::kBinary))
        QSKIP("/usr/bin/chromium is not installed (Debian package chromium)");
    Resources::init();
    m_browser.reset(new CdpBrowser);
    QVERIFY2(m_browser->start(), qPrintable(m_browser->error()));
}

void TestBrowserPages::init()
{
    r.reset(new Rig);
    r->home.reset(new TempDataHome);
    r->settings.reset(new AppSettings);
    r->web.reset(new HttpServerWrapper(r->settings.get()));
    QVERIFY(r->web->startServer(QStringLiteral("127.0.0.1"), 0));
    r->api.reset(new PagesFakeApi(r->web.get()));
    m_port = r->web->server()->serverPort();
    m_origin = QStringLiteral("http://127.0.0.1:%1").arg(m_port);
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
    r.reset();
}

bool TestBrowserPages::load(const QString &path)
{
    const int polled = r->api->count("getCurrentCamInfo");
    m_browser->call("Page.navigate", {{"url", m_origin + path}}, m_session);
    return waitJs("document.readyState === 'complete'") && waitLog("getCurrentCamInfo", polled + 2);
}

QString TestBrowserPages::problems() const
{
    QStringList out;
    for (const CdpBrowser::Event &e : m_browser->events()) {
        const QJsonObject &p = e.params;
        const QString url = p["request"]["url"].toString();
        const int status = p["response"]["status"].toInt();
        if (e.sessionId != m_session)
            continue;
        if (e.method == "Network.requestWillBeSent" && !url.startsWith(m_origin + "/") &&
            !url.startsWith("data:"))
            out << "request outside this server: " + url;
        else if (e.method == "Network.responseReceived" && status >= 400)
            out << QString("HTTP %1 for %2").arg(status).arg(p["response"]["url"].toString());
        // A picture replaced while loading is cancelled, not failed.
        else if (e.method == "Network.loadingFailed" && !p["canceled"].toBool())
            out << "failed request: " + p["errorText"].toString();
        else if ((e.method == "Log.entryAdded" && p["entry"]["level"] == "error") ||
                 (e.method == "Runtime.consoleAPICalled" &&
                  (p["type"] == "error" || p["type"] == "assert")) ||
                 e.method == "Runtime.exceptionThrown" ||
                 e.method == "Page.javascriptDialogOpening")
            out << e.method + ": " + QJsonDocument(p).toJson();
    }
    return out.join('\n');
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
    QVERIFY2(problems().isEmpty(), qPrintable(problems()));

    // A picture of each page for the README.
    const QByteArray png = QByteArray::fromBase64(
        m_browser->call("Page.captureScreenshot", {{"format", "png"}}, m_session)["data"]
            .toString()
            .toLatin1());
    const QString dir = qEnvironmentVariable("CORVANTA_PAGE_SCREENSHOTS", "page-screenshots");
    QDir().mkpath(dir);
    QFile out(dir + "/" + theme + "-" + (path == "/" ? "both" : path.mid(1)) + ".png");
    QVERIFY(png.startsWith("\x89PNG") && out.open(QIODevice::WriteOnly) && out.write(png) > 0);
}

void TestBrowserPages::padMovesThenStops_data()
{
    QTest::addColumn<QString>("click");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("Tilt Up") << "$('#tiltSpeed').val('7'); $('.pad-btn[title=\"Tilt Up\"]')"
                             << QStringList{"controlCam|2|1|7|1|1", "stopControl|2"};
    QTest::newRow("Zoom Out") << "$('#zoomSpeed').val('5'); $('#panSpeed').val('24');"
                                 "$('.pad-btn[title=\"Zoom Out\"]')"
                              << QStringList{"controlCam|8|24|1|5|1", "stopControl|8"};
}

void TestBrowserPages::padMovesThenStops()
{
    QFETCH(QString, click);
    QFETCH(QStringList, expected);
    QVERIFY(load("/camera?theme=dark"));
    js(click + ".click()");
    QVERIFY(waitLog("stopControl"));
    QCOMPARE(r->api->actions(), expected);
    // The stop is sent a half second after the move was answered.
    QVERIFY(r->api->find("stopControl").first().ms - r->api->find("controlCam").first().ms >= 495);
    QVERIFY2(problems().isEmpty(), qPrintable(problems()));
}

// Set mode: the dialog shows the stored name, the new name shows through the
// poll; then a recall at the listed speed 24 sends its index.
void TestBrowserPages::presetStoreAndRecall()
{
    QVERIFY(load("/?theme=light"));
    const QString name = "Altar + Lectern & <b>co</b>";
    js("$('#presetModal').one('shown.bs.modal', () => window.presetShown = true);"
       "$('#presetModeSet').click(); $('#preset3').click()");
    QVERIFY(waitJs("window.presetShown === true && $('#presetNameInput').val() === 'Choir'"));
    js("$('#presetNameInput').val('" + name + "'); $('#presetOkBtn').click()");
    QVERIFY(waitJs("$('#preset3 .preset-name').text() === '" + name + "'"));
    QVERIFY(js("$('#presetModeRecall').prop('checked')").toBool());
    QVERIFY(waitJs("!$('#presetModal').hasClass('show')"));
    js("$('#presetSpeed').val($('#presetSpeed option').filter((i, o) => o.text === '24').val());"
       "$('#preset2').click()");
    QVERIFY(waitLog("recallPreset"));
    QCOMPARE(r->api->actions(),
             (QStringList{"setPreset|" + name + "|3|false", "recallPreset|2|23"}));
    QVERIFY2(problems().isEmpty(), qPrintable(problems()));
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
    QStringList first = r->api->actions().mid(0, 2);
    first.sort();
    QCOMPARE(first, (QStringList{"connectCam|2", "focusAuto|true"}));
    // The list arrives as JSON text, whole.
    const QString json = r->api->find("saveCameraSettings").first().line.section('|', 1);
    const QJsonArray list = QJsonDocument::fromJson(json.toUtf8()).array();
    QCOMPARE(list.size(), 8);
    QCOMPARE(list[1].toObject(),
             (QJsonObject{
                 {"isUsb", false}, {"name", "Pulpit & \"Choir\" +1"}, {"camId", "127.0.1.22"}}));
    QCOMPARE(list[7].toObject(),
             (QJsonObject{{"isUsb", true}, {"name", "Cam 8"}, {"camId", "USB Camera"}}));
    QCOMPARE(js("$('#cam2').attr('title')").toString(), QString("Pulpit & \"Choir\" +1"));
    QVERIFY2(problems().isEmpty(), qPrintable(problems()));
}

// The real routes and wrappers, OBS and vMix played by the fakes.
void TestBrowserPages::switcherPanelsAgainstPeers()
{
    r->obsPeer.reset(new FakeObsServer);
    r->obsPeer->sources =
        QJsonArray{QJsonObject{{"name", "Mic/Aux"}}, QJsonObject{{"name", "Desktop Audio"}}};
    r->obsPeer->volumes = QJsonObject{{"Mic/Aux", QJsonObject{{"volume", -6.0}, {"muted", false}}}};
    r->obsPeer->transitions =
        QJsonArray{QJsonObject{{"name", "Fade"}}, QJsonObject{{"name", "Cut"}}};
    r->obsPeer->currentTransition = "Cut";
    r->obsPeer->streaming = true;
    r->vmixPeer.reset(new FakeVMixServer);
    r->vmixPeer->body =
        "<vmix><inputs>"
        "<input key=\"key-1\" title=\"Camera 1\" volume=\"100\" muted=\"False\">Camera 1</input>"
        "<input key=\"key-2\" title=\"Intro Video\" muted=\"True\">Intro Video</input></inputs>"
        "<recording>True</recording><streaming>True</streaming><playList>False</playList>"
        "<audio><master volume=\"22.66712\" muted=\"True\"/></audio></vmix>";
    r->obs.reset(new ObsWrapper("127.0.0.1", r->obsPeer->port(), QString()));
    r->vmix.reset(new VMixWrapper("127.0.0.1", r->vmixPeer->port(), "admin", "pw"));
    r->api.reset(new PagesFakeApi(r->web.get(), true, false));
    r->obsApi.reset(new ObsApiHandler(r->obs.get(), r->settings.get()));
    r->obsApi->attach(r->web.get());
    r->vmixApi.reset(new VMixApiHandler(r->vmix.get(), r->settings.get()));
    r->vmixApi->attach(r->web.get());
    r->obs->connectToServer();
    r->obs->startPolling();
    r->vmix->startPolling();
    // The page builds its lists from its first answers: both peers polled first.
    QTRY_VERIFY_WITH_TIMEOUT(r->obsApi->status().body.value("transitions").toArray().size() == 2 &&
                                 r->obsApi->status().body.value("sources")[0]["volume"] == -6.0 &&
                                 r->vmixApi->status().body.value("inputs").toArray().size() == 2,
                             CdpBrowser::kTimeoutMs);

    QVERIFY(load("/switcher?theme=dark"));
    QVERIFY(waitJs("$('#obsStreamStatus').text() === 'Streaming ...' &&"
                   " $('#obsSources option').map((i, o) => o.text).get().join('|') ==="
                   " 'Mic/Aux|Desktop Audio' && $('#obsTransitions').val() === 'Cut' &&"
                   " $('#obsVolume').val() === '84'"));
    QVERIFY(waitJs("[$('#vmixStreamStatus').text(), $('#vmixRecordStatus').text(),"
                   " $('#vmixPlayListStatus').text()].join('|') ==="
                   " 'Streaming...|Recording...|PlayList Off...' &&"
                   " $('#vmixSources option').length === 2"));

    const int obsBefore = r->obsPeer->requests.size();
    js("$('#obsSources').val('1').change(); $('#obsMute').click(); $('#obsRecord').click();"
       "$('#obsTransitions').val('Fade').change();"
       "$('#vmixPreview').val('1'); $('#vmixSetPreview').click(); $('#vmixStream').click();"
       "$('#vmixTransitions').val('6'); $('#vmixApplyTransition').click()");
    const auto obsCommands = [&] {
        QStringList out;
        for (const QJsonObject &q : r->obsPeer->requests.mid(obsBefore)) {
            if (!q.value("request-type").toString().startsWith("Get"))
                out << q.value("request-type").toString() + "|" + q.value("source").toString() +
                           q.value("transition-name").toString();
        }
        out.sort();
        return out;
    };
    QTRY_COMPARE_WITH_TIMEOUT(obsCommands(),
                              (QStringList{"SetCurrentTransition|Fade", "StartStopRecording|",
                                           "ToggleMute|Desktop Audio"}),
                              CdpBrowser::kTimeoutMs);
    // Under heavy load a request that sets a state (the preview input) has
    // been seen to reach the peer twice, which changes nothing there; a
    // toggle must arrive exactly once.
    const auto vmix = [&](const char *function) {
        return r->vmixPeer->functionTargets().count("/api/?function=" + QByteArray(function));
    };
    QTRY_VERIFY_WITH_TIMEOUT(vmix("PreviewInput&input=key-2") && vmix("FadeToBlack") == 1 &&
                                 vmix("StartStopStreaming") == 1,
                             CdpBrowser::kTimeoutMs);
    QCOMPARE(r->vmixPeer->functionTargets().size() - vmix("PreviewInput&input=key-2"), 2);
    QVERIFY2(problems().isEmpty(), qPrintable(problems()));
}

void TestBrowserPages::namesRenderAsText()
{
    const QString evil = "<img src=x onerror=alert(1)>";
    r->api->presets[0] = evil;
    r->api->camNames[0] = evil;
    r->api->camId = "a&b c";
    r->api->obsSources = QJsonArray{QJsonObject{{"name", evil}, {"volume", 0.0}, {"muted", false}}};
    r->api->obsTransitions = QJsonArray{evil, "Cut"};
    r->api->vmixInputs = QJsonArray{QJsonObject{{"inputName", evil},
                                                {"inputKey", evil},
                                                {"inputVolume", "50"},
                                                {"inputVolumeMuted", false}}};
    QVERIFY(load("/?theme=dark"));
    const QString isEvil = " === '" + evil + "'";
    QVERIFY(waitJs("$('#preset1 .preset-name').text()" + isEvil + " && $('#cam1').attr('title')" +
                   isEvil));
    for (const char *shown :
         {"$('#obsSources option').first().text()", "$('#obsTransitions option').first().val()",
          "$('#vmixSources option').first().text()", "$('#vmixPreview option').first().text()"})
        QVERIFY2(js(shown + isEvil).toBool(), shown);
    QCOMPARE(js("document.querySelectorAll('img[src=x]').length").toInt(-1), 0);
    // The camera id is one encoded query value of the picture's URL.
    QVERIFY(js("$('#preset1 img').attr('src').startsWith("
               "'/assets?_type=preset&_name=a%26b%20c1.jpg&_time=')")
                .toBool());
    js("$('#vmixSourceVolume').val('30').change()");
    QVERIFY(waitLog("setVMixSourceVolume"));
    QCOMPARE(r->api->actions(), QStringList{"setVMixSourceVolume|" + evil + "|30"});
    QVERIFY2(problems().isEmpty(), qPrintable(problems()));
}

// Another site (127.0.0.2) tries every way a page can send the panel a GET;
// none reaches a route (the fake logs every emitted signal).
void TestBrowserPages::foreignSiteCannotDrive()
{
    const QByteArray panel = m_origin.toLatin1();
    const QByteArray drive =
        panel + "/cam/control?controlMethod=0&panSpeed=24&tiltSpeed=20&zoomSpeed=1&focusSpeed=1";
    const QByteArray html =
        "<script>window.done = 0; const tick = () => { window.done++; };</script>"
        "<img src=\"" +
        drive +
        "\" onload=\"tick()\" onerror=\"tick()\">"
        "<script src=\"" +
        panel +
        "/cam/settings\" onload=\"tick()\" onerror=\"tick()\"></script>"
        "<iframe src=\"" +
        panel +
        "/camera\" onload=\"tick()\"></iframe>"
        "<iframe name=\"sink\" onload=\"if (window.submitted) tick()\"></iframe>"
        "<form id=\"f\" target=\"sink\" action=\"" +
        panel +
        "/cam/control\">"
        "<input name=\"controlMethod\" value=\"2\"><input name=\"panSpeed\" value=\"1\">"
        "<input name=\"tiltSpeed\" value=\"20\"><input name=\"zoomSpeed\" value=\"1\">"
        "<input name=\"focusSpeed\" value=\"1\"></form><script>"
        "fetch('" +
        drive +
        "', {mode: 'no-cors'}).then(tick, tick);"
        "fetch('" +
        panel +
        "/obs/toggleStreaming', {mode: 'no-cors'}).then(tick, tick);"
        "fetch('" +
        panel +
        "/vmix/settings').then(tick, tick);"
        "window.submitted = true; document.getElementById('f').submit();</script>";
    qhttp::server::QHttpServer site;
    QVERIFY(site.listen(QHostAddress("127.0.0.2"), 0, [&](auto *, auto *resp) {
        resp->addHeader("Content-Type", "text/html");
        resp->end(html);
    }));
    m_browser->call("Page.navigate",
                    {{"url", QString("http://127.0.0.2:%1/").arg(site.serverPort())}}, m_session);
    QVERIFY2(waitJs("window.done === 7"), qPrintable(js("window.done").toVariant().toString()));

    // Every request that reached the panel was refused before any route.
    int refused = 0;
    for (const CdpBrowser::Event &e : m_browser->events()) {
        const QJsonObject r = e.params["response"].toObject();
        if (e.sessionId == m_session && e.method == "Network.responseReceived" &&
            r["url"].toString().startsWith(m_origin) && r["status"].toInt() == 403)
            ++refused;
    }
    QVERIFY2(refused >= 4, qPrintable(QString::number(refused)));
    QCOMPARE(r->api->log.size(), 0);

    // Rebinding: a name the attacker pointed at the panel reads nothing.
    m_browser->call("Page.navigate",
                    {{"url", QString("http://rebound.test:%1/cam/settings").arg(m_port)}},
                    m_session);
    QVERIFY(waitJs("location.hostname === 'rebound.test' && document.readyState === 'complete'"));
    QVERIFY(!js("document.body.textContent").toString().contains("camList"));
    QCOMPARE(r->api->log.size(), 0);
}

QTEST_MAIN(TestBrowserPages)
#include "tst_browserpages.moc"
