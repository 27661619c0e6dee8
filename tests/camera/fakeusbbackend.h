#pragma once

// A scripted USB camera backend: a device list and a log of the calls in the
// form "name(args)"; every call succeeds, every reading is 0. Devices never
// vanish here (see fakev4l2io.h for that).

#include "usbcamerabackend.h"

#include <QStringList>

struct FakeUsbState
{
    QStringList devices;
    QStringList log;
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
    SpeedRange getPanCtrlRanges() override { return {1, 24, 5}; }
    SpeedRange getTiltCtrlRanges() override { return {1, 20, 4}; }
    SpeedRange getZoomCtrlRanges() override { return {1, 7, 3}; }
    SpeedRange getFocusCtrlRanges() override { return {1, 8, 2}; }
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
    std::optional<bool> getAutoFocus() override { return call("getAutoFocus") != 0; }
    std::optional<long> getPan() override { return call("getPan"); }
    std::optional<long> getTilt() override { return call("getTilt"); }
    std::optional<long> getZoom() override { return call("getZoom"); }
    std::optional<long> getFocus() override { return call("getFocus"); }

private:
    // Logs "name(arg,arg)"; returns 0.
    template <typename... Args> long call(const char *name, Args... args)
    {
        const QStringList list{QString::number(args)...};
        s.log << QStringLiteral("%1(%2)").arg(QLatin1String(name), list.join(QLatin1Char(',')));
        return 0;
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
