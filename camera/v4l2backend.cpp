#include "v4l2backend.h"

#include <QDir>
#include <QTimer>
#include <QVector>
#include <QtAlgorithms>

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

class SystemV4l2Io : public V4l2DeviceIo
{
public:
    QStringList nodes() override
    {
        const QDir dev(QStringLiteral("/dev"));
        QList<QPair<int, QString>> found;
        const QStringList names = dev.entryList({QStringLiteral("video*")},
                                                QDir::System | QDir::AllEntries | QDir::NoSymLinks);
        for (const QString &name : names) {
            bool ok = false;
            const int n = name.midRef(5).toInt(&ok);
            if (ok)
                found.append({n, dev.filePath(name)});
        }
        std::sort(found.begin(), found.end());
        QStringList paths;
        for (const auto &entry : found)
            paths << entry.second;
        return paths;
    }
    int open(const QString &path) override
    {
        return ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    }
    void close(int fd) override { ::close(fd); }
    int ioctl(int fd, unsigned long request, void *arg) override
    {
        int r;
        do {
            r = ::ioctl(fd, request, arg);
        } while (r == -1 && errno == EINTR);
        return r == -1 ? -errno : 0;
    }
};

struct Node
{
    QString id;
    QString path;
    QString busInfo;
};

bool capturesVideo(const v4l2_capability &cap)
{
    const quint32 caps =
        (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    return caps & (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_CAPTURE_MPLANE);
}

QString fixedString(const __u8 *text, size_t size)
{
    const char *chars = reinterpret_cast<const char *>(text);
    return QString::fromUtf8(chars, int(qstrnlen(chars, uint(size))));
}

// Capture nodes with their ids. Metadata and output nodes of the same camera
// are skipped, so every camera is listed once.
QList<Node> enumerate(V4l2DeviceIo &io)
{
    QList<Node> nodes;
    QStringList cards;
    for (const QString &path : io.nodes()) {
        const int fd = io.open(path);
        if (fd < 0)
            continue;
        v4l2_capability cap{};
        const bool capture = io.ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0 && capturesVideo(cap);
        io.close(fd);
        if (!capture)
            continue;
        cards << fixedString(cap.card, sizeof cap.card);
        nodes.append({QString(), path, fixedString(cap.bus_info, sizeof cap.bus_info)});
    }
    const QStringList ids = uniqueUsbCameraIds(cards);
    for (int i = 0; i < ids.size(); ++i)
        nodes[i].id = ids.at(i);
    return nodes;
}

bool isGone(int error)
{
    return error == -ENODEV || error == -EIO || error == -ENXIO;
}

class V4l2Device : public UsbCameraDevice
{
public:
    V4l2Device(std::shared_ptr<V4l2DeviceIo> io, int stepInterval) : m_io(std::move(io))
    {
        m_stepTimer.setInterval(stepInterval);
        QObject::connect(&m_stepTimer, &QTimer::timeout, [this] { stepAll(); });
    }
    ~V4l2Device() override { disconnectDevice(); }

    bool connectDevice(const QString &id) override
    {
        disconnectDevice();
        for (const Node &node : enumerate(*m_io)) {
            if (node.id == id)
                return open(node);
        }
        return false;
    }

    bool reopenDevice() override
    {
        disconnectDevice();
        if (m_node.path.isEmpty())
            return false;
        const QList<Node> nodes = enumerate(*m_io);
        for (const Node &node : nodes) {
            // A node number may be given to another camera after a re-plug;
            // the USB port the camera sits in is what stays.
            const bool same = m_node.busInfo.isEmpty() ? node.path == m_node.path
                                                       : node.busInfo == m_node.busInfo;
            if (same)
                return open(node);
        }
        return false;
    }

    void disconnectDevice() override
    {
        if (m_fd < 0)
            return;
        if (!m_lost) {
            stopPanTilt();
            stop(Zoom);
            stop(Focus);
        }
        m_stepTimer.stop();
        m_io->close(m_fd);
        m_fd = -1;
        m_lost = false;
        for (AxisState &a : m_axes)
            a = AxisState();
        m_focusAuto = m_panReset = m_tiltReset = Control();
    }

    bool deviceLost() const override { return m_lost; }

    bool checkDevice() override
    {
        if (m_fd < 0 || m_lost)
            return false;
        v4l2_capability cap{};
        return call(VIDIOC_QUERYCAP, &cap) == 0 || !m_lost;
    }

    QString devicePath() const override { return m_node.path; }

    long checkOSDMenu() override { return 0; }

    SpeedRange getPanCtrlRanges() override { return range(Pan); }
    SpeedRange getTiltCtrlRanges() override { return range(Tilt); }
    SpeedRange getZoomCtrlRanges() override { return range(Zoom); }
    SpeedRange getFocusCtrlRanges() override { return range(Focus); }

    // Signs follow the V4L2 controls: positive is right, up, tele, near.
    long movePanOneLeft(int speed) override { return start(Pan, -1, speed); }
    long movePanOneRight(int speed) override { return start(Pan, 1, speed); }
    long moveTiltOneTop(int speed) override { return start(Tilt, 1, speed); }
    long moveTiltOneBottom(int speed) override { return start(Tilt, -1, speed); }
    long stopMoving() override { return stopPanTilt(); }
    long zoomOneIn(int speed) override { return start(Zoom, 1, speed); }
    long zoomOneOut(int speed) override { return start(Zoom, -1, speed); }
    long stopZooming() override { return stop(Zoom); }
    long focusOneIn(int speed) override { return start(Focus, 1, speed); }
    long focusOneOut(int speed) override { return start(Focus, -1, speed); }
    long stopFocusing() override { return stop(Focus); }

    long moveHome() override
    {
        long result = stopMoving();
        if (m_panReset.present || m_tiltReset.present) {
            Writes writes;
            if (m_panReset.present)
                writes.append({m_panReset.id, 1});
            if (m_tiltReset.present)
                writes.append({m_tiltReset.id, 1});
            return worst(result, set(writes));
        }
        Writes writes;
        for (Axis axis : {Pan, Tilt}) {
            const Control &c = m_axes[axis].absolute;
            if (c.present)
                writes.append({c.id, c.def});
        }
        return worst(result, set(writes));
    }

    long moveAbsPTZ(int pan, int tilt, int zoom) override
    {
        long result = stopMoving();
        result = worst(result, stopZooming());
        Writes panTilt;
        const int target[] = {pan, tilt, zoom};
        for (Axis axis : {Pan, Tilt}) {
            const Control &c = m_axes[axis].absolute;
            if (c.present)
                panTilt.append({c.id, qBound(c.min, qint32(target[axis]), c.max)});
        }
        result = worst(result, set(panTilt));
        const Control &z = m_axes[Zoom].absolute;
        if (z.present)
            result = worst(result, set({{z.id, qBound(z.min, qint32(zoom), z.max)}}));
        return result;
    }

    long setAutoFocus(bool on) override
    {
        if (m_fd < 0 || m_lost)
            return -1;
        if (!m_focusAuto.present)
            return 0;
        if (on)
            stop(Focus);
        return set({{m_focusAuto.id, on ? 1 : 0}});
    }

    std::optional<bool> getAutoFocus() override
    {
        const std::optional<long> v = read(m_focusAuto);
        return v ? std::optional<bool>(*v != 0) : std::nullopt;
    }
    std::optional<long> getPan() override { return read(m_axes[Pan].absolute); }
    std::optional<long> getTilt() override { return read(m_axes[Tilt].absolute); }
    std::optional<long> getZoom() override { return read(m_axes[Zoom].absolute); }
    std::optional<long> getFocus() override { return read(m_axes[Focus].absolute); }

private:
    enum Axis
    {
        Pan,
        Tilt,
        Zoom,
        Focus,
        AxisCount
    };
    enum class Drive
    {
        None,
        Speed,         // signed speed control, 0 stops
        RelativeSteps, // signed relative move written every tick
        AbsoluteSteps  // absolute control advanced every tick
    };
    struct Control
    {
        quint32 id = 0;
        bool present = false;
        qint32 min = 0;
        qint32 max = 0;
        qint32 step = 1;
        qint32 def = 0;
    };
    struct AxisState
    {
        Control speed;
        Control absolute;
        Drive drive = Drive::None;
        int direction = 0; // of a stepped move in progress; 0 when idle
        qint32 amount = 0; // per tick
        qint32 position = 0;
        // Absolute targets were written since the last stop: the target may
        // lie ahead of the camera.
        bool targetAhead = false;
    };
    using Writes = QVector<QPair<quint32, qint32>>;

    static long worst(long a, long b) { return std::min(a, b); }

    // Largest speed usable in both directions of a signed speed control.
    static qint32 magnitude(const Control &c)
    {
        return c.present && c.min < 0 ? std::min(-c.min, c.max) : 0;
    }

    bool open(const Node &node)
    {
        m_fd = m_io->open(node.path);
        if (m_fd < 0)
            return false;
        m_node = node;
        m_lost = false;
        const quint32 speedIds[AxisCount] = {V4L2_CID_PAN_SPEED, V4L2_CID_TILT_SPEED,
                                             V4L2_CID_ZOOM_CONTINUOUS, V4L2_CID_FOCUS_RELATIVE};
        const quint32 absoluteIds[AxisCount] = {V4L2_CID_PAN_ABSOLUTE, V4L2_CID_TILT_ABSOLUTE,
                                                V4L2_CID_ZOOM_ABSOLUTE, V4L2_CID_FOCUS_ABSOLUTE};
        for (int i = 0; i < AxisCount; ++i) {
            AxisState &a = m_axes[i];
            a = AxisState();
            a.speed = query(speedIds[i]);
            a.absolute = query(absoluteIds[i]);
            if (magnitude(a.speed) >= 1)
                a.drive = i == Focus ? Drive::RelativeSteps : Drive::Speed;
            else if (a.absolute.present && a.absolute.max > a.absolute.min)
                a.drive = Drive::AbsoluteSteps;
        }
        m_focusAuto = query(V4L2_CID_FOCUS_AUTO);
        m_panReset = query(V4L2_CID_PAN_RESET);
        m_tiltReset = query(V4L2_CID_TILT_RESET);
        if (m_lost) { // gone while being set up
            disconnectDevice();
            return false;
        }
        return true;
    }

    SpeedRange range(Axis axis) const
    {
        const AxisState &a = m_axes[axis];
        switch (a.drive) {
        case Drive::Speed:
        case Drive::RelativeSteps: {
            const qint32 m = magnitude(a.speed);
            return {1, m, qBound(1, std::abs(a.speed.def), m)};
        }
        case Drive::AbsoluteSteps:
            return {1, V4l2Backend::kStepSpeedMax, V4l2Backend::kStepSpeedDefault};
        case Drive::None:
            break;
        }
        return {};
    }

    // Every device call goes through here: once the device is gone nothing
    // more is sent to it.
    int call(unsigned long request, void *arg)
    {
        if (m_fd < 0 || m_lost)
            return -ENODEV;
        const int result = m_io->ioctl(m_fd, request, arg);
        if (isGone(result)) {
            qCWarning(lcCamera) << "USB camera gone:" << m_node.path << m_node.busInfo;
            m_lost = true;
            m_stepTimer.stop();
            for (AxisState &a : m_axes)
                a.direction = 0;
        }
        return result;
    }

    Control query(quint32 id)
    {
        v4l2_queryctrl q{};
        q.id = id;
        Control c;
        c.id = id;
        if (call(VIDIOC_QUERYCTRL, &q) != 0 || (q.flags & V4L2_CTRL_FLAG_DISABLED))
            return c;
        c.present = true;
        c.min = q.minimum;
        c.max = q.maximum;
        c.step = q.step > 0 ? q.step : 1;
        c.def = q.default_value;
        return c;
    }

    // Values of `ids` (camera class) in one call; empty on failure.
    std::optional<QVector<qint32>> readAll(const QVector<quint32> &ids)
    {
        QVector<v4l2_ext_control> controls(ids.size());
        for (int i = 0; i < ids.size(); ++i) {
            controls[i] = v4l2_ext_control{};
            controls[i].id = ids.at(i);
        }
        v4l2_ext_controls request{};
        request.ctrl_class = V4L2_CTRL_CLASS_CAMERA;
        request.count = quint32(controls.size());
        request.controls = controls.data();
        if (call(VIDIOC_G_EXT_CTRLS, &request) != 0)
            return std::nullopt;
        QVector<qint32> values;
        for (const v4l2_ext_control &c : controls)
            values << c.value;
        return values;
    }

    std::optional<long> read(const Control &c)
    {
        if (m_fd < 0 || m_lost)
            return std::nullopt;
        if (!c.present)
            return 0;
        const auto values = readAll({c.id});
        return values ? std::optional<long>(values->first()) : std::nullopt;
    }

    // Writes `writes` (camera class) in one call. A device that refuses the
    // set as a whole gets each control on its own, so that one refused
    // control cannot keep another (a stop) from arriving.
    long set(const Writes &writes)
    {
        if (writes.isEmpty())
            return 0;
        if (m_fd < 0 || m_lost)
            return -1;
        QVector<v4l2_ext_control> controls(writes.size());
        for (int i = 0; i < writes.size(); ++i) {
            controls[i] = v4l2_ext_control{};
            controls[i].id = writes.at(i).first;
            controls[i].value = writes.at(i).second;
        }
        v4l2_ext_controls request{};
        request.ctrl_class = V4L2_CTRL_CLASS_CAMERA;
        request.count = quint32(controls.size());
        request.controls = controls.data();
        if (call(VIDIOC_S_EXT_CTRLS, &request) == 0)
            return 0;
        if (writes.size() == 1 || m_lost)
            return -1;
        long result = 0;
        for (const auto &w : writes)
            result = worst(result, set({w}));
        return result;
    }

    long start(Axis axis, int direction, int speed)
    {
        if (m_fd < 0 || m_lost)
            return -1;
        AxisState &a = m_axes[axis];
        const SpeedRange r = range(axis);
        const qint32 s = qBound(r.min, qint32(speed), r.max);
        switch (a.drive) {
        case Drive::None:
            return 0;
        case Drive::Speed:
            return set({{a.speed.id, direction * s}});
        case Drive::RelativeSteps:
            a.amount = s;
            break;
        case Drive::AbsoluteSteps: {
            const Control &c = a.absolute;
            const qint64 span = qint64(c.max) - c.min;
            qint64 unit =
                span / (qint64(V4l2Backend::kStepSpeedMax) * V4l2Backend::kStepTicksAtMax);
            unit = std::max<qint64>(c.step, unit - unit % c.step);
            a.amount = qint32(std::min<qint64>(unit * s, span));
            const auto now = readAll({c.id});
            if (!now)
                return -1;
            a.position = now->first();
            break;
        }
        }
        a.direction = direction;
        const long result = stepAxes({axis});
        if (a.direction != 0 && !m_stepTimer.isActive())
            m_stepTimer.start();
        return result;
    }

    // Ends the motion of `axes`: speed controls get 0; an absolute axis whose
    // target may lie ahead gets the position read back from the device.
    long stopAxes(const QVector<Axis> &axes)
    {
        Writes writes;
        QVector<quint32> readBack;
        for (Axis axis : axes) {
            AxisState &a = m_axes[axis];
            a.direction = 0;
            if (a.drive == Drive::Speed)
                writes.append({a.speed.id, 0});
            else if (a.drive == Drive::AbsoluteSteps && a.targetAhead)
                readBack << a.absolute.id;
            a.targetAhead = false;
        }
        if (std::none_of(std::begin(m_axes), std::end(m_axes),
                         [](const AxisState &s) { return s.direction != 0; }))
            m_stepTimer.stop();
        long result = 0;
        if (!readBack.isEmpty()) {
            const auto now = readAll(readBack);
            if (now) {
                for (int i = 0; i < readBack.size(); ++i)
                    writes.append({readBack.at(i), now->at(i)});
            } else {
                result = -1;
            }
        }
        return worst(result, set(writes));
    }

    long stop(Axis axis) { return stopAxes({axis}); }
    long stopPanTilt() { return stopAxes({Pan, Tilt}); }

    // One tick of the stepped moves of `axes`, written in one call. Ends a
    // move at the end of travel or on a failed write (an unplugged device
    // must not be written to forever).
    long stepAxes(const QVector<Axis> &axes)
    {
        Writes writes;
        QVector<Axis> written;
        for (Axis axis : axes) {
            AxisState &a = m_axes[axis];
            if (a.direction == 0)
                continue;
            if (a.drive == Drive::RelativeSteps) {
                writes.append({a.speed.id, a.direction * a.amount});
            } else {
                const Control &c = a.absolute;
                const qint64 next = qBound<qint64>(
                    c.min, qint64(a.position) + qint64(a.direction) * a.amount, c.max);
                if (next == a.position) {
                    a.direction = 0;
                    continue;
                }
                writes.append({c.id, qint32(next)});
                a.position = qint32(next);
                a.targetAhead = true;
            }
            written << axis;
        }
        const long result = set(writes);
        if (result < 0) {
            for (Axis axis : written)
                m_axes[axis].direction = 0;
        }
        return result;
    }

    void stepAll()
    {
        if (stepAxes({Pan, Tilt, Zoom, Focus}) < 0)
            qCWarning(lcCamera) << "UVC Control Failed";
        if (std::none_of(std::begin(m_axes), std::end(m_axes),
                         [](const AxisState &s) { return s.direction != 0; }))
            m_stepTimer.stop();
    }

    std::shared_ptr<V4l2DeviceIo> m_io;
    int m_fd = -1;
    bool m_lost = false;
    Node m_node; // opened last
    AxisState m_axes[AxisCount];
    Control m_focusAuto;
    Control m_panReset;
    Control m_tiltReset;
    QTimer m_stepTimer;
};

} // namespace

std::shared_ptr<V4l2DeviceIo> V4l2DeviceIo::system()
{
    return std::make_shared<SystemV4l2Io>();
}

V4l2Backend::V4l2Backend(std::shared_ptr<V4l2DeviceIo> io) : m_io(std::move(io)) {}

QStringList V4l2Backend::listDevices()
{
    QStringList ids;
    for (const Node &node : enumerate(*m_io))
        ids << node.id;
    return ids;
}

QString V4l2Backend::devicePath(const QString &id)
{
    for (const Node &node : enumerate(*m_io)) {
        if (node.id == id)
            return node.path;
    }
    return QString();
}

std::unique_ptr<UsbCameraDevice> V4l2Backend::createDevice()
{
    return std::make_unique<V4l2Device>(m_io, m_stepInterval);
}
