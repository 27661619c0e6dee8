#include "appsettings.h"
#include "httpserverwrapper.h"
#include "rawhttpclient.h"
#include "resources.h"
#include "storagepaths.h"
#include "tempdatahome.h"

#include <QFile>
#include <QMetaMethod>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using qhttp::server::QHttpResponse;

// HttpServerWrapper over real sockets on 127.0.0.1: every signal receiver
// below ends its response with "handled:<signal>" so the typed parameters can
// be checked through QSignalSpy.
class TestHttpServerWrapper : public QObject
{
    Q_OBJECT
public slots:
    void endResponse(qhttp::server::QHttpResponse *resp)
    {
        resp->end("handled:" + QByteArray(metaObject()->className()));
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void signalsInDeclarationOrder();
    void routesEmitTypedParameters_data();
    void routesEmitTypedParameters();
    void fixedAnswers_data();
    void fixedAnswers();
    void onlyGetIsServed();
    void pagesFollowAndStoreTheTheme();
    void staticFiles_data();
    void staticFiles();
    void presetImageOrThemeDefault();
    void assetNamesCannotLeaveTheirFolder_data();
    void assetNamesCannotLeaveTheirFolder();
    void parseQuery_data();
    void parseQuery();
    void responseLeftOpenIsAnswered500_data();
    void responseLeftOpenIsAnswered500();
    void startServerTwiceKeepsTheFirst();
    void stopAndStartAgain();
    void startServerFailures();
    void guard_data();
    void guard();
    void accessKey_data();
    void accessKey();
    void loginSetsTheCookie();
    void conditionalRequests_data();
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
    int emitted() const
    {
        int n = 0;
        for (const QSignalSpy *spy : m_spies)
            n += spy->count();
        return n;
    }
    RawResponse get(const QByteArray &target) { return fetch(m_port, target); }
    std::unique_ptr<TempDataHome> m_home;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<HttpServerWrapper> m_web;
    QList<QSignalSpy *> m_spies;
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

void TestHttpServerWrapper::initTestCase()
{
    Resources::init();
    QVERIFY(!resource(":/corvanta-assets/html/assets/default.png").isEmpty());
}

void TestHttpServerWrapper::init()
{
    m_home.reset(new TempDataHome);
    m_settings.reset(new AppSettings);
    m_web.reset(new HttpServerWrapper(m_settings.get()));
    QVERIFY(m_web->startServer(QStringLiteral("127.0.0.1"), 0));
    m_port = m_web->server()->serverPort();
    const QMetaObject *mo = m_web->metaObject();
    for (int i = mo->methodOffset(); i < mo->methodCount(); ++i) {
        const QMetaMethod m = mo->method(i);
        if (m.methodType() != QMetaMethod::Signal)
            continue;
        m_spies.append(new QSignalSpy(m_web.get(), m));
        QVERIFY(m_spies.last()->isValid());
        QVERIFY(connect(m_web.get(), m, this,
                        metaObject()->method(metaObject()->indexOfSlot(
                            "endResponse(qhttp::server::QHttpResponse*)"))));
    }
}

void TestHttpServerWrapper::cleanup()
{
    qDeleteAll(m_spies);
    m_spies.clear();
    m_web.reset();
    m_settings.reset();
    m_home.reset();
}

void TestHttpServerWrapper::signalsInDeclarationOrder()
{
    const QStringList expected = {
        "getVMixSettings(qhttp::server::QHttpResponse*)",
        "getVMixStatus(qhttp::server::QHttpResponse*)",
        "vmixSaveReconnect(qhttp::server::QHttpResponse*,QString,int,QString,QString)",
        "setVMixSourceVolume(qhttp::server::QHttpResponse*,QString,double)",
        "setVMixSourceMuted(qhttp::server::QHttpResponse*,QString)",
        "setVMixMasterVolume(qhttp::server::QHttpResponse*,double)",
        "setVMixMasterMuted(qhttp::server::QHttpResponse*)",
        "vmixToggleStreaming(qhttp::server::QHttpResponse*)",
        "vmixToggleRecording(qhttp::server::QHttpResponse*)",
        "vmixTogglePlayList(qhttp::server::QHttpResponse*)",
        "vmixApplyTransition(qhttp::server::QHttpResponse*,int)",
        "vmixSetPreview(qhttp::server::QHttpResponse*,QString)",
        "getObsStatus(qhttp::server::QHttpResponse*)",
        "getObsSettings(qhttp::server::QHttpResponse*)",
        "setObsSourceVolume(qhttp::server::QHttpResponse*,QString,double)",
        "setObsSourceMuted(qhttp::server::QHttpResponse*,QString)",
        "obsToggleStreaming(qhttp::server::QHttpResponse*)",
        "obsToggleRecording(qhttp::server::QHttpResponse*)",
        "obsSetTransition(qhttp::server::QHttpResponse*,QString)",
        "obsSaveReconnect(qhttp::server::QHttpResponse*,QString,int,QString)",
        "getCameraSettings(qhttp::server::QHttpResponse*)",
        "getCurrentCamInfo(qhttp::server::QHttpResponse*)",
        "saveCameraSettings(qhttp::server::QHttpResponse*,QString)",
        "setPreset(qhttp::server::QHttpResponse*,QString,int,bool)",
        "recallPreset(qhttp::server::QHttpResponse*,int,int)",
        "connectCam(qhttp::server::QHttpResponse*,int)",
        "controlCam(qhttp::server::QHttpResponse*,int,int,int,int,int)",
        "focusAuto(qhttp::server::QHttpResponse*,bool)",
        "checkImageDownloaded(qhttp::server::QHttpResponse*)",
        "stopControl(qhttp::server::QHttpResponse*,int)",
        // Added after the original routes.
        "getTally(qhttp::server::QHttpResponse*)",
    };
    QStringList actual;
    const QMetaObject &mo = HttpServerWrapper::staticMetaObject;
    for (int i = mo.methodOffset(); i < mo.methodCount(); ++i) {
        if (mo.method(i).methodType() == QMetaMethod::Signal)
            actual << QString::fromLatin1(mo.method(i).methodSignature());
    }
    QCOMPARE(actual, expected);
    QVERIFY(mo.indexOfSlot("handleRequest(qhttp::server::QHttpRequest*,qhttp::server::"
                           "QHttpResponse*)") >= 0);
}

void TestHttpServerWrapper::routesEmitTypedParameters_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QString>("signal");
    QTest::addColumn<QVariantList>("args"); // after the response pointer

    auto row = [](const char *name, const char *target, const char *signal, QVariantList args) {
        QTest::newRow(name) << QByteArray(target) << QString::fromLatin1(signal) << args;
    };
    row("vmix settings", "/vmix/settings", "getVMixSettings", {});
    row("vmix status", "/vmix/status", "getVMixStatus", {});
    row("vmix save",
        "/vmix/saveReconnect?vmixIp=127.0.0.5&vmixId=Stage+Mgr&vmixPwd=p%26w%3Dx&vmixPort=8099",
        "vmixSaveReconnect", {"127.0.0.5", 8099, "Stage Mgr", "p&w=x"});
    row("vmix source volume", "/vmix/sourceVolume?sourceName=Mic+%26+Aux&volume=0.75",
        "setVMixSourceVolume", {"Mic & Aux", 0.75});
    row("vmix source muted", "/vmix/sourceMuted?sourceName=A%2BB", "setVMixSourceMuted", {"A+B"});
    // Not a number: NaN (never 0, full volume in dB), and no selection (-1).
    row("vmix master volume bad", "/vmix/masterVolume?volume=loud", "setVMixMasterVolume",
        {qQNaN()});
    row("vmix master muted", "/vmix/masterMuted", "setVMixMasterMuted", {});
    row("vmix streaming", "/vmix/toggleStreaming", "vmixToggleStreaming", {});
    row("vmix recording", "/vmix/toggleRecording", "vmixToggleRecording", {});
    row("vmix playlist", "/vmix/togglePlayList", "vmixTogglePlayList", {});
    row("vmix transition", "/vmix/transition?transition=3", "vmixApplyTransition", {3});
    row("vmix preview", "/vmix/setPreview?sourceName=Cam%201", "vmixSetPreview", {"Cam 1"});
    row("obs status", "/obs/status", "getObsStatus", {});
    row("obs settings", "/obs/settings", "getObsSettings", {});
    row("obs source volume", "/obs/sourceVolume?volume=-3.5&sourceName=Desk", "setObsSourceVolume",
        {"Desk", -3.5});
    row("obs source muted", "/obs/sourceMuted?sourceName=Mic+%26+Aux", "setObsSourceMuted",
        {"Mic & Aux"});
    row("obs streaming", "/obs/toggleStreaming", "obsToggleStreaming", {});
    row("obs recording", "/obs/toggleRecording", "obsToggleRecording", {});
    row("obs transition is text", "/obs/transition?transition=Fade+Slow", "obsSetTransition",
        {"Fade Slow"});
    row("obs save", "/obs/saveReconnect?obsIp=127.0.0.6&obsPort=4455&obsPwd=", "obsSaveReconnect",
        {"127.0.0.6", 4455, ""});
    row("cam settings ignores query", "/cam/settings?junk", "getCameraSettings", {});
    row("cam info", "/cam/getCurrentCamInfo", "getCurrentCamInfo", {});
    row("tally", "/cam/tally", "getTally", {});
    row("cam save", "/cam/saveSettings?camList=%5B%7B%22cameraname%22%3A%22Studio+A%22%7D%5D",
        "saveCameraSettings", {"[{\"cameraname\":\"Studio A\"}]"});
    row("set preset never uploads", "/cam/setPreset?presetNum=3&presetName=Wide&isUploadImage=true",
        "setPreset", {"Wide", 3, false});
    row("recall preset", "/cam/recallPreset?presetNum=4&callSpeed=12", "recallPreset", {4, 12});
    row("connect", "/cam/connect?camNum=5", "connectCam", {5});
    row("connect letter", "/cam/connect?camNum=x", "connectCam", {-1});
    row("control", "/cam/control?controlMethod=2&panSpeed=0&tiltSpeed=9&zoomSpeed=0&focusSpeed=0",
        "controlCam", {2, 0, 9, 0, 0});
    row("control trailing bad part",
        "/cam/control?controlMethod=1&panSpeed=4&tiltSpeed=5&zoomSpeed=6&focusSpeed=7&junk",
        "controlCam", {1, 4, 5, 6, 7});
    row("control later second equals",
        "/cam/control?controlMethod=1&panSpeed=4&tiltSpeed=5&zoomSpeed=6&focusSpeed=7&a=b=c",
        "controlCam", {1, 4, 5, 6, 7});
    row("stop control", "/cam/stopControl?controlMethod=2", "stopControl", {2});
    row("focus auto true", "/cam/focusAuto?focusAuto=true", "focusAuto", {true});
    row("focus auto True", "/cam/focusAuto?focusAuto=True", "focusAuto", {false});
    row("focus auto 1", "/cam/focusAuto?focusAuto=1", "focusAuto", {false});
    row("check image", "/cam/checkImg", "checkImageDownloaded", {});
}

void TestHttpServerWrapper::routesEmitTypedParameters()
{
    QFETCH(QByteArray, target);
    QFETCH(QString, signal);
    QFETCH(QVariantList, args);
    const RawResponse r = get(target);
    QCOMPARE(r.status, 200);
    QCOMPARE(r.body, QByteArray("handled:TestHttpServerWrapper"));

    const QMetaObject *mo = m_web->metaObject();
    int emitted = 0;
    for (QSignalSpy *spy : qAsConst(m_spies)) {
        if (spy->isEmpty())
            continue;
        ++emitted;
        const QByteArray sig = spy->signal();
        QVERIFY2(sig.startsWith(signal.toLatin1() + '('), sig.constData());
        QCOMPARE(spy->count(), 1);
        const QList<QVariant> got = spy->at(0);
        QCOMPARE(got.size(), args.size() + 1);
        QCOMPARE(got.at(0).userType(), qMetaTypeId<QHttpResponse *>()); // released by now
        for (int i = 0; i < args.size(); ++i) {
            // The value and its type as declared by the signal.
            const int declared = mo->method(mo->indexOfSignal(sig)).parameterType(i + 1);
            QCOMPARE(got.at(i + 1).userType(), declared);
            QVariant want = args.at(i);
            QVERIFY(want.convert(declared));
            if (want.userType() == QMetaType::Double && qIsNaN(want.toDouble()))
                QVERIFY(qIsNaN(got.at(i + 1).toDouble()));
            else
                QCOMPARE(got.at(i + 1), want);
        }
    }
    QCOMPARE(emitted, 1);
}

void TestHttpServerWrapper::fixedAnswers_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    const QByteArray mismatch("Param mismatch"), notFound("Page Not Found!");
    QTest::newRow("connect without query") << QByteArray("/cam/connect") << 400 << mismatch;
    QTest::newRow("missing one key")
        << QByteArray("/cam/control?controlMethod=2&panSpeed=0&tiltSpeed=0&zoomSpeed=0") << 400
        << mismatch;
    QTest::newRow("second equals before a key")
        << QByteArray(
               "/cam/control?controlMethod=2&panSpeed=0=1&tiltSpeed=0&zoomSpeed=0&focusSpeed=0")
        << 400 << mismatch;
    QTest::newRow("empty query") << QByteArray("/cam/recallPreset?") << 400 << mismatch;
    QTest::newRow("encoded delimiters are not delimiters")
        << QByteArray("/cam/connect?camNum%3D5") << 400 << mismatch;
    QTest::newRow("asset without name") << QByteArray("/assets?_type=img") << 400 << mismatch;
    QTest::newRow("asset unknown type")
        << QByteArray("/assets?_type=font&_name=a.ttf") << 400 << mismatch;
    QTest::newRow("unknown path") << QByteArray("/nothing") << 404 << notFound;
    QTest::newRow("case differs") << QByteArray("/Camera") << 404 << notFound;
    QTest::newRow("trailing slash") << QByteArray("/camera/") << 404 << notFound;
    QTest::newRow("api trailing slash") << QByteArray("/cam/settings/") << 404 << notFound;
    QTest::newRow("double slash") << QByteArray("//camera") << 404 << notFound;
    QTest::newRow("page query without theme") << QByteArray("/?x=1") << 404 << notFound;
    QTest::newRow("page bad query") << QByteArray("/camera?dark") << 404 << notFound;
    QTest::newRow("theme capitalised") << QByteArray("/switcher?theme=Dark") << 404 << notFound;
    QTest::newRow("theme empty") << QByteArray("/?theme=") << 404 << notFound;
}

void TestHttpServerWrapper::fixedAnswers()
{
    QFETCH(QByteArray, target);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    const bool darkBefore = m_settings->useDarkTheme();
    const QByteArray statusLine = status == 400 ? "400 Bad Request" : "404 Not Found";
    QCOMPARE(get(target).raw, "HTTP/1.1 " + statusLine + "\r\n" + kGuardLines +
                                  "Content-Type: application/json\r\nContent-Length: " +
                                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
    for (QSignalSpy *spy : qAsConst(m_spies))
        QVERIFY2(spy->isEmpty(), spy->signal().constData());
    QCOMPARE(m_settings->useDarkTheme(), darkBefore);
}

void TestHttpServerWrapper::onlyGetIsServed()
{
    // HEAD is answered like POST, without the body on the wire (HTTP framing
    // of HEAD responses); the connection stays usable.
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
    QCOMPARE(c.next().body, QByteArray("handled:TestHttpServerWrapper"));
    for (QSignalSpy *spy : qAsConst(m_spies)) // only the GET reached a receiver
        QCOMPARE(spy->count(), spy->signal().startsWith("getCameraSettings(") ? 1 : 0);
}

void TestHttpServerWrapper::pagesFollowAndStoreTheTheme()
{
    const QByteArray darkBoth = resource(":/corvanta-assets/html/dark/dark-both.html");
    const QByteArray lightBoth = resource(":/corvanta-assets/html/light/light-both.html");
    QVERIFY(!darkBoth.isEmpty() && darkBoth != lightBoth);

    RawResponse r = get("/");
    QCOMPARE(r.status, 200);
    QCOMPARE(r.header("Content-Type"), QByteArray("text/html"));
    QCOMPARE(r.body, darkBoth); // default theme is dark

    r = get("/camera?theme=light&_time=1");
    QCOMPARE(r.body, resource(":/corvanta-assets/html/light/light-camera.html"));
    QCOMPARE(m_settings->useDarkTheme(), false);
    QCOMPARE(AppSettings().useDarkTheme(), false); // written to the store
    QCOMPARE(get("/").body, lightBoth);
    QCOMPARE(get("/switcher").body, resource(":/corvanta-assets/html/light/light-switcher.html"));

    r = get("/switcher?theme=dark");
    QCOMPARE(r.body, resource(":/corvanta-assets/html/dark/dark-switcher.html"));
    QCOMPARE(m_settings->useDarkTheme(), true);
    QCOMPARE(get("/").body, darkBoth);
    QCOMPARE(get("/camera").body, resource(":/corvanta-assets/html/dark/dark-camera.html"));

    // Asking again for the stored theme leaves the settings file untouched,
    // the operator's comments included.
    m_settings->sync();
    QFile file(m_settings->fileName());
    QVERIFY(file.open(QIODevice::Append));
    file.write("; operator's note\n");
    file.close();
    const QByteArray before = resource(m_settings->fileName());
    QCOMPARE(get("/?theme=dark").body, darkBoth);
    m_settings->sync();
    QCOMPARE(resource(m_settings->fileName()), before);
}

void TestHttpServerWrapper::staticFiles_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QString>("file");
    QTest::newRow("js") << QByteArray("/assets?_type=js&_name=script.js&_time=123") << 200
                        << QByteArray("text/javascript") << ":/corvanta-assets/html/js/script.js";
    QTest::newRow("css") << QByteArray("/assets?_name=style.css&_type=css") << 200
                         << QByteArray("text/css") << ":/corvanta-assets/html/css/style.css";
    QTest::newRow("img") << QByteArray("/assets?_type=img&_name=favicon.png") << 200
                         << QByteArray("image/apng") << ":/corvanta-assets/html/assets/favicon.png";
    QTest::newRow("missing img") << QByteArray("/assets?_type=img&_name=nothing.png") << 404
                                 << QByteArray("image/apng") << QString();
    QTest::newRow("missing js") << QByteArray("/assets?_type=js&_name=nothing.js") << 404
                                << QByteArray("text/javascript") << QString();
    QTest::newRow("empty img name")
        << QByteArray("/assets?_type=img&_name=") << 404 << QByteArray("image/apng") << QString();
}

void TestHttpServerWrapper::staticFiles()
{
    QFETCH(QByteArray, target);
    QFETCH(int, status);
    QFETCH(QByteArray, contentType);
    QFETCH(QString, file);
    const RawResponse r = get(target);
    QCOMPARE(r.status, status);
    QCOMPARE(r.header("Content-Type"), contentType);
    QCOMPARE(r.body, file.isEmpty() ? QByteArray() : resource(file));
}

void TestHttpServerWrapper::presetImageOrThemeDefault()
{
    const QByteArray darkDefault = resource(":/corvanta-assets/html/assets/default.png");
    const QByteArray lightDefault = resource(":/corvanta-assets/html/assets/default-light.png");
    QVERIFY(darkDefault != lightDefault);

    RawResponse r = get("/assets?_type=preset&_name=127.0.0.233.jpg&_time=5");
    QCOMPARE(r.status, 200);
    QCOMPARE(r.header("Content-Type"), QByteArray("image/apng"));
    QCOMPARE(r.body, darkDefault);

    m_settings->setUseDarkTheme(false);
    QCOMPARE(get("/assets?_type=preset&_name=127.0.0.233.jpg").body, lightDefault);

    QFile f(Storage::snapshotPath(QStringLiteral("127.0.0.23"), 3));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("\xff\xd8jpeg bytes\xff\xd9");
    f.close();
    r = get("/assets?_type=preset&_name=127.0.0.233.jpg");
    QCOMPARE(r.status, 200);
    QCOMPARE(r.body, QByteArray("\xff\xd8jpeg bytes\xff\xd9"));
}

void TestHttpServerWrapper::assetNamesCannotLeaveTheirFolder_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::newRow("preset dot dot")
        << QByteArray("/assets?_type=preset&_name=..%2F..%2Fsettings.ini");
    QTest::newRow("preset slash") << QByteArray("/assets?_type=preset&_name=x/../../settings.ini");
    QTest::newRow("preset backslash") << QByteArray("/assets?_type=preset&_name=a%5Cb.jpg");
    QTest::newRow("preset NUL") << QByteArray("/assets?_type=preset&_name=a.jpg%00.png");
    QTest::newRow("preset bare dots") << QByteArray("/assets?_type=preset&_name=..");
    QTest::newRow("img into pages")
        << QByteArray("/assets?_type=img&_name=..%2Fdark%2Fdark-both.html");
    QTest::newRow("css absolute") << QByteArray("/assets?_type=css&_name=%2Fetc%2Fpasswd");
    QTest::newRow("js dots") << QByteArray("/assets?_type=js&_name=...js");
}

void TestHttpServerWrapper::assetNamesCannotLeaveTheirFolder()
{
    QFETCH(QByteArray, target);
    // A file the names above would reach if joined unchecked.
    QFile settings(Storage::userFolder() + "/settings.ini");
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("[General]\nsecret=1\n");
    settings.close();
    QCOMPARE(get(target).raw, get("/nothing").raw); // the fixed 404 answer
}

void TestHttpServerWrapper::parseQuery_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QVariantMap>("expected");
    const QVariantMap failed{{"status", "FAILED"}, {"msg", "The url is not correct"}};
    QTest::newRow("empty") << QString() << failed;
    QTest::newRow("pairs") << "a=1&b=2" << QVariantMap{{"a", "1"}, {"b", "2"}};
    QTest::newRow("later key wins") << "a=1&a=2" << QVariantMap{{"a", "2"}};
    QTest::newRow("empty value") << "a=" << QVariantMap{{"a", ""}};
    QTest::newRow("form decoded") << "name=Studio+A&src=Mic+%26+Aux&p=%2B1%3D2"
                                  << QVariantMap{
                                         {"name", "Studio A"}, {"src", "Mic & Aux"}, {"p", "+1=2"}};
    QTest::newRow("key decoded") << "my+key%21=v" << QVariantMap{{"my key!", "v"}};
    QTest::newRow("utf8") << "n=Caf%C3%A9" << QVariantMap{{"n", QString::fromUtf8("Café")}};
    QVariantMap a1Failed = failed;
    a1Failed.insert("a", "1");
    QTest::newRow("stops at bad part") << "a=1&b&c=3" << a1Failed;
    QTest::newRow("stops at second equals") << "a=1&b=2=3&c=3" << a1Failed;
    QTest::newRow("trailing ampersand") << "a=1&" << a1Failed;
}

void TestHttpServerWrapper::parseQuery()
{
    QFETCH(QString, query);
    QFETCH(QVariantMap, expected);
    QCOMPARE(HttpServerWrapper::parseQuery(query).toVariantMap(), expected);
}

void TestHttpServerWrapper::responseLeftOpenIsAnswered500_data()
{
    QTest::addColumn<bool>("partial");
    QTest::newRow("no receiver") << false;
    QTest::newRow("receiver writes but does not end") << true;
}

void TestHttpServerWrapper::responseLeftOpenIsAnswered500()
{
    QFETCH(bool, partial);
    disconnect(m_web.get(), &HttpServerWrapper::connectCam, this, nullptr);
    if (partial) {
        connect(m_web.get(), &HttpServerWrapper::connectCam, this, [](QHttpResponse *resp, int) {
            resp->addHeader("Content-Type", "application/json");
            resp->write("{\"status\":");
        });
    }
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression("no handler completed the response for.*/cam/connect"));
    RawHttpClient c;
    QVERIFY(c.connectTo(m_port, getRequest("/cam/connect?camNum=2") + getRequest("/cam/settings")));
    QCOMPARE(c.next().raw,
             "HTTP/1.1 500 Internal Server Error\r\n" + kGuardLines + "Content-Length: 0\r\n\r\n");
    QCOMPARE(c.next().status, 200); // the connection carries on
}

void TestHttpServerWrapper::startServerTwiceKeepsTheFirst()
{
    QVERIFY(m_web->server()->isListening());
    QVERIFY(!m_web->startServer(QStringLiteral("127.0.0.1"), 0));
    QVERIFY(!m_web->startServer(QStringLiteral("127.0.0.2"), 0));
    QCOMPARE(m_web->server()->serverPort(), m_port);
    QCOMPARE(get("/cam/checkImg").status, 200);
}

void TestHttpServerWrapper::stopAndStartAgain()
{
    m_web->stopServer();
    QVERIFY(!m_web->server()->isListening());
    m_web->stopServer(); // not listening: nothing happens
    RawHttpClient refused;
    refused.startConnect(m_port);
    QVERIFY(refused.waitClosed());
    QVERIFY(m_web->startServer(QStringLiteral("127.0.0.1"), 0));
    m_port = m_web->server()->serverPort();
    QCOMPARE(get("/cam/checkImg").status, 200);
}

void TestHttpServerWrapper::startServerFailures()
{
    HttpServerWrapper other(m_settings.get());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot listen"));
    QVERIFY(!other.startServer(QStringLiteral("127.0.0.1"), m_port)); // port in use
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot listen"));
    QVERIFY(!other.startServer(QStringLiteral("not-an-address"), 0));
    QVERIFY(!other.server()->isListening());
    QVERIFY(other.startServer(QStringLiteral("127.0.0.1"), 0)); // can start later
}

void TestHttpServerWrapper::guard_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("headers");
    QTest::addColumn<int>("status");
    const QByteArray drive(
        "/cam/control?controlMethod=0&panSpeed=24&tiltSpeed=20&zoomSpeed=1&focusSpeed=1");
    auto row = [](const char *name, const QByteArray &target, const QByteArray &headers,
                  int status) {
        QTest::newRow(name) << target << headers << status;
    };
    // Host names: literals, localhost, this machine, the operator's names.
    row("no host at all", drive, "", 200);
    row("ipv4 with port", drive, "Host: 127.0.0.1:PORT\r\n", 200);
    row("ipv6 literal", drive, "Host: [::1]:PORT\r\n", 200);
    row("ipv6 without port", drive, "Host: [::1]\r\n", 200);
    row("localhost", drive, "Host: LocalHost:PORT\r\n", 200);
    row("own name", drive, "Host: Studio-PC\r\n", 200);
    row("own name .local", drive, "Host: studio-pc.local:PORT\r\n", 200);
    row("operator's name", drive, "Host: panel.studio.lan:PORT\r\n", 200);
    row("operator's name, trailing dot", drive, "Host: ptz-desk.\r\n", 200);
    row("rebinding name", drive, "Host: evil.test:PORT\r\n", 421);
    row("rebinding settings read", "/cam/settings", "Host: evil.test:PORT\r\n", 421);
    row("own name as a prefix", drive, "Host: studio-pc.evil.test\r\n", 421);
    row("address as a prefix", drive, "Host: 127.0.0.1.evil.test\r\n", 421);
    row("short address form", drive, "Host: 127.1\r\n", 421);
    row("ipv6 unbracketed", drive, "Host: ::1\r\n", 421);
    row("bracketed name", drive, "Host: [evil.test]:PORT\r\n", 421);
    row("port not a number", drive, "Host: 127.0.0.1:80x\r\n", 421);
    row("empty host", drive, "Host: \r\n", 421);
    row("two hosts", drive, "Host: 127.0.0.1\r\nHost: evil.test\r\n", 421);
    // What the browser says about where a request comes from.
    row("same-origin fetch", drive, "Host: 127.0.0.1:PORT\r\nSec-Fetch-Site: same-origin\r\n", 200);
    row("typed into the address bar", drive, "Host: 127.0.0.1:PORT\r\nSec-Fetch-Site: none\r\n",
        200);
    row("cross-site picture", drive,
        "Host: 127.0.0.1:PORT\r\nSec-Fetch-Site: cross-site\r\nSec-Fetch-Mode: no-cors\r\n"
        "Sec-Fetch-Dest: image\r\n",
        403);
    row("same-site other port", "/obs/toggleStreaming",
        "Host: 127.0.0.1:PORT\r\nSec-Fetch-Site: same-site\r\n", 403);
    row("origin of another host", drive,
        "Host: 127.0.0.1:PORT\r\nOrigin: http://127.0.0.2:PORT\r\n", 403);
    row("origin of another port", drive, "Host: 127.0.0.1:PORT\r\nOrigin: http://127.0.0.1:1\r\n",
        403);
    row("origin without port against a port", drive,
        "Host: 127.0.0.1:PORT\r\nOrigin: http://127.0.0.1\r\n", 403);
    row("origin null", drive, "Host: 127.0.0.1:PORT\r\nOrigin: null\r\n", 403);
    row("origin without host", drive, "Origin: http://127.0.0.1:PORT\r\n", 403);
    row("own origin", drive, "Host: 127.0.0.1:PORT\r\nOrigin: http://127.0.0.1:PORT\r\n", 200);
    row("own origin, name in capitals", drive,
        "Host: localhost:PORT\r\nOrigin: http://LOCALHOST:PORT\r\n", 200);
    row("link to a page from another site", "/camera",
        "Host: 127.0.0.1:PORT\r\nSec-Fetch-Site: cross-site\r\nSec-Fetch-Mode: navigate\r\n"
        "Sec-Fetch-Dest: document\r\n",
        200);
    row("link that changes the theme", "/camera?theme=light",
        "Host: 127.0.0.1:PORT\r\nSec-Fetch-Site: cross-site\r\nSec-Fetch-Mode: navigate\r\n"
        "Sec-Fetch-Dest: document\r\n",
        403);
    row("link that drives", drive,
        "Host: 127.0.0.1:PORT\r\nSec-Fetch-Site: cross-site\r\nSec-Fetch-Mode: navigate\r\n"
        "Sec-Fetch-Dest: document\r\n",
        403);
    row("page in a foreign frame", "/",
        "Host: 127.0.0.1:PORT\r\nSec-Fetch-Site: cross-site\r\nSec-Fetch-Mode: navigate\r\n"
        "Sec-Fetch-Dest: iframe\r\n",
        403);
}

void TestHttpServerWrapper::guard()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, headers);
    QFETCH(int, status);
    m_web->setLocalHostName("studio-pc");
    m_settings->setServerHostNames({"Panel.Studio.LAN", " ptz-desk "});
    const bool darkBefore = m_settings->useDarkTheme();
    const RawResponse r = send(target, headers);
    QCOMPARE(r.status, status);
    // Every answer forbids foreign frames and sniffing.
    QCOMPARE(r.header("X-Frame-Options"), QByteArray("SAMEORIGIN"));
    QCOMPARE(r.header("Content-Security-Policy"), QByteArray("frame-ancestors 'self'"));
    QCOMPARE(r.header("X-Content-Type-Options"), QByteArray("nosniff"));
    QCOMPARE(emitted(), status == 200 && target.startsWith("/cam/") ? 1 : 0);
    QCOMPARE(m_settings->useDarkTheme(), darkBefore);
}

void TestHttpServerWrapper::accessKey_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("headers");
    QTest::addColumn<int>("status");
    const QByteArray key = "k3y-Abc_123";
    QTest::newRow("bearer") << QByteArray("/cam/connect?camNum=3")
                            << "Authorization: Bearer " + key + "\r\n"
                            << 200;
    QTest::newRow("bearer wrong") << QByteArray("/cam/connect?camNum=3")
                                  << QByteArray("Authorization: Bearer k3y-Abc_12\r\n") << 401;
    QTest::newRow("bearer longer")
        << QByteArray("/cam/connect?camNum=3") << "Authorization: Bearer " + key + "4\r\n"
        << 401;
    QTest::newRow("basic is not bearer")
        << QByteArray("/cam/connect?camNum=3") << "Authorization: Basic " + key + "\r\n"
        << 401;
    QTest::newRow("query first") << "/cam/connect?key=" + key + "&camNum=3" << QByteArray() << 200;
    QTest::newRow("query last") << "/cam/connect?camNum=3&key=" + key << QByteArray() << 200;
    QTest::newRow("query wrong") << QByteArray("/cam/connect?camNum=3&key=nope") << QByteArray()
                                 << 401;
    QTest::newRow("query empty") << QByteArray("/cam/connect?camNum=3&key=") << QByteArray() << 401;
    QTest::newRow("cookie") << QByteArray("/cam/connect?camNum=3")
                            << "Cookie: a=1; corvanta_key=" + key + "; b=2\r\n"
                            << 200;
    QTest::newRow("cookie wrong") << QByteArray("/cam/connect?camNum=3")
                                  << QByteArray("Cookie: corvanta_key=" + key.toUpper() + "\r\n")
                                  << 401;
    QTest::newRow("missing") << QByteArray("/cam/connect?camNum=3") << QByteArray() << 401;
    QTest::newRow("missing on a page") << QByteArray("/") << QByteArray() << 401;
    QTest::newRow("missing on a file")
        << QByteArray("/assets?_type=js&_name=script.js") << QByteArray() << 401;
    QTest::newRow("page with the key in the query") << "/camera?key=" + key << QByteArray() << 200;
    QTest::newRow("page with key and theme")
        << "/camera?key=" + key + "&theme=dark" << QByteArray() << 200;
}

void TestHttpServerWrapper::accessKey()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, headers);
    QFETCH(int, status);
    const QString key = "k3y-Abc_123";
    m_settings->setAccessKey(key);
    m_settings->setRequireAccessKey(true);
    QStringList logged;
    static QStringList *sink = nullptr;
    sink = &logged;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &msg) { *sink << msg; });
    const RawResponse r = send(target, "Host: 127.0.0.1\r\n" + headers);
    qInstallMessageHandler(previous);

    QCOMPARE(r.status, status);
    if (status == 401) {
        QVERIFY(r.body.contains("<a href=\"/login\">"));
        QCOMPARE(emitted(), 0);
    } else if (target.startsWith("/cam/")) {
        // The key is taken out of the query; the route reads the rest.
        QCOMPARE(emitted(), 1);
        QCOMPARE(m_spies
                     .at(m_web->metaObject()->indexOfSignal(
                             "connectCam(qhttp::server::QHttpResponse*,int)") -
                         m_web->metaObject()->methodOffset())
                     ->at(0)
                     .at(1)
                     .toInt(),
                 3);
    } else {
        QCOMPARE(r.header("Content-Type"), QByteArray("text/html"));
        QVERIFY(r.header("Set-Cookie").startsWith("corvanta_key=" + key.toUtf8() + ";"));
    }
    for (const QString &line : logged) {
        QVERIFY2(!line.contains("k3y") && !line.contains("nope") && !line.contains("K3Y"),
                 qPrintable(line));
    }
}

void TestHttpServerWrapper::loginSetsTheCookie()
{
    m_settings->setAccessKey("s3cret");
    // Off: the key is neither asked for nor taken out of a query.
    RawResponse r = get("/cam/connect?key=x&camNum=2");
    QCOMPARE(r.status, 200);
    QCOMPARE(get("/login").status, 303);

    m_settings->setRequireAccessKey(true);
    r = get("/login");
    QCOMPARE(r.status, 200);
    QVERIFY(r.body.contains("<form method=\"get\" action=\"/login\">"));
    QVERIFY(r.body.contains("name=\"key\""));
    r = get("/login?key=wrong");
    QCOMPARE(r.status, 401);
    QVERIFY(r.body.contains("name=\"key\""));
    QVERIFY(!r.hasHeader("Set-Cookie"));

    r = get("/login?key=s3cret");
    QCOMPARE(r.status, 303);
    QCOMPARE(r.header("Location"), QByteArray("/"));
    const QByteArray cookie = r.header("Set-Cookie");
    QVERIFY(cookie.startsWith("corvanta_key=s3cret;"));
    QVERIFY(cookie.contains("; HttpOnly"));
    QVERIFY(cookie.contains("; SameSite=Strict"));
    QVERIFY(cookie.contains("; Path=/"));
    QCOMPARE(
        send("/", "Host: 127.0.0.1\r\nCookie: " + cookie.left(cookie.indexOf(';')) + "\r\n").status,
        200);

    // Required without a stored key: nothing gets in, not even an empty key.
    m_settings->setAccessKey(QString());
    QCOMPARE(get("/cam/checkImg?key=").status, 401);
    QCOMPARE(send("/cam/checkImg", "Cookie: corvanta_key=\r\n").status, 401);
}

void TestHttpServerWrapper::conditionalRequests_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("cacheControl");
    QTest::newRow("page") << QByteArray("/camera") << QByteArray("no-cache");
    QTest::newRow("script") << QByteArray("/assets?_type=js&_name=script.js&_time=1")
                            << QByteArray("no-cache");
    QTest::newRow("versioned library") << QByteArray("/assets?_type=js&_name=jquery-3.5.1.min.js")
                                       << QByteArray("max-age=31536000, immutable");
    QTest::newRow("versioned style sheet")
        << QByteArray("/assets?_type=css&_name=bootstrap-4.5.2.min.css")
        << QByteArray("max-age=31536000, immutable");
    QTest::newRow("font") << QByteArray("/assets?_type=img&_name=fontawesome-webfont.woff2")
                          << QByteArray("no-cache");
    QTest::newRow("font with its version")
        << QByteArray("/assets?_type=img&_name=fontawesome-webfont.woff2&v=4.7.0")
        << QByteArray("max-age=31536000, immutable");
    QTest::newRow("preset with a version is still revalidated")
        << QByteArray("/assets?_type=preset&_name=127.0.0.91.jpg&v=1.2.3")
        << QByteArray("no-cache");
    QTest::newRow("preset on disk")
        << QByteArray("/assets?_type=preset&_name=127.0.0.91.jpg") << QByteArray("no-cache");
}

void TestHttpServerWrapper::conditionalRequests()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, cacheControl);
    QFile snapshot(Storage::snapshotPath(QStringLiteral("127.0.0.9"), 1));
    QVERIFY(snapshot.open(QIODevice::WriteOnly));
    snapshot.write("\xff\xd8"
                   "first\xff\xd9");
    snapshot.close();

    const RawResponse full = get(target);
    QCOMPARE(full.status, 200);
    const QByteArray tag = full.header("ETag");
    const QByteArray modified = full.header("Last-Modified");
    QVERIFY(tag.startsWith('"') && tag.endsWith('"') && tag.size() > 2); // strong
    QVERIFY(QLocale::c()
                .toDateTime(QString::fromLatin1(modified), "ddd, dd MMM yyyy hh:mm:ss 'GMT'")
                .isValid());
    QCOMPARE(full.header("Cache-Control"), cacheControl);

    auto conditional = [&](const QByteArray &line) {
        return send(target, "Host: 127.0.0.1\r\n" + line + "\r\n");
    };
    RawResponse r = conditional("If-None-Match: \"x\", " + tag);
    QCOMPARE(r.status, 304);
    QVERIFY(r.raw.endsWith("\r\n\r\n"));
    QVERIFY(!r.hasHeader("Content-Length"));
    QCOMPARE(r.header("ETag"), tag);
    QCOMPARE(r.header("Cache-Control"), cacheControl);
    QCOMPARE(conditional("If-None-Match: W/" + tag).status, 304);
    QCOMPARE(conditional("If-None-Match: \"other\"").body, full.body);
    QCOMPARE(conditional("If-Modified-Since: " + modified).status, 304);
    QCOMPARE(conditional("If-Modified-Since: Sat, 01 Jan 2000 00:00:00 GMT").body, full.body);
    // If-None-Match decides when both are sent.
    QCOMPARE(conditional("If-None-Match: \"other\"\r\nIf-Modified-Since: " + modified).status, 200);
    QCOMPARE(conditional("If-Modified-Since: garbage").status, 200);

    if (target.contains("preset")) {
        // A new snapshot under the same name is a new entity.
        QVERIFY(snapshot.open(QIODevice::WriteOnly));
        snapshot.write("\xff\xd8second, longer\xff\xd9");
        snapshot.close();
        r = conditional("If-None-Match: " + tag);
        QCOMPARE(r.status, 200);
        QCOMPARE(r.body, QByteArray("\xff\xd8second, longer\xff\xd9"));
    }
}

QTEST_GUILESS_MAIN(TestHttpServerWrapper)
#include "tst_httpserverwrapper.moc"
