// The V4L2 backend against a scripted device table at the ioctl boundary.

#include "v4l2backend.h"

#include <QtTest>

#include <linux/videodev2.h>

namespace {

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
};

const QMap<quint32, QString> kNames = {
    {V4L2_CID_PAN_SPEED, "pan_speed"},        {V4L2_CID_TILT_SPEED, "tilt_speed"},
    {V4L2_CID_ZOOM_CONTINUOUS, "zoom_speed"}, {V4L2_CID_PAN_ABSOLUTE, "pan"},
    {V4L2_CID_TILT_ABSOLUTE, "tilt"},         {V4L2_CID_ZOOM_ABSOLUTE, "zoom"},
    {V4L2_CID_PAN_RESET, "pan_reset"},        {V4L2_CID_TILT_RESET, "tilt_reset"}};

// Node i is file descriptor 100 + i. S_CTRL is logged as "name=value";
// controls in `failing` refuse writes.
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
            if (devices[i].path == path && devices[i].caps)
                return ++openCount, 100 + i;
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
            cap->capabilities = V4L2_CAP_DEVICE_CAPS | V4L2_CAP_VIDEO_CAPTURE;
            cap->device_caps = n.caps;
            return 0;
        }
        auto *q = static_cast<v4l2_queryctrl *>(arg);
        auto *v = static_cast<v4l2_control *>(arg);
        const quint32 id = request == VIDIOC_QUERYCTRL ? q->id : v->id;
        if (!n.ctrls.contains(id))
            return -1;
        Ctrl &c = n.ctrls[id];
        if (request == VIDIOC_QUERYCTRL) {
            *q = v4l2_queryctrl{};
            q->id = id;
            q->minimum = c.min;
            q->maximum = c.max;
            q->default_value = c.def;
            q->step = 1;
        } else if (request == VIDIOC_G_CTRL) {
            v->value = c.value;
        } else if (request == VIDIOC_S_CTRL && !failing.contains(id)) {
            writes << QStringLiteral("%1=%2").arg(kNames.value(id)).arg(v->value);
            c.value = v->value;
        } else {
            return -1;
        }
        return 0;
    }
};

} // namespace

Q_DECLARE_METATYPE(Ctrls)

class TestV4l2Backend : public QObject
{
    Q_OBJECT
private slots:
    void listsCaptureNodesWithUsableIds();
    void panSpeedRange_data();
    void panSpeedRange();
    void speedsAreSignedClampedAndStopped();
    void steppedZoomEndsAtTravelLimit();
    void homeAndAbsoluteMoves();

private:
    // Camera "Cam" at /dev/video0 with `ctrls`, opened.
    std::unique_ptr<UsbCameraDevice> open(const Ctrls &ctrls)
    {
        io = std::make_shared<FakeIo>();
        io->devices = {{"/dev/video0", "Cam", V4L2_CAP_VIDEO_CAPTURE, ctrls}};
        backend = std::make_unique<V4l2Backend>(io);
        backend->setStepInterval(1);
        auto device = backend->createDevice();
        return device->connectDevice("Cam") ? std::move(device) : nullptr;
    }
    std::shared_ptr<FakeIo> io;
    std::unique_ptr<V4l2Backend> backend;
};

void TestV4l2Backend::listsCaptureNodesWithUsableIds()
{
    io = std::make_shared<FakeIo>();
    io->devices = {{"/dev/video0", "HD Cam"},  {"/dev/video1", "HD Cam", V4L2_CAP_META_CAPTURE},
                   {"/dev/video2", "HD Cam"},  {"/dev/video3", "Desk/Room\\1"},
                   {"/dev/video4", "Busy", 0}, {"/dev/video5", QByteArray(32, 'X')}};
    V4l2Backend b(io);
    QCOMPARE(b.listDevices(),
             (QStringList{"HD Cam", "HD Cam (2)", "Desk_Room_1", QString(32, 'X')}));
    QCOMPARE(b.devicePath("HD Cam (2)"), QStringLiteral("/dev/video2"));
    QCOMPARE(b.devicePath("Busy"), QString());
    QCOMPARE(io->openCount, 0);
}

void TestV4l2Backend::panSpeedRange_data()
{
    QTest::addColumn<Ctrls>("ctrls");
    QTest::addColumn<QList<int>>("range");
    const Ctrl abs{-36000, 36000, 0, 0};
    QTest::newRow("-1..1") << Ctrls{{V4L2_CID_PAN_SPEED, {-1, 1, 0, 0}},
                                    {V4L2_CID_PAN_ABSOLUTE, abs}}
                           << QList<int>{1, 1, 1};
    QTest::newRow("asymmetric") << Ctrls{{V4L2_CID_PAN_SPEED, {-3, 5, 2, 0}}}
                                << QList<int>{1, 3, 2};
    QTest::newRow("unsigned") << Ctrls{{V4L2_CID_PAN_SPEED, {0, 7, 3, 0}}} << QList<int>{0, 0, 0};
    QTest::newRow("absolute only") << Ctrls{{V4L2_CID_PAN_ABSOLUTE, abs}} << QList<int>{1, 7, 4};
}

void TestV4l2Backend::panSpeedRange()
{
    QFETCH(Ctrls, ctrls);
    QFETCH(QList<int>, range);
    auto dev = open(ctrls);
    QVERIFY(dev);
    const SpeedRange r = dev->getPanCtrlRanges();
    QCOMPARE((QList<int>{r.min, r.max, r.defaultValue}), range);
}

void TestV4l2Backend::speedsAreSignedClampedAndStopped()
{
    auto dev = open({{V4L2_CID_PAN_SPEED, {-1, 1, 0, 0}},
                     {V4L2_CID_TILT_SPEED, {-5, 5, 0, 0}},
                     {V4L2_CID_ZOOM_CONTINUOUS, {-7, 7, 0, 0}}});
    QVERIFY(dev);
    QCOMPARE(dev->movePanOneLeft(9), 0L);
    dev->moveTiltOneTop(3);
    dev->moveTiltOneBottom(0);
    dev->zoomOneIn(-4);
    dev->zoomOneOut(7);
    QCOMPARE(dev->focusOneIn(3), 0L); // no focus control: nothing
    QCOMPARE(dev->stopMoving(), 0L);
    io->failing << V4L2_CID_TILT_SPEED;
    QVERIFY(dev->moveTiltOneTop(1) < 0);
    dev->disconnectDevice(); // stops what still moves, then closes
    QCOMPARE(io->writes, (QStringList{"pan_speed=-1", "tilt_speed=3", "tilt_speed=-1",
                                      "zoom_speed=1", "zoom_speed=-7", "pan_speed=0",
                                      "tilt_speed=0", "pan_speed=0", "zoom_speed=0"}));
    QCOMPARE(io->openCount, 0);
    QVERIFY(dev->movePanOneLeft(1) < 0);
}

void TestV4l2Backend::steppedZoomEndsAtTravelLimit()
{
    // 0..2100 at top speed 7: 2100 / (7 * 30) = 10 units per speed step.
    auto dev = open({{V4L2_CID_ZOOM_ABSOLUTE, {0, 2100, 0, 1900}}});
    QVERIFY(dev);
    QCOMPARE(dev->zoomOneIn(7), 0L);
    QCOMPARE(io->writes, QStringList{"zoom=1970"});
    QTRY_COMPARE(io->writes, (QStringList{"zoom=1970", "zoom=2040", "zoom=2100"}));
    dev->zoomOneOut(1);
    QCOMPARE(io->writes.last(), QStringLiteral("zoom=2090"));
    dev->stopZooming();
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

    dev = open({{V4L2_CID_PAN_RESET, {0, 0, 0, 0}}, {V4L2_CID_TILT_RESET, {0, 0, 0, 0}}});
    QVERIFY(dev);
    dev->moveHome();
    QCOMPARE(io->writes, (QStringList{"pan_reset=1", "tilt_reset=1"}));
}

QTEST_GUILESS_MAIN(TestV4l2Backend)
#include "tst_v4l2backend.moc"
