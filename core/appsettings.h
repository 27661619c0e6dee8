#pragma once

#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "cameralinkconfig.h"
#include <memory>

#include <optional>

Q_DECLARE_LOGGING_CATEGORY(lcApp)

class QSettings;
class QTemporaryDir;

// One stored camera entry of `cameraslist`.
struct CameraSlot
{
    int type = 0; // 0 network camera, 1 USB camera
    QString id;
    QString name;
    QString deviceName;
    // Network camera link keys (`protocol`, `port`, `httpport`, `address`,
    // `baud`, `stream1`, `stream2`; only values other than the defaults are
    // stored). nullopt: the keys already stored for the slot are kept when
    // its `cameraid` is unchanged, and dropped otherwise.
    std::optional<CameraLinkConfig> link;
};

// A colour, 0 to 255 per component.
struct BoxColor
{
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const BoxColor &o) const
    {
        return red == o.red && green == o.green && blue == o.blue;
    }
};

// What a camera slot's tally does, stored in the group `tally` as
// <slot>\obs, <slot>\vmix, <slot>\command, <slot>\program, <slot>\preview
// and <slot>\off (slot 1-8).
struct TallySlotSetting
{
    QString obs;     // OBS scene name; empty: not tied to OBS
    QString vmix;    // vMix input number, key or title; empty: not tied to vMix
    int command = 0; // 0 no lamp command, 1 the camera's tally lamp, 2 custom
    // Custom commands as hexadecimal text, sent on program, on preview and
    // when idle; empty: nothing is sent for that state.
    QString program;
    QString preview;
    QString off;
};

// Typed façade over settings.ini (Qt INI format) in the per-user folder. The
// key spellings below are the persistent file format: keys are flat, built by
// concatenating a fixed word, the camera id and a decimal number. Values are
// stored unvalidated; getters return the documented default when a key is
// absent. A setter writes only when the value differs from the stored one, so
// an unchanged setting never rewrites the file. Changes reach the file when
// control returns to the event loop, or at once through commit(); a write the
// file refuses is reported (storeFailed), not lost in silence. Text is UTF-8
// on disk, characters outside the Basic Multilingual Plane included; files
// with Qt's \x escapes still load. A file that exists but cannot be read is
// never written over: the store then runs on defaults for the session
// (loadProblem) and every commit fails. Main thread only.
class AppSettings : public QObject
{
    Q_OBJECT
public:
    // Entries of `cameraslist` that are read; the panel has this many slots.
    static constexpr int kMaxCameras = 8;

    explicit AppSettings(QObject *parent = nullptr);
    ~AppSettings() override;

    // Full path of the INI file.
    QString fileName() const;
    // Writes pending changes now (used before an immediate process exit).
    void sync();
    // Writes pending changes now. False when the file could not be written
    // (the changes are then not on disk); the first failure after a success
    // is also announced through storeFailed.
    bool commit();
    // Why settings.ini could not be read at start-up; empty when it could.
    QString loadProblem() const { return m_loadProblem; }

    // --- global ---
    bool startupOnLaunch() const;
    // `previewonlaunch` (not in files of earlier versions; default false): the
    // preview window opens with the first camera connected, as if the
    // operator had opened it.
    bool previewOnLaunch() const;
    void setPreviewOnLaunch(bool on);
    void setStartupOnLaunch(bool on);
    QString serverNic() const;
    void setServerNic(const QString &nic);
    int serverPortNum() const;
    void setServerPortNum(int port);
    // `serverportnum` as a port to listen on: the stored value must be a
    // whole number in 1-65535 (no text, fraction, overflow or 0, which would
    // bind a random port); nullopt otherwise.
    std::optional<quint16> serverListenPort() const;
    static std::optional<quint16> toListenPort(const QVariant &stored);
    bool useDarkTheme() const;
    void setUseDarkTheme(bool dark);
    QString obsIp() const;
    void setObsIp(const QString &ip);
    int obsPort() const;
    void setObsPort(int port);
    QString obsPwd() const;
    void setObsPwd(const QString &pwd);
    bool enableObsCtrl() const;
    void setEnableObsCtrl(bool on);
    QString vmixIp() const;
    void setVmixIp(const QString &ip);
    int vmixPort() const;
    void setVmixPort(int port);
    QString vmixId() const;
    void setVmixId(const QString &id);
    QString vmixPwd() const;
    void setVmixPwd(const QString &pwd);
    bool enableVmixCtrl() const;
    void setEnableVmixCtrl(bool on);
    bool isJoystickAvailable() const;
    void setJoystickAvailable(bool on);
    int selectedJoystick() const;
    void setSelectedJoystick(int index);
    bool isHotkeyAvailable() const;
    void setHotkeyAvailable(bool on);
    QString snapshotPath() const;
    void setSnapshotPath(const QString &path);
    // Retry a dropped network camera with back-off (false: one reconnect).
    bool autoReconnect() const;
    void setAutoReconnect(bool on);
    // `serverhostnames`: extra names (comma-separated, e.g.
    // "panel.studio.lan,ptz-desk") under which browsers may reach the web
    // server besides IP literals, localhost and this machine's own name.
    // Empty when absent.
    QStringList serverHostNames() const;
    void setServerHostNames(const QStringList &names);
    // `requireaccesskey` (default false): the web server asks every client for
    // `accesskey`. The key is a secret: never log it.
    bool requireAccessKey() const;
    void setRequireAccessKey(bool on);
    QString accessKey() const;
    void setAccessKey(const QString &key);

    // --- tally (group `tally`) ---
    // slot 1-8; other slots read as the defaults and are never written.
    TallySlotSetting tallySlot(int slot) const;
    void setTallySlot(int slot, const TallySlotSetting &setting);
    // `protectlive`: 0 off, 1 preset recalls refused on the camera on
    // program, 2 recalls and motion starts refused. Default 0.
    int protectLive() const;
    void setProtectLive(int level);

    // --- camera list ---
    // The stored `cameraslist` entries, at most kMaxCameras, slot 1 first.
    // An unknown `cameratype` reads as a network camera; network entries
    // carry their link keys. The control layer builds the camera objects from
    // these (cameralist.h).
    QList<CameraSlot> cameraSlots() const;
    // Writes the given entries as `cameraslist`, slot 1 first.
    void saveCameraSlots(const QList<CameraSlot> &entries);

    // --- per camera ---
    int panSpeedIndex(const QString &id) const;
    void setPanSpeedIndex(const QString &id, int index);
    int tiltSpeedIndex(const QString &id) const;
    void setTiltSpeedIndex(const QString &id, int index);
    int zoomSpeedIndex(const QString &id) const;
    void setZoomSpeedIndex(const QString &id, int index);
    int focusSpeedIndex(const QString &id) const;
    void setFocusSpeedIndex(const QString &id, int index);
    bool panTiltLocked(const QString &id) const;
    void setPanTiltLocked(const QString &id, bool locked);
    // Limit K: 0 and 1 default 170, 2 defaults 30, 3 defaults 90; K > 3 reads
    // nothing and answers 170.
    int cameraLimit(const QString &id, int k) const;
    void setCameraLimit(const QString &id, int k, int value);
    bool wrapperVisibility(const QString &id) const;
    void setWrapperVisibility(const QString &id, bool visible);
    bool pictureInPictureVisibility(const QString &id) const;
    void setPictureInPictureVisibility(const QString &id, bool visible);
    QPoint pictureInPicturePos(const QString &id) const;
    void setPictureInPicturePos(const QString &id, const QPoint &pos);
    QString snapshotBack(const QString &id) const;
    void setSnapshotBack(const QString &id, const QString &file);
    int snapshotBackType(const QString &id) const;
    void setSnapshotBackType(const QString &id, int type);

    // --- per camera and memory preset (n = 1..9) ---
    QString presetName(const QString &id, int n) const;
    void setPresetName(const QString &id, int n, const QString &name);
    int presetAeMode(const QString &id, int n) const;
    void setPresetAeMode(const QString &id, int n, int index);
    int presetShutterSpeed(const QString &id, int n) const;
    void setPresetShutterSpeed(const QString &id, int n, int index);
    int presetIris(const QString &id, int n) const;
    void setPresetIris(const QString &id, int n, int index);
    int presetBrightness(const QString &id, int n) const;
    void setPresetBrightness(const QString &id, int n, int index);
    int presetLuminance(const QString &id, int n) const;
    void setPresetLuminance(const QString &id, int n, int value);
    int presetContrast(const QString &id, int n) const;
    void setPresetContrast(const QString &id, int n, int value);
    int presetHue(const QString &id, int n) const;
    void setPresetHue(const QString &id, int n, int value);
    int presetWbMode(const QString &id, int n) const;
    void setPresetWbMode(const QString &id, int n, int index);

    // --- per camera and image-preview-map box (n = box number) ---
    bool boxVisibility(const QString &id, int n) const;
    void setBoxVisibility(const QString &id, int n, bool visible);
    int centerType(const QString &id, int n) const;
    void setCenterType(const QString &id, int n, int type);
    QPoint customPresetPos(const QString &id, int n) const;
    void setCustomPresetPos(const QString &id, int n, const QPoint &pos);
    QString customPresetTitle(const QString &id, int n) const;
    void setCustomPresetTitle(const QString &id, int n, const QString &title);
    QString snapshotBox(const QString &id, int n) const;
    void setSnapshotBox(const QString &id, int n, const QString &file);
    int snapshotBoxType(const QString &id, int n) const;
    void setSnapshotBoxType(const QString &id, int n, int type);
    // Stored swapped: "snapshotboxcolor_g" holds blue, "snapshotboxcolor_b"
    // green. Files written by earlier versions depend on that layout.
    // Components outside 0-255 in the file read clamped.
    BoxColor snapshotBoxColor(const QString &id, int n) const;
    void setSnapshotBoxColor(const QString &id, int n, const BoxColor &color);

signals:
    // A write to settings.ini failed; message says so for the operator.
    // Emitted once per run of failures (again only after a write succeeded).
    void storeFailed(const QString &message);

private:
    // setValue unless the stored value already equals value.
    void store(const QString &key, const QVariant &value);
    // A commit when control returns to the event loop.
    void scheduleCommit();
    // A fresh QSettings over the same file and pending changes, with a clear
    // status (QSettings keeps the first error it met for good).
    void reopen();
    QSettings *openSettings(const QString &file) const;

    QSettings *m_settings;
    QString m_loadProblem;
    // Holds the session's stand-in file while settings.ini is unreadable.
    std::unique_ptr<QTemporaryDir> m_scratch;
    bool m_commitScheduled = false;
    bool m_failureReported = false;
};
