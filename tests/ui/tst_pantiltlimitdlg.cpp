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
// records the limit operations (tilt, pan).
class LimitCamera : public IPCamera
{
public:
    LimitCamera() : IPCamera("127.0.0.1", "Cam", "dev") {}
    void setPosition(quint16 pan, quint16 tilt)
    {
        for (int i = 0; i < 4; ++i) {
            status().panTiltPos[i] = (pan >> (12 - 4 * i)) & 0xF;
            status().panTiltPos[4 + i] = (tilt >> (12 - 4 * i)) & 0xF;
        }
    }
    QStringList calls;
    void setUpRightLimit(int t, int p) override { calls << QString("up(%1,%2)").arg(t).arg(p); }
    void setDownLeftLimit(int t, int p) override { calls << QString("down(%1,%2)").arg(t).arg(p); }
};

template <typename T = QPushButton> T *child(QDialog &dlg, const char *name)
{
    return dlg.findChild<T *>(QLatin1String(name));
}

void click(QDialog &dlg, const char *name)
{
    QTest::mousePress(child(dlg, name), Qt::LeftButton);
    QTest::mouseRelease(child(dlg, name), Qt::LeftButton);
}

} // namespace

class TestPanTiltLimitDlg : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        home = std::make_unique<TempDataHome>();
        settings = std::make_unique<AppSettings>();
    }
    void cleanup()
    {
        settings.reset();
        home.reset();
    }

    void labelsFollowStatus_data()
    {
        QTest::addColumn<int>("pan");
        QTest::addColumn<int>("tilt");
        QTest::addColumn<QString>("texts");
        QTest::newRow("right/up corner") << 0x0990 << 0x0510 << "Pan(right) :170 Tilt(Up) :90";
        QTest::newRow("just left and down") << 0xFFFF << 0xFFFF << "Pan(Left) :0 Tilt(Down) :0";
    }
    void labelsFollowStatus()
    {
        QFETCH(int, pan);
        QFETCH(int, tilt);
        LimitCamera camera;
        PanTiltLimitDlg dlg(nullptr, &camera, settings.get(), nullptr);
        camera.setPosition(pan, tilt);
        emit camera.clientStatusUpdated();
        QTEST(child<QLabel>(dlg, "panLabel")->text() + ' ' +
                  child<QLabel>(dlg, "tiltLabel")->text(),
              "texts");
    }

    // Left down stores limits 0 (pan) and 2 (tilt), right up 1 and 3; a limit
    // on the wrong side of the centre is the default.
    void apply_data()
    {
        QTest::addColumn<bool>("leftDown");
        QTest::addColumn<int>("pan"); // camera position, signed
        QTest::addColumn<int>("tilt");
        QTest::addColumn<QString>("call");
        QTest::addColumn<QList<int>>("stored"); // limits 0-3
        QTest::newRow("left down, pan on the wrong side")
            << true << 0x0200 << -0x0100 << "down(65280,63087)" << QList<int>{170, 101, 17, 90};
        QTest::newRow("left down, both on the side")
            << true << -0x0480 << -0x0100 << "down(65280,64384)" << QList<int>{79, 101, 17, 90};
        QTest::newRow("right up, both on the side")
            << false << 0x0480 << 0x0120 << "up(288,1152)" << QList<int>{101, 80, 30, 20};
        QTest::newRow("right up, both on the wrong side")
            << false << -0x0200 << -0x0100 << "up(1296,2448)" << QList<int>{101, 170, 30, 90};
    }
    void apply()
    {
        QFETCH(bool, leftDown);
        QFETCH(int, pan);
        QFETCH(int, tilt);
        settings->setCameraLimit("127.0.0.1", leftDown ? 1 : 0, 101); // loaded, kept
        LimitCamera camera;
        camera.setPosition(pan, tilt);
        PanTiltLimitDlg dlg(nullptr, &camera, settings.get(), nullptr);
        child(dlg, leftDown ? "leftDownBtn" : "rightUpBtn")->click();
        QTEST(camera.calls.join(""), "call");
        QList<int> stored, shown;
        for (int k = 0; k < 4; ++k)
            stored << settings->cameraLimit("127.0.0.1", k);
        for (const char *edit : {"leftLimitEdit", "rightLimitEdit", "downLimitEdit", "upLimitEdit"})
            shown << child<QLineEdit>(dlg, edit)->text().toInt();
        QCOMPARE(shown, stored);
        QTEST(stored, "stored");
    }

    // The arrows are motions of the layer at speed 5: closing the dialog ends a
    // held one; a camera no longer selected is driven no more.
    void arrowsDriveAtSpeedFiveAndStop()
    {
        CameraControl control(settings.get());
        control.setCameras({new RecordingCamera(QStringLiteral("127.0.1.9"))});
        QVERIFY(control.selectCamera(0) && control.canDrive());
        auto *rec = static_cast<RecordingCamera *>(control.camera());
        rec->calls.clear();
        PanTiltLimitDlg dlg(nullptr, rec, settings.get(), &control);
        for (const char *name : {"moveUpBtn", "moveLeftBtn", "moveHomeBtn"})
            click(dlg, name);
        QTest::mousePress(child(dlg, "moveRightBtn"), Qt::LeftButton);
        dlg.reject();
        QCOMPARE(rec->calls,
                 (QStringList{"moveUp(5,5)", "moveStop(5,5)", "moveLeft(5,5)", "moveStop(5,5)",
                              "moveHome", "moveRight(5,5)", "moveStop(5,5)"}));
        control.clearSelection();
        rec->calls.clear();
        click(dlg, "moveUpBtn");
        QCOMPARE(rec->calls, QStringList{});
    }

    // A USB camera stores limits 0. A camera destroyed while the dialog is
    // open (list rebuilt) is never touched and nothing is stored for it.
    void cameraWithoutLimitsOrGone()
    {
        USBCamera usb("usb-1", "Desk", "dev");
        auto *gone = new RecordingCamera(QStringLiteral("127.0.1.9"));
        PanTiltLimitDlg usbDlg(nullptr, &usb, settings.get(), nullptr);
        PanTiltLimitDlg goneDlg(nullptr, gone, settings.get(), nullptr);
        delete gone;
        for (PanTiltLimitDlg *dlg : {&usbDlg, &goneDlg}) {
            child(*dlg, "leftDownBtn")->click();
            child(*dlg, "rightUpBtn")->click();
            click(*dlg, "moveUpBtn");
        }
        for (int k = 0; k < 4; ++k)
            QCOMPARE(settings->cameraLimit("usb-1", k), 0);
        QCOMPARE(settings->cameraLimit("127.0.1.9", 0), 170);
    }

private:
    std::unique_ptr<TempDataHome> home;
    std::unique_ptr<AppSettings> settings;
};

QTEST_MAIN(TestPanTiltLimitDlg)
#include "tst_pantiltlimitdlg.moc"
