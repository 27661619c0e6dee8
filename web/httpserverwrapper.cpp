#include "httpserverwrapper.h"

#include "appsettings.h"
#include "storagepaths.h"

#include <QFile>
#include <QFileInfo>
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

double toDouble(const QJsonObject &q, const char *key)
{
    return str(q, key).toDouble();
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
        page("/", "-both.html");
        page("/camera", "-camera.html");
        page("/switcher", "-switcher.html");
        t.insert(QStringLiteral("/assets"),
                 Route{Kind::Asset, QString(), {"_type", "_name"}, nullptr});

        api("/vmix/settings", {},
            [](W *w, QHttpResponse *r, const QJsonObject &) { emit w->getVMixSettings(r); });
        api("/vmix/status", {},
            [](W *w, QHttpResponse *r, const QJsonObject &) { emit w->getVMixStatus(r); });
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
        api("/vmix/masterMuted", {},
            [](W *w, QHttpResponse *r, const QJsonObject &) { emit w->setVMixMasterMuted(r); });
        api("/vmix/toggleStreaming", {},
            [](W *w, QHttpResponse *r, const QJsonObject &) { emit w->vmixToggleStreaming(r); });
        api("/vmix/toggleRecording", {},
            [](W *w, QHttpResponse *r, const QJsonObject &) { emit w->vmixToggleRecording(r); });
        api("/vmix/togglePlayList", {},
            [](W *w, QHttpResponse *r, const QJsonObject &) { emit w->vmixTogglePlayList(r); });
        api("/vmix/transition", {"transition"}, [](W *w, QHttpResponse *r, const QJsonObject &q) {
            emit w->vmixApplyTransition(r, toInt(q, "transition"));
        });
        api("/vmix/setPreview", {"sourceName"}, [](W *w, QHttpResponse *r, const QJsonObject &q) {
            emit w->vmixSetPreview(r, str(q, "sourceName"));
        });
        api("/obs/status", {},
            [](W *w, QHttpResponse *r, const QJsonObject &) { emit w->getObsStatus(r); });
        api("/obs/settings", {},
            [](W *w, QHttpResponse *r, const QJsonObject &) { emit w->getObsSettings(r); });
        api("/obs/sourceVolume", {"sourceName", "volume"},
            [](W *w, QHttpResponse *r, const QJsonObject &q) {
                emit w->setObsSourceVolume(r, str(q, "sourceName"), toDouble(q, "volume"));
            });
        api("/obs/sourceMuted", {"sourceName"}, [](W *w, QHttpResponse *r, const QJsonObject &q) {
            emit w->setObsSourceMuted(r, str(q, "sourceName"));
        });
        api("/obs/toggleStreaming", {},
            [](W *w, QHttpResponse *r, const QJsonObject &) { emit w->obsToggleStreaming(r); });
        api("/obs/toggleRecording", {},
            [](W *w, QHttpResponse *r, const QJsonObject &) { emit w->obsToggleRecording(r); });
        api("/obs/transition", {"transition"}, [](W *w, QHttpResponse *r, const QJsonObject &q) {
            emit w->obsSetTransition(r, str(q, "transition"));
        });
        api("/obs/saveReconnect", {"obsIp", "obsPort", "obsPwd"},
            [](W *w, QHttpResponse *r, const QJsonObject &q) {
                emit w->obsSaveReconnect(r, str(q, "obsIp"), toInt(q, "obsPort"), str(q, "obsPwd"));
            });
        api("/cam/settings", {},
            [](W *w, QHttpResponse *r, const QJsonObject &) { emit w->getCameraSettings(r); });
        api("/cam/saveSettings", {"camList"}, [](W *w, QHttpResponse *r, const QJsonObject &q) {
            emit w->saveCameraSettings(r, str(q, "camList"));
        });
        api("/cam/setPreset", {"presetNum", "presetName"},
            [](W *w, QHttpResponse *r, const QJsonObject &q) {
                emit w->setPreset(r, str(q, "presetName"), toInt(q, "presetNum"), false);
            });
        api("/cam/checkImg", {},
            [](W *w, QHttpResponse *r, const QJsonObject &) { emit w->checkImageDownloaded(r); });
        api("/cam/recallPreset", {"presetNum", "callSpeed"},
            [](W *w, QHttpResponse *r, const QJsonObject &q) {
                emit w->recallPreset(r, toInt(q, "presetNum"), toInt(q, "callSpeed"));
            });
        api("/cam/connect", {"camNum"}, [](W *w, QHttpResponse *r, const QJsonObject &q) {
            emit w->connectCam(r, toInt(q, "camNum"));
        });
        api("/cam/control", {"controlMethod", "panSpeed", "tiltSpeed", "zoomSpeed", "focusSpeed"},
            [](W *w, QHttpResponse *r, const QJsonObject &q) {
                emit w->controlCam(r, toInt(q, "controlMethod"), toInt(q, "panSpeed"),
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
        api("/cam/getCurrentCamInfo", {},
            [](W *w, QHttpResponse *r, const QJsonObject &) { emit w->getCurrentCamInfo(r); });
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
    switch (route.kind) {
    case Kind::Page:
        servePage(resp, query, route.pageSuffix);
        return;
    case Kind::Asset:
        serveAsset(resp, query);
        return;
    case Kind::Api:
        break;
    }

    QJsonObject params;
    if (!route.required.isEmpty()) {
        params = parseQuery(query);
        if (!hasAll(params, route.required)) {
            replyParamMismatch(resp);
            return;
        }
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
    const QJsonObject q = parseQuery(query);
    bool dark;
    if (query.isEmpty()) {
        dark = m_settings->useDarkTheme();
    } else {
        if (!q.contains(QLatin1String("theme"))) {
            replyNotFound(resp);
            return;
        }
        const QString theme = q.value(QLatin1String("theme")).toString();
        if (theme == QLatin1String("dark")) {
            dark = true;
        } else if (theme == QLatin1String("light")) {
            dark = false;
        } else {
            replyNotFound(resp);
            return;
        }
        m_settings->setUseDarkTheme(dark);
    }
    const QString file = dark ? QStringLiteral(":/corvanta-assets/html/dark/dark") + suffix
                              : QStringLiteral(":/corvanta-assets/html/light/light") + suffix;
    resp->addHeader("Content-Type", "text/html");
    serveFile(resp, file, false);
    resp->end();
}

void HttpServerWrapper::serveAsset(QHttpResponse *resp, const QString &query)
{
    const QJsonObject q = parseQuery(query);
    if (!q.contains(QLatin1String("_type")) || !q.contains(QLatin1String("_name"))) {
        replyParamMismatch(resp);
        return;
    }
    const QString type = q.value(QLatin1String("_type")).toString();
    const QString name = q.value(QLatin1String("_name")).toString();

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
    resp->addHeader("Content-Type", contentType);
    serveFile(resp, file, useDefault);
    resp->end();
}

bool HttpServerWrapper::serveFile(QHttpResponse *resp, QString path, bool useDefaultImage)
{
    if (useDefaultImage && !QFile::exists(path)) {
        path = m_settings->useDarkTheme()
                   ? QStringLiteral(":/corvanta-assets/html/assets/default.png")
                   : QStringLiteral(":/corvanta-assets/html/assets/default-light.png");
    }
    QFile f(path);
    // A folder (an empty name) is not a file to send.
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly)) {
        resp->setStatusCode(qhttp::ESTATUS_NOT_FOUND);
        return false;
    }
    resp->setStatusCode(qhttp::ESTATUS_OK);
    resp->write(f.readAll());
    f.close();
    return true;
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
