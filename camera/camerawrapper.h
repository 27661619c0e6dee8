#pragma once

#include <QLoggingCategory>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

class QImage;

Q_DECLARE_LOGGING_CATEGORY(lcCamera)

// Allowed speeds of one axis, as the camera reports them.
struct SpeedRange
{
    int32_t min = 0;
    int32_t max = 0;
    int32_t defaultValue = 0;
};

// Last known state of a camera. Position fields of a network camera hold one
// hexadecimal digit (0x0..0xF) per byte, most significant first; a 16-bit
// position whose first digit is 0xF is negative (two's complement). A USB
// camera stores big-endian base-256 bytes in the same fields instead.
// The record is never cleared on disconnect.
struct CameraStatus
{
    uint8_t panTiltPos[8] = {}; // 0-3 pan digits, 4-7 tilt digits
    uint8_t zoomPos[4] = {};
    uint8_t focusPos[4] = {};
    bool autoFocus = false;
    uint8_t iris = 0;    // 0-12, index into the F-stop table
    uint8_t shutter = 1; // 1-17, shutter table index + 1
    uint8_t bright = 0;  // 0-17
    uint8_t aeMode = 0;  // camera byte: 0x00, 0x03, 0x0A, 0x0B or 0x0D
    uint8_t luminance = 0;
    uint8_t contrast = 0;
    uint8_t hue = 0;
    uint8_t wbMode = 0; // camera byte: 0x00-0x03, 0x05
};

// The abstract camera every control path drives. Operations return nothing and
// never fail synchronously: an operation a camera type cannot perform does
// nothing, and asynchronous failures arrive as clientError / clientStateChanged.
// Speeds are passed through unclamped. Main thread only.
class CameraWrapper : public QObject
{
    Q_OBJECT
public:
    enum Type
    {
        NetworkCamera = 0,
        UsbCamera = 1
    };

    CameraWrapper(int cameraType, const QString &cameraId, const QString &cameraName,
                  const QString &deviceName);
    ~CameraWrapper() override;

    CameraStatus &status() { return m_status; }
    const CameraStatus &status() const { return m_status; }

    // Link health, outside the operation table. A camera type whose link
    // cannot drop or go stale ignores the setting and is never stale.
    // Retry a lost connection with back-off until the camera answers or is
    // disconnected (off: at most one immediate reconnect).
    virtual void setAutoReconnect(bool on) { Q_UNUSED(on) }
    // Connected, but the camera has not answered an inquiry for a while.
    virtual bool repliesStale() const { return false; }
    // A command given now reaches the camera: false while a network camera's
    // socket is down or reconnecting (its commands are then dropped).
    virtual bool canSendCommands() const { return true; }
    // Writes one complete VISCA message as it is; true when it was written
    // (a network camera with its connection up). Other camera types, and a
    // network camera without a connection, send nothing and answer false.
    virtual bool sendRawCommand(const QByteArray &message)
    {
        Q_UNUSED(message)
        return false;
    }
    // Video capture device node of a local camera, the one its control
    // session opened ("/dev/video0"); empty for a camera without one.
    virtual QString captureDevicePath() const { return QString(); }
    // Address of live stream 1 or 2 for the preview; empty: none. A network
    // camera's are "rtsp://" + id + "/1" and "/2" unless it has its own.
    virtual QString streamAddress(int stream);
    // The picture a camera without snapshots of its own may take a preset
    // thumbnail from (null image: none now). Cameras with snapshots ignore it.
    virtual void setFrameSource(std::function<QImage()> source) { Q_UNUSED(source) }

public slots:
    // The operations below keep the order of the camera operation table;
    // later code relies on none of the slot indices, only on the names.
    virtual void downloadSnapshot(int presetNum);
    virtual int getCameraType();
    virtual QString getCameraId();
    virtual QString getCameraName();
    virtual QString getDeviceName();
    virtual QString getSerialNumber();
    virtual SpeedRange getPanSpeedRange();
    virtual SpeedRange getTiltSpeedRange();
    virtual SpeedRange getZoomSpeedRange();
    virtual SpeedRange getFocusSpeedRange();
    virtual void connectCamera();
    virtual void disconnectCamera();
    virtual void moveUp(int panSpeed, int tiltSpeed);
    virtual void moveLeft(int panSpeed, int tiltSpeed);
    virtual void moveDown(int panSpeed, int tiltSpeed);
    virtual void moveRight(int panSpeed, int tiltSpeed);
    virtual void moveStop(int panSpeed, int tiltSpeed);
    virtual void zoomStop();
    virtual void moveHome();
    virtual void zoomIn(int speed);
    virtual void zoomOut(int speed);
    virtual void moveUpLeft(int panSpeed, int tiltSpeed);
    virtual void moveUpRight(int panSpeed, int tiltSpeed);
    virtual void moveDownRight(int panSpeed, int tiltSpeed);
    virtual void moveDownLeft(int panSpeed, int tiltSpeed);
    virtual void setAutoFocus(bool on);
    virtual void focusIn(int speed);
    virtual void focusOut(int speed);
    virtual void focusStop();
    virtual void setPreset(int presetNum);
    virtual void callPreset(int presetNum);
    virtual void setIris(int index);
    virtual void setShutter(int index);
    virtual void setBright(int value);
    virtual void brightUp();
    virtual void brightDown();
    virtual void setAeMode(int index);
    virtual void setWBMode(int index);
    virtual void queryZoomPos();
    virtual void queryFocusPos();
    virtual void queryFocusMode();
    virtual void queryShutter();
    virtual void queryIris();
    virtual void queryBright();
    virtual void queryPanTiltPos();
    virtual void queryLuminance();
    virtual void queryContrast();
    virtual void queryHue();
    virtual void queryAeMode();
    virtual void queryWBMode();
    virtual void setLuminance(int value);
    virtual void setContrast(int value);
    virtual void setHue(int value);
    virtual void onePushTrigger();
    virtual void osdMenu();
    virtual void osdEnter();
    virtual void osdBack();
    virtual void setImageFlip(bool on);
    virtual void setImageMirror(bool on);
    virtual void setPresetSpeed(int index);
    // Positions are 16-bit camera positions (0x0000-0xFFFF).
    virtual void setUpRightLimit(int tilt, int pan);
    virtual void setDownLeftLimit(int tilt, int pan);
    virtual void setFocusLock(bool on);
    // Position (0-65535) to whole degrees; the base camera knows no geometry
    // and answers 0.
    virtual int panLeftToDegree(int position);
    virtual int panRightToDegree(int position);
    virtual int tiltUpToDegree(int position);
    virtual int tiltDownToDegree(int position);
    virtual void setMotionSync(bool on);
    virtual void clearPreset(int presetNum);

signals:
    void clientConnected();
    void clientDisconnected();
    void clientError(QString errMsg);
    void clientFinishDownload(int presetNum);
    void clientStatusUpdated();
    void clientStateChanged(QString state);
    void clientReadOneCycle();
    void clientFinishGetName();
    // repliesStale() changed.
    void repliesStaleChanged(bool stale);

protected:
    int cameraType;
    QString cameraId;
    QString cameraName;
    QString deviceName;
    QString serialNumber;
    SpeedRange panSpeedRange;
    SpeedRange tiltSpeedRange;
    SpeedRange zoomSpeedRange;
    SpeedRange focusSpeedRange;
    CameraStatus m_status;
};
