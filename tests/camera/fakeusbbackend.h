#pragma once

// A scripted USB camera backend: a device list and a log of the calls in the
// form "name()"; every call succeeds, every reading is 0. Devices never
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
        return call("reopenDevice"), m_open = !m_id.isEmpty() && s.devices.contains(m_id);
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
    long movePanOneLeft(int) override { return call("movePanOneLeft"); }
    long movePanOneRight(int) override { return call("movePanOneRight"); }
    long moveTiltOneTop(int) override { return call("moveTiltOneTop"); }
    long moveTiltOneBottom(int) override { return call("moveTiltOneBottom"); }
    long stopMoving() override { return call("stopMoving"); }
    long zoomOneIn(int) override { return call("zoomOneIn"); }
    long zoomOneOut(int) override { return call("zoomOneOut"); }
    long stopZooming() override { return call("stopZooming"); }
    long focusOneIn(int) override { return call("focusOneIn"); }
    long focusOneOut(int) override { return call("focusOneOut"); }
    long stopFocusing() override { return call("stopFocusing"); }
    long moveHome() override { return call("moveHome"); }
    long moveAbsPTZ(int, int, int) override { return call("moveAbsPTZ"); }
    long setAutoFocus(bool) override { return call("setAutoFocus"); }
    std::optional<bool> getAutoFocus() override { return call("getAutoFocus") != 0; }
    std::optional<long> getPan() override { return call("getPan"); }
    std::optional<long> getTilt() override { return call("getTilt"); }
    std::optional<long> getZoom() override { return call("getZoom"); }
    std::optional<long> getFocus() override { return call("getFocus"); }

private:
    // Logs "name()" (arguments left out).
    long call(const char *name)
    {
        s.log << QLatin1String(name) + QLatin1String("()");
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
