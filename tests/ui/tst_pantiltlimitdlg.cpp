// PanTiltLimitDlg: live labels, stored limits and the limit operations, on
// cameras that record what they are given.
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
#include <QtTest>

#include <memory>

namespace {

// A network camera (its position-to-degree geometry), never connected, that
// records the limit operations.
class LimitCamera : public IPCamera
{
public:
    LimitCamera() : IPCamera("127.0.0.1", "Cam", "dev") {}
    QStringList calls;
    void setUpRightLimit(int t, int p) override
    {
        calls << QStringLiteral("upRight(%1,%2)").arg(t).arg(p);
    }
    void setDownLeftLimit(int t, int p) override
    {
        calls << QStringLiteral("downLeft(%1,%2)").arg(t).arg(p);
    }
};

void setDigits(CameraWrapper *camera, quint16 pan, quint16 tilt)
{
    for (int i = 0; i < 4; ++i) {
        camera->status().panTiltPos[i] = (pan >> (12 - 4 * i)) & 0xF;
        camera->status().panTiltPos[4 + i] = (tilt >> (12 - 4 * i)) & 0xF;
    }
}

} // namespace

class TestPanTiltLimitDlg : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void labelsFollowStatus_data();
    void labelsFollowStatus();
    void apply_data();
    void apply();
    void arrowsDriveAtSpeedFiveAndStop();
    void usbCameraStoresZero();
    void destroyedCameraIsNeverTouched();

private:
    template <typename T = QPushButton> static T *child(QDialog &dlg, const char *name)
    {
        return dlg.findChild<T *>(QLatin1String(name));
    }
    static void click(QDialog &dlg, const char *name)
    {
        QTest::mousePress(child(dlg, name), Qt::LeftButton);
        QTest::mouseRelease(child(dlg, name), Qt::LeftButton);
    }
    // A recording camera, selected and connected in `control`, calls cleared.
    static RecordingCamera *selectRecordingCamera(CameraControl &control)
    {
        control.setCameras({new RecordingCamera(QStringLiteral("127.0.1.9"))});
        if (!control.selectCamera(0) || !control.canDrive())
            return nullptr;
        auto *rec = static_cast<RecordingCamera *>(control.camera());
        rec->calls.clear();
        return rec;
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

void TestPanTiltLimitDlg::labelsFollowStatus_data()
{
    QTest::addColumn<int>("pan");
    QTest::addColumn<int>("tilt");
    QTest::addColumn<QString>("texts");
    QTest::newRow("right/up corner") << 0x0990 << 0x0510 << "Pan(right) :170 Tilt(Up) :90";
    QTest::newRow("left/down corner") << 0xF66F << 0xFE4F << "Pan(Left) :170 Tilt(Down) :30";
    QTest::newRow("centre") << 0x0000 << 0x0000 << "Pan(right) :0 Tilt(Up) :0";
    QTest::newRow("just left and down") << 0xFFFF << 0xFFFF << "Pan(Left) :0 Tilt(Down) :0";
}

void TestPanTiltLimitDlg::labelsFollowStatus()
{
    QFETCH(int, pan);
    QFETCH(int, tilt);
    PanTiltLimitDlg dlg(nullptr, camera.get(), settings.get(), nullptr);
    setDigits(camera.get(), pan, tilt);
    emit camera->clientStatusUpdated();
    QTEST(child<QLabel>(dlg, "panLabel")->text() + ' ' + child<QLabel>(dlg, "tiltLabel")->text(),
          "texts");
}

void TestPanTiltLimitDlg::apply_data()
{
    // Left down stores limits 0 (pan) and 2 (tilt), right up 1 and 3.
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("pan"); // camera position, signed
    QTest::addColumn<int>("tilt");
    QTest::addColumn<QString>("call");       // limit operation (tilt, pan)
    QTest::addColumn<QList<int>>("degrees"); // pan, tilt
    // Pan 0x0200 is right of centre: the left default 0xF66F applies.
    QTest::newRow("left down, pan on the wrong side")
        << "leftDownBtn" << 0x0200 << -0x0100 << "downLeft(65280,63087)" << QList<int>{170, 17};
    QTest::newRow("left down, both on the side")
        << "leftDownBtn" << -0x0480 << -0x0100 << "downLeft(65280,64384)" << QList<int>{79, 17};
    QTest::newRow("right up, both on the side")
        << "rightUpBtn" << 0x0480 << 0x0120 << "upRight(288,1152)" << QList<int>{80, 20};
    QTest::newRow("right up, both on the wrong side")
        << "rightUpBtn" << -0x0200 << -0x0100 << "upRight(1296,2448)" << QList<int>{170, 90};
}

void TestPanTiltLimitDlg::apply()
{
    QFETCH(QString, button);
    QFETCH(int, pan);
    QFETCH(int, tilt);
    QFETCH(QString, call);
    QFETCH(QList<int>, degrees);
    const bool leftDown = button == "leftDownBtn";
    settings->setCameraLimit("127.0.0.1", leftDown ? 1 : 0, 101); // loaded, kept
    PanTiltLimitDlg dlg(nullptr, camera.get(), settings.get(), nullptr);
    setDigits(camera.get(), quint16(pan), quint16(tilt));
    child(dlg, qPrintable(button))->click();
    QCOMPARE(camera->calls, QStringList{call});
    QList<int> stored, shown;
    for (int k = 0; k < 4; ++k)
        stored << settings->cameraLimit("127.0.0.1", k);
    for (const char *edit : {"leftLimitEdit", "rightLimitEdit", "downLimitEdit", "upLimitEdit"})
        shown << child<QLineEdit>(dlg, edit)->text().toInt();
    QCOMPARE(shown, stored);
    const QList<int> expected = leftDown ? QList<int>{degrees[0], 101, degrees[1], 90}
                                         : QList<int>{101, degrees[0], 30, degrees[1]};
    QCOMPARE(stored, expected);
}

// The arrows are motions of the layer at speed 5: whatever ends every motion
// ends a held one; a closed dialog or a camera no longer selected drives
// nothing.
void TestPanTiltLimitDlg::arrowsDriveAtSpeedFiveAndStop()
{
    CameraControl control(settings.get());
    RecordingCamera *rec = selectRecordingCamera(control);
    QVERIFY(rec);
    PanTiltLimitDlg dlg(nullptr, rec, settings.get(), &control);
    for (const char *name : {"moveUpBtn", "moveLeftBtn", "moveHomeBtn"})
        click(dlg, name);
    QTest::mousePress(child(dlg, "moveDownBtn"), Qt::LeftButton);
    control.stopAll();
    QCOMPARE(rec->calls,
             (QStringList{"moveUp(5,5)", "moveStop(5,5)", "moveLeft(5,5)", "moveStop(5,5)",
                          "moveHome", "moveDown(5,5)", "moveStop(0,0)"}));
    QTest::mouseRelease(child(dlg, "moveDownBtn"), Qt::LeftButton);
    rec->calls.clear();
    QTest::mousePress(child(dlg, "moveRightBtn"), Qt::LeftButton);
    dlg.reject();
    QCOMPARE(rec->calls, (QStringList{"moveRight(5,5)", "moveStop(5,5)"}));
    control.clearSelection();
    rec->calls.clear();
    click(dlg, "moveUpBtn");
    QCOMPARE(rec->calls, QStringList{});
}

void TestPanTiltLimitDlg::usbCameraStoresZero()
{
    USBCamera usb("usb-1", "Desk", "dev");
    PanTiltLimitDlg dlg(nullptr, &usb, settings.get(), nullptr);
    child(dlg, "leftDownBtn")->click();
    child(dlg, "rightUpBtn")->click();
    for (int k = 0; k < 4; ++k)
        QCOMPARE(settings->cameraLimit("usb-1", k), 0);
}

// The camera list is rebuilt while the dialog is open: whatever the operator
// presses afterwards touches nothing and stores nothing.
void TestPanTiltLimitDlg::destroyedCameraIsNeverTouched()
{
    auto *rec = new RecordingCamera(QStringLiteral("127.0.1.9"));
    PanTiltLimitDlg dlg(nullptr, rec, settings.get(), nullptr);
    delete rec;
    child(dlg, "leftDownBtn")->click();
    child(dlg, "rightUpBtn")->click();
    click(dlg, "moveUpBtn");
    QCOMPARE(settings->cameraLimit("127.0.1.9", 0), 170);
}

QTEST_MAIN(TestPanTiltLimitDlg)
#include "tst_pantiltlimitdlg.moc"
