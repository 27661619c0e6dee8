#pragma once

// A scripted USB camera backend: a device list, positions, one result for
// every control call, and a log of the calls in the form "name(args)".
// Devices never vanish here (see fakev4l2io.h for that).

#include "usbcamerabackend.h"

#include <QStringList>

struct FakeUsbState
{
    QStringList devices;
    QStringList log;
    long result = 0;
    long pan = 0, tilt = 0, zoom = 0, focus = 0;
    bool autoFocus = false;
    SpeedRange panRange{1, 24, 5}, tiltRange{1, 20, 4}, zoomRange{1, 7, 3}, focusRange{1, 8, 2};
};

class FakeUsbDevice : public UsbCameraDevice
{
public:
    explicit FakeUsbDevice(FakeUsbState &state) : s(state) {}

    bool connectDevice(const QString &id) override
    {
        call("connectDevice"), m_open = s.devices.contains(id);
        if (m_open)
            m_id = id;
        return m_open;
    }
    bool reopenDevice() override
    {
        call("reopenDevice"), m_open = !m_id.isEmpty() && s.devices.contains(m_id);
        return m_open;
    }
    void disconnectDevice() override { call("disconnectDevice"), m_open = false; }
    bool deviceLost() const override { return false; }
    bool checkDevice() override { return m_open; }
    QString devicePath() const override { return m_id.isEmpty() ? QString() : "/dev/" + m_id; }
    long checkOSDMenu() override { return call("checkOSDMenu"); }
    SpeedRange getPanCtrlRanges() override { return s.panRange; }
    SpeedRange getTiltCtrlRanges() override { return s.tiltRange; }
    SpeedRange getZoomCtrlRanges() override { return s.zoomRange; }
    SpeedRange getFocusCtrlRanges() override { return s.focusRange; }
    long movePanOneLeft(int v) override { return call("movePanOneLeft", v); }
    long movePanOneRight(int v) override { return call("movePanOneRight", v); }
    long moveTiltOneTop(int v) override { return call("moveTiltOneTop", v); }
    long moveTiltOneBottom(int v) override { return call("moveTiltOneBottom", v); }
    long stopMoving() override { return call("stopMoving"); }
    long zoomOneIn(int v) override { return call("zoomOneIn", v); }
    long zoomOneOut(int v) override { return call("zoomOneOut", v); }
    long stopZooming() override { return call("stopZooming"); }
    long focusOneIn(int v) override { return call("focusOneIn", v); }
    long focusOneOut(int v) override { return call("focusOneOut", v); }
    long stopFocusing() override { return call("stopFocusing"); }
    long moveHome() override { return call("moveHome"); }
    long moveAbsPTZ(int p, int t, int z) override { return call("moveAbsPTZ", p, t, z); }
    long setAutoFocus(bool on) override { return call("setAutoFocus", on); }
    std::optional<bool> getAutoFocus() override { return call("getAutoFocus"), s.autoFocus; }
    std::optional<long> getPan() override { return call("getPan"), s.pan; }
    std::optional<long> getTilt() override { return call("getTilt"), s.tilt; }
    std::optional<long> getZoom() override { return call("getZoom"), s.zoom; }
    std::optional<long> getFocus() override { return call("getFocus"), s.focus; }

private:
    // Logs "name(arg,arg)"; returns the scripted result.
    template <typename... Args> long call(const char *name, Args... args)
    {
        const QStringList list{QString::number(args)...};
        s.log << QStringLiteral("%1(%2)").arg(QLatin1String(name), list.join(QLatin1Char(',')));
        return s.result;
    }
    FakeUsbState &s;
    QString m_id; // opened last
    bool m_open = false;
};

class FakeUsbBackend : public UsbCameraBackend
{
public:
    QStringList listDevices() override { return state.devices; }
    QString devicePath(const QString &id) override
    {
        return state.devices.contains(id) ? QStringLiteral("/dev/video0") : QString();
    }
    std::unique_ptr<UsbCameraDevice> createDevice() override
    {
        return std::make_unique<FakeUsbDevice>(state);
    }

    FakeUsbState state;
};
