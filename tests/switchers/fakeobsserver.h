#pragma once

// An obs-websocket 4.x stand-in on 127.0.0.1: answers the requests the client
// sends from its fields below, records every request, counts the messages it
// sent, and can push events, raw texts or close the connection.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QSet>
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
                connect(socket, &QWebSocket::textMessageReceived, this,
                        [this](const QString &text) { onRequest(text); });
                connect(socket, &QWebSocket::disconnected, this, [this, socket] {
                    closeCode = socket->closeCode();
                    socket->deleteLater();
                });
            }
        });
    }

    quint16 port() const { return server.serverPort(); }

    // Request types received, in order.
    QStringList types() const
    {
        QStringList out;
        for (const QJsonObject &r : requests)
            out << r.value("request-type").toString();
        return out;
    }

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

    // State served to the client.
    bool authRequired = false;
    QJsonArray sources;
    QJsonObject volumes;        // source name -> {"volume", "muted"}
    QSet<QString> volumeErrors; // sources whose GetVolume answers an error
    QJsonArray transitions;
    QString currentTransition;
    bool streaming = false;
    bool recording = false;
    // Scenes: program, studio mode and its preview (GetPreviewScene answers
    // an error outside studio mode, as the peer does).
    QString currentScene;
    QJsonArray scenes;
    bool studioMode = false;
    QString previewScene;

    // OBS switched its program scene: state and the pushed event.
    void switchScene(const QString &name)
    {
        currentScene = name;
        push(QJsonObject{{"update-type", "SwitchScenes"}, {"scene-name", name}});
    }

    QList<QJsonObject> requests;
    QStringList rawRequests;
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
        QJsonObject reply{{"message-id", r.value("message-id")}, {"status", "ok"}};
        const auto error = [&](const char *what) {
            push(QJsonObject{
                {"message-id", r.value("message-id")}, {"status", "error"}, {"error", what}});
        };
        if (type == "GetAuthRequired") {
            reply.insert("authRequired", authRequired);
            if (authRequired) {
                reply.insert("challenge", kChallenge);
                reply.insert("salt", kSalt);
            }
        } else if (type == "Authenticate") {
            if (r.value("auth").toString() != QLatin1String(kAuth))
                return error("Authentication Failed.");
            authenticated = true;
        } else if (authRequired && !authenticated) {
            return error("Not Authenticated");
        } else if (type == "GetSourcesList") {
            reply.insert("sources", sources);
        } else if (type == "GetVolume") {
            const QString name = r.value("source").toString();
            if (volumeErrors.contains(name))
                return error("specified source doesn't exist");
            reply.insert("name", name);
            reply.insert("volume", volumes.value(name).toObject().value("volume"));
            reply.insert("muted", volumes.value(name).toObject().value("muted"));
        } else if (type == "GetStreamingStatus") {
            reply.insert("streaming", streaming);
            reply.insert("recording", recording);
        } else if (type == "GetSceneList") {
            reply.insert("current-scene", currentScene);
            reply.insert("scenes", scenes);
        } else if (type == "GetStudioModeStatus") {
            reply.insert("studio-mode", studioMode);
        } else if (type == "GetPreviewScene") {
            if (!studioMode)
                return error("studio mode not enabled");
            reply.insert("name", previewScene);
        } else if (type == "GetTransitionList") {
            reply.insert("current-transition", currentTransition);
            reply.insert("transitions", transitions);
        }
        push(reply);
    }

    QWebSocketServer server;
    bool authenticated = false;
};
