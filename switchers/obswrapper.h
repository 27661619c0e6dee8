#pragma once

#include "obsscenes.h"

#include <QAbstractSocket>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>

class QTimer;
class QWebSocket;

// Client of an OBS instance through obs-websocket protocol version 4. Keeps a
// polled picture of OBS (sources with volume in dB and mute state,
// transitions, current transition, streaming and recording) and forwards the
// few commands the web routes offer.
//
// connectToServer opens "ws://host:port"; once connected "GetAuthRequired"
// is sent and, when the reply asks for it, "Authenticate". Each poll tick
// (kPollIntervalMs, injectable for tests) sends "GetSourcesList",
// "GetTransitionList", "GetStreamingStatus"; every sources reply sends one
// "GetVolume" per listed source. While more than kMaxWriteBacklogBytes wait
// unsent, ticks are skipped and requests dropped (a peer that stopped reading
// cannot make the send buffer grow). Error replies, pushed events, malformed replies and
// replies to commands change nothing. There is no automatic reconnection: a
// lost connection stays closed and the picture keeps its last values until
// the next connectToServer.
//
// Incoming messages above kMaxMessageBytes make the socket close (the peer
// broke the protocol). Source and transition lists are cut at kMaxSources and
// kMaxTransitions entries. Commands and requests on a socket that is not
// connected are dropped. Main thread only.
class ObsWrapper : public QObject
{
    Q_OBJECT
public:
    static constexpr int kPollIntervalMs = 500;
    static constexpr qint64 kMaxMessageBytes = 1024 * 1024;
    static constexpr qint64 kMaxWriteBacklogBytes = 256 * 1024;
    static constexpr int kMaxSources = 512;
    static constexpr int kMaxTransitions = 256;

    ObsWrapper(const QString &host, int port, const QString &password, QObject *parent = nullptr);
    ~ObsWrapper() override;

    // Opens the socket on ws://host:port; a host or port that cannot form
    // such a URL (port outside 1-65535) leaves the socket closed.
    void connectToServer();
    // Closes the socket with close code 1000 and an empty reason.
    void disconnectFromServer();
    void startPolling();
    void stopPolling();
    bool isPolling() const;
    void setPollInterval(int ms);

    // Take effect at the next connectToServer.
    void setHost(const QString &host) { m_host = host; }
    void setPort(int port) { m_port = port; }
    void setPassword(const QString &password) { m_password = password; }
    QString getHost() const { return m_host; }
    int getPort() const { return m_port; }

    bool isStreaming() const { return m_streaming; }
    bool isRecording() const { return m_recording; }
    // One {"name", "volume" (dB, 0 when unknown), "muted" (false when
    // unknown)} per source of the last sources reply, in its order.
    QJsonArray getSourcesJson() const;
    QStringList getTransitions() const { return m_transitionNames; }
    QString getCurrentTransition() const { return m_currentTransition; }
    QAbstractSocket::SocketState socketState() const;

    // The body of "/obs/status" without "status"/"msg": "isStreaming",
    // "isRecording", "sources" (getSourcesJson), "transitions" (names),
    // "currentTransition".
    QJsonObject statusJson() const;
    // The body of "/obs/settings" without "status"/"msg": "obsIp", "obsPort"
    // (number). Never the password.
    QJsonObject settingsJson() const;
    // setHost, setPort, setPassword, disconnectFromServer, connectToServer.
    // The poll timer is left as it is.
    void reconnectTo(const QString &host, int port, const QString &password);

    // Commands; the picture changes only when a later poll reports it.
    void toggleMute(const QString &source);
    // volume in dB; see ObsProtocol::sanitizeVolumeDb.
    void setVolume(double volume, const QString &source);
    void startStopStreaming();
    void startStopRecording();
    void setCurrentTransition(const QString &name);

    // Scene tracking (for the tally), off by default: while on, each poll
    // tick also sends "GetSceneList", "GetStudioModeStatus" and, in studio
    // mode, "GetPreviewScene"; pushed scene events are read as well. The
    // scenes are forgotten when the connection ends.
    void setSceneTracking(bool on) { m_trackScenes = on; }
    // Program scene; preview scene (studio mode only); listed scene names.
    // Empty while unknown or not connected.
    QString programScene() const { return m_scenes.program(); }
    QString previewScene() const { return m_scenes.preview(); }
    QStringList sceneNames() const { return m_scenes.names(); }

signals:
    // programScene() or previewScene() changed.
    void scenesChanged();

public slots:
    void connectedToOBS();
    void disconnectedFromOBS();
    void messageReceived(const QString &msg);
    void error(QAbstractSocket::SocketError err);
    void serverStateChanged(QAbstractSocket::SocketState state);
    void onOBSTimer();

private:
    void send(int id, const QJsonObject &fields = QJsonObject());
    void handleSources(const QJsonObject &reply);
    void handleVolume(const QJsonObject &reply);
    void handleTransitions(const QJsonObject &reply);
    void pruneStaleVolumes();

    QTimer *m_timer;
    QWebSocket *m_socket;
    QString m_host;
    int m_port;
    QString m_password;
    QStringList m_sourceNames;
    QStringList m_transitionNames;
    QHash<QString, double> m_sourceVolumes;
    QHash<QString, bool> m_sourceMuted;
    bool m_streaming = false;
    bool m_recording = false;
    QString m_currentTransition;
    ObsScenes m_scenes;
    bool m_trackScenes = false;
};
