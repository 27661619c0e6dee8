#pragma once

#include "camerawrapper.h"

#include <QStringList>

// A camera that records the operations it is given as text ("moveLeft(10,0)")
// and, unless told otherwise, reports itself connected as soon as it is asked
// to connect (and disconnected when asked to disconnect, as a USB camera does).
// Its link can drop and return as a network camera's does (the object stays
// connected while its socket reconnects): commands given while the link is
// down are lost and recorded as "lost:<operation>".
// Ranges are a network camera's: pan 1-24, tilt 1-20, zoom and focus 1-7.
class RecordingCamera : public CameraWrapper
{
public:
    explicit RecordingCamera(const QString &id, const QString &name = QStringLiteral("Rec"))
        : CameraWrapper(NetworkCamera, id, name, QStringLiteral("rec-device"))
    {
        panSpeedRange = {1, 24, 5};
        tiltSpeedRange = {1, 20, 5};
        zoomSpeedRange = {1, 7, 5};
        focusSpeedRange = {1, 7, 5};
    }
    void setRanges(const SpeedRange &pan, const SpeedRange &tilt)
    {
        panSpeedRange = pan;
        tiltSpeedRange = tilt;
    }

    QStringList calls;
    bool connectsAtOnce = true;
    bool reportsDisconnect = false;
    bool autoReconnect = false;
    bool stale = false;

    bool linkUp = true;
    bool canSendCommands() const override { return linkUp; }
    void dropLink()
    {
        linkUp = false;
        emit clientStateChanged(QStringLiteral("Unconnected"));
    }
    // The socket is connected again: state first, then the connection.
    void restoreLink()
    {
        linkUp = true;
        emit clientStateChanged(QStringLiteral("Connected"));
        emit clientConnected();
    }

    void setAutoReconnect(bool on) override { autoReconnect = on; }
    bool repliesStale() const override { return stale; }
    void setStale(bool on)
    {
        stale = on;
        emit repliesStaleChanged(on);
    }

    void connectCamera() override
    {
        calls << QStringLiteral("connectCamera");
        if (connectsAtOnce) {
            linkUp = true;
            emit clientConnected();
        }
    }
    void disconnectCamera() override
    {
        calls << QStringLiteral("disconnectCamera");
        if (reportsDisconnect)
            emit clientDisconnected();
    }
    void moveUp(int p, int t) override { rec("moveUp", p, t); }
    void moveLeft(int p, int t) override { rec("moveLeft", p, t); }
    void moveDown(int p, int t) override { rec("moveDown", p, t); }
    void moveRight(int p, int t) override { rec("moveRight", p, t); }
    void moveUpLeft(int p, int t) override { rec("moveUpLeft", p, t); }
    void moveUpRight(int p, int t) override { rec("moveUpRight", p, t); }
    void moveDownLeft(int p, int t) override { rec("moveDownLeft", p, t); }
    void moveDownRight(int p, int t) override { rec("moveDownRight", p, t); }
    void moveStop(int p, int t) override { rec("moveStop", p, t); }
    void moveHome() override { log(QStringLiteral("moveHome")); }
    void zoomIn(int s) override { rec("zoomIn", s); }
    void zoomOut(int s) override { rec("zoomOut", s); }
    void zoomStop() override { log(QStringLiteral("zoomStop")); }
    void focusIn(int s) override { rec("focusIn", s); }
    void focusOut(int s) override { rec("focusOut", s); }
    void focusStop() override { log(QStringLiteral("focusStop")); }
    void setPreset(int n) override { rec("setPreset", n); }
    void callPreset(int n) override { rec("callPreset", n); }
    void clearPreset(int n) override { rec("clearPreset", n); }
    void downloadSnapshot(int n) override { rec("downloadSnapshot", n); }
    void setAeMode(int i) override { rec("setAeMode", i); }
    void setShutter(int i) override { rec("setShutter", i); }
    void setIris(int i) override { rec("setIris", i); }
    void setBright(int i) override { rec("setBright", i); }
    void setWBMode(int i) override { rec("setWBMode", i); }
    void setLuminance(int v) override { rec("setLuminance", v); }
    void setContrast(int v) override { rec("setContrast", v); }
    void setHue(int v) override { rec("setHue", v); }
    void brightUp() override { log(QStringLiteral("brightUp")); }
    void brightDown() override { log(QStringLiteral("brightDown")); }
    void onePushTrigger() override { log(QStringLiteral("onePushTrigger")); }
    void osdMenu() override { log(QStringLiteral("osdMenu")); }
    void osdEnter() override { log(QStringLiteral("osdEnter")); }
    void osdBack() override { log(QStringLiteral("osdBack")); }
    void setImageFlip(bool on) override { rec("setImageFlip", on); }
    void setImageMirror(bool on) override { rec("setImageMirror", on); }
    void setMotionSync(bool on) override { rec("setMotionSync", on); }
    void setPresetSpeed(int i) override { rec("setPresetSpeed", i); }
    void setUpRightLimit(int t, int p) override { rec("setUpRightLimit", t, p); }
    void setDownLeftLimit(int t, int p) override { rec("setDownLeftLimit", t, p); }

private:
    void log(const QString &call) { calls << (linkUp ? call : QStringLiteral("lost:") + call); }
    void rec(const char *op, int a) { log(QStringLiteral("%1(%2)").arg(QLatin1String(op)).arg(a)); }
    void rec(const char *op, int a, int b)
    {
        log(QStringLiteral("%1(%2,%3)").arg(QLatin1String(op)).arg(a).arg(b));
    }
};
