#pragma once

#include "vmixprotocol.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// Client of a vMix production switcher through its HTTP function interface.
// Keeps the picture of the last good status document (inputs, streaming,
// recording, play list, master audio) and sends vMix functions.
//
// While polling, each tick (kPollIntervalMs, injectable for tests) requests
// "/api" unless the previous poll is still in flight; every request gives up
// after kTransferTimeoutMs without progress. A poll that fails (network or
// HTTP error, time-out, body above kMaxStatusBytes) changes nothing; a body
// that is not well-formed XML empties the input list and keeps the flags.
// Commands are sent whether or not polling runs, at most
// kMaxCommandsInFlight at a time (further ones are dropped while vMix does
// not answer); their replies are ignored.
//
// The user name and password travel as the URL's user information (HTTP
// basic authentication when vMix asks for it); they are never logged.
// Main thread only.
class VMixWrapper : public QObject
{
    Q_OBJECT
public:
    static constexpr int kPollIntervalMs = 500;
    static constexpr int kTransferTimeoutMs = 3000;
    static constexpr qint64 kMaxStatusBytes = 4 * 1024 * 1024;
    static constexpr int kMaxCommandsInFlight = 16;

    VMixWrapper(const QString &host, int port, const QString &userName, const QString &password,
                QObject *parent = nullptr);
    ~VMixWrapper() override;

    void startPolling();
    void stopPolling();
    bool isPolling() const;
    void setPollInterval(int ms);
    void setTransferTimeout(int ms);
    bool isPollInFlight() const { return m_statusReply != nullptr; }

    // Replaces all four at once; a poll in flight is abandoned. The next poll
    // and command use the new values.
    void setConnection(const QString &host, int port, const QString &userName,
                       const QString &password);
    QString getHost() const { return m_endpoint.host; }
    int getPort() const { return m_endpoint.port; }
    QString getUserName() const { return m_endpoint.userName; }

    bool isStreaming() const { return m_streaming; }
    bool isRecording() const { return m_recording; }
    bool isPlayListOn() const { return m_playListOn; }
    bool isMasterMuted() const { return m_masterMuted; }
    double getMasterVolume() const { return m_masterVolume; }
    QList<VMixInput> getInputs() const { return m_inputs; }
    // The inputs on program ("active") and preview in the last good status
    // document (number always set, the rest when the input is listed);
    // empty after a failed poll or while polling is stopped.
    VMixInput activeInput() const { return m_active; }
    VMixInput previewInput() const { return m_preview; }

    // The body of "/vmix/status" without "status"/"msg": "inputs" (one
    // {"inputName", "inputKey", "inputVolume" (text), "inputVolumeMuted"} per
    // input), "isStreaming", "isRecording", "isPlayListOn",
    // "masterVolumeMuted", "masterVolume" (number).
    QJsonObject statusJson() const;
    // The body of "/vmix/settings" without "status"/"msg": "vmixIp",
    // "vmixPort" (number), "vmixId". Never the password.
    QJsonObject settingsJson() const;

    // Functions. n: 0 QuickPlay, 1 Cut, 2-5 Transition1-4 (each with
    // input=0), 6 FadeToBlack; any other n requests the bare "/api/?".
    void applyTransition(int n);
    // volume 0-100 (non-finite -> 0, clamped), sent as "%g".
    void setVolume(double volume, const QString &input);
    // volume 0-100 (non-finite -> 0, clamped), truncated toward zero.
    void setMasterVolume(double volume);
    void toggleInputAudio(const QString &input);
    void toggleMasterAudio();
    void setPreviewInput(const QString &input);
    void startStopStreaming();
    void startStopRecording();
    void startPlayList();
    void stopPlayList();
    // stopPlayList when the last poll reported the play list on, else
    // startPlayList.
    void togglePlayList();

signals:
    // A status poll ended; applied is false when it failed and changed
    // nothing.
    void pollFinished(bool applied);
    // activeInput() or previewInput() changed.
    void tallyInputsChanged();

public slots:
    void finishGettingInputLists(QNetworkReply *reply);
    void vmixReplied(QNetworkReply *reply);
    void onVMixTimer();

private:
    // Sets the inputs on program and preview from the status's numbers.
    void setTallyInputs(const QString &active, const QString &preview);
    void sendFunction(const QString &function, const QList<QPair<QString, QString>> &params = {});

    QNetworkAccessManager *m_statusManager;
    QNetworkAccessManager *m_commandManager;
    QTimer *m_timer;
    VMixProtocol::Endpoint m_endpoint;
    int m_transferTimeoutMs = kTransferTimeoutMs;
    QNetworkReply *m_statusReply = nullptr;
    QSet<QNetworkReply *> m_commandReplies;
    QList<VMixInput> m_inputs;
    bool m_streaming = false;
    bool m_recording = false;
    bool m_playListOn = false;
    bool m_masterMuted = false;
    double m_masterVolume = 0.0;
    VMixInput m_active;
    VMixInput m_preview;
};
