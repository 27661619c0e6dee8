#include "appsettings.h"
#include "cdpbrowser.h"
#include "httpserverwrapper.h"
#include "pagesfakeapi.h"
#include "resources.h"
#include "tempdatahome.h"

#include <QtTest>

#include <memory>

// The browser pages in headless Chromium against the real HttpServerWrapper
// on 127.0.0.1, with the API signals answered by PagesFakeApi: what the pages
// request (server-side log), what they show, and that they load everything
// from this server with no error.
class TestBrowserPages : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pageLoadsCleanly_data();
    void pageLoadsCleanly();
    void presetsAndSwitcherControls();

private:
    // Opens path in the page and waits until it has loaded and polled twice.
    bool load(const QString &path);
    QJsonValue js(const QString &expr) { return m_browser->eval(m_session, expr); }
    bool waitJs(const QString &expr) { return m_browser->waitTrue(m_session, expr); }
    bool waitLog(const QString &prefix, int n = 1)
    {
        return QTest::qWaitFor([&] { return r->api.count(prefix) >= n; }, CdpBrowser::kTimeoutMs);
    }
    // Failed requests, console errors, script exceptions, dialogs and
    // requests to anything but this server, seen by the current page.
    QString problems() const;
    std::unique_ptr<CdpBrowser> m_browser;
    // Per test, destroyed in reverse order.
    struct Rig
    {
        TempDataHome home;
        AppSettings settings;
        HttpServerWrapper web{&settings};
        PagesFakeApi api{&web};
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
    QVERIFY(r->web.startServer(QStringLiteral("127.0.0.1"), 0));
    m_port = r->web.server()->serverPort();
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
    const int polled = r->api.count("getCurrentCamInfo");
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

// Names from cameras and switchers are markup-free text: shown as such, never
// run (a run script or a broken picture shows in problems()).
void TestBrowserPages::pageLoadsCleanly()
{
    QFETCH(QString, theme);
    QFETCH(QString, path);
    const QString evil = "<img src=x onerror=alert(1)>";
    r->api.presets[0] = r->api.camNames[0] = evil;
    r->api.obsTransitions = QJsonArray{evil, "Cut"};
    r->api.vmixInputs[0] = QJsonObject{{"inputName", evil},
                                       {"inputKey", evil},
                                       {"inputVolume", "50"},
                                       {"inputVolumeMuted", false}};
    QVERIFY(load(path + "?theme=" + theme));
    QCOMPARE(js("document.body.className").toString(), theme);
    // The icon font comes through the asset route like everything else.
    QVERIFY(
        waitJs("document.fonts.ready.then(() => Array.from(document.fonts).some("
               "f => f.family.replace(/[\"']/g, '') === 'FontAwesome' && f.status === 'loaded'))"));
    // Status texts follow the first answers on the views that show them.
    const QString isEvil = " === '" + evil + "'";
    if (path != "/camera")
        QVERIFY(waitJs("$('#vmixStreamStatus').text() === 'Streaming...' &&"
                       "$('#obsTransitions option').first().val()" +
                       isEvil + "&& $('#vmixPreview option').first().text()" + isEvil));
    if (path != "/switcher")
        QVERIFY(waitJs("$('#cam1').hasClass('active') && $('#cam1').attr('title')" + isEvil +
                       "&& $('#preset1 .preset-name').text()" + isEvil));
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

// A pad button sends its move, and the stop half a second after the move was
// answered. Set mode: the dialog shows the stored name, the new name shows
// through the poll; then a recall at the listed speed 24 sends its index. The
// switcher controls ask for their routes.
void TestBrowserPages::presetsAndSwitcherControls()
{
    QVERIFY(load("/?theme=light"));
    js("$('#tiltSpeed').val('7'); $('.pad-btn[title=\"Tilt Up\"]').click()");
    QVERIFY(waitLog("stopControl"));
    QVERIFY(r->api.find("stopControl").first().ms - r->api.find("controlCam").first().ms >= 495);
    js("$('#zoomSpeed').val('5'); $('#panSpeed').val('24');"
       "$('.pad-btn[title=\"Zoom Out\"]').click()");
    QVERIFY(waitLog("stopControl", 2));
    QCOMPARE(r->api.actions(), (QStringList{"controlCam|2|1|7|1|1", "stopControl|2",
                                            "controlCam|8|24|7|5|1", "stopControl|8"}));

    r->api.log.clear();
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
    QCOMPARE(r->api.actions(),
             (QStringList{"setPreset|" + name + "|3|false", "recallPreset|2|23"}));

    r->api.log.clear();
    js("$('#obsSources').val('1').change(); $('#obsMute').click(); $('#obsRecord').click();"
       "$('#obsTransitions').val('Fade').change();"
       "$('#vmixPreview').val('1'); $('#vmixSetPreview').click(); $('#vmixStream').click();"
       "$('#vmixTransitions').val('6'); $('#vmixApplyTransition').click()");
    // Under load a request that sets a state (the preview) has been seen to
    // arrive twice, which changes nothing; a toggle must arrive once.
    const auto sent = [&] {
        QStringList s = r->api.actions();
        s.removeAll("vmixSetPreview|key-2");
        s.sort();
        return s;
    };
    QTRY_COMPARE_WITH_TIMEOUT(sent(),
                              (QStringList{"obsSetTransition|Fade", "obsToggleRecording",
                                           "setObsSourceMuted|Desktop Audio",
                                           "vmixApplyTransition|6", "vmixToggleStreaming"}),
                              CdpBrowser::kTimeoutMs);
    QVERIFY(r->api.count("vmixSetPreview|key-2"));
    QVERIFY2(problems().isEmpty(), qPrintable(problems()));
}

QTEST_MAIN(TestBrowserPages)
#include "tst_browserpages.moc"
