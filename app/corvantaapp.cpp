#include "corvantaapp.h"

#include "appsettings.h"
#include "cameracontrol.h"
#include "camerawrapper.h"
#include "httpserverwrapper.h"
#include "mainwindow.h"
#include "messagepresenter.h"
#include "qjoysticks.h"
#include "resources.h"

#include <QDir>
#include <QMessageBox>

CorvantaApp::CorvantaApp(int &argc, char **argv) : QApplication(argc, argv)
{
    Resources::init();
    setupVlcPluginPath(QCoreApplication::applicationDirPath());

    m_settings = new AppSettings();
    m_control = new CameraControl(m_settings);
    m_messages = new MessagePresenter();
    createCameras();

    m_httpServer = new HttpServerWrapper(m_settings);
    if (m_settings->startupOnLaunch())
        startHttpServer();

    // The controller blacklist lives in the platform's native settings under
    // these names; the application's global names stay unset (they would
    // move the per-user folder).
    m_joysticks = new QJoysticks(QStringLiteral("corvanta"), QStringLiteral("corvanta-controller"));
    m_mainWindow = new MainWindow(m_settings, m_control, m_messages);
    m_mainWindow->setJoysticks(m_joysticks);
    connectCameraSignals();
    m_mainWindow->show();
}

CorvantaApp::~CorvantaApp()
{
    delete m_httpServer;
    m_httpServer = nullptr;
    delete m_mainWindow;
    m_mainWindow = nullptr;
    delete m_joysticks;
    m_joysticks = nullptr;
    delete m_messages;
    m_messages = nullptr;
    // Stops what still moves, then deletes the cameras directly: the event
    // loop has ended, so none is emitting any more (a deleteLater would never
    // run and a USB camera would keep its device open).
    delete m_control;
    m_control = nullptr;
    delete m_settings;
    m_settings = nullptr;
}

QList<CameraWrapper *> CorvantaApp::cameras() const
{
    return m_control->cameras();
}

CorvantaApp *CorvantaApp::instance()
{
    return qobject_cast<CorvantaApp *>(QCoreApplication::instance());
}

void CorvantaApp::setupVlcPluginPath(const QString &applicationDir)
{
    const QString plugins = QDir(applicationDir).filePath(QStringLiteral("plugins"));
    if (QDir(plugins).exists())
        qputenv("VLC_PLUGIN_PATH", QDir::toNativeSeparators(plugins).toUtf8());
}

void CorvantaApp::createCameras()
{
    m_control->rebuildCameras();
}

void CorvantaApp::connectCameraSignals()
{
    connect(m_control, &CameraControl::cameraError, this, &CorvantaApp::onCameraError,
            Qt::UniqueConnection);
    connect(m_messages, &MessagePresenter::aboutToShow, m_control, &CameraControl::stopAll,
            Qt::UniqueConnection);
}

bool CorvantaApp::startHttpServer()
{
    const std::optional<quint16> port = m_settings->serverListenPort();
    if (port && m_httpServer->startServer(m_settings->serverNic(), *port))
        return true;
    QMessageBox::warning(m_mainWindow, QStringLiteral("Corvanta App"),
                         QStringLiteral("Can not turn on Http Server. Please check NIC and port "
                                        "number settings."));
    return false;
}

bool CorvantaApp::stopHttpServer()
{
    m_httpServer->stopServer();
    return true;
}

void CorvantaApp::onCameraError(QString str)
{
    m_messages->show(str);
}
