#include "httpserverwrapper.h"

#include "appsettings.h"
#include "storagepaths.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QHostInfo>
#include <QJsonValue>
#include <QLocale>
#include <QPointer>
#include <QRegularExpression>
#include <QStringList>

#include <cctype>
#include <functional>
#include <vector>

using qhttp::server::QHttpRequest;
using qhttp::server::QHttpResponse;

const QByteArray HttpServerWrapper::kParamMismatchBody = QByteArrayLiteral("Param mismatch");
const QByteArray HttpServerWrapper::kNotFoundBody = QByteArrayLiteral("Page Not Found!");
const QByteArray HttpServerWrapper::kKeyCookie = QByteArrayLiteral("corvanta_key");
const QByteArray HttpServerWrapper::kWrongMethodBody =
    QByteArrayLiteral("Only 'Get' Method Allowed.");

namespace {

enum class Kind
{
    Page,
    Asset,
    Api
};

using Emitter = std::function<void(HttpServerWrapper *, QHttpResponse *, const QJsonObject &)>;

struct Route
{
    Kind kind;
    QString pageSuffix;
    QStringList required;
    Emitter emitter;
};

QString str(const QJsonObject &q, const char *key)
{
    return q.value(QLatin1String(key)).toString();
}

// Base-10 conversion of the whole text; 0 when it is not a number.
int toInt(const QJsonObject &q, const char *key)
{
    return str(q, key).toInt(nullptr, 10);
}

// A number that picks a preset, camera, motion or transition: text that is
// not a number picks none (-1, outside every range) instead of the first (0).
int toSelector(const QJsonObject &q, const char *key)
{
    bool ok = false;
    const int value = str(q, key).toInt(&ok, 10);
    return ok ? value : -1;
}

// Text that is not a number gives NaN (not 0, which is full volume in dB);
// the routes turn every non-finite volume into the peer's minimum.
double toDouble(const QJsonObject &q, const char *key)
{
    bool ok = false;
    const double value = str(q, key).toDouble(&ok);
    return ok ? value : qQNaN();
}

using W = HttpServerWrapper;

const QHash<QString, Route> &routes()
{
    static const QHash<QString, Route> table = [] {
        QHash<QString, Route> t;
        auto page = [&t](const char *path, const char *suffix) {
            t.insert(QLatin1String(path), Route{Kind::Page, QLatin1String(suffix), {}, nullptr});
        };
        auto api = [&t](const char *path, QStringList required, Emitter e) {
            t.insert(QLatin1String(path), Route{Kind::Api, QString(), required, std::move(e)});
        };
        // A route without parameters.
        auto api0 = [&api](const char *path, void (W::*signal)(QHttpResponse *)) {
            api(path, {},
                [signal](W *w, QHttpResponse *r, const QJsonObject &) { emit(w->*signal)(r); });
        };
        page("/", "-both.html");
        page("/camera", "-camera.html");
        page("/switcher", "-switcher.html");
        t.insert(QStringLiteral("/assets"),
                 Route{Kind::Asset, QString(), {"_type", "_name"}, nullptr});

        api0("/vmix/settings", &W::getVMixSettings);
        api0("/vmix/status", &W::getVMixStatus);
        api("/vmix/saveReconnect", {"vmixIp", "vmixId", "vmixPwd", "vmixPort"},
            [](W *w, QHttpResponse *r, const QJsonObject &q) {
                emit w->vmixSaveReconnect(r, str(q, "vmixIp"), toInt(q, "vmixPort"),
                                          str(q, "vmixId"), str(q, "vmixPwd"));
            });
        api("/vmix/sourceVolume", {"sourceName", "volume"},
            [](W *w, QHttpResponse *r, const QJsonObject &q) {
                emit w->setVMixSourceVolume(r, str(q, "sourceName"), toDouble(q, "volume"));
            });
        api("/vmix/sourceMuted", {"sourceName"}, [](W *w, QHttpResponse *r, const QJsonObject &q) {
            emit w->setVMixSourceMuted(r, str(q, "sourceName"));
        });
        api("/vmix/masterVolume", {"volume"}, [](W *w, QHttpResponse *r, const QJsonObject &q) {
            emit w->setVMixMasterVolume(r, toDouble(q, "volume"));
        });
        api0("/vmix/masterMuted", &W::setVMixMasterMuted);
        api0("/vmix/toggleStreaming", &W::vmixToggleStreaming);
        api0("/vmix/toggleRecording", &W::vmixToggleRecording);
        api0("/vmix/togglePlayList", &W::vmixTogglePlayList);
        api("/vmix/transition", {"transition"}, [](W *w, QHttpResponse *r, const QJsonObject &q) {
            emit w->vmixApplyTransition(r, toSelector(q, "transition"));
        });
        api("/vmix/setPreview", {"sourceName"}, [](W *w, QHttpResponse *r, const QJsonObject &q) {
            emit w->vmixSetPreview(r, str(q, "sourceName"));
        });
        api0("/obs/status", &W::getObsStatus);
        api0("/obs/settings", &W::getObsSettings);
        api("/obs/sourceVolume", {"sourceName", "volume"},
            [](W *w, QHttpResponse *r, const QJsonObject &q) {
                emit w->setObsSourceVolume(r, str(q, "sourceName"), toDouble(q, "volume"));
            });
        api("/obs/sourceMuted", {"sourceName"}, [](W *w, QHttpResponse *r, const QJsonObject &q) {
            emit w->setObsSourceMuted(r, str(q, "sourceName"));
        });
        api0("/obs/toggleStreaming", &W::obsToggleStreaming);
        api0("/obs/toggleRecording", &W::obsToggleRecording);
        api("/obs/transition", {"transition"}, [](W *w, QHttpResponse *r, const QJsonObject &q) {
            emit w->obsSetTransition(r, str(q, "transition"));
        });
        api("/obs/saveReconnect", {"obsIp", "obsPort", "obsPwd"},
            [](W *w, QHttpResponse *r, const QJsonObject &q) {
                emit w->obsSaveReconnect(r, str(q, "obsIp"), toInt(q, "obsPort"), str(q, "obsPwd"));
            });
        api0("/cam/settings", &W::getCameraSettings);
        api("/cam/saveSettings", {"camList"}, [](W *w, QHttpResponse *r, const QJsonObject &q) {
            emit w->saveCameraSettings(r, str(q, "camList"));
        });
        api("/cam/setPreset", {"presetNum", "presetName"},
            [](W *w, QHttpResponse *r, const QJsonObject &q) {
                emit w->setPreset(r, str(q, "presetName"), toSelector(q, "presetNum"), false);
            });
        api0("/cam/checkImg", &W::checkImageDownloaded);
        api("/cam/recallPreset", {"presetNum", "callSpeed"},
            [](W *w, QHttpResponse *r, const QJsonObject &q) {
                emit w->recallPreset(r, toSelector(q, "presetNum"), toInt(q, "callSpeed"));
            });
        api("/cam/connect", {"camNum"}, [](W *w, QHttpResponse *r, const QJsonObject &q) {
            emit w->connectCam(r, toSelector(q, "camNum"));
        });
        api("/cam/control", {"controlMethod", "panSpeed", "tiltSpeed", "zoomSpeed", "focusSpeed"},
            [](W *w, QHttpResponse *r, const QJsonObject &q) {
                emit w->controlCam(r, toSelector(q, "controlMethod"), toInt(q, "panSpeed"),
                                   toInt(q, "tiltSpeed"), toInt(q, "zoomSpeed"),
                                   toInt(q, "focusSpeed"));
            });
        api("/cam/stopControl", {"controlMethod"},
            [](W *w, QHttpResponse *r, const QJsonObject &q) {
                emit w->stopControl(r, toInt(q, "controlMethod"));
            });
        api("/cam/focusAuto", {"focusAuto"}, [](W *w, QHttpResponse *r, const QJsonObject &q) {
            emit w->focusAuto(r, str(q, "focusAuto") == QLatin1String("true"));
        });
        api0("/cam/getCurrentCamInfo", &W::getCurrentCamInfo);
        api0("/cam/tally", &W::getTally);
        return t;
    }();
    return table;
}

bool hasAll(const QJsonObject &q, const QStringList &keys)
{
    for (const QString &k : keys) {
        if (!q.contains(k))
            return false;
    }
    return true;
}

// Form decoding of one query piece: "+" is a space, then percent escapes.
QString formDecode(const QString &piece)
{
    QByteArray bytes = piece.toUtf8();
    bytes.replace('+', ' ');
    return QUrl::fromPercentEncoding(bytes);
}

// A file name from the network names one entry of its folder and nothing else.
bool isPlainFileName(const QString &name)
{
    return !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           !name.contains(QLatin1String("..")) && !name.contains(QChar(0));
}

} // namespace

HttpServerWrapper::HttpServerWrapper(AppSettings *settings, QObject *parent)
    : QObject(parent), m_settings(settings), m_server(new qhttp::server::QHttpServer(this)),
      m_localHostName(QHostInfo::localHostName().toLower())
{
    // Resources change only with the program file.
    const QFileInfo program(QCoreApplication::applicationFilePath());
    m_resourceTime =
        program.exists() ? program.lastModified().toUTC() : QDateTime::currentDateTimeUtc();
    connect(m_server, &qhttp::server::QHttpServer::newRequest, this,
            &HttpServerWrapper::handleRequest);
}

HttpServerWrapper::~HttpServerWrapper()
{
    delete m_server;
}

bool HttpServerWrapper::startServer(QString nicAddress, quint16 port)
{
    if (m_server->isListening())
        return false;
    return m_server->listen(QHostAddress(nicAddress), port, nullptr);
}

void HttpServerWrapper::stopServer()
{
    if (m_server->isListening())
        m_server->stopListening();
}

QJsonObject HttpServerWrapper::parseQuery(const QString &query)
{
    QJsonObject obj;
    const QStringList parts = query.split(QLatin1Char('&'), Qt::KeepEmptyParts);
    for (const QString &part : parts) {
        const QStringList kv = part.split(QLatin1Char('='), Qt::KeepEmptyParts);
        if (kv.size() != 2) {
            obj.insert(QStringLiteral("status"), QStringLiteral("FAILED"));
            obj.insert(QStringLiteral("msg"), QStringLiteral("The url is not correct"));
            break;
        }
        obj.insert(formDecode(kv.at(0)), formDecode(kv.at(1)));
    }
    return obj;
}

namespace {

const QStringList &pagePaths()
{
    static const QStringList paths{"/", "/camera", "/switcher", "/login"};
    return paths;
}

// Host and port of a Host header or an origin; host lower case without
// brackets or one trailing dot, port -1 when absent.
struct HostPort
{
    QString host;
    int port = -1;
    bool ok = false;
};

HostPort splitHostPort(const QByteArray &value)
{
    HostPort hp;
    const QByteArray v = value.trimmed();
    QByteArray host;
    QByteArray port;
    if (v.startsWith('[')) {
        const int close = v.indexOf(']');
        if (close < 0)
            return hp;
        host = v.mid(1, close - 1);
        const QByteArray rest = v.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(':'))
                return hp;
            port = rest.mid(1);
        }
        if (QHostAddress(QString::fromLatin1(host)).protocol() != QAbstractSocket::IPv6Protocol)
            return hp;
    } else {
        const int colon = v.indexOf(':');
        if (colon >= 0 && v.indexOf(':', colon + 1) >= 0)
            return hp; // IPv6 without brackets
        host = colon >= 0 ? v.left(colon) : v;
        if (colon >= 0)
            port = v.mid(colon + 1);
    }
    if (!port.isNull()) {
        bool isNum = false;
        const int n = port.toInt(&isNum, 10);
        if (!isNum || port.size() > 5 || n < 0 || n > 65535 || port.startsWith('+') ||
            port.startsWith('-'))
            return hp;
        hp.port = n;
    }
    if (host.endsWith('.'))
        host.chop(1);
    if (host.isEmpty())
        return hp;
    hp.host = QString::fromLatin1(host).toLower();
    hp.ok = true;
    return hp;
}

bool isIpv4Literal(const QString &host)
{
    const QStringList parts = host.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (const QString &p : parts) {
        bool ok = false;
        if (p.isEmpty() || p.size() > 3 || p.toInt(&ok, 10) > 255 || !ok || p.startsWith('+'))
            return false;
        for (QChar c : p) {
            if (!c.isDigit())
                return false;
        }
    }
    return true;
}

// SHA-256 of both sides compared in full: the time taken does not depend on
// where (or whether) the texts differ.
bool sameKey(const QByteArray &given, const QByteArray &key)
{
    const QByteArray a = QCryptographicHash::hash(given, QCryptographicHash::Sha256);
    const QByteArray b = QCryptographicHash::hash(key, QCryptographicHash::Sha256);
    unsigned char diff = 0;
    for (int i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a.at(i) ^ b.at(i));
    return diff == 0 && !key.isEmpty();
}

QByteArray httpDate(const QDateTime &t)
{
    return QLocale::c()
        .toString(t.toUTC(), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"))
        .toLatin1();
}

QDateTime parseHttpDate(const QByteArray &text)
{
    QDateTime t = QLocale::c().toDateTime(QString::fromLatin1(text.trimmed()),
                                          QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"));
    t.setTimeSpec(Qt::UTC);
    return t;
}

// A library file whose name carries its version ("jquery-3.5.1.min.js"):
// its content never changes under that name.
bool isVersionedName(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("-\\d+\\.\\d+\\.\\d+[.-]"));
    return re.match(name).hasMatch();
}

const char kLoginPage[] =
    "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Corvanta</title>"
    "<meta name=\"viewport\" content=\"width=device-width\"></head>\n"
    "<body style=\"font-family:sans-serif;background:#333;color:#fff;padding:2em\">\n"
    "<h1>Corvanta</h1>\n%1"
    "<form method=\"get\" action=\"/login\">\n"
    "<label>Access key <input type=\"password\" name=\"key\" autofocus "
    "autocomplete=\"current-password\"></label>\n"
    "<button type=\"submit\">Sign in</button>\n</form>\n</body></html>\n";

} // namespace

void HttpServerWrapper::setLocalHostName(const QString &name)
{
    m_localHostName = name.toLower();
}

bool HttpServerWrapper::hostAllowed(const QByteArray &hostHeader) const
{
    const HostPort hp = splitHostPort(hostHeader);
    if (!hp.ok)
        return false;
    if (hostHeader.trimmed().startsWith('['))
        return true; // checked as an IPv6 literal
    if (isIpv4Literal(hp.host) || hp.host == QLatin1String("localhost"))
        return true;
    if (!m_localHostName.isEmpty()) {
        const QString shortName = m_localHostName.section(QLatin1Char('.'), 0, 0);
        for (const QString &own : {m_localHostName, shortName}) {
            if (hp.host == own || hp.host == own + QLatin1String(".local"))
                return true;
        }
    }
    for (QString name : m_settings->serverHostNames()) {
        name = name.toLower();
        if (name.endsWith(QLatin1Char('.')))
            name.chop(1);
        if (hp.host == name)
            return true;
    }
    return false;
}

bool HttpServerWrapper::keyAccepted(QHttpRequest *req, QString *query, bool *viaQuery) const
{
    const QByteArray key = m_settings->accessKey().toUtf8();
    bool ok = false;
    *viaQuery = false;

    const QByteArray auth = req->header("authorization").trimmed();
    if (auth.size() > 7 && auth.left(7).toLower() == "bearer ")
        ok |= sameKey(auth.mid(7).trimmed(), key);

    if (!query->isEmpty()) {
        QStringList kept;
        for (const QString &part : query->split(QLatin1Char('&'), Qt::KeepEmptyParts)) {
            const int eq = part.indexOf(QLatin1Char('='));
            if (formDecode(eq < 0 ? part : part.left(eq)) == QLatin1String("key")) {
                *viaQuery = true;
                ok |= eq >= 0 && sameKey(formDecode(part.mid(eq + 1)).toUtf8(), key);
                continue;
            }
            kept << part;
        }
        *query = kept.join(QLatin1Char('&'));
    }

    for (const QByteArray &cookie : req->header("cookie").split(';')) {
        const int eq = cookie.indexOf('=');
        if (eq > 0 && cookie.left(eq).trimmed() == kKeyCookie)
            ok |= sameKey(cookie.mid(eq + 1).trimmed(), key);
    }
    return ok;
}

void HttpServerWrapper::handleRequest(QHttpRequest *req, QHttpResponse *resp)
{
    const QUrl &url = req->url();
    const QString path = url.path(QUrl::FullyDecoded);
    // Encoded form: the split at "&" and "=" sees only the literal delimiters
    // and parseQuery decodes each piece once.
    QString query = url.query(QUrl::FullyEncoded);

    addCommonHeaders(resp);

    // DNS rebinding: a browser sends the name it resolved. No Host at all is
    // no browser (HTTP/1.0 scripts).
    const int hostCount = req->headerCount("host");
    if (hostCount > 1 || (hostCount == 1 && !hostAllowed(req->header("host")))) {
        qCInfo(lcWeb) << "refused request for an unknown host name" << req->header("host").left(64);
        replyRefused(resp, qhttp::ESTATUS_MISDIRECTED_REQUEST,
                     "This server does not answer to that host name.");
        return;
    }

    // Cross-site requests: the browser says where the request comes from.
    const QByteArray fetchSite = req->header("sec-fetch-site").trimmed().toLower();
    const QByteArray origin = req->header("origin").trimmed();
    bool foreign = fetchSite == "cross-site" || fetchSite == "same-site";
    if (foreign && req->method() == qhttp::EHTTP_GET && query.isEmpty() &&
        pagePaths().contains(path) &&
        req->header("sec-fetch-mode").trimmed().toLower() == "navigate" &&
        req->header("sec-fetch-dest").trimmed().toLower() == "document")
        foreign = false; // a link to a page from elsewhere opens it
    if (!origin.isNull()) {
        const QUrl o = QUrl::fromEncoded(origin, QUrl::StrictMode);
        const HostPort own = splitHostPort(req->header("host"));
        const int defaultPort = o.scheme() == QLatin1String("https") ? 443 : 80;
        const bool same =
            hostCount == 1 && own.ok && o.isValid() &&
            (o.scheme() == QLatin1String("http") || o.scheme() == QLatin1String("https")) &&
            o.host().toLower() == own.host &&
            o.port(defaultPort) == (own.port < 0 ? 80 : own.port) && o.path().isEmpty();
        foreign = foreign || !same;
    }
    if (foreign) {
        qCInfo(lcWeb) << "refused cross-site request for" << path;
        replyRefused(resp, qhttp::ESTATUS_FORBIDDEN, "Cross-site requests are refused.");
        return;
    }

    if (req->method() != qhttp::EHTTP_GET) {
        replyWrongMethod(resp);
        return;
    }

    bool keyOk = true;
    bool keyViaQuery = false;
    if (m_settings->requireAccessKey())
        keyOk = keyAccepted(req, &query, &keyViaQuery);
    if (path == QLatin1String("/login")) {
        serveLogin(resp, keyOk, keyViaQuery);
        return;
    }
    if (!keyOk) {
        qCInfo(lcWeb) << "refused request without the access key for" << path;
        replyKeyMissing(resp);
        return;
    }

    const auto &table = routes();
    const auto it = table.constFind(path);
    if (it == table.constEnd()) {
        replyNotFound(resp);
        return;
    }
    const Route &route = it.value();
    if (route.kind == Kind::Page) {
        if (keyViaQuery)
            addKeyCookie(resp);
        servePage(req, resp, query, route.pageSuffix);
        return;
    }
    QJsonObject params;
    if (!route.required.isEmpty()) {
        params = parseQuery(query);
        if (!hasAll(params, route.required)) {
            replyParamMismatch(resp);
            return;
        }
    }
    if (route.kind == Kind::Asset) {
        serveAsset(req, resp, params);
        return;
    }
    QPointer<QHttpResponse> guard(resp);
    route.emitter(this, resp, params);
    if (guard && !resp->isEnded()) {
        qCWarning(lcWeb) << "no handler completed the response for" << path << "- answering 500";
        resp->reset();
        addCommonHeaders(resp);
        resp->setStatusCode(qhttp::ESTATUS_INTERNAL_SERVER_ERROR);
        resp->end();
    }
}

void HttpServerWrapper::serveLogin(QHttpResponse *resp, bool keyOk, bool keyTried)
{
    if (keyOk) {
        if (m_settings->requireAccessKey())
            addKeyCookie(resp);
        resp->addHeader("Location", "/");
        resp->setStatusCode(qhttp::ESTATUS_SEE_OTHER);
        resp->end();
        return;
    }
    resp->addHeader("Content-Type", "text/html; charset=utf-8");
    resp->addHeader("Cache-Control", "no-store");
    if (keyTried)
        resp->setStatusCode(qhttp::ESTATUS_UNAUTHORIZED);
    resp->end(QString::fromLatin1(kLoginPage)
                  .arg(keyTried ? QStringLiteral("<p>That key is not right.</p>\n")
                                : QStringLiteral("<p>This panel asks for its access key.</p>\n"))
                  .toUtf8());
}

void HttpServerWrapper::addKeyCookie(QHttpResponse *resp) const
{
    // The key is generated from URL-safe characters; anything else is left
    // out of the cookie rather than breaking the header.
    QByteArray value;
    for (char c : m_settings->accessKey().toUtf8()) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.' ||
            c == '~')
            value += c;
    }
    resp->addHeader("Set-Cookie", kKeyCookie + '=' + value +
                                      "; Path=/; Max-Age=31536000; HttpOnly; SameSite=Strict");
}

void HttpServerWrapper::servePage(QHttpRequest *req, QHttpResponse *resp, const QString &query,
                                  const QString &suffix)
{
    bool dark = m_settings->useDarkTheme();
    if (!query.isEmpty()) {
        const QString theme = parseQuery(query).value(QLatin1String("theme")).toString();
        if (theme != QLatin1String("dark") && theme != QLatin1String("light")) {
            replyNotFound(resp);
            return;
        }
        dark = theme == QLatin1String("dark");
        m_settings->setUseDarkTheme(dark);
    }
    const QString theme = dark ? QStringLiteral("dark") : QStringLiteral("light");
    serveFile(req, resp, "text/html",
              QStringLiteral(":/corvanta-assets/html/%1/%1").arg(theme) + suffix, false);
}

void HttpServerWrapper::serveAsset(QHttpRequest *req, QHttpResponse *resp, const QJsonObject &query)
{
    const QString type = query.value(QLatin1String("_type")).toString();
    const QString name = query.value(QLatin1String("_name")).toString();

    QByteArray contentType;
    QString file;
    bool useDefault = false;
    if (type == QLatin1String("img")) {
        contentType = "image/apng";
        file = QStringLiteral(":/corvanta-assets/html/assets/") + name;
    } else if (type == QLatin1String("preset")) {
        contentType = "image/apng";
        file = Storage::downloadsFolder() + QStringLiteral("/snapshot_") + name;
        useDefault = true;
    } else if (type == QLatin1String("js")) {
        contentType = "text/javascript";
        file = QStringLiteral(":/corvanta-assets/html/js/") + name;
    } else if (type == QLatin1String("css")) {
        contentType = "text/css";
        file = QStringLiteral(":/corvanta-assets/html/css/") + name;
    } else {
        replyParamMismatch(resp);
        return;
    }
    if (!isPlainFileName(name)) {
        qCInfo(lcWeb) << "refused asset name" << name;
        replyNotFound(resp);
        return;
    }
    // A versioned library never changes under its name (or its "v"
    // parameter): a year of freshness. Everything else is revalidated.
    static const QRegularExpression version(QStringLiteral("^\\d+\\.\\d+\\.\\d+$"));
    const bool versioned = isVersionedName(name) ||
                           version.match(query.value(QLatin1String("v")).toString()).hasMatch();
    const QByteArray cacheControl = !useDefault && versioned
                                        ? QByteArray("max-age=31536000, immutable")
                                        : QByteArray("no-cache");
    serveFile(req, resp, contentType, file, useDefault, cacheControl);
}

QByteArray HttpServerWrapper::entityTag(const QString &path, QDateTime *lastModified)
{
    if (path.startsWith(QLatin1Char(':'))) {
        *lastModified = m_resourceTime;
        const auto it = m_resourceTags.constFind(path);
        if (it != m_resourceTags.constEnd())
            return it.value();
        QFile f(path);
        if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly))
            return QByteArray();
        const QByteArray tag =
            '"' +
            QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex().left(32) +
            '"';
        m_resourceTags.insert(path, tag);
        return tag;
    }
    const QFileInfo info(path);
    if (!info.isFile())
        return QByteArray();
    *lastModified = info.lastModified().toUTC();
    return '"' + QByteArray::number(info.size(), 16) + '-' +
           QByteArray::number(info.lastModified().toMSecsSinceEpoch(), 16) + '"';
}

void HttpServerWrapper::serveFile(QHttpRequest *req, QHttpResponse *resp,
                                  const QByteArray &contentType, QString path, bool useDefaultImage,
                                  const QByteArray &cacheControl)
{
    if (useDefaultImage && !QFile::exists(path)) {
        path = m_settings->useDarkTheme()
                   ? QStringLiteral(":/corvanta-assets/html/assets/default.png")
                   : QStringLiteral(":/corvanta-assets/html/assets/default-light.png");
    }
    QDateTime modified;
    const QByteArray tag = entityTag(path, &modified);
    if (!tag.isEmpty()) {
        const QByteArray lastModified = httpDate(modified);
        bool unchanged = false;
        const QByteArray inm = req->header("if-none-match");
        if (!inm.isNull()) {
            // Weak comparison, as for every If-None-Match.
            for (QByteArray candidate : inm.split(',')) {
                candidate = candidate.trimmed();
                if (candidate.startsWith("W/"))
                    candidate = candidate.mid(2);
                unchanged = unchanged || candidate == tag || candidate == "*";
            }
        } else {
            const QDateTime since = parseHttpDate(req->header("if-modified-since"));
            unchanged = since.isValid() && modified.toSecsSinceEpoch() <= since.toSecsSinceEpoch();
        }
        resp->addHeader("ETag", tag);
        resp->addHeader("Last-Modified", lastModified);
        resp->addHeader("Cache-Control", cacheControl);
        if (unchanged) {
            resp->setStatusCode(qhttp::ESTATUS_NOT_MODIFIED);
            resp->end();
            return;
        }
    }
    resp->addHeader("Content-Type", contentType);
    // Streamed from the file (or sent from the resource's own memory); a
    // folder or an unreadable file answers 404 with an empty body.
    if (resp->endWithFile(path))
        return;
    resp->reset();
    addCommonHeaders(resp);
    resp->addHeader("Content-Type", contentType);
    resp->setStatusCode(qhttp::ESTATUS_NOT_FOUND);
    resp->end();
}

void HttpServerWrapper::addCommonHeaders(QHttpResponse *resp)
{
    resp->addHeader("X-Frame-Options", "SAMEORIGIN");
    resp->addHeader("Content-Security-Policy", "frame-ancestors 'self'");
    resp->addHeader("X-Content-Type-Options", "nosniff");
}

void HttpServerWrapper::replyRefused(QHttpResponse *resp, qhttp::TStatusCode status,
                                     const QByteArray &body)
{
    resp->addHeader("Content-Type", "text/plain; charset=utf-8");
    resp->setStatusCode(status);
    resp->end(body);
}

void HttpServerWrapper::replyKeyMissing(QHttpResponse *resp)
{
    resp->addHeader("Content-Type", "text/html; charset=utf-8");
    resp->addHeader("WWW-Authenticate", "Bearer realm=\"Corvanta\"");
    resp->addHeader("Cache-Control", "no-store");
    resp->setStatusCode(qhttp::ESTATUS_UNAUTHORIZED);
    resp->end("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Corvanta</title></head>"
              "<body><h1>Access key required</h1>\n<p>This panel asks for its access key. "
              "<a href=\"/login\">Sign in</a></p></body></html>\n");
}

void HttpServerWrapper::replyParamMismatch(QHttpResponse *resp)
{
    resp->addHeader("Content-Type", "application/json");
    resp->setStatusCode(qhttp::ESTATUS_BAD_REQUEST);
    resp->end(kParamMismatchBody);
}

void HttpServerWrapper::replyNotFound(QHttpResponse *resp)
{
    resp->addHeader("Content-Type", "application/json");
    resp->setStatusCode(qhttp::ESTATUS_NOT_FOUND);
    resp->end(kNotFoundBody);
}

void HttpServerWrapper::replyWrongMethod(QHttpResponse *resp)
{
    resp->setStatusCode(qhttp::ESTATUS_BAD_REQUEST);
    resp->end(kWrongMethodBody);
}
