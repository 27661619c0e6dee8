#pragma once

#include "qhttpserver.h"

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QString>

class AppSettings;

// The embedded web server: listens on one interface address and port, accepts
// GET only, serves the browser pages and their static files from the resource
// tree, serves preset thumbnails from the downloads folder, and turns every
// API request ("/cam/...", "/obs/...", "/vmix/...") into one signal carrying
// the response and the typed query parameters. Receivers must complete the
// response before returning (direct delivery on the GUI thread); a response
// left open is answered 500 with an empty body.
//
// A guard runs before any route: requests whose Host is not an IP literal,
// localhost, this machine's name or a `serverhostnames` entry are answered
// 421; requests a browser marks as coming from another site (Sec-Fetch-Site
// "cross-site"/"same-site", or an Origin other than the Host) are answered
// 403, except top-level navigations to a page without query; and when
// `requireaccesskey` is set every route but "/login" needs `accesskey` as a
// Bearer token, a "key" query parameter or the cookie "/login" sets (401
// otherwise). With the key off, clients that send no Origin and no
// Sec-Fetch-Site headers (and no Host, or an allowed one) are routed exactly
// as before. Every answer
// carries X-Frame-Options, a frame-ancestors policy and nosniff; pages and
// static files carry a strong ETag and Last-Modified and answer conditional
// requests with 304.
class HttpServerWrapper : public QObject
{
    Q_OBJECT
public:
    // settings: read and written for the page theme (`usedarktheme`); not owned.
    explicit HttpServerWrapper(AppSettings *settings, QObject *parent = nullptr);
    ~HttpServerWrapper() override;

    // False when already listening (nothing changes) or when the address
    // cannot be bound.
    bool startServer(QString nicAddress, quint16 port);
    void stopServer();

    qhttp::server::QHttpServer *server() const { return m_server; }

    // Splits the query at "&" and each part at "="; keys and values are
    // form-decoded (percent escapes, "+" as space). A part without exactly
    // one "=" stops parsing and adds "status" = "FAILED" and
    // "msg" = "The url is not correct". query is the encoded query text.
    static QJsonObject parseQuery(const QString &query);

    // The name of the cookie that holds the access key.
    static const QByteArray kKeyCookie;

    // This machine's host name as the Host check accepts it (also with
    // ".local"); the system's name unless set (tests).
    void setLocalHostName(const QString &name);

    // The fixed bodies.
    static const QByteArray kParamMismatchBody;
    static const QByteArray kNotFoundBody;
    static const QByteArray kWrongMethodBody;

signals:
    void getVMixSettings(qhttp::server::QHttpResponse *resp);
    void getVMixStatus(qhttp::server::QHttpResponse *resp);
    void vmixSaveReconnect(qhttp::server::QHttpResponse *resp, QString vmixIp, int vmixPort,
                           QString vmixId, QString vmixPwd);
    void setVMixSourceVolume(qhttp::server::QHttpResponse *resp, QString sourceName, double volume);
    void setVMixSourceMuted(qhttp::server::QHttpResponse *resp, QString sourceName);
    void setVMixMasterVolume(qhttp::server::QHttpResponse *resp, double volume);
    void setVMixMasterMuted(qhttp::server::QHttpResponse *resp);
    void vmixToggleStreaming(qhttp::server::QHttpResponse *resp);
    void vmixToggleRecording(qhttp::server::QHttpResponse *resp);
    void vmixTogglePlayList(qhttp::server::QHttpResponse *resp);
    void vmixApplyTransition(qhttp::server::QHttpResponse *resp, int transition);
    void vmixSetPreview(qhttp::server::QHttpResponse *resp, QString sourceName);
    void getObsStatus(qhttp::server::QHttpResponse *resp);
    void getObsSettings(qhttp::server::QHttpResponse *resp);
    void setObsSourceVolume(qhttp::server::QHttpResponse *resp, QString sourceName, double volume);
    void setObsSourceMuted(qhttp::server::QHttpResponse *resp, QString sourceName);
    void obsToggleStreaming(qhttp::server::QHttpResponse *resp);
    void obsToggleRecording(qhttp::server::QHttpResponse *resp);
    void obsSetTransition(qhttp::server::QHttpResponse *resp, QString transition);
    void obsSaveReconnect(qhttp::server::QHttpResponse *resp, QString obsIp, int obsPort,
                          QString obsPwd);
    void getCameraSettings(qhttp::server::QHttpResponse *resp);
    void getCurrentCamInfo(qhttp::server::QHttpResponse *resp);
    void saveCameraSettings(qhttp::server::QHttpResponse *resp, QString camListJson);
    void setPreset(qhttp::server::QHttpResponse *resp, QString presetName, int presetNum,
                   bool isUploadImage);
    void recallPreset(qhttp::server::QHttpResponse *resp, int presetNum, int presetSpeed);
    void connectCam(qhttp::server::QHttpResponse *resp, int camNum);
    void controlCam(qhttp::server::QHttpResponse *resp, int controlMethod, int panSpeed,
                    int tiltSpeed, int zoomSpeed, int focusSpeed);
    void focusAuto(qhttp::server::QHttpResponse *resp, bool focusAuto);
    void checkImageDownloaded(qhttp::server::QHttpResponse *resp);
    void stopControl(qhttp::server::QHttpResponse *resp, int controlMethod);
    // "/cam/tally": the switchers' program/preview state of each camera slot.
    void getTally(qhttp::server::QHttpResponse *resp);

public slots:
    void handleRequest(qhttp::server::QHttpRequest *req, qhttp::server::QHttpResponse *resp);

private:
    // True for an IP literal (IPv6 in brackets), localhost, this machine's
    // name (plain or ".local") or a `serverhostnames` entry, with or without
    // a port; case and one trailing dot do not matter.
    bool hostAllowed(const QByteArray &hostHeader) const;
    // The access key check (constant time; neither key is ever logged).
    // Takes the "key" parts out of *query; *viaQuery tells whether there
    // were any. An empty stored key accepts nothing.
    bool keyAccepted(qhttp::server::QHttpRequest *req, QString *query, bool *viaQuery) const;
    void serveLogin(qhttp::server::QHttpResponse *resp, bool keyOk, bool keyTried);
    void servePage(qhttp::server::QHttpRequest *req, qhttp::server::QHttpResponse *resp,
                   const QString &query, const QString &suffix);
    // query holds "_type" and "_name".
    void serveAsset(qhttp::server::QHttpRequest *req, qhttp::server::QHttpResponse *resp,
                    const QJsonObject &query);
    // Answers with the file (or 404 with an empty body), or 304 when the
    // request's validators match, and ends the response.
    void serveFile(qhttp::server::QHttpRequest *req, qhttp::server::QHttpResponse *resp,
                   const QByteArray &contentType, QString path, bool useDefaultImage,
                   const QByteArray &cacheControl = "no-cache");
    // Strong validator of a resource (content hash, kept) or disk file (size
    // and modification time); empty when the file cannot be read.
    QByteArray entityTag(const QString &path, QDateTime *lastModified);
    void addKeyCookie(qhttp::server::QHttpResponse *resp) const;
    static void addCommonHeaders(qhttp::server::QHttpResponse *resp);
    static void replyRefused(qhttp::server::QHttpResponse *resp, qhttp::TStatusCode status,
                             const QByteArray &body);
    static void replyKeyMissing(qhttp::server::QHttpResponse *resp);
    static void replyParamMismatch(qhttp::server::QHttpResponse *resp);
    static void replyNotFound(qhttp::server::QHttpResponse *resp);
    static void replyWrongMethod(qhttp::server::QHttpResponse *resp);

    AppSettings *m_settings;
    qhttp::server::QHttpServer *m_server;
    QString m_localHostName;
    // Resource path -> strong ETag; resources do not change while running.
    QHash<QString, QByteArray> m_resourceTags;
    // Last-Modified of every resource: the program file's time.
    QDateTime m_resourceTime;
};
