// The V4L2 backend against a scripted device table at the ioctl boundary:
// device listing and ids, speed ranges of signed controls, the control writes
// of motion, stepping, home and absolute moves, and failures.

#include "v4l2backend.h"

#include <QtTest>

#include <linux/videodev2.h>

namespace {

struct Ctrl
{
    qint32 min, max, def, value;
};

struct FakeNode
{
    FakeNode(const QString &p, const QByteArray &c, quint32 caps = V4L2_CAP_VIDEO_CAPTURE,
             bool canOpen = true, const QMap<quint32, Ctrl> &controls = {})
        : path(p), card(c), deviceCaps(caps), openable(canOpen), ctrls(controls)
    {
    }
    QString path;
    QByteArray card;
    quint32 deviceCaps;
    bool openable;
    QMap<quint32, Ctrl> ctrls;
};

const QMap<quint32, QString> kNames = {
    {V4L2_CID_PAN_SPEED, "pan_speed"},        {V4L2_CID_TILT_SPEED, "tilt_speed"},
    {V4L2_CID_ZOOM_CONTINUOUS, "zoom_speed"}, {V4L2_CID_FOCUS_RELATIVE, "focus_rel"},
    {V4L2_CID_PAN_ABSOLUTE, "pan"},           {V4L2_CID_TILT_ABSOLUTE, "tilt"},
    {V4L2_CID_ZOOM_ABSOLUTE, "zoom"},         {V4L2_CID_FOCUS_ABSOLUTE, "focus"},
    {V4L2_CID_PAN_RESET, "pan_reset"},        {V4L2_CID_TILT_RESET, "tilt_reset"},
    {V4L2_CID_FOCUS_AUTO, "focus_auto"}};

// Devices are file descriptors 100 + index. S_CTRL is logged as "name=value"
// and stored; controls in `failing` refuse writes.
class FakeIo : public V4l2DeviceIo
{
public:
    QList<FakeNode> devices;
    QStringList writes;
    QSet<quint32> failing;
    int openCount = 0;

    QStringList nodes() override
    {
        QStringList paths;
        for (const FakeNode &n : devices)
            paths << n.path;
        return paths;
    }
    int open(const QString &path) override
    {
        for (int i = 0; i < devices.size(); ++i) {
            if (devices[i].path == path && devices[i].openable) {
                ++openCount;
                return 100 + i;
            }
        }
        return -1;
    }
    void close(int) override { --openCount; }
    int ioctl(int fd, unsigned long request, void *arg) override
    {
        FakeNode &n = devices[fd - 100];
        if (request == VIDIOC_QUERYCAP) {
            auto *cap = static_cast<v4l2_capability *>(arg);
            memcpy(cap->card, n.card.constData(), qMin<size_t>(n.card.size(), sizeof cap->card));
            cap->capabilities =
                V4L2_CAP_DEVICE_CAPS | V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_META_CAPTURE;
            cap->device_caps = n.deviceCaps;
            return 0;
        }
        if (request == VIDIOC_QUERYCTRL) {
            auto *q = static_cast<v4l2_queryctrl *>(arg);
            if (!n.ctrls.contains(q->id))
                return -1;
            const Ctrl c = n.ctrls[q->id];
            q->minimum = c.min;
            q->maximum = c.max;
            q->default_value = c.def;
            q->step = 1;
            return 0;
        }
        auto *v = static_cast<v4l2_control *>(arg);
        if (!n.ctrls.contains(v->id))
            return -1;
        if (request == VIDIOC_G_CTRL) {
            v->value = n.ctrls[v->id].value;
            return 0;
        }
        if (request == VIDIOC_S_CTRL && !failing.contains(v->id)) {
            writes << QStringLiteral("%1=%2").arg(kNames.value(v->id)).arg(v->value);
            n.ctrls[v->id].value = v->value;
            return 0;
        }
        return -1;
    }
};

} // namespace

Q_DECLARE_METATYPE(Ctrl)

class TestV4l2Backend : public QObject
{
    Q_OBJECT
private slots:
    void listsCaptureNodesWithUsableIds();
    void speedRanges_data();
    void speedRanges();
    void speedsAreSignedAndClamped();
    void missingControlsDoNothing();
    void steppedZoomEndsAtTravelLimit();
    void homeAndAbsoluteMoves();
    void disconnectStopsMotionAndCloses();

private:
    // One camera "Cam" at /dev/video0 with `ctrls`, opened.
    std::unique_ptr<UsbCameraDevice> open(const QMap<quint32, Ctrl> &ctrls);
    std::shared_ptr<FakeIo> io;
    std::unique_ptr<V4l2Backend> backend;
};

std::unique_ptr<UsbCameraDevice> TestV4l2Backend::open(const QMap<quint32, Ctrl> &ctrls)
{
    io = std::make_shared<FakeIo>();
    io->devices = {{"/dev/video0", "Cam", V4L2_CAP_VIDEO_CAPTURE, true, ctrls}};
    backend = std::make_unique<V4l2Backend>(io);
    backend->setStepInterval(1);
    auto device = backend->createDevice();
    if (!device->connectDevice("Cam"))
        return nullptr;
    return device;
}

void TestV4l2Backend::listsCaptureNodesWithUsableIds()
{
    io = std::make_shared<FakeIo>();
    io->devices = {{"/dev/video0", "HD Cam"},
                   {"/dev/video1", "HD Cam", V4L2_CAP_META_CAPTURE},
                   {"/dev/video2", "HD Cam"},
                   {"/dev/video3", "Desk/Room\\1"},
                   {"/dev/video4", "Busy", V4L2_CAP_VIDEO_CAPTURE, false},
                   {"/dev/video5", QByteArray(32, 'X')}};
    V4l2Backend b(io);
    QCOMPARE(b.listDevices(),
             (QStringList{"HD Cam", "HD Cam (2)", "Desk_Room_1", QString(32, 'X')}));
    QCOMPARE(b.devicePath("HD Cam (2)"), QStringLiteral("/dev/video2"));
    QCOMPARE(b.devicePath("Busy"), QString());
    QCOMPARE(io->openCount, 0);
}

void TestV4l2Backend::speedRanges_data()
{
    QTest::addColumn<QList<Ctrl>>("ctrls"); // pan speed, pan absolute; min > max: absent
    QTest::addColumn<QList<int>>("range");
    const Ctrl none{1, 0, 0, 0};
    const Ctrl abs{-36000, 36000, 0, 0};
    QTest::newRow("-1..1") << QList<Ctrl>{{-1, 1, 0, 0}, abs} << QList<int>{1, 1, 1};
    QTest::newRow("-24..24") << QList<Ctrl>{{-24, 24, 0, 0}, none} << QList<int>{1, 24, 1};
    QTest::newRow("asymmetric") << QList<Ctrl>{{-3, 5, 2, 0}, none} << QList<int>{1, 3, 2};
    QTest::newRow("unsigned speed only") << QList<Ctrl>{{0, 7, 3, 0}, none} << QList<int>{0, 0, 0};
    QTest::newRow("absolute only") << QList<Ctrl>{none, abs} << QList<int>{1, 7, 4};
    QTest::newRow("nothing") << QList<Ctrl>{none, none} << QList<int>{0, 0, 0};
}

void TestV4l2Backend::speedRanges()
{
    QFETCH(QList<Ctrl>, ctrls);
    QFETCH(QList<int>, range);
    QMap<quint32, Ctrl> map;
    if (ctrls[0].min <= ctrls[0].max)
        map[V4L2_CID_PAN_SPEED] = ctrls[0];
    if (ctrls[1].min <= ctrls[1].max)
        map[V4L2_CID_PAN_ABSOLUTE] = ctrls[1];
    auto dev = open(map);
    QVERIFY(dev);
    const SpeedRange r = dev->getPanCtrlRanges();
    QCOMPARE((QList<int>{r.min, r.max, r.defaultValue}), range);
}

void TestV4l2Backend::speedsAreSignedAndClamped()
{
    auto dev = open({{V4L2_CID_PAN_SPEED, {-1, 1, 0, 0}},
                     {V4L2_CID_TILT_SPEED, {-5, 5, 0, 0}},
                     {V4L2_CID_ZOOM_CONTINUOUS, {-7, 7, 0, 0}}});
    QVERIFY(dev);
    QCOMPARE(dev->movePanOneLeft(9), 0L);
    dev->movePanOneRight(1);
    dev->moveTiltOneTop(3);
    dev->moveTiltOneBottom(0);
    dev->zoomOneIn(-4);
    dev->zoomOneOut(7);
    dev->stopZooming();
    QCOMPARE(dev->stopMoving(), 0L);
    QCOMPARE(io->writes, (QStringList{"pan_speed=-1", "pan_speed=1", "tilt_speed=3",
                                      "tilt_speed=-1", "zoom_speed=1", "zoom_speed=-7",
                                      "zoom_speed=0", "pan_speed=0", "tilt_speed=0"}));
    io->failing << V4L2_CID_TILT_SPEED;
    QVERIFY(dev->moveTiltOneTop(1) < 0);
    QVERIFY(dev->stopMoving() < 0);
}

void TestV4l2Backend::missingControlsDoNothing()
{
    auto dev = open({});
    QVERIFY(dev);
    QCOMPARE(dev->focusOneIn(3), 0L);
    QCOMPARE(dev->setAutoFocus(true), 0L);
    QCOMPARE(dev->moveAbsPTZ(1, 2, 3), 0L);
    QCOMPARE(dev->getPan(), 0L);
    QVERIFY(!dev->getAutoFocus());
    QVERIFY(io->writes.isEmpty());
}

void TestV4l2Backend::steppedZoomEndsAtTravelLimit()
{
    // 0..2100 at top speed 7: 2100 / (7 * 30) = 10 units per speed step.
    auto dev = open({{V4L2_CID_ZOOM_ABSOLUTE, {0, 2100, 0, 1900}}});
    QVERIFY(dev);
    QCOMPARE(dev->zoomOneIn(7), 0L);
    QCOMPARE(io->writes.value(0), QStringLiteral("zoom=1970"));
    QTRY_COMPARE(io->writes, (QStringList{"zoom=1970", "zoom=2040", "zoom=2100"}));
    QCOMPARE(dev->stopZooming(), 0L);
    QCOMPARE(dev->zoomOneOut(1), 0L);
    QCOMPARE(io->writes.last(), QStringLiteral("zoom=2090"));
    QCOMPARE(dev->stopZooming(), 0L);
}

void TestV4l2Backend::homeAndAbsoluteMoves()
{
    auto dev = open({{V4L2_CID_PAN_ABSOLUTE, {-36000, 36000, 0, 500}},
                     {V4L2_CID_TILT_ABSOLUTE, {-18000, 18000, 100, 0}},
                     {V4L2_CID_ZOOM_ABSOLUTE, {100, 500, 100, 0}}});
    QVERIFY(dev);
    QCOMPARE(dev->getPan(), 500L);
    QCOMPARE(dev->moveAbsPTZ(50000, -3600, 7), 0L);
    QCOMPARE(dev->moveHome(), 0L);
    QCOMPARE(io->writes, (QStringList{"pan=36000", "tilt=-3600", "zoom=100", "pan=0", "tilt=100"}));

    io->writes.clear();
    dev = open({{V4L2_CID_PAN_RESET, {0, 0, 0, 0}}, {V4L2_CID_TILT_RESET, {0, 0, 0, 0}}});
    QVERIFY(dev);
    dev->moveHome();
    QCOMPARE(io->writes, (QStringList{"pan_reset=1", "tilt_reset=1"}));
}

void TestV4l2Backend::disconnectStopsMotionAndCloses()
{
    auto dev = open({{V4L2_CID_PAN_SPEED, {-1, 1, 0, 0}}, {V4L2_CID_TILT_SPEED, {-1, 1, 0, 0}}});
    QVERIFY(dev);
    dev->movePanOneRight(1);
    QCOMPARE(io->openCount, 1);
    dev->disconnectDevice();
    QCOMPARE(io->writes, (QStringList{"pan_speed=1", "pan_speed=0", "tilt_speed=0"}));
    QCOMPARE(io->openCount, 0);
}

QTEST_GUILESS_MAIN(TestV4l2Backend)
#include "tst_v4l2backend.moc"
