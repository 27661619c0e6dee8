#include "corvantaapp.h"

#include "appsettings.h"
#include "camerawrapper.h"
#include "httpserverwrapper.h"
#include "ipcamera.h"
#include "mainwindow.h"
#include "resources.h"

#include <QDir>
#include <QMessageBox>

CorvantaApp::CorvantaApp(int &argc, char **argv) : QApplication(argc, argv)
{
    Resources::init();
    setupVlcPluginPath(QCoreApplication::applicationDirPath());

    m_settings = new AppSettings();
    createCameras();

    m_httpServer = new HttpServerWrapper(m_settings);
    if (m_settings->startupOnLaunch())
        startHttpServer();

    m_mainWindow = new MainWindow();
    connectCameraSignals();
    m_mainWindow->show();
}

CorvantaApp::~CorvantaApp()
{
    delete m_httpServer;
    m_httpServer = nullptr;
    delete m_settings;
    m_settings = nullptr;
    delete m_mainWindow;
    m_mainWindow = nullptr;

    // The event loop has ended, so no camera is emitting any more: delete
    // directly (a deleteLater would never run and a USB camera would keep its
    // device open).
    while (!m_cameras.isEmpty())
        delete m_cameras.takeFirst();
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
    while (!m_cameras.isEmpty())
        m_cameras.takeFirst()->deleteLater();

    m_settings->loadCameraList(m_cameras);

    while (m_cameras.size() < kCameraSlots) {
        const int slot = m_cameras.size() + 1;
        m_cameras.append(new IPCamera(QStringLiteral("0.0.0.0"),
                                      QStringLiteral("Camera") + QString::number(slot),
                                      QStringLiteral("0.0.0.0")));
    }
}

void CorvantaApp::connectCameraSignals()
{
    for (int i = 0; i < kCameraSlots && i < m_cameras.size(); ++i) {
        CameraWrapper *cam = m_cameras.at(i);
        connect(cam, &CameraWrapper::clientConnected, m_mainWindow, &MainWindow::onCameraConnected);
        connect(cam, &CameraWrapper::clientDisconnected, m_mainWindow,
                &MainWindow::onCameraDisconnected);
        connect(cam, &CameraWrapper::clientError, this, &CorvantaApp::onCameraError);
        connect(cam, &CameraWrapper::clientStatusUpdated, m_mainWindow,
                &MainWindow::onCameraStatusUpdated);
        connect(cam, &CameraWrapper::clientStateChanged, m_mainWindow,
                &MainWindow::onCameraStateChanged);
        connect(cam, &CameraWrapper::clientReadOneCycle, m_mainWindow,
                &MainWindow::onCameraReadOneCycle);
        connect(cam, &CameraWrapper::clientFinishDownload, m_mainWindow,
                &MainWindow::onCameraDownloadFinished);
        connect(cam, &CameraWrapper::clientFinishGetName, m_mainWindow,
                &MainWindow::onCameraNameGetFinished);
    }
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
    QMessageBox::warning(m_mainWindow, QStringLiteral("Corvanta App"), str);
}
