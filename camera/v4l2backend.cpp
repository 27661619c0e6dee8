#include "v4l2backend.h"

#include <QDir>
#include <QTimer>
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
        return r;
    }
};

struct Node
{
    QString id;
    QString path;
};

bool capturesVideo(const v4l2_capability &cap)
{
    const quint32 caps =
        (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    return caps & (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_CAPTURE_MPLANE);
}

// Capture nodes with their ids. Metadata and output nodes of the same camera
// are skipped, so every camera is listed once.
QList<Node> enumerate(V4l2DeviceIo &io)
{
    QStringList paths;
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
        const char *card = reinterpret_cast<const char *>(cap.card);
        cards << QString::fromUtf8(card, int(qstrnlen(card, sizeof cap.card)));
        paths << path;
    }
    const QStringList ids = uniqueUsbCameraIds(cards);
    QList<Node> nodes;
    for (int i = 0; i < ids.size(); ++i)
        nodes.append({ids.at(i), paths.at(i)});
    return nodes;
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
        QString path;
        for (const Node &node : enumerate(*m_io)) {
            if (node.id == id)
                path = node.path;
        }
        if (path.isEmpty())
            return false;
        m_fd = m_io->open(path);
        if (m_fd < 0)
            return false;
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
        return true;
    }

    void disconnectDevice() override
    {
        if (m_fd < 0)
            return;
        for (int i = 0; i < AxisCount; ++i)
            stop(Axis(i));
        m_stepTimer.stop();
        m_io->close(m_fd);
        m_fd = -1;
        for (AxisState &a : m_axes)
            a = AxisState();
        m_focusAuto = m_panReset = m_tiltReset = Control();
    }

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
    long stopMoving() override
    {
        const long pan = stop(Pan);
        return worst(pan, stop(Tilt));
    }
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
            if (m_panReset.present)
                result = worst(result, set(m_panReset.id, 1));
            if (m_tiltReset.present)
                result = worst(result, set(m_tiltReset.id, 1));
            return result;
        }
        for (Axis axis : {Pan, Tilt}) {
            const Control &c = m_axes[axis].absolute;
            if (c.present)
                result = worst(result, set(c.id, c.def));
        }
        return result;
    }

    long moveAbsPTZ(int pan, int tilt, int zoom) override
    {
        long result = stopMoving();
        result = worst(result, stopZooming());
        const int target[] = {pan, tilt, zoom};
        for (Axis axis : {Pan, Tilt, Zoom}) {
            const Control &c = m_axes[axis].absolute;
            if (c.present)
                result = worst(result, set(c.id, qBound(c.min, qint32(target[axis]), c.max)));
        }
        return result;
    }

    long setAutoFocus(bool on) override
    {
        if (!m_focusAuto.present)
            return 0;
        if (on)
            stop(Focus);
        return set(m_focusAuto.id, on ? 1 : 0);
    }

    bool getAutoFocus() override { return m_focusAuto.present && read(m_focusAuto) != 0; }
    long getPan() override { return read(m_axes[Pan].absolute); }
    long getTilt() override { return read(m_axes[Tilt].absolute); }
    long getZoom() override { return read(m_axes[Zoom].absolute); }
    long getFocus() override { return read(m_axes[Focus].absolute); }

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
    };

    static long worst(long a, long b) { return std::min(a, b); }

    // Largest speed usable in both directions of a signed speed control.
    static qint32 magnitude(const Control &c)
    {
        return c.present && c.min < 0 ? std::min(-c.min, c.max) : 0;
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

    Control query(quint32 id)
    {
        v4l2_queryctrl q{};
        q.id = id;
        Control c;
        c.id = id;
        if (m_io->ioctl(m_fd, VIDIOC_QUERYCTRL, &q) != 0 || (q.flags & V4L2_CTRL_FLAG_DISABLED))
            return c;
        c.present = true;
        c.min = q.minimum;
        c.max = q.maximum;
        c.step = q.step > 0 ? q.step : 1;
        c.def = q.default_value;
        return c;
    }

    long read(const Control &c)
    {
        if (!c.present || m_fd < 0)
            return 0;
        v4l2_control v{c.id, 0};
        return m_io->ioctl(m_fd, VIDIOC_G_CTRL, &v) == 0 ? v.value : 0;
    }

    long set(quint32 id, qint32 value)
    {
        if (m_fd < 0)
            return -1;
        v4l2_control v{id, value};
        return m_io->ioctl(m_fd, VIDIOC_S_CTRL, &v) == 0 ? 0 : -1;
    }

    long start(Axis axis, int direction, int speed)
    {
        if (m_fd < 0)
            return -1;
        AxisState &a = m_axes[axis];
        const SpeedRange r = range(axis);
        const qint32 s = qBound(r.min, qint32(speed), r.max);
        switch (a.drive) {
        case Drive::None:
            return 0;
        case Drive::Speed:
            return set(a.speed.id, direction * s);
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
            v4l2_control v{c.id, 0};
            if (m_io->ioctl(m_fd, VIDIOC_G_CTRL, &v) != 0)
                return -1;
            a.position = v.value;
            break;
        }
        }
        a.direction = direction;
        const long result = step(a);
        if (a.direction != 0 && !m_stepTimer.isActive())
            m_stepTimer.start();
        return result;
    }

    long stop(Axis axis)
    {
        AxisState &a = m_axes[axis];
        a.direction = 0;
        if (std::none_of(std::begin(m_axes), std::end(m_axes),
                         [](const AxisState &s) { return s.direction != 0; }))
            m_stepTimer.stop();
        return a.drive == Drive::Speed ? set(a.speed.id, 0) : 0;
    }

    // One tick of a stepped move. Ends the move at the end of travel or on a
    // failed write (an unplugged device must not be written to forever).
    long step(AxisState &a)
    {
        long result = 0;
        if (a.drive == Drive::RelativeSteps) {
            result = set(a.speed.id, a.direction * a.amount);
        } else {
            const Control &c = a.absolute;
            const qint64 next =
                qBound<qint64>(c.min, qint64(a.position) + qint64(a.direction) * a.amount, c.max);
            if (next == a.position) {
                a.direction = 0;
                return 0;
            }
            result = set(c.id, qint32(next));
            a.position = qint32(next);
        }
        if (result < 0)
            a.direction = 0;
        return result;
    }

    void stepAll()
    {
        bool any = false;
        for (AxisState &a : m_axes) {
            if (a.direction == 0)
                continue;
            if (step(a) < 0)
                qCWarning(lcCamera) << "UVC Control Failed";
            any = any || a.direction != 0;
        }
        if (!any)
            m_stepTimer.stop();
    }

    std::shared_ptr<V4l2DeviceIo> m_io;
    int m_fd = -1;
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
