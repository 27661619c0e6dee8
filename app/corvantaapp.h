#pragma once

#include "webserversettings.h"

#include <QApplication>
#include <QList>
#include <QLoggingCategory>

#include <memory>

Q_DECLARE_LOGGING_CATEGORY(lcApp)

class AppSettings;
class CameraApiHandler;
class CameraApiPanel;
class CameraControl;
class CameraWrapper;
class HttpServerWrapper;
class MainWindow;
class MessagePresenter;
class ObsApiHandler;
class ObsWrapper;
class TallyApiHandler;
class TallyLamps;
class TallyModel;
class VMixApiHandler;
class VMixWrapper;
class QJoysticks;

// The application object: owns the settings store, the control layer (which
// owns the eight camera objects), the message presenter and the main window
// (and the web server and switcher clients as they are added), creates them in
// a fixed order and wires them together. Other parts get what they need passed
// in at construction.
class CorvantaApp : public QApplication, public WebServerControl
{
    Q_OBJECT
public:
    static constexpr int kCameraSlots = 8;

    CorvantaApp(int &argc, char **argv);
    ~CorvantaApp() override;

    // The running application object, or nullptr when none is a CorvantaApp.
    static CorvantaApp *instance();

    AppSettings *settings() const { return m_settings; }
    // A copy of the camera list (slot 1 first); the copy shares the objects.
    QList<CameraWrapper *> cameras() const;
    CameraControl *control() const { return m_control; }
    MessagePresenter *messages() const { return m_messages; }
    MainWindow *mainWindow() const { return m_mainWindow; }
    // The process's one joystick layer (SDL has one event queue).
    QJoysticks *joysticks() const { return m_joysticks; }
    HttpServerWrapper *httpServer() const { return m_httpServer; }
    ObsWrapper *obsClient() const { return m_obs; }
    VMixWrapper *vmixClient() const { return m_vmix; }
    CameraApiHandler *cameraApi() const { return m_cameraApi; }
    TallyModel *tally() const { return m_tally; }
    TallyLamps *tallyLamps() const { return m_lamps; }

    // Rebuilds the camera list from the stored `cameraslist`, filling up to
    // eight network cameras (CameraControl::rebuildCameras: the selected
    // camera is stopped and disconnected and every holder lets go first; old
    // camera objects are released with deleteLater).
    void createCameras();
    // Camera errors (of any camera) reach onCameraError queued. The layer
    // wires the cameras themselves; calling this again changes nothing.
    void connectCameraSignals();

    // Call right before constructing the application: when the window
    // system cannot be reached (no display), the program prints one line
    // saying so on stderr and exits with status 1 instead of Qt's abort with
    // its plug-in diagnostics. The constructor ends the guard; Qt's platform
    // messages held meanwhile are then passed on.
    static void guardPlatformStart();

    // Sets VLC_PLUGIN_PATH to <dir>/plugins when that folder exists; otherwise
    // leaves libvlc's own plug-in search alone.
    static void setupVlcPluginPath(const QString &applicationDir);

    // Listens on `servernic`:`serverportnum`; on failure shows the "Corvanta
    // App" message box and returns false.
    bool startHttpServer() override;
    // Stops listening (open connections are closed). Returns true.
    bool stopHttpServer() override;
    // The OBS client connects, then polls. Returns true.
    bool startObsControl() override;
    // The OBS client closes its connection and stops polling. Returns true.
    bool stopObsControl() override;
    bool startVMixControl() override;
    bool stopVMixControl() override;
    // Opens the web server settings dialog (non-blocking, window-modal).
    void openWebServerSettings();
    // Opens the tally settings dialog (non-blocking, window-modal); saving
    // applies it at once.
    void openTallySettings();
    // Slot mappings and lamp commands from the group `tally`.
    void applyTallySettings();

public slots:
    // Message box titled "Corvanta App", shown without blocking the caller
    // (MessagePresenter).
    void onCameraError(QString str);

private:
    CameraControl *m_control = nullptr;
    MessagePresenter *m_messages = nullptr;
    MainWindow *m_mainWindow = nullptr;
    QJoysticks *m_joysticks = nullptr;
    AppSettings *m_settings = nullptr;
    HttpServerWrapper *m_httpServer = nullptr;
    VMixWrapper *m_vmix = nullptr;
    ObsWrapper *m_obs = nullptr;
    CameraApiHandler *m_cameraApi = nullptr;
    ObsApiHandler *m_obsApi = nullptr;
    VMixApiHandler *m_vmixApi = nullptr;
    std::unique_ptr<CameraApiPanel> m_panelAdapter;
    TallyModel *m_tally = nullptr;
    TallyLamps *m_lamps = nullptr;
    TallyApiHandler *m_tallyApi = nullptr;
};
