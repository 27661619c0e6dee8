#pragma once

#include "apianswer.h"

#include <QObject>

class AppSettings;
class HttpServerWrapper;
class ObsWrapper;
class VMixWrapper;

// The "/obs/..." routes over an ObsWrapper. Every route answers OK, whether
// or not OBS is connected; commands are forwarded, the status comes from the
// last polled picture. "/obs/settings" never returns the password.
class ObsApiHandler : public QObject
{
    Q_OBJECT
public:
    // obs must outlive the handler; settings (may be null) receives `obsip`,
    // `obsport` and `obspwd` on "/obs/saveReconnect".
    ObsApiHandler(ObsWrapper *obs, AppSettings *settings, QObject *parent = nullptr);
    void attach(HttpServerWrapper *server);

    ApiAnswer status() const;
    ApiAnswer settings() const;
    // volume in dB.
    ApiAnswer setSourceVolume(const QString &sourceName, double volume);
    ApiAnswer toggleSourceMuted(const QString &sourceName);
    ApiAnswer toggleStreaming();
    ApiAnswer toggleRecording();
    ApiAnswer setTransition(const QString &transition);
    // Stores the three values, then closes and reopens the connection; the
    // poll timer is left as it is.
    ApiAnswer saveReconnect(const QString &ip, int port, const QString &password);

private:
    ObsWrapper *m_obs;
    AppSettings *m_settings;
};

// The "/vmix/..." routes over a VMixWrapper. Every route answers OK;
// "/vmix/settings" never returns the password.
class VMixApiHandler : public QObject
{
    Q_OBJECT
public:
    // vmix must outlive the handler; settings (may be null) receives
    // `vmixip`, `vmixport`, `vmixid` and `vmixpwd` on "/vmix/saveReconnect".
    VMixApiHandler(VMixWrapper *vmix, AppSettings *settings, QObject *parent = nullptr);
    void attach(HttpServerWrapper *server);

    ApiAnswer status() const;
    ApiAnswer settings() const;
    ApiAnswer saveReconnect(const QString &ip, int port, const QString &id, const QString &pwd);
    ApiAnswer setSourceVolume(const QString &sourceName, double volume);
    ApiAnswer toggleSourceMuted(const QString &sourceName);
    ApiAnswer setMasterVolume(double volume);
    ApiAnswer toggleMasterMuted();
    ApiAnswer toggleStreaming();
    ApiAnswer toggleRecording();
    ApiAnswer togglePlayList();
    ApiAnswer applyTransition(int transition);
    ApiAnswer setPreview(const QString &sourceName);

private:
    VMixWrapper *m_vmix;
    AppSettings *m_settings;
};
