#include "httpserverwrapper.h"

#include "appsettings.h"
#include "storagepaths.h"

#include <QFile>
#include <QHash>
#include <QJsonValue>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <vector>

using qhttp::server::QHttpRequest;
using qhttp::server::QHttpResponse;

const QByteArray HttpServerWrapper::kParamMismatchBody = QByteArrayLiteral("Param mismatch");
const QByteArray HttpServerWrapper::kNotFoundBody = QByteArrayLiteral("Page Not Found!");
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
    : QObject(parent), m_settings(settings), m_server(new qhttp::server::QHttpServer(this))
{
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

void HttpServerWrapper::handleRequest(QHttpRequest *req, QHttpResponse *resp)
{
    const QUrl &url = req->url();
    const QString path = url.path(QUrl::FullyDecoded);
    // Encoded form: the split at "&" and "=" sees only the literal delimiters
    // and parseQuery decodes each piece once.
    const QString query = url.query(QUrl::FullyEncoded);

    if (req->method() != qhttp::EHTTP_GET) {
        replyWrongMethod(resp);
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
        servePage(resp, query, route.pageSuffix);
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
        serveAsset(resp, params);
        return;
    }
    QPointer<QHttpResponse> guard(resp);
    route.emitter(this, resp, params);
    if (guard && !resp->isEnded()) {
        qCWarning(lcWeb) << "no handler completed the response for" << path << "- answering 500";
        resp->reset();
        resp->setStatusCode(qhttp::ESTATUS_INTERNAL_SERVER_ERROR);
        resp->end();
    }
}

void HttpServerWrapper::servePage(QHttpResponse *resp, const QString &query, const QString &suffix)
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
    serveFile(resp, "text/html", QStringLiteral(":/corvanta-assets/html/%1/%1").arg(theme) + suffix,
              false);
}

void HttpServerWrapper::serveAsset(QHttpResponse *resp, const QJsonObject &query)
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
    serveFile(resp, contentType, file, useDefault);
}

void HttpServerWrapper::serveFile(QHttpResponse *resp, const QByteArray &contentType, QString path,
                                  bool useDefaultImage)
{
    if (useDefaultImage && !QFile::exists(path)) {
        path = m_settings->useDarkTheme()
                   ? QStringLiteral(":/corvanta-assets/html/assets/default.png")
                   : QStringLiteral(":/corvanta-assets/html/assets/default-light.png");
    }
    resp->addHeader("Content-Type", contentType);
    // Streamed from the file (or sent from the resource's own memory); a
    // folder or an unreadable file answers 404 with an empty body.
    if (resp->endWithFile(path))
        return;
    resp->setStatusCode(qhttp::ESTATUS_NOT_FOUND);
    resp->end();
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
