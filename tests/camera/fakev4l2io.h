#pragma once

// A scripted V4L2 device table behind V4l2DeviceIo: capture nodes with a
// card name (cut to 31 bytes as drivers do), bus info and camera controls.
// Writes (VIDIOC_S_EXT_CTRLS, one entry per call) are logged as
// "name=value" joined by spaces. unplug(i) makes node i vanish: it is no
// longer listed, cannot be opened, and every handle opened before fails with
// ENODEV, also after plug(i) brings it back.

#include "v4l2backend.h"

#include <QMap>
#include <QSet>
#include <QStringList>

#include <linux/videodev2.h>

#include <cerrno>
#include <cstring>

struct Ctrl
{
    qint32 min, max, def, value;
};
using Ctrls = QMap<quint32, Ctrl>;

struct FakeNode
{
    QString path;
    QByteArray card;
    quint32 caps = V4L2_CAP_VIDEO_CAPTURE; // 0: cannot be opened
    Ctrls ctrls = {};
    QByteArray busInfo = {};
    bool present = true;
    int generation = 0;
};

inline const QMap<quint32, QString> &fakeCtrlNames()
{
    static const QMap<quint32, QString> names = {
        {V4L2_CID_PAN_SPEED, "pan_speed"},        {V4L2_CID_TILT_SPEED, "tilt_speed"},
        {V4L2_CID_ZOOM_CONTINUOUS, "zoom_speed"}, {V4L2_CID_PAN_ABSOLUTE, "pan"},
        {V4L2_CID_TILT_ABSOLUTE, "tilt"},         {V4L2_CID_ZOOM_ABSOLUTE, "zoom"},
        {V4L2_CID_PAN_RESET, "pan_reset"},        {V4L2_CID_TILT_RESET, "tilt_reset"},
        {V4L2_CID_FOCUS_ABSOLUTE, "focus"},       {V4L2_CID_FOCUS_AUTO, "focus_auto"}};
    return names;
}

class FakeIo : public V4l2DeviceIo
{
public:
    QList<FakeNode> devices;
    QStringList writes;
    QSet<quint32> failing; // writes refused (EINVAL)
    int readError = 0;     // VIDIOC_G_EXT_CTRLS fails with this errno when set
    int openCount = 0;
    int singleControlCalls = 0; // VIDIOC_G_CTRL / VIDIOC_S_CTRL: must stay 0

    void unplug(int i)
    {
        devices[i].present = false;
        ++devices[i].generation;
    }
    void plug(int i) { devices[i].present = true; }

    QStringList nodes() override
    {
        QStringList paths;
        for (const FakeNode &n : devices) {
            if (n.present)
                paths << n.path;
        }
        return paths;
    }
    int open(const QString &path) override
    {
        for (int i = 0; i < devices.size(); ++i) {
            if (devices[i].path == path && devices[i].present && devices[i].caps) {
                ++openCount;
                const int fd = m_nextFd++;
                m_handles.insert(fd, {i, devices[i].generation});
                return fd;
            }
        }
        return -1;
    }
    void close(int fd) override
    {
        if (m_handles.remove(fd))
            --openCount;
    }
    int ioctl(int fd, unsigned long request, void *arg) override
    {
        if (!m_handles.contains(fd))
            return -EBADF;
        const Handle h = m_handles.value(fd);
        FakeNode &n = devices[h.node];
        if (!n.present || n.generation != h.generation)
            return -ENODEV;
        switch (request) {
        case VIDIOC_QUERYCAP: {
            auto *cap = static_cast<v4l2_capability *>(arg);
            memcpy(cap->card, n.card.constData(),
                   qMin<size_t>(n.card.size(), sizeof cap->card - 1));
            memcpy(cap->bus_info, n.busInfo.constData(),
                   qMin<size_t>(n.busInfo.size(), sizeof cap->bus_info - 1));
            cap->capabilities = V4L2_CAP_DEVICE_CAPS | V4L2_CAP_VIDEO_CAPTURE;
            cap->device_caps = n.caps;
            return 0;
        }
        case VIDIOC_QUERYCTRL: {
            auto *q = static_cast<v4l2_queryctrl *>(arg);
            if (!n.ctrls.contains(q->id))
                return -EINVAL;
            const Ctrl c = n.ctrls.value(q->id);
            const quint32 id = q->id;
            *q = v4l2_queryctrl{};
            q->id = id;
            q->minimum = c.min;
            q->maximum = c.max;
            q->default_value = c.def;
            q->step = 1;
            return 0;
        }
        case VIDIOC_G_EXT_CTRLS:
        case VIDIOC_S_EXT_CTRLS: {
            auto *request_ = static_cast<v4l2_ext_controls *>(arg);
            if (request_->ctrl_class != V4L2_CTRL_CLASS_CAMERA)
                return -EINVAL;
            QStringList entry;
            for (quint32 i = 0; i < request_->count; ++i) {
                const v4l2_ext_control &c = request_->controls[i];
                if (!n.ctrls.contains(c.id))
                    return -EINVAL;
                if (request == VIDIOC_S_EXT_CTRLS && failing.contains(c.id))
                    return -EINVAL;
                entry << QStringLiteral("%1=%2").arg(fakeCtrlNames().value(c.id)).arg(c.value);
            }
            if (request == VIDIOC_G_EXT_CTRLS) {
                if (readError)
                    return -readError;
                for (quint32 i = 0; i < request_->count; ++i)
                    request_->controls[i].value = n.ctrls.value(request_->controls[i].id).value;
                return 0;
            }
            for (quint32 i = 0; i < request_->count; ++i)
                n.ctrls[request_->controls[i].id].value = request_->controls[i].value;
            writes << entry.join(QLatin1Char(' '));
            return 0;
        }
        case VIDIOC_G_CTRL:
        case VIDIOC_S_CTRL:
            ++singleControlCalls;
            return -EINVAL;
        default:
            return -ENOTTY;
        }
    }

private:
    struct Handle
    {
        int node;
        int generation;
    };
    QMap<int, Handle> m_handles;
    int m_nextFd = 100;
};
