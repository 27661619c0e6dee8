// PanTiltLimitDlg: live labels, stored limits and the limit operations, on
// network cameras that record what they are given. (Wire bytes: tst_visca.)

#include "appsettings.h"
#include "cameracontrol.h"
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

const char *const kLimitEdits[] = {"leftLimitEdit", "rightLimitEdit", "downLimitEdit",
                                   "upLimitEdit"};

// A network camera (its position-to-degree geometry) that is never connected
// and records the operations the dialog gives it.
class LimitCamera : public IPCamera
{
public:
    LimitCamera()
        : IPCamera(QStringLiteral("127.0.0.1"), QStringLiteral("Cam"), QStringLiteral("dev"))
    {
    }
    QStringList calls;
    void setUpRightLimit(int t, int p) override { rec("setUpRightLimit", t, p); }
    void setDownLeftLimit(int t, int p) override { rec("setDownLeftLimit", t, p); }
    void moveUp(int p, int t) override { rec("moveUp", p, t); }
    void moveDown(int p, int t) override { rec("moveDown", p, t); }
    void moveLeft(int p, int t) override { rec("moveLeft", p, t); }
    void moveRight(int p, int t) override { rec("moveRight", p, t); }
    void moveStop(int p, int t) override { rec("moveStop", p, t); }
    void moveHome() override { calls << QStringLiteral("moveHome"); }

private:
    void rec(const char *op, int a, int b)
    {
        calls << QStringLiteral("%1(%2,%3)").arg(QLatin1String(op)).arg(a).arg(b);
    }
};

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
    // A recording camera, selected and connected in `control`, calls cleared;
    // null when it could not be selected.
    static RecordingCamera *selectRecordingCamera(CameraControl &control)
    {
        control.setCameras({new RecordingCamera(QStringLiteral("127.0.1.9"))});
        if (!control.selectCamera(0) || !control.canDrive())
            return nullptr;
        auto *rec = static_cast<RecordingCamera *>(control.camera());
        rec->calls.clear();
        return rec;
    }
    QVariant stored(const QString &key)
    {
        settings->sync();
        return QSettings(settings->fileName(), QSettings::IniFormat).value(key);
    }
    std::unique_ptr<TempDataHome> home;
    std::unique_ptr<AppSettings> settings;
    std::unique_ptr<LimitCamera> camera;
};

void TestPanTiltLimitDlg::init()
{
    home = std::make_unique<TempDataHome>();
    settings = std::make_unique<AppSettings>();
    camera = std::make_unique<LimitCamera>();
}

void TestPanTiltLimitDlg::cleanup()
{
    camera.reset();
    settings.reset();
    home.reset();
}

void TestPanTiltLimitDlg::storedLimits()
{
    {
        PanTiltLimitDlg dlg(nullptr, camera.get(), settings.get(), nullptr);
        QCOMPARE(limits(dlg), (QStringList{"170", "170", "30", "90"}));
    }
    const QList<int> stored = {101, 102, 13, 14};
    for (int k = 0; k < 4; ++k)
        settings->setCameraLimit(QStringLiteral("127.0.0.1"), k, stored[k]);
    PanTiltLimitDlg dlg(nullptr, camera.get(), settings.get(), nullptr);
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
    PanTiltLimitDlg dlg(nullptr, camera.get(), settings.get(), nullptr);
    setDigits(camera.get(), pan, tilt);
    emit camera->clientStatusUpdated();
    QCOMPARE(label(dlg, "panLabel"), panText);
    QCOMPARE(label(dlg, "tiltLabel"), tiltText);
}

void TestPanTiltLimitDlg::apply_data()
{
    // Left down stores limits 0 (pan) and 2 (tilt), right up 1 and 3.
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("pan"); // camera position, signed
    QTest::addColumn<int>("tilt");
    QTest::addColumn<QString>("call"); // limit operation (tilt, pan)
    QTest::addColumn<int>("panDegrees");
    QTest::addColumn<int>("tiltDegrees");
    // Pan 0x0200 is right of centre: the left default 0xF66F applies.
    QTest::newRow("left down, pan on the wrong side")
        << "leftDownBtn" << 0x0200 << -0x0100 << "setDownLeftLimit(65280,63087)" << 170 << 17;
    QTest::newRow("left down, both on the side")
        << "leftDownBtn" << -0x0480 << -0x0100 << "setDownLeftLimit(65280,64384)" << 79 << 17;
    QTest::newRow("right up, both on the side")
        << "rightUpBtn" << 0x0480 << 0x0120 << "setUpRightLimit(288,1152)" << 80 << 20;
    QTest::newRow("right up, both on the wrong side")
        << "rightUpBtn" << -0x0200 << -0x0100 << "setUpRightLimit(1296,2448)" << 170 << 90;
}

void TestPanTiltLimitDlg::apply()
{
    QFETCH(QString, button);
    QFETCH(int, pan);
    QFETCH(int, tilt);
    QFETCH(QString, call);
    QFETCH(int, panDegrees);
    QFETCH(int, tiltDegrees);
    const bool leftDown = button == "leftDownBtn";

    PanTiltLimitDlg dlg(nullptr, camera.get(), settings.get(), nullptr);
    setDigits(camera.get(), quint16(pan), quint16(tilt));
    dlg.findChild<QPushButton *>(button)->click();
    QCOMPARE(camera->calls, QStringList{call});
    const auto limit = [this](int index) {
        return stored(QStringLiteral("cameralimit_%1_127.0.0.1").arg(index)).toInt();
    };
    QCOMPARE(limit(leftDown ? 0 : 1), panDegrees);
    QCOMPARE(limit(leftDown ? 2 : 3), tiltDegrees);
    QCOMPARE(edit(dlg, leftDown ? "leftLimitEdit" : "rightLimitEdit"), QString::number(panDegrees));
    QCOMPARE(edit(dlg, leftDown ? "downLimitEdit" : "upLimitEdit"), QString::number(tiltDegrees));
}

void TestPanTiltLimitDlg::arrowsDriveAtSpeedFive()
{
    CameraControl control(settings.get());
    RecordingCamera *rec = selectRecordingCamera(control);
    QVERIFY(rec);
    PanTiltLimitDlg dlg(nullptr, rec, settings.get(), &control);
    for (const char *name :
         {"moveUpBtn", "moveDownBtn", "moveLeftBtn", "moveRightBtn", "moveHomeBtn"}) {
        auto *b = dlg.findChild<QPushButton *>(name);
        QTest::mousePress(b, Qt::LeftButton);
        QTest::mouseRelease(b, Qt::LeftButton);
    }
    QCOMPARE(rec->calls, (QStringList{"moveUp(5,5)", "moveStop(5,5)", "moveDown(5,5)",
                                      "moveStop(5,5)", "moveLeft(5,5)", "moveStop(5,5)",
                                      "moveRight(5,5)", "moveStop(5,5)", "moveHome"}));

    // A held arrow is a motion of the layer: whatever ends every motion
    // (a switch, a rebuild, a box, focus lost) ends it too.
    rec->calls.clear();
    QTest::mousePress(dlg.findChild<QPushButton *>("moveRightBtn"), Qt::LeftButton);
    control.stopAll();
    QCOMPARE(rec->calls, (QStringList{"moveRight(5,5)", "moveStop(0,0)"}));
    // Once its camera is not the selection, the dialog drives nothing.
    control.clearSelection();
    rec->calls.clear();
    QTest::mouseRelease(dlg.findChild<QPushButton *>("moveRightBtn"), Qt::LeftButton);
    QTest::mousePress(dlg.findChild<QPushButton *>("moveUpBtn"), Qt::LeftButton);
    dlg.reject();
    QCOMPARE(rec->calls, QStringList{});
}

void TestPanTiltLimitDlg::usbCameraStoresZeroAndSendsNothing()
{
    USBCamera usb(QStringLiteral("usb-1"), QStringLiteral("Desk"), QStringLiteral("dev"));
    PanTiltLimitDlg dlg(nullptr, &usb, settings.get(), nullptr);
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
    auto *rec = new RecordingCamera(QStringLiteral("127.0.1.9"));
    PanTiltLimitDlg dlg(nullptr, rec, settings.get(), nullptr);
    delete rec;
    dlg.findChild<QPushButton *>("leftDownBtn")->click();
    dlg.findChild<QPushButton *>("rightUpBtn")->click();
    QTest::mousePress(dlg.findChild<QPushButton *>("moveUpBtn"), Qt::LeftButton);
    QTest::mouseRelease(dlg.findChild<QPushButton *>("moveUpBtn"), Qt::LeftButton);
    QCOMPARE(settings->cameraLimit(QStringLiteral("127.0.1.9"), 0), 170);
}

void TestPanTiltLimitDlg::closingWhileHeldStopsTheCamera()
{
    CameraControl control(settings.get());
    RecordingCamera *rec = selectRecordingCamera(control);
    QVERIFY(rec);
    PanTiltLimitDlg dlg(nullptr, rec, settings.get(), &control);
    QTest::mousePress(dlg.findChild<QPushButton *>("moveLeftBtn"), Qt::LeftButton);
    dlg.reject();
    QCOMPARE(rec->calls, (QStringList{"moveLeft(5,5)", "moveStop(5,5)"}));
}

QTEST_MAIN(TestPanTiltLimitDlg)
#include "tst_pantiltlimitdlg.moc"
