#pragma once

#include "camerawrapper.h"

#include <QStringList>

// A camera that records the operations it is given as text ("moveLeft(10,0)")
// and, unless told otherwise, reports itself connected as soon as it is asked
// to connect (and disconnected when asked to disconnect, as a USB camera does).
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
        if (connectsAtOnce)
            emit clientConnected();
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
    void moveHome() override { calls << QStringLiteral("moveHome"); }
    void zoomIn(int s) override { rec("zoomIn", s); }
    void zoomOut(int s) override { rec("zoomOut", s); }
    void zoomStop() override { calls << QStringLiteral("zoomStop"); }
    void focusIn(int s) override { rec("focusIn", s); }
    void focusOut(int s) override { rec("focusOut", s); }
    void focusStop() override { calls << QStringLiteral("focusStop"); }
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
    void brightUp() override { calls << QStringLiteral("brightUp"); }
    void brightDown() override { calls << QStringLiteral("brightDown"); }
    void onePushTrigger() override { calls << QStringLiteral("onePushTrigger"); }
    void osdMenu() override { calls << QStringLiteral("osdMenu"); }
    void osdEnter() override { calls << QStringLiteral("osdEnter"); }
    void osdBack() override { calls << QStringLiteral("osdBack"); }
    void setImageFlip(bool on) override { rec("setImageFlip", on); }
    void setImageMirror(bool on) override { rec("setImageMirror", on); }
    void setMotionSync(bool on) override { rec("setMotionSync", on); }
    void setPresetSpeed(int i) override { rec("setPresetSpeed", i); }
    void setUpRightLimit(int t, int p) override { rec("setUpRightLimit", t, p); }
    void setDownLeftLimit(int t, int p) override { rec("setDownLeftLimit", t, p); }

private:
    void rec(const char *op, int a)
    {
        calls << QStringLiteral("%1(%2)").arg(QLatin1String(op)).arg(a);
    }
    void rec(const char *op, int a, int b)
    {
        calls << QStringLiteral("%1(%2,%3)").arg(QLatin1String(op)).arg(a).arg(b);
    }
};
