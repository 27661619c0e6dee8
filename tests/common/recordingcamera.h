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

private:
    void log(const QString &call) { calls << (linkUp ? call : QStringLiteral("lost:") + call); }
    void rec(const char *op, int a) { log(QStringLiteral("%1(%2)").arg(QLatin1String(op)).arg(a)); }
    void rec(const char *op, int a, int b)
    {
        log(QStringLiteral("%1(%2,%3)").arg(QLatin1String(op)).arg(a).arg(b));
    }

public:
    // Operations, recorded as "op(a,b)", "op(a)" or "op".
    // clang-format off
#define REC2(op) void op(int a, int b) override { rec(#op, a, b); }
#define REC1(op, T) void op(T a) override { rec(#op, int(a)); }
#define REC0(op) void op() override { log(QLatin1String(#op)); }
    REC2(moveUp) REC2(moveLeft) REC2(moveDown) REC2(moveRight) REC2(moveUpLeft) REC2(moveUpRight)
    REC2(moveDownLeft) REC2(moveDownRight) REC2(moveStop) REC0(moveHome)
    REC1(zoomIn, int) REC1(zoomOut, int) REC0(zoomStop)
    REC1(focusIn, int) REC1(focusOut, int) REC0(focusStop)
    REC1(setPreset, int) REC1(callPreset, int) REC1(clearPreset, int) REC1(downloadSnapshot, int)
    REC1(setAeMode, int) REC1(setShutter, int) REC1(setIris, int) REC1(setBright, int)
    REC1(setWBMode, int) REC1(setLuminance, int) REC1(setContrast, int) REC1(setHue, int)
    REC0(brightUp) REC0(brightDown) REC0(onePushTrigger) REC0(osdMenu) REC0(osdEnter) REC0(osdBack)
    REC1(setImageFlip, bool) REC1(setImageMirror, bool) REC1(setMotionSync, bool)
    REC1(setPresetSpeed, int) REC2(setUpRightLimit) REC2(setDownLeftLimit)
#undef REC2
#undef REC1
#undef REC0
};
// clang-format on
