#include "appsettings.h"
#include "httpserverwrapper.h"
#include "pagesfakeapi.h"
#include "rawhttpclient.h"
#include "resources.h"
#include "storagepaths.h"
#include "tempdatahome.h"

#include <QFile>
#include <QtTest>

#include <memory>

using qhttp::server::QHttpResponse;

// HttpServerWrapper over real sockets on 127.0.0.1: routes, guards, pages and
// files. PagesFakeApi answers and logs every API signal with its parameters.
class TestHttpServerWrapper : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Resources::init(); }
    void init();
    void cleanup();

    void routesEmitTypedParameters_data();
    void routesEmitTypedParameters();
    void fixedAnswers_data();
    void fixedAnswers();
    void onlyGetIsServed();
    void pagesFollowAndStoreTheTheme();
    void staticFiles_data();
    void staticFiles();
    void responseLeftOpenIsAnswered500_data();
    void responseLeftOpenIsAnswered500();
    void guard_data();
    void guard();
    void conditionalRequests();

private:
    // The answer to a GET of target with these header lines (each ending in
    // CRLF; "PORT" stands for the server's port), on a new connection.
    RawResponse send(const QByteArray &target, QByteArray headers)
    {
        RawHttpClient c;
        headers.replace("PORT", QByteArray::number(m_port));
        return c.connectTo(m_port, "GET " + target + " HTTP/1.1\r\n" + headers + "\r\n")
                   ? c.next()
                   : RawResponse();
    }
    RawResponse get(const QByteArray &target) { return fetch(m_port, target); }
    std::unique_ptr<TempDataHome> m_home;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<HttpServerWrapper> m_web;
    std::unique_ptr<PagesFakeApi> m_api;
    quint16 m_port = 0;
};

// The lines every answer of the wrapper starts with.
static const QByteArray kGuardLines("X-Frame-Options: SAMEORIGIN\r\n"
                                    "Content-Security-Policy: frame-ancestors 'self'\r\n"
                                    "X-Content-Type-Options: nosniff\r\n");

static QByteArray resource(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

static void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

void TestHttpServerWrapper::init()
{
    m_home.reset(new TempDataHome);
    m_settings.reset(new AppSettings);
    m_web.reset(new HttpServerWrapper(m_settings.get()));
    m_api.reset(new PagesFakeApi(m_web.get()));
    QVERIFY(m_web->startServer(QStringLiteral("127.0.0.1"), 0));
    m_port = m_web->server()->serverPort();
}

void TestHttpServerWrapper::cleanup()
{
    m_api.reset();
    m_web.reset();
    m_settings.reset();
    m_home.reset();
}

void TestHttpServerWrapper::routesEmitTypedParameters_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QString>("emitted"); // signal|parameters after the response
    auto row = [](const char *target, const char *emitted) {
        QTest::newRow(target) << QByteArray(target) << QString::fromUtf8(emitted);
    };
    // Routes a handler suite drives end to end are left to it.
    row("/vmix/saveReconnect?vmixIp=127.0.0.5&vmixId=Stage+Mgr&vmixPwd=p%26w%3Dx&vmixPort=8099",
        "vmixSaveReconnect|127.0.0.5|8099|Stage Mgr|p&w=x");
    row("/vmix/sourceVolume?sourceName=Mic+%26+Aux&volume=0.75",
        "setVMixSourceVolume|Mic & Aux|0.75");
    row("/vmix/sourceMuted?sourceName=A%2BB", "setVMixSourceMuted|A+B");
    // Not a number: NaN (never 0, full volume in dB).
    row("/vmix/masterVolume?volume=loud", "setVMixMasterVolume|nan");
    row("/vmix/setPreview?sourceName=Cam%201", "vmixSetPreview|Cam 1");
    row("/obs/transition?transition=Fade+Slow", "obsSetTransition|Fade Slow");
    row("/cam/settings?junk", "getCameraSettings");
    row("/cam/tally", "getTally");
    // Never uploads, whatever is asked.
    row("/cam/setPreset?presetNum=3&presetName=Wide&isUploadImage=true", "setPreset|Wide|3|false");
    row("/cam/control?controlMethod=1&panSpeed=4&tiltSpeed=5&zoomSpeed=6&focusSpeed=7&a=b=c",
        "controlCam|1|4|5|6|7");
}

void TestHttpServerWrapper::routesEmitTypedParameters()
{
    QFETCH(QByteArray, target);
    QFETCH(QString, emitted);
    QCOMPARE(get(target).status, 200);
    QCOMPARE(m_api->actions(true), QStringList{emitted});
}

void TestHttpServerWrapper::fixedAnswers_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("statusAndBody");
    const QByteArray mismatch("400 Bad Request|Param mismatch"),
        notFound("404 Not Found|Page Not Found!");
    QTest::newRow("connect without query") << QByteArray("/cam/connect") << mismatch;
    QTest::newRow("missing one key")
        << QByteArray("/cam/control?controlMethod=2&panSpeed=0&tiltSpeed=0&zoomSpeed=0")
        << mismatch;
    QTest::newRow("second equals before a key")
        << QByteArray(
               "/cam/control?controlMethod=2&panSpeed=0=1&tiltSpeed=0&zoomSpeed=0&focusSpeed=0")
        << mismatch;
    QTest::newRow("encoded delimiters") << QByteArray("/cam/connect?camNum%3D5") << mismatch;
    QTest::newRow("asset without name") << QByteArray("/assets?_type=img") << mismatch;
    QTest::newRow("unknown path") << QByteArray("/nothing") << notFound;
    QTest::newRow("trailing slash") << QByteArray("/cam/settings/") << notFound;
    QTest::newRow("page query without theme") << QByteArray("/?x=1") << notFound;
    QTest::newRow("theme capitalised") << QByteArray("/switcher?theme=Dark") << notFound;
    QTest::newRow("theme empty") << QByteArray("/?theme=") << notFound;
    // Asset names cannot leave their folder.
    for (const char *t :
         {"preset&_name=..%2F..%2Fsettings.ini", "preset&_name=x/../../settings.ini",
          "preset&_name=a%5Cb.jpg", "preset&_name=a.jpg%00.png", "preset&_name=..",
          "img&_name=..%2Fdark%2Fdark-both.html", "css&_name=%2Fetc%2Fpasswd", "js&_name=...js"})
        QTest::newRow(t) << "/assets?_type=" + QByteArray(t) << notFound;
}

void TestHttpServerWrapper::fixedAnswers()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, statusAndBody);
    // A file the asset names would reach if joined unchecked.
    writeFile(Storage::userFolder() + "/settings.ini", "[General]\nsecret=1\n");
    const QByteArray body = statusAndBody.mid(statusAndBody.indexOf('|') + 1);
    QCOMPARE(get(target).raw, "HTTP/1.1 " + statusAndBody.left(statusAndBody.indexOf('|')) +
                                  "\r\n" + kGuardLines +
                                  "Content-Type: application/json\r\nContent-Length: " +
                                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
    QCOMPARE(m_api->log.size(), 0);
    QVERIFY(m_settings->useDarkTheme()); // no theme stored
}

// HEAD is answered like POST, without the body on the wire; the connection
// stays usable.
void TestHttpServerWrapper::onlyGetIsServed()
{
    RawHttpClient c;
    QVERIFY(c.connectTo(m_port, "POST /cam/settings HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc"
                                "DELETE /nowhere HTTP/1.1\r\n\r\n"
                                "HEAD /unknown HTTP/1.1\r\n\r\n" +
                                    getRequest("/cam/settings")));
    const QByteArray wrong("HTTP/1.1 400 Bad Request\r\n" + kGuardLines +
                           "Content-Length: 26\r\n\r\nOnly 'Get' Method Allowed.");
    QCOMPARE(c.next().raw, wrong);
    QCOMPARE(c.next().raw, wrong);
    QCOMPARE(c.next(true).raw, wrong.left(wrong.indexOf("Only")));
    QCOMPARE(c.next().status, 200);
    QCOMPARE(m_api->actions(true), QStringList{"getCameraSettings"});
}

void TestHttpServerWrapper::pagesFollowAndStoreTheTheme()
{
    const QString html = ":/corvanta-assets/html/%1/%1-%2.html";
    const QByteArray darkBoth = resource(html.arg("dark", "both"));
    QVERIFY(!darkBoth.isEmpty() && darkBoth != resource(html.arg("light", "both")));
    const RawResponse r = get("/");
    QCOMPARE(r.header("Content-Type"), QByteArray("text/html"));
    QCOMPARE(r.body, darkBoth); // default theme is dark

    QCOMPARE(get("/camera?theme=light&_time=1").body, resource(html.arg("light", "camera")));
    QCOMPARE(AppSettings().useDarkTheme(), false); // written to the store
    QCOMPARE(get("/").body, resource(html.arg("light", "both")));
    QCOMPARE(get("/switcher?theme=dark").body, resource(html.arg("dark", "switcher")));

    // Asking again for the stored theme leaves the settings file untouched,
    // the operator's comments included.
    m_settings->sync();
    QFile file(m_settings->fileName());
    QVERIFY(file.open(QIODevice::Append) && file.write("; operator's note\n") > 0);
    file.close();
    const QByteArray before = resource(m_settings->fileName());
    QCOMPARE(get("/?theme=dark").body, darkBoth);
    m_settings->sync();
    QCOMPARE(resource(m_settings->fileName()), before);
}

void TestHttpServerWrapper::staticFiles_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QString>("file"); // empty: 404
    QTest::newRow("js") << QByteArray("/assets?_type=js&_name=script.js&_time=123")
                        << QByteArray("text/javascript") << "js/script.js";
    QTest::newRow("css") << QByteArray("/assets?_name=style.css&_type=css")
                         << QByteArray("text/css") << "css/style.css";
    QTest::newRow("img") << QByteArray("/assets?_type=img&_name=favicon.png")
                         << QByteArray("image/apng") << "assets/favicon.png";
    QTest::newRow("empty img name")
        << QByteArray("/assets?_type=img&_name=") << QByteArray("image/apng") << QString();
    QTest::newRow("preset without a snapshot: the theme's picture")
        << QByteArray("/assets?_type=preset&_name=127.0.0.233.jpg&_time=5")
        << QByteArray("image/apng") << "assets/default.png";
}

void TestHttpServerWrapper::staticFiles()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, contentType);
    QFETCH(QString, file);
    const RawResponse r = get(target);
    QCOMPARE(r.status, file.isEmpty() ? 404 : 200);
    QCOMPARE(r.header("Content-Type"), contentType);
    QCOMPARE(r.body, file.isEmpty() ? QByteArray() : resource(":/corvanta-assets/html/" + file));
}

void TestHttpServerWrapper::responseLeftOpenIsAnswered500_data()
{
    QTest::addColumn<bool>("partial");
    QTest::newRow("no receiver answers") << false;
    QTest::newRow("receiver writes but does not end") << true;
}

void TestHttpServerWrapper::responseLeftOpenIsAnswered500()
{
    QFETCH(bool, partial);
    m_api.reset(new PagesFakeApi(m_web.get(), false));
    if (partial) {
        connect(m_web.get(), &HttpServerWrapper::connectCam, this, [](QHttpResponse *resp, int) {
            resp->addHeader("Content-Type", "application/json");
            resp->write("{\"status\":");
        });
    }
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression("no handler completed the response for.*/cam/connect"));
    RawHttpClient c;
    QVERIFY(c.connectTo(m_port, getRequest("/cam/connect?camNum=2") + getRequest("/cam/tally")));
    QCOMPARE(c.next().raw,
             "HTTP/1.1 500 Internal Server Error\r\n" + kGuardLines + "Content-Length: 0\r\n\r\n");
    QCOMPARE(c.next().status, 200); // the connection carries on
}

void TestHttpServerWrapper::guard_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("headers");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("keyed"); // 1: key "k3y-Abc_123" required, 2: required, none stored
    const QByteArray drive(
        "/cam/control?controlMethod=0&panSpeed=24&tiltSpeed=20&zoomSpeed=1&focusSpeed=1");
    const QByteArray local("Host: 127.0.0.1:PORT\r\n");
    const QByteArray link("Sec-Fetch-Site: cross-site\r\nSec-Fetch-Mode: navigate\r\n"
                          "Sec-Fetch-Dest: document\r\n");
    auto row = [](const char *name, const QByteArray &target, const QByteArray &headers, int status,
                  int keyed = 0) {
        QTest::newRow(name) << target << headers << status << keyed;
    };
    // Host names: literals, localhost, this machine, the operator's names.
    row("no host at all", drive, "", 200);
    row("ipv6 literal", drive, "Host: [::1]:PORT\r\n", 200);
    row("localhost", drive, "Host: LocalHost:PORT\r\n", 200);
    row("own name", drive, "Host: Studio-PC\r\n", 200);
    row("operator's name", drive, "Host: panel.studio.lan:PORT\r\n", 200);
    row("rebinding name", drive, "Host: evil.test:PORT\r\n", 421);
    row("own name as a prefix", drive, "Host: studio-pc.evil.test\r\n", 421);
    row("address as a prefix", drive, "Host: 127.0.0.1.evil.test\r\n", 421);
    row("short address form", drive, "Host: 127.1\r\n", 421);
    row("ipv6 unbracketed", drive, "Host: ::1\r\n", 421);
    row("bracketed name", drive, "Host: [evil.test]:PORT\r\n", 421);
    row("port not a number", drive, "Host: 127.0.0.1:80x\r\n", 421);
    row("two hosts", drive, "Host: 127.0.0.1\r\nHost: evil.test\r\n", 421);
    // What the browser says about where a request comes from.
    row("same-origin fetch", drive, local + "Sec-Fetch-Site: same-origin\r\n", 200);
    row("typed into the address bar", drive, local + "Sec-Fetch-Site: none\r\n", 200);
    row("cross-site picture", drive,
        local +
            "Sec-Fetch-Site: cross-site\r\nSec-Fetch-Mode: no-cors\r\nSec-Fetch-Dest: image\r\n",
        403);
    row("same-site other port", "/obs/toggleStreaming", local + "Sec-Fetch-Site: same-site\r\n",
        403);
    row("origin of another host", drive, local + "Origin: http://127.0.0.2:PORT\r\n", 403);
    row("origin without port", drive, local + "Origin: http://127.0.0.1\r\n", 403);
    row("origin null", drive, local + "Origin: null\r\n", 403);
    row("origin without host", drive, "Origin: http://127.0.0.1:PORT\r\n", 403);
    row("own origin", drive, local + "Origin: http://127.0.0.1:PORT\r\n", 200);
    row("link to a page from another site", "/camera", local + link, 200);
    row("link that changes the theme", "/camera?theme=light", local + link, 403);
    row("link that drives", drive, local + link, 403);
    row("page in a foreign frame", "/",
        local + QByteArray(link).replace("Dest: document", "Dest: iframe"), 403);
    const QByteArray cam("/cam/connect?camNum=3");
    row("key: bearer", cam, local + "Authorization: Bearer k3y-Abc_123\r\n", 200, 1);
    row("key: bearer wrong", cam, local + "Authorization: Bearer k3y-Abc_12\r\n", 401, 1);
    row("key: basic is not bearer", cam, local + "Authorization: Basic k3y-Abc_123\r\n", 401, 1);
    row("key: query last", cam + "&key=k3y-Abc_123", local, 200, 1);
    row("key: query wrong", cam + "&key=nope", local, 401, 1);
    row("key: query empty", cam + "&key=", local, 401, 1);
    row("key: cookie", cam, local + "Cookie: a=1; corvanta_key=k3y-Abc_123; b=2\r\n", 200, 1);
    row("key: missing", cam, local, 401, 1);
    row("key: missing on a page", "/", local, 401, 1);
    row("key: page with the key in the query", "/camera?key=k3y-Abc_123", local, 200, 1);
    row("key: login wrong", "/login?key=wrong", local, 401, 1);
    row("key: login", "/login?key=k3y-Abc_123", local, 303, 1);
    row("key: none stored, empty query", "/cam/checkImg?key=", local, 401, 2);
    row("key: none stored, empty cookie", "/cam/checkImg", local + "Cookie: corvanta_key=\r\n", 401,
        2);
    row("key off: not taken out", "/cam/connect?key=x&camNum=2", local, 200, 0);
}

// Keys and key-like values never reach the log.
void TestHttpServerWrapper::guard()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, headers);
    QFETCH(int, status);
    QFETCH(int, keyed);
    m_web->setLocalHostName("studio-pc");
    m_settings->setServerHostNames({"Panel.Studio.LAN", " ptz-desk "});
    m_settings->setAccessKey(keyed == 2 ? QString() : "k3y-Abc_123");
    m_settings->setRequireAccessKey(keyed);
    static QStringList logged;
    logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &msg) { logged << msg; });
    const RawResponse r = send(target, headers);
    qInstallMessageHandler(previous);

    QCOMPARE(r.status, status);
    QVERIFY(r.raw.contains(kGuardLines));
    QVERIFY(m_settings->useDarkTheme());
    QCOMPARE(m_api->log.size(), status == 200 && target.startsWith("/cam/") ? 1 : 0);
    if (status == 401)
        QVERIFY(r.body.contains("\"/login\"") && !r.hasHeader("Set-Cookie"));
    else if (keyed && target.startsWith("/cam/")) // the key is taken out of the query
        QCOMPARE(m_api->actions(), QStringList{"connectCam|3"});
    else if (keyed) {
        const QByteArray cookie = r.header("Set-Cookie");
        QVERIFY(cookie.startsWith("corvanta_key=k3y-Abc_123; Path=/;"));
        QVERIFY(cookie.endsWith("; HttpOnly; SameSite=Strict"));
        QCOMPARE(r.header("Location"), status == 303 ? QByteArray("/") : QByteArray());
    }
    for (const QString &line : logged)
        QVERIFY2(!line.contains("k3y", Qt::CaseInsensitive) && !line.contains("nope"),
                 qPrintable(line));
}

// Preset pictures are revalidated, also with a version in the query; a new
// snapshot under the same name is a new entity.
void TestHttpServerWrapper::conditionalRequests()
{
    const QByteArray target("/assets?_type=preset&_name=127.0.0.91.jpg&v=1.2.3");
    const QString snapshot = Storage::snapshotPath(QStringLiteral("127.0.0.9"), 1);
    writeFile(snapshot, "\xff\xd8"
                        "first\xff\xd9");
    const RawResponse full = get(target);
    QCOMPARE(full.body, QByteArray("\xff\xd8"
                                   "first\xff\xd9"));
    QCOMPARE(full.header("Cache-Control"), QByteArray("no-cache"));
    const QByteArray tag = full.header("ETag"), modified = full.header("Last-Modified");
    auto conditional = [&](const QByteArray &line) {
        return send(target, "Host: 127.0.0.1\r\n" + line + "\r\n");
    };
    const RawResponse r = conditional("If-None-Match: \"x\", " + tag);
    QCOMPARE(r.status, 304);
    QVERIFY(r.raw.endsWith("\r\n\r\n") && !r.hasHeader("Content-Length"));
    QCOMPARE(conditional("If-Modified-Since: " + modified).status, 304);
    // If-None-Match decides when both are sent.
    QCOMPARE(conditional("If-None-Match: \"other\"\r\nIf-Modified-Since: " + modified).status, 200);
    QCOMPARE(conditional("If-Modified-Since: garbage").status, 200);
    writeFile(snapshot, "\xff\xd8second, longer\xff\xd9");
    QCOMPARE(conditional("If-None-Match: " + tag).body,
             QByteArray("\xff\xd8second, longer\xff\xd9"));
    // Versioned fonts are kept.
    QCOMPARE(
        get("/assets?_type=img&_name=fontawesome-webfont.woff2&v=4.7.0").header("Cache-Control"),
        QByteArray("max-age=31536000, immutable"));
}

QTEST_GUILESS_MAIN(TestHttpServerWrapper)
#include "tst_httpserverwrapper.moc"
