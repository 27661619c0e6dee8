// PanTiltLimitDlg: live labels, stored limits and the limit commands, against
// the camera simulator on loopback.

#include "appsettings.h"
#include "camerasimulator.h"
#include "ipcamera.h"
#include "pantiltlimitdlg.h"
#include "recordingcamera.h"
#include "tempdatahome.h"
#include "usbcamera.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

#include <memory>

namespace {

constexpr int kWait = 5000;
const char *const kLimitEdits[] = {"leftLimitEdit", "rightLimitEdit", "downLimitEdit",
                                   "upLimitEdit"};

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

void setDigits(CameraWrapper *camera, quint16 pan, quint16 tilt)
{
    uint8_t *d = camera->status().panTiltPos;
    for (int i = 0; i < 4; ++i) {
        d[i] = (pan >> (12 - 4 * i)) & 0xF;
        d[4 + i] = (tilt >> (12 - 4 * i)) & 0xF;
    }
}

} // namespace

class TestPanTiltLimitDlg : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void storedLimits();
    void labelsFollowStatus_data();
    void labelsFollowStatus();
    void apply_data();
    void apply();
    void arrowsDriveAtSpeedFive();
    void usbCameraStoresZeroAndSendsNothing();
    void destroyedCameraIsNeverTouched();
    void closingWhileHeldStopsTheCamera();

private:
    QString label(PanTiltLimitDlg &dlg, const char *name)
    {
        return dlg.findChild<QLabel *>(QLatin1String(name))->text();
    }
    QString edit(PanTiltLimitDlg &dlg, const char *name)
    {
        return dlg.findChild<QLineEdit *>(QLatin1String(name))->text();
    }
    // The texts of the limit fields, in the order of the stored limits 0-3.
    QStringList limits(PanTiltLimitDlg &dlg)
    {
        QStringList texts;
        for (const char *name : kLimitEdits)
            texts << edit(dlg, name);
        return texts;
    }
    QVariant stored(const QString &key)
    {
        settings->sync();
        return QSettings(settings->fileName(), QSettings::IniFormat).value(key);
    }
    // A network camera connected to a fresh simulator.
    void connectToSimulator();

    std::unique_ptr<TempDataHome> home;
    std::unique_ptr<AppSettings> settings;
    std::unique_ptr<CameraSimulator> sim;
    std::unique_ptr<IPCamera> camera;
    QList<QByteArray> commands;
};

void TestPanTiltLimitDlg::init()
{
    home = std::make_unique<TempDataHome>();
    settings = std::make_unique<AppSettings>();
    camera = std::make_unique<IPCamera>(QStringLiteral("127.0.0.1"), QStringLiteral("Cam"),
                                        QStringLiteral("dev"));
    commands.clear();
}

void TestPanTiltLimitDlg::cleanup()
{
    camera.reset();
    sim.reset();
    settings.reset();
    home.reset();
}

void TestPanTiltLimitDlg::connectToSimulator()
{
    sim = std::make_unique<CameraSimulator>();
    QVERIFY(sim->listen(QHostAddress::LocalHost, 0, 0));
    connect(sim.get(), &CameraSimulator::commandReceived, this,
            [this](const QByteArray &m) { commands << m; });
    camera->setViscaPort(sim->viscaPort());
    camera->setHttpPort(sim->httpPort());
    camera->setPollInterval(10);
    QSignalSpy connected(camera.get(), &CameraWrapper::clientConnected);
    camera->connectCamera();
    QVERIFY(connected.wait(kWait));
}

void TestPanTiltLimitDlg::storedLimits()
{
    {
        PanTiltLimitDlg dlg(nullptr, camera.get(), settings.get());
        QCOMPARE(limits(dlg), (QStringList{"170", "170", "30", "90"}));
    }
    const QList<int> stored = {101, 102, 13, 14};
    for (int k = 0; k < 4; ++k)
        settings->setCameraLimit(QStringLiteral("127.0.0.1"), k, stored[k]);
    PanTiltLimitDlg dlg(nullptr, camera.get(), settings.get());
    QCOMPARE(limits(dlg), (QStringList{"101", "102", "13", "14"}));
}

void TestPanTiltLimitDlg::labelsFollowStatus_data()
{
    QTest::addColumn<int>("pan");
    QTest::addColumn<QString>("panText");
    QTest::addColumn<int>("tilt");
    QTest::addColumn<QString>("tiltText");
    QTest::newRow("right/up corner") << 0x0990 << "Pan(right) :170" << 0x0510 << "Tilt(Up) :90";
    QTest::newRow("left/down corner") << 0xF66F << "Pan(Left) :170" << 0xFE4F << "Tilt(Down) :30";
    QTest::newRow("centre") << 0x0000 << "Pan(right) :0" << 0x0000 << "Tilt(Up) :0";
    QTest::newRow("just left and down") << 0xFFFF << "Pan(Left) :0" << 0xFFFF << "Tilt(Down) :0";
}

void TestPanTiltLimitDlg::labelsFollowStatus()
{
    QFETCH(int, pan);
    QFETCH(QString, panText);
    QFETCH(int, tilt);
    QFETCH(QString, tiltText);
    PanTiltLimitDlg dlg(nullptr, camera.get(), settings.get());
    setDigits(camera.get(), pan, tilt);
    emit camera->clientStatusUpdated();
    QCOMPARE(label(dlg, "panLabel"), panText);
    QCOMPARE(label(dlg, "tiltLabel"), tiltText);
}

void TestPanTiltLimitDlg::apply_data()
{
    // Left down stores limits 0 (pan) and 2 (tilt), right up 1 and 3.
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("simPan"); // simulator steps, signed
    QTest::addColumn<int>("simTilt");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("panDegrees");
    QTest::addColumn<int>("tiltDegrees");
    // Pan 0x0200 is right of centre: the left default 0xF66F applies.
    QTest::newRow("left down, pan on the wrong side")
        << "leftDownBtn" << 0x0200 << -0x0100 << hex("8101060700000f06060f0f0f0000ff") << 170 << 17;
    QTest::newRow("left down, both on the side")
        << "leftDownBtn" << -0x0480 << -0x0100 << hex("8101060700000f0b08000f0f0000ff") << 79 << 17;
    QTest::newRow("right up, both on the side")
        << "rightUpBtn" << 0x0480 << 0x0120 << hex("8101060700010004080000010200ff") << 80 << 20;
    QTest::newRow("right up, both on the wrong side")
        << "rightUpBtn" << -0x0200 << -0x0100 << hex("8101060700010009090000050100ff") << 170 << 90;
}

void TestPanTiltLimitDlg::apply()
{
    QFETCH(QString, button);
    QFETCH(int, simPan);
    QFETCH(int, simTilt);
    QFETCH(QByteArray, bytes);
    QFETCH(int, panDegrees);
    QFETCH(int, tiltDegrees);
    const bool leftDown = button == "leftDownBtn";

    connectToSimulator();
    PanTiltLimitDlg dlg(nullptr, camera.get(), settings.get());
    sim->setPosition(simPan, simTilt, 0, CameraSimulator::kFocusMin);
    // Wait until the poll has read the position.
    const quint16 wantPan = quint16(simPan), wantTilt = quint16(simTilt);
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            const uint8_t *d = camera->status().panTiltPos;
            const int p = d[0] << 12 | d[1] << 8 | d[2] << 4 | d[3];
            const int t = d[4] << 12 | d[5] << 8 | d[6] << 4 | d[7];
            return p == wantPan && t == wantTilt;
        }(),
        kWait);
    commands.clear();

    dlg.findChild<QPushButton *>(button)->click();
    QTRY_COMPARE_WITH_TIMEOUT(commands, QList<QByteArray>{bytes}, kWait);
    const auto limit = [this](int index) {
        return stored(QStringLiteral("cameralimit_%1_127.0.0.1").arg(index)).toInt();
    };
    QCOMPARE(limit(leftDown ? 0 : 1), panDegrees);
    QCOMPARE(limit(leftDown ? 2 : 3), tiltDegrees);
    QCOMPARE(edit(dlg, leftDown ? "leftLimitEdit" : "rightLimitEdit"), QString::number(panDegrees));
    QCOMPARE(edit(dlg, leftDown ? "downLimitEdit" : "upLimitEdit"), QString::number(tiltDegrees));
    if (leftDown)
        QTRY_VERIFY_WITH_TIMEOUT(sim->hasDownLeftLimit(), kWait);
    else
        QTRY_VERIFY_WITH_TIMEOUT(sim->hasUpRightLimit(), kWait);
}

void TestPanTiltLimitDlg::arrowsDriveAtSpeedFive()
{
    connectToSimulator();
    PanTiltLimitDlg dlg(nullptr, camera.get(), settings.get());
    const QList<QPair<const char *, QByteArray>> arrows = {
        {"moveUpBtn", hex("8101060105050301ff")},
        {"moveDownBtn", hex("8101060105050302ff")},
        {"moveLeftBtn", hex("8101060105050103ff")},
        {"moveRightBtn", hex("8101060105050203ff")}};
    QList<QByteArray> expected;
    for (const auto &a : arrows) {
        auto *b = dlg.findChild<QPushButton *>(a.first);
        QTest::mousePress(b, Qt::LeftButton);
        QTest::mouseRelease(b, Qt::LeftButton);
        expected << a.second << hex("8101060105050303ff");
    }
    auto *home = dlg.findChild<QPushButton *>("moveHomeBtn");
    QTest::mousePress(home, Qt::LeftButton);
    QTest::mouseRelease(home, Qt::LeftButton);
    expected << hex("81010604ff");
    QTRY_COMPARE_WITH_TIMEOUT(commands, expected, kWait);
}

void TestPanTiltLimitDlg::usbCameraStoresZeroAndSendsNothing()
{
    USBCamera usb(QStringLiteral("usb-1"), QStringLiteral("Desk"), QStringLiteral("dev"));
    PanTiltLimitDlg dlg(nullptr, &usb, settings.get());
    emit usb.clientStatusUpdated();
    QCOMPARE(label(dlg, "panLabel"), QStringLiteral("Pan(right) :0"));
    dlg.findChild<QPushButton *>("leftDownBtn")->click();
    dlg.findChild<QPushButton *>("rightUpBtn")->click();
    for (int k = 0; k < 4; ++k)
        QCOMPARE(settings->cameraLimit(QStringLiteral("usb-1"), k), 0);
}

// The camera list is rebuilt while the dialog is open: whatever the operator
// presses afterwards touches nothing and stores nothing.
void TestPanTiltLimitDlg::destroyedCameraIsNeverTouched()
{
    auto *rec = new RecordingCamera(QStringLiteral("10.0.0.9"));
    PanTiltLimitDlg dlg(nullptr, rec, settings.get());
    delete rec;
    dlg.findChild<QPushButton *>("leftDownBtn")->click();
    dlg.findChild<QPushButton *>("rightUpBtn")->click();
    QTest::mousePress(dlg.findChild<QPushButton *>("moveUpBtn"), Qt::LeftButton);
    QTest::mouseRelease(dlg.findChild<QPushButton *>("moveUpBtn"), Qt::LeftButton);
    QCOMPARE(settings->cameraLimit(QStringLiteral("10.0.0.9"), 0), 170);
}

void TestPanTiltLimitDlg::closingWhileHeldStopsTheCamera()
{
    RecordingCamera rec(QStringLiteral("10.0.0.9"));
    PanTiltLimitDlg dlg(nullptr, &rec, settings.get());
    QTest::mousePress(dlg.findChild<QPushButton *>("moveLeftBtn"), Qt::LeftButton);
    dlg.reject();
    QCOMPARE(rec.calls, (QStringList{"moveLeft(5,5)", "moveStop(5,5)"}));
}

QTEST_MAIN(TestPanTiltLimitDlg)
#include "tst_pantiltlimitdlg.moc"
