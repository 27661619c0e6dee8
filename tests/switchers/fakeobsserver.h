#pragma once

// An obs-websocket 4.x stand-in on 127.0.0.1: answers the requests the client
// sends from its fields below (GetPreviewScene with an error outside studio
// mode, as the peer does), records every request, counts the messages it
// sent, and can push events or raw texts.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebSocket>
#include <QWebSocketServer>

class FakeObsServer : public QObject
{
    Q_OBJECT
public:
    // The known vector: this password, salt and challenge give kAuth.
    static constexpr const char *kPassword = "supersecretpassword";
    static constexpr const char *kSalt = "lM1GncleQOaCu9lT1yeUZhFYnqhsLLP1G5lAGo3ixaI=";
    static constexpr const char *kChallenge = "+IxH4CnCiqpX1rM9scsNynZzbOe4KhDeYcTNS3PDaeY=";
    static constexpr const char *kAuth = "1Ct943GAT+6YQUUX47Ia/ncufilbe6+oD6lY+5kaCu4=";

    FakeObsServer() : server(QStringLiteral("fake-obs"), QWebSocketServer::NonSecureMode)
    {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QWebSocketServer::newConnection, this, [this] {
            while (QWebSocket *socket = server.nextPendingConnection()) {
                socket->setParent(this);
                peer = socket;
                ++connections;
                connect(socket, &QWebSocket::textMessageReceived, this, &FakeObsServer::onRequest);
                connect(socket, &QWebSocket::disconnected, this, [this, socket] {
                    closeCode = socket->closeCode();
                    socket->deleteLater();
                });
            }
        });
    }

    quint16 port() const { return server.serverPort(); }
    void push(const QString &text)
    {
        if (peer) {
            peer->sendTextMessage(text);
            ++sent;
        }
    }
    void push(const QJsonObject &message)
    {
        push(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
    }
    // OBS switched its program scene: state and the pushed event.
    void switchScene(const QString &name)
    {
        currentScene = name;
        push(QJsonObject{{"update-type", "SwitchScenes"}, {"scene-name", name}});
    }

    bool authRequired = false;
    QJsonArray sources;
    QJsonObject volumes; // source name -> {"volume", "muted"}
    QJsonArray transitions;
    QString currentTransition;
    bool streaming = false;
    QString currentScene;
    QJsonArray scenes; // {"name": ...} objects
    bool studioMode = false;
    QString previewScene;

    QList<QJsonObject> requests;
    QStringList rawRequests;
    QStringList types; // request types
    int sent = 0;
    int connections = 0;
    int closeCode = -1;
    QWebSocket *peer = nullptr;

private:
    void onRequest(const QString &text)
    {
        rawRequests << text;
        const QJsonObject r = QJsonDocument::fromJson(text.toUtf8()).object();
        requests << r;
        const QString type = r.value("request-type").toString();
        types << type;
        const QJsonObject volume = volumes.value(r.value("source").toString()).toObject();
        const QHash<QString, QJsonObject> answers{
            {"GetAuthRequired", {{"authRequired", authRequired}}},
            {"GetSourcesList", {{"sources", sources}}},
            {"GetVolume",
             {{"name", r.value("source")},
              {"volume", volume["volume"]},
              {"muted", volume["muted"]}}},
            {"GetStreamingStatus", {{"streaming", streaming}, {"recording", false}}},
            {"GetSceneList", {{"current-scene", currentScene}, {"scenes", scenes}}},
            {"GetStudioModeStatus", {{"studio-mode", studioMode}}},
            {"GetPreviewScene", {{"name", previewScene}}},
            {"GetTransitionList",
             {{"current-transition", currentTransition}, {"transitions", transitions}}}};
        QJsonObject reply = answers.value(type);
        if (type == "GetAuthRequired" && authRequired) {
            reply.insert("challenge", kChallenge);
            reply.insert("salt", kSalt);
        }
        if (type == "Authenticate")
            authenticated = r.value("auth") == kAuth;
        QString error;
        if (type == "Authenticate" && !authenticated)
            error = "Authentication Failed.";
        else if (type != "GetAuthRequired" && authRequired && !authenticated)
            error = "Not Authenticated";
        else if (type == "GetPreviewScene" && !studioMode)
            error = "studio mode not enabled";
        reply = error.isEmpty() ? reply : QJsonObject{{"status", "error"}, {"error", error}};
        reply.insert("message-id", r.value("message-id"));
        reply.insert("status", error.isEmpty() ? "ok" : "error");
        push(reply);
    }

    QWebSocketServer server;
    bool authenticated = false;
};
