#pragma once

#include <QApplication>
#include <QList>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcApp)

class AppSettings;
class CameraWrapper;
class HttpServerWrapper;
class MainWindow;

// The application object: owns the settings store, the eight camera objects
// and the main window (and the web server and switcher clients as they are
// added), creates them in a fixed order and wires them together. Other parts
// reach the settings and the camera list through CorvantaApp::instance().
class CorvantaApp : public QApplication
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
    QList<CameraWrapper *> cameras() const { return m_cameras; }
    MainWindow *mainWindow() const { return m_mainWindow; }
    HttpServerWrapper *httpServer() const { return m_httpServer; }

    // Rebuilds the camera list from the stored `cameraslist`, filling up to
    // eight network cameras. Old camera objects are released with deleteLater,
    // so one that is still emitting is not destroyed under its caller.
    void createCameras();
    // Connects the signals of cameras 1-8 to the main window and to
    // onCameraError. Called after every createCameras.
    void connectCameraSignals();

    // Sets VLC_PLUGIN_PATH to <dir>/plugins when that folder exists; otherwise
    // leaves libvlc's own plug-in search alone.
    static void setupVlcPluginPath(const QString &applicationDir);

    // Listens on `servernic`:`serverportnum`; on failure shows the "Corvanta
    // App" message box and returns false.
    bool startHttpServer();
    // Stops listening (open connections are closed). Returns true.
    bool stopHttpServer();

public slots:
    // Modal message box titled "Corvanta App".
    void onCameraError(QString str);

private:
    QList<CameraWrapper *> m_cameras;
    MainWindow *m_mainWindow = nullptr;
    AppSettings *m_settings = nullptr;
    HttpServerWrapper *m_httpServer = nullptr;
};
