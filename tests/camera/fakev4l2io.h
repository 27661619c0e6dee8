#pragma once

// A scripted V4L2 device table behind V4l2DeviceIo: capture nodes with a
// card name (cut to 31 bytes as drivers do), bus info and camera controls.
// Writes (VIDIOC_S_EXT_CTRLS, one entry per call) are logged as
// "name=value" joined by spaces; any other ioctl fails with ENOTTY. unplug(i)
// makes node i vanish: it is no longer listed, cannot be opened, and every
// handle opened before fails with ENODEV, also after plug(i) brings it back.

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

class FakeIo : public V4l2DeviceIo
{
public:
    QList<FakeNode> devices;
    QStringList writes;
    QSet<quint32> failing; // writes refused (EINVAL)
    int readError = 0;     // VIDIOC_G_EXT_CTRLS fails with this errno when set
    int openCount = 0;

    void unplug(int i) { devices[i].present = false, ++devices[i].generation; }
    void plug(int i) { devices[i].present = true; }

    QStringList nodes() override
    {
        QStringList paths;
        for (const FakeNode &n : devices)
            if (n.present)
                paths << n.path;
        return paths;
    }
    int open(const QString &path) override
    {
        for (int i = 0; i < devices.size(); ++i) {
            if (devices[i].path == path && devices[i].present && devices[i].caps) {
                ++openCount;
                m_handles.insert(m_nextFd, {i, devices[i].generation});
                return m_nextFd++;
            }
        }
        return -1;
    }
    void close(int fd) override { openCount -= m_handles.remove(fd); }
    int ioctl(int fd, unsigned long request, void *arg) override
    {
        if (!m_handles.contains(fd))
            return -EBADF;
        const QPair<int, int> h = m_handles.value(fd);
        FakeNode &n = devices[h.first];
        if (!n.present || n.generation != h.second)
            return -ENODEV;
        if (request == VIDIOC_QUERYCAP) {
            auto *cap = static_cast<v4l2_capability *>(arg);
            strncpy(reinterpret_cast<char *>(cap->card), n.card.constData(), sizeof cap->card - 1);
            strncpy(reinterpret_cast<char *>(cap->bus_info), n.busInfo.constData(),
                    sizeof cap->bus_info - 1);
            cap->capabilities = V4L2_CAP_DEVICE_CAPS | V4L2_CAP_VIDEO_CAPTURE;
            cap->device_caps = n.caps;
            return 0;
        }
        if (request == VIDIOC_QUERYCTRL) {
            auto *q = static_cast<v4l2_queryctrl *>(arg);
            if (!n.ctrls.contains(q->id))
                return -EINVAL;
            const Ctrl c = n.ctrls.value(q->id);
            *q = v4l2_queryctrl{q->id, V4L2_CTRL_TYPE_INTEGER, {}, c.min, c.max, 1, c.def, 0, {}};
            return 0;
        }
        if (request != VIDIOC_G_EXT_CTRLS && request != VIDIOC_S_EXT_CTRLS)
            return -ENOTTY;
        auto *ext = static_cast<v4l2_ext_controls *>(arg);
        const bool write = request == VIDIOC_S_EXT_CTRLS;
        if (ext->ctrl_class != V4L2_CTRL_CLASS_CAMERA)
            return -EINVAL;
        QStringList entry;
        for (quint32 i = 0; i < ext->count; ++i) {
            const v4l2_ext_control &c = ext->controls[i];
            if (!n.ctrls.contains(c.id) || (write && failing.contains(c.id)))
                return -EINVAL;
            entry << QStringLiteral("%1=%2").arg(ctrlName(c.id)).arg(c.value);
        }
        if (!write && readError)
            return -readError;
        for (quint32 i = 0; i < ext->count; ++i) {
            qint32 &stored = n.ctrls[ext->controls[i].id].value;
            ext->controls[i].value = write ? (stored = ext->controls[i].value) : stored;
        }
        if (write)
            writes << entry.join(QLatin1Char(' '));
        return 0;
    }

private:
    static QString ctrlName(quint32 id)
    {
        static const QMap<quint32, QString> names = {
            {V4L2_CID_PAN_SPEED, "pan_speed"},        {V4L2_CID_TILT_SPEED, "tilt_speed"},
            {V4L2_CID_ZOOM_CONTINUOUS, "zoom_speed"}, {V4L2_CID_PAN_ABSOLUTE, "pan"},
            {V4L2_CID_TILT_ABSOLUTE, "tilt"},         {V4L2_CID_ZOOM_ABSOLUTE, "zoom"},
            {V4L2_CID_PAN_RESET, "pan_reset"},        {V4L2_CID_TILT_RESET, "tilt_reset"}};
        return names.value(id);
    }
    QMap<int, QPair<int, int>> m_handles; // fd: node index, generation
    int m_nextFd = 100;
};
