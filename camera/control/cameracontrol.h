#pragma once

#include "camerawrapper.h"

#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

Q_DECLARE_LOGGING_CATEGORY(lcControl)

class AppSettings;
class ExposureReplay;

// Exposure, image and white-balance values kept with a memory preset: list
// indices of the AE mode, shutter, iris, brightness and white-balance lists and
// the luminance, contrast and hue slider values (0-14).
struct PresetExposure
{
    int aeMode = 0;
    int shutter = 0;
    int iris = 0;
    int bright = 0;
    int luminance = 7;
    int contrast = 7;
    int hue = 7;
    int wbMode = 0;
};

// "The selected camera": the one way every control path (panel buttons,
// hotkeys, game controller, dialogs, preview, web API) drives a camera.
//
// Owns the camera objects of the eight slots (slot 1 at index 0) and the
// selection. The selected camera is held guarded: camera() is nullptr when
// nothing is selected or the object is gone, and every operation checks
// canDrive() (selected, alive, and reported connected) before it sends.
//
// Stops always arrive: each running pan/tilt, zoom and focus motion remembers
// the camera it was sent to; its stop goes to that camera, also after the
// selection moved on. stopAll() ends every running motion; it runs before a
// camera switch (before the previous camera is told to disconnect), before the
// list is released, and whenever a caller loses the operator's attention (the
// application loses focus, a box or a modal dialog opens).
//
// A stop that cannot be written because the camera's link is down (a network
// camera reconnecting) is owed: it is sent first when that camera's connection
// is back, and dropped only when the camera is released. A motion is forgotten
// once its stop was written to a live link or became owed.
//
// Camera signals are received here (direct connections, inside the camera's
// socket handlers) and re-emitted for the selected camera only. Receivers that
// show UI or may block connect with Qt::QueuedConnection and re-check state
// when they run. Main thread only.
class CameraControl : public QObject
{
    Q_OBJECT
public:
    static constexpr int kCameraSlots = 8;
    // Pan and tilt share one index under the lock; a network camera's tilt
    // list has 20 entries, so the shared index stops at 19.
    static constexpr int kLockedSpeedIndexMax = 19;
    // Ticking the lock selects this index on both axes.
    static constexpr int kLockSpeedIndex = 6;
    // A speed list never grows past what a speed byte can carry.
    static constexpr int kMaxSpeedEntries = 256;

    enum Axis
    {
        Pan = 0,
        Tilt = 1,
        Zoom = 2,
        Focus = 3
    };
    enum Direction
    {
        Up,
        Down,
        Left,
        Right,
        UpLeft,
        UpRight,
        DownLeft,
        DownRight
    };
    // Targets of the stored-exposure replay stages, in stage order.
    enum ExposureStage
    {
        StageAeMode = 0,
        StageShutter = 1,
        StageIris = 2,
        StageBright = 3,
        StageLuminance = 4,
        StageContrast = 5,
        StageHue = 6,
        StageWbMode = 7
    };

    // settings may be null (no per-camera speeds or presets are then kept).
    explicit CameraControl(AppSettings *settings, QObject *parent = nullptr);
    // Stops every running motion, then deletes the cameras directly (the event
    // loop has ended by then; a USB camera closes its device).
    ~CameraControl() override;

    AppSettings *settings() const { return m_settings; }

    // --- Camera list ---
    // Takes ownership of `cameras` (slots 1..8; entries past 8 are kept but
    // never selected). Call releaseCameras() first when a list is present.
    void setCameras(const QList<CameraWrapper *> &cameras);
    // Safe rebuild, first half: stops every running motion, disconnects the
    // selected camera, emits aboutToReleaseCameras() (holders let go now),
    // clears the selection (currentCameraChanged(nullptr, -1)) and releases
    // every camera with deleteLater (none is destroyed while it emits).
    void releaseCameras();
    // releaseCameras(), then the stored camera list (`cameraslist`) filled up
    // to eight network cameras "Camera<n>" with id and device "0.0.0.0";
    // emits camerasChanged(). Without settings only the fill-up is made.
    void rebuildCameras();
    // The list (slot 1 first); a destroyed camera reads as nullptr.
    QList<CameraWrapper *> cameras() const;
    CameraWrapper *cameraAt(int index) const;
    int cameraCount() const { return m_cameras.size(); }

    // --- Selection ---
    // Selects slot `index` (0-7): stops every running motion (on the cameras
    // they were sent to), disconnects the previous camera when it is another
    // object, makes `index` current and asks it to connect (again, when it is
    // already current: a network camera then reports its state). Returns
    // false (and changes nothing) for an index outside the list.
    bool selectCamera(int index);
    // Leaves no camera selected: stops every running motion, disconnects the
    // selected camera and emits currentCameraChanged(nullptr, -1).
    void clearSelection();
    // The selected camera, nullptr when none or when it has been destroyed.
    CameraWrapper *camera() const { return m_current.data(); }
    int currentIndex() const { return m_current ? m_currentIndex : -1; }
    // The selected camera reported clientConnected and not clientDisconnected
    // since. (A network camera reports a dropped socket only as a state
    // change; the flag stays set while it reconnects by itself.)
    bool isConnected() const { return m_connected && m_current; }
    // A camera is selected, alive and connected: operations will be sent.
    bool canDrive() const { return isConnected(); }
    // The selected camera is connected but its replies have stopped.
    bool repliesStale() const { return m_current && m_current->repliesStale(); }

    // Retry dropped connections with back-off, on every camera of the list,
    // also on those a later setCameras() brings. Off by default.
    void setAutoReconnect(bool on);
    bool autoReconnect() const { return m_autoReconnect; }
    // Runs op on the selected camera when canDrive(); true when it ran. For
    // stateless commands (exposure, OSD, flip, ...); motions use the
    // operations below so their stops are tracked.
    bool send(const std::function<void(CameraWrapper &)> &op);

    // --- Speeds ---
    // Each axis has a list of speed values (from the camera's range, see
    // speedValuesFor) and a selected index. Before any connection every list
    // is {0}. Speeds are what is sent: the value at the selected index.
    QList<int> speedValues(Axis axis) const { return m_speeds[axis].values; }
    int speedIndex(Axis axis) const { return m_speeds[axis].index; }
    int speed(Axis axis) const;
    bool panTiltLocked() const { return m_panTiltLocked; }
    // Selects an index. Pan or tilt under the lock: both take the shared
    // index (clamped to 19 and to both lists). Stores the indices in effect
    // per camera while canDrive(). Emits speedsChanged() when anything moved.
    void setSpeedIndex(Axis axis, int index);
    // Lock on: both pan and tilt take index 6 (clamped as above). Stores the
    // lock (and the indices) while canDrive().
    void setPanTiltLocked(bool locked);
    // Values of a speed list for a range: first..max, first being 1 when
    // min is 0 and max > 0, 0 when max is 0, else min; at most 256 entries.
    static QList<int> speedValuesFor(int min, int max);

    // --- Motion ---
    // Pan/tilt drive on the selected camera with the selected speeds: Up and
    // Down (0, tilt), Left and Right (pan, 0), diagonals (pan, tilt).
    bool move(Direction direction);
    // The same with explicit speeds (game controller, dialogs, web API).
    bool move(Direction direction, int panSpeed, int tiltSpeed);
    // moveStop(panSpeed, tiltSpeed) on the camera the running move was sent
    // to; without a running move, on the selected camera when canDrive().
    bool stopMove(int panSpeed = 0, int tiltSpeed = 0);
    bool moveHome();
    // Zoom tele (in) / wide (out) at the selected zoom speed, or at `speed`.
    bool zoomIn();
    bool zoomOut();
    bool zoomIn(int speed);
    bool zoomOut(int speed);
    bool stopZoom();
    // Focus near (in) / far (out) at the selected focus speed, or at `speed`.
    bool focusIn();
    bool focusOut();
    bool focusIn(int speed);
    bool focusOut(int speed);
    bool stopFocus();
    // Ends every running motion on the camera it was sent to: moveStop(0, 0),
    // zoomStop, focusStop for those running; nothing for idle axes.
    void stopAll();
    // Stops owed to `camera` (see above), 0-3.
    int owedStops(const CameraWrapper *camera) const;
    bool isMoving() const { return !m_moveTarget.isNull(); }
    bool isZooming() const { return !m_zoomTarget.isNull(); }
    bool isFocusing() const { return !m_focusTarget.isNull(); }

    // --- Protection ---
    // What the guard is asked about: a preset recall, or the start of a
    // pan/tilt, home, zoom or focus motion. Stops are never asked about.
    enum Guarded
    {
        GuardedRecall,
        GuardedMove
    };
    // Returns the refusal text for `what` on camera slot `slot` (0-7), or an
    // empty text to let it run. Asked by every recall and motion start on a
    // camera that can be driven; a refusal sends nothing and emits refused().
    using Guard = std::function<QString(int slot, Guarded what)>;
    void setGuard(Guard guard) { m_guard = std::move(guard); }
    // The guard's answer for the selected camera now; empty without a guard
    // or a selected camera.
    QString refusal(Guarded what) const;

    // --- Presets ---
    // callPreset(n) on the selected camera, then the stored-exposure replay
    // of preset n (when store-exposure is on; see exposureStageDue).
    bool recallPreset(int n);
    // callPreset(n) alone (no stored exposure follows), guarded as a recall.
    bool recallPresetPosition(int n);
    // The stored-exposure replay of preset n alone, from stage firstStage
    // (0-7): stage firstStage now, each later one an interval after the
    // previous. Each stage runs only while the camera it was started for is
    // selected and connected and store-exposure is on; a camera switch, a
    // disconnection or a connection state other than "Connected" ends it.
    bool replayStoredExposure(int n, int firstStage = 0);
    // Stores the position: downloadSnapshot(n) first when `snapshot`, then
    // setPreset(n).
    bool storePresetPosition(int n, bool snapshot);
    // clearPreset(n) on the camera, then clearPresetSettings for it.
    bool clearPreset(int n);
    // Name of preset n of camera `cameraId` and, when `exposure` is given,
    // its eight stored exposure values.
    void savePresetSettings(const QString &cameraId, int n, const QString &name,
                            const PresetExposure *exposure);
    // Empty name and all eight stored exposure values 0.
    void clearPresetSettings(const QString &cameraId, int n);
    PresetExposure storedExposure(const QString &cameraId, int n) const;

    // Whether exposure is stored with and replayed after presets (the panel's
    // check box); read by every replay stage when it runs.
    void setStoreExposure(bool on) { m_storeExposure = on; }
    bool storeExposure() const { return m_storeExposure; }
    // The stage plan: whether `stage` applies for stored values `v`, and the
    // value it sets. Stage 0 and 4-7 always; 1 for AE mode 1 or 2; 2 for AE
    // mode 1 or 3; 3 for AE mode 4.
    static bool exposureStageValue(const PresetExposure &v, int stage, int *value);
    // Interval between two replay stages; 500 ms unless changed (tests).
    void setExposureReplayInterval(int ms);
    // Ends every running replay.
    void stopExposureReplay();
    int runningReplays() const;

signals:
    // The selection changed (camera may be nullptr, index -1).
    void currentCameraChanged(CameraWrapper *camera, int index);
    // Emitted by releaseCameras() while the cameras are still alive: every
    // holder of a camera pointer (dialogs, preview, input) lets go now.
    void aboutToReleaseCameras();
    // A new list was set (names may have changed).
    void camerasChanged();
    void speedsChanged();

    // Signals of the selected camera (others are handled here and dropped).
    void connected();
    // The selected camera reported clientDisconnected; the selection is
    // cleared first (currentCameraChanged(nullptr, -1)).
    void disconnected();
    void stateChanged(const QString &state);
    void statusUpdated();
    void readOneCycle();
    void downloadFinished(int presetNum);
    void nameGetFinished();
    void repliesStaleChanged(bool stale);
    // clientError of any camera.
    void cameraError(const QString &message);
    // The guard refused an operation; message names the camera and why.
    void refused(const QString &message);

    // A replay stage of preset n is due: the panel sets the widget of
    // `stage` to `value`, whose own slot sends it. Not emitted for stages
    // whose condition fails.
    void exposureStageDue(int stage, int value);

private:
    struct SpeedList
    {
        QList<int> values{0};
        int index = 0;
    };

    void wireCamera(CameraWrapper *camera);
    bool isCurrent(QObject *sender) const;
    void onCameraConnected();
    void onCameraDisconnected();
    void onCameraStateChanged(const QString &state);
    // Speed lists and lock of the selected camera from its ranges and its
    // stored per-camera indices (after each connection).
    void applyCameraControlSettings();
    int lockedSpeedIndex(int index) const;
    void storeSpeedIndex(Axis axis);
    struct OwedStop
    {
        QPointer<CameraWrapper> camera;
        Axis axis;
        int panSpeed;
        int tiltSpeed;
    };

    bool startMove(CameraWrapper *camera, Direction direction, int panSpeed, int tiltSpeed);
    // Zoom or focus on the selected camera; a running one on another camera
    // is stopped first.
    bool startLens(Axis axis, void (CameraWrapper::*op)(int), int speed);
    // Ends the motion of `axis` (Pan stands for pan/tilt) whose target was
    // `target`; nullptr means "the selected camera when it can be driven".
    bool stopAxis(Axis axis, QPointer<CameraWrapper> &target, int panSpeed, int tiltSpeed);
    // Writes the stop when the camera's link is up; owes it otherwise.
    void deliverStop(CameraWrapper *camera, Axis axis, int panSpeed, int tiltSpeed);
    // Writes the stops owed to `camera` once its link is up again.
    void sendOwedStops(CameraWrapper *camera);
    static void writeStop(CameraWrapper *camera, Axis axis, int panSpeed, int tiltSpeed);
    bool runExposureStage(QObject *camera, int presetNum, int stage);
    // True (and refused() emitted) when the guard refuses `what`.
    bool refuse(Guarded what);

    AppSettings *m_settings;
    QList<QPointer<CameraWrapper>> m_cameras;
    QPointer<CameraWrapper> m_current;
    int m_currentIndex = -1;
    bool m_connected = false;
    SpeedList m_speeds[4];
    bool m_panTiltLocked = false;
    QPointer<CameraWrapper> m_moveTarget;
    QPointer<CameraWrapper> m_zoomTarget;
    QPointer<CameraWrapper> m_focusTarget;
    QList<OwedStop> m_owedStops;
    bool m_storeExposure = false;
    bool m_autoReconnect = false;
    ExposureReplay *m_replay = nullptr;
    Guard m_guard;
};
